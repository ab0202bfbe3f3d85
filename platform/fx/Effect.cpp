#include "platform/fx/Effect.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <rapidxml/rapidxml.hpp>

#include "platform/fs/FileSystem.h"

namespace plat {
namespace fx {

using namespace gpu;

struct Effect::Parameter {
  ParameterDesc desc;
  uint32_t elementWords = 0;     // 32-bit words in one element
  std::vector<uint32_t> words;   // the value: floats, or ints for bool and int
  BaseTexture* texture = nullptr;
  bool dirty = true;
  int bufferIndex = -1;          // slot of its uniform buffer
};

struct Effect::Sampler {
  std::string name;
  std::string glslType;
  uint32_t parameter = 0;  // index of its texture parameter
  std::vector<StateValue> states;
};

struct Effect::Pass {
  std::string name;
  std::vector<StateValue> states;
  std::string vertex, fragment;
  Program* program = nullptr;
  bool resolved = false;
  std::vector<int> parameterLocations;
  std::vector<int> samplerLocations;
  int alphaFuncLocation = -1, alphaRefLocation = -1;
  int32_t sentAlphaFunc = -1;
  float sentAlphaRef = -1.0f;
};

struct Effect::Technique {
  std::string name;
  std::vector<Pass> passes;
};

namespace {

constexpr Handle kTechniqueBit = 0x80000000u;

bool EqualNoCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b)
    if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b))) return false;
  return *a == *b;
}

bool IsIdentifier(const std::string& s) {
  if (s.empty() || !(std::isalpha(static_cast<unsigned char>(s[0])) || s[0] == '_')) return false;
  for (char c : s)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
  // Our own names and GLSL's are reserved.
  return s.compare(0, 3, "hm_") != 0 && s.compare(0, 3, "gl_") != 0 && s.find("__") == std::string::npos;
}

struct NamedValue {
  const char* name;
  uint32_t value;
};

enum class ValueKind { Bool, Number, Float, Blend, BlendOp, Compare, Cull, Fill, StencilOp, Filter, Address };

const NamedValue kBlendValues[] = {{"Zero", kBlendZero}, {"One", kBlendOne}, {"SrcColor", kBlendSrcColor},
                                   {"InvSrcColor", kBlendInvSrcColor}, {"SrcAlpha", kBlendSrcAlpha},
                                   {"InvSrcAlpha", kBlendInvSrcAlpha}, {"DestAlpha", kBlendDestAlpha},
                                   {"InvDestAlpha", kBlendInvDestAlpha}, {"DestColor", kBlendDestColor},
                                   {"InvDestColor", kBlendInvDestColor}};
const NamedValue kBlendOpValues[] = {{"Add", kBlendOpAdd}, {"Subtract", kBlendOpSubtract},
                                     {"RevSubtract", kBlendOpRevSubtract}, {"Min", kBlendOpMin}, {"Max", kBlendOpMax}};
const NamedValue kCompareValues[] = {{"Never", kCmpNever}, {"Less", kCmpLess}, {"Equal", kCmpEqual},
                                     {"LessEqual", kCmpLessEqual}, {"Greater", kCmpGreater},
                                     {"NotEqual", kCmpNotEqual}, {"GreaterEqual", kCmpGreaterEqual},
                                     {"Always", kCmpAlways}};
const NamedValue kCullValues[] = {{"None", kCullNone}, {"CW", kCullCW}, {"CCW", kCullCCW}};
const NamedValue kFillValues[] = {{"Point", kFillPoint}, {"Wireframe", kFillWireframe}, {"Solid", kFillSolid}};
const NamedValue kStencilOpValues[] = {{"Keep", kStencilOpKeep}, {"Zero", kStencilOpZero},
                                       {"Replace", kStencilOpReplace}, {"IncrSat", kStencilOpIncrSat},
                                       {"DecrSat", kStencilOpDecrSat}, {"Invert", kStencilOpInvert},
                                       {"Incr", kStencilOpIncr}, {"Decr", kStencilOpDecr}};
const NamedValue kFilterValues[] = {{"None", kTexFilterNone}, {"Point", kTexFilterPoint},
                                    {"Linear", kTexFilterLinear}, {"Anisotropic", kTexFilterAnisotropic}};
