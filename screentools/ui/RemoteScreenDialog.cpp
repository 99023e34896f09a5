#include "screentools/ui/RemoteScreenDialog.h"

#include "device/FrameImage.h"
#include "device/PCClientControllor.h"
#include "screentools/PictureScale.h"
#include "screentools/ScreenshotStore.h"
#include "screentools/ui/ColorPickerPanel.h"
#include "screentools/ui/MyLabel.h"
#include "ui_RemoteScreenDialog.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>

namespace {

const auto kFrameSignal = &PCClientControllor::signal_obtainRemoteScreenData;

} // namespace

RemoteScreenDialog::RemoteScreenDialog(PCClientControllor &controller, QWidget *parent)
    : QMainWindow(parent)
    , controller(controller)
    , ui(new Ui::RemoteScreenDialog)
{
    ui->setupUi(this);
    scrollArea = new QScrollArea(ui->widget);
    scrollArea->setAlignment(Qt::AlignCenter);
    ui->pictureLayout->addWidget(scrollArea);
    imageLabel = new MyLabel;
    imageLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Pointer moves without a pressed button update the colour readout.
    scrollArea->setMouseTracking(true);
    imageLabel->setMouseTracking(true);
    scrollArea->setWidget(imageLabel); // owns it
    ui->colorPanel->setPicture(imageLabel);
    ui->colorPanel->addWindowGroup(ui->groupBox_2);
    ui->colorPanel->addWindowGroup(ui->groupBox_3);
    // Picture and panels share what the window gains or loses, two to one; the panels take no
    // less than they need and no more than they can use, and scroll when the window is lower
    // than they are.
    ui->splitter->setStretchFactor(0, 2);
    ui->splitter->setStretchFactor(1, 1);
    const int scrollBar = ui->panelScrollArea->verticalScrollBar()->sizeHint().width();
    ui->panelScrollArea->setMinimumWidth(ui->panelScrollContents->minimumSizeHint().width() + scrollBar);
    ui->panelScrollArea->setMaximumWidth(qMax(ui->panelScrollContents->sizeHint().width() + scrollBar,
                                              ui->panelScrollArea->minimumWidth()));
    scrollArea->setMinimumSize(kMinimumPictureArea, kMinimumPictureArea);
    // A fitted picture follows the size of its area.
    scrollArea->viewport()->installEventFilter(this);
    connect(ui->cbFitPicture, &QCheckBox::toggled, this, &RemoteScreenDialog::layOutPicture);
    connect(imageLabel, &MyLabel::signal_mouseMove, this, &RemoteScreenDialog::slot_mouseMoveInRemoteScreen);
    connect(imageLabel, &MyLabel::signal_mouseLeave, this, &RemoteScreenDialog::slot_mouseLeaveToRemoteScreen);
    connect(imageLabel, &MyLabel::signal_mousePress, this, &RemoteScreenDialog::pictureTouchPress);
    connect(imageLabel, &MyLabel::signal_mouseRelease, this, &RemoteScreenDialog::pictureTouchRelease);
    layOutPicture();
}

RemoteScreenDialog::~RemoteScreenDialog()
{
    delete ui;
}

ColorPickerPanel *RemoteScreenDialog::colorPanel() const
{
    return ui->colorPanel;
}

bool RemoteScreenDialog::initRemoteScreen(QString ip, int port)
{
    firstFrameShown = false;
    ui->bg111_2->hide();
    this->ip = ip;
    this->port = port;
    setMouseTracking(true);
    centralWidget()->setMouseTracking(true);
    ui->colorPanel->pointerLeft();
    rotation = 0;

    if (!controller.isConnected() && !controller.connectToDevice(ip, port))
        return false;

    FBInfo::registerMetaType();
    connect(&controller, kFrameSignal, this, &RemoteScreenDialog::slot_setRemoteScreen, Qt::UniqueConnection);
    connect(this, &RemoteScreenDialog::signal_touchPress, &controller, &PCClientControllor::slot_remoteTouchPress,
            Qt::UniqueConnection);
    connect(this, &RemoteScreenDialog::signal_touchRelease, &controller,
            &PCClientControllor::slot_remoteTouchRelease, Qt::UniqueConnection);
    connect(this, &RemoteScreenDialog::signal_keyPress, &controller, &PCClientControllor::slot_remoteKeyPress,
            Qt::UniqueConnection);
    connect(this, &RemoteScreenDialog::signal_keyRelease, &controller,
            &PCClientControllor::slot_remoteKeyRelease, Qt::UniqueConnection);
    controller.requestRemoteScreen();
    return true;
}

