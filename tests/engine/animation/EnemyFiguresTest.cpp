// The enemies' generated figures and the objects of the effects: the generator
// writes exactly what is committed, every file passes the check, each template
// holds every animation and bone the enemy code and the effects name, and the
// motions do what their names say at the moments the effects count on.
#include <cal3d/coreanimation.h>
#include <cal3d/corebone.h>
#include <cal3d/coremodel.h>
#include <cal3d/coreskeleton.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <rapidxml/rapidxml.hpp>
#include <string>
#include <vector>

#include "engine/animation/AnimationManager.h"
#include "engine/animation/Animator.h"
#include "engine/animation/CalFileCheck.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/Transform.h"
#include "platform/fs/FileSystem.h"
#include "tests/engine/animation/AnimTestUtil.h"

namespace vd {
namespace anm {
namespace {

namespace fs = std::filesystem;

struct SFigure {
  const char* id;
  std::vector<const char*> animations;
  std::vector<const char*> bones;
};

// What the fighters play (their states, their voices' actions, the play lists'
// entries and the player's finishing moves), per kind.
const std::vector<const char*> kFighterCommon = {
    "idle_01",      "idle_combat_01", "idle_stunned",    "run_01",          "walk_01",
    "walk_02",      "dash_left_01",   "dash_right_01",   "dash_back_01",    "dash_front_01",
    "attack_short_01", "attack_combo_01", "cover_in_01", "cover_out_01",    "cover_hit_01",
    "hit_01",       "hit_02",         "hit_fall_stand_01", "death_01",      "corpse",
    "wave_death",   "wave_wake",      "provocation_01",  "provocation_02",  "euforia",
    "stand_random_01", "stand_random_02", "stand_random_03", "stand_random_04", "discussion01",
    "discussion02", "disc_random01",  "disc_random02",   "disc_random03",   "disc_random04",
    "disc_random05", "disc_random06", "eat_01",          "eat_02",          "turron",
    "back_to_life", "sleep_wake",     "sleep_idle",      "wall_idle",       "wall_wake",
    "armchair_idle", "armchair_wake", "sofa_sleep_idle", "sofa_wake",       "activate_01"};

std::vector<const char*> With(std::vector<const char*> list, const std::vector<const char*>& more) {
  list.insert(list.end(), more.begin(), more.end());
  return list;
}

const std::vector<SFigure>& Figures() {
  static const std::vector<SFigure> figures = {
      {"zombie",
       With(kFighterCommon,
            {"run_02", "attack_short_02", "attack_large_01", "attack_double_01", "attack_vomit",
             "cover_in_02", "cover_in_03", "death_explosion_01", "death_explosion_02", "fatality_03",
             "zombie_jail_01", "zombie_jail_02", "zombie_subway_jump"}),
       {"Bip01", "Bip01 Head", "Bip01 Spine2", "Bip01 R Hand", "Bip01 R Finger0", "Bip01 L Hand",
        "Bip01 L Finger0", "Bip01 R Forearm", "Bip01 L Forearm", "Bip01 L Calf", "Bip01 L Foot"}},
      {"mutant",
       With(kFighterCommon,
            {"hit_03", "death_02", "attack_up_01", "fatality_01", "fatality_02", "water_jump_01",
             "water_jump_02", "water_jump_03", "water_jump_boss", "window_jump", "window_idle_01",
             "window_provocation_01", "window_provocation_02", "window_grenade_01",
             "window_grenade_02", "window_grenade_03", "window_grenade_04", "window_grenade_05",
             "window_grenade_06"}),
       {"Bip02", "Bip02 Head", "Bip02 Spine2", "Bip02 R Hand", "Bip02 R Finger0", "Bip02 L Hand",
        "Bip02 L Finger0", "Bip02 R Forearm", "Bip02 L Forearm", "mutant_granade01"}},
      {"krauser",
       {"run_01", "idle_01", "fall", "fall_idle", "fall_hit", "fall_wake", "fall_death",
        "cover_in_01", "cover_hit_01", "cover_out_01", "hit_01", "hit_02", "hit_03",
        "stand_random_01", "provocation_01", "krauser_attack_combo_01", "krauser_attack_kick",
        "krauser_attack_punch", "krauser_attack_hand", "krauser_attack_up_01",
        "krauser_attack_up_down", "krauser_attack_ground_kick", "krauser_attack_ground_beam",
        "krauser_attack_beam_wave", "fatality_04"},
       {"Bip01", "Bip01 Head", "Bip01 Spine2", "Bip01 R Hand", "Bip01 L Hand", "Bip01 L Finger0",
        "Bip01 R Foot", "Bip01 L Foot"}},
  };
  return figures;
}

// The effect objects: animation template, the animations their code plays, the
// templates file they are loaded from.
struct SEffect {
  const char* id;
  std::vector<const char*> animations;
  const char* file;
};
const std::vector<SEffect>& Effects() {
  static const std::vector<SEffect> effects = {
      {"radial_rocks_player", {"radial_rocks_Y3"}, "Data/xml/loading_animation_templates.xml"},
      {"semisphere", {}, "Data/xml/loading_animation_templates.xml"},
      {"ring", {}, "Data/xml/loading_animation_templates.xml"},
      {"crown", {}, "Data/xml/loading_animation_templates.xml"},
      {"turbulence", {}, "Data/xml/loading_animation_templates.xml"},
      {"radial_rocks_krauser", {"radial_rocks_beam_wave"}, "Data/xml/level1_animation_templates.xml"},
      {"line_rocks_krauser", {"line_rocks_ground_beam"}, "Data/xml/level1_animation_templates.xml"},
      {"grenade_mutant",
       {"grenade_mutant_down_L", "grenade_mutant_down_F", "grenade_mutant_down_R",
        "grenade_mutant_high_L", "grenade_mutant_high_F", "grenade_mutant_high_R"},
       "Data/xml/level1_animation_templates.xml"},
  };
  return effects;
}

std::string Read(const std::string& path) {
  std::vector<char> bytes;
  EXPECT_TRUE(plat::fs::ReadFile(path.c_str(), bytes)) << path;
  return std::string(bytes.begin(), bytes.end());
}

std::string Output(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return out;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
  pclose(p);
  return out;
}

TEST(EnemyFigures, CommittedFilesMatchTheGenerator) {
  const std::string dir = "/tmp/hm_enemies_" + std::to_string(getpid());
  ASSERT_EQ(std::system(("mkdir -p " + dir + " && " GEN_ENEMIES " " + dir).c_str()), 0);
  int files = 0;
  for (const fs::directory_entry& e : fs::directory_iterator(dir)) {
    const std::string name = e.path().filename().string();
    const bool png = e.path().extension() == ".png";
    const std::string committed = png ? (name == "effects.png" ? "Data/textures/effects/"
                                                               : "Data/textures/characters/") + name
                                      : "Data/anims/" + name;
    EXPECT_TRUE(Read(e.path().string()) == Read(committed)) << committed << " differs: run gen_enemies";
    ++files;
  }
  EXPECT_GT(files, 190);
  fs::remove_all(dir);
  // The template entries are the ones the generator prints.
  for (const char* which : {"level", "loading"}) {
    const std::string entries = Output(std::string(GEN_ENEMIES " --template ") + which);
    ASSERT_GT(entries.size(), 100u);
    const std::string file = std::string("Data/xml/") + which + (which[1] == 'e' ? "1" : "") +
                             "_animation_templates.xml";
    EXPECT_NE(Read(file).find(entries), std::string::npos) << file << ": run gen_enemies --template " << which;
  }
}

TEST(EnemyFigures, EveryFilePassesTheCheck) {
  std::string error;
  for (const SFigure& f : Figures()) {
    const std::string base = std::string("Data/anims/") + f.id;
    ASSERT_TRUE(CheckCalXmlFile(base + ".xsf", ECalFileKind::kSkeleton, 0, error)) << error;
    const int bones = f.id == std::string("mutant") ? 27 : 26;
    EXPECT_TRUE(CheckCalXmlFile(base + "_body.xmf", ECalFileKind::kMesh, bones, error)) << error;
    for (const char* a : f.animations)
      EXPECT_TRUE(CheckCalXmlFile(base + "_" + a + ".xaf", ECalFileKind::kAnimation, bones, error))
          << a << ": " << error;
  }
}

class EnemyFigureModel : public ::testing::Test {
protected:
  void SetUp() override {
    CAnimationManager::SetLoadingModeRotateX();
    ASSERT_TRUE(manager.LoadTemplates("Data/xml/loading_animation_templates.xml"));
    ASSERT_TRUE(manager.LoadTemplates("Data/xml/level1_animation_templates.xml"));
  }
  void TearDown() override {
    for (CAnimator* a : animators) a->Reset();
  }