const NamedValue kAddressValues[] = {{"Wrap", kAddressWrap}, {"Mirror", kAddressMirror},
                                     {"Clamp", kAddressClamp}, {"Border", kAddressBorder}};

struct StateName {
  const char* name;
  uint32_t code;
  ValueKind kind;
};

const StateName kRenderStates[] = {
    {"ZEnable", kRsZEnable, ValueKind::Bool},
    {"FillMode", kRsFillMode, ValueKind::Fill},
    {"ZWriteEnable", kRsZWriteEnable, ValueKind::Bool},
    {"AlphaTestEnable", kRsAlphaTestEnable, ValueKind::Bool},
    {"SrcBlend", kRsSrcBlend, ValueKind::Blend},
    {"DestBlend", kRsDestBlend, ValueKind::Blend},
    {"CullMode", kRsCullMode, ValueKind::Cull},
    {"ZFunc", kRsZFunc, ValueKind::Compare},
    {"AlphaRef", kRsAlphaRef, ValueKind::Number},
    {"AlphaFunc", kRsAlphaFunc, ValueKind::Compare},
    {"AlphaBlendEnable", kRsAlphaBlendEnable, ValueKind::Bool},
    {"StencilEnable", kRsStencilEnable, ValueKind::Bool},
    {"StencilFail", kRsStencilFail, ValueKind::StencilOp},
    {"StencilZFail", kRsStencilZFail, ValueKind::StencilOp},
    {"StencilPass", kRsStencilPass, ValueKind::StencilOp},
    {"StencilFunc", kRsStencilFunc, ValueKind::Compare},
    {"StencilRef", kRsStencilRef, ValueKind::Number},
    {"StencilMask", kRsStencilMask, ValueKind::Number},
    {"StencilWriteMask", kRsStencilWriteMask, ValueKind::Number},
    {"ColorWriteEnable", kRsColorWriteEnable, ValueKind::Number},
    {"BlendOp", kRsBlendOp, ValueKind::BlendOp},
    {"ScissorTestEnable", kRsScissorTestEnable, ValueKind::Bool},
    {"SlopeScaleDepthBias", kRsSlopeScaleDepthBias, ValueKind::Float},
    {"DepthBias", kRsDepthBias, ValueKind::Float},
    {"SeparateAlphaBlendEnable", kRsSeparateAlphaBlendEnable, ValueKind::Bool},
    {"SrcBlendAlpha", kRsSrcBlendAlpha, ValueKind::Blend},
    {"DestBlendAlpha", kRsDestBlendAlpha, ValueKind::Blend},
    {"BlendOpAlpha", kRsBlendOpAlpha, ValueKind::BlendOp},
};

const StateName kSamplerStates[] = {
    {"AddressU", kSampAddressU, ValueKind::Address},   {"AddressV", kSampAddressV, ValueKind::Address},
    {"AddressW", kSampAddressW, ValueKind::Address},   {"BorderColor", kSampBorderColor, ValueKind::Number},
    {"MagFilter", kSampMagFilter, ValueKind::Filter},  {"MinFilter", kSampMinFilter, ValueKind::Filter},
    {"MipFilter", kSampMipFilter, ValueKind::Filter},  {"MaxAnisotropy", kSampMaxAnisotropy, ValueKind::Number},
};

bool ParseNumber(const char* text, uint32_t& out) {
  errno = 0;
  char* end = nullptr;
  const bool negative = text[0] == '-';
  unsigned long long v = std::strtoull(negative ? text + 1 : text, &end, 0);
  if (end == text || *end != '\0' || errno != 0 || v > 0xFFFFFFFFull) return false;
  out = negative ? uint32_t(-int64_t(v)) : uint32_t(v);
  return true;
}

bool ParseFloat(const char* text, float& out) {
  char* end = nullptr;
  out = std::strtof(text, &end);
  return end != text && *end == '\0';
}

template <size_t N>
bool FindNamed(const NamedValue (&table)[N], const char* text, uint32_t& out) {
  for (const NamedValue& v : table)
    if (EqualNoCase(v.name, text)) {
      out = v.value;
      return true;
    }
  return ParseNumber(text, out);
}

