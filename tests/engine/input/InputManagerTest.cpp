#include "engine/input/InputManager.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <set>
#include <vector>

#include "engine/events/EngineEvents.h"
#include "engine/events/GameEvents.h"
#include "platform/input/ScriptedInput.h"

namespace vd {
namespace {

namespace pi = plat::input;
using In = CInputManager;

constexpr float kDt = 0.1f;

class InputManagerTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(keyboard.Init(6));
    pad.userIndex = 0;
    ASSERT_TRUE(input.Init());
  }

  // One frame as the application runs it: poll both devices, then update.
  void Frame(float dt = kDt) {
    keyboard.Poll();
    pad.Poll();
    input.Update(dt);
  }
  void Keys(std::initializer_list<uint8_t> codes) { scripted.backend.SetKeys(codes); }
  void Pad(const SPadState& state) { scripted.backend.SetPad(0, state); }
  void PadButtons(uint16_t buttons) {
    SPadState s;
    s.buttons = buttons;
    Pad(s);
  }
  void Sticks(int lx, int ly, int rx, int ry) {
    SPadState s;
    s.thumbLX = int16_t(lx);
    s.thumbLY = int16_t(ly);
    s.thumbRX = int16_t(rx);
    s.thumbRY = int16_t(ry);
    Pad(s);
  }
  std::set<int> DownSlots() const {
    std::set<int> down;
    for (int i = 0; i < In::kActionCount; ++i)
      if (input.actions[i].down) down.insert(i);
    return down;
  }
  const SInputAction& A(int slot) const { return input.actions[slot]; }

  pi::ScopedScriptedInput scripted;
  CKeyboardInput keyboard;
  CPadInput pad;
  CInputManager input{&keyboard, &pad};
};

TEST_F(InputManagerTest, PressAndReleaseEdgesAndHoldTimeAcrossFrames) {
  EXPECT_EQ(CInputManager::GetInstance(), &input);
  Keys({pi::kKeyJ});
  Frame();
  EXPECT_TRUE(input.IsPressed(In::AttackX));
  EXPECT_FALSE(input.IsReleased(In::AttackX));
  EXPECT_FLOAT_EQ(A(In::AttackX).value, 1.0f);
  EXPECT_FLOAT_EQ(A(In::AttackX).holdTime, 0.0f);
  Frame();
  EXPECT_FALSE(input.IsPressed(In::AttackX)) << "a press is reported in one frame only";
  EXPECT_FLOAT_EQ(A(In::AttackX).holdTime, kDt);
  Frame(0.25f);
  EXPECT_FLOAT_EQ(A(In::AttackX).holdTime, kDt + 0.25f);
  Keys({});
  Frame();
  EXPECT_TRUE(input.IsReleased(In::AttackX));
  EXPECT_FALSE(input.IsPressed(In::AttackX));
  EXPECT_FLOAT_EQ(A(In::AttackX).holdTime, 0.0f);
  EXPECT_FLOAT_EQ(A(In::AttackX).value, 0.0f);
  Frame();
  EXPECT_FALSE(input.IsReleased(In::AttackX));

  // A one-frame tap: pressed in its frame, released in the next.
  Keys({pi::kKeyJ});
  Frame();
  Keys({});
  Frame();
  EXPECT_TRUE(input.IsReleased(In::AttackX));

  // Slots outside the table are never pressed or released.
  for (int slot : {-1, In::kActionCount, 1000}) {
    EXPECT_FALSE(input.IsPressed(slot));
    EXPECT_FALSE(input.IsReleased(slot));
    EXPECT_EQ(input.GetAction(slot).down, 0);
  }
}

