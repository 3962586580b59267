#pragma once
// CDraw: stretches the splash picture (bitmap 136) over a rectangle, for the
// start view's drawing.

class QPainter;

namespace quorl {

class CDraw {
public:
    // Stretches the whole splash picture over (0, 0) to (w, h) of `target`,
    // proportions not kept. Draws nothing when the picture cannot be loaded.
    void Picture(QPainter& target, int w, int h) const;
};

}  // namespace quorl
