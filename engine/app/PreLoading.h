#pragma once
// The screen the render thread shows while the main thread is still starting up:
// a background and one more progress mark each second.
#include <string>

#include "engine/core/Singleton.h"
#include "engine/core/StringHash.h"
#include "platform/math/Math.h"

namespace plat {
namespace gpu {
class BaseTexture;
class Sprite;
}  // namespace gpu
}  // namespace plat

namespace vd {
namespace gfx {
class CGraphicsManager;
}
namespace sys {

class CTimer;

class CPreLoading : public utl::CSingleton<CPreLoading> {
public:
  CPreLoading() { SetInstance(this); }
  virtual ~CPreLoading();
  CPreLoading(const CPreLoading&) = delete;
  CPreLoading& operator=(const CPreLoading&) = delete;

  // False at once when a texture or a sprite cannot be made; what was made stays
  // until the next Release.
  bool Init(gfx::CGraphicsManager* graphics, CTimer* timer, int width, int height,
            const std::string& backgroundFile, const std::string& indicatorFile);
  // Redraws once a second with one more mark (1, 2, 3, 0, ...); draws only when
  // both textures and both sprites exist.
  void Render();
  void Release();

  gfx::CGraphicsManager* graphicsManager = nullptr;
  CTimer* timer = nullptr;
  plat::gpu::BaseTexture* backgroundTexture = nullptr;
  plat::gpu::BaseTexture* indicatorTexture = nullptr;
  plat::gpu::Sprite* backgroundSprite = nullptr;
  plat::gpu::Sprite* indicatorSprite = nullptr;
  int width = 512;
  int height = 316;
  float clock = 0.0f;
  int step = 0;
  plat::Mat4 indicatorTransforms[3];
};

}  // namespace sys
}  // namespace vd
