// The player's generated figure: every file passes the check, the generator writes
// exactly what is committed, the template resolves every animation the player
// plays, and the motions move the figure the way their names say.
#include <cal3d/coremesh.h>
#include <cal3d/coremodel.h>
#include <cal3d/coreskeleton.h>
#include <cal3d/coresubmesh.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <rapidxml/rapidxml.hpp>
#include <set>
#include <string>
#include <vector>

#include "engine/animation/AnimationManager.h"
#include "engine/animation/Animator.h"
#include "engine/animation/CalFileCheck.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/Transform.h"
#include "platform/fs/FileSystem.h"
#include "platform/image/Image.h"
#include "tests/engine/animation/AnimTestUtil.h"

namespace vd {
namespace anm {
namespace {

constexpr int kBones = 28;
const char* const kMeshes[] = {"brannoc_body.xmf"};
// Every animation the player, its combo and its effects play.
const char* const kAnimations[] = {"idle_01",
                                   "random_01",
                                   "random_02",
                                   "random_03",
                                   "idle_combat_01",
                                   "run_01",
                                   "walk_01",
                                   "dash_front_01",
                                   "dash_back_01",
                                   "dash_left_01",
                                   "dash_right_01",
                                   "cover_in_01",
                                   "cover_out_01",
                                   "cover_hit_01",
                                   "X1",
                                   "X2",
                                   "X3",
                                   "X4",
                                   "X5",
                                   "Y1",
                                   "Y2",
                                   "Y3",
                                   "holding",
                                   "HOLDING_ATTACK",
                                   "attack_to_idle",
                                   "combo_auto_01",
                                   "combo_auto_02",
                                   "gas_01",
                                   "grenades_01",
                                   "simple_hit_01",
                                   "wave_hit_01",
                                   "death_01",
                                   "death_wave_01",
                                   "fatality_01",
                                   "fatality_02",
                                   "fatality_03",
                                   "fatality_04"};
const char* const kNamedBones[] = {"Bip01",        "Bip01 L Hand", "Bip01 R Hand", "Bip01 L Calf",
                                   "Bip01 L Toe0", "Bone01",       "Bone02",       "Bone03",
                                   "Bone04",       "Bone05",       "Bone06"};

std::string Read(const std::string& path) {
  std::vector<char> bytes;
  EXPECT_TRUE(plat::fs::ReadFile(path.c_str(), bytes)) << path;
  return std::string(bytes.begin(), bytes.end());
}

std::vector<std::string> GeneratedFiles() {
  std::vector<std::string> files{"brannoc.xsf"};
  for (const char* mesh : kMeshes) files.push_back(mesh);
  for (const char* name : kAnimations) files.push_back(std::string("brannoc_") + name + ".xaf");
  return files;
}

TEST(PlayerFigure, EveryFilePassesTheCheck) {
  std::string error;
  EXPECT_TRUE(CheckCalXmlFile("Data/anims/brannoc.xsf", ECalFileKind::kSkeleton, 0, error))
      << error;
  EXPECT_NE(Read("Data/anims/brannoc.xsf").find("NUMBONES=\"28\""), std::string::npos);
  for (const char* mesh : kMeshes) {
    const std::string path = std::string("Data/anims/") + mesh;
    EXPECT_TRUE(CheckCalXmlFile(path, ECalFileKind::kMesh, kBones, error)) << path << ": " << error;
  }
  for (const char* name : kAnimations) {
    const std::string path = std::string("Data/anims/brannoc_") + name + ".xaf";
    EXPECT_TRUE(CheckCalXmlFile(path, ECalFileKind::kAnimation, kBones, error))
        << path << ": " << error;
  }
}

TEST(PlayerFigure, CommittedFilesMatchTheGenerator) {
  const std::string dir = "/tmp/hm_player_" + std::to_string(getpid());
  ASSERT_EQ(std::system(("mkdir -p " + dir + " && " GEN_PLAYER " " + dir).c_str()), 0);
  for (const std::string& name : GeneratedFiles())
    EXPECT_TRUE(Read(dir + "/" + name) == Read("Data/anims/" + name))
        << name << " differs: run gen_player";
  EXPECT_TRUE(Read(dir + "/brannoc.png") == Read("Data/textures/characters/brannoc.png"))
      << "the colour texture differs: run gen_player";
  std::system(("rm -rf " + dir).c_str());
}

class PlayerFigureModel : public ::testing::Test {
protected:
  void SetUp() override {
    CAnimationManager::SetLoadingModeRotateX();
    ASSERT_TRUE(manager.LoadTemplates("Data/xml/loading_animation_templates.xml"));
    figure = manager.FindTemplate("brannoc");
    ASSERT_NE(figure, nullptr);
    ASSERT_NE(figure->GetCoreModel(), nullptr);
  }

