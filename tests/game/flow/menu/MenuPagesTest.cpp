// The menu's pages without the game: presses go straight to the state, the element
// table comes from the game's own Data/xml/menu_main.xml, and what the pages switch
// on and off, play and draw is recorded.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/core/XmlFile.h"
#include "engine/events/EngineEvents.h"
#include "engine/events/EventManager.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Renderer.h"
#include "engine/objects/Transform.h"
#include "engine/render/RenderManager.h"
#include "engine/render/Shader.h"
#include "game/flow/GameOptions.h"
#include "game/flow/GameWorld.h"
#include "game/flow/menu/MenuPages.h"
#include "game/flow/menu/MenuState.h"
#include "platform/gpu/Device.h"
#include "tests/support/LogRecorder.h"
#include "tests/support/LuaFixture.h"

namespace vd {
namespace {

constexpr int kUp = 20, kDown = 22, kRight = 21, kLeft = 23, kAccept = 25, kBack = 27,
              kEscape = 26;

class CRecordingMenu : public CGameStateMenu {
public:
  bool SlotPressed(int slot) const override { return pressed.count(slot) != 0; }
  float SlotValue(int slot) const override {
    auto it = held.find(slot);
    return it == held.end() ? 0.0f : it->second;
  }
  void PlaySound(const char* name) override { sounds.push_back(name); }
  void QueueEnable(SMenuElement& element, bool enable) override {
    enabled[element.name.c_str()] = enable;
  }
  void ShowTexture(SMenuElement& element, const std::string& texture) override {
    if (!texture.empty()) element.shown = texture;
  }
  void SetTypeVolume(const char* type, float volume) override { volumes[type] = volume; }
  void QuitGame() override { quit = true; }

  std::set<int> pressed;
  std::map<int, float> held;
  std::vector<std::string> sounds;
  std::map<std::string, bool> enabled;
  std::map<std::string, float> volumes;
  bool quit = false;
};

class MenuPagesTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(menu.Enter(nullptr, &options, nullptr, &frontEnd));
    ASSERT_EQ(frontEnd.menuTable.size(), 125u);
  }

  // One frame with these slots pressed.
  void Press(std::initializer_list<int> slots) {
    menu.pressed = slots;
    menu.Update(1.0f / 60.0f);
    menu.pressed.clear();
  }
  std::string Selected() const { return menu.selected.c_str(); }
  std::string Pending(const CStringHash& name) const { return name.c_str(); }
  const SMenuElement& Element(const char* name) { return *menu.Element(name); }

  CGameOptions options{"no such file"};
  CFrontEndData frontEnd;
  CRecordingMenu menu;
};

TEST_F(MenuPagesTest, EnteringShowsTheMainPageWithNewGameHighlighted) {
  EXPECT_EQ(menu.page, CGameStateMenu::kPageMainMenu);
  EXPECT_EQ(Selected(), "menu_button_newgame");
  EXPECT_EQ(Element("menu_button_newgame").shown, "eng/menu/button_newgame_hl.png");
  EXPECT_EQ(Element("menu_button_options").shown, "eng/menu/button_options.png");
  EXPECT_TRUE(menu.enabled["menu_button_exit"]);
  EXPECT_TRUE(menu.enabled["menu_black_front"]);
  EXPECT_FALSE(menu.enabled["menu_blackening"]);
  // The pending values start from the options.
  EXPECT_EQ(Pending(frontEnd.pending.difficulty), "difficulty_normal");
  EXPECT_EQ(Pending(frontEnd.pending.shadowsQuality), "shadowsquality_high");
}

