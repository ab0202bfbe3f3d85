// The renderer component over the render manager's records: keys, resource
// requests, registration and drawn lists, texture animation, the drawn report,
// checkpoints and the script methods.
#include <gtest/gtest.h>

#include <lua.hpp>
#include <luabind/luabind.hpp>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <rapidxml/rapidxml.hpp>

#include "engine/core/EngineNames.h"
#include "engine/core/Log.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/Camera.h"
#include "engine/objects/Renderer.h"
#include "engine/objects/Transform.h"
#include "engine/render/RenderManager.h"
#include "tests/support/LogRecorder.h"

using namespace vd;
using gfx::CRenderer;
using gfx::CRenderManager;

namespace {

// A Component element parsed from text; the buffer lives as long as the document.
class CXml {
public:
  rapidxml::xml_node<>* Parse(const std::string& keys) {
    const std::string text = "<Component class=\"CRenderer\">" + keys + "</Component>";
    m_buffer.assign(text.begin(), text.end());
    m_buffer.push_back('\0');
    m_doc.parse<0>(m_buffer.data());
    return m_doc.first_node("Component");
  }

private:
  std::vector<char> m_buffer;
  rapidxml::xml_document<> m_doc;
};

std::string Key(const char* name, const char* value) {
  return std::string("<key name=\"") + name + "\" value=\"" + value + "\"/>";
}

std::string ParticleTextures(int count, int fps, bool randomStart = false) {
  std::string xml = "<key name=\"textures\">";
  if (fps != -1000) xml += "<fps value=\"" + std::to_string(fps) + "\"/>";
  if (randomStart) xml += "<random_start value=\"1\"/>";
  for (int i = 0; i < count; ++i) {
    const std::string n = std::to_string(i);
    xml += "<texture id=\"spark" + n + "\" file=\"particles/spark" + n + ".dds\"/>";
  }
  return xml + "</key>";
}

class RendererTest : public ::testing::Test {
protected:
  void SetUp() override {
    utl::SetLogSinks(&sinks);
    sinks.AddSink(new vd::test::CLogRecorder(&log));
  }
  void TearDown() override { utl::SetLogSinks(nullptr); }
  // The main thread's per-frame commit.
  void Commit() {
    manager.commitRequested = true;
    manager.CommitRenderData();
  }

  // A renderer loaded from the keys into its own object (id 7).
  CRenderer* Load(const std::string& keys, obj::CGameObject* into = nullptr) {
    obj::CGameObject* owner = into ? into : &object;
    owner->SetId(7);
    auto* renderer = new CRenderer();
    EXPECT_TRUE(owner->AddComponent(renderer));
    renderer->Reset();
    CXml xml;
    renderer->Load(xml.Parse(keys));
    return renderer;
  }
  CRenderer* Build(const std::string& keys, obj::CGameObject* into = nullptr) {
    CRenderer* renderer = Load(keys, into);
    (into ? into : &object)->CollectRenderers();
    renderer->Init();
    return renderer;
  }

