// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cifrelle/game/random.h"

#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
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
        // A name nobody has taken: create_directory says false when it exists.
        std::random_device entropy;
        do
            path_ = std::filesystem::temp_directory_path() /
                    ("cifrelle-" + std::to_string(entropy()));
        while (!std::filesystem::create_directory(path_));
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

// A file's whole content, byte for byte (empty when it is missing).
inline std::string readBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeBytes(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

} // namespace cifrelle::game::testing
