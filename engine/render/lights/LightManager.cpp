#include "engine/render/lights/LightManager.h"

#include <string>

#include "engine/core/Locks.h"
#include "engine/core/Log.h"
#include "engine/render/RenderManager.h"
#include "engine/render/device/RenderTarget.h"
#include "engine/render/Shader.h"

namespace vd {
namespace lig {

namespace {
void EmptyTable(utl::CStringHashMap<CAbstractLight>& table) {
  table.ownsValues = 0;
  table.RemoveAll();
  table.ownsValues = 0;
  table.resetValues = 0;
}

void PutVec3(float* out, const plat::Vec3& v) {
  out[0] = v.x;
  out[1] = v.y;
  out[2] = v.z;
}
}  // namespace

CLightManager::~CLightManager() {
  Shutdown();
  ClearInstance(this);
}

bool CLightManager::Init() {
  sys::CScopedLock lock(sys::kLockRender);
  sunChanged = 0;
  EmptyTable(liveLights);
  EmptyTable(pendingLights);
  pendingSun = sunToClear = nullptr;
  m_lastClampReport = ~0ull;
  return true;
}

void CLightManager::Shutdown() {
  sys::CScopedLock lock(sys::kLockRender);
  sunChanged = 0;
  EmptyTable(liveLights);
  EmptyTable(pendingLights);
  pendingSun = sunToClear = nullptr;
}

bool CLightManager::RegisterLight(const char* lightId, CAbstractLight* light) {
  if (!light) return false;
  const CStringHash id(lightId ? lightId : "");
  sys::CScopedLock lock(sys::kLockRender);
  // The table's Add would delete a duplicate; the light belongs to its object.
  if (pendingLights.Find(id) || liveLights.Find(id)) {
    utl::LogPrintf("Light %s is registered already; the later one is not lit\n", id.c_str());
    return false;
  }
  pendingLights.Add(id, light);
  if (light->type == kLightSun) {
    sunChanged = 1;
    pendingSun = light;
  }
  return true;
}

void CLightManager::UnregisterLight(const char* lightId) {
  const CStringHash id(lightId ? lightId : "");
  sys::CScopedLock lock(sys::kLockRender);
  CAbstractLight* light = liveLights.Find(id);
  if (!light) light = pendingLights.Find(id);
  if (light && light->type == kLightSun) {
    sunChanged = 0;
    sunToClear = light;
    // The light may be deleted right after: it must not become the sun at the
    // commit, nor stay the sun the shadow pass reads until then.
    if (pendingSun == light) pendingSun = nullptr;
    gfx::CRenderManager* render = gfx::CRenderManager::GetInstance();
    if (render && render->sunLight == light) render->sunLight = nullptr;
  }
  liveLights.Remove(id);
  pendingLights.Remove(id);
}

void CLightManager::CommitPendingLights() {
  sys::CScopedLock lock(sys::kLockRender);
  for (const auto& entry : pendingLights) {
    CAbstractLight* light = entry.second;
    if (!light || liveLights.Find(light->lightId)) continue;
    liveLights.Add(light->lightId, light);
  }
  EmptyTable(pendingLights);
  gfx::CRenderManager* render = gfx::CRenderManager::GetInstance();
  if (render) {
    if (sunToClear && render->sunLight == sunToClear) render->sunLight = nullptr;
    if (pendingSun) render->sunLight = pendingSun;
    // Taken once a frame (the main thread's commit), so that every entry of the
    // frame lights from one position.
    if (render->sunLight) render->sunLightPosition = render->sunLight->GetPosition();
  }
  pendingSun = sunToClear = nullptr;
}

void CLightManager::GetLights(uint32_t type, std::vector<CAbstractLight*>& out,
                              uint32_t zone) const {
  sys::CScopedLock lock(sys::kLockRender);
  const uint32_t bit = 1u << (zone % 32u);
  for (const auto& entry : liveLights) {
    CAbstractLight* light = entry.second;
    if (light && light->type == type && light->IsEnabled() && (light->zoneMask & bit))
      out.push_back(light);
  }
}

void CLightManager::GetShaderLights(uint32_t zone, bool shadows, bool halfResolution,
                                    SShaderLights& out) {
  out = SShaderLights();
  std::vector<CAbstractLight*> points, spots;
  GetLights(kLightPoint, points, zone);
  GetLights(kLightSpot, spots, zone);
  const float resolutionScale = halfResolution ? 0.5f : 1.0f;
  const uint64_t report = (uint64_t(zone) << 40) | (uint64_t(points.size()) << 20) | spots.size();
  if ((points.size() > kMaxShaderPointLights || spots.size() > kMaxShaderSpotLights) &&
      report != m_lastClampReport) {
    utl::LogPrintf("Zone %u has %zu point and %zu spot lights; the shaders take %u and %u\n",
                   unsigned(zone), points.size(), spots.size(), unsigned(kMaxShaderPointLights),
                   unsigned(kMaxShaderSpotLights));
    m_lastClampReport = report;
  }
  out.pointCount = uint32_t(std::min<size_t>(points.size(), kMaxShaderPointLights));
  for (uint32_t i = 0; i < out.pointCount; ++i) {
    const CAbstractLight& light = *points[i];
    out.points[i] = &light;
    PutVec3(out.pointPos + 3 * i, light.GetPosition());
    PutVec3(out.pointColour + 3 * i, light.colour);
    PutVec3(out.pointAttenuation + 3 * i, light.attenuation);
    if (shadows && light.CastsShadows()) {
      out.pointShadows[i] = 1.0f;
      out.pointZMapRes[i] = light.zmapResolution * resolutionScale;
      out.pointFarPlane[i] = light.farPlane;
    }
  }
  out.spotCount = uint32_t(std::min<size_t>(spots.size(), kMaxShaderSpotLights));
  for (uint32_t i = 0; i < out.spotCount; ++i) {
    const CAbstractLight& light = *spots[i];
    out.spots[i] = &light;
    PutVec3(out.spotPos + 3 * i, light.GetPosition());
    PutVec3(out.spotDir + 3 * i, light.direction);
    PutVec3(out.spotColour + 3 * i, light.colour);
    PutVec3(out.spotAttenuation + 3 * i, light.attenuation);
    out.spotExponent[i] = light.spotExponent;
    out.spotViewProj[i] = plat::Multiply(light.view, light.projection);
    if (shadows && light.CastsShadows()) {
      out.spotShadows[i] = 1.0f;
      out.spotZMapRes[i] = light.zmapResolution * resolutionScale;
    }
  }
}

void CLightManager::OnLostDevice() {
  sys::CScopedLock lock(sys::kLockRender);
  for (auto* table : {&liveLights, &pendingLights})
    for (const auto& entry : *table) {
      CAbstractLight* light = entry.second;
      if (!light) continue;
      if (light->shadowTarget) light->shadowTarget->OnLostDevice();
      if (light->cubeShadowTarget) light->cubeShadowTarget->OnLostDevice();
    }
}

void CLightManager::OnResetDevice() {
  sys::CScopedLock lock(sys::kLockRender);
  for (auto* table : {&liveLights, &pendingLights})
    for (const auto& entry : *table) {
      CAbstractLight* light = entry.second;
      if (!light) continue;
      if (light->shadowTarget) light->shadowTarget->OnResetDevice();
      if (light->cubeShadowTarget) light->cubeShadowTarget->OnResetDevice();
    }
}

void ApplyShaderLights(gfx::CShader& shader, const SShaderLights& lights) {
  if (!shader.IsValid()) return;
  auto floats = [&shader](int index, const float* values, uint32_t count) {
    shader.SetFloatArray(shader.GetHandle(index), values, count);
  };
  shader.SetFloat(shader.GetHandle(gfx::kHNumPointLights), float(lights.pointCount));
  floats(gfx::kHPointLightsPosW, lights.pointPos, kMaxShaderPointLights * 3);
  floats(gfx::kHPointLightsColor, lights.pointColour, kMaxShaderPointLights * 3);
  floats(gfx::kHPointLightsAttEqParams, lights.pointAttenuation, kMaxShaderPointLights * 3);
  floats(gfx::kHPointLightsZMapRes, lights.pointZMapRes, kMaxShaderPointLights);
  floats(gfx::kHPointLightsFarPlane, lights.pointFarPlane, kMaxShaderPointLights);
  floats(gfx::kHPointLightsShadows, lights.pointShadows, kMaxShaderPointLights);
  for (uint32_t i = 0; i < lights.pointCount; ++i) {
    const CAbstractLight* light = lights.points[i];
    if (lights.pointShadows[i] != 0.0f && light && light->cubeShadowTarget)
      shader.SetTexture(shader.GetHandle(gfx::kHPointLightZMapCubeTexture0 + int(i)),
                        light->cubeShadowTarget->cubeTexture);
  }
  shader.SetFloat(shader.GetHandle(gfx::kHNumSpotLights), float(lights.spotCount));
  floats(gfx::kHSpotLightsPosW, lights.spotPos, kMaxShaderSpotLights * 3);
  floats(gfx::kHSpotLightsDirW, lights.spotDir, kMaxShaderSpotLights * 3);
  floats(gfx::kHSpotLightsColor, lights.spotColour, kMaxShaderSpotLights * 3);
  floats(gfx::kHSpotLightsAttEqParams, lights.spotAttenuation, kMaxShaderSpotLights * 3);
  floats(gfx::kHSpotLightsSpotExp, lights.spotExponent, kMaxShaderSpotLights);
  floats(gfx::kHSpotLightsZMapRes, lights.spotZMapRes, kMaxShaderSpotLights);
  floats(gfx::kHSpotLightsShadows, lights.spotShadows, kMaxShaderSpotLights);
  shader.SetMatrixArray(shader.GetHandle(gfx::kHSpotLightsViewProj), lights.spotViewProj,
                        kMaxShaderSpotLights);
  for (uint32_t i = 0; i < lights.spotCount; ++i) {
    const CAbstractLight* light = lights.spots[i];
    if (lights.spotShadows[i] != 0.0f && light && light->shadowTarget)
      shader.SetTexture(shader.GetHandle(gfx::kHSpotLightZMapTexture0 + int(i)),
                        light->shadowTarget->texture);
  }
}

size_t CLightManager::LiveCount() const {
  sys::CScopedLock lock(sys::kLockRender);
  return liveLights.Size();
}

size_t CLightManager::PendingCount() const {
  sys::CScopedLock lock(sys::kLockRender);
  return pendingLights.Size();
}

}  // namespace lig
}  // namespace vd
