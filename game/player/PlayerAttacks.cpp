// The player controller's side of the attack chain: the combo controller runs the
// steps, the player only steers between hit windows and breaks off into a run,
// cover or an evade.
#include "engine/input/InputManager.h"
#include "engine/objects/Transform.h"
#include "game/player/ComboController.h"
#include "game/player/PlayerController.h"

namespace vd {

namespace {
using In = CInputManager;
}  // namespace

void CPlayerController::UpdateCombo() {
  Entering();
  const bool windowOpen = combo && combo->windowOpen;
  const bool windowClosed = combo && combo->windowClosed;
  const bool moving = AnyValue(In::MoveForward, In::MoveLeft);
  if (moving && !windowOpen) {
    UpdateDirection();
    if (transform) transform->TurnYawTowardsDirection(moveDirection, comboRotSpeed);
  }
  int interruption = 0;
  if (moving && windowClosed) {
    interruption = kRun;
  } else if (Value(In::Cover) != 0.0f && !windowOpen) {
    interruption = kCover;
  } else if (!windowOpen && AnyPressed(In::DirForward, In::DirLeft)) {
    interruption = kEvade;
  }
  if (!interruption) return;
  if (combo) combo->EndCombo();
  if (interruption == kRun) StartMoving();
  state = interruption;
  if (animator) animator->RemoveAction(CStringHash("attack_to_idle"), 0.0f);
  previousState = kCombo;
}

}  // namespace vd
