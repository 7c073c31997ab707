#include "app/Accounts.h"

#include "store/DataSet.h"
#include "tests/app/AppFixture.h"

namespace {

// Most checks are about the rules, not the strength of the hash: they use a
// quick iteration count; the checks on what is stored use the real one.
constexpr int kQuickIterations = 1000;

class AccountsTest : public AppTest {
protected:
    store::Connection conn;
    TAccounts accounts{conn, kQuickIterations};
    TAccounts strong{conn};

    std::vector<std::string> Stored(const std::string& name) { return accounts.Stored(QString::fromStdString(name)); }
    // The message of the refusal `action` raises, or "" when it goes through.
    template <typename F> QString Refusal(F&& action)
    {
        try {
            action();
        } catch (const TAccountError& e) {
            return QString::fromUtf8(e.what());
        }
        return {};
    }
    QStringList Names()
    {
        QStringList n;
        for (const TAccountRow& a : accounts.List()) n << a.name;
        return n;
    }
};

}  // namespace

TEST_F(AccountsTest, new_account_logs_in_and_a_wrong_password_fails)
{
    accounts.Add(" clerk ", "s3cret", "s3cret");
    EXPECT_EQ(Names(), (QStringList{"admin", "clerk"}));
    EXPECT_TRUE(accounts.LogIn("clerk", "s3cret"));
    EXPECT_FALSE(accounts.LogIn("clerk", "s3cre"));
    EXPECT_FALSE(accounts.LogIn("clerk", "470913"));
    EXPECT_FALSE(accounts.LogIn("admin", "s3cret"));
}

TEST_F(AccountsTest, changed_password_works_and_the_old_one_fails)
{
    accounts.ChangePassword("admin", "admin", "470913", "new-pw", "new-pw");
    EXPECT_TRUE(accounts.LogIn("admin", "new-pw"));
    EXPECT_FALSE(accounts.LogIn("admin", "470913"));
    accounts.Add("clerk", "a", "a");
    // Another account's password is set without its old one.
    accounts.ChangePassword("clerk", "admin", "", "b", "b");
    EXPECT_TRUE(accounts.LogIn("clerk", "b"));
    EXPECT_FALSE(accounts.LogIn("clerk", "a"));
}

TEST_F(AccountsTest, stored_password_is_a_salted_hash_not_the_password)
{
    strong.Add("anna", "same-password", "same-password");
    strong.Add("bert", "same-password", "same-password");
    ASSERT_EQ(Stored("anna").size(), 1u);
    ASSERT_EQ(Stored("bert").size(), 1u);
    EXPECT_EQ(Stored("anna")[0].find("same-password"), std::string::npos);
    EXPECT_NE(Stored("anna")[0], "same-password");
    EXPECT_NE(Stored("anna")[0], Stored("bert")[0]);
    EXPECT_GE(password::Iterations(Stored("anna")[0]), 600000);
    EXPECT_EQ(Count("users", "password = 'same-password'"), 0);
    strong.ChangePassword("anna", "", "", "changed", "changed");
    strong.ChangePassword("bert", "", "", "changed", "changed");
    EXPECT_EQ(Stored("anna")[0].find("changed"), std::string::npos);
    EXPECT_NE(Stored("anna")[0], Stored("bert")[0]);
    EXPECT_GE(password::Iterations(Stored("bert")[0]), 600000);
}

TEST_F(AccountsTest, legacy_plain_text_row_logs_in_and_is_rehashed)
{
    EXPECT_EQ(Stored("admin"), std::vector<std::string>{"470913"});
    EXPECT_FALSE(strong.LogIn("admin", "wrong"));
    EXPECT_EQ(Stored("admin"), std::vector<std::string>{"470913"});  // a failure changes nothing
    EXPECT_TRUE(strong.LogIn("admin", "470913"));
    ASSERT_EQ(Stored("admin").size(), 1u);
    EXPECT_TRUE(password::IsHashed(Stored("admin")[0]));
    EXPECT_EQ(password::Iterations(Stored("admin")[0]), password::kIterations);
    EXPECT_TRUE(strong.LogIn("admin", "470913"));
    EXPECT_FALSE(strong.LogIn("admin", "wrong"));
    EXPECT_TRUE(accounts.List()[0].hashed);
}

