#include "ScenarioLoader.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <initializer_list>
#include <limits>
#include <sstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <nlohmann/json.hpp>

#include "common/FileErrors.h"
#include "common/RegularFile.h"

namespace quorl::sim {

namespace {

using nlohmann::json;

constexpr std::size_t kMaxAccessPoints = 4096;
constexpr std::size_t kMaxTrackPoints = 100000;
constexpr std::size_t kMaxListEntries = 10000;

// Walks one JSON document, keeping the first error; every getter returns a
// harmless default once an error is recorded, so the caller checks once at
// the end of each block.
class Reader {
public:
    bool Ok() const { return error_.empty(); }
    const std::string& Error() const { return error_; }

    void Fail(const std::string& where, const std::string& what) {
        if (error_.empty()) error_ = (where.empty() ? std::string("scenario") : where) + ": " + what;
    }

    bool ExpectObject(const json& value, const std::string& where) {
        if (!value.is_object()) Fail(where, "expected an object");
        return Ok();
    }

    // Refuses keys outside `allowed`, so that a misspelt key is noticed.
    void OnlyKeys(const json& object, const std::string& where, std::initializer_list<const char*> allowed) {
        for (auto it = object.begin(); it != object.end(); ++it) {
            const bool known = std::any_of(allowed.begin(), allowed.end(),
                                           [&](const char* key) { return it.key() == key; });
            if (!known) Fail(where, "unknown key \"" + it.key() + "\"");
        }
    }

    const json* Find(const json& object, const char* key, const std::string& where, bool required) {
        auto it = object.find(key);
        if (it == object.end()) {
            if (required) Fail(where, std::string("missing \"") + key + "\"");
            return nullptr;
        }
        return &*it;
    }

    double Number(const json& object, const char* key, const std::string& where, double lo, double hi,
                  std::optional<double> fallback) {
        const json* value = Find(object, key, where, !fallback.has_value());
        if (!value) return fallback.value_or(0.0);
        const std::string path = Join(where, key);
        if (!value->is_number()) {
            Fail(path, "expected a number");
            return lo;
        }
        const double v = value->get<double>();
        if (!std::isfinite(v) || v < lo || v > hi) {
            Fail(path, "expected a number from " + Format(lo) + " to " + Format(hi));
            return lo;
        }
        return v;
    }

    std::int64_t Integer(const json& object, const char* key, const std::string& where, std::int64_t lo,
                         std::int64_t hi, std::optional<std::int64_t> fallback) {
        const json* value = Find(object, key, where, !fallback.has_value());
        if (!value) return fallback.value_or(0);
        const std::string path = Join(where, key);
        if (!value->is_number_integer()) {
            Fail(path, "expected a whole number");
            return lo;
        }
        // Unsigned values above the signed range are out of every range we accept.
        if (value->is_number_unsigned() &&
            value->get<std::uint64_t>() > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            Fail(path, "expected a whole number from " + std::to_string(lo) + " to " + std::to_string(hi));
            return lo;
        }
        const std::int64_t v = value->get<std::int64_t>();
        if (v < lo || v > hi) {
            Fail(path, "expected a whole number from " + std::to_string(lo) + " to " + std::to_string(hi));
            return lo;
        }
        return v;
    }

    std::string Text(const json& object, const char* key, const std::string& where, std::size_t minLength,
                     std::size_t maxLength, std::optional<std::string> fallback) {
        const json* value = Find(object, key, where, !fallback.has_value());
        if (!value) return fallback.value_or(std::string());
        const std::string path = Join(where, key);
        if (!value->is_string()) {
            Fail(path, "expected a text");
            return {};
        }
        std::string text = value->get<std::string>();
        if (text.size() < minLength || text.size() > maxLength) {
            Fail(path, "expected a text of " + std::to_string(minLength) + " to " + std::to_string(maxLength) +
                           " bytes");
            return {};
        }
        if (text.find('\0') != std::string::npos) {
            Fail(path, "a NUL character is not allowed");
            return {};
        }
        return text;
    }

    bool Flag(const json& object, const char* key, const std::string& where, bool fallback) {
        const json* value = Find(object, key, where, false);
        if (!value) return fallback;
        if (!value->is_boolean()) {
            Fail(Join(where, key), "expected true or false");
            return fallback;
        }
        return value->get<bool>();
    }

