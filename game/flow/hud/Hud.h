#pragma once
// The in-game head-up display. It draws nothing itself: its screen elements are
// game objects of the HUD's instance file ("Data/xml/hud_instances.xml"), and the
// HUD animates them through their renderers' shader parameters and their
// transforms' roll and height, plus the desaturation of the final screen effect.
//
// It reacts to HUD changes (life, gas, grenades, score, stopwatch, boss), fatalities,
// "subtitle" timers and checkpoint saves and loads; scripts and the game states
// show and hide its parts through the script methods. Main thread only.
#include <cstdint>

#include "engine/audio/AudioManager.h"
#include "engine/events/Event.h"
#include "game/flow/hud/HudElements.h"

struct lua_State;

namespace vd {

namespace evn {
class CEventHUDChange;
}
namespace gfx {
class CRenderManager;
}
namespace obj {
class CGameObjectManager;
}

class CHUD : public evn::IEventListener {
public:
  static constexpr const char* kLayoutFile = "Data/xml/hud.xml";
  static constexpr const char* kSubtitlesFile = "Data/xml/subtitles.xml";

  // The 33 elements, in the order of their names (ElementName).
  enum EElement : int {
    kDashboard = 0,
    kLifeArrow,
    kGasArrow,
    kCronoArrow,
    kLightGas,
    kLightBomb1,
    kLightBomb2,
    kNumberUnid,
    kNumberDec,
    kNumberCent,
    kNumberMil,
    kCronoHalo,
    kSubtitles,
    kButton,
    kBlood1,
    kBlood2,
    kBlood3,
    kBlood4,
    kBlackScreen,
    kMarginTop,
    kMarginBottom,
    kComboSingle,
    kComboUnid,
    kComboDec,
    kComboHit,
    kComboWord,
    kEmblemScore,
    kEmblemBombs,
    kHelper,
    kBossFrame,
    kBossBar,
    kBossBack,
    kBossArrow,
    kElementCount
  };
  static const char* ElementName(int element);
  static EHUDElementKind ElementKind(int element);

  enum EClock : int {
    kClockWobble = 0,
    kClockDashboard,
    kClockSubtitles,
    kClockButton,
    kClockBlood,
    kClockMargins,
    kClockCombo,
    kClockBonus,
    kClockScoreEmblem,
    kClockGrenadeEmblem,
    kClockHelper,
    kClockCrono,
    kClockCount
  };
  enum EValue : int {
    kValueScore = 0,
    kValueLife,
    kValueGas,
    kValueCrono,
    kValueGrenades,
    kValueBoss,
    kValueCount
  };
  enum EDesaturation : int { kDesaturationRising = 0, kDesaturationFalling = 1, kDesaturationIdle = 2 };

  // Everything a checkpoint keeps besides the elements' own animated values.
  struct SState {
    float deltaTime = 0.0f;
    float clocks[kClockCount] = {};
    SHUDValue values[kValueCount];
    int baseWidth = 0;
    int baseHeight = 0;
    int baseDepth = 0;
    float baseAspectRatio = 0.0f;
    bool dashboardHidden = false;
    float hideSpeed = -1.0f;  // replaces the dashboard's alpha speed when above 0
    int bonusBaseValue = 10;
    int bonusCount = 0;
    bool subtitlesShown = false;
    bool buttonShown = false;
    bool bloodShown = false;
    bool blackScreenShown = false;
    bool marginsShown = false;
    float marginTopStart = 0.0f;
    float marginBottomStart = 0.0f;
    int comboUnits = 0;
    int comboTens = 0;
    bool comboShown = false;
    float bonusSlideDirection = 0.0f;
    float popDirection = 0.0f;
    bool bonusShown = false;
    int hitCount = 0;
    // The hit count the bonus last looked at.
    int lastHitCount = 0;
    float comboAlpha = 0.0f;
    int scoreEmblemState = 0;  // 0 hidden, 1 springing in, 2 sliding out
    int grenadeEmblemState = 0;
    int helperState = 0;
    bool bossShown = false;
    bool bossTechniquePending = false;
    int bossLifeInit = 0;
    int desaturationState = kDesaturationIdle;
    float desaturation = 0.27f;
    float desaturationRising = 1.0f;
    float desaturationFalling = 1.0f;
    int lifeThreshold = 0;
    bool desaturationForced = false;
    sfx::ChannelHandle heartbeat = 0;
    int checkpointLifeMin = 30;
  };

  CHUD();
  ~CHUD() override;
  CHUD(const CHUD&) = delete;
  CHUD& operator=(const CHUD&) = delete;

