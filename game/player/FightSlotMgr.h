#pragma once
// Rations the enemies that close in on the player. It keeps three kinds of place
// around its owner: "count" fight slots on an inner circle, handed every frame to
// the nearest enemies that asked for one or hold one; 32 wait slots on an outer
// circle, first come first served, where the others stand; and the attacker list,
// the enemies swinging right now, at most "attackers_max" and none while `hold` is
// set. The player sets `hold` and empties `waiting` while it performs a fatality,
// uses an object, is hit or dies.
//
// Keys: "count", "dist_min", "dist_wait_min", "dist_wait_max", "wait_slot_radius",
// "queue_count", and "attackers_max" in the difficulty blocks.
//
// The manager owns none of its users: every enemy that took a place gives all of
// it back through LeaveFight before it is disabled, reset, retargeted or destroyed.
#include <cstdint>
#include <vector>

#include "engine/core/FactoryMaker.h"
#include "engine/core/StringHash.h"
#include "engine/objects/Component.h"
#include "platform/math/Vector.h"

namespace vd {
namespace obj {
class CGameObject;
}
namespace gfx {
class CTransform;
}

class IEnemyFighter;

class CFightSlotMgr : public obj::CComponent<CFightSlotMgr> {
public:
  static constexpr int kWaitSlotCount = 32;
  // The fighter's attack state: an attacker found in any other pair leaves the list.
  static constexpr int kAttackState = 17;
  static constexpr int kAttackSubState = 0;
  // More fight slots or queued requests than this in a file are taken as this many.
  static constexpr int kMaxCount = 64;

  struct SWaitSlot {
    obj::CGameObject* occupant = nullptr;
    float angle = 0.0f;  // radians
  };
  struct SAttacker {
    IEnemyFighter* fighter = nullptr;
    // The fighter's object, taken when it was admitted, so that releasing by object
    // never has to ask a fighter that may be on its way out.
    obj::CGameObject* owner = nullptr;
  };

  static const CStringHash& GetClassName();

  CFightSlotMgr();
  ~CFightSlotMgr() override;
  // Whether `manager` names a manager that exists: a fighter that outlives its
  // target's object (the level torn down in any order) has nothing to give back.
  static bool IsLive(const CFightSlotMgr* manager);
  CFightSlotMgr& operator=(const CFightSlotMgr& other) = default;

  void Load(rapidxml::xml_node<>* element) override;
  bool HasContent() override { return true; }
  // Every slot and list empty, `hold` clear; angles and sizes stay.
  void Restart() override;
  bool Update(float dt) override;
  // A restored manager starts empty: its users re-ask.
  void OnAfterRestore() override { Restart(); }
  bool Init() override;
  void Reset() override;

  // --- Slots (the enemies, on the main thread) -----------------------------------
  // Queued until the next Update; refused beyond "queue_count" and when queued already.
  void RequestFightSlot(obj::CGameObject* occupant);
  // The first fight slot that holds the occupant; false (index untouched) if none.
  bool GetFightSlotIndex(const obj::CGameObject* occupant, int& index) const;
  // The slot's place on the circle of radius dist_wait_min - dist_min around the
  // owner; the owner's position for an index that names no slot.
  plat::Vec3 GetFightSlotPosition(int index) const;
  // The wait slot the occupant holds, else the first free one in slot order; -1
  // when all 32 are taken.
  int TakeWaitSlot(obj::CGameObject* occupant);
  // The slot's place on the wait circle; the owner's position for a bad index.
  plat::Vec3 GetWaitSlotPosition(int index) const;
  // Admits an attacker while `hold` is clear and fewer than attackers_max attack.
  // A fighter already listed is granted again without a second entry.
  bool AddAttacker(IEnemyFighter* fighter);
  // Gives back every wait slot, request, fight slot and attacker entry of the
  // occupant.
  void ReleaseSlots(obj::CGameObject* occupant);
  // What a fighter calls when it leaves the fight (disabled, reset, destroyed or
  // retargeted): ReleaseSlots, and its attacker entry also when it is listed under
  // another object or none.
  void LeaveFight(obj::CGameObject* occupant, const IEnemyFighter* fighter);

  // --- Access --------------------------------------------------------------------
  const std::vector<SWaitSlot>& GetWaitSlots() const { return m_waitSlots; }
  const std::vector<obj::CGameObject*>& GetFightSlots() const { return m_fightSlots; }
  const std::vector<SAttacker>& GetAttackers() const { return m_attackers; }
  size_t GetAttackerCount() const { return m_attackers.size(); }
  float GetFightSlotRadius() const { return distWaitMin - distMin; }

  // --- Tuning --------------------------------------------------------------------
  int32_t count = 0;
  float distMin = 0.0f;
  float distWaitMin = 0.0f;
  float distWaitMax = 0.0f;
  // Negative until a file gives one: Init then puts the wait circle halfway
  // between dist_min and dist_wait_min. An enemy stops going to its wait slot only
  // once inside dist_wait_min, so the circle lies inside it.
  float waitSlotRadius = -1.0f;
  int32_t queueCount = 0;
  int32_t attackersMax = 0;

  // --- State ---------------------------------------------------------------------
  // While set no enemy is admitted to attack.
  uint8_t hold = 0;
  // The requests made since the last Update.
  std::vector<obj::CGameObject*> waiting;

private:
  struct SCandidate {
    obj::CGameObject* object;
    float distance;  // sum of absolute differences from the owner
  };
  plat::Vec3 Centre() const;
  static bool PositionOf(const obj::CGameObject* object, plat::Vec3& out);
  static bool IsAttackPair(const IEnemyFighter* fighter);

  gfx::CTransform* m_transform = nullptr;
  std::vector<SWaitSlot> m_waitSlots;
  std::vector<obj::CGameObject*> m_fightSlots;
  std::vector<SAttacker> m_attackers;
  // Update's working list, kept to avoid allocating every frame.
  std::vector<SCandidate> m_candidates;
};

}  // namespace vd
