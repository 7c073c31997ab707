// The windows behave as a Linux desktop user expects: a navigation item runs
// once per click or double-click, Qt's own texts are Chinese, no control
// overlaps another from 1024 x 600 to 1920 x 1080, and the keyboard works.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "app/DataControls.h"
#include "app/Forms.h"
#include "app/Links.h"
#include "app/Translations.h"
#include "app/backupwindow.h"
#include "app/child_model.h"
#include "app/goods.h"
#include "app/login.h"
#include "app/main.h"
#include "app/sell.h"
#include "app/sellManager.h"
#include "tests/app/AppFixture.h"

class DesktopTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        SetLauncher([this](const QString& kind, const QString& target) { launched << kind + ":" + target; });
        StartForms();
        LogIn();
    }
    void TearDown() override
    {
        SetLauncher(nullptr);
        AppTest::TearDown();
    }
    QTreeWidgetItem* NavItem(const QString& caption)
    {
        auto found = Form2->GroupBar1->findItems(caption, Qt::MatchExactly | Qt::MatchRecursive);
        return found.value(0);
    }
    QPoint NavPoint(const QString& caption) { return Form2->GroupBar1->visualItemRect(NavItem(caption)).center(); }
    // The leaf controls a seller sees in `w`, except what lives inside a grid.
    static QList<QWidget*> Controls(QWidget* w)
    {
        QList<QWidget*> out;
        for (QWidget* c : w->findChildren<QWidget*>()) {
            if (!c->isVisibleTo(w) || c->window() != w->window()) continue;
            bool inGrid = false;
            for (QWidget* p = c->parentWidget(); p && p != w; p = p->parentWidget())
                if (qobject_cast<QAbstractItemView*>(p) || qobject_cast<QDateEdit*>(p)) inGrid = true;
            if (inGrid) continue;
            if (qobject_cast<QLabel*>(c) || qobject_cast<QAbstractButton*>(c) || qobject_cast<QLineEdit*>(c) ||
                qobject_cast<QDateEdit*>(c))
                out << c;
        }
        return out;
    }
    // Every pair of controls of the child window in front stands apart, and
    // every button and label has room for its text.
    void ExpectTidy(TForm3* child, const QString& where)
    {
        QList<QWidget*> all = Controls(child);
        ASSERT_FALSE(all.isEmpty());
        for (QWidget* c : all) {
            if (qobject_cast<QLineEdit*>(c) && c->parentWidget() && qobject_cast<QDateEdit*>(c->parentWidget()))
                continue;
            if (auto* b = qobject_cast<QPushButton*>(c))
                EXPECT_GE(b->width(), b->minimumSizeHint().width())
                    << where.toStdString() << " cut: " << b->text().toStdString();
        }
        for (int i = 0; i < all.size(); ++i)
            for (int j = i + 1; j < all.size(); ++j) {
                QWidget* a = all[i];
                QWidget* b = all[j];
                if (a->isAncestorOf(b) || b->isAncestorOf(a)) continue;
                // The date pickers stand in the day-range caption's gaps by design.
                if (qobject_cast<QCheckBox*>(a) && qobject_cast<QDateEdit*>(b)) continue;
                if (qobject_cast<QDateEdit*>(a) && qobject_cast<QCheckBox*>(b)) continue;
                QRect ra(a->mapTo(child, QPoint(0, 0)), a->size());
                QRect rb(b->mapTo(child, QPoint(0, 0)), b->size());
                EXPECT_FALSE(ra.intersects(rb)) << where.toStdString() << ": " << a->objectName().toStdString() << "/"
                                                << a->metaObject()->className() << " overlaps "
                                                << b->objectName().toStdString() << "/" << b->metaObject()->className();
            }
    }
    QStringList launched;
};

