// `tallybrook save-order` and `tallybrook sales` run as child processes on
// real database files, including one killed in the middle of a save.
#include <QDate>
#include <QProcess>
#include <filesystem>

#include "app/SalesOrder.h"
#include "store/DataSet.h"
#include "tests/app/AppFixture.h"

namespace {

struct TRun {
    int status = -1;
    QString out;
    QString err;
};

QString Program() { return QString(TB_BIN_DIR) + "/tallybrook"; }

}  // namespace

class SalesCliTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        Sql("insert into spxx(id, spbm, spmc, spsx, spjj, spsj, spkc, bz) values "
            "(1, 'A1', '红色T恤', 'L码', 20, 35.5, 10, '夏季'), (2, 'A2', '帽子', '', 3.25, 9.9, 5, ''), "
            "(3, 'B3', '袜子', '', 1, 2, 100, 'tab\there')");
    }
    TRun Run(const QStringList& args)
    {
        QProcess p;
        p.setWorkingDirectory(QString::fromStdString(dir.path().string()));
        p.start(Program(), args);
        EXPECT_TRUE(p.waitForFinished(60000)) << args.join(' ').toStdString();
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
    }
    std::string Query(const std::string& sql)
    {
        store::Connection c;
        store::DataSet q(c);
        q.SetSQL(sql);
        q.Open();
        return q.FieldText(0);
    }
};

TEST_F(SalesCliTest, save_order_stores_the_goods_fields_with_quantities_and_a_price_override)
{
    TRun r = Run({"save-order", "  TB-9 ", "1:2", "3:1:1.5"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "订单保存成功!\n");
    EXPECT_EQ(Count("xssp", "ddbh = 'TB-9'"), 2);
    EXPECT_EQ(Count("xssp", "spmc = '红色T恤' and sj = 35.5 and jj = 20 and gmsl = 2 and spsx = 'L码' and "
                            "spbm = 'A1' and bz = '夏季'"),
              1);
    EXPECT_EQ(Count("xssp", "spmc = '袜子' and sj = 1.5 and jj = 1 and gmsl = 1"), 1);
    EXPECT_EQ(Query("select spkc from spxx where id = 1"), "8");
    EXPECT_EQ(Query("select spkc from spxx where id = 3"), "99");
}

TEST_F(SalesCliTest, save_order_refuses_a_bad_line_by_number_and_stores_nothing)
{
    const std::pair<QStringList, const char*> bad[] = {
        {{"save-order", "o", "1:2", "2:两个"}, "第2行(帽子)"},
        {{"save-order", "o", "1:2", "99:1"}, "第2行"},
        {{"save-order", "o", "1:2", "3:1:1,5"}, "第2行(袜子)"},
        {{"save-order", "o", "1"}, "第1行"},
        {{"save-order", "o", "x:1"}, "第1行"},
        {{"save-order", " ", "1:1"}, kOrderNumberMissing},
    };
    for (const auto& [args, named] : bad) {
        TRun r = Run(args);
        EXPECT_EQ(r.status, 1) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(named))) << r.err.toStdString();
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(Count("xssp"), 0);
    EXPECT_EQ(Query("select sum(spkc) from spxx"), "115");
    EXPECT_EQ(Run({"save-order", "o"}).status, 2);
}

