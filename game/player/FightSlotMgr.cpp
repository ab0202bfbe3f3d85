#include "game/player/FightSlotMgr.h"

namespace vd {

const CStringHash& CFightSlotMgr::GetClassName() {
  static const CStringHash name("CFightSlotMgr");
  return name;
}

CFightSlotMgr::~CFightSlotMgr() {
  if (!IsCheckPointCopy()) Reset();
}

void CFightSlotMgr::Restart() {
  hold = 0;
  waiting.clear();
}

void CFightSlotMgr::Reset() {
  hold = 0;
  waiting.clear();
}

}  // namespace vd
