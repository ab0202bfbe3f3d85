// The HUD's layout and its subtitle list, each read in turn from the input (the
// other file being a small valid one); no HUD objects are live, and the subtitle
// pictures are queued in a render manager without device.
#include <string>

#include "engine/render/RenderManager.h"
#include "fuzz/FuzzInput.h"
#include "game/flow/hud/Hud.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool once = (fuzz::SilenceEngineLog(), true);
  (void)once;
  static const std::string kList = "<subtitles><file name='hud/none.dds'/></subtitles>";
  static const std::string list =
      fuzz::WriteInput(reinterpret_cast<const uint8_t*>(kList.data()), kList.size(), "subtitles_seed.xml");
  vd::gfx::CRenderManager render;
  if (!render.Init(nullptr)) std::abort();
  {
    vd::CHUD hud;
    hud.ReadLayout(fuzz::WriteInput(data, size, "hud.xml").c_str(), list.c_str());
    hud.ReadLayout("Data/xml/hud.xml", fuzz::WriteInput(data, size, "subtitles.xml").c_str());
  }
  render.Shutdown();
  return 0;
}
