// The colour readout, the magnifier and the six colour buffers, and the picture label they read.
#include "screentools/ColorPicker.h"
#include "screentools/PictureScale.h"
#include "screentools/ui/ColorPickerPanel.h"
#include "screentools/ui/MyLabel.h"
#include "support/PickerWindow.h"
#include "support/TestPictures.h"

#include <QPainter>
#include <QSignalSpy>
#include <QtTest>

namespace {

QRgb pixelOf(const QPixmap &pixmap)
{
    return pixmap.toImage().pixel(0, 0);
}

// The coded picture, upright.
ShownPicture coded(int width, int height)
{
    return ShownPicture(TestPictures::codedPixmap(width, height).toImage(), 0);
}

const QRgb kCross = 0xFF00A2E8; // kCrossColor as it shows on the opaque square

} // namespace

class TestColorPicker : public QObject
{
    Q_OBJECT

private slots:
    void readout_data();
    void readout();
    void magnifier_data();
    void magnifier();
    void bufferRow_data();
    void bufferRow();
    void turnedPicture_data();
    void turnedPicture();
    void leavingAndColourBuffers();
    void labelSignals_data();
    void labelSignals();
    void pictureScale_data();
    void pictureScale();
};

void TestColorPicker::readout_data()
{
    QTest::addColumn<QRgb>("pixel");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("0x123456") << QRgb(0xFF123456) << QStringList{"7,9", "0x123456", "18", "52", "86"};
    QTest::newRow("black") << QRgb(0xFF000000) << QStringList{"7,9", "0x000000", "0", "0", "0"};
    QTest::newRow("upper-case hex") << QRgb(0xFFABCDEF) << QStringList{"7,9", "0xABCDEF", "171", "205", "239"};
}

void TestColorPicker::readout()
{
    QFETCH(QRgb, pixel);
    QFETCH(QStringList, texts);
    QImage image(20, 20, QImage::Format_RGB32);
    image.fill(Qt::white);
    image.setPixel(7, 9, pixel);
    const ColorPicker::Readout r = ColorPicker::readout(ShownPicture(image, 0), 7, 9);
    QCOMPARE((QStringList{r.texts.position, r.texts.color, r.texts.red, r.texts.green, r.texts.blue}), texts);
    QCOMPARE(r.swatch.size(), QSize(1, 1));
    QCOMPARE(r.swatch.pixel(0, 0), pixel);
    QCOMPARE(r.magnifier.size(), QSize(120, 120));
}

void TestColorPicker::magnifier_data()
{
    QTest::addColumn<QPoint>("pointer"); // on a 100 x 80 picture
    QTest::addColumn<QPoint>("origin");  // of the 11 x 11 square
    QTest::addColumn<QPoint>("cross");   // the square's column and row of the pointer; -1: none
    QTest::newRow("near the left") << QPoint(3, 50) << QPoint(0, 45) << QPoint(3, 5);
    QTest::newRow("near the top") << QPoint(30, 2) << QPoint(25, 0) << QPoint(5, 2);
    QTest::newRow("corner") << QPoint(0, 0) << QPoint(0, 0) << QPoint(0, 0);
    QTest::newRow("(5, 5)") << QPoint(5, 5) << QPoint(0, 0) << QPoint(5, 5);
    QTest::newRow("middle") << QPoint(60, 70) << QPoint(55, 65) << QPoint(5, 5);
    QTest::newRow("last pixel") << QPoint(99, 79) << QPoint(94, 74) << QPoint(5, 5);
    QTest::newRow("right of it") << QPoint(130, 20) << QPoint(125, 15) << QPoint(5, 5);
    QTest::newRow("below it") << QPoint(20, 85) << QPoint(15, 80) << QPoint(5, 5);
    QTest::newRow("left of it") << QPoint(-3, 20) << QPoint(0, 15) << QPoint(-1, 5);
    QTest::newRow("above it") << QPoint(20, -1) << QPoint(15, 0) << QPoint(5, -1);
}

