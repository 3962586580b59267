#pragma once
// The computation behind the site view's coverage layer. The worker calls
// it on its own thread, one request at a time, so an implementation may
// keep what it built for the next request without a lock.

#include "siteview/CoverageLayer.h"

namespace quorl {

class ICoverageSource {
public:
    virtual ~ICoverageSource() = default;
    virtual CoverageLayer Compute(const CoverageRequest& request) = 0;
};

}  // namespace quorl
