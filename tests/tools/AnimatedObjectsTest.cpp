// The level's gates and animated objects as the game loads them: the committed files
// are what gen_animated_objects writes, every object is made with its mesh, and the
// lever's stand point lies where its use is offered.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "engine/collision/Colliders.h"
#include "engine/collision/CollisionManager.h"
#include "engine/collision/Trigger.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Renderer.h"
#include "engine/objects/Transform.h"
#include "engine/render/RenderManager.h"
#include "engine/script/ScriptManager.h"
#include "tests/support/LogRecorder.h"
#include "tests/support/Files.h"

namespace vd {
namespace {

namespace fs = std::filesystem;

using vd::test::ReadFile;

class AnimatedObjectsTest : public ::testing::Test {
protected:
  void TearDown() override { fs::remove_all(scratch); }
  test::CLogCapture capture;
  const fs::path scratch = fs::temp_directory_path() / ("gates_" + std::to_string(::getpid()));
};

TEST_F(AnimatedObjectsTest, TheGeneratorIsReproducibleAndItsOutputIsCommitted) {
  for (const char* run : {"a", "b"})
    ASSERT_EQ(
        std::system(
            ("'" GEN_ANIMATED_OBJECTS "' '" + (scratch / run).string() + "' > /dev/null").c_str()),
        0);
  std::map<std::string, std::string> first;
  for (const auto& entry : fs::recursive_directory_iterator(scratch / "a"))
    if (entry.is_regular_file())
      first[fs::relative(entry.path(), scratch / "a").string()] = ReadFile(entry.path());
  ASSERT_GE(first.size(), 6u);
  for (const auto& [name, content] : first) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(ReadFile(scratch / "b" / name) == content) << "two runs differ";
    EXPECT_TRUE(ReadFile(name) == content) << "run gen_animated_objects and commit its Data";
  }
}

TEST_F(AnimatedObjectsTest, TheLeverIsMadeAndItsStandPointIsInsideItsUseBox) {
  gfx::CRenderManager renderer;
  phy::CCollisionManager collision;
  ASSERT_TRUE(collision.Init(1.0f / 60.0f));
  lgc::CScriptManager scripts;
  ASSERT_TRUE(scripts.Init());
  obj::CGameObjectManager objects;
  obj::RegisterObjectComponentFactories(objects.componentFactories);
  phy::RegisterCollisionComponentFactories(objects.componentFactories);
  gfx::RegisterRendererFactory(objects.componentFactories);
  ASSERT_TRUE(objects.Init());
  ASSERT_TRUE(renderer.LoadTextures("Data/xml/level1_textures.xml"));
  ASSERT_TRUE(renderer.LoadMaterials("Data/xml/level1_materials.xml"));
  ASSERT_TRUE(objects.LoadTemplates("Data/xml/level1_animatedobjects_templates.xml"));
  objects.LoadInstances("Data/xml/level1_animatedobjects_instances.xml", "AnimatedObjects", true);
  objects.ApplyQueuedRequests();

  for (const char* name : {"lever_backstreet", "lever_backstreet_handle"}) {
    SCOPED_TRACE(name);
    obj::CGameObject* object = objects.GetGameObjectByName(CStringHash(name));
    ASSERT_NE(object, nullptr);
    gfx::CRenderer* r = object->GetComponent<gfx::CRenderer>();
    ASSERT_NE(r, nullptr);
    EXPECT_NE(r->GetRenderData().mesh, nullptr);
  }
  obj::CGameObject* lever = objects.GetGameObjectByName(CStringHash("lever_backstreet"));
  obj::CGameObject* box = objects.GetGameObjectByName(CStringHash("trigger_use_lever_backstreet"));
  ASSERT_NE(box, nullptr);
  ASSERT_NE(box->GetComponent<lgc::CTrigger>(), nullptr);

  // What the player's use reads from the lever's script.
  auto number = [lever](const char* key) {
    const char* text = obj::GetScriptString(lever, key);
    return text ? std::atof(text) : std::nan("");
  };
  ASSERT_NE(obj::GetScriptString(lever, "player_animation"), nullptr) << capture.Text();
  const plat::Vec3 at = lever->GetComponent<gfx::CTransform>()->position;
  const plat::Vec3 stand(at.x + static_cast<float>(number("player_relative_position_x")),
                         at.y + static_cast<float>(number("player_relative_position_y")),
                         at.z + static_cast<float>(number("player_relative_position_z")));
  const plat::Vec3 centre = box->GetComponent<gfx::CTransform>()->position;
  // The box is 4 m wide and long, 3 m high.
  EXPECT_LE(std::fabs(stand.x - centre.x), 2.0f);
  EXPECT_LE(std::fabs(stand.z - centre.z), 2.0f);
  EXPECT_LE(std::fabs(stand.y - centre.y), 1.5f);
  EXPECT_FALSE(capture.Contains("could not be read")) << capture.Text();
  objects.Clear();
  collision.Release();
}

}  // namespace
}  // namespace vd
