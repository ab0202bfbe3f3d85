#pragma once
// Builds mesh files in memory for the loader tests.
#include <cstring>
#include <vector>

#include "engine/core/Utils.h"
#include "engine/render/buffers/MeshFile.h"

namespace vd {
namespace test {

class MemorySource : public vd::utl::CDataProvider {
public:
  explicit MemorySource(std::vector<uint8_t> bytes) : m_bytes(std::move(bytes)) {}
  unsigned Read(void* buffer, unsigned size) override {
    const size_t left = m_bytes.size() - m_pos;
    const size_t n = size < left ? size : left;
    if (n) std::memcpy(buffer, m_bytes.data() + m_pos, n);
    m_pos += n;
    return static_cast<unsigned>(n);
  }
  size_t Position() const { return m_pos; }

private:
  std::vector<uint8_t> m_bytes;
  size_t m_pos = 0;
};

template <typename T>
void Append(std::vector<uint8_t>& out, const T* data, size_t count) {
  const uint8_t* p = reinterpret_cast<const uint8_t*>(data);
  out.insert(out.end(), p, p + sizeof(T) * count);
}

// A header and the body bytes that follow it.
struct MeshBytes {
  vd::gfx::SMeshHeader header;
  std::vector<uint8_t> body;
};

template <typename V>
MeshBytes MakeMesh(const std::vector<V>& vertices, const std::vector<uint16_t>& indices,
                   const std::vector<vd::gfx::SSubset>& subsets, bool indexed = true,
                   uint32_t primitiveKind = vd::gfx::kMeshPrimitiveKindList) {
  MeshBytes m;
  m.header.SetVertexCount(static_cast<uint32_t>(vertices.size()));
  m.header.SetIndexCount(static_cast<uint16_t>(indices.size()));
  m.header.SetSubsetCount(static_cast<int32_t>(subsets.size()));
  m.header.SetPrimitiveKind(primitiveKind);
  m.header.SetVertexType(V::kType);
  m.header.SetIndexed(indexed ? 1 : 0);
  Append(m.body, vertices.data(), vertices.size());
  if (indexed) Append(m.body, indices.data(), indices.size());
  Append(m.body, subsets.data(), subsets.size());
  return m;
}

}  // namespace test
}  // namespace vd
