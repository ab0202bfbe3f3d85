#include "engine/render/LatticeNoise.h"

#include <cmath>

#include "engine/core/Log.h"
#include "engine/render/SphereVectors.h"

namespace vd {
namespace gfx {

const uint8_t kLatticeHash[256] = {
    54,  189, 140, 247, 29,  98,  224, 127, 78,  124, 101, 111, 32,  48,  244, 241, 71,  26,  218,
    51,  210, 96,  39,  172, 141, 123, 185, 248, 246, 69,  186, 11,  52,  196, 116, 200, 204, 20,
    9,   99,  233, 61,  218, 174, 26,  120, 38,  150, 150, 131, 162, 63,  218, 236, 167, 118, 251,
    208, 217, 243, 11,  175, 94,  161, 24,  122, 59,  91,  200, 207, 127, 150, 60,  175, 250, 198,
    78,  254, 210, 199, 249, 130, 15,  18,  249, 18,  168, 29,  29,  200, 149, 74,  11,  0,   192,
    227, 52,  227, 165, 61,  163, 232, 36,  226, 49,  152, 7,   24,  241, 125, 36,  154, 6,   135,
    97,  174, 52,  3,   71,  206, 211, 98,  58,  163, 89,  35,  108, 176, 39,  103, 154, 68,  251,
    111, 234, 242, 111, 137, 247, 131, 206, 190, 204, 19,  38,  150, 90,  238, 184, 54,  229, 223,
    239, 145, 31,  157, 108, 67,  54,  233, 22,  164, 63,  30,  164, 93,  39,  109, 206, 233, 94,
    199, 219, 129, 22,  184, 171, 37,  35,  97,  26,  204, 100, 213, 93,  105, 212, 128, 227, 101,
    201, 210, 45,  52,  158, 5,   45,  93,  78,  29,  98,  32,  51,  17,  127, 161, 96,  23,  98,
    250, 108, 192, 2,   66,  252, 56,  186, 19,  230, 92,  31,  38,  97,  251, 62,  5,   51,  55,
    111, 4,   3,   72,  147, 43,  74,  108, 30,  158, 71,  110, 45,  64,  176, 106, 166, 206, 19,
    8,   103, 178, 142, 5,   155, 123, 139, 213};

namespace {

// The largest octave count whose whole terms all have a weight.
const float kMaxOctaves = std::nextafter(static_cast<float>(kNoiseWeightCount), 0.0f);

inline float Fade(float t) { return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f); }
inline float Lerp(float a, float b, float t) { return a + (b - a) * t; }

// floor() as an integer that stays in range for any float, so that far-away
// coordinates wrap the lattice instead of overflowing the conversion.
inline int32_t FloorToInt(float v) {
  const float f = std::floor(v);
  if (!(f >= -2147483648.0f && f < 2147483648.0f)) return 0;
  return static_cast<int32_t>(f);
}

}  // namespace

float LatticeGradient(int32_t i, int32_t j, int32_t k, float x, float y, float z) {
  const unsigned sum = kLatticeHash[i & 255] + kLatticeHash[j & 255] + kLatticeHash[k & 255];
  const plat::Vec3& g = GetSphereVectors()[kLatticeHash[sum & 255]];
  return g.x * x + g.y * y + g.z * z;
}

float LatticeNoise(float x, float y, float z) {
  const int32_t i = FloorToInt(x), j = FloorToInt(y), k = FloorToInt(z);
  const float fx = x - std::floor(x), fy = y - std::floor(y), fz = z - std::floor(z);
  auto n = [&](int a, int b, int c) {
    return LatticeGradient(i + a, j + b, k + c, fx - static_cast<float>(a),
                           fy - static_cast<float>(b), fz - static_cast<float>(c));
  };
  const float u = Fade(fx), v = Fade(fy), w = Fade(fz);
  const float x00 = Lerp(n(0, 0, 0), n(1, 0, 0), u);
  const float x10 = Lerp(n(0, 1, 0), n(1, 1, 0), u);
  const float x01 = Lerp(n(0, 0, 1), n(1, 0, 1), u);
  const float x11 = Lerp(n(0, 1, 1), n(1, 1, 1), u);
  const float y0 = Lerp(x00, x10, v);
  const float y1 = Lerp(x01, x11, v);
  return Lerp(y0, y1, w);
}

float FractalNoise(SFractalNoiseState& state, float x, float y, float z, float octaves,
                   float frequency, float persistence, float lacunarity) {
  const bool clamped = octaves > kMaxOctaves;
  if (clamped) octaves = kMaxOctaves;
  if (!state.cached || octaves != state.octaves || persistence != state.persistence) {
    if (clamped)
      utl::LogPrintf("Noise: octave count cut to %g, the most its weights hold\n", octaves);
    for (int k = 0; k < kNoiseWeightCount && static_cast<float>(k) <= octaves; ++k) {
      state.weights[k] = std::pow(persistence, static_cast<float>(k));
    }
    state.octaves = octaves;
    state.persistence = persistence;
    state.cached = true;
  }
  x *= frequency;
  y *= frequency;
  z *= frequency;
  float sum = 0.0f;
  int n = 0;
  for (; static_cast<float>(n) < octaves; ++n) {
    sum += LatticeNoise(x, y, z) * state.weights[n];
    x *= lacunarity;
    y *= lacunarity;
    z *= lacunarity;
  }
  const float r = octaves - std::trunc(octaves);
  if (r > 0.01f) sum += LatticeNoise(x, y, z) * std::pow(persistence, static_cast<float>(n)) * r;
  return sum;
}

}  // namespace gfx
}  // namespace vd
