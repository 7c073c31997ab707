// Exports keep every row and write the format the file name asks for: .xls
// as Excel 97-2003 (rows past one sheet on further sheets, each with the
// title row), .xlsx as an Excel workbook; also after an .xlsx import.
#include <QProcess>
#include <fstream>
#include <iterator>

#include "app/Forms.h"
#include "app/QueryExport.h"
#include "app/goods.h"
#include "app/main.h"
#include "tests/app/AppFixture.h"
#include "workbook/Workbook.h"

namespace {

// Every sheet of a workbook as "name rows first-title first-code last-code",
// then the number of distinct goods codes under the title rows.
QString SheetSummary(const QString& file)
{
    const char* script = "import sys\n"
                         "f = sys.argv[1]\n"
                         "if f.endswith('.xlsx'):\n"
                         "    import openpyxl\n"
                         "    b = openpyxl.load_workbook(f, read_only=True)\n"
                         "    sheets = [(s.title, [list(r) for r in s.values]) for s in b.worksheets]\n"
                         "else:\n"
                         "    import xlrd\n"
                         "    b = xlrd.open_workbook(f)\n"
                         "    sheets = [(s.name, [s.row_values(r) for r in range(s.nrows)]) for s in b.sheets()]\n"
                         "codes = set()\n"
                         "for name, rows in sheets:\n"
                         "    print(name, len(rows), rows[0][0], rows[1][0], rows[-1][0])\n"
                         "    codes.update(r[0] for r in rows[1:])\n"
                         "print(len(codes))\n";
    QProcess p;
    p.start("/usr/bin/python3", {"-c", script, file});
    p.waitForFinished(300000);
    return QString::fromUtf8(p.readAllStandardOutput()) + QString::fromUtf8(p.readAllStandardError());
}

std::string FirstBytes(const QString& file)
{
    std::ifstream in(file.toStdString(), std::ios::binary);
    char bytes[4] = {};
    in.read(bytes, 4);
    return std::string(bytes, size_t(in.gcount()));
}

const std::string kBinary = "\xD0\xCF\x11\xE0";
const std::string kPackage = "PK\x03\x04";

}  // namespace

class ExportFormatTest : public AppTest {
protected:
    // Goods G1..Gn with stock 1..n, so the list (ordered by stock) is G1 first.
    void AddGoods(int n)
    {
        Sql("insert into spxx(spbm, spmc, spsx, spjj, spsj, spkc, bz) "
            "with recursive n(i) as (select 1 union all select i + 1 from n where i < :n) "
            "select 'G' || i, '商品' || i, 'L', 1.5, 19.99, i, '' from n",
            {{":n", std::int64_t(n)}});
    }
    void OpenGoods()
    {
        StartForms();
        LogIn();
        Form2->ItemClick("商品管理");
    }
    QString Out(const char* name) { return QString::fromStdString(dir.file(name)); }
    void Export(const QString& file)
    {
        prompter.files = {file};
        Form4->BitBtn4->click();
    }
};

TEST_F(ExportFormatTest, seventy_thousand_goods_to_xls_keep_every_row_on_two_titled_sheets)
{
    AddGoods(70000);
    OpenGoods();
    Export(Out("big.xls"));
    EXPECT_TRUE(prompter.shown.last().startsWith(QStringLiteral("info:文件保存成功!\n共70000条记录")))
        << prompter.shown.last().toStdString();
    EXPECT_TRUE(prompter.shown.last().contains(QStringLiteral("2张工作表")));
    EXPECT_EQ(FirstBytes(Out("big.xls")), kBinary);
    EXPECT_EQ(SheetSummary(Out("big.xls")), QStringLiteral("Sheet1 65536 商品编码 G1 G65535\n"
                                                           "Sheet2 4466 商品编码 G65536 G70000\n"
                                                           "70000\n"));
}

