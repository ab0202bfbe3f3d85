#include "engine/render/particles/ParticleSystem.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "engine/core/EngineNames.h"
#include "engine/core/Locks.h"
#include "engine/core/Log.h"
#include "engine/events/EventManager.h"
#include "engine/events/GameEvents.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Transform.h"
#include "engine/render/particles/ParticleSubSystem.h"
#include "engine/render/particles/ParticleSysManager.h"
#include "engine/script/ScriptManager.h"

namespace vd {
namespace ptc {

namespace {

using Node = rapidxml::xml_node<>;

const char* Attr(const Node* node, const char* name) {
  if (!node) return "";
  const rapidxml::xml_attribute<>* a = node->first_attribute(name);
  return a ? a->value() : "";
}

float AttrFloat(const Node* node, const char* name) {
  return static_cast<float>(std::atof(Attr(node, name)));
}

const char* OwnerName(const obj::IComponent* component) {
  const obj::CGameObject* owner = component->GetOwner();
  return owner ? owner->GetNameText() : "?";
}

}  // namespace

IParticleSystem::IParticleSystem() = default;

IParticleSystem::~IParticleSystem() {
  if (m_isCheckPointCopy) return;
  // The emitters must not draw a system that is gone.
  if (manager) {
    for (int i = 0; i < subSystemCount && i < kMaxSubSystems; ++i) {
      if (IParticleSubSystem* emitter = manager->FindSubSystemAnywhere(subSystems[i].Get()))
        emitter->RemoveInstance(this);
    }
  }
  Unregister();
  type.Clear();
  alpha = 1.0f;
  rotation[0] = rotation[1] = rotation[2] = 0.0f;
  zoneMask = -1;
}

IParticleSystem& IParticleSystem::operator=(const IParticleSystem& other) {
  if (this == &other) return *this;
  obj::IComponent::operator=(other);
  id = other.id;
  align = other.align;
  type = other.type;
  registered = other.registered;
  active = other.active;
  subSystemCount = other.subSystemCount;
  for (int i = 0; i < kMaxSubSystems; ++i) subSystems[i] = other.subSystems[i];
  manager = other.manager;
  std::copy(std::begin(other.rotationOrder), std::end(other.rotationOrder), std::begin(rotationOrder));
  std::copy(std::begin(other.rotation), std::end(other.rotation), std::begin(rotation));
  rotateParticles = other.rotateParticles;
  lifeTime = other.lifeTime;
  fadeTime = other.fadeTime;
  fadeRate = other.fadeRate;
  alpha = other.alpha;
  elapsed = other.elapsed;
  zoneMask = other.zoneMask;
  m_loggedMissing = other.m_loggedMissing;
  return *this;
}

void IParticleSystem::Unregister() {
  if (!registered) return;
  registered = 0;
  if (manager) manager->RemoveSystem(id.Get(), this);
  id.Clear();
}

const CStringHash& IParticleSystem::GetFamilyType() const { return SH_IParticleSystem; }

gfx::CTransform* IParticleSystem::GetTransform() const {
  return m_owner ? m_owner->GetComponent<gfx::CTransform>() : nullptr;
}

void IParticleSystem::GetPlacement(plat::Mat4& world, plat::Vec3& position) const {
  if (const gfx::CTransform* transform = GetTransform()) {
    world = transform->world;
    position = transform->position;
  } else {
    world = plat::Mat4();
    position = plat::Vec3();
  }
}

void IParticleSystem::Load(rapidxml::xml_node<>* element) {
  if (!element) return;
  for (Node* key = element->first_node("key"); key; key = key->next_sibling("key"))
    LoadParam(CStringHash(Attr(key, "name")).GetHash(), key);
}

bool IParticleSystem::HasContent() {
  return manager != nullptr && subSystemCount >= 1 && subSystemCount <= kMaxSubSystems;
}

bool IParticleSystem::Init() {
  manager = CParticleSysManager::GetInstance();
  if (manager && !registered && !id.IsNoName()) {
    registered = 1;
    manager->RegisterSystem(id.Get(), this);
  }
  for (int i = 0; i < subSystemCount; ++i) ResolveSubSystem(i);
  return true;
}

void IParticleSystem::Reset() {
  elapsed = 0.0f;
  fadeRate = 0.0f;
}

void IParticleSystem::Restart() {
  Restart(false);
  active = 0;
}

void IParticleSystem::Restart(bool force) {
  for (int i = 0; i < subSystemCount && i < kMaxSubSystems; ++i) {
    if (IParticleSubSystem* emitter = ResolveSubSystem(i)) emitter->RestartParticles(force);
  }
  alpha = 1.0f;
  active = 1;
  elapsed = 0.0f;
}

void IParticleSystem::LoadParam(uint32_t nameHash, const rapidxml::xml_node<>* key) {
  const char* value = Attr(key, "value");
  switch (nameHash) {
    case ComputeHash("particlesystem_id"):
      if (!registered) {
        if (value[0])
          id.Set(value);
        else
          id.Clear();
      }
      break;
    case ComputeHash("subsystem"):
      AddSubSystem(value);
      break;
    case ComputeHash("system"):
      CopySubSystems(value);
      break;
    case ComputeHash("active"):
      if (std::strcmp(value, "1") == 0) active = 1;
      break;
    case ComputeHash("align"):
      if (std::strcmp(value, "view_plane") == 0) align = kAlignViewPlane;
      else if (std::strcmp(value, "view_point") == 0) align = kAlignViewPoint;
      else if (std::strcmp(value, "view_point_vert") == 0) align = kAlignViewPointVertical;
      break;
    case ComputeHash("ps_type_id"):
      type.Set(value);
      break;
    case ComputeHash("rotate_x"):
      rotation[0] = AttrFloat(key, "value") * kDegreesToRadians;
      break;
    case ComputeHash("rotate_y"):
      rotation[1] = AttrFloat(key, "value") * kDegreesToRadians;
      break;
    case ComputeHash("rotate_z"):
      rotation[2] = AttrFloat(key, "value") * kDegreesToRadians;
      break;
    case ComputeHash("rotation_order"): {
      // X="3" puts x third: the slot of each axis is its position minus one.
      const char* axes[3] = {"X", "Y", "Z"};
      int32_t order[3] = {-1, -1, -1};
      bool valid = true;
      for (int axis = 0; axis < 3; ++axis) {
        const int position = std::atoi(Attr(key, axes[axis]));
        if (position < 1 || position > 3 || order[position - 1] >= 0) {
          valid = false;
          break;
        }
        order[position - 1] = axis;
      }
      if (valid) {
        std::copy(order, order + 3, rotationOrder);
      } else {
        utl::LogPrintf("Particle system %s: rotation_order needs X, Y and Z at 1, 2 and 3; "
                       "kept x, y, z\n",
                       OwnerName(this));
      }
      break;
    }
    case ComputeHash("rotate_particles_with_system"):
      if (std::strcmp(value, "1") == 0) rotateParticles = 1;
      break;
    case ComputeHash("system_life_time"):
      lifeTime = AttrFloat(key, "value");
      break;
    case ComputeHash("system_fade_time"):
      fadeTime = AttrFloat(key, "value");
      break;
    case ComputeHash("map_zone_id"): {
      // The zone is the value of the Lua global the key names.
      lgc::CScriptManager* scripts = lgc::CScriptManager::GetInstance();
      if (!scripts) {
        utl::LogPrintf("Particle system %s: no script state to read zone %s\n", OwnerName(this),
                       value);
        break;
      }
      int zone = 0;
      {
        sys::CScopedLock lock(sys::kLockLua);
        zone = scripts->GetGlobalInt(value);
      }
      if (zoneMask == -1) zoneMask = 0;
      zoneMask = static_cast<int32_t>(static_cast<uint32_t>(zoneMask) |
                                      (1u << (static_cast<uint32_t>(zone) & 31u)));
      break;
    }
    default:
      break;
  }
  if (!registered && !id.IsNoName()) {
    if (!manager) manager = CParticleSysManager::GetInstance();
    if (manager) {
      registered = 1;
      manager->RegisterSystem(id.Get(), this);
    }
  }
}

void IParticleSystem::AddSubSystem(const char* emitterId) {
  if (!emitterId || !emitterId[0]) return;
  if (subSystemCount >= kMaxSubSystems) {
    utl::LogPrintf("Particle system %s: more than %d emitters; %s ignored\n", OwnerName(this),
                   kMaxSubSystems, emitterId);
    return;
  }
  subSystems[subSystemCount].Set(emitterId);
  ++subSystemCount;
  ResolveSubSystem(subSystemCount - 1);
}

void IParticleSystem::CopySubSystems(const char* systemName) {
  if (!manager) manager = CParticleSysManager::GetInstance();
  IParticleSystem* source = manager ? manager->FindSystemAnywhere(CStringHash(systemName)) : nullptr;
  if (!source || source == this) {
    utl::LogPrintf("Particle system %s: system %s to copy emitters from is not loaded\n",
                   OwnerName(this), systemName);
    return;
  }
  const int count = std::min<int>(source->subSystemCount, kMaxSubSystems);
  for (int i = 0; i < count; ++i) {
    subSystems[i] = source->subSystems[i];
    ResolveSubSystem(i);
  }
  for (int i = count; i < subSystemCount; ++i) subSystems[i].Clear();
  subSystemCount = count;
}

IParticleSubSystem* IParticleSystem::ResolveSubSystem(int i) {
  if (i < 0 || i >= subSystemCount || i >= kMaxSubSystems) return nullptr;
  if (!manager) manager = CParticleSysManager::GetInstance();
  IParticleSubSystem* emitter =
      manager ? manager->FindSubSystemAnywhere(subSystems[i].Get()) : nullptr;
  if (!emitter) {
    // Only instances (with an owner) report: the loading order may bring the
    // emitter later, and a template is never updated.
    if (m_owner && m_owner->GetId() >= 0 && !(m_loggedMissing & (1u << i))) {
      m_loggedMissing |= 1u << i;
      utl::LogPrintf("Particle system %s: emitter %s not found; skipped\n", OwnerName(this),
                     subSystems[i].c_str());
    }
    return nullptr;
  }
  if (!emitter->AddInstance(this) && !(m_loggedMissing & (1u << (i + 16)))) {
    m_loggedMissing |= 1u << (i + 16);
    utl::LogPrintf("Particle system %s: emitter %s is shown by %d systems already; not drawn here\n",
                   OwnerName(this), subSystems[i].c_str(), kMaxInstances);
  }
  return emitter;
}

bool IParticleSystem::ZoneTest() const { return ZoneTest(manager ? manager->currentZone : 0); }

bool IParticleSystem::ZoneTest(int32_t zone) const {
  if (zoneMask < 0) return true;
  return (static_cast<uint32_t>(zoneMask) >> (static_cast<uint32_t>(zone) & 31u)) & 1u;
}

void IParticleSystem::UpdateLife(float dt) {
  elapsed += dt;
  if (lifeTime > 0.0f && fadeTime > 0.0f && elapsed >= fadeTime && fadeRate <= 0.0f) {
    const float left = lifeTime - elapsed;
    // At or past the end already: the fade takes everything at once.
    fadeRate = left > 0.0f ? alpha / left : alpha / std::max(dt, 1e-6f);
  }
  if (fadeRate > 0.0f) alpha -= fadeRate * dt;
  if (lifeTime > 0.0f && (alpha <= 0.0f || elapsed > lifeTime)) {
    active = 0;
    SetSubSystemsUpdate(false);
    elapsed = 0.0f;
    fadeRate = 0.0f;
  } else {
    SetSubSystemsUpdate(true);
  }
}

void IParticleSystem::SetSubSystemsUpdate(bool flag) {
  for (int i = 0; i < subSystemCount && i < kMaxSubSystems; ++i) {
    IParticleSubSystem* emitter = manager ? manager->FindSubSystem(subSystems[i].Get()) : nullptr;
    if (!emitter) emitter = ResolveSubSystem(i);
    // Any system that shows the emitter alive this frame keeps it updating.
    if (emitter && (flag || !emitter->updateRequest)) emitter->updateRequest = flag ? 1 : 0;
  }
}

void IParticleSystem::RotateMatrixTranslation(const plat::Mat4& matrix, plat::Mat4& out) const {
  out = matrix;
  RotatePosition(out.m[3][0], out.m[3][1], out.m[3][2]);
}

void IParticleSystem::RotatePosition(float& x, float& y, float& z) const {
  const float order[3] = {RotationOrder(0), RotationOrder(1), RotationOrder(2)};
  RotateByOrder(order, rotation, x, y, z);
}

}  // namespace ptc

// --- Simple ---------------------------------------------------------------------

const CStringHash& CParticleSystemSimple::GetClassName() {
  static const CStringHash name("CParticleSystemSimple");
  return name;
}

bool CParticleSystemSimple::Update(float dt) {
  if (active && ZoneTest()) UpdateLife(dt);
  return true;
}

// --- Follower -------------------------------------------------------------------

const CStringHash& CParticleSystemFollower::GetClassName() {
  static const CStringHash name("CParticleSystemFollower");
  return name;
}

CParticleSystemFollower& CParticleSystemFollower::operator=(const CParticleSystemFollower& other) {
  if (this == &other) return *this;
  ptc::IParticleSystem::operator=(other);
  followed = other.followed;
  speed = other.speed;
  acceleration = other.acceleration;
  maxSpeed = other.maxSpeed;
  delay = other.delay;
  delayTimer = other.delayTimer;
  step = other.step;
  fadeStartDistance = other.fadeStartDistance;
  fadeRatePerUpdate = other.fadeRatePerUpdate;
  heightBias = other.heightBias;
  arrived = other.arrived;
  return *this;
}

void CParticleSystemFollower::Load(rapidxml::xml_node<>* element) {
  if (!element) return;
  for (rapidxml::xml_node<>* key = element->first_node("key"); key;
       key = key->next_sibling("key")) {
    const uint32_t hash = CStringHash(ptc::Attr(key, "name")).GetHash();
    LoadParam(hash, key);
    const char* value = ptc::Attr(key, "value");
    const float number = static_cast<float>(std::atof(value));
    switch (hash) {
      case ComputeHash("gameobject_to_follow"):
        if (value[0]) followed.Set(value);
        else followed.Clear();
        break;
      case ComputeHash("follower_speed"): speed = number; break;
      case ComputeHash("follower_acceleration"): acceleration = number; break;
      case ComputeHash("follower_max_speed"): maxSpeed = number; break;
      case ComputeHash("follower_delay"): delay = number; break;
      case ComputeHash("fade_start_dist"): fadeStartDistance = number; break;
      case ComputeHash("destination_height_bias"): heightBias = number; break;
      default: break;
    }
  }
}

void CParticleSystemFollower::Reset() {
  ptc::IParticleSystem::Reset();
  delayTimer = 0.0f;
  step = 0.0f;
  fadeRatePerUpdate = 0.0f;
  arrived = 0;
}

void CParticleSystemFollower::Rearm() {
  step = -1.0f;
  fadeRatePerUpdate = 0.0f;
  arrived = 0;
  delayTimer = 0.0f;
}

bool CParticleSystemFollower::Update(float dt) {
  if (!active || followed.IsNoName()) return true;
  delayTimer += dt;
  if (delayTimer < delay) return true;
  if (!ZoneTest()) return true;
  UpdateLife(dt);
  if (!active || arrived) return true;

  obj::CGameObjectManager* objects = obj::CGameObjectManager::GetInstance();
  obj::CGameObject* target = objects ? objects->GetGameObjectByName(followed.Get()) : nullptr;
  gfx::CTransform* targetTransform = target ? target->GetComponent<gfx::CTransform>() : nullptr;
  gfx::CTransform* own = GetTransform();
  // A target that is not there (yet) leaves the orb where it is this frame.
  if (!targetTransform || !own) return true;

  plat::Vec3 goal = targetTransform->position;
  goal.y += heightBias;
  const plat::Vec3 d = goal - own->position;
  const float dist = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);

