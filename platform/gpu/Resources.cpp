// Resource proxies: CPU copies that any thread may fill, uploaded by the render thread.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "platform/gpu/Internal.h"
#include "platform/thread/Thread.h"

namespace plat {
namespace gpu {

namespace {
std::mutex g_logMutex;
std::function<void(const std::string&)> g_logSink;
}  // namespace

void SetLogSink(std::function<void(const std::string&)> sink) {
  std::lock_guard<std::mutex> lock(g_logMutex);
  g_logSink = std::move(sink);
}

void LogMessage(const std::string& text) {
  std::lock_guard<std::mutex> lock(g_logMutex);
  if (g_logSink) {
    g_logSink(text);
  } else {
    std::fprintf(stderr, "gpu: %s\n", text.c_str());
    std::fflush(stderr);
  }
}

std::string Hex(uint32_t value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%X", value);
  return buffer;
}

// ---------------------------------------------------------------------------------
uint32_t Unknown::AddRef() { return ++m_refs; }

bool Unknown::TryAddRef() {
  uint32_t refs = m_refs.load();
  while (refs != 0)
    if (m_refs.compare_exchange_weak(refs, refs + 1)) return true;
  return false;
}

uint32_t Unknown::Release() {
  uint32_t left = --m_refs;
  if (left == 0) delete this;
  return left;
}

Resource::Resource(std::shared_ptr<DeviceCore> core, uint32_t pool, uint32_t usage,
                   const char* kind)
    : m_core(std::move(core)), m_pool(pool), m_usage(usage), m_name(m_core->NewName(kind)) {}

Resource::~Resource() {
  if (m_core->LogCalls()) m_core->Record("Free " + m_name);
}

void DeviceCore::Register(ResourceImpl* r, bool defaultPool) {
  if (defaultPool) ++defaultCount;
  MarkDirty(r);
}

void DeviceCore::Unregister(ResourceImpl* r, bool defaultPool) {
  if (defaultPool) --defaultCount;
  std::lock_guard<std::mutex> lock(mutex);
  dirty.erase(r);
}

// ---------------------------------------------------------------------------------
// Buffers.
namespace {

HResult LockStore(DeviceCore& core, const std::string& name, BufferStore& s, uint32_t offset,
                  uint32_t size, void** data, uint32_t flags) {
  if (!data) {
    core.Misuse("Lock " + name + ": no output pointer");
    return kErrInvalidCall;
  }
  *data = nullptr;
  std::lock_guard<std::mutex> lock(s.mutex);
  uint32_t length = static_cast<uint32_t>(s.data.size());
  if (s.locked) {
    core.Misuse("Lock " + name + ": already locked");
    return kErrInvalidCall;
  }
  if (size == 0) size = offset <= length ? length - offset : 0;
  if (offset > length || size > length - offset) {
    core.Misuse("Lock " + name + ": range " + std::to_string(offset) + "+" + std::to_string(size) +
                " outside " + std::to_string(length) + " bytes");
    return kErrInvalidCall;
  }
  if (core.LogCalls())
    core.Record("Lock " + name + " offset=" + std::to_string(offset) +
                " size=" + std::to_string(size) + " flags=" + Hex(flags));
  s.locked = true;
  s.readOnlyLock = (flags & kLockReadOnly) != 0;
  s.lockLo = offset;
  s.lockHi = offset + size;
  *data = s.data.data() + offset;
  return kOk;
}

HResult UnlockStore(DeviceCore& core, const std::string& name, BufferStore& s, ResourceImpl* self) {
  bool changed = false;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.locked) {
      core.Misuse("Unlock " + name + ": not locked");
      return kErrInvalidCall;
    }
    s.locked = false;
    if (!s.readOnlyLock && s.lockHi > s.lockLo) {
      s.dirtyLo = std::min(s.dirtyLo, s.lockLo);
      s.dirtyHi = std::max(s.dirtyHi, s.lockHi);
      changed = true;
    }
  }
  if (core.LogCalls()) core.Record("Unlock " + name);
  if (changed) core.MarkDirty(self);
  return kOk;
}

// Render thread: make the buffer and upload the dirty range.
void UploadStore(DeviceCore& core, BufferStore& s, GLenum target, bool index) {
  if (!core.gl) {
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.locked) return;
    s.dirtyLo = 0xFFFFFFFFu;
    s.dirtyHi = 0;
    return;
  }
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.locked) return;  // the Unlock queues it again
  // Index buffers go through the copy-write target so that no vertex array's element
  // binding changes underneath the device.
  GLenum bindTarget = index ? GL_COPY_WRITE_BUFFER : target;
  if (s.name == 0) {
    glGenBuffers(1, &s.name);
    glBindBuffer(bindTarget, s.name);
    glBufferData(bindTarget, static_cast<GLsizeiptr>(s.data.size()), s.data.data(),
                 s.dynamic ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
  } else if (s.dirtyHi > s.dirtyLo) {
    glBindBuffer(bindTarget, s.name);
    if (s.dirtyLo == 0 && s.dirtyHi == s.data.size())
      glBufferData(bindTarget, static_cast<GLsizeiptr>(s.data.size()), s.data.data(),
                   s.dynamic ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
    else
      glBufferSubData(bindTarget, s.dirtyLo, s.dirtyHi - s.dirtyLo, s.data.data() + s.dirtyLo);
  }
  glBindBuffer(bindTarget, 0);
  s.dirtyLo = 0xFFFFFFFFu;
  s.dirtyHi = 0;
}

void ComputeMaxIndex(BufferStore& s, uint32_t indexSize) {
  std::lock_guard<std::mutex> lock(s.mutex);
  uint32_t m = 0;
  size_t n = s.data.size() / indexSize;
  if (indexSize == 2) {
    const uint8_t* p = s.data.data();
    for (size_t i = 0; i < n; ++i) {
      uint16_t v;
      std::memcpy(&v, p + i * 2, 2);
      m = std::max<uint32_t>(m, v);
    }
  } else {
    const uint8_t* p = s.data.data();
    for (size_t i = 0; i < n; ++i) {
      uint32_t v;
      std::memcpy(&v, p + i * 4, 4);
      m = std::max(m, v);
    }
  }
  s.maxIndex = m;
}

}  // namespace

