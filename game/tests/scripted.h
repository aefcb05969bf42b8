#pragma once

#include "cifrelle/game/random.h"

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <string>

namespace cifrelle::game::testing {

// Gives the values it is told, then those of the real generator.
class ScriptedRandom : public RandomSource {
public:
    void reseed(float seconds) override
    {
        ++reseeds;
        fallback.reseed(seconds);
    }
    float next() override
    {
        ++draws;
        if (values.empty())
            return fallback.next();
        const float r = values.front();
        values.pop_front();
        return r;
    }

    std::deque<float> values;
    int reseeds = 0;
    int draws = 0;
    MixingRandom fallback;
};

// A clock that stands still unless told otherwise.
class FixedTime : public TimeSource {
public:
    float secondsSinceMidnight() override { return seconds; }
    float seconds = 36000.0f;
};

// A fresh directory under the system's temporary directory, removed at the end.
class TempDir {
public:
    TempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "cifrelle-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            std::abort();
        path_ = pattern;
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

} // namespace cifrelle::game::testing
