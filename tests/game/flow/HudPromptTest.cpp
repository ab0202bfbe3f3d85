// The player's use prompt on the game's HUD: bound when play begins, let go with
// the level.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/render/RenderManager.h"
#include "game/flow/GameWorld.h"
#include "platform/gpu/Device.h"
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

  // The prompt's pictures, made, in a render manager that comes after the player
  // (whose figure then stays off the render lists and updates every frame).
  void AddPromptPictures() {
    render = std::make_unique<gfx::CRenderManager>();
    recorder = std::make_shared<plat::gpu::Recorder>();
    gpu = plat::gpu::CreateRecordingGpu(recorder);
    plat::gpu::PresentParameters pp;
    ASSERT_EQ(gpu->CreateDevice(0, plat::gpu::kDevTypeHal, nullptr, 0, &pp, &device), plat::gpu::kOk);
    for (const char* name : {"hud/Keyboard_K.dds", "hud/Button_A.dds"}) {
      auto* texture = new gfx::CTexture();
      texture->name = CStringHash(name);
      texture->name.MakeOwned();
      ASSERT_EQ(device->CreateTexture(1, 1, 1, 0, plat::gpu::kFmtA8R8G8B8, plat::gpu::kPoolManaged,
                                      &texture->texture2D),
                plat::gpu::kOk);
      render->textures.Add(texture->name, texture);
    }
  }
  void TearDown() override {
    PlayerFixture::TearDown();
    render.reset();
    if (device) device->Release();
    if (gpu) gpu->Release();
  }

  gfx::CTransform* lever = nullptr;
  std::unique_ptr<gfx::CRenderManager> render;
  std::shared_ptr<plat::gpu::Recorder> recorder;
  plat::gpu::Gpu* gpu = nullptr;
  plat::gpu::Device* device = nullptr;
};

TEST_F(HudPrompt, ThePromptShowsAndHidesTheHudsButtonUntilTheLevelIsLetGo) {
  BuildWithLever();
  AddPromptPictures();
  CGameWorld world;
  world.hud.Init();
  world.BindUsePrompt();
  LeverAt(10.0f);
  EXPECT_TRUE(world.hud.IsButtonVisible());
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
