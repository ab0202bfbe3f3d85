#pragma once
// The input manager: turns the keyboard and one pad into 29 numbered actions that the
// game reads (down this frame, down last frame, hold time, analogue value), the
// movement and four-way directions derived from them, and pad vibration on shakes.
#include <cstdint>

#include "engine/core/Singleton.h"
#include "engine/core/StringHash.h"
#include "engine/events/Event.h"
#include "engine/events/EventManager.h"
#include "engine/input/KeyboardInput.h"
#include "platform/math/Vector.h"

namespace vd {

// One action record. down: down in this update; wasDown: down in the previous one.
struct SInputAction {
  uint8_t down = 0;
  uint8_t wasDown = 0;
  float holdTime = 0.0f;  // seconds, counted from the update after the press
  float value = 0.0f;
};

class CInputManager : public utl::CSingleton<CInputManager>, public evn::IEventListener {
public:
  // The action slots.
  enum EInputAction : int {
    Quit = 0,         // Left Alt + F4
    Pause,            // Escape; START
    MoveForward,      // W; left stick up, D-pad up
    MoveRight,        // D; left stick right, D-pad right
    MoveBack,         // S; left stick down, D-pad down
    MoveLeft,         // A; left stick left, D-pad left
    DirForward,       // Left Ctrl + W; right stick up
    DirRight,         // Left Ctrl + D; right stick right
    DirBack,          // Left Ctrl + S; right stick down
    DirLeft,          // Left Ctrl + A; right stick left
    AttackX,          // J; X
    AttackY,          // I; Y
    Use,              // K; A
    SpecialGas,       // U; left trigger
    SpecialGrenade,   // O; right trigger
    Shift,            // Left Shift
    AutoAttack1,      // Left Shift + J; right shoulder + X
    AutoAttack2,      // Left Shift + I; right shoulder + Y
    Cover,            // Space; left shoulder
    Fatality,         // L; B
    MenuUp,           // Up arrow
    MenuRight,        // Right arrow
    MenuDown,         // Down arrow
    MenuLeft,         // Left arrow
    MenuAccept,       // Numpad Enter; A
    MenuEnter,        // Return
    MenuEscape,       // Escape; BACK
    MenuBack,         // Backspace; B
    Digit0,           // 0 on the main keyboard
  };
  static constexpr int kActionCount = 29;

  // Stick dead zones: inside them (on both axes at once) a stick reads as centred.
  static constexpr int kLeftStickDeadZone = 7849;
  static constexpr int kRightStickDeadZone = 8689;
  static constexpr uint16_t kMaxMotorSpeed = 65535;
  // Shake power that drives the motor at full speed.
  static constexpr float kFullShakePower = 5.0f;

  // The application's two device records; the manager reads them, never owns them.
  // Becomes the singleton instance.
  CInputManager(CKeyboardInput* keyboard, CPadInput* pad);
  ~CInputManager() override;
  CInputManager(const CInputManager&) = delete;
  CInputManager& operator=(const CInputManager&) = delete;

  // "OnShake": vibrates the pad (see Shake).
  void HandleEvent(evn::IEvent* event) override;

  // Clears the keyboard and pad blocks and the timers and listens to "OnShake" at
  // the given event manager; without one, at the process's event manager (the
  // application's). Calling it again does not subscribe twice.
  bool Init();
  bool Init(evn::CEventManager* events);
  // Once a frame, after the application has polled the devices.
  void Update(float dt);

  // Went down / up in this update. A slot outside 0..28 is neither.
  bool IsPressed(int slot) const;
  bool IsReleased(int slot) const;
  // The merged record of a slot; a cleared record for a slot outside 0..28.
  const SInputAction& GetAction(int slot) const;

  // The move direction on the ground for a camera yaw (radians): unit length, or
  // zero when the move slots cancel out.
  plat::Vec3 GetMoveDirection(float yaw) const;
  // The strongest of the four direction slots as a unit vector.
  plat::Vec3 GetFourWayDirection(float yaw) const;

  // Reads the pad (into the pad record) and tells whether it answered.
  bool IsPadConnected();

  // What an "OnShake" does: when the pad answers, runs the left motor at a speed
  // from the power (5 or more is full speed) for `duration` seconds.
  void Shake(float power, float duration);
  // The left motor speed for a shake power.
  static uint16_t MotorSpeedForPower(float power);

  float GetFrameTime() const { return m_frameTime; }
  float GetVibrationTime() const { return m_vibrationTime; }

  // Merged view (what every reader uses), then the two device blocks.
  SInputAction actions[kActionCount];
  SInputAction keyboardActions[kActionCount];
  SInputAction padActions[kActionCount];

private:
  void ShiftBlock(SInputAction* block);
  void TurnOn(SInputAction& action, float value);
  void TurnOff(SInputAction& action);
  void MapKeyboard();
  void MapPad();
  void Merge();

  CKeyboardInput* m_keyboard;
  CPadInput* m_pad;
  float m_frameTime = 0.0f;
  float m_vibrationTime = 0.0f;
};

}  // namespace vd
