#pragma once
// The render manager: the resource tables the render thread draws from, the six
// render lists with their pending twins, the per-zone visibility lists, the
// settings that choose the passes (each a render copy and a pending copy), the
// render targets of the passes, and the queues through which other threads hand
// it work.
//
// Threads. The main thread writes pending copies and pending lists; the render
// thread reads render copies and drawn lists; the commit, under the render lock,
// is the one place where both meet. The loading thread only queues: while the
// background flag is set its creation requests go through three fixed rings and it
// waits for the render thread when it runs ahead; the main thread never waits
// there (its requests go to the plain lists, which the next commit that takes
// over the queued data creates).
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/core/Locks.h"
#include "engine/core/Singleton.h"
#include "engine/core/StringHash.h"
#include "engine/render/CameraView.h"
#include "engine/render/RenderData.h"
#include "engine/render/device/RenderTarget.h"
#include "engine/render/device/ResourceTables.h"
#include "platform/math/Math.h"
#include "platform/thread/Thread.h"

class CalCoreMesh;

namespace plat {
namespace image {
struct Image;
}
}  // namespace plat

namespace vd {
namespace cam {
class CCamera;
}
namespace lig {
class CAbstractLight;
}
namespace gfx {

class CGraphicsManager;
class IVertexBuffer;
class IParticleSubsystem;
class IFramePasses;

enum ERenderList : int {
  kListMesh = 0,
  kListParticle = 1,
  kListWater = 2,
  kListBackground = 3,
  kListHud = 4,
  kListMenu = 5,
  kListCount = 6
};

using CRenderList = std::list<SRenderItem>;
// Visible geometry-zone-group name hashes, one list per game zone.
using CZoneGroupLists = std::vector<std::list<uint32_t>>;

// The material table is keyed by the hash of the id's decimal text.
uint32_t MaterialKey(int32_t id);

// A setting the main thread writes (pending) and the render thread reads (render);
// the commit copies pending into render. The main thread may write at any time,
// also while the render thread commits, so the write takes the render lock; only
// the main thread writes, so its own reads of `pending` need none.
template <class T>
struct SPair {
  T render;
  T pending;
  void Set(const T& value) {
    sys::CScopedLock lock(sys::kLockRender);
    pending = value;
  }
  void Commit() { render = pending; }
};

// What the split corners are computed from: a camera's eye and axes.
struct SFrustumView {
  plat::Vec3 eye;
  plat::Vec3 forward;
  plat::Vec3 right;
  plat::Vec3 up;
  float fov = 0.0f;  // vertical field of view, radians
};

class CRenderManager : public utl::CSingleton<CRenderManager> {
public:
  static constexpr const char* kMeshFolder = "Data/meshes/";
  static constexpr const char* kTextureFolder = "Data/textures/";
  static constexpr const char* kShaderFolder = "Data/shaders/";
  static constexpr const char* kSceneGraphFile = "Data/xml/level1_scene_graph.xml";
  static constexpr const char* kDoFFile = "Data/xml/dof.xml";
  // Ring sizes (slots; one fewer request fits) and the throttle of the loader.
  static constexpr uint32_t kTextureRingSlots = 21;
  static constexpr uint32_t kShaderRingSlots = 16;
  static constexpr uint32_t kMeshRingSlots = 21;
  static constexpr int kThrottlePushes = 5;
  static constexpr int kCreationsPerRing = 6;
  static constexpr int kRenderTargetCount = 14;
  static constexpr int kShadowSplitCount = 3;

  CRenderManager();
  ~CRenderManager();
  CRenderManager(const CRenderManager&) = delete;
  CRenderManager& operator=(const CRenderManager&) = delete;

  // The application's render manager (the last constructed); null when none.

