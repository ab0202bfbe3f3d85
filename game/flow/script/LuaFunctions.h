#pragma once
// The level scripts' remote control of the game: the main camera, the player, the
// particle systems, slow motion, the use-button hint and the in-game state. Scripts
// reach the one instance through the global "GetLuaFunctions" and the class
// "LuaFunctions". Every operation acts at once on what it names; when that is not
// there (no level bound yet, no "player", an unknown object or particle system) it
// says so in one log line and does nothing.
#include <cstdint>
#include <map>
#include <string>

struct lua_State;

namespace vd {

class CCameraGOWController;
class CGameWorld;
class CInputManager;
class CPlayerController;
namespace gfx {
class CRenderManager;
class CTransform;
}  // namespace gfx
namespace ptc {
class CParticleSysManager;
class IParticleSystem;
}  // namespace ptc
namespace sys {
class CTimer;
}
namespace obj {
class CGameObject;
}

// What the operations reach besides the main camera; each may be null (tests bind
// only what they drive).
struct SLuaFunctionTargets {
  CGameWorld* world = nullptr;
  gfx::CRenderManager* render = nullptr;
  sys::CTimer* timer = nullptr;
  CInputManager* input = nullptr;
  ptc::CParticleSysManager* particles = nullptr;
  int32_t* inGameState = nullptr;
};

class CLuaFunctions {
public:
  // The limits the player's stock is kept within.
  static constexpr int kMaxLife = 100;
  static constexpr float kMaxGas = 100.0f;
  static constexpr int kMaxGrenades = 2;
  static constexpr float kSlowMotionScale = 0.1f;

  // Fills the name tables: the camera modes, transitions and cinematic modes, the
  // player's states and the in-game states.
  void Init();

  // What was said of the previous targets is said again of these.
  void Bind(const SLuaFunctionTargets& targets) {
    m_targets = targets;
    m_reportedNoCamera = false;
    m_lastReport.clear();
  }
  const SLuaFunctionTargets& Targets() const { return m_targets; }
  // The main camera is the one this world holds; the HUD is its HUD.
  void SetGameWorld(CGameWorld* world) { m_targets.world = world; }

  // A name's number in its table; a name that is not there gets 0 and stays in the
  // table with it.
  int CameraValue(const char* name);
  int PlayerStateValue(const char* name);
  int InGameStateValue(const char* name);

  void CameraSetTarget(const char* object);
  void CameraSetTargetPosition(const char* object);
  void CameraSetInmediateTarget(const char* object);
  void CameraSetPositionTarget(float x, float y, float z);
  void CameraAddTargetBias(float x, float y, float z);
  void CameraAddInmediateTargetBias(float x, float y, float z);
  void CameraSetPosition(float x, float y, float z);
  void CameraSetTargetHeight(float height);
  // Degrees from the transform's current angle.
  void CameraRotateYaw(float degrees);
  void CameraRotatePitch(float degrees);
  void CameraSetYaw(float degrees);
  void CameraSetInmediateYaw(float degrees);
  void CameraSetPitch(float degrees);
  void CameraSetInmediatePitch(float degrees);
  void CameraSetDistanceToTarget(float distance);
  void CameraSetRailMaxDistance(float distance);
  void CameraEnableCinematicSpring(float damping);
  void CameraSetCinematicSpeed(float speed);
  void CameraSetFarPlane(float farPlane);
  void CameraRemoveTargetBias();
  void CameraOverrideNextPosition();
  void CameraDisableCinematicSpring();
  void CameraRemoveAcceleration();
  void CameraSetMode(const char* mode);
  void CameraSetTransitionMode(const char* transition);
  void CameraSetTracker(const char* object);
  void CameraSetField(const char* object);
  void CameraSetCinematicMode(const char* mode);
  void CameraMoveCameraTo(const char* transition, float x, float y, float z);
  void CameraSetRailsMode(const char* mode, const char* tracker, const char* transition);
  float CameraGetPositionX();
  float CameraGetPositionY();
  float CameraGetPositionZ();
  void CameraAccelerateCinematic(float acceleration, float targetSpeed);
  void CameraExecuteDramaticZoom(const char* id, float x, float y, float z, float lookX,
                                 float lookY, float lookZ);

  // The object "player". Angles are radians here.
  void PlayerSetPosition(float x, float y, float z);
  void PlayerSetYaw(float yaw);
  void PlayerLookAt(float x, float y, float z);
  void PlayerPerformCinematicAction(const char* cycle, const char* action, bool lock);
  void PlayerSetState(const char* state);
  void PlayerFollowTracker(const char* object);
  // The sums stay within 0 and the stock's maximum.
  void PlayerAddLife(int amount);
  void PlayerAddGas(float amount);
  void PlayerAddGrenades(int amount);
  // 0 without a player.
  int PlayerGetLife();
  int PlayerGetGas();  // truncated towards zero
  int PlayerGetGrenades();
  void PlayerReset();

  // The HUD's button: the pad's when a pad answers, else the keyboard's.
  void ShowUseButton();

  // A free particle system of that kind, placed (the first two) and started again.
  // The orb's follower state is reset only when the system is a follower.
  void ActivateOrbParticle(const char* name, float x, float y, float z);
  void ActivateParticleSystemPos(const char* name, float x, float y, float z);
  void ActivateParticleSystem(const char* name);

  void SetInGameState(const char* state);
  void SetCinematicDoF(bool on);
  void SetSlowMotion(bool on);

private:
  // The game world's camera; null (said once until there is one again) before a
  // level has bound it.
  CCameraGOWController* Camera(const char* operation);
  // The live "player" object with its controller, or null, said in one line.
  obj::CGameObject* PlayerObject(const char* operation);
  CPlayerController* Player(const char* operation);
  gfx::CTransform* PlayerTransform(const char* operation);
  ptc::IParticleSystem* FreeSystem(const char* operation, const char* name);
  // One log line, unless it repeats the last one (a script that calls every frame
  // must not fill the log).
  void Report(const char* format, const char* operation, const char* name = "");

  SLuaFunctionTargets m_targets;
  std::map<uint32_t, int> m_cameraNames;
  std::map<uint32_t, int> m_playerStates;
  std::map<uint32_t, int> m_inGameStates;
  bool m_reportedNoCamera = false;
  std::string m_lastReport;
};

// The application's instance.
CLuaFunctions& GetLuaFunctions();

// The class "LuaFunctions" with its camera methods and the global "GetLuaFunctions".
void RegisterLuaFunctionsBindings(lua_State* state);

}  // namespace vd
