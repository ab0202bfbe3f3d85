#pragma once
// The component that makes a game object visible: it reads what to draw and how
// from its keys, asks the render manager for the meshes, materials and textures
// it names, registers its entries there, keeps them in or out of the drawn lists
// as it is enabled and disabled, animates particle textures, and carries the
// drawn flag through which the render thread reports the object drawn.
#include <atomic>
#include <cstdint>
#include <vector>

#include "engine/core/FactoryMaker.h"
#include "engine/core/StringHash.h"
#include "engine/objects/Component.h"
#include "engine/objects/GameObject.h"
#include "engine/render/RenderData.h"

struct lua_State;
class CalModel;

namespace vd {
namespace obj {
class CKey;
}
namespace gfx {

class CRenderManager;

// A hashed name that always owns its text, also in copies: templates' and
// checkpoint copies' names outlive the XML they came from and each other.
class COwnedHash {
public:
  COwnedHash() = default;
  COwnedHash(const COwnedHash& other) : m_name(other.m_name) {}
  COwnedHash& operator=(const COwnedHash& other) {
    if (this != &other) Set(other.m_name);
    return *this;
  }
  void Set(const CStringHash& name) {
    m_name = name;
    m_name.MakeOwned();
  }
  void Set(const char* text) { Set(CStringHash(text)); }
  void Clear() { m_name = CStringHash(); }
  const CStringHash& Get() const { return m_name; }
  const CStringHash* Ptr() const { return &m_name; }
  bool IsNoName() const { return m_name.IsNoName(); }
  const char* c_str() const { return m_name.c_str(); }

private:
  CStringHash m_name;
};

class CRenderer : public obj::CComponent<CRenderer, obj::IRendererComponent>, public IRenderable {
public:
  // Texture names a renderer keeps; further names are logged and dropped.
  static constexpr int kMaxTextures = 30;
  // Where particle and screen textures are read from.
  static constexpr const char* kTextureFolder = "Data/textures/";

  static const CStringHash& GetClassName();

  CRenderer();
  ~CRenderer() override;
  // Takes the parameters and the base fields; the live registration (handle,
  // items, flags, shader instance) stays this instance's own, so that neither a
  // template copy nor a checkpoint restore can share or lose it.
  CRenderer& operator=(const CRenderer& other);

  // --- Component ------------------------------------------------------------
  void Load(rapidxml::xml_node<>* element) override;
  bool HasContent() override { return !m_items.empty(); }
  bool Update(float dt) override;
  void SetEnabled(bool enabled, bool fromCheckPoint) override;
  bool Init() override;
  void Reset() override;
  void OnAfterRestore() override;

  // --- Render side ----------------------------------------------------------
  // Render thread: this renderer has been drawn; tells the owner.
  void OnDrawn() override;
  bool IsReadyToDraw() const override { return m_shaderReady != 0; }
  const CStringHash* GetScreenTexture(int item) const override;
  CShader* GetOwnParameters() const override { return m_shader; }

  // --- Own operations -------------------------------------------------------
  // Registers the entries (nothing when registered already). True when registered.
  bool AddToRenderManager();
  // The animator's model for an animated mesh; registers the renderer with it.
  bool AttachAnimatedModel(CalModel* model);
  // Under the render lock.
  void SetTechnique(const CStringHash& technique);
  // Under the render lock: stores the value in this renderer's shader instance
  // when the render manager knows the shader. Nothing otherwise.
  void SetShaderParameter(const CStringHash& name, int kind, const void* value);
  // Lets the found shader resolve this renderer's parameter handles.
  void ResolveShader();

  // Script methods (the Lua class "CRenderer").
  // Sets the current material of the item drawing that subset.
  void SetSubMaterial(int material, int subset);
  void SetCastShadow(bool cast);

