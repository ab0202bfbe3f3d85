// The actor base's state driver and play lists, run on a fighter without a figure:
// its animations go to a recorder, its events to a live event manager.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "engine/audio/AudioManager.h"
#include "engine/events/EngineEvents.h"
#include "engine/events/EventManager.h"
#include "engine/events/GameEvents.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Tracker.h"
#include "engine/objects/Transform.h"
#include "engine/render/particles/ParticleSysManager.h"
#include "engine/render/particles/ParticleSystem.h"
#include "game/enemies/AIManager.h"
#include "game/enemies/Berserker.h"
#include "tests/support/LogRecorder.h"

namespace vd {
namespace {

std::string WriteFile(const std::string& name, const std::string& text) {
  const std::string path = testing::TempDir() + "patrol_" + name + ".xml";
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

class CRecordingAnimation : public IActorAnimation {
public:
  void BlendCycle(const CStringHash& name, float, float delay, float) override {
    calls.push_back("cycle " + std::string(name.c_str()) + Delay(delay));
  }
  void ExecuteAction(const CStringHash& name, float, float in, float out, bool lock) override {
    calls.push_back("action " + std::string(name.c_str()) + Delay(in) + Delay(out) +
                    (lock ? " locked" : ""));
  }
  void ClearActions() override { ++clears; }
  void ClearLockedActions() override { ++lockedClears; }
  void StopCycle() override { calls.push_back("stop"); }
  float GetDuration(const CStringHash& name) const override {
    const auto found = durations.find(name.c_str());
    return found == durations.end() ? 0.0f : found->second;
  }
  void SetStatic(bool on) override { isStatic = on; }
  void SetPaused(bool on) override { paused = on; }
  void Settle() override { calls.push_back("settle"); }

  static std::string Delay(float d) { return " " + std::to_string(static_cast<int>(d * 100)); }
  std::vector<std::string> Take() {
    std::vector<std::string> out;
    out.swap(calls);
    return out;
  }

  std::vector<std::string> calls;
  std::map<std::string, float> durations{{"hit_01", 0.75f}, {"death_01", 1.0f}};
  int clears = 0;
  int lockedClears = 0;
  bool isStatic = false;
  bool paused = false;
};

class CEventRecorder : public evn::IEventListener {
public:
  void HandleEvent(evn::IEvent* event) override {
    if (event->GetType() == evn::CEventAction::s_type) {
      auto* action = static_cast<evn::CEventAction*>(event);
      lines.push_back(std::string(action->begin ? "begin " : "end ") + Text(action->name.Get()) +
                      " " + Text(action->playlistType.Get()));
    } else if (event->GetType() == evn::CEventSequence::s_type) {
      auto* sequence = static_cast<evn::CEventSequence*>(event);
      lines.push_back(std::string(sequence->begin ? "sequence " : "sequence end ") +
                      Text(sequence->name.Get()));
    } else if (event->GetType() == evn::CEventReachPos::s_type) {
      lines.push_back("reach " +
                      std::to_string(static_cast<evn::CEventReachPos*>(event)->waypoint));
    } else if (event->GetType() == evn::CEventTimer::s_type) {
      // Only the timers sent to every listener (the subtitles, for the HUD) come here.
      auto* timer = static_cast<evn::CEventTimer*>(event);
      lines.push_back("timer " + Text(timer->name.GetText()) + " " + Text(timer->data.Get()));
    }
  }
  static std::string Text(const char* text) { return text ? text : ""; }
  std::vector<std::string> Take() {
    std::vector<std::string> out;
    out.swap(lines);
    return out;
  }
  std::vector<std::string> lines;
};

constexpr char kLists[] = R"(
<play_list_group id="1">
  <playlist id="1">
    <sound id="zombie_growl" time="0.5"/>
    <subtitle id="SUB_WAKE"/>
    <cycle id="idle_01" time="1.05"/>
    <action id="hit_01"/>
    <tracker id="walk_01"/>
    <exit_action id="death_01" delay_in="0"/>
  </playlist>
  <playlist id="2"/>
  <playlist id="3">
    <action id="hit_01" locked="1"/>
  </playlist>
  <playlist id="4">
    <cycle id="idle_01" time="0.45"/>
  </playlist>
</play_list_group>
<play_list_fight_default group="1" id="4"/>
)";

class Patrol : public ::testing::Test {
protected:
  void SetUp() override {
    evn::InitEngineEventTypes();
    evn::InitGameEventTypes();
    ASSERT_TRUE(events.Init());
    for (const CStringHash* type : {&evn::CEventAction::s_type, &evn::CEventSequence::s_type,
                                    &evn::CEventReachPos::s_type, &evn::CEventTimer::s_type})
      events.AddListener(&recorder, *type);
    const std::string lists = WriteFile("lists", kLists);
    ASSERT_TRUE(manager.Init(
        WriteFile("ai", "<playlists><playlist type='zombie'><playlist_file file='" + lists +
                            "'/></playlist></playlists>")
            .c_str()));
    actor.Reset();
    actor.aiManager = &manager;
    actor.SetAnimation(&animation);
    actor.Init();
    actor.transform = &transform;
    tracker.waypoints = {plat::Vec3(0, 0, 0), plat::Vec3(0, 0, 5), plat::Vec3(0, 0, 10)};
  }
  void TearDown() override {
    events.Clear();
    manager.Clear();
  }

