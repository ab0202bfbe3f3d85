#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "engine/core/Log.h"
#include "engine/render/RenderManager.h"
#include "engine/render/device/GraphicsManager.h"
#include "engine/render/device/ShadowGeometry.h"
#include "engine/render/lights/LightManager.h"
#include "engine/render/passes/PassCommon.h"
#include "engine/render/passes/RenderPasses.h"

namespace vd {
namespace gfx {

namespace gpu = plat::gpu;

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr int kCameraDepthSize = 512;
const CStringHash kZMap("z_map");

SFrustumView FrustumViewOf(const SCameraView& camera) {
  SFrustumView v;
  v.eye = camera.eye;
  v.forward = camera.front;
  v.right = camera.right;
  v.up = camera.up;
  v.fov = camera.fov * 3.14159265f / 180.0f;
  return v;
}

}  // namespace

void CRenderPasses::RenderShadowCasters(CRenderTarget& target, const plat::Mat4& view,
                                        const plat::Mat4& projection, int resolution) {
  const int size = ShadowMapSize(resolution, m_manager.halfResolutionShadows.render);
  // The shadow quality may have changed the size since the map was made: the
  // effects take their texel size from the size asked for, so the map must match.
  if (target.IsCreated() && (int(target.width) != size || int(target.height) != size))
    target.Release();
  if (!EnsureTarget(target, size, size, gpu::kFmtR32F, gpu::kFmtD16)) return;
  target.BeginScene();
  Device()->Clear(0, nullptr, gpu::kClearTarget | gpu::kClearZBuffer, kWhite, 1.0f, 0);
  if (draws.drawShadowCasters)
    draws.drawShadowCasters(kZMap, "ComputeZForShadowsTech_Skinned", &view, &projection, nullptr);
  target.EndScene();
}

void CRenderPasses::RenderShadowCastersCube(CCubeRenderTarget& target, int face,
                                            const plat::Mat4& view, const plat::Mat4& projection,
                                            int resolution, const plat::Vec3& lightPosition) {
  const int edge = ShadowMapSize(resolution, m_manager.halfResolutionShadows.render);
  if (target.IsCreated() && int(target.size) != edge) target.Release();
  if (!target.IsCreated()) {
    if (!Device() || edge <= 0) return;
    gpu::Viewport viewport;
    viewport.width = viewport.height = static_cast<uint32_t>(edge);
    target.Create(m_graphics, viewport.width, viewport);
    if (!target.IsCreated()) return;
  }
  if (!target.BeginFace(static_cast<uint32_t>(face))) return;
  Device()->Clear(0, nullptr, gpu::kClearTarget | gpu::kClearZBuffer, kWhite, 1.0f, 0);
  if (draws.drawShadowCasters)
    draws.drawShadowCasters(kZMap, "ComputeCubicZForShadowsTech_Skinned", &view, &projection,
                            &lightPosition);
  target.EndFace();
}

void CRenderPasses::RenderSunShadowMaps() {
  lig::CAbstractLight* sun = m_manager.sunLight;
  m_splitCount = 0;
  m_manager.usedShadowSplits = 0;
  if (!m_manager.sunShadows.render || !sun) return;
  const SCameraView* camera = CullingCamera();
  if (!camera) return;
  float res = sun->zmapResolution;
  uint32_t count = sun->numSplits;
  if (count > static_cast<uint32_t>(kMaxSunSplits)) {
    if (!m_splitClampReported)
      utl::LogPrintf("Sun light %s asks for %u shadow splits; %d are drawn\n", sun->lightId.c_str(),
                     count, kMaxSunSplits);
    m_splitClampReported = true;
    count = kMaxSunSplits;
  }
  m_manager.sunShadowValue = sun->pssmAttenuation;
  float distances[kMaxSplits];
  ComputeSplitDistances(camera->nearPlane, camera->farPlane, static_cast<int>(sun->splitTableSize),
                        sun->alphaScheme, distances);
  const SFrustumView frustum = FrustumViewOf(*camera);
  const bool fitted = sun->type == lig::kLightSun && sun->splitTableSize > 1;
  for (uint32_t i = 0; i < count; ++i) {
    SShadowSplit& split = m_splits[i];
    if (i == 2) res *= 0.5f;  // the farthest split is drawn at half the resolution
    split.nearDistance = distances[i];
    split.farDistance = distances[i + 1];
    if (fitted) {
      plat::Vec3 corners[8];
      CRenderManager::SplitFrustumCorners(frustum, split.nearDistance, split.farDistance, corners);
      ComputeCropMatrices(corners, sun->view, sun->projection, split.view, split.projection);
    } else {
      split.view = sun->view;
      split.projection = sun->projection;
    }
    RenderShadowCasters(split.target, split.view, split.projection, static_cast<int>(res));
    // What the map was drawn at, which is what its texel size must come from.
    split.resolution = ShadowMapSize(static_cast<int>(res), m_manager.halfResolutionShadows.render);
  }
  m_splitCount = static_cast<int>(count);
  m_manager.usedShadowSplits = count;
}

namespace {
// The zone's lights of a type, the first `limit` of them, with one log line when
// there are more.
std::vector<lig::CAbstractLight*> ZoneLights(lig::CLightManager* lights, uint32_t type,
                                             uint32_t zone, uint32_t limit, uint64_t* reported) {
  std::vector<lig::CAbstractLight*> out;
  if (!lights) return out;
  lights->GetLights(type, out, zone);
  if (out.size() > limit) {
    const uint64_t report = (uint64_t(zone) << 32) | out.size();
    if (*reported != report)
      utl::LogPrintf("Zone %u has %zu %s lights; shadows are drawn for the first %u\n",
                     unsigned(zone), out.size(), type == lig::kLightPoint ? "point" : "spot",
                     unsigned(limit));
    *reported = report;
    out.resize(limit);
  }
  return out;
}
}  // namespace

void CRenderPasses::RenderSpotShadowMaps() {
  const uint32_t zone = static_cast<uint32_t>(m_manager.gameZone.render);
  for (lig::CAbstractLight* light :
       ZoneLights(lights, lig::kLightSpot, zone, lig::kMaxShaderSpotLights,
                  &m_lightClampReport[lig::kLightSpot])) {
    if (!light->CastsShadows() || !light->shadowTarget) continue;
    RenderShadowCasters(*light->shadowTarget, light->view, light->projection,
                        static_cast<int>(light->zmapResolution));
  }
}

void CRenderPasses::RenderPointShadowMaps() {
  const uint32_t zone = static_cast<uint32_t>(m_manager.gameZone.render);
  for (lig::CAbstractLight* light :
       ZoneLights(lights, lig::kLightPoint, zone, lig::kMaxShaderPointLights,
                  &m_lightClampReport[lig::kLightPoint])) {
    if (!light->CastsShadows() || !light->cubeShadowTarget) continue;
    const plat::Vec3 position = light->GetPosition();
    for (int view = 0; view < 6; ++view)
      RenderShadowCastersCube(*light->cubeShadowTarget, CubeFaceForView(view),
                              light->cubeViews[view], light->projection,
                              static_cast<int>(light->zmapResolution), position);
  }
}

void CRenderPasses::RenderScreenShadows(CRenderTarget& target, int size) {
  static const STechniqueEntry kTable[] = {
      {kRenderTypeStatic, "shadowing", "ComputeScreenShadowsTech"}};
  if (!EnsureTarget(target, size, size, gpu::kFmtA8R8G8B8, m_graphics->depthFormat)) return;
  if (plat::fx::Effect* effect = FindEffect("shadowing")) {
    fxset::Float(effect, "gShadowing_PCF_Enabled", m_manager.pcf.render ? 1.0f : 0.0f);
    SetSunLightParameters(effect);
  }
  DrawSceneList(target, kWhite, kTable, static_cast<int>(std::size(kTable)), false);
}

void CRenderPasses::RenderCameraDepth(CRenderTarget& target) {
  static const STechniqueEntry kTable[] = {{kRenderTypeStatic, "z_map", "ComputeZTech"},
                                           {kRenderTypeAnimation, "z_map", "ComputeZTech_Skinned"}};
  if (!EnsureTarget(target, kCameraDepthSize, kCameraDepthSize, gpu::kFmtR32F, gpu::kFmtD16))
    return;
  DrawSceneList(target, kWhite, kTable, static_cast<int>(std::size(kTable)), false);
}

void CRenderPasses::SetSunLightParameters(plat::fx::Effect* effect) {
  lig::CAbstractLight* sun = m_manager.sunLight;
  if (!effect) return;
  // Without a sun, or without its shadows this frame, the effects must not keep
  // the splits of an earlier frame (or level).
  if (!m_manager.sunShadows.render || !m_manager.shadows.render || !sun) {
    fxset::Float(effect, "gNumSunSplits", 0.0f);
    return;
  }
  const plat::Vec3 p = sun->GetPosition();
  fxset::Float4(effect, "gWorldSunLightPos", plat::Vec4(p.x, p.y, p.z, 1.0f));
  fxset::Float3(effect, "gSunLightColor", sun->colour.x, sun->colour.y, sun->colour.z);
  fxset::Float(effect, "gNumSunSplits", static_cast<float>(m_splitCount));
  plat::Mat4 viewProj[kMaxSunSplits];
  float resolutions[kMaxSunSplits] = {};
  for (int i = 0; i < m_splitCount; ++i) {
    viewProj[i] = plat::Multiply(m_splits[i].view, m_splits[i].projection);
    resolutions[i] = static_cast<float>(m_splits[i].resolution);
    const std::string name = "gSunLightZMapTexture" + std::to_string(i);
    fxset::Texture(effect, name.c_str(), m_splits[i].target.texture);
  }
  fxset::Floats(effect, "gSunLightSplitZMapRes", resolutions, kMaxSunSplits);
  fxset::Matrices(effect, "gSunLightViewProj", viewProj, kMaxSunSplits);
  fxset::Float(effect, "gSunLightAttenuation", m_manager.sunShadowValue);
}

void CRenderPasses::SetSpotLightParameters(CShader* shader) { SetPointLightParameters(shader); }

void CRenderPasses::SetPointLightParameters(CShader* shader) {
  // The light manager fills both arrays at once, with their limits of 4 and 3.
  if (!shader || !lights) return;
  lig::SShaderLights shaderLights;
  lights->GetShaderLights(static_cast<uint32_t>(m_manager.gameZone.render),
                          m_manager.shadows.render, m_manager.halfResolutionShadows.render, shaderLights);
  lig::ApplyShaderLights(*shader, shaderLights);
}

}  // namespace gfx
}  // namespace vd
