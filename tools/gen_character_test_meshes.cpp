// Writes the character collider's test level under Data/collision/test/ (or the
// folder given as the first argument): a 40 m floor with a 0.3 m step, and two
// walls that meet in a corner.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/collision/CollisionMeshWriter.h"

namespace {

using Mesh = vd::phy::SCollisionMeshBuilder;
using vd::phy::WriteCollisionMesh;


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
  bool ok = WriteCollisionMesh(folder + "/char_floor", Floor());
  ok = WriteCollisionMesh(folder + "/char_walls", Walls()) && ok;
  if (ok) std::printf("character test meshes written to %s\n", folder.c_str());
  return ok ? 0 : 1;
}
