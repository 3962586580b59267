// One paint of the site view: a 1920 x 1080 client area over a 10,000 x
// 8,000 plan with 10,000 survey points, at every zoom, with the coverage
// layer off (second argument 0) or on (1). The plan comes the way users
// load it: a projection file made here, opened by command 32771.
//
// The points are a walked survey, row after row, either spread over the
// whole plan or packed into the part shown at zoom 1 (all of them on
// screen at once); "scattered" packs them in random order, so that every
// connecting line runs across the screen.
//
// The zoom argument is in percent, 0 for the fitted zoom (the whole plan).
// BM_PaintSiteView is the timer's repaint of a view that did not change;
// BM_ScrollSiteView moves the view one line step before each paint, so
// the plan, the layer and the points are all composed again;
// BM_ZoomStepSiteView and BM_PinchSiteView zoom before each paint;
// BM_NewPointSiteView stores a point before each. CPU time is
// the whole process's: Qt spreads large fills and scaled copies over threads.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QPainter>
#include <QTemporaryDir>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>

#include "common/RecordingUserMessages.h"
#include "engine/Engine.h"
#include "engine/GpsStatus.h"
#include "link/SerialDriver.h"
#include "siteview/SiteView.h"
#include "survey/CollectionFormat.h"
#include "survey/PlanEncoder.h"
#include "survey/ProjectionFormat.h"
#include "survey/SiteData.h"
#include "survey/SitePlan.h"
#include "survey/SiteProjection.h"

namespace {

using namespace quorl;

constexpr int kPlanWidth = 10000;
constexpr int kPlanHeight = 8000;
constexpr int kPoints = 10000;
constexpr int kClientWidth = 1920;
constexpr int kClientHeight = 1080;

class SilentDriver : public ISerialDriver {
public:
    DriverStatus CountDevices(std::uint32_t& count) override { return count = 1, kDriverOk; }
    DriverStatus SerialNumberOf(std::uint32_t, char (&serial)[64]) override { return serial[0] = '\0', kDriverOk; }
    DriverStatus Open(std::uint32_t) override { return kDriverOk; }
    DriverStatus ClearRts() override { return kDriverOk; }
    DriverStatus SetBaudRate(std::uint32_t) override { return kDriverOk; }
    DriverStatus SetDataCharacteristics(std::uint8_t, std::uint8_t, std::uint8_t) override { return kDriverOk; }
    DriverStatus SetFlowControl(std::uint16_t, std::uint8_t, std::uint8_t) override { return kDriverOk; }
    DriverStatus SetRts() override { return kDriverOk; }
    DriverStatus GetStatus(std::uint32_t& ready) override { return ready = 0, kDriverOk; }
    DriverStatus Read(std::uint8_t*, std::uint32_t, std::uint32_t& got) override { return got = 0, kDriverOk; }
    DriverStatus Write(const std::uint8_t*, std::uint32_t count, std::uint32_t& written) override {
        return written = count, kDriverOk;
    }
    void Close() override {}
};

class NoSwitch : public IViewSwitcher {
public:
    void SwitchView(ViewKind) override {}
};

// A floor plan: white, walls every 400 pixels, doors cut in them.
QByteArray FloorPlanBitmap() {
    QImage image(kPlanWidth, kPlanHeight, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setPen(QPen(Qt::black, 6));
    for (int x = 0; x <= kPlanWidth; x += 400) p.drawLine(x, 0, x, kPlanHeight);
    for (int y = 0; y <= kPlanHeight; y += 400) p.drawLine(0, y, kPlanWidth, y);
    p.setPen(QPen(Qt::white, 8));
    for (int x = 200; x < kPlanWidth; x += 400)
        for (int y = 0; y <= kPlanHeight; y += 400) p.drawLine(x - 30, y, x + 30, y);
    p.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}

void WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                                  static_cast<std::streamsize>(size));
}

