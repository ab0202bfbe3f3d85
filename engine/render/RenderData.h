#pragma once
// What a renderer hands to the render manager, what the render manager gives back
// (one item per entry), and the records of the resources renderers ask for.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "engine/core/StringHash.h"

class CalModel;

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

// The side of a renderer that the render thread talks to once it has drawn it.
class IRenderable {
public:
  // Render thread: the renderer's entries have been drawn in this frame.
  virtual void OnDrawn() = 0;

protected:
  ~IRenderable() = default;
};

// One entry of a registered renderer: the mesh subset it draws and its material
// (the current one may be switched from scripts; the base one is what it had at
// registration).
struct SRenderItem {
  int subset = 0;
  int currentMaterial = 0;
  int baseMaterial = 0;
};

struct SMesh;

// Filled by a renderer before it registers. Pointers point into the renderer,
// which outlives its registration.
struct SRenderData {
  int ownerId = -1;
  int renderType = kRenderTypeStatic;
  int layer = kLayerFloor;
  const CStringHash* shaderName = nullptr;
  const CStringHash* techniqueName = nullptr;
  const float* boxMin = nullptr;  // 3 floats
  const float* boxMax = nullptr;  // 3 floats
  const float* glowColour = nullptr;  // 3 floats
  const float* glowMultiplier = nullptr;
  const SMesh* mesh = nullptr;  // null when the mesh is not known (yet)
  // The owner's transform; null when it has none.
  const CTransform* ownerTransform = nullptr;
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
  // The render manager's handle of the registered entries; 0 while unregistered.
  int handle = 0;
};

// --- Resource records --------------------------------------------------------

struct SMesh {
  CStringHash name;  // owns its text
  std::string path;
  // Subsets the file declares; 0 when not known.
  int subsetCount = 0;
};

struct STexture {
  CStringHash name;  // owns its text
  std::string folder;
  std::string file;
  int type = 0;
};

// The images of a material element's children.
struct SMaterialDesc {
  std::string type;  // the topdiffuse child's type attribute
  std::string topDiffuse;
  std::string bottomDiffuse;
  std::string lightmap;
  std::string specular;
  std::string normal;
  std::string ambient;
};

struct SMaterial {
  CStringHash name;  // owns its text
  SMaterialDesc desc;
};

// A shader's named parameter values. Each renderer owns one instance holding its
// own values; the render manager's tables hold the loaded shaders whose effects
// those values are set on.
class CShader {
public:
  // Value kinds and their sizes in bytes.
  enum EKind : int {
    kBool = 0,
    kInt = 1,
    kFloat = 2,
    kFloat2 = 3,
    kFloat3 = 4,
    kFloat4 = 5,  // "gColorFactor"
    kMatrix = 6,
  };
  static int KindSize(int kind);

  // Stores (or replaces) a named value taken from `value`. The source shader is
  // the loaded one the value is meant for; its handle is looked up by
  // RefreshParameterHandles. False (nothing stored) for an unknown kind or a null
  // value.
  bool SetParameter(const CShader* source, const CStringHash& name, int kind, const void* value);
  // Looks the stored values' names up in the source's parameters.
  void RefreshParameterHandles(const CShader& source);

  struct SParameter {
    int kind = 0;
    std::vector<uint8_t> bytes;
    int handle = -1;  // index in the source's parameter names; -1: not found
  };
  const SParameter* FindParameter(const CStringHash& name) const;
  size_t ParameterCount() const { return m_values.size(); }

  // A loaded shader: its effect, its file and the names of its parameters.
  bool HasEffect() const { return effectLoaded != 0; }
  bool IsReady() const { return effectLoaded && !fileName.empty() && handlesReady; }

  CStringHash name;  // owns its text
  std::string fileName;
  uint8_t effectLoaded = 0;
  uint8_t handlesReady = 0;
  // The effect's parameter names, in handle order.
  std::vector<CStringHash> parameterNames;

private:
  std::map<uint32_t, SParameter> m_values;
};

}  // namespace gfx
}  // namespace vd
