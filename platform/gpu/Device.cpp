// The device: one implementation for both back ends. With GL it drives the context
// of the window; without it, it only keeps the state, checks the calls and records
// them.
#include <SDL.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>

#include "platform/gpu/Internal.h"
#include "platform/image/Image.h"
#include "platform/thread/Thread.h"
#include "platform/window/Window.h"

namespace plat {
namespace gpu {

namespace {

uint64_t ThisThread() {
  thread_local uint64_t id = CurrentThreadId();
  return id;
}

struct AttribDesc {
  GLuint location;
  uint32_t stream;
  uint32_t offset;
  GLint size;        // components, or GL_BGRA for D3DCOLOR
  GLenum type;
  GLboolean normalised;
  uint32_t bytes;    // size of the element in the vertex
};

bool DescribeDeclType(uint8_t type, GLint* size, GLenum* glType, GLboolean* norm, uint32_t* bytes) {
  switch (type) {
    case kDeclFloat1: *size = 1; *glType = GL_FLOAT; *norm = GL_FALSE; *bytes = 4; return true;
    case kDeclFloat2: *size = 2; *glType = GL_FLOAT; *norm = GL_FALSE; *bytes = 8; return true;
    case kDeclFloat3: *size = 3; *glType = GL_FLOAT; *norm = GL_FALSE; *bytes = 12; return true;
    case kDeclFloat4: *size = 4; *glType = GL_FLOAT; *norm = GL_FALSE; *bytes = 16; return true;
    case kDeclColor: *size = GL_BGRA; *glType = GL_UNSIGNED_BYTE; *norm = GL_TRUE; *bytes = 4; return true;
    case kDeclUByte4: *size = 4; *glType = GL_UNSIGNED_BYTE; *norm = GL_FALSE; *bytes = 4; return true;
    case kDeclUByte4N: *size = 4; *glType = GL_UNSIGNED_BYTE; *norm = GL_TRUE; *bytes = 4; return true;
    case kDeclShort2: *size = 2; *glType = GL_SHORT; *norm = GL_FALSE; *bytes = 4; return true;
    case kDeclShort4: *size = 4; *glType = GL_SHORT; *norm = GL_FALSE; *bytes = 8; return true;
    case kDeclShort2N: *size = 2; *glType = GL_SHORT; *norm = GL_TRUE; *bytes = 4; return true;
    case kDeclShort4N: *size = 4; *glType = GL_SHORT; *norm = GL_TRUE; *bytes = 8; return true;
    case kDeclUShort2N: *size = 2; *glType = GL_UNSIGNED_SHORT; *norm = GL_TRUE; *bytes = 4; return true;
    case kDeclUShort4N: *size = 4; *glType = GL_UNSIGNED_SHORT; *norm = GL_TRUE; *bytes = 8; return true;
    case kDeclFloat16x2: *size = 2; *glType = GL_HALF_FLOAT; *norm = GL_FALSE; *bytes = 4; return true;
    case kDeclFloat16x4: *size = 4; *glType = GL_HALF_FLOAT; *norm = GL_FALSE; *bytes = 8; return true;
    default: return false;
  }
}

int LocationOf(uint8_t usage, uint8_t index) {
  switch (usage) {
    case kUsagePosition:
    case kUsagePositionT: return index == 0 ? kAttrPosition : -1;
    case kUsageNormal: return index == 0 ? kAttrNormal : -1;
    case kUsageColor: return index < 2 ? kAttrColor0 + index : -1;
    case kUsageTexCoord: return index < 8 ? kAttrTexCoord0 + index : -1;
    case kUsageBlendWeight: return index == 0 ? kAttrBlendWeight : -1;
    case kUsageBlendIndices: return index == 0 ? kAttrBlendIndices : -1;
    case kUsageTangent: return index == 0 ? kAttrTangent : -1;
    case kUsageBinormal: return index == 0 ? kAttrBinormal : -1;
    default: return -1;
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
    static const uint8_t kBetaTypes[5] = {kDeclFloat1, kDeclFloat2, kDeclFloat3, kDeclFloat4, kDeclFloat4};
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

uint32_t VerticesFor(uint32_t type, uint32_t prims) {
  switch (type) {
    case kPointList: return prims;
    case kLineList: return prims * 2;
    case kLineStrip: return prims ? prims + 1 : 0;
    case kTriangleList: return prims * 3;
    case kTriangleStrip:
    case kTriangleFan: return prims ? prims + 2 : 0;
    default: return 0;
  }
}

GLenum GlPrimitive(uint32_t type) {
  switch (type) {
    case kPointList: return GL_POINTS;
    case kLineList: return GL_LINES;
    case kLineStrip: return GL_LINE_STRIP;
    case kTriangleStrip: return GL_TRIANGLE_STRIP;
    case kTriangleFan: return GL_TRIANGLE_FAN;
    default: return GL_TRIANGLES;
  }
}

GLenum GlCompare(uint32_t f) {
  switch (f) {
    case kCmpNever: return GL_NEVER;
    case kCmpLess: return GL_LESS;
    case kCmpEqual: return GL_EQUAL;
    case kCmpLessEqual: return GL_LEQUAL;
    case kCmpGreater: return GL_GREATER;
    case kCmpNotEqual: return GL_NOTEQUAL;
    case kCmpGreaterEqual: return GL_GEQUAL;
    default: return GL_ALWAYS;
  }
}

GLenum GlBlend(uint32_t b) {
  switch (b) {
    case kBlendZero: return GL_ZERO;
    case kBlendOne: return GL_ONE;
    case kBlendSrcColor: return GL_SRC_COLOR;
    case kBlendInvSrcColor: return GL_ONE_MINUS_SRC_COLOR;
    case kBlendSrcAlpha: return GL_SRC_ALPHA;
    case kBlendInvSrcAlpha: return GL_ONE_MINUS_SRC_ALPHA;
    case kBlendDestAlpha: return GL_DST_ALPHA;
    case kBlendInvDestAlpha: return GL_ONE_MINUS_DST_ALPHA;
    case kBlendDestColor: return GL_DST_COLOR;
    case kBlendInvDestColor: return GL_ONE_MINUS_DST_COLOR;
    default: return GL_ONE;
  }
}

GLenum GlBlendOp(uint32_t op) {
  switch (op) {
    case kBlendOpSubtract: return GL_FUNC_SUBTRACT;
    case kBlendOpRevSubtract: return GL_FUNC_REVERSE_SUBTRACT;
    case kBlendOpMin: return GL_MIN;
    case kBlendOpMax: return GL_MAX;
    default: return GL_FUNC_ADD;
  }
}

GLenum GlStencilOp(uint32_t op) {
  switch (op) {
    case kStencilOpZero: return GL_ZERO;
    case kStencilOpReplace: return GL_REPLACE;
    case kStencilOpIncrSat: return GL_INCR;
    case kStencilOpDecrSat: return GL_DECR;
    case kStencilOpInvert: return GL_INVERT;
    case kStencilOpIncr: return GL_INCR_WRAP;
    case kStencilOpDecr: return GL_DECR_WRAP;
    default: return GL_KEEP;
  }
}

GLenum GlAddress(uint32_t a) {
  switch (a) {
    case kAddressMirror: return GL_MIRRORED_REPEAT;
    case kAddressClamp: return GL_CLAMP_TO_EDGE;
    case kAddressBorder: return GL_CLAMP_TO_BORDER;
    default: return GL_REPEAT;
  }
}

float AsFloat(uint32_t bits) {
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}

void DefaultRenderStates(uint32_t* rs, bool autoDepth) {
  std::fill(rs, rs + kRenderStateCount, 0u);
  rs[kRsZEnable] = autoDepth ? 1 : 0;
  rs[kRsFillMode] = kFillSolid;
  rs[kRsZWriteEnable] = 1;
  rs[kRsSrcBlend] = kBlendOne;
  rs[kRsDestBlend] = kBlendZero;
  rs[kRsCullMode] = kCullCCW;
  rs[kRsZFunc] = kCmpLessEqual;
  rs[kRsAlphaFunc] = kCmpAlways;
  rs[kRsStencilFail] = rs[kRsStencilZFail] = rs[kRsStencilPass] = kStencilOpKeep;
  rs[kRsStencilFunc] = kCmpAlways;
  rs[kRsStencilMask] = rs[kRsStencilWriteMask] = 0xFFFFFFFFu;
  rs[kRsLighting] = 1;
  rs[kRsColorWriteEnable] = 0xF;
  rs[kRsBlendOp] = rs[kRsBlendOpAlpha] = kBlendOpAdd;
  rs[kRsSrcBlendAlpha] = kBlendOne;
  rs[kRsDestBlendAlpha] = kBlendZero;
}

void DefaultSamplerStates(uint32_t (*ss)[16]) {
  for (uint32_t i = 0; i < kMaxSamplers; ++i) {
    std::fill(ss[i], ss[i] + 16, 0u);
    ss[i][kSampAddressU] = ss[i][kSampAddressV] = ss[i][kSampAddressW] = kAddressWrap;
    ss[i][kSampMagFilter] = ss[i][kSampMinFilter] = kTexFilterPoint;
    ss[i][kSampMipFilter] = kTexFilterNone;
    ss[i][kSampMaxAnisotropy] = 1;
  }
}

const char* kSpriteVs =
    "#version 330 core\n"
    "layout(location = 0) in vec3 a_position;\n"
    "layout(location = 2) in vec4 a_color0;\n"
    "layout(location = 4) in vec2 a_texcoord0;\n"
    "out vec4 v_colour;\n"
    "out vec2 v_uv;\n"
    "void main() { gl_Position = vec4(a_position, 1.0); v_colour = a_color0; v_uv = a_texcoord0; }\n";
const char* kSpriteFs =
    "#version 330 core\n"
    "uniform sampler2D u_texture;\n"
    "in vec4 v_colour;\n"
    "in vec2 v_uv;\n"
    "out vec4 o_colour;\n"
    "void main() { o_colour = texture(u_texture, v_uv) * v_colour; }\n";

}  // namespace

// ---------------------------------------------------------------------------------
class GpuImpl;

class DeviceImpl final : public Device {
public:
  DeviceImpl(GpuImpl* gpu, std::shared_ptr<Recorder> rec, Window* window, const PresentParameters& pp);
  ~DeviceImpl() override;
  bool Init(std::string* error);

  // resources
  HResult CreateVertexBuffer(uint32_t length, uint32_t usage, uint32_t fvf, uint32_t pool, VertexBuffer** out) override;
  HResult CreateIndexBuffer(uint32_t length, uint32_t usage, uint32_t format, uint32_t pool, IndexBuffer** out) override;
  HResult CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage, uint32_t format,
                        uint32_t pool, Texture** out) override;
  HResult CreateCubeTexture(uint32_t edge, uint32_t levels, uint32_t usage, uint32_t format, uint32_t pool,
                            CubeTexture** out) override;
  HResult CreateTextureFromImage(const image::Image& image, BaseTexture** out) override;
  HResult CreateDepthStencilSurface(uint32_t width, uint32_t height, uint32_t format, uint32_t multiSample,
                                    Surface** out) override;
  HResult CreateRenderTarget(uint32_t width, uint32_t height, uint32_t format, uint32_t multiSample,
                             Surface** out) override;
  HResult CreateVertexDeclaration(const VertexElement* elements, VertexDeclaration** out) override;
  HResult CreateRenderToSurface(uint32_t width, uint32_t height, uint32_t format, bool depthStencil,
                                uint32_t depthFormat, RenderToSurface** out) override;
  HResult CreateSprite(Sprite** out) override;

  // shaders
  HResult CreateProgram(const char* vertexSource, const char* fragmentSource, Program** out,
                        std::string* log) override;
  HResult CreateUniformBuffer(uint32_t size, UniformBuffer** out) override;
  HResult SetProgram(Program* program) override;
  HResult SetUniformFloats(int location, uint32_t vec4Count, const float* values) override;
  HResult SetUniformFloat(int location, uint32_t count, const float* values) override;
  HResult SetUniformVectors(int location, uint32_t components, uint32_t count, const float* values) override;
  HResult SetUniformInts(int location, uint32_t count, const int32_t* values) override;
  HResult SetUniformMatrices(int location, uint32_t count, const float* values) override;
  HResult SetUniformBuffer(uint32_t slot, UniformBuffer* buffer) override;
  void SetDebugEffect(const char* effect, int pass) override;

  // state
  HResult SetRenderState(uint32_t state, uint32_t value) override;
  HResult GetRenderState(uint32_t state, uint32_t* value) override;
  HResult SetSamplerState(uint32_t sampler, uint32_t state, uint32_t value) override;
  HResult GetSamplerState(uint32_t sampler, uint32_t state, uint32_t* value) override;
  HResult SetTexture(uint32_t stage, BaseTexture* texture) override;
  HResult SetViewport(const Viewport& viewport) override;
  HResult GetViewport(Viewport* viewport) override;
  HResult SetScissorRect(const Rect& rect) override;
  HResult SetRenderTarget(uint32_t index, Surface* surface) override;
  HResult GetRenderTarget(uint32_t index, Surface** surface) override;
  HResult SetDepthStencilSurface(Surface* surface) override;
  HResult GetDepthStencilSurface(Surface** surface) override;
  HResult GetBackBuffer(uint32_t swapChain, uint32_t index, Surface** surface) override;

  // geometry
  HResult SetStreamSource(uint32_t stream, VertexBuffer* buffer, uint32_t offset, uint32_t stride) override;
  HResult SetStreamSourceFreq(uint32_t stream, uint32_t setting) override;
  HResult SetFVF(uint32_t fvf) override;
  HResult SetVertexDeclaration(VertexDeclaration* declaration) override;
  HResult SetIndices(IndexBuffer* buffer) override;
  HResult DrawPrimitive(uint32_t type, uint32_t startVertex, uint32_t primitiveCount) override;
  HResult DrawIndexedPrimitive(uint32_t type, int32_t baseVertex, uint32_t minIndex, uint32_t numVertices,
                               uint32_t startIndex, uint32_t primitiveCount) override;
  HResult DrawPrimitiveUP(uint32_t type, uint32_t primitiveCount, const void* vertices, uint32_t stride) override;

  // frame
  HResult BeginScene() override;
  HResult EndScene() override;
  HResult Clear(uint32_t rectCount, const Rect* rects, uint32_t flags, uint32_t colour, float z,
                uint32_t stencil) override;
  HResult StretchRect(Surface* source, const Rect* sourceRect, Surface* dest, const Rect* destRect,
                      uint32_t filter) override;
  HResult Present() override;
  HResult TestCooperativeLevel() override;
  HResult Reset(PresentParameters* parameters) override;

  HResult GetDeviceCaps(Caps* caps) override;
  const PresentParameters& GetPresentParameters() const override { return m_pp; }
  uint32_t DefaultPoolResourceCount() const override { return m_core->defaultCount.load(); }
  HResult ReadPixels(Surface* surface, const Rect& rect, std::vector<uint8_t>* bgra) override;
  void SimulateDeviceLoss(uint32_t lostCalls) override;
  void DrainQueues() override;

  DeviceCore& Core() { return *m_core; }
  bool IsGl() const { return m_gl; }

private:
  bool OnRenderThread(const char* call) {
    if (ThisThread() == m_thread) return true;
    m_core->Misuse(std::string(call) + " called off the render thread");
    return false;
  }
  std::string Context() const;
  void Record(const std::string& line) {
    if (m_rec) m_rec->Append(line + Context());
  }
  bool ShouldFail(const char* call) const { return m_rec && m_rec->ShouldFail(call); }
  HResult CreationFailure(const char* call, void* out);
  void BuildSwapChain();
  void ResetState();
  void SetRef(Surface*& slot, Surface* value);

  // GL side
  void ApplyForDraw();
  void ApplyTargets();
  void ApplyRenderStates();
  void ApplySamplers();
  void ApplyLayout(uint32_t instances);
  bool ValidateDraw(const char* call, uint32_t lastVertex, uint32_t instances, bool report = true);
  bool ValidateDrawSlow(const char* call, uint32_t lastVertex, uint32_t instances, bool report);
  void BindSurfaceTo(GLenum fboTarget, GLenum attachment, SurfaceImpl* s);
  GLuint ReadFboFor(SurfaceImpl* s, GLenum fboTarget, GLuint fbo);
  uint32_t InstanceCount() const;

  GpuImpl* m_gpu;
  std::shared_ptr<Recorder> m_rec;
  std::shared_ptr<DeviceCore> m_core;
  bool m_gl;
  Window* m_window;
  PresentParameters m_pp;
  uint64_t m_thread;

  SurfaceImpl* m_backBuffer = nullptr;
  SurfaceImpl* m_autoDepth = nullptr;
  Surface* m_targets[4] = {};
  Surface* m_depth = nullptr;
  Viewport m_viewport;
  Rect m_scissor{0, 0, 0, 0};
  uint32_t m_rs[kRenderStateCount];
  uint32_t m_ss[kMaxSamplers][16];
  BaseTexture* m_textures[kMaxSamplers] = {};
  struct Stream {
    VertexBuffer* vb = nullptr;
    uint32_t offset = 0, stride = 0, freq = 1;
  } m_streams[kMaxStreams];
  uint32_t m_fvf = 0;
  VertexDeclaration* m_decl = nullptr;
  std::vector<VertexElement> m_elements;
  std::vector<AttribDesc> m_layout;
  std::map<uint32_t, std::vector<AttribDesc>> m_fvfLayouts;
  IndexBuffer* m_indices = nullptr;
  Program* m_program = nullptr;
  bool m_inScene = false;
  uint32_t m_lostCalls = 0;
  bool m_needsReset = false;
  std::string m_effect;
  int m_pass = -1;

  // GL objects and what has been applied to GL.
  GLuint m_vao = 0, m_fbo = 0, m_readFbo = 0, m_drawFbo = 0, m_resolveFbo = 0, m_resolveRb = 0;
  GLuint m_upBuffer = 0;
  GLuint m_samplers[kMaxSamplers] = {};
  bool m_targetsDirty = true, m_statesDirty = true, m_layoutDirty = true, m_viewportDirty = true;
  // The last vertex and instance the current streams can feed (valid while the
  // layout and streams stay as they are).
  bool m_limitsValid = false, m_limitsUsable = false;
  uint64_t m_vertexLimit = 0, m_instanceLimit = 0;
  uint32_t m_samplerDirty = 0xFFFF, m_textureDirty = 0xFFFF;
  uint32_t m_enabledAttribs = 0;
  uint32_t m_appliedInstances = 0;
  GLenum m_boundTargets[kMaxSamplers] = {};
  bool m_haveAnisotropy = false;
  bool m_everPresented = false;
  uint32_t m_presentedW = 0, m_presentedH = 0;

  friend class RenderToSurfaceImpl;
  friend class SpriteImpl;
};

// ---------------------------------------------------------------------------------
class GpuImpl final : public Gpu {
public:
  GpuImpl(Window* window, SDL_GLContext context, std::shared_ptr<Recorder> rec)
      : m_window(window), m_context(context), m_rec(std::move(rec)) {}
  ~GpuImpl() override {
    if (m_context) SDL_GL_DeleteContext(m_context);
  }

