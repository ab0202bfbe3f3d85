// The main menu's file into an element table, then the language switch and the
// pages run over whatever it gave: elements without objects, names the pages do not
// know, texture names of any length.
#include "fuzz/FuzzInput.h"
#include "game/flow/GameOptions.h"
#include "game/flow/GameWorld.h"
#include "game/flow/menu/MenuPages.h"
#include "game/flow/menu/MenuState.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool once = (fuzz::SilenceEngineLog(), true);
  (void)once;
  vd::CGameOptions options("no such file");
  vd::CFrontEndData frontEnd;
  vd::CGameStateMenu menu;
  menu.Bind(&options, &frontEnd);
  if (!menu.LoadMenuFile(fuzz::WriteInput(data, size, "menu_main.xml").c_str())) return 0;
  frontEnd.pending.language = vd::CStringHash("language_spa");
  vd::menu::ApplyLanguageTextures(menu);
  menu.OpenGraphicsConfigPage();
  menu.ApplyQualityPreset();
  menu.OpenSoundConfigPage();
  menu.Update(0.016f);
  menu.UpdateElementFades(0.5f);
  return 0;
}
