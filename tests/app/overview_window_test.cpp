// The overview window as the seller uses it: first after login, the cards,
// the chart picture, the low-stock click and the report on the command line.
#include <QImage>
#include <QProcess>
#include <QSettings>

#include "app/Forms.h"
#include "app/OverviewChart.h"
#include "app/Safety.h"
#include "app/goods.h"
#include "app/login.h"
#include "app/main.h"
#include "app/overviewwindow.h"
#include "store/DataSet.h"
#include "tests/app/AppFixture.h"
#include "tests/app/XlsPeer.h"

using namespace std::chrono;

class OverviewWindowTest : public AppTest {
protected:
    void SaleDaysAgo(int ago, const char* code, const char* sale, const char* cost, int qty)
    {
        std::string day = DayText(year_month_day{sys_days{LocalToday()} - days{ago}});
        Sql("insert into xssp(ddbh, spbm, spmc, sj, jj, gmsl, xssj) values (:o, :c, :n, :s, :j, "
            ":q, :t)",
            {{":o", "D" + std::to_string(ago)},
             {":c", std::string(code)},
             {":n", std::string("品") + code},
             {":s", std::stod(sale)},
             {":j", std::stod(cost)},
             {":q", std::int64_t(qty)},
             {":t", day + " 12:00:00"}});
    }
    // The overview in front, with the figures of its newest reload shown.
    TOverviewWindow* Front()
    {
        auto* w = qobject_cast<TOverviewWindow*>(Form2->FrontChild());
        if (w) w->WaitUntilLoaded();
        return w;
    }
};

TEST_F(OverviewWindowTest, opens_first_after_login_when_there_are_sales)
{
    SaleDaysAgo(0, "A", "19.99", "12.5", 3);
    StartForms();
    LogIn();
    TOverviewWindow* w = Front();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->CardValues[0][0]->text(), QStringLiteral("59.97元"));
    EXPECT_EQ(w->CardValues[0][2]->text(), QStringLiteral("22.47元"));
    EXPECT_EQ(w->CardValues[3][3]->text(), QStringLiteral("3件"));
    EXPECT_EQ(w->ByProfit->item(0, 0)->text(), "A");
}

TEST_F(OverviewWindowTest, without_sales_login_shows_no_child_window)
{
    StartForms();
    LogIn();
    EXPECT_EQ(Form2->FrontChild(), nullptr);
    Form2->ItemClick(QStringLiteral("经营概况"));
    ASSERT_NE(Front(), nullptr);
    EXPECT_EQ(Front()->CardValues[1][0]->text(), QStringLiteral("0.00元"));
    EXPECT_EQ(Front()->Figures().series.size(), 30u);
}

TEST_F(OverviewWindowTest, the_span_box_redraws_ninety_days_or_twelve_months)
{
    SaleDaysAgo(60, "A", "10", "5", 1);
    StartForms();
    LogIn();
    TOverviewWindow* w = Front();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->ByProfit->rowCount(), 0);
    w->SpanBox->setCurrentIndex(1);
    w->WaitUntilLoaded();
    EXPECT_EQ(w->Figures().series.size(), 90u);
    EXPECT_EQ(w->ByProfit->rowCount(), 1);
    w->SpanBox->setCurrentIndex(2);
    w->WaitUntilLoaded();
    EXPECT_EQ(w->Figures().series.size(), 12u);
    EXPECT_TRUE(w->Figures().range.monthly);
    EXPECT_TRUE(w->Chart->TooltipText(11).contains(QStringLiteral("销售额: ")));
}

TEST_F(OverviewWindowTest, the_tooltip_holds_the_exact_figures_of_the_day)
{
    SaleDaysAgo(1, "A", "0.3333", "0.1", 3);
    StartForms();
    LogIn();
    TOverviewWindow* w = Front();
    ASSERT_NE(w, nullptr);
    QString yesterday = QString::fromStdString(DayText(year_month_day{sys_days{LocalToday()} - days{1}}));
    EXPECT_EQ(w->Chart->TooltipText(28),
              yesterday + QStringLiteral("\n销售额: 0.9999元\n进货成本: 0.30元\n利润: 0.6999元\n"
                                         "商品数量: 3件\n订单数: 1"));
    EXPECT_EQ(w->Chart->TooltipText(30), QString());
}

TEST_F(OverviewWindowTest, the_picture_export_writes_a_png_of_the_charts_size)
{
    SaleDaysAgo(2, "A", "10", "5", 1);
    StartForms();
    LogIn();
    TOverviewWindow* w = Front();
    ASSERT_NE(w, nullptr);
    QString file = QString::fromStdString(dir.file("chart"));
    prompter.files = {file};
    w->PictureButton->click();
    EXPECT_EQ(prompter.shown.last(), "info:文件保存成功!");
    QImage img(file + ".png");
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.size(), w->Chart->size() * w->Chart->devicePixelRatio());
}

