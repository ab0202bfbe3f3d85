#include "game/flow/script/LuaFunctions.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <luabind/luabind.hpp>

#include "engine/app/Timer.h"
#include "engine/collision/CharacterCollider.h"
#include "engine/core/Log.h"
#include "engine/input/InputManager.h"
#include "engine/objects/Camera.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Tracker.h"
#include "engine/objects/Transform.h"
#include "engine/render/RenderManager.h"
#include "engine/render/particles/ParticleSysManager.h"
#include "engine/render/particles/ParticleSystem.h"
#include "game/flow/GameWorld.h"
#include "game/player/FollowCamera.h"
#include "game/player/PlayerController.h"
#include "platform/math/Math.h"

namespace vd {

namespace {

// Script angles are degrees; the single-precision pi, the quotient in double.
float Radians(float degrees) {
  return static_cast<float>(static_cast<double>(degrees) *
                            static_cast<double>(3.1415927410125732f) / 180.0);
}

// A place or an angle a script computed from nothing (inf, nan) would reach the
// collision world and the renderer: such calls are refused.
bool Finite(std::initializer_list<float> values) {
  for (float v : values)
    if (!std::isfinite(v)) return false;
  return true;
}

obj::CGameObject* FindObject(const char* name) {
  // A null or empty name is the no-name hash, which no live object bears.
  return obj::FindGameObjectByName(CStringHash(name));
}

}  // namespace

void CLuaFunctions::Init() {
  m_cameraNames.clear();
  const std::pair<const char*, int> names[] = {{"normal", 0},
                                               {"fixed", 1},
                                               {"pan", 2},
                                               {"linear_rails", 3},
                                               {"linear_fixed_rails", 4},
                                               {"cinematic", 5},
                                               {"dramatic_zoom", 6},
                                               {"travelling", 1},
                                               {"blending", 2},
                                               {"cut", 3},
                                               {"target", 0},
                                               {"fixed_target", 1},
                                               {"no_target", 2},
                                               {"fixed_direction", 3}};
  for (const auto& entry : names) m_cameraNames[CStringHash(entry.first).GetHash()] = entry.second;

  // The player's own state names; 21 has none.
  m_playerStates.clear();
  for (int state = 1; state <= CPlayerController::kStateCount; ++state)
    if (const char* name = CPlayerController::GetStateName(state))
      m_playerStates[CStringHash(name).GetHash()] = state;

  m_inGameStates.clear();
  const std::pair<const char*, int> inGame[] = {
      {"gameplay", 0}, {"uncancelable_cinematic", 1}, {"cancelable_cinematic", 2}};
  for (const auto& entry : inGame)
    m_inGameStates[CStringHash(entry.first).GetHash()] = entry.second;
}

int CLuaFunctions::CameraValue(const char* name) {
  return m_cameraNames[CStringHash(name).GetHash()];
}

int CLuaFunctions::PlayerStateValue(const char* name) {
  return m_playerStates[CStringHash(name).GetHash()];
}

int CLuaFunctions::InGameStateValue(const char* name) {
  return m_inGameStates[CStringHash(name).GetHash()];
}

void CLuaFunctions::Report(const char* format, const char* operation, const char* name) {
  char line[300];
  std::snprintf(line, sizeof line, format, operation, name ? name : "");
  if (m_lastReport == line) return;
  m_lastReport = line;
  utl::LogPrintf("%s", line);
}

CCameraGOWController* CLuaFunctions::Camera(const char* operation) {
  CCameraGOWController* camera = m_targets.world ? m_targets.world->camera : nullptr;
  if (camera) {
    m_reportedNoCamera = false;
  } else if (!m_reportedNoCamera) {
    utl::LogPrintf("LuaFunctions: %s without a main camera; ignored\n", operation);
    m_reportedNoCamera = true;
  }
  return camera;
}

// --- targets ---

void CLuaFunctions::CameraSetTarget(const char* object) {
  if (CCameraGOWController* camera = Camera("CameraSetTarget")) camera->SetTargetByName(object);
}

void CLuaFunctions::CameraSetTargetPosition(const char* object) {
  CCameraGOWController* camera = Camera("CameraSetTargetPosition");
  if (camera && camera->SetTargetByName(object))
    camera->targetPoint = camera->targetTransform->position;
}

void CLuaFunctions::CameraSetInmediateTarget(const char* object) {
  CCameraGOWController* camera = Camera("CameraSetInmediateTarget");
  if (camera && camera->SetTargetByName(object)) camera->targetPoint.y += camera->targetHeight;
}

void CLuaFunctions::CameraSetPositionTarget(float x, float y, float z) {
  if (CCameraGOWController* camera = Camera("CameraSetPositionTarget"))
    camera->targetPoint = plat::Vec3(x, y, z);
}

void CLuaFunctions::CameraSetTargetHeight(float height) {
  if (CCameraGOWController* camera = Camera("CameraSetTargetHeight")) camera->targetHeight = height;
}

void CLuaFunctions::CameraAddTargetBias(float x, float y, float z) {
  if (CCameraGOWController* camera = Camera("CameraAddTargetBias"))
    camera->pendingBias = plat::Vec3(x, y, z);
}

void CLuaFunctions::CameraAddInmediateTargetBias(float x, float y, float z) {
  if (CCameraGOWController* camera = Camera("CameraAddInmediateTargetBias"))
    camera->immediateBias = plat::Vec3(x, y, z);
}

void CLuaFunctions::CameraRemoveTargetBias() {
  if (CCameraGOWController* camera = Camera("CameraRemoveTargetBias"))
    camera->pendingBias = camera->immediateBias = plat::Vec3();
}

// --- position and angles ---

void CLuaFunctions::CameraSetPosition(float x, float y, float z) {
  if (CCameraGOWController* camera = Camera("CameraSetPosition"))
    camera->SetPosition(plat::Vec3(x, y, z));
}

void CLuaFunctions::CameraRotateYaw(float degrees) {
  CCameraGOWController* camera = Camera("CameraRotateYaw");
  if (camera && camera->transform) camera->targetYaw = camera->transform->yaw + Radians(degrees);
}

void CLuaFunctions::CameraRotatePitch(float degrees) {
  CCameraGOWController* camera = Camera("CameraRotatePitch");
  if (camera && camera->transform)
    camera->targetPitch = camera->transform->pitch + Radians(degrees);
}

void CLuaFunctions::CameraSetYaw(float degrees) {
  if (CCameraGOWController* camera = Camera("CameraSetYaw")) camera->SetYaw(degrees);
}

void CLuaFunctions::CameraSetPitch(float degrees) {
  if (CCameraGOWController* camera = Camera("CameraSetPitch")) camera->SetPitch(degrees);
}

void CLuaFunctions::CameraSetInmediateYaw(float degrees) {
  CCameraGOWController* camera = Camera("CameraSetInmediateYaw");
  if (!camera || !camera->transform) return;
  camera->transform->SetYaw(Radians(degrees));
  camera->targetYaw = camera->transform->yaw;
}

void CLuaFunctions::CameraSetInmediatePitch(float degrees) {
  CCameraGOWController* camera = Camera("CameraSetInmediatePitch");
  if (!camera || !camera->transform) return;
  camera->transform->SetPitch(Radians(degrees));
  camera->targetPitch = camera->transform->pitch;
}

void CLuaFunctions::CameraSetDistanceToTarget(float distance) {
  if (CCameraGOWController* camera = Camera("CameraSetDistanceToTarget"))
    camera->desiredDistance = distance;
}

float CLuaFunctions::CameraGetPositionX() {
  CCameraGOWController* camera = Camera("CameraGetPositionX");
  return camera && camera->transform ? camera->transform->position.x : 0.0f;
}

float CLuaFunctions::CameraGetPositionY() {
  CCameraGOWController* camera = Camera("CameraGetPositionY");
  return camera && camera->transform ? camera->transform->position.y : 0.0f;
}

float CLuaFunctions::CameraGetPositionZ() {
  CCameraGOWController* camera = Camera("CameraGetPositionZ");
  return camera && camera->transform ? camera->transform->position.z : 0.0f;
}

void CLuaFunctions::CameraSetFarPlane(float farPlane) {
  CCameraGOWController* camera = Camera("CameraSetFarPlane");
  if (!camera || !camera->camera) return;
  cam::CCamera& eye = *camera->camera;
  eye.farPlane = farPlane;
  eye.projection = plat::PerspectiveFovRH(eye.fovRadians, eye.aspect, eye.nearPlane, farPlane);
}

// --- modes, rails and fields ---

void CLuaFunctions::CameraSetMode(const char* mode) {
  CCameraGOWController* camera = Camera("CameraSetMode");
  if (!camera) return;
  camera->cameraMode = CameraValue(mode);
  if (camera->cameraMode == CCameraGOWController::kModeCinematic) camera->StartCinematic();
}

void CLuaFunctions::CameraSetTransitionMode(const char* transition) {
  if (CCameraGOWController* camera = Camera("CameraSetTransitionMode"))
    camera->SetTransitionMode(CameraValue(transition));
}

void CLuaFunctions::CameraMoveCameraTo(const char* transition, float x, float y, float z) {
  CCameraGOWController* camera = Camera("CameraMoveCameraTo");
  if (!camera) return;
  camera->destination = plat::Vec3(x, y, z);
  camera->transitionMode = CameraValue(transition);
}

void CLuaFunctions::CameraSetTracker(const char* object) {
  CCameraGOWController* camera = Camera("CameraSetTracker");
  if (!camera) return;
  obj::CGameObject* found = FindObject(object);
  if (!found) {
    Report("LuaFunctions: %s: no object %s; ignored\n", "CameraSetTracker", object);
    return;
  }
  camera->SetTracker(found);
}

void CLuaFunctions::CameraSetField(const char* object) {
  CCameraGOWController* camera = Camera("CameraSetField");
  if (!camera) return;
  obj::CGameObject* found = FindObject(object);
  if (!found) {
    // A misspelt name must not take away the field the camera keeps to.
    Report("LuaFunctions: %s: no object %s; ignored\n", "CameraSetField", object);
    return;
  }
  // An object without a tracker clears the field.
  camera->fieldTracker = found->GetComponent<lgc::CTracker>();
}

void CLuaFunctions::CameraSetRailMaxDistance(float distance) {
  if (CCameraGOWController* camera = Camera("CameraSetRailMaxDistance"))
    camera->railMaxDistance = distance;
}

void CLuaFunctions::CameraOverrideNextPosition() {
  if (CCameraGOWController* camera = Camera("CameraOverrideNextPosition"))
    camera->OverrideNextPosition();
}

void CLuaFunctions::CameraSetRailsMode(const char* mode, const char* tracker,
                                       const char* transition) {
  CCameraGOWController* camera = Camera("CameraSetRailsMode");
  if (!camera) return;
  // The transition takes the rail in force as its previous rail before the new one.
  camera->SetTransitionMode(CameraValue(transition));
  CameraSetMode(mode);
  CameraSetTracker(tracker);
  camera->OverrideNextPosition();
}

// --- cinematics and the dramatic zoom ---

void CLuaFunctions::CameraSetCinematicMode(const char* mode) {
  if (CCameraGOWController* camera = Camera("CameraSetCinematicMode"))
    camera->cinematicTargetMode = CameraValue(mode);
}

void CLuaFunctions::CameraEnableCinematicSpring(float damping) {
  if (CCameraGOWController* camera = Camera("CameraEnableCinematicSpring"))
    camera->SetCinematicSpring(true, damping);
}

void CLuaFunctions::CameraDisableCinematicSpring() {
  if (CCameraGOWController* camera = Camera("CameraDisableCinematicSpring"))
    camera->SetCinematicSpring(false, 0.0f);
}

void CLuaFunctions::CameraSetCinematicSpeed(float speed) {
  if (CCameraGOWController* camera = Camera("CameraSetCinematicSpeed"))
    camera->cinematicSpeed = speed;
}

void CLuaFunctions::CameraAccelerateCinematic(float acceleration, float targetSpeed) {
  CCameraGOWController* camera = Camera("CameraAccelerateCinematic");
  if (!camera) return;
  camera->cinematicAcceleration = acceleration;
  camera->cinematicTargetSpeed = targetSpeed;
}

void CLuaFunctions::CameraRemoveAcceleration() {
  if (CCameraGOWController* camera = Camera("CameraRemoveAcceleration"))
    camera->cinematicAcceleration = 0.0f;
}

void CLuaFunctions::CameraExecuteDramaticZoom(const char* id, float x, float y, float z,
                                              float lookX, float lookY, float lookZ) {
  if (CCameraGOWController* camera = Camera("CameraExecuteDramaticZoom"))
    camera->StartDramaticZoom(id, plat::Vec3(x, y, z), plat::Vec3(lookX, lookY, lookZ));
}

// --- the player ---

obj::CGameObject* CLuaFunctions::PlayerObject(const char* operation) {
  obj::CGameObject* player = FindObject("player");
  if (!player) Report("LuaFunctions: %s without a player; ignored\n", operation);
  return player;
}

CPlayerController* CLuaFunctions::Player(const char* operation) {
  obj::CGameObject* object = PlayerObject(operation);
  CPlayerController* player = object ? object->GetComponent<CPlayerController>() : nullptr;
  if (object && !player)
    Report("LuaFunctions: %s: the player has no player controller; ignored\n", operation);
  return player;
}

gfx::CTransform* CLuaFunctions::PlayerTransform(const char* operation) {
  obj::CGameObject* object = PlayerObject(operation);
  gfx::CTransform* transform = object ? object->GetComponent<gfx::CTransform>() : nullptr;
  if (object && !transform)
    Report("LuaFunctions: %s: the player has no transform; ignored\n", operation);
  return transform;
}

void CLuaFunctions::PlayerSetPosition(float x, float y, float z) {
  gfx::CTransform* transform = PlayerTransform("PlayerSetPosition");
  if (!transform) return;
  if (!Finite({x, y, z})) {
    Report("LuaFunctions: %s: not a place; ignored\n", "PlayerSetPosition");
    return;
  }
  transform->SetPositionXYZ(x, y, z);
  // The collider takes the new place at once, before the next frame moves him.
  obj::CGameObject* object = FindObject("player");
  if (phy::CCharacterCollider* collider = object->GetComponent<phy::CCharacterCollider>())
    collider->Update(0.0f);
}

void CLuaFunctions::PlayerSetYaw(float yaw) {
  gfx::CTransform* transform = PlayerTransform("PlayerSetYaw");
  if (!transform) return;
  if (!Finite({yaw})) {
    Report("LuaFunctions: %s: not an angle; ignored\n", "PlayerSetYaw");
    return;
  }
  transform->SetYaw(yaw);
}

void CLuaFunctions::PlayerLookAt(float x, float, float z) {
  gfx::CTransform* transform = PlayerTransform("PlayerLookAt");
  if (!transform) return;
  if (!Finite({x, z})) {
    Report("LuaFunctions: %s: not a place; ignored\n", "PlayerLookAt");
    return;
  }
  transform->SetYaw(std::atan2(x - transform->position.x, z - transform->position.z));
}

void CLuaFunctions::PlayerPerformCinematicAction(const char* cycle, const char* action, bool lock) {
  if (CPlayerController* player = Player("PlayerPerformCinematicAction"))
    player->PerformCinematicAction(cycle, action, lock);
}

void CLuaFunctions::PlayerSetState(const char* state) {
  if (CPlayerController* player = Player("PlayerSetState"))
    player->SetState(PlayerStateValue(state));
}

void CLuaFunctions::PlayerFollowTracker(const char* object) {
  CPlayerController* player = Player("PlayerFollowTracker");
  if (!player) return;
  obj::CGameObject* tracker = FindObject(object);
  if (!tracker) {
    Report("LuaFunctions: %s: no object %s; ignored\n", "PlayerFollowTracker", object);
    return;
  }
  player->FollowTracker(tracker);
}

void CLuaFunctions::PlayerAddLife(int amount) {
  CPlayerController* player = Player("PlayerAddLife");
  if (!player) return;
  // In 64 bits: a script's huge number must not wrap around.
  const int64_t sum = static_cast<int64_t>(player->life) + amount;
  player->life = static_cast<int>(std::clamp<int64_t>(sum, 0, kMaxLife));
}

void CLuaFunctions::PlayerAddGas(float amount) {
  CPlayerController* player = Player("PlayerAddGas");
  if (!player) return;
  const double sum = static_cast<double>(player->gas) + static_cast<double>(amount);
  // A NaN from a script leaves the gas as it was.
  if (std::isnan(sum)) return;
  player->gas = static_cast<float>(std::clamp(sum, 0.0, static_cast<double>(kMaxGas)));
}

void CLuaFunctions::PlayerAddGrenades(int amount) {
  CPlayerController* player = Player("PlayerAddGrenades");
  if (!player) return;
  const int64_t sum = static_cast<int64_t>(player->grenades) + amount;
  player->grenades = static_cast<int>(std::clamp<int64_t>(sum, 0, kMaxGrenades));
}

int CLuaFunctions::PlayerGetLife() {
  CPlayerController* player = Player("PlayerGetLife");
  return player ? player->life : 0;
}

int CLuaFunctions::PlayerGetGas() {
  CPlayerController* player = Player("PlayerGetGas");
  if (!player || !std::isfinite(player->gas)) return 0;
  return static_cast<int>(std::trunc(std::clamp(player->gas, -1.0e9f, 1.0e9f)));
}

int CLuaFunctions::PlayerGetGrenades() {
  CPlayerController* player = Player("PlayerGetGrenades");
  return player ? player->grenades : 0;
}

void CLuaFunctions::PlayerReset() {
  if (obj::CGameObject* player = PlayerObject("PlayerReset")) player->Restart();
}

// --- the use hint ---

void CLuaFunctions::ShowUseButton() {
  CGameWorld* world = m_targets.world;
  if (!world) {
    Report("LuaFunctions: %s without a HUD; ignored\n", "ShowUseButton");
    return;
  }
  const bool pad = m_targets.input && m_targets.input->IsPadConnected();
  world->hud.ShowButton(pad ? "hud/Button_A.dds" : "hud/Keyboard_K.dds", 0.0f);
}

// --- particles ---

ptc::IParticleSystem* CLuaFunctions::FreeSystem(const char* operation, const char* name) {
  ptc::CParticleSysManager* particles = m_targets.particles;
  ptc::IParticleSystem* system =
      particles ? particles->GetFreeParticleSystem(CStringHash(name)) : nullptr;
  if (!system) Report("LuaFunctions: %s: no free particle system %s; ignored\n", operation, name);
  return system;
}

namespace {
void Place(ptc::IParticleSystem& system, float x, float y, float z) {
  // Not a place: the system starts where it stands.
  if (!Finite({x, y, z})) return;
  if (gfx::CTransform* transform = system.GetTransform())
    transform->SetPosition(plat::Vec3(x, y, z));
}
}  // namespace

void CLuaFunctions::ActivateOrbParticle(const char* name, float x, float y, float z) {
  ptc::IParticleSystem* system = FreeSystem("ActivateOrbParticle", name);
  if (!system) return;
  Place(*system, x, y, z);
  if (auto* follower = dynamic_cast<CParticleSystemFollower*>(system)) {
    follower->Rearm();
  } else {
    Report("LuaFunctions: %s: %s is not an orb; placed and started only\n", "ActivateOrbParticle",
           name);
  }
  // The base restart: the orb's own would undo the state just set.
  system->ptc::IParticleSystem::Restart(false);
}

void CLuaFunctions::ActivateParticleSystemPos(const char* name, float x, float y, float z) {
  ptc::IParticleSystem* system = FreeSystem("ActivateParticleSystemPos", name);
  if (!system) return;
  Place(*system, x, y, z);
  system->Restart(false);
}

void CLuaFunctions::ActivateParticleSystem(const char* name) {
  if (ptc::IParticleSystem* system = FreeSystem("ActivateParticleSystem", name))
    system->Restart(false);
}

// --- game settings ---

void CLuaFunctions::SetInGameState(const char* state) {
  if (!m_targets.inGameState) {
    Report("LuaFunctions: %s without a game; ignored\n", "SetInGameState");
    return;
  }
  *m_targets.inGameState = InGameStateValue(state);
}

void CLuaFunctions::SetCinematicDoF(bool on) {
  if (!m_targets.render) {
    Report("LuaFunctions: %s without a render manager; ignored\n", "SetCinematicDoF");
    return;
  }
  m_targets.render->cinematicDoF.Set(on);
}

void CLuaFunctions::SetSlowMotion(bool on) {
  if (!m_targets.timer) {
    Report("LuaFunctions: %s without a game timer; ignored\n", "SetSlowMotion");
    return;
  }
  m_targets.timer->slowMotionScale = on ? kSlowMotionScale : 1.0f;
  m_targets.timer->slowMotion = on ? 1 : 0;
}

// --- the instance and its bindings ---

CLuaFunctions& GetLuaFunctions() {
  static CLuaFunctions functions;
  return functions;
}

void RegisterLuaFunctionsBindings(lua_State* state) {
  if (!state) return;
  GetLuaFunctions().Init();
  using F = CLuaFunctions;
  luabind::module(state)[luabind::class_<F>("LuaFunctions")
                             .def("CameraSetTarget", &F::CameraSetTarget)
                             .def("CameraSetTargetPosition", &F::CameraSetTargetPosition)
                             .def("CameraSetInmediateTarget", &F::CameraSetInmediateTarget)
                             .def("CameraSetPositionTarget", &F::CameraSetPositionTarget)
                             .def("CameraAddTargetBias", &F::CameraAddTargetBias)
                             .def("CameraAddInmediateTargetBias", &F::CameraAddInmediateTargetBias)
                             .def("CameraSetPosition", &F::CameraSetPosition)
                             .def("CameraSetTargetHeight", &F::CameraSetTargetHeight)
                             .def("CameraRotateYaw", &F::CameraRotateYaw)
                             .def("CameraRotatePitch", &F::CameraRotatePitch)
                             .def("CameraSetYaw", &F::CameraSetYaw)
                             .def("CameraSetInmediateYaw", &F::CameraSetInmediateYaw)
                             .def("CameraSetPitch", &F::CameraSetPitch)
                             .def("CameraSetInmediatePitch", &F::CameraSetInmediatePitch)
                             .def("CameraSetDistanceToTarget", &F::CameraSetDistanceToTarget)
                             .def("CameraSetRailMaxDistance", &F::CameraSetRailMaxDistance)
                             .def("CameraEnableCinematicSpring", &F::CameraEnableCinematicSpring)
                             .def("CameraSetCinematicSpeed", &F::CameraSetCinematicSpeed)
                             .def("CameraSetFarPlane", &F::CameraSetFarPlane)
                             .def("CameraRemoveTargetBias", &F::CameraRemoveTargetBias)
                             .def("CameraOverrideNextPosition", &F::CameraOverrideNextPosition)
                             .def("CameraDisableCinematicSpring", &F::CameraDisableCinematicSpring)
                             .def("CameraRemoveAcceleration", &F::CameraRemoveAcceleration)
                             .def("CameraSetMode", &F::CameraSetMode)
                             .def("CameraSetTransitionMode", &F::CameraSetTransitionMode)
                             .def("CameraSetTracker", &F::CameraSetTracker)
                             .def("CameraSetField", &F::CameraSetField)
                             .def("CameraSetCinematicMode", &F::CameraSetCinematicMode)
                             .def("CameraMoveCameraTo", &F::CameraMoveCameraTo)
                             .def("CameraSetRailsMode", &F::CameraSetRailsMode)
                             .def("CameraGetPositionX", &F::CameraGetPositionX)
                             .def("CameraGetPositionY", &F::CameraGetPositionY)
                             .def("CameraGetPositionZ", &F::CameraGetPositionZ)
                             .def("CameraAccelerateCinematic", &F::CameraAccelerateCinematic)
                             .def("CameraExecuteDramaticZoom", &F::CameraExecuteDramaticZoom)
                             .def("PlayerSetPosition", &F::PlayerSetPosition)
                             .def("PlayerLookAt", &F::PlayerLookAt)
                             .def("PlayerSetYaw", &F::PlayerSetYaw)
                             .def("PlayerAddGas", &F::PlayerAddGas)
                             .def("PlayerPerformCinematicAction", &F::PlayerPerformCinematicAction)
                             .def("PlayerSetState", &F::PlayerSetState)
                             .def("PlayerFollowTracker", &F::PlayerFollowTracker)
                             .def("PlayerAddLife", &F::PlayerAddLife)
                             .def("PlayerAddGrenades", &F::PlayerAddGrenades)
                             .def("PlayerGetLife", &F::PlayerGetLife)
                             .def("PlayerGetGas", &F::PlayerGetGas)
                             .def("PlayerGetGrenades", &F::PlayerGetGrenades)
                             .def("PlayerReset", &F::PlayerReset)
                             .def("ShowUseButton", &F::ShowUseButton)
                             .def("ActivateOrbParticle", &F::ActivateOrbParticle)
                             .def("ActivateParticleSystemPos", &F::ActivateParticleSystemPos)
                             .def("ActivateParticleSystem", &F::ActivateParticleSystem)
                             .def("SetInGameState", &F::SetInGameState)
                             .def("SetCinematicDoF", &F::SetCinematicDoF)
                             .def("SetSlowMotion", &F::SetSlowMotion),
                         luabind::def("GetLuaFunctions", &GetLuaFunctions)];
}

}  // namespace vd
