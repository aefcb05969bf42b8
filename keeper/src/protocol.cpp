// SPDX-License-Identifier: GPL-3.0-or-later
// The messages between the game and the class's keeper (see protocol.h).
// The request reader is the keeper's door: it takes exactly one form of
// each request and refuses anything else, as early as it can.

#include "cifrelle/keeper/protocol.h"

#include "cifrelle/clock/countdown.h"

#include <array>
#include <span>

namespace cifrelle::keeper {

namespace {

using records::GameEnding;
using records::SaveOutcome;

constexpr std::size_t lengthDigits = 7;
// A count is at most five digits; a list of seven, with its blanks, 41.
constexpr std::size_t countField = 5;
constexpr std::size_t listField = 7 * (countField + 1);
// What the keeper may answer: two record files read in full, decoded.
constexpr std::size_t answerField = 4 * records::readLimit;

constexpr std::string_view endingWords[] = {"exit", "time-up", "window-closed", "session-closed"};
constexpr std::string_view outcomeWords[] = {"not-better", "saved", "failed", "abandoned"};

std::string field(std::string_view key, std::string_view value)
{
    return std::string(key) + ' ' + std::to_string(value.size()) + '\n' + std::string(value) + '\n';
}

// Reads the field `key` at `at`, moving `at` past it.
Reading readField(std::string_view bytes, std::size_t& at, std::string_view key, std::size_t limit,
                  std::string_view& value)
{
    std::string_view rest = bytes.substr(at);
    const std::string head = std::string(key) + ' ';
    if (rest.size() < head.size())
        return std::string_view(head).starts_with(rest) ? Reading::Incomplete : Reading::Refused;
    if (!rest.starts_with(head))
        return Reading::Refused;
    rest.remove_prefix(head.size());
    std::size_t digits = 0;
    std::size_t length = 0;
    for (; digits < rest.size() && rest[digits] != '\n'; ++digits) {
        const char c = rest[digits];
        if (c < '0' || c > '9' || (digits == 1 && rest[0] == '0') || digits == lengthDigits)
            return Reading::Refused;
        length = length * 10 + static_cast<std::size_t>(c - '0');
        if (length > limit)
            return Reading::Refused;
    }
    if (digits == rest.size())
        return Reading::Incomplete;
    if (digits == 0)
        return Reading::Refused;
    rest.remove_prefix(digits + 1);
    if (rest.size() <= length)
        return Reading::Incomplete;
    if (rest[length] != '\n')
        return Reading::Refused;
    value = rest.substr(0, length);
    at += head.size() + digits + 1 + length + 1;
    return Reading::Complete;
}

// 0 to countLimit, digits only, no leading zero.
bool readCount(std::string_view text, int& count)
{
    if (text.empty() || text.size() > countField || (text.size() > 1 && text[0] == '0'))
        return false;
    count = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        count = count * 10 + (c - '0');
    }
    return count <= countLimit;
}

// Counts separated by one blank, exactly as many as `counts` holds.
bool readCounts(std::string_view text, std::span<int> counts)
{
    for (std::size_t i = 0; i < counts.size(); ++i) {
        const std::size_t blank = i + 1 < counts.size() ? text.find(' ') : text.size();
        if (blank == std::string_view::npos || !readCount(text.substr(0, blank), counts[i]))
            return false;
        text.remove_prefix(blank + (i + 1 < counts.size()));
    }
    return true;
}

std::string countsText(std::span<const int> counts)
{
    std::string text;
    for (const int count : counts)
        text += (text.empty() ? "" : " ") + std::to_string(count);
    return text;
}

// Valid UTF-8 (no overlong form, no surrogate, nothing past U+10FFFF) of at
// most nameLimit characters.
bool validName(std::string_view text)
{
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++characters) {
        const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
        const unsigned lead = byte(i);
        const std::size_t size = lead < 0x80                   ? 1
                                 : lead >= 0xC2 && lead < 0xE0 ? 2
                                 : lead >= 0xE0 && lead < 0xF0 ? 3
                                 : lead >= 0xF0 && lead < 0xF5 ? 4
                                                               : 0;
        if (size == 0 || i + size > text.size())
            return false;
        for (std::size_t k = 1; k < size; ++k) {
            if ((byte(i + k) & 0xC0) != 0x80)
                return false;
        }
        const unsigned second = size > 1 ? byte(i + 1) : 0x80;
        if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) ||
            (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second >= 0x90))
            return false;
        i += size;
    }
    return characters <= nameLimit;
}

template <std::size_t N>
bool readWord(std::string_view text, const std::string_view (&words)[N], int& index)
{
    for (std::size_t i = 0; i < N; ++i) {
        if (text == words[i]) {
            index = static_cast<int>(i);
            return true;
        }
    }
    return false;
}

