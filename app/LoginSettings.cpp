#include "app/LoginSettings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <stdexcept>

namespace {

bool CanWrite(const QString& file)
{
    QFileInfo fi(file);
    if (fi.exists()) return fi.isWritable();
    QFileInfo dir(fi.absolutePath());
    return dir.isDir() && dir.isWritable();
}

// Folders we make are ours alone; existing ones stay as they are.
void MakePrivatePath(const QString& folder)
{
    QString path;
    for (const QString& part : QDir::cleanPath(QDir(folder).absolutePath()).split('/', Qt::SkipEmptyParts)) {
        path += '/' + part;
        ::mkdir(QFile::encodeName(path).constData(), 0700);
    }
}

// The file holds the password: it exists with mode 0600 before anything is
// written, and the settings writer keeps the mode of the file it replaces.
void WriteTo(const QString& file, const TLoginValues& v)
{
    MakePrivatePath(QFileInfo(file).absolutePath());
    const int fd =
        ::open(QFile::encodeName(file).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) ::close(fd);
    {
        QSettings ini(file, QSettings::IniFormat);
        ini.beginGroup("login");
        ini.setValue("user", v.user);
        ini.setValue("password", v.savePassword ? v.password : QString());
        ini.setValue("savepwd", v.savePassword ? "1" : "0");
        ini.endGroup();
        ini.sync();
        if (ini.status() != QSettings::NoError) throw std::runtime_error("write failed");
    }
    QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
}

}  // namespace

bool ParseSavePwd(const QString& text)
{
    bool ok = false;
    long long n = text.trimmed().toLongLong(&ok);
    return ok && n != 0;
}

TLoginSettings::TLoginSettings(QString exeDir, QString userDir)
    : FExeFile(QDir(exeDir).filePath("config.ini")), FUserFile(QDir(userDir).filePath("config.ini"))
{}

QString TLoginSettings::DefaultUserDir()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty()) base = QDir::home().filePath(".config");
    return QDir(base).filePath("tallybrook");
}

// Where the program's folder can be written, the settings live there;
// otherwise the user's own copy wins, seeded from the program's copy.
QString TLoginSettings::ReadPath() const
{
    if (CanWrite(FExeFile) || !QFileInfo::exists(FUserFile)) return FExeFile;
    return FUserFile;
}

QString TLoginSettings::WritePath() const { return CanWrite(FExeFile) ? FExeFile : FUserFile; }

TLoginValues TLoginSettings::Read() const
{
    TLoginValues v;
    QString path = ReadPath();
    if (!QFileInfo::exists(path)) return v;
    QSettings ini(path, QSettings::IniFormat);
    ini.beginGroup("login");
    v.user = ini.value("user").toString();
    v.password = ini.value("password").toString();
    v.savePassword = ParseSavePwd(ini.value("savepwd").toString());
    return v;
}

void TLoginSettings::Write(const TLoginValues& v) const
{
    for (const QString& path : {FExeFile, FUserFile}) {
        if (!CanWrite(path) && !(path == FUserFile && !QFileInfo::exists(QFileInfo(path).absolutePath()))) continue;
        try {
            WriteTo(path, v);
            return;
        } catch (const std::exception&) {
        }
    }
    throw std::runtime_error(QString("Unable to write to %1").arg(FExeFile).toStdString());
}
