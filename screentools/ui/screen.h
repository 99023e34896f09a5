#pragma once

#include <QDialog>
#include <QPixmap>

#include <functional>

class QLabel;
class ScreencapViewControl;

namespace Ui {
class screen;
}

// The rectangle screenshot: the desktop frozen full screen, a rectangle dragged over it with
// any mouse button, a double click or Enter capturing the inside of the rectangle. Escape
// removes a drawn rectangle, or closes the dialog when there is none. A hint line says so; it
// keeps out of the rectangle's way and is never captured.
class screen : public QDialog
{
    Q_OBJECT

public:
    explicit screen(QWidget *parent = nullptr);
    ~screen() override;

    // The whole desktop as it is now.
    static QPixmap grabDesktop();
    // Tests give the desktop picture themselves; an empty function restores the real grab.
    using DesktopGrabber = std::function<QPixmap()>;
    static void setDesktopGrabberForTesting(DesktopGrabber grabber);
    // The frozen picture to draw on; captures are cut from it.
    void setDesktop(const QPixmap &desktop);
    ScreencapViewControl *view() const;
    QLabel *hint() const;

signals:
    // The captured pixels and their region: left, top, width, height in desktop pixels.
    void signal_screencap(const QPixmap &result, int x1, int y1, int x2, int y2);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void capture();
    // Top centre, or bottom centre while the rectangle is near the top one.
    void placeHint();

    Ui::screen *ui;
};
