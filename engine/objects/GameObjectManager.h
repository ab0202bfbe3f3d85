#pragma once
// Owns every game object: reads templates and instances from XML, numbers the
// instances and sorts them into the frame's update passes, applies enable, disable
// and destroy requests at the start of the next frame, answers lookups, runs the
// checkpoint events over all objects, and lets a loader thread fill it in the
// background.
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "engine/core/FactoryMaker.h"
#include "engine/core/Singleton.h"
#include "engine/core/StringHash.h"
#include "engine/events/Event.h"
#include "platform/thread/Thread.h"

struct lua_State;

namespace vd {
namespace obj {

class IComponent;
class CGameObject;

class CGameObjectManager : public utl::CSingleton<CGameObjectManager>, public evn::IEventListener {
public:
  // The newest manager is the one the scripts and the world hooks reach.
  CGameObjectManager();
  ~CGameObjectManager() override;
  CGameObjectManager(const CGameObjectManager&) = delete;
  CGameObjectManager& operator=(const CGameObjectManager&) = delete;

  // --- Life -------------------------------------------------------------------
  // Clear, then subscribe to "OnSaveCheckPoint" and "OnLoadCheckPoint" through the
  // game-object hooks (once).
  bool Init();
  // Deletes every template and object, pending ones included; empties the queues
  // and lists; ids and groups start again at 0.
  void Clear();
  // A new component of that class name (any letter case); null when unknown.
  IComponent* CreateComponent(const char* className) const;

  // --- Loading ----------------------------------------------------------------
  // Every top-level GameObjectTemplate element; false when the file is missing,
  // empty or not XML.
  bool LoadTemplates(const char* path);
  // Every top-level GameObject element; returns the group number stamped on them
  // (0 for a missing, empty or malformed file, which creates nothing). Objects are
  // queued for enabling when `enable` and their enabled-at-start flag are both set.
  int LoadInstances(const char* path, const char* scriptFolder, bool enable);
  // Set by the loader thread before it loads: templates and objects then go into
  // side maps under the manager's lock, and objects are neither filed nor queued.
  void SetBackgroundLoading(bool loading) { m_background.store(loading ? 1 : 0); }
  bool IsBackgroundLoading() const { return m_background.load() != 0; }
  // Main thread, once the loader thread has ended: merges the side maps.
  void EndBackgroundLoading();

  // --- Lookups (borrowed pointers; null or nothing when absent) -----------------
  CGameObject* GetGameObjectById(int id);
  CGameObject* GetGameObjectByName(const CStringHash& name);
  void GetGameObjectsByTemplate(const CStringHash& templateName, std::vector<CGameObject*>& out);
  void GetGameObjectsWithComponent(const CStringHash& type, std::vector<CGameObject*>& out);
  void GetGroupObjectIds(int group, std::vector<int>& out);
  size_t GetObjectCount() const { return m_instances.size(); }
  size_t GetTemplateCount() const { return m_templates.size(); }
  const CGameObject* GetTemplate(const CStringHash& name) const;

  // --- Requests (take effect in the next ApplyQueuedRequests) -------------------
  void EnableObject(const char* objectName);
  void DisableObject(const char* objectName);
  void EnableComponent(const char* objectName, const char* componentType);
  void DisableComponent(const char* objectName, const char* componentType);
  void QueueEnable(CGameObject* object, bool enable);
  void QueueComponentEnable(IComponent* component, bool enable);
  void QueueDestroy(int id);

  // Groups: enabling takes only the objects enabled at start; restart, pause and
  // resume act at once; the others are queued.
  void EnableObjectGroup(int group);
  void DisableObjectGroup(int group);
  void RestartObjectGroup(int group);
  void PauseObjectGroup(int group);
  void ResumeObjectGroup(int group);
  void DestroyObjectGroup(int group);

  // --- Frame (main thread) ------------------------------------------------------
  // First thing of the frame, while the render thread waits: object enables, then
  // component enables, then destroys (after which the commit callback runs, so that
  // destroyed renderers leave the render lists before the next draw). Also sizes
  // the render ring and drops what the last frame left in it.
  void ApplyQueuedRequests();
  // Objects with a camera controller and no renderer; always true.
  bool UpdateCameraObjects(float dt);
  // Objects without a renderer (and those whose renderers have nothing registered
  // with the render side, which never reports them drawn), then each rendered
  // object as the render thread reports it drawn, until it marks its pass finished.
  // Without a render side attached, only the first half runs. True when the pass
  // is over.
  bool UpdatePass(float dt);

