#include "engine/render/trail/WeaponRenderer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "engine/animation/Animator.h"
#include "engine/core/Log.h"
#include "engine/objects/GameObject.h"
#include "engine/render/RenderManager.h"
#include "engine/render/buffers/VertexBufferDyn.h"

namespace vd {
namespace gfx {

namespace {

using TrailBuffer = CVertexBufferDyn<COLORED_TEXTURED_VERTEX>;

const char* Attr(const rapidxml::xml_node<>* node, const char* name) {
  const rapidxml::xml_attribute<>* a = node ? node->first_attribute(name) : nullptr;
  return a ? a->value() : "";
}

}  // namespace

// --- Ring -----------------------------------------------------------------------

void CTrailRing::Resize(int32_t segmentMax) {
  m_capacity = segmentMax > 0 ? 2 * segmentMax + 2 : 0;
  m_vertices.assign(static_cast<size_t>(m_capacity), COLORED_TEXTURED_VERTEX());
  Clear();
}

void CTrailRing::AddSample(plat::Vec3 p1, plat::Vec3 p2, float width) {
  if (m_capacity <= 0) return;
  const plat::Vec3 mid = (p1 + p2) * 0.5f;
  if (width != 0.0f) {
    plat::Vec3 d = p1 - p2;
    if (d.x == 0.0f && d.y == 0.0f && d.z == 0.0f) d = plat::Vec3(0.0f, 1.0f, 0.0f);
    const float length = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    d = d / length;
    p1 = mid + d * (width * 0.5f);
    p2 = mid - d * (width * 0.5f);
  }
  const float u = static_cast<float>(m_valid) / static_cast<float>(m_capacity);
  COLORED_TEXTURED_VERTEX& a = m_vertices[static_cast<size_t>(m_write)];
  COLORED_TEXTURED_VERTEX& b = m_vertices[static_cast<size_t>(m_write + 1)];
  a.position = p1;
  a.color = 0xFFFFFFFFu;
  a.uv0 = plat::Vec2(u, 0.0f);
  b.position = p2;
  b.color = 0xFFFFFFFFu;
  b.uv0 = plat::Vec2(u, 1.0f);
  m_valid = std::min(m_valid + 2, m_capacity);
  m_last1 = p1;
  m_last2 = p2;
  m_lastMid = mid;
  m_write = (m_write + 2) % m_capacity;
}

void CTrailRing::Fade() {
  if (m_valid <= 0) return;
  int32_t j = m_write % m_valid;
  for (int32_t k = 0; k < m_valid; k += 2) {
    const uint32_t alpha = static_cast<uint32_t>(k * 255 / m_valid);
    const float u = static_cast<float>(k) / static_cast<float>(m_valid);
    for (int32_t v : {j, j + 1}) {
      COLORED_TEXTURED_VERTEX& vertex = m_vertices[static_cast<size_t>(v)];
      vertex.color = (alpha << 24) | 0x00FFFFFFu;
      vertex.uv0.x = u;
    }
    j = (j + 2) % m_valid;
  }
}

void CTrailRing::CopyOldestFirst(COLORED_TEXTURED_VERTEX* out) const {
  if (m_valid <= 0 || !out) return;
  const int32_t start = m_write % m_valid;
  for (int32_t n = 0; n < m_valid; ++n)
    out[n] = m_vertices[static_cast<size_t>((start + n) % m_valid)];
}

// --- Renderer -------------------------------------------------------------------

const CStringHash& CWeaponRenderer::GetClassName() {
  static const CStringHash name("CWeaponRenderer");
  return name;
}

CWeaponRenderer::CWeaponRenderer() = default;

CWeaponRenderer::~CWeaponRenderer() {
  if (!IsCheckPointCopy()) Reset();
}

CWeaponRenderer& CWeaponRenderer::operator=(const CWeaponRenderer& other) {
  if (this == &other) return *this;
  CRenderer::operator=(other);
  m_animator = other.m_animator;
  m_mesh = other.m_mesh;
  m_ring = other.m_ring;
  m_velocityThreshold = other.m_velocityThreshold;
  m_segmentMax = other.m_segmentMax;
  m_bone1 = other.m_bone1;
  m_bone2 = other.m_bone2;
  m_width = other.m_width;
  m_loggedUndrawable = other.m_loggedUndrawable;
  return *this;
}

void CWeaponRenderer::CopyFrom(const obj::IComponent& source) {
  if (source.GetType() != GetType() || &source == this) return;
  obj::CGameObject* owner = m_owner;
  obj::IComponent* copy = m_checkPointCopy;
  const uint8_t isCopy = m_isCheckPointCopy;
  const uint8_t saved = m_checkPointSaved;
  *this = static_cast<const CWeaponRenderer&>(source);
  m_owner = owner;
  m_checkPointCopy = copy;
  m_isCheckPointCopy = isCopy;
  m_checkPointSaved = saved;
}

void CWeaponRenderer::SaveCheckPoint() {
  if (m_isCheckPointCopy) return;
  if (!m_checkPointCopy) SetCheckPointCopy(new CWeaponRenderer());
  auto& copy = static_cast<CWeaponRenderer&>(*m_checkPointCopy);
  copy = *this;
  copy.m_isCheckPointCopy = 1;
  copy.m_checkPointCopy = nullptr;
  copy.m_checkPointSaved = 0;
  m_checkPointSaved = 1;
}

void CWeaponRenderer::LoadCheckPoint() {
  if (m_isCheckPointCopy || !m_checkPointCopy || !m_checkPointSaved) return;
  const auto& saved = static_cast<const CWeaponRenderer&>(*m_checkPointCopy);
  SetEnabled(saved.m_enabled != 0, true);
  OnBeforeRestore();
  obj::IComponent* copy = m_checkPointCopy;
  obj::CGameObject* owner = m_owner;
  *this = saved;
  m_checkPointCopy = copy;
  m_isCheckPointCopy = 0;
  m_checkPointSaved = 1;
  m_owner = owner;
  OnAfterRestore();
}

void CWeaponRenderer::Load(rapidxml::xml_node<>* element) {
  CRenderer::Load(element);
  if (!element) return;
  for (rapidxml::xml_node<>* key = element->first_node("key"); key;
       key = key->next_sibling("key")) {
    const char* value = Attr(key, "value");
    switch (ComputeHash(Attr(key, "name"))) {
      case ComputeHash("segment_count_max"): {
        const int n = std::atoi(value);
        m_segmentMax = std::clamp(n, 0, kMaxSegments);
        if (n != m_segmentMax) {
          utl::LogPrintf("Weapon trail %s: segment_count_max %d held to %d\n", GetMeshName().c_str(),
                         n, m_segmentMax);
        }
        m_ring.Resize(m_segmentMax);
        if (GetRenderType() == kRenderTypeDynamic && m_segmentMax > 0) {
          if (CRenderManager* manager = CRenderManager::GetInstance())
            manager->CreateDynamicMesh(GetMeshName(), static_cast<uint32_t>(m_ring.Capacity()));
        }
        break;
      }
      case ComputeHash("velocity_threshold"):
        m_velocityThreshold = static_cast<float>(std::atof(value));
        break;
      case ComputeHash("bones"):
        m_bone1 = Attr(key, "bone1");
        m_bone2 = Attr(key, "bone2");
        break;
      case ComputeHash("width"):
        m_width = static_cast<float>(std::atof(value));
        break;
      default:
        break;
    }
  }
}

bool CWeaponRenderer::CanDraw() {
  if (m_segmentMax > 0 && m_mesh) return true;
  if (!m_loggedUndrawable) {
    m_loggedUndrawable = 1;
    utl::LogPrintf("Weapon trail %s of %s: %s; not drawn\n", GetMeshName().c_str(),
                   GetOwner() ? GetOwner()->GetNameText() : "?",
                   m_segmentMax <= 0 ? "no segment_count_max" : "its mesh is missing");
  }
  return false;
}

void CWeaponRenderer::RefreshSubset() {
  auto* buffer = dynamic_cast<CVertexBufferBase*>(m_mesh);
  if (!buffer) return;
  const int32_t valid = m_ring.ValidCount();
  SSubset subset;
  subset.id = 0;
  subset.firstTriangle = 0;
  subset.triangleCount = std::clamp(valid - 2, 0, std::max(0, m_ring.Capacity() - 2));
  subset.vertexSpan = static_cast<uint32_t>(valid);
  subset.firstVertex = 0;
  buffer->SetSubsets({subset});
}

bool CWeaponRenderer::Init() {
  obj::CGameObject* owner = GetOwner();
  m_animator = owner ? owner->GetComponent<anm::CAnimator>() : nullptr;
  CRenderManager* manager = CRenderManager::GetInstance();
  m_mesh = manager && m_segmentMax > 0 ? manager->FindMesh(GetMeshName()) : nullptr;
  RefreshSubset();
  const bool result = CRenderer::Init();
  SetCastShadow(false);
  if (m_animator) {
    m_animator->subStepping = 1;
    m_animator->subStepTime = kSampleStep;
    if (!m_bone1.empty()) m_animator->AddSampledBone(m_bone1.c_str());
    if (!m_bone2.empty()) m_animator->AddSampledBone(m_bone2.c_str());
  }
  if (owner && std::strcmp(owner->GetNameText(), "player") == 0) {
    if (utl::CLogSinkHolder* sinks = utl::GetLogSinks())
      sinks->AddDebugVariable("velocity_threshold", &m_velocityThreshold, 2, m_velocityThreshold);
  }
  CanDraw();
  return result;
}

void CWeaponRenderer::Restart() {
  m_ring.Clear();
  RefreshSubset();
}

void CWeaponRenderer::SetEnabled(bool enabled, bool fromCheckPoint) {
  if (enabled == IsEnabled()) return;
  CRenderer::SetEnabled(enabled, fromCheckPoint);
  Restart();
}

void CWeaponRenderer::AddSamples(const std::vector<plat::Vec3>& first,
                                 const std::vector<plat::Vec3>& second) {
  const size_t n = std::min(first.size(), second.size());
  for (size_t i = 0; i < n; ++i) m_ring.AddSample(first[i], second[i], m_width);
  m_ring.Fade();
  if (auto* buffer = dynamic_cast<TrailBuffer*>(m_mesh)) {
    if (COLORED_TEXTURED_VERTEX* out = buffer->Vertices()) {
      if (static_cast<int32_t>(buffer->GetVertexCount()) >= m_ring.ValidCount())
        m_ring.CopyOldestFirst(out);
    }
  }
  RefreshSubset();
}

bool CWeaponRenderer::Update(float dt) {
  CRenderer::Update(dt);
  if (!CanDraw()) return true;
  static const std::vector<plat::Vec3> kNone;
  const std::vector<plat::Vec3>* first =
      m_animator ? m_animator->GetBoneSamples(m_bone1.c_str()) : nullptr;
  const std::vector<plat::Vec3>* second =
      m_animator ? m_animator->GetBoneSamples(m_bone2.c_str()) : nullptr;
  AddSamples(first ? *first : kNone, second ? *second : kNone);
  if (CRenderManager* manager = CRenderManager::GetInstance()) manager->QueueRecreation(m_mesh);
  return true;
}

void CWeaponRenderer::Reset() {
  CRenderer::Reset();
  m_velocityThreshold = 3.0f;
  m_segmentMax = 0;
  m_width = 0.0f;
  m_ring.Resize(0);
  m_mesh = nullptr;
  m_animator = nullptr;
  m_loggedUndrawable = 0;
}

void RegisterWeaponRendererFactory(utl::FactoryMap<obj::IComponent>& makers) {
  utl::RegisterFactoryMaker<CWeaponRenderer, obj::IComponent>(makers);
}

}  // namespace gfx
}  // namespace vd
