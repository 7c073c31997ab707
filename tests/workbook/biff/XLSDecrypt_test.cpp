// Workbooks saved with a password to open, written by spreadsheet programs:
// read with the right password (or none, for "protected" workbooks that
// every program opens without asking) to the texts other readers see.
#include "TestHelpers.h"
#include "workbook/Utf16.h"
#include "workbook/biff/XLSReader.h"
#include "workbook/Listings.h"
#include "workbook/model/Model.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

fs::path Broken(const char* name) { return fs::path(TB_CORPUS_DIR) / "broken" / name; }

std::string Expected(const char* name)
{
    std::ifstream in(fs::path(TB_CORPUS_DIR) / "expected" / (std::string(name) + ".tsv"), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The listing of the file read with password, or the error's text.
std::string ListingOf(const char* name, const char16_t* password)
{
    workbook::TXLSWorkbook book;
    book.FPassword = password;
    book.SetFilename(workbook::Utf8ToUtf16(Broken(name).string()));
    try {
        book.Read();
    } catch (const std::exception& e) {
        return e.what();
    }
    return workbook::CellListing(book);
}

class Decrypt : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!fs::is_directory(fs::path(TB_CORPUS_DIR) / "broken")) GTEST_SKIP() << "no corpus";
    }
};

}  // namespace

TEST_F(Decrypt, protected_workbooks_open_without_a_password)
{
    for (const char* name : {"edr__TestExcel_2040.xls", "edr__protectedsheet-xxx.xls", "calamine__issue_385.xls"})
        EXPECT_EQ(ListingOf(name, u""), Expected(name)) << name;
}

TEST_F(Decrypt, md5_and_cryptoapi_rc4_files_open_with_their_password)
{
    for (const char* name : {"poi__password.xls", "edr__Test_git_issue_242_std_rc4_pwd_password.xls",
                             "edr__Test_git_issue_477_crypto_keylength40.xls",
                             "sheetjs__password_2002_128_enhanced.xls", "sheetjs__password_2002_128_strong.xls",
                             "sheetjs__password_2002_40_basecrypto.xls", "sheetjs__password_2002_40_dss.xls"})
        EXPECT_EQ(ListingOf(name, u"password"), Expected(name)) << name;
}

TEST_F(Decrypt, a_wrong_or_missing_password_is_refused_by_name)
{
    EXPECT_NE(ListingOf("poi__password.xls", u"passwort").find("Invalid password"), std::string::npos);
    EXPECT_NE(ListingOf("poi__password.xls", u"").find("File is encrypted. Password required."), std::string::npos);
    EXPECT_NE(ListingOf("edr__Test_git_issue_477_crypto_keylength40.xls", u"").find("Password required."),
              std::string::npos);
}

// The copy written back is a plain workbook: no FILEPASS, same texts, and it
// reads again without any password.
TEST_F(Decrypt, the_copy_written_back_is_not_encrypted)
{
    workbook::TXLSWorkbook book;
    book.FPassword = u"password";
    book.SetFilename(workbook::Utf8ToUtf16(Broken("poi__password.xls").string()));
    book.Read();
    std::vector<uint8_t> copy;
    book.WriteToStream(copy);
    for (const auto& r : tbtest::RecordsOf(copy)) EXPECT_NE(r.Id, 0x002F);
    workbook::TXLSWorkbook again;
    workbook::ReadBIFFFromMemory(again, copy);
    EXPECT_EQ(workbook::CellListing(again), Expected("poi__password.xls"));
}
