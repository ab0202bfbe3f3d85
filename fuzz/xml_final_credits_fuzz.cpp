// The credits file over the shipped cards: each record binds its card, reads its
// numbers, sets its alignment and queues its image in a render manager without device.
#include <cstdlib>

#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Renderer.h"
#include "engine/render/RenderManager.h"
#include "fuzz/FuzzInput.h"
#include "game/flow/FinalCreditsState.h"
#include "game/flow/GameWorld.h"

namespace {

struct SCards {
  vd::gfx::CRenderManager render;
  vd::obj::CGameObjectManager objects;
  vd::CFrontEndData frontEnd;
};

SCards* MakeCards() {
  fuzz::SilenceEngineLog();
  auto* cards = new SCards;
  if (!cards->render.Init(nullptr)) std::abort();
  vd::obj::RegisterObjectComponentFactories(cards->objects.componentFactories);
  vd::gfx::RegisterRendererFactory(cards->objects.componentFactories);
  if (!cards->objects.Init()) std::abort();
  if (!cards->objects.LoadTemplates("Data/xml/common_templates.xml")) std::abort();
  cards->objects.LoadInstances("Data/xml/final_credits_instances.xml", nullptr, true);
  cards->objects.ApplyQueuedRequests();
  return cards;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static SCards* cards = MakeCards();
  vd::ReadCreditsFile(fuzz::WriteInput(data, size, "final_credits.xml").c_str(), cards->objects,
                      cards->frontEnd, cards->render, "eng/");
  return 0;
}
