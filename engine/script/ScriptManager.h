#pragma once
// The Lua host: one Lua 5.2 state with luabind, the level scripts listed in
// Data/xml/scripts.xml, the engine's bindings and the globals kept at checkpoints.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include <luabind/object.hpp>

#include "engine/core/Singleton.h"
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

  // The longest one call from the host into Lua may run (5 s unless changed; 0 or
  // less: no limit); a call that runs longer is stopped with a Lua error naming the
  // script and line. Calls made from inside a call share its time.
  void SetCallTimeLimit(double seconds);
  // A flag set from any thread (the application's quit request): while it is set, a
  // call that has already run for 0.2 s is stopped; shorter ones end normally. Null:
  // no flag.
  void SetQuitFlag(const std::atomic<uint8_t>* flag) { m_watch.quitFlag = flag; }

  // When the global `name` is a function, calls it in protected mode with one
  // argument; a Lua error is logged with the function's name. False when nothing
  // was called or the call failed. The Lua stack is left as it was. A function that
  // had to be stopped at the time limit is not called again until the script list
  // is loaded again (the game calls its handlers every frame: one that never ends
  // would cost the limit each time), which the log says once.
  bool CallGlobalFunction(const char* name, const luabind::object& argument);
  // False too for a function that is no longer called (see above).
  bool HasGlobalFunction(const char* name) const;

  // Checkpoints: snapshot[key] = globals[key] for every global; restore copies
  // the snapshot back. Shallow: tables and functions are shared.
  void SaveGlobals();
  void RestoreGlobals();

  // The global as an integer; a global that is not a number is logged and gives 0.
  int GetGlobalInt(const char* name);

  // What the instruction-count hook of the state checks; shared by every Lua thread
  // of the state and reached through the state's allocator data.
  struct SCallWatch {
    std::atomic<const std::atomic<uint8_t>*> quitFlag{nullptr};
    std::atomic<int64_t> limitNs{5'000'000'000};
    // Host calls in progress (nested ones included) and when the outermost began.
    std::atomic<int> depth{0};
    std::atomic<int64_t> startNs{0};
    // Set when the hook stops a call at the time limit.
    std::atomic<bool> timedOut{false};
  };

private:
  SCallWatch m_watch;
  lua_State* m_state = nullptr;
  luabind::object m_globals;
  luabind::object m_snapshot;
  std::vector<BindingRegistrar> m_registrars;
  // The global functions stopped at the time limit since the scripts were loaded.
  std::set<std::string> m_runaway;
};

// The free functions the host registers into every state.
bool CheckFlag(unsigned flags, unsigned bit);

// Loads a script file as Lua's own file loader does (a UTF-8 byte-order mark and a
// first line starting with '#' are skipped, line numbers kept), as text only:
// precompiled chunks are refused. Pushes the chunk, or the error message, and returns
// Lua's status (LUA_ERRFILE when the file cannot be read). The chunk is named "@path".
int LoadScriptFile(lua_State* state, const char* path);
// The same for a script held in memory.
int LoadScriptBuffer(lua_State* state, const char* data, size_t size, const char* chunkName);

// lua_pcall for the host and the game objects: a call on a host state is watched for
// its running time and the quit flag (see CScriptManager::SetCallTimeLimit), from any
// of the state's Lua threads. Lua use stays serialised by the caller (the Lua lock).
int ProtectedCall(lua_State* state, int arguments, int results);

}  // namespace lgc
}  // namespace vd
