#pragma once
// CMainFrame: the main window. It owns the menu, tool bar and status bar,
// brings the survey unit up while it is created, polls its power status
// every five seconds, and shows one view at a time (SwitchView).
//
// Commands go first to the active view (ICommandTarget), then to the
// window's own handlers; one that nobody handles shows disabled. So the
// survey buttons work only while the site view is active and Print only
// while the start view is.

#include <QEvent>
#include <QMainWindow>
#include <QPrinter>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "shell/QuorlCollectorTabletDoc.h"
#include "siteview/ViewSwitcher.h"

class QComboBox;
class QLabel;
class QMenu;
class QStackedWidget;
class QToolBar;

namespace quorl {

class CEngine;
class CMainFrame;
class DeviceSession;
class IUserMessages;
class SiteFloors;

// Makes the view of a kind for the main window; called once per kind, the
// first time the window needs it.
using ViewFactory = std::function<QWidget*(ViewKind kind, CMainFrame& frame)>;

class CMainFrame : public QMainWindow, public IViewSwitcher {
    Q_OBJECT
public:
    static constexpr const char* kCaption = "Brantel Quorl Collector";
    static constexpr const char* kIdleText = "For Help, press F1";
    // What the engine posts after GPS reports, frame records and the start
    // of a sweep; nothing acts on it, it only wakes the event loop.
    static constexpr QEvent::Type kEngineNotifyEvent = static_cast<QEvent::Type>(QEvent::User + 1);

    // Builds the window and its bars and makes the start view; the device
    // start-up waits for StartDevice.
    CMainFrame(CEngine& engine, DeviceSession& session, IUserMessages& messages, ViewFactory views,
               QWidget* parent = nullptr);
    ~CMainFrame() override;

    void SwitchView(ViewKind kind) override;

    // Runs the device start-up (about four seconds at the program's timing)
    // on a thread of its own, with the busy cursor, and returns at once: the
    // window is shown first and stays usable meanwhile. The poll timer
    // starts when the start-up is over. Once only.
    void StartDevice();
    bool PollTimerRunning() const { return pollTimer_.isActive(); }

    ViewKind ActiveViewKind() const { return *activeKind_; }
    QWidget* ActiveView() const;
    // The view of `kind`, or null if it has not been made yet.
    QWidget* View(ViewKind kind) const;

    // The action of a menu, tool-bar or accelerator command id.
    QAction* Action(int id) const;
    QToolBar* ToolBar() const { return toolBar_; }
    // Tool bar 128's command ids, in button order.
    static const std::vector<int>& ToolBarCommands();

    // Brings every command's enabled state up to date with the active view.
    void UpdateCommandUi();
    bool IsCommandEnabled(int id) const;
    // Whether the command's button shows pressed (a mode of the active view).
    bool IsCommandChecked(int id) const;
    // Runs a command as its menu item or button would.
    void RunCommand(int id);

    CQuorlCollectorTabletDoc& Document() { return document_; }
    QPrinter& Printer() { return printer_; }

    // Stops the reader thread and closes the device, serving the calls the
    // reader thread is waiting on meanwhile, so a pending box cannot hang
    // the program on its way out.
    void ShutdownLink();

    // Opens the site file and shows its first floor; false (the user told
    // why) when it cannot be read or that floor does not load.
    bool OpenSite(const std::string& path);
    // The tool bar's floor chooser and its action (hidden without a site).
    QComboBox* FloorChooser() const { return floorBox_; }
    QAction* FloorChooserAction() const { return floorAction_; }
    // Null until a site is opened.
    SiteFloors* Floors() const { return floors_.get(); }

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void BuildActions();
    void BuildMenus();
    void BuildToolBar();
    void BuildStatusBar();
    // On the UI thread, once the start-up's second wait is over.
    void DeviceStarted();
    void UpdateIndicators();
    void About();
    void FileNew();
    // File > Open: the picked file by its kind.
    void FileOpen();
    // The chooser, the View > Floor menu and the panel follow the floor on show.
    void ShowFloors();
    void ChooseFloor(int index);
    void StepFloor(int by);

    CEngine& engine_;
    DeviceSession& session_;
    IUserMessages& messages_;
    ViewFactory makeView_;
    CQuorlCollectorTabletDoc document_;
    QPrinter printer_;

    QStackedWidget* stack_ = nullptr;
    std::map<ViewKind, QWidget*> views_;
    std::optional<ViewKind> activeKind_;

    std::map<int, QAction*> actions_;
    std::map<int, std::function<void()>> handlers_;
    QToolBar* toolBar_ = nullptr;
    QComboBox* floorBox_ = nullptr;
    QAction* floorAction_ = nullptr;
    QMenu* floorMenu_ = nullptr;
    std::unique_ptr<SiteFloors> floors_;
    QLabel* idleText_ = nullptr;
    QLabel* capsIndicator_ = nullptr;
    QLabel* numIndicator_ = nullptr;
    QLabel* scrollIndicator_ = nullptr;

    QTimer pollTimer_;   // command 10 every five seconds
    QTimer idleTimer_;   // command states and keyboard indicators
    bool linkDown_ = false;
    bool deviceStarting_ = false;  // the busy cursor is ours
};

}  // namespace quorl
