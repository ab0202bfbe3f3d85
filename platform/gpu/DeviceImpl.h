#pragma once
// The device's front end: one class serving both back ends. Every call checks its
// thread and arguments, records itself when a recorder is attached, and then (GL back
// end only) hands over to the GL side in DeviceGl.cpp, so that the recording back end
// checks exactly what GL runs.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/gpu/Internal.h"

namespace plat {
namespace gpu {

uint64_t ThisThread();
// Vertices drawn for `prims` primitives of `type` (0 for an unknown type).
uint32_t VerticesFor(uint32_t type, uint32_t prims);

class DeviceImpl final : public Device {
public:
  // `glContext` (an SDL GL context) is null for the recording back end.
  DeviceImpl(Gpu* gpu, void* glContext, std::shared_ptr<Recorder> rec, Window* window,
             const PresentParameters& pp);
  ~DeviceImpl() override;
  bool Init(std::string* error);

  // resources
  HResult CreateVertexBuffer(uint32_t length, uint32_t usage, uint32_t fvf, uint32_t pool,
                             VertexBuffer** out) override;
  HResult CreateIndexBuffer(uint32_t length, uint32_t usage, uint32_t format, uint32_t pool,
                            IndexBuffer** out) override;
  HResult CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage,
                        uint32_t format, uint32_t pool, Texture** out) override;
  HResult CreateCubeTexture(uint32_t edge, uint32_t levels, uint32_t usage, uint32_t format,
                            uint32_t pool, CubeTexture** out) override;
  HResult CreateVolumeTexture(uint32_t width, uint32_t height, uint32_t depth, uint32_t levels,
                              uint32_t usage, uint32_t format, uint32_t pool,
                              VolumeTexture** out) override;
  HResult CreateTextureFromImage(const image::Image& image, BaseTexture** out) override;
  HResult CreateDepthStencilSurface(uint32_t width, uint32_t height, uint32_t format,
                                    uint32_t multiSample, Surface** out) override;
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
  HResult SetUniformVectors(int location, uint32_t components, uint32_t count,
                            const float* values) override;
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
  HResult SetStreamSource(uint32_t stream, VertexBuffer* buffer, uint32_t offset,
                          uint32_t stride) override;
  HResult SetStreamSourceFreq(uint32_t stream, uint32_t setting) override;
  HResult SetFVF(uint32_t fvf) override;
  HResult SetVertexDeclaration(VertexDeclaration* declaration) override;
  HResult SetIndices(IndexBuffer* buffer) override;
  HResult DrawPrimitive(uint32_t type, uint32_t startVertex, uint32_t primitiveCount) override;
  HResult DrawIndexedPrimitive(uint32_t type, int32_t baseVertex, uint32_t minIndex,
                               uint32_t numVertices, uint32_t startIndex,
                               uint32_t primitiveCount) override;
  HResult DrawPrimitiveUP(uint32_t type, uint32_t primitiveCount, const void* vertices,
                          uint32_t stride) override;

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

  HResult GetTexture(uint32_t stage, BaseTexture** texture) override;
  HResult GetFVF(uint32_t* fvf) override;
  HResult GetVertexDeclaration(VertexDeclaration** declaration) override;
  HResult GetProgram(Program** program) override;
  bool InScene() const override { return m_inScene; }
  bool IsRecording() const override { return m_rec != nullptr; }
  void RecordCall(const std::string& line) override { Record(line); }
  void ReportMisuse(const std::string& line) override { m_core->Misuse(line); }

private:
  bool OnRenderThread(const char* call) {
    if (ThisThread() == m_thread) return true;
    m_core->Misuse(std::string(call) + " called off the render thread");
    return false;
  }
  std::string Context() const;
  // Call sites test LogCalls first, so that no text is built that nobody keeps.
  bool LogCalls() const { return m_rec && m_rec->keepCallText; }
  void Record(const std::string& line) {
    if (m_rec) m_rec->Append(line + Context());
  }
  bool ShouldFail(const char* call) const { return m_rec && m_rec->ShouldFail(call); }
  HResult CreationFailure(const char* call, void* out);
  void BuildSwapChain();
  void ResetState();
  void SetRef(Surface*& slot, Surface* value);

