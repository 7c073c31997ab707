#include "app/UpdateSettings.h"

#include "upgrade/upUpdater.h"

// Tests and scripted runs of the windows must not reach for the network.
bool UpdateChecksAllowed() { return !qEnvironmentVariableIsSet("TALLYBROOK_NO_UPDATE_CHECK"); }

void StartUpdateCheck(TupUpdater& up) {
    if (UpdateChecksAllowed()) up.CheckUpdate();
}

void ApplyUpdateSettings(TupUpdater& up) {
    up.setObjectName("upUpdater1");
    up.setAutoCheck(UpdateChecksAllowed());
    up.setInfoFileURL(QStringLiteral("https://update.tallybrook.example/release/update.inf"));
    up.setInfoFileFiles({QStringLiteral("https://update.tallybrook.example/release/tallybrook")});
    up.setVersionDate(QString::fromLatin1(kVersionDate));
    up.setVersionDateAutoSet(true);
    up.Loaded();
}
