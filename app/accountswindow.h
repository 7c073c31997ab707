// The "账号管理" child window: the list of accounts, adding one, changing a
// password and removing an account. The rules live in TAccounts.
#pragma once

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include "app/child_model.h"

class TAccountsWindow : public TForm3 {
    Q_OBJECT
public:
    explicit TAccountsWindow(QWidget* parent = nullptr);

    QTableWidget* List;
    QLineEdit* EditName;
    QLineEdit* EditPassword;
    QLineEdit* EditPassword2;
    QPushButton* AddButton;  // 新增账号
    QLabel* LabelAccount;    // the account whose password the box below changes
    QLineEdit* EditOldPassword;
    QLineEdit* EditNewPassword;
    QLineEdit* EditNewPassword2;
    QPushButton* ChangeButton;  // 修改密码
    QPushButton* DeleteButton;  // 删除账号

    // The account logged in: its password change asks for the old one and it
    // cannot be removed.
    void SetLoggedIn(const QString& name);
    void Reload();
    void SelectAccount(const QString& name);
    QString SelectedName() const;

    void AddClick();
    void ChangeClick();
    void DeleteClick();

protected:
    void showEvent(QShowEvent* e) override;

private:
    QGroupBox* BuildAddBox();
    QGroupBox* BuildChangeBox();
    void SelectionChanged();
    // Runs `action`; a refusal is shown to the seller and returns false.
    template <typename F> bool Try(F&& action);
    QString FLoggedIn;
};
