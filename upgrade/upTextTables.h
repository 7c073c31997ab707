// The language table's texts: 31 per language, numbered 0 to 30.
#pragma once

#include "upgrade/upTexts.h"

const char* const* TextTable(TupUpdaterLanguage language);
