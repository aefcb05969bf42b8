// SPDX-License-Identifier: GPL-3.0-or-later
#include "recordfolder.h"

#include "cifrelle/game/form1.h"
#include "cifrelle/records/gameend.h"
#include "cifrelle/ui/fakeui.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace cifrelle::app {
namespace {

namespace fs = std::filesystem;

// A folder of the test's own under the system's temporary folder.
class TempDir {
public:
    TempDir()
    {
        std::random_device seed;
        do
            path_ = fs::temp_directory_path() / ("cifrelle-settings-" + std::to_string(seed()));
        while (!fs::create_directory(path_));
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir()
    {
        std::error_code ec;
        for (const auto& entry : fs::recursive_directory_iterator(path_, ec))
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

void write(const fs::path& path, const std::string& text)
{
    std::ofstream(path) << text;
}

// Every path under `folder`, with its size, in order.
std::map<std::string, std::uintmax_t> contents(const fs::path& folder)
{
    std::map<std::string, std::uintmax_t> found;
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(folder, ec))
        found[entry.path().string()] = entry.is_regular_file(ec) ? entry.file_size(ec) : 0;
    return found;
}

std::string replaced(std::string text, const std::string& mark, const std::string& by)
{
    for (std::size_t at; (at = text.find(mark)) != std::string::npos;)
        text.replace(at, mark.size(), by);
    return text;
}

#ifndef _WIN32 // the settings file is the Unix systems'
// The settings file names a folder, that folder or the file cannot be
// used: one warning at start names the setting and the folder, the game is
// played without a record, and nothing is written anywhere (neither there
// nor in the player's own folder). {R} stands for the test's folder, {C}
// for the settings file and {S} for the words naming the setting.
TEST(HostileSettings, EachGetsOneWarningAndTheGameIsPlayedWritingNothing)
{
    struct Case {
        const char* what;
        std::string settings; // nothing: a folder in the settings file's place
        void (*setup)(const fs::path& root);
        std::string problem;
        bool needsAPlayer = false; // root may write anywhere
    };
    const std::string folder = "non riesco a usare la cartella «{R}/classe», scelta per tutti gli utenti con {S}";
    const auto none = [](const fs::path&) {};
    const Case cases[] = {
        {"a relative path", "[record]\nfolder=classe\n", none,
         "non riesco a usare la cartella «classe», scelta per tutti gli utenti con {S} (non è un percorso "
         "assoluto)"},
        {"an empty value", "[record]\nfolder=\n", none, "{S} non indica nessuna cartella"},
        {"a missing folder", "[record]\nfolder={R}/classe\n", none, folder + " (non esiste)"},
        {"a file in the folder's place", "[record]\nfolder={R}/classe\n",
         [](const fs::path& root) { write(root / "classe", "3\r\n"); }, folder + " (non è una cartella)"},
        {"a path through a file", "[record]\nfolder={R}/classe/3B\n",
         [](const fs::path& root) { write(root / "classe", ""); },
         "non riesco a usare la cartella «{R}/classe/3B», scelta per tutti gli utenti con {S} (una parte del "
         "percorso non è una cartella)"},
        {"an unquoted comma", "[record]\nfolder={R}/classe, 3B\n", none,
         "{S} non contiene un solo percorso (un percorso con una virgola va scritto tra virgolette)"},
        {"a settings file that cannot be read", "", none,
         "non riesco a leggere il file delle impostazioni «{C}»"},
        {"a settings file not written right", "[record\nfolder={R}/classe\n", none,
         "il file delle impostazioni «{C}» non è scritto correttamente"},
        {"a folder this account may not write in", "[record]\nfolder={R}/classe\n",
         [](const fs::path& root) {
             fs::create_directory(root / "classe");
             fs::permissions(root / "classe", fs::perms::owner_read | fs::perms::owner_exec);
         },
         folder + " (permesso negato)", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.needsAPlayer && ::geteuid() == 0)
            continue; // run by as-player.sh as an unprivileged user
        TempDir tmp;
        const fs::path root = tmp.path();
        const fs::path settingsFile = root / "cifrelle.conf";
        if (c.settings.empty())
            fs::create_directory(settingsFile);
        else
            write(settingsFile, replaced(c.settings, "{R}", root.string()));
        c.setup(root);
        fs::create_directory(root / "home");
        ::setenv("HOME", (root / "home").c_str(), 1);
        ::unsetenv("XDG_DATA_HOME");
        const auto before = contents(root);

        records::RecordFiles files(recordFolder(settingsFile));
        ui::FakeUi ui;
        ui.queueInput("Ada");
        game::MixingRandom random;
        game::SystemTime time;
        game::Form1 form(ui, random, time, files);
        form.Form_Load();
        form.Form_Activate();
        ui.type(ui::Control::txtmio, ui.text(ui::Control::Text1));
        form.cmdverifica_Click();
        form.cmdexit_Click();

        const std::string problem =
            replaced(replaced(replaced(c.problem, "{S}", "l'impostazione folder del gruppo [record] in {C}"),
                              "{C}", settingsFile.string()),
                     "{R}", root.string());
        ASSERT_EQ(ui.boxes().size(), 3u);
        EXPECT_EQ(ui.boxes()[1].prompt, "Il record non potrà essere conservato: " + problem + ". Puoi giocare lo stesso.");
        EXPECT_EQ(ui.boxes()[1].style, ui::BoxStyle::Warning);
        EXPECT_EQ(ui.caption(ui::Control::lblScore), "1"); // played
        EXPECT_EQ(ui.boxes()[2].prompt, "Il record non è stato salvato: " + problem + ".");
        EXPECT_TRUE(ui.ended());
        EXPECT_EQ(contents(root), before);
    }
}
#endif

// Which folder the settings file gives, and that nothing but its key
// record/folder counts.
TEST(ChosenRecordFolder, OnlyTheKeyFolderOfTheGroupRecordChoosesAFolder)
{
    struct Case {
        std::string settings; // nothing: no settings file
        std::optional<std::string> folder;
    };
    const Case cases[] = {
        {"", std::nullopt},
        {"[other]\nfolder=/srv/x\n", std::nullopt},
        {"[Record]\nFolder=/srv/x\n", std::nullopt},
        {"[record]\nfolder=/srv/classe 3B\n", "/srv/classe 3B"},
        {"[record]\nfolder = /srv/classe/ \n", "/srv/classe/"},
        {"[record]\nfolder=\"/srv/3B, sezione A\"\n", "/srv/3B, sezione A"},
        {"[record]\nfolder=/srv/Nicolò\n", "/srv/Nicolò"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings);
        TempDir tmp;
        const fs::path settingsFile = tmp.path() / "cifrelle.conf";
        if (!c.settings.empty())
            write(settingsFile, c.settings);
        const std::optional<records::RecordFolder> chosen = chosenRecordFolder(settingsFile);
        ASSERT_EQ(chosen.has_value(), c.folder.has_value());
        if (!chosen)
            continue;
        EXPECT_EQ(chosen->path.string(), *c.folder);
        EXPECT_EQ(chosen->problem, "");
        EXPECT_EQ(chosen->setting, "l'impostazione folder del gruppo [record] in " + settingsFile.string());
    }
    EXPECT_EQ(std::string(systemSettingsFile), "/etc/xdg/cifrelle/cifrelle.conf");
}

TEST(RecordFolder, FollowsTheXdgRules)
{
    using Environment = std::map<std::string, std::string>;
    struct Case {
        Environment environment;
        std::string folder;
        std::string problem;
    };
    const std::string noHome = "non trovo la cartella personale (la variabile d'ambiente HOME è vuota o non è impostata)";
    const Case cases[] = {
        {{{"HOME", "/home/anna"}}, "/home/anna/.local/share/cifrelle", ""},
        {{{"HOME", "/home/anna"}, {"XDG_DATA_HOME", "/dati/anna"}}, "/dati/anna/cifrelle", ""},
        // A relative or empty XDG_DATA_HOME is ignored.
        {{{"HOME", "/home/anna"}, {"XDG_DATA_HOME", "dati"}}, "/home/anna/.local/share/cifrelle", ""},
        {{{"HOME", "/home/anna"}, {"XDG_DATA_HOME", "./dati"}}, "/home/anna/.local/share/cifrelle", ""},
        {{{"HOME", "/home/anna"}, {"XDG_DATA_HOME", ""}}, "/home/anna/.local/share/cifrelle", ""},
        {{{"XDG_DATA_HOME", "/dati/anna"}}, "/dati/anna/cifrelle", ""},
        // No usable HOME: no folder, and why.
        {{}, "", noHome},
        {{{"HOME", ""}}, "", noHome},
        {{{"HOME", ""}, {"XDG_DATA_HOME", "dati"}}, "", noHome},
        {{{"HOME", "anna"}}, "",
         "non trovo la cartella personale (la variabile d'ambiente HOME vale «anna», che non è un percorso "
         "assoluto)"},
    };
    for (const Case& c : cases) {
        const records::RecordFolder folder = dataHomeRecordFolder([&](const char* name) -> const char* {
            const auto it = c.environment.find(name);
            return it == c.environment.end() ? nullptr : it->second.c_str();
        });
        EXPECT_EQ(folder.path.string(), c.folder);
        EXPECT_EQ(folder.problem, c.problem);
    }
}

} // namespace
} // namespace cifrelle::app
