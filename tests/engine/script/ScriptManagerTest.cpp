#include "engine/script/ScriptManager.h"

#include <gtest/gtest.h>

#include <lua.hpp>
#include <luabind/luabind.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/engine/script/LuaFixture.h"

namespace vd {
namespace lgc {
namespace {

namespace fs = std::filesystem;
using test::LuaFixture;

// Runs the test inside a scratch data tree and returns to the old directory.
class ScratchData {
public:
  ScratchData() : m_old(fs::current_path()) {
    char pattern[] = "/tmp/hm_scripts_XXXXXX";
    m_root = mkdtemp(pattern);
    fs::create_directories(m_root / "Data/xml");
    fs::create_directories(m_root / "Data/scripts");
    fs::current_path(m_root);
  }
  ~ScratchData() {
    fs::current_path(m_old);
    fs::remove_all(m_root);
  }
  void Write(const std::string& path, const std::string& text) {
    std::ofstream(m_root / path) << text;
  }

private:
  fs::path m_old;
  fs::path m_root;
};

using ScriptHost = LuaFixture;

TEST_F(ScriptHost, OpensOnlyTheBaseAndCoroutineLibrariesAndTheHostBindings) {
  Run("assert(coroutine and coroutine.create)\n"
      "assert(string == nil and table == nil and io == nil and os == nil)\n"
      "assert(math == nil and debug == nil and package == nil)\n"
      "assert(type(collectgarbage) == 'function')\n"
      "assert(CheckFlag(5, 2) and not CheckFlag(5, 1))\n"
      "assert(CheckFlag(2, 33) and not CheckFlag(2, 32))\n"
      "Log('hello from lua')");
  EXPECT_TRUE(Logged("script: hello from lua"));
}

TEST_F(ScriptHost, BrokenScriptsAreReportedAndTheOthersRun) {
  ScratchData data;
  data.Write("Data/xml/scripts.xml",
             "<?xml version=\"1.0\"?>\n<scripts>\n"
             "  <script file=\"first.lua\"/>\n"
             "  <script file=\"syntax.lua\"/>\n"
             "  <script file=\"runtime.lua\"/>\n"
             "  <script file=\"missing.lua\"/>\n"
             "  <script/>\n"
             "  <script file=\"LAST.lua\"/>\n"
             "</scripts>\n");
  data.Write("Data/scripts/first.lua", "first = 1\n");
  data.Write("Data/scripts/syntax.lua", "this is not lua\n");
  data.Write("Data/scripts/runtime.lua", "half = 1\nerror('runtime boom')\nhalf = 2\n");
  data.Write("Data/scripts/last.lua", "last = 3\n");

  EXPECT_TRUE(host.LoadScripts());
  Run("assert(first == 1 and half == 1 and last == 3)");
  EXPECT_TRUE(Logged("Script error in Data/scripts/syntax.lua:")) << Joined();
  EXPECT_TRUE(Logged("runtime boom")) << Joined();
  EXPECT_TRUE(Logged("Script error in Data/scripts/missing.lua: cannot read the file"));
  EXPECT_TRUE(Logged("Script error in Data/scripts/:")) << Joined();
  EXPECT_EQ(lua_gettop(host.GetState()), 0);
}

TEST_F(ScriptHost, MissingEmptyOrMalformedScriptListIsAFailure) {
  ScratchData data;
  EXPECT_FALSE(host.LoadScripts());
  data.Write("Data/xml/scripts.xml", "");
  EXPECT_FALSE(host.LoadScripts());
  data.Write("Data/xml/scripts.xml", "<scripts><script file=\"a.lua\"></scripts>");
  EXPECT_FALSE(host.LoadScripts());
  EXPECT_TRUE(Logged("malformed XML")) << Joined();
  data.Write("Data/xml/scripts.xml", "<scripts></scripts>");
  EXPECT_TRUE(host.LoadScripts());
}

TEST_F(ScriptHost, CheckpointRestoresSavedGlobalsAndKeepsNewOnes) {
  Run("count = 1; name = 'before'; shared = { v = 1 }");
  host.SaveGlobals();
  Run("count = 2; name = nil; fresh = 'new'; shared.v = 2");
  host.RestoreGlobals();
  Run("assert(count == 1, 'number restored')\n"
      "assert(name == 'before', 'removed global restored')\n"
      "assert(fresh == 'new', 'new global kept')\n"
      "assert(shared.v == 2, 'tables are shared, not copied')");
  // A later save overwrites the snapshot but keeps keys that have gone since.
  Run("count = 5; fresh = nil");
  host.SaveGlobals();
  Run("count = 6");
  host.RestoreGlobals();
  Run("assert(count == 5)");
}

TEST_F(ScriptHost, GlobalFunctionCallsAreProtectedAndLeaveTheStackAlone) {
  Run("calls = 0\n"
      "function OnThing(t) calls = calls + t.n end\n"
      "function OnBroken(t) error('handler failed') end\n"
      "NotAFunction = 3");
  lua_State* L = host.GetState();
  luabind::object table = luabind::newtable(L);
  table["n"] = 2;
  EXPECT_TRUE(host.HasGlobalFunction("OnThing"));
  EXPECT_FALSE(host.HasGlobalFunction("NotAFunction"));
  EXPECT_TRUE(host.CallGlobalFunction("OnThing", table));
  EXPECT_FALSE(host.CallGlobalFunction("NotAFunction", table));
  EXPECT_FALSE(host.CallGlobalFunction("Undefined", table));
  EXPECT_FALSE(host.CallGlobalFunction(nullptr, table));
  EXPECT_FALSE(host.CallGlobalFunction("OnBroken", table));
  EXPECT_TRUE(Logged("Script error in handler OnBroken:")) << Joined();
  EXPECT_TRUE(Logged("handler failed"));
  EXPECT_EQ(lua_gettop(L), 0);
  EXPECT_EQ(host.GetGlobalInt("calls"), 2);
}

TEST_F(ScriptHost, GlobalIntTruncatesAndRejectsNonNumbers) {
  Run("a = 7.9; b = -2.5; c = 'x'");
  EXPECT_EQ(host.GetGlobalInt("a"), 7);
  EXPECT_EQ(host.GetGlobalInt("b"), -2);
  EXPECT_EQ(host.GetGlobalInt("c"), 0);
  EXPECT_EQ(host.GetGlobalInt("nothing"), 0);
  EXPECT_TRUE(Logged("Script global c is not a number"));
}

int g_registrations = 0;
void RegisterTestBinding(lua_State* L) {
  ++g_registrations;
  luabind::globals(L)["registered"] = g_registrations;
}

TEST_F(ScriptHost, RegistrarsRunNowAndOnEveryNewState) {
  g_registrations = 0;
  host.AddBindingRegistrar(&RegisterTestBinding);
  host.AddBindingRegistrar(&RegisterTestBinding);
  EXPECT_EQ(g_registrations, 1);
  ASSERT_TRUE(host.Init());
  EXPECT_EQ(g_registrations, 2);
  EXPECT_EQ(host.GetGlobalInt("registered"), 2);
}

TEST(ScriptHostLifetime, ReleaseWithoutInitAndTwiceIsHarmless) {
  CScriptManager host;
  host.Release();
  EXPECT_EQ(host.GetState(), nullptr);
  EXPECT_FALSE(host.RunString("x = 1", "x"));
  ASSERT_TRUE(host.Init());
  host.Release();
  host.Release();
  EXPECT_EQ(host.GetState(), nullptr);
}

}  // namespace
}  // namespace lgc
}  // namespace vd
