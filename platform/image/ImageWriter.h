#pragma once
// Writing images: DDS and PNG encoders and a DXT block compressor, for the content
// tools and the tests that build texture files of their own.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/image/Image.h"

namespace plat {
namespace image {

// A DDS file of the image (any kind and format that Decode reads). False with a
// message when the levels do not match the image's size, mip count and faces.
bool EncodeDds(const Image& img, std::vector<uint8_t>& out, std::string& error);
// A PNG of width × height pixels stored B,G,R,A.
bool EncodePng(uint32_t width, uint32_t height, const std::vector<uint8_t>& bgra,
               std::vector<uint8_t>& out, std::string& error);
// Compresses width × height pixels stored B,G,R,A into DXT1, DXT3 or DXT5 blocks
// (edge blocks repeat the last row and column). Empty for another format or a
// pixel buffer of the wrong size.
std::vector<uint8_t> CompressDxt(uint32_t format, uint32_t width, uint32_t height,
                                 const std::vector<uint8_t>& bgra);
// Halves a B,G,R,A image (each side at least 1) by averaging 2×2 pixels.
std::vector<uint8_t> Downsample(uint32_t width, uint32_t height, const std::vector<uint8_t>& bgra);

// Writes bytes to a file; false when it cannot be written.
bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace image
}  // namespace plat