bool ParseStateValue(ValueKind kind, const char* text, uint32_t& out) {
  switch (kind) {
    case ValueKind::Bool:
      if (EqualNoCase(text, "true")) return out = 1, true;
      if (EqualNoCase(text, "false")) return out = 0, true;
      return ParseNumber(text, out);
    case ValueKind::Number:
      return ParseNumber(text, out);
    case ValueKind::Float: {
      float f;
      if (!ParseFloat(text, f)) return false;
      std::memcpy(&out, &f, 4);  // float states travel as their bits
      return true;
    }
    case ValueKind::Blend: return FindNamed(kBlendValues, text, out);
    case ValueKind::BlendOp: return FindNamed(kBlendOpValues, text, out);
    case ValueKind::Compare: return FindNamed(kCompareValues, text, out);
    case ValueKind::Cull: return FindNamed(kCullValues, text, out);
    case ValueKind::Fill: return FindNamed(kFillValues, text, out);
    case ValueKind::StencilOp: return FindNamed(kStencilOpValues, text, out);
    case ValueKind::Filter: return FindNamed(kFilterValues, text, out);
    case ValueKind::Address: return FindNamed(kAddressValues, text, out);
  }
  return false;
}

const char* Attr(const rapidxml::xml_node<>* node, const char* name) {
  const rapidxml::xml_attribute<>* a = node->first_attribute(name);
  return a ? a->value() : nullptr;
}

uint32_t ElementWords(ParamType t) {
  switch (t) {
    case ParamType::Bool:
    case ParamType::Int:
    case ParamType::Float: return 1;
    case ParamType::Float2: return 2;
    case ParamType::Float3: return 3;
    case ParamType::Float4: return 4;
    case ParamType::Float4x4: return 16;
    case ParamType::Texture: return 0;
  }
  return 0;
}

bool IsFloatType(ParamType t) {
  return t == ParamType::Float || t == ParamType::Float2 || t == ParamType::Float3 || t == ParamType::Float4 ||
         t == ParamType::Float4x4;
}

const char* GlslType(ParamType t) {
  switch (t) {
    case ParamType::Bool: return "bool";
    case ParamType::Int: return "int";
    case ParamType::Float: return "float";
    case ParamType::Float2: return "vec2";
    case ParamType::Float3: return "vec3";
    case ParamType::Float4: return "vec4";
    case ParamType::Float4x4: return "mat4";
    case ParamType::Texture: return "";
  }
  return "";
}

// Words of a buffer parameter as std140 stores them: float arrays are packed four to
// a vec4, so the size is rounded up to whole vec4s.
uint32_t BufferWords(const ParameterDesc& d, uint32_t elementWords) {
  const uint32_t words = elementWords * d.count;
  return (words + 3) / 4 * 4;
}

// 1-based line of `p` within `text`, for #line so that compiler messages point into
// the effect file.
int LineOf(const char* text, const char* p) {
  int line = 1;
  for (const char* c = text; c < p; ++c)
    if (*c == '\n') ++line;
  return line;
}

constexpr const char* kAlphaTestGlsl =
    "uniform int hm_AlphaFunc;\n"
    "uniform float hm_AlphaRef;\n"
    "bool hm_AlphaPasses(float a) {\n"
    "  float v = floor(clamp(a, 0.0, 1.0) * 255.0 + 0.5);\n"
    "  if (hm_AlphaFunc == 1) return false;\n"
    "  if (hm_AlphaFunc == 2) return v < hm_AlphaRef;\n"
    "  if (hm_AlphaFunc == 3) return v == hm_AlphaRef;\n"
    "  if (hm_AlphaFunc == 4) return v <= hm_AlphaRef;\n"
    "  if (hm_AlphaFunc == 5) return v > hm_AlphaRef;\n"
    "  if (hm_AlphaFunc == 6) return v != hm_AlphaRef;\n"
    "  if (hm_AlphaFunc == 7) return v >= hm_AlphaRef;\n"
    "  return true;\n"
    "}\n";

}  // namespace

