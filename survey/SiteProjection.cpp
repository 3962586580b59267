#include "survey/SiteProjection.h"

#include <fcntl.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>

#include "common/ByteOrder.h"
#include "survey/Compression.h"
#include "survey/FileHandle.h"
#include "survey/PendingFile.h"
#include "survey/ProjectionFormat.h"

namespace quorl {

namespace {
constexpr std::size_t kCopyChunk = 1024 * 1024;

// The folder will not take files (read-only, not ours, or no room for the
// longer names): the derived files go to the cache instead.
bool FolderRefuses(int errorNumber) {
    return errorNumber == EACCES || errorNumber == EPERM || errorNumber == EROFS || errorNumber == ENAMETOOLONG;
}

std::uint64_t Fnv1a(const std::string& text) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (unsigned char c : text) h = (h ^ c) * 0x100000001b3ull;
    return h;
}
}  // namespace

std::string CSiteProjection::CacheBase(const std::string& path) {
    std::string root;
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    if (xdg && xdg[0] == '/') {
        root = xdg;
    } else if (const char* home = std::getenv("HOME"); home && home[0] != '\0') {
        root = std::string(home) + "/.cache";
    } else {
        return {};
    }
    const std::string dir = root + "/quorl-collector/projections";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) return {};
    ::chmod(dir.c_str(), 0700);
    const std::string full = std::filesystem::absolute(path, ec).lexically_normal().string();
    char key[17];
    std::snprintf(key, sizeof key, "%016llx", static_cast<unsigned long long>(Fnv1a(ec ? path : full)));
    return dir + "/" + FileNameOf(path).substr(0, 100) + "-" + key;
}

CSiteProjection::CSiteProjection(const GpsStatus& gps, IUserMessages& messages)
    : gps_(gps), messages_(messages) {}

bool CSiteProjection::Load(const std::string& path) {
    const std::string name = FileNameOf(path);
    auto refuse = [&](const std::string& why) {
        messages_.ShowPlain(name + " cannot be used as a projection file: " + why);
        return false;
    };

    FileHandle file = FileHandle::Open(path, O_RDONLY);
    if (!file.Valid()) {
        messages_.ShowPlain("Cannot open " + path + ": " + SystemErrorText(errno));
        return false;
    }
    if (!file.LockShared()) {
        if (errno == EWOULDBLOCK) return refuse("another program is writing it.");
        messages_.ShowPlain("Cannot open " + path + ": " + SystemErrorText(errno));
        return false;
    }
    projection::Inspection place;
    std::string why;
    int errorNumber = 0;
    if (!projection::Inspect(file, place, why, errorNumber)) {
        if (errorNumber != 0) {
            messages_.ShowPlain("Cannot read " + path + ": " + SystemErrorText(errorNumber));
            return false;
        }
        return refuse(why);
    }
    const std::uint64_t blockOffset = place.blockOffset;
    const std::uint64_t blockLength = place.blockLength;

    // The image block, copied out beside the file (under a temporary name),
    // or into the cache where the projection's folder refuses it.
    std::string base = path;
    std::optional<PendingFile> blockFile(std::in_place, base + "c");
    const int besideError = blockFile->Error();
    if (!blockFile->Created() && FolderRefuses(besideError)) {
        if (const std::string cached = CacheBase(path); !cached.empty()) {
            blockFile.reset();
            blockFile.emplace(cached + "c");
            if (blockFile->Created()) base = cached;
        }
    }
    PendingFile& block = *blockFile;
    const std::string blockPath = base + "c";
    if (!block.Created()) {
        // What the user must hear about is the folder beside the projection.
        messages_.ShowPlain("Cannot create " + blockPath + ": " + SystemErrorText(besideError));
        return false;
    }
    {
        FileHandle out = FileHandle::Open(block.TempPath(), O_WRONLY | O_TRUNC);
        if (!out.Valid()) {
            messages_.ShowPlain("Cannot create " + blockPath + ": " + SystemErrorText(errno));
            return false;
        }
        // No bigger than the block: most plans are far smaller than a chunk.
        const auto chunk = static_cast<std::size_t>(std::min<std::uint64_t>(kCopyChunk, blockLength));
        auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(chunk);
        for (std::uint64_t done = 0; done < blockLength;) {
            const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(chunk, blockLength - done));
            const std::int64_t n = file.ReadAt(buffer.get(), want, blockOffset + done);
            if (n < 0) {
                messages_.ShowPlain("Cannot read " + path + ": " + SystemErrorText(errno));
                return false;
            }
            if (static_cast<std::size_t>(n) < want) return refuse("it ended while its plan image was read.");
            if (!out.WriteAt(buffer.get(), want, done)) {
                messages_.ShowPlain("Cannot write " + blockPath + ": " + SystemErrorText(errno));
                return false;
            }
            done += want;
        }
    }

    // The plan image.
    const std::string imagePath = base + "b";
    PendingFile image(imagePath);
    if (!image.Created()) {
        messages_.ShowPlain("Cannot create " + imagePath + ": " + SystemErrorText(image.Error()));
        return false;
    }
    CCompression decoder(block.TempPath(), image.TempPath());
    const DecompressResult decoded = decoder.Decompress();
    if (decoded.sourceFailed) {
        messages_.ShowPlain("Cannot read " + blockPath + ": " + SystemErrorText(decoded.errorNumber));
        return false;
    }
    if (decoded.destinationFailed) {
        messages_.ShowPlain("Cannot write " + imagePath + ": " + SystemErrorText(decoded.errorNumber));
        return false;
    }
    if (decoded.capped)
        return refuse("its plan image claims more bytes than its code can hold.");
    if (!decoded.ok) return refuse("its plan image block is damaged.");

    if (!block.Commit()) {
        messages_.ShowPlain("Cannot create " + blockPath + ": " + SystemErrorText(block.Error()));
        return false;
    }
    if (!image.Commit()) {
        messages_.ShowPlain("Cannot create " + imagePath + ": " + SystemErrorText(image.Error()));
        return false;
    }

    path_ = path;
    fileName_ = name;
    fileLength_ = place.fileLength;
    header_ = place.header;
    imagePath_ = imagePath;
    transform_ = projection::TransformOf(place.header);
    loaded_ = true;
    return true;
}

std::int32_t CSiteProjection::PlanXFromGps() const {
    return transform_.Forward(gps_.latitude.load(std::memory_order_relaxed),
                              gps_.longitude.load(std::memory_order_relaxed)).x;
}

std::int32_t CSiteProjection::PlanYFromGps() const {
    return transform_.Forward(gps_.latitude.load(std::memory_order_relaxed),
                              gps_.longitude.load(std::memory_order_relaxed)).y;
}

double CSiteProjection::LatitudeFromPlan(std::int32_t x, std::int32_t y) const { return transform_.Latitude(x, y); }

double CSiteProjection::LongitudeFromPlan(std::int32_t x, std::int32_t y) const {
    return transform_.Longitude(x, y);
}

PlanPoint CSiteProjection::PlanFromPosition(double lat, double lon) const { return transform_.Forward(lat, lon); }

}  // namespace quorl
