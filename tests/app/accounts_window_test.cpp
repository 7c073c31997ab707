// The accounts window and what the login window shows about accounts: the
// default-account label, the wait after failed logins, the tooltip.
#include <QApplication>
#include <QElapsedTimer>

#include "app/Accounts.h"
#include "app/Forms.h"
#include "app/accountswindow.h"
#include "app/login.h"
#include "app/main.h"
#include "tests/app/AppFixture.h"

namespace {

class AccountsWindowTest : public AppTest {
protected:
    TAccountsWindow* OpenWindow()
    {
        StartForms();
        LogIn();
        Form2->ItemClick("账号管理");
        QApplication::processEvents();
        return Form2->AccountsWindow();
    }
    bool LogsIn(const QString& name, const QString& pw)
    {
        store::Connection c;
        return TAccounts(c).HasPassword(name, pw);
    }
    // Waits (the event loop running) until `done` holds, at most ten seconds.
    template <typename F> bool WaitFor(F&& done)
    {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < 10000) QApplication::processEvents(QEventLoop::AllEvents, 50);
        return done();
    }
    QString Hint()
    {
        EXPECT_TRUE(WaitFor([] { return !Form1->DefaultHintPending(); }));
        return Form1->Label4->text();
    }
    QStringList Rows(TAccountsWindow* w)
    {
        QStringList r;
        for (int i = 0; i < w->List->rowCount(); ++i)
            r << w->List->item(i, 0)->text() + "|" + w->List->item(i, 1)->text();
        return r;
    }
};

}  // namespace

TEST_F(AccountsWindowTest, tools_item_hosts_the_window_listing_the_accounts)
{
    TAccountsWindow* w = OpenWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->parentWidget(), Form2->Panel1);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(Form2->FrontChild(), w);
    // The first login hashed the default account's plain-text password.
    EXPECT_EQ(Rows(w), QStringList{QStringLiteral("admin  (当前登录)|已加密")});
    EXPECT_EQ(w->SelectedName(), "admin");
    EXPECT_TRUE(w->EditOldPassword->isEnabled());
    auto items = Form2->GroupBar1->findItems(QStringLiteral("账号管理"), Qt::MatchExactly | Qt::MatchRecursive);
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0]->parent()->text(0), QStringLiteral("工具"));
}

TEST_F(AccountsWindowTest, adding_an_account_in_the_window_lets_it_log_in)
{
    TAccountsWindow* w = OpenWindow();
    w->EditName->setText("clerk");
    w->EditPassword->setText("pw-1");
    w->EditPassword2->setText("pw-2");
    w->AddButton->click();
    EXPECT_EQ(prompter.shown, QStringList{QStringLiteral("message:两次输入的密码不一致, 请重新输入。")});
    EXPECT_EQ(w->List->rowCount(), 1);
    w->EditPassword2->setText("pw-1");
    w->AddButton->click();
    EXPECT_EQ(prompter.shown.last(), QStringLiteral("info:账号 \"clerk\" 已新增。"));
    EXPECT_EQ(Rows(w).last(), QStringLiteral("clerk|已加密"));
    EXPECT_EQ(w->SelectedName(), "clerk");
    EXPECT_EQ(w->EditName->text(), "");
    EXPECT_FALSE(w->EditOldPassword->isEnabled());
    StopForms();
    StartForms();
    LogIn("clerk", "pw-1");
    EXPECT_TRUE(Form2->isVisible());
}

TEST_F(AccountsWindowTest, own_password_change_needs_the_old_password)
{
    TAccountsWindow* w = OpenWindow();
    w->EditOldPassword->setText("wrong");
    w->EditNewPassword->setText("new-pw");
    w->EditNewPassword2->setText("new-pw");
    w->ChangeButton->click();
    EXPECT_EQ(prompter.shown.last(),
              QStringLiteral("message:原密码不正确, 密码没有修改。请输入当前登录账号现在的密码。"));
    EXPECT_TRUE(LogsIn("admin", "470913"));
    w->EditOldPassword->setText("470913");
    w->ChangeButton->click();
    EXPECT_EQ(prompter.shown.last(), QStringLiteral("info:账号 \"admin\" 的密码已修改。"));
    EXPECT_TRUE(LogsIn("admin", "new-pw"));
    EXPECT_FALSE(LogsIn("admin", "470913"));
    EXPECT_EQ(w->EditNewPassword->text(), "");
}