TEST_F(InputManagerTest, OppositeKeysHeldTogetherAlternate) {
  const struct {
    uint8_t first, second;
    int firstSlot, secondSlot;
  } pairs[] = {
      {pi::kKeyW, pi::kKeyS, In::MoveForward, In::MoveBack},
      {pi::kKeyA, pi::kKeyD, In::MoveLeft, In::MoveRight},
  };
  for (const auto& p : pairs) {
    Keys({p.first, p.second});
    Frame();
    EXPECT_TRUE(A(p.firstSlot).down && A(p.secondSlot).down) << "both down in the first frame";
    for (int frame = 0; frame < 4; ++frame) {
      Frame();
      const bool on = frame % 2 == 1;
      EXPECT_EQ(A(p.firstSlot).down, on) << "frame " << frame;
      EXPECT_EQ(A(p.secondSlot).down, on) << "frame " << frame;
    }
    Keys({p.second});
    Frame();
    Frame();
    EXPECT_TRUE(A(p.secondSlot).down) << "alone, the second key works";
    EXPECT_FALSE(A(p.firstSlot).down);
    Keys({});
    Frame();
  }
}

TEST_F(InputManagerTest, KeyTableSingleAndCombinedKeys) {
  const struct {
    std::initializer_list<uint8_t> keys;
    std::set<int> slots;
  } cases[] = {
      {{pi::kKeyEscape}, {In::Pause, In::MenuEscape}},
      {{pi::kKeyW}, {In::MoveForward}},
      {{pi::kKeyLeftCtrl, pi::kKeyW}, {In::MoveForward, In::DirForward}},
      {{pi::kKeyLeftCtrl, pi::kKeyS}, {In::MoveBack, In::DirBack}},
      {{pi::kKeyLeftCtrl, pi::kKeyA}, {In::MoveLeft, In::DirLeft}},
      {{pi::kKeyLeftCtrl, pi::kKeyD}, {In::MoveRight, In::DirRight}},
      {{pi::kKeyLeftCtrl}, {}},
      {{pi::kKeyJ}, {In::AttackX}},
      {{pi::kKeyI}, {In::AttackY}},
      {{pi::kKeyK}, {In::Use}},
      {{pi::kKeyU}, {In::SpecialGas}},
      {{pi::kKeyO}, {In::SpecialGrenade}},
      {{pi::kKeyLeftShift}, {In::Shift}},
      {{pi::kKeyLeftShift, pi::kKeyJ}, {In::Shift, In::AttackX, In::AutoAttack1}},
      {{pi::kKeyLeftShift, pi::kKeyI}, {In::Shift, In::AttackY, In::AutoAttack2}},
      {{pi::kKeyRightShift, pi::kKeyJ}, {In::AttackX}},
      {{pi::kKeySpace}, {In::Cover}},
      {{pi::kKeyL}, {In::Fatality}},
      {{pi::kKeyUp}, {In::MenuUp}},
      {{pi::kKeyRight}, {In::MenuRight}},
      {{pi::kKeyDown}, {In::MenuDown}},
      {{pi::kKeyLeft}, {In::MenuLeft}},
      {{pi::kKeyNumpadEnter}, {In::MenuAccept}},
      {{pi::kKeyReturn}, {In::MenuEnter}},
      {{pi::kKeyBackspace}, {In::MenuBack}},
      {{pi::kKey0}, {In::Digit0}},
      {{pi::kKeyNumpad0}, {}},
      {{pi::kKeyLeftAlt, pi::kKeyF4}, {In::Quit}},
      {{pi::kKeyF4}, {}},
      {{pi::kKeyRightAlt, pi::kKeyF4}, {}},
  };
  for (const auto& c : cases) {
    Keys({});
    Frame();
    Frame();
    scripted.backend.SetKeys(c.keys);
    Frame();
    EXPECT_EQ(DownSlots(), c.slots) << "case " << (&c - cases);
    for (int slot : c.slots) EXPECT_FLOAT_EQ(A(slot).value, 1.0f);
  }
}

