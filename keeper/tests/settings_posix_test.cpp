// SPDX-License-Identifier: GPL-3.0-or-later
// The administrator's setting as the keeper takes it on Linux: only from a
// file and a way that root alone may change, only as plainly written.
#include "cifrelle/testsupport/files.h"

#include "keeper.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace cifrelle::keeper {
namespace {

using testsupport::TempDir;
using testsupport::writeBytes;
namespace fs = std::filesystem;

TEST(AdministratorsSetting, OnlyWhatRootAloneMayChangeAndOnlyPlainlyWritten)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "files of root's are made by root only";
    TempDir tmp;
    const fs::path base = tmp.path();
    const fs::path classe = base / "classe 3,B";
    const fs::path conf = base / "etc" / "cifrelle.conf";
    const std::string guarded = "\nguarded=true\n";
    const struct {
        const char* what;
        std::string text;
        void (*harm)(const fs::path& conf); // what else is done to the way
        const char* problem;                // a part of it; "" for none
    } cases[] = {
        {"plain", "[record]\nfolder=\"" + classe.string() + "\"\nregister=true" + guarded, nullptr,
         ""},
        {"blanks, comments, another group",
         "# x\n[other]\nfolder=/tmp,\\x\n[record]\n  folder = \"" + classe.string() + "\" \r\n;c" +
             guarded,
         nullptr, ""},
        {"a comma outside quotes", "[record]\nfolder=" + classe.string() + guarded, nullptr,
         "(riga 2)"},
        {"a backslash", "[record]\nfolder=\"/srv\\x\"" + guarded, nullptr, "(riga 2)"},
        {"twice", "[record]\nfolder=/a\nfolder=/b" + guarded, nullptr, "(riga 3)"},
        {"a broken group", "[record\nfolder=/a" + guarded, nullptr, "(riga 1)"},
        {"not guarded", "[record]\nfolder=\"" + classe.string() + "\"\nguarded=yes\n", nullptr,
         "non è custodita"},
        {"no folder", "[record]" + guarded, nullptr, "non indica la cartella"},
        {"the file writable by its group", "[record]" + guarded,
         [](const fs::path& c) { ::chmod(c.c_str(), 0664); }, "non è al sicuro"},
        {"the file of another account", "[record]" + guarded,
         [](const fs::path& c) { (void)!::chown(c.c_str(), 65534, 0); }, "non è al sicuro"},
        {"a folder on the way open to all", "[record]" + guarded,
         [](const fs::path& c) { ::chmod(c.parent_path().c_str(), 0777); }, "non è al sicuro"},
        {"a link to the file", "[record]" + guarded,
         [](const fs::path& c) {
             fs::rename(c, c.parent_path() / "real.conf");
             fs::create_symlink("real.conf", c);
         },
         "è un collegamento"},
        {"no file", "", [](const fs::path& c) { fs::remove(c); },
         "non trovo il file delle impostazioni"},
        {"a class folder of another account",
         "[record]\nfolder=\"" + classe.string() + "\"" + guarded,
         [](const fs::path& c) {
             (void)!::chown((c.parent_path().parent_path() / "classe 3,B").c_str(), 65534, 0);
         },
         "la cartella della classe"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(base / "etc");
        fs::remove_all(classe);
        fs::create_directories(classe);
        fs::create_directory(base / "etc");
        ASSERT_EQ(::chmod(base.c_str(), 0755) | ::chmod((base / "etc").c_str(), 0755) |
                      ::chmod(classe.c_str(), 02770),
                  0);
        writeBytes(conf, c.text);
        ASSERT_EQ(::chmod(conf.c_str(), 0644), 0);
        if (c.harm)
            c.harm(conf);
        const records::RecordFolder setting = administratorsSetting(conf);
        EXPECT_NE(setting.setting.find(conf.string()), std::string::npos);
        if (*c.problem == '\0') {
            EXPECT_EQ(setting.problem, "");
            EXPECT_EQ(setting.path, classe);
            EXPECT_TRUE(setting.guarded);
            EXPECT_EQ(setting.keepRegister, c.text.find("register=true") != std::string::npos);
        } else {
            EXPECT_NE(setting.problem.find(c.problem), std::string::npos) << setting.problem;
        }
    }
}

} // namespace
} // namespace cifrelle::keeper