TEST_F(AccountsWindowTest, delete_refuses_the_account_logged_in_and_removes_another_after_asking)
{
    TAccountsWindow* w = OpenWindow();
    w->DeleteButton->click();  // admin, logged in and the last account
    EXPECT_EQ(prompter.shown.last(), QStringLiteral("yesno:是否删除账号 \"admin\"?"));
    prompter.answers = {true};
    w->DeleteButton->click();
    EXPECT_EQ(prompter.shown.last(),
              QStringLiteral("message:不能删除当前登录的账号 \"admin\"。请用其他账号登录后再删除。"));
    w->EditName->setText("clerk");
    w->EditPassword->setText("pw");
    w->EditPassword2->setText("pw");
    w->AddButton->click();
    w->SelectAccount("clerk");
    prompter.answers = {true};
    w->DeleteButton->click();
    EXPECT_EQ(prompter.shown.last(), QStringLiteral("info:账号 \"clerk\" 已删除。"));
    EXPECT_EQ(w->List->rowCount(), 1);
    EXPECT_EQ(Count("users"), 1);
}

TEST_F(AccountsWindowTest, injection_strings_in_every_box_are_taken_as_text)
{
    TAccountsWindow* w = OpenWindow();
    const QString evil = "x'); delete from users; --";
    w->EditName->setText(evil);
    w->EditPassword->setText(evil);
    w->EditPassword2->setText(evil);
    w->AddButton->click();
    EXPECT_EQ(Count("users"), 2);
    EXPECT_TRUE(LogsIn(evil, evil));
    w->SelectAccount("admin");
    w->EditOldPassword->setText("' or '1'='1");
    w->EditNewPassword->setText("%");
    w->EditNewPassword2->setText("%");
    w->ChangeButton->click();
    EXPECT_EQ(prompter.shown.last(),
              QStringLiteral("message:原密码不正确, 密码没有修改。请输入当前登录账号现在的密码。"));
    w->SelectAccount(evil);
    w->ChangeButton->click();
    EXPECT_TRUE(LogsIn(evil, "%"));
    EXPECT_FALSE(LogsIn(evil, "anything"));
    StopForms();
    StartForms();
    LogIn(evil, "%");
    EXPECT_TRUE(Form2->isVisible());
}

TEST_F(AccountsWindowTest, login_label_shows_the_default_account_until_its_password_changes)
{
    StartForms();
    EXPECT_EQ(Hint(), QStringLiteral("默认账号:admin 密码:470913"));
    LogIn();  // hashes the plain-text row
    StopForms();
    StartForms();
    EXPECT_EQ(Hint(), QStringLiteral("默认账号:admin 密码:470913"));
    {
        store::Connection c;
        TAccounts(c).ChangePassword("admin", "", "", "changed", "changed");
    }
    StopForms();
    StartForms();
    EXPECT_EQ(Hint(), "");
}

TEST_F(AccountsWindowTest, three_failed_logins_make_the_next_try_wait_shown_in_the_window)
{
    StartForms();
    for (int i = 0; i < 2; ++i) LogIn("admin", "wrong");
    EXPECT_TRUE(Form1->Button1->isEnabled());
    EXPECT_EQ(Form1->LabelWait->text(), "");
    LogIn("admin", "wrong");
    EXPECT_EQ(prompter.shown.size(), 3);
    EXPECT_FALSE(Form1->Button1->isEnabled());
    EXPECT_EQ(Form1->LabelWait->text(), QStringLiteral("已连续 3 次登陆失败, 请等待 1 秒后再试。"));
    LogIn();  // the button does nothing while it waits
    EXPECT_FALSE(Form2->isVisible());
    EXPECT_EQ(prompter.shown.size(), 3);
    EXPECT_TRUE(WaitFor([] { return Form1->Button1->isEnabled(); }));
    EXPECT_EQ(Form1->LabelWait->text(), "");
    LogIn();
    EXPECT_TRUE(Form2->isVisible());
    EXPECT_EQ(Form1->Throttle().Failures(), 0);
    EXPECT_EQ(Form1->CurrentUser(), "admin");
}

TEST_F(AccountsWindowTest, remember_password_tooltip_says_where_it_is_kept)
{
    StartForms();
    EXPECT_TRUE(Form1->CheckBox1->toolTip().contains("config.ini"));
    EXPECT_TRUE(Form1->CheckBox1->toolTip().contains(QStringLiteral("明文")));
}
