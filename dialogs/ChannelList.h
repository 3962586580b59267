#pragma once
// CChannelList: the channels a sweep visits. It opens on the engine's
// current plan, lets the user tick the fourteen 2.4 GHz channels (BG) and
// the twenty-four 5 GHz ones (A/H, with buttons for the UNII bands), and
// on "Ok" hands the ticks to the engine, which takes them from the next
// sweep on. Every other way out leaves the plan as it was.
//
//   CChannelList(engine, messages, parent).exec();
//
// Results: kOk after "Ok"; kCancel for "Cancel", Escape and the close box;
// kEnter when Enter is pressed while no push button has the focus.

#include <QDialog>
#include <array>

#include "engine/Engine.h"

class QCheckBox;
class QPushButton;

namespace quorl {

class IUserMessages;

class CChannelList : public QDialog {
    Q_OBJECT
public:
    static constexpr int kOk = 0;
    static constexpr int kCancel = -1;
    static constexpr int kEnter = 1;

    // Push button identifiers, in creation order.
    static constexpr int kSelectAllBg = 151;
    static constexpr int kClearAllBg = 152;
    static constexpr int kAllA = 153;
    static constexpr int kAllH = 154;
    static constexpr int kUniiL = 155;
    static constexpr int kUniiM = 156;
    static constexpr int kUniiH = 157;
    static constexpr int kClearAllAh = 158;
    static constexpr int kOkButton = 159;
    static constexpr int kCancelButton = 160;

    static constexpr const char* kNoChannelText = "Please select at least one channel.";

    CChannelList(CEngine& engine, IUserMessages& messages, QWidget* parent = nullptr);

    // The box of BG channel 1..14, of A/H position 1..24 (kAhChannels
    // order), and the push button of an identifier above; null outside.
    QCheckBox* BgBox(int channel) const;
    QCheckBox* AhBox(int position) const;
    QPushButton* Button(int id) const;
    // Width of the client area, which the layout is cut into fifths of.
    int ClientWidth() const { return width_; }

protected:
    void reject() override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void CreateControls();
    void ShowPlan();
    void SetAh(int first, int last, bool ticked);
    void SetBg(bool ticked);
    void Apply();

    CEngine& engine_;
    IUserMessages& messages_;
    int width_ = 0;
    std::array<QCheckBox*, 15> bg_{};          // by channel; 0 unused
    std::array<QCheckBox*, 25> ah_{};          // by A/H position; 0 unused
    std::array<QPushButton*, 10> buttons_{};   // identifier - 151
    std::array<int, 166> ahIndex_{};           // A/H position by 5 GHz channel, 0 for none
};

}  // namespace quorl
