// Writing and signing an update information file: what the maker runs when
// publishing a release, in the form the program's reader expects.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace release {

struct ReleaseFile {
    QString Url;
    qint64 Size = 0;
    QByteArray Sha256;  // 32 bytes
};

struct ReleaseInfo {
    QString Date;     // month/day/year
    QString Version;  // empty: not written
    QString Message;  // shown in the question; must not hold "}"
    int Method = 0;
    QList<ReleaseFile> Files;
};

// Size and SHA-256 of the bytes a file will be served with.
ReleaseFile Describe(const QString& url, const QByteArray& content);
// The file's text in UTF-8 with a byte-order mark: the settings, then per
// file "#url…=", "-size=", "-sha256=".
QByteArray WriteInfo(const ReleaseInfo& info);
// The text followed by its signature line; a signature it had is replaced.
// Seed is the 32-byte private key. Empty on failure.
QByteArray Sign(const QByteArray& text, const QByteArray& seed);
QByteArray PublicKeyOf(const QByteArray& seed);
QByteArray NewSeed();

}  // namespace release