  uint32_t GetAdapterCount() override {
    Record("GetAdapterCount");
    if (m_rec) return m_rec->adapterCount;
    int n = SDL_GetNumVideoDisplays();
    return n > 0 ? static_cast<uint32_t>(n) : 0;
  }

  std::vector<DisplayMode> Modes(uint32_t adapter, uint32_t format) {
    std::vector<DisplayMode> out;
    if (format != kFmtX8R8G8B8 && format != kFmtA8R8G8B8) return out;
    if (m_rec) {
      if (adapter < m_rec->modes.size()) out = m_rec->modes[adapter];
      return out;
    }
    int n = SDL_GetNumDisplayModes(static_cast<int>(adapter));
    for (int i = n - 1; i >= 0; --i) {  // SDL lists the largest first
      SDL_DisplayMode m;
      if (SDL_GetDisplayMode(static_cast<int>(adapter), i, &m) == 0 && m.w > 0 && m.h > 0)
        out.push_back({static_cast<uint32_t>(m.w), static_cast<uint32_t>(m.h),
                       static_cast<uint32_t>(m.refresh_rate), kFmtX8R8G8B8});
    }
    // Some video drivers (offscreen) list no usable mode: offer the desktop's.
    SDL_DisplayMode desktop;
    if (out.empty() && n >= 0 && SDL_GetDesktopDisplayMode(static_cast<int>(adapter), &desktop) == 0 &&
        desktop.w > 0 && desktop.h > 0)
      out.push_back({static_cast<uint32_t>(desktop.w), static_cast<uint32_t>(desktop.h),
                     static_cast<uint32_t>(desktop.refresh_rate), kFmtX8R8G8B8});
    return out;
  }

  uint32_t GetAdapterModeCount(uint32_t adapter, uint32_t format) override {
    Record("GetAdapterModeCount adapter=" + std::to_string(adapter) + " format=" + std::to_string(format));
    return static_cast<uint32_t>(Modes(adapter, format).size());
  }

  HResult EnumAdapterModes(uint32_t adapter, uint32_t format, uint32_t mode, DisplayMode* out) override {
    Record("EnumAdapterModes adapter=" + std::to_string(adapter) + " format=" + std::to_string(format) +
           " mode=" + std::to_string(mode));
    auto modes = Modes(adapter, format);
    if (!out || mode >= modes.size()) return kErrInvalidCall;
    *out = modes[mode];
    return kOk;
  }

  HResult GetAdapterDisplayMode(uint32_t adapter, DisplayMode* out) override {
    Record("GetAdapterDisplayMode adapter=" + std::to_string(adapter));
    if (!out) return kErrInvalidCall;
    if (m_rec) {
      if (adapter >= m_rec->adapterCount) return kErrInvalidCall;
      *out = m_rec->desktopMode;
      return kOk;
    }
    SDL_DisplayMode m;
    if (SDL_GetDesktopDisplayMode(static_cast<int>(adapter), &m) != 0) return kErrInvalidCall;
    *out = {static_cast<uint32_t>(m.w), static_cast<uint32_t>(m.h), static_cast<uint32_t>(m.refresh_rate),
            kFmtX8R8G8B8};
    return kOk;
  }

  HResult CheckDeviceType(uint32_t adapter, uint32_t deviceType, uint32_t displayFormat,
                          uint32_t backBufferFormat, bool windowed) override {
    Record("CheckDeviceType adapter=" + std::to_string(adapter) + " type=" + std::to_string(deviceType) +
           " display=" + std::to_string(displayFormat) + " backbuffer=" + std::to_string(backBufferFormat) +
           " windowed=" + std::to_string(windowed));
    if (m_rec) return m_rec->checkDeviceTypeResult;
    bool ok = deviceType == kDevTypeHal &&
              (displayFormat == kFmtX8R8G8B8 || displayFormat == kFmtA8R8G8B8) &&
              (backBufferFormat == kFmtX8R8G8B8 || backBufferFormat == kFmtA8R8G8B8);
    return ok ? kOk : kErrNotAvailable;
  }

  HResult CheckDeviceMultiSampleType(uint32_t adapter, uint32_t deviceType, uint32_t format, bool windowed,
                                     uint32_t type, uint32_t* qualityLevels) override {
    Record("CheckDeviceMultiSampleType adapter=" + std::to_string(adapter) + " type=" +
           std::to_string(deviceType) + " format=" + std::to_string(format) + " windowed=" +
           std::to_string(windowed) + " samples=" + std::to_string(type));
    if (qualityLevels) *qualityLevels = 0;
    if (type == 0) {
      if (qualityLevels) *qualityLevels = 1;
      return kOk;
    }
    if (type > 16) return kErrInvalidCall;
    if (m_rec) {
      for (const auto& m : m_rec->multiSample)
        if (m.format == format && m.type == type) {
          if (qualityLevels) *qualityLevels = m.qualityLevels;
          return kOk;
        }
      return kErrNotAvailable;
    }
    GlFormat gf;
    if (!LookUpFormat(format, &gf) || gf.compressed) return kErrNotAvailable;
    if (type == 1) {  // non-maskable: any multisampling at all
      if (MaxSamples(gf.internal) < 2) return kErrNotAvailable;
      if (qualityLevels) *qualityLevels = 1;
      return kOk;
    }
    if (type > MaxSamples(gf.internal)) return kErrNotAvailable;
    if (qualityLevels) *qualityLevels = 1;
    return kOk;
  }

  HResult GetDeviceCaps(uint32_t adapter, uint32_t deviceType, Caps* caps) override {
    Record("GetDeviceCaps adapter=" + std::to_string(adapter) + " type=" + std::to_string(deviceType));
    if (!caps) return kErrInvalidCall;
    if (m_rec) {
      *caps = m_rec->caps;
      return kOk;
    }
    Caps c;
    c.devCaps = kDevCapsHwTransformAndLight | kDevCapsPureDevice;
    GLint v = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &v);
    c.maxTextureWidth = c.maxTextureHeight = static_cast<uint32_t>(v);
    glGetIntegerv(GL_MAX_3D_TEXTURE_SIZE, &v);
    c.maxVolumeExtent = static_cast<uint32_t>(v);
    c.maxSimultaneousTextures = kMaxSamplers;
    c.maxStreams = kMaxStreams;
    glGetIntegerv(GL_MAX_DRAW_BUFFERS, &v);
    c.numSimultaneousRTs = std::min<uint32_t>(4, static_cast<uint32_t>(v));
    c.maxPrimitiveCount = 0xFFFFFF;
    c.maxVertexIndex = 0xFFFFFF;
    c.vertexShaderVersion = 0xFFFE0300;
    c.pixelShaderVersion = 0xFFFF0300;
    glGetIntegerv(GL_MAX_VERTEX_UNIFORM_COMPONENTS, &v);
    c.maxVertexShaderConst = static_cast<uint32_t>(v / 4);
    *caps = c;
    return kOk;
  }

  HResult CreateDevice(uint32_t adapter, uint32_t deviceType, Window* window, uint32_t behaviourFlags,
                       PresentParameters* parameters, Device** out) override {
    Record("CreateDevice adapter=" + std::to_string(adapter) + " type=" + std::to_string(deviceType) +
           " flags=" + Hex(behaviourFlags) + (parameters ? " size=" + std::to_string(parameters->backBufferWidth) +
           "x" + std::to_string(parameters->backBufferHeight) + " samples=" +
           std::to_string(parameters->multiSampleType) : std::string()));
    if (!out || !parameters) return kErrInvalidCall;
    *out = nullptr;
    if (m_rec && m_rec->ShouldFail("CreateDevice")) return m_rec->failResult;
    if (!m_rec && window && window != m_window) {
      LogMessage("CreateDevice: the GL context belongs to another window");
      return kErrInvalidCall;
    }
    auto* device = new DeviceImpl(this, m_rec, window ? window : m_window, *parameters);
    std::string error;
    if (!device->Init(&error)) {
      LogMessage("CreateDevice: " + error);
      device->Release();
      return kErrNotAvailable;
    }
    *out = device;
    return kOk;
  }

  Window* GetWindow() const { return m_window; }
  SDL_GLContext Context() const { return m_context; }

private:
  void Record(const std::string& line) {
    if (m_rec) m_rec->Append(line);
  }
  uint32_t MaxSamples(GLenum internal) {
    GLint max = 0;
    glGetIntegerv(GL_MAX_SAMPLES, &max);
    if (epoxy_gl_version() >= 42) {
      GLint count = 0;
      glGetInternalformativ(GL_RENDERBUFFER, internal, GL_NUM_SAMPLE_COUNTS, 1, &count);
      if (count > 0) {
        std::vector<GLint> samples(static_cast<size_t>(count));
        glGetInternalformativ(GL_RENDERBUFFER, internal, GL_SAMPLES, count, samples.data());
        max = *std::max_element(samples.begin(), samples.end());
      }
    }
    return static_cast<uint32_t>(std::max(0, max));
  }

