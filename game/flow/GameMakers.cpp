#include "game/flow/GameMakers.h"

#include "engine/events/GameEvents.h"
#include "engine/objects/Component.h"
#include "engine/render/lights/Light.h"
#include "engine/render/particles/ParticleSubSystem.h"
#include "engine/render/particles/ParticleSystem.h"
#include "engine/render/trail/WeaponRenderer.h"
#include "game/enemies/Berserker.h"
#include "game/enemies/Krauser.h"
#include "game/enemies/KrauserEffects.h"
#include "game/player/CameraController.h"
#include "game/player/ComboController.h"
#include "game/player/FightSlotMgr.h"
#include "game/player/FollowCamera.h"
#include "game/player/PlayerController.h"
#include "game/player/PlayerEffects.h"
#include "game/player/WeaponController.h"

namespace vd {

namespace {

template <class T>
void File(utl::FactoryMap<obj::IComponent>& makers) {
  utl::RegisterFactoryMaker<T, obj::IComponent>(makers);
}

}  // namespace

// Classes that belong to the player, the enemies and the particles take their row
// here when they join the game; until then their names create nothing. "CPatrol" is
// a name the enemies compare with and never a class of its own: it has no row.
const SGameComponentMaker kGameComponentMakers[kGameComponentMakerCount] = {
    {"CCameraGOWController", &File<CCameraGOWController>},
    {"CFirstPersonCameraController", &File<CFirstPersonCameraController>},
    {"CPlayerController", &File<CPlayerController>},
    {"CComboController", &File<CComboController>},
    {"CPlayerEffects", &File<CPlayerEffects>},
    {"CKrauserEffects", &File<CKrauserEffects>},
    {"CBerserker", &File<CBerserker>},
    {"CKrauser", &File<CKrauser>},
    {"CFightSlotMgr", &File<CFightSlotMgr>},
    {"CWeaponController", &File<CWeaponController>},
    {"CWeaponRenderer", &File<gfx::CWeaponRenderer>},
    {"CParticleSystemSimple", &File<CParticleSystemSimple>},
    {"CParticleSystemFollower", &File<CParticleSystemFollower>},
    {"CParticleSubSystemSimple", &File<CParticleSubSystemSimple>},
    {"CLight", &File<lig::CLight>},
};

void RegisterGameComponentMakers(utl::FactoryMap<obj::IComponent>& makers) {
  for (const SGameComponentMaker& row : kGameComponentMakers)
    if (row.registerMaker) row.registerMaker(makers);
}

void UnregisterGameComponentMakers(utl::FactoryMap<obj::IComponent>& makers) {
  for (const SGameComponentMaker& row : kGameComponentMakers)
    utl::UnregisterFactoryMaker(CStringHash(row.className), makers);
}

void RegisterGameEventMakers(utl::FactoryMap<evn::IEvent>& makers) {
  evn::RegisterGameEventFactories(makers);
}

void UnregisterGameEventMakers(utl::FactoryMap<evn::IEvent>& makers) {
  evn::UnregisterGameEventFactories(makers);
}

}  // namespace vd
