#include "TestServer.h"
#include "upgrade/upHTTP.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray Pattern(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i) bytes[i] = static_cast<char>('a' + i % 26);
    return bytes;
}

// One engine pointed at our server, recording every event in order.
struct Recorder {
    TupCustomHTTP http;
    QStringList events;
    QByteArray body;
    int status = 0;
    int progressCalls = 0;
    std::vector<uint32_t> progressBytes;

    Recorder()
    {
        http.CAInfo = TestServer::Get().CAFile();
        http.OnDone = [this](TupCustomHTTP*, const QString&, uint32_t, TupStream s) {
            events << "done";
            body = s ? *s : QByteArray();
        };
        http.OnDoneInterrupted = [this](TupCustomHTTP*) { events << "interrupted"; };
        http.OnAnyError = [this](TupCustomHTTP*) { events << "anyerror"; };
        http.OnHostUnreachable = [this](TupCustomHTTP*) { events << "unreachable"; };
        http.OnConnLost = [this](TupCustomHTTP*, const QString&, uint32_t, uint32_t, TupStream) {
            events << "connlost";
        };
        http.OnHTTPError = [this](TupCustomHTTP*, int code, TupStream s) {
            events << "httperror";
            status = code;
            body = s ? *s : QByteArray();
        };
        http.OnAborted = [this](TupCustomHTTP*) { events << "aborted"; };
    }
    bool Finished() const
    {
        return events.contains("done") || events.contains("interrupted") || events.contains("anyerror") ||
               events.contains("aborted");
    }
    bool Fetch(const QString& url)
    {
        http.URL = url;
        if (!http.Read()) return false;
        return WaitFor([this] { return Finished() && !http.Busy(); });
    }
};

class upHTTP : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!TestServer::Get().Running()) GTEST_SKIP() << "test server did not start";
    }
    TestServer& server = TestServer::Get();
    QTemporaryDir dir;
};

}  // namespace

TEST_F(upHTTP, https_body_arrives_in_memory_verified_by_the_test_authority)
{
    server.Put("memory.txt", "hello, seller");
    Recorder r;
    ASSERT_TRUE(r.Fetch(server.Https("memory.txt")));
    EXPECT_EQ(r.events, QStringList({"done"}));
    EXPECT_EQ(r.body, QByteArray("hello, seller"));
}

TEST_F(upHTTP, certificate_from_an_unknown_authority_is_unreachable_without_fallback)
{
    server.Put("untrusted.txt", "secret");
    Recorder r;
    r.http.CAInfo.clear();  // the system's store does not know our test authority
    ASSERT_TRUE(r.Fetch(server.Https("untrusted.txt")));
    EXPECT_EQ(r.events, QStringList({"anyerror", "unreachable"}));
    EXPECT_TRUE(server.Requests("untrusted.txt").isEmpty());
}

TEST_F(upHTTP, secure_only_refuses_plain_http_and_redirects_to_it)
{
    server.Put("plain.txt", "plain");
    Recorder r;
    r.http.SecureOnly = true;
    ASSERT_TRUE(r.Fetch(server.Http("plain.txt")));
    EXPECT_EQ(r.events, QStringList({"anyerror", "unreachable"}));
    Recorder redirected;
    ASSERT_TRUE(redirected.Fetch(server.Https("redirect-http/plain.txt")));
    EXPECT_FALSE(redirected.events.contains("done"));
    int plainRequests = 0;
    for (const auto& request : server.Requests("plain.txt"))
        plainRequests += request["path"].toString() == "/plain.txt";
    EXPECT_EQ(plainRequests, 0);
}

TEST_F(upHTTP, url_without_scheme_is_fetched_over_http)
{
    server.Put("noscheme.txt", "no scheme");
    Recorder r;
    ASSERT_TRUE(r.Fetch(server.Http("noscheme.txt").mid(7)));
    EXPECT_EQ(r.body, QByteArray("no scheme"));
}

