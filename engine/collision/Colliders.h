#pragma once
// Fixed collision shapes of game objects: a static triangle mesh from
// Data/collision/ (the level's walls and floors), a box and a sphere. Each places
// its collision object once, at the owner's world transform when it initialises.
#include <cstdint>

#include "engine/core/FactoryMaker.h"
#include "engine/core/StringHash.h"
#include "engine/objects/Component.h"
#include "platform/math/Vector.h"

class btBvhTriangleMeshShape;
class btCollisionObject;
class btTriangleIndexVertexArray;

namespace vd {
namespace phy {

class CCollisionManager;
struct SCollisionUserData;

// Keys: "mesh" (the file under Data/collision/) and "collision_class" ("wall"
// puts it in the walls' group, "floor" in the floors'). Its object enters the
// world when the component is enabled.
class CColliderMesh : public obj::CComponent<CColliderMesh> {
public:
  static const CStringHash& GetClassName();

  CColliderMesh() = default;
  ~CColliderMesh() override;
  CColliderMesh& operator=(const CColliderMesh& other);

  void Load(rapidxml::xml_node<>* element) override;
  bool HasContent() override { return m_shape != nullptr; }
  void SetEnabled(bool enabled, bool fromCheckPoint) override;
  bool Update(float) override { return true; }
  bool Init() override;
  void Reset() override;

  const CStringHash& GetMeshName() const { return m_meshName; }
  const CStringHash& GetCollisionClass() const { return m_class; }
  int GetGroup() const { return m_group; }
  btCollisionObject* GetCollisionObject() const { return m_object; }

private:
  CCollisionManager* m_manager = nullptr;
  CStringHash m_meshName;
  CStringHash m_class;
  int m_group = 0;
  btTriangleIndexVertexArray* m_triangles = nullptr;
  btBvhTriangleMeshShape* m_shape = nullptr;
  btCollisionObject* m_object = nullptr;
};

// Key "size" with the attributes z, y and x: the extents along x, y and z. Its
// object enters the world when the component is enabled.
class CColliderBox : public obj::CComponent<CColliderBox> {
public:
  static const CStringHash& GetClassName();

  CColliderBox() = default;
  ~CColliderBox() override;
  CColliderBox& operator=(const CColliderBox& other) = default;

  void Load(rapidxml::xml_node<>* element) override;
  bool HasContent() override { return m_object != nullptr; }
  void SetEnabled(bool enabled, bool fromCheckPoint) override;
  bool Update(float) override { return true; }
  bool Init() override;
  void Reset() override;

  const plat::Vec4& GetSize() const { return m_size; }
  btCollisionObject* GetCollisionObject() const { return m_object; }

private:
  CCollisionManager* m_manager = nullptr;
  plat::Vec4 m_size{1.0f, 1.0f, 1.0f, 0.0f};
  btCollisionObject* m_object = nullptr;
};

// Key "radius". Its object is in the world from Init on.
class CColliderSphere : public obj::CComponent<CColliderSphere> {
public:
  static const CStringHash& GetClassName();

  CColliderSphere() = default;
  ~CColliderSphere() override;
  CColliderSphere& operator=(const CColliderSphere& other) = default;

  void Load(rapidxml::xml_node<>* element) override;
  bool HasContent() override { return m_object != nullptr; }
  void SetEnabled(bool enabled, bool fromCheckPoint) override;
  bool Update(float) override { return true; }
  bool Init() override;
  void Reset() override;

  float GetRadius() const { return m_radius; }
  btCollisionObject* GetCollisionObject() const { return m_object; }

private:
  CCollisionManager* m_manager = nullptr;
  float m_radius = 1.0f;
  btCollisionObject* m_object = nullptr;
};

// Makers of "CColliderMesh", "CColliderBox", "CColliderSphere", "CTrigger" and
// "CCharacterCollider".
void RegisterCollisionComponentFactories(utl::FactoryMap<obj::IComponent>& makers);
void UnregisterCollisionComponentFactories(utl::FactoryMap<obj::IComponent>& makers);

}  // namespace phy
}  // namespace vd
