// Format and vertex-layout tables: how each Direct3D code maps to GL.
#include "platform/gpu/Formats.h"

#include <algorithm>

namespace plat {
namespace gpu {

// ---------------------------------------------------------------------------------
// Formats.
bool IsDepthFormat(uint32_t format) { return format == kFmtD24S8 || format == kFmtD16; }

bool IsCompressedFormat(uint32_t format) {
  return format == kFmtDXT1 || format == kFmtDXT3 || format == kFmtDXT5;
}

bool LookUpFormat(uint32_t format, GlFormat* out) {
  switch (format) {
    case kFmtA8R8G8B8:
      *out = {GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, false, {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}};
      return true;
    case kFmtX8R8G8B8:
      *out = {GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, false, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}};
      return true;
    case kFmtA8:
      *out = {GL_R8, GL_RED, GL_UNSIGNED_BYTE, false, {GL_ZERO, GL_ZERO, GL_ZERO, GL_RED}};
      return true;
    case kFmtL8:
      *out = {GL_R8, GL_RED, GL_UNSIGNED_BYTE, false, {GL_RED, GL_RED, GL_RED, GL_ONE}};
      return true;
    case kFmtR32F:
      *out = {GL_R32F, GL_RED, GL_FLOAT, false, {GL_RED, GL_ONE, GL_ONE, GL_ONE}};
      return true;
    case kFmtDXT1:
      *out = {GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, 0, 0, true, {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}};
      return true;
    case kFmtDXT3:
      *out = {GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, 0, 0, true, {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}};
      return true;
    case kFmtDXT5:
      *out = {GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 0, 0, true, {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}};
      return true;
    case kFmtD24S8:
      *out = {GL_DEPTH24_STENCIL8,
              GL_DEPTH_STENCIL,
              GL_UNSIGNED_INT_24_8,
              false,
              {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}};
      return true;
    case kFmtD16:
      *out = {GL_DEPTH_COMPONENT16,
              GL_DEPTH_COMPONENT,
              GL_UNSIGNED_SHORT,
              false,
              {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}};
      return true;
    default:
      return false;
  }
}

uint32_t BytesPerPixel(uint32_t format) {
  switch (format) {
    case kFmtA8:
    case kFmtL8:
      return 1;
    case kFmtD16:
      return 2;
    default:
      return 4;
  }
}

uint32_t FormatRowPitch(uint32_t format, uint32_t width) {
  if (format == kFmtDXT1) return std::max(1u, (width + 3) / 4) * 8;
  if (format == kFmtDXT3 || format == kFmtDXT5) return std::max(1u, (width + 3) / 4) * 16;
  return width * BytesPerPixel(format);
}

size_t FormatLevelSize(uint32_t format, uint32_t width, uint32_t height) {
  bool dxt = IsCompressedFormat(format);
  uint32_t rows = dxt ? std::max(1u, (height + 3) / 4) : height;
  return static_cast<size_t>(FormatRowPitch(format, width)) * rows;
}

uint32_t FullMipCount(uint32_t width, uint32_t height, uint32_t depth) {
  uint32_t n = 1, m = std::max(width, std::max(height, depth));
  while (m > 1) {
    m >>= 1;
    ++n;
  }
  return n;
}

// ---------------------------------------------------------------------------------
// FVF.
uint32_t FvfStride(uint32_t fvf) {
  uint32_t stride = 0;
  switch (fvf & kFvfPositionMask) {
    case 0:
      break;
    case kFvfXyz:
      stride += 12;
      break;
    case kFvfXyzRhw:
      stride += 16;
      break;
    case kFvfXyzw:
      stride += 16;
      break;
    case 0x006:
      stride += 16;
      break;  // XYZB1..XYZB5
    case 0x008:
      stride += 20;
      break;
    case 0x00A:
      stride += 24;
      break;
    case 0x00C:
      stride += 28;
      break;
    case 0x00E:
      stride += 32;
      break;
    default:
      return 0;
  }
  if (fvf & kFvfNormal) stride += 12;
  if (fvf & kFvfPSize) stride += 4;
  if (fvf & kFvfDiffuse) stride += 4;
  if (fvf & kFvfSpecular) stride += 4;
  uint32_t sets = (fvf & kFvfTexCountMask) >> kFvfTexCountShift;
  if (sets > 8) return 0;
  static const uint32_t kSizes[4] = {8, 12, 16, 4};
  for (uint32_t i = 0; i < sets; ++i) stride += kSizes[(fvf >> (16 + i * 2)) & 3];
  return stride;
}

const char* AttributeLocationsGlsl() {
  return "#define HM_ATTR_POSITION 0\n"
         "#define HM_ATTR_NORMAL 1\n"
         "#define HM_ATTR_COLOR0 2\n"
         "#define HM_ATTR_COLOR1 3\n"
         "#define HM_ATTR_TEXCOORD0 4\n"
         "#define HM_ATTR_TEXCOORD1 5\n"
         "#define HM_ATTR_TEXCOORD2 6\n"
         "#define HM_ATTR_TEXCOORD3 7\n"
         "#define HM_ATTR_TEXCOORD4 8\n"
         "#define HM_ATTR_TEXCOORD5 9\n"
         "#define HM_ATTR_TEXCOORD6 10\n"
         "#define HM_ATTR_TEXCOORD7 11\n"
         "#define HM_ATTR_BLENDWEIGHT 12\n"
         "#define HM_ATTR_BLENDINDICES 13\n"
         "#define HM_ATTR_TANGENT 14\n"
         "#define HM_ATTR_BINORMAL 15\n";
}

// ---------------------------------------------------------------------------------
// Vertex layouts.
bool DescribeDeclType(uint8_t type, GLint* size, GLenum* glType, GLboolean* norm, uint32_t* bytes) {
  switch (type) {
    case kDeclFloat1:
      *size = 1;
      *glType = GL_FLOAT;
      *norm = GL_FALSE;
      *bytes = 4;
      return true;
    case kDeclFloat2:
      *size = 2;
      *glType = GL_FLOAT;
      *norm = GL_FALSE;
      *bytes = 8;
      return true;
    case kDeclFloat3:
      *size = 3;
      *glType = GL_FLOAT;
      *norm = GL_FALSE;
      *bytes = 12;
      return true;
    case kDeclFloat4:
      *size = 4;
      *glType = GL_FLOAT;
      *norm = GL_FALSE;
      *bytes = 16;
      return true;
    case kDeclColor:
      *size = GL_BGRA;
      *glType = GL_UNSIGNED_BYTE;
      *norm = GL_TRUE;
      *bytes = 4;
      return true;
    case kDeclUByte4:
      *size = 4;
      *glType = GL_UNSIGNED_BYTE;
      *norm = GL_FALSE;
      *bytes = 4;
      return true;
    case kDeclUByte4N:
      *size = 4;
      *glType = GL_UNSIGNED_BYTE;
      *norm = GL_TRUE;
      *bytes = 4;
      return true;
    case kDeclShort2:
      *size = 2;
      *glType = GL_SHORT;
      *norm = GL_FALSE;
      *bytes = 4;
      return true;
    case kDeclShort4:
      *size = 4;
      *glType = GL_SHORT;
      *norm = GL_FALSE;
      *bytes = 8;
      return true;
    case kDeclShort2N:
      *size = 2;
      *glType = GL_SHORT;
      *norm = GL_TRUE;
      *bytes = 4;
      return true;
    case kDeclShort4N:
      *size = 4;
      *glType = GL_SHORT;
      *norm = GL_TRUE;
      *bytes = 8;
      return true;
    case kDeclUShort2N:
      *size = 2;
      *glType = GL_UNSIGNED_SHORT;
      *norm = GL_TRUE;
      *bytes = 4;
      return true;
    case kDeclUShort4N:
      *size = 4;
      *glType = GL_UNSIGNED_SHORT;
      *norm = GL_TRUE;
      *bytes = 8;
      return true;
    case kDeclFloat16x2:
      *size = 2;
      *glType = GL_HALF_FLOAT;
      *norm = GL_FALSE;
      *bytes = 4;
      return true;
    case kDeclFloat16x4:
      *size = 4;
      *glType = GL_HALF_FLOAT;
      *norm = GL_FALSE;
      *bytes = 8;
      return true;
    default:
      return false;
  }
}

int LocationOf(uint8_t usage, uint8_t index) {
  switch (usage) {
    case kUsagePosition:
    case kUsagePositionT:
      return index == 0 ? kAttrPosition : -1;
    case kUsageNormal:
      return index == 0 ? kAttrNormal : -1;
    case kUsageColor:
      return index < 2 ? kAttrColor0 + index : -1;
    case kUsageTexCoord:
      return index < 8 ? kAttrTexCoord0 + index : -1;
    case kUsageBlendWeight:
      return index == 0 ? kAttrBlendWeight : -1;
    case kUsageBlendIndices:
      return index == 0 ? kAttrBlendIndices : -1;
    case kUsageTangent:
      return index == 0 ? kAttrTangent : -1;
    case kUsageBinormal:
      return index == 0 ? kAttrBinormal : -1;
    default:
      return -1;
  }
}

bool LayoutFromElements(const std::vector<VertexElement>& elements, std::vector<AttribDesc>* out) {
  out->clear();
  for (const auto& e : elements) {
    AttribDesc d{};
    if (!DescribeDeclType(e.type, &d.size, &d.type, &d.normalised, &d.bytes)) return false;
    int loc = LocationOf(e.usage, e.usageIndex);
    if (e.usage == kUsagePSize) continue;
    if (loc < 0 || e.stream >= kMaxStreams) return false;
    d.location = static_cast<GLuint>(loc);
    d.stream = e.stream;
    d.offset = e.offset;
    out->push_back(d);
  }
  return true;
}

// An FVF code as declaration elements on stream 0.
bool ElementsFromFvf(uint32_t fvf, std::vector<VertexElement>* out) {
  if (FvfStride(fvf) == 0) return false;
  out->clear();
  uint16_t offset = 0;
  auto add = [&](uint8_t type, uint8_t usage, uint8_t index, uint16_t bytes) {
    out->push_back({0, offset, type, 0, usage, index});
    offset = static_cast<uint16_t>(offset + bytes);
  };
  uint32_t pos = fvf & kFvfPositionMask;
  if (pos == kFvfXyz) {
    add(kDeclFloat3, kUsagePosition, 0, 12);
  } else if (pos == kFvfXyzRhw) {
    add(kDeclFloat4, kUsagePositionT, 0, 16);
  } else if (pos == kFvfXyzw) {
    add(kDeclFloat4, kUsagePosition, 0, 16);
  } else if (pos >= 0x006 && pos <= 0x00E) {
    uint32_t betas = (pos - 0x004) / 2;  // XYZB1 = 0x006
    add(kDeclFloat3, kUsagePosition, 0, 12);
    static const uint8_t kBetaTypes[5] = {kDeclFloat1, kDeclFloat2, kDeclFloat3, kDeclFloat4,
                                          kDeclFloat4};
    add(kBetaTypes[betas - 1], kUsageBlendWeight, 0, static_cast<uint16_t>(betas * 4));
  }
  if (fvf & kFvfNormal) add(kDeclFloat3, kUsageNormal, 0, 12);
  if (fvf & kFvfPSize) add(kDeclFloat1, kUsagePSize, 0, 4);
  if (fvf & kFvfDiffuse) add(kDeclColor, kUsageColor, 0, 4);
  if (fvf & kFvfSpecular) add(kDeclColor, kUsageColor, 1, 4);
  uint32_t sets = (fvf & kFvfTexCountMask) >> kFvfTexCountShift;
  static const uint8_t kTypes[4] = {kDeclFloat2, kDeclFloat3, kDeclFloat4, kDeclFloat1};
  static const uint16_t kBytes[4] = {8, 12, 16, 4};
  for (uint32_t i = 0; i < sets; ++i) {
    uint32_t code = (fvf >> (16 + i * 2)) & 3;
    add(kTypes[code], kUsageTexCoord, static_cast<uint8_t>(i), kBytes[code]);
  }
  return true;
}

}  // namespace gpu
}  // namespace plat
