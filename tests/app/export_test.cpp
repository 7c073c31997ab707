#include <QProcess>

#include "app/DataControls.h"
#include "app/Forms.h"
#include "app/QueryExport.h"
#include "app/goods.h"
#include "app/main.h"
#include "tests/app/AppFixture.h"
#include "tests/app/XlsPeer.h"

class GoodsExportTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        for (int i = 1; i <= 10; ++i)
            Sql("insert into spxx(spbm, spmc, spsx, spjj, spsj, spkc, bz) values (:c, :n, 'L', 1.5, 19.99, :k, '')",
                {{":c", "G" + std::to_string(i)}, {":n", "商品" + std::to_string(i)}, {":k", std::int64_t(i)}});
        StartForms();
        LogIn();
        Form2->ItemClick("商品管理");
    }
    QString Out(const char* name) { return QString::fromStdString(dir.file(name)); }
    QStringList Export(const QString& file)
    {
        prompter.files = {file};
        Form4->BitBtn4->click();
        return XlrdRows(file.endsWith(".xls") ? file : file + ".xls");
    }
};

const QString kHeader = QStringLiteral("商品编码\t商品名称\t商品属性\t商品进价\t商品售价\t商品库存\t备注");

TEST_F(GoodsExportTest, export_writes_header_and_every_row_as_text_wherever_the_cursor_is)
{
    Form4->ADOQuery2().MoveTo(4);
    QStringList rows = Export(Out("a.xls"));
    ASSERT_EQ(rows.size(), 11) << rows.join("\n").toStdString();
    EXPECT_EQ(rows[0], kHeader);
    EXPECT_EQ(rows[1], QStringLiteral("G1\t商品1\tL\t1.5\t19.99\t1\t"));
    EXPECT_EQ(rows[10], QStringLiteral("G10\t商品10\tL\t1.5\t19.99\t10\t"));
    EXPECT_EQ(Form4->ADOQuery2().RecNo(), 5);
    EXPECT_EQ(prompter.shown.last(), "info:文件保存成功!");
    EXPECT_TRUE(prompter.shown[0].startsWith("save:"));
    EXPECT_TRUE(prompter.shown[0].contains(QStringLiteral("商品查询导出")));
}

TEST_F(GoodsExportTest, second_export_writes_all_rows_and_no_stale_rows)
{
    EXPECT_EQ(Export(Out("a.xls")).size(), 11);
    EXPECT_EQ(Export(Out("b.xls")).size(), 11);
    Form4->Edit1->setText("G1");  // G1 and G10
    Form4->BitBtn2->click();
    QStringList rows = Export(Out("c.xls"));
    ASSERT_EQ(rows.size(), 3) << rows.join("\n").toStdString();
    EXPECT_TRUE(rows[2].startsWith("G10\t"));
}

TEST_F(GoodsExportTest, cancelled_dialog_and_empty_result_write_nothing)
{
    Form4->BitBtn4->click();  // no file answered: cancelled
    EXPECT_EQ(prompter.shown.size(), 1);
    EXPECT_TRUE(prompter.shown[0].startsWith("save:"));
    Form4->Edit1->setText("none");
    Form4->BitBtn2->click();
    prompter.shown.clear();
    Form4->BitBtn4->click();
    EXPECT_EQ(prompter.shown, QStringList{"info:无记录可以导出!"});
    for (auto& e : std::filesystem::directory_iterator(dir.path())) EXPECT_NE(e.path().extension(), ".xls");
}

TEST_F(GoodsExportTest, a_name_without_extension_gets_xls)
{
    EXPECT_EQ(Export(Out("noext")).size(), 11);
    EXPECT_TRUE(std::filesystem::exists(dir.file("noext.xls")));
}

TEST_F(GoodsExportTest, failed_write_is_reported_and_the_old_file_survives)
{
    QStringList first = Export(Out("keep.xls"));
    ASSERT_EQ(first.size(), 11);
    prompter.shown.clear();
    Export(Out("missing-folder/x.xls"));
    ASSERT_EQ(prompter.shown.size(), 2);
    EXPECT_TRUE(prompter.shown[1].startsWith("error:")) << prompter.shown[1].toStdString();
    EXPECT_EQ(XlrdRows(Out("keep.xls")), first);
}

TEST(ExportName, carries_the_local_time_stamp)
{
    QDateTime t(QDate(2013, 10, 20), QTime(14, 5, 9));
    EXPECT_EQ(DefaultExportName(kGoodsExport, t), QStringLiteral("商品查询导出20131020140509"));
    EXPECT_EQ(DefaultExportName(kSalesExport, t), QStringLiteral("销售订单查询导出20131020140509"));
}

TEST_F(GoodsExportTest, command_line_export_runs_the_same_search)
{
    StopForms();
    QProcess p;
    p.setWorkingDirectory(QString::fromStdString(dir.path().string()));
    p.start(QString(TB_BIN_DIR) + "/tallybrook", {"export-goods", "cli.xls", "--name", "商品1"});
    p.waitForFinished(60000);
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    QStringList rows = XlrdRows(Out("cli.xls"));
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0], kHeader);
}

TEST_F(GoodsExportTest, a_list_longer_than_the_rows_read_for_the_grid_is_exported_whole)
{
    Sql("insert into spxx(spbm, spmc, spkc) with recursive n(i) as (select 11 union all select i + 1 from n "
        "where i < 2500) select 'G' || i, '商品' || i, i from n");
    Form4->BitBtn2->click();
    ASSERT_EQ(Form4->ADOQuery2().RecordCount(), 2500);
    QStringList rows = Export(Out("big.xls"));
    ASSERT_EQ(rows.size(), 2501);
    EXPECT_EQ(rows[1], QStringLiteral("G1\t商品1\tL\t1.5\t19.99\t1\t"));
    EXPECT_TRUE(rows[1500].startsWith(QStringLiteral("G1500\t商品1500\t")));
    EXPECT_TRUE(rows[2500].startsWith(QStringLiteral("G2500\t商品2500\t")));
}
