#pragma once
// How the HUD pushes an element's look to its object: shader parameters of its
// renderer and the roll or height of its transform. An element without a renderer
// or transform is skipped.
#include "game/flow/hud/HudElements.h"

namespace plat {
namespace gpu {
class BaseTexture;
}
}  // namespace plat

namespace vd {
namespace hud {

// "gColor" from the element's colour.
void SetColour(const SHUDElement& element);
// "gUVOffset" (two floats).
void SetUVOffset(const SHUDElement& element, float u, float v);
// "gPosOffset" from the element's offsets.
void SetPosOffset(const SHUDElement& element);
// "gScale" from the element's scale.
void SetScale(const SHUDElement& element);
void SetAlphaRef(const SHUDElement& element, float reference);
void SetTexture(const SHUDElement& element, plat::gpu::BaseTexture* texture);
// Technique by name.
void SetTechnique(const SHUDElement& element, const char* technique);
void SetRoll(const SHUDElement& element, float radians);
// The transform's Y, X and Z kept; 0 without a transform.
float GetHeight(const SHUDElement& element);
void SetHeight(const SHUDElement& element, float y);

// The device texture of a texture known to the render manager (loaded table, then
// queued); null when it is unknown or not made yet.
plat::gpu::BaseTexture* FindTexture(const char* name);

}  // namespace hud
}  // namespace vd