  // --- Access ---------------------------------------------------------------
  bool IsRegistered() const override { return m_registered != 0; }
  bool IsInDrawnLists() const { return m_inDrawnLists != 0; }
  const std::vector<SRenderItem*>& GetItems() const { return m_items; }
  int GetItemCount() const { return m_itemCount; }
  const SRenderData& GetRenderData() const { return m_renderData; }
  int GetRenderType() const { return m_renderType; }
  int GetLayer() const { return m_layer; }
  const CStringHash& GetMeshName() const { return m_meshName.Get(); }
  const CStringHash& GetShaderName() const { return m_shaderName.Get(); }
  const CStringHash& GetTechniqueName() const { return m_techniqueName.Get(); }
  const CStringHash& GetLightmapName() const { return m_lightmapName.Get(); }
  const CStringHash& GetGeometryZoneGroup() const { return m_geometryZoneGroup.Get(); }
  const std::vector<int>& GetSubMaterialIds() const { return m_subMaterialIds; }
  bool HasAnimatedMesh() const { return m_hasAnimatedMesh != 0; }
  int GetMaterial() const { return m_material; }
  int GetFramesPerSecond() const { return m_framesPerSecond; }
  bool HasRandomStart() const { return m_randomStart != 0; }
  float GetFramePeriod() const { return m_framePeriod; }
  int GetTextureCount() const { return m_textureCount; }
  int GetFrameIndex() const { return m_frameIndex; }
  const CStringHash& GetTextureName(int index) const;
  const CStringHash& GetCurrentTexture() const { return m_currentTexture.Get(); }
  bool IsShadowCaster() const { return m_shadowCaster != 0; }
  bool SkipsFrustumClipping() const { return m_skipFrustumClipping != 0; }
  bool IsGlower() const { return m_glower != 0; }
  const float* GetGlowColour() const { return m_glowColour; }
  float GetGlowMultiplier() const { return m_glowMultiplier; }
  const float* GetBoxMin() const { return m_boxMin; }
  const float* GetBoxMax() const { return m_boxMax; }
  bool IsShaderReady() const { return m_shaderReady != 0; }
  const CShader* GetShaderInstance() const { return m_shader; }
  const void* GetEmitterData() const { return m_emitterData; }

private:
  void ReadTextures(const obj::CKey& key);
  void AddTextureName(const char* name);
  void ReadMaterials(const obj::CKey& key);
  void FillRenderData();
  CRenderManager* Manager() const;

  // Live registration: not copied by assignment.
  CRenderManager* m_renderManager = nullptr;
  SRenderData m_renderData;
  uint8_t m_registered = 0;
  uint8_t m_inDrawnLists = 0;
  std::vector<SRenderItem*> m_items;
  int m_itemCount = 0;
  CShader* m_shader = nullptr;
  uint8_t m_shaderReady = 0;

  // Parameters.
  float m_boxMin[3];
  float m_boxMax[3];
  int m_renderType = kRenderTypeStatic;
  int m_layer = kLayerFloor;
  COwnedHash m_meshName;
  COwnedHash m_geometryZoneGroup;
  COwnedHash m_shaderName;
  COwnedHash m_techniqueName;
  COwnedHash m_lightmapName;
  std::vector<int> m_subMaterialIds;
  uint8_t m_hasAnimatedMesh = 0;
  int m_material = 0;
  const void* m_emitterData = nullptr;
  CalModel* m_model = nullptr;
  int m_framesPerSecond = -1;
  uint8_t m_randomStart = 0;
  float m_framePeriod = 0.0f;
  int m_textureCount = 0;
  int m_frameIndex = 0;
  COwnedHash m_textureNames[kMaxTextures];
  COwnedHash m_currentTexture;
  uint8_t m_shadowCaster = 1;
  uint8_t m_skipFrustumClipping = 0;
  uint8_t m_glower = 0;
  float m_glowColour[3] = {1.0f, 1.0f, 1.0f};
  float m_glowMultiplier = 1.0f;
  float m_frameClock = 0.0f;
};

// The maker of "CRenderer".
void RegisterRendererFactory(utl::FactoryMap<obj::IComponent>& makers);
// The Lua class "CRenderer" ("SetSubMaterial", "SetCastShadow"). Safe to call
// more than once per state.
void RegisterRendererBindings(lua_State* state);

}  // namespace gfx
}  // namespace vd
