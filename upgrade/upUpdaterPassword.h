// The password window: asks for the user name and password that the update
// server demands for a file.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;
class TupUpdater;

class TupUpdaterPasswordForm : public QDialog {
    Q_OBJECT
public:
    explicit TupUpdaterPasswordForm(QWidget* parent = nullptr);
    ~TupUpdaterPasswordForm() override;

    void Prepare(TupUpdater* updater, const QString& fileName);
    static TupUpdaterPasswordForm* Instance();
    // Modal; true when closed with OK, the entries then stored in the updater.
    static bool AskPassword(TupUpdater* updater, const QString& fileName);

    TupUpdater* Updater = nullptr;
    QLabel* Label1;
    QWidget* BottomPanel;
    QLabel* UsernameLab;
    QLabel* PasswordLab;
    QLineEdit* UsernameEdit;
    QLineEdit* PasswordEdit;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

private:
    void StoreEntries();
};
