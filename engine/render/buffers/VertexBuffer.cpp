#include "engine/render/buffers/VertexBuffer.h"

#include <atomic>

#include "engine/core/Log.h"
#include "engine/core/Utils.h"
#include "platform/fs/FileSystem.h"

namespace vd {
namespace gfx {

namespace {
std::atomic<plat::gpu::Device*> g_device{nullptr};
}

void SetRenderDevice(plat::gpu::Device* device) { g_device = device; }
plat::gpu::Device* GetRenderDevice() { return g_device.load(); }

SIndexBuffer16::~SIndexBuffer16() {
  if (buffer) buffer->Release();
}

CVertexBufferBase::~CVertexBufferBase() { ReleaseDeviceBuffer(); }

void CVertexBufferBase::ReleaseDeviceBuffer() {
  if (m_buffer) {
    m_buffer->Release();
    m_buffer = nullptr;
  }
}

void CVertexBufferBase::SetupPrimitives(uint32_t primitiveKind) {
  m_primitiveType = primitiveKind == kMeshPrimitiveKindList ? kPrimitiveTriangleList : kPrimitiveTriangleStrip;
  const int64_t elements = m_indexBuffer ? m_indexBuffer->count : static_cast<int64_t>(m_vertexCount);
  const int64_t count = m_primitiveType == kPrimitiveTriangleStrip ? elements - 2 : elements / 3;
  m_primitiveCount = static_cast<int32_t>(count > INT32_MAX ? INT32_MAX : count);
}

void CVertexBufferBase::UploadIndices(plat::gpu::Device* device) {
  if (!m_indexBuffer || !m_indexBuffer->indices) return;
  SIndexBuffer16& ib = *m_indexBuffer;
  const uint32_t bytes = 2u * ib.count;
  if (!ib.buffer && bytes > 0) {
    plat::gpu::IndexBuffer* buffer = nullptr;
    if (plat::gpu::Succeeded(device->CreateIndexBuffer(bytes, plat::gpu::kUsageWriteOnly,
                                                       plat::gpu::kFmtIndex16, plat::gpu::kPoolManaged,
                                                       &buffer))) {
      void* data = nullptr;
      if (plat::gpu::Succeeded(buffer->Lock(0, bytes, &data, 0))) {
        std::memcpy(data, ib.indices.get(), bytes);
        buffer->Unlock();
        ib.buffer = buffer;
      } else {
        buffer->Release();
      }
    }
    if (!ib.buffer) utl::LogPrintf("Index buffer of %u indices could not be created\n", unsigned(ib.count));
  }
  // The copy goes whether or not the upload worked; an indexed mesh without its
  // device index buffer then draws nothing.
  ib.indices.reset();
}

bool CVertexBufferBase::UploadVertices(plat::gpu::Device* device, const void* data, uint32_t usage,
                                       uint32_t pool, uint32_t lockFlags) {
  const uint64_t bytes64 = uint64_t(m_vertexCount) * m_stride;
  if (bytes64 == 0 || bytes64 > 0xFFFFFFFFu) return false;
  const uint32_t bytes = static_cast<uint32_t>(bytes64);
  if (!m_buffer) {
    plat::gpu::VertexBuffer* buffer = nullptr;
    if (plat::gpu::Failed(device->CreateVertexBuffer(bytes, usage, m_fvf, pool, &buffer)) || !buffer)
      return false;
    m_buffer = buffer;
  }
  void* dst = nullptr;
  if (plat::gpu::Failed(m_buffer->Lock(0, bytes, &dst, lockFlags)) || !dst) return false;
  std::memcpy(dst, data, bytes);
  m_buffer->Unlock();
  return true;
}

void CVertexBufferBase::Bind() {
  plat::gpu::Device* device = GetRenderDevice();
  if (!device || !m_buffer) return;
  device->SetStreamSource(0, m_buffer, 0, m_stride);
  device->SetFVF(m_fvf);
  if (m_indexBuffer && m_indexBuffer->buffer) device->SetIndices(m_indexBuffer->buffer);
}

void CVertexBufferBase::DrawPrimitives(uint32_t primitiveCount, bool bind) {
  plat::gpu::Device* device = GetRenderDevice();
  if (!device || !m_buffer || primitiveCount == 0) return;
  if (bind) {
    device->SetStreamSource(0, m_buffer, 0, m_stride);
    device->SetFVF(m_fvf);
  }
  if (m_indexBuffer && m_indexBuffer->buffer) {
    if (bind) device->SetIndices(m_indexBuffer->buffer);
    device->DrawIndexedPrimitive(m_primitiveType, 0, 0, m_vertexCount, 0, primitiveCount);
  } else if (!m_indexBuffer) {
    device->DrawPrimitive(m_primitiveType, 0, primitiveCount);
  }
}

void CVertexBufferBase::DrawAll(bool bind) {
  if (m_primitiveCount > 0) DrawPrimitives(static_cast<uint32_t>(m_primitiveCount), bind);
}

void CVertexBufferBase::Draw(uint32_t primitiveCount, bool bind) { DrawPrimitives(primitiveCount, bind); }

uint32_t CVertexBufferBase::FindSubset(uint32_t id) const {
  for (size_t i = 0; i < m_subsets.size(); ++i)
    if (m_subsets[i].id == id) return static_cast<uint32_t>(i);
  return kNoSubset;
}

void CVertexBufferBase::DrawSubset(uint32_t id, bool bind) {
  // Subset -1 is the whole buffer (how screen sprites draw their quads).
  if (id == kNoSubset) {
    DrawAll(bind);
    return;
  }
  DrawSubsetAt(FindSubset(id), bind);
}

void CVertexBufferBase::DrawSubsetAt(uint32_t index, bool bind) {
  if (index >= m_subsets.size()) return;
  const SSubset& s = m_subsets[index];
  plat::gpu::Device* device = GetRenderDevice();
  if (s.triangleCount <= 0 || !device || !m_buffer) return;
  if (bind) {
    device->SetStreamSource(0, m_buffer, 0, m_stride);
    device->SetFVF(m_fvf);
  }
  const uint32_t count = static_cast<uint32_t>(s.triangleCount);
  if (m_indexBuffer && m_indexBuffer->buffer) {
    if (bind) device->SetIndices(m_indexBuffer->buffer);
    device->DrawIndexedPrimitive(m_primitiveType, 0, s.firstVertex, s.vertexSpan, 3 * s.firstTriangle, count);
  } else if (!m_indexBuffer) {
    device->DrawPrimitive(m_primitiveType, 3 * s.firstTriangle, count);
  }
}

void LogTypeMismatch(const char* name, int32_t fileType, int32_t bufferType) {
  utl::LogPrintf("Mesh %s: vertex type %d does not match the buffer's type %d\n", name ? name : "", fileType,
                 bufferType);
}

std::unique_ptr<IVertexBuffer> LoadMeshFile(const char* path) {
  if (!path) return nullptr;
  plat::fs::FileStatus status;
  FILE* file = plat::fs::OpenData(path, nullptr, &status);
  if (!file) {
    utl::LogPrintf("Mesh %s: file %s\n", path, plat::fs::Describe(status));
    return nullptr;
  }
  utl::CFileDataProvider source(file);  // closes the file
  SMeshHeader header;
  if (source.Read(header.bytes, SMeshHeader::kSize) != SMeshHeader::kSize) {
    utl::LogPrintf("Mesh %s: file too short for the header\n", path);
    return nullptr;
  }
  const int32_t type = header.VertexType();
  if (type < kFirstMeshVertexType || type > kLastMeshVertexType) {
    utl::LogPrintf("Mesh %s: unknown vertex type %d\n", path, type);
    return nullptr;
  }
  std::unique_ptr<IVertexBuffer> result;
  DispatchVertexType(type, [&](auto vertex) {
    using V = decltype(vertex);
    std::unique_ptr<CVertexBuffer<V>> buffer(new CVertexBuffer<V>());
    if (buffer->Load(header, source, path)) result = std::move(buffer);
  });
  return result;
}

template class CVertexBuffer<SIMPLE_VERTEX>;
template class CVertexBuffer<COLORED_VERTEX>;
template class CVertexBuffer<COLORED_NORM_VERTEX>;
template class CVertexBuffer<TEXTURED_VERTEX>;
template class CVertexBuffer<BITEXTURED_VERTEX>;
template class CVertexBuffer<TRITEXTURED_VERTEX>;
template class CVertexBuffer<TEXTURED_NORM_VERTEX>;
template class CVertexBuffer<BITEXTURED_NORM_VERTEX>;
template class CVertexBuffer<TRITEXTURED_NORM_VERTEX>;
template class CVertexBuffer<TEXTURED_NORM_TANGENT_VERTEX>;
template class CVertexBuffer<BITEXTURED_NORM_TANGENT_VERTEX>;
template class CVertexBuffer<TRITEXTURED_NORM_TANGENT_VERTEX>;
template class CVertexBuffer<TEXTURED_NORM_SKIN_VERTEX>;
template class CVertexBuffer<TEXTURED_NORM_TANGENT_SKIN_VERTEX>;
template class CVertexBuffer<SSAO_TEXTURED_VERTEX>;
template class CVertexBuffer<COLORED_TEXTURED_VERTEX>;

}  // namespace gfx
}  // namespace vd
