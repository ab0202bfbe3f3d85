#include "game/flow/menu/MenuPages.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "engine/objects/GameObject.h"
#include "engine/objects/Renderer.h"
#include "game/flow/GameOptions.h"
#include "game/flow/Vandrel.h"
#include "game/flow/menu/MenuState.h"

namespace vd {
namespace menu {

namespace {

const uint32_t kLanguageSpa = ComputeHash("language_spa");

bool AnyPressed(const CGameStateMenu& state, const int* slots, size_t count) {
  for (size_t i = 0; i < count; ++i)
    if (state.SlotPressed(slots[i])) return true;
  return false;
}
template <size_t N>
bool AnyPressed(const CGameStateMenu& state, const int (&slots)[N]) {
  return AnyPressed(state, slots, N);
}

bool Held(const CGameStateMenu& state, const int* slots, size_t count) {
  for (size_t i = 0; i < count; ++i)
    if (state.SlotValue(slots[i]) != 0.0f) return true;
  return false;
}

void SetColour(SMenuElement& element) {
  if (element.renderer)
    element.renderer->SetShaderParameter(CStringHash("gColor"), 5, &element.colour);
}

void SetDigit(CGameStateMenu& state, const std::string& name, int digit) {
  SMenuElement* element = state.Element(name.c_str());
  if (!element || !element->renderer) return;
  const float offset[2] = {0.0f, DigitOffset(digit)};
  element->renderer->SetShaderParameter(CStringHash("gUVOffset"), 3, offset);
}

void PendingFromOptions(CGameStateMenu& state, CGameOptions::EOption option, int value,
                        CStringHash& pending) {
  pending = state.Options()->NameOf(option, value);
}

}  // namespace

float DigitOffset(int digit) {
  static const float kRows[10] = {0.0f,  0.901f, 0.802f, 0.704f, 0.604f,
                                  0.507f, 0.407f, 0.309f, 0.212f, 0.112f};
  return digit >= 0 && digit <= 9 ? kRows[digit] : 0.0f;
}

int VolumeReadOut(float volume) {
  // Steps of 0.01 in float do not land on whole hundredths: truncating would read
  // one less after most of them.
  const float clamped = std::clamp(volume, 0.0f, 1.0f);
  return static_cast<int>(std::lround(clamped * 100.0f));
}

void ShowPage(CGameStateMenu& state, const CStringHash& page) {
  if (!state.FrontEnd()) return;
  for (auto& entry : state.FrontEnd()->menuTable)
    if (entry.second.page == page) state.QueueEnable(entry.second, true);
}

void HidePage(CGameStateMenu& state, const CStringHash& page) {
  if (!state.FrontEnd()) return;
  for (auto& entry : state.FrontEnd()->menuTable)
    if (entry.second.page == page) state.QueueEnable(entry.second, false);
}

bool Up(CGameStateMenu& state) {
  if (!AnyPressed(state, kUpSlots)) return false;
  state.PlaySound("menu_click_02");
  return true;
}

bool Down(CGameStateMenu& state) {
  if (!AnyPressed(state, kDownSlots)) return false;
  state.PlaySound("menu_click_02");
  return true;
}

bool Right(CGameStateMenu& state) { return AnyPressed(state, kRightSlots); }
bool Left(CGameStateMenu& state) { return AnyPressed(state, kLeftSlots); }
bool Accept(CGameStateMenu& state) { return AnyPressed(state, kAcceptSlots); }
bool Back(CGameStateMenu& state) { return AnyPressed(state, kBackSlots); }

void HorizontalSound(CGameStateMenu& state) {
  const int slots[] = {3, 5, 21, 23};
  if (!Held(state, slots, 4)) state.holdTimer = 0.0f;
  state.horizontalInput = Right(state) ? 1.0f : Left(state) ? -1.0f : 0.0f;
  if (state.horizontalInput != 0.0f) state.PlaySound("menu_click_03");
}

void MenuFadeOut(CGameStateMenu& state) {
  SMenuElement* fade = state.Element("menu_black_front");
  if (!fade || !fade->object || !fade->object->IsEnabled()) return;
  fade->colour.w = std::clamp(fade->colour.w - fade->fadeRate.w * state.frameTime, 0.0f, 1.0f);
  SetColour(*fade);
  if (fade->colour.w <= 0.0f) state.QueueEnable(*fade, false);
}

void VolumeRow(CGameStateMenu& state, const char* type, float& volume) {
  const float before = volume;
  if (Right(state)) volume += 0.01f;
  if (Left(state)) volume -= 0.01f;
  const bool right = state.SlotValue(3) != 0.0f || state.SlotValue(21) != 0.0f;
  const bool left = state.SlotValue(5) != 0.0f || state.SlotValue(23) != 0.0f;
  if (right || left) state.holdTimer += state.frameTime;
  if (state.holdTimer > 0.5f) {
    if (right) volume += 0.001f;
    if (left) volume -= 0.001f;
  }
  volume = std::clamp(volume, 0.0f, 1.0f);
  if (volume != before) state.SetTypeVolume(type, volume);
  const std::string prefix = std::string(type) == "music" ? "musicvolume"
                             : std::string(type) == "sfx" ? "effectsvolume"
                                                          : "voicesvolume";
  if (right) state.FlashElement(CStringHash((prefix + "_right_arrow").c_str()));
  if (left) state.FlashElement(CStringHash((prefix + "_left_arrow").c_str()));
}

void VolumeReadOuts(CGameStateMenu& state) {
  if (!state.FrontEnd()) return;
  const SPendingOptions& pending = state.FrontEnd()->pending;
  const std::pair<const char*, float> rows[] = {{"musicvolume", pending.musicVolume},
                                                {"effectsvolume", pending.effectsVolume},
                                                {"voicesvolume", pending.voicesVolume}};
  for (const auto& row : rows) {
    const int n = VolumeReadOut(row.second);
    const std::string prefix = row.first;
    SetDigit(state, prefix + "_unid", n % 10);
    SetDigit(state, prefix + "_dec", (n % 100) / 10);
    SetDigit(state, prefix + "_cent", (n % 1000) / 100);
    // No leading zeros.
    state.EnableElement(CStringHash((prefix + "_cent").c_str()), n >= 100);
    state.EnableElement(CStringHash((prefix + "_dec").c_str()), n >= 10);
  }
}

void ResolutionReadOut(CGameStateMenu& state) {
  if (!state.FrontEnd()) return;
  const SPendingOptions& pending = state.FrontEnd()->pending;
  const std::pair<const char*, float> sides[] = {{"resolution_width", pending.resolutionWidth},
                                                 {"resolution_height", pending.resolutionHeight}};
  for (const auto& side : sides) {
    const int n = static_cast<int>(std::max(side.second, 0.0f));
    const std::string prefix = side.first;
    SetDigit(state, prefix + "_unid", n % 10);
    SetDigit(state, prefix + "_dec", (n % 100) / 10);
    SetDigit(state, prefix + "_cent", (n % 1000) / 100);
    SetDigit(state, prefix + "_mil", (n % 10000) / 1000);
  }
}

void ResetPendingGameConfig(CGameStateMenu& state) {
  if (!state.Options() || !state.FrontEnd()) return;
  SPendingOptions& pending = state.FrontEnd()->pending;
  const CGameOptions& options = *state.Options();
  PendingFromOptions(state, CGameOptions::kDifficulty, options.difficulty, pending.difficulty);
  PendingFromOptions(state, CGameOptions::kLanguage, options.language, pending.language);
  pending.subtitles = options.subtitles;
}

void ResetPendingGraphics(CGameStateMenu& state) {
  if (!state.Options() || !state.FrontEnd()) return;
  SPendingOptions& pending = state.FrontEnd()->pending;
  const CGameOptions& options = *state.Options();
  if (CVandrel* app = state.App()) {
    pending.resolutionWidth = static_cast<float>(app->screenWidth);
    pending.resolutionHeight = static_cast<float>(app->screenHeight);
  }
  PendingFromOptions(state, CGameOptions::kAntialiasing, options.antialiasing,
                     pending.antialiasing);
  PendingFromOptions(state, CGameOptions::kGraphicsQuality, options.graphicsQuality,
                     pending.graphicsQuality);
  PendingFromOptions(state, CGameOptions::kShadowsQuality, options.shadowsQuality,
                     pending.shadowsQuality);
  pending.vsync = options.vsync;
  pending.depthOfField = options.depthOfField;
  pending.ssao = options.ssao;
  pending.glow = options.glow;
  pending.bloodDecals = options.bloodDecals;
}

void SaveGameConfig(CGameStateMenu& state) {
  state.PlaySound("menu_click_01");
  if (CGameOptions* options = state.Options(); options && state.FrontEnd()) {
    const SPendingOptions& pending = state.FrontEnd()->pending;
    // A name the tables do not know keeps the option as it was.
    const int difficulty = options->ValueOf(CGameOptions::kDifficulty, pending.difficulty);
    const int language = options->ValueOf(CGameOptions::kLanguage, pending.language);
    if (difficulty >= 0) options->difficulty = difficulty;
    if (language >= 0) options->language = language;
    options->subtitles = pending.subtitles;
  }
  state.CloseGameConfigPage();
  state.OpenOptionsPage(CStringHash("menu_button_gameoptions"));
}

void BackGameConfig(CGameStateMenu& state) {
  state.PlaySound("menu_back_01");
  ResetPendingGameConfig(state);
  ApplyLanguageTextures(state);
  state.CloseGameConfigPage();
  state.OpenOptionsPage(CStringHash("menu_button_gameoptions"));
}

void RequestDeviceReset(gfx::CGraphicsManager& device, int width, int height, int antialiasing,
                        uint8_t vsync) {
  device.presentParameters.backBufferWidth = static_cast<uint32_t>(width);
  device.presentParameters.backBufferHeight = static_cast<uint32_t>(height);
  // Through the device's own check: a sample count it cannot make would have every
  // reset refused, and nothing drawn.
  if (device.direct3D) device.SelectMultiSample(antialiasing);
  device.presentParameters.multiSampleType = device.multiSampleType;
  device.presentParameters.multiSampleQuality = device.multiSampleQuality;
  device.presentParameters.presentationInterval =
      vsync ? plat::gpu::kPresentIntervalOne : plat::gpu::kPresentIntervalImmediate;
  device.vsync = vsync;
  device.resetRequested = 1;
}

void SaveGraphicsConfig(CGameStateMenu& state) {
  state.PlaySound("menu_click_01");
  CGameOptions* options = state.Options();
  if (options && state.FrontEnd()) {
    const SPendingOptions& pending = state.FrontEnd()->pending;
    auto store = [&](CGameOptions::EOption option, const CStringHash& name, int& field) {
      const int value = options->ValueOf(option, name);
      if (value >= 0) field = value;
    };
    store(CGameOptions::kAntialiasing, pending.antialiasing, options->antialiasing);
    store(CGameOptions::kGraphicsQuality, pending.graphicsQuality, options->graphicsQuality);
    store(CGameOptions::kShadowsQuality, pending.shadowsQuality, options->shadowsQuality);
    options->vsync = pending.vsync;
    options->depthOfField = pending.depthOfField;
    options->ssao = pending.ssao;
    options->glow = pending.glow;
    options->bloodDecals = pending.bloodDecals;
    if (CVandrel* app = state.App()) {
      if (pending.resolutionWidth > 0.0f && pending.resolutionHeight > 0.0f) {
        app->screenWidth = static_cast<int>(pending.resolutionWidth);
        app->screenHeight = static_cast<int>(pending.resolutionHeight);
      }
      sys::CScopedLock lock(sys::kLockRender);
      RequestDeviceReset(app->graphicsManager, app->screenWidth, app->screenHeight,
                         options->antialiasing, options->vsync);
    }
  }
  state.CloseGraphicsConfigPage();
  state.OpenOptionsPage(CStringHash("menu_button_graphics"));
}

void BackGraphicsConfig(CGameStateMenu& state) {
  state.PlaySound("menu_back_01");
  ResetPendingGraphics(state);
  state.CloseGraphicsConfigPage();
  state.OpenOptionsPage(CStringHash("menu_button_graphics"));
}

void ApplyLanguageTextures(CGameStateMenu& state) {
  if (!state.FrontEnd()) return;
  const bool spanish = state.FrontEnd()->pending.language.GetHash() == kLanguageSpa;
  for (auto& entry : state.FrontEnd()->menuTable) {
    SMenuElement& element = entry.second;
    element.highlighted = spanish ? element.spaHighlighted : element.engHighlighted;
    element.normal = spanish ? element.spaNormal : element.engNormal;
    const bool lit = element.name == state.selected;
    state.ShowTexture(element, lit ? element.highlighted : element.normal);
  }
  ApplyMenuTitles(state);
}

void ApplyMenuTitles(CGameStateMenu& state) {
  if (!state.FrontEnd()) return;
  const bool spanish = state.FrontEnd()->pending.language.GetHash() == kLanguageSpa;
  const std::string path = std::string(spanish ? "spa/" : "eng/") + "menu/MenuTitles_01.dds";
  if (SMenuElement* title = state.Element("menu_background_joe")) {
    title->highlighted = title->normal = path;
    state.ShowTexture(*title, path);
  }
}

}  // namespace menu
}  // namespace vd
