#pragma once
// The enemies' manager as the level sees it before the enemies themselves exist:
// it is prepared while the level loads, stepped once a frame in play and emptied
// when the game goes back to the menu, and it holds no enemy yet.
#include <cstddef>

namespace vd {

class CAIManager {
public:
  // Loader thread, before the zones' enemies load.
  bool Init();
  // Loader thread, after the zones' enemies have loaded.
  void ReserveEnemyList();
  void Update(float dt);
  // Back to no level: lists and clocks emptied.
  void Clear();

  size_t GetEnemyCount() const { return 0; }
  bool IsInitialised() const { return m_initialised; }
  float GetClock() const { return m_clock; }

private:
  bool m_initialised = false;
  float m_clock = 0.0f;
};

}  // namespace vd
