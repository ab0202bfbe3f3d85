// Writes the level's collision meshes under Data/collision/ (or the folder given
// as the first argument): the street floor and the walls of the city block.
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
    Quad(t0, t1, t2, t3);
  }
};

void PutU32(std::vector<unsigned char>& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<unsigned char>(value >> (8 * i));
}

bool Write(const std::string& path, const Mesh& mesh) {
  if (mesh.vertices.size() / 3 > 32768) {
    std::fprintf(stderr, "%s: too many vertices for 16-bit indices\n", path.c_str());
    return false;
  }
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

// The streets: an 80 m square at ground level in 5 m cells, with a ramp up to
// the raised plaza in the north-east corner.
Mesh Floor() {
  Mesh mesh;
  constexpr int kCells = 16;
  constexpr float kCell = 5.0f;
  constexpr float kOrigin = -40.0f;
  auto height = [](float x, float z) {
    if (x >= 20.0f && z >= 20.0f) return 1.5f;
    if (x >= 20.0f && z >= 10.0f) return 1.5f * (z - 10.0f) / 10.0f;
    return 0.0f;
  };
  for (int j = 0; j <= kCells; ++j) {
    for (int i = 0; i <= kCells; ++i) {
      const float x = kOrigin + i * kCell, z = kOrigin + j * kCell;
      mesh.Vertex(x, height(x, z), z);
    }
  }
  for (int j = 0; j < kCells; ++j) {
    for (int i = 0; i < kCells; ++i) {
      const uint16_t a = static_cast<uint16_t>(j * (kCells + 1) + i);
      const uint16_t b = static_cast<uint16_t>(a + 1);
      const uint16_t c = static_cast<uint16_t>(a + kCells + 2);
      const uint16_t d = static_cast<uint16_t>(a + kCells + 1);
      mesh.Quad(a, d, c, b);  // facing up
    }
  }
  return mesh;
}

// The block's outer walls, the buildings along the streets and a few crates of
// masonry that give cover.
Mesh Walls() {
  Mesh mesh;
  mesh.Block(-41, -41, 41, -40, 8);  // south
  mesh.Block(-41, 40, 41, 41, 8);    // north
  mesh.Block(-41, -40, -40, 40, 8);  // west
  mesh.Block(40, -40, 41, 40, 8);    // east
  mesh.Block(-30, -30, -15, -15, 12);
  mesh.Block(5, -30, 25, -18, 10);
  mesh.Block(-30, 5, -18, 25, 14);
  mesh.Block(-5, -5, 5, 5, 6);
  mesh.Block(12, 2, 14, 4, 1.2f);
  mesh.Block(-10, 12, -8, 13, 1.2f);
  return mesh;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string folder = argc > 1 ? argv[1] : "Data/collision";
  bool ok = Write(folder + "/level_floor", Floor());
  ok = Write(folder + "/level_walls", Walls()) && ok;
  if (ok) std::printf("collision meshes written to %s\n", folder.c_str());
  return ok ? 0 : 1;
}
