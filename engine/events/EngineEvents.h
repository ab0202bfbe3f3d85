#pragma once
// The engine's own events: the script-only event, collisions, timers and
// movements.
#include <cstdint>

#include "engine/events/Event.h"
#include "engine/events/EventList.h"
#include "platform/math/Vector.h"

namespace vd {
namespace evn {

HM_ENGINE_EVENTS(HM_EVENT_CHUNK)

// Type records: empty until the event factories are registered.
void InitEngineEventTypes();
// Sets the types and registers the six engine makers; and the reverse.
void RegisterEngineEventFactories(utl::FactoryMap<IEvent>& makers);
void UnregisterEngineEventFactories(utl::FactoryMap<IEvent>& makers);

// Carries a script's own value under a name the script chose; it reaches scripts
// only.
class CEventScriptOnly final : public CPooledEvent<CEventScriptOnly, 10> {
public:
  CEventScriptOnly() = default;
  ~CEventScriptOnly() override = default;

  static const CStringHash& GetClassName();

  // The name is copied; the value is kept as it is (any Lua value).
  void SetData(const char* name, const luabind::object& value);

  bool IsValid() const override { return static_cast<int32_t>(m_name.GetHash()) >= 0; }
  const CStringHash& GetType() const override { return m_name; }
  const int* GetScriptMode() const override { return &kScriptModeScriptsOnly; }
  bool FromLua(const luabind::object&) override { return false; }
  const char* GetName() const override { return m_name.GetText(); }
  void ToLua() override {}

  CStringHash m_name;
};

// Fields shared by the three collision events. The two class texts are owned
// copies; the collider names refer to the colliders' texts.
struct SCollisionSides {
  obj::CGameObject* otherObject = nullptr;
  CStringHash ownClass;
  CStringHash otherClass;
  CStringHash ownName;
  CStringHash otherName;
  IEventListener* target = nullptr;

  void Set(IEventListener* target, obj::CGameObject* other, const char* ownClassText,
           const char* otherClassText, const char* ownNameText, const char* otherNameText);
  // Fills the event's table: gameobject_dst, collider_class_src,
  // collider_class_dst, collider_name_src, collider_name_dst.
  void ToLua(luabind::object& table) const;
};

template <class Derived>
class CCollisionEventBase : public CTableEvent<Derived, SEventChunk<Derived>::value> {
public:
  const CStringHash& GetType() const override { return Derived::s_type; }
  const char* GetName() const override { return Derived::s_type.GetText(); }
  const int* GetScriptMode() const override { return &kScriptModeScriptsAndListeners; }
  IEventListener* GetTarget() const override { return sides.target; }
  // Scripts cannot describe a contact: FromLua reads nothing and the fields stay
  // as the maker left them. The table is written by the sides, since the other
  // object goes to Lua as its game object.
  static inline const lua::SField<Derived> kFields[] = {lua::kEndOfFields<Derived>};
  void ToLuaOwn(luabind::object& table) const { sides.ToLua(table); }

  static void InitType(const CStringHash& messageName) { Derived::s_type = messageName; }

  SCollisionSides sides;

protected:
  ~CCollisionEventBase() override = default;
};

template <class Derived>
class CCollisionContactEvent : public CCollisionEventBase<Derived> {
public:
  CCollisionContactEvent() = default;
  CCollisionContactEvent(IEventListener* target, obj::CGameObject* other, const char* ownClass,
                         const char* otherClass, const char* ownName, const char* otherName,
                         const plat::Vec3& contactPoint, const plat::Vec3& contactNormal,
                         float contactDepth)
      : point(contactPoint), normal(contactNormal), depth(contactDepth) {
    this->sides.Set(target, other, ownClass, otherClass, ownName, otherName);
  }

  plat::Vec3 point{};
  plat::Vec3 normal{};
  float depth = 0.0f;

protected:
  ~CCollisionContactEvent() override = default;
};

class CEventCollisionEnter final : public CCollisionContactEvent<CEventCollisionEnter> {
public:
  using CCollisionContactEvent::CCollisionContactEvent;
  ~CEventCollisionEnter() override = default;
  static const CStringHash& GetClassName();
  static inline CStringHash s_type;
};

class CEventCollisionStay final : public CCollisionContactEvent<CEventCollisionStay> {
public:
  using CCollisionContactEvent::CCollisionContactEvent;
  ~CEventCollisionStay() override = default;
  static const CStringHash& GetClassName();
  static inline CStringHash s_type;
};

class CEventCollisionExit final : public CCollisionEventBase<CEventCollisionExit> {
public:
  CEventCollisionExit() = default;
  CEventCollisionExit(IEventListener* target, obj::CGameObject* other, const char* ownClass,
                      const char* otherClass, const char* ownName, const char* otherName) {
    sides.Set(target, other, ownClass, otherClass, ownName, otherName);
  }
  ~CEventCollisionExit() override = default;
  static const CStringHash& GetClassName();
  static inline CStringHash s_type;
};

// A named timer counted down by the event manager.
class CEventTimer final : public CTableEvent<CEventTimer, SEventChunk<CEventTimer>::value> {
public:
  CEventTimer() = default;
  // The name refers to the poster's text, as does the data text. The tag is a
  // pointer-sized word for engine and game code; the event system never reads it.
  CEventTimer(const CStringHash& timerName, float delay, IEventListener* dest, const char* dataText,
              uintptr_t timerTag)
      : name(timerName, CStringHash::kBorrow),
        data(dataText),
        tag(timerTag),
        destination(dest),
        remaining(delay) {}
  ~CEventTimer() override = default;

  static const CStringHash& GetClassName();
  static void InitType(const CStringHash& messageName) { s_type = messageName; }
  static inline CStringHash s_type;

  const CStringHash& GetType() const override { return s_type; }
  const int* GetScriptMode() const override { return &kScriptModeScriptsAndListeners; }
  IEventListener* GetTarget() const override { return destination; }
  const char* GetName() const override { return s_type.GetText(); }
  // name, time (read only), data.
  static const lua::SField<CEventTimer> kFields[];
  // dest: an optional object name, read only, that becomes the destination.
  void FromLuaOwn(const luabind::object& table);

  CStringHash name;
  CEventText data;
  uintptr_t tag = 0;
  IEventListener* destination = nullptr;
  float remaining = 0.0f;
};

// The start or end of an object's movement.
class CEventMovement final
    : public CTableEvent<CEventMovement, SEventChunk<CEventMovement>::value> {
public:
  CEventMovement() = default;
  // The texts refer to the poster's, which must outlive the event.
  CEventMovement(const char* objectName, const char* movementName, const char* movementType,
                 bool isBegin);
  ~CEventMovement() override = default;

  static const CStringHash& GetClassName();
  static void InitType(const CStringHash& messageName) { s_type = messageName; }
  static inline CStringHash s_type;

  const CStringHash& GetType() const override { return s_type; }
  const int* GetScriptMode() const override { return &kScriptModeScriptsAndListeners; }
  const char* GetName() const override { return s_type.GetText(); }
  // game_object, name, type, begin: each read only when set.
  static const lua::SField<CEventMovement> kFields[];

  CEventText gameObject;
  CEventText name;
  CEventText type;
  bool begin = false;
};

}  // namespace evn
}  // namespace vd
