// Format and vertex-layout tables: how each Direct3D code maps to GL.
#include "platform/gpu/Formats.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <string>

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

namespace {

struct AttributeEntry {
  uint8_t usage, index;
  int location;
  const char* name;
};
// The table of Constants.h: the input name of each usage and index.
const AttributeEntry kAttributes[] = {
    {kUsagePosition, 0, kAttrPosition, "a_position"},
    {kUsageNormal, 0, kAttrNormal, "a_normal"},
    {kUsageColor, 0, kAttrColor0, "a_color0"},
    {kUsageColor, 1, kAttrColor1, "a_color1"},
    {kUsageTexCoord, 0, kAttrTexCoord0 + 0, "a_texcoord0"},
    {kUsageTexCoord, 1, kAttrTexCoord0 + 1, "a_texcoord1"},
    {kUsageTexCoord, 2, kAttrTexCoord0 + 2, "a_texcoord2"},
    {kUsageTexCoord, 3, kAttrTexCoord0 + 3, "a_texcoord3"},
    {kUsageTexCoord, 4, kAttrTexCoord0 + 4, "a_texcoord4"},
    {kUsageTexCoord, 5, kAttrTexCoord0 + 5, "a_texcoord5"},
    {kUsageTexCoord, 6, kAttrTexCoord0 + 6, "a_texcoord6"},
    {kUsageTexCoord, 7, kAttrTexCoord0 + 7, "a_texcoord7"},
    {kUsageBlendWeight, 0, kAttrBlendWeight, "a_blendweight"},
    {kUsageBlendIndices, 0, kAttrBlendIndices, "a_blendindices"},
    {kUsageTangent, 0, kAttrTangent, "a_tangent"},
    {kUsageBinormal, 0, kAttrBinormal, "a_binormal"},
    {kUsagePosition, 1, kAttrPosition1, "a_position1"},
    {kUsageNormal, 1, kAttrNormal1, "a_normal1"},
    {kUsageTangent, 1, kAttrTangent1, "a_tangent1"},
    {kUsageBinormal, 1, kAttrBinormal1, "a_binormal1"},
    {kUsageBlendWeight, 1, kAttrBlendWeight1, "a_blendweight1"},
};

}  // namespace

int LocationOf(uint8_t usage, uint8_t index) {
  if (usage == kUsagePositionT) return index == 0 ? kAttrPosition : -1;
  for (const AttributeEntry& a : kAttributes)
    if (a.usage == usage && a.index == index) return a.location;
  return -1;
}

int AttributeLocation(uint8_t usage, uint8_t index) { return LocationOf(usage, index); }

void ForEachAttributeName(const std::function<void(int, const char*)>& visit) {
  for (const AttributeEntry& a : kAttributes) visit(a.location, a.name);
}

const char* AttributeLocationsGlsl() {
  // The defines follow the input names: a_texcoord3 -> HM_ATTR_TEXCOORD3.
  static const std::string text = [] {
    std::string out;
    for (const AttributeEntry& a : kAttributes) {
      std::string name = a.name + 2;
      for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      out += "#define HM_ATTR_" + name + " " + std::to_string(a.location) + "\n";
    }
    return out;
  }();
  return text.c_str();
}

bool LayoutFromElements(const std::vector<VertexElement>& elements, std::vector<AttribDesc>* out) {
  out->clear();
  for (const auto& e : elements) {
    AttribDesc d{};
    if (!DescribeDeclType(e.type, &d.size, &d.type, &d.normalised, &d.bytes)) return false;
    int loc = LocationOf(e.usage, e.usageIndex);
    if (e.usage == kUsagePSize) continue;
    if (loc < 0 || e.stream >= kMaxStreams) return false;
    for (const AttribDesc& other : *out)
      if (other.location == static_cast<GLuint>(loc)) return false;  // two on one location
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
