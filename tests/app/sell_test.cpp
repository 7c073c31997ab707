// The sales registration window and the goods picker, driven offscreen.
#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include "app/Forms.h"
#include "app/addgoods.h"
#include "app/main.h"
#include "app/sell.h"
#include "store/DataSet.h"
#include "tests/app/AppFixture.h"

class SellTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        Sql("insert into spxx(id, spbm, spmc, spsx, spjj, spsj, spkc, bz) values "
            "(1, 'A1', '红色T恤', 'L码', 20, 35.5, 10, '夏季'), (2, 'A2', '帽子', '', 3.25, 9.9, 5, ''), "
            "(3, 'B3', '袜子', '', 1, 2, 100, '')");
        StartForms();
        LogIn();
        Form2->ItemClick("销售登记");
    }
    void TearDown() override
    {
        store::Connection::SetStepFault(nullptr);
        AppTest::TearDown();
    }
    QAbstractItemModel* Grid() { return Form5->StringGrid1->model(); }
    QString Cell(int row, int col) { return Grid()->data(Grid()->index(row, col)).toString(); }
    void DoubleClickPickerRow(int row)
    {
        TPickerGrid* g = Form6->DBGrid1;
        QPoint at = row < 0 ? QPoint(g->viewport()->width() - 5, g->viewport()->height() - 5)
                            : g->visualRect(g->model()->index(row, 1)).center();
        QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, at);
    }
    // Opens the picker, runs `inside` while it is open, then closes it.
    void InPicker(std::function<void()> inside)
    {
        Form5->BitBtn1->click();
        ASSERT_TRUE(Form6->isVisible());
        EXPECT_EQ(Form6->windowModality(), Qt::ApplicationModal);
        inside();
        Form6->reject();
        EXPECT_FALSE(Form6->isVisible());
    }
    void PickRows(std::initializer_list<int> rows, const QString& code = "")
    {
        InPicker([&] {
            Form6->Edit1->setText(code);
            Form6->BitBtn1->click();
            for (int r : rows) DoubleClickPickerRow(r);
        });
    }
    bool EditorOpen()
    {
        for (auto* e : Form5->StringGrid1->viewport()->findChildren<QLineEdit*>())
            if (e->isVisible()) return true;
        return false;
    }
    std::string Stock(int id)
    {
        store::Connection c;
        store::DataSet q(c);
        q.SetSQL("select spkc from spxx where id = " + std::to_string(id));
        q.Open();
        return q.FieldText(0);
    }
};

TEST_F(SellTest, the_grid_starts_with_its_title_row_and_a_hidden_id_column)
{
    EXPECT_EQ(Form5->TitleLabel1->text(), "销售登记");
    EXPECT_EQ(Form5->BitBtn3->text(), "保存订单");
    ASSERT_EQ(Grid()->rowCount(), 1);
    ASSERT_EQ(Grid()->columnCount(), 8);
    QStringList titles;
    for (int c = 1; c < 8; ++c) titles << Cell(0, c);
    EXPECT_EQ(titles, QStringList({"商品名称", "售价", "进价", "购买数量", "商品属性", "商品编码", "备注"}));
    EXPECT_TRUE(Form5->StringGrid1->isColumnHidden(0));
    EXPECT_FALSE(Grid()->flags(Grid()->index(0, 1)) & Qt::ItemIsEditable);
    EXPECT_EQ(Form5->StringGrid1->selectionMode(), QAbstractItemView::ContiguousSelection);
    EXPECT_EQ(Form5->Edit1->width(), 177);
}

