#pragma once
// Fixed-size element pools: events and other short-lived records are never
// allocated one by one. A pool hands out slots from chunks of N elements, each
// chunk with its own free list, grows by whole chunks and never shrinks.
#include <cstdint>
#include <exception>
#include <new>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace vd {
namespace mem {

// The header every pooled record starts with. The pool writes both fields; the
// element's own constructor and destructor never do.
class IDataPoolElement {
public:
  // Leaves the header alone: the pool has written it.
  IDataPoolElement() {}  // NOLINT: must not be value-initialised
  virtual ~IDataPoolElement() {}

  uint32_t GetPoolIndex() const { return m_poolIndex; }
  bool IsFree() const { return m_free != 0; }

  // chunk number x N + slot number
  uint32_t m_poolIndex;
  uint8_t m_free;
};

class IDataPool {
public:
  virtual ~IDataPool() = default;
};

// Thrown by Alloc for any failure; keeps the message of the failure it replaces.
class CPoolAllocError : public std::bad_alloc {
public:
  explicit CPoolAllocError(const char* message) : m_message(message ? message : "") {}
  const char* what() const noexcept override { return m_message.c_str(); }

private:
  std::string m_message;
};

template <class T, uint32_t N>
class CDataPool : public IDataPool {
  static_assert(N >= 1 && N <= 20000, "chunk size out of range");

public:
  static constexpr uint32_t kEnd = 0xFFFFFFFFu;

  CDataPool() { AddChunk(); }
  ~CDataPool() override { Clear(); }
  CDataPool(const CDataPool&) = delete;
  CDataPool& operator=(const CDataPool&) = delete;

  // Raw storage for one T, header set (free flag 0); the caller constructs T in it.
  T* Alloc() {
    uint32_t index;
    return AllocSlot(index);
  }

  // Takes back the slot with this pool index. Runs no destructor. An index that
  // names no slot, or a slot already free, is ignored rather than corrupting the
  // free list.
  void Free(uint32_t index) {
    uint32_t c = index / N;
    if (c >= m_chunks.size()) return;
    SChunk& chunk = *m_chunks[c];
    uint32_t s = index - chunk.number * N;
    if (chunk.slotFree[s]) return;
    chunk.nextFree[s] = chunk.firstFree;
    --chunk.used;
    chunk.firstFree = s;
    chunk.slotFree[s] = 1;
    if (IDataPoolElement* header = Header(chunk, s)) header->m_free = 1;
  }

  // Alloc and construct in place. A constructor that throws gives the slot back.
  template <class... Args>
  T* Construct(Args&&... args) {
    uint32_t index;
    T* slot = AllocSlot(index);
    T* object;
    try {
      object = new (static_cast<void*>(slot)) T(std::forward<Args>(args)...);
    } catch (...) {
      Free(index);
      throw;
    }
    // The compiler may treat the storage as undefined before a constructor runs;
    // write the header again now that the object exists.
    if constexpr (std::is_base_of_v<IDataPoolElement, T>) {
      object->m_poolIndex = index;
      object->m_free = 0;
    }
    return object;
  }

  // Deletes every chunk; outstanding elements become invalid.
  void Clear() {
    for (SChunk* chunk : m_chunks) delete chunk;
    m_chunks.clear();
  }

  size_t ChunkCount() const { return m_chunks.size(); }
  // Slots handed out now, over all chunks.
  uint32_t UsedCount() const {
    uint32_t n = 0;
    for (const SChunk* chunk : m_chunks) n += chunk->used;
    return n;
  }
  bool IsSlotFree(uint32_t index) const {
    uint32_t c = index / N;
    return c < m_chunks.size() && m_chunks[c]->slotFree[index % N] != 0;
  }

  // The pool index of a slot handed out by this pool; kEnd when it is not ours.
  uint32_t IndexOf(const T* slot) const {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(slot);
    for (const SChunk* chunk : m_chunks) {
      const unsigned char* base = chunk->storage;
      if (p >= base && p < base + sizeof(chunk->storage)) {
        return chunk->number * N + static_cast<uint32_t>((p - base) / sizeof(T));
      }
    }
    return kEnd;
  }

private:
  struct SChunk {
    alignas(T) unsigned char storage[sizeof(T) * N];
    uint32_t nextFree[N];
    uint32_t firstFree;
    uint32_t number;
    uint32_t used;
    // Mirrors the free flags outside the elements, so that Free can tell a slot
    // given back twice.
    uint8_t slotFree[N];
  };

  static T* Slot(SChunk& chunk, uint32_t s) {
    return reinterpret_cast<T*>(chunk.storage + static_cast<size_t>(s) * sizeof(T));
  }

  static IDataPoolElement* Header(SChunk& chunk, uint32_t s) {
    if constexpr (std::is_base_of_v<IDataPoolElement, T>) {
      return static_cast<IDataPoolElement*>(Slot(chunk, s));
    } else {
      return nullptr;
    }
  }

  SChunk* AddChunk() {
    auto* chunk = new SChunk;
    const uint32_t c = static_cast<uint32_t>(m_chunks.size());
    for (uint32_t i = 0; i < N; ++i) {
      chunk->nextFree[i] = i + 1;
      chunk->slotFree[i] = 1;
      if (IDataPoolElement* header = Header(*chunk, i)) {
        header->m_poolIndex = c * N + i;
        header->m_free = 1;
      }
    }
    chunk->nextFree[N - 1] = kEnd;
    chunk->firstFree = 0;
    chunk->number = c;
    chunk->used = 0;
    try {
      m_chunks.push_back(chunk);
    } catch (...) {
      delete chunk;
      throw;
    }
    return chunk;
  }

  T* AllocSlot(uint32_t& index) {
    for (SChunk* chunk : m_chunks) {
      if (chunk->firstFree != kEnd) return Take(*chunk, index);
    }
    return Take(*Grow(), index);
  }

  // Only growing can fail; every failure leaves as std::bad_alloc.
  __attribute__((noinline)) SChunk* Grow() {
    try {
      return AddChunk();
    } catch (const std::exception& e) {
      throw CPoolAllocError(e.what());
    } catch (...) {
      throw CPoolAllocError("Data pool allocation failed: unknown exception");
    }
  }

  static T* Take(SChunk& chunk, uint32_t& index) {
    const uint32_t s = chunk.firstFree;
    chunk.firstFree = chunk.nextFree[s];
    ++chunk.used;
    chunk.slotFree[s] = 0;
    index = chunk.number * N + s;
    if (IDataPoolElement* header = Header(chunk, s)) {
      header->m_poolIndex = index;
      header->m_free = 0;
    }
    return Slot(chunk, s);
  }

  std::vector<SChunk*> m_chunks;
};

}  // namespace mem
}  // namespace vd
