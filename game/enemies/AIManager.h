#pragma once
// The enemies' manager: prepared while the level loads, stepped once a frame in
// play and emptied when the game goes back to the menu. It keeps the level's
// fighter objects in the order they joined the fight, which is the order in which
// the player's aim considers them.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "game/enemies/AIData.h"
#include "game/player/EnemyList.h"

namespace vd {

class CAIManager : public IEnemyList {
public:
  CAIManager() = default;
  ~CAIManager();
  CAIManager(const CAIManager&) = delete;
  CAIManager& operator=(const CAIManager&) = delete;

  // Loader thread, before the zones' enemies load: empty lists and clocks. The
  // manager is the level's only once Activate publishes it.
  bool Init();
  // Main thread, as play is handed over: this manager becomes the one the enemies
  // join and the player aims through. The loader leaves the player's aim alone
  // while the main thread reads it.
  void Activate();
  // Loader thread, after the zones' enemies have loaded.
  void ReserveEnemyList();
  void Update(float dt);
  // Back to no level: lists and clocks emptied, and the player no longer aims
  // through this manager.
  void Clear();

  // An enemy joins the end of the list; one already in it keeps its place.
  void AddEnemy(uint32_t objectId);
  // The others keep their order.
  void RemoveEnemy(uint32_t objectId);

  size_t GetEnemyCount() const override { return m_enemies.size(); }
  // 0xFFFFFFFF for an index past the end.
  uint32_t GetEnemyId(size_t index) const override;

  // Reads the shared AI data (Data/xml/ai/ai.xml in the game), replacing what was
  // read before; false, with defaults kept, for a file that cannot be read.
  bool Load(const char* path);
  const SAIData& GetData() const { return m_data; }

  bool IsInitialised() const { return m_initialised; }
  float GetClock() const { return m_clock; }

  // The manager that Activate published and Clear has not let go; null outside a level.
  static CAIManager* GetActive();

private:
  bool m_initialised = false;
  float m_clock = 0.0f;
  std::vector<uint32_t> m_enemies;
  SAIData m_data;
};

}  // namespace vd
