#pragma once
// The component that gives a game object a skeletal model: it makes the object's
// model instance from an animation template, plays looping cycles and one-shot
// actions on it by hashed animation names, advances it every frame (in sub-steps
// with bone sampling when asked to) and moves the object by the root motion of
// its actions.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "engine/core/StringHash.h"
#include "engine/objects/Component.h"
#include "platform/math/Vector.h"

class CalCoreMesh;
class CalModel;

namespace vd {
namespace gfx {
class CTransform;
class CRenderManager;
}
namespace anm {

class CMixer;
class CAnimator;

// Where root motion goes when the object has a character collider: the sibling
// "CCharacterCollider" implements it and moves the object during its collision
// step, so that walls and floors stop it. Without one the animator moves the
// sibling "CTransform" itself.
class IRootMotionTarget {
public:
  virtual ~IRootMotionTarget() = default;
  // A world-space displacement for the next collision step.
  virtual void AddDisplacement(const plat::Vec3& displacement) = 0;
};

// What the render side does once the animator has attached its mesh: make the
// skinned mesh of the core mesh under the mesh name and let the sibling renderer
// rebuild its render record. Set by the application; nothing happens while unset.
using MeshAttachedHook = void (*)(CAnimator& animator, CalCoreMesh* coreMesh, const CStringHash& meshName);
void SetMeshAttachedHook(MeshAttachedHook hook);
// The skinned vertex buffer of an attached mesh, made by the render manager under
// the mesh's name (once per name). Vertex type from the template's mesh entry: 14
// with tangents (meshTypeId 14, or computeTangentSpace), 13 otherwise. False, with
// a log line, when the render side refuses the mesh.
bool MakeSkinnedMesh(const CAnimator& animator, CalCoreMesh* coreMesh, const CStringHash& meshName,
                     gfx::CRenderManager& render);

// A name whose text is always its own, also in copies (the checkpoint copy and the
// copies made from templates outlive the XML that the names came from).
class COwnedName {
public:
  COwnedName() = default;
  COwnedName(const char* text) { Set(text); }  // NOLINT: names convert from texts
  COwnedName(const COwnedName& other) : m_name(other.m_name) {}
  COwnedName& operator=(const COwnedName& other) {
    m_name = other.m_name;
    m_name.MakeOwned();
    return *this;
  }
  COwnedName& operator=(const CStringHash& other) {
    m_name = other;
    m_name.MakeOwned();
    return *this;
  }
  void Set(const char* text) {
    m_name = text;
    m_name.MakeOwned();
  }
  const CStringHash& Get() const { return m_name; }
  operator const CStringHash&() const { return m_name; }  // NOLINT
  bool IsNoName() const { return m_name.IsNoName(); }

private:
  CStringHash m_name;
};

class CAnimator : public obj::CComponent<CAnimator> {
public:
  static constexpr float kDefaultSubStepTime = 1.0f / 60.0f;
  static constexpr int kMaxSubSteps = 10;

  static const CStringHash& GetClassName();

  CAnimator();
  ~CAnimator() override;
  CAnimator(const CAnimator& other) = delete;
  CAnimator& operator=(const CAnimator& other) = default;

  // --- Component --------------------------------------------------------------
  // Keys "animation" (template id), "animation_instance_name", "mesh" and
  // "static" (an integer; non-zero: no root motion).
  void Load(rapidxml::xml_node<>* element) override;
  bool HasContent() override { return true; }
  const CStringHash& GetFamilyType() const override { return GetClassName(); }
  bool Update(float dt) override;
  // Only with reset-on-checkpoint: stops what plays and leaves the checkpoint copy
  // with nothing playing, so that the restored animator starts from rest.
  void OnBeforeRestore() override;
  bool BeginOverride() override { return true; }
  // Finds the siblings, makes the model instance and attaches the mesh (when a
  // mesh is named).
  bool Init() override;
  // Destroys the model instance and goes back to the factory's state.
  void Reset() override;

