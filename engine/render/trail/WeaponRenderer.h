#pragma once
// The ribbon a moving blade leaves behind: a triangle strip between two bones of
// the owner's skeleton, sampled at every animation sub-step (1/240 s), faded from
// transparent at its old end to opaque at its new end, drawn from a dynamic
// buffer that is uploaded once per frame.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/objects/Renderer.h"
#include "engine/render/buffers/VertexTypes.h"
#include "platform/math/Vector.h"

namespace vd {
namespace anm {
class CAnimator;
}
namespace gfx {

class IVertexBuffer;

// The ring of strip vertices: pairs written at the write index, the oldest pair
// overwritten first once full.
class CTrailRing {
public:
  // Two vertices per segment plus the closing pair; 0 or fewer segments: no ring.
  void Resize(int32_t segmentMax);
  void Clear() {
    m_valid = 0;
    m_write = 0;
  }
  // One sample of both bones. A width other than 0 replaces the pair by one of
  // that width around its centre, along the bones' direction (vertical when the
  // bones meet in one point).
  void AddSample(plat::Vec3 p1, plat::Vec3 p2, float width);
  // Alpha and u from 0 at the oldest pair to nearly 1 at the newest.
  void Fade();
  // The ring oldest first into out (ValidCount() vertices).
  void CopyOldestFirst(COLORED_TEXTURED_VERTEX* out) const;

  int32_t Capacity() const { return m_capacity; }
  int32_t ValidCount() const { return m_valid; }
  int32_t WriteIndex() const { return m_write; }
  const std::vector<COLORED_TEXTURED_VERTEX>& Vertices() const { return m_vertices; }
  const plat::Vec3& LastFirst() const { return m_last1; }
  const plat::Vec3& LastSecond() const { return m_last2; }
  const plat::Vec3& LastMid() const { return m_lastMid; }

private:
  std::vector<COLORED_TEXTURED_VERTEX> m_vertices;
  int32_t m_capacity = 0;
  int32_t m_valid = 0;
  int32_t m_write = 0;
  plat::Vec3 m_last1, m_last2, m_lastMid;
};

class CWeaponRenderer : public CRenderer {
public:
  static constexpr float kSampleStep = 0.004166667f;  // 1/240 s
  static constexpr int32_t kMaxSegments = 4096;

  static const CStringHash& GetClassName();

  CWeaponRenderer();
  ~CWeaponRenderer() override;
  CWeaponRenderer& operator=(const CWeaponRenderer& other);

  const CStringHash& GetType() const override { return GetClassName(); }
  void CopyFrom(const obj::IComponent& source) override;
  void SaveCheckPoint() override;
  void LoadCheckPoint() override;

  void Load(rapidxml::xml_node<>* element) override;
  void Restart() override;
  void SetEnabled(bool enabled, bool fromCheckPoint) override;
  bool Update(float dt) override;
  bool Init() override;
  void Reset() override;

  // One frame's samples of the two bones (walked as far as both reach), then the
  // fade and the copy into the mesh. Update does this with the animator's samples.
  void AddSamples(const std::vector<plat::Vec3>& first, const std::vector<plat::Vec3>& second);
  // False (logged once) when the trail cannot be drawn: no segment maximum or no mesh.
  bool CanDraw();

  const CTrailRing& Ring() const { return m_ring; }
  float VelocityThreshold() const { return m_velocityThreshold; }
  int32_t SegmentMax() const { return m_segmentMax; }
  float Width() const { return m_width; }
  IVertexBuffer* Mesh() const { return m_mesh; }

private:
  void RefreshSubset();

  anm::CAnimator* m_animator = nullptr;
  IVertexBuffer* m_mesh = nullptr;
  CTrailRing m_ring;
  float m_velocityThreshold = 3.0f;
  int32_t m_segmentMax = 0;
  std::string m_bone1, m_bone2;
  float m_width = 0.0f;
  uint8_t m_loggedUndrawable = 0;
};

void RegisterWeaponRendererFactory(utl::FactoryMap<obj::IComponent>& makers);

}  // namespace gfx
}  // namespace vd
