// tallybrook users / passwd / useradd / userdel as child processes, checked
// against what the accounts rules and the login window see.
#include <QProcess>

#include "app/Accounts.h"
#include "app/Forms.h"
#include "app/main.h"
#include "tests/app/AppFixture.h"

namespace {

struct TRun {
    int status = -1;
    QString out;
    QString err;
};

class AccountsCliTest : public AppTest {
protected:
    TRun Run(const QStringList& args, const QByteArray& input = {})
    {
        QProcess p;
        p.setWorkingDirectory(QString::fromStdString(dir.path().string()));
        p.start(QString(TB_BIN_DIR) + "/tallybrook", args);
        p.write(input);
        p.closeWriteChannel();
        EXPECT_TRUE(p.waitForFinished(60000)) << args.join(' ').toStdString();
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
    }
    QString Refusal(const std::function<void(TAccounts&)>& action)
    {
        store::Connection c;
        TAccounts a(c);
        try {
            action(a);
        } catch (const TAccountError& e) {
            return QString::fromUtf8(e.what());
        }
        return {};
    }
};

}  // namespace

TEST_F(AccountsCliTest, useradd_reads_the_password_from_standard_input_and_the_window_logs_in)
{
    TRun r = Run({"useradd", "clerk"}, "pw 1\n");
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    TRun list = Run({"users"});
    EXPECT_EQ(list.out, "admin\tplain text\nclerk\thashed\n");
    StartForms();
    LogIn("clerk", "pw 1");
    EXPECT_TRUE(Form2->isVisible());
    EXPECT_EQ(Run({"users"}).out, "admin\tplain text\nclerk\thashed\n");
}

TEST_F(AccountsCliTest, passwd_changes_what_the_window_accepts)
{
    TRun r = Run({"passwd", "admin"}, "changed\r\n");
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    StartForms();
    LogIn("admin", "470913");
    EXPECT_FALSE(Form2->isVisible());
    LogIn("admin", "changed");
    EXPECT_TRUE(Form2->isVisible());
}

TEST_F(AccountsCliTest, refusals_carry_the_same_messages_as_the_window)
{
    TRun last = Run({"userdel", "admin"});
    EXPECT_EQ(last.status, 1);
    EXPECT_EQ(last.err.trimmed(), Refusal([](TAccounts& a) { a.Remove("admin", ""); }));
    EXPECT_TRUE(last.err.contains(QStringLiteral("最后一个账号")));
    TRun taken = Run({"useradd", "admin"}, "pw\n");
    EXPECT_EQ(taken.status, 1);
    EXPECT_EQ(taken.err.trimmed(), QStringLiteral("账号 \"admin\" 已存在, 请换一个名称。"));
    TRun empty = Run({"passwd", "admin"}, "\n");
    EXPECT_EQ(empty.status, 1);
    EXPECT_EQ(empty.err.trimmed(), QStringLiteral("密码不能为空, 请输入密码并再输入一次。"));
    TRun nobody = Run({"passwd", "nobody"}, "pw\n");
    EXPECT_EQ(nobody.status, 1);
    EXPECT_EQ(nobody.err.trimmed(), QStringLiteral("账号 \"nobody\" 不存在, 请先选择一个账号。"));
    TRun noInput = Run({"useradd", "clerk"});
    EXPECT_EQ(noInput.status, 1);
    EXPECT_EQ(Count("users"), 1);
    EXPECT_EQ(Run({"passwd"}).status, 2);
}

TEST_F(AccountsCliTest, userdel_removes_an_account_and_injection_names_stay_text)
{
    const QString evil = "a' or '1'='1";
    EXPECT_EQ(Run({"useradd", evil}, "x\n").status, 0);
    EXPECT_EQ(Run({"useradd", "%"}, "y\n").status, 0);
    EXPECT_EQ(Count("users"), 3);
    TRun r = Run({"userdel", evil});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(Run({"users"}).out, "admin\tplain text\n%\thashed\n");
    EXPECT_EQ(Run({"userdel", "nobody"}).status, 1);
}
