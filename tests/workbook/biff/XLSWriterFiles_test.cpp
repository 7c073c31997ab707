// Files on disk: a failed write leaves the previous file as it was, and the
// files we write are read by other programs with the same texts.
#include "TestHelpers.h"

#include "workbook/SafeFile.h"
#include "workbook/Utf16.h"
#include "workbook/model/WindowResources.h"
#include "workbook/XLSError.h"
#include "workbook/model/Model.h"

#include <gtest/gtest.h>

using namespace workbook;
using namespace tbtest;

namespace {

struct TFaultReset {
    ~TFaultReset() { WriteFaults::Reset(); }
};

void FillExport(TXLSWorkbook& book, int rows)
{
    TSheet& sheet = book.Sheet(0);
    const std::u16string header[] = {u"订单编号", u"商品名称", u"售价"};
    for (uint32_t c = 0; c < 3; ++c) sheet.SetAsString(c, 0, header[c]);
    for (int r = 1; r <= rows; ++r) {
        sheet.SetAsString(0, uint32_t(r), Utf8ToUtf16("TB" + std::to_string(100000 + r)));
        sheet.SetAsString(1, uint32_t(r), r % 2 ? u"纯棉T恤" : u"Tasse \u00E9t\u00E9");
        sheet.SetAsString(2, uint32_t(r), Utf8ToUtf16(std::to_string(r) + ".50"));
    }
}

std::string ErrorOfWrite(TXLSWorkbook& book)
{
    try {
        book.Write();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "no error";
}

}  // namespace

TEST(XLSWriterFiles, a_write_that_fails_half_way_leaves_the_old_file_untouched)
{
    TFaultReset reset;
    TTempDir dir;
    auto path = dir / "export.xls";
    WriteBytes(path, {'o', 'l', 'd'});
    TXLSWorkbook book;
    LoadFromWindowResources(book);
    FillExport(book, 500);
    book.SetFilename(Utf8ToUtf16(path.string()));

    WriteFaults::FailRecordWriteAfter(700);  // in the middle of the cell records
    std::string error = ErrorOfWrite(book);
    EXPECT_EQ(error.rfind("Error on writing record # ", 0), 0u) << error;
    EXPECT_NE(error.find("\rSimulated write failure"), std::string::npos) << error;
    EXPECT_EQ(ReadBytes(path), std::vector<uint8_t>({'o', 'l', 'd'}));
    EXPECT_EQ(dir.FileCount(), 1u);

    WriteFaults::FailFileWriteAfter(3);  // while the document goes to disk
    EXPECT_EQ(ErrorOfWrite(book), "Simulated write failure");
    EXPECT_EQ(ReadBytes(path), std::vector<uint8_t>({'o', 'l', 'd'}));
    EXPECT_EQ(dir.FileCount(), 1u);

    WriteFaults::Reset();
    EXPECT_EQ(ErrorOfWrite(book), "no error");
    EXPECT_EQ(dir.FileCount(), 1u);
    EXPECT_TRUE(TCompoundDocument::IsCompoundFile(path));
}

TEST(XLSWriterFiles, globals_failures_name_the_record_position)
{
    TFaultReset reset;
    TTempDir dir;
    TXLSWorkbook book;
    book.SetFilename(Utf8ToUtf16((dir / "x.xls").string()));
    WriteFaults::FailRecordWriteAfter(2);
    EXPECT_EQ(ErrorOfWrite(book), "Error on writing record # 2\rSimulated write failure");
    EXPECT_EQ(dir.FileCount(), 0u);
}

TEST(XLSWriterFiles, writing_into_a_missing_folder_or_without_a_name_fails_cleanly)
{
    TTempDir dir;
    TXLSWorkbook book;
    book.SetFilename(Utf8ToUtf16((dir / "no" / "such" / "x.xls").string()));
    EXPECT_EQ(ErrorOfWrite(book).rfind("Cannot create file \"", 0), 0u);
    book.SetFilename(u"");
    EXPECT_EQ(ErrorOfWrite(book), "Filename is missing");
    book.SetVersion(xvExcel30);
    EXPECT_EQ(ErrorOfWrite(book), "Can not write Excel 2.1/3.0 files");
}

TEST(XLSWriterFiles, xlrd_and_olefile_read_the_texts_we_wrote)
{
    if (!HavePythonModules()) GTEST_SKIP() << "python3 xlrd/olefile missing";
    TTempDir dir;
    auto path = dir / "export.xls";
    TXLSWorkbook book;
    LoadFromWindowResources(book);
    FillExport(book, 3000);
    TSheet& sheet = book.Sheet(0);
    sheet.SetAsString(4, 1, u"tab\there, line\nbreak, back\\slash, cr\r");
    sheet.SetAsString(5, 1, u"");
    sheet.SetAsString(6, 1, std::u16string(5000, u'长') + u"end");
    sheet.SetAsString(7, 2, std::u16string(9000, u'z'));
    sheet.SetAsString(8, 3, u"\U0001F600 emoji");
    book.SetFilename(Utf8ToUtf16(path.string()));
    book.Write();

    std::string expected;
    for (uint32_t r = 0; r <= 3000; ++r)
        for (uint32_t c = 0; c <= 8; ++c) {
            if (!sheet.Cells().GetCells(c, r)) continue;
            expected += std::to_string(r) + "\t" + std::to_string(c) + "\t" +
                        std::to_string(sheet.GetAsString(c, r).size()) + "\t" + Utf16ToUtf8(sheet.GetAsString(c, r)) +
                        "\x1E";
        }
    auto script = "import sys, xlrd, olefile\n"
                  "p = r'" +
                  path.string() +
                  "'\n"
                  "o = olefile.OleFileIO(p, raise_defects=olefile.DEFECT_INCORRECT)\n"
                  "assert o.exists('Workbook'), o.listdir()\n"
                  "b = xlrd.open_workbook(p)\n"
                  "s = b.sheet_by_index(0)\n"
                  "assert b.sheet_names() == ['Sheet1'], b.sheet_names()\n"
                  "out = []\n"
                  "for r in range(s.nrows):\n"
                  "    for c in range(s.ncols):\n"
                  "        cell = s.cell(r, c)\n"
                  "        if cell.ctype == xlrd.XL_CELL_TEXT:\n"
                  "            out.append('%d\\t%d\\t%d\\t%s\\x1e' % (r, c, len(cell.value.encode('utf-16-le')) // 2, "
                  "cell.value))\n"
                  "sys.stdout.buffer.write(''.join(out).encode('utf-8'))\n";
    int status = 0;
    std::string got = RunPython(dir, script, &status);
    EXPECT_EQ(status, 0) << got.substr(0, 2000);
    EXPECT_TRUE(got == expected) << "first difference at byte "
                                 << std::mismatch(got.begin(), got.end(), expected.begin(), expected.end()).first -
                                        got.begin();
}

TEST(XLSWriterFiles, rewriting_after_a_saved_document_keeps_its_other_streams)
{
    TTempDir dir;
    TXLSWorkbook book;
    auto saved = std::make_unique<TCompoundDocument>();
    saved->Root().CreateStream(u"\x05SummaryInformation").Write("summary", 7);
    saved->Root().CreateStream(u"Workbook").Write("stale", 5);
    book.ExtraObjects().SetSavedStorage(std::move(saved));
    book.Sheet(0).SetAsString(0, 0, u"fresh");
    std::vector<uint8_t> file;
    book.WriteToStream(file);
    auto doc = TCompoundDocument::OpenMemory(file.data(), file.size());
    EXPECT_EQ(doc.RootEntry().Find(u"\x05SummaryInformation")->Data.Size(), 7u);
    EXPECT_GT(doc.RootEntry().Find(u"Workbook")->Data.Size(), 100u);
}
