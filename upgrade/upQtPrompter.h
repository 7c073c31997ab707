// The prompter of the running program: message boxes and the three upgrade
// windows.
#pragma once

#include "upgrade/upPrompter.h"

class TupQtPrompter : public TupPrompter {
public:
    void ShowError(const QString& text) override;
    bool AskYesNo(const QString& text, const QString& caption) override;
    bool ShowUpgradeQuestion(TupUpdater* updater, const QString& message) override;
    bool AskPassword(TupUpdater* updater, const QString& fileName) override;
    void ShowWizard(TupUpdater* updater) override;
    bool WizardShown() const override;
    void WizardFile(const QString& url, int number, int count) override;
    void WizardFileSize(uint32_t bytes) override;
    void WizardProgress(int percent, int totalPercent, float rate, int32_t secondsLeft) override;
    void WizardFinishAndWait(TupUpdater* updater) override;
    void CloseWindows() override;
};