  bool ValidateDraw(const char* call, uint32_t lastVertex, uint32_t instances, bool report = true);
  bool ValidateDrawSlow(const char* call, uint32_t lastVertex, uint32_t instances, bool report);
  uint32_t InstanceCount() const;

  // GL side (DeviceGl.cpp): runs what a call has validated and recorded. Called only
  // when the device drives GL.
  bool GlInit(std::string* error);
  // Drains the queues and reports a GL error raised so far.
  bool GlCheckErrors(const char* what, std::string* error);
  void GlShutdown();
  void GlBuildSwapChain();
  void GlUseProgram(ProgramImpl* program);
  void GlUniform(int location, uint32_t components, uint32_t count, const float* values);
  void GlUniformInts(int location, uint32_t count, const int32_t* values);
  void GlUniformMatrices(int location, uint32_t count, const float* values);
  void GlBindUniformBuffer(uint32_t slot, UniformBuffer* buffer);
  void GlBindIndices(IndexBufferImpl* buffer);
  void GlDraw(uint32_t type, uint32_t startVertex, uint32_t count, uint32_t instances);
  void GlDrawIndexed(uint32_t type, int32_t baseVertex, uint32_t startIndex, uint32_t count,
                     uint32_t indexSize, uint32_t instances);
  void GlDrawFromMemory(uint32_t type, uint32_t count, const void* vertices, uint32_t stride);
  void GlClear(uint32_t rectCount, const Rect* rects, uint32_t flags, uint32_t colour, float z,
               uint32_t stencil);
  void GlStretchRect(SurfaceImpl* source, const Rect& sourceRect, SurfaceImpl* dest,
                     const Rect& destRect, uint32_t filter);
  void GlPresent();
  HResult GlReadPixels(SurfaceImpl* surface, const Rect& rect, std::vector<uint8_t>* bgra);
  void ApplyForDraw();
  void ApplyTargets();
  void ApplyRenderStates();
  void ApplySamplers();
  void ApplyLayout(uint32_t instances);
  void BindSurfaceTo(GLenum fboTarget, GLenum attachment, SurfaceImpl* s);
  GLuint ReadFboFor(SurfaceImpl* s, GLenum fboTarget, GLuint fbo);
  // The scratch resolve framebuffer, ready for `source` (its size and format).
  GLuint ScratchResolve(SurfaceImpl* source);

  Gpu* m_gpu;
  void* m_context;
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

  // What must go to GL before the next draw (set by the front end, cleared by GL side).
  bool m_targetsDirty = true, m_statesDirty = true, m_layoutDirty = true, m_viewportDirty = true;
  uint32_t m_samplerDirty = 0xFFFF, m_textureDirty = 0xFFFF;
  // The last vertex and instance the current streams can feed (valid while the
  // layout and streams stay as they are).
  bool m_limitsValid = false, m_limitsUsable = false;
  uint64_t m_vertexLimit = 0, m_instanceLimit = 0;

  // The device's own GL objects and what has been applied to GL.
  struct GlObjects {
    GLuint vao = 0, fbo = 0, readFbo = 0, drawFbo = 0, resolveFbo = 0, resolveRb = 0;
    GLuint upBuffer = 0;
    GLuint samplers[kMaxSamplers] = {};
    uint32_t enabledAttribs = 0;
    uint32_t appliedInstances = 0;
    GLenum boundTargets[kMaxSamplers] = {};
    bool haveAnisotropy = false;
    // The resolve buffer holds the last presented frame (what ReadPixels reads).
    bool everPresented = false;
    // Where multisampled surfaces other than the back buffer are resolved: grown to the
    // largest source, in the last source's format.
    GLuint scratchFbo = 0, scratchRb = 0;
    uint32_t scratchW = 0, scratchH = 0;
    GLenum scratchFormat = 0;
  } m_glo;
};

}  // namespace gpu
}  // namespace plat
