// The resource queue and the render-data commit of the render manager.
#include <algorithm>
#include <string>

#include "engine/core/Locks.h"
#include "engine/core/Log.h"
#include "engine/render/RenderManager.h"
#include "engine/render/buffers/VertexBuffer.h"
#include "engine/render/device/GraphicsManager.h"
#include "platform/gpu/Device.h"
#include "platform/image/Image.h"

namespace vd {
namespace gfx {

namespace {

enum { kKindTexture = 0, kKindShader = 1, kKindMesh = 2 };

plat::gpu::Device* DeviceOf(const CGraphicsManager* graphics) {
  return graphics && graphics->device ? graphics->device : GetRenderDevice();
}

}  // namespace

// Volume textures are made through the image path, which builds a texture of the
// image's own kind.
plat::gpu::HResult CreateVolumeTextureFromImage(plat::gpu::Device* device,
                                                const plat::image::Image& image,
                                                plat::gpu::VolumeTexture** out) {
  *out = nullptr;
  plat::gpu::BaseTexture* made = nullptr;
  const plat::gpu::HResult hr = device->CreateTextureFromImage(image, &made);
  if (plat::gpu::Failed(hr) || !made) return plat::gpu::Failed(hr) ? hr : plat::gpu::kErrFail;
  if (made->Type() != plat::gpu::ResourceType::VolumeTexture) {
    made->Release();
    return plat::gpu::kErrInvalidCall;
  }
  *out = static_cast<plat::gpu::VolumeTexture*>(made);
  return plat::gpu::kOk;
}

void CRenderManager::SetBackgroundLoading(bool on) {
  if (on) m_backgroundThread = std::this_thread::get_id();
  m_background = on;
  // Whatever the loader queued is created by the next commit either way.
}

template <class T>
void CRenderManager::PushRequest(CRequestRing<T>& ring, std::vector<T*>& list, int kind,
                                 T* request) {
  if (m_background.load() && m_backgroundThread.load() == std::this_thread::get_id()) {
    // A full ring never drops the request: the loader waits for the next drain
    // (or, once loading has ended, hands it to the plain list below).
    bool pushed = ring.Push(request);
    while (!pushed && m_background.load()) {
      ++m_throttleWaits;
      if (m_queueEvent) m_queueEvent->Reset();
      WaitForDrain();
      pushed = ring.Push(request);
    }
    if (pushed) {
      ++m_pushCounts[kind];
      ThrottleBackgroundQueues();
      return;
    }
  }
  // Every other thread (and the loader once loading has ended) uses the plain
  // lists, which never make it wait.
  sys::CScopedLock lock(sys::kLockRender);
  list.push_back(request);
}

void CRenderManager::QueueTexture(CTexture* texture) {
  if (texture) PushRequest(m_textureRing, m_textureRequests, kKindTexture, texture);
}

void CRenderManager::QueueShader(CShader* shader) {
  if (shader) PushRequest(m_shaderRing, m_shaderRequests, kKindShader, shader);
}

void CRenderManager::QueueMesh(IVertexBuffer* mesh) {
  if (mesh) PushRequest(m_meshRing, m_meshRequests, kKindMesh, mesh);
}

void CRenderManager::WaitForDrain() {
  // The render thread raises the event after each drain; the slices only guard
  // against a drain that happened between the push and the reset, and against a
  // render thread that has shut down.
  while (m_queueEvent && m_background.load()) {
    if (m_queueEvent->Wait(20) == plat::WaitResult::Signalled) return;
    if (m_textureRing.Empty() && m_shaderRing.Empty() && m_meshRing.Empty()) return;
  }
}

void CRenderManager::ThrottleBackgroundQueues() {
  if (m_pushCounts[0] < kThrottlePushes && m_pushCounts[1] < kThrottlePushes &&
      m_pushCounts[2] < kThrottlePushes)
    return;
  ++m_throttleWaits;
  if (m_queueEvent) m_queueEvent->Reset();
  WaitForDrain();
  m_pushCounts[0] = m_pushCounts[1] = m_pushCounts[2] = 0;
}

void CRenderManager::ResourceCreated() {
  ++m_createdCount;
  if (onResourceCreated) onResourceCreated();
}

void CRenderManager::CreateTexture(CTexture* texture) {
  if (!texture->fileData) return;
  plat::gpu::Device* device = DeviceOf(m_graphics);
  if (device && texture->type <= kTextureCube) {
    plat::image::Image image;
    std::string error;
    if (!plat::image::Decode(texture->fileData, texture->fileSize, image, error)) {
      utl::LogPrintf("Texture %s could not be read: %s\n", texture->path.c_str(), error.c_str());
    } else {
      const plat::image::Kind wanted = texture->type == kTextureCube ? plat::image::Kind::Cube
                                       : texture->type == kTextureVolume
                                           ? plat::image::Kind::Volume
                                           : plat::image::Kind::Texture2D;
      if (image.kind != wanted) {
        utl::LogPrintf("Texture %s is not of the kind its list names (%u)\n", texture->path.c_str(),
                       texture->type);
      } else if (texture->type == kTextureVolume) {
        if (plat::gpu::Failed(CreateVolumeTextureFromImage(device, image, &texture->volumeTexture)))
          utl::LogPrintf("Texture %s: the device refused the volume texture\n",
                         texture->path.c_str());
      } else {
        plat::gpu::BaseTexture* made = nullptr;
        if (plat::gpu::Failed(device->CreateTextureFromImage(image, &made)) || !made) {
          utl::LogPrintf("Texture %s: the device refused the texture\n", texture->path.c_str());
        } else if (texture->type == kTextureCube) {
          texture->cubeTexture = static_cast<plat::gpu::CubeTexture*>(made);
        } else {
          texture->texture2D = static_cast<plat::gpu::Texture*>(made);
        }
      }
    }
  }
  // The bytes are freed also when the creation failed: the record stays, empty.
  texture->FreeFileData();
}

void CRenderManager::CreateShader(CShader* shader) { shader->LoadEffect(DeviceOf(m_graphics)); }

void CRenderManager::CreateMesh(IVertexBuffer* mesh) { mesh->Create(); }

void CRenderManager::CreateBackgroundResources() {
  for (int i = 0; i < kCreationsPerRing; ++i) {
    CTexture* texture = m_textureRing.Pop();
    if (!texture) break;
    CreateTexture(texture);
    ResourceCreated();
  }
  for (int i = 0; i < kCreationsPerRing; ++i) {
    CShader* shader = m_shaderRing.Pop();
    if (!shader) break;
    CreateShader(shader);
    ResourceCreated();
  }
  for (int i = 0; i < kCreationsPerRing; ++i) {
    IVertexBuffer* mesh = m_meshRing.Pop();
    if (!mesh) break;
    CreateMesh(mesh);
    ResourceCreated();
  }
  if (m_queueEvent) m_queueEvent->Set();
}

void CRenderManager::CreateQueuedResources() {
  for (CTexture* texture : m_textureRequests) {
    CreateTexture(texture);
    ResourceCreated();
  }
  m_textureRequests.clear();
  for (CShader* shader : m_shaderRequests) {
    CreateShader(shader);
    ResourceCreated();
  }
  m_shaderRequests.clear();
  for (IVertexBuffer* mesh : m_meshRequests) {
    CreateMesh(mesh);
    ResourceCreated();
  }
  m_meshRequests.clear();
}

void CRenderManager::RecreatePendingBuffers() {
  sys::CScopedLock lock(sys::kLockRender);
  for (IVertexBuffer* buffer : m_pendingRecreations) buffer->Create();
  m_pendingRecreations.clear();
}

void CRenderManager::QueueRecreation(IVertexBuffer* buffer) {
  sys::CScopedLock lock(sys::kLockRender);
  if (buffer &&
      std::find(m_pendingRecreations.begin(), m_pendingRecreations.end(), buffer) ==
          m_pendingRecreations.end())
    m_pendingRecreations.push_back(buffer);
}

size_t CRenderManager::PendingRecreationCount() const {
  sys::CScopedLock lock(sys::kLockRender);
  return m_pendingRecreations.size();
}

void CRenderManager::RequestRenderDataCommit(const std::function<void()>& waitFrameEnd,
                                             const std::function<void()>& beginFrame) {
  if (waitFrameEnd) waitFrameEnd();
  {
    sys::CScopedLock lock(sys::kLockRender);
    commitRequested = true;
  }
  if (m_commitEvent) m_commitEvent->Reset();
  if (beginFrame) beginFrame();
  if (m_commitEvent) m_commitEvent->Wait(plat::kInfinite);
}

namespace {
// Moves every value of `from` into `to`, keeping the one already in `to` for a key
// both hold (the offered duplicate is deleted by Add); `from` ends empty and still
// owning.
template <class T>
void MergeInto(utl::CStringHashMap<T>& from, utl::CStringHashMap<T>& to) {
  std::vector<std::pair<uint32_t, T*>> values(from.begin(), from.end());
  const uint8_t owns = from.ownsValues, resets = from.resetValues;
  from.ownsValues = 0;
  from.RemoveAll();
  from.ownsValues = owns;
  from.resetValues = resets;
  for (auto& entry : values) to.Add(entry.first, entry.second);
}
}  // namespace

void CRenderManager::CommitRenderData() {
  sys::CScopedLock lock(sys::kLockRender);
  cullingCamera.Commit();
  viewCamera.Commit();
  gameZone.Commit();
  for (SPair<bool>* flag :
       {&depthMap, &ssao, &shadows, &glow, &shadowParameters, &sunShadows, &pcf, &screenShadows,
        &depthOfField, &radialBlur, &cinematicDoF, &clearColourOnly, &decals, &finalBlur,
        &halfResolutionShadows, &filmLookExtras})
    flag->Commit();
  radialBlurStrength.Commit();
  filmLookTail.Commit();
  if (screenShadowSize.pending != screenShadowSize.render) {
    screenShadowSize.Commit();
    recreateShadowTargets = true;
  }

  CreateBackgroundResources();

  if (zoneGroupClearRequest) ClearZoneGroups();
  if (decals.render && decalsChanged && onDecalCommit) onDecalCommit();

  if (commitRequested) {
    commitRequested = false;
    bool received[kListCount] = {};
    for (int i = 0; i < kListCount; ++i) {
      received[i] = !m_pending[i].empty();
      m_drawn[i].splice(m_drawn[i].end(), m_pending[i]);
    }
    MergeInto(queuedShaders, shaders);
    MergeInto(queuedMeshes, meshes);
    MergeInto(queuedTextures, textures);
    MergeInto(queuedMaterials, materials);
    if (!pendingZoneGroups.empty()) {
      for (auto& zone : pendingZoneGroups) zoneGroups.push_back(std::move(zone));
      pendingZoneGroups.clear();
    }
    if (onCommitPending) onCommitPending();
    if (received[kListMesh]) SortList(kListMesh, 0);
    if (received[kListBackground] || received[kListHud] || received[kListMenu]) {
      SortList(kListBackground, 2);
      SortList(kListHud, 2);
      SortList(kListMenu, 2);
    }
    CreateQueuedResources();
    if (m_commitEvent) m_commitEvent->Set();
  }

  if (m_listMoves) ApplyListMoves();
}

uint32_t CRenderManager::RingSize(int kind) const {
  switch (kind) {
    case kKindTexture:
      return m_textureRing.Size();
    case kKindShader:
      return m_shaderRing.Size();
    default:
      return m_meshRing.Size();
  }
}

size_t CRenderManager::QueuedRequestCount() const {
  sys::CScopedLock lock(sys::kLockRender);
  return m_textureRequests.size() + m_shaderRequests.size() + m_meshRequests.size() +
         m_textureRing.Size() + m_shaderRing.Size() + m_meshRing.Size();
}

}  // namespace gfx
}  // namespace vd
