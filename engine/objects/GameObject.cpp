#include "engine/objects/GameObject.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <exception>

#include <lua.hpp>
#include <luabind/luabind.hpp>

#include "engine/core/EngineNames.h"
#include "engine/core/Locks.h"
#include "engine/core/Log.h"
#include "engine/events/EventManager.h"
#include "engine/objects/ComponentKeys.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/script/ScriptManager.h"
#include "platform/fs/FileSystem.h"

namespace vd {
namespace obj {

namespace {

SGameObjectHooks g_hooks;

// Marks a state on which the "self" class is registered.
constexpr const char* kBindingsKey = "vd.obj.self_registered";

lua_State* HostState() {
  lgc::CScriptManager* host = lgc::CScriptManager::GetInstance();
  return host ? host->GetState() : nullptr;
}

const char* LuaErrorText(lua_State* state) {
  const char* message = lua_tostring(state, -1);
  return message ? message : "(error object is not a string)";
}

// to[key] = from[key] for every key of `from`, without metamethods. Both tables
// are on the stack at the given absolute indexes.
void CopyTableEntries(lua_State* state, int fromIndex, int toIndex) {
  lua_pushnil(state);
  while (lua_next(state, fromIndex) != 0) {
    lua_pushvalue(state, -2);  // key, value, key
    lua_insert(state, -2);     // key, key, value
    lua_rawset(state, toIndex);
  }
}

// Replaces the environment table on top of the stack with its value for `key`, or the
// global's when the environment has none: what the environment's "__index" gives,
// read raw, because a script may give the globals an "__index" that raises and the
// callers are not inside a protected call.
void ReplaceWithOwnOrGlobal(lua_State* state, const char* key) {
  lua_pushstring(state, key);
  lua_rawget(state, -2);
  if (lua_isnil(state, -1)) {
    lua_pop(state, 1);
    lua_rawgeti(state, LUA_REGISTRYINDEX, LUA_RIDX_GLOBALS);
    lua_pushstring(state, key);
    lua_rawget(state, -2);
    lua_remove(state, -2);
  }
  lua_remove(state, -2);
}

// Paths name the same file when they differ only in separators and letter case,
// as the file system resolves them.
bool SamePath(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i] == '\\' ? '/' : a[i];
    char y = b[i] == '\\' ? '/' : b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

void SetGameObjectHooks(const SGameObjectHooks& hooks) { g_hooks = hooks; }
const SGameObjectHooks& GetGameObjectHooks() { return g_hooks; }

void RegisterGameObjectBindings(lua_State* state) {
  if (!state) return;
  lua_getfield(state, LUA_REGISTRYINDEX, kBindingsKey);
  const bool registered = lua_toboolean(state, -1) != 0;
  lua_pop(state, 1);
  if (registered) return;
  luabind::module(state)[luabind::class_<CGameObject>("self")
                             .def("GetName", &CGameObject::GetNameText)
                             .def("GetId", &CGameObject::GetId)
                             .def("IsEnabled", &CGameObject::IsEnabled)
                             .def("AddEventListener", &CGameObject::AddEventListener)
                             .def("RemoveEventListener", &CGameObject::RemoveEventListener)];
  lua_pushboolean(state, 1);
  lua_setfield(state, LUA_REGISTRYINDEX, kBindingsKey);
}

luabind::object GameObjectToLua(lua_State* state, CGameObject* object) {
  if (!state) return luabind::object();
  if (!object) {
    lua_pushnil(state);
    luabind::object nil(luabind::from_stack(state, -1));
    lua_pop(state, 1);
    return nil;
  }
  RegisterGameObjectBindings(state);
  return luabind::object(state, object);
}

CGameObject::~CGameObject() { Release(); }

// --- Building ---------------------------------------------------------------

void CGameObject::ReleaseScripts() {
  // References belong to the state they were made in; once the host has closed
  // it there is nothing left to release.
  if (m_state && m_state == HostState()) {
    sys::CScopedLock lock(sys::kLockLua);
    luaL_unref(m_state, LUA_REGISTRYINDEX, m_envRef);
    luaL_unref(m_state, LUA_REGISTRYINDEX, m_savedEnvRef);
    luaL_unref(m_state, LUA_REGISTRYINDEX, m_threadRef);
  }
  m_state = nullptr;
  m_thread = nullptr;
  m_threadRef = -1;
  m_envRef = -2;
  m_savedEnvRef = -2;
}

void CGameObject::Release() {
  DropSubscriptions();
  ReleaseScripts();
  for (IComponent*& component : m_components) {
    if (!component) continue;
    component->Reset();
    delete component;
    component = nullptr;
  }
  m_hasScripts = 0;
  m_templateScriptCount = 0;
  m_instanceScriptCount = 0;
  for (SScript& script : m_instanceScripts) script = SScript();
  m_enabled = 0;
  m_enabledAtStart = 0;
  m_paused = 0;
  m_checkPointSaved = 0;
  m_template = nullptr;
  if (m_ownsTemplateName) delete m_templateName;
  m_templateName = nullptr;
  m_ownsTemplateName = false;
  m_componentCount = 0;
  m_renderers.clear();
  m_group = -1;
}

void CGameObject::ReleaseTemplate() {
  if (m_ownsTemplateName) delete m_templateName;
  m_templateName = nullptr;
  m_ownsTemplateName = false;
  m_templateScript = SScript();
  m_templateScriptCount = 0;
}

void CGameObject::SetName(const char* name) {
  m_name = CStringHash(name ? name : "");
  m_name.MakeOwned();
}

void CGameObject::SetTemplateName(const char* name) {
  if (m_ownsTemplateName) delete m_templateName;
  m_templateName = new CStringHash(name ? name : "");
  m_templateName->MakeOwned();
  m_ownsTemplateName = true;
}

bool CGameObject::AddComponent(IComponent* component) {
  if (!component) return false;
  for (int slot = 0; slot < kMaxComponents; ++slot) {
    if (m_components[slot]) continue;
    m_components[slot] = component;
    component->SetOwner(this);
    ++m_componentCount;
    return true;
  }
  const char* objectName = m_name.GetText()
                               ? m_name.GetText()
                               : (m_templateName ? m_templateName->c_str() : "");
  utl::LogPrintf("Game object %s: component %s refused, all %d slots are taken\n", objectName,
                 component->GetType().c_str(), kMaxComponents);
  delete component;
  return false;
}

void CGameObject::CopyTemplate(const CGameObject& templateObject,
                               const utl::FactoryMap<IComponent>& makers) {
  if (m_ownsTemplateName) delete m_templateName;
  m_templateName = templateObject.m_templateName;
  m_ownsTemplateName = false;
  m_template = &templateObject;
  for (int slot = 0; slot < kMaxComponents; ++slot) {
    const IComponent* source = templateObject.m_components[slot];
    if (!source) continue;
    IComponent* component = CreateComponent(makers, source->GetType().GetText());
    if (!component) {
      utl::LogPrintf("Template %s: no maker for component %s\n",
                     m_templateName ? m_templateName->c_str() : "", source->GetType().c_str());
      continue;
    }
    if (!AddComponent(component)) break;
    component->Reset();
    component->CopyFrom(*source);
  }
}

void CGameObject::CollectRenderers() {
  m_renderers.clear();
  GetComponentsByFamily(SH_CRenderer, m_renderers);
}

bool CGameObject::AddScriptRecord(SScript& record, const char* path,
                                  rapidxml::xml_node<>* scriptNode) {
  if (!path || !path[0]) {
    utl::LogPrintf("Game object %s: a script without a path is ignored\n", m_name.c_str());
    return false;
  }
  record = SScript();
  record.path = path;
  ForEachKey(scriptNode, [&](const CKey& key) {
    const uint32_t hash = key.NameHash();
    record.params[hash] = key.Float();
    record.names[hash] = key.Name();
  });
  // The difficulty hook reports hashes only: keep the names of every difficulty's
  // keys, without renaming an ordinary key.
  for (int difficulty = kDifficultyEasy; difficulty <= kDifficultyHard; ++difficulty) {
    ForEachDifficultyKey(scriptNode, difficulty, [&](const CKey& key) {
      record.names.emplace(key.NameHash(), key.Name());
    });
  }
  if (g_hooks.loadDifficultyParams && scriptNode) {
    g_hooks.loadDifficultyParams(record.params, scriptNode);
  }
  return true;
}

void CGameObject::AddTemplateScript(const char* path, rapidxml::xml_node<>* scriptNode) {
  if (m_templateScriptCount > 0) {
    utl::LogPrintf("Template %s: script %s ignored, a template has one script\n",
                   m_templateName ? m_templateName->c_str() : "", path ? path : "");
    return;
  }
  if (AddScriptRecord(m_templateScript, path, scriptNode)) m_templateScriptCount = 1;
}

void CGameObject::AddScript(const char* path, rapidxml::xml_node<>* scriptNode) {
  for (SScript& record : m_instanceScripts) {
    if (!record.path.empty()) continue;
    if (AddScriptRecord(record, path, scriptNode)) ++m_instanceScriptCount;
    return;
  }
  utl::LogPrintf("Game object %s: script %s ignored, an object has at most %d scripts\n",
                 m_name.c_str(), path ? path : "", kMaxInstanceScripts);
}

bool CGameObject::ResolveScriptPath(const char* folder, const char* instanceName) {
  if (!instanceName || !instanceName[0]) return false;
  std::string path = kScriptFolder;
  if (folder && folder[0]) {
    path += folder;
    path += '/';
  }
  path += instanceName;
  path += ".lua";

  struct stat info;
  if (::stat(plat::fs::Resolve(path).c_str(), &info) != 0 && errno == ENOENT) return false;

  for (SScript& record : m_instanceScripts) {
    if (!record.path.empty()) continue;
    record = SScript();
    record.path = path;
    ++m_instanceScriptCount;
    return true;
  }
  return false;
}

void CGameObject::SetupScripts(const CGameObject* templateObject) {
  const bool templateHasScript = templateObject && templateObject->m_templateScriptCount > 0;
  if (!templateHasScript && m_instanceScriptCount == 0) return;
  lua_State* state = HostState();
  if (!state) {
    utl::LogPrintf("Game object %s: no Lua state for its scripts\n", m_name.c_str());
    return;
  }
  ReleaseScripts();
  sys::CScopedLock lock(sys::kLockLua);
  const int top = lua_gettop(state);
  int threadRef = LUA_NOREF;
  try {
    RegisterGameObjectBindings(state);

    lua_State* thread = lua_newthread(state);
    threadRef = luaL_ref(state, LUA_REGISTRYINDEX);

    // The environment: own variables, every other name read from the globals.
    lua_newtable(state);
    const int env = lua_gettop(state);
    lua_newtable(state);
    lua_rawgeti(state, LUA_REGISTRYINDEX, LUA_RIDX_GLOBALS);
    lua_setfield(state, -2, "__index");
    lua_setmetatable(state, env);
    // A global "OnTimer" must not answer for the object's timers.
    lua_pushnumber(state, 0);
    lua_setfield(state, env, "OnTimer");
    luabind::object(state, this).push(state);
    lua_setfield(state, env, "self");
    const int envRef = luaL_ref(state, LUA_REGISTRYINDEX);

    m_state = state;
    m_thread = thread;
    m_threadRef = threadRef;
    m_envRef = envRef;
    m_hasScripts = 1;
  } catch (const std::exception& e) {
    utl::LogPrintf("Game object %s: could not set up its scripts: %s\n", m_name.c_str(),
                   e.what());
    lua_settop(state, top);
    luaL_unref(state, LUA_REGISTRYINDEX, threadRef);
    return;
  }
  lua_settop(state, top);

  RunScripts(templateObject);

  lua_newtable(state);
  m_savedEnvRef = luaL_ref(state, LUA_REGISTRYINDEX);
}

void CGameObject::PushEnvironment(lua_State* state) const {
  if (m_thread && m_envRef >= 0) {
    lua_rawgeti(state, LUA_REGISTRYINDEX, m_envRef);
  } else {
    lua_pushnil(state);
  }
}

void CGameObject::RunScriptFile(const std::string& path) {
  lua_State* thread = m_thread;
  const int top = lua_gettop(thread);
  int status = lgc::LoadScriptFile(thread, path.c_str());
  if (status == LUA_ERRFILE) {
    utl::LogPrintf("Game object %s: script %s cannot be read\n", m_name.c_str(), path.c_str());
    lua_settop(thread, top);
    return;
  }
  if (status == LUA_OK) {
    // The chunk's first upvalue is its _ENV.
    PushEnvironment(thread);
    if (!lua_setupvalue(thread, -2, 1)) lua_pop(thread, 1);
    status = lgc::ProtectedCall(thread, 0, LUA_MULTRET);
  }
  if (status != LUA_OK) {
    utl::LogPrintf("Game object %s: script error in %s: %s\n", m_name.c_str(), path.c_str(),
                   LuaErrorText(thread));
  }
  lua_settop(thread, top);
}

void CGameObject::ApplyParams(const SScript& script) {
  lua_State* thread = m_thread;
  const int top = lua_gettop(thread);
  PushEnvironment(thread);
  const int env = lua_gettop(thread);
  for (const auto& param : script.params) {
    auto name = script.names.find(param.first);
    if (name == script.names.end() || name->second.empty()) continue;
    lua_pushstring(thread, name->second.c_str());
    lua_pushnumber(thread, param.second);
    lua_rawset(thread, env);
  }
  lua_settop(thread, top);
}

void CGameObject::RunScripts(const CGameObject* templateObject) {
  if (!m_thread || m_state != HostState()) return;
  sys::CScopedLock lock(sys::kLockLua);
  const SScript* templateScript = nullptr;
  if (templateObject && templateObject->m_templateScriptCount > 0) {
    templateScript = &templateObject->m_templateScript;
    RunScriptFile(templateScript->path);
    ApplyParams(*templateScript);
  }
  for (const SScript& script : m_instanceScripts) {
    if (script.path.empty()) continue;
    if (!templateScript || !SamePath(script.path, templateScript->path)) {
      RunScriptFile(script.path);
    }
    ApplyParams(script);
  }
}

// --- Use --------------------------------------------------------------------

void CGameObject::RequestEnable(bool enable) {
  if (m_manager) {
    m_manager->QueueEnable(this, enable);
  } else if (g_hooks.requestEnable) {
    g_hooks.requestEnable(this, enable);
  }
}

const CStringHash& IRendererComponent::GetFamilyType() const { return SH_CRenderer; }

bool CGameObject::NotifyRendered() {
  for (IComponent* component : m_renderers) {
    auto* renderer = dynamic_cast<IRendererComponent*>(component);
    if (renderer && !renderer->drawn && renderer->HasContent()) return false;
  }
  for (IComponent* component : m_renderers) {
    if (auto* renderer = dynamic_cast<IRendererComponent*>(component)) renderer->drawn = 0;
  }
  if (m_manager) m_manager->PushRendered(this);
  return true;
}

void CGameObject::CallHandler(const char* name, evn::IEvent* event) {
  if (!m_thread || !name || m_state != HostState()) return;
  sys::CScopedLock lock(sys::kLockLua);
  lua_State* thread = m_thread;
  const int top = lua_gettop(thread);
  PushEnvironment(thread);
  if (!lua_istable(thread, -1)) {
    lua_settop(thread, top);
    return;
  }
  // A global function answers for objects without their own.
  ReplaceWithOwnOrGlobal(thread, name);
  if (!lua_isfunction(thread, -1)) {
    lua_settop(thread, top);
    return;
  }
  int arguments = 0;
  if (event) {
    try {
      luabind::object& table = event->GetLuaObject();
      if (table.interpreter()) {
        table.push(thread);
      } else {
        lua_pushnil(thread);
      }
      arguments = 1;
    } catch (const std::exception& e) {
      utl::LogPrintf("Game object %s: event %s has no Lua table: %s\n", m_name.c_str(), name,
                     e.what());
      lua_settop(thread, top);
      return;
    }
  }
  if (lgc::ProtectedCall(thread, arguments, 0) != LUA_OK) {
    utl::LogPrintf("Game object %s: script error in %s: %s\n", m_name.c_str(), name,
                   LuaErrorText(thread));
  }
  lua_settop(thread, top);
}

void CGameObject::SetEnabled(bool enabled) {
  for (int slot = 0; slot < m_componentCount && slot < kMaxComponents; ++slot) {
    if (m_components[slot]) m_components[slot]->SetEnabled(enabled, false);
  }
  if (enabled != (m_enabled != 0) && m_thread) CallHandler(enabled ? "OnInit" : "OnEnd", nullptr);
  m_enabled = enabled ? 1 : 0;
}

bool CGameObject::Update(float dt) {
  for (int slot = 0; slot < m_componentCount && slot < kMaxComponents; ++slot) {
    IComponent* component = m_components[slot];
    if (component && component->IsEnabled()) component->Update(dt);
  }
  return true;
}

void CGameObject::Restart() {
  for (int slot = 0; slot < m_componentCount && slot < kMaxComponents; ++slot) {
    if (m_components[slot]) m_components[slot]->Restart();
  }
  RunScripts(m_template);
}

IComponent* CGameObject::GetComponent(const CStringHash& type) const {
  for (IComponent* component : m_components) {
    if (component && component->GetType().GetHash() == type.GetHash()) return component;
  }
  return nullptr;
}

void CGameObject::GetComponentsByFamily(const CStringHash& family,
                                        std::vector<IComponent*>& out) const {
  for (IComponent* component : m_components) {
    if (component && component->GetFamilyType().GetHash() == family.GetHash()) {
      out.push_back(component);
    }
  }
}

void CGameObject::AddEventListener(const char* eventName) {
  evn::CEventManager* events = evn::CEventManager::GetInstance();
  if (!events) return;
  const char* name = eventName ? eventName : "";
  events->AddListener(this, CStringHash(name));
  m_subscriptions.emplace_back(name);
}

void CGameObject::RemoveEventListener(const char* eventName) {
  evn::CEventManager* events = evn::CEventManager::GetInstance();
  if (!events) return;
  const CStringHash type(eventName ? eventName : "");
  events->RemoveListener(type, this);
  for (auto it = m_subscriptions.begin(); it != m_subscriptions.end(); ++it) {
    if (ComputeHash(it->c_str()) == type.GetHash()) {
      m_subscriptions.erase(it);
      break;
    }
  }
}

void CGameObject::DropSubscriptions() {
  if (evn::CEventManager* events = evn::CEventManager::GetInstance()) {
    for (const std::string& name : m_subscriptions) {
      events->RemoveListener(CStringHash(name.c_str()), this);
    }
  }
  m_subscriptions.clear();
}

void CGameObject::HandleEvent(evn::IEvent* event) {
  if (!event) return;
  const int* modeRecord = event->GetScriptMode();
  const int mode = modeRecord ? *modeRecord : evn::kScriptModeScriptsAndListeners;
  if ((mode == evn::kScriptModeScriptsOnly || mode == evn::kScriptModeScriptsAndListeners) &&
      m_hasScripts) {
    CallHandler(event->GetName(), event);
  }
  if (mode == evn::kScriptModeScriptsOnly) return;
  for (int slot = 0; slot < m_componentCount && slot < kMaxComponents; ++slot) {
    if (m_components[slot]) m_components[slot]->HandleEvent(event);
  }
}

void CGameObject::SaveCheckPoint() {
  m_savedEnabled = m_enabled;
  m_checkPointSaved = 1;
  if (m_hasScripts && m_thread && m_state == HostState()) {
    sys::CScopedLock lock(sys::kLockLua);
    const int top = lua_gettop(m_state);
    lua_rawgeti(m_state, LUA_REGISTRYINDEX, m_envRef);
    lua_rawgeti(m_state, LUA_REGISTRYINDEX, m_savedEnvRef);
    if (lua_istable(m_state, top + 1) && lua_istable(m_state, top + 2)) {
      CopyTableEntries(m_state, top + 1, top + 2);
    }
    lua_settop(m_state, top);
  }
  for (int slot = 0; slot < m_componentCount && slot < kMaxComponents; ++slot) {
    if (m_components[slot]) m_components[slot]->SaveCheckPoint();
  }
}

void CGameObject::LoadCheckPoint() {
  if (!m_checkPointSaved) return;
  const bool wasEnabled = m_enabled != 0;
  m_enabled = m_savedEnabled;
  const bool scripts = m_hasScripts && m_thread && m_state == HostState();
  if (scripts) {
    sys::CScopedLock lock(sys::kLockLua);
    const int top = lua_gettop(m_state);
    lua_rawgeti(m_state, LUA_REGISTRYINDEX, m_savedEnvRef);
    lua_rawgeti(m_state, LUA_REGISTRYINDEX, m_envRef);
    if (lua_istable(m_state, top + 1) && lua_istable(m_state, top + 2)) {
      CopyTableEntries(m_state, top + 1, top + 2);
    }
    lua_settop(m_state, top);
  }
  for (int slot = 0; slot < m_componentCount && slot < kMaxComponents; ++slot) {
    if (m_components[slot]) m_components[slot]->LoadCheckPoint();
  }
  const bool enabled = m_enabled != 0;
  if (scripts && enabled != wasEnabled) CallHandler(enabled ? "OnInit" : "OnEnd", nullptr);
}

// --- Script values ----------------------------------------------------------

namespace {
// Pushes the value of the key in the object's environment; false (nothing pushed)
// when the object has no scripts.
bool PushScriptValue(const CGameObject* object, const char* key, lua_State*& state) {
  state = HostState();
  if (!object || !key || !object->HasScripts() || !object->GetScriptThread() || !state) {
    return false;
  }
  object->PushEnvironment(state);
  if (!lua_istable(state, -1)) {
    lua_pop(state, 1);
    return false;
  }
  ReplaceWithOwnOrGlobal(state, key);
  return true;
}
}  // namespace

const char* GetScriptString(const CGameObject* object, const char* key) {
  sys::CScopedLock lock(sys::kLockLua);
  lua_State* state = nullptr;
  if (!PushScriptValue(object, key, state)) return nullptr;
  // A string stays alive while the environment holds it; a number is kept as text
  // here until the next call.
  static thread_local char number[32];
  const char* text = nullptr;
  if (lua_type(state, -1) == LUA_TSTRING) {
    text = lua_tostring(state, -1);
  } else if (lua_type(state, -1) == LUA_TNUMBER) {
    std::snprintf(number, sizeof number, "%.14g", lua_tonumber(state, -1));
    text = number;
  }
  lua_pop(state, 1);
  return text;
}

float GetScriptFloat(const CGameObject* object, const char* key) {
  sys::CScopedLock lock(sys::kLockLua);
  lua_State* state = nullptr;
  if (!PushScriptValue(object, key, state)) return 0.0f;
  const float value = static_cast<float>(lua_tonumber(state, -1));
  lua_pop(state, 1);
  return value;
}

bool SetScriptInt(CGameObject* object, const char* key, int value) {
  sys::CScopedLock lock(sys::kLockLua);
  lua_State* state = HostState();
  if (!object || !key || !object->HasScripts() || !object->GetScriptThread() || !state)
    return false;
  object->PushEnvironment(state);
  if (!lua_istable(state, -1)) {
    lua_pop(state, 1);
    return false;
  }
  lua_pushstring(state, key);
  lua_pushinteger(state, value);
  lua_rawset(state, -3);
  lua_pop(state, 1);
  return true;
}

bool CallScriptFunction(CGameObject* object, const char* name) {
  sys::CScopedLock lock(sys::kLockLua);
  lua_State* host = HostState();
  if (!object || !name || !object->HasScripts() || !object->GetScriptThread() || !host)
    return false;
  lua_State* thread = object->GetScriptThread();
  const int top = lua_gettop(thread);
  object->PushEnvironment(thread);
  if (!lua_istable(thread, -1)) {
    lua_settop(thread, top);
    return false;
  }
  ReplaceWithOwnOrGlobal(thread, name);
  if (!lua_isfunction(thread, -1)) {
    lua_settop(thread, top);
    return false;
  }
  const bool ok = lgc::ProtectedCall(thread, 0, 0) == LUA_OK;
  if (!ok)
    utl::LogPrintf("Game object %s: script error in %s: %s\n", object->GetNameText(), name,
                   LuaErrorText(thread));
  lua_settop(thread, top);
  return ok;
}

}  // namespace obj
}  // namespace vd
