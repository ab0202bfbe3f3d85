#pragma once
// The eight states of the game's flow. Each keeps the pointers it is entered with;
// what each screen shows and loads is built on top of the hand-overs here.
#include "game/flow/GameState.h"

namespace vd {

class CGameStateBase : public IGameState {
public:
  // The entry of every state: its own Exit first, running, the four pointers, then
  // what the state itself adds (OnEnter), whose result is the entry's.
  bool Enter(CVandrel* app, CGameOptions* options, CGameWorld* world,
             CFrontEndData* frontEnd) final;
  bool IsReady() override { return true; }

protected:
  // Runs with the pointers stored; may change running and next.
  virtual bool OnEnter() { return true; }
  void Store(CVandrel* app, CGameOptions* options, CGameWorld* world, CFrontEndData* frontEnd);
  void Drop();
  // A press of the merged input slot this frame.
  bool Pressed(int slot) const;

  CVandrel* m_app = nullptr;
  CGameOptions* m_options = nullptr;
  CGameWorld* m_world = nullptr;
  CFrontEndData* m_frontEnd = nullptr;
};

// 0: loads what the front end needs, then hands over to the start-up screens.
class CGameStatePreLoad : public CGameStateBase {
public:
  void Exit() override {}
  bool Update(float) override { return true; }

protected:
  bool OnEnter() override;
};

// 1: the start-up screens; their end leads to the menu.
class CGameStateStartUp : public CGameStateBase {
public:
  void Exit() override;
  bool Update(float dt) override;
};

// 2: the main menu; a new game leads to loading (the default next).
class CGameStateMenu : public CGameStateBase {
public:
  void Exit() override;
  bool Update(float dt) override;
};

// 3: loads the level; then the intro.
class CGameStateLoading : public CGameStateBase {
public:
  void Exit() override;
  bool IsReady() override { return m_world != nullptr; }
  bool Update(float dt) override;

protected:
  bool OnEnter() override;

private:
  void BindCamera();
};

// 4: the intro; then play.
class CGameStateIntro : public CGameStateBase {
public:
  void Exit() override;
  bool Update(float dt) override;
};

// 5: play; the pause key leads to the pause menu.
class CGameStateInGame : public CGameStateBase {
public:
  void Exit() override;
  bool IsReady() override { return m_world != nullptr; }
  bool Update(float dt) override;
};

// 6: the pause menu over a paused game; the pause key resumes play.
class CGameStatePause : public CGameStateMenu {
public:
  void Exit() override;
  bool Update(float dt) override;

protected:
  bool OnEnter() override;
};

// 7: the final credits; then the menu.
class CGameStateFinalCredits : public CGameStateBase {
public:
  void Exit() override;
  bool Update(float dt) override;
};

}  // namespace vd
