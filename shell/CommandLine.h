#pragma once
// The collector's command line: which survey unit to talk to.
//   --simulate[=SCENARIO]  the simulated unit, in-process
//   --device PATH          that serial port
//   (neither)              /dev/quorl-unit where the udev rule made it, else
//                          the first USB serial adapter, if any
//   --site SITE            open that site file and show its first floor
//   --version, --help      print and exit

#include <string>
#include <vector>

namespace quorl {

struct CommandLineOptions {
    enum class Unit { FirstAdapter, Device, Simulated };
    Unit unit = Unit::FirstAdapter;
    std::string devicePath;      // Unit::Device
    std::string scenarioPath;    // Unit::Simulated; empty: the built-in scenario
    std::string sitePath;        // --site; empty: none
    bool help = false;
    std::string error;           // not empty: the line was not understood
};

// Parses the arguments after the program name (the windowing system's own
// options already removed).
CommandLineOptions ParseCommandLine(const std::vector<std::string>& arguments);

// Whether the line asks for help or the version; checked before the
// windowing system starts, so that both work without a display.
bool AsksForHelp(int argc, const char* const* argv);
bool AsksForVersion(int argc, const char* const* argv);

std::string CommandLineUsage(const std::string& programName);

}  // namespace quorl