  std::string log;
  utl::CLogSinkHolder sinks;
  CRenderManager manager;
  obj::CGameObject object;
};

TEST_F(RendererTest, DynamicOrParticlesBeforeMeshRequestsNoMesh) {
  struct Case {
    std::string keys;
    bool requested;
  } cases[] = {
      {Key("render_type", "dynamic") + Key("mesh", "test_cube.mesh"), false},
      {Key("mesh", "test_cube.mesh") + Key("render_type", "dynamic"), true},
      {Key("render_type", "particles") + Key("mesh", "test_cube.mesh"), false},
      {Key("mesh", "test_cube.mesh"), true},
      {Key("mesh", ""), false},
  };
  for (const Case& c : cases) {
    CRenderManager local;
    obj::CGameObject owner;
    CRenderer* renderer = Load(c.keys, &owner);
    EXPECT_EQ(local.GetMeshCount(), c.requested ? 1u : 0u) << c.keys;
    const gfx::IVertexBuffer* mesh = local.FindMesh(CStringHash("TEST_CUBE.MESH"));
    EXPECT_EQ(mesh != nullptr, c.requested) << c.keys;
    if (mesh) {
      EXPECT_EQ(mesh->GetSubsetCount(), 2u);
    }
    (void)renderer;
  }
}

TEST_F(RendererTest, RenderTypesAndLayers) {
  struct Case {
    std::string keys;
    int type;
    int layer;
  } cases[] = {
      {"", gfx::kRenderTypeStatic, gfx::kLayerFloor},
      {Key("render_type", "rock"), gfx::kRenderTypeStatic, gfx::kLayerFloor},
      {Key("render_type", "Dynamic"), gfx::kRenderTypeDynamic, gfx::kLayerFloor},
      {Key("render_type", "animation"), gfx::kRenderTypeAnimation, gfx::kLayerFloor},
      {Key("render_type", "particles"), gfx::kRenderTypeParticles, gfx::kLayerFrontScene},
      {Key("render_type", "water"), gfx::kRenderTypeWater, gfx::kLayerBackScene},
      {Key("render_type", "hud"), gfx::kRenderTypeHud, gfx::kLayerHud},
      {Key("render_type", "menu"), gfx::kRenderTypeMenu, gfx::kLayerMenu},
      {Key("render_type", "background"), gfx::kRenderTypeBackground, gfx::kLayerBackground},
      {Key("render_layer", "sky_layer"), gfx::kRenderTypeStatic, gfx::kLayerSky},
      // A layer key after the type overrides the type's layer; an unknown one leaves it.
      {Key("render_type", "hud") + Key("render_layer", "fog"), gfx::kRenderTypeHud, gfx::kLayerFog},
      {Key("render_type", "hud") + Key("render_layer", "ceiling"), gfx::kRenderTypeHud, gfx::kLayerHud},
  };
  for (const Case& c : cases) {
    obj::CGameObject owner;
    CRenderer* renderer = Load(c.keys, &owner);
    EXPECT_EQ(renderer->GetRenderType(), c.type) << c.keys;
    EXPECT_EQ(renderer->GetLayer(), c.layer) << c.keys;
  }
}

TEST_F(RendererTest, ReadsEveryOtherKey) {
  CRenderer* renderer = Load(
      Key("shader", "skin") + Key("technique", "skin_tech") + Key("material", "3") +
      Key("geometry_zone_group_id", "zone_a") + Key("shadow_caster", "0") + Key("glower", "1") +
      Key("skip_frustum_clipping", "1") + Key("glow_multiplier", "2.5") +
      "<key name=\"glow_color\" R=\"0.5\" G=\"0.25\" B=\"0\"/>"
      "<key name=\"AABB\" MinX=\"-1\" MinY=\"-2\" MinZ=\"-3\" MaxX=\"1\" MaxY=\"2\" MaxZ=\"3\"/>"
      "<key name=\"materials\">"
      "<material name=\"12\"><topdiffuse type=\"blend\" image=\"a.dds\"/><lightmap image=\"lm.dds\"/></material>"
      "<material name=\"13\"><topdiffuse image=\"b.dds\"/><normal image=\"b_n.dds\"/></material>"
      "</key>");
  EXPECT_EQ(renderer->GetShaderName(), CStringHash("skin"));
  EXPECT_EQ(renderer->GetTechniqueName(), CStringHash("skin_tech"));
  EXPECT_EQ(renderer->GetMaterial(), 3);
  EXPECT_EQ(renderer->GetGeometryZoneGroup(), CStringHash("zone_a"));
  EXPECT_FALSE(renderer->IsShadowCaster());
  EXPECT_TRUE(renderer->IsGlower());
  EXPECT_TRUE(renderer->SkipsFrustumClipping());
  EXPECT_FLOAT_EQ(renderer->GetGlowMultiplier(), 2.5f);
  EXPECT_FLOAT_EQ(renderer->GetGlowColour()[1], 0.25f);
  EXPECT_FLOAT_EQ(renderer->GetBoxMin()[2], -3.0f);
  EXPECT_FLOAT_EQ(renderer->GetBoxMax()[1], 2.0f);
  EXPECT_EQ(renderer->GetSubMaterialIds(), (std::vector<int>{12, 13}));
  EXPECT_EQ(renderer->GetLightmapName(), CStringHash("lm.dds"));

  ASSERT_EQ(manager.GetMaterialCount(), 2u);
  const gfx::SMaterial* first = manager.FindMaterial(12);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->names[0], CStringHash("a.dds"));  // the top-diffuse map
  ASSERT_NE(manager.FindTexture(CStringHash("lm.dds")), nullptr);
  EXPECT_EQ(manager.FindTexture(CStringHash("lm.dds"))->path, "Data/textures/lightmaps/lm.dds");
  const gfx::SMaterial* second = manager.FindMaterial(13);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->names[3], CStringHash("b_n.dds"));  // the normal map
  EXPECT_TRUE(second->names[1].IsNoName());

  // Values that leave the flags as they were.
  obj::CGameObject other;
  CRenderer* plain = Load(Key("shadow_caster", "2") + Key("glower", "2") + Key("skip_frustum_clipping", "5"), &other);
  EXPECT_TRUE(plain->IsShadowCaster());
  EXPECT_FALSE(plain->IsGlower());
  EXPECT_FALSE(plain->SkipsFrustumClipping());
  EXPECT_FLOAT_EQ(plain->GetGlowColour()[0], 1.0f);
  EXPECT_FLOAT_EQ(plain->GetGlowMultiplier(), 1.0f);
}