VertexBufferImpl::VertexBufferImpl(std::shared_ptr<DeviceCore> core, uint32_t length,
                                   uint32_t usage, uint32_t fvf, uint32_t pool)
    : VertexBuffer(std::move(core), pool, usage, "vb") {
  m_length = length;
  m_fvf = fvf;
  store.data.assign(length, 0);
  store.dynamic = (usage & kUsageDynamic) != 0;
  store.dirtyLo = 0;
  store.dirtyHi = length;
  m_core->Register(this, pool == kPoolDefault);
}

VertexBufferImpl::~VertexBufferImpl() {
  m_core->Unregister(this, m_pool == kPoolDefault);
  if (store.name) m_core->Discard({GlGarbage::Buffer, store.name});
}

void VertexBufferImpl::Upload() { UploadStore(*m_core, store, GL_ARRAY_BUFFER, false); }

HResult VertexBuffer::Lock(uint32_t offset, uint32_t size, void** data, uint32_t flags) {
  auto* self = static_cast<VertexBufferImpl*>(this);
  return LockStore(*m_core, m_name, self->store, offset, size, data, flags);
}

HResult VertexBuffer::Unlock() {
  auto* self = static_cast<VertexBufferImpl*>(this);
  return UnlockStore(*m_core, m_name, self->store, self);
}

IndexBufferImpl::IndexBufferImpl(std::shared_ptr<DeviceCore> core, uint32_t length, uint32_t usage,
                                 uint32_t format, uint32_t pool)
    : IndexBuffer(std::move(core), pool, usage, "ib") {
  m_length = length;
  m_format = format;
  store.data.assign(length, 0);
  store.dynamic = (usage & kUsageDynamic) != 0;
  store.dirtyLo = 0;
  store.dirtyHi = length;
  m_core->Register(this, pool == kPoolDefault);
}

IndexBufferImpl::~IndexBufferImpl() {
  m_core->Unregister(this, m_pool == kPoolDefault);
  if (store.name) m_core->Discard({GlGarbage::Buffer, store.name});
}

void IndexBufferImpl::Upload() {
  ComputeMaxIndex(store, IndexSize());
  UploadStore(*m_core, store, GL_ELEMENT_ARRAY_BUFFER, true);
}

HResult IndexBuffer::Lock(uint32_t offset, uint32_t size, void** data, uint32_t flags) {
  auto* self = static_cast<IndexBufferImpl*>(this);
  return LockStore(*m_core, m_name, self->store, offset, size, data, flags);
}

HResult IndexBuffer::Unlock() {
  auto* self = static_cast<IndexBufferImpl*>(this);
  return UnlockStore(*m_core, m_name, self->store, self);
}

