// tallybrook-xls cat, sheets and copy through the binary.
#include "TestHelpers.h"
#include "workbook/Utf16.h"
#include "workbook/model/Model.h"

#include <gtest/gtest.h>

#ifdef TB_XLS_TOOL

namespace {

std::string Tool(const std::string& args, int* status)
{
    FILE* p = popen((std::string(TB_XLS_TOOL) + " " + args + " 2>&1").c_str(), "r");
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    *status = WEXITSTATUS(pclose(p));
    return out;
}

}  // namespace

TEST(XLSReaderTool, cat_escapes_texts_and_sheets_lists_names_and_copy_keeps_both)
{
    tbtest::TTempDir dir;
    workbook::TXLSWorkbook book;
    book.Sheet(0).SetName(u"货品");
    book.Sheet(0).SetAsString(0, 0, u"a\tb\\c\r\nd");
    book.Sheet(0).SetAsString(2, 1, u"商品");
    book.Sheet(0).SetAsString(1, 1, u"");
    book.Sheets().Add().SetAsString(0, 0, u"x");
    book.SetFilename(workbook::Utf8ToUtf16((dir / "in.xls").string()));
    book.Write();
    int status = -1;
    std::string cat = Tool("cat " + (dir / "in.xls").string(), &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(cat, "0\t0\t0\ta\\tb\\\\c\\r\\nd\n0\t1\t2\t商品\n1\t0\t0\tx\n");
    EXPECT_EQ(Tool("sheets " + (dir / "in.xls").string(), &status), "货品\nSheet2\n");
    Tool("copy " + (dir / "in.xls").string() + " " + (dir / "out.xls").string(), &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(Tool("cat " + (dir / "out.xls").string(), &status), cat);
    EXPECT_EQ(Tool("sheets " + (dir / "out.xls").string(), &status), "货品\nSheet2\n");
}

TEST(XLSReaderTool, errors_go_to_standard_error_with_status_one)
{
    tbtest::TTempDir dir;
    tbtest::WriteBytes(dir / "bad.xls", tbtest::Hex("09 00 04 00 00 00 10 00 03 02 0E 00 00 00"));
    int status = -1;
    std::string out = Tool("cat " + (dir / "bad.xls").string(), &status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(out.rfind("Error on reading record # 1, 0203 Offs: ", 0), 0u) << out;
    Tool("cat " + (dir / "missing.xls").string(), &status);
    EXPECT_EQ(status, 1);
}

// A workbook saved with a password to open, from another program.
TEST(XLSReaderTool, a_password_opens_an_encrypted_workbook_and_its_copy_needs_none)
{
    const std::filesystem::path corpus(TB_CORPUS_DIR);
    const std::string file = (corpus / "broken" / "poi__password.xls").string();
    if (!std::filesystem::exists(file)) GTEST_SKIP() << "no corpus";
    std::ifstream in(corpus / "expected" / "poi__password.xls.tsv", std::ios::binary);
    const std::string expected{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    tbtest::TTempDir dir;
    int status = -1;
    EXPECT_EQ(Tool("cat " + file + " --password password", &status), expected);
    EXPECT_EQ(status, 0);
    EXPECT_NE(Tool("cat " + file, &status).find("File is encrypted. Password required.\n"), std::string::npos);
    EXPECT_EQ(status, 1);
    EXPECT_NE(Tool("sheets " + file + " --password passwort", &status).find("Invalid password\n"), std::string::npos);
    EXPECT_EQ(status, 1);
    Tool("copy " + file + " " + (dir / "plain.xls").string() + " --password password", &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(Tool("cat " + (dir / "plain.xls").string(), &status), expected);
    Tool("write " + (dir / "x.xls").string() + " --password password < /dev/null", &status);
    EXPECT_EQ(status, 1);  // writing takes no password
}

#endif
