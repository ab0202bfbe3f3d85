#pragma once
// A fighter's hit volumes: boxes in the collision world that follow the right
// hand, the left hand and the left foot while an attack is under way. Each sits
// midway between two bones and turns with the first of them. They come in two
// sets of three, the normal set (0) and the big set (1); attack code switches a
// whole set into the world at the start of a hit window and out at its end.
#include <cstdint>
#include <string>

#include "engine/animation/Animator.h"
#include "engine/core/FactoryMaker.h"
#include "engine/core/StringHash.h"
#include "engine/objects/Component.h"
#include "platform/math/Vector.h"

class btCollisionObject;

namespace vd {
namespace gfx {
class CTransform;
}
namespace obj {
class IComponent;
}

// Keys: "collider_class" (value); "bones" (boneR1, boneR2, boneL1, boneL2,
// boneFootL1, boneFootL2); "size" and "size_big" (Rx Ry Rz, Lx Ly Lz, FootLx
// FootLy FootLz: full extents; a volume exists when its x attribute is there).
class CWeaponController : public obj::CComponent<CWeaponController> {
public:
  enum ESet : int { kSetNormal = 0, kSetBig = 1, kSetCount = 2 };
  enum EPart : int { kRight = 0, kLeft = 1, kFoot = 2, kPartCount = 3 };
  static constexpr int kVolumeCount = kSetCount * kPartCount;
  // Filter of the volumes: they touch character bodies, walls and floors.
  static constexpr int kVolumeGroup = 512;
  static constexpr int kVolumeMask = 224;

  static const CStringHash& GetClassName();
  // Index of a volume in the arrays: right normal, right big, left normal, left
  // big, foot normal, foot big.
  static constexpr int VolumeIndex(int part, int set) { return part * kSetCount + set; }

  CWeaponController() = default;
  ~CWeaponController() override;
  // Every field, the volume pointers included: the checkpoint copy and the
  // restored component name the same volumes.
  CWeaponController& operator=(const CWeaponController& other) = default;

  void Load(rapidxml::xml_node<>* element) override;
  bool HasContent() override { return true; }
  // Whatever the flag, both sets go out of the world.
  void SetEnabled(bool enabled, bool fromCheckPoint) override;
  // Places the volumes of every active set; dt is not used.
  bool Update(float dt) override;
  void OnAfterRestore() override;
  // Finds the siblings and makes the configured volumes.
  bool Init() override;
  // Removes the volumes and forgets the siblings.
  void Reset() override;

  // Puts the set's volumes into the world or takes them out, then places them.
  void SetWeaponActive(bool on, int set);
  bool IsActive(int set) const { return set >= 0 && set < kSetCount && active[set] != 0; }

  btCollisionObject* GetVolume(int part, int set) const { return volumes[VolumeIndex(part, set)]; }
  const std::string& GetBoneName(int index) const { return boneNames[index]; }
  bool HasVolume(int part, int set) const { return hasVolume[VolumeIndex(part, set)] != 0; }
  const plat::Vec3& GetSize(int part, int set) const { return sizes[VolumeIndex(part, set)]; }
  const CStringHash& GetCollisionClass() const { return collisionClass; }

  uint8_t active[kSetCount] = {};
  gfx::CTransform* transform = nullptr;
  obj::IComponent* renderer = nullptr;
  anm::CAnimator* animator = nullptr;
  uint8_t hasVolume[kVolumeCount] = {};
  plat::Vec3 sizes[kVolumeCount];
  // boneR1, boneR2, boneL1, boneL2, boneFootL1, boneFootL2.
  std::string boneNames[kPartCount * 2];
  anm::COwnedName collisionClass;
  btCollisionObject* volumes[kVolumeCount] = {};

private:
  void ReadSizes(const rapidxml::xml_node<>* node, int set);
  void PlaceVolume(int part, int set);
};

}  // namespace vd
