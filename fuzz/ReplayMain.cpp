// Replays fuzz inputs through a harness without libFuzzer, so that the
// corpus and every input that ever found a fault run as ordinary tests (and
// under the sanitizers with the other core tests).
//
//   quorl_fuzz_replay HARNESS DIR|FILE...
//
// Folders are read in name order; names starting with a dot are skipped. A
// failed check aborts with the input's name; a missing folder counts as
// empty, but the run fails when no input was found at all.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "fuzz/Harnesses.h"

namespace quorl::fuzz {

HarnessFunction FindHarness(std::string_view name) {
    if (name == "stream") return FuzzUnitStream;
    if (name == "projection") return FuzzProjection;
    if (name == "collection") return FuzzCollection;
    if (name == "export") return FuzzExport;
    return nullptr;
}

}  // namespace quorl::fuzz

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    if (argc < 3) {
        std::fprintf(stderr, "usage: quorl_fuzz_replay stream|projection|collection|export DIR|FILE...\n");
        return 2;
    }
    const auto harness = quorl::fuzz::FindHarness(argv[1]);
    if (harness == nullptr) {
        std::fprintf(stderr, "quorl_fuzz_replay: no harness '%s'\n", argv[1]);
        return 2;
    }
    std::vector<std::string> inputs;
    for (int i = 2; i < argc; ++i) {
        const fs::path path = argv[i];
        std::error_code error;
        if (fs::is_directory(path, error)) {
            std::vector<std::string> names;
            for (const auto& e : fs::directory_iterator(path))
                if (e.is_regular_file() && e.path().filename().string()[0] != '.') names.push_back(e.path().string());
            std::sort(names.begin(), names.end());
            inputs.insert(inputs.end(), names.begin(), names.end());
        } else if (fs::is_regular_file(path, error)) {
            inputs.push_back(path.string());
        }
    }
    if (inputs.empty()) {
        std::fprintf(stderr, "quorl_fuzz_replay: no inputs found\n");
        return 1;
    }
    for (const auto& name : inputs) {
        quorl::fuzz::SetCurrentInput(name);
        const quorl::fuzz::Bytes bytes = quorl::fuzz::ReadFile(name);
        harness(bytes.data(), bytes.size());
    }
    std::printf("%s: %zu inputs replayed, all checks passed\n", argv[1], inputs.size());
    return 0;
}
