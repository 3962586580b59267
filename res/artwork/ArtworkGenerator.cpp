// Draws every picture of the collector's resources with QPainter and writes
// them as PNG files at 1x, 2x and 4x, so that they stay crisp on high-density
// screens. The outputs are committed; run this again only after changing a
// drawing:  quorl-artwork <res folder>
//
// Every drawing is made on its logical canvas (16 x 16 for a tool-bar image)
// scaled by the output factor, so the three sizes show the same picture.

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QString>
#include <QTextStream>
#include <cmath>
#include <functional>

namespace {

using Drawing = std::function<void(QPainter&)>;

const QColor kOutline(32, 32, 40);

QPen Pen(const QColor& colour, qreal width) {
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

bool Write(const QString& folder, const QString& name, const QSize& logical, int scale,
           const QColor& ground, const Drawing& draw) {
    QImage image(logical * scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(ground);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.scale(scale, scale);
        draw(p);
    }
    if (ground.alpha() == 255) image = image.convertToFormat(QImage::Format_RGB32);
    const QString suffix = scale == 1 ? QString() : QStringLiteral("@%1x").arg(scale);
    const QString path = folder + QLatin1Char('/') + name + suffix + QStringLiteral(".png");
    if (!image.save(path)) {
        QTextStream(stderr) << "cannot write " << path << '\n';
        return false;
    }
    return true;
}

// --- tool-bar images (16 x 16) -------------------------------------------

void Globe(QPainter& p, const QPointF& c, qreal r) {
    QRadialGradient g(c - QPointF(r / 3, r / 3), r * 1.4);
    g.setColorAt(0, QColor(90, 150, 255));
    g.setColorAt(1, QColor(10, 50, 170));
    p.setPen(Pen(QColor(10, 30, 110), 0.6));
    p.setBrush(g);
    p.drawEllipse(c, r, r);
    p.setBrush(Qt::NoBrush);
    p.setPen(Pen(QColor(190, 220, 255), 0.45));
    p.drawEllipse(c, r * 0.45, r);
    p.drawLine(QPointF(c.x() - r, c.y()), QPointF(c.x() + r, c.y()));
    p.drawLine(QPointF(c.x(), c.y() - r), QPointF(c.x(), c.y() + r));
}

void Arrow(QPainter& p, QPointF from, QPointF to, const QColor& colour) {
    p.setPen(Pen(colour, 1.0));
    p.drawLine(from, to);
    const QPointF d = to - from;
    const qreal len = std::hypot(d.x(), d.y());
    const QPointF u = d / len, n(-u.y(), u.x());
    QPainterPath head;
    head.moveTo(to + u * 0.8);
    head.lineTo(to - u * 1.8 + n * 1.5);
    head.lineTo(to - u * 1.8 - n * 1.5);
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(head);
}

void OpenProjection(QPainter& p) {
    // Screen at the top right.
    p.setPen(Pen(kOutline, 0.8));
    p.setBrush(QColor(0, 210, 230));
    p.drawRoundedRect(QRectF(8.5, 1.5, 6.5, 5.5), 0.6, 0.6);
    p.setBrush(kOutline);
    p.drawRect(QRectF(10.8, 7.0, 2.0, 1.0));
    Globe(p, QPointF(5.0, 11.0), 4.0);
    Arrow(p, QPointF(7.6, 7.8), QPointF(10.0, 5.2), QColor(20, 20, 20));
    Arrow(p, QPointF(5.0, 6.2), QPointF(8.0, 3.4), QColor(20, 20, 20));
}

void Pot(QPainter& p) {
    // Red handle over the top.
    p.setBrush(Qt::NoBrush);
    p.setPen(Pen(QColor(215, 25, 25), 1.6));
    p.drawArc(QRectF(3.5, 1.5, 9.0, 7.0), 20 * 16, 140 * 16);
    QPainterPath body;
    body.moveTo(2.0, 6.0);
    body.lineTo(14.0, 6.0);
    body.cubicTo(14.0, 12.0, 12.5, 14.5, 8.0, 14.5);
    body.cubicTo(3.5, 14.5, 2.0, 12.0, 2.0, 6.0);
    QLinearGradient g(2, 0, 14, 0);
    g.setColorAt(0, QColor(40, 42, 50));
    g.setColorAt(0.35, QColor(95, 98, 110));
    g.setColorAt(1, QColor(25, 26, 32));
    p.setPen(Pen(QColor(10, 10, 14), 0.7));
    p.setBrush(g);
    p.drawPath(body);
    p.setBrush(QColor(60, 62, 72));
    p.drawRoundedRect(QRectF(1.0, 5.0, 14.0, 1.8), 0.6, 0.6);
}

void Play(QPainter& p) {
    QPainterPath t;
    t.moveTo(4.0, 2.5);
    t.lineTo(13.5, 8.0);
    t.lineTo(4.0, 13.5);
    t.closeSubpath();
    QLinearGradient g(0, 2, 0, 14);
    g.setColorAt(0, QColor(60, 200, 70));
    g.setColorAt(1, QColor(10, 120, 25));
    p.setPen(Pen(QColor(5, 70, 15), 0.8));
    p.setBrush(g);
    p.drawPath(t);
}

void Stop(QPainter& p) {
    QLinearGradient g(0, 3, 0, 13);
    g.setColorAt(0, QColor(225, 60, 50));
    g.setColorAt(1, QColor(150, 20, 15));
    p.setPen(Pen(QColor(90, 10, 10), 0.8));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(3.0, 3.0, 10.0, 10.0), 1.0, 1.0);
}

void BulletList(QPainter& p) {
    for (int i = 0; i < 3; ++i) {
        const qreal y = 3.5 + i * 4.5;
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(20, 80, 200));
        p.drawEllipse(QPointF(3.0, y), 1.5, 1.5);
        p.setPen(Pen(kOutline, 1.3));
        p.drawLine(QPointF(6.5, y), QPointF(14.5, y));
    }
}

