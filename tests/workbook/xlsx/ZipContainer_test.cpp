#include "workbook/xlsx/ZipContainer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <zip.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace workbook;

struct TEntry {
    std::string Name;
    std::string Data;
    zip_int32_t Method = ZIP_CM_DEFLATE;
};

// Reads the whole of a libzip source into a string.
std::string SourceBytes(zip_source_t* source)
{
    zip_stat_t st;
    zip_source_stat(source, &st);
    std::string bytes(st.size, '\0');
    zip_source_open(source);
    zip_source_read(source, bytes.data(), bytes.size());
    zip_source_close(source);
    return bytes;
}

// Writes an archive into memory; add() adds the entries while it is open.
template <class AddEntries> std::string WriteZip(AddEntries add)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* target = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_t* archive = zip_open_from_source(target, ZIP_TRUNCATE, &error);
    zip_source_keep(target);
    add(archive);
    EXPECT_EQ(zip_close(archive), 0) << zip_strerror(archive);
    std::string bytes = SourceBytes(target);
    zip_source_free(target);
    zip_error_fini(&error);
    return bytes;
}

std::string MakeZip(const std::vector<TEntry>& entries)
{
    return WriteZip([&](zip_t* archive) {
        for (const auto& e : entries) {
            zip_source_t* s = zip_source_buffer(archive, e.Data.data(), e.Data.size(), 0);
            const zip_int64_t index = zip_file_add(archive, e.Name.c_str(), s, ZIP_FL_ENC_UTF_8);
            zip_set_file_compression(archive, index, e.Method, 0);
        }
    });
}

