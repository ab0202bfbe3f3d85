#include "engine/objects/GameObjectManager.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include <lua.hpp>
#include <luabind/luabind.hpp>
#include <rapidxml/rapidxml.hpp>

#include "engine/core/EngineNames.h"
#include "engine/core/Log.h"
#include "engine/core/Utils.h"
#include "engine/core/XmlFile.h"
#include "engine/events/EventManager.h"
#include "engine/objects/Camera.h"
#include "engine/objects/Component.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/Transform.h"

namespace vd {
namespace obj {

namespace {

using Node = rapidxml::xml_node<>;

const char* AttributeText(const Node* node, const char* name) {
  const rapidxml::xml_attribute<>* attribute = node->first_attribute(name);
  return attribute ? attribute->value() : "";
}

// "enabled" absent or not 0.
bool ScriptEnabled(const Node* node) {
  const rapidxml::xml_attribute<>* attribute = node->first_attribute("enabled");
  return !attribute || std::atoi(attribute->value()) != 0;
}

class CScopedSection {
public:
  explicit CScopedSection(plat::CriticalSection& section) : m_section(section) { m_section.Enter(); }
  ~CScopedSection() { m_section.LeaveFair(); }
  CScopedSection(const CScopedSection&) = delete;
  CScopedSection& operator=(const CScopedSection&) = delete;

private:
  plat::CriticalSection& m_section;
};

// A whole XML file parsed in place; false (logged) when missing, empty or not XML.
struct SXmlFile {
  utl::CXmlFile file;
  rapidxml::xml_document<>& document = file.Document();

