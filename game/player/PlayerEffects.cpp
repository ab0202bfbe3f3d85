#include "game/player/PlayerEffects.h"

namespace vd {

const CStringHash& CPlayerEffects::GetClassName() {
  static const CStringHash name("CPlayerEffects");
  return name;
}

CPlayerEffects::~CPlayerEffects() {
  if (!IsCheckPointCopy()) Reset();
}

}  // namespace vd
