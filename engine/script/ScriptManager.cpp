#include "engine/script/ScriptManager.h"

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

const char* ErrorText(lua_State* state) {
  const char* message = lua_tostring(state, -1);
  return message ? message : "(error object is not a string)";
}

// Loads and runs one chunk; the error (file and Lua's message) goes to the log.
bool RunChunk(lua_State* state, const char* data, size_t size, const char* chunkName,
              const char* shownName) {
  const int top = lua_gettop(state);
  int status = luaL_loadbuffer(state, data, size, chunkName);
  if (status == LUA_OK) status = lua_pcall(state, 0, 0, 0);
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

CScriptManager::~CScriptManager() {
  Release();
  if (GetInstance() == this) SetInstance(nullptr);
}

bool CScriptManager::Init() {
  Release();
  m_state = luaL_newstate();
  if (!m_state) {
    utl::LogPrintf("Could not create the Lua state\n");
    return false;
  }
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
  m_globals = luabind::object();
  m_snapshot = luabind::object();
  if (m_state) {
    lua_close(m_state);
    m_state = nullptr;
  }
}

bool CScriptManager::LoadScripts() {
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
  std::vector<char> data;
  if (!plat::fs::ReadFile(path, data)) {
    utl::LogPrintf("Script error in %s: cannot read the file\n", path);
    return false;
  }
  std::string chunkName = std::string("@") + path;
  return RunChunk(m_state, data.data(), data.size(), chunkName.c_str(), path);
}

bool CScriptManager::RunString(const char* code, const char* chunkName) {
  if (!m_state || !code) return false;
  const char* name = chunkName ? chunkName : "(string)";
  return RunChunk(m_state, code, std::strlen(code), name, name);
}

bool CScriptManager::HasGlobalFunction(const char* name) const {
  if (!m_state || !name) return false;
  lua_getglobal(m_state, name);
  const bool isFunction = lua_isfunction(m_state, -1);
  lua_pop(m_state, 1);
  return isFunction;
}

bool CScriptManager::CallGlobalFunction(const char* name, const luabind::object& argument) {
  if (!m_state || !name) return false;
  const int top = lua_gettop(m_state);
  lua_getglobal(m_state, name);
  if (!lua_isfunction(m_state, -1)) {
    lua_settop(m_state, top);
    return false;
  }
  if (argument.interpreter()) {
    argument.push(m_state);
  } else {
    lua_pushnil(m_state);
  }
  const bool ok = lua_pcall(m_state, 1, 0, 0) == LUA_OK;
  if (!ok) utl::LogPrintf("Script error in handler %s: %s\n", name, ErrorText(m_state));
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
