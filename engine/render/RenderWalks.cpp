// Drawing render entries: effect and technique switches, the per-object values
// with their material, lightmap and mesh caches, the visibility tests, and the
// walks of the six render lists.
#include <cal3d/model.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_map>

#include "engine/core/Locks.h"
#include "engine/render/ParticleBatch.h"
#include "engine/render/RenderManager.h"
#include "engine/render/buffers/SkinVertexBuffer.h"
#include "engine/render/buffers/VertexBuffer.h"
#include "platform/fx/Effect.h"

namespace vd {
namespace gfx {

namespace {

// The effect parameters the draws set, looked up once per effect.
enum EParam : int {
  kPMsWorldTime,
  kPResWidth,
  kPResHeight,
  kPAspectRatio,
  kPWorld,
  kPWorldInv,
  kPView,
  kPProj,
  kPWorldView,
  kPViewProj,
  kPWorldViewProj,
  kPWorldCamPos,
  kPLocalCamPos,
  kPCameraRight,
  kPCameraUp,
  kPCameraFarMaxLength,
  kPTexture,
  kPTexDiffuse,
  kPTexTopDiffuse,
  kPTopDiffuseMap,
  kPSpecularMap,
  kPTexSpecular,
  kPNormalMap,
  kPTexNormal,
  kPAmbientLightTexture,
  kPLightmap,
  kPTexLightmap,
  kPEnvMap,
  kPWLightPos,
  kPParticlesDetached,
  kPSoftParticles,
  kPColorIntensityMultiplier,
  kPPSVisibilityFactor,
  kPVParticleData,
  kPLocalSunLightPos,
  kPGlowMultiplier,
  kPGlowColor,
  kPSSAOEnabled,
  kPAmbientResH,
  kPAmbientResV,
  kPShadowing,
  kPShadowingPCF,
  kPHalfPixelSizePCF,
  kPDoF,
  kPCinematicDoF,
  kPFocalDist,
  kPFarBlurPlaneDist,
  kPNearBlurPlaneDist,
  kPFarBlurLimit,
  kPTexScene,
  kPWaterNoise,
  kPWRes,
  kPHRes,
  kPNZLinearMap,
  kPScreenResW,
  kPScreenResH,
  kPCount
};

const char* const kParamNames[kPCount] = {"gMsWorldTime",
                                          "gResWidth",
                                          "gResHeight",
                                          "gAspectRatio",
                                          "gWorld",
                                          "gWorldInv",
                                          "gView",
                                          "gProj",
                                          "gWorldView",
                                          "gViewProj",
                                          "gWorldViewProj",
                                          "gWorldCamPos",
                                          "gLocalCamPos",
                                          "gCameraRight",
                                          "gCameraUp",
                                          "gCamera_far_max_length",
                                          "gTexture",
                                          "gTexDiffuse",
                                          "gTexTopDiffuse",
                                          "gTopDiffuseMap",
                                          "gSpecularMap",
                                          "gTexSpecular",
                                          "gNormalMap",
                                          "gTexNormal",
                                          "gAmbientLightTexture",
                                          "gLightmap",
                                          "gTexLightmap",
                                          "gEnvMap",
                                          "gWLightPos",
                                          "gParticlesDetached",
                                          "gSoftParticles",
                                          "gColorIntensityMultiplier",
                                          "gPSVisibilityFactor",
                                          "gVParticleData",
                                          "gLocalSunLightPos",
                                          "gGlowMultiplier",
                                          "gGlowColor",
                                          "gSSAO_Enabled",
                                          "gAmbientLightTextureResH",
                                          "gAmbientLightTextureResV",
                                          "gShadowing",
                                          "gShadowing_PCF_Enabled",
                                          "gHalfPixelSize_PCF",
                                          "gDoF",
                                          "gCinematicDoF",
                                          "gFocalDist",
                                          "gFarBlurPlaneDist",
                                          "gNearBlurPlaneDist",
                                          "gFarBlurLimit",
                                          "gTexScene",
                                          "gWaterNoiseTexure",
                                          "gWRes",
                                          "gHRes",
                                          "gNZLinearMapTexture",
                                          "gScreenResW",
                                          "gScreenResH"};

const CStringHash kSkyDome("sky_dome_d.dds");
const CStringHash kWaterNoise("water_noise");
constexpr float kFltMax = 3.4028235e38f;

struct SHandleSet {
  std::string name;
  plat::fx::Handle handles[kPCount];
};

// Effects are few and live long; an effect made at the address of a released one
// is told apart by its name and looked up again.
thread_local std::unordered_map<const plat::fx::Effect*, SHandleSet> t_handles;

const plat::fx::Handle* HandlesOf(plat::fx::Effect* effect) {
  SHandleSet& set = t_handles[effect];
  if (set.name.empty() || set.name != effect->Name()) {
    set.name = effect->Name();
    if (set.name.empty()) set.name = " ";
    for (int i = 0; i < kPCount; ++i) set.handles[i] = effect->GetParameterByName(kParamNames[i]);
  }
  return set.handles;
}

// The setters of one effect; every one skips a parameter the effect lacks.
struct SParams {
  plat::fx::Effect* fx = nullptr;
  const plat::fx::Handle* h = nullptr;