TEST_F(upHTTP, request_carries_settings_and_no_cache_only_when_asked)
{
    server.Put("settings.txt", "x");
    Recorder r;
    r.http.Referer = "https://tallybrook.example/login";
    r.http.AddHeaders = QStringList({"X-Tallybrook-Test: yes"});
    r.http.Range.StartRange = 0;
    r.http.Range.EndRange = 0;
    r.http.UseCache = false;
    ASSERT_TRUE(r.Fetch(server.Https("settings.txt?first")));
    r.events.clear();
    r.http.UseCache = true;
    r.http.Range.StartRange = 5;
    ASSERT_TRUE(r.Fetch(server.Https("settings.txt?second")));
    const auto first = server.Requests("settings.txt?first").value(0);
    const auto second = server.Requests("settings.txt?second").value(0);
    EXPECT_EQ(first["Cache-Control"].toString(), "no-cache");
    EXPECT_EQ(first["Pragma"].toString(), "no-cache");
    EXPECT_EQ(first["Accept"].toString(), "text/html, */*");
    EXPECT_EQ(first["Referer"].toString(), "https://tallybrook.example/login");
    EXPECT_EQ(first["X-Tallybrook-Test"].toString(), "yes");
    EXPECT_TRUE(first["User-Agent"].toString().startsWith("Tallybrook Updater"));
    EXPECT_TRUE(second["Cache-Control"].isNull());
    EXPECT_EQ(second["Range"].toString(), "bytes=5-");
}

TEST_F(upHTTP, body_with_length_goes_to_the_output_file_in_blocks)
{
    const QByteArray content = Pattern(10000);
    server.Put("blocks.bin", content);
    Recorder r;
    r.http.setTransferBufferSize(4096);
    r.http.OnProgress = [&](TupCustomHTTP*, const TupProgressInfo& p, TupStream) {
        r.progressBytes.push_back(p.BytesRead);
        EXPECT_EQ(p.DataSize, 10000u);
    };
    r.http.OutputFileName = dir.filePath("blocks.bin");
    ASSERT_TRUE(r.Fetch(server.Https("blocks.bin")));
    EXPECT_EQ(r.events, QStringList({"done"}));
    EXPECT_EQ(r.progressBytes, (std::vector<uint32_t>{4096, 8192, 10000}));
    QFile out(dir.filePath("blocks.bin"));
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    EXPECT_EQ(out.readAll(), content);
}

TEST_F(upHTTP, body_without_length_stays_in_memory_and_never_reaches_the_file)
{
    server.Put("nolen.bin", "streamed without length");
    Recorder r;
    std::vector<int> percents;
    r.http.OnProgress = [&](TupCustomHTTP*, const TupProgressInfo& p, TupStream) {
        percents.push_back(p.PercentsDone);
    };
    r.http.OutputFileName = dir.filePath("nolen.bin");
    ASSERT_TRUE(r.Fetch(server.Https("nolength/nolen.bin")));
    EXPECT_EQ(r.events, QStringList({"done"}));
    EXPECT_EQ(r.body, QByteArray("streamed without length"));
    EXPECT_FALSE(QFile::exists(dir.filePath("nolen.bin")));
    ASSERT_FALSE(percents.empty());
    EXPECT_EQ(percents.back(), 0);
}

TEST_F(upHTTP, status_404_with_body_reports_the_status_and_deletes_the_output)
{
    Recorder r;
    r.http.OutputFileName = dir.filePath("missing.bin");
    ASSERT_TRUE(r.Fetch(server.Https("status404")));
    EXPECT_EQ(r.events, QStringList({"anyerror", "httperror"}));
    EXPECT_EQ(r.status, 404);
    EXPECT_FALSE(QFile::exists(dir.filePath("missing.bin")));
    Recorder memory;
    ASSERT_TRUE(memory.Fetch(server.Https("status404")));
    EXPECT_EQ(memory.body, QByteArray("<html>no such file</html>"));
}

