#include "tests/app/AppFixture.h"

#include <QApplication>

#include "app/Forms.h"
#include "app/login.h"
#include "store/DataSet.h"

void AppTest::SetUp() {
    oldCwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    store::Connection::CreateDatabase("ledgr.mdb");
    std::filesystem::create_directories(dir.path() / "bin");
    exeDir = QString::fromStdString(dir.file("bin"));
    userDir = QString::fromStdString(dir.file("config/tallybrook"));
    SetLoginSettingsDirs(exeDir, userDir);
    SetPrompter(&prompter);
}

void AppTest::TearDown() {
    StopForms();
    SetPrompter(nullptr);
    SetLoginSettingsDirs({}, {});
    std::filesystem::current_path(oldCwd);
}

void AppTest::StartForms() {
    CreateForms();
    Form1->show();
    QApplication::processEvents();
}

void AppTest::StopForms() {
    DestroyForms();
    QApplication::processEvents();
}

void AppTest::LogIn(const QString& user, const QString& password) {
    Form1->Edit1->setText(user);
    Form1->Edit2->setText(password);
    Form1->Button1->click();
    QApplication::processEvents();
}

void AppTest::Sql(const std::string& sql, const store::Params& p) {
    store::Connection c;
    c.Execute(sql, p);
}

int AppTest::Count(const std::string& table, const std::string& where) {
    store::Connection c;
    store::DataSet q(c);
    q.SetSQL("select count(*) as n from " + table + " where " + where);
    q.Open();
    return std::stoi(q.FieldText(0));
}
