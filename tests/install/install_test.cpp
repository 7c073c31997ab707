// The program as a desktop installs it: the menu entry and the metadata pass
// their validators, `cmake --install` puts every file in its standard place,
// and the .deb installs into an empty root from which the program starts.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/TempDir.h"

namespace fs = std::filesystem;

namespace {

struct TRun {
    int status;
    std::string out;  // stdout and stderr together
};

TRun Shell(const std::string& command)
{
    TRun r{-1, {}};
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int status = pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

bool Have(const char* tool) { return Shell(std::string("command -v ") + tool).status == 0; }

std::string Read(const fs::path& file)
{
    std::ifstream in(file);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

const fs::path kDesktop = fs::path(TB_SOURCE_DIR) / "resources/desktop";
const std::string kId = TB_APP_ID;

}  // namespace

TEST(Install, the_menu_entry_passes_desktop_file_validate_and_has_the_chinese_name)
{
    if (!Have("desktop-file-validate")) GTEST_SKIP() << "desktop-file-validate is not installed";
    fs::path entry = kDesktop / (kId + ".desktop");
    TRun r = Shell("desktop-file-validate '" + entry.string() + "'");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "");
    std::string text = Read(entry);
    EXPECT_NE(text.find("\nName=Tallybrook 网店记账\n"), std::string::npos);
    EXPECT_NE(text.find("\nExec=tallybrook\n"), std::string::npos);
    EXPECT_NE(text.find("\nIcon=" + kId + "\n"), std::string::npos);
}

TEST(Install, the_metadata_passes_appstreamcli_validate)
{
    if (!Have("appstreamcli")) GTEST_SKIP() << "appstreamcli is not installed";
    TRun r = Shell("appstreamcli validate --no-net '" + (kDesktop / (kId + ".metainfo.xml")).string() + "'");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out.find("E: "), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("W: "), std::string::npos) << r.out;
}

TEST(Install, cmake_install_puts_programs_entry_icons_and_metadata_in_their_places)
{
    TempDir prefix;
    TRun r = Shell("cmake --install '" TB_BUILD_DIR "' --prefix '" + prefix.path().string() + "'");
    ASSERT_EQ(r.status, 0) << r.out;
    const fs::path& p = prefix.path();
    for (const char* program : {"bin/tallybrook", "bin/tallybrook-xls", "libexec/tallybrook/Replacer"}) {
        EXPECT_TRUE(fs::is_regular_file(p / program)) << program;
        EXPECT_NE(fs::status(p / program).permissions() & fs::perms::owner_exec, fs::perms::none) << program;
    }
    EXPECT_TRUE(fs::is_regular_file(p / "share/applications" / (kId + ".desktop")));
    EXPECT_TRUE(fs::is_regular_file(p / "share/metainfo" / (kId + ".metainfo.xml")));
    EXPECT_TRUE(fs::is_regular_file(p / "share/icons/hicolor/scalable/apps" / (kId + ".svg")));
    for (const char* size : {"16x16", "32x32", "48x48", "64x64", "128x128", "256x256"})
        EXPECT_TRUE(fs::is_regular_file(p / "share/icons/hicolor" / size / "apps" / (kId + ".png"))) << size;
}

TEST(Install, the_deb_installs_into_an_empty_root_and_its_program_starts)
{
    if (!Have("cpack") || !Have("dpkg")) GTEST_SKIP() << "cpack or dpkg is not installed";
    TempDir work;
    TRun pack =
        Shell("cd '" + work.path().string() + "' && cpack --config '" TB_BUILD_DIR "/CPackConfig.cmake' -G DEB");
    ASSERT_EQ(pack.status, 0) << pack.out;
    fs::path deb;
    for (const auto& e : fs::directory_iterator(work.path()))
        if (e.path().extension() == ".deb") deb = e.path();
    ASSERT_FALSE(deb.empty()) << pack.out;
    TRun depends = Shell("dpkg-deb -f '" + deb.string() + "' Depends");
    EXPECT_NE(depends.out.find("libqt6charts6"), std::string::npos) << depends.out;
    EXPECT_NE(depends.out.find("libsqlite3"), std::string::npos) << depends.out;

    // A root of its own with an empty package database: dpkg installs the
    // files as it would on a clean system, without touching this one.
    fs::path root = work.path() / "root";
    for (const char* d : {"var/lib/dpkg/info", "var/lib/dpkg/updates"}) fs::create_directories(root / d);
    std::ofstream(root / "var/lib/dpkg/status").close();
    TRun install = Shell("dpkg --root='" + root.string() +
                         "' --force-not-root --force-depends --force-script-chrootless "
                         "--log=/dev/null -i '" +
                         deb.string() + "'");
    ASSERT_EQ(install.status, 0) << install.out;
    EXPECT_TRUE(fs::is_regular_file(root / "usr/share/applications" / (kId + ".desktop")));
    TRun help = Shell("cd '" + work.path().string() + "' && '" + (root / "usr/bin/tallybrook").string() + "' --help");
    EXPECT_EQ(help.status, 0) << help.out;
    EXPECT_NE(help.out.find("Usage: tallybrook"), std::string::npos) << help.out;
}
