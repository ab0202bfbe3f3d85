#pragma once
// Meshes in the engine's file format, for the generators: one subset of indexed
// triangles over one vertex type, and the screen sprites' quads (loading screen, menu,
// HUD) as a case of it.
#include <cstdint>
#include <vector>

#include "engine/render/buffers/MeshFile.h"
#include "engine/render/buffers/VertexTypes.h"

namespace gen {

// The file's bytes; the caller checks that the indices fit 16 bits.
template <class Vertex>
std::vector<uint8_t> MeshFileBytes(const std::vector<Vertex>& vertices,
                                   const std::vector<uint16_t>& indices) {
  vd::gfx::SMeshHeader header;
  header.SetVertexCount(static_cast<uint32_t>(vertices.size()));
  header.SetIndexCount(static_cast<uint16_t>(indices.size()));
  header.SetSubsetCount(1);
  header.SetPrimitiveKind(vd::gfx::kMeshPrimitiveKindList);
  header.SetVertexType(Vertex::kType);
  header.SetIndexed(1);
  vd::gfx::SSubset subset;
  subset.id = 0;
  subset.firstTriangle = 0;
  subset.triangleCount = static_cast<int32_t>(indices.size() / 3);
  subset.vertexSpan = static_cast<uint32_t>(vertices.size());
  std::vector<uint8_t> bytes(header.bytes, header.bytes + sizeof(header.bytes));
  auto append = [&bytes](const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    bytes.insert(bytes.end(), p, p + size);
  };
  append(vertices.data(), vertices.size() * sizeof(Vertex));
  append(indices.data(), indices.size() * 2);
  append(&subset, sizeof(subset));
  return bytes;
}

// The corners and their texture coordinates in the order bottom left, bottom right,
// top left, top right of the picture.
inline std::vector<uint8_t> SpriteQuadMesh(const float corners[4][2], const float uvs[4][2]) {
  using namespace vd::gfx;
  std::vector<TEXTURED_VERTEX> vertices(4);
  for (int i = 0; i < 4; ++i) {
    vertices[i].position = Vec3(corners[i][0], corners[i][1], 0.0f);
    vertices[i].uv0 = Vec2(uvs[i][0], uvs[i][1]);
  }
  return MeshFileBytes(vertices, {0, 1, 2, 2, 1, 3});
}

}  // namespace gen
