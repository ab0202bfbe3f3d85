// The audio manager's banks reader (audios.xml); the sounds it names load through the
// silent output.
#include <cstdlib>

#include "engine/audio/AudioManager.h"
#include "fuzz/FuzzInput.h"
#include "platform/audio/Audio.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static vd::sfx::CAudioManager* manager = [] {
    fuzz::SilenceEngineLog();
    plat::audio::SetLogFunction([](const char*) {});
    auto* m = new vd::sfx::CAudioManager;
    plat::audio::InitOptions options;
    options.backend = plat::audio::Backend::Null;
    options.worker = false;
    m->SetBackendOptions(options);
    m->SetSubscriber([](vd::evn::IEventListener*, const vd::CStringHash&, bool) {});
    if (!m->Init()) std::abort();
    return m;
  }();
  manager->LoadBanks(fuzz::WriteInput(data, size, "audios.xml").c_str());
  return 0;
}
