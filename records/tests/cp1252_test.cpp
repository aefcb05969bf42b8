// SPDX-License-Identifier: GPL-3.0-or-later
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
        std::size_t length = lead < 0x80    ? 1
                             : lead >= 0xF0 ? 4
                             : lead >= 0xE0 ? 3
                             : lead >= 0xC2 ? 2
                                            : 0;
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

TEST(Cp1252, DecodesAndEncodesBothWays)
{
    const std::pair<std::string, std::string> pairs[] = {
        {"", ""},
        {"Anna", "Anna"},
        {"7\r\n", "7\r\n"},
        {"Nicol\xF2", "Nicolò"},
        {"\xE0\xE8\xE9\xEC\xF2\xF9", "àèéìòù"},
        {"\xC8", "È"},
        {"\x80", "€"},
        {"\x92", "’"},
        {"\x8A\x9A", "Šš"},
        {"\x9F", "Ÿ"},
        {"\x85", "…"},
        {"\xA0", "\u00A0"},
        {"\xFF", "ÿ"},
        {std::string("a\0b", 3), std::string("a\0b", 3)},
        // The five bytes the code page leaves undefined.
        {"\x81", "\u0081"},
        {"\x8D", "\u008D"},
        {"\x8F", "\u008F"},
        {"\x90", "\u0090"},
        {"\x9D", "\u009D"}};
    for (const auto& [bytes, utf8] : pairs) {
        EXPECT_EQ(decodeCp1252(bytes), utf8);
        EXPECT_EQ(encodeCp1252(utf8), bytes);
    }
}

TEST(Cp1252, EveryByteRoundTripsAsOneDistinctCharacter)
{
    std::set<std::string> seen;
    std::string all;
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        const std::string text = decodeCp1252(byte);
        EXPECT_EQ(codePoints(text), 1) << "byte " << b;
        EXPECT_EQ(encodeCp1252(text), byte) << "byte " << b;
        seen.insert(text);
        all += byte;
    }
    EXPECT_EQ(seen.size(), 256u);
    // And all of them in one text.
    const std::string text = decodeCp1252(all);
    EXPECT_EQ(codePoints(text), 256);
    EXPECT_EQ(encodeCp1252(text), all);
}

TEST(Cp1252, UnrepresentableCharactersBecomeQuestionMarks)
{
    const std::pair<std::string, std::string> cases[] = {
        {"名", "?"},
        {"Zoë 名前", "Zo\xEB ??"},
        {"Ω", "?"},
        {"😀", "?"},
        {"Łukasz", "?ukasz"},
        // C1 controls other than the five undefined bytes: 0x80 is €.
        {"\u0080", "?"},
        {"\u0085", "?"},
        // Broken UTF-8.
        {"a\xFF"
         "b",
         "a?b"},
        {"\x80", "?"},
        {"x\xC3", "x?"},
        {"\xE2\x82"
         "z",
         "?z"},
        {"\xF0\x9F\x98", "?"}};
    for (const auto& [utf8, bytes] : cases)
        EXPECT_EQ(encodeCp1252(utf8), bytes) << utf8;
}

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
