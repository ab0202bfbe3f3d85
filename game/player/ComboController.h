#pragma once
// Runs the player's attack chain while the player controller is in its combo
// state: each step plays its animation, voice and swing, opens and closes its hit
// window (announced by "OnPlayerAttack"), switches one set of the weapon's hit
// volumes at fixed fractions of the step, and the two finishers release a shock
// wave. The tuning of every step comes from Data/xml/combos.xml, one row per
// combo state in state order.
#include <cstdint>
#include <vector>

#include "engine/animation/Animator.h"
#include "engine/core/FactoryMaker.h"
#include "engine/core/StringHash.h"
#include "engine/objects/Component.h"

namespace vd {
namespace gfx {
class CTransform;
}
namespace sys {
class CTimer;
}

class CPlayerController;
class CWeaponController;
class CPlayerEffects;

// One row of the combo table; the fractions are of the step's animation length.
struct SComboState {
  anm::COwnedName name;
  float in = 0.0f;
  float out = 0.0f;
  float weaponIn = 0.0f;
  float weaponOut = 0.0f;
  int32_t damage = 0;
  float hit = 0.0f;
  float power = 0.0f;
  float range = 0.0f;
  float shakePower = 0.0f;
  float shakeTimer = 0.0f;
};

class CComboController : public obj::CComponent<CComboController> {
public:
  enum EState : int {
    kStart = 0,
    kX1,
    kX2,
    kX3,
    kX4,
    kX5,
    kY1,
    kY2,
    kY3,
    kAuto1Row,
    kAuto2Row,
    kHolding,
    kHoldingAttack,
  };
  static constexpr int kStateCount = 13;
  static constexpr const char* kDefaultFile = "Data/xml/combos.xml";

  static const CStringHash& GetClassName();
  // The row name each position of the table must carry.
  static const char* GetStateName(int state);

  CComboController() = default;
  ~CComboController() override;
  CComboController& operator=(const CComboController& other) = default;

  // "slowmotion_in_X5", "slowmotion_out_X5", "slowmotion_speed_X5", "holding_time".
  void Load(rapidxml::xml_node<>* element) override;
  bool HasContent() override { return true; }
  void Restart() override { EndCombo(); }
  bool Update(float dt) override;
  void OnAfterRestore() override { EndCombo(); }
  bool Init() override;
  void Reset() override;

  // Reads the table. A file that is missing, malformed, or does not hold exactly
  // the 13 rows in state order is refused with a log line: the table stays empty
  // and the player cannot attack. Returns whether the table was taken.
  bool LoadCombos(const char* path = kDefaultFile);
  bool HasTable() const { return static_cast<int>(combos.size()) == kStateCount; }
  // Row k tunes combo state k (rows 9 and 10: the two auto attacks); null without
  // a table or for a number outside 0..12.
  const SComboState* GetRow(int row) const;

  // Stops the chain: no step, no queued step, the weapon's volumes out of the
  // world, a slow motion of ours ended, the player back in idle_combat without a
  // target.
  void EndCombo();
  // The current step's camera shake; 0 without a table.
  float GetShakePower() const;
  float GetShakeTimer() const;

  CPlayerController* player = nullptr;
  gfx::CTransform* transform = nullptr;
  anm::CAnimator* animator = nullptr;
  CWeaponController* weapon = nullptr;
  obj::IComponent* weaponRenderer1 = nullptr;
  obj::IComponent* weaponRenderer2 = nullptr;
  CPlayerEffects* effects = nullptr;
  int state = 0;
  int next = 0;
  int previous = 0;
  uint8_t windowOpen = 0;
  uint8_t windowClosed = 0;
  uint8_t blastDone = 0;
  float dt = 0.0f;
  float timer = 0.0f;
  float stepLength = 0.0f;
  float slowmotionInX5 = 0.0f;
  float slowmotionOutX5 = 0.0f;
  float slowmotionSpeedX5 = 0.0f;
  float holdingTime = 0.0f;
  uint32_t swingChannel = 0;
  std::vector<SComboState> combos;
  // The timer whose slow motion X5 switches: the application's, found by Init.
  sys::CTimer* slowMotionTimer = nullptr;
  // Set while the slow motion on is ours, so that only we end it.
  uint8_t slowMotionStarted = 0;

private:
  void UpdateStart();
  void UpdateStep();
  void UpdateX5();
  void UpdateY3();
  void UpdateHolding();
  void StartStep();
  void NextStep();
  void RemoveStepAction(float fadeOut);
  // Opening and closing of the hit window; `closingActions` leads the figure
  // back towards the stance when the window closes.
  void UpdateWindow(const SComboState& row, bool closingActions);
  void UpdateBlast(const SComboState& row, const char* boom);
  void SetSlowMotion(bool on, float scale);
  void PostAttack(bool begin, int damage, const CStringHash& type);
  void PostHUD(float cronoTime);
  bool Pressed(int slot) const;
  bool Released(int slot) const;
  bool Down(int slot) const;
  float Duration(const char* name) const;
  uint32_t PlaySound(const char* name);
  void QueueWeaponRenderers(bool enable);
};

}  // namespace vd
