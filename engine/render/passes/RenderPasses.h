#pragma once
// The off-screen and full-screen passes of a frame: the linear and decal depth maps,
// ambient occlusion with its blur, the glow, the shadow maps of the sun splits and of
// the spot and point lights, the screen-space shadow mask, and the post passes
// (shadow application, glow merge, depth of field, radial blur). The film look is
// in FilmLook.h.
//
// The passes draw the render lists through the list walks of the frame, which they
// reach through SPassDraws, and read the render thread's copies of the render
// manager's settings. Render thread only.
//
// Every depth map is an R32F target: the linear ones hold the eye distance over the
// far-corner distance of the view camera, so that one texel format and one texture V
// direction serve every pass that reads them back.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/render/CameraView.h"
#include "engine/render/FramePasses.h"
#include "engine/render/RenderManager.h"
#include "engine/render/device/RenderTarget.h"
#include "platform/math/Math.h"

namespace plat {
namespace fx {
class Effect;
}
}  // namespace plat

namespace vd {
namespace lig {
class CAbstractLight;
class CLightManager;
}  // namespace lig
namespace gfx {

class CGraphicsManager;
class CFilmLook;

// Render-target records of the render manager that the passes use.
enum ERenderTargetRecord : int {
  kTargetAmbientOcclusion = 0,
  kTargetLinearDepth = 2,
  kTargetDecalDepth = 3,
  kTargetGlowColour = 4,
  kTargetGlowDepth = 5,
  kTargetSSAO = 7,
  kTargetBlur = 9,
  kTargetDoFBlur = 10,
  kTargetCameraDepth = 11,
  kTargetScreenShadows = 12,
  kTargetScreenShadowsBlurred = 13,
};

// One row of a technique table: entries of this render type are drawn with the
// effect and technique.
using STechniqueEntry = CRenderManager::STechniqueEntry;

// The list walks the passes draw with: the render manager's unless replaced.
struct SPassDraws {
  // The mesh list through a technique table; types without a row are not drawn.
  // Returns the number of entries drawn.
  std::function<int(const STechniqueEntry* table, int count, bool glowersOnly)> drawTable;
  // Whether the mesh list holds a glower to draw; unset, the glow pass assumes so.
  std::function<bool()> anyGlower;
  // The decal pass (dt, screen width and height); nothing when unset.
  std::function<void(float dt, float width, float height)> drawDecals;
  // The animated shadow casters of the mesh list with the effect and technique; view
  // and projection default (null) to the view camera's; the light position is given
  // for cube faces only.
  std::function<void(const CStringHash& effect, const char* technique, const plat::Mat4* view,
                     const plat::Mat4* projection, const plat::Vec3* lightPosition)>
      drawShadowCasters;
};

// Sun splits drawn at most (the shaders' arrays).
constexpr int kMaxSunSplits = 3;

struct SShadowSplit {
  CRenderTarget target;
  // The size the split's map was drawn at (after halving).
  int resolution = 0;
  float nearDistance = 0.0f;
  float farDistance = 0.0f;
  plat::Mat4 view;
  plat::Mat4 projection;
};

// The cube face a point light's view f (+X, -X, +Y, -Y, +Z, -Z) is drawn into: the
// two X views trade faces, the others keep theirs.
int CubeFaceForView(int view);
// The edge of a light's shadow map: its resolution, halved with half-resolution
// shadows.
int ShadowMapSize(int resolution, bool halfResolution);
// The sizes of the depth-of-field blur for a W x H screen: the targets (truncated
// quarter sizes) and the blurred texel size (from the exact quarter sizes).
struct SDoFSizes {
  int width, height;
  float blurredPixelWidth, blurredPixelHeight;
};
SDoFSizes DepthOfFieldSizes(int screenWidth, int screenHeight);

class CRenderPasses : public IFramePasses {
public:
  CRenderPasses(CRenderManager& manager, CGraphicsManager* graphics);
  virtual ~CRenderPasses();
  CRenderPasses(const CRenderPasses&) = delete;
  CRenderPasses& operator=(const CRenderPasses&) = delete;

