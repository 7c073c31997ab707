// The "数据备份" window: the list of backups with restore and back-up-now.
#pragma once

#include <QDialog>
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

    void Reload();
    void RestoreSelected();
    void BackupNow();

protected:
    void showEvent(QShowEvent* e) override;
};
