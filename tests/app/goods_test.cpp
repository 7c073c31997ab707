#include <QApplication>
#include <QInputMethodEvent>
#include <QTest>

#include "app/DataControls.h"
#include "app/Forms.h"
#include "app/goods.h"
#include "app/main.h"
#include "tests/app/AppFixture.h"

class GoodsTest : public AppHomeTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        if (IsSkipped()) return;
        for (auto [code, name, stock, remark] :
             {std::tuple{"A1", "红色T恤", 5, "夏季"}, {"B2", "蓝色_帽子", 2, "含'引号"}, {"C3", "100%纯棉袜", 9, ""}})
            Sql("insert into spxx(spbm, spmc, spkc, bz) values (:c, :n, :k, :r)", {{":c", std::string(code)},
                                                                                   {":n", std::string(name)},
                                                                                   {":k", std::int64_t(stock)},
                                                                                   {":r", std::string(remark)}});
        StartForms();
        LogIn();
        Form2->ItemClick("商品管理");
    }
    store::DataSet& List() { return Form4->ADOQuery2(); }
    QString Counter() { return Form4->Label8->text(); }
    void SearchFor(const QString& code, const QString& name, const QString& remark)
    {
        Form4->Edit1->setText(code);
        Form4->Edit2->setText(name);
        Form4->Edit3->setText(remark);
        Form4->BitBtn2->click();
    }
    TDBEdit* Box(const char* column) { return Form4->findChild<TDBEdit*>(QString("DBEdit_") + column); }
    void Type(const char* column, const QString& text)
    {
        // Typed as an input method commits it, so Chinese and emoji arrive as a user's would.
        Box(column)->selectAll();
        QInputMethodEvent e;
        e.setCommitString(text);
        QApplication::sendEvent(Box(column), &e);
    }
};

TEST_P(GoodsTest, first_showing_lists_all_goods_by_stock_with_the_counter)
{
    ASSERT_EQ(List().RecordCount(), 3);
    EXPECT_EQ(List().FieldName(0), "商品编码");
    EXPECT_EQ(List().FieldName(6), "备注");
    EXPECT_EQ(List().Text(0, 0), "B2");
    EXPECT_EQ(List().Text(2, 0), "C3");
    EXPECT_EQ(Counter(), QStringLiteral("共计3条记录,当前第1条"));
    EXPECT_EQ(Form4->DBGrid1->columnWidth(1), 200);
    EXPECT_EQ(Form4->DBNavigator1->button(TDBNavigator::nbInsert)->toolTip(), QStringLiteral("插入一条新记录"));
    EXPECT_FALSE(Form4->DBNavigator1->button(TDBNavigator::nbCancel)->isVisibleTo(Form4));
}

TEST_P(GoodsTest, wildcards_act_as_wildcards_and_quotes_are_searched_as_text)
{
    SearchFor("", "_色%", "");
    EXPECT_EQ(List().RecordCount(), 2);
    SearchFor("", "", "'");
    ASSERT_EQ(List().RecordCount(), 1);
    EXPECT_EQ(List().Text(0, 0), "B2");
    SearchFor("\"", "", "");
    EXPECT_EQ(List().RecordCount(), 0);
    EXPECT_EQ(Counter(), QStringLiteral("共计0条记录,当前第-1条"));
    SearchFor("", "\\", "");
    EXPECT_EQ(List().RecordCount(), 0);
    SearchFor(QString(5000, 'x'), "😀", "");
    EXPECT_EQ(List().RecordCount(), 0);
    EXPECT_TRUE(prompter.shown.isEmpty());
}

TEST_P(GoodsTest, enter_in_a_filter_box_and_a_tab_change_run_the_search)
{
    Form4->Edit1->setText("A");
    QTest::keyClick(Form4->Edit1, Qt::Key_Return);
    EXPECT_EQ(List().RecordCount(), 1);
    Sql("insert into spxx(spbm, spmc, bz) values ('A9', 'x', 'y')");
    Form4->PageControl1->setCurrentIndex(1);
    EXPECT_EQ(List().RecordCount(), 2);
    Form4->Edit1->clear();
    Form4->PageControl1->setCurrentIndex(0);
    EXPECT_EQ(List().RecordCount(), 4);
}

TEST_P(GoodsTest, save_and_new_stores_rows_findable_with_untouched_boxes)
{
    Form4->PageControl1->setCurrentIndex(1);
    Type("spmc", "新品 😀");
    Type("spjj", "1.5");
    Type("spkc", "10");
    Form4->BitBtn1->click();
    EXPECT_EQ(Box("spmc")->text(), "");
    Form4->BitBtn1->click();  // all boxes empty
    EXPECT_EQ(Count("spxx", "spmc = '新品 😀' and spjj = 1.5 and spkc = 10 and bz = ''"), 1);
    EXPECT_EQ(Count("spxx"), 5);
    Form4->PageControl1->setCurrentIndex(0);
    EXPECT_EQ(List().RecordCount(), 5);
    EXPECT_TRUE(prompter.shown.isEmpty()) << prompter.shown.join("|").toStdString();
}

