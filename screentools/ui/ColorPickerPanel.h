#pragma once

#include <QWidget>

#include <array>

class MyLabel;
class QLabel;
class QLineEdit;

namespace Ui {
class ColorPickerPanel;
}

// The colour picker of a window that shows a picture: the readout of the pixel under the
// pointer (position, colour, components, swatch, magnifier) and the six colour buffers. The
// window's own information groups sit between the two.
class ColorPickerPanel : public QWidget
{
    Q_OBJECT
    // Set by the windows' forms.
    Q_PROPERTY(QString readoutTitle READ readoutTitle WRITE setReadoutTitle)
    Q_PROPERTY(bool shortcutHintShown READ isShortcutHintShown WRITE setShortcutHintShown)

public:
    static constexpr int kBuffers = 6;

    explicit ColorPickerPanel(QWidget *parent = nullptr);
    ~ColorPickerPanel() override;

    // The label whose picture the readout and the buffers read, as drawn.
    void setPicture(MyLabel *picture);
    // A group of the window's own, shown below the readout and above the colour buffers, after
    // those added before it.
    void addWindowGroup(QWidget *group);

    QString readoutTitle() const;
    void setReadoutTitle(const QString &title);
    // The line under the buffers that names the pick and clear shortcuts.
    bool isShortcutHintShown() const;
    void setShortcutHintShown(bool shown);

    // The pointer moved to (x, y) of the picture; swapPosition shows the position as (y, x).
    void pointerMoved(int x, int y, bool swapPosition = false);
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

    // The last position reported by a pointer move; -1, -1 before the first.
    int lastPointerX() const { return lastX; }
    int lastPointerY() const { return lastY; }

    Ui::ColorPickerPanel *form() const { return ui; }

private:
    struct Row
    {
        std::array<QLineEdit *, 5> texts; // position, colour, red, green, blue
        QLabel *swatch;
    };

    Ui::ColorPickerPanel *ui;
    std::array<Row, kBuffers> rows;
    MyLabel *picture = nullptr;
    int lastX = -1;
    int lastY = -1;
};
