#pragma once
// The two device records the application keeps and polls once a frame before the
// input manager's update: the keyboard (a 256-byte key state, one byte per key code,
// bit 7 set while the key is down) and the pad (an XInput-style state read by user
// index, with a vibrating flag).
#include <cstdint>
#include <memory>

#include "platform/input/Input.h"

namespace vd {

using SPadState = plat::input::PadState;

class CKeyboardInput {
public:
  CKeyboardInput() = default;
  ~CKeyboardInput() { Release(); }
  CKeyboardInput(const CKeyboardInput&) = delete;
  CKeyboardInput& operator=(const CKeyboardInput&) = delete;

  // Releases what an earlier call made, then opens the keyboard of the current
  // input back end and tries to acquire it. flags: 5 exclusive and foreground (full
  // screen), 6 non-exclusive and foreground. False when there is no keyboard.
  bool Init(int cooperativeFlags);
  void Release();

  // Both the input interface and the keyboard device exist.
  bool HasDevice() const { return input != nullptr && device != nullptr; }
  // GetDeviceState into keyState; false (buffer untouched) while the device is not
  // acquired or has lost the focus.
  bool ReadState();
  bool Acquire();
  // The frame's poll: read the state; when that fails, clear the buffer and acquire
  // the device again (the keys then read as up until the next frame).
  void Poll();

  bool IsKeyDown(uint8_t code) const { return (keyState[code] & plat::input::kKeyDownBit) != 0; }

  plat::input::Backend* input = nullptr;
  int cooperativeFlags = 0;  // as given to Init
  std::unique_ptr<plat::input::Keyboard> device;
  uint8_t keyState[plat::input::kKeyCount] = {};
};

class CPadInput {
public:
  // XInputGetState for the user index into `state` (cleared first). 0 on success,
  // plat::input::kPadNotConnected or kPadBadArguments otherwise.
  uint32_t GetState();
  // The frame's poll: when the index is not negative, read the state and, when that
  // fails, clear it and read once more.
  void Poll();
  // XInputSetState with both motor speeds.
  uint32_t SetMotors(uint16_t left, uint16_t right);

  SPadState state;
  int userIndex = -1;     // negative: the pad is switched off
  uint8_t vibrating = 0;
};

}  // namespace vd
