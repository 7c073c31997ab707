// The sales query window, driven offscreen.
#include <QApplication>
#include <QDate>
#include <QHeaderView>

#include "app/DataControls.h"
#include "app/Forms.h"
#include "app/main.h"
#include "app/sellManager.h"
#include "tests/app/AppFixture.h"

class SellManagerTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        QDate today = QDate::currentDate();
        monthStart = QDate(today.year(), today.month(), 1);
        monthEnd = monthStart.addMonths(1).addDays(-1);
        Sale("本月-1", "A1", "红色T恤", 35.5, 20, 2, monthStart.toString("yyyy-MM-dd") + " 00:00:00");
        Sale("本月-2", "B2", "帽子", 9.9, 3.25, 1, monthEnd.toString("yyyy-MM-dd") + " 23:59:59");
        Sale("上月", "A1", "红色T恤", 30, 20, 5, monthStart.addDays(-1).toString("yyyy-MM-dd") + " 12:00:00");
        Sql("insert into xssp(ddbh, xssj) values ('空行', :t)",
            {{":t", monthStart.toString("yyyy-MM-dd 08:00:00").toStdString()}});
        StartForms();
        LogIn();
        Form2->ItemClick("销售查询");
    }
    void TearDown() override
    {
        store::Connection::SetStepFault(nullptr);
        AppTest::TearDown();
    }
    void Sale(const char* order, const char* code, const char* name, double sale, double cost, int qty,
              const QString& when)
    {
        Sql("insert into xssp(ddbh, spbm, spmc, sj, jj, gmsl, xssj) values (:o, :c, :n, :s, :j, :q, :t)",
            {{":o", std::string(order)},
             {":c", std::string(code)},
             {":n", std::string(name)},
             {":s", sale},
             {":j", cost},
             {":q", std::int64_t(qty)},
             {":t", when.toStdString()}});
    }
    store::DataSet& Lines() { return Form7->ADOQuery1(); }
    QString Totals() { return Form7->Label5->text(); }

    QDate monthStart, monthEnd;
};

TEST_F(SellManagerTest, first_showing_lists_this_months_lines_with_their_totals)
{
    EXPECT_TRUE(Form7->CheckBox1->isChecked());
    EXPECT_EQ(Form7->CheckBox1->text(), "登记时间:从" + QString(38, ' ') + "到");
    EXPECT_EQ(Form7->DateTimePicker1->date(), monthStart);
    EXPECT_EQ(Form7->DateTimePicker2->date(), monthEnd);
    EXPECT_EQ(Lines().RecordCount(), 3);
    EXPECT_EQ(Totals(), "共3条记录,销售额:80.9元,进货成本:43.25元,利润:37.65元,商品数量合计:3件");
    EXPECT_TRUE(prompter.shown.isEmpty()) << prompter.shown.join("|").toStdString();
}

TEST_F(SellManagerTest, unticking_the_box_greys_the_pickers_and_drops_the_day_condition)
{
    Form7->CheckBox1->click();
    EXPECT_FALSE(Form7->DateTimePicker1->isEnabled());
    EXPECT_FALSE(Form7->DateTimePicker2->isEnabled());
    Form7->BitBtn1->click();
    EXPECT_EQ(Totals(), "共4条记录,销售额:230.9元,进货成本:143.25元,利润:87.65元,商品数量合计:8件");
    Form7->CheckBox1->click();
    EXPECT_TRUE(Form7->DateTimePicker1->isEnabled());
}

TEST_F(SellManagerTest, filters_are_trimmed_and_a_quote_is_searched_as_text)
{
    Form7->Edit2->setText("  a1 ");
    Form7->BitBtn1->click();
    EXPECT_EQ(Totals(), "共1条记录,销售额:71元,进货成本:40元,利润:31元,商品数量合计:2件");
    Form7->Edit2->clear();
    Form7->Edit1->setText("\"");
    Form7->BitBtn1->click();
    EXPECT_EQ(Totals(), "共0条记录,销售额:元,进货成本:元,利润:元,商品数量合计:件");
    EXPECT_TRUE(prompter.shown.isEmpty()) << prompter.shown.join("|").toStdString();
}

