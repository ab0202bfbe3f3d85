// The enemies' Lua classes as the level scripts use them.
#include <gtest/gtest.h>

#include <fstream>
#include <luabind/luabind.hpp>
#include <string>

#include "game/enemies/AIManager.h"
#include "game/enemies/Berserker.h"
#include "tests/support/LuaFixture.h"

namespace vd {
namespace {

class EnemyBindings : public test::LuaFixture {
protected:
  void SetUp() override {
    LuaFixture::SetUp();
    const std::string lists = testing::TempDir() + "bindings_lists.xml";
    std::ofstream(lists, std::ios::binary)
        << "<play_list_group id='1'><playlist id='1'><cycle id='idle_01'/></playlist>"
           "<playlist id='2'><action id='hit_01'/></playlist></play_list_group>";
    const std::string data = testing::TempDir() + "bindings_ai.xml";
    std::ofstream(data, std::ios::binary)
        << "<playlists><playlist type='zombie'><playlist_file file='" + lists +
               "'/></playlist></playlists>";
    ASSERT_TRUE(manager.Init(data.c_str()));
    RegisterEnemyBindings(host.GetState(), &manager);
    enemy.Reset();
    enemy.aiManager = &manager;
    enemy.Init();
    luabind::globals(host.GetState())["enemy"] = &enemy;
  }
  void TearDown() override {
    manager.Clear();
    LuaFixture::TearDown();
  }
  CAIManager manager;
  CBerserker enemy;
};

TEST_F(EnemyBindings, ScriptsStorePlayListsAndDriveTheEnemy) {
  Run("stored = enemy:SetPlayList1('zombie', 'playlist_pass_time', 1, 1, 0, 0.5, false, true, "
      "false, true)\n"
      "assert(stored == true)\n"
      "assert(enemy:SetPlayList1('ghost', 'playlist_pass_time', 1, 1, 0, 0, false, true, true, "
      "true) == false)\n"
      "assert(enemy:SetPlayList2('zombie', 'playlist_sequence1', 1, 2, 'nobody', 'loop', 'wake', "
      "'', true) == true)\n"
      "assert(enemy:SetPlayList2('zombie', 'playlist_sequence1', 1, 9, '', '', '', '', false) == "
      "false)");
  const SPlayListSlot* passTime = enemy.GetPlayList(1);
  EXPECT_EQ(passTime->playList, manager.FindPlayList(kEnemyZombie, 1, 1));
  EXPECT_FLOAT_EQ(passTime->startTimeDelay, 0.5f);
  EXPECT_EQ(passTime->isStatic, 1);
  EXPECT_EQ(passTime->floorCollision, 0);
  const SPlayListSlot* sequence = enemy.GetPlayList(2);
  EXPECT_EQ(sequence->seqName.Get(), CStringHash("wake"));
  EXPECT_EQ(sequence->trackerMode, 1);
  EXPECT_EQ(sequence->lock, 1);
  EXPECT_EQ(sequence->tracker, nullptr) << "no object of that name";

  Run("enemy:SetState('playlist', 1, true)");
  EXPECT_EQ(enemy.current, (SAIState{7, 1}));
  Run("enemy:LockState(); enemy:SetState('corpse', 0, true)");
  EXPECT_EQ(enemy.current, (SAIState{7, 1})) << "locked";
  Run("enemy:UnLockState(); enemy:ExecuteAction('hit_01', 'poke'); enemy:TurnToYaw(90, 2)");
  EXPECT_EQ(enemy.current, (SAIState{6, 0}));
  EXPECT_EQ(enemy.actionId, "poke");
  EXPECT_NEAR(enemy.targetYaw, 1.5707964f, 1e-6f);
  Run("enemy:EnableCollisions(false); enemy:Reset()");
  EXPECT_EQ(enemy.collisionsEnabled, 0);
  EXPECT_EQ(enemy.current, (SAIState{0, 0}));
  Run("assert(GetAIManager():GetEnemyGroupCount(3) == 0)");
}

}  // namespace
}  // namespace vd
