// The main window: title with the release date, the navigation bar, the
// panel that hosts the child windows, tools and web links.
#pragma once

#include <QElapsedTimer>
#include <QLabel>
#include <QMainWindow>
#include <QSplitter>
#include <QTreeWidget>

#include "app/Links.h"

class TForm3;
class TBackupWindow;
class TAccountsWindow;

class TForm2 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);

    QTreeWidget* GroupBar1;
    QSplitter* Splitter1;
    QWidget* Panel1;
    QLabel* Image1;

    // Runs the action of the navigation item with this caption.
    void ItemClick(const QString& caption);
    // The child window in front of the host panel, if any.
    TForm3* FrontChild() const;
    void ShowBackupWindow();
    TBackupWindow* BackupWindow() const { return FBackupWindow; }
    void ShowAccountsWindow();
    TAccountsWindow* AccountsWindow() const { return FAccountsWindow; }

protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void BuildNavigation();
    void FormCreate();
    void Host(TForm3* child);
    void StartToolOrSay(ToolKind kind, const QString& name);
    QTreeWidgetItem* FLastRun = nullptr;
    QElapsedTimer FLastRunTime;
    TBackupWindow* FBackupWindow = nullptr;
    TAccountsWindow* FAccountsWindow = nullptr;
};

// The title the main window shows for a release date "mm/dd/yyyy".
QString TitleWithDate(const QString& caption, const QString& versionDate);