  // When the level's objects are live: binds the elements, reads the layout and the
  // subtitle list and starts listening. False (and no listeners) when a file cannot
  // be read or lacks what it must have.
  bool Init(const char* layoutFile = kLayoutFile, const char* subtitlesFile = kSubtitlesFile);
  // Back to the defaults: no listeners, no snapshot.
  void Reset();
  // Once a frame in play and in the intro. Always true.
  bool Update(float dt);
  void HandleEvent(evn::IEvent* event) override;
  // The animated state and each element's animated values of `source`; neither the
  // element bindings nor the snapshot go across.
  static void CopyState(CHUD& destination, const CHUD& source);

  // The layout (base size, checkpoint, desaturation, bonus, the elements) and the
  // subtitle textures, queued in both language folders. False with a log line when
  // a file cannot be read or a required element or attribute is missing.
  bool ReadLayout(const char* layoutFile = kLayoutFile,
                  const char* subtitlesFile = kSubtitlesFile);

  // Where the player's subtitle and language choices live (the game options); null
  // for either: subtitles on, English.
  void BindOptions(const uint8_t* subtitlesFlag, const int* language);

  // --- Script methods ----------------------------------------------------------
  void ShowSubtitles(const char* texture, int row, float time);
  void HideSubtitles();
  void ShowButton(const char* texture, float time);
  void HideButton();
  void ShowBlackScreen(float fadeSpeed);
  void HideBlackScreen(float fadeSpeed);
  void ShowCinematicMargins();
  void HideCinematicMargins();
  void ShowHelper(int cell, float time);
  void HideHelper();
  void ShowBossStats();
  void HideBossStats();
  void ResetDesaturation();
  void ForceDesaturation();

  // Off the screen while the pause menu is up, and back: the elements' objects are
  // disabled and enabled again (deferred, as every screen element).
  void SetOnScreen(bool onScreen);

  bool IsButtonVisible() const { return state.buttonShown; }
  // The picture the last prompt asked for, whether or not it was loaded.
  const std::string& GetButtonTexture() const { return buttonTextureName; }
  bool IsListening() const { return m_listening; }
  const CHUD* Snapshot() const { return m_snapshot; }

  SHUDElement& Element(int element);
  const SHUDElement& Element(int element) const;

  SState state;

  SHUDElement dashboard;
  SHUDArrow lifeArrow, gasArrow, cronoArrow;
  SHUDLight lightGas, lightBomb1, lightBomb2;
  SHUDCounter numberUnid, numberDec, numberCent, numberMil;
  SHUDElement cronoHalo;
  SHUDSubtitles subtitles;
  SHUDElement button;
  std::string buttonTextureName;
  SHUDSplatter blood[4];
  SHUDElement blackScreen;
  SHUDMargin marginTop, marginBottom;
  SHUDCounter comboSingle, comboUnid, comboDec, comboHit, comboWord;
  SHUDEmblem emblemScore, emblemBombs;
  SHUDHelper helper;
  SHUDElement bossFrame, bossBar, bossBack, bossArrow;

private:
  // Immediate updaters, run from an event with deltaTime 0 when a change is forced.
  void UpdateScoreDigits();
  void UpdateLifeArrow();
  void UpdateGasArrow();
  void UpdateGrenadeLights();

  void UpdateDashboard();
  void UpdateDesaturation();
  void UpdateCrono();
  void UpdateEmblem(SHUDEmblem& emblem, int& emblemState, float clock);
  void UpdateHelper();
  void UpdateCombo();
  void UpdateFades();
  void UpdateBlood();
  void UpdateBlackScreen();
  void UpdateMargins();
  void UpdateBoss();

  void OnHUDChange(const evn::CEventHUDChange& change);
  void OnLoadCheckPoint();
  void ShowBloodSplatters(float displayTime, float delay);
  void SetDesaturation(float factor);

  // "eng/" or "spa/" by the language option; "" for another language.
  const char* LanguageFolder() const;
  bool SubtitlesOn() const;

  bool m_listening = false;
  CHUD* m_snapshot = nullptr;
  // A checkpoint has been saved into the snapshot since Init.
  bool m_hasSave = false;
  // Init read the layout: the elements may show.
  bool m_laidOut = false;
  const uint8_t* m_subtitlesFlag = nullptr;
  const int* m_language = nullptr;
};

// The Lua class "HUD" with the fourteen script methods; with `getHUD`, also the
// global "GetHUD" that returns what it returns.
void RegisterHUDBindings(lua_State* state, CHUD* (*getHUD)());

}  // namespace vd
