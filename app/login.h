// The login window: checks the account, remembers the last user name (and
// on request the password) and opens the main window.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <memory>

#include "app/LoginSettings.h"
#include "app/LoginThrottle.h"
#include "store/Connection.h"

class TupUpdater;

// True when `users` holds an account with this name and password (both
// compared exactly as given; the caller trims). A password still stored in
// plain text is hashed at this first successful check.
bool CheckAccount(store::Connection& c, const QString& user, const QString& password);

// Where login windows created from now on keep config.ini (tests point it
// at scratch folders); empty texts restore the program's folder.
void SetLoginSettingsDirs(const QString& exeDir, const QString& userDir);

// Leading and trailing spaces and control characters removed.
QString TrimText(const QString& s);

class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;
    TupUpdater* upUpdater1() const { return FUpdater; }
    TLoginSettings& Settings() { return FSettings; }
    store::Connection& ADOConnection() { return *FConnection; }

    QLineEdit* Edit1;
    QLineEdit* Edit2;
    QPushButton* Button1;
    QCheckBox* CheckBox1;
    QLabel* Label4;     // the default account, while it keeps its password
    QLabel* LabelWait;  // the wait after repeated failed logins

    void Button1Click();
    // The account of the last successful login; empty before it.
    const QString& CurrentUser() const { return FCurrentUser; }
    const TLoginThrottle& Throttle() const { return FThrottle; }
    // True while the default password is still being checked for Label4.
    bool DefaultHintPending() const { return FHintPending; }

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void BuildLayout();
    void FormCreate();
    void CheckDefaultHint();
    void ShowWait();
    TupUpdater* FUpdater;
    TLoginSettings FSettings;
    std::unique_ptr<store::Connection> FConnection;
    QString FCurrentUser;
    TLoginThrottle FThrottle;
    QTimer* FWaitTimer;
    QThread* FHintThread = nullptr;
    std::atomic<bool> FDefaultInUse{false};
    bool FHintPending = false;
};
