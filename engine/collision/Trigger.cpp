#include "engine/collision/Trigger.h"

#include <btBulletCollisionCommon.h>

#include "engine/collision/CollisionManager.h"
#include "engine/collision/CollisionNames.h"
#include "engine/core/EngineNames.h"
#include "engine/core/Locks.h"
#include "engine/core/Log.h"
#include "engine/events/EventManager.h"
#include "engine/objects/ComponentKeys.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/script/ScriptManager.h"

namespace vd {
namespace lgc {

namespace {

phy::SCollisionUserData* UserData(const btCollisionObject* object) {
  return object ? static_cast<phy::SCollisionUserData*>(object->getUserPointer()) : nullptr;
}

bool IsGlobalFunction(const std::string& name) {
  CScriptManager* host = CScriptManager::GetInstance();
  if (!host) return false;
  sys::CScopedLock lock(sys::kLockLua);
  return host->HasGlobalFunction(name.c_str());
}

}  // namespace

const CStringHash& CTrigger::GetClassName() { return SH_CTrigger; }

CTrigger::~CTrigger() {
  if (!IsCheckPointCopy()) Reset();
}

void CTrigger::Load(rapidxml::xml_node<>* element) {
  obj::ForEachKey(element, [this](const obj::CKey& key) {
    if (key.NameHash() != SH_size.GetHash()) return;
    m_size = plat::Vec4(key.Float("width"), key.Float("height"), key.Float("length"), 0.0f);
  });
}

bool CTrigger::Init() {
  m_manager = phy::CCollisionManager::GetInstance();
  if (!m_manager) return false;
  const char* name = m_owner ? m_owner->GetNameText() : "";
  if (m_size.x <= 0.0f || m_size.y <= 0.0f || m_size.z <= 0.0f) {
    utl::LogPrintf("Trigger %s: its size %g %g %g has no volume\n", name,
                   static_cast<double>(m_size.x), static_cast<double>(m_size.y),
                   static_cast<double>(m_size.z));
  }
  // The level's loader thread builds triggers while the main thread steps, moves
  // and dispatches: the world and the listeners are the main thread's, so a
  // trigger built there joins them when the main thread first enables it.
  const obj::CGameObjectManager* objects = obj::CGameObjectManager::GetInstance();
  const bool join = !objects || !objects->IsBackgroundLoading();
  m_object = m_manager->CreateBoxObject(plat::Vec3(m_size.x, m_size.y, m_size.z), m_owner, SH_logic,
                                        name, phy::kGroupTrigger, phy::kMaskTrigger, join,
                                        phy::kKindVolume, plat::Vec4(1, 1, 1, 0));
  if (!m_object) return false;
  if (join) Subscribe();

  btTransform transform;
  phy::MatrixToTransform(phy::GetOwnerWorldMatrix(m_owner), transform);
  m_object->setWorldTransform(transform);

  m_enterHandler = std::string("OnEnter_") + name;
  m_exitHandler = std::string("OnExit_") + name;
  m_hasEnterHandler = IsGlobalFunction(m_enterHandler) ? 1 : 0;
  m_hasExitHandler = IsGlobalFunction(m_exitHandler) ? 1 : 0;
  return true;
}

void CTrigger::HandleEvent(evn::IEvent* event) {
  if (!event) return;
  const std::string* handler = nullptr;
  if (event->GetType() == SH_OnCollisionEnter && m_hasEnterHandler) handler = &m_enterHandler;
  if (event->GetType() == SH_OnCollisionExit && m_hasExitHandler) handler = &m_exitHandler;
  if (!handler) return;
  CScriptManager* host = CScriptManager::GetInstance();
  if (!host) return;
  sys::CScopedLock lock(sys::kLockLua);
  host->CallGlobalFunction(handler->c_str(), event->GetLuaObject());
}

void CTrigger::Subscribe() {
  evn::CEventManager* events = evn::CEventManager::GetInstance();
  if (m_subscribed || !m_owner || !events) return;
  events->AddListener(m_owner, SH_OnCollisionEnter);
  events->AddListener(m_owner, SH_OnCollisionExit);
  m_subscribed = 1;
}

void CTrigger::OnBeforeRestore() {
  // The subscription is the live owner's, whatever it was when the copy was made.
  if (CTrigger* copy = static_cast<CTrigger*>(GetCheckPointCopy())) copy->m_subscribed = m_subscribed;
}

void CTrigger::SetEnabled(bool enabled, bool fromCheckPoint) {
  if ((m_enabled != 0) == enabled) return;
  obj::IComponent::SetEnabled(enabled, fromCheckPoint);
  if (enabled && m_object) Subscribe();
  phy::SCollisionUserData* record = UserData(m_object);
  if (!record || !m_manager || m_manager != phy::CCollisionManager::GetInstance()) return;
  if ((record->enabled != 0) == enabled) return;
  record->enabled = enabled ? 1 : 0;
  if (enabled) {
    m_manager->AddToWorld(m_object, record->group, record->mask);
  } else {
    m_manager->RemoveFromWorld(m_object);
  }
}

void CTrigger::Reset() {
  if (m_object) {
    // Only a trigger that subscribed its owner takes the subscriptions back.
    evn::CEventManager* events = evn::CEventManager::GetInstance();
    if (m_subscribed && m_owner && events) {
      events->RemoveListener(SH_OnCollisionEnter, m_owner);
      events->RemoveListener(SH_OnCollisionExit, m_owner);
    }
    if (m_manager && m_manager == phy::CCollisionManager::GetInstance()) {
      m_manager->RemoveObject(m_object);
    } else {
      delete m_object->getCollisionShape();
      delete UserData(m_object);
      delete m_object;
      m_object = nullptr;
    }
  }
  m_subscribed = 0;
  m_manager = nullptr;
  m_size = plat::Vec4();
  m_hasEnterHandler = 0;
  m_hasExitHandler = 0;
}

}  // namespace lgc
}  // namespace vd