  // --- Life (render thread) ----------------------------------------------------
  bool Init(CGraphicsManager* graphics);
  // Harmless before Init and when run twice.
  void Shutdown();
  void ClearZoneGroups();
  void OnLostDevice();
  void OnResetDevice();
  // One frame on the render thread: pre-passes, the scene, the post passes and
  // Present. Every list walk reports each renderer drawn once its last entry of the
  // frame has been walked (IRenderable::OnDrawn); onPassFinished runs after the
  // last walk, before Present. `sceneCopy` is the back-buffer-sized target the
  // post passes read the picture from; `gameTime` has slow motion applied,
  // `realTime` not.
  void RenderFrame(CRenderTarget* sceneCopy, float gameTime, float realTime);
  // One frame of what the lists hold (the loading screen), for the commit's
  // onResourceCreated while it creates many resources: render thread only (nothing
  // on another thread), at most one picture every kLoadingFrameSeconds, game time
  // standing still, and no renderer reported drawn (the frame is not the game's).
  void DrawLoadingScreenFrame();
  static constexpr float kLoadingFrameSeconds = 1.0f / 30.0f;
  void RenderPrePasses(CRenderTarget* ambientOcclusion);
  void RenderScene(CRenderTarget* ambientOcclusion, CRenderTarget* sceneCopy, float dt);
  void RenderPostPasses(CRenderTarget* sceneCopy, CRenderTarget* copyBack,
                        CRenderTarget* ambientOcclusion, float dt, float realTime);
  // Takes the cameras' views for the frame (its first step).
  void TakeFrameViews();
  // The screen size the passes work at: the fields when set, else the device's
  // back buffer.
  int ScreenWidth() const;
  int ScreenHeight() const;

  // --- List walks (render thread) -----------------------------------------------------
  void DrawMeshList(CRenderTarget* ambientOcclusion, float dt);
  void DrawParticleList(CRenderTarget* ambientOcclusion, float dt);
  void DrawWaterList(CRenderTarget* sceneCopy, float width, float height, float dt);
  void DrawBackgroundList(float dt);
  void DrawHUDList(float dt);
  void DrawMenuList(float dt);
  // The scene-list draw of the depth, glow and camera-depth passes: per render type
  // the effect and technique to draw with.
  struct STechniqueEntry {
    int renderType;
    CStringHash effect;
    const char* technique;
  };
  // Returns the number of entries drawn.
  int DrawWithTechniqueTable(bool glowersOnly, const STechniqueEntry* table, int count);
  // Whether a glowers-only walk would find an entry to draw (active, ready, in a
  // visible zone and in view).
  bool HasGlowerToDraw() const;
  // The animated shadow casters of the mesh list; view and projection default to
  // the view camera's.
  void DrawShadowCasters(const CStringHash& effect, const char* technique, const plat::Mat4* view,
                         const plat::Mat4* projection, const plat::Vec3* lightPosition);

  // --- Entry drawing (render thread) -------------------------------------------------
  // Makes the entry's effect and technique current, beginning it when either
  // changed. True when it began an effect (the caller sets the frame parameters).
  bool SwitchEffect(uint32_t effect, const CStringHash& technique);
  // The effect made current by SwitchEffect (null when none), and its pass count.
  CShader* CurrentEffect() const { return m_current; }
  uint32_t CurrentPassCount() const { return m_passCount; }
  bool BeginEffect(CShader* shader);
  bool EndEffect();
  void DrawRenderEntry(const SRenderItem& item, const plat::Vec3& eye, bool switched);
  void DrawRenderEntryAt(const SRenderItem& item, const plat::Vec3& position);
  void DrawEntryPasses(const SRenderItem& item, bool meshChanged);
  bool IsEntryVisible(const SRenderItem& item) const;
  bool IsEntryInVisibleZone(const SRenderItem& item) const;
  // A water entry the water walk draws this frame (the walk's own test), and whether
  // the list holds one: only then does the water read the scene copy.
  bool WaterEntryToDraw(const SRenderItem& item) const;
  bool AnyWaterToDraw() const;
  void DrawParticleEntry(const SRenderItem& item, const plat::Vec3& eye);
  // Particle-system billboards: 0 "view_point", 1 "view_point_vert", 2 "view_plane".
  void SetBillboardAxes(const plat::Vec3& eye, const plat::Vec3& cameraFront, int alignment,
                        const plat::Mat4& systemWorld, const plat::Vec3& cameraRight);
  // The axes SetBillboardAxes sets, for a system at `position`.
  static void BillboardAxes(const plat::Vec3& eye, const plat::Vec3& position,
                            const plat::Vec3& cameraFront, const plat::Vec3& cameraRight,
                            int alignment, plat::Vec3& right, plat::Vec3& up);
  // After an entry of a renderer has been walked: the renderer is reported drawn
  // when it was the last of its entries in this frame.
  void CountWalked(const SRenderItem& item);

