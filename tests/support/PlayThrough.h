#pragma once
// The whole game played by scripted keys, as a player meets it: the start-up screens,
// the main menu to a new game at the easiest difficulty, the loading screen, the
// intro, the city zone by zone along the street, the last fight, the credits, the menu
// again, and a second new game to its first fight. A small controller of its own
// plays: it walks from way point to way point, runs at the nearest enemy and attacks
// it, evades when hit, throws a grenade at a group and finishes an enemy that offers a
// fatality. It never moves the player or hurts an enemy through the game's objects: it
// only presses keys, and reads what the game reports (events, states, counts).
// Shared by the play-through test and the soak.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include <BulletCollision/CollisionDispatch/btCollisionWorld.h>
#include <lua.hpp>

#include "engine/events/EngineEvents.h"
#include "engine/events/EventManager.h"
#include "engine/events/GameEvents.h"
#include "engine/objects/Camera.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Transform.h"
#include "game/flow/GameStates.h"
#include "game/flow/Vandrel.h"
#include "game/flow/menu/MenuState.h"
#include "game/player/EnemyList.h"
#include "game/player/PlayerController.h"
#include "platform/image/ImageWriter.h"
#include "platform/input/KeyCodes.h"
#include "platform/input/ScriptedInput.h"
#include "tests/support/DrivenGame.h"

namespace vd {
namespace test {

// Whether the enemies of every zone and the boss fight and die. Until they do, the
// play-through fights only the fighters that the first gate waits for, walks through
// the other zones without fighting, and posts the end of the game itself where the
// boss would die. Once the enemies' fight, death and the boss are in the game, this
// is true and the play-through fights its way to the end.
constexpr bool kWholeGamePlayable = true;

// What is alive of a game at one moment.
struct SGameCensus {
  size_t objects = 0;
  int particleSystems = 0;
  int particleSubSystems = 0;
  int decals = 0;
  size_t sounds = 0;
  size_t lights = 0;
  int collisionBodies = 0;
  size_t timers = 0;

  bool operator==(const SGameCensus& o) const {
    return objects == o.objects && particleSystems == o.particleSystems &&
           particleSubSystems == o.particleSubSystems && decals == o.decals &&
           sounds == o.sounds && lights == o.lights && collisionBodies == o.collisionBodies &&
           timers == o.timers;
  }
  bool operator!=(const SGameCensus& o) const { return !(*this == o); }
  std::string Text() const {
    char text[256];
    std::snprintf(text, sizeof text,
                  "objects %zu, particle systems %d/%d, decals %d, sounds %zu, lights %zu, "
                  "collision bodies %d, timers %zu",
                  objects, particleSystems, particleSubSystems, decals, sounds, lights,
                  collisionBodies, timers);
    return text;
  }
};

inline SGameCensus TakeCensus(CVandrel& game) {
  SGameCensus c;
  c.objects = game.objectManager.GetObjectCount();
  c.particleSystems = game.particleManager.SystemCount();
  c.particleSubSystems = game.particleManager.SubSystemCount();
  c.decals = game.decalManager.LiveCount();
  c.sounds = game.audioManager.Channels().size();
  c.lights = game.lightManager.LiveCount();
  if (btCollisionWorld* world = game.collisionManager.GetWorld())
    c.collisionBodies = world->getNumCollisionObjects();
  c.timers = game.eventManager.TimerCount();
  return c;
}

// Slots in use and slots made, over every event pool.
struct SPoolUse {
  uint64_t used = 0;
  uint64_t slots = 0;
};

inline SPoolUse TakePoolUse() {
  SPoolUse use;
#define HM_POOL_USE(Name, N)                                      \
  use.used += evn::CEvent##Name::GetPool().UsedCount();           \
  use.slots += evn::CEvent##Name::GetPool().ChunkCount() * (N);
  HM_ENGINE_EVENTS(HM_POOL_USE)
  HM_GAME_EVENTS(HM_POOL_USE)
#undef HM_POOL_USE
  return use;
}

// The pictures of the stages: the main thread asks, the render thread reads the
// last presented frame at the start of its next draw and writes it as a PNG.
class CScreenshots {
public:
  void Attach(CVandrel& game, std::string folder) {
    m_folder = std::move(folder);
    m_game = &game;
    game.frameObserver = [this](sys::EFramePhase phase) {
      if (phase == sys::EFramePhase::DrawBegin) Capture();
    };
  }
  void Detach() {
    if (m_game) m_game->frameObserver = nullptr;
    m_game = nullptr;
  }
  // Pictures asked for in one frame are taken in the frames that follow, one each.
  void Request(const std::string& name) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pending.push_back(name);
  }
  // The written files and how varied each picture is (the spread of its grey
  // levels: 0 is a plain screen).
  struct SShot {
    std::string path;
    double spread = 0.0;
  };
  std::vector<SShot> Shots() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_shots;
  }
  bool Pending() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return !m_pending.empty();
  }

