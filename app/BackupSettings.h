// The seller's disk budget for the backups, kept in config.ini beside the
// login (section "backup", key "budgetmb", in megabytes; 0 or no value is the
// automatic budget), and the backup manager that honours it.
#pragma once

#include <QString>
#include <cstdint>
#include <string>

#include "store/Backup.h"

std::uint64_t ReadBackupBudgetMB(const QString& iniFile);
// Throws with a message for the seller when the file cannot be written.
void WriteBackupBudgetMB(const QString& iniFile, std::uint64_t mb);

// The settings file the login window reads and writes; without one (on the
// command line), the one in the program's folder.
QString BackupSettingsFile(bool forWriting);

// The backups of `databaseFile` (by default the current database) under the budget in `iniFile`.
store::BackupManager SellerBackups(const std::string& databaseFile, const QString& iniFile);
store::BackupManager SellerBackups();

// "812 KB", "147.3 MB", "2.0 GB".
QString SizeText(std::uintmax_t bytes);

// What the copies take and the budget, for the backup window.
QString BackupUsageText(const store::BackupManager& m);
