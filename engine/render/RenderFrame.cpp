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
  if (!sceneCopy || !sceneCopy->surface) return;
  sceneCopy->CaptureBackBuffer();
  ++frameSceneCopies;
}

void CRenderManager::RefreshSceneCopy(CRenderTarget* sceneCopy) {
  if (!m_sceneCopyStale) return;
  CopyToSceneCopy(sceneCopy);
  m_sceneCopyStale = false;
}

bool CRenderManager::DecalsToDraw() const { return decals.render && liveDecals != 0; }

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
  frameSceneCopies = 0;
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
  // The decal depth is read by the decal pass alone.
  if (DecalsToDraw()) RenderDecalDepth(&renderTargets[3], depthMapSize);
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

CRenderTarget* CRenderManager::SceneSpare(const CRenderTarget& sceneCopy) {
  gpu::Device* device = RenderDevice();
  if (!device || !m_graphics || !sceneCopy.surface) return nullptr;
  // A pass drawn into the spare instead of the back buffer must cover the same pixels.
  const gpu::PresentParameters& pp = device->GetPresentParameters();
  if (sceneCopy.width != pp.backBufferWidth || sceneCopy.height != pp.backBufferHeight)
    return nullptr;
  if (m_sceneSpare.IsCreated() &&
      (m_sceneSpare.width != sceneCopy.width || m_sceneSpare.height != sceneCopy.height ||
       m_sceneSpare.format != sceneCopy.format))
    m_sceneSpare.Release();
  if (!m_sceneSpare.IsCreated()) {
    gpu::Viewport viewport;
    viewport.width = sceneCopy.width;
    viewport.height = sceneCopy.height;
    m_sceneSpare.Create(m_graphics, sceneCopy.width, sceneCopy.height, sceneCopy.format, true,
                        sceneCopy.depthFormat, false, true, viewport);
  }
  return m_sceneSpare.IsCreated() && m_sceneSpare.surface && m_sceneSpare.quad ? &m_sceneSpare
                                                                               : nullptr;
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
  // A full-screen pass whose picture the next pass reads as a whole draws it into
  // the spare, which then serves as the copy: the back buffer is skipped, and the
  // copy of it with it. The back buffer is behind until a later full-screen pass
  // draws into it, so only a pass followed by another full-screen reader may do so.
  CRenderTarget* copy = sceneCopy;
  CRenderTarget* spare =
      chainPostPasses && sceneCopy && sceneCopy == copyBack ? SceneSpare(*sceneCopy) : nullptr;
  // What was copied into: the caller's copy-back target, or the spare in its place.
  auto refresh = [&] { RefreshSceneCopy(copy == sceneCopy ? copyBack : copy); };
  bool backBehind = false;
  // Where the pass meant to draw the whole picture into the back buffer drew nothing,
  // the back buffer takes the copy's picture.
  auto catchUp = [&] {
    if (!backBehind) return;
    gpu::Surface* back = nullptr;
    if (device && gpu::Succeeded(device->GetRenderTarget(0, &back))) {
      device->StretchRect(copy->surface, nullptr, back, nullptr, gpu::kTexFilterNone);
      back->Release();
      ++frameSceneCopies;
    }
    backBehind = false;
  };
  auto fullScreen = [&](bool nextReadsTheWhole, auto pass) {
    refresh();
    gpu::Surface* back = nullptr;
    const bool intoSpare = nextReadsTheWhole && spare && device &&
                           gpu::Succeeded(device->GetRenderTarget(0, &back)) &&
                           gpu::Succeeded(device->SetRenderTarget(0, spare->surface));
    const bool drew = pass(copy);
    if (intoSpare) device->SetRenderTarget(0, back);
    if (back) back->Release();
    if (intoSpare && drew) {
      // The copy holds the new picture; the old copy is the next spare.
      std::swap(copy, spare);
      m_sceneCopyStale = false;
      backBehind = true;
    } else if (!intoSpare && drew) {
      backBehind = false;
      drawn();
    } else if (!intoSpare) {
      catchUp();
    }
  };
  const bool applyShadows = screenShadows.render && renderTargets[12].IsCreated();
  // Without a glower the merge would add transparent black.
  const bool mergeGlow = glow.render && hasView && glowersDrawn;
  // What reads the whole picture after the lists (water, particles) of a frame with a
  // view, or after the shadows and the merge of one without.
  const bool laterReader = depthOfField.render || radialBlur.render || filmLook;
  if (DecalsToDraw() && hasView) {
    begin();
    RenderDecals(dt, static_cast<float>(width), static_cast<float>(height));
    end();
    drawn();
  }
  if (applyShadows) {
    SimpleBlur(&renderTargets[12], screenShadowSize.render, screenShadowSize.render,
               &renderTargets[13], true, true);
    fullScreen(mergeGlow || (!hasView && laterReader), [&](CRenderTarget* scene) {
      begin();
      const bool drew = ApplyScreenShadows(scene);
      end();
      return drew;
    });
  }
  if (mergeGlow) {
    // The water and particle lists that follow draw over the back buffer.
    fullScreen(false, [&](CRenderTarget* scene) {
      begin();
      const bool drew = MergeGlow(scene, &renderTargets[4], &renderTargets[5], &renderTargets[2]);
      end();
      return drew;
    });
  }
  if (hasView) {
    // Water refracts the picture so far; particles only blend over it.
    if (AnyWaterToDraw()) refresh();
    begin();
    DrawWaterList(copy, static_cast<float>(width), static_cast<float>(height), dt);
    DrawParticleList(ambientOcclusion, dt);
    end();
    drawn();
  }
  if (depthOfField.render) {
    refresh();
    // With nothing drawn between them, depth of field and the film look are one draw.
    const bool folded =
        filmLook && !radialBlur.render && FoldDepthOfFieldIntoFinalFX(copy, width, height);
    if (!folded) {
      fullScreen(radialBlur.render || filmLook,
                 [&](CRenderTarget* scene) { return RenderDepthOfField(scene, width, height); });
    }
  }
  if (radialBlur.render)
    fullScreen(filmLook, [&](CRenderTarget* scene) { return RenderRadialBlur(scene); });
  if (filmLook) refresh();
  begin();
  if (filmLook && !RenderFinalFX(copy, realTime) && backBehind) {
    end();
    catchUp();
    begin();
  }
  DrawHUDList(dt);
  end();
  drawn();
  if (finalBlur.render) {
    refresh();
    SimpleBlur(copy, width, height, copy, false, false);
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