TEST_F(ExportFormatTest, seventy_thousand_goods_to_xlsx_keep_every_row_on_one_sheet)
{
    AddGoods(70000);
    OpenGoods();
    Export(Out("big.xlsx"));
    EXPECT_EQ(prompter.shown.last(), "info:文件保存成功!");
    EXPECT_EQ(FirstBytes(Out("big.xlsx")), kPackage);
    EXPECT_EQ(SheetSummary(Out("big.xlsx")), QStringLiteral("Sheet1 70001 商品编码 G1 G70000\n70000\n"));
}

TEST_F(ExportFormatTest, the_save_dialog_offers_both_formats_and_suggests_a_name_without_extension)
{
    AddGoods(3);
    OpenGoods();
    Export({});
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_TRUE(prompter.shown[0].startsWith(QStringLiteral("save:导出到 Excel:商品查询导出")));
    EXPECT_FALSE(prompter.shown[0].contains('.'));
    EXPECT_TRUE(kExportFilters.contains(QStringLiteral("Excel 97-2003 (*.xls)")));
    EXPECT_TRUE(kExportFilters.contains(QStringLiteral("Excel 工作簿 (*.xlsx)")));
}

TEST_F(ExportFormatTest, an_xls_export_after_an_xlsx_import_is_binary)
{
    workbook::TXLSWorkbook book;
    const QStringList header = {"商品编码", "商品名称", "商品属性", "商品进价", "商品售价", "商品库存", "备注"};
    const QStringList row = {"X1", "导入的", "", "1", "2", "3", ""};
    for (int c = 0; c < 7; ++c) {
        book.Sheet(0).SetAsString(uint32_t(c), 0, header[c].toStdU16String());
        book.Sheet(0).SetAsString(uint32_t(c), 1, row[c].toStdU16String());
    }
    book.SetFilename(Out("in.xlsx").toStdU16String());
    book.Write();
    ASSERT_EQ(FirstBytes(Out("in.xlsx")), kPackage);
    OpenGoods();
    prompter.files = {Out("in.xlsx")};
    Form4->BitBtn3->click();
    ASSERT_EQ(prompter.shown.last(), QStringLiteral("message:文件导入完成!新增1条记录!"));
    Export(Out("goods.xls"));
    EXPECT_EQ(FirstBytes(Out("goods.xls")), kBinary);
    EXPECT_EQ(SheetSummary(Out("goods.xls")), QStringLiteral("Sheet1 2 商品编码 X1 X1\n1\n"));
    Export(Out("goods.xlsx"));
    EXPECT_EQ(FirstBytes(Out("goods.xlsx")), kPackage);
}

TEST_F(ExportFormatTest, command_line_export_writes_xlsx_by_name)
{
    AddGoods(5);
    QProcess p;
    p.setWorkingDirectory(QString::fromStdString(dir.path().string()));
    p.start(QString(TB_BIN_DIR) + "/tallybrook", {"export-goods", "cli.xlsx"});
    p.waitForFinished(60000);
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    EXPECT_EQ(QString::fromUtf8(p.readAllStandardOutput()),
              QStringLiteral("文件保存成功!\n5 rows, 1 sheet -> cli.xlsx\n"));
    EXPECT_EQ(FirstBytes(Out("cli.xlsx")), kPackage);
    EXPECT_EQ(SheetSummary(Out("cli.xlsx")), QStringLiteral("Sheet1 6 商品编码 G1 G5\n5\n"));
}

TEST(ExportSavedMessage, says_how_many_sheets_when_the_rows_took_more_than_one)
{
    EXPECT_EQ(ExportSavedMessage({10, 1}, "a.xls"), QStringLiteral("文件保存成功!"));
    const QString split = ExportSavedMessage({70000, 2}, "a.xls");
    EXPECT_TRUE(split.contains(QStringLiteral("65536行"))) << split.toStdString();
    EXPECT_TRUE(split.contains(QStringLiteral("Excel 工作簿 (*.xlsx)"))) << split.toStdString();
}
