// The settings the login window's update component is created with.
#pragma once

class TupUpdater;

inline constexpr const char* kVersionDate = "10/20/2013";

void ApplyUpdateSettings(TupUpdater& updater);
