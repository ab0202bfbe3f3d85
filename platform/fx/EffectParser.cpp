// The effect file parser: XML text to parameters, samplers, techniques and the GLSL of
// each pass.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <rapidxml/rapidxml.hpp>

#include "platform/fx/EffectInternal.h"

namespace plat {
namespace fx {

using namespace gpu;

namespace {

bool EqualNoCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b)
    if (std::tolower(static_cast<unsigned char>(*a)) !=
        std::tolower(static_cast<unsigned char>(*b)))
      return false;
  return *a == *b;
}

bool IsIdentifier(const std::string& s) {
  if (s.empty() || !(std::isalpha(static_cast<unsigned char>(s[0])) || s[0] == '_')) return false;
  for (char c : s)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
  // Our own names and GLSL's are reserved.
  return s.compare(0, 3, "hm_") != 0 && s.compare(0, 3, "gl_") != 0 &&
         s.find("__") == std::string::npos;
}

// Whether `name` stands in `text` as a whole word.
bool ReadsName(const std::string& text, const std::string& name) {
  auto word = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
  for (size_t at = text.find(name); at != std::string::npos; at = text.find(name, at + 1)) {
    const size_t end = at + name.size();
    if ((at == 0 || !word(text[at - 1])) && (end >= text.size() || !word(text[end]))) return true;
  }
  return false;
}

struct NamedValue {
  const char* name;
  uint32_t value;
};

enum class ValueKind {
  Bool,
  Number,
  Float,
  Blend,
  BlendOp,
  Compare,
  Cull,
  Fill,
  StencilOp,
  Filter,
  Address
};

const NamedValue kBlendValues[] = {
    {"Zero", kBlendZero},           {"One", kBlendOne},
    {"SrcColor", kBlendSrcColor},   {"InvSrcColor", kBlendInvSrcColor},
    {"SrcAlpha", kBlendSrcAlpha},   {"InvSrcAlpha", kBlendInvSrcAlpha},
    {"DestAlpha", kBlendDestAlpha}, {"InvDestAlpha", kBlendInvDestAlpha},
    {"DestColor", kBlendDestColor}, {"InvDestColor", kBlendInvDestColor}};
const NamedValue kBlendOpValues[] = {{"Add", kBlendOpAdd},
                                     {"Subtract", kBlendOpSubtract},
                                     {"RevSubtract", kBlendOpRevSubtract},
                                     {"Min", kBlendOpMin},
                                     {"Max", kBlendOpMax}};
const NamedValue kCompareValues[] = {{"Never", kCmpNever},
                                     {"Less", kCmpLess},
                                     {"Equal", kCmpEqual},
                                     {"LessEqual", kCmpLessEqual},
                                     {"Greater", kCmpGreater},
                                     {"NotEqual", kCmpNotEqual},
                                     {"GreaterEqual", kCmpGreaterEqual},
                                     {"Always", kCmpAlways}};
const NamedValue kCullValues[] = {{"None", kCullNone}, {"CW", kCullCW}, {"CCW", kCullCCW}};
const NamedValue kFillValues[] = {
    {"Point", kFillPoint}, {"Wireframe", kFillWireframe}, {"Solid", kFillSolid}};
const NamedValue kStencilOpValues[] = {
    {"Keep", kStencilOpKeep},       {"Zero", kStencilOpZero},       {"Replace", kStencilOpReplace},
    {"IncrSat", kStencilOpIncrSat}, {"DecrSat", kStencilOpDecrSat}, {"Invert", kStencilOpInvert},
    {"Incr", kStencilOpIncr},       {"Decr", kStencilOpDecr}};
const NamedValue kFilterValues[] = {{"None", kTexFilterNone},
                                    {"Point", kTexFilterPoint},
                                    {"Linear", kTexFilterLinear},
                                    {"Anisotropic", kTexFilterAnisotropic}};
const NamedValue kAddressValues[] = {{"Wrap", kAddressWrap},
                                     {"Mirror", kAddressMirror},
                                     {"Clamp", kAddressClamp},
                                     {"Border", kAddressBorder}};

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
    {"AddressU", kSampAddressU, ValueKind::Address},
    {"AddressV", kSampAddressV, ValueKind::Address},
    {"AddressW", kSampAddressW, ValueKind::Address},
    {"BorderColor", kSampBorderColor, ValueKind::Number},
    {"MagFilter", kSampMagFilter, ValueKind::Filter},
    {"MinFilter", kSampMinFilter, ValueKind::Filter},
    {"MipFilter", kSampMipFilter, ValueKind::Filter},
    {"MaxAnisotropy", kSampMaxAnisotropy, ValueKind::Number},
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
    case ValueKind::Blend:
      return FindNamed(kBlendValues, text, out);
    case ValueKind::BlendOp:
      return FindNamed(kBlendOpValues, text, out);
    case ValueKind::Compare:
      return FindNamed(kCompareValues, text, out);
    case ValueKind::Cull:
      return FindNamed(kCullValues, text, out);
    case ValueKind::Fill:
      return FindNamed(kFillValues, text, out);
    case ValueKind::StencilOp:
      return FindNamed(kStencilOpValues, text, out);
    case ValueKind::Filter:
      return FindNamed(kFilterValues, text, out);
    case ValueKind::Address:
      return FindNamed(kAddressValues, text, out);
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
    case ParamType::Float:
      return 1;
    case ParamType::Float2:
      return 2;
    case ParamType::Float3:
      return 3;
    case ParamType::Float4:
      return 4;
    case ParamType::Float4x4:
      return 16;
    case ParamType::Texture:
      return 0;
  }
  return 0;
}

