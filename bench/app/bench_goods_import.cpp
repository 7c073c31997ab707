// The goods window's import of a 10,000-row goods template (reading, storing
// in one transaction, the log window, writing the file back), against
// `tallybrook import-goods` of the same file on the same kind of database,
// in the same run. Each run starts from an empty goods list and the
// unwritten template. Prints the medians and their ratio.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/Forms.h"
#include "app/Prompter.h"
#include "app/goods.h"
#include "app/main.h"
#include "app/login.h"
#include "bench/app/BenchData.h"
#include "store/Connection.h"
#include "workbook/Workbook.h"

namespace {

// Answers every file dialog with the template and every box with OK.
class TBenchPrompter : public TPrompter {
public:
    QString File;
    QString Last;
    void ShowMessage(const QString& t) override { Last = t; }
    void Information(const QString& t) override { Last = t; }
    bool AskYesNo(const QString&) override { return true; }
    bool AskOkCancel(const QString&) override { return true; }
    void ShowError(const QString& t) override { Last = "error: " + t; }
    QString OpenFileName(const QString&, const QString&, const QString&) override { return File; }
    QString SaveFileName(const QString&, const QString&, const QString&) override { return {}; }
};

void MakeTemplate(const std::string& file, int rows)
{
    workbook::TXLSWorkbook book;
    const char16_t* header[] = {u"商品编码", u"商品名称", u"商品属性", u"商品进价", u"商品售价", u"商品库存", u"备注"};
    for (uint32_t c = 0; c < 7; ++c) book.Sheet(0).SetAsString(c, 0, header[c]);
    for (int r = 1; r <= rows; ++r) {
        const std::u16string n = QString::number(r).toStdU16String();
        book.Sheet(0).SetAsString(0, r, u"SP" + n);
        book.Sheet(0).SetAsString(1, r, u"商品" + n + u" 纯棉T恤");
        book.Sheet(0).SetAsString(2, r, r % 2 ? u"红" : u"XL");
        book.Sheet(0).SetAsString(3, r, QString::number(1 + r % 500).toStdU16String() + u".50");
        book.Sheet(0).SetAsString(4, r, QString::number(2 + r % 900).toStdU16String() + u".90");
        book.Sheet(0).SetAsString(5, r, QString::number(r % 1000).toStdU16String());
        if (r % 3 == 0) book.Sheet(0).SetAsString(6, r, u"新品");
    }
    book.SetFilename(QString::fromStdString(file).toStdU16String());
    book.Write();
}

}  // namespace

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const fs::path exe = fs::absolute(fs::path(argv[0]).parent_path() / "tallybrook");
    const fs::path dir = argc > 1 ? fs::path(argv[1]) : fs::path("/tmp/tallybrook-bench-import");
    const int rows = 10000, runs = 5;
    fs::remove_all(dir);
    fs::create_directories(dir / "cli");
    fs::current_path(dir);
    MakeTemplate((dir / "template.xls").string(), rows);
    store::Connection::CreateDatabase("ledgr.mdb");
    fs::copy_file("ledgr.mdb", dir / "cli" / "empty.mdb");
    SetLoginSettingsDirs(QString::fromStdString((dir / "bin").string()),
                         QString::fromStdString((dir / "config").string()));
    TBenchPrompter prompter;
    SetPrompter(&prompter);
    CreateForms();
    Form1->show();
    Form1->Edit1->setText("admin");
    Form1->Edit2->setText("470913");
    Form1->Button1->click();
    QApplication::processEvents();
    Form2->ItemClick(QStringLiteral("商品管理"));

    std::vector<double> window, cli;
    for (int i = 0; i < runs; ++i) {
        {
            store::Connection c;
            c.Execute("delete from spxx", {});
        }
        fs::copy_file(dir / "template.xls", dir / "goods.xls", fs::copy_options::overwrite_existing);
        prompter.File = QString::fromStdString((dir / "goods.xls").string());
        auto t0 = std::chrono::steady_clock::now();
        Form4->BitBtn3->click();
        window.push_back(Seconds(t0));
        const std::string cd = "cd " + (dir / "cli").string() + " && ";
        if (std::system((cd + "rm -rf backups && cp empty.mdb ledgr.mdb && cp ../template.xls goods.xls").c_str()) != 0)
            return 1;
        cli.push_back(TimeCommand(cd + exe.string() + " import-goods goods.xls > /dev/null"));
    }
    std::printf("goods import of %d rows: through the window %.3f s (%s), tallybrook import-goods %.3f s, ratio %.2f\n",
                rows, Median(window), prompter.Last.toUtf8().constData(), Median(cli), Median(window) / Median(cli));
    DestroyForms();
    SetPrompter(nullptr);
    return 0;
}
