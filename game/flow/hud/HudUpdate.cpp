// The HUD's frame: every element animated once from the targets that events and
// script methods set, its look pushed to its renderer and transform.
#include <algorithm>
#include <cmath>

#include "engine/audio/AudioManager.h"
#include "engine/render/RenderManager.h"
#include "engine/render/passes/FilmLook.h"
#include "game/flow/hud/Hud.h"
#include "game/flow/hud/HudParams.h"

namespace vd {

namespace {

constexpr float kDegrees = 3.1415927f / 180.0f;

float Clamp(float value, float low, float high) { return std::min(std::max(value, low), high); }

// alpha moves towards shown (1) or hidden (0) at the element's alpha speed.
void Fade(SHUDElement& element, bool shown, float dt, float speed) {
  element.Alpha() = Clamp(element.Alpha() + (shown ? speed : -speed) * dt, 0.0f, 1.0f);
}

// One step of a damped spring pulling `position` to `rest`; the velocity stops at
// either bound.
void Spring(float& position, float& velocity, float rest, float spring, float damp, float dt,
            float low, float high) {
  velocity += dt * (-spring * (position - rest) - damp * velocity);
  position += velocity * dt;
  if (position <= low || position >= high) velocity = 0.0f;
  position = Clamp(position, low, high);
}

// A light blinking with its enabled and disabled times.
void Blink(SHUDLight& light, float dt) {
  light.blinkClock += dt;
  if (light.lit && light.blinkClock > light.timeEnabled) {
    light.lit = false;
    light.blinkClock = 0.0f;
  } else if (!light.lit && light.blinkClock > light.timeDisabled) {
    light.lit = true;
    light.blinkClock = 0.0f;
  }
}

void LightColour(SHUDLight& light) {
  light.colour[0] = light.colour[1] = light.colour[2] = light.intensity;
  light.colour[3] = light.lit ? 1.0f : 0.0f;
}

}  // namespace

bool CHUD::Update(float dt) {
  state.deltaTime = dt;
  for (float& clock : state.clocks) clock += dt;
  if (!m_laidOut) {
    UpdateBlackScreen();
    return true;
  }
  UpdateDashboard();
  UpdateEmblem(emblemScore, state.scoreEmblemState, state.clocks[kClockScoreEmblem]);
  UpdateEmblem(emblemBombs, state.grenadeEmblemState, state.clocks[kClockGrenadeEmblem]);
  UpdateCombo();
  UpdateFades();
  UpdateBlood();
  UpdateBlackScreen();
  UpdateMargins();
  UpdateHelper();
  UpdateBoss();
  return true;
}

// --- Dashboard --------------------------------------------------------------------

void CHUD::UpdateDashboard() {
  const float dt = state.deltaTime;
  UpdateScoreDigits();
  UpdateLifeArrow();
  UpdateDesaturation();
  UpdateGasArrow();
  UpdateCrono();
  UpdateGrenadeLights();

  if (state.clocks[kClockDashboard] > dashboard.displayTime) state.dashboardHidden = true;
  const float speed = state.hideSpeed > 0.0f ? state.hideSpeed : dashboard.alphaSpeed;
  const float step = (state.dashboardHidden ? -speed : speed) * dt;
  dashboard.Alpha() = Clamp(dashboard.Alpha() + step, 0.0f, 1.0f);
  lifeArrow.Alpha() = Clamp(lifeArrow.Alpha() + step, 0.0f, 1.0f);
  for (SHUDLight* light : {&lightGas, &lightBomb1, &lightBomb2}) light->Alpha() *= lifeArrow.Alpha();
  for (int c = 0; c < 3; ++c) dashboard.colour[c] = Clamp(dashboard.colour[c] + speed * dt, 0.0f, 1.0f);

  hud::SetColour(dashboard);
  // The needles and the digits share the life needle's colour.
  for (SHUDElement* element :
       {static_cast<SHUDElement*>(&lifeArrow), static_cast<SHUDElement*>(&gasArrow),
        static_cast<SHUDElement*>(&cronoArrow), static_cast<SHUDElement*>(&numberUnid),
        static_cast<SHUDElement*>(&numberDec), static_cast<SHUDElement*>(&numberCent),
        static_cast<SHUDElement*>(&numberMil)}) {
    if (!element->renderer) continue;
    SHUDElement shared = *element;
    std::copy(lifeArrow.colour, lifeArrow.colour + 4, shared.colour);
    hud::SetColour(shared);
  }
  for (SHUDLight* light : {&lightGas, &lightBomb1, &lightBomb2}) hud::SetColour(*light);
}

void CHUD::UpdateScoreDigits() {
  const float dt = state.deltaTime;
  SHUDValue& score = state.values[kValueScore];
  int total = static_cast<int>(Clamp(score.target, 0.0f, 9999.0f));
  int digits[4];
  for (int& digit : digits) {
    digit = total % 10;
    total /= 10;
  }
  SHUDCounter* const counters[4] = {&numberUnid, &numberDec, &numberCent, &numberMil};
  const bool snap = score.snap;
  score.snap = false;
  for (int i = 0; i < 4; ++i) {
    SHUDCounter& counter = *counters[i];
    const float digit = static_cast<float>(digits[i]);
    if (snap) {
      counter.value = digit;
    } else if (counter.value != digit) {
      // The strip rolls forward only and wraps above 9.5: the distance to the digit
      // is measured round the wheel, so that 0 is reached after 9.
      float distance = digit - counter.value;
      if (distance < 0.0f) distance += 9.5f;
      const float step = counter.speed * dt;
      if (step >= distance) {
        counter.value = digit;
      } else {
        counter.value += step;
        if (counter.value > 9.5f) counter.value -= 9.5f;
      }
    }
    hud::SetUVOffset(counter, 0.0f, counter.vOffset * counter.value);
  }
}

void CHUD::UpdateLifeArrow() {
  SHUDValue& life = state.values[kValueLife];
  if (life.snap) {
    life.snap = false;
    lifeArrow.value = life.target;
    lifeArrow.angularVelocity = 0.0f;
  } else {
    Spring(lifeArrow.value, lifeArrow.angularVelocity, life.target, lifeArrow.spring, lifeArrow.damp,
           state.deltaTime, 0.0f, 100.0f);
  }
  const float f = lifeArrow.value / 100.0f;
  hud::SetRoll(lifeArrow, std::sin(state.clocks[kClockWobble] * 4.0f) * 0.0062831859f +
                              f * lifeArrow.angleMax + (1.0f - f) * lifeArrow.angleMin);
}

void CHUD::UpdateDesaturation() {
  gfx::CRenderManager* render = gfx::CRenderManager::GetInstance();
  const float low = render ? render->desaturationMin : 0.27f;
  const float high = render ? render->desaturationMax : 1.0f;
  const float dt = state.deltaTime;
  if (state.desaturationState == kDesaturationRising) {
    SetDesaturation(Clamp(state.desaturation + state.desaturationRising * dt, low, high));
    if (state.desaturation >= high) {
      if (state.desaturationForced) {
        state.desaturationState = kDesaturationIdle;
      } else {
        state.desaturationState = kDesaturationFalling;
        if (sfx::CAudioManager* audio = sfx::CAudioManager::GetInstance())
          audio->FadeOutSound(state.heartbeat, 10000, 0.0f);
      }
    }
  } else if (state.desaturationState == kDesaturationFalling) {
    SetDesaturation(Clamp(state.desaturation - state.desaturationFalling * dt, low, high));
    if (state.desaturation <= low) state.desaturationState = kDesaturationIdle;
  }
}

void CHUD::UpdateGasArrow() {
  const float dt = state.deltaTime;
  SHUDValue& gas = state.values[kValueGas];
  if (gas.snap) {
    gas.snap = false;
    gasArrow.value = gas.target;
    gasArrow.angularVelocity = 0.0f;
  } else {
    Spring(gasArrow.value, gasArrow.angularVelocity, gas.target, gasArrow.spring, gasArrow.damp, dt,
           0.0f, 100.0f);
  }
  const float g = gasArrow.value / 100.0f;
  hud::SetRoll(gasArrow, (1.0f - g) * gasArrow.angleMin + g * gasArrow.angleMax);

  // Low at or below a third of the way from the empty angle to the full one, which
  // ever way the dial turns.
  const bool low = g <= 0.33f;
  SHUDLight& light = lightGas;
  if (low) {
    light.blinking = true;
    Blink(light, dt);
  } else {
    if (light.blinking) {
      light.blinking = false;
      light.intermittenceClock = 0.0f;
    }
    if (light.intermittenceClock < light.intermittentTime) {
      light.intermittenceClock += dt;
      light.blinkClock += dt;
      if (light.blinkClock > light.timeEnabled * 0.5f) {
        light.lit = !light.lit;
        light.blinkClock = 0.0f;
      }
    } else {
      light.lit = false;
    }
  }
  LightColour(light);
}

void CHUD::UpdateCrono() {
  SHUDValue& crono = state.values[kValueCrono];
  float angle = 0.0f;
  if (crono.target > 0.0f) {
    const float f = Clamp((state.clocks[kClockCrono] - 0.5f) / crono.target, 0.0f, 1.0f);
    if (f >= 1.0f) crono.target = 0.0f;
    angle = -(f * 360.0f * kDegrees);
    cronoHalo.scale = Clamp((1.0f - f) * cronoHalo.scaleMax, cronoHalo.scaleMin, cronoHalo.scaleMax);
    const float alpha = f <= 0.5f ? 2.0f * f : 1.0f - (f - 0.5f) / 0.3f;
    cronoHalo.Alpha() = Clamp(std::min(alpha, dashboard.Alpha()), 0.0f, 1.0f);
    state.clocks[kClockDashboard] = 0.0f;
  } else {
    const float drift = cronoArrow.scaleSpeed * state.deltaTime;
    angle = drift < 0.0f ? drift : 0.0f;
    cronoHalo.Alpha() = 0.0f;
  }
  hud::SetRoll(cronoArrow, angle);
  hud::SetScale(cronoHalo);
  hud::SetColour(cronoHalo);
}

void CHUD::UpdateGrenadeLights() {
  const float dt = state.deltaTime;
  const float grenades = state.values[kValueGrenades].target;
  state.values[kValueGrenades].snap = false;
  SHUDLight* const lights[2] = {&lightBomb1, &lightBomb2};
  for (int i = 0; i < 2; ++i) {
    SHUDLight& light = *lights[i];
    if (grenades > static_cast<float>(i)) {
      if (light.intermittenceClock < light.intermittentTime) {
        light.intermittenceClock += dt;
        Blink(light, dt);
      } else {
        light.lit = true;
      }
    } else {
      light.lit = false;
    }
    LightColour(light);
  }
}

// --- Emblems and helper -----------------------------------------------------------

void CHUD::UpdateEmblem(SHUDEmblem& emblem, int& emblemState, float clock) {
  const float dt = state.deltaTime;
  switch (emblemState) {
    case 0:
      emblem.posOffsetX = 0.0f;
      emblem.posOffsetY = emblem.maxY;
      break;
    case 1:
      Spring(emblem.posOffsetY, emblem.velocity, 0.0f, emblem.spring, emblem.damp, dt, emblem.minY,
             emblem.maxY);
      if (clock > emblem.displayTime) emblemState = 2;
      break;
    default:
      emblem.posOffsetY = Clamp(emblem.posOffsetY + emblem.posSpeed * dt, 0.0f, emblem.maxY);
      break;
  }
  hud::SetPosOffset(emblem);
}

void CHUD::UpdateHelper() {
  const float dt = state.deltaTime;
  switch (state.helperState) {
    case 0:
      helper.posOffsetX = 0.0f;
      helper.posOffsetY = helper.maxY;
      break;
    case 1:
      Spring(helper.posOffsetY, helper.velocity, 0.0f, helper.spring, helper.damp, dt, helper.minY,
             helper.maxY);
      if (state.clocks[kClockHelper] > helper.displayTime) state.helperState = 2;
      break;
    default: {
      // Pushed away by the same spring, which never moves a helper that rests
      // exactly in place (or past it): it leaves at least at its position speed.
      const float before = helper.posOffsetY;
      helper.velocity += dt * (-helper.spring * helper.posOffsetY - helper.damp * helper.velocity);
      helper.posOffsetY -= helper.velocity * dt;
      helper.posOffsetY = std::max(helper.posOffsetY, before + helper.posSpeed * dt);
      if (helper.posOffsetY <= helper.minY || helper.posOffsetY >= helper.maxY) helper.velocity = 0.0f;
      helper.posOffsetY = Clamp(helper.posOffsetY, helper.minY, helper.maxY);
      if (helper.posOffsetY >= helper.maxY) state.helperState = 0;
      break;
    }
  }
  hud::SetPosOffset(helper);
}

// --- Combo ------------------------------------------------------------------------

void CHUD::UpdateCombo() {
  const float dt = state.deltaTime;
  if (state.hitCount / 10 != state.lastHitCount / 10) {
    ++state.bonusCount;
    comboWord.scale = comboWord.scaleMax;
    state.bonusSlideDirection = -1.0f;
    comboUnid.posOffsetX = comboUnid.maxX;
    comboDec.posOffsetX = comboDec.maxX;
    state.bonusShown = true;
    state.clocks[kClockBonus] = 0.0f;
    comboUnid.scale = 1.0f;
    comboDec.scale = 1.0f;
    state.values[kValueScore].target +=
        static_cast<float>(state.bonusBaseValue) * static_cast<float>(state.bonusCount);
  }
  state.lastHitCount = state.hitCount;

  if (state.clocks[kClockCombo] > comboSingle.displayTime) {
    state.comboShown = false;
    state.bonusShown = false;
    state.hitCount = 0;
    state.lastHitCount = 0;
    state.bonusCount = 0;
  }
  if (state.clocks[kClockBonus] > comboWord.displayTime) state.bonusShown = false;

  state.comboAlpha = Clamp(state.comboAlpha + (state.comboShown ? 1.0f : -1.0f) * comboSingle.alphaSpeed * dt,
                           0.0f, 1.0f);
  Fade(comboWord, state.bonusShown, dt, comboWord.alphaSpeed);

  if (state.bonusSlideDirection < 0.0f) {
    for (SHUDCounter* digit : {&comboUnid, &comboDec})
      digit->posOffsetX = Clamp(digit->posOffsetX - digit->posSpeed * dt, digit->minX, digit->maxX);
    if (comboUnid.posOffsetX == comboUnid.minX) state.bonusSlideDirection = 1.0f;
  } else if (state.bonusSlideDirection > 0.0f) {
    for (SHUDCounter* digit : {&comboUnid, &comboDec})
      digit->posOffsetX = Clamp(digit->posOffsetX + digit->posSpeed * dt, digit->minX, 0.0f);
    if (comboUnid.posOffsetX == 0.0f) state.bonusSlideDirection = 0.0f;
  }

  if (state.popDirection < 0.0f) {
    for (SHUDCounter* counter : {&comboSingle, &comboUnid, &comboDec, &comboHit, &comboWord})
      counter->scale = Clamp(counter->scale - counter->scaleSpeed * dt, 1.0f, 10.0f);
  }

  if (state.comboShown) {
    state.comboUnits = state.hitCount % 10;
    state.comboTens = (state.hitCount / 10) % 10;
  }
  // The digit grid has four columns.
  auto cell = [this](SHUDCounter& counter, int digit) {
    hud::SetUVOffset(counter, static_cast<float>(digit % 4) * comboSingle.uOffset,
                     static_cast<float>(digit / 4) * comboSingle.vOffset);
  };
  // The last count stays on while the combo fades out.
  const bool twoDigits = state.comboTens > 0;
  comboSingle.Alpha() = twoDigits ? 0.0f : state.comboAlpha;
  comboUnid.Alpha() = twoDigits ? state.comboAlpha : 0.0f;
  comboDec.Alpha() = twoDigits ? state.comboAlpha : 0.0f;
  comboHit.Alpha() = state.comboAlpha;
  if (state.comboShown) {
    if (twoDigits) {
      cell(comboUnid, state.comboUnits);
      cell(comboDec, state.comboTens);
    } else {
      cell(comboSingle, state.comboUnits);
    }
  }
  for (SHUDCounter* counter : {&comboSingle, &comboUnid, &comboDec, &comboHit, &comboWord}) {
    hud::SetColour(*counter);
    hud::SetScale(*counter);
  }
  hud::SetPosOffset(comboUnid);
  hud::SetPosOffset(comboDec);
}

// --- Screen-wide elements --------------------------------------------------------

void CHUD::UpdateFades() {
  const float dt = state.deltaTime;
  struct SFaded {
    SHUDElement& element;
    bool& shown;
    float clock;
  };
  const SFaded faded[] = {{subtitles, state.subtitlesShown, state.clocks[kClockSubtitles]},
                          {button, state.buttonShown, state.clocks[kClockButton]}};
  for (const SFaded& f : faded) {
    if (f.element.displayTime > 0.0f && f.clock > f.element.displayTime) f.shown = false;
    Fade(f.element, f.shown, dt, f.element.alphaSpeed);
    hud::SetColour(f.element);
  }
}

void CHUD::UpdateBlood() {
  const float dt = state.deltaTime;
  const float clock = state.clocks[kClockBlood];
  for (SHUDSplatter& splatter : blood) {
    if (splatter.displayTime > 0.0f && clock > splatter.displayTime) state.bloodShown = false;
    if (clock > splatter.delay) {
      splatter.Alpha() = state.bloodShown
                             ? 1.0f
                             : Clamp(splatter.Alpha() - splatter.alphaSpeed * dt, 0.0f, 1.0f);
      hud::SetColour(splatter);
    }
  }
}

void CHUD::UpdateBlackScreen() {
  const float dt = state.deltaTime;
  const float before = blackScreen.Alpha();
  if (state.blackScreenShown && before < 1.0f) blackScreen.Alpha() += blackScreen.alphaSpeed * dt;
  if (!state.blackScreenShown && before > 0.0f) blackScreen.Alpha() -= blackScreen.alphaSpeed * dt;
  blackScreen.Alpha() = Clamp(blackScreen.Alpha(), 0.0f, 1.0f);
  if (blackScreen.Alpha() != before) hud::SetColour(blackScreen);
}

void CHUD::UpdateMargins() {
  const float dt = state.deltaTime;
  const float clock = state.clocks[kClockMargins];
  // The screen's base has y growing downwards: shown bars move towards the middle,
  // the top one down and the bottom one up.
  struct SBar {
    SHUDMargin& margin;
    float inwards;
    float start;
  };
  const SBar bars[] = {{marginTop, 1.0f, state.marginTopStart},
                       {marginBottom, -1.0f, state.marginBottomStart}};
  for (const SBar& bar : bars) {
    if (clock < bar.margin.timeToAppear) {
      const float move = bar.margin.appearingSpeed * dt * (state.marginsShown ? bar.inwards : -bar.inwards);
      hud::SetHeight(bar.margin, hud::GetHeight(bar.margin) + move);
    } else if (!state.marginsShown) {
      hud::SetHeight(bar.margin, bar.start);
    }
  }
}

void CHUD::UpdateBoss() {
  const float dt = state.deltaTime;
  Fade(bossFrame, state.bossShown, dt, bossFrame.alphaSpeed);
  if (bossFrame.Alpha() >= 1.0f && state.bossTechniquePending) {
    state.bossTechniquePending = false;
    hud::SetTechnique(bossBar, "TechGUIAlignCenterAlphaTest");
  }
  // No initial life yet: an empty bar rather than 0/0.
  const float f = state.bossLifeInit > 0
                      ? Clamp(state.values[kValueBoss].target / static_cast<float>(state.bossLifeInit), 0.0f, 1.0f)
                      : 0.0f;
  static const float kYellow[3] = {0.894f, 0.894f, 0.161f};
  static const float kGreen[3] = {0.6824f, 0.847f, 0.2392f};
  static const float kRed[3] = {0.8863f, 0.1451f, 0.1451f};
  const float* from = f > 0.5f ? kYellow : kRed;
  const float* to = f > 0.5f ? kGreen : kYellow;
  const float t = f > 0.5f ? (f - 0.5f) * 2.0f : 2.0f * f;
  for (int c = 0; c < 3; ++c) bossBar.colour[c] = from[c] + (to[c] - from[c]) * t;
  // The bar's parts all show with the frame.
  bossBar.Alpha() = bossBack.Alpha() = bossArrow.Alpha() = bossFrame.Alpha();
  hud::SetAlphaRef(bossBar, f * 255.0f);
  for (SHUDElement* part : {&bossFrame, &bossBar, &bossBack, &bossArrow}) hud::SetColour(*part);
  bossArrow.posOffsetX = (1.0f - f) * bossArrow.minX;
  hud::SetPosOffset(bossArrow);
}

}  // namespace vd
