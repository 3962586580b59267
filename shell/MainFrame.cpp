#include "shell/MainFrame.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <algorithm>
#include <QEventLoop>
#include <QLabel>
#include <QMenuBar>
#include <QPageSetupDialog>
#include <QStackedWidget>
#include <QStatusBar>
#include <QToolBar>
#include <thread>

#include "common/Timing.h"
#include "engine/DeviceSession.h"
#include "engine/Engine.h"
#include "shell/AboutDlg.h"
#include "shell/AppIcons.h"
#include "shell/CommandIds.h"
#include "shell/FileKind.h"
#include "shell/KeyboardIndicators.h"
#include "shell/QuorlCollectorTabletView.h"
#include "siteview/CommandTarget.h"
#include "siteview/PlanFiles.h"
#include "siteview/SiteFloors.h"
#include "siteview/SurveyWorkflow.h"
#include "siteview/ViewActivation.h"

namespace quorl {

namespace {

// How often idle-time work runs: the command states and the lock keys.
constexpr int kIdleRefreshMs = 250;

}  // namespace

const std::vector<int>& CMainFrame::ToolBarCommands() {
    static const std::vector<int> commands = {
        command::kLoadProjection, command::kCollectionFile, command::kStartScanning,
        command::kStopScanning,   command::kChannelList,    command::kZoomIn,
        command::kZoomOut,        command::kPointInformation, command::kAppAbout,
        command::kCoverage,       command::kWalkingSurvey,  command::kSurveyGaps};
    return commands;
}

CMainFrame::CMainFrame(CEngine& engine, DeviceSession& session, IUserMessages& messages, ViewFactory views,
                       QWidget* parent)
    : QMainWindow(parent),
      engine_(engine),
      session_(session),
      messages_(messages),
      makeView_(std::move(views)),
      document_(messages) {
    setWindowTitle(QString::fromLatin1(kCaption));
    setWindowIcon(MainIcon());
    stack_ = new QStackedWidget(this);
    setCentralWidget(stack_);

    BuildActions();
    BuildMenus();
    BuildToolBar();
    BuildStatusBar();
    ShowFloors();
    SwitchView(ViewKind::Start);

    connect(&idleTimer_, &QTimer::timeout, this, [this] {
        UpdateCommandUi();
        UpdateIndicators();
        if (auto* start = dynamic_cast<CQuorlCollectorTabletView*>(ActiveView())) start->RefreshIdentity();
    });
    idleTimer_.start(kIdleRefreshMs);
    // Every tick asks for the power status, whatever else the timer does.
    connect(&pollTimer_, &QTimer::timeout, this, [this] { session_.Poll(); });
    UpdateIndicators();
}

CMainFrame::~CMainFrame() {
    pollTimer_.stop();
    if (deviceStarting_) QApplication::restoreOverrideCursor();
    // Normally done already (ShutdownLink); the reader must be gone before
    // the window its notifications are posted to.
    if (!linkDown_) {
        session_.Shutdown();
        engine_.SetNotifier({});
    }
}

void CMainFrame::StartDevice() {
    if (deviceStarting_ || linkDown_ || pollTimer_.isActive()) return;
    deviceStarting_ = true;
    // Busy, not wait: the window answers while the unit is brought up.
    QApplication::setOverrideCursor(Qt::BusyCursor);
    engine_.SetNotifier([this] { QCoreApplication::postEvent(this, new QEvent(kEngineNotifyEvent)); });
    // The call is dropped if the window has gone meanwhile.
    session_.StartUpInBackground(
        [this] { QMetaObject::invokeMethod(this, &CMainFrame::DeviceStarted, Qt::QueuedConnection); });
}

void CMainFrame::DeviceStarted() {
    if (linkDown_) return;
    pollTimer_.start(timing::ScaledMs(timing::kPowerPollMs));
    if (deviceStarting_) {
        deviceStarting_ = false;
        QApplication::restoreOverrideCursor();
    }
}

void CMainFrame::ShutdownLink() {
    pollTimer_.stop();
    if (deviceStarting_) {
        deviceStarting_ = false;
        QApplication::restoreOverrideCursor();
    }
    if (linkDown_) return;
    linkDown_ = true;
    // The reader may be waiting for a box on this thread: stop it from
    // another thread and keep serving queued calls until it is done.
    QEventLoop loop;
    std::thread stopper([this, &loop] {
        session_.Shutdown();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    stopper.join();
    engine_.SetNotifier({});
}

// --- commands -------------------------------------------------------------

void CMainFrame::BuildActions() {
    struct CommandEntry {
        int id;
        const char* text;
        QList<QKeySequence> keys;
        const char* statusTip;
    };
    const QList<CommandEntry> entries = {
        {command::kFileNew, "&New", {QKeySequence(Qt::CTRL | Qt::Key_N)}, "Create a new document"},
        {command::kFileOpen, "&Open...", {QKeySequence(Qt::CTRL | Qt::Key_O)},
         "Open a projection, collection or site file"},
        {command::kFileSave, "&Save", {QKeySequence(Qt::CTRL | Qt::Key_S)}, "Save the active document"},
        {command::kFileOpenSite, "Open S&ite...", {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O)},
         "Open a site file (.qsite) and choose among its floors"},
        {command::kFileSaveAs, "Save &As...", {}, "Save the active document with a new name"},
        {command::kFilePrint, "&Print...", {QKeySequence(Qt::CTRL | Qt::Key_P)}, "Print the start screen"},
        {command::kFilePrintPreview, "Print Pre&view", {}, "Display full pages"},
        {command::kFilePrintSetup, "P&rint Setup...", {}, "Change the printer and printing options"},
        {command::kAppExit, "E&xit", {}, "Quit the application"},
        {command::kEditUndo, "&Undo",
         {QKeySequence(Qt::CTRL | Qt::Key_Z), QKeySequence(Qt::ALT | Qt::Key_Backspace)}, "Undo the last action"},
        {command::kEditCut, "Cu&t",
         {QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete)},
         "Cut the selection and put it on the Clipboard"},
        {command::kEditCopy, "&Copy",
         {QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)},
         "Copy the selection and put it on the Clipboard"},
        {command::kEditPaste, "&Paste",
         {QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)},
         "Insert Clipboard contents"},
        {command::kViewToolbar, "&Toolbar", {}, "Show or hide the toolbar"},
        {command::kViewStatusBar, "&Status Bar", {}, "Show or hide the status bar"},
        {command::kHelpFinder, "&Help Topics", {}, "List Help topics"},
        {command::kAppAbout, "&About QuorlCollectorTablet...", {},
         "Display program information, version number and copyright"},
        // Accelerators without a menu item; nothing handles them.
        {command::kNextPane, "Next Pane", {QKeySequence(Qt::Key_F6)}, ""},
        {command::kPrevPane, "Previous Pane", {QKeySequence(Qt::SHIFT | Qt::Key_F6)}, ""},
        {command::kContextHelp, "Context Help", {QKeySequence(Qt::SHIFT | Qt::Key_F1)}, ""},
        {command::kHelp, "Help", {QKeySequence(Qt::Key_F1)}, ""},
    };
    for (const CommandEntry& entry : entries) {
        auto* action = new QAction(QString::fromLatin1(entry.text), this);
        action->setData(entry.id);
        action->setObjectName(QStringLiteral("command%1").arg(entry.id));
        action->setShortcuts(entry.keys);
        action->setStatusTip(QString::fromLatin1(entry.statusTip));
        actions_[entry.id] = action;
    }
    for (int i = 0; i < 8; ++i) {
        const int id = command::kLoadProjection + i;
        auto* action = new QAction(ToolBarIcon(i), QString(), this);
        action->setData(id);
        action->setObjectName(QStringLiteral("command%1").arg(id));
        actions_[id] = action;
    }
    actions_[command::kAppAbout]->setIcon(ToolBarIcon(8));

    // What each button does, for a pen user who cannot guess from a 16-pixel
    // picture: a tool tip and a status-bar prompt.
    const struct {
        int id;
        const char* name;    // the button's tool tip
        const char* prompt;  // the status bar's prompt
    } surveyButtons[] = {
        {command::kLoadProjection, "Open Projection", "Open a projection file (.lpf or .gpf) and show its site plan"},
        {command::kCollectionFile, "Collection File",
         "Choose the collection file (.ssd) that the survey points are stored in"},
        {command::kStartScanning, "Start Scanning",
         "Take a survey point at every GPS fix (GPS projection with a 3D lock)"},
        {command::kStopScanning, "Stop Scanning", "Stop automatic scanning once the point being taken is stored"},
        {command::kChannelList, "Channel List", "Choose the channels a sweep visits"},
        {command::kZoomIn, "Zoom In", "Show the site plan larger"},
        {command::kZoomOut, "Zoom Out", "Show more of the site plan"},
        {command::kPointInformation, "Point Information",
         "Tap a survey point next to see what was heard there, or to delete it"},
    };
    for (const auto& button : surveyButtons) {
        QAction* action = actions_.at(button.id);
        action->setText(QString::fromLatin1(button.name));
        action->setToolTip(QString::fromLatin1(button.name));
        action->setStatusTip(QString::fromLatin1(button.prompt));
    }
    actions_[command::kAppAbout]->setToolTip(QStringLiteral("About"));
    // The coverage layer of the site view, on and off.
    auto* coverage = new QAction(ToolBarIcon(9), QStringLiteral("&Coverage"), this);
    coverage->setData(command::kCoverage);
    coverage->setObjectName(QStringLiteral("command%1").arg(command::kCoverage));
    coverage->setCheckable(true);
    coverage->setToolTip(QStringLiteral("Coverage"));
    coverage->setStatusTip(QStringLiteral("Show or hide the signal coverage of the collection under the survey points"));
    actions_[command::kCoverage] = coverage;
    // Walking survey mode, on and off; play and stop are the scanning buttons.
    auto* walking = new QAction(ToolBarIcon(10), QStringLiteral("&Walking Survey"), this);
    walking->setData(command::kWalkingSurvey);
    walking->setObjectName(QStringLiteral("command%1").arg(command::kWalkingSurvey));
    walking->setCheckable(true);
    walking->setToolTip(QStringLiteral("Walking Survey"));
    walking->setStatusTip(QStringLiteral(
        "Walk while the unit sweeps: tap the start, press Start Scanning, tap every turn and the end, then Stop"));
    actions_[command::kWalkingSurvey] = walking;
    // The survey gaps layer, on and off, and the profile whose failures it shows.
    auto* gaps = new QAction(ToolBarIcon(11), QStringLiteral("Survey &Gaps"), this);
    gaps->setData(command::kSurveyGaps);
    gaps->setObjectName(QStringLiteral("command%1").arg(command::kSurveyGaps));
    gaps->setCheckable(true);
    gaps->setToolTip(QStringLiteral("Survey Gaps"));
    gaps->setStatusTip(QStringLiteral(
        "Show where no survey point reaches yet, and where the chosen requirement profile fails"));
    actions_[command::kSurveyGaps] = gaps;
    const struct {
        int id;
        const char* name;
        const char* prompt;
    } profiles[] = {
        {command::kGapsProfileNone, "&None", "Survey gaps show only the parts not reached yet"},
        {command::kGapsProfileVoice, "&Voice", "Survey gaps also show where signal or a second access point is below -67 dBm"},
        {command::kGapsProfileData, "&Data", "Survey gaps also show where signal is below -70 dBm or a second access point below -75 dBm"},
        {command::kGapsProfileBasic, "&Basic", "Survey gaps also show where signal is below -75 dBm"},
    };
    auto* profileGroup = new QActionGroup(this);
    for (const auto& profile : profiles) {
        auto* action = new QAction(QString::fromLatin1(profile.name), profileGroup);
        action->setData(profile.id);
        action->setObjectName(QStringLiteral("command%1").arg(profile.id));
        action->setCheckable(true);
        action->setStatusTip(QString::fromLatin1(profile.prompt));
        actions_[profile.id] = action;
    }
    // Zoom from the keyboard, and the legends over the plan.
    const struct {
        int id;
        const char* text;
        QList<QKeySequence> keys;
        const char* prompt;
    } viewCommands[] = {
        {command::kFitPlan, "&Fit Whole Plan", {QKeySequence(Qt::CTRL | Qt::Key_0)}, "Show the whole site plan"},
        {command::kActualSize, "&Actual Size", {QKeySequence(Qt::CTRL | Qt::Key_1)},
         "Show the site plan at 100 %, from its top-left corner"},
        {command::kLegends, "&Legends", {}, "Show or hide the legends of the coverage and survey gaps layers"},
        {command::kFloorUp, "Floor &Up", {QKeySequence(Qt::CTRL | Qt::Key_PageUp)},
         "Show the next floor up of the open site"},
        {command::kFloorDown, "Floor &Down", {QKeySequence(Qt::CTRL | Qt::Key_PageDown)},
         "Show the next floor down of the open site"},
    };
    for (const auto& entry : viewCommands) {
        auto* action = new QAction(QString::fromLatin1(entry.text), this);
        action->setData(entry.id);
        action->setObjectName(QStringLiteral("command%1").arg(entry.id));
        action->setShortcuts(entry.keys);
        action->setStatusTip(QString::fromLatin1(entry.prompt));
        actions_[entry.id] = action;
    }
    actions_[command::kLegends]->setCheckable(true);
    // Ctrl++ is Ctrl+Shift+= on most keyboards: both, and Ctrl+= alone.
    actions_[command::kZoomIn]->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    actions_[command::kZoomOut]->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Minus)});
    auto* undoPoint = new QAction(QStringLiteral("Undo &Last Point"), this);
    undoPoint->setData(command::kUndoLastPoint);
    undoPoint->setObjectName(QStringLiteral("command%1").arg(command::kUndoLastPoint));
    undoPoint->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    undoPoint->setStatusTip(QStringLiteral("Delete the most recent survey point taken since the collection was opened"));
    actions_[command::kUndoLastPoint] = undoPoint;
    // A menu item's tool tip says what its prompt says.
    for (const auto& [id, action] : actions_)
        if (action->icon().isNull()) action->setToolTip(action->statusTip());
    // Pressed while the mode is on.
    actions_[command::kPointInformation]->setCheckable(true);

    actions_[command::kViewToolbar]->setCheckable(true);
    actions_[command::kViewStatusBar]->setCheckable(true);

    for (const auto& [id, action] : actions_) {
        const int commandId = id;
        connect(action, &QAction::triggered, this, [this, commandId] { RunCommand(commandId); });
        // Accelerators reach the window wherever the focus is.
        addAction(action);
    }

    handlers_[command::kFileNew] = [this] { FileNew(); };
    handlers_[command::kFileOpen] = [this] { FileOpen(); };
    handlers_[command::kFileSave] = [this] { document_.Save(); };
    handlers_[command::kFileOpenSite] = [this] {
        FileDialogRequest request;
        request.open = true;
        request.defaultExtension = "qsite";
        request.filter = "Site Files (*.qsite)|*.qsite|All Files (*.*)|*.*||";
        request.mustExist = true;
        if (const auto path = messages_.ChooseFile(request)) OpenSite(*path);
    };
    handlers_[command::kFileSaveAs] = [this] { document_.SaveAs(); };
    handlers_[command::kFilePrintSetup] = [this] {
        QPageSetupDialog dialog(&printer_, this);
        dialog.exec();
    };
    handlers_[command::kAppExit] = [this] { close(); };
    handlers_[command::kFloorUp] = [this] { StepFloor(+1); };
    handlers_[command::kFloorDown] = [this] { StepFloor(-1); };
    handlers_[command::kAppAbout] = [this] { About(); };
    handlers_[command::kViewToolbar] = [this] { toolBar_->setVisible(!toolBar_->isVisible()); };
    handlers_[command::kViewStatusBar] = [this] { statusBar()->setVisible(!statusBar()->isVisible()); };
}

