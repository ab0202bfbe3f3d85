#pragma once
// The start-up screens: the team's logo and the pad recommendation fade in and out
// over black, then the game's title slides across under the old-movie film look,
// shaking and zooming, until it has crossed or the player accepts; then the menu.
#include <cstdint>
#include <vector>

#include "game/flow/GameStateBase.h"
#include "game/flow/GameWorld.h"

namespace vd {

class CGameStateStartUp : public CGameStateBase {
public:
  static constexpr const char* kStartUpFile = "Data/xml/startup.xml";
  // The pad screen's picture, under "eng/" or "spa/".
  static constexpr const char* kPadPicture = "startup/pad_recommended.png";

  // One screen of the sequence.
  struct SScreen {
    SScreenElement element;
    plat::Vec4 colour{0.0f, 0.0f, 0.0f, 0.0f};
    plat::Vec4 speed{0.0f, 0.0f, 0.0f, 0.0f};
    float fadeTime = 0.0f;
    float visibleTime = 0.0f;
  };
  enum EScreen : int { kBackground = 0, kLogo, kPadRecommended, kTitle, kScreenCount };
  static const char* const kScreenNames[kScreenCount];

  struct SShake {
    int axis = 0;  // 0 x, 1 y
    float in = 0.0f, out = 0.0f, power = 0.0f, speed = 0.0f;
  };
  struct SZoom {
    float in = 0.0f, timeIn = 0.0f, timeOut = 0.0f, sizeIn = 0.0f, sizeOut = 0.0f;
  };

  void Exit() override;
  bool Update(float dt) override;

  // Reads the timings and curves. False when the file is missing, empty, not XML,
  // or has no usable res (its size must be positive).
  bool ReadFile(const char* path);
  // The title's shake for a shake record at time t (the lattice noise of the title).
  static float ShakeNoise(float speed, float t);
  // The title's scale at time t: 1 outside every zoom window.
  float TitleScale(float t) const;
  // The end of the sequence: screens off, the film look back, the menu next.
  void Finish();
  // What an accept that ends the title reads; tests replace it.
  virtual bool SlotPressed(int slot) const { return Pressed(slot); }
  virtual bool PadConnected() const;

  int phase = 0;
  float timer = 0.0f;
  float frameTime = 0.0f;
  int32_t width = 0, height = 0, depth = 0;
  float aspectRatio = 0.0f;
  SScreen screens[kScreenCount];
  plat::Vec2 titlePosition{0.0f, 0.0f};
  float xMin = 0.0f, xMax = 0.0f, slideSpeed = 0.0f, slideDuration = 0.0f;
  std::vector<SShake> shakes;
  std::vector<SZoom> zooms;

protected:
  bool OnEnter() override;

private:
  // Fades a screen; true when it is over (t >= 2F + V).
  bool Fade(SScreen& screen);
  void TitleFrame();
  void Show(int screen, bool on);
  void ShowPadPictureInLanguage();
};

}  // namespace vd
