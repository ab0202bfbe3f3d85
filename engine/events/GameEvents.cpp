#include "engine/events/GameEvents.h"

#include <lua.hpp>
#include <luabind/luabind.hpp>

#include "engine/core/Locks.h"

namespace vd {

CStringHash SH_CEventHUDChange("CEventHUDChange");
CStringHash SH_CEventZoneChange("CEventZoneChange");
CStringHash SH_CEventPlayerAttack("CEventPlayerAttack");
CStringHash SH_CEventEnemyAttack("CEventEnemyAttack");
CStringHash SH_CEventCinematic("CEventCinematic");
CStringHash SH_CEventSequence("CEventSequence");
CStringHash SH_CEventReachPos("CEventReachPos");
CStringHash SH_CEventAction("CEventAction");
CStringHash SH_CEventDeath("CEventDeath");
CStringHash SH_CEventHit("CEventHit");
CStringHash SH_CEventShockWave("CEventShockWave");
CStringHash SH_CEventShake("CEventShake");
CStringHash SH_CEventEnableUse("CEventEnableUse");
CStringHash SH_CEventUse("CEventUse");
CStringHash SH_CEventFatality("CEventFatality");
CStringHash SH_CEventExplosion("CEventExplosion");
CStringHash SH_CEventEndGame("CEventEndGame");
CStringHash SH_CEventOrbAbsorved("CEventOrbAbsorved");

CStringHash SH_OnHUDChange("OnHUDChange");
CStringHash SH_OnZoneChange("OnZoneChange");
CStringHash SH_OnPlayerAttack("OnPlayerAttack");
CStringHash SH_OnEnemyAttack("OnEnemyAttack");
CStringHash SH_OnCinematic("OnCinematic");
CStringHash SH_OnSequence("OnSequence");
CStringHash SH_OnReachPos("OnReachPos");
CStringHash SH_OnAction("OnAction");
CStringHash SH_OnDeath("OnDeath");
CStringHash SH_OnHit("OnHit");
CStringHash SH_OnShockWave("OnShockWave");
CStringHash SH_OnShake("OnShake");
CStringHash SH_OnEnableUse("OnEnableUse");
CStringHash SH_OnUse("OnUse");
CStringHash SH_OnFatality("OnFatality");
CStringHash SH_OnExplosion("OnExplosion");
CStringHash SH_OnEndGame("OnEndGame");
CStringHash SH_OnOrbAbsorved("OnOrbAbsorved");

namespace evn {

using lua::NewTable;
using lua::SetText;

namespace {

// Builds an event's table under the Lua lock and makes it the event's table.
// Without a script host the event gets an empty object.
template <class Fill>
void BuildTable(luabind::object& out, Fill fill) {
  sys::CScopedLock lock(sys::kLockLua);
  luabind::object table = NewTable();
  if (table.interpreter()) fill(table);
  out = table;
}

// A name field that keeps its own copy of the poster's text.
void CopyName(CStringHash& field, const CStringHash& name) {
  field = name;
  field.MakeOwned();
}

template <class T>
void Register(utl::FactoryMap<IEvent>& makers, const CStringHash& messageName) {
  T::InitType(messageName);
  utl::RegisterFactoryMaker<T, IEvent>(makers);
}

}  // namespace

void InitGameEventTypes() {
  CEventHUDChange::InitType(SH_OnHUDChange);
  CEventZoneChange::InitType(SH_OnZoneChange);
  CEventPlayerAttack::InitType(SH_OnPlayerAttack);
  CEventEnemyAttack::InitType(SH_OnEnemyAttack);
  CEventCinematic::InitType(SH_OnCinematic);
  CEventSequence::InitType(SH_OnSequence);
  CEventReachPos::InitType(SH_OnReachPos);
  CEventAction::InitType(SH_OnAction);
  CEventDeath::InitType(SH_OnDeath);
  CEventHit::InitType(SH_OnHit);
  CEventShockWave::InitType(SH_OnShockWave);
  CEventShake::InitType(SH_OnShake);
  CEventEnableUse::InitType(SH_OnEnableUse);
  CEventUse::InitType(SH_OnUse);
  CEventFatality::InitType(SH_OnFatality);
  CEventExplosion::InitType(SH_OnExplosion);
  CEventEndGame::InitType(SH_OnEndGame);
  CEventOrbAbsorved::InitType(SH_OnOrbAbsorved);
}

void RegisterGameEventFactories(utl::FactoryMap<IEvent>& makers) {
  Register<CEventHUDChange>(makers, SH_OnHUDChange);
  Register<CEventZoneChange>(makers, SH_OnZoneChange);
  Register<CEventPlayerAttack>(makers, SH_OnPlayerAttack);
  Register<CEventEnemyAttack>(makers, SH_OnEnemyAttack);
  Register<CEventCinematic>(makers, SH_OnCinematic);
  Register<CEventSequence>(makers, SH_OnSequence);
  Register<CEventReachPos>(makers, SH_OnReachPos);
  Register<CEventAction>(makers, SH_OnAction);
  Register<CEventDeath>(makers, SH_OnDeath);
  Register<CEventHit>(makers, SH_OnHit);
  Register<CEventShockWave>(makers, SH_OnShockWave);
  Register<CEventShake>(makers, SH_OnShake);
  Register<CEventEnableUse>(makers, SH_OnEnableUse);
  Register<CEventUse>(makers, SH_OnUse);
  Register<CEventFatality>(makers, SH_OnFatality);
  Register<CEventExplosion>(makers, SH_OnExplosion);
  Register<CEventEndGame>(makers, SH_OnEndGame);
  Register<CEventOrbAbsorved>(makers, SH_OnOrbAbsorved);
}

void UnregisterGameEventFactories(utl::FactoryMap<IEvent>& makers) {
  for (const CStringHash* name :
       {&SH_CEventHUDChange, &SH_CEventZoneChange, &SH_CEventPlayerAttack, &SH_CEventEnemyAttack,
        &SH_CEventCinematic, &SH_CEventSequence, &SH_CEventReachPos, &SH_CEventAction,
        &SH_CEventDeath, &SH_CEventHit, &SH_CEventShockWave, &SH_CEventShake,
        &SH_CEventEnableUse, &SH_CEventUse, &SH_CEventFatality, &SH_CEventExplosion,
        &SH_CEventEndGame, &SH_CEventOrbAbsorved}) {
    utl::UnregisterFactoryMaker(*name, makers);
  }
}

// HUD change -------------------------------------------------------------------

const CStringHash& CEventHUDChange::GetClassName() { return SH_CEventHUDChange; }

bool CEventHUDChange::FromLua(const luabind::object& table) {
  sys::CScopedLock lock(sys::kLockLua);
  lua::RequireTable(table);
  auto readInt = [&](const char* key, int& field) {
    if (lua::IsSet(table, key)) field = lua::ReadInt(table, key);
  };
  auto readFloat = [&](const char* key, float& field) {
    if (lua::IsSet(table, key)) field = lua::ReadFloat(table, key);
  };
  auto readBool = [&](const char* key, bool& field) {
    if (lua::IsSet(table, key)) field = lua::ReadBool(table, key);
  };
  readInt("score", score);
  readInt("life", life);
  readFloat("gas", gas);
  readInt("grenades", grenades);
  readBool("grenades_emblem_show", grenadesEmblemShow);
  readBool("force", force);
  readInt("boss_life", bossLife);
  readInt("boss_life_init", bossLifeInit);
  readFloat("crono_time", cronoTime);
  readBool("hide", hide);
  readBool("unhide", unhide);
  readFloat("hide_speed", hideSpeed);
  return true;
}

void CEventHUDChange::ToLua() {
  BuildTable(m_luaObject, [&](luabind::object& t) {
    t["score"] = score;
    t["life"] = life;
    t["gas"] = gas;
    t["grenades"] = grenades;
    t["grenades_emblem_show"] = grenadesEmblemShow;
    t["force"] = force;
    t["boss_life"] = bossLife;
    t["boss_life_init"] = bossLifeInit;
    t["crono_time"] = cronoTime;
    t["hide"] = hide;
    t["unhide"] = unhide;
    t["hide_speed"] = hideSpeed;
  });
}

// Zone change ------------------------------------------------------------------

const CStringHash& CEventZoneChange::GetClassName() { return SH_CEventZoneChange; }

bool CEventZoneChange::FromLua(const luabind::object& table) {
  sys::CScopedLock lock(sys::kLockLua);
  zone = lua::ReadInt(table, "zone");
  zonePrev = lua::ReadInt(table, "zone_prev");
  return true;
}

void CEventZoneChange::ToLua() {
  BuildTable(m_luaObject, [&](luabind::object& t) {
    t["zone"] = zone;
    t["zone_prev"] = zonePrev;
  });
}

// Player attack ----------------------------------------------------------------

const CStringHash& CEventPlayerAttack::GetClassName() { return SH_CEventPlayerAttack; }

CEventPlayerAttack::CEventPlayerAttack(bool isBegin, int attackDamage, const CStringHash& stepName)
    : begin(isBegin), damage(attackDamage) {
  type = stepName;
}

bool CEventPlayerAttack::FromLua(const luabind::object& table) {
  sys::CScopedLock lock(sys::kLockLua);
  begin = lua::ReadBool(table, "begin");
  damage = lua::ReadInt(table, "damage");
  lua::ReadName(table, "type", type);
  return true;
}

void CEventPlayerAttack::ToLua() {
  BuildTable(m_luaObject, [&](luabind::object& t) {
    t["begin"] = begin;
    t["damage"] = damage;
    SetText(t, "type", type.GetText());
  });
}

// Enemy attack -----------------------------------------------------------------

const CStringHash& CEventEnemyAttack::GetClassName() { return SH_CEventEnemyAttack; }

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

bool CEventEnemyAttack::FromLua(const luabind::object& table) {
  sys::CScopedLock lock(sys::kLockLua);
  damage = lua::ReadInt(table, "damage");
  rangeMin = lua::ReadFloat(table, "range_min");
  rangeMax = lua::ReadFloat(table, "range_max");
  angle = lua::ReadFloat(table, "angle");
  lua::ReadName(table, "type", type);
  return true;
}

void CEventEnemyAttack::ToLua() {
  BuildTable(m_luaObject, [&](luabind::object& t) {
    t["damage"] = damage;
    t["range_min"] = rangeMin;
    t["range_max"] = rangeMax;
    t["angle"] = angle;
    SetText(t, "type", type.GetText());
  });
}

// Cinematic --------------------------------------------------------------------

const CStringHash& CEventCinematic::GetClassName() { return SH_CEventCinematic; }

bool CEventCinematic::FromLua(const luabind::object& table) {
  sys::CScopedLock lock(sys::kLockLua);
  playing = lua::ReadBool(table, "playing");
  return true;
}

void CEventCinematic::ToLua() {
  BuildTable(m_luaObject, [&](luabind::object& t) { t["playing"] = playing; });
}

// Sequence ---------------------------------------------------------------------

const CStringHash& CEventSequence::GetClassName() { return SH_CEventSequence; }

CEventSequence::CEventSequence(const char* sequenceName, bool isBegin, const char* objectName)
    : begin(isBegin) {
  name.Borrow(sequenceName);
  gameObject.Borrow(objectName);
}

bool CEventSequence::FromLua(const luabind::object& table) {
  sys::CScopedLock lock(sys::kLockLua);
  lua::ReadText(table, "name", name);
  lua::ReadText(table, "gameobject", gameObject);
  begin = true;
  return true;
}

void CEventSequence::ToLua() {
  BuildTable(m_luaObject, [&](luabind::object& t) {
    SetText(t, "name", name.Get());
    SetText(t, "gameobject", gameObject.Get());
    t["begin"] = begin;
  });
}

// Reach position ---------------------------------------------------------------

const CStringHash& CEventReachPos::GetClassName() { return SH_CEventReachPos; }

bool CEventReachPos::FromLua(const luabind::object& table) {
  sys::CScopedLock lock(sys::kLockLua);
  lua::ReadText(table, "gameobject", gameObject);
  lua::ReadText(table, "pos_id", posId);
  waypoint = lua::ReadInt(table, "waypoint");
  return true;
}

void CEventReachPos::ToLua() {
  BuildTable(m_luaObject, [&](luabind::object& t) {
    SetText(t, "gameobject", gameObject.Get());
    SetText(t, "pos_id", posId.Get());
    t["waypoint"] = waypoint;
  });
}

// Action -----------------------------------------------------------------------

const CStringHash& CEventAction::GetClassName() { return SH_CEventAction; }

CEventAction::CEventAction(const char* objectName, const char* actionName, const char* actionId,
                           bool isBegin, const char* listType, int listGroup, int listId)
    : begin(isBegin), playlistGroup(listGroup), playlistId(listId) {
  gameObject.Borrow(objectName);
  name.Borrow(actionName);
  id.Borrow(actionId);
  playlistType.Borrow(listType);
}

bool CEventAction::FromLua(const luabind::object& table) {
  sys::CScopedLock lock(sys::kLockLua);
  lua::ReadText(table, "gameobject", gameObject);
  lua::ReadText(table, "name", name);
  lua::ReadText(table, "id", id);
  begin = lua::ReadBool(table, "begin");
  lua::ReadText(table, "playlist_type", playlistType);
  playlistGroup = lua::ReadInt(table, "playlist_group");
  playlistId = lua::ReadInt(table, "playlist_id");
  return true;
}

void CEventAction::ToLua() {
  BuildTable(m_luaObject, [&](luabind::object& t) {
    SetText(t, "gameobject", gameObject.Get());
    SetText(t, "name", name.Get());
    SetText(t, "id", id.Get());
    t["begin"] = begin;
    SetText(t, "playlist_type", playlistType.Get());
    t["playlist_group"] = playlistGroup;
    t["playlist_id"] = playlistId;
  });
}

// Death ------------------------------------------------------------------------

const CStringHash& CEventDeath::GetClassName() { return SH_CEventDeath; }

bool CEventDeath::FromLua(const luabind::object& table) {
  sys::CScopedLock lock(sys::kLockLua);
  lua::ReadText(table, "type", type);
  lua::ReadText(table, "name", name);
  group = lua::ReadInt(table, "group");
  return true;
}

void CEventDeath::ToLua() {
  BuildTable(m_luaObject, [&](luabind::object& t) {
    SetText(t, "type", type.Get());
    SetText(t, "name", name.Get());
    t["group"] = group;
  });
}

// Hit --------------------------------------------------------------------------

const CStringHash& CEventHit::GetClassName() { return SH_CEventHit; }

bool CEventHit::FromLua(const luabind::object& table) {
  sys::CScopedLock lock(sys::kLockLua);
  lua::ReadText(table, "game_object_receiver", receiver);
  lua::ReadText(table, "game_object_attacker", attacker);
  return true;
}

void CEventHit::ToLua() {
  BuildTable(m_luaObject, [&](luabind::object& t) {
    SetText(t, "game_object_receiver", receiver.Get());
    SetText(t, "game_object_attacker", attacker.Get());
  });
}

// Shock wave -------------------------------------------------------------------

const CStringHash& CEventShockWave::GetClassName() { return SH_CEventShockWave; }

CEventShockWave::CEventShockWave(obj::CGameObject* object, const CStringHash& attackerName,
                                 const plat::Vec3& centre, float waveSpeed, float waveRange,
                                 int waveDamage)
    : attackerObject(object), pos(centre), speed(waveSpeed), range(waveRange), damage(waveDamage) {
  attacker = attackerName;
}

bool CEventShockWave::FromLua(const luabind::object& table) {
  sys::CScopedLock lock(sys::kLockLua);
  lua::ReadName(table, "attacker", attacker);
  pos.x = lua::ReadFloat(table, "pos_x");
  pos.y = lua::ReadFloat(table, "pos_y");
  pos.z = lua::ReadFloat(table, "pos_z");
  speed = lua::ReadFloat(table, "speed");
  range = lua::ReadFloat(table, "range");
  damage = lua::ReadInt(table, "damage");
  return true;
}

void CEventShockWave::ToLua() {
  BuildTable(m_luaObject, [&](luabind::object& t) {
    SetText(t, "attacker", attacker.GetText());
    t["pos_x"] = pos.x;
    t["pos_y"] = pos.y;
    t["pos_z"] = pos.z;
    t["speed"] = speed;
    t["range"] = range;
    t["damage"] = damage;
  });
}

// Shake ------------------------------------------------------------------------

const CStringHash& CEventShake::GetClassName() { return SH_CEventShake; }

bool CEventShake::FromLua(const luabind::object& table) {
  sys::CScopedLock lock(sys::kLockLua);
  power = lua::ReadFloat(table, "power");
  timer = lua::ReadFloat(table, "timer");
  return true;
}

void CEventShake::ToLua() {
  BuildTable(m_luaObject, [&](luabind::object& t) {
    t["power"] = power;
    t["timer"] = timer;
  });
}

// Enable use -------------------------------------------------------------------

const CStringHash& CEventEnableUse::GetClassName() { return SH_CEventEnableUse; }

bool CEventEnableUse::FromLua(const luabind::object& table) {
  sys::CScopedLock lock(sys::kLockLua);
  usable = lua::ReadBool(table, "usable");
  lua::ReadName(table, "object_name", objectName);
  return true;
}

void CEventEnableUse::ToLua() {
  BuildTable(m_luaObject, [&](luabind::object& t) {
    t["usable"] = usable;
    SetText(t, "object_name", objectName.GetText());
  });
}

// Use --------------------------------------------------------------------------

const CStringHash& CEventUse::GetClassName() { return SH_CEventUse; }

bool CEventUse::FromLua(const luabind::object& table) {
  sys::CScopedLock lock(sys::kLockLua);
  lua::ReadText(table, "object_name", objectName);
  begin = lua::ReadBool(table, "begin");
  return true;
}

void CEventUse::ToLua() {
  BuildTable(m_luaObject, [&](luabind::object& t) {
    SetText(t, "object_name", objectName.Get());
    t["begin"] = begin;
  });
}

// Fatality ---------------------------------------------------------------------

const CStringHash& CEventFatality::GetClassName() { return SH_CEventFatality; }

CEventFatality::CEventFatality(const CStringHash& fatality, const CStringHash& target,
                               const plat::Vec3& where, float seconds, float killFrameTime)
    : position(where), duration(seconds), killFrame(killFrameTime) {
  CopyName(fatalityName, fatality);
  CopyName(fatalityTargetName, target);
}

bool CEventFatality::FromLua(const luabind::object& table) {
  sys::CScopedLock lock(sys::kLockLua);
  lua::ReadName(table, "fatality_name", fatalityName);
  lua::ReadName(table, "fatality_target_name", fatalityTargetName);
  duration = lua::ReadFloat(table, "duration");
  killFrame = lua::ReadFloat(table, "kill_frame");
  return true;
}

void CEventFatality::ToLua() {
  BuildTable(m_luaObject, [&](luabind::object& t) {
    SetText(t, "fatality_name", fatalityName.GetText());
    SetText(t, "fatality_target_name", fatalityTargetName.GetText());
    t["duration"] = duration;
    t["kill_frame"] = killFrame;
  });
}

// Explosion --------------------------------------------------------------------

const CStringHash& CEventExplosion::GetClassName() { return SH_CEventExplosion; }

CEventExplosion::CEventExplosion(const CStringHash& sourceName, const plat::Vec3& where,
                                 float blastRange)
    : pos(where), range(blastRange), damage(kDamage) {
  CopyName(source, sourceName);
}

bool CEventExplosion::FromLua(const luabind::object& table) {
  sys::CScopedLock lock(sys::kLockLua);
  lua::ReadName(table, "source", source);
  pos.x = lua::ReadFloat(table, "pos_x");
  pos.y = lua::ReadFloat(table, "pos_y");
  pos.z = lua::ReadFloat(table, "pos_z");
  range = lua::ReadFloat(table, "range");
  damage = lua::ReadInt(table, "damage");
  return true;
}

void CEventExplosion::ToLua() {
  BuildTable(m_luaObject, [&](luabind::object& t) {
    SetText(t, "source", source.GetText());
    t["pos_x"] = pos.x;
    t["pos_y"] = pos.y;
    t["pos_z"] = pos.z;
    t["range"] = range;
    t["damage"] = damage;
  });
}

// End of the game ----------------------------------------------------------------

const CStringHash& CEventEndGame::GetClassName() { return SH_CEventEndGame; }

void CEventEndGame::ToLua() {
  BuildTable(m_luaObject, [](luabind::object&) {});
}

// Absorbed orb -----------------------------------------------------------------

const CStringHash& CEventOrbAbsorved::GetClassName() { return SH_CEventOrbAbsorved; }

bool CEventOrbAbsorved::FromLua(const luabind::object& table) {
  sys::CScopedLock lock(sys::kLockLua);
  lua::ReadText(table, "type_name", typeName);
  return true;
}

void CEventOrbAbsorved::ToLua() {
  BuildTable(m_luaObject, [&](luabind::object& t) { SetText(t, "type_name", typeName.Get()); });
}

}  // namespace evn
}  // namespace vd
