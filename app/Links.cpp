#include "app/Links.h"

#include <QDesktopServices>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include "app/Resources.h"

namespace {

std::function<void(const QString&, const QString&)> gLauncher;

// "section/key" -> value, read once from the resource. Keys may be Chinese,
// so the file is parsed as plain UTF-8 lines rather than through QSettings.
const QMap<QString, QString>& Links()
{
    static const QMap<QString, QString> map = [] {
        InitAppResources();
        QMap<QString, QString> m;
        QFile f(":/tallybrook/links.ini");
        if (!f.open(QIODevice::ReadOnly)) return m;
        QString section;
        for (const QString& raw : QString::fromUtf8(f.readAll()).split('\n')) {
            QString line = raw.trimmed();
            if (line.isEmpty() || line.startsWith(';')) continue;
            if (line.startsWith('[') && line.endsWith(']')) {
                section = line.mid(1, line.size() - 2);
                continue;
            }
            qsizetype eq = line.indexOf('=');
            if (eq > 0) m.insert(section + "/" + line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
        }
        return m;
    }();
    return map;
}

}  // namespace

QStringList ToolCandidates(ToolKind kind)
{
    QString key = kind == ToolKind::Calculator ? "tools/calculator" : "tools/texteditor";
    QStringList names;
    for (const QString& n : Links().value(key).split(',', Qt::SkipEmptyParts)) names << n.trimmed();
    return names;
}

QString FindTool(ToolKind kind)
{
    for (const QString& name : ToolCandidates(kind)) {
        QString path = QStandardPaths::findExecutable(name.trimmed());
        if (!path.isEmpty()) return path;
    }
    return {};
}

QString LinkAddress(const QString& caption) { return Links().value("links/" + caption); }

bool StartTool(ToolKind kind)
{
    QString path = FindTool(kind);
    if (path.isEmpty()) return false;
    if (gLauncher) {
        gLauncher("program", path);
        return true;
    }
    return QProcess::startDetached(path, {});
}

bool OpenLink(const QString& caption)
{
    QString address = LinkAddress(caption);
    if (address.isEmpty()) return false;
    if (gLauncher) {
        gLauncher("url", address);
        return true;
    }
    return QDesktopServices::openUrl(QUrl(address));
}

void SetLauncher(std::function<void(const QString&, const QString&)> launcher) { gLauncher = std::move(launcher); }
