#include "app/main.h"
#include "app/Resources.h"

#include <QApplication>
#include <QCloseEvent>
#include <QPainter>
#include <QSplitterHandle>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/ErrorReport.h"
#include "app/Forms.h"
#include "app/Links.h"
#include "app/Prompter.h"
#include "app/accountswindow.h"
#include "app/backupwindow.h"
#include "app/goods.h"
#include "app/login.h"
#include "app/overviewwindow.h"
#include "app/sell.h"
#include "app/sellManager.h"
#include "upgrade/upUpdater.h"

namespace {

// The splitter bar carries a small button that folds the navigation away and back.
class TFoldingHandle : public QSplitterHandle {
public:
    TFoldingHandle(Qt::Orientation o, QSplitter* parent) : QSplitterHandle(o, parent)
    {
        auto* btn = new QToolButton(this);
        btn->setObjectName("FoldButton");
        btn->setArrowType(Qt::LeftArrow);
        btn->setAutoRaise(true);
        btn->setFixedSize(7, 40);
        btn->setToolTip(QStringLiteral("折叠 / 展开导航栏"));
        connect(btn, &QToolButton::clicked, this, [this, btn] {
            QList<int> sizes = splitter()->sizes();
            bool folded = sizes.value(0) == 0;
            int total = sizes.value(0) + sizes.value(1);
            splitter()->setSizes({folded ? 161 : 0, folded ? total - 161 : total});
            btn->setArrowType(folded ? Qt::LeftArrow : Qt::RightArrow);
        });
        FButton = btn;
    }

protected:
    void resizeEvent(QResizeEvent* e) override
    {
        QSplitterHandle::resizeEvent(e);
        FButton->move(0, (height() - FButton->height()) / 2);
    }

private:
    QToolButton* FButton;
};

class TFoldingSplitter : public QSplitter {
public:
    using QSplitter::QSplitter;

protected:
    QSplitterHandle* createHandle() override { return new TFoldingHandle(orientation(), this); }
};

struct NavItem {
    const char* group;
    const char* caption;
    QStyle::StandardPixmap icon;
};

const NavItem kNavItems[] = {
    {"商品", "商品管理", QStyle::SP_FileDialogDetailedView},
    {"销售", "经营概况", QStyle::SP_FileDialogInfoView},
    {"销售", "销售登记", QStyle::SP_FileDialogNewFolder},
    {"销售", "销售查询", QStyle::SP_FileDialogContentsView},
    {"工具", "记账本", QStyle::SP_FileIcon},
    {"工具", "计算器", QStyle::SP_ComputerIcon},
    {"工具", "记事本", QStyle::SP_FileDialogListView},
    {"工具", "数据备份", QStyle::SP_DriveHDIcon},
    {"工具", "账号管理", QStyle::SP_DialogApplyButton},
    {"网址", "Mercavo网", QStyle::SP_DriveNetIcon},
    {"网址", "Paylark", QStyle::SP_DriveNetIcon},
    {"网址", "网址导航", QStyle::SP_DirHomeIcon},
    {"网址", "作者论坛", QStyle::SP_MessageBoxInformation},
    {"网址", "作者店铺", QStyle::SP_DirIcon},
    {"网址", "捐助作者", QStyle::SP_DialogYesButton},
};

}  // namespace

QString TitleWithDate(const QString& caption, const QString& versionDate)
{
    QStringList p = versionDate.split('/');
    while (p.size() < 3) p << QString();
    return caption + QStringLiteral("【") + p[2] + "-" + p[0] + "-" + p[1] + QStringLiteral("】");
}

TForm2::TForm2(QWidget* parent) : QMainWindow(parent)
{
    setObjectName("Form2");
    setWindowTitle(QStringLiteral("Tallybrook 3.6 永久免费  "));
    setWindowIcon(AppIcon());
    resize(805, 565);

    auto* band = new QToolBar(this);
    band->setObjectName("ToolBar1");
    band->setMovable(false);
    band->setFixedHeight(44);
    band->setStyleSheet("QToolBar { border-top: 2px groove palette(mid); "
                        "background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #fdfdfd, stop:1 #d9e3f0); }");
    addToolBar(Qt::TopToolBarArea, band);

    Splitter1 = new TFoldingSplitter(Qt::Horizontal, this);
    Splitter1->setObjectName("Splitter1");
    Splitter1->setHandleWidth(7);
    Splitter1->setChildrenCollapsible(true);
    GroupBar1 = new QTreeWidget(Splitter1);
    GroupBar1->setObjectName("GroupBar1");
    Panel1 = new QWidget(Splitter1);
    Panel1->setObjectName("Panel1");
    Panel1->setMinimumWidth(200);
    Image1 = new QLabel;
    Image1->setObjectName("Image1");
    Image1->setScaledContents(true);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({161, 644});
    setCentralWidget(Splitter1);

    statusBar()->setFixedHeight(19);
    statusBar()->setStyleSheet(
        "QStatusBar { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #eef2f8, stop:1 #c9d5e6); }");
    BuildNavigation();
    FormCreate();
}

