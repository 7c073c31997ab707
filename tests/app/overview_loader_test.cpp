// The overview's figures are read on a thread of their own: only the newest
// request reaches the window, a long read is interrupted by a newer one, and a
// failure is reported rather than lost.
#include <QCoreApplication>
#include <QSignalSpy>
#include <atomic>
#include <thread>

#include "app/OverviewLoader.h"
#include "tests/app/AppFixture.h"

namespace {

// A result that says which request made it.
TOverview Marked(std::int64_t mark)
{
    TOverview o;
    o.total.lines = mark;
    return o;
}

// A statement that runs for minutes unless interrupted.
TOverview Endless(store::Connection& c)
{
    store::Statement st(c, "with recursive n(i) as (select 1 union all select i + 1 from n where i < 4000000000) "
                           "select count(*) from n");
    st.Step();
    return Marked(-1);
}

std::int64_t Mark(const QSignalSpy& spy, int i) { return spy.at(i).at(0).value<TOverview>().total.lines; }

}  // namespace

Q_DECLARE_METATYPE(TOverview)

class OverviewLoaderTest : public AppTest {
protected:
    TOverviewLoader loader{store::kDatabaseFile};
};

TEST_F(OverviewLoaderTest, a_newer_request_interrupts_a_long_read_and_only_it_is_delivered)
{
    QSignalSpy loaded(&loader, &TOverviewLoader::Loaded);
    QSignalSpy failed(&loader, &TOverviewLoader::Failed);
    loader.Request(Endless);
    EXPECT_TRUE(loader.Busy());
    loader.Request([](store::Connection&) { return Marked(2); });
    loader.Wait();
    ASSERT_EQ(loaded.count(), 1);
    EXPECT_EQ(Mark(loaded, 0), 2);
    EXPECT_EQ(failed.count(), 0);
    EXPECT_FALSE(loader.Busy());
    QCoreApplication::processEvents();  // the worker's queued notices change nothing now
    EXPECT_EQ(loaded.count(), 1);
}

TEST_F(OverviewLoaderTest, requests_made_while_one_runs_collapse_into_the_newest)
{
    QSignalSpy loaded(&loader, &TOverviewLoader::Loaded);
    std::atomic<bool> release{false};
    loader.Request([&](store::Connection&) {
        while (!release) std::this_thread::yield();
        return Marked(1);
    });
    loader.Request([](store::Connection&) { return Marked(2); });
    loader.Request([](store::Connection&) { return Marked(3); });
    release = true;
    while (loader.Busy()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_EQ(loaded.count(), 1);
    EXPECT_EQ(Mark(loaded, 0), 3);
}

TEST_F(OverviewLoaderTest, a_failed_read_is_reported_with_its_reason)
{
    QSignalSpy loaded(&loader, &TOverviewLoader::Loaded);
    QSignalSpy failed(&loader, &TOverviewLoader::Failed);
    loader.Request([](store::Connection& c) {
        c.Execute("select * from no_such_table");
        return Marked(1);
    });
    loader.Wait();
    EXPECT_EQ(loaded.count(), 0);
    ASSERT_EQ(failed.count(), 1);
    EXPECT_TRUE(failed.at(0).at(0).toString().contains("no_such_table")) << failed.at(0).at(0).toString().toStdString();
}

TEST_F(OverviewLoaderTest, stop_ends_a_long_read_and_delivers_nothing)
{
    QSignalSpy loaded(&loader, &TOverviewLoader::Loaded);
    QSignalSpy failed(&loader, &TOverviewLoader::Failed);
    loader.Request(Endless);
    loader.Stop();
    EXPECT_FALSE(loader.Busy());
    QCoreApplication::processEvents();
    EXPECT_EQ(loaded.count() + failed.count(), 0);
    EXPECT_EQ(store::Connection::OpenCount(), 0);
}
