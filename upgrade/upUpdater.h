// The update component as the windows see it: its settings, the release date
// of the running program and the entry point that starts a check. It finds a
// newer release on the update server, asks, downloads the release's files
// beside the executable and hands over to the replacement program.
#pragma once

#include "upgrade/upHTTP.h"
#include "upgrade/upPrompter.h"
#include "upgrade/upSignature.h"
#include "upgrade/upTexts.h"
#include "upgrade/upUtils.h"

#include <QImage>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <memory>

enum TupUpdaterShowMessage {
    mAskUpgrade,
    mConnLost,
    mHostUnreachable,
    mLostFile,
    mNoInfoFile,
    mNoUpdateAvailable,
    mPasswordRequest
};
constexpr uint32_t ShowMessagesDefault = 0x4B;
enum TupMiscFilesUpgrade { mfuAlwaysDownload, mfuOnlyIfSizeDifferent };

struct TupUpdaterInfo {
    QStringList Files;
    TupUpgradeMethod UpgradeMethod = umSelfUpgrade;
    QString UpgradeMsg;
};

struct TupUpdaterWizard {
    bool Enabled = true;
    bool StayOnTop = true;
    TupUpdaterLanguage Language = wlAuto;
    QImage Pic118x218;  // empty: the built-in picture
};

class TupUpdater : public TupCustomHTTP {
    Q_OBJECT
public:
    explicit TupUpdater(QObject* parent = nullptr);
    ~TupUpdater() override;

    void setAutoCheck(bool on);
    bool AutoCheck() const { return FAutoCheck; }
    void setInfoFileURL(const QString& url) { FInfoFileURL = url; }
    QString InfoFileURL() const { return FInfoFileURL; }
    void setInfoFileFiles(const QStringList& files) { InfoFile.Files = files; }
    QStringList InfoFileFiles() const { return InfoFile.Files; }
    void setVersionDate(const QString& date) { FVersionDate = date; }
    QString VersionDate() const { return FVersionDate; }
    void setVersionDateAutoSet(bool on) { FVersionDateAutoSet = on; }
    bool VersionDateAutoSet() const { return FVersionDateAutoSet; }
    void setRestartParams(const QString& params);
    QString RestartParams() const { return FRestartParams; }
    QString HTTPUsername() const { return Username(); }
    void setHTTPUsername(const QString& v) { setUsername(v); }
    QString HTTPPassword() const { return Password(); }
    void setHTTPPassword(const QString& v) { setPassword(v); }
    bool QInfoStage() const { return FQueryInfoStage; }
    void setQInfoStage(bool on);
    bool Restarting() const { return FRestarting; }
    bool Shows(TupUpdaterShowMessage m) const { return (ShowMessages >> m) & 1u; }
    void setWizardLanguage(TupUpdaterLanguage language);

    // Called once the stored settings have been applied.
    void Loaded();
    // Starts a check for a newer release and returns at once.
    void CheckUpdate();
    // Stops the upgrade: transfer, question and wizard; raises OnAborted.
    void Abort();
    void RestartApplication(const QString& params);
    // Tells the replacement program that this program came up after an
    // upgrade; without it the replacement program restores the previous
    // version. Called once the login window is shown; does nothing when the
    // program was not started by the replacement program.
    static void ConfirmStarted();
    static void KeepConfirmationPrivate();
    bool IsOnline() const;
    static void OpenURL(const QString& url);

    // Where the ".uTMP" files go and what is restarted; the running program by default.
    void setApplicationPath(const QString& path) { FApplicationPath = path; }
    QString ApplicationPath() const;
    // A replacement program file to write out instead of the carried one.
    void setReplacerSource(const QString& path) { FReplacerSource = path; }
    static QString ReplacementProgramPath();
    // Where the replacement program notes why it put the previous version back.
    static QString RollBackReportPath();
    void setPrompter(std::shared_ptr<TupPrompter> prompter) { FPrompter = std::move(prompter); }
    TupPrompter& Prompter();
    // Replaces the host-name test of IsOnline (tests).
    std::function<bool()> OnlineTest;
    // Milliseconds between automatic check attempts.
    int AutoCheckInterval = 10000;

