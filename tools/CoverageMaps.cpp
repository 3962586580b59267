#include "tools/CoverageMaps.h"

#include <QFont>
#include <QGuiApplication>
#include <QPainter>
#include <QBuffer>
#include <charconv>
#include <clocale>
#include <cstdio>
#include <cmath>
#include <cstdlib>

#include "common/UserMessages.h"
#include "coverage/CoverageImage.h"
#include "coverage/Legend.h"
#include "coverage/PngCoding.h"
#include "survey/PendingFile.h"
#include "tools/MapPicture.h"

namespace quorl::tools {

std::optional<double> NumberArgument(const std::string& text) {
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(v)) return std::nullopt;
    return v;
}

using namespace quorl::analysis;

void StartPictureApp() {
    if (QGuiApplication::instance()) return;
    // Qt's own chatter (no runtime folder, font fallbacks) is no business of
    // the command's user; our errors go to stderr ourselves.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "%s\n", qPrintable(text));
    });
    static int argc = 3;
    static char name[] = "quorl", option[] = "-platform", platform[] = "offscreen";
    static char* argv[] = {name, option, platform, nullptr};
    static QGuiApplication app(argc, argv);
    // Qt takes the whole locale from the environment; numbers in our output
    // (JSON, CSV, text) keep the decimal point whatever the user's language.
    std::setlocale(LC_NUMERIC, "C");
}

bool LoadSurveyOnPlan(const std::string& surveyPath, const std::string& projectionPath, LoadedSurvey& out,
                      std::string& error) {
    if (!LoadPlanSource(projectionPath, out.plan, error)) return false;
    out.planImage = QImage::fromData(out.plan.bitmap.data(), static_cast<int>(out.plan.bitmap.size()), "BMP");
    if (out.planImage.isNull()) {
        error = projectionPath + " holds a plan image that cannot be decoded.";
        return false;
    }
    out.planImage = out.planImage.convertToFormat(QImage::Format_RGB32);
    out.scale = ScaleOfPlan(projectionPath, out.plan, out.scaleWarning);
    // The plan as the image decodes, whatever its header claimed.
    const Placement placement{out.plan.transform, out.planImage.width(), out.planImage.height()};
    return LoadSurvey(surveyPath, placement, out.survey, error);
}

bool LoadSurveysOnPlan(const std::vector<std::string>& surveyPaths, const std::string& projectionPath,
                       LoadedSurvey& out, std::string& error) {
    if (surveyPaths.empty() || !LoadSurveyOnPlan(surveyPaths.front(), projectionPath, out, error)) return false;
    const Placement placement{out.plan.transform, out.planImage.width(), out.planImage.height()};
    for (std::size_t i = 1; i < surveyPaths.size(); ++i) {
        Survey more;
        if (!LoadSurvey(surveyPaths[i], placement, more, error)) return false;
        AppendSurvey(out.survey, std::move(more));
    }
    return true;
}

bool BuildMap(const LoadedSurvey& loaded, const MetricOptions& options, std::optional<double> radius, CoverageMap& out,
              std::string& error, bool silentAllowed) {
    const Survey& survey = loaded.survey;
    if (!options.filter.Empty() && !AnyMatch(survey, options.filter)) {
        error = "no access point of " + survey.name + " matches the filter (" + options.filter.Describe() + ").";
        return false;
    }
    std::vector<ValuePoint> points;
    points.reserve(survey.points.size());
    std::size_t heard = 0;
    for (const SurveyPoint& p : survey.points) {
        if (auto v = MapValue(p, options)) {
            points.push_back(ValuePoint{p.x, p.y, *v});
            heard += std::isfinite(*v) ? 1 : 0;
        }
    }
    if (heard == 0 && !(silentAllowed && !points.empty())) {
        error = std::string("no survey point of ") + survey.name + " has a " + MetricName(options.metric) +
                " value for " + options.filter.Describe() + ".";
        return false;
    }
    const GridGeometry geometry = GridGeometry::ForPlan(loaded.planImage.width(), loaded.planImage.height());
    out.options = options;
    out.samples = heard;
    out.notHeard = points.size() - heard;
    out.radiusGiven = radius.has_value();
    double chosen = 0;
    if (radius) {
        chosen = *radius;
    } else {
        chosen = DefaultRadius(points, geometry, DefaultRadiusCap(loaded.scale));
        out.radiusCapped = chosen < DefaultRadius(points, geometry);
    }
    out.grid = CoverageGrid(geometry, chosen);
    out.grid.Build(std::move(points));
    out.error = LeaveOneOut(out.grid);
    return true;
}

