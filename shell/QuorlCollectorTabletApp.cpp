#include "shell/QuorlCollectorTabletApp.h"

#include <QApplication>
#include <QScreen>

#include "common/UserMessages.h"
#include "link/PosixSerialDriver.h"
#include "link/UnitAdapter.h"
#include "shell/AdapterQuestion.h"
#include "shell/AppIcons.h"
#include "shell/CommandLine.h"
#include "shell/MainFrame.h"
#include "shell/ProgramObjects.h"
#include "shell/QtUserMessages.h"

namespace quorl {

CQuorlCollectorTabletApp::CQuorlCollectorTabletApp() = default;

CQuorlCollectorTabletApp::~CQuorlCollectorTabletApp() {
    if (frame_) frame_->ShutdownLink();
}

bool CQuorlCollectorTabletApp::InitInstance(const std::vector<std::string>& arguments, std::string& error) {
    // The settings profile lives under this organisation and the title.
    QCoreApplication::setOrganizationName(QStringLiteral("Local AppWizard-Generated Applications"));
    QCoreApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORL_VERSION));
    QGuiApplication::setWindowIcon(MainIcon());

    CommandLineOptions options = ParseCommandLine(arguments);
    if (!options.error.empty()) {
        error = options.error;
        return false;
    }
    // Several adapters with the unit's bridge chip and none remembered: ask,
    // rather than take whichever sorts first. Cancelled, the first it is.
    if (options.unit == CommandLineOptions::Unit::FirstAdapter) {
        const std::vector<std::string> choices = AdapterChoices(PosixSerialDriver::kUnitLink);
        if (!choices.empty())
            if (const auto chosen = AskWhichAdapter(choices)) {
                options.unit = CommandLineOptions::Unit::Device;
                options.devicePath = *chosen;
            }
    }
    auto driver = ProgramObjects::MakeDriver(options, error);
    if (!driver) return false;

    messages_ = std::make_unique<QtUserMessages>();
    objects_ = std::make_unique<ProgramObjects>(std::move(driver), *messages_);
    frame_ = std::make_unique<CMainFrame>(objects_->engine, objects_->session, *messages_, objects_->Views());
    messages_->SetParentWindow(frame_.get());
    // Without a window manager (a kiosk session, a virtual display) nobody
    // acts on the maximise request, so the window is also given the whole
    // available screen itself.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) frame_->setGeometry(screen->availableGeometry());
    frame_->showMaximized();
    // The window first: the start-up's two waits run behind it.
    frame_->StartDevice();
    // A site that does not open has said why; the collector goes on without it.
    if (!options.sitePath.empty()) frame_->OpenSite(options.sitePath);
    return true;
}

int CQuorlCollectorTabletApp::Run() {
    const int code = QApplication::exec();
    // No more boxes: the reader thread must not wait for one on the way out.
    messages_->Close();
    frame_->ShutdownLink();
    return code;
}

}  // namespace quorl
