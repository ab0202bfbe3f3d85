#include "engine/animation/CalFileCheck.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <cal3d/coremesh.h>
#include <cal3d/coremodel.h>
#include <cal3d/coresubmesh.h>

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
  // The full figure: 50 bones, every one of them moving in every animation.
  EXPECT_TRUE(CheckCalXmlFile("Data/anims/humanoid_full.xsf", ECalFileKind::kSkeleton, 0, error))
      << error;
  EXPECT_NE(Read("Data/anims/humanoid_full.xsf").find("NUMBONES=\"50\""), std::string::npos);
  EXPECT_TRUE(CheckCalXmlFile("Data/anims/humanoid_full.xmf", ECalFileKind::kMesh, 50, error))
      << error;
  EXPECT_NE(Read("Data/anims/humanoid_full.xmf").find("NUMINFLUENCES=\"2\""), std::string::npos);
  for (const char* name : {"idle", "run", "dash", "attack"}) {
    const std::string path = std::string("Data/anims/humanoid_full_") + name + ".xaf";
    EXPECT_TRUE(CheckCalXmlFile(path, ECalFileKind::kAnimation, 50, error))
        << path << ": " << error;
    EXPECT_NE(Read(path.c_str()).find("NUMTRACKS=\"50\""), std::string::npos) << path;
  }
  EXPECT_TRUE(IsCalXmlFile("a/b.XMF"));
  EXPECT_FALSE(IsCalXmlFile("a/b.cmf"));
}