TEST_F(InputManagerTest, PadButtonTable) {
  const struct {
    uint16_t buttons;
    std::set<int> slots;
  } cases[] = {
      {pi::kPadA, {In::Use, In::MenuAccept}},
      {pi::kPadB, {In::Fatality, In::MenuBack}},
      {pi::kPadX, {In::AttackX}},
      {pi::kPadY, {In::AttackY}},
      {pi::kPadRightShoulder | pi::kPadX, {In::AttackX, In::AutoAttack1}},
      {pi::kPadRightShoulder | pi::kPadY, {In::AttackY, In::AutoAttack2}},
      {pi::kPadRightShoulder, {}},
      {pi::kPadLeftShoulder, {In::Cover}},
      {pi::kPadStart, {In::Pause}},
      {pi::kPadBack, {In::MenuEscape}},
      {pi::kPadDpadUp, {In::MoveForward}},
      {pi::kPadDpadDown, {In::MoveBack}},
      {pi::kPadDpadLeft, {In::MoveLeft}},
      {pi::kPadDpadRight, {In::MoveRight}},
      {pi::kPadLeftThumb | pi::kPadRightThumb, {}},
  };
  for (const auto& c : cases) {
    PadButtons(0);
    Frame();
    Frame();
    PadButtons(c.buttons);
    Frame();
    EXPECT_EQ(DownSlots(), c.slots) << "buttons " << std::hex << c.buttons;
  }
  SPadState triggers;
  triggers.leftTrigger = 1;
  triggers.rightTrigger = 255;
  Pad(triggers);
  Frame();
  EXPECT_EQ(DownSlots(), (std::set<int>{In::SpecialGas, In::SpecialGrenade}));
  EXPECT_FLOAT_EQ(A(In::SpecialGas).value, 1.0f);
}

TEST_F(InputManagerTest, DeadZonesOnBothSticks) {
  const struct {
    int lx, ly, rx, ry;
    std::set<int> slots;
  } cases[] = {
      {7848, 7848, 0, 0, {}},
      {-7848, -7848, 0, 0, {}},
      {7849, 0, 0, 0, {In::MoveRight}},
      {0, -7849, 0, 0, {In::MoveBack}},
      // Out of the zone on one axis, the other axis counts however small.
      {7849, 100, 0, 0, {In::MoveRight, In::MoveForward}},
      {0, 0, 8688, -8688, {}},
      {0, 0, 8689, 0, {In::DirRight}},
      {0, 0, -100, 8689, {In::DirForward, In::DirLeft}},
      {0, 0, 0, -32768, {In::DirBack}},
  };
  for (const auto& c : cases) {
    Sticks(0, 0, 0, 0);
    Frame();
    Frame();
    Sticks(c.lx, c.ly, c.rx, c.ry);
    Frame();
    EXPECT_EQ(DownSlots(), c.slots) << "case " << (&c - cases);
  }
  // Left stick values are scaled to -1..1, right stick values stay in stick units.
  Sticks(7849, 100, 0, 0);
  Frame();
  EXPECT_FLOAT_EQ(A(In::MoveRight).value, 7849.0f / 32768.0f);
  EXPECT_FLOAT_EQ(A(In::MoveForward).value, 100.0f / 32768.0f);
  Sticks(0, 0, 32767, 0);
  Frame();
  EXPECT_FLOAT_EQ(A(In::DirRight).value, 32767.0f);
  Sticks(0, 0, 0, -32768);
  Frame();
  EXPECT_FLOAT_EQ(A(In::DirBack).value, 32768.0f);
  // The keyboard's Ctrl + D gives 1.0 on the same slot.
  Sticks(0, 0, 0, 0);
  Keys({pi::kKeyLeftCtrl, pi::kKeyD});
  Frame();
  EXPECT_FLOAT_EQ(A(In::DirRight).value, 1.0f);
}

