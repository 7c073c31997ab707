// The goods window's search (query, fetch, counter, grid model) over 100,000
// goods, against the sqlite3 shell running the same select on the same file.
#include <QApplication>
#include <cstdio>
#include <filesystem>

#include "app/DataControls.h"
#include "app/GoodsQuery.h"
#include "bench/app/BenchData.h"

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::string file = argc > 1 ? argv[1] : "/tmp/tallybrook-bench-goods.mdb";
    MakeShopDatabase(file, 100000, 0);
    store::Connection c(file);
    store::DataSet q(c);
    TDataSetModel model(q);
    const int runs = 9;
    std::vector<double> ours, shell;
    QString counter;
    for (int i = 0; i < runs; ++i) {
        auto t0 = std::chrono::steady_clock::now();
        RunGoodsSearch(q, {});
        counter = GoodsCounterText(q);
        ours.push_back(Seconds(t0));
        // The same select with the same patterns, printed to /dev/null as the shell does.
        shell.push_back(TimeCommand(
            "sqlite3 " + file +
            " \"select spbm as 商品编码,spmc as 商品名称,spsx as 商品属性,spjj as 商品进价,spsj as 商品售价,"
            "spkc as 商品库存,bz as 备注 from spxx where spbm like '%%'  and spmc like '%%' and bz like '%%' "
            "order by spkc\" > /dev/null"));
    }
    std::printf("goods search over %d goods: ours %.1f ms, sqlite3 shell %.1f ms, ratio %.2f (%s)\n", q.RecordCount(),
                Median(ours) * 1000, Median(shell) * 1000, Median(ours) / Median(shell), counter.toUtf8().constData());
    return 0;
}
