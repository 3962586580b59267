#pragma once
// How the main window hands the site view a file the user picked elsewhere
// (File > Open, a floor of a site): the view opens it as its own buttons
// would after their dialogs.

#include <string>

namespace quorl {

// Sees every projection and collection the site view opens, by any route
// (its own buttons and dialogs too). A site's floors use it to keep each
// floor's surveys to that floor.
class IFloorGuard {
public:
    virtual ~IFloorGuard() = default;
    // Before a collection is opened or made: false refuses it, after
    // telling the user why.
    virtual bool AllowCollection(const std::string& path) = 0;
    // After a collection was opened or made.
    virtual void CollectionOpened(const std::string& path) = 0;
    // After a projection was loaded.
    virtual void ProjectionOpened(const std::string& path) = 0;
};

class IPlanFiles {
public:
    virtual ~IPlanFiles() = default;
    // A projection and its plan, shown whole. False (the user told why) when
    // it did not load or a walk under way forbids it.
    virtual bool OpenProjectionFile(const std::string& path) = 0;
    // An existing collection file (`create`: a new one, emptied) for the
    // plan shown. False (the user told why) when there is no plan, a point
    // or walk is under way, or the file failed.
    virtual bool OpenCollectionFile(const std::string& path, bool create) = 0;
    // No collection open: nothing can be taken until one is chosen.
    virtual void CloseCollectionFile() = 0;
    // A point being swept or a walk under way; the user is told so when
    // `tell`.
    virtual bool Busy(bool tell) = 0;
    // The floor the panel names; empty for none.
    virtual void ShowFloorName(const std::string& name) = 0;
    // Null: no guard.
    virtual void UseFloorGuard(IFloorGuard* guard) = 0;
};

}  // namespace quorl
