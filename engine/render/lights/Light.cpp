#include "engine/render/lights/Light.h"

#include <algorithm>
#include <cmath>

#include "engine/core/Locks.h"
#include "engine/core/Log.h"
#include "engine/objects/ComponentKeys.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/Transform.h"
#include "engine/render/device/RenderTarget.h"
#include "engine/render/device/ShadowGeometry.h"
#include "engine/script/ScriptManager.h"

namespace vd {
namespace lig {

namespace {
CStringHash s_className("CLight");
constexpr float kPi = 3.14159265f;

float Clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

const char* OwnerName(const obj::CGameObject* owner) { return owner ? owner->GetNameText() : "?"; }
}  // namespace

const CStringHash& CLight::GetClassName() { return s_className; }

CLight::~CLight() {
  if (!IsCheckPointCopy()) {
    if (registered) {
      registered = 0;
      UnregisterFromManager();
    }
  }
  Clear();
}

CLight& CLight::operator=(const CLight& other) {
  if (this == &other) return *this;
  CAbstractLight::operator=(other);
  lightId.MakeOwned();
  basePosition = other.basePosition;
  baseAttenuation = other.baseAttenuation;
  baseColour = other.baseColour;
  flickerTime = other.flickerTime;
  firstUpdate = other.firstUpdate;
  return *this;
}

void CLight::Load(rapidxml::xml_node<>* element) {
  obj::ForEachKey(element, [this](const obj::CKey& key) {
    const uint32_t name = key.NameHash();
    if (name == ComputeHash("light_id")) {
      lightId = key.Text();
      lightId.MakeOwned();
    } else if (name == ComputeHash("light_type")) {
      switch (key.Int()) {
        case 1:
          type = kLightPoint;
          break;
        case 2:
          type = kLightSpot;
          break;
        case 3:
          type = kLightSun;
          break;
        default:
          break;
      }
    } else if (name == ComputeHash("behaviour")) {
      const int value = key.Int();
      behaviour = value == 1 || value == 2 ? uint32_t(value) : 0u;
    } else if (name == ComputeHash("zmap_res")) {
      zmapResolution = key.Float();
    } else if (name == ComputeHash("light_color")) {
      colour = plat::Vec3(key.Float("R"), key.Float("G"), key.Float("B"));
    } else if (name == ComputeHash("light_att_eq_params")) {
      attenuation = key.Vector3();
    } else if (name == ComputeHash("map_zone_id")) {
      lgc::CScriptManager* scripts = lgc::CScriptManager::GetInstance();
      if (!scripts) {
        utl::LogPrintf("Light of %s: no script state to read zone %s\n", OwnerName(GetOwner()),
                       key.Text());
        return;
      }
      int zone = 0;
      {
        sys::CScopedLock lock(sys::kLockLua);
        zone = scripts->GetGlobalInt(key.Text());
      }
      zoneMask |= 1u << (static_cast<uint32_t>(zone) % 32u);
    } else if (name == ComputeHash("light_spot_exponent")) {
      spotExponent = key.Float();
    } else if (name == ComputeHash("target")) {
      target = key.Vector3();
    } else if (name == ComputeHash("pssm")) {
      splitTableSize = 6;
      const int splits = key.Int("num_splits");
      numSplits = splits > 0 ? uint32_t(splits) : 0u;
      pssmAttenuation = Clamp01(key.Float("attenuation"));
      alphaScheme = Clamp01(key.Float("alpha_scheme"));
    } else if (name == ComputeHash("fov")) {
      fov = key.Float();
    } else if (name == ComputeHash("near")) {
      nearPlane = key.Float();
    } else if (name == ComputeHash("far")) {
      farPlane = key.Float();
    } else if (name == ComputeHash("fire_shake")) {
      if (key.Int() == 1) fireShake = 1;
    }
  });
}

gfx::CTransform* CLight::GetTransform() const {
  return GetOwner() ? GetOwner()->GetComponent<gfx::CTransform>() : nullptr;
}

plat::Vec3 CLight::GetPosition() const {
  const gfx::CTransform* transform = GetTransform();
  return transform ? transform->position : plat::Vec3(0.0f, 0.0f, 0.0f);
}

bool CLight::Init() {
  const plat::Vec3 position = GetPosition();
  if (type == kLightSpot) {
    const plat::Vec3 d = target - position;
    // A target on the light itself gives no direction: keep looking down.
    direction = plat::Length(d) > 1e-6f ? plat::Normalize(d) : plat::Vec3(0.0f, -1.0f, 0.0f);
    if (behaviour == kBehaviourShadows && !shadowTarget) shadowTarget = new gfx::CRenderTarget();
  } else if (type == kLightPoint && behaviour == kBehaviourShadows && !cubeShadowTarget) {
    cubeShadowTarget = new gfx::CCubeRenderTarget();
  }
  RegisterWithManager();
  if (behaviour == kBehaviourShadows) {
    if (type == kLightPoint) {
      fov = 90.0f;
      fovRadians = kPi / 2.0f;
      projection = plat::PerspectiveFovRH(fovRadians, aspect, nearPlane, farPlane);
      gfx::ComputeCubeViewMatrices(position, cubeViews);
    } else {
      fovRadians = fov * kPi / 180.0f;
      projection = plat::PerspectiveFovRH(fovRadians, aspect, nearPlane, farPlane);
      view = plat::LookAtRH(position, target, up);
    }
  }
  return true;
}

void CLight::SetTarget(const plat::Vec3& newTarget) {
  target = newTarget;
  view = plat::LookAtRH(GetPosition(), target, up);
}

void CLight::RegisterWithManager() {
  if (registered) return;
  if (!lightManager) lightManager = CLightManager::GetInstance();
  if (!lightManager) {
    utl::LogPrintf("Light %s of %s: no light manager\n", lightId.c_str(), OwnerName(GetOwner()));
    return;
  }
  // A light refused for a taken id stays unregistered, so that its going does not
  // take the first light's entry with it.
  registered = lightManager->RegisterLight(lightId.c_str(), this) ? 1 : 0;
}

void CLight::UnregisterFromManager() {
  if (!lightManager) lightManager = CLightManager::GetInstance();
  if (lightManager) lightManager->UnregisterLight(lightId.c_str());
}

void CLight::Reset() {
  if (registered) {
    registered = 0;
    UnregisterFromManager();
    Clear();
  }
}

void CLight::Clear() {
  lightId = "";
  lightId.MakeOwned();
  if (!IsCheckPointCopy()) {
    delete shadowTarget;
    delete cubeShadowTarget;
  }
  shadowTarget = nullptr;
  cubeShadowTarget = nullptr;
  target = plat::Vec3(0.0f, 0.0f, 0.0f);
  type = kLightSun;
  behaviour = 0;
  numSplits = 0;
  zoneMask = 0;
  colour = plat::Vec3(1.0f, 1.0f, 1.0f);
  fireShake = 0;
  lightManager = nullptr;
  splitTableSize = 1;
  pssmAttenuation = 0.5f;
  alphaScheme = 1.0f;
  attenuation = plat::Vec3(0.0f, 0.0f, 1.0f);
  spotExponent = 8.0f;
  direction = plat::Vec3(0.0f, -1.0f, 0.0f);
  zmapResolution = 64.0f;
}

void CLight::CopyFrom(const obj::IComponent& source) {
  if (source.GetType() != GetType() || &source == this) return;
  gfx::CRenderTarget* ownTarget = shadowTarget;
  gfx::CCubeRenderTarget* ownCube = cubeShadowTarget;
  const uint8_t ownRegistered = registered;
  CLightManager* ownManager = lightManager;
  obj::CComponent<CLight, CAbstractLight>::CopyFrom(source);
  shadowTarget = ownTarget;
  cubeShadowTarget = ownCube;
  registered = ownRegistered;
  lightManager = ownManager;
}

void CLight::OnBeforeRestore() {
  m_own.shadowTarget = shadowTarget;
  m_own.cubeShadowTarget = cubeShadowTarget;
  m_own.registered = registered;
  m_own.lightManager = lightManager;
}

void CLight::OnAfterRestore() {
  // The copy's targets may have been deleted since it was taken, and it was taken
  // when the light may have been (un)registered otherwise than it is now.
  shadowTarget = m_own.shadowTarget;
  cubeShadowTarget = m_own.cubeShadowTarget;
  registered = m_own.registered;
  lightManager = m_own.lightManager;
  m_own = SOwn();
  lightId.MakeOwned();
}

bool CLight::Update(float dt) {
  const CLightManager* manager = lightManager ? lightManager : CLightManager::GetInstance();
  if (!fireShake || !manager) return true;
  if (!(zoneMask & (1u << (manager->currentZone % 32u)))) return true;
  gfx::CTransform* transform = GetTransform();
  if (firstUpdate) {
    basePosition = GetPosition();
    baseAttenuation = attenuation;
    baseColour = colour;
    firstUpdate = 0;
  }
  flickerTime += dt;
  const float t = flickerTime;
  if (transform) {
    transform->position.x = basePosition.x + 0.01f * std::sin(500.0f * t);
    transform->position.y = basePosition.y + 0.005f * std::cos(1000.0f * t);
    transform->UpdateMatrix();
  }
  const float a = 0.15f * std::sin(1000.0f * t) + 0.02f * std::sin(100.0f * t);
  float* att[3] = {&attenuation.x, &attenuation.y, &attenuation.z};
  const float baseAtt[3] = {baseAttenuation.x, baseAttenuation.y, baseAttenuation.z};
  for (int i = 0; i < 3; ++i)
    if (*att[i] != 0.0f) *att[i] = std::max(0.0f, baseAtt[i] * a + baseAtt[i]);
  const float c = 0.3f * std::sin(t);
  colour.x = std::clamp(baseColour.x * c + baseColour.x, 0.0f, 1.0f);
  colour.y = std::clamp(baseColour.y * c + baseColour.y, 0.0f, 1.0f);
  colour.z = std::clamp(baseColour.z * c + baseColour.z, 0.0f, 1.0f);
  return true;
}

void RegisterLightFactory(utl::FactoryMap<obj::IComponent>& makers) {
  utl::RegisterFactoryMaker<CLight, obj::IComponent>(makers);
}

void UnregisterLightFactory(utl::FactoryMap<obj::IComponent>& makers) {
  utl::UnregisterFactoryMaker(CLight::GetClassName(), makers);
}

}  // namespace lig
}  // namespace vd
