#pragma once
// The scenario the simulated unit runs when none is given: the demo office
// (samples/scenario-default.json, built into the program), eight access
// points on channels 1, 6, 11, 36 and 149, a walk through the office that
// loops, and a 20-second stretch without GPS lock every four minutes.

#include "sim/Scenario.h"

namespace quorl::sim {

// The built-in scenario's JSON text.
const char* DefaultScenarioJson();
Scenario DefaultScenario();

}  // namespace quorl::sim