TEST_F(InputManagerTest, StickBackAndLeftYieldToForwardAndRight) {
  // The pad's back and left follow the merged forward and right of the last frame.
  Keys({pi::kKeyW});
  Sticks(-20000, -20000, 0, 0);
  Frame();
  EXPECT_TRUE(A(In::MoveBack).down) << "forward was not down at the last merge";
  EXPECT_TRUE(A(In::MoveLeft).down);
  Frame();
  EXPECT_FALSE(A(In::MoveBack).down);
  EXPECT_TRUE(A(In::MoveLeft).down);
  EXPECT_FLOAT_EQ(A(In::MoveLeft).value, 20000.0f / 32768.0f);
}

TEST_F(InputManagerTest, KeyboardAndPadMergedOnOneSlot) {
  // Keyboard held, pad released: the keyboard's 1.0.
  Keys({pi::kKeyW});
  Sticks(0, 16384, 0, 0);
  Frame();
  EXPECT_FLOAT_EQ(A(In::MoveForward).value, 1.0f);
  Sticks(0, 0, 0, 0);
  Frame();
  EXPECT_TRUE(A(In::MoveForward).down);
  EXPECT_FLOAT_EQ(A(In::MoveForward).value, 1.0f);
  // Keyboard let go while the pad holds: the pad's value, no edge in between.
  Sticks(0, 16384, 0, 0);
  Frame();
  Keys({});
  Frame();
  EXPECT_TRUE(A(In::MoveForward).down);
  EXPECT_FALSE(input.IsReleased(In::MoveForward));
  EXPECT_FALSE(input.IsPressed(In::MoveForward));
  EXPECT_FLOAT_EQ(A(In::MoveForward).value, 0.5f);
  EXPECT_FLOAT_EQ(A(In::MoveForward).holdTime, 3 * kDt);
  // Pad button and key on the same slot.
  Sticks(0, 0, 0, 0);
  PadButtons(pi::kPadA);
  Keys({pi::kKeyK});
  Frame();
  EXPECT_TRUE(A(In::Use).down);
  EXPECT_EQ(input.keyboardActions[In::Use].down, 1);
  EXPECT_EQ(input.padActions[In::Use].down, 1);
}

TEST_F(InputManagerTest, PadThatStopsAnsweringIsLetGo) {
  Sticks(0, 32767, 0, 0);
  Frame();
  ASSERT_TRUE(A(In::MoveForward).down);
  scripted.backend.DisconnectPad(0);
  Frame();
  EXPECT_TRUE(input.IsReleased(In::MoveForward));
  EXPECT_TRUE(DownSlots().empty());
  EXPECT_FALSE(input.IsPadConnected());

  // A switched-off pad (negative index) is not read at all; the keyboard still plays.
  pad.userIndex = -1;
  const int reads = scripted.backend.PadReads();
  Keys({pi::kKeyJ});
  Frame();
  EXPECT_EQ(scripted.backend.PadReads(), reads);
  EXPECT_TRUE(input.IsPressed(In::AttackX));
}

TEST_F(InputManagerTest, ShakeMotorSpeedTable) {
  const struct {
    float power;
    uint16_t speed;
  } cases[] = {{2.5f, 32767}, {7.0f, 65535}, {5.0f, 65535}, {4.9999f, 65533},
               {1.0f, 13107}, {0.0f, 0},     {-3.0f, 0},    {NAN, 0}};
  for (const auto& c : cases) EXPECT_EQ(In::MotorSpeedForPower(c.power), c.speed) << c.power;

  PadButtons(0);
  Frame();
  for (const auto& c : cases) {
    scripted.backend.ClearMotorCalls();
    pad.vibrating = 0;
    input.Shake(c.power, 0.5f);
    const auto calls = scripted.backend.MotorCalls();
    ASSERT_EQ(calls.size(), 1u) << c.power;
    EXPECT_EQ(calls[0].left, c.speed);
    EXPECT_EQ(calls[0].right, 0);
    EXPECT_EQ(pad.vibrating, 1) << "power 0 still starts the vibration time";
    EXPECT_FLOAT_EQ(input.GetVibrationTime(), 0.5f);
  }
}

