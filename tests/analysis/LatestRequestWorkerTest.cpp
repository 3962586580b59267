// The coverage worker's hand-off, run under ThreadSanitizer: the newest
// request wins, results of a context left behind are dropped, stopping
// while a request is computed delivers nothing more, and LiveCoverage fed
// through it ends on the grid of the whole list.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <random>
#include <vector>

#include "analysis/LatestRequestWorker.h"
#include "analysis/LiveCoverage.h"
#include "tests/HangGuard.h"

using namespace quorl::analysis;
using namespace std::chrono_literals;

namespace {

// Computes a request (an int) only once the test lets it through, and
// records what was started and what was delivered.
class Rig {
public:
    Rig()
        : worker_(
              [this](const int& request) {
                  std::unique_lock lock(mutex_);
                  started_.push_back(request);
                  changed_.notify_all();
                  changed_.wait(lock, [&] { return passes_ > 0; });
                  --passes_;
                  return request * 10;
              },
              [this](int&& result) {
                  std::lock_guard lock(mutex_);
                  delivered_.push_back(result);
                  changed_.notify_all();
              }) {}

    LatestRequestWorker<int, int>& Worker() { return worker_; }
    void Pass() {
        std::lock_guard lock(mutex_);
        ++passes_;
        changed_.notify_all();
    }
    // Waits (5 s at most) until `n` requests were started; true when they were.
    bool Started(std::size_t n) { return WaitUntil([&] { return started_.size() >= n; }); }
    bool Delivered(std::size_t n) { return WaitUntil([&] { return delivered_.size() >= n; }); }
    std::vector<int> StartedList() {
        std::lock_guard lock(mutex_);
        return started_;
    }
    std::vector<int> DeliveredList() {
        std::lock_guard lock(mutex_);
        return delivered_;
    }

private:
    template <class Done>
    bool WaitUntil(Done done) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, quorl::test::kHangGuard, done);
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    int passes_ = 0;
    std::vector<int> started_, delivered_;
    LatestRequestWorker<int, int> worker_;  // last: stopped before the rest goes
};

}  // namespace

TEST(LatestRequestWorker, HandsOnOnlyWhatIsStillWanted) {
    struct Case {
        const char* name;
        // Requests (value, context): the first is held while the others come.
        std::vector<std::pair<int, std::uint64_t>> requests;
        std::vector<int> started, delivered;
    };
    const Case cases[] = {
        {"newer requests replace each other while one runs", {{1, 1}, {2, 1}, {3, 1}, {4, 1}}, {1, 4}, {10, 40}},
        {"a result for a context left behind is dropped", {{1, 1}, {2, 2}}, {1, 2}, {20}},
        {"back to the first context: its newest result counts", {{1, 1}, {2, 2}, {3, 1}}, {1, 3}, {10, 30}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.Worker().Request(c.requests[0].first, c.requests[0].second);
        ASSERT_TRUE(rig.Started(1));
        for (std::size_t i = 1; i < c.requests.size(); ++i) rig.Worker().Request(c.requests[i].first, c.requests[i].second);
        for (std::size_t i = 0; i < c.started.size(); ++i) rig.Pass();
        ASSERT_TRUE(rig.Started(c.started.size()));
        ASSERT_TRUE(rig.Delivered(c.delivered.size()));
        rig.Worker().Stop();
        EXPECT_EQ(rig.StartedList(), c.started);
        EXPECT_EQ(rig.DeliveredList(), c.delivered);
    }
}

TEST(LatestRequestWorker, StoppingWhileComputingDeliversNothingMore) {
    Rig rig;
    rig.Worker().Request(1, 1);
    ASSERT_TRUE(rig.Started(1));
    rig.Worker().Request(2, 1);  // waiting: never computed
    std::thread stopper([&] { rig.Worker().Stop(); });
    while (!rig.Worker().StopRequested()) std::this_thread::sleep_for(1ms);
    rig.Pass();  // the request in hand ends after Stop began waiting for it
    stopper.join();
    rig.Worker().Request(3, 1);  // after Stop: ignored
    EXPECT_EQ(rig.StartedList(), std::vector<int>{1});
    EXPECT_TRUE(rig.DeliveredList().empty());
}

TEST(LatestRequestWorker, LiveCoverageFollowsAPointListFedFromAnotherThread) {
    using quorl::CSiteData;
    std::mutex mutex;
    std::condition_variable arrived;
    std::optional<CoverageGrid> shown;
    std::size_t shownPoints = 0;
    LiveCoverage live(400, 300, 30.0);
    LatestRequestWorker<std::vector<CSiteData::_tap>, std::pair<CoverageGrid, std::size_t>> worker(
        [&](const std::vector<CSiteData::_tap>& points) {
            live.Update(points);
            return std::pair{live.Grid(), points.size()};
        },
        [&](std::pair<CoverageGrid, std::size_t>&& result) {
            std::lock_guard lock(mutex);
            shown.emplace(std::move(result.first));
            shownPoints = result.second;
            arrived.notify_all();
        });
    std::mt19937 random(5);
    std::uniform_int_distribution<int> x(0, 399), y(0, 299), level(-90, -30);
    std::vector<CSiteData::_tap> list;
    for (int i = 0; i < 80; ++i) {
        list.push_back({x(random), y(random), static_cast<std::int16_t>(level(random)),
                        static_cast<std::int16_t>(i % 9 == 0 ? 0 : 4),
                        CSiteData::kPlanTap, 0});
        worker.Request(list, 1);
        if (i % 10 == 0) std::this_thread::sleep_for(1ms);
    }
    std::unique_lock lock(mutex);
    ASSERT_TRUE(arrived.wait_for(lock, quorl::test::kHangGuard, [&] { return shownPoints == list.size(); }));
    std::vector<ValuePoint> values;
    for (const auto& tap : list)
        if (auto v = LiveCoverage::ValueOf(tap)) values.push_back({double(tap.x), double(tap.y), *v});
    CoverageGrid whole(shown->Geometry(), 30.0, shown->Kernel());
    whole.Build(values);
    ASSERT_EQ(whole.Values().size(), shown->Values().size());
    for (std::size_t i = 0; i < whole.Values().size(); ++i) {
        const float a = whole.Values()[i], b = shown->Values()[i];
        ASSERT_TRUE(a == b || (std::isnan(a) && std::isnan(b))) << i << ": " << a << " vs " << b;
    }
    EXPECT_GT(shown->CellsNotHeard(), 0u);
}
