// SPDX-License-Identifier: GPL-3.0-or-later
#include "recordfolder.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace cifrelle::app {
namespace {

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