    // An array of at most `maxCount` entries, or nullptr when absent and optional.
    const json* Array(const json& object, const char* key, const std::string& where, bool required,
                      std::size_t maxCount) {
        const json* value = Find(object, key, where, required);
        if (!value) return nullptr;
        if (!value->is_array()) {
            Fail(Join(where, key), "expected a list");
            return nullptr;
        }
        if (value->size() > maxCount) {
            Fail(Join(where, key), "more than " + std::to_string(maxCount) + " entries");
            return nullptr;
        }
        return value;
    }

    static std::string Join(const std::string& where, const char* key) {
        return where.empty() ? std::string(key) : where + "." + key;
    }
    static std::string Item(const char* list, std::size_t index) {
        return std::string(list) + "[" + std::to_string(index) + "]";
    }

private:
    static std::string Format(double v) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%g", v);
        return buffer;
    }

    std::string error_;
};

bool ValidChannel(std::int64_t channel) { return (channel >= 1 && channel <= 14) || (channel >= 36 && channel <= 165); }

// "YYYY-MM-DDTHH:MM:SSZ" as Unix seconds.
bool ParseUtcTime(const std::string& text, std::int64_t& seconds) {
    int year, month, day, hour, minute, second;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &year, &month, &day, &hour, &minute, &second,
                    &tail) != 7 ||
        tail != 'Z' || text.size() != 20)
        return false;
    if (year < 1999 || year > 2100 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 ||
        minute > 59 || second > 59)
        return false;
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    const std::time_t t = timegm(&tm);
    if (t == static_cast<std::time_t>(-1) || tm.tm_mday != day) return false;  // 31 February and the like
    seconds = static_cast<std::int64_t>(t);
    return true;
}

void ReadAccessPoints(Reader& r, const json& root, Scenario& s) {
    const json* list = r.Array(root, "access_points", "", true, kMaxAccessPoints);
    if (!list) return;
    for (std::size_t i = 0; i < list->size() && r.Ok(); ++i) {
        const json& item = (*list)[i];
        const std::string where = Reader::Item("access_points", i);
        if (!r.ExpectObject(item, where)) return;
        r.OnlyKeys(item, where, {"mac", "ssid", "channel", "lat", "lon", "tx_power_dbm"});
        SimAccessPoint ap;
        const std::string mac = r.Text(item, "mac", where, 1, 64, std::nullopt);
        if (r.Ok() && !ParseMac(mac, ap.mac)) r.Fail(where + ".mac", "expected six hex bytes like 00-0A-1B-2C-3D-4E");
        ap.ssid = r.Text(item, "ssid", where, 0, 32, std::string());
        ap.channel = static_cast<int>(r.Integer(item, "channel", where, 1, 165, std::nullopt));
        if (r.Ok() && !ValidChannel(ap.channel)) r.Fail(where + ".channel", "expected a channel 1..14 or 36..165");
        ap.latitude = r.Number(item, "lat", where, -90, 90, std::nullopt);
        ap.longitude = r.Number(item, "lon", where, -180, 180, std::nullopt);
        ap.txPowerDbm = r.Number(item, "tx_power_dbm", where, -10, 36, 20.0);
        for (std::size_t j = 0; j < s.accessPoints.size() && r.Ok(); ++j)
            if (s.accessPoints[j].mac == ap.mac) r.Fail(where + ".mac", "the same MAC as access_points[" + std::to_string(j) + "]");
        s.accessPoints.push_back(std::move(ap));
    }
}

void ReadTrack(Reader& r, const json& root, Scenario& s) {
    const json* track = r.Find(root, "track", "", true);
    if (!track || !r.ExpectObject(*track, "track")) return;
    r.OnlyKeys(*track, "track", {"loop", "speed", "points"});
    s.track.loop = r.Flag(*track, "loop", "track", false);
    const double defaultSpeed = r.Number(*track, "speed", "track", 0.01, 100, 1.2);
    const json* points = r.Array(*track, "points", "track", true, kMaxTrackPoints);
    if (!points) return;
    if (points->empty()) {
        r.Fail("track.points", "at least one point is needed");
        return;
    }
    s.track.timed = (*points)[0].is_object() && (*points)[0].contains("t");
    for (std::size_t i = 0; i < points->size() && r.Ok(); ++i) {
        const json& item = (*points)[i];
        const std::string where = "track." + Reader::Item("points", i);
        if (!r.ExpectObject(item, where)) return;
        r.OnlyKeys(item, where, {"lat", "lon", "speed", "t"});
        TrackPoint p;
        p.latitude = r.Number(item, "lat", where, -90, 90, std::nullopt);
        p.longitude = r.Number(item, "lon", where, -180, 180, std::nullopt);
        if (s.track.timed) {
            if (item.contains("speed")) r.Fail(where, "give either times (\"t\") or speeds, not both");
            p.time = r.Number(item, "t", where, 0, 1e9, std::nullopt);
            if (r.Ok() && i > 0 && p.time <= s.track.points.back().time)
                r.Fail(where + ".t", "times must increase from point to point");
        } else {
            if (item.contains("t")) r.Fail(where, "give times (\"t\") on every point or on none");
            p.speed = r.Number(item, "speed", where, 0.01, 100, defaultSpeed);
        }
        s.track.points.push_back(p);
    }
}

