#pragma once
// An environment whose locale writes one and a half as "1,5", for checking
// that machine-readable output does not follow the user's language.
// de_DE.UTF-8 where the system has it; else compiled with localedef into
// the test's folder and found through LOCPATH (no root needed).

#include <string>

#include "tests/survey/SurveyTestSupport.h"

namespace quorl::test {

// "LOCPATH=... LC_ALL=de_DE.UTF-8 " to put in front of a command line, or
// empty with `why` set when no such locale can be had here.
inline std::string DecimalCommaEnvironment(const TempDir& dir, std::string& why) {
    const std::string probe =
        " python3 -c \"import locale; locale.setlocale(locale.LC_ALL, ''); "
        "print(locale.localeconv()['decimal_point'])\"";
    for (const std::string& env : {std::string("LC_ALL=de_DE.UTF-8 "),
                                  "LOCPATH=" + Quote(dir / "locales") + " LC_ALL=de_DE.UTF-8 "}) {
        if (env.rfind("LOCPATH", 0) == 0) {
            std::filesystem::create_directories(dir / "locales");
            const Outcome made = RunCommandLine(
                "localedef -i de_DE -f UTF-8 " + Quote(dir / "locales/de_DE.UTF-8"), dir);
            if (made.status != 0 && made.status != 1) {  // 1: made, with warnings
                why = "no de_DE.UTF-8 locale and localedef cannot make one (install the locales package): " + made.err;
                return {};
            }
        }
        if (RunCommandLine(env + probe, dir).out == ",\n") return env;
    }
    why = "de_DE.UTF-8 is not available and could not be made here";
    return {};
}

}  // namespace quorl::test
