// Writes the level's collision meshes under Data/collision/ (or the folder given
// as the first argument): the street floor and the walls of the city block.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/collision/CollisionMeshWriter.h"

namespace {

using Mesh = vd::phy::SCollisionMeshBuilder;
using vd::phy::WriteCollisionMesh;


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
  bool ok = WriteCollisionMesh(folder + "/level_floor", Floor());
  ok = WriteCollisionMesh(folder + "/level_walls", Walls()) && ok;
  if (ok) std::printf("collision meshes written to %s\n", folder.c_str());
  return ok ? 0 : 1;
}
