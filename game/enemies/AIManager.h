#pragma once
// The enemies' manager: prepared while the level loads, stepped once a frame in
// play and emptied when the game goes back to the menu. It holds what the enemies
// share (the AI data, their play lists, the shared trackers, the state names the
// scripts use), keeps the level's fighter objects in the order they joined the
// fight (the order in which the player's aim considers them), the enemy groups the
// level scripts switch, the fatality candidate and the vomit attackers.
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "game/enemies/AIData.h"
#include "game/enemies/PlayList.h"
#include "game/player/EnemyList.h"

struct lua_State;

namespace vd {
namespace lgc {
class CTracker;
}
namespace obj {
class CGameObject;
class CGameObjectManager;
}  // namespace obj

class CBerserker;

class CAIManager : public IEnemyList {
public:
  static constexpr const char* kDataPath = "Data/xml/ai/ai.xml";

  CAIManager() = default;
  ~CAIManager();
  CAIManager(const CAIManager&) = delete;
  CAIManager& operator=(const CAIManager&) = delete;

  // Loader thread, before the zones' enemies load: empties everything, reads
  // `dataPath` and the play-list files it names and becomes the manager the
  // loading enemies bind to. The player aims through it only once Activate
  // publishes it.
  bool Init(const char* dataPath = kDataPath);
  // Main thread, as play is handed over: this manager becomes the one the enemies
  // join and the player aims through.
  void Activate();
  // Loader thread, after the zones' enemies have loaded: links the trackers the AI
  // data and the play lists name and makes room for every fighter of the level.
  bool ReserveEnemyList();
  void Update(float dt);
  // Back to no level: lists and clocks emptied, and the player no longer aims
  // through this manager.
  void Clear();

  // An enemy joins the end of the list; one already in it keeps its place. Its
  // fighter component, when it has one, joins the fighters and staggers their
  // timings.
  void AddEnemy(obj::CGameObject* object);
  void RemoveEnemy(obj::CGameObject* object);
  // By id, for enemies without a fighter component.
  void AddEnemy(uint32_t objectId);
  void RemoveEnemy(uint32_t objectId);

  size_t GetEnemyCount() const override { return m_enemies.size(); }
  // 0xFFFFFFFF for an index past the end.
  uint32_t GetEnemyId(size_t index) const override;
  const std::vector<CBerserker*>& GetFighters() const { return m_fighters; }

  // Reads the shared AI data, replacing what was read before; false, with
  // defaults kept, for a file that cannot be read. Play-list files it names are read
  // too.
  bool Load(const char* path);
  const SAIData& GetData() const { return m_data; }

  // The state a script names: "go_to_target" 12, "corpse" 36, "playlist" 7; any
  // other name is 0.
  int StateFromName(const char* name) const;
  // Null when the kind, group or number has none.
  const SPlayList* FindPlayList(int kind, int group, int id) const;
  const SPlayListSet* GetPlayLists(int kind) const;
  // The shared tracker at that index ("helpers_trackers" order), null when none.
  lgc::CTracker* GetSharedTracker(int index) const;

  // --- Enemy groups (the Lua class "AIManager") ---------------------------------------
  // Fighters of the group that are active at this difficulty, queued on or off.
  void EnableEnemyGroup(int group);
  void DisableEnemyGroup(int group);
  // Fighters of the group active at this difficulty that do not start as corpses,
  // enabled or not.
  int GetEnemyGroupCount(int group) const;
  void SetTargetToEnemyGroup(int group, const char* objectName);

  // --- Fatality and vomit attackers ---------------------------------------------------
  // A fatality offer has ended: no other starts for "fatality_delay" seconds.
  void StartFatalityCoolDown();
  bool IsFatalityCoolingDown() const { return m_fatalityActive != 0; }
  CBerserker* fatalityCandidate = nullptr;
  float GetTimeSinceFatalityWindow() const { return m_timeSinceFatalityWindow; }
  // Room is bounded by "vomit_attackers_max".
  bool CanAddVomitAttacker() const;
  void AddVomitAttacker(CBerserker* fighter);
  // A fighter that leaves the fight mid-spray gives its place back at once.
  void RemoveVomitAttacker(const CBerserker* fighter);
  const std::vector<CBerserker*>& GetVomitAttackers() const { return m_attackers; }

  bool IsInitialised() const { return m_initialised; }
  float GetClock() const { return m_clock; }

  // The manager that Activate published and Clear has not let go; null outside a level.
  static CAIManager* GetActive();
  // The active manager, else the one a level is loading into; what enemies bind to.
  static CAIManager* GetCurrent();

private:
  void ForEachFighterObject(int group, bool countCorpses,
                            void (*visit)(obj::CGameObject*, CBerserker*, void*), void* data) const;
  // Missing trackers are logged when `report` (every object of the level is in).
  void LinkTrackers(bool report);
  // The boss of that group (a "CKrauser" object) queued on or off.
  void EnableBossGroup(int group, bool on);
  void Spread();

  bool m_initialised = false;
  float m_clock = 0.0f;
  std::vector<uint32_t> m_enemies;
  std::vector<CBerserker*> m_fighters;
  SAIData m_data;
  SPlayListSet m_playLists[kEnemyKindCount];
  std::unordered_map<uint32_t, int> m_stateNames;
  std::vector<lgc::CTracker*> m_sharedTrackers;
  uint8_t m_fatalityActive = 0;
  float m_fatalityTimer = 0.0f;
  float m_timeSinceFatalityWindow = 0.0f;
  std::vector<CBerserker*> m_attackers;
};

// The Lua class "AIManager" and the global "GetAIManager" (the game's manager),
// and the enemy class "CBerserker" with its methods.
void RegisterEnemyBindings(lua_State* state, CAIManager* manager);

}  // namespace vd
