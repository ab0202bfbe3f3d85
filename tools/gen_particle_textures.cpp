// Writes the particle textures under Data/textures/particles: white shapes whose
// alpha gives the form, so that each emitter's colour keys tint them. A smoke puff,
// a blood drop, a spark, a glowing orb and a spray of droplets; the same bytes on
// every run.
//   gen_particle_textures [Data/textures/particles]
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "platform/image/ImageWriter.h"

namespace {

constexpr uint32_t kSize = 64;

// A value in [0, 1) for a lattice point: integer hashing, no library randomness.
float Hash(int x, int y, uint32_t seed) {
  uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u +
               seed * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  h ^= h >> 16;
  return static_cast<float>(h & 0xFFFFFF) / 16777216.0f;
}

float Smooth(float t) { return t * t * (3.0f - 2.0f * t); }

// Value noise over a lattice of `cell` pixels, wrapping at the texture's edge.
float ValueNoise(float x, float y, int cells, uint32_t seed) {
  const float fx = x * static_cast<float>(cells), fy = y * static_cast<float>(cells);
  const int ix = static_cast<int>(std::floor(fx)), iy = static_cast<int>(std::floor(fy));
  const float tx = Smooth(fx - static_cast<float>(ix)), ty = Smooth(fy - static_cast<float>(iy));
  auto at = [&](int a, int b) { return Hash((a % cells + cells) % cells, (b % cells + cells) % cells, seed); };
  const float top = at(ix, iy) + (at(ix + 1, iy) - at(ix, iy)) * tx;
  const float bottom = at(ix, iy + 1) + (at(ix + 1, iy + 1) - at(ix, iy + 1)) * tx;
  return top + (bottom - top) * ty;
}

float Fractal(float x, float y, uint32_t seed) {
  float sum = 0.0f, weight = 0.5f;
  for (int octave = 0, cells = 4; octave < 4; ++octave, cells *= 2, weight *= 0.5f)
    sum += ValueNoise(x, y, cells, seed + static_cast<uint32_t>(octave)) * weight;
  return sum / 0.9375f;
}

float Clamp01(float v) { return std::min(1.0f, std::max(0.0f, v)); }

// u, v in [-1, 1] from the pixel centre; returns (brightness, alpha).
using Shader = std::function<void(float u, float v, float& value, float& alpha)>;

std::vector<uint8_t> Paint(const Shader& shade) {
  std::vector<uint8_t> bgra(kSize * kSize * 4);
  for (uint32_t y = 0; y < kSize; ++y) {
    for (uint32_t x = 0; x < kSize; ++x) {
      const float u = (static_cast<float>(x) + 0.5f) / kSize * 2.0f - 1.0f;
      const float v = (static_cast<float>(y) + 0.5f) / kSize * 2.0f - 1.0f;
      float value = 1.0f, alpha = 0.0f;
      shade(u, v, value, alpha);
      const uint8_t c = static_cast<uint8_t>(Clamp01(value) * 255.0f + 0.5f);
      uint8_t* p = &bgra[(y * kSize + x) * 4];
      p[0] = p[1] = p[2] = c;
      p[3] = static_cast<uint8_t>(Clamp01(alpha) * 255.0f + 0.5f);
    }
  }
  return bgra;
}

// A soft round puff broken up by noise at its rim.
void Smoke(float u, float v, float& value, float& alpha) {
  const float r = std::sqrt(u * u + v * v);
  const float n = Fractal(u * 0.5f + 0.5f, v * 0.5f + 0.5f, 11u);
  const float edge = Clamp01((1.0f - r) * 1.6f) * (0.55f + 0.45f * n);
  alpha = Smooth(Clamp01(edge * 1.3f)) * 0.85f;
  value = 0.75f + 0.25f * n;
}

// A drop: a round body with a pointed top, denser at its centre.
void Blood(float u, float v, float& value, float& alpha) {
  const float body = std::sqrt(u * u + (v - 0.25f) * (v - 0.25f)) / 0.6f;
  const float tipWidth = Clamp01((v + 0.85f) / 1.1f) * 0.6f;
  const float tip = v < 0.25f && tipWidth > 0.0f ? std::fabs(u) / tipWidth : 2.0f;
  const float d = std::min(body, tip);
  alpha = Smooth(Clamp01((1.0f - d) * 4.0f));
  value = 0.85f + 0.15f * Clamp01(1.0f - body);
}

// A bright core with a four-pointed glint.
void Spark(float u, float v, float& value, float& alpha) {
  const float r = std::sqrt(u * u + v * v);
  const float core = Clamp01(1.0f - r / 0.35f);
  const float rays = Clamp01(1.0f - std::fabs(u) * 12.0f) * Clamp01(1.0f - std::fabs(v)) +
                     Clamp01(1.0f - std::fabs(v) * 12.0f) * Clamp01(1.0f - std::fabs(u));
  alpha = Clamp01(core * core * 1.5f + rays * 0.8f);
  value = 1.0f;
}

// A glowing ball: a solid centre fading into a wide halo.
void Orb(float u, float v, float& value, float& alpha) {
  const float r = std::sqrt(u * u + v * v);
  const float halo = std::exp(-r * r * 5.0f);
  const float core = Smooth(Clamp01((0.35f - r) * 8.0f));
  alpha = Clamp01(core + halo * 0.7f) * Clamp01((1.0f - r) * 4.0f);
  value = 0.8f + 0.2f * core;
}

// Droplets thrown from a centre: a few round blobs on a faint spray.
void Droplets(float u, float v, float& value, float& alpha) {
  float a = 0.0f;
  for (int i = 0; i < 9; ++i) {
    const float angle = Hash(i, 1, 7u) * 6.2831853f;
    const float dist = 0.15f + Hash(i, 2, 7u) * 0.6f;
    const float radius = 0.06f + Hash(i, 3, 7u) * 0.12f;
    const float cx = std::cos(angle) * dist, cy = std::sin(angle) * dist;
    const float d = std::sqrt((u - cx) * (u - cx) + (v - cy) * (v - cy)) / radius;
    a = std::max(a, Smooth(Clamp01((1.0f - d) * 3.0f)));
  }
  const float r = std::sqrt(u * u + v * v);
  a = std::max(a, Clamp01(0.35f - r) * Fractal(u * 0.5f + 0.5f, v * 0.5f + 0.5f, 23u));
  alpha = a;
  value = 1.0f;
}

bool Write(const std::string& path, const std::vector<uint8_t>& bgra) {
  std::vector<uint8_t> png;
  std::string error;
  if (!plat::image::EncodePng(kSize, kSize, bgra, png, error) ||
      !plat::image::WriteFileBytes(path, png)) {
    std::fprintf(stderr, "gen_particle_textures: %s: %s\n", path.c_str(),
                 error.empty() ? "cannot be written" : error.c_str());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string dir = argc > 1 ? argv[1] : "Data/textures/particles";
  const struct {
    const char* file;
    Shader shade;
  } textures[] = {
      {"smoke.png", Smoke}, {"blood.png", Blood},        {"spark.png", Spark},
      {"orb.png", Orb},     {"droplets.png", Droplets},
  };
  bool ok = true;
  for (const auto& t : textures) ok = Write(dir + "/" + t.file, Paint(t.shade)) && ok;
  return ok ? 0 : 1;
}