  explicit SParams(const CShader* shader) {
    if (shader && shader->effect) {
      fx = shader->effect;
      h = HandlesOf(fx);
    }
  }
  explicit operator bool() const { return fx != nullptr; }
  bool Has(int p) const { return fx && h[p] != 0; }
  void Float(int p, float v) const {
    if (Has(p)) fx->SetFloat(h[p], v);
  }
  void Int(int p, int v) const {
    if (Has(p)) fx->SetInt(h[p], v);
  }
  void Bool(int p, bool v) const {
    if (Has(p)) fx->SetBool(h[p], v);
  }
  void Vector(int p, const plat::Vec4& v) const {
    if (Has(p)) fx->SetVector(h[p], v);
  }
  void Vector3(int p, const plat::Vec3& v) const {
    if (Has(p)) fx->SetFloatArray(h[p], &v.x, 3);
  }
  void Matrix(int p, const plat::Mat4& m) const {
    if (Has(p)) fx->SetMatrix(h[p], m);
  }
  void Texture(int p, plat::gpu::BaseTexture* t) const {
    if (Has(p) && t) fx->SetTexture(h[p], t);
  }
};

const plat::Mat4& WorldOf(const SRenderItem& item) {
  static const plat::Mat4 identity;
  return item.data && item.data->world ? *item.data->world : identity;
}

plat::Vec3 Translation(const plat::Mat4& m) { return plat::Vec3(m(3, 0), m(3, 1), m(3, 2)); }

bool RendererVisible(const SRenderItem& item) {
  return item.data && (!item.data->renderer || item.data->renderer->IsVisible());
}

bool RendererReady(const SRenderItem& item) {
  return item.data && (!item.data->renderer || item.data->renderer->IsReadyToDraw());
}

}  // namespace

uint32_t CRenderManager::Param(const CShader* shader, int index) const {
  if (!shader || !shader->effect || index < 0 || index >= kPCount) return 0;
  return HandlesOf(shader->effect)[index];
}

// --- Effects -------------------------------------------------------------------------

bool CRenderManager::BeginEffect(CShader* shader) {
  if (!shader || shader->begun) return false;
  m_passCount = shader->Begin(0);
  m_begun = shader->begun;
  return m_begun;
}

bool CRenderManager::EndEffect() {
  m_passOpen = false;
  const bool ended = m_current && m_current->begun;
  if (ended) m_current->End();
  m_begun = false;
  return ended;
}

bool CRenderManager::SwitchEffect(uint32_t effect, const CStringHash& technique) {
  auto resetCaches = [this] {
    m_lastMaterial = -1;
    m_lastLightmap = kNoNameHash;
    m_lastMesh = kNoNameHash;
  };
  auto selectTechnique = [this, &technique] {
    // An entry that names no technique, or one its effect lacks, draws with the
    // technique the effect has.
    if (const char* text = technique.GetText()) m_current->SetTechnique(text);
    m_currentTechnique = technique.GetHash();
  };
  if (m_current && m_currentEffect == effect) {
    if (m_currentTechnique == technique.GetHash()) return false;
    EndEffect();
    selectTechnique();
    BeginEffect(m_current);
    resetCaches();
    return true;
  }
  EndEffect();
  m_current = shaders.Find(effect);
  m_currentEffect = effect;
  if (!m_current || !m_current->IsValid()) {
    m_current = nullptr;
    return false;
  }
  selectTechnique();
  BeginEffect(m_current);
  resetCaches();
  return true;
}

void CRenderManager::EndWalk() {
  EndEffect();
  m_current = nullptr;
  m_currentEffect = kNoNameHash;
  m_currentTechnique = kNoNameHash;
}

// --- Parameters ------------------------------------------------------------------------

void CRenderManager::SetFrameParameters(const SRenderItem& item, float clock, const plat::Vec3& eye,
                                        CRenderTarget* ambientOcclusion) {
  const SParams p(m_current);
  if (!p) return;
  const int width = ScreenWidth();
  const int height = ScreenHeight();
  p.Float(kPMsWorldTime, clock);
  p.Int(kPResWidth, width);
  p.Int(kPResHeight, height);
  p.Float(kPAspectRatio,
          height > 0 ? static_cast<float>(width) / static_cast<float>(height) : 1.0f);
  if (item.layer == kLayerSky) {
    if (p.Has(kPEnvMap)) {
      if (const CTexture* sky = textures.Find(kSkyDome))
        p.Texture(kPEnvMap, sky->GetDeviceTexture());
    }
  } else if (hasView) {
    p.Matrix(kPViewProj, viewState.viewProjection);
    p.Vector(kPWorldCamPos, plat::Vec4(eye.x, eye.y, eye.z, 1.0f));
    SetShadowParameters();
    SetSSAOParameters(ambientOcclusion);
  }
  SetDoFParameters();
}

void CRenderManager::SetSSAOParameters(CRenderTarget* ambientOcclusion) {
  const SParams p(m_current);
  if (!p) return;
  if (ambientOcclusion && ambientOcclusion->texture && ssao.render) {
    p.Bool(kPSSAOEnabled, true);
    p.Texture(kPAmbientLightTexture, ambientOcclusion->texture);
    p.Float(kPAmbientResH, static_cast<float>(ambientOcclusion->texture->Width()));
    p.Float(kPAmbientResV, static_cast<float>(ambientOcclusion->texture->Height()));
  } else {
    p.Bool(kPSSAOEnabled, false);
  }
}

void CRenderManager::SetShadowParameters() {
  const SParams p(m_current);
  if (!p) return;
  // Screen-space shadows replace the per-object shadow lookups.
  p.Float(kPShadowing, shadows.render && !screenShadows.render ? 1.0f : 0.0f);
  p.Float(kPShadowingPCF, pcf.render ? 1.0f : 0.0f);
  p.Float(kPHalfPixelSizePCF, screenShadows.render ? 0.0f : 1.0f);
  SetSunLightParameters(m_current);
  SetSpotLightParameters(m_current);
  SetPointLightParameters(m_current);
}

void CRenderManager::SetDoFParameters() {
  const SParams p(m_current);
  if (!p) return;
  if (!depthOfField.render) {
    p.Bool(kPDoF, false);
    return;
  }
  p.Bool(kPDoF, true);
  p.Bool(kPCinematicDoF, cinematicDoF.render);
  if (hasView) p.Float(kPCameraFarMaxLength, GetCameraFarMaxLength(viewState));
  p.Float(kPFocalDist, dofFocalPlane);
  p.Float(kPFarBlurPlaneDist, dofFarMaxBlurPlane);
  p.Float(kPNearBlurPlaneDist, dofNearMaxBlurPlane);
  p.Float(kPFarBlurLimit, dofMaxBlur);
  if (hasView) p.Matrix(kPView, viewState.view);
}

// --- Visibility -------------------------------------------------------------------------

bool CRenderManager::IsEntryVisible(const SRenderItem& item) const {
  switch (item.layer) {
    case kLayerSky:
    case kLayerBackground:
    case kLayerHud:
    case kLayerMenu:
      return true;
    default:
      break;
  }
  float boxMin[3] = {kFltMax, kFltMax, kFltMax};
  float boxMax[3] = {-kFltMax, -kFltMax, -kFltMax};
  const SRenderData* data = item.data;
  const bool hasBox = data && data->boxMin && data->boxMax;
  switch (item.renderType) {
    case kRenderTypeDynamic:
    case kRenderTypeAnimation:
    case kRenderTypeParticles:
      if (hasBox) {
        const plat::Vec3 t = Translation(WorldOf(item));
        const float move[3] = {t.x, t.y, t.z};
        for (int i = 0; i < 3; ++i) {
          boxMin[i] = data->boxMin[i] + move[i];
          boxMax[i] = data->boxMax[i] + move[i];
        }
      }
      break;
    case kRenderTypeStatic:
    case kRenderTypeWater:
      if (hasBox) {
        std::memcpy(boxMin, data->boxMin, sizeof(boxMin));
        std::memcpy(boxMax, data->boxMax, sizeof(boxMax));
      }
      break;
    default:
      break;
  }
  return BoxInFrustum(boxMin, boxMax);
}

bool CRenderManager::IsEntryInVisibleZone(const SRenderItem& item) const {
  if (item.renderType != kRenderTypeStatic && item.renderType != kRenderTypeWater) return true;
  const int32_t zone = gameZone.render;
  if (zone < 0 || static_cast<size_t>(zone) >= zoneGroups.size()) return true;
  const uint32_t group = item.data && item.data->geometryZoneGroup
                             ? item.data->geometryZoneGroup->GetHash()
                             : kNoNameHash;
  const std::list<uint32_t>& visible = zoneGroups[static_cast<size_t>(zone)];
  return std::find(visible.begin(), visible.end(), group) != visible.end();
}

// --- Entry drawing ---------------------------------------------------------------------

void CRenderManager::DrawEntryMesh(const SRenderItem& item, bool bind) {
  IVertexBuffer* mesh = meshes.Find(item.mesh);
  if (!mesh || !mesh->IsValid()) return;
  switch (item.renderType) {
    case kRenderTypeStatic:
    case kRenderTypeDynamic:
      if (item.subset < 0) {
        mesh->DrawAll(bind);
      } else {
        // Entries carry the subset's position in the mesh's table, not its id.
        mesh->DrawSubsetAt(static_cast<uint32_t>(item.subset), bind);
      }
      break;
    case kRenderTypeBackground:
    case kRenderTypeHud:
    case kRenderTypeMenu:
      mesh->DrawSubset(static_cast<uint32_t>(-1), bind);
      break;
    case kRenderTypeAnimation: {
      auto* skin = dynamic_cast<CSkinPalette*>(mesh);
      CalModel* model = item.data ? item.data->modelInstance : nullptr;
      if (skin && model && m_current && m_current->effect) {
        skin->SetBones(m_current->effect, model->getSkeleton());
        m_current->CommitChanges();
      }
      mesh->DrawAll(bind);
      break;
    }
    case kRenderTypeWater:
      mesh->DrawAll(bind);
      break;
    default:
      break;
  }
}

void CRenderManager::DrawEntryPasses(const SRenderItem& item, bool meshChanged) {
  if (!m_current || !m_current->effect) return;
  plat::fx::Effect* fx = m_current->effect;
  // A one-pass effect keeps its pass open across the entries drawn with it: each
  // further entry sends only the values it changed (the whole set at every pass
  // begin costs more than the draw).
  if (m_passCount == 1 && m_current->begun) {
    if (m_passOpen) {
      fx->CommitChanges();
    } else {
      m_passOpen = fx->BeginPass(0) == plat::gpu::kOk;
    }
    DrawEntryMesh(item, meshChanged);
    return;
  }
  if (m_passOpen) {
    fx->EndPass();
    m_passOpen = false;
  }
  for (uint32_t pass = 0; pass < m_passCount; ++pass) {
    if (m_current->begun) fx->BeginPass(pass);
    DrawEntryMesh(item, meshChanged || pass > 0);
    if (m_current->begun) fx->EndPass();
  }
}

void CRenderManager::ApplyOwnParameters(const SRenderItem& item) {
  if (!item.data || !item.data->renderer || !m_current) return;
  sys::CScopedLock lock(sys::kLockRender);
  if (CShader* own = item.data->renderer->GetOwnParameters()) own->ApplyParameters(*m_current);
}

void CRenderManager::DrawRenderEntry(const SRenderItem& item, const plat::Vec3& eye,
                                     bool switched) {
  const SParams p(m_current);
  if (!p) return;
  const plat::Mat4& world = WorldOf(item);
  if (switched) {
    m_lastMaterial = -1;
    m_lastLightmap = kNoNameHash;
    m_lastMesh = kNoNameHash;
  }
  plat::Mat4 worldInv;
  if (!plat::Inverse(world, worldInv)) worldInv = plat::Mat4();
  if (sunShadows.render && sunLight)
    p.Vector(kPLocalSunLightPos, plat::Transform(sunLightPosition, worldInv));
  p.Matrix(kPWorld, world);
  p.Matrix(kPWorldInv, worldInv);
  p.Vector(kPLocalCamPos, plat::Transform(eye, worldInv));
  switch (item.renderType) {
    case kRenderTypeBackground:
    case kRenderTypeHud:
    case kRenderTypeMenu: {
      const CStringHash* name = item.data && item.data->renderer
                                    ? item.data->renderer->GetScreenTexture(item.screenItem)
                                    : nullptr;
      if (name) {
        if (const CTexture* texture = textures.Find(*name))
          p.Texture(kPTexDiffuse, texture->GetDeviceTexture());
      }
      break;
    }
    case kRenderTypeWater:
      break;
    default: {
      if (item.currentMaterial != m_lastMaterial) {
        m_lastMaterial = item.currentMaterial;
        const SMaterial* material = materials.Find(MaterialKey(item.currentMaterial));
        auto texture = [this](const CStringHash& name) -> plat::gpu::BaseTexture* {
          if (name.IsNoName()) return nullptr;
          const CTexture* record = textures.Find(name);
          return record ? record->GetDeviceTexture() : nullptr;
        };
        if (material) {
          p.Texture(kPTexDiffuse, texture(material->names[0]));
          struct {
            int slot, textureParam, flagParam;
          } const maps[] = {{3, kPTexNormal, kPNormalMap},
                            {2, kPTexSpecular, kPSpecularMap},
                            {1, kPTexTopDiffuse, kPTopDiffuseMap}};
          for (const auto& map : maps) {
            plat::gpu::BaseTexture* t = texture(material->names[map.slot]);
            if (t) p.Texture(map.textureParam, t);
            p.Bool(map.flagParam, t != nullptr);
          }
        } else {
          for (int flag : {kPNormalMap, kPSpecularMap, kPTopDiffuseMap}) p.Bool(flag, false);
        }
      }
      if (item.lightmap != kNoNameHash && item.lightmap != m_lastLightmap) {
        m_lastLightmap = item.lightmap;
        if (const CTexture* lightmap = textures.Find(item.lightmap)) {
          p.Texture(kPTexLightmap, lightmap->GetDeviceTexture());
          p.Bool(kPLightmap, true);
        }
      }
      break;
    }
  }
  ApplyOwnParameters(item);
  if (hasView) {
    const plat::Mat4 worldView = world * viewState.view;
    p.Matrix(kPWorldView, worldView);
    p.Matrix(kPWorldViewProj, worldView * viewState.projection);
  }
  DrawEntryPasses(item, item.mesh != m_lastMesh);
  m_lastMesh = item.mesh;
}

void CRenderManager::DrawRenderEntryAt(const SRenderItem& item, const plat::Vec3& position) {
  const SParams p(m_current);
  if (!p) return;
  p.Matrix(kPWorldViewProj, plat::Translation(position) * viewState.viewProjection);
  DrawEntryPasses(item, true);
  m_lastMesh = item.mesh;
}

// --- Billboards --------------------------------------------------------------------------

void CRenderManager::BillboardAxes(const plat::Vec3& eye, const plat::Vec3& position,
                                   const plat::Vec3& cameraFront, const plat::Vec3& cameraRight,
                                   int alignment, plat::Vec3& right, plat::Vec3& up) {
  if (alignment == 2) {
    right = cameraRight;
    up = plat::Cross(cameraFront, right);
    return;
  }
  const plat::Vec3 d = SafeNormalize(eye - position, plat::Vec3(0.0f, 0.0f, 1.0f));
  // Looking straight down or up the world's up axis leaves d × up without a
  // direction: the camera's right stands in, then the world's x axis.
  right = SafeNormalize(plat::Cross(d, plat::Vec3(0.0f, 1.0f, 0.0f)),
                        SafeNormalize(cameraRight, plat::Vec3(1.0f, 0.0f, 0.0f)));
  up = alignment == 1 ? plat::Vec3(0.0f, -1.0f, 0.0f) : plat::Cross(d, right);
}

void CRenderManager::SetBillboardAxes(const plat::Vec3& eye, const plat::Vec3& cameraFront,
                                      int alignment, const plat::Mat4& systemWorld,
                                      const plat::Vec3& cameraRight) {
  const SParams p(m_current);
  if (!p) return;
  plat::Vec3 right, up;
  BillboardAxes(eye, Translation(systemWorld), cameraFront, cameraRight, alignment, right, up);
  p.Vector3(kPCameraRight, right);
  p.Vector3(kPCameraUp, up);
}

void CRenderManager::DrawParticleEntry(const SRenderItem& item, const plat::Vec3& eye) {
  IParticleSubsystem* subsystem =
      findParticleSubsystem ? findParticleSubsystem(item.mesh) : nullptr;
  if (!subsystem || !m_current || !m_current->effect) return;
  const SParams p(m_current);
  EndEffect();
  uint32_t textureName = kNoNameHash;
  {
    sys::CScopedLock lock(sys::kLockRender);
    if (item.data && item.data->currentTexture) textureName = item.data->currentTexture->GetHash();
  }
  if (const CTexture* texture = textures.Find(textureName))
    p.Texture(kPTexture, texture->GetDeviceTexture());
  BeginEffect(m_current);
  // The main thread updates and restarts emitters while the frame is drawn: their
  // particles and systems are read (and detached particles' places kept) under the
  // render lock, which the emitter's update and restart take too.
  sys::CScopedLock lock(sys::kLockRender);
  IVertexBuffer* buffer = subsystem->ParticleBuffer();
  const float* records = subsystem->Records();
  const uint32_t count = records ? subsystem->RecordCount() : 0;
  const bool detached = subsystem->IsDetached();
  float batch[kParticleBatch * kParticleRecordFloats];
  for (uint32_t pass = 0; pass < m_passCount; ++pass) {
    bool passBegun = false;
    bool bind = true;
    for (uint32_t first = 0; first < count; first += kParticleBatch) {
      const uint32_t size = std::min(kParticleBatch, count - first);
      p.Bool(kPParticlesDetached, detached);
      p.Bool(kPSoftParticles, depthMap.render && subsystem->IsSoft());
      p.Float(kPColorIntensityMultiplier, subsystem->ColourIntensity());
      for (size_t s = 0; s < subsystem->SystemCount(); ++s) {
        SParticleSystemView system;
        if (!subsystem->PrepareSystem(s, cullState, particleZone, system)) continue;
        std::memcpy(batch, records + first * kParticleRecordFloats,
                    size * kParticleRecordFloats * sizeof(float));
        subsystem->PlaceBatch(s, first, size, batch);
        if (p.Has(kPVParticleData))
          p.fx->SetFloatArray(p.h[kPVParticleData], batch, size * kParticleRecordFloats);
        const float a = system.alpha;
        p.Vector(kPPSVisibilityFactor,
                 subsystem->ScalesVisibility() ? plat::Vec4(a, a, a, a) : plat::Vec4(1, 1, 1, a));
        if (!IsEntryVisible(item)) continue;
        if (!passBegun) {
          p.fx->BeginPass(pass);
          passBegun = true;
        }
        SetBillboardAxes(eye, viewState.front, system.alignment, system.world, viewState.right);
        if (detached) {
          p.Matrix(kPViewProj, viewState.viewProjection);
        } else {
          const plat::Mat4 worldView = system.world * viewState.view;
          p.Matrix(kPWorld, system.world);
          p.Matrix(kPWorldViewProj, worldView * viewState.projection);
          if (depthMap.render) p.Matrix(kPWorldView, worldView);
        }
        p.fx->CommitChanges();
        if (buffer && buffer->IsValid()) {
          buffer->Draw(2 * size, bind);
          bind = false;
        }
      }
    }
    if (passBegun) p.fx->EndPass();
  }
}

// --- List walks ----------------------------------------------------------------------------

uint32_t CRenderManager::ReadTechnique(const SRenderItem& item, std::string& text) const {
  sys::CScopedLock lock(sys::kLockRender);
  const CStringHash* technique = item.data ? item.data->techniqueName : nullptr;
  if (!technique) return kNoNameHash;
  // The text is only needed to select a technique other than the current one; the
  // main thread may replace it the moment the lock is left.
  if (technique->GetHash() != m_currentTechnique || item.effect != m_currentEffect)
    text = technique->c_str();
  return technique->GetHash();
}

bool CRenderManager::SelectEntryEffect(const SRenderItem& item) {
  std::string text;
  const uint32_t hash = ReadTechnique(item, text);
  CStringHash technique;
  if (hash != kNoNameHash && !text.empty()) technique = text.c_str();
  // A technique of the same hash is current: pass the hash alone.
  if (text.empty()) return SwitchEffectHash(item.effect, hash);
  return SwitchEffect(item.effect, technique);
}

bool CRenderManager::SwitchEffectHash(uint32_t effect, uint32_t technique) {
  if (m_current && m_currentEffect == effect && m_currentTechnique == technique) return false;
  return SwitchEffect(effect, CStringHash());
}

void CRenderManager::DrawMeshList(CRenderTarget* ambientOcclusion, float dt) {
  meshClock += dt;
  const plat::Vec3 eye = viewState.eye;
  bool first = true;
  int parameterLayer = -1;
  for (const SRenderItem& item : m_drawn[kListMesh]) {
    if (item.active && RendererVisible(item) && IsEntryInVisibleZone(item) &&
        IsEntryVisible(item)) {
      const bool switched = SelectEntryEffect(item);
      if (m_current) {
        // The frame values change only with the effect and with the sky layer.
        const int kind = item.layer == kLayerSky ? 1 : 0;
        if (switched || kind != parameterLayer) {
          SetFrameParameters(item, meshClock, eye, ambientOcclusion);
          parameterLayer = kind;
        }
        if (switched) parameterLayer = kind;
        if (item.layer == kLayerSky) {
          DrawRenderEntryAt(item, eye);
        } else {
          DrawRenderEntry(item, eye, switched || first);
          first = false;
        }
      }
    }
    CountWalked(item);
  }
  EndWalk();
}

void CRenderManager::DrawParticleList(CRenderTarget* ambientOcclusion, float dt) {
  particleClock += dt;
  const plat::Vec3 eye = cullState.eye;
  for (const SRenderItem& item : m_drawn[kListParticle]) {
    if (item.active && RendererVisible(item) && IsEntryInVisibleZone(item)) {
      if (item.renderType == kRenderTypeParticles) {
        // The draw ends and begins the effect around its texture, so each system
        // sets its frame values again.
        SelectEntryEffect(item);
        if (m_current) {
          SetFrameParameters(item, particleClock, eye, nullptr);
          const SParams p(m_current);
          if (depthMap.render && hasView) p.Matrix(kPView, viewState.view);
          if (hasView) p.Float(kPCameraFarMaxLength, GetCameraFarMaxLength(viewState));
          if (renderTargets[2].texture) {
            p.Texture(kPNZLinearMap, renderTargets[2].texture);
            p.Float(kPScreenResW, static_cast<float>(ScreenWidth()));
            p.Float(kPScreenResH, static_cast<float>(ScreenHeight()));
          }
          DrawParticleEntry(item, eye);
        }
      } else if ((item.data && item.data->skipClipping) || IsEntryVisible(item)) {
        const bool switched = SelectEntryEffect(item);
        if (m_current) {
          if (switched) SetFrameParameters(item, particleClock, eye, ambientOcclusion);
          DrawRenderEntry(item, eye, switched);
        }
      }
    }
    CountWalked(item);
  }
  EndWalk();
}

bool CRenderManager::WaterEntryToDraw(const SRenderItem& item) const {
  return item.renderType == kRenderTypeWater && item.active && RendererVisible(item) &&
         IsEntryInVisibleZone(item) && IsEntryVisible(item);
}

bool CRenderManager::AnyWaterToDraw() const {
  for (const SRenderItem& item : m_drawn[kListWater])
    if (WaterEntryToDraw(item)) return true;
  return false;
}

void CRenderManager::DrawWaterList(CRenderTarget* sceneCopy, float width, float height, float dt) {
  waterClock += dt;
  for (const SRenderItem& item : m_drawn[kListWater]) {
    if (WaterEntryToDraw(item)) {
      const bool switched = SelectEntryEffect(item);
      if (m_current) {
        const SParams p(m_current);
        p.Float(kPMsWorldTime, waterClock);
        if (sceneCopy) p.Texture(kPTexScene, sceneCopy->texture);
        if (const CTexture* sky = textures.Find(kSkyDome))
          p.Texture(kPEnvMap, sky->GetDeviceTexture());
        if (const CTexture* noise = textures.Find(kWaterNoise))
          p.Texture(kPWaterNoise, noise->GetDeviceTexture());
        p.Float(kPWRes, width);
        p.Float(kPHRes, height);
        SetDoFParameters();
        DrawRenderEntry(item, viewState.eye, switched);
      }
    }
    CountWalked(item);
  }
  EndWalk();
}

void CRenderManager::WalkScreenList(int kind, float& clock, float dt) {
  clock += dt;
  const plat::Vec3 eye(0.0f, 0.0f, 0.0f);
  for (const SRenderItem& item : m_drawn[kind]) {
    if (item.active && RendererReady(item)) {
      const bool switched = SelectEntryEffect(item);
      if (m_current) {
        if (switched) SetFrameParameters(item, clock, eye, nullptr);
        DrawRenderEntry(item, eye, switched);
      }
    }
    CountWalked(item);
  }
  EndWalk();
}

void CRenderManager::DrawBackgroundList(float dt) {
  WalkScreenList(kListBackground, backgroundClock, dt);
}
void CRenderManager::DrawHUDList(float dt) { WalkScreenList(kListHud, hudClock, dt); }
void CRenderManager::DrawMenuList(float dt) { WalkScreenList(kListMenu, menuClock, dt); }

// --- Pass draws ---------------------------------------------------------------------------

int CRenderManager::DrawWithTechniqueTable(bool glowersOnly, const STechniqueEntry* table,
                                           int count) {
  int drawn = 0;
  int previousType = -1;
  int32_t lastMaterial = -1;
  uint32_t lastMesh = kNoNameHash;
  EndWalk();
  for (const SRenderItem& item : m_drawn[kListMesh]) {
    if (item.layer == kLayerSky || !item.active || !RendererReady(item) ||
        !IsEntryInVisibleZone(item))
      continue;
    if (glowersOnly && !(item.data && item.data->glower)) continue;
    if (item.renderType != previousType) {
      previousType = item.renderType;
      const STechniqueEntry* entry = nullptr;
      for (int i = 0; i < count && table; ++i)
        if (table[i].renderType == item.renderType) entry = &table[i];
      if (entry) {
        EndWalk();
        m_current = shaders.Find(entry->effect);
        if (m_current && m_current->effect) {
          m_currentEffect = entry->effect.GetHash();
          if (entry->technique) m_current->SetTechnique(entry->technique);
          BeginEffect(m_current);
          const SParams p(m_current);
          if (hasView) p.Float(kPCameraFarMaxLength, GetCameraFarMaxLength(viewState));
          if (shadows.render && screenShadows.render) SetShadowParameters();
          lastMaterial = -1;
          lastMesh = kNoNameHash;
        } else {
          m_current = nullptr;
        }
      } else {
        // A type the table lacks keeps no effect: its entries are not drawn.
        EndWalk();
      }
    }
    const SParams p(m_current);
    if (!p) continue;
    if (glowersOnly) {
      if (item.currentMaterial != lastMaterial) {
        lastMaterial = item.currentMaterial;
        if (const SMaterial* material = materials.Find(MaterialKey(item.currentMaterial))) {
          for (auto slot :
               {std::make_pair(0, int(kPTexDiffuse)), std::make_pair(2, int(kPTexSpecular))}) {
            if (const CTexture* t = textures.Find(material->names[slot.first]))
              p.Texture(slot.second, t->GetDeviceTexture());
          }
        }
      }
      if (item.data && item.data->glowMultiplier)
        p.Float(kPGlowMultiplier, *item.data->glowMultiplier);
      if (item.data && item.data->glowColour && p.Has(kPGlowColor))
        p.fx->SetFloatArray(p.h[kPGlowColor], item.data->glowColour, 3);
    }
    if (!IsEntryVisible(item)) continue;
    const plat::Mat4& world = WorldOf(item);
    const plat::Mat4 worldView = world * viewState.view;
    p.Matrix(kPWorld, world);
    p.Matrix(kPWorldView, worldView);
    p.Matrix(kPWorldViewProj, worldView * viewState.projection);
    DrawEntryPasses(item, item.mesh != lastMesh);
    lastMesh = item.mesh;
    ++drawn;
  }
  EndWalk();
  return drawn;
}

bool CRenderManager::HasGlowerToDraw() const {
  for (const SRenderItem& item : m_drawn[kListMesh])
    if (item.layer != kLayerSky && item.active && item.data && item.data->glower &&
        RendererReady(item) && IsEntryInVisibleZone(item) && IsEntryVisible(item))
      return true;
  return false;
}

void CRenderManager::DrawShadowCasters(const CStringHash& effect, const char* technique,
                                       const plat::Mat4* view, const plat::Mat4* projection,
                                       const plat::Vec3* lightPosition) {
  EndWalk();
  m_current = shaders.Find(effect);
  if (!m_current || !m_current->effect) {
    m_current = nullptr;
    return;
  }
  m_currentEffect = effect.GetHash();
  if (technique) m_current->SetTechnique(technique);
  BeginEffect(m_current);
  const SParams p(m_current);
  const plat::Mat4& v = view ? *view : viewState.view;
  const plat::Mat4& proj = projection ? *projection : viewState.projection;
  if (hasView) p.Float(kPCameraFarMaxLength, GetCameraFarMaxLength(viewState));
  if (lightPosition) p.Vector3(kPWLightPos, *lightPosition);
  uint32_t lastMesh = kNoNameHash;
  for (const SRenderItem& item : m_drawn[kListMesh]) {
    if (!(item.renderType & kRenderTypeAnimation) || !item.active || !RendererReady(item) ||
        !IsEntryInVisibleZone(item) || !item.shadowCaster || !IsEntryVisible(item))
      continue;
    const plat::Mat4& world = WorldOf(item);
    const plat::Mat4 worldView = world * v;
    p.Matrix(kPWorld, world);
    p.Matrix(kPWorldView, worldView);
    p.Matrix(kPWorldViewProj, worldView * proj);
    DrawEntryPasses(item, item.mesh != lastMesh);
    lastMesh = item.mesh;
  }
  EndWalk();
}

}  // namespace gfx
}  // namespace vd
