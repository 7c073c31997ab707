#include "upgrade/upQtPrompter.h"
#include "upgrade/upTexts.h"
#include "upgrade/upUpdater.h"
#include "upgrade/upUpdaterPassword.h"
#include "upgrade/upUpdaterQuestion.h"
#include "upgrade/upUpdaterWizard.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Restores the automatic language after a test chose one.
struct LanguageScope {
    explicit LanguageScope(TupUpdaterLanguage language) { SelectLanguage(language); }
    ~LanguageScope() { SelectLanguage(wlAuto); }
};

}  // namespace

TEST(upTexts, system_language_selects_the_table)
{
    EXPECT_EQ(LanguageForLocale(QLocale(QLocale::Chinese, QLocale::SimplifiedHanScript, QLocale::China)),
              wlChineseSimplified);
    EXPECT_EQ(LanguageForLocale(QLocale(QLocale::Chinese, QLocale::TraditionalHanScript, QLocale::Taiwan)),
              wlChineseTraditional);
    EXPECT_EQ(LanguageForLocale(QLocale(QLocale::Portuguese, QLocale::Brazil)), wlPortugueseBrazilian);
    EXPECT_EQ(LanguageForLocale(QLocale(QLocale::Portuguese, QLocale::Portugal)), wlPortuguese);
    EXPECT_EQ(LanguageForLocale(QLocale(QLocale::German)), wlGerman);
    EXPECT_EQ(LanguageForLocale(QLocale(QLocale::Japanese)), wlEnglish);
    EXPECT_EQ(LanguageFirstNumber(wlChineseSimplified), 42050);
}

TEST(upTexts, texts_are_found_by_resource_number)
{
    EXPECT_EQ(UpResource(42050 + 14), "开始升级");
    EXPECT_EQ(UpResource(42050 + 19), "以后再说");
    EXPECT_EQ(UpResource(41000 + 14), "&Yes");
    EXPECT_EQ(UpResource(41100 + 14), "&Ja");
    EXPECT_EQ(UpResource(41450 + 14), "&Yes");  // Danish falls back to English
    EXPECT_EQ(UpResource(42000 + 14), "開始升級");
    EXPECT_EQ(UpResource(40999), "Updater");
    EXPECT_EQ(UpResource(40997), "<AppTitle>");
    LanguageScope chinese(wlChineseSimplified);
    EXPECT_EQ(UpFormat(28, "tallybrook"), "文档tallybrook找不到或者发生错误，\r\r您要忽略这个文档并且继续升级操作吗？");
    EXPECT_EQ(UpFormat(29, "app"),
              "远端的文档\"app\"被密码保护，\n\n请输入您的帐号及密码[注册用户]来继续进行升级操作。");
}

TEST(upTexts, every_language_keeps_the_placeholders_of_the_english_texts)
{
    const QRegularExpression placeholder("%[.0-9]*[dfs]");
    auto placeholders = [&](const QString& text) {
        QStringList found;
        for (auto it = placeholder.globalMatch(text); it.hasNext();) found << it.next().captured();
        return found;
    };
    for (int language = wlEnglish; language <= wlIcelandic; ++language) {
        for (int n = 0; n < UpTextCount; ++n) {
            const int id = LanguageFirstNumber(static_cast<TupUpdaterLanguage>(language)) + n;
            EXPECT_FALSE(UpResource(id).isEmpty()) << id;
            EXPECT_EQ(placeholders(UpResource(id)), placeholders(UpResource(41000 + n))) << id;
        }
    }
}

TEST(upTexts, wizard_lines_format_sizes_rates_and_times)
{
    LanguageScope english(wlEnglish);
    EXPECT_EQ(WizardSizeLine(1536), "File size: 1.5 Kb");
    EXPECT_EQ(WizardRateLine(12.34f), "Transfer rate: 12.3 Kb/s");
    EXPECT_EQ(WizardTimeLine(3725), "Estimated time left: 1:02:05");
    EXPECT_EQ(WizardTimeLine(-61), "Estimated time left: 0:-01:-01");
    EXPECT_EQ(WizardCountLine(2, 3), "Downloading 2 of 3");
    EXPECT_EQ(ApplicationTitle("/opt/tallybrook/TallyBrook.bin"), "Tallybrook");
}

