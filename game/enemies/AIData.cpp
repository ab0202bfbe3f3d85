#include "game/enemies/AIData.h"

#include <cstdlib>

#include "engine/core/Log.h"
#include "engine/core/StringHash.h"
#include "engine/core/Utils.h"
#include "engine/core/XmlFile.h"
#include "game/enemies/EnemyNames.h"

namespace vd {

namespace {

using Node = rapidxml::xml_node<>;

const char* Attribute(const Node* node, const char* name) {
  const rapidxml::xml_attribute<>* attribute = node->first_attribute(name);
  return attribute ? attribute->value() : nullptr;
}

// The kind of a list element, or -1 after saying why it is skipped.
int ListKind(const char* path, const Node* list) {
  const char* type = Attribute(list, "type");
  const int kind = type ? EnemyKindFromName(type) : -1;
  if (kind < 0)
    utl::LogPrintf("AI: %s: <%s> of unknown type '%s' skipped\n", path, list->name(),
                   type ? type : "");
  return kind;
}

void ReadGeneral(const char* path, const Node* section, SAIData& data) {
  for (const Node* key = section->first_node("key"); key; key = key->next_sibling("key")) {
    const char* name = Attribute(key, "name");
    const char* value = Attribute(key, "value");
    if (!name) continue;
    const CStringHash hash(name);
    if (hash == SH_vomit_attackers_max) {
      int32_t count = 0;
      if (utl::ParseInt32(value, count) && count >= 0 && count <= kMaxVomitAttackers)
        data.vomitAttackersMax = count;
      else
        utl::LogPrintf("AI: %s: vomit_attackers_max '%s' is not a count 0..%d; keeping %d\n", path,
                       value ? value : "", kMaxVomitAttackers, data.vomitAttackersMax);
    } else if (hash == SH_fatality_delay) {
      float delay = 0.0f;
      if (utl::ParseFloat(value, delay) && delay >= 0.0f)
        data.fatalityDelay = delay;
      else
        utl::LogPrintf("AI: %s: fatality_delay '%s' is not a time; keeping %g\n", path,
                       value ? value : "", data.fatalityDelay);
    }
  }
}

void ReadTrackers(const Node* section, SAIData& data) {
  for (const Node* node = section->first_node("tracker"); node;
       node = node->next_sibling("tracker")) {
    // An element without a name keeps its place: fighters index this list by zone.
    const char* object = Attribute(node, "tracker");
    data.trackerObjects.emplace_back(object ? object : "");
  }
}

// False when the attack must be skipped; optional attributes that do not read stay 0.
bool ReadAttack(const char* path, const Node* node, const char* id, SAttackRecord& attack) {
  struct SFloatField {
    const char* name;
    float SAttackRecord::*field;
    bool required;
  };
  static const SFloatField kFloats[] = {
      {"weaponIn", &SAttackRecord::weaponIn, true},
      {"weaponOut", &SAttackRecord::weaponOut, true},
      {"range_max", &SAttackRecord::rangeMax, true},
      {"range_min", &SAttackRecord::rangeMin, false},
      {"hit_time", &SAttackRecord::hitTime, false},
      {"speed", &SAttackRecord::speed, false},
      {"angle", &SAttackRecord::angle, false},
      {"shake_power", &SAttackRecord::shakePower, false},
      {"shake_time", &SAttackRecord::shakeTime, false},
  };
  for (const SFloatField& f : kFloats) {
    const char* text = Attribute(node, f.name);
    if (!text && !f.required) continue;
    if (!utl::ParseFloat(text, attack.*f.field)) {
      utl::LogPrintf("AI: %s: attack '%s' %s '%s' is %s\n", path, id, f.name, text ? text : "",
                     text ? "not a number" : "missing");
      if (f.required) return false;
    }
  }
  const char* damage = Attribute(node, "damage");
  if (!utl::ParseInt32(damage, attack.damage)) {
    utl::LogPrintf("AI: %s: attack '%s' damage '%s' is %s\n", path, id, damage ? damage : "",
                   damage ? "not a whole number" : "missing");
    return false;
  }
  attack.special = node->first_attribute("special") ? 1 : 0;
  const char* size = Attribute(node, "weapon_size");
  attack.bigWeapon = size && CStringHash(size) == SH_big ? 1 : 0;
  return true;
}

void ReadAttacks(const char* path, const Node* section, SAIData& data) {
  for (const Node* list = section->first_node("attacklist"); list;
       list = list->next_sibling("attacklist")) {
    const int kind = ListKind(path, list);
    if (kind < 0) continue;
    for (const Node* node = list->first_node("attack"); node; node = node->next_sibling("attack")) {
      const char* id = Attribute(node, "id");
      if (!id || !id[0]) {
        utl::LogPrintf("AI: %s: attack without an id skipped\n", path);
        continue;
      }
      SAttackRecord attack;
      if (!ReadAttack(path, node, id, attack)) {
        utl::LogPrintf("AI: %s: attack '%s' skipped\n", path, id);
        continue;
      }
      // A repeated id replaces the earlier record whole.
      data.attacks[kind][CStringHash(id).GetHash()] = attack;
    }
  }
}

void ReadPlayLists(const char* path, const Node* section, SAIData& data) {
  for (const Node* list = section->first_node("playlist"); list;
       list = list->next_sibling("playlist")) {
    const int kind = ListKind(path, list);
    if (kind < 0) continue;
    for (const Node* node = list->first_node("playlist_file"); node;
         node = node->next_sibling("playlist_file")) {
      const char* file = Attribute(node, "file");
      if (file && file[0])
        data.playListFiles[kind].emplace_back(file);
      else
        utl::LogPrintf("AI: %s: playlist_file without a file skipped\n", path);
    }
  }
}

void ReadAnimations(const char* path, const Node* section, SAIData& data) {
  for (const Node* list = section->first_node("animationlist"); list;
       list = list->next_sibling("animationlist")) {
    const int kind = ListKind(path, list);
    if (kind < 0) continue;
    for (const Node* animation = list->first_node("animation"); animation;
         animation = animation->next_sibling("animation")) {
      const char* id = Attribute(animation, "id");
      if (!id || !id[0]) {
        utl::LogPrintf("AI: %s: animation without an id skipped\n", path);
        continue;
      }
      std::vector<float>& times = data.animationTimes[kind][CStringHash(id).GetHash()];
      for (const Node* stamp = animation->first_node("time_stamp"); stamp;
           stamp = stamp->next_sibling("time_stamp")) {
        const char* index = Attribute(stamp, "id");
        const char* time = Attribute(stamp, "time");
        int32_t n = -1;
        float seconds = 0.0f;
        if (!utl::ParseInt32(index, n) || n < 0 ||
            static_cast<size_t>(n) >= kMaxAnimationTimeStamps || !utl::ParseFloat(time, seconds)) {
          utl::LogPrintf("AI: %s: animation '%s' time_stamp id '%s' time '%s' skipped\n", path, id,
                         index ? index : "", time ? time : "");
          continue;
        }
        if (times.size() <= static_cast<size_t>(n)) times.resize(static_cast<size_t>(n) + 1, 0.0f);
        times[static_cast<size_t>(n)] = seconds;
      }
    }
  }
}

}  // namespace

int EnemyKindFromName(const char* name) {
  const CStringHash hash(name);
  if (hash == SH_zombie) return kEnemyZombie;
  if (hash == SH_mutant) return kEnemyMutant;
  if (hash == SH_krauser) return kEnemyKrauser;
  return -1;
}

const SAttackRecord* SAIData::FindAttack(int kind, uint32_t nameHash) const {
  if (kind < 0 || kind >= kEnemyKindCount) return nullptr;
  const auto found = attacks[kind].find(nameHash);
  return found == attacks[kind].end() ? nullptr : &found->second;
}

const std::vector<float>* SAIData::FindAnimationTimes(int kind, uint32_t nameHash) const {
  if (kind < 0 || kind >= kEnemyKindCount) return nullptr;
  const auto found = animationTimes[kind].find(nameHash);
  return found == animationTimes[kind].end() ? nullptr : &found->second;
}

bool LoadAIData(const char* path, SAIData& data) {
  data.Clear();
  utl::CXmlFile file;
  const utl::CXmlFile::EResult result = file.Load(path);
  if (result == utl::CXmlFile::EResult::Missing) {
    utl::LogPrintf("AI: %s is missing or empty; enemies keep their defaults\n", path);
    return false;
  }
  if (result == utl::CXmlFile::EResult::Malformed) {
    utl::LogPrintf("AI: %s is malformed (%s); enemies keep their defaults\n", path,
                   file.Error().c_str());
    return false;
  }
  const Node& document = file.Document();
  using Reader = void (*)(const char*, const Node*, SAIData&);
  static const struct {
    const char* name;
    Reader read;
  } kSections[] = {
      {"general", ReadGeneral},
      {"helpers_trackers", [](const char*, const Node* s, SAIData& d) { ReadTrackers(s, d); }},
      {"attacks", ReadAttacks},
      {"playlists", ReadPlayLists},
      {"animations", ReadAnimations},
  };
  for (const auto& section : kSections) {
    const Node* node = document.first_node(section.name);
    if (node)
      section.read(path, node, data);
    else
      utl::LogPrintf("AI: %s has no <%s>\n", path, section.name);
  }
  return true;
}

}  // namespace vd
