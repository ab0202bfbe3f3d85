#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "engine/core/Log.h"
#include "engine/render/RenderManager.h"
#include "engine/render/buffers/VertexBuffer.h"
#include "engine/render/device/GraphicsManager.h"
#include "platform/gpu/Device.h"
#include "tests/support/LogRecorder.h"

namespace vd {
namespace {

using gfx::CRenderManager;
using gfx::SRenderData;
using gfx::SRenderItem;

// A scratch folder, removed with the fixture.
class Scratch {
public:
  explicit Scratch(const std::string& root)
      : m_dir(root + "/rm_test_" + std::to_string(::getpid())) {
    std::filesystem::create_directories(m_dir);
  }
  ~Scratch() { std::filesystem::remove_all(m_dir); }
  std::string Write(const std::string& name, const std::string& bytes) const {
    const std::string path = m_dir + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  const std::string& Dir() const { return m_dir; }

private:
  std::string m_dir;
};

class RenderManagerTest : public ::testing::Test {
protected:
  void SetUp() override {
    utl::SetLogSinks(&sinks);
    sinks.AddSink(new test::CLogRecorder(&log));
    ASSERT_TRUE(manager.Init(nullptr));
  }
  void TearDown() override { utl::SetLogSinks(nullptr); }

  // The main thread's per-frame commit.
  void Commit() {
    manager.commitRequested = true;
    manager.CommitRenderData();
  }
  // Registration data of one renderer.
  SRenderData& Data(int type, int layer, const char* mesh = "m") {
    auto data = std::make_unique<SRenderData>();
    data->renderType = type;
    data->layer = layer;
    names.push_back(std::make_unique<CStringHash>(mesh));
    data->meshName = names.back().get();
    datas.push_back(std::move(data));
    return *datas.back();
  }

