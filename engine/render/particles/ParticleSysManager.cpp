#include "engine/render/particles/ParticleSysManager.h"

#include <luabind/luabind.hpp>

#include "engine/objects/Transform.h"
#include "engine/render/particles/ParticleSubSystem.h"
#include "engine/render/particles/ParticleSystem.h"

namespace vd {
namespace ptc {

namespace {

class CPendingGuard {
public:
  explicit CPendingGuard(plat::CriticalSection& section) : m_section(section) { m_section.Enter(); }
  ~CPendingGuard() { m_section.Leave(); }

private:
  plat::CriticalSection& m_section;
};

template <class T>
void Disown(utl::CStringHashMap<T>& map) {
  map.RemoveAll();
  // The maps only point at components their objects own.
  map.ownsValues = 0;
}

// CStringHashMap::Add deletes an offered value whose key is taken: never offer a
// component for a taken id.
template <class T>
void AddIfAbsent(utl::CStringHashMap<T>& map, uint32_t hash, T* value) {
  if (value && !map.Find(hash)) map.Add(hash, value);
}

template <class T>
void EraseIf(utl::CStringHashMap<T>& map, const CStringHash& id, const T* value) {
  if (map.Find(id) == value) map.Remove(id);
}

}  // namespace

CParticleSysManager::CParticleSysManager() {
  ClearMaps();
  SetInstance(this);
}

CParticleSysManager::~CParticleSysManager() {
  Shutdown();
  ClearInstance(this);
}

void CParticleSysManager::ClearMaps() {
  CPendingGuard guard(m_pendingLock);
  Disown(m_subSystems);
  Disown(m_systems);
  Disown(m_pendingSubSystems);
  Disown(m_pendingSystems);
}

bool CParticleSysManager::Init() {
  ClearMaps();
  currentZone = 0;
  return true;
}

void CParticleSysManager::Shutdown() { ClearMaps(); }

void CParticleSysManager::OnDeviceReset(bool) {}

void CParticleSysManager::Flush() {
  CPendingGuard guard(m_pendingLock);
  for (const auto& entry : m_pendingSystems)
    AddIfAbsent(m_systems, static_cast<uint32_t>(entry.first), entry.second);
  for (const auto& entry : m_pendingSubSystems)
    AddIfAbsent(m_subSystems, static_cast<uint32_t>(entry.first), entry.second);
  Disown(m_pendingSystems);
  Disown(m_pendingSubSystems);
}

bool CParticleSysManager::Lists(const IParticleSystem* system) const {
  if (!system) return false;
  for (const auto& entry : m_systems)
    if (entry.second == system) return true;
  return false;
}

IParticleSystem* CParticleSysManager::GetFreeParticleSystem(const CStringHash& kind) {
  // Several systems share a kind so that a kind can show in several places at
  // once (the eight bursts of a grenade): any one of them that is free serves.
  for (const auto& entry : m_systems) {
    IParticleSystem* system = entry.second;
    if (!system || system->GetKind() != kind) continue;
    if (!system->IsActive()) return system;
    bool finished = true;
    for (int i = 0; i < system->subSystemCount && i < kMaxSubSystems && finished; ++i) {
      IParticleSubSystem* emitter = m_subSystems.Find(system->subSystems[i].Get());
      finished = emitter && emitter->IsFinished();
    }
    if (finished) return system;
  }
  return nullptr;
}

void CParticleSysManager::EnableParticleSystem(const char* id) {
  if (IParticleSystem* system = m_systems.Find(CStringHash(id))) system->SetActive(true);
}

void CParticleSysManager::DisableParticleSystem(const char* id) {
  if (IParticleSystem* system = m_systems.Find(CStringHash(id))) system->SetActive(false);
}

void CParticleSysManager::SetParticleSystemPosition(const char* id, float x, float y, float z) {
  IParticleSystem* system = m_systems.Find(CStringHash(id));
  if (!system) return;
  if (gfx::CTransform* transform = system->GetTransform()) {
    transform->position = plat::Vec3(x, y, z);
    transform->UpdateMatrix();
  }
}

void CParticleSysManager::RegisterSystem(const CStringHash& id, IParticleSystem* system) {
  CPendingGuard guard(m_pendingLock);
  AddIfAbsent(m_pendingSystems, id.GetHash(), system);
}

void CParticleSysManager::RegisterSubSystem(const CStringHash& id, IParticleSubSystem* subSystem) {
  CPendingGuard guard(m_pendingLock);
  AddIfAbsent(m_pendingSubSystems, id.GetHash(), subSystem);
}

void CParticleSysManager::RemoveSystem(const CStringHash& id, const IParticleSystem* system) {
  CPendingGuard guard(m_pendingLock);
  EraseIf(m_systems, id, system);
  EraseIf(m_pendingSystems, id, system);
}

void CParticleSysManager::RemoveSubSystem(const CStringHash& id,
                                          const IParticleSubSystem* subSystem) {
  CPendingGuard guard(m_pendingLock);
  EraseIf(m_subSystems, id, subSystem);
  EraseIf(m_pendingSubSystems, id, subSystem);
}

IParticleSystem* CParticleSysManager::FindSystem(const CStringHash& id) const {
  return m_systems.Find(id);
}

IParticleSubSystem* CParticleSysManager::FindSubSystem(const CStringHash& id) const {
  return m_subSystems.Find(id);
}

IParticleSystem* CParticleSysManager::FindSystemAnywhere(const CStringHash& id) const {
  if (IParticleSystem* system = m_systems.Find(id)) return system;
  CPendingGuard guard(m_pendingLock);
  return m_pendingSystems.Find(id);
}

IParticleSubSystem* CParticleSysManager::FindSubSystemAnywhere(const CStringHash& id) const {
  if (IParticleSubSystem* emitter = m_subSystems.Find(id)) return emitter;
  CPendingGuard guard(m_pendingLock);
  return m_pendingSubSystems.Find(id);
}

int CParticleSysManager::PendingSystemCount() const {
  CPendingGuard guard(m_pendingLock);
  return m_pendingSystems.Count();
}

int CParticleSysManager::PendingSubSystemCount() const {
  CPendingGuard guard(m_pendingLock);
  return m_pendingSubSystems.Count();
}

// --- Lua --------------------------------------------------------------------------

namespace {

constexpr const char* kBindingsKey = "vd.ParticleManagerBindings";

CParticleSysManager* ManagerForLua() { return CParticleSysManager::GetInstance(); }

}  // namespace

void RegisterParticleManagerBindings(lua_State* state) {
  if (!state) return;
  lua_getfield(state, LUA_REGISTRYINDEX, kBindingsKey);
  const bool registered = lua_toboolean(state, -1) != 0;
  lua_pop(state, 1);
  if (registered) return;
  luabind::module(state)
      [luabind::class_<CParticleSysManager>("ParticleManager")
           .def("EnableParticleSystem", &CParticleSysManager::EnableParticleSystem)
           .def("DisableParticleSystem", &CParticleSysManager::DisableParticleSystem)
           .def("SetParticleSystemPosition", &CParticleSysManager::SetParticleSystemPosition),
       luabind::def("GetParticleManager", &ManagerForLua)];
  lua_pushboolean(state, 1);
  lua_setfield(state, LUA_REGISTRYINDEX, kBindingsKey);
}

}  // namespace ptc
}  // namespace vd
