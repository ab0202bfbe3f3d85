#pragma once
// How the device's format and vertex-layout codes map to GL. Private to platform/gpu.
#include <epoxy/gl.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/gpu/Constants.h"

namespace plat {
namespace gpu {

struct GlFormat {
  GLenum internal, format, type;
  bool compressed;
  GLint swizzle[4];
};
// False for a format the layer cannot make.
bool LookUpFormat(uint32_t format, GlFormat* out);
bool IsDepthFormat(uint32_t format);
bool IsCompressedFormat(uint32_t format);
uint32_t BytesPerPixel(uint32_t format);
// Bytes of one level, rows of one level (rows of blocks for DXT).
size_t FormatLevelSize(uint32_t format, uint32_t width, uint32_t height);
uint32_t FormatRowPitch(uint32_t format, uint32_t width);
uint32_t FullMipCount(uint32_t width, uint32_t height, uint32_t depth);

// One vertex attribute as GL reads it.
struct AttribDesc {
  GLuint location;
  uint32_t stream;
  uint32_t offset;
  GLint size;  // components, or GL_BGRA for D3DCOLOR
  GLenum type;
  GLboolean normalised;
  uint32_t bytes;  // size of the element in the vertex
};

bool DescribeDeclType(uint8_t type, GLint* size, GLenum* glType, GLboolean* norm, uint32_t* bytes);
// The attribute location of a declaration usage and usage index; -1 when none.
int LocationOf(uint8_t usage, uint8_t index);
// Every input name of the attribute table with its location (names may share one).
void ForEachAttributeName(const std::function<void(int, const char*)>& visit);
// False when an element has an unknown type or a usage without a location.
bool LayoutFromElements(const std::vector<VertexElement>& elements, std::vector<AttribDesc>* out);
// An FVF code as declaration elements on stream 0.
bool ElementsFromFvf(uint32_t fvf, std::vector<VertexElement>* out);

}  // namespace gpu
}  // namespace plat
