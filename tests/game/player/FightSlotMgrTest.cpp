// The fight-slot manager on a player object, with small fighters that come and go:
// its wait circle, the fight-slot queue by distance, the attacker limit and the
// hold, and what a fighter leaves behind when it leaves the fight or is destroyed.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <memory>
#include <rapidxml/rapidxml.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "engine/objects/GameObject.h"
#include "engine/objects/Transform.h"
#include "game/player/EnemyList.h"
#include "game/player/FightSlotMgr.h"
#include "game/player/PlayerController.h"

namespace vd {
namespace {

constexpr float kPi = 3.14159265f;

// A fighter as the slot manager sees it: a state pair, and the leave-fight call
// that every enemy makes when it is reset (which destruction does first).
class CSlotFighter : public obj::CComponent<CSlotFighter>, public IEnemyFighter {
public:
  static const CStringHash& GetClassName() {
    static const CStringHash name("CSlotFighter");
    return name;
  }
  void Load(rapidxml::xml_node<>*) override {}
  bool HasContent() override { return true; }
  bool Update(float) override { return true; }
  bool Init() override { return true; }
  void Reset() override {
    if (slots) slots->LeaveFight(m_owner, this);
    slots = nullptr;
  }
  bool IsActive() const override { return true; }
  bool IsLocked() const override { return false; }
  void SetLocked(bool) override {}
  bool IsReadyForFatality() const override { return false; }
  int GetState() const override { return state; }
  int GetSubState() const override { return subState; }
  bool RequestState(int s, int sub) override {
    state = s;
    subState = sub;
    return true;
  }

  CFightSlotMgr* slots = nullptr;
  int state = CFightSlotMgr::kAttackState;
  int subState = CFightSlotMgr::kAttackSubState;
};

class FightSlots : public ::testing::Test {
protected:
  void SetUp() override {
    player.SetName("player");
    auto* t = new gfx::CTransform();
    t->position = plat::Vec3(10.0f, 1.0f, -4.0f);
    player.AddComponent(t);
    player.AddComponent(slots = new CFightSlotMgr());
  }

  // The manager tuned by a Component element's keys, then initialised.
  void Tune(const std::string& keys) {
    std::string xml = "<Component name='CFightSlotMgr'>" + keys + "</Component>";
    rapidxml::xml_document<> doc;
    doc.parse<0>(&xml[0]);
    slots->Reset();
    slots->Load(doc.first_node());
    ASSERT_TRUE(slots->Init());
  }
  void Tune(int count, int queue, int attackers, float waitMax = 20.0f) {
    Tune("<key name='count' value='" + std::to_string(count) +
         "'/><key name='dist_min' value='1'/><key name='dist_wait_min' value='3'/>"
         "<key name='dist_wait_max' value='" +
         std::to_string(waitMax) + "'/><key name='queue_count' value='" + std::to_string(queue) +
         "'/><difficulty><normal><key name='attackers_max' value='" + std::to_string(attackers) +
         "'/></normal></difficulty>");
  }

  // A fighter object `dx` along x from the player (so its distance is |dx|).
  obj::CGameObject* Fighter(float dx, const char* name = "fighter") {
    auto object = std::make_unique<obj::CGameObject>();
    object->SetName(name);
    auto* t = new gfx::CTransform();
    t->position = plat::Vec3(10.0f + dx, 1.0f, -4.0f);
    object->AddComponent(t);
    auto* f = new CSlotFighter();
    f->slots = slots;
    object->AddComponent(f);
    fighters.push_back(std::move(object));
    return fighters.back().get();
  }
  static CSlotFighter* As(obj::CGameObject* o) { return o->GetComponent<CSlotFighter>(); }
  int SlotOf(obj::CGameObject* o) const {
    int index = -1;
    return slots->GetFightSlotIndex(o, index) ? index : -1;
  }

