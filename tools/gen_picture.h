#pragma once
// What the generators that draw pictures share: a canvas of float R,G,B,A pixels with
// its two ways of laying a colour over a pixel, its 8-bit B,G,R,A bytes, and the
// writers of plain bytes, PNG and DDS files. Each generator adds its own shapes.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/image/Image.h"
#include "platform/image/ImageWriter.h"

namespace gen {

struct Picture {
  int width, height;
  std::vector<float> rgba;
  Picture(int w, int h) : width(w), height(h), rgba(size_t(w) * h * 4, 0.0f) {}

  float* At(int x, int y) { return &rgba[(size_t(y) * width + x) * 4]; }

  // "Over" with straight alpha: the colour with coverage `a` over what is there; the
  // colour under a translucent pixel keeps its weight.
  void Over(int x, int y, float r, float g, float b, float a) {
    if (x < 0 || y < 0 || x >= width || y >= height || a <= 0.0f) return;
    float* p = At(x, y);
    const float outA = a + p[3] * (1.0f - a);
    if (outA <= 0.0f) return;
    for (int i = 0; i < 3; ++i) {
      const float src = i == 0 ? r : i == 1 ? g : b;
      p[i] = (src * a + p[i] * p[3] * (1.0f - a)) / outA;
    }
    p[3] = outA;
  }

  // A plain mix of every channel, alpha included, towards the colour by `a`.
  void MixIn(int x, int y, float r, float g, float b, float a) {
    if (x < 0 || y < 0 || x >= width || y >= height || a <= 0.0f) return;
    float* p = At(x, y);
    const float keep = 1.0f - a;
    p[0] = r * a + p[0] * keep;
    p[1] = g * a + p[1] * keep;
    p[2] = b * a + p[2] * keep;
    p[3] = a + p[3] * keep;
  }

  // Rounded to 8 bits, clamped, in the B,G,R,A order of the image files.
  std::vector<uint8_t> Bgra() const {
    std::vector<uint8_t> out(rgba.size());
    auto c = [](float v) { return static_cast<uint8_t>(std::clamp(v, 0.0f, 1.0f) * 255 + 0.5f); };
    for (size_t i = 0; i < rgba.size(); i += 4) {
      out[i] = c(rgba[i + 2]);
      out[i + 1] = c(rgba[i + 1]);
      out[i + 2] = c(rgba[i]);
      out[i + 3] = c(rgba[i + 3]);
    }
    return out;
  }
};

// Writes `bytes` to `path`, making its folders; false, with a line on stderr naming
// `tool`, when it cannot.
inline bool WriteBytes(const char* tool, const std::string& path, const std::vector<uint8_t>& bytes) {
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
  if (plat::image::WriteFileBytes(path, bytes)) return true;
  std::fprintf(stderr, "%s: cannot write %s\n", tool, path.c_str());
  return false;
}

inline bool WritePng(const char* tool, const std::string& path, const Picture& picture) {
  std::vector<uint8_t> png;
  std::string error;
  if (!plat::image::EncodePng(picture.width, picture.height, picture.Bgra(), png, error)) {
    std::fprintf(stderr, "%s: %s: %s\n", tool, path.c_str(), error.c_str());
    return false;
  }
  return WriteBytes(tool, path, png);
}

// A DDS of one level: A8R8G8B8, or DXT5 blocks for the large pictures whose alpha
// has no fine ramp to keep.
inline bool WriteDds(const char* tool, const std::string& path, const Picture& picture,
                     bool compress = false) {
  plat::image::Image img;
  img.width = static_cast<uint32_t>(picture.width);
  img.height = static_cast<uint32_t>(picture.height);
  img.format = compress ? plat::image::kFormatDXT5 : plat::image::kFormatA8R8G8B8;
  img.mipLevels = 1;
  img.levels.push_back({img.width, img.height, 1,
                        compress ? plat::image::CompressDxt(img.format, img.width, img.height,
                                                            picture.Bgra())
                                 : picture.Bgra()});
  std::vector<uint8_t> bytes;
  std::string error;
  if (!plat::image::EncodeDds(img, bytes, error)) {
    std::fprintf(stderr, "%s: %s: %s\n", tool, path.c_str(), error.c_str());
    return false;
  }
  return WriteBytes(tool, path, bytes);
}

}  // namespace gen