private:
  void Capture() {
    std::string name;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      if (m_pending.empty()) return;
      name = m_pending.front();
      m_pending.erase(m_pending.begin());
    }
    if (name.empty() || !m_game || !m_game->graphicsManager.device) return;
    const auto& parameters = m_game->graphicsManager.presentParameters;
    const int w = static_cast<int>(parameters.backBufferWidth);
    const int h = static_cast<int>(parameters.backBufferHeight);
    std::vector<uint8_t> bgra;
    if (w <= 0 || h <= 0 ||
        m_game->graphicsManager.device->ReadPixels(nullptr, plat::gpu::Rect{0, 0, w, h}, &bgra) !=
            plat::gpu::kOk ||
        bgra.size() != static_cast<size_t>(w) * static_cast<size_t>(h) * 4u)
      return;
    double sum = 0.0, squares = 0.0;
    const size_t pixels = bgra.size() / 4;
    for (size_t i = 0; i < pixels; ++i) {
      const double grey = (bgra[i * 4] + bgra[i * 4 + 1] + bgra[i * 4 + 2]) / 3.0;
      sum += grey;
      squares += grey * grey;
    }
    const double mean = sum / static_cast<double>(pixels);
    const double spread = std::sqrt(std::max(0.0, squares / static_cast<double>(pixels) - mean * mean));
    std::vector<uint8_t> png;
    std::string error;
    const std::string path = m_folder + "/" + name + ".png";
    if (!plat::image::EncodePng(static_cast<uint32_t>(w), static_cast<uint32_t>(h), bgra, png,
                                error) ||
        !plat::image::WriteFileBytes(path, png))
      return;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_shots.push_back({path, spread});
  }

  CVandrel* m_game = nullptr;
  std::string m_folder;
  mutable std::mutex m_mutex;
  std::vector<std::string> m_pending;
  std::vector<SShot> m_shots;
};

// The stages of one play-through, in order.
enum EPlayStage : int {
  kStageStartUp = 0,
  kStageMenu,
  kStageLoading,
  kStageIntro,
  kStagePlay,
  kStageFirstZoneWon,
  kStageZones,
  kStageBoss,
  kStageCredits,
  kStageMenuAgain,
  kStageSecondGame,
  kStageSecondFight,
  kStageExit,
  kStageCount
};

inline const char* StageName(int stage) {
  static const char* const kNames[kStageCount] = {
      "start-up",   "menu",           "loading",     "intro",       "play",
      "first zone won", "zones",      "boss",        "credits",     "menu again",
      "second game", "second fight",  "exit"};
  return stage >= 0 && stage < kStageCount ? kNames[stage] : "?";
}

// What one play-through saw.
struct SPlayReport {
  // The game frame and the wall-clock second each stage was reached at; -1: never.
  int stageFrame[kStageCount];
  double stageSecond[kStageCount];
  int difficulty = -1;
  // The intro of the first game ran its course; that of the second was skipped.
  float introWatchedSeconds = 0.0f;
  bool secondIntroSkipped = false;
  int secondIntroFrames = 0;
  // Zones in the order play entered them ("OnZoneChange"), and the enemies killed
  // per zone ("OnDeath", each name once per zone).
  std::vector<int> zones;
  std::map<int, std::set<std::string>> killsPerZone;
  std::vector<std::string> gateFighters;
  // The enemies of the first game killed while the first gate still stood (a chase
  // can end a fighter of the first zone just across its line).
  std::set<std::string> killedBeforeFirstGate;
  bool avenueGateOpened = false;
  bool leverPulled = false;
  bool backstreetGateOpened = false;
  int playerDeaths = 0;
  int grenadesThrown = 0;
  int evades = 0;
  // Presses of the fatality key that the player took up (whether or not a victim was
  // there to finish).
  int fatalityTries = 0;
  // Way points given up on after standing stuck: a door's, the lever's, or two on end.
  int stuckWayPoints = 0;
  // Plain way points left for the next one when the straight way to them was blocked
  // (a hit that throws the player over the canal's railing).
  int wayPointsPassedBy = 0;
  bool bossKilled = false;
  bool bossFinished = false;
  // "OnEndGame" came from the game (the level script), not from the play-through.
  bool endGameFromGame = false;
  bool endGamePostedByTest = false;
  float creditsSeconds = 0.0f;
  // Pictures taken as zones were entered.
  int zonePictures = 0;
  // Games played to their credits and back to the menu.
  int rounds = 0;
  SGameCensus menuBefore, menuAfter;
  std::string secondFightKill;
  std::string failure;
  // The game time of play, and the slowest frame of the whole run.
  double playSeconds = 0.0;
  double slowestFrameMs = 0.0;

  SPlayReport() {
    for (int i = 0; i < kStageCount; ++i) {
      stageFrame[i] = -1;
      stageSecond[i] = -1.0;
    }
  }
  bool Reached(int stage) const { return stageFrame[stage] >= 0; }
};

// One way point of the route through the city: where to go, which zone it stands in,
// whether the lever is pulled there, and how near counts as there (closer in doors).
struct SWayPoint {
  float x, z;
  int zone;
  bool useLever;
  float reach;
};

// The street from the west end to the casino's door; the square's way points keep
// clear of the fountain (centre (20, 0), radius 5) and pass through the bar's door
// (x 18.5..21.5 on z = 20).
inline const std::vector<SWayPoint>& Route() {
  constexpr float kNear = 1.3f, kDoor = 0.6f;
  static const std::vector<SWayPoint> kRoute = {
      {-70, 0, 0, false, kNear},     {-58, 0, 0, false, kNear},    {-46, 0, 0, false, kNear},
      {-36, 0, 1, false, kNear},     {-24, 0, 1, false, kNear},    {-12, 0, 1, false, kNear},
      {-3, 0, 1, false, kNear},      {6, 0, 3, false, kNear},      {12, 9, 3, false, kNear},
      {20, 14, 3, false, kNear},     {20, 18.5f, 3, false, kDoor}, {20, 22, 2, false, kDoor},
      {20, 25, 2, false, kNear},     {20, 22, 2, false, kDoor},    {20, 18.5f, 3, false, kDoor},
      {20, 15, 3, false, kNear},     {30, 9, 3, false, kNear},     {36, -3.4f, 3, true, kNear},
      {44, 0, 4, false, kNear},      {56, 0, 4, false, kNear},     {68, 0, 4, false, kNear}};
  return kRoute;
}

