#include "game/flow/intro/IntroState.h"

#include <algorithm>
#include <cstdlib>
#include <luabind/object.hpp>
#include <type_traits>
#include <utility>
#include <vector>

#include "engine/core/Log.h"
#include "engine/core/XmlFile.h"
#include "engine/input/InputManager.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Renderer.h"
#include "engine/objects/Transform.h"
#include "engine/render/Shader.h"
#include "game/flow/GameNames.h"
#include "game/flow/Vandrel.h"
#include "game/player/PlayerController.h"

namespace vd {

namespace {


const char* Attribute(rapidxml::xml_node<>* node, const char* name) {
  rapidxml::xml_attribute<>* a = node ? node->first_attribute(name) : nullptr;
  return a ? a->value() : "";
}

float Number(rapidxml::xml_node<>* node, const char* name) {
  return static_cast<float>(std::atof(Attribute(node, name)));
}

void SendColour(const STimedScreenElement& element) {
  const float colour[4] = {element.colour.x, element.colour.y, element.colour.z, element.colour.w};
  element.renderer->SetShaderParameter(CStringHash("gColor"), gfx::kShaderFloat4, colour);
}

}  // namespace

const CGameStateIntro::SSubtitle CGameStateIntro::kSubtitles[kSubtitleCount] = {
    {0.0f, 6.0f},  {2.5f, 6.0f},  {7.5f, 6.0f},  {11.0f, 6.0f},
    {14.0f, 6.0f}, {18.5f, 6.0f}, {23.0f, 6.0f}, {26.0f, 4.0f}};

bool ReadIntroFile(const char* path, obj::CGameObjectManager& objects, CFrontEndData& frontEnd) {
  frontEnd.introTable.clear();

  // The intro's panels are laid out on the menu's screen base. A menu that has not
  // read its size leaves them the effect's own base rather than one of 0 pixels.
  if (frontEnd.menuWidth > 0 && frontEnd.menuHeight > 0) {
    std::vector<obj::CGameObject*> panels;
    objects.GetGameObjectsByTemplate(game_names::SH_intro, panels);
    for (obj::CGameObject* panel : panels) {
      gfx::CRenderer* renderer = panel->GetComponent<gfx::CRenderer>();
      if (!renderer) continue;
      renderer->SetShaderParameter(CStringHash("gBaseWidth"), gfx::kShaderInt, &frontEnd.menuWidth);
      renderer->SetShaderParameter(CStringHash("gBaseHeight"), gfx::kShaderInt,
                                   &frontEnd.menuHeight);
      renderer->SetShaderParameter(CStringHash("gBaseDepth"), gfx::kShaderInt, &frontEnd.menuDepth);
      renderer->SetShaderParameter(CStringHash("gBaseAspectRatio"), gfx::kShaderFloat,
                                   &frontEnd.menuAspectRatio);
    }
  }

  utl::CXmlFile file;
  switch (file.Load(path)) {
    case utl::CXmlFile::EResult::Missing:
      utl::LogPrintf("Intro file %s is missing or empty\n", path);
      return false;
    case utl::CXmlFile::EResult::Malformed:
      utl::LogPrintf("Intro file %s is not valid XML: %s\n", path, file.Error().c_str());
      return false;
    case utl::CXmlFile::EResult::Ok:
      break;
  }

  const uint32_t techniques[] = {ComputeHash("TechGUIAlignLeft"), ComputeHash("TechGUIAlignCenter"),
                                 ComputeHash("TechGUIAlignRight")};
  for (rapidxml::xml_node<>* node = file.Document().first_node("intro"); node;
       node = node->next_sibling("intro")) {
    const char* name = Attribute(node, "name");
    STimedScreenElement element;
    BindElement(objects, name, element);
    if (!element.object || !element.renderer) {
      utl::LogPrintf("Intro file %s: \"%s\" names no object with a renderer; skipped\n", path, name);
      continue;
    }
    element.colour = plat::Vec4(1.0f, 1.0f, 1.0f, 1.0f);
    rapidxml::xml_node<>* timing = node->first_node("timing");
    element.timingIn = Number(timing, "in");
    element.timingOut = Number(timing, "out");
    if (rapidxml::xml_node<>* alpha = node->first_node("alpha")) {
      element.colour.w = Number(alpha, "value");
      element.alphaSpeed = Number(alpha, "speed");
    }
    if (rapidxml::xml_node<>* alignment = node->first_node("alignment")) {
      const char* technique = Attribute(alignment, "value");
      if (std::find(std::begin(techniques), std::end(techniques), ComputeHash(technique)) !=
          std::end(techniques))
        element.renderer->SetTechnique(CStringHash(technique));
    }
    if (rapidxml::xml_node<>* scale = node->first_node("scale")) {
      element.scaleBegin = Number(scale, "begin");
      element.scaleEnd = Number(scale, "end");
      element.scaleValueBegin = Number(scale, "val_begin");
      element.scaleValueEnd = Number(scale, "val_end");
    }
    frontEnd.introTable[ComputeHash(name)] = element;
  }
  return true;
}

bool CGameStateIntro::OnEnter() {
  m_clock = 0.0f;
  m_length = 0.0f;
  std::fill(std::begin(m_subtitleShown), std::end(m_subtitleShown), false);
  if (!m_app) return true;
  CVandrel& app = *m_app;

  app.renderManager.LoadShaders(kShadersFile);
  if (m_frontEnd) ReadIntroFile(introFile, app.objectManager, *m_frontEnd);

  // The player stands still in the street while the intro tells his story.
  if (m_world && m_world->player) {
    m_world->player->SetState(CPlayerController::kIdleCinematic);
  } else {
    utl::LogPrintf("Intro: there is no player to hold still\n");
  }

  sfx::CAudioManager& audio = app.audioManager;
  audio.PlaySong("intro_ome", false);
  audio.PlaySong(kNarration, false);
  audio.PlaySong("intro_loop", true);
  m_length = audio.GetSongDuration(kNarration);

  if (m_frontEnd && m_frontEnd->introScreen)
    app.objectManager.QueueEnable(m_frontEnd->introScreen, false);

  if (m_world) {
    m_world->hud.ShowCinematicMargins();
    m_world->hud.ShowButton(
        app.inputManager.IsPadConnected() ? "hud/Button_A.dds" : "hud/Keyboard_K.dds", 0.0f);
  }
  return true;
}

void CGameStateIntro::Exit() {
  running = 0;
  next = kStateIntro;
  Drop();
}

void CGameStateIntro::StepElement(STimedScreenElement& element, float dt) {
  // Products in double precision, as the timetable's fractions are meant.
  const double t = m_clock, length = m_length;
  const double in = element.timingIn * length, out = element.timingOut * length;
  if (t >= in && t < out) {
    if (element.object->IsEnabled()) {
      if (m_world) m_world->hud.HideBlackScreen(0.5f);
      element.colour.w = std::clamp(element.colour.w + element.alphaSpeed * dt, 0.0f, 1.0f);
    } else if (m_app) {
      m_app->objectManager.QueueEnable(element.object, true);
    }
    SendColour(element);
  } else if (t >= out && element.object->IsEnabled()) {
    element.colour.w = std::clamp(element.colour.w - element.alphaSpeed * dt, 0.0f, 1.0f);
    if (element.colour.w == 0.0f && m_app) m_app->objectManager.QueueEnable(element.object, false);
    SendColour(element);
  }

  const double begin = element.scaleBegin * length, end = element.scaleEnd * length;
  if (t >= begin && t < end) {
    const double f = (t - begin) / (end - begin);
    const float scale =
        static_cast<float>((1.0 - f) * element.scaleValueBegin + f * element.scaleValueEnd);
    element.renderer->SetShaderParameter(CStringHash("gScale"), gfx::kShaderFloat, &scale);
  }
}

void CGameStateIntro::StepSubtitles() {
  for (int frame = 0; frame < kSubtitleCount; ++frame) {
    if (m_subtitleShown[frame] || m_clock < kSubtitles[frame].at) continue;
    if (m_world) m_world->hud.ShowSubtitles(kSubtitleTexture, frame, kSubtitles[frame].time);
    m_subtitleShown[frame] = true;
    return;
  }
}

bool CGameStateIntro::Update(float dt) {
  if (m_frontEnd)
    for (auto& entry : m_frontEnd->introTable) StepElement(entry.second, dt);
  StepSubtitles();
  m_clock += dt;
  if (m_world) m_world->hud.Update(dt);
  if (m_clock >= m_length || Pressed(CInputManager::Use)) Finish();
  return true;
}

void CGameStateIntro::Finish() {
  running = 0;
  next = kStateInGame;
  if (!m_app) return;
  CVandrel& app = *m_app;
  app.audioManager.StopSong("intro_ome");
  app.audioManager.StopSong(kNarration);
  // A fade to silence that then stops: a loop faded to volume 0 would go on playing
  // unheard under the whole game.
  app.audioManager.FadeOutSong("intro_loop", 1000, -1.0f);
  if (m_world) {
    m_world->hud.HideSubtitles();
    m_world->hud.ShowBlackScreen(0.0f);
    // The skip hint has nothing to skip in play.
    m_world->hud.HideButton();
  }
  // The intro held him still; play hands him back before the level's scripts begin,
  // which may hold him again.
  if (m_world && m_world->player && m_world->player->state == CPlayerController::kIdleCinematic)
    m_world->player->SetState(CPlayerController::kIdle);
  app.scriptManager.CallGlobalFunction("OnInitGame", luabind::object());
  utl::LogPrintf("Init game\n");
  if (m_frontEnd) {
    // The panels go with their group: their records must not outlive them.
    m_frontEnd->introTable.clear();
    if (m_frontEnd->introGroup >= 0) app.services->DestroyObjectGroup(m_frontEnd->introGroup);
    m_frontEnd->introGroup = -1;
  }
}

}  // namespace vd
