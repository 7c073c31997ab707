#include "TestKey.h"
#include "tools/release/ReleaseInfo.h"
#include "upgrade/upSignature.h"
#include "upgrade/upUtils.h"

#include <gtest/gtest.h>

namespace {

const TupVersionInfo Running{byDate, "10/20/2013", QString()};
const TupInfoTrust Trust{TestPublicKey(), "https://update.example/update.inf"};

QByteArray Release(const QList<release::ReleaseFile>& files, int method = 0)
{
    release::ReleaseInfo info;
    info.Date = "10/21/2013";
    info.Message = "导出更快";
    info.Method = method;
    info.Files = files;
    return release::WriteInfo(info);
}

}  // namespace

TEST(upSignature, tool_signed_file_is_valid_only_for_its_key_and_its_bytes)
{
    const QByteArray text = release::Sign("#date=10/21/2013\r\n", TestSeed());
    EXPECT_TRUE(text.startsWith("#date=10/21/2013\r\n#signature="));
    EXPECT_EQ(release::PublicKeyOf(TestSeed()), TestPublicKey());
    EXPECT_EQ(VerifyInfoSignature(text, TestPublicKey()), scValid);
    EXPECT_EQ(VerifyInfoSignature(text, release::PublicKeyOf(OtherSeed())), scBadSignature);
    EXPECT_EQ(VerifyInfoSignature(QByteArray(text).replace("21", "22"), TestPublicKey()), scBadSignature);
    EXPECT_EQ(VerifyInfoSignature(text, QByteArray()), scBadSignature);
    EXPECT_EQ(VerifyInfoSignature("#date=10/21/2013\r\n", TestPublicKey()), scUnsigned);
    // Anything after the signature line leaves the file unsigned.
    EXPECT_EQ(VerifyInfoSignature(text + "#url=https://elsewhere/x\r\n", TestPublicKey()), scUnsigned);
    EXPECT_EQ(VerifyInfoSignature("#date=1\r\n#signature=!!notbase64\r\n", TestPublicKey()), scBadSignature);
}

TEST(upSignature, signing_again_replaces_the_signature)
{
    const QByteArray once = release::Sign("#date=10/21/2013", TestSeed());
    EXPECT_EQ(release::Sign(once, TestSeed()), once);
    EXPECT_EQ(once.count("#signature="), 1);
}

TEST(upSignature, signed_release_gives_each_file_its_size_and_hash)
{
    const auto program = release::Describe("https://update.example/tallybrook", "program bytes");
    const auto readme = release::Describe("https://UPDATE.example:443/readme.txt", "");
    const TupInfoOutcome outcome =
        ProcessInfoFile(release::Sign(Release({program, readme}), TestSeed()), Running, Trust);
    EXPECT_EQ(outcome.Refusal, irNone);
    ASSERT_TRUE(outcome.ReleaseAvailable);
    EXPECT_EQ(outcome.Files, QStringList({program.Url, readme.Url}));
    ASSERT_EQ(outcome.Checks.size(), 2);
    EXPECT_EQ(outcome.Checks[0].Size, 13);
    EXPECT_EQ(outcome.Checks[0].Sha256, program.Sha256);
    EXPECT_EQ(outcome.Checks[1].Size, 0);
    EXPECT_EQ(outcome.Message, "导出更快");  // written in UTF-8 with its mark, read back whole
}

TEST(upSignature, release_without_hashes_or_from_another_server_is_refused)
{
    const QByteArray bare = "#date=10/21/2013\r\n#url=https://update.example/tallybrook\r\n";
    EXPECT_EQ(ProcessInfoFile(release::Sign(bare, TestSeed()), Running, Trust).Refusal, irNoChecksum);
    const QByteArray badSize = bare + "#url-size=12x\r\n#url-sha256=" + QByteArray(64, 'a') + "\r\n";
    EXPECT_EQ(ProcessInfoFile(release::Sign(badSize, TestSeed()), Running, Trust).Refusal, irNoChecksum);
    for (const char* elsewhere : {"https://evil.example/tallybrook", "http://update.example/tallybrook",
                                  "https://update.example:8443/tallybrook", "update.example/tallybrook"}) {
        const auto file = release::Describe(elsewhere, "x");
        EXPECT_EQ(ProcessInfoFile(release::Sign(Release({file}), TestSeed()), Running, Trust).Refusal, irForeignHost)
            << elsewhere;
    }
    // The redirect method downloads nothing: its address may lie anywhere.
    const auto shop = release::Describe("https://shop.example/new", "");
    const TupInfoOutcome redirect = ProcessInfoFile(release::Sign(Release({shop}, 2), TestSeed()), Running, Trust);
    EXPECT_TRUE(redirect.ReleaseAvailable);
    EXPECT_EQ(redirect.Method, umRedirectToURL);
}

TEST(upSignature, unsigned_file_is_refused_even_without_a_newer_release)
{
    const TupInfoOutcome outcome = ProcessInfoFile("#date=10/20/2013\r\n", Running, Trust);
    EXPECT_EQ(outcome.Refusal, irUnsigned);
    EXPECT_FALSE(outcome.ReleaseAvailable);
}

TEST(upInfoReader, reads_keys_in_one_pass_with_the_first_occurrence_winning)
{
    const TupInfoReader info(DecodeInfoFile("x#URL=First\n#url=second\n##url0=zero\n#url2-size=5\n"
                                            "#message=plain #message={braced\nlines}\n#date#date=1/2/2013\n"));
    EXPECT_EQ(info.Value("url"), "First");
    EXPECT_EQ(info.Value("url0"), "zero");
    EXPECT_EQ(info.Value("url2"), "");
    EXPECT_EQ(info.Value("url2-size"), "5");
    EXPECT_EQ(info.Value("message"), "plain #message={braced");
    EXPECT_EQ(info.Value("message", true), "braced\r\nlines");
    EXPECT_EQ(info.Value("date"), "1/2/2013");
}

TEST(upInfoReader, download_list_stops_at_its_limit)
{
    QString text = "#url=a\n";
    for (int n = 2; n <= MaxInfoEntries + 5; ++n) text += QStringLiteral("#url%1=f%1\n").arg(n);
    const TupDownloadList list = ReadDownloadList(TupInfoReader(DecodeInfoFile(text.toUtf8())));
    EXPECT_TRUE(list.TooMany);
    EXPECT_EQ(list.Files.size(), MaxInfoEntries);
    EXPECT_EQ(list.Keys.value(1), "url2");
}
