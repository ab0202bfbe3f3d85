#pragma once
// The render manager as far as the game side needs it today: the render thread's
// Init, Shutdown, device hooks, frame and commit; the resource requests of
// renderers (recorded in queued tables, moved to the loaded ones on a requested
// commit); the registration of renderers' entries and their drawn lists; and the
// report to each drawn renderer. A frame clears the main target to black: nothing
// is drawn yet.
//
// Threads: the main thread (or the loading thread) requests, registers and
// switches entries under the render lock. New entries and list moves reach the
// render thread at its next commit; enabling and disabling (done in the frame
// hand-off, while the render thread waits) count at once.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "engine/core/StringHash.h"
#include "engine/render/RenderData.h"

namespace vd {
namespace gfx {

class CGraphicsManager;
class CRenderTarget;

class CRenderManager {
public:
  static constexpr const char* kMeshFolder = "Data/meshes/";
  // More subsets than this in a mesh header is taken as a damaged file.
  static constexpr int kMaxSubsets = 1024;

  CRenderManager();
  ~CRenderManager();
  CRenderManager(const CRenderManager&) = delete;
  CRenderManager& operator=(const CRenderManager&) = delete;

  // The application's render manager (the last constructed); null when none.
  static CRenderManager* GetInstance() { return s_instance; }

  bool Init(CGraphicsManager* graphics) {
    m_graphics = graphics;
    return true;
  }
  void Shutdown() { m_graphics = nullptr; }
  void OnLostDevice() {}
  void OnResetDevice() {}
  // Clears and presents; then reports every renderer whose entries are committed
  // and in the drawn lists as drawn (IRenderable::OnDrawn, once per renderer, list
  // 0 first) and calls onPassFinished.
  void RenderFrame(CRenderTarget* target, float gameTime, float clampedTime);
  // Takes over what the main thread queued: entries registered, switched or moved
  // since the last commit; with commitRequested set, also the queued resource
  // tables, and clears the flag.
  void CommitRenderData();

  // --- Resource requests (each is recorded once per name) --------------------
  // "Data/meshes/" + name. The file's header gives the subset count; a missing
  // or damaged file is logged and recorded with no subsets.
  void LoadMesh(const CStringHash& name);
  void LoadMaterial(const CStringHash& name, const SMaterialDesc& desc);
  void LoadTexture(const char* folder, const char* file, int type, const CStringHash& name);
  // Loaded, then queued; null when unknown.
  const SMesh* FindMesh(const CStringHash& name) const;
  const SMaterial* FindMaterial(const CStringHash& name) const;
  const STexture* FindTexture(const CStringHash& name) const;
  CShader* FindShader(const CStringHash& name) const;
  // Requests recorded so far, loaded and queued together.
  size_t GetMeshCount() const;
  size_t GetMaterialCount() const;
  size_t GetTextureCount() const;

  // --- Renderers ---------------------------------------------------------------
  // Registers the renderer's entries (one per mesh subset; one for a mesh of
  // unknown subsets, for particles and for screen textures; none when there is
  // nothing to draw), puts them in the drawn lists, fills `items` (one per entry)
  // and stores a handle in the data. Returns the number of entries; 0: nothing
  // registered. A registered renderer keeps its entries.
  int AddRenderer(SRenderData& data, std::vector<SRenderItem*>& items);
  // Drops the entries; the items are freed and the vector emptied.
  void RemoveRenderer(SRenderData& data, std::vector<SRenderItem*>& items);
  // Into or out of the drawn lists.
  void EnableRenderer(const SRenderData& data, const std::vector<SRenderItem*>& items);
  void DisableRenderer(const SRenderData& data, const std::vector<SRenderItem*>& items);
  // The entries move to render list 1 or 0 at the next commit.
  void QueueMoveToRenderList0(int handle) { QueueMove(handle, 0); }
  void QueueMoveToRenderList1(int handle) { QueueMove(handle, 1); }

  // What the render thread sees (as of the last commit) and the main side's state.
  size_t GetRendererCount() const;
  bool IsRegistered(int handle) const;
  bool IsInDrawnLists(int handle) const;
  // The render list of the entries as committed; -1 for an unknown handle.
  int GetRenderList(int handle) const;
  // Renderers the render thread reports at its next frame.
  size_t GetCommittedDrawCount() const;

  uint8_t commitRequested = 0;
  // Render thread, after the report of the last drawn renderer of a frame: the
  // object manager's pass-finished flag and its rendered event.
  std::function<void()> onPassFinished;

  // Shader tables (filled by the shader loading to come).
  utl::CStringHashMap<CShader> shaders;
  utl::CStringHashMap<CShader> queuedShaders;

private:
  struct SEntry {
    SRenderData* data = nullptr;
    std::vector<std::unique_ptr<SRenderItem>> items;
    bool inDrawnLists = true;
    bool committed = false;  // the render thread sees the entries
    int list = 0;
    int pendingList = -1;
  };

  void QueueMove(int handle, int list);
  static int EntryCount(const SRenderData& data, const SMesh* mesh);

  static inline CRenderManager* s_instance = nullptr;
  CGraphicsManager* m_graphics = nullptr;

  utl::CStringHashMap<SMesh> m_meshes;
  utl::CStringHashMap<SMesh> m_queuedMeshes;
  utl::CStringHashMap<SMaterial> m_materials;
  utl::CStringHashMap<SMaterial> m_queuedMaterials;
  utl::CStringHashMap<STexture> m_textures;
  utl::CStringHashMap<STexture> m_queuedTextures;

  std::map<int, SEntry> m_entries;
  int m_nextHandle = 1;
};

}  // namespace gfx
}  // namespace vd
