#include "UpdaterFixture.h"
#include "upgrade/upDefaults.h"
#include "upgrade/upQtPrompter.h"
#include "upgrade/upUpdater.h"
#include "upgrade/upUpdaterQuestion.h"
#include "upgrade/upUpdaterWizard.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QLabel>
#include <QTimer>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

// Receives the addresses the redirect method opens.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> Opened;
public slots:
    void Open(const QUrl& url) { Opened << url; }
};

}  // namespace

TEST_F(upUpdaterFlow, newer_release_is_asked_downloaded_replaced_and_restarted)
{
    const QByteArray release = dummy + QByteArray("\0release 2", 10);
    const QByteArray info = "#date=10/21/2013\r\n#url={base}/" + tag.toUtf8() +
                            "/tallybrook\r\n#url2=" + File("readme.txt", "new readme").toUtf8() +
                            "\r\n#message={Faster export}\r\n";
    Serve(tag + "/tallybrook", release);
    QStringList atEnd;
    up->OnEndUpgrade = [&](TupUpdater*) { atEnd = TemporaryFiles(); };
    ASSERT_TRUE(Check(Publish(info)));
    EXPECT_EQ(outcomes, QStringList({"handover"}));
    EXPECT_EQ(prompter->Questions, QStringList({"Faster export"}));
    EXPECT_EQ(prompter->WizardShows, 1);
    EXPECT_TRUE(prompter->FinishedPage);
    EXPECT_EQ(prompter->WizardFiles.size(), 2);
    EXPECT_TRUE(prompter->Errors.isEmpty());
    EXPECT_TRUE(up->Restarting());
    EXPECT_EQ(atEnd, Sorted({"tallybrook.uTMP", tag + "-readme.txt.uTMP"}));
    EXPECT_EQ(server.Requests(tag + ".inf").value(0)["Cache-Control"].toString(), "no-cache");
    EXPECT_TRUE(server.Requests(tag + "/tallybrook").value(0)["Cache-Control"].isNull());
    // The replacement program puts the files in place and starts the program again.
    ASSERT_TRUE(WaitFor([&] { return ReadAll(app + ".ran").endsWith("\n"); }));
    EXPECT_EQ(ReadAll(app + ".ran"), QByteArray("/afterupgrade0\n"));
    EXPECT_EQ(ReadAll(app), release);
    EXPECT_EQ(ReadAll(temp.filePath("install/" + tag + "-readme.txt")), QByteArray("new readme"));
    EXPECT_TRUE(TemporaryFiles().isEmpty());
}

TEST_F(upUpdaterFlow, end_handler_that_aborts_keeps_the_program_and_the_downloaded_files)
{
    // The application backs up its database here; when that fails it aborts.
    up->OnEndUpgrade = [](TupUpdater* u) { u->Abort(); };
    ASSERT_TRUE(Check(Publish("#date=10/21/2013\n#url=" + File("readme.txt", "r").toUtf8() + "\n")));
    EXPECT_FALSE(up->Restarting());
    EXPECT_EQ(TemporaryFiles(), QStringList({tag + "-readme.txt.uTMP"}));
    EXPECT_EQ(ReadAll(app), dummy);
}

TEST_F(upUpdaterFlow, equal_release_date_shows_nothing)
{
    ASSERT_TRUE(Check(Publish("#date=10/20/2013\n#url=" + File("app", "x").toUtf8() + "\n")));
    EXPECT_EQ(outcomes, QStringList({"noupdate"}));
    EXPECT_TRUE(prompter->Questions.isEmpty());
    EXPECT_TRUE(prompter->Errors.isEmpty());
    EXPECT_EQ(up->VersionDate(), "10/20/2013");
}

TEST_F(upUpdaterFlow, declined_upgrade_downloads_nothing)
{
    prompter->AnswerUpgrade = false;
    ASSERT_TRUE(Check(Publish("#date=10/21/2013\n#url=" + File("app", "x").toUtf8() + "\n")));
    EXPECT_EQ(outcomes, QStringList({"later"}));
    EXPECT_EQ(prompter->WizardShows, 0);
    EXPECT_TRUE(TemporaryFiles().isEmpty());
    EXPECT_TRUE(server.Requests(tag + "-app").isEmpty());
}