void CMainFrame::BuildMenus() {
    const auto add = [this](QMenu* menu, std::initializer_list<int> ids) {
        for (int id : ids) {
            if (id == 0)
                menu->addSeparator();
            else
                menu->addAction(actions_.at(id));
        }
        // Checked and enabled states as the menu opens.
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUi);
        menu->setToolTipsVisible(true);
    };
    add(menuBar()->addMenu(QStringLiteral("&File")),
        {command::kFileNew, command::kFileOpen, command::kFileOpenSite, command::kFileSave, command::kFileSaveAs, 0,
         command::kFilePrint,
         command::kFilePrintPreview, command::kFilePrintSetup, 0, command::kAppExit});
    add(menuBar()->addMenu(QStringLiteral("&Edit")),
        {command::kEditUndo, command::kUndoLastPoint, 0, command::kEditCut, command::kEditCopy, command::kEditPaste});
    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    add(view, {command::kViewToolbar, command::kViewStatusBar, 0, command::kZoomIn, command::kZoomOut,
               command::kFitPlan, command::kActualSize, 0, command::kCoverage, command::kWalkingSurvey,
               command::kSurveyGaps, command::kLegends});
    QMenu* profiles = view->addMenu(QStringLiteral("Gaps &Profile"));
    profiles->setObjectName(QStringLiteral("gapsProfileMenu"));
    profiles->menuAction()->setStatusTip(QStringLiteral("Choose the requirement profile the survey gaps check"));
    profiles->menuAction()->setToolTip(profiles->menuAction()->statusTip());
    add(profiles, {command::kGapsProfileNone, command::kGapsProfileVoice, command::kGapsProfileData,
                   command::kGapsProfileBasic});
    // The site's floors, one item each (made when a site opens), then up
    // and down a floor from the keyboard.
    floorMenu_ = view->addMenu(QStringLiteral("&Floor"));
    floorMenu_->setObjectName(QStringLiteral("floorMenu"));
    floorMenu_->menuAction()->setStatusTip(
        QStringLiteral("Choose the floor of the open site: its plan and its newest collection"));
    floorMenu_->menuAction()->setToolTip(floorMenu_->menuAction()->statusTip());
    floorMenu_->setToolTipsVisible(true);
    connect(floorMenu_, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUi);
    add(menuBar()->addMenu(QStringLiteral("&Help")), {command::kHelpFinder, 0, command::kAppAbout});
}

