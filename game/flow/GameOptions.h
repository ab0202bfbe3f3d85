#pragma once
// The player's game and graphics choices for the whole run, read from the game
// configuration file when the application is built and changed afterwards only by
// the option pages. Nothing writes them back to disk.
#include <cstdint>
#include <map>

#include "engine/core/StringHash.h"

namespace vd {

class CGameOptions {
public:
  // The five enumerated options, in the order of their tables.
  enum EOption : int {
    kDifficulty = 0,
    kLanguage,
    kGraphicsQuality,
    kAntialiasing,
    kShadowsQuality
  };
  static constexpr int kOptionCount = 5;
  static constexpr const char* kDefaultFile = "Data/xml/gameconfig.xml";

  // Reads the default file.
  CGameOptions();
  // Reads another file (tests, tools).
  explicit CGameOptions(const char* fileName);

  // Reads the file over the current values. False, with nothing changed, when the
  // file is missing or empty; a file that cannot be parsed is logged and changes
  // nothing either.
  bool Load(const char* fileName = kDefaultFile);

  // The number of a value name ("difficulty_hard" -> 2); -1 when the option has no
  // such name. Names compare by hash, so any letter case.
  int ValueOf(EOption option, const CStringHash& name) const;
  // The name of a number (2 -> "difficulty_hard"); the no-name value when unknown.
  const CStringHash& NameOf(EOption option, int value) const;
  const std::map<uint32_t, int>& NameTable(EOption option) const { return m_toValue[option]; }
  const std::map<int, CStringHash>& ValueTable(EOption option) const { return m_toName[option]; }

  // What the fields hold until the file says otherwise.
  int difficulty = 1;
  int language = 0;
  uint8_t subtitles = 1;
  int antialiasing = 0;
  int graphicsQuality = 2;
  uint8_t vsync = 1;
  uint8_t depthOfField = 1;
  int shadowsQuality = 3;
  uint8_t ssao = 1;
  uint8_t glow = 1;
  uint8_t bloodDecals = 1;

private:
  void BuildTables();
  // The option's number for a value text: its full name ("difficulty_easy") or the
  // name without the option's prefix ("easy"); -1 when neither is known.
  int ParseValue(EOption option, const char* text) const;

  std::map<uint32_t, int> m_toValue[kOptionCount];
  std::map<int, CStringHash> m_toName[kOptionCount];
};

}  // namespace vd
