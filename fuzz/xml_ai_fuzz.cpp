// The enemies' shared AI data, read by the AI manager.
#include "fuzz/FuzzInput.h"
#include "game/enemies/AIData.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool once = (fuzz::SilenceEngineLog(), true);
  (void)once;
  vd::SAIData ai;
  vd::LoadAIData(fuzz::WriteInput(data, size, "ai.xml").c_str(), ai);
  return 0;
}
