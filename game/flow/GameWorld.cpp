#include "game/flow/GameWorld.h"

#include "game/flow/GameServices.h"
#include "game/player/PlayerController.h"

namespace vd {

namespace {

// The HUD the player's use prompt goes to; the hook has no room for it.
CHUD* g_promptHUD = nullptr;

void ShowUsePrompt(const char* button) {
  if (!g_promptHUD) return;
  if (button) {
    g_promptHUD->ShowButton(button, 0.0f);
  } else {
    g_promptHUD->HideButton();
  }
}

}  // namespace

CGameWorld::CGameWorld() {
  for (int32_t& id : groups) id = -1;
}

CGameWorld::~CGameWorld() {
  Reset();
  gatingParticles.ClearFades();
}

void CGameWorld::BindUsePrompt() {
  g_promptHUD = &hud;
  CPlayerController::SetUsePromptHook(&ShowUsePrompt);
}

void CGameWorld::Reset() {
  if (g_promptHUD == &hud) {
    CPlayerController::SetUsePromptHook(nullptr);
    g_promptHUD = nullptr;
  }
  aiManager.Clear();
  grenades.Reset();
  hud.Reset();
  gatingParticles.ClearFades();
  player = nullptr;
  combo = nullptr;
  camera = nullptr;
  spare = 0;
}

const char* const CFrontEndData::kMenuElementNames[kMenuElementCount] = {
    "menu_background_zombies",   "menu_background_fog_front", "menu_background_fog_middle",
    "menu_background_joe",       "menu_blackening",           "menu_black_front",
    "menu_title_newgame",        "menu_title_options",        "menu_title_gameconfig",
    "menu_title_graphicsconfig", "menu_title_soundconfig",    "menu_title_exit"};

const char* const CFrontEndData::kLoadingElementNames[kLoadingElementCount] = {
    "loading_keyboard", "loading_pad",    "combos_keyboard", "combos_pad",
    "loading_button",   "loading_signal", "start_button"};

CFrontEndData::CFrontEndData(IGameServices* services_) : services(services_) { Reset(); }

CFrontEndData::~CFrontEndData() { Reset(); }

void CFrontEndData::Reset() {
  // The scrolling layers of the backdrop start over.
  for (int i = kMenuBackgroundZombies; i <= kMenuBackgroundJoe; ++i)
    menuElements[i].uvOffset = plat::Vec2(0.0f, 0.0f);
  for (int32_t* group : {&startUpGroup, &menuGroup}) {
    if (*group < 0) continue;
    if (services) services->DestroyObjectGroup(*group);
    *group = -1;
  }
}

}  // namespace vd
