#include <QFile>
#include <QSettings>

#include "app/Forms.h"
#include "app/login.h"
#include "app/main.h"
#include "tests/app/AppFixture.h"

using LoginTest = AppTest;

TEST_F(LoginTest, ticked_box_remembers_user_and_password_across_a_restart)
{
    StartForms();
    Form1->CheckBox1->setChecked(true);
    LogIn("admin", "470913");
    EXPECT_TRUE(Form2->isVisible());
    EXPECT_FALSE(Form1->isVisible());
    StopForms();
    StartForms();
    EXPECT_EQ(Form1->Edit1->text(), "admin");
    EXPECT_EQ(Form1->Edit2->text(), "470913");
    EXPECT_TRUE(Form1->CheckBox1->isChecked());
}

TEST_F(LoginTest, unticked_box_remembers_only_the_user)
{
    StartForms();
    Form1->CheckBox1->setChecked(false);
    LogIn("admin", "470913");
    StopForms();
    StartForms();
    EXPECT_EQ(Form1->Edit1->text(), "admin");
    EXPECT_EQ(Form1->Edit2->text(), "");
    EXPECT_FALSE(Form1->CheckBox1->isChecked());
}

TEST_F(LoginTest, hand_edited_password_shows_even_when_savepwd_is_off)
{
    QFile f(exeDir + "/config.ini");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[login]\nuser=bob\npassword=secret\nsavepwd=0\n");
    f.close();
    StartForms();
    EXPECT_EQ(Form1->Edit1->text(), "bob");
    EXPECT_EQ(Form1->Edit2->text(), "secret");
    EXPECT_FALSE(Form1->CheckBox1->isChecked());
}

TEST_F(LoginTest, savepwd_reads_any_nonzero_integer_as_true)
{
    EXPECT_TRUE(ParseSavePwd("1"));
    EXPECT_TRUE(ParseSavePwd("-3"));
    EXPECT_FALSE(ParseSavePwd("0"));
    EXPECT_FALSE(ParseSavePwd("yes"));
    EXPECT_FALSE(ParseSavePwd(""));
}

TEST_F(LoginTest, spaces_around_the_texts_are_ignored_in_query_and_file)
{
    StartForms();
    Form1->CheckBox1->setChecked(true);
    LogIn("  admin\t", " 470913 ");
    EXPECT_TRUE(Form2->isVisible());
    QSettings ini(exeDir + "/config.ini", QSettings::IniFormat);
    EXPECT_EQ(ini.value("login/user").toString(), "admin");
    EXPECT_EQ(ini.value("login/password").toString(), "470913");
    EXPECT_EQ(ini.value("login/savepwd").toString(), "1");
}

TEST_F(LoginTest, injected_quotes_and_empty_boxes_fail_with_the_message)
{
    for (auto [user, pass] : {std::pair<QString, QString>{"' or '1'='1", "' or '1'='1"},
                              {"admin' --", "x"},
                              {"", ""},
                              {"admin", "%"},
                              {"\"admin\"", "470913"}}) {
        // A fresh start for each try: after three failures the next one waits.
        StopForms();
        StartForms();
        prompter.shown.clear();
        LogIn(user, pass);
        EXPECT_FALSE(Form2->isVisible()) << user.toStdString();
        EXPECT_EQ(prompter.shown, QStringList{"message:登陆失败!"}) << user.toStdString();
    }
}

TEST_F(LoginTest, settings_file_is_private_to_its_owner)
{
    StartForms();
    LogIn();
    auto perms = QFile::permissions(exeDir + "/config.ini");
    EXPECT_TRUE(perms & QFile::ReadOwner);
    EXPECT_FALSE(perms & (QFile::ReadGroup | QFile::ReadOther));
}

TEST_F(LoginTest, unwritable_program_folder_keeps_settings_in_the_user_folder)
{
    if (geteuid() == 0) GTEST_SKIP() << "root writes everywhere";
    std::filesystem::permissions(exeDir.toStdString(),
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    StartForms();
    Form1->CheckBox1->setChecked(true);
    LogIn();
    EXPECT_TRUE(Form2->isVisible());
    EXPECT_TRUE(QFile::exists(userDir + "/config.ini"));
    StopForms();
    StartForms();
    EXPECT_EQ(Form1->Edit2->text(), "470913");
}

TEST_F(LoginTest, settings_choose_the_user_folder_when_the_program_folder_is_read_only)
{
    // A program folder that cannot be written, as for an installed program.
    TLoginSettings s("/nonexistent-tallybrook/bin", userDir);
    EXPECT_EQ(s.WritePath(), userDir + "/config.ini");
    s.Write({"bob", "pw", true});
    EXPECT_EQ(s.ReadPath(), userDir + "/config.ini");
    EXPECT_EQ(s.Read().password, "pw");
}

TEST_F(LoginTest, no_writable_settings_file_reports_and_still_logs_in)
{
    SetLoginSettingsDirs("/proc", "/proc/self/tallybrook");
    StartForms();
    LogIn();
    ASSERT_FALSE(prompter.shown.isEmpty());
    EXPECT_TRUE(prompter.shown[0].startsWith("error:Unable to write to /proc/config.ini"))
        << prompter.shown[0].toStdString();
    EXPECT_TRUE(Form2->isVisible());
}
