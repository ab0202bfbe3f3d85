#pragma once
// Shared internals of the two back ends: the resource proxies and the state that
// outlives a device while resources still point at it.
#include <epoxy/gl.h>

#include <atomic>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/gpu/Device.h"
#include "platform/gpu/Formats.h"

namespace plat {
namespace gpu {

void LogMessage(const std::string& text);
std::string Hex(uint32_t value);

// GL names whose deletion waits for the render thread.
struct GlGarbage {
  enum Kind { Buffer, Texture, Renderbuffer, Program } kind;
  GLuint name;
};

class ResourceImpl;
class ProgramImpl;

class DeviceCore {
public:
  explicit DeviceCore(std::shared_ptr<Recorder> recorder, bool gl)
      : rec(std::move(recorder)), gl(gl) {}

  std::shared_ptr<Recorder> rec;  // null for the GL back end
  const bool gl;

  void Record(const std::string& line) {
    if (rec) rec->Append(line);
  }
  // Call sites test this first, so that no text is built that nobody keeps.
  bool LogCalls() const { return rec && rec->keepCallText; }
  // Misuse: an error in the recording, a log line with GL.
  void Misuse(const std::string& line) {
    if (rec)
      rec->AppendError(line);
    else
      LogMessage(line);
  }

  // A texture's surfaces share its core.
  static std::shared_ptr<DeviceCore> Of(Resource* r) { return r->m_core; }

  std::string NewName(const char* kind) {
    return std::string(kind) + "#" + std::to_string(++m_nextId);
  }

  void Register(ResourceImpl* r, bool defaultPool);
  void Unregister(ResourceImpl* r, bool defaultPool);
  void Discard(const GlGarbage& g) {
    std::lock_guard<std::mutex> lock(mutex);
    garbage.push_back(g);
  }
  void MarkDirty(ResourceImpl* r) {
    std::lock_guard<std::mutex> lock(mutex);
    dirty.insert(r);
    anyDirty = true;
  }

