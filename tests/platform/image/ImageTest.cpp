#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "platform/fs/FileSystem.h"
#include "platform/image/Image.h"
#include "platform/image/ImageWriter.h"
#include "tools/test_textures.h"

using namespace plat::image;

namespace {

const std::string kDir = std::string(HM_SOURCE_DIR) + "/Data/textures/test/";

std::vector<uint8_t> FileBytes(const std::string& name) {
  std::vector<char> data;
  EXPECT_TRUE(plat::fs::ReadFile(kDir + name, data)) << name;
  return std::vector<uint8_t>(data.begin(), data.end());
}

// Decodes from a buffer of exactly `n` bytes so that the address sanitizer sees any
// read past its end.
bool DecodeExact(const std::vector<uint8_t>& bytes, size_t n, Image& img, std::string& error) {
  std::vector<uint8_t> exact(bytes.begin(), bytes.begin() + n);
  return Decode(exact.data(), exact.size(), img, error);
}

void PutU32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

std::vector<uint8_t> PixelAt(const Level& l, uint32_t x, uint32_t y, uint32_t slice = 0) {
  const size_t at = ((size_t(slice) * l.height + y) * l.width + x) * 4;
  return std::vector<uint8_t>(l.data.begin() + at, l.data.begin() + at + 4);
}

std::vector<uint8_t> Expected(uint32_t x, uint32_t y, uint32_t layer) {
  uint8_t p[4];
  testtex::Pixel(x, y, layer, p);
  return std::vector<uint8_t>(p, p + 4);
}

}  // namespace

TEST(ImageFiles, CommittedTestTexturesMatchTheirGenerator) {
  for (const auto& f : testtex::BuildAll()) EXPECT_EQ(FileBytes(f.first), f.second) << f.first;
}

TEST(ImageFiles, EachKindAndFormatLoads) {
  struct Case {
    const char* name;
    Kind kind;
    uint32_t format, w, h, d, mips, faces;
  };
  const Case cases[] = {
      {"dxt1.dds", Kind::Texture2D, kFormatDXT1, 16, 16, 1, 5, 1},
      {"dxt3.dds", Kind::Texture2D, kFormatDXT3, 16, 16, 1, 5, 1},
      {"dxt5.dds", Kind::Texture2D, kFormatDXT5, 16, 8, 1, 5, 1},
      {"a8r8g8b8.dds", Kind::Texture2D, kFormatA8R8G8B8, 8, 8, 1, 4, 1},
      {"x8r8g8b8.dds", Kind::Texture2D, kFormatX8R8G8B8, 8, 4, 1, 4, 1},
      {"a8.dds", Kind::Texture2D, kFormatA8, 8, 8, 1, 1, 1},
      {"cube.dds", Kind::Cube, kFormatA8R8G8B8, 8, 8, 1, 4, 6},
      {"volume.dds", Kind::Volume, kFormatA8R8G8B8, 8, 8, 4, 4, 1},
      {"png.png", Kind::Texture2D, kFormatA8R8G8B8, 4, 3, 1, 1, 1},
      {"png_named.dds", Kind::Texture2D, kFormatA8R8G8B8, 4, 3, 1, 1,
       1},  // told by content, not name
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Image img;
    std::string error;
    ASSERT_TRUE(LoadFile(kDir + c.name, img, error)) << error;
    EXPECT_EQ(img.kind, c.kind);
    EXPECT_EQ(img.format, c.format);
    EXPECT_EQ(img.width, c.w);
    EXPECT_EQ(img.height, c.h);
    EXPECT_EQ(img.depth, c.d);
    EXPECT_EQ(img.mipLevels, c.mips);
    EXPECT_EQ(img.faces, c.faces);
    ASSERT_EQ(img.levels.size(), size_t(c.mips) * c.faces);
    for (uint32_t f = 0; f < c.faces; ++f)
      for (uint32_t m = 0; m < c.mips; ++m) {
        const Level& l = img.At(f, m);
        EXPECT_EQ(l.width, std::max(1u, c.w >> m));
        EXPECT_EQ(l.height, std::max(1u, c.h >> m));
        EXPECT_EQ(l.depth, std::max(1u, c.d >> m));
        EXPECT_EQ(l.data.size(), LevelSize(c.format, l.width, l.height, l.depth));
      }
  }
}

