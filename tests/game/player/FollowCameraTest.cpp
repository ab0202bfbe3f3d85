#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "engine/core/EngineNames.h"
#include "engine/core/Utils.h"
#include "engine/objects/Camera.h"
#include "engine/objects/Transform.h"
#include "game/player/FollowCamera.h"
#include "tests/game/player/CameraFixture.h"

namespace vd {
namespace {

using test::ExpectMat;
using test::ExpectVec;

class FollowCamera : public test::CameraLevel {
protected:
  gfx::CTransform* CameraTransform() { return Part<gfx::CTransform>("main_camera"); }
  cam::CCamera* CameraEye() { return Part<cam::CCamera>("main_camera"); }
  gfx::CTransform* Player() { return Part<gfx::CTransform>("player"); }

  void Fatality(const char* targetType, float duration, float killFrame,
                const plat::Vec3& victim = plat::Vec3(2, 0, 0)) {
    evn::CEventFatality* event = evn::CEventFatality::New(
        CStringHash("fatality_1"), CStringHash(targetType), victim, duration, killFrame);
    cam->HandleEvent(event);
    event->Release();
  }
};

TEST_F(FollowCamera, InitFollowsThePlayerWhateverTheTargetKeySaid) {
  Load(Actor("dummy", 50, 0, 50) + Actor("player", 0, 0, 0) + Camera(0, 1.5f, 10));
  EXPECT_EQ(cam->targetTransform, Player());
  ExpectVec(cam->targetPoint, plat::Vec3(0, 1.5f, 0));
  EXPECT_FLOAT_EQ(cam->distance, 10.0f);
  EXPECT_FLOAT_EQ(cam->desiredDistance, 10.0f);
  ExpectVec(cam->direction, plat::Vec3(0, 0, -1));
  EXPECT_NEAR(std::fabs(cam->targetYaw), utl::kPi, 1e-5f);
  EXPECT_NEAR(std::fabs(CameraTransform()->yaw), utl::kPi, 1e-5f);
  EXPECT_EQ(cam->cinematicTargetMode, CCameraGOWController::kCinematicNoTarget);
  // Each spring constant is its damping squared over four.
  EXPECT_FLOAT_EQ(cam->targetSpringConstant, 4.0f);
  EXPECT_FLOAT_EQ(cam->positionSpringConstant, 9.0f);
  EXPECT_FLOAT_EQ(cam->cinematicSpringConstant, 1.0f);
  EXPECT_FLOAT_EQ(cam->zoomSpringConstant, 16.0f);
  EXPECT_FLOAT_EQ(cam->cinematicSpeed, 4.0f);
  ExpectMat(CameraEye()->view,
            plat::LookAtRH(plat::Vec3(0, 1.5f, 10), plat::Vec3(0, 1.5f, 0), plat::Vec3(0, 1, 0)));

  // A script turns it elsewhere; Restart brings back the player and the start.
  ASSERT_TRUE(cam->SetTargetByName("dummy"));
  cam->cameraMode = CCameraGOWController::kModePan;
  cam->position = plat::Vec3(9, 9, 9);
  cam->Restart();
  EXPECT_EQ(cam->targetTransform, Player());
  EXPECT_EQ(cam->cameraMode, CCameraGOWController::kModeNormal);
  ExpectVec(cam->position, plat::Vec3(0, 1.5f, 10));
}

TEST_F(FollowCamera, WithoutAPlayerTheTargetKeysObjectIsFollowed) {
  Load(Actor("dummy", 50, 0, 50) + Camera(0, 1.5f, 10));
  EXPECT_TRUE(Logged("no object player"));
  EXPECT_EQ(cam->targetTransform, Part<gfx::CTransform>("dummy"));
  ExpectVec(cam->targetPoint, plat::Vec3(50, 1.5f, 50));
  cam->Update(0.1f);
  ExpectMat(CameraEye()->view,
            plat::LookAtRH(cam->position, cam->targetPoint, plat::Vec3(0, 1, 0)));
}

TEST_F(FollowCamera, WithoutATargetTheCameraStaysAndSaysSoOnce) {
  Load(Actor("bystander", 50, 0, 50) + Camera(0, 1.5f, 10));
  EXPECT_EQ(cam->targetTransform, nullptr);
  EXPECT_TRUE(Logged("no object player"));
  EXPECT_FALSE(cam->SetTargetByName("nobody"));
  EXPECT_TRUE(Logged("no object nobody"));
  const plat::Mat4 view = CameraEye()->view;
  log.clear();
  for (int mode : {0, 2, 3, 4}) {
    cam->cameraMode = mode;
    for (int frame = 0; frame < 3; ++frame) cam->Update(0.1f);
  }
  cam->SetTransitionMode(CCameraGOWController::kTransitionCut);
  cam->Update(0.1f);
  Fatality("zombie", 2.0f, 0.5f);
  cam->Update(0.1f);
  EXPECT_EQ(cam->transitionMode, CCameraGOWController::kTransitionCut);
  ExpectVec(CameraTransform()->position, plat::Vec3(0, 1.5f, 10));
  ExpectMat(CameraEye()->view, view);
  // Said when the target went missing, not again every frame.
  EXPECT_TRUE(log.empty()) << Joined();

  // A target dropped by a script is said once too.
  ASSERT_TRUE(cam->SetTargetByName("bystander"));
  cam->targetTransform = nullptr;
  cam->cameraMode = CCameraGOWController::kModePan;
  cam->Update(0.1f);
  cam->Update(0.1f);
  int lines = 0;
  for (const std::string& line : log) lines += line.find("no target") != std::string::npos;
  EXPECT_EQ(lines, 1) << Joined();
  ExpectVec(CameraTransform()->position, plat::Vec3(0, 1.5f, 10));
}

TEST_F(FollowCamera, BiasMovesAcrossOnceAndItsHeightCountsTwice) {
  Load(Actor("player", 0, 0, 0) + Camera(0, 1.5f, 10));
  cam->pendingBias = plat::Vec3(0, 2, 0);
  cam->desiredDistance = 6.0f;
  cam->dt = 0.5f;
  cam->FollowTarget();
  // Half of the pending bias moved over.
  ExpectVec(cam->pendingBias, plat::Vec3(0, 1, 0));
  ExpectVec(cam->immediateBias, plat::Vec3(0, 1, 0));
  // Goal 2 above the point (twice the bias's 1); k = 4: a = 8, v = 4, x += 2.
  ExpectVec(cam->targetVelocity, plat::Vec3(0, 4, 0));
  ExpectVec(cam->targetPoint, plat::Vec3(0, 3.5f, 0));
  EXPECT_FLOAT_EQ(cam->distance, 8.0f);

  // Held still, the point settles at twice the whole bias above the target height.
  cam->dt = 0.02f;
  for (int frame = 0; frame < 3000; ++frame) cam->FollowTarget();
  ExpectVec(cam->targetPoint, plat::Vec3(0, 5.5f, 0), 1e-3f);
  ExpectVec(cam->immediateBias, plat::Vec3(0, 2, 0), 1e-3f);
}

TEST_F(FollowCamera, NormalModeKeepsTheDistanceBehindTheSprungPoint) {
  Load(Actor("player", 0, 0, 0) + Camera(0, 1.5f, 10));
  cam->SetYaw(90.0f);
  EXPECT_NEAR(cam->targetYaw, utl::kPi / 2, 1e-6f);
  cam->Update(0.1f);
  const gfx::CTransform* t = CameraTransform();
  const plat::Vec3 direction = utl::YawPitchToDirection(t->yaw, t->pitch);
  ExpectVec(cam->position, cam->targetPoint - direction * cam->distance);
  ExpectVec(t->position, cam->position);
  ExpectMat(CameraEye()->view,
            plat::LookAtRH(cam->position, cam->targetPoint, plat::Vec3(0, 1, 0)));
  // A tenth of the way round from pi towards pi/2.
  EXPECT_NEAR(std::fabs(t->yaw), utl::kPi - 0.1f * utl::kPi / 2, 1e-4f);
}

TEST_F(FollowCamera, RailPointSelection) {
  Load(Actor("player", 0, 0, 0) + Camera(0, 1.5f, 10));
  cam->railMaxDistance = 3.0f;
  const plat::Vec3 a(0, 1, 0), b(10, 1, 0), side(0, 0, 1);
  struct Case {
    const char* what;
    plat::Vec3 target;
    plat::Vec3 expected;
  } cases[] = {
      {"on the rail, near", plat::Vec3(5, 1, 2), plat::Vec3(5, 1, 0)},
      {"before the start, near", plat::Vec3(-2, 1, 1), plat::Vec3(0, 1, 0)},
      {"past the end, near", plat::Vec3(12, 1, -1), plat::Vec3(10, 1, 0)},
      {"exactly at the distance", plat::Vec3(5, 1, 3), plat::Vec3(5, 1, -0)},
      {"beyond it: off the rail", plat::Vec3(5, 1, 5), plat::Vec3(5, 1, -2)},
      {"height counts in the distance", plat::Vec3(5, 6, 0), plat::Vec3(5, 1, -2)},
      {"before the start and far", plat::Vec3(-4, 1, 4), plat::Vec3(0, 1, -1)},
  };
  for (const Case& c : cases) {
    cam->targetPoint = c.target;
    float t = 0.0f;
    const plat::Vec3 q = CCameraGOWController::Project(c.target, a, b, t);
    ExpectVec(cam->RailPoint(q, t, a, b, side), c.expected);
    SCOPED_TRACE(c.what);
  }
  // Ends that meet in x-z: the rail is its point, never a division by zero.
  float t = 5.0f;
  const plat::Vec3 q =
      CCameraGOWController::Project(plat::Vec3(3, 0, 3), a, plat::Vec3(0, 7, 0), t);
  EXPECT_EQ(t, 0.0f);
  EXPECT_EQ(q, a);
}

TEST_F(FollowCamera, RailModesAndTheirTrackers) {
  Load(Actor("player", 5, 0, 4) + Rail("rail", {{0, 2, 0}, {10, 2, 0}}) +
       Rail("short", {{1, 1, 1}}) + Camera(0, 2, 0));
  cam->SetTracker(Object("rail"));
  EXPECT_STREQ(cam->GetRailObjectName(), "rail");
  ExpectVec(cam->railSide, plat::Vec3(0, 0, -1));
  cam->railMaxDistance = 10.0f;
  cam->targetPoint = plat::Vec3(5, 1.5f, 4);
  cam->cameraMode = CCameraGOWController::kModeLinearRails;
  cam->Update(0.1f);
  EXPECT_NEAR(cam->position.z, 0.0f, 1e-5f);
  EXPECT_NEAR(cam->position.y, 2.0f, 1e-5f);
  EXPECT_NEAR(cam->position.x, cam->targetPoint.x, 1e-5f);
  ExpectMat(CameraEye()->view,
            plat::LookAtRH(cam->position, cam->targetPoint, plat::Vec3(0, 1, 0)));

  // Fixed rails beyond the end: the angles stay, the view looks across the rail at
  // the target's height.
  Player()->SetPosition(plat::Vec3(20, 0, 4));
  cam->targetPoint = plat::Vec3(20, 1.5f, 4);
  cam->cameraMode = CCameraGOWController::kModeLinearFixedRails;
  const float yaw = CameraTransform()->yaw;
  cam->Update(0.01f);
  EXPECT_FLOAT_EQ(CameraTransform()->yaw, yaw);
  EXPECT_NEAR(cam->position.x, 10.0f, 1e-5f);
  ExpectVec(cam->lookAtPoint, plat::Vec3(10, 1.5f, 10));

  // A rail of one point never runs: the camera stays and the log says why, once.
  cam->SetTracker(Object("short"));
  log.clear();
  const plat::Vec3 before = CameraTransform()->position;
  cam->Update(0.1f);
  cam->Update(0.1f);
  cam->OverrideNextPosition();
  EXPECT_EQ(CameraTransform()->position, before);
  int lines = 0;
  for (const std::string& line : log) lines += line.find("two points") != std::string::npos;
  EXPECT_EQ(lines, 1) << Joined();
}

TEST_F(FollowCamera, CutPlacesTheCameraAtTheDestinationForOneFrame) {
  Load(Actor("player", 3, 0, 0) + Camera(0, 1.5f, 10));
  cam->SetPosition(plat::Vec3(3, 4, 8));
  cam->pendingBias = plat::Vec3(0, 1, 0);
  const float yaw = CameraTransform()->yaw;
  cam->SetTransitionMode(CCameraGOWController::kTransitionCut);
  cam->Update(0.1f);
  EXPECT_EQ(cam->transitionMode, 0);
  ExpectVec(cam->position, plat::Vec3(3, 4, 8));
  ExpectVec(cam->targetPoint, plat::Vec3(3, 2.5f, 0));
  ExpectVec(cam->direction, plat::Normalize(plat::Vec3(0, -1.5f, -8)));
  EXPECT_EQ(CameraTransform()->yaw, yaw);
}

TEST_F(FollowCamera, TravellingSpringsToTheBlendOfTwoRailsThenBlends) {
  Load(Actor("player", 5, 0, 5) + Rail("rail_a", {{0, 2, 0}, {10, 2, 0}}) +
       Rail("rail_b", {{0, 2, 10}, {10, 2, 10}}) + Rail("field", {{5, 0, 0}, {5, 0, 10}}) +
       Camera(5, 2, 0));
  cam->SetTracker(Object("rail_a"));
  cam->fieldTracker = Part<lgc::CTracker>("field");
  cam->railMaxDistance = 20.0f;
  cam->cameraMode = CCameraGOWController::kModeLinearRails;
  cam->SetTracker(Object("rail_b"));
  // Half-way across the field: half-way between the rails.
  cam->SetTransitionMode(CCameraGOWController::kTransitionTravelling);
  EXPECT_EQ(cam->previousRailTracker, Part<lgc::CTracker>("rail_b"));
  // The previous rail is taken when the transition begins: set it as a script does.
  cam->previousRailTracker = Part<lgc::CTracker>("rail_a");
  cam->previousRailSide = plat::Vec3(0, 0, -1);
  int frames = 0;
  while (cam->transitionMode == CCameraGOWController::kTransitionTravelling && frames < 1000) {
    cam->Update(0.05f);
    ++frames;
  }
  EXPECT_EQ(cam->transitionMode, CCameraGOWController::kTransitionBlending);
  EXPECT_NEAR(cam->fieldProgress, 0.5f, 1e-3f);
  ExpectVec(cam->destination, plat::Vec3(5, 2, 5), 1e-2f);
  EXPECT_NEAR(cam->desiredDistance, plat::Length(cam->targetPoint - cam->position), 1e-5f);
  cam->Update(0.05f);
  ExpectVec(cam->position, plat::Vec3(5, 2, 5), 1e-2f);

  // A restart forgets the field with the rails: the level that held them may be gone.
  cam->Restart();
  EXPECT_EQ(cam->fieldTracker, nullptr);
  cam->SetTransitionMode(CCameraGOWController::kTransitionTravelling);
  EXPECT_TRUE(Logged("without a field of two points"));
}

TEST_F(FollowCamera, SplineRowsMatchHandComputedPoints) {
  // Four segments of length 16; half-way along each the Catmull-Rom weights are
  // (-1, 9, 9, -1) / 16.
  Load(Actor("player", 0, 0, 0) +
       Rail("path", {{16, 0, 0}, {16, 0, 16}, {32, 0, 16}, {32, 0, 32}}) +
       Rail("pair", {{16, 0, 0}, {16, 0, 16}}) + Rail("repeat", {{16, 0, 0}, {16, 0, 0}}) +
       Camera(0, 0, 0));
  cam->SetTracker(Object("path"));
  cam->segmentStart = plat::Vec3(0, 0, 0);
  ExpectVec(cam->EvaluatePath(0, 8), plat::Vec3(8, 0, 0));     // start, start, P0, P0
  ExpectVec(cam->EvaluatePath(1, 8), plat::Vec3(15, 0, 8));    // P0, P0, P1, P2
  ExpectVec(cam->EvaluatePath(2, 8), plat::Vec3(24, 0, 16));   // P0, P1, P2, P3
  ExpectVec(cam->EvaluatePath(3, 8), plat::Vec3(33, 0, 24));   // P1, P2, P3, P3
  ExpectVec(cam->EvaluatePath(2, 16), plat::Vec3(32, 0, 16));  // the end of its segment
  cam->SetTracker(Object("pair"));
  ExpectVec(cam->EvaluatePath(1, 8), plat::Vec3(16, 0, 8));  // P0, P0, P1, P1
  // A segment of no length is at its end, never NaN.
  cam->SetTracker(Object("repeat"));
  ExpectVec(cam->EvaluatePath(1, 3), plat::Vec3(16, 0, 0));
}

TEST_F(FollowCamera, CinematicWrapsPostingEachArrivalAndHoldsTheViewOnTheWrap) {
  Load(Actor("player", 0, 0, 0) + Rail("path", {{4, 0, 0}, {4, 0, 4}, {8, 0, 4}}) +
       Camera(0, 0, 0));
  cam->SetTracker(Object("path"));
  cam->cameraMode = CCameraGOWController::kModeCinematic;
  cam->cinematicTargetMode = CCameraGOWController::kCinematicFixedDirection;
  cam->direction = plat::Vec3(1, 0, 0);
  cam->cinematicSpeed = 4.0f;
  cam->StartCinematic();
  EXPECT_FLOAT_EQ(cam->segmentLength, 4.0f);
  std::vector<int> waypoints;
  std::vector<std::string> ids;
  plat::Mat4 view;
  bool wrapped = false;
  for (int frame = 0; frame < 40 && !wrapped; ++frame) {
    view = CameraEye()->view;
    const plat::Vec3 placed = CameraTransform()->position;
    cam->Update(0.25f);
    for (const auto& seen : Delivered()) {
      waypoints.push_back(seen.waypoint);
      ids.push_back(seen.posId);
      EXPECT_EQ(seen.gameObject, "main_camera");
      if (seen.waypoint == 0) {
        wrapped = true;
        EXPECT_EQ(CameraEye()->view, view);
        EXPECT_EQ(CameraTransform()->position, placed);
      }
    }
  }
  EXPECT_EQ(waypoints, (std::vector<int>{1, 2, 0}));
  EXPECT_EQ(ids, (std::vector<std::string>{"path", "path", "path"}));
  // The loop closes from the last point back to the first: no jump to where the
  // cinematic began, and the length of that closing segment governs it.
  ExpectVec(cam->segmentStart, plat::Vec3(8, 0, 4));
  EXPECT_FLOAT_EQ(cam->segmentLength, std::sqrt(32.0f));
  cam->Update(0.25f);
  EXPECT_FLOAT_EQ(cam->travelled, 1.0f);
  const float u = 1.0f / std::sqrt(32.0f);
  ExpectVec(cam->position, plat::CatmullRom(plat::Vec3(8, 0, 4), plat::Vec3(8, 0, 4),
                                            plat::Vec3(4, 0, 0), plat::Vec3(4, 0, 0), u));
  ExpectVec(cam->lookAtPoint, cam->position + plat::Vec3(1, 0, 0));
  // The rest of the loop is the path again.
  for (int frame = 0; frame < 40 && Delivered().empty(); ++frame) cam->Update(0.25f);
  EXPECT_EQ(cam->railIndex, 1);
  EXPECT_FLOAT_EQ(cam->segmentLength, 4.0f);
}

TEST_F(FollowCamera, CinematicSpeedAndPathsWithoutPoints) {
  Load(Actor("player", 0, 0, 0) + Rail("path", {{4, 0, 0}}) + Camera(0, 0, 0));
  cam->SetTracker(Object("path"));
  cam->cameraMode = CCameraGOWController::kModeCinematic;
  cam->cinematicSpeed = 5.0f;
  cam->cinematicTargetSpeed = 3.0f;
  cam->cinematicAcceleration = 1.0f;
  cam->StartCinematic();
  cam->Update(0.5f);
  EXPECT_FLOAT_EQ(cam->cinematicSpeed, 5.0f);  // already faster: kept
  cam->cinematicAcceleration = -2.0f;
  cam->Update(0.5f);
  EXPECT_FLOAT_EQ(cam->cinematicSpeed, 4.0f);

  // A path object without points and no path at all: skipped, said once each.
  obj::CGameObject empty;
  empty.SetName("empty_path");
  ASSERT_TRUE(empty.AddComponent(new lgc::CTracker()));
  cam->SetTracker(&empty);
  log.clear();
  const plat::Vec3 before = CameraTransform()->position;
  cam->StartCinematic();
  cam->Update(0.1f);
  cam->Update(0.1f);
  EXPECT_EQ(CameraTransform()->position, before);
  EXPECT_TRUE(Logged("empty_path has no point 0"));
  int lines = 0;
  for (const std::string& line : log) lines += line.find("no points; skipped") != std::string::npos;
  EXPECT_EQ(lines, 1) << Joined();
  EXPECT_TRUE(Delivered().empty());
  cam->railTracker = nullptr;
  cam->Update(0.1f);
  EXPECT_TRUE(Logged("cinematic on empty_path has no points"));
  empty.Release();
}

TEST_F(FollowCamera, DramaticZoomArrivesAndSaysSoEveryFrameWithItsOwnCopyOfTheId) {
  Load(Actor("player", 0, 0, 0) + Camera(0, 1.5f, 10));
  char id[] = "zoom_a";
  cam->StartDramaticZoom(id, plat::Vec3(0, 3, 4), plat::Vec3(0, 1, 0));
  std::strcpy(id, "gone!!");
  EXPECT_EQ(cam->cameraMode, CCameraGOWController::kModeDramaticZoom);
  EXPECT_STREQ(cam->GetZoomId(), "zoom_a");
  int arrivals = 0;
  for (int frame = 0; frame < 400; ++frame) {
    cam->Update(0.02f);
    for (const auto& seen : Delivered()) {
      EXPECT_EQ(seen.posId, "zoom_a");
      EXPECT_EQ(seen.waypoint, 0);
      ++arrivals;
    }
  }
  ExpectVec(cam->position, plat::Vec3(0, 3, 4), 1e-2f);
  EXPECT_GT(arrivals, 10);
  ExpectVec(cam->lookAtPoint, plat::Vec3(0, 1, 0));
}

TEST_F(FollowCamera, ShakesFromEventsMoveTheLookPointForTheirTime) {
  Load(Actor("player", 0, 0, 0) + Camera(0, 1.5f, 10));
  cam->cameraMode = CCameraGOWController::kModeFixed;
  evn::CEventShake* shake = evn::CEventShake::New();
  shake->power = 50.0f;
  shake->timer = 0.3f;
  // Through the object, as the event manager delivers it.
  Object("main_camera")->HandleEvent(shake);
  shake->Release();
  EXPECT_FLOAT_EQ(cam->shakePower, 50.0f);
  EXPECT_FLOAT_EQ(cam->shakeTimer, 0.3f);
  EXPECT_TRUE(cam->targetShake);
  EXPECT_FALSE(cam->positionShake);
  cam->cameraMode = CCameraGOWController::kModePan;
  cam->Update(0.1f);
  // 50 / (25..74): between 0.67 and 2 off, up or down.
  const float offset = std::fabs(cam->lookAtPoint.y - 1.5f);
  EXPECT_GE(offset, 50.0f / 74.0f - 1e-3f);
  EXPECT_LE(offset, 2.0f + 1e-3f);
  cam->Update(0.1f);
  cam->Update(0.2f);
  EXPECT_FALSE(cam->targetShake);
}

TEST_F(FollowCamera, AShakePostedByAScriptMovesTheView) {
  Load(Actor("player", 0, 0, 0) + Camera(0, 1.5f, 10));
  evn::RegisterGameEventFactories(events.factories);
  evn::RegisterEventBindings(host.GetState());
  cam->cameraMode = CCameraGOWController::kModePan;
  cam->Update(0.1f);
  const plat::Vec3 look = cam->lookAtPoint;
  Run("GetEventManager():TriggerEvent('CEventShake', {power = 50, timer = 1})");
  events.Update(0.0f);
  EXPECT_TRUE(cam->targetShake);
  cam->Update(0.1f);
  EXPECT_GE(std::fabs(cam->lookAtPoint.y - look.y), 50.0f / 74.0f - 1e-3f);
  EXPECT_NE(CameraEye()->view, plat::LookAtRH(cam->position, look, plat::Vec3(0, 1, 0)));
  evn::UnregisterGameEventFactories(events.factories);
}

TEST_F(FollowCamera, FatalityTimelineFromApproachToSettling) {
  Load(Actor("player", 0, 0, 0) + Camera(0, 1.5f, 10));
  dof.on = 1;
  const SDepthOfFieldValues before{20.0f, 1.0f, 30.0f, 0.5f};
  dof.values = before;
  Fatality("zombie", 2.0f, 0.5f);
  EXPECT_EQ(cam->transitionMode, CCameraGOWController::kTransitionFatality);
  EXPECT_EQ(cam->savedTransitionMode, 0);
  EXPECT_FLOAT_EQ(cam->savedFov, 60.0f);
  EXPECT_TRUE(cam->positionShake);
  EXPECT_FLOAT_EQ(cam->shakeTimer, 0.2f);
  EXPECT_FALSE(cam->bossFatality);
  // 5.25 short of the player, looking half-way to the victim at the point's height.
  ExpectVec(cam->fatalityCameraPoint,
            plat::Vec3(0, 1.5f, 10) + plat::Normalize(plat::Vec3(0, -1.5f, -10)) *
                                          (plat::Length(plat::Vec3(0, 1.5f, 10)) - 5.25f));
  ExpectVec(cam->fatalityLookPoint, plat::Vec3(1, 1.5f, 0));
  EXPECT_FLOAT_EQ(cam->focusDistance,
                  plat::Length(cam->fatalityLookPoint - cam->fatalityCameraPoint));

  // Approach: 0.25 .. 0.75; the kill frame is at 1.0.
  for (int frame = 0; frame < 3; ++frame) {
    const float fov = CameraEye()->fov;
    const plat::Vec3 at = cam->position;
    cam->Update(0.25f);
    EXPECT_FLOAT_EQ(CameraEye()->fov, 0.6f * fov + 16.0f);
    ExpectVec(cam->position, at * 0.9f + cam->fatalityCameraPoint * 0.1f);
    EXPECT_TRUE(dof.cinematic);
  }
  EXPECT_NEAR(dof.values.nearBlurPlaneDist, 1.0f * 0.729f + 0.1f * (1 + 0.9f + 0.81f), 1e-4f);
  // Kill: 1.0 .. 1.75 hold the eye and shake it.
  for (int frame = 0; frame < 4; ++frame) {
    const float fov = CameraEye()->fov;
    cam->Update(0.25f);
    EXPECT_FLOAT_EQ(cam->shakePower, 1.5f);
    EXPECT_TRUE(cam->positionShake);
    EXPECT_FLOAT_EQ(CameraEye()->fov, fov);
  }
  // 2.0 exactly waits; after it the normal mode's return moves nothing and settles
  // one frame later.
  cam->Update(0.25f);
  EXPECT_EQ(cam->transitionMode, CCameraGOWController::kTransitionFatality);
  const plat::Vec3 held = cam->position;
  cam->Update(0.25f);
  EXPECT_FALSE(cam->positionShake);
  ExpectVec(cam->position, held);
  EXPECT_EQ(cam->transitionMode, CCameraGOWController::kTransitionFatality);
  cam->Update(0.25f);
  EXPECT_EQ(cam->transitionMode, 0);
  EXPECT_EQ(cam->cameraMode, 0);
  EXPECT_FLOAT_EQ(CameraEye()->fov, 60.0f);
  EXPECT_FALSE(dof.cinematic);
  EXPECT_EQ(dof.values.focalDist, before.focalDist);
  EXPECT_EQ(dof.values.farBlurLimit, before.farBlurLimit);
  EXPECT_EQ(CameraEye()->projection, plat::PerspectiveFovRH(CameraEye()->fovRadians, 1, 1, 100));
}

TEST_F(FollowCamera, RepeatedFatalitiesKeepTheFirstSavedModesAndBossesNeverReturn) {
  Load(Actor("player", 0, 0, 0) + Camera(0, 1.5f, 10));
  dof.on = 1;
  dof.values = SDepthOfFieldValues{20.0f, 1.0f, 30.0f, 0.5f};
  cam->cameraMode = CCameraGOWController::kModePan;
  Fatality("zombie", 1.0f, 0.5f);
  cam->Update(0.25f);
  const SDepthOfFieldValues first = cam->savedDepthOfField;
  ASSERT_LT(CameraEye()->fov, 60.0f);
  Fatality("zombie", 1.0f, 0.5f);
  // The field of view of the first close-up is not the one to return to.
  EXPECT_FLOAT_EQ(cam->savedFov, 60.0f);
  EXPECT_EQ(cam->savedTransitionMode, 0);
  EXPECT_EQ(cam->savedCameraMode, CCameraGOWController::kModePan);
  EXPECT_EQ(cam->savedDepthOfField.focalDist, first.focalDist);
  EXPECT_EQ(cam->savedDepthOfField.focalDist, 20.0f);
  EXPECT_FLOAT_EQ(cam->fatalityTime, 0.0f);

  // An "OnShake" during it replaces power and timer; the eye keeps shaking.
  evn::CEventShake* shake = evn::CEventShake::New();
  shake->power = 3.0f;
  shake->timer = 0.7f;
  cam->HandleEvent(shake);
  shake->Release();
  EXPECT_FLOAT_EQ(cam->shakePower, 3.0f);
  EXPECT_TRUE(cam->targetShake);
  EXPECT_TRUE(cam->positionShake);

  Fatality("Krauser", 1.0f, 0.5f);
  EXPECT_TRUE(cam->bossFatality);
  for (int frame = 0; frame < 40; ++frame) cam->Update(0.25f);
  EXPECT_EQ(cam->transitionMode, CCameraGOWController::kTransitionFatality);
  EXPECT_FALSE(cam->positionShake);
}

TEST_F(FollowCamera, DepthOfFieldIsPutBackOnlyWhenAFatalitySavedIt) {
  Load(Actor("player", 0, 0, 0) + Camera(0, 1.5f, 10));
  dof.on = 0;
  dof.values = SDepthOfFieldValues{20.0f, 1.0f, 30.0f, 0.5f};
  Fatality("zombie", 1.0f, 0.5f);
  for (int frame = 0; frame < 20 && cam->transitionMode != 0; ++frame) cam->Update(0.25f);
  EXPECT_EQ(cam->transitionMode, 0);
  cam->Update(0.25f);
  // Nothing saved: the values are the approach's, never zeros from nowhere.
  EXPECT_GT(dof.values.focalDist, 0.0f);
  EXPECT_GT(dof.values.farBlurPlaneDist, 30.0f * 0.9f);
  EXPECT_FALSE(cam->depthOfFieldSaved);
  EXPECT_FLOAT_EQ(CameraEye()->fov, 60.0f);
}

}  // namespace
}  // namespace vd