  // --- Parameters of one draw (render thread) -----------------------------------------
  void SetFrameParameters(const SRenderItem& item, float clock, const plat::Vec3& eye,
                          CRenderTarget* ambientOcclusion);
  void SetSSAOParameters(CRenderTarget* ambientOcclusion);
  void SetShadowParameters();
  void SetDoFParameters();

  // --- Passes of the pre- and post-pass chains ----------------------------------------
  void RenderGlow();
  void RenderDecalDepth(CRenderTarget* target, int size);
  void RenderLinearDepth(CRenderTarget* target, int size);
  void RenderSSAO(CRenderTarget* depth, CRenderTarget* output, int width, int height);
  void BlurSSAO(CRenderTarget* ssao, CRenderTarget* depth, int width, int height,
                CRenderTarget* final, int finalWidth, int finalHeight);
  void SimpleBlur(CRenderTarget* source, int width, int height, CRenderTarget* destination,
                  bool forShadows, bool throughTarget);
  void RenderSunShadowMaps();
  void RenderSpotShadowMaps();
  void RenderPointShadowMaps();
  void RenderScreenShadows(CRenderTarget* target, int size);
  void RenderCameraDepth(CRenderTarget* target);
  void RenderDecals(float dt, float width, float height);
  bool ApplyScreenShadows(CRenderTarget* sceneCopy);
  bool MergeGlow(CRenderTarget* sceneCopy, CRenderTarget* glowColour, CRenderTarget* glowDepth,
                 CRenderTarget* linearDepth);
  bool RenderDepthOfField(CRenderTarget* sceneCopy, int width, int height);
  bool RenderRadialBlur(CRenderTarget* sceneCopy);
  bool RenderFinalFX(CRenderTarget* sceneCopy, float dt);
  bool FoldDepthOfFieldIntoFinalFX(CRenderTarget* sceneCopy, int width, int height);
  void SetSunLightParameters(CShader* shader);
  void SetSpotLightParameters(CShader* shader);
  void SetPointLightParameters(CShader* shader);

  // --- Queue and commit -----------------------------------------------------------
  void QueueTexture(CTexture* texture);
  void QueueShader(CShader* shader);
  void QueueMesh(IVertexBuffer* mesh);
  // Loading thread: waits for the render thread's drain when any kind has had
  // kThrottlePushes pushes since the last wait.
  void ThrottleBackgroundQueues();
  // Up to kCreationsPerRing creations from each ring, then "QueueGfxResources".
  void CreateBackgroundResources();
  // Every request of the three plain lists.
  void CreateQueuedResources();
  // The create operation of each pending re-creation; the list is emptied.
  void RecreatePendingBuffers();
  // A default-pool buffer to make again at the start of the next frame.
  void QueueRecreation(IVertexBuffer* buffer);
  size_t PendingRecreationCount() const;
  // Main thread: returns when the render thread has committed. beginFrame and
  // waitFrameEnd are the frame hand-off ("RenderBegin" / "RenderEnd").
  void RequestRenderDataCommit(const std::function<void()>& waitFrameEnd,
                               const std::function<void()>& beginFrame);
  void CommitRenderData();
  // Loading thread: from now on its requests go through the rings; cleared when
  // the level's loading ends.
  void SetBackgroundLoading(bool on);
  bool IsBackgroundLoading() const { return m_background.load(); }

