// The controller's reactions to the engine's events: the information file's
// outcome, the download of each file, and the failures along the way.
#include "upgrade/upUpdater.h"

#include "upgrade/upMessages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

void TupUpdater::HandleHeaderInfo(const TupHeaderInfo& info, bool& continueDownload)
{
    if (FQueryInfoStage) return;
    FCurrentFileTime = info.LastModified;
    if (Prompter().WizardShown()) Prompter().WizardFileSize(info.ContentLength);
    if (MiscFilesUpgrade == mfuOnlyIfSizeDifferent && info.ContentLength != 0 && FDownloadQueue.size() > 1) {
        const QString target = FCurrentFileName.chopped(5);
        const QFileInfo targetInfo(target);
        const QString ownName = QFileInfo(ApplicationPath()).fileName();
        if (targetInfo.fileName().compare(ownName, Qt::CaseInsensitive) != 0 && targetInfo.exists())
            continueDownload = info.ContentLength != targetInfo.size();
    }
    if (OnFileStart) OnFileStart(this, URL, info.ContentLength, info.LastModified, continueDownload);
}

void TupUpdater::HandleDone(TupStream stream)
{
    if (FQueryInfoStage) {
        const TupVersionInfo running{VersionControl, FVersionDate, VersionNumber};
        HandleInfoOutcome(ProcessInfoFile(stream ? *stream : QByteArray(), running, {PublicKey, FInfoFileURL}));
        return;
    }
    if (QString detail; !VerifyDownload(detail)) {
        Fail(FileMismatchMessage(FileName(), detail));
        return;
    }
    if (FCurrentFileTime.isValid()) {
        QFile file(FCurrentFileName);
        if (file.open(QIODevice::ReadOnly)) file.setFileTime(FCurrentFileTime, QFileDevice::FileModificationTime);
    }
    if (OnFileDone) OnFileDone(this, FCurrentFileName);
    DownloadNextFile(false);
}

void TupUpdater::HandleInfoOutcome(const TupInfoOutcome& outcome)
{
    if (outcome.Refusal != irNone) {
        Fail(RefusedInfoMessage(outcome.Refusal, outcome.Detail));
        return;
    }
    if (!outcome.ReleaseAvailable) {
        if (OnNoUpdateAvailable) OnNoUpdateAvailable(this);
        if (!FIsAutoCheck && Shows(mNoUpdateAvailable)) ShowError(24);
        return;
    }
    if (FUpgrading) return;
    FDownloadQueue = outcome.Files;
    FDownloadChecks = outcome.Checks;
    FUpdateMethod = outcome.Method;
    bool canUpgrade = true;
    if (OnBeginUpgrade) OnBeginUpgrade(this, outcome.Message, outcome.Method, FDownloadQueue, canUpgrade);
    FUpgrading = true;
    const bool agreed = canUpgrade && (!Shows(mAskUpgrade) || Prompter().ShowUpgradeQuestion(this, outcome.Message));
    FUpgrading = false;
    if (!agreed) {
        if (OnLaterUpgrade) OnLaterUpgrade(this);
    } else if (FUpdateMethod == umRedirectToURL) {
        OpenURL(FDownloadQueue.value(0));
    } else {
        DownloadNextFile(true);
    }
}

void TupUpdater::HandleProgress(const TupProgressInfo& progress)
{
    if (FQueryInfoStage) return;
    const int count = static_cast<int>(FDownloadQueue.size());
    const uint8_t total = static_cast<uint8_t>(progress.PercentsDone / count + PercentOf(FCurrentFileIndex, count));
    if (OnProgress) OnProgress(this, URL, progress, total);
    if (Prompter().WizardShown())
        Prompter().WizardProgress(progress.PercentsDone, total, progress.TransferRate, progress.EstimatedTimeLeft);
}

void TupUpdater::HandleConnLost()
{
    if (OnConnLost) OnConnLost(this);
    if (Shows(mConnLost)) ShowError(30);
    AbortInternal();
}

