#include "upgrade/upUtils.h"

#include <QStringDecoder>
#include <algorithm>
#include <cerrno>
#include <iconv.h>
#include <memory>

namespace {

struct IconvCloser {
    void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};

// GBK through glibc's converter; a byte that starts no valid sequence becomes
// U+FFFD and decoding goes on after it.
QString DecodeGBK(const QByteArray& bytes)
{
    // ASCII reads the same in GBK: most information files need no converter.
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return QString::fromLatin1(bytes);
    iconv_t raw = iconv_open("UTF-8", "GBK");
    if (raw == reinterpret_cast<iconv_t>(-1)) return QString::fromLatin1(bytes);
    std::unique_ptr<void, IconvCloser> cd(raw);
    QByteArray in = bytes;
    QByteArray out;
    char* src = in.data();
    size_t left = static_cast<size_t>(in.size());
    char buffer[4096];
    while (left > 0) {
        char* dst = buffer;
        size_t room = sizeof buffer;
        const size_t rc = iconv(raw, &src, &left, &dst, &room);
        out.append(buffer, dst - buffer);
        if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
            out.append("\xEF\xBF\xBD");
            ++src;
            --left;
        }
    }
    return QString::fromUtf8(out);
}

QString DecodeBytes(const QByteArray& bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF")) return QString::fromUtf8(bytes.mid(3));
    if (bytes.startsWith("\xFF\xFE")) return QStringDecoder(QStringDecoder::Utf16LE)(bytes.mid(2));
    if (bytes.startsWith("\xFE\xFF")) return QStringDecoder(QStringDecoder::Utf16BE)(bytes.mid(2));
    return DecodeGBK(bytes);
}

QString AsciiLower(const QString& text)
{
    QString lower = text;
    for (QChar& c : lower)
        if (c >= 'A' && c <= 'Z') c = QChar(c.unicode() + 32);
    return lower;
}

// Whole-text integer conversion: leading blanks are allowed, anything after
// the digits is not.
bool WholeInt(const QString& text, int& value)
{
    if (text.isEmpty() || text.back().isSpace()) return false;
    bool ok = false;
    value = text.trimmed().toInt(&ok);
    return ok;
}

}  // namespace

