// quorl ssd export run as the user runs it, each format read back by a
// reader that shares no code with the writer: Python's csv, json and sqlite3
// modules and xmllint. The collections hold every awkward SSID, every kind
// of point and a last group cut short.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <tuple>

#include "common/ByteOrder.h"
#include "survey/CollectionFormat.h"
#include "tests/survey/FileKinds.h"
#include "tests/survey/SurveyTestSupport.h"

namespace quorl::test {
namespace {

Outcome Export(const TempDir& dir, std::vector<std::string> files, const std::string& format, const std::string& out) {
    std::vector<std::string> args = {QUORL_TOOL, "ssd", "export"};
    for (auto& f : files) args.push_back(dir / f);
    for (const std::string& a : {std::string("--format"), format, std::string("-o"), dir / out}) args.push_back(a);
    return Shell(dir, args);
}

// Runs a Python program on the file; it prints one line per thing found.
Outcome Python(const TempDir& dir, const std::string& program, const std::string& file,
               const std::vector<std::string>& more = {}) {
    std::ofstream(dir / "read.py") << program;
    std::vector<std::string> args = {"python3", dir / "read.py", dir / file};
    args.insert(args.end(), more.begin(), more.end());
    return Shell(dir, args);
}

std::string Hex(const std::string& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string h;
    for (unsigned char c : bytes) h += std::string{digits[c >> 4], digits[c & 15]};
    return h;
}

// Every SSID that has ever broken an export.
const std::vector<std::string> kSsids = {
    "plain", "a,b", "say \"hi\"", "<b>&'x'</b>", "]]>", "line\nbreak\r", std::string("\x01\x1f\x7f\t", 4),
    "Caf\xC3\xA9 \xE2\x98\x95", "bad\xFF", "cut\xE2\x82", "\xC0\xAF", "\\", "", "exactly-thirty-two-characters-ab",
    "\xEF\xBF\xBE\xEF\xBF\xBF", "=1+2"};

struct Survey {
    Bytes bytes;
    std::multiset<std::string> readings;  // "mac|ssid hex|channel|level" of points not deleted
    int geolocated = 0, features = 0, rows = 0;
};

collection::ApRecord Ap(int i, const std::string& ssid) {
    collection::ApRecord a;
    a.channel = 1 + i % 13;
    a.signal = static_cast<std::int16_t>(-(30 + i % 65) * 16 - 7);
    a.mac = {0x00, 0x1A, 0x2B, 0x3C, static_cast<std::uint8_t>(i >> 8), static_cast<std::uint8_t>(i)};
    std::copy_n(ssid.begin(), std::min<std::size_t>(ssid.size(), 32), a.ssid.begin());
    return a;
}

std::string Reading(const collection::ApRecord& a) {
    char mac[32];
    std::snprintf(mac, sizeof mac, "%02X-%02X-%02X-%02X-%02X-%02X", a.mac[0], a.mac[1], a.mac[2], a.mac[3], a.mac[4],
                  a.mac[5]);
    return std::string(mac) + "|" + Hex(a.SsidText()) + "|" + std::to_string(a.channel) + "|" + std::to_string(a.Level());
}

// A GPS point with all the SSIDs, a projected tap, a plan tap, a marker, a
// deleted GPS point, a GPS point without access points, and a last group
// cut short. `salt` makes the content differ.
Survey MakeSurvey(int salt, bool withGps = true) {
    Survey s;
    const auto start = collection::MakeNewFileStart(1700000000 + salt);
    s.bytes.assign(start.begin(), start.end());
    auto add = [&](collection::PointRecord p, const std::vector<collection::ApRecord>& aps, std::size_t keep) {
        p.apCount = static_cast<std::uint16_t>(aps.size());
        p.month = 6, p.day = 11, p.year = 44, p.hour = 9, p.minute = 5, p.second = static_cast<std::uint8_t>(salt);
        Bytes g(collection::kPointRecordSize + aps.size() * collection::kApRecordSize);
        collection::EncodePoint(p, g.data());
        for (std::size_t i = 0; i < aps.size(); ++i)
            collection::EncodeAp(aps[i], g.data() + collection::kPointRecordSize + i * collection::kApRecordSize);
        g.resize(collection::kPointRecordSize + keep * collection::kApRecordSize);
        s.bytes.insert(s.bytes.end(), g.begin(), g.end());
        const bool gps = (p.kind == 0 || p.kind == 1) && (p.latitude || p.longitude);
        if (keep < aps.size()) return;  // a group the end cuts short is no point anywhere
        if (p.kind != 255) {
            ++s.features;
            if (gps) ++s.geolocated;
            for (std::size_t i = 0; i < keep; ++i) s.readings.insert(Reading(aps[i]));
        }
        s.rows += keep == 0 ? 1 : static_cast<int>(keep);
    };
    collection::PointRecord p;
    std::vector<collection::ApRecord> all;
    for (std::size_t i = 0; i < kSsids.size(); ++i) all.push_back(Ap(static_cast<int>(i) + salt, kSsids[i]));
    if (withGps) {
        p.kind = 0, p.fix = 2, p.latitude = 170557560 + salt, p.longitude = -30749040;
        add(p, all, all.size());
        p.kind = 1, p.latitude += 100;
        add(p, {Ap(100, "projected")}, 1);
        p.kind = 255;
        add(p, {Ap(101, "deleted")}, 1);
        p.kind = 0;
        add(p, {}, 0);
    }
    p = {};
    p.kind = 2, p.fix = 3, p.x = 640, p.y = 65535;
    add(p, {Ap(102, "tap")}, 1);
    p.kind = 17;
    add(p, {}, 0);
    p.kind = 2;
    add(p, {Ap(103, "kept"), Ap(104, "lost")}, 1);  // file ends inside the group
    return s;
}

TEST(ExportReadbackTest, EveryFormatReadsBackWhatTheFilesHold) {
    TempDir dir;
    const Survey a = MakeSurvey(1), b = MakeSurvey(2);
    WriteBytes(dir / "a.ssd", a.bytes);
    WriteBytes(dir / "b.ssd", b.bytes);
    std::multiset<std::string> readings = a.readings;
    readings.insert(b.readings.begin(), b.readings.end());
    const auto lines = [](const std::string& text) {
        std::multiset<std::string> set;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) set.insert(line);
        return set;
    };

    // GeoJSON: the SSID's bytes come back from "ssid", or from "ssid_hex" where they are not UTF-8.
    ASSERT_EQ(Export(dir, {"a.ssd", "b.ssd"}, "geojson", "out.geojson").status, 0);
    Outcome json = Python(dir, R"(import json, sys
doc = json.load(open(sys.argv[1], encoding='utf-8'))
assert doc['type'] == 'FeatureCollection'
print('features', len(doc['features']))
for f in doc['features']:
    p, g = f['properties'], f['geometry']
    assert (g is None) == (p['kind'] in ('plan-tap', 'marker')), f
    if g: assert g['type'] == 'Point' and -180 <= g['coordinates'][0] <= 180 and -90 <= g['coordinates'][1] <= 90
    if p['kind'] == 'plan-tap': assert p['x'] == 640 and p['y'] == 65535 and not p['time'].endswith('Z'), p
    if p['kind'] == 'gps': assert p['time'].endswith('Z') and p['x'] is None
    assert p['strongest'] == (max(a['level'] for a in p['access_points']) if p['access_points'] else None)
    for a in p['access_points']:
        raw = bytes.fromhex(a['ssid_hex']) if 'ssid_hex' in a else a['ssid'].encode('utf-8')
        print('%s|%s|%d|%d' % (a['mac'], raw.hex(), a['channel'], a['level']))
)", "out.geojson");
    ASSERT_EQ(json.status, 0) << json.err;
    auto found = lines(json.out);
    EXPECT_EQ(found.count("features " + std::to_string(a.features + b.features)), 1u) << json.out;
    found.erase("features " + std::to_string(a.features + b.features));
    EXPECT_EQ(found, readings);

