// The update information file: decoding, settings lookup, the download list,
// and the comparison of the published release with the running program.
#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>

enum TupUpdaterVersionControl { byDate, byNumber };
enum TupUpgradeMethod { umSelfUpgrade, umUseExternalSetup, umRedirectToURL };

// Bytes to text as a text file is loaded: a byte-order mark selects UTF-8 or
// UTF-16, without one the bytes are GBK. Every line ends in CR LF afterwards.
QString DecodeInfoFile(const QByteArray& bytes);

// The value of "#key=" (or "#key={...}" when Braced); the key in lower case
// matches in any case, the value keeps its own.
QString GetInfoValue(const QString& text, const QString& key, bool braced = false);

// url, url0, then url<N> counting on from the entries found.
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

struct TupInfoOutcome {
    bool ReleaseAvailable = false;
    QString Message;
    TupUpgradeMethod Method = umSelfUpgrade;
    QStringList Files;
};

TupInfoOutcome ProcessInfoFile(const QByteArray& stream, const TupVersionInfo& running);