void RemoteScreenDialog::unsubscribe()
{
    disconnect(&controller, kFrameSignal, this, &RemoteScreenDialog::slot_setRemoteScreen);
    disconnect(this, &RemoteScreenDialog::signal_touchPress, &controller, &PCClientControllor::slot_remoteTouchPress);
    disconnect(this, &RemoteScreenDialog::signal_touchRelease, &controller,
               &PCClientControllor::slot_remoteTouchRelease);
    disconnect(this, &RemoteScreenDialog::signal_keyPress, &controller, &PCClientControllor::slot_remoteKeyPress);
    disconnect(this, &RemoteScreenDialog::signal_keyRelease, &controller,
               &PCClientControllor::slot_remoteKeyRelease);
}

// ---- Frames ----------------------------------------------------------------------------------

void RemoteScreenDialog::slot_setRemoteScreen(FrameBuffer &frame, FBInfo info, int mode)
{
    FrameBuffer colors = std::move(frame);
    // Exchanges red and blue in the buffer and lays the image over it.
    QImage image = FrameImage::toImage(colors.data(), info);
    fbi = info;
    screencapMode = mode;
    ui->lab_screencap_mode->setText(ScreenshotStore::modeName(mode));
    ui->labColorBits->setText(QString::number(info.bitsPerPixel));
    ui->labRR->setText(QString::asprintf("%dx%d", info.width, info.height));

    // The fourth byte of a 32-bit pixel is no transparency the device means: unless the
    // exchange set it opaque it may be 0, and as alpha it would blank the picture and make every
    // picked colour black. Same bytes, read as opaque.
    if (image.format() == QImage::Format_ARGB32)
        image.reinterpretAsFormat(QImage::Format_RGB32);
    // Drawn from the frame's own bytes, turned as it is drawn: no copy of the picture is made.
    const ShownPicture shown(image, rotation / 90);
    imageLabel->setPicture(shown);
    layOutPicture();
    if (!firstFrameShown)
        placeFirstFrame(PictureScale::shownSize(shown.size(), imageLabel->devicePixelRatioF()));
    // Kept while the picture lies over it; the last frame's buffer goes now that nothing shows it.
    shownFrame = std::move(colors);
    ui->colorPanel->pictureChanged(); // before the repaint, so that marks are this frame's
    imageLabel->repaint();
}

// One device pixel per screen pixel: on a desktop scaled by ratio the picture takes 1/ratio of
// its pixel count in widget units, and positions on it are scaled back by MyLabel. Fitted, it
// takes no more than its area, and fewer screen pixels than it has.
void RemoteScreenDialog::layOutPicture()
{
    const bool fit = ui->cbFitPicture->isChecked();
    // A fitted picture needs no scroll bars, and bars that come and go would change its area.
    const Qt::ScrollBarPolicy bars = fit ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded;
    if (scrollArea->verticalScrollBarPolicy() != bars) {
        scrollArea->setHorizontalScrollBarPolicy(bars);
        scrollArea->setVerticalScrollBarPolicy(bars);
    }
    const QSize picture = imageLabel->shownPicture().size();
    const qreal ratio = imageLabel->devicePixelRatioF();
    const qreal scale = PictureScale::of(picture, scrollArea->maximumViewportSize(), ratio, fit);
    imageLabel->setPositionScale(scale);
    // Only the size: the scroll area keeps the picture where its scroll bars put it.
    imageLabel->resize(PictureScale::shownSize(picture, scale));
    ui->labScale->setText(picture.isEmpty() ? QString()
                                            : QStringLiteral("显示比例：%1%").arg(PictureScale::percent(scale, ratio)));
}

bool RemoteScreenDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == scrollArea->viewport() && event->type() == QEvent::Resize && ui->cbFitPicture->isChecked())
        layOutPicture();
    return QMainWindow::eventFilter(watched, event);
}

// The first picture sizes the window: the picture at one device pixel per screen pixel beside
// the panels, as high as the panels or the picture need, all within the desktop and centred on it.
void RemoteScreenDialog::placeFirstFrame(const QSize &picture)
{
    const QRect available = QGuiApplication::primaryScreen()->availableVirtualGeometry();
    // Room for the frame and title bar the window system adds around the window.
    const QSize room = available.size() - QSize(16, 48);
    const int frame = 2 * scrollArea->frameWidth();
    const int scrollBar = scrollArea->verticalScrollBar()->sizeHint().width();
    const int handle = ui->splitter->handleWidth();
    const QSize panels = ui->panelScrollContents->sizeHint();
    // A little more than the panels need: their fields stay readable, the picture gets the rest.
    const int panelWidth = qMin(ui->panelScrollArea->minimumWidth() * 4 / 3, ui->panelScrollArea->maximumWidth());
    const int menu = menuBar()->sizeHint().height();
    const QSize least = minimumSizeHint();
    const int windowWidth = qMax(least.width(), qMin(room.width(), picture.width() + frame + scrollBar + handle + panelWidth));
    const int windowHeight = qMax(least.height(), qMin(room.height(), menu + qMax(panels.height(), picture.height() + frame + scrollBar)));
    resize(windowWidth, windowHeight);
    ui->splitter->setSizes({windowWidth - handle - panelWidth, panelWidth});
    const QRect placed = QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), available);
    move(placed.topLeft());
    firstFrameShown = true;
    emit signal_firstFrameShown();
}

