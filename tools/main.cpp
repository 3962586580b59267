// quorl: the collector's command-line companion.

#include <cstdio>
#include <string>
#include <vector>

#include "tools/CommandRegistry.h"

namespace quorl::tools {
std::map<std::string, CommandInfo>& Commands() {
    static std::map<std::string, CommandInfo> commands;
    return commands;
}
}  // namespace quorl::tools

namespace {
void PrintUsage(std::FILE* out) {
    std::fprintf(out, "usage: quorl COMMAND [ARGS] | quorl --version\n\ncommands:\n");
    for (const auto& [name, info] : quorl::tools::Commands()) std::fprintf(out, "  %s\n", info.usage.c_str());
}
}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--version") {
        std::printf("quorl %s\n", QUORL_VERSION);
        return 0;
    }
    if (argc < 2 || std::string(argv[1]) == "help" || std::string(argv[1]) == "--help") {
        PrintUsage(argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    auto& commands = quorl::tools::Commands();
    auto it = commands.find(argv[1]);
    if (it == commands.end()) {
        std::fprintf(stderr, "quorl: unknown command '%s'\n", argv[1]);
        PrintUsage(stderr);
        return 2;
    }
    return it->second.run(std::vector<std::string>(argv + 2, argv + argc));
}
