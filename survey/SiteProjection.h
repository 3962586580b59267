#pragma once
// CSiteProjection: the one projection of the run. Load reads a projection
// file (".gpf" or ".lpf"), copies its image block beside it (path + "c"),
// decodes the plan image (path + "b") and takes the affine transform between
// degrees and plan pixels from the header.
//
// Where the projection's folder refuses them (a read-only or shared demo
// folder), the derived files go to the user's cache instead:
// $XDG_CACHE_HOME (else ~/.cache)/quorl-collector/projections/NAME-KEY{c,b},
// KEY a hash of the projection's full path; ImagePath() names the one used.
//
// A file that lies (block outside the file, block shorter than its own
// header, decoded length the code bits cannot produce, a GPS transform that
// cannot be inverted, a header shorter than 141 bytes) is reported and the
// previous projection stays as it was, derived files included: the new ones
// are written under temporary names and renamed only when all is well.

#include <array>
#include <cstdint>
#include <string>

#include "common/UserMessages.h"
#include "engine/GpsStatus.h"
#include "survey/AffineTransform.h"

namespace quorl {

class CSiteProjection {
public:
    static constexpr std::size_t kHeaderSize = 141;
    static constexpr std::uint8_t kGpsProjection = 0;
    static constexpr std::uint8_t kLinearProjection = 1;

    CSiteProjection(const GpsStatus& gps, IUserMessages& messages);
    virtual ~CSiteProjection() = default;
    CSiteProjection(const CSiteProjection&) = delete;
    CSiteProjection& operator=(const CSiteProjection&) = delete;

    // True when the projection was loaded and the plan image written to
    // ImagePath(); false after a reported failure (nothing changed).
    bool Load(const std::string& path);

    // Plan pixel of the current GPS position.
    std::int32_t PlanXFromGps() const;
    std::int32_t PlanYFromGps() const;
    // Degrees of a plan pixel (inverse transform).
    double LatitudeFromPlan(std::int32_t x, std::int32_t y) const;
    double LongitudeFromPlan(std::int32_t x, std::int32_t y) const;
    // Forward transform of any position (what stored GPS points use).
    PlanPoint PlanFromPosition(double lat, double lon) const;

    // Header byte 12: 0 GPS projection, 1 linear projection.
    std::uint8_t Kind() const { return header_[12]; }
    bool Loaded() const { return loaded_; }
    const std::string& Path() const { return path_; }
    const std::string& ImagePath() const { return imagePath_; }
    const std::string& FileName() const { return fileName_; }
    std::uint64_t FileLength() const { return fileLength_; }
    const std::array<std::uint8_t, kHeaderSize>& Header() const { return header_; }

    double A() const { return transform_.a; }
    double B() const { return transform_.b; }
    double C() const { return transform_.c; }
    double D() const { return transform_.d; }
    double E() const { return transform_.e; }
    double F() const { return transform_.f; }
    const AffineTransform& Transform() const { return transform_; }

    // Path + "c"/"b" of a projection's derived files in the cache; empty
    // when there is no cache folder to be had.
    static std::string CacheBase(const std::string& path);

private:
    const GpsStatus& gps_;
    IUserMessages& messages_;
    AffineTransform transform_;
    std::string path_;
    std::string imagePath_;
    bool loaded_ = false;
    std::uint64_t fileLength_ = 0;
    std::string fileName_;
    std::array<std::uint8_t, kHeaderSize> header_{};
};

}  // namespace quorl