  void Frame(float dt = 0.1f) {
    actor.Update(dt);
    events.Update(dt);
  }
  SAIState Pair(int state, int sub) const { return SAIState{state, sub}; }

  test::CLogCapture log;
  sfx::CAudioManager audio;  // where the sound timers go
  evn::CEventManager events;
  CEventRecorder recorder;
  CAIManager manager;
  CRecordingAnimation animation;
  gfx::CTransform transform;
  lgc::CTracker tracker;
  CBerserker actor;
};

TEST_F(Patrol, ChangeStateFollowsTheLockTheCorpseAndTheRunningList) {
  struct SCase {
    const char* name;
    SAIState from;
    uint8_t locked;
    bool listRuns;
    SAIState request;
    bool force;
    bool result;
    SAIState after;
    SAIState pending;
  };
  const SCase cases[] = {
      {"a new pair", {1, 0}, 0, false, {5, 0}, false, true, {5, 0}, {1, 0}},
      {"the same pair", {5, 0}, 0, false, {5, 0}, true, false, {5, 0}, {1, 0}},
      {"locked", {1, 0}, 1, false, {5, 0}, true, false, {1, 0}, {1, 0}},
      {"a corpse", {4, 0}, 0, false, {1, 0}, true, false, {4, 0}, {1, 0}},
      {"behind a running list", {7, 1}, 0, true, {5, 0}, false, true, {7, 1}, {5, 0}},
  };
  for (const SCase& c : cases) {
    SCOPED_TRACE(c.name);
    actor.current = c.from;
    actor.locked = c.locked;
    actor.pending = Pair(1, 0);
    actor.exitPending = 0;
    actor.activeSlot = c.listRuns ? 1 : 0;
    actor.stateTime = 3.0f;
    animation.clears = animation.lockedClears = 0;
    EXPECT_EQ(actor.ChangeState(c.request.state, c.request.subState, c.force), c.result);
    EXPECT_EQ(actor.current, c.after);
    EXPECT_EQ(actor.pending, c.pending);
    const bool changed = c.result && !c.listRuns;
    EXPECT_EQ(actor.stateTime, changed ? 0.0f : 3.0f);
    EXPECT_EQ(animation.clears, changed ? 1 : 0);
    EXPECT_EQ(animation.lockedClears, changed && c.force ? 1 : 0);
    EXPECT_EQ(actor.exitPending, c.listRuns ? 1 : 0);
    EXPECT_EQ(actor.activeSlot, 0);
  }
}

TEST_F(Patrol, RequestsHonourTheLockExceptInTheInitList) {
  actor.current = Pair(7, 6);
  actor.locked = 1;
  EXPECT_TRUE(actor.RequestState(7, 1));
  EXPECT_EQ(actor.current, Pair(7, 1));
  EXPECT_EQ(actor.locked, 1) << "the lock stays";
  EXPECT_FALSE(actor.RequestState(1, 0));
  EXPECT_EQ(actor.current, Pair(7, 1));
  actor.locked = 0;

  // A state name the manager does not know is state 0, whatever the script meant.
  actor.SetStateByName("dance", 0, true);
  EXPECT_EQ(actor.current, Pair(0, 0));
  EXPECT_EQ(manager.StateFromName("dance"), 0);
  Frame();
  EXPECT_EQ(actor.current, actor.initial);

  // An action locks; a second one restarts the action state through (1, 0).
  actor.ExecuteAction("hit_01", "first");
  EXPECT_EQ(actor.current, Pair(6, 0));
  EXPECT_EQ(actor.locked, 1);
  actor.SetStateByName("playlist", 1, true);
  EXPECT_EQ(actor.current, Pair(6, 0)) << "locked by the action";
  Frame();
  actor.ExecuteAction("death_01", "second");
  EXPECT_EQ(actor.beforeChange, Pair(1, 0));
  animation.Take();
  Frame();
  EXPECT_EQ(animation.Take(),
            (std::vector<std::string>{"cycle idle_01 25", "action death_01 25 25"}));
  for (int i = 0; i < 11; ++i) Frame();
  EXPECT_EQ(actor.current, Pair(1, 0)) << "the action ends after its length";
  EXPECT_EQ(actor.locked, 0);
  EXPECT_EQ(recorder.Take(), (std::vector<std::string>{"begin hit_01 ", "begin death_01 ",
                                                       "end death_01 "}));
}

TEST_F(Patrol, PlayListRunsSoundsCyclesActionsAndTrackersInOrder) {
  ASSERT_TRUE(actor.StorePlayList1(kEnemyZombie, "playlist_pass_time", 1, 1, 0, 0.0f, false,
                                   true, true, true));
  SPlayListSlot* slot = actor.GetPlayList(1);
  ASSERT_NE(slot, nullptr);
  EXPECT_EQ(slot->loop, 1) << "the pass-time list always loops";
  slot->tracker = &tracker;
  slot->trackerMode = 0;
  ASSERT_TRUE(actor.ChangeState(7, 1, false));
  Frame();
  // The sound and the subtitle are timed, and the cycle plays, all at once; the
  // subtitle, without a delay, reaches the HUD's listener at once as "texture row time".
  EXPECT_EQ(events.TimerCount(), 1u);
  EXPECT_EQ(recorder.Take(), (std::vector<std::string>{"timer subtitle SUB_WAKE 0 3"}));
  EXPECT_EQ(animation.Take(), (std::vector<std::string>{"cycle idle_01 25", "cycle idle_01 25"}));
  EXPECT_TRUE(animation.isStatic);
  EXPECT_EQ(actor.entryIndex, 2);
  for (int i = 0; i < 10; ++i) Frame();
  EXPECT_EQ(actor.entryIndex, 2) << "the cycle plays its second";
  Frame();
  EXPECT_EQ(actor.entryIndex, 3);
  EXPECT_EQ(animation.Take(), (std::vector<std::string>{"action hit_01 25 25"}));
  EXPECT_EQ(recorder.Take(), (std::vector<std::string>{"end idle_01 playlist_pass_time",
                                                       "begin hit_01 playlist_pass_time"}));
  for (int i = 0; i < 8; ++i) Frame();
  // The tracker: the nearest waypoint is 0, so the walk goes to 1, then 2, where a
  // one-way tracker ends.
  EXPECT_EQ(actor.current, Pair(10, 1));
  Frame();
  EXPECT_EQ(actor.current, Pair(9, 1));
  EXPECT_EQ(actor.targetPoint.z, 5.0f);
  transform.position = plat::Vec3(0, 0, 4.5f);
  Frame();
  transform.position = plat::Vec3(0, 0, 9.5f);
  for (int i = 0; i < 4; ++i) Frame();
  EXPECT_EQ(recorder.Take(),
            (std::vector<std::string>{"end hit_01 playlist_pass_time", "reach 1", "reach 2",
                                      "end tracker playlist_pass_time",
                                      "timer subtitle SUB_WAKE 0 3"}));
  // Back in the list, which starts over from its sound (and its subtitle).
  EXPECT_EQ(actor.current, Pair(7, 1));
  EXPECT_EQ(actor.entryIndex, 2);
  EXPECT_EQ(events.TimerCount(), 1u) << "the first sound has played; the second waits";
}

TEST_F(Patrol, RequestsWaitBehindTheExitEntriesAndEmptyListsFallThrough) {
  ASSERT_TRUE(actor.StorePlayList1(kEnemyZombie, "playlist_pass_time", 1, 1, 2, 0.0f, false,
                                   false, true, true));
  actor.ChangeState(7, 1, false);
  Frame();
  EXPECT_EQ(actor.entryIndex, 2) << "from its start index";
  EXPECT_TRUE(actor.ChangeState(5, 0, true));
  EXPECT_EQ(actor.current, Pair(7, 1));
  animation.Take();
  Frame();
  EXPECT_EQ(animation.Take(), (std::vector<std::string>{"action death_01 0 25"}));
  for (int i = 0; i < 11; ++i) Frame();
  EXPECT_EQ(actor.current, Pair(5, 0)) << "applied once the exit entries have run";
  EXPECT_EQ(actor.pending, Pair(1, 0));

  // A list without entries: the first run marks the exit, the next applies (1, 0).
  ASSERT_TRUE(actor.StorePlayList1(kEnemyZombie, "playlist_sequence1", 1, 2, 0, 0.0f, false,
                                   false, true, true));
  actor.ChangeState(7, 2, false);
  Frame();
  EXPECT_EQ(actor.exitPending, 1);
  Frame();
  EXPECT_EQ(actor.current, Pair(1, 0));
}

TEST_F(Patrol, SequencesStartByEventLockAndEndWithTheirEvents) {
  ASSERT_TRUE(actor.SetPlayList2("zombie", "playlist_sequence2", 1, 4, "", "", "wake", "after",
                                 true));
  ASSERT_TRUE(actor.SetPlayList1("zombie", "playlist_sequence2", 1, 4, 0, 0.0f, false, false,
                                 true, true));
  EXPECT_FALSE(actor.SetPlayList1("ghost", "playlist_sequence2", 1, 4, 0, 0, 0, 0, 1, 1));
  EXPECT_FALSE(actor.SetPlayList1("zombie", "playlist_other", 1, 4, 0, 0, 0, 0, 1, 1));
  EXPECT_FALSE(actor.SetPlayList1("zombie", "playlist_sequence2", 1, 9, 0, 0, 0, 0, 1, 1));
  actor.current = actor.lastHandled = Pair(1, 0);
  evn::CEventSequence* start = evn::CEventSequence::New("wake", true, "zombie_01");
  actor.HandleEvent(start);
  start->Release();
  EXPECT_EQ(actor.current, Pair(7, 3));
  EXPECT_EQ(actor.locked, 1);
  for (int i = 0; i < 7; ++i) Frame();
  // Not looping: its end and the next sequence are told, and it asks for (7, 1).
  EXPECT_EQ(recorder.Take(), (std::vector<std::string>{"end idle_01 playlist_sequence2",
                                                       "sequence end wake", "sequence after"}));
  EXPECT_EQ(actor.locked, 0);
}

TEST_F(Patrol, LockedActionsHoldTheirFirstFrameAndTheFighterSlotsAreItsOwn) {
  ASSERT_TRUE(actor.StorePlayList1(kEnemyZombie, "playlist_init", 1, 3, 0, 0.0f, true, false,
                                   true, true));
  EXPECT_EQ(actor.GetPlayList(6)->playList, manager.FindPlayList(kEnemyZombie, 1, 3));
  EXPECT_EQ(actor.GetPlayList(5), nullptr);
  EXPECT_EQ(actor.GetPlayList(9), nullptr);
  EXPECT_NE(actor.GetPlayList(8)->playList, nullptr) << "the kind's default fight list";
  actor.ChangeState(7, 6, false);
  Frame();
  EXPECT_EQ(animation.Take(),
            (std::vector<std::string>{"cycle idle_01 25", "action hit_01 0 25", "settle"}));
  EXPECT_TRUE(animation.paused);
  for (int i = 0; i < 30; ++i) Frame();
  EXPECT_EQ(actor.current, Pair(7, 6)) << "never ends by time";
  EXPECT_EQ(actor.entryIndex, 0);
}

TEST_F(Patrol, CorpsesFadeAtTheirRate) {
  actor.corpseFadeRate = 0.5f;
  actor.current = Pair(36, 0);
  Frame(0.0f);
  for (int i = 0; i < 19; ++i) Frame(0.1f);
  EXPECT_GT(actor.corpseAlpha, 0.0f);
  Frame(0.2f);
  EXPECT_LE(actor.corpseAlpha, 0.0f);
}

// The smoke of a corpse is a system of another object, which may go first when the
// level's objects go: the enemy's reset puts it out only while it is still listed.
TEST_F(Patrol, ResetPutsOutTheSmokeOnlyWhileItIsListed) {
  ptc::CParticleSysManager particles;
  auto* smoke = new CParticleSystemSimple();
  const CStringHash id("enemy_smoke_01");
  particles.RegisterSystem(id, smoke);
  particles.Flush();
  smoke->SetActive(true);
  actor.deathEffect = smoke;
  actor.Reset();
  EXPECT_FALSE(smoke->IsActive());

  actor.deathEffect = smoke;
  particles.RemoveSystem(id, smoke);
  delete smoke;
  actor.Reset();  // the sanitizer fails a write through the stale pointer here
  EXPECT_EQ(actor.deathEffect, nullptr);
}

// Enemy groups over objects built by the object manager.
TEST(AIManagerGroups, EnableDisableCountAndTargetTheGroupAtThisDifficulty) {
  test::CLogCapture log;
  evn::CEventManager events;
  ASSERT_TRUE(events.Init());
  obj::CGameObjectManager objects;
  ASSERT_TRUE(objects.Init());
  utl::RegisterFactoryMaker<CBerserker, obj::IComponent>(objects.componentFactories);
  utl::RegisterFactoryMaker<gfx::CTransform, obj::IComponent>(objects.componentFactories);
  CAIManager manager;
  ASSERT_TRUE(manager.Init((testing::TempDir() + "no_ai.xml").c_str()));
  CPatrol::SetDifficulty(1);
  ASSERT_TRUE(objects.LoadTemplates(
      WriteFile("templates", "<GameObjectTemplate name='zombie'><Component name='CTransform'/>"
                             "<Component name='CBerserker'/></GameObjectTemplate>"
                             "<GameObjectTemplate name='thing'><Component name='CTransform'/>"
                             "</GameObjectTemplate>")
          .c_str()));
  const std::string instances = WriteFile(
      "instances",
      "<GameObject name='a' GameObjectTemplate='zombie'><Component name='CBerserker'>"
      "<key name='group' value='3'/></Component></GameObject>"
      "<GameObject name='b' GameObjectTemplate='zombie'><Component name='CBerserker'>"
      "<key name='group' value='3'/><key name='corpse' value='1'/></Component></GameObject>"
      "<GameObject name='c' GameObjectTemplate='zombie'><Component name='CBerserker'>"
      "<key name='group' value='3'/><key name='min_difficulty' value='hard'/></Component>"
      "</GameObject>"
      "<GameObject name='d' GameObjectTemplate='zombie'><Component name='CBerserker'>"
      "<key name='group' value='4'/></Component></GameObject>"
      "<GameObject name='player' GameObjectTemplate='thing'/>");
  objects.LoadInstances(instances.c_str(), nullptr, false);
  EXPECT_TRUE(manager.ReserveEnemyList());
  manager.Activate();
  auto* a = objects.GetGameObjectByName(CStringHash("a"));
  auto* b = objects.GetGameObjectByName(CStringHash("b"));
  auto* c = objects.GetGameObjectByName(CStringHash("c"));
  auto* d = objects.GetGameObjectByName(CStringHash("d"));
  ASSERT_TRUE(a && b && c && d);
  EXPECT_EQ(manager.GetEnemyGroupCount(3), 1) << "neither the corpse nor the hard-only one";
  EXPECT_EQ(manager.GetEnemyGroupCount(4), 1);

  manager.EnableEnemyGroup(3);
  objects.ApplyQueuedRequests();
  EXPECT_TRUE(a->IsEnabled());
  EXPECT_TRUE(b->IsEnabled()) << "corpses lie in their group";
  EXPECT_FALSE(c->IsEnabled());
  EXPECT_FALSE(d->IsEnabled());
  EXPECT_EQ(manager.GetFighters().size(), 2u);
  EXPECT_EQ(manager.GetEnemyCount(), 2u);
  EXPECT_EQ(manager.GetEnemyGroupCount(3), 1) << "counted enabled or not";
  // Spread values: the second joiner gained 1.0, the first 0.
  EXPECT_FLOAT_EQ(a->GetComponent<CBerserker>()->repathTimer, 0.0f);
  EXPECT_FLOAT_EQ(b->GetComponent<CBerserker>()->repathTimer, 1.0f);

  manager.SetTargetToEnemyGroup(3, "player");
  EXPECT_EQ(a->GetComponent<CBerserker>()->target, objects.GetGameObjectByName(CStringHash("player")));
  EXPECT_EQ(b->GetComponent<CBerserker>()->target, nullptr) << "corpses take no target";

  manager.DisableEnemyGroup(3);
  objects.ApplyQueuedRequests();
  EXPECT_FALSE(a->IsEnabled());
  EXPECT_FALSE(b->IsEnabled());
  EXPECT_EQ(manager.GetFighters().size(), 0u);
  EXPECT_EQ(manager.GetEnemyCount(), 0u);
  manager.Clear();
  objects.Clear();
}

// The shipped AI data, play lists and zones' enemies, loaded as the level loads them.
TEST(ShippedEnemies, EveryZoneEnemyFindsItsPlayListsTrackersAndGroup) {
  test::CLogCapture log;
  evn::CEventManager events;
  ASSERT_TRUE(events.Init());
  obj::CGameObjectManager objects;
  ASSERT_TRUE(objects.Init());
  obj::RegisterObjectComponentFactories(objects.componentFactories);
  lgc::RegisterTrackerFactory(objects.componentFactories);
  utl::RegisterFactoryMaker<CBerserker, obj::IComponent>(objects.componentFactories);
  CAIManager manager;
  ASSERT_TRUE(manager.Init());
  EXPECT_FALSE(log.Contains("AI:")) << log.Text();
  EXPECT_FALSE(log.Contains("Play lists:")) << log.Text();
  for (int kind : {kEnemyZombie, kEnemyMutant}) {
    const SPlayListSet* set = manager.GetPlayLists(kind);
    const SPlayList* fight = manager.FindPlayList(kind, set->fightDefaultGroup, set->fightDefaultId);
    ASSERT_NE(fight, nullptr);
    EXPECT_FALSE(fight->entries.empty());
  }
  ASSERT_TRUE(objects.LoadTemplates("Data/xml/common_templates.xml"));
  ASSERT_TRUE(objects.LoadTemplates("Data/xml/level1_character_templates.xml"));
  std::vector<obj::CGameObject*> enemies;
  for (const char* zone : {"diagonal", "avenue", "bar", "square", "casino"})
    objects.LoadInstances((std::string("Data/xml/") + zone + "/character_instances.xml").c_str(),
                          nullptr, false);
  ASSERT_TRUE(manager.ReserveEnemyList());
  objects.GetGameObjectsWithComponent(CBerserker::GetClassName(), enemies);
  EXPECT_GE(enemies.size(), 20u);
  std::map<int, int> groups;
  for (obj::CGameObject* object : enemies) {
    SCOPED_TRACE(object->GetNameText());
    const CBerserker* fighter = object->GetComponent<CBerserker>();
    EXPECT_NE(fighter->playListSlots[0].playList, nullptr);
    EXPECT_NE(fighter->fighterPlayLists[0].playList, nullptr);
    EXPECT_NE(fighter->fighterPlayLists[2].playList, nullptr);
    EXPECT_EQ(fighter->targetName, "player");
    EXPECT_NE(manager.GetSharedTracker(fighter->zone), nullptr) << "zone " << fighter->zone;
    EXPECT_EQ(fighter->group / 10, fighter->zone + 1);
    const SPlayList* passTime = fighter->playListSlots[0].playList;
    if (passTime && !passTime->entries.empty() && passTime->entries[0].isTracker)
      EXPECT_NE(fighter->playListSlots[0].tracker, nullptr) << "a patrol walks its tracker";
    ++groups[fighter->group];
  }
  EXPECT_GE(groups.size(), 8u);
  EXPECT_TRUE(manager.GetEnemyGroupCount(21) > 0 && manager.GetEnemyGroupCount(22) > 0);
  manager.Clear();
  objects.Clear();
}

}  // namespace
}  // namespace vd
