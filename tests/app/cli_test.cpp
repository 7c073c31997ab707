#include <QProcess>

#include "tests/app/AppFixture.h"

namespace {

struct TRunResult {
    int status;
    QString out;
    QString err;
};

TRunResult Tallybrook(const QStringList& args, const QString& cwd) {
    QProcess p;
    p.setWorkingDirectory(cwd);
    p.start(QString(TB_BIN_DIR) + "/tallybrook", args);
    p.waitForFinished(60000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

}  // namespace

TEST(Cli, new_database_creates_once_and_refuses_to_overwrite) {
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

TEST(Cli, help_lists_the_commands_and_unknown_words_are_refused) {
    TempDir dir;
    QString cwd = QString::fromStdString(dir.path().string());
    TRunResult help = Tallybrook({"--help"}, cwd);
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.contains("new-database"));
    TRunResult bad = Tallybrook({"frobnicate"}, cwd);
    EXPECT_NE(bad.status, 0);
    EXPECT_TRUE(bad.err.contains("--help"));
}
