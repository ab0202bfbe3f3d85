#include "game/flow/hud/Hud.h"

#include <cstdio>
#include <string>

#include "engine/app/Application.h"
#include "engine/core/EngineNames.h"
#include "engine/core/Log.h"
#include "engine/core/Utils.h"
#include "engine/core/XmlFile.h"
#include "engine/events/EngineEvents.h"
#include "engine/events/EventManager.h"
#include "engine/events/GameEvents.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Renderer.h"
#include "engine/objects/Transform.h"
#include "engine/render/RenderManager.h"
#include "engine/render/Shader.h"
#include "engine/render/passes/FilmLook.h"
#include "game/flow/hud/HudParams.h"
#include "platform/crt/Crt.h"

namespace vd {

namespace {

struct SElementInfo {
  const char* name;
  EHUDElementKind kind;
};

const SElementInfo kElements[CHUD::kElementCount] = {
    {"hud_dashboard", kHUDPlain},
    {"hud_life_arrow", kHUDArrow},
    {"hud_gas_arrow", kHUDArrow},
    {"hud_crono_arrow", kHUDArrow},
    {"hud_light_gas", kHUDLight},
    {"hud_light_bomb_01", kHUDLight},
    {"hud_light_bomb_02", kHUDLight},
    {"hud_number_unid", kHUDCounter},
    {"hud_number_dec", kHUDCounter},
    {"hud_number_cent", kHUDCounter},
    {"hud_number_mil", kHUDCounter},
    {"hud_crono_halo", kHUDPlain},
    {"hud_subtitles", kHUDSubtitles},
    {"hud_button", kHUDPlain},
    {"bloodsplatter_01", kHUDSplatter},
    {"bloodsplatter_02", kHUDSplatter},
    {"bloodsplatter_03", kHUDSplatter},
    {"bloodsplatter_04", kHUDSplatter},
    {"black_screen", kHUDPlain},
    {"hud_cinematicmargin_top", kHUDMargin},
    {"hud_cinematicmargin_bottom", kHUDMargin},
    {"hud_combo_number_single", kHUDCounter},
    {"hud_combo_number_unid", kHUDCounter},
    {"hud_combo_number_dec", kHUDCounter},
    {"hud_combo_hit", kHUDCounter},
    {"hud_combo_word", kHUDCounter},
    {"hud_emblem_9999", kHUDEmblem},
    {"hud_emblem_bombs", kHUDEmblem},
    {"hud_helper", kHUDHelper},
    {"hud_boss_life_frame", kHUDPlain},
    {"hud_boss_life_bar", kHUDPlain},
    {"hud_boss_life_back", kHUDPlain},
    {"hud_boss_life_arrow", kHUDPlain},
};

const CStringHash kSubtitleTimer("subtitle");
const CStringHash kHudTemplate("hud");
const CStringHash kLeft("left");
const CStringHash kCenter("center");
const CStringHash kRight("right");
const CStringHash kBaseWidth("gBaseWidth");
const CStringHash kBaseHeight("gBaseHeight");
const CStringHash kBaseDepth("gBaseDepth");
const CStringHash kBaseAspectRatio("gBaseAspectRatio");
const CStringHash kUVOffset("gUVOffset");
const CStringHash kPosOffset("gPosOffset");
const CStringHash kColor("gColor");
const CStringHash kScale("gScale");
const CStringHash kAlphaRef("gAlphaRef");
const CStringHash* const kListened[] = {&SH_OnHUDChange, &SH_OnFatality, &SH_OnTimer,
                                        &SH_OnSaveCheckPoint, &SH_OnLoadCheckPoint};

constexpr float kDegrees = 3.1415927f / 180.0f;

template <class T>
void CopyKeepingBindings(T& destination, const T& source) {
  SHUDElement bindings;
  bindings.KeepBindingsOf(destination);
  destination = source;
  destination.KeepBindingsOf(bindings);
}

// Reads the attributes of one layout file, saying what is wrong with it.
class CLayoutReader {
public:
  explicit CLayoutReader(const char* file) : m_file(file) {}