void CMainFrame::BuildToolBar() {
    toolBar_ = new QToolBar(QStringLiteral("Standard"), this);
    toolBar_->setObjectName(QStringLiteral("toolBar128"));
    toolBar_->setIconSize(QSize(16, 16));
    toolBar_->setAllowedAreas(Qt::AllToolBarAreas);
    for (int id : ToolBarCommands()) toolBar_->addAction(actions_.at(id));
    // The floor chooser, there only while a site is open.
    floorBox_ = new QComboBox(toolBar_);
    floorBox_->setObjectName(QStringLiteral("floorChooser"));
    floorBox_->setToolTip(QStringLiteral("Floor (View > Floor; Ctrl+Page Up and Ctrl+Page Down)"));
    floorBox_->setStatusTip(QStringLiteral("Choose the floor of the site: its plan and its newest collection"));
    floorBox_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    floorBox_->setFocusPolicy(Qt::StrongFocus);
    connect(floorBox_, &QComboBox::activated, this, &CMainFrame::ChooseFloor);
    floorAction_ = toolBar_->addWidget(floorBox_);
    floorAction_->setToolTip(floorBox_->toolTip());
    floorAction_->setStatusTip(floorBox_->statusTip());
    floorAction_->setVisible(false);
    addToolBar(Qt::TopToolBarArea, toolBar_);
}

