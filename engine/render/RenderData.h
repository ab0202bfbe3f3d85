#pragma once
// What a renderer hands to the render manager, what the render manager gives back
// (one item per entry), and the records of the resources renderers ask for.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "engine/core/StringHash.h"
#include "engine/render/Shader.h"
#include "platform/math/Math.h"
#include "platform/math/Vector.h"

class CalModel;
namespace plat {
namespace fx {
class Effect;
}
namespace gpu {
class Device;
}
}  // namespace plat

namespace vd {
namespace gfx {

class CTransform;

// Render types: bit values, also what the "render_type" key names.
enum ERenderType : int {
  kRenderTypeStatic = 1,
  kRenderTypeDynamic = 2,
  kRenderTypeAnimation = 4,
  kRenderTypeParticles = 8,
  kRenderTypeWater = 16,
  kRenderTypeHud = 32,
  kRenderTypeMenu = 64,
  kRenderTypeBackground = 128,
};

// Layers, also what the "render_layer" key names.
enum ERenderLayer : int {
  kLayerFloor = 0,
  kLayerFog = 1,
  kLayerBackground = 2,
  kLayerBackScene = 3,
  kLayerSky = 4,
  kLayerFrontScene = 5,
  kLayerHud = 6,
  kLayerMenu = 7,
};

class CShader;

// The side of a renderer that the render thread talks to: what it reads while it
// draws the renderer's entries, and the report once it has walked them all.
class IRenderable {
public:
  // Render thread: the renderer's entries have been walked in this frame.
  virtual void OnDrawn() = 0;
  // Its effect is loaded (the screen lists and the pass draws skip it until then).
  virtual bool IsReadyToDraw() const { return true; }
  virtual bool IsVisible() const { return true; }
  // The texture a screen entry (background, HUD, menu) draws; null when none.
  virtual const CStringHash* GetScreenTexture(int item) const {
    (void)item;
    return nullptr;
  }
  // The renderer's own effect parameters, applied to its entries' effect under the
  // render lock; null when it has none.
  virtual CShader* GetOwnParameters() const { return nullptr; }

protected:
  ~IRenderable() = default;
};

class IVertexBuffer;
struct SRenderData;

// One render entry: a node of one of the render manager's lists. A renderer keeps
// the addresses of its entries as their handles (list nodes never move in memory,
// also when they change list). The entry draws one mesh subset with its material
// (the current one may be switched from scripts; the base one is what it had at
// registration).
struct SRenderItem {
  int subset = 0;
  int currentMaterial = 0;
  int baseMaterial = 0;
  int renderType = 0;
  int layer = 0;
  uint32_t effect = kNoNameHash;
  uint32_t technique = kNoNameHash;
  uint32_t mesh = kNoNameHash;  // the mesh's name hash
  uint32_t lightmap = kNoNameHash;
  uint8_t active = 1;
  uint8_t shadowCaster = 1;
  // The owner's position (its transform's); null when it has none.
  const plat::Vec3* position = nullptr;
  // The screen item this entry draws (background, HUD and menu renderers).
  int screenItem = 0;
  SRenderData* data = nullptr;
};

// Filled by a renderer before it registers. Pointers point into the renderer,
// which outlives its registration.
struct SRenderData {
  int ownerId = -1;
  int renderType = kRenderTypeStatic;
  int layer = kLayerFloor;
  const CStringHash* shaderName = nullptr;
  const CStringHash* techniqueName = nullptr;
  const float* boxMin = nullptr;      // 3 floats
  const float* boxMax = nullptr;      // 3 floats
  const float* glowColour = nullptr;  // 3 floats
  const float* glowMultiplier = nullptr;
  const IVertexBuffer* mesh = nullptr;  // null when the mesh is not known (yet)
  // The owner's transform and its position; null when it has none.
  const CTransform* ownerTransform = nullptr;
  const plat::Vec3* ownerPosition = nullptr;
  const CStringHash* lightmapName = nullptr;
  // Screen renderers (background, HUD, menu): one entry per texture item.
  int screenItemCount = 0;
  IRenderable* renderer = nullptr;
  int currentMaterial = 0;
  int baseMaterial = 0;
  const CStringHash* meshName = nullptr;
  uint8_t shadowCaster = 1;
  uint8_t glower = 0;
  uint8_t skipClipping = 0;
  // Particles: the emitter's data and the texture of the current frame.
  const void* emitterData = nullptr;
  const CStringHash* currentTexture = nullptr;
  // Animated meshes: the model instance and the geometry zone group.
  CalModel* modelInstance = nullptr;
  const CStringHash* geometryZoneGroup = nullptr;
  // The owner's world matrix; null: identity.
  const plat::Mat4* world = nullptr;
  // The render manager's handle of the registered entries; 0 while unregistered.
  int handle = 0;
  // Render thread: the drawn count. Entries registered, entries walked in the
  // frame numbered walkFrame.
  struct SWalk {
    int entries = 0;
    int walked = 0;
    uint32_t frame = 0;
  } walk;
};

// --- Material description -------------------------------------------------------

// One texture slot of a material: the texture's name (its table key) and its file.
struct SMaterialSlot {
  std::string id;
  std::string file;
};

// What a material asks the render manager to load. The object descriptions name
// the slots "topdiffuse", "bottomdiffuse", "lightmap", "specular", "normal" and
// "ambient"; they land in diffuse, second, lightmap, specular, normal and sixth in
// that order, and the drawing reads the top-diffuse map from the material record's
// first name (SMaterial::names[0]).
struct SMaterialDesc {
  int kind = 0;  // 0 two-dimensional, 1 volume, 2 cube
  SMaterialSlot diffuse;
  SMaterialSlot second;
  SMaterialSlot lightmap;
  SMaterialSlot specular;
  SMaterialSlot normal;
  SMaterialSlot sixth;
};

}  // namespace gfx
}  // namespace vd
