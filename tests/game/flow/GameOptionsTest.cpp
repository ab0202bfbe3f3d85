// The game's reading of the game configuration file and its name tables.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "game/flow/GameOptions.h"

namespace vd {
namespace {

class GameOptionsTest : public ::testing::Test {
protected:
  void SetUp() override {
    char tmpl[] = "/tmp/hm_options_XXXXXX";
    int fd = mkstemp(tmpl);
    ASSERT_GE(fd, 0);
    close(fd);
    path = tmpl;
  }
  void TearDown() override { std::remove(path.c_str()); }

  void Write(const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs(text.c_str(), f);
    std::fclose(f);
  }
  // The engine's five entries (the first one the multisample count), then `rest`.
  void WriteConfig(const std::string& samples, const std::string& rest) {
    Write("<gameconfig><key name=\"multisample\" value=\"" + samples +
          "\"/><key name=\"display_mode\" value=\"0\"/><key name=\"w\" value=\"800\"/>"
          "<key name=\"h\" value=\"600\"/><key name=\"sound\" value=\"1\"/>" +
          rest + "</gameconfig><preloading/>");
  }
  static std::string Key(const std::string& name, const std::string& value) {
    return "<key name=\"" + name + "\" value=\"" + value + "\"/>";
  }
  // Every field set away from its default, so that a read shows.
  static void Scramble(CGameOptions& o) {
    o.difficulty = 7;
    o.language = 7;
    o.subtitles = 7;
    o.antialiasing = 7;
    o.graphicsQuality = 7;
    o.vsync = 7;
    o.depthOfField = 7;
    o.shadowsQuality = 7;
    o.ssao = 7;
    o.glow = 7;
    o.bloodDecals = 7;
  }

