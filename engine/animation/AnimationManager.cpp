#include "engine/animation/AnimationManager.h"

#include <cal3d/loader.h>

namespace vd {
namespace anm {

void CAnimationManager::SetLoadingModeRotateX() { CalLoader::setLoadingMode(LOADER_ROTATE_X_AXIS); }

}  // namespace anm
}  // namespace vd