// A walk through the pages: each press and where it leaves the menu.
TEST_F(MenuPagesTest, NavigationWalksTheRingsAndPages) {
  struct Step {
    int slot;
    int page;
    const char* selected;
  };
  const Step walk[] = {
      {kDown, 0, "menu_button_options"},
      {kDown, 0, "menu_button_exit"},
      {kDown, 0, "menu_button_newgame"},  // the ring wraps down
      {kUp, 0, "menu_button_exit"},       // and up
      {kAccept, 6, "exit_no"},
      {kUp, 6, "exit_yes"},
      {kDown, 6, "exit_no"},
      {kBack, 0, "menu_button_exit"},
      {kUp, 0, "menu_button_options"},
      {kAccept, 2, "menu_button_gameoptions"},
      {kUp, 2, "menu_button_back"},
      {kAccept, 0, "menu_button_options"},
      {kAccept, 2, "menu_button_gameoptions"},
      {kDown, 2, "menu_button_graphics"},
      {kAccept, 4, "option_resolution"},
      {kUp, 4, "menu_button_back"},
      {kDown, 4, "option_resolution"},
      {kEscape, 2, "menu_button_graphics"},
      {kDown, 2, "menu_button_sound"},
      {kAccept, 5, "option_musicvolume"},
      {kUp, 5, "menu_button_back"},
      {kAccept, 2, "menu_button_sound"},
      {kUp, 2, "menu_button_graphics"},
      {kUp, 2, "menu_button_gameoptions"},
      {kAccept, 3, "option_difficulty"},
      {kUp, 3, "menu_button_back"},
      {kDown, 3, "option_difficulty"},
      {kBack, 2, "menu_button_gameoptions"},
      {kBack, 0, "menu_button_options"},
      {kUp, 0, "menu_button_newgame"},
      {kAccept, 1, "newgame_normal"},
      {kDown, 1, "newgame_hard"},
      {kDown, 1, "menu_button_back"},
      {kAccept, 0, "menu_button_newgame"},
  };
  int i = 0;
  for (const Step& step : walk) {
    Press({step.slot});
    EXPECT_EQ(menu.page, step.page) << "step " << i;
    EXPECT_EQ(Selected(), step.selected) << "step " << i;
    ++i;
  }
  EXPECT_EQ(menu.running, 1) << "no step started a game";
  EXPECT_FALSE(menu.quit);
  // The moves clicked; the highlight followed the selection.
  EXPECT_EQ(menu.sounds.front(), "menu_click_02");
  EXPECT_EQ(Element("menu_button_newgame").shown, "eng/menu/button_newgame_hl.png");
  EXPECT_EQ(Element("menu_button_options").shown, "eng/menu/button_options.png");
}

// Every slot of every action, keyboard and pad alike, from the main page (back from
// the options page, which has one).
TEST_F(MenuPagesTest, EachSlotOfAnActionActsAsIt) {
  struct Case {
    int slot;
    bool fromOptions;
    int page;
    const char* selected;
  };
  const Case cases[] = {
      {2, false, 0, "menu_button_exit"},     {20, false, 0, "menu_button_exit"},
      {4, false, 0, "menu_button_options"},  {22, false, 0, "menu_button_options"},
      {24, false, 1, "newgame_normal"},      {25, false, 1, "newgame_normal"},
      {10, false, 1, "newgame_normal"},      {12, false, 1, "newgame_normal"},
      {18, false, 1, "newgame_normal"},      {26, true, 0, "menu_button_options"},
      {27, true, 0, "menu_button_options"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.slot);
    ASSERT_TRUE(menu.Enter(nullptr, &options, nullptr, &frontEnd));
    if (c.fromOptions) {
      menu.CloseMainMenuPage();
      menu.OpenOptionsPage(CStringHash("menu_button_graphics"));
    }
    Press({c.slot});
    EXPECT_EQ(menu.page, c.page);
    EXPECT_EQ(Selected(), c.selected);
  }
  // Left and right: the horizontal input of the frame, with its click.
  const std::pair<int, float> sides[] = {{3, 1.0f}, {21, 1.0f}, {5, -1.0f}, {23, -1.0f}};
  for (const auto& side : sides) {
    menu.sounds.clear();
    Press({side.first});
    EXPECT_EQ(menu.horizontalInput, side.second) << side.first;
    EXPECT_EQ(menu.sounds, std::vector<std::string>{"menu_click_03"}) << side.first;
  }
  Press({});
  EXPECT_EQ(menu.horizontalInput, 0.0f);
}

// The fog layers keep their texture offsets inside one turn whatever the frame time.
TEST_F(MenuPagesTest, TheFogLayersScrollWithinOneTurn) {
  SScreenElement& middle = frontEnd.menuElements[CFrontEndData::kMenuBackgroundFogMiddle];
  SScreenElement& front = frontEnd.menuElements[CFrontEndData::kMenuBackgroundFogFront];
  middle.uvOffset.x = 0.001f;
  front.uvOffset.x = 0.999f;
  menu.Update(1.0f);
  EXPECT_NEAR(middle.uvOffset.x, 0.981f, 1e-5f) << "scrolls left, wrapping below 0";
  EXPECT_NEAR(front.uvOffset.x, 0.024f, 1e-5f) << "scrolls right, wrapping above 1";
  for (float dt : {0.0f, 1.0f / 60.0f, 50.0f, 1.0e4f}) {
    menu.Update(dt);
    EXPECT_GE(middle.uvOffset.x, 0.0f) << dt;
    EXPECT_LT(middle.uvOffset.x, 1.0f) << dt;
    EXPECT_GE(front.uvOffset.x, 0.0f) << dt;
    EXPECT_LE(front.uvOffset.x, 1.0f) << dt;
  }
}

