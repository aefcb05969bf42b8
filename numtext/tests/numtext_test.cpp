// SPDX-License-Identifier: GPL-3.0-or-later
#include "cifrelle/numtext/numtext.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <iomanip>
#include <limits>
#include <optional>
#include <ostream>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace std::string_literals;
using namespace std::string_view_literals;
namespace nt = cifrelle::numtext;

// ---------------------------------------------------------------------------
// Independent reference: the exact decimal digits of a float (printed with
// enough fixed decimals to be exact) rounded half up to 7 significant digits
// directly on that digit string.

std::string exactFixed(float x)
{
    // Every float is a multiple of 2^-149, so 150 decimals are exact.
    char buf[400];
    const auto res =
        std::to_chars(buf, buf + sizeof buf, static_cast<double>(x), std::chars_format::fixed, 150);
    return std::string(buf, res.ptr);
}

std::string roundSignificant(const std::string& fixed, std::size_t significant)
{
    std::string digits;
    std::size_t point = std::string::npos;
    bool negative = false;
    for (char c : fixed) {
        if (c == '-')
            negative = true;
        else if (c == '.')
            point = digits.size();
        else
            digits.push_back(c);
    }
    if (point == std::string::npos)
        point = digits.size();
    const std::size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos)
        return "0";
    const std::size_t cut = first + significant;
    if (cut < digits.size()) {
        const bool up = digits[cut] >= '5';
        digits.resize(cut);
        if (up) {
            std::size_t i = cut;
            while (i > 0 && digits[i - 1] == '9')
                digits[--i] = '0';
            if (i > 0) {
                ++digits[i - 1];
            } else {
                digits.insert(digits.begin(), '1');
                ++point;
            }
        }
    }
    if (digits.size() < point)
        digits.append(point - digits.size(), '0');
    std::string whole = digits.substr(0, point);
    std::string fraction = digits.substr(point);
    whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size()));
    if (whole.empty())
        whole.push_back('0');
    while (!fraction.empty() && fraction.back() == '0')
        fraction.pop_back();
    return (negative ? "-"s : ""s) + whole + (fraction.empty() ? ""s : "," + fraction);
}

// ---------------------------------------------------------------------------
// Single text (src/singletext.cpp)

struct SingleCase {
    float value;
    const char* text;
};

void PrintTo(const SingleCase& c, std::ostream* os)
{
    *os << std::setprecision(9) << c.value << " -> " << c.text;
}

class SingleTextTable : public ::testing::TestWithParam<SingleCase> {};

TEST_P(SingleTextTable, WritesTheExpectedText)
{
    EXPECT_EQ(nt::singleText(GetParam().value), GetParam().text);
}

// The examples the game relies on.
INSTANTIATE_TEST_SUITE_P(GameExamples, SingleTextTable,
                         ::testing::Values(SingleCase{4.7f, "4,7"}, SingleCase{5.0f, "5"},
                                           SingleCase{100.0f, "100"}, SingleCase{0.5f, "0,5"},
                                           SingleCase{0.04f, "0,04"}, SingleCase{99.999f, "99,999"},
                                           SingleCase{32.486341f, "32,48634"},
                                           SingleCase{12.50f, "12,5"}));

