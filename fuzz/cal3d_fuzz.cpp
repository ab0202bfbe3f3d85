// Cal3D XML skeletons, meshes and animations: the file check, then the library's
// loader on what the check lets through, as the animation templates load them.
#include <string>

#include "engine/animation/AnimationManager.h"
#include "fuzz/FuzzInput.h"

namespace {
const char* kSkeleton = "Data/anims/humanoid.xsf";

bool Contains(const std::string& text, const char* tag) {
  return text.find(tag) != std::string::npos;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool once =
      (fuzz::SilenceEngineLog(), vd::anm::CAnimationManager::SetLoadingModeRotateX(), true);
  (void)once;
  std::string text(reinterpret_cast<const char*>(data), size);
  vd::anm::CAnimationTemplate model;
  if (Contains(text, "<SKELETON")) {
    model.Create("fuzz", fuzz::WriteInput(data, size, "input.xsf"));
  } else if (Contains(text, "<MESH")) {
    if (!model.Create("fuzz", kSkeleton)) std::abort();
    model.LoadMesh("mesh", fuzz::WriteInput(data, size, "input.xmf"), 0, true);
  } else {
    if (!model.Create("fuzz", kSkeleton)) std::abort();
    model.LoadAnimation("anim", fuzz::WriteInput(data, size, "input.xaf"));
  }
  return 0;
}
