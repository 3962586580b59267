#include "siteview/StatusPanel.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "engine/Engine.h"
#include "siteview/CellText.h"
#include "siteview/SiteColours.h"
#include "siteview/SurveyContext.h"
#include "siteview/WalkingSurvey.h"
#include "survey/SiteData.h"
#include "survey/SitePlan.h"
#include "survey/SiteProjection.h"

namespace quorl {

namespace {

constexpr int kFloorRow = 0;
constexpr int kBarRow = 2;
constexpr int kZoomRow = 3;
constexpr int kSweepTimeRow = 5;
constexpr int kWalkRow = 6;
constexpr int kChannelRow = 4;
constexpr int kLogTitleRow = 7;
constexpr int kLogNameRow = 8;
constexpr int kLogSizeRow = 9;
constexpr int kPointsRow = 10;
constexpr int kReadOnlyRow = 11;
constexpr int kUnitRow = 12;
constexpr int kProjectionTitleRow = 13;
constexpr int kProjectionNameRow = 14;
constexpr int kProjectionSizeRow = 15;
constexpr int kGpsTitleRow = 19;
constexpr int kDateRow = 20;
constexpr int kTimeRow = 21;
constexpr int kLatitudeRow = 22;
constexpr int kLongitudeRow = 23;

// From this share on the bar's text stands on its blue part: white.
constexpr std::uint16_t kWhiteTextFromPercent = 45;

QRect ToQRect(const PlanRect& r) { return QRect(r.left, r.top, r.Width(), r.Height()); }

QString SizeLine(std::uint64_t bytes) {
    return QString::asprintf(" (%llu bytes)", static_cast<unsigned long long>(bytes));
}

QString PositionLine(double degrees, char positive, char negative) {
    return QString::asprintf("%.4f %c", std::fabs(degrees), degrees > 0 ? positive : negative);
}

// Draws the bar and leaves `style` as the bar's text left it: transparent,
// white or blue.
void DrawProgressBar(QPainter& painter, const QRect& r, std::uint16_t percent, TextStyle& style) {
    painter.fillRect(r, QColor(colour::kWhite));
    const QColor black(colour::kBlack);
    painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), black);
    painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), black);
    painter.fillRect(QRect(r.left(), r.top(), 1, r.height()), black);
    painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), black);
    const int inside = std::max(r.width() - 2, 0);
    // A share past 100 (a torn read of index and count) stays inside the frame.
    const int filled = std::min<int>(percent * inside / 100, inside);
    painter.fillRect(QRect(r.left() + 1, r.top() + 1, filled, std::max(r.height() - 2, 0)), QColor(colour::kBlue));
    style.text = QColor(percent >= kWhiteTextFromPercent ? colour::kWhite : colour::kBlue);
    style.opaque = false;
    DrawCellText(painter, r, QString::asprintf("%u%%", unsigned{percent}), style);
}

}  // namespace

StatusValues StatusValues::Read(const SurveyContext& survey) {
    StatusValues v;
    v.sweepActive = survey.engine.SweepActive();
    v.channelIndex = survey.engine.ChannelIndex();
    v.channelCount = survey.engine.ChannelCount();
    v.currentChannel = survey.engine.CurrentChannel();
    v.collectionName = survey.data.FileName();
    v.collectionLength = survey.data.FileLength();
    v.collectionReadOnly = survey.data.ReadOnly();
    v.unitAnswering = survey.engine.UnitAnswering();
    v.pointCount = survey.data.PointCount();
    v.projectionName = survey.projection.FileName();
    v.projectionLength = survey.projection.FileLength();
    v.zoomPercent = survey.plan.ZoomPercent();
    v.sweepSeconds = WalkingSurvey::SweepSeconds(v.channelCount);
    v.gps = survey.gps.Snapshot();
    return v;
}

