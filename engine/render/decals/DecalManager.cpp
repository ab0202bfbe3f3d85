#include "engine/render/decals/DecalManager.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include <luabind/luabind.hpp>

#include "engine/core/Log.h"
#include "engine/core/StringHash.h"
#include "engine/core/XmlFile.h"
#include "engine/render/CameraView.h"
#include "engine/render/LatticeNoise.h"
#include "engine/render/RenderManager.h"
#include "engine/render/Shader.h"
#include "platform/crt/Crt.h"
#include "platform/fx/Effect.h"
#include "platform/gpu/Device.h"
#include "platform/gpu/Sphere.h"

namespace vd {
namespace gfx {

namespace {

class CGuard {
public:
  explicit CGuard(plat::CriticalSection& section) : m_section(section) { m_section.Enter(); }
  ~CGuard() { m_section.LeaveFair(); }

private:
  plat::CriticalSection& m_section;
};

template <class T>
void ReleaseResource(T*& resource) {
  if (resource) resource->Release();
  resource = nullptr;
}

// The instance stream of the pass: stream 0 the sphere, stream 1 one SDecalInstance
// per slot.
const plat::gpu::VertexElement kDeclaration[] = {
    {0, 0, plat::gpu::kDeclFloat3, 0, plat::gpu::kUsagePosition, 0},
    {0, 12, plat::gpu::kDeclFloat3, 0, plat::gpu::kUsageNormal, 0},
    {1, 0, plat::gpu::kDeclShort2, 0, plat::gpu::kUsageTexCoord, 0},
    {1, 4, plat::gpu::kDeclFloat3, 0, plat::gpu::kUsagePosition, 1},
    {1, 16, plat::gpu::kDeclFloat1, 0, plat::gpu::kUsageTexCoord, 1},
    {1, 20, plat::gpu::kDeclFloat3, 0, plat::gpu::kUsageTexCoord, 2},
    {1, 32, plat::gpu::kDeclColor, 0, plat::gpu::kUsageColor, 1},
    plat::gpu::kDeclEnd,
};

}  // namespace

CDecalManager::CDecalManager() { SetInstance(this); }

CDecalManager::~CDecalManager() {
  Shutdown();
  ClearInstance(this);
}

void CDecalManager::MarkChanged() {
  if (m_renderManager)
    m_renderManager->decalsChanged = true;
  else
    m_changed = true;
}

bool CDecalManager::Init(CRenderManager* renderManager, plat::gpu::Device* device,
                         const char* paramsFile) {
  m_renderManager = renderManager;
  m_device = device;
  LoadParams(paramsFile);
  {
    CGuard guard(m_lock);
    m_slots.assign(static_cast<size_t>(m_decalsMax), SDecal());
    m_pendingAdds.clear();
    m_pendingRemovals.clear();
    // ClearDecals may queue every slot on top of the adds: room for both, so that
    // neither list grows while decals are placed.
    m_pendingAdds.reserve(static_cast<size_t>(m_decalsMax));
    m_pendingRemovals.reserve(2 * static_cast<size_t>(m_decalsMax));
    m_staging.assign(static_cast<size_t>(m_decalsMax), SDecalInstance());
  }
  if (m_device) {
    if (!plat::gpu::Succeeded(m_device->CreateVertexDeclaration(kDeclaration, &m_declaration)))
      utl::LogPrintf("Decals: the instance declaration could not be made\n");
    plat::gpu::SphereMesh sphere;
    if (plat::gpu::GenerateSphere(1.0f, kSphereSlices, kSphereStacks, &sphere)) {
      m_sphereVertexCount = static_cast<uint32_t>(sphere.vertices.size());
      m_sphereFaceCount = static_cast<uint32_t>(sphere.indices.size() / 3);
    }
    if (!plat::gpu::Succeeded(plat::gpu::CreateSphere(m_device, 1.0f, kSphereSlices, kSphereStacks,
                                                       &m_sphereVertices, &m_sphereIndices)))
      utl::LogPrintf("Decals: the sphere could not be made\n");
    CreateInstanceBuffer();
  }
  UpdateInstanceBuffer();
  if (m_device) CreateNoiseVolume();
  return true;
}

bool CDecalManager::LoadParams(const char* path) {
  utl::CXmlFile file;
  const utl::CXmlFile::EResult result = file.Load(path);
  if (result == utl::CXmlFile::EResult::Missing) return false;
  if (result == utl::CXmlFile::EResult::Malformed) {
    utl::LogPrintf("Decals: %s is not valid XML (%s); no decals\n", path, file.Error().c_str());
    return false;
  }
  const rapidxml::xml_node<>* root = file.Document().first_node("decals_params");
  if (!root) {
    utl::LogPrintf("Decals: %s has no decals_params; no decals\n", path);
    return true;
  }
  for (const rapidxml::xml_node<>* key = root->first_node("key"); key; key = key->next_sibling()) {
    const rapidxml::xml_attribute<>* idAttr = key->first_attribute("id");
    const rapidxml::xml_attribute<>* valueAttr = key->first_attribute("value");
    if (!idAttr || !idAttr->value()[0]) continue;
    const char* value = valueAttr ? valueAttr->value() : "";
    const float number = static_cast<float>(std::atof(value));
    switch (ComputeHash(idAttr->value())) {
      case ComputeHash("decals_max"): {
        const int n = std::atoi(value);
        m_decalsMax = std::clamp(n, 0, kMaxDecals);
        if (n != m_decalsMax)
          utl::LogPrintf("Decals: %s: decals_max %d held to %d\n", path, n, m_decalsMax);
        break;
      }
      case ComputeHash("volume_texture_size"): {
        const int n = std::atoi(value);
        m_volumeSize = std::clamp(n, 1, kMaxVolumeSize);
        if (n != m_volumeSize)
          utl::LogPrintf("Decals: %s: volume_texture_size %d held to %d\n", path, n, m_volumeSize);
        break;
      }
      case ComputeHash("noise3d_factor"): noiseFactor = number; break;
      case ComputeHash("noise3d_octaves"): noiseOctaves = number; break;
      case ComputeHash("noise3d_frequency"): noiseFrequency = number; break;
      case ComputeHash("noise3d_persistence"): noisePersistence = number; break;
      case ComputeHash("noise3d_lacunarity"): noiseLacunarity = number; break;
      case ComputeHash("factor"): factor = number; break;
      default: break;
    }
  }
  return true;
}

void CDecalManager::CreateInstanceBuffer() {
  if (!m_device || m_decalsMax <= 0 || m_instances) return;
  if (!plat::gpu::Succeeded(m_device->CreateVertexBuffer(
          static_cast<uint32_t>(m_decalsMax) * sizeof(SDecalInstance),
          plat::gpu::kUsageDynamic | plat::gpu::kUsageWriteOnly, 0, plat::gpu::kPoolDefault,
          &m_instances))) {
    m_instances = nullptr;
    utl::LogPrintf("Decals: the instance buffer of %d decals could not be made\n", m_decalsMax);
  }
}

void CDecalManager::CreateNoiseVolume() {
  const uint32_t edge = static_cast<uint32_t>(m_volumeSize);
  if (!plat::gpu::Succeeded(m_device->CreateVolumeTexture(edge, edge, edge, 1, 0, plat::gpu::kFmtA8,
                                                          plat::gpu::kPoolManaged, &m_noise))) {
    m_noise = nullptr;
    utl::LogPrintf("Decals: the noise volume could not be made\n");
    return;
  }
  plat::gpu::LockedBox box{};
  if (!plat::gpu::Succeeded(m_noise->LockBox(0, &box, nullptr, 0))) return;
  SFractalNoiseState state;
  auto* bytes = static_cast<uint8_t*>(box.bits);
  for (uint32_t z = 0; z < edge; ++z) {
    for (uint32_t y = 0; y < edge; ++y) {
      uint8_t* row = bytes + z * static_cast<uint32_t>(box.slicePitch) +
                     y * static_cast<uint32_t>(box.rowPitch);
      for (uint32_t x = 0; x < edge; ++x) {
        const float u = (static_cast<float>(x) + 0.5f) / static_cast<float>(edge);
        const float v = (static_cast<float>(y) + 0.5f) / static_cast<float>(edge);
        const float w = (static_cast<float>(z) + 0.5f) / static_cast<float>(edge);
        const float a = noiseFactor * FractalNoise(state, u, v, w, noiseOctaves, noiseFrequency,
                                                   noisePersistence, noiseLacunarity);
        row[x] = static_cast<uint8_t>(std::clamp(a, 0.0f, 1.0f) * 255.0f + 0.5f);
      }
    }
  }
  m_noise->UnlockBox(0);
}

void CDecalManager::ReleaseDevice() {
  ReleaseResource(m_declaration);
  ReleaseResource(m_sphereVertices);
  ReleaseResource(m_sphereIndices);
  ReleaseResource(m_instances);
  ReleaseResource(m_noise);
}

void CDecalManager::Shutdown() {
  ReleaseDevice();
  CGuard guard(m_lock);
  m_slots.clear();
  m_staging.clear();
  m_pendingAdds.clear();
  m_pendingRemovals.clear();
  m_decalsMax = 0;
  m_volumeSize = kDefaultVolumeSize;
  m_device = nullptr;
}

void CDecalManager::OnLostDevice() { ReleaseResource(m_instances); }

void CDecalManager::OnResetDevice() {
  CreateInstanceBuffer();
  UpdateInstanceBuffer();
}

// --- Main thread ----------------------------------------------------------------

void CDecalManager::AddDecalAt(const plat::Vec3& position, const uint32_t& colour, float size,
                               int group, float life, float fadeIn, float fadeOut) {
  CGuard guard(m_lock);
  auto it = std::find_if(m_slots.begin(), m_slots.end(), [](const SDecal& d) { return !d.used; });
  if (it == m_slots.end()) return;
  SDecal& d = *it;
  d.used = 1;
  d.committed = 0;
  d.position = position;
  d.colour = colour & 0x00FFFFFFu;
  d.size = size;
  d.group = group;
  d.totalLife = d.remainingLife = life;
  d.fadeIn = fadeIn;
  d.fadeOut = fadeOut;
  const float r1 = static_cast<float>(plat::Rand() / 32767.0);
  const float r2 = static_cast<float>(plat::Rand() / 32767.0);
  d.noiseOffset = plat::Vec3(1.5f * r1, 1.5f * r2, 0.0f);
  m_pendingAdds.push_back(static_cast<int32_t>(it - m_slots.begin()));
  MarkChanged();
}

void CDecalManager::AddDecal(float x, float y, float z, const unsigned long& colour, float size,
                             int group, float life, float fadeIn, float fadeOut) {
  const uint32_t argb = static_cast<uint32_t>(colour);
  AddDecalAt(plat::Vec3(x, y, z), argb, size, group, life, fadeIn, fadeOut);
}

void CDecalManager::RemoveDecals(int group) {
  for (SDecal& d : m_slots) {
    CGuard guard(m_lock);
    if (d.group != group) continue;
    d.remainingLife = std::min(d.remainingLife, d.fadeOut);
    MarkChanged();
  }
}

void CDecalManager::ResetDecals() {
  for (SDecal& d : m_slots) {
    CGuard guard(m_lock);
    d.remainingLife = 0.0f;
    MarkChanged();
  }
}

void CDecalManager::ClearDecals() {
  {
    CGuard guard(m_lock);
    for (int32_t i = 0; i < m_decalsMax; ++i) m_pendingRemovals.push_back(i);
  }
  MarkChanged();
}

int32_t CDecalManager::LiveCount() const {
  CGuard guard(m_lock);
  std::vector<uint8_t> leaving(m_slots.size(), 0);
  for (int32_t i : m_pendingRemovals)
    if (i >= 0 && static_cast<size_t>(i) < leaving.size()) leaving[static_cast<size_t>(i)] = 1;
  int32_t live = 0;
  for (size_t i = 0; i < m_slots.size(); ++i)
    if (m_slots[i].used && !leaving[i]) ++live;
  return live;
}

// --- Render thread --------------------------------------------------------------

void CDecalManager::Commit() {
  CGuard guard(m_lock);
  if (m_renderManager) m_renderManager->decalsChanged = false;
  m_changed = false;
  for (int32_t i : m_pendingRemovals) {
    if (i >= 0 && i < m_decalsMax) m_slots[static_cast<size_t>(i)].used = 0;
  }
  m_pendingRemovals.clear();
  for (int32_t i : m_pendingAdds) {
    // A slot freed by a removal of the same commit stays free.
    if (i >= 0 && i < m_decalsMax && m_slots[static_cast<size_t>(i)].used)
      m_slots[static_cast<size_t>(i)].committed = 1;
  }
  m_pendingAdds.clear();
  UpdateInstanceBuffer();
}

int CDecalManager::FillInstances(SDecalInstance* out) const {
  int live = 0;
  for (const SDecal& d : m_slots) {
    if (!d.used) continue;
    SDecalInstance& o = out[live++];
    o.used = 1;
    o.unused = 0;
    o.position[0] = d.position.x;
    o.position[1] = d.position.y;
    o.position[2] = d.position.z;
    o.size = d.size;
    o.noiseOffset[0] = d.noiseOffset.x;
    o.noiseOffset[1] = d.noiseOffset.y;
    o.noiseOffset[2] = d.noiseOffset.z;
    o.colour = d.colour;
  }
  return live;
}

void CDecalManager::UpdateInstanceBuffer() {
  CGuard guard(m_lock);
  if (m_staging.size() != m_slots.size()) m_staging.resize(m_slots.size());
  // Free slots would each cost an instance of the sphere that the vertex stage only
  // throws away: the live ones are packed in slot order, which keeps the order in
  // which they stain the picture.
  m_liveInstances = FillInstances(m_staging.data());
  if (m_renderManager) m_renderManager->liveDecals = m_liveInstances;
  if (!m_instances || m_liveInstances == 0) return;
  void* data = nullptr;
  if (!plat::gpu::Succeeded(m_instances->Lock(0, 0, &data, plat::gpu::kLockDiscard)) || !data)
    return;
  std::memcpy(data, m_staging.data(),
              static_cast<size_t>(m_liveInstances) * sizeof(SDecalInstance));
  m_instances->Unlock();
}

int32_t CDecalManager::Alpha(float totalLife, float remainingLife, float fadeIn, float fadeOut) {
  float alpha = 255.0f;
  if (totalLife - fadeIn <= remainingLife) {
    // Within the first fadeIn seconds; no fade-in means fully there at once.
    if (fadeIn > 0.0f) alpha = (totalLife - remainingLife) * 255.0f / fadeIn;
  } else if (fadeOut <= 0.0f) {
    // No fade-out: full to the end of the life, then gone at once.
    if (remainingLife <= 0.0f) alpha = 0.0f;
  } else if (fadeOut > remainingLife) {
    alpha = remainingLife * 255.0f / fadeOut;
  }
  const int32_t a = static_cast<int32_t>(alpha);
  return std::clamp(a, 0, 255);
}

void CDecalManager::Age(float dt) {
  if (m_paused.load()) dt = 0.0f;
  CGuard guard(m_lock);
  for (size_t i = 0; i < m_slots.size(); ++i) {
    SDecal& d = m_slots[i];
    if (!d.used || !d.committed) continue;
    d.remainingLife -= dt;
    const int32_t alpha = Alpha(d.totalLife, d.remainingLife, d.fadeIn, d.fadeOut);
    const uint32_t before = d.colour;
    d.colour = (d.colour & 0x00FFFFFFu) | (static_cast<uint32_t>(alpha) << 24);
    // The instance buffer keeps the alpha of the last commit: the step to full at
    // the end of a fade-in (or at once, without one) must reach it as well.
    if (d.colour != before) MarkChanged();
    if (alpha < 255) {
      MarkChanged();
      if (d.remainingLife <= 0.0f &&
          std::find(m_pendingRemovals.begin(), m_pendingRemovals.end(), static_cast<int32_t>(i)) ==
              m_pendingRemovals.end())
        m_pendingRemovals.push_back(static_cast<int32_t>(i));
    }
  }
}

void CDecalManager::Render(float dt, float width, float height) {
  if (!m_renderManager) return;
  CShader* shader = m_renderManager->shaders.Find(CStringHash("decal"));
  if (!shader || !shader->effect) return;
  shader->SetTechnique("Decal_tech");

  // Each value only where the effect declares it (the record skips the others). The
  // camera is the frame's view, taken once at its start.
  const SCameraView& view = m_renderManager->viewState;
  shader->SetCameraValues(view.view, view.projection, view.eye);
  shader->SetFloat("gCamera_far_max_length", GetCameraFarMaxLength(view));
  shader->SetTexture("gNZLinearMapNoCharsTexture", m_renderManager->renderTargets[3].texture);
  shader->SetTexture("gNZLinearMapTexture", m_renderManager->renderTargets[2].texture);
  shader->SetTexture("gDecalVolumeTexture", m_noise);
  shader->SetFloat("gWRes", width);
  shader->SetFloat("gHRes", height);
  shader->SetFloat("gFactor", factor);

  Age(dt);

  plat::gpu::Device* device = m_device;
  const int live = m_liveInstances;
  if (!device || !m_declaration || !m_sphereVertices || !m_sphereIndices || !m_instances ||
      live <= 0)
    return;
  device->SetVertexDeclaration(m_declaration);
  device->SetStreamSource(0, m_sphereVertices, 0, sizeof(plat::gpu::SphereVertex));
  device->SetStreamSourceFreq(0, plat::gpu::kStreamIndexedData | static_cast<uint32_t>(live));
  device->SetIndices(m_sphereIndices);
  device->SetStreamSource(1, m_instances, 0, sizeof(SDecalInstance));
  device->SetStreamSourceFreq(1, plat::gpu::kStreamInstanceData | 1u);
  const bool begun = shader->begun;
  const uint32_t passes = begun ? shader->effect->PassCount(shader->effect->GetCurrentTechnique())
                                : shader->Begin();
  for (uint32_t p = 0; p < passes; ++p) {
    shader->BeginPass(p);
    device->DrawIndexedPrimitive(plat::gpu::kTriangleList, 0, 0, m_sphereVertexCount, 0,
                                 m_sphereFaceCount);
    shader->EndPass();
  }
  if (!begun) shader->End();
  device->SetStreamSourceFreq(0, 1);
  device->SetStreamSourceFreq(1, 1);
  device->SetStreamSource(1, nullptr, 0, 0);
}

// --- Lua --------------------------------------------------------------------------

namespace {

constexpr const char* kBindingsKey = "vd.DecalManagerBindings";

CDecalManager* ManagerForLua() { return CDecalManager::GetInstance(); }

}  // namespace

void RegisterDecalBindings(lua_State* state) {
  if (!state) return;
  lua_getfield(state, LUA_REGISTRYINDEX, kBindingsKey);
  const bool registered = lua_toboolean(state, -1) != 0;
  lua_pop(state, 1);
  if (registered) return;
  luabind::module(state)[luabind::class_<CDecalManager>("CDecalManager")
                             .def("AddDecal", &CDecalManager::AddDecal)
                             .def("RemoveDecals", &CDecalManager::RemoveDecals)
                             .def("ResetDecals", &CDecalManager::ResetDecals),
                         luabind::def("GetDecalManager", &ManagerForLua)];
  lua_pushboolean(state, 1);
  lua_setfield(state, LUA_REGISTRYINDEX, kBindingsKey);
}

}  // namespace gfx
}  // namespace vd