  std::string path;
};

TEST_F(GameOptionsTest, AFullFileSetsEveryFieldByPosition) {
  WriteConfig("4", Key("difficulty", "difficulty_hard") + Key("language", "language_spa") +
                       Key("subtitles", "0") + Key("graphics", "graphicsquality_medium") +
                       Key("vsync", "0") + Key("dof", "1") +
                       Key("shadows", "shadowsquality_ultrahigh") + Key("ssao", "0") +
                       Key("glow", "1") + Key("blood", "0") + Key("extra", "0") +
                       Key("more", "difficulty_easy"));
  CGameOptions o(path.c_str());
  EXPECT_EQ(o.antialiasing, 4);
  EXPECT_EQ(o.difficulty, 2);
  EXPECT_EQ(o.language, 1);
  EXPECT_EQ(o.subtitles, 0);
  EXPECT_EQ(o.graphicsQuality, 1);
  EXPECT_EQ(o.vsync, 0);
  EXPECT_EQ(o.depthOfField, 1);
  EXPECT_EQ(o.shadowsQuality, 5);
  EXPECT_EQ(o.ssao, 0);
  EXPECT_EQ(o.glow, 1);
  EXPECT_EQ(o.bloodDecals, 0);
}

TEST_F(GameOptionsTest, OnlyTheListedSampleCountsSetAntialiasing) {
  const struct {
    const char* value;
    int expected;
  } cases[] = {{"0", 0}, {"2", 2},  {"4", 4},  {"8", 8},   {"16", 16},
               {"3", 7}, {"32", 7}, {"-2", 7}, {"abc", 0}, {"", 0}};
  for (const auto& c : cases) {
    WriteConfig(c.value, "");
    CGameOptions o(path.c_str());
    o.antialiasing = 7;
    ASSERT_TRUE(o.Load(path.c_str()));
    EXPECT_EQ(o.antialiasing, c.expected) << "value \"" << c.value << "\"";
  }
}

TEST_F(GameOptionsTest, OnlyZeroSwitchesAFlagOff) {
  const struct {
    std::string key;  // the subtitles entry as written
    uint8_t expected;
  } cases[] = {{Key("subtitles", "0"), 0},  {Key("subtitles", "1"), 1},
               {Key("subtitles", ""), 1},   {Key("subtitles", "yes"), 1},
               {Key("subtitles", "00"), 1}, {"<key name=\"subtitles\"/>", 1}};
  for (const auto& c : cases) {
    WriteConfig("0",
                Key("difficulty", "difficulty_easy") + Key("language", "language_eng") + c.key);
    CGameOptions o(path.c_str());
    o.subtitles = 7;
    ASSERT_TRUE(o.Load(path.c_str()));
    EXPECT_EQ(o.subtitles, c.expected) << c.key;
  }
}

TEST_F(GameOptionsTest, NamesCompareWithoutCaseAndMayLeaveOutTheirPrefix) {
  WriteConfig("0", Key("difficulty", "DIFFICULTY_EASY") + Key("language", "Spa") + Key("s", "1") +
                       Key("g", "low") + Key("v", "1") + Key("d", "1") + Key("sh", "VeryHigh"));
  CGameOptions o(path.c_str());
  EXPECT_EQ(o.difficulty, 0);
  EXPECT_EQ(o.language, 1);
  EXPECT_EQ(o.graphicsQuality, 0);
  EXPECT_EQ(o.shadowsQuality, 4);
}

TEST_F(GameOptionsTest, UnknownNamesAndShortFilesLeaveFieldsAsTheyWere) {
  // Unknown names for every enumerated option; the file ends after shadows.
  WriteConfig("0", Key("difficulty", "insane") + Key("language", "fra") + Key("s", "0") +
                       Key("g", "ultra") + Key("v", "0") + Key("d", "0") + Key("sh", "extreme"));
  CGameOptions o(path.c_str());
  Scramble(o);
  ASSERT_TRUE(o.Load(path.c_str()));
  EXPECT_EQ(o.difficulty, 7);
  EXPECT_EQ(o.language, 7);
  EXPECT_EQ(o.subtitles, 0);
  EXPECT_EQ(o.graphicsQuality, 7);
  EXPECT_EQ(o.vsync, 0);
  EXPECT_EQ(o.depthOfField, 0);
  EXPECT_EQ(o.shadowsQuality, 7);
  EXPECT_EQ(o.ssao, 7) << "past the last entry nothing is read";
  EXPECT_EQ(o.glow, 7);
  EXPECT_EQ(o.bloodDecals, 7);

  // A file that stops at the difficulty entry.
  WriteConfig("2", Key("difficulty", "difficulty_hard"));
  Scramble(o);
  ASSERT_TRUE(o.Load(path.c_str()));
  EXPECT_EQ(o.antialiasing, 2);
  EXPECT_EQ(o.difficulty, 2);
  EXPECT_EQ(o.language, 7);
  EXPECT_EQ(o.bloodDecals, 7);
}

TEST_F(GameOptionsTest, NamesAfterDifficultyAreNotReadOnlyPositions) {
  // The language and subtitle entries swapped: each value lands on the other field.
  WriteConfig("0", Key("difficulty", "difficulty_normal") + Key("subtitles", "0") +
                       Key("language", "language_spa"));
  CGameOptions o(path.c_str());
  Scramble(o);
  ASSERT_TRUE(o.Load(path.c_str()));
  EXPECT_EQ(o.language, 7) << "\"0\" is no language name";
  EXPECT_EQ(o.subtitles, 1) << "\"language_spa\" is not \"0\"";
}

TEST_F(GameOptionsTest, WithoutADifficultyEntryOnlyAntialiasingIsRead) {
  WriteConfig("8", Key("language", "language_spa"));
  CGameOptions o(path.c_str());
  Scramble(o);
  ASSERT_TRUE(o.Load(path.c_str()));
  EXPECT_EQ(o.antialiasing, 8);
  EXPECT_EQ(o.language, 7);
  EXPECT_EQ(o.difficulty, 7);
}

TEST_F(GameOptionsTest, MissingEmptyOrBrokenFilesChangeNothing) {
  CGameOptions defaults("/nonexistent/gameconfig.xml");
  EXPECT_EQ(defaults.difficulty, 1);
  EXPECT_EQ(defaults.antialiasing, 0);

  for (const char* text : {"", "<gameconfig><key name=\"a\" value=\"2\"", "<other/>"}) {
    Write(text);
    CGameOptions o(path.c_str());
    Scramble(o);
    o.Load(path.c_str());
    EXPECT_EQ(o.antialiasing, 7) << text;
    EXPECT_EQ(o.difficulty, 7) << text;
  }
  Write("");
  CGameOptions o(path.c_str());
  EXPECT_FALSE(o.Load(path.c_str()));
  EXPECT_FALSE(o.Load("/nonexistent/gameconfig.xml"));
}

TEST_F(GameOptionsTest, TablesMapNamesToNumbersBothWays) {
  CGameOptions o("/nonexistent/gameconfig.xml");
  using O = CGameOptions;
  EXPECT_EQ(o.ValueOf(O::kAntialiasing, "antialiasing_16x"), 16);
  EXPECT_EQ(o.ValueOf(O::kShadowsQuality, "SHADOWSQUALITY_VERYHIGH"), 4);
  EXPECT_EQ(o.ValueOf(O::kLanguage, "language_fra"), -1);
  EXPECT_STREQ(o.NameOf(O::kAntialiasing, 8).GetText(), "antialiasing_8x");
  EXPECT_STREQ(o.NameOf(O::kDifficulty, 2).GetText(), "difficulty_hard");
  EXPECT_FALSE(o.NameOf(O::kAntialiasing, 3).OwnsText());
  EXPECT_TRUE(o.NameOf(O::kAntialiasing, 3).IsNoName());
  EXPECT_TRUE(o.NameOf(static_cast<O::EOption>(9), 0).IsNoName());
  const size_t sizes[] = {3, 2, 3, 5, 6};
  for (int i = 0; i < O::kOptionCount; ++i) {
    EXPECT_EQ(o.NameTable(static_cast<O::EOption>(i)).size(), sizes[i]);
    EXPECT_EQ(o.ValueTable(static_cast<O::EOption>(i)).size(), sizes[i]);
  }
}

TEST(GameOptionsFile, TheShippedConfigurationReads) {
  CGameOptions o;
  EXPECT_EQ(o.difficulty, 1);
  EXPECT_EQ(o.language, 0);
  EXPECT_EQ(o.graphicsQuality, 2);
  EXPECT_EQ(o.shadowsQuality, 3);
  EXPECT_EQ(o.bloodDecals, 1);
}

}  // namespace
}  // namespace vd
