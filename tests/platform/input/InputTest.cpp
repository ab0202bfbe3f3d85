#include "platform/input/Input.h"

#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/input/KeyCodes.h"
#include "platform/input/ScriptedInput.h"
#include "platform/input/SdlInput.h"

namespace pi = plat::input;

namespace {

SDL_Event KeyEvent(SDL_Scancode scancode, bool down) {
  SDL_Event e;
  std::memset(&e, 0, sizeof e);
  e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  e.key.keysym.scancode = scancode;
  return e;
}

SDL_Event FocusEvent(bool gained) {
  SDL_Event e;
  std::memset(&e, 0, sizeof e);
  e.type = SDL_WINDOWEVENT;
  e.window.event = gained ? SDL_WINDOWEVENT_FOCUS_GAINED : SDL_WINDOWEVENT_FOCUS_LOST;
  return e;
}

class SdlBackendTest : public ::testing::Test {
protected:
  void SetUp() override { pi::GetSdlBackend().Reset(); }
  void TearDown() override { pi::GetSdlBackend().Reset(); }
};

}  // namespace

TEST(KeyCodes, ScancodesBecomeTheGameKeyCodes) {
  const struct {
    SDL_Scancode scancode;
    uint8_t code;
  } cases[] = {
      {SDL_SCANCODE_ESCAPE, 0x01},   {SDL_SCANCODE_0, 0x0B},     {SDL_SCANCODE_BACKSPACE, 0x0E},
      {SDL_SCANCODE_W, 0x11},        {SDL_SCANCODE_I, 0x17},     {SDL_SCANCODE_RETURN, 0x1C},
      {SDL_SCANCODE_LCTRL, 0x1D},    {SDL_SCANCODE_A, 0x1E},     {SDL_SCANCODE_S, 0x1F},
      {SDL_SCANCODE_D, 0x20},        {SDL_SCANCODE_J, 0x24},     {SDL_SCANCODE_LSHIFT, 0x2A},
      {SDL_SCANCODE_LALT, 0x38},     {SDL_SCANCODE_SPACE, 0x39}, {SDL_SCANCODE_F4, 0x3E},
      {SDL_SCANCODE_F11, 0x57},      {SDL_SCANCODE_KP_ENTER, 0x9C}, {SDL_SCANCODE_RCTRL, 0x9D},
      {SDL_SCANCODE_RALT, 0xB8},     {SDL_SCANCODE_UP, 0xC8},    {SDL_SCANCODE_LEFT, 0xCB},
      {SDL_SCANCODE_RIGHT, 0xCD},    {SDL_SCANCODE_DOWN, 0xD0},  {SDL_SCANCODE_DELETE, 0xD3},
  };
  for (const auto& c : cases)
    EXPECT_EQ(pi::KeyCodeFromScancode(c.scancode), c.code) << SDL_GetScancodeName(c.scancode);
  // Keys the table lacks and values outside SDL's range give no key.
  EXPECT_EQ(pi::KeyCodeFromScancode(SDL_SCANCODE_UNKNOWN), 0);
  EXPECT_EQ(pi::KeyCodeFromScancode(SDL_SCANCODE_AC_BOOKMARKS), 0);
  EXPECT_EQ(pi::KeyCodeFromScancode(-1), 0);
  EXPECT_EQ(pi::KeyCodeFromScancode(SDL_NUM_SCANCODES), 0);
}

TEST_F(SdlBackendTest, KeyEventsReachTheSnapshotOfAnAcquiredKeyboard) {
  auto keyboard = pi::Keyboard::Create(pi::GetSdlBackend());
  ASSERT_TRUE(keyboard);
  uint8_t keys[pi::kKeyCount];
  std::memset(keys, 0xAA, sizeof keys);
  EXPECT_EQ(keyboard->GetState(sizeof keys, keys), pi::KeyResult::NotAcquired);
  EXPECT_EQ(keys[0], 0xAA) << "a failed read leaves the buffer alone";

  ASSERT_EQ(keyboard->Acquire(), pi::KeyResult::Ok);
  pi::HandleSdlEvent(KeyEvent(SDL_SCANCODE_W, true));
  pi::HandleSdlEvent(KeyEvent(SDL_SCANCODE_KP_ENTER, true));
  ASSERT_EQ(keyboard->GetState(sizeof keys, keys), pi::KeyResult::Ok);
  EXPECT_EQ(keys[pi::kKeyW], pi::kKeyDownBit);
  EXPECT_EQ(keys[pi::kKeyNumpadEnter], pi::kKeyDownBit);
  EXPECT_EQ(keys[pi::kKeyReturn], 0);

  pi::HandleSdlEvent(KeyEvent(SDL_SCANCODE_W, false));
  ASSERT_EQ(keyboard->GetState(sizeof keys, keys), pi::KeyResult::Ok);
  EXPECT_EQ(keys[pi::kKeyW], 0);
  EXPECT_EQ(keys[pi::kKeyNumpadEnter], pi::kKeyDownBit);

  EXPECT_EQ(keyboard->GetState(255, keys), pi::KeyResult::BadArguments);
  EXPECT_EQ(keyboard->GetState(256, nullptr), pi::KeyResult::BadArguments);
}

