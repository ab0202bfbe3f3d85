// The main page drawn through the screen-sprite effect on GL (Mesa's software GL with
// SDL_VIDEODRIVER=offscreen): the three buttons at the places and with the textures
// the menu gives them. Moving the highlight down changes the pixels of both the button
// it leaves and the one it reaches, and nothing else.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/XmlFile.h"
#include "engine/render/Shader.h"
#include "engine/render/buffers/VertexTypes.h"
#include "game/flow/GameOptions.h"
#include "game/flow/GameWorld.h"
#include "game/flow/menu/MenuState.h"
#include "platform/image/Image.h"
#include "platform/window/Window.h"
#include "tests/support/GlWindow.h"

namespace vd {
namespace {

using namespace plat::gpu;

constexpr int kWidth = 256, kHeight = 192;  // the 1024 x 768 base screen at a quarter

class CPressedMenu : public CGameStateMenu {
public:
  bool SlotPressed(int slot) const override { return slot == pressed; }
  void PlaySound(const char*) override {}
  void QueueEnable(SMenuElement&, bool) override {}
  void ShowTexture(SMenuElement& element, const std::string& texture) override {
    if (!texture.empty()) element.shown = texture;
  }
  int pressed = -1;
};

struct SPlace {
  float x, y, w, h;
};

// Where the menu's instance file puts an element.
bool PlaceOf(const char* name, SPlace& place) {
  utl::CXmlFile file;
  if (file.Load("Data/xml/menu_main_instances.xml") != utl::CXmlFile::EResult::Ok) return false;
  for (auto* object = file.Document().first_node("GameObject"); object;
       object = object->next_sibling("GameObject")) {
    if (std::string(object->first_attribute("name")->value()) != name) continue;
    auto* transform = object->first_node("Component");
    for (auto* key = transform->first_node("key"); key; key = key->next_sibling("key")) {
      const std::string which = key->first_attribute("name")->value();
      const float x = std::atof(key->first_attribute("X")->value());
      const float y = std::atof(key->first_attribute("Y")->value());
      if (which == "position") place.x = x, place.y = y;
      if (which == "scale") place.w = x, place.h = y;
    }
    return true;
  }
  return false;
}

class MenuGlTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(test::OpenGlDevice(kWidth, kHeight, window, gpu, device));
  }
  void TearDown() override {
    shader.Release();
    for (auto& t : textures) t.second->Release();
    test::CloseGlDevice(window, gpu, device);
  }

  BaseTexture* Texture(const std::string& name) {
    auto it = textures.find(name);
    if (it != textures.end()) return it->second;
    plat::image::Image image;
    std::string error;
    EXPECT_TRUE(plat::image::LoadFile("Data/textures/" + name, image, error)) << name << error;
    BaseTexture* texture = nullptr;
    EXPECT_EQ(device->CreateTextureFromImage(image, &texture), kOk) << name;
    textures[name] = texture;
    return texture;
  }

  // The page as the menu shows it: each button with its current texture.
  std::vector<uint8_t> Draw(CGameStateMenu& menu) {
    EXPECT_EQ(device->BeginScene(), kOk);
    device->Clear(0, nullptr, kClearTarget, 0xFF000000u, 1.0f, 0);
    for (const char* name : kButtons) {
      SPlace place{};
      EXPECT_TRUE(PlaceOf(name, place)) << name;
      gfx::TEXTURED_VERTEX quad[6];
      const float corners[6][2] = {{0, 0}, {1, 0}, {0, 1}, {0, 1}, {1, 0}, {1, 1}};
      for (int i = 0; i < 6; ++i) {
        quad[i].position = plat::Vec3(place.x + corners[i][0] * place.w,
                                      place.y + corners[i][1] * place.h, 0.0f);
        quad[i].uv0 = plat::Vec2(corners[i][0], corners[i][1]);
      }
      shader.SetTexture(shader.GetHandle(gfx::kHTexDiffuse), Texture(menu.Element(name)->shown));
      EXPECT_EQ(shader.Begin(), 1u);
      shader.BeginPass(0);
      device->SetFVF(gfx::TEXTURED_VERTEX::kFvf);
      EXPECT_EQ(device->DrawPrimitiveUP(kTriangleList, 2, quad, sizeof(quad[0])), kOk);
      shader.EndPass();
      shader.End();
    }
    EXPECT_EQ(device->EndScene(), kOk);
    EXPECT_EQ(device->Present(), kOk);
    std::vector<uint8_t> pixels;
    EXPECT_EQ(device->ReadPixels(nullptr, Rect{0, 0, kWidth, kHeight}, &pixels), kOk);
    return pixels;
  }

