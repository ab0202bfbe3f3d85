#include "game/flow/script/LuaFunctions.h"

#include <luabind/luabind.hpp>

#include "engine/core/Log.h"
#include "engine/objects/Camera.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Tracker.h"
#include "engine/objects/Transform.h"
#include "game/flow/GameWorld.h"
#include "game/player/FollowCamera.h"
#include "platform/math/Math.h"

namespace vd {

namespace {

// Script angles are degrees; the single-precision pi, the quotient in double.
float Radians(float degrees) {
  return static_cast<float>(static_cast<double>(degrees) *
                            static_cast<double>(3.1415927410125732f) / 180.0);
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
}

int CLuaFunctions::CameraValue(const char* name) {
  return m_cameraNames[CStringHash(name).GetHash()];
}

CCameraGOWController* CLuaFunctions::Camera(const char* operation) {
  CCameraGOWController* camera = m_world ? m_world->camera : nullptr;
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
    utl::LogPrintf("LuaFunctions: CameraSetTracker: no object %s\n", object ? object : "");
    return;
  }
  camera->SetTracker(found);
}

void CLuaFunctions::CameraSetField(const char* object) {
  CCameraGOWController* camera = Camera("CameraSetField");
  if (!camera) return;
  obj::CGameObject* found = FindObject(object);
  camera->fieldTracker = found ? found->GetComponent<lgc::CTracker>() : nullptr;
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
                             .def("CameraExecuteDramaticZoom", &F::CameraExecuteDramaticZoom),
                         luabind::def("GetLuaFunctions", &GetLuaFunctions)];
}

}  // namespace vd
