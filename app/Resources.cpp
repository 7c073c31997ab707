#include "app/Resources.h"

#include <QtCore/qglobal.h>
#include <QDir>

// Q_INIT_RESOURCE must be called outside any namespace.
static void InitResourcesOnce() { Q_INIT_RESOURCE(resources); }

void InitAppResources() {
    static bool done = [] {
        InitResourcesOnce();
        return true;
    }();
    (void)done;
}
