#pragma once
// What every enemy shares from Data/xml/ai/ai.xml: tuning, attack records, the
// animations' time stamps and the names of the trackers and play-list files that
// the manager links once the level's objects exist. Read on the loader thread.
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace vd {

enum EEnemyKind : int { kEnemyZombie = 0, kEnemyMutant = 1, kEnemyKrauser = 2, kEnemyKindCount = 3 };

// Zeroed until an "attack" element fills it.
struct SAttackRecord {
  float weaponIn = 0.0f;   // fractions of the attack animation's length
  float weaponOut = 0.0f;
  float hitTime = 0.0f;
  int32_t damage = 0;
  float rangeMin = 0.0f;
  float rangeMax = 0.0f;
  float speed = 0.0f;
  float angle = 0.0f;
  float shakePower = 0.0f;
  float shakeTime = 0.0f;
  uint8_t special = 0;
  int32_t bigWeapon = 0;
};

struct SAIData {
  // A file holding neither keeps these.
  int32_t vomitAttackersMax = 0;
  float fatalityDelay = 0.0f;
  // "helpers_trackers" in file order; a fighter takes the one at its zone index.
  std::vector<std::string> trackerObjects;
  // Keyed by name hash.
  std::unordered_map<uint32_t, SAttackRecord> attacks[kEnemyKindCount];
  std::unordered_map<uint32_t, std::vector<float>> animationTimes[kEnemyKindCount];
  std::vector<std::string> playListFiles[kEnemyKindCount];

  void Clear() { *this = SAIData(); }
  // Null when the kind or the name has none.
  const SAttackRecord* FindAttack(int kind, uint32_t nameHash) const;
  const std::vector<float>* FindAnimationTimes(int kind, uint32_t nameHash) const;
};

// Time stamps per animation: an index past this is a damaged file, not a long animation.
constexpr size_t kMaxAnimationTimeStamps = 64;
// A vomit attacker count past this is a damaged file.
constexpr int32_t kMaxVomitAttackers = 64;

// Reads the file into `data` (emptied first). False when the file is missing, empty
// or malformed; then `data` holds its defaults. Damaged parts are logged and skipped.
bool LoadAIData(const char* path, SAIData& data);

// -1 for a name that is none of "zombie", "mutant", "krauser".
int EnemyKindFromName(const char* name);

}  // namespace vd
