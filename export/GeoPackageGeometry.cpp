#include "export/GeoPackageGeometry.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace quorl::exports::geopackage {

namespace {

// A bounded little/big-endian reader over the WKB: every read checks what
// is left, so a count that lies ends the walk instead of reading past it.
class WkbReader {
public:
    WkbReader(const std::uint8_t* p, std::size_t n) : p_(p), end_(p + n) {}
    bool Byte(std::uint8_t& v) {
        if (end_ - p_ < 1) return false;
        v = *p_++;
        return true;
    }
    bool U32(bool little, std::uint32_t& v) {
        if (end_ - p_ < 4) return false;
        v = little ? (std::uint32_t{p_[0]} | std::uint32_t{p_[1]} << 8 | std::uint32_t{p_[2]} << 16 |
                      std::uint32_t{p_[3]} << 24)
                   : (std::uint32_t{p_[3]} | std::uint32_t{p_[2]} << 8 | std::uint32_t{p_[1]} << 16 |
                      std::uint32_t{p_[0]} << 24);
        p_ += 4;
        return true;
    }
    bool Double(bool little, double& v) {
        if (end_ - p_ < 8) return false;
        std::uint8_t b[8];
        for (int i = 0; i < 8; ++i) b[i] = little ? p_[i] : p_[7 - i];
        std::memcpy(&v, b, 8);
        p_ += 8;
        return true;
    }
    std::size_t Left() const { return static_cast<std::size_t>(end_ - p_); }

private:
    const std::uint8_t* p_;
    const std::uint8_t* end_;
};

struct Bounds {
    bool any = false;
    double minX = 0, maxX = 0, minY = 0, maxY = 0;
    void Add(double x, double y) {
        // NaN coordinates (an empty point) add nothing.
        if (std::isnan(x) || std::isnan(y)) return;
        if (!any) {
            minX = maxX = x, minY = maxY = y, any = true;
            return;
        }
        minX = std::min(minX, x), maxX = std::max(maxX, x);
        minY = std::min(minY, y), maxY = std::max(maxY, y);
    }
};

bool Points(WkbReader& r, bool little, unsigned dims, std::uint32_t count, Bounds& b) {
    if (count > r.Left() / (8 * dims)) return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        double x, y, skip;
        if (!r.Double(little, x) || !r.Double(little, y)) return false;
        for (unsigned d = 2; d < dims; ++d)
            if (!r.Double(little, skip)) return false;
        b.Add(x, y);
    }
    return true;
}

bool Geometry(WkbReader& r, Bounds& b, int depth) {
    std::uint8_t order;
    std::uint32_t type;
    if (depth > 32 || !r.Byte(order) || order > 1 || !r.U32(order == 1, type)) return false;
    const bool little = order == 1;
    // ISO codes (1000 Z, 2000 M, 3000 ZM) and the extended high bits.
    unsigned dims = 2;
    if (type & 0x80000000u) ++dims;
    if (type & 0x40000000u) ++dims;
    type &= 0x0FFFFFFFu;
    if (type >= 3000) dims = 4, type -= 3000;
    else if (type >= 2000) dims = 3, type -= 2000;
    else if (type >= 1000) dims = 3, type -= 1000;
    std::uint32_t count = 0;
    switch (type) {
        case 1: return Points(r, little, dims, 1, b);
        case 2: return r.U32(little, count) && Points(r, little, dims, count, b);
        case 3:
            if (!r.U32(little, count) || count > r.Left() / 4) return false;
            for (std::uint32_t i = 0; i < count; ++i) {
                std::uint32_t n;
                if (!r.U32(little, n) || !Points(r, little, dims, n, b)) return false;
            }
            return true;
        case 4: case 5: case 6: case 7:
            if (!r.U32(little, count) || count > r.Left() / 5) return false;
            for (std::uint32_t i = 0; i < count; ++i)
                if (!Geometry(r, b, depth + 1)) return false;
            return true;
        default: return false;
    }
}

void Bound(sqlite3_context* context, int argc, sqlite3_value** argv, int which) {
    if (argc != 1 || sqlite3_value_type(argv[0]) != SQLITE_BLOB) {
        sqlite3_result_null(context);
        return;
    }
    const auto* blob = static_cast<const std::uint8_t*>(sqlite3_value_blob(argv[0]));
    const int size = sqlite3_value_bytes(argv[0]);
    Envelope e;
    if (!blob || size <= 0 || !EnvelopeOf(blob, static_cast<std::size_t>(size), e)) {
        sqlite3_result_null(context);
        return;
    }
    if (which == 4) {
        sqlite3_result_int(context, e.empty ? 1 : 0);
        return;
    }
    if (e.empty) {
        sqlite3_result_null(context);
        return;
    }
    const double values[4] = {e.minX, e.maxX, e.minY, e.maxY};
    sqlite3_result_double(context, values[which]);
}

template <int Which>
void BoundFunction(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Bound(c, argc, argv, Which);
}

}  // namespace

bool EnvelopeOf(const std::uint8_t* blob, std::size_t size, Envelope& out) {
    out = Envelope{};
    if (size < 8 || blob[0] != 'G' || blob[1] != 'P') return false;
    const std::uint8_t flags = blob[3];
    const bool little = flags & 1;
    const unsigned envelope = (flags >> 1) & 7;
    static constexpr std::size_t kEnvelopeBytes[] = {0, 32, 48, 48, 64};
    if (envelope > 4 || size < 8 + kEnvelopeBytes[envelope]) return false;
    if (flags & 0x10) {
        out.empty = true;
        return true;
    }
    if (envelope != 0) {
        WkbReader r(blob + 8, 32);
        if (!r.Double(little, out.minX) || !r.Double(little, out.maxX) || !r.Double(little, out.minY) ||
            !r.Double(little, out.maxY))
            return false;
        return true;
    }
    WkbReader r(blob + 8, size - 8);
    Bounds b;
    if (!Geometry(r, b, 0)) return false;
    out.empty = !b.any;
    out.minX = b.minX, out.maxX = b.maxX, out.minY = b.minY, out.maxY = b.maxY;
    return true;
}

bool RegisterGeometryFunctions(sqlite3* db) {
    struct Function {
        const char* name;
        void (*call)(sqlite3_context*, int, sqlite3_value**);
    };
    const Function functions[] = {{"ST_MinX", BoundFunction<0>}, {"ST_MaxX", BoundFunction<1>},
                                  {"ST_MinY", BoundFunction<2>}, {"ST_MaxY", BoundFunction<3>},
                                  {"ST_IsEmpty", BoundFunction<4>}};
    for (const Function& f : functions)
        if (sqlite3_create_function(db, f.name, 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                                    f.call, nullptr, nullptr) != SQLITE_OK)
            return false;
    return true;
}

}  // namespace quorl::exports::geopackage
