#pragma once
// The render manager's resource records: textures read on the loading side and
// made on the render thread, the texture names of a material, and the fixed rings
// that carry creation requests from the loading thread to the render thread.
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/StringHash.h"

namespace plat {
namespace gpu {
class Texture;
class VolumeTexture;
class CubeTexture;
class BaseTexture;
}  // namespace gpu
}  // namespace plat

namespace vd {
namespace gfx {

enum ETextureKind : uint32_t { kTexture2D = 0, kTextureVolume = 1, kTextureCube = 2 };

class CTexture {
public:
  CTexture() = default;
  virtual ~CTexture();
  CTexture(const CTexture&) = delete;
  CTexture& operator=(const CTexture&) = delete;

  // Loading side: forgets what the record held, then keeps the name, the kind and
  // the whole file's bytes. A file that cannot be read leaves no bytes (the render
  // thread then makes nothing of it).
  void Load(const CStringHash& textureName, const char* path, uint32_t kind);
  // Drops the name, the device textures and the bytes.
  void Release();
  // The tables' release step.
  void Reset() { Release(); }
  // Frees the file bytes (after the device texture was made, or failed to be).
  void FreeFileData();
  // The device texture of the record's kind; null while not made.
  plat::gpu::BaseTexture* GetDeviceTexture() const;

  CStringHash name;  // owned copy
  uint32_t type = kTexture2D;
  plat::gpu::Texture* texture2D = nullptr;
  plat::gpu::VolumeTexture* volumeTexture = nullptr;
  plat::gpu::CubeTexture* cubeTexture = nullptr;
  uint8_t* fileData = nullptr;
  uint32_t fileSize = 0;
  // The file's path, for messages.
  std::string path;
};

// The texture names of one material, keyed by its integer id. names[0] is the
// top-diffuse map, then the bottom-diffuse (second), specular and normal maps.
struct SMaterial {
  SMaterial() = default;
  ~SMaterial() { id = -1; }
  SMaterial(const SMaterial&) = delete;
  SMaterial& operator=(const SMaterial&) = delete;
  // The tables' release step.
  void Reset() { id = -1; }

  int32_t id = -1;
  CStringHash names[4];
};

// The first name is always replaced (and cleared by an empty text); the others only
// by a non-empty text. Names are kept as owned copies.
void SetMaterialTextureNames(SMaterial& record, int32_t id, const char* name0, const char* name1,
                             const char* name2, const char* name3);

// A fixed ring of request pointers with one producer (writes the head) and one
// consumer (writes the tail). Holds at most L - 1 requests.
template <class T>
class CRequestRing {
public:
  explicit CRequestRing(uint32_t slots) : m_slots(slots, nullptr) {}

  // Producer: false when the ring is full.
  bool Push(T* request) {
    const uint32_t head = m_head.load(std::memory_order_relaxed);
    const uint32_t next = (head + 1) % Capacity();
    if (next == m_tail.load(std::memory_order_acquire)) return false;
    m_slots[head] = request;
    m_head.store(next, std::memory_order_release);
    return true;
  }
  // Consumer: the oldest request, or null when the ring is empty.
  T* Pop() {
    const uint32_t tail = m_tail.load(std::memory_order_relaxed);
    if (tail == m_head.load(std::memory_order_acquire)) return nullptr;
    T* request = m_slots[tail];
    m_slots[tail] = nullptr;
    m_tail.store((tail + 1) % Capacity(), std::memory_order_release);
    return request;
  }
  bool Empty() const {
    return m_head.load(std::memory_order_acquire) == m_tail.load(std::memory_order_acquire);
  }
  bool Full() const {
    return (m_head.load(std::memory_order_acquire) + 1) % Capacity() ==
           m_tail.load(std::memory_order_acquire);
  }
  uint32_t Size() const {
    const uint32_t head = m_head.load(std::memory_order_acquire);
    const uint32_t tail = m_tail.load(std::memory_order_acquire);
    return (head + Capacity() - tail) % Capacity();
  }
  uint32_t Capacity() const { return static_cast<uint32_t>(m_slots.size()); }
  // Only while neither side runs.
  void Clear() {
    for (T*& slot : m_slots) slot = nullptr;
    m_head = 0;
    m_tail = 0;
  }

private:
  std::vector<T*> m_slots;
  std::atomic<uint32_t> m_head{0};
  std::atomic<uint32_t> m_tail{0};
};

}  // namespace gfx
}  // namespace vd
