#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>

#include "app/LoginSettings.h"
#include "tests/CreationWatcher.h"
#include "tests/TempDir.h"

namespace {

unsigned ModeOf(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0xFFFF;
}

}  // namespace

TEST(PrivateSettings, config_ini_holds_the_password_only_at_mode_0600)
{
    TempDir dir;
    const mode_t old = ::umask(0);
    CreationWatcher watch(dir.path().string());
    TLoginSettings settings(QString::fromStdString(dir.path().string()), QString::fromStdString(dir.file("user")));
    settings.Write({"admin", "470913", true});
    watch.Stop();
    ::umask(old);
    EXPECT_EQ(ModeOf(dir.file("config.ini")), 0600u);
    const auto seen = watch.FirstModes();
    ASSERT_TRUE(seen.count("config.ini"));
    // The settings writer's lock file holds only its process id and is gone
    // once the file is written.
    for (const auto& [name, mode] : seen)
        if (name != "config.ini.lock") EXPECT_EQ(mode, 0600u) << name;
    EXPECT_FALSE(QFile::exists(QString::fromStdString(dir.file("config.ini.lock"))));
    EXPECT_EQ(settings.Read().password, "470913");
}

TEST(PrivateSettings, the_user_folder_made_for_the_settings_is_private)
{
    TempDir dir;
    const QString userDir = QString::fromStdString(dir.file("config/tallybrook"));
    TLoginSettings settings("/nonexistent-tallybrook/bin", userDir);
    settings.Write({"admin", "", false});
    EXPECT_EQ(ModeOf(dir.file("config")), 0700u);
    EXPECT_EQ(ModeOf(dir.file("config/tallybrook")), 0700u);
    EXPECT_EQ(ModeOf(dir.file("config/tallybrook/config.ini")), 0600u);
}
