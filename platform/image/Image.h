#pragma once
// CPU-side texture images: our own DDS reader and PNG through stb_image. The kind of
// file is told from its bytes, never from its name.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace plat {
namespace image {

enum class Kind { Texture2D, Cube, Volume };

// Format codes keep Direct3D's numbers: 21 A8R8G8B8, 22 X8R8G8B8, 28 A8, and the
// four-character codes of DXT1/DXT3/DXT5 (kFormatDXT1 = 0x31545844 'DXT1', ...).
constexpr uint32_t kFormatA8R8G8B8 = 21, kFormatX8R8G8B8 = 22, kFormatA8 = 28;
constexpr uint32_t kFormatDXT1 = 0x31545844, kFormatDXT3 = 0x33545844, kFormatDXT5 = 0x35545844;

struct Level {
  uint32_t width, height, depth;
  std::vector<uint8_t> data;
};  // one mip of one face

struct Image {
  Kind kind = Kind::Texture2D;
  uint32_t format = 0;
  uint32_t width = 0, height = 0, depth = 1, mipLevels = 0, faces = 1;
  // Face-major: face 0 mips 0..n-1, face 1 mips..., cube faces in +X,-X,+Y,-Y,+Z,-Z order.
  std::vector<Level> levels;

  const Level& At(uint32_t face, uint32_t mip) const { return levels[face * mipLevels + mip]; }
};

// True for the DXT block formats.
bool IsCompressed(uint32_t format);
// Bytes in one level (one face, all slices) of the given format and size; 0 for an
// unknown format.
size_t LevelSize(uint32_t format, uint32_t width, uint32_t height, uint32_t depth = 1);

// Decodes a DDS (2D, cube, volume; DXT1/3/5 blocks kept compressed; 32-bit BGRA and
// 8-bit alpha kept as stored) or a PNG (decoded to A8R8G8B8, bytes B,G,R,A in memory,
// one level). False with a message in `error` for anything truncated, inconsistent or
// unsupported; never reads past the buffer.
bool Decode(const uint8_t* bytes, size_t size, Image& out, std::string& error);
// Reads the file through plat::fs (any letter case, '\' separators) and decodes it.
bool LoadFile(const std::string& path, Image& out, std::string& error);

}  // namespace image
}  // namespace plat
