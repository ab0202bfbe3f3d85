// The adapter: display modes, format and multisample checks, capabilities and device
// creation, for both back ends.
#include <SDL.h>

#include <algorithm>

#include "platform/gpu/DeviceImpl.h"
#include "platform/window/Window.h"

namespace plat {
namespace gpu {

namespace {

class GpuImpl final : public Gpu {
public:
  GpuImpl(Window* window, SDL_GLContext context, std::shared_ptr<Recorder> rec)
      : m_window(window), m_context(context), m_rec(std::move(rec)) {}
  ~GpuImpl() override {
    if (m_context) SDL_GL_DeleteContext(m_context);
  }

  uint32_t GetAdapterCount() override {
    if (m_rec) Record("GetAdapterCount");
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
    if (out.empty() && n >= 0 &&
        SDL_GetDesktopDisplayMode(static_cast<int>(adapter), &desktop) == 0 && desktop.w > 0 &&
        desktop.h > 0)
      out.push_back({static_cast<uint32_t>(desktop.w), static_cast<uint32_t>(desktop.h),
                     static_cast<uint32_t>(desktop.refresh_rate), kFmtX8R8G8B8});
    return out;
  }

  uint32_t GetAdapterModeCount(uint32_t adapter, uint32_t format) override {
    if (m_rec)
      Record("GetAdapterModeCount adapter=" + std::to_string(adapter) +
             " format=" + std::to_string(format));
    return static_cast<uint32_t>(Modes(adapter, format).size());
  }

  HResult EnumAdapterModes(uint32_t adapter, uint32_t format, uint32_t mode,
                           DisplayMode* out) override {
    if (m_rec)
      Record("EnumAdapterModes adapter=" + std::to_string(adapter) +
             " format=" + std::to_string(format) + " mode=" + std::to_string(mode));
    auto modes = Modes(adapter, format);
    if (!out || mode >= modes.size()) return kErrInvalidCall;
    *out = modes[mode];
    return kOk;
  }

  HResult GetAdapterDisplayMode(uint32_t adapter, DisplayMode* out) override {
    if (m_rec) Record("GetAdapterDisplayMode adapter=" + std::to_string(adapter));
    if (!out) return kErrInvalidCall;
    if (m_rec) {
      if (adapter >= m_rec->adapterCount) return kErrInvalidCall;
      *out = m_rec->desktopMode;
      return kOk;
    }
    SDL_DisplayMode m;
    if (SDL_GetDesktopDisplayMode(static_cast<int>(adapter), &m) != 0) return kErrInvalidCall;
    *out = {static_cast<uint32_t>(m.w), static_cast<uint32_t>(m.h),
            static_cast<uint32_t>(m.refresh_rate), kFmtX8R8G8B8};
    return kOk;
  }

  HResult CheckDeviceType(uint32_t adapter, uint32_t deviceType, uint32_t displayFormat,
                          uint32_t backBufferFormat, bool windowed) override {
    if (m_rec)
      Record("CheckDeviceType adapter=" + std::to_string(adapter) +
             " type=" + std::to_string(deviceType) + " display=" + std::to_string(displayFormat) +
             " backbuffer=" + std::to_string(backBufferFormat) +
             " windowed=" + std::to_string(windowed));
    if (m_rec) return m_rec->checkDeviceTypeResult;
    bool ok = deviceType == kDevTypeHal &&
              (displayFormat == kFmtX8R8G8B8 || displayFormat == kFmtA8R8G8B8) &&
              (backBufferFormat == kFmtX8R8G8B8 || backBufferFormat == kFmtA8R8G8B8);
    return ok ? kOk : kErrNotAvailable;
  }

  HResult CheckDeviceMultiSampleType(uint32_t adapter, uint32_t deviceType, uint32_t format,
                                     bool windowed, uint32_t type,
                                     uint32_t* qualityLevels) override {
    if (m_rec)
      Record("CheckDeviceMultiSampleType adapter=" + std::to_string(adapter) +
             " type=" + std::to_string(deviceType) + " format=" + std::to_string(format) +
             " windowed=" + std::to_string(windowed) + " samples=" + std::to_string(type));
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
    if (m_rec)
      Record("GetDeviceCaps adapter=" + std::to_string(adapter) +
             " type=" + std::to_string(deviceType));
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

  HResult CreateDevice(uint32_t adapter, uint32_t deviceType, Window* window,
                       uint32_t behaviourFlags, PresentParameters* parameters,
                       Device** out) override {
    if (m_rec)
      Record("CreateDevice adapter=" + std::to_string(adapter) +
             " type=" + std::to_string(deviceType) + " flags=" + Hex(behaviourFlags) +
             (parameters ? " size=" + std::to_string(parameters->backBufferWidth) + "x" +
                               std::to_string(parameters->backBufferHeight) +
                               " samples=" + std::to_string(parameters->multiSampleType)
                         : std::string()));
    if (!out || !parameters) return kErrInvalidCall;
    *out = nullptr;
    if (m_rec && m_rec->ShouldFail("CreateDevice")) return m_rec->failResult;
    if (!m_rec && window && window != m_window) {
      LogMessage("CreateDevice: the GL context belongs to another window");
      return kErrInvalidCall;
    }
    auto* device = new DeviceImpl(this, m_context, m_rec, window ? window : m_window, *parameters);
    std::string error;
    if (!device->Init(&error)) {
      LogMessage("CreateDevice: " + error);
      device->Release();
      return kErrNotAvailable;
    }
    *out = device;
    return kOk;
  }

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

}  // namespace

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

}  // namespace gpu
}  // namespace plat
