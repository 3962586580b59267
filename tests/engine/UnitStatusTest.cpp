#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "common/Timing.h"
#include "tests/engine/EngineTestSupport.h"

namespace quorl {
namespace {

using namespace test;

class UnitStatus : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // The date conversion is local at both ends; pin the zone.
        setenv("TZ", "UTC", 1);
        tzset();
    }
};

Bytes GpsReport(std::uint32_t lat, std::uint32_t lon, std::uint16_t week, std::uint32_t tow, std::uint8_t lock) {
    Bytes r(62, 0);
    WriteBe32(&r[5], lat);
    WriteBe32(&r[9], lon);
    WriteBe16(&r[29], week);
    WriteBe32(&r[31], tow);
    r[47] = lock;
    return r;
}

Bytes Power(std::uint8_t flags, std::uint16_t level, std::uint16_t a = 0, std::uint16_t b = 0) {
    Bytes p(7, 0);
    p[0] = flags;
    WriteLe16(&p[1], level);
    WriteLe16(&p[3], a);
    WriteLe16(&p[5], b);
    return p;
}

PowerStatus Apply(PowerStatus s, const Bytes& data) {
    UpdatePowerStatus(s, data.data(), static_cast<std::uint32_t>(data.size()));
    return s;
}

TEST_F(UnitStatus, GpsPositionLockAndTime) {
    GpsStatus gps;
    Bytes r = GpsReport(0x20000000, 0x40000000, 0, 0, 0xC0);
    gps.Update(r.data(), 62);
    GpsSnapshot s = gps.Snapshot();
    EXPECT_DOUBLE_EQ(s.latitude, 22.5);
    EXPECT_DOUBLE_EQ(s.longitude, 90.0);
    EXPECT_EQ(s.lock3d, 1);
    EXPECT_EQ(s.lock2d, 1);
    EXPECT_EQ(s.month, 8);
    EXPECT_EQ(s.day, 22);
    EXPECT_EQ(s.year, 1999);
    EXPECT_EQ(s.hour + s.minute + s.second, 0);
    EXPECT_EQ(gps.RawReport()[6], 0x00);
    EXPECT_EQ(gps.RawReport()[5], 0x20);

    r = GpsReport(0xE0000000, 0xC0000000, 1, 86400000, 0x40);
    gps.Update(r.data(), 62);
    s = gps.Snapshot();
    EXPECT_DOUBLE_EQ(s.latitude, -22.5);
    EXPECT_DOUBLE_EQ(s.longitude, -90.0);
    EXPECT_EQ(s.lock3d, 0);
    EXPECT_EQ(s.lock2d, 1);
    EXPECT_EQ(s.month, 8);
    EXPECT_EQ(s.day, 30);
    EXPECT_EQ(s.year, 1999);
    EXPECT_EQ(s.hour, 0);

    r = GpsReport(0, 0, 0, 45296000, 0x80);
    WriteBe16(&r[35], 7);
    WriteBe16(&r[37], 9);
    gps.Update(r.data(), 62);
    s = gps.Snapshot();
    EXPECT_EQ(s.hour, 12);
    EXPECT_EQ(s.minute, 34);
    EXPECT_EQ(s.second, 56);
    EXPECT_EQ(s.lock3d, 1);
    EXPECT_EQ(s.lock2d, 0);
    // (45296000 x 1000 + 7) x 1000 + 9, kept to 32 bits.
    EXPECT_EQ(s.fineTime, static_cast<std::uint32_t>((45296000ull * 1000 + 7) * 1000 + 9));
}

TEST_F(UnitStatus, GpsScaledValuesAndShortReports) {
    GpsStatus gps;
    Bytes r = GpsReport(0, 0, 0, 0, 0);
    r[23] = 0x01;  // s = 65535 >> 8 = 255
    r[27] = 0x02;  // s = 512 >> 8 = 2
    r[14] = 0x78;
    r[15] = 0x56;
    r[16] = 0x34;
    r[17] = 0x12;
    gps.Update(r.data(), 62);
    GpsSnapshot s = gps.Snapshot();
    EXPECT_EQ(s.scaledA, static_cast<std::uint16_t>(static_cast<int>(255 * 28.205 * 10)));  // 71922 kept to 16 bits
    EXPECT_EQ(s.scaledB, 20);
    EXPECT_EQ(s.keptField, 0x12345678u);

    // A report cut short: everything past it reads as zero.
    r = GpsReport(0x20000000, 0x40000000, 0, 45296000, 0xC0);
    gps.Update(r.data(), 9);
    s = gps.Snapshot();
    EXPECT_DOUBLE_EQ(s.latitude, 22.5);
    EXPECT_DOUBLE_EQ(s.longitude, 0.0);
    EXPECT_EQ(s.lock3d, 0);
    EXPECT_EQ(s.hour, 0);
    EXPECT_EQ(gps.RawReport()[9], 0);
}