TEST(ImageFiles, PixelsKeepTheirStoredLayout) {
  Image img;
  std::string error;
  ASSERT_TRUE(LoadFile(kDir + "a8r8g8b8.dds", img, error)) << error;
  EXPECT_EQ(PixelAt(img.At(0, 0), 3, 2), Expected(3, 2, 0));  // B,G,R,A in memory

  ASSERT_TRUE(LoadFile(kDir + "x8r8g8b8.dds", img, error)) << error;
  auto x = Expected(5, 1, 0);
  x[3] = 0xFF;
  EXPECT_EQ(PixelAt(img.At(0, 0), 5, 1), x);

  ASSERT_TRUE(LoadFile(kDir + "a8.dds", img, error)) << error;
  EXPECT_EQ(img.At(0, 0).data[2 * 8 + 6], Expected(6, 2, 0)[3]);

  ASSERT_TRUE(LoadFile(kDir + "cube.dds", img, error)) << error;
  for (uint32_t face = 0; face < 6; ++face)
    EXPECT_EQ(PixelAt(img.At(face, 0), 1, 4), Expected(1, 4, face));

  ASSERT_TRUE(LoadFile(kDir + "volume.dds", img, error)) << error;
  EXPECT_EQ(PixelAt(img.At(0, 0), 7, 3, 2), Expected(7, 3, 2));

  ASSERT_TRUE(LoadFile(kDir + "png_named.dds", img, error)) << error;
  EXPECT_EQ(PixelAt(img.At(0, 0), 2, 1), Expected(2, 1, 2));
}

TEST(ImageFiles, LoadFileResolvesPathsAndReportsMissingFiles) {
  Image img;
  std::string error;
  EXPECT_TRUE(LoadFile(std::string(HM_SOURCE_DIR) + "/data\\TEXTURES\\test\\A8.DDS", img, error))
      << error;
  EXPECT_FALSE(LoadFile(kDir + "no_such_texture.dds", img, error));
  EXPECT_NE(error.find("no_such_texture.dds"), std::string::npos);
}

TEST(ImageDds, EveryKindAndFormatRoundTrips) {
  const uint32_t formats[] = {kFormatDXT1,     kFormatDXT3,     kFormatDXT5,
                              kFormatA8R8G8B8, kFormatX8R8G8B8, kFormatA8};
  struct Shape {
    Kind kind;
    uint32_t w, h, d, mips;
  };
  const Shape shapes[] = {{Kind::Texture2D, 13, 7, 1, 4},
                          {Kind::Texture2D, 1, 1, 1, 1},
                          {Kind::Cube, 4, 4, 1, 3},
                          {Kind::Volume, 4, 2, 8, 4}};
  for (uint32_t format : formats)
    for (const Shape& s : shapes) {
      SCOPED_TRACE(std::to_string(format) + " kind " + std::to_string(int(s.kind)));
      Image in = testtex::Build(s.kind, format, s.w, s.h, s.d, s.mips), out;
      std::vector<uint8_t> bytes;
      std::string error;
      ASSERT_TRUE(EncodeDds(in, bytes, error)) << error;
      ASSERT_TRUE(DecodeExact(bytes, bytes.size(), out, error)) << error;
      EXPECT_EQ(out.kind, in.kind);
      EXPECT_EQ(out.format, in.format);
      EXPECT_EQ(out.width, in.width);
      EXPECT_EQ(out.height, in.height);
      EXPECT_EQ(out.depth, in.depth);
      EXPECT_EQ(out.mipLevels, in.mipLevels);
      EXPECT_EQ(out.faces, in.faces);
      ASSERT_EQ(out.levels.size(), in.levels.size());
      for (size_t i = 0; i < in.levels.size(); ++i)
        EXPECT_EQ(out.levels[i].data, in.levels[i].data) << i;
    }
}

TEST(ImageDds, RgbaMaskedPixelsAreSwizzledAndZeroMipCountMeansOne) {
  std::vector<uint8_t> b = FileBytes("a8r8g8b8.dds");
  PutU32(b, 4 + 88, 0x000000FF);  // red mask
  PutU32(b, 4 + 96, 0x00FF0000);  // blue mask
  PutU32(b, 4 + 24, 0);           // no mip count
  Image img;
  std::string error;
  ASSERT_TRUE(DecodeExact(b, b.size(), img, error)) << error;
  EXPECT_EQ(img.mipLevels, 1u);
  auto e = Expected(3, 2, 0);
  std::swap(e[0], e[2]);
  EXPECT_EQ(PixelAt(img.At(0, 0), 3, 2), e);
}

