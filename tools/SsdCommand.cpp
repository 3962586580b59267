// quorl ssd info FILE | quorl ssd dump FILE: what a collection file holds,
// as a summary or as CSV (one row per access point record). Reads only; the
// file is not locked, so a collector may go on appending meanwhile.

#include <fcntl.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "common/UserMessages.h"
#include "survey/CollectionFormat.h"
#include "survey/CollectionReader.h"
#include "survey/FileHandle.h"
#include "tools/CommandRegistry.h"

namespace quorl::tools {

namespace {

struct OpenedCollection {
    FileHandle file;
    collection::Layout layout;
    std::uint64_t length = 0;
};

bool OpenForReading(const std::string& path, OpenedCollection& out) {
    out.file = FileHandle::Open(path, O_RDONLY);
    if (!out.file.Valid()) {
        std::fprintf(stderr, "quorl ssd: cannot open %s: %s\n", path.c_str(), SystemErrorText(errno).c_str());
        return false;
    }
    const std::int64_t length = out.file.Length();
    std::string why;
    int errorNumber = 0;
    if (length < 0 || !collection::ReadLayout(out.file, static_cast<std::uint64_t>(length), out.layout, why,
                                              errorNumber)) {
        if (length < 0 || errorNumber != 0)
            std::fprintf(stderr, "quorl ssd: cannot read %s: %s\n", path.c_str(),
                         SystemErrorText(length < 0 ? errno : errorNumber).c_str());
        else
            std::fprintf(stderr, "quorl ssd: %s is not a readable collection file: %s\n", path.c_str(), why.c_str());
        return false;
    }
    out.length = static_cast<std::uint64_t>(length);
    return true;
}

// One group as read: the point record and the access point records present
// (fewer than its count says when the file ends inside the group).
struct Group {
    std::uint64_t offset = 0;
    collection::PointRecord point;
    std::vector<collection::ApRecord> aps;
    bool Complete() const { return aps.size() == point.apCount; }
};

// Calls `visit` for every group in file order; false on a read error.
template <typename Visit>
bool ForEachGroup(OpenedCollection& c, const std::string& path, Visit&& visit) {
    CollectionReader reader(c.file, c.layout.FirstGroup());
    std::uint8_t point[collection::kPointRecordSize];
    std::uint8_t ap[collection::kApRecordSize];
    Group group;
    for (;;) {
        group.offset = reader.Position();
        if (!reader.Next(c.layout.pointRecordSize, point, sizeof point)) break;
        group.point = collection::DecodePoint(point);
        group.aps.clear();
        for (std::uint32_t i = 0; i < group.point.apCount; ++i) {
            if (!reader.Next(c.layout.apRecordSize, ap, sizeof ap)) break;
            group.aps.push_back(collection::DecodeAp(ap));
        }
        visit(group);
    }
    if (reader.Error() != 0) {
        std::fprintf(stderr, "quorl ssd: cannot read %s: %s\n", path.c_str(), SystemErrorText(reader.Error()).c_str());
        return false;
    }
    return true;
}

int Info(const std::string& path) {
    OpenedCollection c;
    if (!OpenForReading(path, c)) return 1;
    const auto& h = c.layout.header;
    const std::uint32_t headerLength = static_cast<std::uint32_t>(h[0] | h[1] << 8 | h[2] << 16 | h[3] << 24);
    std::int64_t created = 0;
    for (int i = 7; i >= 0; --i) created = (created << 8) | h[13 + i];
    char when[64] = "?";
    const std::time_t t = static_cast<std::time_t>(created);
    std::tm utc{};
    if (gmtime_r(&t, &utc)) std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S UTC", &utc);

    std::uint64_t points = 0, apRecords = 0, deleted = 0, declaredAps = 0;
    std::map<int, std::uint64_t> kinds;
    std::uint64_t end = c.layout.FirstGroup();  // of the last complete group
    const bool ok = ForEachGroup(c, path, [&](const Group& g) {
        ++points;
        ++kinds[g.point.kind];
        if (g.point.kind == 255) ++deleted;
        apRecords += g.aps.size();
        declaredAps += g.point.apCount;
        if (g.Complete()) end = g.offset + c.layout.pointRecordSize + g.aps.size() * std::uint64_t{c.layout.apRecordSize};
    });

    std::printf("file: %s\n", path.c_str());
    std::printf("length: %" PRIu64 " bytes\n", c.length);
    std::printf("header length: %u\n", headerLength);
    std::printf("signature: %02X %02X %02X %02X\n", h[4], h[5], h[6], h[7]);
    std::printf("constant: %u\n", static_cast<unsigned>(h[8] | h[9] << 8));
    std::printf("created: %" PRId64 " (%s)\n", created, when);
    std::printf("record sizes at: %u\n", c.layout.pairOffset);
    std::printf("point record size: %u\n", c.layout.pointRecordSize);
    std::printf("access point record size: %u\n", c.layout.apRecordSize);
    std::printf("points: %" PRIu64 "\n", points);
    for (const auto& [kind, n] : kinds) std::printf("  kind %d: %" PRIu64 "\n", kind, n);
    std::printf("access point records: %" PRIu64 "\n", apRecords);
    std::printf("deleted points: %" PRIu64 "\n", deleted);
    if (declaredAps != apRecords)
        std::printf("missing access point records: %" PRIu64 " (the last group is cut short)\n",
                    declaredAps - apRecords);
    // The collector drops these bytes when it next opens the file.
    if (ok && end < c.length)
        std::printf("last group cut short: %" PRIu64 " bytes from offset %" PRIu64 " (an unfinished point)\n",
                    c.length - end, end);
    return ok ? 0 : 1;
}

// RFC 4180: a field with a comma, quote or line break is quoted, its quotes doubled.
std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char ch : text) {
        if (ch == '"') quoted.push_back('"');
        quoted.push_back(ch);
    }
    quoted.push_back('"');
    return quoted;
}

