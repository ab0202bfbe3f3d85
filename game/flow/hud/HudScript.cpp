// What scripts and the game states ask of the HUD. Each method only sets state;
// the next updates animate it.
#include <luabind/luabind.hpp>

#include <string>

#include "engine/audio/AudioManager.h"
#include "engine/render/RenderManager.h"
#include "engine/render/passes/FilmLook.h"
#include "game/flow/hud/Hud.h"
#include "game/flow/hud/HudParams.h"

namespace vd {

void CHUD::ShowSubtitles(const char* texture, int row, float time) {
  if (!SubtitlesOn()) return;
  const char* folder = LanguageFolder();
  if (folder[0] && texture && texture[0]) {
    if (plat::gpu::BaseTexture* found = hud::FindTexture((std::string(folder) + texture).c_str())) {
      hud::SetTexture(subtitles, found);
      subtitles.displayTime = subtitles.defaultDisplayTime;
      if (time != -1.0f) subtitles.displayTime = time;
      state.subtitlesShown = true;
      state.clocks[kClockSubtitles] = 0.0f;
    }
  }
  hud::SetUVOffset(subtitles, 0.0f, static_cast<float>(row) * subtitles.vOffset);
}

void CHUD::HideSubtitles() { state.subtitlesShown = false; }

void CHUD::ShowButton(const char* texture, float time) {
  buttonTextureName = texture ? texture : "";
  plat::gpu::BaseTexture* found = hud::FindTexture(texture);
  if (!found) return;
  hud::SetTexture(button, found);
  button.displayTime = button.defaultDisplayTime;
  if (time != -1.0f) button.displayTime = time;
  state.buttonShown = true;
  state.clocks[kClockButton] = 0.0f;
}

void CHUD::HideButton() { state.buttonShown = false; }

void CHUD::ShowBlackScreen(float fadeSpeed) {
  state.blackScreenShown = true;
  blackScreen.alphaSpeed = fadeSpeed;
  if (fadeSpeed == 0.0f) {
    blackScreen.Alpha() = 1.0f;
    hud::SetColour(blackScreen);
  }
}

void CHUD::HideBlackScreen(float fadeSpeed) {
  state.blackScreenShown = false;
  blackScreen.alphaSpeed = fadeSpeed;
}

void CHUD::ShowCinematicMargins() {
  state.marginsShown = true;
  state.clocks[kClockMargins] = 0.0f;
  state.dashboardHidden = true;
}

void CHUD::HideCinematicMargins() {
  state.marginsShown = false;
  state.clocks[kClockMargins] = 0.0f;
}

void CHUD::ShowHelper(int cell, float time) {
  state.helperState = 1;
  state.clocks[kClockHelper] = 0.0f;
  if (time != -1.0f) helper.displayTime = time;
  hud::SetUVOffset(helper, 0.0f, static_cast<float>(cell) * helper.vOffset);
  const char* folder = LanguageFolder();
  if (folder[0]) {
    if (plat::gpu::BaseTexture* found = hud::FindTexture((std::string(folder) + "hud/Helpers.dds").c_str()))
      hud::SetTexture(helper, found);
  }
  if (sfx::CAudioManager* audio = sfx::CAudioManager::GetInstance()) audio->PlaySound("helper_out", false);
}

void CHUD::HideHelper() { state.helperState = 0; }

void CHUD::ShowBossStats() {
  state.bossShown = true;
  state.bossTechniquePending = true;
  hud::SetTechnique(bossBar, "TechGUIAlignCenterNoAlpha");
}

void CHUD::HideBossStats() {
  state.bossShown = false;
  hud::SetTechnique(bossBar, "TechGUIAlignCenter");
}

void CHUD::ResetDesaturation() {
  if (gfx::CRenderManager* render = gfx::CRenderManager::GetInstance())
    gfx::SetDesaturationFactor(*render, render->desaturationMin);
}

void CHUD::ForceDesaturation() {
  state.desaturationForced = true;
  state.desaturationState = kDesaturationRising;
}

void RegisterHUDBindings(lua_State* state, CHUD* (*getHUD)()) {
  if (!state) return;
  luabind::module(state)[luabind::class_<CHUD>("HUD")
                             .def("ShowSubtitles", &CHUD::ShowSubtitles)
                             .def("HideSubtitles", &CHUD::HideSubtitles)
                             .def("ShowButton", &CHUD::ShowButton)
                             .def("HideButton", &CHUD::HideButton)
                             .def("ShowBlackScreen", &CHUD::ShowBlackScreen)
                             .def("HideBlackScreen", &CHUD::HideBlackScreen)
                             .def("ShowCinematicMargins", &CHUD::ShowCinematicMargins)
                             .def("HideCinematicMargins", &CHUD::HideCinematicMargins)
                             .def("ShowHelper", &CHUD::ShowHelper)
                             .def("HideHelper", &CHUD::HideHelper)
                             .def("ShowBossStats", &CHUD::ShowBossStats)
                             .def("HideBossStats", &CHUD::HideBossStats)
                             .def("ResetDesaturation", &CHUD::ResetDesaturation)
                             .def("ForceDesaturation", &CHUD::ForceDesaturation)];
  if (getHUD) luabind::module(state)[luabind::def("GetHUD", getHUD)];
}

}  // namespace vd
