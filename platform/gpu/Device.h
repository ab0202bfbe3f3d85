#pragma once
// A Direct3D 9-shaped device over OpenGL, plus a recording back end for tests.
//
// Threads. The device belongs to the thread that calls Gpu::CreateDevice (the render
// thread). Resources (buffers, textures, declarations) are CPU-side proxies: they
// may be created, locked, filled and released on any thread; the GL objects behind
// them are made, uploaded and deleted on the render thread, from queues drained at
// BeginScene, Present and Reset (and at once when the render thread binds a resource
// whose data changed). Every state, draw, scene, target and present call, and the
// shader calls, must come from the render thread: from any other thread they return
// kErrInvalidCall, are logged and touch nothing.
//
// Coordinates follow Direct3D: depth 0..1, the first row of a target, a texture and
// a viewport is the top row, texture coordinate (0,0) is the top-left corner of the
// image (sampled at texel centres; there is no half-texel offset). Vertex shaders
// write clip-space positions as Direct3D does; the layer maps them with
// glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE). Triangles are front-facing when
// clockwise on screen; the default cull mode (kCullCCW) removes the others.
//
// Vertex attributes have fixed locations in every program (see kAttr*). Colours
// stored as D3DCOLOR (bytes B,G,R,A) reach the shader as normalised (r,g,b,a).
//
// Every object is reference counted (AddRef/Release, as COM): creation hands back
// one reference; Get* calls that return an object add one.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/gpu/Constants.h"

namespace plat {
struct Window;
namespace image {
struct Image;
}
}  // namespace plat

