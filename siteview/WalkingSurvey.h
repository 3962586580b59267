#pragma once
// WalkingSurvey: survey points taken while the surveyor walks. They tap
// where they start and press play; the unit then sweeps the chosen channels
// again and again while they walk at a steady pace, tapping the plan at
// every turn and at the end, and press stop.
//
// Every completed sweep becomes an ordinary point (kind 2 on a linear plan,
// kind 1 on a GPS plan) at the place on the walked path at the middle of
// its sweep. That place is only known once a tap at or after that moment
// has been made, so a finished sweep waits, with the access points it
// heard, until the next tap; at stop every waiting sweep is stored, those
// past the last tap at the last tap. The sweep still running at stop runs
// to its end and is stored at the last tap too.
//
//   Off --Enter--> Placing --tap--> Placing (start set) --play--> Walking
//   Walking --tap--> Walking (a turn) --stop--> Stopping --sweep end--> Placing
//
// The site view's timer steps the sweep as it does for automatic scanning.

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "engine/Engine.h"
#include "siteview/SurveyContext.h"
#include "siteview/WalkedPath.h"

namespace quorl {

class WalkingSurvey {
public:
    enum class Phase { Off, Placing, Walking, Stopping };
    // Seconds since some fixed moment.
    using Clock = std::function<double()>;

    struct Sweep {
        double start = 0;
        double end = 0;
        PlanPoint at;  // where it was stored
    };

    explicit WalkingSurvey(const SurveyContext& survey);

    // Tests walk on a clock of their own.
    void UseClock(Clock clock) { clock_ = std::move(clock); }
    double Now() const { return clock_(); }

    Phase CurrentPhase() const { return phase_; }
    bool On() const { return phase_ != Phase::Off; }
    // Sweeping: play pressed and the walk not yet over.
    bool Sweeping() const { return phase_ == Phase::Walking || phase_ == Phase::Stopping; }

    // Walking survey mode on (an empty path) and off; off only when not
    // sweeping.
    void Enter();
    bool Leave();
    // The path and the sweeps stored along it forgotten, the mode kept: they
    // belong to the plan and collection they were walked on. False (nothing
    // forgotten) while sweeping.
    bool ClearPath();
    // A tap at plan point `at`: the start while placing (a second tap moves
    // it), a turn while walking. Ignored while stopping. False and `failure`
    // set when a waiting sweep could not be stored.
    bool Tap(PlanPoint at, std::string& failure);
    // Play: false when no start has been tapped.
    bool Start();
    // Stop: the running sweep ends the walk.
    void Stop();
    // One sweep step of the view's timer. False and `failure` set when a
    // point could not be stored; the walk then ends without storing more.
    bool Step(std::string& failure);

    // True once after a sweep ended with no unit answering (the walk ended).
    bool TakeUnitLost() { return std::exchange(unitLost_, false); }

    const WalkedPath& Path() const { return path_; }
    // Finished sweeps waiting for the tap that places them.
    std::size_t WaitingSweeps() const { return waiting_.size(); }
    // The sweeps stored during this walk, in order.
    const std::vector<Sweep>& StoredSweeps() const { return stored_; }
    // The point kind for the loaded projection.
    std::uint8_t PointKind() const;

    // Seconds one sweep of `channelCount` channels takes: a two-second step
    // per channel and one for the end of the sweep.
    static int SweepSeconds(int channelCount);

private:
    struct Waiting {
        double start = 0;
        double end = 0;
        std::vector<CMac> heard;
        bool atLastTap = false;  // the sweep that ran when stop was pressed
    };
    // Stores the waiting sweeps whose middle the path covers (`all`: every
    // one, past the last tap at the last tap).
    bool StoreWaiting(bool all, std::string& failure);
    void BeginSweep();

    SurveyContext survey_;
    Clock clock_;
    Phase phase_ = Phase::Off;
    WalkedPath path_;
    double sweepStart_ = 0;
    // The sweep under way is thrown away at its end (the file failed).
    bool discard_ = false;
    bool unitLost_ = false;
    std::vector<Waiting> waiting_;
    std::vector<Sweep> stored_;
};

}  // namespace quorl
