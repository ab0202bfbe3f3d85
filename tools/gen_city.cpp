// Writes the city level: five zones (diagonal, avenue, bar, square, casino) along one
// street at night. Everything comes from this program and is the same byte for byte
// on every run: the static meshes with their lightmap coordinates, the textures, the
// lightmaps baked from the level's own lights, the collision meshes, the render
// libraries (textures, materials, shaders, scene graph, depth of field) and the
// instance files of the scene, collision, triggers, trackers, lines, lights and the
// level's common places.
// The templates the instances name live in Data/xml/common_templates.xml.
//
// Usage: gen_city [root folder]   (default "."; files go under <root>/Data/)
//
// Axes: x runs east along the main street, z north, y up; the street is z -6..6.
// Front faces wind clockwise seen from the front, as in the other mesh tools.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/collision/CollisionMeshWriter.h"
#include "engine/render/buffers/MeshFile.h"
#include "engine/render/buffers/VertexTypes.h"
#include "platform/image/ImageWriter.h"
#include "tools/city_layout.h"
#include "tools/gen_mesh_file.h"

namespace {

using vd::gfx::BITEXTURED_NORM_VERTEX;
using V3 = plat::Vec3;

constexpr float kPi = 3.14159265f;

float Dot(const V3& a, const V3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V3 Cross(const V3& a, const V3& b) {
  return V3(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}
float Length(const V3& a) { return std::sqrt(Dot(a, a)); }
V3 Normalized(const V3& a) {
  const float l = Length(a);
  return l > 0.0f ? a * (1.0f / l) : V3(0, 1, 0);
}
V3 Lerp(const V3& a, const V3& b, float t) { return a + (b - a) * t; }

bool g_ok = true;

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  if (!plat::image::WriteFileBytes(path, bytes)) {
    std::fprintf(stderr, "gen_city: cannot write %s\n", path.c_str());
    g_ok = false;
  }
}

void WriteText(const std::string& path, const std::string& text) {
  WriteBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

std::string Num(float v) {
  char buffer[32];
  std::snprintf(buffer, sizeof(buffer), "%g", static_cast<double>(v));
  return std::strcmp(buffer, "-0") == 0 ? "0" : buffer;
}

// --- Noise: integer hashes, so every run and machine gives the same pixels ---------------

uint32_t Hash(uint32_t x, uint32_t y, uint32_t seed) {
  uint32_t h = x * 0x8da6b343u ^ y * 0xd8163841u ^ seed * 0xcb1ab31fu;
  h ^= h >> 13;
  h *= 0x5bd1e995u;
  h ^= h >> 15;
  return h;
}
float Hash01(uint32_t x, uint32_t y, uint32_t seed) {
  return (Hash(x, y, seed) & 0xFFFFFF) / 16777216.0f;
}

// Value noise that repeats every `period` cells, so textures tile.
float Noise(float x, float y, int period, uint32_t seed) {
  const int xi = static_cast<int>(std::floor(x)), yi = static_cast<int>(std::floor(y));
  const float fx = x - xi, fy = y - yi;
  const float sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
  auto at = [&](int cx, int cy) {
    return Hash01(static_cast<uint32_t>(((cx % period) + period) % period),
                  static_cast<uint32_t>(((cy % period) + period) % period), seed);
  };
  const float a = at(xi, yi) + (at(xi + 1, yi) - at(xi, yi)) * sx;
  const float b = at(xi, yi + 1) + (at(xi + 1, yi + 1) - at(xi, yi + 1)) * sx;
  return a + (b - a) * sy;
}

// Fractal noise in 0..1 over a texture of `size` pixels, tiling.
float Fbm(int px, int py, int size, int cells, uint32_t seed) {
  float sum = 0, amplitude = 0.5f, norm = 0;
  for (int octave = 0; octave < 4; ++octave) {
    const float scale = static_cast<float>(cells << octave) / size;
    sum += amplitude * Noise(px * scale, py * scale, cells << octave, seed + octave);
    norm += amplitude;
    amplitude *= 0.5f;
  }
  return sum / norm;
}

// --- Images ---------------------------------------------------------------------

struct Image {
  int width = 0, height = 0;
  std::vector<float> rgb;  // 0..1 per channel
  Image(int w, int h) : width(w), height(h), rgb(size_t(w) * h * 3, 0.0f) {}
  void Set(int x, int y, float r, float g, float b) {
    float* p = &rgb[(size_t(y) * width + x) * 3];
    p[0] = r;
    p[1] = g;
    p[2] = b;
  }
  const float* At(int x, int y) const { return &rgb[(size_t(y) * width + x) * 3]; }
};

void WritePng(const std::string& path, const Image& image) {
  std::vector<uint8_t> bgra(size_t(image.width) * image.height * 4);
  for (size_t i = 0; i < size_t(image.width) * image.height; ++i) {
    for (int c = 0; c < 3; ++c) {
      const float v = std::min(1.0f, std::max(0.0f, image.rgb[i * 3 + c]));
      bgra[i * 4 + (2 - c)] = static_cast<uint8_t>(std::lround(v * 255.0f));
    }
    bgra[i * 4 + 3] = 255;
  }
  std::vector<uint8_t> png;
  std::string error;
  if (!plat::image::EncodePng(image.width, image.height, bgra, png, error)) {
    std::fprintf(stderr, "gen_city: %s: %s\n", path.c_str(), error.c_str());
    g_ok = false;
    return;
  }
  WriteBytes(path, png);
}

constexpr int kTex = 256;

Image Asphalt() {
  Image im(kTex, kTex);
  for (int y = 0; y < kTex; ++y)
    for (int x = 0; x < kTex; ++x) {
      float v = 0.2f + 0.08f * Fbm(x, y, kTex, 8, 11);
      if (Hash01(x, y, 12) > 0.985f) v += 0.08f;  // gravel catching the light
      const float crack = std::fabs(Noise(x / 32.0f, y / 32.0f, 8, 13) - 0.5f);
      if (crack < 0.012f) v *= 0.55f;
      im.Set(x, y, v, v, v * 1.08f);
    }
  return im;
}

// 2 m of pavement: 4 x 4 slabs with their joints.
Image Pavement() {
  Image im(kTex, kTex);
  for (int y = 0; y < kTex; ++y)
    for (int x = 0; x < kTex; ++x) {
      const int sx = x / 64, sy = y / 64;
      const bool joint = x % 64 < 2 || y % 64 < 2;
      float v = 0.42f + 0.06f * Hash01(sx, sy, 21) + 0.08f * (Fbm(x, y, kTex, 16, 22) - 0.5f);
      if (joint) v = 0.2f;
      im.Set(x, y, v, v * 0.97f, v * 0.9f);
    }
  return im;
}

// A window of a facade tile (128 x 128 pixels = 4 x 4 m); lit ones glow warm.
bool InWindow(int lx, int ly, int& wx, int& wy) {
  wx = lx - 40;
  wy = ly - 26;
  return wx >= 0 && wx < 48 && wy >= 0 && wy < 76;
}

void Window(Image& im, int x, int y, int lx, int ly, bool lit, uint32_t seed) {
  int wx, wy;
  InWindow(lx, ly, wx, wy);
  const bool frame =
      wx < 4 || wx >= 44 || wy < 4 || wy >= 72 || (wx >= 22 && wx < 26) || (wy >= 34 && wy < 37);
  if (frame) {
    im.Set(x, y, 0.55f, 0.52f, 0.46f);
    return;
  }
  if (lit) {
    const float g = 0.75f + 0.25f * (1.0f - wy / 76.0f);
    const bool curtain = wx < 10 || wx >= 38;
    const float n = 0.05f * Hash01(x, y, seed);
    if (curtain)
      im.Set(x, y, 0.65f * g + n, 0.35f * g, 0.18f * g);
    else
      im.Set(x, y, 1.0f * g, 0.78f * g + n, 0.42f * g);
  } else {
    const float r = 0.08f + 0.1f * std::max(0.0f, 1.0f - (wx + wy) / 60.0f);
    im.Set(x, y, r, r * 1.1f, r * 1.4f);
  }
}

// 8 x 8 m of wall: two floors of two windows; which windows are lit depends on `seed`.
Image Facade(bool brick, uint32_t seed) {
  Image im(kTex, kTex);
  for (int y = 0; y < kTex; ++y)
    for (int x = 0; x < kTex; ++x) {
      const int cell = (y / 128) * 2 + x / 128;
      const int lx = x % 128, ly = y % 128;
      int wx, wy;
      if (InWindow(lx, ly, wx, wy)) {
        Window(im, x, y, lx, ly, Hash01(cell, 0, seed) > 0.55f, seed);
        continue;
      }
      if (ly >= 102 && ly < 108 && lx >= 36 && lx < 92) {  // sill
        im.Set(x, y, 0.6f, 0.58f, 0.52f);
        continue;
      }
      if (brick) {
        const int row = y / 8;
        const int col = (x + (row % 2) * 8) / 16;
        const bool mortar = y % 8 < 1 || (x + (row % 2) * 8) % 16 < 1;
        const float n = 0.1f * Hash01(col, row, seed + 1) + 0.06f * Fbm(x, y, kTex, 16, seed + 2);
        if (mortar)
          im.Set(x, y, 0.36f, 0.33f, 0.3f);
        else
          im.Set(x, y, 0.42f + n, 0.2f + n * 0.5f, 0.14f + n * 0.3f);
      } else {
        const bool shutter = (lx >= 26 && lx < 40) || (lx >= 88 && lx < 102);
        const bool shutterRow = ly >= 26 && ly < 102;
        const bool cornice = ly >= 122;
        const float stain = 0.12f * Fbm(x, y, kTex, 8, seed + 3);
        if (shutter && shutterRow) {
          const float slat = (ly % 6 < 1) ? 0.6f : 1.0f;
          im.Set(x, y, 0.12f * slat, 0.3f * slat, 0.2f * slat);
        } else if (cornice) {
          im.Set(x, y, 0.62f, 0.6f, 0.55f);
        } else {
          im.Set(x, y, 0.72f - stain, 0.58f - stain, 0.36f - stain * 0.8f);
        }
      }
    }
  return im;
}

// 8 x 8 m of the casino front: red and gold panels framed by rows of bulbs.
Image Casino() {
  Image im(kTex, kTex);
  for (int y = 0; y < kTex; ++y)
    for (int x = 0; x < kTex; ++x) {
      const int lx = x % 64, ly = y % 64;
      const bool band = ly < 12;
      float r = 0.45f, g = 0.05f, b = 0.08f;
      if (band) {
        r = 0.85f;
        g = 0.62f;
        b = 0.2f;
      }
      if (lx < 3 || lx >= 61) {
        r = 0.95f;
        g = 0.8f;
        b = 0.35f;
      }
      r += 0.05f * Fbm(x, y, kTex, 8, 31);
      // Bulbs every 8 pixels along the gold band, with a halo.
      const float dx = static_cast<float>(lx % 8) - 3.5f, dy = static_cast<float>(ly) - 6.0f;
      const float d2 = dx * dx + dy * dy;
      if (d2 < 12.0f) {
        const float glow = 1.0f - d2 / 12.0f;
        r = std::min(1.0f, r + glow);
        g = std::min(1.0f, g + glow * 0.9f);
        b = std::min(1.0f, b + glow * 0.6f);
      }
      im.Set(x, y, r, g, b);
    }
  return im;
}

Image Wood() {
  Image im(kTex, kTex);
  for (int y = 0; y < kTex; ++y)
    for (int x = 0; x < kTex; ++x) {
      const int plank = x / 32;
      const float grain =
          0.5f + 0.5f * std::sin((x + 40.0f * Fbm(x, y, kTex, 4, 41 + plank)) * 0.6f);
      float v = 0.28f + 0.08f * grain + 0.05f * Hash01(plank, 0, 42);
      if (x % 32 < 1) v *= 0.5f;
      im.Set(x, y, v, v * 0.62f, v * 0.36f);
    }
  return im;
}

Image Concrete() {
  Image im(kTex, kTex);
  for (int y = 0; y < kTex; ++y)
    for (int x = 0; x < kTex; ++x) {
      const float v = 0.3f + 0.12f * Fbm(x, y, kTex, 8, 51) + 0.03f * Hash01(x, y, 52);
      im.Set(x, y, v, v, v * 1.03f);
    }
  return im;
}

// A tangent-space normal map of small ripples, tiling.
Image WaterNoise() {
  constexpr int n = 128;
  Image im(n, n);
  auto h = [](int x, int y) { return Fbm((x + n) % n, (y + n) % n, n, 8, 61); };
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) {
      const V3 normal = Normalized(
          V3((h(x - 1, y) - h(x + 1, y)) * 4.0f, (h(x, y - 1) - h(x, y + 1)) * 4.0f, 1.0f));
      im.Set(x, y, normal.x * 0.5f + 0.5f, normal.y * 0.5f + 0.5f, normal.z * 0.5f + 0.5f);
    }
  return im;
}

// The night sky over the dome: u goes round the horizon (and wraps), v from the
// zenith (0) down to the horizon (1); a glow of the city lights low down, stars and
// a moon.
Image Sky() {
  Image im(kTex, kTex);
  for (int y = 0; y < kTex; ++y)
    for (int x = 0; x < kTex; ++x) {
      const float v = (y + 0.5f) / kTex;
      const float t = v * v;
      float r = 0.015f + 0.1f * t, g = 0.02f + 0.07f * t, b = 0.07f + 0.12f * t;
      const float glow = std::max(0.0f, (v - 0.75f) / 0.25f);
      r += 0.25f * glow * glow;
      g += 0.12f * glow * glow;
      b += 0.05f * glow * glow;
      const float cloud = Fbm(x, y, kTex, 4, 71);
      r += 0.03f * cloud;
      g += 0.03f * cloud;
      b += 0.04f * cloud;
      if (v < 0.8f && Hash01(x, y, 72) > 0.994f) {
        const float s = 0.5f + 0.5f * Hash01(x, y, 73);
        r += s;
        g += s;
        b += s * 0.9f;
      }
      const float mx = x - 200.0f, my = y - 90.0f;
      const float md = std::sqrt(mx * mx + my * my);
      if (md < 9.0f) {
        r = g = 0.9f;
        b = 0.8f;
      } else if (md < 24.0f) {
        const float halo = 0.25f * (1.0f - (md - 9.0f) / 15.0f);
        r += halo;
        g += halo;
        b += halo * 1.1f;
      }
      im.Set(x, y, r, g, b);
    }
  return im;
}

// --- Lights (drawn by the light components and baked into the lightmaps) ----------

using city::kAvenue;
using city::kBar;
using city::kCasino;
using city::kDiagonal;
using city::kSquare;
using city::kZoneCount;
using city::kZoneGlobals;
using city::kZoneNames;
using city::kZoneRects;
using city::Rect;

struct Light {
  std::string id;
  int type;  // 1 point, 2 spot, 3 sun (the "light_type" values)
  V3 position, target, colour, attenuation;
  float exponent = 8.0f, fov = 60.0f, farPlane = 40.0f;
  bool shadows = false;
};

// The night's light where no lamp reaches; the effects of what is not lightmapped
// (figures, water) add the same.
const V3 kNightAmbient(0.2f, 0.2f, 0.27f);

std::vector<Light> Lights() {
  std::vector<Light> lights;
  Light moon{"light_moon", 3, V3(60, 200, -90), V3(0, 0, 0), V3(0.4f, 0.45f, 0.65f), V3(1, 0, 0)};
  moon.shadows = true;
  moon.fov = 60.0f;
  moon.farPlane = 400.0f;
  lights.push_back(moon);
  // Sodium street lamps on alternate pavements.
  for (int i = 0; i < 10; ++i) {
    const float x = -72.0f + 16.0f * i;
    const float z = (i % 2) ? 7.4f : -7.4f;
    Light lamp{"light_street_" + std::to_string(i),
               2,
               V3(x, 6.0f, z - (z > 0 ? 0.9f : -0.9f)),
               V3(x, 0.0f, z * 0.55f),
               V3(2.0f, 1.4f, 0.7f),  // a bright pool under the lamp that fades within 8 m
               V3(1.0f, 0.0f, 0.025f)};
    lamp.exponent = 3.0f;
    lamp.fov = 100.0f;
    lamp.shadows = i % 3 == 0;
    lights.push_back(lamp);
  }
  // Floodlights on the casino front.
  for (int i = 0; i < 3; ++i) {
    const float z = -12.0f + 12.0f * i;
    Light flood{"light_casino_flood_" + std::to_string(i),
                2,
                V3(72.0f, 0.4f, z),
                V3(80.0f, 11.0f, z),
                V3(1.0f, 0.82f, 0.5f),
                V3(1.0f, 0.0f, 0.006f)};
    flood.exponent = 4.0f;
    flood.fov = 70.0f;
    lights.push_back(flood);
  }
  lights.push_back({"light_casino_door", 1, V3(77.5f, 4.5f, 0), V3(0, 0, 0), V3(1.0f, 0.75f, 0.35f),
                    V3(1, 0, 0.05f)});
  lights.push_back({"light_bar_lamp_0", 1, V3(16.5f, 3.4f, 25.5f), V3(0, 0, 0),
                    V3(1.0f, 0.55f, 0.25f), V3(1, 0, 0.12f)});
  lights.push_back({"light_bar_lamp_1", 1, V3(23.5f, 3.4f, 25.5f), V3(0, 0, 0),
                    V3(1.0f, 0.55f, 0.25f), V3(1, 0, 0.12f)});
  lights.push_back({"light_fountain", 1, V3(20.0f, 0.9f, 0.0f), V3(0, 0, 0), V3(0.35f, 0.65f, 1.0f),
                    V3(1, 0, 0.08f)});
  lights.push_back({"light_shop_diagonal", 1, V3(-58.0f, 2.6f, 10.2f), V3(0, 0, 0),
                    V3(0.9f, 0.25f, 0.6f), V3(1, 0, 0.15f)});
  lights.push_back({"light_shop_avenue", 1, V3(-22.0f, 2.6f, -8.7f), V3(0, 0, 0),
                    V3(0.3f, 0.9f, 0.6f), V3(1, 0, 0.15f)});
  return lights;
}

// Zones whose lighting a light takes part in: the zone it stands in and any zone
// within reach of it.
std::vector<int> LightZones(const Light& light) {
  std::vector<int> zones;
  for (int z = 0; z < kZoneCount; ++z)
    if (light.type == 3 || kZoneRects[z].Contains(light.position.x, light.position.z, 6.0f))
      zones.push_back(z);
  return zones;
}

// What the lights give a surface point with that normal, as the lightmaps store it.
V3 LightAt(const std::vector<Light>& lights, const V3& p, const V3& n) {
  V3 c(kNightAmbient);  // light from the windows and the sky
  for (const Light& light : lights) {
    if (light.type == 3) {
      const V3 toLight = Normalized(light.position - light.target);
      c += light.colour * std::max(0.0f, Dot(n, toLight));
      continue;
    }
    const V3 d = light.position - p;
    const float dist = Length(d);
    if (dist < 1e-3f) continue;
    const V3 l = d * (1.0f / dist);
    float k = std::max(0.0f, Dot(n, l));
    if (k <= 0.0f) continue;
    k /= light.attenuation.x + light.attenuation.y * dist + light.attenuation.z * dist * dist;
    if (light.type == 2) {
      const V3 axis = Normalized(light.target - light.position);
      const float cone = std::max(0.0f, Dot(l * -1.0f, axis));
      k *= std::pow(cone, light.exponent);
    }
    c += light.colour * k;
  }
  return c;
}

// --- Meshes ---------------------------------------------------------------------

// A quad's place in a lightmap: its corners a, b, c, d map to the chart's corners.
struct Chart {
  V3 corners[4];
  V3 normal;
  size_t firstVertex = 0;
  int w = 1, h = 1, x = 0, y = 0;  // inner texels and the chart's cell (with a 1-texel border)
};

struct Mesh {
  std::string name;
  int material = 0;
  int zone = -1;  // lightmap atlas and geometry group; -1 for the sky
  bool lightmapped = true;
  std::vector<BITEXTURED_NORM_VERTEX> vertices;
  std::vector<uint16_t> indices;
  std::vector<Chart> charts;
  float tile = 4.0f;  // metres covered by one repeat of the texture

  // Corners top-left, top-right, bottom-right, bottom-left seen from the front.
  void Quad(const V3& a, const V3& b, const V3& c, const V3& d) {
    const V3 n = Normalized(Cross(c - a, b - a));
    Chart chart;
    chart.corners[0] = a;
    chart.corners[1] = b;
    chart.corners[2] = c;
    chart.corners[3] = d;
    chart.normal = n;
    chart.firstVertex = vertices.size();
    const V3 right = std::fabs(n.y) > 0.7f ? V3(1, 0, 0) : Normalized(Cross(V3(0, 1, 0), n));
    const V3 down = std::fabs(n.y) > 0.7f ? V3(0, 0, -1) : V3(0, -1, 0);
    for (const V3& p : chart.corners) {
      BITEXTURED_NORM_VERTEX v;
      v.position = p;
      v.normal = n;
      v.uv0 = plat::Vec2(Dot(p, right) / tile, Dot(p, down) / tile);
      vertices.push_back(v);
    }
    const uint16_t base = static_cast<uint16_t>(chart.firstVertex);
    for (int k : {0, 1, 2, 0, 2, 3}) indices.push_back(static_cast<uint16_t>(base + k));
    if (lightmapped) charts.push_back(chart);
  }
  // A wall from p0 to p1 (p0 on the left seen from the front) between two heights:
  // it faces to the left of someone walking from p0 to p1.
  void Wall(float x0, float z0, float x1, float z1, float y0, float y1) {
    Quad(V3(x0, y1, z0), V3(x1, y1, z1), V3(x1, y0, z1), V3(x0, y0, z0));
  }
  void Floor(float x0, float z0, float x1, float z1, float y) {
    Quad(V3(x0, y, z0), V3(x1, y, z0), V3(x1, y, z1), V3(x0, y, z1));
  }
  // A box's four sides, facing out, and optionally its top on `top`.
  void Box(float x0, float y0, float z0, float x1, float y1, float z1, Mesh* top) {
    Wall(x1, z0, x0, z0, y0, y1);  // south
    Wall(x1, z1, x1, z0, y0, y1);  // east
    Wall(x0, z1, x1, z1, y0, y1);  // north
    Wall(x0, z0, x0, z1, y0, y1);  // west
    if (top) top->Floor(x0, z0, x1, z1, y1);
  }
  void Triangle(const BITEXTURED_NORM_VERTEX& a, const BITEXTURED_NORM_VERTEX& b,
                const BITEXTURED_NORM_VERTEX& c) {
    for (const auto* v : {&a, &b, &c}) {
      indices.push_back(static_cast<uint16_t>(vertices.size()));
      vertices.push_back(*v);
    }
  }
};

struct Level {
  std::deque<Mesh> meshes;  // references stay valid as meshes are added
  vd::phy::SCollisionMeshBuilder floor, walls;

  Mesh& Get(const std::string& name, int material, int zone, float tile) {
    for (Mesh& m : meshes)
      if (m.name == name) return m;
    meshes.push_back(Mesh());
    Mesh& m = meshes.back();
    m.name = name;
    m.material = material;
    m.zone = zone;
    m.tile = tile;
    return m;
  }
};

enum EMaterial {
  kAsphalt = 1,
  kPavement,
  kBrick,
  kPlaster,
  kCasinoFront,
  kWood,
  kConcrete,
  kWater,
  kSky
};

constexpr float kCurb = 0.15f;

void CollisionBox(vd::phy::SCollisionMeshBuilder& c, float x0, float z0, float x1, float z1,
                  float y0, float y1) {
  const uint16_t b0 = c.Vertex(x0, y0, z0), b1 = c.Vertex(x1, y0, z0), b2 = c.Vertex(x1, y0, z1),
                 b3 = c.Vertex(x0, y0, z1);
  const uint16_t t0 = c.Vertex(x0, y1, z0), t1 = c.Vertex(x1, y1, z0), t2 = c.Vertex(x1, y1, z1),
                 t3 = c.Vertex(x0, y1, z1);
  c.Quad(b0, t0, t1, b1);
  c.Quad(b1, t1, t2, b2);
  c.Quad(b2, t2, t3, b3);
  c.Quad(b3, t3, t0, b0);
  c.Quad(t0, t3, t2, t1);
}

// One building of a row: where it starts, how wide and tall it is, its facade.
struct Building {
  float x, width, height;
  bool brick;
};

// The buildings of a row along the street between x0 and x1; heights and facades
// vary building by building.
std::vector<Building> RowLayout(float x0, float x1, uint32_t seed) {
  std::vector<Building> row;
  float x = x0;
  int index = 0;
  while (x < x1 - 0.5f) {
    const float width = std::min(x1 - x, 8.0f + 4.0f * std::floor(Hash01(index, 1, seed) * 3.0f));
    const float height = 8.0f * (2.0f + std::floor(Hash01(index, 2, seed) * 3.0f));
    row.push_back({x, width, height, Hash01(index, 3, seed) > 0.5f});
    x += width;
    ++index;
  }
  return row;
}

// A block's sides and top. Where another block stands against its west or east side
// (up to `westCover` or `eastCover` metres), that part of the side is never seen from
// outside and is left out: from a camera inside the block it would be a wall
// standing across the view.
void Block(Mesh& m, float x0, float y0, float z0, float x1, float y1, float z1, float westCover,
           float eastCover, Mesh* top) {
  m.Wall(x1, z0, x0, z0, y0, y1);  // south
  m.Wall(x0, z1, x1, z1, y0, y1);  // north
  if (std::max(y0, eastCover) < y1) m.Wall(x1, z1, x1, z0, std::max(y0, eastCover), y1);
  if (std::max(y0, westCover) < y1) m.Wall(x0, z0, x0, z1, std::max(y0, westCover), y1);
  if (top) top->Floor(x0, z0, x1, z1, y1);
}

// A row of buildings (RowLayout) on the north (z 9..20) or south (z -20..-9) side
// of the street; `westCover` and `eastCover` are the heights of what stands against
// the row's ends.
void BuildingRow(Level& level, int zone, const std::vector<Building>& row, bool north,
                 float westCover, float eastCover) {
  const std::string z = kZoneNames[zone];
  for (size_t i = 0; i < row.size(); ++i) {
    const Building& b = row[i];
    const float x = b.x, width = b.width, height = b.height;
    Mesh& facade = level.Get("city_" + z + (b.brick ? "_brick" : "_plaster"),
                             b.brick ? kBrick : kPlaster, zone, 8.0f);
    Mesh& roof = level.Get("city_" + z + "_concrete", kConcrete, zone, 4.0f);
    const float zn = north ? 9.0f : -20.0f, zf = north ? 20.0f : -9.0f;
    const float west = i == 0 ? westCover : row[i - 1].height;
    const float east = i + 1 == row.size() ? eastCover : row[i + 1].height;
    Block(facade, x, kCurb, zn, x + width, height, zf, west, east, &roof);
    // The street's camera looks out of the south side's houses: their ground is
    // paved like the pavement, so that the foot of the frame never shows the void
    // (the square's paving already runs under them).
    if (!north && zone != kSquare)
      level.Get("city_" + z + "_pavement", kPavement, zone, 2.0f)
          .Floor(x, zn, x + width, zf, kCurb);
    CollisionBox(level.walls, x, zn, x + width, zf, 0.0f, height);
    // A door in the middle of the street side: a wooden leaf, on the north side in a
    // stone frame standing out of the wall (the frame's back against the wall is never
    // seen). The south side's doors have none: the street's camera runs inside those
    // houses and would see a frame from behind, floating in the view.
    Mesh& doors = level.Get("city_" + z + "_wood", kWood, zone, 2.0f);
    const float face = north ? zn : zf, out = north ? -0.12f : 0.12f;
    const float mid = x + width * 0.5f;
    if (north) {
      const float front = face + out * 1.5f;
      Mesh& frame = level.Get("city_" + z + "_concrete", kConcrete, zone, 4.0f);
      doors.Wall(mid + 0.7f, face + out, mid - 0.7f, face + out, kCurb, 2.6f);
      frame.Wall(mid + 0.95f, front, mid - 0.95f, front, 2.6f, 2.9f);
      frame.Wall(mid + 0.95f, face, mid + 0.95f, front, 2.6f, 2.9f);
      frame.Wall(mid - 0.95f, front, mid - 0.95f, face, 2.6f, 2.9f);
      frame.Floor(mid - 0.95f, front, mid + 0.95f, face, 2.9f);
    } else {
      doors.Wall(mid - 0.7f, face + out, mid + 0.7f, face + out, kCurb, 2.6f);
    }
  }
}

// The street (z -6..6) and both pavements (curb 0.15 m) between x0 and x1.
void Street(Level& level, int zone, float x0, float x1, bool northPavement, bool southPavement) {
  const std::string z = kZoneNames[zone];
  Mesh& street = level.Get("city_" + z + "_street", kAsphalt, zone, 4.0f);
  Mesh& pavement = level.Get("city_" + z + "_pavement", kPavement, zone, 2.0f);
  for (float x = x0; x < x1 - 0.01f; x += 8.0f) {
    const float xe = std::min(x1, x + 8.0f);
    street.Floor(x, -6.0f, xe, 6.0f, 0.0f);
  }
  level.floor.Flat(x0, -6.0f, x1, 6.0f, 0.0f);
  if (northPavement) {
    pavement.Floor(x0, 6.0f, x1, 9.0f, kCurb);
    pavement.Wall(x1, 6.0f, x0, 6.0f, 0.0f, kCurb);
    level.floor.Flat(x0, 6.0f, x1, 9.0f, kCurb);
  }
  if (southPavement) {
    pavement.Floor(x0, -9.0f, x1, -6.0f, kCurb);
    pavement.Wall(x0, -6.0f, x1, -6.0f, 0.0f, kCurb);
    level.floor.Flat(x0, -9.0f, x1, -6.0f, kCurb);
  }
}

void StreetLamps(Level& level, const std::vector<Light>& lights) {
  for (const Light& light : lights) {
    if (light.id.rfind("light_street_", 0) != 0) continue;
    int zone = kDiagonal;
    for (int z = 0; z < kZoneCount; ++z)
      if (z != kBar && kZoneRects[z].Contains(light.position.x, light.position.z, 0.0f)) zone = z;
    Mesh& metal =
        level.Get(std::string("city_") + kZoneNames[zone] + "_concrete", kConcrete, zone, 4.0f);
    const float px = light.position.x, pz = light.position.z > 0 ? 7.4f : -7.4f;
    metal.Box(px - 0.1f, kCurb, pz - 0.1f, px + 0.1f, 6.1f, pz + 0.1f, &metal);
    const float hz0 = std::min(pz, light.position.z) - 0.25f,
                hz1 = std::max(pz, light.position.z) + 0.25f;
    metal.Box(px - 0.25f, 5.95f, hz0, px + 0.25f, 6.2f, hz1, &metal);
    CollisionBox(level.walls, px - 0.1f, pz - 0.1f, px + 0.1f, pz + 0.1f, kCurb, 6.1f);
  }
}

// A polygon ring of `sides` wall quads around (cx, cz).
void Ring(Mesh& m, float cx, float cz, float radius, float y0, float y1, int sides, bool outward) {
  for (int i = 0; i < sides; ++i) {
    const float a0 = 2 * kPi * i / sides, a1 = 2 * kPi * (i + 1) / sides;
    const float x0 = cx + radius * std::cos(a0), z0 = cz + radius * std::sin(a0);
    const float x1 = cx + radius * std::cos(a1), z1 = cz + radius * std::sin(a1);
    if (outward)
      m.Wall(x1, z1, x0, z0, y0, y1);
    else
      m.Wall(x0, z0, x1, z1, y0, y1);
  }
}

// A flat disc of triangles (water surfaces), facing up.
void Disc(Mesh& m, float cx, float cz, float radius, float y, int sides) {
  BITEXTURED_NORM_VERTEX centre;
  centre.position = V3(cx, y, cz);
  centre.normal = V3(0, 1, 0);
  centre.uv0 = plat::Vec2(0.5f, 0.5f);
  for (int i = 0; i < sides; ++i) {
    BITEXTURED_NORM_VERTEX v[2];
    for (int k = 0; k < 2; ++k) {
      const float a = 2 * kPi * (i + k) / sides;
      v[k] = centre;
      v[k].position = V3(cx + radius * std::cos(a), y, cz + radius * std::sin(a));
      v[k].uv0 = plat::Vec2(0.5f + 0.5f * std::cos(a), 0.5f + 0.5f * std::sin(a));
    }
    m.Triangle(centre, v[0], v[1]);
  }
}

void BuildSky(Level& level) {
  Mesh& sky = level.Get("city_sky_dome", kSky, -1, 1.0f);
  sky.lightmapped = false;
  constexpr int kAround = 24, kUp = 8;
  constexpr float kRadius = 380.0f;
  std::vector<BITEXTURED_NORM_VERTEX> grid;
  for (int j = 0; j <= kUp; ++j) {
    // From 10 degrees below the horizon, so no gap shows under it, to the zenith.
    const float elevation = -0.17f + (kPi / 2 + 0.17f) * j / kUp;
    for (int i = 0; i <= kAround; ++i) {
      const float azimuth = 2 * kPi * i / kAround;
      BITEXTURED_NORM_VERTEX v;
      const V3 dir(std::cos(elevation) * std::cos(azimuth), std::sin(elevation),
                   std::cos(elevation) * std::sin(azimuth));
      v.position = dir * kRadius;
      v.normal = dir * -1.0f;  // seen from inside
      v.uv0 =
          plat::Vec2(static_cast<float>(i) / kAround, std::min(1.0f, 1.0f - elevation / (kPi / 2)));
      grid.push_back(v);
    }
  }
  for (int j = 0; j < kUp; ++j)
    for (int i = 0; i < kAround; ++i) {
      const auto& a = grid[j * (kAround + 1) + i];
      const auto& b = grid[j * (kAround + 1) + i + 1];
      const auto& c = grid[(j + 1) * (kAround + 1) + i + 1];
      const auto& d = grid[(j + 1) * (kAround + 1) + i];
      sky.Triangle(a, c, b);                   // facing the inside
      if (j + 1 < kUp) sky.Triangle(a, d, c);  // the top row closes at the zenith
    }
}

Level BuildLevel(const std::vector<Light>& lights) {
  Level level;
  // The rows of houses along the street; the south side runs unbroken from the
  // diagonal street to the casino, the houses of one zone against the next's.
  const std::vector<Building> diagonalNorth = RowLayout(-80, -40, 101),
                              diagonalSouth = RowLayout(-80, -40, 102),
                              avenueSouth = RowLayout(-40, 0, 201),
                              squareSouth = RowLayout(0, 40, 301),
                              casinoNorth = RowLayout(40, 72, 501),
                              casinoSouth = RowLayout(40, 72, 502);
  constexpr float kEndBlock = 24.0f, kCasinoWing = 10.0f;
  // Diagonal: the narrow old street at the west end, closed by a block across it.
  Street(level, kDiagonal, -80, -40, true, true);
  BuildingRow(level, kDiagonal, diagonalNorth, true, kEndBlock, 0.0f);
  BuildingRow(level, kDiagonal, diagonalSouth, false, kEndBlock, avenueSouth.front().height);
  {
    Mesh& end = level.Get("city_diagonal_brick", kBrick, kDiagonal, 8.0f);
    Mesh& roof = level.Get("city_diagonal_concrete", kConcrete, kDiagonal, 4.0f);
    end.Wall(-80, -20, -92, -20, 0, kEndBlock);  // south
    end.Wall(-92, 20, -80, 20, 0, kEndBlock);    // north
    end.Wall(-92, -20, -92, 20, 0, kEndBlock);   // west
    // The east side faces the street; behind the rows only what rises above them.
    end.Wall(-80, 9, -80, -9, 0, kEndBlock);
    if (diagonalNorth.front().height < kEndBlock)
      end.Wall(-80, 20, -80, 9, diagonalNorth.front().height, kEndBlock);
    if (diagonalSouth.front().height < kEndBlock)
      end.Wall(-80, -9, -80, -20, diagonalSouth.front().height, kEndBlock);
    roof.Floor(-92, -20, -80, 20, kEndBlock);
    CollisionBox(level.walls, -92, -20, -80, 20, 0, kEndBlock);
  }
  // Avenue: the street runs along a canal behind a railing on its north side.
  Street(level, kAvenue, -40, 0, false, true);
  BuildingRow(level, kAvenue, avenueSouth, false, diagonalSouth.back().height,
              squareSouth.front().height);
  {
    Mesh& quay = level.Get("city_avenue_pavement", kPavement, kAvenue, 2.0f);
    Mesh& stone = level.Get("city_avenue_concrete", kConcrete, kAvenue, 4.0f);
    quay.Floor(-40, 6, 0, 8, kCurb);
    quay.Wall(0, 6, -40, 6, 0, kCurb);
    level.floor.Flat(-40, 6, 0, 8, kCurb);
    stone.Box(-40, kCurb, 7.8f, 0, 1.1f, 8.0f, &stone);  // railing
    CollisionBox(level.walls, -40, 7.8f, 0, 8.0f, 0, 1.1f);
    stone.Wall(-40, 8, 0, 8, -2.5f, kCurb);    // canal wall under the quay
    stone.Wall(0, 14, -40, 14, -2.5f, kCurb);  // the far bank
    stone.Floor(-40, 8, 0, 14, -2.5f);         // canal bed
    Mesh& water = level.Get("city_avenue_canal", kWater, kAvenue, 8.0f);
    water.lightmapped = false;
    water.Floor(-40, 8, 0, 14, -1.2f);
    Mesh& far = level.Get("city_avenue_plaster", kPlaster, kAvenue, 8.0f);
    Mesh& roof = level.Get("city_avenue_concrete", kConcrete, kAvenue, 4.0f);
    for (int i = 0; i < 4; ++i)
      far.Box(-40.0f + 10 * i, kCurb, 14, -30.0f + 10 * i, 16.0f + 8 * (i % 2), 20, &roof);
    stone.Floor(-40, 14, 0, 14.01f, kCurb);
    CollisionBox(level.walls, -40, 14, 0, 20, 0, 24);
  }
  // Square: an open plaza with a fountain, closed by buildings west of the bar.
  {
    Mesh& plaza = level.Get("city_square_pavement", kPavement, kSquare, 2.0f);
    for (float x = 0; x < 40; x += 8)
      for (float z = -20; z < 20; z += 8) plaza.Floor(x, z, x + 8, std::min(20.0f, z + 8), kCurb);
    level.floor.Flat(0, -20, 40, 20, kCurb);
    BuildingRow(level, kSquare, squareSouth, false, avenueSouth.back().height,
                casinoSouth.front().height);
    for (int i = 0; i < 2; ++i) {
      const float x0 = i == 0 ? 0.0f : 28.0f, x1 = i == 0 ? 12.0f : 40.0f;
      Mesh& facade = level.Get("city_square_plaster", kPlaster, kSquare, 8.0f);
      Mesh& roof = level.Get("city_square_concrete", kConcrete, kSquare, 4.0f);
      facade.Box(x0, kCurb, 20, x1, 24, 32, &roof);
      CollisionBox(level.walls, x0, 20, x1, 32, 0, 24);
    }
    Mesh& stone = level.Get("city_square_concrete", kConcrete, kSquare, 4.0f);
    Ring(stone, 20, 0, 5.0f, kCurb, 0.75f, 16, true);
    Ring(stone, 20, 0, 4.6f, 0.2f, 0.75f, 16, false);
    for (int i = 0; i < 16; ++i) {  // the rim's top
      const float a0 = 2 * kPi * i / 16, a1 = 2 * kPi * (i + 1) / 16;
      auto p = [](float r, float a) { return V3(20 + r * std::cos(a), 0.75f, r * std::sin(a)); };
      stone.Quad(p(5.0f, a0), p(5.0f, a1), p(4.6f, a1), p(4.6f, a0));
    }
    Ring(stone, 20, 0, 0.6f, 0.2f, 2.4f, 8, true);  // the column in the middle
    for (int i = 0; i < 16; ++i) {
      const float a0 = 2 * kPi * i / 16, a1 = 2 * kPi * (i + 1) / 16;
      level.walls.Quad(level.walls.Vertex(20 + 5 * std::cos(a0), 0, 5 * std::sin(a0)),
                       level.walls.Vertex(20 + 5 * std::cos(a0), 0.75f, 5 * std::sin(a0)),
                       level.walls.Vertex(20 + 5 * std::cos(a1), 0.75f, 5 * std::sin(a1)),
                       level.walls.Vertex(20 + 5 * std::cos(a1), 0, 5 * std::sin(a1)));
    }
    Mesh& pool = level.Get("city_square_fountain_pool", kWater, kSquare, 8.0f);
    pool.lightmapped = false;
    Disc(pool, 20, 0, 4.6f, 0.6f, 16);
  }
  // Bar: one room north of the square, its door on the square.
  {
    Mesh& wall = level.Get("city_bar_plaster", kPlaster, kBar, 8.0f);
    Mesh& wood = level.Get("city_bar_wood", kWood, kBar, 2.0f);
    Mesh& roof = level.Get("city_bar_concrete", kConcrete, kBar, 4.0f);
    constexpr float kIn = 0.3f, kH = 4.2f, kDoor0 = 18.5f, kDoor1 = 21.5f;
    // Outside, on the square.
    wall.Wall(kDoor0, 20, 12, 20, kCurb, kH);
    wall.Wall(28, 20, kDoor1, 20, kCurb, kH);
    wall.Wall(kDoor1, 20, kDoor0, 20, 3.0f, kH);
    wall.Box(12, kH, 20, 28, 8.0f, 32, &roof);  // the storeys above the bar
    // Inside: wooden floor, walls and ceiling, the counter along the back.
    wood.Floor(12 + kIn, 20 + kIn, 28 - kIn, 32 - kIn, kCurb);
    wood.Wall(12 + kIn, 20 + kIn, 28 - kIn, 20 + kIn, kCurb, kH);  // back of the front wall
    wood.Wall(28 - kIn, 32 - kIn, 12 + kIn, 32 - kIn, kCurb, kH);
    wood.Wall(12 + kIn, 32 - kIn, 12 + kIn, 20 + kIn, kCurb, kH);
    wood.Wall(28 - kIn, 20 + kIn, 28 - kIn, 32 - kIn, kCurb, kH);
    wood.Quad(V3(12 + kIn, kH, 32 - kIn), V3(28 - kIn, kH, 32 - kIn),
              V3(28 - kIn, kH, 20 + kIn),  // ceiling
              V3(12 + kIn, kH, 20 + kIn));
    wood.Box(15, kCurb, 28, 25, 1.1f, 29, &wood);        // counter
    wood.Box(14, kCurb, 31.2f, 26, 2.4f, 31.7f, &wood);  // shelves behind it
    level.floor.Flat(12 + kIn, 20 + kIn, 28 - kIn, 32 - kIn, kCurb);
    CollisionBox(level.walls, 12, 20, kDoor0, 20 + kIn, 0, kH);
    CollisionBox(level.walls, kDoor1, 20, 28, 20 + kIn, 0, kH);
    CollisionBox(level.walls, 12, 32 - kIn, 28, 32, 0, kH);
    CollisionBox(level.walls, 12, 20, 12 + kIn, 32, 0, kH);
    CollisionBox(level.walls, 28 - kIn, 20, 28, 32, 0, kH);
    CollisionBox(level.walls, 15, 28, 25, 29, 0, 1.1f);
  }
  // Casino: the street ends at the lit front of the casino.
  Street(level, kCasino, 40, 80, true, true);
  BuildingRow(level, kCasino, casinoNorth, true, 0.0f, kCasinoWing);
  BuildingRow(level, kCasino, casinoSouth, false, squareSouth.back().height, kCasinoWing);
  {
    Mesh& front = level.Get("city_casino_front", kCasinoFront, kCasino, 8.0f);
    Mesh& roof = level.Get("city_casino_concrete", kConcrete, kCasino, 4.0f);
    front.Wall(80, -20, 80, 20, 0, 18);
    // The wings stand between the last houses and the front's wall.
    Block(front, 72, kCurb, -20, 80, kCasinoWing, -9, casinoSouth.back().height, 18.0f, &roof);
    level.Get("city_casino_pavement", kPavement, kCasino, 2.0f).Floor(72, -20, 80, -9, kCurb);
    Block(front, 72, kCurb, 9, 80, kCasinoWing, 20, casinoNorth.back().height, 18.0f, &roof);
    roof.Box(80, 0, -22, 92, 18, 22, &roof);       // the body behind the front
    front.Box(74, 5.0f, -5, 80, 5.4f, 5, &front);  // canopy over the door
    Mesh& doors = level.Get("city_casino_wood", kWood, kCasino, 2.0f);
    doors.Wall(79.85f, -2.5f, 79.85f, 2.5f, 0.0f, 4.0f);
    CollisionBox(level.walls, 80, -22, 92, 22, 0, 18);
    CollisionBox(level.walls, 72, -20, 80, -9, 0, kCasinoWing);
    CollisionBox(level.walls, 72, 9, 80, 20, 0, kCasinoWing);
    level.floor.Flat(72, -9, 80, 9, 0.0f);
  }
  // The street across the square joins avenue and casino.
  {
    Mesh& street = level.Get("city_square_street", kAsphalt, kSquare, 4.0f);
    for (float x = 0; x < 40; x += 8) street.Floor(x, -6, x + 8, 6, 0.02f + kCurb);
  }
  StreetLamps(level, lights);
  // The sides of the level nobody should walk off.
  CollisionBox(level.walls, -92, -22, 92, -20, 0, 30);
  CollisionBox(level.walls, -92, 20, 12, 22, 0, 30);
  CollisionBox(level.walls, 28, 20, 92, 22, 0, 30);
  BuildSky(level);
  return level;
}

// Packs every lightmapped quad of a zone into one 256 x 256 atlas (shelf packing,
// charts in creation order), bakes the lights into it and writes the lightmap
// coordinates. The texel size grows until everything fits.
Image BakeZone(Level& level, int zone, const std::vector<Light>& lights) {
  constexpr int kSize = 256;
  std::vector<Chart*> charts;
  for (Mesh& m : level.meshes)
    if (m.zone == zone && m.lightmapped)
      for (Chart& c : m.charts) charts.push_back(&c);
  float texel = 0.25f;
  for (;;) {
    int x = 0, y = 0, row = 0;
    bool fits = true;
    for (Chart* c : charts) {
      const float wLen = Length(c->corners[1] - c->corners[0]),
                  hLen = Length(c->corners[3] - c->corners[0]);
      c->w = std::max(1, std::min(kSize - 2, static_cast<int>(std::ceil(wLen / texel))));
      c->h = std::max(1, std::min(kSize - 2, static_cast<int>(std::ceil(hLen / texel))));
      if (x + c->w + 2 > kSize) {
        x = 0;
        y += row;
        row = 0;
      }
      c->x = x;
      c->y = y;
      x += c->w + 2;
      row = std::max(row, c->h + 2);
      if (y + row > kSize) {
        fits = false;
        break;
      }
    }
    if (fits) break;
    texel *= 1.15f;
  }
  std::vector<Light> zoneLights;
  for (const Light& light : lights) {
    const std::vector<int> zones = LightZones(light);
    if (std::find(zones.begin(), zones.end(), zone) != zones.end()) zoneLights.push_back(light);
  }
  Image image(kSize, kSize);
  for (Mesh& m : level.meshes) {
    if (m.zone != zone || !m.lightmapped) continue;
    for (Chart& c : m.charts) {
      // Texels of the chart, its border repeating the nearest inner texel.
      for (int ty = -1; ty <= c.h; ++ty)
        for (int tx = -1; tx <= c.w; ++tx) {
          const float s = (std::min(std::max(tx, 0), c.w - 1) + 0.5f) / c.w;
          const float t = (std::min(std::max(ty, 0), c.h - 1) + 0.5f) / c.h;
          const V3 p =
              Lerp(Lerp(c.corners[0], c.corners[1], s), Lerp(c.corners[3], c.corners[2], s), t);
          const V3 light = LightAt(zoneLights, p + c.normal * 0.05f, c.normal);
          image.Set(c.x + 1 + tx, c.y + 1 + ty, light.x, light.y, light.z);
        }
      const float st[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
      for (int k = 0; k < 4; ++k)
        m.vertices[c.firstVertex + k].uv1 =
            plat::Vec2((c.x + 1 + st[k][0] * c.w) / kSize, (c.y + 1 + st[k][1] * c.h) / kSize);
    }
  }
  return image;
}

// --- Files ----------------------------------------------------------------------

void WriteMesh(const std::string& path, const Mesh& m) {
  if (m.vertices.size() > 65535 || m.indices.size() > 65535) {
    std::fprintf(stderr, "gen_city: %s does not fit 16-bit indices\n", path.c_str());
    g_ok = false;
    return;
  }
  WriteBytes(path, gen::MeshFileBytes(m.vertices, m.indices));
}

struct Texture {
  const char* id;
  const char* file;
};
const Texture kTextures[] = {
    {"city_asphalt", "city/asphalt.png"},   {"city_pavement", "city/pavement.png"},
    {"city_brick", "city/brick.png"},       {"city_plaster", "city/plaster.png"},
    {"city_casino", "city/casino.png"},     {"city_wood", "city/wood.png"},
    {"city_concrete", "city/concrete.png"}, {"water_noise", "city/water_noise.png"},
    {"sky_dome_d.dds", "city/sky_dome.png"}};

struct MaterialDef {
  int id;
  const char* diffuse;
  const char* normal;
};
const MaterialDef kMaterials[] = {
    {kAsphalt, "city_asphalt", nullptr},    {kPavement, "city_pavement", nullptr},
    {kBrick, "city_brick", nullptr},        {kPlaster, "city_plaster", nullptr},
    {kCasinoFront, "city_casino", nullptr}, {kWood, "city_wood", nullptr},
    {kConcrete, "city_concrete", nullptr},  {kWater, "sky_dome_d.dds", "water_noise"},
    {kSky, "sky_dome_d.dds", nullptr}};

const char* FileOf(const char* id) {
  for (const Texture& t : kTextures)
    if (std::string(t.id) == id) return t.file;
  return "";
}

std::string LightmapName(int zone) { return std::string("city_") + kZoneNames[zone] + "_lm.png"; }
std::string ZoneGroup(int zone) {
  return zone < 0 ? "city_sky" : std::string("zone_") + kZoneNames[zone];
}

void WriteLibraries(const std::string& xml) {
  std::string t =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!-- Written by tools/gen_city. "
      "-->\n<textures>\n";
  for (const Texture& tex : kTextures)
    t += std::string("  <texture id=\"") + tex.id + "\" file=\"" + tex.file + "\" type=\"2d\"/>\n";
  WriteText(xml + "/level1_textures.xml", t + "</textures>\n");

  std::string m =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!-- Written by tools/gen_city. "
      "-->\n<materials>\n";
  for (const MaterialDef& def : kMaterials) {
    m += "  <material id=\"" + std::to_string(def.id) + "\">\n";
    m += std::string("    <key name=\"topdiffuse\" id=\"") + def.diffuse + "\" file=\"" +
         FileOf(def.diffuse) + "\"/>\n";
    if (def.normal)
      m += std::string("    <key name=\"normal\" id=\"") + def.normal + "\" file=\"" +
           FileOf(def.normal) + "\"/>\n";
    m += "  </material>\n";
  }
  WriteText(xml + "/level1_materials.xml", m + "</materials>\n");

  WriteText(xml + "/level1_shaders.xml",
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!-- Written by tools/gen_city: the "
            "effects the city's "
            "objects name. -->\n<shaders>\n  <shader fileName=\"static_mesh\"/>\n  <shader "
            "fileName=\"water\"/>\n"
            "  <shader fileName=\"sky\"/>\n</shaders>\n");

  // Which geometry groups each game zone sees: its own, its neighbours and the sky.
  const std::vector<std::vector<int>> visible = {{kDiagonal, kAvenue},
                                                 {kDiagonal, kAvenue, kSquare},
                                                 {kBar, kSquare},
                                                 {kAvenue, kSquare, kBar, kCasino},
                                                 {kSquare, kCasino}};
  std::string g =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!-- Written by tools/gen_city. -->\n"
      "<visibility_geometry_zone_groups count=\"5\">\n";
  for (int z = 0; z < kZoneCount; ++z) {
    g += "  <game_zone lua_id=\"" + std::to_string(z) + "\">\n";
    for (int v : visible[z])
      g += "    <geometry_zone_group_visible id=\"" + ZoneGroup(v) + "\"/>\n";
    g += "    <geometry_zone_group_visible id=\"" + ZoneGroup(-1) + "\"/>\n  </game_zone>\n";
  }
  WriteText(xml + "/level1_scene_graph.xml", g + "</visibility_geometry_zone_groups>\n");

  WriteText(xml + "/dof.xml",
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!-- Written by tools/gen_city. "
            "-->\n<dof_params>\n"
            "  <key id=\"dof_focal_plane_dist\" value=\"9\"/>\n"
            "  <key id=\"dof_near_max_blur_plane_dist\" value=\"1.5\"/>\n"
            "  <key id=\"dof_far_max_blur_plane_dist\" value=\"80\"/>\n"
            "  <key id=\"dof_max_blur\" value=\"0.8\"/>\n</dof_params>\n");
}

const char* kHeader =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!-- Written by tools/gen_city. -->\n";

std::string Position(const V3& p) {
  return "<key name=\"position\" X=\"" + Num(p.x) + "\" Y=\"" + Num(p.y) + "\" Z=\"" + Num(p.z) +
         "\"/>";
}

void WriteScene(const std::string& xml, const Level& level) {
  std::string s = kHeader;
  for (const Mesh& m : level.meshes) {
    V3 lo(1e9f, 1e9f, 1e9f), hi(-1e9f, -1e9f, -1e9f);
    for (const auto& v : m.vertices) {
      lo = V3(std::min(lo.x, v.position.x), std::min(lo.y, v.position.y),
              std::min(lo.z, v.position.z));
      hi = V3(std::max(hi.x, v.position.x), std::max(hi.y, v.position.y),
              std::max(hi.z, v.position.z));
    }
    const char* tmpl = m.material == kWater ? "city_water"
                       : m.material == kSky ? "city_sky"
                                            : "city_static_mesh";
    s += "<GameObject name=\"" + m.name + "\" GameObjectTemplate=\"" + tmpl + "\">\n";
    s += "  <Component name=\"CRenderer\">\n";
    s += "    <key name=\"mesh\" value=\"" + m.name + ".mesh\"/>\n";
    s += "    <key name=\"material\" value=\"" + std::to_string(m.material) + "\"/>\n";
    if (m.lightmapped && m.zone >= 0)
      s += "    <key name=\"materials\"><material name=\"" + std::to_string(m.material) +
           "\"><lightmap image=\"" + LightmapName(m.zone) + "\"/></material></key>\n";
    s += "    <key name=\"geometry_zone_group_id\" value=\"" + ZoneGroup(m.zone) + "\"/>\n";
    s += "    <key name=\"AABB\" MinX=\"" + Num(lo.x) + "\" MinY=\"" + Num(lo.y) + "\" MinZ=\"" +
         Num(lo.z) + "\" MaxX=\"" + Num(hi.x) + "\" MaxY=\"" + Num(hi.y) + "\" MaxZ=\"" +
         Num(hi.z) + "\"/>\n";
    s += "  </Component>\n</GameObject>\n";
  }
  WriteText(xml + "/level1_scene_instances.xml", s);

  WriteText(
      xml + "/level1_collision_instances.xml",
      std::string(kHeader) +
          "<GameObject name=\"collision_city_floor\" GameObjectTemplate=\"city_collision_mesh\">\n"
          "  <Component name=\"CColliderMesh\">\n    <key name=\"mesh\" value=\"city_floor\"/>\n"
          "    <key name=\"collision_class\" value=\"floor\"/>\n  </Component>\n</GameObject>\n"
          "<GameObject name=\"collision_city_environment\" "
          "GameObjectTemplate=\"city_collision_mesh\">\n"
          "  <Component name=\"CColliderMesh\">\n    <key name=\"mesh\" value=\"city_walls\"/>\n"
          "    <key name=\"collision_class\" value=\"wall\"/>\n  </Component>\n</GameObject>\n");
}

void WriteTriggers(const std::string& xml) {
  std::string s = kHeader;
  for (int z = 0; z < kZoneCount; ++z) {
    const Rect& r = kZoneRects[z];
    s += std::string("<GameObject name=\"trigger_zone_") + kZoneNames[z] +
         "\" GameObjectTemplate=\"city_zone_trigger\">\n";
    s += "  <Component name=\"CTransform\">\n    " +
         Position(V3((r.x0 + r.x1) / 2, 2.0f, (r.z0 + r.z1) / 2)) + "\n  </Component>\n";
    s += "  <Component name=\"CTrigger\">\n    <key name=\"size\" width=\"" + Num(r.x1 - r.x0) +
         "\" height=\"4\" length=\"" + Num(r.z1 - r.z0) + "\"/>\n  </Component>\n</GameObject>\n";
  }
  WriteText(xml + "/level1_trigger_instances.xml", s);
}

std::string TrackerObject(const std::string& name, const std::vector<V3>& points) {
  std::string s = "<GameObject name=\"" + name + "\" GameObjectTemplate=\"city_tracker\">\n";
  s += "  <Component name=\"CTracker\">\n    <key name=\"waypoints\">\n";
  for (const V3& p : points)
    s += "      <waypoint positionX=\"" + Num(p.x) + "\" positionY=\"" + Num(p.y) +
         "\" positionZ=\"" + Num(p.z) + "\"/>\n";
  return s + "    </key>\n  </Component>\n</GameObject>\n";
}

// The street's camera rail (see WriteTrackersAndLines). Its ends keep 5 m from the
// end block and the casino's front, whose sides would stand in the view.
constexpr float kRailWest = -75.0f, kRailEast = 75.0f, kRailHeight = 4.5f, kRailZ = -15.0f;

void WriteTrackersAndLines(const std::string& xml) {
  // Patrol rounds of each zone, and the camera's path to the casino for the last scene.
  std::string t = kHeader;
  t += TrackerObject("tracker_diagonal_patrol",
                     {V3(-74, 0, -3), V3(-46, 0, -3), V3(-46, 0, 3), V3(-74, 0, 3)});
  t += TrackerObject("tracker_avenue_patrol",
                     {V3(-36, 0, -4), V3(-4, 0, -4), V3(-4, 0, 2), V3(-36, 0, 2)});
  t += TrackerObject("tracker_bar_patrol",
                     {V3(14, 0.15f, 26), V3(26, 0.15f, 26), V3(20, 0.15f, 22)});
  t += TrackerObject("tracker_square_patrol", {V3(10, 0.15f, -10), V3(30, 0.15f, -10),
                                               V3(30, 0.15f, 10), V3(10, 0.15f, 10)});
  t += TrackerObject("tracker_casino_patrol",
                     {V3(46, 0, -4), V3(70, 0, -4), V3(70, 0, 4), V3(46, 0, 4)});
  t += TrackerObject("tracker_casino_cinematic", {V3(44, 3, 0), V3(58, 5, -6), V3(68, 8, 0)});
  WriteText(xml + "/level1_tracker_instances.xml", t);

  // The camera rail along the whole street. It runs inside the houses of the south
  // side, 6 m behind their fronts, where nobody walks: the camera looks across the
  // street at the player and the houses of the north side, and as nobody comes
  // nearer than 6 m it never looks down on him by more than about 25 degrees. From
  // inside a house its own walls face away and are not drawn (the rows leave out the
  // walls between houses for that). The rail runs east, so its side vector points
  // south: a player farther away than the rail's reach pulls the camera out towards
  // him instead of leaving him small in a wide shot.
  WriteText(xml + "/level1_line_instances.xml",
            std::string(kHeader) + TrackerObject("line_main_street", {V3(kRailWest, kRailHeight, kRailZ),
                                                                       V3(kRailEast, kRailHeight, kRailZ)}));

  // Each zone's rail: its stretch of the street's rail; in the bar, along the back
  // wall above the shelves, running west so that the camera comes out into the room.
  const V3 rails[kZoneCount][2] = {
      {V3(kRailWest, kRailHeight, kRailZ), V3(-40, kRailHeight, kRailZ)},
      {V3(-40, kRailHeight, kRailZ), V3(0, kRailHeight, kRailZ)},
      {V3(27.4f, 3.7f, 31.4f), V3(12.6f, 3.7f, 31.4f)},
      {V3(0, kRailHeight, kRailZ), V3(40, kRailHeight, kRailZ)},
      {V3(40, kRailHeight, kRailZ), V3(kRailEast, kRailHeight, kRailZ)}};
  for (int z = 0; z < kZoneCount; ++z) {
    const std::string dir = xml + "/" + kZoneNames[z];
    WriteText(dir + "/line_instances.xml",
              std::string(kHeader) + TrackerObject(std::string("line_") + kZoneNames[z] + "_rail",
                                                   {rails[z][0], rails[z][1]}));
  }
}

// Where play begins: the west end of the diagonal street, with the street and its
// first fighters ahead to the east. The rail camera looks at him from the south
// across the pavement: nothing may stand on that line, so he starts 3 m west of the
// first street lamp and of the fighters by it.
const V3 kPlayerStart(-75, 0, 0);

// The places the whole level refers to: where play begins and where the last fight
// is staged, before the casino's door; and the player himself, at the start.
void WriteCommon(const std::string& xml) {
  std::string s = kHeader;
  const struct {
    const char* name;
    V3 position;
  } markers[] = {{"player_start", kPlayerStart}, {"final_scene_point", V3(72, 0, 0)}};
  for (const auto& m : markers)
    s += std::string("<GameObject name=\"") + m.name +
         "\" GameObjectTemplate=\"city_marker\">\n  <Component name=\"CTransform\">\n    " +
         Position(m.position) + "\n  </Component>\n</GameObject>\n";
  WriteText(xml + "/level1_common_instances.xml", s);
  WriteText(xml + "/loading_player_instances.xml",
            std::string(kHeader) +
                "<!-- The player starts at the west end of the street, in the diagonal zone. -->\n"
                "<GameObject name=\"player\" GameObjectTemplate=\"player\">\n"
                "  <Component name=\"CTransform\">\n    " +
                Position(kPlayerStart) + "\n  </Component>\n</GameObject>\n");
}

void WriteLights(const std::string& xml, const std::vector<Light>& lights) {
  std::string s = kHeader;
  for (const Light& l : lights) {
    s += "<GameObject name=\"" + l.id + "\" GameObjectTemplate=\"city_light\">\n";
    s += "  <Component name=\"CTransform\">\n    " + Position(l.position) + "\n  </Component>\n";
    s += "  <Component name=\"CLight\">\n";
    s += "    <key name=\"light_id\" value=\"" + l.id + "\"/>\n";
    s += "    <key name=\"light_type\" value=\"" + std::to_string(l.type) + "\"/>\n";
    s += std::string("    <key name=\"behaviour\" value=\"") + (l.shadows ? "2" : "1") + "\"/>\n";
    s += "    <key name=\"light_color\" R=\"" + Num(l.colour.x) + "\" G=\"" + Num(l.colour.y) +
         "\" B=\"" + Num(l.colour.z) + "\"/>\n";
    s += "    <key name=\"light_att_eq_params\" X=\"" + Num(l.attenuation.x) + "\" Y=\"" +
         Num(l.attenuation.y) + "\" Z=\"" + Num(l.attenuation.z) + "\"/>\n";
    for (int z : LightZones(l))
      s += std::string("    <key name=\"map_zone_id\" value=\"") + kZoneGlobals[z] + "\"/>\n";
    if (l.type != 1)
      s += "    <key name=\"target\" X=\"" + Num(l.target.x) + "\" Y=\"" + Num(l.target.y) +
           "\" Z=\"" + Num(l.target.z) + "\"/>\n";
    if (l.type == 2)
      s += "    <key name=\"light_spot_exponent\" value=\"" + Num(l.exponent) + "\"/>\n";
    if (l.type == 3)
      s += "    <key name=\"pssm\" num_splits=\"3\" attenuation=\"0.5\" alpha_scheme=\"0.7\"/>\n";
    if (l.shadows)
      s += std::string("    <key name=\"zmap_res\" value=\"") + (l.type == 3 ? "1024" : "256") +
           "\"/>\n";
    s += "    <key name=\"fov\" value=\"" + Num(l.fov) + "\"/>\n";
    s += "    <key name=\"near\" value=\"0.5\"/>\n";
    s += "    <key name=\"far\" value=\"" + Num(l.farPlane) + "\"/>\n";
    s += "  </Component>\n</GameObject>\n";
  }
  WriteText(xml + "/level1_light_instances.xml", s);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string root = std::string(argc > 1 ? argv[1] : ".") + "/Data";
  const std::vector<Light> lights = Lights();
  Level level = BuildLevel(lights);

  for (int z = 0; z < kZoneCount; ++z)
    WritePng(root + "/textures/lightmaps/" + LightmapName(z), BakeZone(level, z, lights));
  for (const Mesh& m : level.meshes) WriteMesh(root + "/meshes/" + m.name + ".mesh", m);
  std::filesystem::create_directories(root + "/collision");
  if (!vd::phy::WriteCollisionMesh(root + "/collision/city_floor", level.floor) ||
      !vd::phy::WriteCollisionMesh(root + "/collision/city_walls", level.walls))
    g_ok = false;

  const std::string tex = root + "/textures/";
  WritePng(tex + FileOf("city_asphalt"), Asphalt());
  WritePng(tex + FileOf("city_pavement"), Pavement());
  WritePng(tex + FileOf("city_brick"), Facade(true, 81));
  WritePng(tex + FileOf("city_plaster"), Facade(false, 82));
  WritePng(tex + FileOf("city_casino"), Casino());
  WritePng(tex + FileOf("city_wood"), Wood());
  WritePng(tex + FileOf("city_concrete"), Concrete());
  WritePng(tex + FileOf("water_noise"), WaterNoise());
  WritePng(tex + FileOf("sky_dome_d.dds"), Sky());

  const std::string xml = root + "/xml";
  WriteLibraries(xml);
  WriteScene(xml, level);
  WriteTriggers(xml);
  WriteTrackersAndLines(xml);
  WriteLights(xml, lights);
  WriteCommon(xml);
  if (g_ok)
    std::printf("gen_city: %zu meshes and the city's files written under %s\n", level.meshes.size(),
                root.c_str());
  return g_ok ? 0 : 1;
}
