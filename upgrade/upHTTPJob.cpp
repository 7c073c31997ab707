#include "upgrade/upHTTPTransfer.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <strings.h>
#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <memory>
#include <unistd.h>

namespace uphttp {
namespace {

struct CurlDeleter {
    void operator()(CURL* h) const { curl_easy_cleanup(h); }
};
struct SlistDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
using CurlHandle = std::unique_ptr<CURL, CurlDeleter>;
using CurlList = std::unique_ptr<curl_slist, SlistDeleter>;

void Status(TupTransfer& t, uint32_t id)
{
    if (t.StatusChanged) t.StatusChanged(id, TupCustomHTTP::StatusText(id));
}

bool Sync(TupTransfer& t, const std::function<void()>& method)
{
    TupEventThread::SynchronizeCurrent(method);
    return !t.Aborted && !TupEventThread::CurrentTerminated();
}

// The realm is what follows the first '="' without the closing quote.
QString RealmOf(const QString& challenge)
{
    const int at = challenge.indexOf(QStringLiteral("=\""));
    if (at < 0) return challenge;
    const QString rest = challenge.mid(at + 2);
    return rest.isEmpty() ? rest : rest.chopped(1);
}

bool StopBody(TupTransfer& t, TupBodyError why, const QString& detail)
{
    t.BodyError = why;
    t.BodyErrorDetail = detail;
    return false;
}

QString ErrnoText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// The output file is created anew and exclusively, never through a link:
// whatever stood under its name is removed first, and a name that comes
// back before the creation makes it fail.
bool OpenStream(TupTransfer& t)
{
    if (t.Aborted || TupEventThread::CurrentTerminated()) return false;
    if (t.LengthKnown && !t.OutputFileName.isEmpty()) {
        const QByteArray path = t.OutputFileName.toLocal8Bit();
        ::unlink(path.constData());
        t.Fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (t.Fd < 0) return StopBody(t, beOutputFile, ErrnoText(errno));
        struct stat info {};
        if (::fstat(t.Fd, &info) == 0) {
            t.FileDevice = info.st_dev;
            t.FileInode = info.st_ino;
        }
        t.StreamIsFile = true;
    } else if (t.LengthKnown) {
        // The body grows as it comes; an announced length alone never sizes memory.
        t.Memory.reserve(static_cast<qsizetype>(std::min<uint32_t>(t.HTTPFileSize, 1u << 20)));
    }
    t.HasStream = true;
    return true;
}

void FillHeaderInfo(TupTransfer& t)
{
    QString raw;
    for (const auto& line : t.HeaderLines) raw += QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size()));
    t.HTTPRawHeadersCRLF = raw;
    t.HTTPContentLanguage = t.Header("content-language");
    t.HTTPContentEncoding = t.Header("content-encoding");
    t.HTTPLocation = t.Header("location");
    // Read as local times on the window thread: the time-zone state of the
    // C library is no business of a worker.
    t.RawDate = t.Header("date");
    t.RawLastModified = t.Header("last-modified");
    t.RawExpires = t.Header("expires");
}

// Runs once the final response's headers are in; false ends the body.
bool HandleHeaders(TupTransfer& t)
{
    t.HeadersHandled = true;
    t.HTTPErrorCode = t.ResponseStatus;
    Status(t, 41);
    if (t.HTTPErrorCode == 401 && t.HasPassword) {
        t.Realm = RealmOf(t.Header("www-authenticate"));
        if (!Sync(t, [&t] { TupTransferEvents::Password(t); }) || t.HTTPTryAgain) return false;
    }
    if (t.HTTPErrorCode == 407 && t.HasProxyAuth) {
        if (!Sync(t, [&t] { TupTransferEvents::Proxy(t); }) || t.HTTPTryAgain) return false;
    }
    t.HTTPContentType = t.Header("content-type");
    const QString length = t.Header("content-length");
    t.LengthKnown = !length.isNull();
    const qulonglong announced = length.trimmed().toULongLong();
    t.HTTPFileSize = announced > 0xFFFFFFFFull ? 0 : static_cast<uint32_t>(announced);
    t.HTTPSuccess = t.LengthKnown;
    if (t.HTTPErrorCode == 200 && announced > t.MaxBodySize)
        return StopBody(t, beTooLarge, QStringLiteral("Content-Length %1 > %2").arg(announced).arg(t.MaxBodySize));
    if (t.HasHeaderInfo) {
        FillHeaderInfo(t);
        if (!Sync(t, [&t] { TupTransferEvents::HeaderInfo(t); }) || !t.HTTPContinueDownload) return false;
    }
    return OpenStream(t);
}

