// SPDX-License-Identifier: GPL-3.0-or-later
#include "cifrelle/keeper/keeperclient.h"
#include "cifrelle/keeper/protocol.h"
#include "cifrelle/testsupport/files.h"

#include "fileops.h"
#include "keeper.h"

#include <gtest/gtest.h>

#include <chrono>

namespace cifrelle::keeper {
namespace {

using records::GameEnding;
using records::SaveOutcome;
using testsupport::readBytes;
using testsupport::TempDir;
using testsupport::writeBytes;
namespace fs = std::filesystem;

std::string field(std::string_view key, std::string_view value)
{
    return std::string(key) + ' ' + std::to_string(value.size()) + '\n' + std::string(value) + '\n';
}

EndRequest aGame()
{
    EndRequest end;
    end.game.name = "Nicolò «3B»";
    end.game.right = 12;
    end.game.wrong = 3;
    end.game.rightByLevel = {5, 4, 3};
    end.game.wrongByLevel = {0, 1, 2};
    end.game.wrongByKind = {1, 0, 0, 1, 0, 1, 0};
    end.game.secondsPlayed = 900;
    end.game.ending = GameEnding::TimeUp;
    end.saveRecord = true;
    return end;
}

// The game's end request with one field's value replaced.
std::string endWith(std::string_view key, std::string_view value)
{
    std::string request = encodeRequest(aGame());
    const std::size_t at = request.find('\n' + std::string(key) + ' ') + 1;
    const std::size_t end = request.find('\n', request.find('\n', at) + 1) + 1;
    return request.replace(at, end - at, field(key, value));
}

// What the game writes is read back as it was, and nothing of it before
// its last byte is taken for a whole request.
TEST(KeeperRequest, WhatTheGameWritesIsReadBackWhole)
{
    for (const Request& request : {Request{RecordRequest{}}, Request{aGame()}}) {
        const std::string bytes = encodeRequest(request);
        const ParsedRequest parsed = parseRequest(bytes);
        ASSERT_EQ(parsed.reading, Reading::Complete);
        EXPECT_EQ(parsed.length, bytes.size());
        EXPECT_EQ(encodeRequest(parsed.request), bytes);
        for (std::size_t cut = 0; cut < bytes.size(); ++cut)
            EXPECT_EQ(parseRequest(bytes.substr(0, cut)).reading, Reading::Incomplete) << cut;
    }
    const ParsedRequest game = parseRequest(encodeRequest(aGame()));
    const auto* end = std::get_if<EndRequest>(&game.request);
    ASSERT_NE(end, nullptr);
    EXPECT_EQ(end->game.name, "Nicolò «3B»");
    EXPECT_EQ(end->game.wrongByKind, aGame().game.wrongByKind);
    EXPECT_EQ(end->game.ending, GameEnding::TimeUp);
}

// Anything else is refused, as soon as it shows.
TEST(KeeperRequest, AnythingElseIsRefused)
{
    const std::string longestName(nameLimit, 'a');
    EXPECT_EQ(parseRequest(endWith("name", longestName)).reading, Reading::Complete);
    const std::string declaredTooLong =
        "ask 3\nend\nname " + std::to_string(4 * nameLimit + 1) + "\n";
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"garbage", "\x7f"
                    "ELF\x02\x01"},
        {"another question", field("ask", "delete")},
        {"a folder named", field("folder", "/tmp/x") + field("ask", "end")},
        {"a folder among the fields", endWith("right", "1\nfolder 6\n/tmp/x")},
        {"an account claimed", endWith("name", "x") + field("account", "teacher")},
        {"a name too long", endWith("name", longestName + "b")},
        {"a name said too long before it comes", declaredTooLong},
        {"a name not UTF-8", endWith("name", "Nicol\xf2")},
        {"a surrogate in the name", endWith("name", "\xed\xa0\x80")},
        {"an overlong character", endWith("name", "\xc0\xaf")},
        {"a count past the counters'", endWith("right", "32768")},
        {"a negative count", endWith("wrong", "-1")},
        {"a count with a leading zero", endWith("wrong", "07")},
        {"two levels only", endWith("right-by-level", "1 2")},
        {"four levels", endWith("wrong-by-level", "1 2 3 4")},
        {"two blanks", endWith("wrong-by-kind", "1  0 0 1 0 1 0")},
        {"kinds not adding up to the wrong", endWith("wrong-by-kind", "1 0 0 1 0 1 1")},
        {"more than fifteen minutes", endWith("seconds", "901")},
        {"an ending not known", endWith("ending", "crash")},
        {"save-record neither yes nor no", endWith("save-record", "1")},
        {"a length with a leading zero", "ask 06\nrecord\n"},
        {"a value without its line end", "ask 6\nrecordX"},
        {"a key in capitals", "ASK 6\nrecord\n"},
    };
    for (const auto& c : cases) {
        const ParsedRequest parsed = parseRequest(c.bytes);
        EXPECT_EQ(parsed.reading, Reading::Refused) << c.what;
        EXPECT_FALSE(parsed.why.empty()) << c.what;
    }
}

TEST(KeeperAnswer, EachKindIsReadBackAndNothingElse)
{
    const Answer answers[] = {
        RecordAnswer{std::nullopt, "12\r\n", "Anna\r\n"},
        RecordAnswer{"Il record non potrà essere conservato: x.", std::nullopt, std::nullopt},
        records::GameEndResult{{SaveOutcome::Failed, "Il record non è stato salvato: x."}, "y"},
        Refusal{"la richiesta è incompleta"},
    };
    for (const Answer& answer : answers) {
        const std::string bytes = encodeAnswer(answer);
        const std::optional<Answer> read = parseAnswer(bytes);
        ASSERT_TRUE(read);
        EXPECT_EQ(encodeAnswer(*read), bytes);
        EXPECT_FALSE(parseAnswer(bytes + "x"));
        EXPECT_FALSE(parseAnswer(bytes.substr(0, bytes.size() - 1)));
    }
}