struct Effect::Impl {
  static bool Fail(std::string* errors, const std::string& name, const std::string& text) {
    if (errors) *errors = name + ": " + text;
    return false;
  }

  static bool ParseStates(const rapidxml::xml_node<>* parent, const StateName* table, size_t tableSize,
                          std::vector<StateValue>& out, const std::string& name, const std::string& where,
                          std::string* errors) {
    for (auto* s = parent->first_node("state"); s; s = s->next_sibling("state")) {
      const char* stateName = Attr(s, "name");
      const char* value = Attr(s, "value");
      if (!stateName || !value) return Fail(errors, name, where + ": a state needs a name and a value");
      const StateName* found = nullptr;
      for (size_t i = 0; i < tableSize; ++i)
        if (EqualNoCase(table[i].name, stateName)) found = &table[i];
      if (!found) return Fail(errors, name, where + ": unknown state \"" + stateName + "\"");
      uint32_t v = 0;
      if (!ParseStateValue(found->kind, value, v))
        return Fail(errors, name, where + ": bad value \"" + value + "\" for state " + found->name);
      auto same = std::find_if(out.begin(), out.end(), [&](const StateValue& sv) { return sv.state == found->code; });
      if (same != out.end())
        same->value = v;
      else
        out.push_back({found->code, v});
    }
    return true;
  }