void Magnifier(QPainter& p, bool plus) {
    p.setPen(Pen(QColor(70, 50, 30), 2.4));
    p.drawLine(QPointF(10.0, 10.0), QPointF(14.5, 14.5));
    QRadialGradient g(QPointF(5.0, 5.0), 6.0);
    g.setColorAt(0, QColor(235, 250, 255));
    g.setColorAt(1, QColor(150, 200, 235));
    p.setPen(Pen(kOutline, 1.1));
    p.setBrush(g);
    p.drawEllipse(QPointF(6.5, 6.5), 5.0, 5.0);
    p.setPen(Pen(QColor(10, 10, 10), 1.3));
    p.drawLine(QPointF(4.0, 6.5), QPointF(9.0, 6.5));
    if (plus) p.drawLine(QPointF(6.5, 4.0), QPointF(6.5, 9.0));
}

// A yellow glyph with a dark edge, so it reads on any tool-bar colour.
void YellowGlyph(QPainter& p, const QPainterPath& glyph) {
    p.setPen(Pen(QColor(90, 60, 0), 0.9));
    QLinearGradient g(0, 1, 0, 15);
    g.setColorAt(0, QColor(255, 240, 80));
    g.setColorAt(1, QColor(235, 175, 0));
    p.setBrush(g);
    p.drawPath(glyph);
}

void Information(QPainter& p) {
    QPainterPath i;
    i.addEllipse(QPointF(8.0, 2.9), 1.8, 1.8);
    i.moveTo(5.5, 6.0);
    i.lineTo(9.6, 6.0);
    i.lineTo(9.6, 12.6);
    i.lineTo(11.0, 12.6);
    i.lineTo(11.0, 14.6);
    i.lineTo(5.2, 14.6);
    i.lineTo(5.2, 12.6);
    i.lineTo(6.6, 12.6);
    i.lineTo(6.6, 8.0);
    i.lineTo(5.5, 8.0);
    i.closeSubpath();
    YellowGlyph(p, i);
}

void Question(QPainter& p) {
    QPainterPath q;
    // Hook: an outer and an inner arc joined into one band.
    q.moveTo(3.6, 5.6);
    q.cubicTo(3.6, 2.2, 6.0, 1.0, 8.2, 1.0);
    q.cubicTo(11.0, 1.0, 12.8, 2.8, 12.8, 5.0);
    q.cubicTo(12.8, 7.2, 11.2, 8.0, 10.0, 8.8);
    q.cubicTo(9.4, 9.2, 9.4, 9.8, 9.4, 10.8);
    q.lineTo(6.6, 10.8);
    q.cubicTo(6.6, 9.0, 7.0, 8.0, 8.4, 7.0);
    q.cubicTo(9.5, 6.2, 9.9, 5.8, 9.9, 5.0);
    q.cubicTo(9.9, 4.0, 9.2, 3.5, 8.2, 3.5);
    q.cubicTo(7.0, 3.5, 6.4, 4.4, 6.4, 5.6);
    q.closeSubpath();
    q.addEllipse(QPointF(8.0, 13.3), 1.7, 1.7);
    YellowGlyph(p, q);
}

