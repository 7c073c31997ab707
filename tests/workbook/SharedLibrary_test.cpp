// Libraries opened on first use: the errors a failed load gives, and that
// tallybrook-xls loads libzip and the crypto library only for the files that
// need them (checked with the dynamic loader's own trace, LD_DEBUG=files,
// which names every library as it is mapped).
#include "TestHelpers.h"

#include "workbook/SharedLibrary.h"
#include "workbook/XLSError.h"

#include <gnu/lib-names.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <functional>

using namespace workbook;
using namespace tbtest;
namespace fs = std::filesystem;

namespace {

std::string ErrorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const EXLSError& e) {
        return e.what();
    }
    return "";
}

}  // namespace

TEST(SharedLibrary, resolves_functions_with_the_type_they_are_stored_as)
{
    TSharedLibrary maths(LIBM_SO, "the maths library");
    double (*cosine)(double) = maths["cos"];
    EXPECT_EQ(cosine(0.0), 1.0);
}

TEST(SharedLibrary, a_library_that_cannot_be_loaded_is_named_in_the_error)
{
    const std::string error = ErrorOf([] { TSharedLibrary("libtallybrook-absent.so.9", "the test library"); });
    EXPECT_EQ(error.rfind("Cannot process this file: the test library libtallybrook-absent.so.9 "
                          "could not be loaded (", 0), 0u) << error;
    EXPECT_NE(error.find("libtallybrook-absent.so.9: cannot open shared object file"), std::string::npos) << error;
}

TEST(SharedLibrary, a_missing_function_is_named_in_the_error)
{
    TSharedLibrary maths(LIBM_SO, "the maths library");
    const std::string error = ErrorOf([&] { void (*f)() = maths["tallybrook_absent"]; (void)f; });
    EXPECT_EQ(error.rfind(std::string("Cannot process this file: the maths library ") + LIBM_SO +
                          " has no function tallybrook_absent (", 0), 0u) << error;
}

#ifdef TB_XLS_TOOL

namespace {

// The names of the libraries the dynamic loader mapped while the tool ran
// the command, each after a line feed.
std::string LoadedLibraries(const std::string& args)
{
    const std::string command = "LD_DEBUG=files " + std::string(TB_XLS_TOOL) + " " + args + " 2>&1 >/dev/null";
    FILE* p = popen(command.c_str(), "r");
    std::string trace, loaded = "\n";
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) trace.append(buf, n);
    EXPECT_EQ(pclose(p), 0) << args << "\n" << trace;
    for (size_t at = trace.find("file="); at != std::string::npos; at = trace.find("file=", at + 1))
        loaded += trace.substr(at + 5, trace.find_first_of(" \n", at) - at - 5) + "\n";
    return loaded;
}

bool Has(const std::string& loaded, const char* library)
{
    return loaded.find(std::string("\n") + library) != std::string::npos;
}

fs::path Corpus(const char* folder, const char* name) { return fs::path(TB_CORPUS_DIR) / folder / name; }

}  // namespace

TEST(SharedLibrary, the_tool_reads_and_writes_xls_without_loading_zip_or_crypto)
{
    const fs::path xls = Corpus("xls", "edr__Test10x10.xls");
    if (!fs::exists(xls)) GTEST_SKIP() << "no corpus";
    TTempDir dir;
    std::ofstream(dir / "in.tsv") << "TB001\tname\n";
    for (const std::string& args : {"cat " + xls.string(), "sheets " + xls.string(),
                                    "write " + (dir / "out.xls").string() + " < " + (dir / "in.tsv").string(),
                                    "copy " + xls.string() + " " + (dir / "copy.xls").string()}) {
        const std::string loaded = LoadedLibraries(args);
        EXPECT_TRUE(Has(loaded, "libc.so")) << "no loader trace for " << args << ":\n" << loaded;
        EXPECT_FALSE(Has(loaded, "libzip")) << args << ":\n" << loaded;
        EXPECT_FALSE(Has(loaded, "libcrypto")) << args << ":\n" << loaded;
    }
}

TEST(SharedLibrary, the_tool_loads_zip_for_a_package_and_crypto_for_a_password)
{
    const fs::path xlsx = Corpus("xlsx", "calamine__any_sheets.xlsx");
    const fs::path encrypted = Corpus("broken", "edr__protectedsheet-xxx.xls");  // the default password
    if (!fs::exists(xlsx) || !fs::exists(encrypted)) GTEST_SKIP() << "no corpus";
    const std::string package = LoadedLibraries("cat " + xlsx.string());
    EXPECT_TRUE(Has(package, "libzip")) << package;  // which brings the crypto library with it
    const std::string decrypted = LoadedLibraries("cat " + encrypted.string());
    EXPECT_TRUE(Has(decrypted, "libcrypto")) << decrypted;
    EXPECT_FALSE(Has(decrypted, "libzip")) << decrypted;
}

#endif
