// The attack chain on the shipped player: when presses chain, the announcements
// of each hit window, which hit volumes each step switches and when, the two
// finishers' shock waves and X5's slow motion, the charged attack, and a refused
// combo table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/app/Timer.h"
#include "game/player/ComboController.h"
#include "tests/game/player/PlayerFixture.h"

namespace vd {
namespace {

namespace key = plat::input;
using C = CComboController;
using P = CPlayerController;

// "OnPlayerAttack", "OnShockWave" and "OnShake" in the order they are delivered,
// each with the number of the frame whose dispatch delivered it.
class CCombatLog : public evn::IEventListener {
public:
  struct SEntry {
    std::string kind;  // "begin", "end", "wave", "shake"
    std::string type;
    int damage = 0;
    int frame = 0;
    float a = 0.0f, b = 0.0f;
    std::string attacker;
  };
  void HandleEvent(evn::IEvent* event) override {
    SEntry entry;
    entry.frame = *frame;
    if (event->GetType() == evn::CEventPlayerAttack::s_type) {
      auto* attack = static_cast<evn::CEventPlayerAttack*>(event);
      entry.kind = attack->begin ? "begin" : "end";
      entry.type = attack->type.c_str();
      entry.damage = attack->damage;
    } else if (event->GetType() == evn::CEventShockWave::s_type) {
      auto* wave = static_cast<evn::CEventShockWave*>(event);
      entry.kind = "wave";
      entry.damage = wave->damage;
      entry.a = wave->speed;
      entry.b = wave->range;
      entry.attacker = wave->attacker.c_str();
    } else {
      auto* shake = static_cast<evn::CEventShake*>(event);
      entry.kind = "shake";
      entry.a = shake->power;
      entry.b = shake->timer;
    }
    entries.push_back(entry);
  }
  std::vector<SEntry> Of(const std::string& kind) const {
    std::vector<SEntry> out;
    for (const SEntry& e : entries)
      if (e.kind == kind) out.push_back(e);
    return out;
  }
  std::string Sequence() const {
    std::string s;
    for (const SEntry& e : entries) {
      if (e.kind == "begin") s += e.type + " ";
      if (e.kind == "end") s += "| ";
    }
    return s;
  }
  const int* frame = nullptr;
  std::vector<SEntry> entries;
};

class Combo : public test::PlayerFixture {
protected:
  void SetUp() override {
    PlayerFixture::SetUp();
    log.frame = &frameCount;
    events.AddListener(&log, CStringHash("OnPlayerAttack"));
    events.AddListener(&log, CStringHash("OnShockWave"));
    events.AddListener(&log, CStringHash("OnShake"));
  }
  void TearDown() override {
    events.RemoveListener(CStringHash("OnPlayerAttack"), &log);
    events.RemoveListener(CStringHash("OnShockWave"), &log);
    events.RemoveListener(CStringHash("OnShake"), &log);
    PlayerFixture::TearDown();
  }

  void BuildCombo() {
    Build(plat::Vec3(0, 0, 0), false);
    combo = player->GetComponent<C>();
    ASSERT_NE(combo, nullptr);
    ASSERT_TRUE(combo->HasTable()) << Joined();
    combo->slowMotionTimer = &timer;
  }

  void Step() {
    ++frameCount;
    Frame();
  }
  // One frame with the key down, then the keys up.
  void Press(uint8_t code) {
    Keys({code});
    Step();
    Keys({});
  }
  // Frames until `done` holds; false after `limit` frames.
  template <class F>
  bool Until(F done, int limit = 600) {
    for (int i = 0; i < limit; ++i) {
      if (done()) return true;
      Step();
    }
    return done();
  }
  bool WaitWindow() {
    return Until([&] { return combo->windowOpen != 0; });
  }
  // The presses that lead from the stance to a step: the first at once, each
  // further one inside the current step's window, then frames until that press
  // has chained. 'H' holds the second button until the charged attack starts.
  void Reach(const std::string& presses) {
    for (size_t i = 0; i < presses.size(); ++i) {
      if (presses[i] == 'H') {
        Keys({key::kKeyI});
        ASSERT_TRUE(Until([&] { return combo->state == C::kHoldingAttack; }));
        Keys({});
        continue;
      }
      const int before = combo->state;
      if (i > 0) {
        ASSERT_TRUE(WaitWindow()) << "step " << before;
      }
      Press(presses[i] == 'J' ? key::kKeyJ : key::kKeyI);
      ASSERT_TRUE(Until([&] { return combo->state != before; })) << presses;
    }
  }