    // SQLite: TEXT or BLOB, the bytes are the bytes.
    ASSERT_EQ(Export(dir, {"a.ssd", "b.ssd"}, "sqlite", "out.db").status, 0);
    const std::string readSql = R"(import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
for mac, ssid, channel, level, deleted in db.execute(
        'SELECT mac, ssid, channel, level, deleted FROM readings JOIN points ON points.id = readings.point'):
    raw = ssid if isinstance(ssid, bytes) else ssid.encode('utf-8')
    if not deleted: print('%s|%s|%d|%d' % (mac, raw.hex(), channel, level))
print('surveys', db.execute('SELECT count(*) FROM surveys').fetchone()[0])
print('points', db.execute('SELECT count(*) FROM points').fetchone()[0])
print('located', db.execute('SELECT count(*) FROM points WHERE latitude IS NOT NULL AND NOT deleted').fetchone()[0])
for survey, mac, level in db.execute('SELECT survey, mac, level FROM strongest_readings'):
    best = db.execute('SELECT max(level) FROM readings JOIN points ON points.id = point '
                      'WHERE survey = ? AND mac = ? AND NOT deleted', (survey, mac)).fetchone()[0]
    assert best == level, (survey, mac)
)";
    Outcome sql = Python(dir, readSql, "out.db");
    ASSERT_EQ(sql.status, 0) << sql.err;
    found = lines(sql.out);
    // Six points each: the group the end cuts short is none.
    const std::multiset<std::string> counts = {"surveys 2", "points 12", "located " + std::to_string(a.geolocated * 2)};
    for (const auto& c : counts) {
        EXPECT_EQ(found.count(c), 1u) << c << "\n" << sql.out;
        found.erase(c);
    }
    EXPECT_EQ(found, readings);

    // CSV: one row per access point record, plus one per point without any; the bytes as they are.
    ASSERT_EQ(Export(dir, {"a.ssd", "b.ssd"}, "csv", "out.csv").status, 0);
    Outcome csv = Python(dir, R"(import csv, sys
rows = list(csv.DictReader(open(sys.argv[1], encoding='latin-1', newline='')))
print('rows', len(rows))
for r in rows:
    if r['mac'] and r['kind'] != '255':
        print('%s|%s|%s|%s' % (r['mac'], r['ssid'].encode('latin-1').hex(), r['channel'], r['level']))
)", "out.csv");
    ASSERT_EQ(csv.status, 0) << csv.err;
    found = lines(csv.out);
    const std::string rows = "rows " + std::to_string(a.rows + b.rows);
    EXPECT_EQ(found.count(rows), 1u) << csv.out;
    found.erase(rows);
    EXPECT_EQ(found, readings);
    // quorl ssd dump is the same CSV without the file column.
    const Outcome dump = Shell(dir, {QUORL_TOOL, "ssd", "dump", dir / "a.ssd"});
    WriteBytes(dir / "dump.csv", Bytes(dump.out.begin(), dump.out.end()));
    const Outcome same = Python(dir, R"(import csv, sys
def rows(path): return list(csv.reader(open(path, encoding='latin-1', newline='')))
exported = [r[1:] for r in rows(sys.argv[1]) if r[0] in ('file', sys.argv[3])]
assert exported == rows(sys.argv[2]) and len(exported) > 10
)", "out.csv", {dir / "dump.csv", dir / "a.ssd"});
    EXPECT_EQ(same.status, 0) << same.err;

    // KML: well-formed, one Placemark per geolocated point, SSIDs shown as text.
    ASSERT_EQ(Export(dir, {"a.ssd", "b.ssd"}, "kml", "out.kml").status, 0);
    EXPECT_EQ(Shell(dir, {"xmllint", "--noout", dir / "out.kml"}).status, 0);
    const Outcome placemarks =
        Shell(dir, {"xmllint", "--xpath", "count(//*[local-name()='Placemark'])", dir / "out.kml"});
    EXPECT_EQ(placemarks.out, std::to_string(a.geolocated + b.geolocated) + "\n") << placemarks.err;
    const Outcome described = Shell(dir, {"xmllint", "--xpath", "string(//*[local-name()='description'])", dir / "out.kml"});
    EXPECT_NE(described.out.find("<td>&lt;b&gt;&amp;&apos;x&apos;&lt;/b&gt;</td>"), std::string::npos) << described.out;
    EXPECT_NE(described.out.find("<td>]]&gt;</td>"), std::string::npos);
    // GDAL reads each placemark's attributes as typed fields, the GeoJSON properties of its point.
    const Outcome converted =
        Shell(dir, {"ogr2ogr", "-f", "GPKG", "-append", "-nln", "placemarks", dir / "kml.gpkg", dir / "out.kml"});
    ASSERT_EQ(converted.status, 0) << converted.err;
    const Outcome fields = Python(dir, R"(import json, sqlite3, sys
db = sqlite3.connect(sys.argv[1])
got = []
for (t,) in db.execute("SELECT table_name FROM gpkg_contents WHERE data_type = 'features'"):
    got += db.execute('SELECT file, point, kind, x, y, time, fix, strongest, access_points FROM "%s"' % t).fetchall()
want = [(p['file'], p['point'], p['kind'], p['x'], p['y'], p['time'], p['fix'], p['strongest'], len(p['access_points']))
        for p in (f['properties'] for f in json.load(open(sys.argv[2]))['features'] if f['geometry'])]
assert sorted(got, key=repr) == sorted(want, key=repr), (got, want)
print(len(got))
)", "kml.gpkg", {dir / "out.geojson"});
    EXPECT_EQ(fields.out, std::to_string(a.geolocated + b.geolocated) + "\n") << fields.err;
}

TEST(ExportReadbackTest, RepeatedImportAddsNothingAndADatabaseGrows) {
    TempDir dir;
    WriteBytes(dir / "a.ssd", MakeSurvey(1).bytes);
    WriteBytes(dir / "b.ssd", MakeSurvey(2).bytes);
    WriteBytes(dir / "copy.ssd", MakeSurvey(1).bytes);
    const std::string count = R"(import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
print(*(db.execute('SELECT count(*) FROM ' + t).fetchone()[0] for t in ('surveys', 'points', 'readings')))
)";
    ASSERT_EQ(Export(dir, {"a.ssd"}, "sqlite", "s.db").status, 0);
    const std::string one = Python(dir, count, "s.db").out;
    const Outcome again = Export(dir, {"a.ssd", "copy.ssd"}, "sqlite", "s.db");
    EXPECT_EQ(again.status, 0);
    EXPECT_NE(again.err.find("already in"), std::string::npos) << again.err;
    EXPECT_EQ(Python(dir, count, "s.db").out, one);
    ASSERT_EQ(Export(dir, {"b.ssd"}, "sqlite", "s.db").status, 0);
    EXPECT_EQ(Python(dir, count, "s.db").out, "2 12 38\n") << one;

    // The same survey after a repair cut its unfinished last group (82 bytes)
    // is the survey already there; a changed complete group is another one.
    Bytes repaired = MakeSurvey(1).bytes;
    repaired.resize(repaired.size() - collection::kPointRecordSize - collection::kApRecordSize);
    WriteBytes(dir / "repaired.ssd", repaired);
    const Outcome same = Export(dir, {"repaired.ssd"}, "sqlite", "s.db");
    EXPECT_EQ(same.status, 0);
    EXPECT_NE(same.err.find("already in"), std::string::npos) << same.err;
    repaired[collection::kFirstGroup + 20] ^= 1;  // a time field of the first point
    WriteBytes(dir / "changed.ssd", repaired);
    ASSERT_EQ(Export(dir, {"changed.ssd"}, "sqlite", "s.db").status, 0);
    EXPECT_EQ(Python(dir, count, "s.db").out, "3 18 57\n");
}

