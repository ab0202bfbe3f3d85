#pragma once
// Placeholder until the input manager lands: the keyboard device start-up opens and
// the pad state the application keeps.
#include <cstdint>

namespace vd {

class CKeyboardInput {
public:
  // flags: 5 exclusive and foreground (full screen), 6 non-exclusive and foreground.
  bool Init(int cooperativeFlags) {
    this->cooperativeFlags = cooperativeFlags;
    return true;
  }
  void Release() {}

  int cooperativeFlags = 0;
};

struct SPadState {
  uint32_t packetNumber = 0;
  uint16_t buttons = 0;
  uint8_t leftTrigger = 0, rightTrigger = 0;
  int16_t thumbLX = 0, thumbLY = 0, thumbRX = 0, thumbRY = 0;
};

}  // namespace vd
