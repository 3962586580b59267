// quorl sim [--scenario FILE]: serves the simulated unit on a
// pseudo-terminal until interrupted. The terminal's path is the first line
// of standard output, so a script can start the program against it.

#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "sim/DefaultScenario.h"
#include "sim/PtyServer.h"
#include "sim/ScenarioLoader.h"
#include "tools/CommandRegistry.h"

namespace quorl::tools {

namespace {

std::atomic<bool> g_stop{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler sets it");

void OnSignal(int) { g_stop.store(true); }

int Sim(const std::string& scenarioPath) {
    sim::Scenario scenario;
    if (scenarioPath.empty()) {
        scenario = sim::DefaultScenario();
    } else {
        std::string error;
        if (!sim::LoadScenarioFile(scenarioPath, scenario, error)) {
            std::fprintf(stderr, "quorl sim: %s\n", error.c_str());
            return 1;
        }
    }

    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    const auto now = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::system_clock::now().time_since_epoch());
    sim::PtyServer server(std::move(scenario), now.count());
    std::string error;
    if (!server.Open(error)) {
        std::fprintf(stderr, "quorl sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", server.SlavePath().c_str());
    std::fflush(stdout);
    std::fprintf(stderr, "quorl sim: simulated unit on %s; Ctrl-C stops it\n", server.SlavePath().c_str());

    if (!server.Run(g_stop)) {
        std::fprintf(stderr, "quorl sim: the pseudo-terminal failed\n");
        return 1;
    }
    return 0;
}

const RegisterCommand kRegister("sim", "serve the simulated unit on a pseudo-terminal",
                                "usage: quorl sim [--scenario FILE]\n", [](Command& c) {
                                    auto scenario = std::make_shared<std::string>();
                                    c.Option("--scenario", *scenario, "FILE",
                                             "scenario to play (JSON); the built-in demo walk without it");
                                    c.Does([scenario] { return Sim(*scenario); });
                                });

}  // namespace

}  // namespace quorl::tools