// The game of a play-through: the driven game at a reduced size, with its passes at
// the low preset.
class CPlayThrough : public evn::IEventListener {
public:
  static constexpr int kWidth = 320, kHeight = 240;
  static constexpr const char* kBossName = "krauser";

  // `wallSeconds` bounds the whole run; `screenshots` empty: no pictures.
  CPlayThrough(plat::input::ScriptedBackend& keys, std::string screenshots, double wallSeconds)
      : game(keys, 2000000), m_keys(keys), m_folder(std::move(screenshots)),
        m_wallLimit(wallSeconds) {}

  // How much faster than the wall clock the game's clock runs: frames stay clamped
  // to 1/15 s as on a slow machine, and the timed screens (start-up, intro, credits)
  // pass sooner. Set before Run.
  int timeScale = 1;
  // At kWidth x kHeight with the passes at the low preset; false: as the game's
  // configuration says.
  bool reducedScreen = true;

  // Runs the whole game in this thread; false when it did not start.
  bool Run() {
    TimeScale() = std::max(1, timeScale);
    game.timer.clock = &ScaledClock;
    game.fastFrontEnd = false;
    game.skipIntro = false;
    game.autoConfirm = true;
    game.script = [this](int frame, plat::input::ScriptedBackend&) { Step(frame); };
    if (!game.Init(nullptr, 1)) return false;
    // Smaller than the game's window and without its dearest passes: the whole game
    // must stay affordable on a software renderer.
    if (reducedScreen) Reduce();
    if (!m_folder.empty()) m_shots.Attach(game, m_folder);
    m_start = Clock::now();
    m_lastFrame = m_start;
    game.StartGame();
    for (const CStringHash* type : kHeard) game.eventManager.AddListener(this, *type);
    game.MainLoop();
    for (const CStringHash* type : kHeard) game.eventManager.RemoveListener(*type, this);
    game.EndGame();
    m_shots.Detach();
    game.Shutdown();
    return true;
  }

  void Reduce() {
    game.screenWidth = kWidth;
    game.screenHeight = kHeight;
    cam::SetScreenSize(kWidth, kHeight);
    game.gameOptions.graphicsQuality = 0;
    game.gameOptions.shadowsQuality = 0;
    game.gameOptions.ssao = 0;
    game.gameOptions.glow = 0;
    game.gameOptions.depthOfField = 0;
    game.gameOptions.bloodDecals = 1;
  }

  const SPlayReport& Report() const { return m_report; }
  const CScreenshots& Screenshots() const { return m_shots; }
  // Called once a frame (the soak samples there).
  std::function<void(CPlayThrough&)> onFrame;
  // Called on each visit of the main menu once it has settled, with what is alive.
  std::function<void(CPlayThrough&, const SGameCensus&)> onMenu;
  // The soak: every game is played to its end and the next begins, until
  // `stopRequested`, after which the game is left at the main menu.
  bool endless = false;
  std::atomic<bool> stopRequested{false};
  int Frames() const { return game.frames; }
  double LastFrameMs() const { return m_lastFrameMs; }

  CDrivenGame game;

private:
  using Clock = std::chrono::steady_clock;
  static std::atomic<int>& TimeScale() {
    static std::atomic<int> scale{1};
    return scale;
  }
  static int64_t ScaledClock() { return sys::CTimer::SteadyNanoseconds() * TimeScale().load(); }
  static constexpr const CStringHash* kHeard[] = {&SH_OnDeath, &SH_OnZoneChange, &SH_OnUse,
                                                  &SH_OnEndGame};

  // --- what the game reports ---

  void HandleEvent(evn::IEvent* event) override {
    if (!event) return;
    const CStringHash& type = event->GetType();
    if (type == SH_OnDeath) {
      auto* death = dynamic_cast<evn::CEventDeath*>(event);
      if (!death) return;
      const std::string kind = death->type.Get() ? death->type.Get() : "";
      const std::string name = death->name.Get() ? death->name.Get() : "";
      if (kind == "player") {
        if (!m_playerDead) ++m_report.playerDeaths;
        m_playerDead = true;
        return;
      }
      ++m_roundKills;
      if (m_secondGame) {
        if (m_report.secondFightKill.empty()) m_report.secondFightKill = name;
        return;
      }
      if (m_game.playing) {
        m_report.killsPerZone[m_game.zone].insert(name);
        // The script may open the gate on this very death; the report still holds
        // what the last frame read.
        if (!m_report.avenueGateOpened) m_report.killedBeforeFirstGate.insert(name);
      }
      if (name == kBossName) {
        m_report.bossKilled = m_game.bossDead = true;
        // Finished: he dies in the finishing move or just after it.
        m_report.bossFinished =
            m_game.bossFatalityFrame >= 0 && game.frames - m_game.bossFatalityFrame < kFinishFrames;
      }
    } else if (type == SH_OnZoneChange) {
      auto* change = dynamic_cast<evn::CEventZoneChange*>(event);
      if (!change || m_secondGame) return;
      m_game.zone = change->zone;
      if (m_report.zones.empty() || m_report.zones.back() != change->zone)
        m_report.zones.push_back(change->zone);
    } else if (type == SH_OnUse) {
      auto* use = dynamic_cast<evn::CEventUse*>(event);
      if (use && !use->begin && use->objectName.Get() &&
          std::string(use->objectName.Get()) == "lever_backstreet")
        m_report.leverPulled = m_game.leverPulled = true;
    } else if (type == SH_OnEndGame) {
      if (!m_game.postedEndGame) m_report.endGameFromGame = true;
    }
  }

  // --- the stages ---

  bool In(int state) const {
    return game.currentState && game.currentState == game.states[state];
  }

  double Seconds() const {
    return std::chrono::duration<double>(Clock::now() - m_start).count();
  }

