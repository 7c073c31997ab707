#include "app/UpdateSettings.h"

#include "upgrade/upUpdater.h"

void ApplyUpdateSettings(TupUpdater& up) {
    up.setObjectName("upUpdater1");
    up.setAutoCheck(true);
    up.setInfoFileURL(QStringLiteral("https://update.tallybrook.example/release/update.inf"));
    up.setInfoFileFiles({QStringLiteral("https://update.tallybrook.example/release/tallybrook")});
    up.setVersionDate(QString::fromLatin1(kVersionDate));
    up.setVersionDateAutoSet(true);
    up.Loaded();
}
