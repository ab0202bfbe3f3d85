// The HUD drawn over a frame on the GL back end (Mesa's software GL with
// SDL_VIDEODRIVER=offscreen): the shipped HUD objects, effect, meshes and pictures,
// read back where the dashboard stands, where its life needle points and where
// nothing of the HUD is.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "engine/events/EventManager.h"
#include "engine/events/GameEvents.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Renderer.h"
#include "engine/render/RenderManager.h"
#include "engine/render/buffers/VertexBuffer.h"
#include "game/flow/hud/Hud.h"
#include "platform/gpu/Device.h"
#include "platform/window/Window.h"
#include "tests/support/GlWindow.h"
#include "tests/support/LuaFixture.h"

namespace vd {
namespace {

namespace gpu = plat::gpu;

// Half the HUD's 1024 x 768 base: one window pixel is two base pixels.
constexpr int kWidth = 512;
constexpr int kHeight = 384;

class HudGlTest : public test::LuaFixture {
protected:
  void SetUp() override {
    LuaFixture::SetUp();
    ASSERT_NO_FATAL_FAILURE(test::OpenGlDevice(kWidth, kHeight, window, gpuObject, device));
    gfx::SetRenderDevice(device);
    ASSERT_TRUE(render.Init(nullptr));
    evn::InitEngineEventTypes();
    evn::InitGameEventTypes();
    ASSERT_TRUE(events.Init());
    auto& makers = objects.componentFactories;
    obj::RegisterObjectComponentFactories(makers);
    gfx::RegisterRendererFactory(makers);
    ASSERT_TRUE(objects.Init());
    ASSERT_TRUE(render.LoadShaders("Data/xml/menu_shaders.xml"));
    ASSERT_TRUE(render.LoadTextures("Data/xml/hud_textures.xml"));
    ASSERT_TRUE(objects.LoadTemplates("Data/xml/common_templates.xml"));
    objects.LoadInstances("Data/xml/hud_instances.xml", "", true);
    objects.ApplyQueuedRequests();
    ASSERT_TRUE(hud.Init()) << Joined();
    // The queued effect, meshes and pictures are made; the renderers find their effect.
    Commit();
    for (int i = 0; i < CHUD::kElementCount; ++i) {
      ASSERT_NE(hud.Element(i).renderer, nullptr) << CHUD::ElementName(i);
      hud.Element(i).renderer->Update(0.0f);
      ASSERT_TRUE(hud.Element(i).renderer->IsShaderReady()) << CHUD::ElementName(i);
    }
  }
  void TearDown() override {
    hud.Reset();
    events.Clear();
    objects.Clear();
    utl::DeleteFactoryMakers(objects.componentFactories);
    render.Shutdown();
    gfx::SetRenderDevice(nullptr);
    test::CloseGlDevice(window, gpuObject, device);
    LuaFixture::TearDown();
  }

  void Commit() {
    render.commitRequested = true;
    render.CommitRenderData();
  }
  // B, G, R, A of the presented frame, rows from the top.
  std::vector<uint8_t> Draw() {
    Commit();
    render.RenderFrame(nullptr, 1.0f / 60.0f, 1.0f / 60.0f);
    std::vector<uint8_t> pixels;
    EXPECT_EQ(device->ReadPixels(nullptr, gpu::Rect{0, 0, kWidth, kHeight}, &pixels), gpu::kOk);
    EXPECT_EQ(pixels.size(), size_t(kWidth * kHeight * 4));
    return pixels;
  }
  // The pixel under a point of the base screen.
  static const uint8_t* At(const std::vector<uint8_t>& pixels, float baseX, float baseY) {
    const int x = static_cast<int>(baseX * kWidth / 1024.0f);
    const int y = static_cast<int>(baseY * kHeight / 768.0f);
    return &pixels[(size_t(y) * kWidth + size_t(x)) * 4];
  }
  static int Brightness(const uint8_t* p) { return p[0] + p[1] + p[2]; }

