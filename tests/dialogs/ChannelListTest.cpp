// The channel list dialog: the plan it opens on, its layout, the tick
// buttons, "Ok" handing the ticks to the engine, and every other way out
// leaving the plan alone.

#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>

#include "dialogs/ChannelList.h"
#include "SurveyRig.h"

using namespace quorl;

namespace {

// Channels of the engine's plan, in plan order.
std::vector<int> Plan(const CEngine& engine) {
    std::vector<int> channels;
    for (int i = 1; i <= engine.ChannelCount(); ++i)
        channels.push_back(FrequencyToChannel(static_cast<std::uint32_t>(engine.FrequencyAt(i))));
    return channels;
}

// Ticked channels of the dialog, BG first, then A/H in table order.
std::vector<int> Ticked(const CChannelList& dialog) {
    std::vector<int> channels;
    for (int ch = 1; ch <= 14; ++ch)
        if (dialog.BgBox(ch)->isChecked()) channels.push_back(ch);
    for (int k = 1; k <= 24; ++k)
        if (dialog.AhBox(k)->isChecked()) channels.push_back(kAhChannels[static_cast<std::size_t>(k - 1)]);
    return channels;
}

void Click(CChannelList& dialog, int id) { QTest::mouseClick(dialog.Button(id), Qt::LeftButton); }

void Set(CChannelList& dialog, const std::vector<int>& channels) {
    Click(dialog, CChannelList::kClearAllBg);
    Click(dialog, CChannelList::kClearAllAh);
    for (int ch : channels) {
        if (ch <= 14) {
            dialog.BgBox(ch)->setChecked(true);
        } else {
            const auto at = std::find(kAhChannels.begin(), kAhChannels.end(), ch);
            dialog.AhBox(static_cast<int>(at - kAhChannels.begin()) + 1)->setChecked(true);
        }
    }
}

const std::vector<int> kAllBg = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};

}  // namespace

class ChannelListTest : public QObject {
    Q_OBJECT
private slots:
    void opensOnTheEnginesPlanInItsLayout() {
        test::EngineRig rig;
        RecordingUserMessages messages;
        CChannelList dialog(rig.engine, messages);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Channel List"));
        // Before any "Ok": the start-up plan of BG 1 to 14.
        QCOMPARE(Ticked(dialog), kAllBg);

        const int w = dialog.ClientWidth();
        const int c = w / 5;
        QVERIFY(w >= 270);
        QCOMPARE(dialog.BgBox(1)->geometry(), QRect(5, 30, c, 15));
        QCOMPARE(dialog.BgBox(7)->geometry(), QRect(c + 5, 45, c, 15));
        QCOMPARE(dialog.BgBox(14)->geometry(), QRect(3 * c + 5, 60, c, 15));
        QCOMPARE(dialog.AhBox(6)->text(), QStringLiteral("56"));
        QCOMPARE(dialog.AhBox(6)->geometry(), QRect(5, 125, c, 15));
        QCOMPARE(dialog.AhBox(24)->text(), QStringLiteral("165"));
        QCOMPARE(dialog.AhBox(24)->geometry(), QRect(3 * c + 5, 170, c, 15));
        QCOMPARE(dialog.Button(CChannelList::kUniiH)->geometry(), QRect(4 * w / 5, 190, w - 4 * w / 5, 20));
        QCOMPARE(dialog.Button(CChannelList::kOkButton)->geometry(), QRect(10, 240, w / 2 - 20, 20));
        QCOMPARE(dialog.Button(CChannelList::kCancelButton)->text(), QStringLiteral("Cancel"));
        // Every button lies inside the client area, and every box starts in
        // it (the last column's boxes reach 5 pixels past the edge).
        for (int id = CChannelList::kSelectAllBg; id <= CChannelList::kCancelButton; ++id)
            QVERIFY(dialog.rect().contains(dialog.Button(id)->geometry()));
        for (QCheckBox* box : dialog.findChildren<QCheckBox*>()) {
            QVERIFY(dialog.rect().contains(box->geometry().topLeft()));
            QVERIFY(box->geometry().bottom() < dialog.height());
        }
    }

    void okHandsTheTicksToTheEngine() {
        test::EngineRig rig;
        RecordingUserMessages messages;
        {
            CChannelList dialog(rig.engine, messages);
            dialog.show();
            Set(dialog, {1, 6, 11, 36, 165});
            Click(dialog, CChannelList::kOkButton);
            QVERIFY(!dialog.isVisible());
            QCOMPARE(dialog.result(), CChannelList::kOk);
        }
        QCOMPARE(Plan(rig.engine), (std::vector<int>{1, 6, 11, 36, 165}));
        QCOMPARE(rig.engine.FrequencyAt(5), 29125);
        // Reopened, it shows exactly those five.
        CChannelList again(rig.engine, messages);
        QCOMPARE(Ticked(again), (std::vector<int>{1, 6, 11, 36, 165}));
        QVERIFY(messages.Texts().empty());
    }

