// SPDX-License-Identifier: GPL-3.0-or-later
// The class's games, read into sums per pupil, day and account-and-computer.
// For each game the reader hands on:
//
//   1. its line's hash, looked up among the lines of the earlier files: a
//      line met there is not counted again;
//   2. its name, looked up among the names typed so far (each typing once
//      made into a pupil's key), which gives the pupil;
//   3. its account and computer, made into one origin number;
//   4. its counts, added to the sums of its pupil, day and origin.
#include "cifrelle/classsummary/classrecords.h"

#include "cifrelle/classsummary/pupilname.h"

#include <algorithm>
#include <tuple>
#include <unordered_map>

namespace cifrelle::classsummary {

namespace {

// The hashes of the lines read: those of the file under way in the order
// read (appended, never looked up: within a file every line counts), and
// those of the earlier files in a set, open addressing at most half full,
// made when the next file begins.
class SeenLines {
public:
    void nextFile()
    {
        if (2 * (used_ + current_.size()) > slots_.size())
            grow(used_ + current_.size());
        for (std::uint64_t hash : current_)
            insert(hash);
        current_.clear();
    }
    // Whether an earlier file had the line; the line is the current file's.
    bool metBefore(std::uint64_t hash)
    {
        hash |= hash == 0; // 0 marks a free slot
        current_.push_back(hash);
        if (used_ == 0)
            return false;
        for (std::size_t at = slot(hash); slots_[at] != 0; at = (at + 1) & (slots_.size() - 1)) {
            if (slots_[at] == hash)
                return true;
        }
        return false;
    }

private:
    std::size_t slot(std::uint64_t hash) const
    {
        return static_cast<std::size_t>(hash ^ (hash >> 32)) & (slots_.size() - 1);
    }
    void insert(std::uint64_t hash)
    {
        std::size_t at = slot(hash);
        for (; slots_[at] != 0; at = (at + 1) & (slots_.size() - 1)) {
            if (slots_[at] == hash)
                return;
        }
        slots_[at] = hash;
        ++used_;
    }
    void grow(std::size_t wanted)
    {
        std::size_t size = 1024;
        while (size < 2 * wanted)
            size *= 2;
        std::vector<std::uint64_t> old(size);
        std::swap(old, slots_);
        used_ = 0;
        for (std::uint64_t hash : old) {
            if (hash != 0)
                insert(hash);
        }
    }
    std::vector<std::uint64_t> slots_;
    std::vector<std::uint64_t> current_;
    std::size_t used_ = 0;
};

struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const
    {
        return static_cast<std::size_t>(records::lineHash(text));
    }
};
template <typename Value>
using TextMap = std::unordered_map<std::string, Value, TextHash, std::equal_to<>>;

struct TallyKey {
    std::uint32_t pupil;
    std::uint32_t origin;
    int day;
    friend bool operator==(const TallyKey&, const TallyKey&) = default;
};
struct TallyKeyHash {
    std::size_t operator()(const TallyKey& k) const
    {
        const std::uint64_t bits =
            (std::uint64_t{k.pupil} << 32 | k.origin) * 0x9E3779B97F4A7C15ull;
        return static_cast<std::size_t>(bits ^ (bits >> 29) ^ static_cast<std::uint32_t>(k.day));
    }
};

// Where the table has the columns the sums need.
struct Columns {
    std::array<int, mistakeKinds> kinds{};
    int account = -1;
    int computer = -1;
    Columns()
    {
        const auto table = records::registerColumns();
        for (std::size_t i = 0; i < table.size(); ++i) {
            for (int k = 0; k < mistakeKinds; ++k) {
                if (table[i].heading ==
                    "errori " + std::string(records::mistakeName(records::Mistake(k))))
                    kinds[k] = static_cast<int>(i);
            }
            if (table[i].heading == "utente")
                account = static_cast<int>(i);
            if (table[i].heading == "computer")
                computer = static_cast<int>(i);
        }
    }
};

const Columns& columns()
{
    static const Columns c;
    return c;
}

} // namespace

struct ClassRecords::Index {
    SeenLines seen;
    struct Typed {
        std::uint32_t pupil;
        std::uint32_t typing; // index in `typings`
    };
    TextMap<Typed> names;                   // each name as typed
    std::vector<std::string> typings;       // shownName() of each
    std::vector<std::uint32_t> shownTyping; // per pupil
    TextMap<std::uint32_t> keys;            // pupilKey() to pupil
    TextMap<std::uint32_t> origins;         // account NUL computer
    std::string originText;
    std::unordered_map<TallyKey, std::uint32_t, TallyKeyHash> tallies;
    std::vector<std::uint32_t> lastTally; // per pupil, the tally it last added to
};

ClassRecords::ClassRecords() : index_(std::make_unique<Index>())
{
    origins_.push_back({});
    index_->origins.emplace(std::string(1, '\0'), 0);
}
ClassRecords::ClassRecords(ClassRecords&&) noexcept = default;
ClassRecords& ClassRecords::operator=(ClassRecords&&) noexcept = default;
ClassRecords::~ClassRecords() = default;

const RegisterFile& ClassRecords::read(const std::filesystem::path& path)
{
    beginFile(path);
    endFile(records::readRegister(path, [this](const records::RegisterEntry& e) { add(e); }));
    return files_.back();
}

