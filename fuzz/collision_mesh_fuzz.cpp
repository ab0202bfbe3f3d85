// Collision meshes, read by the collision module's loader.
#include "engine/collision/CollisionMesh.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::SilenceEngineLog();
  std::string path = fuzz::WriteInput(data, size, "input_collision");
  vd::phy::LoadCollisionMesh(path.c_str());
  return 0;
}
