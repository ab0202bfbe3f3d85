#pragma once
// The game's application: fills in the hooks of the engine's application frame.
#include "engine/app/Application.h"
#include "engine/input/InputManager.h"

namespace vd {

class CVandrel : public sys::CApplicationBase {
public:
  void PreInit() override;
  void StartGame() override;
  void RegisterScriptBindings() override;
  void EndGame() override;
  bool Update(float dt) override;
  void RegisterEventFactories() override;
  void UnregisterEventFactories() override;

  CInputManager inputManager{&keyboardInput, &pad};
};

}  // namespace vd
