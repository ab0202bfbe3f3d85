// The device's front end, one implementation for both back ends: creation, state,
// validation, recording and the frame. With GL each call ends in the GL side
// (DeviceGl.cpp); without it the device only keeps the state, checks the calls and
// records them.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/gpu/DeviceImpl.h"
#include "platform/gpu/Helpers.h"
#include "platform/image/Image.h"
#include "platform/thread/Thread.h"
#include "platform/window/Window.h"

namespace plat {
namespace gpu {

uint64_t ThisThread() {
  thread_local uint64_t id = CurrentThreadId();
  return id;
}

uint32_t VerticesFor(uint32_t type, uint32_t prims) {
  switch (type) {
    case kPointList:
      return prims;
    case kLineList:
      return prims * 2;
    case kLineStrip:
      return prims ? prims + 1 : 0;
    case kTriangleList:
      return prims * 3;
    case kTriangleStrip:
    case kTriangleFan:
      return prims ? prims + 2 : 0;
    default:
      return 0;
  }
}

namespace {

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

}  // namespace

// ---------------------------------------------------------------------------------
DeviceImpl::DeviceImpl(Gpu* gpu, void* glContext, std::shared_ptr<Recorder> rec, Window* window,
                       const PresentParameters& pp)
    : m_gpu(gpu),
      m_context(glContext),
      m_rec(rec),
      m_core(std::make_shared<DeviceCore>(rec, rec == nullptr)),
      m_gl(rec == nullptr),
      m_window(window),
      m_pp(pp),
      m_thread(ThisThread()) {
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
  if (m_gl && !GlInit(error)) return false;
  BuildSwapChain();
  ResetState();
  if (m_gl && !GlCheckErrors("while making the back buffer", error)) return false;
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
  if (m_gl && ThisThread() == m_thread) GlShutdown();
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
    m_backBuffer =
        new SurfaceImpl(m_core, SurfaceImpl::Kind::BackBuffer, m_pp.backBufferWidth,
                        m_pp.backBufferHeight, kFmtA8R8G8B8, samples, kPoolDefault, false);
  } else {
    m_backBuffer->Rebuild(m_pp.backBufferWidth, m_pp.backBufferHeight, kFmtA8R8G8B8, samples);
  }
  if (m_pp.enableAutoDepthStencil) {
    uint32_t format =
        IsDepthFormat(m_pp.autoDepthStencilFormat) ? m_pp.autoDepthStencilFormat : kFmtD24S8;
    if (!m_autoDepth)
      m_autoDepth = new SurfaceImpl(m_core, SurfaceImpl::Kind::Renderbuffer, m_pp.backBufferWidth,
                                    m_pp.backBufferHeight, format, samples, kPoolDefault, false);
    else
      m_autoDepth->Rebuild(m_pp.backBufferWidth, m_pp.backBufferHeight, format, samples);
  } else if (m_autoDepth) {
    m_autoDepth->Release();
    m_autoDepth = nullptr;
  }
  if (m_gl) GlBuildSwapChain();
  m_glo.everPresented = false;
}

// What a new device or a reset device starts with.
void DeviceImpl::ResetState() {
  DefaultRenderStates(m_rs, m_pp.enableAutoDepthStencil);
  DefaultSamplerStates(m_ss);
  SetRef(m_targets[0], m_backBuffer);
  for (int i = 1; i < 4; ++i) SetRef(m_targets[i], nullptr);
  SetRef(m_depth, m_autoDepth);
  m_viewport = {0, 0, m_pp.backBufferWidth, m_pp.backBufferHeight, 0.0f, 1.0f};
  m_scissor = {0, 0, static_cast<int32_t>(m_pp.backBufferWidth),
               static_cast<int32_t>(m_pp.backBufferHeight)};
  m_targetsDirty = m_statesDirty = m_layoutDirty = m_viewportDirty = true;
  m_limitsValid = false;
  m_samplerDirty = m_textureDirty = 0xFFFF;
  m_inScene = false;
}

std::string DeviceImpl::Context() const {
  std::string target = m_targets[0] ? m_targets[0]->DebugName() : "none";
  return " [effect=" + (m_effect.empty() ? std::string("none") : m_effect) +
         " pass=" + std::to_string(m_pass) + " target=" + target + "]";
}

HResult DeviceImpl::CreationFailure(const char* call, void* out) {
  if (m_core->LogCalls()) m_core->Record(std::string(call) + " failed (injected)");
  if (out) *static_cast<void**>(out) = nullptr;
  return m_rec ? m_rec->failResult : kErrOutOfVideoMemory;
}

// ---------------------------------------------------------------------------------
// Resource creation.
HResult DeviceImpl::CreateVertexBuffer(uint32_t length, uint32_t usage, uint32_t fvf, uint32_t pool,
                                       VertexBuffer** out) {
  if (LogCalls())
    Record("CreateVertexBuffer length=" + std::to_string(length) + " usage=" + Hex(usage) +
           " fvf=" + Hex(fvf) + " pool=" + std::to_string(pool));
  if (!out || length == 0) {
    m_core->Misuse("CreateVertexBuffer: empty buffer or no output");
    if (out) *out = nullptr;
    return kErrInvalidCall;
  }
  if (ShouldFail("CreateVertexBuffer")) return CreationFailure("CreateVertexBuffer", out);
  *out = new VertexBufferImpl(m_core, length, usage, fvf, pool);
  return kOk;
}

HResult DeviceImpl::CreateIndexBuffer(uint32_t length, uint32_t usage, uint32_t format,
                                      uint32_t pool, IndexBuffer** out) {
  if (LogCalls())
    Record("CreateIndexBuffer length=" + std::to_string(length) + " usage=" + Hex(usage) +
           " format=" + std::to_string(format) + " pool=" + std::to_string(pool));
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
  if (LogCalls())
    Record("CreateTexture size=" + std::to_string(width) + "x" + std::to_string(height) +
           " levels=" + std::to_string(levels) + " usage=" + Hex(usage) +
           " format=" + std::to_string(format) + " pool=" + std::to_string(pool));
  GlFormat gf;
  if (!out || width == 0 || height == 0 || width > 16384 || height > 16384 ||
      !LookUpFormat(format, &gf) || IsDepthFormat(format) ||
      ((usage & kUsageRenderTarget) && (gf.compressed || pool != kPoolDefault))) {
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

HResult DeviceImpl::CreateCubeTexture(uint32_t edge, uint32_t levels, uint32_t usage,
                                      uint32_t format, uint32_t pool, CubeTexture** out) {
  if (LogCalls())
    Record("CreateCubeTexture edge=" + std::to_string(edge) + " levels=" + std::to_string(levels) +
           " usage=" + Hex(usage) + " format=" + std::to_string(format) +
           " pool=" + std::to_string(pool));
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

HResult DeviceImpl::CreateVolumeTexture(uint32_t width, uint32_t height, uint32_t depth,
                                        uint32_t levels, uint32_t usage, uint32_t format,
                                        uint32_t pool, VolumeTexture** out) {
  if (LogCalls())
    Record("CreateVolumeTexture size=" + std::to_string(width) + "x" + std::to_string(height) +
           "x" + std::to_string(depth) + " levels=" + std::to_string(levels) + " usage=" +
           Hex(usage) + " format=" + std::to_string(format) + " pool=" + std::to_string(pool));
  GlFormat gf;
  if (!out || width == 0 || height == 0 || depth == 0 || width > 2048 || height > 2048 ||
      depth > 2048 || !LookUpFormat(format, &gf) || IsDepthFormat(format) ||
      (usage & (kUsageRenderTarget | kUsageDepthStencil))) {
    m_core->Misuse("CreateVolumeTexture: bad size, format or usage");
    if (out) *out = nullptr;
    return kErrInvalidCall;
  }
  if (ShouldFail("CreateVolumeTexture")) return CreationFailure("CreateVolumeTexture", out);
  uint32_t full = FullMipCount(width, height, depth);
  if (levels == 0 || levels > full) levels = full;
  *out = new VolumeTextureImpl(m_core, width, height, depth, levels, usage, format, pool);
  return kOk;
}

HResult DeviceImpl::CreateTextureFromImage(const image::Image& img, BaseTexture** out) {
  if (LogCalls())
    Record("CreateTextureFromImage kind=" + std::to_string(static_cast<int>(img.kind)) +
           " size=" + std::to_string(img.width) + "x" + std::to_string(img.height) + "x" +
           std::to_string(img.depth) + " levels=" + std::to_string(img.mipLevels) +
           " format=" + Hex(img.format));
  if (!out) return kErrInvalidCall;
  *out = nullptr;
  GlFormat gf;
  uint32_t faces = img.kind == image::Kind::Cube ? 6 : 1;
  uint32_t depth = img.kind == image::Kind::Volume ? img.depth : 1;
  bool ok = LookUpFormat(img.format, &gf) && !IsDepthFormat(img.format) && img.width > 0 &&
            img.height > 0 && depth > 0 && img.mipLevels > 0 &&
            img.mipLevels <= FullMipCount(img.width, img.height, depth) &&
            img.levels.size() == static_cast<size_t>(faces) * img.mipLevels &&
            (img.kind != image::Kind::Cube || img.width == img.height);
  // Every level must hold exactly the bytes its size implies.
  for (uint32_t f = 0; ok && f < faces; ++f) {
    uint32_t w = img.width, h = img.height, d = depth;
    for (uint32_t l = 0; ok && l < img.mipLevels; ++l) {
      const auto& level = img.levels[f * img.mipLevels + l];
      ok = level.width == w && level.height == h &&
           level.data.size() == FormatLevelSize(img.format, w, h) * d;
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
    auto* t = new VolumeTextureImpl(m_core, img.width, img.height, img.depth, img.mipLevels, 0,
                                    img.format, kPoolManaged);
    store = &t->store;
    texture = t;
  } else if (img.kind == image::Kind::Cube) {
    auto* t = new CubeTextureImpl(m_core, img.width, img.mipLevels, 0, img.format, kPoolManaged);
    store = &t->store;
    texture = t;
  } else {
    auto* t =
        new TextureImpl(m_core, img.width, img.height, img.mipLevels, 0, img.format, kPoolManaged);
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
  if (LogCalls())
    Record("CreateDepthStencilSurface size=" + std::to_string(width) + "x" +
           std::to_string(height) + " format=" + std::to_string(format) +
           " samples=" + std::to_string(multiSample));
  if (!out || width == 0 || height == 0 || !IsDepthFormat(format)) {
    m_core->Misuse("CreateDepthStencilSurface: bad size or format");
    if (out) *out = nullptr;
    return kErrInvalidCall;
  }
  if (ShouldFail("CreateDepthStencilSurface"))
    return CreationFailure("CreateDepthStencilSurface", out);
  *out = new SurfaceImpl(m_core, SurfaceImpl::Kind::Renderbuffer, width, height, format,
                         multiSample >= 2 ? multiSample : 0, kPoolDefault, true);
  return kOk;
}

HResult DeviceImpl::CreateRenderTarget(uint32_t width, uint32_t height, uint32_t format,
                                       uint32_t multiSample, Surface** out) {
  if (LogCalls())
    Record("CreateRenderTarget size=" + std::to_string(width) + "x" + std::to_string(height) +
           " format=" + std::to_string(format) + " samples=" + std::to_string(multiSample));
  GlFormat gf;
  if (!out || width == 0 || height == 0 || !LookUpFormat(format, &gf) || gf.compressed ||
      IsDepthFormat(format)) {
    m_core->Misuse("CreateRenderTarget: bad size or format");
    if (out) *out = nullptr;
    return kErrInvalidCall;
  }
  if (ShouldFail("CreateRenderTarget")) return CreationFailure("CreateRenderTarget", out);
  *out = new SurfaceImpl(m_core, SurfaceImpl::Kind::Renderbuffer, width, height, format,
                         multiSample >= 2 ? multiSample : 0, kPoolDefault, true);
  return kOk;
}

HResult DeviceImpl::CreateVertexDeclaration(const VertexElement* elements,
                                            VertexDeclaration** out) {
  if (LogCalls()) Record("CreateVertexDeclaration");
  if (!out || !elements) return kErrInvalidCall;
  *out = nullptr;
  std::vector<VertexElement> list;
  for (size_t i = 0; i < 64 && elements[i].stream != 0xFF; ++i) list.push_back(elements[i]);
  std::vector<AttribDesc> layout;
  if (list.empty() || list.size() == 64 || !LayoutFromElements(list, &layout)) {
    m_core->Misuse(
        "CreateVertexDeclaration: unterminated or unsupported elements, or two on one location");
    return kErrInvalidCall;
  }
  if (ShouldFail("CreateVertexDeclaration")) return CreationFailure("CreateVertexDeclaration", out);
  *out = new VertexDeclarationImpl(std::move(list));
  return kOk;
}

HResult DeviceImpl::CreateRenderToSurface(uint32_t width, uint32_t height, uint32_t format,
                                          bool depthStencil, uint32_t depthFormat,
                                          RenderToSurface** out) {
  if (LogCalls())
    Record("CreateRenderToSurface size=" + std::to_string(width) + "x" + std::to_string(height) +
           " format=" + std::to_string(format) + " depth=" + std::to_string(depthStencil) +
           " depthFormat=" + std::to_string(depthFormat));
  if (!out || width == 0 || height == 0 || (depthStencil && !IsDepthFormat(depthFormat))) {
    if (out) *out = nullptr;
    return kErrInvalidCall;
  }
  if (ShouldFail("CreateRenderToSurface")) return CreationFailure("CreateRenderToSurface", out);
  *out = NewRenderToSurface(this, width, height, format, depthStencil, depthFormat);
  return kOk;
}

HResult DeviceImpl::CreateSprite(Sprite** out) {
  if (LogCalls()) Record("CreateSprite");
  if (!out) return kErrInvalidCall;
  *out = nullptr;
  if (ShouldFail("CreateSprite")) return CreationFailure("CreateSprite", out);
  *out = NewSprite(this);
  return kOk;
}

// ---------------------------------------------------------------------------------
// Shaders.
HResult DeviceImpl::CreateProgram(const char* vertexSource, const char* fragmentSource,
                                  Program** out, std::string* log) {
  if (LogCalls()) Record("CreateProgram");
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

HResult DeviceImpl::CreateUniformBuffer(uint32_t size, UniformBuffer** out) {
  if (LogCalls()) Record("CreateUniformBuffer size=" + std::to_string(size));
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
  if (LogCalls()) Record("SetProgram " + (p ? p->debugName : std::string("none")));
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
  if (m_gl) GlUseProgram(p);
  return kOk;
}

HResult DeviceImpl::GetProgram(Program** program) {
  if (!OnRenderThread("GetProgram")) return kErrInvalidCall;
  if (!program) return kErrInvalidCall;
  *program = m_program;
  if (m_program) m_program->AddRef();
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

HResult DeviceImpl::SetUniformVectors(int location, uint32_t components, uint32_t count,
                                      const float* values) {
  if (!OnRenderThread("SetUniformVectors")) return kErrInvalidCall;
  if (LogCalls())
    Record("SetUniformVectors loc=" + std::to_string(location) +
           " components=" + std::to_string(components) + " n=" + std::to_string(count) +
           Values(values, static_cast<size_t>(count) * components));
  if (!m_program || !values || components < 1 || components > 4) return kErrInvalidCall;
  if (location < 0) return kOk;
  if (m_gl) GlUniform(location, components, count, values);
  return kOk;
}

HResult DeviceImpl::SetUniformFloats(int location, uint32_t vec4Count, const float* values) {
  if (!OnRenderThread("SetUniformFloats")) return kErrInvalidCall;
  if (LogCalls())
    Record("SetUniformFloats loc=" + std::to_string(location) + " n=" + std::to_string(vec4Count) +
           Values(values, static_cast<size_t>(vec4Count) * 4));
  if (!m_program || !values) return kErrInvalidCall;
  if (location < 0) return kOk;  // as GL: an absent uniform is ignored
  if (m_gl) GlUniform(location, 4, vec4Count, values);
  return kOk;
}

HResult DeviceImpl::SetUniformFloat(int location, uint32_t count, const float* values) {
  if (!OnRenderThread("SetUniformFloat")) return kErrInvalidCall;
  if (LogCalls())
    Record("SetUniformFloat loc=" + std::to_string(location) + " n=" + std::to_string(count) +
           Values(values, count));
  if (!m_program || !values) return kErrInvalidCall;
  if (location < 0) return kOk;
  if (m_gl) GlUniform(location, 1, count, values);
  return kOk;
}

HResult DeviceImpl::SetUniformInts(int location, uint32_t count, const int32_t* values) {
  if (!OnRenderThread("SetUniformInts")) return kErrInvalidCall;
  if (LogCalls())
    Record("SetUniformInts loc=" + std::to_string(location) + " n=" + std::to_string(count) +
           Values(values, count));
  if (!m_program || !values) return kErrInvalidCall;
  if (location < 0) return kOk;
  if (m_gl) GlUniformInts(location, count, values);
  return kOk;
}

HResult DeviceImpl::SetUniformMatrices(int location, uint32_t count, const float* values) {
  if (!OnRenderThread("SetUniformMatrices")) return kErrInvalidCall;
  if (LogCalls())
    Record("SetUniformMatrices loc=" + std::to_string(location) + " n=" + std::to_string(count) +
           Values(values, static_cast<size_t>(count) * 16));
  if (!m_program || !values) return kErrInvalidCall;
  if (location < 0) return kOk;
  if (m_gl) GlUniformMatrices(location, count, values);
  return kOk;
}

HResult DeviceImpl::SetUniformBuffer(uint32_t slot, UniformBuffer* buffer) {
  if (!OnRenderThread("SetUniformBuffer")) return kErrInvalidCall;
  auto* b = static_cast<UniformBufferImpl*>(buffer);
  if (LogCalls())
    Record("SetUniformBuffer slot=" + std::to_string(slot) + " " +
           (b ? b->m_name : std::string("none")));
  if (slot >= 16) return kErrInvalidCall;
  if (m_gl) GlBindUniformBuffer(slot, b);
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
  if (LogCalls())
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
  if (LogCalls())
    Record("SetSamplerState sampler=" + std::to_string(sampler) +
           " state=" + std::to_string(state) + " value=" + std::to_string(value));
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
  if (LogCalls())
    Record("SetTexture stage=" + std::to_string(stage) + " " +
           (texture ? texture->DebugName() : std::string("none")));
  if (stage >= kMaxSamplers) return kErrInvalidCall;
  if (m_textures[stage] == texture) return kOk;
  if (texture) texture->AddRef();
  if (m_textures[stage]) m_textures[stage]->Release();
  m_textures[stage] = texture;
  m_textureDirty |= 1u << stage;
  return kOk;
}

HResult DeviceImpl::GetTexture(uint32_t stage, BaseTexture** texture) {
  if (!OnRenderThread("GetTexture")) return kErrInvalidCall;
  if (!texture || stage >= kMaxSamplers) return kErrInvalidCall;
  *texture = m_textures[stage];
  if (*texture) (*texture)->AddRef();
  return kOk;
}

HResult DeviceImpl::SetViewport(const Viewport& v) {
  if (!OnRenderThread("SetViewport")) return kErrInvalidCall;
  if (LogCalls())
    Record("SetViewport x=" + std::to_string(v.x) + " y=" + std::to_string(v.y) +
           " w=" + std::to_string(v.width) + " h=" + std::to_string(v.height));
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
  if (LogCalls())
    Record("SetScissorRect " + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
           std::to_string(r.right) + "," + std::to_string(r.bottom));
  m_scissor = r;
  m_statesDirty = true;
  return kOk;
}

HResult DeviceImpl::SetRenderTarget(uint32_t index, Surface* surface) {
  if (!OnRenderThread("SetRenderTarget")) return kErrInvalidCall;
  if (LogCalls())
    Record("SetRenderTarget index=" + std::to_string(index) + " " +
           (surface ? surface->DebugName() : std::string("none")));
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
  if (LogCalls())
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
HResult DeviceImpl::SetStreamSource(uint32_t stream, VertexBuffer* buffer, uint32_t offset,
                                    uint32_t stride) {
  if (!OnRenderThread("SetStreamSource")) return kErrInvalidCall;
  if (LogCalls())
    Record("SetStreamSource stream=" + std::to_string(stream) + " " +
           (buffer ? buffer->DebugName() : std::string("none")) +
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
  if (LogCalls())
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
  if (LogCalls()) Record("SetFVF " + Hex(fvf));
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
  if (LogCalls()) Record("SetVertexDeclaration");
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

HResult DeviceImpl::GetFVF(uint32_t* fvf) {
  if (!OnRenderThread("GetFVF")) return kErrInvalidCall;
  if (!fvf) return kErrInvalidCall;
  *fvf = m_fvf;
  return kOk;
}

HResult DeviceImpl::GetVertexDeclaration(VertexDeclaration** declaration) {
  if (!OnRenderThread("GetVertexDeclaration")) return kErrInvalidCall;
  if (!declaration) return kErrInvalidCall;
  *declaration = m_decl;
  if (m_decl) m_decl->AddRef();
  return kOk;
}

HResult DeviceImpl::SetIndices(IndexBuffer* buffer) {
  if (!OnRenderThread("SetIndices")) return kErrInvalidCall;
  if (LogCalls()) Record("SetIndices " + (buffer ? buffer->DebugName() : std::string("none")));
  if (m_indices == buffer) return kOk;
  if (buffer) buffer->AddRef();
  if (m_indices) m_indices->Release();
  m_indices = buffer;
  if (m_gl) GlBindIndices(static_cast<IndexBufferImpl*>(buffer));
  return kOk;
}

uint32_t DeviceImpl::InstanceCount() const {
  uint32_t f = m_streams[0].freq;
  if (f & kStreamIndexedData) return std::max(1u, f & 0x3FFFFFFFu);
  return 1;
}

// Checks that a draw stays inside its buffers: a range from the caller never makes
// GL read past a buffer.
bool DeviceImpl::ValidateDraw(const char* call, uint32_t lastVertex, uint32_t instances,
                              bool report) {
  if (m_limitsValid && m_limitsUsable && m_inScene && (!m_gl || m_program))
    return lastVertex <= m_vertexLimit && (instances == 0 ? 0 : instances - 1) <= m_instanceLimit
               ? true
               : ValidateDrawSlow(call, lastVertex, instances, report);
  return ValidateDrawSlow(call, lastVertex, instances, report);
}

bool DeviceImpl::ValidateDrawSlow(const char* call, uint32_t lastVertex, uint32_t instances,
                                  bool report) {
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

HResult DeviceImpl::DrawPrimitive(uint32_t type, uint32_t startVertex, uint32_t primitiveCount) {
  if (!OnRenderThread("DrawPrimitive")) return kErrInvalidCall;
  if (LogCalls())
    Record("DrawPrimitive type=" + std::to_string(type) + " start=" + std::to_string(startVertex) +
           " prims=" + std::to_string(primitiveCount));
  uint32_t count = VerticesFor(type, primitiveCount);
  if (count == 0) return primitiveCount == 0 ? kOk : kErrInvalidCall;
  uint32_t instances = InstanceCount();
  if (!ValidateDraw("DrawPrimitive", startVertex + count - 1, instances)) return kErrInvalidCall;
  if (m_gl) GlDraw(type, startVertex, count, instances);
  return kOk;
}

HResult DeviceImpl::DrawIndexedPrimitive(uint32_t type, int32_t baseVertex, uint32_t minIndex,
                                         uint32_t numVertices, uint32_t startIndex,
                                         uint32_t primitiveCount) {
  if (!OnRenderThread("DrawIndexedPrimitive")) return kErrInvalidCall;
  if (LogCalls())
    Record("DrawIndexedPrimitive type=" + std::to_string(type) +
           " base=" + std::to_string(baseVertex) + " min=" + std::to_string(minIndex) +
           " verts=" + std::to_string(numVertices) + " start=" + std::to_string(startIndex) +
           " prims=" + std::to_string(primitiveCount));
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
  if (!ValidateDraw("DrawIndexedPrimitive", static_cast<uint32_t>(baseVertex) + maxIndex, instances,
                    false)) {
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
    if (!ValidateDraw("DrawIndexedPrimitive", static_cast<uint32_t>(baseVertex) + rangeMax,
                      instances, true))
      return kErrInvalidCall;
  }
  if (m_gl) GlDrawIndexed(type, baseVertex, startIndex, count, isize, instances);
  return kOk;
}

HResult DeviceImpl::DrawPrimitiveUP(uint32_t type, uint32_t primitiveCount, const void* vertices,
                                    uint32_t stride) {
  if (!OnRenderThread("DrawPrimitiveUP")) return kErrInvalidCall;
  if (LogCalls())
    Record("DrawPrimitiveUP type=" + std::to_string(type) +
           " prims=" + std::to_string(primitiveCount) + " stride=" + std::to_string(stride));
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
  if (m_gl) GlDrawFromMemory(type, count, vertices, stride);
  return kOk;
}

// ---------------------------------------------------------------------------------
// Frame.
HResult DeviceImpl::BeginScene() {
  if (!OnRenderThread("BeginScene")) return kErrInvalidCall;
  if (LogCalls()) Record("BeginScene");
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
  if (LogCalls()) Record("EndScene");
  if (!m_inScene) {
    m_core->Misuse("EndScene without BeginScene");
    return kErrInvalidCall;
  }
  m_inScene = false;
  return kOk;
}

HResult DeviceImpl::Clear(uint32_t rectCount, const Rect* rects, uint32_t flags, uint32_t colour,
                          float z, uint32_t stencil) {
  if (!OnRenderThread("Clear")) return kErrInvalidCall;
  if (LogCalls())
    Record("Clear rects=" + std::to_string(rectCount) + " flags=" + Hex(flags) + " colour=" +
           Hex(colour) + " z=" + std::to_string(z) + " stencil=" + std::to_string(stencil));
  if ((rectCount > 0 && !rects) || flags == 0 || (flags & ~7u)) return kErrInvalidCall;
  if ((flags & (kClearZBuffer | kClearStencil)) && !m_depth) {
    m_core->Misuse("Clear of depth or stencil without a depth-stencil surface");
    return kErrInvalidCall;
  }
  if (m_gl) GlClear(rectCount, rects, flags, colour, z, stencil);
  return kOk;
}

HResult DeviceImpl::StretchRect(Surface* source, const Rect* sourceRect, Surface* dest,
                                const Rect* destRect, uint32_t filter) {
  if (!OnRenderThread("StretchRect")) return kErrInvalidCall;
  if (LogCalls())
    Record("StretchRect " + (source ? source->DebugName() : std::string("none")) + " -> " +
           (dest ? dest->DebugName() : std::string("none")) + " filter=" + std::to_string(filter));
  if (!source || !dest || source == dest || source->IsDepthStencil() || dest->IsDepthStencil() ||
      !(dest->Usage() & kUsageRenderTarget)) {
    m_core->Misuse("StretchRect: needs two different colour surfaces, the second a render target");
    return kErrInvalidCall;
  }
  Rect sr = sourceRect ? *sourceRect
                       : Rect{0, 0, static_cast<int32_t>(source->Width()),
                              static_cast<int32_t>(source->Height())};
  Rect dr = destRect ? *destRect
                     : Rect{0, 0, static_cast<int32_t>(dest->Width()),
                            static_cast<int32_t>(dest->Height())};
  auto inside = [](const Rect& r, Surface* s) {
    return r.left >= 0 && r.top >= 0 && r.right > r.left && r.bottom > r.top &&
           static_cast<uint32_t>(r.right) <= s->Width() &&
           static_cast<uint32_t>(r.bottom) <= s->Height();
  };
  if (!inside(sr, source) || !inside(dr, dest)) {
    m_core->Misuse("StretchRect: rectangle outside its surface");
    return kErrInvalidCall;
  }
  if (m_gl)
    GlStretchRect(static_cast<SurfaceImpl*>(source), sr, static_cast<SurfaceImpl*>(dest), dr,
                  filter);
  return kOk;
}

HResult DeviceImpl::Present() {
  if (!OnRenderThread("Present")) return kErrInvalidCall;
  if (LogCalls()) Record("Present");
  if (m_inScene) {
    m_core->Misuse("Present inside BeginScene/EndScene");
    return kErrInvalidCall;
  }
  if (m_lostCalls > 0 || m_needsReset) return kErrDeviceLost;
  if (m_gl) GlPresent();
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
  if (LogCalls()) Record("TestCooperativeLevel -> " + Hex(static_cast<uint32_t>(hr)));
  return hr;
}

void DeviceImpl::SimulateDeviceLoss(uint32_t lostCalls) {
  m_lostCalls = lostCalls;
  m_needsReset = true;
}

HResult DeviceImpl::Reset(PresentParameters* parameters) {
  if (!OnRenderThread("Reset")) return kErrInvalidCall;
  if (LogCalls())
    Record("Reset" + (parameters ? " size=" + std::to_string(parameters->backBufferWidth) + "x" +
                                       std::to_string(parameters->backBufferHeight) +
                                       " samples=" + std::to_string(parameters->multiSampleType)
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
      static_cast<uint32_t>(r.right) > s->Width() ||
      static_cast<uint32_t>(r.bottom) > s->Height() || s->IsDepthStencil()) {
    m_core->Misuse("ReadPixels: rectangle outside the surface");
    return kErrInvalidCall;
  }
  uint32_t w = static_cast<uint32_t>(r.right - r.left), h = static_cast<uint32_t>(r.bottom - r.top);
  bgra->assign(static_cast<size_t>(w) * h * 4, 0);
  if (!m_gl) return kOk;
  return GlReadPixels(static_cast<SurfaceImpl*>(surface), r, bgra);
}

}  // namespace gpu
}  // namespace plat
