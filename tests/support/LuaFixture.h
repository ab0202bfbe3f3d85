#pragma once
// A script host with a fresh state, and a log that keeps every line (script lines
// marked "script: ").
#include <gtest/gtest.h>

#include <lua.hpp>

#include <string>
#include <vector>

#include "engine/core/Log.h"
#include "engine/script/ScriptManager.h"
#include "tests/support/LogRecorder.h"

namespace vd {
namespace test {

// What Lua's own compiler makes of `code`, as luac would write it.
inline std::string Precompiled(const char* code) {
  lua_State* L = luaL_newstate();
  std::string out;
  if (luaL_loadstring(L, code) == LUA_OK) {
    lua_dump(
        L,
        [](lua_State*, const void* data, size_t size, void* to) {
          static_cast<std::string*>(to)->append(static_cast<const char*>(data), size);
          return 0;
        },
        &out);
  }
  lua_close(L);
  return out;
}

class LuaFixture : public ::testing::Test {
protected:
  void SetUp() override {
    m_sinks.AddSink(new CLogRecorder(&log, "script: "));
    utl::SetLogSinks(&m_sinks);
    ASSERT_TRUE(host.Init());
  }
  void TearDown() override {
    host.Release();
    utl::SetLogSinks(nullptr);
  }

  // Runs Lua code that must succeed.
  void Run(const char* code) { ASSERT_TRUE(host.RunString(code, "test")) << Joined(); }

  bool Logged(const std::string& part) const {
    for (const std::string& line : log)
      if (line.find(part) != std::string::npos) return true;
    return false;
  }
  std::string Joined() const {
    std::string all;
    for (const std::string& line : log) all += line;
    return all;
  }

  std::vector<std::string> log;
  lgc::CScriptManager host;

private:
  utl::CLogSinkHolder m_sinks;
};

}  // namespace test
}  // namespace vd
