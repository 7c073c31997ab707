#include <unistd.h>

#include <QFile>
#include <QProcess>

#include "store/DataSet.h"
#include "tests/app/AppFixture.h"

namespace {

struct TRunResult {
    int status;
    QString out;
    QString err;
};

TRunResult Tallybrook(const QStringList& args, const QString& cwd)
{
    QProcess p;
    p.setWorkingDirectory(cwd);
    p.start(QString(TB_BIN_DIR) + "/tallybrook", args);
    p.waitForFinished(60000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

}  // namespace

TEST(Cli, new_database_creates_once_and_refuses_to_overwrite)
{
    TempDir dir;
    QString cwd = QString::fromStdString(dir.path().string());
    TRunResult first = Tallybrook({"new-database"}, cwd);
    EXPECT_EQ(first.status, 0) << first.err.toStdString();
    ASSERT_TRUE(std::filesystem::exists(dir.file("ledgr.mdb")));
    auto size = std::filesystem::file_size(dir.file("ledgr.mdb"));
    TRunResult second = Tallybrook({"new-database"}, cwd);
    EXPECT_EQ(second.status, 1);
    EXPECT_TRUE(second.err.contains(QString::fromStdString(dir.file("ledgr.mdb"))));
    EXPECT_EQ(std::filesystem::file_size(dir.file("ledgr.mdb")), size);
}

TEST(Cli, help_lists_the_commands_and_unknown_words_are_refused)
{
    TempDir dir;
    QString cwd = QString::fromStdString(dir.path().string());
    TRunResult help = Tallybrook({"--help"}, cwd);
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.contains("new-database"));
    TRunResult bad = Tallybrook({"frobnicate"}, cwd);
    EXPECT_NE(bad.status, 0);
    EXPECT_TRUE(bad.err.contains("--help"));
}

namespace {

QByteArray FileBytes(const std::filesystem::path& p)
{
    QFile f(QString::fromStdString(p.string()));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A database with some goods, one backup of it, and then a page in the
// middle overwritten, as a failing disk or a bad copy leaves it.
void MakeDamagedDatabase(TempDir& dir, const QString& cwd)
{
    ASSERT_EQ(Tallybrook({"new-database"}, cwd).status, 0);
    {
        store::Connection c(dir.file("ledgr.mdb"));
        for (int i = 0; i < 400; ++i)
            c.Execute("insert into spxx(spbm, spmc, spjj, spsj, spkc) values (:c, '一件相当长的商品名称用来占满页面', "
                      "1, 2, 5)",
                      {{":c", "G" + std::to_string(i)}});
    }
    ASSERT_EQ(Tallybrook({"backup"}, cwd).status, 0);
    QFile f(QString::fromStdString(dir.file("ledgr.mdb")));
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_GT(f.size(), 4096 * 6);
    f.seek(4096 * 4);
    f.write(QByteArray(4096, '\x55'));
}

}  // namespace

TEST(Cli, a_damaged_database_stops_every_command_before_anything_is_written)
{
    TempDir dir;
    QString cwd = QString::fromStdString(dir.path().string());
    MakeDamagedDatabase(dir, cwd);
    QByteArray before = FileBytes(dir.file("ledgr.mdb"));
    TRunResult save = Tallybrook({"save-order", "ORD-1", "1:1"}, cwd);
    EXPECT_EQ(save.status, 4) << save.err.toStdString();
    EXPECT_TRUE(save.err.contains(QStringLiteral("数据库文件已损坏"))) << save.err.toStdString();
    EXPECT_TRUE(save.err.contains("tallybrook restore")) << save.err.toStdString();
    EXPECT_TRUE(save.err.contains(QStringLiteral("数据备份"))) << save.err.toStdString();
    EXPECT_TRUE(save.err.contains("backups/ledgr-")) << save.err.toStdString();
    EXPECT_EQ(Tallybrook({"sales"}, cwd).status, 4);
    EXPECT_EQ(FileBytes(dir.file("ledgr.mdb")), before);
    // The way out still works.
    EXPECT_EQ(Tallybrook({"backups"}, cwd).status, 0);
}

TEST(Cli, restore_of_a_missing_file_says_it_is_missing_and_statuses_are_listed)
{
    TempDir dir;
    QString cwd = QString::fromStdString(dir.path().string());
    ASSERT_EQ(Tallybrook({"new-database"}, cwd).status, 0);
    TRunResult r = Tallybrook({"restore", "no-such-backup.mdb"}, cwd);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("找不到备份文件"))) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(QStringLiteral("已损坏"))) << r.err.toStdString();
    TRunResult help = Tallybrook({"--help"}, cwd);
    for (const char* status : {"  3  stored, but", "  4  the database is damaged", "  5  needs confirmation"})
        EXPECT_TRUE(help.out.contains(status)) << status;
}

TEST(Cli, an_order_below_zero_stock_needs_yes_and_messages_carry_no_carriage_return)
{
    TempDir dir;
    QString cwd = QString::fromStdString(dir.path().string());
    ASSERT_EQ(Tallybrook({"new-database"}, cwd).status, 0);
    {
        store::Connection c(dir.file("ledgr.mdb"));
        c.Execute("insert into spxx(id, spbm, spmc, spjj, spsj, spkc) values (1, 'A001', '杯子', 1, 2, 1)");
    }
    TRunResult ask = Tallybrook({"save-order", "ORD-1", "1:2"}, cwd);
    EXPECT_EQ(ask.status, 5) << ask.err.toStdString();
    EXPECT_TRUE(ask.err.contains(QStringLiteral("A001 杯子: 剩余库存 -1"))) << ask.err.toStdString();
    EXPECT_EQ(Tallybrook({"save-order", "--yes", "ORD-1", "1:2"}, cwd).status, 0);
    // A file that is not a workbook: the reader's record text once held a bare \r.
    QFile junk(QString::fromStdString(dir.file("junk.xls")));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("this is not a workbook at all");
    junk.close();
    TRunResult imp = Tallybrook({"import-goods", "junk.xls"}, cwd);
    EXPECT_NE(imp.status, 0);
    EXPECT_FALSE(imp.err.contains('\r')) << imp.err.toStdString();
}

TEST(Cli, a_database_made_writable_again_takes_writes_at_once)
{
    if (::geteuid() == 0) GTEST_SKIP() << "file modes do not bind root";
    TempDir dir;
    QString cwd = QString::fromStdString(dir.path().string());
    ASSERT_EQ(Tallybrook({"new-database"}, cwd).status, 0);
    {
        store::Connection c(dir.file("ledgr.mdb"));
        c.Execute("insert into spxx(id, spbm, spmc, spjj, spsj, spkc) values (1, 'A001', '杯子', 1, 2, 9)");
    }
    // A read-only database leaves a read-only "-shm" behind when it is used.
    auto db = dir.file("ledgr.mdb");
    std::filesystem::permissions(db, std::filesystem::perms::owner_read);
    {
        store::Connection c(db);
        c.Open();
        store::DataSet q(c);
        q.SetSQL("select * from spxx");
        q.Open();
    }
    std::filesystem::permissions(db, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    TRunResult save = Tallybrook({"save-order", "ORD-2", "1:1"}, cwd);
    EXPECT_EQ(save.status, 0) << save.err.toStdString();
}
