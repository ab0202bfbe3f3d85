#pragma once
// The passes that fill the off-screen targets and the post passes of a frame, as
// the render manager calls them. They live above the render manager (they read
// the lights), so the manager reaches them through this interface; without an
// implementation set, each of its pass calls draws nothing.
namespace vd {
namespace gfx {

class CRenderTarget;
class CShader;

class ILaterPasses {
public:
  virtual void RenderGlow() = 0;
  virtual void RenderDecalDepth(CRenderTarget* target, int size) = 0;
  virtual void RenderLinearDepth(CRenderTarget* target, int size) = 0;
  virtual void RenderSSAO(CRenderTarget* depth, CRenderTarget* output, int width, int height) = 0;
  virtual void BlurSSAO(CRenderTarget* ssao, CRenderTarget* depth, int width, int height,
                        CRenderTarget* final, int finalWidth, int finalHeight) = 0;
  virtual void SimpleBlur(CRenderTarget* source, int width, int height,
                          CRenderTarget* destination, bool forShadows, bool throughTarget) = 0;
  virtual void RenderSunShadowMaps() = 0;
  virtual void RenderSpotShadowMaps() = 0;
  virtual void RenderPointShadowMaps() = 0;
  virtual void RenderScreenShadows(CRenderTarget* target, int size) = 0;
  virtual void RenderCameraDepth(CRenderTarget* target) = 0;
  virtual void ApplyScreenShadows(CRenderTarget* sceneCopy) = 0;
  virtual void MergeGlow(CRenderTarget* sceneCopy, CRenderTarget* glowColour,
                         CRenderTarget* glowDepth, CRenderTarget* linearDepth) = 0;
  virtual void RenderDepthOfField(CRenderTarget* sceneCopy, int width, int height) = 0;
  virtual void RenderRadialBlur(CRenderTarget* sceneCopy) = 0;
  virtual void RenderFinalFX(CRenderTarget* sceneCopy, float dt) = 0;
  virtual void SetSunLightParameters(CShader* shader) = 0;
  virtual void SetSpotLightParameters(CShader* shader) = 0;
  virtual void SetPointLightParameters(CShader* shader) = 0;
  virtual void OnLostDevice() = 0;
  virtual void OnResetDevice() = 0;

protected:
  ~ILaterPasses() = default;
};

}  // namespace gfx
}  // namespace vd