  // Runs after destroys, in the hand-off window: the render manager's commit.
  void SetCommitRenderData(std::function<void()> commit) { m_commitRenderData = std::move(commit); }

  // --- Render side (render thread) ----------------------------------------------
  // While attached, UpdatePass follows the draw and waits for the pass to finish.
  void AttachRenderSide();
  // Also ends a pass that the main thread may be waiting for.
  void DetachRenderSide();
  bool IsRenderSideAttached() const { return m_renderSideAttached.load() != 0; }
  // From CGameObject::NotifyRendered: stores the object in the ring unless the ring
  // is full (then it is not updated this frame) and signals "ObjectHasBeenRendered".
  void PushRendered(CGameObject* object);
  // At the end of the render thread's pass over the drawn objects.
  void MarkRenderPassFinished();
  size_t GetRingLength() const { return m_ring.size(); }

  // "OnSaveCheckPoint" and "OnLoadCheckPoint": every instance in id order.
  void HandleEvent(evn::IEvent* event) override;

  utl::FactoryMap<IComponent> componentFactories;

private:
  struct SEnableRequest {
    CGameObject* object;
    uint8_t enable;
  };
  struct SComponentRequest {
    IComponent* component;
    uint8_t enable;
  };

  void ReadTemplate(void* element);
  // False when the element was skipped.
  bool ReadInstance(void* element, const char* scriptFolder, bool enable, int group);
  void File(CGameObject* object);
  void Destroy(int id);
  void DropRequestsFor(CGameObject* object);
  void DrainRing(float dt);
  bool HasRenderer(const CGameObject* object) const;
  // Whether any renderer of the object has entries the render side draws.
  static bool IsDrawnByRenderSide(const CGameObject* object);
  template <class F>
  void ForEachGroupObject(int group, F&& visit);

  std::map<uint32_t, CGameObject*> m_templates;
  std::map<int, CGameObject*> m_instances;
  std::vector<CGameObject*> m_plainList;
  std::vector<CGameObject*> m_cameraList;
  // Objects with a renderer, in filing order.
  std::vector<CGameObject*> m_renderedList;

  // The render ring: written by the render thread only through PushRendered, read
  // by the main thread after the rendered event; resized only in the hand-off.
  std::vector<CGameObject*> m_ring;
  size_t m_ringWanted = 1;
  std::atomic<unsigned> m_ringWrite{0};
  std::atomic<unsigned> m_ringRead{0};
  std::atomic<uint8_t> m_passFinished{0};
  std::atomic<uint8_t> m_renderSideAttached{0};
  plat::Event m_renderedEvent{false, false, "ObjectHasBeenRendered"};

  std::atomic<uint8_t> m_background{0};
  std::map<uint32_t, CGameObject*> m_pendingTemplates;
  std::map<int, CGameObject*> m_pendingInstances;

  std::vector<SEnableRequest> m_enableQueue;
  std::vector<int> m_destroyQueue;
  std::vector<SComponentRequest> m_componentQueue;

  int m_groupCounter = 0;
  int m_nextId = 0;
  // Guards the side maps, the request queues, the next id and the group counter.
  mutable plat::CriticalSection m_lock;

  std::function<void()> m_commitRenderData;
  bool m_subscribed = false;
};

// The makers of the engine's object components "CTransform" and "CCamera".
void RegisterObjectComponentFactories(utl::FactoryMap<IComponent>& makers);
void UnregisterObjectComponentFactories(utl::FactoryMap<IComponent>& makers);

// Lua: the class "GameObjectManager" (EnableObject, DisableObject, EnableComponent,
// DisableComponent) and the function "GetGameObjectManager" (the newest manager).
void RegisterObjectManagerBindings(lua_State* state);

// For the world hooks of the events and the collision side: the newest manager's
// live object of that name (null when none), and its deferred component queue
// (applied at once when there is no manager).
evn::IEventListener* FindListenerByName(const char* name);
CGameObject* FindGameObjectByName(const CStringHash& name);
void RequestComponentEnable(IComponent* component, bool enable);

}  // namespace obj
}  // namespace vd
