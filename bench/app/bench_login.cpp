// Login with a hashed password (PBKDF2-HMAC-SHA256, 600,000 iterations):
// the login window's button from click to main window, and the account
// check alone, against the same derivation by the openssl command in the
// same run (its process start included). Prints the medians and the ratio,
// and the processor time of the window's login: on a machine shared with
// other work the wall time grows with the load, the processor time does not.
#include <QApplication>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "app/Accounts.h"
#include "app/Forms.h"
#include "app/Prompter.h"
#include "app/login.h"
#include "app/main.h"
#include "bench/app/BenchData.h"

namespace {

double ThreadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

class TQuietPrompter : public TPrompter {
public:
    QString Last;
    void ShowMessage(const QString& t) override { Last = t; }
    void Information(const QString& t) override { Last = t; }
    bool AskYesNo(const QString&) override { return true; }
    bool AskOkCancel(const QString&) override { return true; }
    void ShowError(const QString& t) override { Last = "error: " + t; }
    QString OpenFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString SaveFileName(const QString&, const QString&, const QString&) override { return {}; }
};

}  // namespace

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("TALLYBROOK_NO_UPDATE_CHECK", "1");
    QApplication app(argc, argv);
    const fs::path dir = argc > 1 ? fs::path(argv[1]) : fs::path("/tmp/tallybrook-bench-login");
    const int runs = 7;
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::current_path(dir);
    store::Connection::CreateDatabase("ledgr.mdb");
    {
        store::Connection c;
        TAccounts(c).ChangePassword(kDefaultUser, "", "", "bench-pw", "bench-pw");
    }
    SetLoginSettingsDirs(QString::fromStdString((dir / "bin").string()),
                         QString::fromStdString((dir / "config").string()));
    TQuietPrompter prompter;
    SetPrompter(&prompter);
    CreateForms();

    std::vector<double> window, windowCpu, check, peer;
    const std::string kdf = "openssl kdf -keylen 32 -kdfopt digest:SHA256 -kdfopt pass:bench-pw -kdfopt "
                            "hexsalt:00112233445566778899aabbccddeeff "
                            "-kdfopt iter:600000 PBKDF2 > /dev/null";
    for (int i = 0; i < runs; ++i) {
        Form2->hide();
        Form1->show();
        Form1->Edit1->setText(kDefaultUser);
        Form1->Edit2->setText("bench-pw");
        auto t0 = std::chrono::steady_clock::now();
        double c0 = ThreadCpuSeconds();
        Form1->Button1->click();
        windowCpu.push_back(ThreadCpuSeconds() - c0);
        window.push_back(Seconds(t0));
        if (!Form2->isVisible()) return std::fprintf(stderr, "login failed: %s\n", qPrintable(prompter.Last)), 1;
        store::Connection c;
        t0 = std::chrono::steady_clock::now();
        bool ok = TAccounts(c).LogIn(kDefaultUser, "bench-pw");
        check.push_back(Seconds(t0));
        if (!ok) return 1;
        peer.push_back(TimeCommand(kdf));
    }
    std::printf("login with a hashed password: window click to main window %.3f s (processor time %.3f s), "
                "account check %.3f s, openssl kdf (same derivation, own process) %.3f s, ratio window/openssl %.2f\n",
                Median(window), Median(windowCpu), Median(check), Median(peer), Median(window) / Median(peer));
    DestroyForms();
    SetPrompter(nullptr);
    return 0;
}
