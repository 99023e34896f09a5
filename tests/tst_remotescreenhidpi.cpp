// The remote screen window on a desktop scaled by 2: still one device pixel per screen pixel,
// and positions on the picture in device pixels.
#include "device/PCClientControllor.h"
#include "screentools/ui/MyLabel.h"
#include "screentools/ui/RemoteScreenDialog.h"
#include "simulator/SimFrameEncoder.h"
#include "support/TestPictures.h"
#include "ui_ColorPickerPanel.h"
#include "ui_RemoteScreenDialog.h"

#include <QScreen>
#include <QSignalSpy>
#include <QtTest>

class TestRemoteScreenHiDpi : public QObject
{
    Q_OBJECT

public:
    static void initMain() { qputenv("QT_SCALE_FACTOR", "2"); }

private slots:
    void onePixelPerScreenPixel();
};

void TestRemoteScreenHiDpi::onePixelPerScreenPixel()
{
    const QImage picture = TestPictures::codedPixmap(40, 30).toImage().convertToFormat(QImage::Format_RGB32);
    PCClientControllor controller;
    RemoteScreenDialog window(controller);
    QCOMPARE(window.devicePixelRatioF(), 2.0);
    FBInfo info;
    FrameBuffer buffer = SimFrameEncoder::frame(picture, 32, &info);
    window.slot_setRemoteScreen(buffer, info, 1);

    // 40 x 30 device pixels take 20 x 15 units, and the screen shows each pixel once.
    MyLabel *label = window.picture();
    QCOMPARE(label->size(), QSize(20, 15));
    // Asked to fit, a picture that fits already is not blown up into blurry screen pixels.
    window.form()->cbFitPicture->click();
    QCOMPARE(label->size(), QSize(20, 15));
    QCOMPARE(label->positionScale(), 2.0);
    QImage onScreen = label->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(onScreen.size(), QSize(40, 30));
    onScreen.setDevicePixelRatio(1); // compared pixel for pixel
    QCOMPARE(onScreen, picture);

    // Positions are device pixels: half a unit is a pixel.
    QSignalSpy pressed(label, &MyLabel::signal_mousePress);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5.25, 7.5), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(label, &press);
    QCOMPARE(pressed.count(), 1);
    QCOMPARE((QList<int>{pressed.at(0).at(0).toInt(), pressed.at(0).at(1).toInt()}), (QList<int>{11, 15}));
    QMouseEvent move(QEvent::MouseMove, QPointF(10, 5), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(label, &move);
    QCOMPARE(window.colorPanel()->form()->lePos->text(), QStringLiteral("20,10"));
    QCOMPARE(window.colorPanel()->form()->leColor->text(), QString::asprintf("0x%06X", TestPictures::coded(20, 10) & 0xFFFFFF));

    // The full capture is the picture's own pixels.
    QList<int> region;
    QImage captured;
    connect(&window, &RemoteScreenDialog::signal_fullScreencap, this,
            [&](const QPixmap &pixmap, int x1, int y1, int x2, int y2) {
                region = {x1, y1, x2, y2};
                captured = pixmap.toImage().convertToFormat(QImage::Format_RGB32);
                captured.setDevicePixelRatio(1);
            });
    window.form()->action_full_screencap->trigger();
    QCOMPARE(region, (QList<int>{0, 0, 40, 30}));
    QCOMPARE(captured, picture);
}

QTEST_MAIN(TestRemoteScreenHiDpi)
#include "tst_remotescreenhidpi.moc"