  void Life(int life) {
    evn::CEventHUDChange* change = evn::CEventHUDChange::New();
    change->life = life;
    change->force = true;
    hud.HandleEvent(change);
    change->Release();
  }

  std::unique_ptr<plat::Window> window;
  gpu::Gpu* gpuObject = nullptr;
  gpu::Device* device = nullptr;
  gfx::CRenderManager render;
  evn::CEventManager events;
  obj::CGameObjectManager objects;
  CHUD hud;
};

TEST_F(HudGlTest, TheDashboardIsDrawnOverTheFrameAndItsNeedleFollowsTheLife) {
  // The stopwatch's white face, a point on the life needle at full life (pointing
  // down to the right of its pivot), the same distance to the left (where it points
  // with no life), and the middle of the screen, where the HUD has nothing.
  const float stopwatch[2] = {16 + 318 + 12, 560 + 150 + 8};
  const float pivot[2] = {16 + 96, 560 + 104};
  const float full[2] = {pivot[0] + 40 * 0.866f, pivot[1] + 40 * 0.5f};
  const float empty[2] = {pivot[0] - 40 * 0.866f, pivot[1] + 40 * 0.5f};
  const float middle[2] = {512, 300};

  // Before the dashboard has faded in, nothing of it shows.
  std::vector<uint8_t> frame = Draw();
  EXPECT_LT(Brightness(At(frame, stopwatch[0], stopwatch[1])), 30);

  Life(100);
  for (int i = 0; i < 60; ++i) hud.Update(1.0f / 60.0f);
  frame = Draw();
  EXPECT_GT(Brightness(At(frame, stopwatch[0], stopwatch[1])), 450) << "the stopwatch's face";
  EXPECT_LT(Brightness(At(frame, middle[0], middle[1])), 30) << "nothing of the HUD there";
  const uint8_t* needle = At(frame, full[0], full[1]);
  EXPECT_GT(needle[2], 150) << "the red needle at full life";
  EXPECT_LT(needle[1], 120);
  EXPECT_LT(At(frame, empty[0], empty[1])[2], 60) << "the dial's dark face where it would be at 0";

  // Life gone: the needle swings to the other end.
  Life(0);
  hud.Update(1.0f / 60.0f);
  frame = Draw();
  EXPECT_LT(At(frame, full[0], full[1])[2], 60);
  EXPECT_GT(At(frame, empty[0], empty[1])[2], 150);

  // The black screen covers everything at once.
  hud.ShowBlackScreen(0.0f);
  frame = Draw();
  EXPECT_LT(Brightness(At(frame, stopwatch[0], stopwatch[1])), 10);
}

TEST_F(HudGlTest, TheBossBarFillsTheBossShareOfLifeFromTheLeft) {
  evn::CEventHUDChange* change = evn::CEventHUDChange::New();
  change->bossLifeInit = 100;
  change->bossLife = 50;
  hud.HandleEvent(change);
  change->Release();
  hud.ShowBossStats();
  for (int i = 0; i < 60; ++i) hud.Update(1.0f / 60.0f);
  ASSERT_STREQ(hud.bossBar.renderer->GetTechniqueName().GetText(), "TechGUIAlignCenterAlphaTest");

  // The fill's window runs from x 261 to 763 on the base screen, at the height of 56.
  const float left[2] = {330, 56};
  const float right[2] = {700, 56};
  std::vector<uint8_t> frame = Draw();
  const uint8_t* filled = At(frame, left[0], left[1]);
  EXPECT_GT(filled[2], 150) << "half the life: a yellow fill on the left";
  EXPECT_GT(filled[1], 150);
  EXPECT_LT(filled[0], 100);
  EXPECT_LT(Brightness(At(frame, right[0], right[1])), 120) << "the dark back on the right";

  change = evn::CEventHUDChange::New();
  change->bossLife = 90;
  hud.HandleEvent(change);
  change->Release();
  hud.Update(1.0f / 60.0f);
  frame = Draw();
  EXPECT_GT(At(frame, right[0], right[1])[1], 150) << "nearly full: the fill reaches the right";
}

}  // namespace
}  // namespace vd
