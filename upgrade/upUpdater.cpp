#include "upgrade/upUpdater.h"

#include "upgrade/upDefaults.h"
#include "upgrade/upQtPrompter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

TupUpdater::TupUpdater(QObject* parent) : TupCustomHTTP(parent)
{
    HideOutputFile = true;
    SecureOnly = true;
    CAInfo = UpdateCAFile();
    InstallHandlers();
    KeepConfirmationPrivate();
    QFile::remove(ReplacementProgramPath());
    FVersionDate = FormatVersionDate(QDate::currentDate());
    setWizardLanguage(wlAuto);
    FHandle.setSingleShot(false);
    connect(&FHandle, &QTimer::timeout, this, &TupUpdater::TimerTick);
}

TupUpdater::~TupUpdater()
{
    setAutoCheck(false);
    if (FPrompter) FPrompter->CloseWindows();
}

void TupUpdater::InstallHandlers()
{
    TupCustomHTTP::OnHeaderInfo = [this](TupCustomHTTP*, const TupHeaderInfo& info, bool& cont) {
        HandleHeaderInfo(info, cont);
    };
    TupCustomHTTP::OnDone = [this](TupCustomHTTP*, const QString&, uint32_t, TupStream s) { HandleDone(s); };
    TupCustomHTTP::OnDoneInterrupted = [this](TupCustomHTTP*) { DownloadNextFile(false); };
    TupCustomHTTP::OnProgress = [this](TupCustomHTTP*, const TupProgressInfo& p, TupStream) { HandleProgress(p); };
    TupCustomHTTP::OnConnLost = [this](TupCustomHTTP*, const QString&, uint32_t, uint32_t, TupStream) {
        HandleConnLost();
    };
    TupCustomHTTP::OnHTTPError = [this](TupCustomHTTP*, int code, TupStream) { HandleHTTPError(code); };
    TupCustomHTTP::OnHostUnreachable = [this](TupCustomHTTP*) { HandleHostUnreachable(); };
    TupCustomHTTP::OnPasswordRequest = [this](TupCustomHTTP*, const QString& realm, bool& again) {
        HandlePasswordRequest(realm, again);
    };
    TupCustomHTTP::OnBodyError = [this](TupCustomHTTP*, TupBodyError why, const QString& detail) {
        HandleBodyError(why, detail);
    };
}

TupPrompter& TupUpdater::Prompter()
{
    if (!FPrompter) FPrompter = std::make_shared<TupQtPrompter>();
    return *FPrompter;
}

void TupUpdater::setWizardLanguage(TupUpdaterLanguage language)
{
    Wizard.Language = language;
    SelectLanguage(language);
}

void TupUpdater::setAutoCheck(bool on)
{
    if (on == FAutoCheck) return;
    FAutoCheck = on;
    UpdateTimer();
}

void TupUpdater::setRestartParams(const QString& params)
{
    FRestartParams = params.isEmpty() ? QStringLiteral(" ") : params;
}

void TupUpdater::setQInfoStage(bool on)
{
    FQueryInfoStage = on;
    UseCache = !on;
}

void TupUpdater::Loaded()
{
    const QStringList args = QCoreApplication::arguments();
    if (OnAfterRestart && args.size() > 1 && args[1] == FRestartParams) OnAfterRestart(this);
    ReportRollBack();
    UpdateTimer();
}

void TupUpdater::UpdateTimer()
{
    FHandle.stop();
    if (FAutoCheck && !FAutoCheckDone) FHandle.start(AutoCheckInterval);
}

// An exception here stops at the event loop's door: the tick is simply lost.
void TupUpdater::TimerTick()
{
    try {
        if (!IsOnline() || !FAutoCheck) return;
        FAutoCheckDone = true;
        UpdateTimer();
        CheckUpdate();
        FIsAutoCheck = true;
    } catch (const std::exception&) {
    }
}

void TupUpdater::CheckUpdate()
{
    FAborted = false;
    FIsAutoCheck = false;
    if (Busy() || FUpgrading) return;
    setQInfoStage(true);
    URL = FInfoFileURL;
    OutputFileName.clear();
    MaxBodySize = MaxInfoFileSize;
    FollowRedirects = true;
    Read();
}

void TupUpdater::Abort()
{
    FAborted = true;
    AbortInternal();
    if (OnAborted) OnAborted(this);
}

void TupUpdater::AbortInternal()
{
    AbortTransfer(false);
    FUpgrading = false;
    if (FPrompter) FPrompter->CloseWindows();
}

void TupUpdater::ShowError(int text) { Prompter().ShowError(UpText(text)); }

QString TupUpdater::ApplicationPath() const
{
    return FApplicationPath.isEmpty() ? QCoreApplication::applicationFilePath() : FApplicationPath;
}

QString TupUpdater::ExecutableFolder() const { return QFileInfo(ApplicationPath()).absolutePath() + QLatin1Char('/'); }