TEST_F(SdlBackendTest, LosingTheFocusUnacquiresAndReleasesEveryKey) {
  auto keyboard = pi::Keyboard::Create(pi::GetSdlBackend());
  ASSERT_EQ(keyboard->Acquire(), pi::KeyResult::Ok);
  pi::HandleSdlEvent(KeyEvent(SDL_SCANCODE_J, true));

  pi::HandleSdlEvent(FocusEvent(false));
  uint8_t keys[pi::kKeyCount] = {};
  EXPECT_EQ(keyboard->GetState(sizeof keys, keys), pi::KeyResult::InputLost);
  EXPECT_FALSE(keyboard->Acquired());
  EXPECT_EQ(keyboard->Acquire(), pi::KeyResult::OtherHasFocus);

  // The focus came back before the next read: the read still reports the loss once.
  auto other = pi::Keyboard::Create(pi::GetSdlBackend());
  pi::HandleSdlEvent(FocusEvent(true));
  ASSERT_EQ(keyboard->Acquire(), pi::KeyResult::Ok);
  ASSERT_EQ(keyboard->GetState(sizeof keys, keys), pi::KeyResult::Ok);
  EXPECT_EQ(keys[pi::kKeyJ], 0) << "the key held when the focus went is up";

  ASSERT_EQ(other->Acquire(), pi::KeyResult::Ok);
  pi::HandleSdlEvent(FocusEvent(false));
  pi::HandleSdlEvent(FocusEvent(true));
  EXPECT_EQ(other->GetState(sizeof keys, keys), pi::KeyResult::InputLost);
  EXPECT_EQ(other->Acquire(), pi::KeyResult::Ok);
  EXPECT_EQ(other->GetState(sizeof keys, keys), pi::KeyResult::Ok);
}

TEST_F(SdlBackendTest, AKeyTappedBetweenTwoReadsReadsAsDownOnce) {
  auto keyboard = pi::Keyboard::Create(pi::GetSdlBackend());
  ASSERT_EQ(keyboard->Acquire(), pi::KeyResult::Ok);
  uint8_t keys[pi::kKeyCount] = {};
  ASSERT_EQ(keyboard->GetState(sizeof keys, keys), pi::KeyResult::Ok);
  pi::HandleSdlEvent(KeyEvent(SDL_SCANCODE_LALT, true));
  pi::HandleSdlEvent(KeyEvent(SDL_SCANCODE_F4, true));
  pi::HandleSdlEvent(KeyEvent(SDL_SCANCODE_F4, false));
  pi::HandleSdlEvent(KeyEvent(SDL_SCANCODE_LALT, false));
  ASSERT_EQ(keyboard->GetState(sizeof keys, keys), pi::KeyResult::Ok);
  EXPECT_EQ(keys[pi::kKeyLeftAlt], pi::kKeyDownBit);
  EXPECT_EQ(keys[pi::kKeyF4], pi::kKeyDownBit);
  ASSERT_EQ(keyboard->GetState(sizeof keys, keys), pi::KeyResult::Ok);
  EXPECT_EQ(keys[pi::kKeyLeftAlt], 0) << "the next read sees it up";
  EXPECT_EQ(keys[pi::kKeyF4], 0);

  // A tap before a lost focus is forgotten with the keys held.
  pi::HandleSdlEvent(KeyEvent(SDL_SCANCODE_J, true));
  pi::HandleSdlEvent(KeyEvent(SDL_SCANCODE_J, false));
  pi::HandleSdlEvent(FocusEvent(false));
  pi::HandleSdlEvent(FocusEvent(true));
  EXPECT_EQ(keyboard->GetState(sizeof keys, keys), pi::KeyResult::InputLost);
  ASSERT_EQ(keyboard->Acquire(), pi::KeyResult::Ok);
  ASSERT_EQ(keyboard->GetState(sizeof keys, keys), pi::KeyResult::Ok);
  EXPECT_EQ(keys[pi::kKeyJ], 0);
}

