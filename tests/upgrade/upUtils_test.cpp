#include "upgrade/upUtils.h"

#include <gtest/gtest.h>

namespace {

TupVersionInfo ByDate(const QString& date) { return TupVersionInfo{byDate, date, QString()}; }
TupVersionInfo ByNumber(const QString& number) { return TupVersionInfo{byNumber, QString(), number}; }

}  // namespace

TEST(upUtils, decoding_honours_byte_order_marks_and_falls_back_to_gbk)
{
    EXPECT_EQ(DecodeInfoFile("\xEF\xBB\xBF#message={\xE5\x8D\x87\xE7\xBA\xA7}"), QString("#message={升级}\r\n"));
    EXPECT_EQ(DecodeInfoFile(QByteArray("\xFF\xFE#\0a\0", 6)), QString("#a\r\n"));
    EXPECT_EQ(DecodeInfoFile(QByteArray("\xFE\xFF\0#\0a", 6)), QString("#a\r\n"));
    // "升级" in GBK.
    EXPECT_EQ(DecodeInfoFile("\xC9\xFD\xBC\xB6"), QString("升级\r\n"));
}

TEST(upUtils, lines_end_in_cr_lf_whatever_the_file_used)
{
    EXPECT_EQ(DecodeInfoFile("a\rb\nc\r\nd"), QString("a\r\nb\r\nc\r\nd\r\n"));
    EXPECT_EQ(DecodeInfoFile("a\n\nb\n"), QString("a\r\n\r\nb\r\n"));
    EXPECT_EQ(DecodeInfoFile(""), QString());
}

TEST(upUtils, keys_match_in_any_case_and_values_keep_theirs)
{
    const QString text = DecodeInfoFile("#DATE=10/21/2013\n#Url=HTTPS://Host/App\tignored\n");
    EXPECT_EQ(GetInfoValue(text, "date"), "10/21/2013");
    EXPECT_EQ(GetInfoValue(text, "url"), "HTTPS://Host/App");
    EXPECT_EQ(GetInfoValue(text, "version"), "");
}

TEST(upUtils, braced_message_spans_lines_and_needs_its_braces)
{
    const QString braced = DecodeInfoFile("#message={first line\nsecond line}\n");
    EXPECT_EQ(GetInfoValue(braced, "message", true), "first line\r\nsecond line");
    const QString plain = DecodeInfoFile("#message=no braces\n");
    EXPECT_EQ(GetInfoValue(plain, "message", true), "");
}

TEST(upUtils, download_list_continues_numbering_after_the_plain_keys)
{
    EXPECT_EQ(BuildDownloadList(DecodeInfoFile("#url=A\n#url2=B\n#url3=C\n#url5=E\n")), QStringList({"A", "B", "C"}));
    EXPECT_EQ(BuildDownloadList(DecodeInfoFile("#url=A\n#url0=Z\n#url2=never\n#url3=C\n")),
              QStringList({"A", "Z", "C"}));
    EXPECT_EQ(BuildDownloadList(DecodeInfoFile("#url1=A\n#url2=B\n")), QStringList({"A", "B"}));
    EXPECT_EQ(BuildDownloadList(DecodeInfoFile("#url=A\n#url1=skipped\n")), QStringList({"A"}));
}

TEST(upUtils, version_dates_parse_strictly_and_format_with_slashes)
{
    EXPECT_EQ(ParseVersionDate("10/20/2013"), QDate(2013, 10, 20));
    EXPECT_EQ(ParseVersionDate("1/2/2014"), QDate(2014, 1, 2));
    EXPECT_EQ(ParseVersionDate("10/20/2013 "), QDate::currentDate());
    EXPECT_EQ(ParseVersionDate("02/30/2013"), QDate::currentDate());
    EXPECT_EQ(ParseVersionDate("2013-10-20"), QDate::currentDate());
    EXPECT_EQ(ParseVersionDate("10/2x/2013"), QDate::currentDate());
    EXPECT_EQ(FormatVersionDate(QDate(2013, 10, 20)), "10/20/2013");
    EXPECT_EQ(FormatVersionDate(QDate(2014, 1, 2)), "01/02/2014");
}

TEST(upUtils, versions_compare_by_number_parts_or_as_text)
{
    EXPECT_EQ(SplitVersion("1.2"), QStringList({"1", "2", "0", "0"}));
    EXPECT_EQ(SplitVersion("1.2.3.4.5"), QStringList({"1", "2", "3", "4"}));
    EXPECT_EQ(CompareVersions("1.10", "1.9"), 1);
    EXPECT_EQ(CompareVersions("1.2", "1.2.0.0"), 0);
    EXPECT_EQ(CompareVersions("1.2", "1.3"), -1);
    EXPECT_EQ(CompareVersions("2b", "10"), 1);  // a letter: the whole texts decide
    EXPECT_EQ(CompareVersions("", "1.0"), -1);
}

TEST(upUtils, newer_means_strictly_later_date_or_greater_number)
{
    EXPECT_TRUE(IsNewerVersion(DecodeInfoFile("#date=10/21/2013"), ByDate("10/20/2013")));
    EXPECT_FALSE(IsNewerVersion(DecodeInfoFile("#date=10/20/2013"), ByDate("10/20/2013")));
    EXPECT_FALSE(IsNewerVersion(DecodeInfoFile("#date=10/19/2013"), ByDate("10/20/2013")));
    // Without a date, or with one that does not parse, the release counts as today's.
    EXPECT_TRUE(IsNewerVersion(DecodeInfoFile("#url=x"), ByDate("10/20/2013")));
    EXPECT_TRUE(IsNewerVersion(DecodeInfoFile("#date=10/20/2013  \n"), ByDate("10/20/2013")));
    EXPECT_TRUE(IsNewerVersion(DecodeInfoFile("#version=1.10"), ByNumber("1.9")));
    EXPECT_FALSE(IsNewerVersion(DecodeInfoFile("#version=1.2"), ByNumber("1.2.0.0")));
}

TEST(upUtils, process_info_file_gives_the_release_or_nothing)
{
    const TupInfoOutcome found =
        ProcessInfoFile("#date=10/21/2013\r\n#url=https://u/tallybrook\r\n#message={Faster export}\r\n#method=2xyz\r\n",
                        ByDate("10/20/2013"));
    EXPECT_TRUE(found.ReleaseAvailable);
    EXPECT_EQ(found.Files, QStringList({"https://u/tallybrook"}));
    EXPECT_EQ(found.Message, "Faster export");
    EXPECT_EQ(found.Method, umRedirectToURL);
    EXPECT_EQ(ProcessInfoFile("#date=10/21/2013\n#url=x\n#method=1\n", ByDate("10/20/2013")).Method,
              umUseExternalSetup);
    EXPECT_EQ(ProcessInfoFile("#date=10/21/2013\n#url=x\n", ByDate("10/20/2013")).Method, umSelfUpgrade);
    EXPECT_FALSE(ProcessInfoFile("#date=10/21/2013\n", ByDate("10/20/2013")).ReleaseAvailable);
    EXPECT_FALSE(ProcessInfoFile("#date=10/20/2013\n#url=x\n", ByDate("10/20/2013")).ReleaseAvailable);
}
