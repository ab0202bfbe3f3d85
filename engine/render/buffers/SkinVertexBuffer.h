#pragma once
// The vertex buffer of an animated character mesh: built on the loading thread from
// the first submesh of an animation core mesh, drawn with hardware skinning. The
// bone palette lists the skeleton bones the vertices are bound to (ascending ids);
// before each draw SetBones stages their current transforms into "gBones".
//
// Skinning data comes from files, so the build checks it: more than four influences
// on a vertex keep the four strongest, renormalised; a palette beyond 80 bones, a
// bone id outside the skeleton, a face index past the vertices or more vertices
// than 16-bit indices reach, no triangle, more
// triangles than 16-bit indices address, or no texture coordinates refuse the mesh
// with a log line naming it.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "engine/render/buffers/VertexBuffer.h"

class CalCoreMesh;
class CalSkeleton;

namespace plat {
namespace fx {
class Effect;
}
}  // namespace plat

namespace vd {
namespace gfx {

constexpr uint32_t kMaxSkinInfluences = 4;
constexpr uint32_t kMaxPaletteBones = 80;
constexpr uint32_t kFloatsPerBone = 12;
constexpr uint32_t kMaxSkinTriangles = 21845;

// What the build reads of a submesh, in plain form (the library's submesh is
// converted into it; tests make it directly).
struct SSkinInfluence {
  int32_t boneId = 0;
  float weight = 0.0f;
};

struct SSkinSourceVertex {
  Vec3 position;
  Vec3 normal;
  Vec2 uv;
  Vec4 tangent;  // x, y, z and the cross factor
  std::vector<SSkinInfluence> influences;
};

struct SSkinSource {
  std::vector<SSkinSourceVertex> vertices;
  std::vector<uint32_t> indices;  // three per triangle
  uint32_t skeletonBoneCount = 0;
  bool hasTexCoords = false;
  bool hasTangents = false;  // tangent space of map 0
};

// The library's submesh 0 in plain form; false (logged with `name`) when the core
// mesh has no submesh.
bool ReadSkinSource(CalCoreMesh* coreMesh, uint32_t skeletonBoneCount, const char* name,
                    SSkinSource& out);

// The bone palette of a source: every bone id an influence uses, ascending.
std::vector<int32_t> BuildSkinPalette(const SSkinSource& source);

// One vertex's weight and index bytes: at most the four strongest influences (more
// than four are renormalised over those kept), each weight truncated to a byte,
// the shortfall to 255 added to byte 0. `paletteIndex` maps a bone id to its
// palette position.
template <class PaletteIndex>
void PackSkinInfluences(const std::vector<SSkinInfluence>& influences, PaletteIndex&& paletteIndex,
                        uint32_t& weights, uint32_t& indices);

// The shared part of both skinned instantiations.
class CSkinPalette {
public:
  const std::vector<int32_t>& GetPalette() const { return m_palette; }
  // Writes the 3 × 3 transform and the bone-space translation of every palette
  // bone into `staging` (kMaxPaletteBones × kFloatsPerBone floats); returns the
  // number of floats written (12 per palette bone). A palette bone the skeleton
  // does not have gets the identity.
  uint32_t StageBones(CalSkeleton* skeleton, float* staging) const;
  // Stages the model skeleton's bones and sets them as "gBones"; an effect without
  // that parameter gets nothing.
  void SetBones(plat::fx::Effect* effect, CalSkeleton* skeleton) const;

protected:
  // Checks the source and makes the palette; false (logged) when refused.
  bool CheckSource(const SSkinSource& source, const char* name);
  std::vector<int32_t> m_palette;
};

template <typename T>
class CSkinVertexBuffer : public CVertexBuffer<T>, public CSkinPalette {
public:
  static_assert(T::kType == kVtxTexturedNormSkin || T::kType == kVtxTexturedNormTangentSkin,
                "skinned vertex types only");