TEST_F(SdlBackendTest, PadsTakeFreeUserIndexesAndPublishReadings) {
  pi::SdlBackend& backend = pi::GetSdlBackend();
  pi::PadState state;
  EXPECT_EQ(pi::GetPadState(0, &state), pi::kPadNotConnected);
  EXPECT_EQ(pi::GetPadState(-1, &state), pi::kPadBadArguments);
  EXPECT_EQ(pi::GetPadState(pi::kMaxPads, &state), pi::kPadBadArguments);
  EXPECT_EQ(pi::GetPadState(0, nullptr), pi::kPadBadArguments);
  EXPECT_EQ(pi::SetPadMotors(0, 1, 1), pi::kPadNotConnected);

  EXPECT_EQ(backend.AttachPad(10, nullptr), 0);
  EXPECT_EQ(backend.AttachPad(10, nullptr), -1) << "attached twice";
  EXPECT_EQ(backend.AttachPad(11, nullptr), 1);
  ASSERT_EQ(pi::GetPadState(1, &state), pi::kPadOk);
  const uint32_t firstPacket = state.packetNumber;

  pi::PadState reading;
  reading.buttons = pi::kPadA;
  reading.thumbLY = 20000;
  backend.PublishPad(11, reading);
  ASSERT_EQ(pi::GetPadState(1, &state), pi::kPadOk);
  EXPECT_EQ(state.buttons, pi::kPadA);
  EXPECT_EQ(state.thumbLY, 20000);
  EXPECT_NE(state.packetNumber, firstPacket);
  const uint32_t packet = state.packetNumber;
  backend.PublishPad(11, reading);
  ASSERT_EQ(pi::GetPadState(1, &state), pi::kPadOk);
  EXPECT_EQ(state.packetNumber, packet) << "an unchanged reading keeps its packet number";

  // Motors: the request waits for the window thread, which takes it once.
  EXPECT_EQ(pi::SetPadMotors(1, 32767, 0), pi::kPadOk);
  pi::SdlBackend::MotorRequest request;
  ASSERT_TRUE(backend.TakeMotorRequest(1, &request));
  EXPECT_EQ(request.left, 32767);
  EXPECT_EQ(request.right, 0);
  EXPECT_FALSE(backend.TakeMotorRequest(1, &request));
  EXPECT_FALSE(backend.TakeMotorRequest(0, &request));

  // A pad that leaves frees its index for the next one.
  backend.DetachPad(10);
  EXPECT_EQ(pi::GetPadState(0, &state), pi::kPadNotConnected);
  EXPECT_EQ(backend.AttachPad(12, nullptr), 0);
  EXPECT_EQ(backend.AttachPad(13, nullptr), 2);
  EXPECT_EQ(backend.AttachPad(14, nullptr), 3);
  EXPECT_EQ(backend.AttachPad(15, nullptr), -1) << "four pads at most";
}

