#pragma once
// The test back end: the test sets which keys are down, the focus and the pad states
// frame by frame, makes reads fail on purpose and reads back the motor speeds.
#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <vector>

#include "platform/input/Input.h"

namespace plat {
namespace input {

class ScriptedBackend : public Backend {
public:
  bool HasKeyboard() const override;
  bool ReadKeys(uint8_t keys[kKeyCount], uint64_t* focusSerial) override;
  bool HasFocus(uint64_t* focusSerial) override;
  uint32_t GetPadState(int userIndex, PadState* state) override;
  uint32_t SetPadMotors(int userIndex, uint16_t left, uint16_t right) override;

  // Keys.
  void SetKey(uint8_t code, bool down);
  // Exactly these keys down, all others up.
  void SetKeys(std::initializer_list<uint8_t> codes);
  void ReleaseAllKeys();
  // Losing the focus releases every key, as the window would.
  void SetFocus(bool focused);
  void SetHasKeyboard(bool has);

  // Pads. A pad set with SetPad is connected; the packet number is bumped for it.
  void SetPad(int userIndex, const PadState& state);
  void DisconnectPad(int userIndex);
  // The next `count` pad reads answer "not connected" whatever the pad does.
  void FailPadReads(int count);
  int PadReads() const;

  struct MotorCall {
    int userIndex;
    uint16_t left, right;
  };
  std::vector<MotorCall> MotorCalls() const;
  void ClearMotorCalls();

private:
  mutable std::mutex m_mutex;
  uint8_t m_keys[kKeyCount] = {};
  bool m_focused = true;
  bool m_hasKeyboard = true;
  uint64_t m_focusSerial = 0;
  bool m_padConnected[kMaxPads] = {};
  PadState m_pads[kMaxPads];
  int m_failPadReads = 0;
  int m_padReads = 0;
  std::vector<MotorCall> m_motorCalls;
};

// Installs a scripted back end for the life of the object.
class ScopedScriptedInput {
public:
  ScopedScriptedInput() { SetBackend(&backend); }
  ~ScopedScriptedInput() { SetBackend(nullptr); }
  ScopedScriptedInput(const ScopedScriptedInput&) = delete;
  ScopedScriptedInput& operator=(const ScopedScriptedInput&) = delete;
  ScriptedBackend backend;
};

}  // namespace input
}  // namespace plat
