// The player's two specials: when the gas is spent and when a throw spends its
// grenade, what breaking them off keeps, and the throw's slow motion.
#include <gtest/gtest.h>

#include "engine/app/Timer.h"
#include "tests/game/player/PlayerFixture.h"

namespace vd {
namespace {

namespace key = plat::input;
using P = CPlayerController;

class Specials : public test::PlayerFixture {
protected:
  void BuildSpecials() {
    Build(plat::Vec3(0, 0, 0), false);
    controller->slowMotionTimer = &timer;
  }
  void Press(std::initializer_list<uint8_t> codes) {
    Keys(codes);
    Frame();
    Keys({});
  }
  sys::CTimer timer;
};

TEST_F(Specials, GasEqualToTheConsumptionIsSpentOnceAndBreakingOffEarlyKeepsIt) {
  BuildSpecials();
  struct SCase {
    const char* what;
    float gas;
    bool breakOff;
    float gasAfter;
    int stateAfter;
  };
  const float use = controller->gasConsumption;
  ASSERT_GT(use, 0.0f);
  const SCase cases[] = {
      {"exactly enough", use, false, 0.0f, P::kIdleCombat},
      {"more than enough", use + 10.0f, false, 10.0f, P::kIdleCombat},
      {"too little", use - 1.0f, false, use - 1.0f, P::kIdle},
      {"broken off by an evade", use, true, use, P::kEvade},
  };
  for (const SCase& c : cases) {
    SCOPED_TRACE(c.what);
    controller->SetState(P::kIdleCombat);
    Frame();
    controller->gas = c.gas;
    Press({key::kKeyU});
    ASSERT_EQ(controller->state, P::kSpecialAttack1);
    if (c.breakOff) {
      Frame();
      ASSERT_LT(controller->stateTimer, controller->gasIn * controller->stateDuration);
      Press({key::kKeyLeftCtrl, key::kKeyW});
    } else {
      for (int i = 0; i < 600 && controller->state == P::kSpecialAttack1; ++i) Frame();
    }
    EXPECT_EQ(controller->state, c.stateAfter);
    EXPECT_FLOAT_EQ(controller->gas, c.gasAfter);
  }
}

TEST_F(Specials, AThrowSpendsItsGrenadeWhenItsSlowMotionEnds) {
  BuildSpecials();
  controller->grenades = 2;
  Press({key::kKeyO});
  ASSERT_EQ(controller->state, P::kSpecialAttack2);
  Frame();  // the entry
  const float l = controller->stateDuration;
  ASSERT_GT(l, 0.0f);
  bool slowed = false;
  while (controller->state == P::kSpecialAttack2) {
    const float t = controller->stateTimer;
    if (t < controller->grenadesSlowmotionOut * l) {
      EXPECT_EQ(controller->grenades, 2) << "t=" << t;
    } else {
      EXPECT_EQ(controller->grenades, 1) << "t=" << t;
      EXPECT_EQ(timer.slowMotion.load(), 0);
    }
    if (timer.slowMotion.load()) {
      slowed = true;
      EXPECT_FLOAT_EQ(timer.slowMotionScale.load(), controller->grenadesSlowmotionSpeed);
      EXPECT_GE(t, controller->grenadesSlowmotionIn * l);
    }
    Frame();
  }
  EXPECT_TRUE(slowed);
  EXPECT_EQ(controller->state, P::kIdleCombat);
  EXPECT_EQ(controller->grenades, 1);

  // Broken off before grenades_in: the grenade is kept.
  Press({key::kKeyO});
  ASSERT_EQ(controller->state, P::kSpecialAttack2);
  Press({key::kKeySpace});
  EXPECT_EQ(controller->state, P::kCover);
  EXPECT_EQ(controller->grenades, 1);

  // Without a grenade there is no throw.
  controller->SetState(P::kIdleCombat);
  Frame();
  controller->grenades = 0;
  Press({key::kKeyO});
  Frame();
  EXPECT_EQ(controller->state, P::kIdle);
}

TEST_F(Specials, AnyStateChangeOrARestartInTheThrowsSlowMotionEndsIt) {
  BuildSpecials();
  controller->grenades = 2;
  Press({key::kKeyO});
  for (int i = 0; i < 600 && !timer.slowMotion.load(); ++i) Frame();
  ASSERT_EQ(timer.slowMotion.load(), 1);
  controller->SetState(P::kHit);
  Frame();
  EXPECT_EQ(timer.slowMotion.load(), 0);
  EXPECT_FLOAT_EQ(timer.slowMotionScale.load(), 1.0f);

  // A restart in the throw's slow motion ends it at once, before any further frame.
  controller->SetState(P::kIdleCombat);
  Frame();
  Press({key::kKeyO});
  for (int i = 0; i < 600 && !timer.slowMotion.load(); ++i) Frame();
  ASSERT_EQ(timer.slowMotion.load(), 1);
  controller->Restart();
  EXPECT_EQ(timer.slowMotion.load(), 0);
  EXPECT_FLOAT_EQ(timer.slowMotionScale.load(), 1.0f);
  EXPECT_EQ(controller->grenadeSlowMotion, 0);

  // Someone else's slow motion is left alone, and the throw still spends its grenade.
  controller->SetState(P::kIdleCombat);
  Frame();
  timer.slowMotion = 1;
  timer.slowMotionScale = 0.5f;
  const int before = controller->grenades;
  Press({key::kKeyO});
  for (int i = 0; i < 600 && controller->state == P::kSpecialAttack2; ++i) Frame();
  EXPECT_EQ(timer.slowMotion.load(), 1);
  EXPECT_FLOAT_EQ(timer.slowMotionScale.load(), 0.5f);
  EXPECT_EQ(controller->grenades, before - 1);
}

}  // namespace
}  // namespace vd
