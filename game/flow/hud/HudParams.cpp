#include "game/flow/hud/HudParams.h"

#include "engine/core/StringHash.h"
#include "engine/objects/Renderer.h"
#include "engine/objects/Transform.h"
#include "engine/render/RenderManager.h"
#include "engine/render/Shader.h"

namespace vd {
namespace hud {

namespace {

const CStringHash kColor("gColor");
const CStringHash kUVOffset("gUVOffset");
const CStringHash kPosOffset("gPosOffset");
const CStringHash kScale("gScale");
const CStringHash kAlphaRef("gAlphaRef");
const CStringHash kTexDiffuse("gTexDiffuse");

}  // namespace

void SetColour(const SHUDElement& element) {
  if (element.renderer) element.renderer->SetShaderParameter(kColor, gfx::kShaderFloat4, element.colour);
}

void SetUVOffset(const SHUDElement& element, float u, float v) {
  if (!element.renderer) return;
  const float offset[2] = {u, v};
  element.renderer->SetShaderParameter(kUVOffset, gfx::kShaderFloat2, offset);
}

void SetPosOffset(const SHUDElement& element) {
  if (!element.renderer) return;
  const float offset[2] = {element.posOffsetX, element.posOffsetY};
  element.renderer->SetShaderParameter(kPosOffset, gfx::kShaderFloat2, offset);
}

void SetScale(const SHUDElement& element) {
  if (element.renderer) element.renderer->SetShaderParameter(kScale, gfx::kShaderFloat, &element.scale);
}

void SetAlphaRef(const SHUDElement& element, float reference) {
  if (element.renderer) element.renderer->SetShaderParameter(kAlphaRef, gfx::kShaderFloat, &reference);
}

void SetTexture(const SHUDElement& element, plat::gpu::BaseTexture* texture) {
  if (element.renderer && texture)
    element.renderer->SetShaderParameter(kTexDiffuse, gfx::kShaderTexture, texture);
}

void SetTechnique(const SHUDElement& element, const char* technique) {
  if (element.renderer) element.renderer->SetTechnique(CStringHash(technique));
}

void SetRoll(const SHUDElement& element, float radians) {
  if (element.transform) element.transform->SetRoll(radians);
}

float GetHeight(const SHUDElement& element) {
  return element.transform ? element.transform->position.y : 0.0f;
}

void SetHeight(const SHUDElement& element, float y) {
  if (!element.transform) return;
  element.transform->position.y = y;
  element.transform->UpdateMatrix();
}

plat::gpu::BaseTexture* FindTexture(const char* name) {
  gfx::CRenderManager* render = gfx::CRenderManager::GetInstance();
  if (!render || !name || !name[0]) return nullptr;
  const gfx::CTexture* texture = render->FindTexture(CStringHash(name));
  return texture ? texture->GetDeviceTexture() : nullptr;
}

}  // namespace hud
}  // namespace vd