namespace plat {
namespace gpu {

// ---------------------------------------------------------------------------------
struct Viewport {
  uint32_t x = 0, y = 0, width = 0, height = 0;
  float minZ = 0.0f, maxZ = 1.0f;
};
struct Rect {
  int32_t left, top, right, bottom;
};
struct LockedRect {
  int32_t pitch;  // bytes per row (per row of 4x4 blocks for DXT formats)
  void* bits;
};
// A box within a volume level: [left, right) x [top, bottom) x [front, back).
struct Box {
  uint32_t left, top, right, bottom, front, back;
};
struct LockedBox {
  int32_t rowPitch;    // bytes per row (per row of 4x4 blocks for DXT formats)
  int32_t slicePitch;  // bytes per depth slice
  void* bits;
};
struct DisplayMode {
  uint32_t width, height, refreshRate, format;
};
struct Caps {
  uint32_t deviceType = kDevTypeHal;
  uint32_t devCaps = 0;
  uint32_t maxTextureWidth = 0, maxTextureHeight = 0, maxVolumeExtent = 0;
  uint32_t maxSimultaneousTextures = 0, maxStreams = 0, numSimultaneousRTs = 0;
  uint32_t maxPrimitiveCount = 0, maxVertexIndex = 0;
  uint32_t vertexShaderVersion = 0, pixelShaderVersion = 0;  // 0xFFFE0300 = vs_3_0 etc.
  uint32_t maxVertexShaderConst = 0;
};
struct PresentParameters {
  uint32_t backBufferWidth = 0, backBufferHeight = 0;
  uint32_t backBufferFormat = kFmtA8R8G8B8;
  uint32_t backBufferCount = 1;
  uint32_t multiSampleType = 0, multiSampleQuality = 0;
  uint32_t swapEffect = kSwapEffectDiscard;
  Window* deviceWindow = nullptr;
  bool windowed = true;
  bool enableAutoDepthStencil = true;
  uint32_t autoDepthStencilFormat = kFmtD24S8;
  uint32_t flags = 0;
  uint32_t fullScreenRefreshRate = 0;
  uint32_t presentationInterval = kPresentIntervalImmediate;
};

// ---------------------------------------------------------------------------------
class DeviceCore;  // shared state of a device, held by its resources

class Unknown {
public:
  Unknown(const Unknown&) = delete;
  Unknown& operator=(const Unknown&) = delete;
  uint32_t AddRef();
  // Drops one reference; the last one frees the object (its GL side is deleted on
  // the render thread). Returns the references left.
  uint32_t Release();

protected:
  Unknown() = default;
  virtual ~Unknown() = default;
  // Adds a reference unless the last one is already gone (the object is being
  // destroyed): for caches that keep a plain pointer to what they hand out.
  bool TryAddRef();

private:
  std::atomic<uint32_t> m_refs{1};
};

enum class ResourceType { Surface, VertexBuffer, IndexBuffer, Texture, CubeTexture, VolumeTexture };

class Resource : public Unknown {
public:
  virtual ResourceType Type() const = 0;
  uint32_t Pool() const { return m_pool; }
  uint32_t Usage() const { return m_usage; }
  // A short name shown in the recording log ("vb#3", "tex#7").
  const std::string& DebugName() const { return m_name; }

protected:
  Resource(std::shared_ptr<DeviceCore> core, uint32_t pool, uint32_t usage, const char* kind);
  ~Resource() override;
  std::shared_ptr<DeviceCore> m_core;
  uint32_t m_pool, m_usage;
  std::string m_name;
  friend class DeviceCore;
};

class VertexBuffer : public Resource {
public:
  ResourceType Type() const override { return ResourceType::VertexBuffer; }
  // Any thread. `size` 0 locks to the end. A second Lock before Unlock fails.
  HResult Lock(uint32_t offset, uint32_t size, void** data, uint32_t flags);
  HResult Unlock();
  uint32_t Length() const { return m_length; }
  uint32_t Fvf() const { return m_fvf; }

protected:
  using Resource::Resource;
  uint32_t m_length = 0, m_fvf = 0;
};

class IndexBuffer : public Resource {
public:
  ResourceType Type() const override { return ResourceType::IndexBuffer; }
  HResult Lock(uint32_t offset, uint32_t size, void** data, uint32_t flags);
  HResult Unlock();
  uint32_t Length() const { return m_length; }
  uint32_t Format() const { return m_format; }

protected:
  using Resource::Resource;
  uint32_t m_length = 0, m_format = kFmtIndex16;
};

class Surface;

class BaseTexture : public Resource {
public:
  uint32_t Format() const { return m_format; }
  uint32_t LevelCount() const { return m_levels; }

protected:
  using Resource::Resource;
  uint32_t m_format = 0, m_levels = 1;
};

class Texture : public BaseTexture {
public:
  ResourceType Type() const override { return ResourceType::Texture; }
  uint32_t Width() const { return m_width; }
  uint32_t Height() const { return m_height; }
  // Level `level` as a surface (a render target when the texture is one).
  HResult GetSurfaceLevel(uint32_t level, Surface** surface);
  // Any thread; not for render targets. The rows of the level are kept CPU-side.
  HResult LockRect(uint32_t level, LockedRect* locked, const Rect* rect, uint32_t flags);
  HResult UnlockRect(uint32_t level);

protected:
  using BaseTexture::BaseTexture;
  uint32_t m_width = 0, m_height = 0;
};

class CubeTexture : public BaseTexture {
public:
  ResourceType Type() const override { return ResourceType::CubeTexture; }
  uint32_t Size() const { return m_size; }
  HResult GetCubeMapSurface(uint32_t face, uint32_t level, Surface** surface);

protected:
  using BaseTexture::BaseTexture;
  uint32_t m_size = 0;
};

class VolumeTexture : public BaseTexture {
public:
  ResourceType Type() const override { return ResourceType::VolumeTexture; }
  uint32_t Width() const { return m_width; }
  uint32_t Height() const { return m_height; }
  uint32_t Depth() const { return m_depth; }
  // Any thread. The slices of the level are kept CPU-side; `box` null locks it whole.
  // A second lock of a level before its unlock fails.
  HResult LockBox(uint32_t level, LockedBox* locked, const Box* box, uint32_t flags);
  HResult UnlockBox(uint32_t level);

protected:
  using BaseTexture::BaseTexture;
  uint32_t m_width = 0, m_height = 0, m_depth = 0;
};

// A 2D image that can be a render target or a depth-stencil buffer: a texture level,
// a cube face, the back buffer, or a depth-stencil surface of its own.
class Surface : public Resource {
public:
  ResourceType Type() const override { return ResourceType::Surface; }
  uint32_t Width() const { return m_width; }
  uint32_t Height() const { return m_height; }
  uint32_t Format() const { return m_format; }
  uint32_t MultiSampleType() const { return m_samples; }
  bool IsDepthStencil() const { return m_format == kFmtD24S8 || m_format == kFmtD16; }

protected:
  using Resource::Resource;
  uint32_t m_width = 0, m_height = 0, m_format = 0, m_samples = 0;
};

class VertexDeclaration : public Unknown {
public:
  const std::vector<VertexElement>& Elements() const { return m_elements; }

protected:
  VertexDeclaration() = default;
  std::vector<VertexElement> m_elements;  // without the terminator
};

// ---------------------------------------------------------------------------------
// Shaders (used by platform/fx). A program is a GLSL vertex and fragment pair; its
// attributes are bound to the fixed locations above before linking.
class Program : public Unknown {
public:
  enum class Status { Pending, Ready, Failed };
  Status GetStatus() const;
  // The compiler's and linker's text (empty when they had nothing to say).
  std::string InfoLog() const;
  // -1 when the program has no such active uniform (or is not ready).
  int UniformLocation(const char* name) const;
  // Binds the uniform block `name` to buffer slot `slot`; false when there is none.
  bool BindUniformBlock(const char* name, uint32_t slot);

protected:
  Program() = default;
};

// A uniform buffer (std140 layout chosen by the shader); render thread only.
class UniformBuffer : public Unknown {
public:
  uint32_t Size() const { return m_size; }
  // Copies `size` bytes at `offset`; kErrInvalidCall when out of range.
  virtual HResult Update(uint32_t offset, uint32_t size, const void* data) = 0;

protected:
  UniformBuffer() = default;
  uint32_t m_size = 0;
};

// ---------------------------------------------------------------------------------
// D3DX-style helpers.
class RenderToSurface : public Unknown {
public:
  // Opens a scene on `surface` (opening the device's scene too when none is open),
  // with this object's own depth buffer or, when it has none, no depth buffer.
  virtual HResult BeginScene(Surface* surface, const Viewport* viewport) = 0;
  // Restores the targets, depth buffer and viewport that were set before BeginScene.
  virtual HResult EndScene(uint32_t mipFilter) = 0;
  virtual HResult OnLostDevice() = 0;
  virtual HResult OnResetDevice() = 0;

protected:
  RenderToSurface() = default;
};

constexpr uint32_t kSpriteAlphaBlend = 0x10;
// Textured quads in target pixels, transformed by a 2D matrix (row vectors, 4x4).
class Sprite : public Unknown {
public:
  virtual HResult Begin(uint32_t flags) = 0;
  virtual HResult SetTransform(const float matrix[16]) = 0;
  // position: top-left (x, y, z) of the quad before the transform; center: the point
  // of the source rectangle put there; colour: D3DCOLOR modulating the texture.
  virtual HResult Draw(BaseTexture* texture, const Rect* source, const float center[3],
                       const float position[3], uint32_t colour) = 0;
  virtual HResult Flush() = 0;
  virtual HResult End() = 0;
  virtual HResult OnLostDevice() = 0;
  virtual HResult OnResetDevice() = 0;

protected:
  Sprite() = default;
};

// ---------------------------------------------------------------------------------
class Device : public Unknown {
public:
  // -- resources (any thread) --
  virtual HResult CreateVertexBuffer(uint32_t length, uint32_t usage, uint32_t fvf, uint32_t pool,
                                     VertexBuffer** out) = 0;
  virtual HResult CreateIndexBuffer(uint32_t length, uint32_t usage, uint32_t format, uint32_t pool,
                                    IndexBuffer** out) = 0;
  // levels 0: the whole chain down to 1x1.
  virtual HResult CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage,
                                uint32_t format, uint32_t pool, Texture** out) = 0;
  virtual HResult CreateCubeTexture(uint32_t edge, uint32_t levels, uint32_t usage, uint32_t format,
                                    uint32_t pool, CubeTexture** out) = 0;
  // A 3D texture (GL_TEXTURE_3D); levels 0: the whole chain down to 1x1x1. Not a
  // render target.
  virtual HResult CreateVolumeTexture(uint32_t width, uint32_t height, uint32_t depth,
                                      uint32_t levels, uint32_t usage, uint32_t format,
                                      uint32_t pool, VolumeTexture** out) = 0;
  // A managed texture of the image's kind (Texture, CubeTexture or VolumeTexture).
  virtual HResult CreateTextureFromImage(const image::Image& image, BaseTexture** out) = 0;
  virtual HResult CreateDepthStencilSurface(uint32_t width, uint32_t height, uint32_t format,
                                            uint32_t multiSample, Surface** out) = 0;
  virtual HResult CreateRenderTarget(uint32_t width, uint32_t height, uint32_t format,
                                     uint32_t multiSample, Surface** out) = 0;
  // Elements up to (not including) kDeclEnd.
  virtual HResult CreateVertexDeclaration(const VertexElement* elements,
                                          VertexDeclaration** out) = 0;
  virtual HResult CreateRenderToSurface(uint32_t width, uint32_t height, uint32_t format,
                                        bool depthStencil, uint32_t depthFormat,
                                        RenderToSurface** out) = 0;
  virtual HResult CreateSprite(Sprite** out) = 0;

