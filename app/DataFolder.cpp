#include "app/DataFolder.h"

#include <cstdlib>
#include <stdexcept>

#include "store/Connection.h"

namespace fs = std::filesystem;

fs::path UserDataFolder()
{
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && *data && fs::path(data).is_absolute()) return fs::path(data) / "tallybrook";
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : "/") / ".local/share/tallybrook";
}

fs::path EnterDataFolder(TDataFolderUse use)
{
    std::error_code ec;
    // Books on a server: the data folder keeps only what is local (the
    // backups); no database file is made.
    if (store::DefaultIsServer()) {
        if (use == TDataFolderUse::Command) return fs::current_path();
        fs::path folder = UserDataFolder();
        fs::create_directories(folder, ec);
        if (!ec) fs::current_path(folder);
        return fs::current_path();
    }
    if (fs::is_regular_file(store::kDatabaseFile, ec)) return fs::current_path();
    fs::path folder = UserDataFolder();
    bool present = fs::is_regular_file(folder / store::kDatabaseFile, ec);
    if (!present && use == TDataFolderUse::Command) return fs::current_path();
    if (!present) {
        fs::create_directories(folder, ec);
        if (ec)
            throw std::runtime_error("无法创建数据文件夹 " + folder.string() + ", 请检查这个文件夹的权限。\n" +
                                     ec.message());
        fs::current_path(folder);
        store::Connection::CreateDatabase(store::kDatabaseFile);
        return folder;
    }
    fs::current_path(folder);
    return folder;
}
