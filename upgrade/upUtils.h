// The update information file: decoding, settings lookup, the download list,
// and the comparison of the published release with the running program.
#pragma once

#include <QByteArray>
#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

enum TupUpdaterVersionControl { byDate, byNumber };
enum TupUpgradeMethod { umSelfUpgrade, umUseExternalSetup, umRedirectToURL };

// Bytes to text as a text file is loaded: a byte-order mark selects UTF-8 or
// UTF-16, without one the bytes are GBK. Every line ends in CR LF afterwards.
QString DecodeInfoFile(const QByteArray& bytes);

// An information file is read only up to this size; a longer one is refused.
constexpr qsizetype MaxInfoFileSize = 1 << 20;
// A release lists at most this many files; a file listing more is refused.
constexpr int MaxInfoEntries = 300;

// The text read once: the place of the first "#key=" and of the first
// "#key={" of every key is found in one pass, so that each lookup costs a
// table look-up and reading a file stays linear in its size.
class TupInfoReader {
public:
    explicit TupInfoReader(const QString& text);
    // The value of "#key=" (or "#key={...}" when Braced); the key in lower
    // case matches in any case, the value keeps its own.
    QString Value(const QString& key, bool braced = false) const;

private:
    QString FText;
    QHash<QString, qsizetype> FPlain, FBraced;  // where each value starts
};

QString GetInfoValue(const QString& text, const QString& key, bool braced = false);

struct TupDownloadList {
    QStringList Files;
    QStringList Keys;  // the key each entry came from: url, url0, url<N>
    bool TooMany = false;
};

// url, url0, then url<N> counting on from the entries found; stops after
// MaxInfoEntries entries and says so.
TupDownloadList ReadDownloadList(const TupInfoReader& info);
QStringList BuildDownloadList(const QString& text);

// month/day/year; today's date when the text is not exactly that.
QDate ParseVersionDate(const QString& text);
QString FormatVersionDate(const QDate& date);

QStringList SplitVersion(const QString& text);
// +1, 0 or -1: numerically by parts, or by the whole texts when a part is not a number.
int CompareVersions(const QString& a, const QString& b);

struct TupVersionInfo {
    TupUpdaterVersionControl VersionControl = byDate;
    QString VersionDate;
    QString VersionNumber;
};

bool IsNewerVersion(const QString& infoText, const TupVersionInfo& running);

// Why a signed release was not accepted.
enum TupInfoRefusal { irNone, irUnsigned, irBadSignature, irTooManyEntries, irNoChecksum, irForeignHost };

// What a download must be: the size and SHA-256 that the signed file gives
// beside its address ("#<key>-size=", "#<key>-sha256=").
struct TupFileCheck {
    qint64 Size = -1;
    QByteArray Sha256;  // 32 bytes
};

struct TupInfoOutcome {
    bool ReleaseAvailable = false;
    QString Message;
    TupUpgradeMethod Method = umSelfUpgrade;
    QStringList Files;
    QList<TupFileCheck> Checks;  // one per file, when the file is signed
    TupInfoRefusal Refusal = irNone;
    QString Detail;  // the technical reason of a refusal
};

// The release the file describes, from the list already read.
TupInfoOutcome ReadRelease(const TupInfoReader& info, const TupDownloadList& list, const TupVersionInfo& running);
// The file as its reader understands it, trusting it.
TupInfoOutcome ProcessInfoFile(const QByteArray& stream, const TupVersionInfo& running);

// What the running program trusts: the maker's Ed25519 public key (32
// bytes) and the address the information file came from.
struct TupInfoTrust {
    QByteArray PublicKey;
    QString InfoFileURL;
};

// The file as the controller reads it: refused unless it is signed by the
// maker's key; a release is offered only when every file to download has its
// size and hash and lies on the information file's own server.
TupInfoOutcome ProcessInfoFile(const QByteArray& stream, const TupVersionInfo& running, const TupInfoTrust& trust);