TEST(PadStateFromSdl, ButtonsAxesAndTriggersInXInputTerms) {
  bool buttons[SDL_CONTROLLER_BUTTON_MAX] = {};
  int16_t axes[SDL_CONTROLLER_AXIS_MAX] = {};
  const struct {
    SDL_GameControllerButton button;
    uint16_t bit;
  } map[] = {
      {SDL_CONTROLLER_BUTTON_A, pi::kPadA},
      {SDL_CONTROLLER_BUTTON_B, pi::kPadB},
      {SDL_CONTROLLER_BUTTON_X, pi::kPadX},
      {SDL_CONTROLLER_BUTTON_Y, pi::kPadY},
      {SDL_CONTROLLER_BUTTON_BACK, pi::kPadBack},
      {SDL_CONTROLLER_BUTTON_GUIDE, 0},
      {SDL_CONTROLLER_BUTTON_START, pi::kPadStart},
      {SDL_CONTROLLER_BUTTON_LEFTSTICK, pi::kPadLeftThumb},
      {SDL_CONTROLLER_BUTTON_RIGHTSTICK, pi::kPadRightThumb},
      {SDL_CONTROLLER_BUTTON_LEFTSHOULDER, pi::kPadLeftShoulder},
      {SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, pi::kPadRightShoulder},
      {SDL_CONTROLLER_BUTTON_DPAD_UP, pi::kPadDpadUp},
      {SDL_CONTROLLER_BUTTON_DPAD_DOWN, pi::kPadDpadDown},
      {SDL_CONTROLLER_BUTTON_DPAD_LEFT, pi::kPadDpadLeft},
      {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, pi::kPadDpadRight},
  };
  for (const auto& m : map) {
    bool one[SDL_CONTROLLER_BUTTON_MAX] = {};
    one[m.button] = true;
    EXPECT_EQ(pi::PadStateFromSdl(one, axes).buttons, m.bit) << int(m.button);
  }

  axes[SDL_CONTROLLER_AXIS_LEFTX] = 1000;
  axes[SDL_CONTROLLER_AXIS_LEFTY] = -32768;  // pushed fully up
  axes[SDL_CONTROLLER_AXIS_RIGHTX] = -32768;
  axes[SDL_CONTROLLER_AXIS_RIGHTY] = 32767;  // pushed fully down
  axes[SDL_CONTROLLER_AXIS_TRIGGERLEFT] = 32767;
  axes[SDL_CONTROLLER_AXIS_TRIGGERRIGHT] = 0;
  pi::PadState s = pi::PadStateFromSdl(buttons, axes);
  EXPECT_EQ(s.thumbLX, 1000);
  EXPECT_EQ(s.thumbLY, 32767);
  EXPECT_EQ(s.thumbRX, -32768);
  EXPECT_EQ(s.thumbRY, -32767);
  EXPECT_EQ(s.leftTrigger, 255);
  EXPECT_EQ(s.rightTrigger, 0);
  // The game takes any non-zero trigger as pressed: a resting trigger's noise must
  // read 0.
  axes[SDL_CONTROLLER_AXIS_TRIGGERLEFT] = 120;
  axes[SDL_CONTROLLER_AXIS_TRIGGERRIGHT] = -5;
  s = pi::PadStateFromSdl(buttons, axes);
  EXPECT_EQ(s.leftTrigger, 0);
  EXPECT_EQ(s.rightTrigger, 0);
  axes[SDL_CONTROLLER_AXIS_TRIGGERLEFT] = 16384;
  EXPECT_EQ(pi::PadStateFromSdl(buttons, axes).leftTrigger, 127);
}

TEST(ScriptedInput, PlaysKeysFocusAndPadsAndRecordsMotors) {
  pi::ScopedScriptedInput scripted;
  pi::ScriptedBackend& backend = scripted.backend;
  ASSERT_EQ(&pi::GetBackend(), &backend);

  auto keyboard = pi::Keyboard::Create(pi::GetBackend());
  ASSERT_EQ(keyboard->Acquire(), pi::KeyResult::Ok);
  backend.SetKeys({pi::kKeyW, pi::kKeyLeftCtrl});
  uint8_t keys[pi::kKeyCount];
  ASSERT_EQ(keyboard->GetState(sizeof keys, keys), pi::KeyResult::Ok);
  EXPECT_EQ(keys[pi::kKeyW], pi::kKeyDownBit);
  EXPECT_EQ(keys[pi::kKeyLeftCtrl], pi::kKeyDownBit);
  backend.SetFocus(false);
  EXPECT_EQ(keyboard->GetState(sizeof keys, keys), pi::KeyResult::InputLost);

  pi::PadState pad;
  pad.buttons = pi::kPadX;
  backend.SetPad(0, pad);
  backend.FailPadReads(1);
  pi::PadState read;
  EXPECT_EQ(pi::GetPadState(0, &read), pi::kPadNotConnected);
  EXPECT_EQ(pi::GetPadState(0, &read), pi::kPadOk);
  EXPECT_EQ(read.buttons, pi::kPadX);
  EXPECT_EQ(backend.PadReads(), 2);

  EXPECT_EQ(pi::SetPadMotors(0, 100, 200), pi::kPadOk);
  EXPECT_EQ(pi::SetPadMotors(1, 1, 1), pi::kPadNotConnected);
  const auto calls = backend.MotorCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].left, 100);
  EXPECT_EQ(calls[0].right, 200);

  backend.SetHasKeyboard(false);
  EXPECT_EQ(pi::Keyboard::Create(pi::GetBackend()), nullptr);
}

