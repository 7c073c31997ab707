#include "app/UpdateSettings.h"

#include "app/ErrorReport.h"
#include "app/Safety.h"
#include "upgrade/upDefaults.h"
#include "upgrade/upUpdater.h"

// Tests and scripted runs of the windows must not reach for the network.
bool UpdateChecksAllowed() { return !qEnvironmentVariableIsSet("TALLYBROOK_NO_UPDATE_CHECK"); }

void StartUpdateCheck(TupUpdater& up)
{
    if (UpdateChecksAllowed()) up.CheckUpdate();
}

void ApplyUpdateSettings(TupUpdater& up)
{
    up.setObjectName("upUpdater1");
    up.setAutoCheck(UpdateChecksAllowed());
    up.setInfoFileURL(UpdateInfoFileURL());
    up.setInfoFileFiles({UpdateExecutableURL()});
    up.setVersionDate(QString::fromLatin1(kVersionDate));
    up.setVersionDateAutoSet(true);
    // The new release may change the database: copy it before the hand-over,
    // and do not hand over unprotected.
    up.OnEndUpgrade = [](TupUpdater* u) {
        try {
            BackupBefore("upgrade");
        } catch (const std::exception& e) {
            ReportError(e);
            u->Abort();
        }
    };
    up.Loaded();
}