TEST_F(upHTTP, password_request_repeats_until_the_credentials_fit)
{
    server.Put("locked.bin", "for registered sellers");
    Recorder r;
    QStringList realms;
    r.http.OnPasswordRequest = [&](TupCustomHTTP* http, const QString& realm, bool& tryAgain) {
        realms << realm;
        http->setUsername("seller");
        http->setPassword(realms.size() < 3 ? "wrong" : "secret");
        tryAgain = true;
    };
    ASSERT_TRUE(r.Fetch(server.Https("auth/locked.bin")));
    EXPECT_EQ(r.events, QStringList({"done"}));
    EXPECT_EQ(r.body, QByteArray("for registered sellers"));
    EXPECT_EQ(realms, QStringList({"Tallybrook updates", "Tallybrook updates", "Tallybrook updates"}));
}

TEST_F(upHTTP, password_request_declined_ends_with_the_401)
{
    server.Put("locked2.bin", "x");
    Recorder r;
    r.http.OnPasswordRequest = [](TupCustomHTTP*, const QString&, bool& tryAgain) { tryAgain = false; };
    ASSERT_TRUE(r.Fetch(server.Https("auth/locked2.bin")));
    EXPECT_EQ(r.events, QStringList({"anyerror", "httperror"}));
    EXPECT_EQ(r.status, 401);
}

TEST_F(upHTTP, dropped_connection_is_a_lost_connection_and_leaves_no_file)
{
    server.Put("dropped.bin", Pattern(200000));
    Recorder r;
    r.http.OutputFileName = dir.filePath("dropped.bin");
    ASSERT_TRUE(r.Fetch(server.Https("drop/dropped.bin")));
    EXPECT_EQ(r.events, QStringList({"anyerror", "connlost"}));
    EXPECT_FALSE(QFile::exists(dir.filePath("dropped.bin")));
}

TEST_F(upHTTP, header_handler_can_stop_before_the_body)
{
    server.Put("stopped.bin", "never written");
    Recorder r;
    TupHeaderInfo seen;
    r.http.OnHeaderInfo = [&](TupCustomHTTP*, const TupHeaderInfo& info, bool& cont) {
        seen = info;
        cont = false;
    };
    r.http.OutputFileName = dir.filePath("stopped.bin");
    ASSERT_TRUE(r.Fetch(server.Https("stopped.bin")));
    EXPECT_EQ(r.events, QStringList({"interrupted"}));
    EXPECT_FALSE(QFile::exists(dir.filePath("stopped.bin")));
    EXPECT_EQ(seen.ContentLength, 13u);
    EXPECT_EQ(seen.LastModified, TupCustomHTTP::ParseHTTPDate("Sun, 06 Nov 1994 08:49:37 GMT"));
    EXPECT_TRUE(seen.RawHeadersCRLF.startsWith("HTTP/1.0 200"));
}

TEST_F(upHTTP, read_while_busy_is_refused_and_abort_stops_every_event)
{
    server.Put("slow.bin", Pattern(40 * 512));
    Recorder r;
    r.http.OutputFileName = dir.filePath("slow.bin");
    int progress = 0;
    r.http.OnProgress = [&](TupCustomHTTP*, const TupProgressInfo&, TupStream) { ++progress; };
    r.http.setTransferBufferSize(255);
    r.http.URL = server.Https("slow/slow.bin");
    ASSERT_TRUE(r.http.Read());
    EXPECT_TRUE(r.http.Busy());
    EXPECT_FALSE(r.http.Read());
    ASSERT_TRUE(WaitFor([&] { return progress >= 3; }));
    r.http.Abort();
    EXPECT_FALSE(r.http.Busy());
    const int atAbort = progress;
    WaitFor([] { return false; }, 300);
    EXPECT_EQ(r.events, QStringList({"aborted"}));
    EXPECT_EQ(progress, atAbort);
    // The partial file does not survive the stopped transfer.
    EXPECT_TRUE(WaitFor([&] { return !QFile::exists(dir.filePath("slow.bin")); }));
}