// The coverage layer: a plan sheet with a heat patch spreading from a
// survey point, in the colours of the viridis scale the layer uses.
void Coverage(QPainter& p) {
    const QRectF sheet(1.5, 1.5, 13.0, 13.0);
    p.setPen(Pen(kOutline, 0.8));
    p.setBrush(QColor(250, 250, 245));
    p.drawRoundedRect(sheet, 1.0, 1.0);
    QRadialGradient heat(QPointF(6.5, 9.0), 7.5);
    heat.setColorAt(0.0, QColor(253, 231, 37));
    heat.setColorAt(0.35, QColor(94, 201, 98));
    heat.setColorAt(0.65, QColor(33, 145, 140));
    heat.setColorAt(0.9, QColor(59, 82, 139, 200));
    heat.setColorAt(1.0, QColor(68, 1, 84, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(heat);
    p.drawRoundedRect(sheet.adjusted(0.6, 0.6, -0.6, -0.6), 0.6, 0.6);
    // The survey point the patch grows from.
    p.setPen(Pen(QColor(10, 10, 10), 0.9));
    p.setBrush(QColor(255, 255, 255));
    p.drawEllipse(QPointF(6.5, 9.0), 1.6, 1.6);
}

// Walking survey: two footprints along a dashed path with a turn.
void Walk(QPainter& p) {
    QPen path = Pen(QColor(0, 0, 192), 1.2);
    path.setStyle(Qt::DashLine);
    p.setPen(path);
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({QPointF(2.0, 14.0), QPointF(2.0, 8.0), QPointF(14.0, 2.0)}));
    p.setPen(Pen(kOutline, 0.7));
    p.setBrush(QColor(60, 60, 70));
    for (const QPointF& at : {QPointF(7.0, 11.0), QPointF(11.5, 8.0)}) {
        p.drawEllipse(at, 1.6, 2.4);
        p.drawEllipse(at + QPointF(0.0, 3.4), 1.0, 0.9);
    }
}

// Survey gaps: a plan sheet with a walked-over corner and a hatched grey
// patch still to walk, a red flag on it.
void Gaps(QPainter& p) {
    const QRectF sheet(1.5, 1.5, 13.0, 13.0);
    p.setPen(Pen(kOutline, 0.8));
    p.setBrush(QColor(250, 250, 245));
    p.drawRoundedRect(sheet, 1.0, 1.0);
    const QRectF gap(7.5, 2.3, 6.2, 11.4);
    p.setPen(Qt::NoPen);
    p.setBrush(QBrush(QColor(110, 110, 110), Qt::BDiagPattern));
    p.drawRect(gap);
    p.setBrush(QColor(120, 120, 120, 70));
    p.drawRect(gap);
    // Survey points on the part already walked.
    p.setPen(Pen(QColor(10, 10, 10), 0.7));
    p.setBrush(QColor(0, 160, 0));
    for (const QPointF& at : {QPointF(4.0, 4.5), QPointF(4.5, 8.5), QPointF(4.0, 12.0)}) p.drawEllipse(at, 1.2, 1.2);
    // The flag where to walk next.
    p.setPen(Pen(QColor(40, 40, 40), 0.8));
    p.drawLine(QPointF(10.5, 12.5), QPointF(10.5, 4.5));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(210, 20, 20));
    p.drawPolygon(QPolygonF({QPointF(10.5, 4.5), QPointF(13.6, 5.9), QPointF(10.5, 7.3)}));
}

// --- icons ----------------------------------------------------------------

