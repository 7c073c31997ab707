#include <QProcess>
#include <fstream>

#include "app/Forms.h"
#include "app/Safety.h"
#include "app/backupwindow.h"
#include "app/goods.h"
#include "app/main.h"
#include "store/Backup.h"
#include "tests/app/AppFixture.h"
#include "workbook/Workbook.h"

class SafetyNetTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        for (int i = 1; i <= 5; ++i)
            Sql("insert into spxx(spbm, spmc, spkc) values (:c, '商品', :k)",
                {{":c", "G" + std::to_string(i)}, {":k", std::int64_t(i)}});
        StartForms();
        LogIn();
        Form2->ItemClick("商品管理");
    }
    store::BackupManager Backups() { return store::BackupManager(dir.file("ledgr.mdb")); }
};

TEST_F(SafetyNetTest, delete_all_is_backed_up_and_restored_from_the_backup_window)
{
    prompter.answers = {true};
    Form4->BitBtn5->click();
    ASSERT_EQ(Count("spxx"), 0);
    auto list = Backups().List();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].reason, "delete-all");
    EXPECT_EQ(list[0].goods, 5);

    Form2->ItemClick("数据备份");
    TBackupWindow* w = Form2->BackupWindow();
    ASSERT_NE(w, nullptr);
    ASSERT_EQ(w->List->rowCount(), 1);
    w->List->selectRow(0);
    prompter.answers = {true};
    w->RestoreButton->click();
    EXPECT_EQ(Count("spxx"), 5);
    EXPECT_EQ(Form4->ADOQuery2().RecordCount(), 5);  // the list shows the restored goods
    EXPECT_EQ(w->List->rowCount(), 2);               // plus the state before restoring
    EXPECT_EQ(prompter.shown.last(),
              QStringLiteral("info:数据库已恢复到 %1 的备份。").arg(QString::fromStdString(list[0].stamp)));
}

TEST_F(SafetyNetTest, an_import_of_the_wrong_file_is_undone_by_restoring_its_backup)
{
    auto dump = [&] {
        store::Connection c;
        store::Statement st(c, "select * from spxx order by id");
        std::string out;
        while (st.Step())
            for (int i = 0; i < st.ColumnCount(); ++i) out += store::ValueText(st.Column(i)) + "|";
        return out;
    };
    std::string before = dump();
    workbook::TXLSWorkbook book;
    const char* header[] = {"商品编码", "商品名称", "商品属性", "商品进价", "商品售价", "商品库存", "备注"};
    for (uint32_t c = 0; c < 7; ++c) book.Sheet(0).SetAsString(c, 0, QString(header[c]).toStdU16String());
    for (uint32_t r = 1; r <= 50; ++r)
        for (uint32_t c = 0; c < 7; ++c)
            book.Sheet(0).SetAsString(c, r, (c == 0 ? QString("WRONG%1").arg(r) : QString("1")).toStdU16String());
    QString file = QString::fromStdString(dir.file("wrong.xls"));
    book.SetFilename(file.toStdU16String());
    book.Write();
    prompter.files = {file};
    Form4->BitBtn3->click();
    ASSERT_EQ(Count("spxx"), 55) << prompter.shown.join("\n").toStdString();
    auto list = Backups().List();
    ASSERT_FALSE(list.empty());
    EXPECT_EQ(list[0].reason, "import");
    RestoreBackup(list[0].path);
    EXPECT_EQ(dump(), before);
    EXPECT_EQ(Form4->ADOQuery2().RecordCount(), 5);
}

TEST_F(SafetyNetTest, a_backup_that_fails_stops_delete_all_with_a_message)
{
    store::BackupManager::SetWriteFault([](const std::string&) { return true; });
    prompter.answers = {true};
    Form4->BitBtn5->click();
    store::BackupManager::SetWriteFault(nullptr);
    EXPECT_EQ(Count("spxx"), 5);
    ASSERT_EQ(prompter.shown.size(), 2);
    EXPECT_TRUE(prompter.shown[1].startsWith("error:无法备份数据库")) << prompter.shown[1].toStdString();
    EXPECT_EQ(Form4->ADOQuery2().RecordCount(), 5);
}

TEST_F(SafetyNetTest, a_damaged_database_is_offered_the_newest_good_backup)
{
    Backups().Backup("daily");
    Sql("insert into spxx(spbm) values ('after the backup')");
    prompter.answers = {true};
    EXPECT_TRUE(OfferRestoreOfDamagedDatabase("database disk image is malformed"));
    EXPECT_TRUE(prompter.shown[0].contains(QStringLiteral("是否用这个备份恢复数据库")));
    EXPECT_EQ(Count("spxx"), 5);
}

TEST(SafetyNetCli, backup_list_and_restore_without_windows)
{
    TempDir dir;
    auto run = [&](const QStringList& args) {
        QProcess p;
        p.setWorkingDirectory(QString::fromStdString(dir.path().string()));
        p.start(QString(TB_BIN_DIR) + "/tallybrook", args);
        p.waitForFinished(60000);
        return std::pair{p.exitCode(), QString::fromUtf8(p.readAllStandardOutput())};
    };
    ASSERT_EQ(run({"new-database"}).first, 0);
    auto [rc, path] = run({"backup"});
    ASSERT_EQ(rc, 0);
    path = path.trimmed();
    EXPECT_TRUE(path.contains("/backups/ledgr-"));
    EXPECT_TRUE(run({"backups"}).second.contains("manual\t0\t0"));
    store::Connection(dir.file("ledgr.mdb")).Execute("insert into spxx(spbm) values ('x')");
    EXPECT_EQ(run({"restore", path}).first, 0);
    EXPECT_EQ(store::CountRows(dir.file("ledgr.mdb")).first, 0);
    EXPECT_NE(run({"restore", "/nonexistent.mdb"}).first, 0);
}

TEST_F(SafetyNetTest, an_xlsx_template_is_imported_too)
{
    workbook::TXLSWorkbook book;
    const char* row0[] = {"商品编码", "商品名称", "商品属性", "商品进价", "商品售价", "商品库存", "备注"};
    const char* row1[] = {"X1", "新品", "M", "2", "3", "4", "包邮"};
    for (uint32_t c = 0; c < 7; ++c) {
        book.Sheet(0).SetAsString(c, 0, QString(row0[c]).toStdU16String());
        book.Sheet(0).SetAsString(c, 1, QString(row1[c]).toStdU16String());
    }
    book.SetVersion(workbook::xvExcel2007);
    QString file = QString::fromStdString(dir.file("goods.xlsx"));
    book.SetFilename(file.toStdU16String());
    book.Write();
    prompter.files = {file};
    Form4->BitBtn3->click();
    EXPECT_EQ(Count("spxx", "spbm = 'X1' and spmc = '新品' and bz = '包邮' and spkc = 4"), 1)
        << prompter.shown.join("\n").toStdString();
}
