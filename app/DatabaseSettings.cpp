#include "app/DatabaseSettings.h"

#include <QFileInfo>
#include <QSettings>
#include <cstdlib>
#include <filesystem>

#include "app/LoginSettings.h"
#include "store/Connection.h"

std::string ConfiguredServer(const QString& exeDir, const QString& userDir)
{
    QString path = TLoginSettings(exeDir, userDir).ReadPath();
    if (!QFileInfo::exists(path)) return {};
    QSettings ini(path, QSettings::IniFormat);
    return ini.value("database/server").toString().trimmed().toStdString();
}

bool ChooseDatabase(const QString& exeDir, const QString& userDir)
{
    const char* env = std::getenv(store::kDatabaseUrlVariable);
    if (!(env && *env)) {
        std::string server = ConfiguredServer(exeDir, userDir);
        if (!server.empty()) store::SetDefaultDatabase(server);
    }
    return store::DefaultIsServer();
}

QString ProgramFolder()
{
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? QString(".") : QString::fromStdString(exe.parent_path().string());
}
