#pragma once
// The device's numeric vocabulary: results, formats, pools, flags, render and sampler
// states, vertex layouts and the fixed attribute locations. The values are Direct3D
// 9's, so data and code written against those codes keep working unchanged.
#include <cstdint>

namespace plat {
namespace gpu {

// ---------------------------------------------------------------------------------
// Results (HRESULT values of Direct3D).
using HResult = int32_t;
constexpr HResult kOk = 0;
constexpr HResult kFalse = 1;
constexpr HResult kErrFail = static_cast<HResult>(0x80004005u);
constexpr HResult kErrOutOfMemory = static_cast<HResult>(0x8007000Eu);
constexpr HResult kErrInvalidCall = static_cast<HResult>(0x8876086Cu);
constexpr HResult kErrNotAvailable = static_cast<HResult>(0x8876086Au);
constexpr HResult kErrDeviceLost = static_cast<HResult>(0x88760868u);
constexpr HResult kErrDeviceNotReset = static_cast<HResult>(0x88760869u);
constexpr HResult kErrDriverInternal = static_cast<HResult>(0x88760827u);
constexpr HResult kErrOutOfVideoMemory = static_cast<HResult>(0x8876017Cu);
inline bool Succeeded(HResult hr) { return hr >= 0; }
inline bool Failed(HResult hr) { return hr < 0; }

// ---------------------------------------------------------------------------------
// Formats (D3DFORMAT codes).
constexpr uint32_t kFmtUnknown = 0;
constexpr uint32_t kFmtA8R8G8B8 = 21;
constexpr uint32_t kFmtX8R8G8B8 = 22;
constexpr uint32_t kFmtA8 = 28;
constexpr uint32_t kFmtL8 = 50;
constexpr uint32_t kFmtD24S8 = 75;
constexpr uint32_t kFmtD16 = 80;
constexpr uint32_t kFmtIndex16 = 101;
constexpr uint32_t kFmtIndex32 = 102;
constexpr uint32_t kFmtR32F = 114;
constexpr uint32_t kFmtDXT1 = 0x31545844;
constexpr uint32_t kFmtDXT3 = 0x33545844;
constexpr uint32_t kFmtDXT5 = 0x35545844;

// Pools, usages, lock flags.
constexpr uint32_t kPoolDefault = 0;  // lost on Reset: release before, re-create after
constexpr uint32_t kPoolManaged = 1;  // survives Reset
constexpr uint32_t kPoolSystemMem = 2;
constexpr uint32_t kUsageRenderTarget = 0x1;
constexpr uint32_t kUsageDepthStencil = 0x2;
constexpr uint32_t kUsageWriteOnly = 0x8;
constexpr uint32_t kUsageDynamic = 0x200;
constexpr uint32_t kUsageAutoGenMipmap = 0x400;
constexpr uint32_t kLockReadOnly = 0x10;
constexpr uint32_t kLockNoOverwrite = 0x1000;
constexpr uint32_t kLockDiscard = 0x2000;

// Device types and creation flags.
constexpr uint32_t kDevTypeHal = 1;
constexpr uint32_t kCreatePureDevice = 0x10;
constexpr uint32_t kCreateSoftwareVertexProcessing = 0x20;
constexpr uint32_t kCreateHardwareVertexProcessing = 0x40;
constexpr uint32_t kDevCapsHwTransformAndLight = 0x10000;
constexpr uint32_t kDevCapsPureDevice = 0x100000;

// Swap and presentation.
constexpr uint32_t kSwapEffectDiscard = 1;
constexpr uint32_t kPresentIntervalDefault = 0;
constexpr uint32_t kPresentIntervalOne = 1;
constexpr uint32_t kPresentIntervalImmediate = 0x80000000u;

// Clear flags.
constexpr uint32_t kClearTarget = 1;
constexpr uint32_t kClearZBuffer = 2;
constexpr uint32_t kClearStencil = 4;

// Primitive types.
enum PrimitiveType : uint32_t {
  kPointList = 1,
  kLineList = 2,
  kLineStrip = 3,
  kTriangleList = 4,
  kTriangleStrip = 5,
  kTriangleFan = 6,
};

// Texture filters (StretchRect, sampler states, D3DX filters).
constexpr uint32_t kTexFilterNone = 0;
constexpr uint32_t kTexFilterPoint = 1;
constexpr uint32_t kTexFilterLinear = 2;
constexpr uint32_t kTexFilterAnisotropic = 3;
constexpr uint32_t kDxFilterNone = 1;

// Cube faces (D3DCUBEMAP_FACES).
enum CubeFace : uint32_t {
  kFacePosX = 0,
  kFaceNegX = 1,
  kFacePosY = 2,
  kFaceNegY = 3,
  kFacePosZ = 4,
  kFaceNegZ = 5,
};

// ---------------------------------------------------------------------------------
// Render states (D3DRENDERSTATETYPE codes) and their values. States the GL back end
// does not act on are still stored and reported by GetRenderState; the alpha test
// is stored for the effect layer, which carries it out in the fragment shader.
enum RenderState : uint32_t {
  kRsZEnable = 7,
  kRsFillMode = 8,
  kRsZWriteEnable = 14,
  kRsAlphaTestEnable = 15,
  kRsSrcBlend = 19,
  kRsDestBlend = 20,
  kRsCullMode = 22,
  kRsZFunc = 23,
  kRsAlphaRef = 24,
  kRsAlphaFunc = 25,
  kRsAlphaBlendEnable = 27,
  kRsStencilEnable = 52,
  kRsStencilFail = 53,
  kRsStencilZFail = 54,
  kRsStencilPass = 55,
  kRsStencilFunc = 56,
  kRsStencilRef = 57,
  kRsStencilMask = 58,
  kRsStencilWriteMask = 59,
  kRsLighting = 137,
  kRsColorWriteEnable = 168,
  kRsBlendOp = 171,
  kRsScissorTestEnable = 174,
  kRsSlopeScaleDepthBias = 175,
  kRsSeparateAlphaBlendEnable = 206,
  kRsSrcBlendAlpha = 207,
  kRsDestBlendAlpha = 208,
  kRsBlendOpAlpha = 209,
  kRsDepthBias = 195,
};
constexpr uint32_t kRenderStateCount = 256;
constexpr uint32_t kFillPoint = 1, kFillWireframe = 2, kFillSolid = 3;
constexpr uint32_t kCullNone = 1, kCullCW = 2, kCullCCW = 3;
constexpr uint32_t kCmpNever = 1, kCmpLess = 2, kCmpEqual = 3, kCmpLessEqual = 4, kCmpGreater = 5,
                   kCmpNotEqual = 6, kCmpGreaterEqual = 7, kCmpAlways = 8;
constexpr uint32_t kBlendZero = 1, kBlendOne = 2, kBlendSrcColor = 3, kBlendInvSrcColor = 4,
                   kBlendSrcAlpha = 5, kBlendInvSrcAlpha = 6, kBlendDestAlpha = 7,
                   kBlendInvDestAlpha = 8, kBlendDestColor = 9, kBlendInvDestColor = 10;
constexpr uint32_t kBlendOpAdd = 1, kBlendOpSubtract = 2, kBlendOpRevSubtract = 3, kBlendOpMin = 4,
                   kBlendOpMax = 5;
constexpr uint32_t kStencilOpKeep = 1, kStencilOpZero = 2, kStencilOpReplace = 3,
                   kStencilOpIncrSat = 4, kStencilOpDecrSat = 5, kStencilOpInvert = 6,
                   kStencilOpIncr = 7, kStencilOpDecr = 8;

// Sampler states (D3DSAMPLERSTATETYPE) and address modes.
enum SamplerState : uint32_t {
  kSampAddressU = 1,
  kSampAddressV = 2,
  kSampAddressW = 3,
  kSampBorderColor = 4,
  kSampMagFilter = 5,
  kSampMinFilter = 6,
  kSampMipFilter = 7,
  kSampMaxAnisotropy = 10,
};
constexpr uint32_t kAddressWrap = 1, kAddressMirror = 2, kAddressClamp = 3, kAddressBorder = 4;
constexpr uint32_t kMaxSamplers = 16;
constexpr uint32_t kMaxStreams = 8;

// ---------------------------------------------------------------------------------
// Vertex layouts. FVF bits (D3DFVF_*).
constexpr uint32_t kFvfXyz = 0x002, kFvfXyzRhw = 0x004, kFvfXyzw = 0x4002;
constexpr uint32_t kFvfPositionMask = 0x400E;
constexpr uint32_t kFvfNormal = 0x010, kFvfPSize = 0x020, kFvfDiffuse = 0x040, kFvfSpecular = 0x080;
constexpr uint32_t kFvfTexCountMask = 0xF00, kFvfTexCountShift = 8;
// TEXCOORDSIZEn(set): bits 16 + 2*set; 0 = 2 floats, 1 = 3, 2 = 4, 3 = 1.
constexpr uint32_t FvfTexCoordSize3(uint32_t set) { return 1u << (16 + set * 2); }
constexpr uint32_t FvfTexCoordSize4(uint32_t set) { return 2u << (16 + set * 2); }
constexpr uint32_t FvfTexCoordSize1(uint32_t set) { return 3u << (16 + set * 2); }
// The stride an FVF code implies (0 for a code the layer does not understand).
uint32_t FvfStride(uint32_t fvf);

// Declaration element types and usages (D3DDECLTYPE, D3DDECLUSAGE).
enum DeclType : uint8_t {
  kDeclFloat1 = 0,
  kDeclFloat2 = 1,
  kDeclFloat3 = 2,
  kDeclFloat4 = 3,
  kDeclColor = 4,
  kDeclUByte4 = 5,
  kDeclShort2 = 6,
  kDeclShort4 = 7,
  kDeclUByte4N = 8,
  kDeclShort2N = 9,
  kDeclShort4N = 10,
  kDeclUShort2N = 11,
  kDeclUShort4N = 12,
  kDeclFloat16x2 = 15,
  kDeclFloat16x4 = 16,
  kDeclUnused = 17,
};
enum DeclUsage : uint8_t {
  kUsagePosition = 0,
  kUsageBlendWeight = 1,
  kUsageBlendIndices = 2,
  kUsageNormal = 3,
  kUsagePSize = 4,
  kUsageTexCoord = 5,
  kUsageTangent = 6,
  kUsageBinormal = 7,
  kUsagePositionT = 9,
  kUsageColor = 10,
};
struct VertexElement {
  uint16_t stream;
  uint16_t offset;
  uint8_t type;    // DeclType
  uint8_t method;  // always 0
  uint8_t usage;   // DeclUsage
  uint8_t usageIndex;
};
// The terminator of a declaration (D3DDECL_END).
constexpr VertexElement kDeclEnd = {0xFF, 0, kDeclUnused, 0, 0, 0};

// Fixed attribute locations, the same for FVF codes and declarations: the one table.
// A vertex shader uses "layout(location = N)", the HM_ATTR_* defines of
// AttributeLocationsGlsl(), or the input names, bound before linking:
//   location  usage (index)             input name         define
//   0         position 0 (and XYZRHW)   a_position         HM_ATTR_POSITION
//   1         normal 0                  a_normal           HM_ATTR_NORMAL
//   2, 3      colour 0, 1               a_color0, 1        HM_ATTR_COLOR0, 1
//   4..11     texture coordinate 0..7   a_texcoord0..7     HM_ATTR_TEXCOORD0..7
//   12        blend weights 0           a_blendweight      HM_ATTR_BLENDWEIGHT
//   13        blend indices 0           a_blendindices     HM_ATTR_BLENDINDICES
//   14        tangent 0                 a_tangent          HM_ATTR_TANGENT
//   15        binormal 0                a_binormal         HM_ATTR_BINORMAL
//   11        position 1                a_position1        HM_ATTR_POSITION1
//   10        normal 1                  a_normal1          HM_ATTR_NORMAL1
//   9         tangent 1                 a_tangent1         HM_ATTR_TANGENT1
//   8         binormal 1                a_binormal1        HM_ATTR_BINORMAL1
//   7         blend weights 1           a_blendweight1     HM_ATTR_BLENDWEIGHT1
// GL promises sixteen locations, and the first table fills them: the second index of
// position, normal, tangent, binormal and blend weights shares a location with one of
// the last texture coordinates (7 down to 3), as Direct3D 9 hardware aliased them. A
// declaration that puts two elements on one location is refused. A point size has no
// attribute.
constexpr int kAttrPosition = 0, kAttrNormal = 1, kAttrColor0 = 2, kAttrColor1 = 3,
              kAttrTexCoord0 = 4, kAttrBlendWeight = 12, kAttrBlendIndices = 13, kAttrTangent = 14,
              kAttrBinormal = 15;
constexpr int kAttrPosition1 = 11, kAttrNormal1 = 10, kAttrTangent1 = 9, kAttrBinormal1 = 8,
              kAttrBlendWeight1 = 7;
constexpr int kAttrCount = 16;
// "layout(location=N)" lines (#define HM_ATTR_*) that a vertex shader may include.
const char* AttributeLocationsGlsl();
// The location of a declaration usage and usage index; -1 when it has none.
int AttributeLocation(uint8_t usage, uint8_t index);

// Stream frequency (SetStreamSourceFreq): instanced drawing.
constexpr uint32_t kStreamIndexedData = 0x40000000u;   // | instance count, on stream 0
constexpr uint32_t kStreamInstanceData = 0x80000000u;  // | 1, on per-instance streams

}  // namespace gpu
}  // namespace plat