  // -- shaders --
  // On the render thread the program is compiled and linked at once: kOk, or kErrFail
  // with the compiler's text in `log` (and in InfoLog). From another thread it is
  // queued (Status Pending) and compiled at the next drain.
  virtual HResult CreateProgram(const char* vertexSource, const char* fragmentSource, Program** out,
                                std::string* log) = 0;
  virtual HResult CreateUniformBuffer(uint32_t size, UniformBuffer** out) = 0;
  // Render thread. Uniform setters act on the current program.
  virtual HResult SetProgram(Program* program) = 0;
  // Null (and kOk) when none is set.
  virtual HResult GetProgram(Program** program) = 0;
  virtual HResult SetUniformFloats(int location, uint32_t vec4Count, const float* values) = 0;
  virtual HResult SetUniformFloat(int location, uint32_t count, const float* values) = 0;
  // components 1..4: count vectors of that many floats (vec2/vec3 arrays and the like).
  virtual HResult SetUniformVectors(int location, uint32_t components, uint32_t count,
                                    const float* values) = 0;
  virtual HResult SetUniformInts(int location, uint32_t count, const int32_t* values) = 0;
  // Row-major 4x4 matrices as the math library stores them, uploaded unchanged (no
  // transpose): GLSL's `M * v` then gives Direct3D's mul(v, M).
  virtual HResult SetUniformMatrices(int location, uint32_t count, const float* values) = 0;
  virtual HResult SetUniformBuffer(uint32_t slot, UniformBuffer* buffer) = 0;
  // What the recording log shows as the bound effect and pass (empty: none).
  virtual void SetDebugEffect(const char* effect, int pass) = 0;
  // For helpers layered on the device (sprites, render-to-surface): a line in the
  // recording log with the device's context (nothing without a recorder), and misuse
  // reported as the device reports its own.
  // Build the text of a line only when this is true.
  virtual bool IsRecording() const = 0;
  virtual void RecordCall(const std::string& line) = 0;
  virtual void ReportMisuse(const std::string& line) = 0;