TEST_F(SellTest, each_double_click_in_the_picker_adds_a_line_with_quantity_one)
{
    PickRows({0, 0, 1}, "A");
    ASSERT_EQ(Grid()->rowCount(), 4);
    // The picker lists the lowest stock first: 帽子 (5), then 红色T恤 (10).
    QStringList first;
    for (int c = 0; c < 8; ++c) first << Cell(1, c);
    EXPECT_EQ(first, QStringList({"2", "帽子", "9.9", "3.25", "1", "", "A2", ""}));
    EXPECT_EQ(Cell(2, 1), "帽子");
    EXPECT_EQ(Cell(3, 1), "红色T恤");
    EXPECT_EQ(Cell(3, 5), "L码");
    // The picker keeps its filter and its result for the next showing.
    InPicker([&] {
        EXPECT_EQ(Form6->Edit1->text(), "A");
        EXPECT_EQ(Form6->ADOQuery1().RecordCount(), 2);
    });
    EXPECT_TRUE(prompter.shown.isEmpty()) << prompter.shown.join("|").toStdString();
}

TEST_F(SellTest, picker_shows_code_name_attribute_and_sale_price_only)
{
    InPicker([&] {
        TPickerGrid* g = Form6->DBGrid1;
        EXPECT_EQ(Form6->windowTitle(), "添加商品");
        EXPECT_EQ(Form6->ADOQuery1().RecordCount(), 3);  // opened at start-up
        for (int c : {0, 4, 6, 7}) EXPECT_TRUE(g->isColumnHidden(c)) << c;
        for (int c : {1, 2, 3, 5}) EXPECT_FALSE(g->isColumnHidden(c)) << c;
        EXPECT_EQ(g->columnWidth(2), 200);
        EXPECT_FALSE(g->model()->flags(g->model()->index(0, 1)) & Qt::ItemIsEditable);
        Form6->Edit2->setText("帽");
        QTest::keyClick(Form6->Edit2, Qt::Key_Return);
        EXPECT_EQ(Form6->ADOQuery1().RecordCount(), 1);
        QTest::keyClick(g, Qt::Key_Insert);
        EXPECT_EQ(Form6->ADOQuery1().State(), store::DataSetState::Browse);
    });
    EXPECT_EQ(Count("spxx"), 3);
}

TEST_F(SellTest, editing_a_quantity_to_3_stores_3_and_lowers_the_stock_by_3)
{
    PickRows({0}, "B3");
    QModelIndex qty = Grid()->index(1, 4);
    Form5->StringGrid1->setCurrentIndex(qty);
    Form5->StringGrid1->edit(qty);
    auto editors = Form5->StringGrid1->viewport()->findChildren<QLineEdit*>();
    ASSERT_EQ(editors.size(), 1);
    editors[0]->setText("3");  // still open when the seller presses the button
    Form5->Edit1->setText("  TB-77  ");
    Form5->BitBtn3->click();
    EXPECT_EQ(prompter.shown, QStringList{"message:订单保存成功!"});
    EXPECT_EQ(Count("xssp", "ddbh = 'TB-77' and gmsl = 3 and spmc = '袜子' and sj = 2 and jj = 1"), 1);
    EXPECT_EQ(Stock(3), "97");
    EXPECT_EQ(Form5->Edit1->text(), "");
    EXPECT_EQ(Grid()->rowCount(), 1);
    EXPECT_EQ(Cell(0, 1), "商品名称");
}

TEST_F(SellTest, a_click_opens_the_editor_on_order_lines_only_and_tab_moves_along)
{
    PickRows({0}, "B3");
    QTableView* g = Form5->StringGrid1;
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(Grid()->index(0, 2)).center());
    EXPECT_FALSE(EditorOpen());
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(Grid()->index(1, 2)).center());
    EXPECT_TRUE(EditorOpen());
    g->setCurrentIndex(Grid()->index(1, 2));
    QTest::keyClick(g, Qt::Key_Tab);
    EXPECT_EQ(g->currentIndex(), Grid()->index(1, 3));
}

