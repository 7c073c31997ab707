#include "upgrade/upDefaults.h"

#include <QtGlobal>

QString UpdateServerBase()
{
    QString base = qEnvironmentVariable("TALLYBROOK_UPDATE_SERVER");
    if (!base.startsWith(QLatin1String("https://"), Qt::CaseInsensitive))
        base = QString::fromLatin1(UpdateServerDefault);
    if (!base.endsWith('/')) base += '/';
    return base;
}

QString UpdateInfoFileURL() { return UpdateServerBase() + QLatin1String(UpdateInfoFileName); }
QString UpdateExecutableURL() { return UpdateServerBase() + QLatin1String(UpdateExecutableName); }
QString UpdateCAFile() { return qEnvironmentVariable("TALLYBROOK_UPDATE_CA"); }