void WifiArcs(QPainter& p, const QPointF& c, qreal r, const QColor& colour, qreal width) {
    p.setBrush(Qt::NoBrush);
    p.setPen(Pen(colour, width));
    for (int k = 1; k <= 3; ++k) {
        const qreal rk = r * k / 3.0;
        p.drawArc(QRectF(c.x() - rk, c.y() - rk, 2 * rk, 2 * rk), 45 * 16, 90 * 16);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(c, width * 0.9, width * 0.9);
}

// Icon 128 on a 32 x 32 canvas: a tablet showing a plan with a survey point,
// radio waves above it.
void MainIcon(QPainter& p) {
    QLinearGradient body(0, 4, 0, 31);
    body.setColorAt(0, QColor(70, 75, 90));
    body.setColorAt(1, QColor(25, 28, 36));
    p.setPen(Pen(QColor(10, 10, 14), 0.8));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(5.0, 9.0, 22.0, 22.0), 2.5, 2.5);
    p.setBrush(QColor(235, 242, 248));
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(7.5, 11.5, 17.0, 17.0));
    p.setPen(Pen(QColor(120, 140, 160), 0.7));
    p.drawLine(QPointF(7.5, 20.0), QPointF(17.0, 20.0));
    p.drawLine(QPointF(17.0, 11.5), QPointF(17.0, 28.5));
    p.drawLine(QPointF(12.0, 20.0), QPointF(12.0, 28.5));
    p.setPen(Pen(QColor(10, 10, 10), 0.6));
    p.setBrush(QColor(0, 170, 40));
    p.drawEllipse(QPointF(21.0, 16.0), 2.2, 2.2);
    p.setBrush(QColor(200, 0, 0));
    p.drawEllipse(QPointF(11.0, 24.5), 2.2, 2.2);
    WifiArcs(p, QPointF(16.0, 9.0), 8.5, QColor(0, 140, 200), 1.6);
}

// Icon 129 on a 32 x 32 canvas: a page with a folded corner and radio waves.
void DocumentIcon(QPainter& p) {
    QPainterPath page;
    page.moveTo(6.0, 2.0);
    page.lineTo(20.0, 2.0);
    page.lineTo(27.0, 9.0);
    page.lineTo(27.0, 30.0);
    page.lineTo(6.0, 30.0);
    page.closeSubpath();
    p.setPen(Pen(QColor(60, 70, 90), 1.0));
    p.setBrush(QColor(250, 252, 255));
    p.drawPath(page);
    QPainterPath fold;
    fold.moveTo(20.0, 2.0);
    fold.lineTo(20.0, 9.0);
    fold.lineTo(27.0, 9.0);
    p.setBrush(QColor(205, 215, 230));
    p.drawPath(fold);
    WifiArcs(p, QPointF(16.5, 25.0), 10.0, QColor(0, 140, 200), 1.8);
}

// --- bitmaps --------------------------------------------------------------

// Bitmap 133 (32 x 32): a teal ring with four small black crosses inside on
// white. The site view combines it with AND, so white leaves the plan as is.
void CentreMark(QPainter& p) {
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0, 128, 128), 2.0));
    p.drawEllipse(QPointF(16.0, 16.0), 12.0, 12.0);
    p.setPen(QPen(Qt::black, 1.0, Qt::SolidLine, Qt::FlatCap));
    const QPointF crosses[] = {{16.0, 9.5}, {22.5, 16.0}, {16.0, 22.5}, {9.5, 16.0}};
    for (const QPointF& c : crosses) {
        p.drawLine(QPointF(c.x() - 2.0, c.y()), QPointF(c.x() + 2.0, c.y()));
        p.drawLine(QPointF(c.x(), c.y() - 2.0), QPointF(c.x(), c.y() + 2.0));
    }
}