// The account, the computer and the time are the keeper's, the rest the
// game's.
TEST(Keeper, TheLineNamesTheAccountTheSystemGives)
{
    TempDir tmp;
    const records::RecordFolder setting{tmp.path(), {}, "l'impostazione", true, true};
    const Caller caller{"anna", "aula-3", {2026, 12, 8, 10, 41, 7}, [] { return true; }};
    const Answer start = answer(RecordRequest{}, setting, caller);
    ASSERT_TRUE(std::holds_alternative<RecordAnswer>(start));
    EXPECT_EQ(std::get<RecordAnswer>(start).problem, std::nullopt);
    EXPECT_EQ(std::get<RecordAnswer>(start).score, "");

    const Answer end = answer(aGame(), setting, caller);
    ASSERT_TRUE(std::holds_alternative<records::GameEndResult>(end));
    EXPECT_EQ(std::get<records::GameEndResult>(end).record.outcome, SaveOutcome::Saved);
    records::GameSummary line = aGame().game;
    line.account = "anna";
    line.computer = "aula-3";
    line.ended = caller.now;
    line.newRecord = true;
    EXPECT_EQ(readBytes(tmp.path() / records::registerFileName),
              records::registerHeading() + records::registerLine(line));
}

// While another game saves, the keeper waits only as long as its caller
// does, and writes nothing once the caller has gone.
TEST(Keeper, ACallerGoneIsNotWaitedFor)
{
    TempDir tmp;
    const records::RecordFolder setting{tmp.path(), {}, "l'impostazione", true, true};
    int asked = 0;
    const Caller caller{"anna", "aula-3", {}, [&] { return ++asked < 3; }};
    ASSERT_EQ(std::get<RecordAnswer>(answer(RecordRequest{}, setting, caller)).problem,
              std::nullopt);
    records::fileops::Folder folder;
    ASSERT_FALSE(folder.open(tmp.path()));
    records::fileops::Lock lock(folder);
    records::fileops::Fault fault;
    ASSERT_TRUE(!lock.open(records::lockFileName) && lock.tryTake(fault));
    const Answer end = answer(aGame(), setting, caller);
    EXPECT_EQ(std::get<records::GameEndResult>(end).record.outcome, SaveOutcome::Abandoned);
    EXPECT_EQ(asked, 3);
    EXPECT_EQ(readBytes(tmp.path() / records::scoreFileName), "");
    EXPECT_FALSE(fs::exists(tmp.path() / records::registerFileName));
}

// A keeper that cannot be started is told in the record layer's words,
// and a wait given up is given up.
TEST(KeeperClient, AKeeperThatDoesNotAnswerIsTold)
{
    const records::RecordFolder setting{"/srv/classe", {}, "l'impostazione", true, true};
    KeeperClient missing(setting, {"/nonexistent/cifrelle-classe"});
    const std::string opening = "Il record non potrà essere conservato: ";
    const std::optional<std::string> start = missing.ensure();
    ASSERT_TRUE(start && start->starts_with(opening));
    const std::string why = start->substr(opening.size());
    const records::GameEndResult end = missing.endGame(aGame().game, true, {});
    EXPECT_EQ(end.record.problem, "Il record non è stato salvato: " + why);
    EXPECT_EQ(end.registerProblem,
              "La partita non è stata scritta nel registro dell'insegnante: " + why);

#ifndef _WIN32
    EXPECT_EQ(why, "non riesco ad avviare il custode del record della classe "
                   "«/nonexistent/cifrelle-classe» (non esiste).");
    // Installed, the keeper is in the package's private folder; in a build
    // tree beside the game.
    TempDir tree;
    fs::create_directories(tree / "libexec" / "cifrelle");
    writeBytes(tree / "libexec" / "cifrelle" / "cifrelle-classe", "");
    EXPECT_EQ(installedKeeper(tree / "bin" / "cifrelle"),
              KeeperCommand{(tree / "libexec" / "cifrelle" / "cifrelle-classe").string()});
    EXPECT_EQ(installedKeeper(tree / "build" / "app" / "cifrelle"),
              KeeperCommand{(tree / "build" / "app" / "cifrelle-classe").string()});

    KeeperClient silent(setting, {"/bin/sleep", "3"});
    const auto began = std::chrono::steady_clock::now();
    const records::GameEndResult left = silent.endGame(
        aGame().game, true, [](std::chrono::milliseconds waited) { return waited.count() < 100; });
    EXPECT_EQ(left.record.outcome, SaveOutcome::Abandoned);
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(1));
#endif
}

// Unguarded, or with no folder, the keeper writes nothing anywhere.
TEST(Keeper, OnlyAGuardedChosenFolderIsKept)
{
    TempDir tmp;
    const Caller caller{"anna", "aula-3", {}, [] { return true; }};
    for (const records::RecordFolder& setting :
         {records::RecordFolder{tmp.path(), {}, "l'impostazione", true, false},
          records::RecordFolder{{}, {}, "l'impostazione", true, true},
          records::RecordFolder{tmp.path(), {}, {}, true, false}}) {
        const Answer start = answer(RecordRequest{}, setting, caller);
        EXPECT_TRUE(std::get<RecordAnswer>(start).problem);
        EXPECT_NE(std::get<records::GameEndResult>(answer(aGame(), setting, caller)).record.outcome,
                  SaveOutcome::Saved);
        EXPECT_TRUE(fs::is_empty(tmp.path()));
    }
}

} // namespace
} // namespace cifrelle::keeper