  void Reach(int stage) {
    if (m_report.Reached(stage)) return;
    m_report.stageFrame[stage] = game.frames;
    m_report.stageSecond[stage] = Seconds();
    m_stage = stage;
    std::printf("PlayThrough: %-14s frame %6d, %6.1f s\n", StageName(stage), game.frames,
                Seconds());
    std::fflush(stdout);
    if (!m_folder.empty()) {
      // A picture still waiting for its delay is taken now rather than lost.
      if (!m_shotName.empty()) m_shots.Request(m_shotName);
      char name[64];
      std::snprintf(name, sizeof name, "%02d_%s", stage, StageName(stage));
      for (char* c = name; *c; ++c)
        if (*c == ' ') *c = '_';
      m_shotName = name;
      m_shotDelay = kShotDelay[stage];
    }
  }

  void Fail(const std::string& why) {
    if (m_report.failure.empty()) m_report.failure = why;
    std::printf("PlayThrough: stopped: %s\n", why.c_str());
    game.quitRequested = 1;
  }

  // Keys: what the controller wants down this frame; the others go up.
  void Keys(std::initializer_list<uint8_t> keys) { Keys(std::vector<uint8_t>(keys)); }
  void Keys(const std::vector<uint8_t>& keys) {
    for (uint8_t held : m_held)
      if (std::find(keys.begin(), keys.end(), held) == keys.end()) m_keys.SetKey(held, false);
    for (uint8_t key : keys) m_keys.SetKey(key, true);
    m_held = keys;
  }
  // A press of one frame every `period` frames.
  void Tap(uint8_t key, int period = 8) {
    if (game.frames % period == 0) Keys({key});
    else Keys({});
  }

  void Step(int frame) {
    (void)frame;
    const Clock::time_point now = Clock::now();
    m_lastFrameMs = std::chrono::duration<double, std::milli>(now - m_lastFrame).count();
    m_lastFrame = now;
    if (game.frames > 2) m_report.slowestFrameMs = std::max(m_report.slowestFrameMs, m_lastFrameMs);
    if (Seconds() > m_wallLimit) {
      Fail(std::string("out of time in stage ") + StageName(m_stage));
      return;
    }
    if (!m_shotName.empty() && --m_shotDelay <= 0) {
      m_shots.Request(m_shotName);
      m_shotName.clear();
    }
    if (onFrame) onFrame(*this);

    if (In(kStateStartUp)) {
      Reach(kStageStartUp);
      // Return skips the title; the logo and the pad's screen run their time.
      Tap(plat::input::kKeyReturn, 12);
      return;
    }
    if (In(kStateMenu)) {
      StepMenu();
      return;
    }
    if (In(kStateLoading)) {
      Reach(m_secondGame ? kStageSecondGame : kStageLoading);
      if (!m_secondGame && m_report.difficulty < 0) m_report.difficulty = game.gameOptions.difficulty;
      // The driven game presses the start button when it shows.
      return;
    }
    if (In(kStateIntro)) {
      if (m_secondGame) {
        ++m_report.secondIntroFrames;
        m_report.secondIntroSkipped |= game.skipFrame >= 0;
      } else {
        Reach(kStageIntro);
        m_report.introWatchedSeconds += game.timer.GetGameTime(true);
        Keys({});
      }
      return;
    }
    if (In(kStateFinalCredits)) {
      Reach(kStageCredits);
      m_creditsSeen = true;
      m_game.playing = false;
      m_report.creditsSeconds += game.timer.GetGameTime(true);
      Keys({});
      return;
    }
    if (In(kStatePause)) {
      Fail("the pause menu opened");
      return;
    }
    if (In(kStateInGame)) StepPlay();
  }

  void StepMenu() {
    if (m_creditsSeen) {
      // Back from the credits: what the level left behind is counted once the
      // deferred destroys have run. The next game skips its intro.
      m_creditsSeen = false;
      ++m_report.rounds;
      m_secondGame = !endless;
      m_menuFrame = game.frames;
      game.skipIntro = true;
      Reach(kStageMenuAgain);
    }
    if (!m_secondGame) Reach(kStageMenu);
    const bool again = m_report.rounds > 0;
    const int settled = game.frames - (again ? m_menuFrame : m_report.stageFrame[kStageMenu]);
    if (settled < kMenuSettleFrames) {
      Keys({});
      return;
    }
    if (settled == kMenuSettleFrames) {
      const SGameCensus census = TakeCensus(game);
      (again ? m_report.menuAfter : m_report.menuBefore) = census;
      if (onMenu) onMenu(*this, census);
      return;
    }
    if (endless && again && stopRequested) {
      Reach(kStageExit);
      Keys({plat::input::kKeyLeftAlt, plat::input::kKeyF4});
      return;
    }
    auto* menu = static_cast<CGameStateMenu*>(game.currentState);
    if (menu->page == CGameStateMenu::kPageMainMenu) {
      static const CStringHash kNewGame("menu_button_newgame");
      if (menu->selected == kNewGame) Tap(plat::input::kKeyReturn);
      else Tap(plat::input::kKeyUp);
    } else if (menu->page == CGameStateMenu::kPageNewGame) {
      // The easiest difficulty the game offers.
      static const CStringHash kEasy("difficulty_easy");
      if (game.frontEndData.pending.difficulty == kEasy)
        Tap(plat::input::kKeyReturn);
      else
        Tap(plat::input::kKeyUp);
    } else {
      Tap(plat::input::kKeyEscape);
    }
  }

  // --- play ---

  struct SEnemy {
    std::string name;
    plat::Vec3 position;
    float distance;
    bool fatality;
  };

  static float Flat(const plat::Vec3& a, const plat::Vec3& b) {
    return std::hypot(a.x - b.x, a.z - b.z);
  }

