// Writes the character collider's test level under Data/collision/test/ (or the
// folder given as the first argument): a 40 m floor with a 0.3 m step, and two
// walls that meet in a corner.
// Layout of a file (little-endian): vertex count at 12, index count at 20, index
// size (2) at 32, the vertices as 3 floats from 40, then the 16-bit indices.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Mesh {
  std::vector<float> vertices;  // x, y, z
  std::vector<uint16_t> indices;

  uint16_t Vertex(float x, float y, float z) {
    vertices.insert(vertices.end(), {x, y, z});
    return static_cast<uint16_t>(vertices.size() / 3 - 1);
  }
  void Quad(uint16_t a, uint16_t b, uint16_t c, uint16_t d) {
    indices.insert(indices.end(), {a, b, c, c, d, a});
  }
  // A horizontal rectangle facing up.
  void Flat(float minX, float minZ, float maxX, float maxZ, float y) {
    Quad(Vertex(minX, y, minZ), Vertex(minX, y, maxZ), Vertex(maxX, y, maxZ),
         Vertex(maxX, y, minZ));
  }
  // The four sides and the top of a block standing on the ground.
  void Block(float minX, float minZ, float maxX, float maxZ, float height) {
    const uint16_t b0 = Vertex(minX, 0, minZ), b1 = Vertex(maxX, 0, minZ);
    const uint16_t b2 = Vertex(maxX, 0, maxZ), b3 = Vertex(minX, 0, maxZ);
    const uint16_t t0 = Vertex(minX, height, minZ), t1 = Vertex(maxX, height, minZ);
    const uint16_t t2 = Vertex(maxX, height, maxZ), t3 = Vertex(minX, height, maxZ);
    Quad(b0, b1, t1, t0);
    Quad(b1, b2, t2, t1);
    Quad(b2, b3, t3, t2);
    Quad(b3, b0, t0, t3);
    Quad(t0, t3, t2, t1);
  }
};

void PutU32(std::vector<unsigned char>& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<unsigned char>(value >> (8 * i));
}

bool Write(const std::string& path, const Mesh& mesh) {
  std::vector<unsigned char> bytes(40, 0);
  PutU32(bytes, 12, static_cast<uint32_t>(mesh.vertices.size() / 3));
  PutU32(bytes, 20, static_cast<uint32_t>(mesh.indices.size()));
  PutU32(bytes, 32, 2);
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

// Ground at y = 0 from -20 to 20 on x and z (nothing beyond: a drop into the
// void), and a step 0.3 m high from x = 4 to 8, z = -4 to 4.
Mesh Floor() {
  Mesh mesh;
  mesh.Flat(-20, -20, 20, 20, 0);
  mesh.Block(4, -4, 8, 4, 0.3f);
  return mesh;
}

// A wall whose face looks along +x at x = -10, and one whose face looks along -z
// at z = 10; they meet in a corner at (-10, 10).
Mesh Walls() {
  Mesh mesh;
  mesh.Block(-11, -20, -10, 11, 3);
  mesh.Block(-11, 10, 20, 11, 3);
  return mesh;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string folder = argc > 1 ? argv[1] : "Data/collision/test";
  bool ok = Write(folder + "/char_floor", Floor());
  ok = Write(folder + "/char_walls", Walls()) && ok;
  if (ok) std::printf("character test meshes written to %s\n", folder.c_str());
  return ok ? 0 : 1;
}