// A point's readings come from an index, not a scan; with foreign keys on
// (as the README tells), deleting a survey takes its points and readings.
TEST(ExportReadbackTest, TheDatabaseServesAPointAndKeepsItsReferences) {
    TempDir dir;
    WriteBytes(dir / "a.ssd", MakeSurvey(1).bytes);
    WriteBytes(dir / "b.ssd", MakeSurvey(2).bytes);
    ASSERT_EQ(Export(dir, {"a.ssd", "b.ssd"}, "sqlite", "s.db").status, 0);
    const Outcome read = Python(dir, R"py(import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
plan = ' '.join(r[-1] for r in db.execute('EXPLAIN QUERY PLAN SELECT * FROM readings WHERE point = 3'))
print('indexed' if 'observations_point' in plan else plan)
count = lambda: [db.execute('SELECT count(*) FROM ' + t).fetchone()[0] for t in ('points', 'observations')]
before = count()
db.execute('PRAGMA foreign_keys = ON')
try:
    db.execute('INSERT INTO observations VALUES (999999, 1, 1, -50)')
    print('unchecked')
except sqlite3.IntegrityError:
    print('refused')
db.execute('DELETE FROM surveys WHERE id = 1')
db.commit()
after = count()
print(before[0] == 2 * after[0], before[1] == 2 * after[1], db.execute('PRAGMA foreign_key_check').fetchall())
)py", "s.db");
    EXPECT_EQ(read.out, "indexed\nrefused\nTrue True []\n") << read.err;
}

// A survey as bytes, `points` GPS points of `aps` access points each.
Bytes LargeSurvey(int points, int aps) {
    const auto start = collection::MakeNewFileStart(1700000000);
    Bytes b(start.begin(), start.end());
    for (int i = 0; i < points; ++i) {
        collection::PointRecord p;
        p.kind = 0, p.latitude = 170557560 + i, p.longitude = 30749040, p.apCount = static_cast<std::uint16_t>(aps);
        Bytes g(collection::kPointRecordSize + static_cast<std::size_t>(aps) * collection::kApRecordSize);
        collection::EncodePoint(p, g.data());
        for (int k = 0; k < aps; ++k)
            collection::EncodeAp(Ap(k, "net" + std::to_string(k)),
                                 g.data() + collection::kPointRecordSize + static_cast<std::size_t>(k) * collection::kApRecordSize);
        b.insert(b.end(), g.begin(), g.end());
    }
    return b;
}

TEST(ExportReadbackTest, TheDatabaseIsOursOrLeftAlone) {
    TempDir dir;
    WriteBytes(dir / "a.ssd", MakeSurvey(1).bytes);
    WriteBytes(dir / "big.ssd", LargeSurvey(2000, 10));
    const std::string sql = R"(import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
for statement in sys.argv[2:]: db.executescript(statement)
db.commit()
print(*db.execute('PRAGMA application_id').fetchone(), *db.execute('PRAGMA user_version').fetchone(),
      *db.execute("SELECT count(*) FROM sqlite_master WHERE name = 'surveys'").fetchone())
)";
    // Ours: marked, the schema version in user_version.
    ASSERT_EQ(Export(dir, {"a.ssd"}, "sqlite", "ours.db").status, 0);
    EXPECT_EQ(Python(dir, sql, "ours.db").out, "1364347953 1 1\n");

    struct Case {
        const char* name;
        std::vector<std::string> make;  // statements that make the database
        bool taken;
    };
    const Case cases[] = {
        {"foreign.db", {"CREATE TABLE notes(text TEXT)"}, false},
        {"clash.db", {"CREATE TABLE surveys(x)", "CREATE TABLE points(y)"}, false},
        {"marked-other.db", {"PRAGMA application_id = 42", "CREATE TABLE t(x)"}, false},
        {"empty-sqlite.db", {"CREATE TABLE t(x)", "DROP TABLE t"}, false},
        // Ours from before the marking: taken and marked.
        {"unmarked.db", {"PRAGMA application_id = 0", "PRAGMA user_version = 0"}, true},
        {"newer.db", {"PRAGMA user_version = 2"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (std::string(c.name) == "unmarked.db" || std::string(c.name) == "newer.db")
            std::filesystem::copy_file(dir / "ours.db", dir / c.name);
        std::vector<std::string> make = c.make;
        ASSERT_EQ(Python(dir, sql, c.name, make).status, 0);
        const Bytes before = ReadBytes(dir / c.name);
        const Outcome o = Export(dir, {"big.ssd"}, "sqlite", c.name);
        EXPECT_EQ(o.status, c.taken ? 0 : 1) << o.err;
        if (c.taken) {
            EXPECT_EQ(Python(dir, sql, c.name).out, "1364347953 1 1\n");
        } else {
            EXPECT_NE(o.err.find("left as it is"), std::string::npos) << o.err;
            EXPECT_EQ(ReadBytes(dir / c.name), before);
        }
    }

    // A full disk (a file size limit here): no new database is left behind,
    // and one that was there keeps what it held.
    const auto limited = [&](const std::string& out) {
        return Shell(dir, {"sh", "-c", "trap '' XFSZ; ulimit -f 100; exec \"$0\" \"$@\"", QUORL_TOOL, "ssd", "export",
                           dir / "big.ssd", "--format", "sqlite", "-o", dir / out});
    };
    const Outcome full = limited("full.db");
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(full.err.find("full.db"), std::string::npos) << full.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "full.db"));
    ASSERT_EQ(Export(dir, {"a.ssd"}, "sqlite", "kept.db").status, 0);
    EXPECT_EQ(limited("kept.db").status, 1);
    const Outcome kept = Python(dir, R"(import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
print(*db.execute('PRAGMA integrity_check').fetchone(), *db.execute('SELECT count(*) FROM surveys').fetchone())
)", "kept.db");
    EXPECT_EQ(kept.out, "ok 1\n") << kept.err;
    for (const auto& name : dir.Names())
        EXPECT_TRUE(name.find(".db.") == std::string::npos && name.find("journal") == std::string::npos) << name;
}

// Every file of a folder with its bytes.
std::map<std::string, Bytes> Contents(const TempDir& dir) {
    std::map<std::string, Bytes> all;
    for (const auto& name : dir.Names()) all[name] = ReadBytes(dir / name);
    return all;
}