TEST_F(upUpdaterFlow, wizard_closed_at_the_end_aborts_and_keeps_the_program)
{
    prompter->CancelAtFinish = true;
    ASSERT_TRUE(Check(Publish("#date=10/21/2013\n#url=" + File("readme.txt", "r").toUtf8() + "\n")));
    EXPECT_EQ(outcomes, QStringList({"aborted"}));
    EXPECT_FALSE(up->Restarting());
    EXPECT_EQ(TemporaryFiles(), QStringList({tag + "-readme.txt.uTMP"}));
    EXPECT_EQ(ReadAll(app), dummy);
}

TEST_F(upUpdaterFlow, missing_file_skipped_leaves_no_temporary_file_and_installs_the_rest)
{
    const QByteArray info =
        "#date=10/21/2013\n#url={base}/status404\n#url2=" + File("readme.txt", "new").toUtf8() + "\n";
    QStringList atEnd;
    up->OnEndUpgrade = [&](TupUpdater*) { atEnd = TemporaryFiles(); };
    ASSERT_TRUE(Check(Publish(info)));
    EXPECT_EQ(outcomes, QStringList({"handover"}));
    EXPECT_EQ(prompter->YesNoCaptions, QStringList({"Error #404"}));
    EXPECT_EQ(prompter->YesNoTexts,
              QStringList(
                  {"File status404 not found or inaccessible.\r\rTry to skip this file and continue upgrade?"}));
    EXPECT_EQ(atEnd, QStringList({tag + "-readme.txt.uTMP"}));
}

TEST_F(upUpdaterFlow, missing_file_not_skipped_aborts)
{
    prompter->AnswerSkip = false;
    const QByteArray info =
        "#date=10/21/2013\n#url={base}/status404\n#url2=" + File("readme.txt", "new").toUtf8() + "\n";
    ASSERT_TRUE(Check(Publish(info)));
    EXPECT_EQ(outcomes, QStringList({"aborted"}));
    EXPECT_FALSE(up->Restarting());
    EXPECT_TRUE(server.Requests(tag + "-readme.txt").isEmpty());
}

TEST_F(upUpdaterFlow, lost_connection_shows_the_error_and_keeps_no_partial_file)
{
    Serve(tag + "-big.bin", QByteArray(300000, 'b'));
    const QByteArray info = "#date=10/21/2013\n#url={base}/drop/" + tag.toUtf8() + "-big.bin\n";
    ASSERT_TRUE(Check(Publish(info)));
    EXPECT_EQ(outcomes, QStringList({"connlost"}));
    EXPECT_EQ(prompter->Errors, QStringList({UpText(30)}));
    EXPECT_TRUE(TemporaryFiles().isEmpty());
    EXPECT_FALSE(up->Restarting());
}

TEST_F(upUpdaterFlow, missing_information_file_shows_nothing)
{
    ASSERT_TRUE(Check(server.Https("status404")));
    EXPECT_EQ(outcomes, QStringList({"noinfo"}));
    EXPECT_TRUE(prompter->Errors.isEmpty());
}

TEST_F(upUpdaterFlow, unreachable_server_shows_nothing_and_the_automatic_check_retries)
{
    ASSERT_TRUE(Check("https://127.0.0.1:1/update.inf"));
    EXPECT_EQ(outcomes, QStringList({"unreachable"}));
    EXPECT_TRUE(prompter->Errors.isEmpty());
    up->AutoCheckInterval = 20;
    up->setAutoCheck(true);
    up->Loaded();
    ASSERT_TRUE(WaitFor([this] { return outcomes.size() >= 3; }));
    up->setAutoCheck(false);
    EXPECT_TRUE(prompter->Errors.isEmpty());
}

TEST_F(upUpdaterFlow, start_check_and_one_automatic_check_each_ask)
{
    prompter->AnswerUpgrade = false;
    up->setInfoFileURL(Publish("#date=10/21/2013\n#url=" + File("app", "x").toUtf8() + "\n"));
    up->CheckUpdate();
    ASSERT_TRUE(WaitFor([this] { return outcomes.size() == 1 && !up->Busy(); }));
    up->AutoCheckInterval = 20;
    up->setAutoCheck(true);
    up->Loaded();
    ASSERT_TRUE(WaitFor([this] { return outcomes.size() == 2 && !up->Busy(); }));
    WaitFor([] { return false; }, 200);  // the timer has stopped: no third check
    EXPECT_EQ(outcomes, QStringList({"later", "later"}));
    EXPECT_EQ(prompter->Questions.size(), 2);
    EXPECT_EQ(server.Requests(tag + ".inf").size(), 2);
}

