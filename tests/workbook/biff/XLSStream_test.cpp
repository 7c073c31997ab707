// The BIFF record stream: version detection, record headers, CONTINUE
// splitting on write and joining on read, and its error texts.
#include "TestHelpers.h"

#include "workbook/Utf16.h"
#include "workbook/XLSError.h"
#include "workbook/biff/XLSStream.h"

#include <gtest/gtest.h>

using namespace workbook;
using namespace tbtest;

namespace {

std::u16string U16(const std::filesystem::path& p) { return Utf8ToUtf16(p.string()); }

std::filesystem::path Corpus(const std::string& name) { return std::filesystem::path(TB_CORPUS_DIR) / "xls" / name; }

std::string ErrorOf(auto&& action)
{
    try {
        action();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "no error";
}

// Writes records through a stream into memory and returns the workbook stream.
template <class F> std::vector<uint8_t> WrittenStream(F body)
{
    std::vector<uint8_t> file;
    {
        TXLSStream s;
        s.SetTargetStream(&file);
        s.OpenStorageWrite(u"", xvExcel97);
        body(s);
        s.CloseStorage();
    }
    return WorkbookStream(file);
}

}  // namespace

TEST(XLSStream, open_for_reading_tells_the_version_of_the_file)
{
    if (!std::filesystem::exists(Corpus("calamine__any_sheets.xls"))) GTEST_SKIP() << "corpus not present";
    TXLSStream s;
    EXPECT_EQ(s.OpenStorageRead(U16(Corpus("calamine__any_sheets.xls"))), xvExcel97);
    EXPECT_EQ(s.PeekHeader(), 0x0809);
    EXPECT_EQ(s.OpenStorageRead(U16(Corpus("calamine__biff5_write.xls"))), xvExcel50);
    EXPECT_EQ(s.OpenStorageRead(U16(Corpus("poi__WORKBOOK_in_capitals.xls"))), xvExcel97);
    EXPECT_EQ(s.OpenStorageRead(U16(Corpus("edr__as3xls_BIFF2.xls"))), xvExcel21);
    EXPECT_EQ(s.OpenStorageRead(U16(Corpus("edr__as3xls_BIFF3.xls"))), xvExcel30);
    EXPECT_EQ(s.OpenStorageRead(U16(Corpus("edr__as3xls_BIFF4.xls"))), xvExcel40);
    EXPECT_GT(s.StreamSize(), 0u);
}

TEST(XLSStream, files_that_are_not_workbooks_are_named_as_such)
{
    TTempDir dir;
    std::filesystem::path xlsx = std::filesystem::path(TB_CORPUS_DIR) / "xlsx" / "calamine__any_sheets.xlsx";
    TXLSStream s;
    if (std::filesystem::exists(xlsx)) {
        std::filesystem::copy_file(xlsx, dir / "renamed.xls");
        EXPECT_EQ(s.OpenStorageRead(U16(dir / "renamed.xls")), xvNone);
    }
    TCompoundDocument doc;
    doc.Root().CreateStream(u"WordDocument").Write("x", 1);
    doc.SaveToFile(dir / "letter.doc");
    EXPECT_EQ(ErrorOf([&] { s.OpenStorageRead(U16(dir / "letter.doc")); }), "The file is not an Excel workbook");
    std::string missing = ErrorOf([&] { s.OpenStorageRead(U16(dir / "missing.xls")); });
    EXPECT_EQ(missing.rfind("Cannot open file \"" + (dir / "missing.xls").string() + "\". ", 0), 0u) << missing;
    EXPECT_EQ(ErrorOf([&] { s.OpenStorageWrite(u"", xvExcel97); }), "Filename is missing");
}

TEST(XLSStream, write_continue_splits_bodies_longer_than_8224_bytes)
{
    std::vector<uint8_t> body(8225, 0xAB);
    auto records = ParseRecords(WrittenStream([&](TXLSStream& s) {
        s.WriteCONTINUE(0x00EB, body.data(), 8224);
        s.WriteCONTINUE(0x00EB, body.data(), 8225);
        s.WriteCONTINUE(0x00EB, body.data(), 0);
    }));
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0].Body.size(), 8224u);
    EXPECT_EQ(records[1].Id, 0x00EB);
    EXPECT_EQ(records[1].Body.size(), 8224u);
    EXPECT_EQ(records[2].Id, 0x003C);
    EXPECT_EQ(records[2].Body.size(), 1u);
    EXPECT_EQ(records[3].Body.size(), 0u);
}

