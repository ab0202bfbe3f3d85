#pragma once
// Fixed-size element pools: events and other short-lived records are never
// allocated one by one. A pool hands out slots from chunks of N elements, grows
// by whole chunks and never shrinks.
#include <cstddef>
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

// Where a pool's chunks come from: the heap. Tests put in a source that fails.
struct SHeapChunkSource {
  static void* Allocate(size_t bytes, size_t alignment) {
    return ::operator new(bytes, std::align_val_t(alignment));
  }
  static void Deallocate(void* block, size_t alignment) noexcept {
    ::operator delete(block, std::align_val_t(alignment));
  }
};

// The free slots of every chunk are kept on one stack of slot addresses, so that
// taking and giving back a slot costs the same however many chunks the pool has,
// and neither needs to find the slot's chunk; the slot given back last is handed
// out first. Records with the pool header keep their index and taken state in the
// header; for other types the stack holds the index too and a byte per slot says
// whether it is taken.
template <class T, uint32_t N, class ChunkSource = SHeapChunkSource>
class CDataPool : public IDataPool {
  static_assert(N >= 1 && N <= 20000, "chunk size out of range");
  static constexpr bool kHasHeader = std::is_base_of_v<IDataPoolElement, T>;

public:
  static constexpr uint32_t kEnd = 0xFFFFFFFFu;

  CDataPool() { AddChunk(); }
  ~CDataPool() override { Clear(); }
  CDataPool(const CDataPool&) = delete;
  CDataPool& operator=(const CDataPool&) = delete;

  // Raw storage for one T, header set (free flag 0). A record to be constructed
  // there is made with Construct instead: the compiler may drop header writes made
  // before a constructor, and Free and Destroy trust the header's free flag.
  T* Alloc() {
    uint32_t index;
    T* slot = Take(index);
    if constexpr (kHasHeader) {
      IDataPoolElement* header = slot;
      header->m_poolIndex = index;
      header->m_free = 0;
    }
    return slot;
  }

  // Takes back the slot with this pool index. Runs no destructor. An index that
  // names no slot, or a slot already free, is ignored rather than corrupting the
  // free list.
  void Free(uint32_t index) {
    if (index >= m_slotCount) return;
    T* slot = Slot(index);
    if constexpr (kHasHeader) {
      IDataPoolElement* header = slot;
      if (header->m_free) return;
      header->m_free = 1;
    } else {
      if (!m_taken[index]) return;
      m_taken[index] = 0;
    }
    Push(slot, index);
  }

  // Runs the destructor of an element this pool handed out and takes its slot
  // back, without looking for its chunk. An element already given back (and not
  // handed out again) is left alone: its destructor has run once already.
  void Destroy(T* object) {
    static_assert(kHasHeader, "Destroy needs the pool header");
    IDataPoolElement* header = object;
    const uint32_t index = header->m_poolIndex;
    if (header->m_free) return;
    object->~T();
    header->m_free = 1;
    Push(object, index);
  }

  // Alloc and construct in place. A constructor that throws gives the slot back.
  // Pool records (IDataPoolElement) without arguments are default-initialised, not
  // zeroed first: they give their fields their initial values themselves.
  template <class... Args>
  T* Construct(Args&&... args) {
    uint32_t index;
    T* slot = Take(index);
    T* object;
    try {
      if constexpr (sizeof...(Args) == 0 && kHasHeader) {
        object = new (static_cast<void*>(slot)) T;
      } else {
        object = new (static_cast<void*>(slot)) T(std::forward<Args>(args)...);
      }
    } catch (...) {
      if constexpr (kHasHeader) {
        static_cast<IDataPoolElement*>(slot)->m_free = 1;
      } else {
        m_taken[index] = 0;
      }
      Push(slot, index);
      throw;
    }
    // The compiler may treat the storage as undefined before a constructor runs,
    // so the header is written once the object exists.
    if constexpr (kHasHeader) {
      object->m_poolIndex = index;
      object->m_free = 0;
    }
    return object;
  }

  // Deletes every chunk; outstanding elements become invalid.
  void Clear() {
    for (SChunk* chunk : m_chunks) {
      chunk->~SChunk();
      ChunkSource::Deallocate(chunk, alignof(SChunk));
    }
    m_chunks.clear();
    m_taken.clear();
    m_freeStack.clear();
    m_freeIndex.clear();
    m_freeCount = 0;
    m_slotCount = 0;
  }

