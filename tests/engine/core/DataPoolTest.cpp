#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "engine/core/DataPool.h"

namespace vd {
namespace mem {
namespace {

struct SRecord : IDataPoolElement {
  SRecord() = default;
  explicit SRecord(int v) : value(v) {}
  int value = 0;
};

template <class Pool>
uint32_t Take(Pool& pool) {
  return pool.Construct()->GetPoolIndex();
}

template <class Pool>
void Give(Pool& pool, uint32_t index, std::vector<SRecord*>& objects) {
  objects[index]->~SRecord();
  pool.Free(index);
}

TEST(DataPool, SingleSlotChunksGrowAndReuseTheSlotGivenBackLast) {
  CDataPool<SRecord, 1> pool;
  EXPECT_EQ(pool.ChunkCount(), 1u);
  SRecord* a = pool.Construct(1);
  SRecord* b = pool.Construct(2);
  EXPECT_EQ(a->GetPoolIndex(), 0u);
  EXPECT_EQ(b->GetPoolIndex(), 1u);
  EXPECT_EQ(pool.ChunkCount(), 2u);
  a->~SRecord();
  pool.Free(0);
  SRecord* c = pool.Construct(3);
  EXPECT_EQ(c, a);
  EXPECT_EQ(c->GetPoolIndex(), 0u);
  EXPECT_EQ(pool.ChunkCount(), 2u);

  // Across chunks too: chunk 0's slot given back before chunk 1's comes second.
  c->~SRecord();
  pool.Free(0);
  b->~SRecord();
  pool.Free(1);
  EXPECT_EQ(Take(pool), 1u);
  EXPECT_EQ(Take(pool), 0u);
  EXPECT_EQ(Take(pool), 2u);
  EXPECT_EQ(pool.ChunkCount(), 3u);
}

TEST(DataPool, GrowsByChunksAndReusesInLifoOrder) {
  CDataPool<SRecord, 20> pool;
  std::vector<SRecord*> objects;
  for (int i = 0; i < 30; ++i) {
    SRecord* r = pool.Construct(i);
    EXPECT_EQ(r->GetPoolIndex(), static_cast<uint32_t>(i));
    EXPECT_FALSE(r->IsFree());
    EXPECT_EQ(r->value, i);
    objects.push_back(r);
  }
  EXPECT_EQ(pool.ChunkCount(), 2u);
  EXPECT_EQ(objects[20]->GetPoolIndex(), 20u);

  // Slots given back come out in the reverse order, whatever their chunk.
  objects[25]->~SRecord();
  pool.Free(25);
  EXPECT_TRUE(pool.IsSlotFree(25));
  EXPECT_TRUE(objects[25]->IsFree());
  objects[3]->~SRecord();
  pool.Free(3);
  objects[7]->~SRecord();
  pool.Free(7);
  EXPECT_EQ(pool.Construct()->GetPoolIndex(), 7u);
  EXPECT_EQ(pool.Construct()->GetPoolIndex(), 3u);
  EXPECT_EQ(pool.Construct()->GetPoolIndex(), 25u);
  EXPECT_EQ(pool.Construct()->GetPoolIndex(), 30u);
  EXPECT_EQ(pool.UsedCount(), 31u);
}

TEST(DataPool, EmptiedPoolKeepsChunksAndReturnsTheLastFreedFirst) {
  CDataPool<SRecord, 2> pool;
  std::vector<SRecord*> objects;
  for (int i = 0; i < 4; ++i) objects.push_back(pool.Construct(i));
  for (uint32_t i : {1u, 0u, 2u, 3u}) Give(pool, i, objects);
  EXPECT_EQ(pool.ChunkCount(), 2u);
  EXPECT_EQ(pool.UsedCount(), 0u);
  EXPECT_EQ(Take(pool), 3u);
  EXPECT_EQ(Take(pool), 2u);
  EXPECT_EQ(Take(pool), 0u);
  EXPECT_EQ(Take(pool), 1u);
  EXPECT_EQ(Take(pool), 4u);
  EXPECT_EQ(pool.ChunkCount(), 3u);
}

TEST(DataPool, SlotGivenBackTwiceOrForeignIndexIsIgnored) {
  CDataPool<SRecord, 4> pool;
  SRecord* a = pool.Construct();
  pool.Construct();
  a->~SRecord();
  pool.Free(0);
  pool.Free(0);
  pool.Free(9999);
  EXPECT_EQ(pool.UsedCount(), 1u);
  EXPECT_EQ(Take(pool), 0u);
  EXPECT_EQ(Take(pool), 2u);
}

// Counts its destructions, so that a second give-back shows as a second one.
struct SCounted : IDataPoolElement {
  static inline int destroyed = 0;
  ~SCounted() override { ++destroyed; }
};

TEST(DataPool, DestroyRunsTheDestructorOnceAndReusesTheSlot) {
  CDataPool<SCounted, 2> pool;
  SCounted::destroyed = 0;
  SCounted* a = pool.Construct();
  SCounted* b = pool.Construct();
  SCounted* c = pool.Construct();  // in the second chunk
  pool.Destroy(c);
  pool.Destroy(a);
  pool.Destroy(a);
  EXPECT_EQ(SCounted::destroyed, 2);
  EXPECT_EQ(pool.UsedCount(), 1u);
  EXPECT_TRUE(pool.IsSlotFree(0));
  EXPECT_FALSE(pool.IsSlotFree(1));
  // A slot destroyed is also free to the index-based give-back, and the reverse.
  pool.Free(0);
  EXPECT_EQ(pool.UsedCount(), 1u);
  EXPECT_EQ(pool.Construct(), a);
  EXPECT_EQ(a->GetPoolIndex(), 0u);
  EXPECT_EQ(pool.Construct(), c);
  EXPECT_EQ(c->GetPoolIndex(), 2u);
  b->~SCounted();
  pool.Free(1);
  pool.Destroy(b);
  EXPECT_EQ(SCounted::destroyed, 3);
  EXPECT_EQ(pool.UsedCount(), 2u);
}

// Types without the pool header: the pool keeps their indices and taken state.
TEST(DataPool, PlainTypesReuseInLifoOrderAndIgnoreADoubleFree) {
  struct SPlain {
    int value = 0;
  };
  CDataPool<SPlain, 2> pool;
  SPlain* first = pool.Construct();
  SPlain* second = pool.Construct();
  SPlain* third = pool.Construct();
  EXPECT_EQ(pool.ChunkCount(), 2u);
  EXPECT_EQ(pool.IndexOf(third), 2u);
  pool.Free(pool.IndexOf(first));
  pool.Free(pool.IndexOf(third));
  pool.Free(0);
  EXPECT_EQ(pool.UsedCount(), 1u);
  EXPECT_TRUE(pool.IsSlotFree(0));
  EXPECT_FALSE(pool.IsSlotFree(1));
  EXPECT_EQ(pool.Construct(), third);
  EXPECT_EQ(pool.Construct(), first);
  EXPECT_EQ(pool.IndexOf(pool.Construct()), 3u);
  EXPECT_EQ(pool.IndexOf(second), 1u);
}

struct SThrowing : IDataPoolElement {
  explicit SThrowing(bool fail) {
    if (fail) throw std::runtime_error("no");
  }
};

TEST(DataPool, ThrowingConstructorGivesTheSlotBack) {
  CDataPool<SThrowing, 3> pool;
  EXPECT_THROW(pool.Construct(true), std::runtime_error);
  EXPECT_EQ(pool.UsedCount(), 0u);
  EXPECT_TRUE(pool.IsSlotFree(0));
  EXPECT_EQ(pool.Construct(false)->GetPoolIndex(), 0u);
}

TEST(DataPool, ClearDropsChunksAndAllocStartsOver) {
  CDataPool<SRecord, 3> pool;
  for (int i = 0; i < 5; ++i) pool.Construct();
  pool.Clear();
  EXPECT_EQ(pool.ChunkCount(), 0u);
  EXPECT_EQ(Take(pool), 0u);
  EXPECT_EQ(pool.ChunkCount(), 1u);
}

// A chunk source that fails on demand, with what it throws.
struct SFailingSource {
  enum EFailure { kNone, kBadAlloc, kStandard, kOther };
  static inline EFailure failure = kNone;
  static inline int chunks = 0;
  static void* Allocate(size_t bytes, size_t alignment) {
    switch (failure) {
      case kBadAlloc:
        throw std::bad_alloc();
      case kStandard:
        throw std::length_error("chunk too large");
      case kOther:
        throw 42;
      case kNone:
        break;
    }
    ++chunks;
    return SHeapChunkSource::Allocate(bytes, alignment);
  }
  static void Deallocate(void* block, size_t alignment) noexcept {
    --chunks;
    SHeapChunkSource::Deallocate(block, alignment);
  }
};

TEST(DataPool, FailedGrowthIsBadAllocAndLeavesThePoolUsable) {
  struct SCase {
    SFailingSource::EFailure failure;
    const char* message;
  };
  const SCase cases[] = {
      {SFailingSource::kBadAlloc, "std::bad_alloc"},
      {SFailingSource::kStandard, "chunk too large"},
      {SFailingSource::kOther, "Data pool allocation failed: unknown exception"},
  };
  for (const SCase& c : cases) {
    SCOPED_TRACE(c.message);
    SFailingSource::failure = SFailingSource::kNone;
    {
      CDataPool<SRecord, 2, SFailingSource> pool;
      pool.Construct(1);
      pool.Construct(2);
      SFailingSource::failure = c.failure;
      try {
        pool.Construct(3);
        ADD_FAILURE() << "a full pool whose chunk source fails must throw";
      } catch (const std::bad_alloc& e) {
        EXPECT_STREQ(e.what(), c.message);
      }
      try {
        pool.Alloc();
        ADD_FAILURE() << "Alloc must throw as Construct does";
      } catch (const std::bad_alloc& e) {
        EXPECT_STREQ(e.what(), c.message);
      }
      EXPECT_EQ(pool.ChunkCount(), 1u);
      EXPECT_EQ(pool.UsedCount(), 2u);

      // Once memory is back the pool grows as if nothing had happened.
      SFailingSource::failure = SFailingSource::kNone;
      SRecord* next = pool.Construct(3);
      EXPECT_EQ(next->GetPoolIndex(), 2u);
      EXPECT_EQ(next->value, 3);
      EXPECT_EQ(pool.ChunkCount(), 2u);
      EXPECT_EQ(SFailingSource::chunks, 2);
    }
    EXPECT_EQ(SFailingSource::chunks, 0) << "every chunk goes back with the pool";
  }
}

}  // namespace
}  // namespace mem
}  // namespace vd
