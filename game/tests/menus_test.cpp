// SPDX-License-Identifier: GPL-3.0-or-later
#include "cifrelle/game/menus.h"

#include "cifrelle/ui/fake/fakeui.h"

#include <gtest/gtest.h>

namespace cifrelle::game {
namespace {

using ui::BoxStyle;
using ui::FakeUi;

std::size_t codePoints(std::string_view utf8)
{
    std::size_t count = 0;
    for (char c : utf8)
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

// The help texts, byte for byte.
const std::string expectedHelp[3] = {
    " Se vuoi approssimare ai decimi (quindi devi avere una sola cifra decimale), osserva la "
    "seconda cifra decimale se questa \xC3\xA8 maggiore di 4 (ossia 5,6,7,8,9)  aumenta di "
    "un'unit\xC3\xA0 la cifra dei decimi, altrimenti effettua una semplice approssimazione per "
    "difetto cancellando le cifre successive ai decimi.",
    "Esempio:     4,65 approssimato alla prima cifra decimale \xC3\xA8 uguale a 4,7 "
    "Approssimazione per eccesso",
    "Esempio2:    4,64 approssimato alla prima cifra decimale \xC3\xA8 uguale a 4,6 "
    "Approssimazione per difetto",
};

TEST(HelpTexts, AreExact)
{
    const auto& texts = helpTexts();
    for (std::size_t i = 0; i < texts.size(); ++i)
        EXPECT_EQ(texts[i], expectedHelp[i]) << "text " << i + 1;
}

TEST(HelpTexts, HaveTheirLengthsAndBlanks)
{
    const auto& texts = helpTexts();
    EXPECT_EQ(codePoints(texts[0]), 300u);
    EXPECT_EQ(codePoints(texts[1]), 99u);
    EXPECT_EQ(codePoints(texts[2]), 99u);

    EXPECT_EQ(texts[0].substr(0, 4), " Se ");
    EXPECT_NE(texts[0].find("(ossia 5,6,7,8,9)  aumenta"), std::string_view::npos);
    EXPECT_EQ(texts[1].substr(0, 18), "Esempio:     4,65 ");
    EXPECT_EQ(texts[2].substr(0, 18), "Esempio2:    4,64 ");
    // No other run of blanks anywhere.
    const std::size_t pair = texts[0].find("  ");
    EXPECT_EQ(texts[0].substr(pair - 1, 10), ")  aumenta");
    EXPECT_EQ(texts[0].find("  ", pair + 2), std::string_view::npos);
    EXPECT_EQ(texts[1].find("  ", 18), std::string_view::npos);
    EXPECT_EQ(texts[2].find("  ", 18), std::string_view::npos);
    for (std::string_view text : texts) {
        EXPECT_EQ(text.find_first_of("\r\n\t"), std::string_view::npos);
        EXPECT_NE(text.back(), ' ');
    }
}

TEST(RecordMessage, JoinsTheCaptionsAsTheyAre)
{
    struct Case {
        std::string holder, score, message;
    };
    const Case cases[] = {
        {"", "", "Il record attualmente \xC3\xA8 di  con punti "},
        {"Anna\r\n", "7\r\n", "Il record attualmente \xC3\xA8 di Anna\r\n con punti 7\r\n"},
        {"Anna", "007", "Il record attualmente \xC3\xA8 di Anna con punti 007"},
        {"<b>Ugo & Co</b>", "&amp;",
         "Il record attualmente \xC3\xA8 di <b>Ugo & Co</b> con punti &amp;"},
        {"Nicolò", "12", "Il record attualmente \xC3\xA8 di Nicolò con punti 12"}};
    for (const Case& c : cases) {
        EXPECT_EQ(recordMessage(c.holder, c.score), c.message);
        FakeUi ui;
        showRecord(ui, c.holder, c.score);
        ASSERT_EQ(ui.boxes().size(), 1u);
        EXPECT_EQ(ui.boxes()[0].prompt, c.message);
        EXPECT_EQ(ui.boxes()[0].style, BoxStyle::Information);
        EXPECT_EQ(ui.boxes()[0].title, std::nullopt);
        EXPECT_EQ(ui.log().size(), 1u); // shows, changes nothing
        EXPECT_FALSE(ui.ended());
    }
}

// The game ends during box `endsDuring` (0: never).
TEST(ShowHelp, ShowsTheTextsInOrderUntilTheGameEnds)
{
    for (const int endsDuring : {0, 1, 2, 3}) {
        SCOPED_TRACE(endsDuring);
        FakeUi ui;
        ui.clearLog();
        int shown = 0;
        ui.duringMessageBox = [&](const FakeUi::Box&) { ++shown; };
        showHelp(ui, [&] { return endsDuring == 0 || shown < endsDuring; });

        const std::size_t expected = endsDuring == 0 ? 3 : static_cast<std::size_t>(endsDuring);
        ASSERT_EQ(ui.boxes().size(), expected);
        for (std::size_t i = 0; i < expected; ++i) {
            EXPECT_EQ(ui.boxes()[i].prompt, expectedHelp[i]);
            EXPECT_EQ(ui.boxes()[i].style, BoxStyle::Information);
            EXPECT_EQ(ui.boxes()[i].title, std::nullopt);
        }
        EXPECT_EQ(ui.log().size(), expected);
    }
}

} // namespace
} // namespace cifrelle::game
