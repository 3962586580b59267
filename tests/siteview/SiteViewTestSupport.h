#pragma once
// The survey objects a site view needs, a temporary folder for projection
// and collection files made on the spot, and pixel helpers for reading
// painted frames back.

#include <QBuffer>
#include <QImage>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/RecordingUserMessages.h"
#include "engine/Engine.h"
#include "engine/GpsStatus.h"
#include "link/FrameCodec.h"
#include "link/Protocol.h"
#include "link/SerialDriver.h"
#include "siteview/SiteView.h"
#include "survey/CollectionFormat.h"
#include "survey/PlanEncoder.h"
#include "survey/ProjectionFormat.h"
#include "survey/SiteData.h"
#include "survey/SitePlan.h"
#include "survey/SiteProjection.h"

namespace quorl::test {

// A unit that takes every command and never answers.
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

// Remembers the views it was asked to show; shows none.
class NoSwitch : public IViewSwitcher {
public:
    void SwitchView(ViewKind kind) override { switches.push_back(kind); }
    std::vector<ViewKind> switches;
};

// One survey point of a collection file: its kind, plan pixel and the
// levels of the access points it heard.
struct TestPoint {
    std::uint8_t kind = CSiteData::kPlanTap;
    std::uint16_t x = 0, y = 0;
    std::vector<int> levels;
    double latitude = 0, longitude = 0;  // GPS points and projected taps
};

struct SiteFixture {
    SilentDriver driver;
    GpsStatus gps;
    RecordingUserMessages messages;
    CEngine engine{driver, gps, messages};
    CSitePlan plan;
    CSiteProjection projection{gps, messages};
    CSiteData data{engine, gps, projection, messages};
    NoSwitch switcher;
    QTemporaryDir dir;

    // `unitAttached`: false, nothing ever answers.
    explicit SiteFixture(bool unitAttached = true) {
        if (unitAttached) UnitAnswers();
    }
    // The cable pulled: poll periods pass without a frame until the unit counts as gone.
    void UnitGone() {
        for (int i = 0; i < 4; ++i) engine.BeginAnswerPeriod();
    }
    // One frame from the unit (a scan acknowledgement nobody asked for,
    // which changes nothing): a unit answers until the next answer period.
    void UnitAnswers() {
        const std::uint8_t check = FrameCheckByte(kMsgScanAck, nullptr, 0);
        engine.HandleFrame(&check, kMsgScanAck, 1);
    }

    SurveyContext Context() { return SurveyContext{engine, gps, data, plan, projection, messages}; }

    std::string PathOf(const std::string& name) const { return dir.filePath(QString::fromStdString(name)).toStdString(); }

    // A shown view whose client area is exactly w x h.
    std::unique_ptr<CSiteView> MakeView(int w, int h) {
        auto view = std::make_unique<CSiteView>(Context(), switcher);
        view->resize(w, h);
        view->show();
        const QSize extra = QSize(w, h) - view->viewport()->size();
        view->resize(QSize(w, h) + extra);
        QCoreApplication::processEvents();
        return view;
    }

    // A projection file of `kind` whose image block holds `bitmapBytes`.
    std::string WriteProjection(const std::string& name, const QByteArray& bitmapBytes,
                                std::uint8_t kind = CSiteProjection::kLinearProjection) {
        const auto* raw = reinterpret_cast<const std::uint8_t*>(bitmapBytes.constData());
        const auto block = EncodePlanBlock(raw, static_cast<std::size_t>(bitmapBytes.size()));
        AffineTransform transform;
        transform.b = 1000000.0;  // the demo site's scale: x from longitude, y from latitude
        transform.e = -8541000.0;
        transform.c = -1500000.0;
        transform.f = 47.3773 * 1500000.0;
        const auto file = projection::MakeFile(kind, transform, block.value());
        const std::string path = PathOf(name);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
        return path;
    }

    static QByteArray Bitmap(const QImage& image) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "BMP");
        return bytes;
    }

    // Loads `image` through command 32771, answering the dialog with a
    // projection made from it; then 100 % from the plan's corner, where the
    // tests place their taps (`fitted`: as it opens, the whole plan).
    void Load(CSiteView& view, const QImage& image, const std::string& name = "plan.lpf", bool fitted = false) {
        messages.QueueFile(WriteProjection(name, Bitmap(image)));
        view.RunCommand(command::kLoadProjection);
        if (!fitted) view.RunCommand(command::kActualSize);
    }

    // Makes the collection file and reads it into the point list.
    void UsePoints(const std::vector<TestPoint>& points, const std::string& name = "points.ssd") {
        std::vector<std::uint8_t> bytes;
        const auto start = collection::MakeNewFileStart(0);
        bytes.insert(bytes.end(), start.begin(), start.end());
        for (const TestPoint& p : points) {
            collection::PointRecord record;
            record.kind = p.kind;
            record.x = p.x;
            record.y = p.y;
            record.latitude = static_cast<std::int32_t>(p.latitude * collection::kPositionScale);
            record.longitude = static_cast<std::int32_t>(p.longitude * collection::kPositionScale);
            record.apCount = static_cast<std::uint16_t>(p.levels.size());
            std::uint8_t out[collection::kPointRecordSize];
            collection::EncodePoint(record, out);
            bytes.insert(bytes.end(), out, out + sizeof out);
            for (int level : p.levels) {
                collection::ApRecord ap;
                ap.channel = 6;
                ap.signal = static_cast<std::int16_t>(level * 16);
                std::uint8_t apOut[collection::kApRecordSize];
                collection::EncodeAp(ap, apOut);
                bytes.insert(bytes.end(), apOut, apOut + sizeof apOut);
            }
        }
        const std::string path = PathOf(name);
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        data.SetCollectionPath(path);
        data.LoadCollection();
    }
};

inline QImage Solid(int w, int h, QRgb rgb) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(rgb);
    return image;
}

inline QRgb At(const QImage& frame, int x, int y) { return frame.pixel(x, y) & 0xFFFFFF; }
inline QRgb Rgb(QRgb c) { return c & 0xFFFFFF; }

// Light pixels of text: both red and green high.
inline bool IsLight(QRgb c) { return qRed(c) > 200 && qGreen(c) > 200; }
inline bool IsDark(QRgb c) { return qRed(c) < 60 && qGreen(c) < 60 && qBlue(c) < 60; }

// Pixels of `area` that satisfy `test`.
template <typename Test>
int Count(const QImage& frame, const QRect& area, Test test) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (test(frame.pixel(x, y))) ++n;
    return n;
}

// Samples along a to b (one per pixel of length) that have a black pixel
// within one pixel: a dashed line drawn there scores about two thirds of
// its length, none drawn scores 0.
inline int BlackAlong(const QImage& frame, QPointF a, QPointF b) {
    const int steps = static_cast<int>(std::hypot(b.x() - a.x(), b.y() - a.y()));
    int hits = 0;
    for (int i = 0; i <= steps; ++i) {
        const QPointF p = a + (b - a) * (steps == 0 ? 0.0 : double(i) / steps);
        const QRect near(int(std::lround(p.x())) - 1, int(std::lround(p.y())) - 1, 3, 3);
        if (Count(frame, near & frame.rect(), [](QRgb c) { return Rgb(c) == 0; }) > 0) ++hits;
    }
    return hits;
}

}  // namespace quorl::test
