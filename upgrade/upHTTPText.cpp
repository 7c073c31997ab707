// Text helpers of the HTTP engine: header dates, URL parts, status texts and
// percentages.
#include "upgrade/upHTTP.h"

#include <QUrl>
#include <cmath>

namespace {

const char* const Weekdays[] = {"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"};
const char* const Months[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

int MonthOf(const QString& token)
{
    const QString upper = token.left(3).toUpper();
    for (int m = 0; m < 12; ++m)
        if (token.size() >= 3 && upper == QLatin1String(Months[m])) return m + 1;
    return 0;
}

// Takes the text up to the separator (or all of it) and drops it, the
// separator and the blanks after it from Rest.
QString NextToken(QString& rest, QChar separator)
{
    const int at = rest.indexOf(separator);
    const QString token = at < 0 ? rest : rest.left(at);
    rest = at < 0 ? QString() : rest.mid(at + 1);
    while (rest.startsWith(' ')) rest.remove(0, 1);
    return token;
}

int NumberOr(const QString& text, int fallback)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    return ok ? v : fallback;
}

QTime TimeOf(const QString& token)
{
    const QStringList parts = token.split(':');
    auto part = [&](int i) { return i < parts.size() ? NumberOr(parts[i], 0) : 0; };
    return QTime(part(0), part(1), part(2));
}

// The date and time of the text as written, without zone; invalid on failure.
QDateTime ReadDateTime(QString& rest)
{
    const int blank = rest.indexOf(' ');
    const int dash = rest.indexOf('-');
    const QChar sep = (dash >= 1 && (blank < 0 || dash < blank)) ? QChar('-') : QChar(' ');
    int day = 0, month = 0;
    const int sepAt = rest.indexOf(sep);
    if (MonthOf(sepAt < 0 ? rest : rest.left(sepAt)) > 0) {
        month = MonthOf(NextToken(rest, sep));
        day = NumberOr(NextToken(rest, sep), 1);
    } else {
        day = NumberOr(NextToken(rest, sep), 1);
        month = MonthOf(NextToken(rest, sep));
    }
    if (month == 0) return QDateTime();
    const QString yearToken = NextToken(rest, ' ');
    int year = NumberOr(yearToken, 1900);
    if (year == 1900) {  // month, day, time, year: the year comes last
        year = NumberOr(rest.trimmed(), 1900);
        rest = yearToken;
    }
    year += year < 80 ? 2000 : (year < 100 ? 1900 : 0);
    const QDate date(year, month, day);
    if (!date.isValid()) return QDateTime();
    QTime time(0, 0);
    if (rest.contains(':')) {
        time = TimeOf(NextToken(rest, ' '));
        if (!time.isValid()) return QDateTime();
    }
    return QDateTime(date, time, Qt::UTC);
}

int ZoneOffsetSeconds(const QString& rest)
{
    if (rest.size() < 5) return 0;
    const QString zone = rest.left(5);
    if (zone[0] != '+' && zone[0] != '-') return 0;
    bool okH = false, okM = false;
    const int hours = zone.mid(1, 2).toInt(&okH);
    const int minutes = zone.mid(3, 2).toInt(&okM);
    if (!okH || !okM) return 0;
    const int offset = (hours * 60 + minutes) * 60;
    return zone[0] == '-' ? -offset : offset;
}

}  // namespace

QDateTime TupCustomHTTP::ParseHTTPDate(const QString& text)
{
    QString rest = text.trimmed();
    if (rest.isEmpty()) return QDateTime();
    for (const char* day : Weekdays) {
        if (rest.left(3).toUpper() == QLatin1String(day)) {
            const int blank = rest.indexOf(' ');
            rest = blank < 0 ? QString() : rest.mid(blank + 1).trimmed();
            break;
        }
    }
    QDateTime value = ReadDateTime(rest);
    if (!value.isValid()) return QDateTime();
    value = value.addSecs(-ZoneOffsetSeconds(rest));
    return value.toLocalTime();
}

TupURLParts TupCustomHTTP::CrackURL(const QString& url)
{
    const QUrl parsed(url.contains(QStringLiteral("://")) ? url : QStringLiteral("http://") + url, QUrl::TolerantMode);
    TupURLParts parts;
    if (!parsed.isValid()) return parts;
    parts.Scheme = parsed.scheme();
    parts.HostName = parsed.host(QUrl::FullyDecoded);
    parts.UserName = parsed.userName(QUrl::FullyDecoded);
    parts.Password = parsed.password(QUrl::FullyDecoded);
    parts.Path = parsed.path(QUrl::FullyDecoded);
    parts.Port = parsed.port(parts.Scheme == QLatin1String("https") ? 443 : 80);
    if (parsed.hasQuery()) parts.ExtraInfo = '?' + parsed.query(QUrl::FullyDecoded);
    if (parsed.hasFragment()) parts.ExtraInfo += '#' + parsed.fragment(QUrl::FullyDecoded);
    const bool fits = parts.Scheme.size() <= 32 && parts.HostName.size() <= 256 && parts.UserName.size() <= 128 &&
                      parts.Password.size() <= 128 && parts.Path.size() <= 2048 && parts.ExtraInfo.size() <= 2048;
    return fits ? parts : TupURLParts{};
}

QString TupCustomHTTP::StatusText(uint32_t statusID)
{
    switch (statusID) {
    case 10: return QStringLiteral("Resolving name");
    case 11: return QStringLiteral("Name resolved");
    case 20: return QStringLiteral("Connecting to server");
    case 21: return QStringLiteral("Connected");
    case 30: return QStringLiteral("Sending Request");
    case 31: return QStringLiteral("Request sent");
    case 40: return QStringLiteral("Receiving response");
    case 41: return QStringLiteral("Response received");
    case 42: return QStringLiteral("CTL Response received");
    case 43: return QStringLiteral("Prefetch");
    case 50: return QStringLiteral("Closing connection");
    case 51: return QStringLiteral("Connection closed");
    case 60: return QStringLiteral("Handle created");
    case 70: return QStringLiteral("Handle closing");
    case 100: return QStringLiteral("Request complete");
    case 110: return QStringLiteral("Redirect");
    case 120: return QStringLiteral("Intermediate response");
    case 200: return QStringLiteral("State change");
    default: return QStringLiteral("Unknown status");
    }
}

// a * 100 / b rounded to the nearest integer, halves to even; 0 when b is 0.
uint8_t TupCustomHTTP::PercentOf(double a, double b)
{
    if (b == 0) return 0;
    return static_cast<uint8_t>(static_cast<int>(std::nearbyint(a * 100.0 / b)) & 0xFF);
}

QString TupCustomHTTP::FileName() const
{
    QString path = URL;
    path.replace('/', '\\');
    const int cut = std::max(path.lastIndexOf('\\'), path.lastIndexOf(':'));
    return path.mid(cut + 1);
}

QString TupCustomHTTP::HostName() const { return CrackURL(URL).HostName; }
