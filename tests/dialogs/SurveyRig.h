#pragma once
// An engine with a recording driver, the survey data on a collection file in
// a folder of its own, a view switcher that remembers what it was asked, and
// a way to let the engine hear access points as the unit reports them.

#include <QImage>
#include <QRect>
#include <QTemporaryDir>
#include <functional>
#include <string>
#include <vector>

#include "siteview/ViewSwitcher.h"
#include "survey/SiteData.h"
#include "survey/SiteProjection.h"
#include "tests/engine/EngineTestSupport.h"

namespace quorl::test {

class RecordingSwitcher : public IViewSwitcher {
public:
    void SwitchView(ViewKind kind) override {
        switches.push_back(kind);
        if (onSwitch) onSwitch(kind);
    }
    std::vector<ViewKind> switches;
    std::function<void(ViewKind)> onSwitch;
};

struct SurveyRig {
    EngineRig unit;
    CEngine& engine = unit.engine;
    CSiteProjection projection{unit.gps, unit.messages};
    CSiteData data{unit.engine, unit.gps, projection, unit.messages};
    QTemporaryDir dir;

    std::string PathOf(const char* name) const { return dir.filePath(QString::fromLatin1(name)).toStdString(); }

    // An empty collection file, ready for points.
    bool NewCollection() {
        data.SetCollectionPath(PathOf("points.ssd"));
        data.SetDurableWrites(false);
        return data.CreateCollection();
    }

    // A plan of BG channels 1..count.
    void PlanOfBg(int count) {
        std::uint8_t bg[15] = {};
        for (int i = 1; i <= count && i <= 14; ++i) bg[i] = 1;
        engine.SetChannelPlan(bg, nullptr);
    }

    // Scan requested and acknowledged: the sweep stands on plan entry 1.
    void StartSweep() {
        engine.StartScan();
        Deliver(engine, kMsgScanAck, {});
    }

    // A beacon on the channel the unit is tuned to.
    void Hear(std::uint8_t lastMacByte, std::int16_t rssi, const std::string& ssid = "Net") {
        const Mac6 mac = {0x00, 0x0A, 0x1B, 0x2C, 0x3D, lastMacByte};
        Deliver(engine, kMsgFrameRecord, Record(mac, rssi, {Ssid(ssid), Ds(engine.CurrentChannel())}));
    }
};

// Pixels of `colour` inside `box` of `image`.
inline int CountColour(const QImage& image, const QRect& box, QRgb colour) {
    int n = 0;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            if (image.valid(x, y) && (image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF)) ++n;
    return n;
}

// Pixels inside `box` that are not black.
inline int CountPainted(const QImage& image, const QRect& box) {
    return box.width() * box.height() - CountColour(image, box, qRgb(0, 0, 0));
}

}  // namespace quorl::test
