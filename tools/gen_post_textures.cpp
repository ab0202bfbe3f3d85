// Writes the textures of the full-screen passes under Data/textures/post/ and the
// list that loads them, Data/xml/post_textures.xml: the ambient-occlusion noise, the
// film look's tint and vignette, its grain, dust points, scratches, flash lines and
// drifting line. The passes look them up by the ids the list gives them.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/image/ImageWriter.h"

namespace {

// A small deterministic generator, so that every run writes the same files.
struct SRandom {
  uint32_t state;
  float Next() {
    state = state * 1664525u + 1013904223u;
    return static_cast<float>(state >> 8) / 16777216.0f;
  }
};

struct SPicture {
  int width, height;
  std::vector<uint8_t> bgra;
  // Opaque black to start with.
  SPicture(int w, int h) : width(w), height(h), bgra(static_cast<size_t>(w * h * 4), 0) {
    for (size_t i = 3; i < bgra.size(); i += 4) bgra[i] = 255;
  }
  void Put(int x, int y, float r, float g, float b, float a = 1.0f) {
    auto c = [](float v) {
      return static_cast<uint8_t>(std::fmin(std::fmax(v, 0.0f), 1.0f) * 255.0f + 0.5f);
    };
    uint8_t* p = &bgra[static_cast<size_t>((y * width + x) * 4)];
    p[0] = c(b);
    p[1] = c(g);
    p[2] = c(r);
    p[3] = c(a);
  }
  void Grey(int x, int y, float v) { Put(x, y, v, v, v); }
};

bool Save(const SPicture& picture, const std::string& path) {
  std::vector<uint8_t> png;
  std::string error;
  if (!plat::image::EncodePng(picture.width, picture.height, picture.bgra, png, error) ||
      !plat::image::WriteFileBytes(path, png)) {
    std::fprintf(stderr, "gen_post_textures: cannot write %s %s\n", path.c_str(), error.c_str());
    return false;
  }
  return true;
}

// Random directions in the plane, stored as (x, y) * 0.5 + 0.5 in red and green.
SPicture Noise() {
  SPicture p(4, 4);
  SRandom r{7};
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      const float a = r.Next() * 6.2831853f;
      p.Put(x, y, std::cos(a) * 0.5f + 0.5f, std::sin(a) * 0.5f + 0.5f, 0.5f);
    }
  return p;
}

// A faint warm tint, a little stronger towards the bottom.
SPicture Tint() {
  SPicture p(64, 64);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      const float t = y / 63.0f;
      p.Put(x, y, 1.0f, 0.97f - 0.02f * t, 0.90f - 0.04f * t);
    }
  return p;
}

// 1 in the middle, falling off smoothly into the corners.
SPicture Vignette() {
  SPicture p(128, 128);
  for (int y = 0; y < 128; ++y)
    for (int x = 0; x < 128; ++x) {
      const float u = (x + 0.5f) / 64.0f - 1.0f, v = (y + 0.5f) / 64.0f - 1.0f;
      const float d = std::sqrt(u * u + v * v) / 1.4142f;
      const float k = std::fmin(std::fmax((d - 0.45f) / 0.55f, 0.0f), 1.0f);
      p.Grey(x, y, 1.0f - 0.65f * k * k);
    }
  return p;
}

// Grain around mid grey.
SPicture Grain() {
  SPicture p(128, 128);
  SRandom r{11};
  for (int y = 0; y < 128; ++y)
    for (int x = 0; x < 128; ++x) p.Grey(x, y, 0.5f + (r.Next() - 0.5f) * 0.6f);
  return p;
}

// A 2 x 2 sheet of four images, each with a few soft dots over black.
SPicture Points(uint32_t seed) {
  const int size = 256, half = size / 2;
  SPicture p(size, size);
  SRandom r{seed};
  for (int image = 0; image < 4; ++image) {
    const int ox = (image % 2) * half, oy = (image / 2) * half;
    for (int m = 0; m < 7; ++m) {
      const float cx = 8.0f + r.Next() * (half - 16), cy = 8.0f + r.Next() * (half - 16);
      const float radius = 1.0f + r.Next() * 2.5f;
      for (int y = 0; y < half; ++y)
        for (int x = 0; x < half; ++x) {
          const float dx = x - cx, dy = y - cy;
          const float v = 1.0f - std::sqrt(dx * dx + dy * dy) / radius;
          if (v <= 0.0f) continue;
          uint8_t* px = &p.bgra[static_cast<size_t>(((oy + y) * size + ox + x) * 4)];
          p.Grey(ox + x, oy + y, std::fmax(px[2] / 255.0f, v));
        }
    }
  }
  return p;
}