// ---------------------------------------------------------------------------------
// Textures.
namespace {

void InitTextureStore(TextureStore& s, GLenum target, uint32_t faces, uint32_t levels,
                      uint32_t format, uint32_t w, uint32_t h, uint32_t d, bool renderTarget) {
  s.target = target;
  s.faces = faces;
  s.renderTarget = renderTarget;
  for (uint32_t f = 0; f < faces; ++f) {
    uint32_t lw = w, lh = h, ld = d;
    for (uint32_t l = 0; l < levels; ++l) {
      s.levelW.push_back(lw);
      s.levelH.push_back(lh);
      s.levelD.push_back(ld);
      s.levels.emplace_back(renderTarget ? 0 : FormatLevelSize(format, lw, lh) * ld, 0);
      s.levelDirty.push_back(!renderTarget);
      s.levelLocked.push_back(false);
      lw = std::max(1u, lw / 2);
      lh = std::max(1u, lh / 2);
      ld = std::max(1u, ld / 2);
    }
  }
  s.surfaces.assign(s.levels.size(), nullptr);
}

// Render thread: create the GL texture (storage for every level) and upload the
// levels whose CPU copy changed.
void UploadTextureStore(DeviceCore& core, TextureStore& s, uint32_t format, uint32_t levels) {
  if (!core.gl) {
    std::lock_guard<std::mutex> lock(s.mutex);
    for (size_t i = 0; i < s.levelDirty.size(); ++i)
      if (!s.levelLocked[i]) s.levelDirty[i] = false;
    return;
  }
  GlFormat gf;
  if (!LookUpFormat(format, &gf)) return;
  std::lock_guard<std::mutex> lock(s.mutex);
  glActiveTexture(GL_TEXTURE0 + kMaxSamplers);  // a unit the device never samples from
  // The CPU copies keep rows tightly packed: GL's default 4-byte row alignment would
  // skew the rows of 1-byte formats and read past the copy's end.
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  if (s.name == 0) {
    glGenTextures(1, &s.name);
    glBindTexture(s.target, s.name);
    glTexParameteri(s.target, GL_TEXTURE_BASE_LEVEL, 0);
    // A texture with fewer levels than a full chain is still complete.
    glTexParameteri(s.target, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(levels) - 1);
    glTexParameteriv(s.target, GL_TEXTURE_SWIZZLE_RGBA, gf.swizzle);
    for (uint32_t f = 0; f < s.faces; ++f) {
      for (uint32_t l = 0; l < levels; ++l) {
        size_t i = f * levels + l;
        GLenum t = s.target == GL_TEXTURE_CUBE_MAP ? GL_TEXTURE_CUBE_MAP_POSITIVE_X + f : s.target;
        const void* bits = s.levelDirty[i] && !s.levelLocked[i] && !s.levels[i].empty()
                               ? s.levels[i].data()
                               : nullptr;
        if (gf.compressed) {
          // Compressed levels can only be specified with their data.
          std::vector<uint8_t> zeros;
          if (!bits) {
            zeros.assign(FormatLevelSize(format, s.levelW[i], s.levelH[i]) * s.levelD[i], 0);
            bits = zeros.data();
          }
          GLsizei size =
              static_cast<GLsizei>(FormatLevelSize(format, s.levelW[i], s.levelH[i]) * s.levelD[i]);
          if (s.target == GL_TEXTURE_3D)
            glCompressedTexImage3D(t, l, gf.internal, s.levelW[i], s.levelH[i], s.levelD[i], 0,
                                   size, bits);
          else
            glCompressedTexImage2D(t, l, gf.internal, s.levelW[i], s.levelH[i], 0, size, bits);
        } else if (s.target == GL_TEXTURE_3D) {
          glTexImage3D(t, l, gf.internal, s.levelW[i], s.levelH[i], s.levelD[i], 0, gf.format,
                       gf.type, bits);
        } else {
          glTexImage2D(t, l, gf.internal, s.levelW[i], s.levelH[i], 0, gf.format, gf.type, bits);
        }
        if (bits) s.levelDirty[i] = false;
      }
    }
  } else {
    glBindTexture(s.target, s.name);
  }
  for (uint32_t f = 0; f < s.faces; ++f) {
    for (uint32_t l = 0; l < levels; ++l) {
      size_t i = f * levels + l;
      if (!s.levelDirty[i] || s.levelLocked[i] || s.levels[i].empty()) continue;
      GLenum t = s.target == GL_TEXTURE_CUBE_MAP ? GL_TEXTURE_CUBE_MAP_POSITIVE_X + f : s.target;
      GLsizei size = static_cast<GLsizei>(s.levels[i].size());
      if (gf.compressed) {
        if (s.target == GL_TEXTURE_3D)
          glCompressedTexSubImage3D(t, l, 0, 0, 0, s.levelW[i], s.levelH[i], s.levelD[i],
                                    gf.internal, size, s.levels[i].data());
        else
          glCompressedTexSubImage2D(t, l, 0, 0, s.levelW[i], s.levelH[i], gf.internal, size,
                                    s.levels[i].data());
      } else if (s.target == GL_TEXTURE_3D) {
        glTexSubImage3D(t, l, 0, 0, 0, s.levelW[i], s.levelH[i], s.levelD[i], gf.format, gf.type,
                        s.levels[i].data());
      } else {
        glTexSubImage2D(t, l, 0, 0, s.levelW[i], s.levelH[i], gf.format, gf.type,
                        s.levels[i].data());
      }
      s.levelDirty[i] = false;
    }
  }
  glBindTexture(s.target, 0);
  glActiveTexture(GL_TEXTURE0);
}

void DiscardTextureStore(DeviceCore& core, TextureStore& s) {
  if (s.name) core.Discard({GlGarbage::Texture, s.name});
  s.name = 0;
}

HResult GetSurface(DeviceCore& core, BaseTexture* owner, TextureStore& s, uint32_t levels,
                   uint32_t face, uint32_t level, Surface** out) {
  if (!out || level >= levels || face >= s.faces) {
    core.Misuse("GetSurface: no level " + std::to_string(level) + " face " + std::to_string(face));
    if (out) *out = nullptr;
    return kErrInvalidCall;
  }
  size_t i = face * levels + level;
  std::lock_guard<std::mutex> lock(s.mutex);
  // The surface holds the texture; the texture keeps a weak pointer back. A surface
  // whose last reference has just gone is on its way out (its destructor waits for this
  // lock to unlink itself): it gets a successor instead of a new reference.
  if (!s.surfaces[i] || !s.surfaces[i]->TryAddRef())
    s.surfaces[i] = new SurfaceImpl(std::shared_ptr<DeviceCore>(), owner, face, level, s.levelW[i],
                                    s.levelH[i]);
  *out = s.surfaces[i];
  return kOk;
}

}  // namespace

