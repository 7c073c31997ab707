// The small-block pool under the workbook model.
#include "workbook/MemoryPool.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

using namespace workbook;

TEST(MemoryPool, a_freed_block_is_given_again_for_the_same_size)
{
    TMemoryPool pool;
    void* a = pool.Allocate(40);
    void* b = pool.Allocate(40);
    EXPECT_NE(a, b);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(a) % 8, 0u);
    pool.Free(a, 40);
    EXPECT_NE(pool.Allocate(16), a);
    EXPECT_EQ(pool.Allocate(37), a);
}

TEST(MemoryPool, every_block_knows_its_pool_across_chunks)
{
    TMemoryPool one, two;
    std::set<void*> seen;
    for (int i = 0; i < 10000; ++i) {
        void* p = one.Allocate(32);
        std::memset(p, 0xAB, 32);
        EXPECT_TRUE(seen.insert(p).second);
        EXPECT_EQ(TMemoryPool::Owner(p), &one);
    }
    EXPECT_EQ(TMemoryPool::Owner(two.Allocate(TMemoryPool::kMaxPooled)), &two);
}

TEST(MemoryPool, large_blocks_and_reset_free_everything)
{
    TMemoryPool pool;
    void* big = pool.Allocate(TMemoryPool::kMaxPooled + 1);
    std::memset(big, 1, TMemoryPool::kMaxPooled + 1);
    pool.Free(big, TMemoryPool::kMaxPooled + 1);
    for (int i = 0; i < 5; ++i) std::memset(pool.Allocate(100000), 2, 100000);
    for (int i = 0; i < 5000; ++i) pool.Allocate(200);
    pool.Reset();
    std::memset(pool.Allocate(64), 3, 64);
}