// The square around the pointer with its cross, never read outside the picture, and the
// magnifier that stretches it cell by cell.
void TestColorPicker::magnifier()
{
    QFETCH(QPoint, pointer);
    QFETCH(QPoint, origin);
    QFETCH(QPoint, cross);
    const ShownPicture picture = coded(100, 80);
    const bool on = picture.rect().contains(pointer);
    const ColorPicker::Readout r = ColorPicker::readout(picture, pointer.x(), pointer.y());
    const QString none = QStringLiteral("(无)");
    QCOMPARE(r.texts.position, QString::asprintf("%d,%d", pointer.x(), pointer.y()));
    QCOMPARE(r.texts.color, on ? ColorPicker::colorText(TestPictures::coded(pointer.x(), pointer.y())) : none);
    QCOMPARE(r.swatch.isNull(), !on);
    if (!on)
        QCOMPARE(QStringList({r.texts.red, r.texts.green, r.texts.blue}), QStringList({none, none, none}));

    const QImage square = ColorPicker::magnifierSquare(picture, pointer.x(), pointer.y());
    QCOMPARE(square.size(), QSize(11, 11));
    QCOMPARE(r.magnifier.size(), QSize(120, 120));
    const auto middle = [](int cell) { return int((cell + 0.5) * 120 / 11); };
    for (int j = 0; j < 11; ++j) {
        for (int i = 0; i < 11; ++i) {
            const QPoint at = origin + QPoint(i, j);
            const QRgb expected = (i == cross.x() || j == cross.y()) ? kCross
                : picture.rect().contains(at)                      ? TestPictures::coded(at.x(), at.y())
                                                                   : ColorPicker::kOutsideColor;
            if (square.pixel(i, j) != expected || r.magnifier.pixel(middle(i), middle(j)) != expected)
                QFAIL(qPrintable(QStringLiteral("cell %1,%2 is %3").arg(i).arg(j).arg(square.pixel(i, j), 8, 16)));
        }
    }
}

void TestColorPicker::bufferRow_data()
{
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<bool>("filled");
    QTest::newRow("inside") << QPoint(10, 12) << true;
    QTest::newRow("last pixel") << QPoint(99, 79) << true;
    QTest::newRow("never moved") << QPoint(-1, -1) << false;
    QTest::newRow("column 0") << QPoint(0, 12) << false;
    QTest::newRow("row 0") << QPoint(10, 0) << false;
    QTest::newRow("right of picture") << QPoint(100, 12) << false;
    QTest::newRow("below picture") << QPoint(10, 80) << false;
}

void TestColorPicker::bufferRow()
{
    QFETCH(QPoint, at);
    QFETCH(bool, filled);
    const ColorPicker::BufferRow row = ColorPicker::bufferRow(coded(100, 80), at.x(), at.y());
    if (!filled) {
        QCOMPARE(row.texts, ColorPicker::Texts());
        QVERIFY(row.swatch.isNull());
        return;
    }
    const QRgb value = TestPictures::coded(at.x(), at.y());
    QCOMPARE((QStringList{row.texts.position, row.texts.color, row.texts.red, row.texts.green, row.texts.blue}),
             (QStringList{QString::asprintf("%d,%d", at.x(), at.y()), QString::asprintf("0x%06X", value & 0xFFFFFF),
                          QString::number(qRed(value)), QString::number(qGreen(value)), QString::number(qBlue(value))}));
    QCOMPARE(row.swatch.pixel(0, 0), value);
}

void TestColorPicker::turnedPicture_data()
{
    QTest::addColumn<int>("quarterTurns");
    for (const int turns : {0, 1, 2, 3, -1, -2, -3, 5, 6})
        QTest::addRow("%d", turns) << turns;
}

// Read without turning the whole picture, but the same as a picture turned pixel by pixel;
// positions in the readout and the buffers are where the device has the pixel.
void TestColorPicker::turnedPicture()
{
    QFETCH(int, quarterTurns);
    const QImage image = TestPictures::codedPixmap(7, 5).toImage();
    const QImage turned = TestPictures::turnedClockwise(image, quarterTurns);
    const ShownPicture picture(image, quarterTurns);
    QCOMPARE(picture.size(), turned.size());
    QCOMPARE(picture.toImage().convertToFormat(QImage::Format_RGB32), turned);
    QCOMPARE(picture.copy(QRect(1, 2, 3, 2)).convertToFormat(QImage::Format_RGB32), turned.copy(1, 2, 3, 2));
    QCOMPARE(picture.copy(QRect(3, 3, 9, 9)).convertToFormat(QImage::Format_RGB32),
             turned.copy(QRect(3, 3, 9, 9).intersected(turned.rect())));
    // Drawn through its transform, it is the turned picture too.
    QImage drawn(turned.size(), QImage::Format_RGB32);
    QPainter painter(&drawn);
    painter.setTransform(picture.transform());
    painter.drawImage(0, 0, image);
    painter.end();
    QCOMPARE(drawn, turned);
    const QPoint shown(turned.width() - 2, 1);
    const ColorPicker::Readout readout = ColorPicker::readout(picture, shown.x(), shown.y());
    QCOMPARE(readout.texts.color, ColorPicker::colorText(turned.pixel(shown)));
    // Each pixel of the coded picture tells where it lies on the device.
    const QRgb code = turned.pixel(shown);
    const QString device = QStringLiteral("%1,%2").arg((code >> 12) & 0xFFF).arg(code & 0xFFF);
    QCOMPARE(readout.texts.position, device);
    const ColorPicker::BufferRow row = ColorPicker::bufferRow(picture, shown.x(), shown.y());
    QCOMPARE(row.texts.position, device);
    QCOMPARE(row.point->position, QPoint((code >> 12) & 0xFFF, code & 0xFFF));
}