  // --- Mixer ------------------------------------------------------------------
  // Each resolves the name through the instance's template. Without a model they
  // do nothing; an unknown name is logged and does nothing.
  // The cycle's id; the cycle already playing is left as it is. The previous
  // cycle is cleared over clearDelay.
  int BlendCycle(const CStringHash& name, float weight, float delay, float clearDelay);
  // Only the current cycle is cleared. Returns the name's id.
  int ClearCycle(const CStringHash& name, float delay);
  void ExecuteAction(const CStringHash& name, float weight, float delayIn, float delayOut, bool lock);
  void RemoveAction(const CStringHash& name, float fadeOut);
  void RemoveLockedAction(const CStringHash& name, float fadeOut, bool fadeBeyondEnd);
  void ClearActions();
  void ClearLockedActions();
  // Seconds; 0 for an unknown name.
  float GetAnimationDuration(const CStringHash& name) const;
  // The bone's absolute translation in the model; (0, 0, 0) for a bone the
  // skeleton lacks.
  plat::Vec3 GetBoneTranslation(const std::string& bone) const;
  void GetBoneTranslation(plat::Vec3& out, const char* bone) const { out = GetBoneTranslation(std::string(bone ? bone : "")); }
  // The bone's absolute rotation (x, y, z, w) in our convention; identity for a
  // bone the skeleton lacks.
  plat::Vec4 GetBoneRotation(const std::string& bone) const;

  // Sub-stepped updates record the bone's translation after each step.
  void AddSampledBone(const char* bone);
  // The positions recorded during the last update; null for bones not sampled.
  const std::vector<plat::Vec3>* GetBoneSamples(const char* bone) const;

  // --- Script methods (the Lua class "CAnimator") --------------------------------
  // An empty or missing name does nothing.
  void ExecuteAnimationAction(const char* name, float weight, float delayIn, float delayOut, bool lock);
  void ResetOnCheckPoint(bool reset) { resetOnCheckPoint = reset ? 1 : 0; }
  void SetStatic(bool value) { isStatic = value ? 1 : 0; }

  // --- Access -------------------------------------------------------------------
  CalModel* GetModel() const;
  CMixer* GetMixer() const;
  const CStringHash& GetTemplateId() const { return m_templateId; }
  const CStringHash& GetInstanceName() const { return m_instanceName; }
  const CStringHash& GetMeshName() const { return m_meshName; }
  int GetCurrentCycleId() const { return m_currentCycleId; }
  const CStringHash& GetCurrentCycleName() const { return m_currentCycleName; }
  const std::vector<COwnedName>& GetActions() const { return m_actions; }
  const std::vector<COwnedName>& GetLockedActions() const { return m_lockedActions; }
  // The siblings that Init found; the setters override them. Root motion is
  // measured along the transform's axes: without a transform it is extracted from
  // the pose but moves nothing.
  void SetTransform(gfx::CTransform* transform) { m_transform = transform; }
  gfx::CTransform* GetTransform() const { return m_transform; }
  void SetRootMotionTarget(IRootMotionTarget* target) { m_rootMotionTarget = target; }
  IRootMotionTarget* GetRootMotionTarget() const { return m_rootMotionTarget; }
  // How many model updates the last Update ran (sub-steps plus the rest).
  int GetLastUpdateCount() const { return m_lastUpdateCount; }

  // Fields that callers set directly.
  uint8_t isStatic = 1;            // no root motion is extracted or applied
  uint8_t paused = 0;              // Update returns at once
  uint8_t subStepping = 0;         // sub-stepped updates with bone sampling
  float subStepTime = kDefaultSubStepTime;
  uint8_t resetOnCheckPoint = 1;

private:
  struct SSampledBone {
    std::string name;
    std::vector<plat::Vec3> samples;
  };

  // The id of the name in the instance's template, or -1 (logged when the model
  // exists but the name is unknown).
  int ResolveAnimation(const CStringHash& name, const char* operation) const;
  // One model update of h seconds; adds the step's root motion to sum.
  void UpdateModel(CalModel* model, CMixer* mixer, float h, bool sample, plat::Vec3& sum);
  static void EraseFirst(std::vector<COwnedName>& list, const CStringHash& name);

  gfx::CTransform* m_transform = nullptr;
  IRootMotionTarget* m_rootMotionTarget = nullptr;
  COwnedName m_templateId;
  COwnedName m_instanceName;
  COwnedName m_meshName;
  int m_currentCycleId = -1;
  COwnedName m_currentCycleName;
  std::vector<COwnedName> m_actions;
  std::vector<COwnedName> m_lockedActions;
  std::map<uint32_t, SSampledBone> m_sampledBones;
  int m_lastUpdateCount = 0;
  // Whether Init made the model. Never taken over by a copy: copies from templates
  // and checkpoint restores keep the receiver's own.
  struct SOwnsInstance {
    bool value = false;
    SOwnsInstance() = default;
    SOwnsInstance(const SOwnsInstance&) {}
    SOwnsInstance& operator=(const SOwnsInstance&) { return *this; }
  } m_ownsInstance;
};

}  // namespace anm
}  // namespace vd