  // -- state (render thread) --
  virtual HResult SetRenderState(uint32_t state, uint32_t value) = 0;
  virtual HResult GetRenderState(uint32_t state, uint32_t* value) = 0;
  virtual HResult SetSamplerState(uint32_t sampler, uint32_t state, uint32_t value) = 0;
  virtual HResult GetSamplerState(uint32_t sampler, uint32_t state, uint32_t* value) = 0;
  virtual HResult SetTexture(uint32_t stage, BaseTexture* texture) = 0;
  virtual HResult GetTexture(uint32_t stage, BaseTexture** texture) = 0;
  virtual HResult SetViewport(const Viewport& viewport) = 0;
  virtual HResult GetViewport(Viewport* viewport) = 0;
  virtual HResult SetScissorRect(const Rect& rect) = 0;
  virtual HResult SetRenderTarget(uint32_t index, Surface* surface) = 0;
  virtual HResult GetRenderTarget(uint32_t index, Surface** surface) = 0;
  virtual HResult SetDepthStencilSurface(Surface* surface) = 0;
  virtual HResult GetDepthStencilSurface(Surface** surface) = 0;
  virtual HResult GetBackBuffer(uint32_t swapChain, uint32_t index, Surface** surface) = 0;

  // -- geometry (render thread) --
  virtual HResult SetStreamSource(uint32_t stream, VertexBuffer* buffer, uint32_t offset,
                                  uint32_t stride) = 0;
  virtual HResult SetStreamSourceFreq(uint32_t stream, uint32_t setting) = 0;
  virtual HResult SetFVF(uint32_t fvf) = 0;
  // 0 while a declaration is set.
  virtual HResult GetFVF(uint32_t* fvf) = 0;
  virtual HResult SetVertexDeclaration(VertexDeclaration* declaration) = 0;
  // Null (and kOk) while an FVF code is set.
  virtual HResult GetVertexDeclaration(VertexDeclaration** declaration) = 0;
  virtual HResult SetIndices(IndexBuffer* buffer) = 0;
  virtual HResult DrawPrimitive(uint32_t type, uint32_t startVertex, uint32_t primitiveCount) = 0;
  virtual HResult DrawIndexedPrimitive(uint32_t type, int32_t baseVertex, uint32_t minIndex,
                                       uint32_t numVertices, uint32_t startIndex,
                                       uint32_t primitiveCount) = 0;
  // Vertices from memory with the current FVF or declaration (stream 0 is unset after).
  virtual HResult DrawPrimitiveUP(uint32_t type, uint32_t primitiveCount, const void* vertices,
                                  uint32_t stride) = 0;

