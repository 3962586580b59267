#pragma once
// CDraw: the splash picture (bitmap 136) over a rectangle, for the start
// view's drawing.

class QPainter;

namespace quorl {

class CDraw {
public:
    // The whole splash picture as large as fits (0, 0) to (w, h) of
    // `target`, centred, proportions kept; its edge columns (rows) stretched
    // over the margins. Draws nothing when the picture cannot be loaded.
    void Picture(QPainter& target, int w, int h) const;
};

}  // namespace quorl
