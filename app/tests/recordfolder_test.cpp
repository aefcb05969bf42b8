// SPDX-License-Identifier: GPL-3.0-or-later
#include "recordfolder.h"

#include "cifrelle/game/form1.h"
#include "cifrelle/testsupport/files.h"
#include "cifrelle/ui/fake/fakeui.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

namespace cifrelle::app {
namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;
using testsupport::writeBytes;

std::string replaced(std::string text, const std::string& mark, const std::string& by)
{
    for (std::size_t at; (at = text.find(mark)) != std::string::npos;)
        text.replace(at, mark.size(), by);
    return text;
}

// Every path under `folder`, in order.
std::vector<fs::path> contents(const fs::path& folder)
{
    std::vector<fs::path> paths(fs::recursive_directory_iterator(folder), {});
    std::sort(paths.begin(), paths.end());
    return paths;
}

// A setting that cannot be used gets one warning at start, naming the
// setting and the folder; the game is played without a record, and
// nothing is written anywhere, not in the player's own folder either. {R}
// stands for the test's folder, {S} for the words naming the setting.
TEST(HostileSettings, EachGetsOneWarningAndTheGameIsPlayedWritingNothing)
{
    struct Case {
        std::string settings; // empty: a folder in the settings file's place
        std::string problem;
        bool asPlayer = false; // root may write anywhere: run by as-player.sh
    };
    const auto cannotUse = [](const std::string& folder, const std::string& reason) {
        return "non riesco a usare la cartella «" + folder +
               "», scelta per tutti gli utenti con {S} (" + reason + ")";
    };
    const Case cases[] = {
        {"folder=classe", cannotUse("classe", "non è un percorso assoluto")},
        {"folder=", "{S} non indica nessuna cartella"},
        {"folder={R}/classe", cannotUse("{R}/classe", "non esiste")},
        {"folder={R}/file", cannotUse("{R}/file", "non è una cartella")},
        {"folder={R}/file/classe",
         cannotUse("{R}/file/classe", "una parte del percorso non è una cartella")},
        {"folder={R}/classe, 3B", "{S} non contiene un solo percorso (un percorso con una virgola "
                                  "va scritto tra virgolette)"},
        {"", "non riesco a leggere il file delle impostazioni «{R}/cifrelle.conf»"},
        {"[record\nfolder={R}/classe",
         "il file delle impostazioni «{R}/cifrelle.conf» non è scritto correttamente"},
        {"folder={R}/readonly", cannotUse("{R}/readonly", "permesso negato"), true},
    };
    ::unsetenv("XDG_DATA_HOME");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings);
        if (c.asPlayer && ::geteuid() == 0)
            continue;
        TempDir tmp;
        const std::string root = tmp.path().string();
        const fs::path settingsFile = tmp / "cifrelle.conf";
        if (c.settings.empty())
            fs::create_directory(settingsFile);
        else
            writeBytes(settingsFile, replaced("[record]\n" + c.settings, "{R}", root));
        writeBytes(tmp / "file", "3\r\n");
        fs::create_directory(tmp / "readonly");
        fs::permissions(tmp / "readonly", fs::perms::owner_read | fs::perms::owner_exec);
        fs::create_directory(tmp / "home");
        ::setenv("HOME", (tmp / "home").c_str(), 1);
        const std::vector<fs::path> before = contents(tmp.path());

        records::RecordFiles files(recordFolder(settingsFile));
        ui::FakeUi ui;
        game::MixingRandom random;
        game::SystemTime time;
        game::Form1 form(ui, random, time, files);
        form.Form_Load();
        form.Form_Activate();
        ui.type(ui::Control::txtmio, ui.text(ui::Control::Text1));
        form.cmdverifica_Click();
        form.cmdexit_Click();

