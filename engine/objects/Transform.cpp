#include "engine/objects/Transform.h"

#include <cmath>
#include <initializer_list>

#include <luabind/luabind.hpp>

#include "engine/core/EngineNames.h"
#include "engine/core/Log.h"
#include "engine/core/Utils.h"
#include "engine/events/EngineEvents.h"
#include "engine/events/EventManager.h"
#include "engine/objects/ComponentKeys.h"
#include "engine/objects/GameObject.h"

namespace vd {
namespace gfx {

namespace {
// Single precision, as the angles are stored.
constexpr float kWrapPi = 3.1415927f;
constexpr float kWrapTwoPi = 6.2831855f;
}  // namespace

const CStringHash& CTransform::GetClassName() { return SH_CTransform; }

CTransform::CTransform() { Reset(); }

CTransform::~CTransform() {
  if (!IsCheckPointCopy()) Reset();
}

float CTransform::WrapAngle(float angle) {
  float a = std::fmod(angle, kWrapTwoPi);
  if (a > kWrapPi) {
    a -= kWrapTwoPi;
  } else if (a < -kWrapPi) {
    a += kWrapTwoPi;
  }
  return a;
}

void CTransform::Reset() {
  position = plat::Vec3();
  yaw = pitch = roll = 0.0f;
  orientation = plat::Quat();
  scale = plat::Vec3(1.0f, 1.0f, 1.0f);
  changed = 0;
  world = plat::Mat4();
  inverseWorld = plat::Mat4();
  moving = 0;
  movementName.clear();
  target = plat::Vec3();
  speed = 0.0f;
}

void CTransform::Load(rapidxml::xml_node<>* element) {
  bool orientationRead = false;
  // A NaN or an infinity would spread through the world matrix into everything
  // placed from it: such a key is refused and the template's value kept.
  auto finite = [this](const char* key, std::initializer_list<float> values) {
    for (float v : values) {
      if (std::isfinite(v)) continue;
      const obj::CGameObject* owner = GetOwner();
      utl::LogPrintf("Transform of %s: %s is not a finite value, it keeps its previous one\n",
                     owner ? owner->GetNameText() : "", key);
      return false;
    }
    return true;
  };
  obj::ForEachKey(element, [&](const obj::CKey& key) {
    const uint32_t name = key.NameHash();
    if (name == SH_position.GetHash()) {
      const plat::Vec3 v = key.Vector3();
      if (finite("position", {v.x, v.y, v.z})) position = v;
    } else if (name == SH_orientation.GetHash()) {
      const plat::Vec4 q = key.Vector4();
      if (finite("orientation", {q.x, q.y, q.z, q.w})) {
        orientation = plat::Quat(q.x, q.y, q.z, q.w);
        orientationRead = true;
      }
    } else if (name == SH_scale.GetHash()) {
      const plat::Vec3 v = key.Vector3();
      if (finite("scale", {v.x, v.y, v.z})) scale = v;
    } else if (name == SH_yaw.GetHash()) {
      const float v = key.Float();
      if (finite("yaw", {v})) yaw = v;
    }
  });
  // The tools write the inverse rotation: turn it back through the transposed
  // rotation matrix. Only a quaternion read here: an instance that does not give
  // one keeps its template's, already turned.
  if (orientationRead) {
    orientation = plat::QuatRotationMatrix(plat::Transpose(plat::RotationQuaternion(orientation)));
  }
  const float x = orientation.x, y = orientation.y, z = orientation.z, w = orientation.w;
  yaw = std::atan2(w * y + z * x, 0.5f - x * x - y * y);
  const float sine = -2.0f * (z * y - w * x);
  pitch = std::asin(sine > 1.0f ? 1.0f : (sine < -1.0f ? -1.0f : sine));
  roll = std::atan2(y * x + w * z, 0.5f - x * x - z * z);
  UpdateMatrix();
}

void CTransform::UpdateMatrix() {
  plat::Mat4 m = plat::Scaling(scale.x, scale.y, scale.z) * plat::RotationQuaternion(orientation);
  m.m[3][0] = position.x;
  m.m[3][1] = position.y;
  m.m[3][2] = position.z;
  m.m[3][3] = 1.0f;
  world = m;
  // A singular world (a scale of 0) keeps the last inverse.
  plat::Inverse(world, inverseWorld);
}

float CTransform::SetYaw(float angle) {
  yaw = WrapAngle(angle);
  orientation = plat::QuatRotationYawPitchRoll(yaw, pitch, roll);
  UpdateMatrix();
  return yaw;
}

float CTransform::SetPitch(float angle) {
  pitch = WrapAngle(angle);
  orientation = plat::QuatRotationYawPitchRoll(yaw, pitch, roll);
  UpdateMatrix();
  return pitch;
}

float CTransform::SetRoll(float angle) {
  roll = WrapAngle(angle);
  orientation = plat::QuatRotationYawPitchRoll(yaw, pitch, roll);
  UpdateMatrix();
  return roll;
}

void CTransform::SetPosition(const plat::Vec3& newPosition) {
  position = newPosition;
  UpdateMatrix();
}

void CTransform::SetPositionXYZ(float x, float y, float z) {
  position = plat::Vec3(x, y, z);
  changed = 1;
  UpdateMatrix();
}

void CTransform::Translate(const plat::Vec3& offset) {
  position = position + offset;
  UpdateMatrix();
}

void CTransform::TurnTowards(const plat::Vec3& point, float fraction, bool pitchToo) {
  float targetYaw = 0.0f, targetPitch = 0.0f;
  utl::DirectionToYawPitch(point - position, targetYaw, targetPitch);
  SetYaw(yaw + utl::AngleDifference(yaw, targetYaw) * fraction);
  if (pitchToo) SetPitch(pitch + utl::AngleDifference(pitch, targetPitch) * fraction);
}

void CTransform::TurnYawTowardsDirection(const plat::Vec3& direction, float fraction) {
  const float targetYaw = std::atan2(direction.x, direction.z);
  SetYaw(yaw + utl::AngleDifference(yaw, targetYaw) * fraction);
}

void CTransform::BeginLinearMovement(const char* name, float x, float y, float z, float speedValue) {
  moving = 1;
  movementName = name ? name : "";
  target = plat::Vec3(x, y, z);
  speed = speedValue;
}

void CTransform::EndLinearMovement() {
  moving = 0;
  evn::CEventMovement* event = evn::CEventMovement::New();
  if (!event) return;
  // The event is delivered next frame, after this object may have been destroyed
  // or have begun another movement: it keeps its own texts.
  obj::CGameObject* owner = GetOwner();
  event->gameObject.Copy(owner ? owner->GetNameText() : "");
  event->name.Copy(movementName.c_str());
  event->type.Copy("linear");
  event->begin = false;
  if (evn::CEventManager* events = evn::CEventManager::GetInstance()) {
    events->PostEvent(event);
  } else {
    event->Release();
  }
}

bool CTransform::Update(float dt) {
  if (!moving) return true;
  const plat::Vec3 toTarget = target - position;
  const float step = speed * dt;
  if (plat::Length(toTarget) > step) {
    position = position + plat::Normalize(toTarget) * step;
    UpdateMatrix();
  } else {
    position = target;
    EndLinearMovement();
    UpdateMatrix();
  }
  return true;
}

void RegisterTransformBindings(lua_State* state) {
  if (!state) return;
  luabind::module(state)[luabind::class_<CTransform>("CTransform")
                             .def("GetX", &CTransform::GetX)
                             .def("GetY", &CTransform::GetY)
                             .def("GetZ", &CTransform::GetZ)
                             .def("SetPosition", &CTransform::SetPositionXYZ)
                             .def("SetYaw", &CTransform::SetYaw)
                             .def("BeginLinearMovement", &CTransform::BeginLinearMovement)
                             .def("EndLinearMovement", &CTransform::EndLinearMovement)];
}

bool GetObjectWorldMatrix(const obj::CGameObject* object, plat::Mat4& out) {
  const CTransform* transform = object ? object->GetComponent<CTransform>() : nullptr;
  if (!transform) return false;
  out = transform->world;
  return true;
}

}  // namespace gfx
}  // namespace vd
