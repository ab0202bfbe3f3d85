#pragma once
// An invisible box in the collision world that calls the level's Lua functions
// "OnEnter_<object name>" and "OnExit_<object name>" when another collider starts
// or stops touching it. It lives with the colliders because it needs the
// collision world, which sits above the object and script layers.
#include <cstdint>
#include <string>

#include "engine/core/StringHash.h"
#include "engine/objects/Component.h"
#include "platform/math/Vector.h"

class btCollisionObject;

namespace vd {
namespace phy {
class CCollisionManager;
}

namespace lgc {

// Key "size" with the attributes width (x), height (y) and length (z): the full
// extents of the box.
class CTrigger : public obj::CComponent<CTrigger> {
public:
  static const CStringHash& GetClassName();

  CTrigger() = default;
  ~CTrigger() override;
  CTrigger& operator=(const CTrigger& other) = default;

  void HandleEvent(evn::IEvent* event) override;
  void Load(rapidxml::xml_node<>* element) override;
  bool HasContent() override { return m_object != nullptr; }
  void SetEnabled(bool enabled, bool fromCheckPoint) override;
  bool Update(float) override { return true; }
  // Makes the box (group 1024, mask 32, class "logic") at the owner's transform,
  // subscribes the owner to the collision enter and exit events and looks the two
  // handlers up once: a handler defined later is not called. Built by the level's
  // background loader, the box joins the world and the owner subscribes when the
  // trigger is first enabled.
  bool Init() override;
  void OnBeforeRestore() override;
  void Reset() override;

  const plat::Vec4& GetSize() const { return m_size; }
  btCollisionObject* GetCollisionObject() const { return m_object; }
  const std::string& GetEnterHandler() const { return m_enterHandler; }
  const std::string& GetExitHandler() const { return m_exitHandler; }
  bool HasEnterHandler() const { return m_hasEnterHandler != 0; }
  bool HasExitHandler() const { return m_hasExitHandler != 0; }

private:
  plat::Vec4 m_size;
  btCollisionObject* m_object = nullptr;
  std::string m_enterHandler;
  uint8_t m_hasEnterHandler = 0;
  std::string m_exitHandler;
  uint8_t m_hasExitHandler = 0;
  phy::CCollisionManager* m_manager = nullptr;
  uint8_t m_subscribed = 0;

  void Subscribe();
};

}  // namespace lgc
}  // namespace vd
