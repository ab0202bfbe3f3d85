#include "engine/render/buffers/VertexTypes.h"

#include <cmath>

namespace vd {
namespace gfx {

namespace {

template <typename T>
constexpr SVertexFormat FormatOf() {
  static_assert(std::is_trivially_copyable<T>::value, "vertices are copied as bytes");
  static_assert(sizeof(T) == FvfStride(T::kFvf), "stride must match the FVF code");
  return SVertexFormat{T::kType, static_cast<uint32_t>(sizeof(T)), T::kFvf};
}

static_assert(sizeof(SIMPLE_VERTEX) == 12, "");
static_assert(sizeof(COLORED_VERTEX) == 16, "");
static_assert(sizeof(COLORED_NORM_VERTEX) == 28, "");
static_assert(sizeof(TEXTURED_VERTEX) == 20, "");
static_assert(sizeof(BITEXTURED_VERTEX) == 28, "");
static_assert(sizeof(TRITEXTURED_VERTEX) == 36, "");
static_assert(sizeof(TEXTURED_NORM_VERTEX) == 32, "");
static_assert(sizeof(BITEXTURED_NORM_VERTEX) == 40, "");
static_assert(sizeof(TRITEXTURED_NORM_VERTEX) == 48, "");
static_assert(sizeof(TEXTURED_NORM_TANGENT_VERTEX) == 48, "");
static_assert(sizeof(BITEXTURED_NORM_TANGENT_VERTEX) == 56, "");
static_assert(sizeof(TRITEXTURED_NORM_TANGENT_VERTEX) == 64, "");
static_assert(sizeof(TEXTURED_NORM_SKIN_VERTEX) == 40, "");
static_assert(sizeof(TEXTURED_NORM_TANGENT_SKIN_VERTEX) == 56, "");
static_assert(sizeof(SSAO_TEXTURED_VERTEX) == 32, "");
static_assert(sizeof(COLORED_TEXTURED_VERTEX) == 24, "");

constexpr SVertexFormat kFormats[16] = {
    FormatOf<SIMPLE_VERTEX>(),
    FormatOf<COLORED_VERTEX>(),
    FormatOf<COLORED_NORM_VERTEX>(),
    FormatOf<TEXTURED_VERTEX>(),
    FormatOf<BITEXTURED_VERTEX>(),
    FormatOf<TRITEXTURED_VERTEX>(),
    FormatOf<TEXTURED_NORM_VERTEX>(),
    FormatOf<BITEXTURED_NORM_VERTEX>(),
    FormatOf<TRITEXTURED_NORM_VERTEX>(),
    FormatOf<TEXTURED_NORM_TANGENT_VERTEX>(),
    FormatOf<BITEXTURED_NORM_TANGENT_VERTEX>(),
    FormatOf<TRITEXTURED_NORM_TANGENT_VERTEX>(),
    FormatOf<TEXTURED_NORM_SKIN_VERTEX>(),
    FormatOf<TEXTURED_NORM_TANGENT_SKIN_VERTEX>(),
    FormatOf<SSAO_TEXTURED_VERTEX>(),
    FormatOf<COLORED_TEXTURED_VERTEX>(),
};

}  // namespace

const SVertexFormat* GetVertexFormat(int32_t type) {
  if (type < 1 || type > 16) return nullptr;
  return &kFormats[type - 1];
}

void QuantiseSkinWeights(const float* weights, int count, uint8_t out[4]) {
  out[0] = out[1] = out[2] = out[3] = 0;
  uint8_t sum = 0;
  for (int j = 0; j < count && j < 4; ++j) {
    // Truncation toward zero; out-of-range weights are clamped rather than wrapped.
    const double scaled = static_cast<double>(weights[j]) * 255.0;
    int value = std::isnan(scaled) ? 0 : static_cast<int>(std::fmax(0.0, std::fmin(255.0, scaled)));
    out[j] = static_cast<uint8_t>(value);
    sum = static_cast<uint8_t>(sum + out[j]);
  }
  if (sum != 255) out[0] = static_cast<uint8_t>(out[0] + (255 - sum));
}

}  // namespace gfx
}  // namespace vd