  Window* m_window;
  SDL_GLContext m_context;
  std::shared_ptr<Recorder> m_rec;
};

Gpu* CreateGpu(Window* window, std::string* error) {
  if (!window || !window->Handle()) {
    if (error) *error = "no window";
    return nullptr;
  }
  SDL_GLContext context = nullptr;
  static const int kVersions[][2] = {{4, 5}, {4, 3}, {3, 3}};
  for (const auto& v : kVersions) {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, v[0]);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, v[1]);
    context = SDL_GL_CreateContext(window->Handle());
    if (context) break;
  }
  if (!context) {
    if (error) *error = std::string("no OpenGL 3.3 core context: ") + SDL_GetError();
    return nullptr;
  }
  SDL_GL_MakeCurrent(window->Handle(), context);
  if (epoxy_gl_version() < 33) {
    if (error) *error = "OpenGL 3.3 or later is needed";
    SDL_GL_DeleteContext(context);
    return nullptr;
  }
  // Direct3D's depth range and origin need clip control (core in 4.5).
  if (epoxy_gl_version() < 45 && !epoxy_has_gl_extension("GL_ARB_clip_control")) {
    if (error) *error = "the OpenGL driver has no clip control (GL 4.5 or ARB_clip_control)";
    SDL_GL_DeleteContext(context);
    return nullptr;
  }
  return new GpuImpl(window, context, nullptr);
}

Gpu* CreateRecordingGpu(std::shared_ptr<Recorder> recorder) {
  if (!recorder) recorder = std::make_shared<Recorder>();
  recorder->Append("CreateGpu");
  if (recorder->failCreateGpu) return nullptr;
  return new GpuImpl(nullptr, nullptr, recorder);
}

// ---------------------------------------------------------------------------------
DeviceImpl::DeviceImpl(GpuImpl* gpu, std::shared_ptr<Recorder> rec, Window* window, const PresentParameters& pp)
    : m_gpu(gpu), m_rec(rec), m_core(std::make_shared<DeviceCore>(rec, rec == nullptr)), m_gl(rec == nullptr),
      m_window(window), m_pp(pp), m_thread(ThisThread()) {
  m_gpu->AddRef();
  m_core->renderThread = m_thread;
  DefaultRenderStates(m_rs, pp.enableAutoDepthStencil);
  DefaultSamplerStates(m_ss);
}

bool DeviceImpl::Init(std::string* error) {
  if (m_pp.backBufferWidth == 0 || m_pp.backBufferHeight == 0) {
    // Direct3D takes the window's client size for a zero size.
    m_pp.backBufferWidth = m_window ? static_cast<uint32_t>(std::max(1, m_window->Width())) : 640;
    m_pp.backBufferHeight = m_window ? static_cast<uint32_t>(std::max(1, m_window->Height())) : 480;
  }
  if (m_gl) {
    if (SDL_GL_MakeCurrent(m_window->Handle(), m_gpu->Context()) != 0) {
      *error = std::string("the GL context cannot be made current: ") + SDL_GetError();
      return false;
    }
    glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE);
    glGenVertexArrays(1, &m_vao);
    glBindVertexArray(m_vao);
    glGenFramebuffers(1, &m_fbo);
    glGenFramebuffers(1, &m_readFbo);
    glGenFramebuffers(1, &m_drawFbo);
    glGenFramebuffers(1, &m_resolveFbo);
    glGenBuffers(1, &m_upBuffer);
    glGenSamplers(kMaxSamplers, m_samplers);
    for (GLuint i = 0; i < kMaxSamplers; ++i) glBindSampler(i, m_samplers[i]);
    m_haveAnisotropy = epoxy_gl_version() >= 46 || epoxy_has_gl_extension("GL_EXT_texture_filter_anisotropic");
    glFrontFace(GL_CW);
    SDL_GL_SetSwapInterval(m_pp.presentationInterval == kPresentIntervalOne ? 1 : 0);
  }
  BuildSwapChain();
  ResetState();
  if (m_gl) {
    DrainQueues();
    GLenum err = glGetError();
    if (err != GL_NO_ERROR) {
      *error = "GL error " + Hex(err) + " while making the back buffer";
      return false;
    }
  }
  return true;
}

DeviceImpl::~DeviceImpl() {
  for (auto*& t : m_targets) SetRef(t, nullptr);
  SetRef(m_depth, nullptr);
  for (auto*& t : m_textures)
    if (t) {
      t->Release();
      t = nullptr;
    }
  for (auto& s : m_streams)
    if (s.vb) s.vb->Release();
  if (m_decl) m_decl->Release();
  if (m_indices) m_indices->Release();
  if (m_program) m_program->Release();
  if (m_backBuffer) m_backBuffer->Release();
  if (m_autoDepth) m_autoDepth->Release();
  if (m_gl && ThisThread() == m_thread) {
    DrainQueues();
    glDeleteVertexArrays(1, &m_vao);
    GLuint fbos[4] = {m_fbo, m_readFbo, m_drawFbo, m_resolveFbo};
    glDeleteFramebuffers(4, fbos);
    if (m_resolveRb) glDeleteRenderbuffers(1, &m_resolveRb);
    glDeleteBuffers(1, &m_upBuffer);
    glDeleteSamplers(kMaxSamplers, m_samplers);
  }
  m_gpu->Release();
}

void DeviceImpl::SetRef(Surface*& slot, Surface* value) {
  if (value) value->AddRef();
  if (slot) slot->Release();
  slot = value;
}

void DeviceImpl::BuildSwapChain() {
  uint32_t samples = m_pp.multiSampleType >= 2 ? m_pp.multiSampleType : 0;
  if (!m_backBuffer) {
    m_backBuffer = new SurfaceImpl(m_core, SurfaceImpl::Kind::BackBuffer, m_pp.backBufferWidth,
                                   m_pp.backBufferHeight, kFmtA8R8G8B8, samples, kPoolDefault, false);
  } else {
    m_backBuffer->Rebuild(m_pp.backBufferWidth, m_pp.backBufferHeight, kFmtA8R8G8B8, samples);
  }
  if (m_pp.enableAutoDepthStencil) {
    uint32_t format = IsDepthFormat(m_pp.autoDepthStencilFormat) ? m_pp.autoDepthStencilFormat : kFmtD24S8;
    if (!m_autoDepth)
      m_autoDepth = new SurfaceImpl(m_core, SurfaceImpl::Kind::Renderbuffer, m_pp.backBufferWidth,
                                    m_pp.backBufferHeight, format, samples, kPoolDefault, false);
    else
      m_autoDepth->Rebuild(m_pp.backBufferWidth, m_pp.backBufferHeight, format, samples);
  } else if (m_autoDepth) {
    m_autoDepth->Release();
    m_autoDepth = nullptr;
  }
  if (m_gl) {
    if (m_resolveRb) glDeleteRenderbuffers(1, &m_resolveRb);
    glGenRenderbuffers(1, &m_resolveRb);
    glBindRenderbuffer(GL_RENDERBUFFER, m_resolveRb);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, m_pp.backBufferWidth, m_pp.backBufferHeight);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, m_resolveFbo);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, m_resolveRb);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    SDL_GL_SetSwapInterval(m_pp.presentationInterval == kPresentIntervalOne ? 1 : 0);
    if (m_window && m_window->FullScreen() == m_pp.windowed) m_window->SetFullScreen(!m_pp.windowed);
  }
  m_everPresented = false;
}

// What a new device or a reset device starts with.
void DeviceImpl::ResetState() {
  DefaultRenderStates(m_rs, m_pp.enableAutoDepthStencil);
  DefaultSamplerStates(m_ss);
  SetRef(m_targets[0], m_backBuffer);
  for (int i = 1; i < 4; ++i) SetRef(m_targets[i], nullptr);
  SetRef(m_depth, m_autoDepth);
  m_viewport = {0, 0, m_pp.backBufferWidth, m_pp.backBufferHeight, 0.0f, 1.0f};
  m_scissor = {0, 0, static_cast<int32_t>(m_pp.backBufferWidth), static_cast<int32_t>(m_pp.backBufferHeight)};
  m_targetsDirty = m_statesDirty = m_layoutDirty = m_viewportDirty = true;
  m_limitsValid = false;
  m_samplerDirty = m_textureDirty = 0xFFFF;
  m_inScene = false;
}

std::string DeviceImpl::Context() const {
  std::string target = m_targets[0] ? m_targets[0]->DebugName() : "none";
  return " [effect=" + (m_effect.empty() ? std::string("none") : m_effect) + " pass=" + std::to_string(m_pass) +
         " target=" + target + "]";
}

HResult DeviceImpl::CreationFailure(const char* call, void* out) {
  m_core->Record(std::string(call) + " failed (injected)");
  if (out) *static_cast<void**>(out) = nullptr;
  return m_rec ? m_rec->failResult : kErrOutOfVideoMemory;
}

// ---------------------------------------------------------------------------------
// Resource creation.
HResult DeviceImpl::CreateVertexBuffer(uint32_t length, uint32_t usage, uint32_t fvf, uint32_t pool,
                                       VertexBuffer** out) {
  Record("CreateVertexBuffer length=" + std::to_string(length) + " usage=" + Hex(usage) + " fvf=" + Hex(fvf) +
         " pool=" + std::to_string(pool));
  if (!out || length == 0) {
    m_core->Misuse("CreateVertexBuffer: empty buffer or no output");
    if (out) *out = nullptr;
    return kErrInvalidCall;
  }
  if (ShouldFail("CreateVertexBuffer")) return CreationFailure("CreateVertexBuffer", out);
  *out = new VertexBufferImpl(m_core, length, usage, fvf, pool);
  return kOk;
}

HResult DeviceImpl::CreateIndexBuffer(uint32_t length, uint32_t usage, uint32_t format, uint32_t pool,
                                      IndexBuffer** out) {
  Record("CreateIndexBuffer length=" + std::to_string(length) + " usage=" + Hex(usage) + " format=" +
         std::to_string(format) + " pool=" + std::to_string(pool));
  if (!out || length == 0 || (format != kFmtIndex16 && format != kFmtIndex32)) {
    m_core->Misuse("CreateIndexBuffer: empty buffer, bad format or no output");
    if (out) *out = nullptr;
    return kErrInvalidCall;
  }
  if (ShouldFail("CreateIndexBuffer")) return CreationFailure("CreateIndexBuffer", out);
  *out = new IndexBufferImpl(m_core, length, usage, format, pool);
  return kOk;
}

HResult DeviceImpl::CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage,
                                  uint32_t format, uint32_t pool, Texture** out) {
  Record("CreateTexture size=" + std::to_string(width) + "x" + std::to_string(height) + " levels=" +
         std::to_string(levels) + " usage=" + Hex(usage) + " format=" + std::to_string(format) + " pool=" +
         std::to_string(pool));
  GlFormat gf;
  if (!out || width == 0 || height == 0 || width > 16384 || height > 16384 || !LookUpFormat(format, &gf) ||
      IsDepthFormat(format) || ((usage & kUsageRenderTarget) && (gf.compressed || pool != kPoolDefault))) {
    m_core->Misuse("CreateTexture: bad size, format, usage or pool");
    if (out) *out = nullptr;
    return kErrInvalidCall;
  }
  if (ShouldFail("CreateTexture")) return CreationFailure("CreateTexture", out);
  uint32_t full = FullMipCount(width, height, 1);
  if (levels == 0 || levels > full) levels = full;
  *out = new TextureImpl(m_core, width, height, levels, usage, format, pool);
  return kOk;
}

HResult DeviceImpl::CreateCubeTexture(uint32_t edge, uint32_t levels, uint32_t usage, uint32_t format,
                                      uint32_t pool, CubeTexture** out) {
  Record("CreateCubeTexture edge=" + std::to_string(edge) + " levels=" + std::to_string(levels) + " usage=" +
         Hex(usage) + " format=" + std::to_string(format) + " pool=" + std::to_string(pool));
  GlFormat gf;
  if (!out || edge == 0 || edge > 16384 || !LookUpFormat(format, &gf) || IsDepthFormat(format) ||
      ((usage & kUsageRenderTarget) && (gf.compressed || pool != kPoolDefault))) {
    m_core->Misuse("CreateCubeTexture: bad size, format, usage or pool");
    if (out) *out = nullptr;
    return kErrInvalidCall;
  }
  if (ShouldFail("CreateCubeTexture")) return CreationFailure("CreateCubeTexture", out);
  uint32_t full = FullMipCount(edge, edge, 1);
  if (levels == 0 || levels > full) levels = full;
  *out = new CubeTextureImpl(m_core, edge, levels, usage, format, pool);
  return kOk;
}

HResult DeviceImpl::CreateTextureFromImage(const image::Image& img, BaseTexture** out) {
  Record("CreateTextureFromImage kind=" + std::to_string(static_cast<int>(img.kind)) + " size=" +
         std::to_string(img.width) + "x" + std::to_string(img.height) + "x" + std::to_string(img.depth) +
         " levels=" + std::to_string(img.mipLevels) + " format=" + Hex(img.format));
  if (!out) return kErrInvalidCall;
  *out = nullptr;
  GlFormat gf;
  uint32_t faces = img.kind == image::Kind::Cube ? 6 : 1;
  uint32_t depth = img.kind == image::Kind::Volume ? img.depth : 1;
  bool ok = LookUpFormat(img.format, &gf) && !IsDepthFormat(img.format) && img.width > 0 && img.height > 0 &&
            depth > 0 && img.mipLevels > 0 && img.mipLevels <= FullMipCount(img.width, img.height, depth) &&
            img.levels.size() == static_cast<size_t>(faces) * img.mipLevels &&
            (img.kind != image::Kind::Cube || img.width == img.height);
  // Every level must hold exactly the bytes its size implies.
  for (uint32_t f = 0; ok && f < faces; ++f) {
    uint32_t w = img.width, h = img.height, d = depth;
    for (uint32_t l = 0; ok && l < img.mipLevels; ++l) {
      const auto& level = img.levels[f * img.mipLevels + l];
      ok = level.width == w && level.height == h && level.data.size() == FormatLevelSize(img.format, w, h) * d;
      w = std::max(1u, w / 2);
      h = std::max(1u, h / 2);
      d = std::max(1u, d / 2);
    }
  }
  if (!ok) {
    m_core->Misuse("CreateTextureFromImage: the image's format, sizes or levels do not agree");
    return kErrInvalidCall;
  }
  if (ShouldFail("CreateTextureFromImage")) return CreationFailure("CreateTextureFromImage", out);
  TextureStore* store = nullptr;
  BaseTexture* texture = nullptr;
  if (img.kind == image::Kind::Volume) {
    auto* t = new VolumeTextureImpl(m_core, img.width, img.height, img.depth, img.mipLevels, img.format);
    store = &t->store;
    texture = t;
  } else if (img.kind == image::Kind::Cube) {
    auto* t = new CubeTextureImpl(m_core, img.width, img.mipLevels, 0, img.format, kPoolManaged);
    store = &t->store;
    texture = t;
  } else {
    auto* t = new TextureImpl(m_core, img.width, img.height, img.mipLevels, 0, img.format, kPoolManaged);
    store = &t->store;
    texture = t;
  }
  {
    std::lock_guard<std::mutex> lock(store->mutex);
    for (size_t i = 0; i < img.levels.size(); ++i) store->levels[i] = img.levels[i].data;
  }
  *out = texture;
  return kOk;
}

