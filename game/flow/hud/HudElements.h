#pragma once
// The records of the HUD's screen elements. Each element is an ordinary game
// object of the HUD's instance file; its record keeps the object's renderer and
// transform (found when the HUD is brought up) and what the HUD animates on them.
#include <cstdint>

namespace vd {

namespace obj {
class CGameObject;
}
namespace gfx {
class CRenderer;
class CTransform;
}  // namespace gfx

// One animated value of the dashboard: where it goes, and whether the next update
// jumps there instead of animating.
struct SHUDValue {
  float target = 0.0f;
  bool snap = false;
};

enum EHUDElementKind : int {
  kHUDPlain = 0,
  kHUDArrow,
  kHUDLight,
  kHUDCounter,
  kHUDSubtitles,
  kHUDSplatter,
  kHUDMargin,
  kHUDEmblem,
  kHUDHelper
};

struct SHUDElement {
  // Bindings to the live object; never part of a checkpoint.
  obj::CGameObject* object = nullptr;
  gfx::CRenderer* renderer = nullptr;
  gfx::CTransform* transform = nullptr;

  float value = 0.0f;  // a counter digit: the digit shown now; a needle: its position
  float posOffsetX = 0.0f;
  float posOffsetY = 0.0f;
  float minX = 0.0f;
  float maxX = 0.0f;
  float minY = 0.0f;
  float maxY = 0.0f;
  float posSpeed = 1.0f;
  float scale = 1.0f;
  float scaleMin = 1.0f;
  float scaleMax = 1.0f;
  float scaleSpeed = 1.0f;
  float colour[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  float alphaSpeed = 1.0f;
  float displayTime = 0.0f;
  float defaultDisplayTime = 0.0f;

  float& Alpha() { return colour[3]; }
  float Alpha() const { return colour[3]; }
  void KeepBindingsOf(const SHUDElement& other) {
    object = other.object;
    renderer = other.renderer;
    transform = other.transform;
  }
};

struct SHUDArrow : SHUDElement {
  float angleMin = 0.0f;  // radians
  float angleMax = 0.0f;
  float angularVelocity = 0.0f;
  float spring = 16.0f;
  float damp = 1.0f;
};

struct SHUDLight : SHUDElement {
  bool blinking = false;
  bool lit = false;
  float intermittenceClock = 0.0f;
  float blinkClock = 0.0f;
  float timeEnabled = 0.0f;
  float timeDisabled = 0.0f;
  float intermittentTime = 0.0f;
  float intensity = 0.0f;
};

struct SHUDCounter : SHUDElement {
  float speed = 0.0f;
  float uOffset = 0.0f;
  float vOffset = 0.0f;
  int endl = 0;
};

struct SHUDSubtitles : SHUDElement {
  float vOffset = 0.0f;
};

struct SHUDSplatter : SHUDElement {
  float delay = 0.0f;  // seconds after the fatality's start before it shows
};

struct SHUDMargin : SHUDElement {
  float appearingSpeed = 0.0f;
  float timeToAppear = 0.0f;
};

struct SHUDEmblem : SHUDElement {
  float velocity = 0.0f;
  float spring = 16.0f;
  float damp = 1.0f;
};

struct SHUDHelper : SHUDElement {
  float velocity = 0.0f;
  float spring = 16.0f;
  float damp = 1.0f;
  float vOffset = 0.0f;
};

}  // namespace vd
