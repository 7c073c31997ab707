// The "数据备份" window: the list of backups with restore and back-up-now,
// what the copies take on disk, and the budget they are kept within.
#pragma once

#include <QDialog>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

class TBackupWindow : public QDialog {
    Q_OBJECT
public:
    explicit TBackupWindow(QWidget* parent = nullptr);

    QTableWidget* List;
    QPushButton* RestoreButton;  // 恢复
    QPushButton* BackupButton;   // 立即备份
    QPushButton* CloseButton;    // 关闭
    QLabel* UsageLabel;          // what the copies take, and the budget
    QDoubleSpinBox* BudgetBox;   // the budget in GB; 0 shows "自动"
    QPushButton* BudgetButton;   // 保存上限

    void Reload();
    void RestoreSelected();
    void BackupNow();
    void SaveBudget();

protected:
    void showEvent(QShowEvent* e) override;
};