TEST_F(MenuPagesTest, TheNewGamePageCommitsItsDifficultyOrRestoresItOnBack) {
  Press({kAccept});
  ASSERT_EQ(Selected(), "newgame_normal");
  Press({kDown});
  EXPECT_EQ(Pending(frontEnd.pending.difficulty), "difficulty_hard");
  // The back action restores the options' difficulty...
  Press({kBack});
  EXPECT_EQ(menu.page, 0);
  EXPECT_EQ(Pending(frontEnd.pending.difficulty), "difficulty_normal");
  // ...accepting its back button keeps the highlighted one, and the page reopens on it.
  Press({kAccept});
  Press({kUp});
  ASSERT_EQ(Selected(), "newgame_easy");
  Press({kUp});
  Press({kAccept});
  EXPECT_EQ(Pending(frontEnd.pending.difficulty), "difficulty_easy");
  Press({kAccept});
  EXPECT_EQ(Selected(), "newgame_easy");
  Press({kDown});
  Press({kAccept});
  EXPECT_EQ(menu.running, 0);
  EXPECT_EQ(menu.next, kStateLoading);
  EXPECT_EQ(options.difficulty, 1);
  EXPECT_EQ(menu.sounds.back(), "menu_newgame_01");
}

TEST_F(MenuPagesTest, ExitYesQuitsEvenWithABackPressInTheSameFrame) {
  Press({kUp});
  Press({kAccept});
  Press({kUp});
  ASSERT_EQ(Selected(), "exit_yes");
  Press({kAccept, kBack});
  EXPECT_TRUE(menu.quit);
}

// The option steps at both ends of each range.
TEST_F(MenuPagesTest, OptionValuesStepAroundAtBothEnds) {
  struct Case {
    int page;  // 3 game options, 4 graphics
    const char* row;
    CStringHash SPendingOptions::*field;
    const char* from;
    int slot;
    const char* to;
    const char* arrow;
  };
  const Case cases[] = {
      {3, "option_difficulty", &SPendingOptions::difficulty, "difficulty_hard", kRight,
       "difficulty_easy", "difficulty_right_arrow"},
      {3, "option_difficulty", &SPendingOptions::difficulty, "difficulty_easy", kLeft,
       "difficulty_hard", "difficulty_left_arrow"},
      {3, "option_language", &SPendingOptions::language, "language_spa", kRight, "language_eng",
       "language_right_arrow"},
      {3, "option_language", &SPendingOptions::language, "language_eng", kLeft, "language_spa",
       "language_left_arrow"},
      {4, "option_antialiasing", &SPendingOptions::antialiasing, "antialiasing_16x", kRight,
       "antialiasing_off", "antialiasing_right_arrow"},
      {4, "option_antialiasing", &SPendingOptions::antialiasing, "antialiasing_off", kLeft,
       "antialiasing_16x", "antialiasing_left_arrow"},
      {4, "option_shadows", &SPendingOptions::shadowsQuality, "shadowsquality_off", kLeft,
       "shadowsquality_ultrahigh", "shadows_left_arrow"},
      {4, "option_shadows", &SPendingOptions::shadowsQuality, "shadowsquality_ultrahigh", kRight,
       "shadowsquality_off", "shadows_right_arrow"},
      {4, "option_graphicsquality", &SPendingOptions::graphicsQuality, "graphicsquality_high",
       kRight, "graphicsquality_low", "graphicsquality_right_arrow"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.row) + " from " + c.from);
    frontEnd.pending.*(c.field) = CStringHash(c.from);
    if (c.page == 3) menu.OpenGameConfigPage(CStringHash(c.row));
    else menu.OpenGraphicsConfigPage(), menu.SelectElement(CStringHash(c.row));
    menu.enabled.clear();
    Press({c.slot});
    EXPECT_EQ(Pending(frontEnd.pending.*(c.field)), c.to);
    EXPECT_FALSE(menu.enabled[c.from]);
    EXPECT_TRUE(menu.enabled[c.to]);
    EXPECT_EQ(menu.flashing == CStringHash(c.arrow) ||
                  Element(c.arrow).countdown > 0.0f,
              true);
    EXPECT_NE(Element(c.to).shown.find("_hl"), std::string::npos) << Element(c.to).shown;
  }
  // An on/off row inverts either way.
  menu.OpenGraphicsConfigPage();
  menu.SelectElement(CStringHash("option_ssao"));
  const uint8_t ssao = frontEnd.pending.ssao;
  Press({kLeft});
  EXPECT_NE(frontEnd.pending.ssao, ssao);
  Press({kRight});
  EXPECT_EQ(frontEnd.pending.ssao, ssao);
}

