// Lua scripts: each input run as a script file by a fresh script host.
#include "engine/script/ScriptManager.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::SilenceEngineLog();
  vd::lgc::CScriptManager host;
  if (!host.Init()) std::abort();
  host.RunFile(fuzz::WriteInput(data, size, "input.lua").c_str());
  host.Release();
  return 0;
}
