// The combo table, read by the combo controller.
#include "fuzz/FuzzInput.h"
#include "game/player/ComboController.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool once = (fuzz::SilenceEngineLog(), true);
  (void)once;
  vd::CComboController combo;
  combo.LoadCombos(fuzz::WriteInput(data, size, "combos.xml").c_str());
  return 0;
}
