#include "engine/core/DataPool.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

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

TEST(DataPool, SingleSlotChunksReuseLowestChunkFirst) {
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

  // Slot 5 of chunk 1 goes to the head of chunk 1's list, but chunk 0 comes first.
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

TEST(DataPool, EmptiedPoolKeepsChunksAndReturnsLastFreedOfChunkZero) {
  CDataPool<SRecord, 2> pool;
  std::vector<SRecord*> objects;
  for (int i = 0; i < 4; ++i) objects.push_back(pool.Construct(i));
  for (uint32_t i : {1u, 0u, 2u, 3u}) Give(pool, i, objects);
  EXPECT_EQ(pool.ChunkCount(), 2u);
  EXPECT_EQ(pool.UsedCount(), 0u);
  EXPECT_EQ(Take(pool), 0u);
  EXPECT_EQ(Take(pool), 1u);
  EXPECT_EQ(Take(pool), 3u);
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

TEST(DataPool, AllocErrorIsBadAllocWithMessage) {
  CPoolAllocError e("Data pool allocation failed: unknown exception");
  const std::bad_alloc& base = e;
  EXPECT_STREQ(base.what(), "Data pool allocation failed: unknown exception");
}

}  // namespace
}  // namespace mem
}  // namespace vd
