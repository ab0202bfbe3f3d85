#pragma once
// The game's events: HUD changes, zones, cinematics, attacks, hits, deaths, shock
// waves, explosions, shakes, usable objects, fatalities, enemy actions and
// sequences, path progress, the end of the game and absorbed orbs.
//
// Text fields borrow the poster's text (which must outlive the event); texts and
// names read from a script's table are copied, since Lua may collect its strings
// before the event is delivered.
#include <cstdint>

#include "engine/events/Event.h"
#include "engine/events/EventList.h"
#include "platform/math/Vector.h"

namespace vd {

// The game's static names of its events: class names (maker keys) and message
// names. Constant-initialised, so usable from other files' static initialisers.
#define HM_DECLARE_GAME_EVENT_NAMES(Name, N) \
  extern CStringHash SH_CEvent##Name;        \
  extern CStringHash SH_On##Name;
HM_GAME_EVENTS(HM_DECLARE_GAME_EVENT_NAMES)
#undef HM_DECLARE_GAME_EVENT_NAMES

namespace evn {

HM_GAME_EVENTS(HM_EVENT_CHUNK)

// Sets the eighteen type records from the message names.
void InitGameEventTypes();
// Sets each class's type and registers its maker under its class name; and the
// reverse. The game application calls them with the engine's registration.
void RegisterGameEventFactories(utl::FactoryMap<IEvent>& makers);
void UnregisterGameEventFactories(utl::FactoryMap<IEvent>& makers);

// What every game event shares: its pool, its type record (empty until the
// factories are registered), delivery to scripts and listeners, and conversion
// through its field table.
template <class Derived>
class CGameEvent : public CTableEvent<Derived, SEventChunk<Derived>::value> {
public:
  static inline CStringHash s_type;
  static void InitType(const CStringHash& messageName) { s_type = messageName; }

  const CStringHash& GetType() const override { return s_type; }
  const char* GetName() const override { return s_type.GetText(); }
  const int* GetScriptMode() const override { return &kScriptModeScriptsAndListeners; }

protected:
  ~CGameEvent() override = default;
};

// Fields the HUD should apply; every other field stays at its unchanged marker
// (-1, or false for the flags).
class CEventHUDChange final : public CGameEvent<CEventHUDChange> {
public:
  CEventHUDChange() = default;
  ~CEventHUDChange() override = default;
  static const CStringHash& GetClassName();
  // Every key optional: a key that is nil or false leaves its field alone.
  static const lua::SField<CEventHUDChange> kFields[];

  int score = -1;
  int life = -1;
  float gas = -1.0f;
  int grenades = -1;
  bool grenadesEmblemShow = false;
  bool force = false;
  int bossLife = -1;
  int bossLifeInit = -1;
  float cronoTime = -1.0f;
  bool hide = false;
  bool unhide = false;
  float hideSpeed = -1.0f;
};

class CEventZoneChange final : public CGameEvent<CEventZoneChange> {
public:
  CEventZoneChange() = default;
  ~CEventZoneChange() override = default;
  static const CStringHash& GetClassName();
  bool IsValid() const override { return zone >= 0; }
  static const lua::SField<CEventZoneChange> kFields[];

  int zone = 0;
  int zonePrev = 0;
};

// A combo step starts (begin) or its hit window closes.
class CEventPlayerAttack final : public CGameEvent<CEventPlayerAttack> {
public:
  CEventPlayerAttack() = default;
  // The step name is borrowed.
  CEventPlayerAttack(bool isBegin, int attackDamage, const CStringHash& stepName);
  ~CEventPlayerAttack() override = default;
  static const CStringHash& GetClassName();
  static const lua::SField<CEventPlayerAttack> kFields[];

  bool begin = false;
  int damage = 0;
  CStringHash type;
};

class CEventEnemyAttack final : public CGameEvent<CEventEnemyAttack> {
public:
  CEventEnemyAttack() = default;
  // The attack name is borrowed.
  CEventEnemyAttack(obj::CGameObject* attackerObject, int attackDamage, float rangeMin,
                    float rangeMax, float attackAngle, const CStringHash& attackName);
  ~CEventEnemyAttack() override = default;
  static const CStringHash& GetClassName();
  // damage, range_min, range_max, angle, type; the attacker is not exported.
  static const lua::SField<CEventEnemyAttack> kFields[];

  obj::CGameObject* attacker = nullptr;
  int damage = 0;
  float rangeMin = 0.0f;
  float rangeMax = 0.0f;
  float angle = 0.0f;
  CStringHash type;
};

class CEventCinematic final : public CGameEvent<CEventCinematic> {
public:
  CEventCinematic() = default;
  ~CEventCinematic() override = default;
  static const CStringHash& GetClassName();
  static const lua::SField<CEventCinematic> kFields[];

  bool playing = false;
};

class CEventSequence final : public CGameEvent<CEventSequence> {
public:
  CEventSequence() = default;
  // The texts are borrowed.
  CEventSequence(const char* sequenceName, bool isBegin, const char* objectName);
  ~CEventSequence() override = default;
  static const CStringHash& GetClassName();
  static const lua::SField<CEventSequence> kFields[];
  // A sequence started by a script always begins.
  void FromLuaOwn(const luabind::object&) { begin = true; }

