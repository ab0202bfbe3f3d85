#pragma once
// A named entity made of up to eleven components and an optional private Lua
// environment in which its scripts run. The same class serves as a template (read
// from a templates file, never updated) and as an instance built from one.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <rapidxml/rapidxml.hpp>

#include "engine/core/FactoryMaker.h"
#include "engine/core/StringHash.h"
#include "engine/events/Event.h"
#include "engine/objects/Component.h"

struct lua_State;

namespace vd {
namespace obj {

class CGameObject;
class CGameObjectManager;

// The base of the components of family "CRenderer". The render thread sets the
// drawn flag once it has drawn the renderer in a frame, then calls the owner's
// NotifyRendered; only the render thread touches the flag during a frame.
class IRendererComponent : public IComponent {
public:
  const CStringHash& GetFamilyType() const override;
  bool IsDrawn() const { return drawn != 0; }
  // Whether the render side holds entries of it to draw (and so to report drawn).
  // An object none of whose renderers has any is updated with the objects without
  // a renderer, since no draw report would ever come for it.
  virtual bool IsRegistered() const { return true; }

  uint8_t drawn = 0;
};

// What game objects need from the layers above them; the application installs
// these at start-up. A hook left null does nothing.
struct SGameObjectHooks {
  // The application's difficulty hook: adds the current difficulty's keys of a
  // Script element's difficulty blocks to its parameters.
  void (*loadDifficultyParams)(std::map<uint32_t, float>& params,
                               rapidxml::xml_node<>* scriptNode) = nullptr;
  // Queues an enable or disable of the object for the start of the next frame.
  void (*requestEnable)(CGameObject* object, bool enable) = nullptr;
};
void SetGameObjectHooks(const SGameObjectHooks& hooks);
const SGameObjectHooks& GetGameObjectHooks();

// Registers the Lua class "self" (GetName, GetId, IsEnabled, AddEventListener,
// RemoveEventListener) on a state. Safe to call more than once per state.
void RegisterGameObjectBindings(lua_State* state);
// The object as a Lua value of the class "self" (nil for null); registers the class
// on the state first when needed. Fits evn::SEventWorldHooks::gameObjectToLua.
luabind::object GameObjectToLua(lua_State* state, CGameObject* object);

class CGameObject : public evn::IEventListener {
public:
  static constexpr int kMaxComponents = 11;
  static constexpr int kMaxInstanceScripts = 3;
  // The folder of per-object scripts.
  static constexpr const char* kScriptFolder = "Data/Scripts/";

  // A script file and the parameters set in the environment after it has run.
  struct SScript {
    std::string path;  // empty: the record is free
    std::map<uint32_t, float> params;
    // The names behind the parameter hashes, for setting them in the environment.
    std::map<uint32_t, std::string> names;
  };

  CGameObject() = default;
  ~CGameObject() override;
  CGameObject(const CGameObject&) = delete;
  CGameObject& operator=(const CGameObject&) = delete;

  // --- Building -------------------------------------------------------------
  // Empties the object: scripts and their environment, components (Reset, then
  // deleted), flags, template, renderer list; group -1. Name and id stay.
  void Release();
  // Templates, before Release: drops the owned template name and the template script.
  void ReleaseTemplate();

  // Puts the component in the lowest empty slot and makes this object its owner.
  // With all slots taken the component is refused: logged, deleted, false.
  bool AddComponent(IComponent* component);
  // Copies the template's components through their makers (Reset, then CopyFrom)
  // and shares its name. Components that have no maker are logged and skipped.
  void CopyTemplate(const CGameObject& templateObject, const utl::FactoryMap<IComponent>& makers);
  // Collects the components of family "CRenderer".
  void CollectRenderers();
  // The manager that stores the object: its enable queue and render ring.
  void SetManager(CGameObjectManager* manager) { m_manager = manager; }
  CGameObjectManager* GetManager() const { return m_manager; }

  // The Script element's keys become the script's parameters, then the
  // difficulty hook adds its own. A second template script is ignored.
  void AddTemplateScript(const char* path, rapidxml::xml_node<>* scriptNode);
  // The same into the first free of the three instance records; a fourth is ignored.
  void AddScript(const char* path, rapidxml::xml_node<>* scriptNode);
  // Adds Data/Scripts/<folder>/<name>.lua (Data/Scripts/<name>.lua for an empty
  // folder) as an instance script when the file exists. Only "no such file" counts
  // as absent: a file that exists but cannot be read is added and its load error
  // is logged. True when added.
  bool ResolveScriptPath(const char* folder, const char* instanceName);
  // Creates the object's Lua thread and environment and runs its scripts; nothing
  // without scripts. The template may be null.
  void SetupScripts(const CGameObject* templateObject);
  // Runs the template's script and then the instance's (a file that the template
  // already ran is not run again), setting each script's parameters after it.
  void RunScripts(const CGameObject* templateObject);

  // --- Use ------------------------------------------------------------------
  // Through the manager that stores the object, else the requestEnable hook.
  void RequestEnable(bool enable);
  // Every component's SetEnabled; "OnInit" or "OnEnd" when the object's flag changes.
  void SetEnabled(bool enabled);
  bool Update(float dt);
  // Restarts every component, then runs the scripts again in their environment.
  void Restart();

  IComponent* GetComponent(const CStringHash& type) const;
  template <class T>
  T* GetComponent() const {
    return static_cast<T*>(GetComponent(T::GetClassName()));
  }
  void GetComponentsByFamily(const CStringHash& family, std::vector<IComponent*>& out) const;
  IComponent* GetComponentAt(int slot) const {
    return slot >= 0 && slot < kMaxComponents ? m_components[slot] : nullptr;
  }
  int GetComponentCount() const { return m_componentCount; }

