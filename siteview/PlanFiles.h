#pragma once
// How the main window hands the site view a file the user picked elsewhere
// (File > Open, a floor of a site): the view opens it as its own buttons
// would after their dialogs.

#include <string>

namespace quorl {

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
};

}  // namespace quorl
