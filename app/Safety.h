// The seller's safety net in the windows: a backup before destructive steps,
// the start-up check with the daily backup, and restoring with every
// window's connection closed and reopened around it.
#pragma once

#include <QString>
#include <string>

// Backs up the database before a destructive step named `reason`; throws a
// StoreError with a clear message when the copy fails, so the step is not run.
std::string BackupBefore(const std::string& reason);

// Restores `backupFile` over the database and refreshes the open windows.
void RestoreBackup(const std::string& backupFile);

// Checks the database and takes the day's first backup on a worker thread;
// a damaged database brings up the offer to restore the newest good backup.
void StartStartupChecks();
// Waits for that worker (at exit).
void FinishStartupChecks();

// The offer shown for a damaged database; returns true when it restored.
bool OfferRestoreOfDamagedDatabase(const QString& problem);