TEST_F(RendererTest, TextureFramesAdvanceOnTime) {
  CRenderer* renderer = Build(Key("render_type", "particles") + ParticleTextures(4, 10));
  EXPECT_EQ(manager.GetTextureCount(), 4u);
  const gfx::CTexture* texture = manager.FindTexture(CStringHash("spark2"));
  ASSERT_NE(texture, nullptr);
  EXPECT_EQ(texture->path, "Data/textures/particles/spark2.dds");
  EXPECT_EQ(texture->type, 0u);
  EXPECT_FLOAT_EQ(renderer->GetFramePeriod(), 0.1f);

  // Quarter-period steps: one frame every 0.1 s, 0 1 2 3 0 1 from frame 0.
  const char* expected[] = {"spark0", "spark1", "spark2", "spark3", "spark0", "spark1"};
  EXPECT_EQ(renderer->GetCurrentTexture(), CStringHash(expected[0]));
  for (int frame = 1; frame < 6; ++frame) {
    for (int step = 0; step < 4; ++step) {
      EXPECT_EQ(renderer->GetCurrentTexture(), CStringHash(expected[frame - 1])) << frame << " " << step;
      renderer->Update(0.025f + 1e-6f);
    }
    EXPECT_EQ(renderer->GetCurrentTexture(), CStringHash(expected[frame])) << frame;
  }
  // The render data shows the frame too.
  EXPECT_EQ(*renderer->GetRenderData().currentTexture, CStringHash("spark1"));
}

TEST_F(RendererTest, SingleTextureNeverAnimates) {
  struct Case {
    std::string keys;
  } cases[] = {
      {Key("render_type", "particles") + ParticleTextures(1, 10)},
      {Key("render_type", "particles") + ParticleTextures(1, 10, true)},
      {Key("render_type", "particles") + ParticleTextures(0, 10)},
  };
  for (const Case& c : cases) {
    obj::CGameObject owner;
    CRenderer* renderer = Build(c.keys, &owner);
    EXPECT_EQ(renderer->GetFrameIndex(), 0) << c.keys;
    const CStringHash first = renderer->GetCurrentTexture();
    for (int i = 0; i < 50; ++i) renderer->Update(0.5f);
    EXPECT_EQ(renderer->GetCurrentTexture(), first) << c.keys;
    EXPECT_EQ(renderer->GetFrameIndex(), 0) << c.keys;
    if (renderer->GetTextureCount() == 1) {
      EXPECT_EQ(renderer->GetFramesPerSecond(), 0);
    }
  }
}