HResult DeviceImpl::CreateDepthStencilSurface(uint32_t width, uint32_t height, uint32_t format,
                                              uint32_t multiSample, Surface** out) {
  Record("CreateDepthStencilSurface size=" + std::to_string(width) + "x" + std::to_string(height) +
         " format=" + std::to_string(format) + " samples=" + std::to_string(multiSample));
  if (!out || width == 0 || height == 0 || !IsDepthFormat(format)) {
    m_core->Misuse("CreateDepthStencilSurface: bad size or format");
    if (out) *out = nullptr;
    return kErrInvalidCall;
  }
  if (ShouldFail("CreateDepthStencilSurface")) return CreationFailure("CreateDepthStencilSurface", out);
  *out = new SurfaceImpl(m_core, SurfaceImpl::Kind::Renderbuffer, width, height, format,
                         multiSample >= 2 ? multiSample : 0, kPoolDefault, true);
  return kOk;
}

HResult DeviceImpl::CreateRenderTarget(uint32_t width, uint32_t height, uint32_t format, uint32_t multiSample,
                                       Surface** out) {
  Record("CreateRenderTarget size=" + std::to_string(width) + "x" + std::to_string(height) + " format=" +
         std::to_string(format) + " samples=" + std::to_string(multiSample));
  GlFormat gf;
  if (!out || width == 0 || height == 0 || !LookUpFormat(format, &gf) || gf.compressed || IsDepthFormat(format)) {
    m_core->Misuse("CreateRenderTarget: bad size or format");
    if (out) *out = nullptr;
    return kErrInvalidCall;
  }
  if (ShouldFail("CreateRenderTarget")) return CreationFailure("CreateRenderTarget", out);
  *out = new SurfaceImpl(m_core, SurfaceImpl::Kind::Renderbuffer, width, height, format,
                         multiSample >= 2 ? multiSample : 0, kPoolDefault, true);
  return kOk;
}

HResult DeviceImpl::CreateVertexDeclaration(const VertexElement* elements, VertexDeclaration** out) {
  Record("CreateVertexDeclaration");
  if (!out || !elements) return kErrInvalidCall;
  *out = nullptr;
  std::vector<VertexElement> list;
  for (size_t i = 0; i < 64 && elements[i].stream != 0xFF; ++i) list.push_back(elements[i]);
  std::vector<AttribDesc> layout;
  if (list.empty() || list.size() == 64 || !LayoutFromElements(list, &layout)) {
    m_core->Misuse("CreateVertexDeclaration: unterminated or unsupported elements");
    return kErrInvalidCall;
  }
  if (ShouldFail("CreateVertexDeclaration")) return CreationFailure("CreateVertexDeclaration", out);
  *out = new VertexDeclarationImpl(std::move(list));
  return kOk;
}

// ---------------------------------------------------------------------------------
// Shaders.
HResult DeviceImpl::CreateProgram(const char* vertexSource, const char* fragmentSource, Program** out,
                                  std::string* log) {
  Record("CreateProgram");
  if (log) log->clear();
  if (!out || !vertexSource || !fragmentSource) {
    if (out) *out = nullptr;
    return kErrInvalidCall;
  }
  *out = nullptr;
  if (ShouldFail("CreateProgram")) {
    if (log) *log = "program creation failed (injected)";
    return CreationFailure("CreateProgram", out);
  }
  auto* program = new ProgramImpl(m_core, vertexSource, fragmentSource);
  if (m_gl && ThisThread() != m_thread) {
    // Compiled by the render thread at its next drain.
    std::lock_guard<std::mutex> lock(m_core->mutex);
    m_core->pendingPrograms.push_back(program);
    m_core->anyDirty = true;
    program->AddRef();
    *out = program;
    return kOk;
  }
  bool ok = program->Build();
  if (log) *log = program->InfoLog();
  if (!ok) {
    program->Release();
    return kErrFail;
  }
  *out = program;
  return kOk;
}

namespace {

class UniformBufferImpl final : public UniformBuffer {
public:
  UniformBufferImpl(std::shared_ptr<DeviceCore> core, uint32_t size) : m_core(std::move(core)) {
    m_size = size;
    m_name = m_core->NewName("ubo");
    if (m_core->gl) {
      glGenBuffers(1, &buffer);
      glBindBuffer(GL_UNIFORM_BUFFER, buffer);
      glBufferData(GL_UNIFORM_BUFFER, size, nullptr, GL_DYNAMIC_DRAW);
      glBindBuffer(GL_UNIFORM_BUFFER, 0);
    }
  }
  ~UniformBufferImpl() override {
    if (buffer) m_core->Discard({GlGarbage::Buffer, buffer});
  }
  HResult Update(uint32_t offset, uint32_t size, const void* data) override {
    if (!data || offset > m_size || size > m_size - offset) {
      m_core->Misuse("UniformBuffer::Update " + m_name + ": range outside the buffer");
      return kErrInvalidCall;
    }
    if (m_core->renderThread.load() != ThisThread()) {
      m_core->Misuse("UniformBuffer::Update called off the render thread");
      return kErrInvalidCall;
    }
    m_core->Record("UpdateUniformBuffer " + m_name + " offset=" + std::to_string(offset) + " size=" +
                   std::to_string(size));
    if (buffer) {
      glBindBuffer(GL_UNIFORM_BUFFER, buffer);
      glBufferSubData(GL_UNIFORM_BUFFER, offset, size, data);
      glBindBuffer(GL_UNIFORM_BUFFER, 0);
    }
    return kOk;
  }
  GLuint buffer = 0;
  std::string m_name;

private:
  std::shared_ptr<DeviceCore> m_core;
};

}  // namespace

HResult DeviceImpl::CreateUniformBuffer(uint32_t size, UniformBuffer** out) {
  Record("CreateUniformBuffer size=" + std::to_string(size));
  if (!out || size == 0) return kErrInvalidCall;
  *out = nullptr;
  if (!OnRenderThread("CreateUniformBuffer")) return kErrInvalidCall;
  if (ShouldFail("CreateUniformBuffer")) return CreationFailure("CreateUniformBuffer", out);
  *out = new UniformBufferImpl(m_core, size);
  return kOk;
}

HResult DeviceImpl::SetProgram(Program* program) {
  if (!OnRenderThread("SetProgram")) return kErrInvalidCall;
  auto* p = static_cast<ProgramImpl*>(program);
  Record("SetProgram " + (p ? p->debugName : std::string("none")));
  if (p && p->status.load() != Program::Status::Ready) {
    if (p->status.load() == Program::Status::Pending) DrainQueues();
    if (p->status.load() != Program::Status::Ready) {
      m_core->Misuse("SetProgram: " + p->debugName + " did not build");
      return kErrInvalidCall;
    }
  }
  if (program) program->AddRef();
  if (m_program) m_program->Release();
  m_program = program;
  if (m_gl) glUseProgram(p ? p->name : 0);
  return kOk;
}

namespace {
std::string Values(const float* v, size_t n) {
  std::string out;
  char buffer[32];
  for (size_t i = 0; v && i < n; ++i) {
    std::snprintf(buffer, sizeof buffer, " %g", static_cast<double>(v[i]));
    out += buffer;
  }
  return out;
}
std::string Values(const int32_t* v, size_t n) {
  std::string out;
  for (size_t i = 0; v && i < n; ++i) out += " " + std::to_string(v[i]);
  return out;
}
}  // namespace

HResult DeviceImpl::SetUniformVectors(int location, uint32_t components, uint32_t count, const float* values) {
  if (!OnRenderThread("SetUniformVectors")) return kErrInvalidCall;
  if (m_rec)
    Record("SetUniformVectors loc=" + std::to_string(location) + " components=" + std::to_string(components) +
           " n=" + std::to_string(count) + Values(values, static_cast<size_t>(count) * components));
  if (!m_program || !values || components < 1 || components > 4) return kErrInvalidCall;
  if (location < 0) return kOk;
  if (m_gl) {
    GLsizei n = static_cast<GLsizei>(count);
    switch (components) {
      case 1: glUniform1fv(location, n, values); break;
      case 2: glUniform2fv(location, n, values); break;
      case 3: glUniform3fv(location, n, values); break;
      default: glUniform4fv(location, n, values); break;
    }
  }
  return kOk;
}

HResult DeviceImpl::SetUniformFloats(int location, uint32_t vec4Count, const float* values) {
  if (!OnRenderThread("SetUniformFloats")) return kErrInvalidCall;
  if (m_rec)
    Record("SetUniformFloats loc=" + std::to_string(location) + " n=" + std::to_string(vec4Count) +
           Values(values, static_cast<size_t>(vec4Count) * 4));
  if (!m_program || !values) return kErrInvalidCall;
  if (location < 0) return kOk;  // as GL: an absent uniform is ignored
  if (m_gl) glUniform4fv(location, static_cast<GLsizei>(vec4Count), values);
  return kOk;
}

HResult DeviceImpl::SetUniformFloat(int location, uint32_t count, const float* values) {
  if (!OnRenderThread("SetUniformFloat")) return kErrInvalidCall;
  if (m_rec)
    Record("SetUniformFloat loc=" + std::to_string(location) + " n=" + std::to_string(count) + Values(values, count));
  if (!m_program || !values) return kErrInvalidCall;
  if (location < 0) return kOk;
  if (m_gl) glUniform1fv(location, static_cast<GLsizei>(count), values);
  return kOk;
}

HResult DeviceImpl::SetUniformInts(int location, uint32_t count, const int32_t* values) {
  if (!OnRenderThread("SetUniformInts")) return kErrInvalidCall;
  if (m_rec)
    Record("SetUniformInts loc=" + std::to_string(location) + " n=" + std::to_string(count) + Values(values, count));
  if (!m_program || !values) return kErrInvalidCall;
  if (location < 0) return kOk;
  if (m_gl) glUniform1iv(location, static_cast<GLsizei>(count), values);
  return kOk;
}

HResult DeviceImpl::SetUniformMatrices(int location, uint32_t count, const float* values) {
  if (!OnRenderThread("SetUniformMatrices")) return kErrInvalidCall;
  if (m_rec)
    Record("SetUniformMatrices loc=" + std::to_string(location) + " n=" + std::to_string(count) +
           Values(values, static_cast<size_t>(count) * 16));
  if (!m_program || !values) return kErrInvalidCall;
  if (location < 0) return kOk;
  if (m_gl) glUniformMatrix4fv(location, static_cast<GLsizei>(count), GL_FALSE, values);
  return kOk;
}

HResult DeviceImpl::SetUniformBuffer(uint32_t slot, UniformBuffer* buffer) {
  if (!OnRenderThread("SetUniformBuffer")) return kErrInvalidCall;
  auto* b = static_cast<UniformBufferImpl*>(buffer);
  Record("SetUniformBuffer slot=" + std::to_string(slot) + " " + (b ? b->m_name : std::string("none")));
  if (slot >= 16) return kErrInvalidCall;
  if (m_gl) glBindBufferBase(GL_UNIFORM_BUFFER, slot, b ? b->buffer : 0);
  return kOk;
}

void DeviceImpl::SetDebugEffect(const char* effect, int pass) {
  m_effect = effect ? effect : "";
  m_pass = pass;
}

// ---------------------------------------------------------------------------------
// State.
HResult DeviceImpl::SetRenderState(uint32_t state, uint32_t value) {
  if (!OnRenderThread("SetRenderState")) return kErrInvalidCall;
  Record("SetRenderState state=" + std::to_string(state) + " value=" + std::to_string(value));
  if (state >= kRenderStateCount) return kErrInvalidCall;
  if (m_rs[state] != value) {
    m_rs[state] = value;
    m_statesDirty = true;
  }
  return kOk;
}

HResult DeviceImpl::GetRenderState(uint32_t state, uint32_t* value) {
  if (!OnRenderThread("GetRenderState")) return kErrInvalidCall;
  if (state >= kRenderStateCount || !value) return kErrInvalidCall;
  *value = m_rs[state];
  return kOk;
}

HResult DeviceImpl::SetSamplerState(uint32_t sampler, uint32_t state, uint32_t value) {
  if (!OnRenderThread("SetSamplerState")) return kErrInvalidCall;
  Record("SetSamplerState sampler=" + std::to_string(sampler) + " state=" + std::to_string(state) + " value=" +
         std::to_string(value));
  if (sampler >= kMaxSamplers || state >= 16) return kErrInvalidCall;
  if (m_ss[sampler][state] != value) {
    m_ss[sampler][state] = value;
    m_samplerDirty |= 1u << sampler;
  }
  return kOk;
}

HResult DeviceImpl::GetSamplerState(uint32_t sampler, uint32_t state, uint32_t* value) {
  if (!OnRenderThread("GetSamplerState")) return kErrInvalidCall;
  if (sampler >= kMaxSamplers || state >= 16 || !value) return kErrInvalidCall;
  *value = m_ss[sampler][state];
  return kOk;
}

HResult DeviceImpl::SetTexture(uint32_t stage, BaseTexture* texture) {
  if (!OnRenderThread("SetTexture")) return kErrInvalidCall;
  Record("SetTexture stage=" + std::to_string(stage) + " " + (texture ? texture->DebugName() : std::string("none")));
  if (stage >= kMaxSamplers) return kErrInvalidCall;
  if (m_textures[stage] == texture) return kOk;
  if (texture) texture->AddRef();
  if (m_textures[stage]) m_textures[stage]->Release();
  m_textures[stage] = texture;
  m_textureDirty |= 1u << stage;
  return kOk;
}

HResult DeviceImpl::SetViewport(const Viewport& v) {
  if (!OnRenderThread("SetViewport")) return kErrInvalidCall;
  Record("SetViewport x=" + std::to_string(v.x) + " y=" + std::to_string(v.y) + " w=" + std::to_string(v.width) +
         " h=" + std::to_string(v.height));
  if (v.width == 0 || v.height == 0 || v.minZ < 0.0f || v.maxZ > 1.0f || v.minZ > v.maxZ) {
    m_core->Misuse("SetViewport: empty viewport or depth range outside 0..1");
    return kErrInvalidCall;
  }
  m_viewport = v;
  m_viewportDirty = true;
  return kOk;
}

