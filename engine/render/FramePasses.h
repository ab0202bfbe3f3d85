#pragma once
// The passes of the pre- and post-pass chains that draw into targets of their own
// (depth, ambient occlusion, glow, blur, shadows, decals, the post passes and the
// film look). They live above the render manager, which calls them through this
// interface in the frame's order and only when their flags ask for them.
namespace vd {
namespace gfx {

class CRenderTarget;
class CShader;

class IFramePasses {
public:
  virtual void RenderGlow() = 0;
  virtual void RenderDecalDepth(CRenderTarget* target, int size) = 0;
  virtual void RenderLinearDepth(CRenderTarget* target, int size) = 0;
  virtual void RenderSSAO(CRenderTarget* depth, CRenderTarget* output, int width, int height) = 0;
  virtual void BlurSSAO(CRenderTarget* ssao, CRenderTarget* depth, int width, int height,
                        CRenderTarget* final, int finalWidth, int finalHeight) = 0;
  virtual void SimpleBlur(CRenderTarget* source, int width, int height, CRenderTarget* destination,
                          bool forShadows, bool throughTarget) = 0;
  virtual void RenderSunShadowMaps() = 0;
  virtual void RenderSpotShadowMaps() = 0;
  virtual void RenderPointShadowMaps() = 0;
  virtual void RenderScreenShadows(CRenderTarget* target, int size) = 0;
  virtual void RenderCameraDepth(CRenderTarget* target) = 0;
  virtual void RenderDecals(float dt, float width, float height) = 0;
  // The full-screen passes below draw the whole picture from the scene copy into the
  // current target; false when they drew nothing, which leaves that target as it was.
  virtual bool ApplyScreenShadows(CRenderTarget* sceneCopy) = 0;
  virtual bool MergeGlow(CRenderTarget* sceneCopy, CRenderTarget* glowColour,
                         CRenderTarget* glowDepth, CRenderTarget* linearDepth) = 0;
  virtual bool RenderDepthOfField(CRenderTarget* sceneCopy, int width, int height) = 0;
  virtual bool RenderRadialBlur(CRenderTarget* sceneCopy) = 0;
  virtual bool RenderFinalFX(CRenderTarget* sceneCopy, float dt) = 0;
  // Depth of field folded into the film look that draws next, for a frame that draws
  // nothing between the two: its blurred copy is made now and the film look's one
  // full-screen draw blends it in, which saves a full-screen draw and a scene copy.
  // False, with nothing drawn, where the passes cannot: the frame then draws depth
  // of field on its own.
  virtual bool FoldDepthOfFieldIntoFinalFX(CRenderTarget* sceneCopy, int width, int height) {
    (void)sceneCopy;
    (void)width;
    (void)height;
    return false;
  }
  // The light blocks of the shadow parameters, on the effect of one draw.
  virtual void SetSunLightParameters(CShader* shader) = 0;
  virtual void SetSpotLightParameters(CShader* shader) = 0;
  virtual void SetPointLightParameters(CShader* shader) = 0;

protected:
  ~IFramePasses() = default;
};

}  // namespace gfx
}  // namespace vd