void CMainFrame::BuildStatusBar() {
    idleText_ = new QLabel(QString::fromLatin1(kIdleText), this);
    idleText_->setObjectName(QStringLiteral("messagePane"));
    statusBar()->addWidget(idleText_, 1);
    const auto indicator = [this](const char* text, const char* name) {
        auto* label = new QLabel(QString::fromLatin1(text), this);
        label->setObjectName(QString::fromLatin1(name));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setAlignment(Qt::AlignCenter);
        // Keeps its width when the key is off and the text is blank.
        label->setMinimumWidth(label->sizeHint().width() + 8);
        statusBar()->addPermanentWidget(label);
        return label;
    };
    capsIndicator_ = indicator("CAP", "indicatorCaps");
    numIndicator_ = indicator("NUM", "indicatorNum");
    scrollIndicator_ = indicator("SCRL", "indicatorScroll");
}

void CMainFrame::UpdateIndicators() {
    const KeyboardLockState locks = QueryKeyboardLocks();
    const struct {
        QLabel* label;
        const char* text;
        bool on;
    } panes[] = {{capsIndicator_, "CAP", locks.caps}, {numIndicator_, "NUM", locks.num},
                 {scrollIndicator_, "SCRL", locks.scroll}};
    for (const auto& pane : panes) {
        if (locks.known) {
            // A lit key shows its name; an unlit one leaves the pane blank.
            pane.label->setEnabled(true);
            pane.label->setText(pane.on ? QString::fromLatin1(pane.text) : QString());
        } else {
            // The platform does not tell: the names stand greyed.
            pane.label->setEnabled(false);
            pane.label->setText(QString::fromLatin1(pane.text));
        }
    }
}