TextureStore* StoreOf(BaseTexture* texture) {
  if (!texture) return nullptr;
  switch (texture->Type()) {
    case ResourceType::Texture:
      return &static_cast<TextureImpl*>(texture)->store;
    case ResourceType::CubeTexture:
      return &static_cast<CubeTextureImpl*>(texture)->store;
    case ResourceType::VolumeTexture:
      return &static_cast<VolumeTextureImpl*>(texture)->store;
    default:
      return nullptr;
  }
}

TextureImpl::TextureImpl(std::shared_ptr<DeviceCore> core, uint32_t width, uint32_t height,
                         uint32_t levels, uint32_t usage, uint32_t format, uint32_t pool)
    : Texture(std::move(core), pool, usage, "tex") {
  m_width = width;
  m_height = height;
  m_format = format;
  m_levels = levels;
  InitTextureStore(store, GL_TEXTURE_2D, 1, levels, format, width, height, 1,
                   (usage & kUsageRenderTarget) != 0);
  store.autoMips = (usage & kUsageAutoGenMipmap) != 0;
  m_core->Register(this, pool == kPoolDefault);
}

TextureImpl::~TextureImpl() {
  m_core->Unregister(this, m_pool == kPoolDefault);
  DiscardTextureStore(*m_core, store);
}

void TextureImpl::Upload() { UploadTextureStore(*m_core, store, m_format, m_levels); }

HResult Texture::GetSurfaceLevel(uint32_t level, Surface** surface) {
  auto* self = static_cast<TextureImpl*>(this);
  return GetSurface(*m_core, this, self->store, m_levels, 0, level, surface);
}

HResult Texture::LockRect(uint32_t level, LockedRect* locked, const Rect* rect, uint32_t flags) {
  auto* self = static_cast<TextureImpl*>(this);
  TextureStore& s = self->store;
  if (!locked || level >= m_levels || s.renderTarget) {
    m_core->Misuse("LockRect " + m_name + ": bad level or a render target");
    return kErrInvalidCall;
  }
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.levelLocked[level]) {
    m_core->Misuse("LockRect " + m_name + ": level " + std::to_string(level) + " already locked");
    return kErrInvalidCall;
  }
  uint32_t pitch = FormatRowPitch(m_format, s.levelW[level]);
  size_t offset = 0;
  if (rect) {
    bool dxt = m_format == kFmtDXT1 || m_format == kFmtDXT3 || m_format == kFmtDXT5;
    if (rect->left < 0 || rect->top < 0 || rect->right <= rect->left || rect->bottom <= rect->top ||
        static_cast<uint32_t>(rect->right) > s.levelW[level] ||
        static_cast<uint32_t>(rect->bottom) > s.levelH[level]) {
      m_core->Misuse("LockRect " + m_name + ": rectangle outside the level");
      return kErrInvalidCall;
    }
    uint32_t row = dxt ? rect->top / 4 : rect->top;
    uint32_t col = dxt ? (rect->left / 4) * (m_format == kFmtDXT1 ? 8 : 16)
                       : rect->left * BytesPerPixel(m_format);
    offset = static_cast<size_t>(row) * pitch + col;
  }
  if (m_core->LogCalls())
    m_core->Record("LockRect " + m_name + " level=" + std::to_string(level) +
                   " flags=" + Hex(flags));
  s.levelLocked[level] = true;
  locked->pitch = static_cast<int32_t>(pitch);
  locked->bits = s.levels[level].data() + offset;
  return kOk;
}

HResult Texture::UnlockRect(uint32_t level) {
  auto* self = static_cast<TextureImpl*>(this);
  TextureStore& s = self->store;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    if (level >= m_levels || !s.levelLocked[level]) {
      m_core->Misuse("UnlockRect " + m_name + ": level " + std::to_string(level) + " not locked");
      return kErrInvalidCall;
    }
    s.levelLocked[level] = false;
    s.levelDirty[level] = true;
  }
  if (m_core->LogCalls())
    m_core->Record("UnlockRect " + m_name + " level=" + std::to_string(level));
  m_core->MarkDirty(self);
  return kOk;
}

