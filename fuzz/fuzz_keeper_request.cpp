// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target for the class's keeper's door: its request reader, and the
// game's reader of the keeper's answers, with any bytes.
//
// Checked: a request the reader accepts is all the bytes it is given, and
// exactly what the game writes for it (written again, the same bytes),
// within its limits (a name of valid UTF-8 of at most the name box's
// length, counts up to the counters' limit, the wrong answers' kinds
// adding up to their count, a whole game's seconds at most), and none of
// it before its last byte is whole; a refusal says why. An answer read back is written again as the
// same bytes.

#include "cifrelle/clock/countdown.h"
#include "cifrelle/keeper/protocol.h"

#include "check.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace keeper = cifrelle::keeper;

namespace {

bool withinLimits(const cifrelle::records::GameSummary& game)
{
    const auto counted = [](int count) { return count >= 0 && count <= keeper::countLimit; };
    bool ok = counted(game.right) && counted(game.wrong) && game.secondsPlayed >= 0 &&
              game.secondsPlayed <= cifrelle::clock::gameSeconds;
    for (int count : game.rightByLevel)
        ok = ok && counted(count);
    for (int count : game.wrongByLevel)
        ok = ok && counted(count);
    int kinds = 0;
    for (int count : game.wrongByKind)
        ok = ok && counted(count) && (kinds += count) >= 0;
    ok = ok && kinds == game.wrong;
    std::size_t characters = 0;
    for (unsigned char c : game.name)
        characters += (c & 0xC0) != 0x80;
    return ok && characters <= keeper::nameLimit;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const keeper::ParsedRequest parsed = keeper::parseRequest(bytes);
    switch (parsed.reading) {
    case keeper::Reading::Complete: {
        FUZZ_CHECK(parsed.length > 0 && parsed.length == size);
        FUZZ_CHECK(keeper::encodeRequest(parsed.request) == bytes);
        FUZZ_CHECK(keeper::parseRequest(bytes.substr(0, size - 1)).reading ==
                   keeper::Reading::Incomplete);
        if (const auto* end = std::get_if<keeper::EndRequest>(&parsed.request))
            FUZZ_CHECK(withinLimits(end->game));
        break;
    }
    case keeper::Reading::Refused: FUZZ_CHECK(!parsed.why.empty()); break;
    case keeper::Reading::Incomplete: break;
    }
    if (const auto answer = keeper::parseAnswer(bytes))
        FUZZ_CHECK(keeper::encodeAnswer(*answer) == bytes);
    return 0;
}