bool WriteOut(TupTransfer& t, const char* data, size_t size)
{
    if (t.StreamIsFile) {
        for (size_t done = 0; done < size;) {
            const ssize_t n = ::write(t.Fd, data + done, size - done);
            if (n <= 0) {
                t.WriteFailed = true;
                return StopBody(t, beWrite, ErrnoText(n < 0 ? errno : ENOSPC));
            }
            done += static_cast<size_t>(n);
        }
    } else {
        t.Memory.append(data, static_cast<qsizetype>(size));
    }
    t.HTTPBytesTransferred += static_cast<uint32_t>(size);
    if (t.HasProgress) return Sync(t, [&t] { TupTransferEvents::Progress(t); });
    return !t.Aborted;
}

bool FlushBlocks(TupTransfer& t, bool all)
{
    size_t at = 0;
    while (t.Block.size() - at >= t.BufferSize || (all && at < t.Block.size())) {
        const size_t n = std::min(t.BufferSize, t.Block.size() - at);
        if (!WriteOut(t, t.Block.data() + at, n)) return false;
        at += n;
    }
    t.Block.erase(0, at);
    return true;
}

size_t OnBody(char* data, size_t size, size_t count, void* user)
{
    auto& t = *static_cast<TupTransfer*>(user);
    if (!t.HeadersHandled && !HandleHeaders(t)) {
        t.Stopped = true;
        return 0;
    }
    t.Received += size * count;
    if (t.Received > t.MaxBodySize) {
        // The body of an error status is dropped anyway: the status is what
        // gets reported.
        if (t.HTTPErrorCode == 200) StopBody(t, beTooLarge, QStringLiteral("more than %1 bytes").arg(t.MaxBodySize));
        t.Stopped = true;
        return 0;
    }
    t.Block.append(data, size * count);
    if (!FlushBlocks(t, false)) {
        t.Stopped = true;
        return 0;
    }
    return size * count;
}

size_t OnHeaderLine(char* data, size_t size, size_t count, void* user)
{
    auto& t = *static_cast<TupTransfer*>(user);
    std::string line(data, size * count);
    if (line.rfind("HTTP/", 0) == 0) {
        if (t.ResponseStatus / 100 == 3 && !t.Header("location").isEmpty()) {
            Status(t, 110);
            if (t.Redirected) t.Redirected(t.Header("location"));
        }
        t.HeaderLines.clear();
        const auto blank = line.find(' ');
        t.ResponseStatus = blank == std::string::npos ? 0 : std::atoi(line.c_str() + blank + 1);
        Status(t, 40);
    }
    t.HeaderLines.push_back(line);
    return size * count;
}

int OnXfer(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    auto& t = *static_cast<TupTransfer*>(user);
    return (t.Aborted || TupEventThread::CurrentTerminated()) ? 1 : 0;
}

CurlList RequestHeaders(const TupTransfer& t)
{
    curl_slist* list = curl_slist_append(nullptr, ("Accept: " + t.AcceptTypes).c_str());
    for (const auto& h : t.Headers) list = curl_slist_append(list, h.c_str());
    return CurlList(list);
}

void SetProxy(CURL* h, const TupTransfer& t)
{
    if (t.Proxy.AccessType == atDirect) {
        curl_easy_setopt(h, CURLOPT_PROXY, "");
    } else if (t.Proxy.AccessType == atUseProxy) {
        const QByteArray proxy = (t.Proxy.ProxyServer + ':' + QString::number(t.Proxy.ProxyPort)).toUtf8();
        curl_easy_setopt(h, CURLOPT_PROXY, proxy.constData());
        QString bypass = t.Proxy.ProxyBypass;
        bypass.replace(';', ',');
        curl_easy_setopt(h, CURLOPT_NOPROXY, bypass.toUtf8().constData());
    }
}

void SetTimeouts(CURL* h, const TupTransfer& t)
{
    if (t.Timeouts.ConnectTimeout)
        curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(t.Timeouts.ConnectTimeout));
    // A receive or send that stalls this long ends the transfer.
    const uint32_t stall = std::max(t.Timeouts.ReceiveTimeout, t.Timeouts.SendTimeout);
    if (stall) {
        curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, static_cast<long>((stall + 999) / 1000));
    }
}

void SetCredentials(CURL* h, const TupTransfer& t)
{
    if (t.Username.isEmpty() && t.Password.isEmpty()) return;
    curl_easy_setopt(h, CURLOPT_HTTPAUTH, CURLAUTH_BASIC);
    curl_easy_setopt(h, CURLOPT_USERNAME, t.Username.toUtf8().constData());
    curl_easy_setopt(h, CURLOPT_PASSWORD, t.Password.toUtf8().constData());
    if (!t.HTTPProxyUsername.isEmpty()) {
        curl_easy_setopt(h, CURLOPT_PROXYUSERNAME, t.HTTPProxyUsername.toUtf8().constData());
        curl_easy_setopt(h, CURLOPT_PROXYPASSWORD, t.HTTPProxyPassword.toUtf8().constData());
    }
}

