#pragma once
// A vertex buffer its owner rewrites while the game runs (the weapon trail): the
// device buffer lives in the default pool with dynamic, write-only usage and every
// upload discards the old contents; the CPU copy stays as the owner's staging area,
// which is also what brings the contents back after a device reset.
#include <cstdint>

#include "engine/render/buffers/VertexBuffer.h"

namespace vd {
namespace gfx {

// Where a default-pool buffer asks to be made again after a device reset; the
// render manager installs itself and empties its list at the start of a frame.
using RecreationRequest = void (*)(IVertexBuffer* buffer, void* context);
void SetRecreationQueue(RecreationRequest request, void* context);
// Uninstalls the queue when `context` is the installed one.
void ClearRecreationQueue(void* context);
void RequestRecreation(IVertexBuffer* buffer);

template <typename T>
class CVertexBufferDyn : public CVertexBuffer<T> {
public:
  // Usable once the device buffer exists, even while it holds fewer than three
  // vertices (it then draws nothing).
  bool IsValid() const override { return this->m_buffer != nullptr; }

  // Default-pool memory does not survive a reset; the CPU copy does.
  void OnLostDevice() override { this->ReleaseDeviceBuffer(); }
  void OnResetDevice() override { RequestRecreation(this); }

  // Fills the device buffer (made when missing, reused otherwise) from the whole CPU
  // copy. Without a device it succeeds and does nothing; a failed creation or lock
  // leaves the primitive count as it was and the next call tries again.
  bool Create() override {
    plat::gpu::Device* device = GetRenderDevice();
    if (!device) return true;
    if (!this->m_vertices) return false;
    if (!this->UploadVertices(device, this->m_vertices.get(),
                              plat::gpu::kUsageDynamic | plat::gpu::kUsageWriteOnly,
                              plat::gpu::kPoolDefault, plat::gpu::kLockDiscard))
      return false;
    const int64_t n = this->m_vertexCount;
    if (this->m_primitiveType == kPrimitiveTriangleStrip)
      this->m_primitiveCount = static_cast<int32_t>(n > 2 ? n - 2 : 0);
    else if (this->m_primitiveType == kPrimitiveTriangleList)
      this->m_primitiveCount = static_cast<int32_t>(n / 3);
    return true;
  }

  // An unindexed triangle strip of `vertexCount` vertices with a zeroed CPU copy.
  void Init(uint32_t vertexCount) {
    this->Release();
    this->m_indexBuffer.reset();
    this->m_subsets.clear();
    this->m_type = T::kType;
    this->m_vertexCount = vertexCount;
    this->m_primitiveType = kPrimitiveTriangleStrip;
    this->m_vertices.reset(new T[vertexCount]());
  }
};

}  // namespace gfx
}  // namespace vd
