#pragma once
// Our mixer, installed on every model through the library's abstract-mixer hook.
// Cycles behave as the library's own mixer blends them. One-shot actions extract
// the horizontal motion of the skeleton's root bone from the pose, so that the
// object can be moved by it, and can be faded out on removal instead of cut.
#include <list>
#include <vector>

#include <cal3d/animation.h>
#include <cal3d/mixer.h>
#include <cal3d/vector.h>

class CalAnimationCycle;
class CalCoreAnimation;
class CalModel;

namespace vd {
namespace anm {

class CAnimationAction : public CalAnimation {
public:
  explicit CAnimationAction(CalCoreAnimation* coreAnimation);

  // Fading in from weight 0 at time 0; ends at the core animation's duration.
  void execute(float delayIn, float delayOut, float weightTarget, bool autoLock);
  // Advances the phases; false once the action has ended.
  bool update(float deltaTime);
  // Starts the fade-out from the current weight. Unless fadeBeyondEnd is set the
  // fade ends no later than the action would have ended.
  void fadeOut(float fadeOutTime, bool fadeBeyondEnd);

  // The root's translation at time 0, which the first extraction measures from.
  bool hasRootReference() const { return m_rootSeen; }
  void setRootReference(const CalVector& translation) {
    m_lastRootTranslation = translation;
    m_rootSeen = true;
  }
  // Moves the root's horizontal motion since the last extraction into the delta
  // (weighted, without height) and leaves only the height in the pose.
  void extractRootTranslation(CalVector& translation);
  // The delta gathered since the last call; clears it.
  CalVector takeRootTranslationDelta();

  float getEndTime() const { return m_endTime; }
  float getDelayOut() const { return m_delayOut; }
  float getWeightTarget() const { return m_weightTarget; }
  bool isAutoLock() const { return m_autoLock; }

private:
  float m_delayIn = 0.0f;
  float m_delayOut = 0.0f;
  float m_weightTarget = 0.0f;
  bool m_autoLock = false;
  float m_endTime = 0.0f;
  bool m_rootSeen = false;
  CalVector m_lastRootTranslation;
  CalVector m_rootDelta;
};

class CMixer : public CalAbstractMixer {
public:
  explicit CMixer(CalModel* model);
  ~CMixer() override;
  CMixer(const CMixer&) = delete;
  CMixer& operator=(const CMixer&) = delete;

  bool blendCycle(int id, float weight, float delay);
  bool clearCycle(int id, float delay);
  // False when the core model has no animation with the id. The new action goes to
  // the front of the list.
  bool executeAction(int id, float delayIn, float delayOut, float weightTarget = 1.0f,
                     bool autoLock = false);
  // The first action of the animation: faded out over fadeOut seconds, or (with 0
  // or less) removed at once. False when no action of the animation runs.
  bool removeAction(int id, float fadeOut, bool fadeBeyondEnd);

  void updateAnimation(float deltaTime) override;
  // Without extraction: what the library's model update calls.
  void updateSkeleton() override { updateSkeleton(false); }
  void updateSkeleton(bool extractRootMotion);
  // The sum of every action's delta since it was last taken; clears them.
  CalVector takeRootTranslationDelta();

  float getAnimationTime() const { return m_animationTime; }
  float getAnimationDuration() const { return m_animationDuration; }
  CalModel* getCalModel() const { return m_model; }
  const std::list<CAnimationAction*>& getAnimationActionList() const { return m_actions; }
  const std::list<CalAnimationCycle*>& getAnimationCycleList() const { return m_cycles; }

private:
  // Room for every animation id the core model has now (templates may gain
  // animations after the model was made).
  bool ValidCycleId(int id);

  CalModel* m_model;
  std::vector<CalAnimation*> m_cycleById;
  std::list<CAnimationAction*> m_actions;
  std::list<CalAnimationCycle*> m_cycles;
  float m_animationTime = 0.0f;
  float m_animationDuration = 0.0f;
  float m_timeFactor = 1.0f;
};

}  // namespace anm
}  // namespace vd
