#pragma once

#include "screentools/ui/ColorPickerPanel.h"
#include "screentools/ui/MyLabel.h"

#include <QImage>
#include <QStringList>

// A colour picker panel below a picture label, shown, as the two windows hold them; its texts
// and pictures found by object name.
struct PickerWindow
{
    QWidget window;
    MyLabel *picture = new MyLabel(&window);
    ColorPickerPanel *panel = new ColorPickerPanel(&window);

    explicit PickerWindow(const QImage &image, int quarterTurns = 0);
    // A new frame: image shown turned clockwise by quarter turns.
    void show(const QImage &image, int quarterTurns = 0);
    QString text(const QString &name) const;
    QPixmap shown(const QString &name) const;
    // Position, colour, red, green and blue under the pointer.
    QStringList readout() const;
    // Buffer row n: point, colour, red, green and blue.
    QStringList row(int n) const;
    // The live check of buffer row n, as rich text.
    QString check(int n) const;
};
