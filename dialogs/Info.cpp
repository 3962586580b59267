#include "dialogs/Info.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <algorithm>

#include "common/UserMessages.h"
#include "dialogs/DialogUnits.h"
#include "survey/SiteData.h"

namespace quorl {

namespace {

// The desktop's fixed font, unless the face it resolves to is not really of
// fixed pitch (some "Mono" faces carry wide glyphs); then a face that is.
QFont FixedPitchFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (QFontInfo(font).fixedPitch()) return font;
    QStringList candidates = {QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Liberation Mono"),
                              QStringLiteral("Noto Mono")};
    candidates += QFontDatabase::families();
    for (const QString& family : candidates) {
        if (!QFontDatabase::isFixedPitch(family)) continue;
        QFont candidate(family, font.pointSize());
        if (QFontInfo(candidate).fixedPitch()) return candidate;
    }
    return font;
}

// The longest line the list holds, in characters: the heading (access
// point lines have 45, SSID lines at most 41).
constexpr int kWidestLine = 50;

}  // namespace

CInfo::CInfo(CSiteData& data, IUserMessages& messages, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      data_(data),
      messages_(messages) {
    setWindowTitle(QString::fromLatin1(kCaption));
    setModal(true);

    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("control1003"));
    list_->setSortingEnabled(false);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    // Only a vertical scroll bar: the list is made wide enough for its lines.
    list_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The columns of the lines are made of blanks: they line up only in a
    // fixed-pitch face.
    list_->setFont(FixedPitchFont());
    list_->addItems(Lines(data));

    keep_ = new QPushButton(QStringLiteral("Keep Point"), this);
    keep_->setObjectName(QStringLiteral("control1004"));
    keep_->setDefault(true);
    delete_ = new QPushButton(QStringLiteral("Delete Point"), this);
    delete_->setObjectName(QStringLiteral("control1005"));

    // The template's places in dialog units; the list is widened when the
    // fixed-pitch face needs more room than the template gave it, and the
    // dialog and the right-hand button move out with it.
    const DialogUnits units(font());
    const QFontMetrics listMetrics(list_->font());
    const int focusMargin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list_) + 1;
    const int widest = std::max(list_->sizeHintForColumn(0),
                                listMetrics.horizontalAdvance(QString(kWidestLine, QLatin1Char('0'))) + 2 * focusMargin);
    const int needed = widest + style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list_) +
                       2 * list_->frameWidth() + 4;
    const int extra = std::max(0, needed - units.X(172));
    list_->setGeometry(units.Rect(7, 7, 172, 146).adjusted(0, 0, extra, 0));
    keep_->setGeometry(units.Rect(7, 174, 70, 21));
    delete_->setGeometry(units.Rect(115, 175, 64, 20).translated(extra, 0));
    setFixedSize(units.Size(186, 202) + QSize(extra, 0));

    connect(keep_, &QPushButton::clicked, this, [this] { done(kKeep); });
    connect(delete_, &QPushButton::clicked, this, &CInfo::AskDelete);
}

int CInfo::Run(CSiteData& data, IUserMessages& messages, QWidget* parent) {
    CInfo dialog(data, messages, parent);
    return dialog.exec();
}

QStringList CInfo::Lines(CSiteData& data) {
    const CSiteData::_tap point = data.SelectedPoint();
    QStringList lines;
    lines << QString::asprintf("X = %d          Y = %d", point.x, point.y) << QString();
    if (point.kind == CSiteData::kGpsPoint || point.kind == CSiteData::kProjectedTap ||
        point.kind == CSiteData::kPlanTap) {
        lines << QString::fromLatin1(kHeading);
        // The count is a 16-bit field of the file.
        const auto count = static_cast<std::uint16_t>(point.apCount);
        for (std::uint32_t k = 1; k <= count; ++k) {
            const auto index = static_cast<std::uint16_t>(k);
            const std::string apLine = data.FormatApLine(index);
            // A file that cannot be opened is reported once, not twice for
            // every access point.
            if (data.LastFileFailed()) break;
            lines << QString::fromStdString(apLine) << QString::fromStdString(data.FormatSsidLine(index));
            if (data.LastFileFailed()) break;
        }
    } else if (point.kind == CSiteData::kApMarker) {
        lines << QString::fromLatin1(kDynamicApText);
    }
    return lines;
}

void CInfo::reject() { done(kKeep); }

void CInfo::AskDelete() {
    if (!data_.CheckWritable()) return;
    // No leaves the dialog open as it was.
    if (messages_.AskYesNo(kDeleteQuestion)) done(kDelete);
}

}  // namespace quorl
