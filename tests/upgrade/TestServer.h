// Our own HTTPS and HTTP server on 127.0.0.1 with canned replies, and the
// test certificate authority it is signed by.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QTemporaryDir>

class TestServer {
public:
    // The one server of the test run, started on first use.
    static TestServer& Get();
    ~TestServer();

    bool Running() const { return FHttpsPort != 0; }
    QString Https(const QString& path) const;
    QString Http(const QString& path) const;
    QString CAFile() const { return FDir.filePath(QStringLiteral("ca.pem")); }
    // Puts a file in the document folder.
    void Put(const QString& name, const QByteArray& content) const;
    // The requests whose path contains Fragment, oldest first.
    QList<QJsonObject> Requests(const QString& fragment) const;

private:
    TestServer();
    bool MakeCertificates();

    QTemporaryDir FDir;
    int FServerInput = -1;
    int FServerPid = -1;
    int FHttpsPort = 0;
    int FHttpPort = 0;
};

// Pumps the event loop until Done holds; false after the guard time (a hang
// guard, not a timing check).
bool WaitFor(const std::function<bool()>& done, int guardMs = 20000);
