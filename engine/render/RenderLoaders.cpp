// The render manager's single-resource loaders and the XML libraries that call
// them. Loaders run on the thread that asks; they read files without the render
// lock and take it only to look at and fill the tables, so that a commit on
// another thread never sees a table half-written.
#include <cmath>
#include <cstdlib>
#include <string>

#include "engine/core/Locks.h"
#include "engine/core/Log.h"
#include "engine/core/XmlFile.h"
#include "engine/render/RenderManager.h"
#include "engine/render/buffers/VertexBuffer.h"
#include "engine/render/buffers/SkinVertexBuffer.h"
#include "engine/render/buffers/VertexBufferDyn.h"

namespace vd {
namespace gfx {

uint32_t MaterialKey(int32_t id) { return ComputeHash(std::to_string(id).c_str()); }

namespace {

// Zone lists beyond this are taken as a damaged scene graph.
constexpr int kMaxGameZones = 4096;

const char* Attr(const rapidxml::xml_node<>* node, const char* name) {
  const rapidxml::xml_attribute<>* attribute = node ? node->first_attribute(name) : nullptr;
  return attribute ? attribute->value() : "";
}

// Loads `path`; logs and returns null when it is missing, empty or malformed.
rapidxml::xml_node<>* OpenRoot(utl::CXmlFile& xml, const char* path, const char* root) {
  if (!path) return nullptr;
  switch (xml.Load(path)) {
    case utl::CXmlFile::EResult::Missing:
      utl::LogPrintf("Render library %s is missing or empty\n", path);
      return nullptr;
    case utl::CXmlFile::EResult::Malformed:
      utl::LogPrintf("Render library %s is malformed: %s\n", path, xml.Error().c_str());
      return nullptr;
    default:
      break;
  }
  rapidxml::xml_node<>* node = xml.Document().first_node(root);
  if (!node) utl::LogPrintf("Render library %s has no %s element\n", path, root);
  return node;
}

}  // namespace

// --- Single resources ---------------------------------------------------------------

void CRenderManager::LoadTexture(const CStringHash& id, const char* folder, const char* file,
                                 uint32_t kind) {
  if (id.IsNoName() || !file || !file[0]) return;
  {
    sys::CScopedLock lock(sys::kLockRender);
    if (textures.Find(id) || queuedTextures.Find(id)) return;
  }
  std::string path = kTextureFolder;
  if (kind == kTextureVolume) path += "3DTextures/";
  if (kind == kTextureCube) path += "cubeTextures/";
  if (folder && folder[0]) path += std::string(folder) + "/";
  path += file;
  auto* texture = new CTexture();
  texture->Load(id, path.c_str(), kind);
  if (!texture->fileData) utl::LogPrintf("Texture file %s could not be read\n", path.c_str());
  {
    sys::CScopedLock lock(sys::kLockRender);
    // Another thread may have loaded the same name meanwhile: the first one stays.
    if (textures.Find(id) || queuedTextures.Find(id)) {
      delete texture;
      return;
    }
    queuedTextures.Add(id, texture);
  }
  QueueTexture(texture);
}

bool CRenderManager::LoadMaterial(int32_t id, const SMaterialDesc& desc) {
  auto load = [&](const SMaterialSlot& slot, const char* folder) {
    LoadTexture(CStringHash(slot.id.c_str()), folder, slot.file.c_str(),
                static_cast<uint32_t>(desc.kind));
  };
  load(desc.lightmap, "lightmaps");
  load(desc.sixth, nullptr);
  const uint32_t key = MaterialKey(id);
  {
    sys::CScopedLock lock(sys::kLockRender);
    if (materials.Find(key) || queuedMaterials.Find(key)) return true;
  }
  load(desc.diffuse, nullptr);
  load(desc.second, nullptr);
  load(desc.specular, nullptr);
  load(desc.normal, nullptr);
  auto* record = new SMaterial();
  SetMaterialTextureNames(*record, id, desc.diffuse.id.c_str(), desc.second.id.c_str(),
                          desc.specular.id.c_str(), desc.normal.id.c_str());
  sys::CScopedLock lock(sys::kLockRender);
  if (materials.Find(key)) {
    delete record;
    return true;
  }
  queuedMaterials.Add(key, record);
  return true;
}

bool CRenderManager::LoadShader(const CStringHash& fileName, const CStringHash& key) {
  CShader* shader = nullptr;
  {
    sys::CScopedLock lock(sys::kLockRender);
    if (shaders.Find(key) || queuedShaders.Find(key)) return true;
    shader = new CShader();
    shader->Init(key, std::string(kShaderFolder) + fileName.c_str());
    queuedShaders.Add(key, shader);
  }
  QueueShader(shader);
  return true;
}

void CRenderManager::LoadMesh(const CStringHash& name) {
  if (name.IsNoName()) return;
  {
    sys::CScopedLock lock(sys::kLockRender);
    if (meshes.Find(name) || queuedMeshes.Find(name)) return;
  }
  const std::string path = std::string(kMeshFolder) + name.c_str();
  // Every count, index and subset range is checked against the file; a refused
  // file is logged there, naming it, and nothing is stored.
  std::unique_ptr<IVertexBuffer> buffer = LoadMeshFile(path.c_str());
  if (!buffer) return;
  IVertexBuffer* mesh = buffer.release();
  {
    sys::CScopedLock lock(sys::kLockRender);
    if (meshes.Find(name) || queuedMeshes.Find(name)) {
      delete mesh;
      return;
    }
    queuedMeshes.Add(name, mesh);
  }
  QueueMesh(mesh);
}

bool CRenderManager::CreateSkinnedMesh(const CStringHash& name, CalCoreMesh* coreMesh,
                                       int meshTypeId, uint32_t skeletonBoneCount) {
  {
    sys::CScopedLock lock(sys::kLockRender);
    if (meshes.Find(name) || queuedMeshes.Find(name)) return true;
  }
  std::unique_ptr<IVertexBuffer> buffer;
  if (meshTypeId == kVtxTexturedNormSkin) {
    auto* skin = new CSkinVertexBuffer<TEXTURED_NORM_SKIN_VERTEX>();
    buffer.reset(skin);
    if (!skin->BuildFromSubmesh(coreMesh, skeletonBoneCount, name.c_str())) return false;
  } else if (meshTypeId == kVtxTexturedNormTangentSkin) {
    auto* skin = new CSkinVertexBuffer<TEXTURED_NORM_TANGENT_SKIN_VERTEX>();
    buffer.reset(skin);
    if (!skin->BuildFromSubmesh(coreMesh, skeletonBoneCount, name.c_str())) return false;
  } else {
    utl::LogPrintf("Skinned mesh %s has vertex type %d, not a skinned one\n", name.c_str(),
                   meshTypeId);
    return false;
  }
  return AddMesh(name, buffer.release());
}

bool CRenderManager::AddMesh(const CStringHash& name, IVertexBuffer* buffer) {
  if (!buffer) return false;
  {
    sys::CScopedLock lock(sys::kLockRender);
    if (meshes.Find(name) || queuedMeshes.Find(name)) {
      delete buffer;
      return false;
    }
    queuedMeshes.Add(name, buffer);
  }
  QueueMesh(buffer);
  return true;
}

bool CRenderManager::CreateDynamicMesh(const CStringHash& name, uint32_t vertexCount) {
  sys::CScopedLock lock(sys::kLockRender);
  if (meshes.Find(name) || queuedMeshes.Find(name)) return true;
  // A dynamic buffer makes its device buffer itself when it is filled: no request.
  auto* buffer = new CVertexBufferDyn<COLORED_TEXTURED_VERTEX>();
  buffer->Init(vertexCount);
  queuedMeshes.Add(name, buffer);
  return true;
}

IVertexBuffer* CRenderManager::FindMesh(const CStringHash& name) const {
  {
    sys::CScopedLock lock(sys::kLockRender);
    if (IVertexBuffer* mesh = meshes.Find(name)) return mesh;
    if (IVertexBuffer* mesh = queuedMeshes.Find(name)) return mesh;
  }
  utl::LogPrintf("Trying to render a mesh that has not been loaded: %s\n", name.c_str());
  return nullptr;
}

const SMaterial* CRenderManager::FindMaterial(int32_t id) const {
  sys::CScopedLock lock(sys::kLockRender);
  const uint32_t key = MaterialKey(id);
  if (const SMaterial* material = materials.Find(key)) return material;
  return queuedMaterials.Find(key);
}

const CTexture* CRenderManager::FindTexture(const CStringHash& name) const {
  sys::CScopedLock lock(sys::kLockRender);
  if (const CTexture* texture = textures.Find(name)) return texture;
  return queuedTextures.Find(name);
}

CShader* CRenderManager::FindShader(const CStringHash& name) const {
  sys::CScopedLock lock(sys::kLockRender);
  if (CShader* shader = shaders.Find(name)) return shader;
  return queuedShaders.Find(name);
}

size_t CRenderManager::GetMeshCount() const {
  sys::CScopedLock lock(sys::kLockRender);
  return meshes.Size() + queuedMeshes.Size();
}

size_t CRenderManager::GetMaterialCount() const {
  sys::CScopedLock lock(sys::kLockRender);
  return materials.Size() + queuedMaterials.Size();
}

size_t CRenderManager::GetTextureCount() const {
  sys::CScopedLock lock(sys::kLockRender);
  return textures.Size() + queuedTextures.Size();
}

// --- XML libraries ---------------------------------------------------------------------

bool CRenderManager::LoadTextures(const char* file) {
  utl::CXmlFile xml;
  rapidxml::xml_node<>* root = OpenRoot(xml, file, "textures");
  if (!root) return false;
  uint32_t kind = kTexture2D;
  for (rapidxml::xml_node<>* node = root->first_node("texture"); node;
       node = node->next_sibling("texture")) {
    const uint32_t type = ComputeHash(Attr(node, "type"));
    if (type == ComputeHash("2d"))
      kind = kTexture2D;
    else if (type == ComputeHash("3d"))
      kind = kTextureVolume;
    else if (type == ComputeHash("cube"))
      kind = kTextureCube;
    LoadTexture(CStringHash(Attr(node, "id")), nullptr, Attr(node, "file"), kind);
  }
  return true;
}

bool CRenderManager::LoadMaterials(const char* file) {
  utl::CXmlFile xml;
  rapidxml::xml_node<>* root = OpenRoot(xml, file, "materials");
  if (!root) return false;
  const uint32_t kTop = ComputeHash("topdiffuse"), kSpecular = ComputeHash("specular"),
                 kNormal = ComputeHash("normal"), kLightmap = ComputeHash("lightmap");
  for (rapidxml::xml_node<>* node = root->first_node("material"); node;
       node = node->next_sibling("material")) {
    SMaterialDesc desc;
    for (rapidxml::xml_node<>* key = node->first_node("key"); key; key = key->next_sibling("key")) {
      const uint32_t name = ComputeHash(Attr(key, "name"));
      SMaterialSlot* slot = name == kTop        ? &desc.diffuse
                            : name == kSpecular ? &desc.specular
                            : name == kNormal   ? &desc.normal
                            : name == kLightmap ? &desc.lightmap
                                                : nullptr;
      if (!slot) continue;
      slot->id = Attr(key, "id");
      slot->file = Attr(key, "file");
    }
    LoadMaterial(std::atoi(Attr(node, "id")), desc);
  }
  return true;
}

bool CRenderManager::LoadShaders(const char* file) {
  utl::CXmlFile xml;
  rapidxml::xml_node<>* root = OpenRoot(xml, file, "shaders");
  if (!root) return false;
  for (rapidxml::xml_node<>* node = root->first_node("shader"); node;
       node = node->next_sibling("shader")) {
    const char* fileName = Attr(node, "fileName");
    const std::string withExtension = std::string(fileName) + ".fxo";
    LoadShader(CStringHash(withExtension.c_str()), CStringHash(fileName));
  }
  return true;
}

bool CRenderManager::LoadSceneGraph(const char* file) {
  utl::CXmlFile xml;
  rapidxml::xml_node<>* root = OpenRoot(xml, file, "visibility_geometry_zone_groups");
  if (!root) return false;
  const int count = std::atoi(Attr(root, "count"));
  if (count < 0 || count > kMaxGameZones) {
    utl::LogPrintf("Scene graph %s: zone count %d refused\n", file, count);
    return false;
  }
  CZoneGroupLists lists(static_cast<size_t>(count));
  for (rapidxml::xml_node<>* zone = root->first_node("game_zone"); zone;
       zone = zone->next_sibling("game_zone")) {
    const int index = std::atoi(Attr(zone, "lua_id"));
    if (index < 0 || index >= count) {
      utl::LogPrintf("Scene graph %s: game_zone lua_id %d outside 0..%d skipped\n", file, index,
                     count - 1);
      continue;
    }
    for (rapidxml::xml_node<>* group = zone->first_node("geometry_zone_group_visible"); group;
         group = group->next_sibling("geometry_zone_group_visible"))
      lists[static_cast<size_t>(index)].push_back(CStringHash(Attr(group, "id")).GetHash());
  }
  sys::CScopedLock lock(sys::kLockRender);
  pendingZoneGroups = std::move(lists);
  return true;
}

bool CRenderManager::LoadDoFParams(const char* file) {
  utl::CXmlFile xml;
  rapidxml::xml_node<>* root = OpenRoot(xml, file, "dof_params");
  if (!root) return false;
  for (rapidxml::xml_node<>* key = root->first_node("key"); key; key = key->next_sibling("key")) {
    const uint32_t id = ComputeHash(Attr(key, "id"));
    const float value = static_cast<float>(std::atof(Attr(key, "value")));
    // A value beyond the float range would reach the depth of field as infinity.
    if (!std::isfinite(value)) {
      utl::LogPrintf("Depth of field %s: key %s value %s refused\n", file, Attr(key, "id"),
                     Attr(key, "value"));
      continue;
    }
    if (id == ComputeHash("dof_focal_plane_dist"))
      dofFocalPlane = value;
    else if (id == ComputeHash("dof_near_max_blur_plane_dist"))
      dofNearMaxBlurPlane = value;
    else if (id == ComputeHash("dof_far_max_blur_plane_dist"))
      dofFarMaxBlurPlane = value;
    else if (id == ComputeHash("dof_max_blur"))
      dofMaxBlur = value;
  }
  return true;
}

// --- Settings --------------------------------------------------------------------------

void CRenderManager::ApplyQualityPreset(int quality, bool ssaoOn, bool glowOn, bool dofOn,
                                        bool decalsOn) {
  depthMap.Set(true);
  shadowParameters.Set(true);
  sunShadows.Set(true);
  filmLookExtras.Set(true);
  finalBlur.Set(false);
  shadows.Set(quality >= 1);
  pcf.Set(quality >= 2);
  screenShadows.Set(quality >= 4);
  halfResolutionShadows.Set(quality == 1 || quality == 2);
  // The commit that takes a new size asks the frame to rebuild the targets of it.
  if (quality == 4 || quality == 5) screenShadowSize.Set(quality == 4 ? 256 : 500);
  ssao.Set(ssaoOn);
  glow.Set(glowOn);
  depthOfField.Set(dofOn);
  decals.Set(decalsOn);
}

void CRenderManager::ClearLevelSettings() {
  for (SPair<bool>* flag : {&depthMap, &shadowParameters, &sunShadows, &finalBlur, &shadows, &pcf,
                            &screenShadows, &ssao, &glow, &depthOfField, &decals})
    flag->Set(false);
  filmLookExtras.Set(false);
  halfResolutionShadows.Set(false);
  cullingCamera.Set(nullptr);
  viewCamera.Set(nullptr);
  sys::CScopedLock lock(sys::kLockRender);
  zoneGroupClearRequest = true;
}

}  // namespace gfx
}  // namespace vd