  // -- frame (render thread) --
  virtual HResult BeginScene() = 0;
  // Between BeginScene and EndScene.
  virtual bool InScene() const = 0;
  virtual HResult EndScene() = 0;
  // Clears within the viewport (and within each rect when given).
  virtual HResult Clear(uint32_t rectCount, const Rect* rects, uint32_t flags, uint32_t colour,
                        float z, uint32_t stencil) = 0;
  virtual HResult StretchRect(Surface* source, const Rect* sourceRect, Surface* dest,
                              const Rect* destRect, uint32_t filter) = 0;
  // Resolves the back buffer, shows it in the window and swaps.
  virtual HResult Present() = 0;
  // kOk, kErrDeviceLost, kErrDeviceNotReset or kErrDriverInternal.
  virtual HResult TestCooperativeLevel() = 0;
  // Fails with kErrInvalidCall while a default-pool resource is alive; otherwise
  // rebuilds the back buffer and depth buffer for the new parameters.
  virtual HResult Reset(PresentParameters* parameters) = 0;

  // -- queries --
  virtual HResult GetDeviceCaps(Caps* caps) = 0;
  virtual const PresentParameters& GetPresentParameters() const = 0;
  // Live default-pool resources (what blocks Reset).
  virtual uint32_t DefaultPoolResourceCount() const = 0;
  // Reads pixels of the last presented frame (or of `surface` when given): BGRA bytes,
  // rows from the top. Render thread. For tests and screenshots.
  virtual HResult ReadPixels(Surface* surface, const Rect& rect, std::vector<uint8_t>* bgra) = 0;
  // Device loss as a minimised full-screen window would cause it: the next
  // `lostCalls` TestCooperativeLevel calls report lost, then it reports not-reset
  // until a Reset succeeds.
  virtual void SimulateDeviceLoss(uint32_t lostCalls) = 0;
  // Processes the creation, upload and deletion queues now (render thread).
  virtual void DrainQueues() = 0;

protected:
  Device() = default;
};

// ---------------------------------------------------------------------------------
// The recording back end's log and fault tables. Every entry point of a recording
// Gpu/Device appends one line: "<Call> <args> [effect=<e> pass=<p> target=<t>]".
// Programs are not compiled: the uniforms and blocks declared in the text are taken
// as active, and a "#error <text>" line fails creation with <text> in the log.
// Misuse is rejected with kErrInvalidCall and appended to Errors().
struct MultiSampleSupport {
  uint32_t format;
  uint32_t type;
  uint32_t qualityLevels;  // what CheckDeviceMultiSampleType reports
};

class Recorder {
public:
  Recorder();
  // -- fault tables (set before use; any thread) --
  bool failCreateGpu = false;  // CreateGpu returns null
  uint32_t adapterCount = 1;
  std::vector<std::vector<DisplayMode>> modes;  // per adapter (format X8R8G8B8)
  DisplayMode desktopMode{1024, 768, 60, kFmtX8R8G8B8};
  HResult checkDeviceTypeResult = kOk;
  Caps caps;  // what GetDeviceCaps reports
  // Supported (format, type) pairs; type 0 always succeeds with quality 1.
  std::vector<MultiSampleSupport> multiSample;
  // Names of creation calls that fail ("CreateDevice", "CreateTexture", ...) and
  // the result they give.
  std::vector<std::string> failingCalls;
  HResult failResult = kErrOutOfVideoMemory;
  HResult resetResult = kOk;
  // False: the calls are validated, fail as the tables say and report misuse, but
  // their lines are not written (nor formatted), so Calls() stays empty. For
  // measuring what the caller costs rather than the log.
  bool keepCallText = true;