  obj::CGameObject player;
  CFightSlotMgr* slots = nullptr;
  std::vector<std::unique_ptr<obj::CGameObject>> fighters;
};

TEST_F(FightSlots, WaitCircleSpreadsItsThirtyTwoPlacesAndRefusesTheThirtyThird) {
  Tune("<key name='wait_slot_radius' value='5'/>");
  // In units of pi/16: each group of four fills the gaps the earlier ones left.
  const int expected[32] = {8, 24, 16, 32, 4, 20, 12, 28, 2, 18, 10, 26, 6, 22, 14, 30,
                            1, 17, 9,  25, 3, 19, 11, 27, 5, 21, 13, 29, 7, 23, 15, 31};
  ASSERT_EQ(slots->GetWaitSlots().size(), 32u);
  for (int i = 0; i < 32; ++i)
    EXPECT_NEAR(slots->GetWaitSlots()[i].angle, expected[i] * kPi / 16.0f, 1e-5f) << i;

  std::vector<obj::CGameObject*> takers;
  for (int i = 0; i < 32; ++i) {
    takers.push_back(Fighter(30.0f));
    EXPECT_EQ(slots->TakeWaitSlot(takers.back()), i);
  }
  EXPECT_EQ(slots->TakeWaitSlot(takers[7]), 7) << "a holder asking again keeps its place";
  obj::CGameObject* late = Fighter(30.0f);
  EXPECT_EQ(slots->TakeWaitSlot(late), -1);

  slots->ReleaseSlots(takers[9]);
  slots->ReleaseSlots(takers[3]);
  EXPECT_EQ(slots->TakeWaitSlot(late), 3) << "lowest free index first";

  // Slot 0 lies at 90 degrees: straight along +z from the player, at the radius.
  const plat::Vec3 p = slots->GetWaitSlotPosition(0);
  EXPECT_NEAR(p.x, 10.0f, 1e-4f);
  EXPECT_NEAR(p.y, 1.0f, 1e-6f);
  EXPECT_NEAR(p.z, 1.0f, 1e-4f);
  for (int bad : {-1, 32}) {
    const plat::Vec3 q = slots->GetWaitSlotPosition(bad);
    EXPECT_EQ(q.x, 10.0f);
    EXPECT_EQ(q.z, -4.0f);
  }
}

TEST_F(FightSlots, WaitRadiusDefaultsBetweenTheWaitDistancesAndCountsAreChecked) {
  Tune(
      "<key name='count' value='-3'/><key name='queue_count' value='100000'/>"
      "<key name='dist_min' value='1'/><key name='dist_wait_min' value='3'/>"
      "<key name='dist_wait_max' value='7'/>");
  EXPECT_FLOAT_EQ(slots->waitSlotRadius, 2.0f) << "inside dist_wait_min, where a fighter stops";
  EXPECT_EQ(slots->count, 0);
  EXPECT_EQ(slots->queueCount, CFightSlotMgr::kMaxCount);
  EXPECT_TRUE(slots->GetFightSlots().empty());
  // No fight slot to give: positions fall back to the player's own.
  EXPECT_EQ(slots->GetFightSlotPosition(0).x, 10.0f);
}

TEST_F(FightSlots, TheNearestCandidatesWithinReachTakeTheSlotsEachUpdate) {
  Tune(2, 8, 2);
  obj::CGameObject* far = Fighter(9.0f, "far");
  obj::CGameObject* mid = Fighter(5.0f, "mid");
  obj::CGameObject* near = Fighter(-2.0f, "near");
  slots->RequestFightSlot(far);
  slots->Update(0.0f);
  slots->RequestFightSlot(mid);
  slots->Update(0.0f);
  ASSERT_EQ(SlotOf(far), 0);
  ASSERT_EQ(SlotOf(mid), 1);

  // The newcomer outranks the farthest holder and takes the lowest free slot.
  slots->RequestFightSlot(near);
  slots->Update(0.0f);
  EXPECT_EQ(SlotOf(far), -1);
  EXPECT_EQ(SlotOf(near), 0);
  EXPECT_EQ(SlotOf(mid), 1);
  EXPECT_TRUE(slots->waiting.empty()) << "a request lasts one update";

  // A request is granted wherever it comes from, but a holder exactly at
  // dist_wait_max is out of reach and loses its slot unless it asks again; so does
  // one that walks beyond it.
  Tune(2, 8, 2, 5.0f);
  slots->RequestFightSlot(mid);
  slots->RequestFightSlot(near);
  slots->Update(0.0f);
  EXPECT_EQ(SlotOf(near), 0);
  EXPECT_EQ(SlotOf(mid), 1);
  slots->Update(0.0f);
  EXPECT_EQ(SlotOf(mid), -1);
  EXPECT_EQ(SlotOf(near), 0);
  near->GetComponent<gfx::CTransform>()->position.x = 16.0f;
  slots->Update(0.0f);
  EXPECT_EQ(SlotOf(near), -1);

  // A holder that asks again is one candidate, not two: the free slot goes on.
  Tune(2, 8, 2);
  near->GetComponent<gfx::CTransform>()->position.x = 8.0f;
  slots->RequestFightSlot(near);
  slots->Update(0.0f);
  ASSERT_EQ(SlotOf(near), 0);
  slots->RequestFightSlot(near);
  slots->RequestFightSlot(mid);
  slots->Update(0.0f);
  EXPECT_EQ(SlotOf(near), 0);
  EXPECT_EQ(SlotOf(mid), 1);
}

TEST_F(FightSlots, RequestsAreQueuedOnceAndOnlyUpToTheQueueCount) {
  struct SCase {
    int count, queue, requesters;
    int holders;  // after one update
  } const cases[] = {{0, 8, 3, 0}, {3, 0, 3, 0}, {4, 2, 5, 2}, {2, 8, 5, 2}};
  for (const SCase& c : cases) {
    Tune(c.count, c.queue, 1);
    std::vector<obj::CGameObject*> asking;
    for (int i = 0; i < c.requesters; ++i) {
      asking.push_back(Fighter(1.0f + i));
      slots->RequestFightSlot(asking.back());
      slots->RequestFightSlot(asking.back());
    }
    EXPECT_EQ(static_cast<int>(slots->waiting.size()), std::min(c.queue, c.requesters));
    slots->Update(0.0f);
    int holders = 0;
    for (obj::CGameObject* o : asking) holders += SlotOf(o) >= 0;
    EXPECT_EQ(holders, c.holders) << c.count << " slots, queue " << c.queue;
  }
}

TEST_F(FightSlots, AttackersAreLimitedHeldBackAndLeaveOnePerUpdate) {
  Tune(4, 8, 2);
  CSlotFighter* a = As(Fighter(1.0f));
  CSlotFighter* b = As(Fighter(1.5f));
  CSlotFighter* c = As(Fighter(2.0f));
  EXPECT_TRUE(slots->AddAttacker(a));
  EXPECT_TRUE(slots->AddAttacker(a)) << "already listed: granted, not listed twice";
  EXPECT_TRUE(slots->AddAttacker(b));
  EXPECT_FALSE(slots->AddAttacker(c)) << "the limit is the list's size";
  EXPECT_EQ(slots->GetAttackerCount(), 2u);

  // Both finish their swings: they leave one per update, in list order.
  a->state = b->state = 13;
  slots->Update(0.0f);
  ASSERT_EQ(slots->GetAttackerCount(), 1u);
  EXPECT_EQ(slots->GetAttackers()[0].fighter, b);
  EXPECT_TRUE(slots->AddAttacker(c));
  slots->Update(0.0f);
  ASSERT_EQ(slots->GetAttackerCount(), 1u);
  EXPECT_EQ(slots->GetAttackers()[0].fighter, c) << "still swinging: stays";

  // The player's hold admits nobody, whatever room is left.
  slots->hold = 1;
  EXPECT_FALSE(slots->AddAttacker(a));
  slots->hold = 0;
  EXPECT_TRUE(slots->AddAttacker(a));

  Tune(4, 8, 0);
  EXPECT_FALSE(slots->AddAttacker(a));
}

TEST_F(FightSlots, AFighterThatLeavesOrIsDestroyedGivesBackEveryPlace) {
  Tune(2, 8, 2);
  obj::CGameObject* stays = Fighter(2.0f, "stays");
  obj::CGameObject* goes = Fighter(1.0f, "goes");
  slots->TakeWaitSlot(goes);
  slots->TakeWaitSlot(stays);
  slots->RequestFightSlot(goes);
  slots->RequestFightSlot(stays);
  slots->Update(0.0f);
  ASSERT_EQ(SlotOf(goes), 0);
  ASSERT_TRUE(slots->AddAttacker(As(goes)));
  ASSERT_TRUE(slots->AddAttacker(As(stays)));
  slots->RequestFightSlot(goes);  // asks again in the frame it is destroyed

  // Destroyed while it holds a wait slot, a fight slot, a request and an attack.
  for (auto& f : fighters)
    if (f.get() == goes) f.reset();
  EXPECT_EQ(slots->GetWaitSlots()[0].occupant, nullptr);
  EXPECT_EQ(slots->GetWaitSlots()[1].occupant, stays);
  EXPECT_EQ(slots->GetFightSlots()[0], nullptr);
  EXPECT_TRUE(slots->waiting.empty());
  ASSERT_EQ(slots->GetAttackerCount(), 1u);
  EXPECT_EQ(slots->GetAttackers()[0].fighter, As(stays));

  // The frames after never reach it (the address sanitizer watches), and its
  // places go to those still there.
  obj::CGameObject* next = Fighter(3.0f, "next");
  slots->RequestFightSlot(next);
  slots->Update(0.0f);
  EXPECT_EQ(SlotOf(stays), 1);
  EXPECT_EQ(SlotOf(next), 0);
  EXPECT_EQ(slots->TakeWaitSlot(next), 0);
  EXPECT_TRUE(slots->AddAttacker(As(next)));

  // Leaving by the fighter alone drops its entry, also one listed under no object.
  slots->LeaveFight(nullptr, As(next));
  ASSERT_EQ(slots->GetAttackerCount(), 1u);
  CSlotFighter loose;
  ASSERT_TRUE(slots->AddAttacker(&loose));
  slots->LeaveFight(nullptr, &loose);
  ASSERT_EQ(slots->GetAttackerCount(), 1u);
  EXPECT_EQ(slots->GetAttackers()[0].fighter, As(stays));
}

TEST_F(FightSlots, RestoringACheckpointStartsEveryPlaceAfresh) {
  Tune(2, 8, 2);
  slots->SaveCheckPoint();
  obj::CGameObject* f = Fighter(1.0f);
  slots->TakeWaitSlot(f);
  slots->RequestFightSlot(f);
  slots->Update(0.0f);
  slots->RequestFightSlot(f);
  slots->AddAttacker(As(f));
  slots->hold = 1;
  slots->LoadCheckPoint();
  EXPECT_EQ(slots->hold, 0);
  EXPECT_TRUE(slots->waiting.empty());
  EXPECT_EQ(slots->GetAttackerCount(), 0u);
  EXPECT_EQ(SlotOf(f), -1);
  EXPECT_EQ(slots->GetWaitSlots()[0].occupant, nullptr);
  EXPECT_EQ(slots->GetWaitSlots().size(), 32u);
  EXPECT_EQ(slots->GetFightSlots().size(), 2u);
  // The fight slots sit on the circle dist_wait_min - dist_min round the player.
  const plat::Vec3 p = slots->GetFightSlotPosition(1);
  EXPECT_NEAR(p.x, 8.0f, 1e-4f);
  EXPECT_NEAR(p.z, -4.0f, 1e-4f);
}

TEST_F(FightSlots, ThePlayerTemplateTunesTheManagerPerDifficulty) {
  std::ifstream file("Data/xml/loading_player_templates.xml");
  ASSERT_TRUE(file.good());
  std::stringstream text;
  text << file.rdbuf();
  std::string xml = "<root>" + text.str() + "</root>";
  rapidxml::xml_document<> doc;
  doc.parse<0>(&xml[0]);
  rapidxml::xml_node<>* component = nullptr;
  for (auto* t = doc.first_node()->first_node("GameObjectTemplate"); t && !component;
       t = t->next_sibling("GameObjectTemplate"))
    for (auto* c = t->first_node("Component"); c; c = c->next_sibling("Component"))
      if (std::string(c->first_attribute("name")->value()) == "CFightSlotMgr") component = c;
  ASSERT_NE(component, nullptr);

  const int before = CPlayerController::GetDifficulty();
  int previous = -1;
  for (int difficulty : {0, 1, 2}) {
    CPlayerController::SetDifficulty(difficulty);
    slots->Reset();
    slots->Load(component);
    ASSERT_TRUE(slots->Init());
    EXPECT_GT(slots->attackersMax, previous) << "harder lets more swing at once";
    previous = slots->attackersMax;
    EXPECT_GT(slots->count, 0);
    EXPECT_GT(slots->queueCount, 0);
    EXPECT_GT(slots->GetFightSlotRadius(), 0.0f);
    EXPECT_GT(slots->waitSlotRadius, slots->distMin);
    EXPECT_LT(slots->waitSlotRadius, slots->distWaitMin) << "a fighter stops on its way there";
  }
  CPlayerController::SetDifficulty(before);
}

}  // namespace
}  // namespace vd