  // Living, active enemies the controller may fight now, nearest first.
  std::vector<SEnemy> Enemies(const plat::Vec3& from) {
    std::vector<SEnemy> out;
    std::set<std::string> seen;
    auto consider = [&](obj::CGameObject* object) {
      if (!object || !object->IsEnabled()) return;
      IEnemyFighter* fighter = FindEnemyFighter(object);
      auto* transform = object->GetComponent<gfx::CTransform>();
      if (!transform) return;
      if (!fighter) {
        // A boss without the fighters' interface is fought until he is reported dead.
        static const CStringHash kBoss(kBossName);
        if (object->GetName() == kBoss && !m_game.bossDead)
          out.push_back({kBossName, transform->position, Flat(transform->position, from), false});
        return;
      }
      if (!fighter->IsActive()) return;
      if (fighter->GetState() == IEnemyFighter::kStateDying ||
          fighter->GetState() == IEnemyFighter::kStateDead)
        return;
      const std::string name = object->GetName().c_str();
      if (!seen.insert(name).second) return;
      // Until every enemy can fall, only those the first gate waits for are fought.
      if (!kWholeGamePlayable &&
          std::find(m_report.gateFighters.begin(), m_report.gateFighters.end(), name) ==
              m_report.gateFighters.end())
        return;
      out.push_back({name, transform->position, Flat(transform->position, from),
                     fighter->IsReadyForFatality()});
    };
    if (IEnemyList* list = GetEnemyList())
      for (size_t i = 0; i < list->GetEnemyCount(); ++i)
        consider(game.objectManager.GetGameObjectById(static_cast<int>(list->GetEnemyId(i))));
    consider(game.Find(kBossName));
    std::sort(out.begin(), out.end(),
              [](const SEnemy& a, const SEnemy& b) { return a.distance < b.distance; });
    return out;
  }

  // The keys that run towards `direction` (x, z) as the camera sees it.
  std::vector<uint8_t> MoveKeys(float dx, float dz) {
    std::vector<uint8_t> keys;
    const float length = std::hypot(dx, dz);
    if (length < 1e-3f) return keys;
    dx /= length;
    dz /= length;
    obj::CGameObject* camera = game.Find("main_camera");
    auto* view = camera ? camera->GetComponent<gfx::CTransform>() : nullptr;
    const float yaw = view ? view->yaw : 0.0f;
    const float forward = dx * std::sin(yaw) + dz * std::cos(yaw);
    const float left = dx * std::cos(yaw) - dz * std::sin(yaw);
    if (forward > 0.38f) keys.push_back(plat::input::kKeyW);
    if (forward < -0.38f) keys.push_back(plat::input::kKeyS);
    if (left > 0.38f) keys.push_back(plat::input::kKeyA);
    if (left < -0.38f) keys.push_back(plat::input::kKeyD);
    return keys;
  }

  void ReadGate() {
    m_report.gateFighters.clear();
    lua_State* state = game.scriptManager.GetState();
    if (!state) return;
    lua_getglobal(state, "GATE_AVENUE");
    if (lua_istable(state, -1)) {
      lua_getfield(state, -1, "fighters");
      if (lua_istable(state, -1)) {
        const int n = static_cast<int>(lua_rawlen(state, -1));
        for (int i = 1; i <= n; ++i) {
          lua_rawgeti(state, -1, i);
          if (lua_isstring(state, -1)) m_report.gateFighters.push_back(lua_tostring(state, -1));
          lua_pop(state, 1);
        }
      }
      lua_pop(state, 1);
    }
    lua_pop(state, 1);
  }

  bool LuaFlag(const char* name) {
    lua_State* state = game.scriptManager.GetState();
    if (!state) return false;
    lua_getglobal(state, name);
    const bool on = lua_toboolean(state, -1) != 0;
    lua_pop(state, 1);
    return on;
  }

  void StepPlay() {
    CPlayerController* player = game.gameWorld.player;
    gfx::CTransform* body = game.TransformOf("player");
    if (!player || !body) {
      Fail("play without a player");
      return;
    }
    const float dt = game.timer.GetGameTime(true);
    if (!m_secondGame) m_report.playSeconds += dt;
    if (!m_game.playing) {
      m_game = SProgress();
      m_game.playing = true;
      m_lastLife = player->life;
      ReadGate();
    }
    if (m_secondGame) {
      Reach(kStageSecondGame);
      if (!m_report.secondFightKill.empty()) {
        Reach(kStageSecondFight);
        // Out as a player leaves (Left Alt + F4), once the picture is taken.
        if (!m_shotName.empty() || m_shots.Pending()) {
          Keys({});
          return;
        }
        Reach(kStageExit);
        Keys({plat::input::kKeyLeftAlt, plat::input::kKeyF4});
        return;
      }
      // On along the street until the first fighters come within reach: they wait
      // where they stand.
      Fight(player, body, dt);
      return;
    }
    Reach(kStagePlay);
    m_game.avenueOpen = LuaFlag("gate_avenue_open");
    m_game.backstreetOpen = LuaFlag("gate_backstreet_open");
    m_report.avenueGateOpened |= m_game.avenueOpen;
    m_report.backstreetGateOpened |= m_game.backstreetOpen;
    if (m_game.avenueOpen) Reach(kStageFirstZoneWon);
    if (m_report.Reached(kStageFirstZoneWon) && m_game.zone != 0) Reach(kStageZones);
    // A picture of each zone as the first game enters it.
    static const char* const kZoneNames[] = {"diagonal", "avenue", "bar", "square", "casino"};
    if (m_report.rounds == 0 && m_game.zone >= 1 && m_game.zone <= 4 && m_shotName.empty() &&
        m_zonesPictured.insert(m_game.zone).second && !m_folder.empty()) {
      m_shotName = std::string("06_zone_") + kZoneNames[m_game.zone];
      m_shotDelay = 40;
      ++m_report.zonePictures;
    }
    if (m_report.bossKilled) Reach(kStageBoss);
    Fight(player, body, dt);
  }

