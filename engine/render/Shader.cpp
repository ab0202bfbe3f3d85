#include "engine/render/Shader.h"

#include <atomic>
#include <cstring>
#include <string>

#include "engine/core/Locks.h"
#include "engine/core/Log.h"
#include "platform/window/MessageBox.h"

namespace vd {
namespace gfx {

namespace {

const char* const kStandardNames[kStandardHandleCount] = {
    "gMsWorldTime",
    "gResWidth",
    "gResHeight",
    "gAspectRatio",
    "gWorld",
    "gWorldInv",
    "gView",
    "gProj",
    "gWorldView",
    "gViewProj",
    "gWorldViewProj",
    "gWorldCamPos",
    "gLocalCamPos",
    "gCameraFront",
    "gCameraRight",
    "gCameraUp",
    "gCamera_far_max_length",
    "gTexture",
    "gTexDiffuse",
    "gTexTopDiffuse",
    "gTopDiffuseMap",
    "gSpecularMap",
    "gTexSpecular",
    "gNormalMap",
    "gTexNormal",
    "gAmbientLightTexture",
    "gLightmap",
    "gTexLightmap",
    "gEnvMap",
    "gWorldSunLightPos",
    "gSunLightColor",
    "gNumSunSplits",
    "gSunLightSplitZMapRes",
    "gSunLightAttenuation",
    "gSunLightViewProj",
    "gSunLightZMapTexture0",
    "gSunLightZMapTexture1",
    "gSunLightZMapTexture2",
    "gSunLightZMapTexture3",
    "gSunLightZMapTexture4",
    "gSunLightZMapTexture5",
    "gNumPointLights",
    "gPointLightsPosW",
    "gPointLightsColor",
    "gPointLightsAttEqParams",
    "gPointLightsZMapRes",
    "gPointLightsFarPlane",
    "gPointLightsShadows",
    "gPointLightZMapCubeTexture0",
    "gPointLightZMapCubeTexture1",
    "gPointLightZMapCubeTexture2",
    "gPointLightZMapCubeTexture3",
    "gPointLightZMapCubeTexture4",
    "gNumSpotLights",
    "gSpotLightsPosW",
    "gSpotLightsDirW",
    "gSpotLightsSpotExp",
    "gSpotLightsColor",
    "gSpotLightsAttEqParams",
    "gSpotLightsViewProj",
    "gSpotLightsZMapRes",
    "gSpotLightsShadows",
    "gSpotLightZMapTexture0",
    "gSpotLightZMapTexture1",
    "gSpotLightZMapTexture2",
    "gSpotLightZMapTexture3",
    "gSpotLightZMapTexture4",
    "gWLightPos",
    "gParticlesDetached",
    "gSoftParticles",
    "gColorIntensityMultiplier",
    "gPSVisibilityFactor",
    "gVParticleData",
    "gDecalRadius",
    "gDecalAlpha",
    "gRadialBlurInTexture",
    "gRadialBlurStrength",
    "gRadialBlurCenter",
};

// Every effect a record is given gets a number never used before, so that a record
// refreshed against another notices a reload (or a new record at the same address).
std::atomic<uint32_t> g_nextGeneration{1};

plat::fx::Handle HandleByHash(const plat::fx::Effect& fx, uint32_t hash) {
  for (plat::fx::Handle h = 1;; ++h) {
    const plat::fx::ParameterDesc* desc = fx.GetParameterDesc(h);
    if (!desc) return 0;
    if (CStringHash(desc->name.c_str()).GetHash() == hash) return h;
  }
}

}  // namespace

CShader::CShader() = default;

CShader::~CShader() { Release(); }

const char* CShader::StandardHandleName(int index) {
  return index >= 0 && index < kStandardHandleCount ? kStandardNames[index] : nullptr;
}

uint32_t CShader::ValueSize(int type) {
  switch (type) {
    case kShaderInt:
    case kShaderFloat:
      return 4;
    case kShaderBool:
      return 1;
    case kShaderFloat2:
      return 8;
    case kShaderFloat3:
      return 12;
    case kShaderFloat4:
      return 16;
    case kShaderMatrix:
      return 64;
    default:
      return 0;
  }
}

void CShader::Init(const CStringHash& shaderName, const std::string& effectFile) {
  Release();
  name = shaderName;
  if (name.GetText()) {
    name.MakeOwned();
  } else {
    name = CStringHash();
  }
  fileName = effectFile;
}

bool CShader::IsValid() const {
  return effect != nullptr && name.GetText() != nullptr && !fileName.empty();
}

bool CShader::LoadEffect(plat::gpu::Device* device) {
  if (fileName.empty()) return false;
  std::string errors;
  plat::fx::Effect* made = nullptr;
  const plat::gpu::HResult hr =
      plat::fx::Effect::CreateFromFile(device, fileName, &made, &errors);
  if (plat::gpu::Succeeded(hr) && made) {
    if (effect) effect->Release();
    effect = made;
    effectGeneration = g_nextGeneration.fetch_add(1);
    technique = CStringHash();
    begun = false;
    LookUpStandardHandles();
    RefreshParameterHandles(*this);
    return true;
  }
  if (hr == plat::gpu::kErrInvalidCall) {
    utl::LogPrintf("Shader reloading: Invalid call\n");
    utl::LogPrintf("Effect %s: %s\n", fileName.c_str(),
                   errors.empty() ? "no device to create it with" : errors.c_str());
  } else if (hr == plat::fx::kErrInvalidData) {
    // A missing or malformed file: logged only, since a dialog nobody answers would
    // hold the render thread.
    utl::LogPrintf("Shader reloading: Invalid data\n");
    utl::LogPrintf("Effect %s: %s\n", fileName.c_str(), errors.c_str());
  } else {
    utl::LogPrintf("Shader reloading: Error compiling %s:\n%s\n", fileName.c_str(),
                   errors.c_str());
    plat::MessageBox(nullptr, errors.c_str(), fileName.c_str(), plat::kMbOk);
  }
  if (made) made->Release();
  for (plat::fx::Handle& h : handles) h = 0;
  return false;
}

void CShader::Release() {
  name = CStringHash();
  if (effect) {
    if (begun) effect->End();
    effect->Release();
    effect = nullptr;
  }
  technique = CStringHash();
  begun = false;
  for (plat::fx::Handle& h : handles) h = 0;
  sys::CScopedLock lock(sys::kLockEffects);
  m_store.clear();
  m_handleSource = nullptr;
  m_handleGeneration = 0;
}

void CShader::OnLostDevice() {
  if (effect) effect->OnLostDevice();
}

void CShader::OnResetDevice() {
  if (effect) effect->OnResetDevice();
}

void CShader::LookUpStandardHandles() {
  sys::CScopedLock lock(sys::kLockEffects);
  for (int i = 0; i < kStandardHandleCount; ++i)
    handles[i] = effect ? effect->GetParameterByName(kStandardNames[i]) : 0;
}

// --- The store ---------------------------------------------------------------------

bool CShader::SetParameter(const CShader* source, const CStringHash& paramName, int type,
                           const void* value, uint32_t count) {
  if (!value) return false;
  if (type < 0 || type >= kShaderValueTypeCount) {
    utl::LogPrintf("Shader %s: parameter %s has the unknown value type %d\n", name.c_str(),
                   paramName.c_str(), type);
    return false;
  }
  if (type != kShaderFloatArray) count = 0;
  const CShader& from = source ? *source : *this;
  sys::CScopedLock lock(sys::kLockEffects);
  auto it = m_store.find(paramName.GetHash());
  if (it == m_store.end()) {
    SParameter parameter;
    parameter.type = type;
    parameter.count = count;
    if (from.IsValid()) parameter.handle = HandleByHash(*from.effect, paramName.GetHash());
    if (type == kShaderTexture) {
      parameter.texture =
          static_cast<plat::gpu::BaseTexture*>(const_cast<void*>(value));
    } else {
      const uint32_t size = type == kShaderFloatArray ? count * 4u : ValueSize(type);
      const uint8_t* bytes = static_cast<const uint8_t*>(value);
      parameter.bytes.assign(bytes, bytes + size);
    }
    m_store.emplace(paramName.GetHash(), std::move(parameter));
    return true;
  }
  SParameter& parameter = it->second;
  if (parameter.type != type || parameter.count != count) {
    // The storage was sized for the first type: another one would be cut or overrun.
    utl::LogPrintf(
        "Shader %s: parameter %s is stored as type %d (%u elements); a set as type %d (%u "
        "elements) is refused\n",
        name.c_str(), paramName.c_str(), parameter.type, parameter.count, type, count);
    return false;
  }
  if (type == kShaderTexture) {
    parameter.texture = static_cast<plat::gpu::BaseTexture*>(const_cast<void*>(value));
  } else {
    std::memcpy(parameter.bytes.data(), value, parameter.bytes.size());
  }
  return true;
}

void CShader::RefreshLocked(const CShader& source) {
  for (auto& entry : m_store) entry.second.handle = 0;
  m_handleSource = &source;
  m_handleGeneration = source.effectGeneration;
  if (!source.IsValid()) return;
  // The store keys by hash (names compare without case), so the effect's names are
  // hashed and looked up, not the other way round.
  const plat::fx::Effect& fx = *source.effect;
  for (plat::fx::Handle h = 1;; ++h) {
    const plat::fx::ParameterDesc* desc = fx.GetParameterDesc(h);
    if (!desc) break;
    auto it = m_store.find(CStringHash(desc->name.c_str()).GetHash());
    if (it != m_store.end()) it->second.handle = h;
  }
}

void CShader::RefreshParameterHandles(const CShader& source) {
  sys::CScopedLock lock(sys::kLockEffects);
  if (!source.IsValid()) return;
  RefreshLocked(source);
}

void CShader::ApplyParameters(const CShader& target) {
  if (!target.IsValid()) return;
  sys::CScopedLock lock(sys::kLockEffects);
  if (m_handleSource != &target || m_handleGeneration != target.effectGeneration)
    RefreshLocked(target);
  plat::fx::Effect& fx = *target.effect;
  for (const auto& entry : m_store) {
    const SParameter& p = entry.second;
    if (p.handle == 0) continue;
    switch (p.type) {
      case kShaderInt: {
        int32_t v;
        std::memcpy(&v, p.bytes.data(), 4);
        fx.SetInt(p.handle, v);
        break;
      }
      case kShaderBool:
        fx.SetBool(p.handle, p.bytes[0] != 0);
        break;
      case kShaderFloat: {
        float v;
        std::memcpy(&v, p.bytes.data(), 4);
        fx.SetFloat(p.handle, v);
        break;
      }
      case kShaderFloat2:
      case kShaderFloat3:
      case kShaderFloat4:
        fx.SetValue(p.handle, p.bytes.data(), static_cast<uint32_t>(p.bytes.size()));
        break;
      case kShaderMatrix: {
        plat::Mat4 m;
        std::memcpy(m.Data(), p.bytes.data(), 64);
        fx.SetMatrix(p.handle, m);
        break;
      }
      case kShaderTexture:
        fx.SetTexture(p.handle, p.texture);
        break;
      case kShaderFloatArray:
        if (p.count > 0)
          fx.SetFloatArray(p.handle, reinterpret_cast<const float*>(p.bytes.data()), p.count);
        break;
      default:
        break;
    }
  }
}

const CShader::SParameter* CShader::FindParameter(const CStringHash& paramName) const {
  sys::CScopedLock lock(sys::kLockEffects);
  auto it = m_store.find(paramName.GetHash());
  return it == m_store.end() ? nullptr : &it->second;
}

size_t CShader::ParameterCount() const {
  sys::CScopedLock lock(sys::kLockEffects);
  return m_store.size();
}

// --- Techniques and passes ------------------------------------------------------------

bool CShader::SetTechnique(const char* techniqueName) {
  if (!IsValid() || !techniqueName) return false;
  const plat::fx::Handle h = effect->GetTechniqueByName(techniqueName);
  if (h == 0 || plat::gpu::Failed(effect->SetTechnique(h))) return false;
  technique = CStringHash(techniqueName);
  return true;
}

uint32_t CShader::Begin(uint32_t flags) {
  if (!IsValid() || begun) return 0;
  uint32_t passes = 0;
  if (plat::gpu::Failed(effect->Begin(&passes, flags))) return 0;
  begun = true;
  return passes;
}

void CShader::BeginPass(uint32_t pass) {
  if (IsValid() && begun) effect->BeginPass(pass);
}

void CShader::CommitChanges() {
  if (IsValid() && begun) effect->CommitChanges();
}

void CShader::EndPass() {
  if (IsValid() && begun) effect->EndPass();
}

void CShader::End() {
  if (!IsValid() || !begun) return;
  effect->End();
  begun = false;
}

// --- Typed setters -------------------------------------------------------------------

plat::fx::Handle CShader::GetHandle(int index) const {
  return IsValid() && index >= 0 && index < kStandardHandleCount ? handles[index] : 0;
}

plat::fx::Handle CShader::GetParameterHandle(const char* paramName) const {
  return IsValid() && paramName ? effect->GetParameterByName(paramName) : 0;
}

void CShader::SetBool(plat::fx::Handle h, bool value) {
  if (IsValid() && h) effect->SetBool(h, value);
}
void CShader::SetBool(const char* paramName, bool value) {
  SetBool(GetParameterHandle(paramName), value);
}
void CShader::SetInt(plat::fx::Handle h, int32_t value) {
  if (IsValid() && h) effect->SetInt(h, value);
}
void CShader::SetInt(const char* paramName, int32_t value) {
  SetInt(GetParameterHandle(paramName), value);
}
void CShader::SetFloat(plat::fx::Handle h, float value) {
  if (IsValid() && h) effect->SetFloat(h, value);
}
void CShader::SetFloat(const char* paramName, float value) {
  SetFloat(GetParameterHandle(paramName), value);
}
void CShader::SetVector(plat::fx::Handle h, const plat::Vec4& value) {
  if (IsValid() && h) effect->SetVector(h, value);
}
void CShader::SetVector(const char* paramName, const plat::Vec4& value) {
  SetVector(GetParameterHandle(paramName), value);
}
void CShader::SetMatrix(plat::fx::Handle h, const plat::Mat4& value) {
  if (IsValid() && h) effect->SetMatrix(h, value);
}
void CShader::SetMatrix(const char* paramName, const plat::Mat4& value) {
  SetMatrix(GetParameterHandle(paramName), value);
}
void CShader::SetFloatArray(plat::fx::Handle h, const float* values, uint32_t count) {
  if (IsValid() && h && values) effect->SetFloatArray(h, values, count);
}
void CShader::SetFloatArray(const char* paramName, const float* values, uint32_t count) {
  SetFloatArray(GetParameterHandle(paramName), values, count);
}
void CShader::SetMatrixArray(plat::fx::Handle h, const plat::Mat4* values, uint32_t count) {
  if (IsValid() && h && values) effect->SetMatrixArray(h, values, count);
}
void CShader::SetMatrixArray(const char* paramName, const plat::Mat4* values, uint32_t count) {
  SetMatrixArray(GetParameterHandle(paramName), values, count);
}
void CShader::SetTexture(plat::fx::Handle h, plat::gpu::BaseTexture* texture) {
  if (IsValid() && h) effect->SetTexture(h, texture);
}
void CShader::SetTexture(const char* paramName, plat::gpu::BaseTexture* texture) {
  SetTexture(GetParameterHandle(paramName), texture);
}
void CShader::SetLocalSunLightPos(const plat::Vec4& position) {
  SetVector("gLocalSunLightPos", position);
}

// --- Standard values ------------------------------------------------------------------

void CShader::SetScreenValues(float clock, int width, int height) {
  if (!IsValid()) return;
  SetFloat(handles[kHMsWorldTime], clock);
  SetInt(handles[kHResWidth], width);
  SetInt(handles[kHResHeight], height);
  SetFloat(handles[kHAspectRatio], height != 0 ? float(width) / float(height) : 1.0f);
}

void CShader::SetCameraValues(const plat::Mat4& view, const plat::Mat4& projection,
                              const plat::Vec3& eye) {
  if (!IsValid()) return;
  SetMatrix(handles[kHViewProj], plat::Multiply(view, projection));
  SetVector(handles[kHWorldCamPos], plat::Vec4(eye.x, eye.y, eye.z, 1.0f));
}

plat::Mat4 CShader::SetObjectValues(const plat::Mat4& world, const plat::Vec3& eye,
                                    const plat::Mat4* view, const plat::Mat4* projection) {
  plat::Mat4 worldInv;
  if (!plat::Inverse(world, worldInv)) worldInv = plat::Mat4::Identity();
  if (!IsValid()) return worldInv;
  SetMatrix(handles[kHWorld], world);
  SetMatrix(handles[kHWorldInv], worldInv);
  SetVector(handles[kHLocalCamPos], plat::Transform(plat::Vec4(eye.x, eye.y, eye.z, 1.0f), worldInv));
  if (view && projection) {
    const plat::Mat4 worldView = plat::Multiply(world, *view);
    SetMatrix(handles[kHWorldView], worldView);
    SetMatrix(handles[kHWorldViewProj], plat::Multiply(worldView, *projection));
  }
  return worldInv;
}

}  // namespace gfx
}  // namespace vd