  // An animator of the template with its mesh; root motion moves the transform
  // unless `still`.
  CAnimator* Make(const std::string& id, const std::string& mesh, bool still = false) {
    objects.push_back(std::make_unique<obj::CGameObject>());
    transform = new gfx::CTransform();
    transform->UpdateMatrix();
    objects.back()->AddComponent(transform);
    const std::string xml = "<Component class='CAnimator'><key name='animation' value='" + id +
                            "'/><key name='animation_instance_name' value='" + id + "_" +
                            std::to_string(objects.size()) + "'/><key name='mesh' value='" + mesh +
                            "'/><key name='static' value='" + (still ? "1" : "0") + "'/></Component>";
    std::vector<char> buffer(xml.begin(), xml.end());
    buffer.push_back('\0');
    rapidxml::xml_document<> doc;
    doc.parse<0>(buffer.data());
    CAnimator* animator = new CAnimator();
    animator->Load(doc.first_node());
    objects.back()->AddComponent(animator);
    EXPECT_TRUE(animator->Init());
    animators.push_back(animator);
    return animator;
  }
  CAnimator* Figure(const std::string& id, bool still = false) { return Make(id, id + "_body.xmf", still); }

  // Plays an action (after a frame of the idle) for `seconds` at 60 frames a second.
  static void Play(CAnimator* a, const char* idle, const char* action, float seconds) {
    a->BlendCycle(idle, 1.0f, 0.0f, 0.0f);
    a->Update(1.0f / 60.0f);
    a->ExecuteAction(action, 1.0f, 0.0f, 0.0f, true);
    const int frames = static_cast<int>(seconds * 60.0f);
    for (int i = 0; i < frames; ++i) a->Update(1.0f / 60.0f);
  }