  // A required attribute that is missing fails the read; a number that does not
  // read as one is said and leaves the value as it was.
  void Float(const rapidxml::xml_node<>* node, const char* attribute, float& out,
             bool optional = false) {
    const char* text = Text(node, attribute, optional);
    if (text && !utl::ParseFloat(text, out)) BadNumber(node, attribute, text);
  }
  void Int(const rapidxml::xml_node<>* node, const char* attribute, int& out) {
    const char* text = Text(node, attribute, false);
    int32_t value = 0;
    if (!text) return;
    if (utl::ParseInt32(text, value)) {
      out = value;
    } else {
      BadNumber(node, attribute, text);
    }
  }
  // A top-level element that must be there.
  const rapidxml::xml_node<>* Required(rapidxml::xml_document<>& document, const char* name) {
    const rapidxml::xml_node<>* node = document.first_node(name);
    if (!node) Fail("the element <%s> is missing", name);
    return node;
  }
  void SetContext(const char* element) { m_context = element; }
  bool Ok() const { return m_ok; }

  template <class... A>
  void Fail(const char* format, A... args) {
    m_ok = false;
    Say(format, args...);
  }

private:
  const char* Text(const rapidxml::xml_node<>* node, const char* attribute, bool optional) {
    const rapidxml::xml_attribute<>* found = node ? node->first_attribute(attribute) : nullptr;
    if (found) return found->value();
    if (!optional) Fail("<%s> lacks its attribute \"%s\"", node ? node->name() : "?", attribute);
    return nullptr;
  }
  void BadNumber(const rapidxml::xml_node<>* node, const char* attribute, const char* text) {
    Say("<%s %s=\"%.40s\"> is not a number; the value is left as it was", node->name(), attribute,
        text);
  }
  template <class... A>
  void Say(const char* format, A... args) {
    char what[300];
    std::snprintf(what, sizeof what, format, args...);
    if (m_context) {
      utl::LogPrintf("HUD layout %s, element \"%.60s\": %s\n", m_file, m_context, what);
    } else {
      utl::LogPrintf("HUD layout %s: %s\n", m_file, what);
    }
  }

