// The two homes of the store in tests: a fresh ledgr.mdb in a scratch folder,
// or a fresh database on the private PostgreSQL cluster the test command
// starts (scripts/pg-test-cluster.sh; its folder is named in the file that
// TALLYBROOK_TEST_PG_STATE points at).
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <ostream>
#include <string>

#include "store/Connection.h"
#include "tests/TempDir.h"

enum class THome { File, Server };

inline void PrintTo(THome home, std::ostream* os) { *os << (home == THome::File ? "file" : "server"); }

inline std::string HomeName(const ::testing::TestParamInfo<THome>& info)
{
    return info.param == THome::File ? "file" : "server";
}

// "host=<socket folder> user=tallybrook" of the test cluster, or "" when
// the test command did not start one.
inline std::string TestServerBase()
{
    const char* state = std::getenv("TALLYBROOK_TEST_PG_STATE");
    if (!state || !*state) return {};
    std::ifstream in(state);
    std::string folder;
    if (!std::getline(in, folder) || folder.empty()) return {};
    return "host=" + folder + " user=tallybrook";
}

// A database made for one test and dropped after it.
class TTestDatabase {
public:
    TTestDatabase(THome home, const TempDir& dir)
    {
        if (home == THome::File) {
            FAddress = dir.file("ledgr.mdb");
        } else {
            FBase = TestServerBase();
            if (FBase.empty()) return;
            static std::atomic<int> counter{0};
            FName = "tb_" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
            store::Connection admin(FBase + " dbname=postgres");
            admin.Execute("drop database if exists " + FName);
            admin.Execute("create database " + FName);
            FAddress = FBase + " dbname=" + FName;
        }
        store::Connection::CreateDatabase(FAddress);
    }
    ~TTestDatabase()
    {
        if (FName.empty()) return;
        try {
            store::Connection admin(FBase + " dbname=postgres");
            admin.Execute("drop database if exists " + FName + " with (force)");
        } catch (const std::exception&) {
        }
    }
    TTestDatabase(const TTestDatabase&) = delete;
    TTestDatabase& operator=(const TTestDatabase&) = delete;

    // Empty when the server home was asked for and no cluster runs.
    const std::string& Address() const { return FAddress; }

private:
    std::string FBase;
    std::string FName;
    std::string FAddress;
};

#define INSTANTIATE_FOR_BOTH_HOMES(Suite) \
    INSTANTIATE_TEST_SUITE_P(Homes, Suite, ::testing::Values(THome::File, THome::Server), HomeName)

#define SKIP_WITHOUT_HOME(db) \
    if ((db).Address().empty()) GTEST_SKIP() << "no test database server runs (see scripts/pg-test-cluster.sh)"