CubeTextureImpl::CubeTextureImpl(std::shared_ptr<DeviceCore> core, uint32_t edge, uint32_t levels,
                                 uint32_t usage, uint32_t format, uint32_t pool)
    : CubeTexture(std::move(core), pool, usage, "cube") {
  m_size = edge;
  m_format = format;
  m_levels = levels;
  InitTextureStore(store, GL_TEXTURE_CUBE_MAP, 6, levels, format, edge, edge, 1,
                   (usage & kUsageRenderTarget) != 0);
  store.autoMips = (usage & kUsageAutoGenMipmap) != 0;
  m_core->Register(this, pool == kPoolDefault);
}

CubeTextureImpl::~CubeTextureImpl() {
  m_core->Unregister(this, m_pool == kPoolDefault);
  DiscardTextureStore(*m_core, store);
}

void CubeTextureImpl::Upload() { UploadTextureStore(*m_core, store, m_format, m_levels); }

HResult CubeTexture::GetCubeMapSurface(uint32_t face, uint32_t level, Surface** surface) {
  auto* self = static_cast<CubeTextureImpl*>(this);
  return GetSurface(*m_core, this, self->store, m_levels, face, level, surface);
}

VolumeTextureImpl::VolumeTextureImpl(std::shared_ptr<DeviceCore> core, uint32_t width,
                                     uint32_t height, uint32_t depth, uint32_t levels,
                                     uint32_t usage, uint32_t format, uint32_t pool)
    : VolumeTexture(std::move(core), pool, usage, "vol") {
  m_width = width;
  m_height = height;
  m_depth = depth;
  m_format = format;
  m_levels = levels;
  InitTextureStore(store, GL_TEXTURE_3D, 1, levels, format, width, height, depth, false);
  m_core->Register(this, pool == kPoolDefault);
}

VolumeTextureImpl::~VolumeTextureImpl() {
  m_core->Unregister(this, m_pool == kPoolDefault);
  DiscardTextureStore(*m_core, store);
}

void VolumeTextureImpl::Upload() { UploadTextureStore(*m_core, store, m_format, m_levels); }

HResult VolumeTexture::LockBox(uint32_t level, LockedBox* locked, const Box* box, uint32_t flags) {
  auto* self = static_cast<VolumeTextureImpl*>(this);
  TextureStore& s = self->store;
  if (!locked || level >= m_levels) {
    m_core->Misuse("LockBox " + m_name + ": bad level");
    return kErrInvalidCall;
  }
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.levelLocked[level]) {
    m_core->Misuse("LockBox " + m_name + ": level " + std::to_string(level) + " already locked");
    return kErrInvalidCall;
  }
  const uint32_t w = s.levelW[level], h = s.levelH[level], d = s.levelD[level];
  const uint32_t rowPitch = FormatRowPitch(m_format, w);
  const size_t slicePitch = FormatLevelSize(m_format, w, h);
  size_t offset = 0;
  if (box) {
    const bool dxt = IsCompressedFormat(m_format);
    if (box->right <= box->left || box->bottom <= box->top || box->back <= box->front ||
        box->right > w || box->bottom > h || box->back > d ||
        (dxt && (box->left % 4 != 0 || box->top % 4 != 0))) {
      m_core->Misuse("LockBox " + m_name + ": box outside the level");
      return kErrInvalidCall;
    }
    const uint32_t row = dxt ? box->top / 4 : box->top;
    const uint32_t col = dxt ? (box->left / 4) * (m_format == kFmtDXT1 ? 8 : 16)
                             : box->left * BytesPerPixel(m_format);
    offset = box->front * slicePitch + static_cast<size_t>(row) * rowPitch + col;
  }
  if (m_core->LogCalls())
    m_core->Record("LockBox " + m_name + " level=" + std::to_string(level) +
                   " flags=" + Hex(flags));
  s.levelLocked[level] = true;
  locked->rowPitch = static_cast<int32_t>(rowPitch);
  locked->slicePitch = static_cast<int32_t>(slicePitch);
  locked->bits = s.levels[level].data() + offset;
  return kOk;
}

HResult VolumeTexture::UnlockBox(uint32_t level) {
  auto* self = static_cast<VolumeTextureImpl*>(this);
  TextureStore& s = self->store;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    if (level >= m_levels || !s.levelLocked[level]) {
      m_core->Misuse("UnlockBox " + m_name + ": level " + std::to_string(level) + " not locked");
      return kErrInvalidCall;
    }
    s.levelLocked[level] = false;
    s.levelDirty[level] = true;
  }
  if (m_core->LogCalls()) m_core->Record("UnlockBox " + m_name + " level=" + std::to_string(level));
  m_core->MarkDirty(self);
  return kOk;
}

// ---------------------------------------------------------------------------------
// Surfaces.
namespace {
std::shared_ptr<DeviceCore> CoreOfTexture(BaseTexture* t);
}

SurfaceImpl::SurfaceImpl(std::shared_ptr<DeviceCore>, BaseTexture* owner_, uint32_t face_,
                         uint32_t level_, uint32_t width, uint32_t height)
    : Surface(CoreOfTexture(owner_), owner_->Pool(), owner_->Usage(), "surf"),
      kind(Kind::TextureLevel),
      owner(owner_),
      face(face_),
      level(level_) {
  m_width = width;
  m_height = height;
  m_format = owner->Format();
  m_name = owner->DebugName() +
           (owner->Type() == ResourceType::CubeTexture ? ".F" + std::to_string(face) : "") + ".L" +
           std::to_string(level);
  counted = false;  // the texture is what counts
  owner->AddRef();
}

