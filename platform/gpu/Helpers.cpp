// Utility helpers layered on the device's public operations: render-to-surface and the
// sprite batcher.
#include "platform/gpu/Helpers.h"

#include <cstring>
#include <vector>

namespace plat {
namespace gpu {

std::string Hex(uint32_t value);
void LogMessage(const std::string& text);

namespace {

const char* kSpriteVs =
    "#version 330 core\n"
    "layout(location = 0) in vec3 a_position;\n"
    "layout(location = 2) in vec4 a_color0;\n"
    "layout(location = 4) in vec2 a_texcoord0;\n"
    "out vec4 v_colour;\n"
    "out vec2 v_uv;\n"
    "void main() { gl_Position = vec4(a_position, 1.0); v_colour = a_color0; v_uv = a_texcoord0; "
    "}\n";
const char* kSpriteFs =
    "#version 330 core\n"
    "uniform sampler2D u_texture;\n"
    "in vec4 v_colour;\n"
    "in vec2 v_uv;\n"
    "out vec4 o_colour;\n"
    "void main() { o_colour = texture(u_texture, v_uv) * v_colour; }\n";

// D3DX-style render-to-surface: a scene on a surface with its own depth buffer.
class RenderToSurfaceImpl final : public RenderToSurface {
public:
  RenderToSurfaceImpl(Device* device, uint32_t width, uint32_t height, uint32_t format,
                      bool depthStencil, uint32_t depthFormat)
      : m_device(device),
        m_width(width),
        m_height(height),
        m_format(format),
        m_wantDepth(depthStencil),
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
    if (m_device->IsRecording())
      m_device->RecordCall("RenderToSurface::BeginScene " +
                           (surface ? surface->DebugName() : std::string("none")));
    if (m_inScene || !surface) {
      m_device->ReportMisuse("RenderToSurface::BeginScene: already in a scene or no surface");
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
    m_openedScene = !m_device->InScene();
    if (m_openedScene) m_device->BeginScene();
    m_inScene = true;
    return kOk;
  }

  HResult EndScene(uint32_t mipFilter) override {
    if (m_device->IsRecording())
      m_device->RecordCall("RenderToSurface::EndScene filter=" + std::to_string(mipFilter));
    if (!m_inScene) {
      m_device->ReportMisuse("RenderToSurface::EndScene without BeginScene");
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

  Device* m_device;
  uint32_t m_width, m_height, m_format;
  bool m_wantDepth;
  uint32_t m_depthFormat;
  Surface* m_depth = nullptr;
  Surface* m_savedTarget = nullptr;
  Surface* m_savedDepth = nullptr;
  Viewport m_savedViewport;
  bool m_inScene = false, m_openedScene = false;
};

// ---------------------------------------------------------------------------------
// Sprite: textured quads in target pixels.
class SpriteImpl final : public Sprite {
public:
  explicit SpriteImpl(Device* device) : m_device(device) {
    m_device->AddRef();
    for (int i = 0; i < 16; ++i) m_transform[i] = (i % 5 == 0) ? 1.0f : 0.0f;
  }
  ~SpriteImpl() override {
    if (m_begun) End();
    if (m_program) m_program->Release();
    m_device->Release();
  }

  HResult Begin(uint32_t flags) override {
    if (m_device->IsRecording()) m_device->RecordCall("Sprite::Begin flags=" + Hex(flags));
    if (m_begun) {
      m_device->ReportMisuse("Sprite::Begin twice");
      return kErrInvalidCall;
    }
    if (!m_program) {
      std::string log;
      if (Failed(m_device->CreateProgram(kSpriteVs, kSpriteFs, &m_program, &log))) {
        LogMessage("the sprite program did not build: " + log);
        return kErrFail;
      }
    }
    Device& d = *m_device;
    // What Begin changes, End puts back (the Get calls add the references held here).
    d.GetProgram(&m_savedProgram);
    d.GetFVF(&m_savedFvf);
    d.GetVertexDeclaration(&m_savedDecl);
    d.GetTexture(0, &m_savedTexture);
    for (uint32_t s : kStates) d.GetRenderState(s, &m_savedStates[s]);
    for (uint32_t s = 0; s < 16; ++s) d.GetSamplerState(0, s, &m_savedSampler[s]);
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

  HResult Draw(BaseTexture* texture, const Rect* source, const float center[3],
               const float position[3], uint32_t colour) override {
    if (m_device->IsRecording())
      m_device->RecordCall("Sprite::Draw " +
                           (texture ? texture->DebugName() : std::string("none")) +
                           " colour=" + Hex(colour));
    if (!m_begun || !texture || texture->Type() != ResourceType::Texture) {
      m_device->ReportMisuse("Sprite::Draw outside Begin/End or without a 2D texture");
      return kErrInvalidCall;
    }
    auto* t = static_cast<Texture*>(texture);
    float tw = static_cast<float>(t->Width()), th = static_cast<float>(t->Height());
    Rect r = source
                 ? *source
                 : Rect{0, 0, static_cast<int32_t>(t->Width()), static_cast<int32_t>(t->Height())};
    float cx = center ? center[0] : 0.0f, cy = center ? center[1] : 0.0f,
          cz = center ? center[2] : 0.0f;
    float px = position ? position[0] : 0.0f, py = position ? position[1] : 0.0f,
          pz = position ? position[2] : 0.0f;
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
    if (m_device->IsRecording())
      m_device->RecordCall("Sprite::Flush quads=" + std::to_string(m_quads.size()));
    if (!m_begun) return kErrInvalidCall;
    HResult result = kOk;
    Device& d = *m_device;
    if (!m_quads.empty()) {
      d.SetProgram(m_program);
      int unit = 0;
      d.SetUniformInts(m_program->UniformLocation("u_texture"), 1, &unit);
      d.SetFVF(kFvfXyz | kFvfDiffuse | (1u << kFvfTexCountShift));
      Viewport vp;
      d.GetViewport(&vp);
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
          HResult hr = d.DrawPrimitiveUP(kTriangleList, static_cast<uint32_t>(batch.size() / 3),
                                         batch.data(), sizeof(Vertex));
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
    if (m_device->IsRecording()) m_device->RecordCall("Sprite::End");
    if (!m_begun) {
      m_device->ReportMisuse("Sprite::End without Begin");
      return kErrInvalidCall;
    }
    HResult hr = Flush();
    Device& d = *m_device;
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
  static constexpr uint32_t kStates[10] = {kRsCullMode,
                                           kRsZEnable,
                                           kRsZWriteEnable,
                                           kRsAlphaTestEnable,
                                           kRsSeparateAlphaBlendEnable,
                                           kRsColorWriteEnable,
                                           kRsBlendOp,
                                           kRsAlphaBlendEnable,
                                           kRsSrcBlend,
                                           kRsDestBlend};
  Device* m_device;
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

}  // namespace

RenderToSurface* NewRenderToSurface(Device* device, uint32_t width, uint32_t height,
                                    uint32_t format, bool depthStencil, uint32_t depthFormat) {
  return new RenderToSurfaceImpl(device, width, height, format, depthStencil, depthFormat);
}

Sprite* NewSprite(Device* device) { return new SpriteImpl(device); }

}  // namespace gpu
}  // namespace plat
