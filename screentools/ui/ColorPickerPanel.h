#pragma once

#include "screentools/ColorPicker.h"

class QLabel;
class QLineEdit;
class QWidget;

// The colour readout and the six colour buffers of a window. It fills the window's widgets,
// found by their object names (lePos, leColor, leRed, leGreen, leBlue, labColorShow,
// labRectPixsShow; leBufPointN, leBufColorN, leBufRN, leBufGN, leBufBN, labBufColorShowN for
// N = 1 … 6), and reads the picture shown by the given label.
class ColorPickerPanel
{
public:
    static constexpr int kBuffers = 6;

    ColorPickerPanel(QWidget *form, QLabel *picture);

    // The pointer moved to (x, y) of the picture; swapPosition shows the position as (y, x).
    void pointerMoved(int x, int y, bool swapPosition = false);
    // The pointer left the picture: texts only; swatch, magnifier and last position stay.
    void pointerLeft();
    // Buffer n (1 … 6) from picture position (x, y), cleared when (x, y) is no position;
    // any other n changes nothing.
    void setColorBuffer(int x, int y, int n);
    // Buffer n from the last pointer position, read again from the picture as it is now.
    void saveColor(int n) { setColorBuffer(lastX, lastY, n); }
    void clearColorBuffers();

    // The last position reported by a pointer move; -1, -1 before the first.
    int lastPointerX() const { return lastX; }
    int lastPointerY() const { return lastY; }

private:
    struct Row
    {
        QLineEdit *point, *color, *red, *green, *blue;
        QLabel *swatch;
    };

    QLabel *picture;
    QLineEdit *lePos, *leColor, *leRed, *leGreen, *leBlue;
    QLabel *labColorShow, *labRectPixsShow;
    Row rows[kBuffers];
    int lastX = -1;
    int lastY = -1;
};