  // --- Loaders (the thread that asks) -----------------------------------------------
  // "Data/meshes/" + name. A missing or damaged file is refused with a log line
  // naming it; nothing is stored.
  void LoadMesh(const CStringHash& name);
  // kind 0 2D, 1 volume ("3DTextures/"), 2 cube ("cubeTextures/"); folder: a
  // sub-folder under those (no "/"), or null.
  void LoadTexture(const CStringHash& id, const char* folder, const char* file, uint32_t kind);
  bool LoadMaterial(int32_t id, const SMaterialDesc& desc);
  bool LoadShader(const CStringHash& fileName, const CStringHash& key);
  // A dynamic (default-pool) buffer of `vertexCount` vertices its owner fills.
  bool CreateDynamicMesh(const CStringHash& name, uint32_t vertexCount = 0);
  // The skinned buffer of submesh 0 of an animation core mesh (vertex type 13 or
  // 14). False, with a log line naming the mesh, for another type or skinning data
  // the buffer refuses; true (and nothing made) when the name is known already.
  bool CreateSkinnedMesh(const CStringHash& name, CalCoreMesh* coreMesh, int meshTypeId,
                         uint32_t skeletonBoneCount);
  // Takes a buffer built by its owner (the animator's skinned meshes); false, and
  // the buffer deleted, when the name is known already.
  bool AddMesh(const CStringHash& name, IVertexBuffer* buffer);
  // Loaded table first, then the queued one; a miss is logged and gives null.
  IVertexBuffer* FindMesh(const CStringHash& name) const;
  const SMaterial* FindMaterial(int32_t id) const;
  const CTexture* FindTexture(const CStringHash& name) const;
  CShader* FindShader(const CStringHash& name) const;
  size_t GetMeshCount() const;
  size_t GetMaterialCount() const;
  size_t GetTextureCount() const;

  // --- XML libraries ---------------------------------------------------------------
  bool LoadTextures(const char* file);
  bool LoadMaterials(const char* file);
  bool LoadShaders(const char* file);
  bool LoadSceneGraph(const char* file = kSceneGraphFile);
  bool LoadDoFParams(const char* file = kDoFFile);
  // The graphics preset of quality 0 to 5 and the player's own switches.
  void ApplyQualityPreset(int quality, bool ssao, bool glow, bool depthOfField, bool decals);
  // Leaving a level: every preset flag off, no cameras, zone groups cleared at the
  // next commit.
  void ClearLevelSettings();

  // --- Renderers -----------------------------------------------------------------
  // Builds the renderer's entries into the pending lists, fills `items` with their
  // handles and gives the data a registration handle. Returns the number of
  // entries; 0: nothing registered. A registered renderer keeps its entries.
  int AddRenderer(SRenderData& data, std::vector<SRenderItem*>& items);
  // Erases the entries (drawn and pending) and empties `items`.
  void RemoveRenderer(SRenderData& data, std::vector<SRenderItem*>& items);
  void EnableRenderer(const SRenderData& data, const std::vector<SRenderItem*>& items);
  void DisableRenderer(const SRenderData& data, const std::vector<SRenderItem*>& items);
  void SetCastShadow(const SRenderData& data, const std::vector<SRenderItem*>& items, bool cast);
  // Under the render lock: the entries move at the next commit (1: the particle
  // list, 0: the mesh list).
  void QueueMoveToRenderList0(const std::vector<SRenderItem*>& items);
  void QueueMoveToRenderList1(const std::vector<SRenderItem*>& items);
  void QueueMoveToRenderList0(int handle);
  void QueueMoveToRenderList1(int handle);

  // What the render thread sees and the main side's state, by registration handle.
  size_t GetRendererCount() const;
  bool IsRegistered(int handle) const;
  // True when the entries are active (enabled).
  bool IsInDrawnLists(int handle) const;
  // The drawn list holding the entries; -1 for an unknown handle or entries not
  // committed yet.
  int GetRenderList(int handle) const;
  // Renderers the render thread reports at its next frame.
  size_t GetCommittedDrawCount() const;
  const CRenderList& DrawnList(int kind) const { return m_drawn[kind]; }
  const CRenderList& PendingList(int kind) const { return m_pending[kind]; }
  // The list kind an entry belongs to.
  static int ListKind(int renderType, int layer);