  static bool ParseParameter(Effect& e, const rapidxml::xml_node<>* node, std::string* errors) {
    const char* name = Attr(node, "name");
    const char* type = Attr(node, "type");
    if (!name || !IsIdentifier(name))
      return Fail(errors, e.m_name, std::string("bad parameter name \"") + (name ? name : "") + "\"");
    if (e.GetParameterByName(name) != 0) return Fail(errors, e.m_name, std::string("parameter ") + name + " is declared twice");
    static const struct {
      const char* text;
      ParamType type;
    } kTypes[] = {{"bool", ParamType::Bool},     {"int", ParamType::Int},       {"float", ParamType::Float},
                  {"float2", ParamType::Float2}, {"float3", ParamType::Float3}, {"float4", ParamType::Float4},
                  {"float4x4", ParamType::Float4x4}, {"texture", ParamType::Texture}};
    Parameter p;
    p.desc.name = name;
    bool known = false;
    for (const auto& t : kTypes)
      if (type && EqualNoCase(t.text, type)) {
        p.desc.type = t.type;
        known = true;
      }
    if (!known) return Fail(errors, e.m_name, std::string("parameter ") + name + " has an unknown type");
    if (const char* count = Attr(node, "count")) {
      uint32_t n = 0;
      if (!ParseNumber(count, n) || n == 0 || n > 65536)
        return Fail(errors, e.m_name, std::string("parameter ") + name + " has a bad count");
      p.desc.count = n;
    }
    if (const char* buffer = Attr(node, "buffer")) {
      uint32_t b = 0;
      if (!ParseStateValue(ValueKind::Bool, buffer, b))
        return Fail(errors, e.m_name, std::string("parameter ") + name + ": bad buffer flag");
      p.desc.buffer = b != 0;
    }
    if (p.desc.type == ParamType::Texture && p.desc.count != 0)
      return Fail(errors, e.m_name, std::string("texture parameter ") + name + " cannot be an array");
    if (p.desc.buffer && (p.desc.count == 0 || !(p.desc.type == ParamType::Float || p.desc.type == ParamType::Float4 ||
                                                 p.desc.type == ParamType::Float4x4)))
      return Fail(errors, e.m_name,
                  std::string("buffer parameter ") + name + " must be an array of float, float4 or float4x4");
    p.elementWords = ElementWords(p.desc.type);
    const uint32_t elements = p.desc.count ? p.desc.count : 1;
    p.words.assign(p.desc.buffer ? BufferWords(p.desc, p.elementWords) : size_t(p.elementWords) * elements, 0u);

    if (const char* def = Attr(node, "default")) {
      if (p.desc.type == ParamType::Texture)
        return Fail(errors, e.m_name, std::string("texture parameter ") + name + " cannot have a default");
      std::string text(def);
      std::replace(text.begin(), text.end(), ',', ' ');
      size_t pos = 0, index = 0;
      while (true) {
        while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos]))) ++pos;
        if (pos >= text.size()) break;
        size_t end = pos;
        while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end]))) ++end;
        const std::string token = text.substr(pos, end - pos);
        pos = end;
        if (index >= size_t(p.elementWords) * elements)
          return Fail(errors, e.m_name, std::string("parameter ") + name + " has too many default values");
        if (IsFloatType(p.desc.type)) {
          float f;
          if (!ParseFloat(token.c_str(), f))
            return Fail(errors, e.m_name, std::string("parameter ") + name + ": bad default \"" + token + "\"");
          std::memcpy(&p.words[index], &f, 4);
        } else {
          uint32_t v;
          if (!ParseStateValue(ValueKind::Bool, token.c_str(), v))
            return Fail(errors, e.m_name, std::string("parameter ") + name + ": bad default \"" + token + "\"");
          p.words[index] = p.desc.type == ParamType::Bool ? (v != 0) : v;
        }
        ++index;
      }
    }
    e.m_parameters.push_back(std::move(p));
    return true;
  }

  static bool ParseSampler(Effect& e, const rapidxml::xml_node<>* node, std::string* errors) {
    const char* name = Attr(node, "name");
    if (!name || !IsIdentifier(name))
      return Fail(errors, e.m_name, std::string("bad sampler name \"") + (name ? name : "") + "\"");
    if (e.GetParameterByName(name) != 0 ||
        std::any_of(e.m_samplers.begin(), e.m_samplers.end(), [&](const Sampler& s) { return s.name == name; }))
      return Fail(errors, e.m_name, std::string("sampler ") + name + " clashes with another name");
    Sampler s;
    s.name = name;
    const char* type = Attr(node, "type");
    if (!type || EqualNoCase(type, "2d"))
      s.glslType = "sampler2D";
    else if (EqualNoCase(type, "cube"))
      s.glslType = "samplerCube";
    else if (EqualNoCase(type, "3d"))
      s.glslType = "sampler3D";
    else
      return Fail(errors, e.m_name, std::string("sampler ") + name + " has an unknown type");
    const char* texture = Attr(node, "texture");
    const Handle h = texture ? e.GetParameterByName(texture) : 0;
    if (h == 0 || e.m_parameters[h - 1].desc.type != ParamType::Texture)
      return Fail(errors, e.m_name, std::string("sampler ") + name + " does not name a texture parameter");
    s.parameter = h - 1;
    if (!ParseStates(node, kSamplerStates, sizeof(kSamplerStates) / sizeof(kSamplerStates[0]), s.states, e.m_name,
                     std::string("sampler ") + name, errors))
      return false;
    e.m_samplers.push_back(std::move(s));
    return true;
  }

  static std::string Declarations(const Effect& e) {
    std::string d;
    for (const Parameter& p : e.m_parameters) {
      const ParameterDesc& pd = p.desc;
      if (pd.type == ParamType::Texture) continue;
      if (pd.buffer) {
        const uint32_t words = BufferWords(pd, p.elementWords);
        const bool matrices = pd.type == ParamType::Float4x4;
        d += "layout(std140) uniform " + pd.name + "Block { " + (matrices ? "mat4 " : "vec4 ") + pd.name + "[" +
             std::to_string(matrices ? pd.count : words / 4) + "]; };\n";
      } else {
        d += std::string("uniform ") + GlslType(pd.type) + " " + pd.name;
        if (pd.count) d += "[" + std::to_string(pd.count) + "]";
        d += ";\n";
      }
    }
    for (const Sampler& s : e.m_samplers) d += "uniform " + s.glslType + " " + s.name + ";\n";
    return d;
  }

  // The GLSL of a <vertex> or <fragment> element: its text and CDATA sections in
  // order, and the file line where they start.
  static std::string ShaderText(const char* text, const rapidxml::xml_node<>* node, int& line) {
    std::string out;
    line = 0;
    for (auto* c = node->first_node(); c; c = c->next_sibling()) {
      if (c->type() != rapidxml::node_data && c->type() != rapidxml::node_cdata) continue;
      if (line == 0) line = LineOf(text, c->value());
      out.append(c->value(), c->value_size());
    }
    if (line == 0) line = 1;
    return out;
  }

  static bool ParsePass(Effect& e, const char* text, const rapidxml::xml_node<>* node, Pass& pass,
                        const std::string& where, std::string* errors) {
    if (!ParseStates(node, kRenderStates, sizeof(kRenderStates) / sizeof(kRenderStates[0]), pass.states, e.m_name,
                     where, errors))
      return false;
    const rapidxml::xml_node<>* vs = node->first_node("vertex");
    const rapidxml::xml_node<>* fs = node->first_node("fragment");
    if (!vs || !fs) return Fail(errors, e.m_name, where + " needs a vertex and a fragment shader");
    const std::string decls = Declarations(e);
    const char* attributes = AttributeLocationsGlsl();
    int vsLine = 1, fsLine = 1;
    const std::string vsText = ShaderText(text, vs, vsLine);
    const std::string fsText = ShaderText(text, fs, fsLine);
    if (vsText.find_first_not_of(" \t\r\n") == std::string::npos ||
        fsText.find_first_not_of(" \t\r\n") == std::string::npos)
      return Fail(errors, e.m_name, where + " has an empty shader");
    // #line makes the compiler's messages point at lines of the effect file.
    pass.vertex = std::string("#version 330 core\n") + (attributes ? attributes : "") + "\n" + decls + "#line " +
                  std::to_string(vsLine) + "\n" + vsText + "\n";
    pass.fragment = std::string("#version 330 core\n") + decls + "layout(location = 0) out vec4 oColor;\n" +
                    kAlphaTestGlsl + "#define main hm_PassMain\n" + "#line " + std::to_string(fsLine) + "\n" +
                    fsText +
                    "\n#undef main\n"
                    "void main() {\n"
                    "  hm_PassMain();\n"
                    "  if (hm_AlphaFunc != 0 && !hm_AlphaPasses(oColor.a)) discard;\n"
                    "}\n";
    return true;
  }

  static HResult Parse(Effect& e, char* text, std::string* errors) {
    rapidxml::xml_document<> doc;
    try {
      doc.parse<rapidxml::parse_default>(text);
    } catch (const rapidxml::parse_error& err) {
      Fail(errors, e.m_name,
           std::string("malformed XML: ") + err.what() + " at line " + std::to_string(LineOf(text, err.where<char>())));
      return kErrInvalidData;
    }
    const rapidxml::xml_node<>* root = doc.first_node("effect");
    if (!root) return Fail(errors, e.m_name, "no <effect> element"), kErrInvalidData;

    for (auto* n = root->first_node("parameter"); n; n = n->next_sibling("parameter"))
      if (!ParseParameter(e, n, errors)) return kErrInvalidData;
    int buffers = 0;
    for (Parameter& p : e.m_parameters)
      if (p.desc.buffer) p.bufferIndex = buffers++;
    e.m_buffers.assign(size_t(buffers), nullptr);
    for (auto* n = root->first_node("sampler"); n; n = n->next_sibling("sampler"))
      if (!ParseSampler(e, n, errors)) return kErrInvalidData;
    if (e.m_samplers.size() > kMaxSamplers) return Fail(errors, e.m_name, "too many samplers"), kErrInvalidData;

    for (auto* t = root->first_node("technique"); t; t = t->next_sibling("technique")) {
      Technique tech;
      const char* name = Attr(t, "name");
      tech.name = name ? name : "";
      if (tech.name.empty()) return Fail(errors, e.m_name, "a technique has no name"), kErrInvalidData;
      if (e.GetTechniqueByName(tech.name.c_str()) != 0)
        return Fail(errors, e.m_name, "technique " + tech.name + " is declared twice"), kErrInvalidData;
      for (auto* p = t->first_node("pass"); p; p = p->next_sibling("pass")) {
        Pass pass;
        const char* passName = Attr(p, "name");
        pass.name = passName ? passName : "";
        const std::string where = "technique " + tech.name + " pass " + std::to_string(tech.passes.size());
        if (!ParsePass(e, text, p, pass, where, errors)) return kErrInvalidData;
        tech.passes.push_back(std::move(pass));
      }
      if (tech.passes.empty()) return Fail(errors, e.m_name, "technique " + tech.name + " has no pass"), kErrInvalidData;
      e.m_techniques.push_back(std::move(tech));
    }
    if (e.m_techniques.empty()) return Fail(errors, e.m_name, "no technique"), kErrInvalidData;
    return kOk;
  }

  static HResult Build(Effect& e, std::string* errors) {
    for (Technique& t : e.m_techniques)
      for (size_t i = 0; i < t.passes.size(); ++i) {
        Pass& pass = t.passes[i];
        std::string log;
        const HResult hr = e.m_device->CreateProgram(pass.vertex.c_str(), pass.fragment.c_str(), &pass.program, &log);
        if (Failed(hr) || !pass.program) {
          if (errors)
            *errors = e.m_name + ": technique " + t.name + " pass " + std::to_string(i) + " does not compile:\n" +
                      (log.empty() && pass.program ? pass.program->InfoLog() : log);
          return hr == kErrInvalidCall ? kErrInvalidCall : kErrFail;
        }
      }
    return kOk;
  }
};

