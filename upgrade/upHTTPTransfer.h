// The state of one transfer. The worker owns it while the job runs; the
// window thread reads it only inside the synchronized events and in the
// completion step, while the worker waits.
#pragma once

#include "upgrade/upHTTP.h"

#include <atomic>
#include <sys/types.h>
#include <string>
#include <vector>

namespace uphttp {

struct TupTransfer {
    ~TupTransfer();
    TupTransfer() = default;
    TupTransfer(const TupTransfer&) = delete;
    TupTransfer& operator=(const TupTransfer&) = delete;

    // The request, fixed when the transfer starts.
    std::string Url;
    QString OutputFileName;
    std::string AcceptTypes, Agent, Referer, CAInfo;
    std::vector<std::string> Headers;
    TupHTTPProxy Proxy;
    TupHTTPTimeouts Timeouts;
    size_t BufferSize = 4096;
    uint64_t MaxBodySize = uint64_t(64) << 20;
    bool UseCookies = true, WorkOffline = false, SecureOnly = false, FollowRedirects = true;
    QString Username, Password;
    bool HasHeaderInfo = false, HasProgress = false, HasPassword = false, HasProxyAuth = false;
    std::function<void(uint32_t, const QString&)> StatusChanged;  // worker thread
    std::function<void(const QString&)> Redirected;               // worker thread
    TupCustomHTTP* Component = nullptr;                           // only inside synchronized calls

    // What the server answered.
    int HTTPErrorCode = -1;
    bool HTTPSuccess = false, HTTPTryAgain = false, HTTPContinueDownload = true;
    bool LengthKnown = false, ReadFailed = false, WriteFailed = false;
    bool Completed = false;  // the body arrived whole
    TupBodyError BodyError = beNone;
    QString BodyErrorDetail;
    uint64_t Received = 0;  // body bytes received, also those not yet written
    QString HTTPRawHeadersCRLF, HTTPContentType, HTTPContentLanguage, HTTPContentEncoding, HTTPLocation;
    QString RawDate, RawLastModified, RawExpires;
    QString Realm, HTTPProxyUsername, HTTPProxyPassword;
    uint32_t HTTPFileSize = 0, HTTPBytesTransferred = 0;
    int64_t HTTPStartTime = 0;  // steady clock, milliseconds

    // The body.
    bool HasStream = false;
    bool StreamIsFile = false;
    int Fd = -1;
    dev_t FileDevice = 0;
    ino_t FileInode = 0;
    QByteArray Memory;
    std::string Block;  // bytes received but not yet written out

    // Progress of the library calls.
    std::vector<std::string> HeaderLines;
    int ResponseStatus = -1;
    bool HeadersHandled = false;
    bool Stopped = false;
    std::atomic<bool> Aborted{false};

    void CloseFile();
    // Deletes the output file when it is still the one this transfer created.
    void RemoveOwnOutput();
    QString Header(const char* name) const;
};

// The synchronized events the job raises through the component.
struct TupTransferEvents {
    static void HeaderInfo(TupTransfer& t) { t.Component->DoHeaderInfo(t); }
    static void Progress(TupTransfer& t) { t.Component->DoProgress(t); }
    static void Password(TupTransfer& t) { t.Component->DoPasswordRequest(t); }
    static void Proxy(TupTransfer& t) { t.Component->DoProxyRequest(t); }
};

// The worker's job: the whole request/response exchange of one transfer.
void RunTransfer(TupTransfer& t);
int64_t TickCount();

}  // namespace uphttp
