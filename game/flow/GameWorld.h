#pragma once
// What the game states share: the level's game-side managers with the object
// groups that the loading files create, and the front end's groups and screen
// elements. Both are plain aggregates of the application.
#include <cstdint>
#include <map>
#include <string>

#include "engine/core/StringHash.h"
#include "game/enemies/AIManager.h"
#include "game/enemies/GrenadesManager.h"
#include "game/flow/hud/Hud.h"
#include "game/flow/script/GatingParticlesManager.h"
#include "platform/math/Vector.h"

namespace vd {

namespace obj {
class CGameObject;
}
namespace gfx {
class CRenderer;
class CTransform;
}  // namespace gfx

class CPlayerController;
class CComboController;
class CCameraGOWController;
class IGameServices;

// The object groups of the loading and level files, in the order of `groups`.
enum EWorldGroup : int {
  kGroupLoadingCommon = 0,
  kGroupLoadingScene,
  kGroupLoadingPlayer,
  kGroupLoadingCamera,
  kGroupLoadingAnimated,
  kGroupLoadingParticles,
  kGroupLoadingLights,
  kGroupInGameEffects,
  kGroupLevelCommon,
  kGroupLevelScene,
  kGroupLevelTriggers,
  kGroupLevelCollision,
  kGroupLevelParticles,
  kGroupLevelLights,
  kGroupHUD,
  kGroupLevelAnimated,
  kGroupLevelTrackers,
  kGroupLevelLines,
  kGroupCharactersDiagonal,
  kGroupCharactersAvenue,
  kGroupCharactersBar,
  kGroupCharactersSquare,
  kGroupCharactersCasino,
  kGroupLinesDiagonal,
  kGroupLinesAvenue,
  kGroupLinesBar,
  kGroupLinesSquare,
  kGroupLinesCasino,
  kWorldGroupCount
};

class CGameWorld {
public:
  CGameWorld();
  ~CGameWorld();
  CGameWorld(const CGameWorld&) = delete;
  CGameWorld& operator=(const CGameWorld&) = delete;

  // Back to no level: managers cleared, controller pointers dropped. The group ids
  // stay: they name the pre-loaded groups the next game reuses. Harmless twice.
  void Reset();
  // When play begins: the player's use prompt shows as this HUD's button, until
  // Reset.
  void BindUsePrompt();

