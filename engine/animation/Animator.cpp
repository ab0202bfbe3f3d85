#include "engine/animation/Animator.h"

#include <cmath>
#include <cstdlib>

#include <cal3d/bone.h>
#include <cal3d/coreanimation.h>
#include <cal3d/coremodel.h>
#include <cal3d/coreskeleton.h>
#include <cal3d/model.h>
#include <cal3d/morphtargetmixer.h>
#include <cal3d/physique.h>
#include <cal3d/skeleton.h>
#include <cal3d/springsystem.h>

#include "engine/animation/AnimationManager.h"
#include "engine/animation/CalConvert.h"
#include "engine/animation/Mixer.h"
#include "engine/core/EngineNames.h"
#include "engine/core/Log.h"
#include "engine/objects/ComponentKeys.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/Transform.h"
#include "engine/render/RenderManager.h"
#include "engine/render/buffers/VertexTypes.h"

namespace vd {
namespace anm {

namespace {

MeshAttachedHook g_meshAttachedHook = nullptr;

CAnimationManager* Manager() { return CAnimationManager::GetInstance(); }

// Holds the manager's lock while a model's mixer is used (see GetLock).
class CModelLock {
public:
  CModelLock() : m_manager(Manager()) {
    if (m_manager) m_manager->GetLock().lock();
  }
  ~CModelLock() {
    if (m_manager) m_manager->GetLock().unlock();
  }
  CModelLock(const CModelLock&) = delete;
  CModelLock& operator=(const CModelLock&) = delete;

private:
  CAnimationManager* m_manager;
};

// The skeleton's bone of that name, or null.
CalBone* FindBone(CalModel* model, const std::string& name) {
  if (!model || !model->getSkeleton()) return nullptr;
  CalCoreSkeleton* core = model->getCoreModel()->getCoreSkeleton();
  const int id = core ? core->getCoreBoneId(name) : -1;
  if (id < 0) return nullptr;
  std::vector<CalBone*>& bones = model->getSkeleton()->getVectorBone();
  return id < static_cast<int>(bones.size()) ? bones[id] : nullptr;
}

}  // namespace

void SetMeshAttachedHook(MeshAttachedHook hook) { g_meshAttachedHook = hook; }

bool MakeSkinnedMesh(const CAnimator& animator, CalCoreMesh* coreMesh, const CStringHash& meshName,
                     gfx::CRenderManager& render) {
  CAnimationManager* manager = CAnimationManager::GetInstance();
  const CAnimationTemplate* animationTemplate =
      manager ? manager->FindTemplate(animator.GetTemplateId()) : nullptr;
  if (!animationTemplate || !coreMesh) {
    utl::LogPrintf("Skinned mesh %s: no animation template %s\n", meshName.c_str(),
                   animator.GetTemplateId().c_str());
    return false;
  }
  const CAnimationTemplate::SMesh* mesh = animationTemplate->FindMesh(meshName);
  const bool tangents =
      mesh && (mesh->meshTypeId == gfx::kVtxTexturedNormTangentSkin || mesh->computeTangentSpace);
  CalCoreSkeleton* skeleton = animationTemplate->GetCoreModel()
                                  ? animationTemplate->GetCoreModel()->getCoreSkeleton()
                                  : nullptr;
  const uint32_t bones = skeleton ? static_cast<uint32_t>(skeleton->getVectorCoreBone().size()) : 0;
  return render.CreateSkinnedMesh(
      meshName, coreMesh,
      tangents ? gfx::kVtxTexturedNormTangentSkin : gfx::kVtxTexturedNormSkin, bones);
}

const CStringHash& CAnimator::GetClassName() { return SH_CAnimator; }

CAnimator::CAnimator() = default;

CAnimator::~CAnimator() {
  if (!IsCheckPointCopy()) Reset();
}

void CAnimator::Load(rapidxml::xml_node<>* element) {
  obj::ForEachKey(element, [this](const obj::CKey& key) {
    const uint32_t name = key.NameHash();
    if (name == ComputeHash("animation")) {
      m_templateId.Set(key.Text());
    } else if (name == ComputeHash("animation_instance_name")) {
      m_instanceName.Set(key.Text());
    } else if (name == ComputeHash("mesh")) {
      m_meshName.Set(key.Text());
    } else if (name == ComputeHash("static")) {
      isStatic = std::atoi(key.Text()) != 0 ? 1 : 0;
    }
  });
}

bool CAnimator::Init() {
  m_transform = nullptr;
  m_rootMotionTarget = nullptr;
  if (obj::CGameObject* owner = GetOwner()) {
    // The component of a type key is of that class.
    m_transform = static_cast<gfx::CTransform*>(owner->GetComponent(SH_CTransform));
    m_rootMotionTarget = dynamic_cast<IRootMotionTarget*>(owner->GetComponent(SH_CCharacterCollider));
  }
  if (!m_meshName.IsNoName()) {
    CAnimationManager* manager = Manager();
    SAnimationInstance* instance =
        manager ? manager->CreateInstance(m_instanceName, m_templateId, &m_ownsInstance.value) : nullptr;
    if (instance && manager->AttachMesh(m_instanceName, m_meshName) && g_meshAttachedHook) {
      const int meshId = instance->animationTemplate->FindMeshId(m_meshName);
      g_meshAttachedHook(*this, instance->animationTemplate->GetCoreModel()->getCoreMesh(meshId), m_meshName);
    }
  }
  m_actions.clear();
  m_lockedActions.clear();
  return true;
}

void CAnimator::Reset() {
  // Only the model this animator made: a template's animator, or one that found
  // its instance name taken, must not take another object's model away.
  if (m_ownsInstance.value && Manager()) Manager()->DestroyInstance(m_instanceName);
  m_ownsInstance.value = false;
  m_currentCycleId = -1;
  m_currentCycleName = COwnedName();
  m_actions.clear();
  m_lockedActions.clear();
  subStepTime = kDefaultSubStepTime;
  isStatic = 1;
  subStepping = 0;
  m_sampledBones.clear();
  resetOnCheckPoint = 1;
}

void CAnimator::OnBeforeRestore() {
  if (!resetOnCheckPoint) return;
  if (!m_currentCycleName.IsNoName()) ClearCycle(m_currentCycleName, 0.0f);
  ClearActions();
  ClearLockedActions();
  if (CAnimator* saved = static_cast<CAnimator*>(GetCheckPointCopy())) {
    saved->m_currentCycleId = -1;
    saved->m_currentCycleName = COwnedName();
    saved->m_actions.clear();
    saved->m_lockedActions.clear();
  }
}

CalModel* CAnimator::GetModel() const {
  return Manager() && !m_instanceName.IsNoName() ? Manager()->GetModel(m_instanceName) : nullptr;
}

CMixer* CAnimator::GetMixer() const {
  return Manager() && !m_instanceName.IsNoName() ? Manager()->GetMixer(m_instanceName) : nullptr;
}

int CAnimator::ResolveAnimation(const CStringHash& name, const char* operation) const {
  const int id = Manager()->GetAnimationId(m_instanceName, name);
  if (id < 0) {
    utl::LogPrintf("CAnimator %s: %s has no animation \"%s\"\n", operation, m_templateId.Get().c_str(),
                   name.c_str());
  }
  return id;
}

// --- Update ------------------------------------------------------------------------

void CAnimator::UpdateModel(CalModel* model, CMixer* mixer, float h, bool sample, plat::Vec3& sum) {
  mixer->updateAnimation(h);
  mixer->updateSkeleton(!isStatic);
  if (CalMorphTargetMixer* morph = model->getMorphTargetMixer()) morph->update(h);
  if (CalPhysique* physique = model->getPhysique()) physique->update();
  if (CalSpringSystem* springs = model->getSpringSystem()) springs->update(h);
  ++m_lastUpdateCount;

  if (sample) {
    for (auto& entry : m_sampledBones) entry.second.samples.push_back(GetBoneTranslation(entry.second.name));
  }
  if (!isStatic) {
    // Along the object's x and z axes, scale included: the first and third rows of
    // its world matrix.
    const CalVector d = mixer->takeRootTranslationDelta();
    if (m_transform && (d.x != 0.0f || d.z != 0.0f)) {
      const plat::Mat4& world = m_transform->world;
      sum += plat::Vec3(world(0, 0), world(0, 1), world(0, 2)) * d.x +
             plat::Vec3(world(2, 0), world(2, 1), world(2, 2)) * d.z;
    }
  }
}

bool CAnimator::Update(float dt) {
  m_lastUpdateCount = 0;
  if (paused) return true;
  CModelLock modelLock;
  CalModel* model = GetModel();
  CMixer* mixer = GetMixer();
  if (!model || !mixer) return true;

  if (subStepping) {
    for (auto& entry : m_sampledBones) entry.second.samples.clear();
  }
  int steps = 0;
  float h = dt;
  if (subStepping) {
    if (subStepTime > 0.0f) {
      const float ratio = std::floor(dt / subStepTime);
      steps = ratio < 1.0f ? 1 : ratio > kMaxSubSteps ? kMaxSubSteps : static_cast<int>(ratio);
      h = dt < subStepTime ? dt : subStepTime;
    } else {
      steps = 1;  // no usable step length: one step of the whole frame
    }
  }

  plat::Vec3 sum;
  for (int i = 0; i < steps; ++i) UpdateModel(model, mixer, h, true, sum);
  const float rest = steps == 0 ? dt : dt - steps * h;
  UpdateModel(model, mixer, rest, false, sum);

  if (isStatic || (sum.x == 0.0f && sum.y == 0.0f && sum.z == 0.0f)) return true;
  if (m_rootMotionTarget) {
    m_rootMotionTarget->AddDisplacement(sum);
  } else if (m_transform) {
    m_transform->position += sum;
    m_transform->UpdateMatrix();
  }
  return true;
}

// --- Mixer operations -------------------------------------------------------------

int CAnimator::BlendCycle(const CStringHash& name, float weight, float delay, float clearDelay) {
  CModelLock modelLock;
  CMixer* mixer = GetMixer();
  if (!mixer) return -1;
  const int id = ResolveAnimation(name, "BlendCycle");
  if (id < 0) return -1;
  if (id == m_currentCycleId) return id;
  m_currentCycleName = name;
  mixer->blendCycle(id, weight, delay);
  if (m_currentCycleId != -1) mixer->clearCycle(m_currentCycleId, clearDelay);
  m_currentCycleId = id;
  return id;
}

int CAnimator::ClearCycle(const CStringHash& name, float delay) {
  CModelLock modelLock;
  CMixer* mixer = GetMixer();
  if (!mixer) return -1;
  const int id = ResolveAnimation(name, "ClearCycle");
  if (id < 0) return -1;
  if (id == m_currentCycleId) {
    m_currentCycleName = COwnedName();
    mixer->clearCycle(id, delay);
    m_currentCycleId = -1;
  }
  return id;
}

void CAnimator::ExecuteAction(const CStringHash& name, float weight, float delayIn, float delayOut, bool lock) {
  CModelLock modelLock;
  CMixer* mixer = GetMixer();
  if (!mixer) return;
  const int id = ResolveAnimation(name, "ExecuteAction");
  if (id < 0) return;
  if (!mixer->executeAction(id, delayIn, delayOut, weight, lock)) return;
  COwnedName entry;
  entry = name;
  (lock ? m_lockedActions : m_actions).push_back(entry);
}

void CAnimator::EraseFirst(std::vector<COwnedName>& list, const CStringHash& name) {
  for (auto it = list.begin(); it != list.end(); ++it) {
    if (it->Get() == name) {
      list.erase(it);
      return;
    }
  }
}

// The list entry goes whatever the mixer says, so that clearing a list always ends.
void CAnimator::RemoveAction(const CStringHash& name, float fadeOut) {
  CModelLock modelLock;
  if (CMixer* mixer = GetMixer()) {
    const int id = ResolveAnimation(name, "RemoveAction");
    if (id >= 0) mixer->removeAction(id, fadeOut, false);
  }
  EraseFirst(m_actions, name);
}

void CAnimator::RemoveLockedAction(const CStringHash& name, float fadeOut, bool fadeBeyondEnd) {
  CModelLock modelLock;
  if (CMixer* mixer = GetMixer()) {
    const int id = ResolveAnimation(name, "RemoveLockedAction");
    if (id >= 0) mixer->removeAction(id, fadeOut, fadeBeyondEnd);
  }
  EraseFirst(m_lockedActions, name);
}

void CAnimator::ClearActions() {
  while (!m_actions.empty()) {
    const COwnedName first = m_actions.front();
    RemoveAction(first, 0.0f);
  }
}

void CAnimator::ClearLockedActions() {
  while (!m_lockedActions.empty()) {
    const COwnedName first = m_lockedActions.front();
    RemoveLockedAction(first, 0.0f, false);
  }
}

float CAnimator::GetAnimationDuration(const CStringHash& name) const {
  CModelLock modelLock;
  CalModel* model = GetModel();
  if (!model) return 0.0f;
  const int id = ResolveAnimation(name, "GetAnimationDuration");
  CalCoreAnimation* core = id >= 0 ? model->getCoreModel()->getCoreAnimation(id) : nullptr;
  return core ? core->getDuration() : 0.0f;
}

plat::Vec3 CAnimator::GetBoneTranslation(const std::string& bone) const {
  CalBone* b = FindBone(GetModel(), bone);
  return b ? ToVec3(b->getTranslationAbsolute()) : plat::Vec3();
}

plat::Vec4 CAnimator::GetBoneRotation(const std::string& bone) const {
  CalBone* b = FindBone(GetModel(), bone);
  return b ? ToQuaternion(b->getRotationAbsolute()) : plat::Vec4(0.0f, 0.0f, 0.0f, 1.0f);
}

void CAnimator::AddSampledBone(const char* bone) {
  if (!bone || !bone[0]) return;
  SSampledBone& entry = m_sampledBones[ComputeHash(bone)];
  entry.name = bone;
  entry.samples.reserve(kMaxSubSteps);
}

const std::vector<plat::Vec3>* CAnimator::GetBoneSamples(const char* bone) const {
  if (!bone) return nullptr;
  auto it = m_sampledBones.find(ComputeHash(bone));
  return it == m_sampledBones.end() ? nullptr : &it->second.samples;
}

void CAnimator::ExecuteAnimationAction(const char* name, float weight, float delayIn, float delayOut, bool lock) {
  if (!name || !name[0]) return;
  ExecuteAction(CStringHash(name), weight, delayIn, delayOut, lock);
}

}  // namespace anm
}  // namespace vd
