// The main menu: its file, its elements' looks and fades, the backdrop and the
// seven pages.
#include "game/flow/menu/MenuState.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "engine/core/Locks.h"
#include "engine/core/Log.h"
#include "engine/core/XmlFile.h"
#include "engine/input/InputManager.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Renderer.h"
#include "engine/objects/Transform.h"
#include "engine/render/RenderManager.h"
#include "game/flow/GameOptions.h"
#include "game/flow/Vandrel.h"
#include "game/flow/menu/MenuPages.h"
#include "platform/window/Window.h"

namespace vd {

namespace {

const char* const kResolutionDigits[] = {
    "resolution_width_unid",  "resolution_width_dec",  "resolution_width_cent",
    "resolution_width_mil",   "resolution_x",          "resolution_height_unid",
    "resolution_height_dec",  "resolution_height_cent", "resolution_height_mil"};

const char* const kDifficulties[] = {"difficulty_easy", "difficulty_normal", "difficulty_hard"};
const char* const kLanguages[] = {"language_eng", "language_spa"};
const char* const kQualities[] = {"graphicsquality_low", "graphicsquality_medium",
                                  "graphicsquality_high"};
const char* const kAntialiasings[] = {"antialiasing_off", "antialiasing_2x", "antialiasing_4x",
                                      "antialiasing_8x", "antialiasing_16x"};
const char* const kShadows[] = {"shadowsquality_off",  "shadowsquality_low",
                                "shadowsquality_medium", "shadowsquality_high",
                                "shadowsquality_veryhigh", "shadowsquality_ultrahigh"};

// The on/off rows of the graphics page with their pending flags.
struct SFlagRow {
  const char* row;
  const char* off;
  const char* on;
  const char* left;
  const char* right;
  uint8_t SPendingOptions::*flag;
};
const SFlagRow kGraphicsFlags[] = {
    {"option_vsync", "vsync_off", "vsync_on", "vsync_left_arrow", "vsync_right_arrow",
     &SPendingOptions::vsync},
    {"option_dof", "dof_off", "dof_on", "dof_left_arrow", "dof_right_arrow",
     &SPendingOptions::depthOfField},
    {"option_ssao", "ssao_off", "ssao_on", "ssao_left_arrow", "ssao_right_arrow",
     &SPendingOptions::ssao},
    {"option_glow", "glow_off", "glow_on", "glow_left_arrow", "glow_right_arrow",
     &SPendingOptions::glow},
    {"option_blooddecals", "blooddecals_off", "blooddecals_on", "blooddecals_left_arrow",
     "blooddecals_right_arrow", &SPendingOptions::bloodDecals},
};

// The enumerated rows of the graphics page.
struct SNameRow {
  const char* row;
  const char* const* values;
  int count;
  const char* left;
  const char* right;
  CStringHash SPendingOptions::*name;
};
const SNameRow kGraphicsNames[] = {
    {"option_graphicsquality", kQualities, 3, "graphicsquality_left_arrow",
     "graphicsquality_right_arrow", &SPendingOptions::graphicsQuality},
    {"option_antialiasing", kAntialiasings, 5, "antialiasing_left_arrow",
     "antialiasing_right_arrow", &SPendingOptions::antialiasing},
    {"option_shadows", kShadows, 6, "shadows_left_arrow", "shadows_right_arrow",
     &SPendingOptions::shadowsQuality},
};

const char* const kMainRing[] = {"menu_button_newgame", "menu_button_options", "menu_button_exit"};
const char* const kNewGameRing[] = {"newgame_easy", "newgame_normal", "newgame_hard",
                                    "menu_button_back"};
const char* const kOptionsRing[] = {"menu_button_gameoptions", "menu_button_graphics",
                                    "menu_button_sound", "menu_button_back"};
const char* const kGameConfigRing[] = {"option_difficulty", "option_language",
                                       "option_subtitles", "menu_button_save",
                                       "menu_button_back"};
const char* const kGraphicsRing[] = {"option_resolution", "option_graphicsquality",
                                     "option_vsync",      "option_antialiasing",
                                     "option_dof",        "option_shadows",
                                     "option_ssao",       "option_glow",
                                     "option_blooddecals", "menu_button_save",
                                     "menu_button_back"};
const char* const kSoundRing[] = {"option_musicvolume", "option_effectsvolume",
                                  "option_voicesvolume", "menu_button_back"};

// The position of the selection in a ring; -1 when it is not there.
template <size_t N>
int RingIndex(const char* const (&ring)[N], const CStringHash& selected) {
  for (size_t i = 0; i < N; ++i)
    if (selected == CStringHash(ring[i])) return static_cast<int>(i);
  return -1;
}

int NameIndex(const char* const* values, int count, const CStringHash& name) {
  for (int i = 0; i < count; ++i)
    if (name == CStringHash(values[i])) return i;
  return -1;
}

const char* Attr(rapidxml::xml_node<>* node, const char* name) {
  rapidxml::xml_attribute<>* a = node ? node->first_attribute(name) : nullptr;
  return a ? a->value() : "";
}

void SetColour(SMenuElement& element) {
  if (element.renderer)
    element.renderer->SetShaderParameter(CStringHash("gColor"), 5, &element.colour);
}

}  // namespace

// --- hooks ---

bool CGameStateMenu::SlotPressed(int slot) const { return Pressed(slot); }

float CGameStateMenu::SlotValue(int slot) const {
  return m_app ? m_app->inputManager.GetAction(slot).value : 0.0f;
}

void CGameStateMenu::PlaySound(const char* name) {
  if (m_app) m_app->audioManager.PlaySound(name, false);
}

void CGameStateMenu::QueueEnable(SMenuElement& element, bool enable) {
  if (m_app && element.object) m_app->objectManager.QueueEnable(element.object, enable);
}

void CGameStateMenu::ShowTexture(SMenuElement& element, const std::string& texture) {
  if (texture.empty()) return;
  element.shown = texture;
  if (!m_app || !element.renderer) return;
  const gfx::CTexture* record = m_app->renderManager.FindTexture(CStringHash(texture.c_str()));
  if (!record) return;  // neither loaded nor queued: the look stays
  if (plat::gpu::BaseTexture* device = record->GetDeviceTexture()) {
    element.renderer->SetShaderParameter(CStringHash("gTexDiffuse"), 7, device);
    return;
  }
  // Queued but not made yet: the render side makes it within a few frames.
  m_textureRetries.emplace_back(element.name.GetHash(), texture);
}

void CGameStateMenu::RetryTextures() {
  if (m_textureRetries.empty() || !m_frontEnd) return;
  std::vector<std::pair<uint32_t, std::string>> retries;
  retries.swap(m_textureRetries);
  for (const auto& retry : retries) {
    auto it = m_frontEnd->menuTable.find(retry.first);
    // A later look replaced this one meanwhile.
    if (it == m_frontEnd->menuTable.end() || it->second.shown != retry.second) continue;
    ShowTexture(it->second, retry.second);
  }
}

void CGameStateMenu::SetTypeVolume(const char* type, float volume) {
  if (m_app) m_app->audioManager.SetTypeVolume(CStringHash(type), volume);
}

void CGameStateMenu::QuitGame() {
  if (!m_app) return;
  m_app->quitRequested = 1;
  plat::PostQuit(0);
}

// --- elements ---

SMenuElement* CGameStateMenu::Element(const CStringHash& name) {
  if (!m_frontEnd || name.IsNoName()) return nullptr;
  auto it = m_frontEnd->menuTable.find(name.GetHash());
  return it == m_frontEnd->menuTable.end() ? nullptr : &it->second;
}

void CGameStateMenu::HighlightElement(const CStringHash& name) {
  if (SMenuElement* element = Element(name)) ShowTexture(*element, element->highlighted);
}

void CGameStateMenu::UnhighlightElement(const CStringHash& name) {
  if (SMenuElement* element = Element(name)) ShowTexture(*element, element->normal);
}

void CGameStateMenu::SelectElement(const CStringHash& name) {
  UnhighlightElement(selected);
  if (!name.IsNoName() && name.c_str()[0]) {
    selected = name;
    selected.MakeOwned();  // callers may pass names built on the fly
  }
  HighlightElement(selected);
}

void CGameStateMenu::FlashElement(const CStringHash& name) {
  flashing = name;
  flashing.MakeOwned();
  SMenuElement* element = Element(name);
  if (!element) return;
  element->colour = plat::Vec4(1.0f, 1.0f, 1.0f, 1.0f);
  element->fadeRate = plat::Vec4(1.0f, 1.0f, 1.0f, 1.0f);
  // Without a fade time the flash still ends: the next update restores the element
  // (a countdown of 0 would keep it lit for ever).
  element->countdown = element->fadeTime > 0.0f ? element->fadeTime
                                                : std::numeric_limits<float>::min();
  ShowTexture(*element, element->highlighted);
}

void CGameStateMenu::HighlightResolution() {
  for (const char* digit : kResolutionDigits) HighlightElement(CStringHash(digit));
}

void CGameStateMenu::UnhighlightResolution() {
  for (const char* digit : kResolutionDigits) UnhighlightElement(CStringHash(digit));
}

void CGameStateMenu::EnableElement(const CStringHash& name, bool enable) {
  if (SMenuElement* element = Element(name)) QueueEnable(*element, enable);
}

void CGameStateMenu::UpdateElementFades(float dt) {
  if (!m_frontEnd) return;
  for (auto& entry : m_frontEnd->menuTable) {
    SMenuElement& e = entry.second;
    if (e.object && !e.object->IsEnabled()) continue;
    if (!(e.countdown > 0.0f)) continue;
    e.countdown -= dt;
    if (e.countdown <= e.visibleTime && e.countdown > 0.0f && e.colour.w > 0.35f) {
      e.colour.w = std::clamp(e.colour.w - e.fadeRate.w * dt, 0.0f, 1.0f);
      e.colour.x = std::clamp(e.colour.x + e.fadeRate.x * dt, 0.0f, 1.0f);
      e.colour.y = std::clamp(e.colour.y + e.fadeRate.y * dt, 0.0f, 1.0f);
      e.colour.z = std::clamp(e.colour.z + e.fadeRate.z * dt, 0.0f, 1.0f);
      SetColour(e);
      continue;
    }
    // A countdown that ends on exactly 0 is over as well: the element must not
    // stay lit with its countdown spent.
    if (e.countdown <= 0.0f || e.colour.w > 0.35f) {
      e.countdown = std::max(e.countdown, 0.0f);
      ShowTexture(e, e.normal);
      e.colour = plat::Vec4(1.0f, 1.0f, 1.0f, 1.0f);
      SetColour(e);
    }
  }
}

// --- the file ---

bool CGameStateMenu::LoadMenuFile(const char* path) {
  utl::CXmlFile file;
  switch (file.Load(path)) {
    case utl::CXmlFile::EResult::Missing:
      utl::LogPrintf("Menu: %s is missing or empty\n", path);
      return false;
    case utl::CXmlFile::EResult::Malformed:
      utl::LogPrintf("Menu: %s is not valid XML: %s\n", path, file.Error().c_str());
      return false;
    case utl::CXmlFile::EResult::Ok:
      break;
  }
  rapidxml::xml_node<>* root = file.Document().first_node();
  if (!root) {
    utl::LogPrintf("Menu: %s has no root element\n", path);
    return false;
  }
  if (!m_frontEnd) return true;
  CFrontEndData& fe = *m_frontEnd;
  const int width = std::atoi(Attr(root, "width"));
  const int height = std::atoi(Attr(root, "height"));
  if (width > 0 && height > 0) {
    fe.menuWidth = width;
    fe.menuHeight = height;
  } else {
    // Every picture is placed and scaled against this size: without one the whole
    // menu would be drawn at no size at all.
    if (fe.menuWidth <= 0 || fe.menuHeight <= 0) {
      fe.menuWidth = kLayoutWidth;
      fe.menuHeight = kLayoutHeight;
    }
    utl::LogPrintf("Menu: %s: width and height must be positive (%d x %d); the menu keeps %d x %d\n",
                   path, width, height, fe.menuWidth, fe.menuHeight);
  }
  fe.menuDepth = std::atoi(Attr(root, "depth"));
  fe.menuAspectRatio = static_cast<float>(fe.menuWidth) / static_cast<float>(fe.menuHeight);
  if (m_app) {
    std::vector<obj::CGameObject*> objects;
    m_app->objectManager.GetGameObjectsByTemplate(CStringHash(kMenuTemplate), objects);
    for (obj::CGameObject* object : objects) {
      gfx::CRenderer* renderer = object ? object->GetComponent<gfx::CRenderer>() : nullptr;
      if (!renderer) continue;
      renderer->SetShaderParameter(CStringHash("gBaseWidth"), 0, &fe.menuWidth);
      renderer->SetShaderParameter(CStringHash("gBaseHeight"), 0, &fe.menuHeight);
      renderer->SetShaderParameter(CStringHash("gBaseDepth"), 0, &fe.menuDepth);
      renderer->SetShaderParameter(CStringHash("gBaseAspectRatio"), 2, &fe.menuAspectRatio);
    }
  }
  rapidxml::xml_node<>* alpha = root->first_node("alpha");
  const float value = static_cast<float>(std::atof(Attr(alpha, "value")));
  const float speed = static_cast<float>(std::atof(Attr(alpha, "speed")));
  const float fadeTime = static_cast<float>(std::atof(Attr(alpha, "fade_time")));
  const float visibleTime = static_cast<float>(std::atof(Attr(alpha, "visible_time")));
  const bool spanish =
      m_options && m_options->language == m_options->ValueOf(CGameOptions::kLanguage,
                                                             CStringHash("language_spa"));

  for (rapidxml::xml_node<>* node = root->first_node("menu_element"); node;
       node = node->next_sibling("menu_element")) {
    const char* name = Attr(node, "name");
    rapidxml::xml_node<>* keys[3] = {node->first_node("key"), nullptr, nullptr};
    if (keys[0]) keys[1] = keys[0]->next_sibling();
    if (keys[1]) keys[2] = keys[1]->next_sibling();
    if (!name[0] || !keys[2]) {
      utl::LogPrintf("Menu: %s: menu_element \"%s\" needs a name and three keys; skipped\n",
                     path, name);
      continue;
    }
    const CStringHash hash(name);
    SMenuElement& e = fe.menuTable[hash.GetHash()];
    // Assignment borrows: the record keeps its own copy of the file's text.
    e.name = hash;
    e.name.MakeOwned();
    e.object = m_app ? m_app->objectManager.GetGameObjectByName(hash) : nullptr;
    e.transform = e.object ? e.object->GetComponent<gfx::CTransform>() : nullptr;
    e.renderer = e.object ? e.object->GetComponent<gfx::CRenderer>() : nullptr;
    const std::string highlighted = Attr(keys[0], "value");
    const std::string normal = Attr(keys[1], "value");
    e.engHighlighted = "eng/" + highlighted;
    e.engNormal = "eng/" + normal;
    e.spaHighlighted = "spa/" + highlighted;
    e.spaNormal = "spa/" + normal;
    e.highlighted = spanish ? e.spaHighlighted : e.engHighlighted;
    e.normal = spanish ? e.spaNormal : e.engNormal;
    e.page = CStringHash(Attr(keys[2], "value"));
    e.page.MakeOwned();
    e.colour = plat::Vec4(1.0f, 1.0f, 1.0f, value);
    e.fadeRate = plat::Vec4(1.0f, 1.0f, 1.0f, speed);
    e.fadeTime = fadeTime;
    e.visibleTime = visibleTime;
    e.countdown = 0.0f;
    if (e.renderer) {
      const plat::Vec4 white(1.0f, 1.0f, 1.0f, 1.0f);
      e.renderer->SetShaderParameter(CStringHash("gColor"), 5, &white);
    }
    QueueEnable(e, false);
  }
  return true;
}

// --- the state ---

void CGameStateMenu::Exit() {
  running = 0;
  next = kStateLoading;
  Drop();
  page = kPageMainMenu;
  selected = CStringHash("menu_button_newgame");
  m_textureRetries.clear();
}

void CGameStateMenu::SetResolutions(const std::vector<gfx::SResolution>& list, float width,
                                    float height) {
  resolutions.clear();
  for (const gfx::SResolution& r : list)
    if (r.width > 0.0f && r.height > 0.0f) resolutions.push_back(r);
  resolutionCursor = 0;
  if (resolutions.empty()) return;  // the row stays inert
  for (size_t i = 0; i < resolutions.size(); ++i)
    if (resolutions[i].width == width && resolutions[i].height == height) {
      resolutionCursor = i;
      return;
    }
  // The size the game runs at is always a choice, in the list's order.
  if (width <= 0.0f || height <= 0.0f) return;
  size_t at = 0;
  while (at < resolutions.size() &&
         (resolutions[at].width < width ||
          (resolutions[at].width == width && resolutions[at].height < height)))
    ++at;
  resolutions.insert(resolutions.begin() + static_cast<std::ptrdiff_t>(at), {width, height});
  resolutionCursor = at;
}

bool CGameStateMenu::OnEnter() {
  page = kPageMainMenu;
  selected = CStringHash("menu_button_newgame");
  frameTime = 0.0f;
  horizontalInput = 0.0f;
  holdTimer = 0.0f;
  const bool loaded = LoadMenuFile();
  if (!m_frontEnd) return loaded;
  CFrontEndData& fe = *m_frontEnd;
  SScreenElement& fogMiddle = fe.menuElements[CFrontEndData::kMenuBackgroundFogMiddle];
  if (fogMiddle.renderer)
    fogMiddle.renderer->SetShaderParameter(CStringHash("gUVOffset"), 3, &fogMiddle.uvOffset);

  // The pending values start as the options are.
  if (m_options) {
    menu::ResetPendingGameConfig(*this);
    menu::ResetPendingGraphics(*this);
  }
  menu::ApplyLanguageTextures(*this);
  HighlightElement(CStringHash("menu_button_newgame"));
  menu::ShowPage(*this, CStringHash("main_menu"));

  if (m_app) {
    SetResolutions(m_app->graphicsManager.GetResolutions(), fe.pending.resolutionWidth,
                   fe.pending.resolutionHeight);
    sfx::CAudioManager& audio = m_app->audioManager;
    fe.pending.musicVolume = audio.GetTypeVolume(CStringHash("music"));
    fe.pending.effectsVolume = audio.GetTypeVolume(CStringHash("sfx"));
    fe.pending.voicesVolume = audio.GetTypeVolume(CStringHash("voice"));
    for (int i : {CFrontEndData::kMenuBackgroundZombies, CFrontEndData::kMenuBackgroundFogMiddle,
                  CFrontEndData::kMenuBackgroundFogFront, CFrontEndData::kMenuBackgroundJoe})
      if (fe.menuElements[i].object) m_app->objectManager.QueueEnable(fe.menuElements[i].object, true);
  }
  EnableElement(CStringHash("menu_blackening"), false);
  OpenMainMenuPage(CStringHash("menu_button_newgame"));
  if (SMenuElement* black = Element("menu_black_front")) {
    QueueEnable(*black, true);
    black->colour = plat::Vec4(1.0f, 1.0f, 1.0f, 1.0f);
    black->fadeRate = plat::Vec4(1.0f, 1.0f, 1.0f, 0.4f);
    SetColour(*black);
  }
  EnableElement(CStringHash("menu_blackening"), false);
  return loaded;
}

void CGameStateMenu::UpdateBackdrop(float dt) {
  if (!m_frontEnd) return;
  CFrontEndData& fe = *m_frontEnd;
  struct SLayer {
    int index;
    float speed;
    plat::Vec4* colour;
  };
  const SLayer layers[] = {{CFrontEndData::kMenuBackgroundFogMiddle, -0.02f, &fe.fogColourMiddle},
                           {CFrontEndData::kMenuBackgroundFogFront, 0.025f, &fe.fogColourFront}};
  for (const SLayer& layer : layers) {
    SScreenElement& e = fe.menuElements[layer.index];
    if (e.renderer) {
      e.renderer->SetShaderParameter(CStringHash("gUVOffset"), 3, &e.uvOffset);
      e.renderer->SetShaderParameter(CStringHash("gColor"), 5, layer.colour);
    }
    // Kept inside one turn of the texture whatever the frame time.
    float u = std::fmod(e.uvOffset.x + layer.speed * dt, 1.0f);
    if (u < 0.0f) u += 1.0f;
    e.uvOffset.x = u;
  }
}

bool CGameStateMenu::Update(float dt) {
  frameTime = dt;
  if (m_app) m_app->audioManager.RemoveStoppedChannels();
  RetryTextures();
  menu::HorizontalSound(*this);
  UpdateElementFades(dt);
  menu::MenuFadeOut(*this);
  UpdateBackdrop(dt);
  switch (page) {
    case kPageMainMenu: UpdateMainMenuPage(); break;
    case kPageNewGame: UpdateNewGamePage(); break;
    case kPageOptions: UpdateOptionsPage(); break;
    case kPageGameConfig: UpdateGameConfigPage(); break;
    case kPageGraphicsConfig: UpdateGraphicsConfigPage(); break;
    case kPageSoundConfig: UpdateSoundConfigPage(); break;
    case kPageExit: UpdateExitPage(); break;
    default: break;
  }
  return true;
}

// --- page helpers of this file ---

void CGameStateMenu::HighlightRowValue(const CStringHash& row, bool on) {
  if (!m_frontEnd) return;
  const SPendingOptions& p = m_frontEnd->pending;
  auto light = [&](const CStringHash& value) {
    if (on) HighlightElement(value);
    else UnhighlightElement(value);
  };
  if (row == CStringHash("option_difficulty")) return light(p.difficulty);
  if (row == CStringHash("option_language")) return light(p.language);
  if (row == CStringHash("option_subtitles"))
    return light(CStringHash(p.subtitles ? "subtitles_on" : "subtitles_off"));
  if (row == CStringHash("option_resolution")) return on ? HighlightResolution() : UnhighlightResolution();
  for (const SNameRow& r : kGraphicsNames)
    if (row == CStringHash(r.row)) return light(p.*(r.name));
  for (const SFlagRow& r : kGraphicsFlags)
    if (row == CStringHash(r.row)) return light(CStringHash(p.*(r.flag) ? r.on : r.off));
  const char* const volumes[] = {"musicvolume", "effectsvolume", "voicesvolume"};
  const char* const rows[] = {"option_musicvolume", "option_effectsvolume",
                              "option_voicesvolume"};
  for (int i = 0; i < 3; ++i)
    if (row == CStringHash(rows[i]))
      for (const char* digit : {"_unid", "_dec", "_cent"})
        light(CStringHash((std::string(volumes[i]) + digit).c_str()));
}

bool CGameStateMenu::StepValue(CStringHash& pending, const char* const* values, int count,
                               const char* left, const char* right, bool highlight) {
  const int step = horizontalInput > 0.0f ? 1 : horizontalInput < 0.0f ? -1 : 0;
  if (step == 0) return false;
  const int at = NameIndex(values, count, pending);
  const int to = at < 0 ? 0 : (at + step + count) % count;
  if (SMenuElement* old = Element(pending)) {
    QueueEnable(*old, false);
    ShowTexture(*old, old->normal);
  }
  pending = CStringHash(values[to]);
  if (SMenuElement* now = Element(pending)) {
    QueueEnable(*now, true);
    if (highlight) ShowTexture(*now, now->highlighted);
  }
  FlashElement(CStringHash(step > 0 ? right : left));
  return true;
}

bool CGameStateMenu::StepFlag(uint8_t& pending, const char* off, const char* on, const char* left,
                              const char* right, bool highlight) {
  const int step = horizontalInput > 0.0f ? 1 : horizontalInput < 0.0f ? -1 : 0;
  if (step == 0) return false;
  if (SMenuElement* old = Element(pending ? on : off)) {
    QueueEnable(*old, false);
    ShowTexture(*old, old->normal);
  }
  pending = pending ? 0 : 1;
  if (SMenuElement* now = Element(pending ? on : off)) {
    QueueEnable(*now, true);
    if (highlight) ShowTexture(*now, now->highlighted);
  }
  FlashElement(CStringHash(step > 0 ? right : left));
  return true;
}

// --- 0: main menu ---

void CGameStateMenu::OpenMainMenuPage(const CStringHash& select) {
  EnableElement(CStringHash("menu_blackening"), false);
  menu::ShowPage(*this, CStringHash("main_menu"));
  SelectElement(select);
  page = kPageMainMenu;
}

void CGameStateMenu::CloseMainMenuPage() {
  menu::HidePage(*this, CStringHash("main_menu"));
  EnableElement(CStringHash("menu_blackening"), true);
}

void CGameStateMenu::UpdateMainMenuPage() {
  const int at = RingIndex(kMainRing, selected);
  if (menu::Up(*this)) return SelectElement(CStringHash(kMainRing[at < 0 ? 0 : (at + 2) % 3]));
  if (menu::Down(*this)) return SelectElement(CStringHash(kMainRing[at < 0 ? 0 : (at + 1) % 3]));
  if (!menu::Accept(*this)) return;
  if (selected == CStringHash("menu_button_newgame")) {
    PlaySound("menu_click_01");
    CloseMainMenuPage();
    OpenNewGamePage();
  } else if (selected == CStringHash("menu_button_options")) {
    PlaySound("menu_click_01");
    CloseMainMenuPage();
    OpenOptionsPage(CStringHash("menu_button_gameoptions"));
  } else if (selected == CStringHash("menu_button_exit")) {
    PlaySound("menu_click_01");
    CloseMainMenuPage();
    OpenExitPage();
  }
}

// --- 1: new game ---

void CGameStateMenu::OpenNewGamePage() {
  EnableElement(CStringHash("menu_title_newgame"), true);
  menu::ShowPage(*this, CStringHash("new_game"));
  EnableElement(CStringHash("menu_button_back"), true);
  CStringHash select;
  if (m_frontEnd) {
    const int at = NameIndex(kDifficulties, 3, m_frontEnd->pending.difficulty);
    if (at >= 0) select = CStringHash(kNewGameRing[at]);
  }
  SelectElement(select);
  HighlightElement(CStringHash("phrase_newgame"));
  page = kPageNewGame;
}

void CGameStateMenu::CloseNewGamePage() {
  EnableElement(CStringHash("menu_title_newgame"), false);
  menu::HidePage(*this, CStringHash("new_game"));
  EnableElement(CStringHash("menu_button_back"), false);
}

void CGameStateMenu::UpdateNewGamePage() {
  auto setDifficulty = [this](const CStringHash&, const CStringHash& to) {
    const int at = RingIndex(kNewGameRing, to);
    if (at >= 0 && at < 3 && m_frontEnd) m_frontEnd->pending.difficulty = CStringHash(kDifficulties[at]);
  };
  const bool back = menu::Back(*this);
  auto goBack = [&](bool restore) {
    PlaySound("menu_back_01");
    CloseNewGamePage();
    OpenMainMenuPage(CStringHash("menu_button_newgame"));
    if (restore && m_frontEnd && m_options)
      m_frontEnd->pending.difficulty = m_options->NameOf(CGameOptions::kDifficulty, m_options->difficulty);
  };
  do {
    const int n = 4;
    const int at = RingIndex(kNewGameRing, selected);
    int to = -1;
    if (menu::Up(*this)) to = at < 0 ? 0 : (at + n - 1) % n;
    else if (menu::Down(*this)) to = at < 0 ? 0 : (at + 1) % n;
    if (to >= 0) {
      SelectElement(CStringHash(kNewGameRing[to]));
      setDifficulty(selected, selected);
      break;
    }
    if (!menu::Accept(*this)) break;
    if (selected == CStringHash("menu_button_back")) {
      goBack(false);
      return;
    }
    if (RingIndex(kNewGameRing, selected) >= 0) {
      StartNewGame();
      return;
    }
  } while (false);
  if (back && page == kPageNewGame) goBack(true);
}

void CGameStateMenu::StartNewGame() {
  if (m_app) m_app->audioManager.StopSong("main_menu_01");
  PlaySound("menu_newgame_01");
  if (m_options && m_frontEnd) {
    const int difficulty = m_options->ValueOf(CGameOptions::kDifficulty, m_frontEnd->pending.difficulty);
    if (difficulty >= 0) m_options->difficulty = difficulty;
  }
  if (m_app && m_frontEnd) {
    for (int32_t group : {m_frontEnd->startUpGroup, m_frontEnd->menuGroup})
      if (group >= 0) m_app->services->DisableObjectGroup(group);
  }
  running = 0;
  next = kStateLoading;
}

// --- 2: options ---

void CGameStateMenu::OpenOptionsPage(const CStringHash& select) {
  EnableElement(CStringHash("menu_title_options"), true);
  menu::ShowPage(*this, CStringHash("options"));
  EnableElement(CStringHash("menu_button_back"), true);
  SelectElement(select);
  page = kPageOptions;
}

void CGameStateMenu::CloseOptionsPage() {
  EnableElement(CStringHash("menu_title_options"), false);
  menu::HidePage(*this, CStringHash("options"));
  EnableElement(CStringHash("menu_button_back"), false);
}

void CGameStateMenu::UpdateOptionsPage() {
  const bool back = menu::Back(*this);
  auto leave = [this] {
    PlaySound("menu_back_01");
    CloseOptionsPage();
    OpenMainMenuPage(CStringHash("menu_button_options"));
  };
  const int n = 4;
  const int at = RingIndex(kOptionsRing, selected);
  int to = -1;
  if (menu::Up(*this)) to = at < 0 ? 0 : (at + n - 1) % n;
  else if (menu::Down(*this)) to = at < 0 ? 0 : (at + 1) % n;
  if (to >= 0) {
    SelectElement(CStringHash(kOptionsRing[to]));
  } else if (menu::Accept(*this)) {
    if (selected == CStringHash("menu_button_gameoptions")) {
      PlaySound("menu_click_01");
      CloseOptionsPage();
      OpenGameConfigPage(CStringHash("option_difficulty"));
      return;
    }
    if (selected == CStringHash("menu_button_graphics")) {
      PlaySound("menu_click_01");
      CloseOptionsPage();
      OpenGraphicsConfigPage();
      return;
    }
    if (selected == CStringHash("menu_button_sound")) {
      PlaySound("menu_click_01");
      CloseOptionsPage();
      OpenSoundConfigPage();
      return;
    }
    if (selected == CStringHash("menu_button_back")) {
      leave();
      return;
    }
  }
  if (back) leave();
}

// --- 3: game options ---

void CGameStateMenu::OpenGameConfigPage(const CStringHash& select) {
  EnableElement(CStringHash("menu_title_gameconfig"), true);
  menu::ShowPage(*this, CStringHash("game_config"));
  if (m_frontEnd) {
    const SPendingOptions& p = m_frontEnd->pending;
    for (const char* d : kDifficulties) EnableElement(CStringHash(d), CStringHash(d) == p.difficulty);
    for (const char* l : kLanguages) EnableElement(CStringHash(l), CStringHash(l) == p.language);
    EnableElement(CStringHash("subtitles_on"), p.subtitles != 0);
    EnableElement(CStringHash("subtitles_off"), p.subtitles == 0);
  }
  EnableElement(CStringHash("menu_button_save"), true);
  EnableElement(CStringHash("menu_button_back"), true);
  SelectElement(select);
  if (select == CStringHash("option_difficulty") || select == CStringHash("option_language"))
    HighlightRowValue(select, true);
  page = kPageGameConfig;
}

void CGameStateMenu::CloseGameConfigPage() {
  EnableElement(CStringHash("menu_title_gameconfig"), false);
  menu::HidePage(*this, CStringHash("game_config"));
  // The value elements are switched one by one: they go with the page.
  for (const char* name : {"difficulty_easy", "difficulty_normal", "difficulty_hard",
                           "language_eng", "language_spa", "subtitles_on", "subtitles_off"})
    EnableElement(CStringHash(name), false);
  EnableElement(CStringHash("menu_button_save"), false);
  EnableElement(CStringHash("menu_button_back"), false);
}

void CGameStateMenu::UpdateGameConfigPage() {
  const bool back = menu::Back(*this);
  do {
    const int n = 5;
    const int at = RingIndex(kGameConfigRing, selected);
    int to = -1;
    if (menu::Up(*this)) to = at < 0 ? 0 : (at + n - 1) % n;
    else if (menu::Down(*this)) to = at < 0 ? 0 : (at + 1) % n;
    if (to >= 0) {
      const CStringHash from = selected;
      HighlightRowValue(from, false);
      SelectElement(CStringHash(kGameConfigRing[to]));
      HighlightRowValue(selected, true);
      break;
    }
    if (!m_frontEnd) break;
    SPendingOptions& p = m_frontEnd->pending;
    if (selected == CStringHash("option_difficulty")) {
      StepValue(p.difficulty, kDifficulties, 3, "difficulty_left_arrow", "difficulty_right_arrow",
                true);
    } else if (selected == CStringHash("option_language")) {
      if (StepValue(p.language, kLanguages, 2, "language_left_arrow", "language_right_arrow",
                    true)) {
        menu::ApplyLanguageTextures(*this);
        HighlightRowValue(selected, true);
        FlashElement(CStringHash(horizontalInput > 0.0f ? "language_right_arrow"
                                                        : "language_left_arrow"));
      }
    } else if (selected == CStringHash("option_subtitles")) {
      StepFlag(p.subtitles, "subtitles_off", "subtitles_on", "subtitles_left_arrow",
               "subtitles_right_arrow", true);
    }
    if (!menu::Accept(*this)) break;
    if (selected == CStringHash("menu_button_save")) {
      menu::SaveGameConfig(*this);
      return;
    }
    if (selected == CStringHash("menu_button_back")) {
      menu::BackGameConfig(*this);
      return;
    }
  } while (false);
  if (back && page == kPageGameConfig) menu::BackGameConfig(*this);
}

// --- 4: graphics ---

void CGameStateMenu::OpenGraphicsConfigPage() {
  EnableElement(CStringHash("menu_title_graphicsconfig"), true);
  menu::ShowPage(*this, CStringHash("graphics_config"));
  if (m_frontEnd) {
    const SPendingOptions& p = m_frontEnd->pending;
    for (const SNameRow& row : kGraphicsNames)
      for (int i = 0; i < row.count; ++i) {
        const CStringHash value(row.values[i]);
        EnableElement(value, value == p.*(row.name));
        UnhighlightElement(value);
      }
    for (const SFlagRow& row : kGraphicsFlags) {
      const bool on = p.*(row.flag) != 0;
      EnableElement(CStringHash(row.on), on);
      EnableElement(CStringHash(row.off), !on);
      UnhighlightElement(CStringHash(on ? row.on : row.off));
    }
  }
  EnableElement(CStringHash("menu_button_save"), true);
  EnableElement(CStringHash("menu_button_back"), true);
  HighlightResolution();
  SelectElement(CStringHash("option_resolution"));
  page = kPageGraphicsConfig;
}

void CGameStateMenu::CloseGraphicsConfigPage() {
  EnableElement(CStringHash("menu_title_graphicsconfig"), false);
  menu::HidePage(*this, CStringHash("graphics_config"));
  for (const SNameRow& row : kGraphicsNames)
    for (int i = 0; i < row.count; ++i) EnableElement(CStringHash(row.values[i]), false);
  for (const SFlagRow& row : kGraphicsFlags) {
    EnableElement(CStringHash(row.on), false);
    EnableElement(CStringHash(row.off), false);
  }
  EnableElement(CStringHash("menu_button_save"), false);
  EnableElement(CStringHash("menu_button_back"), false);
}

void CGameStateMenu::ApplyQualityPreset() {
  if (!m_frontEnd) return;
  SPendingOptions& p = m_frontEnd->pending;
  const int quality = NameIndex(kQualities, 3, p.graphicsQuality);
  if (quality < 0) return;
  // antialiasing, shadows, vsync, dof, ssao, glow, blood decals; -1: unchanged.
  static const int kPresets[3][7] = {{0, 0, 0, 0, 0, 0, 0},
                                     {1, 2, 1, 0, 1, 0, -1},
                                     {2, 5, 1, 1, 1, 1, 1}};
  const int* preset = kPresets[quality];
  auto setName = [&](CStringHash& pending, const char* const* values, int value) {
    if (SMenuElement* old = Element(pending)) {
      QueueEnable(*old, false);
      ShowTexture(*old, old->normal);
    }
    pending = CStringHash(values[value]);
    if (SMenuElement* now = Element(pending)) QueueEnable(*now, true);
    FlashElement(pending);
  };
  setName(p.antialiasing, kAntialiasings, preset[0]);
  setName(p.shadowsQuality, kShadows, preset[1]);
  for (int i = 0; i < 5; ++i) {
    if (preset[2 + i] < 0) continue;
    const SFlagRow& row = kGraphicsFlags[i];
    uint8_t& flag = p.*(row.flag);
    EnableElement(CStringHash(flag ? row.on : row.off), false);
    flag = static_cast<uint8_t>(preset[2 + i]);
    EnableElement(CStringHash(flag ? row.on : row.off), true);
    FlashElement(CStringHash(flag ? row.on : row.off));
  }
}

void CGameStateMenu::UpdateGraphicsConfigPage() {
  menu::ResolutionReadOut(*this);
  const bool back = menu::Back(*this);
  do {
    const int n = static_cast<int>(sizeof(kGraphicsRing) / sizeof(kGraphicsRing[0]));
    const int at = RingIndex(kGraphicsRing, selected);
    int to = -1;
    if (menu::Up(*this)) to = at < 0 ? 0 : (at + n - 1) % n;
    else if (menu::Down(*this)) to = at < 0 ? 0 : (at + 1) % n;
    if (to >= 0) {
      HighlightRowValue(selected, false);
      SelectElement(CStringHash(kGraphicsRing[to]));
      HighlightRowValue(selected, true);
      break;
    }
    if (!m_frontEnd) break;
    SPendingOptions& p = m_frontEnd->pending;
    if (selected == CStringHash("option_resolution")) {
      if (horizontalInput != 0.0f && !resolutions.empty()) {
        const size_t count = resolutions.size();
        resolutionCursor = std::min(resolutionCursor, count - 1);
        resolutionCursor = horizontalInput > 0.0f ? (resolutionCursor + 1) % count
                                                  : (resolutionCursor + count - 1) % count;
        p.resolutionWidth = resolutions[resolutionCursor].width;
        p.resolutionHeight = resolutions[resolutionCursor].height;
        FlashElement(CStringHash(horizontalInput > 0.0f ? "resolution_right_arrow"
                                                        : "resolution_left_arrow"));
      }
    }
    for (const SNameRow& row : kGraphicsNames)
      if (selected == CStringHash(row.row) &&
          StepValue(p.*(row.name), row.values, row.count, row.left, row.right, true) &&
          row.name == &SPendingOptions::graphicsQuality) {
        ApplyQualityPreset();
        HighlightElement(p.graphicsQuality);
      }
    for (const SFlagRow& row : kGraphicsFlags)
      if (selected == CStringHash(row.row))
        StepFlag(p.*(row.flag), row.off, row.on, row.left, row.right, true);
    if (!menu::Accept(*this)) break;
    if (selected == CStringHash("menu_button_save")) {
      menu::SaveGraphicsConfig(*this);
      return;
    }
    if (selected == CStringHash("menu_button_back")) {
      menu::BackGraphicsConfig(*this);
      return;
    }
  } while (false);
  if (back && page == kPageGraphicsConfig) menu::BackGraphicsConfig(*this);
}

// --- 5: sound ---

void CGameStateMenu::OpenSoundConfigPage() {
  EnableElement(CStringHash("menu_title_soundconfig"), true);
  menu::ShowPage(*this, CStringHash("sound_config"));
  HighlightRowValue(CStringHash("option_musicvolume"), true);
  HighlightRowValue(CStringHash("option_effectsvolume"), false);
  HighlightRowValue(CStringHash("option_voicesvolume"), false);
  EnableElement(CStringHash("menu_button_back"), true);
  SelectElement(CStringHash("option_musicvolume"));
  page = kPageSoundConfig;
}

void CGameStateMenu::CloseSoundConfigPage() {
  EnableElement(CStringHash("menu_title_soundconfig"), false);
  menu::HidePage(*this, CStringHash("sound_config"));
  EnableElement(CStringHash("menu_button_back"), false);
}

void CGameStateMenu::UpdateSoundConfigPage() {
  menu::VolumeReadOuts(*this);
  const bool back = menu::Back(*this);
  const int n = 4;
  const int at = RingIndex(kSoundRing, selected);
  int to = -1;
  if (menu::Up(*this)) to = at < 0 ? 0 : (at + n - 1) % n;
  else if (menu::Down(*this)) to = at < 0 ? 0 : (at + 1) % n;
  bool leave = back;
  if (to >= 0) {
    HighlightRowValue(selected, false);
    SelectElement(CStringHash(kSoundRing[to]));
    HighlightRowValue(selected, true);
  } else {
    if (m_frontEnd) {
      SPendingOptions& p = m_frontEnd->pending;
      if (selected == CStringHash("option_musicvolume")) menu::VolumeRow(*this, "music", p.musicVolume);
      else if (selected == CStringHash("option_effectsvolume")) menu::VolumeRow(*this, "sfx", p.effectsVolume);
      else if (selected == CStringHash("option_voicesvolume")) menu::VolumeRow(*this, "voice", p.voicesVolume);
    }
    leave |= selected == CStringHash("menu_button_back") && menu::Accept(*this);
  }
  if (!leave) return;
  PlaySound("menu_back_01");
  CloseSoundConfigPage();
  OpenOptionsPage(CStringHash("menu_button_sound"));
}

// --- 6: exit ---

void CGameStateMenu::OpenExitPage() {
  EnableElement(CStringHash("menu_title_exit"), true);
  menu::ShowPage(*this, CStringHash("exit"));
  SelectElement(CStringHash("exit_no"));
  HighlightElement(CStringHash("phrase_exit"));
  page = kPageExit;
}

void CGameStateMenu::CloseExitPage() {
  EnableElement(CStringHash("menu_title_exit"), false);
  menu::HidePage(*this, CStringHash("exit"));
  EnableElement(CStringHash("phrase_exit"), false);
}

void CGameStateMenu::UpdateExitPage() {
  if (menu::Up(*this) || menu::Down(*this)) {
    SelectElement(CStringHash(selected == CStringHash("exit_yes") ? "exit_no" : "exit_yes"));
    return;
  }
  const bool accept = menu::Accept(*this);
  if (accept && selected == CStringHash("exit_yes")) {
    PlaySound("menu_click_01");
    QuitGame();
    return;
  }
  if ((accept && selected == CStringHash("exit_no")) || menu::Back(*this)) {
    PlaySound("menu_back_01");
    CloseExitPage();
    OpenMainMenuPage(CStringHash("menu_button_exit"));
  }
}

}  // namespace vd
