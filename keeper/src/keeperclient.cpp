// SPDX-License-Identifier: GPL-3.0-or-later
// The game's side of the class's keeper (keeperclient.h). When the keeper
// cannot be asked, the record layer words why, as for a folder that cannot
// be used: a RecordFiles told the problem says it and touches no file.

#include "cifrelle/keeper/keeperclient.h"

#include "cifrelle/keeper/protocol.h"

#include "channel.h"

#include <algorithm>

namespace cifrelle::keeper {

namespace {

// Why the exchange gave no answer of the kind asked, in words for a message.
std::string whyNot(const Exchange& exchange, const std::optional<Answer>& answer)
{
    if (!exchange.problem.empty())
        return exchange.problem;
    if (const auto* refusal = answer ? std::get_if<Refusal>(&*answer) : nullptr)
        return "il custode del record della classe ha rifiutato la richiesta: " + refusal->why;
    return "il custode del record della classe si è fermato senza rispondere";
}

records::RecordFiles unusable(records::RecordFolder folder, std::string problem)
{
    folder.problem = std::move(problem);
    return records::RecordFiles(std::move(folder));
}

} // namespace

KeeperClient::KeeperClient(records::RecordFolder folder, KeeperCommand command)
    : folder_(std::move(folder)), command_(std::move(command))
{
}

std::filesystem::path KeeperClient::scorePath() const
{
    return folder_.path / records::scoreFileName;
}

std::filesystem::path KeeperClient::namePath() const
{
    return folder_.path / records::nameFileName;
}

std::filesystem::path KeeperClient::registerPath() const
{
    return folder_.path / records::registerFileName;
}

std::optional<std::string> KeeperClient::ensure()
{
    score_ = name_ = std::nullopt;
    const Exchange exchange = keeper::exchange(command_, encodeRequest(RecordRequest{}), {});
    const std::optional<Answer> answer =
        exchange.problem.empty() ? parseAnswer(exchange.answer) : std::nullopt;
    if (const auto* record = answer ? std::get_if<RecordAnswer>(&*answer) : nullptr) {
        score_ = record->score;
        name_ = record->name;
        return record->problem;
    }
    return unusable(folder_, whyNot(exchange, answer)).ensure();
}

std::optional<std::string> KeeperClient::read(const std::filesystem::path& path) const
{
    return path == scorePath() ? score_ : path == namePath() ? name_ : std::nullopt;
}

records::GameEndResult KeeperClient::endGame(records::GameSummary game, bool saveRecord,
                                             const records::StillWaiting& stillWaiting)
{
    // The keeper takes counts up to the game's counters' limit: those kept
    // per level and per kind do not stop there by themselves.
    for (int* count : {&game.right, &game.wrong})
        *count = std::min(*count, countLimit);
    for (int& count : game.rightByLevel)
        count = std::min(count, countLimit);
    for (int& count : game.wrongByLevel)
        count = std::min(count, countLimit);
    for (int& count : game.wrongByKind)
        count = std::min(count, countLimit);
    const records::GameSummary asked = game;
    const Exchange exchange = keeper::exchange(
        command_, encodeRequest(EndRequest{std::move(game), saveRecord}), stillWaiting);
    const std::optional<Answer> answer =
        exchange.problem.empty() ? parseAnswer(exchange.answer) : std::nullopt;
    if (const auto* end = answer ? std::get_if<records::GameEndResult>(&*answer) : nullptr)
        return *end;
    if (exchange.gaveUp)
        return {{records::SaveOutcome::Abandoned, {}}, {}};
    return unusable(folder_, whyNot(exchange, answer)).endGame(asked, saveRecord);
}

} // namespace cifrelle::keeper
