#include "platform/image/ImageWriter.h"

#include <cstdio>
#include <cstring>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>

#define STB_DXT_IMPLEMENTATION
#define STB_DXT_STATIC
#include <stb_dxt.h>

namespace plat {
namespace image {

namespace {

void PutU32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  out[at] = uint8_t(v);
  out[at + 1] = uint8_t(v >> 8);
  out[at + 2] = uint8_t(v >> 16);
  out[at + 3] = uint8_t(v >> 24);
}

uint32_t MipDim(uint32_t d, uint32_t mip) {
  d >>= mip;
  return d ? d : 1;
}

void AppendBytes(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<uint8_t>*>(context);
  const auto* p = static_cast<const uint8_t*>(data);
  out->insert(out->end(), p, p + size);
}

}  // namespace

bool EncodeDds(const Image& img, std::vector<uint8_t>& out, std::string& error) {
  if (LevelSize(img.format, 1, 1, 1) == 0) {
    error = "format " + std::to_string(img.format) + " cannot be written";
    return false;
  }
  const uint32_t faces = img.kind == Kind::Cube ? 6 : 1;
  if (img.width == 0 || img.height == 0 || img.depth == 0 || img.mipLevels == 0 ||
      img.faces != faces || img.levels.size() != size_t(faces) * img.mipLevels ||
      (img.kind != Kind::Volume && img.depth != 1)) {
    error = "image description is inconsistent";
    return false;
  }
  for (uint32_t f = 0; f < faces; ++f)
    for (uint32_t m = 0; m < img.mipLevels; ++m) {
      const Level& l = img.levels[size_t(f) * img.mipLevels + m];
      if (l.width != MipDim(img.width, m) || l.height != MipDim(img.height, m) ||
          l.depth != MipDim(img.depth, m) ||
          l.data.size() != LevelSize(img.format, l.width, l.height, l.depth)) {
        error =
            "level " + std::to_string(m) + " of face " + std::to_string(f) + " has the wrong size";
        return false;
      }
    }

  out.assign(4 + 124, 0);
  std::memcpy(out.data(), "DDS ", 4);
  const size_t h = 4;
  uint32_t flags = 0x1 | 0x2 | 0x4 | 0x1000;  // caps, height, width, pixel format
  if (img.mipLevels > 1) flags |= 0x20000;
  flags |= IsCompressed(img.format) ? 0x80000 : 0x8;
  if (img.kind == Kind::Volume) flags |= 0x800000;
  PutU32(out, h, 124);
  PutU32(out, h + 4, flags);
  PutU32(out, h + 8, img.height);
  PutU32(out, h + 12, img.width);
  PutU32(out, h + 16,
         IsCompressed(img.format) ? uint32_t(LevelSize(img.format, img.width, img.height, 1))
                                  : uint32_t(LevelSize(img.format, img.width, 1, 1)));
  PutU32(out, h + 20, img.kind == Kind::Volume ? img.depth : 0);
  PutU32(out, h + 24, img.mipLevels);
  // Pixel format.
  const size_t pf = h + 72;
  PutU32(out, pf, 32);
  switch (img.format) {
    case kFormatA8R8G8B8:
      PutU32(out, pf + 4, 0x40 | 0x1);
      PutU32(out, pf + 12, 32);
      PutU32(out, pf + 16, 0x00FF0000);
      PutU32(out, pf + 20, 0x0000FF00);
      PutU32(out, pf + 24, 0x000000FF);
      PutU32(out, pf + 28, 0xFF000000);
      break;
    case kFormatX8R8G8B8:
      PutU32(out, pf + 4, 0x40);
      PutU32(out, pf + 12, 32);
      PutU32(out, pf + 16, 0x00FF0000);
      PutU32(out, pf + 20, 0x0000FF00);
      PutU32(out, pf + 24, 0x000000FF);
      break;
    case kFormatA8:
      PutU32(out, pf + 4, 0x2);
      PutU32(out, pf + 12, 8);
      PutU32(out, pf + 28, 0xFF);
      break;
    default:
      PutU32(out, pf + 4, 0x4);
      PutU32(out, pf + 8, img.format);
      break;
  }
  uint32_t caps = 0x1000;  // texture
  if (img.mipLevels > 1) caps |= 0x8 | 0x400000;
  if (img.kind != Kind::Texture2D) caps |= 0x8;
  PutU32(out, h + 104, caps);
  uint32_t caps2 = 0;
  if (img.kind == Kind::Cube) caps2 = 0x200 | 0xFC00;
  if (img.kind == Kind::Volume) caps2 = 0x200000;
  PutU32(out, h + 108, caps2);

  for (const Level& l : img.levels) out.insert(out.end(), l.data.begin(), l.data.end());
  return true;
}

bool EncodePng(uint32_t width, uint32_t height, const std::vector<uint8_t>& bgra,
               std::vector<uint8_t>& out, std::string& error) {
  if (width == 0 || height == 0 || width > 16384 || height > 16384 ||
      bgra.size() != size_t(width) * height * 4) {
    error = "PNG pixels do not match the size";
    return false;
  }
  std::vector<uint8_t> rgba(bgra);
  for (size_t i = 0; i < rgba.size(); i += 4) std::swap(rgba[i], rgba[i + 2]);
  out.clear();
  if (!stbi_write_png_to_func(AppendBytes, &out, int(width), int(height), 4, rgba.data(),
                              int(width * 4))) {
    error = "PNG could not be encoded";
    return false;
  }
  return true;
}

std::vector<uint8_t> CompressDxt(uint32_t format, uint32_t width, uint32_t height,
                                 const std::vector<uint8_t>& bgra) {
  std::vector<uint8_t> out;
  if (!IsCompressed(format) || width == 0 || height == 0 ||
      bgra.size() != size_t(width) * height * 4)
    return out;
  out.reserve(LevelSize(format, width, height, 1));
  for (uint32_t by = 0; by < height; by += 4)
    for (uint32_t bx = 0; bx < width; bx += 4) {
      uint8_t rgba[64];
      for (uint32_t y = 0; y < 4; ++y)
        for (uint32_t x = 0; x < 4; ++x) {
          const uint32_t sx = bx + x < width ? bx + x : width - 1;
          const uint32_t sy = by + y < height ? by + y : height - 1;
          const uint8_t* s = &bgra[(size_t(sy) * width + sx) * 4];
          uint8_t* d = &rgba[(y * 4 + x) * 4];
          d[0] = s[2];
          d[1] = s[1];
          d[2] = s[0];
          d[3] = s[3];
        }
      uint8_t block[16];
      if (format == kFormatDXT1) {
        stb_compress_dxt_block(block, rgba, 0, STB_DXT_NORMAL);
        out.insert(out.end(), block, block + 8);
      } else if (format == kFormatDXT5) {
        stb_compress_dxt_block(block, rgba, 1, STB_DXT_NORMAL);
        out.insert(out.end(), block, block + 16);
      } else {
        // Explicit 4-bit alpha, two texels a byte, first texel in the low nibble.
        for (int i = 0; i < 8; ++i)
          out.push_back(uint8_t((rgba[(2 * i) * 4 + 3] >> 4) | (rgba[(2 * i + 1) * 4 + 3] & 0xF0)));
        stb_compress_dxt_block(block, rgba, 0, STB_DXT_NORMAL);
        out.insert(out.end(), block, block + 8);
      }
    }
  return out;
}

std::vector<uint8_t> Downsample(uint32_t width, uint32_t height, const std::vector<uint8_t>& bgra) {
  const uint32_t w = width > 1 ? width / 2 : 1, h = height > 1 ? height / 2 : 1;
  std::vector<uint8_t> out(size_t(w) * h * 4);
  if (bgra.size() != size_t(width) * height * 4) return {};
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x)
      for (int c = 0; c < 4; ++c) {
        const uint32_t x0 = width > 1 ? 2 * x : 0, x1 = width > 1 ? 2 * x + 1 : 0;
        const uint32_t y0 = height > 1 ? 2 * y : 0, y1 = height > 1 ? 2 * y + 1 : 0;
        const unsigned sum =
            bgra[(size_t(y0) * width + x0) * 4 + c] + bgra[(size_t(y0) * width + x1) * 4 + c] +
            bgra[(size_t(y1) * width + x0) * 4 + c] + bgra[(size_t(y1) * width + x1) * 4 + c];
        out[(size_t(y) * w + x) * 4 + c] = uint8_t((sum + 2) / 4);
      }
  return out;
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace image
}  // namespace plat
