#include "engine/render/buffers/MeshFile.h"

#include "engine/core/Log.h"
#include "engine/core/Utils.h"
#include "engine/render/buffers/VertexTypes.h"

namespace vd {
namespace gfx {

namespace {

// Reads `count` elements of `size` bytes in bounded chunks, so a count the source
// cannot back never turns into one huge allocation.
template <typename Vec>
bool ReadChunked(utl::CDataProvider& source, uint64_t count, uint32_t size, Vec& out) {
  using Elem = typename Vec::value_type;
  const uint64_t totalElems = count * size / sizeof(Elem);
  const uint64_t chunk = 1u << 16;
  out.clear();
  uint64_t done = 0;
  while (done < totalElems) {
    const uint64_t n = totalElems - done < chunk ? totalElems - done : chunk;
    out.resize(static_cast<size_t>(done + n));
    const unsigned bytes = static_cast<unsigned>(n * sizeof(Elem));
    if (source.Read(out.data() + done, bytes) != bytes) return false;
    done += n;
  }
  return true;
}

}  // namespace

bool SubsetFits(const SSubset& subset, uint32_t primitiveType, uint64_t elements) {
  if (subset.triangleCount <= 0) return true;  // never drawn
  const uint64_t first = 3ull * subset.firstTriangle;
  const uint64_t count = static_cast<uint64_t>(subset.triangleCount);
  const uint64_t end = primitiveType == kPrimitiveTriangleList ? first + 3 * count : first + count + 2;
  return end <= elements;
}

bool ReadMeshBody(const SMeshHeader& header, utl::CDataProvider& source, uint32_t stride,
                  const char* name, SMeshBody& out) {
  if (!name) name = "";
  out = SMeshBody();
  const int32_t type = header.VertexType();
  if (type < kFirstMeshVertexType || type > kLastMeshVertexType) {
    utl::LogPrintf("Mesh %s: unknown vertex type %d\n", name, type);
    return false;
  }
  if (header.SubsetCount() < 0) {
    utl::LogPrintf("Mesh %s: negative subset count %d\n", name, header.SubsetCount());
    return false;
  }
  const uint32_t vertexCount = header.VertexCount();
  if (!ReadChunked(source, vertexCount, stride, out.vertices)) {
    utl::LogPrintf("Mesh %s: file too short for %u vertices\n", name, vertexCount);
    out = SMeshBody();
    return false;
  }
  out.indexed = header.Indexed();
  if (out.indexed) {
    const uint16_t indexCount = header.IndexCount();
    if (!ReadChunked(source, indexCount, 2, out.indices)) {
      utl::LogPrintf("Mesh %s: file too short for %u indices\n", name, unsigned(indexCount));
      out = SMeshBody();
      return false;
    }
    for (size_t i = 0; i < out.indices.size(); ++i) {
      if (out.indices[i] >= vertexCount) {
        utl::LogPrintf("Mesh %s: index %u at %u is outside the %u vertices\n", name,
                       unsigned(out.indices[i]), unsigned(i), vertexCount);
        out = SMeshBody();
        return false;
      }
    }
  }
  const uint32_t subsetCount = static_cast<uint32_t>(header.SubsetCount());
  if (!ReadChunked(source, subsetCount, sizeof(SSubset), out.subsets)) {
    utl::LogPrintf("Mesh %s: file too short for %u subsets\n", name, subsetCount);
    out = SMeshBody();
    return false;
  }
  const uint32_t primitiveType =
      header.PrimitiveKind() == kMeshPrimitiveKindList ? kPrimitiveTriangleList : kPrimitiveTriangleStrip;
  const uint64_t elements = out.indexed ? out.indices.size() : vertexCount;
  for (size_t i = 0; i < out.subsets.size(); ++i) {
    const SSubset& s = out.subsets[i];
    const bool spanFits = !out.indexed || s.triangleCount <= 0 ||
                          uint64_t(s.firstVertex) + s.vertexSpan <= vertexCount;
    if (!SubsetFits(s, primitiveType, elements) || !spanFits) {
      utl::LogPrintf("Mesh %s: subset %u (id %u) lies outside the mesh\n", name, unsigned(i), s.id);
      out = SMeshBody();
      return false;
    }
  }
  return true;
}

}  // namespace gfx
}  // namespace vd
