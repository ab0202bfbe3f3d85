#include "platform/input/SdlInput.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>

namespace plat {
namespace input {

namespace {

bool ValidIndex(int userIndex) { return userIndex >= 0 && userIndex < kMaxPads; }

bool SamePadReading(const PadState& a, const PadState& b) {
  return a.buttons == b.buttons && a.leftTrigger == b.leftTrigger &&
         a.rightTrigger == b.rightTrigger && a.thumbLX == b.thumbLX && a.thumbLY == b.thumbLY &&
         a.thumbRX == b.thumbRX && a.thumbRY == b.thumbRY;
}

// SDL's sticks grow downwards; XInput's grow upwards, and -32768 has no positive twin.
int16_t FlipStick(int16_t value) { return static_cast<int16_t>(std::min(32767, -int(value))); }

// Truncated, so that the faint noise of a resting trigger stays 0 (the game treats
// any non-zero trigger as pressed).
uint8_t TriggerByte(int16_t value) {
  const int v = std::max(0, int(value));
  return static_cast<uint8_t>(v * 255 / 32767);
}

constexpr uint16_t kButtonBits[SDL_CONTROLLER_BUTTON_MAX] = {
    kPadA,              // SDL_CONTROLLER_BUTTON_A
    kPadB,              // B
    kPadX,              // X
    kPadY,              // Y
    kPadBack,           // BACK
    0,                  // GUIDE: XInput does not report it
    kPadStart,          // START
    kPadLeftThumb,      // LEFTSTICK
    kPadRightThumb,     // RIGHTSTICK
    kPadLeftShoulder,   // LEFTSHOULDER
    kPadRightShoulder,  // RIGHTSHOULDER
    kPadDpadUp,         // DPAD_UP
    kPadDpadDown,       // DPAD_DOWN
    kPadDpadLeft,       // DPAD_LEFT
    kPadDpadRight,      // DPAD_RIGHT
};

// SDL caps one rumble request; motors that should keep running are asked again
// well before it runs out.
constexpr Uint32 kRumbleMs = 0xFFFF;
constexpr Uint64 kRumbleRenewMs = 30000;

// Window-thread bookkeeping of the motors last applied per user index.
struct AppliedMotors {
  SDL_GameController* controller = nullptr;
  uint16_t left = 0, right = 0;
  Uint64 when = 0;
};
AppliedMotors g_applied[kMaxPads];

bool g_watchInstalled = false;
bool g_controllersUp = false;

int EventWatch(void*, SDL_Event* event) {
  if (event) HandleSdlEvent(*event);
  return 0;
}

void ApplyMotors(int userIndex, SDL_GameController* controller, uint16_t left, uint16_t right) {
  SDL_GameControllerRumble(controller, left, right, kRumbleMs);
  g_applied[userIndex] = {controller, left, right, SDL_GetTicks64()};
}

}  // namespace

PadState PadStateFromSdl(const bool buttons[SDL_CONTROLLER_BUTTON_MAX],
                         const int16_t axes[SDL_CONTROLLER_AXIS_MAX]) {
  PadState state;
  for (int b = 0; b < SDL_CONTROLLER_BUTTON_MAX; ++b)
    if (buttons[b]) state.buttons |= kButtonBits[b];
  state.thumbLX = axes[SDL_CONTROLLER_AXIS_LEFTX];
  state.thumbLY = FlipStick(axes[SDL_CONTROLLER_AXIS_LEFTY]);
  state.thumbRX = axes[SDL_CONTROLLER_AXIS_RIGHTX];
  state.thumbRY = FlipStick(axes[SDL_CONTROLLER_AXIS_RIGHTY]);
  state.leftTrigger = TriggerByte(axes[SDL_CONTROLLER_AXIS_TRIGGERLEFT]);
  state.rightTrigger = TriggerByte(axes[SDL_CONTROLLER_AXIS_TRIGGERRIGHT]);
  return state;
}

// ---- SdlBackend: published state ----

bool SdlBackend::ReadKeys(uint8_t keys[kKeyCount], uint64_t* focusSerial) {
  std::lock_guard<std::mutex> lock(m_mutex);
  // A key tapped and released since the last read reads as down this once: the
  // game polls once a frame, and a busy frame must not lose a key press.
  for (int i = 0; i < kKeyCount; ++i) keys[i] = m_keys[i] | m_pressed[i];
  std::memset(m_pressed, 0, sizeof m_pressed);
  if (focusSerial) *focusSerial = m_focusSerial;
  return m_focused;
}

bool SdlBackend::HasFocus(uint64_t* focusSerial) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (focusSerial) *focusSerial = m_focusSerial;
  return m_focused;
}

uint32_t SdlBackend::GetPadState(int userIndex, PadState* state) {
  if (!ValidIndex(userIndex) || !state) return kPadBadArguments;
  std::lock_guard<std::mutex> lock(m_mutex);
  if (!m_pads[userIndex].connected) return kPadNotConnected;
  *state = m_pads[userIndex].state;
  return kPadOk;
}

uint32_t SdlBackend::SetPadMotors(int userIndex, uint16_t left, uint16_t right) {
  if (!ValidIndex(userIndex)) return kPadBadArguments;
  std::lock_guard<std::mutex> lock(m_mutex);
  Pad& pad = m_pads[userIndex];
  if (!pad.connected) return kPadNotConnected;
  pad.left = left;
  pad.right = right;
  pad.motorsPending = true;
  return kPadOk;
}

void SdlBackend::OnKey(int scancode, bool down) {
  const uint8_t key = KeyCodeFromScancode(scancode);
  if (key == 0) return;
  std::lock_guard<std::mutex> lock(m_mutex);
  m_keys[key] = down ? kKeyDownBit : 0;
  if (down) m_pressed[key] = kKeyDownBit;
}

void SdlBackend::OnFocus(bool gained) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (!gained && m_focused) {
    // Keys released while another window has the focus never reach us.
    ++m_focusSerial;
    std::memset(m_keys, 0, sizeof m_keys);
    std::memset(m_pressed, 0, sizeof m_pressed);
  }
  m_focused = gained;
}

