#pragma once
// What the player asks of the enemy it finishes: the enemies' fighter components
// ("CBerserker" on the zombies and mutants, "CKrauser" on the boss) answer it.
namespace vd {

class IFatalityVictim {
public:
  // The enemy offers itself to a finishing move.
  virtual bool IsReadyForFatality() const = 0;
  // A state change the enemy may refuse (false) while it is locked or already there.
  virtual bool RequestState(int state, int subState) = 0;

protected:
  ~IFatalityVictim() = default;
};

}  // namespace vd