TEST(ImageDds, TruncatedFilesAreRejectedAtEveryLength) {
  for (const char* name : {"dxt1.dds", "cube.dds", "volume.dds", "a8.dds"}) {
    const std::vector<uint8_t> b = FileBytes(name);
    for (size_t n = 0; n < b.size(); ++n) {
      Image img;
      std::string error;
      EXPECT_FALSE(DecodeExact(b, n, img, error)) << name << " cut to " << n;
      EXPECT_FALSE(error.empty());
    }
  }
}

TEST(ImageDds, InconsistentOrUnsupportedHeadersAreRejected) {
  struct Case {
    const char* what;
    const char* file;
    std::function<void(std::vector<uint8_t>&)> mutate;
  };
  const Case cases[] = {
      {"bad header size", "a8r8g8b8.dds", [](auto& b) { PutU32(b, 4, 100); }},
      {"bad pixel format size", "a8r8g8b8.dds", [](auto& b) { PutU32(b, 4 + 72, 0); }},
      {"zero width", "a8r8g8b8.dds", [](auto& b) { PutU32(b, 4 + 12, 0); }},
      {"zero height", "a8r8g8b8.dds", [](auto& b) { PutU32(b, 4 + 8, 0); }},
      {"huge width", "a8r8g8b8.dds", [](auto& b) { PutU32(b, 4 + 12, 0xFFFFFFFF); }},
      {"size larger than the data", "a8r8g8b8.dds",
       [](auto& b) { PutU32(b, 4 + 12, 16384), PutU32(b, 4 + 8, 16384); }},
      {"too many mips for the size", "a8r8g8b8.dds", [](auto& b) { PutU32(b, 4 + 24, 5); }},
      {"huge mip count", "dxt1.dds", [](auto& b) { PutU32(b, 4 + 24, 0xFFFFFFFF); }},
      {"unknown four-character code", "dxt1.dds", [](auto& b) { PutU32(b, 4 + 80, 0x32495441); }},
      {"extended header", "dxt1.dds", [](auto& b) { PutU32(b, 4 + 80, 0x30315844); }},
      {"24-bit pixels", "a8r8g8b8.dds", [](auto& b) { PutU32(b, 4 + 84, 24); }},
      {"no pixel layout flags", "a8.dds", [](auto& b) { PutU32(b, 4 + 76, 0); }},
      {"cube missing a face", "cube.dds", [](auto& b) { PutU32(b, 4 + 108, 0x200 | 0x7C00); }},
      {"cube not square", "cube.dds", [](auto& b) { PutU32(b, 4 + 8, 4); }},
      {"volume too deep", "volume.dds", [](auto& b) { PutU32(b, 4 + 20, 100000); }},
      {"volume of depth 0", "volume.dds", [](auto& b) { PutU32(b, 4 + 20, 0); }},
      {"volume deeper than its data", "volume.dds", [](auto& b) { PutU32(b, 4 + 20, 8); }},
      {"unknown magic", "a8.dds", [](auto& b) { b[0] = 'X'; }},
      {"corrupt PNG", "png.png", [](auto& b) { std::memset(b.data() + 16, 0xEE, b.size() - 16); }},
      {"truncated PNG", "png.png", [](auto& b) { b.resize(40); }},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> b = FileBytes(c.file);
    c.mutate(b);
    Image img;
    img.width = 77;
    std::string error;
    EXPECT_FALSE(DecodeExact(b, b.size(), img, error)) << c.what;
    EXPECT_FALSE(error.empty()) << c.what;
    EXPECT_EQ(img.width, 77u) << c.what << ": output changed on failure";
  }
  Image img;
  std::string error;
  EXPECT_FALSE(Decode(nullptr, 0, img, error));
}

TEST(ImageDds, LevelSizes) {
  EXPECT_EQ(LevelSize(kFormatDXT1, 1, 1), 8u);  // a partial block is a whole block
  EXPECT_EQ(LevelSize(kFormatDXT1, 5, 4), 16u);
  EXPECT_EQ(LevelSize(kFormatDXT5, 8, 8), 64u);
  EXPECT_EQ(LevelSize(kFormatDXT3, 4, 4, 3), 48u);
  EXPECT_EQ(LevelSize(kFormatA8R8G8B8, 3, 2), 24u);
  EXPECT_EQ(LevelSize(kFormatA8, 3, 2, 2), 12u);
  EXPECT_EQ(LevelSize(999, 4, 4), 0u);
}