  SPassDraws draws;
  // The light manager the shadow passes ask for the zone's lights (the application's
  // by default).
  lig::CLightManager* lights = nullptr;

  // --- Depth, SSAO, glow, blur -------------------------------------------------------
  void RenderLinearDepth(CRenderTarget& target, int size);
  void RenderDecalDepth(CRenderTarget& target, int size);
  void RenderGlowDepth(CRenderTarget& target, int width, int height);
  // Returns the number of glowers drawn.
  int RenderGlowColour(CRenderTarget& target, int width, int height);
  // Glow colour and depth at the glow size, then the glow colour blurred. Without a
  // glower in the list nothing is drawn; when the colour pass drew none, its target
  // is transparent black (as its blur would be) and neither the depth nor the blur
  // is drawn. Either way the merge is skipped.
  void RenderGlow() override;
  // False (and nothing drawn, with one log line while it lasts) without the effect
  // "SSAO" or the texture "SSAO_noise.dds"; ambient occlusion is then off for the
  // frame, so that the scene does not read a map that was not drawn.
  bool RenderSSAO(CRenderTarget& depth, CRenderTarget& output, int width, int height);
  // Nothing when this frame's ambient occlusion was not drawn.
  void BlurSSAO(CRenderTarget& ssao, CRenderTarget& depth, int width, int height,
                CRenderTarget& final, int finalWidth, int finalHeight);
  void GaussianBlur(CRenderTarget* depth, CRenderTarget& source, int sourceWidth, int sourceHeight,
                    CRenderTarget& destination, int destinationWidth, int destinationHeight,
                    bool horizontal);
  // Through the target: drawn with the destination's own scene; a source that is the
  // destination is drawn into a second target that then trades places with it.
  // Otherwise drawn into the back buffer, which is then copied into the destination.
  void SimpleBlur(CRenderTarget& source, int width, int height, CRenderTarget& destination,
                  bool forShadows, bool throughTarget);

  // --- Shadows -----------------------------------------------------------------------
  void RenderSunShadowMaps() override;
  void RenderSpotShadowMaps() override;
  void RenderPointShadowMaps() override;
  void RenderShadowCasters(CRenderTarget& target, const plat::Mat4& view,
                           const plat::Mat4& projection, int resolution);
  void RenderShadowCastersCube(CCubeRenderTarget& target, int face, const plat::Mat4& view,
                               const plat::Mat4& projection, int resolution,
                               const plat::Vec3& lightPosition);
  void RenderScreenShadows(CRenderTarget& target, int size);
  void RenderCameraDepth(CRenderTarget& target);
  void SetSunLightParameters(plat::fx::Effect* effect);
  int SplitCount() const { return m_splitCount; }
  const SShadowSplit& Split(int i) const { return m_splits[i]; }

  // --- Post passes (each reads the scene copy and draws into the back buffer) --------
  // Each full-screen pass answers whether it drew.
  bool ApplyScreenShadows(CRenderTarget& scene);
  // Nothing when this frame's glow pass drew no glower: the sum would add nothing.
  bool MergeGlow(CRenderTarget& scene, CRenderTarget& glowColour, CRenderTarget& glowDepth,
                 CRenderTarget& linearDepth);
  bool RenderDepthOfField(CRenderTarget& scene, int screenWidth, int screenHeight);
  // The depth of field's blurred copy made, its values set on the film look's effect
  // for the next film look to blend in; false (nothing drawn) without a film look
  // that can, or without the depth of field's effect.
  bool FoldDepthOfFieldIntoFinalFX(CRenderTarget& scene, int screenWidth, int screenHeight);
  bool DepthOfFieldFolded() const { return m_dofFolded; }
  bool RenderRadialBlur(CRenderTarget& scene);

  // The effect of the loaded table; null (with one log line while it lasts) when it
  // is not loaded.
  plat::fx::Effect* FindEffect(const char* name);
  // The device texture of the loaded table; null when absent.
  plat::gpu::BaseTexture* FindTexture(const char* name) const;