void ReadNoLock(Reader& r, const json& root, Scenario& s) {
    const json* list = r.Array(root, "no_lock", "", false, kMaxListEntries);
    if (!list) return;
    for (std::size_t i = 0; i < list->size() && r.Ok(); ++i) {
        const json& item = (*list)[i];
        const std::string where = Reader::Item("no_lock", i);
        if (!r.ExpectObject(item, where)) return;
        r.OnlyKeys(item, where, {"start", "duration", "repeat_every"});
        NoLockStretch n;
        n.start = r.Number(item, "start", where, 0, 1e9, std::nullopt);
        n.duration = r.Number(item, "duration", where, 0, 1e9, std::nullopt);
        n.repeatEvery = r.Number(item, "repeat_every", where, 0, 1e9, 0.0);
        if (r.Ok() && n.repeatEvery > 0 && n.repeatEvery <= n.duration)
            r.Fail(where + ".repeat_every", "must be longer than the duration");
        s.noLock.push_back(n);
    }
}

void ReadBattery(Reader& r, const json& root, Scenario& s) {
    const json* list = r.Array(root, "battery", "", false, kMaxListEntries);
    if (!list) return;
    for (std::size_t i = 0; i < list->size() && r.Ok(); ++i) {
        const json& item = (*list)[i];
        const std::string where = Reader::Item("battery", i);
        if (!r.ExpectObject(item, where)) return;
        r.OnlyKeys(item, where, {"at", "flags", "level", "reading_a", "reading_b"});
        BatteryPhase b;
        b.at = r.Number(item, "at", where, 0, 1e9, std::nullopt);
        b.flags = static_cast<std::uint8_t>(r.Integer(item, "flags", where, 0, 15, std::nullopt));
        b.level = static_cast<std::uint16_t>(r.Integer(item, "level", where, 0, 65535, std::nullopt));
        b.readingA = static_cast<std::uint16_t>(r.Integer(item, "reading_a", where, 0, 65535, 0));
        b.readingB = static_cast<std::uint16_t>(r.Integer(item, "reading_b", where, 0, 65535, 0));
        if (r.Ok() && i > 0 && b.at <= s.battery.back().at) r.Fail(where + ".at", "phases must be in time order");
        s.battery.push_back(b);
    }
}

void ReadRadio(Reader& r, const json& root, Scenario& s) {
    const json* radio = r.Find(root, "radio", "", false);
    if (!radio || !r.ExpectObject(*radio, "radio")) return;
    r.OnlyKeys(*radio, "radio",
               {"path_loss_exponent", "noise_db", "sensitivity_dbm", "beacon_interval_ms", "probe_requests_per_s",
                "data_frames_per_s", "bad_frame_ratio"});
    RadioSettings& x = s.radio;
    x.pathLossExponent = r.Number(*radio, "path_loss_exponent", "radio", 1.5, 6, x.pathLossExponent);
    x.noiseDb = r.Number(*radio, "noise_db", "radio", 0, 20, x.noiseDb);
    x.sensitivityDbm = r.Number(*radio, "sensitivity_dbm", "radio", -120, -30, x.sensitivityDbm);
    x.beaconIntervalMs = r.Number(*radio, "beacon_interval_ms", "radio", 10, 10000, x.beaconIntervalMs);
    x.probeRequestsPerSecond = r.Number(*radio, "probe_requests_per_s", "radio", 0, 100, x.probeRequestsPerSecond);
    x.dataFramesPerSecond = r.Number(*radio, "data_frames_per_s", "radio", 0, 100, x.dataFramesPerSecond);
    x.badFrameRatio = r.Number(*radio, "bad_frame_ratio", "radio", 0, 1, x.badFrameRatio);
}

}  // namespace

