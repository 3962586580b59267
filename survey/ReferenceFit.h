#pragma once
// A projection's transform fitted to reference points (plan pixel and
// position) by least squares, with how far each point lies from the fit.

#include <optional>
#include <string>
#include <vector>

#include "survey/AffineTransform.h"

namespace quorl {

struct ReferenceFit {
    AffineTransform transform;
    struct Residual {
        double pixels = 0;  // from the given plan pixel to where the fit puts the position
        double metres = 0;  // from the given position to where the fit puts the plan pixel
    };
    std::vector<Residual> residuals;  // one per reference point, in order
    double rmsPixels = 0, rmsMetres = 0;
};

// Three points give the exact transform through them (as
// AffineTransform::Solve); more give the least-squares one. Nothing, with
// `error` set, for fewer than three points, points that lie on one line (in
// plan or in degrees), or a transform that cannot be inverted.
std::optional<ReferenceFit> FitReferences(const std::vector<AffineTransform::Reference>& points, std::string& error);

// Metres between two positions on the earth (mean radius; haversine).
double GroundDistance(double lat1, double lon1, double lat2, double lon2);

}  // namespace quorl