TEST_F(UnitStatus, PowerFlagsAndSimpleLevels) {
    PowerStatus s = Apply({}, Power(0x0F, 3));
    EXPECT_EQ(s.bit0, 1);
    EXPECT_EQ(s.bit1Inverted, 0);
    EXPECT_EQ(s.bit2, 1);
    EXPECT_EQ(s.bit3, 1);
    EXPECT_EQ(s.level, 3);
    EXPECT_EQ(s.batteryLow, 0);
    EXPECT_EQ(Apply({}, Power(0x00, 0)).bit1Inverted, 1);

    // External power: never low, whatever the readings; the counter is left alone.
    PowerStatus counted;
    counted.lowCounter = 3;
    s = Apply(counted, Power(0x05, 0, 0, 0));
    EXPECT_EQ(s.batteryLow, 0);
    EXPECT_EQ(s.lowCounter, 3);

    EXPECT_EQ(Apply({}, Power(0x00, 10)).batteryLow, 1);
    EXPECT_EQ(Apply({}, Power(0x00, 16)).batteryLow, 0);
    EXPECT_EQ(Apply({}, Power(0x08, 0)).batteryLow, 1);
    EXPECT_EQ(Apply({}, Power(0x08, 1)).batteryLow, 0);
}

TEST_F(UnitStatus, PowerReadingsMustStayLowForThreeMessages) {
    PowerStatus s;
    const Bytes low = Power(0x01, 0, 3000, 400);
    s = Apply(s, low);
    EXPECT_EQ(s.scaledReadingB, 6054);
    EXPECT_EQ(s.batteryLow, 0);
    s = Apply(s, low);
    EXPECT_EQ(s.batteryLow, 0);
    s = Apply(s, low);
    EXPECT_EQ(s.batteryLow, 1);
    EXPECT_EQ(s.lowCounter, 5);

    // One good reading A in between starts the count again.
    s = {};
    s = Apply(s, low);
    s = Apply(s, low);
    s = Apply(s, Power(0x01, 0, 3250, 400));
    EXPECT_EQ(s.lowCounter, 1);
    s = Apply(s, low);
    s = Apply(s, low);
    EXPECT_EQ(s.batteryLow, 0);
    s = Apply(s, low);
    EXPECT_EQ(s.batteryLow, 1);
    // A good reading B clears everything.
    s = Apply(s, Power(0x01, 0, 3000, 430));
    EXPECT_EQ(s.batteryLow, 0);
    EXPECT_EQ(s.lowCounter, 0);
}

TEST_F(UnitStatus, HighReadingBNeverWrapsIntoLow) {
    PowerStatus s;
    for (std::uint16_t b : {4329, 4330, 5000, 8658, 65535}) {
        s = {};
        for (int i = 0; i < 4; ++i) s = Apply(s, Power(0x01, 0, 3000, b));
        EXPECT_EQ(s.batteryLow, 0) << b;
        EXPECT_GE(s.scaledReadingB, 6500) << b;
    }
    EXPECT_EQ(Apply({}, Power(0x01, 0, 0, 4330)).scaledReadingB, 65535);
    EXPECT_EQ(Apply({}, Power(0x01, 0, 0, 4329)).scaledReadingB, 65526);
}

TEST_F(UnitStatus, BatteryLowShowsBothTextsEveryTimeItDecodesLow) {
    timing::SetTimeScale(0.001);
    EngineRig rig;
    Deliver(rig.engine, kMsgPowerStatus, Power(0x04, 0));
    Deliver(rig.engine, kMsgPowerStatus, Power(0x00, 200));
    EXPECT_TRUE(rig.messages.Texts().empty());

    Deliver(rig.engine, kMsgPowerStatus, Power(0x00, 10));
    const std::vector<std::string> texts = {
        "Vorn Battery Low, Hardware Shut Down!",
        "Restart application after charging battery or connecting A/C power source."};
    EXPECT_EQ(rig.messages.Texts(), texts);
    const auto entries = rig.messages.Entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].kind, RecordingUserMessages::Kind::Plain);
    EXPECT_EQ(entries[1].kind, RecordingUserMessages::Kind::Plain);
    EXPECT_EQ(rig.engine.Power().batteryLow, 1);

    Deliver(rig.engine, kMsgPowerStatus, Power(0x08, 0));
    EXPECT_EQ(rig.messages.Texts().size(), 4u);
    EXPECT_TRUE(rig.driver.Writes().empty());
    timing::SetTimeScale(1.0);
}

TEST_F(UnitStatus, AUnitAnswersFromItsFirstFrameUntilFourPeriodsPassInSilence) {
    EngineRig rig;
    // 'f' a frame from the unit, '|' a poll tick (a new period), then whether it answers.
    const std::pair<const char*, bool> steps[] = {
        {"", false},       // nothing attached
        {"|||", false},    // polls alone are no answer
        {"f", true},
        {"|", true},
        {"||", true},      // three periods without a frame: a busy machine
        {"|", false},      // four: the cable is out
        {"ff", true},      // back
        {"|f|f|f|", true},
        {"|||", false},
        {"|f", true},
    };
    for (const auto& [events, answers] : steps) {
        for (const char* e = events; *e; ++e) {
            if (*e == 'f')
                Deliver(rig.engine, kMsgScanAck, {});
            else
                rig.engine.BeginAnswerPeriod();
        }
        EXPECT_EQ(rig.engine.UnitAnswering(), answers) << "after " << events;
    }
}

}  // namespace
}  // namespace quorl
