#include "upgrade/upHTTP.h"

#include "upgrade/upHTTPTransfer.h"

#include <QFile>
#include <cmath>
#include <curl/curl.h>
#include <mutex>

using uphttp::TupTransfer;

namespace {

std::vector<std::string> RequestHeaderLines(const TupCustomHTTP& http)
{
    std::vector<std::string> lines;
    for (const QString& line : http.AddHeaders)
        if (!line.trimmed().isEmpty()) lines.push_back(line.trimmed().toStdString());
    if (http.Range.StartRange != 0 || http.Range.EndRange != 0) {
        QString range = QStringLiteral("Range: bytes=%1-").arg(http.Range.StartRange);
        if (http.Range.EndRange != 0) range += QString::number(http.Range.EndRange);
        lines.push_back(range.toStdString());
    }
    if (!http.UseCache) {  // always reload, and let no proxy cache keep it
        lines.emplace_back("Cache-Control: no-cache");
        lines.emplace_back("Pragma: no-cache");
    }
    return lines;
}

void RunCurrentTransfer(TupCustomThread*)
{
    if (auto context = TupEventThread::CurrentRunContext())
        uphttp::RunTransfer(*std::static_pointer_cast<TupTransfer>(context));
}

}  // namespace

TupCustomHTTP::TupCustomHTTP(QObject* parent) : TupLoginComponent(parent)
{
    static std::once_flag curlReady;
    std::call_once(curlReady, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    Agent = QStringLiteral("Tallybrook Updater/1.0 (+https://update.tallybrook.example/)");
    FThread = new TupCustomThread(this);
    FThread->setOnExecute(RunCurrentTransfer);
    FThread->setOnTerminate([this](TupCustomThread*) { FinishTransfer(); });
    FThread->setOnException([this](TupCustomThread*) {
        if (OnAnyError) OnAnyError(this);
    });
    FThread->OnWaitTimeoutExpired = [this](TupCustomThread*) {
        if (FTransfer) FTransfer->Aborted = true;
        FTransfer.reset();
        if (OnWaitTimeoutExpired) OnWaitTimeoutExpired(this);
    };
}

TupCustomHTTP::~TupCustomHTTP()
{
    FDestroying = true;
    FThread->setOwnerDestroying(true);
    if (FTransfer) FTransfer->Aborted = true;
    delete FThread;
}

void TupCustomHTTP::setTransferBufferSize(int size) { FTransferBufferSize = std::max(size, 255); }

bool TupCustomHTTP::Busy() const { return FThread->Running(); }

bool TupCustomHTTP::Read()
{
    if (Busy()) return false;
    FTransfer = NewTransfer();
    FThread->setRunContext(FTransfer);
    return FThread->Execute();
}

std::shared_ptr<TupTransfer> TupCustomHTTP::NewTransfer()
{
    auto t = std::make_shared<TupTransfer>();
    t->Url = (URL.contains(QStringLiteral("://")) ? URL : QStringLiteral("http://") + URL).toStdString();
    t->OutputFileName = OutputFileName;
    t->AcceptTypes = AcceptTypes.toStdString();
    t->Agent = Agent.toStdString();
    t->Referer = Referer.toStdString();
    t->CAInfo = QFile::encodeName(CAInfo).toStdString();
    t->Headers = RequestHeaderLines(*this);
    t->Proxy = Proxy;
    t->Timeouts = Timeouts;
    t->BufferSize = static_cast<size_t>(FTransferBufferSize);
    t->UseCookies = UseCookies;
    t->WorkOffline = WorkOffline;
    t->SecureOnly = SecureOnly;
    t->FollowRedirects = FollowRedirects;
    t->MaxBodySize = static_cast<uint64_t>(std::max<qint64>(MaxBodySize, 0));
    t->Username = FLoginUsername;
    t->Password = FLoginPassword;
    t->HasHeaderInfo = static_cast<bool>(OnHeaderInfo);
    t->HasProgress = static_cast<bool>(OnProgress);
    t->HasPassword = static_cast<bool>(OnPasswordRequest);
    t->HasProxyAuth = static_cast<bool>(OnProxyAuthenticationRequest);
    if (OnStatusChanged)
        t->StatusChanged = [event = OnStatusChanged, this](uint32_t id, const QString& text) { event(this, id, text); };
    if (OnRedirected) t->Redirected = [event = OnRedirected, this](const QString& url) { event(this, url); };
    t->Component = this;
    return t;
}

void TupCustomHTTP::DoHeaderInfo(TupTransfer& t)
{
    TupHeaderInfo info;
    info.RawHeadersCRLF = t.HTTPRawHeadersCRLF;
    info.ContentType = t.HTTPContentType;
    info.ContentLanguage = t.HTTPContentLanguage;
    info.ContentEncoding = t.HTTPContentEncoding;
    info.Location = t.HTTPLocation;
    info.ContentLength = t.HTTPFileSize;
    info.Date = ParseHTTPDate(t.RawDate);
    info.LastModified = ParseHTTPDate(t.RawLastModified);
    info.Expires = ParseHTTPDate(t.RawExpires);
    bool continueDownload = t.HTTPContinueDownload;
    if (OnHeaderInfo) OnHeaderInfo(this, info, continueDownload);
    t.HTTPContinueDownload = continueDownload;
}

void TupCustomHTTP::DoPasswordRequest(TupTransfer& t)
{
    bool tryAgain = false;
    if (OnPasswordRequest) OnPasswordRequest(this, t.Realm, tryAgain);
    t.HTTPTryAgain = tryAgain;
    t.Username = FLoginUsername;
    t.Password = FLoginPassword;
}

void TupCustomHTTP::DoProxyRequest(TupTransfer& t)
{
    bool tryAgain = false;
    if (OnProxyAuthenticationRequest)
        OnProxyAuthenticationRequest(this, t.HTTPProxyUsername, t.HTTPProxyPassword, tryAgain);
    t.HTTPTryAgain = tryAgain;
}

void TupCustomHTTP::DoProgress(TupTransfer& t)
{
    TupProgressInfo p;
    p.ContentType = t.HTTPContentType;
    p.DataSize = t.HTTPFileSize;
    p.BytesRead = t.HTTPBytesTransferred;
    p.ElapsedTime = static_cast<uint32_t>((uphttp::TickCount() - t.HTTPStartTime) / 1000);
    p.PercentsDone = PercentOf(t.HTTPBytesTransferred, t.HTTPFileSize);
    const double total = double(t.HTTPFileSize) / double(t.HTTPBytesTransferred) * p.ElapsedTime;
    p.EstimatedTimeLeft = static_cast<int32_t>(std::nearbyint(total)) - static_cast<int32_t>(p.ElapsedTime);
    p.TransferRate = static_cast<float>(t.HTTPBytesTransferred / 1024.0);
    if (p.ElapsedTime != 0) p.TransferRate /= static_cast<float>(p.ElapsedTime);
    if (OnProgress) OnProgress(this, p, t.StreamIsFile ? nullptr : &t.Memory);
}

void TupCustomHTTP::ReportFailure(TupTransfer& t)
{
    if (OnAnyError) OnAnyError(this);
    const TupStream stream = t.StreamIsFile ? nullptr : &t.Memory;
    if (t.HTTPErrorCode == -1) {
        if (OnHostUnreachable) OnHostUnreachable(this);
    } else if (t.HTTPErrorCode == 200) {
        if (OnConnLost) OnConnLost(this, t.HTTPContentType, t.HTTPFileSize, t.HTTPBytesTransferred, stream);
    } else if (OnHTTPError) {
        OnHTTPError(this, t.HTTPErrorCode, stream);
    }
}

// Window thread, the worker waiting. A handler may start the next transfer;
// everything after it concerns this transfer only.
void TupCustomHTTP::FinishTransfer()
{
    const std::shared_ptr<TupTransfer> t = FTransfer;
    if (!t) return;
    bool deleteOutput = false;
    if (t->BodyError != beNone) {
        if (OnAnyError) OnAnyError(this);
        t->CloseFile();
        t->RemoveOwnOutput();
        if (OnBodyError) OnBodyError(this, t->BodyError, t->BodyErrorDetail);
    } else if (t->HTTPContinueDownload && t->HTTPSuccess) {
        if (!t->HasStream) {
            if (OnAnyError) OnAnyError(this);
            return;
        }
        t->CloseFile();
        if (OnDone) OnDone(this, t->HTTPContentType, t->HTTPBytesTransferred, t->StreamIsFile ? nullptr : &t->Memory);
    } else if (t->HTTPContinueDownload) {
        ReportFailure(*t);
        deleteOutput = t->StreamIsFile;
    }
    t->CloseFile();
    // Also after a handler aborted: a short or failed body is never kept.
    if (deleteOutput) t->RemoveOwnOutput();
    t->Memory.clear();
    if (FTransfer == t) FTransfer.reset();
    if (!t->HTTPContinueDownload && OnDoneInterrupted) OnDoneInterrupted(this);
}

void TupCustomHTTP::Abort() { AbortTransfer(true); }

void TupCustomHTTP::AbortTransfer(bool raiseAborted)
{
    if (FTransfer) FTransfer->Aborted = true;
    FTransfer.reset();
    if (Busy()) {
        FThread->Terminate(true);
        if (raiseAborted && !FDestroying && OnAborted) OnAborted(this);
    }
}
