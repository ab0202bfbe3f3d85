// The start-up screens' file: sizes, fades and the title's shake and zoom lists, then
// the title's frames over what it gave.
#include "fuzz/FuzzInput.h"
#include "game/flow/menu/StartUpState.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool once = (fuzz::SilenceEngineLog(), true);
  (void)once;
  vd::CGameStateStartUp startUp;
  if (!startUp.ReadFile(fuzz::WriteInput(data, size, "startup.xml").c_str())) return 0;
  startUp.running = 1;
  for (int phase : {1, 2, 3}) {
    startUp.phase = phase;
    for (int i = 0; i < 4; ++i) startUp.Update(0.25f);
  }
  for (float t = 0.0f; t < 10.0f; t += 0.7f) (void)startUp.TitleScale(t);
  return 0;
}
