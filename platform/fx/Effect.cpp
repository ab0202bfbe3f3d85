// The effect runtime: techniques, passes, parameter values and their upload.
#include "platform/fx/Effect.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/fs/FileSystem.h"
#include "platform/fx/EffectInternal.h"

namespace plat {
namespace fx {

using namespace gpu;

// ---------------------------------------------------------------------------------
// Creation.
namespace {
const char* const kVersionLine = "#version 330 core\n";

// GLSL takes "#extension" only before the first declaration, and the runtime puts the
// parameters' declarations ahead of a pass's own text: its extension lines move up
// to just after the version line, each leaving an empty line behind so that the
// compiler's line numbers still point into the file.
std::string WithExtensionsFirst(const std::string& values, const std::string& source) {
  std::string extensions, rest;
  size_t start = 0;
  while (start < source.size()) {
    size_t end = source.find('\n', start);
    end = end == std::string::npos ? source.size() : end + 1;
    const size_t text = source.find_first_not_of(" \t", start);
    if (text < end && source.compare(text, 10, "#extension") == 0) {
      extensions.append(source, start, end - start);
      rest += '\n';
    } else {
      rest.append(source, start, end - start);
    }
    start = end;
  }
  if (!extensions.empty() && extensions.back() != '\n') extensions += '\n';
  return kVersionLine + extensions + values + rest;
}
}  // namespace

uint32_t Effect::StaticKey(const Pass& pass) const {
  uint32_t key = 0;
  for (size_t i = 0; i < pass.staticBools.size(); ++i)
    if (m_parameters[pass.staticBools[i]].words[0] != 0) key |= 1u << i;
  return key;
}

Effect::Variant* Effect::VariantFor(Pass& pass, uint32_t key, std::string* log, HResult* result) {
  for (Variant& v : pass.variants)
    if (v.key == key) return v.program ? &v : nullptr;
  std::string values;
  for (size_t i = 0; i < pass.staticBools.size(); ++i)
    values += "#define HM_STATIC_" + m_parameters[pass.staticBools[i]].desc.name +
              ((key >> i) & 1u ? " true\n" : " false\n");
  const std::string vertex = WithExtensionsFirst(values, pass.vertex);
  const std::string fragment = WithExtensionsFirst(values, pass.fragment);
  Variant v;
  v.key = key;
  const HResult hr = m_device->CreateProgram(vertex.c_str(), fragment.c_str(), &v.program, log);
  if (result) *result = hr;
  if (Failed(hr) && v.program) {
    if (log && log->empty()) *log = v.program->InfoLog();
    v.program->Release();
    v.program = nullptr;
  }
  // A combination that does not build is remembered as such, not tried again each draw.
  // (Every program of a pass compiles the same text, so one that built at load and
  // one that does not later would take running out of resources.)
  pass.variants.push_back(std::move(v));
  return pass.variants.back().program ? &pass.variants.back() : nullptr;
}

HResult Effect::BuildPrograms(std::string* errors) {
  for (Technique& t : m_techniques)
    for (size_t i = 0; i < t.passes.size(); ++i) {
      Pass& pass = t.passes[i];
      std::string log;
      HResult hr = kOk;
      if (!VariantFor(pass, StaticKey(pass), &log, &hr)) {
        if (errors)
          *errors = m_name + ": technique " + t.name + " pass " + std::to_string(i) +
                    " does not compile:\n" + log;
        return hr == kErrInvalidCall ? kErrInvalidCall : kErrFail;
      }
    }
  return kOk;
}

HResult Effect::CreateFromMemory(Device* device, const char* text, size_t size,
                                 const std::string& name, Effect** out, std::string* errors) {
  if (out) *out = nullptr;
  if (!device || !out || !text) {
    if (errors) *errors = name + ": invalid call";
    return kErrInvalidCall;
  }
  std::vector<char> buffer(text, text + size);
  buffer.push_back('\0');
  if (std::memchr(text, '\0', size)) {
    if (errors) *errors = name + ": the file holds a zero byte";
    return kErrInvalidData;
  }

  Effect* e = new Effect();
  e->m_name = name;
  e->m_device = device;
  device->AddRef();
  HResult hr = ParseEffect(*e, buffer.data(), errors);
  if (Succeeded(hr)) hr = e->BuildPrograms(errors);
  if (Failed(hr)) {
    e->Release();
    return hr;
  }
  e->m_current = kTechniqueBit | 1u;
  *out = e;
  return kOk;
}

HResult Effect::CreateFromFile(Device* device, const std::string& path, Effect** out,
                               std::string* errors) {
  if (out) *out = nullptr;
  if (!device || !out || path.empty()) {
    if (errors) *errors = path + ": invalid call";
    return kErrInvalidCall;
  }
  std::vector<char> data;
  fs::FileStatus status;
  if (!fs::ReadFile(path, data, &status)) {
    if (errors) *errors = path + ": file " + fs::Describe(status);
    return kErrInvalidData;
  }
  return CreateFromMemory(device, data.data(), data.size(), path, out, errors);
}

Effect::~Effect() {
  for (Parameter& p : m_parameters)
    if (p.texture) p.texture->Release();
  for (Technique& t : m_techniques)
    for (Pass& pass : t.passes)
      for (Variant& v : pass.variants)
        if (v.program) v.program->Release();
  for (UniformBuffer* b : m_buffers)
    if (b) b->Release();
  if (m_device) m_device->Release();
}

// --- handles ---

Handle Effect::GetParameterByName(const char* name) const {
  if (!name) return 0;
  for (size_t i = 0; i < m_parameters.size(); ++i)
    if (m_parameters[i].desc.name == name) return Handle(i + 1);
  return 0;
}

Handle Effect::GetTechniqueByName(const char* name) const {
  if (!name) return 0;
  for (size_t i = 0; i < m_techniques.size(); ++i)
    if (m_techniques[i].name == name) return kTechniqueBit | Handle(i + 1);
  return 0;
}

Effect::Parameter* Effect::Find(Handle h) {
  return (h == 0 || h > m_parameters.size()) ? nullptr : &m_parameters[h - 1];
}
const Effect::Parameter* Effect::Find(Handle h) const {
  return (h == 0 || h > m_parameters.size()) ? nullptr : &m_parameters[h - 1];
}

const ParameterDesc* Effect::GetParameterDesc(Handle h) const {
  const Parameter* p = Find(h);
  return p ? &p->desc : nullptr;
}

uint32_t Effect::TechniqueCount() const { return uint32_t(m_techniques.size()); }

uint32_t Effect::PassCount(Handle technique) const {
  if (!(technique & kTechniqueBit)) return 0;
  const Handle i = technique & ~kTechniqueBit;
  return (i == 0 || i > m_techniques.size()) ? 0 : uint32_t(m_techniques[i - 1].passes.size());
}

// --- techniques and passes ---

HResult Effect::SetTechnique(Handle technique) {
  if (m_begun || PassCount(technique) == 0) return kErrInvalidCall;
  m_current = technique;
  return kOk;
}

HResult Effect::Begin(uint32_t* passes, uint32_t flags) {
  if (m_begun) return kErrInvalidCall;
  Technique& t = m_techniques[(m_current & ~kTechniqueBit) - 1];
  m_begun = true;
  m_pass = -1;
  m_saveState = !(flags & kDoNotSaveState);
  m_savedStates.clear();
  m_savedSamplerStates.clear();
  if (m_saveState) {
    // Everything any pass of the technique may change, read back before the first pass.
    std::vector<uint32_t> states;
    for (const Pass& p : t.passes)
      for (const StateValue& s : p.states)
        if (std::find(states.begin(), states.end(), s.state) == states.end())
          states.push_back(s.state);
    for (uint32_t s : states) {
      uint32_t value = 0;
      if (Succeeded(m_device->GetRenderState(s, &value))) m_savedStates.push_back({s, value});
    }
    for (size_t i = 0; i < m_samplers.size(); ++i)
      for (const StateValue& s : m_samplers[i].states) {
        uint32_t value = 0;
        if (Succeeded(m_device->GetSamplerState(uint32_t(i), s.state, &value)))
          m_savedSamplerStates.push_back({uint32_t(i), s.state, value});
      }
  }
  if (passes) *passes = uint32_t(t.passes.size());
  return kOk;
}

bool Effect::PrepareVariant(Variant& variant) {
  if (variant.resolved) return true;
  if (!variant.program || variant.program->GetStatus() != Program::Status::Ready) return false;
  variant.parameterLocations.assign(m_parameters.size(), -1);
  for (size_t i = 0; i < m_parameters.size(); ++i) {
    const ParameterDesc& d = m_parameters[i].desc;
    if (d.type == ParamType::Texture) continue;
    if (d.buffer)
      variant.program->BindUniformBlock((d.name + "Block").c_str(),
                                        uint32_t(m_parameters[i].bufferIndex));
    else
      variant.parameterLocations[i] = variant.program->UniformLocation(d.name.c_str());
  }
  variant.samplerLocations.assign(m_samplers.size(), -1);
  for (size_t i = 0; i < m_samplers.size(); ++i)
    variant.samplerLocations[i] = variant.program->UniformLocation(m_samplers[i].name.c_str());
  variant.alphaFuncLocation = variant.program->UniformLocation("hm_AlphaFunc");
  variant.alphaRefLocation = variant.program->UniformLocation("hm_AlphaRef");
  variant.resolved = true;
  return true;
}

void Effect::UploadAlphaTest(Variant& variant, bool onlyChanged) {
  uint32_t enabled = 0, func = kCmpAlways, ref = 0;
  m_device->GetRenderState(kRsAlphaTestEnable, &enabled);
  m_device->GetRenderState(kRsAlphaFunc, &func);
  m_device->GetRenderState(kRsAlphaRef, &ref);
  const int32_t f = enabled ? int32_t(func) : 0;
  const float r = float(ref & 0xFF);
  if (onlyChanged && f == variant.sentAlphaFunc && r == variant.sentAlphaRef) return;
  variant.sentAlphaFunc = f;
  variant.sentAlphaRef = r;
  if (variant.alphaFuncLocation >= 0) m_device->SetUniformInts(variant.alphaFuncLocation, 1, &f);
  if (variant.alphaRefLocation >= 0) m_device->SetUniformFloat(variant.alphaRefLocation, 1, &r);
}

void Effect::Upload(Variant& variant, bool onlyDirty) {
  for (size_t i = 0; i < m_parameters.size(); ++i) {
    Parameter& p = m_parameters[i];
    const bool changed = p.dirty;
    if (onlyDirty && !changed) continue;
    p.dirty = false;
    const ParameterDesc& d = p.desc;
    if (d.type == ParamType::Texture) {
      for (size_t s = 0; s < m_samplers.size(); ++s)
        if (m_samplers[s].parameter == i) m_device->SetTexture(uint32_t(s), p.texture);
      continue;
    }
    if (d.buffer) {
      // Up to 3840 bytes for a bone palette: sent again only when it changed.
      UniformBuffer*& buffer = m_buffers[size_t(p.bufferIndex)];
      const bool created = !buffer;
      if (created) m_device->CreateUniformBuffer(uint32_t(p.words.size() * 4), &buffer);
      if (buffer) {
        if (created || changed) buffer->Update(0, uint32_t(p.words.size() * 4), p.words.data());
        m_device->SetUniformBuffer(uint32_t(p.bufferIndex), buffer);
      }
      continue;
    }
    const int loc = variant.parameterLocations[i];
    if (loc < 0) continue;
    const uint32_t n = d.count ? d.count : 1;
    const float* f = reinterpret_cast<const float*>(p.words.data());
    switch (d.type) {
      case ParamType::Bool:
      case ParamType::Int:
        m_device->SetUniformInts(loc, n, reinterpret_cast<const int32_t*>(p.words.data()));
        break;
      case ParamType::Float:
        m_device->SetUniformFloat(loc, n, f);
        break;
      case ParamType::Float2:
        m_device->SetUniformVectors(loc, 2, n, f);
        break;
      case ParamType::Float3:
        m_device->SetUniformVectors(loc, 3, n, f);
        break;
      case ParamType::Float4:
        m_device->SetUniformFloats(loc, n, f);
        break;
      case ParamType::Float4x4:
        m_device->SetUniformMatrices(loc, n, f);
        break;
      case ParamType::Texture:
        break;
    }
  }
}

HResult Effect::BeginPass(uint32_t index) {
  if (!m_begun || m_pass >= 0) return kErrInvalidCall;
  Technique& t = m_techniques[(m_current & ~kTechniqueBit) - 1];
  if (index >= t.passes.size()) return kErrInvalidCall;
  Pass& pass = t.passes[index];
  Variant* variant = VariantFor(pass, StaticKey(pass), nullptr, nullptr);
  if (!variant || !PrepareVariant(*variant)) return kErrInvalidCall;
  m_pass = int(index);
  m_device->SetDebugEffect(m_name.c_str(), int(index));
  for (const StateValue& s : pass.states) m_device->SetRenderState(s.state, s.value);
  for (size_t i = 0; i < m_samplers.size(); ++i)
    for (const StateValue& s : m_samplers[i].states)
      m_device->SetSamplerState(uint32_t(i), s.state, s.value);
  Bind(pass, *variant);
  return kOk;
}

void Effect::Bind(Pass& pass, Variant& variant) {
  pass.current = size_t(&variant - pass.variants.data());
  m_device->SetProgram(variant.program);
  for (size_t i = 0; i < m_samplers.size(); ++i) {
    const int32_t unit = int32_t(i);
    if (variant.samplerLocations[i] >= 0)
      m_device->SetUniformInts(variant.samplerLocations[i], 1, &unit);
  }
  Upload(variant, false);
  UploadAlphaTest(variant, false);
}

HResult Effect::CommitChanges() {
  if (!m_begun || m_pass < 0) return kErrInvalidCall;
  Pass& pass = m_techniques[(m_current & ~kTechniqueBit) - 1].passes[size_t(m_pass)];
  const uint32_t key = StaticKey(pass);
  if (key != pass.variants[pass.current].key) {
    // Another program: every value goes to it, the changed and the unchanged.
    Variant* variant = VariantFor(pass, key, nullptr, nullptr);
    if (!variant || !PrepareVariant(*variant)) return kErrInvalidCall;
    Bind(pass, *variant);
    return kOk;
  }
  Variant& variant = pass.variants[pass.current];
  Upload(variant, true);
  UploadAlphaTest(variant, true);
  return kOk;
}

HResult Effect::EndPass() {
  if (!m_begun || m_pass < 0) return kErrInvalidCall;
  m_pass = -1;
  return kOk;
}

HResult Effect::End() {
  if (!m_begun) return kErrInvalidCall;
  if (m_pass >= 0) EndPass();
  for (const StateValue& s : m_savedStates) m_device->SetRenderState(s.state, s.value);
  for (const SamplerStateValue& s : m_savedSamplerStates)
    m_device->SetSamplerState(s.sampler, s.state, s.value);
  m_savedStates.clear();
  m_savedSamplerStates.clear();
  for (size_t i = 0; i < m_samplers.size(); ++i) m_device->SetTexture(uint32_t(i), nullptr);
  m_device->SetProgram(nullptr);
  m_device->SetDebugEffect("", -1);
  m_begun = false;
  return kOk;
}

// --- values ---

HResult Effect::WriteWords(Handle h, const void* words, uint32_t wordCount, bool floats,
                           uint32_t stride, uint32_t elementWords) {
  Parameter* p = Find(h);
  if (!p || !words || p->desc.type == ParamType::Texture) return kErrInvalidCall;
  // Floats go into a bool as true when not zero, as Direct3D's effects take them: a
  // flag the renderer sends as 0.0 or 1.0 can then be a (static) bool of the effect.
  const bool floatsIntoBool = floats && p->desc.type == ParamType::Bool;
  if (floats != IsFloatType(p->desc.type) && !floatsIntoBool) return kErrInvalidCall;
  // `stride` words are given per element, of which `elementWords` go into each of the
  // parameter's elements (a vector into a float3 keeps x, y, z).
  const uint32_t* src = static_cast<const uint32_t*>(words);
  const uint32_t dstElem = p->elementWords;
  if (stride == 0) {
    // Plain run of words filling the storage in order.
    const size_t n = std::min<size_t>(wordCount, p->words.size());
    std::memcpy(p->words.data(), src, n * 4);
  } else {
    const uint32_t elements = wordCount / stride;
    const size_t capacity = p->words.size() / dstElem;
    const uint32_t per = std::min(elementWords, dstElem);
    for (uint32_t e = 0; e < elements && e < capacity; ++e)
      std::memcpy(&p->words[size_t(e) * dstElem], src + size_t(e) * stride, per * 4);
  }
  if (floatsIntoBool) {
    for (uint32_t& w : p->words) {
      float f;
      std::memcpy(&f, &w, 4);
      w = f != 0.0f;
    }
  } else if (p->desc.type == ParamType::Bool) {
    for (uint32_t& w : p->words) w = w != 0;
  }
  p->dirty = true;
  return kOk;
}

HResult Effect::SetBool(Handle h, bool value) {
  const Parameter* p = Find(h);
  if (!p || IsFloatType(p->desc.type) || p->desc.type == ParamType::Texture) return kErrInvalidCall;
  const uint32_t v = value ? 1 : 0;
  return WriteWords(h, &v, 1, false, 0, 1);
}

HResult Effect::SetInt(Handle h, int32_t value) {
  const Parameter* p = Find(h);
  if (!p) return kErrInvalidCall;
  if (IsFloatType(p->desc.type)) return SetFloat(h, float(value));
  return WriteWords(h, &value, 1, false, 0, 1);
}

HResult Effect::SetFloat(Handle h, float value) { return WriteWords(h, &value, 1, true, 0, 1); }

HResult Effect::SetVector(Handle h, const Vec4& value) {
  const Parameter* p = Find(h);
  if (!p || p->desc.type == ParamType::Float4x4) return kErrInvalidCall;
  const float v[4] = {value.x, value.y, value.z, value.w};
  return WriteWords(h, v, 4, true, 4, 4);
}

HResult Effect::SetMatrix(Handle h, const Mat4& value) {
  const Parameter* p = Find(h);
  if (!p || p->desc.type != ParamType::Float4x4) return kErrInvalidCall;
  return WriteWords(h, value.Data(), 16, true, 0, 16);
}

HResult Effect::SetFloatArray(Handle h, const float* values, uint32_t count) {
  return WriteWords(h, values, count, true, 0, 1);
}

HResult Effect::SetVectorArray(Handle h, const Vec4* values, uint32_t count) {
  const Parameter* p = Find(h);
  if (!p || p->desc.type == ParamType::Float4x4 || !values) return kErrInvalidCall;
  std::vector<float> f;
  f.reserve(size_t(count) * 4);
  for (uint32_t i = 0; i < count; ++i)
    f.insert(f.end(), {values[i].x, values[i].y, values[i].z, values[i].w});
  if (p->desc.type == ParamType::Float)
    return WriteWords(h, f.data(), uint32_t(f.size()), true, 0, 1);
  return WriteWords(h, f.data(), uint32_t(f.size()), true, 4, 4);
}

HResult Effect::SetMatrixArray(Handle h, const Mat4* values, uint32_t count) {
  const Parameter* p = Find(h);
  if (!p || !values || !IsFloatType(p->desc.type)) return kErrInvalidCall;
  std::vector<float> f;
  f.reserve(size_t(count) * 16);
  for (uint32_t i = 0; i < count; ++i) f.insert(f.end(), values[i].Data(), values[i].Data() + 16);
  return WriteWords(h, f.data(), uint32_t(f.size()), true, 0, 16);
}

HResult Effect::SetIntArray(Handle h, const int32_t* values, uint32_t count) {
  return WriteWords(h, values, count, false, 0, 1);
}

HResult Effect::SetValue(Handle h, const void* data, uint32_t bytes) {
  Parameter* p = Find(h);
  if (!p || !data || p->desc.type == ParamType::Texture) return kErrInvalidCall;
  const size_t n = std::min<size_t>(bytes, p->words.size() * 4);
  std::memcpy(p->words.data(), data, n);
  if (p->desc.type == ParamType::Bool)
    for (uint32_t& w : p->words) w = w != 0;
  p->dirty = true;
  return kOk;
}

HResult Effect::SetTexture(Handle h, BaseTexture* texture) {
  Parameter* p = Find(h);
  if (!p || p->desc.type != ParamType::Texture) return kErrInvalidCall;
  if (texture) texture->AddRef();
  if (p->texture) p->texture->Release();
  p->texture = texture;
  p->dirty = true;
  return kOk;
}

std::vector<uint32_t> Effect::GetRawValue(Handle h) const {
  const Parameter* p = Find(h);
  return p ? p->words : std::vector<uint32_t>();
}

BaseTexture* Effect::GetTexture(Handle h) const {
  const Parameter* p = Find(h);
  return p ? p->texture : nullptr;
}

HResult Effect::OnLostDevice() {
  for (Parameter& p : m_parameters)
    if (p.texture && p.texture->Pool() == kPoolDefault) {
      p.texture->Release();
      p.texture = nullptr;
      p.dirty = true;
    }
  return kOk;
}

HResult Effect::OnResetDevice() { return kOk; }

}  // namespace fx
}  // namespace plat
