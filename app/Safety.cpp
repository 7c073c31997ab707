#include "app/Safety.h"

#include <QApplication>
#include <QMetaObject>
#include <filesystem>
#include <thread>

#include "app/BackupSettings.h"
#include "app/Forms.h"
#include "app/Prompter.h"
#include "app/addgoods.h"
#include "app/child_model.h"
#include "app/goods.h"
#include "app/login.h"
#include "app/overviewwindow.h"
#include "app/sell.h"
#include "app/sellManager.h"
#include "store/Backup.h"
#include "store/Server.h"

namespace {

std::thread gStartupWorker;

store::BackupManager Manager() { return SellerBackups(); }

// Keeps the windows painting while a large database is copied.
void KeepPainting(int, int) { QApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

std::vector<TForm3*> ChildWindows()
{
    std::vector<TForm3*> all;
    for (TForm3* f : std::initializer_list<TForm3*>{Form4, Form5, Form7})
        if (f) all.push_back(f);
    if (TForm3* overview = CreatedOverviewWindow()) all.push_back(overview);
    return all;
}

std::vector<store::Connection*> OpenWindowConnections()
{
    std::vector<store::Connection*> all;
    if (Form1) all.push_back(&Form1->ADOConnection());
    for (TForm3* f : ChildWindows()) all.push_back(&f->ADOConnection1());
    if (Form6) all.push_back(&Form6->ADOConnection1());
    return all;
}

}  // namespace

std::string BackupBefore(const std::string& reason) { return Manager().Backup(reason, KeepPainting); }

void RestoreBackup(const std::string& backupFile)
{
    // The overview may be reading on a connection of its own.
    if (TOverviewWindow* overview = CreatedOverviewWindow()) overview->StopLoading();
    std::vector<store::Connection*> reopen;
    for (store::Connection* c : OpenWindowConnections())
        if (c->Connected()) {
            c->Close();
            reopen.push_back(c);
        }
    try {
        Manager().Restore(backupFile, KeepPainting);
    } catch (...) {
        for (store::Connection* c : reopen) c->Open();
        throw;
    }
    for (store::Connection* c : reopen) c->Open();
    for (TForm3* f : ChildWindows()) f->DataReloaded();
}

bool OfferRestoreOfDamagedDatabase(const QString& problem)
{
    auto good = Manager().NewestGood();
    if (!good) {
        Prompter().ShowError(
            QStringLiteral("数据库文件已损坏: %1\n没有找到可以恢复的完好备份。请不要继续录入, 并联系技术支持。")
                .arg(problem));
        return false;
    }
    QString text = QStringLiteral("数据库文件已损坏: %1\n\n最新的完好备份是 %2 (%3)。\n是否用这个备份恢复数据库?")
                       .arg(problem, QString::fromStdString(good->stamp), QString::fromStdString(good->path));
    if (!Prompter().AskYesNo(text)) {
        Prompter().Information(
            QStringLiteral("数据库没有恢复, 程序不会写入数据。需要时请在 \"工具 → 数据备份\" 中恢复备份。"));
        return false;
    }
    RestoreBackup(good->path);
    Prompter().Information(QStringLiteral("数据库已从备份恢复。"));
    return true;
}

void StartStartupChecks()
{
    std::string db = store::Connection().Address();
    // The settings are read here: the login window that knows their file belongs to this thread.
    store::BackupManager daily = SellerBackups(db, BackupSettingsFile(false));
    gStartupWorker = std::thread([db, daily]() mutable {
        bool server = store::IsServerAddress(db);  // the server checks its own pages
        if (!server) store::RemoveLeftovers(std::filesystem::path(db).parent_path().string());
        store::RemoveLeftovers(store::BackupManager(db).Folder());
        std::string problem = server ? "ok" : store::CheckDatabase(db, true);
        if (problem == "ok") {
            try {
                if (daily.DailyBackupDue()) daily.Backup("daily");
            } catch (const std::exception&) {
                // A missed daily copy is retried at the next start.
            }
            return;
        }
        // From here on every write is refused, until a restore replaces the file.
        store::MarkDatabaseDamaged(problem);
        QMetaObject::invokeMethod(
            qApp, [problem] { OfferRestoreOfDamagedDatabase(QString::fromStdString(problem)); }, Qt::QueuedConnection);
    });
}

void FinishStartupChecks()
{
    if (gStartupWorker.joinable()) gStartupWorker.join();
}