bool CMainFrame::IsCommandEnabled(int id) const {
    // Floors change only from the site view, with a site open.
    if (id == command::kFloorUp || id == command::kFloorDown)
        return floors_ && floors_->Loaded() && activeKind_ == ViewKind::Site;
    if (auto* target = dynamic_cast<ICommandTarget*>(ActiveView()); target && target->HandlesCommand(id))
        return true;
    return handlers_.count(id) != 0;
}

bool CMainFrame::IsCommandChecked(int id) const {
    const auto* target = dynamic_cast<const ICommandTarget*>(ActiveView());
    return target && target->HandlesCommand(id) && target->IsCommandChecked(id);
}

void CMainFrame::RunCommand(int id) {
    if (auto* target = dynamic_cast<ICommandTarget*>(ActiveView()); target && target->HandlesCommand(id)) {
        target->RunCommand(id);
    } else if (auto handler = handlers_.find(id); handler != handlers_.end()) {
        handler->second();
    }
    UpdateCommandUi();
}

void CMainFrame::UpdateCommandUi() {
    for (const auto& [id, action] : actions_) action->setEnabled(IsCommandEnabled(id));
    actions_.at(command::kViewToolbar)->setChecked(toolBar_ && !toolBar_->isHidden());
    actions_.at(command::kViewStatusBar)->setChecked(!statusBar()->isHidden());
    // Checked while the site view shows the layer, whichever view is active.
    bool coverage = false;
    for (const auto& [kind, view] : views_)
        if (auto* target = dynamic_cast<ICommandTarget*>(view); target && target->HandlesCommand(command::kCoverage))
            coverage = target->IsCommandChecked(command::kCoverage);
    actions_.at(command::kCoverage)->setChecked(coverage);
    // The gaps layer and its profile likewise stay with the site view.
    for (int id : {command::kSurveyGaps, command::kLegends, command::kGapsProfileNone, command::kGapsProfileVoice,
                   command::kGapsProfileData, command::kGapsProfileBasic}) {
        bool checked = false;
        for (const auto& [kind, view] : views_)
            if (auto* target = dynamic_cast<ICommandTarget*>(view); target && target->HandlesCommand(id))
                checked = target->IsCommandChecked(id);
        actions_.at(id)->setChecked(checked);
    }
    actions_.at(command::kPointInformation)->setChecked(IsCommandChecked(command::kPointInformation));
    if (floorBox_) {
        floorBox_->setEnabled(floors_ && floors_->Loaded() && activeKind_ == ViewKind::Site);
        // A projection opened by hand may have left the floor.
        const int current = floors_ ? floors_->Current() : -1;
        if (floorBox_->currentIndex() != current) floorBox_->setCurrentIndex(current);
        const QList<QAction*> items = floorMenu_->actions();
        for (int i = 0; i < items.size(); ++i)
            if (items[i]->isCheckable() && items[i]->actionGroup()) items[i]->setChecked(i == current);
    }
    actions_.at(command::kWalkingSurvey)->setChecked(IsCommandChecked(command::kWalkingSurvey));
}

