#pragma once
// The screen sprites' quads (loading screen, menu, HUD) in the engine's mesh format:
// four textured corners as an indexed pair of triangles.
#include <cstdint>
#include <vector>

#include "engine/render/buffers/MeshFile.h"
#include "engine/render/buffers/VertexTypes.h"

namespace gen {

// The corners and their texture coordinates in the order bottom left, bottom right,
// top left, top right of the picture.
inline std::vector<uint8_t> SpriteQuadMesh(const float corners[4][2], const float uvs[4][2]) {
  using namespace vd::gfx;
  std::vector<TEXTURED_VERTEX> vertices(4);
  for (int i = 0; i < 4; ++i) {
    vertices[i].position = Vec3(corners[i][0], corners[i][1], 0.0f);
    vertices[i].uv0 = Vec2(uvs[i][0], uvs[i][1]);
  }
  const std::vector<uint16_t> indices = {0, 1, 2, 2, 1, 3};
  const SSubset subset = {0, 0, 2, 4, 0, 0};
  SMeshHeader header;
  header.SetVertexCount(4);
  header.SetIndexCount(6);
  header.SetSubsetCount(1);
  header.SetPrimitiveKind(kMeshPrimitiveKindList);
  header.SetVertexType(TEXTURED_VERTEX::kType);
  header.SetIndexed(1);
  std::vector<uint8_t> bytes(header.bytes, header.bytes + sizeof(header.bytes));
  auto append = [&bytes](const void* data, size_t size) {
    const uint8_t* b = static_cast<const uint8_t*>(data);
    bytes.insert(bytes.end(), b, b + size);
  };
  append(vertices.data(), vertices.size() * sizeof(TEXTURED_VERTEX));
  append(indices.data(), indices.size() * 2);
  append(&subset, sizeof(subset));
  return bytes;
}

}  // namespace gen
