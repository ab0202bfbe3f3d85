#include "game/flow/FinalCreditsState.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "engine/core/Log.h"
#include "engine/core/XmlFile.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Renderer.h"
#include "engine/render/RenderManager.h"
#include "engine/render/Shader.h"
#include "game/flow/Vandrel.h"

namespace vd {

namespace {

const char* Attribute(rapidxml::xml_node<>* node, const char* name) {
  rapidxml::xml_attribute<>* a = node ? node->first_attribute(name) : nullptr;
  return a ? a->value() : "";
}

float Number(rapidxml::xml_node<>* node, const char* name) {
  return static_cast<float>(std::atof(Attribute(node, name)));
}

const char* TechniqueOf(const char* alignment) {
  const uint32_t hash = ComputeHash(alignment);
  if (hash == ComputeHash("left")) return "TechGUIAlignLeft";
  if (hash == ComputeHash("right")) return "TechGUIAlignRight";
  if (hash == ComputeHash("center")) return "TechGUIAlignCenter";
  return nullptr;
}

void SendColour(const STimedScreenElement& card) {
  const float colour[4] = {card.colour.x, card.colour.y, card.colour.z, card.colour.w};
  card.renderer->SetShaderParameter(CStringHash("gColor"), gfx::kShaderFloat4, colour);
}

// The card's image once the render thread has made it; until then the card keeps the
// image its own renderer names.
void ShowImage(const STimedScreenElement& card, const gfx::CRenderManager& render) {
  if (card.texture.empty()) return;
  const gfx::CTexture* texture = render.FindTexture(CStringHash(card.texture.c_str()));
  plat::gpu::BaseTexture* device = texture ? texture->GetDeviceTexture() : nullptr;
  if (device) card.renderer->SetShaderParameter(CStringHash("gTexDiffuse"), gfx::kShaderTexture, device);
}

}  // namespace

bool ReadCreditsFile(const char* path, obj::CGameObjectManager& objects, CFrontEndData& frontEnd,
                     gfx::CRenderManager& render, const char* language) {
  frontEnd.creditsTable.clear();
  utl::CXmlFile file;
  switch (file.Load(path)) {
    case utl::CXmlFile::EResult::Missing:
      utl::LogPrintf("Credits file %s is missing or empty\n", path);
      return false;
    case utl::CXmlFile::EResult::Malformed:
      utl::LogPrintf("Credits file %s is not valid XML: %s\n", path, file.Error().c_str());
      return false;
    case utl::CXmlFile::EResult::Ok:
      break;
  }
  rapidxml::xml_node<>* root = file.Document().first_node("res");
  if (!root) {
    utl::LogPrintf("Credits file %s has no res element\n", path);
    return false;
  }
  const int32_t width = std::atoi(Attribute(root, "width"));
  const int32_t height = std::atoi(Attribute(root, "height"));
  const int32_t depth = std::atoi(Attribute(root, "depth"));
  const float aspect = height != 0 ? static_cast<float>(width) / static_cast<float>(height) : 0.0f;

  for (rapidxml::xml_node<>* node = root->first_node("credits"); node;
       node = node->next_sibling("credits")) {
    const char* name = Attribute(node, "name");
    STimedScreenElement card;
    BindElement(objects, name, card);
    if (!card.object || !card.renderer) {
      utl::LogPrintf("Credits file %s: \"%s\" names no object with a renderer; skipped\n", path,
                     name);
      continue;
    }
    // A base of 0 pixels would put the card nowhere: the effect's own base stays then.
    if (width > 0 && height > 0) {
      card.renderer->SetShaderParameter(CStringHash("gBaseWidth"), gfx::kShaderInt, &width);
      card.renderer->SetShaderParameter(CStringHash("gBaseHeight"), gfx::kShaderInt, &height);
      card.renderer->SetShaderParameter(CStringHash("gBaseDepth"), gfx::kShaderInt, &depth);
      card.renderer->SetShaderParameter(CStringHash("gBaseAspectRatio"), gfx::kShaderFloat,
                                        &aspect);
    }
    if (const char* technique = TechniqueOf(Attribute(node->first_node("alignment"), "value")))
      card.renderer->SetTechnique(CStringHash(technique));
    rapidxml::xml_node<>* timing = node->first_node("timing");
    card.timingIn = Number(timing, "in");
    card.timingOut = Number(timing, "out");
    rapidxml::xml_node<>* alpha = node->first_node("alpha");
    card.colour = plat::Vec4(1.0f, 1.0f, 1.0f, Number(alpha, "value"));
    card.alphaSpeed = Number(alpha, "speed");
    const char* image = Attribute(node->first_node("texture"), "name");
    if (image[0]) {
      card.texture = std::string(language) + image;
      render.LoadTexture(CStringHash(card.texture.c_str()), nullptr, card.texture.c_str(), 0);
      ShowImage(card, render);
    }
    SendColour(card);
    frontEnd.creditsTable[ComputeHash(name)] = card;
  }
  return true;
}

bool CGameStateFinalCredits::OnEnter() {
  m_clock = 0.0f;
  m_length = 0.0f;
  if (!m_app) return true;
  CVandrel& app = *m_app;
  app.PauseGame();

  bool read = true;
  if (m_frontEnd) {
    const char* language = m_options && m_options->language == 1 ? "spa/" : "eng/";
    read = ReadCreditsFile(creditsFile, app.objectManager, *m_frontEnd, app.renderManager, language);
    // Looked up on every visit: the screen goes with the credits' group at the end.
    m_frontEnd->creditsScreen = app.objectManager.GetGameObjectByName(CStringHash(kBackground));
    if (m_frontEnd->creditsScreen) {
      app.objectManager.QueueEnable(m_frontEnd->creditsScreen, true);
      // Its own colour: the effect would otherwise keep the fading alpha of the card
      // drawn before it.
      gfx::CRenderer* renderer = m_frontEnd->creditsScreen->GetComponent<gfx::CRenderer>();
      const float opaque[4] = {1.0f, 1.0f, 1.0f, 1.0f};
      if (renderer) renderer->SetShaderParameter(CStringHash("gColor"), gfx::kShaderFloat4, opaque);
    }
  }

  app.audioManager.PlaySong(kSong, false);
  m_length = app.audioManager.GetSongDuration(kSong);
  return read;
}

void CGameStateFinalCredits::Exit() {
  running = 0;
  next = kStateFinalCredits;
  Drop();
}

void CGameStateFinalCredits::ShowCard(STimedScreenElement& card) {
  m_app->objectManager.QueueEnable(card.object, true);
  ShowImage(card, m_app->renderManager);
}

bool CGameStateFinalCredits::Update(float dt) {
  m_clock += dt;
  if (m_clock < m_length && m_frontEnd && m_app) {
    const double t = m_clock, length = m_length;
    for (auto& entry : m_frontEnd->creditsTable) {
      STimedScreenElement& card = entry.second;
      const double in = card.timingIn * length, out = card.timingOut * length;
      if (t >= in && t < out) {
        if (card.object->IsEnabled()) {
          card.colour.w = std::clamp(card.colour.w + card.alphaSpeed * dt, 0.0f, 1.0f);
        } else {
          ShowCard(card);
        }
        SendColour(card);
      } else if (t >= out && card.object->IsEnabled()) {
        card.colour.w = std::clamp(card.colour.w - card.alphaSpeed * dt, 0.0f, 1.0f);
        if (card.colour.w == 0.0f) m_app->objectManager.QueueEnable(card.object, false);
        SendColour(card);
      }
    }
  }
  if (m_clock < m_length) return true;

  running = 0;
  next = kStateMenu;
  if (!m_app) return true;
  CVandrel& app = *m_app;
  app.PauseGame();
  if (m_frontEnd) {
    // The cards and the screen go with their group: nothing may point at them after.
    m_frontEnd->creditsTable.clear();
    m_frontEnd->creditsScreen = nullptr;
    if (m_frontEnd->creditsGroup >= 0) app.services->DestroyObjectGroup(m_frontEnd->creditsGroup);
    m_frontEnd->creditsGroup = -1;
  }
  app.ExitToMainMenu();
  app.audioManager.PlaySong("main_menu_01", true);
  return true;
}

}  // namespace vd
