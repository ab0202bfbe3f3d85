#include "engine/events/GameEvents.h"

#include <lua.hpp>
#include <luabind/luabind.hpp>

namespace vd {

#define HM_DEFINE_GAME_EVENT_NAMES(Name, N)    \
  CStringHash SH_CEvent##Name("CEvent" #Name); \
  CStringHash SH_On##Name("On" #Name);
HM_GAME_EVENTS(HM_DEFINE_GAME_EVENT_NAMES)
#undef HM_DEFINE_GAME_EVENT_NAMES

namespace evn {

using lua::Field;
using lua::kEndOfFields;
using lua::kFromLuaOnly;
using lua::kIfSet;
using lua::kToLuaOnly;

namespace {

// A name field that keeps its own copy of the poster's text.
void CopyName(CStringHash& field, const CStringHash& name) {
  field = name;
  field.MakeOwned();
}

}  // namespace

#define HM_GAME_EVENT_CLASS_NAME(Name, N) \
  const CStringHash& CEvent##Name::GetClassName() { return SH_CEvent##Name; }
HM_GAME_EVENTS(HM_GAME_EVENT_CLASS_NAME)
#undef HM_GAME_EVENT_CLASS_NAME

void InitGameEventTypes() {
#define HM_INIT_TYPE(Name, N) CEvent##Name::InitType(SH_On##Name);
  HM_GAME_EVENTS(HM_INIT_TYPE)
#undef HM_INIT_TYPE
}

void RegisterGameEventFactories(utl::FactoryMap<IEvent>& makers) {
  InitGameEventTypes();
#define HM_REGISTER(Name, N) utl::RegisterFactoryMaker<CEvent##Name, IEvent>(makers);
  HM_GAME_EVENTS(HM_REGISTER)
#undef HM_REGISTER
}

void UnregisterGameEventFactories(utl::FactoryMap<IEvent>& makers) {
#define HM_UNREGISTER(Name, N) utl::UnregisterFactoryMaker(SH_CEvent##Name, makers);
  HM_GAME_EVENTS(HM_UNREGISTER)
#undef HM_UNREGISTER
}

// Field tables ---------------------------------------------------------------------

const lua::SField<CEventHUDChange> CEventHUDChange::kFields[] = {
    Field<&CEventHUDChange::score>("score", kIfSet),
    Field<&CEventHUDChange::life>("life", kIfSet),
    Field<&CEventHUDChange::gas>("gas", kIfSet),
    Field<&CEventHUDChange::grenades>("grenades", kIfSet),
    Field<&CEventHUDChange::grenadesEmblemShow>("grenades_emblem_show", kIfSet),
    Field<&CEventHUDChange::force>("force", kIfSet),
    Field<&CEventHUDChange::bossLife>("boss_life", kIfSet),
    Field<&CEventHUDChange::bossLifeInit>("boss_life_init", kIfSet),
    Field<&CEventHUDChange::cronoTime>("crono_time", kIfSet),
    Field<&CEventHUDChange::hide>("hide", kIfSet),
    Field<&CEventHUDChange::unhide>("unhide", kIfSet),
    Field<&CEventHUDChange::hideSpeed>("hide_speed", kIfSet),
    kEndOfFields<CEventHUDChange>,
};

const lua::SField<CEventZoneChange> CEventZoneChange::kFields[] = {
    Field<&CEventZoneChange::zone>("zone"),
    Field<&CEventZoneChange::zonePrev>("zone_prev"),
    kEndOfFields<CEventZoneChange>,
};

const lua::SField<CEventPlayerAttack> CEventPlayerAttack::kFields[] = {
    Field<&CEventPlayerAttack::begin>("begin"),
    Field<&CEventPlayerAttack::damage>("damage"),
    Field<&CEventPlayerAttack::type>("type"),
    kEndOfFields<CEventPlayerAttack>,
};

const lua::SField<CEventEnemyAttack> CEventEnemyAttack::kFields[] = {
    Field<&CEventEnemyAttack::damage>("damage"),
    Field<&CEventEnemyAttack::rangeMin>("range_min"),
    Field<&CEventEnemyAttack::rangeMax>("range_max"),
    Field<&CEventEnemyAttack::angle>("angle"),
    Field<&CEventEnemyAttack::type>("type"),
    kEndOfFields<CEventEnemyAttack>,
};

const lua::SField<CEventCinematic> CEventCinematic::kFields[] = {
    Field<&CEventCinematic::playing>("playing"),
    kEndOfFields<CEventCinematic>,
};

const lua::SField<CEventSequence> CEventSequence::kFields[] = {
    Field<&CEventSequence::name>("name"),
    Field<&CEventSequence::gameObject>("gameobject"),
    Field<&CEventSequence::begin>("begin", kToLuaOnly),
    kEndOfFields<CEventSequence>,
};

const lua::SField<CEventReachPos> CEventReachPos::kFields[] = {
    Field<&CEventReachPos::gameObject>("gameobject"),
    Field<&CEventReachPos::posId>("pos_id"),
    Field<&CEventReachPos::waypoint>("waypoint"),
    kEndOfFields<CEventReachPos>,
};

const lua::SField<CEventAction> CEventAction::kFields[] = {
    Field<&CEventAction::gameObject>("gameobject"),
    Field<&CEventAction::name>("name"),
    Field<&CEventAction::id>("id"),
    Field<&CEventAction::begin>("begin"),
    Field<&CEventAction::playlistType>("playlist_type"),
    Field<&CEventAction::playlistGroup>("playlist_group"),
    Field<&CEventAction::playlistId>("playlist_id"),
    kEndOfFields<CEventAction>,
};

const lua::SField<CEventDeath> CEventDeath::kFields[] = {
    Field<&CEventDeath::type>("type"),
    Field<&CEventDeath::name>("name"),
    Field<&CEventDeath::group>("group"),
    kEndOfFields<CEventDeath>,
};

const lua::SField<CEventHit> CEventHit::kFields[] = {
    Field<&CEventHit::receiver>("game_object_receiver"),
    Field<&CEventHit::attacker>("game_object_attacker"),
    kEndOfFields<CEventHit>,
};

const lua::SField<CEventShockWave> CEventShockWave::kFields[] = {
    Field<&CEventShockWave::attacker>("attacker"), Field<&CEventShockWave::pos, 0>("pos_x"),
    Field<&CEventShockWave::pos, 1>("pos_y"),      Field<&CEventShockWave::pos, 2>("pos_z"),
    Field<&CEventShockWave::speed>("speed"),       Field<&CEventShockWave::range>("range"),
    Field<&CEventShockWave::damage>("damage"),     kEndOfFields<CEventShockWave>,
};

const lua::SField<CEventShake> CEventShake::kFields[] = {
    Field<&CEventShake::power>("power"),
    Field<&CEventShake::timer>("timer"),
    kEndOfFields<CEventShake>,
};

const lua::SField<CEventEnableUse> CEventEnableUse::kFields[] = {
    Field<&CEventEnableUse::usable>("usable"),
    Field<&CEventEnableUse::objectName>("object_name"),
    kEndOfFields<CEventEnableUse>,
};

const lua::SField<CEventUse> CEventUse::kFields[] = {
    Field<&CEventUse::objectName>("object_name"),
    Field<&CEventUse::begin>("begin"),
    kEndOfFields<CEventUse>,
};

const lua::SField<CEventFatality> CEventFatality::kFields[] = {
    Field<&CEventFatality::fatalityName>("fatality_name"),
    Field<&CEventFatality::fatalityTargetName>("fatality_target_name"),
    Field<&CEventFatality::duration>("duration"),
    Field<&CEventFatality::killFrame>("kill_frame"),
    kEndOfFields<CEventFatality>,
};

const lua::SField<CEventExplosion> CEventExplosion::kFields[] = {
    Field<&CEventExplosion::source>("source"),
    Field<&CEventExplosion::pos, 0>("pos_x"),
    Field<&CEventExplosion::pos, 1>("pos_y"),
    Field<&CEventExplosion::pos, 2>("pos_z"),
    Field<&CEventExplosion::range>("range"),
    Field<&CEventExplosion::damage>("damage"),
    kEndOfFields<CEventExplosion>,
};

const lua::SField<CEventEndGame> CEventEndGame::kFields[] = {
    kEndOfFields<CEventEndGame>,
};

const lua::SField<CEventOrbAbsorved> CEventOrbAbsorved::kFields[] = {
    Field<&CEventOrbAbsorved::typeName>("type_name"),
    kEndOfFields<CEventOrbAbsorved>,
};

// Posters' constructors ----------------------------------------------------------

CEventPlayerAttack::CEventPlayerAttack(bool isBegin, int attackDamage, const CStringHash& stepName)
    : begin(isBegin), damage(attackDamage) {
  type = stepName;
}

CEventEnemyAttack::CEventEnemyAttack(obj::CGameObject* attackerObject, int attackDamage,
                                     float minRange, float maxRange, float attackAngle,
                                     const CStringHash& attackName)
    : attacker(attackerObject),
      damage(attackDamage),
      rangeMin(minRange),
      rangeMax(maxRange),
      angle(attackAngle) {
  type = attackName;
}

CEventSequence::CEventSequence(const char* sequenceName, bool isBegin, const char* objectName)
    : begin(isBegin) {
  name.Borrow(sequenceName);
  gameObject.Borrow(objectName);
}

CEventAction::CEventAction(const char* objectName, const char* actionName, const char* actionId,
                           bool isBegin, const char* listType, int listGroup, int listId)
    : begin(isBegin), playlistGroup(listGroup), playlistId(listId) {
  gameObject.Borrow(objectName);
  name.Borrow(actionName);
  id.Borrow(actionId);
  playlistType.Borrow(listType);
}

CEventShockWave::CEventShockWave(obj::CGameObject* object, const CStringHash& attackerName,
                                 const plat::Vec3& centre, float waveSpeed, float waveRange,
                                 int waveDamage)
    : attackerObject(object), pos(centre), speed(waveSpeed), range(waveRange), damage(waveDamage) {
  attacker = attackerName;
}

CEventFatality::CEventFatality(const CStringHash& fatality, const CStringHash& target,
                               const plat::Vec3& where, float seconds, float killFrameTime)
    : position(where), duration(seconds), killFrame(killFrameTime) {
  CopyName(fatalityName, fatality);
  CopyName(fatalityTargetName, target);
}

CEventExplosion::CEventExplosion(const CStringHash& sourceName, const plat::Vec3& where,
                                 float blastRange)
    : pos(where), range(blastRange), damage(kDamage) {
  CopyName(source, sourceName);
}

}  // namespace evn
}  // namespace vd