  size_t ChunkCount() const { return m_chunks.size(); }
  // Slots handed out now, over all chunks.
  uint32_t UsedCount() const { return m_slotCount - m_freeCount; }
  bool IsSlotFree(uint32_t index) const {
    if (index >= m_slotCount) return false;
    if constexpr (kHasHeader) {
      return static_cast<const IDataPoolElement*>(Slot(index))->m_free != 0;
    } else {
      return !m_taken[index];
    }
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
  // Pool indices stay below kEnd.
  static constexpr size_t kMaxChunks = kEnd / N;

  struct SChunk {
    alignas(T) unsigned char storage[sizeof(T) * N];
    uint32_t number;
  };

  static T* Slot(SChunk& chunk, uint32_t s) {
    return reinterpret_cast<T*>(chunk.storage + static_cast<size_t>(s) * sizeof(T));
  }
  T* Slot(uint32_t index) const {
    const uint32_t c = index / N;
    return Slot(*m_chunks[c], index - c * N);
  }

  // Builds the next chunk and puts its slots, in slot order, at the head of the
  // free list.
  void AddChunk() {
    const uint32_t c = static_cast<uint32_t>(m_chunks.size());
    if (c >= kMaxChunks) throw CPoolAllocError("Data pool allocation failed: too many chunks");
    const uint32_t first = c * N;
    // Every allocation comes first, so that a failure leaves the pool as it was.
    m_chunks.reserve(m_chunks.size() + 1);
    if constexpr (!kHasHeader) m_taken.reserve(m_slotCount + N);
    if (m_freeStack.size() < m_slotCount + N) m_freeStack.resize(m_slotCount + N);
    if constexpr (!kHasHeader) {
      if (m_freeIndex.size() < m_slotCount + N) m_freeIndex.resize(m_slotCount + N);
    }
    void* block = ChunkSource::Allocate(sizeof(SChunk), alignof(SChunk));
    auto* chunk = new (block) SChunk;
    chunk->number = c;
    m_chunks.push_back(chunk);
    if constexpr (!kHasHeader) m_taken.resize(m_slotCount + N, 0);
    m_slotCount += N;
    // Slot 0 on top: a new chunk hands out its slots in order.
    for (uint32_t i = N; i-- > 0;) {
      T* slot = Slot(*chunk, i);
      if constexpr (kHasHeader) {
        IDataPoolElement* header = slot;
        header->m_poolIndex = first + i;
        header->m_free = 1;
      }
      Push(slot, first + i);
    }
  }

  T* Take(uint32_t& index) {
    if (m_freeCount == 0) Grow();
    T* slot = m_freeStack[--m_freeCount];
    if constexpr (kHasHeader) {
      // A free slot keeps the index the pool wrote in its header.
      index = static_cast<const IDataPoolElement*>(slot)->m_poolIndex;
    } else {
      index = m_freeIndex[m_freeCount];
      m_taken[index] = 1;
    }
    return slot;
  }

  void Push(T* slot, uint32_t index) {
    if constexpr (!kHasHeader) m_freeIndex[m_freeCount] = index;
    m_freeStack[m_freeCount++] = slot;
  }

  // Only growing can fail; every failure leaves as std::bad_alloc.
  __attribute__((noinline)) void Grow() {
    try {
      AddChunk();
    } catch (const CPoolAllocError&) {
      throw;
    } catch (const std::exception& e) {
      throw CPoolAllocError(e.what());
    } catch (...) {
      throw CPoolAllocError("Data pool allocation failed: unknown exception");
    }
  }

  // The free slots, the one to hand out next on top; room for every slot of every
  // chunk.
  std::vector<T*> m_freeStack;
  // For types without the header: the pool index of each entry of the stack.
  std::vector<uint32_t> m_freeIndex;
  uint32_t m_freeCount = 0;
  // Slots over all chunks.
  uint32_t m_slotCount = 0;
  // Per pool index, for types without the header: 1 while the slot is handed out.
  std::vector<uint8_t> m_taken;
  std::vector<SChunk*> m_chunks;
};

}  // namespace mem
}  // namespace vd
