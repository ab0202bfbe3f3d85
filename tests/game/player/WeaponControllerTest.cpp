// The weapon's hit volumes: placed midway between their bones through the owner's
// world matrix, switched into the collision world by set.
#include <BulletCollision/CollisionDispatch/btCollisionObject.h>
#include <BulletCollision/CollisionDispatch/btCollisionWorld.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/game/player/PlayerFixture.h"

namespace vd {
namespace {

using W = CWeaponController;

class Weapon : public test::PlayerFixture {
protected:
  bool InWorld(int part, int set) const {
    btCollisionObject* volume = weapon->GetVolume(part, set);
    return volume && volume->getBroadphaseHandle() != nullptr;
  }
  plat::Vec3 Centre(int part, int set) const {
    const btVector3& o = weapon->GetVolume(part, set)->getWorldTransform().getOrigin();
    return plat::Vec3(o.x(), o.y(), o.z());
  }
};

TEST_F(Weapon, VolumesSitMidwayBetweenTheirBonesInTheWorld) {
  Build(plat::Vec3(5, 0, 0), false);
  animator->BlendCycle(CStringHash("idle_combat_01"), 1.0f, 0.0f, 0.0f);
  animator->Update(0.1f);
  // The owner at (5, 0, 0) without rotation: the right volume's centre is the
  // owner's position plus the middle of Bone01 and Bone04.
  transform->SetYaw(0.0f);
  weapon->SetWeaponActive(true, W::kSetNormal);
  const plat::Vec3 a = animator->GetBoneTranslation("Bone01");
  const plat::Vec3 b = animator->GetBoneTranslation("Bone04");
  ASSERT_GT(plat::Length(a - b), 0.4f) << "two distinct bone positions";
  const plat::Vec3 expected = plat::Vec3(5, 0, 0) + (a + b) * 0.5f;
  const plat::Vec3 centre = Centre(W::kRight, W::kSetNormal);
  EXPECT_NEAR(centre.x, expected.x, 1e-4f);
  EXPECT_NEAR(centre.y, expected.y, 1e-4f);
  EXPECT_NEAR(centre.z, expected.z, 1e-4f);
  // Turned half round, the middle turns with the owner.
  transform->SetYaw(3.14159265f);
  weapon->Update(0.0f);
  const plat::Vec3 turned = Centre(W::kRight, W::kSetNormal);
  const plat::Vec3 m = (a + b) * 0.5f;
  EXPECT_NEAR(turned.x, 5.0f - m.x, 1e-4f);
  EXPECT_NEAR(turned.y, m.y, 1e-4f);
  EXPECT_NEAR(turned.z, -m.z, 1e-4f);
  // The foot volume follows the left calf and toe.
  const plat::Vec3 foot = (animator->GetBoneTranslation("Bip01 L Calf") +
                           animator->GetBoneTranslation("Bip01 L Toe0")) *
                          0.5f;
  EXPECT_NEAR(Centre(W::kFoot, W::kSetNormal).y, foot.y, 1e-4f);
}

// The blade's box lies along the blade: its long axis joins the two bones.
TEST_F(Weapon, TheBoxesLongAxisRunsAlongTheBlade) {
  Build(plat::Vec3(0, 0, 0), false);
  for (const char* anim : {"idle_combat_01", "X1"}) {
    SCOPED_TRACE(anim);
    animator->ExecuteAction(CStringHash(anim), 1.0f, 0.0f, 0.0f, false);
    animator->Update(0.2f);
    weapon->SetWeaponActive(true, W::kSetNormal);
    const plat::Vec3 blade = plat::Normalize(animator->GetBoneTranslation("Bone04") -
                                             animator->GetBoneTranslation("Bone01"));
    const btMatrix3x3& basis =
        weapon->GetVolume(W::kRight, W::kSetNormal)->getWorldTransform().getBasis();
    // The box's local y axis in the world (the owner faces yaw pi after restart).
    btVector3 y = basis.getColumn(1);
    plat::Vec3 world = plat::TransformNormal(blade, transform->world);
    EXPECT_GT(std::fabs(y.x() * world.x + y.y() * world.y + y.z() * world.z), 0.95f);
    weapon->SetWeaponActive(false, W::kSetNormal);
  }
}

TEST_F(Weapon, SetsGoInAndOutOfTheWorldByThemselves) {
  Build(plat::Vec3(0, 0, 0), false);
  for (int part = 0; part < 3; ++part) {
    EXPECT_FALSE(InWorld(part, 0));
    EXPECT_FALSE(InWorld(part, 1));
  }
  const int before = collision.GetWorld()->getNumCollisionObjects();
  weapon->SetWeaponActive(true, W::kSetNormal);
  weapon->SetWeaponActive(true, W::kSetNormal);
  EXPECT_EQ(collision.GetWorld()->getNumCollisionObjects(), before + 3) << "each volume once";
  for (int part = 0; part < 3; ++part) {
    EXPECT_TRUE(InWorld(part, 0));
    EXPECT_FALSE(InWorld(part, 1)) << "the big set is not touched";
  }
  weapon->SetWeaponActive(true, W::kSetBig);
  EXPECT_EQ(collision.GetWorld()->getNumCollisionObjects(), before + 6);
  // Disabling the component takes every volume out.
  weapon->SetEnabled(false, false);
  EXPECT_EQ(collision.GetWorld()->getNumCollisionObjects(), before);
  EXPECT_FALSE(weapon->IsActive(0));
  EXPECT_FALSE(weapon->IsActive(1));
}

TEST_F(Weapon, OnlyTheGivenExtentsMakeVolumes) {
  struct Case {
    const char* sizeKey;
    std::vector<int> volumes;  // parts of the normal set
    bool logged;
  };
  const Case cases[] = {
      {"<key name='size' Rx='0.2' Ry='0.8' Rz='0.2'/>", {W::kRight}, false},
      {"<key name='size' Lx='0.2' Ly='0.8' Lz='0.2' FootLx='1' FootLy='1' FootLz='1'/>",
       {W::kLeft, W::kFoot},
       false},
      {"<key name='size' Rx='0.2' Ry='0.8'/>", {}, true},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sizeKey);
    const std::string text =
        std::string("<Component><key name='collider_class' value='weapon_enemy'/>") + c.sizeKey +
        "</Component>";
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    rapidxml::xml_document<> doc;
    doc.parse<0>(buffer.data());
    obj::CGameObject object;
    object.SetName(("fighter_" + std::to_string(n++)).c_str());
    auto* w = new W();
    object.AddComponent(w);
    log.clear();
    w->Reset();
    w->Load(doc.first_node());
    ASSERT_TRUE(w->Init());
    for (int part = 0; part < 3; ++part) {
      bool want = false;
      for (int p : c.volumes) want = want || p == part;
      EXPECT_EQ(w->GetVolume(part, 0) != nullptr, want) << part;
      EXPECT_EQ(w->GetVolume(part, 1), nullptr);
    }
    EXPECT_EQ(Logged("Ry"), c.logged) << Joined();
    // A set without volumes only keeps its flag.
    w->SetWeaponActive(true, 1);
    EXPECT_TRUE(w->IsActive(1));
    object.Release();
  }
}

}  // namespace
}  // namespace vd