TEST_F(AccountsTest, the_last_account_and_the_account_logged_in_cannot_be_removed)
{
    EXPECT_EQ(Refusal([&] { accounts.Remove("admin", ""); }),
              QStringLiteral("不能删除最后一个账号 \"admin\", 否则将无法登录。请先新增一个账号。"));
    accounts.Add("clerk", "pw", "pw");
    EXPECT_EQ(Refusal([&] { accounts.Remove("admin", "admin"); }),
              QStringLiteral("不能删除当前登录的账号 \"admin\"。请用其他账号登录后再删除。"));
    EXPECT_EQ(Refusal([&] { accounts.Remove("nobody", "admin"); }),
              QStringLiteral("账号 \"nobody\" 不存在, 请先选择一个账号。"));
    EXPECT_EQ(Refusal([&] { accounts.Remove("admin", "clerk"); }), "");
    EXPECT_EQ(Names(), QStringList{"clerk"});
    EXPECT_FALSE(accounts.LogIn("admin", "470913"));
}

TEST_F(AccountsTest, every_refusal_says_what_is_wrong_and_changes_nothing)
{
    EXPECT_EQ(Refusal([&] { accounts.Add("  ", "pw", "pw"); }), QStringLiteral("账号名称不能为空, 请输入账号名称。"));
    EXPECT_EQ(Refusal([&] { accounts.Add("admin", "pw", "pw"); }),
              QStringLiteral("账号 \"admin\" 已存在, 请换一个名称。"));
    EXPECT_EQ(Refusal([&] { accounts.Add("a\tb", "pw", "pw"); }),
              QStringLiteral("账号名称不能包含换行、制表符等控制字符, 请重新输入。"));
    EXPECT_EQ(Refusal([&] { accounts.Add("clerk", "pw1", "pw2"); }),
              QStringLiteral("两次输入的密码不一致, 请重新输入。"));
    EXPECT_EQ(Refusal([&] { accounts.Add("clerk", " ", ""); }),
              QStringLiteral("密码不能为空, 请输入密码并再输入一次。"));
    EXPECT_EQ(Refusal([&] { accounts.ChangePassword("admin", "admin", "wrong", "x", "x"); }),
              QStringLiteral("原密码不正确, 密码没有修改。请输入当前登录账号现在的密码。"));
    EXPECT_EQ(Refusal([&] { accounts.ChangePassword("admin", "admin", "470913", "", ""); }),
              QStringLiteral("密码不能为空, 请输入密码并再输入一次。"));
    EXPECT_EQ(Names(), QStringList{"admin"});
    EXPECT_EQ(Stored("admin"), std::vector<std::string>{"470913"});
}

TEST_F(AccountsTest, injection_strings_are_stored_and_compared_as_text)
{
    const QString names[] = {"x' or '1'='1", "a\"; drop table users; --", "%", "_"};
    for (const QString& n : names) accounts.Add(n, n, n);
    EXPECT_EQ(Names(), (QStringList{"admin", names[0], names[1], names[2], names[3]}));
    for (const QString& n : names) EXPECT_TRUE(accounts.LogIn(n, n)) << n.toStdString();
    EXPECT_FALSE(accounts.LogIn("admin", "' or '1'='1"));
    EXPECT_FALSE(accounts.LogIn("x", "' or '1'='1"));
    EXPECT_FALSE(accounts.LogIn("%", "_"));
    accounts.ChangePassword("%", "", "", "' or ''='", "' or ''='");
    EXPECT_TRUE(accounts.LogIn("%", "' or ''='"));
    EXPECT_TRUE(accounts.LogIn("_", "_"));  // only the account named "%" changed
    accounts.Remove("_", "");
    EXPECT_EQ(Names(), (QStringList{"admin", names[0], names[1], names[2]}));
}

TEST_F(AccountsTest, a_weaker_hash_is_strengthened_at_login)
{
    accounts.Add("clerk", "pw", "pw");
    EXPECT_EQ(password::Iterations(Stored("clerk")[0]), kQuickIterations);
    EXPECT_TRUE(strong.LogIn("clerk", "pw"));
    EXPECT_EQ(password::Iterations(Stored("clerk")[0]), password::kIterations);
}

TEST_F(AccountsTest, a_name_entered_twice_by_hand_gets_one_password_and_goes_at_once)
{
    Sql("insert into users(username, password) values ('admin', 'other')");
    EXPECT_EQ(Names(), QStringList{"admin"});
    EXPECT_TRUE(accounts.LogIn("admin", "other"));
    accounts.Add("clerk", "pw", "pw");
    accounts.ChangePassword("admin", "", "", "one", "one");
    EXPECT_FALSE(accounts.LogIn("admin", "470913"));
    EXPECT_FALSE(accounts.LogIn("admin", "other"));
    EXPECT_TRUE(accounts.LogIn("admin", "one"));
    accounts.Remove("admin", "clerk");
    EXPECT_EQ(Count("users", "username = 'admin'"), 0);
}
