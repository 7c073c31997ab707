#include "TestServer.h"

#include "Spawn.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QThread>
#include <QTimer>
#include <csignal>
#include <unistd.h>

namespace {

bool RunOpenSSL(const QString& folder, const QStringList& args)
{
    return RunProgram(QStringLiteral("/usr/bin/openssl"), args, nullptr, folder) == 0;
}

QByteArray ReadLine(int fd)
{
    QByteArray line;
    char c = 0;
    while (::read(fd, &c, 1) == 1 && c != '\n') line.append(c);
    return line;
}

}  // namespace

TestServer& TestServer::Get()
{
    static TestServer server;
    return server;
}

TestServer::TestServer()
{
    QDir(FDir.path()).mkdir(QStringLiteral("docroot"));
    if (!MakeCertificates()) return;
    const SpawnedChild server =
        Spawn(QStringLiteral("/usr/bin/python3"),
              {QStringLiteral(TB_TEST_SERVER), FDir.filePath(QStringLiteral("docroot")),
               FDir.filePath(QStringLiteral("server.pem")), FDir.filePath(QStringLiteral("server.key")),
               FDir.filePath(QStringLiteral("requests.log"))},
              true);
    if (server.Pid < 0) return;
    FServerPid = server.Pid;
    FServerInput = server.Input;
    const QList<QByteArray> words = ReadLine(server.Output).trimmed().split(' ');
    ::close(server.Output);
    if (words.size() == 3 && words[0] == "PORTS") {
        FHttpsPort = words[1].toInt();
        FHttpPort = words[2].toInt();
    }
}

TestServer::~TestServer()
{
    if (FServerPid < 0) return;
    ::close(FServerInput);  // the server ends when its input closes
    if (WaitExit(FServerPid, 3000) < 0) {
        ::kill(FServerPid, SIGKILL);
        WaitExit(FServerPid, 3000);
    }
}

bool TestServer::MakeCertificates()
{
    const QString dir = FDir.path();
    QFile ext(FDir.filePath(QStringLiteral("san.ext")));
    if (!ext.open(QIODevice::WriteOnly)) return false;
    ext.write("subjectAltName=IP:127.0.0.1,DNS:localhost\nbasicConstraints=CA:FALSE\n");
    ext.close();
    return RunOpenSSL(dir, {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out", "ca.pem",
                            "-days", "2", "-subj", "/CN=Tallybrook Test CA"}) &&
           RunOpenSSL(dir, {"req", "-newkey", "rsa:2048", "-nodes", "-keyout", "server.key", "-out", "server.csr",
                            "-subj", "/CN=127.0.0.1"}) &&
           RunOpenSSL(dir, {"x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
                            "-out", "server.pem", "-days", "2", "-extfile", "san.ext"});
}

QString TestServer::Https(const QString& path) const
{
    return QStringLiteral("https://127.0.0.1:%1/%2").arg(FHttpsPort).arg(path);
}

QString TestServer::Http(const QString& path) const
{
    return QStringLiteral("http://127.0.0.1:%1/%2").arg(FHttpPort).arg(path);
}

void TestServer::Put(const QString& name, const QByteArray& content) const
{
    const QString path = FDir.filePath(QStringLiteral("docroot/") + name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) file.write(content);
}

QList<QJsonObject> TestServer::Requests(const QString& fragment) const
{
    QList<QJsonObject> found;
    QFile log(FDir.filePath(QStringLiteral("requests.log")));
    if (!log.open(QIODevice::ReadOnly)) return found;
    for (const QByteArray& line : log.readAll().split('\n')) {
        const QJsonObject entry = QJsonDocument::fromJson(line).object();
        if (entry.value(QStringLiteral("path")).toString().contains(fragment)) found << entry;
    }
    return found;
}

bool WaitFor(const std::function<bool()>& done, int guardMs)
{
    QDeadlineTimer guard(guardMs);
    QTimer tick;  // wakes the loop for conditions that raise no event
    tick.start(5);
    while (!done()) {
        if (guard.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}
