// The fighter's approach and fight: from going to its target to leaving cover.
#include "game/enemies/Berserker.h"

namespace vd {

// TEMPORARY stand-in until the fight states are built: the fighter stands.
void CBerserker::UpdateFightState(float /*dt*/) {}

}  // namespace vd