  // --- Geometry and order -----------------------------------------------------------
  // True when the box (minimum and maximum corners) is not wholly behind one of
  // the planes (normals pointing inwards).
  static bool BoxInFrustum(const plat::Plane planes[6], const float boxMin[3],
                           const float boxMax[3]);
  bool BoxInFrustum(const float boxMin[3], const float boxMax[3]) const;
  // Near four then far four, each pushed 10% away from the centroid.
  static void SplitFrustumCorners(const SFrustumView& view, float nearDistance, float farDistance,
                                  plat::Vec3 corners[8]);
  // Strict weak orders of the list sort: 0 state order, 1 closer to the sort eye
  // first, 2 smaller position z first; any other mode keeps the order.
  bool EntryLess(const SRenderItem& a, const SRenderItem& b, int mode) const;
  // Layer, render type, effect, technique, material, mesh, lightmap, address.
  static bool StateLess(const SRenderItem& a, const SRenderItem& b);
  // Closer to the sort eye first (entries without a position last), then the
  // state order.
  bool EntryCloser(const SRenderItem& a, const SRenderItem& b) const;
  float SortDistance(const SRenderItem& item) const;
  void SortList(int kind, int mode);

  // --- Settings -------------------------------------------------------------------
  // Camera components: null means no scene.
  SPair<cam::CCamera*> cullingCamera{nullptr, nullptr};
  SPair<cam::CCamera*> viewCamera{nullptr, nullptr};
  // Taken from the cameras at the start of each frame (render thread).
  SCameraView viewState;
  SCameraView cullState;
  bool hasView = false;
  // The game's screen size; 0: the device's back buffer.
  int screenWidth = 0;
  int screenHeight = 0;
  SPair<int32_t> gameZone{0, 0};
  // Written by the light manager's commit, with the sun's position as it stood
  // then; read by the sun shadow pass and the entry draw.
  lig::CAbstractLight* sunLight = nullptr;
  plat::Vec3 sunLightPosition{0.0f, 0.0f, 0.0f};
  float dofFocalPlane = 7.66f;
  float dofFarMaxBlurPlane = 100.0f;
  float dofNearMaxBlurPlane = 1.0f;
  float dofMaxBlur = 1.0f;
  SPair<bool> depthMap{false, false};
  SPair<bool> ssao{true, true};
  SPair<bool> shadows{true, true};
  SPair<bool> glow{true, true};
  SPair<bool> shadowParameters{true, true};
  SPair<bool> sunShadows{true, true};
  SPair<bool> pcf{true, true};
  SPair<bool> screenShadows{true, true};
  SPair<bool> depthOfField{false, false};
  SPair<bool> radialBlur{false, false};
  SPair<bool> cinematicDoF{false, false};
  SPair<bool> halfResolutionShadows{false, false};
  SPair<bool> clearColourOnly{false, false};
  bool filmLook = true;
  SPair<bool> filmLookExtras{false, false};
  SPair<bool> decals{false, false};
  // A committed change of the screen-shadow size raises recreateShadowTargets.
  SPair<int32_t> screenShadowSize{512, 512};
  int32_t depthMapSize = 512;
  int32_t glowSize = 1024;
  // Render thread: whether this frame's glow pass drew a glower (the merge adds
  // nothing otherwise).
  bool glowersDrawn = true;
  CRenderTarget renderTargets[kRenderTargetCount];
  // Render thread: set by the commit that changes the screen-shadow size.
  bool recreateShadowTargets = false;
  uint32_t usedShadowSplits = 0;
  float sunShadowValue = 0.5f;
  SPair<bool> finalBlur{false, false};
  float desaturation = 0.27f;
  float desaturationMin = 0.27f;
  float desaturationMax = 1.0f;
  float filmLookValues[5] = {0.2f, 0.0f, 0.0f, 0.1f, 1.0f};
  // The last of filmLookValues.
  enum { kFilmLookIntensity = 4 };
  // The screen effect (the film look's line flashes) and its restart, which the
  // pass takes: the player switches it on while an explosion's hit shakes him.
  enum { kScreenEffect = 0, kScreenEffectRestart = 1 };
  bool filmLookSwitches[2] = {false, false};
  // The old-movie lines of the film look: switching them on while off starts them
  // over (the start-up screen, an explosion's shake); off stops them where they are.
  void SetOldMovieLines(bool on) {
    if (on && !filmLookSwitches[kScreenEffect]) filmLookSwitches[kScreenEffectRestart] = true;
    filmLookSwitches[kScreenEffect] = on;
  }
  bool OldMovieLinesOn() const { return filmLookSwitches[kScreenEffect]; }
  // How strongly the old-movie overlays show: 1 in play, more on the start-up screen.
  void SetOldMovieIntensity(float intensity) { filmLookValues[kFilmLookIntensity] = intensity; }
  float OldMovieIntensity() const { return filmLookValues[kFilmLookIntensity]; }
  // The radial blur's strength and centre (texture coordinates), written by the
  // player's effects on the main thread.
  SPair<float> radialBlurStrength{2.0f, 2.0f};
  SPair<std::array<float, 2>> filmLookTail{{0.5f, 0.5f}, {0.5f, 0.5f}};
  // The culling camera's frustum planes (render thread), normals inwards.
  plat::Plane cullingPlanes[6];
  // The eye of the mode-1 sort (render thread).
  plat::Vec3 sortEye;
  // Read and written by the passes.
  std::vector<float> passValues;
  uint32_t passValue = 0;
  uint32_t postPassValue = 0;