  sys::CTimer timer;
  CCombatLog log;
  int frameCount = 0;
  C* combo = nullptr;
};

TEST_F(Combo, ThePressInTheWindowChainsWhenItClosesAndTheChainEndsInIdleCombat) {
  BuildCombo();
  Press(key::kKeyJ);
  ASSERT_EQ(controller->state, P::kCombo);
  ASSERT_EQ(combo->state, C::kX1);
  const float length = combo->stepLength;
  ASSERT_GT(length, 0.0f);
  const SComboState& x1 = *combo->GetRow(C::kX1);

  // A press before the window opens queues nothing.
  Press(key::kKeyJ);
  ASSERT_LT(combo->timer, x1.in * length);
  EXPECT_EQ(combo->next, 0);

  ASSERT_TRUE(WaitWindow());
  EXPECT_GE(combo->timer, x1.in * length);
  Press(key::kKeyJ);
  EXPECT_EQ(combo->next, C::kX2);
  EXPECT_EQ(combo->state, C::kX1) << "the chain waits for the window to close";
  ASSERT_TRUE(Until([&] { return combo->state != C::kX1; }));
  EXPECT_EQ(combo->state, C::kX2);
  EXPECT_EQ(combo->previous, C::kX1);
  Step();  // the dispatch of the frame's events

  // Closing of X1 and opening of X2 are posted in that order in one frame.
  const std::vector<CCombatLog::SEntry>& e = log.entries;
  ASSERT_EQ(e.size(), 3u) << log.Sequence();
  EXPECT_EQ(e[0].kind, "begin");
  EXPECT_EQ(e[0].type, "X1");
  EXPECT_EQ(e[0].damage, x1.damage);
  EXPECT_EQ(e[1].kind, "end");
  EXPECT_EQ(e[1].type, "");
  EXPECT_EQ(e[1].damage, 0);
  EXPECT_EQ(e[2].kind, "begin");
  EXPECT_EQ(e[2].type, "X2");
  EXPECT_EQ(e[2].damage, combo->GetRow(C::kX2)->damage);
  EXPECT_EQ(e[1].frame, e[2].frame);

  // No further press: the recovery tail runs out into idle_combat.
  ASSERT_TRUE(Until([&] { return combo->state == C::kStart; }));
  EXPECT_EQ(controller->state, P::kIdleCombat);
  EXPECT_GT(combo->timer, combo->GetRow(C::kX2)->out * combo->stepLength +
                              animator->GetAnimationDuration(CStringHash("attack_to_idle")));
  EXPECT_FALSE(weapon->IsActive(0));
  EXPECT_FALSE(weapon->IsActive(1));
}

TEST_F(Combo, AWindowPassedWithinOneUpdateNeverOpensAndAPressAfterItChainsAtOnce) {
  BuildCombo();
  Press(key::kKeyJ);
  ASSERT_EQ(combo->state, C::kX1);
  const SComboState& x1 = *combo->GetRow(C::kX1);
  const float jump = x1.out * combo->stepLength + 0.01f;
  ++frameCount;
  Frame(jump);
  EXPECT_EQ(combo->windowOpen, 0);
  EXPECT_EQ(combo->windowClosed, 0);
  EXPECT_EQ(combo->state, C::kX1);
  Press(key::kKeyJ);
  EXPECT_EQ(combo->state, C::kX2);
  Step();
  EXPECT_EQ(log.Sequence(), "X1 X2 ") << "no closing event for X1";
}

TEST_F(Combo, ARestoredCheckpointEndsTheChainAndKeepsTheTable) {
  BuildCombo();
  Reach("JJ");
  ASSERT_EQ(combo->state, C::kX2);
  player->SaveCheckPoint();
  Frames(3);
  player->LoadCheckPoint();
  EXPECT_EQ(combo->state, C::kStart) << "saved in X2, restored into no step";
  EXPECT_EQ(combo->next, 0);
  ASSERT_TRUE(combo->HasTable());
  EXPECT_EQ(combo->combos[C::kX5].name.Get(), CStringHash("X5"));
  EXPECT_EQ(combo->slowMotionTimer, &timer);
  Keys({});
  Frames(2);
  Press(key::kKeyJ);
  EXPECT_EQ(combo->state, C::kX1);
}

TEST_F(Combo, APressInTheRecoveryChainsAtOnceAndBothButtonsAdvanceTwice) {
  BuildCombo();
  Press(key::kKeyJ);
  Press(key::kKeyJ);  // before X1's window: lost
  const SComboState& x1 = *combo->GetRow(C::kX1);
  ASSERT_TRUE(Until([&] { return combo->timer >= x1.out * combo->stepLength; }));
  EXPECT_EQ(combo->state, C::kX1) << "the early press was not kept";
  Step();
  ASSERT_EQ(combo->state, C::kX1);
  Press(key::kKeyJ);
  EXPECT_EQ(combo->state, C::kX2);
  EXPECT_EQ(combo->timer, 0.0f);

  // Both buttons together inside X2's window queue the held-attack successor.
  ASSERT_TRUE(WaitWindow());
  Keys({key::kKeyJ, key::kKeyI});
  Step();
  Keys({});
  EXPECT_EQ(combo->next, C::kY1);

  // Both together after the window: X2 -> X3 -> Y1 in one update.
  combo->next = 0;
  ASSERT_TRUE(Until([&] { return combo->windowOpen == 0 && combo->windowClosed != 0; }));
  ASSERT_EQ(combo->state, C::kX2);
  Keys({key::kKeyJ, key::kKeyI});
  Step();
  Keys({});
  EXPECT_EQ(combo->state, C::kY1);
  EXPECT_EQ(combo->previous, C::kX3);
}

// Each step switches exactly its set of volumes, on once its timer passes
// weaponIn and off once it passes weaponOut; every chaining switches both off.
TEST_F(Combo, EachStepSwitchesItsVolumeSetAtItsFractions) {
  struct SCase {
    const char* presses;
    int step;
    int set;
  };
  const SCase cases[] = {
      {"J", C::kX1, 0},   {"JJ", C::kX2, 0},   {"JJJ", C::kX3, 1},          {"JJJJ", C::kX4, 0},
      {"JJI", C::kY1, 0}, {"JJJI", C::kY2, 1}, {"H", C::kHoldingAttack, 1},
  };
  BuildCombo();
  for (const SCase& c : cases) {
    SCOPED_TRACE(c.presses);
    combo->EndCombo();
    Step();
    Reach(c.presses);
    ASSERT_EQ(combo->state, c.step);
    const SComboState& row = *combo->GetRow(c.step);
    int framesOn = 0;
    while (combo->state == c.step && controller->state == P::kCombo) {
      const float t = combo->timer;
      const float l = combo->stepLength;
      const bool inside = t > row.weaponIn * l && t <= row.weaponOut * l;
      EXPECT_EQ(weapon->IsActive(c.set), inside) << "t=" << t << " l=" << l;
      EXPECT_FALSE(weapon->IsActive(1 - c.set)) << "t=" << t;
      framesOn += weapon->IsActive(c.set) ? 1 : 0;
      Step();
    }
    EXPECT_GT(framesOn, 0);
    EXPECT_FALSE(weapon->IsActive(0));
    EXPECT_FALSE(weapon->IsActive(1));
  }
}

TEST_F(Combo, X5SlowsTimeInItsWindowAndReleasesOneShockWave) {
  BuildCombo();
  Reach("JJJJJ");
  ASSERT_EQ(combo->state, C::kX5);
  const SComboState& row = *combo->GetRow(C::kX5);
  const float l = combo->stepLength;
  bool slowed = false;
  while (combo->state == C::kX5) {
    const float t = combo->timer;
    const bool inside =
        t >= (row.in + combo->slowmotionInX5) * l && t < (row.out - combo->slowmotionOutX5) * l;
    EXPECT_EQ(timer.slowMotion.load() != 0, inside) << "t=" << t;
    if (inside) {
      EXPECT_FLOAT_EQ(timer.slowMotionScale.load(), combo->slowmotionSpeedX5);
      slowed = true;
    }
    EXPECT_FALSE(weapon->IsActive(0) || weapon->IsActive(1)) << "the damage travels in the wave";
    EXPECT_EQ(combo->blastDone != 0, t > row.hit * l) << "t=" << t;
    Step();
  }
  Step();
  EXPECT_TRUE(slowed);
  EXPECT_EQ(timer.slowMotion.load(), 0);
  EXPECT_FLOAT_EQ(timer.slowMotionScale.load(), 1.0f);
  EXPECT_EQ(controller->state, P::kIdleCombat);
  const auto waves = log.Of("wave");
  ASSERT_EQ(waves.size(), 1u);
  EXPECT_EQ(waves[0].attacker, "player");
  EXPECT_EQ(waves[0].damage, row.damage);
  EXPECT_FLOAT_EQ(waves[0].a, row.power);
  EXPECT_FLOAT_EQ(waves[0].b, row.range);
  const auto shakes = log.Of("shake");
  ASSERT_EQ(shakes.size(), 1u);
  EXPECT_FLOAT_EQ(shakes[0].a, row.shakePower);
  EXPECT_FLOAT_EQ(shakes[0].b, row.shakeTimer);
}

TEST_F(Combo, EndingX5InItsSlowMotionRestoresTimeButLeavesAnotherSlowMotionAlone) {
  BuildCombo();
  Reach("JJJJJ");
  ASSERT_TRUE(Until([&] { return timer.slowMotion.load() != 0; }));
  combo->EndCombo();
  EXPECT_EQ(timer.slowMotion.load(), 0);
  EXPECT_FLOAT_EQ(timer.slowMotionScale.load(), 1.0f);
  EXPECT_EQ(controller->state, P::kIdleCombat);

  // The player taken out of the chain by anything else ends it too.
  Step();
  Reach("JJJJJ");
  ASSERT_TRUE(Until([&] { return timer.slowMotion.load() != 0; }));
  controller->SetState(P::kHit);
  Step();
  EXPECT_EQ(timer.slowMotion.load(), 0);
  EXPECT_FLOAT_EQ(timer.slowMotionScale.load(), 1.0f);
  combo->EndCombo();

  // A slow motion that someone else runs (a grenade) is not ours to end.
  Step();
  Reach("JJJJJ");
  timer.slowMotion = 1;
  timer.slowMotionScale = 0.5f;
  ASSERT_TRUE(Until([&] { return combo->state != C::kX5; }));
  EXPECT_EQ(timer.slowMotion.load(), 1);
  EXPECT_FLOAT_EQ(timer.slowMotionScale.load(), 0.5f);
}

TEST_F(Combo, Y3FromX4ReleasesOneShockWaveAndEndsAtTheWindowsEnd) {
  BuildCombo();
  Reach("JJJJI");
  ASSERT_EQ(combo->state, C::kY3);
  EXPECT_EQ(combo->previous, C::kX4);
  const SComboState& row = *combo->GetRow(C::kY3);
  const float l = combo->stepLength;
  float lastTimer = 0.0f;
  while (combo->state == C::kY3) {
    EXPECT_FALSE(weapon->IsActive(0) || weapon->IsActive(1));
    lastTimer = combo->timer;
    Step();
  }
  EXPECT_LE(lastTimer, row.out * l);
  EXPECT_GT(lastTimer + kDt, row.out * l) << "no recovery tail after Y3";
  Step();
  EXPECT_EQ(log.Of("wave").size(), 1u);
  EXPECT_EQ(log.Of("wave")[0].damage, row.damage);
  EXPECT_EQ(log.Of("shake").size(), 1u);
  EXPECT_EQ(log.Sequence(), "X1 | X2 | X3 | X4 | Y3 | ");
}

TEST_F(Combo, TheYStepsContinueOnlyWhenNotEnteredFromTheXChain) {
  BuildCombo();
  // X2 then the second button: Y1 is a finisher, a further press is ignored.
  Reach("JJI");
  ASSERT_EQ(combo->state, C::kY1);
  ASSERT_TRUE(WaitWindow());
  Press(key::kKeyI);
  EXPECT_EQ(combo->next, 0);
  ASSERT_TRUE(Until([&] { return combo->state == C::kStart; }));

  // A short hold gives Y1, which goes on to Y2 and Y3.
  Step();
  Keys({key::kKeyI});
  Step();
  ASSERT_EQ(combo->state, C::kHolding);
  Frames(5);
  Keys({});
  Step();
  ASSERT_EQ(combo->state, C::kY1);
  EXPECT_EQ(combo->previous, C::kHolding);
  ASSERT_TRUE(WaitWindow());
  Press(key::kKeyI);
  ASSERT_TRUE(Until([&] { return combo->state != C::kY1; }));
  ASSERT_EQ(combo->state, C::kY2);
  ASSERT_TRUE(WaitWindow());
  Press(key::kKeyI);
  ASSERT_TRUE(Until([&] { return combo->state != C::kY2; }));
  EXPECT_EQ(combo->state, C::kY3);
}

TEST_F(Combo, HoldingPastTheThresholdStartsTheChargedAttackWithoutARelease) {
  BuildCombo();
  Keys({key::kKeyI});
  Step();
  ASSERT_EQ(combo->state, C::kHolding);
  int frames = 0;
  while (combo->state == C::kHolding && frames < 200) {
    Step();
    ++frames;
  }
  EXPECT_EQ(combo->state, C::kHoldingAttack);
  EXPECT_NEAR(frames * kDt, combo->holdingTime, 2 * kDt);
  // The key is still down: only a release or the threshold leaves holding.
  Keys({});
  Step();
  EXPECT_EQ(log.Sequence(), "HOLDING_ATTACK ");
}

TEST_F(Combo, AnAutoAttackPressOutsideTheWindowEndsTheChain) {
  BuildCombo();
  Press(key::kKeyJ);
  ASSERT_EQ(combo->state, C::kX1);
  Keys({key::kKeyLeftShift, key::kKeyJ});
  Step();
  Keys({});
  EXPECT_EQ(combo->state, C::kStart);
  EXPECT_EQ(controller->state, P::kComboAuto1);
}

// The auto attacks take their damage and volume fractions from rows 9 and 10 and
// strike with the big set.
TEST_F(Combo, AutoAttacksStrikeWithTheBigSetAtTheirRowsFractions) {
  struct SCase {
    uint8_t key;
    int state;
    int row;
    const char* type;
  };
  const SCase cases[] = {{key::kKeyJ, P::kComboAuto1, C::kAuto1Row, "combo_auto_01"},
                         {key::kKeyI, P::kComboAuto2, C::kAuto2Row, "combo_auto_02"}};
  BuildCombo();
  for (const SCase& c : cases) {
    SCOPED_TRACE(c.type);
    log.entries.clear();
    Keys({key::kKeyLeftShift, c.key});
    Step();
    Keys({});
    ASSERT_EQ(controller->state, c.state);
    const SComboState& row = *combo->GetRow(c.row);
    int framesOn = 0;
    Step();
    ASSERT_GT(controller->stateDuration, 0.0f);
    while (controller->state == c.state) {
      const float t = controller->stateTimer;
      const float l = controller->stateDuration;
      EXPECT_EQ(weapon->IsActive(1), t > row.weaponIn * l && t <= row.weaponOut * l) << t;
      EXPECT_FALSE(weapon->IsActive(0));
      framesOn += weapon->IsActive(1) ? 1 : 0;
      Step();
    }
    EXPECT_GT(framesOn, 0);
    EXPECT_EQ(controller->state, P::kIdleCombat);
    EXPECT_EQ(combo->state, C::kStart) << "the chain never ran";
    const auto begins = log.Of("begin");
    ASSERT_EQ(begins.size(), 1u);
    EXPECT_EQ(begins[0].type, c.type);
    EXPECT_EQ(begins[0].damage, row.damage);
  }
}

TEST_F(Combo, MovingBreaksOffOnlyOnceTheWindowHasClosedCoverBeforeItOpens) {
  BuildCombo();
  Press(key::kKeyJ);
  ASSERT_TRUE(WaitWindow());
  Keys({key::kKeyW});
  Step();
  EXPECT_EQ(controller->state, P::kCombo) << "no run while the window is open";
  EXPECT_EQ(combo->state, C::kX1);
  uint8_t closedBefore = 0;
  ASSERT_TRUE(Until([&] {
    if (controller->state != P::kCombo) return true;
    closedBefore = combo->windowClosed;
    return false;
  }));
  EXPECT_EQ(closedBefore, 1) << "the run waits for the window's end";
  EXPECT_EQ(controller->state, P::kRun);
  EXPECT_EQ(combo->state, C::kStart);
  EXPECT_FALSE(weapon->IsActive(0) || weapon->IsActive(1));
  Keys({});
  ASSERT_TRUE(Until([&] { return controller->state == P::kIdleCombat; }));

  // Cover is taken before the window opens, not inside it.
  Press(key::kKeyJ);
  ASSERT_EQ(combo->state, C::kX1);
  Keys({key::kKeySpace});
  Step();
  EXPECT_EQ(controller->state, P::kCover);
  EXPECT_EQ(combo->state, C::kStart);
  Keys({});
}

TEST_F(Combo, ARefusedTableIsLoggedAndThePlayerCannotAttack) {
  const std::string row =
      " in='0.2' out='0.6' weaponIn='0.3' weaponOut='0.5' damage='10' hit='0' power='0' "
      "range='0' shake_power='0' shake_timer='0'/>";
  // `badAttribute` goes on row 4 before the good ones (the first of a name counts).
  auto rows = [&](int count, const char* badAttribute = nullptr, int swapAt = -1) {
    std::string s = "<states>";
    for (int i = 0; i < count; ++i) {
      const int at = i == swapAt ? i + 1 : i == swapAt + 1 && swapAt >= 0 ? i - 1 : i;
      s += std::string("<state name='") + C::GetStateName(at) + "'";
      if (badAttribute && i == 4) s += std::string(" ") + badAttribute;
      s += row;
    }
    return s + "</states>";
  };
  struct SCase {
    const char* what;
    std::string text;
    const char* message;
  };
  const SCase cases[] = {
      {"missing", "", "missing"},
      {"malformed", "<states><state name='start'", "malformed"},
      {"no rows", "<states/>", "no <states>"},
      {"twelve rows", rows(12), "holds 12 rows"},
      {"out of order", rows(13, nullptr, 5), "row 5"},
      {"not a number", rows(13, "damage='ten'"), "not a number"},
      // Finite as a double, infinite as the float the row keeps: the window never closes.
      {"beyond the float range", rows(13, "out='1e39'"), "not a number"},
      {"beyond the negative float range", rows(13, "hit='-4e38'"), "not a number"},
  };
  BuildCombo();
  for (const SCase& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = base + "_combos.xml";
    {
      test::CTempFile file(path, c.text);
      if (c.text.empty()) std::remove(path.c_str());
      EXPECT_FALSE(combo->LoadCombos(path.c_str()));
    }
    EXPECT_FALSE(combo->HasTable());
    EXPECT_EQ(combo->GetRow(9), nullptr);
    EXPECT_TRUE(Logged(c.message)) << Joined();
    EXPECT_TRUE(Logged(path)) << Joined();
    EXPECT_FLOAT_EQ(combo->GetShakePower(), 0.0f);
  }
  // Without a table an attack press starts nothing and the player stands again.
  Press(key::kKeyJ);
  Step();
  EXPECT_EQ(combo->state, C::kStart);
  EXPECT_EQ(controller->state, P::kIdleCombat);
  EXPECT_TRUE(log.entries.empty());

  {
    test::CTempFile file(base + "_combos.xml", rows(13));
    EXPECT_TRUE(combo->LoadCombos((base + "_combos.xml").c_str()));
  }
  EXPECT_EQ(combo->combos[12].name.Get(), CStringHash("HOLDING_ATTACK"));
  EXPECT_EQ(combo->GetRow(10)->damage, 10);
}

}  // namespace
}  // namespace vd