    void tickButtonsOnlyAddTicks() {
        test::EngineRig rig;
        RecordingUserMessages messages;
        CChannelList dialog(rig.engine, messages);
        Click(dialog, CChannelList::kAllA);
        const std::vector<int> allA = {1,  2,  3,  4,  5,  6,  7,   8,   9,   10,  11,  12, 13,
                                       14, 36, 40, 44, 48, 52, 56, 60, 64, 149, 153, 157, 161};
        QCOMPARE(Ticked(dialog), allA);
        // UNII-M lies inside All A; 165 is never ticked by a button.
        Click(dialog, CChannelList::kUniiM);
        QCOMPARE(Ticked(dialog), allA);
        QVERIFY(!dialog.AhBox(24)->isChecked());

        // Clearing one group leaves the other alone.
        Click(dialog, CChannelList::kClearAllBg);
        QCOMPARE(Ticked(dialog), (std::vector<int>(allA.begin() + 14, allA.end())));
        Click(dialog, CChannelList::kSelectAllBg);
        Click(dialog, CChannelList::kClearAllAh);
        QCOMPARE(Ticked(dialog), kAllBg);

        Click(dialog, CChannelList::kClearAllBg);
        Click(dialog, CChannelList::kUniiL);
        QCOMPARE(Ticked(dialog), (std::vector<int>{36, 40, 44, 48}));
        Click(dialog, CChannelList::kUniiH);
        QCOMPARE(Ticked(dialog), (std::vector<int>{36, 40, 44, 48, 149, 153, 157, 161}));
        Click(dialog, CChannelList::kClearAllAh);
        Click(dialog, CChannelList::kAllH);
        QCOMPARE(Ticked(dialog), (std::vector<int>{100, 104, 108, 112, 116, 120, 124, 128, 132, 136, 140}));
        // Ticking by hand, and a button keeps what was ticked by hand.
        dialog.AhBox(24)->click();
        Click(dialog, CChannelList::kUniiL);
        QVERIFY(dialog.AhBox(24)->isChecked());
        QCOMPARE(rig.engine.ChannelCount(), 14);  // nothing applied yet
    }

    void leavingAnyOtherWayKeepsThePlan() {
        test::EngineRig rig;
        RecordingUserMessages messages;
        const std::vector<int> before = Plan(rig.engine);
        const auto leave = [&](const std::function<void(CChannelList&)>& how, int expected) {
            CChannelList dialog(rig.engine, messages);
            dialog.show();
            Set(dialog, {3, 100});
            how(dialog);
            QVERIFY(!dialog.isVisible());
            QCOMPARE(dialog.result(), expected);
            QCOMPARE(Plan(rig.engine), before);
        };
        leave([](CChannelList& d) { Click(d, CChannelList::kCancelButton); }, CChannelList::kCancel);
        leave([](CChannelList& d) { QTest::keyClick(&d, Qt::Key_Escape); }, CChannelList::kCancel);
        leave([](CChannelList& d) { d.close(); }, CChannelList::kCancel);
        // Enter while a check box has the focus: the dialog's own OK.
        leave(
            [](CChannelList& d) {
                d.BgBox(3)->setFocus();
                QTest::keyClick(d.BgBox(3), Qt::Key_Return);
            },
            CChannelList::kEnter);
        QVERIFY(messages.Texts().empty());

        // Enter on a focused push button is that button.
        CChannelList dialog(rig.engine, messages);
        dialog.show();
        Set(dialog, {3, 100});
        dialog.Button(CChannelList::kOkButton)->setFocus();
        QTest::keyClick(dialog.Button(CChannelList::kOkButton), Qt::Key_Return);
        QCOMPARE(dialog.result(), CChannelList::kOk);
        QCOMPARE(Plan(rig.engine), (std::vector<int>{3, 100}));
    }

    void okWithNothingTickedIsRefused() {
        test::EngineRig rig;
        RecordingUserMessages messages;
        CChannelList dialog(rig.engine, messages);
        dialog.show();
        Click(dialog, CChannelList::kClearAllBg);
        Click(dialog, CChannelList::kClearAllAh);
        Click(dialog, CChannelList::kOkButton);
        QCOMPARE(messages.Texts(), std::vector<std::string>{CChannelList::kNoChannelText});
        QVERIFY(dialog.isVisible());
        QCOMPARE(rig.engine.ChannelCount(), 14);

        dialog.AhBox(1)->click();
        Click(dialog, CChannelList::kOkButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(Plan(rig.engine), std::vector<int>{36});
    }

    void runsModally() {
        test::EngineRig rig;
        RecordingUserMessages messages;
        CChannelList dialog(rig.engine, messages);
        QTimer::singleShot(0, &dialog, [&dialog] {
            dialog.AhBox(20)->setChecked(true);
            QTest::mouseClick(dialog.Button(CChannelList::kOkButton), Qt::LeftButton);
        });
        QCOMPARE(dialog.exec(), CChannelList::kOk);
        QCOMPARE(rig.engine.ChannelCount(), 15);
        QCOMPARE(Plan(rig.engine).back(), 149);
    }
};

QTEST_MAIN(ChannelListTest)
#include "ChannelListTest.moc"
