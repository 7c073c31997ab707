// The texts of the upgrade windows and boxes, one table per translated
// language; a language without a translation shows the English texts.
#include "upgrade/upTextTables.h"

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

const char* const ChineseTraditional[UpTextCount] = {
    "軟體升級精靈",
    "文件下載中",
    "升級完成！",
    "目前的文件",
    "全部的文件",
    "文件下載來源",
    "文件大小:%.1f Kb",
    "傳輸速率:%.1f Kb/s",
    "估計剩餘時間: %d:%.2d:%.2d",
    "目前正在下載:%d of %d",
    "%s 已經升級完成，\r\r請按[確定]鍵重新啟動程式",
    "請輸入密碼",
    "帳號",
    "密碼",
    "開始升級",
    "[&N]否",
    "[&O]確定",
    "[&C]取消",
    "[&N]下一個>",
    "以後再說",
    "警告",
    "錯誤",
    "準備中",
    "%s已經有新版本推出，\n%s\n您要升級到新版本嗎？",
    "沒有發現新的版本，您目前已經是最新版本。",
    "在伺服器中無法找到升級的相關資訊。",
    "無法與伺服器%s連線。\r\r請檢查您的網際網路設定之後再進行升級操作。",
    "升級操作尚未完成，\r您確定要放棄升級嗎？",
    "文件%s找不到或者發生錯誤，\r\r您要忽略這個文件並且繼續升級操作嗎？",
    "遠端的文件\"%s\"被密碼保護，\n\n請輸入您的帳號及密碼[註冊用戶]來繼續進行升級操作。",
    "與遠端伺服器的連線中斷，\r\r請重新連線後再進行升級操作。",
};

}  // namespace

const char* const* TextTable(TupUpdaterLanguage language)
{
    switch (language) {
    case wlChineseSimplified: return ChineseSimplified;
    case wlChineseTraditional: return ChineseTraditional;
    default: {
        const char* const* european = EuropeanTable(language);
        return european ? european : English;
    }
    }
}