// Bitmap 136 (240 x 320): the splash picture. The start view writes the
// firmware and serial lines over its middle (from half the height down), so
// that band is kept light and quiet.
void Splash(QPainter& p) {
    QLinearGradient sky(0, 0, 0, 150);
    sky.setColorAt(0, QColor(8, 30, 72));
    sky.setColorAt(1, QColor(20, 95, 150));
    p.fillRect(QRectF(0, 0, 240, 150), sky);

    WifiArcs(p, QPointF(120.0, 82.0), 50.0, QColor(120, 215, 255), 5.0);

    QFont title(QStringLiteral("DejaVu Sans"));
    title.setPixelSize(30);
    title.setBold(true);
    title.setLetterSpacing(QFont::AbsoluteSpacing, 4.0);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 96, 240, 34), Qt::AlignCenter, QStringLiteral("QUORL"));
    QFont sub(QStringLiteral("DejaVu Sans"));
    sub.setPixelSize(11);
    sub.setLetterSpacing(QFont::AbsoluteSpacing, 1.5);
    p.setFont(sub);
    p.setPen(QColor(190, 225, 250));
    p.drawText(QRectF(0, 128, 240, 16), Qt::AlignCenter, QStringLiteral("SITE SURVEY COLLECTOR"));

    // The quiet band the identity lines stand on.
    QLinearGradient band(0, 150, 0, 226);
    band.setColorAt(0, QColor(196, 214, 230));
    band.setColorAt(1, QColor(222, 232, 240));
    p.fillRect(QRectF(0, 150, 240, 76), band);
    p.fillRect(QRectF(0, 150, 240, 3), QColor(255, 170, 0));

    // A floor plan with survey points along a walk.
    p.fillRect(QRectF(0, 226, 240, 94), QColor(236, 238, 232));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(70, 78, 90), 2.0));
    p.drawRect(QRectF(14, 236, 212, 74));
    p.drawLine(QPointF(90, 236), QPointF(90, 280));
    p.drawLine(QPointF(90, 296), QPointF(90, 310));
    p.drawLine(QPointF(160, 262), QPointF(226, 262));
    p.drawLine(QPointF(160, 236), QPointF(160, 248));
    p.drawLine(QPointF(14, 272), QPointF(60, 272));
    const struct { QPointF at; QColor fill; } points[] = {
        {{40, 254}, QColor(0, 0, 192)}, {{62, 292}, QColor(0, 192, 0)},
        {{112, 258}, QColor(0, 192, 0)}, {{132, 292}, QColor(192, 0, 0)},
        {{190, 248}, QColor(0, 0, 192)}, {{200, 288}, QColor(192, 0, 0)}};
    p.setPen(QPen(Qt::black, 1.0, Qt::DashLine));
    for (std::size_t i = 1; i < std::size(points); ++i) p.drawLine(points[i - 1].at, points[i].at);
    for (const auto& pt : points) {
        p.setBrush(pt.fill);
        p.drawEllipse(pt.at, 6.0, 6.0);
    }
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        QTextStream(stderr) << "usage: quorl-artwork RES_FOLDER\n";
        return 2;
    }
    const QString res = QString::fromLocal8Bit(argv[1]);
    for (const char* sub : {"toolbar", "icons", "bitmaps"}) QDir(res).mkpath(QString::fromLatin1(sub));

    const struct { const char* name; Drawing draw; } toolbar[] = {
        {"open-projection", OpenProjection},
        {"collection-file", Pot},
        {"start-scanning", Play},
        {"stop-scanning", Stop},
        {"channel-list", BulletList},
        {"zoom-in", [](QPainter& p) { Magnifier(p, true); }},
        {"zoom-out", [](QPainter& p) { Magnifier(p, false); }},
        {"point-information", Information},
        {"about", Question},
        {"coverage", Coverage},
        {"walking-survey", Walk},
        {"survey-gaps", Gaps},
    };
    bool ok = true;
    for (const auto& t : toolbar)
        for (int scale : {1, 2, 4})
            ok &= Write(res + QStringLiteral("/toolbar"), QString::fromLatin1(t.name), QSize(16, 16),
                        scale, Qt::transparent, t.draw);
    // Icons at the sizes window managers and launchers ask for.
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const auto scaled = [size](const Drawing& d) {
            return [size, d](QPainter& p) {
                p.scale(size / 32.0, size / 32.0);
                d(p);
            };
        };
        const QString suffix = QStringLiteral("-%1").arg(size);
        ok &= Write(res + QStringLiteral("/icons"), QStringLiteral("main") + suffix, QSize(size, size), 1,
                    Qt::transparent, scaled(MainIcon));
        ok &= Write(res + QStringLiteral("/icons"), QStringLiteral("document") + suffix, QSize(size, size), 1,
                    Qt::transparent, scaled(DocumentIcon));
    }
    for (int scale : {1, 2, 4}) {
        ok &= Write(res + QStringLiteral("/bitmaps"), QStringLiteral("centre-mark"), QSize(32, 32), scale,
                    Qt::white, CentreMark);
        ok &= Write(res + QStringLiteral("/bitmaps"), QStringLiteral("splash"), QSize(240, 320), scale,
                    Qt::black, Splash);
    }
    return ok ? 0 : 1;
}