TEST_F(MenuPagesTest, QualityPresetsSetTheOtherSwitches) {
  menu.OpenGraphicsConfigPage();
  menu.SelectElement(CStringHash("option_graphicsquality"));
  frontEnd.pending.graphicsQuality = CStringHash("graphicsquality_low");
  frontEnd.pending.bloodDecals = 1;
  Press({kRight});  // medium: blood decals as they were
  EXPECT_EQ(Pending(frontEnd.pending.antialiasing), "antialiasing_2x");
  EXPECT_EQ(Pending(frontEnd.pending.shadowsQuality), "shadowsquality_medium");
  EXPECT_EQ(frontEnd.pending.vsync, 1);
  EXPECT_EQ(frontEnd.pending.depthOfField, 0);
  EXPECT_EQ(frontEnd.pending.bloodDecals, 1);
  Press({kLeft});  // low: everything off
  EXPECT_EQ(frontEnd.pending.bloodDecals, 0);
  EXPECT_EQ(frontEnd.pending.ssao, 0);
  for (auto& entry : frontEnd.menuTable) entry.second.countdown = 0.0f;
  Press({kLeft});  // round to high
  EXPECT_EQ(Pending(frontEnd.pending.graphicsQuality), "graphicsquality_high");
  for (const char* lit : {"antialiasing_4x", "shadowsquality_ultrahigh", "vsync_on", "dof_on",
                          "ssao_on", "glow_on", "blooddecals_on"}) {
    EXPECT_GT(Element(lit).countdown, 0.0f) << lit << " flashed";
    EXPECT_TRUE(menu.enabled[lit]) << lit;
  }
}

TEST_F(MenuPagesTest, SavingWritesThePendingValuesIntoTheOptionsAndBackDropsThem) {
  options.subtitles = 1;
  menu.OpenGameConfigPage(CStringHash("option_difficulty"));
  Press({kRight});  // hard
  Press({kDown});
  Press({kRight});  // Spanish
  Press({kDown});
  Press({kLeft});   // subtitles off
  Press({kDown});
  ASSERT_EQ(Selected(), "menu_button_save");
  EXPECT_EQ(options.difficulty, 1) << "nothing is written before the save";
  Press({kAccept});
  EXPECT_EQ(options.difficulty, 2);
  EXPECT_EQ(options.language, 1);
  EXPECT_EQ(options.subtitles, 0);
  EXPECT_EQ(menu.page, CGameStateMenu::kPageOptions);
  EXPECT_EQ(Selected(), "menu_button_gameoptions");

  // A cancelled visit leaves the options and takes the pending values back.
  menu.OpenGameConfigPage(CStringHash("option_difficulty"));
  Press({kRight});
  EXPECT_EQ(Pending(frontEnd.pending.difficulty), "difficulty_easy");
  Press({kBack});
  EXPECT_EQ(options.difficulty, 2);
  EXPECT_EQ(Pending(frontEnd.pending.difficulty), "difficulty_hard");

  // The graphics page writes its values on save only.
  menu.OpenGraphicsConfigPage();
  menu.SelectElement(CStringHash("option_shadows"));
  Press({kLeft});
  const int shadows = options.shadowsQuality;
  menu.SelectElement(CStringHash("menu_button_back"));
  Press({kAccept});
  EXPECT_EQ(options.shadowsQuality, shadows);
  EXPECT_EQ(Pending(frontEnd.pending.shadowsQuality), "shadowsquality_high");
  menu.OpenGraphicsConfigPage();
  menu.SelectElement(CStringHash("option_shadows"));
  Press({kLeft});
  menu.SelectElement(CStringHash("option_ssao"));
  Press({kLeft});
  menu.SelectElement(CStringHash("menu_button_save"));
  Press({kAccept});
  EXPECT_EQ(options.shadowsQuality, shadows - 1);
  EXPECT_EQ(options.ssao, 0);
  EXPECT_EQ(Selected(), "menu_button_graphics");
}

TEST_F(MenuPagesTest, TheLanguageSwitchReachesEveryElementsTextures) {
  menu.OpenGameConfigPage(CStringHash("option_language"));
  Press({kRight});
  ASSERT_EQ(Pending(frontEnd.pending.language), "language_spa");
  for (const auto& entry : frontEnd.menuTable) {
    const SMenuElement& e = entry.second;
    EXPECT_EQ(e.normal.rfind("spa/", 0), 0u) << e.name.c_str();
    EXPECT_EQ(e.highlighted.rfind("spa/", 0), 0u) << e.name.c_str();
    EXPECT_EQ(e.shown.rfind("spa/", 0), 0u) << e.name.c_str();
  }
  EXPECT_EQ(Element("option_language").shown, "spa/menu/option_language_hl.png");
  EXPECT_EQ(Element("menu_background_joe").shown, "spa/menu/MenuTitles_01.dds");
  // Back without saving: English again.
  Press({kBack});
  EXPECT_EQ(Element("menu_button_save").shown, "eng/menu/button_save.png");
  // A menu entered with Spanish saved loads the Spanish names at once.
  options.language = 1;
  ASSERT_TRUE(menu.Enter(nullptr, &options, nullptr, &frontEnd));
  EXPECT_EQ(Element("menu_button_newgame").shown, "spa/menu/button_newgame_hl.png");
}

