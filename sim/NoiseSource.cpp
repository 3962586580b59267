#include "NoiseSource.h"

#include <cmath>

namespace quorl::sim {

double NoiseSource::Gaussian(double sigma) {
    if (sigma <= 0.0) return 0.0;
    const double u1 = Uniform();
    const double u2 = Uniform();
    return sigma * std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * 3.14159265358979323846 * u2);
}

double NoiseSource::Exponential(double rate) { return -std::log(Uniform()) / rate; }

}  // namespace quorl::sim