// A 2 x 2 sheet of four images of film scratches over black. An image spans the
// whole screen, so it is wide (512 texels for about 1024 pixels) and a scratch is
// a hair: about one texel, dim, broken along its length and fading out at both
// ends, and wandering a little sideways. Most images hold one scratch, one holds
// none, so a shown scratch is an event rather than a pattern of bars.
SPicture Scratches(uint32_t seed) {
  const int width = 1024, height = 256, halfW = width / 2, halfH = height / 2;
  SPicture p(width, height);
  SRandom r{seed};
  const int counts[4] = {0, 1, 1, 2};
  for (int image = 0; image < 4; ++image) {
    const int ox = (image % 2) * halfW, oy = (image / 2) * halfH;
    for (int m = 0; m < counts[image]; ++m) {
      const float cx = 24.0f + r.Next() * (halfW - 48);
      const float top = r.Next() * 0.4f * halfH;
      const float length = (0.35f + r.Next() * 0.45f) * halfH;
      const float brightness = 0.45f + r.Next() * 0.35f;
      const float drift = (r.Next() - 0.5f) * 6.0f, phase = r.Next() * 6.2831853f;
      for (int y = 0; y < halfH; ++y) {
        const float t = (y - top) / length;
        if (t <= 0.0f || t >= 1.0f) continue;
        // Soft ends and a few breaks along the length.
        const float ends = std::fmin(1.0f, std::fmin(t, 1.0f - t) * 6.0f);
        const float breaks = std::fmax(0.0f, std::sin(t * 23.0f + phase) * 0.5f + 0.6f);
        const float centre = cx + drift * t + 0.6f * std::sin(t * 9.0f + phase);
        for (int x = static_cast<int>(centre) - 2; x <= static_cast<int>(centre) + 2; ++x) {
          const float v = (1.0f - std::fabs(x + 0.5f - centre) / 0.9f) * ends * std::fmin(breaks, 1.0f) * brightness;
          if (v <= 0.0f || x < 0 || x >= halfW) continue;
          uint8_t* px = &p.bgra[static_cast<size_t>(((oy + y) * width + ox + x) * 4)];
          p.Grey(ox + x, oy + y, std::fmax(px[2] / 255.0f, v));
        }
      }
    }
  }
  return p;
}

// Three images stacked top to bottom: bands of horizontal lines of three spacings.
SPicture FlashLines() {
  const int w = 64, h = 192;
  SPicture p(w, h);
  const int spacing[3] = {6, 11, 17};
  for (int y = 0; y < h; ++y) {
    const int image = y / 64, row = y % 64;
    const float v = (row % spacing[image]) < 2 ? 0.8f : 0.0f;
    for (int x = 0; x < w; ++x) p.Grey(x, y, v);
  }
  return p;
}

// One soft vertical line down the middle, black at both edges.
SPicture Line() {
  SPicture p(32, 64);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 32; ++x) {
      const float d = std::fabs(x + 0.5f - 16.0f) / 3.0f;
      p.Grey(x, y, std::fmax(0.0f, 1.0f - d) * (0.7f + 0.3f * std::sin(y * 0.3f)));
    }
  return p;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string root = argc > 1 ? argv[1] : "Data";
  const std::string folder = root + "/textures/post";
  std::filesystem::create_directories(folder);
  std::filesystem::create_directories(root + "/xml");
  struct SEntry {
    const char* id;
    const char* file;
    SPicture picture;
  };
  const SEntry entries[] = {
      {"SSAO_noise.dds", "ssao_noise.png", Noise()},
      {"tinte.dds", "tint.png", Tint()},
      {"vigneting.dds", "vignette.png", Vignette()},
      {"old_movie_granulate.dds", "grain.png", Grain()},
      {"old_movie_points.dds", "points.png", Points(3)},
      {"old_movie_scratches.dds", "scratches.png", Scratches(5)},
      {"old_movie_lines", "flash_lines.png", FlashLines()},
      {"old_movie_line", "line.png", Line()},
  };
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
      "<!-- Written by tools/gen_post_textures: the textures of the full-screen passes. -->\n"
      "<textures>\n";
  for (const SEntry& e : entries) {
    if (!Save(e.picture, folder + "/" + e.file)) return 1;
    xml +=
        std::string("  <texture id=\"") + e.id + "\" file=\"post/" + e.file + "\" type=\"2d\"/>\n";
  }
  xml += "</textures>\n";
  if (!plat::image::WriteFileBytes(root + "/xml/post_textures.xml",
                                   std::vector<uint8_t>(xml.begin(), xml.end()))) {
    std::fprintf(stderr, "gen_post_textures: cannot write the list\n");
    return 1;
  }
  return 0;
}
