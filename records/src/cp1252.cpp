// SPDX-License-Identifier: GPL-3.0-or-later
// Windows-1252, the 8-bit code page of the record files, to and from UTF-8.
//
// The table is our own so that the result never depends on the machine's
// conversion libraries. The five bytes that Windows-1252 leaves undefined
// (81, 8D, 8F, 90, 9D) are read as the control characters with the same
// number, as Windows itself does, and written back as those bytes: every
// byte read from a file is written back unchanged.

#include "cifrelle/records/recordfiles.h"

#include <array>
#include <cstdint>

namespace cifrelle::records {

namespace {

// Code points of the bytes 0x80 to 0x9F; the rest of the code page is
// Latin-1, byte value equals code point.
constexpr std::array<char32_t, 32> highControls{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98-9F
};

char32_t codePointOf(unsigned char byte)
{
    if (byte >= 0x80 && byte <= 0x9F)
        return highControls[byte - 0x80];
    return byte;
}

// The byte for a code point, or '?' when the code page has none.
char byteOf(char32_t cp)
{
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return static_cast<char>(cp);
    for (std::size_t i = 0; i < highControls.size(); ++i) {
        if (highControls[i] == cp)
            return static_cast<char>(0x80 + i);
    }
    return '?';
}

void appendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool isContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// Reads one UTF-8 sequence at `pos`. On success returns the code point and
// moves `pos` past it; on an invalid sequence returns nothing and moves
// `pos` past the longest invalid start (at least one byte), so that each
// broken sequence becomes one '?'.
std::optional<char32_t> nextCodePoint(std::string_view s, std::size_t& pos)
{
    const auto lead = static_cast<unsigned char>(s[pos]);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    std::size_t length = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        cp = lead & 0x1F;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        cp = lead & 0x0F;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        cp = lead & 0x07;
        minimum = 0x10000;
    } else {
        ++pos; // a stray continuation byte or a lead byte never used
        return std::nullopt;
    }
    std::size_t i = 1;
    for (; i < length; ++i) {
        if (pos + i >= s.size() || !isContinuation(static_cast<unsigned char>(s[pos + i])))
            break;
        cp = (cp << 6) | (static_cast<unsigned char>(s[pos + i]) & 0x3F);
    }
    if (i < length) {
        pos += i; // truncated sequence
        return std::nullopt;
    }
    pos += length;
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return std::nullopt; // over-long form, beyond Unicode, or a surrogate
    return cp;
}

} // namespace

std::string decodeCp1252(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (char c : bytes)
        appendUtf8(out, codePointOf(static_cast<unsigned char>(c)));
    return out;
}

std::string encodeCp1252(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const std::optional<char32_t> cp = nextCodePoint(utf8, pos);
        out += cp ? byteOf(*cp) : '?';
    }
    return out;
}

} // namespace cifrelle::records
