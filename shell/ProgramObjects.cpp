#include "shell/ProgramObjects.h"

#include "link/PosixSerialDriver.h"
#include "shell/QuorlCollectorTabletView.h"
#include "shell/ScanView.h"
#include "sim/ScenarioLoader.h"
#include "sim/SimulatedDriver.h"
#include "siteview/SiteView.h"

namespace quorl {

ProgramObjects::ProgramObjects(std::unique_ptr<ISerialDriver> driver, IUserMessages& userMessages)
    : messages(userMessages),
      driver_(std::move(driver)),
      engine(*driver_, gps, messages),
      projection(gps, messages),
      data(engine, gps, projection, messages),
      session(*driver_, engine) {}

std::unique_ptr<ISerialDriver> ProgramObjects::MakeDriver(const CommandLineOptions& options, std::string& error) {
    switch (options.unit) {
        case CommandLineOptions::Unit::Simulated: {
            if (options.scenarioPath.empty()) return std::make_unique<sim::SimulatedDriver>();
            sim::Scenario scenario;
            if (!sim::LoadScenarioFile(options.scenarioPath, scenario, error)) return nullptr;
            return std::make_unique<sim::SimulatedDriver>(std::move(scenario));
        }
        case CommandLineOptions::Unit::Device:
            return std::make_unique<PosixSerialDriver>(options.devicePath);
        case CommandLineOptions::Unit::FirstAdapter:
            break;
    }
    return std::make_unique<PosixSerialDriver>();
}

ViewFactory ProgramObjects::Views() {
    return [this](ViewKind kind, CMainFrame& frame) -> QWidget* {
        switch (kind) {
            case ViewKind::Start:
                return new CQuorlCollectorTabletView(engine, frame, frame.Printer());
            case ViewKind::Site:
                return new CSiteView(SurveyContext{engine, gps, data, plan, projection, messages}, frame);
            case ViewKind::Scan:
                return new CScanView(engine, data, messages, frame);
        }
        return nullptr;
    };
}

}  // namespace quorl
