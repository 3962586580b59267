#pragma once
// CQuorlCollectorTabletApp: the program from its command line to its end.

#include <memory>
#include <string>
#include <vector>

namespace quorl {

class CMainFrame;
class ProgramObjects;
class QtUserMessages;

class CQuorlCollectorTabletApp {
public:
    // A QApplication must exist.
    CQuorlCollectorTabletApp();
    ~CQuorlCollectorTabletApp();

    // Reads the command line (the arguments after the program name), makes
    // the program's objects and the main window (which brings the unit up)
    // and shows it maximised. False, with `error` set, when the command line
    // is not understood.
    bool InitInstance(const std::vector<std::string>& arguments, std::string& error);

    // Runs the event loop, then stops the link; returns the exit code.
    int Run();

private:
    std::unique_ptr<QtUserMessages> messages_;
    std::unique_ptr<ProgramObjects> objects_;
    std::unique_ptr<CMainFrame> frame_;
};

}  // namespace quorl
