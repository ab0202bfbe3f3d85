#pragma once
// Screen-space blood decals: a fixed pool of slots, each drawn every frame as one
// instance of a coarse unit sphere. The effect "decal" colours whatever surfaces
// the linear depth maps put inside a live sphere, modulated by a noise volume.
//
// Threads. Decals are added, removed and cleared on the main thread (enemy hits,
// scripts, the game flow) while the render thread may be drawing; the commit and
// the pass run on the render thread. Every change of the slots and the index
// lists happens inside the manager's own lock; the commit takes it inside the
// render lock.
#include <atomic>
#include <cstdint>
#include <vector>

#include "engine/core/Singleton.h"
#include "platform/math/Vector.h"
#include "platform/thread/Thread.h"

struct lua_State;

namespace plat {
namespace gpu {
class Device;
class VertexBuffer;
class IndexBuffer;
class VertexDeclaration;
class VolumeTexture;
}  // namespace gpu
}  // namespace plat

namespace vd {
namespace gfx {

class CRenderManager;

struct SDecal {
  uint8_t used = 0;
  uint8_t committed = 0;
  plat::Vec3 position;
  uint32_t colour = 0;  // ARGB; the alpha byte is the pass's
  float totalLife = 0.0f;
  float remainingLife = 0.0f;
  float fadeIn = 0.0f;
  float fadeOut = 0.0f;
  int32_t group = 0;
  float size = 0.0f;
  plat::Vec3 noiseOffset;
};

// One slot as the instance stream reads it (36 bytes).
#pragma pack(push, 1)
struct SDecalInstance {
  int16_t used;
  int16_t unused;
  float position[3];
  float size;
  float noiseOffset[3];
  uint32_t colour;
};
#pragma pack(pop)
static_assert(sizeof(SDecalInstance) == 36, "the instance stream's stride");

class CDecalManager : public utl::CSingleton<CDecalManager> {
public:
  static constexpr const char* kParamsFile = "Data/xml/decals.xml";
  // What one instance buffer and one noise volume may hold: larger values read
  // from the file are cut back, with a log line.
  static constexpr int32_t kMaxDecals = 4096;
  static constexpr int32_t kMaxVolumeSize = 256;
  static constexpr int32_t kDefaultVolumeSize = 128;
  // The sphere every decal is drawn with.
  static constexpr uint32_t kSphereSlices = 4;
  static constexpr uint32_t kSphereStacks = 4;

  CDecalManager();
  ~CDecalManager();
  CDecalManager(const CDecalManager&) = delete;
  CDecalManager& operator=(const CDecalManager&) = delete;

  // The newest manager is the one the scripts reach.

  // Render thread. Reads the parameters, sizes the pool and, with a device, makes
  // the declaration, sphere, instance buffer and noise volume. Always true.
  bool Init(CRenderManager* renderManager, plat::gpu::Device* device,
            const char* paramsFile = kParamsFile);
  // False when the file is missing or empty (no message) or malformed (logged).
  bool LoadParams(const char* path = kParamsFile);
  void Shutdown();
  // Default-pool instance buffer around a device reset.
  void OnLostDevice();
  void OnResetDevice();

  // Any thread. The colour's alpha is ignored; a decal starts transparent. Dropped
  // silently when every slot is taken.
  void AddDecalAt(const plat::Vec3& position, const uint32_t& colour, float size, int group,
                  float life, float fadeIn, float fadeOut);
  void AddDecal(float x, float y, float z, const unsigned long& colour, float size, int group,
                float life, float fadeIn, float fadeOut);
  void RemoveDecals(int group);
  void ResetDecals();
  void ClearDecals();

  // Render thread, under the render lock, when decals are on and changed.
  void Commit();
  // Rewrites the instance buffer from the slots and tells the render manager how
  // many decals it holds.
  void UpdateInstanceBuffer();
  // The instances of the used slots, in slot order; how many were written (at most
  // decals_max).
  int FillInstances(SDecalInstance* out) const;
  // The instances the last update wrote: those the pass draws.
  int LiveInstances() const { return m_liveInstances.load(); }

  // The decal pass: ages and fades the committed decals, then draws the live ones.
  // Nothing (no aging either) without the effect "decal".
  void Render(float dt, float width, float height);
  // Step 3 of the pass: ages the committed decals by dt and sets their alpha.
  // While the game is paused the decals keep their life and alpha.
  void Age(float dt);
  // Any thread: the pause menu stops the decals' clocks and play restarts them.
  void SetPaused(bool paused) { m_paused.store(paused); }
  bool IsPaused() const { return m_paused.load(); }
  // The alpha of a decal of that schedule: 255 between the fades; 0..255.
  static int32_t Alpha(float totalLife, float remainingLife, float fadeIn, float fadeOut);

  int32_t DecalsMax() const { return m_decalsMax; }
  int32_t VolumeTextureSize() const { return m_volumeSize; }
  const SDecal& Slot(int i) const { return m_slots[static_cast<size_t>(i)]; }
  size_t PendingAdds() const { return m_pendingAdds.size(); }
  size_t PendingRemovals() const { return m_pendingRemovals.size(); }
  // Decals placed and not on their way out. A cleared or expired slot stays used until
  // the render thread's next commit, which may be a whole front end away: a count of
  // what a level left behind must not see it.
  int32_t LiveCount() const;
  plat::gpu::VertexBuffer* InstanceBuffer() const { return m_instances; }
  plat::gpu::VolumeTexture* NoiseVolume() const { return m_noise; }

  float noiseFactor = 1.0f;
  float noiseOctaves = 4.0f;
  float noiseFrequency = 4.0f;
  float noisePersistence = 0.5f;
  float noiseLacunarity = 2.0f;
  float factor = 1.0f;

private:
  void MarkChanged();
  void CreateInstanceBuffer();
  void CreateNoiseVolume();
  void ReleaseDevice();

  CRenderManager* m_renderManager = nullptr;
  plat::gpu::Device* m_device = nullptr;
  int32_t m_decalsMax = 0;
  std::vector<SDecal> m_slots;
  std::vector<int32_t> m_pendingAdds;
  std::vector<int32_t> m_pendingRemovals;
  mutable plat::CriticalSection m_lock;
  std::vector<SDecalInstance> m_staging;
  std::atomic<int> m_liveInstances{0};
  plat::gpu::VertexDeclaration* m_declaration = nullptr;
  plat::gpu::VertexBuffer* m_sphereVertices = nullptr;
  plat::gpu::IndexBuffer* m_sphereIndices = nullptr;
  uint32_t m_sphereVertexCount = 0;
  uint32_t m_sphereFaceCount = 0;
  plat::gpu::VertexBuffer* m_instances = nullptr;
  plat::gpu::VolumeTexture* m_noise = nullptr;
  int32_t m_volumeSize = kDefaultVolumeSize;
  // Raised here when no render manager is attached (tests); else the manager's.
  bool m_changed = false;
  std::atomic<bool> m_paused{false};
};

// The Lua class "CDecalManager" ("AddDecal", "RemoveDecals", "ResetDecals") and the
// global "GetDecalManager". Safe to call more than once per state.
void RegisterDecalBindings(lua_State* state);

}  // namespace gfx
}  // namespace vd
