#include "game/flow/script/GatingParticlesManager.h"

#include <luabind/luabind.hpp>

#include "engine/core/Log.h"
#include "engine/core/StringHash.h"
#include "engine/render/particles/ParticleSysManager.h"
#include "engine/render/particles/ParticleSystem.h"

namespace vd {

void CGatingParticlesManager::ClearFades() {
  fadingAvenue = 0;
  fadingBackstreet = 0;
  fadeRateAvenue = 0.0f;
  fadeRateBackstreet = 0.0f;
  avenue = nullptr;
  backstreet = nullptr;
  m_reportedMissing = 0;
}

void CGatingParticlesManager::FindSystems(ptc::CParticleSysManager* particles) {
  ClearFades();
  if (!particles) return;
  // The loader's systems may still wait for the render commit that publishes them.
  avenue = particles->FindSystemAnywhere(CStringHash(kAvenueName));
  backstreet = particles->FindSystemAnywhere(CStringHash(kBackstreetName));
  for (auto [system, name] :
       {std::make_pair(avenue, kAvenueName), std::make_pair(backstreet, kBackstreetName)})
    if (!system) utl::LogPrintf("Gating particles: the level has no %s\n", name);
}

void CGatingParticlesManager::SmoothDisableGatingPS(const char* name, float rate) {
  const uint32_t hash = CStringHash(name).GetHash();
  ptc::IParticleSystem** system = nullptr;
  uint8_t* fading = nullptr;
  float* fadeRate = nullptr;
  uint8_t bit = 0;
  if (hash == ComputeHash(kAvenueName)) {
    bit = 1;
    system = &avenue;
    fading = &fadingAvenue;
    fadeRate = &fadeRateAvenue;
  } else if (hash == ComputeHash(kBackstreetName)) {
    bit = 2;
    system = &backstreet;
    fading = &fadingBackstreet;
    fadeRate = &fadeRateBackstreet;
  } else {
    return;
  }
  if (!*system) {
    if (m_reportedMissing & bit) return;
    m_reportedMissing |= bit;
    utl::LogPrintf("Gating particles: SmoothDisableGatingPS: no %s in the level; ignored\n", name);
    return;
  }
  if (rate <= 0.0f) {
    (*system)->SetActive(false);
    *fading = 0;
    *fadeRate = 0.0f;
    return;
  }
  *fading = 1;
  *fadeRate = rate;
}

void CGatingParticlesManager::Fade(ptc::IParticleSystem*& system, uint8_t& fading, float& rate,
                                   float dt) {
  if (!fading) return;
  if (system) {
    if (system->alpha > 0.0f) system->alpha -= rate * dt;
    if (system->alpha > 0.0f) return;
    system->alpha = 0.0f;
    system->SetActive(false);
  }
  fading = 0;
  rate = 0.0f;
}

void CGatingParticlesManager::Update(float dt) {
  frameTime = dt;
  Fade(avenue, fadingAvenue, fadeRateAvenue, dt);
  Fade(backstreet, fadingBackstreet, fadeRateBackstreet, dt);
}

namespace {
CGatingParticlesManager* (*g_getter)() = nullptr;
CGatingParticlesManager* ManagerForLua() { return g_getter ? g_getter() : nullptr; }
}  // namespace

void RegisterGatingParticlesBindings(lua_State* state, CGatingParticlesManager* (*getter)()) {
  if (!state) return;
  g_getter = getter;
  luabind::module(
      state)[luabind::class_<CGatingParticlesManager>("CGatingParticlesManager")
                 .def("SmoothDisableGatingPS", &CGatingParticlesManager::SmoothDisableGatingPS),
             luabind::def("GetGatingParticlesManager", &ManagerForLua)];
}

}  // namespace vd
