#pragma once
// Subcommands of `quorl` register themselves here, one file each. A command
// declares its options and what it does; the parsing (--opt value and
// --opt=value, -h/--help, unknown options refused) is CLI11's, so every
// command answers the same way. Values arrive as text: each command keeps
// its own checks and messages for what they mean.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace quorl::tools {

// One command or subcommand being declared. The variables handed to it
// must outlive the parse: keep them in a std::shared_ptr that Does()
// captures.
class Command {
public:
    Command(CLI::App& app, std::string path, std::string summary, std::string usage);
    ~Command();
    Command(const Command&) = delete;
    Command& operator=(const Command&) = delete;

    // An option with one value: "--projection" or "-o,--output". Given
    // twice, the last one counts. `value` names it in the help ("FILE").
    Command& Option(const std::string& names, std::string& into, const std::string& value, const std::string& help);
    // The same, for an option whose empty value means something ("--ssid ''").
    Command& Option(const std::string& names, std::optional<std::string>& into, const std::string& value,
                    const std::string& help);
    // An option that may be given again and again: `each` sees every value
    // as it comes, in the order of the command line.
    Command& Each(const std::string& names, const std::string& value, const std::string& help,
                  std::function<void(const std::string&)> each);
    Command& Repeated(const std::string& names, std::vector<std::string>& into, const std::string& value,
                      const std::string& help);
    // Like Each, and the words right after a value that `more` accepts
    // belong to the option too ("--require a>=1 b<=2 survey.ssd").
    Command& Words(const std::string& names, const std::string& value, const std::string& help,
                   std::function<bool(const std::string&)> more, std::function<void(const std::string&)> each);
    Command& Flag(const std::string& names, bool& into, const std::string& help);
    // Positional arguments, in the order declared; a vector takes all that are left.
    Command& Positional(const std::string& name, std::string& into, const std::string& help);
    Command& Positionals(const std::string& name, std::vector<std::string>& into, const std::string& help);

    // A subcommand ("ssd info"): declared like a command.
    Command& Sub(const std::string& name, const std::string& summary, const std::string& usage);
    // What runs when this command is the one chosen; returns the exit status.
    void Does(std::function<int()> run);

    // "quorl ssd info", the usage text and the full help (usage, summary,
    // arguments, options, subcommands).
    const std::string& Path() const { return path_; }
    const std::string& Usage() const { return usage_; }
    const std::string& Summary() const { return summary_; }
    std::string Help() const;
    // Prints "quorl CMD: why" and the usage on standard error; returns 2.
    int UsageError(const std::string& why) const;

    struct Entry {
        std::string names;  // "-o, --output"
        std::string value;  // "FILE", empty for a flag
        std::string help;
    };
    const std::vector<Entry>& Options() const { return options_; }
    const std::vector<Entry>& Arguments() const { return arguments_; }
    const std::vector<std::unique_ptr<Command>>& Subs() const { return subs_; }
    const Command* FindSub(const std::string& name) const;
    CLI::App& App() const { return app_; }
    const std::function<int()>& Action() const { return run_; }

    struct WordOption {
        std::vector<std::string> names;
        std::function<bool(const std::string&)> more;
    };
    const std::vector<WordOption>& WordOptions() const { return words_; }

private:
    CLI::App& app_;
    std::string path_, summary_, usage_;
    std::vector<Entry> options_, arguments_;
    std::vector<std::unique_ptr<Command>> subs_;
    std::vector<WordOption> words_;
    std::function<int()> run_;
};

using CommandDefinition = std::function<void(Command&)>;

struct CommandInfo {
    std::string summary;  // one line, shown by `quorl help`
    std::string usage;    // the usage lines, shown on errors and with --help
    CommandDefinition define;
};

std::map<std::string, CommandInfo>& Commands();

// Place one at namespace scope in a command's file.
struct RegisterCommand {
    RegisterCommand(const std::string& name, std::string summary, std::string usage, CommandDefinition define) {
        Commands()[name] = CommandInfo{std::move(summary), std::move(usage), std::move(define)};
    }
};

// The whole command line: `quorl ARGS...`; the exit status.
int RunCommandLine(const std::vector<std::string>& args);

}  // namespace quorl::tools
