// The download wizard: a window beside the program that shows the file being
// fetched, its progress and that of the whole release, and at the end the
// button that restarts the program.
#pragma once

#include <QDialog>
#include <functional>

class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QFrame;
class TupUpdater;

class TupUpdaterWizardForm : public QDialog {
    Q_OBJECT
public:
    explicit TupUpdaterWizardForm(QWidget* parent = nullptr);
    ~TupUpdaterWizardForm() override;

    static TupUpdaterWizardForm* Instance();
    // Creates the window when there is none, fills its texts and shows it.
    static TupUpdaterWizardForm* ShowWizard(TupUpdater* updater);

    void SetFile(const QString& url, int number, int count);
    void SetFileSize(uint32_t bytes);
    void SetProgress(int percent, int totalPercent, float rate, int32_t secondsLeft);
    void Finish();
    // Closes without asking (the controller's own abort).
    void Discard();

    // Asks whether to abort; a message box unless replaced (tests).
    std::function<bool()> ConfirmAbort;

    TupUpdater* Updater = nullptr;
    QFrame* Panel1;
    QLabel* Image1;
    QLabel* WizardTitle;
    QLabel* AfterNote;
    QGroupBox* LCurrentFile;
    QLabel* LDownloadingFileFrom;
    QLineEdit* FileURL;
    QLabel* FileSizeLab;
    QLabel* TransferRateLab;
    QLabel* EstimatedTimeLeftLab;
    QProgressBar* ProgressCurrentFile;
    QGroupBox* LAllFiles;
    QLabel* AllDownloading;
    QProgressBar* ProgressAllFiles;
    QFrame* Bevel1;
    QLabel* AboutShadow;
    QLabel* AboutLabel;
    QPushButton* FinishBtn;
    QPushButton* CancelBtn;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void BuildGroups();
    void BuildFooter();
    bool FClosingQuietly = false;
};

// The built-in 118 x 218 picture of the wizard.
QImage WizardPicture();