  // One frame of the controller.
  void Fight(CPlayerController* player, gfx::CTransform* body, float dt) {
    const int state = player->state;
    const bool hit = player->life < m_lastLife || state == CPlayerController::kHit ||
                     state == CPlayerController::kExplosionHit;
    m_lastLife = player->life;
    m_evadeWait = std::max(0.0f, m_evadeWait - dt);
    m_grenadeWait = std::max(0.0f, m_grenadeWait - dt);
    m_fatalityWait = std::max(0.0f, m_fatalityWait - dt);
    if (state == CPlayerController::kDying || state == CPlayerController::kCorpse) {
      Keys({});
      return;
    }
    m_playerDead = false;
    if (state == CPlayerController::kFatality || state == CPlayerController::kUse ||
        game.inGameState != 0) {
      if (state == CPlayerController::kFatality && !m_inFatality) ++m_report.fatalityTries;
      if (state == CPlayerController::kFatality && m_target == kBossName)
        m_game.bossFatalityFrame = game.frames;
      m_inFatality = state == CPlayerController::kFatality;
      Keys({});
      return;
    }
    m_inFatality = false;
    const plat::Vec3 at = body->position;
    m_clock += dt;
    std::vector<SEnemy> enemies = Enemies(at);
    enemies.erase(std::remove_if(enemies.begin(), enemies.end(),
                                 [this](const SEnemy& e) {
                                   auto passed = m_passedByUntil.find(e.name);
                                   return passed != m_passedByUntil.end() &&
                                          m_clock < passed->second;
                                 }),
                  enemies.end());
    Watch(player, at, enemies, dt);
    const SEnemy* target = nullptr;
    int near = 0, close = 0;
    for (const SEnemy& e : enemies) {
      if (e.distance < kEngage && !target) target = &e;
      if (e.distance < 7.0f) ++near;
      if (e.distance < 4.0f) ++close;
    }
    if (target) {
      // Only a blow's reach counts as reaching him: one behind the bar's counter stays
      // just out of it however long the player runs at him.
      if (target->name != m_chased || target->distance <= kStrike) {
        m_chased = target->name;
        m_chaseClock = 0.0f;
      } else if ((m_chaseClock += dt) > kChaseSeconds) {
        std::printf("PlayThrough: %s out of reach for %.0f s; passed by\n", target->name.c_str(),
                    kChaseSeconds);
        m_passedByUntil[target->name] = m_clock + kPassBySeconds;
        m_chased.clear();
        m_chaseClock = 0.0f;
        Keys({});
        return;
      }
      m_target = target->name;
      m_stuckClock = 0.0f;
      const float dx = target->position.x - at.x, dz = target->position.z - at.z;
      if (target->fatality && target->distance < 4.0f && close == 1) {
        // A chain of blows swallows the key: no more blows, and the run at him ends
        // the chain as its window closes and turns the player to face him. Then one
        // press, and the move's time to take him; pressed again only when the first
        // was not taken up. Not with another enemy at hand, whose blow would cut the
        // move short.
        std::vector<uint8_t> keys = MoveKeys(dx, dz);
        const bool free = state == CPlayerController::kIdle ||
                          state == CPlayerController::kIdleCombat ||
                          state == CPlayerController::kRun;
        if (free && target->distance < kFinishReach && m_fatalityWait <= 0.0f) {
          keys.push_back(plat::input::kKeyL);
          m_fatalityWait = 0.5f;
        }
        Keys(keys);
        return;
      }
      if (hit && m_evadeWait <= 0.0f) {
        // Away from the one who hit him.
        std::vector<uint8_t> keys = MoveKeys(-dx, -dz);
        keys.push_back(plat::input::kKeyLeftCtrl);
        Keys(keys);
        m_evadeWait = 1.5f;
        ++m_report.evades;
        return;
      }
      if (near >= 3 && player->grenades > 0 && m_grenadeWait <= 0.0f) {
        Keys({plat::input::kKeyO});
        m_grenadeWait = 4.0f;
        ++m_report.grenadesThrown;
        return;
      }
      // Within a blow's reach of the bigger bodies too (a mutant stands off about 2 m).
      if (target->distance > kStrike) {
        Keys(MoveKeys(dx, dz));
        return;
      }
      // The aim turns him to the nearest enemy; the chain goes on while J comes again.
      Tap(plat::input::kKeyJ, 3);
      return;
    }
    m_target.clear();
    // No one to fight near: on along the street, once the first gate is open (the
    // first zone's fighters must fall before the way on opens).
    const std::vector<SWayPoint>& route = Route();
    if (m_game.wayPoint >= route.size()) {
      AtTheEnd();
      return;
    }
    const SWayPoint& goal = route[m_game.wayPoint];
    if (goal.zone > 0 && !m_game.avenueOpen) {
      // The way on opens when the first gate's fighters are dead: after the nearest
      // of them, wherever he is; none left alive yet the gate shut, wait.
      for (const SEnemy& e : enemies) {
        if (std::find(m_report.gateFighters.begin(), m_report.gateFighters.end(), e.name) ==
            m_report.gateFighters.end())
          continue;
        Keys(MoveKeys(e.position.x - at.x, e.position.z - at.z));
        return;
      }
      Keys({});
      return;
    }
    const float dx = goal.x - at.x, dz = goal.z - at.z;
    if (goal.useLever && !m_game.leverPulled && std::hypot(dx, dz) < kLeverReach) {
      PullLever(player, at, dt);
      return;
    }
    if (std::hypot(dx, dz) < goal.reach) {
      ++m_game.wayPoint;
      m_game.passedByLast = false;
      m_stuckClock = 0.0f;
      m_bestDistance = 1e9f;
      return;
    }
    // Stuck: no nearer for a while. A plain way point is left for the next one, which
    // may be open from where he stands; a door, the lever or a second one on end is
    // given up on and counted.
    const float distance = std::hypot(dx, dz);
    const float stuckBefore = m_stuckClock;
    if (distance < m_bestDistance - 0.5f) {
      m_bestDistance = distance;
      m_stuckClock = 0.0f;
    } else {
      m_stuckClock += dt;
    }
    if (m_stuckClock > kStuckSeconds) {
      const bool plain = goal.reach >= 1.0f && !goal.useLever && !m_game.passedByLast;
      std::printf("PlayThrough: stuck %.1f m short of way point %zu (%.0f, %.0f) at (%.1f, %.1f), "
                  "state %d; %s\n",
                  distance, m_game.wayPoint, goal.x, goal.z, at.x, at.z, state,
                  plain ? "on to the next" : "given up");
      ++(plain ? m_report.wayPointsPassedBy : m_report.stuckWayPoints);
      m_game.passedByLast = plain;
      ++m_game.wayPoint;
      m_stuckClock = 0.0f;
      m_bestDistance = 1e9f;
      return;
    }
    float gx = dx / distance, gz = dz / distance;
    // A chase that ends inside the bar leaves the way on behind its front wall: out
    // by its door first.
    if (goal.z < kBarFront && at.z > kBarFront && at.x > 12.0f && at.x < 28.0f) {
      const float doorZ = std::fabs(at.x - 20.0f) > 0.8f ? kBarFront + 2.0f : kBarFront - 2.0f;
      const float ex = 20.0f - at.x, ez = doorZ - at.z, length = std::hypot(ex, ez);
      if (length > 1e-3f) {
        Keys(MoveKeys(ex / length, ez / length));
        return;
      }
    }
    if (stuckBefore > kSideStepAfter) {
      // Round whatever stands in the way: a step aside, one side then the other.
      const float phase = std::fmod(stuckBefore - kSideStepAfter, 3.0f);
      const int cycle = static_cast<int>((stuckBefore - kSideStepAfter) / 3.0f);
      if (phase < 1.2f) {
        const float side = cycle % 2 == 0 ? 1.0f : -1.0f;
        Keys(MoveKeys(-gz * side, gx * side));
        return;
      }
    }
    // In a doorway the way is walked straight.
    if (goal.reach >= 1.0f) {
      RoundFountain(at, distance, gx, gz);
      Steer(at, gx, gz);
    }
    Keys(MoveKeys(gx, gz));
  }

