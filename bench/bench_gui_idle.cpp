// The collector idling: its main window on the site view with the demo GPS
// plan shown, no sweep, for QUORL_BENCH_SECONDS seconds (60), and the
// share of one core the whole process used meanwhile, read from
// /proc/self/stat, with the user-interface thread's own share beside it.
//
// It is made of the program's own objects, as the windowed program makes
// them; the unit is the serial port named by QUORL_BENCH_DEVICE (for
// example the pseudo-terminal of `quorl sim`), or none. Run it on a real
// display or under Xvfb (bench/idle-cpu.sh does): the offscreen platform
// copies nothing to a screen and would flatter the paints.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "common/RecordingUserMessages.h"
#include "link/PosixSerialDriver.h"
#include "shell/CommandIds.h"
#include "shell/MainFrame.h"
#include "shell/ProgramObjects.h"
#include "siteview/SiteView.h"

namespace {

using namespace quorl;

// User plus system time, in clock ticks, of /proc/<path> ("self/stat" or
// "thread-self/stat"); fields 14 and 15, after the command's parentheses.
long long CpuTicks(const char* path) {
    std::ifstream in(std::string("/proc/") + path);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    const auto close = text.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) utime = std::atoll(field.c_str());
        if (i == 15) stime = std::atoll(field.c_str());
    }
    return utime + stime;
}

void RunEventLoopFor(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

void BM_IdleWithPlanShown(benchmark::State& state) {
    const char* secondsText = std::getenv("QUORL_BENCH_SECONDS");
    const int seconds = secondsText ? std::max(1, std::atoi(secondsText)) : 60;
    const char* device = std::getenv("QUORL_BENCH_DEVICE");
    RecordingUserMessages messages;
    ProgramObjects objects(std::make_unique<PosixSerialDriver>(device ? device : "/nonexistent/quorl-unit"),
                           messages);
    CMainFrame frame(objects.engine, objects.session, messages, objects.Views());
    frame.showMaximized();
    frame.StartDevice();
    QElapsedTimer started;
    started.start();
    while (!objects.session.StartedUp() && started.elapsed() < 10000) RunEventLoopFor(50);
    frame.SwitchView(ViewKind::Site);
    messages.QueueFile(QUORL_DEMO_DIR "/demo.gpf");
    frame.RunCommand(command::kLoadProjection);
    if (!static_cast<CSiteView*>(frame.View(ViewKind::Site))->PlanLoaded()) {
        state.SkipWithError("the demo projection did not load");
        return;
    }
    RunEventLoopFor(2000);  // the first paints and the unit's first reports

    const long long hz = sysconf(_SC_CLK_TCK);
    for (auto _ : state) {
        const long long process = CpuTicks("self/stat");
        const long long ui = CpuTicks("thread-self/stat");
        QElapsedTimer wall;
        wall.start();
        RunEventLoopFor(seconds * 1000);
        const double elapsed = static_cast<double>(wall.nsecsElapsed()) / 1e9;
        state.SetIterationTime(elapsed);
        state.counters["core_percent"] = 100.0 * static_cast<double>(CpuTicks("self/stat") - process) / hz / elapsed;
        state.counters["ui_thread_percent"] =
            100.0 * static_cast<double>(CpuTicks("thread-self/stat") - ui) / hz / elapsed;
    }
    state.counters["unit"] = objects.session.Opened() ? 1 : 0;
    frame.ShutdownLink();
}

}  // namespace

BENCHMARK(BM_IdleWithPlanShown)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
