#include "engine/collision/Colliders.h"

#include <btBulletCollisionCommon.h>

#include <string>

#include "engine/collision/CharacterCollider.h"
#include "engine/collision/CollisionManager.h"
#include "engine/collision/CollisionNames.h"
#include "engine/collision/Trigger.h"
#include "engine/core/EngineNames.h"
#include "engine/core/Log.h"
#include "engine/core/Utils.h"
#include "engine/objects/ComponentKeys.h"
#include "engine/objects/GameObject.h"

namespace vd {
namespace phy {

namespace {

const plat::Vec4 kDebugColour(1.0f, 1.0f, 1.0f, 0.0f);

SCollisionUserData* UserData(const btCollisionObject* object) {
  return object ? static_cast<SCollisionUserData*>(object->getUserPointer()) : nullptr;
}

const char* OwnerName(const obj::CGameObject* owner) { return owner ? owner->GetNameText() : ""; }

// The manager that made an object, when it still exists; after the manager has
// gone the object is no longer in any world.
CCollisionManager* LiveManager(CCollisionManager* manager) {
  return manager && manager == CCollisionManager::GetInstance() ? manager : nullptr;
}

// Removes and frees an object made by CreateObject.
void DestroyObject(CCollisionManager* manager, btCollisionObject*& object) {
  if (!object) return;
  if (CCollisionManager* live = LiveManager(manager)) {
    live->RemoveObject(object);
    return;
  }
  delete object->getCollisionShape();
  delete UserData(object);
  delete object;
  object = nullptr;
}

void PlaceAtOwner(btCollisionObject* object, const obj::CGameObject* owner) {
  btTransform transform;
  MatrixToTransform(GetOwnerWorldMatrix(owner), transform);
  object->setWorldTransform(transform);
}

// Box and sphere: the record says whether the object is in the world.
void SetInWorld(CCollisionManager* manager, btCollisionObject* object, bool on) {
  SCollisionUserData* record = UserData(object);
  CCollisionManager* live = LiveManager(manager);
  if (!record || !live) return;
  if (on && !record->enabled) {
    record->enabled = 1;
    live->AddToWorld(object, record->group, record->mask);
  } else if (!on && record->enabled) {
    record->enabled = 0;
    live->RemoveFromWorld(object);
  }
}

}  // namespace

// Mesh -----------------------------------------------------------------------------

const CStringHash& CColliderMesh::GetClassName() { return SH_CColliderMesh; }

CColliderMesh::~CColliderMesh() {
  if (!IsCheckPointCopy()) Reset();
}

CColliderMesh& CColliderMesh::operator=(const CColliderMesh& other) {
  if (this == &other) return *this;
  obj::CComponent<CColliderMesh>::operator=(other);
  m_manager = other.m_manager;
  // Own copies: the source may be a template that goes away first.
  m_meshName = other.m_meshName;
  m_meshName.MakeOwned();
  m_class = other.m_class;
  m_class.MakeOwned();
  m_group = other.m_group;
  m_triangles = other.m_triangles;
  m_shape = other.m_shape;
  m_object = other.m_object;
  return *this;
}

void CColliderMesh::Load(rapidxml::xml_node<>* element) {
  obj::ForEachKey(element, [this](const obj::CKey& key) {
    const uint32_t name = key.NameHash();
    if (name == SH_mesh.GetHash()) {
      m_meshName = key.Text();
      m_meshName.MakeOwned();
    } else if (name == SH_collision_class.GetHash()) {
      m_class = key.Text();
      m_class.MakeOwned();
      if (m_class == SH_wall) m_group = kGroupWall;
      if (m_class == SH_floor) m_group = kGroupFloor;
    }
  });
}

bool CColliderMesh::Init() {
  m_manager = CCollisionManager::GetInstance();
  SCollisionMesh* mesh = m_manager ? m_manager->GetMesh(m_meshName) : nullptr;
  if (!mesh) {
    utl::LogPrintf("Mesh collider of %s: no collision mesh \"%s\"; the object has no collision\n",
                   OwnerName(m_owner), m_meshName.c_str());
    Reset();
    return false;
  }
  m_triangles = new btTriangleIndexVertexArray(
      static_cast<int>(mesh->indexCount / 3), mesh->indices.data(), 3 * sizeof(int32_t),
      static_cast<int>(mesh->vertexCount), &mesh->vertices[0].x, sizeof(plat::Vec4));
  const btVector3 boundsMin(mesh->boundsMin.x, mesh->boundsMin.y, mesh->boundsMin.z);
  const btVector3 boundsMax(mesh->boundsMax.x, mesh->boundsMax.y, mesh->boundsMax.z);
  m_shape = new btBvhTriangleMeshShape(m_triangles, true, boundsMin, boundsMax, true);
  m_object = new btCollisionObject();
  m_object->setCollisionShape(m_shape);
  PlaceAtOwner(m_object, m_owner);

  auto* record = new SCollisionUserData();
  record->enabled = 1;
  record->owner = m_owner;
  record->collisionClass = m_class;
  record->collisionClass.MakeOwned();
  record->name = OwnerName(m_owner);
  record->name.MakeOwned();
  record->object = m_object;
  record->group = m_group;
  record->mask = kMaskLevelMesh;
  m_object->setUserPointer(record);
  return true;
}

void CColliderMesh::SetEnabled(bool enabled, bool fromCheckPoint) {
  if ((m_enabled != 0) == enabled) return;
  obj::IComponent::SetEnabled(enabled, fromCheckPoint);
  CCollisionManager* live = LiveManager(m_manager);
  if (!m_object || !live) return;
  if (enabled) {
    live->AddToWorld(m_object, m_group, kMaskLevelMesh);
  } else {
    live->RemoveFromWorld(m_object);
  }
}

void CColliderMesh::Reset() {
  if (m_object) {
    if (CCollisionManager* live = LiveManager(m_manager)) {
      live->RemoveFromWorld(m_object);
      // The pairs would point at a deleted object.
      live->ForgetContacts(m_object);
    }
    delete UserData(m_object);
    delete m_object;
    m_object = nullptr;
  }
  delete m_shape;
  m_shape = nullptr;
  delete m_triangles;
  m_triangles = nullptr;
  m_group = 0;
  m_manager = nullptr;
}

// Box ------------------------------------------------------------------------------

const CStringHash& CColliderBox::GetClassName() { return SH_CColliderBox; }

CColliderBox::~CColliderBox() {
  if (!IsCheckPointCopy()) Reset();
}

void CColliderBox::Load(rapidxml::xml_node<>* element) {
  obj::ForEachKey(element, [this](const obj::CKey& key) {
    if (key.NameHash() != SH_size.GetHash()) return;
    const rapidxml::xml_node<>* node = key.Node();
    if (!node->first_attribute("x") || !node->first_attribute("y") || !node->first_attribute("z")) {
      utl::LogPrintf("Box collider of %s: a size key needs x, y and z; the size stays %g %g %g\n",
                     OwnerName(m_owner), static_cast<double>(m_size.x),
                     static_cast<double>(m_size.y), static_cast<double>(m_size.z));
      return;
    }
    // The file's z is the extent along x and its x the extent along z.
    m_size = plat::Vec4(key.Float("z"), key.Float("y"), key.Float("x"), 0.0f);
  });
}

bool CColliderBox::Init() {
  m_manager = CCollisionManager::GetInstance();
  if (!m_manager) return false;
  const std::string name = std::string("collider_box_") + OwnerName(m_owner);
  m_object = m_manager->CreateBoxObject(plat::Vec3(m_size.x, m_size.y, m_size.z), m_owner,
                                        SH_static, name.c_str(), kGroupStatic, kMaskStatic, false,
                                        kKindSolid, kDebugColour);
  if (m_object) PlaceAtOwner(m_object, m_owner);
  return m_object != nullptr;
}

void CColliderBox::SetEnabled(bool enabled, bool fromCheckPoint) {
  if ((m_enabled != 0) == enabled) return;
  obj::IComponent::SetEnabled(enabled, fromCheckPoint);
  SetInWorld(m_manager, m_object, enabled);
}

void CColliderBox::Reset() {
  DestroyObject(m_manager, m_object);
  m_manager = nullptr;
  m_size = plat::Vec4(1.0f, 1.0f, 1.0f, 0.0f);
}

// Sphere ---------------------------------------------------------------------------

const CStringHash& CColliderSphere::GetClassName() { return SH_CColliderSphere; }

CColliderSphere::~CColliderSphere() {
  if (!IsCheckPointCopy()) Reset();
}

void CColliderSphere::Load(rapidxml::xml_node<>* element) {
  obj::ForEachKey(element, [this](const obj::CKey& key) {
    if (key.NameHash() == SH_radius.GetHash()) m_radius = key.Float();
  });
}

bool CColliderSphere::Init() {
  m_manager = CCollisionManager::GetInstance();
  if (!m_manager) return false;
  const std::string name = std::string("collider_sphere_") + OwnerName(m_owner);
  m_object = m_manager->CreateSphereObject(m_owner, name.c_str(), m_radius, kDebugColour);
  if (m_object) PlaceAtOwner(m_object, m_owner);
  return m_object != nullptr;
}

void CColliderSphere::SetEnabled(bool enabled, bool fromCheckPoint) {
  if ((m_enabled != 0) == enabled) return;
  obj::IComponent::SetEnabled(enabled, fromCheckPoint);
  SetInWorld(m_manager, m_object, enabled);
}

void CColliderSphere::Reset() {
  DestroyObject(m_manager, m_object);
  m_manager = nullptr;
  m_radius = 1.0f;
}

// Makers ---------------------------------------------------------------------------

void RegisterCollisionComponentFactories(utl::FactoryMap<obj::IComponent>& makers) {
  utl::RegisterFactoryMaker<CColliderMesh, obj::IComponent>(makers);
  utl::RegisterFactoryMaker<CColliderBox, obj::IComponent>(makers);
  utl::RegisterFactoryMaker<CColliderSphere, obj::IComponent>(makers);
  utl::RegisterFactoryMaker<lgc::CTrigger, obj::IComponent>(makers);
  utl::RegisterFactoryMaker<CCharacterCollider, obj::IComponent>(makers);
}

void UnregisterCollisionComponentFactories(utl::FactoryMap<obj::IComponent>& makers) {
  utl::UnregisterFactoryMaker(SH_CColliderMesh, makers);
  utl::UnregisterFactoryMaker(SH_CColliderBox, makers);
  utl::UnregisterFactoryMaker(SH_CColliderSphere, makers);
  utl::UnregisterFactoryMaker(SH_CTrigger, makers);
  utl::UnregisterFactoryMaker(SH_CCharacterCollider, makers);
}

}  // namespace phy
}  // namespace vd
