#pragma once
// Gradient lattice noise over the sphere-vector table, and its fractal sum over
// octaves. The decal manager fills its noise volume with it, once per texel.
#include <cstdint>

namespace vd {
namespace gfx {

// The fixed hash of the lattice: its values repeat, it is not a permutation.
extern const uint8_t kLatticeHash[256];

// Octaves whose weights fit the table: every count below 10 (ten whole terms).
// Larger counts are cut to the largest one below 10.
constexpr int kNoiseWeightCount = 10;

// Kept by each caller between calls: the weights are worked out again only when
// the octave count or the persistence changes.
struct SFractalNoiseState {
  float octaves = -1.0f;
  float persistence = -1.0f;
  float weights[kNoiseWeightCount] = {};
  bool cached = false;
};

// The dot product of the lattice point's gradient with (x, y, z). The same for any
// order of i, j and k.
float LatticeGradient(int32_t i, int32_t j, int32_t k, float x, float y, float z);
// 0 at every lattice point; smooth in between.
float LatticeNoise(float x, float y, float z);
// Sum of `octaves` terms of LatticeNoise, each at `lacunarity` times the frequency
// of the one before and `persistence` times its weight; a fractional part above
// 0.01 adds one more term scaled by that part.
float FractalNoise(SFractalNoiseState& state, float x, float y, float z, float octaves,
                   float frequency, float persistence, float lacunarity);

}  // namespace gfx
}  // namespace vd
