#pragma once
// Rations the enemies that may attack the player at once. What the player needs of
// it: the hold flag, set while the player performs a fatality, uses an object, is
// hit or dies, and the queue of attackers waiting for a slot, emptied then.
#include <cstdint>
#include <vector>

#include "engine/core/FactoryMaker.h"
#include "engine/core/StringHash.h"
#include "engine/objects/Component.h"

namespace vd {

class CFightSlotMgr : public obj::CComponent<CFightSlotMgr> {
public:
  static const CStringHash& GetClassName();

  CFightSlotMgr() = default;
  ~CFightSlotMgr() override;
  CFightSlotMgr& operator=(const CFightSlotMgr& other) = default;

  void Load(rapidxml::xml_node<>* element) override { (void)element; }
  bool HasContent() override { return true; }
  void Restart() override;
  bool Update(float dt) override {
    (void)dt;
    return true;
  }
  bool Init() override { return true; }
  void Reset() override;

  uint8_t hold = 0;
  // Game-object ids of the attackers waiting for a slot.
  std::vector<uint32_t> waiting;
};

}  // namespace vd