SdlBackend::Pad* SdlBackend::FindPad(int32_t instanceId) {
  for (Pad& pad : m_pads)
    if (pad.connected && pad.instanceId == instanceId) return &pad;
  return nullptr;
}

int SdlBackend::AttachPad(int32_t instanceId, SDL_GameController* controller) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (FindPad(instanceId)) return -1;
  for (int i = 0; i < kMaxPads; ++i) {
    Pad& pad = m_pads[i];
    if (pad.connected) continue;
    const uint32_t packet = pad.state.packetNumber;
    pad = Pad();
    pad.connected = true;
    pad.instanceId = instanceId;
    pad.controller = controller;
    pad.state.packetNumber = packet + 1;
    return i;
  }
  return -1;
}

SDL_GameController* SdlBackend::DetachPad(int32_t instanceId) {
  std::lock_guard<std::mutex> lock(m_mutex);
  Pad* pad = FindPad(instanceId);
  if (!pad) return nullptr;
  SDL_GameController* controller = pad->controller;
  pad->connected = false;
  pad->controller = nullptr;
  pad->motorsPending = false;
  return controller;
}

void SdlBackend::PublishPad(int32_t instanceId, const PadState& state) {
  std::lock_guard<std::mutex> lock(m_mutex);
  Pad* pad = FindPad(instanceId);
  if (!pad || SamePadReading(pad->state, state)) return;
  const uint32_t packet = pad->state.packetNumber + 1;
  pad->state = state;
  pad->state.packetNumber = packet;
}

bool SdlBackend::HasPad(int32_t instanceId) {
  std::lock_guard<std::mutex> lock(m_mutex);
  return FindPad(instanceId) != nullptr;
}

bool SdlBackend::TakeMotorRequest(int userIndex, MotorRequest* request) {
  if (!ValidIndex(userIndex) || !request) return false;
  std::lock_guard<std::mutex> lock(m_mutex);
  Pad& pad = m_pads[userIndex];
  if (!pad.connected || !pad.motorsPending) return false;
  pad.motorsPending = false;
  request->controller = pad.controller;
  request->left = pad.left;
  request->right = pad.right;
  return true;
}

int SdlBackend::ListPads(AttachedPad out[kMaxPads]) {
  std::lock_guard<std::mutex> lock(m_mutex);
  int n = 0;
  for (int i = 0; i < kMaxPads; ++i) {
    const Pad& pad = m_pads[i];
    if (pad.connected) out[n++] = {i, pad.instanceId, pad.controller};
  }
  return n;
}

void SdlBackend::Reset() {
  std::lock_guard<std::mutex> lock(m_mutex);
  std::memset(m_keys, 0, sizeof m_keys);
  std::memset(m_pressed, 0, sizeof m_pressed);
  m_focused = true;
  m_focusSerial = 0;
  for (Pad& pad : m_pads) pad = Pad();
}

