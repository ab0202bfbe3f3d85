// The frame on the render thread: pre-passes into their targets, the scene into
// the back buffer, the post passes that each read the picture back, and Present.
#include <algorithm>
#include <cstring>

#include "engine/core/Locks.h"
#include "engine/render/RenderManager.h"
#include "engine/render/buffers/VertexBuffer.h"
#include "engine/render/device/GraphicsManager.h"

namespace vd {
namespace gfx {

namespace gpu = plat::gpu;

plat::gpu::Device* CRenderManager::RenderDevice() const {
  return m_graphics && m_graphics->device ? m_graphics->device : GetRenderDevice();
}

int CRenderManager::ScreenWidth() const {
  if (screenWidth > 0) return screenWidth;
  gpu::Device* device = RenderDevice();
  return device ? static_cast<int>(device->GetPresentParameters().backBufferWidth) : 0;
}

int CRenderManager::ScreenHeight() const {
  if (screenHeight > 0) return screenHeight;
  gpu::Device* device = RenderDevice();
  return device ? static_cast<int>(device->GetPresentParameters().backBufferHeight) : 0;
}

void CRenderManager::TakeFrameViews() {
  hasView = ReadCameraView(viewCamera.render, viewState);
  const cam::CCamera* culling = cullingCamera.render ? cullingCamera.render : viewCamera.render;
  if (culling) {
    if (culling == viewCamera.render) {
      cullState = viewState;
    } else if (!ReadCameraView(culling, cullState)) {
      return;
    }
    std::memcpy(cullingPlanes, cullState.frustum, sizeof(cullingPlanes));
    sortEye = cullState.eye;
  }
}

void CRenderManager::CopyToSceneCopy(CRenderTarget* sceneCopy) {
  if (sceneCopy && sceneCopy->surface) sceneCopy->CaptureBackBuffer();
}

void CRenderManager::RefreshSceneCopy(CRenderTarget* sceneCopy) {
  if (!m_sceneCopyStale) return;
  CopyToSceneCopy(sceneCopy);
  m_sceneCopyStale = false;
}

void CRenderManager::CountWalked(const SRenderItem& item) {
  SRenderData* data = item.data;
  if (!data || !data->renderer || m_loadingFrame) return;
  SRenderData::SWalk& walk = data->walk;
  // The first entry walked in this frame starts the renderer's count afresh, so a
  // frame that walked only some of its lists leaves nothing behind for the next.
  if (walk.frame != m_frameNumber) {
    walk.frame = m_frameNumber;
    walk.walked = 0;
  }
  if (++walk.walked >= walk.entries) {
    walk.walked = 0;
    // Walked in full: a later walk of this frame starts over rather than report it
    // again.
    walk.frame = m_frameNumber - 1;
    data->renderer->OnDrawn();
  }
}

void CRenderManager::RenderFrame(CRenderTarget* sceneCopy, float gameTime, float realTime) {
  ++m_frameNumber;
  if (recreateShadowTargets) {
    renderTargets[12].Release();
    renderTargets[13].Release();
    recreateShadowTargets = false;
  }
  RecreatePendingBuffers();
  TakeFrameViews();
  RenderPrePasses(&renderTargets[0]);
  RenderScene(&renderTargets[0], sceneCopy, gameTime);
  RenderPostPasses(sceneCopy, sceneCopy, &renderTargets[0], gameTime, realTime);
}

void CRenderManager::RenderPrePasses(CRenderTarget* ambientOcclusion) {
  if (!hasView) return;
  if (glow.render) RenderGlow();
  if (decals.render) RenderDecalDepth(&renderTargets[3], depthMapSize);
  if (depthMap.render || glow.render || decals.render || ssao.render) {
    RenderLinearDepth(&renderTargets[2], depthMapSize);
    if (ssao.render) {
      const int w = static_cast<int>(static_cast<float>(ScreenWidth()) * 0.25f);
      const int h = static_cast<int>(static_cast<float>(ScreenHeight()) * 0.25f);
      RenderSSAO(&renderTargets[2], &renderTargets[7], w, h);
      BlurSSAO(&renderTargets[7], &renderTargets[2], w, h, ambientOcclusion, w, h);
    }
  }
  if (shadows.render) {
    RenderSunShadowMaps();
    RenderSpotShadowMaps();
    RenderPointShadowMaps();
    if (screenShadows.render) {
      RenderScreenShadows(&renderTargets[12], screenShadowSize.render);
      RenderCameraDepth(&renderTargets[11]);
    }
  }
}

void CRenderManager::RenderScene(CRenderTarget* ambientOcclusion, CRenderTarget* sceneCopy,
                                 float dt) {
  gpu::Device* device = RenderDevice();
  if (device) {
    device->BeginScene();
    const uint32_t flags = gpu::kClearTarget | (clearColourOnly.render ? 0u : gpu::kClearZBuffer);
    device->Clear(0, nullptr, flags, 0xFF000000u, 1.0f, 0);
  }
  DrawBackgroundList(dt);
  if (hasView) DrawMeshList(ambientOcclusion, dt);
  if (device) device->EndScene();
  // The copy is made by the first post pass that reads it.
  (void)sceneCopy;
  m_sceneCopyStale = true;
}

void CRenderManager::RenderPostPasses(CRenderTarget* sceneCopy, CRenderTarget* copyBack,
                                      CRenderTarget* ambientOcclusion, float dt, float realTime) {
  gpu::Device* device = RenderDevice();
  const int width = ScreenWidth();
  const int height = ScreenHeight();
  auto begin = [device] {
    if (device) device->BeginScene();
  };
  auto end = [device] {
    if (device) device->EndScene();
  };
  // A full-screen copy costs about as much as a post pass on a software device,
  // so the copy is refreshed just before a pass that reads it, and only when the
  // back buffer has changed since the last one: passes that only draw over the
  // picture (decals, particles, the HUD) leave it to the next reader.
  auto drawn = [this] { m_sceneCopyStale = true; };
  if (decals.render && hasView) {
    begin();
    RenderDecals(dt, static_cast<float>(width), static_cast<float>(height));
    end();
    drawn();
  }
  if (screenShadows.render && renderTargets[12].IsCreated()) {
    SimpleBlur(&renderTargets[12], screenShadowSize.render, screenShadowSize.render,
               &renderTargets[13], true, true);
    RefreshSceneCopy(copyBack);
    begin();
    ApplyScreenShadows(sceneCopy);
    end();
    drawn();
  }
  // Without a glower the merge would add transparent black.
  if (glow.render && hasView && glowersDrawn) {
    RefreshSceneCopy(copyBack);
    begin();
    MergeGlow(sceneCopy, &renderTargets[4], &renderTargets[5], &renderTargets[2]);
    end();
    drawn();
  }
  if (hasView) {
    // Water refracts the picture so far; particles only blend over it.
    if (!m_drawn[kListWater].empty()) RefreshSceneCopy(copyBack);
    begin();
    DrawWaterList(sceneCopy, static_cast<float>(width), static_cast<float>(height), dt);
    DrawParticleList(ambientOcclusion, dt);
    end();
    drawn();
  }
  if (depthOfField.render) {
    RefreshSceneCopy(copyBack);
    // With nothing drawn between them, depth of field and the film look are one draw.
    const bool folded =
        filmLook && !radialBlur.render && FoldDepthOfFieldIntoFinalFX(sceneCopy, width, height);
    if (!folded) {
      RenderDepthOfField(sceneCopy, width, height);
      drawn();
    }
  }
  if (radialBlur.render) {
    RefreshSceneCopy(copyBack);
    RenderRadialBlur(sceneCopy);
    drawn();
  }
  if (filmLook) RefreshSceneCopy(copyBack);
  begin();
  if (filmLook) RenderFinalFX(sceneCopy, realTime);
  DrawHUDList(dt);
  end();
  drawn();
  if (finalBlur.render) {
    RefreshSceneCopy(copyBack);
    SimpleBlur(sceneCopy, width, height, sceneCopy, false, false);
    drawn();
  }
  begin();
  DrawMenuList(dt);
  end();
  if (onPassFinished && !m_loadingFrame) onPassFinished();
  if (device) device->Present();
}

void CRenderManager::DrawLoadingScreenFrame() {
  if (m_loadingFrame || std::this_thread::get_id() != m_renderThread) return;
  const auto now = std::chrono::steady_clock::now();
  const float since = std::chrono::duration<float>(now - m_lastLoadingFrame).count();
  if (m_lastLoadingFrame.time_since_epoch().count() != 0 && since < kLoadingFrameSeconds) return;
  m_lastLoadingFrame = now;
  m_loadingFrame = true;
  // Real time moves the film look on, as the frame clamp would let it.
  RenderFrame(m_graphics ? m_graphics->mainTarget : nullptr, 0.0f, std::min(since, 1.0f / 15.0f));
  m_loadingFrame = false;
}

}  // namespace gfx
}  // namespace vd
