#pragma once
// SiteFloors: the collector's side of a site file. It holds the building
// the user opened and the floor on show, and switches floors through the
// site view: the floor's projection, then its newest collection, or a new
// collection file (asked for by name) that it adds to the site file.
//
// As the site view's floor guard it sees every collection the view opens
// by any route: a survey listed on another floor is refused before it is
// opened, so a floor's plan never gets another floor's points, and a new
// file opened on a floor is added to that floor. A projection other than
// the floor's, opened by hand, leaves the floor (the collector then works
// as without a site).
//
// A floor is never switched while a point is swept or a walk is under way;
// every stored point is already on disk when a switch may happen, so none is
// lost.

#include <string>
#include <vector>

#include "siteview/PlanFiles.h"
#include "site/Site.h"

namespace quorl {

class IUserMessages;

class SiteFloors : public IFloorGuard {
public:
    static constexpr const char* kNewCollectionFilter = "Data Files (*.ssd)|*.ssd|All Files (*.*)|*.*||";
    static constexpr const char* kNoCollectionText =
        "No collection file chosen for this floor: its plan is shown, but no points can be taken.";

    SiteFloors(IPlanFiles& files, IUserMessages& messages);
    ~SiteFloors() override;
    SiteFloors(const SiteFloors&) = delete;
    SiteFloors& operator=(const SiteFloors&) = delete;

    // Reads the site file; no floor is shown yet. False (the user told
    // why) leaves the earlier site, if any, as it was.
    bool Open(const std::string& sitePath);
    bool Loaded() const { return !sitePath_.empty(); }
    const std::string& SitePath() const { return sitePath_; }
    const site::Site& Building() const { return site_; }
    // The floors in the order the chooser lists them: lowest level first,
    // the file's order within a level. Indexes below are into this list;
    // the pointers last until the site changes (a survey added).
    std::vector<const site::Floor*> Floors() const;
    // -1 while no floor is shown.
    int Current() const { return current_; }
    // Shows floor `index`: its projection, then its newest collection or a
    // new one. False, the floor on show unchanged, when a point or walk is
    // under way or the projection does not load; the user is told why.
    bool Choose(int index);
    // The collection chosen for a floor with no survey yet: where the file
    // dialog starts.
    std::string NewCollectionName(const site::Floor& floor) const;
    // The newest of the floor's surveys on the disk (by modification time,
    // the later listed on a tie); empty when none is there.
    std::string NewestSurvey(const site::Floor& floor) const;

    bool AllowCollection(const std::string& path) override;
    void CollectionOpened(const std::string& path) override;
    void ProjectionOpened(const std::string& path) override;

private:
    void Leave();
    const site::Floor& FloorAt(int index) const { return site_.floors[order_[static_cast<std::size_t>(index)]]; }

    IPlanFiles& files_;
    IUserMessages& messages_;
    std::string sitePath_;
    site::Site site_;
    // Indexes into the site's floors, in the chooser's order.
    std::vector<std::size_t> order_;
    int current_ = -1;
    // While Choose opens the floor's own files, the guard stays quiet.
    bool choosing_ = false;
};

}  // namespace quorl
