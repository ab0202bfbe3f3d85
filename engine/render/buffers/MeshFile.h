#pragma once
// The mesh file: a 48-byte header, then vertex count × stride bytes of vertices,
// index count 16-bit indices when indexed, and subset count 24-byte subset records.
// All little-endian. Header bytes other than the fields below are not read.
#include <cstdint>
#include <cstring>
#include <vector>

namespace vd {
namespace utl {
class CDataProvider;
}
namespace gfx {

constexpr uint32_t kPrimitiveTriangleList = 4;
constexpr uint32_t kPrimitiveTriangleStrip = 5;
constexpr uint32_t kMeshPrimitiveKindList = 1;  // any other header value is a strip

struct SMeshHeader {
  static constexpr unsigned kSize = 48;
  static constexpr unsigned kOffVertexCount = 12;
  static constexpr unsigned kOffIndexCount = 20;
  static constexpr unsigned kOffSubsetCount = 24;
  static constexpr unsigned kOffPrimitiveKind = 28;
  static constexpr unsigned kOffVertexType = 32;
  static constexpr unsigned kOffIndexed = 40;

  uint8_t bytes[kSize] = {};

  uint32_t VertexCount() const { return U32(kOffVertexCount); }
  uint16_t IndexCount() const { return static_cast<uint16_t>(bytes[20] | (bytes[21] << 8)); }
  int32_t SubsetCount() const { return static_cast<int32_t>(U32(kOffSubsetCount)); }
  uint32_t PrimitiveKind() const { return U32(kOffPrimitiveKind); }
  int32_t VertexType() const { return static_cast<int32_t>(U32(kOffVertexType)); }
  bool Indexed() const { return static_cast<int32_t>(U32(kOffIndexed)) > 0; }

  void SetVertexCount(uint32_t v) { SetU32(kOffVertexCount, v); }
  void SetIndexCount(uint16_t v) { SetU32(kOffIndexCount, v); }
  void SetSubsetCount(int32_t v) { SetU32(kOffSubsetCount, static_cast<uint32_t>(v)); }
  void SetPrimitiveKind(uint32_t v) { SetU32(kOffPrimitiveKind, v); }
  void SetVertexType(int32_t v) { SetU32(kOffVertexType, static_cast<uint32_t>(v)); }
  void SetIndexed(int32_t v) { SetU32(kOffIndexed, static_cast<uint32_t>(v)); }

  uint32_t U32(unsigned off) const {
    return uint32_t(bytes[off]) | (uint32_t(bytes[off + 1]) << 8) | (uint32_t(bytes[off + 2]) << 16) |
           (uint32_t(bytes[off + 3]) << 24);
  }
  void SetU32(unsigned off, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[off + i] = static_cast<uint8_t>(v >> (8 * i));
  }
};

// One subset record, as stored in the file.
struct SSubset {
  uint32_t id = 0;
  uint32_t firstTriangle = 0;  // the first index is three times this
  int32_t triangleCount = 0;   // 0 or fewer: never drawn
  uint32_t vertexSpan = 0;     // vertex count of the indexed draw
  uint32_t firstVertex = 0;    // minimum vertex index of the indexed draw
  uint32_t extra = 0;          // carried, not used by the buffer
};
static_assert(sizeof(SSubset) == 24, "subset records are read verbatim");

// A mesh body read and checked against its header.
struct SMeshBody {
  std::vector<uint8_t> vertices;  // vertex count × stride bytes
  bool indexed = false;
  std::vector<uint16_t> indices;
  std::vector<SSubset> subsets;
};

// Reads the body that follows `header` from `source`. The file is untrusted: a short
// read, counts the data does not hold, an index outside the vertices or a subset
// whose range leaves the indices (or vertices) fail with a log line naming `name`.
// Memory grows only with the bytes actually read, so absurd counts cost nothing.
bool ReadMeshBody(const SMeshHeader& header, utl::CDataProvider& source, uint32_t stride,
                  const char* name, SMeshBody& out);

// True when a subset's triangles lie inside `elements` indices (or vertices when
// the mesh is not indexed) for the given primitive type.
bool SubsetFits(const SSubset& subset, uint32_t primitiveType, uint64_t elements);

}  // namespace gfx
}  // namespace vd