// The screen sprites of one list are drawn from the lowest z to the highest, and
// sprites of equal z in no order that anything keeps: every sprite that must cover
// another needs a higher z than it (with equal ones, a whole row of the graphics page
// once lay under the page's dark panel).
TEST(MenuLayers, EverySpriteLiesInFrontOfWhatItCovers) {
  std::map<std::string, float> z;
  for (const char* path : {"Data/xml/menu_main_instances.xml", "Data/xml/startup_instances.xml"}) {
    utl::CXmlFile file;
    ASSERT_EQ(file.Load(path), utl::CXmlFile::EResult::Ok) << path;
    for (auto* object = file.Document().first_node("GameObject"); object;
         object = object->next_sibling("GameObject"))
      for (auto* key = object->first_node("Component")->first_node("key"); key;
           key = key->next_sibling("key"))
        if (std::string(key->first_attribute("name")->value()) == "position")
          z[object->first_attribute("name")->value()] = std::atof(key->first_attribute("Z")->value());
  }
  ASSERT_EQ(z.size(), 126u + 4u);
  const char* const backToFront[][2] = {
      {"background_black", "logo_team"},
      {"background_black", "startup_pad_recommended"},
      {"background_black", "startup_title"},
      // The start-up leaves its black on for the menu to stand on.
      {"background_black", "menu_background_zombies"},
      {"menu_background_zombies", "menu_background_fog_middle"},
      {"menu_background_fog_middle", "menu_background_fog_front"},
      {"menu_background_zombies", "menu_background_joe"},
      {"menu_background_fog_front", "pause_background"},
      {"menu_background_joe", "menu_blackening"},
      {"pause_background", "menu_blackening"},
  };
  for (const auto& pair : backToFront)
    EXPECT_LT(z.at(pair[0]), z.at(pair[1])) << pair[1] << " in front of " << pair[0];
  const std::set<std::string> under = {"background_black", "logo_team", "startup_pad_recommended",
                                       "startup_title", "menu_background_zombies",
                                       "menu_background_fog_middle", "menu_background_fog_front",
                                       "menu_background_joe", "pause_background",
                                       "menu_blackening", "menu_black_front"};
  // Every page's pictures lie on the panel; the fade lies over everything.
  for (const auto& entry : z) {
    EXPECT_GE(entry.second, 0.0f) << entry.first;
    EXPECT_LE(entry.second, 32.0f) << entry.first << ": past the menu's depth";
    if (entry.first != "menu_black_front")
      EXPECT_LT(entry.second, z.at("menu_black_front")) << entry.first;
    if (!under.count(entry.first))
      EXPECT_GT(entry.second, z.at("menu_blackening")) << entry.first;
  }
}

TEST(MenuReadOut, VolumesReadAsTheNearestStep) {
  // A hundred presses from 0 and a hundred from 1, each read as the number of steps.
  float up = 0.0f, down = 1.0f;
  for (int i = 0; i <= 100; ++i) {
    EXPECT_EQ(menu::VolumeReadOut(up), i) << up;
    EXPECT_EQ(menu::VolumeReadOut(down), 100 - i) << down;
    up += 0.01f;
    down -= 0.01f;
  }
  EXPECT_EQ(menu::VolumeReadOut(-0.5f), 0);
  EXPECT_EQ(menu::VolumeReadOut(2.0f), 100);
  const float rows[10] = {0.0f, 0.901f, 0.802f, 0.704f, 0.604f, 0.507f, 0.407f, 0.309f, 0.212f, 0.112f};
  for (int d = 0; d < 10; ++d) EXPECT_FLOAT_EQ(menu::DigitOffset(d), rows[d]);
}

