// The update server this program asks for new releases. Both addresses are
// HTTPS; the environment variable TALLYBROOK_UPDATE_SERVER (an https:// base
// address) points the program at another server, for tests and for sellers
// who host their own releases. TALLYBROOK_UPDATE_CA names a file of extra
// certificate authorities to trust for it, besides the system's.
#pragma once

#include <QString>

inline constexpr char UpdateServerDefault[] = "https://update.tallybrook.example/";
inline constexpr char UpdateInfoFileName[] = "update.inf";
inline constexpr char UpdateExecutableName[] = "tallybrook";
inline constexpr char UpdateReleaseDate[] = "10/20/2013";

// The base address, ending in "/"; an override that is not https:// is ignored.
QString UpdateServerBase();
QString UpdateInfoFileURL();
QString UpdateExecutableURL();
// Extra certificate authorities from TALLYBROOK_UPDATE_CA, or empty.
QString UpdateCAFile();
