// The game's configuration reader (gameconfig.xml).
#include "fuzz/FuzzInput.h"
#include "game/flow/GameOptions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::SilenceEngineLog();
  vd::CGameOptions options;
  options.Load(fuzz::WriteInput(data, size, "gameconfig.xml").c_str());
  return 0;
}
