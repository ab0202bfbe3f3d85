// The script host's list of scripts (Data/xml/scripts.xml, read from the working
// folder): the input is written there in a folder of its own.
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "engine/script/ScriptManager.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool moved = [] {
    fuzz::SilenceEngineLog();
    std::string list = fuzz::WriteInput(nullptr, 0, "root/Data/xml/scripts.xml");
    if (chdir(list.substr(0, list.size() - std::string("Data/xml/scripts.xml").size()).c_str()) !=
        0)
      std::abort();
    return true;
  }();
  (void)moved;
  fuzz::WriteInput(data, size, "root/Data/xml/scripts.xml");
  vd::lgc::CScriptManager host;
  if (!host.Init()) std::abort();
  host.LoadScripts();
  host.Release();
  return 0;
}
