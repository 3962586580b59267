// The command line of `quorl`: commands declare themselves through Command,
// CLI11 parses, and this file turns its outcomes into ours: help on
// standard output with status 0, a usage error on standard error with
// status 2, else the chosen command's own status.

#include "tools/CommandRegistry.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>

namespace quorl::tools {

std::map<std::string, CommandInfo>& Commands() {
    static std::map<std::string, CommandInfo> commands;
    return commands;
}

namespace {

std::string Displayed(const std::string& names) {
    std::string text = names;
    for (std::size_t at = 0; (at = text.find(',', at)) != std::string::npos; at += 2) text.replace(at, 1, ", ");
    return text;
}

std::vector<std::string> Split(const std::string& names) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = names.find(',', start);
        out.push_back(names.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) return out;
        start = end + 1;
    }
}

void Configure(CLI::App& app) {
    app.set_help_flag("-h,--help", "show this help and exit");
    // Unknown words are collected and refused by us, with our message.
    app.allow_extras();
    app.require_subcommand(0, 1);
}

}  // namespace

Command::Command(CLI::App& app, std::string path, std::string summary, std::string usage)
    : app_(app), path_(std::move(path)), summary_(std::move(summary)), usage_(std::move(usage)) {
    Configure(app_);
    options_.push_back({"-h, --help", "", "show this help and exit"});
}

Command::~Command() = default;

Command& Command::Option(const std::string& names, std::string& into, const std::string& value,
                         const std::string& help) {
    app_.add_option(names, into, help)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    options_.push_back({Displayed(names), value, help});
    return *this;
}

Command& Command::Option(const std::string& names, std::optional<std::string>& into, const std::string& value,
                         const std::string& help) {
    app_.add_option_function<std::string>(names, [&into](const std::string& v) { into = v; }, help)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    options_.push_back({Displayed(names), value, help});
    return *this;
}

Command& Command::Each(const std::string& names, const std::string& value, const std::string& help,
                       std::function<void(const std::string&)> each) {
    app_.add_option_function<std::string>(names, std::move(each), help)
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->trigger_on_parse();
    options_.push_back({Displayed(names), value, help});
    return *this;
}

Command& Command::Repeated(const std::string& names, std::vector<std::string>& into, const std::string& value,
                           const std::string& help) {
    return Each(names, value, help, [&into](const std::string& v) { into.push_back(v); });
}

Command& Command::Words(const std::string& names, const std::string& value, const std::string& help,
                        std::function<bool(const std::string&)> more, std::function<void(const std::string&)> each) {
    Each(names, value, help, std::move(each));
    words_.push_back({Split(names), std::move(more)});
    return *this;
}

Command& Command::Flag(const std::string& names, bool& into, const std::string& help) {
    app_.add_flag(names, into, help)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    options_.push_back({Displayed(names), "", help});
    return *this;
}

Command& Command::Positional(const std::string& name, std::string& into, const std::string& help) {
    app_.add_option("argument" + std::to_string(arguments_.size()), into, help);
    arguments_.push_back({name, "", help});
    return *this;
}

Command& Command::Positionals(const std::string& name, std::vector<std::string>& into, const std::string& help) {
    app_.add_option("argument" + std::to_string(arguments_.size()), into, help);
    arguments_.push_back({name, "", help});
    return *this;
}

Command& Command::Sub(const std::string& name, const std::string& summary, const std::string& usage) {
    CLI::App* app = app_.add_subcommand(name, summary);
    subs_.push_back(std::make_unique<Command>(*app, path_ + " " + name, summary, usage));
    return *subs_.back();
}

void Command::Does(std::function<int()> run) { run_ = std::move(run); }

const Command* Command::FindSub(const std::string& name) const {
    for (const auto& sub : subs_)
        if (sub->App().get_name() == name) return sub.get();
    return nullptr;
}

std::string Command::Help() const {
    std::string text = usage_;
    if (!summary_.empty()) text += "\n" + summary_ + "\n";
    auto table = [&](const char* title, const std::vector<Entry>& entries) {
        if (entries.empty()) return;
        std::size_t width = 0;
        std::vector<std::string> left;
        for (const Entry& e : entries) {
            left.push_back(e.value.empty() ? e.names : e.names + " " + e.value);
            width = std::max(width, left.back().size());
        }
        text += std::string("\n") + title + ":\n";
        for (std::size_t i = 0; i < entries.size(); ++i)
            text += "  " + left[i] + std::string(width - left[i].size() + 3, ' ') + entries[i].help + "\n";
    };
    table("arguments", arguments_);
    table("options", options_);
    std::vector<Entry> subs;
    for (const auto& sub : subs_) subs.push_back({sub->App().get_name(), "", sub->Summary()});
    table("commands", subs);
    if (!subs_.empty()) text += "\n'" + path_ + " COMMAND --help' tells more of each.\n";
    return text;
}

int Command::UsageError(const std::string& why) const {
    std::fprintf(stderr, "%s: %s\n%s", path_.c_str(), why.c_str(), usage_.c_str());
    return 2;
}