// The fields of an end request after "ask end", from `at`.
ParsedRequest readEnd(std::string_view bytes, std::size_t at)
{
    ParsedRequest parsed;
    EndRequest end;
    records::GameSummary& g = end.game;
    int ending = 0;
    int save = 0;
    std::string_view v;
    // The next field, whole and valid as `valid` says of its value `v`.
    const auto take = [&](std::string_view key, std::size_t limit, const auto& valid) {
        parsed.reading = readField(bytes, at, key, limit, v);
        if (parsed.reading == Reading::Complete && !valid())
            parsed.reading = Reading::Refused;
        if (parsed.reading == Reading::Refused)
            parsed.why = "il campo " + std::string(key) + " della richiesta non è valido";
        return parsed.reading == Reading::Complete;
    };
    constexpr std::string_view answers[] = {"no", "yes"};
    const bool whole =
        take("name", 4 * nameLimit, [&] { return validName(g.name = v); }) &&
        take("right", countField, [&] { return readCount(v, g.right); }) &&
        take("wrong", countField, [&] { return readCount(v, g.wrong); }) &&
        take("right-by-level", listField, [&] { return readCounts(v, g.rightByLevel); }) &&
        take("wrong-by-level", listField, [&] { return readCounts(v, g.wrongByLevel); }) &&
        take("wrong-by-kind", listField, [&] { return readCounts(v, g.wrongByKind); }) &&
        take("seconds", countField,
             [&] {
                 return readCount(v, g.secondsPlayed) && g.secondsPlayed <= clock::gameSeconds;
             }) &&
        take("ending", 16, [&] { return readWord(v, endingWords, ending); }) &&
        take("save-record", 3, [&] { return readWord(v, answers, save); });
    if (!whole)
        return parsed;
    // Every wrong answer has one kind: a game's kinds add up to its wrong.
    int kinds = 0;
    for (const int count : g.wrongByKind)
        kinds += count;
    if (kinds != g.wrong) {
        parsed.reading = Reading::Refused;
        parsed.why = "i tipi di errore della richiesta non danno le risposte errate";
        return parsed;
    }
    g.ending = static_cast<GameEnding>(ending);
    end.saveRecord = save == 1;
    parsed.request = std::move(end);
    parsed.length = at;
    return parsed;
}

} // namespace

ParsedRequest parseRequest(std::string_view bytes)
{
    ParsedRequest parsed;
    std::size_t at = 0;
    std::string_view ask;
    parsed.reading = readField(bytes, at, "ask", 6, ask);
    if (parsed.reading == Reading::Complete && ask == "end") {
        parsed = readEnd(bytes, at);
    } else if (parsed.reading == Reading::Complete && ask == "record") {
        parsed.length = at;
    } else if (parsed.reading != Reading::Incomplete) {
        parsed.reading = Reading::Refused;
        parsed.why = "la richiesta non è né di leggere il record né di finire una partita";
    }
    if (parsed.reading == Reading::Complete && parsed.length != bytes.size()) {
        parsed.reading = Reading::Refused;
        parsed.why = "la richiesta è seguita da altro";
    }
    return parsed;
}

std::string encodeRequest(const Request& request)
{
    const auto* end = std::get_if<EndRequest>(&request);
    if (!end)
        return field("ask", "record");
    const records::GameSummary& game = end->game;
    return field("ask", "end") + field("name", game.name) +
           field("right", std::to_string(game.right)) + field("wrong", std::to_string(game.wrong)) +
           field("right-by-level", countsText(game.rightByLevel)) +
           field("wrong-by-level", countsText(game.wrongByLevel)) +
           field("wrong-by-kind", countsText(game.wrongByKind)) +
           field("seconds", std::to_string(game.secondsPlayed)) +
           field("ending", endingWords[static_cast<int>(game.ending)]) +
           field("save-record", end->saveRecord ? "yes" : "no");
}

std::string encodeAnswer(const Answer& answer)
{
    std::string text;
    if (const auto* record = std::get_if<RecordAnswer>(&answer)) {
        text = field("answer", "record");
        for (const auto& [key, value] :
             {std::pair{"problem", &record->problem}, std::pair{"score", &record->score},
              std::pair{"name", &record->name}}) {
            if (*value)
                text += field(key, **value);
        }
    } else if (const auto* end = std::get_if<records::GameEndResult>(&answer)) {
        text = field("answer", "end") +
               field("record", outcomeWords[static_cast<int>(end->record.outcome)]) +
               field("record-problem", end->record.problem) +
               field("register-problem", end->registerProblem);
    } else {
        text = field("answer", "refused") + field("why", std::get<Refusal>(answer).why);
    }
    return text + field("done", "");
}

std::optional<Answer> parseAnswer(std::string_view bytes)
{
    std::size_t at = 0;
    std::string_view kind;
    std::string_view value;
    if (readField(bytes, at, "answer", 8, kind) != Reading::Complete)
        return std::nullopt;
    const auto next = [&](std::string_view key) -> std::optional<std::string> {
        if (readField(bytes, at, key, answerField, value) != Reading::Complete)
            return std::nullopt;
        return std::string(value);
    };
    std::optional<Answer> answer;
    if (kind == "record") {
        RecordAnswer record;
        record.problem = next("problem");
        record.score = next("score");
        record.name = next("name");
        answer = std::move(record);
    } else if (kind == "end") {
        records::GameEndResult end{{SaveOutcome::NotBetter, {}}, {}};
        int outcome = 0;
        const auto word = next("record");
        const auto recordProblem = next("record-problem");
        const auto registerProblem = next("register-problem");
        if (!word || !readWord(*word, outcomeWords, outcome) || !recordProblem || !registerProblem)
            return std::nullopt;
        end.record = {static_cast<SaveOutcome>(outcome), *recordProblem};
        end.registerProblem = *registerProblem;
        answer = end;
    } else if (kind == "refused") {
        const auto why = next("why");
        if (!why)
            return std::nullopt;
        answer = Refusal{*why};
    }
    const auto done = next("done");
    if (!done || !done->empty() || at != bytes.size())
        return std::nullopt;
    return answer;
}

} // namespace cifrelle::keeper
