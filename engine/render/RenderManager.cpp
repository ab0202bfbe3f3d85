#include "engine/render/RenderManager.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <unordered_map>

#include "engine/core/Locks.h"
#include "engine/core/Log.h"
#include "engine/render/buffers/VertexBuffer.h"
#include "engine/render/buffers/VertexBufferDyn.h"
#include "engine/render/device/GraphicsManager.h"
#include "platform/fx/Effect.h"

namespace vd {
namespace gfx {

// --- Life ------------------------------------------------------------------------

CRenderManager::CRenderManager() { SetInstance(this); }

CRenderManager::~CRenderManager() {
  Shutdown();
  for (CRenderTarget& target : renderTargets) target.Release();
  m_sceneSpare.Release();
  ClearInstance(this);
}

bool CRenderManager::Init(CGraphicsManager* graphics) {
  Shutdown();
  m_graphics = graphics;
  m_renderThread = std::this_thread::get_id();
  for (auto* table : {&shaders, &queuedShaders}) {
    table->RemoveAll();
    table->ownsValues = table->resetValues = 1;
  }
  for (auto* table : {&meshes, &queuedMeshes}) {
    table->RemoveAll();
    table->ownsValues = table->resetValues = 1;
  }
  for (auto* table : {&materials, &queuedMaterials}) {
    table->RemoveAll();
    table->ownsValues = table->resetValues = 1;
  }
  for (auto* table : {&textures, &queuedTextures}) {
    table->RemoveAll();
    table->ownsValues = table->resetValues = 1;
  }
  if (!m_queueEvent) m_queueEvent.reset(new plat::Event(false, true, "QueueGfxResources"));
  if (!m_commitEvent) m_commitEvent.reset(new plat::Event(false, false, "RenderDataCommit"));
  m_queueEvent->Set();
  m_commitEvent->Reset();
  SetRecreationQueue(
      [](IVertexBuffer* buffer, void* self) {
        static_cast<CRenderManager*>(self)->QueueRecreation(buffer);
      },
      this);
  return true;
}

void CRenderManager::Shutdown() {
  sys::CScopedLock lock(sys::kLockRender);
  ClearRecreationQueue(this);
  m_graphics = nullptr;
  for (int i = 0; i < kListCount; ++i) {
    m_drawn[i].clear();
    m_pending[i].clear();
  }
  m_moveToParticles.clear();
  m_moveToMeshes.clear();
  m_listMoves = false;
  m_registrations.clear();
  ClearZoneGroups();
  m_background = false;
  // A loader still waiting for a drain must not wait for a render thread that
  // has gone.
  if (m_queueEvent) m_queueEvent->Set();
  // Nor a main thread waiting for a commit; the events live until destruction so
  // that no waiter is left holding a deleted one.
  if (m_commitEvent) m_commitEvent->Set();
  m_textureRing.Clear();
  m_shaderRing.Clear();
  m_meshRing.Clear();
  m_pushCounts[0] = m_pushCounts[1] = m_pushCounts[2] = 0;
  m_textureRequests.clear();
  m_shaderRequests.clear();
  m_meshRequests.clear();
  m_pendingRecreations.clear();
  shaders.RemoveAll();
  meshes.RemoveAll();
  materials.RemoveAll();
  textures.RemoveAll();
  queuedShaders.RemoveAll();
  queuedMeshes.RemoveAll();
  queuedMaterials.RemoveAll();
  queuedTextures.RemoveAll();
  cullingCamera.render = nullptr;
  viewCamera.render = nullptr;
  renderTargets[0].Release();
  m_sceneSpare.Release();
}

void CRenderManager::ClearZoneGroups() {
  zoneGroupClearRequest = false;
  zoneGroups.clear();
  pendingZoneGroups.clear();
  gameZone = {0, 0};
}

void CRenderManager::OnLostDevice() {
  sys::CScopedLock lock(sys::kLockRender);
  for (auto* table : {&shaders, &queuedShaders})
    for (const auto& entry : *table)
      if (entry.second) entry.second->OnLostDevice();
  for (auto* table : {&meshes, &queuedMeshes})
    for (const auto& entry : *table)
      if (entry.second) entry.second->OnLostDevice();
  for (CRenderTarget& target : renderTargets) target.OnLostDevice();
  m_sceneSpare.OnLostDevice();
}

void CRenderManager::OnResetDevice() {
  sys::CScopedLock lock(sys::kLockRender);
  for (auto* table : {&shaders, &queuedShaders})
    for (const auto& entry : *table)
      if (entry.second) entry.second->OnResetDevice();
  for (auto* table : {&meshes, &queuedMeshes})
    for (const auto& entry : *table)
      if (entry.second) entry.second->OnResetDevice();
  for (CRenderTarget& target : renderTargets) target.OnResetDevice();
  m_sceneSpare.OnResetDevice();
}

// --- Renderers -----------------------------------------------------------------------

int CRenderManager::ListKind(int renderType, int layer) {
  switch (renderType) {
    case kRenderTypeHud:
      return kListHud;
    case kRenderTypeBackground:
      return kListBackground;
    case kRenderTypeMenu:
      return kListMenu;
    case kRenderTypeWater:
      return kListWater;
    case kRenderTypeParticles:
      return kListParticle;
    default:
      return layer == kLayerFrontScene ? kListParticle : kListMesh;
  }
}

int CRenderManager::AddRenderer(SRenderData& data, std::vector<SRenderItem*>& items) {
  sys::CScopedLock lock(sys::kLockRender);
  if (data.handle != 0) {
    auto it = m_registrations.find(data.handle);
    if (it != m_registrations.end()) {
      items = it->second.items;
      return static_cast<int>(items.size());
    }
    data.handle = 0;
  }
  items.clear();
  int count = 0;
  int list = kListMesh;
  switch (data.renderType) {
    case kRenderTypeStatic:
    case kRenderTypeDynamic: {
      // One entry per subset; a mesh without subset records (or one that comes
      // later, as dynamic meshes do) is drawn whole by one entry.
      const bool named = data.meshName && !data.meshName->IsNoName();
      if (!named) break;
      const uint32_t subsets = data.mesh ? data.mesh->GetSubsetCount() : 0;
      count = subsets > 0 ? static_cast<int>(subsets) : 1;
      list = data.layer == kLayerFrontScene ? kListParticle : kListMesh;
      break;
    }
    case kRenderTypeAnimation:
      count = 1;
      list = kListMesh;
      break;
    case kRenderTypeParticles:
      count = 1;
      list = kListParticle;
      break;
    case kRenderTypeWater:
      count = 1;
      list = kListWater;
      break;
    case kRenderTypeBackground:
    case kRenderTypeHud:
    case kRenderTypeMenu:
      count = data.screenItemCount > 0 ? data.screenItemCount : 1;
      list = ListKind(data.renderType, data.layer);
      break;
    default:
      break;
  }
  if (count <= 0) return 0;
  const bool subsetEntries =
      data.renderType == kRenderTypeStatic || data.renderType == kRenderTypeDynamic;
  const bool wholeMesh = subsetEntries && !(data.mesh && data.mesh->GetSubsetCount() > 0);
  CRenderList& target = m_pending[list];
  for (int i = 0; i < count; ++i) {
    SRenderItem& item = target.emplace_back();
    item.subset = subsetEntries ? (wholeMesh ? -1 : i) : 0;
    item.screenItem = subsetEntries ? 0 : i;
    item.currentMaterial = data.currentMaterial;
    item.baseMaterial = data.baseMaterial;
    item.renderType = data.renderType;
    item.layer = data.layer;
    item.effect = data.shaderName ? data.shaderName->GetHash() : kNoNameHash;
    item.technique = data.techniqueName ? data.techniqueName->GetHash() : kNoNameHash;
    item.mesh = data.meshName ? data.meshName->GetHash() : kNoNameHash;
    item.lightmap = data.lightmapName ? data.lightmapName->GetHash() : kNoNameHash;
    item.shadowCaster = data.shadowCaster;
    item.position = data.ownerPosition;
    item.data = &data;
    items.push_back(&item);
  }
  data.walk = SRenderData::SWalk();
  data.walk.entries = count;
  const int handle = m_nextHandle++;
  m_registrations[handle] = SRegistration{&data, items};
  data.handle = handle;
  return count;
}

bool CRenderManager::EraseEntry(const SRenderItem* item) {
  const int kind = ListKind(item->renderType, item->layer);
  auto eraseFrom = [item](CRenderList& list) {
    for (auto it = list.begin(); it != list.end(); ++it) {
      if (&*it == item) {
        list.erase(it);
        return true;
      }
    }
    return false;
  };
  if (eraseFrom(m_pending[kind]) || eraseFrom(m_drawn[kind])) return true;
  // Not where its kind says (it was moved between lists): look everywhere rather
  // than leave a node that points at a gone renderer.
  for (int i = 0; i < kListCount; ++i)
    if (eraseFrom(m_pending[i]) || eraseFrom(m_drawn[i])) return true;
  return false;
}

void CRenderManager::ForgetMoves(const SRenderItem* item) {
  for (auto* moves : {&m_moveToParticles, &m_moveToMeshes})
    moves->erase(std::remove(moves->begin(), moves->end(), item), moves->end());
}

void CRenderManager::RemoveRenderer(SRenderData& data, std::vector<SRenderItem*>& items) {
  sys::CScopedLock lock(sys::kLockRender);
  items.clear();
  auto it = m_registrations.find(data.handle);
  data.handle = 0;
  if (it == m_registrations.end()) return;
  for (SRenderItem* item : it->second.items) {
    ForgetMoves(item);
    EraseEntry(item);
  }
  m_registrations.erase(it);
}

void CRenderManager::EnableRenderer(const SRenderData& data, const std::vector<SRenderItem*>&) {
  sys::CScopedLock lock(sys::kLockRender);
  auto it = m_registrations.find(data.handle);
  if (it == m_registrations.end()) return;
  for (SRenderItem* item : it->second.items) item->active = 1;
}

void CRenderManager::DisableRenderer(const SRenderData& data, const std::vector<SRenderItem*>&) {
  sys::CScopedLock lock(sys::kLockRender);
  auto it = m_registrations.find(data.handle);
  if (it == m_registrations.end()) return;
  for (SRenderItem* item : it->second.items) item->active = 0;
}

void CRenderManager::SetCastShadow(const SRenderData& data, const std::vector<SRenderItem*>&,
                                   bool cast) {
  sys::CScopedLock lock(sys::kLockRender);
  auto it = m_registrations.find(data.handle);
  if (it == m_registrations.end()) return;
  for (SRenderItem* item : it->second.items) item->shadowCaster = cast ? 1 : 0;
}

void CRenderManager::QueueMoves(const std::vector<SRenderItem*>& items, int toList) {
  sys::CScopedLock lock(sys::kLockRender);
  auto& moves = toList == kListParticle ? m_moveToParticles : m_moveToMeshes;
  moves.insert(moves.end(), items.begin(), items.end());
  m_listMoves = true;
}

void CRenderManager::QueueMoveToRenderList0(const std::vector<SRenderItem*>& items) {
  QueueMoves(items, kListMesh);
}
void CRenderManager::QueueMoveToRenderList1(const std::vector<SRenderItem*>& items) {
  QueueMoves(items, kListParticle);
}

void CRenderManager::QueueMoveToRenderList0(int handle) {
  sys::CScopedLock lock(sys::kLockRender);
  auto it = m_registrations.find(handle);
  if (it != m_registrations.end()) QueueMoves(it->second.items, kListMesh);
}

void CRenderManager::QueueMoveToRenderList1(int handle) {
  sys::CScopedLock lock(sys::kLockRender);
  auto it = m_registrations.find(handle);
  if (it != m_registrations.end()) QueueMoves(it->second.items, kListParticle);
}

void CRenderManager::ApplyListMoves() {
  bool any = false;
  auto moveAll = [&](std::vector<SRenderItem*>& handles, int from, int to, int layer) {
    for (SRenderItem* handle : handles) {
      any = true;
      CRenderList& source = m_drawn[from];
      for (auto it = source.begin(); it != source.end(); ++it) {
        if (&*it != handle) continue;
        it->layer = layer;
        m_drawn[to].splice(m_drawn[to].end(), source, it);
        break;
      }
    }
    handles.clear();
  };
  moveAll(m_moveToParticles, kListMesh, kListParticle, kLayerFrontScene);
  moveAll(m_moveToMeshes, kListParticle, kListMesh, kLayerBackScene);
  m_listMoves = false;
  if (any) SortList(kListMesh, 0);
}

bool CRenderManager::EntryFound(const SRenderItem* item, bool drawnOnly) const {
  for (int i = 0; i < kListCount; ++i) {
    for (const SRenderItem& entry : m_drawn[i])
      if (&entry == item) return true;
    if (drawnOnly) continue;
    for (const SRenderItem& entry : m_pending[i])
      if (&entry == item) return true;
  }
  return false;
}

size_t CRenderManager::GetRendererCount() const {
  sys::CScopedLock lock(sys::kLockRender);
  return m_registrations.size();
}

bool CRenderManager::IsRegistered(int handle) const {
  sys::CScopedLock lock(sys::kLockRender);
  return m_registrations.count(handle) != 0;
}

bool CRenderManager::IsInDrawnLists(int handle) const {
  sys::CScopedLock lock(sys::kLockRender);
  auto it = m_registrations.find(handle);
  return it != m_registrations.end() && !it->second.items.empty() &&
         it->second.items.front()->active;
}

int CRenderManager::GetRenderList(int handle) const {
  sys::CScopedLock lock(sys::kLockRender);
  auto it = m_registrations.find(handle);
  if (it == m_registrations.end() || it->second.items.empty()) return -1;
  const SRenderItem* first = it->second.items.front();
  for (int i = 0; i < kListCount; ++i)
    for (const SRenderItem& entry : m_drawn[i])
      if (&entry == first) return i;
  return -1;
}

size_t CRenderManager::GetCommittedDrawCount() const {
  sys::CScopedLock lock(sys::kLockRender);
  std::unordered_map<const IRenderable*, int> renderers;
  for (const CRenderList& list : m_drawn)
    for (const SRenderItem& item : list)
      if (item.active && item.data && item.data->renderer) renderers[item.data->renderer] = 1;
  return renderers.size();
}

// --- Geometry and order -------------------------------------------------------------

bool CRenderManager::BoxInFrustum(const plat::Plane planes[6], const float boxMin[3],
                                  const float boxMax[3]) {
  for (int i = 0; i < 6; ++i) {
    const plat::Plane& p = planes[i];
    const float x = p.a >= 0.0f ? boxMax[0] : boxMin[0];
    const float y = p.b >= 0.0f ? boxMax[1] : boxMin[1];
    const float z = p.c >= 0.0f ? boxMax[2] : boxMin[2];
    if (p.a * x + p.b * y + p.c * z + p.d < 0.0f) return false;
  }
  return true;
}

bool CRenderManager::BoxInFrustum(const float boxMin[3], const float boxMax[3]) const {
  return BoxInFrustum(cullingPlanes, boxMin, boxMax);
}

void CRenderManager::SplitFrustumCorners(const SFrustumView& view, float nearDistance,
                                         float farDistance, plat::Vec3 corners[8]) {
  const plat::Vec3 up(view.up.x, view.up.y, -view.up.z);
  const float t = std::tan(view.fov * 0.5f);
  const float distances[2] = {nearDistance, farDistance};
  for (int k = 0; k < 2; ++k) {
    const float d = distances[k];
    const plat::Vec3 c = view.eye + view.forward * d;
    const float h = d * t;
    const plat::Vec3 r = view.right * h;
    const plat::Vec3 u = up * h;
    corners[k * 4 + 0] = c - r - u;
    corners[k * 4 + 1] = c - r + u;
    corners[k * 4 + 2] = c + r + u;
    corners[k * 4 + 3] = c + r - u;
  }
  plat::Vec3 centroid(0.0f, 0.0f, 0.0f);
  for (int i = 0; i < 8; ++i) centroid = centroid + corners[i];
  centroid = centroid * (1.0f / 8.0f);
  for (int i = 0; i < 8; ++i) corners[i] = corners[i] + (corners[i] - centroid) * 0.1f;
}

bool CRenderManager::StateLess(const SRenderItem& a, const SRenderItem& b) {
  if (a.layer != b.layer) return a.layer < b.layer;
  if (a.renderType != b.renderType) return a.renderType < b.renderType;
  if (a.effect != b.effect) return a.effect < b.effect;
  if (a.technique != b.technique) return a.technique < b.technique;
  if (a.currentMaterial != b.currentMaterial) return a.currentMaterial < b.currentMaterial;
  if (a.mesh != b.mesh) return a.mesh < b.mesh;
  if (a.lightmap != b.lightmap) return a.lightmap < b.lightmap;
  return std::less<const SRenderItem*>()(&a, &b);
}

float CRenderManager::SortDistance(const SRenderItem& item) const {
  if (!item.position) return std::numeric_limits<float>::infinity();
  const plat::Vec3 d = *item.position - sortEye;
  const float distance = d.x * d.x + d.y * d.y + d.z * d.z;
  // A NaN would make the order inconsistent: such entries go last with those
  // that have no position.
  return std::isnan(distance) ? std::numeric_limits<float>::infinity() : distance;
}

bool CRenderManager::EntryCloser(const SRenderItem& a, const SRenderItem& b) const {
  const float da = SortDistance(a);
  const float db = SortDistance(b);
  if (da != db) return da < db;
  return StateLess(a, b);
}

bool CRenderManager::EntryLess(const SRenderItem& a, const SRenderItem& b, int mode) const {
  switch (mode) {
    case 0:
      return StateLess(a, b);
    case 1:
      return EntryCloser(a, b);
    case 2: {
      // Entries without a transform count as z 0; a NaN z as +infinity, so that
      // the order stays strict and weak.
      auto z = [](const SRenderItem& item) {
        const float value = item.position ? item.position->z : 0.0f;
        return std::isnan(value) ? std::numeric_limits<float>::infinity() : value;
      };
      const float za = z(a);
      const float zb = z(b);
      if (za != zb) return za < zb;
      return std::less<const SRenderItem*>()(&a, &b);
    }
    default:
      // Equal entries must compare false: a sort with a comparator that answers
      // true for them has no defined result.
      return false;
  }
}

void CRenderManager::SortList(int kind, int mode) {
  if (kind < 0 || kind >= kListCount) return;
  m_drawn[kind].sort(
      [this, mode](const SRenderItem& a, const SRenderItem& b) { return EntryLess(a, b, mode); });
}

}  // namespace gfx
}  // namespace vd
