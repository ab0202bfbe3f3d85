#include "engine/script/ScriptManager.h"

#include <gtest/gtest.h>

#include <lua.hpp>
#include <luabind/luabind.hpp>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "tests/support/LuaFixture.h"

namespace vd {
namespace lgc {
namespace {

namespace fs = std::filesystem;
using test::LuaFixture;
using test::Precompiled;

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
    std::ofstream(m_root / path, std::ios::binary) << text;
  }
  void WriteList(const std::vector<std::string>& files) {
    std::string list = "<scripts>\n";
    for (const std::string& file : files) list += "  <script file=\"" + file + "\"/>\n";
    Write("Data/xml/scripts.xml", list + "</scripts>\n");
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

TEST_F(ScriptHost, StrictGlobalsDoNotBreakTheHandlerLookup) {
  Run("function OnKnown(t) known = t.n + 1 end\n"
      "setmetatable(_G, { __index = function(_, name)\n"
      "  error('undeclared global ' .. tostring(name), 2) end })");
  luabind::object table = luabind::newtable(host.GetState());
  table["n"] = 2;
  EXPECT_FALSE(host.HasGlobalFunction("OnUnknown"));
  EXPECT_FALSE(host.CallGlobalFunction("OnUnknown", table));
  EXPECT_TRUE(host.HasGlobalFunction("OnKnown"));
  EXPECT_TRUE(host.CallGlobalFunction("OnKnown", table));
  EXPECT_EQ(host.GetGlobalInt("known"), 3);
  // Inside a script the metatable still does its work.
  EXPECT_FALSE(host.RunString("local x = missing", "strict"));
  EXPECT_TRUE(Logged("undeclared global missing")) << Joined();
  EXPECT_EQ(lua_gettop(host.GetState()), 0);
}

// Whatever Lua's own file loader accepts or refuses, the host does too, with the same
// line numbers in its messages.
TEST_F(ScriptHost, ScriptFilesLoadAsLuasFileLoaderLoadsThem) {
  ScratchData data;
  struct Case {
    const char* file;
    std::string text;
    int value;  // what the script leaves in "value" (0: nothing)
  } cases[] = {
      {"bom.lua", "\xEF\xBB\xBFvalue = 1\n", 1},
      {"hash.lua", "#!/usr/bin/env lua\nvalue = 2\n", 2},
      {"both.lua", "\xEF\xBB\xBF# a comment\r\nvalue = 3\n", 3},
      {"hashonly.lua", "#!lua", 0},  // loads and runs, sets nothing
      {"partbom.lua", "\xEF\xBBvalue = 5\n", 0},
      {"hashlate.lua", "value = 6\n#x\n", 0},
      {"lines.lua", "#!lua\n\nerror('on line three')\n", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string path = std::string("Data/scripts/") + c.file;
    data.Write(path, c.text);
    Run("value = 0");
    log.clear();
    const bool ours = host.RunFile(path.c_str());
    EXPECT_EQ(host.GetGlobalInt("value"), c.value);

    lua_State* L = luaL_newstate();
    luaL_openlibs(L);
    int status = luaL_loadfile(L, path.c_str());
    if (status == LUA_OK) status = lua_pcall(L, 0, 0, 0);
    const std::string luas = status == LUA_OK ? "" : lua_tostring(L, -1);
    lua_close(L);
    EXPECT_EQ(ours, status == LUA_OK) << Joined() << " / Lua: " << luas;
    if (!ours) {
      EXPECT_TRUE(Logged("Script error in " + path + ": " + luas)) << Joined() << "/" << luas;
    }
  }
  EXPECT_TRUE(Logged("Data/scripts/lines.lua:3: on line three")) << Joined();
}

TEST_F(ScriptHost, PrecompiledOrBinaryScriptsAreRefusedAndTheOthersRun) {
  ScratchData data;
  const std::string chunk = Precompiled("value = 42");
  ASSERT_GT(chunk.size(), 20u);
  ASSERT_EQ(chunk[0], '\x1b');
  const std::string bogus = std::string("\x1bLua\x52\x00\x01\x04\x08\x04\x08\x00", 12) +
                            std::string(21, '\xff');
  data.Write("Data/scripts/level_events.lua", chunk);
  data.Write("Data/scripts/truncated.lua", chunk.substr(0, chunk.size() / 2));
  data.Write("Data/scripts/bogus.lua", bogus);
  data.Write("Data/scripts/bomchunk.lua", "\xEF\xBB\xBF" + chunk);
  data.Write("Data/scripts/hashchunk.lua", "#!/usr/bin/lua\n" + chunk);
  data.Write("Data/scripts/after.lua", "after = 1\n");
  data.WriteList({"level_events.lua", "truncated.lua", "bogus.lua", "bomchunk.lua",
                  "hashchunk.lua", "after.lua"});

  EXPECT_TRUE(host.LoadScripts());
  EXPECT_EQ(host.GetGlobalInt("after"), 1);
  EXPECT_EQ(host.GetGlobalInt("value"), 0);
  for (const char* file : {"level_events", "truncated", "bogus", "bomchunk", "hashchunk"}) {
    EXPECT_TRUE(Logged(std::string("Script error in Data/scripts/") + file +
                       ".lua: attempt to load a binary chunk"))
        << file << Joined();
  }
  EXPECT_EQ(lua_gettop(host.GetState()), 0);
}

// Loading scripts whose top-level code, handler, protected loop or coroutine never ends:
// each call is stopped at the limit with its file and line, and the rest runs.
TEST_F(ScriptHost, EndlessCallsAreStoppedAtTheTimeLimitNamingTheFile) {
  ScratchData data;
  host.SetCallTimeLimit(0.2);
  data.Write("Data/scripts/loop.lua", "started = 1\nwhile true do end\n");
  data.Write("Data/scripts/handlers.lua",
             "function OnLoop(t)\n  while true do end\nend\n"
             "function OnSwallow(t)\n  while true do pcall(function() while true do end end) end\nend\n"
             "function OnCoroutine(t)\n"
             "  local co = coroutine.wrap(function() while true do end end)\n  co()\nend\n"
             "function OnShort(t) short = 0 for i = 1, 100000 do short = short + 1 end end\n");
  data.Write("Data/scripts/after.lua", "after = 1\n");
  data.WriteList({"loop.lua", "handlers.lua", "after.lua"});

  EXPECT_TRUE(host.LoadScripts());
  EXPECT_EQ(host.GetGlobalInt("started"), 1);
  EXPECT_EQ(host.GetGlobalInt("after"), 1);
  EXPECT_TRUE(Logged("Script error in Data/scripts/loop.lua: Data/scripts/loop.lua:2: "
                     "stopped after running for more than 0.2 s"))
      << Joined();

  const luabind::object none;
  const struct {
    const char* handler;
    int line;
  } handlers[] = {{"OnLoop", 2}, {"OnSwallow", 5}, {"OnCoroutine", 8}};
  for (const auto& h : handlers) {
    log.clear();
    EXPECT_FALSE(host.CallGlobalFunction(h.handler, none)) << h.handler;
    EXPECT_TRUE(Logged(std::string("Script error in handler ") + h.handler + ": "));
    EXPECT_TRUE(Logged("Data/scripts/handlers.lua:" + std::to_string(h.line) +
                       ": stopped after running for more than 0.2 s"))
        << Joined();
  }
  // The host goes on as before: a fresh call has its own time.
  EXPECT_TRUE(host.CallGlobalFunction("OnShort", none)) << Joined();
  EXPECT_EQ(host.GetGlobalInt("short"), 100000);
  EXPECT_EQ(lua_gettop(host.GetState()), 0);

  // A handler stopped at the limit is said once and not run again (the game calls its
  // handlers every frame); the others still run, and a new load of the list brings it back.
  log.clear();
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(host.CallGlobalFunction("OnLoop", none));
  EXPECT_FALSE(host.HasGlobalFunction("OnLoop"));
  EXPECT_TRUE(log.empty()) << Joined();
  EXPECT_TRUE(host.CallGlobalFunction("OnShort", none));
  EXPECT_TRUE(host.LoadScripts());
  log.clear();
  EXPECT_FALSE(host.CallGlobalFunction("OnLoop", none));
  EXPECT_TRUE(Logged("Script error in handler OnLoop: ")) << Joined();
  EXPECT_TRUE(Logged("Script handler OnLoop ran too long: it is not called again")) << Joined();
}

// The hook belongs to each Lua thread: a call made from another OS thread (the level
// loader) and a call on a thread of the state (a game object's) are watched as well.
TEST_F(ScriptHost, CallsFromALoaderThreadAndOnLuaThreadsAreWatched) {
  host.SetCallTimeLimit(0.2);
  bool loaderOk = true;
  std::thread loader([&] { loaderOk = host.RunString("while true do end", "loader"); });
  loader.join();
  EXPECT_FALSE(loaderOk);
  EXPECT_TRUE(Logged("[string \"loader\"]:1: stopped after running")) << Joined();

  lua_State* L = host.GetState();
  lua_State* thread = lua_newthread(L);
  const int ref = luaL_ref(L, LUA_REGISTRYINDEX);
  ASSERT_EQ(luaL_loadstring(thread, "local n = 0 while true do n = n + 1 end"), LUA_OK);
  EXPECT_EQ(ProtectedCall(thread, 0, 0), LUA_ERRRUN);
  EXPECT_NE(std::string(lua_tostring(thread, -1)).find("stopped after running"),
            std::string::npos);
  luaL_unref(L, LUA_REGISTRYINDEX, ref);
}

TEST_F(ScriptHost, AQuitRequestFromAnotherThreadStopsALongCall) {
  host.SetCallTimeLimit(20.0);  // far beyond the request's 0.3 s: the message tells which
  std::atomic<uint8_t> quit{0};
  host.SetQuitFlag(&quit);
  std::thread requester([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    quit = 1;
  });
  EXPECT_FALSE(host.RunString("while true do end", "endless"));
  requester.join();
  EXPECT_TRUE(Logged("[string \"endless\"]:1: stopped because the game is quitting")) << Joined();
  // A short call while the quit is pending still runs to its end.
  Run("for i = 1, 50000 do done = i end");
  EXPECT_EQ(host.GetGlobalInt("done"), 50000);
  host.SetQuitFlag(nullptr);
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