  bool commitRequested = false;
  bool decalsChanged = false;
  // Render thread: the decals the decal manager's last commit left to draw; -1 while
  // no decal manager reports them (the decal passes then run as their flag says).
  int liveDecals = -1;
  // Full-screen post passes followed by another that reads their whole picture draw
  // into a second copy that the next one reads, rather than into the back buffer
  // that is then copied; off, every one takes the longer way (the same picture).
  bool chainPostPasses = true;
  // Render thread: the full-screen copies of the back buffer the last frame made.
  uint32_t frameSceneCopies = 0;
  bool zoneGroupClearRequest = false;
  // Render thread, after the report of the last drawn renderer of a frame.
  std::function<void()> onPassFinished;
  // The passes with targets of their own; none: they draw nothing.
  IFramePasses* framePasses = nullptr;
  // The particle subsystem a particle entry draws, by the entry's mesh name hash.
  std::function<IParticleSubsystem*(uint32_t name)> findParticleSubsystem;
  // The particle-system manager's current zone (particle systems' zone masks).
  int particleZone = 0;
  // Clocks of the list walks (seconds).
  float meshClock = 0.0f;
  float particleClock = 0.0f;
  float waterClock = 0.0f;
  float backgroundClock = 0.0f;
  float hudClock = 0.0f;
  float menuClock = 0.0f;
  // After every resource the render thread creates (the loading screen's frame).
  std::function<void()> onResourceCreated;
  // The decal manager's commit, run when decals are on and changed.
  std::function<void()> onDecalCommit;
  // What else the commit takes over (lights, particle systems).
  std::function<void()> onCommitPending;

  // --- Tables ---------------------------------------------------------------------
  utl::CStringHashMap<CShader> shaders;
  utl::CStringHashMap<IVertexBuffer> meshes;
  utl::CStringHashMap<SMaterial> materials;
  utl::CStringHashMap<CTexture> textures;
  utl::CStringHashMap<CShader> queuedShaders;
  utl::CStringHashMap<IVertexBuffer> queuedMeshes;
  utl::CStringHashMap<SMaterial> queuedMaterials;
  utl::CStringHashMap<CTexture> queuedTextures;
  CZoneGroupLists zoneGroups;
  CZoneGroupLists pendingZoneGroups;

  // Waiting requests (for tests and the loading screen).
  uint32_t RingSize(int kind) const;
  size_t QueuedRequestCount() const;
  // Pushes the loading thread made that had to wait for a drain (never lost).
  uint64_t ThrottleWaits() const { return m_throttleWaits.load(); }
  // Device resources made (or attempted) from requests so far.
  uint64_t CreatedCount() const { return m_createdCount; }

private:
  struct SRegistration {
    SRenderData* data = nullptr;
    std::vector<SRenderItem*> items;
  };

