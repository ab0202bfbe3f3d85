#pragma once
// Where an object is: position, orientation (quaternion and yaw, pitch, roll),
// scale, and the world matrix with its inverse. It can also move its object in a
// straight line to a point and announce the arrival with "OnMovement".
#include <cstdint>
#include <string>

#include "engine/core/StringHash.h"
#include "engine/objects/Component.h"
#include "platform/math/Math.h"
#include "platform/math/Vector.h"

struct lua_State;

namespace vd {
namespace obj {
class CGameObject;
}

namespace gfx {

// Keys: "position" (X, Y, Z), "orientation" (X, Y, Z, W as the level tools write
// it: the inverse of the object's rotation), "scale" (X, Y, Z), "yaw" (value; the
// angles always follow the orientation at the end of Load).
class CTransform : public obj::CComponent<CTransform> {
public:
  static const CStringHash& GetClassName();

  CTransform();
  ~CTransform() override;
  CTransform& operator=(const CTransform& other) = default;

  const CStringHash& GetFamilyType() const override { return GetClassName(); }
  void Load(rapidxml::xml_node<>* element) override;
  bool HasContent() override { return true; }
  bool Update(float dt) override;
  bool Init() override { return true; }
  void Reset() override;
  void OnAfterRestore() override { changed = 1; }

  // Rebuilds the world matrix (scale × rotation × translation) and its inverse.
  void UpdateMatrix();
  // Each wraps the angle into [-pi, pi], rebuilds the orientation from the three
  // angles and the matrices, and returns the stored angle.
  float SetYaw(float angle);
  float SetPitch(float angle);
  float SetRoll(float angle);
  void SetPosition(const plat::Vec3& newPosition);
  // Lua's SetPosition: also marks the transform changed, for the parts that follow
  // the object.
  void SetPositionXYZ(float x, float y, float z);
  void Translate(const plat::Vec3& offset);
  // Turns by `fraction` of the shortest turn towards the point (the pitch too when
  // asked) or, for the yaw only, towards a direction.
  void TurnTowards(const plat::Vec3& point, float fraction, bool pitchToo);
  void TurnYawTowardsDirection(const plat::Vec3& direction, float fraction);

  void BeginLinearMovement(const char* name, float x, float y, float z, float speed);
  // Stops and posts "OnMovement" (type "linear", begin false), moving or not.
  void EndLinearMovement();

  float GetX() const { return position.x; }
  float GetY() const { return position.y; }
  float GetZ() const { return position.z; }
  bool IsMoving() const { return moving != 0; }

  // Into [-pi, pi]: fmod by 2 pi, then one turn back when beyond pi.
  static float WrapAngle(float angle);

  plat::Vec3 position;
  float yaw = 0.0f;
  float pitch = 0.0f;
  float roll = 0.0f;
  plat::Vec3 scale{1.0f, 1.0f, 1.0f};
  plat::Quat orientation;
  // Set when the object is placed from outside (scripts, teleports) and after a
  // checkpoint restore; cleared by whoever follows the object.
  uint8_t changed = 0;
  plat::Mat4 world;
  plat::Mat4 inverseWorld;
  uint8_t moving = 0;
  std::string movementName;
  plat::Vec3 target;
  float speed = 0.0f;
};

// The Lua class "CTransform".
void RegisterTransformBindings(lua_State* state);

// The world matrix of the object's transform; false (out untouched) without one.
// Fits the collision side's world-matrix hook.
bool GetObjectWorldMatrix(const obj::CGameObject* object, plat::Mat4& out);

}  // namespace gfx
}  // namespace vd