// Plan taps with one to three access points each, levels across every
// signal class, inside (x0, y0) .. (x0 + w, y0 + h): row after row, or in
// random order.
void WriteCollection(const std::string& path, int x0, int y0, int w, int h, bool walked) {
    std::mt19937 random(7);
    std::vector<std::uint8_t> bytes;
    const auto start = collection::MakeNewFileStart(0);
    bytes.insert(bytes.end(), start.begin(), start.end());
    const int columns = static_cast<int>(std::sqrt(double(kPoints) * w / h));
    const int rows = (kPoints + columns - 1) / columns;
    for (int i = 0; i < kPoints; ++i) {
        collection::PointRecord point;
        point.kind = i % 50 == 49 ? CSiteData::kApMarker : CSiteData::kPlanTap;
        if (walked) {
            const int row = i / columns;
            const int column = row % 2 == 0 ? i % columns : columns - 1 - i % columns;
            point.x = static_cast<std::uint16_t>(x0 + column * w / columns);
            point.y = static_cast<std::uint16_t>(y0 + row * h / rows);
        } else {
            point.x = static_cast<std::uint16_t>(x0 + static_cast<int>(random() % static_cast<unsigned>(w)));
            point.y = static_cast<std::uint16_t>(y0 + static_cast<int>(random() % static_cast<unsigned>(h)));
        }
        point.apCount = point.kind == CSiteData::kPlanTap ? static_cast<std::uint16_t>(1 + random() % 3) : 0;
        std::uint8_t out[collection::kPointRecordSize];
        collection::EncodePoint(point, out);
        bytes.insert(bytes.end(), out, out + sizeof out);
        for (int k = 0; k < point.apCount; ++k) {
            collection::ApRecord ap;
            ap.channel = 6;
            ap.signal = static_cast<std::int16_t>(-(20 + static_cast<int>(random() % 80)) * 16);
            std::uint8_t apOut[collection::kApRecordSize];
            collection::EncodeAp(ap, apOut);
            bytes.insert(bytes.end(), apOut, apOut + sizeof apOut);
        }
    }
    WriteFile(path, bytes.data(), bytes.size());
}

struct Scene {
    SilentDriver driver;
    GpsStatus gps;
    RecordingUserMessages messages;
    CEngine engine{driver, gps, messages};
    CSitePlan plan;
    CSiteProjection projection{gps, messages};
    CSiteData data{engine, gps, projection, messages};
    NoSwitch switcher;
    QTemporaryDir dir;
    std::unique_ptr<CSiteView> view;
    std::string spreadPath, packedPath, scatteredPath;

