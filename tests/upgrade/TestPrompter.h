// Answers the controller's questions in place of the user and records what
// the user would have seen.
#pragma once

#include "upgrade/upPrompter.h"
#include "upgrade/upUpdater.h"

#include <QStringList>
#include <functional>

class TestPrompter : public TupPrompter {
public:
    QStringList Errors;
    QStringList YesNoTexts, YesNoCaptions;
    QStringList Questions;
    QStringList PasswordFiles;
    QStringList WizardFiles;
    int WizardShows = 0;
    int ProgressCalls = 0;
    int ClosedWindows = 0;
    bool FinishedPage = false;
    bool WizardOpen = false;

    bool AnswerUpgrade = true;
    bool AnswerSkip = true;
    bool CancelAtFinish = false;
    QString GiveUser, GivePassword;  // empty user: the password window is cancelled
    std::function<void(TupUpdater*)> DuringProgress;

    void ShowError(const QString& text) override { Errors << text; }
    bool AskYesNo(const QString& text, const QString& caption) override
    {
        YesNoTexts << text;
        YesNoCaptions << caption;
        return AnswerSkip;
    }
    bool ShowUpgradeQuestion(TupUpdater*, const QString& message) override
    {
        Questions << message;
        return AnswerUpgrade;
    }
    bool AskPassword(TupUpdater* updater, const QString& fileName) override
    {
        PasswordFiles << fileName;
        if (GiveUser.isEmpty()) return false;
        updater->setHTTPUsername(GiveUser);
        updater->setHTTPPassword(GivePassword);
        return true;
    }
    void ShowWizard(TupUpdater*) override
    {
        ++WizardShows;
        WizardOpen = true;
    }
    bool WizardShown() const override { return WizardOpen; }
    void WizardFile(const QString& url, int, int) override { WizardFiles << url; }
    void WizardFileSize(uint32_t) override {}
    void WizardProgress(int, int, float, int32_t) override
    {
        ++ProgressCalls;
        if (DuringProgress) DuringProgress(CurrentUpdater);
    }
    void WizardFinishAndWait(TupUpdater* updater) override
    {
        FinishedPage = true;
        if (CancelAtFinish) updater->Abort();
        WizardOpen = false;
    }
    void CloseWindows() override
    {
        ++ClosedWindows;
        WizardOpen = false;
    }

    TupUpdater* CurrentUpdater = nullptr;
};