QString RadiusLine(double radius, bool given, bool capped, const PlanScale& scale) {
    QString line = QStringLiteral("radius ") + QString::fromStdString(DistanceText(radius, scale));
    if (given) return line;
    if (!capped) return line + QStringLiteral(" (from the spacing)");
    return line + QStringLiteral(" (from the spacing, at most %1 m)").arg(kLongestDefaultRadiusMetres);
}

std::string MapErrorLine(const CoverageMap& map) {
    return MapErrorText(map.error, IsCount(map.options.metric) ? "access points" : "dB", map.grid.Kernel());
}

coverage::ColourScale ScaleFor(Metric metric, double min, double max, bool classes) {
    if (IsCount(metric)) return coverage::ColourScale::Counts();
    return classes ? coverage::ColourScale::SignalClasses() : coverage::ColourScale::Viridis(min, max);
}

std::string MapShares(const CoverageGrid& grid) {
    const double cells = std::max<double>(1, static_cast<double>(grid.Geometry().CellCount()));
    char text[96];
    std::snprintf(text, sizeof text, "value on %.1f %% of the plan, not heard on %.1f %%",
                  100.0 * static_cast<double>(grid.CellsWithData()) / cells,
                  100.0 * static_cast<double>(grid.CellsNotHeard()) / cells);
    return text;
}

QString MetricTitle(const MetricOptions& options) {
    switch (options.metric) {
    case Metric::Signal: return QStringLiteral("signal: strongest level (dBm)");
    case Metric::Secondary: return QStringLiteral("secondary: second-strongest AP (dBm)");
    case Metric::ApCount: return QStringLiteral("ap-count: APs at or above %1 dBm").arg(options.threshold);
    case Metric::CoChannel:
        return QStringLiteral("co-channel: other APs on the channel at or above %1 dBm").arg(options.threshold);
    }
    return {};
}

