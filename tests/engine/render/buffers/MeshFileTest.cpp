#include <gtest/gtest.h>

#include <functional>

#include "engine/render/buffers/MeshFile.h"
#include "engine/render/buffers/VertexTypes.h"
#include "tests/engine/render/buffers/MeshTestUtil.h"
#include "tests/support/LogRecorder.h"

using namespace vd::gfx;
using vd::test::CLogCapture;
using vd::test::MakeMesh;
using vd::test::MemorySource;
using vd::test::MeshBytes;

namespace {

std::vector<COLORED_VERTEX> FourVertices() {
  return {{{0, 0, 0}, 1}, {{1, 0, 0}, 2}, {{0, 1, 0}, 3}, {{1, 1, 0}, 4}};
}

MeshBytes ValidQuad() {
  return MakeMesh(FourVertices(), {0, 1, 2, 2, 1, 3}, {{7, 0, 1, 3, 0, 0}, {9, 1, 1, 3, 1, 5}});
}

bool Read(const MeshBytes& m, SMeshBody& body, const char* name = "quad.mesh") {
  MemorySource src(m.body);
  return ReadMeshBody(m.header, src, sizeof(COLORED_VERTEX), name, body);
}

}  // namespace

TEST(MeshFile, ReadsVerticesIndicesAndSubsets) {
  const MeshBytes m = ValidQuad();
  MemorySource src(m.body);
  SMeshBody body;
  ASSERT_TRUE(ReadMeshBody(m.header, src, sizeof(COLORED_VERTEX), "quad.mesh", body));
  EXPECT_EQ(src.Position(), m.body.size());
  ASSERT_EQ(body.vertices.size(), 4 * sizeof(COLORED_VERTEX));
  EXPECT_EQ(std::memcmp(body.vertices.data(), FourVertices().data(), body.vertices.size()), 0);
  EXPECT_TRUE(body.indexed);
  EXPECT_EQ(body.indices, (std::vector<uint16_t>{0, 1, 2, 2, 1, 3}));
  ASSERT_EQ(body.subsets.size(), 2u);
  EXPECT_EQ(body.subsets[1].id, 9u);
  EXPECT_EQ(body.subsets[1].firstTriangle, 1u);
  EXPECT_EQ(body.subsets[1].firstVertex, 1u);
  EXPECT_EQ(body.subsets[1].extra, 5u);
}

TEST(MeshFile, HeaderFieldsAreLittleEndianAtTheirOffsets) {
  SMeshHeader h;
  h.bytes[12] = 0x34; h.bytes[13] = 0x12;      // vertex count 0x1234
  h.bytes[20] = 0xFF; h.bytes[21] = 0xFF;      // index count 65535
  h.bytes[22] = 0x7F;                          // not part of the index count
  h.bytes[24] = 3;                             // subsets
  h.bytes[28] = 1;                             // list
  h.bytes[32] = 12;                            // vertex type
  h.bytes[40] = 0xFF; h.bytes[41] = 0xFF; h.bytes[42] = 0xFF; h.bytes[43] = 0xFF;  // -1
  EXPECT_EQ(h.VertexCount(), 0x1234u);
  EXPECT_EQ(h.IndexCount(), 65535);
  EXPECT_EQ(h.SubsetCount(), 3);
  EXPECT_EQ(h.PrimitiveKind(), 1u);
  EXPECT_EQ(h.VertexType(), 12);
  EXPECT_FALSE(h.Indexed());  // only a flag above 0 means indexed
}

TEST(MeshFile, NotIndexedMeshSkipsTheIndexBlock) {
  // The index count in the header is ignored when the flag is off.
  MeshBytes m = MakeMesh(FourVertices(), {0, 1, 2}, {{1, 0, 1, 3, 0, 0}}, /*indexed=*/false);
  SMeshBody body;
  ASSERT_TRUE(Read(m, body));
  EXPECT_FALSE(body.indexed);
  EXPECT_TRUE(body.indices.empty());
  EXPECT_EQ(body.subsets.size(), 1u);
}

TEST(MeshFile, RejectsBadFilesWithALogLineNamingTheFile) {
  struct Case {
    const char* what;
    std::function<void(MeshBytes&)> spoil;
    const char* logPart;
  };
  const Case cases[] = {
      {"type 0", [](MeshBytes& m) { m.header.SetVertexType(0); }, "unknown vertex type"},
      {"type 13", [](MeshBytes& m) { m.header.SetVertexType(13); }, "unknown vertex type"},
      {"negative subsets", [](MeshBytes& m) { m.header.SetSubsetCount(-1); }, "negative subset"},
      {"vertices cut", [](MeshBytes& m) { m.body.resize(20); }, "too short for 4 vertices"},
      {"indices cut", [](MeshBytes& m) { m.body.resize(4 * 16 + 5); }, "too short for 6 indices"},
      {"subset cut", [](MeshBytes& m) { m.body.pop_back(); }, "too short for 2 subsets"},
      {"huge vertex count", [](MeshBytes& m) { m.header.SetVertexCount(0xFFFFFFFFu); }, "too short"},
      {"huge subset count", [](MeshBytes& m) { m.header.SetSubsetCount(0x7FFFFFFF); }, "too short"},
      {"index past vertices",
       [](MeshBytes& m) { m.body[4 * 16 + 2] = 4; }, "index 4 at 1 is outside"},
      {"subset past indices",
       [](MeshBytes& m) { m = MakeMesh(FourVertices(), {0, 1, 2, 2, 1, 3}, {{7, 1, 2, 4, 0, 0}}); },
       "subset 0 (id 7)"},
      {"subset past vertices",
       [](MeshBytes& m) { m = MakeMesh(FourVertices(), {0, 1, 2, 2, 1, 3}, {{7, 0, 2, 4, 1, 0}}); },
       "subset 0 (id 7)"},
      {"unindexed subset past vertices",
       [](MeshBytes& m) { m = MakeMesh(FourVertices(), {}, {{7, 1, 1, 0, 0, 0}}, false); }, "subset 0"},
      {"strip subset past indices",
       [](MeshBytes& m) { m = MakeMesh(FourVertices(), {0, 1, 2, 3}, {{3, 0, 3, 4, 0, 0}}, true, 2); },
       "subset 0 (id 3)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MeshBytes m = ValidQuad();
    c.spoil(m);
    CLogCapture log;
    SMeshBody body;
    EXPECT_FALSE(Read(m, body, "Data/meshes/bad.mesh"));
    EXPECT_TRUE(body.vertices.empty());
    EXPECT_TRUE(body.subsets.empty());
    ASSERT_EQ(log.Lines().size(), 1u);
    EXPECT_NE(log.Text().find("Data/meshes/bad.mesh"), std::string::npos) << log.Text();
    EXPECT_NE(log.Text().find(c.logPart), std::string::npos) << log.Text();
  }
}

TEST(MeshFile, SubsetsThatAreNeverDrawnAreNotChecked) {
  // A subset with no triangles may point anywhere: it is never drawn.
  MeshBytes m = MakeMesh(FourVertices(), {0, 1, 2, 2, 1, 3}, {{1, 1000, 0, 99, 99, 0}, {2, 5, -3, 0, 0, 0}});
  SMeshBody body;
  EXPECT_TRUE(Read(m, body));
  // A strip subset uses count + 2 indices from three times its first triangle.
  m = MakeMesh(FourVertices(), {0, 1, 2, 3}, {{3, 0, 2, 4, 0, 0}}, true, 2);
  EXPECT_TRUE(Read(m, body));
}