  // A game that goes nowhere (no kill, no way point, no zone for a long while) is
  // described and stopped rather than played on for ever.
  void Watch(CPlayerController* player, const plat::Vec3& at, const std::vector<SEnemy>& enemies,
             float dt) {
    const size_t kills = KillCount();
    const int mark = static_cast<int>(m_game.wayPoint) * 1000 + m_game.zone * 100 +
                     static_cast<int>(kills % 100);
    // The boss takes many blows between kills: his life going down is progress too.
    obj::CGameObject* boss = game.Find(kBossName);
    const float bossLife = boss ? obj::GetScriptFloat(boss, "life") : 0.0f;
    if (mark != m_watchMark || bossLife != m_watchBossLife) {
      m_watchMark = mark;
      m_watchBossLife = bossLife;
      m_idleClock = 0.0f;
      return;
    }
    m_idleClock += dt;
    if (m_idleClock < kIdleSeconds) return;
    std::printf("PlayThrough: no progress for %.0f s: player at (%.1f, %.1f) state %d life %d, "
                "way point %zu, zone %d, first gate %s, %zu enemies to fight",
                m_idleClock, at.x, at.z, player->state, player->life, m_game.wayPoint, m_game.zone,
                m_game.avenueOpen ? "open" : "shut", enemies.size());
    if (!enemies.empty())
      std::printf(" (nearest %s at %.1f m)", enemies.front().name.c_str(), enemies.front().distance);
    std::printf("\n");
    Fail("no progress in play");
  }

  size_t KillCount() const {
    size_t n = 0;
    for (const auto& zone : m_report.killsPerZone) n += zone.second.size();
    return n + (m_report.secondFightKill.empty() ? 0 : 1) + static_cast<size_t>(m_roundKills);
  }

  // Bends the way (gx, gz) round the bodies just ahead: the enemies that are not
  // fought stand where they stand.
  void Steer(const plat::Vec3& at, float& gx, float& gz) {
    float nx = -gz, nz = gx, push = 0.0f;
    auto avoid = [&](obj::CGameObject* object) {
      auto* transform = object ? object->GetComponent<gfx::CTransform>() : nullptr;
      if (!transform || !object->IsEnabled()) return;
      const float vx = transform->position.x - at.x, vz = transform->position.z - at.z;
      const float along = vx * gx + vz * gz, lateral = vx * nx + vz * nz;
      if (along <= 0.0f || along > 3.5f || std::fabs(lateral) > 1.6f) return;
      push += lateral >= 0.0f ? -1.0f : 1.0f;
    };
    if (IEnemyList* list = GetEnemyList())
      for (size_t i = 0; i < list->GetEnemyCount(); ++i)
        avoid(game.objectManager.GetGameObjectById(static_cast<int>(list->GetEnemyId(i))));
    if (push == 0.0f) return;
    const float side = push > 0.0f ? 1.0f : -1.0f;
    gx += nx * side * 1.2f;
    gz += nz * side * 1.2f;
  }