void TForm2::BuildNavigation()
{
    GroupBar1->setHeaderHidden(true);
    GroupBar1->setIconSize(QSize(16, 16));
    GroupBar1->setRootIsDecorated(false);
    GroupBar1->setIndentation(12);
    QFont itemFont("Tahoma");
    itemFont.setPixelSize(13);
    QFont groupFont = itemFont;
    groupFont.setBold(true);
    QTreeWidgetItem* group = nullptr;
    int groups = 0;
    for (const NavItem& n : kNavItems) {
        QString g = QString::fromUtf8(n.group);
        if (!group || group->text(0) != g) {
            group = new QTreeWidgetItem(GroupBar1, {g});
            group->setFont(0, groups++ == 0 ? itemFont : groupFont);
            group->setFlags(Qt::ItemIsEnabled);
            if (groups > 1) group->setForeground(0, palette().highlight());
            group->setExpanded(true);
        }
        auto* item = new QTreeWidgetItem(group, {QString::fromUtf8(n.caption)});
        item->setIcon(0, style()->standardIcon(n.icon));
        item->setFont(0, itemFont);
    }
    GroupBar1->expandAll();
    GroupBar1->setItemsExpandable(false);
    // A click, a double-click (whose first click already ran the item) and the
    // desktop's single-click activation all report the same item within one
    // double-click interval: it runs once. Enter on an item runs it too.
    auto activate = [this](QTreeWidgetItem* item) {
        if (!item || !item->parent()) return;
        if (item == FLastRun && FLastRunTime.isValid() && FLastRunTime.elapsed() < QApplication::doubleClickInterval())
            return;
        FLastRun = item;
        FLastRunTime.start();
        Guarded([&] { ItemClick(item->text(0)); });
    };
    connect(GroupBar1, &QTreeWidget::itemClicked, this, activate);
    connect(GroupBar1, &QTreeWidget::itemActivated, this, activate);
}

void TForm2::FormCreate()
{
    Image1->setParent(Panel1);
    Image1->setPixmap(QPixmap(":/tallybrook/background.jpg"));
    Image1->setGeometry(Panel1->rect());
    Image1->lower();
    Panel1->installEventFilter(this);
    setWindowTitle(TitleWithDate(windowTitle(), Form1->upUpdater1()->VersionDate()));
}

bool TForm2::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == Panel1 && e->type() == QEvent::Resize) Image1->setGeometry(Panel1->rect());
    return QMainWindow::eventFilter(watched, e);
}

void TForm2::Host(TForm3* child)
{
    // What is typed into the window in front is posted before another comes
    // up; a value the store refuses keeps that window in front with its message.
    TForm3* front = FrontChild();
    if (front && front != child && !front->PostPendingEdits()) return;
    HostChildWindow(child, Panel1);
}

void TForm2::ItemClick(const QString& caption)
{
    if (caption == QStringLiteral("商品管理")) return Host(Form4);
    if (caption == QStringLiteral("经营概况")) {
        TForm3* front = FrontChild();
        if (front && front != CreatedOverviewWindow() && !front->PostPendingEdits()) return;
        return ShowOverview();
    }
    if (caption == QStringLiteral("销售登记")) return Host(Form5);
    if (caption == QStringLiteral("销售查询")) return Host(Form7);
    if (caption == QStringLiteral("计算器")) return StartToolOrSay(ToolKind::Calculator, QStringLiteral("计算器"));
    if (caption == QStringLiteral("记事本")) return StartToolOrSay(ToolKind::TextEditor, QStringLiteral("记事本"));
    if (caption == QStringLiteral("数据备份")) return ShowBackupWindow();
    if (caption == QStringLiteral("账号管理")) return ShowAccountsWindow();
    // The web pages; "记账本" has no action and no address.
    if (!LinkAddress(caption).isEmpty() && !OpenLink(caption))
        Prompter().Information(QStringLiteral("无法打开网页 %1。\n没有找到可以打开网页的浏览器, 请安装浏览器后再试。")
                                   .arg(LinkAddress(caption)));
}

void TForm2::StartToolOrSay(ToolKind kind, const QString& name)
{
    if (StartTool(kind)) return;
    Prompter().Information(QStringLiteral("无法启动%1。\n系统中没有找到可用的%1程序 (%2), 请先安装其中一个。")
                               .arg(name, ToolCandidates(kind).join(", ")));
}

void TForm2::ShowBackupWindow()
{
    if (!FBackupWindow) FBackupWindow = new TBackupWindow(this);
    FBackupWindow->show();
    FBackupWindow->raise();
}

void TForm2::ShowAccountsWindow()
{
    if (!FAccountsWindow) FAccountsWindow = new TAccountsWindow;
    FAccountsWindow->SetLoggedIn(Form1->CurrentUser());
    HostChildWindow(FAccountsWindow, Panel1);
}

TForm3* TForm2::FrontChild() const
{
    const auto kids = Panel1->children();
    for (auto it = kids.rbegin(); it != kids.rend(); ++it)
        if (auto* f = qobject_cast<TForm3*>(*it); f && f->isVisible()) return f;
    return nullptr;
}

void TForm2::closeEvent(QCloseEvent* e)
{
    // Typing still open in a grid is stored before the program ends; a value
    // the store refuses keeps the program open with its message.
    for (TForm3* child : std::initializer_list<TForm3*>{Form4, Form5, Form7})
        if (child && child->WasShown() && !child->PostPendingEdits()) {
            HostChildWindow(child, Panel1);
            return e->ignore();
        }
    e->accept();
    QApplication::quit();
}
