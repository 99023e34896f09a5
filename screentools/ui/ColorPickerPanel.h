#pragma once

#include "screentools/ColorCode.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <array>
#include <optional>

class ColorCodePanel;
class MyLabel;
class ShownPicture;
class QLabel;
class QLineEdit;

namespace Ui {
class ColorPickerPanel;
}

// The colour picker of a window that shows a picture: the readout of the pixel under the
// pointer (position, colour, components, swatch, magnifier), the six colour buffers with the
// check of each against the picture as it is now, and the code made of them. The window's own
// information groups sit between the readout and the buffers.
class ColorPickerPanel : public QWidget
{
    Q_OBJECT
    // Set by the windows' forms.
    Q_PROPERTY(QString readoutTitle READ readoutTitle WRITE setReadoutTitle)
    Q_PROPERTY(bool shortcutHintShown READ isShortcutHintShown WRITE setShortcutHintShown)

public:
    static constexpr int kBuffers = 6;
    // The live check of the buffers is shown at most this often, in ms.
    static constexpr int kCheckInterval = 100;

    explicit ColorPickerPanel(QWidget *parent = nullptr);
    ~ColorPickerPanel() override;

    // The label whose picture the readout and the buffers read, as drawn.
    void setPicture(MyLabel *picture);
    ColorCodePanel *codePanel() const;
    // A group of the window's own, shown below the readout and above the colour buffers, after
    // those added before it.
    void addWindowGroup(QWidget *group);

    QString readoutTitle() const;
    void setReadoutTitle(const QString &title);
    // The line under the buffers that names the pick and clear shortcuts.
    bool isShortcutHintShown() const;
    void setShortcutHintShown(bool shown);

    // The pointer moved to (x, y) of the picture as shown.
    void pointerMoved(int x, int y);
    // The pointer left the picture: texts only; swatch, magnifier and last position stay.
    void pointerLeft();
    // Any text in the position field, e.g. where a context menu was asked for.
    void setPositionText(const QString &text);
    // Buffer n (1 … 6) from picture position (x, y), cleared when (x, y) is no position;
    // any other n changes nothing.
    void setColorBuffer(int x, int y, int n);
    // Buffer n from the last pointer position, read again from the picture as it is now.
    void saveColor(int n) { setColorBuffer(lastX, lastY, n); }
    void clearColorBuffers();

    // The filled buffer rows, in row order, at their device positions.
    QVector<ColorPoint> bufferPoints() const;
    // The picture shows something new (a frame, a file): the buffers' check, the code's screen
    // size and a running search follow it.
    void pictureChanged();
    // Asks for a region on the picture, then marks every pixel of the first buffered colour
    // in it on each picture until endSearch.
    void findInPicture();
    // The marks go, and a region not yet dragged is no longer asked for.
    void endSearch();

    // The last position reported by a pointer move; -1, -1 before the first.
    int lastPointerX() const { return lastX; }
    int lastPointerY() const { return lastY; }

    Ui::ColorPickerPanel *form() const { return ui; }

public slots:
    // A rectangle screenshot was saved: its path in the project and its region on the desktop.
    // The code offered for it searches where it was cut when that was on this picture.
    void slot_screencapSaved(const QString &relativePath, const QRect &desktopRegion);

signals:
    // Code for the current script, or for the clipboard.
    void signal_insertText(const QString &text);
    void signal_copyText(const QString &text);

private:
    struct Row
    {
        std::array<QLineEdit *, 5> texts; // position, colour, red, green, blue
        QLabel *swatch;
        QLabel *check;
    };
    // The first buffered colour, looked for in a region of the device's screen (all of it
    // when empty).
    struct Search
    {
        QRgb color = 0;
        QRect region;
    };

    void scheduleCheck();
    void checkPoints();
    void searchRegion(const QRect &shownRegion);
    void runSearch(const ShownPicture &shown);

    Ui::ColorPickerPanel *ui;
    std::array<Row, kBuffers> rows;
    std::array<std::optional<ColorPoint>, kBuffers> points;
    MyLabel *picture = nullptr;
    int lastX = -1;
    int lastY = -1;
    int deviation = 16;
    QElapsedTimer lastCheck;
    QTimer checkTimer;
    std::optional<Search> search;
};