    // The maker's Ed25519 public key; an information file must be signed
    // with its private half.
    QByteArray PublicKey = BuiltInUpdateKey();
    TupUpdaterInfo InfoFile;
    TupMiscFilesUpgrade MiscFilesUpgrade = mfuAlwaysDownload;
    TupUpdaterVersionControl VersionControl = byDate;
    QString VersionNumber;
    uint32_t ShowMessages = ShowMessagesDefault;
    TupUpdaterWizard Wizard;

    using Notify = std::function<void(TupUpdater*)>;
    std::function<void(TupUpdater*, const QString& UpgradeMsg, TupUpgradeMethod, const QStringList& Files,
                       bool& CanUpgrade)>
        OnBeginUpgrade;
    Notify OnLaterUpgrade, OnNoUpdateAvailable, OnNoInfoFile, OnEndUpgrade, OnDoOwnCloseAppMethod;
    Notify OnAfterRestart, OnAborted, OnConnLost;
    std::function<void(TupUpdater*, const QString& FileURL, uint32_t FileSize, const QDateTime& FileTime,
                       bool& CanUpgrade)>
        OnFileStart;
    std::function<void(TupUpdater*, const QString& FileURL, const TupProgressInfo&, uint8_t TotalPercentsDone)>
        OnProgress;
    std::function<void(TupUpdater*, const QString& FileName)> OnFileDone;
    std::function<void(TupUpdater*, const QString& FileURL, int ErrorCode, bool& ContinueUpgrade)> OnLostFile;
    std::function<void(TupUpdater*, const QString& URL, const QString& Hostname)> OnHostUnreachable;
    std::function<void(TupUpdater*, const QString& Realm, bool& TryAgain)> OnPasswordRequest;

private:
    void InstallHandlers();
    void UpdateTimer();
    void TimerTick();
    void HandleHeaderInfo(const TupHeaderInfo& info, bool& continueDownload);
    void HandleDone(TupStream stream);
    void HandleProgress(const TupProgressInfo& progress);
    void HandleConnLost();
    void HandleHTTPError(int errorCode);
    void HandleHostUnreachable();
    void HandlePasswordRequest(const QString& realm, bool& tryAgain);
    void HandleInfoOutcome(const TupInfoOutcome& outcome);
    void HandleBodyError(TupBodyError why, const QString& detail);
    // Ends the upgrade with a message: nothing downloaded stays, and the
    // controller is ready for the next check.
    void Fail(const QString& message);
    bool VerifyDownload(QString& detail) const;
    bool FolderTrusted(QString& detail) const;
    bool FolderWritable(QString& detail) const;
    void DownloadNextFile(bool first);
    void AbortInternal();
    void ShowError(int text);
    void RunReplacement(const QString& argument);
    bool WriteReplacer(const QString& program) const;
    void RemoveTemporaryFiles() const;
    void ReportRollBack();
    QString ExecutableFolder() const;

    QTimer FHandle;
    bool FAborted = false;
    bool FAutoCheckDone = false;
    bool FIsAutoCheck = false;
    bool FQueryInfoStage = false;
    TupUpgradeMethod FUpdateMethod = umSelfUpgrade;
    QStringList FDownloadQueue;
    QList<TupFileCheck> FDownloadChecks;
    QString FCurrentFileName;
    QDateTime FCurrentFileTime;
    int FCurrentFileIndex = 0;
    bool FRestarting = false;
    // True from the question until the upgrade has ended; a second check
    // finding the same release meanwhile asks nothing.
    bool FUpgrading = false;

    bool FAutoCheck = false;
    QString FInfoFileURL = QStringLiteral("http://");
    QString FRestartParams = QStringLiteral("/afterupgrade");
    QString FVersionDate;
    bool FVersionDateAutoSet = true;
    QString FApplicationPath;
    QString FReplacerSource;
    std::shared_ptr<TupPrompter> FPrompter;
};
