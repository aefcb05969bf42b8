// SPDX-License-Identifier: GPL-3.0-or-later
// The number texts on their own, in nanoseconds a call (the best of five
// rounds), for the numbers the game draws (every 16th of the 2^24) and for
// floats of every size:
//  - singleText, the exact printing of a float to seven significant digits;
//  - patternText of a drawn number's text with "#.##" (the answer key);
//  - numberValue of that text, and leadingNumberValue of a score file.
// Usage: numtext_bench
#include "cifrelle/numtext/numtext.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace nt = cifrelle::numtext;

namespace {

std::size_t sink = 0; // keeps the optimiser from dropping the calls

template <typename Input, typename Call>
double nanosPerCall(const std::vector<Input>& inputs, Call call)
{
    double best = 1e300;
    for (int round = 0; round < 5; ++round) {
        const auto start = std::chrono::steady_clock::now();
        for (const Input& input : inputs)
            sink += call(input);
        const std::chrono::duration<double, std::nano> took =
            std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count() / static_cast<double>(inputs.size()));
    }
    return best;
}

} // namespace

int main()
{
    std::vector<float> drawn;
    for (std::uint32_t k = 0; k < (1u << 24); k += 16)
        drawn.push_back(static_cast<float>(k) / 16777216.0f * 100.0f);
    std::vector<float> anySize;
    std::mt19937 gen(1u);
    std::uniform_int_distribution<std::uint32_t> bits(0, 0x7F7FFFFFu);
    for (int i = 0; i < 1000000; ++i)
        anySize.push_back(std::bit_cast<float>(bits(gen)));
    std::vector<std::string> texts;
    for (float x : drawn)
        texts.push_back(nt::singleText(x));
    const std::vector<std::string> scoreFiles(1000000, "123\r\n");

    std::printf("singleText, drawn numbers:         %6.1f ns\n",
                nanosPerCall(drawn, [](float x) { return nt::singleText(x).size(); }));
    std::printf("singleText, floats of every size:  %6.1f ns\n",
                nanosPerCall(anySize, [](float x) { return nt::singleText(x).size(); }));
    std::printf("patternText \"#.##\", drawn texts:   %6.1f ns\n",
                nanosPerCall(texts, [](const std::string& t) {
                    return nt::patternText(std::string_view(t), "#.##").size();
                }));
    std::printf("numberValue, drawn texts:          %6.1f ns\n",
                nanosPerCall(texts, [](const std::string& t) {
                    return static_cast<std::size_t>(nt::numberValue(t));
                }));
    std::printf("leadingNumberValue, \"123\\r\\n\":     %6.1f ns\n",
                nanosPerCall(scoreFiles, [](const std::string& t) {
                    return static_cast<std::size_t>(nt::leadingNumberValue(t));
                }));
    return sink == 0 ? 1 : 0;
}
