#pragma once

#include <QDialog>
#include <QImage>
#include <QPixmap>
#include <QVector>

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
    // The frozen picture to draw on; captures are cut from it. A picture shown smaller than it
    // is (a fitted remote screen) is frozen with it at its own size: a capture that lies on it
    // is cut from its pixels, as the device has them.
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
    // A picture shown at fewer screen pixels than it has, as it was when the desktop froze.
    struct ScaledPicture
    {
        QRect shown;  // the part of it in sight, in desktop units
        QPoint origin; // its top left corner, in desktop units
        qreal scale;  // its pixels per unit
        QImage pixels;
    };

    void freezeScaledPictures();
    // The pixels of region from a scaled picture that holds all of it; null when none does.
    QPixmap scaledPictureCut(const QRect &region) const;
    void capture();
    // Top centre, or bottom centre while the rectangle is near the top one.
    void placeHint();

    Ui::screen *ui;
    QVector<ScaledPicture> scaledPictures;
};
