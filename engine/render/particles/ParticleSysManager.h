#pragma once
// The registry of particle systems and emitters by id. Systems and emitters enter
// pending maps as they load (from the main thread or the loading thread) and
// become visible to lookups once the render-data commit has run Flush. The
// manager owns none of them: they belong to their game objects and leave the maps
// when destroyed.
#include <cstdint>

#include "engine/core/Singleton.h"
#include "platform/thread/Thread.h"
#include "engine/core/StringHash.h"

struct lua_State;

namespace vd {
namespace ptc {

class IParticleSystem;
class IParticleSubSystem;

class CParticleSysManager : public utl::CSingleton<CParticleSysManager> {
public:
  // The newest manager is the one the components and the scripts reach.
  CParticleSysManager();
  ~CParticleSysManager();
  CParticleSysManager(const CParticleSysManager&) = delete;
  CParticleSysManager& operator=(const CParticleSysManager&) = delete;

  // Render thread at start-up: every map empty, current zone 0.
  bool Init();
  void Shutdown();
  // Before (true) and after (false) a device reset: the quad buffers are managed
  // and survive it, so nothing is done.
  void OnDeviceReset(bool before);
  // From the render-data commit: the pending entries join the live maps (an id
  // already there keeps its entry).
  void Flush();

  // The first system of that kind ("ps_type_id"), in the live map's order, that
  // is free: inactive, or active with every emitter finished (an emitter id that
  // resolves to nothing counts as busy). Null when none of the kind is free.
  IParticleSystem* GetFreeParticleSystem(const CStringHash& kind);

  // Lua operations; an id that is not in the live map is ignored.
  void EnableParticleSystem(const char* id);
  void DisableParticleSystem(const char* id);
  void SetParticleSystemPosition(const char* id, float x, float y, float z);

  // Entries made while loading (any thread).
  void RegisterSystem(const CStringHash& id, IParticleSystem* system);
  void RegisterSubSystem(const CStringHash& id, IParticleSubSystem* subSystem);
  // From the destructors: the live entry and a pending one, only when they are
  // that object (a second object that reused the id must not take the first one's
  // entry with it).
  void RemoveSystem(const CStringHash& id, const IParticleSystem* system);
  void RemoveSubSystem(const CStringHash& id, const IParticleSubSystem* subSystem);

  IParticleSystem* FindSystem(const CStringHash& id) const;
  // Whether `system` is one of the live systems. A holder of a system taken by its
  // kind asks before touching it: the system's object may have gone first (the
  // level's objects go in no set order), and its pointer is then compared, never read.
  bool Lists(const IParticleSystem* system) const;
  IParticleSubSystem* FindSubSystem(const CStringHash& id) const;
  // The particle pass: by the hash of the id (a particle entry's mesh name).
  IParticleSubSystem* FindSubSystem(uint32_t idHash) const { return m_subSystems.Find(idHash); }
  // Live map first, then the pending one (the systems' links while loading).
  IParticleSystem* FindSystemAnywhere(const CStringHash& id) const;
  IParticleSubSystem* FindSubSystemAnywhere(const CStringHash& id) const;

  int SystemCount() const { return m_systems.Count(); }
  int SubSystemCount() const { return m_subSystems.Count(); }
  int PendingSystemCount() const;
  int PendingSubSystemCount() const;

  // Written on "OnZoneChange"; systems test bit (zone AND 31) of their masks.
  int32_t currentZone = 0;

private:
  void ClearMaps();

  utl::CStringHashMap<IParticleSystem> m_systems;
  utl::CStringHashMap<IParticleSubSystem> m_subSystems;
  utl::CStringHashMap<IParticleSystem> m_pendingSystems;
  utl::CStringHashMap<IParticleSubSystem> m_pendingSubSystems;
  // Guards the pending maps: the loading thread enters while the render thread
  // flushes.
  mutable plat::CriticalSection m_pendingLock;
};

// The Lua class "ParticleManager" ("EnableParticleSystem", "DisableParticleSystem",
// "SetParticleSystemPosition") and the global "GetParticleManager" (the newest
// manager). Safe to call more than once per state.
void RegisterParticleManagerBindings(lua_State* state);

}  // namespace ptc
}  // namespace vd
