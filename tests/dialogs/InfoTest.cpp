// The survey point information dialog: the lines it lists for the selected
// point of a collection file, and how each way out answers.

#include <QApplication>
#include <QFontInfo>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>

#include "dialogs/Info.h"
#include "survey/CollectionFormat.h"
#include "tests/survey/SurveyTestSupport.h"
#include "SurveyRig.h"
#include "tests/HangGuard.h"

using namespace quorl;

namespace {

struct TestAp {
    std::uint32_t channel;
    std::int16_t signal;
    std::array<std::uint8_t, 6> mac;
    std::string ssid;
};

// A collection file holding one point and its access points; the point is
// loaded and selected. Returns the point's record offset.
std::uint32_t OnePoint(test::SurveyRig& rig, std::uint8_t kind, std::uint16_t x, std::uint16_t y,
                       const std::vector<TestAp>& aps) {
    const auto start = collection::MakeNewFileStart(0);
    test::Bytes bytes(start.begin(), start.end());
    collection::PointRecord point;
    point.kind = kind;
    point.x = x;
    point.y = y;
    point.apCount = static_cast<std::uint16_t>(aps.size());
    bytes.resize(bytes.size() + collection::kPointRecordSize);
    collection::EncodePoint(point, bytes.data() + collection::kFirstGroup);
    for (const TestAp& ap : aps) {
        collection::ApRecord record;
        record.channel = ap.channel;
        record.signal = ap.signal;
        record.mac = ap.mac;
        std::copy_n(ap.ssid.begin(), std::min<std::size_t>(ap.ssid.size(), 32), record.ssid.begin());
        const std::size_t at = bytes.size();
        bytes.resize(at + collection::kApRecordSize);
        collection::EncodeAp(record, bytes.data() + at);
    }
    const std::string path = rig.PathOf("info.ssd");
    test::WriteBytes(path, bytes);
    rig.data.SetCollectionPath(path);
    if (!rig.data.LoadCollection()) return 0;
    const CSiteData::_tap loaded = rig.data.Points().at(0);
    rig.data.FindNearestPoint(loaded.x, loaded.y);
    return collection::kFirstGroup;
}

QStringList Shown(const CInfo& dialog) {
    QStringList lines;
    for (int i = 0; i < dialog.List()->count(); ++i) lines << dialog.List()->item(i)->text();
    return lines;
}

const QString kHeading = QString::fromLatin1(CInfo::kHeading);

}  // namespace

class InfoTest : public QObject {
    Q_OBJECT
private slots:
    void pointWithoutAccessPoints_data() {
        QTest::addColumn<int>("kind");
        QTest::newRow("GPS point") << 0;
        QTest::newRow("projected tap") << 1;
        QTest::newRow("plan tap") << 2;
    }
    void pointWithoutAccessPoints() {
        QFETCH(int, kind);
        test::SurveyRig rig;
        QVERIFY(OnePoint(rig, static_cast<std::uint8_t>(kind), 123, 456, {}) != 0);
        const CSiteData::_tap point = rig.data.SelectedPoint();
        QCOMPARE(int(point.kind), kind);
        RecordingUserMessages messages;
        CInfo dialog(rig.data, messages);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Survey Point Information"));
        QCOMPARE(Shown(dialog),
                 (QStringList{QString::asprintf("X = %d          Y = %d", point.x, point.y), QString(), kHeading}));
    }

    void dynamicApMarker() {
        test::SurveyRig rig;
        QVERIFY(OnePoint(rig, CSiteData::kApMarker, 300, 400, {}) != 0);
        RecordingUserMessages messages;
        CInfo dialog(rig.data, messages);
        QCOMPARE(Shown(dialog), (QStringList{QStringLiteral("X = 300          Y = 400"), QString(),
                                             QStringLiteral("THIS POINT IS A DYNAMIC AP")}));
    }