const char* GlslType(ParamType t) {
  switch (t) {
    case ParamType::Bool:
      return "bool";
    case ParamType::Int:
      return "int";
    case ParamType::Float:
      return "float";
    case ParamType::Float2:
      return "vec2";
    case ParamType::Float3:
      return "vec3";
    case ParamType::Float4:
      return "vec4";
    case ParamType::Float4x4:
      return "mat4";
    case ParamType::Texture:
      return "";
  }
  return "";
}

// What a shader can use: one parameter within a uniform block's guaranteed size (16 KiB,
// GL_MAX_UNIFORM_BLOCK_SIZE's minimum; the bone palette takes 3.75 KiB), and all the
// parameters of one effect within a few such blocks.
constexpr size_t kMaxParameterWords = 16384 / 4;
constexpr size_t kMaxEffectWords = 65536 / 4;

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

  static bool ParseStates(const rapidxml::xml_node<>* parent, const StateName* table,
                          size_t tableSize, std::vector<StateValue>& out, const std::string& name,
                          const std::string& where, std::string* errors) {
    for (auto* s = parent->first_node("state"); s; s = s->next_sibling("state")) {
      const char* stateName = Attr(s, "name");
      const char* value = Attr(s, "value");
      if (!stateName || !value)
        return Fail(errors, name, where + ": a state needs a name and a value");
      const StateName* found = nullptr;
      for (size_t i = 0; i < tableSize; ++i)
        if (EqualNoCase(table[i].name, stateName)) found = &table[i];
      if (!found) return Fail(errors, name, where + ": unknown state \"" + stateName + "\"");
      uint32_t v = 0;
      if (!ParseStateValue(found->kind, value, v))
        return Fail(errors, name, where + ": bad value \"" + value + "\" for state " + found->name);
      auto same = std::find_if(out.begin(), out.end(),
                               [&](const StateValue& sv) { return sv.state == found->code; });
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
      return Fail(errors, e.m_name,
                  std::string("bad parameter name \"") + (name ? name : "") + "\"");
    if (e.GetParameterByName(name) != 0)
      return Fail(errors, e.m_name, std::string("parameter ") + name + " is declared twice");
    static const struct {
      const char* text;
      ParamType type;
    } kTypes[] = {{"bool", ParamType::Bool},         {"int", ParamType::Int},
                  {"float", ParamType::Float},       {"float2", ParamType::Float2},
                  {"float3", ParamType::Float3},     {"float4", ParamType::Float4},
                  {"float4x4", ParamType::Float4x4}, {"texture", ParamType::Texture}};
    Parameter p;
    p.desc.name = name;
    bool known = false;
    for (const auto& t : kTypes)
      if (type && EqualNoCase(t.text, type)) {
        p.desc.type = t.type;
        known = true;
      }
    if (!known)
      return Fail(errors, e.m_name, std::string("parameter ") + name + " has an unknown type");
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
    if (const char* isStatic = Attr(node, "static")) {
      uint32_t b = 0;
      if (!ParseStateValue(ValueKind::Bool, isStatic, b))
        return Fail(errors, e.m_name, std::string("parameter ") + name + ": bad static flag");
      p.desc.isStatic = b != 0;
    }
    if (p.desc.isStatic && (p.desc.type != ParamType::Bool || p.desc.count != 0 || p.desc.buffer))
      return Fail(errors, e.m_name,
                  std::string("parameter ") + name + ": only a single bool can be static");
    if (p.desc.type == ParamType::Texture && p.desc.count != 0)
      return Fail(errors, e.m_name,
                  std::string("texture parameter ") + name + " cannot be an array");
    if (p.desc.buffer && (p.desc.count == 0 ||
                          !(p.desc.type == ParamType::Float || p.desc.type == ParamType::Float4 ||
                            p.desc.type == ParamType::Float4x4)))
      return Fail(errors, e.m_name,
                  std::string("buffer parameter ") + name +
                      " must be an array of float, float4 or float4x4");
    p.elementWords = ElementWords(p.desc.type);
    const uint32_t elements = p.desc.count ? p.desc.count : 1;
    const size_t words =
        p.desc.buffer ? BufferWords(p.desc, p.elementWords) : size_t(p.elementWords) * elements;
    // No shader holds more: refuse before reserving anything.
    if (words > kMaxParameterWords)
      return Fail(errors, e.m_name,
                  std::string("parameter ") + name + " needs " + std::to_string(words * 4) +
                      " bytes, more than the " + std::to_string(kMaxParameterWords * 4) +
                      " a shader can hold");
    size_t total = words;
    for (const Parameter& other : e.m_parameters) total += other.words.size();
    if (total > kMaxEffectWords)
      return Fail(errors, e.m_name,
                  std::string("parameter ") + name + " takes the effect's parameters past " +
                      std::to_string(kMaxEffectWords * 4) + " bytes");
    p.words.assign(words, 0u);

    if (const char* def = Attr(node, "default")) {
      if (p.desc.type == ParamType::Texture)
        return Fail(errors, e.m_name,
                    std::string("texture parameter ") + name + " cannot have a default");
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
          return Fail(errors, e.m_name,
                      std::string("parameter ") + name + " has too many default values");
        if (IsFloatType(p.desc.type)) {
          float f;
          if (!ParseFloat(token.c_str(), f))
            return Fail(errors, e.m_name,
                        std::string("parameter ") + name + ": bad default \"" + token + "\"");
          std::memcpy(&p.words[index], &f, 4);
        } else {
          uint32_t v;
          if (!ParseStateValue(ValueKind::Bool, token.c_str(), v))
            return Fail(errors, e.m_name,
                        std::string("parameter ") + name + ": bad default \"" + token + "\"");
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
        std::any_of(e.m_samplers.begin(), e.m_samplers.end(),
                    [&](const Sampler& s) { return s.name == name; }))
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
      return Fail(errors, e.m_name,
                  std::string("sampler ") + name + " does not name a texture parameter");
    s.parameter = h - 1;
    if (!ParseStates(node, kSamplerStates, sizeof(kSamplerStates) / sizeof(kSamplerStates[0]),
                     s.states, e.m_name, std::string("sampler ") + name, errors))
      return false;
    e.m_samplers.push_back(std::move(s));
    return true;
  }

  static std::string Declarations(const Effect& e) {
    std::string d;
    for (const Parameter& p : e.m_parameters) {
      const ParameterDesc& pd = p.desc;
      if (pd.type == ParamType::Texture) continue;
      if (pd.isStatic) {
        // A program is built with HM_STATIC_<name> defined as the value it stands for.
        d += "#ifdef HM_STATIC_" + pd.name + "\nconst bool " + pd.name + " = HM_STATIC_" + pd.name +
             ";\n#else\nuniform bool " + pd.name + ";\n#endif\n";
      } else if (pd.buffer) {
        const uint32_t words = BufferWords(pd, p.elementWords);
        const bool matrices = pd.type == ParamType::Float4x4;
        d += "layout(std140) uniform " + pd.name + "Block { " + (matrices ? "mat4 " : "vec4 ") +
             pd.name + "[" + std::to_string(matrices ? pd.count : words / 4) + "]; };\n";
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
    if (!ParseStates(node, kRenderStates, sizeof(kRenderStates) / sizeof(kRenderStates[0]),
                     pass.states, e.m_name, where, errors))
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
    for (size_t i = 0; i < e.m_parameters.size(); ++i)
      if (e.m_parameters[i].desc.isStatic && (ReadsName(vsText, e.m_parameters[i].desc.name) ||
                                              ReadsName(fsText, e.m_parameters[i].desc.name)))
        pass.staticBools.push_back(uint32_t(i));
    if (pass.staticBools.size() > kMaxStaticBoolsPerPass)
      return Fail(
          errors, e.m_name,
          where + " reads more than " + std::to_string(kMaxStaticBoolsPerPass) + " static bools");
    // #line makes the compiler's messages point at lines of the effect file. The
    // "#version" line is the runtime's, which puts the static bools' values after it.
    pass.vertex = (attributes ? attributes : "") + std::string("\n") + decls + "#line " +
                  std::to_string(vsLine) + "\n" + vsText + "\n";
    pass.fragment = decls + "layout(location = 0) out vec4 oColor;\n" + kAlphaTestGlsl +
                    "#define main hm_PassMain\n" + "#line " + std::to_string(fsLine) + "\n" +
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
           std::string("malformed XML: ") + err.what() + " at line " +
               std::to_string(LineOf(text, err.where<char>())));
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
    if (e.m_samplers.size() > kMaxSamplers)
      return Fail(errors, e.m_name, "too many samplers"), kErrInvalidData;

    for (auto* t = root->first_node("technique"); t; t = t->next_sibling("technique")) {
      Technique tech;
      const char* name = Attr(t, "name");
      tech.name = name ? name : "";
      if (tech.name.empty())
        return Fail(errors, e.m_name, "a technique has no name"), kErrInvalidData;
      if (e.GetTechniqueByName(tech.name.c_str()) != 0)
        return Fail(errors, e.m_name, "technique " + tech.name + " is declared twice"),
               kErrInvalidData;
      for (auto* p = t->first_node("pass"); p; p = p->next_sibling("pass")) {
        Pass pass;
        const char* passName = Attr(p, "name");
        pass.name = passName ? passName : "";
        const std::string where =
            "technique " + tech.name + " pass " + std::to_string(tech.passes.size());
        if (!ParsePass(e, text, p, pass, where, errors)) return kErrInvalidData;
        tech.passes.push_back(std::move(pass));
      }
      if (tech.passes.empty())
        return Fail(errors, e.m_name, "technique " + tech.name + " has no pass"), kErrInvalidData;
      e.m_techniques.push_back(std::move(tech));
    }
    if (e.m_techniques.empty()) return Fail(errors, e.m_name, "no technique"), kErrInvalidData;
    return kOk;
  }
};

HResult ParseEffect(Effect& e, char* text, std::string* errors) {
  return Effect::Impl::Parse(e, text, errors);
}

}  // namespace fx
}  // namespace plat
