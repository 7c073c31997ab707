// Several seats saving orders for the same goods at the same moment: eight
// processes, a thousand one-line orders each, on ten goods. Every line and
// every stock must come out exact. The orders per second are printed (with
// one writer and with eight), not asserted.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <set>
#include <tuple>

#include "app/SalesOrder.h"
#include "tests/TestHome.h"

namespace {

constexpr int kGoods = 10;
constexpr int kOrdersPerWriter = 1000;
constexpr std::int64_t kStartStock = 1000000;

// What writer `w` sells in its order `n`: goods id and quantity.
std::pair<int, int> Sale(int w, int n) { return {1 + (w * 7 + n) % kGoods, 1 + n % 3}; }

std::string OrderNumber(int w, int n) { return "W" + std::to_string(w) + "-" + std::to_string(n); }

// The body of one writer process; returns its exit code. A save the store
// refuses (a busy file, a lost session) is nothing saved, so it is tried again.
int Write(const std::string& address, int w, int& retries)
{
    store::Connection c(address);
    for (int n = 0; n < kOrdersPerWriter; ++n) {
        auto [id, qty] = Sale(w, n);
        TSalesOrder order;
        TOrderLine line;
        line.cells = {
            std::to_string(id), "商品" + std::to_string(id), "19.99", "12.5", std::to_string(qty), "", "", ""};
        order.AddLine(line);
        for (int attempt = 0;; ++attempt) {
            try {
                order.Save(c, OrderNumber(w, n));
                break;
            } catch (const std::exception& e) {
                if (attempt == 200) {
                    std::fprintf(stderr, "writer %d order %d: %s\n", w, n, e.what());
                    return 1;
                }
                ++retries;
                ::usleep(2000);
            }
        }
    }
    return 0;
}

// Starts `writers` processes numbered from `first`; returns orders per second.
double RunWriters(const std::string& address, int first, int writers, int& failures)
{
    auto start = std::chrono::steady_clock::now();
    std::vector<pid_t> children;
    for (int w = first; w < first + writers; ++w) {
        pid_t pid = ::fork();
        if (pid == 0) {
            int retries = 0;
            int rc = Write(address, w, retries);
            if (retries) std::fprintf(stderr, "writer %d tried %d saves again\n", w, retries);
            ::_exit(rc);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ++failures;
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return writers * kOrdersPerWriter / seconds;
}

}  // namespace

class ConcurrentSeats : public ::testing::TestWithParam<THome> {};

TEST_P(ConcurrentSeats, eight_writers_on_ten_goods_lose_no_line_and_no_stock_decrement)
{
    TempDir dir;
    TTestDatabase db(GetParam(), dir);
    SKIP_WITHOUT_HOME(db);
    std::string address = GetParam() == THome::File ? dir.file("ledgr.mdb") : db.Address();
    {
        store::Connection c(address);
        for (int id = 1; id <= kGoods; ++id)
            c.Execute("insert into spxx(spbm, spmc, spjj, spsj, spkc) values (:c, :n, 12.5, 19.99, :k)",
                      {{":c", "G" + std::to_string(id)}, {":n", "商品" + std::to_string(id)}, {":k", kStartStock}});
    }
    int failures = 0;
    double one = RunWriters(address, 0, 1, failures);
    double eight = RunWriters(address, 1, 8, failures);
    std::printf("%s: one writer %.0f orders/s, eight writers %.0f orders/s\n", HomeName({GetParam(), 0}).c_str(), one,
                eight);
    ASSERT_EQ(failures, 0);

    std::set<std::tuple<std::string, std::int64_t, std::int64_t>> expected, stored;
    std::map<std::int64_t, std::int64_t> sold;
    for (int w = 0; w < 9; ++w)
        for (int n = 0; n < kOrdersPerWriter; ++n) {
            auto [id, qty] = Sale(w, n);
            expected.insert({OrderNumber(w, n), id, qty});
            sold[id] += qty;
        }
    store::Connection c(address);
    store::Statement lines(c, "select ddbh, spmc, gmsl, sj from xssp");
    int count = 0;
    while (lines.Step()) {
        ++count;
        std::string name = store::ValueText(lines.Column(1));
        stored.insert({store::ValueText(lines.Column(0)), std::stoll(name.substr(name.find_first_of("0123456789"))),
                       std::get<std::int64_t>(lines.Column(2))});
        EXPECT_EQ(store::ValueText(lines.Column(3)), "19.99");
    }
    EXPECT_EQ(count, 9 * kOrdersPerWriter);
    EXPECT_EQ(stored, expected);
    store::Statement stock(c, "select id, spkc from spxx order by id");
    while (stock.Step()) {
        std::int64_t id = std::get<std::int64_t>(stock.Column(0));
        EXPECT_EQ(std::get<std::int64_t>(stock.Column(1)), kStartStock - sold[id]) << "goods " << id;
    }
}

INSTANTIATE_FOR_BOTH_HOMES(ConcurrentSeats);