int Dump(const std::string& path) {
    OpenedCollection c;
    if (!OpenForReading(path, c)) return 1;
    static char outBuffer[1 << 16];
    std::setvbuf(stdout, outBuffer, _IOFBF, sizeof outBuffer);
    std::fputs("point,offset,kind,x,y,lat,lon,month,day,year,hour,minute,second,fix,channel,mac,level,ssid\n", stdout);
    std::uint64_t index = 0;
    const bool ok = ForEachGroup(c, path, [&](const Group& g) {
        const auto& p = g.point;
        char head[256];
        std::snprintf(head, sizeof head, "%" PRIu64 ",%" PRIu64 ",%u,%u,%u,%.7f,%.7f,%u,%u,%u,%u,%u,%u,%u", index++,
                      g.offset, p.kind, p.x, p.y, p.latitude / collection::kPositionScale,
                      p.longitude / collection::kPositionScale, p.month, p.day, 1980u + p.year, p.hour, p.minute,
                      p.second, p.fix);
        if (g.aps.empty()) {
            std::fputs(head, stdout);
            std::fputs(",,,,\n", stdout);
            return;
        }
        for (const auto& ap : g.aps) {
            char tail[64];
            std::snprintf(tail, sizeof tail, ",%u,%02X-%02X-%02X-%02X-%02X-%02X,%d,", ap.channel, ap.mac[0], ap.mac[1],
                          ap.mac[2], ap.mac[3], ap.mac[4], ap.mac[5], ap.Level());
            std::fputs(head, stdout);
            std::fputs(tail, stdout);
            std::fputs(CsvField(ap.SsidText()).c_str(), stdout);
            std::fputc('\n', stdout);
        }
    });
    if (std::fflush(stdout) != 0) {
        std::fprintf(stderr, "quorl ssd: cannot write the output: %s\n", SystemErrorText(errno).c_str());
        return 1;
    }
    return ok ? 0 : 1;
}

int Run(const std::vector<std::string>& args) {
    if (args.size() != 2 || (args[0] != "info" && args[0] != "dump")) {
        std::fprintf(stderr, "usage: quorl ssd info|dump FILE\n");
        return 2;
    }
    return args[0] == "info" ? Info(args[1]) : Dump(args[1]);
}

const RegisterCommand kRegistration("ssd", "ssd info|dump FILE    summary or CSV of a collection file (.ssd)", Run);

}  // namespace

}  // namespace quorl::tools