bool ParseMac(std::string_view text, std::array<std::uint8_t, 6>& mac) {
    if (text.size() != 17) return false;
    for (std::size_t i = 0; i < 6; ++i) {
        unsigned value = 0;
        for (std::size_t k = 0; k < 2; ++k) {
            const char c = text[i * 3 + k];
            unsigned digit;
            if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
            else if (c >= 'a' && c <= 'f') digit = static_cast<unsigned>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F') digit = static_cast<unsigned>(c - 'A' + 10);
            else return false;
            value = value * 16 + digit;
        }
        if (i < 5 && text[i * 3 + 2] != '-' && text[i * 3 + 2] != ':') return false;
        mac[i] = static_cast<std::uint8_t>(value);
    }
    return true;
}

bool ParseScenario(std::string_view jsonText, Scenario& scenario, std::string& error) {
    // The JSON library reports syntax errors by exception; they stop here.
    json root;
    try {
        root = json::parse(jsonText.begin(), jsonText.end());
    } catch (const json::exception& e) {
        // e.g. "[json.exception.parse_error.101] parse error at line 3, column 5: ...",
        // or a number too large for a double.
        std::string what = e.what();
        const auto at = what.find("] ");
        error = "not valid JSON: " + (at == std::string::npos ? what : what.substr(at + 2));
        return false;
    }

    Reader r;
    Scenario s;
    if (!r.ExpectObject(root, "")) {
        error = r.Error();
        return false;
    }
    r.OnlyKeys(root, "",
               {"firmware", "serial", "start_time", "seed", "altitude_m", "access_points", "track", "no_lock",
                "battery", "radio"});
    s.firmware = r.Text(root, "firmware", "", 1, 200, s.firmware);
    s.serial = r.Text(root, "serial", "", 1, 32, s.serial);
    if (const json* start = r.Find(root, "start_time", "", false)) {
        std::int64_t seconds = 0;
        if (start->is_string()) {
            if (!ParseUtcTime(start->get<std::string>(), seconds))
                r.Fail("start_time", "expected a UTC time like \"2024-05-14T09:30:00Z\" from 1999 to 2100");
        } else {
            seconds = r.Integer(root, "start_time", "", 935280000, 4102444800, std::nullopt);
        }
        s.startTime = seconds;
    }
    s.seed = static_cast<std::uint32_t>(r.Integer(root, "seed", "", 0, 0xFFFFFFFF, 1));
    s.altitudeM = r.Number(root, "altitude_m", "", -500, 9000, s.altitudeM);
    if (r.Ok()) ReadAccessPoints(r, root, s);
    if (r.Ok()) ReadTrack(r, root, s);
    if (r.Ok()) ReadNoLock(r, root, s);
    if (r.Ok()) ReadBattery(r, root, s);
    if (r.Ok()) ReadRadio(r, root, s);
    if (!r.Ok()) {
        error = r.Error();
        return false;
    }
    scenario = std::move(s);
    error.clear();
    return true;
}

bool LoadScenarioFile(const std::string& path, Scenario& scenario, std::string& error) {
    // Never waits on a FIFO or device named by mistake.
    const int fd = OpenRegularFile(path, O_RDONLY);
    if (fd < 0) {
        const char* ours = FileErrorText(errno);
        error = path + ": cannot be opened" + (ours ? std::string(": ") + ours : std::string());
        return false;
    }
    struct stat st {};
    std::string text;
    bool read = ::fstat(fd, &st) == 0;
    if (read && static_cast<std::uint64_t>(st.st_size) > kMaxScenarioFileBytes) {
        ::close(fd);
        error = path + ": larger than " + std::to_string(kMaxScenarioFileBytes) + " bytes";
        return false;
    }
    if (read) {
        text.resize(static_cast<std::size_t>(st.st_size));
        std::size_t done = 0;
        while (read && done < text.size()) {
            const ssize_t n = ::read(fd, text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR) continue;
            read = n > 0;
            if (read) done += static_cast<std::size_t>(n);
        }
    }
    ::close(fd);
    if (!read) {
        error = path + ": cannot be read";
        return false;
    }
    if (!ParseScenario(text, scenario, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

}  // namespace quorl::sim