SurfaceImpl::SurfaceImpl(std::shared_ptr<DeviceCore> core, Kind kind_, uint32_t width,
                         uint32_t height, uint32_t format, uint32_t samples, uint32_t pool,
                         bool counted_)
    : Surface(std::move(core), pool,
              IsDepthFormat(format) ? kUsageDepthStencil : kUsageRenderTarget,
              kind_ == Kind::BackBuffer ? "backbuffer" : "rb"),
      kind(kind_),
      counted(counted_) {
  if (kind == Kind::BackBuffer) m_name = "backbuffer";
  m_width = width;
  m_height = height;
  m_format = format;
  m_samples = samples;
  m_core->Register(this, counted && pool == kPoolDefault);
}

SurfaceImpl::~SurfaceImpl() {
  if (kind == Kind::TextureLevel) {
    if (TextureStore* s = StoreOf(owner)) {
      std::lock_guard<std::mutex> lock(s->mutex);
      for (auto& p : s->surfaces)
        if (p == this) p = nullptr;
    }
    owner->Release();
    return;
  }
  m_core->Unregister(this, counted && m_pool == kPoolDefault);
  if (renderbuffer) m_core->Discard({GlGarbage::Renderbuffer, renderbuffer});
  if (twin) m_core->Discard({GlGarbage::Renderbuffer, twin});
}

void SurfaceImpl::Upload() {
  if (!m_core->gl || kind == Kind::TextureLevel || renderbuffer) return;
  GlFormat gf;
  if (!LookUpFormat(m_format, &gf)) return;
  glGenRenderbuffers(1, &renderbuffer);
  glBindRenderbuffer(GL_RENDERBUFFER, renderbuffer);
  if (m_samples > 1)
    glRenderbufferStorageMultisample(GL_RENDERBUFFER, m_samples, gf.internal, m_width, m_height);
  else
    glRenderbufferStorage(GL_RENDERBUFFER, gf.internal, m_width, m_height);
  glBindRenderbuffer(GL_RENDERBUFFER, 0);
}

void SurfaceImpl::Rebuild(uint32_t width, uint32_t height, uint32_t format, uint32_t samples) {
  if (renderbuffer) m_core->Discard({GlGarbage::Renderbuffer, renderbuffer});
  if (twin) m_core->Discard({GlGarbage::Renderbuffer, twin});
  renderbuffer = twin = 0;
  m_width = width;
  m_height = height;
  m_format = format;
  m_samples = samples;
  m_core->MarkDirty(this);
}

GLuint SurfaceImpl::DepthTwin(uint32_t samples, uint32_t width, uint32_t height) {
  if (twin && (twinSamples != samples || twinW != width || twinH != height)) {
    glDeleteRenderbuffers(1, &twin);
    twin = 0;
  }
  if (!twin) {
    GlFormat gf;
    if (!LookUpFormat(m_format, &gf)) return 0;
    glGenRenderbuffers(1, &twin);
    glBindRenderbuffer(GL_RENDERBUFFER, twin);
    if (samples > 1)
      glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, gf.internal, width, height);
    else
      glRenderbufferStorage(GL_RENDERBUFFER, gf.internal, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    twinSamples = samples;
    twinW = width;
    twinH = height;
  }
  return twin;
}

namespace {
std::shared_ptr<DeviceCore> CoreOfTexture(BaseTexture* t) { return DeviceCore::Of(t); }
}  // namespace

// ---------------------------------------------------------------------------------
// Uniform buffers: made and filled on the render thread at once.
UniformBufferImpl::UniformBufferImpl(std::shared_ptr<DeviceCore> core, uint32_t size)
    : m_core(std::move(core)) {
  m_size = size;
  m_name = m_core->NewName("ubo");
  if (m_core->gl) {
    glGenBuffers(1, &buffer);
    glBindBuffer(GL_UNIFORM_BUFFER, buffer);
    glBufferData(GL_UNIFORM_BUFFER, size, nullptr, GL_DYNAMIC_DRAW);
    glBindBuffer(GL_UNIFORM_BUFFER, 0);
  }
}

UniformBufferImpl::~UniformBufferImpl() {
  if (buffer) m_core->Discard({GlGarbage::Buffer, buffer});
}

HResult UniformBufferImpl::Update(uint32_t offset, uint32_t size, const void* data) {
  if (!data || offset > m_size || size > m_size - offset) {
    m_core->Misuse("UniformBuffer::Update " + m_name + ": range outside the buffer");
    return kErrInvalidCall;
  }
  if (m_core->renderThread.load() != CurrentThreadId()) {
    m_core->Misuse("UniformBuffer::Update called off the render thread");
    return kErrInvalidCall;
  }
  if (m_core->LogCalls())
    m_core->Record("UpdateUniformBuffer " + m_name + " offset=" + std::to_string(offset) +
                   " size=" + std::to_string(size));
  if (buffer) {
    glBindBuffer(GL_UNIFORM_BUFFER, buffer);
    glBufferSubData(GL_UNIFORM_BUFFER, offset, size, data);
    glBindBuffer(GL_UNIFORM_BUFFER, 0);
  }
  return kOk;
}