void ClassRecords::beginFile(std::filesystem::path path)
{
    index_->seen.nextFile();
    files_.push_back({std::move(path), {}, 0});
}

void ClassRecords::endFile(const records::RegisterReading& reading)
{
    files_.back().reading = reading;
}

std::optional<std::uint32_t> ClassRecords::pupilOf(std::string_view typed) const
{
    if (const auto found = index_->names.find(typed); found != index_->names.end())
        return found->second.pupil;
    if (const auto found = index_->keys.find(pupilKey(typed)); found != index_->keys.end())
        return found->second;
    return std::nullopt;
}

void ClassRecords::add(const records::RegisterEntry& entry)
{
    Index& x = *index_;
    if (x.seen.metBefore(entry.hash)) {
        ++files_.back().repeated;
        return;
    }
    const records::GameSummary& game = entry.game;
    const int day = dayNumber({game.ended.year, game.ended.month, game.ended.day});
    const Moment moment = momentOf(day, game.ended.hour, game.ended.minute, game.ended.second);
    firstDay_ = games_ == 0 ? day : std::min(firstDay_, day);
    lastDay_ = games_ == 0 ? day : std::max(lastDay_, day);
    ++games_;

    // The pupil.
    auto typed = x.names.find(std::string_view(game.name));
    if (typed == x.names.end()) {
        auto [key, added] =
            x.keys.emplace(pupilKey(game.name), static_cast<std::uint32_t>(pupils_.size()));
        if (added) {
            pupils_.push_back({key->first, shownName(game.name), moment});
            x.shownTyping.push_back(static_cast<std::uint32_t>(x.typings.size()));
            x.lastTally.push_back(UINT32_MAX);
        }
        x.typings.push_back(shownName(game.name));
        typed =
            x.names
                .emplace(game.name, Index::Typed{key->second,
                                                 static_cast<std::uint32_t>(x.typings.size() - 1)})
                .first;
    }
    const std::uint32_t pupil = typed->second.pupil;
    Pupil& p = pupils_[pupil];
    if (moment >= p.shownAt) { // the latest game names the pupil
        p.shownAt = moment;
        if (x.shownTyping[pupil] != typed->second.typing) {
            x.shownTyping[pupil] = typed->second.typing;
            p.shown = x.typings[typed->second.typing];
        }
    }

    // The account and computer.
    std::uint32_t origin = 0;
    const Columns& c = columns();
    if (records::hasColumn(entry, c.account) || records::hasColumn(entry, c.computer)) {
        x.originText.assign(game.account).append(1, '\0').append(game.computer);
        auto found = x.origins.find(std::string_view(x.originText));
        if (found == x.origins.end()) {
            found =
                x.origins.emplace(x.originText, static_cast<std::uint32_t>(origins_.size())).first;
            origins_.push_back({game.account, game.computer});
        }
        origin = found->second;
    }

    // The sums.
    if (sorted_ && !tallies_.empty() && x.tallies.empty()) { // sorted since: index again
        for (std::uint32_t i = 0; i < tallies_.size(); ++i)
            x.tallies.emplace(TallyKey{tallies_[i].pupil, tallies_[i].origin, tallies_[i].day}, i);
        std::fill(x.lastTally.begin(), x.lastTally.end(), UINT32_MAX);
    }
    std::uint32_t at = x.lastTally[pupil];
    if (at == UINT32_MAX || tallies_[at].day != day || tallies_[at].origin != origin) {
        auto [found, added] = x.tallies.emplace(TallyKey{pupil, origin, day},
                                                static_cast<std::uint32_t>(tallies_.size()));
        if (added)
            tallies_.push_back({pupil, origin, day});
        at = x.lastTally[pupil] = found->second;
    }
    sorted_ = false;
    Tally& t = tallies_[at];
    ++t.games;
    t.seconds += static_cast<std::uint64_t>(game.secondsPlayed);
    for (int level = 0; level < levelCount; ++level) {
        t.levels[level].right += static_cast<std::uint64_t>(game.rightByLevel[level]);
        t.levels[level].wrong += static_cast<std::uint64_t>(game.wrongByLevel[level]);
    }
    for (int k = 0; k < mistakeKinds; ++k) {
        if (records::hasColumn(entry, c.kinds[k]))
            t.mistakes[k] += static_cast<std::uint64_t>(game.wrongByKind[k]);
    }
    t.last = std::max(t.last, moment);
}

const std::vector<Tally>& ClassRecords::tallies() const
{
    if (!sorted_) {
        std::sort(tallies_.begin(), tallies_.end(), [](const Tally& a, const Tally& b) {
            return std::tie(a.pupil, a.day, a.origin) < std::tie(b.pupil, b.day, b.origin);
        });
        index_->tallies.clear();
        sorted_ = true;
    }
    return tallies_;
}

void ClassRecords::readAgain(const Games& each) const
{
    SeenLines seen;
    for (const RegisterFile& f : files_) {
        seen.nextFile();
        if (!f.reading.problem.empty() && f.reading.games == 0)
            continue;
        records::readRegister(
            f.path,
            [&](const records::RegisterEntry& e) {
                if (seen.metBefore(e.hash))
                    return;
                if (const auto pupil = pupilOf(e.game.name))
                    each(*pupil, e);
            },
            f.reading.bytes);
    }
}

} // namespace cifrelle::classsummary
