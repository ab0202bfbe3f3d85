#include "platform/input/ScriptedInput.h"

#include <cstring>

namespace plat {
namespace input {

namespace {
bool ValidIndex(int userIndex) { return userIndex >= 0 && userIndex < kMaxPads; }
}  // namespace

bool ScriptedBackend::HasKeyboard() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_hasKeyboard;
}

bool ScriptedBackend::ReadKeys(uint8_t keys[kKeyCount], uint64_t* focusSerial) {
  std::lock_guard<std::mutex> lock(m_mutex);
  std::memcpy(keys, m_keys, kKeyCount);
  if (focusSerial) *focusSerial = m_focusSerial;
  return m_focused;
}

bool ScriptedBackend::HasFocus(uint64_t* focusSerial) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (focusSerial) *focusSerial = m_focusSerial;
  return m_focused;
}

uint32_t ScriptedBackend::GetPadState(int userIndex, PadState* state) {
  std::lock_guard<std::mutex> lock(m_mutex);
  ++m_padReads;
  if (!ValidIndex(userIndex) || !state) return kPadBadArguments;
  if (m_failPadReads > 0) {
    --m_failPadReads;
    return kPadNotConnected;
  }
  if (!m_padConnected[userIndex]) return kPadNotConnected;
  *state = m_pads[userIndex];
  return kPadOk;
}

uint32_t ScriptedBackend::SetPadMotors(int userIndex, uint16_t left, uint16_t right) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (!ValidIndex(userIndex)) return kPadBadArguments;
  if (!m_padConnected[userIndex]) return kPadNotConnected;
  m_motorCalls.push_back({userIndex, left, right});
  return kPadOk;
}

void ScriptedBackend::SetKey(uint8_t code, bool down) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_keys[code] = down ? kKeyDownBit : 0;
}

void ScriptedBackend::SetKeys(std::initializer_list<uint8_t> codes) {
  std::lock_guard<std::mutex> lock(m_mutex);
  std::memset(m_keys, 0, sizeof m_keys);
  for (uint8_t code : codes) m_keys[code] = kKeyDownBit;
}

void ScriptedBackend::ReleaseAllKeys() {
  std::lock_guard<std::mutex> lock(m_mutex);
  std::memset(m_keys, 0, sizeof m_keys);
}

void ScriptedBackend::SetFocus(bool focused) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_focused && !focused) {
    ++m_focusSerial;
    std::memset(m_keys, 0, sizeof m_keys);
  }
  m_focused = focused;
}

void ScriptedBackend::SetHasKeyboard(bool has) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_hasKeyboard = has;
}

void ScriptedBackend::SetPad(int userIndex, const PadState& state) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (!ValidIndex(userIndex)) return;
  const uint32_t packet = m_pads[userIndex].packetNumber + 1;
  m_pads[userIndex] = state;
  m_pads[userIndex].packetNumber = packet;
  m_padConnected[userIndex] = true;
}

void ScriptedBackend::DisconnectPad(int userIndex) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (ValidIndex(userIndex)) m_padConnected[userIndex] = false;
}

void ScriptedBackend::FailPadReads(int count) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_failPadReads = count;
}

int ScriptedBackend::PadReads() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_padReads;
}

std::vector<ScriptedBackend::MotorCall> ScriptedBackend::MotorCalls() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_motorCalls;
}

void ScriptedBackend::ClearMotorCalls() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_motorCalls.clear();
}

}  // namespace input
}  // namespace plat