TEST(upDialogs, question_frames_the_message_and_grows_with_it)
{
    LanguageScope chinese(wlChineseSimplified);
    auto* empty = new TupUpdaterQuestionForm;
    empty->Prepare("Tallybrook", "");
    EXPECT_EQ(empty->Label1->text(), "Tallybrook已经有新版本推出，\n\n您要升级到新版本吗？");
    EXPECT_EQ(empty->YesBtn->text(), "开始升级");
    EXPECT_EQ(empty->LaterBtn->text(), "以后再说");
    EXPECT_EQ(empty->windowTitle(), "软件升级精灵");
    const int shortHeight = empty->height();
    delete empty;
    auto* framed = new TupUpdaterQuestionForm;
    framed->Prepare("Tallybrook", QString("新功能。").repeated(40));
    EXPECT_TRUE(framed->Label1->text().contains("\n\n新功能。"));
    EXPECT_GT(framed->height(), shortHeight);
    EXPECT_EQ(framed->width(), 318);
    delete framed;
}

TEST(upDialogs, question_answers_yes_only_for_the_upgrade_button)
{
    for (const bool yes : {true, false}) {
        QTimer::singleShot(0, [yes] {
            auto* form = TupUpdaterQuestionForm::Instance();
            ASSERT_NE(form, nullptr);
            (yes ? form->YesBtn : form->LaterBtn)->click();
        });
        EXPECT_EQ(TupUpdaterQuestionForm::ShowUpgradeQuestion("Tallybrook", "msg"), yes);
    }
}

TEST(upDialogs, password_window_stores_the_entries_on_ok)
{
    TupUpdater updater;
    updater.setHTTPUsername("old");
    QTimer::singleShot(0, [] {
        auto* form = TupUpdaterPasswordForm::Instance();
        ASSERT_NE(form, nullptr);
        EXPECT_EQ(form->UsernameEdit->text(), "old");
        form->UsernameEdit->setText("seller");
        form->PasswordEdit->setText("secret");
        form->OKBtn->click();
    });
    EXPECT_TRUE(TupUpdaterPasswordForm::AskPassword(&updater, "tallybrook"));
    EXPECT_EQ(updater.HTTPUsername(), "seller");
    EXPECT_EQ(updater.HTTPPassword(), "secret");
}

TEST(upDialogs, wizard_finish_page_and_close_confirmation)
{
    LanguageScope english(wlEnglish);
    TupUpdater updater;
    int aborted = 0;
    updater.OnAborted = [&](TupUpdater*) { ++aborted; };
    SelectLanguage(wlEnglish);  // the updater chose the system's language
    auto* wizard = TupUpdaterWizardForm::ShowWizard(&updater);
    wizard->SetFile("https://update.tallybrook.example/tallybrook", 1, 2);
    wizard->SetProgress(50, 25, 10.0f, 65);
    EXPECT_EQ(wizard->AllDownloading->text(), "Downloading 1 of 2");
    EXPECT_EQ(wizard->ProgressAllFiles->value(), 25);
    EXPECT_EQ(wizard->EstimatedTimeLeftLab->text(), "Estimated time left: 0:01:05");
    EXPECT_FALSE(wizard->FinishBtn->isEnabled());
    wizard->Finish();
    EXPECT_FALSE(wizard->CancelBtn->isEnabled());
    EXPECT_TRUE(wizard->FinishBtn->isEnabled());
    EXPECT_EQ(wizard->FinishBtn->text(), "&OK");
    EXPECT_EQ(wizard->WizardTitle->text(), "Upgrade completed!");
    EXPECT_TRUE(wizard->AfterNote->text().contains("successfully completed.\n\nPress the OK button"));
    int asked = 0;
    wizard->ConfirmAbort = [&] { return ++asked == 2; };
    wizard->close();  // "No": the wizard stays
    EXPECT_EQ(TupUpdaterWizardForm::Instance(), wizard);
    EXPECT_EQ(aborted, 0);
    wizard->close();  // "Yes": closed and the upgrade aborted
    EXPECT_EQ(TupUpdaterWizardForm::Instance(), nullptr);
    EXPECT_EQ(aborted, 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST(upDialogs, names_from_the_server_are_shown_as_plain_text)
{
    LanguageScope english(wlEnglish);
    const QString name = "<img src=x><b>setup</b>";
    TupUpdaterPasswordForm password;
    password.Prepare(nullptr, name);
    EXPECT_EQ(password.Label1->textFormat(), Qt::PlainText);
    EXPECT_TRUE(password.Label1->text().contains(name));
    TupUpdaterQuestionForm question;
    question.Prepare("Tallybrook", "<h1>" + name + "</h1>");
    EXPECT_EQ(question.Label1->textFormat(), Qt::PlainText);
    EXPECT_TRUE(question.Label1->text().contains("<h1>" + name + "</h1>"));
}