void RemoteScreenDialog::on_pbLeftRotate_clicked()
{
    rotation -= 90;
}

void RemoteScreenDialog::on_pbRightRotate_clicked()
{
    rotation += 90;
}

// ---- Input -----------------------------------------------------------------------------------

void RemoteScreenDialog::mouseMoveEvent(QMouseEvent *) {}

// An author looking at the phone's picture must not tap the phone by accident: input goes to
// it only while remote control is on.
bool RemoteScreenDialog::remoteControlOn() const
{
    return ui->checkBox->isChecked();
}

void RemoteScreenDialog::pictureTouchPress(int x, int y)
{
    if (!remoteControlOn())
        return;
    touchDown = true;
    emit signal_touchPress(x, y);
}

// The release of a touch that went down is sent even once remote control is off: the device
// would otherwise hold the finger down.
void RemoteScreenDialog::pictureTouchRelease(int x, int y)
{
    if (!touchDown)
        return;
    touchDown = false;
    emit signal_touchRelease(x, y);
}

void RemoteScreenDialog::keyPressEvent(QKeyEvent *event)
{
    ui->colorPanel->endSearch(); // the key goes to the device all the same
    if (!remoteControlOn())
        return;
    pressedKeys.insert(event->key());
    emit signal_keyPress(event->key());
}

// A release whose press went to a shortcut (Ctrl+1 and the like), or came while remote control
// was off, never reached the device: releasing it there would be a key going up that never
// went down.
void RemoteScreenDialog::keyReleaseEvent(QKeyEvent *event)
{
    if (!pressedKeys.contains(event->key()))
        return;
    if (!event->isAutoRepeat())
        pressedKeys.remove(event->key());
    emit signal_keyRelease(event->key());
}

void RemoteScreenDialog::contextMenuEvent(QContextMenuEvent *event)
{
    ui->colorPanel->setPositionText(QString::asprintf("(%d,%d)", event->pos().x(), event->pos().y()));
}

void RemoteScreenDialog::closeEvent(QCloseEvent *event)
{
    unsubscribe();
    controller.stopRemoteScreen();
    event->accept();
}

// ---- Colour picker ---------------------------------------------------------------------------

void RemoteScreenDialog::slot_mouseMoveInRemoteScreen(int x, int y)
{
    ui->colorPanel->pointerMoved(x, y);
}

void RemoteScreenDialog::slot_mouseLeaveToRemoteScreen()
{
    ui->colorPanel->pointerLeft();
}

void RemoteScreenDialog::on_action_save_color1_triggered()
{
    ui->colorPanel->saveColor(1);
}

void RemoteScreenDialog::on_action_save_color2_triggered()
{
    ui->colorPanel->saveColor(2);
}

void RemoteScreenDialog::on_action_save_color3_triggered()
{
    ui->colorPanel->saveColor(3);
}

void RemoteScreenDialog::on_action_save_color4_triggered()
{
    ui->colorPanel->saveColor(4);
}

void RemoteScreenDialog::on_action_save_color5_triggered()
{
    ui->colorPanel->saveColor(5);
}

void RemoteScreenDialog::on_action_save_color6_triggered()
{
    ui->colorPanel->saveColor(6);
}

void RemoteScreenDialog::on_action_clean_color_buf_triggered()
{
    ui->colorPanel->clearColorBuffers();
}

// ---- Screenshots -----------------------------------------------------------------------------

void RemoteScreenDialog::on_rect_screencap_action_triggered()
{
    emit signal_rectScreencap();
}

void RemoteScreenDialog::on_action_full_screencap_triggered()
{
    // The picture as shown: turned, one device pixel per pixel.
    const QPixmap shown = QPixmap::fromImage(imageLabel->shownPicture().toImage());
    emit signal_fullScreencap(shown, 0, 0, shown.width(), shown.height());
}

void RemoteScreenDialog::slot_screencap_rect(int x1, int y1, int x2, int y2)
{
    ui->leScreencapRect->setText(QString::asprintf("%d,%d,%d,%d", x1, y1, x2, y2));
}
