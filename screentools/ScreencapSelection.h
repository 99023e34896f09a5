#pragma once

#include <QRect>

// The rectangle dragged over the frozen desktop of a rectangle screenshot. startX/startY is
// the press position; selWidth/selHeight is the pointer minus the press position, negative
// for a drag up or to the left.
class ScreencapSelection
{
public:
    bool pressing = false;
    bool hasSelection = false; // set by the first move while pressing
    int startX = 0;
    int startY = 0;
    int selWidth = 0;
    int selHeight = 0;

    // Starts a rectangle, unless one is already drawn (Escape removes it first).
    void press(int x, int y);
    void move(int x, int y);
    void release() { pressing = false; }
    void reset() { *this = ScreencapSelection(); }

    bool showsBorder() const { return pressing || (selWidth != 0 && selHeight != 0); }
    // Escape closes the capture while no rectangle with an area is drawn; otherwise it
    // removes the rectangle.
    bool escapeCloses() const { return selWidth == 0 || selHeight == 0; }
    // The dotted border: its lines run through the press point and the pointer. A drag up or
    // to the left gives the same border as the drag down and right between the same corners.
    QRect border() const;
    // What is captured: the pixels inside the border lines. Empty when the border has none.
    QRect inside() const;
};