TEST_F(SalesCliTest, sales_prints_the_lines_found_and_the_totals_line)
{
    Sql("insert into xssp(ddbh, spbm, spmc, sj, jj, gmsl, bz, xssj) values "
        "('o1', 'A1', '红色T恤', 35.5, 20, 2, 'a\tb', '2024-03-31 23:59:59'), "
        "('o2', 'A2', '帽子', 9.9, 3.25, 1, '', '2024-04-01 00:00:00')");
    TRun all = Run({"sales"});
    EXPECT_EQ(all.status, 0) << all.err.toStdString();
    QStringList rows = all.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 4);
    EXPECT_EQ(rows[0], "订单编号\t商品编码\t商品名称\t商品属性\t售价\t进价\t购买数量\t登记时间\t备注");
    EXPECT_EQ(rows[1], "o1\tA1\t红色T恤\t\t35.5\t20\t2\t2024-03-31 23:59:59\ta\\tb");
    EXPECT_EQ(rows[3], "共2条记录,销售额:80.9元,进货成本:43.25元,利润:37.65元,商品数量合计:3件");

    TRun march = Run({"sales", "--from", "2024-03-01", "--to", "2024-03-31", "--name", " 恤 "});
    rows = march.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 3);
    EXPECT_TRUE(rows[1].startsWith("o1\t"));
    EXPECT_EQ(rows[2], "共1条记录,销售额:71元,进货成本:40元,利润:31元,商品数量合计:2件");

    TRun none = Run({"sales", "--order", "\""});
    EXPECT_EQ(none.out.split('\n', Qt::SkipEmptyParts).last(),
              "共0条记录,销售额:元,进货成本:元,利润:元,商品数量合计:件");
    EXPECT_EQ(Run({"sales", "--from", "2024-03-01"}).status, 2);
    EXPECT_EQ(Run({"sales", "--from", "2024-02-30", "--to", "2024-03-01"}).status, 2);
    EXPECT_EQ(Run({"sales", "--colour", "red"}).status, 2);
}

TEST_F(SalesCliTest, a_saved_order_is_found_by_sales_on_todays_date)
{
    ASSERT_EQ(Run({"save-order", "today", "2:2"}).status, 0);
    QString today = QDate::currentDate().toString("yyyy-MM-dd");
    TRun r = Run({"sales", "--from", today, "--to", today});
    EXPECT_TRUE(r.out.endsWith("共1条记录,销售额:19.8元,进货成本:6.5元,利润:13.3元,商品数量合计:2件\n"))
        << r.out.toStdString();
}

TEST_F(SalesCliTest, without_a_database_the_commands_fail_with_the_missing_path)
{
    std::filesystem::remove(dir.file("ledgr.mdb"));
    TRun r = Run({"sales"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("ledgr.mdb")) << r.err.toStdString();
    EXPECT_FALSE(std::filesystem::exists(dir.file("ledgr.mdb")));
}

TEST_F(SalesCliTest, a_save_killed_in_the_middle_leaves_the_database_as_before)
{
    Sql("insert into spxx(spbm, spjj, spsj, spkc) with recursive c(x) as (select 1 union all select x + 1 from c "
        "where x < 1000) select 'K' || x, 1, 2, 1000000 from c");
    const std::string stockBefore = Query("select sum(spkc) from spxx");
    QStringList args{"save-order", "big-order"};
    for (int i = 0; i < 80000; ++i) args << QString("%1:1").arg(4 + i % 1000);

    QProcess p;
    p.setWorkingDirectory(QString::fromStdString(dir.path().string()));
    p.start(Program(), args);
    ASSERT_TRUE(p.waitForStarted());
    // A large transaction spills its pages into the write-ahead log before it
    // commits: once the log has grown, the save is under way and not finished.
    const auto wal = dir.path() / "ledgr.mdb-wal";
    bool midway = false;
    for (int i = 0; i < 60000 && p.state() == QProcess::Running; ++i) {
        std::error_code ec;
        if (std::filesystem::file_size(wal, ec) > (1u << 20)) {
            midway = true;
            break;
        }
        p.waitForFinished(1);
    }
    ASSERT_TRUE(midway) << "the save finished before it could be killed: " << p.readAllStandardError().toStdString();
    p.kill();  // SIGKILL
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitStatus(), QProcess::CrashExit);

    EXPECT_EQ(Query("pragma integrity_check"), "ok");
    EXPECT_EQ(Count("xssp"), 0);
    EXPECT_EQ(Query("select sum(spkc) from spxx"), stockBefore);
    // The database stays usable: the same order saves afterwards, whole.
    auto again = Run({"save-order", "small", "4:1", "5:2"});
    ASSERT_EQ(again.status, 0) << again.err.toStdString();
    EXPECT_EQ(Count("xssp"), 2);
}