    Scene() {
        const auto began = std::chrono::steady_clock::now();
        const QByteArray bitmap = FloorPlanBitmap();
        const auto block =
            EncodePlanBlock(reinterpret_cast<const std::uint8_t*>(bitmap.constData()), std::size_t(bitmap.size()));
        AffineTransform transform;
        transform.a = 1, transform.d = 1;
        const auto file = projection::MakeFile(CSiteProjection::kLinearProjection, transform, block.value());
        const std::string projectionPath = dir.filePath("big.lpf").toStdString();
        WriteFile(projectionPath, file.data(), file.size());
        spreadPath = dir.filePath("spread.ssd").toStdString();
        packedPath = dir.filePath("packed.ssd").toStdString();
        scatteredPath = dir.filePath("scattered.ssd").toStdString();
        WriteCollection(spreadPath, 0, 0, kPlanWidth, kPlanHeight, true);
        WriteCollection(packedPath, 0, 0, kClientHeight, kClientHeight, true);
        WriteCollection(scatteredPath, 0, 0, kClientHeight, kClientHeight, false);

        view = std::make_unique<CSiteView>(SurveyContext{engine, gps, data, plan, projection, messages}, switcher);
        view->resize(kClientWidth, kClientHeight);
        view->show();
        view->resize(QSize(kClientWidth, kClientHeight) * 2 - view->viewport()->size());
        QCoreApplication::processEvents();
        const auto loadBegan = std::chrono::steady_clock::now();
        messages.QueueFile(projectionPath);
        view->RunCommand(command::kLoadProjection);
        const auto loaded = std::chrono::steady_clock::now();
        std::fprintf(stderr, "plan %dx%d: setup %.1f s, projection load (decode + bitmap) %.2f s; client %dx%d\n",
                     view->PlanImage().width(), view->PlanImage().height(),
                     std::chrono::duration<double>(loadBegan - began).count(),
                     std::chrono::duration<double>(loaded - loadBegan).count(), view->viewport()->width(),
                     view->viewport()->height());
        // A sweep under way, so the panel draws its bar too.
        const std::uint8_t bg[15] = {0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        engine.SetChannelPlan(bg, nullptr);
        engine.StartScan();
        engine.BeginSweep();
    }

    void UsePoints(const std::string& path) {
        data.SetCollectionPath(path);
        data.LoadCollection();
    }
    // The layer on for the points in use, computed before the paint is
    // timed; or off.
    void SetCoverage(bool on) {
        if (view->CoverageOn()) view->RunCommand(command::kCoverage);
        if (!on) return;
        view->RunCommand(command::kCoverage);
        QElapsedTimer waited;
        waited.start();
        while (view->Coverage().image.isNull() && waited.elapsed() < 60000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    // In percent; 0 is the fitted zoom (the whole plan beside the panel).
    void SetZoom(int percent) {
        while (plan.CanZoomOut() && (percent == 0 || plan.ZoomPercent() > percent)) view->RunCommand(command::kZoomOut);
        while (percent != 0 && plan.ZoomPercent() < percent && plan.CanZoomIn()) view->RunCommand(command::kZoomIn);
    }
};

// Made on first use, and gone before the application object: a view
// outliving it crashed the program at exit.
std::unique_ptr<Scene>& SceneHolder() {
    static std::unique_ptr<Scene> scene;
    return scene;
}

Scene& TheScene() {
    std::unique_ptr<Scene>& scene = SceneHolder();
    if (!scene) scene = std::make_unique<Scene>();
    return *scene;
}

bool Prepare(benchmark::State& state, const std::string Scene::*points) {
    Scene& scene = TheScene();
    if (!scene.view->PlanLoaded()) {
        state.SkipWithError("no plan");
        return false;
    }
    scene.UsePoints(scene.*points);
    scene.SetCoverage(state.range(1) != 0);
    if (state.range(1) != 0 && scene.view->Coverage().image.isNull()) {
        state.SkipWithError("no coverage layer");
        return false;
    }
    scene.SetZoom(static_cast<int>(state.range(0)));
    int visible = 0;
    PlanPoint ignored;
    const PlanRect area = scene.view->PlanArea();
    scene.data.VisitPoints([&](const CSiteData::_tap& p) { visible += scene.plan.PlanToScreen(p.x, p.y, area, ignored); });
    state.counters["zoom_percent"] = scene.plan.ZoomPercent();
    state.counters["points_on_screen"] = visible;
    state.counters["coverage"] = double(state.range(1));
    return true;
}

// The whole paint as the window gets it: compose, then the one copy.
void BM_PaintSiteView(benchmark::State& state, const std::string Scene::*points) {
    if (!Prepare(state, points)) return;
    Scene& scene = TheScene();
    const int composed = scene.view->SceneCompositions();
    for (auto _ : state) scene.view->viewport()->repaint();
    state.counters["scenes_composed"] = scene.view->SceneCompositions() - composed;
}

// A line step right or back left before each paint.
void BM_ScrollSiteView(benchmark::State& state, const std::string Scene::*points) {
    if (!Prepare(state, points)) return;
    Scene& scene = TheScene();
    const int composed = scene.view->SceneCompositions();
    bool right = true;
    for (auto _ : state) {
        if (right)
            scene.plan.ScrollRight(CSiteView::kLineStep);
        else
            scene.plan.ScrollLeft(CSiteView::kLineStep);
        right = !right;
        scene.view->viewport()->repaint();
    }
    state.counters["scenes_composed"] = scene.view->SceneCompositions() - composed;
}

// A zoom step in and back out (tool-bar buttons) before each paint.
void BM_ZoomStepSiteView(benchmark::State& state, const std::string Scene::*points) {
    if (!Prepare(state, points)) return;
    Scene& scene = TheScene();
    bool in = scene.plan.CanZoomIn();
    for (auto _ : state) {
        scene.view->RunCommand(in ? command::kZoomIn : command::kZoomOut);
        in = !in;
        scene.view->viewport()->repaint();
    }
    scene.SetZoom(static_cast<int>(state.range(0)));
}

// One frame of a pinch, spreading and closing by a tenth about a point
// off the middle.
void BM_PinchSiteView(benchmark::State& state, const std::string Scene::*points) {
    if (!Prepare(state, points)) return;
    Scene& scene = TheScene();
    const PlanRect area = scene.view->PlanArea();
    bool spread = true;
    for (auto _ : state) {
        scene.plan.ZoomByAbout(spread ? 1.1 : 1 / 1.1, area, area.Width() / 3, area.Height() / 3);
        spread = !spread;
        scene.view->viewport()->repaint();
    }
    scene.SetZoom(static_cast<int>(state.range(0)));
}

// A survey point stored before each paint (timed: the paint only), on a
// copy of the collection so the other runs keep theirs.
void BM_NewPointSiteView(benchmark::State& state, const std::string Scene::*points) {
    if (!Prepare(state, points)) return;
    Scene& scene = TheScene();
    const std::string copy = scene.*points + ".new";
    std::filesystem::copy_file(scene.*points, copy, std::filesystem::copy_options::overwrite_existing);
    scene.UsePoints(copy);
    scene.data.SetDurableWrites(false);
    std::mt19937 random(7);
    const int composed = scene.view->SceneCompositions();
    for (auto _ : state) {
        state.PauseTiming();
        scene.data.BeginPoint(CSiteData::kPlanTap, static_cast<int>(random() % kPlanWidth),
                              static_cast<int>(random() % kPlanHeight));
        scene.data.RecordPoint();
        state.ResumeTiming();
        scene.view->viewport()->repaint();
    }
    state.counters["scenes_composed"] = scene.view->SceneCompositions() - composed;
    scene.data.SetDurableWrites(true);
    scene.UsePoints(scene.*points);
    std::filesystem::remove(copy);
}

void BM_ComposeFrame(benchmark::State& state) {
    Scene& scene = TheScene();
    scene.UsePoints(scene.packedPath);
    scene.SetCoverage(false);
    scene.SetZoom(100);
    for (auto _ : state) benchmark::DoNotOptimize(scene.view->ComposeFrame());
}

}  // namespace

BENCHMARK_CAPTURE(BM_PaintSiteView, spread, &Scene::spreadPath)
    ->ArgsProduct({{0, 100, 400, 1600, 6400}, {0, 1}})->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PaintSiteView, packed, &Scene::packedPath)
    ->ArgsProduct({{0, 100, 400, 1600, 6400}, {0, 1}})->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PaintSiteView, scattered, &Scene::scatteredPath)
    ->ArgsProduct({{0, 100, 400, 1600, 6400}, {0, 1}})->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ScrollSiteView, spread, &Scene::spreadPath)
    ->ArgsProduct({{100, 1600}, {0, 1}})->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ScrollSiteView, packed, &Scene::packedPath)
    ->ArgsProduct({{100, 1600}, {0, 1}})->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ScrollSiteView, scattered, &Scene::scatteredPath)
    ->ArgsProduct({{100, 1600}, {0, 1}})->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ZoomStepSiteView, spread, &Scene::spreadPath)
    ->ArgsProduct({{0, 100, 1600}, {0, 1}})->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PinchSiteView, spread, &Scene::spreadPath)
    ->ArgsProduct({{0, 100, 1600}, {0, 1}})->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_NewPointSiteView, spread, &Scene::spreadPath)
    ->ArgsProduct({{0, 100, 1600}, {0, 1}})->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ComposeFrame)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    // No display needed: the offscreen platform paints into memory.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    SceneHolder().reset();
    return 0;
}