namespace {

void PrintUsage(std::FILE* out) {
    std::fprintf(out, "usage: quorl COMMAND [ARGS] | quorl help [COMMAND] | quorl --version\n\ncommands:\n");
    for (const auto& [name, info] : Commands()) std::fprintf(out, "  %-9s %s\n", name.c_str(), info.summary.c_str());
    std::fprintf(out, "\n'quorl help COMMAND' or 'quorl COMMAND --help' tells more of each.\n");
}

// The command the parse went into: the deepest subcommand that was named.
const Command& Chosen(const Command& root) {
    const Command* at = &root;
    for (bool deeper = true; deeper;) {
        deeper = false;
        for (const auto& sub : at->Subs())
            if (sub->App().parsed()) {
                at = sub.get();
                deeper = true;
                break;
            }
    }
    return *at;
}

void CollectWords(const Command& command, std::vector<Command::WordOption>& into) {
    into.insert(into.end(), command.WordOptions().begin(), command.WordOptions().end());
    for (const auto& sub : command.Subs()) CollectWords(*sub, into);
}

// "--require a>=1 b<=2" becomes "--require a>=1 --require b<=2", so that
// the parser sees one value per option and the words after stay ours.
std::vector<std::string> ExpandWords(const Command& root, std::vector<std::string> args) {
    std::vector<Command::WordOption> words;
    CollectWords(root, words);
    if (words.empty()) return args;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--") break;
        for (const auto& w : words) {
            std::size_t next = 0;
            for (const std::string& name : w.names) {
                if (args[i] == name) next = i + 2;
                else if (args[i].rfind(name + "=", 0) == 0) next = i + 1;
            }
            if (next == 0) continue;
            while (next < args.size() && w.more(args[next])) {
                args.insert(args.begin() + static_cast<std::ptrdiff_t>(next), w.names.back());
                next += 2;
            }
            i = next - 1;
            break;
        }
    }
    return args;
}

// "--projection: 1 required TEXT missing" from CLI11 is ours "--projection needs a value".
std::string Reworded(const CLI::ParseError& e) {
    const std::string what = e.what();
    if (e.get_name() == "ArgumentMismatch") {
        const std::size_t colon = what.find(':');
        if (colon != std::string::npos) return what.substr(0, colon) + " needs a value";
    }
    return what;
}

int RunCommand(const std::string& name, const CommandInfo& info, const std::vector<std::string>& rest) {
    CLI::App app("", name);
    Command root(app, "quorl " + name, info.summary, info.usage);
    info.define(root);
    std::vector<std::string> args = ExpandWords(root, rest);
    std::reverse(args.begin(), args.end());
    try {
        app.parse(args);
    } catch (const CLI::CallForHelp&) {
        std::fputs(Chosen(root).Help().c_str(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    } catch (const CLI::ParseError& e) {
        return Chosen(root).UsageError(Reworded(e));
    }
    const Command& chosen = Chosen(root);
    for (const Command* c = &root;;) {
        // CLI11 keeps the "--" that ends the options among the extras.
        for (const std::string& extra : c->App().remaining(false))
            if (extra != "--") return chosen.UsageError("unexpected argument '" + extra + "'");
        if (c == &chosen) break;
        for (const auto& sub : c->Subs())
            if (sub->App().parsed()) c = sub.get();
    }
    if (!chosen.Action()) {
        std::string names;
        for (const auto& sub : chosen.Subs()) names += (names.empty() ? "" : ", ") + sub->App().get_name();
        return chosen.UsageError("which one? " + names);
    }
    return chosen.Action()();
}

// `quorl help ssd export`: the help of that command, on standard output.
int HelpFor(const std::vector<std::string>& words) {
    const auto it = Commands().find(words.front());
    if (it == Commands().end()) {
        std::fprintf(stderr, "quorl: unknown command '%s'\n", words.front().c_str());
        PrintUsage(stderr);
        return 2;
    }
    CLI::App app("", it->first);
    Command root(app, "quorl " + it->first, it->second.summary, it->second.usage);
    it->second.define(root);
    const Command* at = &root;
    for (std::size_t i = 1; i < words.size(); ++i) {
        const Command* sub = at->FindSub(words[i]);
        if (!sub) return at->UsageError("no such command '" + words[i] + "'");
        at = sub;
    }
    std::fputs(at->Help().c_str(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& args) {
    if (args.empty()) {
        PrintUsage(stderr);
        return 2;
    }
    const std::string& first = args.front();
    if (first == "--version" && args.size() == 1) {
        std::printf("quorl %s\n", QUORL_VERSION);
        return 0;
    }
    if (first == "help" || first == "--help" || first == "-h") {
        if (args.size() > 1) return HelpFor({args.begin() + 1, args.end()});
        PrintUsage(stdout);
        return 0;
    }
    const auto it = Commands().find(first);
    if (it == Commands().end()) {
        std::fprintf(stderr, "quorl: unknown command '%s'\n", first.c_str());
        PrintUsage(stderr);
        return 2;
    }
    return RunCommand(it->first, it->second, {args.begin() + 1, args.end()});
}

}  // namespace quorl::tools
