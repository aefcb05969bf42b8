// SPDX-License-Identifier: GPL-3.0-or-later
#include "cifrelle/game/answerkey.h"

#include "cifrelle/numtext/numtext.h"

#include <gtest/gtest.h>

#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

using cifrelle::game::answerKey;
using cifrelle::game::roundingPattern;
using cifrelle::numtext::NumberFormatError;
using namespace std::string_view_literals;

// One drawn number and its key at levels 1, 2 and 3.
struct KeyRow {
    const char* numero;
    const char* key[3];
};

void PrintTo(const KeyRow& row, std::ostream* os)
{
    *os << row.numero << " -> " << row.key[0] << " " << row.key[1] << " " << row.key[2];
}

class AnswerKeyTable : public ::testing::TestWithParam<KeyRow> {};

TEST_P(AnswerKeyTable, KeyAtEveryLevel)
{
    const KeyRow& row = GetParam();
    for (int level = 1; level <= 3; ++level) {
        SCOPED_TRACE("level " + std::to_string(level));
        const auto result = answerKey(row.numero, level);
        EXPECT_EQ(result.key, row.key[level - 1]) << row.numero;
        // The rounded value is the key read back as a single-precision value.
        std::string asRead = result.key;
        EXPECT_EQ(result.arrotondato, static_cast<float>(cifrelle::numtext::numberValue(asRead)))
            << row.numero;
        // Same number, same key: a second run changes nothing.
        EXPECT_EQ(answerKey(row.numero, level).key, result.key);
    }
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, AnswerKeyTable,
    ::testing::Values(
        KeyRow{"4,96", {"5,0", "4,96", "4,960"}}, KeyRow{"0,04", {"0,0", "0,04", "0,040"}},
        KeyRow{"0,5", {"0,5", "0,50", "0,500"}}, KeyRow{"5", {"5,0", "5,00", "5,000"}},
        KeyRow{"9,96", {"10,0", "9,96", "9,960"}}, KeyRow{"9,996", {"10,0", "10,00", "9,996"}},
        KeyRow{"10", {"10,0", "10,00", "10,000"}}, KeyRow{"10,04", {"10,0", "10,04", "10,040"}},
        KeyRow{"12,5", {"12,5", "12,50", "12,500"}}, KeyRow{"12", {"12,0", "12,00", "12,000"}},
        KeyRow{"4,65", {"4,7", "4,65", "4,650"}}, KeyRow{"4,64", {"4,6", "4,64", "4,640"}},
        KeyRow{"32,48634", {"32,5", "32,49", "32,486"}},
        KeyRow{"99,96", {"100,0", "99,96", "99,960"}},
        KeyRow{"99,9996", {"100,0", "100,00", "100,000"}},
        KeyRow{"0,0004", {"0,0", "0,00", "0,000"}}, KeyRow{"0,0005", {"0,0", "0,00", "0,001"}}));

INSTANTIATE_TEST_SUITE_P(
    Edges, AnswerKeyTable,
    ::testing::Values(
        // Integer parts of one, two and three digits get the same suffix.
        KeyRow{"0", {"0,0", "0,00", "0,000"}}, KeyRow{"7", {"7,0", "7,00", "7,000"}},
        KeyRow{"99", {"99,0", "99,00", "99,000"}}, KeyRow{"10,5", {"10,5", "10,50", "10,500"}},
        KeyRow{"10,25", {"10,3", "10,25", "10,250"}}, KeyRow{"4,6", {"4,6", "4,60", "4,600"}},
        // Only the first dropped digit decides.
        KeyRow{"4,6499", {"4,6", "4,65", "4,650"}}, KeyRow{"4,6449", {"4,6", "4,64", "4,645"}},
        KeyRow{"0,95", {"1,0", "0,95", "0,950"}}, KeyRow{"0,995", {"1,0", "1,00", "0,995"}},
        KeyRow{"0,9995", {"1,0", "1,00", "1,000"}}, KeyRow{"0,05", {"0,1", "0,05", "0,050"}},
        KeyRow{"0,005", {"0,0", "0,01", "0,005"}}, KeyRow{"0,0449", {"0,0", "0,04", "0,045"}},
        // Drawn numbers with seven significant digits, small ones included.
        KeyRow{"99,99999", {"100,0", "100,00", "100,000"}},
        KeyRow{"1,000001", {"1,0", "1,00", "1,000"}},
        KeyRow{"0,000005960464", {"0,0", "0,00", "0,000"}},
        KeyRow{"50,06104", {"50,1", "50,06", "50,061"}},
        KeyRow{"0,1234567", {"0,1", "0,12", "0,123"}},
        // Texts the strict reading accepts even though the game shows none.
        KeyRow{",", {"0,0", "0,00", "0,000"}}, KeyRow{"5,", {"5,0", "5,00", "5,000"}},
        KeyRow{",75", {"0,8", "0,75", "0,750"}}));

TEST(AnswerKey, KeyAlwaysHasTheLevelsDecimals)
{
    const std::vector<std::string_view> numbers = {"0",       "5",      "4,65", "9,96",
                                                   "99,9996", "0,0005", "12,5", "32,48634"};
    for (std::string_view numero : numbers) {
        for (int level = 1; level <= 3; ++level) {
            const std::string key = answerKey(numero, level).key;
            const auto comma = key.find(',');
            ASSERT_NE(comma, std::string::npos) << numero << " " << level;
            EXPECT_EQ(key.size() - comma - 1, static_cast<std::size_t>(level)) << key;
            EXPECT_NE(key.front(), ',') << key; // "0" before the comma
        }
    }
}

TEST(AnswerKey, RoundedValueIsTheNearestSingle)
{
    EXPECT_EQ(answerKey("4,65", 1).arrotondato, 4.7f);
    EXPECT_EQ(answerKey("9,96", 1).arrotondato, 10.0f);
    EXPECT_EQ(answerKey("0,04", 1).arrotondato, 0.0f);
    EXPECT_EQ(answerKey("32,48634", 2).arrotondato, 32.49f);
    EXPECT_EQ(answerKey("99,9996", 3).arrotondato, 100.0f);
    EXPECT_EQ(answerKey("0,0005", 3).arrotondato, 0.001f);
}

TEST(AnswerKey, RejectsTextsThatAreNotNumbers)
{
    for (std::string_view bad : {""sv, " 4,65"sv, "4.65"sv, "-1"sv, "5,0,0"sv, "1e-5"sv}) {
        SCOPED_TRACE(std::string(bad));
        for (int level = 1; level <= 3; ++level)
            EXPECT_THROW(answerKey(bad, level), NumberFormatError);
    }
}

TEST(RoundingPattern, OnePatternPerLevel)
{
    EXPECT_EQ(roundingPattern(1), "#.#");
    EXPECT_EQ(roundingPattern(2), "#.##");
    EXPECT_EQ(roundingPattern(3), "#.###");
    for (int level : {0, 4, -1})
        EXPECT_THROW(roundingPattern(level), std::invalid_argument) << level;
    EXPECT_THROW(answerKey("4,65", 0), std::invalid_argument);
    EXPECT_THROW(answerKey("4,65", 4), std::invalid_argument);
}

} // namespace