TEST_F(MenuPagesTest, VolumeSliderStepsHoldsAndHidesLeadingZeros) {
  frontEnd.pending.musicVolume = 0.5f;
  menu.OpenSoundConfigPage();
  menu.held[kRight] = 1.0f;
  Press({kRight});
  EXPECT_FLOAT_EQ(frontEnd.pending.musicVolume, 0.51f);
  EXPECT_FLOAT_EQ(menu.volumes["music"], 0.51f);
  // Held past half a second: a thousandth a frame on top.
  for (int i = 0; i < 30; ++i) Press({});
  const float afterHold = frontEnd.pending.musicVolume;
  EXPECT_GT(afterHold, 0.51f);
  Press({});
  EXPECT_NEAR(frontEnd.pending.musicVolume - afterHold, 0.001f, 1e-5f);
  // Released: the hold starts over.
  menu.held.clear();
  Press({});
  EXPECT_EQ(menu.holdTimer, 0.0f);
  // Clamped at the top; 1.0 reads 100 with all three digits.
  frontEnd.pending.musicVolume = 0.995f;
  Press({kRight});
  EXPECT_EQ(frontEnd.pending.musicVolume, 1.0f);
  Press({});
  EXPECT_TRUE(menu.enabled["musicvolume_cent"]);
  EXPECT_TRUE(menu.enabled["musicvolume_dec"]);
  // 0.05 reads "5".
  frontEnd.pending.effectsVolume = 0.05f;
  Press({});
  EXPECT_FALSE(menu.enabled["effectsvolume_cent"]);
  EXPECT_FALSE(menu.enabled["effectsvolume_dec"]);
  // Up and down leave the slider alone in that frame.
  menu.SelectElement(CStringHash("option_effectsvolume"));
  Press({kDown, kRight});
  EXPECT_EQ(Selected(), "option_voicesvolume");
  EXPECT_FLOAT_EQ(frontEnd.pending.effectsVolume, 0.05f);
}

// The read-outs on the menu's own digit objects: each digit's row of the strip, and
// no leading zeros in a volume.
class MenuDigitsTest : public test::LuaFixture {
protected:
  void SetUp() override {
    LuaFixture::SetUp();
    evn::InitEngineEventTypes();
    ASSERT_TRUE(events.Init());
    ASSERT_TRUE(render.Init(nullptr));
    obj::RegisterObjectComponentFactories(objects.componentFactories);
    gfx::RegisterRendererFactory(objects.componentFactories);
    ASSERT_TRUE(objects.Init());
    ASSERT_TRUE(objects.LoadTemplates("Data/xml/common_templates.xml"));
    objects.LoadInstances("Data/xml/menu_main_instances.xml", "", true);
    objects.ApplyQueuedRequests();
    ASSERT_TRUE(menu.Enter(nullptr, &options, nullptr, &frontEnd));
    for (auto& entry : frontEnd.menuTable) {
      obj::CGameObject* object = objects.GetGameObjectByName(entry.second.name);
      entry.second.renderer = object ? object->GetComponent<gfx::CRenderer>() : nullptr;
    }
  }
  void TearDown() override {
    for (auto& entry : frontEnd.menuTable) entry.second.renderer = nullptr;
    events.Clear();
    objects.Clear();
    utl::DeleteFactoryMakers(objects.componentFactories);
    render.Shutdown();
    LuaFixture::TearDown();
  }
  // The strip row a digit element shows; -1 when none was set.
  float Row(const char* name) {
    const SMenuElement* e = menu.Element(name);
    if (!e || !e->renderer || !e->renderer->GetShaderInstance()) return -1.0f;
    const gfx::CShader::SParameter* p =
        e->renderer->GetShaderInstance()->FindParameter(CStringHash("gUVOffset"));
    if (!p || p->bytes.size() < 8) return -1.0f;
    float uv[2];
    std::memcpy(uv, p->bytes.data(), 8);
    EXPECT_EQ(uv[0], 0.0f) << name;
    return uv[1];
  }

  evn::CEventManager events;
  gfx::CRenderManager render;
  obj::CGameObjectManager objects;
  CGameOptions options{"no such file"};
  CFrontEndData frontEnd;
  CRecordingMenu menu;
};

TEST_F(MenuDigitsTest, EachDigitShowsItsRowOfTheStrip) {
  // 0.82 as float steps from 0 lands just under 82 hundredths.
  float music = 0.0f;
  for (int i = 0; i < 82; ++i) music += 0.01f;
  frontEnd.pending.musicVolume = music;
  frontEnd.pending.effectsVolume = 0.05f;
  frontEnd.pending.voicesVolume = 1.0f;
  menu::VolumeReadOuts(menu);
  struct Case {
    const char* digit;
    int value;
  };
  const Case volumes[] = {{"musicvolume_unid", 2},   {"musicvolume_dec", 8},
                          {"effectsvolume_unid", 5}, {"voicesvolume_unid", 0},
                          {"voicesvolume_dec", 0},   {"voicesvolume_cent", 1}};
  for (const Case& c : volumes) EXPECT_FLOAT_EQ(Row(c.digit), menu::DigitOffset(c.value)) << c.digit;
  const std::pair<const char*, bool> shown[] = {
      {"musicvolume_cent", false}, {"musicvolume_dec", true},     {"effectsvolume_dec", false},
      {"effectsvolume_cent", false}, {"voicesvolume_cent", true}, {"voicesvolume_dec", true}};
  for (const auto& s : shown) EXPECT_EQ(menu.enabled.at(s.first), s.second) << s.first;

  frontEnd.pending.resolutionWidth = 1280.0f;
  frontEnd.pending.resolutionHeight = 960.0f;
  menu::ResolutionReadOut(menu);
  const Case resolution[] = {{"resolution_width_mil", 1},  {"resolution_width_cent", 2},
                             {"resolution_width_dec", 8},  {"resolution_width_unid", 0},
                             {"resolution_height_mil", 0}, {"resolution_height_cent", 9},
                             {"resolution_height_dec", 6}, {"resolution_height_unid", 0}};
  for (const Case& c : resolution)
    EXPECT_FLOAT_EQ(Row(c.digit), menu::DigitOffset(c.value)) << c.digit;
}

