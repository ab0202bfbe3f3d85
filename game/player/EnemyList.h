#pragma once
// How the player reaches the enemies of the level without knowing their classes:
// the enemies' manager offers its list of fighter objects in its own order, and
// each fighter component answers the questions the aim and the finishing moves
// ask of it. The enemies implement both and install the list at level start.
#include <cstddef>
#include <cstdint>

#include "game/player/FatalityVictim.h"

namespace vd {
namespace obj {
class CGameObject;
}

class IEnemyList {
public:
  virtual size_t GetEnemyCount() const = 0;
  // The object id of the enemy at `index` (0 .. count - 1), in list order.
  virtual uint32_t GetEnemyId(size_t index) const = 0;

protected:
  ~IEnemyList() = default;
};

// The fighter component of an enemy object, as the player's aim sees it.
class IEnemyFighter : public IFatalityVictim {
public:
  // Whether it is in the fight; only an active fighter can be hurt or aimed at.
  virtual bool IsActive() const = 0;
  // While locked the fighter refuses state requests; the aim passes it by.
  virtual bool IsLocked() const = 0;
  // The gas locks whom it has caught, so that the rest of its sweep passes them by.
  virtual void SetLocked(bool locked) = 0;
  // The state pair; (35, 0) is dying and (36, 0) dead.
  virtual int GetState() const = 0;
  virtual int GetSubState() const = 0;

  static constexpr int kStateDying = 35;
  static constexpr int kStateDead = 36;

protected:
  ~IEnemyFighter() = default;
};

// The list the aim walks; null (no level, or no enemies' manager) aims at nothing.
void SetEnemyList(IEnemyList* list);
IEnemyList* GetEnemyList();

// The object's fighter component, or null.
IEnemyFighter* FindEnemyFighter(const obj::CGameObject* object);

}  // namespace vd