TEST_F(OverviewWindowTest, the_figures_go_to_a_workbook)
{
    SaleDaysAgo(0, "A", "19.99", "12.5", 2);
    StartForms();
    LogIn();
    QString file = QString::fromStdString(dir.file("figures.xls"));
    prompter.files = {file};
    Front()->ExportButton->click();
    EXPECT_TRUE(prompter.shown[0].contains(QStringLiteral("经营概况导出")));
    QStringList rows = XlrdRows(file);
    ASSERT_EQ(rows.size(), 1 + 5 + 30 + 1 + 1) << rows.join("\n").toStdString();
    EXPECT_TRUE(rows[0].startsWith(QStringLiteral("类别\t项目\t起\t止\t销售额")));
    EXPECT_TRUE(rows[1].startsWith(QStringLiteral("概况\t今天\t"))) << rows[1].toStdString();
    EXPECT_TRUE(rows[1].endsWith(QStringLiteral("\t39.98\t25.00\t14.98\t2\t1"))) << rows[1].toStdString();
}

TEST_F(OverviewWindowTest, a_low_stock_click_opens_the_goods_window_on_that_code)
{
    Sql("insert into spxx(spbm, spmc, spkc) values ('LOW1', '快没了', 2), ('LOW10', '还多', 50), "
        "('OK', '够', 80)");
    StartForms();
    LogIn();
    Form2->ItemClick(QStringLiteral("经营概况"));
    TOverviewWindow* w = Front();
    ASSERT_NE(w, nullptr);
    ASSERT_EQ(w->LowStockList->rowCount(), 1);
    EXPECT_EQ(w->LowStockList->item(0, 0)->text(), "LOW1");
    w->ThresholdBox->setValue(60);
    EXPECT_EQ(w->LowStockList->rowCount(), 2);
    QSettings ini(Form1->Settings().WritePath(), QSettings::IniFormat);
    EXPECT_EQ(ini.value("overview/lowstock").toInt(), 60);
    w->OpenGoods(1);
    EXPECT_EQ(Form2->FrontChild(), Form4);
    EXPECT_EQ(Form4->Edit1->text(), "LOW10");
    ASSERT_EQ(Form4->ADOQuery2().RecordCount(), 1);
    EXPECT_EQ(Form4->ADOQuery2().Text(0, 0), "LOW10");
}

TEST_F(OverviewWindowTest, the_threshold_is_five_until_the_seller_sets_one)
{
    QString ini = QString::fromStdString(dir.file("config.ini"));
    EXPECT_EQ(ReadLowStockThreshold(ini), 5);
    WriteLowStockThreshold(ini, 12);
    EXPECT_EQ(ReadLowStockThreshold(ini), 12);
}

TEST_F(OverviewWindowTest, the_command_line_report_equals_the_windows_figures)
{
    SaleDaysAgo(0, "A", "19.99", "12.5", 2);
    SaleDaysAgo(3, "B", "7.77", "1.01", 5);
    SaleDaysAgo(20, "A", "19.99", "12.5", 1);
    StartForms();
    LogIn();
    TOverviewWindow* w = Front();
    ASSERT_NE(w, nullptr);
    QProcess p;
    p.setWorkingDirectory(QString::fromStdString(dir.path().string()));
    p.start(QString(TB_BIN_DIR) + "/tallybrook", {"report"});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    QStringList out = QString::fromUtf8(p.readAllStandardOutput()).split('\n');
    for (int card = 0; card < 4; ++card) {
        QStringList cells = out.value(card + 1).split('\t');
        ASSERT_EQ(cells.size(), 8) << out.value(card + 1).toStdString();
        for (int k = 0; k < 5; ++k) {
            QString shown = w->CardValues[static_cast<size_t>(card)][static_cast<size_t>(k)]->text();
            EXPECT_EQ(shown.left(shown.size() - 1), cells[3 + k]) << card << " " << k;
        }
    }
    EXPECT_EQ(out.value(4).split('\t').value(3), QStringLiteral("98.82"));  // 39.98 + 38.85 + 19.99
}

TEST_F(OverviewWindowTest, a_restored_backup_shows_in_the_overview)
{
    SaleDaysAgo(0, "A", "10", "4", 1);
    StartForms();
    LogIn();
    TOverviewWindow* w = Front();
    ASSERT_NE(w, nullptr);
    std::string backup = BackupBefore("test");
    SaleDaysAgo(0, "B", "10", "4", 2);
    w->RefreshButton->click();
    w->WaitUntilLoaded();
    EXPECT_EQ(w->CardValues[0][3]->text(), QStringLiteral("3件"));
    RestoreBackup(backup);
    w->WaitUntilLoaded();
    EXPECT_EQ(w->CardValues[0][3]->text(), QStringLiteral("1件"));
    EXPECT_TRUE(w->ADOConnection1().Connected());
}
