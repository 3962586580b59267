// quorl proj info FILE | decode FILE OUT | make ...: inspect a projection
// file, decode its plan image exactly as a projection load does, or make a
// projection file from a bitmap and a transform (given, or fitted to three
// or more reference points). quorl proj scale SITE [--points ... --metres D]: show or
// measure how many metres a plan pixel spans.

#include <fcntl.h>

#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <memory>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "common/ByteOrder.h"
#include "analysis/PlanScale.h"
#include "analysis/PlanSource.h"
#include "common/UserMessages.h"
#include "export/PlanFrame.h"
#include "export/TextFormat.h"
#include "survey/AffineTransform.h"
#include "survey/Compression.h"
#include "survey/FileHandle.h"
#include "survey/PendingFile.h"
#include "survey/PlanEncoder.h"
#include "survey/ProjectionFormat.h"
#include "survey/ReferenceFit.h"
#include "tools/CommandRegistry.h"
#include "tools/StandardStreams.h"

namespace quorl::tools {

namespace {

constexpr const char* kUsage =
    "usage: quorl proj info FILE\n"
    "       quorl proj decode FILE OUT          (and OUT's world file, OUT.wld)\n"
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

// OUT with its extension replaced by .wld (or .wld added).
std::string WorldFilePath(const std::string& image) {
    const std::size_t slash = image.find_last_of('/');
    const std::size_t dot = image.find_last_of('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    return (hasExtension ? image.substr(0, dot) : image) + ".wld";
}

// The world file of a plan: pixel (column, row) of the image to the place of
// its centre. A plan pixel (x, y) is the point at its top-left corner (where
// taps are drawn), so a pixel's centre is plan point (x + 0.5, y + 0.5).
// GPS projection: longitude and latitude through the inverse transform.
// Linear: the plan's own system (export/PlanFrame.h).
std::optional<std::string> WorldFileText(const analysis::PlanSource& plan, const exports::PlanFrame& frame) {
    // X = a col + b row + c, Y = d col + e row + f (pixel centres from col, row = 0.5).
    double a, b, c, d, e, f;
    if (plan.kind == 0) {
        const AffineTransform& t = plan.transform;
        if (!t.Invertible()) return std::nullopt;
        const double det = t.Determinant();
        a = -t.c / det, b = t.a / det, c = (t.c * t.e - t.a * t.f) / det;  // longitude
        d = t.d / det, e = -t.b / det, f = (t.b * t.f - t.d * t.e) / det;   // latitude
    } else {
        a = frame.Unit(), b = 0, c = 0;
        d = 0, e = -frame.Unit(), f = 0;
    }
    const double values[6] = {a, d, b, e, a * 0.5 + b * 0.5 + c, d * 0.5 + e * 0.5 + f};
    std::string text;
    for (double v : values) {
        if (!std::isfinite(v)) return std::nullopt;
        char number[40];
        text.append(number, exports::PutDouble(number, v));
        text += '\n';
    }
    return text;
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
    // The world file that lays the plan under the survey's points in a GIS
    // (none beside standard output).
    if (out == "-") return 0;
    analysis::PlanSource plan;
    std::string error, warning;
    // The image itself is written: a plan that places nowhere is said, not a failure.
    if (!analysis::LoadPlanSource(path, plan, error)) {
        std::fprintf(stderr, "quorl proj: no world file for %s: %s\n", out.c_str(), error.c_str());
        return 0;
    }
    exports::PlanFrame frame;
    const analysis::PlanScale scale = analysis::ScaleOfPlan(path, plan, warning);
    if (!warning.empty()) std::fprintf(stderr, "quorl proj: %s\n", warning.c_str());
    if (scale.Known()) frame.metresPerPixel = scale.metresPerPixel;
    const std::optional<std::string> world = WorldFileText(plan, frame);
    if (!world) {
        std::fprintf(stderr, "quorl proj: no world file for %s: the projection's transform cannot be inverted\n",
                     out.c_str());
        return 0;
    }
    const std::string worldPath = WorldFilePath(out);
    if (const int why = WriteWholeFile(worldPath, world->data(), world->size(), {path, out}))
        return Fail("cannot write " + worldPath + ": " + SystemErrorText(why));
    // A world file names no coordinate system: GDAL and QGIS take it from OUT.aux.xml.
    std::string wkt = plan.kind == 0 ? exports::kWgs84Wkt : exports::PlanSrsWkt(frame.Metres());
    std::string escaped;
    for (char ch : wkt) escaped += ch == '"' ? std::string("&quot;") : std::string(1, ch);
    const std::string aux = "<PAMDataset>\n  <SRS>" + escaped + "</SRS>\n</PAMDataset>\n";
    const std::string auxPath = out + ".aux.xml";
    if (const int why = WriteWholeFile(auxPath, aux.data(), aux.size(), {path, out, worldPath}))
        return Fail("cannot write " + auxPath + ": " + SystemErrorText(why));
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

// "px,py,lat,lon;..." as reference points; nothing for text of another shape.
std::optional<std::vector<AffineTransform::Reference>> ReferencePoints(const std::string& text) {
    std::vector<AffineTransform::Reference> refs;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(';', start);
        const auto v = Numbers(text.substr(start, end == std::string::npos ? std::string::npos : end - start), ',', 4);
        if (!v) return std::nullopt;
        refs.push_back({(*v)[0], (*v)[1], (*v)[2], (*v)[3]});
        if (end == std::string::npos) return refs;
        start = end + 1;
    }
}

// Each reference point against the fitted transform, on standard output.
void PrintResiduals(const std::vector<AffineTransform::Reference>& refs, const ReferenceFit& fit) {
    std::printf("calibration from %zu reference points%s:\n", refs.size(),
                refs.size() == 3 ? " (exact through three: no residual to measure)" : " (least squares)");
    for (std::size_t i = 0; i < refs.size(); ++i)
        std::printf("  point %zu (%g,%g): residual %.2f px, %.2f m\n", i + 1, refs[i].px, refs[i].py,
                    fit.residuals[i].pixels, fit.residuals[i].metres);
    std::printf("  root mean square: %.2f px, %.2f m\n", fit.rmsPixels, fit.rmsMetres);
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

struct MakeArgs {
    std::string kind, transform, calibrate, image, out;
};

int Make(const Command& command, const MakeArgs& args) {
    std::optional<std::uint8_t> kind;
    std::optional<AffineTransform> transform;
    std::optional<ReferenceFit> fit;
    std::vector<AffineTransform::Reference> refs;
    const std::string& image = args.image;
    const std::string& out = args.out;
    if (!args.kind.empty()) {
        if (args.kind == "gps") kind = 0;
        else if (args.kind == "linear") kind = 1;
        else return Fail("--kind takes gps or linear, not '" + args.kind + "'");
    }
    if (!args.transform.empty() && !args.calibrate.empty())
        return command.UsageError("--transform or --calibrate, not both");
    if (!args.transform.empty()) {
        const auto v = Numbers(args.transform, ',', 6);
        if (!v) return Fail("--transform takes six numbers A,B,C,D,E,F");
        transform = AffineTransform{(*v)[0], (*v)[1], (*v)[2], (*v)[3], (*v)[4], (*v)[5]};
    } else if (!args.calibrate.empty()) {
        const auto points = ReferencePoints(args.calibrate);
        if (!points)
            return Fail("--calibrate takes three or more reference points \"px,py,lat,lon;px,py,lat,lon;...\"");
        refs = *points;
        std::string why;
        fit = FitReferences(refs, why);
        if (!fit) return Fail("--calibrate: " + why);
        transform = fit->transform;
    }
    if (!kind) return command.UsageError("--kind is needed");
    if (!transform) return command.UsageError("--transform or --calibrate is needed");
    if (image.empty()) return command.UsageError("--image is needed");
    if (out.empty()) return command.UsageError("the projection file to write is needed");
    if (IsStandardStream(out)) return command.UsageError("OUT names the projection file to write");
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
    if (fit) PrintResiduals(refs, *fit);
    return 0;
}

// Without --points: the scale the tools use. With them: a linear plan's
// scale from one measured distance, kept in a side file (never in FILE).
struct ScaleArgs {
    std::string path, points, metres;
};

int Scale(const Command& command, const ScaleArgs& args) {
    const std::string& path = args.path;
    const std::string& points = args.points;
    const std::string& metresText = args.metres;
    if (path.empty()) return command.UsageError("a projection file is needed");
    if (points.empty() != metresText.empty()) return command.UsageError("--points and --metres go together");
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

void Define(Command& c) {
    struct Files {
        std::string file, out;
    };
    auto files = std::make_shared<Files>();
    Command& info = c.Sub("info", "kind, transform and image block of a projection file", "usage: quorl proj info FILE\n");
    info.Positional("FILE", files->file, "projection file (.gpf, .lpf)");
    info.Does([&info, files] {
        return files->file.empty() ? info.UsageError("a projection file is needed") : Info(files->file);
    });

    Command& decode = c.Sub("decode", "write the plan image (a bitmap) as a load decodes it, and its world file",
                            "usage: quorl proj decode FILE OUT   (and OUT's world file, OUT with .wld)\n");
    decode.Positional("FILE", files->file, "projection file (.gpf, .lpf)");
    decode.Positional("OUT", files->out, "the bitmap to write");
    decode.Does([&decode, files] {
        if (files->out.empty()) return decode.UsageError("a projection file and the bitmap to write are needed");
        if (IsStandardStream(files->out)) return decode.UsageError("OUT names the bitmap file to write");
        return Decode(files->file, files->out);
    });

    auto make = std::make_shared<MakeArgs>();
    Command& m = c.Sub("make", "make a projection file from a bitmap and a transform",
                       "usage: quorl proj make --kind gps|linear (--transform A,B,C,D,E,F | --calibrate \"px,py,lat,lon;...\")\n"
                       "                       --image IMAGE.bmp OUT\n");
    m.Positional("OUT", make->out, "the projection file to write");
    m.Option("--kind", make->kind, "gps|linear", "GPS projection (kind 0) or linear projection (kind 1)");
    m.Option("--transform", make->transform, "A,B,C,D,E,F", "plan x = A*lat + B*lon + E, plan y = C*lat + D*lon + F");
    m.Option("--calibrate", make->calibrate, "\"px,py,lat,lon;...\"", "reference points: plan pixel and position");
    m.Option("--image", make->image, "IMAGE.bmp", "the plan, a bitmap (BMP)");
    m.Does([&m, make] { return Make(m, *make); });

    auto scale = std::make_shared<ScaleArgs>();
    Command& sc = c.Sub("scale", "metres per plan pixel: show it, or measure it on a linear plan",
                        "usage: quorl proj scale FILE [--points \"x1,y1;x2,y2\" --metres D]\n");
    sc.Positional("FILE", scale->path, "projection file (.gpf, .lpf)");
    sc.Option("--points", scale->points, "\"x1,y1;x2,y2\"", "two plan pixels a measured distance apart");
    sc.Option("--metres", scale->metres, "D", "the distance between them in metres");
    sc.Does([&sc, scale] { return Scale(sc, *scale); });
}

const RegisterCommand kRegistration("proj", "inspect, decode, make or scale a projection file", kUsage, Define);

}  // namespace

}  // namespace quorl::tools