// Leaving the picture keeps swatch, magnifier and last position. Six rows filled and emptied;
// a row is read from the picture as it is when saved, and only from a position on it; numbers
// other than 1 to 6 change nothing.
void TestColorPicker::leavingAndColourBuffers()
{
    PickerWindow form(TestPictures::codedPixmap(100, 80).toImage());
    ColorPickerPanel &panel = *form.panel;
    panel.pointerMoved(12, 34);
    QCOMPARE(pixelOf(form.shown("labColorShow")), TestPictures::coded(12, 34));
    const QImage magnifier = form.shown("labRectPixsShow").toImage();
    QCOMPARE(magnifier.size(), QSize(120, 120));
    panel.pointerLeft();
    QCOMPARE(form.readout(), (QStringList{"(脱离远程屏幕)", "(无)", "(无)", "(无)", "(无)"}));
    QCOMPARE(pixelOf(form.shown("labColorShow")), TestPictures::coded(12, 34));
    QCOMPARE(form.shown("labRectPixsShow").toImage(), magnifier);
    QCOMPARE(QPoint(panel.lastPointerX(), panel.lastPointerY()), QPoint(12, 34));
    panel.saveColor(2); // after leaving: the pixel at the last position
    QCOMPARE(form.text("leBufPoint2"), QStringLiteral("12,34"));
    QCOMPARE(pixelOf(form.shown("labBufColorShow2")), TestPictures::coded(12, 34));

    for (int n = 1; n <= 6; ++n) {
        panel.pointerMoved(n * 10, n * 5);
        panel.saveColor(n);
        QCOMPARE(form.row(n).first(), QString::asprintf("%d,%d", n * 10, n * 5));
        QVERIFY(!form.shown("labBufColorShow" + QString::number(n)).isNull());
    }
    const QStringList first = form.row(1);
    panel.setColorBuffer(5, 6, 0);
    panel.setColorBuffer(5, 6, 7);
    QCOMPARE(form.row(1), first);

    panel.pointerMoved(10, 10);
    QImage next(100, 80, QImage::Format_RGB32);
    next.fill(QColor(0x12, 0x34, 0x56));
    form.show(next); // a new frame arrives
    panel.saveColor(4);
    QCOMPARE(form.row(4), (QStringList{"10,10", "0x123456", "18", "52", "86"}));
    panel.pointerMoved(150, 30); // dragged off the picture
    panel.saveColor(3);
    QCOMPARE(form.row(3), QStringList({"", "", "", "", ""}));
    QVERIFY(form.shown("labBufColorShow3").isNull());

    panel.clearColorBuffers();
    for (int n = 1; n <= 6; ++n) {
        QCOMPARE(form.row(n), QStringList({"", "", "", "", ""}));
        QVERIFY(form.shown("labBufColorShow" + QString::number(n)).isNull());
    }
}

void TestColorPicker::labelSignals_data()
{
    QTest::addColumn<QPointF>("local");
    QTest::addColumn<QPoint>("reported");
    QTest::newRow("(10.5, 20.4)") << QPointF(10.5, 20.4) << QPoint(11, 20);
    QTest::newRow("just below a half") << QPointF(0.49, 7.0) << QPoint(0, 7);
    QTest::newRow("negative half") << QPointF(-0.5, -0.6) << QPoint(0, -1);
}