TEST_F(InputManagerTest, VibrationStopsWhenItsTimeRunsOut) {
  PadButtons(0);
  Frame();
  input.Shake(2.5f, 0.25f);
  scripted.backend.ClearMotorCalls();
  Frame();
  Frame();
  EXPECT_TRUE(scripted.backend.MotorCalls().empty());
  EXPECT_EQ(pad.vibrating, 1);
  // While the pad is missing the time does not run.
  scripted.backend.FailPadReads(3);
  Frame();
  EXPECT_EQ(pad.vibrating, 1);
  Frame();
  const auto calls = scripted.backend.MotorCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].left, 0);
  EXPECT_EQ(calls[0].right, 0);
  EXPECT_EQ(pad.vibrating, 0);

  // No pad: a shake does nothing.
  scripted.backend.ClearMotorCalls();
  scripted.backend.DisconnectPad(0);
  input.Shake(7.0f, 1.0f);
  EXPECT_TRUE(scripted.backend.MotorCalls().empty());
  EXPECT_EQ(pad.vibrating, 0);
  // A duration that is not a number must not leave the motor running for ever.
  PadButtons(0);
  input.Shake(7.0f, NAN);
  Frame();
  EXPECT_EQ(pad.vibrating, 0);
}

TEST_F(InputManagerTest, FourWayAndMoveDirections) {
  auto expectVec = [](const plat::Vec3& v, float x, float y, float z) {
    EXPECT_NEAR(v.x, x, 1e-6f);
    EXPECT_NEAR(v.y, y, 1e-6f);
    EXPECT_NEAR(v.z, z, 1e-6f);
  };
  // Yaw 0: forward +z, side +x.
  expectVec(input.GetFourWayDirection(0.0f), 1, 0, 0);  // all zero: the side vector
  Keys({pi::kKeyLeftCtrl, pi::kKeyW, pi::kKeyA});
  Frame();
  ASSERT_TRUE(A(In::DirForward).down && A(In::DirLeft).down);
  expectVec(input.GetFourWayDirection(0.0f), 1, 0, 0);  // a tie goes to slot 9
  Keys({});
  Sticks(0, 0, 32767, 20000);
  Frame();
  expectVec(input.GetFourWayDirection(0.0f), -1, 0, 0);
  Sticks(0, 0, 0, -30000);
  Frame();
  expectVec(input.GetFourWayDirection(0.0f), 0, 0, -1);

  Sticks(0, 0, 0, 0);
  Frame();
  expectVec(input.GetMoveDirection(0.0f), 0, 0, 0);
  Keys({pi::kKeyW});
  Frame();
  expectVec(input.GetMoveDirection(0.0f), 0, 0, 1);
  expectVec(input.GetMoveDirection(float(M_PI / 2)), 1, 0, 0);
  Keys({pi::kKeyW, pi::kKeyA});
  Frame();
  const float h = std::sqrt(0.5f);
  expectVec(input.GetMoveDirection(0.0f), h, 0, h);
  Keys({pi::kKeyD});
  Frame();
  Frame();
  expectVec(input.GetMoveDirection(0.0f), -1, 0, 0);
}

TEST_F(InputManagerTest, KeyboardFocusLossReadsAsAllUp) {
  Keys({pi::kKeySpace});
  Frame();
  ASSERT_TRUE(A(In::Cover).down);
  scripted.backend.SetFocus(false);
  Frame();
  EXPECT_TRUE(input.IsReleased(In::Cover));
  EXPECT_FALSE(keyboard.device->Acquired());
  // Back in focus: this frame acquires, the next one reads.
  scripted.backend.SetFocus(true);
  Keys({pi::kKeySpace});
  Frame();
  EXPECT_FALSE(A(In::Cover).down);
  Frame();
  EXPECT_TRUE(input.IsPressed(In::Cover));
}

