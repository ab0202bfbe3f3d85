#pragma once
// Effects: "Data/shaders/<name>.fxo" files in our own XML format, driven through the
// effect model the renderer is written against (parameter handles, techniques,
// Begin/BeginPass/CommitChanges/EndPass/End). The GL side goes through platform/gpu,
// so an effect runs the same way on the recording back end.
//
// File format:
//
//   <effect>
//     <parameter name="gWorldViewProj" type="float4x4"/>
//     <parameter name="gColor" type="float4" default="1 1 1 1"/>
//     <parameter name="gLightsPos" type="float4" count="4"/>
//     <parameter name="gBones" type="float4" count="240" buffer="true"/>
//     <parameter name="gTexDiffuse" type="texture"/>
//     <sampler name="sDiffuse" type="2d" texture="gTexDiffuse">
//       <state name="MinFilter" value="Linear"/>
//       <state name="AddressU" value="Clamp"/>
//     </sampler>
//     <technique name="basic">
//       <pass name="p0">
//         <state name="AlphaBlendEnable" value="true"/>
//         <state name="SrcBlend" value="SrcAlpha"/>
//         <vertex>...GLSL...</vertex>
//         <fragment>...GLSL...</fragment>
//       </pass>
//     </technique>
//   </effect>
//
// Parameter types: bool, int, float, float2, float3, float4, float4x4, texture; "count"
// makes an array. A single bool with static="true" is compiled into the programs, as
// Direct3D 9 branches on bool constants statically: a pass gets a program for each
// combination of the static bools it reads (at most 8), made when it is first drawn
// with it, so that a software rasteriser does not run the code those values switch
// off. For values that hold for many draws (a material's maps, a pass switched on);
// one that changes with every draw would build programs mid-frame. An array with buffer="true"
// (float, float4 or float4x4) lives in a uniform buffer (std140 block "<name>Block" with one member
// "<name>": a float array is packed four floats to a vec4), which is how the 960-float bone palette
// travels.
//
// The GLSL of a pass is the body of a "#version 330 core" shader: the layer puts the
// uniform declarations of every parameter and sampler in front of it, and, for vertex
// shaders, the fixed attribute locations (HM_ATTR_*, see platform/gpu). A fragment
// shader writes `oColor`. Matrices arrive as the math library stores them (rows as GLSL
// columns), so `gWorldViewProj * vec4(p, 1.0)` is Direct3D's mul(p, gWorldViewProj).
// The alpha test (render states AlphaTestEnable, AlphaFunc, AlphaRef, set by a pass or
// by the renderer) is carried out in the fragment shader with `discard`.
//
// Pass render states use Direct3D's names (AlphaBlendEnable, SrcBlend, DestBlend,
// BlendOp, SeparateAlphaBlendEnable, SrcBlendAlpha, DestBlendAlpha, BlendOpAlpha,
// ZEnable, ZWriteEnable, ZFunc, CullMode, ColorWriteEnable, AlphaTestEnable, AlphaRef,
// AlphaFunc, FillMode, StencilEnable, StencilFunc, StencilRef, StencilMask,
// StencilWriteMask, StencilFail, StencilZFail, StencilPass, ScissorTestEnable,
// DepthBias, SlopeScaleDepthBias) and values (true/false, numbers, or names such as
// SrcAlpha, InvSrcAlpha, One, None, CW, CCW, LessEqual, Always; case does not matter).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/gpu/Device.h"
#include "platform/math/Math.h"

namespace plat {
namespace fx {

using gpu::HResult;
// The effect compiler's "invalid data" result (a malformed or missing effect file).
constexpr HResult kErrInvalidData = static_cast<HResult>(0x88760B59u);

// A parameter or technique handle: 0 means none.
using Handle = uint32_t;

enum class ParamType { Bool, Int, Float, Float2, Float3, Float4, Float4x4, Texture };

struct ParameterDesc {
  std::string name;
  ParamType type = ParamType::Float;
  uint32_t count = 0;  // 0: not an array
  bool buffer = false;
  bool isStatic = false;  // a bool compiled into the programs
};

// Begin flags.
constexpr uint32_t kDoNotSaveState = 0x1;

class Effect : public gpu::Unknown {
public:
  // Reads and builds an effect. kOk; kErrInvalidCall for a null device or result or an
  // empty path; kErrInvalidData for a missing or malformed file (the reason in
  // `errors`); kErrFail when a shader does not compile or link (the compiler's text in
  // `errors`). On failure `*out` is null.
  static HResult CreateFromFile(gpu::Device* device, const std::string& path, Effect** out,
                                std::string* errors);
  // As CreateFromFile over text in memory; `name` names the effect in messages and logs.
  static HResult CreateFromMemory(gpu::Device* device, const char* text, size_t size,
                                  const std::string& name, Effect** out, std::string* errors);

