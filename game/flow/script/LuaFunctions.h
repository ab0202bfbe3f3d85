#pragma once
// The level scripts' remote control of the main camera. Scripts reach the one
// instance through the global "GetLuaFunctions" and the class "LuaFunctions". Every
// operation acts at once on the camera that the game world holds; without one (no
// level bound yet) it says so and does nothing.
#include <cstdint>
#include <map>

struct lua_State;

namespace vd {

class CCameraGOWController;
class CGameWorld;

class CLuaFunctions {
public:
  // Fills the name table: the camera modes, transitions and cinematic modes.
  void Init();

  // The main camera is the one this world holds.
  void SetGameWorld(CGameWorld* world) { m_world = world; }

  // A name's number in the camera table; a name that is not there gets 0 and stays
  // in the table with it.
  int CameraValue(const char* name);

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

private:
  // The game world's camera; null (said once until there is one again) before a
  // level has bound it.
  CCameraGOWController* Camera(const char* operation);

  CGameWorld* m_world = nullptr;
  std::map<uint32_t, int> m_cameraNames;
  bool m_reportedNoCamera = false;
};

// The application's instance.
CLuaFunctions& GetLuaFunctions();

// The class "LuaFunctions" with its camera methods and the global "GetLuaFunctions".
void RegisterLuaFunctionsBindings(lua_State* state);

}  // namespace vd
