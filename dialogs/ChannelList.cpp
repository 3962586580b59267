#include "dialogs/ChannelList.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QPushButton>
#include <algorithm>

#include "common/UserMessages.h"

namespace quorl {

namespace {

// The client area the layout was drawn for: 180 by 177 dialog units of the
// 8-point dialog font. The controls sit at fixed pixel tops, so only the
// width may grow, when the desktop's font needs it for the captions.
constexpr int kBaseWidth = 270;
constexpr int kClientHeight = 288;
// Room a push button or check box needs besides its caption.
constexpr int kButtonPadding = 12;
constexpr int kCheckPadding = 24;

int WidthFor(const QFontMetrics& metrics) {
    int fifth = 0;
    for (const char* caption : {"All A", "All H", "UNII-L", "UNII-M", "UNII-H"})
        fifth = std::max(fifth, metrics.horizontalAdvance(QString::fromLatin1(caption)) + kButtonPadding);
    fifth = std::max(fifth, metrics.horizontalAdvance(QStringLiteral("165")) + kCheckPadding);
    int half = 0;
    for (const char* caption : {"Select All BG", "Clear All BG", "Ok", "Cancel"})
        half = std::max(half, metrics.horizontalAdvance(QString::fromLatin1(caption)) + kButtonPadding + 20);
    return std::max({kBaseWidth, 5 * fifth, 2 * half});
}

// Left, top, right, bottom, the last two outside the control.
QRect Box(int left, int top, int right, int bottom) { return QRect(left, top, right - left, bottom - top); }

}  // namespace

CChannelList::CChannelList(CEngine& engine, IUserMessages& messages, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      engine_(engine),
      messages_(messages) {
    setWindowTitle(QStringLiteral("Channel List"));
    setModal(true);
    width_ = WidthFor(QFontMetrics(font()));
    setFixedSize(width_, kClientHeight);
    CreateControls();
    ShowPlan();
}

void CChannelList::CreateControls() {
    const int w = width_;
    const int c = w / 5;
    const auto makeBox = [this](int id, int caption, const QRect& rect) {
        auto* box = new QCheckBox(QString::number(caption), this);
        box->setObjectName(QStringLiteral("control%1").arg(id));
        box->setGeometry(rect);
        box->setChecked(false);
        return box;
    };
    for (int k = 0; k < 14; ++k)
        bg_[k + 1] = makeBox(102 + k, k + 1, QRect(c * (k % 5) + 5, 30 + 15 * (k / 5), c, 15));
    for (int k = 0; k < 24; ++k) {
        const int channel = kAhChannels[static_cast<std::size_t>(k)];
        ahIndex_[static_cast<std::size_t>(channel)] = k + 1;
        ah_[k + 1] = makeBox(116 + k, channel, QRect(c * (k % 5) + 5, 110 + 15 * (k / 5), c, 15));
    }

    const struct {
        int id;
        const char* caption;
        QRect rect;
    } buttons[] = {
        {kSelectAllBg, "Select All BG", Box(10, 80, w / 2 - 10, 100)},
        {kClearAllBg, "Clear All BG", Box(w / 2 + 10, 80, w - 10, 100)},
        {kAllA, "All A", Box(0, 190, w / 5, 210)},
        {kAllH, "All H", Box(w / 5, 190, 2 * w / 5, 210)},
        {kUniiL, "UNII-L", Box(2 * w / 5, 190, 3 * w / 5, 210)},
        {kUniiM, "UNII-M", Box(3 * w / 5, 190, 4 * w / 5, 210)},
        {kUniiH, "UNII-H", Box(4 * w / 5, 190, w, 210)},
        {kClearAllAh, "Clear All AH", Box(5, 215, w - 5, 235)},
        {kOkButton, "Ok", Box(10, 240, w / 2 - 10, 260)},
        {kCancelButton, "Cancel", Box(w / 2 + 10, 240, w - 10, 260)},
    };
    for (const auto& entry : buttons) {
        auto* button = new QPushButton(QString::fromLatin1(entry.caption), this);
        button->setObjectName(QStringLiteral("control%1").arg(entry.id));
        button->setGeometry(entry.rect);
        // Enter works on the focused button only; nothing is the default.
        button->setAutoDefault(false);
        buttons_[static_cast<std::size_t>(entry.id - kSelectAllBg)] = button;
    }

    // Positions in kAhChannels order: 1-8 are 36-64, 9-19 are 100-140,
    // 20-24 are 149-165. No button ticks 165.
    connect(Button(kSelectAllBg), &QPushButton::clicked, this, [this] { SetBg(true); });
    connect(Button(kClearAllBg), &QPushButton::clicked, this, [this] { SetBg(false); });
    connect(Button(kAllA), &QPushButton::clicked, this, [this] {
        SetAh(1, 8, true);
        SetAh(20, 23, true);
    });
    connect(Button(kAllH), &QPushButton::clicked, this, [this] { SetAh(9, 19, true); });
    connect(Button(kUniiL), &QPushButton::clicked, this, [this] { SetAh(1, 4, true); });
    connect(Button(kUniiM), &QPushButton::clicked, this, [this] { SetAh(5, 8, true); });
    connect(Button(kUniiH), &QPushButton::clicked, this, [this] { SetAh(20, 23, true); });
    connect(Button(kClearAllAh), &QPushButton::clicked, this, [this] { SetAh(1, 24, false); });
    connect(Button(kOkButton), &QPushButton::clicked, this, &CChannelList::Apply);
    connect(Button(kCancelButton), &QPushButton::clicked, this, &CChannelList::reject);
}

void CChannelList::ShowPlan() {
    const int count = engine_.ChannelCount();
    for (int i = 1; i <= count; ++i) {
        const int channel = FrequencyToChannel(static_cast<std::uint32_t>(engine_.FrequencyAt(i)));
        if (channel >= 1 && channel <= 14) {
            bg_[static_cast<std::size_t>(channel)]->setChecked(true);
        } else if (channel > 14 && channel < static_cast<int>(ahIndex_.size())) {
            if (const int position = ahIndex_[static_cast<std::size_t>(channel)]; position > 0)
                ah_[static_cast<std::size_t>(position)]->setChecked(true);
        }
    }
}

QCheckBox* CChannelList::BgBox(int channel) const {
    return channel >= 1 && channel <= 14 ? bg_[static_cast<std::size_t>(channel)] : nullptr;
}

QCheckBox* CChannelList::AhBox(int position) const {
    return position >= 1 && position <= 24 ? ah_[static_cast<std::size_t>(position)] : nullptr;
}

QPushButton* CChannelList::Button(int id) const {
    return id >= kSelectAllBg && id <= kCancelButton ? buttons_[static_cast<std::size_t>(id - kSelectAllBg)]
                                                     : nullptr;
}

void CChannelList::SetBg(bool ticked) {
    for (int channel = 1; channel <= 14; ++channel) bg_[static_cast<std::size_t>(channel)]->setChecked(ticked);
}

void CChannelList::SetAh(int first, int last, bool ticked) {
    for (int position = first; position <= last; ++position)
        ah_[static_cast<std::size_t>(position)]->setChecked(ticked);
}

void CChannelList::Apply() {
    std::uint8_t bg[15] = {};
    std::uint8_t ah[25] = {};
    bool any = false;
    for (int i = 1; i <= 14; ++i) {
        bg[i] = bg_[static_cast<std::size_t>(i)]->isChecked() ? 1 : 0;
        any = any || bg[i] != 0;
    }
    for (int k = 1; k <= 24; ++k) {
        ah[k] = ah_[static_cast<std::size_t>(k)]->isChecked() ? 1 : 0;
        any = any || ah[k] != 0;
    }
    // An empty plan would leave the sweep nothing to tune and the progress
    // nothing to count: the user is told and the dialog stays.
    if (!any) {
        messages_.ShowPlain(kNoChannelText);
        return;
    }
    engine_.SetChannelPlan(bg, ah);
    done(kOk);
}

void CChannelList::reject() { done(kCancel); }

void CChannelList::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
            button->click();
        } else {
            // The dialog's own OK: it closes and applies nothing.
            done(kEnter);
        }
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace quorl