  test::CLogCapture log;
  CAnimationManager manager;
  std::vector<std::unique_ptr<obj::CGameObject>> objects;
  std::vector<CAnimator*> animators;
  gfx::CTransform* transform = nullptr;
};

TEST_F(EnemyFigureModel, EachTemplateHoldsItsAnimationsAndBones) {
  for (const SFigure& f : Figures()) {
    SCOPED_TRACE(f.id);
    CAnimationTemplate* figure = manager.FindTemplate(f.id);
    ASSERT_NE(figure, nullptr);
    CalCoreModel* core = figure->GetCoreModel();
    EXPECT_EQ(figure->GetAnimationCount(), f.animations.size()) << "nothing the enemies do not play";
    for (const char* name : f.animations) {
      const int id = figure->GetAnimationId(name);
      ASSERT_GE(id, 0) << name;
      const float duration = core->getCoreAnimation(id)->getDuration();
      EXPECT_GE(duration, 0.3f) << name;
      EXPECT_LE(duration, 3.5f) << name;
    }
    for (const char* bone : f.bones) EXPECT_GE(core->getCoreSkeleton()->getCoreBoneId(bone), 0) << bone;
    EXPECT_GE(figure->FindMeshId((std::string(f.id) + "_body.xmf").c_str()), 0);
  }
  // Nobody is the player tinted: each kind has its own height and build.
  auto head = [this](const char* id) {
    CalCoreSkeleton* skeleton = manager.FindTemplate(id)->GetCoreModel()->getCoreSkeleton();
    const char* name = id == std::string("mutant") ? "Bip02 Head" : "Bip01 Head";
    // Authored z-up; loaded y-up.
    return skeleton->getCoreBone(skeleton->getCoreBoneId(name))->getTranslationAbsolute();
  };
  EXPECT_GT(head("mutant").y, head("zombie").y + 0.1f);
  EXPECT_GT(head("krauser").y, head("mutant").y + 0.2f);
  for (const SEffect& e : Effects()) {
    SCOPED_TRACE(e.id);
    CAnimationTemplate* t = manager.FindTemplate(e.id);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->GetAnimationCount(), e.animations.size());
    for (const char* name : e.animations) EXPECT_GE(t->GetAnimationId(name), 0) << name;
    EXPECT_GE(t->FindMeshId((std::string(e.id) + "_body.xmf").c_str()), 0);
    EXPECT_NE(Read(e.file).find(std::string("id=\"") + e.id + "\""), std::string::npos);
  }
  // A victim's side of a finishing move lasts as long as the player's.
  CAnimationTemplate* player = manager.FindTemplate("brannoc");
  ASSERT_NE(player, nullptr);
  auto length = [](CAnimationTemplate* t, const char* name) {
    const int id = t->GetAnimationId(name);
    return id < 0 ? -1.0f : t->GetCoreModel()->getCoreAnimation(id)->getDuration();
  };
  const char* const kVictims[][2] = {
      {"zombie", "fatality_03"}, {"mutant", "fatality_01"}, {"mutant", "fatality_02"}, {"krauser", "fatality_04"}};
  for (const auto& v : kVictims)
    EXPECT_FLOAT_EQ(length(manager.FindTemplate(v[0]), v[1]), length(player, v[1])) << v[0] << " " << v[1];
  EXPECT_FALSE(log.sink->Contains("zombie")) << "nothing about the figures is logged";
}

// Falls end lying on the floor and the wake-ups end standing; a corpse lies.
TEST_F(EnemyFigureModel, TheDeadLieDownAndTheWokenStand) {
  struct Case {
    const char* figure;
    const char* action;
    bool lying;  // at the end
  };
  const Case cases[] = {
      {"zombie", "death_01", true},           {"zombie", "death_explosion_01", true},
      {"zombie", "death_explosion_02", true}, {"zombie", "wave_death", true},
      {"zombie", "fatality_03", true},        {"mutant", "death_01", true},
      {"mutant", "death_02", true},           {"mutant", "fatality_01", true},
      {"mutant", "fatality_02", true},        {"krauser", "fall", true},
      {"krauser", "fall_death", true},        {"krauser", "fatality_04", true},
      {"zombie", "hit_fall_stand_01", false}, {"zombie", "wave_wake", false},
      {"mutant", "water_jump_01", false},     {"krauser", "fall_wake", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.figure) + " " + c.action);
    CAnimator* a = Figure(c.figure);
    const std::string head = std::string(c.figure == std::string("mutant") ? "Bip02" : "Bip01") + " Head";
    Play(a, c.figure == std::string("krauser") ? "idle_01" : "idle_combat_01", c.action,
         a->GetAnimationDuration(c.action) + 0.1f);
    const float y = a->GetBoneTranslation(head).y;
    if (c.lying) {
      EXPECT_LT(y, 0.5f);
    } else {
      EXPECT_GT(y, 1.3f);
    }
  }
  CAnimator* corpse = Figure("zombie");
  corpse->BlendCycle("corpse", 1.0f, 0.0f, 0.0f);
  corpse->Update(0.5f);
  EXPECT_LT(corpse->GetBoneTranslation("Bip01 Head").y, 0.5f);
}

// Actions that travel carry the object (it faces +z with its left towards +x);
// hits and attacks leave the pushing to the enemy's code.
TEST_F(EnemyFigureModel, DashesCarryTheFigureAndBlowsStayInPlace) {
  struct Case {
    const char* figure;
    const char* action;
    float dx, dz;  // expected travel, within 0.3 m
  };
  const Case cases[] = {
      {"zombie", "dash_left_01", 1.8f, 0},   {"zombie", "dash_right_01", -1.8f, 0},
      {"zombie", "dash_back_01", 0, -1.8f},  {"mutant", "dash_front_01", 0, 2.2f},
      {"zombie", "hit_01", 0, 0},            {"mutant", "hit_03", 0, 0},
      {"zombie", "attack_short_01", 0, 0.3f}, {"mutant", "water_jump_01", 0, 2.5f},
      {"krauser", "krauser_attack_beam_wave", 0, 0.8f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.figure) + " " + c.action);
    CAnimator* a = Figure(c.figure);
    Play(a, c.figure == std::string("krauser") ? "idle_01" : "idle_combat_01", c.action,
         a->GetAnimationDuration(c.action) + 0.05f);
    EXPECT_NEAR(transform->position.x, c.dx, 0.3f);
    EXPECT_NEAR(transform->position.z, c.dz, 0.3f);
  }
}

