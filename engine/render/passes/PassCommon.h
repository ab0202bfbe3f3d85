#pragma once
// Setting effect values by name: a parameter the effect does not declare is skipped.
#include "platform/fx/Effect.h"
#include "platform/math/Math.h"

namespace vd {
namespace gfx {
namespace fxset {

inline void Bool(plat::fx::Effect* e, const char* name, bool v) {
  if (plat::fx::Handle h = e->GetParameterByName(name)) e->SetBool(h, v);
}
inline void Float(plat::fx::Effect* e, const char* name, float v) {
  if (plat::fx::Handle h = e->GetParameterByName(name)) e->SetFloat(h, v);
}
inline void Float2(plat::fx::Effect* e, const char* name, float x, float y) {
  if (plat::fx::Handle h = e->GetParameterByName(name)) e->SetVector(h, plat::Vec4(x, y, 0, 0));
}
inline void Float3(plat::fx::Effect* e, const char* name, float x, float y, float z) {
  if (plat::fx::Handle h = e->GetParameterByName(name)) e->SetVector(h, plat::Vec4(x, y, z, 0));
}
inline void Float4(plat::fx::Effect* e, const char* name, const plat::Vec4& v) {
  if (plat::fx::Handle h = e->GetParameterByName(name)) e->SetVector(h, v);
}
inline void Floats(plat::fx::Effect* e, const char* name, const float* v, uint32_t count) {
  if (plat::fx::Handle h = e->GetParameterByName(name)) e->SetFloatArray(h, v, count);
}
inline void Matrix(plat::fx::Effect* e, const char* name, const plat::Mat4& m) {
  if (plat::fx::Handle h = e->GetParameterByName(name)) e->SetMatrix(h, m);
}
inline void Matrices(plat::fx::Effect* e, const char* name, const plat::Mat4* m, uint32_t count) {
  if (plat::fx::Handle h = e->GetParameterByName(name)) e->SetMatrixArray(h, m, count);
}
// A null texture leaves the value as it was.
inline void Texture(plat::fx::Effect* e, const char* name, plat::gpu::BaseTexture* t) {
  if (!t) return;
  if (plat::fx::Handle h = e->GetParameterByName(name)) e->SetTexture(h, t);
}

}  // namespace fxset
}  // namespace gfx
}  // namespace vd
