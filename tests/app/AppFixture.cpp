#include "tests/app/AppFixture.h"

#include <QApplication>

#include "app/Forms.h"
#include "app/login.h"
#include "store/DataSet.h"

void AppTest::SetUp()
{
    oldCwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    if (Home() == THome::Server) {
        if (!database) database = std::make_unique<TTestDatabase>(THome::Server, dir);
        if (database->Address().empty())
            GTEST_SKIP() << "no test database server runs (see scripts/pg-test-cluster.sh)";
        store::SetDefaultDatabase(database->Address());
    } else {
        store::SetDefaultDatabase(store::kDatabaseFile);
        store::Connection::CreateDatabase("ledgr.mdb");
    }
    std::filesystem::create_directories(dir.path() / "bin");
    exeDir = QString::fromStdString(dir.file("bin"));
    userDir = QString::fromStdString(dir.file("config/tallybrook"));
    SetLoginSettingsDirs(exeDir, userDir);
    SetPrompter(&prompter);
}

AppHomeTest::AppHomeTest()
{
    if (GetParam() != THome::Server) return;
    database = std::make_unique<TTestDatabase>(THome::Server, dir);
    if (!database->Address().empty()) store::SetDefaultDatabase(database->Address());
}

void AppTest::TearDown()
{
    StopForms();
    SetPrompter(nullptr);
    SetLoginSettingsDirs({}, {});
    std::filesystem::current_path(oldCwd);
    store::SetDefaultDatabase({});
    database.reset();
}

void AppTest::StartForms()
{
    CreateForms();
    Form1->show();
    QApplication::processEvents();
}

void AppTest::StopForms()
{
    DestroyForms();
    QApplication::processEvents();
}

void AppTest::LogIn(const QString& user, const QString& password)
{
    Form1->Edit1->setText(user);
    Form1->Edit2->setText(password);
    Form1->Button1->click();
    QApplication::processEvents();
}

void AppTest::Sql(const std::string& sql, const store::Params& p)
{
    store::Connection c;
    c.Execute(sql, p);
}

int AppTest::Count(const std::string& table, const std::string& where)
{
    store::Connection c;
    store::DataSet q(c);
    q.SetSQL("select count(*) as n from " + table + " where " + where);
    q.Open();
    return std::stoi(q.FieldText(0));
}
