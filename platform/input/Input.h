#pragma once
// Keyboard and pad as the game reads them: a 256-byte key snapshot that a keyboard
// device hands out while it is acquired, and XInput-style pads read by user index
// (0 to 3) with two rumble motors.
//
// The snapshot and the pad states are produced elsewhere (the window thread for the
// SDL back end, the test for the scripted one) and only copied out here, so the game
// logic thread never calls SDL. Which back end answers is chosen per process with
// SetBackend; a keyboard device keeps the back end it was created on.
#include <cstdint>
#include <memory>

#include "platform/input/KeyCodes.h"

namespace plat {
namespace input {

// Results of the pad calls (Win32 error codes, as XInput gives them).
constexpr uint32_t kPadOk = 0;
constexpr uint32_t kPadBadArguments = 160;
constexpr uint32_t kPadNotConnected = 1167;

constexpr int kMaxPads = 4;

// Pad buttons, in XInput's bit layout.
constexpr uint16_t kPadDpadUp = 0x0001;
constexpr uint16_t kPadDpadDown = 0x0002;
constexpr uint16_t kPadDpadLeft = 0x0004;
constexpr uint16_t kPadDpadRight = 0x0008;
constexpr uint16_t kPadStart = 0x0010;
constexpr uint16_t kPadBack = 0x0020;
constexpr uint16_t kPadLeftThumb = 0x0040;
constexpr uint16_t kPadRightThumb = 0x0080;
constexpr uint16_t kPadLeftShoulder = 0x0100;
constexpr uint16_t kPadRightShoulder = 0x0200;
constexpr uint16_t kPadA = 0x1000;
constexpr uint16_t kPadB = 0x2000;
constexpr uint16_t kPadX = 0x4000;
constexpr uint16_t kPadY = 0x8000;

// One pad reading: triggers 0-255, sticks -32768..32767 with Y up. The packet
// number changes whenever anything else does.
struct PadState {
  uint32_t packetNumber = 0;
  uint16_t buttons = 0;
  uint8_t leftTrigger = 0;
  uint8_t rightTrigger = 0;
  int16_t thumbLX = 0;
  int16_t thumbLY = 0;
  int16_t thumbRX = 0;
  int16_t thumbRY = 0;
};

// Results of the keyboard device calls.
enum class KeyResult {
  Ok,
  NotAcquired,    // read before Acquire, or after the device was unacquired
  InputLost,      // the window lost the focus since Acquire; acquire again
  OtherHasFocus,  // Acquire while the window does not have the focus
  BadArguments,   // a null buffer or a size other than 256
};

// Where the key snapshot and the pad states come from. All calls are thread-safe.
class Backend {
public:
  virtual ~Backend() = default;
  // False when the back end cannot give a keyboard at all.
  virtual bool HasKeyboard() const = 0;
  // Copies the 256-byte snapshot (the SDL back end's shows a key pressed since the
  // last read as down even when it is up again). Returns whether the window has the focus;
  // focusSerial is bumped every time the focus is lost.
  virtual bool ReadKeys(uint8_t keys[kKeyCount], uint64_t* focusSerial) = 0;
  virtual bool HasFocus(uint64_t* focusSerial) = 0;
  virtual uint32_t GetPadState(int userIndex, PadState* state) = 0;
  // Motor speeds 0-65535 (left: low frequency, right: high frequency). They hold
  // until the next call.
  virtual uint32_t SetPadMotors(int userIndex, uint16_t left, uint16_t right) = 0;
};

// The back end in use: the SDL one unless a test installed another.
Backend& GetBackend();
// Installs a back end (null: the SDL one again). The caller keeps it alive while it
// is installed and while keyboard devices created on it exist.
void SetBackend(Backend* backend);

// The keyboard device. Reading needs an acquired device; acquisition needs the
// focus and is lost whenever the focus goes.
class Keyboard {
public:
  // Null when the back end has no keyboard.
  static std::unique_ptr<Keyboard> Create(Backend& backend);

  // Cooperative flags are kept for the caller's record; the window owns the keyboard
  // either way.
  void SetCooperativeLevel(int flags) { m_cooperativeFlags = flags; }
  int CooperativeLevel() const { return m_cooperativeFlags; }
  KeyResult Acquire();
  void Unacquire() { m_acquired = false; }
  bool Acquired() const { return m_acquired; }
  // Fills `data` (size must be 256) with the snapshot; on failure `data` is left
  // as it was.
  KeyResult GetState(uint32_t size, uint8_t* data);

private:
  explicit Keyboard(Backend& backend) : m_backend(backend) {}
  Backend& m_backend;
  uint64_t m_focusSerial = 0;
  int m_cooperativeFlags = 0;
  bool m_acquired = false;
};

// XInputGetState / XInputSetState on the installed back end.
uint32_t GetPadState(int userIndex, PadState* state);
uint32_t SetPadMotors(int userIndex, uint16_t left, uint16_t right);

}  // namespace input
}  // namespace plat
