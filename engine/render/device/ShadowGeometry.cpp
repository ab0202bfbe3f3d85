#include "engine/render/device/ShadowGeometry.h"

#include <algorithm>
#include <cmath>

namespace vd {
namespace gfx {

void ComputeSplitDistances(float nearZ, float farZ, int splitTableSize, float alphaScheme,
                           float out[kMaxSplits]) {
  for (int i = 0; i < kMaxSplits; ++i) out[i] = 0.0f;
  if (splitTableSize < 1 || splitTableSize > kMaxSplits) return;
  float lambda = alphaScheme;
  const float n = static_cast<float>(splitTableSize);
  for (int i = 0; i < kMaxSplits; ++i) {
    const float t = static_cast<float>(i) / n;
    out[i] =
        lambda * nearZ * std::pow(farZ / nearZ, t) + (1.0f - lambda) * (nearZ + t * (farZ - nearZ));
    if (lambda > 0.1f) lambda -= 0.1f;
  }
  out[0] = nearZ;
  out[splitTableSize - 1] = farZ;
}

void ComputeCropMatrices(const plat::Vec3 corners[8], const plat::Mat4& lightView,
                         const plat::Mat4& lightProjection, plat::Mat4& view,
                         plat::Mat4& projection) {
  const plat::Mat4 vp = plat::Multiply(lightView, lightProjection);
  float minX = 1e30f, minY = 1e30f, minZ = 1e30f, maxX = -1e30f, maxY = -1e30f, maxZ = -1e30f;
  for (int i = 0; i < 8; ++i) {
    const plat::Vec4 p = plat::Transform(corners[i], vp);
    const float w = p.w != 0.0f ? p.w : 1e-20f;
    const float x = p.x / w, y = p.y / w, z = p.z / w;
    minX = std::min(minX, x);
    maxX = std::max(maxX, x);
    minY = std::min(minY, y);
    maxY = std::max(maxY, y);
    minZ = std::min(minZ, z);
    maxZ = std::max(maxZ, z);
  }
  maxX = std::clamp(maxX, -1.0f, 1.0f);
  maxY = std::clamp(maxY, -1.0f, 1.0f);
  minX = std::clamp(minX, -1.0f, 1.0f);
  minY = std::clamp(minY, -1.0f, 1.0f);
  maxZ = std::clamp(maxZ, 0.0f, 1.0f);
  minZ = std::clamp(minZ, 0.0f, 1.0f);
  minZ -= 0.00005f;
  // A split wholly outside the light's view collapses to nothing: no division by 0.
  const float dx = std::max(maxX - minX, 1e-6f), dy = std::max(maxY - minY, 1e-6f);
  const float dz = std::max(maxZ - minZ, 1e-6f);
  const float sx = 2.0f / dx, sy = 2.0f / dy, sz = 1.0f / dz;
  const float ox = -0.5f * (maxX + minX) * sx;
  const float oy = -0.5f * (maxY + minY) * sy;
  const float oz = -minZ * sz;
  const plat::Mat4 crop(sx, 0, 0, 0, 0, sy, 0, 0, 0, 0, sz, 0, ox, oy, oz, 1);
  view = lightView;
  projection = plat::Multiply(lightProjection, crop);
}

void ComputeCubeViewMatrices(const plat::Vec3& p, plat::Mat4 views[6]) {
  const plat::Vec3 targets[6] = {{1, 0, 0},  {-1, 0, 0}, {0, 1, 0},
                                 {0, -1, 0}, {0, 0, 1},  {0, 0, -1}};
  const plat::Vec3 ups[6] = {{0, 1, 0}, {0, 1, 0}, {0, 0, -1}, {0, 0, 1}, {0, 1, 0}, {0, 1, 0}};
  for (int i = 0; i < 6; ++i) views[i] = plat::LookAtRH(p, p + targets[i], ups[i]);
}

}  // namespace gfx
}  // namespace vd
