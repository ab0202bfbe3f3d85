#include "engine/animation/AnimationManager.h"

#include <cstdlib>
#include <vector>

#include <cal3d/coreanimation.h>
#include <cal3d/coremesh.h>
#include <cal3d/coremodel.h>
#include <cal3d/coreskeleton.h>
#include <cal3d/coresubmesh.h>
#include <cal3d/coretrack.h>
#include <cal3d/error.h>
#include <cal3d/loader.h>
#include <cal3d/mixer.h>
#include <cal3d/model.h>
#include <rapidxml/rapidxml.hpp>

#include "engine/animation/CalFileCheck.h"
#include "engine/animation/Mixer.h"
#include "engine/core/Log.h"
#include "engine/core/Utils.h"
#include "engine/core/XmlFile.h"
#include "platform/fs/FileSystem.h"

namespace vd {
namespace anm {

namespace {

const char* Attribute(const rapidxml::xml_node<>* node, const char* name) {
  const rapidxml::xml_attribute<>* a = node->first_attribute(name);
  return a ? a->value() : "";
}

// The library opens files itself, by exact name: resolve the letter case first.
// False (logged) when there is no such file, so that the library never sees it.
bool ResolveDataFile(const std::string& path, std::string& resolved, const char* what) {
  resolved = plat::fs::Resolve(path);
  if (plat::fs::Exists(resolved)) return true;
  utl::LogPrintf("Animation: %s file not found: %s\n", what, path.c_str());
  return false;
}

// The library's XML readers crash on malformed files: check them first.
bool Acceptable(const std::string& resolved, const std::string& path, ECalFileKind kind, int boneCount,
                const char* what) {
  if (!IsCalXmlFile(resolved)) return true;
  std::string error;
  if (CheckCalXmlFile(resolved, kind, boneCount, error)) return true;
  utl::LogPrintf("Animation: %s %s rejected: %s\n", what, path.c_str(), error.c_str());
  return false;
}

int BoneCount(CalCoreModel* core) {
  CalCoreSkeleton* skeleton = core ? core->getCoreSkeleton() : nullptr;
  return skeleton ? static_cast<int>(skeleton->getVectorCoreBone().size()) : 0;
}

void LogLibraryError(const char* what, const std::string& path) {
  utl::LogPrintf("Animation: cannot load %s %s: %s\n", what, path.c_str(),
                 CalError::getLastErrorDescription().c_str());
}

}  // namespace

// --- CAnimationTemplate --------------------------------------------------------

bool CAnimationTemplate::Create(const CStringHash& name, const std::string& skeletonPath) {
  Unload();
  m_file = skeletonPath;
  m_name = name;
  m_name.MakeOwned();
  m_coreModel = new CalCoreModel(name.c_str());
  std::string resolved;
  if (!ResolveDataFile(skeletonPath, resolved, "skeleton")) return false;
  if (!Acceptable(resolved, skeletonPath, ECalFileKind::kSkeleton, 0, "skeleton")) return false;
  if (!m_coreModel->loadCoreSkeleton(resolved)) {
    LogLibraryError("skeleton", skeletonPath);
    return false;
  }
  return true;
}

void CAnimationTemplate::Unload() {
  if (m_coreModel) {
    for (const auto& entry : m_animations) {
      // The library's core animation does not free its tracks: do it here, while
      // this template is its only holder.
      if (CalCoreAnimation* core = m_coreModel->getCoreAnimation(entry.second)) {
        for (CalCoreTrack* track : core->getListCoreTrack()) {
          track->destroy();
          delete track;
        }
        core->getListCoreTrack().clear();
      }
      m_coreModel->unloadCoreAnimation(entry.second);
    }
    for (const auto& entry : m_meshes) m_coreModel->unloadCoreMesh(entry.second.id);
  }
  m_animations.clear();
  m_meshes.clear();
  delete m_coreModel;
  m_coreModel = nullptr;
  m_name = CStringHash();
}

bool CAnimationTemplate::LoadAnimation(const CStringHash& name, const std::string& path) {
  if (m_animations.count(name.GetHash())) return true;
  if (!m_coreModel || !m_coreModel->getCoreSkeleton()) return false;
  std::string resolved;
  if (!ResolveDataFile(path, resolved, "animation")) return false;
  if (!Acceptable(resolved, path, ECalFileKind::kAnimation, BoneCount(m_coreModel), "animation")) return false;
  const int id = m_coreModel->loadCoreAnimation(resolved);
  CalCoreAnimation* core = id >= 0 ? m_coreModel->getCoreAnimation(id) : nullptr;
  if (!core) {
    LogLibraryError("animation", path);
    return false;
  }
  core->setName(name.c_str());
  m_animations[name.GetHash()] = id;
  return true;
}

bool CAnimationTemplate::LoadMesh(const CStringHash& name, const std::string& path, int meshTypeId,
                                  bool computeTangentSpace) {
  if (m_meshes.count(name.GetHash())) return true;
  if (!m_coreModel || !m_coreModel->getCoreSkeleton()) return false;
  std::string resolved;
  if (!ResolveDataFile(path, resolved, "mesh")) return false;
  if (!Acceptable(resolved, path, ECalFileKind::kMesh, BoneCount(m_coreModel), "mesh")) return false;
  const int id = m_coreModel->loadCoreMesh(resolved);
  CalCoreMesh* core = id >= 0 ? m_coreModel->getCoreMesh(id) : nullptr;
  if (!core) {
    LogLibraryError("mesh", path);
    return false;
  }
  // The loader takes no tangent flag: switch tangents on for the first texture
  // map of every submesh that has one.
  if (computeTangentSpace) {
    for (int i = 0; i < core->getCoreSubmeshCount(); ++i) {
      CalCoreSubmesh* submesh = core->getCoreSubmesh(i);
      if (submesh && submesh->getVectorVectorTextureCoordinate().size() > 0) submesh->enableTangents(0, true);
    }
  }
  SMesh& mesh = m_meshes[name.GetHash()];
  mesh.id = id;
  mesh.meshTypeId = meshTypeId;
  mesh.computeTangentSpace = computeTangentSpace;
  return true;
}

int CAnimationTemplate::GetAnimationId(const CStringHash& name) const {
  auto it = m_animations.find(name.GetHash());
  return it == m_animations.end() ? -1 : it->second;
}

int CAnimationTemplate::GetMeshId(const CStringHash& name) const {
  auto it = m_meshes.find(name.GetHash());
  return it == m_meshes.end() ? -1 : it->second.id;
}

const CAnimationTemplate::SMesh* CAnimationTemplate::FindMesh(const CStringHash& name) const {
  auto it = m_meshes.find(name.GetHash());
  return it == m_meshes.end() ? nullptr : &it->second;
}

// --- CAnimationManager ---------------------------------------------------------

CAnimationManager::CAnimationManager() {
  SetInstance(this);
  templates.ownsValues = 1;
  templates.resetValues = 1;
}

CAnimationManager::~CAnimationManager() {
  ClearInstances();
  templates.RemoveAll();
  ClearInstance(this);
}

void CAnimationManager::SetLoadingModeRotateX() { CalLoader::setLoadingMode(LOADER_ROTATE_X_AXIS); }

// <animationTemplates>
//   <animationTemplate id="player" file="humanoid.xsf">
//     <meshes><mesh file="humanoid.xmf" meshTypeId="0" computeTangentSpace="1"/></meshes>
//     <animations><animation id="idle" file="humanoid_idle.xaf"/></animations>
//   </animationTemplate>
// </animationTemplates>
// An id, mesh file or animation id that is already registered keeps its first data.
bool CAnimationManager::LoadTemplates(const char* xmlFile) {
  utl::CXmlFile file;
  switch (file.Load(xmlFile)) {
    case utl::CXmlFile::EResult::Missing:
      utl::LogPrintf("Animation: cannot read animation templates %s\n", xmlFile ? xmlFile : "");
      return false;
    case utl::CXmlFile::EResult::Malformed:
      utl::LogPrintf("Animation: %s is not valid XML: %s\n", xmlFile, file.Error().c_str());
      return false;
    case utl::CXmlFile::EResult::Ok:
      break;
  }
  rapidxml::xml_document<>& doc = file.Document();
  const rapidxml::xml_node<>* root = doc.first_node("animationTemplates");
  if (!root) return true;

  for (const rapidxml::xml_node<>* node = root->first_node("animationTemplate"); node;
       node = node->next_sibling("animationTemplate")) {
    const CStringHash id(Attribute(node, "id"));
    const std::string skeletonPath = std::string(kAnimFolder) + Attribute(node, "file");
    if (CAnimationTemplate* known = FindTemplate(id)) {
      // The main thread may be reading this template's tables.
      std::lock_guard<std::recursive_mutex> lock(m_lock);
      LoadParts(*known, node);
      continue;
    }
    // A new template is filled before it is registered, so that nobody waits for
    // its files.
    CAnimationTemplate* animationTemplate = new CAnimationTemplate();
    if (!animationTemplate->Create(id, skeletonPath)) {
      utl::LogPrintf("Animation: template %s not registered: its skeleton %s did not load\n", id.c_str(),
                     skeletonPath.c_str());
      delete animationTemplate;
      continue;
    }
    LoadParts(*animationTemplate, node);
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    templates.Add(id, animationTemplate);
  }
  return true;
}

void CAnimationManager::LoadParts(CAnimationTemplate& animationTemplate, const rapidxml::xml_node<>* node) {
  if (const rapidxml::xml_node<>* meshes = node->first_node("meshes")) {
    for (const rapidxml::xml_node<>* mesh = meshes->first_node("mesh"); mesh; mesh = mesh->next_sibling("mesh")) {
      const char* file = Attribute(mesh, "file");
      animationTemplate.LoadMesh(CStringHash(file), std::string(kAnimFolder) + file,
                                 std::atoi(Attribute(mesh, "meshTypeId")),
                                 Attribute(mesh, "computeTangentSpace")[0] == '1');
    }
  }
  if (const rapidxml::xml_node<>* animations = node->first_node("animations")) {
    for (const rapidxml::xml_node<>* animation = animations->first_node("animation"); animation;
         animation = animation->next_sibling("animation")) {
      animationTemplate.LoadAnimation(CStringHash(Attribute(animation, "id")),
                                      std::string(kAnimFolder) + Attribute(animation, "file"));
    }
  }
}

CAnimationTemplate* CAnimationManager::LoadTemplate(const CStringHash& id, const std::string& skeletonPath) {
  std::lock_guard<std::recursive_mutex> lock(m_lock);
  if (CAnimationTemplate* known = templates.Find(id)) return known;
  CAnimationTemplate* animationTemplate = new CAnimationTemplate();
  if (!animationTemplate->Create(id, skeletonPath)) {
    utl::LogPrintf("Animation: template %s not registered: its skeleton %s did not load\n", id.c_str(),
                   skeletonPath.c_str());
    delete animationTemplate;
    return nullptr;
  }
  return templates.Add(id, animationTemplate);
}

SAnimationInstance* CAnimationManager::CreateInstance(const CStringHash& instance, const CStringHash& templateId,
                                                      bool* created) {
  std::lock_guard<std::recursive_mutex> lock(m_lock);
  if (created) *created = false;
  auto known = m_instances.find(instance.GetHash());
  if (known != m_instances.end()) {
    utl::LogPrintf("Animation: instance %s exists already\n", instance.c_str());
    return &known->second;
  }
  CAnimationTemplate* animationTemplate = templates.Find(templateId);
  if (!animationTemplate || !animationTemplate->GetCoreModel()) {
    utl::LogPrintf("Animation: no template %s for instance %s\n", templateId.c_str(), instance.c_str());
    return nullptr;
  }
  SAnimationInstance record;
  record.model = new CalModel(animationTemplate->GetCoreModel());
  record.mixer = new CMixer(record.model);
  // The model owns our mixer from now on; it does not free the default mixer that
  // it made itself when it is replaced.
  CalAbstractMixer* defaultMixer = record.model->getAbstractMixer();
  record.model->setAbstractMixer(record.mixer);
  delete defaultMixer;
  record.animationTemplate = animationTemplate;
  if (created) *created = true;
  return &m_instances.emplace(instance.GetHash(), record).first->second;
}

void CAnimationManager::DestroyInstance(const CStringHash& instance) {
  std::lock_guard<std::recursive_mutex> lock(m_lock);
  auto it = m_instances.find(instance.GetHash());
  if (it == m_instances.end()) return;
  delete it->second.model;
  m_instances.erase(it);
}

bool CAnimationManager::AttachMesh(const CStringHash& instance, const CStringHash& mesh) {
  std::lock_guard<std::recursive_mutex> lock(m_lock);
  const SAnimationInstance* record = FindInstance(instance);
  if (!record) return false;
  const int id = record->animationTemplate->FindMeshId(mesh);
  if (id < 0) {
    utl::LogPrintf("Animation: template %s has no mesh %s\n", record->animationTemplate->GetName().c_str(),
                   mesh.c_str());
    return false;
  }
  return record->model->attachMesh(id);
}

const SAnimationInstance* CAnimationManager::FindInstance(const CStringHash& instance) const {
  std::lock_guard<std::recursive_mutex> lock(m_lock);
  auto it = m_instances.find(instance.GetHash());
  return it == m_instances.end() ? nullptr : &it->second;
}

CAnimationTemplate* CAnimationManager::FindTemplate(const CStringHash& id) const {
  std::lock_guard<std::recursive_mutex> lock(m_lock);
  return templates.Find(id);
}

size_t CAnimationManager::GetInstanceCount() const {
  std::lock_guard<std::recursive_mutex> lock(m_lock);
  return m_instances.size();
}

CalModel* CAnimationManager::GetModel(const CStringHash& instance) const {
  const SAnimationInstance* record = FindInstance(instance);
  return record ? record->model : nullptr;
}

CMixer* CAnimationManager::GetMixer(const CStringHash& instance) const {
  const SAnimationInstance* record = FindInstance(instance);
  return record ? record->mixer : nullptr;
}

int CAnimationManager::GetAnimationId(const CStringHash& instance, const CStringHash& animation) const {
  std::lock_guard<std::recursive_mutex> lock(m_lock);
  const SAnimationInstance* record = FindInstance(instance);
  return record ? record->animationTemplate->GetAnimationId(animation) : -1;
}

void CAnimationManager::ClearInstances() {
  std::lock_guard<std::recursive_mutex> lock(m_lock);
  for (auto& entry : m_instances) delete entry.second.model;
  m_instances.clear();
}

}  // namespace anm
}  // namespace vd