  bool Read(const char* path, const char* what) {
    switch (file.Load(path)) {
      case utl::CXmlFile::EResult::Missing:
        utl::LogPrintf("%s file %s is missing or empty\n", what, path ? path : "");
        return false;
      case utl::CXmlFile::EResult::Malformed:
        utl::LogPrintf("%s file %s is not valid XML: %s\n", what, path, file.Error().c_str());
        return false;
      case utl::CXmlFile::EResult::Ok:
        break;
    }
    return true;
  }
};

bool HasCameraController(const CGameObject* object) {
  for (int slot = 0; slot < CGameObject::kMaxComponents; ++slot) {
    const IComponent* component = object->GetComponentAt(slot);
    if (component && component->GetFamilyType().GetHash() == SH_CCameraController.GetHash()) {
      return true;
    }
  }
  return false;
}

bool Updatable(const CGameObject* object) { return object->IsEnabled() && !object->IsPaused(); }

}  // namespace

CGameObjectManager::CGameObjectManager() : m_ring(1, nullptr) { SetInstance(this); }

CGameObjectManager::~CGameObjectManager() {
  Clear();
  evn::CEventManager* events = evn::CEventManager::GetInstance();
  if (m_subscribed && events) {
    events->RemoveListener(SH_OnSaveCheckPoint, this);
    events->RemoveListener(SH_OnLoadCheckPoint, this);
  }
  utl::DeleteFactoryMakers(componentFactories);
  ClearInstance(this);
}

// --- Life -------------------------------------------------------------------

bool CGameObjectManager::Init() {
  Clear();
  evn::CEventManager* events = evn::CEventManager::GetInstance();
  if (!m_subscribed && events) {
    events->AddListener(this, SH_OnSaveCheckPoint);
    events->AddListener(this, SH_OnLoadCheckPoint);
    m_subscribed = true;
  }
  m_renderedEvent.Reset();
  return true;
}

void CGameObjectManager::Clear() {
  m_plainList.clear();
  m_cameraList.clear();
  m_renderedList.clear();
  m_enableQueue.clear();
  m_componentQueue.clear();
  m_destroyQueue.clear();
  // Instances first: they share their template's name.
  for (auto* map : {&m_instances, &m_pendingInstances}) {
    for (auto& entry : *map) delete entry.second;
    map->clear();
  }
  for (auto* map : {&m_templates, &m_pendingTemplates}) {
    for (auto& entry : *map) {
      entry.second->ReleaseTemplate();
      delete entry.second;
    }
    map->clear();
  }
  std::fill(m_ring.begin(), m_ring.end(), nullptr);
  m_ringWanted = 1;
  m_ringRead.store(0);
  m_ringWrite.store(0);
  m_passFinished.store(0);
  m_background.store(0);
  CScopedSection lock(m_lock);
  m_nextId = 0;
  m_groupCounter = 0;
}

IComponent* CGameObjectManager::CreateComponent(const char* className) const {
  return obj::CreateComponent(componentFactories, className ? className : "");
}

// --- Loading ----------------------------------------------------------------

bool CGameObjectManager::LoadTemplates(const char* path) {
  SXmlFile file;
  if (!file.Read(path, "Templates")) return false;
  Node* node = file.document.first_node("GameObjectTemplate");
  for (; node; node = node->next_sibling()) {
    if (std::strcmp(node->name(), "GameObjectTemplate") != 0) {
      utl::LogPrintf("Templates file %s: element %s ignored\n", path, node->name());
      continue;
    }
    ReadTemplate(node);
  }
  return true;
}

void CGameObjectManager::ReadTemplate(void* element) {
  Node* node = static_cast<Node*>(element);
  const char* name = AttributeText(node, "name");
  auto* object = new CGameObject();
  object->Release();
  object->SetTemplateName(name);
  const rapidxml::xml_attribute<>* enabled = node->first_attribute("enabled");
  object->SetInitialEnabled(!enabled || std::atoi(enabled->value()) != 0);

  for (Node* child = node->first_node("Component"); child;
       child = child->next_sibling("Component")) {
    const char* className = AttributeText(child, "name");
    IComponent* component = CreateComponent(className);
    if (!component) {
      utl::LogPrintf("Template %s: unknown component class %s skipped\n", name, className);
      continue;
    }
    if (!object->AddComponent(component)) continue;
    component->Reset();
    component->Load(child);
  }
  for (Node* child = node->first_node("Script"); child; child = child->next_sibling("Script")) {
    if (ScriptEnabled(child)) object->AddTemplateScript(AttributeText(child, "file"), child);
  }

  const uint32_t hash = object->GetTemplateName()->GetHash();
  const bool background = IsBackgroundLoading();
  bool stored = false;
  {
    CScopedSection lock(m_lock);
    if (m_templates.count(hash) == 0 && m_pendingTemplates.count(hash) == 0) {
      (background ? m_pendingTemplates : m_templates)[hash] = object;
      stored = true;
    }
  }
  if (!stored) {
    utl::LogPrintf("Template %s is already loaded: the second one is ignored\n", name);
    object->ReleaseTemplate();
    delete object;
  }
}

int CGameObjectManager::LoadInstances(const char* path, const char* scriptFolder, bool enable) {
  SXmlFile file;
  if (!file.Read(path, "Instances")) return 0;
  int group;
  {
    CScopedSection lock(m_lock);
    group = m_groupCounter++;
  }
  Node* node = file.document.first_node("GameObject");
  for (; node; node = node->next_sibling()) {
    if (std::strcmp(node->name(), "GameObject") != 0) {
      utl::LogPrintf("Instances file %s: element %s ignored\n", path, node->name());
      continue;
    }
    ReadInstance(node, scriptFolder ? scriptFolder : "", enable, group);
  }
  return group;
}

const CGameObject* CGameObjectManager::GetTemplate(const CStringHash& name) const {
  auto it = m_templates.find(name.GetHash());
  if (it != m_templates.end()) return it->second;
  if (!m_background.load()) return nullptr;
  CScopedSection lock(m_lock);
  auto pending = m_pendingTemplates.find(name.GetHash());
  return pending != m_pendingTemplates.end() ? pending->second : nullptr;
}

bool CGameObjectManager::ReadInstance(void* element, const char* scriptFolder, bool enable,
                                      int group) {
  Node* node = static_cast<Node*>(element);
  const char* name = AttributeText(node, "name");
  const char* templateName = AttributeText(node, "GameObjectTemplate");
  const CGameObject* source = GetTemplate(CStringHash(templateName));
  if (!source) {
    utl::LogPrintf("Game object %s: template %s not found, skipped\n", name, templateName);
    return false;
  }

  auto* object = new CGameObject();
  object->Release();
  object->SetManager(this);
  object->CopyTemplate(*source, componentFactories);
  object->SetGroup(group);
  const rapidxml::xml_attribute<>* enabled = node->first_attribute("enabled");
  object->SetEnabledAtStart(enabled ? std::atoi(enabled->value()) != 0
                                    : source->IsEnabledAtStart());
  object->SetName(name);
  {
    // The id is taken once, here, so that components see it in Init.
    CScopedSection lock(m_lock);
    object->SetId(m_nextId++);
  }

  for (Node* child = node->first_node("Component"); child;
       child = child->next_sibling("Component")) {
    const char* className = AttributeText(child, "name");
    IComponent* component = object->GetComponent(CStringHash(className));
    if (!component) {
      component = CreateComponent(className);
      if (!component) {
        utl::LogPrintf("Game object %s: unknown component class %s skipped\n", name, className);
        continue;
      }
      if (!object->AddComponent(component)) continue;
    }
    component->BeginOverride();
    component->Load(child);
  }
  // After the instance's own components, which may add a renderer.
  object->CollectRenderers();

  for (Node* child = node->first_node("Script"); child; child = child->next_sibling("Script")) {
    if (ScriptEnabled(child)) object->AddScript(AttributeText(child, "file"), child);
  }
  object->ResolveScriptPath(scriptFolder, name);
  object->SetupScripts(source);

  for (int slot = 0; slot < CGameObject::kMaxComponents; ++slot) {
    IComponent* component = object->GetComponentAt(slot);
    if (!component) continue;
    component->SetOwner(object);
    component->Init();
    component->SetCheckPointCopy(CreateComponent(component->GetType().GetText()));
  }

  if (IsBackgroundLoading()) {
    CScopedSection lock(m_lock);
    m_pendingInstances[object->GetId()] = object;
    return true;
  }
  QueueEnable(object, object->IsEnabledAtStart() && enable);
  m_instances[object->GetId()] = object;
  File(object);
  return true;
}

bool CGameObjectManager::HasRenderer(const CGameObject* object) const {
  return object->GetComponent(SH_CRenderer) != nullptr;
}

void CGameObjectManager::File(CGameObject* object) {
  if (HasRenderer(object)) {
    ++m_ringWanted;
    m_renderedList.push_back(object);
  } else if (HasCameraController(object)) {
    m_cameraList.push_back(object);
  } else {
    m_plainList.push_back(object);
  }
}

void CGameObjectManager::EndBackgroundLoading() {
  m_background.store(0);
  std::map<uint32_t, CGameObject*> templates;
  std::map<int, CGameObject*> instances;
  {
    CScopedSection lock(m_lock);
    templates.swap(m_pendingTemplates);
    instances.swap(m_pendingInstances);
  }
  for (auto& entry : templates) {
    if (!m_templates.emplace(entry.first, entry.second).second) {
      entry.second->ReleaseTemplate();
      delete entry.second;
    }
  }
  for (auto& entry : instances) {
    m_instances[entry.first] = entry.second;
    File(entry.second);
  }
  size_t rendered = 0;
  for (auto& entry : m_instances) {
    if (HasRenderer(entry.second)) ++rendered;
  }
  m_ringWanted = 1 + rendered;
}

// --- Lookups ----------------------------------------------------------------

CGameObject* CGameObjectManager::GetGameObjectById(int id) {
  auto it = m_instances.find(id);
  if (it != m_instances.end()) return it->second;
  if (!m_background.load()) return nullptr;
  CScopedSection lock(m_lock);
  auto pending = m_pendingInstances.find(id);
  return pending != m_pendingInstances.end() ? pending->second : nullptr;
}

CGameObject* CGameObjectManager::GetGameObjectByName(const CStringHash& name) {
  const uint32_t hash = name.GetHash();
  for (auto& entry : m_instances) {
    if (entry.second->GetName().GetHash() == hash) return entry.second;
  }
  if (!m_background.load()) return nullptr;
  CScopedSection lock(m_lock);
  CGameObject* found = nullptr;
  for (auto& entry : m_pendingInstances) {
    if (entry.second->GetName().GetHash() == hash) found = entry.second;
  }
  return found;
}

void CGameObjectManager::GetGameObjectsByTemplate(const CStringHash& templateName,
                                                  std::vector<CGameObject*>& out) {
  auto matches = [&templateName](const CGameObject* object) {
    const CStringHash* name = object->GetTemplateName();
    return name && name->GetHash() == templateName.GetHash();
  };
  for (auto& entry : m_instances) {
    if (matches(entry.second)) out.push_back(entry.second);
  }
  if (!m_background.load()) return;
  CScopedSection lock(m_lock);
  for (auto& entry : m_pendingInstances) {
    if (matches(entry.second)) out.push_back(entry.second);
  }
}

void CGameObjectManager::GetGameObjectsWithComponent(const CStringHash& type,
                                                     std::vector<CGameObject*>& out) {
  for (auto& entry : m_instances) {
    if (entry.second->GetComponent(type)) out.push_back(entry.second);
  }
  if (!m_background.load()) return;
  CScopedSection lock(m_lock);
  for (auto& entry : m_pendingInstances) {
    if (entry.second->GetComponent(type)) out.push_back(entry.second);
  }
}

void CGameObjectManager::GetGroupObjectIds(int group, std::vector<int>& out) {
  for (auto& entry : m_instances) {
    if (entry.second->GetGroup() == group) out.push_back(entry.first);
  }
  if (!m_background.load()) return;
  CScopedSection lock(m_lock);
  for (auto& entry : m_pendingInstances) {
    if (entry.second->GetGroup() == group) out.push_back(entry.first);
  }
}

// --- Requests ---------------------------------------------------------------

// The queues take the lock: a component's Init on the loader thread may ask too.
void CGameObjectManager::QueueEnable(CGameObject* object, bool enable) {
  if (!object) return;
  CScopedSection lock(m_lock);
  m_enableQueue.push_back({object, static_cast<uint8_t>(enable ? 1 : 0)});
}

void CGameObjectManager::QueueComponentEnable(IComponent* component, bool enable) {
  if (!component) return;
  CScopedSection lock(m_lock);
  m_componentQueue.push_back({component, static_cast<uint8_t>(enable ? 1 : 0)});
}

void CGameObjectManager::QueueDestroy(int id) {
  CScopedSection lock(m_lock);
  m_destroyQueue.push_back(id);
}

void CGameObjectManager::EnableObject(const char* objectName) {
  QueueEnable(GetGameObjectByName(CStringHash(objectName ? objectName : "")), true);
}

void CGameObjectManager::DisableObject(const char* objectName) {
  QueueEnable(GetGameObjectByName(CStringHash(objectName ? objectName : "")), false);
}

void CGameObjectManager::EnableComponent(const char* objectName, const char* componentType) {
  CGameObject* object = GetGameObjectByName(CStringHash(objectName ? objectName : ""));
  if (object) QueueComponentEnable(object->GetComponent(CStringHash(componentType ? componentType : "")), true);
}

void CGameObjectManager::DisableComponent(const char* objectName, const char* componentType) {
  CGameObject* object = GetGameObjectByName(CStringHash(objectName ? objectName : ""));
  if (object) QueueComponentEnable(object->GetComponent(CStringHash(componentType ? componentType : "")), false);
}

template <class F>
void CGameObjectManager::ForEachGroupObject(int group, F&& visit) {
  std::vector<int> ids;
  GetGroupObjectIds(group, ids);
  for (int id : ids) {
    if (CGameObject* object = GetGameObjectById(id)) visit(object);
  }
}

void CGameObjectManager::EnableObjectGroup(int group) {
  ForEachGroupObject(group, [this](CGameObject* object) {
    if (object->IsEnabledAtStart()) QueueEnable(object, true);
  });
}

void CGameObjectManager::DisableObjectGroup(int group) {
  ForEachGroupObject(group, [this](CGameObject* object) { QueueEnable(object, false); });
}

void CGameObjectManager::RestartObjectGroup(int group) {
  ForEachGroupObject(group, [](CGameObject* object) { object->Restart(); });
}

void CGameObjectManager::PauseObjectGroup(int group) {
  ForEachGroupObject(group, [](CGameObject* object) { object->SetPaused(true); });
}

void CGameObjectManager::ResumeObjectGroup(int group) {
  ForEachGroupObject(group, [](CGameObject* object) { object->SetPaused(false); });
}

void CGameObjectManager::DestroyObjectGroup(int group) {
  ForEachGroupObject(group, [this](CGameObject* object) { QueueDestroy(object->GetId()); });
}

// --- Frame ------------------------------------------------------------------

void CGameObjectManager::ApplyQueuedRequests() {
  // The render thread waits now: the ring can be sized, and whatever the last
  // frame left in it (a pass that was not run) is dropped.
  if (m_ring.size() != m_ringWanted) m_ring.assign(m_ringWanted, nullptr);
  m_ringRead.store(0);
  m_ringWrite.store(0);
  m_passFinished.store(0);
  m_renderedEvent.Reset();

  // Requests made while these run (by "OnInit", "OnEnd" or a component) belong to
  // the next frame.
  std::vector<SEnableRequest> enables;
  std::vector<SComponentRequest> components;
  std::vector<int> destroys;
  {
    CScopedSection lock(m_lock);
    enables.swap(m_enableQueue);
    components.swap(m_componentQueue);
    destroys.swap(m_destroyQueue);
  }
  for (const SEnableRequest& request : enables) request.object->SetEnabled(request.enable != 0);
  for (const SComponentRequest& request : components) {
    request.component->SetEnabled(request.enable != 0, false);
  }

  if (destroys.empty()) return;
  for (int id : destroys) Destroy(id);
  if (m_commitRenderData) m_commitRenderData();
}

void CGameObjectManager::DropRequestsFor(CGameObject* object) {
  CScopedSection lock(m_lock);
  m_enableQueue.erase(std::remove_if(m_enableQueue.begin(), m_enableQueue.end(),
                                     [object](const SEnableRequest& request) {
                                       return request.object == object;
                                     }),
                      m_enableQueue.end());
  m_componentQueue.erase(std::remove_if(m_componentQueue.begin(), m_componentQueue.end(),
                                        [object](const SComponentRequest& request) {
                                          return request.component->GetOwner() == object;
                                        }),
                         m_componentQueue.end());
}

void CGameObjectManager::Destroy(int id) {
  auto it = m_instances.find(id);
  if (it == m_instances.end()) return;
  CGameObject* object = it->second;
  for (auto* list : {&m_plainList, &m_cameraList, &m_renderedList}) {
    list->erase(std::remove(list->begin(), list->end(), object), list->end());
  }
  object->SetEnabled(false);
  // Requests made for it meanwhile, "OnEnd" included, would outlive it.
  DropRequestsFor(object);
  object->Release();
  delete object;
  m_instances.erase(id);
}

bool CGameObjectManager::UpdateCameraObjects(float dt) {
  for (size_t i = 0; i < m_cameraList.size(); ++i) {
    CGameObject* object = m_cameraList[i];
    if (Updatable(object)) object->Update(dt);
  }
  return true;
}

void CGameObjectManager::DrainRing(float dt) {
  const unsigned length = static_cast<unsigned>(m_ring.size());
  unsigned read = m_ringRead.load(std::memory_order_relaxed);
  while (read != m_ringWrite.load(std::memory_order_acquire)) {
    CGameObject* object = m_ring[read];
    read = (read + 1) % length;
    m_ringRead.store(read, std::memory_order_release);
    if (!object) break;
    if (Updatable(object)) object->Update(dt);
  }
}

bool CGameObjectManager::IsDrawnByRenderSide(const CGameObject* object) {
  for (IComponent* component : object->GetRenderers()) {
    const auto* renderer = dynamic_cast<const IRendererComponent*>(component);
    if (renderer && renderer->IsRegistered()) return true;
  }
  return false;
}

bool CGameObjectManager::UpdatePass(float dt) {
  for (size_t i = 0; i < m_plainList.size(); ++i) {
    CGameObject* object = m_plainList[i];
    if (Updatable(object)) object->Update(dt);
  }
  // Asked each frame: a renderer registers late (an animated mesh once its model
  // exists) or drops its entries.
  for (size_t i = 0; i < m_renderedList.size(); ++i) {
    CGameObject* object = m_renderedList[i];
    if (Updatable(object) && !IsDrawnByRenderSide(object)) object->Update(dt);
  }
  if (!IsRenderSideAttached()) return true;
  for (;;) {
    m_renderedEvent.Wait();
    // Read before the drain: every report the render thread made before it marked
    // the pass finished is then in the ring, and none is left behind.
    const bool finished = m_passFinished.exchange(0, std::memory_order_acq_rel) != 0;
    DrainRing(dt);
    if (finished) return true;
  }
}

// --- Render side ------------------------------------------------------------

void CGameObjectManager::AttachRenderSide() { m_renderSideAttached.store(1); }

void CGameObjectManager::DetachRenderSide() {
  m_renderSideAttached.store(0);
  MarkRenderPassFinished();
}

void CGameObjectManager::PushRendered(CGameObject* object) {
  const unsigned length = static_cast<unsigned>(m_ring.size());
  const unsigned write = m_ringWrite.load(std::memory_order_relaxed);
  const unsigned next = (write + 1) % length;
  if (next != m_ringRead.load(std::memory_order_acquire)) {
    m_ring[write] = object;
    m_ringWrite.store(next, std::memory_order_release);
  }
  m_renderedEvent.Set();
}

void CGameObjectManager::MarkRenderPassFinished() {
  m_passFinished.store(1, std::memory_order_release);
  m_renderedEvent.Set();
}

// --- Events -----------------------------------------------------------------

void CGameObjectManager::HandleEvent(evn::IEvent* event) {
  if (!event) return;
  const uint32_t type = event->GetType().GetHash();
  if (type == SH_OnSaveCheckPoint.GetHash()) {
    for (auto& entry : m_instances) entry.second->SaveCheckPoint();
  } else if (type == SH_OnLoadCheckPoint.GetHash()) {
    for (auto& entry : m_instances) entry.second->LoadCheckPoint();
  }
}

// --- Outside callers --------------------------------------------------------

namespace {
CGameObjectManager* ManagerForLua() { return CGameObjectManager::GetInstance(); }
}  // namespace

void RegisterObjectComponentFactories(utl::FactoryMap<IComponent>& makers) {
  utl::RegisterFactoryMaker<gfx::CTransform, IComponent>(makers);
  utl::RegisterFactoryMaker<cam::CCamera, IComponent>(makers);
}

void UnregisterObjectComponentFactories(utl::FactoryMap<IComponent>& makers) {
  utl::UnregisterFactoryMaker(SH_CTransform, makers);
  utl::UnregisterFactoryMaker(SH_CCamera, makers);
}

void RegisterObjectManagerBindings(lua_State* state) {
  if (!state) return;
  luabind::module(state)[luabind::class_<CGameObjectManager>("GameObjectManager")
                             .def("EnableObject", &CGameObjectManager::EnableObject)
                             .def("DisableObject", &CGameObjectManager::DisableObject)
                             .def("EnableComponent", &CGameObjectManager::EnableComponent)
                             .def("DisableComponent", &CGameObjectManager::DisableComponent),
                         luabind::def("GetGameObjectManager", &ManagerForLua)];
}

CGameObject* FindGameObjectByName(const CStringHash& name) {
  CGameObjectManager* manager = CGameObjectManager::GetInstance();
  return manager ? manager->GetGameObjectByName(name) : nullptr;
}

evn::IEventListener* FindListenerByName(const char* name) {
  return FindGameObjectByName(CStringHash(name ? name : ""));
}

void RequestComponentEnable(IComponent* component, bool enable) {
  if (!component) return;
  if (CGameObjectManager* manager = CGameObjectManager::GetInstance()) {
    manager->QueueComponentEnable(component, enable);
  } else {
    component->SetEnabled(enable, false);
  }
}

}  // namespace obj
}  // namespace vd
