#include "screentools/ui/screen.h"

#include "screentools/PictureScale.h"
#include "screentools/ui/MyLabel.h"
#include "screentools/ui/ScreencapViewControl.h"
#include "ui_screen.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>

namespace {

screen::DesktopGrabber &desktopGrabber()
{
    static screen::DesktopGrabber grabber;
    return grabber;
}

} // namespace

screen::screen(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::screen)
{
    ui->setupUi(this);
    // The hint lies over the frozen desktop; presses and drags go through it to the picture.
    ui->labHint->setAttribute(Qt::WA_TransparentForMouseEvents);
    QFont font = ui->labHint->font();
    font.setPointSizeF(font.pointSizeF() * 1.3);
    ui->labHint->setFont(font);
    ui->labHint->adjustSize();
}

screen::~screen()
{
    delete ui;
}

QPixmap screen::grabDesktop()
{
    // Search marks lie over pictures, never in what is cut from them: gone while the desktop is
    // grabbed, back afterwards.
    QList<MyLabel *> marked;
    for (QWidget *widget : QApplication::allWidgets()) {
        auto *label = qobject_cast<MyLabel *>(widget);
        if (label && label->isVisible() && label->hasMarks()) {
            label->setMarksShown(false);
            label->repaint();
            marked << label;
        }
    }
    QPixmap desktop;
    if (desktopGrabber()) {
        desktop = desktopGrabber()();
    } else if (QScreen *primary = QGuiApplication::primaryScreen()) {
        desktop = primary->grabWindow(0); // window 0 is the whole desktop
    }
    for (MyLabel *label : marked) {
        label->setMarksShown(true);
        label->update();
    }
    return desktop;
}

void screen::setDesktopGrabberForTesting(DesktopGrabber grabber)
{
    desktopGrabber() = std::move(grabber);
}

void screen::setDesktop(const QPixmap &desktop)
{
    freezeScaledPictures();
    ui->label->setPixmap(desktop);
    // Cover the desktop even where no window manager makes the dialog full screen.
    setGeometry(QRect(QPoint(0, 0), desktop.size() / desktop.devicePixelRatio()));
}

void screen::freezeScaledPictures()
{
    scaledPictures.clear();
    for (QWidget *widget : QApplication::allWidgets()) {
        const auto *label = qobject_cast<MyLabel *>(widget);
        if (!label || !label->isVisible() || label->positionScale() <= label->devicePixelRatioF())
            continue;
        const QRect inSight = label->visibleRegion().boundingRect();
        if (inSight.isEmpty())
            continue;
        scaledPictures.append({QRect(label->mapToGlobal(inSight.topLeft()), inSight.size()), label->mapToGlobal(QPoint(0, 0)),
                               label->positionScale(), label->shownPicture().toImage()});
    }
}

QPixmap screen::scaledPictureCut(const QRect &region) const
{
    for (const ScaledPicture &picture : scaledPictures) {
        if (picture.shown.contains(region)) {
            const QRect cut = PictureScale::pixels(region.translated(-picture.origin), picture.scale, picture.pixels.size());
            return QPixmap::fromImage(picture.pixels.copy(cut));
        }
    }
    return QPixmap();
}

ScreencapViewControl *screen::view() const
{
    return ui->label;
}

QLabel *screen::hint() const
{
    return ui->labHint;
}

void screen::placeHint()
{
    const QSize size = ui->labHint->sizeHint();
    const int left = (width() - size.width()) / 2;
    const int margin = 24;
    const QRect top(QPoint(left, margin), size);
    const ScreencapSelection &selection = ui->label->selection();
    const bool inTheWay = selection.showsBorder()
        && selection.border().intersects(top.adjusted(-margin, -margin, margin, margin));
    ui->labHint->setGeometry(inTheWay ? QRect(QPoint(left, height() - margin - size.height()), size) : top);
}

// The label covers the dialog from (0, 0) and lets mouse events through, so dialog positions
// are desktop positions.
void screen::mousePressEvent(QMouseEvent *event)
{
    ui->label->selection().press(MyLabel::roundHalfUp(event->localPos().x()), MyLabel::roundHalfUp(event->localPos().y()));
    ui->label->update();
    placeHint();
}

void screen::mouseMoveEvent(QMouseEvent *event)
{
    ui->label->selection().move(MyLabel::roundHalfUp(event->localPos().x()), MyLabel::roundHalfUp(event->localPos().y()));
    ui->label->update();
    placeHint();
}

void screen::mouseReleaseEvent(QMouseEvent *)
{
    ui->label->selection().release();
    ui->label->update();
}

void screen::mouseDoubleClickEvent(QMouseEvent *)
{
    capture();
}

void screen::capture()
{
    const ScreencapSelection &selection = ui->label->selection();
    if (!selection.hasSelection)
        return;
    const QRect inside = selection.inside();
    if (inside.isEmpty())
        return; // a line, not a rectangle: nothing inside to capture
    // Cut from a scaled picture, it has the pixels the device shows, for a search on the device.
    QPixmap result = scaledPictureCut(inside);
    if (result.isNull())
        result = ui->label->pixmap(Qt::ReturnByValue).copy(inside);
    emit signal_screencap(result, inside.x(), inside.y(), inside.width(), inside.height());
    done(0);
}

void screen::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        capture();
        break;
    case Qt::Key_Escape:
        if (ui->label->selection().escapeCloses()) {
            done(0);
        } else {
            ui->label->resetSelection();
            placeHint();
        }
        break;
    default:
        break;
    }
}

void screen::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    ui->label->resize(size());
    placeHint();
}
