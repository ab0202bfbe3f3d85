#include "engine/animation/Mixer.h"

#include <cmath>

#include <cal3d/animation_cycle.h>
#include <cal3d/bone.h>
#include <cal3d/coreanimation.h>
#include <cal3d/corebone.h>
#include <cal3d/corekeyframe.h>
#include <cal3d/coremodel.h>
#include <cal3d/coreskeleton.h>
#include <cal3d/coretrack.h>
#include <cal3d/error.h>
#include <cal3d/model.h>
#include <cal3d/skeleton.h>

namespace vd {
namespace anm {

namespace {

// A cycle loops cleanly only when every track has a key at the full duration: add
// a copy of each track's first key there when the first track lacks one.
void AddLoopKeyframe(CalCoreAnimation* core) {
  std::list<CalCoreTrack*>& tracks = core->getListCoreTrack();
  if (tracks.empty() || !tracks.front()) return;
  CalCoreTrack* first = tracks.front();
  const int count = first->getCoreKeyframeCount();
  if (count <= 0) return;
  CalCoreKeyframe* last = first->getCoreKeyframe(count - 1);
  if (!last || last->getTime() >= core->getDuration()) return;
  for (CalCoreTrack* track : tracks) {
    if (!track || track->getCoreKeyframeCount() <= 0) continue;
    CalCoreKeyframe* key = track->getCoreKeyframe(0);
    CalCoreKeyframe* loop = new CalCoreKeyframe();
    loop->create();
    loop->setTranslation(key->getTranslation());
    loop->setRotation(key->getRotation());
    loop->setTime(core->getDuration());
    track->addCoreKeyframe(loop);
  }
}

}  // namespace

// --- CAnimationAction --------------------------------------------------------

CAnimationAction::CAnimationAction(CalCoreAnimation* coreAnimation) : CalAnimation(coreAnimation) {
  setType(TYPE_ACTION);
}

void CAnimationAction::execute(float delayIn, float delayOut, float weightTarget, bool autoLock) {
  setState(STATE_IN);
  setWeight(0.0f);
  setTime(0.0f);
  m_delayIn = delayIn;
  m_delayOut = delayOut;
  m_weightTarget = weightTarget;
  m_autoLock = autoLock;
  m_endTime = getCoreAnimation()->getDuration();
  m_rootSeen = false;
  m_lastRootTranslation = CalVector(0.0f, 0.0f, 0.0f);
  m_rootDelta = CalVector(0.0f, 0.0f, 0.0f);
}

bool CAnimationAction::update(float deltaTime) {
  if (getState() != STATE_STOPPED) setTime(getTime() + deltaTime * getTimeFactor());

  if (getState() == STATE_IN) {
    if (getTime() < m_delayIn) {
      setWeight(getTime() / m_delayIn * m_weightTarget);
    } else {
      setState(STATE_STEADY);
      setWeight(m_weightTarget);
    }
  }

  if (getState() == STATE_STEADY) {
    if (!m_autoLock && getTime() >= m_endTime - m_delayOut) {
      setState(STATE_OUT);
    } else if (m_autoLock && getTime() > m_endTime) {
      setState(STATE_STOPPED);
      setTime(m_endTime);
    }
  }

  if (getState() == STATE_OUT) {
    // Entered only with time >= end - delay out, so the division below only runs
    // with a positive delay.
    if (getTime() < m_endTime) {
      setWeight((m_endTime - getTime()) / m_delayOut * m_weightTarget);
    } else {
      setWeight(0.0f);
      return false;
    }
  }
  return true;
}

void CAnimationAction::fadeOut(float fadeOutTime, bool fadeBeyondEnd) {
  m_weightTarget = getWeight();
  float fade = fadeOutTime;
  if (!fadeBeyondEnd && m_endTime < getTime() + fade) fade = m_endTime - getTime();
  if (fade < 0.0f) fade = 0.0f;
  setState(STATE_OUT);
  m_delayOut = fade;
  m_endTime = getTime() + fade;
}

void CAnimationAction::extractRootTranslation(CalVector& translation) {
  // Weighted as it is gathered, so that motion not yet taken is never scaled twice.
  CalVector step = translation - m_lastRootTranslation;
  step *= getWeight();
  step.y = 0.0f;
  m_rootDelta += step;
  m_rootSeen = true;
  m_lastRootTranslation = translation;
  translation.x = 0.0f;
  translation.z = 0.0f;
}

CalVector CAnimationAction::takeRootTranslationDelta() {
  CalVector delta = m_rootDelta;
  m_rootDelta = CalVector(0.0f, 0.0f, 0.0f);
  return delta;
}

// --- CMixer ------------------------------------------------------------------

CMixer::CMixer(CalModel* model) : m_model(model) {
  ValidCycleId(-1);
}

CMixer::~CMixer() {
  for (CAnimationAction* action : m_actions) delete action;
  for (CalAnimationCycle* cycle : m_cycles) delete cycle;
}

bool CMixer::ValidCycleId(int id) {
  CalCoreModel* core = m_model ? m_model->getCoreModel() : nullptr;
  const int count = core ? core->getCoreAnimationCount() : 0;
  if (static_cast<int>(m_cycleById.size()) < count) m_cycleById.resize(count, nullptr);
  if (id < 0 || id >= static_cast<int>(m_cycleById.size())) {
    CalError::setLastError(CalError::INVALID_HANDLE, __FILE__, __LINE__);
    return false;
  }
  return true;
}

bool CMixer::blendCycle(int id, float weight, float delay) {
  if (!ValidCycleId(id)) return false;
  CalAnimation* animation = m_cycleById[id];
  if (!animation) {
    if (weight == 0.0f) return true;
    CalCoreAnimation* core = m_model->getCoreModel()->getCoreAnimation(id);
    if (!core) return false;
    AddLoopKeyframe(core);
    CalAnimationCycle* cycle = new CalAnimationCycle(core);
    m_cycleById[id] = cycle;
    m_cycles.push_front(cycle);
    return cycle->blend(weight, delay);
  }
  if (animation->getType() != CalAnimation::TYPE_CYCLE) {
    CalError::setLastError(CalError::INVALID_ANIMATION_TYPE, __FILE__, __LINE__);
    return false;
  }
  if (weight == 0.0f) m_cycleById[id] = nullptr;
  CalAnimationCycle* cycle = static_cast<CalAnimationCycle*>(animation);
  cycle->blend(weight, delay);
  cycle->checkCallbacks(0.0f, m_model);
  return true;
}

bool CMixer::clearCycle(int id, float delay) {
  if (!ValidCycleId(id)) return false;
  CalAnimation* animation = m_cycleById[id];
  if (!animation) return true;
  if (animation->getType() != CalAnimation::TYPE_CYCLE) {
    CalError::setLastError(CalError::INVALID_ANIMATION_TYPE, __FILE__, __LINE__);
    return false;
  }
  m_cycleById[id] = nullptr;
  CalAnimationCycle* cycle = static_cast<CalAnimationCycle*>(animation);
  cycle->setAsync(m_animationTime, m_animationDuration);
  cycle->blend(0.0f, delay);
  cycle->checkCallbacks(0.0f, m_model);
  return true;
}

bool CMixer::executeAction(int id, float delayIn, float delayOut, float weightTarget, bool autoLock) {
  CalCoreAnimation* core = m_model ? m_model->getCoreModel()->getCoreAnimation(id) : nullptr;
  if (!core) return false;
  CAnimationAction* action = new CAnimationAction(core);
  m_actions.push_front(action);
  action->execute(delayIn, delayOut, weightTarget, autoLock);
  action->checkCallbacks(0.0f, m_model);
  return true;
}

bool CMixer::removeAction(int id, float fadeOut, bool fadeBeyondEnd) {
  CalCoreAnimation* core = m_model ? m_model->getCoreModel()->getCoreAnimation(id) : nullptr;
  if (!core) return false;
  for (auto it = m_actions.begin(); it != m_actions.end(); ++it) {
    CAnimationAction* action = *it;
    if (action->getCoreAnimation() != core) continue;
    if (fadeOut > 0.0f) {
      action->fadeOut(fadeOut, fadeBeyondEnd);
    } else {
      action->completeCallbacks(m_model);
      delete action;
      m_actions.erase(it);
    }
    return true;
  }
  return false;
}

void CMixer::updateAnimation(float deltaTime) {
  if (m_animationDuration == 0.0f) {
    m_animationTime = 0.0f;
  } else {
    m_animationTime += deltaTime * m_timeFactor;
    if (m_animationTime >= m_animationDuration || m_animationTime < 0.0f)
      m_animationTime = std::fmod(m_animationTime, m_animationDuration);
    if (m_animationTime < 0.0f) m_animationTime += m_animationDuration;
  }

  for (auto it = m_actions.begin(); it != m_actions.end();) {
    CAnimationAction* action = *it;
    if (action->update(deltaTime)) {
      action->checkCallbacks(action->getTime(), m_model);
      ++it;
    } else {
      action->completeCallbacks(m_model);
      delete action;
      it = m_actions.erase(it);
    }
  }

  float weightSum = 0.0f;
  float durationSum = 0.0f;
  for (auto it = m_cycles.begin(); it != m_cycles.end();) {
    CalAnimationCycle* cycle = *it;
    if (cycle->update(deltaTime)) {
      if (cycle->getState() == CalAnimation::STATE_SYNC) {
        weightSum += cycle->getWeight();
        durationSum += cycle->getWeight() * cycle->getCoreAnimation()->getDuration();
      }
      cycle->checkCallbacks(m_animationTime, m_model);
      ++it;
    } else {
      cycle->completeCallbacks(m_model);
      for (CalAnimation*& slot : m_cycleById)
        if (slot == cycle) slot = nullptr;
      delete cycle;
      it = m_cycles.erase(it);
    }
  }
  m_animationDuration = weightSum > 0.0f ? durationSum / weightSum : 0.0f;
}

void CMixer::updateSkeleton(bool extractRootMotion) {
  CalSkeleton* skeleton = m_model ? m_model->getSkeleton() : nullptr;
  if (!skeleton) return;
  skeleton->clearState();
  std::vector<CalBone*>& bones = skeleton->getVectorBone();
  const int boneCount = static_cast<int>(bones.size());

  for (CAnimationAction* action : m_actions) {
    for (CalCoreTrack* track : action->getCoreAnimation()->getListCoreTrack()) {
      // Track bone ids come from the animation file: never index past the skeleton.
      const int boneId = track->getCoreBoneId();
      if (boneId < 0 || boneId >= boneCount) continue;
      CalVector translation(0.0f, 0.0f, 0.0f);
      CalQuaternion rotation(0.0f, 0.0f, 0.0f, 1.0f);
      track->getState(action->getTime(), translation, rotation);
      if (extractRootMotion && bones[boneId]->getCoreBone()->getParentId() == -1) {
        // Measured from where the animation starts, not from the origin: a root
        // that does not start at the origin must not throw the object by that offset.
        if (!action->hasRootReference()) {
          CalVector start(0.0f, 0.0f, 0.0f);
          CalQuaternion unused(0.0f, 0.0f, 0.0f, 1.0f);
          track->getState(0.0f, start, unused);
          action->setRootReference(start);
        }
        action->extractRootTranslation(translation);
      }
      bones[boneId]->blendState(action->getWeight(), translation, rotation);
    }
  }
  skeleton->lockState();

  for (CalAnimationCycle* cycle : m_cycles) {
    CalCoreAnimation* core = cycle->getCoreAnimation();
    float time;
    if (cycle->getState() == CalAnimation::STATE_SYNC) {
      time = m_animationDuration == 0.0f ? 0.0f
                                         : m_animationTime * core->getDuration() / m_animationDuration;
    } else {
      time = cycle->getTime();
    }
    for (CalCoreTrack* track : core->getListCoreTrack()) {
      const int boneId = track->getCoreBoneId();
      if (boneId < 0 || boneId >= boneCount) continue;
      CalVector translation(0.0f, 0.0f, 0.0f);
      CalQuaternion rotation(0.0f, 0.0f, 0.0f, 1.0f);
      track->getState(time, translation, rotation);
      bones[boneId]->blendState(cycle->getWeight(), translation, rotation);
    }
  }
  skeleton->lockState();
  skeleton->calculateState();
}

CalVector CMixer::takeRootTranslationDelta() {
  CalVector sum(0.0f, 0.0f, 0.0f);
  for (CAnimationAction* action : m_actions) sum += action->takeRootTranslationDelta();
  return sum;
}

}  // namespace anm
}  // namespace vd