// ---------------------------------------------------------------------------------
// Programs.
ProgramImpl::ProgramImpl(std::shared_ptr<DeviceCore> core_, std::string vs_, std::string fs_)
    : core(std::move(core_)),
      vs(std::move(vs_)),
      fs(std::move(fs_)),
      debugName(core->NewName("prog")) {}

ProgramImpl::~ProgramImpl() {
  if (name) core->Discard({GlGarbage::Program, name});
}

Program::Status Program::GetStatus() const {
  return static_cast<const ProgramImpl*>(this)->status.load();
}

std::string Program::InfoLog() const {
  auto* self = static_cast<const ProgramImpl*>(this);
  std::lock_guard<std::mutex> lock(self->mutex);
  return self->log;
}

int Program::UniformLocation(const char* name) const {
  auto* self = static_cast<const ProgramImpl*>(this);
  if (!name || self->status.load() != Status::Ready) return -1;
  auto it = self->uniforms.find(name);
  return it == self->uniforms.end() ? -1 : it->second;
}

bool Program::BindUniformBlock(const char* name, uint32_t slot) {
  auto* self = static_cast<ProgramImpl*>(this);
  if (!name || self->status.load() != Status::Ready) return false;
  auto it = self->blocks.find(name);
  if (it == self->blocks.end()) return false;
  if (self->core->LogCalls())
    self->core->Record("BindUniformBlock " + self->debugName + " " + name +
                       " slot=" + std::to_string(slot));
  if (self->core->gl) {
    if (self->core->renderThread.load() != CurrentThreadId()) {
      self->core->Misuse("BindUniformBlock called off the render thread");
      return false;
    }
    glUniformBlockBinding(self->name, it->second, slot);
  }
  return true;
}

namespace {

// Uniform and block names declared in GLSL text, for the recording back end: reads
// "uniform <type> <name>[...];" and "uniform <Block> {".
void ScanUniforms(const std::string& text, std::unordered_map<std::string, int>& uniforms,
                  std::unordered_map<std::string, uint32_t>& blocks) {
  size_t pos = 0;
  auto isIdent = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
  while ((pos = text.find("uniform", pos)) != std::string::npos) {
    bool startOk = pos == 0 || !isIdent(text[pos - 1]);
    pos += 7;
    if (!startOk || pos >= text.size() || isIdent(text[pos])) continue;
    std::vector<std::string> words;
    size_t p = pos;
    while (p < text.size() && words.size() < 3) {
      while (p < text.size() && std::isspace(static_cast<unsigned char>(text[p]))) ++p;
      if (p < text.size() && text[p] == '{') {
        if (words.size() == 1 && !blocks.count(words[0])) {
          uint32_t index = static_cast<uint32_t>(blocks.size());
          blocks[words[0]] = index;
        }
        break;
      }
      size_t b = p;
      while (p < text.size() && isIdent(text[p])) ++p;
      if (p == b) break;
      words.push_back(text.substr(b, p - b));
      if (words.size() == 2) {
        if (!uniforms.count(words[1])) {
          int loc = static_cast<int>(uniforms.size());
          uniforms[words[1]] = loc;
        }
        break;
      }
    }
  }
}

bool CompileShader(GLenum kind, const std::string& source, GLuint* out, std::string& log) {
  GLuint shader = glCreateShader(kind);
  const char* text = source.c_str();
  glShaderSource(shader, 1, &text, nullptr);
  glCompileShader(shader);
  GLint ok = 0, length = 0;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
  if (length > 1) {
    std::string text2(static_cast<size_t>(length), '\0');
    glGetShaderInfoLog(shader, length, nullptr, &text2[0]);
    text2.resize(std::strlen(text2.c_str()));
    log += (kind == GL_VERTEX_SHADER ? "vertex shader: " : "fragment shader: ") + text2;
  }
  if (!ok) {
    glDeleteShader(shader);
    return false;
  }
  *out = shader;
  return true;
}

}  // namespace

