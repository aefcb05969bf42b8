// SPDX-License-Identifier: GPL-3.0-or-later
// Pupils' names: blanks, case and order, on the UTF-8 text, one character
// at a time.
#include "cifrelle/classsummary/pupilname.h"

namespace cifrelle::classsummary {

namespace {

// The character at `at` and its length in bytes; a byte that begins no
// UTF-8 character is taken alone (and kept as it is).
char32_t decode(std::string_view text, std::size_t at, std::size_t& length)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char b = byte(0);
    length = 1;
    std::size_t n = b >= 0xF0 && b <= 0xF4 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 && b <= 0xDF ? 2 : 1;
    if (b >= 0xF5 || n > text.size() - at)
        n = 1;
    char32_t c = n == 1 ? b : n == 2 ? b & 0x1F : n == 3 ? b & 0x0F : b & 0x07;
    for (std::size_t i = 1; i < n; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return b;
        c = (c << 6) | (byte(i) & 0x3F);
    }
    if (n > 1 && b >= 0x80 && c < (n == 2 ? 0x80u : n == 3 ? 0x800u : 0x10000u))
        return b;
    if (b >= 0x80 && n == 1)
        return 0xFFFFFFFF; // a stray byte
    length = n;
    return c;
}

void encode(char32_t c, std::string& out)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool isBlank(char32_t c)
{
    return c == ' ' || c == '\t' || c == 0xA0;
}

// The small letter of a capital (simple case folding, for the alphabets
// pupils' names are written in).
char32_t small(char32_t c)
{
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return c + 32;
    if (c >= 0x100 && c <= 0x17F) { // Latin Extended-A: pairs
        if (c == 0x130)
            return 'i';
        if (c == 0x178)
            return 0xFF;
        const bool evenPairs = (c < 0x138) || (c >= 0x14A && c < 0x178);
        if (evenPairs && c % 2 == 0)
            return c + 1;
        if (!evenPairs && c != 0x138 && c != 0x149 && c != 0x17F && c % 2 == 1)
            return c + 1;
        return c;
    }
    if ((c >= 0x391 && c <= 0x3A9 && c != 0x3A2) || (c >= 0x410 && c <= 0x42F))
        return c + 32;
    if (c >= 0x400 && c <= 0x40F)
        return c + 80;
    return c;
}

// A Latin letter without its accent, for the order.
char32_t plain(char32_t c)
{
    static constexpr char latin1[] = "aaaaaaaceeeeiiiidnooooo/ouuuuyty"; // from 0xE0
    if (c >= 0xE0 && c <= 0xFF && c != 0xF7)
        return static_cast<unsigned char>(latin1[c - 0xE0]);
    if (c >= 0x100 && c <= 0x17F) {
        static constexpr char extendedA[] =
            "aaaaaaccccccccddddeeeeeeeeeegggggggghhhhiiiiiiiiiiiijjkkkllllllllllnnnnnnnnnoooooooo"
            "rrrrrrssssssssttttttuuuuuuuuuuuuwwyyyzzzzzzs";
        return static_cast<unsigned char>(extendedA[c - 0x100]);
    }
    return c;
}

template <typename Each>
std::string transformed(std::string_view typed, Each each)
{
    std::string out;
    out.reserve(typed.size());
    bool blank = false;
    for (std::size_t at = 0; at < typed.size();) {
        std::size_t length = 1;
        const char32_t c = decode(typed, at, length);
        if (isBlank(c)) {
            blank = true;
        } else {
            if (blank && !out.empty())
                out += ' ';
            blank = false;
            if (c == 0xFFFFFFFF)
                out += typed[at];
            else
                encode(each(c), out);
        }
        at += length;
    }
    return out;
}

} // namespace

std::string shownName(std::string_view typed)
{
    std::string shown = transformed(typed, [](char32_t c) { return c; });
    return shown.empty() ? std::string(noName) : shown;
}

std::string pupilKey(std::string_view typed)
{
    return transformed(typed, small);
}

std::string orderKey(std::string_view key)
{
    return transformed(key, plain) + '\x01' + std::string(key);
}

} // namespace cifrelle::classsummary
