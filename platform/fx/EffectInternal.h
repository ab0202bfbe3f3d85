#pragma once
// What the effect file parser hands to the effect runtime. Private to platform/fx.
#include <string>
#include <vector>

#include "platform/fx/Effect.h"

namespace plat {
namespace fx {

// Technique handles carry this bit; parameter handles do not.
constexpr Handle kTechniqueBit = 0x80000000u;

inline bool IsFloatType(ParamType t) {
  return t == ParamType::Float || t == ParamType::Float2 || t == ParamType::Float3 ||
         t == ParamType::Float4 || t == ParamType::Float4x4;
}

struct Effect::Parameter {
  ParameterDesc desc;
  uint32_t elementWords = 0;    // 32-bit words in one element
  std::vector<uint32_t> words;  // the value: floats, or ints for bool and int
  gpu::BaseTexture* texture = nullptr;
  bool dirty = true;
  int bufferIndex = -1;  // slot of its uniform buffer
};

struct Effect::Sampler {
  std::string name;
  std::string glslType;
  uint32_t parameter = 0;  // index of its texture parameter
  std::vector<StateValue> states;
};

// The static bools a pass reads, at most this many (a program for each combination).
constexpr size_t kMaxStaticBoolsPerPass = 8;

// One program of a pass: the pass built with its static bools at the values of `key`.
struct Effect::Variant {
  uint32_t key = 0;  // bit i: the pass's static bool i is true
  gpu::Program* program = nullptr;
  bool resolved = false;
  std::vector<int> parameterLocations;
  std::vector<int> samplerLocations;
  int alphaFuncLocation = -1, alphaRefLocation = -1;
  int32_t sentAlphaFunc = -1;
  float sentAlphaRef = -1.0f;
};

struct Effect::Pass {
  std::string name;
  std::vector<StateValue> states;
  // The shaders after their "#version" line: the static bools' values go in between.
  std::string vertex, fragment;
  std::vector<uint32_t> staticBools;  // indices of the static parameters the pass reads
  std::vector<Variant> variants;      // the first is built with the effect
  size_t current = 0;                 // the variant in use since BeginPass
};

struct Effect::Technique {
  std::string name;
  std::vector<Pass> passes;
};

// Reads the parameters, samplers and techniques of `text` (zero-terminated, modified
// in place) into `e`, whose name and device are set. kOk or kErrInvalidData with the
// reason in `errors`.
HResult ParseEffect(Effect& e, char* text, std::string* errors);

}  // namespace fx
}  // namespace plat