  // At the lever: the key works only once its prompt shows, which takes the player
  // in its reach and facing it; until then he walks at the lever, which turns him to it.
  void PullLever(CPlayerController* player, const plat::Vec3& at, float dt) {
    m_stuckClock += dt;
    if (m_stuckClock > kStuckSeconds) {
      std::printf("PlayThrough: lever not taken at (%.1f, %.1f): in range %d, prompt %d, state %d\n",
                  at.x, at.z, player->useInRange, player->usePromptShown, player->state);
      Fail("the lever was never pulled");
      return;
    }
    if (player->useInRange && player->usePromptShown) {
      Tap(plat::input::kKeyK, 10);
      return;
    }
    gfx::CTransform* lever = game.TransformOf("lever_backstreet");
    if (!lever) {
      Fail("the level has no lever");
      return;
    }
    Keys(MoveKeys(lever->position.x - at.x, lever->position.z - at.z));
  }

  // The square's fountain stands in the way of a straight walk from one side of it to
  // the other (a chase can end anywhere round it): the way then follows its rim, on
  // the side nearer the goal, until the straight way is clear.
  static void RoundFountain(const plat::Vec3& at, float distance, float& gx, float& gz) {
    constexpr float kCx = 20.0f, kCz = 0.0f, kClear = 6.5f;
    const float rx = at.x - kCx, rz = at.z - kCz;
    const float r = std::hypot(rx, rz);
    // Walking away from it, or standing on its axis, nothing is in the way.
    if (r < 1e-3f || rx * gx + rz * gz >= 0.0f) return;
    const float t = std::clamp(-(rx * gx + rz * gz), 0.0f, distance);
    if (std::hypot(rx + gx * t, rz + gz * t) >= kClear) return;
    const float ox = rx / r, oz = rz / r;
    float tx = -oz, tz = ox;
    if (tx * gx + tz * gz < 0.0f) {
      tx = -tx;
      tz = -tz;
    }
    // Off the rim when he has come too close to it.
    const float out = r < kClear ? 2.0f * (kClear - r) / kClear : 0.0f;
    gx = tx + ox * out;
    gz = tz + oz * out;
    const float length = std::hypot(gx, gz);
    gx /= length;
    gz /= length;
  }

  // At the casino's door: the boss is fought above while he lives; without him (the
  // enemies' part not in yet) the end of the game is posted as his death would.
  void AtTheEnd() {
    Keys({});
    if (kWholeGamePlayable) {
      m_game.endClock += game.timer.GetGameTime(true);
      if (m_game.endClock > 120.0f) Fail("the game did not end at the casino");
      return;
    }
    if (!m_game.postedEndGame) {
      m_game.postedEndGame = true;
      m_report.endGamePostedByTest = true;
      game.eventManager.PostEvent(evn::CEventEndGame::New());
    }
  }

  static constexpr float kEngage = 12.0f;
  static constexpr float kStrike = 2.4f;
  // Nearer than the finishing move's reach (3 m), so that the aim takes him.
  static constexpr float kFinishReach = 2.5f;
  // The bar's front wall, its door at x 18.5..21.5.
  static constexpr float kBarFront = 20.0f;
  // Within the lever's trigger, which reaches 2 m round the way point before it.
  static constexpr float kLeverReach = 1.8f;
  static constexpr float kChaseSeconds = 12.0f;
  static constexpr float kPassBySeconds = 40.0f;
  static constexpr float kStuckSeconds = 12.0f;
  static constexpr float kSideStepAfter = 1.5f;
  static constexpr float kIdleSeconds = 120.0f;
  static constexpr int kMenuSettleFrames = 20;
  static constexpr int kFinishFrames = 300;
  // Frames between reaching a stage and its picture: screens fade in.
  static constexpr int kShotDelay[kStageCount] = {40, 30, 60, 60, 20, 10, 10, 5, 60, 30, 20, 10, 1};

  plat::input::ScriptedBackend& m_keys;
  std::string m_folder;
  double m_wallLimit;
  CScreenshots m_shots;
  SPlayReport m_report;
  Clock::time_point m_start, m_lastFrame;
  double m_lastFrameMs = 0.0;
  int m_stage = kStageStartUp;
  std::string m_shotName;
  int m_shotDelay = 0;
  std::vector<uint8_t> m_held;
  std::set<int> m_zonesPictured;
  bool m_secondGame = false;
  bool m_creditsSeen = false;
  int m_menuFrame = 0;
  bool m_playerDead = false;
  bool m_inFatality = false;
  // What one game has come to; a new game starts from none of it.
  struct SProgress {
    bool playing = false;
    bool avenueOpen = false;
    bool backstreetOpen = false;
    bool leverPulled = false;
    bool postedEndGame = false;
    bool bossDead = false;
    // The last frame of a finishing move on the boss.
    int bossFatalityFrame = -1;
    int zone = 0;
    size_t wayPoint = 0;
    // The way point before this one was left unreached.
    bool passedByLast = false;
    float endClock = 0.0f;
  } m_game;
  int m_lastLife = 0;
  float m_evadeWait = 0.0f, m_grenadeWait = 0.0f, m_fatalityWait = 0.0f;
  // An enemy chased for long without coming within reach (a mutant still in the canal,
  // one on a window sill) is passed by for a while, as a player would.
  std::map<std::string, float> m_passedByUntil;
  float m_watchBossLife = 0.0f;
  std::string m_chased;
  float m_chaseClock = 0.0f, m_clock = 0.0f;
  float m_stuckClock = 0.0f, m_bestDistance = 1e9f;
  std::string m_target;
  int m_watchMark = -1;
  float m_idleClock = 0.0f;
  // Enemy deaths of any game, for the watch (the report keeps each name once).
  int m_roundKills = 0;
};

}  // namespace test
}  // namespace vd
