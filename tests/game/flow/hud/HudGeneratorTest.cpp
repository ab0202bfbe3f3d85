// The HUD's generated content: gen_hud writes the same files on every run, the
// committed ones under Data/ are what it writes, and every subtitle strip the level
// scripts show is listed and made in both languages.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <string>
#include "tests/support/Files.h"

namespace vd {
namespace {

namespace fs = std::filesystem;

using vd::test::ReadFile;

TEST(HudGeneratorTest, TheGeneratorIsReproducibleAndItsOutputIsCommitted) {
  const fs::path scratch = fs::temp_directory_path() / ("hm_gen_hud_" + std::to_string(::getpid()));
  for (const char* run : {"a", "b"})
    ASSERT_EQ(std::system(("'" GEN_HUD "' '" + (scratch / run).string() + "' > /dev/null").c_str()), 0);
  std::map<std::string, std::string> first;
  for (const auto& entry : fs::recursive_directory_iterator(scratch / "a"))
    if (entry.is_regular_file())
      first[fs::relative(entry.path(), scratch / "a").string()] = ReadFile(entry.path());
  // The pictures, the sprite meshes and the four XML files.
  EXPECT_GE(first.size(), 40u);
  for (const char* file : {"Data/xml/hud.xml", "Data/xml/subtitles.xml", "Data/xml/hud_instances.xml",
                           "Data/textures/eng/hud/Helpers.dds", "Data/textures/spa/hud/Helpers.dds",
                           "Data/textures/hud/Button_A.dds", "Data/textures/hud/Keyboard_K.dds",
                           "Data/textures/eng/hud/Subtitles_level.dds"})
    EXPECT_EQ(first.count(file), 1u) << file;
  for (const auto& [name, content] : first) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(ReadFile(scratch / "b" / name) == content) << "two runs differ";
    EXPECT_TRUE(ReadFile(name) == content) << "run gen_hud and commit its Data";
  }
  fs::remove_all(scratch);
}

TEST(HudGeneratorTest, EverySubtitleStripTheScriptsShowIsListedInBothLanguages) {
  const std::string list = ReadFile("Data/xml/subtitles.xml");
  const std::regex shown("ShowSubtitles\"?\\s*[,(]\\s*\"([^\"]+)\"");
  int found = 0;
  for (const auto& entry : fs::recursive_directory_iterator("Data/scripts")) {
    if (entry.path().extension() != ".lua") continue;
    const std::string script = ReadFile(entry.path());
    for (std::sregex_iterator m(script.begin(), script.end(), shown), end; m != end; ++m) {
      const std::string texture = (*m)[1];
      SCOPED_TRACE(entry.path().string() + ": " + texture);
      ++found;
      EXPECT_NE(list.find("\"" + texture + "\""), std::string::npos) << "not in subtitles.xml";
      for (const char* language : {"eng/", "spa/"})
        EXPECT_TRUE(fs::exists(fs::path("Data/textures") / (language + texture))) << language;
    }
  }
  EXPECT_GE(found, 1) << "the level shows a subtitle as play begins";
}

}  // namespace
}  // namespace vd
