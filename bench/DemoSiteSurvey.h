#pragma once
// A synthetic survey of the 800 x 600 demo plan (or a plan of `width` x `height`) for the benchmarks that run
// `quorl` on a file: plan taps at random, each hearing every access point
// (levels falling with distance, +-4 dB of fading) on both bands, the
// networks named in turn from `ssids`. Written to the temporary folder.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "survey/CollectionFormat.h"

inline std::string WriteDemoSiteSurvey(const std::string& name, int points, int aps,
                                       const std::vector<std::string>& ssids, unsigned seed, std::uint8_t macByte,
                                       int width = 800, int height = 600) {
    const std::string path = (std::filesystem::temp_directory_path() / name).string();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const auto start = quorl::collection::MakeNewFileStart(0);
    out.write(reinterpret_cast<const char*>(start.data()), start.size());
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> x(0, width), y(0, height), fade(-4, 4);
    std::vector<std::pair<double, double>> at;
    for (int i = 0; i < aps; ++i) at.emplace_back(x(random), y(random));
    for (int n = 0; n < points; ++n) {
        quorl::collection::PointRecord point;
        point.kind = 2;
        point.x = static_cast<std::uint16_t>(x(random));
        point.y = static_cast<std::uint16_t>(y(random));
        point.month = 3;
        point.day = 2;
        point.year = 46;
        point.apCount = static_cast<std::uint16_t>(aps);
        std::uint8_t record[quorl::collection::kPointRecordSize];
        quorl::collection::EncodePoint(point, record);
        out.write(reinterpret_cast<const char*>(record), sizeof record);
        for (int i = 0; i < aps; ++i) {
            quorl::collection::ApRecord ap;
            ap.channel = i % 2 ? 1 + 5 * (i % 3) : 36 + 4 * (i % 8);
            const double d = std::max(1.0, std::hypot(point.x - at[i].first, point.y - at[i].second)) / 13.0;
            ap.signal = static_cast<std::int16_t>((-30 - 30 * std::log10(d) + fade(random)) * 16);
            ap.mac = {0, 0x0A, 0, 0, macByte, static_cast<std::uint8_t>(i)};
            const std::string& ssid = ssids[static_cast<std::size_t>(i) % ssids.size()];
            std::copy(ssid.begin(), ssid.end(), ap.ssid.begin());
            std::uint8_t bytes[quorl::collection::kApRecordSize];
            quorl::collection::EncodeAp(ap, bytes);
            out.write(reinterpret_cast<const char*>(bytes), sizeof bytes);
        }
    }
    return path;
}
