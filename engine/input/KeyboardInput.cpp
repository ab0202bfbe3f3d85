#include "engine/input/KeyboardInput.h"

#include <cstring>

namespace vd {

bool CKeyboardInput::Init(int cooperativeFlags) {
  Release();
  this->cooperativeFlags = cooperativeFlags;
  input = &plat::input::GetBackend();
  std::memset(keyState, 0, sizeof keyState);
  device = plat::input::Keyboard::Create(*input);
  if (!device) {
    input = nullptr;
    return false;
  }
  device->SetCooperativeLevel(cooperativeFlags);
  // Not having the focus yet is no failure: the frame's poll acquires again.
  device->Acquire();
  return true;
}

void CKeyboardInput::Release() {
  input = nullptr;
  if (device) {
    device->Unacquire();
    device.reset();
  }
}

bool CKeyboardInput::ReadState() {
  if (!HasDevice()) return false;
  return device->GetState(sizeof keyState, keyState) == plat::input::KeyResult::Ok;
}

bool CKeyboardInput::Acquire() {
  if (!HasDevice()) return false;
  return device->Acquire() == plat::input::KeyResult::Ok;
}

void CKeyboardInput::Poll() {
  if (!HasDevice()) return;
  if (ReadState()) return;
  std::memset(keyState, 0, sizeof keyState);
  Acquire();
}

uint32_t CPadInput::GetState() {
  state = SPadState();
  return plat::input::GetPadState(userIndex, &state);
}

void CPadInput::Poll() {
  if (userIndex < 0) return;
  if (GetState() != plat::input::kPadOk) GetState();
}

uint32_t CPadInput::SetMotors(uint16_t left, uint16_t right) {
  return plat::input::SetPadMotors(userIndex, left, right);
}

}  // namespace vd