TEST_F(upHTTP, next_transfer_started_from_OnDone_runs_to_its_end)
{
    server.Put("chain1.txt", "one");
    server.Put("chain2.txt", "two");
    Recorder r;
    QList<QByteArray> bodies;
    r.http.OnDone = [&](TupCustomHTTP* http, const QString&, uint32_t, TupStream s) {
        bodies << *s;
        if (bodies.size() == 1) {
            http->URL = server.Https("chain2.txt");
            EXPECT_TRUE(http->Read());
        }
    };
    r.http.URL = server.Https("chain1.txt");
    ASSERT_TRUE(r.http.Read());
    ASSERT_TRUE(WaitFor([&] { return bodies.size() == 2; }));
    EXPECT_EQ(bodies, QList<QByteArray>({"one", "two"}));
}

TEST_F(upHTTP, closed_port_is_unreachable)
{
    Recorder r;
    ASSERT_TRUE(r.Fetch("https://127.0.0.1:1/update.inf"));
    EXPECT_EQ(r.events, QStringList({"anyerror", "unreachable"}));
}

TEST(upHTTPText, the_three_http_date_forms_give_the_same_local_time)
{
    const QDateTime expected = QDateTime(QDate(1994, 11, 6), QTime(8, 49, 37), Qt::UTC).toLocalTime();
    EXPECT_EQ(TupCustomHTTP::ParseHTTPDate("Sun, 06 Nov 1994 08:49:37 GMT"), expected);
    EXPECT_EQ(TupCustomHTTP::ParseHTTPDate("Sunday, 06-Nov-94 08:49:37 GMT"), expected);
    EXPECT_EQ(TupCustomHTTP::ParseHTTPDate("Sun Nov  6 08:49:37 1994"), expected);
    EXPECT_EQ(TupCustomHTTP::ParseHTTPDate("Sun, 06 Nov 1994 10:49:37 +0200"), expected);
    EXPECT_FALSE(TupCustomHTTP::ParseHTTPDate("").isValid());
    EXPECT_FALSE(TupCustomHTTP::ParseHTTPDate("Sun, 06 Foo 1994 08:49:37 GMT").isValid());
    EXPECT_FALSE(TupCustomHTTP::ParseHTTPDate("31 Feb 2001").isValid());
}

TEST(upHTTPText, url_parts_file_name_percent_and_status_texts)
{
    const TupURLParts parts = TupCustomHTTP::CrackURL("update.tallybrook.example:8443/a%20b/up.inf?x=1");
    EXPECT_EQ(parts.Scheme, "http");
    EXPECT_EQ(parts.HostName, "update.tallybrook.example");
    EXPECT_EQ(parts.Port, 8443);
    EXPECT_EQ(parts.Path, "/a b/up.inf");
    EXPECT_EQ(parts.ExtraInfo, "?x=1");
    TupCustomHTTP http;
    http.URL = "https://update.tallybrook.example/release/tallybrook";
    EXPECT_EQ(http.FileName(), "tallybrook");
    EXPECT_EQ(http.HostName(), "update.tallybrook.example");
    http.URL = "https://update.tallybrook.example/release/";
    EXPECT_EQ(http.FileName(), "");
    EXPECT_EQ(TupCustomHTTP::PercentOf(1, 8), 12);  // 12.5 rounds to even
    EXPECT_EQ(TupCustomHTTP::PercentOf(3, 8), 38);  // 37.5 rounds to even
    EXPECT_EQ(TupCustomHTTP::PercentOf(5, 0), 0);
    EXPECT_EQ(TupCustomHTTP::StatusText(110), "Redirect");
    EXPECT_EQ(TupCustomHTTP::StatusText(999), "Unknown status");
}
