#include "platform/image/Image.h"

#include <cstring>
#include <limits>

#include "platform/fs/FileSystem.h"

// Only the PNG decoder, kept private to this library.
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_MAX_DIMENSIONS 16384
#include <stb_image.h>

namespace plat {
namespace image {

namespace {

// DDS header layout (offsets after the four-byte magic).
constexpr size_t kMagicSize = 4;
constexpr size_t kHeaderSize = 124;
constexpr size_t kPixelFormatSize = 32;
constexpr uint32_t kFlagsDepth = 0x800000;
constexpr uint32_t kPfAlphaPixels = 0x1, kPfAlpha = 0x2, kPfFourCC = 0x4, kPfRgb = 0x40;
constexpr uint32_t kCaps2Cubemap = 0x200, kCaps2AllFaces = 0xFC00, kCaps2Volume = 0x200000;
constexpr uint32_t kFourCCDX10 = 0x30315844;

// Larger than any texture the game uses, small enough that sizes cannot overflow.
constexpr uint32_t kMaxDimension = 16384;
constexpr uint32_t kMaxDepth = 2048;

uint32_t ReadU32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint32_t MipDim(uint32_t d, uint32_t mip) {
  d >>= mip;
  return d ? d : 1;
}

uint32_t MaxMipCount(uint32_t w, uint32_t h, uint32_t d) {
  uint32_t m = w > h ? w : h;
  if (d > m) m = d;
  uint32_t n = 1;
  while (m > 1) {
    m >>= 1;
    ++n;
  }
  return n;
}

std::string FourCCText(uint32_t code) {
  std::string s;
  for (int i = 0; i < 4; ++i) {
    char c = char((code >> (8 * i)) & 0xFF);
    s += (c >= 32 && c < 127) ? c : '?';
  }
  return s;
}

bool Fail(std::string& error, const std::string& text) {
  error = text;
  return false;
}

// The stored pixel layout of an uncompressed DDS, turned into one of our formats.
enum class Swizzle { None, RgbaToBgra };

bool ReadPixelFormat(const uint8_t* pf, uint32_t& format, Swizzle& swizzle, std::string& error) {
  const uint32_t size = ReadU32(pf);
  const uint32_t flags = ReadU32(pf + 4);
  const uint32_t fourCC = ReadU32(pf + 8);
  const uint32_t bits = ReadU32(pf + 12);
  const uint32_t rMask = ReadU32(pf + 16), gMask = ReadU32(pf + 20), bMask = ReadU32(pf + 24),
                 aMask = ReadU32(pf + 28);
  swizzle = Swizzle::None;
  if (size != kPixelFormatSize) return Fail(error, "DDS pixel format has a bad size");

  if (flags & kPfFourCC) {
    switch (fourCC) {
      case kFormatDXT1:
      case kFormatDXT3:
      case kFormatDXT5:
      // Some writers store a Direct3D format number instead of a character code.
      case kFormatA8R8G8B8:
      case kFormatX8R8G8B8:
      case kFormatA8:
        format = fourCC;
        return true;
      case kFourCCDX10:
        return Fail(error, "DDS with the extended (DX10) header is not supported");
      default:
        return Fail(error, "DDS format '" + FourCCText(fourCC) + "' is not supported");
    }
  }
  const bool hasAlpha = (flags & (kPfAlphaPixels | kPfAlpha)) && aMask != 0;
  if ((flags & kPfRgb) && bits == 32) {
    if (rMask == 0x00FF0000 && gMask == 0x0000FF00 && bMask == 0x000000FF) {
      format = hasAlpha && aMask == 0xFF000000 ? kFormatA8R8G8B8 : kFormatX8R8G8B8;
      return true;
    }
    if (rMask == 0x000000FF && gMask == 0x0000FF00 && bMask == 0x00FF0000) {
      format = hasAlpha && aMask == 0xFF000000 ? kFormatA8R8G8B8 : kFormatX8R8G8B8;
      swizzle = Swizzle::RgbaToBgra;
      return true;
    }
  }
  if ((flags & kPfAlpha) && !(flags & kPfRgb) && bits == 8 && aMask == 0xFF) {
    format = kFormatA8;
    return true;
  }
  return Fail(error, "DDS pixel layout (" + std::to_string(bits) + " bits) is not supported");
}

bool DecodeDds(const uint8_t* bytes, size_t size, Image& out, std::string& error) {
  if (size < kMagicSize + kHeaderSize) return Fail(error, "DDS file is truncated (header)");
  const uint8_t* h = bytes + kMagicSize;
  if (ReadU32(h) != kHeaderSize) return Fail(error, "DDS header has a bad size");
  const uint32_t flags = ReadU32(h + 4);
  const uint32_t height = ReadU32(h + 8);
  const uint32_t width = ReadU32(h + 12);
  const uint32_t depthField = ReadU32(h + 20);
  const uint32_t mipField = ReadU32(h + 24);
  const uint32_t caps2 = ReadU32(h + 108);

  Image img;
  Swizzle swizzle;
  if (!ReadPixelFormat(h + 72, img.format, swizzle, error)) return false;

  if (width == 0 || height == 0) return Fail(error, "DDS has a zero width or height");
  if (width > kMaxDimension || height > kMaxDimension)
    return Fail(error, "DDS size " + std::to_string(width) + "x" + std::to_string(height) +
                           " is too large");

  img.width = width;
  img.height = height;
  img.depth = 1;
  img.faces = 1;
  img.kind = Kind::Texture2D;
  if (caps2 & kCaps2Cubemap) {
    if ((caps2 & kCaps2AllFaces) != kCaps2AllFaces)
      return Fail(error, "DDS cube map without all six faces is not supported");
    if (width != height) return Fail(error, "DDS cube map faces are not square");
    img.kind = Kind::Cube;
    img.faces = 6;
  } else if ((caps2 & kCaps2Volume) || ((flags & kFlagsDepth) && depthField > 1)) {
    if (depthField == 0) return Fail(error, "DDS volume has a zero depth");
    if (depthField > kMaxDepth) return Fail(error, "DDS volume depth is too large");
    img.kind = Kind::Volume;
    img.depth = depthField;
  }

  // A count of 0 is written by tools for a texture without a mip chain.
  img.mipLevels = mipField ? mipField : 1;
  const uint32_t maxMips = MaxMipCount(img.width, img.height, img.depth);
  if (img.mipLevels > maxMips)
    return Fail(error, "DDS claims " + std::to_string(img.mipLevels) + " mip levels; at most " +
                           std::to_string(maxMips) + " fit its size");

  // Sizes are bounded above, so the total fits in 64 bits; check it against the data.
  uint64_t total = 0;
  for (uint32_t mip = 0; mip < img.mipLevels; ++mip)
    total += LevelSize(img.format, MipDim(img.width, mip), MipDim(img.height, mip),
                       MipDim(img.depth, mip));
  total *= img.faces;
  const uint64_t available = size - kMagicSize - kHeaderSize;
  if (total > available)
    return Fail(error, "DDS file is truncated: its levels need " + std::to_string(total) +
                           " bytes, " + std::to_string(available) + " are present");

  const uint8_t* p = bytes + kMagicSize + kHeaderSize;
  img.levels.reserve(size_t(img.faces) * img.mipLevels);
  for (uint32_t face = 0; face < img.faces; ++face) {
    for (uint32_t mip = 0; mip < img.mipLevels; ++mip) {
      Level level;
      level.width = MipDim(img.width, mip);
      level.height = MipDim(img.height, mip);
      level.depth = MipDim(img.depth, mip);
      const size_t n = LevelSize(img.format, level.width, level.height, level.depth);
      level.data.assign(p, p + n);
      p += n;
      if (swizzle == Swizzle::RgbaToBgra)
        for (size_t i = 0; i + 3 < n; i += 4) std::swap(level.data[i], level.data[i + 2]);
      img.levels.push_back(std::move(level));
    }
  }
  out = std::move(img);
  return true;
}

uint32_t ReadU32BigEndian(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

// The decoder trusts a PNG's chunk lengths (it reserves what an IDAT declares) and
// misbehaves on an empty IDAT: the chunk list is walked here first. Signature, then IHDR
// with sane dimensions, every chunk within the file, at least one IDAT and none
// empty, and IEND.
constexpr uint64_t kMaxPngPixels = uint64_t(8192) * 8192;

bool CheckPngChunks(const uint8_t* bytes, size_t size, std::string& error) {
  size_t pos = 8;  // after the signature
  bool first = true, haveData = false;
  while (true) {
    if (size - pos < 12) return Fail(error, "PNG chunk list is truncated (no IEND)");
    const uint32_t length = ReadU32BigEndian(bytes + pos);
    const std::string type(reinterpret_cast<const char*>(bytes + pos + 4), 4);
    const uint8_t* data = bytes + pos + 8;
    if (length > size - pos - 12)
      return Fail(error, "PNG chunk '" + FourCCText(ReadU32(bytes + pos + 4)) + "' declares " +
                             std::to_string(length) + " bytes; " + std::to_string(size - pos - 12) +
                             " remain in the file");
    if (first) {
      if (type != "IHDR" || length != 13) return Fail(error, "PNG does not start with IHDR");
      const uint32_t width = ReadU32BigEndian(data), height = ReadU32BigEndian(data + 4);
      if (width == 0 || height == 0 || width > kMaxDimension || height > kMaxDimension ||
          uint64_t(width) * height > kMaxPngPixels)
        return Fail(error, "PNG size " + std::to_string(width) + "x" + std::to_string(height) +
                               " is zero or too large");
      first = false;
    } else if (type == "IHDR") {
      return Fail(error, "PNG has a second IHDR");
    } else if (type == "IDAT") {
      if (length == 0) return Fail(error, "PNG has an empty IDAT chunk");
      haveData = true;
    } else if (type == "IEND") {
      if (!haveData) return Fail(error, "PNG has no image data (IDAT)");
      return true;
    }
    pos += size_t(length) + 12;
  }
}

bool DecodePng(const uint8_t* bytes, size_t size, Image& out, std::string& error) {
  if (size > size_t(std::numeric_limits<int>::max())) return Fail(error, "PNG file is too large");
  if (!CheckPngChunks(bytes, size, error)) return false;
  int w = 0, h = 0, comp = 0;
  stbi_uc* pixels = stbi_load_from_memory(bytes, int(size), &w, &h, &comp, 4);
  if (!pixels) {
    const char* why = stbi_failure_reason();
    return Fail(error, std::string("PNG could not be decoded: ") + (why ? why : "unknown error"));
  }
  Image img;
  img.kind = Kind::Texture2D;
  img.format = kFormatA8R8G8B8;
  img.width = uint32_t(w);
  img.height = uint32_t(h);
  img.depth = 1;
  img.mipLevels = 1;
  img.faces = 1;
  Level level{img.width, img.height, 1, {}};
  const size_t n = size_t(w) * size_t(h) * 4;
  level.data.resize(n);
  // stb gives R,G,B,A; A8R8G8B8 is B,G,R,A in memory.
  for (size_t i = 0; i < n; i += 4) {
    level.data[i] = pixels[i + 2];
    level.data[i + 1] = pixels[i + 1];
    level.data[i + 2] = pixels[i];
    level.data[i + 3] = pixels[i + 3];
  }
  stbi_image_free(pixels);
  img.levels.push_back(std::move(level));
  out = std::move(img);
  return true;
}

}  // namespace

bool IsCompressed(uint32_t format) {
  return format == kFormatDXT1 || format == kFormatDXT3 || format == kFormatDXT5;
}

size_t LevelSize(uint32_t format, uint32_t width, uint32_t height, uint32_t depth) {
  const size_t w = width, h = height, d = depth;
  switch (format) {
    case kFormatDXT1:
      return ((w + 3) / 4) * ((h + 3) / 4) * 8 * d;
    case kFormatDXT3:
    case kFormatDXT5:
      return ((w + 3) / 4) * ((h + 3) / 4) * 16 * d;
    case kFormatA8R8G8B8:
    case kFormatX8R8G8B8:
      return w * h * 4 * d;
    case kFormatA8:
      return w * h * d;
    default:
      return 0;
  }
}

bool Decode(const uint8_t* bytes, size_t size, Image& out, std::string& error) {
  static const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (!bytes || size == 0) return Fail(error, "empty texture data");
  if (size >= 4 && std::memcmp(bytes, "DDS ", 4) == 0) return DecodeDds(bytes, size, out, error);
  if (size >= 8 && std::memcmp(bytes, kPngSignature, 8) == 0)
    return DecodePng(bytes, size, out, error);
  return Fail(error, "unknown texture file type (neither DDS nor PNG)");
}

bool LoadFile(const std::string& path, Image& out, std::string& error) {
  std::vector<char> data;
  fs::FileStatus status;
  if (!fs::ReadFile(path, data, &status))
    return Fail(error, std::string("texture file ") + fs::Describe(status) + ": " + path);
  if (!Decode(reinterpret_cast<const uint8_t*>(data.data()), data.size(), out, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

}  // namespace image
}  // namespace plat
