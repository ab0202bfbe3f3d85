// The intro's timetable file over the shipped intro panels: each record binds its
// panel, reads its numbers and sets its alignment.
#include <cstdlib>

#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Renderer.h"
#include "engine/render/RenderManager.h"
#include "fuzz/FuzzInput.h"
#include "game/flow/GameWorld.h"
#include "game/flow/intro/IntroState.h"

namespace {

struct SPanels {
  vd::gfx::CRenderManager render;
  vd::obj::CGameObjectManager objects;
  vd::CFrontEndData frontEnd;
};

SPanels* MakePanels() {
  fuzz::SilenceEngineLog();
  auto* panels = new SPanels;
  if (!panels->render.Init(nullptr)) std::abort();
  vd::obj::RegisterObjectComponentFactories(panels->objects.componentFactories);
  vd::gfx::RegisterRendererFactory(panels->objects.componentFactories);
  if (!panels->objects.Init()) std::abort();
  if (!panels->objects.LoadTemplates("Data/xml/common_templates.xml")) std::abort();
  panels->objects.LoadInstances("Data/xml/intro_instances.xml", nullptr, true);
  panels->objects.ApplyQueuedRequests();
  panels->frontEnd.menuWidth = 1024;
  panels->frontEnd.menuHeight = 768;
  panels->frontEnd.menuDepth = 8;
  panels->frontEnd.menuAspectRatio = 1024.0f / 768.0f;
  return panels;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static SPanels* panels = MakePanels();
  vd::ReadIntroFile(fuzz::WriteInput(data, size, "intro.xml").c_str(), panels->objects,
                    panels->frontEnd);
  return 0;
}
