#pragma once
// Static level geometry for the collision world: triangle meshes read from
// binary files under Data/collision/ and shared by every collider that names them.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/math/Vector.h"

namespace vd {
namespace phy {

// Where mesh colliders find their files; the collider's name is appended as is.
inline constexpr const char* kCollisionMeshFolder = "Data/collision/";

// The file layout (little-endian): vertex count at 12, index count at 20, index
// size at 32, the vertices (3 floats each) at 40, then the 16-bit indices.
inline constexpr uint32_t kCollisionMeshHeaderSize = 40;
inline constexpr uint32_t kCollisionMeshVertexCountOffset = 12;
inline constexpr uint32_t kCollisionMeshIndexCountOffset = 20;
inline constexpr uint32_t kCollisionMeshIndexSizeOffset = 32;

// In the layouts the triangle-mesh shape reads without another copy: 16-byte
// vertices (fourth component 0) and 32-bit indices.
struct SCollisionMesh {
  uint32_t vertexCount = 0;
  std::vector<plat::Vec4> vertices;
  uint32_t indexCount = 0;
  std::vector<int32_t> indices;
  plat::Vec4 boundsMin;
  plat::Vec4 boundsMax;
};

// The box around the vertices, 0.1 wider on every side; the fourth components are 0.
void ComputeMeshBounds(uint32_t vertexCount, const plat::Vec4* vertices, plat::Vec4& outMin,
                       plat::Vec4& outMax);

// Reads one mesh file. Null, with a log line naming the file, when the file is
// missing or short, its index size is not 2, its counts do not fit its size, it
// holds no whole triangle, a vertex is not finite, or an index is negative or not below the vertex
// count.
std::unique_ptr<SCollisionMesh> LoadCollisionMesh(const char* path);

}  // namespace phy
}  // namespace vd