HResult DeviceImpl::GetViewport(Viewport* v) {
  if (!OnRenderThread("GetViewport")) return kErrInvalidCall;
  if (!v) return kErrInvalidCall;
  *v = m_viewport;
  return kOk;
}

HResult DeviceImpl::SetScissorRect(const Rect& r) {
  if (!OnRenderThread("SetScissorRect")) return kErrInvalidCall;
  Record("SetScissorRect " + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
         "," + std::to_string(r.bottom));
  m_scissor = r;
  m_statesDirty = true;
  return kOk;
}

HResult DeviceImpl::SetRenderTarget(uint32_t index, Surface* surface) {
  if (!OnRenderThread("SetRenderTarget")) return kErrInvalidCall;
  Record("SetRenderTarget index=" + std::to_string(index) + " " + (surface ? surface->DebugName() : std::string("none")));
  if (index >= 4 || (index == 0 && !surface) || (surface && surface->IsDepthStencil()) ||
      (surface && !(surface->Usage() & kUsageRenderTarget))) {
    m_core->Misuse("SetRenderTarget: not a render target");
    return kErrInvalidCall;
  }
  SetRef(m_targets[index], surface);
  m_targetsDirty = true;
  if (index == 0) {
    // As Direct3D: a new first target brings a viewport covering it.
    m_viewport = {0, 0, surface->Width(), surface->Height(), 0.0f, 1.0f};
    m_viewportDirty = true;
  }
  return kOk;
}

HResult DeviceImpl::GetRenderTarget(uint32_t index, Surface** surface) {
  if (!OnRenderThread("GetRenderTarget")) return kErrInvalidCall;
  if (!surface || index >= 4) return kErrInvalidCall;
  *surface = m_targets[index];
  if (!*surface) return kErrNotAvailable;
  (*surface)->AddRef();
  return kOk;
}

HResult DeviceImpl::SetDepthStencilSurface(Surface* surface) {
  if (!OnRenderThread("SetDepthStencilSurface")) return kErrInvalidCall;
  Record("SetDepthStencilSurface " + (surface ? surface->DebugName() : std::string("none")));
  if (surface && !surface->IsDepthStencil()) {
    m_core->Misuse("SetDepthStencilSurface: not a depth-stencil surface");
    return kErrInvalidCall;
  }
  SetRef(m_depth, surface);
  m_targetsDirty = true;
  return kOk;
}

HResult DeviceImpl::GetDepthStencilSurface(Surface** surface) {
  if (!OnRenderThread("GetDepthStencilSurface")) return kErrInvalidCall;
  if (!surface) return kErrInvalidCall;
  *surface = m_depth;
  if (!m_depth) return kErrNotAvailable;
  m_depth->AddRef();
  return kOk;
}

HResult DeviceImpl::GetBackBuffer(uint32_t swapChain, uint32_t index, Surface** surface) {
  if (!OnRenderThread("GetBackBuffer")) return kErrInvalidCall;
  if (!surface || swapChain != 0 || index != 0) return kErrInvalidCall;
  m_backBuffer->AddRef();
  *surface = m_backBuffer;
  return kOk;
}

// ---------------------------------------------------------------------------------
// Geometry.
HResult DeviceImpl::SetStreamSource(uint32_t stream, VertexBuffer* buffer, uint32_t offset, uint32_t stride) {
  if (!OnRenderThread("SetStreamSource")) return kErrInvalidCall;
  Record("SetStreamSource stream=" + std::to_string(stream) + " " + (buffer ? buffer->DebugName() : std::string("none")) +
         " offset=" + std::to_string(offset) + " stride=" + std::to_string(stride));
  if (stream >= kMaxStreams) return kErrInvalidCall;
  Stream& s = m_streams[stream];
  if (s.vb == buffer && s.offset == offset && s.stride == stride) return kOk;
  if (buffer) buffer->AddRef();
  if (s.vb) s.vb->Release();
  s.vb = buffer;
  s.offset = offset;
  s.stride = stride;
  m_layoutDirty = true;
  m_limitsValid = false;
  return kOk;
}

HResult DeviceImpl::SetStreamSourceFreq(uint32_t stream, uint32_t setting) {
  if (!OnRenderThread("SetStreamSourceFreq")) return kErrInvalidCall;
  Record("SetStreamSourceFreq stream=" + std::to_string(stream) + " setting=" + Hex(setting));
  if (stream >= kMaxStreams) return kErrInvalidCall;
  if ((setting & kStreamIndexedData) && stream != 0) return kErrInvalidCall;
  if ((setting & kStreamInstanceData) && stream == 0) return kErrInvalidCall;
  m_streams[stream].freq = setting;
  m_layoutDirty = true;
  m_limitsValid = false;
  return kOk;
}

HResult DeviceImpl::SetFVF(uint32_t fvf) {
  if (!OnRenderThread("SetFVF")) return kErrInvalidCall;
  Record("SetFVF " + Hex(fvf));
  if (fvf == m_fvf && !m_decl) return kOk;
  auto it = m_fvfLayouts.find(fvf);
  if (it == m_fvfLayouts.end()) {
    std::vector<VertexElement> elements;
    std::vector<AttribDesc> layout;
    if (!ElementsFromFvf(fvf, &elements) || !LayoutFromElements(elements, &layout)) {
      m_core->Misuse("SetFVF: unsupported code " + Hex(fvf));
      return kErrInvalidCall;
    }
    it = m_fvfLayouts.emplace(fvf, std::move(layout)).first;
  }
  if (m_decl) {
    m_decl->Release();
    m_decl = nullptr;
  }
  m_fvf = fvf;
  m_layout = it->second;
  m_layoutDirty = true;
  m_limitsValid = false;
  return kOk;
}

HResult DeviceImpl::SetVertexDeclaration(VertexDeclaration* declaration) {
  if (!OnRenderThread("SetVertexDeclaration")) return kErrInvalidCall;
  Record("SetVertexDeclaration");
  if (declaration == m_decl) return kOk;
  if (declaration) {
    declaration->AddRef();
    LayoutFromElements(declaration->Elements(), &m_layout);
  } else {
    m_layout.clear();
  }
  if (m_decl) m_decl->Release();
  m_decl = declaration;
  m_fvf = 0;
  m_layoutDirty = true;
  m_limitsValid = false;
  return kOk;
}

HResult DeviceImpl::SetIndices(IndexBuffer* buffer) {
  if (!OnRenderThread("SetIndices")) return kErrInvalidCall;
  Record("SetIndices " + (buffer ? buffer->DebugName() : std::string("none")));
  if (m_indices == buffer) return kOk;
  if (buffer) buffer->AddRef();
  if (m_indices) m_indices->Release();
  m_indices = buffer;
  if (m_gl) {
    auto* ib = static_cast<IndexBufferImpl*>(buffer);
    if (ib && ib->store.name == 0) DrainQueues();
    glBindVertexArray(m_vao);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ib ? ib->store.name : 0);
  }
  return kOk;
}

uint32_t DeviceImpl::InstanceCount() const {
  uint32_t f = m_streams[0].freq;
  if (f & kStreamIndexedData) return std::max(1u, f & 0x3FFFFFFFu);
  return 1;
}

// Checks that a draw stays inside its buffers: a range from the caller never makes
// GL read past a buffer.
bool DeviceImpl::ValidateDraw(const char* call, uint32_t lastVertex, uint32_t instances, bool report) {
  if (m_limitsValid && m_limitsUsable && m_inScene && (!m_gl || m_program))
    return lastVertex <= m_vertexLimit && (instances == 0 ? 0 : instances - 1) <= m_instanceLimit
               ? true
               : ValidateDrawSlow(call, lastVertex, instances, report);
  return ValidateDrawSlow(call, lastVertex, instances, report);
}

bool DeviceImpl::ValidateDrawSlow(const char* call, uint32_t lastVertex, uint32_t instances, bool report) {
  auto fail = [&](const std::string& why) {
    if (report) m_core->Misuse(std::string(call) + why);
    return false;
  };
  // Work out the limits once per layout and stream change.
  m_limitsUsable = !m_layout.empty();
  m_vertexLimit = m_instanceLimit = UINT64_MAX;
  for (const auto& a : m_layout) {
    const Stream& s = m_streams[a.stream];
    if (!s.vb) {
      m_limitsUsable = false;
      break;
    }
    uint64_t need = static_cast<uint64_t>(s.offset) + a.offset + a.bytes;
    uint64_t limit = 0;
    if (need > s.vb->Length()) {
      m_limitsUsable = false;
      break;
    }
    limit = s.stride ? (s.vb->Length() - need) / s.stride : UINT64_MAX;
    uint64_t& target = (s.freq & kStreamInstanceData) ? m_instanceLimit : m_vertexLimit;
    target = std::min(target, limit);
  }
  m_limitsValid = true;
  if (!m_inScene) return fail(" outside BeginScene/EndScene");
  if (m_layout.empty()) return fail(" without a vertex format");
  if (m_gl && !m_program) return fail(" without a program");
  for (const auto& a : m_layout) {
    const Stream& s = m_streams[a.stream];
    if (!s.vb) return fail(": stream " + std::to_string(a.stream) + " has no buffer");
    bool perInstance = (s.freq & kStreamInstanceData) != 0;
    uint64_t last = perInstance ? (instances ? instances - 1 : 0) : lastVertex;
    uint64_t end = s.offset + last * s.stride + a.offset + a.bytes;
    if (end > s.vb->Length()) return fail(": vertices beyond the end of " + s.vb->DebugName());
  }
  return true;
}

void DeviceImpl::ApplyLayout(uint32_t instances) {
  if (!m_layoutDirty && instances == m_appliedInstances) return;
  uint32_t mask = 0;
  for (const auto& a : m_layout) {
    const Stream& s = m_streams[a.stream];
    auto* vb = static_cast<VertexBufferImpl*>(s.vb);
    glBindBuffer(GL_ARRAY_BUFFER, vb->store.name);
    const void* offset = reinterpret_cast<const void*>(static_cast<uintptr_t>(s.offset + a.offset));
    glVertexAttribPointer(a.location, a.size, a.type, a.normalised, static_cast<GLsizei>(s.stride), offset);
    glVertexAttribDivisor(a.location, (s.freq & kStreamInstanceData) ? 1 : 0);
    mask |= 1u << a.location;
  }
  for (GLuint i = 0; i < 16; ++i) {
    uint32_t bit = 1u << i;
    if ((mask & bit) && !(m_enabledAttribs & bit)) glEnableVertexAttribArray(i);
    if (!(mask & bit) && (m_enabledAttribs & bit)) glDisableVertexAttribArray(i);
  }
  m_enabledAttribs = mask;
  m_layoutDirty = false;
  m_appliedInstances = instances;
}

HResult DeviceImpl::DrawPrimitive(uint32_t type, uint32_t startVertex, uint32_t primitiveCount) {
  if (!OnRenderThread("DrawPrimitive")) return kErrInvalidCall;
  Record("DrawPrimitive type=" + std::to_string(type) + " start=" + std::to_string(startVertex) + " prims=" +
         std::to_string(primitiveCount));
  uint32_t count = VerticesFor(type, primitiveCount);
  if (count == 0) return primitiveCount == 0 ? kOk : kErrInvalidCall;
  uint32_t instances = InstanceCount();
  if (!ValidateDraw("DrawPrimitive", startVertex + count - 1, instances)) return kErrInvalidCall;
  if (!m_gl) return kOk;
  ApplyForDraw();
  ApplyLayout(instances);
  if (instances > 1 || (m_streams[0].freq & kStreamIndexedData))
    glDrawArraysInstanced(GlPrimitive(type), static_cast<GLint>(startVertex), static_cast<GLsizei>(count),
                          static_cast<GLsizei>(instances));
  else
    glDrawArrays(GlPrimitive(type), static_cast<GLint>(startVertex), static_cast<GLsizei>(count));
  return kOk;
}

HResult DeviceImpl::DrawIndexedPrimitive(uint32_t type, int32_t baseVertex, uint32_t minIndex, uint32_t numVertices,
                                         uint32_t startIndex, uint32_t primitiveCount) {
  if (!OnRenderThread("DrawIndexedPrimitive")) return kErrInvalidCall;
  if (m_rec)
    Record("DrawIndexedPrimitive type=" + std::to_string(type) + " base=" + std::to_string(baseVertex) + " min=" +
           std::to_string(minIndex) + " verts=" + std::to_string(numVertices) + " start=" +
           std::to_string(startIndex) + " prims=" + std::to_string(primitiveCount));
  uint32_t count = VerticesFor(type, primitiveCount);
  if (count == 0) return primitiveCount == 0 ? kOk : kErrInvalidCall;
  auto* ib = static_cast<IndexBufferImpl*>(m_indices);
  if (!ib) {
    m_core->Misuse("DrawIndexedPrimitive without indices");
    return kErrInvalidCall;
  }
  uint32_t isize = ib->IndexSize();
  if ((static_cast<uint64_t>(startIndex) + count) * isize > ib->Length()) {
    m_core->Misuse("DrawIndexedPrimitive: indices beyond the end of " + ib->DebugName());
    return kErrInvalidCall;
  }
  if (m_core->anyDirty.load()) DrainQueues();
  // The largest index in the whole buffer bounds the vertices read; only when that
  // bound fails is the drawn range itself scanned.
  uint32_t maxIndex = ib->store.maxIndex;
  if (baseVertex < 0) {
    m_core->Misuse("DrawIndexedPrimitive: negative base vertex");
    return kErrInvalidCall;
  }
  uint32_t instances = InstanceCount();
  if (!ValidateDraw("DrawIndexedPrimitive", static_cast<uint32_t>(baseVertex) + maxIndex, instances, false)) {
    if (!ValidateDraw("DrawIndexedPrimitive", 0, instances, true)) return kErrInvalidCall;
    uint32_t rangeMax = 0;
    {
      std::lock_guard<std::mutex> lock(ib->store.mutex);
      const uint8_t* p = ib->store.data.data() + static_cast<size_t>(startIndex) * isize;
      for (uint32_t i = 0; i < count; ++i) {
        uint32_t v = 0;
        std::memcpy(&v, p + static_cast<size_t>(i) * isize, isize);
        rangeMax = std::max(rangeMax, v);
      }
    }
    if (!ValidateDraw("DrawIndexedPrimitive", static_cast<uint32_t>(baseVertex) + rangeMax, instances, true))
      return kErrInvalidCall;
  }
  if (!m_gl) return kOk;
  ApplyForDraw();
  ApplyLayout(instances);
  GLenum itype = isize == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT;
  const void* offset = reinterpret_cast<const void*>(static_cast<uintptr_t>(startIndex) * isize);
  if (instances > 1 || (m_streams[0].freq & kStreamIndexedData))
    glDrawElementsInstancedBaseVertex(GlPrimitive(type), static_cast<GLsizei>(count), itype, offset,
                                      static_cast<GLsizei>(instances), baseVertex);
  else if (baseVertex != 0)
    glDrawElementsBaseVertex(GlPrimitive(type), static_cast<GLsizei>(count), itype, offset, baseVertex);
  else
    glDrawElements(GlPrimitive(type), static_cast<GLsizei>(count), itype, offset);
  return kOk;
}