QAction* CMainFrame::Action(int id) const {
    const auto found = actions_.find(id);
    return found == actions_.end() ? nullptr : found->second;
}

void CMainFrame::About() {
    CAboutDlg dialog(this);
    dialog.exec();
}

void CMainFrame::FileOpen() {
    if (!document_.Open()) return;
    const std::string& path = document_.PathName();
    const FileKind kind = KindOfFile(path);
    if (kind == FileKind::Unknown) {
        messages_.ShowPlain(UnknownFileText(path));
        return;
    }
    if (kind == FileKind::Site) {
        OpenSite(path);
        return;
    }
    // Plans and collections are the site view's.
    SwitchView(ViewKind::Site);
    auto* files = dynamic_cast<IPlanFiles*>(View(ViewKind::Site));
    if (!files) return;
    if (kind == FileKind::Projection)
        files->OpenProjectionFile(path);
    else
        files->OpenCollectionFile(path, false);
}

bool CMainFrame::OpenSite(const std::string& path) {
    SwitchView(ViewKind::Site);
    auto* files = dynamic_cast<IPlanFiles*>(View(ViewKind::Site));
    if (!files) return false;
    if (!floors_) floors_ = std::make_unique<SiteFloors>(*files, messages_);
    if (!floors_->Open(path)) {
        ShowFloors();
        return false;
    }
    // The floor the file lists first, wherever its level puts it.
    const auto order = floors_->Floors();
    const site::Floor* first = &floors_->Building().floors.front();
    const int index = static_cast<int>(std::find(order.begin(), order.end(), first) - order.begin());
    floors_->Choose(index);
    ShowFloors();
    return floors_->Current() >= 0;
}