TEST_F(RendererTest, RandomStartPicksAFrameBeforeTheLast) {
  for (int i = 0; i < 20; ++i) {
    obj::CGameObject owner;
    CRenderer* renderer = Build(Key("render_type", "particles") + ParticleTextures(4, 10, true), &owner);
    EXPECT_GE(renderer->GetFrameIndex(), 0);
    EXPECT_LT(renderer->GetFrameIndex(), 3);
    // Stepping stays within the names whatever the start.
    for (int step = 0; step < 10; ++step) {
      renderer->Update(0.1f);
      EXPECT_GE(renderer->GetFrameIndex(), -1);
      EXPECT_LT(renderer->GetFrameIndex(), 4);
    }
  }
}

TEST_F(RendererTest, TexturesBeyondTheTableAreLoggedAndDropped) {
  CRenderer* renderer = Build(Key("render_type", "particles") + ParticleTextures(33, 30));
  EXPECT_EQ(renderer->GetTextureCount(), CRenderer::kMaxTextures);
  EXPECT_EQ(renderer->GetTextureName(29), CStringHash("spark29"));
  EXPECT_TRUE(renderer->GetTextureName(30).IsNoName());
  EXPECT_EQ(manager.GetTextureCount(), 30u);
  EXPECT_EQ(manager.FindTexture(CStringHash("spark30")), nullptr);
  for (const char* dropped : {"spark30", "spark31", "spark32"}) EXPECT_NE(log.find(dropped), std::string::npos) << log;
  // Frames run over the kept names only.
  for (int i = 0; i < 40; ++i) renderer->Update(1.0f / 30.0f + 1e-5f);
  EXPECT_EQ(renderer->GetCurrentTexture(), CStringHash("spark10"));
}

TEST_F(RendererTest, ScreenTexturesPerLanguage) {
  CRenderer* renderer = Build(Key("render_type", "hud") +
                              "<key name=\"textures\" multi_lang=\"1\"><texture image=\"hud/life.dds\"/>"
                              "<texture image=\"\"/></key>");
  ASSERT_EQ(renderer->GetTextureCount(), 2);
  EXPECT_EQ(renderer->GetTextureName(0), CStringHash("eng/hud/life.dds"));
  EXPECT_EQ(renderer->GetTextureName(1), CStringHash("spa/hud/life.dds"));
  EXPECT_NE(manager.FindTexture(CStringHash("spa/hud/life.dds")), nullptr);

  obj::CGameObject other;
  CRenderer* single = Build(Key("render_type", "menu") + "<key name=\"textures\"><texture image=\"menu/a.dds\"/></key>", &other);
  EXPECT_EQ(single->GetTextureCount(), 1);
  EXPECT_EQ(manager.FindTexture(CStringHash("menu/a.dds"))->path, "Data/textures/menu/a.dds");

  // Other types ignore the key.
  obj::CGameObject third;
  CRenderer* mesh = Build(Key("mesh", "test_quad.mesh") + "<key name=\"textures\"><texture image=\"x.dds\"/></key>", &third);
  EXPECT_EQ(mesh->GetTextureCount(), 0);
}