TEST(GeneratedHumanoid, CommittedFilesMatchTheGenerator) {
  const std::string dir = "/tmp/hm_humanoid_" + std::to_string(getpid());
  ASSERT_EQ(std::system(("mkdir -p " + dir + " && " GEN_HUMANOID " " + dir).c_str()), 0);
  for (const char* name : {"humanoid.xsf", "humanoid.xmf", "humanoid_idle.xaf", "humanoid_run.xaf",
                           "humanoid_dash.xaf", "humanoid_attack.xaf", "humanoid_full.xsf",
                           "humanoid_full.xmf", "humanoid_full_idle.xaf", "humanoid_full_run.xaf",
                           "humanoid_full_dash.xaf", "humanoid_full_attack.xaf"}) {
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
      {"infinite position", ECalFileKind::kMesh, Replace(mesh, "<POS>", "<POS>-inf "), "POS"},
      {"texcoord nan", ECalFileKind::kMesh, Replace(mesh, "<TEXCOORD>0 0<", "<TEXCOORD>nan 0<"), "TEXCOORD"},
      {"short texcoord", ECalFileKind::kMesh, Replace(mesh, "<TEXCOORD>0 0<", "<TEXCOORD>0<"), "TEXCOORD"},
      {"influence weight nan", ECalFileKind::kMesh,
       Replace(mesh, "<INFLUENCE ID=\"1\">1<", "<INFLUENCE ID=\"1\">nan<"), "INFLUENCE"},
      {"keyframe out of order", ECalFileKind::kAnimation,
       Replace(animation, "<ROTATION>", "<TRANSLATION>0 0 0</TRANSLATION><ROTATION>"), "ROTATION"},
      {"bone out of order", ECalFileKind::kSkeleton,
       Replace(skeleton, "<LOCALROTATION>", "<CHILDID>1</CHILDID><LOCALROTATION>"), "LOCALROTATION"},
      {"key rotation inf", ECalFileKind::kAnimation, Replace(animation, "<ROTATION>", "<ROTATION>inf "),
       "ROTATION"},
      {"track bone", ECalFileKind::kAnimation, Replace(animation, "BONEID=\"3\"", "BONEID=\"30\""), "BONEID"},
      {"key count", ECalFileKind::kAnimation, Replace(animation, "NUMKEYFRAMES=\"13\"", "NUMKEYFRAMES=\"14\""),
       "KEYFRAME"},
      {"key rotation", ECalFileKind::kAnimation, Replace(animation, "<ROTATION>", "<ROT>"), "ROTATION"},
      {"no duration", ECalFileKind::kAnimation, Replace(animation, "DURATION=", "LENGTH="), "DURATION"},
      // One number too many passes on to the library's next read of its shared
      // stream: the last texture coordinate's extra 25 became the first face's vertex.
      {"extra texcoord", ECalFileKind::kMesh, Replace(mesh, "<TEXCOORD>0 0<", "<TEXCOORD>0 0 25<"),
       "TEXCOORD"},
      {"split number", ECalFileKind::kMesh, Replace(mesh, "<POS>", "<POS>1.5.2 "), "POS"},
      {"entity in a number", ECalFileKind::kMesh, Replace(mesh, "<POS>", "<POS>&#49;"), "POS"},
      {"float past float", ECalFileKind::kSkeleton,
       Replace(skeleton, "<LOCALROTATION>0 0 0 1<", "<LOCALROTATION>0 0 0 1e39<"), "LOCALROTATION"},
      {"extra face id", ECalFileKind::kMesh, Replace(mesh, "VERTEXID=\"0 1 2\"", "VERTEXID=\"0 1 2 3\""),
       "FACE"},
      {"lod steps", ECalFileKind::kMesh, Replace(mesh, "NUMLODSTEPS=\"0\"", "NUMLODSTEPS=\"-1\""),
       "SUBMESH"},
      // atoi reads it as 2147483647 influences to reserve.
      {"influence count past int", ECalFileKind::kMesh,
       Replace(mesh, "NUMINFLUENCES=\"", "NUMINFLUENCES=\"-2147483649\" X=\""), "NUMINFLUENCES"},
      {"negative influence count", ECalFileKind::kMesh,
       Replace(mesh, "NUMINFLUENCES=\"", "NUMINFLUENCES=\"-1\" X=\""), "NUMINFLUENCES"},
      {"collapse id without lods", ECalFileKind::kMesh,
       Replace(mesh, "</NORM>", "</NORM><COLLAPSEID>999</COLLAPSEID><COLLAPSECOUNT>0</COLLAPSECOUNT>"),
       "COLLAPSEID"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(CheckCalXmlText(c.text, c.kind, kBones, error)) << c.name;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.name << ": " << error;
  }
}

// Every one-byte damage of a small mesh: what the check lets through loads in the
// library (tangents on, as the templates load them) with every index it keeps in range.
TEST(CalFileCheck, NoOneByteDamageOfAMeshPassesWithAnIndexOutOfRange) {
  std::string good = "<HEADER MAGIC=\"XMF\" VERSION=\"919\" />\n<MESH NUMSUBMESH=\"1\">\n"
                     "<SUBMESH NUMVERTICES=\"4\" NUMFACES=\"2\" NUMLODSTEPS=\"0\" NUMSPRINGS=\"0\" "
                     "NUMTEXCOORDS=\"1\" MATERIAL=\"0\">\n";
  const char* corners[] = {"0 0 0", "1 0 0", "1 1 0", "0 1 0"};
  const char* uvs[] = {"0 0", "0.5 0", "0.5 0.25", "0 0.25"};
  for (int i = 0; i < 4; ++i)
    good += "<VERTEX ID=\"" + std::to_string(i) + "\" NUMINFLUENCES=\"1\"><POS>" + corners[i] +
            "</POS><NORM>0 0 1</NORM><TEXCOORD>" + uvs[i] + "</TEXCOORD><INFLUENCE ID=\"" +
            std::to_string(i * 7) + "\">1</INFLUENCE></VERTEX>\n";
  good += "<FACE VERTEXID=\"0 1 2\" />\n<FACE VERTEXID=\"0 2 3\" />\n</SUBMESH>\n</MESH>\n";

  test::CLogCapture log;  // thousands of refusals
  CAnimationManager manager;
  CAnimationTemplate* model = manager.LoadTemplate("damaged", "Data/anims/humanoid.xsf");
  ASSERT_NE(model, nullptr);
  const std::string path = "Data/anims/hm_test_damaged_" + std::to_string(getpid()) + ".xmf";
  int loaded = 0;
  auto tryText = [&](const std::string& text, const std::string& what) {
    std::string error;
    if (!CheckCalXmlText(text, ECalFileKind::kMesh, kBones, error)) return;
    test::CTempFile file(path, text);
    const std::string name = "m" + std::to_string(loaded);
    if (!model->LoadMesh(name.c_str(), path, 0, true)) return;
    ++loaded;
    CalCoreMesh* core = model->GetCoreModel()->getCoreMesh(model->GetMeshId(name.c_str()));
    ASSERT_NE(core, nullptr) << what;
    for (int m = 0; m < core->getCoreSubmeshCount(); ++m) {
      CalCoreSubmesh* sub = core->getCoreSubmesh(m);
      const int vertices = sub->getVertexCount();
      for (const CalCoreSubmesh::Face& f : sub->getVectorFace())
        for (int k = 0; k < 3; ++k)
          ASSERT_TRUE(f.vertexId[k] >= 0 && f.vertexId[k] < vertices) << what << "\n" << text;
      for (const CalCoreSubmesh::Vertex& v : sub->getVectorVertex()) {
        ASSERT_TRUE(v.collapseId >= -1 && v.collapseId < vertices) << what;
        for (const CalCoreSubmesh::Influence& in : v.vectorInfluence)
          ASSERT_TRUE(in.boneId >= 0 && in.boneId < kBones) << what << "\n" << text;
      }
      for (const auto& map : sub->getVectorVectorTextureCoordinate())
        ASSERT_EQ(static_cast<int>(map.size()), vertices) << what;
    }
  };
  tryText(good, "as it is");
  ASSERT_EQ(loaded, 1);
  const char kBytes[] = {' ', '.', '9', '-', 'e', '0'};
  for (size_t at = 0; at < good.size(); ++at) {
    for (char b : kBytes) {
      if (good[at] == b) continue;
      std::string text = good;
      text[at] = b;
      tryText(text, "byte " + std::to_string(at) + " = '" + b + "'");
      if (HasFatalFailure()) return;
    }
    std::string cut = good;
    cut.erase(at, 1);
    tryText(cut, "byte " + std::to_string(at) + " cut");
    if (HasFatalFailure()) return;
  }
  EXPECT_GT(loaded, 10);  // the harmless damages (a coordinate changed) still load
}

struct SBone {
  const char* parent;
  std::vector<int> children;
};

// A skeleton file with those parent ids and child lists.
std::string SkeletonText(const std::vector<SBone>& bones) {
  std::string s = "<HEADER MAGIC=\"XSF\" VERSION=\"919\" />\n<SKELETON NUMBONES=\"" +
                  std::to_string(bones.size()) + "\">\n";
  for (size_t i = 0; i < bones.size(); ++i) {
    s += "<BONE ID=\"" + std::to_string(i) + "\" NAME=\"b" + std::to_string(i) + "\" NUMCHILDS=\"" +
         std::to_string(bones[i].children.size()) + "\">\n";
    s += "<TRANSLATION>0 0 0</TRANSLATION><ROTATION>0 0 0 1</ROTATION>\n";
    s += "<LOCALTRANSLATION>0 0 0</LOCALTRANSLATION><LOCALROTATION>0 0 0 1</LOCALROTATION>\n";
    s += std::string("<PARENTID>") + bones[i].parent + "</PARENTID>\n";
    for (int c : bones[i].children) s += "<CHILDID>" + std::to_string(c) + "</CHILDID>\n";
    s += "</BONE>\n";
  }
  return s + "</SKELETON>\n";
}

// The library computes bones from the roots down the child lists, recursively.
TEST(CalFileCheck, SkeletonBonesMustFormATree) {
  struct Case {
    const char* name;
    std::vector<SBone> bones;
    const char* reason;  // null: accepted
  };
  const Case cases[] = {
      {"chain", {{"-1", {1}}, {"0", {2}}, {"1", {}}}, nullptr},
      {"forest", {{"-1", {2}}, {"-1", {}}, {"0", {}}}, nullptr},
      {"no bones", {}, nullptr},
      {"two bones naming each other", {{"-1", {}}, {"2", {2}}, {"1", {1}}}, "cycle"},
      {"own child", {{"0", {0}}}, "cycle"},
      {"every bone has a parent", {{"2", {1}}, {"0", {2}}, {"1", {0}}}, "cycle"},
      {"child of the wrong parent", {{"-1", {1, 2}}, {"0", {2}}, {"1", {}}}, "PARENTID 1"},
      {"child listed twice", {{"-1", {1, 1}}, {"0", {}}}, "twice"},
      {"parent that does not list it", {{"-1", {}}, {"0", {}}}, "does not list"},
      {"fractional parent", {{"-1", {1}}, {"0.5", {}}}, "PARENTID"},
      {"parent beyond long", {{"-1", {}}, {"99999999999999999999999", {}}}, "PARENTID"},
  };
  for (const Case& c : cases) {
    std::string error;
    const bool ok = CheckCalXmlText(SkeletonText(c.bones), ECalFileKind::kSkeleton, 0, error);
    if (!c.reason) {
      EXPECT_TRUE(ok) << c.name << ": " << error;
    } else {
      EXPECT_FALSE(ok) << c.name;
      EXPECT_NE(error.find(c.reason), std::string::npos) << c.name << ": " << error;
    }
  }
}

TEST(CalFileCheck, AnimationsNeedAPositiveDurationAndNumericTimes) {
  const std::string animation = Read("Data/anims/humanoid_attack.xaf");
  for (const char* duration : {"0", "-0.6", "nan", "inf", "soon"}) {
    std::string error;
    EXPECT_FALSE(CheckCalXmlText(
        Replace(animation, "DURATION=\"0.6\"", std::string("DURATION=\"") + duration + "\""),
        ECalFileKind::kAnimation, kBones, error))
        << duration;
    EXPECT_NE(error.find("DURATION"), std::string::npos) << duration << ": " << error;
  }
  std::string error;
  EXPECT_FALSE(CheckCalXmlText(Replace(animation, "TIME=\"0.05\"", "TIME=\"later\""),
                               ECalFileKind::kAnimation, kBones, error));
  EXPECT_NE(error.find("TIME"), std::string::npos) << error;
}

// The mesh that crashed the library's reader is refused before it gets there.
TEST(CalFileCheck, TemplatesRefuseMalformedFilesWithALogLine) {
  test::CLogCapture log;
  const std::string base = "hm_test_" + std::to_string(getpid());
  test::CTempFile mesh("Data/anims/" + base + ".xmf",
                       Replace(Read("Data/anims/humanoid.xmf"), "NUMTEXCOORDS=\"1\"", ""));
  test::CTempFile animation("Data/anims/" + base + ".xaf",
                            Replace(Read("Data/anims/humanoid_run.xaf"), "BONEID=\"0\"", "BONEID=\"77\""));
  test::CTempFile skeleton("Data/anims/" + base + ".xsf",
                           Replace(Read("Data/anims/humanoid.xsf"), "<PARENTID>-1<", "<PARENTID>-7<"));
  // Neck and head name each other as parent and child: the library would recurse
  // without end.
  test::CTempFile cyclic(
      "Data/anims/" + base + "_cycle.xsf",
      Replace(
          Replace(Replace(Read("Data/anims/humanoid.xsf"), "NAME=\"Bip01 Head\" NUMCHILDS=\"0\"",
                          "NAME=\"Bip01 Head\" NUMCHILDS=\"1\""),
                  "<PARENTID>4</PARENTID>\n", "<PARENTID>4</PARENTID>\n    <CHILDID>4</CHILDID>\n"),
          "<PARENTID>3</PARENTID>\n    <CHILDID>5</CHILDID>",
          "<PARENTID>5</PARENTID>\n    <CHILDID>5</CHILDID>"));
  test::CTempFile instant(
      "Data/anims/" + base + "_instant.xaf",
      Replace(Read("Data/anims/humanoid_run.xaf"), "DURATION=\"0.8\"", "DURATION=\"0\""));
  CAnimationManager manager;
  CAnimationTemplate* t = manager.LoadTemplate("checked", "Data/anims/humanoid.xsf");
  ASSERT_NE(t, nullptr);
  EXPECT_FALSE(t->LoadMesh((base + ".xmf").c_str(), std::string("Data/anims/") + base + ".xmf", 0, false));
  EXPECT_FALSE(t->LoadAnimation("broken", std::string("Data/anims/") + base + ".xaf"));
  EXPECT_FALSE(t->LoadAnimation("instant", std::string("Data/anims/") + base + "_instant.xaf"));
  EXPECT_EQ(t->GetMeshCount(), 0u);
  EXPECT_EQ(t->GetAnimationCount(), 0u);
  EXPECT_EQ(manager.LoadTemplate("bad_skeleton", std::string("Data/anims/") + base + ".xsf"), nullptr);
  EXPECT_EQ(manager.LoadTemplate("cyclic", std::string("Data/anims/") + base + "_cycle.xsf"),
            nullptr);
  EXPECT_TRUE(log.sink->Contains("rejected", "cycle"));
  EXPECT_TRUE(log.sink->Contains("rejected", "DURATION"));
  EXPECT_TRUE(log.sink->Contains("rejected", "NUMTEXCOORDS"));
  EXPECT_TRUE(log.sink->Contains("rejected", "BONEID"));
  EXPECT_TRUE(log.sink->Contains("rejected", "PARENTID"));
}

}  // namespace
}  // namespace anm
}  // namespace vd
