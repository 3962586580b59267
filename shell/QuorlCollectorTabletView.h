#pragma once
// CQuorlCollectorTabletView: the start view. The splash picture with the
// unit's firmware version and serial number over it; a tap beeps and hands
// the screen to the site view for good. It also prints the same drawing.

#include <QImage>
#include <QString>
#include <QWidget>

#include "siteview/CommandTarget.h"
#include "siteview/ViewSwitcher.h"

class QPrinter;

namespace quorl {

class CEngine;

class CQuorlCollectorTabletView : public QWidget, public ICommandTarget {
    Q_OBJECT
public:
    // Height of the black strip below the picture.
    static constexpr int kStripHeight = 20;

    CQuorlCollectorTabletView(CEngine& engine, IViewSwitcher& switcher, QPrinter& printer,
                              QWidget* parent = nullptr);

    // The two lines as they are drawn now.
    QString FirmwareLine() const;
    QString SerialLine() const;
    // Repaints when the unit has told its firmware or serial number since
    // the last paint: the window is up before the unit answers.
    void RefreshIdentity();

    // The whole drawing for a client area of `size`, in device pixels of
    // `devicePixelRatio`.
    QImage Compose(const QSize& size, qreal devicePixelRatio) const;

    // Print (57607), direct print (57608) and print preview (57609).
    bool HandlesCommand(int id) const override;
    void RunCommand(int id) override;

    // The printed page: the drawing at the client area's size, counted in the
    // printer's pixels, at the top left of the page.
    void PrintPage(QPrinter& printer) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    CEngine& engine_;
    IViewSwitcher& switcher_;
    QPrinter& printer_;
    QString paintedFirmware_;
    QString paintedSerial_;
};

}  // namespace quorl