  const char* m_file;
  const char* m_context = nullptr;
  bool m_ok = true;
};

gfx::CRenderManager* Render() { return gfx::CRenderManager::GetInstance(); }

}  // namespace

const char* CHUD::ElementName(int element) {
  return element >= 0 && element < kElementCount ? kElements[element].name : "";
}

EHUDElementKind CHUD::ElementKind(int element) {
  return element >= 0 && element < kElementCount ? kElements[element].kind : kHUDPlain;
}

SHUDElement& CHUD::Element(int element) {
  SHUDElement* const table[kElementCount] = {
      &dashboard,   &lifeArrow,   &gasArrow,   &cronoArrow,   &lightGas,    &lightBomb1,
      &lightBomb2,  &numberUnid,  &numberDec,  &numberCent,   &numberMil,   &cronoHalo,
      &subtitles,   &button,      &blood[0],   &blood[1],     &blood[2],    &blood[3],
      &blackScreen, &marginTop,   &marginBottom, &comboSingle, &comboUnid,  &comboDec,
      &comboHit,    &comboWord,   &emblemScore, &emblemBombs, &helper,      &bossFrame,
      &bossBar,     &bossBack,    &bossArrow};
  return *table[element >= 0 && element < kElementCount ? element : 0];
}

const SHUDElement& CHUD::Element(int element) const {
  return const_cast<CHUD*>(this)->Element(element);
}

CHUD::CHUD() = default;

CHUD::~CHUD() { Reset(); }

void CHUD::SetOnScreen(bool onScreen) {
  for (int i = 0; i < kElementCount; ++i)
    if (obj::CGameObject* object = Element(i).object) object->RequestEnable(onScreen);
}

void CHUD::BindOptions(const uint8_t* subtitlesFlag, const int* language) {
  m_subtitlesFlag = subtitlesFlag;
  m_language = language;
}

const char* CHUD::LanguageFolder() const {
  const int language = m_language ? *m_language : 0;
  return language == 0 ? "eng/" : language == 1 ? "spa/" : "";
}

bool CHUD::SubtitlesOn() const { return !m_subtitlesFlag || *m_subtitlesFlag != 0; }

// --- Life -------------------------------------------------------------------------

void CHUD::Reset() {
  for (int clock = kClockWobble; clock <= kClockHelper; ++clock) state.clocks[clock] = 0.0f;
  for (SHUDValue& value : state.values) value.target = 0.0f;
  // The digits still show the last game's score: the next game's counter starts on
  // its zeros instead of rolling there.
  state.values[kValueScore].snap = true;
  lightGas.intermittenceClock = 0.0f;
  lightGas.blinkClock = 0.0f;
  state.bonusBaseValue = 10;
  state.bonusCount = 0;
  state.hitCount = 0;
  state.lastHitCount = 0;
  state.bonusSlideDirection = 0.0f;
  state.dashboardHidden = false;
  state.subtitlesShown = false;
  state.buttonShown = false;
  state.bloodShown = false;
  state.blackScreenShown = false;
  state.marginsShown = false;
  state.comboShown = false;
  state.bonusShown = false;
  state.scoreEmblemState = 0;
  state.grenadeEmblemState = 0;
  state.helperState = 0;
  state.bossShown = false;
  state.bossTechniquePending = false;

  if (m_listening) {
    if (evn::CEventManager* events = evn::CEventManager::GetInstance())
      for (const CStringHash* type : kListened) events->RemoveListener(*type, this);
    m_listening = false;
  }
  delete m_snapshot;
  m_snapshot = nullptr;
  m_hasSave = false;
  m_laidOut = false;
  // The level's objects go with it: nothing may reach them through the HUD
  // afterwards (a script calling a HUD method from the menu, say).
  for (int i = 0; i < kElementCount; ++i) {
    SHUDElement& element = Element(i);
    element.object = nullptr;
    element.renderer = nullptr;
    element.transform = nullptr;
  }

  state.checkpointLifeMin = 30;
  state.desaturationForced = false;
  // A heartbeat still beating must not follow the player into the menu.
  if (state.heartbeat != 0) {
    if (sfx::CAudioManager* audio = sfx::CAudioManager::GetInstance()) audio->StopSound(state.heartbeat);
    state.heartbeat = 0;
  }
  state.desaturationState = kDesaturationIdle;
  state.desaturationRising = 1.0f;
  state.desaturationFalling = 1.0f;
  // Handed over too: the menu and the next game must not stay grey after a death at
  // low life.
  gfx::CRenderManager* render = Render();
  state.desaturation = render ? render->desaturationMin : 0.27f;
  if (render) gfx::SetDesaturationFactor(*render, state.desaturation);
}

bool CHUD::Init(const char* layoutFile, const char* subtitlesFile) {
  Reset();
  m_snapshot = new CHUD();

  obj::CGameObjectManager* objects = obj::CGameObjectManager::GetInstance();
  for (int i = 0; i < kElementCount; ++i) {
    SHUDElement& element = Element(i);
    element.object = objects ? objects->GetGameObjectByName(CStringHash(kElements[i].name)) : nullptr;
    element.renderer = element.object ? element.object->GetComponent<gfx::CRenderer>() : nullptr;
    element.transform = element.object ? element.object->GetComponent<gfx::CTransform>() : nullptr;
  }
  for (SHUDSplatter& splatter : blood) {
    splatter.Alpha() = 0.0f;
    hud::SetColour(splatter);
  }
  blackScreen.Alpha() = 0.0f;
  hud::SetColour(blackScreen);
  state.marginTopStart = hud::GetHeight(marginTop);
  state.marginBottomStart = hud::GetHeight(marginBottom);

  // The effect keeps the last value any sprite set: each element carries its own
  // neutral offsets and scale, so that one element's digits or zoom never show on
  // another drawn after it.
  const float zero[2] = {0.0f, 0.0f};
  const float one = 1.0f;
  for (int i = 0; i < kElementCount; ++i) {
    if (gfx::CRenderer* renderer = Element(i).renderer) {
      renderer->SetShaderParameter(kUVOffset, gfx::kShaderFloat2, zero);
      renderer->SetShaderParameter(kPosOffset, gfx::kShaderFloat2, zero);
      renderer->SetShaderParameter(kScale, gfx::kShaderFloat, &one);
    }
  }

  if (!ReadLayout(layoutFile, subtitlesFile)) {
    // Without its layout the HUD stays off the screen; the black screen alone still
    // serves the states and scripts that hide the level behind it.
    for (int i = 0; i < kElementCount; ++i) {
      Element(i).Alpha() = 0.0f;
      hud::SetColour(Element(i));
    }
    return false;
  }
  m_laidOut = true;

  if (evn::CEventManager* events = evn::CEventManager::GetInstance()) {
    for (const CStringHash* type : kListened) events->AddListener(this, *type);
    m_listening = true;
  }

  if (gfx::CRenderManager* render = Render()) {
    const float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    const float opaque = 255.0f;
    if (numberUnid.renderer) {
      if (gfx::CShader* shader = render->FindShader(numberUnid.renderer->GetShaderName())) {
        shader->SetParameter(nullptr, kUVOffset, gfx::kShaderFloat2, zero);
        shader->SetParameter(nullptr, kPosOffset, gfx::kShaderFloat2, zero);
        shader->SetParameter(nullptr, kColor, gfx::kShaderFloat4, white);
        shader->SetParameter(nullptr, kScale, gfx::kShaderFloat, &one);
      }
    }
    if (bossBar.renderer) {
      if (gfx::CShader* shader = render->FindShader(bossBar.renderer->GetShaderName()))
        shader->SetParameter(nullptr, kAlphaRef, gfx::kShaderFloat, &opaque);
    }
  }

  const sys::CApplicationBase* app = sys::CApplicationBase::GetInstance();
  if (app && app->screenHeight > 0) {
    const float aspect = static_cast<float>(app->screenWidth) / static_cast<float>(app->screenHeight);
    for (SHUDElement* element : {static_cast<SHUDElement*>(&blackScreen),
                                 static_cast<SHUDElement*>(&marginTop),
                                 static_cast<SHUDElement*>(&marginBottom)})
      if (element->renderer)
        element->renderer->SetShaderParameter(kBaseAspectRatio, gfx::kShaderFloat, &aspect);
  }
  return true;
}

void CHUD::CopyState(CHUD& destination, const CHUD& source) {
  if (&destination == &source) return;
  destination.state = source.state;
  CopyKeepingBindings(destination.dashboard, source.dashboard);
  CopyKeepingBindings(destination.lifeArrow, source.lifeArrow);
  CopyKeepingBindings(destination.gasArrow, source.gasArrow);
  CopyKeepingBindings(destination.cronoArrow, source.cronoArrow);
  CopyKeepingBindings(destination.lightGas, source.lightGas);
  CopyKeepingBindings(destination.lightBomb1, source.lightBomb1);
  CopyKeepingBindings(destination.lightBomb2, source.lightBomb2);
  CopyKeepingBindings(destination.numberUnid, source.numberUnid);
  CopyKeepingBindings(destination.numberDec, source.numberDec);
  CopyKeepingBindings(destination.numberCent, source.numberCent);
  CopyKeepingBindings(destination.numberMil, source.numberMil);
  CopyKeepingBindings(destination.cronoHalo, source.cronoHalo);
  CopyKeepingBindings(destination.subtitles, source.subtitles);
  CopyKeepingBindings(destination.button, source.button);
  for (int i = 0; i < 4; ++i) CopyKeepingBindings(destination.blood[i], source.blood[i]);
  CopyKeepingBindings(destination.blackScreen, source.blackScreen);
  CopyKeepingBindings(destination.marginTop, source.marginTop);
  CopyKeepingBindings(destination.marginBottom, source.marginBottom);
  CopyKeepingBindings(destination.comboSingle, source.comboSingle);
  CopyKeepingBindings(destination.comboUnid, source.comboUnid);
  CopyKeepingBindings(destination.comboDec, source.comboDec);
  CopyKeepingBindings(destination.comboHit, source.comboHit);
  CopyKeepingBindings(destination.comboWord, source.comboWord);
  CopyKeepingBindings(destination.emblemScore, source.emblemScore);
  CopyKeepingBindings(destination.emblemBombs, source.emblemBombs);
  CopyKeepingBindings(destination.helper, source.helper);
  CopyKeepingBindings(destination.bossFrame, source.bossFrame);
  CopyKeepingBindings(destination.bossBar, source.bossBar);
  CopyKeepingBindings(destination.bossBack, source.bossBack);
  CopyKeepingBindings(destination.bossArrow, source.bossArrow);
}

// --- Files ------------------------------------------------------------------------

bool CHUD::ReadLayout(const char* layoutFile, const char* subtitlesFile) {
  utl::CXmlFile file;
  const utl::CXmlFile::EResult result = file.Load(layoutFile);
  if (result == utl::CXmlFile::EResult::Missing) {
    utl::LogPrintf("HUD layout %s is missing or empty; the HUD stays off\n", layoutFile);
    return false;
  }
  if (result == utl::CXmlFile::EResult::Malformed) {
    utl::LogPrintf("HUD layout %s cannot be parsed (%s); the HUD stays off\n", layoutFile,
                   file.Error().c_str());
    return false;
  }
  rapidxml::xml_document<>& document = file.Document();
  CLayoutReader reader(layoutFile);

  if (const rapidxml::xml_node<>* res = reader.Required(document, "res")) {
    int width = 0, height = 0, depth = 0;
    reader.Int(res, "width", width);
    reader.Int(res, "height", height);
    reader.Int(res, "depth", depth);
    if (width > 0 && height > 0) {
      state.baseWidth = width;
      state.baseHeight = height;
      state.baseDepth = depth;
      state.baseAspectRatio = static_cast<float>(width) / static_cast<float>(height);
    } else if (reader.Ok()) {
      utl::LogPrintf("HUD layout %s: <res> of %d x %d is refused; the screen keeps its defaults\n",
                     layoutFile, width, height);
    }
  }
  if (const rapidxml::xml_node<>* checkpoint = reader.Required(document, "checkpoint"))
    reader.Int(checkpoint, "life_min", state.checkpointLifeMin);
  if (const rapidxml::xml_node<>* desaturation = reader.Required(document, "desaturation")) {
    reader.Float(desaturation, "speed_inc", state.desaturationRising);
    reader.Float(desaturation, "speed_dec", state.desaturationFalling);
    reader.Int(desaturation, "life_threshold", state.lifeThreshold);
  }
  if (const rapidxml::xml_node<>* bonus = reader.Required(document, "bonus"))
    reader.Int(bonus, "base_value", state.bonusBaseValue);

  if (state.baseWidth > 0 && state.baseHeight > 0) {
    if (obj::CGameObjectManager* objects = obj::CGameObjectManager::GetInstance()) {
      std::vector<obj::CGameObject*> screen;
      objects->GetGameObjectsByTemplate(kHudTemplate, screen);
      for (obj::CGameObject* object : screen) {
        gfx::CRenderer* renderer = object ? object->GetComponent<gfx::CRenderer>() : nullptr;
        if (!renderer) continue;
        renderer->SetShaderParameter(kBaseWidth, gfx::kShaderInt, &state.baseWidth);
        renderer->SetShaderParameter(kBaseHeight, gfx::kShaderInt, &state.baseHeight);
        renderer->SetShaderParameter(kBaseDepth, gfx::kShaderInt, &state.baseDepth);
        renderer->SetShaderParameter(kBaseAspectRatio, gfx::kShaderFloat, &state.baseAspectRatio);
      }
    }
  }

  for (const rapidxml::xml_node<>* node = document.first_node("hud"); node;
       node = node->next_sibling("hud")) {
    const rapidxml::xml_attribute<>* nameAttribute = node->first_attribute("name");
    const CStringHash name(nameAttribute ? nameAttribute->value() : "");
    int index = -1;
    for (int i = 0; i < kElementCount && index < 0; ++i)
      if (CStringHash(kElements[i].name) == name) index = i;
    if (index < 0) continue;
    reader.SetContext(kElements[index].name);
    SHUDElement& element = Element(index);
    const EHUDElementKind kind = kElements[index].kind;

    if (const rapidxml::xml_node<>* alignment = node->first_node("alignment")) {
      const rapidxml::xml_attribute<>* value = alignment->first_attribute("value");
      const CStringHash align(value ? value->value() : "");
      if (align == kLeft) hud::SetTechnique(element, "TechGUIAlignLeft");
      if (align == kCenter) hud::SetTechnique(element, "TechGUIAlignCenter");
      if (align == kRight) hud::SetTechnique(element, "TechGUIAlignRight");
    }
    if (const rapidxml::xml_node<>* pos = node->first_node("pos_offset")) {
      reader.Float(pos, "minX", element.minX, true);
      reader.Float(pos, "maxX", element.maxX, true);
      reader.Float(pos, "minY", element.minY, true);
      reader.Float(pos, "maxY", element.maxY, true);
      reader.Float(pos, "speed", element.posSpeed);
    }
    if (const rapidxml::xml_node<>* scale = node->first_node("scale")) {
      reader.Float(scale, "max", element.scaleMax);
      reader.Float(scale, "min", element.scaleMin);
      reader.Float(scale, "speed", element.scaleSpeed);
    }
    element.colour[0] = element.colour[1] = element.colour[2] = 1.0f;
    element.colour[3] = 0.0f;
    if (const rapidxml::xml_node<>* alpha = node->first_node("alpha")) {
      reader.Float(alpha, "value", element.colour[3]);
      reader.Float(alpha, "speed", element.alphaSpeed);
      reader.Float(alpha, "visible_time", element.displayTime);
      element.defaultDisplayTime = element.displayTime;
    }
    hud::SetColour(element);

    const rapidxml::xml_node<>* child = nullptr;
    switch (kind) {
      case kHUDArrow:
        if ((child = node->first_node("arrow"))) {
          auto& arrow = static_cast<SHUDArrow&>(element);
          float minimum = arrow.angleMin / kDegrees, maximum = arrow.angleMax / kDegrees;
          reader.Float(child, "angle_min", minimum);
          reader.Float(child, "angle_max", maximum);
          arrow.angleMin = minimum * kDegrees;
          arrow.angleMax = maximum * kDegrees;
          reader.Float(child, "spring", arrow.spring);
          reader.Float(child, "damp", arrow.damp);
        }
        break;
      case kHUDCounter:
        if ((child = node->first_node("counter"))) {
          auto& counter = static_cast<SHUDCounter&>(element);
          reader.Float(child, "speed", counter.speed);
          reader.Float(child, "u_offset", counter.uOffset);
          reader.Float(child, "v_offset", counter.vOffset);
          reader.Int(child, "endl", counter.endl);
        }
        break;
      case kHUDLight:
        if ((child = node->first_node("light"))) {
          auto& light = static_cast<SHUDLight&>(element);
          reader.Float(child, "time_enabled", light.timeEnabled);
          reader.Float(child, "time_disabled", light.timeDisabled);
          reader.Float(child, "intermitent_time", light.intermittentTime);
          reader.Float(child, "intensity", light.intensity);
        }
        break;
      case kHUDSubtitles:
        if ((child = node->first_node("subtitles")))
          reader.Float(child, "v_offset", static_cast<SHUDSubtitles&>(element).vOffset);
        break;
      case kHUDMargin:
        if ((child = node->first_node("cinematic_margins"))) {
          auto& margin = static_cast<SHUDMargin&>(element);
          reader.Float(child, "appearing_speed", margin.appearingSpeed);
          reader.Float(child, "time_to_appear", margin.timeToAppear);
        }
        break;
      case kHUDEmblem:
        if ((child = node->first_node("emblem"))) {
          auto& emblem = static_cast<SHUDEmblem&>(element);
          reader.Float(child, "spring", emblem.spring);
          reader.Float(child, "damp", emblem.damp);
        }
        break;
      case kHUDHelper:
        if ((child = node->first_node("helper"))) {
          auto& helperElement = static_cast<SHUDHelper&>(element);
          reader.Float(child, "spring", helperElement.spring);
          reader.Float(child, "damp", helperElement.damp);
          reader.Float(child, "v_offset", helperElement.vOffset);
        }
        break;
      default:
        break;
    }
    reader.SetContext(nullptr);
  }
  state.comboAlpha = comboSingle.Alpha();
  if (!reader.Ok()) {
    utl::LogPrintf("HUD layout %s is incomplete; the HUD stays off\n", layoutFile);
    return false;
  }

  utl::CXmlFile list;
  const utl::CXmlFile::EResult listResult = list.Load(subtitlesFile);
  const rapidxml::xml_node<>* root =
      listResult == utl::CXmlFile::EResult::Ok ? list.Document().first_node("subtitles") : nullptr;
  if (!root) {
    utl::LogPrintf("Subtitle list %s %s; the HUD stays off\n", subtitlesFile,
                   listResult == utl::CXmlFile::EResult::Missing     ? "is missing or empty"
                   : listResult == utl::CXmlFile::EResult::Malformed ? "cannot be parsed"
                                                                      : "has no <subtitles>");
    return false;
  }
  gfx::CRenderManager* render = Render();
  const rapidxml::xml_node<>* first = root->first_node("file");
  for (const rapidxml::xml_node<>* node = first; node; node = node->next_sibling()) {
    const rapidxml::xml_attribute<>* name = node->first_attribute("name");
    if (!name || !name->value()[0]) {
      utl::LogPrintf("Subtitle list %s: <%s> names no texture; skipped\n", subtitlesFile, node->name());
      continue;
    }
    if (!render) continue;
    for (const char* language : {"eng/", "spa/"}) {
      const std::string path = std::string(language) + name->value();
      render->LoadTexture(CStringHash(path.c_str()), nullptr, path.c_str(), 0);
    }
  }
  return true;
}

// --- Events -----------------------------------------------------------------------

void CHUD::HandleEvent(evn::IEvent* event) {
  if (!event) return;
  const CStringHash& type = event->GetType();
  // A script-only event may borrow a message name: only the real classes carry fields.
  if (type == SH_OnHUDChange) {
    if (auto* change = dynamic_cast<evn::CEventHUDChange*>(event)) OnHUDChange(*change);
  } else if (type == SH_OnFatality) {
    if (auto* fatality = dynamic_cast<evn::CEventFatality*>(event))
      ShowBloodSplatters(fatality->duration, fatality->duration * fatality->killFrame);
  } else if (type == SH_OnTimer) {
    auto* timer = dynamic_cast<evn::CEventTimer*>(event);
    if (!timer || timer->name != kSubtitleTimer) return;
    // The record travels as its text: "texture row time".
    const char* data = timer->data.Get();
    char texture[256] = {};
    int row = 0;
    float time = 0.0f;
    if (!data || std::sscanf(data, "%255s %d %f", texture, &row, &time) != 3) {
      utl::LogPrintf("Subtitle timer with the data \"%.80s\" is not \"texture row time\"; ignored\n",
                     data ? data : "");
      return;
    }
    ShowSubtitles(texture, row, time);
  } else if (type == SH_OnSaveCheckPoint) {
    if (!m_snapshot) return;
    CopyState(*m_snapshot, *this);
    m_hasSave = true;
  } else if (type == SH_OnLoadCheckPoint) {
    OnLoadCheckPoint();
  }
}

void CHUD::OnHUDChange(const evn::CEventHUDChange& change) {
  if (change.life >= 0) {
    SHUDValue& life = state.values[kValueLife];
    if (change.life < state.lifeThreshold && life.target > static_cast<float>(change.life) &&
        !change.force) {
      state.desaturationState = kDesaturationRising;
      if (sfx::CAudioManager* audio = sfx::CAudioManager::GetInstance()) {
        audio->StopSound(state.heartbeat);
        state.heartbeat = audio->PlaySound("brannoc_heartbeat", false);
        audio->FadeInSound(state.heartbeat, 0, 1.0f);
      }
    }
    life.target = static_cast<float>(change.life);
    if (change.force) {
      life.snap = true;
      state.deltaTime = 0.0f;
      UpdateLifeArrow();
    }
  }
  if (change.gas >= 0.0f) {
    SHUDValue& gas = state.values[kValueGas];
    gas.target = change.gas;
    if (change.force) {
      gas.snap = true;
      state.deltaTime = 0.0f;
      UpdateGasArrow();
    }
  }
  if (change.grenades >= 0) {
    SHUDValue& grenades = state.values[kValueGrenades];
    if (change.grenades > 0 && grenades.target == 0.0f) {
      lightBomb1.intermittenceClock = 0.0f;
      lightBomb1.blinkClock = 0.0f;
    }
    if (change.grenades > 1) {
      lightBomb2.intermittenceClock = 0.0f;
      lightBomb2.blinkClock = 0.0f;
    }
    grenades.target = static_cast<float>(change.grenades);
    if (change.force) {
      grenades.snap = true;
      state.deltaTime = 0.0f;
      UpdateGrenadeLights();
    }
    if (change.grenadesEmblemShow) {
      state.grenadeEmblemState = 1;
      state.clocks[kClockGrenadeEmblem] = 0.0f;
    }
  }
  if (change.hide) state.dashboardHidden = true;
  if (change.unhide) {
    state.dashboardHidden = false;
    state.clocks[kClockDashboard] = 0.0f;
  }
  state.hideSpeed = change.hideSpeed;
  if (change.cronoTime >= 0.0f) {
    state.clocks[kClockCrono] = 0.0f;
    state.values[kValueCrono].target = change.cronoTime;
  }
  if (change.score > 0) {
    const int score = change.score > 100 ? 100 : change.score;
    ++state.hitCount;
    state.clocks[kClockCombo] = 0.0f;
    if (state.hitCount > 1) {
      state.comboShown = true;
      state.popDirection = -1.0f;
      for (SHUDCounter* counter : {&comboSingle, &comboUnid, &comboDec, &comboHit})
        counter->scale = counter->scaleMax;
    }
    SHUDValue& total = state.values[kValueScore];
    total.target += static_cast<float>(score);
    if (change.force) {
      total.snap = true;
      state.deltaTime = 0.0f;
      UpdateScoreDigits();
    }
  }
  if (change.bossLifeInit >= 0) state.bossLifeInit = change.bossLifeInit;
  if (change.bossLife >= 0) {
    state.values[kValueBoss].target = static_cast<float>(change.bossLife);
    if (change.force) state.values[kValueBoss].snap = true;
  }
}

void CHUD::OnLoadCheckPoint() {
  // Without a save since Init the snapshot holds nothing of this game.
  if (!m_snapshot || !m_hasSave) return;
  CopyState(*this, *m_snapshot);
  for (int clock = 0; clock < kClockCount; ++clock)
    if (clock != kClockMargins && clock != kClockHelper) state.clocks[clock] = 0.0f;
  SHUDElement* const hidden[] = {&subtitles, &button,    &blood[0],  &blood[1],    &blood[2],
                                 &blood[3],  &comboSingle, &comboUnid, &comboDec, &comboHit,
                                 &comboWord, &bossFrame, &bossBar,   &bossBack,    &bossArrow};
  for (SHUDElement* element : hidden) {
    element->Alpha() = 0.0f;
    hud::SetColour(*element);
  }
  state.subtitlesShown = false;
  state.buttonShown = false;
  state.bloodShown = false;
  state.comboShown = false;
  state.scoreEmblemState = 0;
  state.grenadeEmblemState = 0;
  state.bossTechniquePending = false;
  blackScreen.Alpha() = 1.0f;
  hud::SetColour(blackScreen);
  gfx::CRenderManager* render = Render();
  state.desaturation = render ? render->desaturationMin : 0.27f;
  if (render) gfx::SetDesaturationFactor(*render, state.desaturation);
  state.desaturationState = kDesaturationIdle;
  if (evn::CEventHUDChange* life = evn::CEventHUDChange::New()) {
    life->life = 100;
    life->force = true;
    evn::PostOrRelease(life);
  }
}

void CHUD::ShowBloodSplatters(float displayTime, float delay) {
  static const char kVariants[3] = {'a', 'b', 'c'};
  plat::gpu::BaseTexture* textures[4] = {};
  bool all = true;
  for (int i = 0; i < 4; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "hud/bloodsplatter_%02d%c.dds", i + 1, kVariants[plat::Rand() % 3]);
    textures[i] = hud::FindTexture(name);
    all = all && textures[i] != nullptr;
  }
  for (int i = 0; i < 4; ++i) {
    if (all) hud::SetTexture(blood[i], textures[i]);
    blood[i].displayTime = blood[i].defaultDisplayTime;
    if (displayTime != -1.0f) {
      blood[i].displayTime = displayTime;
      blood[i].delay = delay;
    }
  }
  state.bloodShown = true;
  state.clocks[kClockBlood] = 0.0f;
}

void CHUD::SetDesaturation(float factor) {
  gfx::CRenderManager* render = Render();
  if (!render) {
    state.desaturation = factor;
    return;
  }
  gfx::SetDesaturationFactor(*render, factor);
  state.desaturation = render->desaturation;
}

}  // namespace vd