TEST_F(upUpdaterFlow, automatic_check_during_a_transfer_is_dropped)
{
    up->ShowMessages |= 1u << mNoUpdateAvailable;  // shown for manual checks only
    server.Put(tag + "-slow.inf", Signed(QByteArray(40 * 512, ' ') + "#date=10/20/2013\n"));
    up->setInfoFileURL(server.Https("slow/" + tag + "-slow.inf"));
    up->AutoCheckInterval = 20;
    up->setAutoCheck(true);
    up->Loaded();
    up->CheckUpdate();
    ASSERT_TRUE(WaitFor([this] { return outcomes.size() == 1 && !up->Busy(); }));
    WaitFor([] { return false; }, 200);
    EXPECT_EQ(outcomes, QStringList({"noupdate"}));
    EXPECT_EQ(server.Requests(tag + "-slow.inf").size(), 1);
    // The dropped automatic check made the running one count as automatic.
    EXPECT_TRUE(prompter->Errors.isEmpty());
}

TEST_F(upUpdaterFlow, check_returns_at_once_and_a_second_check_while_busy_does_nothing)
{
    server.Put(tag + "-slow.inf", Signed(QByteArray(40 * 512, ' ') + "#date=10/20/2013\n"));
    up->setInfoFileURL(server.Https("slow/" + tag + "-slow.inf"));
    up->CheckUpdate();
    EXPECT_TRUE(up->Busy());
    EXPECT_TRUE(outcomes.isEmpty());
    up->CheckUpdate();
    ASSERT_TRUE(WaitFor([this] { return !outcomes.isEmpty() && !up->Busy(); }));
    EXPECT_EQ(outcomes, QStringList({"noupdate"}));
    EXPECT_EQ(server.Requests(tag + "-slow.inf").size(), 1);
}

TEST_F(upUpdaterFlow, files_of_equal_size_are_skipped_except_the_program)
{
    up->MiscFilesUpgrade = mfuOnlyIfSizeDifferent;
    QFile same(temp.filePath("install/" + tag + "-same.txt"));
    ASSERT_TRUE(same.open(QIODevice::WriteOnly));
    same.write("12345");
    same.close();
    Serve(tag + "/tallybrook", dummy);
    const QByteArray info = "#date=10/21/2013\n#url={base}/" + tag.toUtf8() +
                            "/tallybrook\n#url2=" + File("same.txt", "abcde").toUtf8() +
                            "\n#url3=" + File("other.txt", "abc").toUtf8() + "\n";
    QStringList atEnd;
    up->OnEndUpgrade = [&](TupUpdater*) { atEnd = TemporaryFiles(); };
    ASSERT_TRUE(Check(Publish(info)));
    EXPECT_EQ(atEnd, Sorted({"tallybrook.uTMP", tag + "-other.txt.uTMP"}));
}

TEST_F(upUpdaterFlow, password_window_answers_the_server_and_the_download_goes_on)
{
    Serve(tag + "-locked.txt", "registered");
    prompter->GiveUser = "seller";
    prompter->GivePassword = "secret";
    QStringList atEnd;
    up->OnEndUpgrade = [&](TupUpdater*) { atEnd = TemporaryFiles(); };
    ASSERT_TRUE(Check(Publish("#date=10/21/2013\n#url={base}/auth/" + tag.toUtf8() + "-locked.txt\n")));
    EXPECT_EQ(outcomes, QStringList({"handover"}));
    EXPECT_EQ(prompter->PasswordFiles, QStringList({tag + "-locked.txt"}));
    EXPECT_EQ(atEnd, QStringList({tag + "-locked.txt.uTMP"}));
}

TEST_F(upUpdaterFlow, password_window_cancelled_aborts)
{
    Serve(tag + "-locked.txt", "registered");
    ASSERT_TRUE(Check(Publish("#date=10/21/2013\n#url={base}/auth/" + tag.toUtf8() + "-locked.txt\n")));
    EXPECT_EQ(outcomes, QStringList({"aborted"}));
    EXPECT_TRUE(TemporaryFiles().isEmpty());
}

TEST_F(upUpdaterFlow, redirect_method_opens_the_address_and_downloads_nothing)
{
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("https", &catcher, "Open");
    up->setInfoFileURL(Publish("#date=10/21/2013\n#method=2\n#url=https://shop.tallybrook.example/new\n"));
    up->CheckUpdate();
    const bool opened = WaitFor([&] { return !catcher.Opened.isEmpty() && !up->Busy(); });
    QDesktopServices::unsetUrlHandler("https");
    ASSERT_TRUE(opened);
    EXPECT_TRUE(outcomes.isEmpty());
    EXPECT_EQ(catcher.Opened, QList<QUrl>({QUrl("https://shop.tallybrook.example/new")}));
    EXPECT_EQ(prompter->WizardShows, 0);
}

