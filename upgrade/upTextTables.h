// The language table's texts: 31 per language, numbered 0 to 30.
#pragma once

#include "upgrade/upTexts.h"

const char* const* TextTable(TupUpdaterLanguage language);
// The European translations; null for a language without one.
const char* const* EuropeanTable(TupUpdaterLanguage language);