TEST_F(SellManagerTest, the_grid_shows_its_columns_in_order_with_the_id_hidden)
{
    QHeaderView* h = Form7->DBGrid1->horizontalHeader();
    QStringList shown;
    for (int v = 0; v < h->count(); ++v) {
        int logical = h->logicalIndex(v);
        if (!Form7->DBGrid1->isColumnHidden(logical))
            shown << Form7->DBGrid1->model()->headerData(logical, Qt::Horizontal).toString();
    }
    EXPECT_EQ(shown, QStringList({"订单编号", "商品编码", "商品名称", "商品属性", "售价", "进价", "购买数量",
                                  "登记时间", "备注"}));
    EXPECT_TRUE(Form7->DBGrid1->isColumnHidden(0));
    EXPECT_EQ(Form7->DBGrid1->columnWidth(Lines().FieldIndex("商品编码")), 60);
    // The layout survives the next query.
    Form7->BitBtn1->click();
    EXPECT_EQ(h->logicalIndex(h->visualIndex(Lines().FieldIndex("登记时间"))), Lines().FieldIndex("登记时间"));
    EXPECT_EQ(h->visualIndex(Lines().FieldIndex("备注")), 9);
}

TEST_F(SellManagerTest, grid_edits_go_to_the_sales_lines_and_the_totals_wait_for_the_next_query)
{
    auto* model = Form7->DBGrid1->model();
    int qty = Lines().FieldIndex("购买数量");
    int row = Lines().Text(0, 1) == "本月-1" ? 0 : 1;
    ASSERT_TRUE(model->setData(model->index(row, qty), "4", Qt::EditRole));
    Form7->DBGrid1->setCurrentIndex(model->index(row == 0 ? 1 : 0, qty));
    EXPECT_EQ(Count("xssp", "ddbh = '本月-1' and gmsl = 4"), 1);
    EXPECT_EQ(Totals(), "共3条记录,销售额:80.9元,进货成本:43.25元,利润:37.65元,商品数量合计:3件");
    Form7->BitBtn1->click();
    EXPECT_EQ(Totals(), "共3条记录,销售额:151.9元,进货成本:83.25元,利润:68.65元,商品数量合计:5件");
}

TEST_F(SellManagerTest, a_store_error_empties_the_grid_and_keeps_the_totals_line)
{
    QString before = Totals();
    int step = 0;
    store::Connection::SetStepFault([&] { return ++step == 2; });
    Form7->BitBtn1->click();
    store::Connection::SetStepFault(nullptr);
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_TRUE(prompter.shown[0].startsWith("error:"));
    EXPECT_FALSE(Lines().Active());
    EXPECT_EQ(Form7->DBGrid1->model()->rowCount(), 0);
    EXPECT_EQ(Totals(), before);
}

TEST_F(SellManagerTest, the_query_runs_again_on_showing_only_when_the_sales_changed)
{
    Form2->ItemClick("商品管理");
    Form2->ItemClick("销售查询");
    EXPECT_EQ(Lines().RecordCount(), 3);
    Sale("新的", "C3", "袜子", 2, 1, 1, QDate::currentDate().toString("yyyy-MM-dd") + " 09:00:00");
    Form2->ItemClick("商品管理");
    Form2->ItemClick("销售查询");
    EXPECT_EQ(Lines().RecordCount(), 4);
    EXPECT_TRUE(Form7->Label5->text().startsWith(QStringLiteral("共4条记录")));
}

TEST_F(SellManagerTest, the_export_button_asks_for_a_file_and_a_cancel_writes_nothing)
{
    Form7->BitBtn2->click();
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_TRUE(prompter.shown[0].startsWith("save:"));
}

TEST_F(SellManagerTest, a_reload_drops_an_unposted_edit_and_queries_again)
{
    auto* model = Form7->DBGrid1->model();
    model->setData(model->index(0, Lines().FieldIndex("订单编号")), "未保存", Qt::EditRole);
    Sale("恢复后", "C3", "袜子", 2, 1, 1, QDate::currentDate().toString("yyyy-MM-dd") + " 09:00:00");
    Form7->DataReloaded();
    EXPECT_EQ(Lines().RecordCount(), 4);
    EXPECT_EQ(Count("xssp", "ddbh = '未保存'"), 0);
}
