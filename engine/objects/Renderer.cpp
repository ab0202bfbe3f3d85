#include "engine/objects/Renderer.h"

#include <cfloat>
#include <cstdlib>
#include <cstring>
#include <string>

#include <luabind/luabind.hpp>

#include "engine/core/EngineNames.h"
#include "engine/core/Locks.h"
#include "engine/core/Log.h"
#include "engine/objects/ComponentKeys.h"
#include "engine/objects/Transform.h"
#include "engine/render/RenderManager.h"
#include "platform/crt/Crt.h"

namespace vd {
namespace gfx {

namespace {

constexpr const char* kBindingsKey = "vd.gfx.renderer_registered";

// Keys.
constexpr uint32_t kMesh = ComputeHash("mesh");
constexpr uint32_t kAnimMesh = ComputeHash("anim_mesh");
constexpr uint32_t kGeometryZoneGroup = ComputeHash("geometry_zone_group_id");
constexpr uint32_t kRenderTypeKey = ComputeHash("render_type");
constexpr uint32_t kRenderLayerKey = ComputeHash("render_layer");
constexpr uint32_t kTextures = ComputeHash("textures");
constexpr uint32_t kShader = ComputeHash("shader");
constexpr uint32_t kTechnique = ComputeHash("technique");
constexpr uint32_t kMaterial = ComputeHash("material");
constexpr uint32_t kMaterials = ComputeHash("materials");
constexpr uint32_t kAabb = ComputeHash("AABB");
constexpr uint32_t kShadowCaster = ComputeHash("shadow_caster");
constexpr uint32_t kGlower = ComputeHash("glower");
constexpr uint32_t kSkipClipping = ComputeHash("skip_frustum_clipping");
constexpr uint32_t kGlowColor = ComputeHash("glow_color");
constexpr uint32_t kGlowMultiplier = ComputeHash("glow_multiplier");

struct SNamedValue {
  uint32_t hash;
  int value;
  int layer;  // -1: the layer stays
};

// "render_type" values; any other text is a static mesh.
constexpr SNamedValue kRenderTypes[] = {
    {ComputeHash("dynamic"), kRenderTypeDynamic, -1},
    {ComputeHash("animation"), kRenderTypeAnimation, -1},
    {ComputeHash("particles"), kRenderTypeParticles, kLayerFrontScene},
    {ComputeHash("water"), kRenderTypeWater, kLayerBackScene},
    {ComputeHash("hud"), kRenderTypeHud, kLayerHud},
    {ComputeHash("menu"), kRenderTypeMenu, kLayerMenu},
    {ComputeHash("background"), kRenderTypeBackground, kLayerBackground},
};

// "render_layer" values; any other text leaves the layer.
constexpr SNamedValue kLayers[] = {
    {ComputeHash("floor"), kLayerFloor, 0},
    {ComputeHash("fog"), kLayerFog, 0},
    {ComputeHash("background_layer"), kLayerBackground, 0},
    {ComputeHash("back_scene_layer"), kLayerBackScene, 0},
    {ComputeHash("sky_layer"), kLayerSky, 0},
    {ComputeHash("front_scene_layer"), kLayerFrontScene, 0},
    {ComputeHash("hud_layer"), kLayerHud, 0},
    {ComputeHash("menu_layer"), kLayerMenu, 0},
};

const char* ChildAttribute(const rapidxml::xml_node<>* node, const char* child, const char* attribute) {
  const rapidxml::xml_node<>* c = node ? node->first_node(child) : nullptr;
  return c ? obj::CKey(c).Attribute(attribute) : "";
}

void SetEmptyBox(float* boxMin, float* boxMax) {
  for (int i = 0; i < 3; ++i) {
    boxMin[i] = FLT_MAX;
    boxMax[i] = -FLT_MAX;
  }
}

}  // namespace

const CStringHash& CRenderer::GetClassName() { return SH_CRenderer; }

CRenderer::CRenderer() { SetEmptyBox(m_boxMin, m_boxMax); }

CRenderer::~CRenderer() {
  if (!IsCheckPointCopy()) Reset();
}

CRenderer& CRenderer::operator=(const CRenderer& other) {
  if (this == &other) return *this;
  obj::IComponent::operator=(other);
  std::memcpy(m_boxMin, other.m_boxMin, sizeof(m_boxMin));
  std::memcpy(m_boxMax, other.m_boxMax, sizeof(m_boxMax));
  m_renderType = other.m_renderType;
  m_layer = other.m_layer;
  m_meshName = other.m_meshName;
  m_geometryZoneGroup = other.m_geometryZoneGroup;
  m_shaderName = other.m_shaderName;
  m_techniqueName = other.m_techniqueName;
  m_lightmapName = other.m_lightmapName;
  m_subMaterialIds = other.m_subMaterialIds;
  m_hasAnimatedMesh = other.m_hasAnimatedMesh;
  m_material = other.m_material;
  m_emitterData = other.m_emitterData;
  m_model = other.m_model;
  m_framesPerSecond = other.m_framesPerSecond;
  m_randomStart = other.m_randomStart;
  m_framePeriod = other.m_framePeriod;
  m_textureCount = other.m_textureCount;
  m_frameIndex = other.m_frameIndex;
  for (int i = 0; i < kMaxTextures; ++i) m_textureNames[i] = other.m_textureNames[i];
  m_currentTexture = other.m_currentTexture;
  m_shadowCaster = other.m_shadowCaster;
  m_skipFrustumClipping = other.m_skipFrustumClipping;
  m_glower = other.m_glower;
  std::memcpy(m_glowColour, other.m_glowColour, sizeof(m_glowColour));
  m_glowMultiplier = other.m_glowMultiplier;
  m_frameClock = other.m_frameClock;
  return *this;
}

CRenderManager* CRenderer::Manager() const {
  // The manager may have gone (application shutdown) while objects remain.
  return m_renderManager && m_renderManager == CRenderManager::GetInstance() ? m_renderManager : nullptr;
}

const CStringHash& CRenderer::GetTextureName(int index) const {
  static const CStringHash kNone;
  return index >= 0 && index < m_textureCount ? m_textureNames[index].Get() : kNone;
}

// --- Load ---------------------------------------------------------------------

void CRenderer::Load(rapidxml::xml_node<>* element) {
  obj::ForEachKey(element, [this](const obj::CKey& key) {
    const uint32_t name = key.NameHash();
    if (name == kMesh) {
      m_meshName.Set(key.Text());
      // Dynamic meshes are made at run time and a particle renderer draws its
      // emitter's batch: neither has a file to read.
      if (!m_meshName.IsNoName() && m_renderType != kRenderTypeDynamic &&
          m_renderType != kRenderTypeParticles) {
        if (CRenderManager* manager = CRenderManager::GetInstance()) manager->LoadMesh(m_meshName.Get());
      }
    } else if (name == kAnimMesh) {
      m_meshName.Set(key.Text());
      m_hasAnimatedMesh = 1;
    } else if (name == kGeometryZoneGroup) {
      m_geometryZoneGroup.Set(key.Text());
    } else if (name == kRenderTypeKey) {
      const uint32_t value = ComputeHash(key.Text());
      m_renderType = kRenderTypeStatic;
      for (const SNamedValue& type : kRenderTypes) {
        if (type.hash != value) continue;
        m_renderType = type.value;
        if (type.layer >= 0) m_layer = type.layer;
      }
    } else if (name == kRenderLayerKey) {
      const uint32_t value = ComputeHash(key.Text());
      for (const SNamedValue& layer : kLayers) {
        if (layer.hash == value) m_layer = layer.value;
      }
    } else if (name == kTextures) {
      ReadTextures(key);
    } else if (name == kShader) {
      m_shaderName.Set(key.Text());
    } else if (name == kTechnique) {
      m_techniqueName.Set(key.Text());
    } else if (name == kMaterial) {
      m_material = key.Int();
    } else if (name == kMaterials) {
      ReadMaterials(key);
    } else if (name == kAabb) {
      m_boxMin[0] = key.Float("MinX");
      m_boxMin[1] = key.Float("MinY");
      m_boxMin[2] = key.Float("MinZ");
      m_boxMax[0] = key.Float("MaxX");
      m_boxMax[1] = key.Float("MaxY");
      m_boxMax[2] = key.Float("MaxZ");
    } else if (name == kShadowCaster) {
      if (key.Int() == 0) m_shadowCaster = 0;
    } else if (name == kGlower) {
      if (key.Int() == 1) m_glower = 1;
    } else if (name == kSkipClipping) {
      if (key.Int() == 1) m_skipFrustumClipping = 1;
    } else if (name == kGlowColor) {
      m_glowColour[0] = key.Float("R");
      m_glowColour[1] = key.Float("G");
      m_glowColour[2] = key.Float("B");
    } else if (name == kGlowMultiplier) {
      m_glowMultiplier = key.Float();
    }
  });
}

void CRenderer::AddTextureName(const char* name) {
  if (m_textureCount >= kMaxTextures) {
    utl::LogPrintf("Renderer of %s: texture %s dropped, a renderer holds at most %d textures\n",
                   GetOwner() ? GetOwner()->GetNameText() : "a template", name, kMaxTextures);
    return;
  }
  m_textureNames[m_textureCount].Set(name);
  if (m_textureCount == 0) m_currentTexture.Set(name);
  ++m_textureCount;
}

void CRenderer::ReadTextures(const obj::CKey& key) {
  CRenderManager* manager = CRenderManager::GetInstance();
  const rapidxml::xml_node<>* node = key.Node();
  if (m_renderType == kRenderTypeParticles) {
    if (const rapidxml::xml_node<>* fps = node->first_node("fps")) m_framesPerSecond = obj::CKey(fps).Int();
    if (const rapidxml::xml_node<>* random = node->first_node("random_start")) {
      if (obj::CKey(random).Int() != 0) m_randomStart = 1;
    }
    for (const rapidxml::xml_node<>* texture = node->first_node("texture"); texture;
         texture = texture->next_sibling("texture")) {
      const obj::CKey entry(texture);
      const char* id = entry.Attribute("id");
      const char* file = entry.Attribute("file");
      if (file[0] && manager && m_textureCount < kMaxTextures)
        manager->LoadTexture(CStringHash(id), nullptr, file, 0);
      AddTextureName(id);
    }
    if (m_textureCount == 1) m_framesPerSecond = 0;
    // The rate is taken as unsigned: no rate (-1) gives a period next to 0, a
    // rate of 0 an infinite one.
    m_framePeriod = 1.0f / static_cast<float>(static_cast<unsigned>(m_framesPerSecond));
    m_frameIndex = m_randomStart && m_textureCount > 1 ? plat::Rand() % (m_textureCount - 1) : 0;
    return;
  }
  if (m_renderType == kRenderTypeBackground || m_renderType == kRenderTypeHud || m_renderType == kRenderTypeMenu) {
    const bool multiLanguage = key.Int("multi_lang") != 0;
    for (const rapidxml::xml_node<>* texture = node->first_node("texture"); texture;
         texture = texture->next_sibling("texture")) {
      const char* image = obj::CKey(texture).Attribute("image");
      if (!image[0]) continue;
      if (!multiLanguage) {
        if (manager && m_textureCount < kMaxTextures) manager->LoadTexture(CStringHash(image), nullptr, image, 0);
        AddTextureName(image);
        continue;
      }
      for (const char* language : {"eng/", "spa/"}) {
        const std::string path = std::string(language) + image;
        if (manager && m_textureCount < kMaxTextures)
          manager->LoadTexture(CStringHash(path.c_str()), nullptr, path.c_str(), 0);
        AddTextureName(path.c_str());
      }
    }
  }
}

void CRenderer::ReadMaterials(const obj::CKey& key) {
  CRenderManager* manager = CRenderManager::GetInstance();
  const rapidxml::xml_node<>* first = key.Node()->first_node("material");
  for (const rapidxml::xml_node<>* node = first; node; node = node->next_sibling("material")) {
    const obj::CKey material(node);
    m_subMaterialIds.push_back(material.Int("name"));
    // The object descriptions' slots land in the material description in this
    // order: topdiffuse, bottomdiffuse, lightmap, specular, normal, ambient ->
    // diffuse, second, lightmap, specular, normal, sixth. A slot's image names
    // both the texture and its file.
    SMaterialDesc desc;
    const uint32_t type = ComputeHash(ChildAttribute(node, "topdiffuse", "type"));
    desc.kind = type == ComputeHash("3d") ? 1 : type == ComputeHash("cube") ? 2 : 0;
    const std::pair<SMaterialSlot*, const char*> slots[] = {
        {&desc.diffuse, "topdiffuse"}, {&desc.second, "bottomdiffuse"}, {&desc.lightmap, "lightmap"},
        {&desc.specular, "specular"},  {&desc.normal, "normal"},        {&desc.sixth, "ambient"}};
    for (const auto& slot : slots) slot.first->id = slot.first->file = ChildAttribute(node, slot.second, "image");
    if (manager) manager->LoadMaterial(material.Int("name"), desc);
  }
  const char* lightmap = ChildAttribute(first, "lightmap", "image");
  if (lightmap[0]) m_lightmapName.Set(lightmap);
}

// --- Life ---------------------------------------------------------------------

bool CRenderer::Init() {
  m_renderManager = CRenderManager::GetInstance();
  if (m_renderType == kRenderTypeParticles && GetOwner()) {
    std::vector<obj::IComponent*> emitters;
    GetOwner()->GetComponentsByFamily(SH_IParticleSubSystem, emitters);
    m_emitterData = emitters.empty() ? nullptr : emitters.front();
  }
  delete m_shader;
  m_shader = new CShader();
  if (m_renderType == kRenderTypeBackground || m_renderType == kRenderTypeHud ||
      m_renderType == kRenderTypeMenu) {
    // Screen sprites share one effect, whose values stay from one draw to the next:
    // a sprite that zooms or scrolls must not move the ones drawn after it.
    const float none[2] = {0.0f, 0.0f};
    const float one = 1.0f;
    m_shader->SetParameter(nullptr, CStringHash("gUVOffset"), kShaderFloat2, none);
    m_shader->SetParameter(nullptr, CStringHash("gPosOffset"), kShaderFloat2, none);
    m_shader->SetParameter(nullptr, CStringHash("gScale"), kShaderFloat, &one);
  }
  // The animator registers an animated mesh once its model exists; when its Init
  // came first, the model is already here and waits for this one.
  if (!m_hasAnimatedMesh || m_model) AddToRenderManager();
  return true;
}

void CRenderer::FillRenderData() {
  SRenderData& data = m_renderData;
  const int handle = data.handle;
  const SRenderData::SWalk walk = data.walk;
  data = SRenderData();
  data.handle = handle;
  data.walk = walk;
  data.ownerId = GetOwner() ? GetOwner()->GetId() : -1;
  data.renderType = m_hasAnimatedMesh ? kRenderTypeAnimation : m_renderType;
  data.layer = m_layer;
  data.shaderName = m_shaderName.Ptr();
  data.techniqueName = m_techniqueName.Ptr();
  data.boxMin = m_boxMin;
  data.boxMax = m_boxMax;
  data.glowColour = m_glowColour;
  data.glowMultiplier = &m_glowMultiplier;
  data.ownerTransform = GetOwner() ? GetOwner()->GetComponent<CTransform>() : nullptr;
  data.ownerPosition = data.ownerTransform ? &data.ownerTransform->position : nullptr;
  data.world = data.ownerTransform ? &data.ownerTransform->world : nullptr;
  data.lightmapName = m_lightmapName.Ptr();
  data.screenItemCount = m_textureCount;
  data.renderer = this;
  data.currentMaterial = m_material;
  data.baseMaterial = m_material;
  data.meshName = m_meshName.Ptr();
  data.shadowCaster = m_shadowCaster;
  data.glower = m_glower;
  data.skipClipping = m_skipFrustumClipping;
  if (m_renderType == kRenderTypeParticles) {
    data.emitterData = m_emitterData;
    data.currentTexture = m_currentTexture.Ptr();
  } else if (CRenderManager* manager = Manager(); manager && !m_meshName.IsNoName()) {
    data.mesh = manager->FindMesh(m_meshName.Get());
  }
  // Every entry carries its zone group: static and water entries are the ones the
  // zone test hides, so without it they would vanish as soon as a zone is set.
  data.geometryZoneGroup = m_geometryZoneGroup.Ptr();
  if (m_hasAnimatedMesh) data.modelInstance = m_model;
}

bool CRenderer::AddToRenderManager() {
  if (m_registered) return true;
  CRenderManager* manager = Manager();
  if (!manager) return false;
  FillRenderData();
  m_registered = m_inDrawnLists = 1;
  m_itemCount = manager->AddRenderer(m_renderData, m_items);
  if (m_itemCount == 0) {
    m_registered = m_inDrawnLists = 0;
  } else if (!IsEnabled()) {
    // Drawn lists hold enabled renderers only: a renderer of an object that is
    // not enabled yet joins them when it is.
    manager->DisableRenderer(m_renderData, m_items);
    m_inDrawnLists = 0;
  }
  const CShader* shader = manager->FindShader(m_shaderName.Get());
  m_shaderReady = shader && shader->IsValid() ? 1 : 0;
  return m_registered != 0;
}

bool CRenderer::AttachAnimatedModel(CalModel* model) {
  m_model = model;
  return AddToRenderManager();
}

bool CRenderer::Update(float dt) {
  if (!m_shaderReady) {
    if (CRenderManager* manager = Manager()) {
      const CShader* shader = manager->FindShader(m_shaderName.Get());
      if (shader && shader->IsValid()) ResolveShader();
    }
  }
  // Only a particle renderer with two textures or more animates.
  if (m_renderType == kRenderTypeParticles && m_textureCount >= 2) {
    m_frameClock += dt;
    if (m_frameClock >= m_framePeriod) {
      ++m_frameIndex;
      if (m_frameIndex < 0 || m_frameIndex >= m_textureCount) m_frameIndex = 0;
      {
        sys::CScopedLock lock(sys::kLockRender);
        m_currentTexture = m_textureNames[m_frameIndex];
      }
      // The frame after the last one shows the first.
      if (m_frameIndex >= m_textureCount - 1) m_frameIndex = -1;
      m_frameClock -= m_framePeriod;
    }
  }
  return true;
}

void CRenderer::SetEnabled(bool enabled, bool fromCheckPoint) {
  if (enabled == IsEnabled()) return;
  obj::IComponent::SetEnabled(enabled, fromCheckPoint);
  if (!m_registered) return;
  CRenderManager* manager = Manager();
  if (!manager) return;
  if (enabled) {
    manager->EnableRenderer(m_renderData, m_items);
  } else {
    manager->DisableRenderer(m_renderData, m_items);
  }
  m_inDrawnLists = enabled ? 1 : 0;
}

void CRenderer::Reset() {
  if (m_registered) {
    if (CRenderManager* manager = Manager()) manager->RemoveRenderer(m_renderData, m_items);
  }
  m_items.clear();
  m_itemCount = 0;
  m_renderData = SRenderData();
  m_registered = m_inDrawnLists = 0;
  drawn = 0;
  m_shaderReady = 0;
  m_hasAnimatedMesh = 0;
  m_material = 0;
  m_emitterData = nullptr;
  m_model = nullptr;
  SetEmptyBox(m_boxMin, m_boxMax);
  delete m_shader;
  m_shader = nullptr;
  m_glowColour[0] = m_glowColour[1] = m_glowColour[2] = 1.0f;
  m_glowMultiplier = 1.0f;
  m_frameClock = 0.0f;
}

void CRenderer::OnAfterRestore() {
  sys::CScopedLock lock(sys::kLockRender);
  // Sub-materials chosen from scripts after the save are undone.
  for (SRenderItem* item : m_items) item->currentMaterial = item->baseMaterial;
  if (m_registered) FillRenderData();
}

// --- Render side ----------------------------------------------------------------

const CStringHash* CRenderer::GetScreenTexture(int item) const {
  // One entry per texture item; an item past the list draws the first texture.
  if (m_textureCount <= 0) return nullptr;
  const int index = item >= 0 && item < m_textureCount ? item : 0;
  return m_textureNames[index].Ptr();
}

void CRenderer::OnDrawn() {
  drawn = 1;
  if (GetOwner()) GetOwner()->NotifyRendered();
}

// --- Own operations -------------------------------------------------------------

void CRenderer::SetTechnique(const CStringHash& technique) {
  sys::CScopedLock lock(sys::kLockRender);
  m_techniqueName.Set(technique);
}

void CRenderer::SetShaderParameter(const CStringHash& name, int kind, const void* value) {
  sys::CScopedLock lock(sys::kLockRender);
  CRenderManager* manager = Manager();
  if (!manager || !m_shader) return;
  // Also before the effect is loaded: the value gets its handle when the effect
  // arrives (ResolveShader, or the draw's own refresh after a reload).
  m_shader->SetParameter(manager->FindShader(m_shaderName.Get()), name, kind, value);
}

void CRenderer::ResolveShader() {
  CRenderManager* manager = Manager();
  if (!manager) return;
  const CShader* shader = manager->FindShader(m_shaderName.Get());
  if (!shader) return;
  if (m_shader) m_shader->RefreshParameterHandles(*shader);
  m_shaderReady = 1;
}

void CRenderer::SetSubMaterial(int material, int subset) {
  if (m_items.empty() || subset < 0) return;
  const int subsets = m_renderData.mesh ? static_cast<int>(m_renderData.mesh->GetSubsetCount()) : 0;
  if (subsets != 0 && subset >= subsets) return;
  sys::CScopedLock lock(sys::kLockRender);
  for (SRenderItem* item : m_items) {
    if (item->subset == subset) {
      item->currentMaterial = material;
      break;
    }
  }
}

void CRenderer::SetCastShadow(bool cast) {
  sys::CScopedLock lock(sys::kLockRender);
  m_shadowCaster = cast ? 1 : 0;
  m_renderData.shadowCaster = m_shadowCaster;
  if (m_registered) {
    if (CRenderManager* manager = Manager()) manager->SetCastShadow(m_renderData, m_items, cast);
  }
}

void RegisterRendererFactory(utl::FactoryMap<obj::IComponent>& makers) {
  utl::RegisterFactoryMaker<CRenderer, obj::IComponent>(makers);
}

void RegisterRendererBindings(lua_State* state) {
  if (!state) return;
  lua_getfield(state, LUA_REGISTRYINDEX, kBindingsKey);
  const bool registered = lua_toboolean(state, -1) != 0;
  lua_pop(state, 1);
  if (registered) return;
  luabind::module(state)[luabind::class_<CRenderer>("CRenderer")
                             .def("SetSubMaterial", &CRenderer::SetSubMaterial)
                             .def("SetCastShadow", &CRenderer::SetCastShadow)];
  lua_pushboolean(state, 1);
  lua_setfield(state, LUA_REGISTRYINDEX, kBindingsKey);
}

}  // namespace gfx
}  // namespace vd
