// Program entry: subcommands run without a display; otherwise the eight
// windows are created in order and the login window is shown.
#include <QScreen>
#include <QTimer>
#include <iostream>

#include "app/DataFolder.h"
#include "app/DatabaseSettings.h"
#include "app/LoginSettings.h"
#include "app/ErrorReport.h"
#include "app/Translations.h"
#include "app/Forms.h"
#include "app/Prompter.h"
#include "app/Resources.h"
#include "app/Safety.h"
#include "app/cli.h"
#include "app/login.h"
#include "upgrade/upUpdater.h"

namespace {

void SetUpLook(QApplication& app)
{
    // No display name: the platform would append it to every caption
    // ("用户登录 — Tallybrook"), and the captions are the program's own texts.
    app.setApplicationName("tallybrook");
    LoadChineseTranslations(app);
    app.setDesktopFileName("example.tallybrook.tallybrook");  // the installed menu entry, for its icon
    app.setWindowIcon(AppIcon());
    QFont f = app.font();
    f.setFamilies({"Tahoma", "WenQuanYi Micro Hei", "Noto Sans CJK SC", "Noto Sans SC", "DejaVu Sans"});
    f.setPointSize(9);
    app.setFont(f);
}

void CentreOnScreen(QWidget* w)
{
    if (QScreen* s = w->screen()) w->move(s->availableGeometry().center() - w->rect().center());
}

}  // namespace

int main(int argc, char** argv)
{
    ChooseDatabase(ProgramFolder(), TLoginSettings::DefaultUserDir());
    if (IsCommand(argc, argv)) {
        // "new-database" makes the file right here, wherever that is.
        if (std::string(argv[1]) != "new-database") EnterDataFolder(TDataFolderUse::Command);
        return RunCommand(argc, argv, std::cout, std::cerr);
    }
    TApplication app(argc, argv);
    SetUpLook(app);
    try {
        EnterDataFolder(TDataFolderUse::Window);
        CreateForms();
    } catch (const std::exception& e) {
        Prompter().ShowError(QString::fromUtf8(e.what()));
        return 1;
    }
    CentreOnScreen(Form1);
    Form1->show();
    // After an upgrade the replacement program waits for this word; without
    // it, it would put the previous version back.
    QTimer::singleShot(0, &app, [] { TupUpdater::ConfirmStarted(); });
    // Used by the start-up benchmark: end as soon as the login window is up.
    // The background check and the daily backup only start after the window
    // is shown, so they are left out of that measurement.
    if (qEnvironmentVariableIsSet("TALLYBROOK_EXIT_WHEN_SHOWN"))
        QTimer::singleShot(0, &app, &QApplication::quit);
    else
        StartStartupChecks();
    int rc = app.exec();
    FinishStartupChecks();
    DestroyForms();
    return rc;
}
