#include "upgrade/upTexts.h"

#include "upgrade/upTextTables.h"

#include <QFileInfo>
#include <atomic>

namespace {

std::atomic<int> SelectedLanguage{wlEnglish};

struct LocaleLanguage {
    QLocale::Language Language;
    TupUpdaterLanguage Value;
};

const LocaleLanguage LocaleTable[] = {
    {QLocale::English, wlEnglish},       {QLocale::Russian, wlRussian},     {QLocale::German, wlGerman},
    {QLocale::French, wlFrench},         {QLocale::Spanish, wlSpanish},     {QLocale::Italian, wlItalian},
    {QLocale::Dutch, wlDutch},           {QLocale::Danish, wlDanish},       {QLocale::Swedish, wlSwedish},
    {QLocale::Finnish, wlFinnish},       {QLocale::Estonian, wlEstonian},   {QLocale::Ukrainian, wlUkrainian},
    {QLocale::Czech, wlCzech},           {QLocale::Hungarian, wlHungarian}, {QLocale::Romanian, wlRomanian},
    {QLocale::Catalan, wlCatalan},       {QLocale::Basque, wlBasque},       {QLocale::Afrikaans, wlAfrikaans},
    {QLocale::Indonesian, wlIndonesian}, {QLocale::Malay, wlMalay},         {QLocale::Icelandic, wlIcelandic},
};

}  // namespace

TupUpdaterLanguage LanguageForLocale(const QLocale& locale)
{
    if (locale.language() == QLocale::Portuguese)
        return locale.territory() == QLocale::Brazil ? wlPortugueseBrazilian : wlPortuguese;
    if (locale.language() == QLocale::Chinese)
        return locale.script() == QLocale::SimplifiedHanScript ? wlChineseSimplified : wlChineseTraditional;
    for (const auto& entry : LocaleTable)
        if (entry.Language == locale.language()) return entry.Value;
    return wlEnglish;
}

void SelectLanguage(TupUpdaterLanguage language)
{
    SelectedLanguage = language == wlAuto ? LanguageForLocale(QLocale::system()) : language;
}

TupUpdaterLanguage CurrentLanguage() { return static_cast<TupUpdaterLanguage>(SelectedLanguage.load()); }

int LanguageFirstNumber(TupUpdaterLanguage language) { return 41000 + (language - 1) * 50; }

QString UpResource(int id)
{
    if (id == 40997) return QStringLiteral("<AppTitle>");
    if (id == 40999) return QStringLiteral("Updater");
    const int language = (id - 41000) / 50 + 1;
    const int n = (id - 41000) % 50;
    if (id < 41000 || language > wlIcelandic || n >= UpTextCount) return QString();
    return QString::fromUtf8(TextTable(static_cast<TupUpdaterLanguage>(language))[n]);
}

QString UpText(int n) { return UpResource(LanguageFirstNumber(CurrentLanguage()) + n); }

QString DisplayText(const QString& text)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

QString ApplicationTitle(const QString& executablePath)
{
    QString name = QFileInfo(executablePath).fileName();
    name = name.left(name.indexOf('.') < 0 ? name.size() : name.indexOf('.'));
    return name.left(1) + name.mid(1).toLower();
}

QString WizardSizeLine(uint32_t bytes) { return UpFormat(6, bytes / 1024.0); }
QString WizardRateLine(float kbPerSecond) { return UpFormat(7, static_cast<double>(kbPerSecond)); }
QString WizardCountLine(int number, int count) { return UpFormat(9, number, count); }

// Integer division truncating toward zero: a negative time gives negative parts.
QString WizardTimeLine(int32_t t)
{
    return UpFormat(8, static_cast<int>((t / 60) / 60), static_cast<int>((t / 60) % 60), static_cast<int>(t % 60));
}
