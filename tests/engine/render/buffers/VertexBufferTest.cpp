#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <fstream>

#include "engine/render/buffers/VertexBuffer.h"
#include "tests/engine/render/buffers/MeshTestUtil.h"
#include "tests/support/LogRecorder.h"

using namespace vd::gfx;
using vd::test::CLogCapture;
using vd::test::MakeMesh;
using vd::test::MemorySource;
using vd::test::MeshBytes;

namespace {

std::string WriteTemp(const std::string& name, const std::vector<uint8_t>& bytes) {
  const std::string path = testing::TempDir() + name;
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path;
}

std::vector<uint8_t> FileBytes(const MeshBytes& m) {
  std::vector<uint8_t> all(m.header.bytes, m.header.bytes + SMeshHeader::kSize);
  all.insert(all.end(), m.body.begin(), m.body.end());
  return all;
}

}  // namespace

TEST(VertexBuffer, PrimitiveCountsFollowKindAndIndices) {
  struct Case {
    uint32_t kind;        // header primitive kind
    bool indexed;
    uint32_t vertices;
    uint16_t indices;
    uint32_t type;        // expected primitive type
    int32_t primitives;   // expected count
  };
  const Case cases[] = {
      {1, false, 7, 0, kPrimitiveTriangleList, 2},
      {2, true, 12, 10, kPrimitiveTriangleStrip, 8},
      {0, false, 4, 0, kPrimitiveTriangleStrip, 2},
      {5, false, 2, 0, kPrimitiveTriangleStrip, 0},
      {5, false, 1, 0, kPrimitiveTriangleStrip, -1},
      {1, true, 3, 65535, kPrimitiveTriangleList, 21845},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "kind " << c.kind << " vertices " << c.vertices << " indices " << c.indices);
    std::vector<SIMPLE_VERTEX> v(c.vertices);
    std::vector<uint16_t> i(c.indices, 0);
    MeshBytes m = MakeMesh(v, i, {}, c.indexed, c.kind);
    MemorySource src(m.body);
    CVertexBuffer<SIMPLE_VERTEX> vb;
    ASSERT_TRUE(vb.Load(m.header, src, "counts"));
    EXPECT_EQ(vb.GetPrimitiveType(), c.type);
    EXPECT_EQ(vb.GetPrimitiveCount(), c.primitives);
    EXPECT_EQ(vb.GetVertexCount(), c.vertices);
    EXPECT_EQ(vb.GetTypeCode(), 1);
    EXPECT_FALSE(vb.IsValid());
    if (c.indexed) {
      ASSERT_NE(vb.GetIndexBuffer(), nullptr);
      EXPECT_EQ(vb.GetIndexBuffer()->count, c.indices);
    } else {
      EXPECT_EQ(vb.GetIndexBuffer(), nullptr);
    }
  }
}

TEST(VertexBuffer, SubsetLookupTakesTheFirstMatch) {
  std::vector<COLORED_VERTEX> v(6);
  MeshBytes m = MakeMesh(v, {}, {{4, 0, 1, 3, 0, 0}, {8, 1, 1, 3, 3, 0}, {4, 1, 1, 3, 3, 0}}, false);
  MemorySource src(m.body);
  CVertexBuffer<COLORED_VERTEX> vb;
  ASSERT_TRUE(vb.Load(m.header, src));
  EXPECT_EQ(vb.GetSubsetCount(), 3u);
  EXPECT_EQ(vb.FindSubset(4), 0u);
  EXPECT_EQ(vb.FindSubset(8), 1u);
  EXPECT_EQ(vb.FindSubset(5), kNoSubset);

  CVertexBuffer<COLORED_VERTEX> empty;
  EXPECT_EQ(empty.GetSubsetCount(), 0u);
  EXPECT_EQ(empty.FindSubset(0), kNoSubset);
  EXPECT_EQ(empty.GetTypeCode(), -1);
}

TEST(VertexBuffer, LoadRejectsABodyOfAnotherVertexType) {
  MeshBytes m = MakeMesh(std::vector<COLORED_VERTEX>(3), {}, {}, false);
  MemorySource src(m.body);
  CLogCapture log;
  CVertexBuffer<SIMPLE_VERTEX> vb;
  EXPECT_FALSE(vb.Load(m.header, src, "wrong.mesh"));
  EXPECT_TRUE(log.Contains("wrong.mesh"));
  EXPECT_EQ(vb.GetVertexCount(), 0u);
  EXPECT_EQ(vb.Vertices(), nullptr);
}

