// The object manager's readers: each input read as a templates file, then as an
// instances file over those templates, with the engine's own object components.
#include <cstdlib>

#include "engine/events/EngineEvents.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Tracker.h"
#include "engine/script/ScriptManager.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static vd::lgc::CScriptManager* host = [] {
    fuzz::SilenceEngineLog();
    auto* h = new vd::lgc::CScriptManager;
    if (!h->Init()) std::abort();
    vd::evn::InitEngineEventTypes();
    return h;
  }();
  (void)host;
  vd::obj::CGameObjectManager manager;
  vd::obj::RegisterObjectComponentFactories(manager.componentFactories);
  vd::lgc::RegisterTrackerFactory(manager.componentFactories);
  if (!manager.Init()) std::abort();
  std::string path = fuzz::WriteInput(data, size, "objects.xml");
  manager.LoadTemplates(path.c_str());
  manager.LoadInstances(path.c_str(), "", true);
  manager.Clear();
  return 0;
}
