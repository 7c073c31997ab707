// The settings the login window's update component is created with.
#pragma once

class TupUpdater;

inline constexpr const char* kVersionDate = "10/20/2013";

void ApplyUpdateSettings(TupUpdater& updater);

// False when TALLYBROOK_NO_UPDATE_CHECK is set (tests, scripted runs).
bool UpdateChecksAllowed();
// CheckUpdate(), unless update checks are switched off.
void StartUpdateCheck(TupUpdater& updater);