INSTANTIATE_TEST_SUITE_P(
    Edges, SingleTextTable,
    ::testing::Values(SingleCase{0.0f, "0"}, SingleCase{-0.0f, "0"}, SingleCase{1.0f, "1"},
                      SingleCase{10.0f, "10"}, SingleCase{12.0f, "12"}, SingleCase{0.1f, "0,1"},
                      SingleCase{99.96f, "99,96"}, SingleCase{4.65f, "4,65"},
                      // The smallest drawn number: k = 1, r * 100. No exponent form.
                      SingleCase{5.9604645e-06f, "0,000005960464"}, SingleCase{1e-7f, "0,0000001"},
                      // The largest drawn number, (2^24 - 1) / 2^24 * 100 in single precision.
                      SingleCase{99.99999237060546875f, "99,99999"},
                      // Exact value 1.000000476837..., whose shortest text 1.0000005 would
                      // wrongly round up: the exact value decides.
                      SingleCase{1.0f + 4.0f / 8388608.0f, "1"},
                      SingleCase{1.0f + 7.0f / 8388608.0f, "1,000001"},
                      // Exact ties on the eighth digit go up, away from zero.
                      SingleCase{12345665.0f, "12345670"}, SingleCase{12345675.0f, "12345680"},
                      SingleCase{1234566.5f, "1234567"}, SingleCase{-1234566.5f, "-1234567"},
                      // 9,99999958e-26 and 9,99999968e-22: the rounding carries into a new
                      // leading digit.
                      SingleCase{std::bit_cast<float>(0x15F79687u), "0,0000000000000000000000001"},
                      SingleCase{std::bit_cast<float>(0x1C971DA0u), "0,000000000000000000001"},
                      // Large values: whole, no exponent, no separators.
                      SingleCase{1e10f, "10000000000"}, SingleCase{123456789.0f, "123456800"},
                      SingleCase{std::numeric_limits<float>::max(),
                                 "340282300000000000000000000000000000000"},
                      // Tiny values take the long exact path.
                      SingleCase{std::numeric_limits<float>::min(),
                                 "0,00000000000000000000000000000000000001175494"},
                      SingleCase{std::numeric_limits<float>::denorm_min(),
                                 "0,000000000000000000000000000000000000000000001401298"},
                      SingleCase{-2.5f, "-2,5"}));

TEST(SingleText, NeverWritesAnExponentOrAPeriod)
{
    for (float v : {1e-30f, 3e-20f, 7e-9f, 1e20f, 4e30f}) {
        const std::string text = nt::singleText(v);
        SCOPED_TRACE(text);
        EXPECT_EQ(text.find_first_not_of("0123456789,"), std::string::npos);
    }
}

TEST(SingleText, RejectsNonFiniteValues)
{
    EXPECT_THROW(nt::singleText(std::numeric_limits<float>::infinity()), std::domain_error);
    EXPECT_THROW(nt::singleText(-std::numeric_limits<float>::infinity()), std::domain_error);
    EXPECT_THROW(nt::singleText(std::numeric_limits<float>::quiet_NaN()), std::domain_error);
}

// Samples every binary exponent (denormals included) and checks the text
// against the independent rounding of the exact digits. Whatever is written
// for a non-negative value reads back with the strict reading.
TEST(SingleText, MatchesExactRoundingAcrossAllExponents)
{
    std::mt19937 gen(20240611u);
    std::uniform_int_distribution<std::uint32_t> mantissa(0, 0x7FFFFFu);
    int failures = 0;
    for (std::uint32_t field = 0; field < 255; ++field) {
        for (int i = 0; i < 400; ++i) {
            std::uint32_t m = mantissa(gen);
            if (i == 0)
                m = 0;
            else if (i == 1)
                m = 0x7FFFFFu;
            const float x = std::bit_cast<float>(field << 23 | m);
            const std::string got = nt::singleText(x);
            const std::string want = roundSignificant(exactFixed(x), 7);
            if (got != want && ++failures <= 10)
                ADD_FAILURE() << "bits " << (field << 23 | m) << ": got " << got << ", want "
                              << want;
            if (!nt::tryNumberValue(got) && ++failures <= 10)
                ADD_FAILURE() << "cannot read back " << got;
            const float negative = -x;
            if (x != 0.0f && nt::singleText(negative) != "-" + want && ++failures <= 10)
                ADD_FAILURE() << "negative of " << want;
        }
    }
    EXPECT_EQ(failures, 0);
}

// ---------------------------------------------------------------------------
// Integer text (src/wholenumbers.cpp)

struct IntegerCase {
    std::int64_t value;
    const char* text;
};

void PrintTo(const IntegerCase& c, std::ostream* os)
{
    *os << c.value << " -> " << c.text;
}