TEST(ExportReadbackTest, AForeignDatabaseWithAWalOrAHotJournalIsLeftByteForByte) {
    // Python's sqlite3 leaves each in the state a crash would: the files
    // copied while the writer still holds them.
    const std::string make = R"(import sqlite3, shutil, sys, os
kind, out = sys.argv[2], sys.argv[1]
live = os.path.join(os.path.dirname(sys.argv[0]), 'live.db')
db = sqlite3.connect(live, isolation_level=None)
db.execute('PRAGMA cache_size = 1')
if kind == 'wal':
    db.execute('PRAGMA journal_mode = WAL'); db.execute('PRAGMA wal_autocheckpoint = 0')
db.execute('CREATE TABLE notes(text)')
db.execute("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300) "
           "INSERT INTO notes SELECT hex(randomblob(900)) FROM n")
if kind == 'journal':
    db.execute('BEGIN'); db.execute("UPDATE notes SET text = 'changed'")
for side in ('', '-wal', '-journal'):
    if os.path.exists(live + side): shutil.copy(live + side, out + side)
)";
    for (const std::string format : {"sqlite", "gpkg"}) {
        for (const std::string kind : {"wal", "journal"}) {
            SCOPED_TRACE(format + " " + kind);
            TempDir dir, maker;
            WriteBytes(dir / "a.ssd", MakeSurvey(1).bytes);
            const Outcome made = Python(maker, make, dir / "foreign.db", {kind});
            ASSERT_EQ(made.status, 0) << made.err;
            ASSERT_TRUE(std::filesystem::exists(dir / ("foreign.db-" + kind)));
            const auto before = Contents(dir);
            const Outcome o = Export(dir, {"a.ssd"}, format, "foreign.db");
            EXPECT_EQ(o.status, 1);
            EXPECT_NE(o.err.find("left as it is"), std::string::npos) << o.err;
            EXPECT_TRUE(Contents(dir) == before);
        }
    }
}

TEST(ExportReadbackTest, TwoExportsIntoOneNewDatabaseBothLandOrTheLaterOneSaysSo) {
    TempDir dir;
    Bytes a = LargeSurvey(1500, 10), b = a;
    b[collection::kFirstGroup + 20] ^= 1;
    WriteBytes(dir / "a.ssd", a);
    WriteBytes(dir / "b.ssd", b);
    const std::string script = R"(cd "$1" && for s in a b; do ("$0" ssd export "$s.ssd" --format sqlite -o both.db 2>"$s.err"; echo $? >"$s.status") & done; wait)";
    const std::string list = R"(import sqlite3, sys, os
db = sqlite3.connect(sys.argv[1])
print(db.execute('PRAGMA integrity_check').fetchone()[0])
print(*sorted(os.path.basename(p) for (p,) in db.execute('SELECT path FROM surveys')))
)";
    int landedBoth = 0, refusedOne = 0;
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE(round);
        std::filesystem::remove(dir / "both.db");
        // Round 3 on: an empty file there to begin with, as a user's touch makes.
        if (round >= 3) WriteBytes(dir / "both.db", {});
        ASSERT_EQ(Shell(dir, {"sh", "-c", script, QUORL_TOOL, dir.Path().string()}).status, 0);
        const Outcome held = Python(dir, list, "both.db");
        ASSERT_EQ(held.status, 0) << held.err;
        std::string expected = "ok\n";
        std::string space;
        for (const std::string s : {"a", "b"}) {
            std::string status;
            std::ifstream(dir / (s + ".status")) >> status;
            const Bytes errBytes = ReadBytes(dir / (s + ".err"));
            const std::string err(errBytes.begin(), errBytes.end());
            if (status == "0") {
                expected += space + s + ".ssd";
                space = " ";
            } else {
                EXPECT_EQ(status, "1");
                EXPECT_NE(err.find("both.db"), std::string::npos) << err;
                ++refusedOne;
            }
        }
        EXPECT_EQ(held.out, expected + "\n");
        EXPECT_NE(expected, "ok\n") << "neither export landed";
        if (expected == "ok\na.ssd b.ssd") ++landedBoth;
        EXPECT_TRUE(TemporariesIn(dir.Path()).empty());
    }
    std::printf("both landed %d times, the later refused %d times\n", landedBoth, refusedOne);
}

TEST(ExportReadbackTest, GeoPackageOpensInGisTools) {
    TempDir dir;
    const Survey a = MakeSurvey(1), b = MakeSurvey(2);
    WriteBytes(dir / "a.ssd", a.bytes);
    WriteBytes(dir / "b.ssd", b.bytes);
    ASSERT_EQ(Export(dir, {"a.ssd", "b.ssd"}, "gpkg", "site.gpkg").status, 0);
    // GDAL finds the point layer, its type, count and extent.
    const Outcome layer = Shell(dir, {"ogrinfo", "-ro", "-so", dir / "site.gpkg", "survey_points"});
    ASSERT_EQ(layer.status, 0) << layer.err;
    char extent[128];
    std::snprintf(extent, sizeof extent, "Extent: (%.6f, %.6f) - (%.6f, %.6f)", -30749040 / 3600000.0,
                  (170557560 + 1) / 3600000.0, -30749040 / 3600000.0, (170557560 + 2 + 100) / 3600000.0);
    for (const std::string& expected : {std::string("Geometry: Point"), std::string("Feature Count: 12"), std::string(extent)})
        EXPECT_NE(layer.out.find(expected + "\n"), std::string::npos) << expected << "\n" << layer.out;
    EXPECT_EQ(layer.err.find("Warning"), std::string::npos) << layer.err;

    // The GeoPackage's own tables, and every geometry blob against its point's position.
    const Outcome read = Python(dir, R"(import sqlite3, struct, sys
db = sqlite3.connect(sys.argv[1])
print(db.execute('PRAGMA application_id').fetchone()[0], db.execute('PRAGMA user_version').fetchone()[0])
print(*(r for r in db.execute("SELECT table_name, data_type, srs_id FROM gpkg_contents ORDER BY table_name")))
print(db.execute("SELECT geometry_type_name, srs_id FROM gpkg_geometry_columns WHERE table_name = 'survey_points'").fetchone())
located = 0
for geom, lat, lon, deleted in db.execute('SELECT geom, latitude, longitude, deleted FROM survey_points'):
    if geom is None:
        assert lat is None or deleted, (lat, deleted)
        continue
    magic, version, flags, srs = struct.unpack('<2sBBi', geom[:8])
    order, kind, x, y = struct.unpack('<BIdd', geom[8:])
    assert (magic, version, flags, srs, order, kind) == (b'GP', 0, 1, 4326, 1, 1) and (x, y) == (lon, lat), geom
    located += 1
print('located', located, 'readings', db.execute('SELECT count(*) FROM readings JOIN survey_points ON fid = point').fetchone()[0])
)", "site.gpkg");
    EXPECT_EQ(read.out, "1196444487 10300\n"
                        "('plan_points_px', 'features', 990002) ('readings', 'attributes', None) "
                        "('survey_points', 'features', 4326) ('surveys', 'attributes', None)\n"
                        "('POINT', 4326)\n"
                        "located " + std::to_string(a.geolocated + b.geolocated) + " readings 38\n") << read.err;

    // Many surveys, one identity, foreign files refused as the database does.
    const Outcome again = Export(dir, {"a.ssd"}, "gpkg", "site.gpkg");
    EXPECT_EQ(again.status, 0);
    EXPECT_NE(again.err.find("already in"), std::string::npos) << again.err;
    ASSERT_EQ(Export(dir, {"a.ssd"}, "geojson", "a.geojson").status, 0);
    ASSERT_EQ(Shell(dir, {"ogr2ogr", "-f", "GPKG", dir / "other.gpkg", dir / "a.geojson"}).status, 0);
    ASSERT_EQ(Export(dir, {"a.ssd"}, "sqlite", "ours.db").status, 0);
    for (const std::string foreign : {"other.gpkg", "ours.db"}) {
        const Bytes before = ReadBytes(dir / foreign);
        const Outcome refused = Export(dir, {"b.ssd"}, "gpkg", foreign);
        EXPECT_EQ(refused.status, 1);
        EXPECT_NE(refused.err.find("left as it is"), std::string::npos) << refused.err;
        EXPECT_EQ(ReadBytes(dir / foreign), before) << foreign;
    }
    EXPECT_EQ(Export(dir, {"b.ssd"}, "sqlite", "site.gpkg").status, 1);
}

