#include "app/BackupSettings.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QSettings>
#include <filesystem>
#include <stdexcept>

#include "app/Forms.h"
#include "app/LoginSettings.h"
#include "app/login.h"
#include "store/Connection.h"

namespace {

constexpr std::uint64_t kMB = std::uint64_t(1) << 20;

QString ProgramFolder()
{
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? QStringLiteral(".") : QString::fromStdString(exe.parent_path().string());
}

}  // namespace

std::uint64_t ReadBackupBudgetMB(const QString& iniFile)
{
    QSettings ini(iniFile, QSettings::IniFormat);
    bool ok = false;
    qulonglong mb = ini.value("backup/budgetmb").toString().trimmed().toULongLong(&ok);
    return ok ? mb : 0;
}

void WriteBackupBudgetMB(const QString& iniFile, std::uint64_t mb)
{
    // The file may come to hold the login's password: it starts out as the owner's only.
    int fd = ::open(QFile::encodeName(iniFile).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) ::close(fd);
    QSettings ini(iniFile, QSettings::IniFormat);
    ini.setValue("backup/budgetmb", QString::number(mb));
    ini.sync();
    if (ini.status() != QSettings::NoError)
        throw std::runtime_error(
            QStringLiteral("无法保存备份上限到 %1, 请检查文件夹权限后再试。").arg(iniFile).toStdString());
}

QString BackupSettingsFile(bool forWriting)
{
    TLoginSettings fallback(ProgramFolder());
    const TLoginSettings& s = Form1 ? Form1->Settings() : fallback;
    return forWriting ? s.WritePath() : s.ReadPath();
}

store::BackupManager SellerBackups(const std::string& databaseFile, const QString& iniFile)
{
    store::BackupManager m(databaseFile);
    m.SetBudget(ReadBackupBudgetMB(iniFile) * kMB);
    return m;
}

store::BackupManager SellerBackups() { return SellerBackups(store::Connection().Address(), BackupSettingsFile(false)); }

QString SizeText(std::uintmax_t bytes)
{
    const double b = static_cast<double>(bytes);
    if (bytes >= (std::uintmax_t(1) << 30)) return QStringLiteral("%1 GB").arg(b / (1 << 30), 0, 'f', 1);
    if (bytes >= kMB) return QStringLiteral("%1 MB").arg(b / kMB, 0, 'f', 1);
    return QStringLiteral("%1 KB").arg((bytes + 1023) / 1024);
}

QString BackupUsageText(const store::BackupManager& m)
{
    auto list = m.List(false);
    std::uintmax_t used = 0;
    for (const auto& b : list) used += b.bytes;
    QString budget = SizeText(m.Budget());
    if (m.AutomaticBudget()) budget += QStringLiteral(" (自动: 2 GB 与可用空间的 10% 中较小者)");
    return QStringLiteral("%1 个备份共占用 %2, 上限 %3。\n超出上限时先删除最旧的备份, 最新的三个总会保留。")
        .arg(list.size())
        .arg(SizeText(used), budget);
}
