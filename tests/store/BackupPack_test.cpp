#include "store/BackupPack.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "store/Connection.h"
#include "tests/TempDir.h"

using namespace store;
namespace fs = std::filesystem;

namespace {

std::string Read(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void Write(const std::string& file, const std::string& bytes)
{
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

// Bytes that compress somewhat, like database pages: repeated text with a counter.
std::string Sample(std::size_t size)
{
    std::string s;
    for (std::size_t i = 0; s.size() < size; ++i) s += "商品" + std::to_string(i * 7919 % 100003) + "|19.99|";
    s.resize(size);
    return s;
}

class PackTest : public ::testing::Test {
protected:
    std::string Pack(const std::string& bytes, PackedNote note = {})
    {
        Write(plain, bytes);
        std::ofstream(packed).close();
        PackFile(plain, packed, note);
        return Read(packed);
    }
    TempDir dir;
    std::string plain = dir.file("a.mdb");
    std::string packed = dir.file("a.mdb.gz");
    std::string unpacked = dir.file("b.mdb");
};

}  // namespace

TEST_F(PackTest, packing_and_unpacking_gives_back_the_same_bytes_across_buffer_boundaries)
{
    for (std::size_t size : {std::size_t(0), std::size_t(1), std::size_t(256 * 1024), std::size_t(700 * 1024 + 3)}) {
        std::string bytes = Sample(size);
        Pack(bytes);
        EXPECT_EQ(UnpackFile(packed, unpacked), "ok") << size;
        EXPECT_EQ(Read(unpacked), bytes) << size;
    }
}

TEST_F(PackTest, a_packed_copy_is_a_gzip_stream_smaller_than_the_data_with_the_counts_in_its_header)
{
    std::string bytes = Sample(300 * 1024);
    std::string gz = Pack(bytes, {3000, 12});
    ASSERT_GE(gz.size(), 2u);
    EXPECT_EQ(static_cast<unsigned char>(gz[0]), 0x1f);
    EXPECT_EQ(static_cast<unsigned char>(gz[1]), 0x8b);
    EXPECT_LT(gz.size(), bytes.size() / 2);
    PackedNote note = ReadPackedNote(packed);
    EXPECT_EQ(note.goods, 3000);
    EXPECT_EQ(note.salesLines, 12);
    EXPECT_TRUE(IsPackedName(packed));
    EXPECT_FALSE(IsPackedName(plain));
}

TEST_F(PackTest, progress_counts_down_to_nothing_left)
{
    Write(plain, Sample(600 * 1024));
    std::ofstream(packed).close();
    int calls = 0, last = -1, total = 0;
    PackFile(plain, packed, {}, [&](int remaining, int all) { ++calls, last = remaining, total = all; });
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(last, 0);
    EXPECT_EQ(total, 3);
}

TEST_F(PackTest, a_changed_byte_in_the_middle_is_found)
{
    std::string gz = Pack(Sample(500 * 1024));
    gz[gz.size() / 2] = static_cast<char>(gz[gz.size() / 2] ^ 0x10);
    Write(packed, gz);
    std::string problem = UnpackFile(packed, unpacked);
    EXPECT_EQ(problem.rfind("压缩数据已损坏", 0), 0u) << problem;
}

TEST_F(PackTest, a_wrong_check_sum_is_found)
{
    std::string gz = Pack(Sample(10 * 1024));
    gz[gz.size() - 6] = static_cast<char>(gz[gz.size() - 6] ^ 0x01);  // inside the CRC-32 of the trailer
    Write(packed, gz);
    EXPECT_EQ(UnpackFile(packed, ""), "压缩数据已损坏 (incorrect data check)");
}

TEST_F(PackTest, a_copy_cut_short_is_found)
{
    std::string gz = Pack(Sample(500 * 1024));
    Write(packed, gz.substr(0, gz.size() / 2));
    EXPECT_EQ(UnpackFile(packed, "").rfind("压缩数据不完整", 0), 0u);
}

TEST_F(PackTest, bytes_after_the_end_of_the_stream_are_found)
{
    Write(packed, Pack(Sample(1000)) + "x");
    EXPECT_EQ(UnpackFile(packed, "").rfind("压缩数据之后还有多余的内容", 0), 0u);
}

TEST_F(PackTest, a_file_that_is_not_packed_is_reported_and_has_no_note)
{
    Write(packed, "SQLite format 3");
    EXPECT_NE(UnpackFile(packed, ""), "ok");
    EXPECT_EQ(ReadPackedNote(packed).goods, -1);
    EXPECT_EQ(ReadPackedNote(dir.file("missing.gz")).salesLines, -1);
    EXPECT_THROW(UnpackFile(dir.file("missing.gz"), ""), StoreError);
}
