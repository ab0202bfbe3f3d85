#pragma once
// One compiled effect and the named values drawn with it.
//
// The render manager keeps one record per effect file in its shader tables; each
// renderer holds its own record that has no effect of its own but stores the
// renderer's named values, which the entry draw applies to the manager's effect.
//
// Threads. The store is written on the main thread (renderer values) and applied on
// the render thread; both, the standard-handle lookup and the handle refresh hold the
// effect-parameter lock (sys::kLockEffects). The typed setters, LoadEffect and the
// pass calls run on the render thread only and take no lock.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "engine/core/StringHash.h"
#include "platform/fx/Effect.h"
#include "platform/math/Math.h"

namespace vd {
namespace gfx {

// Indexes of the standard handles; each is looked up by the name StandardHandleName
// gives (an effect that lacks the name has handle 0 there).
enum EStandardHandle : int {
  kHMsWorldTime = 0,
  kHResWidth,
  kHResHeight,
  kHAspectRatio,
  kHWorld,
  kHWorldInv,
  kHView,
  kHProj,
  kHWorldView,
  kHViewProj,
  kHWorldViewProj,  // 10
  kHWorldCamPos,
  kHLocalCamPos,
  kHCameraFront,
  kHCameraRight,
  kHCameraUp,
  kHCameraFarMaxLength,
  kHTexture,
  kHTexDiffuse,
  kHTexTopDiffuse,
  kHTopDiffuseMap,  // 20
  kHSpecularMap,
  kHTexSpecular,
  kHNormalMap,
  kHTexNormal,
  kHAmbientLightTexture,
  kHLightmap,
  kHTexLightmap,
  kHEnvMap,
  kHWorldSunLightPos,
  kHSunLightColor,  // 30
  kHNumSunSplits,
  kHSunLightSplitZMapRes,
  kHSunLightAttenuation,
  kHSunLightViewProj,
  kHSunLightZMapTexture0,  // 35 to 40: "gSunLightZMapTexture0".."5"
  kHNumPointLights = 41,
  kHPointLightsPosW,
  kHPointLightsColor,
  kHPointLightsAttEqParams,
  kHPointLightsZMapRes,
  kHPointLightsFarPlane,
  kHPointLightsShadows,
  kHPointLightZMapCubeTexture0,  // 48 to 52: "gPointLightZMapCubeTexture0".."4"
  kHNumSpotLights = 53,
  kHSpotLightsPosW,
  kHSpotLightsDirW,
  kHSpotLightsSpotExp,
  kHSpotLightsColor,
  kHSpotLightsAttEqParams,
  kHSpotLightsViewProj,
  kHSpotLightsZMapRes,  // 60
  kHSpotLightsShadows,
  kHSpotLightZMapTexture0,  // 62 to 66: "gSpotLightZMapTexture0".."4"
  kHWLightPos = 67,
  kHParticlesDetached,
  kHSoftParticles,
  kHColorIntensityMultiplier,  // 70
  kHPSVisibilityFactor,
  kHVParticleData,
  kHDecalRadius,
  kHDecalAlpha,
  kHRadialBlurInTexture,
  kHRadialBlurStrength,
  kHRadialBlurCenter,
  kStandardHandleCount  // 78
};

// The value types of the store.
enum EShaderValueType : int {
  kShaderInt = 0,         // 4 bytes
  kShaderBool = 1,        // 1 byte
  kShaderFloat = 2,       // 4 bytes
  kShaderFloat2 = 3,      // 8 bytes
  kShaderFloat3 = 4,      // 12 bytes
  kShaderFloat4 = 5,      // 16 bytes ("gColorFactor")
  kShaderMatrix = 6,      // 64 bytes
  kShaderTexture = 7,     // the texture pointer itself (plat::gpu::BaseTexture*), not owned
  kShaderFloatArray = 8,  // element count and elements
  kShaderValueTypeCount = 9
};

class CShader {
public:
  // One stored value.
  struct SParameter {
    plat::fx::Handle handle = 0;  // in the effect of the record it was refreshed against
    int type = kShaderInt;
    uint32_t count = 0;  // elements of a float array; 0 for the other types
    // The value: the bytes of types 0 to 6 and 8 (count floats); empty for a texture.
    std::vector<uint8_t> bytes;
    plat::gpu::BaseTexture* texture = nullptr;  // type 7
  };

  CShader();
  ~CShader();
  CShader(const CShader&) = delete;
  CShader& operator=(const CShader&) = delete;

  // The exact parameter name of a standard handle; null outside 0..77.
  static const char* StandardHandleName(int index);
  // Bytes a value of the type occupies in the store (0 for texture, float array and
  // unknown types).
  static uint32_t ValueSize(int type);

  // Release, then takes the name (its hash; the text is copied) and the file name.
  void Init(const CStringHash& shaderName, const std::string& effectFile);
  // An effect, a name with text and a file name.
  bool IsValid() const;

