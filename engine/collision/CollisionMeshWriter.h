#pragma once
// Builds collision meshes and writes them in the layout the loader reads: a 40-byte
// header (little-endian: vertex count at 12, index count at 20, index size 2 at 32),
// the vertices as 3 floats, then the 16-bit indices. Used by the content tools and
// the benchmarks.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace vd {
namespace phy {

struct SCollisionMeshBuilder {
  std::vector<float> vertices;  // x, y, z
  std::vector<uint16_t> indices;

  uint16_t Vertex(float x, float y, float z) {
    vertices.insert(vertices.end(), {x, y, z});
    return static_cast<uint16_t>(vertices.size() / 3 - 1);
  }
  // Two triangles, counter-clockwise seen from the side the face looks to.
  void Quad(uint16_t a, uint16_t b, uint16_t c, uint16_t d) {
    indices.insert(indices.end(), {a, b, c, c, d, a});
  }
  // A horizontal rectangle facing up.
  void Flat(float minX, float minZ, float maxX, float maxZ, float y) {
    Quad(Vertex(minX, y, minZ), Vertex(minX, y, maxZ), Vertex(maxX, y, maxZ),
         Vertex(maxX, y, minZ));
  }
  // The four sides and the top of a block standing on the ground, facing out.
  void Block(float minX, float minZ, float maxX, float maxZ, float height) {
    const uint16_t b0 = Vertex(minX, 0, minZ), b1 = Vertex(maxX, 0, minZ);
    const uint16_t b2 = Vertex(maxX, 0, maxZ), b3 = Vertex(minX, 0, maxZ);
    const uint16_t t0 = Vertex(minX, height, minZ), t1 = Vertex(maxX, height, minZ);
    const uint16_t t2 = Vertex(maxX, height, maxZ), t3 = Vertex(minX, height, maxZ);
    Quad(b0, t0, t1, b1);
    Quad(b1, t1, t2, b2);
    Quad(b2, t2, t3, b3);
    Quad(b3, t3, t0, b0);
    Quad(t0, t3, t2, t1);
  }
};

// False (with a line on standard error) when the mesh does not fit 16-bit indices or
// the file cannot be written.
inline bool WriteCollisionMesh(const std::string& path, const SCollisionMeshBuilder& mesh) {
  if (mesh.vertices.size() / 3 > 65535) {
    std::fprintf(stderr, "%s: too many vertices for 16-bit indices\n", path.c_str());
    return false;
  }
  std::vector<unsigned char> bytes(40, 0);
  auto put = [&bytes](size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<unsigned char>(value >> (8 * i));
  };
  put(12, static_cast<uint32_t>(mesh.vertices.size() / 3));
  put(20, static_cast<uint32_t>(mesh.indices.size()));
  put(32, 2);
  for (float f : mesh.vertices) {
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof(bits));
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<unsigned char>(bits >> (8 * i)));
  }
  for (uint16_t index : mesh.indices) {
    bytes.push_back(static_cast<unsigned char>(index & 0xFF));
    bytes.push_back(static_cast<unsigned char>(index >> 8));
  }
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return false;
  }
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

}  // namespace phy
}  // namespace vd
