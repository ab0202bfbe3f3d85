#pragma once
// The game's main camera on "main_camera": follows a target through a damped
// spring on its look-at point, keeps a scripted distance and angle, or runs along
// rails, a scripted cinematic path or into a dramatic zoom; shakes on "OnShake" and
// flies into a close-up on "OnFatality". The level scripts drive it through the
// game's script interface, which writes many of its fields directly.
#include <cstdint>
#include <string>

#include "engine/core/StringHash.h"
#include "engine/objects/Tracker.h"
#include "game/player/CameraController.h"
#include "game/player/DepthOfField.h"
#include "platform/math/Vector.h"

namespace vd {

namespace obj {
class CGameObject;
}

class CCameraGOWController : public obj::CComponent<CCameraGOWController, cam::CCameraController> {
public:
  enum ECameraMode : int {
    kModeNormal = 0,
    kModeFixed,
    kModePan,
    kModeLinearRails,
    kModeLinearFixedRails,
    kModeCinematic,
    kModeDramaticZoom,
  };
  enum ETransitionMode : int {
    kTransitionNone = 0,
    kTransitionTravelling,
    kTransitionBlending,
    kTransitionCut,
    kTransitionFatality,
  };
  enum ECinematicTarget : int {
    kCinematicTarget = 0,
    kCinematicFixedTarget,
    kCinematicNoTarget,
    kCinematicFixedDirection,
  };

  static const CStringHash& GetClassName();

  CCameraGOWController() = default;
  ~CCameraGOWController() override;
  CCameraGOWController& operator=(const CCameraGOWController& other) = default;

  // Where the fatality camera reads and writes the depth of field; null gives a
  // state of the camera's own (off). The application connects the render side.
  static void SetDepthOfField(IDepthOfField* depthOfField);
  static IDepthOfField& GetDepthOfField();

  // --- Component ------------------------------------------------------------------
  const CStringHash& GetFamilyType() const override;
  // "OnShake" and "OnFatality".
  void HandleEvent(evn::IEvent* event) override;
  // Keys: "target", "target_height", "position_damping_const", "target_damping_const",
  // "cinematic_damping_const", "zoom_damping_const", "cinematic_speed".
  void Load(rapidxml::xml_node<>* element) override;
  bool HasContent() override { return true; }
  // Back to following "player" from the start position, in the normal mode.
  void Restart() override;
  // Camera and transform, the start values, Restart, then "OnShake" and "OnFatality".
  bool Init() override;
  // One step of the transition mode or, without one, of the camera mode.
  bool Update(float dt) override;
  void Reset() override;

  // --- Controller -----------------------------------------------------------------
  // Where the next cut puts the camera.
  void SetPosition(const plat::Vec3& position) override;
  // Degrees: the angles the normal mode turns towards.
  void SetYaw(float degrees) override;
  void SetPitch(float degrees) override;

  // --- Script interface -----------------------------------------------------------
  // A cinematic path from the current position towards the rail index's point.
  void StartCinematic();
  void SetTransitionMode(int mode);
  // The object's tracker becomes the rail (or path) from its point 0.
  void SetTracker(obj::CGameObject* object);
  // The destination = the target point's place on the current rail.
  void OverrideNextPosition();
  // The transform of the named object becomes the target; a name of no live object
  // (or of one without a transform) leaves the target as it was and says so.
  bool SetTargetByName(const char* name);
  // The cinematic spring from its damping k (constant k × k × 0.25), or off.
  void SetCinematicSpring(bool on, float damping);
  // Zoom id (copied), zoom position and target point, then the dramatic zoom mode.
  void StartDramaticZoom(const char* id, const plat::Vec3& zoomTo, const plat::Vec3& lookAt);
  const char* GetZoomId() const { return zoomId.c_str(); }
  const char* GetRailObjectName() const { return railObjectName.c_str(); }

  // --- Steps (public for the script interface and tests) --------------------------
  // One spring step of the target point towards the target (with the biases).
  void FollowTarget();
  // The rail point for the target point P projected at Q (parameter t) on A → B.
  plat::Vec3 RailPoint(const plat::Vec3& q, float t, const plat::Vec3& a, const plat::Vec3& b,
                       const plat::Vec3& side) const;
  // The Catmull-Rom point of the path segment ending at point i, s along it.
  plat::Vec3 EvaluatePath(int index, float travelled) const;

