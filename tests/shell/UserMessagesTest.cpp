// Boxes from the reader thread: shown on the UI thread, in order, while the
// reader waits; the program can still shut down with one pending. Also the
// translation of file dialog filters.

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QThread>
#include <atomic>
#include <thread>

#include "common/Timing.h"
#include "engine/DeviceSession.h"
#include "engine/Engine.h"
#include "link/Protocol.h"
#include "shell/FileFilter.h"
#include "shell/MainFrame.h"
#include "shell/QtUserMessages.h"
#include "ShellTestSupport.h"
#include "tests/HangGuard.h"

using namespace quorl;

namespace {

// QtUserMessages with the boxes replaced by a record of what would show.
class ScriptedBoxes : public QtUserMessages {
public:
    struct Shown {
        QString text;
        bool onUiThread;
        std::string firmwareMeanwhile;  // the engine's text while the box is up
    };

    CEngine* engine = nullptr;
    int holdMs = 0;  // how long each box stays up
    bool answer = true;
    std::vector<Shown> shown;

protected:
    void PresentPlain(const QString& text) override { Record(text); }
    void PresentInfo(const QString& text) override { Record(text); }
    bool PresentQuestion(const QString& text) override {
        Record(text);
        return answer;
    }
    std::optional<std::string> PresentFileDialog(const FileDialogRequest& request) override {
        Record(QString::fromStdString(request.initialName));
        return "/tmp/" + request.initialName;
    }

private:
    void Record(const QString& text) {
        const bool ui = QThread::currentThread() == qApp->thread();
        if (holdMs > 0) QTest::qWait(holdMs);
        shown.push_back({text, ui, engine ? engine->FirmwareText() : std::string()});
    }
};

// Flags 0x00 with level 10: battery low on the first message.
const std::vector<std::uint8_t> kLowPower = {0x00, 10, 0, 0, 0, 0, 0};
const std::vector<std::uint8_t> kFirmware = {'9', '.', '9', 0};

}  // namespace

class UserMessagesTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { timing::SetTimeScale(0.01); }

    void batteryLowBoxesShowOnTheUiThreadWhileTheReaderWaits() {
        test::ScriptedDriver unit;
        GpsStatus gps;
        ScriptedBoxes boxes;
        CEngine engine(unit, gps, boxes);
        boxes.engine = &engine;
        boxes.holdMs = 100;
        DeviceSession session(unit, engine);
        session.StartUp();
        // The firmware message queued behind the power status is decoded
        // only after both boxes are gone.
        unit.Say(kMsgPowerStatus, kLowPower);
        unit.Say(kMsgFirmware, kFirmware);

        QTRY_COMPARE_WITH_TIMEOUT(boxes.shown.size(), std::size_t{2}, quorl::test::kHangGuardMs);
        QCOMPARE(boxes.shown[0].text, QString("Vorn Battery Low, Hardware Shut Down!"));
        QCOMPARE(boxes.shown[1].text,
                 QString("Restart application after charging battery or connecting A/C power source."));
        for (const auto& box : boxes.shown) {
            QVERIFY(box.onUiThread);
            QCOMPARE(box.firmwareMeanwhile, std::string("0.00"));
        }
        QTRY_COMPARE_WITH_TIMEOUT(engine.FirmwareText(), std::string("9.9"), quorl::test::kHangGuardMs);

        // A later low status shows both again.
        unit.Say(kMsgPowerStatus, kLowPower);
        QTRY_COMPARE_WITH_TIMEOUT(boxes.shown.size(), std::size_t{4}, quorl::test::kHangGuardMs);
        session.Shutdown();
    }

    void callsOnTheUiThreadShowDirectly() {
        ScriptedBoxes boxes;
        boxes.answer = true;
        boxes.ShowPlain("plain");
        QVERIFY(boxes.AskYesNo("question"));
        boxes.ShowInfo("info");
        FileDialogRequest request;
        request.initialName = "DEFAULT";
        QCOMPARE(boxes.ChooseFile(request), std::optional<std::string>("/tmp/DEFAULT"));
        QCOMPARE(boxes.shown.size(), std::size_t{4});
        QVERIFY(boxes.shown[0].onUiThread);

        // From another thread the answers come back to the caller.
        bool yes = false;
        std::optional<std::string> file;
        std::atomic<bool> done{false};
        std::thread caller([&] {
            yes = boxes.AskYesNo("from reader");
            file = boxes.ChooseFile(request);
            done = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(done.load(), quorl::test::kHangGuardMs);
        caller.join();
        QVERIFY(yes);
        QCOMPARE(file, std::optional<std::string>("/tmp/DEFAULT"));
        QCOMPARE(boxes.shown.size(), std::size_t{6});
        QVERIFY(boxes.shown[4].onUiThread);
    }

    void closedMessagesAnswerAtOnce() {
        ScriptedBoxes boxes;
        boxes.Close();
        std::atomic<bool> done{false};
        bool yes = true;
        std::optional<std::string> file("unset");
        std::thread caller([&] {
            boxes.ShowPlain("never shown");
            yes = boxes.AskYesNo("never asked");
            file = boxes.ChooseFile({});
            done = true;
        });
        caller.join();  // no event loop needed: nothing waits for the UI
        QVERIFY(done.load());
        QVERIFY(!yes);
        QCOMPARE(file, std::nullopt);
        QVERIFY(boxes.shown.empty());
    }

    void shutdownWithABoxPending() {
        // The reader posts a box while the UI thread is busy elsewhere; the
        // program then closes. Shutting the link down must not hang.
        auto unit = std::make_unique<test::ScriptedDriver>();
        GpsStatus gps;
        ScriptedBoxes boxes;
        CEngine engine(*unit, gps, boxes);
        DeviceSession session(*unit, engine);
        CMainFrame frame(engine, session, boxes, [](ViewKind, CMainFrame&) { return new QWidget; });
        frame.StartDevice();
        QTRY_VERIFY_WITH_TIMEOUT(session.StartedUp(), quorl::test::kHangGuardMs);
        unit->Say(kMsgPowerStatus, kLowPower);
        // Long enough (unserved) for the reader to reach the box.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        boxes.Close();
        frame.ShutdownLink();
        QVERIFY(boxes.shown.empty());
    }

    // The question before a choice can be backed out of: Escape and the
    // close box are not No.
    void escapableQuestion_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("answer");
        QTest::newRow("Escape") << "escape" << int(IUserMessages::Answer::Escaped);
        QTest::newRow("close box") << "close" << int(IUserMessages::Answer::Escaped);
        QTest::newRow("Yes") << "yes" << int(IUserMessages::Answer::Yes);
        QTest::newRow("No") << "no" << int(IUserMessages::Answer::No);
    }

    void escapableQuestion() {
        QFETCH(QString, how);
        QFETCH(int, answer);
        QtUserMessages messages;
        QStringList buttons;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            for (QAbstractButton* button : box->buttons())
                if (button->isVisible()) buttons << button->text().remove('&');
            if (how == "escape")
                QTest::keyClick(box, Qt::Key_Escape);
            else if (how == "close")
                box->close();
            else
                box->button(how == "yes" ? QMessageBox::Yes : QMessageBox::No)->click();
        });
        QCOMPARE(int(messages.Ask("Open?")), answer);
        buttons.sort();
        QCOMPARE(buttons, (QStringList{"No", "Yes"}));
    }

    // The collection file's save dialog, as the collector asks for it: Enter
    // on the proposed "Data" next to yesterday's Data.ssd asks first.
    void replacingAnExistingSurveyIsAsked() {
        QTemporaryDir dir;
        QFile old(dir.filePath("Data.ssd"));
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("yesterday") == 9);
        old.close();
        FileDialogRequest request;
        request.open = false;
        request.defaultExtension = "ssd";
        request.initialName = "Data";
        request.filter = "Data Files (*.ssd)|*.ssd|All Files (*.*)|*.*||";
        request.mustExist = false;
        request.confirmOverwrite = true;
        QtUserMessages messages;
        for (const auto reply : {QMessageBox::No, QMessageBox::Yes}) {
            QString asked;
            QTimer::singleShot(0, [&] {
                auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                if (!dialog) return;
                // Where the user left it last time: beside yesterday's file.
                dialog->setDirectory(dir.path());
                QTimer::singleShot(0, [&] {
                    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                    if (!box) return;
                    asked = box->text();
                    box->button(reply)->click();
                });
                QTest::keyClick(dialog, Qt::Key_Return);
                if (dialog->isVisible()) dialog->reject();
            });
            const auto chosen = messages.ChooseFile(request);
            QVERIFY2(asked.contains("Data.ssd already exists"), qPrintable(asked));
            if (reply == QMessageBox::No)
                QCOMPARE(chosen, std::nullopt);
            else
                QCOMPARE(QFileInfo(QString::fromStdString(chosen.value())).fileName(), QString("Data.ssd"));
        }
    }

    void fileFilters_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("qt");
        QTest::newRow("projections")
            << "Linear Projection Files (*.lpf)|*.lpf|GPS Projection Files (*.gpf)|*.gpf|All Files (*.*)|*.*||"
            << "Linear Projection Files (*.lpf);;GPS Projection Files (*.gpf);;All Files (*)";
        QTest::newRow("data") << "Data Files (*.ssd)|*.ssd|All Files (*.*)|*.*||"
                              << "Data Files (*.ssd);;All Files (*)";
        QTest::newRow("name without patterns") << "Images|*.bmp;*.png||" << "Images (*.bmp *.png)";
        QTest::newRow("patterns differ from name") << "Plans (*.x)|*.lpf||" << "Plans (*.lpf)";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("dangling name") << "Broken" << "";
        QTest::newRow("empty pair skipped") << "|*.a|Real|*.b||" << "Real (*.b)";
    }

    void fileFilters() {
        QFETCH(QString, filter);
        QFETCH(QString, qt);
        QCOMPARE(QString::fromStdString(ToQtFileFilter(filter.toStdString())), qt);
    }
};

QTEST_MAIN(UserMessagesTest)
#include "UserMessagesTest.moc"
