// The play-list files and the AI manager that reads them through ai.xml.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>

#include "game/enemies/AIManager.h"
#include "game/enemies/PlayList.h"
#include "tests/support/LogRecorder.h"

namespace vd {
namespace {

std::string WriteFile(const std::string& name, const std::string& text) {
  const std::string path = testing::TempDir() + "play_list_" + name + ".xml";
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

TEST(PlayList, ReadsEntriesInFileOrderAndListsByNumber) {
  test::CLogCapture log;
  SPlayListSet set;
  ASSERT_TRUE(LoadPlayListFile(WriteFile("good", R"(
<play_list_group id="3">
  <playlist id="2">
    <sound id="zombie_growl" time="0.5"/>
    <cycle id="idle_01" time="2"/>
    <action id="hit_01" cycle="walk_01" locked="1" delay_in="0.5" delay_out="0"/>
    <exit_action id="death_01"/>
    <tracker id="walk_01" tracker_id="path_a" tracker_cycle="one_way" stop_at_waypoint="1"/>
    <not_an_entry id="x"/>
    <sound_3d id="zombie_step"/>
    <subtitle id="SUB_1" index="4" time="1" duration="2.5"/>
    <exit_tracker tracker_id="path_b"/>
    <cycle id="corpse"/>
  </playlist>
</play_list_group>
<play_list_fight_default group="3" id="2"/>
)").c_str(),
                               set))
      << log.Text();
  EXPECT_EQ(set.fightDefaultGroup, 3);
  EXPECT_EQ(set.fightDefaultId, 2);
  const SPlayList* empty = set.Find(3, 1);
  ASSERT_NE(empty, nullptr) << "a number no element uses is an empty list";
  EXPECT_TRUE(empty->entries.empty());
  EXPECT_EQ(empty->id, 1);
  EXPECT_EQ(set.Find(3, 0), nullptr);
  EXPECT_EQ(set.Find(3, 3), nullptr);
  EXPECT_EQ(set.Find(4, 1), nullptr);

  const SPlayList* list = set.Find(3, 2);
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->entries.size(), 7u);
  ASSERT_EQ(list->exitEntries.size(), 2u);
  const auto& e = list->entries;
  EXPECT_EQ(e[0].sound, "zombie_growl");
  EXPECT_FLOAT_EQ(e[0].soundTime, 0.5f);
  EXPECT_TRUE(e[1].isAnimation);
  EXPECT_FLOAT_EQ(e[1].time, 2.0f);
  // An action: its blends are a full second or none; absent ones stay 0.25.
  EXPECT_FALSE(e[2].isAnimation);
  EXPECT_EQ(e[2].id.Get(), CStringHash("hit_01"));
  EXPECT_EQ(e[2].cycle.Get(), CStringHash("walk_01"));
  EXPECT_TRUE(e[2].locked);
  EXPECT_FLOAT_EQ(e[2].delayIn, 1.0f);
  EXPECT_FLOAT_EQ(e[2].delayOut, 0.0f);
  EXPECT_TRUE(e[3].isTracker);
  EXPECT_TRUE(e[3].isAnimation);
  EXPECT_EQ(e[3].trackerName, "path_a");
  EXPECT_EQ(e[3].trackerMode, 0);
  EXPECT_TRUE(e[3].stopAtWaypoint);
  EXPECT_EQ(e[4].sound3d, "zombie_step");
  EXPECT_FLOAT_EQ(e[4].soundTime, 0.0f) << "a sound without a time plays at once";
  EXPECT_EQ(e[5].subtitle.text, "SUB_1");
  EXPECT_EQ(e[5].subtitle.index, 4);
  EXPECT_FLOAT_EQ(e[5].subtitle.time, 1.0f);
  EXPECT_FLOAT_EQ(e[5].subtitle.duration, 2.5f);
  EXPECT_EQ(e[5].subtitle.timerData, "SUB_1 4 2.5") << "what the HUD's subtitle timer reads";
  EXPECT_FLOAT_EQ(e[6].time, 3.4028235e38f) << "a cycle without a time plays until changed";
  EXPECT_EQ(list->exitEntries[0].id.Get(), CStringHash("death_01"));
  EXPECT_FLOAT_EQ(list->exitEntries[0].delayIn, 0.25f);
  EXPECT_TRUE(list->exitEntries[1].isTracker);
  EXPECT_FALSE(list->exitEntries[1].isAnimation);
  EXPECT_EQ(list->exitEntries[1].trackerMode, 2);
}

TEST(PlayList, DamagedFilesAreLoggedAndSkippedPieceByPiece) {
  struct SCase {
    const char* name;
    const char* text;  // null: no file at all
    bool read;
    const char* logged;
    std::function<void(const SPlayListSet&)> check;
  };
  const SCase cases[] = {
      {"missing", nullptr, false, "missing", nullptr},
      {"empty", "", false, "missing", nullptr},
      {"malformed", "<play_list_group id='1'><playlist id='1'>", false, "malformed", nullptr},
      {"group id not a number",
       "<play_list_group id='one'><playlist id='1'><cycle id='idle_01'/></playlist></play_list_group>",
       true, "play_list_group id 'one'",
       [](const SPlayListSet& set) { EXPECT_TRUE(set.groups.empty()); }},
      {"list numbers out of range",
       "<play_list_group id='1'><playlist id='0'/><playlist id='-3'/><playlist id='99999999'/>"
       "<playlist id='x'/><playlist id='2'><cycle id='idle_01'/></playlist></play_list_group>",
       true, "not a number 1..",
       [](const SPlayListSet& set) {
         ASSERT_EQ(set.groups.at(1).size(), 2u) << "only the good number sizes the group";
         EXPECT_EQ(set.Find(1, 2)->entries.size(), 1u);
       }},
      {"bad numbers keep their defaults",
       "<play_list_group id='1'><playlist id='1'><cycle id='idle_01' time='soon'/>"
       "<action id='hit_01' delay_in='?' locked='yes'/><subtitle id='S' index='i'/></playlist>"
       "</play_list_group>",
       true, "time 'soon' is not a number",
       [](const SPlayListSet& set) {
         const auto& e = set.Find(1, 1)->entries;
         ASSERT_EQ(e.size(), 3u);
         EXPECT_FLOAT_EQ(e[0].time, 3.4028235e38f);
         EXPECT_FLOAT_EQ(e[1].delayIn, 0.0f) << "a blend that does not read is none";
         EXPECT_FALSE(e[1].locked);
         EXPECT_EQ(e[2].subtitle.index, 0);
       }},
      {"sounds and subtitles without a name",
       "<play_list_group id='1'><playlist id='1'><sound/><sound_3d id=''/><subtitle/>"
       "<tracker tracker_cycle='sideways'/></playlist></play_list_group>",
       true, "without an id skipped",
       [](const SPlayListSet& set) {
         const auto& e = set.Find(1, 1)->entries;
         ASSERT_EQ(e.size(), 1u);
         EXPECT_EQ(e[0].trackerMode, 2) << "an unknown tracker mode keeps ping-pong";
       }},
      {"fight default that does not read",
       "<play_list_fight_default group='a' id='1'/>", true, "play_list_fight_default",
       [](const SPlayListSet& set) { EXPECT_EQ(set.fightDefaultGroup, 0); }},
  };
  for (const SCase& c : cases) {
    SCOPED_TRACE(c.name);
    test::CLogCapture log;
    SPlayListSet set;
    const std::string path = c.text ? WriteFile("damaged", c.text) : testing::TempDir() + "no_such_list.xml";
    EXPECT_EQ(LoadPlayListFile(path.c_str(), set), c.read);
    EXPECT_NE(log.Text().find(c.logged), std::string::npos) << log.Text();
    if (c.check) c.check(set);
  }
}

TEST(PlayList, TooManyEntriesStopAtTheLimit) {
  std::string text = "<play_list_group id='1'><playlist id='1'>";
  for (size_t i = 0; i < kMaxPlayListEntries + 5; ++i) text += "<cycle id='idle_01'/>";
  text += "</playlist></play_list_group>";
  test::CLogCapture log;
  SPlayListSet set;
  ASSERT_TRUE(LoadPlayListFile(WriteFile("long", text).c_str(), set));
  EXPECT_EQ(set.Find(1, 1)->entries.size(), kMaxPlayListEntries);
  EXPECT_NE(log.Text().find("more than"), std::string::npos);
}

TEST(AIManager, ReadsThePlayListsItsDataNamesAndKnowsItsStateNames) {
  test::CLogCapture log;
  const std::string lists = WriteFile(
      "zombie", "<play_list_group id='2'><playlist id='1'><cycle id='idle_01'/></playlist>"
                "</play_list_group><play_list_fight_default group='2' id='1'/>");
  const std::string data = WriteFile(
      "ai", "<playlists><playlist type='zombie'><playlist_file file='" + lists +
                "'/><playlist_file file='" + testing::TempDir() +
                "gone.xml'/></playlist><playlist type='ghost'/></playlists>");
  CAIManager manager;
  ASSERT_TRUE(manager.Init(data.c_str()));
  EXPECT_EQ(CAIManager::GetCurrent(), &manager) << "enemies loading now bind to it";
  ASSERT_NE(manager.FindPlayList(kEnemyZombie, 2, 1), nullptr);
  EXPECT_EQ(manager.FindPlayList(kEnemyMutant, 2, 1), nullptr);
  EXPECT_EQ(manager.FindPlayList(7, 2, 1), nullptr);
  EXPECT_EQ(manager.GetPlayLists(kEnemyZombie)->fightDefaultGroup, 2);
  EXPECT_NE(log.Text().find("gone.xml is missing"), std::string::npos) << log.Text();
  EXPECT_EQ(manager.StateFromName("go_to_target"), 12);
  EXPECT_EQ(manager.StateFromName("CORPSE"), 36);
  EXPECT_EQ(manager.StateFromName("playlist"), 7);
  EXPECT_EQ(manager.StateFromName("dance"), 0);
  EXPECT_EQ(manager.StateFromName(nullptr), 0);

  // A level without its data still gets its state names.
  ASSERT_TRUE(manager.Init((testing::TempDir() + "no_ai.xml").c_str()));
  EXPECT_EQ(manager.StateFromName("playlist"), 7);
  EXPECT_EQ(manager.FindPlayList(kEnemyZombie, 2, 1), nullptr);
  manager.Clear();
  EXPECT_EQ(CAIManager::GetCurrent(), nullptr);
}

}  // namespace
}  // namespace vd
