#include "game/flow/menu/StartUpState.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "engine/core/Locks.h"
#include "engine/core/Log.h"
#include "engine/core/XmlFile.h"
#include "engine/input/InputManager.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Renderer.h"
#include "engine/render/RenderManager.h"
#include "game/flow/Vandrel.h"

namespace vd {

namespace {

const char* Attr(rapidxml::xml_node<>* node, const char* name) {
  rapidxml::xml_attribute<>* a = node ? node->first_attribute(name) : nullptr;
  return a ? a->value() : "";
}
float F(rapidxml::xml_node<>* node, const char* name) {
  return static_cast<float>(std::atof(Attr(node, name)));
}

// The film look's switches that the start-up turns on under the title.
void FilmLook(gfx::CRenderManager& render, bool on, float intensity) {
  render.filmLookExtras.Set(on);
  render.SetOldMovieLines(on);
  render.SetOldMovieIntensity(intensity);
}

}  // namespace

const char* const CGameStateStartUp::kScreenNames[kScreenCount] = {
    "background_black", "logo_team", "startup_pad_recommended", "startup_title"};

void CGameStateStartUp::Exit() {
  running = 0;
  next = kStateStartUp;
  Drop();
  phase = 0;
}

bool CGameStateStartUp::PadConnected() const {
  return m_app && m_app->inputManager.IsPadConnected();
}

bool CGameStateStartUp::ReadFile(const char* path) {
  utl::CXmlFile file;
  switch (file.Load(path)) {
    case utl::CXmlFile::EResult::Missing:
      utl::LogPrintf("Start-up: %s is missing or empty\n", path);
      return false;
    case utl::CXmlFile::EResult::Malformed:
      utl::LogPrintf("Start-up: %s is not valid XML: %s\n", path, file.Error().c_str());
      return false;
    case utl::CXmlFile::EResult::Ok:
      break;
  }
  rapidxml::xml_document<>& doc = file.Document();
  rapidxml::xml_node<>* res = doc.first_node("res");
  const int w = std::atoi(Attr(res, "width")), h = std::atoi(Attr(res, "height"));
  if (!res || w <= 0 || h <= 0) {
    utl::LogPrintf("Start-up: %s needs a res element with a positive width and height\n", path);
    return false;
  }
  width = w;
  height = h;
  depth = std::atoi(Attr(res, "depth"));
  aspectRatio = static_cast<float>(w) / static_cast<float>(h);
  // The rest lies inside res or beside it.
  auto find = [&](const char* name) {
    rapidxml::xml_node<>* node = res->first_node(name);
    return node ? node : doc.first_node(name);
  };
  const std::pair<const char*, int> fades[] = {{"logo", kLogo}, {"instructions01", kPadRecommended}};
  for (const auto& fade : fades) {
    rapidxml::xml_node<>* node = find(fade.first);
    if (!node) continue;
    rapidxml::xml_node<>* alpha = node->first_node("alpha");
    SScreen& s = screens[fade.second];
    const float value = F(alpha, "value"), speed = F(alpha, "speed");
    s.colour = plat::Vec4(value, value, value, value);
    s.speed = plat::Vec4(speed, speed, speed, speed);
    s.fadeTime = F(alpha, "fade_time");
    s.visibleTime = F(alpha, "visible_time");
  }
  if (rapidxml::xml_node<>* title = find("title")) {
    if (rapidxml::xml_node<>* pos = title->first_node("pos_offset")) {
      xMin = F(pos, "x_min");
      xMax = F(pos, "x_max");
      slideSpeed = F(pos, "speed");
      // A title that does not move has no slide to time its effects by.
      slideDuration = slideSpeed != 0.0f ? std::fabs(xMin - xMax) / slideSpeed : 0.0f;
    }
    for (rapidxml::xml_node<>* v = title->first_node("vibration"); v;
         v = v->next_sibling("vibration")) {
      SShake shake;
      shake.axis = Attr(v, "axis")[0] == 'x' ? 0 : 1;
      shake.in = F(v, "in");
      shake.out = F(v, "out");
      shake.power = F(v, "power");
      shake.speed = F(v, "speed");
      shakes.push_back(shake);
    }
    for (rapidxml::xml_node<>* z = title->first_node("zoom"); z; z = z->next_sibling("zoom")) {
      SZoom zoom;
      zoom.in = F(z, "in");
      zoom.timeIn = F(z, "time_in");
      zoom.timeOut = F(z, "time_out");
      zoom.sizeIn = F(z, "size_in");
      zoom.sizeOut = F(z, "size_out");
      zooms.push_back(zoom);
    }
  }
  if (!(slideSpeed > 0.0f))
    utl::LogPrintf("Start-up: %s: the title needs a positive slide speed; it ends at once\n",
                   path);
  return true;
}

bool CGameStateStartUp::OnEnter() {
  timer = 0.0f;
  frameTime = 0.0f;
  // Each entry reads the file again: the curves of an earlier one must not pile up.
  shakes.clear();
  zooms.clear();
  for (int i = 0; i < kScreenCount; ++i) {
    screens[i] = SScreen();
    if (m_app) BindElement(m_app->objectManager, kScreenNames[i], screens[i].element);
  }
  const bool read = ReadFile(kStartUpFile);
  titlePosition = plat::Vec2(xMax, 0.0f);
  for (int i : {kLogo, kPadRecommended, kTitle}) {
    gfx::CRenderer* r = screens[i].element.renderer;
    if (!r) continue;
    r->SetShaderParameter(CStringHash("gBaseWidth"), 0, &width);
    r->SetShaderParameter(CStringHash("gBaseHeight"), 0, &height);
    r->SetShaderParameter(CStringHash("gBaseDepth"), 0, &depth);
    r->SetShaderParameter(CStringHash("gBaseAspectRatio"), 2, &aspectRatio);
    // Every screen starts unshaken, unzoomed and at its colour.
    const plat::Vec2 none(0.0f, 0.0f);
    const float one = 1.0f;
    r->SetShaderParameter(CStringHash("gPosOffset"), 3, i == kTitle ? &titlePosition : &none);
    r->SetShaderParameter(CStringHash("gScale"), 2, &one);
    r->SetShaderParameter(CStringHash("gColor"), 5, &screens[i].colour);
  }
  if (gfx::CRenderer* title = screens[kTitle].element.renderer) {
    const plat::Vec4 white(1.0f, 1.0f, 1.0f, 1.0f);
    title->SetShaderParameter(CStringHash("gColor"), 5, &white);
  }
  return read;
}

// The pad screen has words: its renderer draws the first of its pictures (the
// English one) unless told otherwise.
void CGameStateStartUp::ShowPadPictureInLanguage() {
  gfx::CRenderer* renderer = screens[kPadRecommended].element.renderer;
  if (!m_app || !renderer) return;
  const bool spanish = m_options && m_options->language == 1;
  const std::string name = std::string(spanish ? "spa/" : "eng/") + kPadPicture;
  const gfx::CTexture* texture = m_app->renderManager.FindTexture(CStringHash(name.c_str()));
  if (plat::gpu::BaseTexture* device = texture ? texture->GetDeviceTexture() : nullptr)
    renderer->SetShaderParameter(CStringHash("gTexDiffuse"), 7, device);
}

void CGameStateStartUp::Show(int screen, bool on) {
  if (m_app && screens[screen].element.object)
    m_app->objectManager.QueueEnable(screens[screen].element.object, on);
}

bool CGameStateStartUp::Fade(SScreen& s) {
  const float t = timer, dt = frameTime, F = s.fadeTime, V = s.visibleTime;
  if (F >= t) s.colour.w += s.speed.w * dt;
  else if (t >= F + V) s.colour.w -= s.speed.w * dt;
  s.colour.w = std::clamp(s.colour.w, 0.0f, 1.0f);
  s.colour.x = std::clamp(s.colour.x + s.speed.x * dt, 0.0f, 1.0f);
  s.colour.y = std::clamp(s.colour.y + s.speed.y * dt, 0.0f, 1.0f);
  s.colour.z = std::clamp(s.colour.z + s.speed.z * dt, 0.0f, 1.0f);
  if (s.element.renderer) s.element.renderer->SetShaderParameter(CStringHash("gColor"), 5, &s.colour);
  return t >= 2.0f * F + V;
}

float CGameStateStartUp::ShakeNoise(float speed, float t) {
  int32_t n = static_cast<int32_t>(speed * t);
  uint32_t u = static_cast<uint32_t>(n);
  u ^= u << 13;
  const uint32_t m = ((u * (u * u * 19417u + 189851u)) - 3421365u) & 4945007u;
  return 1.0f - static_cast<float>(m) / 3354521.0f;
}

float CGameStateStartUp::TitleScale(float t) const {
  float scale = 1.0f;
  const float D = slideDuration;
  for (const SZoom& z : zooms) {
    const float a = D * z.in + z.timeIn, b = D * z.in + z.timeOut;
    if (t >= a && b > t) {
      const float f = (t - a) / (b - a);
      scale = (1.0f - f) * z.sizeIn + f * z.sizeOut;
    }
  }
  return scale;
}

void CGameStateStartUp::TitleFrame() {
  const float t = timer, D = slideDuration;
  titlePosition.x -= slideSpeed * frameTime;
  plat::Vec2 p = titlePosition;
  for (const SShake& s : shakes)
    if (t >= s.in * D && s.out * D > t) {
      const float noise = s.power * ShakeNoise(s.speed, t);
      if (s.axis == 0) p.x += noise;
      else p.y += noise;
    }
  const float scale = TitleScale(t);
  if (gfx::CRenderer* r = screens[kTitle].element.renderer) {
    r->SetShaderParameter(CStringHash("gPosOffset"), 3, &p);
    r->SetShaderParameter(CStringHash("gScale"), 2, &scale);
  }
  // A title that cannot cross (no file read, a slide speed that is not positive, a
  // position that is not a number) would hold a black screen until a key nobody is
  // told about: the menu comes instead.
  const bool crossed = !(slideSpeed > 0.0f) || !(titlePosition.x >= xMin);
  if (crossed || SlotPressed(CInputManager::MenuAccept) ||
      SlotPressed(CInputManager::MenuEnter)) {
    Finish();
    return;
  }
  // Esc ends it only for a player with a pad, whose START shares the slot.
  if (PadConnected() && SlotPressed(CInputManager::Pause)) Finish();
}

void CGameStateStartUp::Finish() {
  if (m_frontEnd && m_frontEnd->startUpGroup >= 0 && m_app)
    m_app->services->DisableObjectGroup(m_frontEnd->startUpGroup);
  if (m_app) FilmLook(m_app->renderManager, false, 1.0f);
  Show(kBackground, true);
  running = 0;
  next = kStateMenu;
  if (m_app) {
    m_app->audioManager.StopSong("menu_ome");
    m_app->audioManager.StopSong("menu_projector");
    // A sequence cut short before the title still leaves the menu's song playing.
    if (phase < 3) {
      m_app->audioManager.PlaySong("main_menu_01", true);
      m_app->audioManager.SetSongVolume("main_menu_01", 1.0f);
    }
  }
  phase = 4;
}

bool CGameStateStartUp::Update(float dt) {
  frameTime = dt;
  timer += dt;
  if (!running) return true;
  switch (phase) {
    case 0:
      if (m_app) {
        m_app->audioManager.PlaySong("menu_ome", true);
        m_app->audioManager.PlaySong("menu_projector", true);
      }
      Show(kBackground, true);
      Show(kLogo, true);
      phase = 1;
      break;
    case 1:
      if (Fade(screens[kLogo])) {
        timer = 0.0f;
        Show(kLogo, false);
        ShowPadPictureInLanguage();
        Show(kPadRecommended, true);
        phase = 2;
      }
      break;
    case 2:
      if (Fade(screens[kPadRecommended])) {
        timer = 0.0f;
        Show(kPadRecommended, false);
        Show(kBackground, false);
        Show(kTitle, true);
        if (m_app) {
          FilmLook(m_app->renderManager, true, 3.5f);
          sfx::CAudioManager& audio = m_app->audioManager;
          audio.PlaySong("main_menu_01", true);
          audio.SetSongVolume("main_menu_01", 0.0f);
          audio.FadeInSong("main_menu_01", 5000, 1.0f);
          audio.FadeOutSong("menu_ome", 7000, 0.0f);
          audio.FadeOutSong("menu_projector", 7000, 0.0f);
        }
        phase = 3;
      }
      break;
    case 3:
      TitleFrame();
      break;
    default:
      break;
  }
  return true;
}

}  // namespace vd
