#pragma once
// The eight states of the game's flow. Each keeps the pointers it is entered with;
// what each screen shows and loads is built on top of the hand-overs here.
#include <cstdint>

#include "engine/events/Event.h"
#include "game/flow/GameState.h"
#include "game/flow/GameStateBase.h"
#include "game/flow/menu/MenuState.h"
#include "game/flow/menu/StartUpState.h"
#include "platform/thread/Thread.h"

namespace vd {

// 0: loads what the front end needs, then hands over to the start-up screens.
class CGameStatePreLoad : public CGameStateBase {
public:
  void Exit() override {}
  bool Update(float) override { return true; }

protected:
  bool OnEnter() override;
};

// 3: shows the loading screen while a loader thread reads the level, then waits
// for a confirm key and starts play; then the intro.
class CGameStateLoading : public CGameStateBase {
public:
  // What the loader waits before it starts, so that the screen is up first.
  static constexpr uint32_t kLoaderDelayMs = 1000;
  // The loader's nice value: below the frame's threads, never starved by them.
  static constexpr int kLoaderNice = 5;
  // Roll speed of "loading_signal", radians a second.
  static constexpr float kSignalSpin = 4.0f;

  ~CGameStateLoading() override;
  // Also when the loader still runs: it is raised to normal priority and waited for.
  void Exit() override;
  bool IsReady() override { return m_world != nullptr; }
  bool Update(float dt) override;

  // The loader has ended and the start button is up.
  bool IsDone() const { return m_done; }
  bool IsLoaderRunning() const { return m_loader.Running(); }
  plat::Thread& Loader() { return m_loader; }
  // Tests shorten the wait before loading.
  uint32_t loaderDelayMs = kLoaderDelayMs;

protected:
  bool OnEnter() override;

  static constexpr const char* kLoadingScreenFile = "Data/xml/loading_screen.xml";

private:
  void BindCamera();
  void ShowScreenWhileCreating(bool on);
  void LoadLoadingScreen();
  void ShowLoadingElement(int element, bool show);
  void Finish();
  // The loader thread's whole work; 0 when it ran to its end.
  static uint32_t LoadLevel(CVandrel* app, CGameWorld* world, CFrontEndData* frontEnd,
                            uint32_t delayMs);

  plat::Thread m_loader;
  bool m_done = false;
};

// The loading screen's layout file: its base size and each named element's alignment
// go to the element's renderer, and its image (under `language`, "eng/" or "spa/")
// is queued in `render`. Elements without a renderer are logged and skipped.
void ReadLoadingScreen(const char* path, CFrontEndData& frontEnd, gfx::CRenderManager& render,
                       const char* language);

// The render switches that the graphics options stand for (also the pause menu's
// graphics page). A shadows quality outside 0..5 leaves the shadow switches as they
// were.
void ApplyGraphicsPreset(gfx::CRenderManager& render, const CGameOptions& options);

// 5: play. Steps the game's managers and the collision world each frame; the pause
// key leads to the pause menu, "OnEndGame" to the final credits.
class CGameStateInGame : public CGameStateBase, public evn::IEventListener {
public:
  ~CGameStateInGame() override;
  void Exit() override;
  bool IsReady() override { return m_world != nullptr; }
  bool Update(float dt) override;
  void HandleEvent(evn::IEvent* event) override;

  bool exited = false;

protected:
  bool OnEnter() override;

private:
  bool m_listening = false;
};

}  // namespace vd