  CAIManager aiManager;
  CHUD hud;
  CGrenadesManager grenades;
  CGatingParticlesManager gatingParticles;
  CPlayerController* player = nullptr;
  CComboController* combo = nullptr;
  CCameraGOWController* camera = nullptr;
  int32_t groups[kWorldGroupCount];
  int32_t spare = 0;
};

// One screen element of the front end: its object and the two components the
// screens drive, with the values the screens animate.
struct SScreenElement {
  obj::CGameObject* object = nullptr;
  gfx::CRenderer* renderer = nullptr;
  gfx::CTransform* transform = nullptr;
  plat::Vec2 uvOffset{0.0f, 0.0f};
  plat::Vec4 colour{0.0f, 0.0f, 0.0f, 0.0f};
};

// A screen element shown on a timetable (the intro's panels, the credits' cards):
// it fades in over [in, out) of a length its state chooses and out after it, and
// may scale over [scaleBegin, scaleEnd). Times are fractions of that length.
struct STimedScreenElement : SScreenElement {
  float alphaSpeed = 0.0f;
  float timingIn = 0.0f;
  float timingOut = 0.0f;
  float scaleBegin = 0.0f;
  float scaleEnd = 0.0f;
  float scaleValueBegin = 0.0f;
  float scaleValueEnd = 0.0f;
  // The image, with its language folder, that the element shows.
  std::string texture;
};

// One element of the menu pages (an entry of Data/xml/menu_main.xml): its object,
// the two looks it switches between in the player's language, the page group it
// is shown with and its flash.
struct SMenuElement {
  CStringHash name;
  obj::CGameObject* object = nullptr;
  gfx::CRenderer* renderer = nullptr;
  gfx::CTransform* transform = nullptr;
  plat::Vec4 colour{1.0f, 1.0f, 1.0f, 1.0f};
  plat::Vec4 fadeRate{1.0f, 1.0f, 1.0f, 1.0f};
  float fadeTime = 0.0f;
  float visibleTime = 0.0f;
  float countdown = 0.0f;
  // The names in force for the current language, then both languages' names.
  std::string highlighted, normal;
  std::string engHighlighted, engNormal, spaHighlighted, spaNormal;
  // The page group ("main_menu", "options", ..., "none").
  CStringHash page;
  // The texture last given to the renderer (empty before any).
  std::string shown;
};

// The choices the option pages edit before a page's save writes them into the
// game options.
struct SPendingOptions {
  CStringHash difficulty;
  CStringHash language;
  uint8_t subtitles = 0;
  float resolutionWidth = 0.0f;
  float resolutionHeight = 0.0f;
  CStringHash antialiasing;
  CStringHash graphicsQuality;
  uint8_t vsync = 0;
  uint8_t depthOfField = 0;
  CStringHash shadowsQuality;
  uint8_t ssao = 0;
  uint8_t glow = 0;
  uint8_t bloodDecals = 0;
  float musicVolume = 0.0f;
  float effectsVolume = 0.0f;
  float voicesVolume = 0.0f;
};

class CFrontEndData {
public:
  // The menu's elements, in the order the pre-load state binds them.
  enum EMenuElement : int {
    kMenuBackgroundZombies = 0,
    kMenuBackgroundFogFront,
    kMenuBackgroundFogMiddle,
    kMenuBackgroundJoe,
    kMenuBlackening,
    kMenuBlackFront,
    kMenuTitleNewGame,
    kMenuTitleOptions,
    kMenuTitleGameConfig,
    kMenuTitleGraphicsConfig,
    kMenuTitleSoundConfig,
    kMenuTitleExit,
    kMenuElementCount
  };
  static const char* const kMenuElementNames[kMenuElementCount];

  enum ELoadingElement : int {
    kLoadingKeyboard = 0,
    kLoadingPad,
    kCombosKeyboard,
    kCombosPad,
    kLoadingButton,
    kLoadingSignal,
    kStartButton,
    kLoadingElementCount
  };
  static const char* const kLoadingElementNames[kLoadingElementCount];

  // `services` destroys the front-end groups on reset; null: nothing to destroy.
  explicit CFrontEndData(IGameServices* services = nullptr);
  ~CFrontEndData();
  CFrontEndData(const CFrontEndData&) = delete;
  CFrontEndData& operator=(const CFrontEndData&) = delete;

  // Clears the animated values and destroys the start-up and menu groups.
  void Reset();

  IGameServices* services = nullptr;

  int32_t startUpGroup = -1;
  int32_t menuGroup = -1;
  int32_t introGroup = -1;
  int32_t creditsGroup = -1;
  int32_t loadingScreenGroup = -1;

  // Set from the menu file by the menu, read by the intro.
  int32_t menuWidth = 0;
  int32_t menuHeight = 0;
  int32_t menuDepth = 0;
  float menuAspectRatio = 0.0f;

  SPendingOptions pending;

  SScreenElement menuElements[kMenuElementCount];
  plat::Vec4 fogColourFront{0.0f, 0.0f, 0.0f, 0.0f};
  plat::Vec4 fogColourMiddle{0.0f, 0.0f, 0.0f, 0.0f};
  SScreenElement loadingElements[kLoadingElementCount];

  // Element records of the menu pages, the intro and the credits by name hash.
  std::map<uint32_t, SMenuElement> menuTable;
  std::map<uint32_t, STimedScreenElement> introTable;
  std::map<uint32_t, STimedScreenElement> creditsTable;

  // Shown or hidden when the intro and the credits begin.
  obj::CGameObject* introScreen = nullptr;
  obj::CGameObject* creditsScreen = nullptr;
  // Laid over the frozen scene while the pause menu is up.
  obj::CGameObject* pauseScreen = nullptr;
};

}  // namespace vd