// Saved graphics reach the device as a presentation it can make: an antialiasing the
// device cannot do falls back to the highest it can, so the reset is not refused.
TEST(MenuGraphicsSave, TheResetAsksForASampleCountTheDeviceCanMake) {
  auto recorder = std::make_shared<plat::gpu::Recorder>();
  // Back buffer (21) and depth (75) formats: 4 samples is the most both can do.
  recorder->multiSample = {{21, 8, 1}, {21, 4, 1}, {75, 4, 3}, {21, 2, 1}, {75, 2, 1}};
  gfx::CGraphicsManager device;
  device.gpuFactory = [&](plat::Window*, std::string*) {
    return plat::gpu::CreateRecordingGpu(recorder);
  };
  ASSERT_TRUE(device.Init(640, 480, 0));
  struct Case {
    int antialiasing;
    uint8_t vsync;
    uint32_t samples;
    uint32_t interval;
  };
  const Case cases[] = {{16, 1, 4, plat::gpu::kPresentIntervalOne},
                        {8, 0, 4, plat::gpu::kPresentIntervalImmediate},
                        {2, 1, 2, plat::gpu::kPresentIntervalOne},
                        {0, 0, 0, plat::gpu::kPresentIntervalImmediate}};
  for (const Case& c : cases) {
    device.resetRequested = 0;
    menu::RequestDeviceReset(device, 800, 600, c.antialiasing, c.vsync);
    EXPECT_EQ(device.presentParameters.multiSampleType, c.samples) << c.antialiasing;
    EXPECT_EQ(device.presentParameters.presentationInterval, c.interval) << c.antialiasing;
    EXPECT_EQ(device.presentParameters.backBufferWidth, 800u);
    EXPECT_EQ(device.presentParameters.backBufferHeight, 600u);
    EXPECT_EQ(device.resetRequested, 1);
  }
  device.Release();
}

TEST(MenuResolutions, TheCursorNeverLeavesItsList) {
  CRecordingMenu menu;
  const std::vector<gfx::SResolution> list = {{640, 480}, {800, 600}, {1024, 768}};
  menu.SetResolutions(list, 800, 600);
  EXPECT_EQ(menu.resolutions.size(), 3u);
  EXPECT_EQ(menu.resolutionCursor, 1u);
  // A size the device does not list joins it in order.
  menu.SetResolutions(list, 900, 700);
  ASSERT_EQ(menu.resolutions.size(), 4u);
  EXPECT_EQ(menu.resolutionCursor, 2u);
  EXPECT_EQ(menu.resolutions[2].width, 900.0f);
  // Sizes of nothing are dropped; a list left empty stays empty (the row is inert).
  menu.SetResolutions({{0, 0}, {-1, 480}, {320, 240}}, 1024, 768);
  ASSERT_EQ(menu.resolutions.size(), 2u);
  EXPECT_EQ(menu.resolutions[menu.resolutionCursor].width, 1024.0f);
  menu.SetResolutions({{0, 0}, {-1, 480}}, 1024, 768);
  EXPECT_TRUE(menu.resolutions.empty());
  menu.SetResolutions({}, 1024, 768);
  EXPECT_TRUE(menu.resolutions.empty());
  EXPECT_EQ(menu.resolutionCursor, 0u);
}

TEST_F(MenuPagesTest, ResolutionStepsWrapAndAnEmptyListIsInert) {
  menu.SetResolutions({{640, 480}, {800, 600}, {1024, 768}}, 1024, 768);
  menu.OpenGraphicsConfigPage();
  Press({kRight});
  EXPECT_EQ(frontEnd.pending.resolutionWidth, 640.0f);
  Press({kLeft});
  EXPECT_EQ(frontEnd.pending.resolutionWidth, 1024.0f);
  EXPECT_EQ(frontEnd.pending.resolutionHeight, 768.0f);
  menu.SetResolutions({}, 1024, 768);
  Press({kRight});
  Press({kLeft});
  EXPECT_EQ(frontEnd.pending.resolutionWidth, 1024.0f);
}