  CAnimator* Make() {
    object = std::make_unique<obj::CGameObject>();
    transform = new gfx::CTransform();
    transform->UpdateMatrix();
    object->AddComponent(transform);
    std::string xml =
        "<Component class='CAnimator'><key name='animation' value='brannoc'/>"
        "<key name='animation_instance_name' value='brannoc_test'/>"
        "<key name='mesh' value='brannoc_body.xmf'/><key name='static' value='0'/></Component>";
    std::vector<char> buffer(xml.begin(), xml.end());
    buffer.push_back('\0');
    rapidxml::xml_document<> doc;
    doc.parse<0>(buffer.data());
    CAnimator* animator = new CAnimator();
    animator->Load(doc.first_node());
    object->AddComponent(animator);
    EXPECT_TRUE(animator->Init());
    return animator;
  }

  test::CLogCapture log;
  CAnimationManager manager;
  CAnimationTemplate* figure = nullptr;
  std::unique_ptr<obj::CGameObject> object;
  gfx::CTransform* transform = nullptr;
};

TEST_F(PlayerFigureModel, TheTemplateHoldsEveryAnimationBoneAndMesh) {
  CalCoreModel* core = figure->GetCoreModel();
  EXPECT_EQ(figure->GetAnimationCount(), std::size(kAnimations));
  std::set<int> ids;
  for (const char* name : kAnimations) {
    const int id = figure->GetAnimationId(name);
    EXPECT_GE(id, 0) << name;
    ASSERT_NE(core->getCoreAnimation(id), nullptr) << name;
    EXPECT_EQ(core->getCoreAnimation(id)->getName(), name);
    const float duration = core->getCoreAnimation(id)->getDuration();
    EXPECT_GE(duration, 0.3f) << name;
    EXPECT_LE(duration, 3.0f) << name;
    ids.insert(id);
  }
  EXPECT_EQ(ids.size(), std::size(kAnimations)) << "each name has its own animation";
  CalCoreSkeleton* skeleton = core->getCoreSkeleton();
  ASSERT_NE(skeleton, nullptr);
  EXPECT_EQ(skeleton->getVectorCoreBone().size(), static_cast<size_t>(kBones));
  for (const char* bone : kNamedBones) EXPECT_GE(skeleton->getCoreBoneId(bone), 0) << bone;
  for (const char* mesh : kMeshes) EXPECT_GE(figure->FindMeshId(mesh), 0) << mesh;
  EXPECT_FALSE(log.sink->Contains("brannoc")) << "nothing about the figure is logged";
}

// Skinning weights are whole, at most four per vertex, and every face turns its
// front outwards (its winding agrees with its vertices' normals).
TEST_F(PlayerFigureModel, MeshesAreSkinnedAndFaceOutwards) {
  for (const char* name : kMeshes) {
    SCOPED_TRACE(name);
    CalCoreMesh* mesh = figure->GetCoreModel()->getCoreMesh(figure->FindMeshId(name));
    ASSERT_NE(mesh, nullptr);
    for (CalCoreSubmesh* sub : mesh->getVectorCoreSubmesh()) {
      const auto& vertices = sub->getVectorVertex();
      ASSERT_GT(vertices.size(), 0u);
      for (const auto& v : vertices) {
        ASSERT_GE(v.vectorInfluence.size(), 1u);
        ASSERT_LE(v.vectorInfluence.size(), 4u);
        float sum = 0.0f;
        for (const auto& in : v.vectorInfluence) sum += in.weight;
        EXPECT_NEAR(sum, 1.0f, 1e-4f);
      }
      int inward = 0;
      for (const auto& f : sub->getVectorFace()) {
        const CalVector& a = vertices[f.vertexId[0]].position;
        CalVector n = vertices[f.vertexId[0]].normal + vertices[f.vertexId[1]].normal +
                      vertices[f.vertexId[2]].normal;
        CalVector e1 = vertices[f.vertexId[1]].position - a;
        CalVector e2 = vertices[f.vertexId[2]].position - a;
        const CalVector cross(e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z,
                              e1.x * e2.y - e1.y * e2.x);
        if (cross * n < 0.0f) ++inward;
      }
      EXPECT_EQ(inward, 0);
    }
  }
}

// The animator attaches one mesh, so that mesh must carry the blades; its colours
// tell the player's figure apart: a dark coat, light shirt and skin, bright steel.
TEST_F(PlayerFigureModel, TheAttachedMeshHoldsTheBladesAndIsDressed) {
  CalCoreSkeleton* skeleton = figure->GetCoreModel()->getCoreSkeleton();
  CalCoreMesh* mesh = figure->GetCoreModel()->getCoreMesh(figure->FindMeshId("brannoc_body.xmf"));
  ASSERT_NE(mesh, nullptr);
  plat::image::Image colours;
  std::string error;
  ASSERT_TRUE(plat::image::LoadFile("Data/textures/characters/brannoc.png", colours, error))
      << error;
  ASSERT_EQ(colours.levels.size(), 1u);
  const plat::image::Level& texels = colours.levels[0];
  // The brightness (0..255) of the texel a vertex samples.
  auto brightness = [&texels](const CalCoreSubmesh::TextureCoordinate& uv) {
    const uint32_t x = std::min(texels.width - 1, static_cast<uint32_t>(uv.u * texels.width));
    const uint32_t y = std::min(texels.height - 1, static_cast<uint32_t>(uv.v * texels.height));
    const uint8_t* p = &texels.data[(y * texels.width + x) * 4];
    return (p[0] + p[1] + p[2]) / 3;
  };
  struct SPart {
    const char* bone;
    int vertices = 0, darkest = 255, brightest = 0;
  } parts[] = {{"Bone01"}, {"Bone03"}, {"Bone04"}, {"Bone05"}, {"Bone06"}, {"Bip01 Spine1"}};
  for (CalCoreSubmesh* sub : mesh->getVectorCoreSubmesh()) {
    ASSERT_GE(sub->getVectorVectorTextureCoordinate().size(), 1u);
    const auto& uvs = sub->getVectorVectorTextureCoordinate()[0];
    const auto& vertices = sub->getVectorVertex();
    for (size_t i = 0; i < vertices.size(); ++i) {
      for (SPart& part : parts) {
        for (const auto& in : vertices[i].vectorInfluence) {
          if (in.boneId != skeleton->getCoreBoneId(part.bone) || in.weight < 0.99f) continue;
          ++part.vertices;
          part.darkest = std::min(part.darkest, brightness(uvs[i]));
          part.brightest = std::max(part.brightest, brightness(uvs[i]));
        }
      }
    }
  }
  for (const SPart& part : parts) EXPECT_GT(part.vertices, 0) << part.bone << " carries nothing";
  for (int i : {1, 2, 4}) EXPECT_GT(parts[i].darkest, 180) << parts[i].bone << ": steel is bright";
  const SPart& chest = parts[5];
  EXPECT_LT(chest.darkest, 50) << "the coat is dark";
  EXPECT_GT(chest.brightest, 150) << "the shirt shows under it";
}

// Plays one animation for its whole length at 60 frames a second.
void Play(CAnimator* animator, const char* name, bool action) {
  if (action) {
    animator->ExecuteAction(name, 1.0f, 0.0f, 0.0f, false);
  } else {
    animator->BlendCycle(name, 1.0f, 0.0f, 0.0f);
  }
}

TEST_F(PlayerFigureModel, TheMotionsMoveTheFigureAsNamed) {
  // The object faces +z with its left towards +x; actions that travel carry it.
  struct Case {
    const char* name;
    float dx, dz;  // expected travel, within 0.3 m
  };
  const Case travels[] = {
      {"dash_front_01", 0, 3.0f},
      {"dash_back_01", 0, -2.6f},
      {"dash_left_01", 2.6f, 0},
      {"dash_right_01", -2.6f, 0},
      {"X1", 0, 0.3f},
      {"X5", 0, 1.2f},
      {"HOLDING_ATTACK", 0, 1.4f},
      {"simple_hit_01", 0, -0.4f},
      {"death_01", 0, -0.5f},
      {"idle_combat_01", 0, 0},
      {"cover_in_01", 0, 0},
  };
  for (const Case& c : travels) {
    SCOPED_TRACE(c.name);
    CAnimator* animator = Make();
    ASSERT_NE(animator->GetModel(), nullptr);
    animator->BlendCycle("idle_combat_01", 1.0f, 0.0f, 0.0f);
    if (std::string(c.name) != "idle_combat_01") Play(animator, c.name, true);
    const int frames = static_cast<int>(animator->GetAnimationDuration(c.name) * 60.0f) + 2;
    for (int i = 0; i < frames; ++i) animator->Update(1.0f / 60.0f);
    EXPECT_NEAR(transform->position.x, c.dx, 0.3f);
    EXPECT_NEAR(transform->position.z, c.dz, 0.3f);
    animator->Reset();
  }
}

TEST_F(PlayerFigureModel, LimbsSwingAndTheDeadLieDown) {
  CAnimator* animator = Make();
  ASSERT_NE(animator->GetModel(), nullptr);
  // X1: the left hand's samples move along with the body's swing, the right
  // blade's tip sweeps wide.
  animator->subStepping = true;
  animator->subStepTime = 1.0f / 240.0f;
  animator->AddSampledBone("Bip01 L Hand");
  animator->AddSampledBone("Bone04");
  animator->BlendCycle("idle_combat_01", 1.0f, 0.0f, 0.0f);
  animator->ExecuteAction("X1", 1.0f, 0.0f, 0.0f, false);
  float hand = 0.0f, tip = 0.0f;
  plat::Vec3 firstHand, firstTip;
  for (int frame = 0; frame < 40; ++frame) {
    animator->Update(1.0f / 60.0f);
    for (const plat::Vec3& p : *animator->GetBoneSamples("Bip01 L Hand")) {
      if (frame == 0 && hand == 0.0f) firstHand = p;
      hand = std::fmax(hand, plat::Length(p - firstHand));
    }
    for (const plat::Vec3& p : *animator->GetBoneSamples("Bone04")) {
      if (frame == 0 && tip == 0.0f) firstTip = p;
      tip = std::fmax(tip, plat::Length(p - firstTip));
    }
  }
  EXPECT_GT(hand, 0.05f) << "the left hand moves during X1";
  EXPECT_GT(tip, 0.6f) << "the right blade's tip sweeps";
  animator->Reset();

  // run_01: the feet pass each other, half a cycle apart.
  animator = Make();
  animator->BlendCycle("run_01", 1.0f, 0.0f, 0.0f);
  animator->Update(0.18f);
  const float leftAhead = animator->GetBoneTranslation("Bip01 L Foot").z -
                          animator->GetBoneTranslation("Bip01 R Foot").z;
  animator->Update(0.36f);
  const float leftAheadLater = animator->GetBoneTranslation("Bip01 L Foot").z -
                               animator->GetBoneTranslation("Bip01 R Foot").z;
  EXPECT_GT(std::fabs(leftAhead), 0.3f);
  EXPECT_LT(leftAhead * leftAheadLater, 0.0f) << leftAhead << " then " << leftAheadLater;
  animator->Reset();

  // Deaths end with the head near the floor.
  for (const char* death : {"death_01", "death_wave_01"}) {
    SCOPED_TRACE(death);
    animator = Make();
    animator->BlendCycle("idle_combat_01", 1.0f, 0.0f, 0.0f);
    animator->Update(1.0f / 60.0f);
    const float standing = animator->GetBoneTranslation("Bip01 Head").y;
    animator->ExecuteAction(death, 1.0f, 0.0f, 0.0f, true);
    for (int i = 0; i < 130; ++i) animator->Update(1.0f / 60.0f);
    EXPECT_GT(standing, 1.4f);
    EXPECT_LT(animator->GetBoneTranslation("Bip01 Head").y, 0.4f);
    animator->Reset();
  }
}

}  // namespace
}  // namespace anm
}  // namespace vd
