#include "platform/input/Input.h"

#include <atomic>
#include <cstring>

#include "platform/input/SdlInput.h"

namespace plat {
namespace input {

namespace {
std::atomic<Backend*> g_backend{nullptr};
}  // namespace

Backend& GetBackend() {
  Backend* backend = g_backend.load();
  return backend ? *backend : GetSdlBackend();
}

void SetBackend(Backend* backend) { g_backend = backend; }

std::unique_ptr<Keyboard> Keyboard::Create(Backend& backend) {
  if (!backend.HasKeyboard()) return nullptr;
  return std::unique_ptr<Keyboard>(new Keyboard(backend));
}

KeyResult Keyboard::Acquire() {
  uint64_t serial = 0;
  if (!m_backend.HasFocus(&serial)) {
    m_acquired = false;
    return KeyResult::OtherHasFocus;
  }
  // Acquiring again while acquired keeps the old focus serial: a focus lost in
  // between must still be reported by the next read.
  if (!m_acquired) {
    m_acquired = true;
    m_focusSerial = serial;
  }
  return KeyResult::Ok;
}

KeyResult Keyboard::GetState(uint32_t size, uint8_t* data) {
  if (!data || size != static_cast<uint32_t>(kKeyCount)) return KeyResult::BadArguments;
  if (!m_acquired) return KeyResult::NotAcquired;
  uint8_t keys[kKeyCount];
  uint64_t serial = 0;
  const bool focused = m_backend.ReadKeys(keys, &serial);
  if (!focused || serial != m_focusSerial) {
    m_acquired = false;
    return KeyResult::InputLost;
  }
  std::memcpy(data, keys, sizeof keys);
  return KeyResult::Ok;
}

uint32_t GetPadState(int userIndex, PadState* state) {
  return GetBackend().GetPadState(userIndex, state);
}

uint32_t SetPadMotors(int userIndex, uint16_t left, uint16_t right) {
  return GetBackend().SetPadMotors(userIndex, left, right);
}

}  // namespace input
}  // namespace plat
