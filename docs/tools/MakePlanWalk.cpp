// Writes a walk of plan taps over the demo office, for the README's GIS picture.
#include <fstream>
#include "tests/analysis/AnalysisTestSupport.h"
int main(int, char** argv) {
    quorl::test::CollectionBuilder s;
    for (int x = 40; x <= 760; x += 30) s.Plan(x, 300, {{1, 6, -50 - (x / 30) % 20, "office"}});
    for (int y = 40; y <= 560; y += 30) s.Plan(400, y, {{2, 11, -55 - (y / 30) % 15, "office"}});
    for (int x = 60; x <= 340; x += 40) for (int y = 60; y <= 240; y += 40) s.Plan(x, y, {{1, 6, -62, "office"}});
    const auto& b = s.Get();
    std::ofstream(argv[1], std::ios::binary).write(reinterpret_cast<const char*>(b.data()), b.size());
}
