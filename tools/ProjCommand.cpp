// quorl proj info FILE | decode FILE OUT | make ...: inspect a projection
// file, decode its plan image exactly as a projection load does, or make a
// projection file from a bitmap and a transform (given, or solved from three
// reference points). quorl proj scale SITE [--points ... --metres D]: show or
// measure how many metres a plan pixel spans.

#include <fcntl.h>

#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "common/ByteOrder.h"
#include "analysis/PlanScale.h"
#include "analysis/PlanSource.h"
#include "common/UserMessages.h"
#include "survey/AffineTransform.h"
#include "survey/Compression.h"
#include "survey/FileHandle.h"
#include "survey/PendingFile.h"
#include "survey/PlanEncoder.h"
#include "survey/ProjectionFormat.h"
#include "tools/CommandRegistry.h"

namespace quorl::tools {

namespace {

constexpr const char* kUsage =
    "usage: quorl proj info FILE\n"
    "       quorl proj decode FILE OUT\n"
    "       quorl proj make --kind gps|linear (--transform A,B,C,D,E,F | --calibrate \"px,py,lat,lon;...\")\n"
    "                       --image IMAGE.bmp OUT\n"
    "       quorl proj scale FILE [--points \"x1,y1;x2,y2\" --metres D]\n";

// Bitmaps larger than this are refused: N is a 32-bit field.
constexpr std::uint64_t kMaxImageBytes = 0x7FFFFFFF;

int Fail(const std::string& text) {
    std::fprintf(stderr, "quorl proj: %s\n", text.c_str());
    return 1;
}

// Opens and checks a projection file the way a projection load does.
bool Inspect(const std::string& path, FileHandle& file, projection::Inspection& place) {
    file = FileHandle::Open(path, O_RDONLY);
    if (!file.Valid()) {
        Fail("cannot open " + path + ": " + SystemErrorText(errno));
        return false;
    }
    std::string why;
    int errorNumber = 0;
    if (!projection::Inspect(file, place, why, errorNumber)) {
        if (errorNumber != 0)
            Fail("cannot read " + path + ": " + SystemErrorText(errorNumber));
        else
            Fail(path + " cannot be used as a projection file: " + why);
        return false;
    }
    return true;
}

// Prints what the file says even when it lies, then what is wrong with it.
int Info(const std::string& path) {
    FileHandle file = FileHandle::Open(path, O_RDONLY);
    if (!file.Valid()) return Fail("cannot open " + path + ": " + SystemErrorText(errno));
    projection::Inspection place;
    std::string why;
    int errorNumber = 0;
    const bool usable = projection::Inspect(file, place, why, errorNumber);
    if (errorNumber != 0) return Fail("cannot read " + path + ": " + SystemErrorText(errorNumber));
    std::printf("file: %s\n", path.c_str());
    std::printf("length: %" PRIu64 " bytes\n", place.fileLength);
    if (place.fileLength >= projection::kHeaderSize) {
        const AffineTransform t = projection::TransformOf(place.header);
        const std::uint8_t kind = place.header[projection::kKindOffset];
        std::printf("kind: %u (%s)\n", kind,
                    kind == 0 ? "GPS projection" : kind == 1 ? "linear projection" : "unknown");
        std::printf("A: %.17g\nB: %.17g\nC: %.17g\nD: %.17g\nE: %.17g\nF: %.17g\n", t.a, t.b, t.c, t.d, t.e, t.f);
        std::printf("block offset: %u\n", projection::BlockOffset(place.header));
        if (place.blockOffset + 8 <= place.fileLength) {
            std::printf("block length: %" PRIu64 "\n", place.blockLength);
            std::printf("decoded length: %u\n", place.decodedLength);
        }
    }
    if (!usable) return Fail(path + " cannot be used as a projection file: " + why);
    return 0;
}

int Decode(const std::string& path, const std::string& out) {
    FileHandle file;
    projection::Inspection place;
    if (!Inspect(path, file, place)) return 1;
    PendingFile pending(out, {path});
    if (!pending.Created()) return Fail("cannot write " + out + ": " + SystemErrorText(pending.Error()));
    CCompression decoder(path, pending.TempPath());
    decoder.SetSourceRange(place.blockOffset, place.blockLength);
    const DecompressResult r = decoder.Decompress();
    if (r.sourceFailed) return Fail("cannot read " + path + ": " + SystemErrorText(r.errorNumber));
    if (r.destinationFailed) return Fail("cannot write " + out + ": " + SystemErrorText(r.errorNumber));
    if (r.capped)
        return Fail(path + " cannot be used as a projection file: its plan image claims more bytes than its code can hold.");
    if (!pending.Commit()) return Fail("cannot create " + out + ": " + SystemErrorText(pending.Error()));
    if (r.padded)
        std::fprintf(stderr, "quorl proj: the code ends early: %" PRIu64 " of %" PRIu64 " bytes decoded, the rest padded\n",
                     r.decoded, r.declaredLength);
    return 0;
}

std::optional<std::vector<double>> Numbers(const std::string& text, char separator, std::size_t count) {
    std::vector<double> values;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(separator, start);
        const std::string item = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        char* stop = nullptr;
        const double v = std::strtod(item.c_str(), &stop);
        if (item.empty() || *stop != '\0' || !std::isfinite(v)) return std::nullopt;
        values.push_back(v);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    if (values.size() != count) return std::nullopt;
    return values;
}

std::optional<AffineTransform> Calibration(const std::string& text) {
    std::array<AffineTransform::Reference, 3> refs;
    std::size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        const std::size_t end = text.find(';', start);
        if ((i < 2) != (end != std::string::npos)) return std::nullopt;
        const auto v = Numbers(text.substr(start, end == std::string::npos ? std::string::npos : end - start), ',', 4);
        if (!v) return std::nullopt;
        refs[i] = {(*v)[0], (*v)[1], (*v)[2], (*v)[3]};
        start = end + 1;
    }
    return AffineTransform::Solve(refs);
}

bool ReadWhole(const std::string& path, std::vector<std::uint8_t>& bytes) {
    FileHandle file = FileHandle::Open(path, O_RDONLY);
    if (!file.Valid()) {
        Fail("cannot open " + path + ": " + SystemErrorText(errno));
        return false;
    }
    const std::int64_t length = file.Length();
    if (length < 0) {
        Fail("cannot read " + path + ": " + SystemErrorText(errno));
        return false;
    }
    if (static_cast<std::uint64_t>(length) > kMaxImageBytes) {
        Fail(path + " is too large for a plan image");
        return false;
    }
    bytes.resize(static_cast<std::size_t>(length));
    if (file.ReadAt(bytes.data(), bytes.size(), 0) != length) {
        Fail("cannot read " + path + ": " + SystemErrorText(errno != 0 ? errno : EIO));
        return false;
    }
    return true;
}

int Make(const std::vector<std::string>& args) {
    std::optional<std::uint8_t> kind;
    std::optional<AffineTransform> transform;
    std::string image, out;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--kind" && hasValue) {
            const std::string& v = args[++i];
            if (v == "gps") kind = 0;
            else if (v == "linear") kind = 1;
            else return Fail("--kind takes gps or linear, not '" + v + "'");
        } else if (a == "--transform" && hasValue) {
            const auto v = Numbers(args[++i], ',', 6);
            if (!v) return Fail("--transform takes six numbers A,B,C,D,E,F");
            transform = AffineTransform{(*v)[0], (*v)[1], (*v)[2], (*v)[3], (*v)[4], (*v)[5]};
        } else if (a == "--calibrate" && hasValue) {
            transform = Calibration(args[++i]);
            if (!transform)
                return Fail("--calibrate takes three points \"px,py,lat,lon;px,py,lat,lon;px,py,lat,lon\" "
                            "that do not lie on one line");
        } else if (a == "--image" && hasValue) {
            image = args[++i];
        } else if (!a.empty() && a[0] != '-' && out.empty()) {
            out = a;
        } else {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }
    if (!kind || !transform || image.empty() || out.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (*kind == 0 && !transform->Invertible())
        return Fail("a GPS projection needs a transform that can be inverted");

    std::vector<std::uint8_t> bytes;
    if (!ReadWhole(image, bytes)) return 1;
    if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M' || ReadLe32(&bytes[10]) >= bytes.size())
        return Fail(image + " is not a bitmap file (BMP)");

    const auto block = EncodePlanBlock(bytes.data(), bytes.size());
    if (!block) return Fail(image + " is too large for a plan image");
    const std::vector<std::uint8_t> file = projection::MakeFile(*kind, *transform, *block);

    if (const int why = WriteWholeFile(out, file.data(), file.size(), {image}))
        return Fail("cannot write " + out + ": " + SystemErrorText(why));
    std::printf("%s: %s projection, image %zu bytes, block %zu bytes\n", out.c_str(), *kind == 0 ? "GPS" : "linear",
                bytes.size(), block->size());
    return 0;
}

// Without --points: the scale the tools use. With them: a linear plan's
// scale from one measured distance, kept in a side file (never in FILE).
int Scale(const std::vector<std::string>& args) {
    std::string path, points, metresText;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--points" && hasValue) {
            points = args[++i];
        } else if (a == "--metres" && hasValue) {
            metresText = args[++i];
        } else if (!a.empty() && a[0] != '-' && path.empty()) {
            path = a;
        } else {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }
    if (path.empty() || points.empty() != metresText.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    analysis::PlanSource plan;
    std::string error;
    if (!analysis::LoadPlanSource(path, plan, error)) return Fail(error);
    std::string warning;
    const analysis::PlanScale known = analysis::ScaleOfPlan(path, plan, warning);
    if (!warning.empty()) std::fprintf(stderr, "quorl proj: %s\n", warning.c_str());
    if (points.empty()) {
        if (!known.Known()) {
            std::printf("%s: no plan scale: distances in plan pixels\n", path.c_str());
            return 0;
        }
        std::printf("%s: 1 px = %.6g m (%s)\n", path.c_str(), known.metresPerPixel,
                    known.from == analysis::PlanScale::From::Transform ? "from its GPS transform at the plan's centre"
                                                                       : known.sideFile.c_str());
        return 0;
    }
    if (plan.kind == 0)
        return Fail(path + " is a GPS projection: its transform gives the scale (" +
                    (known.Known() ? std::to_string(known.metresPerPixel) + " m per pixel" : "none: it cannot be inverted") +
                    "); a measured scale is for linear projections");
    const std::size_t semicolon = points.find(';');
    const auto first = Numbers(points.substr(0, semicolon), ',', 2);
    const auto second = semicolon == std::string::npos ? std::nullopt : Numbers(points.substr(semicolon + 1), ',', 2);
    if (!first || !second) return Fail("--points takes two plan pixels \"x1,y1;x2,y2\"");
    const double pixels = std::hypot((*second)[0] - (*first)[0], (*second)[1] - (*first)[1]);
    if (!(pixels >= 1)) return Fail("--points must lie at least one plan pixel apart");
    std::string number = metresText;
    if (!number.empty() && number.back() == 'm') number.pop_back();
    const auto metres = Numbers(number, ',', 1);
    if (!metres || !((*metres)[0] > 0)) return Fail("--metres takes the distance between the points in metres, above 0");
    const double scale = (*metres)[0] / pixels;
    const std::string written = analysis::WriteScaleFile(path, scale, plan.width, plan.height, error);
    if (written.empty()) return Fail(error);
    std::printf("%s: 1 px = %.6g m (%g m over %.1f px), kept in %s\n", path.c_str(), scale, (*metres)[0], pixels,
                written.c_str());
    return 0;
}

int Run(const std::vector<std::string>& args) {
    if (!args.empty() && args[0] == "scale") return Scale(args);
    if (args.size() == 2 && args[0] == "info") return Info(args[1]);
    if (args.size() == 3 && args[0] == "decode") return Decode(args[1], args[2]);
    if (!args.empty() && args[0] == "make") return Make(args);
    std::fputs(kUsage, stderr);
    return 2;
}

const RegisterCommand kRegistration("proj", "proj info|decode|make|scale ...    inspect, decode, make or scale a projection file",
                                    Run);

}  // namespace

}  // namespace quorl::tools
