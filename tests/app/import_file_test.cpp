// The goods import's file: the open dialog starts with the template's name
// and then the last file, and a file that is not a workbook is told in
// Chinese first, the reader's text after.
#include <QProcess>
#include <fstream>

#include "app/Forms.h"
#include "app/GoodsImport.h"
#include "app/goods.h"
#include "app/main.h"
#include "tests/app/AppFixture.h"

class ImportFileTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        StartForms();
        LogIn();
        Form2->ItemClick("商品管理");
    }
    QString Out(const char* name) { return QString::fromStdString(dir.file(name)); }
    QString TextFile(const char* name)
    {
        std::ofstream(dir.file(name)) << "编号,名称\nG1,苹果\n";
        return Out(name);
    }
};

TEST_F(ImportFileTest, a_file_that_is_not_a_workbook_is_told_in_chinese_then_the_reader_text)
{
    prompter.files = {TextFile("goods.xls")};
    Form4->BitBtn3->click();
    const QString last = prompter.shown.last();
    EXPECT_TRUE(last.startsWith(QStringLiteral("error:文件“goods.xls”不是 Excel 工作簿，或者已经损坏，无法读取。"
                                               "请选择另一个文件，或在电子表格程序中打开它并另存为 Excel 工作簿")))
        << last.toStdString();
    EXPECT_TRUE(last.contains(QStringLiteral("\nError on reading record # "))) << last.toStdString();
    EXPECT_FALSE(last.contains('\r'));
    EXPECT_EQ(Count("spxx"), 0);
}

TEST_F(ImportFileTest, a_damaged_package_and_a_missing_file_are_told_too)
{
    std::ofstream(dir.file("cut.xlsx"), std::ios::binary) << std::string("PK\x03\x04", 4) << "cut short";
    prompter.files = {Out("cut.xlsx")};
    Form4->BitBtn3->click();
    EXPECT_TRUE(prompter.shown.last().startsWith(QStringLiteral("error:文件“cut.xlsx”不是 Excel 工作簿")))
        << prompter.shown.last().toStdString();
    prompter.files = {Out("gone.xls")};
    Form4->BitBtn3->click();
    EXPECT_TRUE(prompter.shown.last().startsWith(QStringLiteral("error:找不到文件“gone.xls”。请重新选择")))
        << prompter.shown.last().toStdString();
}

TEST_F(ImportFileTest, the_open_dialog_starts_with_the_template_name_then_the_last_file)
{
    Form4->BitBtn3->click();  // cancelled
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_TRUE(prompter.shown[0].endsWith(QStringLiteral(":商品导入模板.xls"))) << prompter.shown[0].toStdString();
    EXPECT_FALSE(prompter.shown[0].startsWith(QStringLiteral("open:商品导入模板.xls")));
    const QString chosen = TextFile("chosen.xls");
    prompter.files = {chosen};
    Form4->BitBtn3->click();
    prompter.shown.clear();
    Form4->BitBtn3->click();
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_TRUE(prompter.shown[0].endsWith(":" + chosen)) << prompter.shown[0].toStdString();
}

TEST_F(ImportFileTest, the_command_line_tells_a_file_that_is_not_a_workbook_in_chinese_first)
{
    StopForms();
    QProcess p;
    p.setWorkingDirectory(QString::fromStdString(dir.path().string()));
    p.start(QString(TB_BIN_DIR) + "/tallybrook", {"import-goods", TextFile("text.xlsx")});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 1);
    const QStringList err = QString::fromUtf8(p.readAllStandardError()).split('\n');
    EXPECT_TRUE(err.value(0).startsWith(QStringLiteral("文件“text.xlsx”不是 Excel 工作簿")))
        << err.join('|').toStdString();
    EXPECT_GE(err.size(), 2);
}