TEST_F(RendererTest, RegistersOneEntryPerSubsetAndFollowsEnabled) {
  auto* transform = new gfx::CTransform();
  ASSERT_TRUE(object.AddComponent(transform));
  CRenderer* renderer = Build(Key("mesh", "test_cube.mesh") + Key("material", "4"));
  ASSERT_TRUE(renderer->IsRegistered());
  EXPECT_TRUE(renderer->HasContent());
  ASSERT_EQ(renderer->GetItemCount(), 2);
  ASSERT_EQ(renderer->GetItems().size(), 2u);
  EXPECT_EQ(renderer->GetItems()[1]->subset, 1);
  EXPECT_EQ(renderer->GetItems()[1]->currentMaterial, 4);
  EXPECT_EQ(renderer->GetItems()[1]->baseMaterial, 4);

  const gfx::SRenderData& data = renderer->GetRenderData();
  EXPECT_EQ(data.ownerId, 7);
  EXPECT_EQ(data.ownerTransform, transform);
  EXPECT_EQ(data.renderer, static_cast<gfx::IRenderable*>(renderer));
  ASSERT_NE(data.mesh, nullptr);
  EXPECT_EQ(data.mesh->GetSubsetCount(), 2u);
  EXPECT_EQ(*data.meshName, CStringHash("test_cube.mesh"));
  const int handle = data.handle;
  EXPECT_TRUE(manager.IsRegistered(handle));

  // Not enabled yet: registered but not drawn.
  EXPECT_FALSE(renderer->IsInDrawnLists());
  EXPECT_FALSE(manager.IsInDrawnLists(handle));
  renderer->SetEnabled(true, false);
  EXPECT_TRUE(renderer->IsInDrawnLists());
  EXPECT_TRUE(manager.IsInDrawnLists(handle));
  renderer->SetEnabled(false, false);
  EXPECT_FALSE(manager.IsInDrawnLists(handle));

  // A second registration keeps the entries.
  EXPECT_TRUE(renderer->AddToRenderManager());
  EXPECT_EQ(manager.GetRendererCount(), 1u);

  renderer->Reset();
  EXPECT_FALSE(renderer->IsRegistered());
  EXPECT_FALSE(renderer->HasContent());
  EXPECT_FALSE(manager.IsRegistered(handle));
  EXPECT_EQ(manager.GetRendererCount(), 0u);
}

TEST_F(RendererTest, WhatRegistersAndWhatDoesNot) {
  struct Case {
    std::string keys;
    int items;
  } cases[] = {
      {"", 0},                                        // nothing to draw
      {Key("mesh", "test_quad.mesh"), 1},
      {Key("mesh", "no_such.mesh"), 1},               // the mesh may come later
      {Key("render_type", "dynamic") + Key("mesh", "trail"), 1},
      {Key("render_type", "particles") + ParticleTextures(2, 5), 1},
      {Key("anim_mesh", "humanoid"), 0},              // waits for the animator
  };
  for (const Case& c : cases) {
    obj::CGameObject owner;
    CRenderer* renderer = Build(c.keys, &owner);
    EXPECT_EQ(renderer->GetItemCount(), c.items) << c.keys;
    EXPECT_EQ(renderer->IsRegistered(), c.items > 0) << c.keys;
  }
  EXPECT_NE(log.find("Data/meshes/no_such.mesh"), std::string::npos) << log;
}

TEST_F(RendererTest, AnimatedMeshRegistersWithTheModel) {
  CRenderer* renderer = Build(Key("anim_mesh", "humanoid") + Key("geometry_zone_group_id", "zone_b"));
  EXPECT_TRUE(renderer->HasAnimatedMesh());
  EXPECT_FALSE(renderer->IsRegistered());
  auto* model = reinterpret_cast<CalModel*>(0x1234);
  EXPECT_TRUE(renderer->AttachAnimatedModel(model));
  const gfx::SRenderData& data = renderer->GetRenderData();
  EXPECT_EQ(data.renderType, gfx::kRenderTypeAnimation);
  EXPECT_EQ(data.modelInstance, model);
  EXPECT_EQ(*data.geometryZoneGroup, CStringHash("zone_b"));
  renderer->Reset();
}

