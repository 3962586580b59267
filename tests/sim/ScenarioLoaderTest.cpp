// Scenario files: the built-in demo scenario, and bad files reported in one
// line that names the offending entry.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "sim/DefaultScenario.h"
#include "sim/ScenarioLoader.h"
#include "sim/TrackModel.h"

namespace quorl::sim {
namespace {

constexpr const char* kMinimal = R"({"access_points": [], "track": {"points": [{"lat": 47.0, "lon": 8.0}]}})";

std::string ErrorOf(const std::string& json) {
    Scenario s;
    std::string error;
    EXPECT_FALSE(ParseScenario(json, s, error)) << json;
    return error;
}

// A scenario with one access point whose fields are given by `apFields`.
std::string WithAp(const std::string& apFields) {
    return R"({"access_points": [{"mac": "00-0A-1B-2C-3D-4E", "channel": 6, "lat": 47.0, "lon": 8.0},
                                {)" + apFields + R"(}],
              "track": {"points": [{"lat": 47.0, "lon": 8.0}]}})";
}

TEST(ScenarioLoader, DefaultScenarioStandsOnTheDemoSite) {
    const Scenario s = DefaultScenario();
    EXPECT_EQ(s.firmware, "QS-2 2.14");
    EXPECT_EQ(s.serial.size(), 8u);
    ASSERT_EQ(s.accessPoints.size(), 8u);
    int on24 = 0, on5 = 0;
    for (const SimAccessPoint& ap : s.accessPoints) {
        // Inside the plan: x = (lon - 8.541) * 1e6 in 0..800, y = (47.3773 - lat) * 1.5e6 in 0..600.
        const double x = (ap.longitude - 8.541) * 1e6;
        const double y = (47.3773 - ap.latitude) * 1.5e6;
        EXPECT_TRUE(x > 0 && x < 800 && y > 0 && y < 600) << ap.ssid << " at " << x << "," << y;
        if (ap.channel == 1 || ap.channel == 6 || ap.channel == 11) ++on24;
        if (ap.channel == 36 || ap.channel == 149) ++on5;
    }
    EXPECT_EQ(on24, 6);
    EXPECT_EQ(on5, 2);

    // The walk stays inside the plan and loops.
    ASSERT_TRUE(s.track.loop);
    const TrackModel track(s.track);
    ASSERT_GT(track.Duration(), 60.0);
    for (double t = 0; t < 2 * track.Duration(); t += 3.7) {
        const GeoPoint p = track.PositionAt(t);
        EXPECT_TRUE(p.longitude > 8.541 && p.longitude < 8.5418 && p.latitude > 47.3769 && p.latitude < 47.3773)
            << "at " << t << " s";
    }
    ASSERT_EQ(s.noLock.size(), 1u);
    EXPECT_DOUBLE_EQ(s.noLock[0].duration, 20.0);
}

TEST(ScenarioLoader, SampleFileIsTheBuiltInScenario) {
    Scenario fromFile;
    std::string error;
    ASSERT_TRUE(LoadScenarioFile(std::string(QUORL_SOURCE_DIR) + "/samples/scenario-default.json", fromFile, error))
        << error;
    const Scenario builtIn = DefaultScenario();
    ASSERT_EQ(fromFile.accessPoints.size(), builtIn.accessPoints.size());
    for (std::size_t i = 0; i < builtIn.accessPoints.size(); ++i)
        EXPECT_EQ(fromFile.accessPoints[i].mac, builtIn.accessPoints[i].mac);
    EXPECT_EQ(fromFile.track.points.size(), builtIn.track.points.size());
}

TEST(ScenarioLoader, OptionalFieldsTakeDefaults) {
    Scenario s;
    std::string error;
    ASSERT_TRUE(ParseScenario(kMinimal, s, error)) << error;
    EXPECT_FALSE(s.startTime.has_value());
    EXPECT_TRUE(s.battery.empty());
    EXPECT_FALSE(s.track.loop);
    EXPECT_DOUBLE_EQ(s.track.points[0].speed, 1.2);

    ASSERT_TRUE(ParseScenario(R"({"access_points": [], "start_time": "2024-05-14T09:30:00Z",
        "track": {"points": [{"lat": 1, "lon": 2, "t": 0}, {"lat": 1.001, "lon": 2, "t": 60}]}})",
                              s, error))
        << error;
    EXPECT_EQ(s.startTime.value_or(0), 1715679000);
    EXPECT_TRUE(s.track.timed);

    std::array<std::uint8_t, 6> mac{};
    EXPECT_TRUE(ParseMac("00:0a:1B:2c:3D:4e", mac));
    EXPECT_EQ(mac, (std::array<std::uint8_t, 6>{0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E}));
    EXPECT_FALSE(ParseMac("00-0A-1B-2C-3D", mac));
    EXPECT_FALSE(ParseMac("00-0A-1B-2C-3D-4G", mac));
    EXPECT_FALSE(ParseMac("000A-1B-2C-3D-4E-", mac));
}