  // Builds from submesh 0 of the core mesh. False, with a log line naming `name`,
  // and the buffer left empty when the data is refused.
  bool BuildFromSubmesh(CalCoreMesh* coreMesh, uint32_t skeletonBoneCount, const char* name) {
    SSkinSource source;
    if (!ReadSkinSource(coreMesh, skeletonBoneCount, name, source)) return false;
    return BuildFromSource(source, name);
  }

  bool BuildFromSource(const SSkinSource& source, const char* name) {
    this->Release();
    this->m_indexBuffer.reset();
    m_palette.clear();
    if (!CheckSource(source, name)) return false;
    const uint32_t indexCount = static_cast<uint32_t>(source.indices.size());
    this->m_indexBuffer.reset(new SIndexBuffer16());
    this->m_indexBuffer->count = static_cast<uint16_t>(indexCount);
    this->m_indexBuffer->indices.reset(new uint16_t[indexCount]);
    for (uint32_t i = 0; i < indexCount; ++i)
      this->m_indexBuffer->indices[i] = static_cast<uint16_t>(source.indices[i]);
    this->Init(static_cast<uint32_t>(source.vertices.size()), kMeshPrimitiveKindList, T::kType);

    auto paletteIndex = [this](int32_t boneId) {
      // The palette is sorted and holds every bone the source uses.
      auto it = std::lower_bound(m_palette.begin(), m_palette.end(), boneId);
      return static_cast<uint8_t>(it - m_palette.begin());
    };
    for (size_t i = 0; i < source.vertices.size(); ++i) {
      const SSkinSourceVertex& in = source.vertices[i];
      T& out = this->m_vertices[i];
      out.position = in.position;
      out.normal = in.normal;
      out.uv0 = in.uv;
      if constexpr (T::kType == kVtxTexturedNormTangentSkin) {
        if (source.hasTangents) out.tangent = in.tangent;
      }
      PackSkinInfluences(in.influences, paletteIndex, out.weights, out.indices);
    }
    return true;
  }
};

template <class PaletteIndex>
void PackSkinInfluences(const std::vector<SSkinInfluence>& influences, PaletteIndex&& paletteIndex,
                        uint32_t& weights, uint32_t& indices) {
  SSkinInfluence kept[kMaxSkinInfluences];
  uint32_t count = 0;
  float total = 0.0f;
  for (const SSkinInfluence& influence : influences) {
    SSkinInfluence in = influence;
    // NaN and negative weights count for nothing, nothing counts for more than all.
    if (!(in.weight > 0.0f)) in.weight = 0.0f;
    if (in.weight > 1.0f) in.weight = 1.0f;
    if (count < kMaxSkinInfluences) {
      kept[count++] = in;
      continue;
    }
    // Replace the weakest kept influence when this one is stronger.
    uint32_t weakest = 0;
    for (uint32_t k = 1; k < count; ++k)
      if (kept[k].weight < kept[weakest].weight) weakest = k;
    if (in.weight > kept[weakest].weight) kept[weakest] = in;
  }
  for (uint32_t k = 0; k < count; ++k) total += kept[k].weight;
  // Cut influences, or weights that add up past one, would otherwise leave the
  // vertex too light or wrap the byte sum.
  const bool renormalise = influences.size() > kMaxSkinInfluences || total > 1.0f;
  uint8_t w[4] = {0, 0, 0, 0}, b[4] = {0, 0, 0, 0};
  uint32_t sum = 0;
  for (uint32_t k = 0; k < count; ++k) {
    float weight = kept[k].weight;
    if (renormalise && total > 0.0f) weight /= total;
    const float scaled = weight * 255.0f;
    w[k] = static_cast<uint8_t>(scaled >= 255.0f ? 255 : static_cast<int>(scaled));
    b[k] = paletteIndex(kept[k].boneId);
    sum += w[k];
  }
  if (sum < 255) w[0] = static_cast<uint8_t>(w[0] + (255 - sum));
  weights = PackSkinChannels(w[0], w[1], w[2], w[3]);
  indices = PackSkinChannels(b[0], b[1], b[2], b[3]);
}

}  // namespace gfx
}  // namespace vd
