#pragma once
// Light-space geometry of the shadow maps: where the sun's parallel splits end,
// the crop that fits one split's light projection around its piece of the view
// frustum, and the six views of a point light.
#include "platform/math/Math.h"

namespace vd {
namespace gfx {

constexpr int kMaxSplits = 6;

// out[i] for t = i / splitTableSize blends the logarithmic and the uniform split
// by `alphaScheme`, which drops by 0.1 per entry while above 0.1; then out[0] is
// nearZ and out[splitTableSize - 1] farZ. A table size outside 1..6 leaves out
// zeroed.
void ComputeSplitDistances(float nearZ, float farZ, int splitTableSize, float alphaScheme,
                           float out[kMaxSplits]);

// The light's projection cropped to the box the eight corners take in its clip
// space (x, y clamped to [-1, 1], z to [0, 1]).
void ComputeCropMatrices(const plat::Vec3 corners[8], const plat::Mat4& lightView,
                         const plat::Mat4& lightProjection, plat::Mat4& view,
                         plat::Mat4& projection);

// +X, -X, +Y, -Y, +Z, -Z look-at views from `position`.
void ComputeCubeViewMatrices(const plat::Vec3& position, plat::Mat4 views[6]);

}  // namespace gfx
}  // namespace vd
