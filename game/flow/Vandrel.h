#pragma once
// The game's application: fills in the hooks of the engine's application frame,
// owns the game options, the game world, the front-end data and the eight game
// states, and steps the state machine once a frame after polling the input.
#include <cstdint>
#include <map>
#include <memory>

#include "engine/app/Application.h"
#include "engine/events/Event.h"
#include "engine/input/InputManager.h"
#include "game/flow/GameOptions.h"
#include "game/flow/GameServices.h"
#include "game/flow/GameState.h"
#include "game/flow/GameWorld.h"

namespace vd {

// The application's own services: forwards to the engine's managers.
class CEngineServices : public IGameServices {
public:
  explicit CEngineServices(sys::CApplicationBase& app) : m_app(app) {}
  void PauseObjectGroup(int group) override;
  void ResumeObjectGroup(int group) override;
  void RestartObjectGroup(int group) override;
  void EnableObjectGroup(int group) override;
  void DisableObjectGroup(int group) override;
  void DestroyObjectGroup(int group) override;
  void SetCurrentZone(int zone) override;
  void ResetRenderForFrontEnd() override;

  int currentZone = 0;

private:
  sys::CApplicationBase& m_app;
};

class CVandrel : public sys::CApplicationBase, private evn::IEventListener {
public:
  CVandrel();
  ~CVandrel() override;

  // The running game; null while another kind of application is the instance.
  static CVandrel* Get() { return dynamic_cast<CVandrel*>(GetInstance()); }

  // The engine's hooks.
  void PreInit() override;
  void RegisterComponentFactories() override;
  void UnregisterComponentFactories() override;
  void RegisterEventFactories() override;
  void UnregisterEventFactories() override;
  void StartGame() override;
  void RegisterScriptBindings() override;
  void EndGame() override;
  void LoadDifficultyParams(std::map<uint32_t, float>& params, rapidxml::xml_node<>* node) override;
  // Input, then the state machine. False when a state just entered failed.
  bool Update(float dt) override;

  // "OnZoneChange": the zone goes to the render side. Everything else is ignored.
  void HandleEvent(evn::IEvent* event) override;

  // The pause menu's operations.
  void PauseGame();
  void ResumeGame();
  // Back to the state the loading screen left the pre-loaded objects in, with no
  // level alive; the caller picks the next state.
  void ExitToMainMenu();

  // The second half of Update: steps the current state, switching when it stopped.
  bool UpdateStates(float dt);

  static CGatingParticlesManager* GetGatingParticlesManager();
  // The game world's HUD; null while another kind of application is the instance.
  static CHUD* GetHUD();

  CInputManager inputManager{&keyboardInput, &pad};
  CEngineServices engineServices{*this};
  // Where the flow's group and render requests go; tests put a recorder here.
  IGameServices* services = &engineServices;
  CGameOptions gameOptions;
  CGameWorld gameWorld;
  CFrontEndData frontEndData;
  IGameState* states[kGameStateCount] = {};
  IGameState* currentState = nullptr;

private:
  void DeleteStates();

  bool m_listening = false;
  int m_badNextLogged = -1;
};

}  // namespace vd
