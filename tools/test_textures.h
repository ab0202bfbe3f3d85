#pragma once
// The test textures under Data/textures/test/: built here so that the generator and
// the tests that check the committed files agree on every byte.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/image/Image.h"
#include "platform/image/ImageWriter.h"

namespace testtex {

// Pixel (x, y) of layer `layer` (a cube face or a volume slice), stored B,G,R,A.
inline void Pixel(uint32_t x, uint32_t y, uint32_t layer, uint8_t out[4]) {
  out[0] = uint8_t(x * 16 + 8);
  out[1] = uint8_t(y * 16 + 8);
  out[2] = uint8_t(layer * 40);
  out[3] = uint8_t(255 - (x + y) * 4);
}

inline std::vector<uint8_t> Layer(uint32_t w, uint32_t h, uint32_t layer) {
  std::vector<uint8_t> px(size_t(w) * h * 4);
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) Pixel(x, y, layer, &px[(size_t(y) * w + x) * 4]);
  return px;
}

inline uint32_t Half(uint32_t v) { return v > 1 ? v / 2 : 1; }

// A mip chain of B,G,R,A slices: chain[mip][slice].
inline std::vector<std::vector<std::vector<uint8_t>>> Chain(uint32_t w, uint32_t h, uint32_t d, uint32_t mips,
                                                          uint32_t firstLayer) {
  std::vector<std::vector<std::vector<uint8_t>>> chain(mips);
  for (uint32_t s = 0; s < d; ++s) chain[0].push_back(Layer(w, h, firstLayer + s));
  for (uint32_t m = 1; m < mips; ++m) {
    const auto& prev = chain[m - 1];
    const uint32_t pw = w, ph = h;
    w = Half(w);
    h = Half(h);
    const uint32_t pd = uint32_t(prev.size());
    const uint32_t nd = Half(pd);
    for (uint32_t s = 0; s < nd; ++s) {
      std::vector<uint8_t> a = plat::image::Downsample(pw, ph, prev[pd > 1 ? 2 * s : 0]);
      std::vector<uint8_t> b = plat::image::Downsample(pw, ph, prev[pd > 1 ? 2 * s + 1 : 0]);
      for (size_t i = 0; i < a.size(); ++i) a[i] = uint8_t((a[i] + b[i] + 1) / 2);
      chain[m].push_back(a);
    }
  }
  return chain;
}

inline plat::image::Image Build(plat::image::Kind kind, uint32_t format, uint32_t w, uint32_t h, uint32_t d,
                                uint32_t mips) {
  using namespace plat::image;
  Image img;
  img.kind = kind;
  img.format = format;
  img.width = w;
  img.height = h;
  img.depth = d;
  img.mipLevels = mips;
  img.faces = kind == Kind::Cube ? 6 : 1;
  for (uint32_t f = 0; f < img.faces; ++f) {
    auto chain = Chain(w, h, d, mips, f);
    for (uint32_t m = 0; m < mips; ++m) {
      Level level{w >> m ? w >> m : 1, h >> m ? h >> m : 1, d >> m ? d >> m : 1, {}};
      for (const auto& slice : chain[m]) {
        std::vector<uint8_t> bytes;
        if (IsCompressed(format)) {
          bytes = CompressDxt(format, level.width, level.height, slice);
        } else if (format == kFormatA8) {
          for (size_t i = 3; i < slice.size(); i += 4) bytes.push_back(slice[i]);
        } else {
          bytes = slice;
          if (format == kFormatX8R8G8B8)
            for (size_t i = 3; i < bytes.size(); i += 4) bytes[i] = 0xFF;
        }
        level.data.insert(level.data.end(), bytes.begin(), bytes.end());
      }
      img.levels.push_back(std::move(level));
    }
  }
  return img;
}

// Every test file: its name under Data/textures/test/ and its bytes.
inline std::vector<std::pair<std::string, std::vector<uint8_t>>> BuildAll() {
  using namespace plat::image;
  struct Spec {
    const char* name;
    Kind kind;
    uint32_t format, w, h, d, mips;
  };
  const Spec specs[] = {
      {"dxt1.dds", Kind::Texture2D, kFormatDXT1, 16, 16, 1, 5},
      {"dxt3.dds", Kind::Texture2D, kFormatDXT3, 16, 16, 1, 5},
      {"dxt5.dds", Kind::Texture2D, kFormatDXT5, 16, 8, 1, 5},
      {"a8r8g8b8.dds", Kind::Texture2D, kFormatA8R8G8B8, 8, 8, 1, 4},
      {"x8r8g8b8.dds", Kind::Texture2D, kFormatX8R8G8B8, 8, 4, 1, 4},
      {"a8.dds", Kind::Texture2D, kFormatA8, 8, 8, 1, 1},
      {"cube.dds", Kind::Cube, kFormatA8R8G8B8, 8, 8, 1, 4},
      {"volume.dds", Kind::Volume, kFormatA8R8G8B8, 8, 8, 4, 4},
  };
  std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
  std::string error;
  for (const Spec& s : specs) {
    std::vector<uint8_t> bytes;
    if (EncodeDds(Build(s.kind, s.format, s.w, s.h, s.d, s.mips), bytes, error)) files.emplace_back(s.name, bytes);
  }
  std::vector<uint8_t> png;
  if (EncodePng(4, 3, Layer(4, 3, 2), png, error)) {
    files.emplace_back("png.png", png);
    files.emplace_back("png_named.dds", png);  // a PNG under a DDS name
  }
  return files;
}

}  // namespace testtex
