// The information file as the controller accepts it: signed by the maker,
// every file to download with its size and hash, all on one server.
#include "upgrade/upSignature.h"
#include "upgrade/upUtils.h"

#include <QUrl>
#include <algorithm>

namespace {

// Largest file a release may list; larger sizes are refused as nonsense.
constexpr qint64 MaxListedFileSize = qint64(1) << 31;

bool ReadCheck(const TupInfoReader& info, const QString& key, TupFileCheck& check)
{
    bool ok = false;
    const QString size = info.Value(key + QStringLiteral("-size"));
    check.Size = size.toLongLong(&ok);
    const bool digitsOnly =
        !size.isEmpty() && std::all_of(size.begin(), size.end(), [](QChar c) { return c >= '0' && c <= '9'; });
    const QString hash = info.Value(key + QStringLiteral("-sha256"));
    check.Sha256 = QByteArray::fromHex(hash.toLatin1());
    return ok && digitsOnly && check.Size <= MaxListedFileSize && hash.size() == 64 && check.Sha256.size() == 32 &&
           check.Sha256.toHex() == hash.toLatin1().toLower();
}

QString Origin(const QString& url)
{
    const QUrl parsed(url.contains(QStringLiteral("://")) ? url : QStringLiteral("http://") + url);
    const QString scheme = parsed.scheme().toLower();
    return scheme + QStringLiteral("://") + parsed.host().toLower() + QLatin1Char(':') +
           QString::number(parsed.port(scheme == QLatin1String("https") ? 443 : 80));
}

TupInfoOutcome Refused(TupInfoRefusal why, const QString& detail)
{
    TupInfoOutcome outcome;
    outcome.Refusal = why;
    outcome.Detail = detail;
    return outcome;
}

// Sizes, hashes and the server of every file to download.
TupInfoOutcome CheckFiles(TupInfoOutcome outcome, const TupInfoReader& info, const QStringList& keys,
                          const QString& infoFileURL)
{
    const QString origin = Origin(infoFileURL);
    for (qsizetype i = 0; i < outcome.Files.size(); ++i) {
        TupFileCheck check;
        if (!ReadCheck(info, keys[i], check))
            return Refused(irNoChecksum, QStringLiteral("#%1: no valid -size / -sha256").arg(keys[i]));
        if (Origin(outcome.Files[i]) != origin)
            return Refused(irForeignHost, QStringLiteral("%1 is not on %2").arg(outcome.Files[i], origin));
        outcome.Checks << check;
    }
    return outcome;
}

}  // namespace

TupInfoOutcome ProcessInfoFile(const QByteArray& stream, const TupVersionInfo& running, const TupInfoTrust& trust)
{
    switch (VerifyInfoSignature(stream, trust.PublicKey)) {
    case scUnsigned: return Refused(irUnsigned, QStringLiteral("no #signature line at the end"));
    case scBadSignature:
        return Refused(irBadSignature, trust.PublicKey.size() == 32
                                           ? QStringLiteral("the signature does not match the maker's key")
                                           : QStringLiteral("this program was built without the maker's key"));
    case scValid: break;
    }
    const TupInfoReader info(DecodeInfoFile(stream));
    const TupDownloadList list = ReadDownloadList(info);
    if (list.TooMany) return Refused(irTooManyEntries, QStringLiteral("more than %1 files listed").arg(MaxInfoEntries));
    const TupInfoOutcome outcome = ReadRelease(info, list, running);
    if (!outcome.ReleaseAvailable || outcome.Method == umRedirectToURL) return outcome;
    return CheckFiles(outcome, info, list.Keys, trust.InfoFileURL);
}