TEST_F(RendererTest, DisablingAnUnregisteredRendererOnlyStoresTheFlag) {
  CRenderer* renderer = Load("");
  renderer->SetEnabled(true, false);
  EXPECT_TRUE(renderer->IsEnabled());
  renderer->SetEnabled(false, false);
  EXPECT_FALSE(renderer->IsEnabled());
  EXPECT_FALSE(renderer->IsInDrawnLists());
  EXPECT_EQ(manager.GetRendererCount(), 0u);
}

TEST_F(RendererTest, DrawnReportReachesTheOwnerOncePerFrame) {
  CRenderer* renderer = Build(Key("mesh", "test_cube.mesh"));
  renderer->SetEnabled(true, false);
  int passes = 0;
  manager.onPassFinished = [&] { ++passes; };
  // The mesh list is walked only with a camera.
  cam::CCamera camera;  // all planes zero: everything is inside
  manager.viewCamera.Set(&camera);

  // Nothing is reported before the commit takes the entries over.
  manager.RenderFrame(nullptr, 0.0f, 0.0f);
  EXPECT_EQ(passes, 1);
  Commit();
  EXPECT_EQ(manager.GetCommittedDrawCount(), 1u);

  // A second renderer of the same object, its entries not committed yet: the
  // object is not complete, so the first one's flag stays set.
  auto* second = new CRenderer();
  ASSERT_TRUE(object.AddComponent(second));
  second->Reset();
  CXml xml;
  second->Load(xml.Parse(Key("mesh", "test_quad.mesh")));
  object.CollectRenderers();
  second->Init();
  manager.RenderFrame(nullptr, 0.0f, 0.0f);
  EXPECT_EQ(passes, 2);
  EXPECT_TRUE(renderer->IsDrawn());
  EXPECT_FALSE(second->IsDrawn());

  // Once both are walked the object is complete and the flags are cleared; a
  // disabled renderer's entries are walked (and reported) too.
  Commit();
  manager.RenderFrame(nullptr, 0.0f, 0.0f);
  EXPECT_FALSE(renderer->IsDrawn());
  EXPECT_FALSE(second->IsDrawn());

  // A renderer removed after the commit is not reported.
  second->Reset();
  renderer->Reset();
  manager.RenderFrame(nullptr, 0.0f, 0.0f);
  EXPECT_FALSE(renderer->IsDrawn());
  EXPECT_EQ(passes, 4);
}

TEST_F(RendererTest, RenderListMovesWaitForTheCommit) {
  CRenderer* renderer = Build(Key("mesh", "test_quad.mesh"));
  const int handle = renderer->GetRenderData().handle;
  EXPECT_EQ(manager.GetRenderList(handle), -1);  // pending until the commit
  Commit();
  EXPECT_EQ(manager.GetRenderList(handle), 0);
  manager.QueueMoveToRenderList1(handle);
  EXPECT_EQ(manager.GetRenderList(handle), 0);
  manager.CommitRenderData();
  EXPECT_EQ(manager.GetRenderList(handle), 1);
  manager.QueueMoveToRenderList0(handle);
  manager.CommitRenderData();
  EXPECT_EQ(manager.GetRenderList(handle), 0);
  EXPECT_EQ(manager.GetRenderList(9999), -1);
}

TEST_F(RendererTest, RequestedCommitMovesQueuedResources) {
  Build(Key("mesh", "test_quad.mesh"));
  manager.CommitRenderData();
  EXPECT_NE(manager.FindMesh(CStringHash("test_quad.mesh")), nullptr);
  manager.commitRequested = 1;
  manager.CommitRenderData();
  EXPECT_FALSE(manager.commitRequested);
  EXPECT_EQ(manager.GetMeshCount(), 1u);
  const gfx::IVertexBuffer* mesh = manager.FindMesh(CStringHash("test_quad.mesh"));
  ASSERT_NE(mesh, nullptr);
  // A known mesh is not requested again.
  manager.LoadMesh(CStringHash("test_quad.mesh"));
  EXPECT_EQ(manager.GetMeshCount(), 1u);
  EXPECT_EQ(manager.FindMesh(CStringHash("test_quad.mesh")), mesh);
}