void TestColorPicker::labelSignals()
{
    QFETCH(QPointF, local);
    QFETCH(QPoint, reported);
    MyLabel label;
    label.setMouseTracking(true); // as both windows set it: moves without a button are reported
    QSignalSpy press(&label, &MyLabel::signal_mousePress);
    QSignalSpy release(&label, &MyLabel::signal_mouseRelease);
    QSignalSpy move(&label, &MyLabel::signal_mouseMove);
    QMouseEvent p(QEvent::MouseButtonPress, local, Qt::RightButton, Qt::RightButton, Qt::NoModifier);
    QMouseEvent m(QEvent::MouseMove, local, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QMouseEvent r(QEvent::MouseButtonRelease, local, Qt::RightButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&label, &p);
    QApplication::sendEvent(&label, &m);
    QApplication::sendEvent(&label, &r);
    for (QSignalSpy *spy : {&press, &move, &release}) {
        QVERIFY2(spy->count() == 1, spy->signal().constData());
        QCOMPARE(QPoint(spy->at(0).at(0).toInt(), spy->at(0).at(1).toInt()), reported);
    }
    QSignalSpy leave(&label, &MyLabel::signal_mouseLeave);
    QEvent leaveEvent(QEvent::Leave);
    QApplication::sendEvent(&label, &leaveEvent);
    QCOMPARE(leave.count(), 1);
    // Keys pass on to the window that holds the picture.
    QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QApplication::sendEvent(&label, &key);
    QVERIFY(!key.isAccepted());
}

void TestColorPicker::pictureScale_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QSize>("area");
    QTest::addColumn<qreal>("ratio");
    QTest::addColumn<bool>("fit");
    QTest::addColumn<QSize>("shown");
    QTest::addColumn<QRect>("units"); // on the picture as shown
    QTest::addColumn<QRect>("pixels"); // that they cover
    QTest::newRow("not fitted") << QSize(720, 1280) << QSize(300, 400) << 1.0 << false << QSize(720, 1280)
                                << QRect(10, 10, 5, 5) << QRect(10, 10, 5, 5);
    QTest::newRow("half the width") << QSize(720, 1280) << QSize(360, 1280) << 1.0 << true << QSize(360, 640)
                                    << QRect(10, 10, 5, 5) << QRect(20, 20, 10, 10);
    QTest::newRow("half the height") << QSize(720, 1280) << QSize(720, 640) << 1.0 << true << QSize(360, 640)
                                     << QRect(359, 639, 1, 1) << QRect(718, 1278, 2, 2);
    QTest::newRow("fits already: not blown up") << QSize(36, 64) << QSize(300, 400) << 1.0 << true << QSize(36, 64)
                                                << QRect(0, 0, 36, 64) << QRect(0, 0, 36, 64);
    QTest::newRow("scaled desktop, fits") << QSize(720, 1280) << QSize(720, 1280) << 2.0 << true << QSize(360, 640)
                                          << QRect(1, 1, 1, 1) << QRect(2, 2, 2, 2);
    // 2400 / 700 is no exact fraction: the picture still takes 700 units, not 701.
    QTest::newRow("uneven") << QSize(1080, 2400) << QSize(500, 700) << 1.0 << true << QSize(315, 700)
                            << QRect(1, 1, 2, 2) << QRect(3, 3, 8, 8);
    QTest::newRow("beyond the picture") << QSize(100, 80) << QSize(50, 40) << 1.0 << true << QSize(50, 40)
                                        << QRect(45, 35, 20, 20) << QRect(90, 70, 10, 10);
    QTest::newRow("empty area") << QSize(100, 80) << QSize() << 1.0 << true << QSize(100, 80)
                                << QRect(1, 2, 3, 4) << QRect(1, 2, 3, 4);
}

// A picture fitted into its area: its size in window units and the pixels that units cover.
void TestColorPicker::pictureScale()
{
    QFETCH(QSize, picture);
    QFETCH(QSize, area);
    QFETCH(qreal, ratio);
    QFETCH(bool, fit);
    QFETCH(QSize, shown);
    QFETCH(QRect, units);
    QFETCH(QRect, pixels);
    const qreal scale = PictureScale::of(picture, area, ratio, fit);
    QCOMPARE(PictureScale::shownSize(picture, scale), shown);
    QCOMPARE(PictureScale::pixels(units, scale, picture), pixels);
}

QTEST_MAIN(TestColorPicker)
#include "tst_colorpicker.moc"
