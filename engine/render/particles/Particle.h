#pragma once
// One particle with the description it is sampled from, the random draws of the
// emitters, the quad buffer every emitter draws its batches with, the depth sort
// of system instances and the rotation helpers of the systems.
#include <cstdint>

#include "engine/render/ParticleBatch.h"
#include "engine/render/buffers/VertexBuffer.h"
#include "platform/math/Vector.h"

namespace vd {
namespace ptc {

// Systems one emitter can be shown by, and emitters one system drives.
constexpr int kMaxInstances = 10;
constexpr int kMaxSubSystems = 10;
// Colour keys of a particle: the initial colour and four changes.
constexpr int kMaxColorKeys = 5;
constexpr float kNoLifetime = 0.000001f;
// Rotation speeds and accelerations are held below 6 pi per second.
constexpr float kMaxRotationSpeed = 18.849556f;
constexpr float kMinScale = 0.01f;
constexpr float kDegreesToRadians = 3.1415927f / 180.0f;

// r = Rand() / 32767 when max - min > 0.000001 (min + (max - min) r); otherwise
// max, and no number is drawn. The last fraction drawn is kept in LastFraction().
float RandomRange(float max, float min);
float LastFraction();

struct SColorKey {
  float percentage = 0.0f;  // of the particle's life, 0..1
  float r = 0.0f, g = 0.0f, b = 0.0f, a = 1.0f;
  float rateR = 0.0f, rateG = 0.0f, rateB = 0.0f;  // per second towards the next key
};

struct SParticle {
  // --- State ---
  plat::Vec3 position;
  float scale = 1.0f;
  float r = 0.0f, g = 0.0f, b = 0.0f;
  float alpha = 0.0f;
  float rotation = 0.0f;
  uint8_t alive = 0;
  plat::Vec3 velocity;
  plat::Vec3 acceleration;
  float rotationSpeed = 0.0f, rotationAccel = 0.0f;
  float scaleSpeed = 0.0f, scaleAccel = 0.0f;
  float mass = 0.0f;
  float lifetime = 0.0f;
  float birthTime = 0.0f;
  // Where a detached particle stays for each system once drawn with it.
  uint8_t placed[kMaxInstances] = {};
  plat::Vec3 placedPosition[kMaxInstances];

  // --- Sampled initial values ---
  plat::Vec3 initPosition, initVelocity, initAcceleration;
  SColorKey keys[kMaxColorKeys];
  float initRotation = 0.0f, initRotationSpeed = 0.0f, initRotationAccel = 0.0f;
  float initScale = 1.0f, initScaleSpeed = 0.0f, initScaleAccel = 0.0f;
  float initMass = 0.0f, initLifetime = 0.0f;
  float fadeInTime = 0.0f, fadeInRate = 0.0f, fadeOutStart = 0.0f, fadeOutRate = 0.0f;

  // --- Ranges (max first) ---
  plat::Vec3 maxPosition, minPosition, maxVelocity, minVelocity, maxAccel, minAccel;
  uint32_t keyCount = 0;
  SColorKey maxKeys[kMaxColorKeys];
  SColorKey minKeys[kMaxColorKeys];
  uint8_t mimicColorRandom = 0;
  float maxRotation = 0.0f, minRotation = 0.0f;
  float maxRotationSpeed = 0.0f, minRotationSpeed = 0.0f;
  float maxRotationAccel = 0.0f, minRotationAccel = 0.0f;
  float maxScale = 1.0f, minScale = 1.0f;
  float maxScaleLimit = 3.4028235e38f, minScaleLimit = kMinScale;
  float maxScaleSpeed = 0.0f, minScaleSpeed = 0.0f;
  float maxScaleAccel = 0.0f, minScaleAccel = 0.0f;
  float maxMass = 0.0f, minMass = 0.0f;
  float maxLifetime = 0.0f, minLifetime = 0.0f;

  // State and sampled values back to zero (key alphas 1, scale 1, not alive, no
  // system slots).
  void ResetState();
  // The description's defaults too.
  void ResetFull();
  // Back to the sampled start: alive, born at birthTime.
  void Respawn(float birthTime);
};

// --- Quad buffer ---------------------------------------------------------------

// Ten quads of four SIMPLE_VERTEX corners (x, y in -1..1, z = 3 x slot) and 60
// indices: the batch geometry that "gVParticleData" places.
class TParticlesVB : public gfx::CVertexBuffer<gfx::SIMPLE_VERTEX> {
public:
  static constexpr uint32_t kVertexCount = 4 * gfx::kParticleBatch;
  static constexpr uint16_t kIndexCount = 6 * gfx::kParticleBatch;
  // Fills the CPU copies of the vertices and indices. The device buffers are made
  // on the render thread when the particle pass first asks for the buffer, so no
  // queued request can outlive an emitter destroyed before the next commit.
  void Fill();
};

// --- Depth sort ----------------------------------------------------------------

struct SDepthEntry {
  int32_t index = 0;
  float depth = 0.0f;
};
// Larger depths before the pivot; returns its final index.
int32_t PartitionByDepth(SDepthEntry* entries, int32_t low, int32_t high);
// Descending depth (the farthest first); not stable.
void QuickSortByDepth(SDepthEntry* entries, int32_t low, int32_t high);

// --- Rotations -----------------------------------------------------------------

// Applies the rotations about x, y and z in the given order (order[i] = axis
// applied i-th: 0 x, 1 y, 2 z); an angle of exactly 0 is skipped. About x the pair
// (y, z) turns, about y (x, z), about z (x, y): (a, b) -> (a cos t - b sin t,
// a sin t + b cos t).
void RotateByOrder(const float order[3], const float angles[3], float& x, float& y, float& z);

}  // namespace ptc
}  // namespace vd
