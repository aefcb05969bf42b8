// SPDX-License-Identifier: GPL-3.0-or-later
#include "cifrelle/game/mistake.h"

#include "cifrelle/game/answerkey.h"

#include <gtest/gtest.h>

namespace {

using cifrelle::game::answerKey;
using cifrelle::game::mistakeOf;
using cifrelle::records::Mistake;
using cifrelle::records::mistakeName;

// Each wrong answer to the number shown at a level (its key as the game
// works it out), and its kind: the first that fits, in the register's
// order.
TEST(MistakeOf, EachWrongAnswerHasTheFirstKindThatFits)
{
    const struct {
        const char* numero;
        int decimals;
        const char* answer;
        Mistake kind;
    } cases[] = {
        // A point for the comma, also where the number shown is the key.
        {"53,2267", 2, "53.23", Mistake::Point},
        {"5", 1, "5.0", Mistake::Point},
        {"4,65", 2, "4.65", Mistake::Point},
        // The key's value with another count of decimals, or none.
        {"53,1984", 2, "53,2", Mistake::Decimals},
        {"53,1984", 2, "53,200", Mistake::Decimals},
        {"52,996", 2, "53", Mistake::Decimals},
        {"52,996", 2, "53,", Mistake::Decimals},
        {"12,5", 3, "12,5", Mistake::Decimals}, // shown with fewer decimals
        {"4,6", 2, "4,6", Mistake::Decimals},   // also the key of tenths
        {"53,1984", 2, "053,20", Mistake::Other},
        {"53,1984", 2, "53.2", Mistake::Other},
        // The number as shown.
        {"53,2267", 2, "53,2267", Mistake::NotRounded},
        {"53,2267", 2, "53.2267", Mistake::NotRounded},
        {"12,5", 3, "12.5", Mistake::NotRounded},
        // Cut off where rounding goes up, through 9s too.
        {"53,2267", 2, "53,22", Mistake::CutOff},
        {"9,996", 2, "9,99", Mistake::CutOff},
        {"99,9996", 3, "99,999", Mistake::CutOff},
        // Rounded up where it goes down, the carry through 9s included.
        {"53,2231", 2, "53,23", Mistake::RoundedUp},
        {"9,991", 2, "10,00", Mistake::RoundedUp},
        {"99,9994", 3, "100,000", Mistake::RoundedUp},
        {"99,94", 1, "100,0", Mistake::RoundedUp},
        {"5", 2, "5,01", Mistake::RoundedUp},
        {"0,04", 1, "0,1", Mistake::RoundedUp},
        {"53,2231", 2, "53,3", Mistake::Other},
        // Another level's key.
        {"53,2267", 2, "53,2", Mistake::Level},
        {"53,2267", 2, "53,227", Mistake::Level},
        {"53,2267", 1, "53,23", Mistake::Level},
        {"9,996", 3, "10,0", Mistake::Level},
        {"4,65", 3, "4,7", Mistake::Level},
        // Anything else.
        {"53,2267", 2, "", Mistake::Other},
        {"53,2267", 2, "53,24", Mistake::Other},
        {"53,2267", 2, " 53,23", Mistake::Other},
        {"53,2267", 2, "53, 23", Mistake::Other},
        {"53,2267", 2, "-53,23", Mistake::Other},
        {"53,2267", 2, "cinquantatre", Mistake::Other},
        {"0,04", 1, ".", Mistake::Other},
        {"0,04", 1, ",", Mistake::Other},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.numero) + " at " + std::to_string(c.decimals) + ": \"" +
                     c.answer + "\"");
        const std::string key = answerKey(c.numero, c.decimals).key;
        ASSERT_NE(key, c.answer);
        EXPECT_EQ(mistakeName(mistakeOf(c.numero, c.decimals, key, c.answer)), mistakeName(c.kind));
    }
}

// No key set (a new number drawn with the small button), or no level yet:
// whatever is typed is of no kind.
TEST(MistakeOf, WithoutAKeyEveryAnswerIsOther)
{
    EXPECT_EQ(mistakeOf("53,2267", 2, "", "53,23"), Mistake::Other);
    EXPECT_EQ(mistakeOf("53,2267", 2, "", "53,22"), Mistake::Other);
    EXPECT_EQ(mistakeOf("", 0, "", "53,22"), Mistake::Other);
}

} // namespace
