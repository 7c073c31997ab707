// An update that goes wrong in any way leaves the installed program exactly
// as it was and still starting: against our own HTTPS server, with the real
// replacement program and the dummy program.
#include "Spawn.h"
#include "UpdaterFixture.h"
#include "upgrade/upMessages.h"

#include <QFileInfo>
#include <sys/stat.h>

namespace {

class upSafeUpgrade : public upUpdaterFlow {
protected:
    // A release of the program that differs from the installed one.
    QByteArray Release() const { return dummy + QByteArray("\0release 2", 10); }
    QByteArray InfoFor(const QString& programUrl) const
    {
        return "#date=10/21/2013\r\n#url=" + programUrl.toUtf8() + "\r\n";
    }
    // The previous program is untouched: same bytes, no leftovers, starts.
    void ExpectPreviousProgramRuns()
    {
        EXPECT_EQ(ReadAll(app), dummy);
        EXPECT_TRUE(TemporaryFiles().isEmpty());
        EXPECT_EQ(RunProgram(app, {"started"}), 0);
        EXPECT_TRUE(ReadAll(app + ".ran").endsWith("started\n"));
    }
    // What the previous program shows once it is up again.
    QStringList ShownAfterRestart()
    {
        TupUpdater restarted;
        auto shown = std::make_shared<TestPrompter>();
        restarted.setPrompter(shown);
        restarted.Loaded();
        WaitFor([&] { return !shown->Errors.isEmpty(); }, 2000);
        return shown->Errors;
    }
    QStringList Backups() const
    {
        return QDir(temp.filePath("install")).entryList({"*.uOLD"}, QDir::Files | QDir::Hidden);
    }
    // Refused downloads: the program stays, the seller reads why.
    void ExpectRefusedDownload(const QByteArray& served)
    {
        const QString url = File("tallybrook", served);
        Expect(url, Release());
        ASSERT_TRUE(Check(Publish(InfoFor(url))));
        EXPECT_EQ(outcomes, QStringList({"aborted"}));
        ASSERT_EQ(prompter->Errors.size(), 1);
        EXPECT_TRUE(prompter->Errors[0].startsWith(FileMismatchMessage(tag + "-tallybrook", "").section('\n', 0, 0)))
            << prompter->Errors[0].toStdString();
        EXPECT_FALSE(up->Restarting());
        ExpectPreviousProgramRuns();
    }
};

}  // namespace

TEST_F(upSafeUpgrade, empty_body_is_refused) { ExpectRefusedDownload(QByteArray()); }

TEST_F(upSafeUpgrade, html_page_not_found_is_refused)
{
    ExpectRefusedDownload("<html><head><title>404</title></head><body>page not found</body></html>\n");
}

TEST_F(upSafeUpgrade, body_with_another_hash_is_refused)
{
    QByteArray other = Release();
    other[other.size() - 1] = '3';
    ExpectRefusedDownload(other);
}

TEST_F(upSafeUpgrade, short_body_is_refused) { ExpectRefusedDownload(Release().chopped(100)); }

TEST_F(upSafeUpgrade, long_body_is_refused) { ExpectRefusedDownload(Release() + "and more"); }

TEST_F(upSafeUpgrade, body_without_length_is_refused)
{
    const QString url = File("tallybrook", Release());
    ASSERT_TRUE(Check(Publish(InfoFor("{base}/nolength/" + tag + "-tallybrook"))));
    EXPECT_EQ(outcomes, QStringList({"aborted"}));
    EXPECT_EQ(prompter->Errors.size(), 1);
    ExpectPreviousProgramRuns();
}

TEST_F(upSafeUpgrade, unsigned_information_file_is_refused_before_anything_is_fetched)
{
    const QString url = File("tallybrook", Release());
    QByteArray unsignedInfo = Signed(InfoFor(url));
    unsignedInfo.truncate(unsignedInfo.indexOf("#signature="));
    ASSERT_TRUE(Check(PublishRaw(unsignedInfo)));
    EXPECT_EQ(outcomes, QStringList({"aborted"}));
    EXPECT_EQ(prompter->Errors, QStringList({RefusedInfoMessage(irUnsigned, "no #signature line at the end")}));
    EXPECT_TRUE(prompter->Questions.isEmpty());
    EXPECT_TRUE(server.Requests(tag + "-tallybrook").isEmpty());
    ExpectPreviousProgramRuns();
}

TEST_F(upSafeUpgrade, file_signed_by_another_key_is_refused)
{
    const QString url = File("tallybrook", Release());
    ASSERT_TRUE(Check(PublishRaw(Signed(InfoFor(url), OtherSeed()))));
    EXPECT_EQ(prompter->Errors,
              QStringList({RefusedInfoMessage(irBadSignature, "the signature does not match the maker's key")}));
    EXPECT_TRUE(server.Requests(tag + "-tallybrook").isEmpty());
    ExpectPreviousProgramRuns();
}