SdlBackend& GetSdlBackend() {
  static SdlBackend backend;
  return backend;
}

// ---- window thread ----

void HandleSdlEvent(const SDL_Event& event) {
  SdlBackend& backend = GetSdlBackend();
  switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      backend.OnKey(event.key.keysym.scancode, event.type == SDL_KEYDOWN);
      break;
    case SDL_WINDOWEVENT:
      if (event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED)
        backend.OnFocus(true);
      else if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST)
        backend.OnFocus(false);
      break;
    default:
      break;
  }
}

bool InitWindowThread(std::string* error) {
  if (!g_watchInstalled) {
    SDL_AddEventWatch(EventWatch, nullptr);
    g_watchInstalled = true;
  }
  if (!g_controllersUp) {
    // A pad answers whether or not the window holds the focus, as XInput does; SDL
    // would otherwise drop every pad change while the window is in the background,
    // and a window that never gets the focus (a headless one) would see none at all.
    // The environment may still say otherwise.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    // Without pads the keyboard still works: report, but keep the watch.
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
      if (error) *error = std::string("game controllers could not start: ") + SDL_GetError();
      return false;
    }
    g_controllersUp = true;
  }
  ServiceWindowThread();
  return true;
}

void ServiceWindowThread() {
  if (!g_controllersUp) return;
  SdlBackend& backend = GetSdlBackend();
  SDL_GameControllerUpdate();

  SdlBackend::AttachedPad pads[kMaxPads];
  int count = backend.ListPads(pads);
  for (int i = 0; i < count; ++i) {
    if (pads[i].controller && SDL_GameControllerGetAttached(pads[i].controller)) continue;
    backend.DetachPad(pads[i].instanceId);
    if (pads[i].controller) SDL_GameControllerClose(pads[i].controller);
    g_applied[pads[i].userIndex] = AppliedMotors();
  }

  // New pads, while a user index is free (a fifth pad would be opened and closed
  // again on every pass otherwise).
  for (int i = 0; backend.ListPads(pads) < kMaxPads && i < SDL_NumJoysticks(); ++i) {
    if (!SDL_IsGameController(i)) continue;
    const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(i);
    if (id < 0 || backend.HasPad(id)) continue;
    SDL_GameController* controller = SDL_GameControllerOpen(i);
    if (!controller) continue;
    if (backend.AttachPad(id, controller) < 0) SDL_GameControllerClose(controller);
  }

  const Uint64 now = SDL_GetTicks64();
  count = backend.ListPads(pads);
  for (int i = 0; i < count; ++i) {
    SDL_GameController* controller = pads[i].controller;
    bool buttons[SDL_CONTROLLER_BUTTON_MAX];
    int16_t axes[SDL_CONTROLLER_AXIS_MAX];
    for (int b = 0; b < SDL_CONTROLLER_BUTTON_MAX; ++b)
      buttons[b] = SDL_GameControllerGetButton(controller, SDL_GameControllerButton(b)) != 0;
    for (int a = 0; a < SDL_CONTROLLER_AXIS_MAX; ++a)
      axes[a] = SDL_GameControllerGetAxis(controller, SDL_GameControllerAxis(a));
    backend.PublishPad(pads[i].instanceId, PadStateFromSdl(buttons, axes));

    const int user = pads[i].userIndex;
    SdlBackend::MotorRequest request;
    if (backend.TakeMotorRequest(user, &request)) {
      ApplyMotors(user, controller, request.left, request.right);
    } else {
      const AppliedMotors& applied = g_applied[user];
      if (applied.controller == controller && (applied.left || applied.right) &&
          now - applied.when > kRumbleRenewMs)
        ApplyMotors(user, controller, applied.left, applied.right);
    }
  }
}

void ShutdownWindowThread() {
  SdlBackend& backend = GetSdlBackend();
  SdlBackend::AttachedPad pads[kMaxPads];
  const int count = backend.ListPads(pads);
  for (int i = 0; i < count; ++i) {
    backend.DetachPad(pads[i].instanceId);
    if (!pads[i].controller) continue;
    SDL_GameControllerRumble(pads[i].controller, 0, 0, 0);
    SDL_GameControllerClose(pads[i].controller);
  }
  for (AppliedMotors& applied : g_applied) applied = AppliedMotors();
  if (g_watchInstalled) {
    SDL_DelEventWatch(EventWatch, nullptr);
    g_watchInstalled = false;
  }
  if (g_controllersUp) {
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    g_controllersUp = false;
  }
  backend.Reset();
}

}  // namespace input
}  // namespace plat
