#include "game/enemies/PlayList.h"

#include <cstdio>

#include "engine/core/Log.h"
#include "engine/core/StringHash.h"
#include "engine/core/Utils.h"
#include "engine/core/XmlFile.h"

namespace vd {

namespace {

using Node = rapidxml::xml_node<>;

const char* Attribute(const Node* node, const char* name) {
  const rapidxml::xml_attribute<>* attribute = node->first_attribute(name);
  return attribute ? attribute->value() : nullptr;
}

// An absent attribute keeps `value`; one that is not a number is logged and keeps it too.
void ReadFloat(const char* path, const Node* node, const char* name, float& value) {
  const char* text = Attribute(node, name);
  if (!text) return;
  float read = 0.0f;
  if (utl::ParseFloat(text, read))
    value = read;
  else
    utl::LogPrintf("Play lists: %s: <%s> %s '%s' is not a number; keeping %g\n", path,
                   node->name(), name, text, value);
}

void ReadInt(const char* path, const Node* node, const char* name, int32_t& value) {
  const char* text = Attribute(node, name);
  if (!text) return;
  int32_t read = 0;
  if (utl::ParseInt32(text, read))
    value = read;
  else
    utl::LogPrintf("Play lists: %s: <%s> %s '%s' is not a whole number; keeping %d\n", path,
                   node->name(), name, text, value);
}

// A blend attribute switches a full second of blending on or off.
void ReadDelay(const char* path, const Node* node, const char* name, float& delay) {
  if (!Attribute(node, name)) return;
  float value = 0.0f;
  ReadFloat(path, node, name, value);
  delay = value != 0.0f ? 1.0f : 0.0f;
}

void ReadFlag(const char* path, const Node* node, const char* name, uint8_t& flag) {
  int32_t value = flag;
  ReadInt(path, node, name, value);
  flag = value != 0 ? 1 : 0;
}

// False for an element that is no entry.
bool ReadEntry(const char* path, const Node* node, SPlayListEntry& entry, bool& isExit) {
  const CStringHash kind(node->name());
  static const CStringHash kCycle("cycle"), kAction("action"), kExitAction("exit_action"),
      kTracker("tracker"), kExitTracker("exit_tracker"), kSound("sound"), kSound3d("sound_3d"),
      kSubtitle("subtitle");
  const char* id = Attribute(node, "id");
  const char* cycle = Attribute(node, "cycle");
  isExit = kind == kExitAction || kind == kExitTracker;
  if (kind == kCycle) {
    entry.isAnimation = 1;
    ReadFloat(path, node, "time", entry.time);
  } else if (kind == kAction || kind == kExitAction) {
    if (kind == kAction) ReadFlag(path, node, "locked", entry.locked);
    ReadDelay(path, node, "delay_in", entry.delayIn);
    ReadDelay(path, node, "delay_out", entry.delayOut);
  } else if (kind == kTracker || kind == kExitTracker) {
    entry.isTracker = 1;
    entry.isAnimation = id && id[0] ? 1 : 0;
    const char* tracker = Attribute(node, "tracker_id");
    entry.trackerName = tracker ? tracker : "";
    if (const char* mode = Attribute(node, "tracker_cycle")) {
      const int value = TrackerModeFromName(mode);
      if (value >= 0)
        entry.trackerMode = value;
      else
        utl::LogPrintf("Play lists: %s: tracker_cycle '%s' is none of one_way, loop, ping_pong\n",
                       path, mode);
    }
    ReadFlag(path, node, "stop_at_waypoint", entry.stopAtWaypoint);
  } else if (kind == kSound || kind == kSound3d) {
    (kind == kSound ? entry.sound : entry.sound3d) = id ? id : "";
    ReadFloat(path, node, "time", entry.soundTime);
    if (!id || !id[0]) {
      utl::LogPrintf("Play lists: %s: <%s> without an id skipped\n", path, node->name());
      return false;
    }
    return true;
  } else if (kind == kSubtitle) {
    if (!id || !id[0]) {
      utl::LogPrintf("Play lists: %s: <subtitle> without an id skipped\n", path);
      return false;
    }
    entry.subtitle.text = id;
    ReadInt(path, node, "index", entry.subtitle.index);
    ReadFloat(path, node, "time", entry.subtitle.time);
    ReadFloat(path, node, "duration", entry.subtitle.duration);
    char data[64];
    std::snprintf(data, sizeof data, " %d %g", static_cast<int>(entry.subtitle.index),
                  static_cast<double>(entry.subtitle.duration));
    entry.subtitle.timerData = entry.subtitle.text + data;
    return true;
  } else {
    return false;
  }
  if (id) entry.id.Set(id);
  if (cycle && cycle[0]) entry.cycle.Set(cycle);
  return true;
}

void ReadList(const char* path, const Node* node, SPlayList& list) {
  for (const Node* child = node->first_node(); child; child = child->next_sibling()) {
    if (child->type() != rapidxml::node_element) continue;
    SPlayListEntry entry;
    bool isExit = false;
    if (!ReadEntry(path, child, entry, isExit)) continue;
    std::vector<SPlayListEntry>& into = isExit ? list.exitEntries : list.entries;
    if (into.size() >= kMaxPlayListEntries) {
      utl::LogPrintf("Play lists: %s: list %d of group %d has more than %zu entries; the rest "
                     "is skipped\n",
                     path, list.id, list.group, kMaxPlayListEntries);
      return;
    }
    into.push_back(std::move(entry));
  }
}

void ReadGroup(const char* path, const Node* node, SPlayListSet& set) {
  int32_t group = 0;
  const char* groupText = Attribute(node, "id");
  if (!utl::ParseInt32(groupText, group)) {
    utl::LogPrintf("Play lists: %s: play_list_group id '%s' is not a whole number; skipped\n",
                   path, groupText ? groupText : "");
    return;
  }
  std::vector<SPlayList>& lists = set.groups[group];
  for (const Node* child = node->first_node("playlist"); child;
       child = child->next_sibling("playlist")) {
    int32_t id = 0;
    const char* idText = Attribute(child, "id");
    if (!utl::ParseInt32(idText, id) || id < 1 || id > kMaxPlayListId) {
      utl::LogPrintf("Play lists: %s: group %d playlist id '%s' is not a number 1..%d; skipped\n",
                     path, group, idText ? idText : "", kMaxPlayListId);
      continue;
    }
    if (lists.size() < static_cast<size_t>(id)) lists.resize(static_cast<size_t>(id));
    SPlayList& list = lists[static_cast<size_t>(id) - 1];
    list = SPlayList();
    list.group = group;
    list.id = id;
    ReadList(path, child, list);
  }
  // Numbers no element used still know where they sit.
  for (size_t i = 0; i < lists.size(); ++i) {
    lists[i].group = group;
    lists[i].id = static_cast<int32_t>(i) + 1;
  }
}

}  // namespace

int TrackerModeFromName(const char* name) {
  const CStringHash hash(name);
  if (hash == CStringHash("one_way")) return 0;
  if (hash == CStringHash("loop")) return 1;
  if (hash == CStringHash("ping_pong")) return 2;
  return -1;
}

const SPlayList* SPlayListSet::Find(int32_t group, int32_t id) const {
  const auto found = groups.find(group);
  if (found == groups.end() || id < 1 || static_cast<size_t>(id) > found->second.size())
    return nullptr;
  return &found->second[static_cast<size_t>(id) - 1];
}

bool LoadPlayListFile(const char* path, SPlayListSet& set) {
  utl::CXmlFile file;
  const utl::CXmlFile::EResult result = file.Load(path);
  if (result == utl::CXmlFile::EResult::Missing) {
    utl::LogPrintf("Play lists: %s is missing or empty; skipped\n", path);
    return false;
  }
  if (result == utl::CXmlFile::EResult::Malformed) {
    utl::LogPrintf("Play lists: %s is malformed (%s); skipped\n", path, file.Error().c_str());
    return false;
  }
  const Node& document = file.Document();
  for (const Node* node = document.first_node("play_list_group"); node;
       node = node->next_sibling("play_list_group"))
    ReadGroup(path, node, set);
  for (const Node* node = document.first_node("play_list_fight_default"); node;
       node = node->next_sibling("play_list_fight_default")) {
    int32_t group = 0, id = 0;
    const char* groupText = Attribute(node, "group");
    const char* idText = Attribute(node, "id");
    if (!utl::ParseInt32(groupText, group) || !utl::ParseInt32(idText, id)) {
      utl::LogPrintf("Play lists: %s: play_list_fight_default group '%s' id '%s' skipped\n", path,
                     groupText ? groupText : "", idText ? idText : "");
      continue;
    }
    set.fightDefaultGroup = group;
    set.fightDefaultId = id;
  }
  return true;
}

}  // namespace vd