void CMainFrame::ShowFloors() {
    const bool site = floors_ && floors_->Loaded();
    floorBox_->clear();
    floorMenu_->clear();
    if (site) {
        const auto order = floors_->Floors();
        auto* group = new QActionGroup(floorMenu_);
        for (std::size_t i = 0; i < order.size(); ++i) {
            const QString name = QString::fromStdString(order[i]->name);
            floorBox_->addItem(QStringLiteral("%1 (level %2)").arg(name).arg(order[i]->level));
            // The first nine get a digit to type.
            const QString text = i < 9 ? QStringLiteral("&%1 %2").arg(i + 1).arg(name) : name;
            QAction* item = floorMenu_->addAction(text);
            item->setCheckable(true);
            item->setChecked(static_cast<int>(i) == floors_->Current());
            item->setActionGroup(group);
            item->setStatusTip(QStringLiteral("Show floor %1: its plan and its newest collection").arg(name));
            item->setToolTip(item->statusTip());
            const int index = static_cast<int>(i);
            connect(item, &QAction::triggered, this, [this, index] { ChooseFloor(index); });
        }
        floorMenu_->addSeparator();
    }
    floorMenu_->addAction(actions_.at(command::kFloorUp));
    floorMenu_->addAction(actions_.at(command::kFloorDown));
    floorBox_->setCurrentIndex(site ? floors_->Current() : -1);
    floorAction_->setVisible(site);
    UpdateCommandUi();
}

void CMainFrame::ChooseFloor(int index) {
    if (!floors_ || !floors_->Loaded()) return;
    // The scan view sweeps a tapped point: the floor stays until it is stored.
    if (activeKind_ != ViewKind::Site) {
        messages_.ShowPlain(SurveyWorkflow::kPointBusyText);
    } else if (index != floors_->Current()) {
        floors_->Choose(index);
    }
    ShowFloors();
}

void CMainFrame::StepFloor(int by) {
    if (!floors_ || !floors_->Loaded() || floors_->Floors().empty()) return;
    const int count = static_cast<int>(floors_->Floors().size());
    const int from = floors_->Current() < 0 ? (by > 0 ? -1 : count) : floors_->Current();
    const int to = from + by;
    if (to >= 0 && to < count) ChooseFloor(to);
}

void CMainFrame::FileNew() {
    // The document starts again; the views redraw but stay as they are, so
    // the start view does not come back.
    document_.OnNewDocument();
    for (const auto& [kind, view] : views_) view->update();
}

// --- views ----------------------------------------------------------------

QWidget* CMainFrame::ActiveView() const { return activeKind_ ? View(*activeKind_) : nullptr; }

QWidget* CMainFrame::View(ViewKind kind) const {
    const auto found = views_.find(kind);
    return found == views_.end() ? nullptr : found->second;
}

void CMainFrame::SwitchView(ViewKind kind) {
    if (activeKind_ && *activeKind_ == kind) return;
    QWidget* target = View(kind);
    if (!target) {
        target = makeView_ ? makeView_(kind, *this) : nullptr;
        if (!target) return;
        stack_->addWidget(target);
        views_[kind] = target;
    }
    QWidget* old = ActiveView();
    if (auto* activation = dynamic_cast<IViewActivation*>(old)) activation->OnActivateView(false);
    activeKind_ = kind;
    if (auto* activation = dynamic_cast<IViewActivation*>(target)) activation->OnActivateView(true);
    // Shows the target and hides the old view.
    stack_->setCurrentWidget(target);
    target->setFocus();
    target->update();
    UpdateCommandUi();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    // The document is never modified: nothing to ask.
    event->accept();
}

void CMainFrame::changeEvent(QEvent* event) {
    // The window became active again: the active view hears so, as it does
    // when it is switched to (the scan view restarts its timer).
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        if (auto* activation = dynamic_cast<IViewActivation*>(ActiveView())) activation->OnActivateView(true);
    }
    QMainWindow::changeEvent(event);
}

}  // namespace quorl