  // The projection of p onto a → b in the x-z plane: Q and its parameter t (0 when
  // the two ends coincide there).
  static plat::Vec3 Project(const plat::Vec3& p, const plat::Vec3& a, const plat::Vec3& b,
                            float& t);
  // One critically damped spring step of x towards goal.
  static void SpringStep(plat::Vec3& x, plat::Vec3& velocity, const plat::Vec3& goal, float k,
                         float d, float dt);

  // --- Fields ---------------------------------------------------------------------
  int cameraMode = 0;
  int transitionMode = 0;
  int previousTransitionMode = 0;
  int cinematicTargetMode = 0;
  float dt = 0.0f;
  gfx::CTransform* targetTransform = nullptr;
  plat::Vec3 targetPoint;
  float targetHeight = 0.0f;
  plat::Vec3 pendingBias;
  plat::Vec3 immediateBias;
  plat::Vec3 position;
  plat::Vec3 destination;
  plat::Vec3 segmentStart;
  float targetYaw = 0.0f;
  float targetPitch = 0.0f;
  float distance = 0.0f;
  float desiredDistance = 0.0f;
  float positionSpringConstant = 0.0f;
  float positionDamping = 0.0f;
  plat::Vec3 positionVelocity;
  float targetSpringConstant = 0.0f;
  float targetDamping = 0.0f;
  plat::Vec3 targetVelocity;
  std::string railObjectName;
  lgc::CTracker* railTracker = nullptr;
  lgc::CTracker* previousRailTracker = nullptr;
  lgc::CTracker* fieldTracker = nullptr;
  float fieldProgress = 0.0f;
  plat::Vec3 fieldStart;
  plat::Vec3 fieldEnd;
  int railIndex = 0;
  plat::Vec3 railStart;
  plat::Vec3 railEnd;
  plat::Vec3 railDirection;
  plat::Vec3 railSide;
  plat::Vec3 previousRailSide;
  float railMaxDistance = 0.0f;
  uint8_t cinematicSpringOn = 0;
  float cinematicSpringConstant = 0.0f;
  float cinematicDamping = 0.0f;
  float cinematicSpeed = 0.0f;
  float cinematicTargetSpeed = 0.0f;
  float cinematicAcceleration = 0.0f;
  float travelled = 0.0f;
  float segmentLength = 0.0f;
  std::string zoomId;
  plat::Vec3 zoomPosition;
  float zoomSpringConstant = 0.0f;
  float zoomDamping = 0.0f;
  plat::Vec3 zoomVelocity;
  float shakePower = 0.0f;
  float shakeTimer = 0.0f;
  // The player reads both; the loading state clears them when play begins.
  uint8_t positionShake = 0;
  uint8_t targetShake = 0;
  plat::Vec3 fatalityDirection;
  plat::Vec3 fatalityCameraPoint;
  plat::Vec3 fatalityLookPoint;
  int savedCameraMode = 0;
  int savedTransitionMode = 0;
  uint8_t bossFatality = 0;
  float fatalityTime = 0.0f;
  float fatalityDuration = 0.0f;
  float fatalityKillFrame = 0.0f;
  float savedFov = 0.0f;
  float focusDistance = 0.0f;
  // Set only when a fatality found the depth of field on and kept its values: only
  // then are they put back.
  uint8_t depthOfFieldSaved = 0;
  SDepthOfFieldValues savedDepthOfField;
  plat::Vec3 startPosition;
  float startCinematicSpeed = 0.0f;

private:
  void PlaceAndLook(const plat::Vec3& eye, const plat::Vec3& target);
  void ApplyDirection();
  void Aim();
  void UpdateShake(plat::Vec3& eye, plat::Vec3& target);
  float ShakeAmount();
  void PostReachPos(const char* posId, int waypoint);
  void OnShake(float power, float timer);
  void OnFatality(const plat::Vec3& victim, const CStringHash& targetType, float duration,
                  float killFrame);
  void EndFatalityCamera();
  void SetFov(float degrees);
  float Fov() const;

  // Whether the steps can run: the target and the tracker points they read exist.
  // A missing one is said once until it changes.
  bool HasTarget();
  bool HasRail(const lgc::CTracker* tracker, const char* what);

  void StepNormal();
  void StepFixed();
  void StepPan();
  void StepLinearRails(bool fixed);
  void StepCinematic();
  void StepDramaticZoom();
  void StepTravelling();
  void StepBlending();
  void StepCut();
  void StepFatality();
  void StepCameraMode();
  // Projects the target point onto the first two points of both rails: the rail
  // point of each, blended by the field progress; t of the current rail.
  bool BlendRails(plat::Vec3& blended, float& t);

  const void* m_reportedTracker = nullptr;
  bool m_reportedNoTarget = false;
};

}  // namespace vd