// GDAL's GeoPackage validator, where python3-gdal is installed: "" when the
// file passes or the validator is not there, else what it said.
std::string GpkgValidatorComplaints(const TempDir& dir, const std::string& file) {
    // Debian's python3-gdal is for Debian's own Python.
    const Outcome there = Shell(dir, {"/usr/bin/python3", "-c", "import osgeo_utils.samples.validate_gpkg"});
    if (there.status != 0) {
        std::fprintf(stderr, "GDAL's GeoPackage validator is not installed (python3-gdal): not run\n");
        return "";
    }
    const Outcome v = Shell(dir, {"/usr/bin/python3", "-m", "osgeo_utils.samples.validate_gpkg", dir / file});
    return v.status == 0 ? "" : v.out + v.err;
}

// The GeoPackage as GIS tools make it: R-tree indexes, DATETIME times, plan
// taps on the plan; and still ours to append to after GDAL has added its
// own spatial index (its triggers call ST_IsEmpty, ST_MinX, ...).
TEST(ExportReadbackTest, GeoPackageKeepsItsIndexesAndTakesMoreAfterGdal) {
    TempDir dir;
    const Survey a = MakeSurvey(1), b = MakeSurvey(2), c = MakeSurvey(3);
    WriteBytes(dir / "a.ssd", a.bytes);
    WriteBytes(dir / "b.ssd", b.bytes);
    WriteBytes(dir / "c.ssd", c.bytes);
    ASSERT_EQ(Export(dir, {"a.ssd"}, "gpkg", "site.gpkg").status, 0);
    EXPECT_EQ(GpkgValidatorComplaints(dir, "site.gpkg"), "");
    const auto sql = [&](const std::string& query, const std::string& layer = "") {
        std::vector<std::string> args = {"ogrinfo", "-ro", "-q", dir / "site.gpkg", "-sql", query};
        if (!layer.empty()) args.insert(args.begin() + 3, layer);
        return Shell(dir, args);
    };
    // The fields GDAL sees, and the index it finds for each point layer.
    const Outcome fields = Shell(dir, {"ogrinfo", "-ro", "-so", dir / "site.gpkg", "survey_points"});
    EXPECT_NE(fields.out.find("time: DateTime"), std::string::npos) << fields.out;
    EXPECT_NE(fields.out.find("local_time: String"), std::string::npos) << fields.out;
    for (const std::string layer : {"survey_points", "plan_points_px"}) {
        const Outcome indexed = sql("SELECT HasSpatialIndex('" + layer + "', 'geom')");
        EXPECT_NE(indexed.out.find("HasSpatialIndex (Integer) = 1"), std::string::npos) << layer << indexed.out << indexed.err;
    }
    // GDAL drops our index and makes its own (same standard triggers); QGIS adds its styles table.
    ASSERT_EQ(Shell(dir, {"ogrinfo", dir / "site.gpkg", "-sql", "SELECT DisableSpatialIndex('survey_points', 'geom')"}).status, 0);
    ASSERT_EQ(Shell(dir, {"ogrinfo", dir / "site.gpkg", "-sql", "SELECT CreateSpatialIndex('survey_points', 'geom')"}).status, 0);
    ASSERT_EQ(Shell(dir, {"ogrinfo", dir / "site.gpkg", "-sql",
                          "CREATE TABLE layer_styles(id INTEGER PRIMARY KEY, f_table_name TEXT, styleQML TEXT)"}).status, 0);
    const Outcome more = Export(dir, {"b.ssd", "c.ssd"}, "gpkg", "site.gpkg");
    ASSERT_EQ(more.status, 0) << more.err;
    EXPECT_EQ(GpkgValidatorComplaints(dir, "site.gpkg"), "");
    // Every geometry is in its layer's index, each at its own place; a spatial filter finds them.
    const Outcome read = Python(dir, R"py(import sqlite3, struct, sys
db = sqlite3.connect(sys.argv[1])
for table in ('survey_points', 'plan_points_px'):
    rows = {fid: struct.unpack('<dd', geom[13:29]) for fid, geom in db.execute(
        'SELECT fid, geom FROM %s WHERE geom IS NOT NULL' % table)}
    index = {i: (x0, y0) for i, x0, x1, y0, y1 in db.execute('SELECT * FROM rtree_%s_geom' % table)}
    assert set(rows) == set(index), (table, rows, index)
    for fid, (x, y) in rows.items():
        assert abs(index[fid][0] - x) < 1e-3 and abs(index[fid][1] - y) < 1e-3, (table, fid)
    print(table, len(rows))
srs = db.execute("SELECT srs_id, organization, definition FROM gpkg_spatial_ref_sys WHERE srs_id = "
                 "(SELECT srs_id FROM gpkg_geometry_columns WHERE table_name = 'plan_points_px')").fetchone()
print(srs[0], srs[1], srs[2].startswith('LOCAL_CS['))
for kind, x, y, geom, local, time in db.execute(
        'SELECT p.kind, p.x, p.y, q.geom, s.local_time, s.time FROM plan_points_px q '
        'JOIN survey_points s ON s.fid = q.point JOIN survey_points p ON p.fid = q.point'):
    assert struct.unpack('<dd', geom[13:29]) == (x, -y) and local and time is None, (kind, x, y, local, time)
times = [t for (t,) in db.execute("SELECT time FROM survey_points WHERE kind = 0 AND time IS NOT NULL")]
assert times and all(t.endswith('Z') for t in times), times
)py", "site.gpkg");
    const int located = a.geolocated + b.geolocated + c.geolocated;
    // Plan taps and markers: two a survey that are not cut short.
    EXPECT_EQ(read.out, "survey_points " + std::to_string(located) + "\nplan_points_px 6\n990002 QUORL True\n") << read.err;
    // A spatial filter through the index: every plan point lies at (640, -65535).
    for (const auto& [box, count] : {std::pair{std::vector<std::string>{"600", "-66000", "700", "-65000"}, 6},
                                     std::pair{std::vector<std::string>{"0", "-10", "10", "0"}, 0}}) {
        std::vector<std::string> args = {"ogrinfo", "-ro", "-al", "-so", "-spat"};
        args.insert(args.end(), box.begin(), box.end());
        args.insert(args.end(), {dir / "site.gpkg", "plan_points_px"});
        const Outcome inBox = Shell(dir, args);
        EXPECT_NE(inBox.out.find("Feature Count: " + std::to_string(count) + "\n"), std::string::npos) << inBox.out;
    }
    // A package of the first schema (no indexes, no local_time, no plan layer) is brought up to
    // date when it next takes a survey: its points are indexed too.
    ASSERT_EQ(Export(dir, {"a.ssd"}, "gpkg", "old.gpkg").status, 0);
    ASSERT_EQ(Python(dir, R"py(import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
for (name,) in db.execute("SELECT name FROM sqlite_master WHERE type = 'trigger'").fetchall():
    db.execute('DROP TRIGGER "%s"' % name)
for t in ('rtree_survey_points_geom', 'rtree_plan_points_px_geom', 'plan_points_px'):
    db.execute('DROP TABLE ' + t)
db.execute("DELETE FROM gpkg_geometry_columns WHERE table_name = 'plan_points_px'")
db.execute("DELETE FROM gpkg_contents WHERE table_name = 'plan_points_px'")
db.execute('DELETE FROM gpkg_extensions')
db.execute('ALTER TABLE survey_points DROP COLUMN local_time')
db.execute("UPDATE gpkg_contents SET description = 'quorl survey points, schema 1' WHERE table_name = 'survey_points'")
db.commit()
)py", "old.gpkg").status, 0);
    const Outcome upgraded = Export(dir, {"b.ssd"}, "gpkg", "old.gpkg");
    ASSERT_EQ(upgraded.status, 0) << upgraded.err;
    EXPECT_EQ(GpkgValidatorComplaints(dir, "old.gpkg"), "");
    EXPECT_EQ(Python(dir, R"py(import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
print(*(db.execute(q).fetchone()[0] for q in (
    'SELECT count(*) FROM survey_points WHERE geom IS NOT NULL',
    'SELECT count(*) FROM rtree_survey_points_geom',
    "SELECT count(*) FROM pragma_table_info('survey_points') WHERE name = 'local_time'",
    "SELECT description FROM gpkg_contents WHERE table_name = 'survey_points'")))
)py", "old.gpkg").out, std::to_string(a.geolocated + b.geolocated) + " " + std::to_string(a.geolocated + b.geolocated) +
                           " 1 quorl survey points, schema 2\n");
}

// A 24-bit bitmap of width x height, white.
Bytes WhiteBitmap(int width, int height) {
    const int row = (width * 3 + 3) / 4 * 4;
    Bytes b(54 + static_cast<std::size_t>(row) * height, 0xFF);
    const auto le32 = [&](std::size_t at, std::uint32_t v) { WriteLe32(b.data() + at, v); };
    b[0] = 'B', b[1] = 'M';
    le32(2, static_cast<std::uint32_t>(b.size())), le32(6, 0), le32(10, 54), le32(14, 40);
    le32(18, static_cast<std::uint32_t>(width)), le32(22, static_cast<std::uint32_t>(height));
    WriteLe16(b.data() + 26, 1), WriteLe16(b.data() + 28, 24);
    for (std::size_t at : {30, 34, 38, 42, 46, 50}) le32(at, 0);
    le32(34, static_cast<std::uint32_t>(row) * static_cast<std::uint32_t>(height));
    return b;
}

// Indoor surveys in GIS: plan taps get their place on the plan in every
// format that can hold it, and the decoded plan's world file puts the image
// exactly under them. The oracle is what the test wrote: the taps' pixels,
// the scale it measured and the reference points of the GPS plan.
TEST(ExportReadbackTest, PlanTapsHaveAPlaceOnThePlanInGisTools) {
    TempDir dir;
    WriteBytes(dir / "plan.bmp", WhiteBitmap(200, 100));
    ASSERT_EQ(Quorl(dir, {"proj", "make", "--kind", "linear", "--transform", "1,0,0,1,0,0", "--image", dir / "plan.bmp",
                          dir / "plan.lpf"}).status, 0);
    // 100 px are 5 m: 0.05 m a pixel.
    ASSERT_EQ(Quorl(dir, {"proj", "scale", dir / "plan.lpf", "--points", "0,0;100,0", "--metres", "5"}).status, 0);
    const std::vector<std::pair<int, int>> taps = {{10, 20}, {199, 99}, {0, 0}, {150, 40}};
    const auto start = collection::MakeNewFileStart(1700000000);
    Bytes b(start.begin(), start.end());
    for (std::size_t i = 0; i < taps.size(); ++i) {
        collection::PointRecord p;
        p.kind = i == 2 ? 17 : 2, p.fix = 3, p.x = static_cast<std::uint16_t>(taps[i].first);
        p.y = static_cast<std::uint16_t>(taps[i].second), p.apCount = 1;
        p.month = 6, p.day = 11, p.year = 44, p.hour = 9, p.minute = 5;
        Bytes g(collection::kPointRecordSize + collection::kApRecordSize);
        collection::EncodePoint(p, g.data());
        collection::EncodeAp(Ap(static_cast<int>(i), "net"), g.data() + collection::kPointRecordSize);
        b.insert(b.end(), g.begin(), g.end());
    }
    WriteBytes(dir / "walk.ssd", b);
    const auto exportOn = [&](const std::string& format, const std::string& out, bool projection = true) {
        std::vector<std::string> args = {"ssd", "export", dir / "walk.ssd", "--format", format, "-o", dir / out};
        if (projection) args.insert(args.end(), {"--projection", dir / "plan.lpf"});
        return Quorl(dir, args);
    };
    std::string expected;  // "x_m y_m" of each tap, as the test placed them
    for (const auto& [x, y] : taps) {
        char line[64];
        std::snprintf(line, sizeof line, "%.3f %.3f\n", x * 0.05, -y * 0.05);
        expected += line;
    }

    // CSV: no latitude and longitude for a plan tap, its metres with a scale (none without).
    ASSERT_EQ(exportOn("csv", "walk.csv").status, 0);
    ASSERT_EQ(exportOn("csv", "bare.csv", false).status, 0);
    EXPECT_EQ(Python(dir, R"py(import csv, sys
for path in sys.argv[1:]:
    rows = list(csv.DictReader(open(path, newline='')))
    assert all(r['lat'] == '' and r['lon'] == '' for r in rows), rows
    if 'x_m' in rows[0]:
        for r in rows: print('%.3f %.3f' % (float(r['x_m']), float(r['y_m'])))
    else: print('no metres')
)py", "walk.csv", {dir / "bare.csv"}).out, expected + "no metres\n");

    // GeoJSON on the plan, and the GeoPackage's plan layer through ogr2ogr to FlatGeobuf and Shapefile.
    ASSERT_EQ(exportOn("plan-geojson", "walk.plan.geojson").status, 0);
    EXPECT_EQ(Python(dir, R"py(import json, sys
for f in json.load(open(sys.argv[1]))['features']:
    print('%.3f %.3f' % tuple(f['geometry']['coordinates']))
)py", "walk.plan.geojson").out, expected);
    ASSERT_EQ(exportOn("gpkg", "walk.gpkg").status, 0);
    EXPECT_EQ(GpkgValidatorComplaints(dir, "walk.gpkg"), "");
    for (const auto& [driver, out] : {std::pair{"FlatGeobuf", "walk.fgb"}, std::pair{"ESRI Shapefile", "walk.shp"}}) {
        SCOPED_TRACE(driver);
        const Outcome converted = Shell(dir, {"ogr2ogr", "-f", driver, dir / out, dir / "walk.gpkg", "plan_points"});
        ASSERT_EQ(converted.status, 0) << converted.err;
        const Outcome back = Shell(dir, {"ogr2ogr", "-f", "CSV", "/vsistdout/", dir / out, "-lco", "GEOMETRY=AS_XY"});
        std::istringstream rows(back.out);
        std::string line, got;
        std::getline(rows, line);  // header: X,Y,...
        while (std::getline(rows, line)) {
            double x = 0, y = 0;
            std::sscanf(line.c_str(), "%lf,%lf", &x, &y);
            char text[64];
            std::snprintf(text, sizeof text, "%.3f %.3f\n", x, y);
            got += text;
        }
        // FlatGeobuf stores features in the order of its spatial index.
        const auto sorted = [](const std::string& text) {
            std::multiset<std::string> lines;
            std::istringstream in(text);
            for (std::string l; std::getline(in, l);) lines.insert(l);
            return lines;
        };
        EXPECT_EQ(sorted(got), sorted(expected)) << back.out << back.err;
        const Outcome info = Shell(dir, {"ogrinfo", "-ro", "-so", "-al", dir / out});
        EXPECT_NE(info.out.find("quorl plan (metres)"), std::string::npos) << info.out;
    }

    // The world file: GDAL's place for each tap's pixel is the tap's geometry.
    ASSERT_EQ(Quorl(dir, {"proj", "decode", dir / "plan.lpf", dir / "decoded.bmp"}).status, 0);
    std::string pixels;
    for (const auto& [x, y] : taps) pixels += std::to_string(x) + " " + std::to_string(y) + "\n";
    std::ofstream(dir / "pixels.txt") << pixels;
    const auto placed = [&](const std::string& image) {
        const Outcome o = RunCommandLine("gdaltransform " + Quote(dir / image) + " < " + Quote(dir / "pixels.txt"), dir);
        std::istringstream in(o.out);
        std::string text;
        for (double x, y, z; in >> x >> y >> z;) {
            char line[96];
            std::snprintf(line, sizeof line, "%.7f %.7f\n", x, y);
            text += line;
        }
        return text.empty() ? o.err : text;
    };
    std::string expectedWide;
    for (const auto& [x, y] : taps) {
        char line[96];
        std::snprintf(line, sizeof line, "%.7f %.7f\n", x * 0.05, -y * 0.05);
        expectedWide += line;
    }
    EXPECT_EQ(placed("decoded.bmp"), expectedWide);
    // Its system comes along: the same as the plan layer's.
    const Outcome raster = Shell(dir, {"gdalinfo", dir / "decoded.bmp"});
    EXPECT_NE(raster.out.find("quorl plan (metres)"), std::string::npos) << raster.out;
    // A GPS plan lies in WGS 84: its reference points come back where they were given.
    ASSERT_EQ(Quorl(dir, {"proj", "make", "--kind", "gps", "--calibrate",
                          "0,0,47.5,8.25;200,0,47.5,8.2525;0,100,47.499,8.25", "--image", dir / "plan.bmp",
                          dir / "plan.gpf"}).status, 0);
    ASSERT_EQ(Quorl(dir, {"proj", "decode", dir / "plan.gpf", dir / "gps.bmp"}).status, 0);
    std::ofstream(dir / "pixels.txt") << "0 0\n200 0\n0 100\n";
    EXPECT_EQ(placed("gps.bmp"), "8.2500000 47.5000000\n8.2525000 47.5000000\n8.2500000 47.4990000\n");
    EXPECT_NE(Shell(dir, {"gdalinfo", dir / "gps.bmp"}).out.find("WGS 84"), std::string::npos);
}

TEST(ExportReadbackTest, PositionsOffTheEarthAreNoPlaces) {
    TempDir dir;
    Bytes b = LargeSurvey(4, 1);
    // Point 1 at latitude 0x7FFFFFFF, point 2 a hair past 180 degrees east; 0 and 3 stay.
    WriteLe32(b.data() + collection::kFirstGroup + 82 + 1, 0x7FFFFFFF);
    WriteLe32(b.data() + collection::kFirstGroup + 2 * 82 + 5, 180 * 3600000 + 1);
    WriteBytes(dir / "far.ssd", b);
    const Outcome info = Shell(dir, {QUORL_TOOL, "ssd", "info", dir / "far.ssd"});
    EXPECT_NE(info.out.find("positions off the earth: 2 "), std::string::npos) << info.out;
    ASSERT_EQ(Export(dir, {"far.ssd"}, "geojson", "far.geojson").status, 0);
    EXPECT_EQ(Python(dir, R"(import json, sys
print(*(f['geometry'] is not None for f in json.load(open(sys.argv[1]))['features']))
)", "far.geojson").out, "True False False True\n");
    ASSERT_EQ(Export(dir, {"far.ssd"}, "kml", "far.kml").status, 0);
    EXPECT_EQ(Shell(dir, {"xmllint", "--xpath", "count(//*[local-name()='Placemark'])", dir / "far.kml"}).out, "2\n");
    ASSERT_EQ(Export(dir, {"far.ssd"}, "sqlite", "far.db").status, 0);
    EXPECT_EQ(Python(dir, R"(import sqlite3, sys
print(*(r[0] is not None for r in sqlite3.connect(sys.argv[1]).execute('SELECT latitude FROM points ORDER BY number')))
)", "far.db").out, "True False False True\n");
}

TEST(ExportReadbackTest, OverTheAirTextDrivesNoTerminalAndNoSpreadsheet) {
    TempDir dir;
    Bytes b = LargeSurvey(1, 3);
    const std::string ssids[] = {"\x1b]0;owned\x07", "\x1b[2J\xc2\x9b", "=HYPERLINK(\"x\")"};
    for (int k = 0; k < 3; ++k) {
        collection::ApRecord ap = Ap(k, ssids[k]);
        collection::EncodeAp(ap, b.data() + collection::kFirstGroup + collection::kPointRecordSize + k * collection::kApRecordSize);
    }
    WriteBytes(dir / "air.ssd", b);
    // A pipe gets the exact bytes; a terminal sees them escaped.
    const Outcome piped = Shell(dir, {QUORL_TOOL, "ssd", "dump", dir / "air.ssd"});
    EXPECT_NE(piped.out.find(ssids[0]), std::string::npos);
    const Outcome shown = Shell(dir, {"script", "-qec", Quote(QUORL_TOOL) + " ssd dump " + Quote(dir / "air.ssd"), "/dev/null"});
    EXPECT_EQ(shown.status, 0) << shown.err;
    EXPECT_EQ(shown.out.find_first_of("\x1b\x07\x9b"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("\\x1b]0;owned\\x07"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("\\x1b[2J\\xc2\\x9b"), std::string::npos) << shown.out;
    // CSV for a spreadsheet: a formula becomes text; by default the bytes stay.
    for (const bool safe : {false, true}) {
        std::vector<std::string> args = {QUORL_TOOL, "ssd", "export", dir / "air.ssd", "--format", "csv", "-o", dir / "air.csv"};
        if (safe) args.push_back("--spreadsheet");
        ASSERT_EQ(Shell(dir, args).status, 0);
        const Outcome read = Python(dir, R"(import csv, sys
print(list(csv.DictReader(open(sys.argv[1], encoding='latin-1', newline='')))[2]['ssid'])
)", "air.csv");
        EXPECT_EQ(read.out, std::string(safe ? "'" : "") + ssids[2] + "\n");
    }
}

TEST(ExportReadbackTest, RefusedInputsAndOutputsLoseNothing) {
    TempDir dir;
    WriteBytes(dir / "good.ssd", MakeSurvey(1).bytes);
    WriteBytes(dir / "plan.ssd", MakeSurvey(3, false).bytes);
    WriteBytes(dir / "bad.ssd", Bytes(10, 0x20));
    const Bytes notADatabase(5000, 'x');
    WriteBytes(dir / "keep.db", notADatabase);
    WriteBytes(dir / "old.csv", Bytes{'o', 'l', 'd'});

    for (const std::string format : {"csv", "geojson", "kml", "sqlite"}) {
        SCOPED_TRACE(format);
        // A refused file is named; the others still go out.
        const Outcome mixed = Export(dir, {"bad.ssd", "good.ssd", "missing.ssd"}, format, "mixed." + format);
        EXPECT_EQ(mixed.status, 1);
        EXPECT_NE(mixed.err.find("bad.ssd is not a readable collection file"), std::string::npos) << mixed.err;
        EXPECT_NE(mixed.err.find("missing.ssd: No such file or directory"), std::string::npos) << mixed.err;
        EXPECT_GT(ReadBytes(dir / ("mixed." + format)).size(), 1000u);
        // Nothing to export: an existing output stays as it was.
        EXPECT_EQ(Export(dir, {"bad.ssd"}, format, format == "sqlite" ? "keep.db" : "old.csv").status, 1);
        // A folder that does not exist: the system's own words.
        const Outcome nowhere = Export(dir, {"good.ssd"}, format, "no/such/folder/out");
        EXPECT_EQ(nowhere.status, 1);
        EXPECT_NE(nowhere.err.find("No such file or directory"), std::string::npos) << nowhere.err;
        // Never over an input.
        EXPECT_EQ(Export(dir, {"good.ssd"}, format, "good.ssd").status, 1);
    }
    EXPECT_EQ(ReadBytes(dir / "old.csv"), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(ReadBytes(dir / "keep.db"), notADatabase);
    EXPECT_EQ(ReadBytes(dir / "good.ssd"), MakeSurvey(1).bytes);
    const Outcome notDb = Export(dir, {"good.ssd"}, "sqlite", "keep.db");
    EXPECT_NE(notDb.err.find("file is not a database"), std::string::npos) << notDb.err;
    EXPECT_EQ(ReadBytes(dir / "keep.db"), notADatabase);

    // A survey without a position on the earth makes no empty KML.
    const Outcome plan = Export(dir, {"plan.ssd"}, "kml", "plan.kml");
    EXPECT_EQ(plan.status, 1);
    EXPECT_NE(plan.err.find("has no point with a position on the earth"), std::string::npos) << plan.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "plan.kml"));
    // No temporary files are left behind.
    for (const auto& name : dir.Names()) EXPECT_EQ(name.find(".out."), std::string::npos) << name;
    EXPECT_EQ(Shell(dir, {QUORL_TOOL, "ssd", "export", dir / "good.ssd", "--format", "xls", "-o", dir / "x"}).status, 2);
}

// WiGLE CSV: only GPS points with a place on the earth, one row per access
// point, in the format's own spellings; read back with Python's csv.
TEST(ExportReadbackTest, WigleCsvHoldsTheGpsReadingsInItsOwnSpelling) {
    TempDir dir;
    WriteBytes(dir / "a.ssd", MakeSurvey(1).bytes);
    WriteBytes(dir / "plan.ssd", MakeSurvey(3, false).bytes);
    // GPS points with a 3D fix: latitude beyond 90, longitude beyond -180, and one on the earth at
    // 2024-06-11 09:05:00 GPS time; then one on the earth without a fix.
    auto start = collection::MakeNewFileStart(1700000000);
    Bytes far(start.begin(), start.end());
    for (auto [lat, lon, fix] : {std::tuple{91 * 3600000, 0, 2}, std::tuple{3600000, -181 * 3600000, 2},
                                 std::tuple{-3600000, 3600000, 2}, std::tuple{-3600000, 3600000, 0}}) {
        collection::PointRecord p;
        p.latitude = lat, p.longitude = lon, p.apCount = 1, p.month = 6, p.day = 11, p.year = 44, p.hour = 9, p.minute = 5;
        p.fix = static_cast<std::uint8_t>(fix);
        Bytes g(collection::kPointRecordSize + collection::kApRecordSize);
        collection::EncodePoint(p, g.data());
        collection::EncodeAp(Ap(36, "five"), g.data() + collection::kPointRecordSize);
        far.insert(far.end(), g.begin(), g.end());
    }
    WriteBytes(dir / "far.ssd", far);

    const Outcome out = Export(dir, {"a.ssd", "far.ssd", "plan.ssd"}, "wigle", "out.csv");
    EXPECT_EQ(out.status, 1);  // plan.ssd has nothing WiGLE can hold
    EXPECT_NE(out.err.find("far.ssd: 2 point(s) with a position beyond"), std::string::npos) << out.err;
    EXPECT_NE(out.err.find("far.ssd: 1 GPS point(s) taken without a GPS fix left out"), std::string::npos) << out.err;
    EXPECT_NE(out.err.find("a.ssd: 2 plan tap(s) and marker(s) left out"), std::string::npos) << out.err;
    EXPECT_NE(out.err.find("plan.ssd has no GPS point with a fix"), std::string::npos) << out.err;
    const Outcome wigle = Python(dir, R"(import csv, re, sys
f = open(sys.argv[1], encoding='utf-8', newline='')
pre = f.readline().rstrip('\n').split(',')
assert pre[0] == 'WigleWifi-1.6' and 'star=Sol' in pre and 'body=3' in pre and 'subBody=0' in pre, pre
rows = list(csv.DictReader(f))
assert list(rows[0].keys()) == ['MAC', 'SSID', 'AuthMode', 'FirstSeen', 'Channel', 'Frequency', 'RSSI',
    'CurrentLatitude', 'CurrentLongitude', 'AltitudeMeters', 'AccuracyMeters', 'RCOIs', 'MfgrId', 'Type']
mhz = lambda c: 2484 if c == 14 else 2407 + 5 * c if c <= 13 else 5000 + 5 * c
for r in rows:
    assert re.fullmatch('([0-9a-f]{2}:){5}[0-9a-f]{2}', r['MAC']) and r['Type'] == 'WIFI', r
    assert r['AuthMode'] == r['AltitudeMeters'] == r['AccuracyMeters'] == r['RCOIs'] == r['MfgrId'] == '', r
    assert int(r['Frequency']) == mhz(int(r['Channel'])), r
    assert -90 <= float(r['CurrentLatitude']) <= 90 and -180 <= float(r['CurrentLongitude']) <= 180, r
    print('%s|%s|%s|%s|%s|%s,%s' % (r['MAC'].upper().replace(':', '-'), r['SSID'].encode('utf-8').hex(),
          r['Channel'], r['RSSI'], r['FirstSeen'], r['CurrentLatitude'], r['CurrentLongitude']))
)", "out.csv");
    ASSERT_EQ(wigle.status, 0) << wigle.err;
    // The GPS point with every SSID and the projected tap of a.ssd, then far.ssd's one point on the earth.
    std::multiset<std::string> expected;
    // FirstSeen is UTC: the GPS time less 18 leap seconds.
    const std::string where = "|2024-06-11 09:04:43|47.3771003,-8.5414000";  // 170557561 / 3600000
    // WiGLE files are UTF-8: each byte that starts no character is U+FFFD.
    const std::map<std::string, std::string> unicode = {{"bad\xFF", "bad\uFFFD"},
                                                        {"cut\xE2\x82", "cut\uFFFD\uFFFD"},
                                                        {"\xC0\xAF", "\uFFFD\uFFFD"}};
    for (std::size_t i = 0; i < kSsids.size(); ++i) {
        const auto it = unicode.find(kSsids[i]);
        expected.insert(Reading(Ap(static_cast<int>(i) + 1, it == unicode.end() ? kSsids[i] : it->second)) + where);
    }
    expected.insert(Reading(Ap(100, "projected")) + "|2024-06-11 09:04:43|47.3771281,-8.5414000");
    expected.insert(Reading(Ap(36, "five")) + "|2024-06-11 09:04:42|-1.0000000,1.0000000");
    std::multiset<std::string> found;
    std::istringstream in(wigle.out);
    for (std::string line; std::getline(in, line);) found.insert(line);
    EXPECT_EQ(found, expected);

    // Nothing with a position: no file at all.
    EXPECT_EQ(Export(dir, {"plan.ssd"}, "wigle", "none.csv").status, 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "none.csv"));
}

}  // namespace
}  // namespace quorl::test