  std::string log;
  utl::CLogSinkHolder sinks;
  CRenderManager manager;
  std::vector<std::unique_ptr<SRenderData>> datas;
  std::vector<std::unique_ptr<CStringHash>> names;
};

TEST_F(RenderManagerTest, AFlagChangedTwiceArrivesWithItsLastValue) {
  EXPECT_TRUE(manager.ssao.render);
  manager.ssao.Set(false);
  manager.ssao.Set(true);
  manager.depthOfField.Set(true);
  EXPECT_FALSE(manager.depthOfField.render);  // the frame sees nothing before the commit
  manager.CommitRenderData();                 // no commit request needed for settings
  EXPECT_TRUE(manager.ssao.render);
  EXPECT_TRUE(manager.depthOfField.render);
  manager.gameZone.Set(3);
  manager.gameZone.Set(4);
  manager.CommitRenderData();
  EXPECT_EQ(manager.gameZone.render, 4);
}

TEST_F(RenderManagerTest, EntriesLandInTheListOfTheirKind) {
  struct Case {
    int type, layer, list;
  } cases[] = {
      {gfx::kRenderTypeStatic, gfx::kLayerFrontScene, gfx::kListParticle},
      {gfx::kRenderTypeStatic, gfx::kLayerBackScene, gfx::kListMesh},
      {gfx::kRenderTypeDynamic, gfx::kLayerFloor, gfx::kListMesh},
      {gfx::kRenderTypeAnimation, gfx::kLayerFrontScene, gfx::kListMesh},
      {gfx::kRenderTypeParticles, gfx::kLayerFloor, gfx::kListParticle},
      {gfx::kRenderTypeWater, gfx::kLayerBackScene, gfx::kListWater},
      {gfx::kRenderTypeBackground, gfx::kLayerBackground, gfx::kListBackground},
      {gfx::kRenderTypeHud, gfx::kLayerHud, gfx::kListHud},
      {gfx::kRenderTypeMenu, gfx::kLayerMenu, gfx::kListMenu},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type * 100 + c.layer);
    SRenderData& data = Data(c.type, c.layer);
    std::vector<SRenderItem*> items;
    ASSERT_EQ(manager.AddRenderer(data, items), 1);
    EXPECT_EQ(manager.PendingList(c.list).size(), 1u);
    EXPECT_EQ(manager.GetRenderList(data.handle), -1);  // not drawn before the commit
    Commit();
    EXPECT_EQ(manager.GetRenderList(data.handle), c.list);
    EXPECT_TRUE(manager.PendingList(c.list).empty());
    manager.RemoveRenderer(data, items);
    EXPECT_TRUE(manager.DrawnList(c.list).empty());
  }
  // Nothing for an unknown type or a mesh renderer without a mesh.
  std::vector<SRenderItem*> items;
  EXPECT_EQ(manager.AddRenderer(Data(3, 0), items), 0);
  EXPECT_EQ(manager.AddRenderer(Data(gfx::kRenderTypeStatic, 0, ""), items), 0);
}

TEST_F(RenderManagerTest, SwitchesReachOnlyTheRenderersOwnEntries) {
  SRenderData& a = Data(gfx::kRenderTypeHud, gfx::kLayerHud);
  a.screenItemCount = 3;
  SRenderData& b = Data(gfx::kRenderTypeHud, gfx::kLayerHud);
  std::vector<SRenderItem*> itemsA, itemsB;
  ASSERT_EQ(manager.AddRenderer(a, itemsA), 3);
  ASSERT_EQ(manager.AddRenderer(b, itemsB), 1);
  Commit();
  manager.DisableRenderer(a, itemsA);
  manager.SetCastShadow(a, itemsA, false);
  for (const SRenderItem* item : itemsA) EXPECT_FALSE(item->active || item->shadowCaster);
  EXPECT_TRUE(itemsB[0]->active && itemsB[0]->shadowCaster);
  manager.EnableRenderer(a, itemsA);
  EXPECT_TRUE(manager.IsInDrawnLists(a.handle));
  manager.RemoveRenderer(a, itemsA);
  EXPECT_EQ(manager.DrawnList(gfx::kListHud).size(), 1u);
  EXPECT_TRUE(itemsA.empty());
  // Switching a removed renderer touches nothing.
  manager.DisableRenderer(a, itemsA);
  EXPECT_TRUE(itemsB[0]->active);
}

TEST_F(RenderManagerTest, ListMovesAndARemovalBeforeTheMove) {
  SRenderData& a = Data(gfx::kRenderTypeStatic, gfx::kLayerBackScene);
  SRenderData& b = Data(gfx::kRenderTypeStatic, gfx::kLayerBackScene);
  std::vector<SRenderItem*> itemsA, itemsB;
  manager.AddRenderer(a, itemsA);
  manager.AddRenderer(b, itemsB);
  // Queued before the entries are drawn: the commit takes the pending entries
  // over first, then moves them.
  manager.QueueMoveToRenderList1(itemsA);
  Commit();
  EXPECT_EQ(manager.GetRenderList(a.handle), gfx::kListParticle);
  // An entry that is not in the source list stays where it is.
  manager.QueueMoveToRenderList1(itemsA);
  manager.CommitRenderData();
  EXPECT_EQ(manager.GetRenderList(a.handle), gfx::kListParticle);
  EXPECT_EQ(manager.DrawnList(gfx::kListParticle).size(), 1u);
  manager.QueueMoveToRenderList0(itemsA);
  manager.CommitRenderData();
  EXPECT_EQ(manager.GetRenderList(a.handle), gfx::kListMesh);
  manager.QueueMoveToRenderList1(itemsA);
  manager.QueueMoveToRenderList1(itemsB);
  // A renderer removed while its move waits must not leave a dangling handle.
  manager.RemoveRenderer(b, itemsB);
  manager.CommitRenderData();
  EXPECT_EQ(manager.GetRenderList(a.handle), gfx::kListParticle);
  EXPECT_EQ(itemsA[0]->layer, gfx::kLayerFrontScene);
  EXPECT_EQ(manager.DrawnList(gfx::kListParticle).size(), 1u);
  manager.QueueMoveToRenderList0(a.handle);
  manager.CommitRenderData();
  EXPECT_EQ(manager.GetRenderList(a.handle), gfx::kListMesh);
  EXPECT_EQ(itemsA[0]->layer, gfx::kLayerBackScene);
}

TEST_F(RenderManagerTest, EntryLessIsAStrictWeakOrder) {
  SRenderItem a, b;
  for (int mode : {0, 1, 2, 3, -1}) {
    EXPECT_FALSE(manager.EntryLess(a, a, mode)) << mode;
  }
  // Mode 0: layer first, then type, effect, technique, material, mesh, lightmap.
  a.layer = 1;
  b.layer = 2;
  b.renderType = -5;
  EXPECT_TRUE(manager.EntryLess(a, b, 0));
  EXPECT_FALSE(manager.EntryLess(b, a, 0));
  b.layer = 1;
  EXPECT_TRUE(manager.EntryLess(b, a, 0));
  b.renderType = 0;
  a.effect = 1;
  b.effect = 0xFFFFFFF0u;  // unsigned: the large hash comes last
  EXPECT_TRUE(manager.EntryLess(a, b, 0));
  b.effect = 1;
  a.currentMaterial = -1;
  EXPECT_TRUE(manager.EntryLess(a, b, 0));
  // Equal keys fall back to the addresses: exactly one of the two comes first.
  a.currentMaterial = 0;
  EXPECT_NE(manager.EntryLess(a, b, 0), manager.EntryLess(b, a, 0));
  // Mode 2: smaller z first.
  plat::Vec3 pa(0, 0, 5), pb(0, 0, -1);
  a.position = &pa;
  b.position = &pb;
  EXPECT_TRUE(manager.EntryLess(b, a, 2));
  EXPECT_FALSE(manager.EntryLess(a, b, 2));
  EXPECT_FALSE(manager.EntryLess(a, b, 7));
  EXPECT_FALSE(manager.EntryLess(b, a, 7));
}

TEST_F(RenderManagerTest, BoxInFrustumAgainstKnownPlanes) {
  // The cube -10..10 on every axis, normals inwards.
  const plat::Plane planes[6] = {{1, 0, 0, 10},  {-1, 0, 0, 10}, {0, 1, 0, 10},
                                 {0, -1, 0, 10}, {0, 0, 1, 10},  {0, 0, -1, 10}};
  struct Case {
    float min[3], max[3];
    bool in;
  } cases[] = {
      {{-1, -1, -1}, {1, 1, 1}, true},         // inside
      {{9, 9, 9}, {20, 20, 20}, true},         // straddles a corner
      {{11, 0, 0}, {12, 1, 1}, false},         // beyond +x
      {{-30, -1, -1}, {-10.5f, 1, 1}, false},  // beyond -x
      {{-30, -30, -30}, {30, 30, 30}, true},   // encloses the frustum
      {{0, 0, 10}, {0, 0, 10}, true},          // touching counts as inside
  };
  for (const Case& c : cases) EXPECT_EQ(CRenderManager::BoxInFrustum(planes, c.min, c.max), c.in);
}

TEST_F(RenderManagerTest, SplitCornersOfAKnownCamera) {
  gfx::SFrustumView view;
  view.eye = plat::Vec3(0, 0, 0);
  view.forward = plat::Vec3(0, 0, -1);
  view.right = plat::Vec3(1, 0, 0);
  view.up = plat::Vec3(0, 1, 0);
  view.fov = 2.0f * std::atan(1.0f);  // 90 degrees: the half-size equals the distance
  plat::Vec3 corners[8];
  CRenderManager::SplitFrustumCorners(view, 1.0f, 3.0f, corners);
  // Before the push: near corners at z -1 with x, y = +-1, far at z -3 with +-3; the
  // centroid is (0, 0, -2).
  const plat::Vec3 expected[8] = {
      {-1.1f, -1.1f, -0.9f}, {-1.1f, 1.1f, -0.9f}, {1.1f, 1.1f, -0.9f}, {1.1f, -1.1f, -0.9f},
      {-3.3f, -3.3f, -3.1f}, {-3.3f, 3.3f, -3.1f}, {3.3f, 3.3f, -3.1f}, {3.3f, -3.3f, -3.1f}};
  for (int i = 0; i < 8; ++i) {
    EXPECT_NEAR(corners[i].x, expected[i].x, 1e-5f) << i;
    EXPECT_NEAR(corners[i].y, expected[i].y, 1e-5f) << i;
    EXPECT_NEAR(corners[i].z, expected[i].z, 1e-5f) << i;
  }
  // The up axis enters with its third component negated.
  view.up = plat::Vec3(0, 0, 1);
  CRenderManager::SplitFrustumCorners(view, 1.0f, 1.0f, corners);
  EXPECT_NEAR(corners[1].z, -2.1f, 1e-5f);  // (-1, 0, -2) before the push from (0, 0, -1)
}

TEST_F(RenderManagerTest, QualityPresets) {
  manager.ApplyQualityPreset(3, false, true, false, true);
  manager.CommitRenderData();
  EXPECT_TRUE(manager.shadows.render);
  EXPECT_TRUE(manager.pcf.render);
  EXPECT_FALSE(manager.screenShadows.render);
  EXPECT_FALSE(manager.halfResolutionShadows.render);
  EXPECT_FALSE(manager.ssao.render);
  EXPECT_TRUE(manager.glow.render && manager.decals.render && manager.depthMap.render);
  EXPECT_FALSE(manager.recreateShadowTargets);
  // A new size reaches the frame (and its rebuild request) with the commit only.
  manager.ApplyQualityPreset(4, true, true, true, true);
  EXPECT_EQ(manager.screenShadowSize.pending, 256);
  EXPECT_EQ(manager.screenShadowSize.render, 512);
  EXPECT_FALSE(manager.recreateShadowTargets);
  manager.CommitRenderData();
  EXPECT_EQ(manager.screenShadowSize.render, 256);
  EXPECT_TRUE(manager.recreateShadowTargets);
  manager.recreateShadowTargets = false;
  manager.ApplyQualityPreset(4, true, true, true, true);
  manager.CommitRenderData();
  EXPECT_FALSE(manager.recreateShadowTargets);  // no change of size
  manager.ApplyQualityPreset(1, true, true, true, true);
  EXPECT_FALSE(manager.halfResolutionShadows.render);
  manager.CommitRenderData();
  EXPECT_TRUE(manager.halfResolutionShadows.render);
  EXPECT_FALSE(manager.pcf.render);
}

TEST_F(RenderManagerTest, RingHoldsOneFewerThanItsSlots) {
  gfx::CRequestRing<int> ring(21);
  int values[21];
  for (int i = 0; i < 20; ++i) EXPECT_TRUE(ring.Push(&values[i])) << i;
  EXPECT_FALSE(ring.Push(&values[20]));
  EXPECT_EQ(ring.Pop(), &values[0]);
  EXPECT_TRUE(ring.Push(&values[20]));  // wraps around
  for (int i = 1; i <= 20; ++i) EXPECT_EQ(ring.Pop(), &values[i]);
  EXPECT_EQ(ring.Pop(), nullptr);
}

TEST_F(RenderManagerTest, TablesKeepTheFirstAndOnlyDeleteWhatTheyOwn) {
  manager.LoadTexture(CStringHash("t"), nullptr, "test/dxt1.dds", 0);
  const gfx::CTexture* first = manager.FindTexture(CStringHash("t"));
  ASSERT_NE(first, nullptr);
  EXPECT_GT(first->fileSize, 0u);
  manager.LoadTexture(CStringHash("T"), nullptr, "test/dxt5.dds", 2);  // same name, other case
  EXPECT_EQ(manager.FindTexture(CStringHash("t")), first);
  EXPECT_EQ(manager.FindTexture(CStringHash("t"))->path, "Data/textures/test/dxt1.dds");

  utl::CStringHashMap<gfx::CTexture> borrowed;
  borrowed.ownsValues = 0;
  gfx::CTexture kept;
  borrowed.Add(CStringHash("k"), &kept);
  borrowed.RemoveAll();  // must not delete a value it does not own
  EXPECT_EQ(borrowed.Size(), 0u);
  EXPECT_EQ(borrowed.ownsValues, 1);

  gfx::SMaterial record;
  gfx::SetMaterialTextureNames(record, 4, "a", "b", "c", "d");
  gfx::SetMaterialTextureNames(record, 5, "", "", nullptr, "e");
  EXPECT_EQ(record.id, 5);
  EXPECT_TRUE(record.names[0].IsNoName());
  EXPECT_EQ(record.names[1], CStringHash("b"));
  EXPECT_EQ(record.names[2], CStringHash("c"));
  EXPECT_EQ(record.names[3], CStringHash("e"));
}

TEST_F(RenderManagerTest, TexturePathsPerKindAndLanguage) {
  struct Case {
    const char* folder;
    const char* file;
    uint32_t kind;
    const char* path;
  } cases[] = {
      {nullptr, "eng/hud/x.dds", 0, "Data/textures/eng/hud/x.dds"},
      {"lightmaps", "lm.dds", 0, "Data/textures/lightmaps/lm.dds"},
      {nullptr, "v.dds", 1, "Data/textures/3DTextures/v.dds"},
      {nullptr, "c.dds", 2, "Data/textures/cubeTextures/c.dds"},
      {nullptr, "o.dds", 7, "Data/textures/o.dds"},
  };
  int i = 0;
  for (const Case& c : cases) {
    const std::string id = "id" + std::to_string(i++);
    manager.LoadTexture(CStringHash(id.c_str()), c.folder, c.file, c.kind);
    const gfx::CTexture* texture = manager.FindTexture(CStringHash(id.c_str()));
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->path, c.path);
    EXPECT_NE(log.find(c.path), std::string::npos);  // none of them exists
  }
  // A folder where the file belongs: ftell says 2^63 - 1 of it, which once was
  // allocated; it is refused like a missing file.
  {
    Scratch scratch("Data/textures");
    const std::string folder = scratch.Dir().substr(std::string("Data/textures/").size());
    std::filesystem::create_directories(scratch.Dir() + "/folder.dds");
    log.clear();
    manager.LoadTexture(CStringHash("folder"), nullptr, (folder + "/folder.dds").c_str(), 0);
    const gfx::CTexture* texture = manager.FindTexture(CStringHash("folder"));
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->fileData, nullptr);
    EXPECT_EQ(texture->fileSize, 0u);
    EXPECT_NE(log.find(folder + "/folder.dds"), std::string::npos) << log;
  }
  // No id or no file: nothing.
  manager.LoadTexture(CStringHash(), nullptr, "x.dds", 0);
  manager.LoadTexture(CStringHash("n"), nullptr, "", 0);
  EXPECT_EQ(manager.GetTextureCount(), 6u);
}

