// libFuzzer target for what the update check reads from the server: the
// information file (decoding, the one-pass key index, the download list, the
// dates and versions, the signature line and the trust checks) and the HTTP
// header date parser. No input may crash, hang or read out of bounds; the
// list never grows past its limit, and the one-pass index agrees with a
// plain search for every key it is asked about.
#include "upgrade/upHTTP.h"
#include "upgrade/upSignature.h"
#include "upgrade/upUtils.h"

#include <cstdint>
#include <cstdlib>

namespace {

const TupInfoTrust Trust{QByteArray(32, '\x11'), QStringLiteral("https://update.example/update.inf")};

// The first occurrence of "#key=" by a plain search, as the file format has it.
QString SearchValue(const QString& text, const QString& key)
{
    QString lower = text;
    for (QChar& c : lower)
        if (c >= 'A' && c <= 'Z') c = QChar(c.unicode() + 32);
    const QString marker = QLatin1Char('#') + key + QLatin1Char('=');
    const qsizetype at = lower.indexOf(marker);
    if (at < 0) return QString();
    qsizetype end = at + marker.size();
    while (end < text.size() && text[end].unicode() >= 32) ++end;
    return text.mid(at + marker.size(), end - at - marker.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > static_cast<size_t>(MaxInfoFileSize)) return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const TupVersionInfo byDateInfo{byDate, QStringLiteral("10/20/2013"), QString()};
    const TupVersionInfo byNumberInfo{byNumber, QString(), QStringLiteral("1.2.3")};
    const TupInfoOutcome outcome = ProcessInfoFile(bytes, byDateInfo);
    if (outcome.Files.size() > MaxInfoEntries) std::abort();
    ProcessInfoFile(bytes, byNumberInfo);
    const TupInfoOutcome trusted = ProcessInfoFile(bytes, byDateInfo, Trust);
    if (trusted.ReleaseAvailable && trusted.Method != umRedirectToURL && trusted.Checks.size() != trusted.Files.size())
        std::abort();
    const QString text = DecodeInfoFile(bytes);
    const TupInfoReader reader(text);
    for (const char* key : {"url", "url0", "url2", "date", "version", "method", "url-size", "url-sha256"})
        if (reader.Value(QLatin1String(key)) != SearchValue(text, QLatin1String(key))) std::abort();
    ParseVersionDate(reader.Value(QStringLiteral("date")));
    CompareVersions(reader.Value(QStringLiteral("version")), QStringLiteral("1.10"));
    TupCustomHTTP::ParseHTTPDate(QString::fromLatin1(bytes.left(512)));
    return 0;
}
