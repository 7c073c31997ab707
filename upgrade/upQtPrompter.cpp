#include "upgrade/upQtPrompter.h"

#include "upgrade/upTexts.h"
#include "upgrade/upUpdater.h"
#include "upgrade/upUpdaterPassword.h"
#include "upgrade/upUpdaterQuestion.h"
#include "upgrade/upUpdaterWizard.h"

#include <QEventLoop>
#include <QMessageBox>
#include <QPointer>

void TupQtPrompter::ShowError(const QString& text)
{
    QMessageBox box(QMessageBox::Critical, UpText(0), DisplayText(text), QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);  // may hold names from the server
    box.exec();
}

bool TupQtPrompter::AskYesNo(const QString& text, const QString& caption)
{
    QMessageBox box(QMessageBox::Warning, caption, DisplayText(text), QMessageBox::Yes | QMessageBox::No);
    box.setTextFormat(Qt::PlainText);
    return box.exec() == QMessageBox::Yes;
}

bool TupQtPrompter::ShowUpgradeQuestion(TupUpdater* updater, const QString& message)
{
    return TupUpdaterQuestionForm::ShowUpgradeQuestion(ApplicationTitle(updater->ApplicationPath()), message);
}

bool TupQtPrompter::AskPassword(TupUpdater* updater, const QString& fileName)
{
    return TupUpdaterPasswordForm::AskPassword(updater, fileName);
}

void TupQtPrompter::ShowWizard(TupUpdater* updater) { TupUpdaterWizardForm::ShowWizard(updater); }

bool TupQtPrompter::WizardShown() const { return TupUpdaterWizardForm::Instance() != nullptr; }

void TupQtPrompter::WizardFile(const QString& url, int number, int count)
{
    if (auto* wizard = TupUpdaterWizardForm::Instance()) wizard->SetFile(url, number, count);
}

void TupQtPrompter::WizardFileSize(uint32_t bytes)
{
    if (auto* wizard = TupUpdaterWizardForm::Instance()) wizard->SetFileSize(bytes);
}

void TupQtPrompter::WizardProgress(int percent, int totalPercent, float rate, int32_t secondsLeft)
{
    if (auto* wizard = TupUpdaterWizardForm::Instance()) wizard->SetProgress(percent, totalPercent, rate, secondsLeft);
}

// The program's other windows keep working while the finished page waits.
void TupQtPrompter::WizardFinishAndWait(TupUpdater*)
{
    QPointer<TupUpdaterWizardForm> wizard = TupUpdaterWizardForm::Instance();
    if (!wizard) return;
    wizard->Finish();
    wizard->activateWindow();
    QEventLoop loop;
    QObject::connect(wizard, &QObject::destroyed, &loop, &QEventLoop::quit);
    loop.exec();
}

void TupQtPrompter::CloseWindows()
{
    if (auto* question = TupUpdaterQuestionForm::Instance()) question->reject();
    if (auto* wizard = TupUpdaterWizardForm::Instance()) wizard->Discard();
}
