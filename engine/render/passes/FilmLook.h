#pragma once
// The film look, the last full-screen pass of every frame: a tint, desaturation
// and, while the in-game effects are on, vignetting, grain, dust points, scratches,
// a drifting vertical line and short flashes of line patterns, each on a small
// random schedule kept across frames for the life of the program.
#include <cstdint>

#include "platform/crt/Crt.h"

namespace plat {
namespace fx {
class Effect;
}
namespace gpu {
class BaseTexture;
class Texture;
}  // namespace gpu
}  // namespace plat

namespace vd {
namespace gfx {

class CRenderManager;
class CRenderPasses;
class CRenderTarget;

// Stores the factor clamped to the render manager's desaturation range.
void SetDesaturationFactor(CRenderManager& manager, float factor);

// One of the two flickering overlays (dust points, scratches).
struct SOldMovieSchedule {
  bool on = false;
  float offTimer = 0.0f;
  float onTimer = 0.0f;
  float stepTimer = 0.0f;
  float imageIndex = 0.0f;
  float offset[2] = {0.0f, 0.0f};
};

class CFilmLook {
public:
  CFilmLook(CRenderManager& manager, CRenderPasses& passes);
  ~CFilmLook();
  CFilmLook(const CFilmLook&) = delete;
  CFilmLook& operator=(const CFilmLook&) = delete;

  // dt: the real frame time (no slow motion). Draws the scene target's quad into
  // the current target with "render2textureFinalFX_tech"; false, with nothing drawn,
  // without the effect.
  bool RenderFinalFX(CRenderTarget& scene, float dt);
  // Advance their schedule and set their parameters; false without an effect (and
  // nothing advances), and for the lines while they are off.
  bool UpdateOldMoviePoints(float dt, plat::fx::Effect* effect);
  bool UpdateOldMovieScratches(float dt, plat::fx::Effect* effect);
  bool UpdateOldMovieLines(float dt, plat::fx::Effect* effect);

  // The generator of the schedules' draws (each is its value mod 100, times 0.01):
  // the platform's, unless a test scripts it.
  int (*nextRandom)() = &plat::Rand;

  float worldTime = 0.0f;
  float random[3] = {0.0f, 0.0f, 0.0f};
  SOldMovieSchedule points;
  SOldMovieSchedule scratches;
  struct SFlash {
    bool active = true;
    float timer = 0.0f;
    float offTimer = 0.0f;
    bool invert = false;
    float images[3] = {0.0f, 1.0f, 2.0f};
  } flash;
  struct SLine {
    bool active = true;
    float timer = 0.0f;
    float offTimer = 0.0f;
    float u = 0.0f;
    bool startSide = false;
  } line;

private:
  struct SConstants;
  bool UpdateSchedule(SOldMovieSchedule& s, const SConstants& c, float dt,
                      plat::fx::Effect* effect);
  float Draw() const;
  // A one-texel texture standing in for a tint or vignette that is not loaded, so
  // that a missing file leaves the picture as it is rather than black.
  plat::gpu::BaseTexture* Fallback(int which);

  CRenderManager& m_manager;
  CRenderPasses& m_passes;
  plat::gpu::Texture* m_fallback[2] = {nullptr, nullptr};
};

}  // namespace gfx
}  // namespace vd
