#include "engine/script/ScriptManager.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include <lua.hpp>
#include <luabind/luabind.hpp>
#include <rapidxml/rapidxml.hpp>

#include "engine/core/Log.h"
#include "engine/core/Utils.h"
#include "engine/core/XmlFile.h"
#include "platform/fs/FileSystem.h"

namespace vd {
namespace lgc {

namespace {

constexpr const char* kScriptList = "Data/xml/scripts.xml";
constexpr const char* kScriptFolder = "Data/scripts/";

using SCallWatch = CScriptManager::SCallWatch;

// The hook runs every this many Lua instructions of a thread; only then is the clock
// read, so a script pays a few nanoseconds per ten thousand instructions.
constexpr int kHookInstructions = 10000;
// A quit stops only a call that has run this long: a handler that merely happens to
// run when the quit key is pressed finishes normally.
constexpr int64_t kQuitGraceNs = 200'000'000;

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

const char* ErrorText(lua_State* state) {
  const char* message = lua_tostring(state, -1);
  return message ? message : "(error object is not a string)";
}

// The allocator of the host's states; its data is the state's call watch, which is
// how the hook of any of the state's threads finds it.
void* HostAlloc(void*, void* block, size_t, size_t size) {
  if (size == 0) {
    std::free(block);
    return nullptr;
  }
  return std::realloc(block, size);
}

int HostPanic(lua_State* state) {
  utl::LogPrintf("PANIC: unprotected error in call to Lua API (%s)\n", ErrorText(state));
  return 0;  // Lua aborts
}

SCallWatch* WatchOf(lua_State* state) {
  void* data = nullptr;
  if (lua_getallocf(state, &data) != &HostAlloc) return nullptr;
  return static_cast<SCallWatch*>(data);
}

// Stops a host call that has run too long, or for a while after a quit request, with
// a Lua error at the script's current line. Threads made from the state (coroutines,
// the game objects' threads) inherit the hook.
void WatchHook(lua_State* state, lua_Debug* where) {
  SCallWatch* watch = WatchOf(state);
  const int depth = watch ? watch->depth.load(std::memory_order_relaxed) : 0;
  const char* reason = nullptr;
  char text[96];
  if (depth > 0) {
    const int64_t ran = NowNs() - watch->startNs.load(std::memory_order_relaxed);
    const int64_t limit = watch->limitNs.load(std::memory_order_relaxed);
    const std::atomic<uint8_t>* quit = watch->quitFlag.load(std::memory_order_relaxed);
    if (ran > limit) {
      std::snprintf(text, sizeof text, "stopped after running for more than %g s",
                    static_cast<double>(limit) / 1e9);
      reason = text;
      watch->timedOut.store(true, std::memory_order_relaxed);
    } else if (quit && quit->load(std::memory_order_relaxed) && ran >= kQuitGraceNs) {
      reason = "stopped because the game is quitting";
    }
  }
  if (!reason) {
    // Back to the normal rate once a stop is over (see below).
    if (lua_gethookcount(state) != kHookInstructions)
      lua_sethook(state, &WatchHook, LUA_MASKCOUNT, kHookInstructions);
    return;
  }
  // Until the call has ended, stop at the very next instruction: a script's own pcall
  // that catches the error must not let the loop around it go on.
  lua_sethook(state, &WatchHook, LUA_MASKCOUNT, 1);
  lua_getinfo(state, "Sl", where);
  lua_pushfstring(state, "%s:%d: %s", where->short_src, where->currentline, reason);
  lua_error(state);
}

// Loads and runs one chunk; the error (file and Lua's message) goes to the log.
bool RunChunk(lua_State* state, const char* data, size_t size, const char* chunkName,
              const char* shownName) {
  const int top = lua_gettop(state);
  int status = LoadScriptBuffer(state, data, size, chunkName);
  if (status == LUA_OK) status = ProtectedCall(state, 0, 0);
  if (status != LUA_OK) {
    utl::LogPrintf("Script error in %s: %s\n", shownName, ErrorText(state));
  }
  lua_settop(state, top);
  return status == LUA_OK;
}

void OpenLibrary(lua_State* state, const char* name, lua_CFunction open) {
  luaL_requiref(state, name, open, 1);
  lua_pop(state, 1);
}

void LogFromScript(const char* text) { utl::Log(text); }

}  // namespace

bool CheckFlag(unsigned flags, unsigned bit) { return ((flags >> (bit % 32u)) & 1u) != 0; }

int LoadScriptBuffer(lua_State* state, const char* data, size_t size, const char* chunkName) {
  if (!data) size = 0;
  size_t start = 0;
  if (size >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0) start = 3;
  if (start < size && data[start] == '#') {
    // The line goes but its line break stays, so that line numbers do not move.
    const void* end = std::memchr(data + start, '\n', size - start);
    start = end ? static_cast<size_t>(static_cast<const char*>(end) - data) : size;
    // As in Lua's file loader, a precompiled chunk may follow that line: it must be
    // seen as one (and refused below), not as text starting with a line break.
    if (start + 1 < size && data[start + 1] == LUA_SIGNATURE[0]) ++start;
  }
  // Text only: Lua does not check precompiled chunks, and a crafted one can crash the
  // process or make it allocate gigabytes.
  return luaL_loadbufferx(state, size ? data + start : "", size - start, chunkName, "t");
}

int LoadScriptFile(lua_State* state, const char* path) {
  std::vector<char> data;
  plat::fs::FileStatus status = plat::fs::FileStatus::kMissing;
  if (!path || !plat::fs::ReadFile(path, data, &status)) {
    lua_pushfstring(state, "cannot read the file (%s)", plat::fs::Describe(status));
    return LUA_ERRFILE;
  }
  const std::string chunkName = std::string("@") + path;
  return LoadScriptBuffer(state, data.data(), data.size(), chunkName.c_str());
}

int ProtectedCall(lua_State* state, int arguments, int results) {
  SCallWatch* watch = WatchOf(state);
  if (!watch) return lua_pcall(state, arguments, results, 0);
  // Left even when a binding's C++ exception crosses the call.
  struct SDepth {
    std::atomic<int>& depth;
    ~SDepth() { depth.fetch_sub(1, std::memory_order_relaxed); }
  } depth{watch->depth};
  if (watch->depth.fetch_add(1, std::memory_order_relaxed) == 0)
    watch->startNs.store(NowNs(), std::memory_order_relaxed);
  return lua_pcall(state, arguments, results, 0);
}

CScriptManager::~CScriptManager() {
  Release();
  ClearInstance(this);
}

bool CScriptManager::Init() {
  Release();
  m_state = lua_newstate(&HostAlloc, &m_watch);
  if (!m_state) {
    utl::LogPrintf("Could not create the Lua state\n");
    return false;
  }
  lua_atpanic(m_state, &HostPanic);
  m_watch.depth = 0;
  lua_sethook(m_state, &WatchHook, LUA_MASKCOUNT, kHookInstructions);
  OpenLibrary(m_state, "_G", luaopen_base);
  OpenLibrary(m_state, LUA_COLIBNAME, luaopen_coroutine);
  try {
    luabind::open(m_state);
    m_globals = luabind::globals(m_state);
    m_snapshot = luabind::newtable(m_state);
    luabind::module(m_state)[luabind::def("Log", &LogFromScript),
                             luabind::def("CheckFlag", &CheckFlag)];
    for (BindingRegistrar registrar : m_registrars) registrar(m_state);
  } catch (const std::exception& e) {
    utl::LogPrintf("Could not register the script bindings: %s\n", e.what());
    Release();
    return false;
  }
  return true;
}

void CScriptManager::AddBindingRegistrar(BindingRegistrar registrar) {
  if (!registrar) return;
  for (BindingRegistrar known : m_registrars) {
    if (known == registrar) return;
  }
  m_registrars.push_back(registrar);
  if (m_state) registrar(m_state);
}

void CScriptManager::Release() {
  m_runaway.clear();
  m_globals = luabind::object();
  m_snapshot = luabind::object();
  if (m_state) {
    lua_close(m_state);
    m_state = nullptr;
  }
}

bool CScriptManager::LoadScripts() {
  // The scripts may define their handlers anew.
  m_runaway.clear();
  utl::CXmlFile file;
  const utl::CXmlFile::EResult result = file.Load(kScriptList);
  if (result == utl::CXmlFile::EResult::Missing) return false;
  if (result == utl::CXmlFile::EResult::Malformed) {
    utl::LogPrintf("%s: malformed XML (%s)\n", kScriptList, file.Error().c_str());
    return false;
  }
  rapidxml::xml_document<>& document = file.Document();
  rapidxml::xml_node<>* root = document.first_node("scripts");
  if (!root) {
    utl::LogPrintf("%s: no <scripts> element\n", kScriptList);
    return false;
  }
  for (rapidxml::xml_node<>* node = root->first_node("script"); node;
       node = node->next_sibling()) {
    if (node->type() != rapidxml::node_element) continue;
    rapidxml::xml_attribute<>* file = node->first_attribute("file");
    std::string path = kScriptFolder;
    if (file) path += file->value();
    RunFile(path.c_str());
  }
  return true;
}

bool CScriptManager::RunFile(const char* path) {
  if (!m_state || !path) return false;
  const int top = lua_gettop(m_state);
  int status = LoadScriptFile(m_state, path);
  if (status == LUA_OK) status = ProtectedCall(m_state, 0, 0);
  if (status != LUA_OK) utl::LogPrintf("Script error in %s: %s\n", path, ErrorText(m_state));
  lua_settop(m_state, top);
  return status == LUA_OK;
}

bool CScriptManager::RunString(const char* code, const char* chunkName) {
  if (!m_state || !code) return false;
  const char* name = chunkName ? chunkName : "(string)";
  return RunChunk(m_state, code, std::strlen(code), name, name);
}

void CScriptManager::SetCallTimeLimit(double seconds) {
  constexpr double kNoLimit = 9.0e18;  // ns, below the int64 maximum
  const double ns = seconds * 1e9;
  m_watch.limitNs = static_cast<int64_t>(seconds > 0.0 && ns < kNoLimit ? ns : kNoLimit);
}

namespace {
// Raw: a script may give the globals an "__index" that raises for unknown names, and
// this runs outside any protected call.
void PushRawGlobal(lua_State* state, const char* name) {
  lua_rawgeti(state, LUA_REGISTRYINDEX, LUA_RIDX_GLOBALS);
  lua_pushstring(state, name);
  lua_rawget(state, -2);
  lua_remove(state, -2);
}
}  // namespace

bool CScriptManager::HasGlobalFunction(const char* name) const {
  if (!m_state || !name) return false;
  // One that ran away is no longer called: its caller need not build its argument.
  if (!m_runaway.empty() && m_runaway.count(name)) return false;
  PushRawGlobal(m_state, name);
  const bool isFunction = lua_isfunction(m_state, -1);
  lua_pop(m_state, 1);
  return isFunction;
}

bool CScriptManager::CallGlobalFunction(const char* name, const luabind::object& argument) {
  if (!m_state || !name) return false;
  if (!m_runaway.empty() && m_runaway.count(name)) return false;
  const int top = lua_gettop(m_state);
  PushRawGlobal(m_state, name);
  if (!lua_isfunction(m_state, -1)) {
    lua_settop(m_state, top);
    return false;
  }
  if (argument.interpreter()) {
    argument.push(m_state);
  } else {
    lua_pushnil(m_state);
  }
  const bool outermost = m_watch.depth.load(std::memory_order_relaxed) == 0;
  if (outermost) m_watch.timedOut = false;
  const bool ok = ProtectedCall(m_state, 1, 0) == LUA_OK;
  if (!ok) utl::LogPrintf("Script error in handler %s: %s\n", name, ErrorText(m_state));
  if (!ok && outermost && m_watch.timedOut.exchange(false)) {
    m_runaway.insert(name);
    utl::LogPrintf("Script handler %s ran too long: it is not called again\n", name);
  }
  lua_settop(m_state, top);
  return ok;
}

namespace {
// to[key] = from[key] for every key of `from`, without metamethods.
void CopyTable(lua_State* state, const luabind::object& from, const luabind::object& to) {
  const int top = lua_gettop(state);
  from.push(state);
  to.push(state);
  const int fromIndex = top + 1;
  const int toIndex = top + 2;
  lua_pushnil(state);
  while (lua_next(state, fromIndex) != 0) {
    lua_pushvalue(state, -2);  // key
    lua_insert(state, -2);     // key, key, value
    lua_rawset(state, toIndex);
  }
  lua_settop(state, top);
}
}  // namespace

void CScriptManager::SaveGlobals() {
  if (m_state) CopyTable(m_state, m_globals, m_snapshot);
}

void CScriptManager::RestoreGlobals() {
  if (m_state) CopyTable(m_state, m_snapshot, m_globals);
}

int CScriptManager::GetGlobalInt(const char* name) {
  if (!m_state || !name) return 0;
  luabind::object value = luabind::rawget(m_globals, name);
  if (luabind::type(value) != LUA_TNUMBER) {
    utl::LogPrintf("Script global %s is not a number\n", name);
    return 0;
  }
  return static_cast<int>(luabind::object_cast<double>(value));
}

}  // namespace lgc
}  // namespace vd
