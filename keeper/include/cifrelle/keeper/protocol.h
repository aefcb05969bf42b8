// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the game and the class's keeper (cifrelle-classe) say to each other,
// and nothing else. A message is a row of fields, each
//
//     <key> <length>\n<length bytes>\n
//
// the key in lower-case letters and "-", the length in decimal digits
// without a leading zero. The game asks one of two things, its fields in
// this order and no other:
//
//     ask record     the class record, as the game shows it at start
//     ask end        the end of a game: name, right, wrong, right-by-level,
//                    wrong-by-level, wrong-by-kind, seconds, ending,
//                    save-record follow
//
// The caller gives neither the folder, nor the account, nor the computer,
// nor the time: the keeper takes those from the administrator's setting
// and from the system. Every value has its limits (see parseRequest).
//
// The keeper answers, likewise:
//
//     answer record  then problem (when the record cannot be kept), score
//                    and name (each when it could be read)
//     answer end     then record (saved, not-better, failed, abandoned),
//                    record-problem and register-problem
//     answer refused then why: the request was not one of the above
//
// and ends every answer with "done 0\n\n", so that the game knows it is
// whole before the keeper hangs up.

#include "cifrelle/records/recordfiles.h"
#include "cifrelle/records/register.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace cifrelle::keeper {

// The name box takes at most this many characters (Qt's line edit), and a
// counter of the game stops there.
inline constexpr std::size_t nameLimit = 32767;
inline constexpr int countLimit = 32767;

// "Read the class record".
struct RecordRequest {
    friend bool operator==(const RecordRequest&, const RecordRequest&) = default;
};

// "End a game": of `game`, only what the caller may tell (the name, the
// counts, the time played, the ending); the rest the keeper fills in.
struct EndRequest {
    records::GameSummary game;
    bool saveRecord = false;
};

using Request = std::variant<RecordRequest, EndRequest>;

enum class Reading {
    Incomplete, // the bytes so far begin a request that may still be whole
    Complete,   // a request, all of the bytes (`length`)
    Refused,    // no request begins so, or more follows one: `why`
};

struct ParsedRequest {
    Reading reading = Reading::Incomplete;
    Request request;
    std::size_t length = 0;
    std::string why; // in Italian, for the one who sent it
};

// Reads a request in `bytes`, and nothing after it. Accepted only as the header
// says, with a name of valid UTF-8 of at most nameLimit characters, each
// count from 0 to countLimit, the per-level and per-kind lists with 3 and
// 7 counts, the per-kind ones adding up to the wrong answers, seconds up
// to a whole game's. A field's length above its limit
// is refused before its bytes come.
ParsedRequest parseRequest(std::string_view bytes);
std::string encodeRequest(const Request& request);

// The keeper's answers.
struct RecordAnswer {
    std::optional<std::string> problem; // as RecordFiles::ensure() says it
    std::optional<std::string> score;   // as RecordFiles::read() gives them
    std::optional<std::string> name;
};
struct Refusal {
    std::string why;
};
using Answer = std::variant<RecordAnswer, records::GameEndResult, Refusal>;

std::string encodeAnswer(const Answer& answer);
// Nothing when `bytes` are not one whole answer.
std::optional<Answer> parseAnswer(std::string_view bytes);

// On Windows the keeper is this service, reached at this named pipe.
inline constexpr const wchar_t* windowsService = L"cifrelle-classe";
inline constexpr const wchar_t* windowsPipe = L"\\\\.\\pipe\\cifrelle-classe";

} // namespace cifrelle::keeper
