#include "Spawn.h"
#include "TestServer.h"
#include "replace.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void Write(const QString& path, const QByteArray& content)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

// An installed dummy program in a folder of its own.
class Replacement : public ::testing::Test {
protected:
    void SetUp() override { Install("inst"); }
    void Install(const QString& folderName)
    {
        folder = temp.filePath(folderName) + "/";
        QDir().mkpath(folder);
        app = folder + "tallybrook";
        ASSERT_TRUE(QFile::copy(TB_DUMMY_APP, app));
        dummy = ReadAll(app);
    }
    // Runs the replacement program as the application starts it.
    int Run(const QStringList& args) { return RunProgram(TB_REPLACER, args); }
    QStringList Temporary() const { return QDir(folder).entryList({"*.uTMP"}, QDir::Files | QDir::Hidden); }

    QTemporaryDir temp;
    QString folder, app;
    QByteArray dummy;
};

}  // namespace

TEST(replacerCommandLine, path_and_restart_arguments_are_found_also_when_split)
{
    replacer::Request r;
    ASSERT_TRUE(replacer::ParseCommandLine({"/opt/my shop/tallybrook", "+/afterupgrade0"}, r));
    EXPECT_EQ(r.ApplicationPath, "/opt/my shop/tallybrook");
    EXPECT_EQ(r.RestartArgs, "/afterupgrade0");
    EXPECT_FALSE(r.ExternalSetup);
    ASSERT_TRUE(replacer::ParseCommandLine({"/opt/my", "shop/tallybrook", "+/afterupgrade1"}, r));
    EXPECT_EQ(r.ApplicationPath, "/opt/my shop/tallybrook");
    EXPECT_TRUE(r.ExternalSetup);
    EXPECT_FALSE(replacer::ParseCommandLine({"no-plus"}, r));
}

TEST_F(Replacement, files_are_put_in_place_and_the_program_restarted)
{
    const QByteArray release = dummy + "release 2";
    Write(app + ".uTMP", release);
    Write(folder + "readme.txt.uTMP", "new readme");
    Write(folder + "leftover.dat.uTMP", "from an earlier upgrade");
    const auto mode = QFile::permissions(app);
    EXPECT_EQ(Run({app, "+/afterupgrade0"}), 0);
    ASSERT_TRUE(WaitFor([&] { return ReadAll(app + ".ran").endsWith("\n"); }));
    EXPECT_EQ(ReadAll(app + ".ran"), QByteArray("/afterupgrade0\n"));
    EXPECT_EQ(ReadAll(app), release);
    EXPECT_EQ(QFile::permissions(app), mode);
    EXPECT_EQ(ReadAll(folder + "readme.txt"), QByteArray("new readme"));
    EXPECT_EQ(ReadAll(folder + "leftover.dat"), QByteArray("from an earlier upgrade"));
    EXPECT_TRUE(Temporary().isEmpty());
}

TEST_F(Replacement, folder_with_blanks_is_found_and_restarted)
{
    Install("my shop");
    Write(folder + "readme.txt.uTMP", "x");
    EXPECT_EQ(Run({folder.split(' ')[0], folder.split(' ')[1] + "tallybrook", "+/afterupgrade0"}), 0);
    ASSERT_TRUE(WaitFor([&] { return ReadAll(app + ".ran").endsWith("\n"); }));
    EXPECT_EQ(ReadAll(folder + "readme.txt"), QByteArray("x"));
}

TEST_F(Replacement, waits_for_the_running_program_to_end)
{
    Write(app + ".uTMP", dummy + "new");
    const SpawnedChild running = Spawn(app, {"--sleep", "700"});
    ASSERT_GT(running.Pid, 0);
    ASSERT_TRUE(WaitFor([&] { return !replacer::WaitUntilWritable(app.toStdString(), {}, {}); }));
    EXPECT_FALSE(replacer::WaitUntilWritable(app.toStdString(), std::chrono::milliseconds(10),
                                             std::chrono::milliseconds(50)));
    EXPECT_EQ(Run({app, "+/afterupgrade0"}), 0);
    EXPECT_EQ(WaitExit(running.Pid), 0);
    EXPECT_EQ(ReadAll(app), dummy + "new");
}

TEST_F(Replacement, external_setup_runs_the_setup_then_removes_it_and_starts_the_program)
{
    QFile::copy(TB_DUMMY_APP, folder + "setupexe.uTMP");
    Write(folder + "data.bin.uTMP", "data");
    EXPECT_EQ(Run({app, "+/afterupgrade1"}), 0);
    ASSERT_TRUE(WaitFor([&] { return ReadAll(app + ".ran").endsWith("\n"); }));
    EXPECT_EQ(ReadAll(folder + "setupexe.ran"), QByteArray("/afterupgrade1\n"));
    EXPECT_FALSE(QFile::exists(folder + "setupexe"));
    EXPECT_EQ(ReadAll(folder + "data.bin"), QByteArray("data"));
}

TEST_F(Replacement, external_setup_without_a_setup_program_keeps_the_program)
{
    Write(app + ".uTMP", dummy + "v3");
    EXPECT_EQ(Run({app, "+/afterupgrade1"}), 0);
    ASSERT_TRUE(WaitFor([&] { return ReadAll(app + ".ran").endsWith("\n"); }));
    EXPECT_EQ(ReadAll(app), dummy + "v3");
    EXPECT_EQ(ReadAll(app + ".ran"), QByteArray("/afterupgrade1\n"));
}

TEST(replacerProgram, without_arguments_it_only_names_itself)
{
    QByteArray output;
    EXPECT_EQ(RunProgram(TB_REPLACER, {}, &output), 0);
    EXPECT_TRUE(output.startsWith("Replacer v1.0"));
}