TEST_F(InputManagerTest, DevicesMissingAndInit) {
  // Without a keyboard device the keyboard block keeps its last state.
  Keys({pi::kKeyJ});
  Frame();
  keyboard.Release();
  EXPECT_FALSE(keyboard.HasDevice());
  Keys({});
  Frame();
  EXPECT_TRUE(A(In::AttackX).down);
  // Init clears both device blocks.
  ASSERT_TRUE(input.Init());
  Frame();
  EXPECT_TRUE(input.IsReleased(In::AttackX));

  scripted.backend.SetHasKeyboard(false);
  EXPECT_FALSE(keyboard.Init(5));
  EXPECT_FALSE(keyboard.HasDevice());
  EXPECT_EQ(keyboard.cooperativeFlags, 5);
}

TEST(InputManagerEvents, InitListensToShakesOnce) {
  pi::ScopedScriptedInput scripted;
  evn::CEventManager events;
  CKeyboardInput keyboard;
  CPadInput pad;
  CInputManager input(&keyboard, &pad);
  const CStringHash onShake("OnShake");
  ASSERT_TRUE(input.Init(&events));
  EXPECT_EQ(events.ListenerCount(onShake), 1u);
  ASSERT_TRUE(input.Init());  // the process's event manager: the same one here
  EXPECT_EQ(events.ListenerCount(onShake), 1u);

  // A posted shake reaches the pad at the next dispatch.
  evn::InitGameEventTypes();
  pad.userIndex = 0;
  scripted.backend.SetPad(0, SPadState());
  evn::CEventShake* shake = evn::CEventShake::New();
  shake->power = 7.0f;
  shake->timer = 1.0f;
  events.PostEvent(shake);
  EXPECT_TRUE(scripted.backend.MotorCalls().empty());
  events.Update(0.016f);
  const auto calls = scripted.backend.MotorCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].left, 65535);
  EXPECT_EQ(pad.vibrating, 1);
}

TEST_F(InputManagerTest, ShakeEventsVibrateThePad) {
  PadButtons(0);
  Frame();
  evn::CEventShake* shake = evn::CEventShake::New();
  shake->power = 2.5f;
  shake->timer = 0.3f;
  input.HandleEvent(shake);
  shake->Release();
  auto calls = scripted.backend.MotorCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].left, 32767);
  EXPECT_EQ(pad.vibrating, 1);
  EXPECT_FLOAT_EQ(input.GetVibrationTime(), 0.3f);

  // Another event type, or a script-only event that borrows the message name, is
  // not a shake.
  scripted.backend.ClearMotorCalls();
  evn::CEventScriptOnly* named = evn::CEventScriptOnly::New();
  named->m_name = "OnShake";
  input.HandleEvent(named);
  named->Release();
  evn::CEventTimer* timer = evn::CEventTimer::New();
  input.HandleEvent(timer);
  timer->Release();
  input.HandleEvent(nullptr);
  EXPECT_TRUE(scripted.backend.MotorCalls().empty());
}

TEST(PadInput, PollReadsAgainOnceAfterAFailure) {
  pi::ScopedScriptedInput scripted;
  CPadInput pad;
  SPadState s;
  s.buttons = pi::kPadY;
  scripted.backend.SetPad(0, s);
  pad.Poll();
  EXPECT_EQ(scripted.backend.PadReads(), 0) << "index -1: the pad is off";
  pad.userIndex = 0;
  scripted.backend.FailPadReads(1);
  pad.Poll();
  EXPECT_EQ(scripted.backend.PadReads(), 2);
  EXPECT_EQ(pad.state.buttons, pi::kPadY);
  scripted.backend.FailPadReads(2);
  pad.Poll();
  EXPECT_EQ(scripted.backend.PadReads(), 4);
  EXPECT_EQ(pad.state.buttons, 0) << "two failures leave a cleared state";
}

}  // namespace
}  // namespace vd
