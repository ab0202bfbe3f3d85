#pragma once
// What the particle list pass reads of an emitter: the render entry of a particle
// renderer carries one of these (SRenderData::emitterData), so that the render
// side draws particles without knowing the component classes above it.
//
// Drawing an entry: for each system k that shows the emitter (farthest first
// after SortSystemsByDistance), skip it when GetDrawSystem says it is not shown;
// else take the live particles in batches of at most kParticleBatchSize, let
// PlaceBatch write their records and hand them to "gVParticleData", then draw
// 2 x batch-size triangles from GetQuadBuffer().
#include <cstdint>

#include "platform/math/Math.h"
#include "platform/math/Vector.h"

namespace vd {
namespace gfx {

class IVertexBuffer;

// One particle's record in "gVParticleData": position (3), scale, colour RGBA (4),
// rotation, then the position that a detached particle keeps for this system (3).
constexpr int kParticleRecordFloats = 12;
// Particles per draw: the quad buffer holds this many quads.
constexpr int kParticleBatchSize = 10;

// Billboard alignment of a system.
enum EParticleAlign : int32_t { kAlignViewPoint = 0, kAlignViewPointVertical = 1, kAlignViewPlane = 2 };

// One system as the pass needs it.
struct SParticleSystemView {
  plat::Mat4 world;  // the system's world matrix
  plat::Vec3 position;
  int32_t align = kAlignViewPlane;
  float alpha = 1.0f;
};

class IParticleSource {
public:
  // Particles that have records to draw in this frame.
  virtual int GetLiveParticleCount() const = 0;
  // Systems that show the emitter.
  virtual int GetDrawSystemCount() const = 0;
  // False when system k is not drawn this frame (inactive, or its zone mask
  // leaves the current zone out).
  virtual bool GetDrawSystem(int k, SParticleSystemView& view) const = 0;
  // Writes the records of live particles [first, first + count) placed for system
  // k into out (count x kParticleRecordFloats floats); returns how many it wrote.
  virtual int PlaceBatch(int k, int first, int count, float* out) = 0;
  virtual bool IsDetached() const = 0;
  // The emitter asks for soft edges against the depth map.
  virtual bool IsSoft() const = 0;
  virtual float GetColourIntensity() const = 0;
  // The system alpha scales the colour too ("gPSVisibilityFactor" = (a, a, a, a)).
  virtual bool ScalesVisibility() const = 0;
  // Render thread: the quad buffer of kParticleBatchSize quads, its device buffers
  // made at the first call; null before the emitter's Init.
  virtual IVertexBuffer* GetQuadBuffer() = 0;
  // Farthest system first.
  virtual void SortSystemsByDistance(const plat::Vec3& eye) = 0;
  virtual float GetMinSquaredDistance(const plat::Vec3& eye) const = 0;

protected:
  ~IParticleSource() = default;
};

}  // namespace gfx
}  // namespace vd
