#pragma once
// Vertex buffers: a CPU copy filled on the loading thread, uploaded once into a
// managed device buffer on the render thread, with an optional 16-bit index buffer
// and a table of subsets drawn with their own materials.
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "engine/render/buffers/MeshFile.h"
#include "engine/render/buffers/VertexTypes.h"
#include "platform/gpu/Device.h"

namespace vd {
namespace utl {
class CDataProvider;
}
namespace gfx {

// The device every buffer draws with; set by the graphics manager while it holds
// one. Without a device, Create succeeds without uploading and Bind and the draws
// do nothing.
void SetRenderDevice(plat::gpu::Device* device);
plat::gpu::Device* GetRenderDevice();

constexpr uint32_t kNoSubset = 0xFFFFFFFFu;

void LogTypeMismatch(const char* name, int32_t fileType, int32_t bufferType);

struct SIndexBuffer16 {
  SIndexBuffer16() = default;
  ~SIndexBuffer16();
  SIndexBuffer16(const SIndexBuffer16&) = delete;
  SIndexBuffer16& operator=(const SIndexBuffer16&) = delete;

  plat::gpu::IndexBuffer* buffer = nullptr;  // null until created
  uint16_t count = 0;
  std::unique_ptr<uint16_t[]> indices;       // the CPU copy, null after upload
};

class IVertexBuffer {
public:
  virtual ~IVertexBuffer() = default;
  virtual bool IsValid() const = 0;
  virtual void Release() = 0;
  virtual void OnLostDevice() {}
  virtual void OnResetDevice() {}
  virtual bool Create() { return false; }
  virtual void Bind() = 0;
  virtual void DrawAll(bool bind) = 0;
  virtual void Draw(uint32_t primitiveCount, bool bind) = 0;
  // The first subset record with that id; kNoSubset draws the whole buffer.
  virtual void DrawSubset(uint32_t id, bool bind) = 0;
  // The subset record at that position in the table (what render entries carry),
  // whatever its id; nothing for a position past the table.
  virtual void DrawSubsetAt(uint32_t index, bool bind) = 0;
  virtual uint32_t GetSubsetCount() const = 0;
  virtual uint32_t FindSubset(uint32_t id) const = 0;
  virtual uint32_t GetVertexCount() const = 0;
  virtual int32_t GetPrimitiveCount() const = 0;
};

// The device-facing half shared by every instantiation; CVertexBuffer<T> adds the
// typed CPU copy.
class CVertexBufferBase : public IVertexBuffer {
public:
  ~CVertexBufferBase() override;

  bool IsValid() const override { return m_buffer != nullptr && m_primitiveCount > 0; }
  void Bind() override;
  void DrawAll(bool bind) override;
  void Draw(uint32_t primitiveCount, bool bind) override;
  void DrawSubset(uint32_t id, bool bind) override;
  void DrawSubsetAt(uint32_t index, bool bind) override;
  uint32_t GetSubsetCount() const override { return static_cast<uint32_t>(m_subsets.size()); }
  uint32_t FindSubset(uint32_t id) const override;
  uint32_t GetVertexCount() const override { return m_vertexCount; }
  int32_t GetPrimitiveCount() const override { return m_primitiveCount; }

  int32_t GetTypeCode() const { return m_type; }
  uint32_t GetPrimitiveType() const { return m_primitiveType; }
  const std::vector<SSubset>& GetSubsets() const { return m_subsets; }
  // Owners that write their buffer while the game runs (the weapon trail) keep its
  // subset records up to date with what they wrote.
  void SetSubsets(std::vector<SSubset> subsets) { m_subsets = std::move(subsets); }
  const SIndexBuffer16* GetIndexBuffer() const { return m_indexBuffer.get(); }
  plat::gpu::VertexBuffer* GetDeviceBuffer() const { return m_buffer; }
  uint32_t GetStride() const { return m_stride; }
  uint32_t GetFvf() const { return m_fvf; }

protected:
  CVertexBufferBase(uint32_t stride, uint32_t fvf) : m_stride(stride), m_fvf(fvf) {}
  void ReleaseDeviceBuffer();
  // Primitive type and count for the stored counts and index buffer.
  void SetupPrimitives(uint32_t primitiveKind);
  // Uploads the index array when there is one (failures are logged, not returned).
  void UploadIndices(plat::gpu::Device* device);
  // Uploads `bytes` of vertices into a new buffer of the given usage and pool.
  bool UploadVertices(plat::gpu::Device* device, const void* data, uint32_t usage, uint32_t pool,
                      uint32_t lockFlags);
  void DrawPrimitives(uint32_t primitiveCount, bool bind);

