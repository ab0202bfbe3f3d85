#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "engine/collision/CollisionManager.h"
#include "engine/collision/CollisionMesh.h"
#include "tests/engine/collision/CollisionTestSupport.h"

namespace vd {
namespace phy {
namespace {

using test::MeshBytes;

class CollisionMeshTest : public ::testing::Test {
protected:
  void SetUp() override {
    sinks.AddSink(new test::CLogRecorder(&log));
    utl::SetLogSinks(&sinks);
    dir = ::testing::TempDir() + "collision_mesh_" + std::to_string(::getpid()) + "_" +
          ::testing::UnitTest::GetInstance()->current_test_info()->name();
    ASSERT_EQ(std::system(("mkdir -p '" + dir + "'").c_str()), 0);
  }
  void TearDown() override {
    std::system(("rm -rf '" + dir + "'").c_str());
    utl::SetLogSinks(nullptr);
  }

  std::string Write(const std::string& name, const std::vector<unsigned char>& bytes) {
    const std::string path = dir + "/" + name;
    EXPECT_TRUE(test::WriteBytes(path, bytes));
    return path;
  }
  bool LoggedWith(const std::string& part) const {
    for (const std::string& line : log)
      if (line.find(part) != std::string::npos) return true;
    return false;
  }

  std::vector<std::string> log;
  utl::CLogSinkHolder sinks;
  std::string dir;
};

const std::vector<float> kTriangle = {0, 0, 0, 1, 0, 0, 0, 0, 1};

TEST_F(CollisionMeshTest, LoadsVerticesIndicesAndBounds) {
  std::vector<unsigned char> bytes =
      MeshBytes(4, 6, 2, {-3, 1, 2, -1, 5, -2, -2, 0, 0, -4, 2, 1}, {0, 1, 2, 2, 3, 0});
  bytes.push_back(0xAB);  // bytes past the indices are not read
  const std::string path = Write("quad", bytes);
  std::unique_ptr<SCollisionMesh> mesh = LoadCollisionMesh(path.c_str());
  ASSERT_NE(mesh, nullptr);
  EXPECT_EQ(mesh->vertexCount, 4u);
  EXPECT_EQ(mesh->indexCount, 6u);
  ASSERT_EQ(mesh->vertices.size(), 4u);
  EXPECT_EQ(mesh->vertices[1], plat::Vec4(-1, 5, -2, 0));
  EXPECT_EQ(mesh->indices, (std::vector<int32_t>{0, 1, 2, 2, 3, 0}));
  // All x are negative: the maximum is the largest x plus 0.1, not near 0.
  EXPECT_FLOAT_EQ(mesh->boundsMax.x, -1.0f + 0.1f);
  EXPECT_FLOAT_EQ(mesh->boundsMin.x, -4.0f - 0.1f);
  EXPECT_FLOAT_EQ(mesh->boundsMax.y, 5.1f);
  EXPECT_FLOAT_EQ(mesh->boundsMin.z, -2.1f);
  EXPECT_EQ(mesh->boundsMin.w, 0.0f);
  EXPECT_EQ(mesh->boundsMax.w, 0.0f);
}

TEST_F(CollisionMeshTest, OneVertexBoundsAreATenthAroundIt) {
  const plat::Vec4 v(2, -3, 4, 0);
  plat::Vec4 lo, hi;
  ComputeMeshBounds(1, &v, lo, hi);
  EXPECT_EQ(lo, plat::Vec4(2 - 0.1f, -3 - 0.1f, 4 - 0.1f, 0));
  EXPECT_EQ(hi, plat::Vec4(2 + 0.1f, -3 + 0.1f, 4 + 0.1f, 0));
}

TEST_F(CollisionMeshTest, MalformedFilesAreRejectedWithTheirName) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    const char* name;
    std::vector<unsigned char> bytes;
    const char* logged;
  };
  std::vector<unsigned char> shortHeader(39, 0);
  std::vector<unsigned char> cutIndices = MeshBytes(3, 3, 2, kTriangle, {0, 1, 2});
  cutIndices.pop_back();
  const Case cases[] = {
      {"short_header", shortHeader, "header"},
      {"empty", {}, "header"},
      {"index_size_4", MeshBytes(3, 3, 4, kTriangle, {0, 1, 2}), "index size 4"},
      {"index_size_0", MeshBytes(3, 3, 0, kTriangle, {0, 1, 2}), "index size 0"},
      {"cut_indices", cutIndices, "need"},
      {"huge_vertex_count", MeshBytes(0x40000000u, 3, 2, kTriangle, {0, 1, 2}), "need"},
      {"huge_index_count", MeshBytes(3, 0xFFFFFFFFu, 2, kTriangle, {0, 1, 2}), "need"},
      {"negative_index", MeshBytes(3, 3, 2, kTriangle, {0, 0xFFFF, 2}), "is -1"},
      {"index_past_vertices", MeshBytes(3, 3, 2, kTriangle, {0, 1, 3}), "is 3"},
      {"no_triangle", MeshBytes(3, 2, 2, kTriangle, {0, 1}), "no whole triangle"},
      {"no_vertices", MeshBytes(0, 3, 2, {}, {0, 0, 0}), "outside its 0 vertices"},
      {"nan_vertex", MeshBytes(3, 3, 2, {0, 0, 0, nan, 0, 0, 0, 0, 1}, {0, 1, 2}), "finite"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    log.clear();
    const std::string path = Write(c.name, c.bytes);
    EXPECT_EQ(LoadCollisionMesh(path.c_str()), nullptr);
    EXPECT_TRUE(LoggedWith(path)) << (log.empty() ? "" : log.back());
    EXPECT_TRUE(LoggedWith(c.logged)) << (log.empty() ? "" : log.back());
  }
  log.clear();
  EXPECT_EQ(LoadCollisionMesh((dir + "/missing").c_str()), nullptr);
  EXPECT_TRUE(LoggedWith(dir + "/missing"));
}

TEST_F(CollisionMeshTest, AnIndexCountBeyondWholeTrianglesStillLoads) {
  const std::string path = Write("seven", MeshBytes(3, 7, 2, kTriangle, {0, 1, 2, 2, 1, 0, 1}));
  std::unique_ptr<SCollisionMesh> mesh = LoadCollisionMesh(path.c_str());
  ASSERT_NE(mesh, nullptr);
  EXPECT_EQ(mesh->indexCount / 3, 2u);
}

TEST_F(CollisionMeshTest, TheManagerCachesMeshesByName) {
  CCollisionManager manager;
  ASSERT_TRUE(manager.Init(1.0f / 60.0f));
  SCollisionMesh* first = manager.GetMesh(CStringHash("level_walls"));
  ASSERT_NE(first, nullptr) << (log.empty() ? "" : log.back());
  EXPECT_EQ(manager.GetMesh(CStringHash("LEVEL_WALLS")), first);  // names compare by hash
  EXPECT_EQ(manager.GetMesh(CStringHash("no_such_mesh")), nullptr);
  EXPECT_TRUE(LoggedWith("Data/collision/no_such_mesh"));
  EXPECT_EQ(manager.GetMesh(CStringHash()), nullptr);
  manager.Release();  // frees the cache; a new Init reads the file again
  ASSERT_TRUE(manager.Init(1.0f / 60.0f));
  EXPECT_NE(manager.GetMesh(CStringHash("level_walls")), nullptr);
}

TEST_F(CollisionMeshTest, CommittedLevelMeshesMatchTheGenerator) {
  ASSERT_EQ(std::system(("'" GEN_COLLISION_MESHES "' '" + dir + "' > /dev/null").c_str()), 0);
  for (const char* name : {"level_floor", "level_walls"}) {
    SCOPED_TRACE(name);
    auto read = [](const std::string& path) {
      std::vector<char> bytes;
      if (FILE* file = std::fopen(path.c_str(), "rb")) {
        int c;
        while ((c = std::fgetc(file)) != EOF) bytes.push_back(static_cast<char>(c));
        std::fclose(file);
      }
      return bytes;
    };
    const std::vector<char> fresh = read(dir + "/" + name);
    ASSERT_FALSE(fresh.empty());
    EXPECT_TRUE(fresh == read(std::string("Data/collision/") + name))
        << "run gen_collision_meshes and commit Data/collision";
    EXPECT_NE(LoadCollisionMesh((dir + "/" + name).c_str()), nullptr);
  }
}

}  // namespace
}  // namespace phy
}  // namespace vd
