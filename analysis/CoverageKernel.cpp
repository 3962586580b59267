#include "analysis/CoverageKernel.h"

namespace quorl::analysis {

const char* CoverageKernel::Name() const {
    if (*this == Even()) return "even";
    if (*this == Noisy()) return "noisy";
    if (*this == Scattered()) return "scattered";
    return "custom";
}

}  // namespace quorl::analysis