std::uint16_t SweepPercent(std::int32_t channelIndex, std::int16_t channelCount) {
    if (channelCount == 0) return 0;
    return static_cast<std::uint16_t>(std::int64_t{channelIndex} * 100 / channelCount);
}

StatusLines StatusPanelLines(const StatusValues& v) {
    StatusLines lines;
    auto& rows = lines.rows;
    if (v.sweepActive) {
        lines.barPercent = SweepPercent(v.channelIndex, v.channelCount);
        rows[kBarRow] = QString::asprintf("%u%%", unsigned{*lines.barPercent});
        rows[kChannelRow] = QString::asprintf("Channel = %d", int{v.currentChannel});
    }
    if (!v.floor.empty()) rows[kFloorRow] = QStringLiteral("Floor: ") + QString::fromStdString(v.floor);
    rows[kZoomRow] = QString::asprintf("ZOOM = %d%%", int{v.zoomPercent});
    rows[kSweepTimeRow] = QString::asprintf("Sweep = %d s", int{v.sweepSeconds});
    rows[kWalkRow] = QString::fromStdString(v.walk);
    rows[kLogTitleRow] = QStringLiteral("Log File");
    rows[kLogNameRow] = QString::fromStdString(v.collectionName);
    rows[kLogSizeRow] = SizeLine(v.collectionLength);
    rows[kPointsRow] = QString::asprintf("Survey Points = %d", v.pointCount);
    if (v.collectionReadOnly) rows[kReadOnlyRow] = QStringLiteral("Read-only: view only");
    if (!v.unitAnswering) rows[kUnitRow] = QStringLiteral("No unit answers");
    rows[kProjectionTitleRow] = QStringLiteral("Projection File");
    rows[kProjectionNameRow] = QString::fromStdString(v.projectionName);
    rows[kProjectionSizeRow] = SizeLine(v.projectionLength);
    rows[kGpsTitleRow] = QStringLiteral("GPS DATA");
    rows[kDateRow] = QString::asprintf("%02d/%02d/%04d", v.gps.month, v.gps.day, v.gps.year);
    rows[kTimeRow] = QString::asprintf("%02d:%02d:%02d", int{v.gps.hour}, int{v.gps.minute}, int{v.gps.second});
    rows[kLatitudeRow] = PositionLine(v.gps.latitude, 'N', 'S');
    rows[kLongitudeRow] = PositionLine(v.gps.longitude, 'E', 'W');
    lines.lock = v.gps.lock3d ? QStringLiteral("3D Lock")
                 : v.gps.lock2d ? QStringLiteral("2D Lock")
                                : QStringLiteral("Not Locked");
    return lines;
}

void DrawStatusPanel(QPainter& painter, const SiteLayout& layout, const StatusValues& values) {
    QRgb fill = colour::kNoLock;
    QRgb text = colour::kWhite;
    if (values.gps.lock3d) {
        fill = colour::kLock3d;
    } else if (values.gps.lock2d) {
        fill = colour::kLock2d;
        text = colour::kBlack;
    }
    painter.fillRect(ToQRect(layout.panel), QColor(fill));
    TextStyle style{QColor(text), QColor(fill), true};

    const StatusLines lines = StatusPanelLines(values);
    if (lines.barPercent) {
        DrawProgressBar(painter, ToQRect(layout.rows[kBarRow]), *lines.barPercent, style);
        // The bar leaves the text white and transparent for the rest of
        // the panel, whatever the lock colours.
        style.text = QColor(colour::kWhite);
        DrawCellText(painter, ToQRect(layout.rows[kChannelRow]), lines.rows[kChannelRow], style);
    }
    for (int row = 0; row < SiteLayout::kRowCount; ++row) {
        if (row == kBarRow || row == kChannelRow) continue;
        DrawCellText(painter, ToQRect(layout.rows[static_cast<std::size_t>(row)]),
                     lines.rows[static_cast<std::size_t>(row)], style);
    }
    DrawCellText(painter, ToQRect(layout.lock), lines.lock, style);
}

}  // namespace quorl
