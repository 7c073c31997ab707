#include "upgrade/upTexts.h"

#include <QFileInfo>
#include <atomic>

namespace {

const char* const English[UpTextCount] = {
    "Application update wizard",
    "Downloading files...",
    "Upgrade completed!",
    "Current file",
    "All files",
    "Downloading file from",
    "File size: %.1f Kb",
    "Transfer rate: %.1f Kb/s",
    "Estimated time left: %d:%.2d:%.2d",
    "Downloading %d of %d",
    "The update of %s has been successfully completed.\r\rPress the OK button to restart program.",
    "Enter password",
    "User Name",
    "Password",
    "&Yes",
    "&No",
    "&OK",
    "&Cancel",
    "&Next >",
    "&Later",
    "Warning",
    "Error",
    "Preparing. . .",
    "A newer version of %s was released.\n%s\nDo you want to update your version with the latest one?",
    "Newer version not found. You actually are\rusing most recent version of this program.",
    "File which contains upgrade information was not found on developer's site.",
    "Host %s unreachable.\r\rPlease check your Internet connection and\rtry to upgrade this software again later.",
    "The update is not completed.\rWould you like to abort upgrading?",
    "File %s not found or inaccessible.\r\rTry to skip this file and continue upgrade?",
    "Access to remote file \"%s\" is password protected.\n\nPlease enter your username and password "
    "(received after registration) to continue software upgrade.",
    "Connection with remote server lost.\r\rPlease restore connection and try to\rupgrade this software again "
    "later.",
};

const char* const ChineseSimplified[UpTextCount] = {
    "软件升级精灵",
    "文档下载中",
    "升级完成！",
    "当前的文档",
    "全部的文档",
    "文档下载源",
    "文档大小:%.1f Kb",
    "传输速率:%.1f Kb/s",
    "估计剩余时间: %d:%.2d:%.2d",
    "当前正在下载:%d of %d",
    "%s 已经升级完成，\r\r请按[确定]键重新启动程序",
    "请输入密码",
    "帐号",
    "密码",
    "开始升级",
    "[&N]否",
    "[&O]确定",
    "[&C]取消",
    "[&N]下一个>",
    "以后再说",
    "警告",
    "错误",
    "准备中",
    "%s已经有新版本推出，\n%s\n您要升级到新版本吗？",
    "没有发现新的版本，您目前已经是最新版本。",
    "在服务器中无法找到升级的相关信息。",
    "无法与服务器%s连接。\r\r请检查您的internet设定之后再进行升级操作。",
    "升级操作尚未完成，\r您确定要放弃升级吗？",
    "文档%s找不到或者发生错误，\r\r您要忽略这个文档并且继续升级操作吗？",
    "远端的文档\"%s\"被密码保护，\n\n请输入您的帐号及密码[注册用户]来继续进行升级操作。",
    "与远端服务器的连接中断，\r\r请重新连接后再进行升级操作。",
};

std::atomic<int> SelectedLanguage{wlEnglish};

// Languages without their own translation show the English texts.
const char* const* TableOf(int language)
{
    return language == wlChineseSimplified ? ChineseSimplified : English;
}

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
        if (entry.Language == locale.language())
            return entry.Value;
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
    if (id == 40997)
        return QStringLiteral("<AppTitle>");
    if (id == 40999)
        return QStringLiteral("Updater");
    const int language = (id - 41000) / 50 + 1;
    const int n = (id - 41000) % 50;
    if (id < 41000 || language > wlIcelandic || n >= UpTextCount)
        return QString();
    return QString::fromUtf8(TableOf(language)[n]);
}

QString UpText(int n) { return UpResource(LanguageFirstNumber(CurrentLanguage()) + n); }

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
