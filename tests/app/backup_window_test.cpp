// The backup window's sizes and the disk budget, used with the keyboard and
// the mouse the way a seller would.
#include <QLineEdit>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "app/BackupSettings.h"
#include "app/Forms.h"
#include "app/backupwindow.h"
#include "app/login.h"
#include "app/main.h"
#include "store/Backup.h"
#include "tests/app/AppFixture.h"

namespace fs = std::filesystem;

class BackupWindowTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        StartForms();
        LogIn();
    }
    store::BackupManager Backups() { return store::BackupManager(dir.file("ledgr.mdb")); }
    // Five copies of 60 MB each (sparse, so they take no real disk), "…-01" the oldest.
    void MakeLargeCopies()
    {
        fs::create_directories(Backups().Folder());
        for (int i = 1; i <= 5; ++i) {
            fs::path p = fs::path(Backups().Folder()) / ("ledgr-20240301-10000" + std::to_string(i) + "-import.mdb.gz");
            std::ofstream(p).close();
            fs::resize_file(p, 60 << 20);
        }
    }
    TBackupWindow* OpenWindow()
    {
        Form2->ItemClick("数据备份");
        QApplication::processEvents();
        return Form2->BackupWindow();
    }
    // Clicks into the budget, replaces its text by typing, and clicks "保存上限".
    void TypeBudget(TBackupWindow* w, const QString& text)
    {
        auto* edit = w->BudgetBox->findChild<QLineEdit*>();
        QTest::mouseClick(edit, Qt::LeftButton);
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, text);
        QTest::mouseClick(w->BudgetButton, Qt::LeftButton);
        QApplication::processEvents();
    }
    QString Ini() { return QString::fromStdString(dir.file("bin/config.ini")); }
};

TEST_F(BackupWindowTest, the_window_shows_each_copys_size_what_all_take_and_the_automatic_budget)
{
    std::string copy = Backups().Backup("manual");
    TBackupWindow* w = OpenWindow();
    ASSERT_NE(w, nullptr);
    ASSERT_EQ(w->List->rowCount(), 1);
    EXPECT_EQ(w->List->horizontalHeaderItem(4)->text(), QStringLiteral("大小"));
    EXPECT_EQ(w->List->item(0, 4)->text(), SizeText(fs::file_size(copy)));
    EXPECT_TRUE(w->List->item(0, 4)->text().endsWith(" KB"));
    EXPECT_TRUE(
        w->UsageLabel->text().startsWith(QStringLiteral("1 个备份共占用 %1, 上限 ").arg(SizeText(fs::file_size(copy)))))
        << w->UsageLabel->text().toStdString();
    EXPECT_TRUE(w->UsageLabel->text().contains(QStringLiteral("(自动: 2 GB 与可用空间的 10% 中较小者)")));
    EXPECT_EQ(w->BudgetBox->text(), QStringLiteral("自动"));
}

TEST_F(BackupWindowTest, a_lower_budget_typed_in_is_kept_in_config_ini_and_prunes_to_the_newest_three)
{
    MakeLargeCopies();
    TBackupWindow* w = OpenWindow();
    ASSERT_EQ(w->List->rowCount(), 5);
    EXPECT_EQ(w->List->item(0, 4)->text(), QStringLiteral("60.0 MB"));
    EXPECT_TRUE(w->UsageLabel->text().startsWith(QStringLiteral("5 个备份共占用 300.0 MB, 上限 ")));
    prompter.answers = {true};
    TypeBudget(w, "0.1");
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown[0],
              QStringLiteral("yesno:现有备份共占用 300.0 MB, 超过新的上限 102.0 MB。\n"
                             "是否现在删除较旧的备份? 最新的三个备份总会保留。\n选 \"否\" 则在下次备份时删除。"));
    EXPECT_EQ(ReadBackupBudgetMB(Ini()), 102u);
    ASSERT_EQ(w->List->rowCount(), 3);  // the newest three, although they take more
    EXPECT_EQ(w->List->item(2, 0)->text(), QStringLiteral("2024-03-01 10:00:03"));
    EXPECT_TRUE(w->UsageLabel->text().startsWith(QStringLiteral("3 个备份共占用 180.0 MB, 上限 102.0 MB。")))
        << w->UsageLabel->text().toStdString();

    TypeBudget(w, "0");  // back to the automatic budget, which holds them: nothing asked
    EXPECT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(ReadBackupBudgetMB(Ini()), 0u);
    EXPECT_EQ(w->BudgetBox->text(), QStringLiteral("自动"));
    EXPECT_TRUE(w->UsageLabel->text().contains(QStringLiteral("自动")));
    EXPECT_EQ(w->List->rowCount(), 3);
}

