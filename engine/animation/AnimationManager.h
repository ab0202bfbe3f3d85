#pragma once
// Placeholder until animation templates land: the template table and instance list
// that start-up and shutdown empty.
#include <vector>

#include "engine/core/StringHash.h"

namespace vd {
namespace anm {

class CAnimationTemplate {
public:
  // Unloads the template's data before it is deleted.
  void Reset() {}
};

class CAnimationManager {
public:
  void ClearInstances() { instances.clear(); }
  // The animation library's loading mode for skeletons, meshes and animations.
  static void SetLoadingModeRotateX();

  utl::CStringHashMap<CAnimationTemplate> templates;
  std::vector<void*> instances;
};

}  // namespace anm
}  // namespace vd