HResult DeviceImpl::DrawPrimitiveUP(uint32_t type, uint32_t primitiveCount, const void* vertices, uint32_t stride) {
  if (!OnRenderThread("DrawPrimitiveUP")) return kErrInvalidCall;
  Record("DrawPrimitiveUP type=" + std::to_string(type) + " prims=" + std::to_string(primitiveCount) + " stride=" +
         std::to_string(stride));
  uint32_t count = VerticesFor(type, primitiveCount);
  if (count == 0) return primitiveCount == 0 ? kOk : kErrInvalidCall;
  if (!vertices || stride == 0) return kErrInvalidCall;
  if (!m_inScene) {
    m_core->Misuse("DrawPrimitiveUP outside BeginScene/EndScene");
    return kErrInvalidCall;
  }
  if (m_layout.empty() || (m_gl && !m_program)) {
    m_core->Misuse("DrawPrimitiveUP without a vertex format or program");
    return kErrInvalidCall;
  }
  for (const auto& a : m_layout)
    if (a.stream != 0 || a.offset + a.bytes > stride) {
      m_core->Misuse("DrawPrimitiveUP: the vertex format does not fit one stream of this stride");
      return kErrInvalidCall;
    }
  // As Direct3D: stream 0 is unset afterwards.
  if (m_streams[0].vb) {
    m_streams[0].vb->Release();
    m_streams[0].vb = nullptr;
  }
  m_layoutDirty = true;
  m_limitsValid = false;
  if (!m_gl) return kOk;
  ApplyForDraw();
  glBindBuffer(GL_ARRAY_BUFFER, m_upBuffer);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(count) * stride, vertices, GL_STREAM_DRAW);
  uint32_t mask = 0;
  for (const auto& a : m_layout) {
    glVertexAttribPointer(a.location, a.size, a.type, a.normalised, static_cast<GLsizei>(stride),
                          reinterpret_cast<const void*>(static_cast<uintptr_t>(a.offset)));
    glVertexAttribDivisor(a.location, 0);
    mask |= 1u << a.location;
  }
  for (GLuint i = 0; i < 16; ++i) {
    uint32_t bit = 1u << i;
    if ((mask & bit) && !(m_enabledAttribs & bit)) glEnableVertexAttribArray(i);
    if (!(mask & bit) && (m_enabledAttribs & bit)) glDisableVertexAttribArray(i);
  }
  m_enabledAttribs = mask;
  glDrawArrays(GlPrimitive(type), 0, static_cast<GLsizei>(count));
  return kOk;
}

// ---------------------------------------------------------------------------------
// GL state application.
void DeviceImpl::ApplyForDraw() {
  if (m_core->anyDirty.load()) DrainQueues();
  if (m_targetsDirty) ApplyTargets();
  if (m_viewportDirty) {
    glViewport(static_cast<GLint>(m_viewport.x), static_cast<GLint>(m_viewport.y),
               static_cast<GLsizei>(m_viewport.width), static_cast<GLsizei>(m_viewport.height));
    glDepthRangef(m_viewport.minZ, m_viewport.maxZ);
    m_viewportDirty = false;
  }
  if (m_statesDirty) ApplyRenderStates();
  if (m_samplerDirty || m_textureDirty) ApplySamplers();
}

void DeviceImpl::BindSurfaceTo(GLenum fboTarget, GLenum attachment, SurfaceImpl* s) {
  if (!s) {
    glFramebufferRenderbuffer(fboTarget, attachment, GL_RENDERBUFFER, 0);
    return;
  }
  if (s->kind == SurfaceImpl::Kind::TextureLevel) {
    TextureStore* store = StoreOf(s->owner);
    if (store->name == 0) DrainQueues();
    GLenum target = store->target == GL_TEXTURE_CUBE_MAP ? GL_TEXTURE_CUBE_MAP_POSITIVE_X + s->face : GL_TEXTURE_2D;
    glFramebufferTexture2D(fboTarget, attachment, target, store->name, static_cast<GLint>(s->level));
  } else {
    if (s->renderbuffer == 0) s->Upload();
    glFramebufferRenderbuffer(fboTarget, attachment, GL_RENDERBUFFER, s->renderbuffer);
  }
}

void DeviceImpl::ApplyTargets() {
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, m_fbo);
  GLenum buffers[4];
  GLsizei n = 0;
  uint32_t samples = 0, w = 0, h = 0;
  for (int i = 0; i < 4; ++i) {
    auto* s = static_cast<SurfaceImpl*>(m_targets[i]);
    BindSurfaceTo(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0 + i, s);
    buffers[i] = s ? GL_COLOR_ATTACHMENT0 + i : GL_NONE;
    if (s) {
      n = i + 1;
      if (i == 0) {
        samples = s->MultiSampleType();
        w = s->Width();
        h = s->Height();
      }
      if (s->kind == SurfaceImpl::Kind::TextureLevel)
        if (TextureStore* store = StoreOf(s->owner)) store->mipsStale = store->autoMips;
    }
  }
  glDrawBuffers(n, buffers);
  auto* d = static_cast<SurfaceImpl*>(m_depth);
  GLuint depthRb = 0;
  if (d) {
    if (d->renderbuffer == 0) d->Upload();
    // GL needs one sample count for all attachments, where Direct3D lets a
    // single-sampled target share a multisampled depth buffer: such a target gets a
    // twin of the depth buffer with its own sample count, filled from the depth
    // buffer each time it is bound (depth written through the twin stays there).
    if (d->MultiSampleType() == samples) {
      depthRb = d->renderbuffer;
    } else {
      depthRb = d->DepthTwin(samples, std::max(w, d->Width()), std::max(h, d->Height()));
      if (d->MultiSampleType() > 1 && samples <= 1) {
        GLbitfield bits = GL_DEPTH_BUFFER_BIT | (d->Format() == kFmtD24S8 ? GL_STENCIL_BUFFER_BIT : 0);
        GLenum point = d->Format() == kFmtD24S8 ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT;
        glBindFramebuffer(GL_READ_FRAMEBUFFER, m_readFbo);
        glFramebufferRenderbuffer(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, 0);
        glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
        glFramebufferRenderbuffer(GL_READ_FRAMEBUFFER, point, GL_RENDERBUFFER, d->renderbuffer);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, m_drawFbo);
        glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, 0);
        glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
        glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, point, GL_RENDERBUFFER, depthRb);
        glDisable(GL_SCISSOR_TEST);
        m_statesDirty = true;
        GLint dw = static_cast<GLint>(d->Width()), dh = static_cast<GLint>(d->Height());
        glBlitFramebuffer(0, 0, dw, dh, 0, 0, dw, dh, bits, GL_NEAREST);
        glFramebufferRenderbuffer(GL_READ_FRAMEBUFFER, point, GL_RENDERBUFFER, 0);
        glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, point, GL_RENDERBUFFER, 0);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, m_fbo);
      }
    }
  }
  bool stencil = d && d->Format() == kFmtD24S8;
  glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, 0);
  glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, stencil ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT,
                            GL_RENDERBUFFER, depthRb);
  GLenum status = glCheckFramebufferStatus(GL_DRAW_FRAMEBUFFER);
  if (status != GL_FRAMEBUFFER_COMPLETE)
    LogMessage("render target " + (m_targets[0] ? m_targets[0]->DebugName() : std::string("none")) +
               " is incomplete: " + Hex(status));
  m_targetsDirty = false;
}

void DeviceImpl::ApplyRenderStates() {
  const uint32_t* rs = m_rs;
  if (rs[kRsZEnable]) glEnable(GL_DEPTH_TEST); else glDisable(GL_DEPTH_TEST);
  glDepthMask(rs[kRsZWriteEnable] ? GL_TRUE : GL_FALSE);
  glDepthFunc(GlCompare(rs[kRsZFunc]));
  if (rs[kRsCullMode] == kCullNone) {
    glDisable(GL_CULL_FACE);
  } else {
    glEnable(GL_CULL_FACE);
    // Front faces are clockwise on screen; kCullCCW removes the others.
    glCullFace(rs[kRsCullMode] == kCullCW ? GL_FRONT : GL_BACK);
  }
  glPolygonMode(GL_FRONT_AND_BACK, rs[kRsFillMode] == kFillWireframe ? GL_LINE
                                   : rs[kRsFillMode] == kFillPoint   ? GL_POINT
                                                                     : GL_FILL);
  if (rs[kRsAlphaBlendEnable]) glEnable(GL_BLEND); else glDisable(GL_BLEND);
  if (rs[kRsSeparateAlphaBlendEnable]) {
    glBlendFuncSeparate(GlBlend(rs[kRsSrcBlend]), GlBlend(rs[kRsDestBlend]), GlBlend(rs[kRsSrcBlendAlpha]),
                        GlBlend(rs[kRsDestBlendAlpha]));
    glBlendEquationSeparate(GlBlendOp(rs[kRsBlendOp]), GlBlendOp(rs[kRsBlendOpAlpha]));
  } else {
    glBlendFunc(GlBlend(rs[kRsSrcBlend]), GlBlend(rs[kRsDestBlend]));
    glBlendEquation(GlBlendOp(rs[kRsBlendOp]));
  }
  uint32_t mask = rs[kRsColorWriteEnable];
  glColorMask(mask & 1 ? GL_TRUE : GL_FALSE, mask & 2 ? GL_TRUE : GL_FALSE, mask & 4 ? GL_TRUE : GL_FALSE,
              mask & 8 ? GL_TRUE : GL_FALSE);
  if (rs[kRsStencilEnable]) glEnable(GL_STENCIL_TEST); else glDisable(GL_STENCIL_TEST);
  glStencilFunc(GlCompare(rs[kRsStencilFunc]), static_cast<GLint>(rs[kRsStencilRef]), rs[kRsStencilMask]);
  glStencilOp(GlStencilOp(rs[kRsStencilFail]), GlStencilOp(rs[kRsStencilZFail]), GlStencilOp(rs[kRsStencilPass]));
  glStencilMask(rs[kRsStencilWriteMask]);
  if (rs[kRsScissorTestEnable]) {
    glEnable(GL_SCISSOR_TEST);
    glScissor(m_scissor.left, m_scissor.top, std::max(0, m_scissor.right - m_scissor.left),
              std::max(0, m_scissor.bottom - m_scissor.top));
  } else {
    glDisable(GL_SCISSOR_TEST);
  }
  float bias = AsFloat(rs[kRsDepthBias]), slope = AsFloat(rs[kRsSlopeScaleDepthBias]);
  if (bias != 0.0f || slope != 0.0f) {
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(slope, bias * 16777216.0f);
  } else {
    glDisable(GL_POLYGON_OFFSET_FILL);
  }
  m_statesDirty = false;
}

void DeviceImpl::ApplySamplers() {
  for (uint32_t i = 0; i < kMaxSamplers; ++i) {
    uint32_t bit = 1u << i;
    if (m_samplerDirty & bit) {
      const uint32_t* ss = m_ss[i];
      GLuint s = m_samplers[i];
      glSamplerParameteri(s, GL_TEXTURE_WRAP_S, static_cast<GLint>(GlAddress(ss[kSampAddressU])));
      glSamplerParameteri(s, GL_TEXTURE_WRAP_T, static_cast<GLint>(GlAddress(ss[kSampAddressV])));
      glSamplerParameteri(s, GL_TEXTURE_WRAP_R, static_cast<GLint>(GlAddress(ss[kSampAddressW])));
      uint32_t c = ss[kSampBorderColor];
      float border[4] = {((c >> 16) & 0xFF) / 255.0f, ((c >> 8) & 0xFF) / 255.0f, (c & 0xFF) / 255.0f,
                         ((c >> 24) & 0xFF) / 255.0f};
      glSamplerParameterfv(s, GL_TEXTURE_BORDER_COLOR, border);
      bool magLinear = ss[kSampMagFilter] >= kTexFilterLinear;
      bool minLinear = ss[kSampMinFilter] >= kTexFilterLinear;
      glSamplerParameteri(s, GL_TEXTURE_MAG_FILTER, magLinear ? GL_LINEAR : GL_NEAREST);
      GLint minFilter;
      switch (ss[kSampMipFilter]) {
        case kTexFilterNone: minFilter = minLinear ? GL_LINEAR : GL_NEAREST; break;
        case kTexFilterPoint: minFilter = minLinear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST; break;
        default: minFilter = minLinear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR; break;
      }
      glSamplerParameteri(s, GL_TEXTURE_MIN_FILTER, minFilter);
      if (m_haveAnisotropy) {
        float aniso = ss[kSampMinFilter] == kTexFilterAnisotropic ? static_cast<float>(std::max(1u, ss[kSampMaxAnisotropy])) : 1.0f;
        glSamplerParameterf(s, GL_TEXTURE_MAX_ANISOTROPY_EXT, aniso);
      }
    }
    BaseTexture* t = m_textures[i];
    TextureStore* store = StoreOf(t);
    bool regen = store && store->mipsStale;
    if ((m_textureDirty & bit) || regen) {
      glActiveTexture(GL_TEXTURE0 + i);
      if (m_boundTargets[i] && (!store || m_boundTargets[i] != store->target)) glBindTexture(m_boundTargets[i], 0);
      if (store) {
        glBindTexture(store->target, store->name);
        m_boundTargets[i] = store->target;
        if (regen) {
          glGenerateMipmap(store->target);
          store->mipsStale = false;
        }
      } else {
        m_boundTargets[i] = 0;
      }
    }
  }
  glActiveTexture(GL_TEXTURE0);
  m_samplerDirty = 0;
  m_textureDirty = 0;
}

