// The whole program object: command line to event loop to an orderly end.

#include <QApplication>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include "common/Timing.h"
#include "shell/MainFrame.h"
#include "shell/QuorlCollectorTabletApp.h"
#include "shell/QuorlCollectorTabletView.h"

using namespace quorl;

class AppTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { timing::SetTimeScale(0.01); }

    void runsOnTheSimulatedUnitAndEndsWhenClosed() {
        CQuorlCollectorTabletApp app;
        std::string error;
        QVERIFY(app.InitInstance({"--simulate"}, error));
        QVERIFY(error.empty());
        QCOMPARE(QSettings().organizationName(), QString("Local AppWizard-Generated Applications"));
        QCOMPARE(QSettings().applicationName(), QString("QuorlCollectorTablet"));

        CMainFrame* frame = nullptr;
        for (QWidget* window : QApplication::topLevelWidgets())
            if (auto* found = qobject_cast<CMainFrame*>(window)) frame = found;
        QVERIFY(frame);
        QVERIFY(frame->isVisible());
        QVERIFY(frame->windowState() & Qt::WindowMaximized);
        auto* start = qobject_cast<CQuorlCollectorTabletView*>(frame->ActiveView());
        QVERIFY(start);

        // Close once the unit has told who it is.
        QTimer poll;
        bool identified = false;
        connect(&poll, &QTimer::timeout, frame, [&] {
            if (start->SerialLine() != "(SN XXXXXX)") {
                identified = true;
                frame->close();
            }
        });
        poll.start(20);
        QTimer::singleShot(20000, frame, &QWidget::close);  // never hang
        QCOMPARE(app.Run(), 0);
        QVERIFY(identified);
    }

    void refusesACommandLineItCannotUse() {
        CQuorlCollectorTabletApp app;
        std::string error;
        QVERIFY(!app.InitInstance({"--simulate", "--device", "/dev/null"}, error));
        QVERIFY(!error.empty());
        error.clear();
        QVERIFY(!app.InitInstance({"--simulate=" QUORL_SOURCE_DIR "/no-such-scenario.json"}, error));
        QVERIFY(!error.empty());
    }
};

QTEST_MAIN(AppTest)
#include "AppTest.moc"
