#include "cifrelle/records/recordfiles.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace cifrelle::records {
namespace {

// Counts the code points of valid UTF-8, or -1 when it is not valid.
int codePoints(const std::string& utf8)
{
    int count = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
        if (length == 0 || i + length > utf8.size())
            return -1;
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(utf8[i + k]) & 0xC0) != 0x80)
                return -1;
        }
        i += length;
        ++count;
    }
    return count;
}

struct Pair {
    std::string bytes;
    std::string utf8;
};

class Cp1252Pairs : public ::testing::TestWithParam<Pair> {};

TEST_P(Cp1252Pairs, DecodesAndEncodesBothWays)
{
    EXPECT_EQ(decodeCp1252(GetParam().bytes), GetParam().utf8);
    EXPECT_EQ(encodeCp1252(GetParam().utf8), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Characters, Cp1252Pairs,
    ::testing::Values(Pair{"", ""}, Pair{"Anna", "Anna"}, Pair{"7\r\n", "7\r\n"},
                      Pair{"Nicol\xF2", "Nicolò"}, Pair{"\xE0\xE8\xE9\xEC\xF2\xF9", "àèéìòù"},
                      Pair{"\xC8", "È"}, Pair{"\x80", "€"}, Pair{"\x92", "’"},
                      Pair{"\x8A\x9A", "Šš"}, Pair{"\x9F", "Ÿ"}, Pair{"\x85", "…"},
                      Pair{"\xA0", "\u00A0"}, Pair{"\xFF", "ÿ"},
                      Pair{std::string("a\0b", 3), std::string("a\0b", 3)},
                      // The five bytes the code page leaves undefined.
                      Pair{"\x81", "\u0081"}, Pair{"\x8D", "\u008D"}, Pair{"\x8F", "\u008F"},
                      Pair{"\x90", "\u0090"}, Pair{"\x9D", "\u009D"}));

TEST(Cp1252, EveryByteRoundTripsAsOneDistinctCharacter)
{
    std::set<std::string> seen;
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        const std::string text = decodeCp1252(byte);
        EXPECT_EQ(codePoints(text), 1) << "byte " << b;
        EXPECT_EQ(encodeCp1252(text), byte) << "byte " << b;
        seen.insert(text);
    }
    EXPECT_EQ(seen.size(), 256u);
}

TEST(Cp1252, AllBytesInOneTextRoundTrip)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    const std::string text = decodeCp1252(all);
    EXPECT_EQ(codePoints(text), 256);
    EXPECT_EQ(encodeCp1252(text), all);
}

struct Unrepresentable {
    std::string utf8;
    std::string bytes;
};

class Cp1252Unrepresentable : public ::testing::TestWithParam<Unrepresentable> {};

TEST_P(Cp1252Unrepresentable, BecomesQuestionMark)
{
    EXPECT_EQ(encodeCp1252(GetParam().utf8), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Characters, Cp1252Unrepresentable,
    ::testing::Values(Unrepresentable{"名", "?"}, Unrepresentable{"Zoë 名前", "Zo\xEB ??"},
                      Unrepresentable{"Ω", "?"}, Unrepresentable{"😀", "?"},
                      Unrepresentable{"Łukasz", "?ukasz"},
                      // C1 controls other than the five undefined bytes: 0x80 is €.
                      Unrepresentable{"\u0080", "?"}, Unrepresentable{"\u0085", "?"},
                      // Broken UTF-8.
                      Unrepresentable{"a\xFF" "b", "a?b"}, Unrepresentable{"\x80", "?"},
                      Unrepresentable{"x\xC3", "x?"}, Unrepresentable{"\xE2\x82" "z", "?z"},
                      Unrepresentable{"\xF0\x9F\x98", "?"}));

TEST(Cp1252, InvalidSequencesLeakNothingButQuestionMarks)
{
    for (const std::string bad : {"\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE0\x80\xAF",
                                  "\xF8\x88\x80\x80\x80", "\xFE\xFF"}) {
        const std::string bytes = encodeCp1252(bad);
        EXPECT_FALSE(bytes.empty()) << bad;
        EXPECT_EQ(bytes.find_first_not_of('?'), std::string::npos) << bad;
    }
}

} // namespace
} // namespace cifrelle::records
