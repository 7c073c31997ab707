// What the seller types into a grid is never lost, and a list shown again
// after another window changed the data shows what is stored now. Driven
// with mouse and key events on the real windows, offscreen.
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

#include "app/DataControls.h"
#include "app/Forms.h"
#include "app/addgoods.h"
#include "app/goods.h"
#include "app/main.h"
#include "app/sell.h"
#include "app/sellManager.h"
#include "store/DataSet.h"
#include "tests/app/AppFixture.h"
#include "tests/app/XlsPeer.h"

class TypedEditsTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        Sql("insert into spxx(id, spbm, spmc, spsx, spjj, spsj, spkc, bz) values "
            "(1, 'A001', '杯子', '', 5, 9.5, 100, '备'), (2, 'B002', '盘子', '', 3, 6, 50, '注')");
        Sql("insert into xssp(ddbh, spmc, spbm, sj, jj, gmsl, xssj) values "
            "('T-1', '杯子', 'A001', 9.5, 5, 1, strftime('%Y-%m-%d %H:%M:%S', 'now', 'localtime'))");
        StartForms();
        LogIn();
    }
    // Double-clicks a cell of a grid, which opens its editor, and types over it.
    static QLineEdit* TypeInto(QTableView* grid, int row, int col, const QString& text)
    {
        QModelIndex at = grid->model()->index(row, col);
        grid->scrollTo(at);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(at).center());
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(at).center());
        QLineEdit* editor = nullptr;
        for (auto* e : grid->viewport()->findChildren<QLineEdit*>())
            if (e->isVisible()) editor = e;
        if (!editor) return nullptr;
        editor->selectAll();
        QTest::keyClicks(editor, text);
        return editor;
    }
    // Column of a result field as the grid shows it.
    static int Column(store::DataSet& ds, const char* field) { return ds.FieldIndex(field); }
    std::string StoredName(int id)
    {
        store::Connection c;
        store::DataSet q(c);
        q.SetSQL("select spmc from spxx where id = " + std::to_string(id));
        q.Open();
        return q.FieldText(0);
    }
};

TEST_F(TypedEditsTest, the_post_button_is_enabled_while_typing_and_posts_the_open_editor)
{
    Form2->ItemClick("商品管理");
    store::DataSet& list = Form4->ADOQuery2();
    int row = list.Text(0, 0) == "A001" ? 0 : 1;  // listed by stock
    QToolButton* post = Form4->DBNavigator1->button(TDBNavigator::nbPost);
    ASSERT_NE(TypeInto(Form4->DBGrid1, row, Column(list, "商品名称"), "NewCup"), nullptr);
    EXPECT_TRUE(post->isEnabled());
    QTest::mouseClick(post, Qt::LeftButton);
    EXPECT_EQ(StoredName(1), "NewCup");
    EXPECT_EQ(list.State(), store::DataSetState::Browse);
    EXPECT_TRUE(prompter.shown.isEmpty()) << prompter.shown.join("|").toStdString();
}

TEST_F(TypedEditsTest, the_search_button_stores_the_open_editor_before_it_searches)
{
    Form2->ItemClick("商品管理");
    store::DataSet& list = Form4->ADOQuery2();
    int row = list.Text(0, 0) == "B002" ? 0 : 1;
    ASSERT_NE(TypeInto(Form4->DBGrid1, row, Column(list, "商品名称"), "BigPlate"), nullptr);
    QTest::mouseClick(Form4->BitBtn2, Qt::LeftButton);
    EXPECT_EQ(StoredName(2), "BigPlate");
    EXPECT_EQ(list.RecordCount(), 2);
}

TEST_F(TypedEditsTest, a_refused_value_keeps_the_typing_and_the_window_in_front)
{
    Form2->ItemClick("商品管理");
    store::DataSet& list = Form4->ADOQuery2();
    ASSERT_NE(TypeInto(Form4->DBGrid1, 0, Column(list, "商品库存"), "many"), nullptr);
    Form2->ItemClick("销售查询");
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_TRUE(prompter.shown[0].startsWith("error:")) << prompter.shown[0].toStdString();
    EXPECT_EQ(Form2->FrontChild(), Form4);
    EXPECT_EQ(list.State(), store::DataSetState::Edit);
    EXPECT_EQ(list.FieldText("商品库存"), "many");
}

