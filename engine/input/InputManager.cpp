#include "engine/input/InputManager.h"

#include <cmath>

#include "engine/events/GameEvents.h"
#include "platform/input/KeyCodes.h"
#include "platform/math/Math.h"

namespace vd {

namespace {

namespace key = plat::input;

const CStringHash kOnShake("OnShake");
const SInputAction kNoAction;

bool InDeadZone(int x, int y, int zone) {
  return x > -zone && x < zone && y > -zone && y < zone;
}

}  // namespace

CInputManager::CInputManager(CKeyboardInput* keyboard, CPadInput* pad)
    : m_keyboard(keyboard), m_pad(pad) {
  SetInstance(this);
}

CInputManager::~CInputManager() { ClearInstance(this); }

bool CInputManager::Init() { return Init(evn::CEventManager::GetInstance()); }

bool CInputManager::Init(evn::CEventManager* events) {
  for (int i = 0; i < kActionCount; ++i) {
    keyboardActions[i] = SInputAction();
    padActions[i] = SInputAction();
  }
  if (events) {
    events->RemoveListener(kOnShake, this);
    events->AddListener(this, kOnShake);
  }
  m_frameTime = 0.0f;
  m_vibrationTime = 0.0f;
  return true;
}

void CInputManager::HandleEvent(evn::IEvent* event) {
  // "OnShake" by its class, which carries the power and the timer: a script-only
  // event may bear the same message name, and the class's type is only set once the
  // game has registered its events.
  if (auto* shake = dynamic_cast<evn::CEventShake*>(event)) Shake(shake->power, shake->timer);
}

void CInputManager::Update(float dt) {
  m_frameTime = dt;
  if (m_keyboard && m_keyboard->HasDevice()) {
    ShiftBlock(keyboardActions);
    MapKeyboard();
  }
  if (m_pad && m_pad->userIndex >= 0 && m_pad->GetState() == plat::input::kPadOk) {
    ShiftBlock(padActions);
    MapPad();
  } else {
    // A pad that stops answering was unplugged: whatever it held is let go, or a
    // stick pushed at that moment would keep the player running.
    ShiftBlock(padActions);
    for (SInputAction& action : padActions) TurnOff(action);
  }
  Merge();
}

void CInputManager::ShiftBlock(SInputAction* block) {
  for (int i = 0; i < kActionCount; ++i) {
    block[i].wasDown = block[i].down;
    block[i].down = 0;
    block[i].value = 0.0f;
  }
}

void CInputManager::TurnOn(SInputAction& action, float value) {
  action.down = 1;
  action.value = value;
  if (action.wasDown) action.holdTime += m_frameTime;
}

void CInputManager::TurnOff(SInputAction& action) {
  action.down = 0;
  action.value = 0.0f;
  if (action.wasDown) action.holdTime = 0.0f;
}

void CInputManager::MapKeyboard() {
  SInputAction* k = keyboardActions;
  const CKeyboardInput& kb = *m_keyboard;
  auto single = [&](uint8_t code, int slot) {
    if (kb.IsKeyDown(code))
      TurnOn(k[slot], 1.0f);
    else
      TurnOff(k[slot]);
  };
  // Opposite keys: the second one of a pair only counts while the first one's slot
  // was up at the last merge; otherwise it cancels the first one on the keyboard.
  auto opposite = [&](uint8_t firstKey, int firstSlot, uint8_t secondKey, int secondSlot) {
    single(firstKey, firstSlot);
    if (!kb.IsKeyDown(secondKey))
      TurnOff(k[secondSlot]);
    else if (!actions[firstSlot].down)
      TurnOn(k[secondSlot], 1.0f);
    else
      TurnOff(k[firstSlot]);
  };

  opposite(key::kKeyW, MoveForward, key::kKeyS, MoveBack);
  opposite(key::kKeyA, MoveLeft, key::kKeyD, MoveRight);
  if (kb.IsKeyDown(key::kKeyLeftCtrl)) {
    opposite(key::kKeyW, DirForward, key::kKeyS, DirBack);
    opposite(key::kKeyA, DirLeft, key::kKeyD, DirRight);
  }

  single(key::kKeyJ, AttackX);
  single(key::kKeyI, AttackY);
  single(key::kKeyU, SpecialGas);
  single(key::kKeyO, SpecialGrenade);
  single(key::kKeyL, Fatality);
  single(key::kKeyK, Use);
  single(key::kKeySpace, Cover);
  single(key::kKeyLeftShift, Shift);
  single(key::kKeyEscape, Pause);
  single(key::kKey0, Digit0);
  single(key::kKeyUp, MenuUp);
  single(key::kKeyRight, MenuRight);
  single(key::kKeyDown, MenuDown);
  single(key::kKeyLeft, MenuLeft);
  single(key::kKeyNumpadEnter, MenuAccept);
  single(key::kKeyReturn, MenuEnter);
  single(key::kKeyEscape, MenuEscape);
  single(key::kKeyBackspace, MenuBack);

  const bool shift = kb.IsKeyDown(key::kKeyLeftShift);
  if (shift && kb.IsKeyDown(key::kKeyJ))
    TurnOn(k[AutoAttack1], 1.0f);
  else
    TurnOff(k[AutoAttack1]);
  if (shift && kb.IsKeyDown(key::kKeyI))
    TurnOn(k[AutoAttack2], 1.0f);
  else
    TurnOff(k[AutoAttack2]);

  if (kb.IsKeyDown(key::kKeyLeftAlt)) single(key::kKeyF4, Quit);
}

void CInputManager::MapPad() {
  if (m_pad->vibrating) {
    m_vibrationTime -= m_frameTime;
    if (m_vibrationTime <= 0.0f) {
      m_pad->SetMotors(0, 0);
      m_pad->vibrating = 0;
    }
  }

  SInputAction* p = padActions;
  const SPadState& s = m_pad->state;
  auto held = [&](uint16_t bits) { return (s.buttons & bits) == bits; };
  auto button = [&](bool on, int slot) {
    if (on)
      TurnOn(p[slot], 1.0f);
    else
      TurnOff(p[slot]);
  };

  // Left stick, scaled to -1..1, with the D-pad as a fallback.
  int lx = s.thumbLX, ly = s.thumbLY;
  if (InDeadZone(lx, ly, kLeftStickDeadZone)) lx = ly = 0;
  const float x = lx / 32768.0f, y = ly / 32768.0f;
  if (y > 0.0f)
    TurnOn(p[MoveForward], y);
  else
    button(held(key::kPadDpadUp), MoveForward);
  if (!actions[MoveForward].down && y < 0.0f)
    TurnOn(p[MoveBack], -y);
  else
    button(!actions[MoveForward].down && held(key::kPadDpadDown), MoveBack);
  if (x > 0.0f)
    TurnOn(p[MoveRight], x);
  else
    button(held(key::kPadDpadRight), MoveRight);
  if (!actions[MoveRight].down && x < 0.0f)
    TurnOn(p[MoveLeft], -x);
  else
    button(!actions[MoveRight].down && held(key::kPadDpadLeft), MoveLeft);

  // Right stick, in raw stick units.
  int rx = s.thumbRX, ry = s.thumbRY;
  if (InDeadZone(rx, ry, kRightStickDeadZone)) rx = ry = 0;
  auto axis = [&](int v, int slot) {
    if (v > 0)
      TurnOn(p[slot], static_cast<float>(v));
    else
      TurnOff(p[slot]);
  };
  axis(ry, DirForward);
  axis(-ry, DirBack);
  axis(rx, DirRight);
  axis(-rx, DirLeft);

  button(held(key::kPadX), AttackX);
  button(held(key::kPadY), AttackY);
  button(s.leftTrigger != 0, SpecialGas);
  button(s.rightTrigger != 0, SpecialGrenade);
  button(held(key::kPadB), Fatality);
  button(held(key::kPadA), Use);
  button(held(key::kPadLeftShoulder), Cover);
  button(held(key::kPadStart), Pause);
  button(held(key::kPadBack), MenuEscape);
  button(held(key::kPadA), MenuAccept);
  button(held(key::kPadB), MenuBack);
  button(held(key::kPadRightShoulder | key::kPadX), AutoAttack1);
  button(held(key::kPadRightShoulder | key::kPadY), AutoAttack2);
}

void CInputManager::Merge() {
  for (int i = 0; i < kActionCount; ++i) {
    SInputAction& a = actions[i];
    const SInputAction& k = keyboardActions[i];
    const SInputAction& p = padActions[i];
    a.wasDown = a.down;
    a.down = (k.down || p.down) ? 1 : 0;
    a.value = k.down ? k.value : p.value;
    if (a.wasDown) {
      if (a.down)
        a.holdTime += m_frameTime;
      else
        a.holdTime = 0.0f;
    }
  }
}

bool CInputManager::IsPressed(int slot) const {
  const SInputAction& a = GetAction(slot);
  return a.down && !a.wasDown;
}

bool CInputManager::IsReleased(int slot) const {
  const SInputAction& a = GetAction(slot);
  return a.wasDown && !a.down;
}

const SInputAction& CInputManager::GetAction(int slot) const {
  if (slot < 0 || slot >= kActionCount) return kNoAction;
  return actions[slot];
}

plat::Vec3 CInputManager::GetMoveDirection(float yaw) const {
  const plat::Vec3 forward(std::sin(yaw), 0.0f, std::cos(yaw));
  const plat::Vec3 side = plat::Normalize(plat::Vec3(std::cos(yaw), 0.0f, -std::sin(yaw)));
  plat::Vec3 dir = forward * (actions[MoveForward].value - actions[MoveBack].value) +
                   side * (actions[MoveLeft].value - actions[MoveRight].value);
  dir.y = 0.0f;
  return plat::Normalize(dir);
}

plat::Vec3 CInputManager::GetFourWayDirection(float yaw) const {
  const plat::Vec3 forward(std::sin(yaw), 0.0f, std::cos(yaw));
  const plat::Vec3 side = plat::Normalize(plat::Vec3(std::cos(yaw), 0.0f, -std::sin(yaw)));
  const plat::Vec3 candidates[4] = {forward, -side, -forward, side};  // slots 6, 7, 8, 9
  plat::Vec3 result;
  for (int i = 0; i < 4; ++i) {
    const float v = actions[DirForward + i].value;
    bool strongest = true;
    for (int j = 0; j < 4; ++j)
      if (j != i && !(v >= actions[DirForward + j].value)) strongest = false;
    // A later slot that ties wins.
    if (strongest) result = candidates[i];
  }
  return plat::Normalize(result);
}

bool CInputManager::IsPadConnected() {
  return m_pad && m_pad->GetState() == plat::input::kPadOk;
}

uint16_t CInputManager::MotorSpeedForPower(float power) {
  if (power >= kFullShakePower) return kMaxMotorSpeed;
  if (power > 0.0f)
    return static_cast<uint16_t>(std::trunc(double(power) * kMaxMotorSpeed / kFullShakePower));
  return 0;
}

void CInputManager::Shake(float power, float duration) {
  if (!m_pad) return;
  SPadState probe;
  if (plat::input::GetPadState(m_pad->userIndex, &probe) != plat::input::kPadOk) return;
  // A duration that is not a number would never run out and leave the motor on.
  m_vibrationTime = std::isfinite(duration) ? duration : 0.0f;
  m_pad->SetMotors(MotorSpeedForPower(power), 0);
  m_pad->vibrating = 1;
}

}  // namespace vd
