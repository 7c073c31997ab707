#include <QPlainTextEdit>
#include <QProcess>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/Forms.h"
#include "app/GoodsImport.h"
#include "app/goods.h"
#include "app/importlog.h"
#include "app/main.h"
#include "store/Connection.h"
#include "tests/app/AppFixture.h"
#include "tests/app/XlsPeer.h"
#include "workbook/Workbook.h"

namespace {

const QStringList kHeader = {"商品编码", "商品名称", "商品属性", "商品进价", "商品售价", "商品库存", "备注"};

std::string Bytes(const QString& file)
{
    std::ifstream in(file.toStdString(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

class GoodsImportTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        StartForms();
        LogIn();
        Form2->ItemClick("商品管理");
    }
    // A workbook of the given rows (row 0 first) in the first sheet.
    QString Template(const char* name, const QList<QStringList>& rows)
    {
        workbook::TXLSWorkbook book;
        for (int r = 0; r < rows.size(); ++r)
            for (int c = 0; c < rows[r].size(); ++c)
                if (!rows[r][c].isEmpty())
                    book.Sheet(0).SetAsString(uint32_t(c), uint32_t(r), rows[r][c].toStdU16String());
        QString file = QString::fromStdString(dir.file(name));
        book.SetFilename(file.toStdU16String());
        book.Write();
        return file;
    }
    void Import(const QString& file)
    {
        prompter.files = {file};
        Form4->BitBtn3->click();
    }
    QStringList Log() { return Form8->Memo1->toPlainText().split('\n'); }
    QStringList Goods()
    {
        QStringList out;
        store::Connection c;
        c.Open();
        store::Statement st(c, "select spbm, spmc, spsx, spjj, spsj, spkc, bz from spxx order by id");
        while (st.Step()) {
            QStringList row;
            for (int i = 0; i < 7; ++i) row << QString::fromStdString(store::ValueText(st.Column(i)));
            out << row.join('\t');
        }
        return out;
    }
};

TEST_F(GoodsImportTest, three_rows_before_an_empty_A5_are_stored_logged_and_reported)
{
    QString file = Template("t.xls", {kHeader,
                                      {"G1", "苹果", "红", "1.5", "2.25", "10", ""},
                                      {"G2", "梨", "", "3", "4", "5", "备注二"},
                                      {"G3", "桃", "", "0", "0", "0", ""}});
    Import(file);
    EXPECT_EQ(prompter.shown.last(), QStringLiteral("message:文件导入完成!新增3条记录!"));
    EXPECT_EQ(Goods(),
              QStringList({"G1\t苹果\t红\t1.5\t2.25\t10\t", "G2\t梨\t\t3\t4\t5\t备注二", "G3\t桃\t\t0\t0\t0\t"}));
    QStringList log = Log();
    ASSERT_EQ(log.size(), 4);
    EXPECT_TRUE(log[0].startsWith(QStringLiteral("-------------------[商品模板导入时间:"))) << log[0].toStdString();
    EXPECT_TRUE(log[0].endsWith(QStringLiteral("]")) == false);
    EXPECT_TRUE(log[0].endsWith(QStringLiteral("---------------")));
    EXPECT_EQ(log[1], QStringLiteral("1.新增商品: 苹果"));
    EXPECT_EQ(log[3], QStringLiteral("3.新增商品: 桃"));
    EXPECT_TRUE(Form8->isVisible());
    EXPECT_EQ(Form4->ADOQuery2().RecordCount(), 3);
    EXPECT_EQ(XlrdRows(file).value(2), QStringLiteral("G2\t梨\t\t3\t4\t5\t备注二"));
}

TEST_F(GoodsImportTest, an_empty_A2_imports_nothing_writes_back_and_reports_zero)
{
    QString file = Template("t.xls", {kHeader, {"", "没有编码", "", "1", "1", "1", ""}});
    std::string before = Bytes(file);
    Import(file);
    EXPECT_EQ(prompter.shown.last(), QStringLiteral("message:文件导入完成!新增0条记录!"));
    EXPECT_EQ(Count("spxx"), 0);
    EXPECT_NE(Bytes(file), before);  // written back by our writer
    EXPECT_EQ(XlrdRows(file).value(0), kHeader.join('\t'));
}

TEST_F(GoodsImportTest, an_empty_column_A_ends_the_import_and_the_rows_below_are_counted_and_named)
{
    Import(Template("t.xls", {kHeader,
                              {"G1", "一", "", "1", "1", "1", ""},
                              {"", "没有编码", "", "1", "1", "1", ""},
                              {"G3", "三", "", "1", "1", "1", ""},
                              {},
                              {"G5", "五", "", "1", "1", "1", ""}}));
    EXPECT_EQ(Count("spxx"), 1);
    const QString skipped = QStringLiteral("第3行的商品编码为空, 导入在此结束: 其后还有2行没有导入。");
    EXPECT_EQ(prompter.shown.last(), QStringLiteral("message:文件导入完成!新增1条记录!\n") + skipped);
    EXPECT_EQ(Log().last(), skipped);
}

TEST_F(GoodsImportTest, a_header_with_a_space_after_the_remark_is_not_a_template_and_the_file_is_left_alone)
{
    QStringList header = kHeader;
    header[6] = QStringLiteral("备注 ");
    QString file = Template("t.xls", {header, {"G1", "一", "", "1", "1", "1", ""}});
    std::string before = Bytes(file);
    Import(file);
    EXPECT_EQ(prompter.shown.last(), QStringLiteral("info:导入的文件不是导入模板!"));
    EXPECT_EQ(Count("spxx"), 0);
    EXPECT_EQ(Bytes(file), before);
    EXPECT_TRUE(Form8->isVisible());
    EXPECT_TRUE(Log().last().startsWith(QStringLiteral("-------------------[商品模板导入时间:")));
}

// A rejected row leaves no row of this import stored and the file unwritten.
TEST_F(GoodsImportTest, a_row_the_store_rejects_stores_nothing_and_the_log_names_it)
{
    QString file = Template("t.xls", {kHeader,
                                      {"G1", "一", "", "1", "1", "1", ""},
                                      {"G2", "二", "", "abc", "1", "1", ""},
                                      {"G3", "三", "", "1", "1", "1", ""}});
    std::string before = Bytes(file);
    Import(file);
    EXPECT_EQ(Count("spxx"), 0);
    EXPECT_TRUE(prompter.shown.last().startsWith("error:")) << prompter.shown.last().toStdString();
    EXPECT_EQ(Log().last(), QStringLiteral("第3行导入失败: D列(进价)“abc”不是数字。本次导入没有保存任何商品。"));
    EXPECT_EQ(prompter.shown.last(), QStringLiteral("error:") + Log().last());
    EXPECT_EQ(Bytes(file), before);
    Import(Template("t2.xls", {kHeader, {"G1", "一", "", "1", "1", "1", ""}, {"G2", "二", "", "2", "1", "1", ""}}));
    EXPECT_EQ(Count("spxx"), 2);
}

// The rows are stored before the file is written back; when that fails (its
// folder is gone here, which holds even for root) the goods stay stored and
// the log and the error say so, so the seller does not import them twice.
TEST_F(GoodsImportTest, a_file_that_cannot_be_written_back_keeps_the_goods_and_says_so)
{
    std::filesystem::create_directory(dir.path() / "sub");
    QString file =
        Template("sub/t.xls", {kHeader, {"G1", "一", "", "1", "1", "1", ""}, {"G2", "二", "", "2", "1", "1", ""}});
    workbook::TXLSWorkbook xls;
    store::Connection c;
    c.Open();
    TGoodsImport import(xls, c);
    QStringList log;
    import.OnLog = [&log](const QString& line) { log << line;
};
import.BeforeStore = [this] { std::filesystem::rename(dir.path() / "sub", dir.path() / "moved");
std::ofstream(dir.path() / "sub") << "not a folder";
}
;
try {
    import.Run(file);
    FAIL() << "the write-back did not fail";
} catch (const std::runtime_error& e) {
    EXPECT_EQ(QString::fromUtf8(e.what()), log.last());
}
EXPECT_TRUE(log.last().startsWith(QStringLiteral("已新增2条商品记录，但导入的文件无法写回: Cannot create file")))
    << log.last().toStdString();
EXPECT_TRUE(log.last().endsWith(QStringLiteral("商品已经保存，请不要再次导入这个文件。")));
EXPECT_EQ(Count("spxx"), 2);
}

// Empty numeric cells and fractional stock are named by column in Chinese,
// not with the store's English words.
TEST_F(GoodsImportTest, an_empty_or_fractional_number_cell_is_named_by_its_column)
{
    Import(Template("t.xls", {kHeader, {"G1", "一", "", "1", "", "1", ""}}));
    EXPECT_EQ(Log().last(), QStringLiteral("第2行导入失败: E列(售价)是空的，请填入数字。本次导入没有保存任何商品。"));
    Import(Template("t2.xls", {kHeader, {"G1", "一", "", "1", "2", "1", ""}, {"G2", "二", "", "1", "2", "1.5", ""}}));
    EXPECT_EQ(Log().last(), QStringLiteral("第3行导入失败: F列(库存)“1.5”不是整数。本次导入没有保存任何商品。"));
    EXPECT_EQ(Count("spxx"), 0);
}

TEST_F(GoodsImportTest, two_imports_log_both_runs_numbered_from_one_and_store_goods_again)
{
    QString file =
        Template("t.xls", {kHeader, {"G1", "一", "", "1", "1", "1", ""}, {"G2", "二", "", "1", "1", "1", ""}});
    Import(file);
    Import(file);
    EXPECT_EQ(Count("spxx"), 4);
    QStringList log = Log();
    ASSERT_EQ(log.size(), 6);
    // The second run stores the goods again, as the template import always
    // did, but says so on every line and in the closing message.
    EXPECT_EQ(log[1], QStringLiteral("1.新增商品: 一"));
    EXPECT_EQ(log[4], QStringLiteral("1.新增商品: 一 (商品编码已存在, 重复新增)"));
    EXPECT_TRUE(log[3].startsWith(QStringLiteral("-------------------[")));
    EXPECT_TRUE(prompter.shown.last().startsWith(
        QStringLiteral("message:文件导入完成!新增2条记录!\n其中2条记录的商品编码在导入前已经存在")))
        << prompter.shown.last().toStdString();
}

TEST_F(GoodsImportTest, the_log_of_a_rolled_back_import_marks_its_rows_as_not_saved)
{
    Import(Template("t.xls", {kHeader,
                              {"G1", "一", "", "1", "1", "1", ""},
                              {"G2", "二", "", "1", "1", "1", ""},
                              {"G3", "三", "", "x", "1", "1", ""}}));
    QStringList log = Log();
    ASSERT_EQ(log.size(), 4);
    EXPECT_EQ(log[1], QStringLiteral("1.未保存(导入已撤销): 一"));
    EXPECT_EQ(log[2], QStringLiteral("2.未保存(导入已撤销): 二"));
    EXPECT_FALSE(Form8->Memo1->toPlainText().contains(QStringLiteral("新增商品")));
    EXPECT_EQ(Count("spxx"), 0);
}

TEST_F(GoodsImportTest, a_cancelled_dialog_does_nothing_and_shows_no_log)
{
    Form4->BitBtn3->click();
    EXPECT_EQ(prompter.shown.size(), 1);
    EXPECT_FALSE(Form8->isVisible());
}

TEST_F(GoodsImportTest, an_exported_goods_list_imports_again_unchanged)
{
    Import(Template("t.xls",
                    {kHeader, {"G1", "苹果", "红", "1.5", "2.25", "10", "x"}, {"G2", "梨", "", "3", "4", "5", ""}}));
    QStringList first = Goods();
    prompter.files = {QString::fromStdString(dir.file("export.xls"))};
    Form4->BitBtn4->click();
    Import(QString::fromStdString(dir.file("export.xls")));
    QStringList all = Goods();
    ASSERT_EQ(all.size(), 4);
    QStringList again = all.mid(2);
    again.sort();
    first.sort();
    EXPECT_EQ(again, first);
}

TEST_F(GoodsImportTest, corpus_workbooks_that_are_not_templates_are_refused)
{
    std::filesystem::path corpus = std::filesystem::path(TB_CORPUS_DIR) / "xls";
    if (!std::filesystem::is_directory(corpus)) GTEST_SKIP() << "no corpus";
    for (const char* name : {"xlrd__ragged.xls", "edr__Test10x10.xls", "calamine__biff5_write.xls"}) {
        Import(QString::fromStdString((corpus / name).string()));
        EXPECT_EQ(prompter.shown.last(), QStringLiteral("info:导入的文件不是导入模板!")) << name;
    }
    EXPECT_EQ(Count("spxx"), 0);
}

TEST_F(GoodsImportTest, the_command_line_runs_the_same_import)
{
    QString file = Template("t.xls", {kHeader, {"G1", "一", "", "1", "1", "1", ""}});
    QProcess p;
    p.setWorkingDirectory(QString::fromStdString(dir.path().string()));
    p.start(QString(TB_BIN_DIR) + "/tallybrook", {"import-goods", file});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    QStringList out = QString::fromUtf8(p.readAllStandardOutput()).split('\n');
    EXPECT_EQ(out.value(1), QStringLiteral("1.新增商品: 一"));
    EXPECT_EQ(out.value(2), QStringLiteral("文件导入完成!新增1条记录!"));
    EXPECT_EQ(Count("spxx"), 1);
    QStringList header = kHeader;
    header[6] = "x";
    p.start(QString(TB_BIN_DIR) + "/tallybrook", {"import-goods", Template("n.xls", {header})});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_EQ(QString::fromUtf8(p.readAllStandardError()), QStringLiteral("导入的文件不是导入模板!\n"));
}
