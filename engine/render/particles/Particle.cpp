#include "engine/render/particles/Particle.h"

#include <cmath>
#include <utility>

#include "platform/crt/Crt.h"

namespace vd {
namespace ptc {

namespace {
// The emitters run on the main thread and the loading thread: each keeps its own.
thread_local float t_lastFraction = 0.0f;
}  // namespace

float RandomRange(float max, float min) {
  if (max - min <= kNoLifetime) return max;
  t_lastFraction = static_cast<float>(plat::Rand() / 32767.0);
  return min + (max - min) * t_lastFraction;
}

float LastFraction() { return t_lastFraction; }

void SParticle::ResetState() {
  position = plat::Vec3();
  scale = 1.0f;
  r = g = b = 0.0f;
  alpha = 0.0f;
  rotation = 0.0f;
  alive = 0;
  velocity = acceleration = plat::Vec3();
  rotationSpeed = rotationAccel = scaleSpeed = scaleAccel = 0.0f;
  mass = lifetime = birthTime = 0.0f;
  for (int i = 0; i < kMaxInstances; ++i) {
    placed[i] = 0;
    placedPosition[i] = plat::Vec3();
  }
  initPosition = initVelocity = initAcceleration = plat::Vec3();
  for (SColorKey& key : keys) key = SColorKey();
  initRotation = initRotationSpeed = initRotationAccel = 0.0f;
  initScale = 1.0f;
  initScaleSpeed = initScaleAccel = initMass = initLifetime = 0.0f;
  fadeInTime = fadeInRate = fadeOutStart = fadeOutRate = 0.0f;
}

void SParticle::ResetFull() { *this = SParticle(); }

void SParticle::Respawn(float birth) {
  position = initPosition;
  rotation = initRotation;
  scale = initScale;
  r = keys[0].r;
  g = keys[0].g;
  b = keys[0].b;
  velocity = initVelocity;
  acceleration = initAcceleration;
  rotationSpeed = initRotationSpeed;
  rotationAccel = initRotationAccel;
  scaleSpeed = initScaleSpeed;
  scaleAccel = initScaleAccel;
  mass = initMass;
  lifetime = initLifetime;
  alpha = fadeInTime <= 0.0f ? keys[0].a : 0.0f;
  alive = 1;
  birthTime = birth;
  for (uint8_t& p : placed) p = 0;
}

// --- Quad buffer ---------------------------------------------------------------

void TParticlesVB::Fill() {
  m_indexBuffer.reset(new gfx::SIndexBuffer16());
  m_indexBuffer->count = kIndexCount;
  m_indexBuffer->indices.reset(new uint16_t[kIndexCount]);
  uint16_t* index = m_indexBuffer->indices.get();
  for (uint16_t q = 0; q < gfx::kParticleBatch; ++q) {
    const uint16_t base = static_cast<uint16_t>(4 * q);
    const uint16_t quad[6] = {base, static_cast<uint16_t>(base + 1), static_cast<uint16_t>(base + 2),
                              base, static_cast<uint16_t>(base + 2), static_cast<uint16_t>(base + 3)};
    for (uint16_t i : quad) *index++ = i;
  }
  Init(kVertexCount, gfx::kMeshPrimitiveKindList, gfx::SIMPLE_VERTEX::kType);
  gfx::SIMPLE_VERTEX* v = Vertices();
  for (uint32_t i = 0; i < gfx::kParticleBatch; ++i) {
    const float z = 3.0f * static_cast<float>(i);
    v[4 * i + 0].position = plat::Vec3(-1.0f, 1.0f, z);
    v[4 * i + 1].position = plat::Vec3(1.0f, 1.0f, z);
    v[4 * i + 2].position = plat::Vec3(1.0f, -1.0f, z);
    v[4 * i + 3].position = plat::Vec3(-1.0f, -1.0f, z);
  }
}

// --- Depth sort ----------------------------------------------------------------

int32_t PartitionByDepth(SDepthEntry* entries, int32_t low, int32_t high) {
  const float pivot = entries[low].depth;
  int32_t i = low;
  for (int32_t j = low + 1; j <= high; ++j) {
    if (pivot < entries[j].depth) {
      ++i;
      std::swap(entries[i], entries[j]);
    }
  }
  std::swap(entries[low], entries[i]);
  return i;
}

void QuickSortByDepth(SDepthEntry* entries, int32_t low, int32_t high) {
  while (low < high) {
    const int32_t p = PartitionByDepth(entries, low, high);
    QuickSortByDepth(entries, low, p - 1);
    low = p + 1;
  }
}

// --- Rotations -----------------------------------------------------------------

void RotateByOrder(const float order[3], const float angles[3], float& x, float& y, float& z) {
  for (int i = 0; i < 3; ++i) {
    const int axis = static_cast<int>(order[i]);
    if (axis < 0 || axis > 2) continue;
    const float t = angles[axis];
    if (t == 0.0f) continue;
    const float c = std::cos(t), s = std::sin(t);
    float* a;
    float* b;
    if (axis == 0) {
      a = &y;
      b = &z;
    } else if (axis == 1) {
      a = &x;
      b = &z;
    } else {
      a = &x;
      b = &y;
    }
    const float na = *a * c - *b * s;
    const float nb = *a * s + *b * c;
    *a = na;
    *b = nb;
  }
}

}  // namespace ptc
}  // namespace vd
