#pragma once
// What the particle draw reads of a particle subsystem: its particle records, its
// flags, its vertex buffer, and the systems that show it. The particle module
// implements it; the render manager finds a subsystem through its
// findParticleSubsystem hook, and reads it under the render lock, which the
// subsystem's own update and restart on the main thread take too.
#include <cstddef>
#include <cstdint>

#include "engine/render/CameraView.h"
#include "platform/math/Math.h"

namespace vd {
namespace gfx {

class IVertexBuffer;

// Floats per particle record, and records per draw (the effect's "gVParticleData").
constexpr uint32_t kParticleRecordFloats = 12;
constexpr uint32_t kParticleBatch = 10;

// One particle system as a draw of its subsystem sees it.
struct SParticleSystemView {
  plat::Mat4 world;
  plat::Vec3 position{0.0f, 0.0f, 0.0f};
  float alpha = 1.0f;
  int alignment = 0;  // 0 "view_point", 1 "view_point_vert", 2 "view_plane"
};

class IParticleSubsystem {
public:
  virtual const float* Records() const = 0;  // kParticleRecordFloats each
  virtual uint32_t RecordCount() const = 0;
  virtual bool IsDetached() const = 0;
  virtual bool IsSoft() const = 0;
  virtual bool ScalesVisibility() const = 0;
  virtual float ColourIntensity() const = 0;
  virtual IVertexBuffer* ParticleBuffer() const = 0;
  virtual size_t SystemCount() const = 0;
  // Prepares system `index` for the camera; false when it is not shown (inactive,
  // or its zone mask leaves out `zone`).
  virtual bool PrepareSystem(size_t index, const SCameraView& view, int zone,
                             SParticleSystemView& out) = 0;
  // Places `count` records starting at `first` for system `index`; `records`
  // holds a fresh copy of them on entry.
  virtual void PlaceBatch(size_t index, uint32_t first, uint32_t count, float* records) = 0;

protected:
  ~IParticleSubsystem() = default;
};

}  // namespace gfx
}  // namespace vd
