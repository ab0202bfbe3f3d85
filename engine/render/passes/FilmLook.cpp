#include "engine/render/passes/FilmLook.h"

#include <cmath>
#include <cstring>

#include "engine/render/RenderManager.h"
#include "engine/render/device/GraphicsManager.h"
#include "engine/render/passes/PassCommon.h"
#include "engine/render/passes/RenderPasses.h"

namespace vd {
namespace gfx {

namespace gpu = plat::gpu;

namespace {
// The render manager's film-look values, in their order.
enum { kRedPower = 0, kGreenPower, kBluePower, kBrightness, kIntensity };
enum { kLinesOn = 0, kLinesRestart };
constexpr uint32_t kFallbackColours[2] = {0xFFFFFFFFu, 0xFF808080u};  // white, mid grey
}  // namespace

struct CFilmLook::SConstants {
  float offPeriod;
  float onPeriod;
  float switchOn;
  float stepInterval;
  int randomSlot;
  const char* onParameter;
  const char* indexParameter;
  const char* offsetParameter;
  const char* textureParameter;
  const char* texture;
};

namespace {
const float kFlashFirst = 0.3f;
const float kFlashSecond = 0.4f;
}  // namespace

void SetDesaturationFactor(CRenderManager& manager, float factor) {
  if (!(factor >= manager.desaturationMin)) factor = manager.desaturationMin;  // NaN too
  if (factor > manager.desaturationMax) factor = manager.desaturationMax;
  manager.desaturation = factor;
}

CFilmLook::CFilmLook(CRenderManager& manager, CRenderPasses& passes)
    : m_manager(manager), m_passes(passes) {}

CFilmLook::~CFilmLook() {
  for (gpu::Texture*& t : m_fallback)
    if (t) {
      t->Release();
      t = nullptr;
    }
}

float CFilmLook::Draw() const { return static_cast<float>(nextRandom() % 100) * 0.01f; }

gpu::BaseTexture* CFilmLook::Fallback(int which) {
  if (m_fallback[which]) return m_fallback[which];
  gpu::Device* device = m_passes.GetDevice();
  gpu::Texture* texture = nullptr;
  if (!device || gpu::Failed(device->CreateTexture(1, 1, 1, 0, gpu::kFmtA8R8G8B8, gpu::kPoolManaged,
                                                   &texture)))
    return nullptr;
  gpu::LockedRect locked{};
  if (gpu::Succeeded(texture->LockRect(0, &locked, nullptr, 0))) {
    std::memcpy(locked.bits, &kFallbackColours[which], 4);
    texture->UnlockRect(0);
  }
  m_fallback[which] = texture;
  return texture;
}

bool CFilmLook::UpdateSchedule(SOldMovieSchedule& s, const SConstants& c, float dt,
                               plat::fx::Effect* effect) {
  if (!effect) return false;
  auto step = [&] {
    s.stepTimer = 0.0f;
    s.offset[0] += 7.0f * dt;
    s.offset[1] += 12.0f * dt;
    const float r = Draw();
    random[c.randomSlot] = r;
    const int k = r < 0.25f ? 0 : r < 0.5f ? 1 : r < 0.75f ? 2 : 3;
    s.imageIndex = static_cast<float>((k + (s.imageIndex != 0.0f ? 1 : 0)) % 4);
  };
  if (s.on) {
    s.onTimer += dt;
    s.stepTimer += dt;
  } else {
    s.offTimer += dt;
  }
  if (s.offTimer > c.offPeriod || s.onTimer > c.onPeriod) {
    s.offTimer = 0.0f;
    s.onTimer = 0.0f;
    if (!(random[0] <= c.switchOn)) {
      s.on = false;
    } else if (!s.on) {
      s.on = true;
      step();
    } else if (s.stepTimer > c.stepInterval) {
      step();
    }
  } else if (s.on && s.stepTimer > c.stepInterval) {
    step();
  }
  fxset::Bool(effect, c.onParameter, s.on);
  fxset::Float(effect, c.indexParameter, s.imageIndex);
  fxset::Float2(effect, c.offsetParameter, s.offset[0], s.offset[1]);
  fxset::Texture(effect, c.textureParameter, m_passes.FindTexture(c.texture));
  return true;
}

bool CFilmLook::UpdateOldMoviePoints(float dt, plat::fx::Effect* effect) {
  static const SConstants kPoints = {0.4f,
                                     0.3f,
                                     0.2f,
                                     0.2f,
                                     1,
                                     "gOldMoviePoints",
                                     "gOldMoviePointsImageIndex",
                                     "gOldMoviePointsUv",
                                     "gOldMoviePointsTexure",
                                     "old_movie_points.dds"};
  return UpdateSchedule(points, kPoints, dt, effect);
}

bool CFilmLook::UpdateOldMovieScratches(float dt, plat::fx::Effect* effect) {
  static const SConstants kScratches = {0.4f,
                                        0.55f,
                                        0.4f,
                                        0.35f,
                                        2,
                                        "gOldMovieScratches",
                                        "gOldMovieScratchesImageIndex",
                                        "gOldMovieScratchesUv",
                                        "gOldMovieScratchesTexure",
                                        "old_movie_scratches.dds"};
  return UpdateSchedule(scratches, kScratches, dt, effect);
}

bool CFilmLook::UpdateOldMovieLines(float dt, plat::fx::Effect* effect) {
  if (!effect) return false;
  bool& linesOn = m_manager.filmLookSwitches[kLinesOn];
  bool& restart = m_manager.filmLookSwitches[kLinesRestart];
  if (!linesOn) {
    fxset::Bool(effect, "gOldMovieLine", false);
    fxset::Bool(effect, "gOldMovieFlashLines", false);
    return false;
  }
  bool advanceFlash = flash.active;
  if (restart) {
    restart = false;
    line.timer = 0.0f;
    line.offTimer = 0.0f;
    flash.active = true;
    flash.timer = 0.0f;
    flash.invert = false;
    flash.offTimer = 0.0f;
    line.active = true;
    line.startSide = false;
    advanceFlash = true;
  } else if (!flash.active) {
    flash.offTimer += dt;
    if (flash.offTimer > 8.0f && random[0] < 0.1f) {
      flash.timer = 0.0f;
      flash.active = true;
      flash.invert = !flash.invert;
      const float plain[3] = {0.0f, 1.0f, 2.0f}, inverted[3] = {2.0f, 0.0f, 1.0f};
      std::memcpy(flash.images, flash.invert ? inverted : plain, sizeof flash.images);
    }
  }
  if (advanceFlash) {
    flash.timer += dt;
    if (flash.timer < kFlashFirst) {
      fxset::Float(effect, "gOldMovieFlashLinesIndex", flash.images[0]);
    } else if (flash.timer > kFlashFirst && flash.timer < kFlashSecond) {
      fxset::Float(effect, "gOldMovieFlashLinesIndex", flash.images[1]);
    } else {
      flash.active = false;
      flash.offTimer = 0.0f;
    }
    fxset::Bool(effect, "gOldMovieFlashLinesInvert", flash.invert);
    fxset::Texture(effect, "gOldMovieFlashLinesTexure", m_passes.FindTexture("old_movie_lines"));
  }
  fxset::Bool(effect, "gOldMovieFlashLines", flash.active);

  if (line.active) {
    line.timer += dt;
    line.u += random[2] >= 0.5f ? 0.01f * dt : -0.01f * dt;
    if (line.u < -1.2f || line.u > 0.2f || (line.timer > 3.0f && random[0] < 0.5f)) {
      line.active = false;
      line.offTimer = 0.0f;
    } else {
      fxset::Float(effect, "gOldMovieLineU", line.u);
      fxset::Texture(effect, "gOldMovieLineTexure", m_passes.FindTexture("old_movie_line"));
    }
  }
  if (!line.active) {
    line.offTimer += dt;
    if (line.offTimer > 6.0f && random[1] < 0.2f) {
      line.timer = 0.0f;
      line.u = line.startSide ? 0.0f : -0.8f;
      line.startSide = !line.startSide;
      line.active = true;
    }
  }
  fxset::Bool(effect, "gOldMovieLine", line.active);
  return true;
}

bool CFilmLook::RenderFinalFX(CRenderTarget& scene, float dt) {
  worldTime += dt;
  plat::fx::Effect* effect = m_passes.FindEffect("render2texture");
  if (!effect || gpu::Failed(effect->SetTechnique("render2textureFinalFX_tech"))) return false;
  const float* values = m_manager.filmLookValues;
  fxset::Texture(effect, "gTexure", scene.texture);
  gpu::BaseTexture* tint = m_passes.FindTexture("tinte.dds");
  fxset::Texture(effect, "gFilterTexure", tint ? tint : Fallback(0));
  fxset::Float(effect, "gDesaturationFactor", m_manager.desaturation);
  fxset::Float(effect, "gDesaturationRedPower", values[kRedPower]);
  fxset::Float(effect, "gDesaturationGreenPower", values[kGreenPower]);
  fxset::Float(effect, "gDesaturationBluePower", values[kBluePower]);
  if (!m_manager.filmLookExtras.render) {
    fxset::Bool(effect, "gEnableIngamePostFX", false);
  } else {
    fxset::Bool(effect, "gEnableIngamePostFX", true);
    gpu::BaseTexture* vignette = m_passes.FindTexture("vigneting.dds");
    fxset::Texture(effect, "gVignetingTexure", vignette ? vignette : Fallback(0));
    random[0] = Draw();
    fxset::Float(effect, "gWorldTime", worldTime);
    gpu::BaseTexture* grain = m_passes.FindTexture("old_movie_granulate.dds");
    fxset::Texture(effect, "gOldMoiveTextureGranulate", grain ? grain : Fallback(1));
    UpdateOldMoviePoints(dt, effect);
    UpdateOldMovieScratches(dt, effect);
    UpdateOldMovieLines(dt, effect);
    fxset::Float(effect, "gOldMovieEffectIntesifier", values[kIntensity]);
    fxset::Floats(effect, "gRand", random, 3);
    fxset::Float(effect, "gBirghtness", values[kBrightness]);
  }
  return m_passes.DrawQuadPasses(effect, scene);
}

}  // namespace gfx
}  // namespace vd