TEST_F(upSafeUpgrade, changed_information_file_is_refused)
{
    const QString url = File("tallybrook", Release());
    QByteArray changed = Signed(InfoFor(url));
    changed.replace("10/21/2013", "10/22/2013");
    ASSERT_TRUE(Check(PublishRaw(changed)));
    EXPECT_EQ(prompter->Errors,
              QStringList({RefusedInfoMessage(irBadSignature, "the signature does not match the maker's key")}));
    ExpectPreviousProgramRuns();
}

TEST_F(upSafeUpgrade, program_on_another_host_is_refused)
{
    File("tallybrook", Release());
    const QString elsewhere = QString("https://localhost:%1/%2-tallybrook").arg(QUrl(Base()).port()).arg(tag);
    ASSERT_TRUE(Check(Publish(InfoFor(elsewhere))));
    ASSERT_EQ(prompter->Errors.size(), 1);
    EXPECT_TRUE(prompter->Errors[0].startsWith(RefusedInfoMessage(irForeignHost, "").section('\n', 0, 0)));
    EXPECT_TRUE(server.Requests(tag + "-tallybrook").isEmpty());
    ExpectPreviousProgramRuns();
}

TEST_F(upSafeUpgrade, endless_information_file_stops_at_its_limit)
{
    ASSERT_TRUE(Check(server.Https("endless/" + tag)));
    EXPECT_EQ(outcomes, QStringList({"aborted"}));
    EXPECT_EQ(prompter->Errors, QStringList({InfoFileTooLargeMessage()}));
    ExpectPreviousProgramRuns();
}

TEST_F(upSafeUpgrade, information_file_with_8000_entries_is_refused)
{
    QByteArray info = "#date=10/21/2013\r\n#url={base}/a0\r\n";
    for (int n = 2; n <= 8000; ++n)
        info += "#url" + QByteArray::number(n) + "={base}/a" + QByteArray::number(n) + "\r\n";
    ASSERT_TRUE(Check(PublishRaw(release::Sign(info.replace("{base}", Base().toUtf8()), TestSeed()))));
    EXPECT_EQ(prompter->Errors, QStringList({RefusedInfoMessage(irTooManyEntries, "more than 300 files listed")}));
    EXPECT_TRUE(prompter->Questions.isEmpty());
    ExpectPreviousProgramRuns();
}

