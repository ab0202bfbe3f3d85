#pragma once
// The game's application: fills in the hooks of the engine's application frame.
#include "engine/app/Application.h"

namespace vd {

class CVandrel : public sys::CApplicationBase {
public:
  void PreInit() override;
  void StartGame() override;
  void RegisterScriptBindings() override;
  void EndGame() override;
};

}  // namespace vd