class IntegerTextTable : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(IntegerTextTable, WritesTheDigits)
{
    EXPECT_EQ(nt::integerText(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    All, IntegerTextTable,
    ::testing::Values(IntegerCase{0, "0"}, IntegerCase{17, "17"}, IntegerCase{7, "7"},
                      IntegerCase{100, "100"}, IntegerCase{32767, "32767"},
                      IntegerCase{-32768, "-32768"}, IntegerCase{1000000, "1000000"},
                      IntegerCase{std::numeric_limits<std::int64_t>::max(), "9223372036854775807"},
                      IntegerCase{std::numeric_limits<std::int64_t>::min(),
                                  "-9223372036854775808"}));

// ---------------------------------------------------------------------------
// Pattern text of a text (src/patterntext.cpp)

struct PatternCase {
    const char* number;
    const char* pattern;
    const char* text;
};

void PrintTo(const PatternCase& c, std::ostream* os)
{
    *os << c.number << " with " << c.pattern << " -> " << c.text;
}

class PatternTextOfText : public ::testing::TestWithParam<PatternCase> {};

TEST_P(PatternTextOfText, RoundsOnTheWrittenDigits)
{
    const auto& c = GetParam();
    EXPECT_EQ(nt::patternText(std::string_view(c.number), c.pattern), c.text)
        << c.number << " with " << c.pattern;
}

INSTANTIATE_TEST_SUITE_P(
    GameExamples, PatternTextOfText,
    ::testing::Values(PatternCase{"4,65", "#.#", "4,7"}, PatternCase{"5", "#.#", "5,"},
                      PatternCase{"0,5", "#.#", ",5"}, PatternCase{"0,04", "#.#", ","},
                      PatternCase{"32,48634", "#.##", "32,49"},
                      PatternCase{"99,9996", "#.###", "100,"}, PatternCase{"5", "00", "05"},
                      PatternCase{"0", "00", "00"}, PatternCase{"59", "00", "59"}));

INSTANTIATE_TEST_SUITE_P(
    Edges, PatternTextOfText,
    ::testing::Values(
        // Only the first dropped digit decides; the carry can reach the
        // integer part.
        PatternCase{"4,64", "#.#", "4,6"}, PatternCase{"4,6499", "#.#", "4,6"},
        PatternCase{"4,6999", "#.#", "4,7"}, PatternCase{"9,96", "#.#", "10,"},
        PatternCase{"9,95", "#.#", "10,"}, PatternCase{"9,94999", "#.#", "9,9"},
        PatternCase{"99,96", "#.#", "100,"}, PatternCase{"0,96", "#.#", "1,"},
        PatternCase{"0,05", "#.#", ",1"}, PatternCase{"0,0499999", "#.#", ","},
        PatternCase{"9,996", "#.##", "10,"}, PatternCase{"9,996", "#.###", "9,996"},
        PatternCase{"0,0005", "#.###", ",001"}, PatternCase{"0,0004", "#.###", ","},
        PatternCase{"0,0004", "#.##", ","}, PatternCase{"12,50", "#.##", "12,5"},
        PatternCase{"10,04", "#.#", "10,"}, PatternCase{"10,25", "#.###", "10,25"},
        PatternCase{"0,000005960464", "#.###", ","}, PatternCase{"99,99999", "#.###", "100,"},
        // The forms the strict reading accepts.
        PatternCase{",", "#.#", ","}, PatternCase{"5,", "#.#", "5,"},
        PatternCase{",5", "#.#", ",5"}, PatternCase{"007,50", "#.##", "7,5"},
        PatternCase{"0", "#.#", ","},
        // "00" and other patterns.
        PatternCase{"9", "00", "09"}, PatternCase{"123", "00", "123"},
        PatternCase{"9,5", "00", "10"}, PatternCase{"9,4", "00", "09"}, PatternCase{"5", "#", "5"},
        PatternCase{"0", "#", ""}, PatternCase{"0,4", "0", "0"}, PatternCase{"5", "0.00", "5,00"},
        PatternCase{"0,5", "0.0", "0,5"}, PatternCase{"0,04", "#0.#", "0,"},
        PatternCase{"4,6", "#.0#", "4,6"}, PatternCase{"4", "#.0#", "4,0"},
        PatternCase{"4,655", "#.0#", "4,66"}, PatternCase{"7", "000", "007"},
        PatternCase{"7", "0#", "07"}, PatternCase{"7,25", ".#", "7,3"},
        PatternCase{"7,25", ".", "7,"}, PatternCase{"7", "#.", "7,"},
        // Long digit strings round exactly.
        PatternCase{"99999999999999999999,95", "#.#", "100000000000000000000,"},
        PatternCase{"0,12349999999999999999999999999999", "#.###", ",123"},
        PatternCase{"0,12350000000000000000000000000000", "#.###", ",124"}));

TEST(PatternTextOfText, RejectsTextsThatAreNotNumbers)
{
    for (std::string_view bad : {""sv, " "sv, "4.65"sv, "-4,65"sv, "4,6,5"sv, "abc"sv, "1e5"sv}) {
        SCOPED_TRACE(std::string(bad));
        EXPECT_THROW(nt::patternText(bad, "#.#"), nt::NumberFormatError);
    }
}

TEST(PatternText, RejectsPatternsItDoesNotKnow)
{
    for (std::string_view bad : {""sv, "#.#.#"sv, "#,#"sv, "x"sv, "#.#%"sv, "0 0"sv}) {
        SCOPED_TRACE(std::string(bad));
        EXPECT_THROW(nt::patternText(std::string_view("5"), bad), std::invalid_argument);
        EXPECT_THROW(nt::patternText(5.0, bad), std::invalid_argument);
    }
}

// ---------------------------------------------------------------------------
// Pattern text of a value (src/patterntext.cpp)

struct ValuePatternCase {
    double value;
    const char* pattern;
    const char* text;
};

void PrintTo(const ValuePatternCase& c, std::ostream* os)
{
    *os << c.value << " with " << c.pattern << " -> " << c.text;
}

class PatternTextOfValue : public ::testing::TestWithParam<ValuePatternCase> {};

TEST_P(PatternTextOfValue, RoundsOnTheShortestDecimalDigits)
{
    const auto& c = GetParam();
    EXPECT_EQ(nt::patternText(c.value, c.pattern), c.text) << c.value << " with " << c.pattern;
}

INSTANTIATE_TEST_SUITE_P(
    GameExamples, PatternTextOfValue,
    ::testing::Values(ValuePatternCase{4.65, "#.#", "4,7"}, ValuePatternCase{5.0, "#.#", "5,"},
                      ValuePatternCase{0.5, "#.#", ",5"}, ValuePatternCase{0.04, "#.#", ","},
                      ValuePatternCase{32.48634, "#.##", "32,49"},
                      ValuePatternCase{99.9996, "#.###", "100,"}, ValuePatternCase{5.0, "00", "05"},
                      ValuePatternCase{0.0, "00", "00"}, ValuePatternCase{59.0, "00", "59"}));

INSTANTIATE_TEST_SUITE_P(
    Edges, PatternTextOfValue,
    ::testing::Values(ValuePatternCase{9.0, "00", "09"}, ValuePatternCase{4.6499, "#.#", "4,6"},
                      ValuePatternCase{9.96, "#.#", "10,"}, ValuePatternCase{4.64, "#.#", "4,6"},
                      ValuePatternCase{1.005, "#.##", "1,01"}, ValuePatternCase{23.0, "00", "23"},
                      ValuePatternCase{100.0, "00", "100"}, ValuePatternCase{-4.65, "#.#", "-4,7"},
                      ValuePatternCase{-0.04, "#.#", ","},
                      ValuePatternCase{1e20, "#", "100000000000000000000"},
                      ValuePatternCase{1e-300, "0.###", "0,"},
                      ValuePatternCase{0.0005, "#.###", ",001"}));

TEST(PatternTextOfValue, RejectsNonFiniteValues)
{
    EXPECT_THROW(nt::patternText(std::numeric_limits<double>::infinity(), "00"), std::domain_error);
    EXPECT_THROW(nt::patternText(std::numeric_limits<double>::quiet_NaN(), "#.#"),
                 std::domain_error);
}

// ---------------------------------------------------------------------------
// Strict reading (src/numbervalue.cpp)

struct ValueCase {
    std::string text;
    double value;
};

void PrintTo(const ValueCase& c, std::ostream* os)
{
    *os << ::testing::PrintToString(c.text.size() > 80 ? c.text.substr(0, 80) + "..." : c.text)
        << " -> " << c.value;
}

class NumberValueAccepts : public ::testing::TestWithParam<ValueCase> {};

TEST_P(NumberValueAccepts, ReadsTheNearestDouble)
{
    const auto& c = GetParam();
    EXPECT_EQ(nt::numberValue(c.text), c.value);
    const auto tried = nt::tryNumberValue(c.text);
    ASSERT_TRUE(tried.has_value());
    EXPECT_EQ(*tried, c.value);
}

INSTANTIATE_TEST_SUITE_P(
    All, NumberValueAccepts,
    ::testing::Values(ValueCase{"0", 0.0}, ValueCase{"5", 5.0}, ValueCase{"4,7", 4.7},
                      ValueCase{"100", 100.0}, ValueCase{"12,50", 12.5}, ValueCase{"0,04", 0.04},
                      ValueCase{"32,48634", 32.48634}, ValueCase{"99,999", 99.999},
                      // What the patterns write: the comma alone, or a missing side.
                      ValueCase{",", 0.0}, ValueCase{"5,", 5.0}, ValueCase{",5", 0.5},
                      ValueCase{"100,", 100.0}, ValueCase{",001", 0.001}, ValueCase{"00", 0.0},
                      ValueCase{"05", 5.0}, ValueCase{"0,000005960464", 5.960464e-06},
                      ValueCase{"007,500", 7.5}, ValueCase{"32767", 32767.0},
                      ValueCase{"0,1000000000000000055511151231257827021181583404541015625", 0.1},
                      // The exact midpoint between 1 and the next double ties to even;
                      // a digit far to its right breaks the tie.
                      ValueCase{"1,00000000000000011102230246251565404236316680908203125", 1.0},
                      ValueCase{"1,00000000000000011102230246251565404236316680908203125" +
                                    std::string(900, '0') + "1",
                                std::nextafter(1.0, 2.0)},
                      ValueCase{"123456789012345678901234567890", 123456789012345678901234567890.0},
                      ValueCase{"1" + std::string(400, '0'),
                                std::numeric_limits<double>::infinity()},
                      ValueCase{"0," + std::string(400, '0') + "1", 0.0},
                      ValueCase{std::string(5000, '0') + "," + std::string(5000, '0'), 0.0}));

TEST(NumberValue, RejectsTextsThatAreNotNumbers)
{
    const std::vector<std::string> bad = {
        "",      " ",       " 5",       "5 ",       "+5",   "-5",   "5.0",   "5.",
        ".5",    ".",       "1e5",      "1E5",      "5,,0", "5,0,", ",,",    "abc",
        "5a",    "\t5",     "5\n",      "0x10",     "inf",  "nan",  "5\r\n", "1 000",
        "1'000", "1.000,5", "\xd9\xa5", "\xc2\xbd", "5%",   "\xff", "5,e3",  "--5"};
    for (const std::string& text : bad) {
        SCOPED_TRACE(::testing::PrintToString(text));
        EXPECT_THROW(nt::numberValue(text), nt::NumberFormatError);
        EXPECT_FALSE(nt::tryNumberValue(text).has_value());
    }
    const std::string withNul("5\0", 2);
    EXPECT_THROW(nt::numberValue(withNul), nt::NumberFormatError);
    EXPECT_FALSE(nt::tryNumberValue(withNul).has_value());
}

TEST(NumberValue, ErrorNamesTheText)
{
    try {
        nt::numberValue("12a,5");
        FAIL() << "no exception";
    } catch (const nt::NumberFormatError& e) {
        EXPECT_NE(std::string(e.what()).find("\"12a,5\""), std::string::npos) << e.what();
    }
    try {
        nt::numberValue("");
        FAIL() << "no exception";
    } catch (const nt::NumberFormatError& e) {
        EXPECT_NE(std::string(e.what()).find("\"\""), std::string::npos) << e.what();
    }
    try {
        nt::numberValue(std::string("a\n\xff", 3));
        FAIL() << "no exception";
    } catch (const nt::NumberFormatError& e) {
        EXPECT_NE(std::string(e.what()).find("\"a\\x0A\\xFF\""), std::string::npos) << e.what();
    }
}

// The grammar "digits, optionally a comma and digits, not empty" checked by
// hand, and the value against the standard conversion of the same digits
// with a period.
std::optional<double> referenceValue(const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    std::string normal;
    int commas = 0;
    for (char c : text) {
        if (c == ',') {
            if (++commas > 1)
                return std::nullopt;
            normal.push_back('.');
        } else if (c >= '0' && c <= '9') {
            normal.push_back(c);
        } else {
            return std::nullopt;
        }
    }
    normal.insert(normal.begin(), '0'); // ",5" and "," get a digit before the point
    if (commas == 1)
        normal.push_back('0'); // and "5," one after it
    double v = 0.0;
    const auto res = std::from_chars(normal.data(), normal.data() + normal.size(), v);
    if (res.ec != std::errc() || res.ptr != normal.data() + normal.size())
        return std::nullopt;
    return v;
}

// Under AddressSanitizer a case costs tens of times more (each rejected text
// throws): the sanitizer pass draws a tenth of the cases, the Release pass
// all of them.
#if defined(__SANITIZE_ADDRESS__)
constexpr int randomTexts = 20000;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr int randomTexts = 20000;
#else
constexpr int randomTexts = 200000;
#endif
#else
constexpr int randomTexts = 200000;
#endif

TEST(NumberValue, AgreesWithAReferenceOnRandomBytes)
{
    std::mt19937 gen(7u);
    const std::string alphabet = "0123456789,,,.-+e \t\n\xff";
    std::uniform_int_distribution<int> length(0, 24);
    std::uniform_int_distribution<int> anyByte(0, 255);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::uniform_int_distribution<int> mode(0, 9);
    int accepted = 0;
    for (int i = 0; i < randomTexts; ++i) {
        std::string text;
        const int n = length(gen);
        const bool raw = mode(gen) == 0;
        for (int j = 0; j < n; ++j)
            text.push_back(raw ? static_cast<char>(anyByte(gen)) : alphabet[pick(gen)]);
        const auto want = referenceValue(text);
        const auto got = nt::tryNumberValue(text);
        ASSERT_EQ(got.has_value(), want.has_value()) << ::testing::PrintToString(text);
        if (want) {
            ++accepted;
            ASSERT_EQ(*got, *want) << text;
            ASSERT_EQ(nt::numberValue(text), *want) << text;
        } else {
            ASSERT_THROW(nt::numberValue(text), nt::NumberFormatError)
                << ::testing::PrintToString(text);
        }
        // The leading-number reading takes anything.
        const double lenient = nt::leadingNumberValue(text);
        ASSERT_TRUE(lenient >= 0.0) << ::testing::PrintToString(text);
    }
    EXPECT_GT(accepted, randomTexts / 200); // the generator does reach the accepted texts
}

// Whatever singleText and the game's patterns write, the strict reading reads.
TEST(NumberValue, ReadsEveryTextTheGameWrites)
{
    std::mt19937 gen(99u);
    std::uniform_int_distribution<std::uint32_t> bits(0, 0x7F7FFFFFu);
    for (int i = 0; i < 20000; ++i) {
        const float x = std::bit_cast<float>(bits(gen));
        const std::string single = nt::singleText(x);
        ASSERT_TRUE(nt::tryNumberValue(single)) << single;
        for (std::string_view pattern : {"#.#"sv, "#.##"sv, "#.###"sv, "00"sv}) {
            const std::string text = nt::patternText(std::string_view(single), pattern);
            ASSERT_TRUE(nt::tryNumberValue(text)) << single << " " << pattern << " " << text;
        }
    }
}

// ---------------------------------------------------------------------------
// Lenient reading (src/numbervalue.cpp)

class LeadingNumberTable : public ::testing::TestWithParam<ValueCase> {};

TEST_P(LeadingNumberTable, ReadsTheLeadingNumber)
{
    EXPECT_EQ(nt::leadingNumberValue(GetParam().text), GetParam().value)
        << ::testing::PrintToString(GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    All, LeadingNumberTable,
    ::testing::Values(ValueCase{"25,4", 25.0}, ValueCase{"", 0.0}, ValueCase{"7\r\n", 7.0},
                      ValueCase{"7", 7.0}, ValueCase{"123\r\n", 123.0},
                      ValueCase{"  12.5xyz", 12.5}, ValueCase{"\t 3", 3.0}, ValueCase{"abc", 0.0},
                      ValueCase{".", 0.0}, ValueCase{".5", 0.5}, ValueCase{"5.", 5.0},
                      ValueCase{"1.2.3", 1.2}, ValueCase{"1e5", 1.0}, ValueCase{"-5", 0.0},
                      ValueCase{"+5", 0.0}, ValueCase{"5 6", 5.0}, ValueCase{"\r\n7", 0.0},
                      ValueCase{"007", 7.0}, ValueCase{"32767\r\n", 32767.0},
                      ValueCase{std::string("4\0"
                                            "2",
                                            3),
                                4.0},
                      ValueCase{"\xff"
                                "5",
                                0.0},
                      ValueCase{"0.1", 0.1}, ValueCase{"99.999", 99.999},
                      ValueCase{"1" + std::string(400, '0'),
                                std::numeric_limits<double>::infinity()},
                      ValueCase{"0." + std::string(400, '0') + "1", 0.0},
                      ValueCase{"." + std::string(1000, '3'), 1.0 / 3.0}));

TEST(LeadingNumberValue, HugeTextsDoNotHang)
{
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(nt::leadingNumberValue(std::string(4'000'000, '9')),
              std::numeric_limits<double>::infinity());
    EXPECT_EQ(nt::leadingNumberValue("0." + std::string(4'000'000, '0') + "7"), 0.0);
    EXPECT_EQ(nt::leadingNumberValue(std::string(4'000'000, ' ') + "8"), 8.0);
    const double sevens = nt::leadingNumberValue("0." + std::string(4'000'000, '7'));
    EXPECT_EQ(sevens, 7.0 / 9.0);
    const double many =
        nt::leadingNumberValue(std::string(300, '1') + "." + std::string(3'000'000, '1'));
    EXPECT_TRUE(std::isfinite(many));
    EXPECT_GT(many, 1e299);
    // The strict reading copes with the same.
    EXPECT_EQ(nt::numberValue(std::string(4'000'000, '9')),
              std::numeric_limits<double>::infinity());
    EXPECT_EQ(nt::numberValue("0," + std::string(4'000'000, '7')), 7.0 / 9.0);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count(), 5000);
}

// ---------------------------------------------------------------------------
// Whole-number storing (src/wholenumbers.cpp)

struct StoreCase {
    double value;
    std::int16_t whole;
};

void PrintTo(const StoreCase& c, std::ostream* os)
{
    *os << c.value << " -> " << c.whole;
}

class StoreWholeTable : public ::testing::TestWithParam<StoreCase> {};

TEST_P(StoreWholeTable, RoundsToTheNearestWhole)
{
    EXPECT_EQ(nt::storeWhole(GetParam().value), GetParam().whole) << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(
    All, StoreWholeTable,
    ::testing::Values(StoreCase{0.0, 0}, StoreCase{1.0, 1}, StoreCase{2.0, 2}, StoreCase{3.0, 3},
                      StoreCase{-0.0, 0}, StoreCase{32767.0, 32767}, StoreCase{-32768.0, -32768},
                      StoreCase{2.4, 2}, StoreCase{2.6, 3}, StoreCase{-2.6, -3},
                      // Exactly half way: the even neighbour.
                      StoreCase{2.5, 2}, StoreCase{3.5, 4}, StoreCase{-2.5, -2}, StoreCase{0.5, 0},
                      StoreCase{-32768.5, -32768}, StoreCase{32766.5, 32766},
                      StoreCase{0.49999999999999994, 0}));

TEST(StoreWhole, ThrowsOutsideTheRange)
{
    for (double v :
         {32768.0, 32767.5, -32769.0, -32768.6, 1e300, -1e300,
          std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
          std::numeric_limits<double>::quiet_NaN()}) {
        SCOPED_TRACE(v);
        EXPECT_THROW(nt::storeWhole(v), std::overflow_error);
    }
}

} // namespace