  // Subscriptions made here (by the object's scripts) are undone when the object
  // is released, so that the event manager never keeps a deleted object.
  void AddEventListener(const char* eventName);
  void RemoveEventListener(const char* eventName);
  // The script handler named after the event first, then (unless the event is for
  // scripts only) every component in slot order.
  void HandleEvent(evn::IEvent* event) override;

  // The enabled flag, the environment (one level deep) and every component. An
  // object built after the last save has nothing to go back to and is left as it is.
  void SaveCheckPoint();
  void LoadCheckPoint();

  // Render thread, after drawing one of the object's renderers and setting its
  // drawn flag: once every renderer with content is drawn, clears their flags and
  // hands the object to the manager's render ring, so that the main thread
  // updates it. True when the object was complete.
  bool NotifyRendered();

  // --- Fields ---------------------------------------------------------------
  const CStringHash& GetName() const { return m_name; }
  const char* GetNameText() const { return m_name.c_str(); }
  // Keeps a copy of the text.
  void SetName(const char* name);
  int GetId() const { return m_id; }
  void SetId(int id) { m_id = id; }
  int GetGroup() const { return m_group; }
  void SetGroup(int group) { m_group = group; }

  bool IsEnabled() const { return m_enabled != 0; }
  bool IsEnabledAtStart() const { return m_enabledAtStart != 0; }
  void SetEnabledAtStart(bool enabled) { m_enabledAtStart = enabled ? 1 : 0; }
  // Templates: both flags at once, without touching components or scripts.
  void SetInitialEnabled(bool enabled) { m_enabled = m_enabledAtStart = enabled ? 1 : 0; }
  bool IsPaused() const { return m_paused != 0; }
  void SetPaused(bool paused) { m_paused = paused ? 1 : 0; }

  const CGameObject* GetTemplate() const { return m_template; }
  void SetTemplate(const CGameObject* templateObject) { m_template = templateObject; }
  // Templates: the name is an owned copy that the instances share.
  void SetTemplateName(const char* name);
  const CStringHash* GetTemplateName() const { return m_templateName; }

  const std::vector<IComponent*>& GetRenderers() const { return m_renderers; }

  bool HasScripts() const { return m_hasScripts != 0; }
  int GetTemplateScriptCount() const { return m_templateScriptCount; }
  int GetInstanceScriptCount() const { return m_instanceScriptCount; }
  const SScript& GetTemplateScript() const { return m_templateScript; }
  const SScript& GetInstanceScript(int index) const { return m_instanceScripts[index]; }

  // The object's Lua thread; null without scripts.
  lua_State* GetScriptThread() const { return m_thread; }
  // Pushes the environment table (nil without one) on the stack of `state`.
  void PushEnvironment(lua_State* state) const;

private:
  bool AddScriptRecord(SScript& record, const char* path, rapidxml::xml_node<>* scriptNode);
  // Loads the file as a chunk whose _ENV is the environment and runs it; errors
  // are logged with the path.
  void RunScriptFile(const std::string& path);
  void ApplyParams(const SScript& script);
  // Calls the environment's function of that name, if any, with no argument or the
  // event's Lua table; errors are logged.
  void CallHandler(const char* name, evn::IEvent* event);
  void ReleaseScripts();
  void DropSubscriptions();

  uint8_t m_enabled = 0;
  uint8_t m_enabledAtStart = 0;
  uint8_t m_paused = 0;
  const CGameObject* m_template = nullptr;
  CStringHash* m_templateName = nullptr;
  bool m_ownsTemplateName = false;
  CStringHash m_name;
  int m_id = -1;
  IComponent* m_components[kMaxComponents] = {};
  int m_componentCount = 0;

  // Lua: the state the references belong to, the thread, and registry references
  // to the thread, the environment and the checkpoint copy of the environment.
  lua_State* m_state = nullptr;
  lua_State* m_thread = nullptr;
  int m_threadRef = -1;
  int m_envRef = -2;
  int m_savedEnvRef = -2;
  uint8_t m_hasScripts = 0;

  SScript m_templateScript;
  int m_templateScriptCount = 0;
  SScript m_instanceScripts[kMaxInstanceScripts];
  int m_instanceScriptCount = 0;

  uint8_t m_savedEnabled = 0;
  uint8_t m_checkPointSaved = 0;
  int m_group = -1;
  // Event names subscribed through AddEventListener and not yet removed.
  std::vector<std::string> m_subscriptions;
  std::vector<IComponent*> m_renderers;
  CGameObjectManager* m_manager = nullptr;
};

// Values of an object's script environment (its own, or the globals it falls back
// to): the text (null when the object has no scripts or the value is nil or not
// a string or number), the number (0 likewise).
const char* GetScriptString(const CGameObject* object, const char* key);
float GetScriptFloat(const CGameObject* object, const char* key);
// Writes the number into the object's own environment, where its scripts and
// GetScriptFloat find it before a global of that name. False (nothing written)
// when the object has no scripts.
bool SetScriptInt(CGameObject* object, const char* key, int value);
// Calls the function of that name that the object's scripts see (its own, else a
// global) with no arguments and no results. False when there is none; a Lua error
// is logged with the object's name and also gives false.
bool CallScriptFunction(CGameObject* object, const char* name);

}  // namespace obj
}  // namespace vd
