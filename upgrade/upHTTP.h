// The HTTP transfer engine of the upgrade: one GET per run on a worker thread
// over libcurl, the body into memory or a file, every result reported as an
// event on the window thread.
#pragma once

#include "upgrade/upThread.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>

enum TupHTTPAccessType { atPreconfig, atDirect, atUseProxy };
enum TupHTTPRequestMethod { rmAutoDetect, rmGET, rmPOST };

struct TupHTTPProxy {
    TupHTTPAccessType AccessType = atPreconfig;
    int ProxyPort = 8080;
    QString ProxyServer;
    QString ProxyBypass = QStringLiteral("127.0.0.1;");
};

struct TupHTTPRange {
    int StartRange = 0;
    int EndRange = 0;
};

// Milliseconds; 0 leaves the library's default.
struct TupHTTPTimeouts {
    uint32_t ConnectTimeout = 0;
    uint32_t ReceiveTimeout = 0;
    uint32_t SendTimeout = 0;
};

struct TupURLParts {
    QString Scheme, HostName, UserName, Password, Path, ExtraInfo;
    int Port = 0;
};

struct TupHeaderInfo {
    QString RawHeadersCRLF, ContentType, ContentLanguage, ContentEncoding, Location;
    uint32_t ContentLength = 0;
    QDateTime Date, LastModified, Expires;  // invalid when absent
};

struct TupProgressInfo {
    QString ContentType;
    uint32_t DataSize = 0;
    uint32_t BytesRead = 0;
    uint32_t ElapsedTime = 0;
    int32_t EstimatedTimeLeft = 0;
    uint8_t PercentsDone = 0;
    float TransferRate = 0;
};

// Why a body was not kept: longer than MaxBodySize, or its output file could
// not be created or written.
enum TupBodyError { beNone, beTooLarge, beOutputFile, beWrite };

class TupCustomHTTP;
using TupHTTPNotify = std::function<void(TupCustomHTTP*)>;
// The body received into memory; null when it went to a file.
using TupStream = const QByteArray*;

namespace uphttp {
struct TupTransfer;
struct TupTransferEvents;
}  // namespace uphttp

class TupLoginComponent : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    QString Username() const { return FLoginUsername; }
    void setUsername(const QString& v) { FLoginUsername = v; }
    QString Password() const { return FLoginPassword; }
    void setPassword(const QString& v) { FLoginPassword = v; }

protected:
    QString FLoginUsername;
    QString FLoginPassword;
};

class TupCustomHTTP : public TupLoginComponent {
    Q_OBJECT
public:
    explicit TupCustomHTTP(QObject* parent = nullptr);
    ~TupCustomHTTP() override;

    // Starts a transfer of URL; false (and nothing done) while one is running.
    bool Read();
    // Stops the running transfer at once; no event of it follows.
    void Abort();
    bool Busy() const;
    QString FileName() const;
    QString HostName() const;
    TupCustomThread* Thread() const { return FThread; }

    static TupURLParts CrackURL(const QString& url);
    static QDateTime ParseHTTPDate(const QString& text);
    static QString StatusText(uint32_t statusID);
    static uint8_t PercentOf(double a, double b);

    QString URL;
    QString OutputFileName;
    bool HideOutputFile = false;
    QString AcceptTypes = QStringLiteral("text/html, */*");
    QStringList AddHeaders;
    QString Agent;
    TupHTTPProxy Proxy;
    TupHTTPRange Range;
    QString Referer;
    TupHTTPRequestMethod RequestMethod = rmAutoDetect;
    TupHTTPTimeouts Timeouts;
    bool UseCache = true;
    bool UseCookies = true;
    bool WorkOffline = false;
    // A file of certificate authorities to trust besides the system's store
    // (tests, sellers' own servers); certificates are verified either way.
    QString CAInfo;
    // Refuses every address, also a redirect target, that is not HTTPS.
    bool SecureOnly = false;
    // False: a redirect is answered like any other status that is not 200.
    bool FollowRedirects = true;
    // The longest body accepted, announced or not; the transfer stops as
    // soon as more arrives. Nothing larger is ever allocated for a body.
    qint64 MaxBodySize = qint64(64) << 20;

    int TransferBufferSize() const { return FTransferBufferSize; }
    void setTransferBufferSize(int size);
    TThreadPriority ThreadPriority() const { return FThread->Priority(); }
    void setThreadPriority(TThreadPriority p) { FThread->setPriority(p); }
    bool WaitThread() const { return FThread->WaitThread; }
    void setWaitThread(bool on) { FThread->WaitThread = on; }
    uint32_t WaitTimeout() const { return FThread->WaitTimeout; }
    void setWaitTimeout(uint32_t ms) { FThread->WaitTimeout = ms; }
    bool FreeOnTerminate() const { return FThread->FreeOwnerOnTerminate; }
    void setFreeOnTerminate(bool on) { FThread->FreeOwnerOnTerminate = on; }

    std::function<void(TupCustomHTTP*, const TupHeaderInfo&, bool& ContinueDownload)> OnHeaderInfo;
    std::function<void(TupCustomHTTP*, const TupProgressInfo&, TupStream)> OnProgress;
    std::function<void(TupCustomHTTP*, const QString& ContentType, uint32_t FileSize, TupStream)> OnDone;
    TupHTTPNotify OnDoneInterrupted;
    std::function<void(TupCustomHTTP*, const QString& ContentType, uint32_t FileSize, uint32_t BytesRead, TupStream)>
        OnConnLost;
    std::function<void(TupCustomHTTP*, int ErrorCode, TupStream)> OnHTTPError;
    TupHTTPNotify OnHostUnreachable;
    TupHTTPNotify OnAnyError;
    TupHTTPNotify OnAborted;
    std::function<void(TupCustomHTTP*, const QString& Realm, bool& TryAgain)> OnPasswordRequest;
    std::function<void(TupCustomHTTP*, QString& ProxyUsername, QString& ProxyPassword, bool& TryAgain)>
        OnProxyAuthenticationRequest;
    // Worker thread: must not touch windows.
    std::function<void(TupCustomHTTP*, uint32_t StatusID, const QString& StatusStr)> OnStatusChanged;
    std::function<void(TupCustomHTTP*, const QString& NewURL)> OnRedirected;
    TupHTTPNotify OnWaitTimeoutExpired;
    // After OnAnyError, in place of the other failure events; the output
    // file, if one was created, is deleted.
    std::function<void(TupCustomHTTP*, TupBodyError, const QString& Detail)> OnBodyError;

protected:
    bool Destroying() const { return FDestroying; }
    // The engine's Abort; RaiseAborted says whether OnAborted is raised.
    void AbortTransfer(bool RaiseAborted);

private:
    friend struct uphttp::TupTransferEvents;
    std::shared_ptr<uphttp::TupTransfer> NewTransfer();
    void FinishTransfer();
    void ReportFailure(uphttp::TupTransfer& t);
    void DoProgress(uphttp::TupTransfer& t);
    void DoHeaderInfo(uphttp::TupTransfer& t);
    void DoPasswordRequest(uphttp::TupTransfer& t);
    void DoProxyRequest(uphttp::TupTransfer& t);

    TupCustomThread* FThread = nullptr;
    std::shared_ptr<uphttp::TupTransfer> FTransfer;
    int FTransferBufferSize = 4096;
    bool FDestroying = false;
};
