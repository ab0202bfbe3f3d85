// The player's use prompt on the game's HUD: bound when play begins, let go with
// the level.
#include <gtest/gtest.h>

#include <cmath>

#include "game/flow/GameWorld.h"
#include "tests/game/player/PlayerFixture.h"

namespace vd {
namespace {

class HudPrompt : public test::PlayerFixture {
protected:
  void BuildWithLever() {
    test::CTempFile templates(base + "_usable.xml",
                              "<GameObjectTemplate name='usable'><Component name='CTransform'/>"
                              "</GameObjectTemplate>");
    ASSERT_TRUE(objects.LoadTemplates(templates.Path()));
    extraInstances = "<GameObject name='lever' GameObjectTemplate='usable'/>";
    Build(plat::Vec3(0, 0, 0), false);
    controller->hitInterval = 0.0f;  // the prompt waits that long after a hit
    lever = objects.GetGameObjectByName(CStringHash("lever"))->GetComponent<gfx::CTransform>();
    auto* offer = evn::CEventEnableUse::New();
    offer->usable = true;
    offer->objectName = CStringHash("lever");
    controller->HandleEvent(offer);
    offer->Release();
  }
  // The lever 3 m away at `degrees` from the player's facing, then a frame.
  void LeverAt(float degrees) {
    const float yaw = transform->yaw + degrees * 3.14159265f / 180.0f;
    lever->position =
        transform->position + plat::Vec3(3.0f * std::sin(yaw), 0.0f, 3.0f * std::cos(yaw));
    lever->UpdateMatrix();
    Frame();
  }

  gfx::CTransform* lever = nullptr;
};

TEST_F(HudPrompt, ThePromptShowsAndHidesTheHudsButtonUntilTheLevelIsLetGo) {
  BuildWithLever();
  CGameWorld world;
  world.hud.Init();
  world.BindUsePrompt();
  LeverAt(10.0f);
  EXPECT_TRUE(world.hud.IsButtonVisible());
  EXPECT_EQ(world.hud.GetButtonTexture(), "hud/Keyboard_K.dds");
  // A prompt shown stays on screen: the HUD's own clock does not hide it.
  world.hud.Update(5.0f);
  EXPECT_TRUE(world.hud.IsButtonVisible());
  LeverAt(90.0f);
  EXPECT_FALSE(world.hud.IsButtonVisible());

  world.Reset();
  LeverAt(0.0f);
  EXPECT_EQ(controller->usePromptShown, 1);
  EXPECT_FALSE(world.hud.IsButtonVisible());
}

}  // namespace
}  // namespace vd
