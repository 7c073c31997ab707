#include "app/Resources.h"

#include <QtCore/qglobal.h>
#include <QDir>
#include <QIcon>

// Q_INIT_RESOURCE must be called outside any namespace.
static void InitResourcesOnce() { Q_INIT_RESOURCE(resources); }

void InitAppResources()
{
    static bool done = [] {
        InitResourcesOnce();
        return true;
    }();
    (void)done;
}

QIcon AppIcon()
{
    InitAppResources();
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/tallybrook/icons/%1x%1/tallybrook.png").arg(size), QSize(size, size));
    return icon;
}