  if (step <= 0.0f) {
    step = speed;
  } else if (fadeRatePerUpdate <= 0.0f && step <= maxSpeed) {
    step += acceleration * dt;
  }
  if (dist > kSnapDistance) {
    own->position += d * (step / dist);
  } else {
    own->position = goal;
  }
  own->UpdateMatrix();

  if (dist <= fadeStartDistance) {
    if (fadeRatePerUpdate <= 0.0f) {
      // At the target already, or standing still: nothing left to cover, all gone.
      fadeRatePerUpdate = dist > 0.0f && step > 0.0f ? 1.0f / (dist / step) : 1.0f;
    }
    alpha = std::clamp(alpha - fadeRatePerUpdate, 0.0f, 1.0f);
    if (alpha <= 0.0f) {
      step = -1.0f;
      fadeRatePerUpdate = 0.0f;
      arrived = 1;
      delayTimer = 0.0f;
      active = 0;
      const char* kind = nullptr;
      if (type.Get().GetHash() == ComputeHash("life_orb")) kind = "life_orb";
      else if (type.Get().GetHash() == ComputeHash("gas_orb")) kind = "gas_orb";
      if (kind) {
        evn::CEventOrbAbsorved* event = evn::CEventOrbAbsorved::New();
        event->typeName.Copy(kind);
        if (evn::CEventManager* events = evn::CEventManager::GetInstance())
          events->PostEvent(event);
        else
          event->Release();
      }
    }
  }
  return true;
}

void RegisterParticleFactories(utl::FactoryMap<obj::IComponent>& makers) {
  utl::RegisterFactoryMaker<CParticleSubSystemSimple, obj::IComponent>(makers);
  utl::RegisterFactoryMaker<CParticleSystemSimple, obj::IComponent>(makers);
  utl::RegisterFactoryMaker<CParticleSystemFollower, obj::IComponent>(makers);
}

}  // namespace vd