TEST_F(MenuPagesTest, AFlashFadesAndComesBackOnceItsCountdownEnds) {
  SMenuElement& arrow = *menu.Element("vsync_left_arrow");
  arrow.fadeTime = 0.5f;
  arrow.visibleTime = 0.4f;
  arrow.fadeRate = plat::Vec4(0, 0, 0, 0);
  menu.FlashElement(CStringHash("vsync_left_arrow"));
  EXPECT_EQ(arrow.shown, "eng/menu/arrow_left_hl.png");
  EXPECT_EQ(arrow.colour.w, 1.0f);
  menu.UpdateElementFades(0.05f);  // above the visible time: the flash is cut
  EXPECT_EQ(arrow.shown, "eng/menu/arrow_left.png");

  menu.FlashElement(CStringHash("vsync_left_arrow"));
  arrow.countdown = 0.3f;
  menu.UpdateElementFades(0.1f);
  EXPECT_LT(arrow.colour.w, 1.0f) << "fading inside the visible time";
  EXPECT_EQ(arrow.shown, "eng/menu/arrow_left_hl.png");
  // A countdown that lands on exactly 0 ends the flash too.
  arrow.countdown = 0.25f;
  menu.UpdateElementFades(0.25f);
  EXPECT_EQ(arrow.shown, "eng/menu/arrow_left.png");
  EXPECT_EQ(arrow.colour.w, 1.0f);
  // As does a fade time of 0.
  arrow.fadeTime = 0.0f;
  menu.FlashElement(CStringHash("vsync_left_arrow"));
  menu.UpdateElementFades(0.016f);
  EXPECT_EQ(arrow.shown, "eng/menu/arrow_left.png");
}

// Damaged menu files: a clear line, no crash, the usable entries kept.
TEST(MenuFile, DamagedFilesAreLoggedAndSkipped) {
  CGameOptions options("no such file");
  CFrontEndData frontEnd;
  CRecordingMenu menu;
  menu.Bind(&options, &frontEnd);
  const std::string path = testing::TempDir() + "menu_main_damaged.xml";
  auto write = [&](const std::string& text) { std::ofstream(path) << text; };
  test::CLogCapture log;

  EXPECT_FALSE(menu.LoadMenuFile((testing::TempDir() + "none.xml").c_str()));
  EXPECT_TRUE(log.Contains("missing or empty"));
  write("<menu width=\"1024\"><menu_element name=\"a\">");
  EXPECT_FALSE(menu.LoadMenuFile(path.c_str()));
  EXPECT_TRUE(log.Contains("not valid XML"));

  write("<menu width=\"1024\" height=\"0\">"
        "<menu_element name=\"two_keys\"><key value=\"a\"/><key value=\"b\"/></menu_element>"
        "<menu_element><key value=\"a\"/><key value=\"b\"/><key value=\"c\"/></menu_element>"
        "<menu_element name=\"ok\"><key value=\"h.png\"/><key value=\"n.png\"/>"
        "<key value=\"options\"/></menu_element></menu>");
  EXPECT_TRUE(menu.LoadMenuFile(path.c_str()));
  EXPECT_TRUE(log.Contains("two_keys", "three keys"));
  EXPECT_EQ(frontEnd.menuTable.size(), 1u);
  // A size of nothing is not taken: the pictures keep a screen to be placed on.
  EXPECT_TRUE(log.Contains("width and height must be positive"));
  EXPECT_EQ(frontEnd.menuWidth, 1024);
  EXPECT_EQ(frontEnd.menuHeight, 768);
  EXPECT_FLOAT_EQ(frontEnd.menuAspectRatio, 1024.0f / 768.0f);
  const SMenuElement* ok = menu.Element("ok");
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(ok->engNormal, "eng/n.png");
  EXPECT_EQ(ok->spaHighlighted, "spa/h.png");
  EXPECT_EQ(ok->page, CStringHash("options"));

  // A later file with a bad size keeps the size an earlier one gave.
  frontEnd.menuWidth = 640;
  frontEnd.menuHeight = 480;
  write("<menu width=\"-5\" height=\"480\"/>");
  EXPECT_TRUE(menu.LoadMenuFile(path.c_str()));
  EXPECT_EQ(frontEnd.menuWidth, 640);
  EXPECT_FLOAT_EQ(frontEnd.menuAspectRatio, 640.0f / 480.0f);
  std::remove(path.c_str());
}

}  // namespace
}  // namespace vd