void DeviceImpl::DrainQueues() {
  if (ThisThread() != m_thread) {
    m_core->Misuse("DrainQueues called off the render thread");
    return;
  }
  std::vector<GlGarbage> garbage;
  std::vector<ProgramImpl*> programs;
  {
    // The uploads run under the core's lock: a resource released meanwhile on
    // another thread waits in its destructor (which takes itself out of the set
    // under this lock) until its upload is over, and then hands its GL name to the
    // garbage.
    std::lock_guard<std::mutex> lock(m_core->mutex);
    for (ResourceImpl* r : m_core->dirty) r->Upload();
    m_core->dirty.clear();
    garbage.swap(m_core->garbage);
    programs.swap(m_core->pendingPrograms);
    m_core->anyDirty = false;
  }
  for (ProgramImpl* p : programs) {
    if (!p->Build()) LogMessage("program " + p->debugName + " failed to build: " + p->InfoLog());
    p->Release();
  }
  if (m_gl) {
    for (const auto& g : garbage) {
      switch (g.kind) {
        case GlGarbage::Buffer: glDeleteBuffers(1, &g.name); break;
        case GlGarbage::Texture: glDeleteTextures(1, &g.name); break;
        case GlGarbage::Renderbuffer: glDeleteRenderbuffers(1, &g.name); break;
        case GlGarbage::Program: glDeleteProgram(g.name); break;
      }
    }
    if (!garbage.empty()) {
      // A deleted name may be reused for a new object: bind everything again.
      m_targetsDirty = m_layoutDirty = true;
      m_textureDirty = 0xFFFF;
    }
  }
}

// ---------------------------------------------------------------------------------
// Frame.
HResult DeviceImpl::BeginScene() {
  if (!OnRenderThread("BeginScene")) return kErrInvalidCall;
  Record("BeginScene");
  if (m_inScene) {
    m_core->Misuse("BeginScene inside a scene");
    return kErrInvalidCall;
  }
  m_inScene = true;
  if (m_gl) DrainQueues();
  return kOk;
}

HResult DeviceImpl::EndScene() {
  if (!OnRenderThread("EndScene")) return kErrInvalidCall;
  Record("EndScene");
  if (!m_inScene) {
    m_core->Misuse("EndScene without BeginScene");
    return kErrInvalidCall;
  }
  m_inScene = false;
  return kOk;
}

HResult DeviceImpl::Clear(uint32_t rectCount, const Rect* rects, uint32_t flags, uint32_t colour, float z,
                          uint32_t stencil) {
  if (!OnRenderThread("Clear")) return kErrInvalidCall;
  Record("Clear rects=" + std::to_string(rectCount) + " flags=" + Hex(flags) + " colour=" + Hex(colour) + " z=" +
         std::to_string(z) + " stencil=" + std::to_string(stencil));
  if ((rectCount > 0 && !rects) || flags == 0 || (flags & ~7u)) return kErrInvalidCall;
  if ((flags & (kClearZBuffer | kClearStencil)) && !m_depth) {
    m_core->Misuse("Clear of depth or stencil without a depth-stencil surface");
    return kErrInvalidCall;
  }
  if (!m_gl) return kOk;
  ApplyForDraw();
  GLbitfield mask = 0;
  if (flags & kClearTarget) {
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClearColor(((colour >> 16) & 0xFF) / 255.0f, ((colour >> 8) & 0xFF) / 255.0f, (colour & 0xFF) / 255.0f,
                 ((colour >> 24) & 0xFF) / 255.0f);
    mask |= GL_COLOR_BUFFER_BIT;
  }
  if (flags & kClearZBuffer) {
    glDepthMask(GL_TRUE);
    glClearDepthf(z);
    mask |= GL_DEPTH_BUFFER_BIT;
  }
  if (flags & kClearStencil) {
    glStencilMask(0xFFFFFFFFu);
    glClearStencil(static_cast<GLint>(stencil));
    mask |= GL_STENCIL_BUFFER_BIT;
  }
  glEnable(GL_SCISSOR_TEST);
  int32_t vx0 = static_cast<int32_t>(m_viewport.x), vy0 = static_cast<int32_t>(m_viewport.y);
  int32_t vx1 = vx0 + static_cast<int32_t>(m_viewport.width), vy1 = vy0 + static_cast<int32_t>(m_viewport.height);
  auto clearRect = [&](int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    x0 = std::max(x0, vx0);
    y0 = std::max(y0, vy0);
    x1 = std::min(x1, vx1);
    y1 = std::min(y1, vy1);
    if (x1 <= x0 || y1 <= y0) return;
    glScissor(x0, y0, x1 - x0, y1 - y0);
    glClear(mask);
  };
  if (rectCount == 0) {
    clearRect(vx0, vy0, vx1, vy1);
  } else {
    for (uint32_t i = 0; i < rectCount; ++i) clearRect(rects[i].left, rects[i].top, rects[i].right, rects[i].bottom);
  }
  m_statesDirty = true;  // colour mask, depth mask and scissor go back at the next draw
  return kOk;
}

GLuint DeviceImpl::ReadFboFor(SurfaceImpl* s, GLenum fboTarget, GLuint fbo) {
  glBindFramebuffer(fboTarget, fbo);
  BindSurfaceTo(fboTarget, GL_COLOR_ATTACHMENT0, s);
  glFramebufferRenderbuffer(fboTarget, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, 0);
  return fbo;
}

HResult DeviceImpl::StretchRect(Surface* source, const Rect* sourceRect, Surface* dest, const Rect* destRect,
                                uint32_t filter) {
  if (!OnRenderThread("StretchRect")) return kErrInvalidCall;
  Record("StretchRect " + (source ? source->DebugName() : std::string("none")) + " -> " +
         (dest ? dest->DebugName() : std::string("none")) + " filter=" + std::to_string(filter));
  if (!source || !dest || source == dest || source->IsDepthStencil() || dest->IsDepthStencil() ||
      !(dest->Usage() & kUsageRenderTarget)) {
    m_core->Misuse("StretchRect: needs two different colour surfaces, the second a render target");
    return kErrInvalidCall;
  }
  Rect sr = sourceRect ? *sourceRect : Rect{0, 0, static_cast<int32_t>(source->Width()), static_cast<int32_t>(source->Height())};
  Rect dr = destRect ? *destRect : Rect{0, 0, static_cast<int32_t>(dest->Width()), static_cast<int32_t>(dest->Height())};
  auto inside = [](const Rect& r, Surface* s) {
    return r.left >= 0 && r.top >= 0 && r.right > r.left && r.bottom > r.top &&
           static_cast<uint32_t>(r.right) <= s->Width() && static_cast<uint32_t>(r.bottom) <= s->Height();
  };
  if (!inside(sr, source) || !inside(dr, dest)) {
    m_core->Misuse("StretchRect: rectangle outside its surface");
    return kErrInvalidCall;
  }
  if (!m_gl) return kOk;
  if (m_core->anyDirty.load()) DrainQueues();
  auto* src = static_cast<SurfaceImpl*>(source);
  auto* dst = static_cast<SurfaceImpl*>(dest);
  GLenum glFilter = filter >= kTexFilterLinear ? GL_LINEAR : GL_NEAREST;
  glDisable(GL_SCISSOR_TEST);
  bool sameSize = sr.right - sr.left == dr.right - dr.left && sr.bottom - sr.top == dr.bottom - dr.top;
  if (src->MultiSampleType() > 1 && (!sameSize || dst->MultiSampleType() > 1)) {
    // A multisampled source is resolved at its own size first.
    ReadFboFor(src, GL_READ_FRAMEBUFFER, m_readFbo);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, m_resolveFbo);
    glBlitFramebuffer(sr.left, sr.top, sr.right, sr.bottom, sr.left, sr.top, sr.right, sr.bottom,
                      GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, m_resolveFbo);
  } else {
    ReadFboFor(src, GL_READ_FRAMEBUFFER, m_readFbo);
  }
  ReadFboFor(dst, GL_DRAW_FRAMEBUFFER, m_drawFbo);
  glBlitFramebuffer(sr.left, sr.top, sr.right, sr.bottom, dr.left, dr.top, dr.right, dr.bottom, GL_COLOR_BUFFER_BIT,
                    glFilter);
  if (dst->kind == SurfaceImpl::Kind::TextureLevel)
    if (TextureStore* store = StoreOf(dst->owner)) store->mipsStale = store->autoMips;
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, m_fbo);
  m_statesDirty = true;
  return kOk;
}

HResult DeviceImpl::Present() {
  if (!OnRenderThread("Present")) return kErrInvalidCall;
  Record("Present");
  if (m_inScene) {
    m_core->Misuse("Present inside BeginScene/EndScene");
    return kErrInvalidCall;
  }
  if (m_lostCalls > 0 || m_needsReset) return kErrDeviceLost;
  if (!m_gl) return kOk;
  if (m_core->anyDirty.load()) DrainQueues();
  uint32_t w = m_pp.backBufferWidth, h = m_pp.backBufferHeight;
  if (m_backBuffer->renderbuffer == 0) m_backBuffer->Upload();
  glDisable(GL_SCISSOR_TEST);
  // Resolve into the single-sampled copy (also what ReadPixels reads), then show it
  // upside down: the window's rows run from the bottom.
  ReadFboFor(m_backBuffer, GL_READ_FRAMEBUFFER, m_readFbo);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, m_resolveFbo);
  glBlitFramebuffer(0, 0, w, h, 0, 0, w, h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
  int dw = 0, dh = 0;
  SDL_GL_GetDrawableSize(m_window->Handle(), &dw, &dh);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, m_resolveFbo);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  glClearColor(0, 0, 0, 1);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glClear(GL_COLOR_BUFFER_BIT);
  glBlitFramebuffer(0, 0, w, h, 0, dh, dw, 0, GL_COLOR_BUFFER_BIT,
                    static_cast<uint32_t>(dw) == w && static_cast<uint32_t>(dh) == h ? GL_NEAREST : GL_LINEAR);
  SDL_GL_SwapWindow(m_window->Handle());
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, m_fbo);
  m_statesDirty = true;
  m_everPresented = true;
  DrainQueues();
  return kOk;
}

HResult DeviceImpl::TestCooperativeLevel() {
  if (!OnRenderThread("TestCooperativeLevel")) return kErrInvalidCall;
  HResult hr = kOk;
  if (m_rec) hr = m_rec->NextCooperativeLevel();
  if (m_gl && !m_pp.windowed && m_window->Minimised()) {
    // A minimised full-screen window loses the device until it is restored.
    m_needsReset = true;
    hr = kErrDeviceLost;
  }
  if (hr == kOk) {
    if (m_lostCalls > 0) {
      --m_lostCalls;
      hr = kErrDeviceLost;
    } else if (m_needsReset) {
      hr = kErrDeviceNotReset;
    }
  }
  Record("TestCooperativeLevel -> " + Hex(static_cast<uint32_t>(hr)));
  return hr;
}

void DeviceImpl::SimulateDeviceLoss(uint32_t lostCalls) {
  m_lostCalls = lostCalls;
  m_needsReset = true;
}

HResult DeviceImpl::Reset(PresentParameters* parameters) {
  if (!OnRenderThread("Reset")) return kErrInvalidCall;
  Record("Reset" + (parameters ? " size=" + std::to_string(parameters->backBufferWidth) + "x" +
                                     std::to_string(parameters->backBufferHeight) + " samples=" +
                                     std::to_string(parameters->multiSampleType)
                               : std::string()));
  if (!parameters) return kErrInvalidCall;
  if (m_inScene) {
    m_core->Misuse("Reset inside BeginScene/EndScene");
    return kErrInvalidCall;
  }
  uint32_t live = m_core->defaultCount.load();
  if (live > 0) {
    m_core->Misuse("Reset with " + std::to_string(live) + " default-pool resources still alive");
    return kErrInvalidCall;
  }
  if (m_lostCalls > 0) return kErrDeviceLost;
  if (m_rec && Failed(m_rec->resetResult)) return m_rec->resetResult;
  m_pp = *parameters;
  if (m_pp.backBufferWidth == 0 || m_pp.backBufferHeight == 0) {
    m_pp.backBufferWidth = m_window ? static_cast<uint32_t>(std::max(1, m_window->Width())) : 640;
    m_pp.backBufferHeight = m_window ? static_cast<uint32_t>(std::max(1, m_window->Height())) : 480;
    *parameters = m_pp;
  }
  BuildSwapChain();
  ResetState();
  m_needsReset = false;
  if (m_gl) DrainQueues();
  return kOk;
}

HResult DeviceImpl::GetDeviceCaps(Caps* caps) { return m_gpu->GetDeviceCaps(0, kDevTypeHal, caps); }

HResult DeviceImpl::ReadPixels(Surface* surface, const Rect& r, std::vector<uint8_t>* bgra) {
  if (!OnRenderThread("ReadPixels")) return kErrInvalidCall;
  if (!bgra) return kErrInvalidCall;
  Surface* s = surface ? surface : m_backBuffer;
  if (r.left < 0 || r.top < 0 || r.right <= r.left || r.bottom <= r.top ||
      static_cast<uint32_t>(r.right) > s->Width() || static_cast<uint32_t>(r.bottom) > s->Height() ||
      s->IsDepthStencil()) {
    m_core->Misuse("ReadPixels: rectangle outside the surface");
    return kErrInvalidCall;
  }
  uint32_t w = static_cast<uint32_t>(r.right - r.left), h = static_cast<uint32_t>(r.bottom - r.top);
  bgra->assign(static_cast<size_t>(w) * h * 4, 0);
  if (!m_gl) return kOk;
  if (m_core->anyDirty.load()) DrainQueues();
  auto* si = static_cast<SurfaceImpl*>(s);
  if (!surface) {
    if (!m_everPresented) return kErrNotAvailable;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, m_resolveFbo);
  } else if (si->MultiSampleType() > 1) {
    glDisable(GL_SCISSOR_TEST);
    m_statesDirty = true;
    ReadFboFor(si, GL_READ_FRAMEBUFFER, m_readFbo);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, m_resolveFbo);
    glBlitFramebuffer(r.left, r.top, r.right, r.bottom, r.left, r.top, r.right, r.bottom, GL_COLOR_BUFFER_BIT,
                      GL_NEAREST);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, m_fbo);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, m_resolveFbo);
    m_everPresented = false;  // the copy no longer holds the presented frame
  } else {
    ReadFboFor(si, GL_READ_FRAMEBUFFER, m_readFbo);
  }
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  if (s->Format() == kFmtA8) {
    std::vector<uint8_t> a(static_cast<size_t>(w) * h);
    glReadPixels(r.left, r.top, static_cast<GLsizei>(w), static_cast<GLsizei>(h), GL_RED, GL_UNSIGNED_BYTE, a.data());
    for (size_t i = 0; i < a.size(); ++i) (*bgra)[i * 4 + 3] = a[i];
  } else {
    glReadPixels(r.left, r.top, static_cast<GLsizei>(w), static_cast<GLsizei>(h), GL_BGRA, GL_UNSIGNED_BYTE,
                 bgra->data());
  }
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  return glGetError() == GL_NO_ERROR ? kOk : kErrFail;
}

