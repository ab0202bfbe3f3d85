// The animation manager's templates reader; the Cal3D files it names are the game's.
#include "engine/animation/AnimationManager.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool once =
      (fuzz::SilenceEngineLog(), vd::anm::CAnimationManager::SetLoadingModeRotateX(), true);
  (void)once;
  vd::anm::CAnimationManager manager;
  manager.LoadTemplates(fuzz::WriteInput(data, size, "animation_templates.xml").c_str());
  manager.templates.RemoveAll();
  return 0;
}