TEST_F(RenderManagerTest, MeshesGoodAndBad) {
  Scratch scratch("Data/meshes");
  const std::string dir = scratch.Dir().substr(std::string("Data/meshes/").size());
  manager.LoadMesh(CStringHash("test_cube.mesh"));
  manager.LoadMesh(CStringHash("TEST_cube.mesh"));  // read once
  EXPECT_EQ(manager.GetMeshCount(), 1u);
  gfx::IVertexBuffer* cube = manager.FindMesh(CStringHash("test_cube.mesh"));
  ASSERT_NE(cube, nullptr);
  EXPECT_EQ(cube->GetSubsetCount(), 2u);

  std::ifstream in("Data/meshes/test_cube.mesh", std::ios::binary);
  const std::string good((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(good.size(), 48u);
  const std::string bad[] = {good.substr(0, 30), good.substr(0, good.size() - 1),
                             good.substr(0, 32) + std::string("\x0F\0\0\0", 4) + good.substr(36),
                             ""};
  for (size_t i = 0; i < std::size(bad); ++i) {
    const std::string name = dir + "/bad" + std::to_string(i) + ".mesh";
    scratch.Write("bad" + std::to_string(i) + ".mesh", bad[i]);
    log.clear();
    manager.LoadMesh(CStringHash(name.c_str()));
    EXPECT_NE(log.find(name), std::string::npos) << i << ": " << log;
    log.clear();
    EXPECT_EQ(manager.FindMesh(CStringHash(name.c_str())), nullptr) << i;
    EXPECT_NE(log.find("Trying to render a mesh that has not been loaded: " + name),
              std::string::npos);
  }
  EXPECT_EQ(manager.GetMeshCount(), 1u);
}

TEST_F(RenderManagerTest, XmlLibraries) {
  Scratch scratch(std::filesystem::temp_directory_path().string());
  const std::string textures =
      scratch.Write("t.xml",
                    "<textures><texture id=\"a\" file=\"a.dds\" type=\"3D\"/><texture id=\"b\" "
                    "file=\"b.dds\" type=\"bogus\"/>"
                    "<texture id=\"c\" file=\"c.dds\" type=\"2D\"/><other id=\"d\" file=\"d.dds\" "
                    "type=\"2d\"/></textures>");
  EXPECT_TRUE(manager.LoadTextures(textures.c_str()));
  EXPECT_EQ(manager.FindTexture(CStringHash("a"))->type, 1u);
  EXPECT_EQ(manager.FindTexture(CStringHash("b"))->type, 1u);  // the previous kind stays
  EXPECT_EQ(manager.FindTexture(CStringHash("c"))->type, 0u);
  EXPECT_EQ(manager.FindTexture(CStringHash("d")), nullptr);

  const std::string materials =
      scratch.Write("m.xml",
                    "<materials><material id=\"7\"><key name=\"LightMap\" id=\"lm7\" "
                    "file=\"lm7.dds\"/></material>"
                    "<material id=\"8\"><key name=\"topdiffuse\" id=\"d8\" file=\"d8.dds\"/>"
                    "<key name=\"normal\" id=\"n8\" file=\"n8.dds\"/><key name=\"glow\" id=\"g8\" "
                    "file=\"g8.dds\"/></material>"
                    "</materials>");
  EXPECT_TRUE(manager.LoadMaterials(materials.c_str()));
  const gfx::SMaterial* seven = manager.FindMaterial(7);
  ASSERT_NE(seven, nullptr);
  for (const CStringHash& name : seven->names) EXPECT_TRUE(name.IsNoName());
  EXPECT_EQ(manager.FindTexture(CStringHash("lm7"))->path, "Data/textures/lightmaps/lm7.dds");
  EXPECT_EQ(manager.FindMaterial(8)->names[0], CStringHash("d8"));
  EXPECT_EQ(manager.FindMaterial(8)->names[3], CStringHash("n8"));
  EXPECT_EQ(manager.FindTexture(CStringHash("g8")), nullptr);
  // A known material id still loads its lightmap; its other textures are not read.
  const std::string again = scratch.Write(
      "m2.xml",
      "<materials><material id=\"8\"><key name=\"lightmap\" id=\"lm8\" file=\"lm8.dds\"/>"
      "<key name=\"specular\" id=\"s8\" file=\"s8.dds\"/></material></materials>");
  EXPECT_TRUE(manager.LoadMaterials(again.c_str()));
  EXPECT_NE(manager.FindTexture(CStringHash("lm8")), nullptr);
  EXPECT_EQ(manager.FindTexture(CStringHash("s8")), nullptr);
  EXPECT_TRUE(manager.FindMaterial(8)->names[2].IsNoName());

  const std::string shaders =
      scratch.Write("s.xml", "<shaders><shader fileName=\"fx\"/><shader fileName=\"\"/></shaders>");
  EXPECT_TRUE(manager.LoadShaders(shaders.c_str()));
  ASSERT_NE(manager.FindShader(CStringHash("fx")), nullptr);
  EXPECT_EQ(manager.FindShader(CStringHash("fx"))->fileName, "Data/shaders/fx.fxo");
  ASSERT_NE(manager.queuedShaders.Find(kNoNameHash), nullptr);
  EXPECT_EQ(manager.queuedShaders.Find(kNoNameHash)->fileName, "Data/shaders/.fxo");

  const std::string graph =
      scratch.Write("g.xml",
                    "<visibility_geometry_zone_groups count=\"3\">"
                    "<game_zone lua_id=\"2\"><geometry_zone_group_visible "
                    "id=\"g1\"/><geometry_zone_group_visible id=\"\"/></game_zone>"
                    "<game_zone lua_id=\"3\"><geometry_zone_group_visible id=\"g9\"/></game_zone>"
                    "<game_zone lua_id=\"-1\"/></visibility_geometry_zone_groups>");
  EXPECT_TRUE(manager.LoadSceneGraph(graph.c_str()));
  EXPECT_NE(log.find("lua_id 3 outside 0..2"), std::string::npos) << log;
  EXPECT_NE(log.find("lua_id -1 outside"), std::string::npos) << log;
  Commit();
  ASSERT_EQ(manager.zoneGroups.size(), 3u);
  EXPECT_TRUE(manager.zoneGroups[0].empty());
  EXPECT_EQ(manager.zoneGroups[2], (std::list<uint32_t>{CStringHash("g1").GetHash(), kNoNameHash}));
  manager.ClearLevelSettings();
  manager.CommitRenderData();
  EXPECT_TRUE(manager.zoneGroups.empty());

  const std::string dof = scratch.Write("d.xml",
                                        "<dof_params><key id=\"dof_max_blur\" value=\"0.5\"/><key "
                                        "id=\"other\" value=\"9\"/><key "
                                        "id=\"dof_far_max_blur_plane_dist\" value=\"1e39\"/>"
                                        "</dof_params>");
  EXPECT_TRUE(manager.LoadDoFParams(dof.c_str()));
  EXPECT_FLOAT_EQ(manager.dofMaxBlur, 0.5f);
  EXPECT_FLOAT_EQ(manager.dofFocalPlane, 7.66f);
  // Beyond the float range: refused with its name, the value before it stays.
  EXPECT_FLOAT_EQ(manager.dofFarMaxBlurPlane, 100.0f);
  EXPECT_NE(log.find("dof_far_max_blur_plane_dist value 1e39 refused"), std::string::npos) << log;

  // Missing and malformed files: false, logged with their names.
  EXPECT_FALSE(manager.LoadTextures("Data/xml/no_such_list.xml"));
  EXPECT_NE(log.find("Data/xml/no_such_list.xml"), std::string::npos);
  const std::string broken = scratch.Write("b.xml", "<textures><texture id=");
  EXPECT_FALSE(manager.LoadTextures(broken.c_str()));
  EXPECT_NE(log.find(broken), std::string::npos);
}

TEST_F(RenderManagerTest, RequestedCommitReturnsOnceTheRenderThreadHasCommitted) {
  plat::Event renderBegin(false, false), renderEnd(false, true);
  std::atomic<bool> committed{false};
  std::thread render([&] {
    renderBegin.Wait();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the frame
    committed = true;
    manager.CommitRenderData();
  });
  SRenderData& data = Data(gfx::kRenderTypeWater, gfx::kLayerBackScene);
  std::vector<SRenderItem*> items;
  manager.AddRenderer(data, items);
  manager.RequestRenderDataCommit([&] { renderEnd.Wait(); }, [&] { renderBegin.Set(); });
  EXPECT_TRUE(committed);
  EXPECT_EQ(manager.GetRenderList(data.handle), gfx::kListWater);
  EXPECT_FALSE(manager.commitRequested);
  render.join();
}

// A render manager whose graphics device is the recording back end.
class RenderManagerDeviceTest : public RenderManagerTest {
protected:
  void SetUp() override {
    RenderManagerTest::SetUp();
    recorder = std::make_shared<plat::gpu::Recorder>();
    graphics.gpuFactory = [this](plat::Window*, std::string*) {
      return plat::gpu::CreateRecordingGpu(recorder);
    };
    ASSERT_TRUE(graphics.Init(64, 64, 0));
    ASSERT_TRUE(manager.Init(&graphics));
  }
  void TearDown() override {
    manager.Shutdown();
    graphics.Release();
    RenderManagerTest::TearDown();
  }

  std::shared_ptr<plat::gpu::Recorder> recorder;
  gfx::CGraphicsManager graphics;
};

TEST_F(RenderManagerDeviceTest, RequestsAreCreatedByTheCommitThatTakesThemOver) {
  struct Case {
    const char* id;
    const char* folder;
    const char* file;
    uint32_t kind;
    bool made;
  } cases[] = {
      {"flat", nullptr, "test/dxt1.dds", 0, true},   {"png", "test", "png.png", 0, true},
      {"cube", "test", "cube.dds", 2, true},         {"volume", "test", "volume.dds", 1, true},
      {"wrong", nullptr, "test/cube.dds", 0, false}, {"odd", nullptr, "test/dxt1.dds", 5, false},
  };
  for (const Case& c : cases) manager.LoadTexture(CStringHash(c.id), c.folder, c.file, c.kind);
  manager.CommitRenderData();  // a plain frame's commit creates nothing from the lists
  EXPECT_NE(manager.FindTexture(CStringHash("flat"))->fileData, nullptr);
  Commit();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    const gfx::CTexture* texture = manager.textures.Find(CStringHash(c.id));
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->GetDeviceTexture() != nullptr, c.made);
    EXPECT_EQ(texture->fileData, nullptr);  // freed also when nothing was made
  }
  EXPECT_NE(log.find("Data/textures/test/cube.dds is not of the kind"), std::string::npos) << log;
  EXPECT_TRUE(manager.queuedTextures.Entries().empty());
}

TEST_F(RenderManagerDeviceTest, LostAndResetDeviceReleaseAndRestoreTargets) {
  plat::gpu::Viewport viewport{0, 0, 32, 32, 0.0f, 1.0f};
  gfx::CRenderTarget& target = manager.renderTargets[3];
  ASSERT_TRUE(target.Create(&graphics, 32, 32, plat::gpu::kFmtA8R8G8B8, false, plat::gpu::kFmtD16,
                            true, true, viewport));
  ASSERT_NE(target.texture, nullptr);
  manager.OnLostDevice();
  EXPECT_EQ(target.texture, nullptr);
  EXPECT_EQ(target.surface, nullptr);
  manager.OnResetDevice();
  EXPECT_NE(target.texture, nullptr);
  EXPECT_NE(target.surface, nullptr);
  // A target that was never made stays empty.
  EXPECT_EQ(manager.renderTargets[4].texture, nullptr);
}

}  // namespace
}  // namespace vd
