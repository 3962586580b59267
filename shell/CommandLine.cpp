#include "shell/CommandLine.h"

#include <cstring>

namespace quorl {

CommandLineOptions ParseCommandLine(const std::vector<std::string>& arguments) {
    CommandLineOptions options;
    bool unitChosen = false;
    const auto chooseUnit = [&](CommandLineOptions::Unit unit, const std::string& what) {
        if (unitChosen) {
            options.error = "only one of --simulate and --device may be given (" + what + ")";
            return false;
        }
        unitChosen = true;
        options.unit = unit;
        return true;
    };
    for (std::size_t i = 0; i < arguments.size() && options.error.empty(); ++i) {
        const std::string& arg = arguments[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--simulate") {
            chooseUnit(CommandLineOptions::Unit::Simulated, arg);
        } else if (arg.rfind("--simulate=", 0) == 0) {
            if (chooseUnit(CommandLineOptions::Unit::Simulated, arg)) {
                options.scenarioPath = arg.substr(std::strlen("--simulate="));
                if (options.scenarioPath.empty()) options.error = "--simulate= needs a scenario file";
            }
        } else if (arg == "--device") {
            if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
                options.error = "--device needs a serial port path";
            } else if (chooseUnit(CommandLineOptions::Unit::Device, arg)) {
                options.devicePath = arguments[++i];
            }
        } else if (arg.rfind("--device=", 0) == 0) {
            if (chooseUnit(CommandLineOptions::Unit::Device, arg)) {
                options.devicePath = arg.substr(std::strlen("--device="));
                if (options.devicePath.empty()) options.error = "--device needs a serial port path";
            }
        } else if (arg == "--site" || arg.rfind("--site=", 0) == 0) {
            const bool joined = arg != "--site";
            if (!options.sitePath.empty()) {
                options.error = "--site may be given once";
            } else if (!joined && (i + 1 >= arguments.size() || arguments[i + 1].empty())) {
                options.error = "--site needs a site file";
            } else {
                options.sitePath = joined ? arg.substr(std::strlen("--site=")) : arguments[++i];
                if (options.sitePath.empty()) options.error = "--site needs a site file";
            }
        } else {
            options.error = "unknown argument: " + arg;
        }
    }
    return options;
}

bool AsksForVersion(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--version") == 0) return true;
    return false;
}

bool AsksForHelp(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return true;
    return false;
}

std::string CommandLineUsage(const std::string& programName) {
    return "Usage: " + programName +
           " [--simulate[=SCENARIO] | --device PATH] [--site SITE]\n"
           "Wi-Fi site-survey collector.\n\n"
           "  --simulate            run against the simulated survey unit (built-in scenario)\n"
           "  --simulate=SCENARIO   the simulated unit, playing the scenario file SCENARIO\n"
           "  --device PATH         the survey unit on serial port PATH\n"
           "                        (for example the pseudo-terminal `quorl sim` prints)\n"
           "  --site SITE           open the site file SITE (.qsite) and show its first floor\n"
           "  --version             print the version and exit\n"
           "  -h, --help            show this help and exit\n\n"
           "With neither --simulate nor --device the survey unit at /dev/quorl-unit (the\n"
           "link 'quorl unit remember' makes) is used, else the first USB serial adapter;\n"
           "with several of the unit's kind the collector asks which one; with none\n"
           "attached it runs without a unit.\n";
}

}  // namespace quorl