  int32_t m_type = -1;
  std::vector<SSubset> m_subsets;
  std::unique_ptr<SIndexBuffer16> m_indexBuffer;
  plat::gpu::VertexBuffer* m_buffer = nullptr;
  uint32_t m_primitiveType = kPrimitiveTriangleList;
  uint32_t m_vertexCount = 0;
  int32_t m_primitiveCount = 0;
  const uint32_t m_stride;
  const uint32_t m_fvf;
};

template <typename T>
class CVertexBuffer : public CVertexBufferBase {
public:
  CVertexBuffer() : CVertexBufferBase(sizeof(T), T::kFvf) {}

  // Drops the device buffer and the CPU copy; the index buffer stays.
  void Release() override {
    ReleaseDeviceBuffer();
    m_vertices.reset();
  }

  // Uploads the CPU copies into managed buffers and frees them. Without a device it
  // reports success and keeps them for a later call; a second call after an upload
  // has nothing left to do and succeeds.
  bool Create() override {
    plat::gpu::Device* device = GetRenderDevice();
    if (!device) return true;
    UploadIndices(device);
    if (!m_vertices) return m_buffer != nullptr;
    if (!UploadVertices(device, m_vertices.get(), 0, plat::gpu::kPoolManaged, 0)) return false;
    m_vertices.reset();
    return true;
  }

  // An empty buffer of `vertexCount` vertices; primitive kind 1 is a triangle list,
  // anything else a strip.
  void Init(uint32_t vertexCount, uint32_t primitiveKind, int32_t typeCode) {
    Release();
    m_type = typeCode;
    m_vertexCount = vertexCount;
    SetupPrimitives(primitiveKind);
    m_vertices.reset(new T[vertexCount]());
  }

  // Reads the body of a mesh file whose header was read by the caller. A malformed
  // body leaves the buffer empty, logs a line naming `name` and returns false.
  bool Load(const SMeshHeader& header, utl::CDataProvider& source, const char* name = "") {
    SMeshBody body;
    if (header.VertexType() != T::kType && header.VertexType() >= kFirstMeshVertexType &&
        header.VertexType() <= kLastMeshVertexType) {
      LogTypeMismatch(name, header.VertexType(), T::kType);
      return false;
    }
    if (!ReadMeshBody(header, source, sizeof(T), name, body)) return false;
    m_indexBuffer.reset();
    if (body.indexed) {
      m_indexBuffer.reset(new SIndexBuffer16());
      m_indexBuffer->count = header.IndexCount();
      m_indexBuffer->indices.reset(new uint16_t[body.indices.size() ? body.indices.size() : 1]);
      if (!body.indices.empty())
        std::memcpy(m_indexBuffer->indices.get(), body.indices.data(), body.indices.size() * 2);
    }
    Init(header.VertexCount(), header.PrimitiveKind(), header.VertexType());
    if (!body.vertices.empty()) std::memcpy(m_vertices.get(), body.vertices.data(), body.vertices.size());
    m_subsets = std::move(body.subsets);
    return true;
  }

  // The CPU copy (null once uploaded): vertex count elements.
  T* Vertices() { return m_vertices.get(); }
  const T* Vertices() const { return m_vertices.get(); }

protected:
  std::unique_ptr<T[]> m_vertices;
};

// Opens a mesh file, reads its header and builds the buffer of its vertex type
// (codes 1 to 12) with the body loaded. Null, with a log line naming the file, when
// it is missing or malformed.
std::unique_ptr<IVertexBuffer> LoadMeshFile(const char* path);

}  // namespace gfx
}  // namespace vd
