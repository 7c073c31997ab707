// The small-block pool under the workbook model.
#include "TestHelpers.h"

#include "workbook/compound/ByteStream.h"
#include "workbook/XLSError.h"
#include "workbook/model/MemoryPool.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <set>
#include <thread>

#include <sys/stat.h>

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

TEST(MemoryPool, large_blocks_keep_their_bytes_and_freed_blocks_are_taken_again)
{
    TMemoryPool pool;
    auto* big = static_cast<uint8_t*>(pool.Allocate(TMemoryPool::kMaxPooled + 1));
    std::memset(big, 1, TMemoryPool::kMaxPooled + 1);
    auto* other = static_cast<uint8_t*>(pool.Allocate(100000));
    std::memset(other, 2, 100000);
    EXPECT_EQ(big[TMemoryPool::kMaxPooled], 1);
    EXPECT_EQ(other[99999], 2);
    void* small = pool.Allocate(200);
    pool.Free(small, 200);
    EXPECT_EQ(pool.Allocate(200), small);  // the size's free list hands it out again
    pool.Free(big, TMemoryPool::kMaxPooled + 1);
    EXPECT_EQ(other[0], 2);
    pool.Reset();
    void* fresh = pool.Allocate(64);
    EXPECT_EQ(TMemoryPool::Owner(fresh), &pool);
}

// Slabs of a huge page and more are mapped from the system: blocks there
// still find their pool, and everything goes on Reset.
TEST(MemoryPool, blocks_in_huge_page_slabs_know_their_pool)
{
    TMemoryPool pool;
    std::vector<void*> blocks;
    for (size_t total = 0; total < 3 * kHugePage + kHugePage / 2; total += TMemoryPool::kMaxPooled) {
        void* p = pool.Allocate(TMemoryPool::kMaxPooled);
        std::memset(p, 0x5A, TMemoryPool::kMaxPooled);
        blocks.push_back(p);
    }
    for (void* p : blocks) ASSERT_EQ(TMemoryPool::Owner(p), &pool);
    pool.Reset();
    std::memset(pool.Allocate(64), 1, 64);
}

TEST(MemoryPool, zeroed_arrays_small_and_huge_start_zero_and_move)
{
    for (size_t count : {size_t(0), size_t(10), kHugePage / sizeof(uint32_t) + 3}) {
        TZeroedArray<uint32_t> a(count);
        ASSERT_EQ(a.size(), count);
        for (size_t i = 0; i < count; ++i) ASSERT_EQ(a[i], 0u) << i;
        if (count) a[count - 1] = 7;
        TZeroedArray<uint32_t> b = std::move(a);
        EXPECT_EQ(a.size(), 0u);
        EXPECT_EQ(b.size(), count);
        if (count) {
            EXPECT_EQ(b[count - 1], 7u);
        }
        b = TZeroedArray<uint32_t>(5);
        EXPECT_EQ(b[4], 0u);
    }
    EXPECT_THROW(TZeroedArray<uint64_t>(SIZE_MAX / 4), std::bad_alloc);
    EXPECT_THROW(TZeroedArray<uint8_t>(SIZE_MAX - 1), std::bad_alloc);
}

// Pools in two threads at once each take slabs of 4 MB, some from the
// stock of ready ones: every block is their own and holds what was written.
TEST(MemoryPool, pools_in_two_threads_fill_many_large_slabs)
{
    TSlabStockUse stock;
    auto fill = [](uint8_t mark, bool* ok) {
        TMemoryPool pool;
        std::vector<uint8_t*> blocks;
        for (size_t total = 0; total < 6 * 4 * 1024 * 1024; total += TMemoryPool::kMaxPooled) {
            auto* p = static_cast<uint8_t*>(pool.Allocate(TMemoryPool::kMaxPooled));
            std::memset(p, mark, TMemoryPool::kMaxPooled);
            blocks.push_back(p);
        }
        *ok = true;
        for (uint8_t* p : blocks)
            *ok = *ok && TMemoryPool::Owner(p) == &pool && p[0] == mark && p[TMemoryPool::kMaxPooled - 1] == mark;
    };
    bool okA = false, okB = false;
    std::thread other(fill, uint8_t(0xA5), &okA);
    fill(0x5A, &okB);
    other.join();
    EXPECT_TRUE(okA);
    EXPECT_TRUE(okB);
}

// Files of several huge pages are read whole into their mapped block; one
// of 8 MB and more is read in two halves side by side.
TEST(MemoryPool, a_large_file_is_read_whole)
{
    tbtest::TTempDir dir;
    for (size_t size : {2 * kHugePage + 12345, 5 * kHugePage + 3}) {
        std::string bytes(size, '\0');
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = char(i * 7 + i / 4096);
        std::ofstream(dir / "big.bin", std::ios::binary | std::ios::trunc) << bytes;
        TSharedBytes read = ReadFileBytes(dir / "big.bin");
        ASSERT_EQ(read.Size, bytes.size());
        EXPECT_EQ(std::memcmp(read.Data, bytes.data(), bytes.size()), 0) << size;
    }
}

// A pipe has no offsets and no size: it is read in order to its end.
TEST(MemoryPool, a_pipe_is_read_whole)
{
    tbtest::TTempDir dir;
    const std::filesystem::path fifo = dir / "pipe";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string bytes(300000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = char(i * 13 + i / 1000);
    std::thread writer([&] { std::ofstream(fifo, std::ios::binary) << bytes; });
    TSharedBytes read = ReadFileBytes(fifo);
    writer.join();
    ASSERT_EQ(read.Size, bytes.size());
    EXPECT_EQ(std::memcmp(read.Data, bytes.data(), bytes.size()), 0);
}

TEST(MemoryPool, a_file_that_cannot_be_read_fails_with_its_name)
{
    tbtest::TTempDir dir;
    try {
        ReadFileBytes(dir.Path());  // a folder opens but does not read
        FAIL() << "a folder was read";
    } catch (const EXLSError& e) {
        EXPECT_NE(std::string(e.what()).find(dir.Path().string()), std::string::npos) << e.what();
    }
}
