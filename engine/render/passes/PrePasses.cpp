#include <algorithm>
#include <cmath>
#include <iterator>
#include <utility>

#include "engine/core/Log.h"
#include "engine/render/RenderManager.h"
#include "engine/render/device/GraphicsManager.h"
#include "engine/render/lights/LightManager.h"
#include "engine/render/passes/FilmLook.h"
#include "engine/render/passes/PassCommon.h"
#include "engine/render/passes/RenderPasses.h"

namespace vd {
namespace gfx {

namespace gpu = plat::gpu;

namespace {
constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kTransparentBlack = 0x00000000u;
constexpr uint32_t kOpaqueBlack = 0xFF000000u;
constexpr float kDownSamplingBlurFactor = 2.0f;
const char* const kNoiseTexture = "SSAO_noise.dds";
}  // namespace

int CubeFaceForView(int view) {
  if (view == 0) return 1;
  if (view == 1) return 0;
  return view;
}

int ShadowMapSize(int resolution, bool halfResolution) {
  return halfResolution ? resolution / 2 : resolution;
}

SDoFSizes DepthOfFieldSizes(int screenWidth, int screenHeight) {
  const float qw = static_cast<float>(screenWidth) * 0.25f;
  const float qh = static_cast<float>(screenHeight) * 0.25f;
  return SDoFSizes{static_cast<int>(qw), static_cast<int>(qh), qw > 0.0f ? 1.0f / qw : 0.0f,
                   qh > 0.0f ? 1.0f / qh : 0.0f};
}

void SwapTargets(CRenderTarget& a, CRenderTarget& b) {
  std::swap(a.graphicsManager, b.graphicsManager);
  std::swap(a.device, b.device);
  std::swap(a.texture, b.texture);
  std::swap(a.renderToSurface, b.renderToSurface);
  std::swap(a.surface, b.surface);
  std::swap(a.savedDepth, b.savedDepth);
  std::swap(a.quad, b.quad);
  std::swap(a.eyeQuad, b.eyeQuad);
  std::swap(a.hasEye, b.hasEye);
  std::swap(a.eye, b.eye);
  std::swap(a.sharedDepth, b.sharedDepth);
  std::swap(a.hasRenderToSurface, b.hasRenderToSurface);
  std::swap(a.autoMipmaps, b.autoMipmaps);
  std::swap(a.inScene, b.inScene);
  std::swap(a.width, b.width);
  std::swap(a.height, b.height);
  std::swap(a.mipLevels, b.mipLevels);
  std::swap(a.format, b.format);
  std::swap(a.depthFormat, b.depthFormat);
  std::swap(a.viewport, b.viewport);
  std::swap(a.wasValid, b.wasValid);
}

CRenderPasses::CRenderPasses(CRenderManager& manager, CGraphicsManager* graphics)
    : lights(lig::CLightManager::GetInstance()),
      m_manager(manager),
      m_graphics(graphics),
      m_filmLook(std::make_unique<CFilmLook>(manager, *this)) {
  draws.drawTable = [&manager](const STechniqueEntry* table, int count, bool glowersOnly) {
    return manager.DrawWithTechniqueTable(glowersOnly, table, count);
  };
  draws.anyGlower = [&manager] { return manager.HasGlowerToDraw(); };
  draws.drawShadowCasters = [&manager](const CStringHash& effect, const char* technique,
                                       const plat::Mat4* view, const plat::Mat4* projection,
                                       const plat::Vec3* lightPosition) {
    manager.DrawShadowCasters(effect, technique, view, projection, lightPosition);
  };
}

CRenderPasses::~CRenderPasses() = default;

gpu::Device* CRenderPasses::Device() const { return m_graphics ? m_graphics->device : nullptr; }

const SCameraView* CRenderPasses::ViewCamera() const {
  return m_manager.hasView ? &m_manager.viewState : nullptr;
}

const SCameraView* CRenderPasses::CullingCamera() const {
  return m_manager.hasView ? &m_manager.cullState : nullptr;
}

void CRenderPasses::ReportMissing(const std::string& what) {
  const std::string key = "|" + what + "|";
  if (m_missing.find(key) != std::string::npos) return;
  m_missing += key;
  utl::LogPrintf("Render passes: %s\n", what.c_str());
}

void CRenderPasses::ForgetMissing(const std::string& what) {
  const std::string key = "|" + what + "|";
  const size_t at = m_missing.find(key);
  if (at != std::string::npos) m_missing.erase(at, key.size());
}

plat::fx::Effect* CRenderPasses::FindEffect(const char* name) {
  const CShader* shader = m_manager.shaders.Find(CStringHash(name));
  const std::string what = std::string("no effect ") + name + ", its passes are off";
  if (!shader || !shader->effect) {
    ReportMissing(what);
    return nullptr;
  }
  ForgetMissing(what);
  return shader->effect;
}

gpu::BaseTexture* CRenderPasses::FindTexture(const char* name) const {
  const CTexture* texture = m_manager.textures.Find(CStringHash(name));
  return texture ? texture->GetDeviceTexture() : nullptr;
}

bool CRenderPasses::EnsureTarget(CRenderTarget& target, int width, int height, uint32_t format,
                                 uint32_t depthFormat, bool throughTarget) {
  // A live target keeps its size and format until it is released.
  if (target.texture && target.surface && (target.renderToSurface || !throughTarget)) {
    if (!target.quad) target.CreateScreenQuad();
    return true;
  }
  if (!Device() || width <= 0 || height <= 0) return false;
  gpu::Viewport viewport;
  viewport.width = static_cast<uint32_t>(width);
  viewport.height = static_cast<uint32_t>(height);
  target.Create(m_graphics, viewport.width, viewport.height, format, false, depthFormat,
                throughTarget, true, viewport);
  return target.IsCreated();
}

int CRenderPasses::DrawSceneList(CRenderTarget& target, uint32_t clearColour,
                                 const STechniqueEntry* table, int count, bool glowersOnly) {
  target.BeginScene();
  Device()->Clear(0, nullptr, gpu::kClearTarget | gpu::kClearZBuffer, clearColour, 1.0f, 0);
  const int drawn = draws.drawTable ? draws.drawTable(table, count, glowersOnly) : 0;
  target.EndScene();
  return drawn;
}

bool CRenderPasses::DrawQuadPasses(plat::fx::Effect* effect, CRenderTarget& quadOwner) {
  uint32_t passes = 0;
  if (gpu::Failed(effect->Begin(&passes, 0))) return false;
  bool drew = false;
  for (uint32_t p = 0; p < passes; ++p) {
    if (gpu::Failed(effect->BeginPass(p))) continue;
    if (quadOwner.quad) {
      quadOwner.quad->DrawAll(true);
      drew = true;
    }
    effect->EndPass();
  }
  effect->End();
  return drew;
}

// --- Scene-list passes ---------------------------------------------------------------

void CRenderPasses::RenderLinearDepth(CRenderTarget& target, int size) {
  static const STechniqueEntry kTable[] = {
      {kRenderTypeStatic, "z_map", "ComputeZNLinearTech"},
      {kRenderTypeAnimation, "z_map", "ComputeZNLinearTech_Skinned"}};
  if (!EnsureTarget(target, size, size, gpu::kFmtR32F, m_graphics->depthFormat)) return;
  DrawSceneList(target, kWhite, kTable, static_cast<int>(std::size(kTable)), false);
}

void CRenderPasses::RenderDecalDepth(CRenderTarget& target, int size) {
  // Characters are left out: decals lie on the level's own surfaces.
  static const STechniqueEntry kTable[] = {{kRenderTypeStatic, "z_map", "ComputeZNLinearTech"}};
  if (!EnsureTarget(target, size, size, gpu::kFmtR32F, m_graphics->depthFormat)) return;
  DrawSceneList(target, kWhite, kTable, static_cast<int>(std::size(kTable)), false);
}

void CRenderPasses::RenderGlowDepth(CRenderTarget& target, int width, int height) {
  static const STechniqueEntry kTable[] = {
      {kRenderTypeStatic, "z_map", "ComputeZNLinearTechGlow"},
      {kRenderTypeAnimation, "z_map", "ComputeZNLinearTechGlow_Skinned"}};
  if (!EnsureTarget(target, width, height, gpu::kFmtR32F, m_graphics->depthFormat)) return;
  DrawSceneList(target, kWhite, kTable, static_cast<int>(std::size(kTable)), true);
}

int CRenderPasses::RenderGlowColour(CRenderTarget& target, int width, int height) {
  static const STechniqueEntry kTable[] = {{kRenderTypeStatic, "Glow", "glowTech"},
                                           {kRenderTypeAnimation, "Glow", "glowTech_Skinned"}};
  if (!EnsureTarget(target, width, height, gpu::kFmtA8R8G8B8, m_graphics->depthFormat)) return 0;
  return DrawSceneList(target, kTransparentBlack, kTable, static_cast<int>(std::size(kTable)),
                       true);
}

void CRenderPasses::RenderGlow() {
  const int size = m_manager.glowSize;
  CRenderTarget& colour = m_manager.renderTargets[kTargetGlowColour];
  // A level without glowers would otherwise pay the glow colour's clear, the glow
  // depth, a full blur and a full-screen merge of transparent black every frame; only
  // the merge reads the glow targets, and the frame skips the merge too.
  const int glowers =
      draws.anyGlower && !draws.anyGlower() ? 0 : RenderGlowColour(colour, size, size);
  m_glowEmpty = glowers == 0;
  m_manager.glowersDrawn = !m_glowEmpty;
  if (m_glowEmpty) return;
  RenderGlowDepth(m_manager.renderTargets[kTargetGlowDepth], size, size);
  SimpleBlur(colour, size, size, colour, false, true);
}

// --- Ambient occlusion -------------------------------------------------------------

bool CRenderPasses::RenderSSAO(CRenderTarget& depth, CRenderTarget& output, int width, int height) {
  m_ssaoDrawn = false;
  plat::fx::Effect* effect = FindEffect("SSAO");
  gpu::BaseTexture* noise = FindTexture(kNoiseTexture);
  const std::string noNoise = std::string("no texture ") + kNoiseTexture + ", SSAO is off";
  if (noise) {
    ForgetMissing(noNoise);
  } else {
    ReportMissing(noNoise);
  }
  if (!noise || !effect ||
      !EnsureTarget(output, width, height, gpu::kFmtA8R8G8B8, m_graphics->depthFormat) ||
      gpu::Failed(effect->SetTechnique("SSAO_tech"))) {
    // The scene must not read an occlusion map that was not drawn: off until the
    // next commit brings the setting back.
    m_manager.ssao.render = false;
    return false;
  }
  output.BeginScene();
  Device()->Clear(0, nullptr, gpu::kClearTarget | gpu::kClearZBuffer, kWhite, 1.0f, 0);
  fxset::Texture(effect, "gNZLinearMapTexture", depth.texture);
  float noiseWidth = 0.0f, noiseHeight = 0.0f;
  if (noise->Type() == gpu::ResourceType::Texture) {
    const auto* t = static_cast<const gpu::Texture*>(noise);
    noiseWidth = static_cast<float>(t->Width());
    noiseHeight = static_cast<float>(t->Height());
  }
  fxset::Float2(effect, "gTexture_noise_size", noiseWidth, noiseHeight);
  fxset::Texture(effect, "gNoiseTexture", noise);
  if (const SCameraView* camera = ViewCamera()) {
    fxset::Float(effect, "gCamera_far_max_length", GetCameraFarMaxLength(*camera));
    fxset::Matrix(effect, "gProj", camera->projection);
  }
  DrawQuadPasses(effect, output);
  output.EndScene();
  m_ssaoDrawn = true;
  return true;
}

void CRenderPasses::BlurSSAO(CRenderTarget& ssao, CRenderTarget& depth, int width, int height,
                             CRenderTarget& final, int finalWidth, int finalHeight) {
  if (!m_ssaoDrawn) return;
  CRenderTarget& between = m_manager.renderTargets[kTargetBlur];
  GaussianBlur(&depth, ssao, width, height, between, width, height, true);
  GaussianBlur(&depth, between, width, height, final, finalWidth, finalHeight, false);
}

void CRenderPasses::GaussianBlur(CRenderTarget* depth, CRenderTarget& source, int sourceWidth,
                                 int sourceHeight, CRenderTarget& destination, int destinationWidth,
                                 int destinationHeight, bool horizontal) {
  plat::fx::Effect* effect = FindEffect("Blur");
  if (!EnsureTarget(destination, destinationWidth, destinationHeight, gpu::kFmtA8R8G8B8,
                    m_graphics->depthFormat))
    return;
  destination.BeginScene();
  Device()->Clear(0, nullptr, gpu::kClearTarget | gpu::kClearZBuffer, kOpaqueBlack, 1.0f, 0);
  if (effect && &source != &destination &&
      gpu::Succeeded(effect->SetTechnique(horizontal ? "GaussianBlurFilterH_tech"
                                                     : "GaussianBlurFilterV_tech"))) {
    fxset::Texture(effect, "gTextureToBlurInput", source.texture);
    fxset::Float(effect, "gTextureToBlur_res_w", static_cast<float>(sourceWidth));
    fxset::Float(effect, "gTextureToBlur_res_h", static_cast<float>(sourceHeight));
    fxset::Float(effect, "gDownSamplingBlurFactor", kDownSamplingBlurFactor);
    fxset::Bool(effect, "gWeightDepthNormal", depth != nullptr);
    if (depth) fxset::Texture(effect, "gNZLinearMapTexture", depth->texture);
    if (const SCameraView* camera = ViewCamera())
      fxset::Float(effect, "gCamera_far_max_length", GetCameraFarMaxLength(*camera));
    DrawQuadPasses(effect, destination);
  }
  destination.EndScene();
}

void CRenderPasses::SimpleBlur(CRenderTarget& source, int width, int height,
                               CRenderTarget& destination, bool forShadows, bool throughTarget) {
  plat::fx::Effect* effect = FindEffect("Blur");
  gpu::Device* device = Device();
  if (!device) return;
  const uint32_t format = forShadows ? gpu::kFmtA8R8G8B8 : m_graphics->backBufferFormat;
  const bool intoItself = &source == &destination;
  // Reading and writing one texture is undefined: draw into a second target that
  // then takes the destination's place.
  CRenderTarget& drawn = throughTarget && intoItself ? m_pingPong : destination;
  if (&drawn == &m_pingPong &&
      (m_pingPong.width != source.width || m_pingPong.height != source.height ||
       m_pingPong.format != source.format))
    m_pingPong.Release();
  const uint32_t drawnFormat = intoItself && source.texture ? source.format : format;
  if (!EnsureTarget(drawn, width, height, drawnFormat, m_graphics->depthFormat, throughTarget))
    return;
  if (throughTarget) {
    drawn.BeginScene();
  } else if (gpu::Failed(device->BeginScene())) {
    return;
  }
  device->Clear(0, nullptr, gpu::kClearTarget, kOpaqueBlack, 1.0f, 0);
  if (effect && gpu::Succeeded(effect->SetTechnique(forShadows ? "SimpleBlurForShadows_tech"
                                                               : "SimpleBlur_tech"))) {
    fxset::Texture(effect, "gTextureToBlurInput", source.texture);
    fxset::Float(effect, "gTextureToBlur_res_w", static_cast<float>(width));
    fxset::Float(effect, "gTextureToBlur_res_h", static_cast<float>(height));
    fxset::Float(effect, "gDownSamplingBlurFactor", kDownSamplingBlurFactor);
    DrawQuadPasses(effect, drawn);
  }
  if (throughTarget) {
    drawn.EndScene();
    if (&drawn != &destination) SwapTargets(drawn, destination);
  } else {
    device->EndScene();
    destination.CaptureBackBuffer();
  }
}

// --- The render manager's calls ----------------------------------------------------

void CRenderPasses::RenderDecalDepth(CRenderTarget* target, int size) {
  if (target) RenderDecalDepth(*target, size);
}
void CRenderPasses::RenderLinearDepth(CRenderTarget* target, int size) {
  if (target) RenderLinearDepth(*target, size);
}
void CRenderPasses::RenderSSAO(CRenderTarget* depth, CRenderTarget* output, int width, int height) {
  if (depth && output) {
    RenderSSAO(*depth, *output, width, height);
  } else {
    m_ssaoDrawn = false;
  }
}
void CRenderPasses::BlurSSAO(CRenderTarget* ssao, CRenderTarget* depth, int width, int height,
                             CRenderTarget* final, int finalWidth, int finalHeight) {
  if (ssao && depth && final)
    BlurSSAO(*ssao, *depth, width, height, *final, finalWidth, finalHeight);
}
void CRenderPasses::SimpleBlur(CRenderTarget* source, int width, int height,
                               CRenderTarget* destination, bool forShadows, bool throughTarget) {
  if (source && destination)
    SimpleBlur(*source, width, height, *destination, forShadows, throughTarget);
}
void CRenderPasses::RenderScreenShadows(CRenderTarget* target, int size) {
  if (target) RenderScreenShadows(*target, size);
}
void CRenderPasses::RenderCameraDepth(CRenderTarget* target) {
  if (target) RenderCameraDepth(*target);
}
bool CRenderPasses::ApplyScreenShadows(CRenderTarget* sceneCopy) {
  return sceneCopy && ApplyScreenShadows(*sceneCopy);
}
bool CRenderPasses::MergeGlow(CRenderTarget* sceneCopy, CRenderTarget* glowColour,
                              CRenderTarget* glowDepth, CRenderTarget* linearDepth) {
  return sceneCopy && glowColour && glowDepth && linearDepth &&
         MergeGlow(*sceneCopy, *glowColour, *glowDepth, *linearDepth);
}
bool CRenderPasses::RenderDepthOfField(CRenderTarget* sceneCopy, int width, int height) {
  return sceneCopy && RenderDepthOfField(*sceneCopy, width, height);
}
bool CRenderPasses::RenderRadialBlur(CRenderTarget* sceneCopy) {
  return sceneCopy && RenderRadialBlur(*sceneCopy);
}
bool CRenderPasses::RenderFinalFX(CRenderTarget* sceneCopy, float dt) {
  const bool drew = sceneCopy && m_filmLook->RenderFinalFX(*sceneCopy, dt);
  // The fold holds for the one film look after it.
  if (m_dofFolded) {
    m_dofFolded = false;
    if (plat::fx::Effect* effect = FindEffect("render2texture"))
      fxset::Bool(effect, "gFinalFXDoF", false);
  }
  return drew;
}
bool CRenderPasses::FoldDepthOfFieldIntoFinalFX(CRenderTarget* sceneCopy, int width, int height) {
  return sceneCopy && FoldDepthOfFieldIntoFinalFX(*sceneCopy, width, height);
}
void CRenderPasses::SetSunLightParameters(CShader* shader) {
  if (shader) SetSunLightParameters(shader->effect);
}

void CRenderPasses::RenderDecals(float dt, float width, float height) {
  if (draws.drawDecals) draws.drawDecals(dt, width, height);
}

void CRenderPasses::OnLostDevice() {
  for (SShadowSplit& split : m_splits) split.target.OnLostDevice();
  m_pingPong.Release();
}

void CRenderPasses::OnResetDevice() {
  for (SShadowSplit& split : m_splits) split.target.OnResetDevice();
}

}  // namespace gfx
}  // namespace vd
