#pragma once
// A generated UV sphere, standing in for the utility library's sphere mesh: the same
// layout (positions and normals, FVF kFvfXyz | kFvfNormal, 16-bit indices) and the same
// shape (centred on the origin, poles on the z axis, `slices` around it and `stacks`
// from pole to pole).
#include <cstdint>
#include <vector>

#include "platform/gpu/Device.h"

namespace plat {
namespace gpu {

struct SphereVertex {
  float x, y, z;
  float nx, ny, nz;
};

struct SphereMesh {
  std::vector<SphereVertex> vertices;
  std::vector<uint16_t> indices;  // clockwise triangles seen from outside
};

constexpr uint32_t kSphereFvf = kFvfXyz | kFvfNormal;

// False (and nothing written) for a radius that is not positive and finite, fewer than
// 3 slices or 2 stacks, or more vertices than 16-bit indices reach.
bool GenerateSphere(float radius, uint32_t slices, uint32_t stacks, SphereMesh* out);

// The sphere in a managed vertex and index buffer of `device`.
HResult CreateSphere(Device* device, float radius, uint32_t slices, uint32_t stacks,
                     VertexBuffer** vertices, IndexBuffer** indices);

}  // namespace gpu
}  // namespace plat