// The lowest point of a bone over an action, and when it is reached.
struct SLowest {
  float height = 1e9f, at = 0.0f, highest = -1e9f;
};
SLowest Track(CAnimator* a, const std::string& bone, float seconds) {
  SLowest low;
  for (int i = 1; i <= static_cast<int>(seconds * 120.0f); ++i) {
    a->Update(1.0f / 120.0f);
    const float y = a->GetBoneTranslation(bone).y;
    if (y < low.height) {
      low.height = y;
      low.at = i / 120.0f;
    }
    low.highest = std::max(low.highest, y);
  }
  return low;
}

// The boss's special attacks strike when his effects go off: the ground kick's
// stomp at 0.733 s (ring and crown), the beam wave's slam at 1.366 s (the half
// sphere); the claws swing, the vomiting head pumps forward.
TEST_F(EnemyFigureModel, BlowsLandWhenTheEffectsGoOff) {
  CAnimator* boss = Figure("krauser", true);
  boss->ExecuteAction("krauser_attack_ground_kick", 1.0f, 0.0f, 0.0f, true);
  const SLowest kick = Track(boss, "Bip01 R Foot", 1.0f);
  EXPECT_GT(kick.highest, 0.6f) << "the knee comes up high";
  boss->ClearActions();
  boss = Figure("krauser", true);
  boss->ExecuteAction("krauser_attack_ground_kick", 1.0f, 0.0f, 0.0f, true);
  // The stomp: the foot comes back down to the floor by the moment of the ring.
  for (int i = 0; i < 88; ++i) boss->Update(1.0f / 120.0f);  // 0.733 s
  EXPECT_LT(boss->GetBoneTranslation("Bip01 R Foot").y, 0.3f);

  boss = Figure("krauser", true);
  boss->ExecuteAction("krauser_attack_beam_wave", 1.0f, 0.0f, 0.0f, true);
  const SLowest slam = Track(boss, "Bip01 R Hand", 2.0f);
  EXPECT_NEAR(slam.at, 1.366f, 0.12f) << "the hands hit the ground with the half sphere";
  EXPECT_LT(slam.height, 0.6f);

  CAnimator* zombie = Figure("zombie", true);
  zombie->BlendCycle("idle_combat_01", 1.0f, 0.0f, 0.0f);
  zombie->Update(1.0f / 60.0f);
  const plat::Vec3 rest = zombie->GetBoneTranslation("Bip01 R Finger0");
  zombie->ExecuteAction("attack_short_01", 1.0f, 0.0f, 0.0f, true);
  float reach = 0.0f;
  for (int i = 0; i < 50; ++i) {
    zombie->Update(1.0f / 60.0f);
    reach = std::max(reach, plat::Length(zombie->GetBoneTranslation("Bip01 R Finger0") - rest));
  }
  EXPECT_GT(reach, 0.5f) << "the claw sweeps";

  zombie = Figure("zombie", true);
  zombie->BlendCycle("idle_combat_01", 1.0f, 0.0f, 0.0f);
  zombie->Update(1.0f / 60.0f);
  const float headBefore = zombie->GetBoneTranslation("Bip01 Head").z;
  zombie->ExecuteAction("attack_vomit", 1.0f, 0.0f, 0.0f, true);
  for (int i = 0; i < 66; ++i) zombie->Update(1.0f / 60.0f);  // 0.3 of its length
  EXPECT_GT(zombie->GetBoneTranslation("Bip01 Head").z, headBefore + 0.1f) << "the head thrust forward";
}

