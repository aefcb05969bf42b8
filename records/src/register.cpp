// SPDX-License-Identifier: GPL-3.0-or-later
// The teacher's register line: one game as a row of a spreadsheet file.

#include "cifrelle/records/register.h"

#include <cstdio>

namespace cifrelle::records {

namespace {

// Two digits at least: 7 is "07".
std::string twoDigits(int value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

std::string date(const LocalTime& t)
{
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", t.year, t.month, t.day);
    return text;
}

std::string timeOfDay(int hour, int minute, int second)
{
    return twoDigits(hour) + ':' + twoDigits(minute) + ':' + twoDigits(second);
}

std::string_view endingText(GameEnding ending)
{
    switch (ending) {
    case GameEnding::Exit: return "Esci";
    case GameEnding::TimeUp: return "tempo scaduto";
    case GameEnding::WindowClosed: return "finestra chiusa";
    }
    return {};
}

// A name a spreadsheet would run as a formula is written after a "'",
// which keeps it text.
std::string neverAFormula(std::string name)
{
    if (!name.empty() && std::string_view("=+-@\t\r").find(name.front()) != std::string_view::npos)
        name.insert(name.begin(), '\'');
    return name;
}

// A field as a spreadsheet reads it back whole: quoted when it holds the
// separator or a quote, or begins or ends with a blank.
std::string field(std::string text)
{
    const bool quoted = text.find_first_of(";\"") != std::string::npos ||
                        (!text.empty() && (text.front() == ' ' || text.back() == ' '));
    if (!quoted)
        return text;
    std::string result = "\"";
    for (char c : text) {
        if (c == '"')
            result += '"';
        result += c;
    }
    return result + '"';
}

} // namespace

std::string oneLine(std::string_view name)
{
    static constexpr std::string_view breaks[] = {
        "\r\n", "\r", "\n", "\v", "\f", "\xC2\x85", "\xE2\x80\xA8", "\xE2\x80\xA9"};
    std::string line;
    for (std::size_t i = 0; i < name.size();) {
        std::size_t matched = 0;
        for (std::string_view b : breaks) {
            if (!matched && name.substr(i, b.size()) == b)
                matched = b.size(); // the first that matches: CR LF before CR
        }
        line += matched ? ' ' : name[i];
        i += matched ? matched : 1;
    }
    return line;
}

std::string registerLine(const GameSummary& game)
{
    const int played = game.secondsPlayed;
    const std::string fields[] = {
        date(game.ended),
        timeOfDay(game.ended.hour, game.ended.minute, game.ended.second),
        field(neverAFormula(oneLine(game.name))),
        std::to_string(game.right),
        std::to_string(game.wrong),
        std::to_string(game.rightByLevel[0]),
        std::to_string(game.wrongByLevel[0]),
        std::to_string(game.rightByLevel[1]),
        std::to_string(game.wrongByLevel[1]),
        std::to_string(game.rightByLevel[2]),
        std::to_string(game.wrongByLevel[2]),
        timeOfDay(played / 3600, played / 60 % 60, played % 60),
        std::string(endingText(game.ending)),
        game.newRecord ? "sì" : "no",
    };
    std::string line;
    for (const std::string& f : fields) {
        if (!line.empty())
            line += ';';
        line += f;
    }
    return line + "\r\n";
}

} // namespace cifrelle::records
