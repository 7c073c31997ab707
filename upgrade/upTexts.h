// The language table of the upgrade windows and boxes: 31 texts per language,
// one language chosen for the whole process from the system's language.
#pragma once

#include <QLocale>
#include <QString>

enum TupUpdaterLanguage {
    wlAuto,
    wlEnglish,
    wlRussian,
    wlGerman,
    wlFrench,
    wlSpanish,
    wlPortuguese,
    wlPortugueseBrazilian,
    wlItalian,
    wlDutch,
    wlDanish,
    wlSwedish,
    wlFinnish,
    wlEstonian,
    wlUkrainian,
    wlCzech,
    wlHungarian,
    wlRomanian,
    wlCatalan,
    wlBasque,
    wlAfrikaans,
    wlChineseTraditional,
    wlChineseSimplified,
    wlIndonesian,
    wlMalay,
    wlIcelandic
};

constexpr int UpTextCount = 31;

// The language a system locale selects automatically.
TupUpdaterLanguage LanguageForLocale(const QLocale& locale);
// Makes Language (wlAuto: the system's) the base of every text lookup.
void SelectLanguage(TupUpdaterLanguage language);
TupUpdaterLanguage CurrentLanguage();
// First resource number of a language: 41000 + (language - 1) * 50.
int LanguageFirstNumber(TupUpdaterLanguage language);

// Text N of the selected language.
QString UpText(int n);
// A text by its resource number (40997, 40999, or a language's text).
QString UpResource(int id);
// Text N with printf placeholders filled in.
template <typename... Args> QString UpFormat(int n, Args... args)
{
    return QString::asprintf(UpText(n).toUtf8().constData(), args...);
}

// The texts break lines with CR, LF or both; on screen every break is a LF.
QString DisplayText(const QString& text);

// The executable's file name up to its first '.', every letter after the
// first in lower case.
QString ApplicationTitle(const QString& executablePath);

// The wizard's lines (texts 6, 7, 8, 9).
QString WizardSizeLine(uint32_t bytes);
QString WizardRateLine(float kbPerSecond);
QString WizardTimeLine(int32_t secondsLeft);
QString WizardCountLine(int number, int count);
