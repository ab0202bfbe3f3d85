#pragma once
// One state of the game's flow. The machine steps the current state once a frame;
// a state gives up control by clearing `running`, and the machine then enters the
// state at index `next`.
#include <cstdint>

namespace vd {

class CVandrel;
class CGameOptions;
class CGameWorld;
class CFrontEndData;

// The states' indexes, in the order the application creates them.
enum EGameState : int {
  kStatePreLoad = 0,
  kStateStartUp,
  kStateMenu,
  kStateLoading,
  kStateIntro,
  kStateInGame,
  kStatePause,
  kStateFinalCredits,
  kGameStateCount
};

class IGameState {
public:
  virtual ~IGameState() = default;
  // Every Enter begins with the state's own Exit, so the default `next` of Exit
  // holds from the moment the state is entered.
  virtual bool Enter(CVandrel* app, CGameOptions* options, CGameWorld* world,
                     CFrontEndData* frontEnd) = 0;
  // Leaves the state, drops the pointers and writes the default `next`.
  virtual void Exit() = 0;
  virtual bool IsReady() = 0;
  virtual bool Update(float dt) = 0;

  uint8_t running = 0;
  int32_t next = 0;
};

}  // namespace vd
