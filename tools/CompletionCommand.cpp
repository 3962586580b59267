// quorl completion bash: a bash completion script for quorl, made from the
// commands as they declare themselves, so it knows every command,
// subcommand and option of this build. The package installs its output;
// `source <(quorl completion bash)` uses it at once.

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "tools/CommandRegistry.h"

namespace quorl::tools {

namespace {

// "-o, --output" -> "-o --output".
std::string OptionWords(const std::vector<Command::Entry>& options) {
    std::string words;
    for (const Command::Entry& e : options) {
        for (char c : e.names)
            if (c != ',') words += c;
        words += ' ';
    }
    if (!words.empty()) words.pop_back();
    return words;
}

// A value written as choices ("csv|geojson", "2.4|5"), not as a name ("SITE.gpf|.lpf").
bool IsChoice(const std::string& value) {
    if (value.find('|') == std::string::npos) return false;
    for (char c : value)
        if (!(c == '|' || c == '.' || c == '-' || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return false;
    return value.front() != '.' && value.find("|.") == std::string::npos;
}

std::string Choices(const std::string& value) {
    std::string words = value;
    for (char& c : words)
        if (c == '|') c = ' ';
    return words;
}

// One "case" arm per command path: its subcommands, options and the choices of options' values.
void Describe(const Command& command, const std::string& path, std::string& script) {
    std::string subs;
    for (const auto& sub : command.Subs()) subs += (subs.empty() ? "" : " ") + sub->App().get_name();
    script += "        \"" + path + "\") subs=\"" + subs + "\"; opts=\"" + OptionWords(command.Options()) + "\"\n";
    std::string valued;
    for (const Command::Entry& e : command.Options()) {
        if (e.value.empty()) continue;
        std::string names = e.names;
        for (std::size_t at; (at = names.find(", ")) != std::string::npos;) names.replace(at, 2, "|");
        valued += (valued.empty() ? "" : "|") + names;
        if (IsChoice(e.value))
            script += "            case \"$prev\" in " + names + ") choices=\"" + Choices(e.value) + "\";; esac\n";
    }
    if (!valued.empty()) script += "            case \"$prev\" in " + valued + ") takes=1;; esac\n";
    script += "            ;;\n";
    for (const auto& sub : command.Subs()) Describe(*sub, path + " " + sub->App().get_name(), script);
}

std::string Script() {
    std::string commands = "help";
    std::string arms;
    for (const auto& [name, info] : Commands()) {
        commands += " " + name;
        CLI::App app("", name);
        Command root(app, "quorl " + name, info.summary, info.usage);
        info.define(root);
        Describe(root, name, arms);
    }
    return "# bash completion for quorl, made by 'quorl completion bash'\n"
           "_quorl() {\n"
           "    local cur=\"${COMP_WORDS[COMP_CWORD]}\" prev=\"${COMP_WORDS[COMP_CWORD-1]}\"\n"
           "    local path=\"\" subs=\"\" opts=\"\" choices=\"\" takes=0 i word\n"
           "    COMPREPLY=()\n"
           "    # The command path so far: the words that name commands, before the cursor.\n"
           "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
           "        word=\"${COMP_WORDS[i]}\"\n"
           "        [[ $word == -* ]] && continue\n"
           "        if [[ -z $path ]]; then path=\"$word\"; continue; fi\n"
           "        if [[ $path == help ]]; then path=\"help $word\"; continue; fi\n"
           "        case \" $(_quorl_subs \"${path#help }\") \" in *\" $word \"*) path=\"$path $word\";; esac\n"
           "    done\n"
           "    if [[ -z $path || $path == help* ]]; then\n"
           "        [[ -z $path || $path == help ]] && COMPREPLY=($(compgen -W \"" + commands + "\" -- \"$cur\"))\n"
           "        [[ $path == help\\ * ]] && COMPREPLY=($(compgen -W \"$(_quorl_subs \"${path#help }\")\" -- \"$cur\"))\n"
           "        [[ -z $path && $cur == -* ]] && COMPREPLY=($(compgen -W \"--help --version\" -- \"$cur\"))\n"
           "        return 0\n"
           "    fi\n"
           "    _quorl_describe \"$path\"\n"
           "    if [[ -n $choices ]]; then COMPREPLY=($(compgen -W \"$choices\" -- \"$cur\")); return 0; fi\n"
           "    if ((takes)); then COMPREPLY=($(compgen -f -- \"$cur\")); return 0; fi\n"
           "    if [[ $cur == -* ]]; then COMPREPLY=($(compgen -W \"$opts\" -- \"$cur\")); return 0; fi\n"
           "    if [[ -n $subs ]]; then COMPREPLY=($(compgen -W \"$subs\" -- \"$cur\")); return 0; fi\n"
           "    COMPREPLY=($(compgen -f -- \"$cur\"))\n"
           "}\n"
           "# Sets subs, opts and, for the word before the cursor, choices and takes.\n"
           "_quorl_describe() {\n"
           "    case \"$1\" in\n" +
           arms +
           "    esac\n"
           "}\n"
           "_quorl_subs() {\n"
           "    local subs=\"\" opts=\"\" choices=\"\" takes=0 prev=\"\"\n"
           "    _quorl_describe \"$1\"\n"
           "    echo \"$subs\"\n"
           "}\n"
           "complete -o filenames -F _quorl quorl\n";
}

int Bash() {
    std::fputs(Script().c_str(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

void Define(Command& c) {
    Command& bash = c.Sub("bash", "the bash completion script, on standard output",
                          "usage: quorl completion bash\n");
    bash.Does(Bash);
}

const RegisterCommand kRegistration("completion", "shell completion for quorl (source <(quorl completion bash))",
                                    "usage: quorl completion bash\n", Define);

}  // namespace

}  // namespace quorl::tools
