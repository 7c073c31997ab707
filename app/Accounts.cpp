#include "app/Accounts.h"

#include "store/Value.h"

namespace {

std::string Utf8(const QString& s) { return s.toUtf8().toStdString(); }

// Spaces and control characters around a name or password are dropped, as
// the login window drops them from what is typed there.
QString Trimmed(const QString& s) { return QString::fromStdString(store::Trim(Utf8(s))); }

QString Quoted(const QString& name) { return QStringLiteral("\"") + name + QStringLiteral("\""); }

[[noreturn]] void Refuse(const QString& message) { throw TAccountError(message.toStdString()); }

}  // namespace

TAccounts::TAccounts(store::Connection& c, int iterations) : FConn(c), FIterations(iterations) {}

std::vector<TAccountRow> TAccounts::List()
{
    store::Statement st(FConn, "select username, min(substr(password, 1, length(:m)) = :m) from users "
                               "group by username order by min(rowid)");
    st.Bind({{":m", std::string(password::kMarker)}});
    std::vector<TAccountRow> rows;
    while (st.Step())
        rows.push_back({QString::fromStdString(store::ValueText(st.Column(0))), store::ValueText(st.Column(1)) == "1"});
    return rows;
}

std::vector<std::string> TAccounts::Stored(const QString& name)
{
    store::Statement st(FConn, "select password from users where username=:u order by rowid");
    st.Bind({{":u", Utf8(name)}});
    std::vector<std::string> out;
    while (st.Step()) out.push_back(store::ValueText(st.Column(0)));
    return out;
}

bool TAccounts::HasPassword(const QString& name, const QString& plain)
{
    std::string p = Utf8(plain);
    for (const std::string& stored : Stored(name))
        if (password::Verify(p, stored)) return true;
    return false;
}

bool TAccounts::LogIn(const QString& name, const QString& plain)
{
    std::string p = Utf8(plain);
    std::vector<std::pair<std::int64_t, std::string>> rows;
    {
        store::Statement st(FConn, "select rowid, password from users where username=:u order by rowid");
        st.Bind({{":u", Utf8(name)}});
        while (st.Step()) rows.emplace_back(std::get<std::int64_t>(st.Column(0)), store::ValueText(st.Column(1)));
    }
    for (const auto& [id, stored] : rows) {
        if (!password::Verify(p, stored)) continue;
        if (password::NeedsRehash(stored, FIterations)) {
            try {
                FConn.Execute("update users set password=:p where rowid=:id",
                              {{":p", password::Hash(p, FIterations)}, {":id", id}});
            } catch (const store::StoreError&) {
                // A database that cannot be written still lets the seller in;
                // the row is hashed at a later login.
            }
        }
        return true;
    }
    return false;
}

bool TAccounts::Exists(const QString& name)
{
    store::Statement st(FConn, "select 1 from users where username=:u limit 1");
    st.Bind({{":u", Utf8(name)}});
    return st.Step();
}

void TAccounts::RequireAccount(const QString& name)
{
    QString n = Trimmed(name);
    if (n.isEmpty() || !Exists(n)) Refuse(QStringLiteral("账号 %1 不存在, 请先选择一个账号。").arg(Quoted(n)));
}

QString TAccounts::CheckedName(const QString& name)
{
    QString n = Trimmed(name);
    if (n.isEmpty()) Refuse(QStringLiteral("账号名称不能为空, 请输入账号名称。"));
    for (QChar ch : n)
        if (ch.unicode() < ' ' || ch.unicode() == 0x7f)
            Refuse(QStringLiteral("账号名称不能包含换行、制表符等控制字符, 请重新输入。"));
    return n;
}

std::string TAccounts::CheckedNewPassword(const QString& password1, const QString& password2)
{
    QString p1 = Trimmed(password1), p2 = Trimmed(password2);
    if (p1.isEmpty() && p2.isEmpty()) Refuse(QStringLiteral("密码不能为空, 请输入密码并再输入一次。"));
    if (p1 != p2) Refuse(QStringLiteral("两次输入的密码不一致, 请重新输入。"));
    return password::Hash(Utf8(p1), FIterations);
}

void TAccounts::Add(const QString& name, const QString& password1, const QString& password2)
{
    QString n = CheckedName(name);
    if (Exists(n)) Refuse(QStringLiteral("账号 %1 已存在, 请换一个名称。").arg(Quoted(n)));
    std::string hash = CheckedNewPassword(password1, password2);
    FConn.Execute("insert into users(username, password) values (:u, :p)", {{":u", Utf8(n)}, {":p", hash}});
}

void TAccounts::ChangePassword(const QString& name, const QString& loggedIn, const QString& oldPassword,
                               const QString& password1, const QString& password2)
{
    QString n = Trimmed(name);
    RequireAccount(n);
    std::string hash = CheckedNewPassword(password1, password2);
    if (n == loggedIn && !HasPassword(n, Trimmed(oldPassword)))
        Refuse(QStringLiteral("原密码不正确, 密码没有修改。请输入当前登录账号现在的密码。"));
    // Every row of the name gets the new password, so no old one still works.
    FConn.Execute("update users set password=:p where username=:u", {{":p", hash}, {":u", Utf8(n)}});
}

void TAccounts::Remove(const QString& name, const QString& loggedIn)
{
    QString n = Trimmed(name);
    RequireAccount(n);
    if (n == loggedIn) Refuse(QStringLiteral("不能删除当前登录的账号 %1。请用其他账号登录后再删除。").arg(Quoted(n)));
    store::Statement st(FConn, "select count(distinct username) from users where username<>:u");
    st.Bind({{":u", Utf8(n)}});
    if (!st.Step() || store::ValueText(st.Column(0)) == "0")
        Refuse(QStringLiteral("不能删除最后一个账号 %1, 否则将无法登录。请先新增一个账号。").arg(Quoted(n)));
    FConn.Execute("delete from users where username=:u", {{":u", Utf8(n)}});
}
