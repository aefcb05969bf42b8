// SPDX-License-Identifier: GPL-3.0-or-later
// Runs a fuzz target over saved inputs, without libFuzzer: every file of the
// directories given, in name order. Any broken invariant aborts (and so
// fails the test); a directory given without "--optional" must exist, and
// at least one input must be found in all.
//
//   fuzz_number_value_replay DIR... [--optional DIR...]

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace fs = std::filesystem;

int main(int argc, char** argv)
{
    std::size_t runs = 0;
    bool optional = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--optional") {
            optional = true;
            continue;
        }
        const fs::path dir(arg);
        std::error_code ec;
        if (!fs::is_directory(dir, ec)) {
            if (optional)
                continue;
            std::fprintf(stderr, "%s: no such directory\n", arg.c_str());
            return 2;
        }
        std::vector<fs::path> inputs;
        for (const auto& entry : fs::directory_iterator(dir)) {
            if (entry.is_regular_file())
                inputs.push_back(entry.path());
        }
        std::sort(inputs.begin(), inputs.end());
        for (const fs::path& input : inputs) {
            std::ifstream in(input, std::ios::binary);
            const std::string bytes(std::istreambuf_iterator<char>(in), {});
            if (!in.good() && !in.eof()) {
                std::fprintf(stderr, "%s: cannot read\n", input.string().c_str());
                return 2;
            }
            // Named before the run, so that a crash says which input it was.
            std::fprintf(stderr, "%s\n", input.string().c_str());
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                   bytes.size());
            ++runs;
        }
    }
    if (runs == 0) {
        std::fprintf(stderr, "no inputs found\n");
        return 2;
    }
    std::printf("%zu inputs, no invariant broken\n", runs);
    return 0;
}
