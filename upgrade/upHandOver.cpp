// The hand-over to the replacement program, the online test and the browser.
#include "upgrade/upUpdater.h"

#include "upgrade/upEmbeddedReplacer.h"
#include "upgrade/upMessages.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <netdb.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <vector>
#include <unistd.h>

namespace {

struct AddrInfoDeleter {
    void operator()(addrinfo* list) const { freeaddrinfo(list); }
};

QString LastAddressOfThisHost()
{
    char name[64] = {};
    if (gethostname(name, sizeof name - 1) != 0) return QString();
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* raw = nullptr;
    if (getaddrinfo(name, nullptr, &hints, &raw) != 0 || !raw) return QString();
    std::unique_ptr<addrinfo, AddrInfoDeleter> list(raw);
    QString last;
    for (const addrinfo* a = raw; a; a = a->ai_next) {
        char text[INET_ADDRSTRLEN] = {};
        const auto* in = reinterpret_cast<const sockaddr_in*>(a->ai_addr);
        if (inet_ntop(AF_INET, &in->sin_addr, text, sizeof text)) last = QString::fromLatin1(text);
    }
    return last;
}

// Starts Program in a session of its own and does not wait for it; the
// replacement program must outlive this process. False, with the reason,
// when the program could not be started: a pipe closed on exec carries the
// error of a failed exec back.
bool StartDetached(const QString& program, const QStringList& args, const QByteArray& note, QString& error)
{
    std::vector<QByteArray> words{QFile::encodeName(program)};
    for (const QString& arg : args) words.push_back(arg.toLocal8Bit());
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::setsid();
        ::setenv("TALLYBROOK_UPGRADE_REPORT", note.constData(), 1);
        if (::fork() == 0) {
            ::execv(argv[0], argv.data());
            const int failed = errno;
            [[maybe_unused]] const ssize_t n = ::write(report[1], &failed, sizeof failed);
        }
        ::_exit(0);
    }
    ::close(report[1]);
    if (child > 0) ::waitpid(child, nullptr, 0);
    int failed = child > 0 ? 0 : errno;
    if (child > 0 && ::read(report[0], &failed, sizeof failed) != sizeof failed) failed = 0;
    ::close(report[0]);
    if (failed != 0) error = QString::fromLocal8Bit(std::strerror(failed));
    return failed == 0;
}

constexpr char ConfirmVariable[] = "TALLYBROOK_UPGRADE_CONFIRM_FD";

// The pipe on which the replacement program waits for the restarted program.
int ConfirmationPipe()
{
    bool ok = false;
    const int fd = qEnvironmentVariable(ConfirmVariable).toInt(&ok);
    struct stat info {};
    if (!ok || fd < 3 || ::fstat(fd, &info) != 0 || !S_ISFIFO(info.st_mode)) return -1;
    return fd;
}

}  // namespace

// Online when this computer's name resolves to an address other than the
// loopback one; the last address found counts.
bool TupUpdater::IsOnline() const
{
    if (OnlineTest) return OnlineTest();
    const QString address = LastAddressOfThisHost();
    return !address.isEmpty() && address != QLatin1String("127.0.0.1");
}

// Only web addresses reach the browser: an address from the update server
// must not start some other registered program.
void TupUpdater::OpenURL(const QString& url)
{
    const QUrl address(url.contains(QStringLiteral("://")) ? url : QStringLiteral("http://") + url);
    const QString scheme = address.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https")) QDesktopServices::openUrl(address);
}

namespace {

// A folder of this user's own inside the temporary folder: in the shared
// temporary folder itself anybody could put a program under our name.
QString PrivateTemporaryFolder()
{
    const QByteArray folder = QFile::encodeName(QDir::tempPath()) + "/tallybrook-" + QByteArray::number(::getuid());
    ::mkdir(folder.constData(), 0700);
    struct stat info {};
    if (::lstat(folder.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid() ||
        (info.st_mode & 077) != 0)
        return QString();
    return QFile::decodeName(folder);
}

}  // namespace

// Outside the installation, where an upgrade cannot replace it while it runs.
QString TupUpdater::ReplacementProgramPath()
{
    QString folder = PrivateTemporaryFolder();
    if (folder.isEmpty()) folder = QCoreApplication::applicationDirPath();
    return folder + QStringLiteral("/Replacer");
}

void TupUpdater::RemoveTemporaryFiles() const
{
    QDir folder(ExecutableFolder());
    const QStringList names = folder.entryList({QStringLiteral("*.uTMP")}, QDir::Files | QDir::Hidden);
    for (const QString& name : names) folder.remove(name);
}

void TupUpdater::RestartApplication(const QString& params)
{
    RemoveTemporaryFiles();
    RunReplacement(QLatin1Char('+') + params);
}

// The carried program, or the file named by setReplacerSource.
bool TupUpdater::WriteReplacer(const QString& program) const
{
    if (!FReplacerSource.isEmpty()) return QFile::copy(FReplacerSource, program);
    QFile out(program);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) return false;
    const QByteArray bytes = EmbeddedReplacer();
    return out.write(bytes) == bytes.size() && out.flush();
}

// Programs the seller starts from this one must not hold the pipe open.
void TupUpdater::KeepConfirmationPrivate()
{
    const int fd = ConfirmationPipe();
    if (fd >= 0) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
}

void TupUpdater::ConfirmStarted()
{
    const int fd = ConfirmationPipe();
    qunsetenv(ConfirmVariable);
    if (fd < 0) return;
    [[maybe_unused]] const ssize_t n = ::write(fd, "1", 1);
    ::close(fd);
}

void TupUpdater::RunReplacement(const QString& argument)
{
    const QString program = ReplacementProgramPath();
    QFile::remove(program);
    // Only a program written here and now is started. When it cannot be,
    // this program stays and says so; the downloaded files are dropped.
    QString error = QStringLiteral("cannot write ") + program;
    if (!WriteReplacer(program) ||
        !QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner) ||
        !StartDetached(program, {QFileInfo(ApplicationPath()).absoluteFilePath(), argument},
                       QFile::encodeName(RollBackReportPath()), error)) {
        Fail(ReplacerNotStartedMessage(program + QStringLiteral(": ") + error));
        return;
    }
    FRestarting = true;
    if (OnDoOwnCloseAppMethod) {
        OnDoOwnCloseAppMethod(this);
        return;
    }
    if (auto* window = qobject_cast<QWidget*>(parent())) window->window()->close();
    QCoreApplication::quit();
}

QString TupUpdater::RollBackReportPath() { return ReplacementProgramPath() + QStringLiteral(".failed"); }

// The replacement program leaves a note when it had to put the previous
// version back; the seller reads it once the program is up again.
void TupUpdater::ReportRollBack()
{
    QFile note(RollBackReportPath());
    if (!note.open(QIODevice::ReadOnly)) return;
    const QString reason = QString::fromLocal8Bit(note.read(4096)).trimmed();
    note.remove();
    QTimer::singleShot(0, this, [this, reason] { Prompter().ShowError(RolledBackMessage(reason)); });
}