namespace {

// PNG chunks with their declared length; the decoder does not check CRCs.
void PngChunk(std::vector<uint8_t>& b, const char* type, const std::vector<uint8_t>& data,
              uint32_t declared) {
  for (int i = 3; i >= 0; --i) b.push_back(uint8_t(declared >> (8 * i)));
  b.insert(b.end(), type, type + 4);
  b.insert(b.end(), data.begin(), data.end());
  b.insert(b.end(), 4, 0);  // CRC
}
void PngChunk(std::vector<uint8_t>& b, const char* type, const std::vector<uint8_t>& data) {
  PngChunk(b, type, data, uint32_t(data.size()));
}
std::vector<uint8_t> Ihdr(uint32_t w, uint32_t h) {
  std::vector<uint8_t> d;
  for (uint32_t v : {w, h})
    for (int i = 3; i >= 0; --i) d.push_back(uint8_t(v >> (8 * i)));
  d.insert(d.end(), {8, 6, 0, 0, 0});  // 8-bit RGBA
  return d;
}

}  // namespace

// The chunk list is checked before the decoder runs: lengths against the file, IHDR
// first with a sane size, image data present and never empty, IEND.
TEST(ImagePng, MalformedChunkListsAreRefusedBeforeDecoding) {
  const std::vector<uint8_t> signature = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  // Valid zlib data of a 1x1 RGBA image: filter byte 0 and four bytes.
  std::vector<uint8_t> valid;
  std::string error;
  ASSERT_TRUE(EncodePng(1, 1, {1, 2, 3, 4}, valid, error)) << error;
  struct Case {
    const char* what;
    std::function<void(std::vector<uint8_t>&)> build;
    const char* reason;
  };
  const Case cases[] = {
      {"empty IDAT",
       [](std::vector<uint8_t>& b) {
         PngChunk(b, "IHDR", Ihdr(2, 2));
         PngChunk(b, "IDAT", {});
         PngChunk(b, "IEND", {});
       },
       "empty IDAT"},
      {"empty IDAT, no IEND",
       [](std::vector<uint8_t>& b) {
         PngChunk(b, "IHDR", Ihdr(2, 2));
         PngChunk(b, "IDAT", {});
       },
       "empty IDAT"},
      {"IDAT declaring 1 GB",
       [](std::vector<uint8_t>& b) {
         PngChunk(b, "IHDR", Ihdr(2, 2));
         PngChunk(b, "IDAT", {0x78, 0x9C}, 0x40000000u);
       },
       "declares 1073741824 bytes"},
      {"no IHDR first",
       [](std::vector<uint8_t>& b) {
         PngChunk(b, "IDAT", {0x78, 0x9C});
         PngChunk(b, "IHDR", Ihdr(2, 2));
         PngChunk(b, "IEND", {});
       },
       "IHDR"},
      {"zero width", [](std::vector<uint8_t>& b) { PngChunk(b, "IHDR", Ihdr(0, 2)); }, "too large"},
      {"too wide", [](std::vector<uint8_t>& b) { PngChunk(b, "IHDR", Ihdr(16385, 1)); },
       "too large"},
      {"too many pixels", [](std::vector<uint8_t>& b) { PngChunk(b, "IHDR", Ihdr(16384, 16384)); },
       "too large"},
      {"no IDAT",
       [](std::vector<uint8_t>& b) {
         PngChunk(b, "IHDR", Ihdr(2, 2));
         PngChunk(b, "IEND", {});
       },
       "no image data"},
      {"no IEND",
       [](std::vector<uint8_t>& b) {
         PngChunk(b, "IHDR", Ihdr(2, 2));
         PngChunk(b, "IDAT", {0x78, 0x9C, 0x01});
       },
       "no IEND"},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes = signature;
    c.build(bytes);
    Image img;
    error.clear();
    EXPECT_FALSE(DecodeExact(bytes, bytes.size(), img, error)) << c.what;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.what << ": " << error;
  }
  // A well-formed file still decodes, and is refused at every truncated length.
  Image img;
  ASSERT_TRUE(DecodeExact(valid, valid.size(), img, error)) << error;
  EXPECT_EQ(img.width, 1u);
  for (size_t n = 8; n < valid.size(); ++n)
    EXPECT_FALSE(DecodeExact(valid, n, img, error)) << "length " << n;
}
