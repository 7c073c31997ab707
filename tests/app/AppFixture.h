// A scratch folder holding a fresh ledgr.mdb as the current directory, a
// prompter that records every box and answers from a script, and helpers to
// create the window set.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <deque>
#include <filesystem>
#include <memory>

#include "app/Prompter.h"
#include "store/Connection.h"
#include "tests/TempDir.h"
#include "tests/TestHome.h"

class TScriptedPrompter : public TPrompter {
public:
    QStringList shown;          // every text shown, in order, prefixed by its kind
    std::deque<bool> answers;   // for questions; an empty queue answers No / Cancel
    std::deque<QString> files;  // for file dialogs; empty answers "cancelled"

    void ShowMessage(const QString& t) override { shown << "message:" + t; }
    void Information(const QString& t) override { shown << "info:" + t; }
    bool AskYesNo(const QString& t) override { return Answer("yesno:" + t); }
    bool AskOkCancel(const QString& t) override { return Answer("okcancel:" + t); }
    void ShowError(const QString& t) override { shown << "error:" + t; }
    QString OpenFileName(const QString& title, const QString& s, const QString&) override
    {
        return File("open:" + title + ":" + s);
    }
    QString SaveFileName(const QString& title, const QString& s, const QString&) override
    {
        return File("save:" + title + ":" + s);
    }

private:
    bool Answer(const QString& t)
    {
        shown << t;
        if (answers.empty()) return false;
        bool a = answers.front();
        answers.pop_front();
        return a;
    }
    QString File(const QString& t)
    {
        shown << t;
        if (files.empty()) return {};
        QString f = files.front();
        files.pop_front();
        return f;
    }
};

class AppTest : public ::testing::Test {
protected:
    // Where the books are kept: a fresh ledgr.mdb here, or, for a suite that
    // runs in both homes, a fresh database on the test server. Every
    // connection made without a name goes there. A suite in the server home
    // is skipped when no test server runs: its SetUp checks IsSkipped().
    virtual THome Home() const { return THome::File; }
    void SetUp() override;
    void TearDown() override;
    void StartForms();  // creates the eight windows
    void StopForms();
    void LogIn(const QString& user = "admin", const QString& password = "470913");
    void Sql(const std::string& sql, const store::Params& p = {});
    int Count(const std::string& table, const std::string& where = "1=1");

    TempDir dir;
    std::unique_ptr<TTestDatabase> database;
    TScriptedPrompter prompter;
    std::filesystem::path oldCwd;
    QString exeDir;
    QString userDir;
};

// An app suite that runs once per home: derive from it, override nothing,
// write TEST_P and instantiate with INSTANTIATE_FOR_BOTH_HOMES.
class AppHomeTest : public AppTest, public ::testing::WithParamInterface<THome> {
protected:
    // The server's database is made before the suite's own members, so a
    // connection member made without a name opens it.
    AppHomeTest();
    THome Home() const override { return GetParam(); }
};
