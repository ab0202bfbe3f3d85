#include "engine/render/buffers/SkinVertexBuffer.h"

#include <cal3d/bone.h>
#include <cal3d/coremesh.h>
#include <cal3d/coresubmesh.h>
#include <cal3d/skeleton.h>

#include <set>

#include "engine/core/Log.h"
#include "platform/fx/Effect.h"

namespace vd {
namespace gfx {

bool ReadSkinSource(CalCoreMesh* coreMesh, uint32_t skeletonBoneCount, const char* name,
                    SSkinSource& out) {
  out = SSkinSource();
  out.skeletonBoneCount = skeletonBoneCount;
  CalCoreSubmesh* submesh =
      coreMesh && coreMesh->getCoreSubmeshCount() > 0 ? coreMesh->getCoreSubmesh(0) : nullptr;
  if (!submesh) {
    utl::LogPrintf("Skinned mesh %s has no submesh\n", name ? name : "");
    return false;
  }
  const std::vector<CalCoreSubmesh::Vertex>& vertices = submesh->getVectorVertex();
  const auto& texCoords = submesh->getVectorVectorTextureCoordinate();
  const auto& tangents = submesh->getVectorVectorTangentSpace();
  out.hasTexCoords = !texCoords.empty() && texCoords[0].size() >= vertices.size();
  out.hasTangents =
      submesh->isTangentsEnabled(0) && !tangents.empty() && tangents[0].size() >= vertices.size();
  out.vertices.resize(vertices.size());
  for (size_t i = 0; i < vertices.size(); ++i) {
    const CalCoreSubmesh::Vertex& in = vertices[i];
    SSkinSourceVertex& v = out.vertices[i];
    v.position = Vec3(in.position.x, in.position.y, in.position.z);
    v.normal = Vec3(in.normal.x, in.normal.y, in.normal.z);
    if (out.hasTexCoords) v.uv = Vec2(texCoords[0][i].u, texCoords[0][i].v);
    if (out.hasTangents) {
      const CalCoreSubmesh::TangentSpace& t = tangents[0][i];
      v.tangent = Vec4(t.tangent.x, t.tangent.y, t.tangent.z, t.crossFactor);
    }
    v.influences.reserve(in.vectorInfluence.size());
    for (const CalCoreSubmesh::Influence& influence : in.vectorInfluence)
      v.influences.push_back({influence.boneId, influence.weight});
  }
  const std::vector<CalCoreSubmesh::Face>& faces = submesh->getVectorFace();
  out.indices.reserve(faces.size() * 3);
  for (const CalCoreSubmesh::Face& face : faces)
    for (int k = 0; k < 3; ++k) out.indices.push_back(static_cast<uint32_t>(face.vertexId[k]));
  return true;
}

std::vector<int32_t> BuildSkinPalette(const SSkinSource& source) {
  std::set<int32_t> used;
  for (const SSkinSourceVertex& vertex : source.vertices)
    for (const SSkinInfluence& influence : vertex.influences) used.insert(influence.boneId);
  return std::vector<int32_t>(used.begin(), used.end());
}

bool CSkinPalette::CheckSource(const SSkinSource& source, const char* name) {
  name = name ? name : "";
  const size_t triangles = source.indices.size() / 3;
  if (triangles == 0 || source.indices.size() % 3 != 0) {
    utl::LogPrintf("Skinned mesh %s refused: no whole triangle\n", name);
    return false;
  }
  if (triangles > kMaxSkinTriangles) {
    utl::LogPrintf("Skinned mesh %s refused: %zu triangles, at most %u\n", name, triangles,
                   unsigned(kMaxSkinTriangles));
    return false;
  }
  if (!source.hasTexCoords) {
    utl::LogPrintf("Skinned mesh %s refused: no texture coordinates\n", name);
    return false;
  }
  // Indices are 16-bit: a vertex past 65535 could not be addressed.
  if (source.vertices.size() > 65536) {
    utl::LogPrintf("Skinned mesh %s refused: %zu vertices, 16-bit indices address 65536\n", name,
                   source.vertices.size());
    return false;
  }
  for (uint32_t index : source.indices) {
    if (index >= source.vertices.size()) {
      utl::LogPrintf("Skinned mesh %s refused: vertex index %u past %zu vertices\n", name, index,
                     source.vertices.size());
      return false;
    }
  }
  std::vector<int32_t> palette = BuildSkinPalette(source);
  if (!palette.empty() &&
      (palette.front() < 0 || uint32_t(palette.back()) >= source.skeletonBoneCount)) {
    const int32_t bad = palette.front() < 0 ? palette.front() : palette.back();
    utl::LogPrintf("Skinned mesh %s refused: bone %d outside the skeleton's %u bones\n", name, bad,
                   unsigned(source.skeletonBoneCount));
    return false;
  }
  if (palette.size() > kMaxPaletteBones) {
    utl::LogPrintf("Skinned mesh %s refused: %zu bones, the palette holds %u\n", name,
                   palette.size(), unsigned(kMaxPaletteBones));
    return false;
  }
  m_palette = std::move(palette);
  return true;
}

uint32_t CSkinPalette::StageBones(CalSkeleton* skeleton, float* staging) const {
  const size_t boneCount = skeleton ? skeleton->getVectorBone().size() : 0;
  uint32_t written = 0;
  for (size_t k = 0; k < m_palette.size() && k < kMaxPaletteBones; ++k) {
    float* out = staging + kFloatsPerBone * k;
    const int32_t id = m_palette[k];
    CalBone* bone = id >= 0 && size_t(id) < boneCount ? skeleton->getBone(id) : nullptr;
    if (bone) {
      const CalMatrix& m = bone->getTransformMatrix();
      const CalVector& t = bone->getTranslationBoneSpace();
      const float values[kFloatsPerBone] = {m.dxdx, m.dydx, m.dzdx, m.dxdy, m.dydy, m.dzdy,
                                            m.dxdz, m.dydz, m.dzdz, t.x,    t.y,    t.z};
      std::copy(values, values + kFloatsPerBone, out);
    } else {
      const float identity[kFloatsPerBone] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
      std::copy(identity, identity + kFloatsPerBone, out);
    }
    written += kFloatsPerBone;
  }
  return written;
}

void CSkinPalette::SetBones(plat::fx::Effect* effect, CalSkeleton* skeleton) const {
  if (!effect) return;
  const plat::fx::Handle handle = effect->GetParameterByName("gBones");
  if (!handle) return;
  float staging[kMaxPaletteBones * kFloatsPerBone];
  const uint32_t count = StageBones(skeleton, staging);
  if (count) effect->SetFloatArray(handle, staging, count);
}

}  // namespace gfx
}  // namespace vd