  bool begin = false;
  CEventText name;
  CEventText gameObject;
};

// Addressed to the object that reached the position; made by a script it has no
// target and is a broadcast.
class CEventReachPos final : public CGameEvent<CEventReachPos> {
public:
  CEventReachPos() = default;
  ~CEventReachPos() override = default;
  static const CStringHash& GetClassName();
  IEventListener* GetTarget() const override { return target; }
  static const lua::SField<CEventReachPos> kFields[];

  CEventText gameObject;
  CEventText posId;
  int waypoint = 0;
  IEventListener* target = nullptr;
};

class CEventAction final : public CGameEvent<CEventAction> {
public:
  CEventAction() = default;
  // The texts are borrowed.
  CEventAction(const char* objectName, const char* actionName, const char* actionId, bool isBegin,
               const char* playlistType, int playlistGroup, int playlistId);
  ~CEventAction() override = default;
  static const CStringHash& GetClassName();
  static const lua::SField<CEventAction> kFields[];

  CEventText gameObject;
  CEventText name;
  CEventText id;
  bool begin = false;
  CEventText playlistType;
  int playlistGroup = 0;
  int playlistId = 0;
};

class CEventDeath final : public CGameEvent<CEventDeath> {
public:
  CEventDeath() = default;
  ~CEventDeath() override = default;
  static const CStringHash& GetClassName();
  static const lua::SField<CEventDeath> kFields[];

  CEventText type;  // "enemy" or "player"
  CEventText name;
  int group = 0;
};

class CEventHit final : public CGameEvent<CEventHit> {
public:
  CEventHit() = default;
  ~CEventHit() override = default;
  static const CStringHash& GetClassName();
  static const lua::SField<CEventHit> kFields[];

  CEventText receiver;
  CEventText attacker;
};

class CEventShockWave final : public CGameEvent<CEventShockWave> {
public:
  CEventShockWave() = default;
  // The attacker's name is borrowed.
  CEventShockWave(obj::CGameObject* attackerObject, const CStringHash& attackerName,
                  const plat::Vec3& centre, float waveSpeed, float waveRange, int waveDamage);
  ~CEventShockWave() override = default;
  static const CStringHash& GetClassName();
  // attacker, pos_x, pos_y, pos_z, speed, range, damage; the object is not exported.
  static const lua::SField<CEventShockWave> kFields[];

  obj::CGameObject* attackerObject = nullptr;
  CStringHash attacker;
  plat::Vec3 pos;
  float speed = 0.0f;
  float range = 0.0f;
  int damage = 0;
};

class CEventShake final : public CGameEvent<CEventShake> {
public:
  CEventShake() = default;
  ~CEventShake() override = default;
  static const CStringHash& GetClassName();
  static const lua::SField<CEventShake> kFields[];

  float power = 0.0f;
  float timer = 0.0f;
};

class CEventEnableUse final : public CGameEvent<CEventEnableUse> {
public:
  CEventEnableUse() = default;
  ~CEventEnableUse() override = default;
  static const CStringHash& GetClassName();
  static const lua::SField<CEventEnableUse> kFields[];

  bool usable = false;
  CStringHash objectName;
};

class CEventUse final : public CGameEvent<CEventUse> {
public:
  CEventUse() = default;
  ~CEventUse() override = default;
  static const CStringHash& GetClassName();
  static const lua::SField<CEventUse> kFields[];

  CEventText objectName;
  bool begin = false;
};

class CEventFatality final : public CGameEvent<CEventFatality> {
public:
  CEventFatality() = default;
  // Both names are copied.
  CEventFatality(const CStringHash& fatality, const CStringHash& target, const plat::Vec3& where,
                 float seconds, float killFrameTime);
  ~CEventFatality() override = default;
  static const CStringHash& GetClassName();
  // fatality_name, fatality_target_name, duration, kill_frame; not the position.
  static const lua::SField<CEventFatality> kFields[];

  CStringHash fatalityName;
  CStringHash fatalityTargetName;
  plat::Vec3 position;
  float duration = 0.0f;
  float killFrame = 0.0f;
};

class CEventExplosion final : public CGameEvent<CEventExplosion> {
public:
  static constexpr int kDamage = 5;

  CEventExplosion() = default;
  // The source name is copied; every explosion of the game hurts kDamage.
  CEventExplosion(const CStringHash& sourceName, const plat::Vec3& where, float blastRange);
  ~CEventExplosion() override = default;
  static const CStringHash& GetClassName();
  static const lua::SField<CEventExplosion> kFields[];

  CStringHash source;
  plat::Vec3 pos;
  float range = 0.0f;
  int damage = 0;
};

class CEventEndGame final : public CGameEvent<CEventEndGame> {
public:
  CEventEndGame() = default;
  ~CEventEndGame() override = default;
  static const CStringHash& GetClassName();
  // None: it reads nothing and its table is empty.
  static const lua::SField<CEventEndGame> kFields[];
};

class CEventOrbAbsorved final : public CGameEvent<CEventOrbAbsorved> {
public:
  CEventOrbAbsorved() = default;
  ~CEventOrbAbsorved() override = default;
  static const CStringHash& GetClassName();
  static const lua::SField<CEventOrbAbsorved> kFields[];

  CEventText typeName;  // "life_orb" or "gas_orb"
};

}  // namespace evn
}  // namespace vd