void Put16(std::string& bytes, std::size_t at, std::uint16_t v)
{
    bytes[at] = static_cast<char>(v & 0xFF);
    bytes[at + 1] = static_cast<char>(v >> 8);
}
void Put32(std::string& bytes, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// Rewrites a field of the first local header and the first central directory entry.
void PatchMethod(std::string& zip, std::uint16_t method)
{
    Put16(zip, zip.find("PK\3\4") + 8, method);
    Put16(zip, zip.find("PK\1\2") + 10, method);
}
void PatchUncompressedSize(std::string& zip, std::uint32_t size)
{
    Put32(zip, zip.find("PK\3\4") + 22, size);
    Put32(zip, zip.find("PK\1\2") + 24, size);
}

std::string Message(const std::function<void()>& f)
{
    try {
        f();
    } catch (const EZipError& e) {
        return e.what();
    }
    return "(no error)";
}

TEST(ZipContainer, stored_and_deflated_entries_are_extracted)
{
    const std::string big(100000, 'x');
    TZipContainer zip(MakeZip({{"a.txt", "hello", ZIP_CM_STORE}, {"xl/big.xml", big}}));
    ASSERT_EQ(zip.Count(), 2);
    EXPECT_EQ(zip.Name(0), "a.txt");
    EXPECT_EQ(zip.Extract(0), "hello");
    EXPECT_EQ(zip.Extract(zip.Find("xl/big.xml")), big);
}

TEST(ZipContainer, empty_entries_extract_as_empty)
{
    TZipContainer zip(MakeZip({{"empty.xml", ""}}));
    EXPECT_EQ(zip.Extract(0), "");
}

TEST(ZipContainer, names_are_found_normalised_and_without_case)
{
    TZipContainer zip(MakeZip({{"[Content_Types].xml", "t"}, {"xl\\Workbook.XML", "w"}}));
    EXPECT_EQ(zip.Find("[content_types].xml"), 0);
    EXPECT_EQ(zip.Find("/[Content_Types].xml"), 0);
    EXPECT_EQ(zip.Find("xl/workbook.xml"), 1);
    EXPECT_EQ(zip.Find("C:/xl/workbook.xml"), 1);
    EXPECT_EQ(zip.Find("//server/share/xl/workbook.xml"), 1);
    EXPECT_EQ(zip.Find("xl/sharedStrings.xml"), -1);
}

TEST(ZipContainer, name_normalisation)
{
    EXPECT_EQ(TZipContainer::NormalisedName("XL\\Worksheets\\Sheet1.xml"), "xl/worksheets/sheet1.xml");
    EXPECT_EQ(TZipContainer::NormalisedName("c:\\dir\\A.xml"), "dir/a.xml");
    EXPECT_EQ(TZipContainer::NormalisedName("\\\\srv\\share\\x.xml"), "x.xml");
    EXPECT_EQ(TZipContainer::NormalisedName("/xl/a.xml"), "xl/a.xml");
}

TEST(ZipContainer, first_of_two_equal_names_wins)
{
    TZipContainer zip(MakeZip({{"xl/a.xml", "first"}, {"XL/A.xml", "second"}}));
    EXPECT_EQ(zip.Extract(zip.Find("xl/a.xml")), "first");
}

TEST(ZipContainer, opens_from_a_stream_and_keeps_the_bytes)
{
    const std::string bytes = MakeZip({{"a", "1"}});
    std::istringstream in(bytes);
    TZipContainer zip = TZipContainer::FromStream(in);
    EXPECT_EQ(zip.Bytes(), bytes);
    TZipContainer moved = std::move(zip);
    EXPECT_EQ(moved.Extract(0), "1");
}

TEST(ZipContainer, other_bytes_are_no_zip_package)
{
    EXPECT_EQ(Message([] {
                  TZipContainer zip(std::string("just some text, not a zip"));
              }).rfind("Not a zip package: ", 0),
              0u);
    EXPECT_EQ(Message([] { TZipContainer zip(std::string{}); }).rfind("Not a zip package: ", 0), 0u);
}

TEST(ZipContainer, compound_documents_are_named_in_the_error)
{
    std::string ole(512, '\0');
    std::memcpy(ole.data(), "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    EXPECT_TRUE(TZipContainer::IsCompoundDocument(ole));
    EXPECT_EQ(Message([&] { TZipContainer zip(ole); }), "Not a zip package: the file is a compound document "
                                                        "(an encrypted workbook or an Excel 97-2003 file)");
}

TEST(ZipContainer, other_methods_cannot_be_processed)
{
    std::string bytes = MakeZip({{"xl/workbook.xml", "<workbook/>"}});
    PatchMethod(bytes, 14);  // LZMA
    TZipContainer zip(bytes);
    EXPECT_EQ(Message([&] { zip.Extract(0); }), "Cannot process this file: xl/workbook.xml ");
}

TEST(ZipContainer, encrypted_entries_cannot_be_processed)
{
    if (!zip_encryption_method_supported(ZIP_EM_AES_256, 1)) GTEST_SKIP() << "no AES in libzip";
    const std::string secret = "<sst/>";
    TZipContainer zip(WriteZip([&](zip_t* archive) {
        zip_source_t* s = zip_source_buffer(archive, secret.data(), secret.size(), 0);
        const zip_int64_t index = zip_file_add(archive, "xl/sharedStrings.xml", s, 0);
        zip_file_set_encryption(archive, index, ZIP_EM_AES_256, "password");
    }));
    EXPECT_EQ(Message([&] { zip.Extract(0); }), "Cannot process this file: xl/sharedStrings.xml ");
}

TEST(ZipContainer, damaged_data_is_an_error_not_an_empty_part)
{
    std::string noise(20000, '\0');
    std::uint32_t seed = 12345;
    for (char& c : noise) c = static_cast<char>((seed = seed * 1103515245 + 12345) >> 24);
    std::string bytes = MakeZip({{"a.xml", noise}});
    const std::size_t header = bytes.find("PK\3\4");
    const auto field = [&](std::size_t at) {
        return static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8;
    };
    const std::size_t data = header + 30 + field(header + 26) + field(header + 28);
    for (std::size_t i = data + 5000; i < data + 5100; ++i) bytes[i] = static_cast<char>(bytes[i] ^ 0x5A);
    TZipContainer zip(bytes);
    EXPECT_EQ(Message([&] { zip.Extract(0); }).rfind("Damaged zip entry: a.xml", 0), 0u);
}

TEST(ZipContainer, entry_inflating_beyond_its_declared_size_is_refused_early)
{
    std::string bytes = MakeZip({{"xl/worksheets/sheet1.xml", std::string(8 << 20, '\0')}});
    PatchUncompressedSize(bytes, 1000);
    TZipContainer zip(bytes);
    EXPECT_EQ(Message([&] { zip.Extract(0); }),
              "Damaged zip entry: xl/worksheets/sheet1.xml inflates to more bytes than the 1000 it "
              "declares");
}

TEST(ZipContainer, entry_inflating_short_of_its_declared_size_is_refused)
{
    std::string bytes = MakeZip({{"a.xml", std::string(4000, 'q')}});
    PatchUncompressedSize(bytes, 5000);
    TZipContainer zip(bytes);
    EXPECT_EQ(Message([&] { zip.Extract(0); }).rfind("Damaged zip entry: a.xml", 0), 0u);
}

// How many zero bytes the next source gives.
std::uint64_t gZeroBytes = 600ull << 20;

// A source of zero bytes of any length, so that a bomb needs no big buffer.
zip_int64_t Zeros(void* state, void* data, zip_uint64_t len, zip_source_cmd_t cmd)
{
    auto* left = static_cast<std::uint64_t*>(state);
    const std::uint64_t kTotal = gZeroBytes;
    switch (cmd) {
    case ZIP_SOURCE_OPEN: *left = kTotal; return 0;
    case ZIP_SOURCE_READ: {
        const zip_uint64_t n = std::min<zip_uint64_t>(len, *left);
        std::memset(data, 0, n);
        *left -= n;
        return static_cast<zip_int64_t>(n);
    }
    case ZIP_SOURCE_STAT: {
        auto* st = static_cast<zip_stat_t*>(data);
        zip_stat_init(st);
        st->size = kTotal;
        st->valid |= ZIP_STAT_SIZE;
        return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                              ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    default: return 0;
    }
}

std::string ZerosZip(std::uint64_t bytes)
{
    gZeroBytes = bytes;
    return WriteZip([](zip_t* archive) {
        static std::uint64_t left = 0;
        zip_source_t* s = zip_source_function(archive, Zeros, &left);
        const zip_int64_t index = zip_file_add(archive, "xl/worksheets/sheet1.xml", s, 0);
        zip_set_file_compression(archive, index, ZIP_CM_DEFLATE, 1);
    });
}

// 600 MiB of zeros deflated: about 600 KiB of archive.
const std::string& ZipBomb()
{
    static const std::string bomb = ZerosZip(600ull << 20);
    return bomb;
}

TEST(ZipContainer, zip_bomb_declaring_its_size_is_refused_before_inflating)
{
    TZipContainer zip(ZipBomb());
    EXPECT_LT(zip.Bytes().size(), 8u << 20);
    EXPECT_EQ(zip.EntryLimit(), std::min<std::uint64_t>(zip.Bytes().size() * 200, 512u << 20));
    EXPECT_EQ(Message([&] { zip.Extract(0); }),
              "Zip entry too large: xl/worksheets/sheet1.xml declares 629145600 bytes uncompressed, more than the " +
                  std::to_string(zip.EntryLimit()) + " allowed for one part of this package of " +
                  std::to_string(zip.Bytes().size()) + " bytes (200 times its size, at least 32 MiB, at most 512 MiB)");
}

// A package of some 450 KB whose part inflates to 100 MiB is refused at once,
// though what it declares is within the overall limit of 512 MiB.
TEST(ZipContainer, one_part_may_inflate_to_at_most_200_times_the_package)
{
    TZipContainer zip(ZerosZip(100ull << 20));
    ASSERT_LT(zip.Bytes().size() * 200, 100u << 20);
    EXPECT_EQ(zip.EntryLimit(), std::max<std::uint64_t>(zip.Bytes().size() * 200, 32u << 20));
    EXPECT_EQ(Message([&] { zip.Extract(0); })
                  .rfind("Zip entry too large: xl/worksheets/sheet1.xml declares "
                         "104857600 bytes uncompressed, more than the " +
                             std::to_string(zip.EntryLimit()) + " allowed",
                         0),
              0u);
    EXPECT_EQ(TZipContainer(MakeZip({{"a.xml", "<a/>"}})).EntryLimit(), 32u << 20);
}

TEST(ZipContainer, zip_bomb_hiding_its_size_stops_at_the_declared_size)
{
    std::string bytes = ZipBomb();
    PatchUncompressedSize(bytes, 4096);
    TZipContainer zip(bytes);
    EXPECT_EQ(Message([&] { zip.Extract(0); }).rfind("Damaged zip entry: xl/worksheets/sheet1.xml", 0), 0u);
}

}  // namespace
