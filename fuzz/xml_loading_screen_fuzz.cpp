// The loading screen's layout, onto front-end records whose elements each have a
// bare renderer; the images it names are queued in a render manager without device.
#include "engine/objects/Renderer.h"
#include "engine/render/RenderManager.h"
#include "fuzz/FuzzInput.h"
#include "game/flow/GameStates.h"
#include "game/flow/GameWorld.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool once = (fuzz::SilenceEngineLog(), true);
  (void)once;
  static vd::gfx::CRenderer renderers[vd::CFrontEndData::kLoadingElementCount];
  vd::CFrontEndData frontEnd;
  for (int i = 0; i < vd::CFrontEndData::kLoadingElementCount; ++i)
    frontEnd.loadingElements[i].renderer = &renderers[i];
  vd::gfx::CRenderManager render;
  if (!render.Init(nullptr)) std::abort();
  vd::ReadLoadingScreen(fuzz::WriteInput(data, size, "loading_screen.xml").c_str(), frontEnd,
                        render, "eng/");
  render.Shutdown();
  return 0;
}
