#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/render/buffers/VertexTypes.h"

using namespace vd::gfx;

namespace {

struct Expected {
  int32_t code;
  uint32_t stride;
  uint32_t fvf;
  uint32_t sets;          // texture-coordinate sets
  uint32_t lastSetFloats; // floats in the last set (0 when no set)
};

const Expected kTable[] = {
    {1, 12, 0x002, 0, 0},       {2, 16, 0x042, 0, 0},      {3, 28, 0x052, 0, 0},
    {4, 20, 0x102, 1, 2},       {5, 28, 0x202, 2, 2},      {6, 36, 0x302, 3, 2},
    {7, 32, 0x112, 1, 2},       {8, 40, 0x212, 2, 2},      {9, 48, 0x312, 3, 2},
    {10, 48, 0x80212, 2, 4},    {11, 56, 0x200312, 3, 4},  {12, 64, 0x800412, 4, 4},
    {13, 40, 0x1D2, 1, 2},      {14, 56, 0x802D2, 2, 4},   {15, 32, 0x40202, 2, 3},
    {16, 24, 0x142, 1, 2},
};

}  // namespace

TEST(VertexFormats, CodesStridesAndFvfMatchTheTable) {
  for (const Expected& e : kTable) {
    SCOPED_TRACE(e.code);
    const SVertexFormat* f = GetVertexFormat(e.code);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->type, e.code);
    EXPECT_EQ(f->stride, e.stride);
    EXPECT_EQ(f->fvf, e.fvf);
    EXPECT_EQ(FvfStride(f->fvf), f->stride);
    const uint32_t sets = (f->fvf & kFvfTexCountMask) >> kFvfTexCountShift;
    EXPECT_EQ(sets, e.sets);
    for (uint32_t s = 0; s + 1 < sets; ++s) EXPECT_EQ(FvfTexCoordFloats(f->fvf, s), 2u) << "set " << s;
    if (sets) {
      EXPECT_EQ(FvfTexCoordFloats(f->fvf, sets - 1), e.lastSetFloats);
    }

    // The structure picked by code agrees with the table.
    uint32_t size = 0;
    int32_t type = 0;
    EXPECT_TRUE(DispatchVertexType(e.code, [&](auto v) {
      size = sizeof(v);
      type = decltype(v)::kType;
    }));
    EXPECT_EQ(size, e.stride);
    EXPECT_EQ(type, e.code);
  }
  EXPECT_EQ(GetVertexFormat(0), nullptr);
  EXPECT_EQ(GetVertexFormat(17), nullptr);
  EXPECT_FALSE(DispatchVertexType(-1, [](auto) {}));
}

TEST(VertexFormats, SkinnedChannelsPackRedGreenBlueAlpha) {
  EXPECT_EQ(PackSkinChannels(255, 0, 0, 0), 0x00FF0000u);
  EXPECT_EQ(PackSkinChannels(1, 2, 3, 4), 0x04010203u);
  uint8_t b[4];
  UnpackSkinChannels(0x04010203u, b);
  EXPECT_EQ(b[0], 1);
  EXPECT_EQ(b[1], 2);
  EXPECT_EQ(b[2], 3);
  EXPECT_EQ(b[3], 4);
  // In memory (little-endian) a colour is B, G, R, A: influence 0 lands in byte 2.
  const uint32_t packed = PackSkinChannels(10, 20, 30, 40);
  uint8_t bytes[4];
  std::memcpy(bytes, &packed, 4);
  EXPECT_EQ(bytes[2], 10);
  EXPECT_EQ(bytes[1], 20);
  EXPECT_EQ(bytes[0], 30);
  EXPECT_EQ(bytes[3], 40);
}

TEST(VertexFormats, SkinWeightsSumTo255) {
  struct Case {
    std::vector<float> w;
    uint8_t expected[4];
  };
  const Case cases[] = {
      {{1.0f}, {255, 0, 0, 0}},
      {{0.5f, 0.3f, 0.2f}, {128, 76, 51, 0}},
      {{0.5f, 0.5f}, {128, 127, 0, 0}},
      {{}, {255, 0, 0, 0}},
      {{0.25f, 0.25f, 0.25f, 0.25f}, {66, 63, 63, 63}},
      {{-1.0f, 2.0f}, {0, 255, 0, 0}},  // out-of-range weights clamp
  };
  for (const Case& c : cases) {
    uint8_t out[4];
    QuantiseSkinWeights(c.w.data(), static_cast<int>(c.w.size()), out);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(out[i], c.expected[i]) << "case " << c.w.size() << " byte " << i;
  }
}