TEST_F(DesktopTest, a_double_click_on_a_navigation_item_runs_it_once)
{
    QWidget* view = Form2->GroupBar1->viewport();
    QTest::mouseClick(view, Qt::LeftButton, {}, NavPoint("网址导航"));
    QTest::mouseDClick(view, Qt::LeftButton, {}, NavPoint("网址导航"));
    EXPECT_EQ(launched.size(), 1) << launched.join("|").toStdString();
    // A second click after the double-click interval runs it again.
    QTest::qWait(QApplication::doubleClickInterval() + 100);
    QTest::mouseClick(view, Qt::LeftButton, {}, NavPoint("网址导航"));
    EXPECT_EQ(launched.size(), 2);
    // Another item right after runs at once.
    QTest::mouseClick(view, Qt::LeftButton, {}, NavPoint("捐助作者"));
    EXPECT_EQ(launched.size(), 3);
}

TEST_F(DesktopTest, qt_texts_are_chinese_whatever_the_system_language)
{
    ASSERT_TRUE(LoadChineseTranslations(*qApp));
    EXPECT_EQ(QLocale().language(), QLocale::Chinese);
    EXPECT_NE(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("&Yes"));
    EXPECT_NE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
    EXPECT_NE(QCoreApplication::translate("QFileDialog", "%1 already exists.\nDo you want to replace it?"),
              QStringLiteral("%1 already exists.\nDo you want to replace it?"));
    EXPECT_EQ(QLocale().dayName(1, QLocale::ShortFormat), QStringLiteral("周一"));
}

TEST_F(DesktopTest, captions_are_the_programs_own_texts)
{
    // A display name set on the application is appended by the platform to
    // every caption ("用户登录 — Tallybrook"); the program sets none.
    qApp->setApplicationName("tallybrook");
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), QStringLiteral("tallybrook"));
    EXPECT_EQ(Form1->windowTitle(), QStringLiteral("用户登录"));
}

TEST_F(DesktopTest, no_control_overlaps_another_from_1024_by_600_to_1920_by_1080)
{
    for (QSize size : {QSize(1024, 600), QSize(1920, 1080)}) {
        Form2->showNormal();
        Form2->resize(size);
        for (const char* item : {"商品管理", "销售登记", "销售查询"}) {
            Form2->ItemClick(item);
            QApplication::processEvents();
            EXPECT_LE(Form2->width(), size.width()) << item;
            EXPECT_LE(Form2->height(), size.height()) << item;
            ExpectTidy(Form2->FrontChild(), QString("%1x%2 %3").arg(size.width()).arg(size.height()).arg(item));
        }
        Form4->PageControl1->setCurrentIndex(1);
        QApplication::processEvents();
        ExpectTidy(Form4, "entry form");
        Form4->PageControl1->setCurrentIndex(0);
    }
}

TEST_F(DesktopTest, enter_runs_the_sales_query_and_the_backup_window_closes_with_esc)
{
    Form2->ItemClick("销售查询");
    Sql("insert into xssp(ddbh, sj, jj, gmsl) values ('K-9', 1, 1, 1)");
    Form7->Edit1->setText("K-9");
    QTest::keyClick(Form7->Edit1, Qt::Key_Return);
    EXPECT_EQ(Form7->ADOQuery1().RecordCount(), 1);
    Form2->ItemClick("数据备份");
    TBackupWindow* backups = Form2->BackupWindow();
    ASSERT_TRUE(backups->isVisible());
    QTest::keyClick(backups->List, Qt::Key_Escape);
    EXPECT_FALSE(backups->isVisible());
    Form2->ItemClick("数据备份");
    QTest::mouseClick(backups->CloseButton, Qt::LeftButton);
    EXPECT_FALSE(backups->isVisible());
}

using LoginKeysTest = AppTest;

TEST_F(LoginKeysTest, enter_in_the_user_box_moves_to_the_password_box)
{
    StartForms();
    Form1->show();
    Form1->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Form1));
    Form1->Edit1->setFocus();
    Form1->Edit1->setText("admin");
    Form1->Edit2->clear();
    QTest::keyClick(Form1->Edit1, Qt::Key_Return);
    EXPECT_TRUE(Form1->Edit2->hasFocus());
    EXPECT_TRUE(Form1->isVisible());  // no login attempt
    EXPECT_TRUE(prompter.shown.isEmpty());
}