        const std::string problem =
            replaced(replaced(c.problem, "{S}",
                              "l'impostazione folder del gruppo [record] in {R}/cifrelle.conf"),
                     "{R}", root);
        ASSERT_EQ(ui.boxes().size(), 3u); // the greeting, the warning, the end
        EXPECT_EQ(ui.boxes()[1].prompt, "Il record non potrà essere conservato: " + problem +
                                            ". Puoi giocare lo stesso.");
        EXPECT_EQ(ui.caption(ui::Control::lblScore), "1");
        EXPECT_EQ(ui.boxes()[2].prompt, "Il record non è stato salvato: " + problem + ".");
        EXPECT_EQ(contents(tmp.path()), before);
    }
    // No setting: the player's own folder, as ever.
    TempDir tmp;
    writeBytes(tmp / "cifrelle.conf", "[other]\nfolder=/srv\n");
    for (const char* settings : {"missing.conf", "cifrelle.conf"})
        EXPECT_EQ(recordFolder(tmp / settings).path,
                  fs::path(std::getenv("HOME")) / ".local/share/cifrelle");
}

// The teacher's register only when the school's setting says exactly
// "true", in the class folder or the player's own.
TEST(RecordFolder, KeepsTheRegisterOnlyWhenTheSettingSaysTrue)
{
    const struct {
        const char* settings;
        bool kept;
    } cases[] = {
        {"[record]\nregister=true\n", true},  {"[record]\nfolder={R}\nregister=true\n", true},
        {"[record]\nregister=TRUE\n", false}, {"[record]\nregister=1\n", false},
        {"[record]\nregister=\n", false},     {"[record]\nfolder={R}\n", false},
        {"[other]\nregister=true\n", false},
    };
    TempDir tmp;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.settings);
        writeBytes(tmp / "cifrelle.conf", replaced(c.settings, "{R}", tmp.path().string()));
        EXPECT_EQ(recordFolder(tmp / "cifrelle.conf").keepRegister, c.kept);
    }
    EXPECT_FALSE(recordFolder(tmp / "missing.conf").keepRegister);
}

TEST(RecordFolder, FollowsTheXdgRules)
{
    using Environment = std::map<std::string, std::string>;
    struct Case {
        Environment environment;
        std::string folder;
        std::string problem;
    };
    const std::string noHome =
        "non trovo la cartella personale (la variabile d'ambiente HOME è vuota o non è impostata)";
    const Case cases[] = {
        {{{"HOME", "/home/anna"}}, "/home/anna/.local/share/cifrelle", ""},
        {{{"HOME", "/home/anna"}, {"XDG_DATA_HOME", "/dati/anna"}}, "/dati/anna/cifrelle", ""},
        // A relative or empty XDG_DATA_HOME is ignored.
        {{{"HOME", "/home/anna"}, {"XDG_DATA_HOME", "dati"}},
         "/home/anna/.local/share/cifrelle",
         ""},
        {{{"HOME", "/home/anna"}, {"XDG_DATA_HOME", "./dati"}},
         "/home/anna/.local/share/cifrelle",
         ""},
        {{{"HOME", "/home/anna"}, {"XDG_DATA_HOME", ""}}, "/home/anna/.local/share/cifrelle", ""},
        {{{"XDG_DATA_HOME", "/dati/anna"}}, "/dati/anna/cifrelle", ""},
        // No usable HOME: no folder, and why.
        {{}, "", noHome},
        {{{"HOME", ""}}, "", noHome},
        {{{"HOME", ""}, {"XDG_DATA_HOME", "dati"}}, "", noHome},
        {{{"HOME", "anna"}},
         "",
         "non trovo la cartella personale (la variabile d'ambiente HOME vale «anna», che non è un "
         "percorso "
         "assoluto)"},
    };
    for (const Case& c : cases) {
        const records::RecordFolder folder =
            dataHomeRecordFolder([&](const char* name) -> const char* {
                const auto it = c.environment.find(name);
                return it == c.environment.end() ? nullptr : it->second.c_str();
            });
        EXPECT_EQ(folder.path.string(), c.folder);
        EXPECT_EQ(folder.problem, c.problem);
    }
}

} // namespace
} // namespace cifrelle::app