  const std::string& Name() const { return m_name; }

  // -- handles (any thread: they never change after creation) --
  Handle GetParameterByName(const char* name) const;
  Handle GetTechniqueByName(const char* name) const;
  // Null for an unknown handle.
  const ParameterDesc* GetParameterDesc(Handle parameter) const;
  uint32_t TechniqueCount() const;
  uint32_t PassCount(Handle technique) const;

  // -- techniques and passes (render thread) --
  HResult SetTechnique(Handle technique);
  HResult SetTechnique(const char* name) { return SetTechnique(GetTechniqueByName(name)); }
  Handle GetCurrentTechnique() const { return m_current; }
  // Opens the current technique: `*passes` gets its pass count. Unless kDoNotSaveState
  // is given, End restores the render and sampler states that the passes change.
  HResult Begin(uint32_t* passes, uint32_t flags);
  // Sets the pass's program, render states, textures, samplers and every parameter.
  HResult BeginPass(uint32_t pass);
  // Sends the values changed since BeginPass (or the last commit) to the open pass.
  HResult CommitChanges();
  HResult EndPass();
  HResult End();

  // -- values (one thread at a time; values set inside a pass reach the draw at
  //    CommitChanges, others at the next BeginPass). kErrInvalidCall for an unknown
  //    handle or a value of the wrong kind; nothing is ever written past a
  //    parameter's storage. --
  HResult SetBool(Handle h, bool value);
  HResult SetInt(Handle h, int32_t value);
  HResult SetFloat(Handle h, float value);
  // Float, float2, float3 or float4 (array: the first element): as many components as fit.
  HResult SetVector(Handle h, const Vec4& value);
  HResult SetMatrix(Handle h, const Mat4& value);
  // Any float parameter: the first min(count, size) floats.
  HResult SetFloatArray(Handle h, const float* values, uint32_t count);
  HResult SetVectorArray(Handle h, const Vec4* values, uint32_t count);
  HResult SetMatrixArray(Handle h, const Mat4* values, uint32_t count);
  HResult SetIntArray(Handle h, const int32_t* values, uint32_t count);
  // Raw bytes (floats or 32-bit ints) up to the parameter's size.
  HResult SetValue(Handle h, const void* data, uint32_t bytes);
  // Keeps a reference to the texture until it is replaced or the effect goes.
  HResult SetTexture(Handle h, gpu::BaseTexture* texture);
  // The stored value: 32-bit words (floats, or ints for bool and int); empty for a
  // texture or an unknown handle.
  std::vector<uint32_t> GetRawValue(Handle h) const;
  gpu::BaseTexture* GetTexture(Handle h) const;

  // Device reset: default-pool textures held by parameters are let go before the reset
  // (they would keep it from succeeding); the renderer sets them again afterwards.
  HResult OnLostDevice();
  HResult OnResetDevice();

  struct Impl;

protected:
  Effect() = default;
  ~Effect() override;

private:
  struct Parameter;
  struct Sampler;
  struct Variant;
  struct Pass;
  struct Technique;
  struct StateValue {
    uint32_t state, value;
  };
  struct SamplerStateValue {
    uint32_t sampler, state, value;
  };

  Parameter* Find(Handle h);
  const Parameter* Find(Handle h) const;
  HResult WriteWords(Handle h, const void* words, uint32_t wordCount, bool floats, uint32_t stride,
                     uint32_t elementWords);
  bool PrepareVariant(Variant& variant);
  void Upload(Variant& variant, bool onlyDirty);
  void UploadAlphaTest(Variant& variant, bool onlyChanged);
  // The pass's static bools as they are now.
  uint32_t StaticKey(const Pass& pass) const;
  // The program of the pass for `key`, built at first use; null when it does not build.
  Variant* VariantFor(Pass& pass, uint32_t key, std::string* log, HResult* result);
  // Makes `variant` the pass's program and sends it every value.
  void Bind(Pass& pass, Variant& variant);
  // Compiles and links the program of every pass for the static bools' defaults.
  HResult BuildPrograms(std::string* errors);

  gpu::Device* m_device = nullptr;
  std::string m_name;
  std::vector<Parameter> m_parameters;
  std::vector<Sampler> m_samplers;
  std::vector<Technique> m_techniques;
  Handle m_current = 0;
  bool m_begun = false;
  bool m_saveState = true;
  int m_pass = -1;
  std::vector<StateValue> m_savedStates;
  std::vector<SamplerStateValue> m_savedSamplerStates;
  std::vector<gpu::UniformBuffer*> m_buffers;  // one per buffer parameter, made at first use
  friend struct Impl;
};

}  // namespace fx
}  // namespace plat
