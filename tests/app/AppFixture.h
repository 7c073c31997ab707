// A scratch folder holding a fresh ledgr.mdb as the current directory, a
// prompter that records every box and answers from a script, and helpers to
// create the window set.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <deque>
#include <filesystem>

#include "app/Prompter.h"
#include "store/Connection.h"
#include "tests/TempDir.h"

class TScriptedPrompter : public TPrompter {
public:
    QStringList shown;         // every text shown, in order, prefixed by its kind
    std::deque<bool> answers;  // for questions; an empty queue answers No / Cancel
    std::deque<QString> files; // for file dialogs; empty answers "cancelled"

    void ShowMessage(const QString& t) override { shown << "message:" + t; }
    void Information(const QString& t) override { shown << "info:" + t; }
    bool AskYesNo(const QString& t) override { return Answer("yesno:" + t); }
    bool AskOkCancel(const QString& t) override { return Answer("okcancel:" + t); }
    void ShowError(const QString& t) override { shown << "error:" + t; }
    QString OpenFileName(const QString& title, const QString& s, const QString&) override {
        return File("open:" + title + ":" + s);
    }
    QString SaveFileName(const QString& title, const QString& s, const QString&) override {
        return File("save:" + title + ":" + s);
    }

private:
    bool Answer(const QString& t) {
        shown << t;
        if (answers.empty()) return false;
        bool a = answers.front();
        answers.pop_front();
        return a;
    }
    QString File(const QString& t) {
        shown << t;
        if (files.empty()) return {};
        QString f = files.front();
        files.pop_front();
        return f;
    }
};

class AppTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    void StartForms();  // creates the eight windows
    void StopForms();
    void LogIn(const QString& user = "admin", const QString& password = "470913");
    void Sql(const std::string& sql, const store::Params& p = {});
    int Count(const std::string& table, const std::string& where = "1=1");

    TempDir dir;
    TScriptedPrompter prompter;
    std::filesystem::path oldCwd;
    QString exeDir;
    QString userDir;
};