TEST_F(TypedEditsTest, a_registration_time_that_is_no_time_is_refused_in_the_sales_grid)
{
    Form2->ItemClick("销售查询");
    store::DataSet& lines = Form7->ADOQuery1();
    ASSERT_EQ(lines.RecordCount(), 1);
    ASSERT_NE(TypeInto(Form7->DBGrid1, 0, Column(lines, "登记时间"), "yesterday"), nullptr);
    QTest::mouseClick(Form7->BitBtn1, Qt::LeftButton);
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_TRUE(prompter.shown[0].contains(QStringLiteral("登记时间"))) << prompter.shown[0].toStdString();
    EXPECT_EQ(Count("xssp", "xssj like '____-__-__ __:__:__'"), 1);
    // Mended, the line is stored in the canonical form and the month still finds it.
    lines.SetFieldText("登记时间", QDate::currentDate().toString("yyyy/M/d").toStdString());
    QTest::mouseClick(Form7->BitBtn1, Qt::LeftButton);
    EXPECT_EQ(lines.RecordCount(), 1);
    EXPECT_EQ(lines.FieldText("登记时间"), QDate::currentDate().toString("yyyy-MM-dd 00:00:00").toStdString());
}

TEST_F(TypedEditsTest, an_order_cell_being_typed_survives_a_switch_of_windows)
{
    Form2->ItemClick("销售登记");
    TOrderLine line;
    line.cells = {"2", "盘子", "6", "3", "1", "", "B002", ""};
    Form5->AddLine(line);
    QTableView* g = Form5->StringGrid1;
    QModelIndex qty = g->model()->index(1, ocQuantity);
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(qty).center());  // a click opens the editor
    QLineEdit* editor = nullptr;
    for (auto* e : g->viewport()->findChildren<QLineEdit*>())
        if (e->isVisible()) editor = e;
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    QTest::keyClicks(editor, "4");
    Form2->ItemClick("商品管理");
    EXPECT_EQ(Form5->Order().Line(1)[ocQuantity], "4");
}

TEST_F(TypedEditsTest, stock_after_an_order_is_current_in_the_goods_list_when_it_comes_back)
{
    Form2->ItemClick("商品管理");
    store::DataSet& list = Form4->ADOQuery2();
    auto stockOf = [&](const std::string& code) {
        for (int r = 0; r < list.RecordCount(); ++r)
            if (list.Text(r, 0) == code) return list.Text(r, list.FieldIndex("商品库存"));
        return std::string("?");
    };
    EXPECT_EQ(stockOf("A001"), "100");
    Form2->ItemClick("销售登记");
    TOrderLine line;
    line.cells = {"1", "杯子", "9.5", "5", "1", "", "A001", ""};
    Form5->AddLine(line);
    Form5->Edit1->setText("T-2");
    QTest::mouseClick(Form5->BitBtn3, Qt::LeftButton);
    EXPECT_EQ(prompter.shown, QStringList{"message:订单保存成功!"});
    Form2->ItemClick("商品管理");
    EXPECT_EQ(stockOf("A001"), "99");
    // The sales query, shown before, lists the new line when it comes back.
    Form2->ItemClick("销售查询");
    Form2->ItemClick("销售登记");
    line.cells = {"2", "盘子", "6", "3", "2", "", "B002", ""};
    Form5->AddLine(line);
    Form5->Edit1->setText("T-3");
    QTest::mouseClick(Form5->BitBtn3, Qt::LeftButton);
    Form2->ItemClick("销售查询");
    EXPECT_EQ(Form7->ADOQuery1().RecordCount(), 3);
}

TEST_F(TypedEditsTest, an_order_taking_stock_below_zero_is_saved_only_on_yes)
{
    Form2->ItemClick("销售登记");
    TOrderLine line;
    line.cells = {"2", "盘子", "6", "3", "51", "", "B002", ""};
    Form5->AddLine(line);
    Form5->Edit1->setText("T-4");
    QTest::mouseClick(Form5->BitBtn3, Qt::LeftButton);
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_TRUE(prompter.shown[0].startsWith("yesno:")) << prompter.shown[0].toStdString();
    EXPECT_TRUE(prompter.shown[0].contains(QStringLiteral("B002 盘子: 剩余库存 -1")));
    EXPECT_EQ(Count("xssp", "ddbh = 'T-4'"), 0);
    EXPECT_EQ(Form5->Order().LineCount(), 1);
    prompter.answers = {true};
    QTest::mouseClick(Form5->BitBtn3, Qt::LeftButton);
    EXPECT_EQ(Count("xssp", "ddbh = 'T-4'"), 1);
    EXPECT_EQ(Count("spxx", "id = 2 and spkc = -1"), 1);
}

TEST_F(TypedEditsTest, an_export_writes_what_is_stored_now)
{
    Form2->ItemClick("商品管理");
    Sql("update spxx set spkc = 77 where id = 1");  // an order saved by another seat or the command line
    QString file = QString::fromStdString(dir.file("goods.xls"));
    prompter.files = {file};
    QTest::mouseClick(Form4->BitBtn4, Qt::LeftButton);
    QStringList rows = XlrdRows(file);
    ASSERT_EQ(rows.size(), 3) << rows.join("|").toStdString();
    EXPECT_TRUE(rows.filter("A001").value(0).split('\t').value(5) == "77") << rows.join("|").toStdString();
}
