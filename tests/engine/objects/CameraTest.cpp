#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/core/Log.h"
#include "engine/objects/Camera.h"
#include "tests/support/LogRecorder.h"

namespace vd {
namespace cam {
namespace {

class Cameras : public ::testing::Test {
protected:
  void TearDown() override { SetScreenSize(1024, 768); }
  CCamera& Load(const std::string& keys) {
    text = "<Component name='CCamera'>" + keys + "</Component>";
    buffer.assign(text.begin(), text.end());
    buffer.push_back('\0');
    document.parse<0>(buffer.data());
    camera.Load(document.first_node());
    camera.Init();
    return camera;
  }
  void ExpectPlane(const plat::Plane& p, float a, float b, float c, float d) {
    EXPECT_NEAR(p.a, a, 1e-5f);
    EXPECT_NEAR(p.b, b, 1e-5f);
    EXPECT_NEAR(p.c, c, 1e-5f);
    EXPECT_NEAR(p.d, d, 1e-5f * (1.0f + std::fabs(d)) * 10.0f);
  }

  std::string text;
  std::vector<char> buffer;
  rapidxml::xml_document<> document;
  CCamera camera;
};

TEST_F(Cameras, AspectFromItsKeysOrTheScreen) {
  SetScreenSize(1280, 720);
  struct Case {
    const char* keys;
    float aspect;
  } cases[] = {
      {"<key name='aspect_ratio_width' value='16'/><key name='aspect_ratio_height' value='9'/>", 16.0f / 9.0f},
      {"<key name='ASPECT_RATIO_WIDTH' value='4'/>", 1280.0f / 720.0f},
      {"<key name='aspect_ratio_width' value='4'/><key name='aspect_ratio_height' value='0'/>", 1280.0f / 720.0f},
      {"", 1280.0f / 720.0f},
  };
  for (const Case& c : cases) EXPECT_FLOAT_EQ(Load(c.keys).aspect, c.aspect) << c.keys;

  Load("<key name='fov' value='60'/><key name='near' value='1'/><key name='far' value='100'/>"
       "<key name='aspect_ratio_width' value='16'/><key name='aspect_ratio_height' value='9'/>");
  EXPECT_NEAR(camera.aspect, 1.7777778f, 1e-6f);
  EXPECT_NEAR(camera.fovRadians, 1.0471976f, 1e-6f);
  const plat::Mat4 expected = plat::PerspectiveFovRH(1.0471976f, 16.0f / 9.0f, 1, 100);
  EXPECT_EQ(camera.projection, expected);
  EXPECT_TRUE(camera.HasContent());
  EXPECT_EQ(camera.GetFamilyType().GetHash(), CCamera::GetClassName().GetHash());
}

TEST_F(Cameras, UnusableValuesAreRefusedWithALogLineAndTheTemplatesKept) {
  std::vector<std::string> lines;
  utl::CLogSinkHolder sinks;
  sinks.AddSink(new test::CLogRecorder(&lines));
  utl::SetLogSinks(&sinks);
  const std::string good =
      "<key name='fov' value='60'/><key name='near' value='1'/><key name='far' value='100'/>";
  const plat::Mat4 expected = plat::PerspectiveFovRH(1.0471976f, 4.0f / 3.0f, 1, 100);
  const char* bad[] = {
      "<key name='fov' value='0'/>",   "<key name='fov' value='-30'/>",
      "<key name='fov' value='180'/>", "<key name='fov' value='nan'/>",
      "<key name='near' value='0'/>",  "<key name='far' value='inf'/>",
      "<key name='near' value='-1'/>",
  };
  for (const char* keys : bad) {
    lines.clear();
    Load(good);
    Load(keys);  // the instance's keys over the template's
    EXPECT_EQ(lines.size(), 1u) << keys;
    EXPECT_NE(lines.empty() ? std::string::npos : lines[0].find("refused"), std::string::npos)
        << keys;
    EXPECT_FLOAT_EQ(camera.fov, 60.0f) << keys;
    EXPECT_EQ(camera.projection, expected) << keys;
  }
  // Keys that are each fine but cannot make a projection together.
  lines.clear();
  CCamera far;
  far.projection = expected;
  text =
      "<Component><key name='fov' value='60'/><key name='near' value='5'/>"
      "<key name='far' value='5'/></Component>";
  buffer.assign(text.begin(), text.end());
  buffer.push_back('\0');
  document.parse<0>(buffer.data());
  far.Load(document.first_node());
  EXPECT_TRUE(far.Init());
  EXPECT_EQ(far.projection, expected);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("no projection"), std::string::npos) << lines[0];
  utl::SetLogSinks(nullptr);
}

TEST_F(Cameras, FrustumPlanesOfAKnownCamera) {
  Load("<key name='fov' value='90'/><key name='near' value='1'/><key name='far' value='100'/>"
       "<key name='aspect_ratio_width' value='1'/><key name='aspect_ratio_height' value='1'/>");
  camera.Update(0.0f);
  const float h = 0.70710678f;
  ExpectPlane(camera.frustum[utl::IEye::kNear], 0, 0, -1, -1);
  ExpectPlane(camera.frustum[utl::IEye::kFar], 0, 0, 1, 100);
  ExpectPlane(camera.frustum[utl::IEye::kLeft], h, 0, -h, 0);
  ExpectPlane(camera.frustum[utl::IEye::kRight], -h, 0, -h, 0);
  ExpectPlane(camera.frustum[utl::IEye::kTop], 0, -h, -h, 0);
  ExpectPlane(camera.frustum[utl::IEye::kBottom], 0, h, -h, 0);
  for (const plat::Plane& plane : camera.frustum) {
    EXPECT_GT(plat::PlaneDotCoord(plane, plat::Vec3(0, 0, -50)), 0.0f);
  }
  EXPECT_LT(plat::PlaneDotCoord(camera.frustum[utl::IEye::kNear], plat::Vec3(0, 0, 50)), 0.0f);

  // The controller's view moves the planes with the eye.
  camera.view = plat::LookAtRH(plat::Vec3(0, 0, 10), plat::Vec3(0, 0, 0), plat::Vec3(0, 1, 0));
  camera.Update(0.0f);
  ExpectPlane(camera.frustum[utl::IEye::kNear], 0, 0, -1, 9);
  ExpectPlane(camera.frustum[utl::IEye::kFar], 0, 0, 1, 90);
  EXPECT_LT(plat::PlaneDotCoord(camera.frustum[utl::IEye::kNear], plat::Vec3(0, 0, 9.5f)), 0.0f);
}

TEST_F(Cameras, CheckpointCopiesTheWholeEye) {
  Load("<key name='fov' value='45'/><key name='near' value='0.5'/><key name='far' value='50'/>");
  camera.view = plat::Translation(1, 2, 3);
  camera.Update(0.0f);
  camera.SaveCheckPoint();
  const float savedLeft = camera.frustum[utl::IEye::kLeft].a;
  camera.view = plat::Mat4();
  camera.fov = 10.0f;
  camera.Update(0.0f);
  camera.LoadCheckPoint();
  EXPECT_EQ(camera.view, plat::Translation(1, 2, 3));
  EXPECT_EQ(camera.fov, 45.0f);
  EXPECT_EQ(camera.frustum[utl::IEye::kLeft].a, savedLeft);
  EXPECT_FALSE(camera.IsCheckPointCopy());
  EXPECT_NE(camera.GetCheckPointCopy(), nullptr);
}

}  // namespace
}  // namespace cam
}  // namespace vd
