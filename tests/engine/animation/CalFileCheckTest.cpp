#include "engine/animation/CalFileCheck.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "engine/animation/AnimationManager.h"
#include "platform/fs/FileSystem.h"
#include "tests/engine/animation/AnimTestUtil.h"

namespace vd {
namespace anm {
namespace {

constexpr int kBones = 24;  // of the generated humanoid

std::string Read(const char* path) {
  std::vector<char> bytes;
  EXPECT_TRUE(plat::fs::ReadFile(path, bytes)) << path;
  return std::string(bytes.begin(), bytes.end());
}

// The text with its first `from` replaced.
std::string Replace(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

TEST(CalFileCheck, GeneratedFilesPass) {
  std::string error;
  EXPECT_TRUE(CheckCalXmlFile("Data/anims/humanoid.xsf", ECalFileKind::kSkeleton, 0, error)) << error;
  EXPECT_TRUE(CheckCalXmlFile("Data/anims/humanoid.xmf", ECalFileKind::kMesh, kBones, error)) << error;
  for (const char* name : {"idle", "run", "dash", "attack"}) {
    const std::string path = std::string("Data/anims/humanoid_") + name + ".xaf";
    EXPECT_TRUE(CheckCalXmlFile(path, ECalFileKind::kAnimation, kBones, error)) << path << ": " << error;
  }
  EXPECT_TRUE(IsCalXmlFile("a/b.XMF"));
  EXPECT_FALSE(IsCalXmlFile("a/b.cmf"));
}

TEST(GeneratedHumanoid, CommittedFilesMatchTheGenerator) {
  const std::string dir = "/tmp/hm_humanoid_" + std::to_string(getpid());
  ASSERT_EQ(std::system(("mkdir -p " + dir + " && " GEN_HUMANOID " " + dir).c_str()), 0);
  for (const char* name : {"humanoid.xsf", "humanoid.xmf", "humanoid_idle.xaf", "humanoid_run.xaf",
                           "humanoid_dash.xaf", "humanoid_attack.xaf"}) {
    EXPECT_TRUE(Read((dir + "/" + name).c_str()) == Read((std::string("Data/anims/") + name).c_str()))
        << name << " differs: run gen_humanoid";
  }
  std::system(("rm -rf " + dir).c_str());
}

// Each mutation of a good file that the library would crash on or index past.
TEST(CalFileCheck, MalformedFilesAreRejectedWithAReason) {
  const std::string skeleton = Read("Data/anims/humanoid.xsf");
  const std::string mesh = Read("Data/anims/humanoid.xmf");
  const std::string animation = Read("Data/anims/humanoid_attack.xaf");
  struct Case {
    const char* name;
    ECalFileKind kind;
    std::string text;
    const char* reason;
  };
  const Case cases[] = {
      {"skeleton count", ECalFileKind::kSkeleton, Replace(skeleton, "NUMBONES=\"24\"", "NUMBONES=\"25\""), "BONE"},
      {"skeleton no count", ECalFileKind::kSkeleton, Replace(skeleton, "NUMBONES=\"24\"", ""), "NUMBONES"},
      {"parent out of range", ECalFileKind::kSkeleton, Replace(skeleton, "<PARENTID>0<", "<PARENTID>99<"),
       "PARENTID"},
      {"child out of range", ECalFileKind::kSkeleton, Replace(skeleton, "<CHILDID>1<", "<CHILDID>-4<"), "CHILDID"},
      {"missing rotation", ECalFileKind::kSkeleton,
       Replace(skeleton, "<LOCALROTATION>0 0 0 1</LOCALROTATION>", ""), "LOCALROTATION"},
      {"wrong magic", ECalFileKind::kSkeleton, Replace(skeleton, "XSF", "XMF"), "HEADER"},
      {"not xml", ECalFileKind::kSkeleton, "<HEADER MAGIC=\"XSF\" <<", "XML"},
      {"empty", ECalFileKind::kMesh, "", "empty"},
      {"no texture count", ECalFileKind::kMesh, Replace(mesh, "NUMTEXCOORDS=\"1\"", ""), "NUMTEXCOORDS"},
      {"influence bone", ECalFileKind::kMesh, Replace(mesh, "<INFLUENCE ID=\"1\">", "<INFLUENCE ID=\"24\">"),
       "INFLUENCE ID"},
      {"face vertex", ECalFileKind::kMesh, Replace(mesh, "VERTEXID=\"0 1 2\"", "VERTEXID=\"0 1 99999\""),
       "FACE VERTEXID"},
      {"short face", ECalFileKind::kMesh, Replace(mesh, "VERTEXID=\"0 1 2\"", "VERTEXID=\"0 1\""), "FACE"},
      {"vertex count", ECalFileKind::kMesh, Replace(mesh, "NUMVERTICES=\"", "NUMVERTICES=\"1"), "VERTEX"},
      {"short position", ECalFileKind::kMesh, Replace(mesh, "<POS>", "<POS>x"), "POS"},
      {"track bone", ECalFileKind::kAnimation, Replace(animation, "BONEID=\"3\"", "BONEID=\"30\""), "BONEID"},
      {"key count", ECalFileKind::kAnimation, Replace(animation, "NUMKEYFRAMES=\"13\"", "NUMKEYFRAMES=\"14\""),
       "KEYFRAME"},
      {"key rotation", ECalFileKind::kAnimation, Replace(animation, "<ROTATION>", "<ROT>"), "ROTATION"},
      {"no duration", ECalFileKind::kAnimation, Replace(animation, "DURATION=", "LENGTH="), "DURATION"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(CheckCalXmlText(c.text, c.kind, kBones, error)) << c.name;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.name << ": " << error;
  }
}

// The mesh that crashed the library's reader is refused before it gets there.
TEST(CalFileCheck, TemplatesRefuseMalformedFilesWithALogLine) {
  test::CAnimLogCapture log;
  const std::string base = "hm_test_" + std::to_string(getpid());
  test::CTempFile mesh("Data/anims/" + base + ".xmf",
                       Replace(Read("Data/anims/humanoid.xmf"), "NUMTEXCOORDS=\"1\"", ""));
  test::CTempFile animation("Data/anims/" + base + ".xaf",
                            Replace(Read("Data/anims/humanoid_run.xaf"), "BONEID=\"0\"", "BONEID=\"77\""));
  test::CTempFile skeleton("Data/anims/" + base + ".xsf",
                           Replace(Read("Data/anims/humanoid.xsf"), "<PARENTID>-1<", "<PARENTID>-7<"));
  CAnimationManager manager;
  CAnimationTemplate* t = manager.LoadTemplate("checked", "Data/anims/humanoid.xsf");
  ASSERT_NE(t, nullptr);
  EXPECT_FALSE(t->LoadMesh((base + ".xmf").c_str(), std::string("Data/anims/") + base + ".xmf", 0, false));
  EXPECT_FALSE(t->LoadAnimation("broken", std::string("Data/anims/") + base + ".xaf"));
  EXPECT_EQ(t->GetMeshCount(), 0u);
  EXPECT_EQ(t->GetAnimationCount(), 0u);
  EXPECT_EQ(manager.LoadTemplate("bad_skeleton", std::string("Data/anims/") + base + ".xsf"), nullptr);
  EXPECT_TRUE(log.sink->Contains("rejected", "NUMTEXCOORDS"));
  EXPECT_TRUE(log.sink->Contains("rejected", "BONEID"));
  EXPECT_TRUE(log.sink->Contains("rejected", "PARENTID"));
}

}  // namespace
}  // namespace anm
}  // namespace vd
