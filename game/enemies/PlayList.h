#pragma once
// Play lists: scripted routines of an enemy (cycles, actions, walks along a
// tracker, sounds and subtitles), read from the play-list files that ai.xml names
// and kept by the AI manager per enemy kind, group and number.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "engine/animation/Animator.h"

namespace vd {
namespace lgc {
class CTracker;
}

// What the HUD receives of a "subtitle" entry, in this order.
struct SSubtitleRecord {
  std::string text;
  int32_t index = 0;
  float duration = 3.0f;
  float time = 0.0f;
  // The record as the HUD's subtitle timer reads it ("texture row time"): made once,
  // as the timer borrows its text for as long as it waits.
  std::string timerData;
};

struct SPlayListEntry {
  uint8_t isAnimation = 0;  // a "cycle", or a tracker entry naming an animation
  anm::COwnedName id;
  anm::COwnedName cycle;
  float time = 3.4028235e38f;  // how long a "cycle" plays
  uint8_t locked = 0;
  float delayIn = 0.25f;
  float delayOut = 0.25f;
  uint8_t isTracker = 0;
  // The tracker object's name; the AI manager links `tracker` once the level's
  // objects exist.
  std::string trackerName;
  lgc::CTracker* tracker = nullptr;
  int32_t trackerMode = 2;
  uint8_t stopAtWaypoint = 0;
  std::string sound;
  std::string sound3d;
  float soundTime = 0.0f;  // a sound without "time" plays at once
  SSubtitleRecord subtitle;
};

struct SPlayList {
  int32_t group = 0;
  int32_t id = 0;
  std::vector<SPlayListEntry> entries;
  std::vector<SPlayListEntry> exitEntries;
};

// The play lists of one enemy kind: list n of a group at index n - 1; numbers that
// no element uses leave empty lists.
struct SPlayListSet {
  std::map<int32_t, std::vector<SPlayList>> groups;
  // The kind's default fight list (group, id); 0 when no file names one.
  int32_t fightDefaultGroup = 0;
  int32_t fightDefaultId = 0;

  void Clear() { *this = SPlayListSet(); }
  // Null for an unknown group or a number outside 1 .. the group's count.
  const SPlayList* Find(int32_t group, int32_t id) const;
};

// Largest play-list number and entry count a file may use: past them it is damaged.
constexpr int32_t kMaxPlayListId = 256;
constexpr size_t kMaxPlayListEntries = 1024;

// "one_way" 0, "loop" 1, "ping_pong" 2; -1 for any other text.
int TrackerModeFromName(const char* name);

// Adds the file's play lists to `set` (a group read again replaces lists by number).
// False when the file is missing, empty or malformed; damaged elements are logged
// and skipped.
bool LoadPlayListFile(const char* path, SPlayListSet& set);

}  // namespace vd