QImage RenderMap(const LoadedSurvey& loaded, const CoverageMap& map, const coverage::ColourScale& scale,
                 int maxWidth) {
    MapPicture picture(loaded.planImage, maxWidth);
    const double s = picture.Scale();
    const QFont& font = picture.Font();
    coverage::LegendText text;
    text.title = MetricTitle(map.options);
    text.lines << QString::fromStdString(map.options.filter.Describe())
               << QStringLiteral("survey %1").arg(QString::fromStdString(loaded.survey.name))
               << QStringLiteral("plan %1").arg(QString::fromStdString(loaded.plan.name))
               << QStringLiteral("%1 points with a value").arg(map.samples)
               << RadiusLine(map.grid.Radius(), map.radiusGiven, map.radiusCapped, loaded.scale)
               << (loaded.scale.Known() ? QStringLiteral("1 px = %1 m").arg(loaded.scale.metresPerPixel, 0, 'g', 3)
                                        : QStringLiteral("no plan scale: distances in plan pixels"))
               << QStringLiteral("scale %1").arg(scale.Name());
    if (map.notHeard > 0) text.lines << QStringLiteral("%1 points heard nothing of it").arg(map.notHeard);
    text.lines << QString::fromStdString(MapErrorLine(map));
    text.notHeard = map.grid.CellsNotHeard() > 0;
    QPainter& painter = picture.Start(loaded.planImage, coverage::LegendSize(scale, text, font),
                                      coverage::GridImage(map.grid, scale, 170), map.grid.Geometry(),
                                      !scale.Discrete());

    // Survey points: white dots where the metric has a value, grey rings where not.
    painter.setRenderHint(QPainter::Antialiasing, true);
    const double r = std::clamp(picture.PlanWidth() / 250.0, 2.0, 4.0);
    for (const SurveyPoint& p : loaded.survey.points) {
        const bool sample = PointValue(p, map.options).has_value();
        painter.setPen(QPen(sample ? QColor(0, 0, 0) : QColor(110, 110, 110), 1));
        painter.setBrush(sample ? QBrush(Qt::white) : QBrush(Qt::NoBrush));
        painter.drawEllipse(QPointF(p.x * s, p.y * s), r, r);
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
    coverage::DrawLegend(painter, picture.LegendAt(), scale, text, font);
    return picture.Finish(loaded.scale);
}

std::vector<std::string> ProjectionInputs(const std::string& projectionPath) {
    std::vector<std::string> inputs{projectionPath, analysis::ScaleFileBeside(projectionPath)};
    if (std::string cached = analysis::ScaleFileInCache(projectionPath); !cached.empty()) inputs.push_back(cached);
    return inputs;
}

bool PngBytes(const QImage& image, std::string& bytes) {
    const QByteArray coded = coverage::EncodePng(image);
    if (coded.isEmpty()) return false;
    bytes.assign(coded.constData(), static_cast<std::size_t>(coded.size()));
    return true;
}

bool SavePng(const QImage& image, const std::string& path, const std::vector<std::string>& inputs,
             std::string& error) {
    const QByteArray bytes = coverage::EncodePng(image);
    if (bytes.isEmpty()) {
        error = "cannot write " + path + ": the picture could not be coded as PNG";
        return false;
    }
    if (const int why = WriteWholeFile(path, bytes.constData(), static_cast<std::size_t>(bytes.size()), inputs)) {
        error = "cannot write " + path + ": " + SystemErrorText(why);
        return false;
    }
    return true;
}

bool SaveText(const std::string& text, const std::string& path, const std::vector<std::string>& inputs,
              std::string& error) {
    if (const int why = WriteWholeFile(path, text.data(), text.size(), inputs)) {
        error = "cannot write " + path + ": " + SystemErrorText(why);
        return false;
    }
    return true;
}

std::vector<double> CellAreasOf(const LoadedSurvey& loaded, const GridGeometry& geometry) {
    return CellAreas(geometry, loaded.area ? &*loaded.area : nullptr);
}

std::string GridCsv(const CoverageGrid& grid, bool counts, const std::vector<double>* cellAreas) {
    const GridGeometry& g = grid.Geometry();
    const bool skip = cellAreas && cellAreas->size() == g.CellCount();
    std::string out = "x,y,value\n";
    out.reserve(out.size() + g.CellCount() * 16);
    char buffer[64];
    for (int row = 0; row < g.rows; ++row) {
        for (int column = 0; column < g.columns; ++column) {
            if (skip && (*cellAreas)[std::size_t(row) * std::size_t(g.columns) + std::size_t(column)] <= 0) continue;
            char* end = buffer;
            end = std::to_chars(end, buffer + sizeof buffer, g.CentreX(column)).ptr;
            *end++ = ',';
            end = std::to_chars(end, buffer + sizeof buffer, g.CentreY(row)).ptr;
            *end++ = ',';
            const float v = grid.At(column, row);
            if (CoverageGrid::IsNotHeard(v)) {
                static constexpr char kText[] = "not heard";
                end = std::copy(kText, kText + sizeof kText - 1, end);
            } else if (!std::isnan(v)) {
                const double shown = counts ? std::round(v) : std::round(v * 10.0) / 10.0;
                end = std::to_chars(end, buffer + sizeof buffer, shown).ptr;
            }
            *end++ = '\n';
            out.append(buffer, end);
        }
    }
    return out;
}

}  // namespace quorl::tools