  std::mutex mutex;
  std::vector<GlGarbage> garbage;
  std::unordered_set<ResourceImpl*> dirty;
  std::vector<ProgramImpl*> pendingPrograms;  // each holds a reference
  std::atomic<bool> anyDirty{false};
  std::atomic<uint32_t> defaultCount{0};
  std::atomic<uint64_t> renderThread{0};

private:
  std::atomic<uint32_t> m_nextId{0};
};

// Common to every resource proxy: a hook for the render thread's upload.
class ResourceImpl {
public:
  virtual ~ResourceImpl() = default;
  // Render thread: make the GL object and upload what changed.
  virtual void Upload() = 0;
};

// CPU copy and lock bookkeeping of a vertex or index buffer.
struct BufferStore {
  std::mutex mutex;
  std::vector<uint8_t> data;
  GLuint name = 0;
  bool locked = false;
  bool readOnlyLock = false;
  uint32_t lockLo = 0, lockHi = 0;
  uint32_t dirtyLo = 0xFFFFFFFFu, dirtyHi = 0;
  bool dynamic = false;
  bool needsCreate = true;
  // The largest index value, for index buffers (checked against the vertex range).
  uint32_t maxIndex = 0;
};

class VertexBufferImpl final : public VertexBuffer, public ResourceImpl {
public:
  VertexBufferImpl(std::shared_ptr<DeviceCore> core, uint32_t length, uint32_t usage, uint32_t fvf,
                   uint32_t pool);
  ~VertexBufferImpl() override;
  void Upload() override;
  BufferStore store;
  friend class VertexBuffer;
};

class IndexBufferImpl final : public IndexBuffer, public ResourceImpl {
public:
  IndexBufferImpl(std::shared_ptr<DeviceCore> core, uint32_t length, uint32_t usage,
                  uint32_t format, uint32_t pool);
  ~IndexBufferImpl() override;
  void Upload() override;
  uint32_t IndexSize() const { return m_format == kFmtIndex32 ? 4 : 2; }
  BufferStore store;
};

class SurfaceImpl;

// The storage shared by 2D, cube and volume textures.
struct TextureStore {
  std::mutex mutex;
  GLenum target = GL_TEXTURE_2D;
  GLuint name = 0;
  uint32_t faces = 1;
  std::vector<std::vector<uint8_t>> levels;  // face-major; empty for render targets
  std::vector<uint32_t> levelW, levelH, levelD;
  std::vector<bool> levelDirty;
  std::vector<bool> levelLocked;
  bool needsCreate = true;
  bool renderTarget = false;
  bool autoMips = false;
  bool mipsStale = false;  // rendered into since the last mip generation
  // Surfaces handed out, one per face and level, made on first request.
  std::vector<SurfaceImpl*> surfaces;
};

class TextureImpl final : public Texture, public ResourceImpl {
public:
  TextureImpl(std::shared_ptr<DeviceCore> core, uint32_t width, uint32_t height, uint32_t levels,
              uint32_t usage, uint32_t format, uint32_t pool);
  ~TextureImpl() override;
  void Upload() override;
  TextureStore store;
};

class CubeTextureImpl final : public CubeTexture, public ResourceImpl {
public:
  CubeTextureImpl(std::shared_ptr<DeviceCore> core, uint32_t edge, uint32_t levels, uint32_t usage,
                  uint32_t format, uint32_t pool);
  ~CubeTextureImpl() override;
  void Upload() override;
  TextureStore store;
};

class VolumeTextureImpl final : public VolumeTexture, public ResourceImpl {
public:
  VolumeTextureImpl(std::shared_ptr<DeviceCore> core, uint32_t width, uint32_t height,
                    uint32_t depth, uint32_t levels, uint32_t usage, uint32_t format,
                    uint32_t pool);
  ~VolumeTextureImpl() override;
  void Upload() override;
  TextureStore store;
};

TextureStore* StoreOf(BaseTexture* texture);

class SurfaceImpl final : public Surface, public ResourceImpl {
public:
  enum class Kind { TextureLevel, BackBuffer, Renderbuffer };
  // A level (and face) of a texture: holds a reference to the texture.
  SurfaceImpl(std::shared_ptr<DeviceCore> core, BaseTexture* owner, uint32_t face, uint32_t level,
              uint32_t width, uint32_t height);
  // A renderbuffer of its own (depth-stencil, render target, the back buffer).
  SurfaceImpl(std::shared_ptr<DeviceCore> core, Kind kind, uint32_t width, uint32_t height,
              uint32_t format, uint32_t samples, uint32_t pool, bool counted);
  ~SurfaceImpl() override;
  void Upload() override;
  using Unknown::TryAddRef;

  // Rebuilds an internal surface for a new size (the back buffer on Reset).
  void Rebuild(uint32_t width, uint32_t height, uint32_t format, uint32_t samples);
  // A single- or multi-sampled twin of a depth buffer, for pairing with a colour
  // target of the other kind (made on demand, render thread).
  GLuint DepthTwin(uint32_t samples, uint32_t width, uint32_t height);

  Kind kind;
  BaseTexture* owner = nullptr;
  uint32_t face = 0, level = 0;
  GLuint renderbuffer = 0;
  GLuint twin = 0;
  uint32_t twinSamples = 0, twinW = 0, twinH = 0;
  bool counted = true;
};

class VertexDeclarationImpl final : public VertexDeclaration {
public:
  explicit VertexDeclarationImpl(std::vector<VertexElement> elements) {
    m_elements = std::move(elements);
  }
};

class UniformBufferImpl final : public UniformBuffer {
public:
  UniformBufferImpl(std::shared_ptr<DeviceCore> core, uint32_t size);
  ~UniformBufferImpl() override;
  HResult Update(uint32_t offset, uint32_t size, const void* data) override;
  GLuint buffer = 0;
  std::string m_name;

private:
  std::shared_ptr<DeviceCore> m_core;
};

class ProgramImpl final : public Program {
public:
  ProgramImpl(std::shared_ptr<DeviceCore> core, std::string vs, std::string fs);
  ~ProgramImpl() override;
  // Render thread (GL): compile and link. Recording: read the uniforms from the text.
  bool Build();

  std::shared_ptr<DeviceCore> core;
  std::string vs, fs;
  std::atomic<Status> status{Status::Pending};
  mutable std::mutex mutex;
  std::string log;
  GLuint name = 0;
  std::unordered_map<std::string, int> uniforms;
  std::unordered_map<std::string, uint32_t> blocks;
  std::string debugName;
};

}  // namespace gpu
}  // namespace plat