// ---------------------------------------------------------------------------------

HResult Effect::CreateFromMemory(Device* device, const char* text, size_t size, const std::string& name, Effect** out,
                                 std::string* errors) {
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
  HResult hr = Impl::Parse(*e, buffer.data(), errors);
  if (Succeeded(hr)) hr = Impl::Build(*e, errors);
  if (Failed(hr)) {
    e->Release();
    return hr;
  }
  e->m_current = kTechniqueBit | 1u;
  *out = e;
  return kOk;
}

HResult Effect::CreateFromFile(Device* device, const std::string& path, Effect** out, std::string* errors) {
  if (out) *out = nullptr;
  if (!device || !out || path.empty()) {
    if (errors) *errors = path + ": invalid call";
    return kErrInvalidCall;
  }
  std::vector<char> data;
  if (!fs::ReadFile(path, data)) {
    if (errors) *errors = path + ": file not found";
    return kErrInvalidData;
  }
  return CreateFromMemory(device, data.data(), data.size(), path, out, errors);
}

Effect::~Effect() {
  for (Parameter& p : m_parameters)
    if (p.texture) p.texture->Release();
  for (Technique& t : m_techniques)
    for (Pass& pass : t.passes)
      if (pass.program) pass.program->Release();
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
        if (std::find(states.begin(), states.end(), s.state) == states.end()) states.push_back(s.state);
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

bool Effect::PreparePass(Pass& pass) {
  if (pass.resolved) return true;
  if (!pass.program || pass.program->GetStatus() != Program::Status::Ready) return false;
  pass.parameterLocations.assign(m_parameters.size(), -1);
  for (size_t i = 0; i < m_parameters.size(); ++i) {
    const ParameterDesc& d = m_parameters[i].desc;
    if (d.type == ParamType::Texture) continue;
    if (d.buffer)
      pass.program->BindUniformBlock((d.name + "Block").c_str(), uint32_t(m_parameters[i].bufferIndex));
    else
      pass.parameterLocations[i] = pass.program->UniformLocation(d.name.c_str());
  }
  pass.samplerLocations.assign(m_samplers.size(), -1);
  for (size_t i = 0; i < m_samplers.size(); ++i)
    pass.samplerLocations[i] = pass.program->UniformLocation(m_samplers[i].name.c_str());
  pass.alphaFuncLocation = pass.program->UniformLocation("hm_AlphaFunc");
  pass.alphaRefLocation = pass.program->UniformLocation("hm_AlphaRef");
  pass.resolved = true;
  return true;
}

void Effect::UploadAlphaTest(Pass& pass, bool onlyChanged) {
  uint32_t enabled = 0, func = kCmpAlways, ref = 0;
  m_device->GetRenderState(kRsAlphaTestEnable, &enabled);
  m_device->GetRenderState(kRsAlphaFunc, &func);
  m_device->GetRenderState(kRsAlphaRef, &ref);
  const int32_t f = enabled ? int32_t(func) : 0;
  const float r = float(ref & 0xFF);
  if (onlyChanged && f == pass.sentAlphaFunc && r == pass.sentAlphaRef) return;
  pass.sentAlphaFunc = f;
  pass.sentAlphaRef = r;
  if (pass.alphaFuncLocation >= 0) m_device->SetUniformInts(pass.alphaFuncLocation, 1, &f);
  if (pass.alphaRefLocation >= 0) m_device->SetUniformFloat(pass.alphaRefLocation, 1, &r);
}

void Effect::Upload(Pass& pass, bool onlyDirty) {
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
    const int loc = pass.parameterLocations[i];
    if (loc < 0) continue;
    const uint32_t n = d.count ? d.count : 1;
    const float* f = reinterpret_cast<const float*>(p.words.data());
    switch (d.type) {
      case ParamType::Bool:
      case ParamType::Int:
        m_device->SetUniformInts(loc, n, reinterpret_cast<const int32_t*>(p.words.data()));
        break;
      case ParamType::Float: m_device->SetUniformFloat(loc, n, f); break;
      case ParamType::Float2: m_device->SetUniformVectors(loc, 2, n, f); break;
      case ParamType::Float3: m_device->SetUniformVectors(loc, 3, n, f); break;
      case ParamType::Float4: m_device->SetUniformFloats(loc, n, f); break;
      case ParamType::Float4x4: m_device->SetUniformMatrices(loc, n, f); break;
      case ParamType::Texture: break;
    }
  }
}