// ---------------------------------------------------------------------------------
// D3DX-style render-to-surface: a scene on a surface with its own depth buffer.
class RenderToSurfaceImpl final : public RenderToSurface {
public:
  RenderToSurfaceImpl(DeviceImpl* device, uint32_t width, uint32_t height, uint32_t format, bool depthStencil,
                      uint32_t depthFormat)
      : m_device(device), m_width(width), m_height(height), m_format(format), m_wantDepth(depthStencil),
        m_depthFormat(depthFormat) {
    m_device->AddRef();
    MakeDepth();
  }
  ~RenderToSurfaceImpl() override {
    if (m_inScene) EndScene(kDxFilterNone);
    if (m_depth) m_depth->Release();
    m_device->Release();
  }

  HResult BeginScene(Surface* surface, const Viewport* viewport) override {
    m_device->Record("RenderToSurface::BeginScene " + (surface ? surface->DebugName() : std::string("none")));
    if (m_inScene || !surface) {
      m_device->Core().Misuse("RenderToSurface::BeginScene: already in a scene or no surface");
      return kErrInvalidCall;
    }
    HResult hr = m_device->GetRenderTarget(0, &m_savedTarget);
    if (Failed(hr)) return hr;
    if (Failed(m_device->GetDepthStencilSurface(&m_savedDepth))) m_savedDepth = nullptr;
    m_device->GetViewport(&m_savedViewport);
    hr = m_device->SetRenderTarget(0, surface);
    if (Failed(hr)) {
      Restore();
      return hr;
    }
    m_device->SetDepthStencilSurface(m_depth);
    if (viewport) m_device->SetViewport(*viewport);
    m_openedScene = !m_device->m_inScene;
    if (m_openedScene) m_device->BeginScene();
    m_inScene = true;
    return kOk;
  }

  HResult EndScene(uint32_t mipFilter) override {
    m_device->Record("RenderToSurface::EndScene filter=" + std::to_string(mipFilter));
    if (!m_inScene) {
      m_device->Core().Misuse("RenderToSurface::EndScene without BeginScene");
      return kErrInvalidCall;
    }
    if (m_openedScene) m_device->EndScene();
    Restore();
    m_inScene = false;
    return kOk;
  }

  HResult OnLostDevice() override {
    if (m_depth) {
      m_depth->Release();
      m_depth = nullptr;
    }
    return kOk;
  }

  HResult OnResetDevice() override {
    MakeDepth();
    return kOk;
  }

private:
  void MakeDepth() {
    if (m_wantDepth && !m_depth)
      m_device->CreateDepthStencilSurface(m_width, m_height, m_depthFormat, 0, &m_depth);
  }
  void Restore() {
    if (m_savedTarget) m_device->SetRenderTarget(0, m_savedTarget);
    m_device->SetDepthStencilSurface(m_savedDepth);
    m_device->SetViewport(m_savedViewport);
    if (m_savedTarget) m_savedTarget->Release();
    if (m_savedDepth) m_savedDepth->Release();
    m_savedTarget = m_savedDepth = nullptr;
  }

  DeviceImpl* m_device;
  uint32_t m_width, m_height, m_format;
  bool m_wantDepth;
  uint32_t m_depthFormat;
  Surface* m_depth = nullptr;
  Surface* m_savedTarget = nullptr;
  Surface* m_savedDepth = nullptr;
  Viewport m_savedViewport;
  bool m_inScene = false, m_openedScene = false;
};

HResult DeviceImpl::CreateRenderToSurface(uint32_t width, uint32_t height, uint32_t format, bool depthStencil,
                                          uint32_t depthFormat, RenderToSurface** out) {
  Record("CreateRenderToSurface size=" + std::to_string(width) + "x" + std::to_string(height) + " format=" +
         std::to_string(format) + " depth=" + std::to_string(depthStencil) + " depthFormat=" +
         std::to_string(depthFormat));
  if (!out || width == 0 || height == 0 || (depthStencil && !IsDepthFormat(depthFormat))) {
    if (out) *out = nullptr;
    return kErrInvalidCall;
  }
  if (ShouldFail("CreateRenderToSurface")) return CreationFailure("CreateRenderToSurface", out);
  *out = new RenderToSurfaceImpl(this, width, height, format, depthStencil, depthFormat);
  return kOk;
}

// ---------------------------------------------------------------------------------
// Sprite: textured quads in target pixels.
class SpriteImpl final : public Sprite {
public:
  explicit SpriteImpl(DeviceImpl* device) : m_device(device) {
    m_device->AddRef();
    for (int i = 0; i < 16; ++i) m_transform[i] = (i % 5 == 0) ? 1.0f : 0.0f;
  }
  ~SpriteImpl() override {
    if (m_begun) End();
    if (m_program) m_program->Release();
    m_device->Release();
  }

  HResult Begin(uint32_t flags) override {
    m_device->Record("Sprite::Begin flags=" + Hex(flags));
    if (m_begun) {
      m_device->Core().Misuse("Sprite::Begin twice");
      return kErrInvalidCall;
    }
    if (!m_program) {
      std::string log;
      if (Failed(m_device->CreateProgram(kSpriteVs, kSpriteFs, &m_program, &log))) {
        LogMessage("the sprite program did not build: " + log);
        return kErrFail;
      }
    }
    DeviceImpl& d = *m_device;
    m_savedProgram = d.m_program;
    if (m_savedProgram) m_savedProgram->AddRef();
    m_savedFvf = d.m_fvf;
    m_savedDecl = d.m_decl;
    if (m_savedDecl) m_savedDecl->AddRef();
    m_savedTexture = d.m_textures[0];
    if (m_savedTexture) m_savedTexture->AddRef();
    for (uint32_t s : kStates) m_savedStates[s] = d.m_rs[s];
    std::memcpy(m_savedSampler, d.m_ss[0], sizeof m_savedSampler);
    d.SetRenderState(kRsCullMode, kCullNone);
    d.SetRenderState(kRsZEnable, 0);
    d.SetRenderState(kRsZWriteEnable, 0);
    d.SetRenderState(kRsAlphaTestEnable, 0);
    d.SetRenderState(kRsSeparateAlphaBlendEnable, 0);
    d.SetRenderState(kRsColorWriteEnable, 0xF);
    d.SetRenderState(kRsBlendOp, kBlendOpAdd);
    d.SetRenderState(kRsAlphaBlendEnable, (flags & kSpriteAlphaBlend) ? 1 : 0);
    d.SetRenderState(kRsSrcBlend, kBlendSrcAlpha);
    d.SetRenderState(kRsDestBlend, kBlendInvSrcAlpha);
    d.SetSamplerState(0, kSampAddressU, kAddressClamp);
    d.SetSamplerState(0, kSampAddressV, kAddressClamp);
    d.SetSamplerState(0, kSampMagFilter, kTexFilterLinear);
    d.SetSamplerState(0, kSampMinFilter, kTexFilterLinear);
    d.SetSamplerState(0, kSampMipFilter, kTexFilterNone);
    m_begun = true;
    return kOk;
  }

  HResult SetTransform(const float matrix[16]) override {
    if (!matrix) return kErrInvalidCall;
    std::memcpy(m_transform, matrix, sizeof m_transform);
    return kOk;
  }

  HResult Draw(BaseTexture* texture, const Rect* source, const float center[3], const float position[3],
               uint32_t colour) override {
    m_device->Record("Sprite::Draw " + (texture ? texture->DebugName() : std::string("none")) + " colour=" + Hex(colour));
    if (!m_begun || !texture || texture->Type() != ResourceType::Texture) {
      m_device->Core().Misuse("Sprite::Draw outside Begin/End or without a 2D texture");
      return kErrInvalidCall;
    }
    auto* t = static_cast<Texture*>(texture);
    float tw = static_cast<float>(t->Width()), th = static_cast<float>(t->Height());
    Rect r = source ? *source : Rect{0, 0, static_cast<int32_t>(t->Width()), static_cast<int32_t>(t->Height())};
    float cx = center ? center[0] : 0.0f, cy = center ? center[1] : 0.0f, cz = center ? center[2] : 0.0f;
    float px = position ? position[0] : 0.0f, py = position ? position[1] : 0.0f, pz = position ? position[2] : 0.0f;
    float w = static_cast<float>(r.right - r.left), h = static_cast<float>(r.bottom - r.top);
    float u0 = r.left / tw, v0 = r.top / th, u1 = r.right / tw, v1 = r.bottom / th;
    float corners[4][4] = {{0, 0, u0, v0}, {w, 0, u1, v0}, {0, h, u0, v1}, {w, h, u1, v1}};
    Quad q;
    q.texture = t;
    t->AddRef();
    for (int i = 0; i < 4; ++i) {
      float x = px - cx + corners[i][0], y = py - cy + corners[i][1], z = pz - cz;
      const float* m = m_transform;
      q.v[i].x = x * m[0] + y * m[4] + z * m[8] + m[12];
      q.v[i].y = x * m[1] + y * m[5] + z * m[9] + m[13];
      q.v[i].z = x * m[2] + y * m[6] + z * m[10] + m[14];
      q.v[i].colour = colour;
      q.v[i].u = corners[i][2];
      q.v[i].v = corners[i][3];
    }
    m_quads.push_back(q);
    return kOk;
  }

  HResult Flush() override {
    m_device->Record("Sprite::Flush quads=" + std::to_string(m_quads.size()));
    if (!m_begun) return kErrInvalidCall;
    HResult result = kOk;
    DeviceImpl& d = *m_device;
    if (!m_quads.empty()) {
      d.SetProgram(m_program);
      int unit = 0;
      d.SetUniformInts(m_program->UniformLocation("u_texture"), 1, &unit);
      d.SetFVF(kFvfXyz | kFvfDiffuse | (1u << kFvfTexCountShift));
      const Viewport& vp = d.m_viewport;
      std::vector<Vertex> batch;
      for (size_t i = 0; i < m_quads.size(); ++i) {
        const Quad& q = m_quads[i];
        static const int kOrder[6] = {0, 1, 2, 2, 1, 3};
        for (int k : kOrder) {
          Vertex v = q.v[k];
          v.x = (v.x - vp.x) / vp.width * 2.0f - 1.0f;
          v.y = 1.0f - (v.y - vp.y) / vp.height * 2.0f;
          batch.push_back(v);
        }
        bool last = i + 1 == m_quads.size() || m_quads[i + 1].texture != q.texture;
        if (last) {
          d.SetTexture(0, q.texture);
          HResult hr = d.DrawPrimitiveUP(kTriangleList, static_cast<uint32_t>(batch.size() / 3), batch.data(),
                                         sizeof(Vertex));
          if (Failed(hr)) result = hr;
          batch.clear();
        }
      }
    }
    for (auto& q : m_quads) q.texture->Release();
    m_quads.clear();
    return result;
  }

  HResult End() override {
    m_device->Record("Sprite::End");
    if (!m_begun) {
      m_device->Core().Misuse("Sprite::End without Begin");
      return kErrInvalidCall;
    }
    HResult hr = Flush();
    DeviceImpl& d = *m_device;
    d.SetProgram(m_savedProgram);
    if (m_savedDecl)
      d.SetVertexDeclaration(m_savedDecl);
    else if (m_savedFvf)
      d.SetFVF(m_savedFvf);
    d.SetTexture(0, m_savedTexture);
    for (uint32_t s : kStates) d.SetRenderState(s, m_savedStates[s]);
    for (uint32_t s = 0; s < 16; ++s) d.SetSamplerState(0, s, m_savedSampler[s]);
    if (m_savedProgram) m_savedProgram->Release();
    if (m_savedDecl) m_savedDecl->Release();
    if (m_savedTexture) m_savedTexture->Release();
    m_savedProgram = nullptr;
    m_savedDecl = nullptr;
    m_savedTexture = nullptr;
    m_begun = false;
    return hr;
  }

  HResult OnLostDevice() override { return kOk; }
  HResult OnResetDevice() override { return kOk; }

private:
  struct Vertex {
    float x, y, z;
    uint32_t colour;
    float u, v;
  };
  struct Quad {
    Texture* texture;
    Vertex v[4];
  };
  static constexpr uint32_t kStates[10] = {kRsCullMode, kRsZEnable, kRsZWriteEnable, kRsAlphaTestEnable,
                                           kRsSeparateAlphaBlendEnable, kRsColorWriteEnable, kRsBlendOp,
                                           kRsAlphaBlendEnable, kRsSrcBlend, kRsDestBlend};
  DeviceImpl* m_device;
  Program* m_program = nullptr;
  float m_transform[16];
  std::vector<Quad> m_quads;
  bool m_begun = false;
  Program* m_savedProgram = nullptr;
  uint32_t m_savedFvf = 0;
  VertexDeclaration* m_savedDecl = nullptr;
  BaseTexture* m_savedTexture = nullptr;
  uint32_t m_savedStates[kRenderStateCount] = {};
  uint32_t m_savedSampler[16] = {};
};

constexpr uint32_t SpriteImpl::kStates[10];

HResult DeviceImpl::CreateSprite(Sprite** out) {
  Record("CreateSprite");
  if (!out) return kErrInvalidCall;
  *out = nullptr;
  if (ShouldFail("CreateSprite")) return CreationFailure("CreateSprite", out);
  *out = new SpriteImpl(this);
  return kOk;
}

}  // namespace gpu
}  // namespace plat