TEST_F(RendererTest, SubMaterialsWithinTheMeshSubsets) {
  CRenderer* renderer = Build(Key("mesh", "test_cube.mesh") + Key("material", "1"));
  struct Case {
    int subset;
    bool changes;
  } cases[] = {{-1, false}, {2, false}, {5, false}, {1, true}, {0, true}};
  int material = 10;
  for (const Case& c : cases) {
    renderer->SetSubMaterial(material, c.subset);
    bool found = false;
    for (const gfx::SRenderItem* item : renderer->GetItems()) found = found || item->currentMaterial == material;
    EXPECT_EQ(found, c.changes) << c.subset;
    ++material;
  }
  EXPECT_EQ(renderer->GetItems()[0]->baseMaterial, 1);

  // No items: nothing happens.
  obj::CGameObject other;
  CRenderer* empty = Build("", &other);
  empty->SetSubMaterial(3, 0);
  EXPECT_TRUE(empty->GetItems().empty());
}

TEST_F(RendererTest, CheckpointRestoresParametersAndKeepsRegistration) {
  CRenderer* renderer = Build(Key("mesh", "test_cube.mesh") + Key("technique", "tech_a") + Key("material", "2"));
  renderer->SetEnabled(true, false);
  const int handle = renderer->GetRenderData().handle;
  renderer->SaveCheckPoint();
  ASSERT_NE(renderer->GetCheckPointCopy(), nullptr);

  renderer->SetTechnique(CStringHash("skin_tech_alpha"));
  renderer->SetSubMaterial(9, 1);
  renderer->SetCastShadow(false);
  renderer->SetEnabled(false, false);
  EXPECT_FALSE(manager.IsInDrawnLists(handle));

  renderer->LoadCheckPoint();
  EXPECT_EQ(renderer->GetTechniqueName(), CStringHash("tech_a"));
  EXPECT_STREQ(renderer->GetTechniqueName().GetText(), "tech_a");
  EXPECT_TRUE(renderer->GetTechniqueName().OwnsText());
  EXPECT_TRUE(renderer->IsShadowCaster());
  EXPECT_EQ(renderer->GetRenderData().shadowCaster, 1);
  EXPECT_TRUE(renderer->IsEnabled());
  EXPECT_TRUE(manager.IsInDrawnLists(handle));
  EXPECT_TRUE(renderer->IsRegistered());
  EXPECT_EQ(renderer->GetRenderData().handle, handle);
  EXPECT_EQ(renderer->GetItems()[1]->currentMaterial, 2);
  EXPECT_FALSE(renderer->IsCheckPointCopy());
  EXPECT_NE(renderer->GetCheckPointCopy(), nullptr);
  EXPECT_EQ(renderer->GetRenderData().renderer, static_cast<gfx::IRenderable*>(renderer));
  EXPECT_EQ(renderer->GetRenderData().techniqueName, &renderer->GetTechniqueName());
}

TEST_F(RendererTest, TemplateCopyOwnsItsNamesAndNotTheRegistration) {
  auto source = std::make_unique<CRenderer>();
  {
    CXml xml;
    source->Load(xml.Parse(Key("mesh", "test_quad.mesh") + Key("shader", "basic") +
                           Key("render_type", "particles") + ParticleTextures(2, 4)));
  }
  CRenderer* copy = Load("");
  copy->CopyFrom(*source);
  source.reset();
  EXPECT_STREQ(copy->GetShaderName().GetText(), "basic");
  EXPECT_STREQ(copy->GetTextureName(1).GetText(), "spark1");
  EXPECT_EQ(copy->GetOwner(), &object);
  object.CollectRenderers();
  copy->Init();
  EXPECT_TRUE(copy->IsRegistered());
  EXPECT_FLOAT_EQ(copy->GetFramePeriod(), 0.25f);
}

