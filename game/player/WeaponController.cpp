#include "game/player/WeaponController.h"

#include <btBulletCollisionCommon.h>

#include <string>

#include "engine/animation/Animator.h"
#include "engine/collision/CollisionManager.h"
#include "engine/core/EngineNames.h"
#include "engine/core/Log.h"
#include "engine/objects/ComponentKeys.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/Transform.h"

namespace vd {

namespace {

constexpr uint32_t kColliderClassKey = ComputeHash("collider_class");
constexpr uint32_t kBonesKey = ComputeHash("bones");
constexpr uint32_t kSizeKey = ComputeHash("size");
constexpr uint32_t kSizeBigKey = ComputeHash("size_big");

const char* const kBoneAttributes[CWeaponController::kPartCount * 2] = {
    "boneR1", "boneR2", "boneL1", "boneL2", "boneFootL1", "boneFootL2"};
// The attribute prefix of each part's extents: "Rx", "Lx", "FootLx"...
const char* const kSizePrefixes[CWeaponController::kPartCount] = {"R", "L", "FootL"};

bool HasAttribute(const rapidxml::xml_node<>* node, const std::string& name) {
  return node && node->first_attribute(name.c_str()) != nullptr;
}

}  // namespace

const CStringHash& CWeaponController::GetClassName() {
  static const CStringHash name("CWeaponController");
  return name;
}

CWeaponController::~CWeaponController() {
  if (!IsCheckPointCopy()) Reset();
}

void CWeaponController::ReadSizes(const rapidxml::xml_node<>* node, int set) {
  const obj::CKey key(node);
  for (int part = 0; part < kPartCount; ++part) {
    const std::string prefix = kSizePrefixes[part];
    if (!HasAttribute(node, prefix + "x")) continue;
    const int index = VolumeIndex(part, set);
    // A box with an extent nobody gave would be flat and hit nothing: refuse it
    // rather than guess the missing extent.
    if (!HasAttribute(node, prefix + "y") || !HasAttribute(node, prefix + "z")) {
      utl::LogPrintf("CWeaponController: key %s gives %sx without %sy and %sz; no volume\n",
                     key.Name(), prefix.c_str(), prefix.c_str(), prefix.c_str());
      hasVolume[index] = 0;
      continue;
    }
    hasVolume[index] = 1;
    sizes[index] = plat::Vec3(key.Float((prefix + "x").c_str()), key.Float((prefix + "y").c_str()),
                              key.Float((prefix + "z").c_str()));
  }
}

void CWeaponController::Load(rapidxml::xml_node<>* element) {
  obj::ForEachKey(element, [this](const obj::CKey& key) {
    const uint32_t name = key.NameHash();
    if (name == kColliderClassKey) {
      collisionClass.Set(key.Text());
    } else if (name == kBonesKey) {
      for (int i = 0; i < kPartCount * 2; ++i) {
        if (HasAttribute(key.Node(), kBoneAttributes[i]))
          boneNames[i] = key.Attribute(kBoneAttributes[i]);
      }
    } else if (name == kSizeKey) {
      ReadSizes(key.Node(), kSetNormal);
    } else if (name == kSizeBigKey) {
      ReadSizes(key.Node(), kSetBig);
    }
  });
}

bool CWeaponController::Init() {
  obj::CGameObject* owner = GetOwner();
  if (!owner) return true;
  transform = owner->GetComponent<gfx::CTransform>();
  renderer = owner->GetComponent(SH_CRenderer);
  animator = owner->GetComponent<anm::CAnimator>();
  phy::CCollisionManager* manager = phy::CCollisionManager::GetInstance();
  if (!manager) return true;
  const std::string name = std::string("weapon_") + owner->GetNameText();
  for (int set = 0; set < kSetCount; ++set) {
    for (int part = 0; part < kPartCount; ++part) {
      const int index = VolumeIndex(part, set);
      if (!hasVolume[index] || volumes[index]) continue;
      volumes[index] = manager->CreateBoxObject(sizes[index], owner, collisionClass, name.c_str(),
                                                kVolumeGroup, kVolumeMask, active[set] != 0,
                                                phy::kKindSolid, plat::Vec4(1, 1, 1, 0));
    }
  }
  return true;
}

void CWeaponController::Reset() {
  transform = nullptr;
  renderer = nullptr;
  animator = nullptr;
  for (uint8_t& flag : active) flag = 0;
  for (uint8_t& flag : hasVolume) flag = 0;
  phy::CCollisionManager* manager = phy::CCollisionManager::GetInstance();
  for (btCollisionObject*& volume : volumes) {
    if (!volume) continue;
    if (manager) {
      manager->RemoveObject(volume);
    } else {
      // The world went first and took the objects' registrations with it: only
      // the object and what it carries are left to free.
      delete static_cast<phy::SCollisionUserData*>(volume->getUserPointer());
      delete volume->getCollisionShape();
      delete volume;
    }
    volume = nullptr;
  }
}

void CWeaponController::SetWeaponActive(bool on, int set) {
  if (set < 0 || set >= kSetCount) return;
  active[set] = on ? 1 : 0;
  phy::CCollisionManager* manager = phy::CCollisionManager::GetInstance();
  for (int part = 0; part < kPartCount; ++part) {
    btCollisionObject* volume = volumes[VolumeIndex(part, set)];
    if (!volume) continue;
    auto* record = static_cast<phy::SCollisionUserData*>(volume->getUserPointer());
    if (!record || record->enabled == active[set]) continue;
    record->enabled = active[set];
    if (!manager) continue;
    if (on) {
      manager->AddToWorld(volume, record->group, record->mask);
    } else {
      manager->RemoveFromWorld(volume);
    }
  }
  Update(0.0f);
}

void CWeaponController::SetEnabled(bool enabled, bool fromCheckPoint) {
  (void)fromCheckPoint;
  m_enabled = enabled ? 1 : 0;
  SetWeaponActive(false, kSetNormal);
  SetWeaponActive(false, kSetBig);
}

void CWeaponController::OnAfterRestore() {
  SetWeaponActive(false, kSetNormal);
  SetWeaponActive(false, kSetBig);
}

void CWeaponController::PlaceVolume(int part, int set) {
  btCollisionObject* volume = volumes[VolumeIndex(part, set)];
  if (!volume) return;
  const std::string& first = boneNames[part * 2];
  const std::string& second = boneNames[part * 2 + 1];
  plat::Vec3 middle;
  plat::Vec4 rotation(0.0f, 0.0f, 0.0f, 1.0f);
  if (animator) {
    middle = (animator->GetBoneTranslation(first) + animator->GetBoneTranslation(second)) * 0.5f;
    rotation = animator->GetBoneRotation(first);
  }
  btTransform local;
  local.setBasis(btMatrix3x3(btQuaternion(rotation.x, rotation.y, rotation.z, rotation.w)));
  local.setOrigin(btVector3(middle.x, middle.y, middle.z));
  btTransform owner = btTransform::getIdentity();
  if (transform) phy::MatrixToTransform(transform->world, owner);
  volume->setWorldTransform(owner * local);
}

bool CWeaponController::Update(float dt) {
  (void)dt;
  for (int set = 0; set < kSetCount; ++set) {
    if (!active[set]) continue;
    for (int part = 0; part < kPartCount; ++part) {
      if (hasVolume[VolumeIndex(part, set)]) PlaceVolume(part, set);
    }
  }
  return true;
}

}  // namespace vd