  // Results of the next TestCooperativeLevel calls, in order; kOk once used up.
  void ScriptCooperativeLevel(std::vector<HResult> results);

  // -- what happened --
  std::vector<std::string> Calls() const;
  std::vector<std::string> Errors() const;
  // Calls whose line starts with `name` followed by a space or end.
  std::vector<std::string> CallsNamed(const std::string& name) const;
  size_t CountCalls(const std::string& name) const;
  void Clear();

  // -- used by the back end --
  void Append(std::string line);
  void AppendError(std::string line);
  bool ShouldFail(const char* call) const;
  HResult NextCooperativeLevel();

private:
  mutable std::mutex m_mutex;
  std::vector<std::string> m_calls, m_errors;
  std::vector<HResult> m_coop;
  size_t m_coopNext = 0;
};

// The Direct3D object: adapters, modes, checks and device creation.
class Gpu : public Unknown {
public:
  virtual uint32_t GetAdapterCount() = 0;
  virtual uint32_t GetAdapterModeCount(uint32_t adapter, uint32_t format) = 0;
  // Modes from the smallest to the largest.
  virtual HResult EnumAdapterModes(uint32_t adapter, uint32_t format, uint32_t mode,
                                   DisplayMode* out) = 0;
  virtual HResult GetAdapterDisplayMode(uint32_t adapter, DisplayMode* out) = 0;
  virtual HResult CheckDeviceType(uint32_t adapter, uint32_t deviceType, uint32_t displayFormat,
                                  uint32_t backBufferFormat, bool windowed) = 0;
  virtual HResult CheckDeviceMultiSampleType(uint32_t adapter, uint32_t deviceType, uint32_t format,
                                             bool windowed, uint32_t type,
                                             uint32_t* qualityLevels) = 0;
  virtual HResult GetDeviceCaps(uint32_t adapter, uint32_t deviceType, Caps* caps) = 0;
  // The calling thread becomes the render thread. With the GL back end the window of
  // the parameters (or `window`) must have been created on this thread.
  virtual HResult CreateDevice(uint32_t adapter, uint32_t deviceType, Window* window,
                               uint32_t behaviourFlags, PresentParameters* parameters,
                               Device** out) = 0;

protected:
  Gpu() = default;
};

// The GL back end over `window` (created on the calling thread): makes the GL context
// so that the checks can query the driver. Null, with the reason in `error`, when no
// GL 3.3 core context can be had.
Gpu* CreateGpu(Window* window, std::string* error = nullptr);
// The recording back end; no GL, no window needed.
Gpu* CreateRecordingGpu(std::shared_ptr<Recorder> recorder);

// Where the layer's own messages go (GL debug output, misuse, failed uploads);
// default: standard error. Null restores the default.
void SetLogSink(std::function<void(const std::string&)> sink);

}  // namespace gpu
}  // namespace plat
