#include "Spawn.h"
#include "TestServer.h"
#include "replace.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <gtest/gtest.h>
#include <sys/stat.h>

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
    EXPECT_FALSE(
        replacer::WaitUntilWritable(app.toStdString(), std::chrono::milliseconds(10), std::chrono::milliseconds(50)));
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

TEST_F(Replacement, planted_link_stops_the_replacement_and_nothing_outside_changes)
{
    const QString outside = temp.filePath("outside.txt");
    Write(outside, "not ours");
    ::chmod(outside.toLocal8Bit().constData(), 0600);
    ASSERT_TRUE(QFile::link(outside, folder + "notes.txt.uTMP"));
    Write(app + ".uTMP", dummy + "release 2");
    EXPECT_EQ(Run({app, "+/afterupgrade0"}), 2);
    ASSERT_TRUE(WaitFor([&] { return ReadAll(app + ".ran").endsWith("\n"); }));
    EXPECT_EQ(ReadAll(app + ".ran"), QByteArray("\n"));  // the previous program, started plainly
    EXPECT_EQ(ReadAll(app), dummy);
    EXPECT_EQ(ReadAll(outside), QByteArray("not ours"));
    struct stat info {};
    ASSERT_EQ(::stat(outside.toLocal8Bit().constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    EXPECT_FALSE(QFile::exists(folder + "notes.txt"));
    EXPECT_TRUE(Temporary().isEmpty());
}

TEST_F(Replacement, download_others_can_write_is_not_installed)
{
    Write(app + ".uTMP", dummy + "release 2");
    ::chmod((app + ".uTMP").toLocal8Bit().constData(), 0666);
    EXPECT_EQ(Run({app, "+/afterupgrade0"}), 2);
    ASSERT_TRUE(WaitFor([&] { return ReadAll(app + ".ran").endsWith("\n"); }));
    EXPECT_EQ(ReadAll(app), dummy);
}

TEST_F(Replacement, folder_others_can_write_is_not_worked_in)
{
    Write(app + ".uTMP", dummy + "release 2");
    ::chmod(folder.toLocal8Bit().constData(), 0777);
    EXPECT_EQ(Run({app, "+/afterupgrade0"}), 1);
    ::chmod(folder.toLocal8Bit().constData(), 0755);
    ASSERT_TRUE(WaitFor([&] { return ReadAll(app + ".ran").endsWith("\n"); }));
    EXPECT_EQ(ReadAll(app), dummy);
}

TEST_F(Replacement, second_of_three_failing_puts_the_first_back)
{
    Write(folder + "a.txt", "old a");
    Write(folder + "a.txt.uTMP", "new a");
    QDir().mkpath(folder + "b.txt/inside");
    Write(folder + "b.txt.uTMP", "new b");
    Write(folder + "c.txt.uTMP", "new c");
    replacer::Request request;
    ASSERT_TRUE(replacer::ParseCommandLine({app.toStdString(), "+/afterupgrade0"}, request));
    const auto replaced = replacer::ReplaceFiles(folder.toStdString(), request);
    EXPECT_NE(replaced.Error.find("b.txt"), std::string::npos) << replaced.Error;
    EXPECT_EQ(replaced.Files, 0);
    EXPECT_EQ(ReadAll(folder + "a.txt"), QByteArray("old a"));
    EXPECT_FALSE(QFile::exists(folder + "c.txt"));
    EXPECT_FALSE(QFile::exists(folder + "a.txt.uOLD"));
    EXPECT_TRUE(Temporary().isEmpty());
}

TEST(replacerWait, a_file_that_can_never_be_written_is_reported_at_once)
{
    QTemporaryDir temp;
    int error = 0;
    EXPECT_FALSE(replacer::WaitUntilWritable(temp.path().toStdString(), std::chrono::milliseconds(10),
                                             std::chrono::hours(1), &error));
    EXPECT_EQ(error, EISDIR);
}
