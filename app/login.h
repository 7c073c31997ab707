// The login window: checks the account, remembers the last user name (and
// on request the password) and opens the main window.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>
#include <memory>

#include "app/LoginSettings.h"
#include "store/Connection.h"

class TupUpdater;

// True when `users` holds an account with this name and password (both
// compared exactly as given; the caller trims).
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
    TupUpdater* upUpdater1() const { return FUpdater; }
    TLoginSettings& Settings() { return FSettings; }
    store::Connection& ADOConnection() { return *FConnection; }

    QLineEdit* Edit1;
    QLineEdit* Edit2;
    QPushButton* Button1;
    QCheckBox* CheckBox1;

    void Button1Click();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void BuildLayout();
    void FormCreate();
    TupUpdater* FUpdater;
    TLoginSettings FSettings;
    std::unique_ptr<store::Connection> FConnection;
};