  // Pixels of the rows [y0, y1) of the base screen that differ between two frames.
  static int Changed(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, float y0,
                     float y1) {
    int changed = 0;
    if (a.size() != b.size() || a.size() < size_t(kWidth) * kHeight * 4) return -1;
    for (int y = int(y0 / 4); y < int(y1 / 4); ++y)
      for (int x = 0; x < kWidth; ++x) {
        const size_t i = (size_t(y) * kWidth + x) * 4;
        int d = 0;
        for (int c = 0; c < 3; ++c) d += std::abs(int(a[i + c]) - int(b[i + c]));
        changed += d > 24;
      }
    return changed;
  }

  static constexpr const char* kButtons[3] = {"menu_button_newgame", "menu_button_options",
                                              "menu_button_exit"};
  std::unique_ptr<plat::Window> window;
  Gpu* gpu = nullptr;
  Device* device = nullptr;
  gfx::CShader shader;
  std::map<std::string, BaseTexture*> textures;
};

TEST_F(MenuGlTest, MovingTheHighlightRedrawsTheTwoButtonsItConcerns) {
  shader.Init(CStringHash("gui"), "Data/shaders/gui.fxo");
  ASSERT_TRUE(shader.LoadEffect(device));
  ASSERT_TRUE(shader.SetTechnique("TechGUIAlignCenter"));
  shader.SetFloat("gBaseWidth", 1024.0f);
  shader.SetFloat("gBaseHeight", 768.0f);
  shader.SetFloat("gBaseAspectRatio", 1024.0f / 768.0f);
  shader.SetFloat(shader.GetHandle(gfx::kHAspectRatio), float(kWidth) / kHeight);
  shader.SetMatrix("gWorld", plat::Mat4::Identity());
  shader.SetVector("gColor", plat::Vec4(1, 1, 1, 1));
  shader.SetFloat("gScale", 1.0f);

  CGameOptions options("no such file");
  CFrontEndData frontEnd;
  CPressedMenu menu;
  ASSERT_TRUE(menu.Enter(nullptr, &options, nullptr, &frontEnd));
  const std::vector<uint8_t> first = Draw(menu);
  menu.pressed = 22;  // down
  menu.Update(0.016f);
  ASSERT_EQ(menu.selected, CStringHash("menu_button_options"));
  const std::vector<uint8_t> second = Draw(menu);

  SPlace newGame{}, options_{}, exit{};
  ASSERT_TRUE(PlaceOf("menu_button_newgame", newGame));
  ASSERT_TRUE(PlaceOf("menu_button_options", options_));
  ASSERT_TRUE(PlaceOf("menu_button_exit", exit));
  // Both looks are drawn: words are there on the black in either frame.
  EXPECT_GT(Changed(first, std::vector<uint8_t>(first.size(), 0), newGame.y, newGame.y + newGame.h), 100);
  EXPECT_GT(Changed(first, second, newGame.y, newGame.y + newGame.h), 100);
  EXPECT_GT(Changed(first, second, options_.y, options_.y + options_.h), 100);
  EXPECT_EQ(Changed(first, second, exit.y, exit.y + exit.h), 0);
}

}  // namespace
}  // namespace vd
