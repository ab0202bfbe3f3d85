#include "game/flow/Vandrel.h"

#include "engine/app/Entry.h"
#include "engine/events/GameEvents.h"
#include "platform/window/Resources.h"
#include "platform/window/Window.h"

namespace vd {

void CVandrel::PreInit() {
  plat::LoadString(plat::kStringAppTitle, name, sizeof name);
  icon = plat::LoadIcon(plat::kIconApp);
}

void CVandrel::StartGame() { inputManager.Init(); }

void CVandrel::RegisterScriptBindings() {}

void CVandrel::RegisterEventFactories() {
  CApplicationBase::RegisterEventFactories();
  evn::RegisterGameEventFactories(eventManager.factories);
}

void CVandrel::UnregisterEventFactories() {
  evn::UnregisterGameEventFactories(eventManager.factories);
  CApplicationBase::UnregisterEventFactories();
}

void CVandrel::EndGame() {}

bool CVandrel::Update(float dt) {
  keyboardInput.Poll();
  pad.Poll();
  inputManager.Update(dt);
  if (inputManager.IsPressed(CInputManager::Quit)) {
    quitRequested = 1;
    plat::PostQuit(0);
  }
  return true;
}

namespace sys {
CApplicationBase* CreateApplication() { return new CVandrel(); }
}  // namespace sys

}  // namespace vd
