#include "engine/render/particles/ParticleSubSystem.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "engine/core/EngineNames.h"
#include "engine/core/Locks.h"
#include "engine/core/Log.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/Transform.h"
#include "engine/render/particles/ParticleSysManager.h"
#include "engine/render/particles/ParticleSystem.h"
#include "platform/crt/Crt.h"

namespace vd {
namespace ptc {

namespace {

using Node = rapidxml::xml_node<>;

const char* Attr(const Node* node, const char* name) {
  if (!node) return "";
  const rapidxml::xml_attribute<>* a = node->first_attribute(name);
  return a ? a->value() : "";
}

float AttrFloat(const Node* node, const char* name) { return static_cast<float>(std::atof(Attr(node, name))); }

// The `value` of the named child; "" when there is no such child.
const char* ChildValue(const Node* node, const char* child) {
  return node ? Attr(node->first_node(child), "value") : "";
}

bool ChildFloat(const Node* node, const char* child, float& out) {
  const Node* c = node ? node->first_node(child) : nullptr;
  if (!c) return false;
  out = AttrFloat(c, "value");
  return true;
}

bool ChildVector(const Node* node, const char* child, plat::Vec3& out) {
  const Node* c = node ? node->first_node(child) : nullptr;
  if (!c) return false;
  out = plat::Vec3(AttrFloat(c, "X"), AttrFloat(c, "Y"), AttrFloat(c, "Z"));
  return true;
}

bool IsExactly(const char* text, const char* value) { return std::strcmp(text, value) == 0; }

const char* OwnerName(const obj::IComponent* component) {
  const obj::CGameObject* owner = component->GetOwner();
  return owner ? owner->GetNameText() : "?";
}

float RandomVectorAxis(float max, float min) { return RandomRange(max, min); }

plat::Vec3 RandomVector(const plat::Vec3& max, const plat::Vec3& min) {
  const float x = RandomVectorAxis(max.x, min.x);
  const float y = RandomVectorAxis(max.y, min.y);
  const float z = RandomVectorAxis(max.z, min.z);
  return plat::Vec3(x, y, z);
}

float Squared(const plat::Vec3& v) { return v.x * v.x + v.y * v.y + v.z * v.z; }

}  // namespace

IParticleSubSystem::IParticleSubSystem() { master.ResetFull(); }

IParticleSubSystem::~IParticleSubSystem() {
  if (m_isCheckPointCopy) return;
  Unregister();
  Reset();
  quads.reset();
}

IParticleSubSystem& IParticleSubSystem::operator=(const IParticleSubSystem& other) {
  if (this == &other) return *this;
  obj::IComponent::operator=(other);
  elapsed = other.elapsed;
  updateRequest = other.updateRequest;
  id = other.id;
  particles = other.particles;
  manager = other.manager;
  std::copy(std::begin(other.instances), std::end(other.instances), std::begin(instances));
  registered = other.registered;
  initialised = other.initialised;
  instanceCount = other.instanceCount;
  finished = other.finished;
  detach = other.detach;
  fadeIn = other.fadeIn;
  fadeOut = other.fadeOut;
  fadeInMax = other.fadeInMax;
  fadeInMin = other.fadeInMin;
  fadeOutMax = other.fadeOutMax;
  fadeOutMin = other.fadeOutMin;
  finiteLife = other.finiteLife;
  longestLifetime = other.longestLifetime;
  randomPerBirth = other.randomPerBirth;
  accumulator = other.accumulator;
  periodMax = other.periodMax;
  periodMin = other.periodMin;
  period = other.period;
  numberMax = other.numberMax;
  numberMin = other.numberMin;
  number = other.number;
  wind = other.wind;
  windDir = other.windDir;
  gravity = other.gravity;
  gravityDir = other.gravityDir;
  master = other.master;
  hasMaster = other.hasMaster;
  initDelay = other.initDelay;
  delay = other.delay;
  softParticles = other.softParticles;
  noReborn = other.noReborn;
  colorIntensity = other.colorIntensity;
  stopTime = other.stopTime;
  fadeBrightMode = other.fadeBrightMode;
  // The quad buffer stays this instance's own; the lists point into our particles.
  RebuildLists();
  return *this;
}

void IParticleSubSystem::RebuildLists() {
  live.clear();
  dead.clear();
  for (SParticle& p : particles) {
    if (p.alive && (!finiteLife || elapsed - p.birthTime <= p.lifetime))
      live.push_back(&p);
    else
      dead.push_back(&p);
  }
}

const CStringHash& IParticleSubSystem::GetFamilyType() const { return SH_IParticleSubSystem; }

gfx::CTransform* IParticleSubSystem::GetTransform() const {
  return m_owner ? m_owner->GetComponent<gfx::CTransform>() : nullptr;
}

void IParticleSubSystem::Load(rapidxml::xml_node<>* element) {
  if (!element) return;
  for (Node* key = element->first_node("key"); key; key = key->next_sibling("key"))
    LoadParam(CStringHash(Attr(key, "name")).GetHash(), key);
}

bool IParticleSubSystem::Init() {
  if (!manager) manager = CParticleSysManager::GetInstance();
  quads.reset(new TParticlesVB());
  quads->Fill();
  initialised = 1;
  updateRequest = 0;
  // The emitter registered during Load when its id came before a manager existed.
  if (!registered && !id.IsNoName()) PrepareAndRegister();
  return true;
}

void IParticleSubSystem::Reset() {
  elapsed = 0.0f;
  updateRequest = 0;
  live.clear();
  dead.clear();
  particles.clear();
  for (IParticleSystem*& s : instances) s = nullptr;
  instanceCount = 0;
  finished = 0;
  accumulator = 0.0f;
  delay = initDelay;
}

void IParticleSubSystem::Unregister() {
  if (!registered) return;
  registered = 0;
  if (manager) manager->RemoveSubSystem(id.Get(), this);
  id.Clear();
}

// --- Loading ------------------------------------------------------------------

void IParticleSubSystem::LoadParam(uint32_t nameHash, const rapidxml::xml_node<>* key) {
  const char* value = Attr(key, "value");
  switch (nameHash) {
    case ComputeHash("subparticlesystem_id"):
      if (!registered) {
        if (value[0])
          id.Set(value);
        else
          id.Clear();
      }
      break;
    case ComputeHash("init_delay"):
      initDelay = delay = RandomRange(AttrFloat(key, "max"), AttrFloat(key, "min"));
      break;
    case ComputeHash("random_per_birth"):
      if (IsExactly(value, "1")) randomPerBirth = 1;
      break;
    case ComputeHash("gravity"):
      if (IsExactly(value, "1")) {
        gravity = 1;
        if (!ChildVector(key, "dir", gravityDir)) gravityDir = plat::Vec3(0.0f, -9.81f, 0.0f);
      }
      break;
    case ComputeHash("wind"): {
      plat::Vec3 dir;
      if (ChildVector(key, "dir", dir)) {
        windDir = dir;
        wind = dir.x != 0.0f && dir.y != 0.0f && dir.z != 0.0f ? 1 : 0;
      } else {
        utl::LogPrintf("Particle emitter %s: wind without dir ignored\n", OwnerName(this));
      }
      break;
    }
    case ComputeHash("fadein"):
      fadeIn = 1;
      ChildFloat(key, "duration_time_max", fadeInMax);
      ChildFloat(key, "duration_time_min", fadeInMin);
      break;
    case ComputeHash("fadeout"):
      fadeOut = 1;
      ChildFloat(key, "duration_time_max", fadeOutMax);
      ChildFloat(key, "duration_time_min", fadeOutMin);
      break;
    case ComputeHash("detach_particles"):
      if (IsExactly(value, "1")) detach = 1;
      break;
    case ComputeHash("soft_particles"):
      if (IsExactly(value, "0")) softParticles = 0;
      break;
    case ComputeHash("no_reborn"):
      if (IsExactly(value, "1")) noReborn = 1;
      break;
    case ComputeHash("subsystem_stop_updating_time"):
      stopTime = static_cast<float>(std::atof(value));
      break;
    case ComputeHash("color_intensity_multiplier"):
      colorIntensity = static_cast<float>(std::atof(value));
      break;
    case ComputeHash("fade_bright_mode"):
      if (IsExactly(value, "1")) fadeBrightMode = 1;
      break;
    case ComputeHash("particle_creation"): {
      ChildFloat(key, "particle_creation_rate_max", periodMax);
      ChildFloat(key, "particle_creation_rate_min", periodMin);
      float n;
      if (ChildFloat(key, "particle_creation_num_max", n)) numberMax = static_cast<int32_t>(n);
      if (ChildFloat(key, "particle_creation_num_min", n)) numberMin = static_cast<int32_t>(n);
      // A burst larger than the population could never be filled.
      for (int32_t* count : {&numberMax, &numberMin}) {
        if (*count > kMaxParticles || *count < 0) {
          utl::LogPrintf("Particle emitter %s: particles per burst %d held to 0..%d\n",
                         OwnerName(this), *count, kMaxParticles);
          *count = std::clamp(*count, 0, kMaxParticles);
        }
      }
      break;
    }
    case ComputeHash("particle"):
      ReadParticle(key);
      break;
    default:
      break;
  }
  if (!registered && !id.IsNoName()) PrepareAndRegister();
}

void IParticleSubSystem::ReadParticle(const rapidxml::xml_node<>* key) {
  SParticle d;
  d.ResetFull();
  ChildVector(key, "max_init_pos", d.maxPosition);
  ChildVector(key, "min_init_pos", d.minPosition);
  ChildVector(key, "max_init_vel", d.maxVelocity);
  ChildVector(key, "min_init_vel", d.minVelocity);
  ChildVector(key, "max_init_accel", d.maxAccel);
  ChildVector(key, "min_init_accel", d.minAccel);
  auto readColor = [](const Node* c, SColorKey& out, bool withAlpha) {
    out.r = AttrFloat(c, "R");
    out.g = AttrFloat(c, "G");
    out.b = AttrFloat(c, "B");
    if (withAlpha) out.a = AttrFloat(c, "A");
  };
  const Node* maxColor = key->first_node("max_init_color");
  const Node* minColor = key->first_node("min_init_color");
  if (!maxColor || !minColor) {
    utl::LogPrintf("Particle emitter %s: a particle without max_init_color and min_init_color is "
                   "white\n",
                   OwnerName(this));
  }
  if (maxColor) readColor(maxColor, d.maxKeys[0], true);
  else d.maxKeys[0].r = d.maxKeys[0].g = d.maxKeys[0].b = 1.0f;
  if (minColor) readColor(minColor, d.minKeys[0], true);
  else d.minKeys[0] = d.maxKeys[0];
  d.mimicColorRandom = IsExactly(ChildValue(key, "mimic_color_random"), "1") ? 1 : 0;
  uint32_t keys = 1;
  if (const Node* change = key->first_node("color_change")) {
    for (const Node* p = change->first_node("percentage_life"); p;
         p = p->next_sibling("percentage_life")) {
      if (keys >= static_cast<uint32_t>(kMaxColorKeys)) {
        utl::LogPrintf("Particle emitter %s: colour changes beyond %d ignored\n", OwnerName(this),
                       kMaxColorKeys - 1);
        break;
      }
      d.maxKeys[keys].percentage = d.minKeys[keys].percentage = AttrFloat(p, "value");
      if (const Node* c = p->first_node("max_color")) readColor(c, d.maxKeys[keys], false);
      if (const Node* c = p->first_node("min_color")) readColor(c, d.minKeys[keys], false);
      ++keys;
    }
  }
  d.keyCount = keys;
  auto angle = [&](const char* name, float& out) {
    if (ChildFloat(key, name, out)) out *= kDegreesToRadians;
  };
  angle("max_init_rot", d.maxRotation);
  angle("min_init_rot", d.minRotation);
  angle("max_init_rot_speed", d.maxRotationSpeed);
  angle("min_init_rot_speed", d.minRotationSpeed);
  angle("max_init_rot_accel", d.maxRotationAccel);
  angle("min_init_rot_accel", d.minRotationAccel);
  for (float* v : {&d.maxRotationSpeed, &d.minRotationSpeed, &d.maxRotationAccel, &d.minRotationAccel})
    *v = std::min(*v, kMaxRotationSpeed);
  auto scale = [&](const char* name, float& out) {
    if (ChildFloat(key, name, out)) out = std::max(out, kMinScale);
  };
  scale("max_init_scale", d.maxScale);
  scale("min_init_scale", d.minScale);
  scale("max_limit_scale", d.maxScaleLimit);
  scale("min_limit_scale", d.minScaleLimit);
  ChildFloat(key, "max_init_scale_speed", d.maxScaleSpeed);
  ChildFloat(key, "min_init_scale_speed", d.minScaleSpeed);
  ChildFloat(key, "max_init_scale_accel", d.maxScaleAccel);
  ChildFloat(key, "min_init_scale_accel", d.minScaleAccel);
  ChildFloat(key, "max_init_mass", d.maxMass);
  ChildFloat(key, "min_init_mass", d.minMass);
  ChildFloat(key, "max_init_lifeTime", d.maxLifetime);
  ChildFloat(key, "min_init_lifeTime", d.minLifetime);
  int replicate = 1;
  if (const Node* r = key->first_node("replicate")) replicate = std::atoi(Attr(r, "value"));
  const bool isMaster = key->first_node("master_particle") != nullptr;
  AddParticles(d, replicate, isMaster);
}

void IParticleSubSystem::PrepareAndRegister() {
  if (!finiteLife || period < kNoLifetime || number < 1) {
    period = 0.0f;
    longestLifetime = 0.0f;
  } else {
    const double needed = static_cast<double>(number) +
                          static_cast<double>(number) * longestLifetime / period;
    const double count = static_cast<double>(particles.size());
    // The population grows from the master particle; without one, from the last
    // particle read (a blank description would give endless, colourless particles).
    if (count < needed && (hasMaster || !particles.empty())) {
      const double more = std::ceil(needed - count);
      const SParticle source = hasMaster ? master : particles.back();
      AddParticles(source, more > kMaxParticles ? kMaxParticles : static_cast<int>(more), false);
    }
  }
  const int alive = std::min<int>(number, static_cast<int>(particles.size()));
  for (int i = 0; i < alive; ++i) particles[i].alive = 1;
  RebuildLists();
  if (!manager) manager = CParticleSysManager::GetInstance();
  if (!manager) return;
  registered = 1;
  manager->RegisterSubSystem(id.Get(), this);
}

// --- Sampling -----------------------------------------------------------------

void IParticleSubSystem::SampleParticle(SParticle& p) {
  p.initPosition = RandomVector(p.maxPosition, p.minPosition);
  p.initVelocity = RandomVector(p.maxVelocity, p.minVelocity);
  p.initAcceleration = RandomVector(p.maxAccel, p.minAccel);
  p.position = p.initPosition;
  p.velocity = p.initVelocity;
  p.acceleration = p.initAcceleration;

  p.initRotation = RandomRange(p.maxRotation, p.minRotation);
  p.initRotationSpeed = RandomRange(p.maxRotationSpeed, p.minRotationSpeed);
  p.initRotationAccel = RandomRange(p.maxRotationAccel, p.minRotationAccel);
  p.initScale = RandomRange(p.maxScale, p.minScale);
  p.initScaleSpeed = RandomRange(p.maxScaleSpeed, p.minScaleSpeed);
  p.initScaleAccel = RandomRange(p.maxScaleAccel, p.minScaleAccel);
  p.initMass = RandomRange(p.maxMass, p.minMass);
  p.initLifetime = RandomRange(p.maxLifetime, p.minLifetime);
  p.rotation = p.initRotation;
  p.scale = p.initScale;
  p.lifetime = p.initLifetime;
  if (p.initLifetime <= kNoLifetime) finiteLife = 0;
  longestLifetime = std::max(longestLifetime, p.initLifetime);

  const uint32_t count = std::min<uint32_t>(p.keyCount, kMaxColorKeys);
  for (uint32_t k = 0; k < count; ++k) {
    const SColorKey& hi = p.maxKeys[k];
    const SColorKey& lo = p.minKeys[k];
    SColorKey& key = p.keys[k];
    key.percentage = hi.percentage;
    if (p.mimicColorRandom) {
      const float t = static_cast<float>(plat::Rand() / 32767.0);
      key.r = lo.r + t * (hi.r - lo.r);
      key.g = lo.g + t * (hi.g - lo.g);
      key.b = lo.b + t * (hi.b - lo.b);
      key.a = lo.a + t * (hi.a - lo.a);
    } else {
      key.r = RandomRange(hi.r, lo.r);
      key.g = RandomRange(hi.g, lo.g);
      key.b = RandomRange(hi.b, lo.b);
      key.a = RandomRange(hi.a, lo.a);
    }
    if (k >= 1) {
      SColorKey& prev = p.keys[k - 1];
      const float span = (key.percentage - prev.percentage) * p.initLifetime;
      // A key at the same moment as the one before it (or a particle without a
      // life) changes colour at once rather than at an infinite rate.
      if (span > 0.0f) {
        prev.rateR = (key.r - prev.r) / span;
        prev.rateG = (key.g - prev.g) / span;
        prev.rateB = (key.b - prev.b) / span;
      } else {
        prev.rateR = prev.rateG = prev.rateB = 0.0f;
      }
    }
  }
  p.r = p.keys[0].r;
  p.g = p.keys[0].g;
  p.b = p.keys[0].b;

  p.fadeInTime = p.fadeInRate = p.fadeOutStart = p.fadeOutRate = 0.0f;
  float d = RandomRange(fadeInMax, fadeInMin);
  if (d <= 0.0f) {
    p.alpha = p.keys[0].a;
  } else {
    if (p.initLifetime > kNoLifetime) d = std::min(d, 1.0f) * p.initLifetime;
    p.fadeInTime = d;
    p.fadeInRate = p.keys[0].a / d;
    p.alpha = 0.0f;
  }
  if (p.initLifetime > kNoLifetime) {
    const float g = std::min(RandomRange(fadeOutMax, fadeOutMin), 1.0f);
    if (g > 0.0f) {
      p.fadeOutStart = p.initLifetime - g * p.initLifetime;
      p.fadeOutRate = p.keys[0].a / (p.initLifetime - p.fadeOutStart);
    }
  }

  period = RandomRange(periodMax, periodMin);
  if (period <= 0.0f) finished = 1;
  number = std::max(0, static_cast<int32_t>(RandomRange(static_cast<float>(numberMax),
                                                        static_cast<float>(numberMin))));
  p.birthTime = elapsed;
}

void IParticleSubSystem::AddParticles(const SParticle& description, int count, bool isMaster) {
  if (count <= 0) return;
  int limit = count;
  for (int i = 0; i < limit; ++i) {
    if (static_cast<int>(particles.size()) >= kMaxParticles) {
      utl::LogPrintf("Particle emitter %s: more than %d particles asked for; the rest dropped\n",
                     OwnerName(this), kMaxParticles);
      break;
    }
    SParticle p = description;
    SampleParticle(p);
    particles.push_back(p);
    if (isMaster && i == 0) {
      master = p;
      hasMaster = 1;
    }
    if (i == 0) limit = std::max(count, number);
  }
  // The vector may have moved.
  RebuildLists();
}

// --- Update -------------------------------------------------------------------

void IParticleSubSystem::UpdateParticles(float dt) {
  if (!updateRequest || finished) return;
  // The render thread's particle pass reads the live particles (and keeps the
  // detached ones' places in them) under the render lock; any object's update may
  // run while it draws.
  sys::CScopedLock lock(sys::kLockRender);
  if (delay > 0.0f) {
    updateRequest = 0;
    delay -= dt;
    return;
  }
  elapsed += dt;
  if (stopTime > 0.0f && elapsed >= stopTime) {
    finished = 1;
    return;
  }
  live.clear();
  dead.clear();
  for (SParticle& p : particles) {
    const float age = elapsed - p.birthTime;
    if (finiteLife && !(p.alive && age <= p.lifetime)) {
      p.alive = 0;
      dead.push_back(&p);
      continue;
    }
    live.push_back(&p);
    MoveParticle(p, dt);
    RotateParticle(p, dt);
    ScaleParticle(p, dt);
    ColorParticle(p, dt, age);
  }
  EmitParticles(dt);
  updateRequest = 0;
}

void IParticleSubSystem::MoveParticle(SParticle& p, float dt) const {
  if (gravity) p.acceleration += gravityDir * dt;
  if (wind) p.acceleration += windDir * dt;
  p.acceleration.y -= p.mass * dt;
  p.position += p.velocity * dt + p.acceleration * (0.5f * dt * dt);
  p.velocity += p.acceleration * dt;
}

void IParticleSubSystem::RotateParticle(SParticle& p, float dt) {
  if (std::fabs(p.rotationSpeed) > kNoLifetime)
    p.rotation = static_cast<float>(std::fmod(p.rotation + p.rotationSpeed * dt, 6.2831854820251465));
  if (p.rotationSpeed < kMaxRotationSpeed)
    p.rotationSpeed = std::min(p.rotationSpeed + p.rotationAccel * dt, kMaxRotationSpeed);
}

void IParticleSubSystem::ScaleParticle(SParticle& p, float dt) {
  if (!(p.minScaleLimit < p.scale && p.scale < p.maxScaleLimit)) return;
  p.scale += p.scaleSpeed * dt;
  p.scaleSpeed += p.scaleAccel * dt;
  if (p.scale < kMinScale) p.scale = kMinScale;
}

void IParticleSubSystem::ColorParticle(SParticle& p, float dt, float age) {
  if (p.lifetime > kNoLifetime) {
    const float share = age / p.lifetime;
    const uint32_t count = std::min<uint32_t>(p.keyCount, kMaxColorKeys);
    for (uint32_t k = 1; k < count; ++k) {
      if (share >= p.keys[k].percentage) continue;
      const SColorKey& target = p.keys[k];
      const SColorKey& from = p.keys[k - 1];
      if (std::fabs(target.r - p.r) > 0.01f) p.r += from.rateR * dt;
      if (std::fabs(target.g - p.g) > 0.01f) p.g += from.rateG * dt;
      if (std::fabs(target.b - p.b) > 0.01f) p.b += from.rateB * dt;
      break;
    }
  }
  const float top = p.keys[0].a;
  const bool fadingOut = p.fadeOutStart > 0.0f && age >= p.fadeOutStart;
  if (p.fadeInTime > 0.0f && age <= p.fadeInTime) {
    p.alpha = std::min(p.alpha + p.fadeInRate * dt, top);
    if (top - p.alpha < 0.01f) p.alpha = top;
  } else if (!fadingOut) {
    p.alpha = top;
  }
  if (fadingOut) {
    if (age >= p.lifetime)
      p.alpha = 0.0f;
    else
      p.alpha = std::max(0.0f, p.alpha - p.fadeOutRate * dt);
  }
}

void IParticleSubSystem::EmitParticles(float dt) {
  if (period <= 0.0f || noReborn) {
    if (live.empty() && finiteLife) finished = 1;
    return;
  }
  accumulator += dt;
  if (accumulator < period) return;
  accumulator -= period;
  for (int i = 0; i < number && !dead.empty(); ++i) {
    SParticle* p = dead.back();
    dead.pop_back();
    if (randomPerBirth) {
      p->ResetState();
      SampleParticle(*p);
    }
    p->Respawn(elapsed);
    live.push_back(p);
  }
}

void IParticleSubSystem::RestartParticles(bool force) {
  // A script or an effect may restart the emitter while the render thread draws it.
  sys::CScopedLock lock(sys::kLockRender);
  elapsed = 0.0f;
  accumulator = 0.0f;
  const int alive = std::min<int>(number, static_cast<int>(particles.size()));
  for (size_t i = 0; i < particles.size(); ++i) {
    SParticle& p = particles[i];
    if (period > 0.0f) {
      p.ResetState();
      SampleParticle(p);
      // SampleParticle may draw a new burst size; the first ones of the old count
      // start alive.
      if (static_cast<int>(i) < alive) p.Respawn(0.0f);
    } else if (force) {
      p.ResetState();
      SampleParticle(p);
      p.Respawn(0.0f);
    }
  }
  delay = initDelay;
  finished = 0;
  RebuildLists();
}

// --- Instances ----------------------------------------------------------------

bool IParticleSubSystem::AddInstance(IParticleSystem* system) {
  for (int k = 0; k < instanceCount; ++k)
    if (instances[k] == system) return true;
  if (instanceCount >= kMaxInstances) return false;
  instances[instanceCount++] = system;
  return true;
}

void IParticleSubSystem::RemoveInstance(const IParticleSystem* system) {
  int w = 0;
  for (int k = 0; k < instanceCount; ++k)
    if (instances[k] != system) instances[w++] = instances[k];
  for (int k = w; k < instanceCount; ++k) instances[k] = nullptr;
  instanceCount = w;
}

// --- Drawing ------------------------------------------------------------------

const float* IParticleSubSystem::Records() const {
  m_records.resize(live.size() * gfx::kParticleRecordFloats);
  float* r = m_records.data();
  for (const SParticle* p : live) {
    r[0] = p->position.x;
    r[1] = p->position.y;
    r[2] = p->position.z;
    r[3] = p->scale;
    r[4] = p->r;
    r[5] = p->g;
    r[6] = p->b;
    r[7] = p->alpha;
    r[8] = p->rotation;
    r[9] = r[10] = r[11] = 0.0f;
    r += gfx::kParticleRecordFloats;
  }
  return m_records.empty() ? nullptr : m_records.data();
}

gfx::IVertexBuffer* IParticleSubSystem::ParticleBuffer() const {
  if (!quads) return nullptr;
  if (!quads->IsValid()) quads->Create();
  return quads.get();
}

bool IParticleSubSystem::PrepareSystem(size_t index, const gfx::SCameraView& view, int zone,
                                       gfx::SParticleSystemView& out) {
  if (index == 0) SortSystemsByDistance(view.eye);
  const IParticleSystem* system = GetInstance(static_cast<int>(index));
  if (!system || !system->IsActive() || !system->ZoneTest(zone)) return false;
  system->GetPlacement(out.world, out.position);
  out.alignment = system->align;
  out.alpha = system->alpha;
  return true;
}

void IParticleSubSystem::PlaceBatch(size_t index, uint32_t first, uint32_t count, float* records) {
  IParticleSystem* system = GetInstance(static_cast<int>(index));
  if (!system || !records) return;
  const int k = static_cast<int>(index);
  const uint32_t end = std::min<uint32_t>(first + count, static_cast<uint32_t>(live.size()));
  plat::Mat4 world;
  plat::Vec3 origin;
  system->GetPlacement(world, origin);
  const float order[3] = {system->RotationOrder(0), system->RotationOrder(1),
                          system->RotationOrder(2)};
  float* r = records;
  for (uint32_t i = first; i < end; ++i, r += gfx::kParticleRecordFloats) {
    SParticle& p = *live[i];
    if (detach) {
      // A detached particle stays where it was first drawn with this system: it
      // does not follow the system when it moves.
      if (!p.placed[k]) {
        plat::Vec3 local = p.position;
        RotateByOrder(order, system->rotation, local.x, local.y, local.z);
        p.placedPosition[k] = origin + local;
        p.placed[k] = 1;
      }
      r[9] = p.placedPosition[k].x;
      r[10] = p.placedPosition[k].y;
      r[11] = p.placedPosition[k].z;
      if (!system->rotateParticles) RotateByOrder(order, system->rotation, r[0], r[1], r[2]);
    } else if (system->rotateParticles) {
      RotateByOrder(order, system->rotation, r[0], r[1], r[2]);
    }
  }
}

void IParticleSubSystem::SortSystemsByDistance(const plat::Vec3& eye) {
  if (instanceCount < 2) return;
  SDepthEntry entries[kMaxInstances];
  for (int k = 0; k < instanceCount; ++k) {
    plat::Mat4 world;
    plat::Vec3 position;
    instances[k]->GetPlacement(world, position);
    entries[k].index = k;
    entries[k].depth = Squared(eye - position);
  }
  QuickSortByDepth(entries, 0, instanceCount - 1);
  IParticleSystem* sorted[kMaxInstances];
  for (int k = 0; k < instanceCount; ++k) sorted[k] = instances[entries[k].index];
  for (int k = 0; k < instanceCount; ++k) instances[k] = sorted[k];
}

float IParticleSubSystem::GetMinSquaredDistance(const plat::Vec3& eye) const {
  float best = 3.4028235e38f;
  const gfx::CTransform* own = GetTransform();
  for (int k = 0; k < instanceCount; ++k) {
    plat::Mat4 world;
    plat::Vec3 position;
    instances[k]->GetPlacement(world, position);
    // An emitter in the system's own object is placed by that one transform.
    if (own && instances[k]->GetOwner() != m_owner) position += own->position;
    best = std::min(best, Squared(eye - position));
  }
  return best;
}

}  // namespace ptc

const CStringHash& CParticleSubSystemSimple::GetClassName() {
  static const CStringHash name("CParticleSubSystemSimple");
  return name;
}

}  // namespace vd
