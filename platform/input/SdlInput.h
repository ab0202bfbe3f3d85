#pragma once
// The SDL back end: the window thread feeds it and the logic thread reads it.
//
// What the window (render) thread must do, on the thread that owns SDL video:
//   InitWindowThread()      once, after the window exists: opens the game-controller
//                           subsystem and installs an SDL event watch, so every event
//                           that the window's pump takes is seen here as well;
//   ServiceWindowThread()   once per pass of its loop: opens pads that arrived, closes
//                           those that left, publishes their states and applies the
//                           motor speeds the logic thread asked for;
//   ShutdownWindowThread()  before the window goes: stops rumble, closes the pads.
// HandleSdlEvent is what the watch calls; a pump that does not use the watch (for
// example one driven by a test) may call it directly instead.
#include <SDL_events.h>
#include <SDL_gamecontroller.h>

#include <cstdint>
#include <mutex>
#include <string>

#include "platform/input/Input.h"

namespace plat {
namespace input {

bool InitWindowThread(std::string* error = nullptr);
void HandleSdlEvent(const SDL_Event& event);
void ServiceWindowThread();
void ShutdownWindowThread();

// The state the SDL back end publishes, kept apart from SDL itself so that tests can
// drive it with plain values. Pads take the lowest free user index when they arrive.
class SdlBackend : public Backend {
public:
  bool HasKeyboard() const override { return true; }
  // A key pressed since the last read reads as down even when it is up again.
  bool ReadKeys(uint8_t keys[kKeyCount], uint64_t* focusSerial) override;
  bool HasFocus(uint64_t* focusSerial) override;
  uint32_t GetPadState(int userIndex, PadState* state) override;
  uint32_t SetPadMotors(int userIndex, uint16_t left, uint16_t right) override;

  // Window-thread side (SDL values: scancodes, controller buttons and axes).
  void OnKey(int scancode, bool down);
  // The focus starts as held: some drivers never report that the window got it.
  void OnFocus(bool gained);
  // A new pad by its joystick instance id; returns its user index or -1 when all
  // four are taken (or the id is already attached).
  int AttachPad(int32_t instanceId, SDL_GameController* controller);
  // Returns the controller that was attached under that id (null if none).
  SDL_GameController* DetachPad(int32_t instanceId);
  // The pad's new reading (packet number ignored: it is bumped when the rest
  // differs from the last reading).
  void PublishPad(int32_t instanceId, const PadState& state);
  bool HasPad(int32_t instanceId);

  // A motor change waiting to be applied to a pad.
  struct MotorRequest {
    SDL_GameController* controller = nullptr;
    uint16_t left = 0, right = 0;
  };
  // Takes the pending motor change of a user index; false when there is none.
  bool TakeMotorRequest(int userIndex, MotorRequest* request);
  struct AttachedPad {
    int userIndex = -1;
    int32_t instanceId = -1;
    SDL_GameController* controller = nullptr;
  };
  // The attached pads; returns how many were written (at most kMaxPads).
  int ListPads(AttachedPad out[kMaxPads]);
  // Back to the first state (no keys, focus held, no pads).
  void Reset();

private:
  struct Pad {
    bool connected = false;
    int32_t instanceId = -1;
    SDL_GameController* controller = nullptr;
    PadState state;
    uint16_t left = 0, right = 0;
    bool motorsPending = false;
  };
  Pad* FindPad(int32_t instanceId);

  std::mutex m_mutex;
  uint8_t m_keys[kKeyCount] = {};
  // Keys that went down since the last ReadKeys.
  uint8_t m_pressed[kKeyCount] = {};
  bool m_focused = true;
  uint64_t m_focusSerial = 0;
  Pad m_pads[kMaxPads];
};

// An XInput-style reading from SDL controller values: buttons indexed by
// SDL_GameControllerButton, axes by SDL_GameControllerAxis (sticks with Y down,
// triggers 0..32767).
PadState PadStateFromSdl(const bool buttons[SDL_CONTROLLER_BUTTON_MAX],
                         const int16_t axes[SDL_CONTROLLER_AXIS_MAX]);

// The one SDL back end of the process (what GetBackend gives by default).
SdlBackend& GetSdlBackend();

}  // namespace input
}  // namespace plat
