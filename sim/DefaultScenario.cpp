#include "DefaultScenario.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "sim/ScenarioLoader.h"

namespace quorl::sim {

Scenario DefaultScenario() {
    Scenario scenario;
    std::string error;
    if (!ParseScenario(DefaultScenarioJson(), scenario, error)) {
        // The text is part of the build and checked by the tests; a failure
        // here is a broken build, not bad input.
        std::fprintf(stderr, "built-in scenario: %s\n", error.c_str());
        std::abort();
    }
    return scenario;
}

}  // namespace quorl::sim
