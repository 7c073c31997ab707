// Every package of the corpus read through the workbook component gives the
// sheet names and cell texts that other programs read from it; the broken
// ones fail with a message that says what is wrong.
#include <gtest/gtest.h>

#include <map>

#include "workbook/XLSError.h"
#include "reader_texts_test.h"

namespace {

using namespace tbtest;
namespace fs = std::filesystem;

// Packages whose texts differ from the other readers' for known reasons.
const std::map<std::string, std::string> kKnownDifferences = {
    // Text without xml:space="preserve" is trimmed here; the other reader keeps its spaces.
    {"calamine__minimal_package.xlsx", "trimmed"},
    {"calamine__whitespace_trim.xlsx", "trimmed"},
    // Repeated <row r="1"> elements: here a later cell at the same place replaces the earlier one.
    {"edr__Test_git_issue_324.xlsx", "repeated rows"},
};

class XlsxReaderCorpus : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!fs::is_directory(CorpusDir() / "xlsx")) GTEST_SKIP() << "no corpus at " << CorpusDir();
    }
};

TEST_F(XlsxReaderCorpus, every_package_reads_with_the_texts_other_programs_read)
{
    int equal = 0, strictOnlyHere = 0, known = 0, files = 0;
    for (const fs::path& file : PackageFiles("xlsx")) {
        const std::string name = file.filename().string();
        SCOPED_TRACE(name);
        ++files;
        TBookTexts texts;
        try {
            texts = ReadBookTexts(file);
        } catch (const std::exception& e) {
            ADD_FAILURE() << e.what();
            continue;
        }
        const fs::path expected = CorpusDir() / "expected" / (name + ".tsv");
        if (!fs::exists(expected)) continue;
        EXPECT_EQ(texts.Sheets, FileText(CorpusDir() / "expected" / (name + ".sheets")));
        const std::string oracle = FileText(expected);
        if (kKnownDifferences.count(name)) {
            EXPECT_NE(texts.Tsv, oracle) << "no longer differs";
            ++known;
        } else if (oracle.empty() && name.find("strict") != std::string::npos) {
            // The other reader reads no cells of ISO-strict packages; these are read here.
            EXPECT_FALSE(texts.Tsv.empty());
            ++strictOnlyHere;
        } else {
            EXPECT_EQ(texts.Tsv, oracle);
            equal += texts.Tsv == oracle;
        }
    }
    EXPECT_EQ(files, 149);
    EXPECT_EQ(equal, 139);
    EXPECT_EQ(strictOnlyHere, 7);
    EXPECT_EQ(known, 3);
}

TEST_F(XlsxReaderCorpus, broken_packages_fail_with_clear_messages_or_read)
{
    int failed = 0, read = 0;
    for (const fs::path& file : PackageFiles("broken")) {
        const std::string name = file.filename().string();
        SCOPED_TRACE(name);
        try {
            const TBookTexts texts = ReadBookTexts(file);
            ++read;
            const fs::path expected = CorpusDir() / "expected" / (name + ".tsv");
            if (fs::exists(expected)) {
                EXPECT_EQ(texts.Tsv, FileText(expected));
            }
        } catch (const workbook::EXLSError& e) {
            ++failed;
            EXPECT_GT(std::string(e.what()).size(), 10u);
            std::cerr << name << ": " << e.what() << "\n";
        }
    }
    EXPECT_GE(failed, 6);  // five encrypted packages and the empty zip
}

}  // namespace