bool ProgramImpl::Build() {
  std::lock_guard<std::mutex> lock(mutex);
  if (!core->gl) {
    // No compiler here; a "#error" line still fails as the GL preprocessor would.
    for (const std::string* text : {&vs, &fs}) {
      size_t at = text->find("#error");
      if (at != std::string::npos) {
        size_t end = text->find('\n', at);
        log = (text == &vs ? "vertex shader: " : "fragment shader: ") +
              text->substr(at, end == std::string::npos ? std::string::npos : end - at);
        status = Status::Failed;
        return false;
      }
    }
    ScanUniforms(vs, uniforms, blocks);
    ScanUniforms(fs, uniforms, blocks);
    status = Status::Ready;
    return true;
  }
  GLuint v = 0, f = 0;
  bool ok = CompileShader(GL_VERTEX_SHADER, vs, &v, log);
  ok = CompileShader(GL_FRAGMENT_SHADER, fs, &f, log) && ok;
  if (!ok) {
    if (v) glDeleteShader(v);
    if (f) glDeleteShader(f);
    status = Status::Failed;
    return false;
  }
  name = glCreateProgram();
  glAttachShader(name, v);
  glAttachShader(name, f);
  ForEachAttributeName([this](int location, const char* input) {
    glBindAttribLocation(name, static_cast<GLuint>(location), input);
  });
  glLinkProgram(name);
  glDetachShader(name, v);
  glDetachShader(name, f);
  glDeleteShader(v);
  glDeleteShader(f);
  GLint linked = 0, length = 0;
  glGetProgramiv(name, GL_LINK_STATUS, &linked);
  glGetProgramiv(name, GL_INFO_LOG_LENGTH, &length);
  if (length > 1) {
    std::string text(static_cast<size_t>(length), '\0');
    glGetProgramInfoLog(name, length, nullptr, &text[0]);
    text.resize(std::strlen(text.c_str()));
    log += "link: " + text;
  }
  if (!linked) {
    glDeleteProgram(name);
    name = 0;
    status = Status::Failed;
    return false;
  }
  GLint count = 0, maxLength = 0;
  glGetProgramiv(name, GL_ACTIVE_UNIFORMS, &count);
  glGetProgramiv(name, GL_ACTIVE_UNIFORM_MAX_LENGTH, &maxLength);
  std::string buffer(static_cast<size_t>(maxLength) + 1, '\0');
  for (GLint i = 0; i < count; ++i) {
    GLsizei len = 0;
    GLint size = 0;
    GLenum type = 0;
    glGetActiveUniform(name, static_cast<GLuint>(i), maxLength, &len, &size, &type, &buffer[0]);
    std::string uname(buffer.data(), static_cast<size_t>(len));
    GLint loc = glGetUniformLocation(name, uname.c_str());
    if (loc < 0) continue;  // a member of a uniform block
    uniforms[uname] = loc;
    if (uname.size() > 3 && uname.compare(uname.size() - 3, 3, "[0]") == 0)
      uniforms[uname.substr(0, uname.size() - 3)] = loc;
  }
  GLint blockCount = 0;
  glGetProgramiv(name, GL_ACTIVE_UNIFORM_BLOCKS, &blockCount);
  for (GLint i = 0; i < blockCount; ++i) {
    GLsizei len = 0;
    char bname[256];
    glGetActiveUniformBlockName(name, static_cast<GLuint>(i), sizeof bname, &len, bname);
    blocks[std::string(bname, static_cast<size_t>(len))] = static_cast<uint32_t>(i);
  }
  status = Status::Ready;
  return true;
}

// ---------------------------------------------------------------------------------
// Recorder.
Recorder::Recorder() {
  caps.devCaps = kDevCapsHwTransformAndLight | kDevCapsPureDevice;
  caps.maxTextureWidth = caps.maxTextureHeight = 8192;
  caps.maxVolumeExtent = 2048;
  caps.maxSimultaneousTextures = 16;
  caps.maxStreams = kMaxStreams;
  caps.numSimultaneousRTs = 4;
  caps.maxPrimitiveCount = 0xFFFFFF;
  caps.maxVertexIndex = 0xFFFFFF;
  caps.vertexShaderVersion = 0xFFFE0300;
  caps.pixelShaderVersion = 0xFFFF0300;
  caps.maxVertexShaderConst = 256;
  modes.push_back({{800, 600, 60, kFmtX8R8G8B8}, {1024, 768, 60, kFmtX8R8G8B8}});
}

void Recorder::ScriptCooperativeLevel(std::vector<HResult> results) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_coop = std::move(results);
  m_coopNext = 0;
}

HResult Recorder::NextCooperativeLevel() {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_coopNext < m_coop.size()) return m_coop[m_coopNext++];
  return kOk;
}

std::vector<std::string> Recorder::Calls() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_calls;
}

std::vector<std::string> Recorder::Errors() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_errors;
}

std::vector<std::string> Recorder::CallsNamed(const std::string& name) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  std::vector<std::string> out;
  for (const auto& c : m_calls)
    if (c.compare(0, name.size(), name) == 0 && (c.size() == name.size() || c[name.size()] == ' '))
      out.push_back(c);
  return out;
}

size_t Recorder::CountCalls(const std::string& name) const { return CallsNamed(name).size(); }

void Recorder::Clear() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_calls.clear();
  m_errors.clear();
}

void Recorder::Append(std::string line) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_calls.push_back(std::move(line));
}

void Recorder::AppendError(std::string line) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_errors.push_back(std::move(line));
}

bool Recorder::ShouldFail(const char* call) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return std::find(failingCalls.begin(), failingCalls.end(), call) != failingCalls.end();
}

}  // namespace gpu
}  // namespace plat
