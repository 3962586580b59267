#pragma once
// The program's single instances, made once at start and handed by
// reference to whoever needs them: the serial driver chosen on the command
// line, the GPS status record, the engine, the site plan, projection and
// survey data, and the device session. Tests make
// their own. This is also the one place that knows which view is made from
// which objects (Views()).

#include <memory>
#include <string>

#include "engine/DeviceSession.h"
#include "engine/Engine.h"
#include "engine/GpsStatus.h"
#include "link/SerialDriver.h"
#include "shell/CommandLine.h"
#include "shell/MainFrame.h"
#include "survey/SiteData.h"
#include "survey/SitePlan.h"
#include "survey/SiteProjection.h"

namespace quorl {

class ProgramObjects {
public:
    ProgramObjects(std::unique_ptr<ISerialDriver> driver, IUserMessages& messages);
    ProgramObjects(const ProgramObjects&) = delete;
    ProgramObjects& operator=(const ProgramObjects&) = delete;

    // The driver the command line asks for; null with `error` set when it
    // cannot be made (an unreadable scenario file).
    static std::unique_ptr<ISerialDriver> MakeDriver(const CommandLineOptions& options, std::string& error);

    // The main window's views, made from these objects.
    ViewFactory Views();

    ISerialDriver& Driver() { return *driver_; }

    // Declaration order is construction order: the session, last made,
    // stops the reader thread first.
    IUserMessages& messages;
private:
    std::unique_ptr<ISerialDriver> driver_;
public:
    GpsStatus gps;
    CEngine engine;
    CSitePlan plan;
    CSiteProjection projection;
    CSiteData data;
    DeviceSession session;
};

}  // namespace quorl
