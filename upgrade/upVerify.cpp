// What the controller checks before it trusts the disk: the program folder
// before the first download, and each downloaded file against the size and
// hash that the signed information file gives for it.
#include "upgrade/upUpdater.h"

#include <QCryptographicHash>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Fd {
    int Value = -1;
    ~Fd()
    {
        if (Value >= 0) ::close(Value);
    }
};

QString Errno() { return QString::fromLocal8Bit(std::strerror(errno)); }

// Ours or the system's, and writable by nobody else.
bool OwnedSafely(const struct stat& info)
{
    return (info.st_uid == ::getuid() || info.st_uid == 0) && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

}  // namespace

bool TupUpdater::FolderTrusted(QString& detail) const
{
    const QByteArray folder = QFile::encodeName(ExecutableFolder());
    struct stat info {};
    if (::lstat(folder.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || !OwnedSafely(info)) {
        detail = QStringLiteral("%1: owner %2, mode %3")
                     .arg(ExecutableFolder())
                     .arg(info.st_uid)
                     .arg(info.st_mode & 07777, 0, 8);
        return false;
    }
    return true;
}

// The replacement program must be able to put files in the folder and to
// tell when the program has ended (it opens the program for writing).
bool TupUpdater::FolderWritable(QString& detail) const
{
    for (const QString& path : {ExecutableFolder(), ApplicationPath()}) {
        if (::access(QFile::encodeName(path).constData(), W_OK) != 0) {
            detail = path + QStringLiteral(": ") + Errno();
            return false;
        }
    }
    return true;
}

// The file as written: a plain file (never followed through a link) with
// exactly the listed size and SHA-256.
bool TupUpdater::VerifyDownload(QString& detail) const
{
    const TupFileCheck expected = FDownloadChecks.value(FCurrentFileIndex);
    Fd fd{::open(QFile::encodeName(FCurrentFileName).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC)};
    struct stat info {};
    if (fd.Value < 0 || ::fstat(fd.Value, &info) != 0 || !S_ISREG(info.st_mode)) {
        detail = FCurrentFileName + QStringLiteral(": not written (") + Errno() + QLatin1Char(')');
        return false;
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    char buffer[65536];
    qint64 total = 0;
    for (ssize_t n; (n = ::read(fd.Value, buffer, sizeof buffer)) > 0 && total <= expected.Size;) {
        hash.addData(QByteArrayView(buffer, n));
        total += n;
    }
    if (total == expected.Size && hash.result() == expected.Sha256) return true;
    detail = QStringLiteral("expected %1 bytes, SHA-256 %2; received %3 bytes, SHA-256 %4")
                 .arg(expected.Size)
                 .arg(QString::fromLatin1(expected.Sha256.toHex()))
                 .arg(total)
                 .arg(QString::fromLatin1(hash.result().toHex()));
    return false;
}