    void accessPointLines() {
        test::SurveyRig rig;
        const std::string full(32, 'S');
        QVERIFY(OnePoint(rig, CSiteData::kPlanTap, 10, 20,
                         {{6, -1000, {0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E}, "Quorl-Office"},
                          {165, -15, {0xFF, 0xEE, 0xDD, 0xCC, 0xBB, 0xAA}, full}}) != 0);
        RecordingUserMessages messages;
        CInfo dialog(rig.data, messages);
        const QStringList lines = Shown(dialog);
        QCOMPARE(lines.size(), 7);
        QCOMPARE(lines[0], QStringLiteral("X = 10          Y = 20"));
        QCOMPARE(lines[2], kHeading);
        QCOMPARE(lines[3], QStringLiteral("06    00-0A-1B-2C-3D-4E                   -62"));
        QCOMPARE(lines[4], QStringLiteral("         Quorl-Office"));
        QCOMPARE(lines[5], QStringLiteral("165    FF-EE-DD-CC-BB-AA                   0"));
        QCOMPARE(lines[6], QStringLiteral("         ") + QString::fromStdString(full));
        // The blanks make columns only in a fixed-pitch face, and the widest
        // line fits the list without a horizontal scroll.
        QVERIFY(QFontInfo(dialog.List()->font()).fixedPitch());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog, quorl::test::kHangGuardMs));
        QListWidget* list = dialog.List();
        const int scrollBar = list->verticalScrollBar()->isVisible() ? 0 : list->verticalScrollBar()->sizeHint().width();
        QVERIFY(list->sizeHintForColumn(0) <= list->viewport()->width() - scrollBar);
        QVERIFY(dialog.rect().contains(dialog.DeleteButton()->geometry()));

        // Records that can no longer be read give empty lines, not a failure.
        std::filesystem::resize_file(rig.data.CollectionPath(), collection::kFirstGroup + collection::kPointRecordSize);
        QCOMPARE(CInfo::Lines(rig.data).mid(3), (QStringList{QString(), QString(), QString(), QString()}));
        // A file gone since the point was selected: one report, no lines.
        rig.unit.messages.Clear();
        std::filesystem::remove(rig.data.CollectionPath());
        QCOMPARE(CInfo::Lines(rig.data).size(), 3);
        QCOMPARE(rig.unit.messages.Texts().size(), std::size_t{1});
    }

    void keepingAndDeleting() {
        test::SurveyRig rig;
        const std::uint32_t offset = OnePoint(rig, CSiteData::kPlanTap, 10, 20, {});
        QVERIFY(offset != 0);
        const test::Bytes before = test::ReadBytes(rig.data.CollectionPath());
        RecordingUserMessages messages;

        // Delete answered No: the dialog stays; then Keep.
        {
            CInfo dialog(rig.data, messages);
            dialog.show();
            messages.QueueAnswer(false);
            QTest::mouseClick(dialog.DeleteButton(), Qt::LeftButton);
            QCOMPARE(messages.Texts(), std::vector<std::string>{"Delete?"});
            QVERIFY(dialog.isVisible());
            QTest::mouseClick(dialog.KeepButton(), Qt::LeftButton);
            QVERIFY(!dialog.isVisible());
            QCOMPARE(dialog.result(), CInfo::kKeep);
        }
        // Escape, the close box and Enter keep it without asking.
        const auto leave = [&](const std::function<void(CInfo&)>& how) {
            CInfo dialog(rig.data, messages);
            dialog.show();
            how(dialog);
            QVERIFY(!dialog.isVisible());
            QCOMPARE(dialog.result(), CInfo::kKeep);
        };
        messages.Clear();
        leave([](CInfo& d) { QTest::keyClick(&d, Qt::Key_Escape); });
        leave([](CInfo& d) { d.close(); });
        leave([](CInfo& d) {
            d.List()->setFocus();
            QTest::keyClick(d.List(), Qt::Key_Return);
        });
        QVERIFY(messages.Texts().empty());

        // Yes answers kDelete through the modal run; deleting is the caller's.
        messages.QueueAnswer(true);
        QTimer::singleShot(0, [] {
            auto* dialog = qobject_cast<CInfo*>(QApplication::activeModalWidget());
            if (dialog) QTest::mouseClick(dialog->DeleteButton(), Qt::LeftButton);
        });
        QCOMPARE(CInfo::Run(rig.data, messages), CInfo::kDelete);
        QCOMPARE(test::ReadBytes(rig.data.CollectionPath()), before);
        QCOMPARE(rig.data.Points().at(0).kind, CSiteData::kPlanTap);
    }
};

QTEST_MAIN(InfoTest)
#include "InfoTest.moc"
