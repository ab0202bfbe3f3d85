#include "game/flow/GameOptions.h"

#include <cstdlib>
#include <cstring>
#include <rapidxml/rapidxml.hpp>
#include <string>
#include <vector>

#include "engine/core/Log.h"
#include "engine/core/Utils.h"
#include "engine/core/XmlFile.h"

namespace vd {

namespace {

struct SValueName {
  const char* name;
  int value;
};

struct SOptionTable {
  const char* prefix;  // what a value may leave out: "difficulty_" + "easy"
  std::vector<SValueName> names;
};

const SOptionTable& Table(int option) {
  static const SOptionTable kTables[CGameOptions::kOptionCount] = {
      {"difficulty_", {{"difficulty_easy", 0}, {"difficulty_normal", 1}, {"difficulty_hard", 2}}},
      {"language_", {{"language_eng", 0}, {"language_spa", 1}}},
      {"graphicsquality_",
       {{"graphicsquality_low", 0}, {"graphicsquality_medium", 1}, {"graphicsquality_high", 2}}},
      {"antialiasing_",
       {{"antialiasing_off", 0},
        {"antialiasing_2x", 2},
        {"antialiasing_4x", 4},
        {"antialiasing_8x", 8},
        {"antialiasing_16x", 16}}},
      {"shadowsquality_",
       {{"shadowsquality_off", 0},
        {"shadowsquality_low", 1},
        {"shadowsquality_medium", 2},
        {"shadowsquality_high", 3},
        {"shadowsquality_veryhigh", 4},
        {"shadowsquality_ultrahigh", 5}}},
  };
  return kTables[option];
}

const CStringHash kNoName;

rapidxml::xml_node<>* NextElement(rapidxml::xml_node<>* node) {
  for (node = node ? node->next_sibling() : nullptr; node; node = node->next_sibling())
    if (node->type() == rapidxml::node_element) return node;
  return nullptr;
}

const char* ValueText(rapidxml::xml_node<>* key) {
  rapidxml::xml_attribute<>* value = key->first_attribute("value");
  return value ? value->value() : "";
}

uint32_t NameHash(rapidxml::xml_node<>* key) {
  rapidxml::xml_attribute<>* name = key->first_attribute("name");
  return ComputeHash(name ? name->value() : "");
}

// Only "0" switches a flag off; any other text, the empty one included, is on.
uint8_t FlagValue(const char* text) { return ComputeHash(text) != ComputeHash("0") ? 1 : 0; }

}  // namespace

CGameOptions::CGameOptions() : CGameOptions(kDefaultFile) {}

CGameOptions::CGameOptions(const char* fileName) {
  Load(fileName);
  BuildTables();
}

void CGameOptions::BuildTables() {
  for (int option = 0; option < kOptionCount; ++option) {
    m_toValue[option].clear();
    m_toName[option].clear();
    for (const SValueName& entry : Table(option).names) {
      m_toValue[option][ComputeHash(entry.name)] = entry.value;
      m_toName[option][entry.value] = entry.name;  // borrows the static text
    }
  }
}

int CGameOptions::ValueOf(EOption option, const CStringHash& name) const {
  if (option < 0 || option >= kOptionCount) return -1;
  auto it = m_toValue[option].find(name.GetHash());
  return it == m_toValue[option].end() ? -1 : it->second;
}

const CStringHash& CGameOptions::NameOf(EOption option, int value) const {
  if (option < 0 || option >= kOptionCount) return kNoName;
  auto it = m_toName[option].find(value);
  return it == m_toName[option].end() ? kNoName : it->second;
}

int CGameOptions::ParseValue(EOption option, const char* text) const {
  // The tables may not be built yet while the constructor reads the file.
  const SOptionTable& table = Table(option);
  const uint32_t full = ComputeHash(text);
  const uint32_t shortName = ComputeHash((std::string(table.prefix) + text).c_str());
  for (const SValueName& entry : table.names) {
    const uint32_t hash = ComputeHash(entry.name);
    if (hash == full || hash == shortName) return entry.value;
  }
  return -1;
}

bool CGameOptions::Load(const char* fileName) {
  utl::CXmlFile file;
  const utl::CXmlFile::EResult result = file.Load(fileName);
  if (result == utl::CXmlFile::EResult::Missing) return false;
  if (result == utl::CXmlFile::EResult::Malformed) {
    utl::LogPrintf("%s: %s; game options left as they were\n", fileName, file.Error().c_str());
    return false;
  }
  rapidxml::xml_document<>& doc = file.Document();
  rapidxml::xml_node<>* root = doc.first_node("gameconfig");
  rapidxml::xml_node<>* first = root ? root->first_node("key") : nullptr;
  if (!first) {
    utl::LogPrintf("%s: no gameconfig keys; game options left as they were\n", fileName);
    return true;
  }

  const int samples = std::atoi(ValueText(first));
  if (samples == 0 || samples == 2 || samples == 4 || samples == 8 || samples == 16)
    antialiasing = samples;

  const uint32_t difficultyHash = ComputeHash("difficulty");
  rapidxml::xml_node<>* key = first;
  while (key && NameHash(key) != difficultyHash) key = NextElement(key);
  if (!key) {
    utl::LogPrintf("%s: no difficulty entry; game options keep their defaults\n", fileName);
    return true;
  }

  auto pick = [this](EOption option, const char* value, int& field) {
    const int number = ParseValue(option, value);
    if (number >= 0) field = number;
  };
  // The entries from "difficulty" on are read by position, whatever their names.
  for (int index = 0; index < 10; ++index, key = NextElement(key)) {
    if (!key) {
      utl::LogPrintf("%s: the game options end after %d entries; the rest keep their values\n",
                     fileName, index);
      break;
    }
    const char* value = ValueText(key);
    switch (index) {
      case 0:
        pick(kDifficulty, value, difficulty);
        break;
      case 1:
        pick(kLanguage, value, language);
        break;
      case 2:
        subtitles = FlagValue(value);
        break;
      case 3:
        pick(kGraphicsQuality, value, graphicsQuality);
        break;
      case 4:
        vsync = FlagValue(value);
        break;
      case 5:
        depthOfField = FlagValue(value);
        break;
      case 6:
        pick(kShadowsQuality, value, shadowsQuality);
        break;
      case 7:
        ssao = FlagValue(value);
        break;
      case 8:
        glow = FlagValue(value);
        break;
      case 9:
        bloodDecals = FlagValue(value);
        break;
    }
  }
  return true;
}

}  // namespace vd
