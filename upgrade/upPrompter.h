// Everything the upgrade controller shows or asks goes through this
// interface, so that tests can answer in place of the user.
#pragma once

#include <QString>
#include <cstdint>

class TupUpdater;

class TupPrompter {
public:
    virtual ~TupPrompter() = default;

    // Error box: caption text 0, error icon, OK only.
    virtual void ShowError(const QString& text) = 0;
    // Yes/No box with a warning icon; true for Yes.
    virtual bool AskYesNo(const QString& text, const QString& caption) = 0;
    // The question before an upgrade; true for Yes.
    virtual bool ShowUpgradeQuestion(TupUpdater* updater, const QString& message) = 0;
    // The password window; on OK the entries are stored in the updater.
    virtual bool AskPassword(TupUpdater* updater, const QString& fileName) = 0;

    virtual void ShowWizard(TupUpdater* updater) = 0;
    virtual bool WizardShown() const = 0;
    virtual void WizardFile(const QString& url, int number, int count) = 0;
    virtual void WizardFileSize(uint32_t bytes) = 0;
    virtual void WizardProgress(int percent, int totalPercent, float rate, int32_t secondsLeft) = 0;
    // Switches the wizard to its finished page and returns once it is gone
    // (closed with OK, or closed and the upgrade aborted).
    virtual void WizardFinishAndWait(TupUpdater* updater) = 0;
    // Frees the question window and the wizard when they exist.
    virtual void CloseWindows() = 0;
};