  // Render thread: (re)creates the effect from the file with `device`. On success the
  // previous effect is released, the standard handles are looked up and the stored
  // values' handles refreshed; on failure the messages go to the log (and a message
  // box shows the compiler's text), the previous effect stays and the standard
  // handles are zeroed. False when the file name is empty or the effect cannot be made.
  bool LoadEffect(plat::gpu::Device* device);
  // The name, the effect, the technique, the begun flag, the standard handles and the
  // store all go.
  void Release();
  // The table's release step.
  void Reset() { Release(); }
  // Around a device reset: default-pool textures held by the effect are let go.
  void OnLostDevice();
  void OnResetDevice();

  // Stores a named value (main thread or render thread). `source` is the record whose
  // effect gives the handle (this record when null). Nothing when `value` is null.
  // `count` is the element count of a float array (type 8) and ignored otherwise. A
  // name keeps the type (and array size) it was first stored with: a later set with
  // another type or size is refused with a log line. False when refused.
  bool SetParameter(const CShader* source, const CStringHash& paramName, int type,
                    const void* value, uint32_t count = 0);
  // Looks every stored name up in the source's effect (handle 0 where absent); nothing
  // when the source is not valid.
  void RefreshParameterHandles(const CShader& source);
  // Render thread: sets every stored value with a handle on `target`'s effect. When
  // the handles were refreshed against another record or an earlier effect of it
  // (a reload), they are refreshed against `target` first.
  void ApplyParameters(const CShader& target);
  const SParameter* FindParameter(const CStringHash& paramName) const;
  size_t ParameterCount() const;

  // Selects the technique of that name and records it; false when the record is not
  // valid or the effect has no such technique.
  bool SetTechnique(const char* techniqueName);

  // Passes (render thread). Begin returns the pass count (0 when nothing was begun)
  // and sets the begun flag; End clears it. Each is a no-op on a record that is not
  // valid.
  uint32_t Begin(uint32_t flags = 0);
  void BeginPass(uint32_t pass);
  void CommitChanges();
  void EndPass();
  void End();

  // Typed setters (render thread): no-ops on a record that is not valid, a zero handle
  // or a name the effect does not have.
  plat::fx::Handle GetHandle(int index) const;
  plat::fx::Handle GetParameterHandle(const char* paramName) const;
  void SetBool(plat::fx::Handle h, bool value);
  void SetBool(const char* paramName, bool value);
  void SetInt(plat::fx::Handle h, int32_t value);
  void SetInt(const char* paramName, int32_t value);
  void SetFloat(plat::fx::Handle h, float value);
  void SetFloat(const char* paramName, float value);
  // As many components as the parameter has (float to float4).
  void SetVector(plat::fx::Handle h, const plat::Vec4& value);
  void SetVector(const char* paramName, const plat::Vec4& value);
  void SetMatrix(plat::fx::Handle h, const plat::Mat4& value);
  void SetMatrix(const char* paramName, const plat::Mat4& value);
  void SetFloatArray(plat::fx::Handle h, const float* values, uint32_t count);
  void SetFloatArray(const char* paramName, const float* values, uint32_t count);
  void SetMatrixArray(plat::fx::Handle h, const plat::Mat4* values, uint32_t count);
  void SetMatrixArray(const char* paramName, const plat::Mat4* values, uint32_t count);
  void SetTexture(plat::fx::Handle h, plat::gpu::BaseTexture* texture);
  void SetTexture(const char* paramName, plat::gpu::BaseTexture* texture);
  // "gLocalSunLightPos".
  void SetLocalSunLightPos(const plat::Vec4& position);

  // The standard values of one draw.
  // "gMsWorldTime", "gResWidth", "gResHeight", "gAspectRatio".
  void SetScreenValues(float clock, int width, int height);
  // "gViewProj" = view × projection and "gWorldCamPos" = (eye, 1).
  void SetCameraValues(const plat::Mat4& view, const plat::Mat4& projection,
                       const plat::Vec3& eye);
  // "gWorld", "gWorldInv", "gLocalCamPos" = (eye, 1) × WorldInv, and with a camera
  // (view and projection not null) "gWorldView" and "gWorldViewProj". Returns WorldInv
  // (the identity for a singular world matrix).
  plat::Mat4 SetObjectValues(const plat::Mat4& world, const plat::Vec3& eye,
                             const plat::Mat4* view, const plat::Mat4* projection);

  CStringHash name;      // owns its text
  std::string fileName;  // the effect file's path
  plat::fx::Effect* effect = nullptr;  // one reference held
  CStringHash technique;
  bool begun = false;
  plat::fx::Handle handles[kStandardHandleCount] = {};
  // Grows with every effect this record is given, so that records refreshed against
  // it notice a reload.
  uint32_t effectGeneration = 0;

private:
  void LookUpStandardHandles();
  void RefreshLocked(const CShader& source);

  std::map<uint32_t, SParameter> m_store;
  const CShader* m_handleSource = nullptr;
  uint32_t m_handleGeneration = 0;
};

}  // namespace gfx
}  // namespace vd