TEST_F(upUpdaterFlow, real_windows_ask_show_progress_and_finish_with_ok)
{
    up->setPrompter(std::make_shared<TupQtPrompter>());
    QStringList seen;
    QTimer user;  // plays the user: agrees, then presses OK on the finished page
    QObject::connect(&user, &QTimer::timeout, [&] {
        if (auto* question = TupUpdaterQuestionForm::Instance(); question && question->isVisible()) {
            seen << "question";
            question->YesBtn->click();
        }
        auto* wizard = TupUpdaterWizardForm::Instance();
        if (wizard && wizard->FinishBtn->isEnabled()) {
            seen << "finished:" + wizard->WizardTitle->text();
            wizard->FinishBtn->click();
        }
    });
    user.start(10);
    ASSERT_TRUE(Check(Publish("#date=10/21/2013\n#url=" + File("readme.txt", "via windows").toUtf8() + "\n")));
    user.stop();
    EXPECT_EQ(outcomes, QStringList({"handover"}));
    EXPECT_EQ(seen, QStringList({"question", "finished:Upgrade completed!"}));
    EXPECT_EQ(TupUpdaterWizardForm::Instance(), nullptr);
}

TEST(upUpdater, replacement_program_goes_to_a_private_folder_only)
{
    QTemporaryDir temp;
    qputenv("TMPDIR", temp.path().toLocal8Bit());
    const QString own = temp.filePath(QStringLiteral("tallybrook-%1").arg(::getuid()));
    EXPECT_EQ(TupUpdater::ReplacementProgramPath(), own + "/Replacer");
    EXPECT_EQ(QFile::permissions(own) & (QFile::ReadOther | QFile::WriteOther | QFile::ExeOther), 0);
    QFile::setPermissions(own, QFile::permissions(own) | QFile::WriteOther);  // someone opened it up
    EXPECT_FALSE(TupUpdater::ReplacementProgramPath().startsWith(temp.path()));
    qunsetenv("TMPDIR");
}

TEST(upUpdater, open_url_passes_only_web_addresses_to_the_browser)
{
    UrlCatcher catcher;
    for (const char* scheme : {"http", "https", "file", "ftp"})
        QDesktopServices::setUrlHandler(scheme, &catcher, "Open");
    TupUpdater::OpenURL("shop.tallybrook.example/new");
    TupUpdater::OpenURL("file:///etc/passwd");
    TupUpdater::OpenURL("ftp://shop.tallybrook.example/x");
    for (const char* scheme : {"http", "https", "file", "ftp"}) QDesktopServices::unsetUrlHandler(scheme);
    EXPECT_EQ(catcher.Opened, QList<QUrl>({QUrl("http://shop.tallybrook.example/new")}));
}

TEST(upUpdater, login_window_settings_keep_their_meaning)
{
    QObject login;
    auto* up = new TupUpdater(&login);
    up->setObjectName("upUpdater1");
    up->setPrompter(std::make_shared<TestPrompter>());
    up->setAutoCheck(true);
    up->setInfoFileURL(UpdateInfoFileURL());
    up->setInfoFileFiles({UpdateExecutableURL()});
    up->setVersionDate("10/20/2013");
    up->setVersionDateAutoSet(true);
    up->Loaded();
    EXPECT_EQ(up->VersionDate(), "10/20/2013");
    EXPECT_EQ(up->InfoFileURL(), "https://update.tallybrook.example/update.inf");
    EXPECT_EQ(up->InfoFileFiles(), QStringList({"https://update.tallybrook.example/tallybrook"}));
    EXPECT_EQ(up->ShowMessages, 0x4Bu);
    EXPECT_EQ(up->RestartParams(), "/afterupgrade");
    up->setRestartParams("");
    EXPECT_EQ(up->RestartParams(), " ");
}

TEST(upUpdater, server_override_must_be_https)
{
    qputenv("TALLYBROOK_UPDATE_SERVER", "http://evil.example/");
    EXPECT_EQ(UpdateInfoFileURL(), "https://update.tallybrook.example/update.inf");
    qputenv("TALLYBROOK_UPDATE_SERVER", "https://seller.example/releases");
    EXPECT_EQ(UpdateInfoFileURL(), "https://seller.example/releases/update.inf");
    qunsetenv("TALLYBROOK_UPDATE_SERVER");
}

#include "upUpdater_test.moc"