TEST(VertexBuffer, CreateWithoutADeviceKeepsTheCopies) {
  SetRenderDevice(nullptr);
  MeshBytes m = MakeMesh(std::vector<COLORED_VERTEX>(4), {0, 1, 2, 2, 1, 3}, {});
  MemorySource src(m.body);
  CVertexBuffer<COLORED_VERTEX> vb;
  ASSERT_TRUE(vb.Load(m.header, src));
  EXPECT_TRUE(vb.Create());
  EXPECT_NE(vb.Vertices(), nullptr);
  EXPECT_NE(vb.GetIndexBuffer()->indices, nullptr);
  EXPECT_FALSE(vb.IsValid());
  // Nothing to draw with: these must simply do nothing.
  vb.Bind();
  vb.DrawAll(true);
  vb.DrawSubset(0, true);
  vb.Release();
  EXPECT_EQ(vb.Vertices(), nullptr);
  EXPECT_NE(vb.GetIndexBuffer(), nullptr);  // Release leaves the index buffer
}

TEST(VertexBuffer, LoadsTheGeneratedMeshes) {
  auto cube = LoadMeshFile("Data/meshes/test_cube.mesh");
  ASSERT_NE(cube, nullptr);
  auto* typed = dynamic_cast<CVertexBuffer<TEXTURED_NORM_VERTEX>*>(cube.get());
  ASSERT_NE(typed, nullptr);
  EXPECT_EQ(cube->GetVertexCount(), 24u);
  EXPECT_EQ(cube->GetPrimitiveCount(), 12);
  EXPECT_EQ(cube->GetSubsetCount(), 2u);
  EXPECT_EQ(cube->FindSubset(20), 1u);
  EXPECT_EQ(typed->GetSubsets()[1].firstTriangle, 6u);
  EXPECT_EQ(typed->Vertices()[0].normal.z, 1.0f);

  // Letter case and separators of data paths do not matter.
  auto quad = LoadMeshFile("data\\MESHES\\test_quad.mesh");
  ASSERT_NE(quad, nullptr);
  auto* colored = dynamic_cast<CVertexBuffer<COLORED_VERTEX>*>(quad.get());
  ASSERT_NE(colored, nullptr);
  EXPECT_EQ(colored->Vertices()[3].color, 0xFF20C040u);
  EXPECT_EQ(quad->GetPrimitiveCount(), 2);
}

TEST(VertexBuffer, LoadMeshFileRejectsBadFiles) {
  MeshBytes good = MakeMesh(std::vector<SIMPLE_VERTEX>(3), {0, 1, 2}, {{1, 0, 1, 3, 0, 0}});
  MeshBytes skinned = good;
  skinned.header.SetVertexType(13);
  std::vector<uint8_t> shortHeader = FileBytes(good);
  shortHeader.resize(30);
  std::vector<uint8_t> cut = FileBytes(good);
  cut.resize(cut.size() - 3);

  struct Case {
    std::string path;
    const char* logPart;
  };
  const Case cases[] = {
      {testing::TempDir() + "no_such.mesh", "missing"},
      {WriteTemp("short_header.mesh", shortHeader), "header"},
      {WriteTemp("skinned.mesh", FileBytes(skinned)), "unknown vertex type 13"},
      {WriteTemp("cut.mesh", cut), "too short for 1 subsets"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    CLogCapture log;
    EXPECT_EQ(LoadMeshFile(c.path.c_str()), nullptr);
    EXPECT_TRUE(log.Contains(c.path)) << log.Text();
    EXPECT_TRUE(log.Contains(c.logPart)) << log.Text();
  }
  EXPECT_NE(LoadMeshFile(WriteTemp("good.mesh", FileBytes(good)).c_str()), nullptr);
}

TEST(VertexBuffer, CommittedTestMeshesMatchTheGenerator) {
  const std::string dir = testing::TempDir() + "generated_meshes";
  ASSERT_EQ(std::system(("mkdir -p '" + dir + "'").c_str()), 0);
  ASSERT_EQ(std::system(("'" GEN_TEST_MESHES "' '" + dir + "'").c_str()), 0);
  for (const char* name : {"test_quad.mesh", "test_cube.mesh"}) {
    SCOPED_TRACE(name);
    std::ifstream fresh(dir + "/" + name, std::ios::binary), committed(std::string("Data/meshes/") + name,
                                                                          std::ios::binary);
    ASSERT_TRUE(fresh && committed);
    const std::string a((std::istreambuf_iterator<char>(fresh)), std::istreambuf_iterator<char>());
    const std::string b((std::istreambuf_iterator<char>(committed)), std::istreambuf_iterator<char>());
    EXPECT_FALSE(a.empty());
    EXPECT_TRUE(a == b) << "run gen_test_meshes and commit Data/meshes";
  }
}
