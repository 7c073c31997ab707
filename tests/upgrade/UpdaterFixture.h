// A throw-away installation with an updater that installs into it, answers
// through a test prompter and trusts the test key; shared by the upgrade
// flow tests.
#pragma once

#include "TestKey.h"
#include "TestPrompter.h"
#include "TestServer.h"
#include "tools/release/ReleaseInfo.h"
#include "upgrade/upDefaults.h"
#include "upgrade/upUpdater.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

[[maybe_unused]] QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

[[maybe_unused]] QStringList Sorted(QStringList names)
{
    names.sort();
    return names;
}

// A throw-away installation: the dummy program as "tallybrook" in its own
// folder, and an updater that installs into it, answers through a test
// prompter and trusts the test key.
class upUpdaterFlow : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!server.Running()) GTEST_SKIP() << "test server did not start";
        ASSERT_TRUE(QDir(temp.path()).mkpath("install") && QDir(temp.path()).mkpath("tmp"));
        qputenv("TMPDIR", temp.filePath("tmp").toLocal8Bit());
        app = temp.filePath("install/tallybrook");
        ASSERT_TRUE(QFile::copy(TB_DUMMY_APP, app));
        dummy = ReadAll(app);
        tag = QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name());
        up = std::make_unique<TupUpdater>();
        up->setPrompter(prompter);
        prompter->CurrentUpdater = up.get();
        up->setWizardLanguage(wlEnglish);
        up->setApplicationPath(app);
        up->CAInfo = server.CAFile();
        up->PublicKey = TestPublicKey();
        up->setVersionDate(UpdateReleaseDate);
        up->OnlineTest = [] { return true; };
        up->OnDoOwnCloseAppMethod = [this](TupUpdater*) { Finish("handover"); };
        up->OnNoUpdateAvailable = [this](TupUpdater*) { Finish("noupdate"); };
        up->OnLaterUpgrade = [this](TupUpdater*) { Finish("later"); };
        up->OnAborted = [this](TupUpdater*) { Finish("aborted"); };
        up->OnNoInfoFile = [this](TupUpdater*) { Finish("noinfo"); };
        up->OnConnLost = [this](TupUpdater*) { Finish("connlost"); };
        up->OnHostUnreachable = [this](TupUpdater*, const QString&, const QString&) { Finish("unreachable"); };
    }
    void TearDown() override
    {
        up.reset();
        qunsetenv("TMPDIR");
    }
    void Finish(const QString& how) { outcomes << how; }
    QString Base() const { return server.Https(QString()).chopped(1); }
    // The information file as the maker's tool signs it: "{base}" becomes
    // the server's HTTPS address, and every "#url…=" line whose file the
    // test serves (or expects) gets that file's size and SHA-256.
    QByteArray Signed(QByteArray info, const QByteArray& seed = TestSeed())
    {
        info.replace("{base}", Base().toUtf8());
        QByteArray described;
        static const QRegularExpression entry(QStringLiteral("^#(url\\d*)=(.*)$"), QRegularExpression::MultilineOption);
        for (auto m = entry.globalMatch(QString::fromUtf8(info)); m.hasNext();) {
            const auto found = m.next();
            const QString url = found.captured(2).trimmed();
            const auto file = release::Describe(url, expected.value(url, served.value(url, "unknown")));
            described += "#" + found.captured(1).toUtf8() + "-size=" + QByteArray::number(file.Size) + "\r\n#" +
                         found.captured(1).toUtf8() + "-sha256=" + file.Sha256.toHex() + "\r\n";
        }
        return release::Sign(info + (info.endsWith('\n') ? "" : "\r\n") + described, seed);
    }
    // Publishes a signed information file and returns its address.
    QString Publish(const QByteArray& info) { return PublishRaw(Signed(info)); }
    QString PublishRaw(const QByteArray& bytes)
    {
        server.Put(tag + ".inf", bytes);
        return server.Https(tag + ".inf");
    }
    // Serves Content under Path; the information file describes it as served.
    QString Serve(const QString& path, const QByteArray& content)
    {
        server.Put(path, content);
        const QString url = Base() + "/" + path;
        served[url] = content;
        for (const char* kind : {"nolength/", "drop/", "slow/", "auth/"}) served[Base() + "/" + kind + path] = content;
        return "{base}/" + path;
    }
    QString File(const QString& name, const QByteArray& content) { return Serve(tag + "-" + name, content); }
    // The information file describes Url as holding Content, whatever is served.
    void Expect(const QString& url, const QByteArray& content)
    {
        expected[QString(url).replace("{base}", Base())] = content;
    }
    bool Check(const QString& infoURL)
    {
        up->setInfoFileURL(infoURL);
        up->CheckUpdate();
        return WaitFor([this] { return !outcomes.isEmpty() && !up->Busy(); });
    }
    QStringList TemporaryFiles() const
    {
        QStringList names = QDir(temp.filePath("install")).entryList({"*.uTMP"}, QDir::Files | QDir::Hidden);
        names.sort();
        return names;
    }

    TestServer& server = TestServer::Get();
    QTemporaryDir temp;
    QString app, tag;
    QByteArray dummy;
    std::shared_ptr<TestPrompter> prompter = std::make_shared<TestPrompter>();
    std::unique_ptr<TupUpdater> up;
    QStringList outcomes;
    QMap<QString, QByteArray> served, expected;
};

}  // namespace
