#include <QProcess>

#include "app/Forms.h"
#include "app/main.h"
#include "app/sellManager.h"
#include "tests/app/AppFixture.h"
#include "tests/app/XlsPeer.h"

class SalesExportTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        QDate today = QDate::currentDate();
        for (int i = 1; i <= 3; ++i)
            Sql("insert into xssp(ddbh, spmc, spbm, spsx, bz, sj, jj, gmsl, xssj) values "
                "(:o, '短袖', 'G1', 'L', '', 19.99, 12.5, :q, :t)",
                {{":o", "D" + std::to_string(i)},
                 {":q", std::int64_t(i)},
                 {":t", today.toString("yyyy-MM-dd").toStdString() + " 10:00:0" + std::to_string(i)}});
    }
};

TEST_F(SalesExportTest, window_export_leaves_column_a_empty_and_writes_every_line)
{
    StartForms();
    LogIn();
    Form2->ItemClick("销售查询");
    QString file = QString::fromStdString(dir.file("sales.xls"));
    prompter.files = {file};
    Form7->BitBtn2->click();
    EXPECT_TRUE(prompter.shown[0].contains(QStringLiteral("销售订单查询导出")));
    EXPECT_EQ(prompter.shown.last(), "info:文件保存成功!");
    QStringList rows = XlrdRows(file);
    ASSERT_EQ(rows.size(), 4) << rows.join("\n").toStdString();
    EXPECT_EQ(rows[0],
              QStringLiteral("\t订单编号\t商品名称\t商品编码\t售价\t进价\t购买数量\t商品属性\t备注\t登记时间"));
    for (const QString& r : rows) EXPECT_TRUE(r.startsWith('\t'));
    EXPECT_TRUE(rows[1].contains(QStringLiteral("\t短袖\tG1\t19.99\t12.5\t")));
}

TEST_F(SalesExportTest, command_line_export_filters_by_order)
{
    QProcess p;
    p.setWorkingDirectory(QString::fromStdString(dir.path().string()));
    p.start(QString(TB_BIN_DIR) + "/tallybrook", {"export-sales", "out.xls", "--order", "D2"});
    p.waitForFinished(60000);
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    QStringList rows = XlrdRows(QString::fromStdString(dir.file("out.xls")));
    ASSERT_EQ(rows.size(), 2);
    EXPECT_TRUE(rows[1].startsWith(QStringLiteral("\tD2\t")));
    p.start(QString(TB_BIN_DIR) + "/tallybrook", {"export-sales", "none.xls", "--order", "nothing"});
    p.waitForFinished(60000);
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_FALSE(std::filesystem::exists(dir.file("none.xls")));
}