TEST_F(upSafeUpgrade, planted_link_is_removed_and_never_followed)
{
    const QString outside = temp.filePath("outside.txt");
    QFile file(outside);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not the program's");
    file.close();
    ASSERT_TRUE(QFile::setPermissions(outside, QFile::ReadOwner | QFile::WriteOwner));
    ASSERT_TRUE(QFile::link(outside, temp.filePath("install/" + tag + "-notes.txt.uTMP")));
    up->OnEndUpgrade = [](TupUpdater* u) { u->Abort(); };  // stop before the hand-over
    ASSERT_TRUE(Check(Publish("#date=10/21/2013\r\n#url=" + File("notes.txt", "new notes").toUtf8() + "\r\n")));
    EXPECT_EQ(ReadAll(outside), QByteArray("not the program's"));
    struct stat info {};
    ASSERT_EQ(::stat(outside.toLocal8Bit().constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    EXPECT_FALSE(QFileInfo(temp.filePath("install/" + tag + "-notes.txt.uTMP")).isSymLink());
    EXPECT_EQ(ReadAll(temp.filePath("install/" + tag + "-notes.txt.uTMP")), QByteArray("new notes"));
}

TEST_F(upSafeUpgrade, temporary_file_that_cannot_be_created_ends_with_a_message_and_the_next_check_works)
{
    const QString blocker = temp.filePath("install/" + tag + "-notes.txt.uTMP");
    ASSERT_TRUE(QDir().mkpath(blocker + "/inside"));
    const QString info = Publish("#date=10/21/2013\r\n#url=" + File("notes.txt", "new notes").toUtf8() + "\r\n");
    ASSERT_TRUE(Check(info));
    EXPECT_EQ(outcomes, QStringList({"aborted"}));
    ASSERT_EQ(prompter->Errors.size(), 1);
    EXPECT_TRUE(prompter->Errors[0].startsWith(FileNotWrittenMessage("", "").section('\n', 0, 0)));
    EXPECT_FALSE(prompter->WizardOpen);
    QDir(blocker).removeRecursively();
    outcomes.clear();
    up->OnEndUpgrade = [](TupUpdater* u) { u->Abort(); };
    ASSERT_TRUE(Check(info));
    EXPECT_EQ(ReadAll(blocker), QByteArray("new notes"));
}

TEST_F(upSafeUpgrade, folder_others_can_write_is_not_worked_in)
{
    QFile::setPermissions(temp.filePath("install"), QFileDevice::Permissions(0x7777));
    ASSERT_TRUE(Check(Publish(InfoFor(File("tallybrook", Release())))));
    ASSERT_EQ(prompter->Errors.size(), 1);
    EXPECT_TRUE(prompter->Errors[0].startsWith(UntrustedFolderMessage("").section('\n', 0, 0)));
    EXPECT_TRUE(server.Requests(tag + "-tallybrook").isEmpty());
    ::chmod(temp.filePath("install").toLocal8Bit().constData(), 0755);
    ExpectPreviousProgramRuns();
}

TEST_F(upSafeUpgrade, replacement_program_that_cannot_be_written_keeps_the_program_running)
{
    up->setReplacerSource(temp.filePath("no-such-replacer"));
    ASSERT_TRUE(Check(Publish(InfoFor(File("tallybrook", Release())))));
    EXPECT_EQ(outcomes, QStringList({"aborted"}));  // no hand-over, no closing
    ASSERT_EQ(prompter->Errors.size(), 1);
    EXPECT_TRUE(prompter->Errors[0].startsWith(ReplacerNotStartedMessage("").section('\n', 0, 0)));
    EXPECT_FALSE(up->Restarting());
    ExpectPreviousProgramRuns();
}

TEST_F(upSafeUpgrade, replacement_failing_on_the_second_of_three_files_puts_everything_back)
{
    const QString install = temp.filePath("install/");
    ASSERT_TRUE(QDir().mkpath(install + tag + "-b.txt/inside"));  // cannot be replaced by a file
    QFile a(install + tag + "-a.txt");
    ASSERT_TRUE(a.open(QIODevice::WriteOnly));
    a.write("old a");
    a.close();
    Serve(tag + "/tallybrook", Release());
    const QByteArray info = InfoFor("{base}/" + tag + "/tallybrook") + "#url2=" + File("a.txt", "new a").toUtf8() +
                            "\r\n#url3=" + File("b.txt", "new b").toUtf8() + "\r\n";
    ASSERT_TRUE(Check(Publish(info)));
    EXPECT_EQ(outcomes, QStringList({"handover"}));
    // The replacement program gives the previous version back and starts it plainly.
    ASSERT_TRUE(WaitFor([&] { return ReadAll(app + ".ran") == "\n" && Backups().isEmpty(); }));
    EXPECT_EQ(ReadAll(install + tag + "-a.txt"), QByteArray("old a"));
    EXPECT_TRUE(QFileInfo(install + tag + "-b.txt").isDir());
    EXPECT_TRUE(prompter->Errors.isEmpty());
    EXPECT_EQ(ShownAfterRestart(), QStringList({RolledBackMessage(install + tag + "-b.txt: is not a plain file")}));
    ExpectPreviousProgramRuns();
}

TEST_F(upSafeUpgrade, new_program_that_never_confirms_is_replaced_by_the_previous_one)
{
    qputenv("TALLYBROOK_UPGRADE_CONFIRM_SECONDS", "2");
    const QByteArray hanging = "#!/bin/sh\necho new >> \"$0.ran\"\nexec sleep 30\n";
    Serve(tag + "/tallybrook", hanging);
    ASSERT_TRUE(Check(Publish(InfoFor("{base}/" + tag + "/tallybrook"))));
    EXPECT_EQ(outcomes, QStringList({"handover"}));
    const bool restored = WaitFor([&] { return ReadAll(app + ".ran") == "new\n\n"; });
    qunsetenv("TALLYBROOK_UPGRADE_CONFIRM_SECONDS");
    ASSERT_TRUE(restored) << ReadAll(app + ".ran").toStdString();
    EXPECT_TRUE(Backups().isEmpty());
    EXPECT_EQ(ShownAfterRestart(), QStringList({RolledBackMessage("the new version did not come up")}));
    EXPECT_TRUE(ShownAfterRestart().isEmpty());  // shown once
    ExpectPreviousProgramRuns();
}

TEST_F(upSafeUpgrade, confirmed_new_program_stays_and_the_previous_one_is_dropped)
{
    Serve(tag + "/tallybrook", Release());
    ASSERT_TRUE(Check(Publish(InfoFor("{base}/" + tag + "/tallybrook"))));
    ASSERT_TRUE(WaitFor([&] { return ReadAll(app + ".ran") == "/afterupgrade0\n" && Backups().isEmpty(); }));
    EXPECT_EQ(ReadAll(app), Release());
    EXPECT_TRUE(TemporaryFiles().isEmpty());
    EXPECT_TRUE(ShownAfterRestart().isEmpty());
}

TEST_F(upSafeUpgrade, download_redirected_to_another_host_is_not_followed)
{
    prompter->AnswerSkip = false;
    File("tallybrook", Release());
    Expect("{base}/redirect-host/" + tag + "-tallybrook", Release());
    ASSERT_TRUE(Check(Publish(InfoFor("{base}/redirect-host/" + tag + "-tallybrook"))));
    EXPECT_EQ(outcomes, QStringList({"aborted"}));
    EXPECT_EQ(prompter->YesNoCaptions, QStringList({"Error #302"}));
    EXPECT_EQ(server.Requests(tag + "-tallybrook").size(), 1);  // the redirect only
    ExpectPreviousProgramRuns();
}