TEST_P(GoodsTest, malformed_number_in_the_entry_form_is_reported_and_nothing_typed_is_lost)
{
    Form4->PageControl1->setCurrentIndex(1);
    Type("spmc", "坏价格");
    Type("spsj", "12,5元");
    Form4->BitBtn1->click();
    ASSERT_EQ(prompter.shown.size(), 1);
    // Named as the list names the column, not by the store's column name.
    EXPECT_TRUE(prompter.shown[0].contains(QStringLiteral("商品售价"))) << prompter.shown[0].toStdString();
    EXPECT_FALSE(prompter.shown[0].contains("spsj")) << prompter.shown[0].toStdString();
    EXPECT_EQ(Box("spmc")->text(), "坏价格");
    EXPECT_EQ(Box("spsj")->text(), "12,5元");
    EXPECT_EQ(Count("spxx", "spmc = '坏价格'"), 0);
    Type("spsj", "12.5");
    Form4->BitBtn1->click();
    EXPECT_EQ(Count("spxx", "spmc = '坏价格' and spsj = 12.5"), 1);
}

TEST_P(GoodsTest, delete_all_asks_first_and_then_shows_the_empty_list)
{
    Form4->BitBtn5->click();
    EXPECT_EQ(prompter.shown, QStringList{"yesno:是否删除全部商品?"});
    EXPECT_EQ(Count("spxx"), 3);
    Sql("insert into xssp(ddbh) values ('o1')");
    prompter.answers = {true};
    Form4->BitBtn5->click();
    EXPECT_EQ(Count("spxx"), 0);
    EXPECT_EQ(Count("xssp"), 1);
    EXPECT_EQ(List().RecordCount(), 0);
    EXPECT_EQ(Counter(), QStringLiteral("共计0条记录,当前第-1条"));
}

TEST_P(GoodsTest, navigator_delete_asks_and_deletes_only_on_ok)
{
    List().MoveTo(1);
    Form4->DBNavigator1->button(TDBNavigator::nbDelete)->click();
    EXPECT_EQ(prompter.shown, QStringList{"okcancel:Delete selected record?"});
    EXPECT_EQ(Count("spxx"), 3);
    prompter.answers = {true};
    Form4->DBNavigator1->button(TDBNavigator::nbDelete)->click();
    EXPECT_EQ(Count("spxx"), 2);
    EXPECT_EQ(Count("spxx", "spbm = 'A1'"), 0);
    EXPECT_EQ(Counter(), QStringLiteral("共计2条记录,当前第2条"));
}

TEST_P(GoodsTest, grid_edits_post_when_leaving_the_row_and_bad_numbers_keep_the_row)
{
    auto* model = Form4->DBGrid1->model();
    ASSERT_TRUE(model->setData(model->index(0, 1), "改名", Qt::EditRole));
    Form4->DBGrid1->setCurrentIndex(model->index(1, 1));
    EXPECT_EQ(Count("spxx", "spbm = 'B2' and spmc = '改名'"), 1);
    ASSERT_TRUE(model->setData(model->index(1, 5), "很多", Qt::EditRole));
    Form4->DBGrid1->setCurrentIndex(model->index(2, 1));
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_TRUE(prompter.shown[0].contains("商品库存"));
    EXPECT_EQ(List().CurrentRow(), 1);
    EXPECT_EQ(model->data(model->index(1, 5), Qt::DisplayRole).toString(), "很多");
    EXPECT_EQ(Form4->DBGrid1->currentIndex().row(), 1);
}

TEST_P(GoodsTest, navigator_insert_counts_minus_one_until_posted)
{
    Form4->DBNavigator1->button(TDBNavigator::nbInsert)->click();
    EXPECT_EQ(Counter(), QStringLiteral("共计3条记录,当前第-1条"));
    auto* model = Form4->DBGrid1->model();
    model->setData(model->index(0, 0), "N1", Qt::EditRole);
    Form4->DBNavigator1->button(TDBNavigator::nbPost)->click();
    EXPECT_EQ(Count("spxx", "spbm = 'N1'"), 1);
    EXPECT_EQ(Counter(), QStringLiteral("共计4条记录,当前第1条"));
}

INSTANTIATE_FOR_BOTH_HOMES(GoodsTest);