TEST_F(SellTest, removing_keeps_the_title_row_and_moves_lines_below_up)
{
    PickRows({0, 1, 2});
    QTableView* g = Form5->StringGrid1;
    g->setCurrentIndex(Grid()->index(0, 1));
    Form5->BitBtn2->click();
    EXPECT_EQ(Grid()->rowCount(), 4);
    g->setCurrentIndex(Grid()->index(2, 1));
    Form5->BitBtn2->click();
    ASSERT_EQ(Grid()->rowCount(), 3);
    EXPECT_EQ(Cell(1, 1), "帽子");
    EXPECT_EQ(Cell(2, 1), "袜子");
    g->setCurrentIndex(Grid()->index(2, 1));
    Form5->BitBtn2->click();
    EXPECT_EQ(Grid()->rowCount(), 2);
    EXPECT_EQ(Cell(0, 1), "商品名称");
}

TEST_F(SellTest, a_blank_order_number_is_asked_for_and_nothing_is_written)
{
    PickRows({0});
    Form5->Edit1->setText("   ");
    Form5->BitBtn3->click();
    EXPECT_EQ(prompter.shown, QStringList{"message:为了方便查询,请填写Mercavo的订单编号!"});
    EXPECT_EQ(Count("xssp"), 0);
    EXPECT_EQ(Grid()->rowCount(), 2);
}

TEST_F(SellTest, saving_the_title_row_alone_reports_success_and_writes_nothing)
{
    Form5->Edit1->setText("X-1");
    Form5->BitBtn3->click();
    EXPECT_EQ(prompter.shown, QStringList{"message:订单保存成功!"});
    EXPECT_EQ(Form5->Edit1->text(), "");
    EXPECT_EQ(Count("xssp"), 0);
}

TEST_F(SellTest, a_double_click_on_an_empty_picker_gives_a_line_the_save_refuses_by_number)
{
    PickRows({0}, "B3");
    PickRows({-1}, "no such code");
    ASSERT_EQ(Grid()->rowCount(), 3);
    EXPECT_EQ(Cell(2, 0), "");
    EXPECT_EQ(Cell(2, 4), "1");
    Form5->Edit1->setText("X-2");
    Form5->BitBtn3->click();
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_TRUE(prompter.shown[0].startsWith("error:第2行")) << prompter.shown[0].toStdString();
    EXPECT_EQ(Count("xssp"), 0);
    EXPECT_EQ(Stock(3), "100");
    EXPECT_EQ(Form5->Edit1->text(), "X-2");
    EXPECT_EQ(Grid()->rowCount(), 3);
}

TEST_F(SellTest, a_store_failure_in_the_middle_keeps_the_order_for_a_single_second_save)
{
    PickRows({0, 1}, "A");
    Form5->Edit1->setText("X-3");
    // The stock check reads the two goods rows first (steps 1 and 2); the
    // save's first insert and update are steps 4 and 5 (3 begins).
    for (int failing : {4, 5}) {
        prompter.shown.clear();
        int step = 0;
        store::Connection::SetStepFault([&] { return ++step == failing; });
        Form5->BitBtn3->click();
        store::Connection::SetStepFault(nullptr);
        ASSERT_EQ(prompter.shown.size(), 1);
        EXPECT_TRUE(prompter.shown[0].startsWith("error:第1行(帽子)")) << prompter.shown[0].toStdString();
        EXPECT_EQ(Count("xssp"), 0);
        EXPECT_EQ(Stock(2), "5");
        EXPECT_EQ(Grid()->rowCount(), 3);
        EXPECT_EQ(Form5->Edit1->text(), "X-3");
    }
    prompter.shown.clear();
    Form5->BitBtn3->click();
    EXPECT_EQ(prompter.shown, QStringList{"message:订单保存成功!"});
    EXPECT_EQ(Count("xssp", "ddbh = 'X-3'"), 2);
    EXPECT_EQ(Stock(2), "4");
    EXPECT_EQ(Stock(1), "9");
}

TEST_F(SellTest, the_order_being_assembled_survives_a_visit_to_another_window)
{
    PickRows({0});
    Form5->Edit1->setText("keep");
    Form2->ItemClick("商品管理");
    Form2->ItemClick("销售登记");
    EXPECT_EQ(Grid()->rowCount(), 2);
    EXPECT_EQ(Form5->Edit1->text(), "keep");
}
