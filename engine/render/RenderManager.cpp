#include "engine/render/RenderManager.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/core/Locks.h"
#include "engine/core/Log.h"
#include "engine/render/buffers/MeshFile.h"
#include "engine/render/device/GraphicsManager.h"
#include "platform/fs/FileSystem.h"

namespace vd {
namespace gfx {

namespace {

// Moves every record of `from` into `to` (names are never in both).
template <class T>
void MoveInto(utl::CStringHashMap<T>& from, utl::CStringHashMap<T>& to) {
  std::vector<T*> values;
  for (const auto& entry : from) values.push_back(entry.second);
  from.ownsValues = 0;
  from.RemoveAll();  // forgets the records without deleting them
  for (T* value : values) to.Add(value->name, value);
}

}  // namespace

// --- CShader -------------------------------------------------------------------

int CShader::KindSize(int kind) {
  switch (kind) {
    case kBool:
    case kInt:
    case kFloat:
      return 4;
    case kFloat2:
      return 8;
    case kFloat3:
      return 12;
    case kFloat4:
      return 16;
    case kMatrix:
      return 64;
    default:
      return 0;
  }
}

bool CShader::SetParameter(const CShader* source, const CStringHash& name, int kind, const void* value) {
  const int size = KindSize(kind);
  if (size == 0 || !value) {
    utl::LogPrintf("Shader parameter %s: value kind %d is not known\n", name.c_str(), kind);
    return false;
  }
  SParameter& parameter = m_values[name.GetHash()];
  parameter.kind = kind;
  parameter.bytes.assign(static_cast<const uint8_t*>(value), static_cast<const uint8_t*>(value) + size);
  parameter.handle = -1;
  if (source) {
    for (size_t i = 0; i < source->parameterNames.size(); ++i) {
      if (source->parameterNames[i] == name) parameter.handle = static_cast<int>(i);
    }
  }
  return true;
}

void CShader::RefreshParameterHandles(const CShader& source) {
  for (auto& entry : m_values) {
    entry.second.handle = -1;
    for (size_t i = 0; i < source.parameterNames.size(); ++i) {
      if (source.parameterNames[i].GetHash() == entry.first) entry.second.handle = static_cast<int>(i);
    }
  }
}

const CShader::SParameter* CShader::FindParameter(const CStringHash& name) const {
  auto it = m_values.find(name.GetHash());
  return it == m_values.end() ? nullptr : &it->second;
}

// --- CRenderManager --------------------------------------------------------------

CRenderManager::CRenderManager() { s_instance = this; }

CRenderManager::~CRenderManager() {
  if (s_instance == this) s_instance = nullptr;
}

void CRenderManager::RenderFrame(CRenderTarget*, float, float) {
  if (m_graphics && m_graphics->device) {
    plat::gpu::Device* device = m_graphics->device;
    device->Clear(0, nullptr, plat::gpu::kClearTarget | plat::gpu::kClearZBuffer, 0xFF000000u, 1.0f, 0);
    if (device->BeginScene() == plat::gpu::kOk) device->EndScene();
    device->Present();
  }
  {
    // Entries registered since the last commit wait for the next one; enabling and
    // disabling (done while this thread waits) count at once.
    sys::CScopedLock lock(sys::kLockRender);
    for (int list = 0; list < 2; ++list) {
      for (auto& entry : m_entries) {
        const SEntry& e = entry.second;
        if (e.committed && e.inDrawnLists && e.list == list && e.data && e.data->renderer)
          e.data->renderer->OnDrawn();
      }
    }
  }
  if (onPassFinished) onPassFinished();
}

void CRenderManager::CommitRenderData() {
  sys::CScopedLock lock(sys::kLockRender);
  for (auto& entry : m_entries) {
    SEntry& e = entry.second;
    if (e.pendingList >= 0) {
      e.list = e.pendingList;
      e.pendingList = -1;
    }
    e.committed = true;
  }
  if (commitRequested) {
    MoveInto(m_queuedMeshes, m_meshes);
    MoveInto(m_queuedMaterials, m_materials);
    MoveInto(m_queuedTextures, m_textures);
    MoveInto(queuedShaders, shaders);
  }
  commitRequested = 0;
}

// --- Resources ---------------------------------------------------------------------

void CRenderManager::LoadMesh(const CStringHash& name) {
  if (name.IsNoName()) return;
  sys::CScopedLock lock(sys::kLockRender);
  if (m_meshes.Find(name) || m_queuedMeshes.Find(name)) return;
  auto* mesh = new SMesh();
  mesh->name = name;
  mesh->name.MakeOwned();
  mesh->path = std::string(kMeshFolder) + name.c_str();

  FILE* file = plat::fs::Open(mesh->path, "rb");
  if (!file) {
    utl::LogPrintf("Mesh file %s was not found\n", mesh->path.c_str());
  } else {
    SMeshHeader header;
    if (std::fread(header.bytes, 1, SMeshHeader::kSize, file) != SMeshHeader::kSize) {
      utl::LogPrintf("Mesh file %s is too short for its header\n", mesh->path.c_str());
    } else if (header.SubsetCount() < 0 || header.SubsetCount() > kMaxSubsets) {
      utl::LogPrintf("Mesh file %s declares %d subsets\n", mesh->path.c_str(), header.SubsetCount());
    } else {
      mesh->subsetCount = header.SubsetCount();
    }
    std::fclose(file);
  }
  m_queuedMeshes.Add(mesh->name, mesh);
}

void CRenderManager::LoadMaterial(const CStringHash& name, const SMaterialDesc& desc) {
  if (name.IsNoName()) return;
  sys::CScopedLock lock(sys::kLockRender);
  if (m_materials.Find(name) || m_queuedMaterials.Find(name)) return;
  auto* material = new SMaterial();
  material->name = name;
  material->name.MakeOwned();
  material->desc = desc;
  m_queuedMaterials.Add(material->name, material);
}

void CRenderManager::LoadTexture(const char* folder, const char* file, int type, const CStringHash& name) {
  if (name.IsNoName()) return;
  sys::CScopedLock lock(sys::kLockRender);
  if (m_textures.Find(name) || m_queuedTextures.Find(name)) return;
  auto* texture = new STexture();
  texture->name = name;
  texture->name.MakeOwned();
  texture->folder = folder ? folder : "";
  texture->file = file ? file : "";
  texture->type = type;
  m_queuedTextures.Add(texture->name, texture);
}

const SMesh* CRenderManager::FindMesh(const CStringHash& name) const {
  sys::CScopedLock lock(sys::kLockRender);
  if (const SMesh* mesh = m_meshes.Find(name)) return mesh;
  return m_queuedMeshes.Find(name);
}

const SMaterial* CRenderManager::FindMaterial(const CStringHash& name) const {
  sys::CScopedLock lock(sys::kLockRender);
  if (const SMaterial* material = m_materials.Find(name)) return material;
  return m_queuedMaterials.Find(name);
}

const STexture* CRenderManager::FindTexture(const CStringHash& name) const {
  sys::CScopedLock lock(sys::kLockRender);
  if (const STexture* texture = m_textures.Find(name)) return texture;
  return m_queuedTextures.Find(name);
}

CShader* CRenderManager::FindShader(const CStringHash& name) const {
  sys::CScopedLock lock(sys::kLockRender);
  if (CShader* shader = shaders.Find(name)) return shader;
  return queuedShaders.Find(name);
}

size_t CRenderManager::GetMeshCount() const {
  sys::CScopedLock lock(sys::kLockRender);
  return m_meshes.Size() + m_queuedMeshes.Size();
}

size_t CRenderManager::GetMaterialCount() const {
  sys::CScopedLock lock(sys::kLockRender);
  return m_materials.Size() + m_queuedMaterials.Size();
}

size_t CRenderManager::GetTextureCount() const {
  sys::CScopedLock lock(sys::kLockRender);
  return m_textures.Size() + m_queuedTextures.Size();
}

// --- Renderers -----------------------------------------------------------------------

int CRenderManager::EntryCount(const SRenderData& data, const SMesh* mesh) {
  switch (data.renderType) {
    case kRenderTypeParticles:
    case kRenderTypeHud:
    case kRenderTypeMenu:
    case kRenderTypeBackground:
      return 1;
    default:
      break;
  }
  if (!data.meshName || data.meshName->IsNoName()) return 0;
  return mesh && mesh->subsetCount > 0 ? mesh->subsetCount : 1;
}

int CRenderManager::AddRenderer(SRenderData& data, std::vector<SRenderItem*>& items) {
  sys::CScopedLock lock(sys::kLockRender);
  if (data.handle != 0) {
    auto it = m_entries.find(data.handle);
    if (it != m_entries.end()) return static_cast<int>(it->second.items.size());
    data.handle = 0;
  }
  const int count = EntryCount(data, data.mesh);
  items.clear();
  if (count <= 0) return 0;

  const int handle = m_nextHandle++;
  SEntry& entry = m_entries[handle];
  entry.data = &data;
  for (int subset = 0; subset < count; ++subset) {
    auto item = std::make_unique<SRenderItem>();
    item->subset = subset;
    item->currentMaterial = data.currentMaterial;
    item->baseMaterial = data.baseMaterial;
    items.push_back(item.get());
    entry.items.push_back(std::move(item));
  }
  data.handle = handle;
  return count;
}

void CRenderManager::RemoveRenderer(SRenderData& data, std::vector<SRenderItem*>& items) {
  sys::CScopedLock lock(sys::kLockRender);
  items.clear();
  if (data.handle == 0) return;
  m_entries.erase(data.handle);
  data.handle = 0;
}

void CRenderManager::EnableRenderer(const SRenderData& data, const std::vector<SRenderItem*>&) {
  sys::CScopedLock lock(sys::kLockRender);
  auto it = m_entries.find(data.handle);
  if (it != m_entries.end()) it->second.inDrawnLists = true;
}

void CRenderManager::DisableRenderer(const SRenderData& data, const std::vector<SRenderItem*>&) {
  sys::CScopedLock lock(sys::kLockRender);
  auto it = m_entries.find(data.handle);
  if (it != m_entries.end()) it->second.inDrawnLists = false;
}

void CRenderManager::QueueMove(int handle, int list) {
  sys::CScopedLock lock(sys::kLockRender);
  auto it = m_entries.find(handle);
  if (it != m_entries.end()) it->second.pendingList = list;
}

size_t CRenderManager::GetRendererCount() const {
  sys::CScopedLock lock(sys::kLockRender);
  return m_entries.size();
}

bool CRenderManager::IsRegistered(int handle) const {
  sys::CScopedLock lock(sys::kLockRender);
  return m_entries.count(handle) != 0;
}

bool CRenderManager::IsInDrawnLists(int handle) const {
  sys::CScopedLock lock(sys::kLockRender);
  auto it = m_entries.find(handle);
  return it != m_entries.end() && it->second.inDrawnLists;
}

size_t CRenderManager::GetCommittedDrawCount() const {
  sys::CScopedLock lock(sys::kLockRender);
  size_t count = 0;
  for (const auto& entry : m_entries) count += entry.second.committed && entry.second.inDrawnLists ? 1 : 0;
  return count;
}

int CRenderManager::GetRenderList(int handle) const {
  sys::CScopedLock lock(sys::kLockRender);
  auto it = m_entries.find(handle);
  return it == m_entries.end() ? -1 : it->second.list;
}

}  // namespace gfx
}  // namespace vd
