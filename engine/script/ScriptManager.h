#pragma once
// The Lua host: one Lua 5.2 state with luabind, the level scripts listed in
// Data/xml/scripts.xml, the engine's bindings and the globals kept at checkpoints.
#include <vector>

#include <luabind/object.hpp>

#include "engine/core/StringHash.h"

struct lua_State;

namespace vd {
namespace lgc {

class CScriptManager : public utl::CSingleton<CScriptManager> {
public:
  // Registers a module's Lua bindings on a freshly opened state.
  using BindingRegistrar = void (*)(lua_State* state);

  CScriptManager() { SetInstance(this); }
  ~CScriptManager();
  CScriptManager(const CScriptManager&) = delete;
  CScriptManager& operator=(const CScriptManager&) = delete;

  // Opens a new state (base and coroutine libraries only), takes the globals,
  // makes the snapshot table and registers the bindings: the host's own ("Log",
  // "CheckFlag") and then those of every added registrar, in the order added.
  bool Init();
  // Runs every script of Data/xml/scripts.xml; a script that fails to load or run
  // is logged and skipped. False when the list cannot be read or parsed.
  bool LoadScripts();
  void Release();

  // Kept across Init; a registrar added after Init runs at once as well.
  void AddBindingRegistrar(BindingRegistrar registrar);

  lua_State* GetState() const { return m_state; }
  luabind::object& GetGlobals() { return m_globals; }

  // Runs one file as a chunk in protected mode; false (and a log line with the
  // file and Lua's message) when it cannot be read, loaded or run.
  bool RunFile(const char* path);
  // The same for a text (tests, tools); `chunkName` names it in messages.
  bool RunString(const char* code, const char* chunkName);

  // When the global `name` is a function, calls it in protected mode with one
  // argument; a Lua error is logged with the function's name. False when nothing
  // was called or the call failed. The Lua stack is left as it was.
  bool CallGlobalFunction(const char* name, const luabind::object& argument);
  bool HasGlobalFunction(const char* name) const;

  // Checkpoints: snapshot[key] = globals[key] for every global; restore copies
  // the snapshot back. Shallow: tables and functions are shared.
  void SaveGlobals();
  void RestoreGlobals();

  // The global as an integer; a global that is not a number is logged and gives 0.
  int GetGlobalInt(const char* name);

private:
  lua_State* m_state = nullptr;
  luabind::object m_globals;
  luabind::object m_snapshot;
  std::vector<BindingRegistrar> m_registrars;
};

// The free functions the host registers into every state.
bool CheckFlag(unsigned flags, unsigned bit);

}  // namespace lgc
}  // namespace vd
