#include <QApplication>
#include <QSplitter>
#include <QTimer>
#include <QToolButton>

#include "app/Forms.h"
#include "app/Links.h"
#include "app/child_model.h"
#include "app/goods.h"
#include "app/login.h"
#include "app/main.h"
#include "app/sellManager.h"
#include "tests/app/AppFixture.h"
#include "upgrade/upUpdater.h"

using StartupTest = AppTest;
using MainWindowTest = AppTest;

TEST_F(StartupTest, missing_database_stops_before_the_login_window_naming_the_path)
{
    std::filesystem::remove("ledgr.mdb");
    try {
        CreateForms();
        FAIL() << "started without a database";
    } catch (const store::StoreError& e) {
        EXPECT_NE(std::string(e.what()).find(dir.file("ledgr.mdb")), std::string::npos);
    }
    EXPECT_EQ(Form1, nullptr);
    EXPECT_FALSE(std::filesystem::exists("ledgr.mdb"));
}

TEST_F(StartupTest, four_connections_open_before_login_and_the_base_window_holds_none)
{
    StartForms();
    EXPECT_EQ(store::Connection::OpenCount(), 4);
    EXPECT_FALSE(Form3->isVisible());
    EXPECT_FALSE(Form3->ADOConnection1().Connected());
    EXPECT_FALSE(Form1->ADOConnection().Connected());
    LogIn();
    EXPECT_EQ(store::Connection::OpenCount(), 5);
}

TEST_F(StartupTest, title_carries_the_release_date)
{
    StartForms();
    EXPECT_EQ(Form1->upUpdater1()->VersionDate(), "10/20/2013");
    EXPECT_EQ(Form2->windowTitle(), QStringLiteral("Tallybrook 3.6 永久免费  【2013-10-20】"));
    EXPECT_EQ(TitleWithDate("T", "1/2"), QStringLiteral("T【-1-2】"));
}

TEST_F(StartupTest, clock_pane_reads_date_and_24_hour_time)
{
    QDateTime t(QDate(2014, 3, 1), QTime(9, 5, 3));
    EXPECT_EQ(TClockStatus::Format(t), QStringLiteral("2014年03月01日 09:05:03"));
    EXPECT_EQ(TClockStatus::Format(QDateTime(QDate(2013, 10, 20), QTime(14, 5, 9))),
              QStringLiteral("2013年10月20日 14:05:09"));
}

TEST_F(MainWindowTest, goods_window_hosted_twice_stays_one_window_in_front)
{
    StartForms();
    LogIn();
    Form2->ItemClick("商品管理");
    Form2->ItemClick("商品管理");
    EXPECT_EQ(Form4->parentWidget(), Form2->Panel1);
    EXPECT_EQ(Form2->Panel1->findChildren<TForm4*>().size(), 1);
    EXPECT_EQ(Form2->FrontChild(), Form4);
    EXPECT_EQ(Form4->geometry(), Form2->Panel1->rect());
}

TEST_F(MainWindowTest, switching_windows_keeps_the_one_behind_and_its_first_show_runs_once)
{
    Sql("insert into spxx(spbm, spmc, bz) values ('a', 'b', 'c')");
    StartForms();
    LogIn();
    Form2->ItemClick("商品管理");
    EXPECT_EQ(Form4->ADOQuery2().RecordCount(), 1);
    Sql("insert into spxx(spbm, spmc, bz) values ('d', 'e', 'f')");
    Form2->ItemClick("销售查询");
    EXPECT_EQ(Form2->FrontChild(), Form7);
    Form2->ItemClick("商品管理");
    EXPECT_EQ(Form2->FrontChild(), Form4);
    EXPECT_TRUE(Form7->isVisible());
    // Another connection added a row meanwhile: the list shows what is stored now.
    EXPECT_EQ(Form4->ADOQuery2().RecordCount(), 2);
    // Nothing changed since: the list, its current row and its filter stay as they are.
    Form4->ADOQuery2().MoveTo(1);
    Form2->ItemClick("销售查询");
    Form2->ItemClick("商品管理");
    EXPECT_EQ(Form4->ADOQuery2().RecNo(), 2);
}

TEST_F(MainWindowTest, navigation_launches_tools_and_pages_and_the_ledger_item_does_nothing)
{
    QStringList launched;
    SetLauncher([&](const QString& kind, const QString& target) { launched << kind + ":" + target; });
    StartForms();
    LogIn();
    Form2->ItemClick("记账本");
    EXPECT_TRUE(launched.isEmpty());
    Form2->ItemClick("网址导航");
    Form2->ItemClick("捐助作者");
    ASSERT_EQ(launched.size(), 2);
    EXPECT_TRUE(launched[0].startsWith("url:https://"));
    Form2->ItemClick("计算器");
    if (!FindTool(ToolKind::Calculator).isEmpty()) {
        EXPECT_EQ(launched.size(), 3);
        EXPECT_TRUE(prompter.shown.isEmpty());
    } else {
        // Nothing installed to run it: the seller is told, not left wondering.
        ASSERT_EQ(prompter.shown.size(), 1);
        EXPECT_TRUE(prompter.shown[0].startsWith(QStringLiteral("info:无法启动计算器")))
            << prompter.shown[0].toStdString();
    }
    SetLauncher(nullptr);
}

TEST_F(MainWindowTest, navigation_has_four_open_groups_and_the_splitter_folds)
{
    StartForms();
    LogIn();
    ASSERT_EQ(Form2->GroupBar1->topLevelItemCount(), 4);
    QStringList groups;
    for (int i = 0; i < 4; ++i) {
        groups << Form2->GroupBar1->topLevelItem(i)->text(0);
        EXPECT_TRUE(Form2->GroupBar1->topLevelItem(i)->isExpanded());
    }
    EXPECT_EQ(groups, (QStringList{"商品", "销售", "工具", "网址"}));
    auto* fold = Form2->Splitter1->handle(1)->findChild<QToolButton*>("FoldButton");
    ASSERT_NE(fold, nullptr);
    fold->click();
    EXPECT_EQ(Form2->Splitter1->sizes().value(0), 0);
    fold->click();
    EXPECT_GT(Form2->Splitter1->sizes().value(0), 0);
}

TEST_F(MainWindowTest, closing_the_main_window_ends_the_program)
{
    StartForms();
    LogIn();
    bool quit = false;
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, [&] { quit = true; });
    QTimer::singleShot(0, Form2, [] { Form2->close(); });
    QTimer::singleShot(3000, qApp, [] { QApplication::exit(7); });
    int rc = QApplication::exec();
    EXPECT_NE(rc, 7) << "the event loop did not end when the main window closed";
    EXPECT_TRUE(quit);
}
