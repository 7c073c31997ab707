// Every message box and file dialog the windows show goes through here, so
// tests can answer them and command-line runs can print them.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

class TPrompter {
public:
    virtual ~TPrompter() = default;
    // A plain box with the application's title and an OK button.
    virtual void ShowMessage(const QString& text) = 0;
    // A box captioned "提示" with an information icon.
    virtual void Information(const QString& text) = 0;
    // A box captioned "提示" with a warning icon and Yes / No.
    virtual bool AskYesNo(const QString& text) = 0;
    // A box with the question icon and OK / Cancel.
    virtual bool AskOkCancel(const QString& text) = 0;
    // The default error report: an error that escaped an event handler.
    virtual void ShowError(const QString& text) = 0;
    // File dialogs; an empty result means the user cancelled. `suggested`
    // is the file the dialog starts with: its folder is shown and its name
    // stands in the name box (a bare name: the working folder).
    virtual QString OpenFileName(const QString& title, const QString& suggested, const QString& filter) = 0;
    virtual QString SaveFileName(const QString& title, const QString& suggested, const QString& filter) = 0;
};

// The prompter in use; a Qt implementation unless a test installed its own.
TPrompter& Prompter();
// Installs `p` (not owned) and returns the one it replaces; nullptr restores Qt's.
TPrompter* SetPrompter(TPrompter* p);