  // What the render manager calls: the same passes, given null where a target is
  // missing.
  void RenderDecalDepth(CRenderTarget* target, int size) override;
  void RenderLinearDepth(CRenderTarget* target, int size) override;
  void RenderSSAO(CRenderTarget* depth, CRenderTarget* output, int width, int height) override;
  void BlurSSAO(CRenderTarget* ssao, CRenderTarget* depth, int width, int height,
                CRenderTarget* final, int finalWidth, int finalHeight) override;
  void SimpleBlur(CRenderTarget* source, int width, int height, CRenderTarget* destination,
                  bool forShadows, bool throughTarget) override;
  void RenderScreenShadows(CRenderTarget* target, int size) override;
  void RenderCameraDepth(CRenderTarget* target) override;
  bool ApplyScreenShadows(CRenderTarget* sceneCopy) override;
  bool MergeGlow(CRenderTarget* sceneCopy, CRenderTarget* glowColour, CRenderTarget* glowDepth,
                 CRenderTarget* linearDepth) override;
  bool RenderDepthOfField(CRenderTarget* sceneCopy, int width, int height) override;
  bool RenderRadialBlur(CRenderTarget* sceneCopy) override;
  bool RenderFinalFX(CRenderTarget* sceneCopy, float dt) override;
  bool FoldDepthOfFieldIntoFinalFX(CRenderTarget* sceneCopy, int width, int height) override;
  void SetSunLightParameters(CShader* shader) override;
  void SetSpotLightParameters(CShader* shader) override;
  void SetPointLightParameters(CShader* shader) override;
  void RenderDecals(float dt, float width, float height) override;

  // Around a device reset: the targets the passes own (sun splits, the blur's
  // second target) go before it and come back after it.
  void OnLostDevice();
  void OnResetDevice();
  plat::gpu::Device* GetDevice() const { return Device(); }
  CFilmLook& FilmLook() { return *m_filmLook; }
  // Begin, each pass with the quad of `quadOwner`, End; whether a pass drew the quad.
  bool DrawQuadPasses(plat::fx::Effect* effect, CRenderTarget& quadOwner);

private:
  plat::gpu::Device* Device() const;
  bool EnsureTarget(CRenderTarget& target, int width, int height, uint32_t format,
                    uint32_t depthFormat, bool throughTarget = true);
  // Returns the number of entries drawn.
  int DrawSceneList(CRenderTarget& target, uint32_t clearColour, const STechniqueEntry* table,
                    int count, bool glowersOnly);
  // The two Gaussian blurs of the picture into the depth of field's quarter-size
  // target; null when that target cannot be made.
  CRenderTarget* BlurForDepthOfField(CRenderTarget& scene, int screenWidth, int screenHeight);
  // The depth of field's blurred copy, sizes and focal distances on `effect`.
  void SetDepthOfFieldValues(plat::fx::Effect* effect, CRenderTarget& blurred, int screenWidth,
                             int screenHeight);
  // The cameras as the frame took them; null without a scene.
  const SCameraView* ViewCamera() const;
  const SCameraView* CullingCamera() const;
  void ReportMissing(const std::string& what);
  void ForgetMissing(const std::string& what);

  CRenderManager& m_manager;
  CGraphicsManager* m_graphics;
  SShadowSplit m_splits[kMaxSunSplits];
  int m_splitCount = 0;
  // What the into-itself blur trades places with.
  CRenderTarget m_pingPong;
  bool m_ssaoDrawn = false;
  // Set by a glow pass that drew no glower, until the next glow pass.
  bool m_glowEmpty = false;
  // Set by a fold of the depth of field, until the film look that blends it in.
  bool m_dofFolded = false;
  std::unique_ptr<CFilmLook> m_filmLook;
  // What is missing now and has been reported (one line per resource while missing).
  std::string m_missing;
  bool m_splitClampReported = false;
  // The last (zone, count) reported as over the limit, per light type.
  uint64_t m_lightClampReport[3] = {~0ull, ~0ull, ~0ull};
};

// Swaps every resource and description field of two targets.
void SwapTargets(CRenderTarget& a, CRenderTarget& b);

}  // namespace gfx
}  // namespace vd