void TupUpdater::HandleHTTPError(int errorCode)
{
    if (FQueryInfoStage) {
        if (OnNoInfoFile) OnNoInfoFile(this);
        if (Shows(mNoInfoFile)) ShowError(25);
        return;
    }
    bool continueUpgrade = false;
    if (OnLostFile) OnLostFile(this, URL, errorCode, continueUpgrade);
    if (Shows(mLostFile)) {
        const QString caption = UpText(21) + QStringLiteral(" #") + QString::number(errorCode);
        continueUpgrade = Prompter().AskYesNo(UpFormat(28, qUtf8Printable(FileName())), caption);
    }
    if (continueUpgrade)
        DownloadNextFile(false);
    else
        Abort();
}

void TupUpdater::HandleHostUnreachable()
{
    if (OnHostUnreachable) OnHostUnreachable(this, URL, HostName());
    if (FIsAutoCheck) {
        FAutoCheckDone = false;
        UpdateTimer();
    } else if (Shows(mHostUnreachable)) {
        const QString host = QStringLiteral("http://") + HostName() + QLatin1Char('\'');
        Prompter().ShowError(UpFormat(26, qUtf8Printable(host)));
    }
    AbortInternal();
}

void TupUpdater::HandlePasswordRequest(const QString& realm, bool& tryAgain)
{
    if (OnPasswordRequest) OnPasswordRequest(this, realm, tryAgain);
    if (tryAgain || !Shows(mPasswordRequest)) return;
    tryAgain = Prompter().AskPassword(this, FileName());
    if (!tryAgain) Abort();
}

void TupUpdater::DownloadNextFile(bool first)
{
    if (first) {
        setQInfoStage(false);
        FCurrentFileIndex = 0;
        FUpgrading = true;
        if (QString detail; !FolderTrusted(detail)) {
            Fail(UntrustedFolderMessage(detail));
            return;
        }
        if (QString detail; !FolderWritable(detail)) {
            Fail(FileNotWrittenMessage(ApplicationPath(), detail));
            return;
        }
        RemoveTemporaryFiles();
        if (Wizard.Enabled) Prompter().ShowWizard(this);
    } else {
        ++FCurrentFileIndex;
    }
    const int count = static_cast<int>(FDownloadQueue.size());
    if (FCurrentFileIndex < count) {
        const QString address = FDownloadQueue[FCurrentFileIndex];
        if (Prompter().WizardShown()) Prompter().WizardFile(address, FCurrentFileIndex + 1, count);
        URL = address;
        FCurrentFileName = ExecutableFolder() + FileName() + QStringLiteral(".uTMP");
        OutputFileName = FCurrentFileName;
        MaxBodySize = FDownloadChecks.value(FCurrentFileIndex).Size;
        FollowRedirects = false;  // files come from the information file's server only
        Read();
        return;
    }
    if (Prompter().WizardShown()) {
        Prompter().WizardFinishAndWait(this);
        if (FAborted) return;
    }
    FUpgrading = false;
    if (OnEndUpgrade) OnEndUpgrade(this);
    // A handler that aborted (for example, its backup failed) keeps the
    // running program; the downloaded files wait for the next hand-over.
    if (FAborted) return;
    RunReplacement(QLatin1Char('+') + FRestartParams + QString::number(static_cast<int>(FUpdateMethod)));
}

void TupUpdater::HandleBodyError(TupBodyError why, const QString& detail)
{
    if (why == beTooLarge)
        Fail(FQueryInfoStage ? InfoFileTooLargeMessage() : FileMismatchMessage(FileName(), detail));
    else
        Fail(FileNotWrittenMessage(FCurrentFileName, detail));
}

void TupUpdater::Fail(const QString& message)
{
    FAborted = true;
    AbortInternal();
    if (!FQueryInfoStage) RemoveTemporaryFiles();
    Prompter().ShowError(message);
    if (OnAborted) OnAborted(this);
}