// The real SDL path: events pushed into SDL's queue reach the snapshot through the
// watch that InitWindowThread installs, with no pump of ours in between.
TEST_F(SdlBackendTest, WindowThreadWatchSeesQueuedKeyEvents) {
  ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0) << SDL_GetError();
  std::string error;
  const bool padsUp = pi::InitWindowThread(&error);
  if (!padsUp) std::printf("no game controllers here: %s\n", error.c_str());

  auto keyboard = pi::Keyboard::Create(pi::GetBackend());
  ASSERT_EQ(keyboard->Acquire(), pi::KeyResult::Ok);
  SDL_Event down = KeyEvent(SDL_SCANCODE_LALT, true);
  ASSERT_EQ(SDL_PushEvent(&down), 1);
  pi::ServiceWindowThread();
  uint8_t keys[pi::kKeyCount] = {};
  ASSERT_EQ(keyboard->GetState(sizeof keys, keys), pi::KeyResult::Ok);
  EXPECT_EQ(keys[pi::kKeyLeftAlt], pi::kKeyDownBit);

  // After shutdown the watch is gone and the state is back to its start.
  pi::ShutdownWindowThread();
  SDL_Event space = KeyEvent(SDL_SCANCODE_SPACE, true);
  SDL_PushEvent(&space);
  SDL_Quit();
  ASSERT_EQ(keyboard->GetState(sizeof keys, keys), pi::KeyResult::Ok);
  EXPECT_EQ(keys[pi::kKeyLeftAlt], 0);
  EXPECT_EQ(keys[pi::kKeySpace], 0);
}

namespace {
struct RumbleLog {
  int calls = 0;
  Uint16 low = 0, high = 0;
};
int SDLCALL RecordRumble(void* userdata, Uint16 low, Uint16 high) {
  auto* log = static_cast<RumbleLog*>(userdata);
  ++log->calls;
  log->low = low;
  log->high = high;
  return 0;
}
}  // namespace

// A virtual SDL game controller stands in for a real pad: it arrives, its sticks and
// buttons come out in XInput terms, a motor request rumbles it, and it leaves.
TEST_F(SdlBackendTest, VirtualControllerArrivesReadsRumblesAndLeaves) {
  ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0) << SDL_GetError();
  std::string error;
  if (!pi::InitWindowThread(&error)) {
    pi::ShutdownWindowThread();
    SDL_Quit();
    GTEST_SKIP() << error;
  }
  RumbleLog rumble;
  SDL_VirtualJoystickDesc desc;
  std::memset(&desc, 0, sizeof desc);
  desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
  desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
  desc.naxes = SDL_CONTROLLER_AXIS_MAX;
  desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
  desc.button_mask = (1u << SDL_CONTROLLER_BUTTON_MAX) - 1;
  desc.axis_mask = (1u << SDL_CONTROLLER_AXIS_MAX) - 1;
  desc.name = "test pad";
  desc.userdata = &rumble;
  desc.Rumble = RecordRumble;
  const int device = SDL_JoystickAttachVirtualEx(&desc);
  ASSERT_GE(device, 0) << SDL_GetError();
  SDL_Joystick* joystick = SDL_JoystickOpen(device);
  ASSERT_NE(joystick, nullptr) << SDL_GetError();

  pi::PadState state;
  EXPECT_EQ(pi::GetPadState(0, &state), pi::kPadNotConnected) << "not before the window thread ran";
  pi::ServiceWindowThread();
  ASSERT_EQ(pi::GetPadState(0, &state), pi::kPadOk);
  EXPECT_EQ(state.buttons, 0);
  EXPECT_EQ(state.leftTrigger, 0) << "a resting trigger is not pressed";
  EXPECT_EQ(state.rightTrigger, 0);

  SDL_JoystickSetVirtualButton(joystick, SDL_CONTROLLER_BUTTON_X, 1);
  SDL_JoystickSetVirtualButton(joystick, SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, 1);
  SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_LEFTY, -32768);
  SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_RIGHTX, 20000);
  pi::ServiceWindowThread();
  ASSERT_EQ(pi::GetPadState(0, &state), pi::kPadOk);
  EXPECT_EQ(state.buttons, pi::kPadX | pi::kPadRightShoulder);
  EXPECT_EQ(state.thumbLY, 32767);
  EXPECT_EQ(state.thumbRX, 20000);

  // The logic thread only asks; the window thread applies it.
  ASSERT_EQ(pi::SetPadMotors(0, 40000, 0), pi::kPadOk);
  EXPECT_EQ(rumble.calls, 0);
  pi::ServiceWindowThread();
  EXPECT_EQ(rumble.calls, 1);
  EXPECT_EQ(rumble.low, 40000);
  EXPECT_EQ(rumble.high, 0);

  SDL_JoystickClose(joystick);
  SDL_JoystickDetachVirtual(device);
  pi::ServiceWindowThread();
  EXPECT_EQ(pi::GetPadState(0, &state), pi::kPadNotConnected);
  pi::ShutdownWindowThread();
  SDL_Quit();
}