TEST(ScenarioLoader, BadContentNamesTheEntry) {
    EXPECT_NE(ErrorOf("{\"access_points\": [,]}").find("not valid JSON"), std::string::npos);
    EXPECT_NE(ErrorOf("{\n\"track\": \n").find("line"), std::string::npos);
    EXPECT_NE(ErrorOf(R"({"access_points": [], "altitude_m": 1e999})").find("not valid JSON"), std::string::npos);
    EXPECT_EQ(ErrorOf("[1, 2]"), "scenario: expected an object");
    EXPECT_EQ(ErrorOf(R"({"track": {"points": [{"lat": 1, "lon": 2}]}})"), "scenario: missing \"access_points\"");
    EXPECT_EQ(ErrorOf(R"({"access_points": [], "trak": {}})"), "scenario: unknown key \"trak\"");

    EXPECT_EQ(ErrorOf(WithAp(R"("mac": "00-0A-1B-2C-3D-4F", "channel": 20, "lat": 47, "lon": 8)")),
              "access_points[1].channel: expected a channel 1..14 or 36..165");
    EXPECT_EQ(ErrorOf(WithAp(R"("mac": "00-0A-1B-2C-3D-4F", "channel": "6", "lat": 47, "lon": 8)")),
              "access_points[1].channel: expected a whole number");
    EXPECT_EQ(ErrorOf(WithAp(R"("mac": "00-0A-1B-2C-3D", "channel": 6, "lat": 47, "lon": 8)")),
              "access_points[1].mac: expected six hex bytes like 00-0A-1B-2C-3D-4E");
    EXPECT_EQ(ErrorOf(WithAp(R"("mac": "00-0A-1B-2C-3D-4E", "channel": 6, "lat": 47, "lon": 8)")),
              "access_points[1].mac: the same MAC as access_points[0]");
    EXPECT_EQ(ErrorOf(WithAp(R"("mac": "00-0A-1B-2C-3D-4F", "channel": 6, "lat": 91, "lon": 8)")),
              "access_points[1].lat: expected a number from -90 to 90");
    EXPECT_EQ(ErrorOf(WithAp(R"("mac": "00-0A-1B-2C-3D-4F", "channel": 6, "lat": 47)")),
              "access_points[1]: missing \"lon\"");
    EXPECT_EQ(ErrorOf(WithAp(R"("mac": "00-0A-1B-2C-3D-4F", "channel": 6, "lat": 47, "lon": 8,
                                "ssid": "123456789012345678901234567890123")")),
              "access_points[1].ssid: expected a text of 0 to 32 bytes");
}

TEST(ScenarioLoader, BadTracksBatteryAndTimes) {
    EXPECT_EQ(ErrorOf(R"({"access_points": [], "track": {"points": []}})"),
              "track.points: at least one point is needed");
    EXPECT_EQ(ErrorOf(R"({"access_points": [], "track": {"points": [{"lat": 1, "lon": 2, "t": 5},
                                                                      {"lat": 1, "lon": 2, "t": 5}]}})"),
              "track.points[1].t: times must increase from point to point");
    EXPECT_EQ(ErrorOf(R"({"access_points": [], "track": {"points": [{"lat": 1, "lon": 2, "t": 5},
                                                                      {"lat": 1, "lon": 2}]}})"),
              "track.points[1]: missing \"t\"");
    EXPECT_EQ(ErrorOf(R"({"access_points": [], "track": {"points": [{"lat": 1, "lon": 2},
                                                                      {"lat": 1, "lon": 2, "t": 3}]}})"),
              "track.points[1]: give times (\"t\") on every point or on none");
    EXPECT_EQ(ErrorOf(R"({"access_points": [], "track": {"points": [{"lat": 1, "lon": 2, "speed": 0}]}})"),
              "track.points[0].speed: expected a number from 0.01 to 100");
    EXPECT_EQ(ErrorOf(R"({"access_points": [], "track": {"points": [{"lat": 1, "lon": 2}]},
                          "battery": [{"at": 10, "flags": 1, "level": 5}, {"at": 5, "flags": 1, "level": 5}]})"),
              "battery[1].at: phases must be in time order");
    EXPECT_EQ(ErrorOf(R"({"access_points": [], "track": {"points": [{"lat": 1, "lon": 2}]},
                          "battery": [{"at": 0, "flags": 16, "level": 5}]})"),
              "battery[0].flags: expected a whole number from 0 to 15");
    EXPECT_EQ(ErrorOf(R"({"access_points": [], "track": {"points": [{"lat": 1, "lon": 2}]},
                          "no_lock": [{"start": 0, "duration": 30, "repeat_every": 20}]})"),
              "no_lock[0].repeat_every: must be longer than the duration");
    EXPECT_EQ(ErrorOf(R"({"access_points": [], "track": {"points": [{"lat": 1, "lon": 2}]},
                          "start_time": "2024-02-30T00:00:00Z"})"),
              "start_time: expected a UTC time like \"2024-05-14T09:30:00Z\" from 1999 to 2100");
    EXPECT_EQ(ErrorOf(R"({"access_points": [], "track": {"points": [{"lat": 1, "lon": 2}]},
                          "seed": 18446744073709551615})"),
              "seed: expected a whole number from 0 to 4294967295");
}

TEST(ScenarioLoader, FilesThatCannotBeRead) {
    Scenario s;
    std::string error;
    EXPECT_FALSE(LoadScenarioFile("/nonexistent/scenario.json", s, error));
    EXPECT_EQ(error, "/nonexistent/scenario.json: cannot be opened");

    const auto dir = std::filesystem::temp_directory_path() / ("quorl-scenario-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    EXPECT_FALSE(LoadScenarioFile(dir.string(), s, error));
    EXPECT_FALSE(error.empty());

    // Oversized files are refused before anything is read into memory.
    const auto big = dir / "big.json";
    { std::ofstream(big) << "{}"; }
    std::filesystem::resize_file(big, kMaxScenarioFileBytes + 1);
    EXPECT_FALSE(LoadScenarioFile(big.string(), s, error));
    EXPECT_NE(error.find("larger than"), std::string::npos);

    const auto bad = dir / "bad.json";
    { std::ofstream(bad) << "{\"access_points\": 3}"; }
    EXPECT_FALSE(LoadScenarioFile(bad.string(), s, error));
    EXPECT_EQ(error, bad.string() + ": access_points: expected a list");
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace quorl::sim
