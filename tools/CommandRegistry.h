#pragma once
// Subcommands of `quorl` register themselves here, one file each.

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace quorl::tools {

using CommandMain = std::function<int(const std::vector<std::string>& args)>;

struct CommandInfo {
    CommandMain run;
    std::string usage;  // one line, shown by `quorl help`
};

std::map<std::string, CommandInfo>& Commands();

// Place one at namespace scope in a command's file.
struct RegisterCommand {
    RegisterCommand(const std::string& name, std::string usage, CommandMain run) {
        Commands()[name] = CommandInfo{std::move(run), std::move(usage)};
    }
};

}  // namespace quorl::tools