// The rocks burst out of the ground when their effect shows them, and the
// grenade flies from the thrower's hand to below the window in the same time as
// the throw that sends it, its trail's bone beside it.
TEST_F(EnemyFigureModel, RocksBurstAndGrenadesFly) {
  struct Case {
    const char* id;
    const char* animation;
    const char* rock;
    float buriedAt, upAt;  // seconds
  };
  const Case rocks[] = {
      {"radial_rocks_player", "radial_rocks_Y3", "rock01", 0.6f, 1.0f},
      {"radial_rocks_krauser", "radial_rocks_beam_wave", "rock01", 1.3f, 1.7f},
      {"line_rocks_krauser", "line_rocks_ground_beam", "rock01", 0.85f, 1.2f},
      {"line_rocks_krauser", "line_rocks_ground_beam", "rock10", 1.4f, 1.8f},
  };
  for (const Case& c : rocks) {
    SCOPED_TRACE(std::string(c.id) + " " + c.rock);
    CAnimator* a = Make(c.id, std::string(c.id) + "_body.xmf", true);
    a->ExecuteAction(c.animation, 1.0f, 0.0f, 0.0f, true);
    for (int i = 0; i < static_cast<int>(c.buriedAt * 120.0f); ++i) a->Update(1.0f / 120.0f);
    EXPECT_LT(a->GetBoneTranslation(c.rock).y, -0.1f) << "still under the ground";
    for (int i = static_cast<int>(c.buriedAt * 120.0f); i < static_cast<int>(c.upAt * 120.0f); ++i)
      a->Update(1.0f / 120.0f);
    EXPECT_GT(a->GetBoneTranslation(c.rock).y, 0.0f) << "out of it";
  }
  CAnimationTemplate* mutant = manager.FindTemplate("mutant");
  CAnimationTemplate* grenade = manager.FindTemplate("grenade_mutant");
  ASSERT_NE(mutant, nullptr);
  ASSERT_NE(grenade, nullptr);
  const char* const kThrows[6][2] = {
      {"window_grenade_01", "grenade_mutant_down_L"}, {"window_grenade_02", "grenade_mutant_down_F"},
      {"window_grenade_03", "grenade_mutant_down_R"}, {"window_grenade_04", "grenade_mutant_high_L"},
      {"window_grenade_05", "grenade_mutant_high_F"}, {"window_grenade_06", "grenade_mutant_high_R"}};
  for (const auto& t : kThrows) {
    SCOPED_TRACE(t[1]);
    const float throwLength =
        mutant->GetCoreModel()->getCoreAnimation(mutant->GetAnimationId(t[0]))->getDuration();
    const float flight =
        grenade->GetCoreModel()->getCoreAnimation(grenade->GetAnimationId(t[1]))->getDuration();
    EXPECT_FLOAT_EQ(throwLength, flight);
    CAnimator* a = Make("grenade_mutant", "grenade_mutant_body.xmf", true);
    a->ExecuteAction(t[1], 1.0f, 0.0f, 0.0f, true);
    a->Update(0.0f);
    const plat::Vec3 held = a->GetBoneTranslation("mutant_granade01");
    EXPECT_GT(held.y, 1.2f) << "in the hand";
    EXPECT_LT(std::fabs(held.z), 0.6f);
    for (int i = 0; i < static_cast<int>(flight * 60.0f) - 1; ++i) a->Update(1.0f / 60.0f);
    const plat::Vec3 landed = a->GetBoneTranslation("mutant_granade01");
    const float trail = plat::Length(a->GetBoneTranslation("mutant_granade01_trail") - landed);
    EXPECT_GT(trail, 0.02f) << "the trail's second bone rides beside the can";
    EXPECT_LT(trail, 0.15f);
    EXPECT_LT(landed.y, -2.0f) << "below the window";
    EXPECT_GT(landed.z, 5.0f) << "thrown ahead";
    const bool left = t[1][std::strlen(t[1]) - 1] == 'L', right = t[1][std::strlen(t[1]) - 1] == 'R';
    if (left) {
      EXPECT_GT(landed.x, 3.0f);
    }
    if (right) {
      EXPECT_LT(landed.x, -3.0f);
    }
  }
}

}  // namespace
}  // namespace anm
}  // namespace vd