TEST_F(BackupWindowTest, copies_over_a_budget_the_seller_did_not_want_pruned_now_go_at_the_next_backup)
{
    MakeLargeCopies();
    TBackupWindow* w = OpenWindow();
    prompter.answers = {false};
    TypeBudget(w, "0.1");
    EXPECT_EQ(w->List->rowCount(), 5);
    EXPECT_EQ(ReadBackupBudgetMB(Ini()), 102u);
    QTest::mouseClick(w->BackupButton, Qt::LeftButton);
    QApplication::processEvents();
    ASSERT_EQ(w->List->rowCount(), 3);
    EXPECT_EQ(w->List->item(0, 1)->text(), QStringLiteral("手动备份"));
    EXPECT_EQ(w->List->item(1, 0)->text(), QStringLiteral("2024-03-01 10:00:05"));
}

TEST_F(BackupWindowTest, the_budget_in_config_ini_is_shown_when_the_window_opens)
{
    WriteBackupBudgetMB(Ini(), 1536);
    TBackupWindow* w = OpenWindow();
    EXPECT_EQ(w->BudgetBox->text(), QStringLiteral("1.5 GB"));
    EXPECT_TRUE(w->UsageLabel->text().endsWith(
        QStringLiteral("上限 1.5 GB。\n超出上限时先删除最旧的备份, 最新的三个总会保留。")))
        << w->UsageLabel->text().toStdString();
    EXPECT_EQ(SellerBackups().Budget(), std::uint64_t(1536) << 20);
}

TEST_F(BackupWindowTest, a_damaged_compressed_copy_chosen_in_the_window_is_refused_and_nothing_changes)
{
    std::string copy = Backups().Backup("manual");
    Sql("insert into spxx(spbm, spmc) values ('after', '之后')");
    {
        std::fstream f(copy, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(static_cast<std::streamoff>(fs::file_size(copy) / 2));
        f.write("ZZZZZZZZ", 8);
    }
    TBackupWindow* w = OpenWindow();
    ASSERT_EQ(w->List->rowCount(), 1);
    QTest::mouseClick(w->List->viewport(), Qt::LeftButton, {}, w->List->visualItemRect(w->List->item(0, 1)).center());
    ASSERT_TRUE(w->RestoreButton->isEnabled());
    prompter.answers = {true};
    QTest::mouseClick(w->RestoreButton, Qt::LeftButton);
    ASSERT_EQ(prompter.shown.size(), 2);
    EXPECT_TRUE(prompter.shown[1].startsWith(
        QStringLiteral("error:备份文件 %1 已损坏, 不能恢复: 压缩数据").arg(QString::fromStdString(copy))))
        << prompter.shown[1].toStdString();
    EXPECT_TRUE(prompter.shown[1].endsWith(QStringLiteral("数据库没有改动。请选择另一个备份恢复。")));
    EXPECT_EQ(Count("spxx", "spbm = 'after'"), 1);
    EXPECT_EQ(w->List->rowCount(), 1);
}

TEST(BackupSizes, sizes_read_in_kilobytes_megabytes_and_gigabytes)
{
    EXPECT_EQ(SizeText(0), QStringLiteral("0 KB"));
    EXPECT_EQ(SizeText(1), QStringLiteral("1 KB"));
    EXPECT_EQ(SizeText(812 * 1024), QStringLiteral("812 KB"));
    EXPECT_EQ(SizeText(std::uintmax_t(147) << 20), QStringLiteral("147.0 MB"));
    EXPECT_EQ(SizeText(std::uintmax_t(2) << 30), QStringLiteral("2.0 GB"));
}