const char* SystemCertificateFolder()
{
    const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
    return info && info->capath ? info->capath : "/etc/ssl/certs";
}

void Configure(CURL* h, TupTransfer& t, curl_slist* headers)
{
    const bool https = t.Url.rfind("https://", 0) == 0;
    curl_easy_setopt(h, CURLOPT_URL, t.Url.c_str());
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, t.SecureOnly ? "https" : "http,https");
    // A redirect never leaves HTTPS.
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, https ? "https" : "http,https");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, t.FollowRedirects ? 1L : 0L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!t.CAInfo.empty()) {
        // Extra authorities add to the system's: its folder of certificates
        // stays in use beside the given file.
        curl_easy_setopt(h, CURLOPT_CAINFO, t.CAInfo.c_str());
        curl_easy_setopt(h, CURLOPT_CAPATH, SystemCertificateFolder());
    }
    curl_easy_setopt(h, CURLOPT_USERAGENT, t.Agent.c_str());
    if (!t.Referer.empty()) curl_easy_setopt(h, CURLOPT_REFERER, t.Referer.c_str());
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers);
    if (t.UseCookies) curl_easy_setopt(h, CURLOPT_COOKIEFILE, "");
    SetProxy(h, t);
    SetTimeouts(h, t);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, OnHeaderLine);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, OnXfer);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &t);
}

// One send; true when the request is to be sent again with new credentials.
bool SendOnce(CURL* h, TupTransfer& t)
{
    t.HTTPTryAgain = false;
    t.HeadersHandled = false;
    t.ResponseStatus = -1;
    t.HeaderLines.clear();
    SetCredentials(h, t);
    Status(t, 30);
    const CURLcode rc = curl_easy_perform(h);
    if (t.Aborted || TupEventThread::CurrentTerminated()) return false;
    // A response without a body never reached the body callback.
    if (t.ResponseStatus >= 0 && !t.HeadersHandled && !t.Stopped && !HandleHeaders(t)) t.Stopped = true;
    if (rc != CURLE_OK && !t.Stopped) {
        if (t.HeadersHandled)
            t.ReadFailed = true;
        else
            t.HTTPErrorCode = -1;
    }
    return t.HTTPTryAgain;
}

}  // namespace

int64_t TickCount()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void RunTransfer(TupTransfer& t)
{
    t.HTTPErrorCode = -1;
    t.HTTPStartTime = TickCount();
    t.HTTPContinueDownload = true;
    if (t.WorkOffline) return;  // no cache to serve from: nothing can be fetched offline
    CurlHandle h(curl_easy_init());
    if (!h) return;
    CurlList headers = RequestHeaders(t);
    Configure(h.get(), t, headers.get());
    while (SendOnce(h.get(), t)) t.Stopped = false;
    if (t.Aborted) return;
    if (t.Stopped || !t.HeadersHandled) {
        // A body cut short never counts as received; a stop before the body
        // (the header handler, an output file that could not be created)
        // has already said what happened.
        if (t.HasStream || !t.HeadersHandled || t.BodyError != beNone) t.HTTPSuccess = false;
        return;
    }
    if (t.HasStream && !FlushBlocks(t, true)) {
        t.HTTPSuccess = false;
        return;
    }
    Status(t, 100);
    t.HTTPSuccess = t.HTTPErrorCode == 200 && !t.ReadFailed && !t.WriteFailed;
    if (t.HTTPSuccess && t.HTTPFileSize != 0 && t.HasStream) t.HTTPSuccess = t.HTTPFileSize == t.HTTPBytesTransferred;
    t.Completed = t.HTTPSuccess;
}

void TupTransfer::CloseFile()
{
    if (Fd >= 0) ::close(Fd);
    Fd = -1;
}

// A transfer stopped before it completed leaves no partial file behind: a
// later hand-over would put it in place of a good one.
TupTransfer::~TupTransfer()
{
    CloseFile();
    if (Aborted && !Completed) RemoveOwnOutput();
}

void TupTransfer::RemoveOwnOutput()
{
    if (!StreamIsFile) return;
    const QByteArray path = OutputFileName.toLocal8Bit();
    struct stat info {};
    if (::stat(path.constData(), &info) == 0 && info.st_dev == FileDevice && info.st_ino == FileInode)
        ::unlink(path.constData());
}

QString TupTransfer::Header(const char* name) const
{
    const size_t len = std::strlen(name);
    for (const auto& line : HeaderLines) {
        if (line.size() > len && line[len] == ':' && strncasecmp(line.c_str(), name, len) == 0)
            return QString::fromLatin1(line.c_str() + len + 1).trimmed();
    }
    return QString();
}

}  // namespace uphttp
