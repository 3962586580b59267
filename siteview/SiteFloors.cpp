#include "siteview/SiteFloors.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "common/UserMessages.h"
#include "site/SiteFile.h"

namespace quorl {

namespace {

bool SamePath(const std::string& a, const std::string& b) {
    std::error_code ec;
    if (std::filesystem::equivalent(a, b, ec)) return true;
    return std::filesystem::absolute(a, ec).lexically_normal() == std::filesystem::absolute(b, ec).lexically_normal();
}

}  // namespace

SiteFloors::SiteFloors(IPlanFiles& files, IUserMessages& messages) : files_(files), messages_(messages) {
    files_.UseFloorGuard(this);
}

SiteFloors::~SiteFloors() { files_.UseFloorGuard(nullptr); }

bool SiteFloors::Open(const std::string& sitePath) {
    site::Site loaded;
    std::string error;
    if (!site::LoadSite(sitePath, loaded, error)) {
        messages_.ShowPlain(error);
        return false;
    }
    if (loaded.floors.empty()) {
        messages_.ShowPlain(sitePath + " has no floors yet: add one with `quorl site add-floor`.");
        return false;
    }
    Leave();
    sitePath_ = sitePath;
    site_ = std::move(loaded);
    order_.clear();
    for (std::size_t i = 0; i < site_.floors.size(); ++i) order_.push_back(i);
    std::stable_sort(order_.begin(), order_.end(),
                     [this](std::size_t a, std::size_t b) { return site_.floors[a].level < site_.floors[b].level; });
    return true;
}

std::vector<const site::Floor*> SiteFloors::Floors() const {
    std::vector<const site::Floor*> floors;
    for (std::size_t i : order_) floors.push_back(&site_.floors[i]);
    return floors;
}

std::string SiteFloors::NewestSurvey(const site::Floor& floor) const {
    std::string newest;
    struct timespec newestTime {};
    for (const std::string& stored : floor.surveys) {
        const std::string path = site::OpenPath(sitePath_, stored);
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        const bool later = newest.empty() || st.st_mtim.tv_sec > newestTime.tv_sec ||
                           (st.st_mtim.tv_sec == newestTime.tv_sec && st.st_mtim.tv_nsec >= newestTime.tv_nsec);
        if (later) newest = path, newestTime = st.st_mtim;
    }
    return newest;
}

std::string SiteFloors::NewCollectionName(const site::Floor& floor) const {
    std::string name;
    for (char c : floor.name) name += (c == '/' || c == '\\' || c == '\0') ? '-' : c;
    return (std::filesystem::path(sitePath_).parent_path() / (name + ".ssd")).string();
}

bool SiteFloors::Choose(int index) {
    if (!Loaded() || index < 0 || index >= static_cast<int>(order_.size())) return false;
    if (files_.Busy(true)) return false;
    const site::Floor& floor = FloorAt(index);
    choosing_ = true;
    const bool shown = files_.OpenProjectionFile(site::OpenPath(sitePath_, floor.projection));
    choosing_ = false;
    if (!shown) {
        // What the view shows now is no floor's: the earlier floor's
        // collection must not take points on it.
        files_.CloseCollectionFile();
        Leave();
        return false;
    }
    current_ = index;
    files_.ShowFloorName(floor.name);
    const std::string newest = NewestSurvey(floor);
    choosing_ = true;
    if (!newest.empty()) {
        files_.OpenCollectionFile(newest, false);
    } else {
        FileDialogRequest request;
        request.open = false;
        request.defaultExtension = "ssd";
        request.initialName = NewCollectionName(floor);
        request.filter = kNewCollectionFilter;
        request.mustExist = false;
        request.confirmOverwrite = true;
        const auto chosen = messages_.ChooseFile(request);
        choosing_ = false;
        // Through the guard: another floor's survey is refused here too.
        if (!chosen || !files_.OpenCollectionFile(*chosen, true)) {
            files_.CloseCollectionFile();
            if (!chosen) messages_.ShowPlain(kNoCollectionText);
        }
    }
    choosing_ = false;
    return true;
}

bool SiteFloors::AllowCollection(const std::string& path) {
    if (current_ < 0) return true;
    const site::Floor& floor = FloorAt(current_);
    const site::Floor* owner = site_.FloorOfSurvey(site::StoredPath(sitePath_, path));
    if (!owner || owner == &floor) return true;
    messages_.ShowPlain(path + " is a survey of floor \"" + owner->name + "\", not of \"" + floor.name +
                        "\": choose that floor to add to it.");
    return false;
}

void SiteFloors::CollectionOpened(const std::string& path) {
    if (current_ < 0) return;
    const std::string floorName = FloorAt(current_).name;
    const std::string stored = site::StoredPath(sitePath_, path);
    if (site_.FloorOfSurvey(stored)) return;
    site::Site changed = site_;
    std::string error;
    if (!site::AddSurvey(changed, floorName, stored, error) || !site::SaveSite(sitePath_, changed, error)) {
        messages_.ShowPlain("The survey was not added to " + sitePath_ + ": " + error);
        return;
    }
    // Adding a survey keeps the floors where they were.
    site_ = std::move(changed);
}

void SiteFloors::ProjectionOpened(const std::string& path) {
    if (choosing_ || current_ < 0) return;
    if (SamePath(path, site::OpenPath(sitePath_, FloorAt(current_).projection))) return;
    Leave();
}

void SiteFloors::Leave() {
    if (current_ >= 0) files_.ShowFloorName({});
    current_ = -1;
}

}  // namespace quorl
