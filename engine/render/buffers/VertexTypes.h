#pragma once
// The sixteen vertex layouts of the renderer. Each has a type code (what mesh files
// and buffers carry), a tightly packed byte layout and the flexible-vertex-format
// code the device derives its attribute layout from.
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "platform/math/Vector.h"

namespace vd {
namespace gfx {

// Flexible-vertex-format bits, with the published numeric values.
constexpr uint32_t kFvfXyz = 0x002;
constexpr uint32_t kFvfNormal = 0x010;
constexpr uint32_t kFvfDiffuse = 0x040;
constexpr uint32_t kFvfSpecular = 0x080;
constexpr uint32_t kFvfTexCountShift = 8;
constexpr uint32_t kFvfTexCountMask = 0xF00;
constexpr uint32_t FvfTex(uint32_t count) { return count << kFvfTexCountShift; }
// Per-set coordinate size: 2 floats is the default (00); 3 is 01, 4 is 10, 1 is 11.
constexpr uint32_t FvfTexCoordSize3(uint32_t set) { return 1u << (set * 2 + 16); }
constexpr uint32_t FvfTexCoordSize4(uint32_t set) { return 2u << (set * 2 + 16); }
constexpr uint32_t FvfTexCoordSize1(uint32_t set) { return 3u << (set * 2 + 16); }

// Floats in texture-coordinate set `set` of an FVF code.
constexpr uint32_t FvfTexCoordFloats(uint32_t fvf, uint32_t set) {
  switch ((fvf >> (set * 2 + 16)) & 3u) {
    case 1: return 3;
    case 2: return 4;
    case 3: return 1;
    default: return 2;
  }
}

// The vertex size an FVF code implies (position kinds other than XYZ are not used
// by the renderer and are not counted).
constexpr uint32_t FvfStride(uint32_t fvf) {
  uint32_t size = 0;
  if (fvf & kFvfXyz) size += 12;
  if (fvf & kFvfNormal) size += 12;
  if (fvf & kFvfDiffuse) size += 4;
  if (fvf & kFvfSpecular) size += 4;
  const uint32_t sets = (fvf & kFvfTexCountMask) >> kFvfTexCountShift;
  for (uint32_t i = 0; i < sets; ++i) size += 4 * FvfTexCoordFloats(fvf, i);
  return size;
}

enum EVertexType : int32_t {
  kVtxSimple = 1,
  kVtxColored = 2,
  kVtxColoredNorm = 3,
  kVtxTextured = 4,
  kVtxBitextured = 5,
  kVtxTritextured = 6,
  kVtxTexturedNorm = 7,
  kVtxBitexturedNorm = 8,
  kVtxTritexturedNorm = 9,
  kVtxTexturedNormTangent = 10,
  kVtxBitexturedNormTangent = 11,
  kVtxTritexturedNormTangent = 12,
  kVtxTexturedNormSkin = 13,
  kVtxTexturedNormTangentSkin = 14,
  kVtxSsaoTextured = 15,
  kVtxColoredTextured = 16,
};

// The codes a mesh file may carry.
constexpr int32_t kFirstMeshVertexType = 1;
constexpr int32_t kLastMeshVertexType = 12;

using plat::Vec2;
using plat::Vec3;
using plat::Vec4;

struct SIMPLE_VERTEX {
  static constexpr int32_t kType = kVtxSimple;
  static constexpr uint32_t kFvf = kFvfXyz;
  Vec3 position;
};

struct COLORED_VERTEX {
  static constexpr int32_t kType = kVtxColored;
  static constexpr uint32_t kFvf = kFvfXyz | kFvfDiffuse;
  Vec3 position;
  uint32_t color;  // A in bits 24-31, then R, G, B: bytes in memory are B, G, R, A
};

struct COLORED_NORM_VERTEX {
  static constexpr int32_t kType = kVtxColoredNorm;
  static constexpr uint32_t kFvf = kFvfXyz | kFvfNormal | kFvfDiffuse;
  Vec3 position;
  Vec3 normal;
  uint32_t color;
};

struct TEXTURED_VERTEX {
  static constexpr int32_t kType = kVtxTextured;
  static constexpr uint32_t kFvf = kFvfXyz | FvfTex(1);
  Vec3 position;
  Vec2 uv0;
};

struct BITEXTURED_VERTEX {
  static constexpr int32_t kType = kVtxBitextured;
  static constexpr uint32_t kFvf = kFvfXyz | FvfTex(2);
  Vec3 position;
  Vec2 uv0;
  Vec2 uv1;
};

struct TRITEXTURED_VERTEX {
  static constexpr int32_t kType = kVtxTritextured;
  static constexpr uint32_t kFvf = kFvfXyz | FvfTex(3);
  Vec3 position;
  Vec2 uv0;
  Vec2 uv1;
  Vec2 uv2;
};

struct TEXTURED_NORM_VERTEX {
  static constexpr int32_t kType = kVtxTexturedNorm;
  static constexpr uint32_t kFvf = kFvfXyz | kFvfNormal | FvfTex(1);
  Vec3 position;
  Vec3 normal;
  Vec2 uv0;
};

struct BITEXTURED_NORM_VERTEX {
  static constexpr int32_t kType = kVtxBitexturedNorm;
  static constexpr uint32_t kFvf = kFvfXyz | kFvfNormal | FvfTex(2);
  Vec3 position;
  Vec3 normal;
  Vec2 uv0;
  Vec2 uv1;
};

struct TRITEXTURED_NORM_VERTEX {
  static constexpr int32_t kType = kVtxTritexturedNorm;
  static constexpr uint32_t kFvf = kFvfXyz | kFvfNormal | FvfTex(3);
  Vec3 position;
  Vec3 normal;
  Vec2 uv0;
  Vec2 uv1;
  Vec2 uv2;
};

// The tangent rides in the last texture-coordinate set as four floats; w is the
// handedness of the tangent frame.
struct TEXTURED_NORM_TANGENT_VERTEX {
  static constexpr int32_t kType = kVtxTexturedNormTangent;
  static constexpr uint32_t kFvf = kFvfXyz | kFvfNormal | FvfTex(2) | FvfTexCoordSize4(1);
  Vec3 position;
  Vec3 normal;
  Vec2 uv0;
  Vec4 tangent;
};

struct BITEXTURED_NORM_TANGENT_VERTEX {
  static constexpr int32_t kType = kVtxBitexturedNormTangent;
  static constexpr uint32_t kFvf = kFvfXyz | kFvfNormal | FvfTex(3) | FvfTexCoordSize4(2);
  Vec3 position;
  Vec3 normal;
  Vec2 uv0;
  Vec2 uv1;
  Vec4 tangent;
};

struct TRITEXTURED_NORM_TANGENT_VERTEX {
  static constexpr int32_t kType = kVtxTritexturedNormTangent;
  static constexpr uint32_t kFvf = kFvfXyz | kFvfNormal | FvfTex(4) | FvfTexCoordSize4(3);
  Vec3 position;
  Vec3 normal;
  Vec2 uv0;
  Vec2 uv1;
  Vec2 uv2;
  Vec4 tangent;
};

// Skinned vertices carry four 8-bit blend weights and four 8-bit palette indices as
// two colours (see PackSkinChannels), so the shader reads them as normalised vectors.
struct TEXTURED_NORM_SKIN_VERTEX {
  static constexpr int32_t kType = kVtxTexturedNormSkin;
  static constexpr uint32_t kFvf = kFvfXyz | kFvfNormal | kFvfDiffuse | kFvfSpecular | FvfTex(1);
  Vec3 position;
  Vec3 normal;
  uint32_t weights;
  uint32_t indices;
  Vec2 uv0;
};

struct TEXTURED_NORM_TANGENT_SKIN_VERTEX {
  static constexpr int32_t kType = kVtxTexturedNormTangentSkin;
  static constexpr uint32_t kFvf =
      kFvfXyz | kFvfNormal | kFvfDiffuse | kFvfSpecular | FvfTex(2) | FvfTexCoordSize4(1);
  Vec3 position;
  Vec3 normal;
  uint32_t weights;
  uint32_t indices;
  Vec2 uv0;
  Vec4 tangent;
};

// The full-screen quad of a render target given a camera: the second set is the
// view ray towards the far-plane corner of the screen.
struct SSAO_TEXTURED_VERTEX {
  static constexpr int32_t kType = kVtxSsaoTextured;
  static constexpr uint32_t kFvf = kFvfXyz | FvfTex(2) | FvfTexCoordSize3(1);
  Vec3 position;
  Vec2 uv0;
  Vec3 viewRay;
};

struct COLORED_TEXTURED_VERTEX {
  static constexpr int32_t kType = kVtxColoredTextured;
  static constexpr uint32_t kFvf = kFvfXyz | kFvfDiffuse | FvfTex(1);
  Vec3 position;
  uint32_t color;
  Vec2 uv0;
};

// Layout facts of one vertex type, for code that only has the type code.
struct SVertexFormat {
  int32_t type;
  uint32_t stride;
  uint32_t fvf;
};

// The format of a type code 1..16; null for any other code.
const SVertexFormat* GetVertexFormat(int32_t type);

// Applies `f` to a value-initialised vertex of the structure whose code is `type`
// and returns true; false for an unknown code. Lets callers pick an instantiation
// by code without repeating the table.
template <typename F>
bool DispatchVertexType(int32_t type, F&& f) {
  switch (type) {
    case kVtxSimple: f(SIMPLE_VERTEX{}); return true;
    case kVtxColored: f(COLORED_VERTEX{}); return true;
    case kVtxColoredNorm: f(COLORED_NORM_VERTEX{}); return true;
    case kVtxTextured: f(TEXTURED_VERTEX{}); return true;
    case kVtxBitextured: f(BITEXTURED_VERTEX{}); return true;
    case kVtxTritextured: f(TRITEXTURED_VERTEX{}); return true;
    case kVtxTexturedNorm: f(TEXTURED_NORM_VERTEX{}); return true;
    case kVtxBitexturedNorm: f(BITEXTURED_NORM_VERTEX{}); return true;
    case kVtxTritexturedNorm: f(TRITEXTURED_NORM_VERTEX{}); return true;
    case kVtxTexturedNormTangent: f(TEXTURED_NORM_TANGENT_VERTEX{}); return true;
    case kVtxBitexturedNormTangent: f(BITEXTURED_NORM_TANGENT_VERTEX{}); return true;
    case kVtxTritexturedNormTangent: f(TRITEXTURED_NORM_TANGENT_VERTEX{}); return true;
    case kVtxTexturedNormSkin: f(TEXTURED_NORM_SKIN_VERTEX{}); return true;
    case kVtxTexturedNormTangentSkin: f(TEXTURED_NORM_TANGENT_SKIN_VERTEX{}); return true;
    case kVtxSsaoTextured: f(SSAO_TEXTURED_VERTEX{}); return true;
    case kVtxColoredTextured: f(COLORED_TEXTURED_VERTEX{}); return true;
    default: return false;
  }
}

// Skinned packing: influence 0 in red, 1 in green, 2 in blue, 3 in alpha of a
// colour, i.e. b3 << 24 | b0 << 16 | b1 << 8 | b2.
constexpr uint32_t PackSkinChannels(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) {
  return (uint32_t(b3) << 24) | (uint32_t(b0) << 16) | (uint32_t(b1) << 8) | uint32_t(b2);
}
inline void UnpackSkinChannels(uint32_t packed, uint8_t out[4]) {
  out[0] = uint8_t(packed >> 16);
  out[1] = uint8_t(packed >> 8);
  out[2] = uint8_t(packed);
  out[3] = uint8_t(packed >> 24);
}

// Weight bytes of up to four influences: each weight × 255 truncated, and whatever
// the truncation lost (8-bit arithmetic) added to the first, so weights summing to
// 1 give bytes summing to exactly 255 and a vertex with no influence gets 255 on 0.
void QuantiseSkinWeights(const float* weights, int count, uint8_t out[4]);

}  // namespace gfx
}  // namespace vd