HResult Effect::BeginPass(uint32_t index) {
  if (!m_begun || m_pass >= 0) return kErrInvalidCall;
  Technique& t = m_techniques[(m_current & ~kTechniqueBit) - 1];
  if (index >= t.passes.size()) return kErrInvalidCall;
  Pass& pass = t.passes[index];
  if (!PreparePass(pass)) return kErrInvalidCall;
  m_pass = int(index);
  m_device->SetDebugEffect(m_name.c_str(), int(index));
  m_device->SetProgram(pass.program);
  for (const StateValue& s : pass.states) m_device->SetRenderState(s.state, s.value);
  for (size_t i = 0; i < m_samplers.size(); ++i) {
    for (const StateValue& s : m_samplers[i].states) m_device->SetSamplerState(uint32_t(i), s.state, s.value);
    const int32_t unit = int32_t(i);
    if (pass.samplerLocations[i] >= 0) m_device->SetUniformInts(pass.samplerLocations[i], 1, &unit);
  }
  Upload(pass, false);
  UploadAlphaTest(pass, false);
  return kOk;
}

HResult Effect::CommitChanges() {
  if (!m_begun || m_pass < 0) return kErrInvalidCall;
  Pass& pass = m_techniques[(m_current & ~kTechniqueBit) - 1].passes[size_t(m_pass)];
  Upload(pass, true);
  UploadAlphaTest(pass, true);
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
  for (const SamplerStateValue& s : m_savedSamplerStates) m_device->SetSamplerState(s.sampler, s.state, s.value);
  m_savedStates.clear();
  m_savedSamplerStates.clear();
  for (size_t i = 0; i < m_samplers.size(); ++i) m_device->SetTexture(uint32_t(i), nullptr);
  m_device->SetProgram(nullptr);
  m_device->SetDebugEffect("", -1);
  m_begun = false;
  return kOk;
}

// --- values ---

HResult Effect::WriteWords(Handle h, const void* words, uint32_t wordCount, bool floats, uint32_t stride,
                           uint32_t elementWords) {
  Parameter* p = Find(h);
  if (!p || !words || p->desc.type == ParamType::Texture) return kErrInvalidCall;
  if (floats != IsFloatType(p->desc.type)) return kErrInvalidCall;
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
  if (p->desc.type == ParamType::Bool)
    for (uint32_t& w : p->words) w = w != 0;
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
  for (uint32_t i = 0; i < count; ++i) f.insert(f.end(), {values[i].x, values[i].y, values[i].z, values[i].w});
  if (p->desc.type == ParamType::Float) return WriteWords(h, f.data(), uint32_t(f.size()), true, 0, 1);
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