TEST_F(RendererTest, ShaderParametersWaitForTheirEffect) {
  CRenderer* renderer = Build(Key("mesh", "test_quad.mesh") + Key("shader", "skin"));
  const float colour[4] = {1.0f, 0.5f, 0.25f, 1.0f};
  // Set before the effect exists: kept, without a handle.
  renderer->SetShaderParameter(CStringHash("gColorFactor"), gfx::kShaderFloat4, colour);
  const gfx::CShader::SParameter* stored =
      renderer->GetShaderInstance()->FindParameter(CStringHash("gcolorfactor"));
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(stored->handle, 0u);
  renderer->Update(0.01f);
  EXPECT_FALSE(renderer->IsShaderReady());

  // The effect arrives: the renderer resolves it on its next update and the value
  // gets the effect's handle.
  auto rec = std::make_shared<plat::gpu::Recorder>();
  plat::gpu::Gpu* gpu = plat::gpu::CreateRecordingGpu(rec);
  plat::gpu::PresentParameters pp;
  plat::gpu::Device* device = nullptr;
  ASSERT_EQ(gpu->CreateDevice(0, plat::gpu::kDevTypeHal, nullptr, 0, &pp, &device), plat::gpu::kOk);
  auto* shader = new gfx::CShader();
  shader->Init(CStringHash("skin"), "Data/shaders/skin.fxo");
  ASSERT_TRUE(shader->LoadEffect(device)) << log;
  manager.queuedShaders.Add(shader->name, shader);
  renderer->Update(0.01f);
  EXPECT_TRUE(renderer->IsShaderReady());
  const plat::fx::Handle expected = shader->effect->GetParameterByName("gColorFactor");
  ASSERT_NE(expected, 0u);
  EXPECT_EQ(stored->handle, expected);

  // A name keeps its type: a three-float set is refused and the value stays.
  const float other[3] = {9.0f, 9.0f, 9.0f};
  renderer->SetShaderParameter(CStringHash("gColorFactor"), gfx::kShaderFloat3, other);
  EXPECT_NE(log.find("gColorFactor"), std::string::npos);
  float back[4];
  ASSERT_EQ(stored->bytes.size(), 16u);
  std::memcpy(back, stored->bytes.data(), sizeof(back));
  EXPECT_FLOAT_EQ(back[2], 0.25f);

  delete manager.queuedShaders.Remove(shader->name);
  device->Release();
  gpu->Release();
}

TEST_F(RendererTest, MadeByNameAndDrivenFromLua) {
  utl::FactoryMap<obj::IComponent> makers;
  gfx::RegisterRendererFactory(makers);
  std::unique_ptr<obj::IComponent> made(obj::CreateComponent(makers, "crenderer"));
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->GetType(), CStringHash("CRenderer"));
  EXPECT_EQ(made->GetFamilyType(), CStringHash("CRenderer"));
  utl::DeleteFactoryMakers(makers);

  CRenderer* renderer = Build(Key("mesh", "test_cube.mesh"));
  lua_State* state = luaL_newstate();
  luaL_openlibs(state);
  luabind::open(state);
  gfx::RegisterRendererBindings(state);
  gfx::RegisterRendererBindings(state);
  luabind::globals(state)["r"] = renderer;
  ASSERT_EQ(luaL_dostring(state, "r:SetSubMaterial(6, 1) r:SetCastShadow(false)"), 0) << lua_tostring(state, -1);
  EXPECT_EQ(renderer->GetItems()[1]->currentMaterial, 6);
  EXPECT_FALSE(renderer->IsShadowCaster());
  lua_close(state);
}

}  // namespace
