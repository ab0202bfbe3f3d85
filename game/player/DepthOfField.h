#pragma once
// What the follow camera needs of the render side's depth of field: the on switch
// that the player sets, the cinematic switch, and the four values of the effect. The
// render thread reads the values while it draws; they are plain floats written from
// the main thread without a lock.
#include <cstdint>

namespace vd {

struct SDepthOfFieldValues {
  float focalDist = 0.0f;
  float nearBlurPlaneDist = 0.0f;
  float farBlurPlaneDist = 0.0f;
  float farBlurLimit = 0.0f;
};

class IDepthOfField {
public:
  virtual ~IDepthOfField() = default;
  // The game-side "depth of field on" flag.
  virtual bool IsOn() const = 0;
  // The game-side cinematic flag; the render thread takes it at its next commit.
  virtual void SetCinematic(bool on) = 0;
  virtual SDepthOfFieldValues GetValues() const = 0;
  virtual void SetValues(const SDepthOfFieldValues& values) = 0;
};

// Values held by the game alone: what the camera writes when no render side is
// connected, and what tests read back.
class CDepthOfFieldState : public IDepthOfField {
public:
  bool IsOn() const override { return on != 0; }
  void SetCinematic(bool value) override { cinematic = value ? 1 : 0; }
  SDepthOfFieldValues GetValues() const override { return values; }
  void SetValues(const SDepthOfFieldValues& newValues) override { values = newValues; }

  uint8_t on = 0;
  uint8_t cinematic = 0;
  SDepthOfFieldValues values;
};

}  // namespace vd
