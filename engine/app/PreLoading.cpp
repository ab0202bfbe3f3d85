#include "engine/app/PreLoading.h"

#include "engine/app/Timer.h"
#include "engine/core/Log.h"
#include "engine/render/device/GraphicsManager.h"
#include "platform/gpu/Device.h"
#include "platform/image/Image.h"

namespace vd {
namespace sys {

namespace {

plat::gpu::BaseTexture* LoadTexture(plat::gpu::Device* device, const std::string& file) {
  plat::image::Image image;
  std::string error;
  if (!plat::image::LoadFile(file, image, error)) {
    utl::LogPrintf("Pre-loading texture %s: %s\n", file.c_str(), error.c_str());
    return nullptr;
  }
  plat::gpu::BaseTexture* texture = nullptr;
  if (device->CreateTextureFromImage(image, &texture) != plat::gpu::kOk) return nullptr;
  return texture;
}

plat::Mat4 Transform2D(float sx, float sy, float tx, float ty) {
  plat::Vec2 scaling(sx, sy), translation(tx, ty);
  return plat::Transformation2D(nullptr, 0.0f, &scaling, nullptr, 0.0f, &translation);
}

template <class T>
void SafeRelease(T*& p) {
  if (p) p->Release();
  p = nullptr;
}

}  // namespace

CPreLoading::~CPreLoading() {
  Release();
  ClearInstance(this);
}

bool CPreLoading::Init(gfx::CGraphicsManager* graphics, CTimer* frameTimer, int w, int h,
                       const std::string& backgroundFile, const std::string& indicatorFile) {
  Release();
  width = w;
  height = h;
  graphicsManager = graphics;
  timer = frameTimer;
  plat::gpu::Device* device = graphics ? graphics->device : nullptr;
  if (!device) return false;
  if (!(backgroundTexture = LoadTexture(device, backgroundFile))) return false;
  if (!(indicatorTexture = LoadTexture(device, indicatorFile))) return false;
  if (device->CreateSprite(&backgroundSprite) != plat::gpu::kOk) return false;
  if (device->CreateSprite(&indicatorSprite) != plat::gpu::kOk) return false;

  float aspect = width > 0 ? static_cast<float>(height) / static_cast<float>(width) : 1.0f;
  plat::Mat4 background = Transform2D(1.0f, aspect, 0.0f, 0.0f);
  backgroundSprite->SetTransform(&background.m[0][0]);
  indicatorTransforms[0] = Transform2D(0.5f, 0.6f, 450.0f, 289.0f);
  indicatorTransforms[1] = Transform2D(0.5f, 0.6f, 458.0f, 290.0f);
  indicatorTransforms[2] = Transform2D(0.5f, 0.6f, 466.0f, 289.0f);
  Render();
  return true;
}

void CPreLoading::Render() {
  if (!backgroundTexture || !indicatorTexture || !backgroundSprite || !indicatorSprite) return;
  if (!timer || !graphicsManager || !graphicsManager->device) return;
  timer->Tick();
  clock += timer->GetFrameTime();
  if (!(clock > 1.0f)) return;
  clock = 0.0f;
  step = (step + 1) % 4;

  plat::gpu::Device* device = graphicsManager->device;
  device->Clear(0, nullptr, plat::gpu::kClearTarget | plat::gpu::kClearZBuffer | plat::gpu::kClearStencil,
                0xFF000000u, 1.0f, 0);
  if (device->BeginScene() == plat::gpu::kOk) {
    const float origin[3] = {0.0f, 0.0f, 0.0f};
    backgroundSprite->Begin(0);
    backgroundSprite->Draw(backgroundTexture, nullptr, nullptr, origin, 0xFFFFFFFFu);
    backgroundSprite->End();
    for (int k = 1; k <= 3 && k <= step; ++k) {
      indicatorSprite->SetTransform(&indicatorTransforms[k - 1].m[0][0]);
      indicatorSprite->Begin(plat::gpu::kSpriteAlphaBlend);
      indicatorSprite->Draw(indicatorTexture, nullptr, nullptr, origin, 0xFFFFFFFFu);
      indicatorSprite->End();
    }
    device->EndScene();
  }
  device->Present();
}

void CPreLoading::Release() {
  clock = 0.0f;
  step = 0;
  SafeRelease(backgroundTexture);
  SafeRelease(indicatorTexture);
  SafeRelease(backgroundSprite);
  SafeRelease(indicatorSprite);
}

}  // namespace sys
}  // namespace vd