  template <class T>
  void PushRequest(CRequestRing<T>& ring, std::vector<T*>& list, int kind, T* request);
  void CreateTexture(CTexture* texture);
  void CreateShader(CShader* shader);
  void CreateMesh(IVertexBuffer* mesh);
  void ResourceCreated();
  void WaitForDrain();
  // Erases one entry from whichever list holds it; false when none does.
  bool EraseEntry(const SRenderItem* item);
  void QueueMoves(const std::vector<SRenderItem*>& items, int toList);
  void ApplyListMoves();
  void ForgetMoves(const SRenderItem* item);
  bool EntryFound(const SRenderItem* item, bool drawnOnly) const;

  void CopyToSceneCopy(CRenderTarget* sceneCopy);
  // The back-buffer-sized target a full-screen post pass draws into when the next
  // pass reads its whole picture; null where there can be none (no graphics manager,
  // a copy of another size than the back buffer).
  CRenderTarget* SceneSpare(const CRenderTarget& sceneCopy);
  // Decals on and, as far as the decal manager has said, some to draw.
  bool DecalsToDraw() const;
  // Copies the back buffer into the scene copy when it has been drawn into since
  // the last copy; the post passes call it just before a pass that reads the copy.
  void RefreshSceneCopy(CRenderTarget* sceneCopy);
  plat::gpu::Device* RenderDevice() const;
  uint32_t Param(const CShader* shader, int index) const;
  void WalkScreenList(int kind, float& clock, float dt);
  void DrawEntryMesh(const SRenderItem& item, bool bind);
  void ApplyOwnParameters(const SRenderItem& item);
  // The entry's technique name, read under the render lock; `text` gets its text
  // when it differs from the current one.
  uint32_t ReadTechnique(const SRenderItem& item, std::string& text) const;
  bool SelectEntryEffect(const SRenderItem& item);
  bool SwitchEffectHash(uint32_t effect, uint32_t technique);
  // Ends the walk's effect and forgets it: the next walk begins its own.
  void EndWalk();

  uint32_t m_frameNumber = 0;
  // The thread Init ran on (the render thread), and the loading-screen frames.
  std::thread::id m_renderThread;
  bool m_loadingFrame = false;
  std::chrono::steady_clock::time_point m_lastLoadingFrame{};
  // The back buffer holds more than the scene copy (render thread).
  bool m_sceneCopyStale = false;
  // The post passes' second scene copy (render thread).
  CRenderTarget m_sceneSpare;
  // The effect a walk has made current and whether it has begun it.
  CShader* m_current = nullptr;
  uint32_t m_currentEffect = kNoNameHash;
  uint32_t m_currentTechnique = kNoNameHash;
  bool m_begun = false;
  uint32_t m_passCount = 0;
  // The pass of a one-pass effect, left open across entries.
  bool m_passOpen = false;
  // Draw caches, emptied at every effect switch.
  int32_t m_lastMaterial = -1;
  uint32_t m_lastLightmap = kNoNameHash;
  uint32_t m_lastMesh = kNoNameHash;
  CGraphicsManager* m_graphics = nullptr;

  CRenderList m_drawn[kListCount];
  CRenderList m_pending[kListCount];
  std::vector<SRenderItem*> m_moveToParticles;
  std::vector<SRenderItem*> m_moveToMeshes;
  bool m_listMoves = false;

  std::atomic<bool> m_background{false};
  std::atomic<std::thread::id> m_backgroundThread{};
  uint64_t m_createdCount = 0;
  CRequestRing<CTexture> m_textureRing{kTextureRingSlots};
  CRequestRing<CShader> m_shaderRing{kShaderRingSlots};
  CRequestRing<IVertexBuffer> m_meshRing{kMeshRingSlots};
  int m_pushCounts[3] = {0, 0, 0};
  std::vector<CTexture*> m_textureRequests;
  std::vector<CShader*> m_shaderRequests;
  std::vector<IVertexBuffer*> m_meshRequests;
  std::vector<IVertexBuffer*> m_pendingRecreations;
  std::unique_ptr<plat::Event> m_queueEvent;
  std::unique_ptr<plat::Event> m_commitEvent;
  std::atomic<uint64_t> m_throttleWaits{0};

  std::map<int, SRegistration> m_registrations;
  int m_nextHandle = 1;
};

}  // namespace gfx
}  // namespace vd