QString DecodeInfoFile(const QByteArray& bytes)
{
    const QString text = DecodeBytes(bytes);
    QString joined;
    joined.reserve(text.size() + text.size() / 16 + 16);
    const QStringView view(text);
    qsizetype start = 0;
    for (qsizetype i = 0; i < view.size(); ++i) {
        if (view[i] != '\r' && view[i] != '\n') continue;
        joined.append(view.mid(start, i - start)).append(QLatin1String("\r\n"));
        if (view[i] == '\r' && i + 1 < view.size() && view[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < view.size()) joined.append(view.mid(start)).append(QLatin1String("\r\n"));
    return joined;
}

namespace {

bool IsKeyChar(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '-' || u == '_' || u == '.';
}

}  // namespace

// A marker "#key=" is a '#', a run of key characters and '='; keys never
// hold '#' or '=', so each '#' starts at most one marker and one scan finds
// them all. The first occurrence of a key wins, as in a search from the start.
TupInfoReader::TupInfoReader(const QString& text) : FText(text)
{
    const QString lower = AsciiLower(text);
    const qsizetype n = lower.size();
    // The characters of a key run are no '#': the next search starts after it.
    for (qsizetype at = lower.indexOf(QLatin1Char('#')); at >= 0; at = lower.indexOf(QLatin1Char('#'), at)) {
        qsizetype end = at + 1;
        while (end < n && IsKeyChar(lower[end])) ++end;
        if (end > at + 1 && end < n && lower[end] == QLatin1Char('=')) {
            const QString key = lower.mid(at + 1, end - at - 1);
            if (!FPlain.contains(key)) FPlain.insert(key, end + 1);
            if (end + 1 < n && lower[end + 1] == QLatin1Char('{') && !FBraced.contains(key))
                FBraced.insert(key, end + 2);
        }
        at = end;
    }
}

QString TupInfoReader::Value(const QString& key, bool braced) const
{
    const auto& table = braced ? FBraced : FPlain;
    const auto found = table.constFind(key);
    if (found == table.constEnd()) return QString();
    const qsizetype from = *found;
    qsizetype end = from;
    if (braced) {
        end = FText.indexOf(QLatin1Char('}'), from);
        if (end < 0) end = FText.size();
    } else {
        while (end < FText.size() && FText[end].unicode() >= 32) ++end;
    }
    return FText.mid(from, end - from);
}

QString GetInfoValue(const QString& text, const QString& key, bool braced)
{
    return TupInfoReader(text).Value(key, braced);
}

TupDownloadList ReadDownloadList(const TupInfoReader& info)
{
    TupDownloadList list;
    auto add = [&list, &info](const QString& key) {
        const QString value = info.Value(key);
        if (value.isEmpty()) return false;
        if (list.Files.size() >= MaxInfoEntries) {
            list.TooMany = true;
            return false;
        }
        list.Files << value;
        list.Keys << key;
        return true;
    };
    add(QStringLiteral("url"));
    add(QStringLiteral("url0"));
    for (int n = static_cast<int>(list.Files.size()) + 1; add(QStringLiteral("url%1").arg(n)); ++n) {
    }
    return list;
}

QStringList BuildDownloadList(const QString& text) { return ReadDownloadList(TupInfoReader(text)).Files; }

QDate ParseVersionDate(const QString& text)
{
    const qsizetype p1 = text.indexOf('/');
    const qsizetype p2 = p1 < 0 ? -1 : text.indexOf('/', p1 + 1);
    int month = 0, day = 0, year = 0;
    if (p2 < 0 || !WholeInt(text.left(p1), month) || !WholeInt(text.mid(p1 + 1, p2 - p1 - 1), day) ||
        !WholeInt(text.mid(p2 + 1), year))
        return QDate::currentDate();
    const QDate date(year, month, day);
    return date.isValid() && year >= 1 ? date : QDate::currentDate();
}

QString FormatVersionDate(const QDate& date)
{
    return QStringLiteral("%1/%2/%3")
        .arg(date.month(), 2, 10, QLatin1Char('0'))
        .arg(date.day(), 2, 10, QLatin1Char('0'))
        .arg(date.year(), 4, 10, QLatin1Char('0'));
}

QStringList SplitVersion(const QString& text)
{
    QString rest = text + QLatin1Char('.');
    QStringList parts;
    for (int i = 0; i < 4; ++i) {
        const qsizetype dot = rest.indexOf('.');
        if (dot < 0) {
            parts << QStringLiteral("0");
            continue;
        }
        parts << rest.left(dot);
        rest = rest.mid(dot + 1);
    }
    return parts;
}

int CompareVersions(const QString& a, const QString& b)
{
    const QStringList pa = SplitVersion(a);
    const QStringList pb = SplitVersion(b);
    for (int i = 0; i < 4; ++i) {
        int va = -1, vb = -1;
        if (!WholeInt(pa[i], va)) va = -1;
        if (!WholeInt(pb[i], vb)) vb = -1;
        if (va == -1 || vb == -1) {
            const int c = QString::compare(a, b, Qt::CaseSensitive);
            return c > 0 ? 1 : (c < 0 ? -1 : 0);
        }
        if (va != vb) return va > vb ? 1 : -1;
    }
    return 0;
}

namespace {

bool IsNewer(const TupInfoReader& info, const TupVersionInfo& running)
{
    if (running.VersionControl == byNumber)
        return CompareVersions(info.Value(QStringLiteral("version")), running.VersionNumber) > 0;
    return ParseVersionDate(info.Value(QStringLiteral("date"))) > ParseVersionDate(running.VersionDate);
}

}  // namespace

TupInfoOutcome ReadRelease(const TupInfoReader& info, const TupDownloadList& list, const TupVersionInfo& running)
{
    TupInfoOutcome outcome;
    outcome.Files = list.Files;
    if (!IsNewer(info, running) || outcome.Files.isEmpty()) return outcome;
    outcome.ReleaseAvailable = true;
    outcome.Message = info.Value(QStringLiteral("message"), true);
    const QString method = info.Value(QStringLiteral("method"));
    if (method.startsWith('1'))
        outcome.Method = umUseExternalSetup;
    else if (method.startsWith('2'))
        outcome.Method = umRedirectToURL;
    return outcome;
}

bool IsNewerVersion(const QString& infoText, const TupVersionInfo& running)
{
    return IsNewer(TupInfoReader(infoText), running);
}

TupInfoOutcome ProcessInfoFile(const QByteArray& stream, const TupVersionInfo& running)
{
    const TupInfoReader info(DecodeInfoFile(stream));
    return ReadRelease(info, ReadDownloadList(info), running);
}