TEST(XLSStream, continue_write_mode_gives_8224_and_the_rest_whatever_the_piece_size)
{
    for (size_t piece : {1u, 7u, 100u, 5000u, 10000u}) {
        auto records = ParseRecords(WrittenStream([&](TXLSStream& s) {
            s.BeginCONTINUEWrite(8224);
            s.WriteHeader(0x00EB, 0);
            std::vector<uint8_t> chunk(piece);
            for (size_t done = 0; done < 10000; done += piece) {
                size_t n = std::min(piece, 10000 - done);
                for (size_t i = 0; i < n; ++i) chunk[i] = uint8_t(done + i);
                EXPECT_EQ(s.Write(chunk.data(), n), 0u);
            }
            s.EndCONTINUEWrite();
            s.WriteWord(0x000A, 0);
        }));
        ASSERT_EQ(records.size(), 3u) << piece;
        EXPECT_EQ(records[0].Id, 0x00EB);
        EXPECT_EQ(records[0].Body.size(), 8224u);
        EXPECT_EQ(records[1].Id, 0x003C);
        EXPECT_EQ(records[1].Body.size(), 1776u);
        EXPECT_EQ(records[1].Body[0], uint8_t(8224));
        EXPECT_EQ(records[2].Body, Hex("00 00"));
    }
}

TEST(XLSStream, plain_writes_and_wide_strings_have_the_record_layout)
{
    auto stream = WrittenStream([](TXLSStream& s) {
        s.WriteBufHeader("\x01\x02", 0x0042, 2);
        s.WriteWord(0x0013, 0x1234);
        s.WriteHeader(0x0014, 7);
        s.WriteWideString(u"AB", true);
        s.WriteHeader(0x0015, 2);
        s.WriteWideString(u"", true);
    });
    EXPECT_EQ(stream, Hex("42 00 02 00 01 02  13 00 02 00 34 12  14 00 07 00 02 00 01 41 00 42 00  15 00 02 00 00 00"));
}

TEST(XLSStream, continue_read_joins_records_and_needs_a_continuation)
{
    std::vector<uint8_t> body(9000);
    for (size_t i = 0; i < body.size(); ++i) body[i] = uint8_t(i * 3);
    std::vector<uint8_t> file;
    {
        TXLSStream s;
        s.SetTargetStream(&file);
        s.OpenStorageWrite(u"", xvExcel97);
        s.WriteCONTINUE(0x00FC, body.data(), body.size());
        s.WriteCONTINUE(0x00FC, body.data(), body.size());
        s.WriteWord(0x000A, 0);
        s.WriteWord(0x000A, 0);
        s.CloseStorage();
    }
    TXLSStream s;
    s.SetSourceStream(&file);
    ASSERT_EQ(s.OpenStorageRead(u""), xvExcel97);
    TBIFFHeader h;
    ASSERT_EQ(s.ReadHeader(h), 4u);
    s.BeginCONTINUERead();
    EXPECT_EQ(ErrorOf([&] { s.BeginCONTINUERead(); }), "CONTINUE read active");
    std::vector<uint8_t> got(9000);
    EXPECT_EQ(s.Read(got.data(), 5000), 5000u);
    EXPECT_EQ(s.Read(got.data() + 5000, 4000), 4000u);
    EXPECT_EQ(got, body);
    s.EndCONTINUERead();
    ASSERT_EQ(s.ReadHeader(h), 4u);
    s.BeginCONTINUERead();
    EXPECT_EQ(s.Read(got.data(), 8224), 8224u);
    EXPECT_EQ(s.Read(got.data() + 8224, 776), 776u);
    EXPECT_EQ(got, body);
    s.EndCONTINUERead();
    EXPECT_EQ(s.PeekHeader(), 0x000A);

    // A record that runs past 8224 bytes with no continuation after it.
    std::vector<uint8_t> lone;
    {
        TXLSStream w;
        w.SetTargetStream(&lone);
        w.OpenStorageWrite(u"", xvExcel97);
        w.WriteBufHeader(body.data(), 0x00FC, 8224);
        w.WriteWord(0x000A, 0);
        w.CloseStorage();
    }
    TXLSStream r;
    r.SetSourceStream(&lone);
    r.OpenStorageRead(u"");
    r.ReadHeader(h);
    r.BeginCONTINUERead();
    EXPECT_EQ(ErrorOf([&] { r.Read(got.data(), 8300); }), "CONTINUE record is missing");
}
