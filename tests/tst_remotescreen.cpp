// The remote screen window, the connect dialog, the connection manager and the remote import,
// end to end with the simulated device over loopback.
#include "app/ui/ProjectManagerWindow.h"
#include "editor/ui/ScriptEditor.h"
#include "editor/ui/ScriptTabs.h"
#include "common/ui/LogView.h"
#include "device/ui/ConnectionManagerDialog.h"
#include "app/ui/DeviceSession.h"
#include "device/PCClientControllor.h"
#include "device/ui/RemoteConnectInfoInputDialog.h"
#include "device/ScriptImport.h"
#include "device/ui/ScriptRemoteImportDialog.h"
#include "screentools/ScreenshotStore.h"
#include "screentools/ui/ColorCodePanel.h"
#include "screentools/ui/MyLabel.h"
#include "screentools/ui/RemoteScreenDialog.h"
#include "screentools/ui/screen.h"
#include "simulator/SimFrameEncoder.h"
#include "support/BuildRun.h"
#include "support/AdbOnPath.h"
#include "support/DeviceKey.h"
#include "support/ModalAnswerer.h"
#include "support/ScreencapDriver.h"
#include "support/SimulatorRun.h"
#include "support/TestPictures.h"
#include "support/TestWorkspace.h"
#include "ui_ColorPickerPanel.h"
#include "ui_ConnectionManagerDialog.h"
#include "ui_ProjectManagerWindow.h"
#include "ui_RemoteConnectInfoInputDialog.h"
#include "ui_RemoteScreenDialog.h"
#include "ui_ScriptRemoteImportDialog.h"

#include <QDir>
#include <QScreen>
#include <QScrollArea>
#include <QSignalSpy>
#include <QtTest>

#include <cstring>
#include <memory>
#include <vector>

namespace {

QImage shown(const RemoteScreenDialog &window)
{
    return window.picture()->shownPicture().toImage().convertToFormat(QImage::Format_RGB32);
}

// The picture as a frame of the given depth shows it (16 bits lose colour bits).
QImage asShown(const QImage &picture, int depth)
{
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    return depth == 16 ? rgb.convertToFormat(QImage::Format_RGB16).convertToFormat(QImage::Format_RGB32) : rgb;
}

void showFrame(RemoteScreenDialog &window, const QImage &picture, int depth = 32, int mode = 1)
{
    FBInfo info;
    FrameBuffer buffer = SimFrameEncoder::frame(picture, depth, &info);
    window.slot_setRemoteScreen(buffer, info, mode);
}

// The simulated device showing the picture, saved into the workspace.
SimOptions pictureOptions(const TestWorkspace &ws, const QImage &picture, int depth, int mode)
{
    SimOptions options = SimulatorRun::options();
    options.imagePath = ws.absolute(QStringLiteral("screen.png"));
    if (!picture.save(options.imagePath))
        qFatal("cannot save the test picture");
    options.depth = depth;
    options.screencapMode = mode;
    options.fps = 100;
    return options;
}

void mouse(QWidget *widget, QEvent::Type type, QPointF at, Qt::MouseButtons buttons = Qt::LeftButton)
{
    QMouseEvent event(type, at, Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

void key(QWidget *widget, QEvent::Type type, int k, bool autoRepeat = false)
{
    QKeyEvent event(type, k, Qt::NoModifier, QString(), autoRepeat);
    QApplication::sendEvent(widget, &event);
}

QStringList touches(const SimulatorRun &sim)
{
    QStringList found;
    for (const QString &line : sim.events) {
        if (line.startsWith(QStringLiteral("touch ")) || line.startsWith(QStringLiteral("key ")))
            found << line;
    }
    return found;
}

const QString kConnected = QStringLiteral("连接成功，开启远程屏幕！");

// What the connect dialog did when the author filled it in and pressed "连接".
struct ConnectAttempt
{
    QString boxText;
    bool stayedOpen = false;
    bool shownUnderTheBox = false; // the remote screen window, while the notice was up
};

// Opens the connect dialog from the main window's menu, fills in address and port and presses
// "连接". A start that fails leaves the dialog open; it is then cancelled.
ConnectAttempt connectFrom(ProjectManagerWindow &main, const QString &address, const QString &port)
{
    ConnectAttempt attempt;
    ModalAnswerer::whenDialog<RemoteConnectInfoInputDialog>([&attempt, &main, address, port](RemoteConnectInfoInputDialog *d) {
        d->form()->leIP->setText(address);
        d->form()->lePort->setText(port);
        QTimer::singleShot(15000, d, &QDialog::reject); // a window that never gets a frame must not hang the test
        // The success notice is answered once the first frame is there: the window waits for it.
        const auto made = [&main] { return main.device().lastRemoteScreenDialog(); };
        ModalAnswerer::whenModal(
            [made](QWidget *w) {
                auto *box = qobject_cast<QMessageBox *>(w);
                return box && (box->text() != kConnected || (made() && made()->isFirstFrameShown()));
            },
            [&attempt, made](QWidget *w) {
                auto *box = static_cast<QMessageBox *>(w);
                attempt.boxText = box->text();
                attempt.shownUnderTheBox = made() && made()->isVisible();
                box->button(QMessageBox::Ok)->click();
            },
            15000);
        d->form()->pbConnect->click();
        if (attempt.boxText != kConnected) {
            attempt.stayedOpen = d->isVisible();
            d->form()->pbCancel->click();
        }
    });
    main.form()->remote_screen_action->trigger();
    return attempt;
}

} // namespace

class TestRemoteScreen : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    // The window.
    void connectDialogShowsOneWindowAtATime();
    void frameLabelsAndPicture_data();
    void frameLabelsAndPicture();
    void pictureSurvivesItsBuffer_data();
    void pictureSurvivesItsBuffer();
    void fourthByteIsNoAlpha_data();
    void fourthByteIsNoAlpha();
    void firstFrameSizesTheWindow_data();
    void firstFrameSizesTheWindow();
    void pictureAndPanelsShareTheWindow();
    void fittedPictureKeepsDevicePositions_data();
    void fittedPictureKeepsDevicePositions();
    void touchesKeysThenClosing();
    void connectFailures_data();
    void connectFailures();

    // Colour picker and screenshots in the window.
    void colourPickerInTheWindow();
    void screenshotsIntoTheProject();

    // Connection manager and remote import.
    void connectionManagerAndRememberedAddress();
    void importBuiltPackage();
    void importFailures_data();
    void importFailures();
    void importAsksThenUsesTheOpenConnection();

private:
    PCClientControllor *controller = nullptr; // for a window or dialog of its own
    // An adb installed on this machine stays out: the streams here need no USB forward.
    std::unique_ptr<AdbOnPath> noAdb;
};

void TestRemoteScreen::initTestCase()
{
    noAdb = std::make_unique<AdbOnPath>(AdbOnPath::None);
}

void TestRemoteScreen::init()
{
    controller = new PCClientControllor;
}

void TestRemoteScreen::cleanup()
{
    delete controller;
    controller = nullptr;
}

// ---- The window -------------------------------------------------------------------------------

void TestRemoteScreen::connectDialogShowsOneWindowAtATime()
{
    TestWorkspace ws;
    SimulatorRun sim(SimulatorRun::options());
    QVERIFY(sim.start());
    ProjectManagerWindow main;
    const QString port = QString::number(sim.device.port());
    const ConnectAttempt attempt = connectFrom(main, QStringLiteral("127.0.0.1"), port);
    QCOMPARE(attempt.boxText, kConnected);
    QPointer<RemoteScreenDialog> first = main.device().lastRemoteScreenDialog();
    QVERIFY(first);
    // Shown once its first frame has placed it and the notice is answered, never under it.
    QVERIFY(!attempt.shownUnderTheBox);
    QVERIFY(first->isFirstFrameShown() && first->isVisible());
    QCOMPARE(first->parentWidget(), &main);
    QCOMPARE(first->windowTitle(), QStringLiteral("远程设备控制器"));
    QVERIFY(!first->form()->bg111_2->isVisibleTo(first));
    QCOMPARE(first->deviceAddress(), QStringLiteral("127.0.0.1"));
    QCOMPARE(first->devicePort(), int(sim.device.port()));
    QCOMPARE(main.device().address(), QStringLiteral("127.0.0.1"));
    QVERIFY(main.device().controller().isConnected());
    QCOMPARE(first->picture()->size(), QSize(36, 64));
    QCOMPARE(first->colorPanel()->form()->lePos->text(), QStringLiteral("(脱离远程屏幕)"));
    QCOMPARE(first->colorPanel()->form()->leColor->text(), QStringLiteral("(无)"));
    QVERIFY(QApplication::activeModalWidget() == nullptr);
    // The saver names directories after this window's frames from now on.
    const auto remote = main.device().lastRemoteScreen();
    QVERIFY(remote.has_value());
    QCOMPARE(QList<int>({remote->width, remote->height, remote->screencapMode}), QList<int>({36, 64, 0}));

    // Opened and cancelled: the window in use stays and stays the saver's.
    QStringList fields;
    ModalAnswerer::whenDialog<RemoteConnectInfoInputDialog>([&](RemoteConnectInfoInputDialog *d) {
        fields = QStringList{d->form()->leIP->text(), d->form()->lePort->text()};
        d->form()->pbCancel->click();
    });
    main.form()->remote_screen_action->trigger();
    QCOMPARE(fields, (QStringList{QStringLiteral("127.0.0.1"), QStringLiteral("7000")}));
    QCOMPARE(main.device().lastRemoteScreenDialog(), first.data());
    QVERIFY(first->isVisible());

    // A new window: the earlier one is closed and released, and only the new one gets frames.
    QCOMPARE(connectFrom(main, QStringLiteral("127.0.0.1"), port).boxText, kConnected);
    QVERIFY(!first);
    RemoteScreenDialog *second = main.device().lastRemoteScreenDialog();
    QVERIFY(second);
    QTRY_VERIFY(second->isVisible());
    QCOMPARE(sim.events.count(QStringLiteral("frame connection from 127.0.0.1")), 2);
    const qint64 key = second->picture()->shownPicture().source().cacheKey();
    QTRY_VERIFY(second->picture()->shownPicture().source().cacheKey() != key);
}

void TestRemoteScreen::frameLabelsAndPicture_data()
{
    QTest::addColumn<int>("depth");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("modeText");
    QTest::newRow("16 bits, mode 0") << 16 << 0 << QStringLiteral("优化模式");
    QTest::newRow("24 bits, mode 1") << 24 << 1 << QStringLiteral("优化模式");
    QTest::newRow("32 bits, mode 2") << 32 << 2 << QStringLiteral("兼容模式");
}

void TestRemoteScreen::frameLabelsAndPicture()
{
    QFETCH(int, depth);
    QFETCH(int, mode);
    QFETCH(QString, modeText);
    TestWorkspace ws;
    const QImage picture = TestPictures::codedPixmap(9, 6).toImage(); // odd width: padded rows
    SimulatorRun sim(pictureOptions(ws, picture, depth, mode));
    QVERIFY(sim.start());

    RemoteScreenDialog window(*controller);
    QVERIFY(window.initRemoteScreen(QStringLiteral("127.0.0.1"), sim.device.port()));
    QVERIFY(!window.isFirstFrameShown());
    QTRY_VERIFY(window.isFirstFrameShown());
    QVERIFY(!window.isVisible()); // the connect dialog shows it
    QCOMPARE(window.form()->labRR->text(), QStringLiteral("9x6"));
    QCOMPARE(window.form()->labColorBits->text(), QString::number(depth));
    QCOMPARE(window.form()->lab_screencap_mode->text(), modeText);
    // Its screenshots go under the mode the window names.
    const ScreenshotStore::RemoteScreen remote{9, 6, window.frameScreencapMode()};
    QCOMPARE(ScreenshotStore::directory(QStringLiteral("demo"), remote), QStringLiteral("工程目录/demo/%1/9x6").arg(modeText));
    QCOMPARE(window.frameInfo().bitsPerPixel, depth);
    QCOMPARE(window.frameScreencapMode(), mode);
    QCOMPARE(window.picture()->size(), QSize(9, 6));
    QCOMPARE(shown(window), asShown(picture, depth));
}

void TestRemoteScreen::pictureSurvivesItsBuffer_data()
{
    QTest::addColumn<int>("depth");
    QTest::addColumn<int>("rightClicks");
    QTest::addColumn<int>("leftClicks");
    QTest::addColumn<int>("degrees");
    for (int depth : {16, 24, 32}) {
        QTest::addRow("%d bits", depth) << depth << 0 << 0 << 0;
        QTest::addRow("%d bits turned", depth) << depth << 1 << 0 << 90;
    }
    QTest::newRow("180") << 32 << 2 << 0 << 180;
    QTest::newRow("-90") << 32 << 0 << 1 << -90;
    QTest::newRow("-360") << 32 << 0 << 4 << -360;
    QTest::newRow("450") << 32 << 5 << 0 << 450;
}

void TestRemoteScreen::pictureSurvivesItsBuffer()
{
    QFETCH(int, depth);
    QFETCH(int, rightClicks);
    QFETCH(int, leftClicks);
    QFETCH(int, degrees);
    const QImage picture = TestPictures::codedPixmap(64, 48).toImage();
    RemoteScreenDialog window(*controller);
    for (int i = 0; i < rightClicks; ++i)
        window.form()->pbRightRotate->click();
    for (int i = 0; i < leftClicks; ++i)
        window.form()->pbLeftRotate->click();
    QCOMPARE(window.rotationDegrees(), degrees);
    FBInfo info;
    FrameBuffer buffer = SimFrameEncoder::frame(picture, depth, &info);
    window.slot_setRemoteScreen(buffer, info, 1);
    QVERIFY(buffer.isNull()); // taken
    // Memory of the buffer's size is handed out again and overwritten.
    std::vector<std::unique_ptr<uchar[]>> reuse;
    for (int i = 0; i < 8; ++i) {
        reuse.emplace_back(new uchar[size_t(info.dataSize)]);
        std::memset(reuse.back().get(), 0x5A, size_t(info.dataSize));
    }
    const QImage expected = TestPictures::turnedClockwise(asShown(picture, depth), degrees / 90);
    QCOMPARE(shown(window), expected);
    QCOMPARE(window.picture()->grab().toImage().convertToFormat(QImage::Format_RGB32), expected);
    QCOMPARE(window.form()->labRR->text(), QStringLiteral("64x48")); // the device's size, never turned
}

void TestRemoteScreen::fourthByteIsNoAlpha_data()
{
    QTest::addColumn<int>("rightClicks");
    QTest::newRow("upright") << 0;
    QTest::newRow("turned") << 1;
}

void TestRemoteScreen::fourthByteIsNoAlpha()
{
    QFETCH(int, rightClicks);
    // 2 x 1 pixels as B, G, R and a fourth byte of 0, used as they are (channelOrder 8).
    const uchar bytes[] = {0x56, 0x34, 0x12, 0x00, 0x01, 0x02, 0x03, 0x00};
    FBInfo info;
    info.bitsPerPixel = 32;
    info.width = 2;
    info.height = 1;
    info.dataSize = sizeof bytes;
    info.channelOrder = 8;
    FrameBuffer buffer = FrameBuffer::allocate(sizeof bytes);
    std::memcpy(buffer.data(), bytes, sizeof bytes);
    RemoteScreenDialog window(*controller);
    for (int i = 0; i < rightClicks; ++i)
        window.form()->pbRightRotate->click();
    window.slot_setRemoteScreen(buffer, info, 1);
    QImage expected(2, 1, QImage::Format_RGB32);
    expected.setPixel(0, 0, qRgb(0x12, 0x34, 0x56));
    expected.setPixel(1, 0, qRgb(0x03, 0x02, 0x01));
    QCOMPARE(shown(window), TestPictures::turnedClockwise(expected, rightClicks));
    mouse(window.picture(), QEvent::MouseMove, QPointF(0, 0), Qt::NoButton);
    QCOMPARE(window.colorPanel()->form()->leColor->text(), QStringLiteral("0x123456"));
    QCOMPARE(window.colorPanel()->form()->leRed->text(), QStringLiteral("18"));
}

void TestRemoteScreen::firstFrameSizesTheWindow_data()
{
    QTest::addColumn<QSize>("frame");
    QTest::newRow("small") << QSize(36, 64);
    QTest::newRow("taller than the desktop") << QSize(72, 4000);
    QTest::newRow("wider than the desktop") << QSize(8000, 2);
}

// The first frame sizes the window on the desktop, centred: the picture at one device pixel per
// screen pixel, whole when it fits, beside the panels; what does not fit scrolls.
void TestRemoteScreen::firstFrameSizesTheWindow()
{
    QFETCH(QSize, frame);
    QImage picture(frame, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    RemoteScreenDialog window(*controller);
    showFrame(window, picture, 16);
    QVERIFY(window.isFirstFrameShown());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QRect available = window.screen()->availableVirtualGeometry();
    QVERIFY2(available.contains(window.geometry()), qPrintable(QStringLiteral("%1x%2 at %3,%4")
                                                                   .arg(window.width()).arg(window.height())
                                                                   .arg(window.x()).arg(window.y())));
    QVERIFY(qAbs(window.frameGeometry().center().x() - available.center().x()) <= 8);
    QCOMPARE(window.picture()->size(), frame);
    const QScrollArea *panels = window.form()->panelScrollArea;
    QVERIFY(panels->width() >= panels->minimumWidth() && panels->width() <= panels->maximumWidth());
    const QSize area = window.frameArea()->viewport()->size();
    QCOMPARE(area.width() >= frame.width(), frame.width() < available.width() / 2);
    QCOMPARE(area.height() >= frame.height(), frame.height() < available.height() / 2);

    // Placed once: a later frame of another size leaves the window as it is.
    const QRect placed = window.geometry();
    showFrame(window, picture.scaled(frame / 2), 16);
    QCOMPARE(window.geometry(), placed);
}

// Picture and panels share the window as it is resized: the picture's area follows it, the
// panels never get narrower than they need.
void TestRemoteScreen::pictureAndPanelsShareTheWindow()
{
    RemoteScreenDialog window(*controller);
    showFrame(window, TestPictures::codedPixmap(300, 500).toImage());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QScrollArea *panels = window.form()->panelScrollArea;
    const QSize least = window.minimumSizeHint();
    window.resize(least);
    QTRY_COMPARE(window.size(), least);
    const QSize small = window.frameArea()->size();
    window.resize(least + QSize(200, 150));
    QTRY_COMPARE(window.size(), least + QSize(200, 150));
    const QSize large = window.frameArea()->size();
    QVERIFY(large.width() > small.width() && large.height() > small.height());
    QVERIFY(panels->width() >= panels->minimumWidth());
    window.resize(200, 200); // smaller than both need: the picture's area keeps a usable size
    QVERIFY(window.frameArea()->width() >= 100 && panels->width() >= panels->minimumWidth());
}

void TestRemoteScreen::fittedPictureKeepsDevicePositions_data()
{
    QTest::addColumn<int>("rightClicks");
    QTest::newRow("upright") << 0;
    QTest::newRow("turned") << 1;
}

// Fitted on request, a large picture takes no more than its area: the pointer, the buffers and
// a rectangle screenshot over it still give the device's own pixels. A small picture is never
// blown up.
void TestRemoteScreen::fittedPictureKeepsDevicePositions()
{
    QFETCH(int, rightClicks);
    const QImage picture = TestPictures::codedPixmap(600, 900).toImage();
    const QImage turned = TestPictures::turnedClockwise(picture, rightClicks);
    RemoteScreenDialog window(*controller);
    for (int i = 0; i < rightClicks; ++i)
        window.form()->pbRightRotate->click();
    showFrame(window, picture);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QSize least = window.minimumSizeHint();
    window.resize(least);
    MyLabel *label = window.picture();
    QTRY_COMPARE(window.size(), least);
    QCOMPARE(label->size(), turned.size());

    window.form()->cbFitPicture->click();
    const QSize area = window.frameArea()->viewport()->size();
    QTRY_VERIFY(label->width() <= area.width() && label->height() <= area.height());
    QVERIFY(label->width() == area.width() || label->height() == area.height());
    const qreal scale = label->positionScale();
    QVERIFY(scale > 1);
    // Grows with its area, as the window grows or the splitter moves.
    window.resize(least + QSize(20, 300));
    const QList<int> split = window.form()->splitter->sizes();
    window.form()->splitter->setSizes({split.first() + 200, split.last() - 200});
    QTRY_VERIFY(label->positionScale() < scale);
    QVERIFY(label->width() <= window.frameArea()->viewport()->width());

    // The pointer over the fitted picture reads the pixel it covers, at the device's position.
    const QPoint unit(label->width() / 3, label->height() / 2);
    const QPoint pixel(MyLabel::roundHalfUp(unit.x() * label->positionScale()), MyLabel::roundHalfUp(unit.y() * label->positionScale()));
    const QRgb code = turned.pixel(pixel);
    const QString device = QStringLiteral("%1,%2").arg((code >> 12) & 0xFFF).arg(code & 0xFFF);
    mouse(label, QEvent::MouseMove, unit, Qt::NoButton);
    QCOMPARE(window.colorPanel()->form()->leColor->text(), QString::asprintf("0x%06X", code & 0xFFFFFF));
    QCOMPARE(window.colorPanel()->form()->lePos->text(), device);
    window.on_action_save_color1_triggered();
    QCOMPARE(window.findChild<QLineEdit *>(QStringLiteral("leBufPoint1"))->text(), device);

    // A rectangle screenshot over the fitted picture is cut from its pixels, not from the screen.
    const QRect units(label->mapToGlobal(QPoint(10, 20)), QSize(40, 30));
    screen::setDesktopGrabberForTesting([] { return TestPictures::codedPixmap(1200, 1000); });
    screen dialog;
    dialog.setDesktop(screen::grabDesktop());
    screen::setDesktopGrabberForTesting(nullptr);
    dialog.show();
    QImage cut;
    connect(&dialog, &screen::signal_screencap, this,
            [&cut](const QPixmap &pixmap, int, int, int, int) { cut = pixmap.toImage().convertToFormat(QImage::Format_RGB32); });
    ScreencapDriver::capture(dialog, units.topLeft() - QPoint(1, 1), units.bottomRight() + QPoint(1, 1));
    const qreal now = label->positionScale();
    QVERIFY2(qAbs(cut.width() - units.width() * now) <= 2 && qAbs(cut.height() - units.height() * now) <= 2,
             qPrintable(QStringLiteral("%1x%2 at scale %3").arg(cut.width()).arg(cut.height()).arg(now)));
    const QPoint corner(qFloor(10 * now), qFloor(20 * now));
    QCOMPARE(cut, turned.copy(QRect(corner, cut.size())));

    // Unticked, one pixel per pixel again; a picture smaller than its area stays so.
    window.form()->cbFitPicture->click();
    QCOMPARE(label->size(), turned.size());
    window.form()->cbFitPicture->click();
    showFrame(window, picture.copy(0, 0, 60, 90));
    QCOMPARE(label->positionScale(), 1.0);
    QCOMPARE(label->size(), TestPictures::turnedClockwise(picture.copy(0, 0, 60, 90), rightClicks).size());
}

void TestRemoteScreen::touchesKeysThenClosing()
{
    SimulatorRun sim(SimulatorRun::options());
    QVERIFY(sim.start());
    RemoteScreenDialog window(*controller);
    QVERIFY(window.initRemoteScreen(QStringLiteral("127.0.0.1"), sim.device.port()));
    QVERIFY(window.initRemoteScreen(QStringLiteral("127.0.0.1"), sim.device.port())); // connections stay single
    QTRY_VERIFY(window.isFirstFrameShown());
    MyLabel *label = window.picture();

    // Remote control off: clicks and keys stay on this side, and so does the release of a key
    // pressed before it was turned on.
    QVERIFY(!window.form()->checkBox->isChecked());
    mouse(label, QEvent::MouseButtonPress, QPointF(3, 4));
    mouse(label, QEvent::MouseButtonRelease, QPointF(3, 4), Qt::NoButton);
    key(&window, QEvent::KeyPress, Qt::Key_6);
    window.form()->checkBox->click();
    key(&window, QEvent::KeyRelease, Qt::Key_6);

    // Pressing and dragging: one touch press at the press point, one release at (0, 0).
    mouse(label, QEvent::MouseButtonPress, QPointF(10.5, 20.4));
    mouse(label, QEvent::MouseMove, QPointF(15, 25));
    mouse(label, QEvent::MouseMove, QPointF(20, 30));
    mouse(label, QEvent::MouseButtonRelease, QPointF(20, 30), Qt::NoButton);
    // Keys in the window: auto-repeat included, keys without a device code not sent.
    key(&window, QEvent::KeyPress, Qt::Key_A);
    key(&window, QEvent::KeyPress, Qt::Key_A, true);
    key(&window, QEvent::KeyPress, Qt::Key_F1);
    key(&window, QEvent::KeyRelease, Qt::Key_A);
    key(&window, QEvent::KeyPress, Qt::Key_0);
    // A shortcut's key: its press goes to the shortcut, so its release is not sent either.
    key(&window, QEvent::KeyRelease, Qt::Key_1);
    // Turned off while a touch is down: the touch is released, nothing new goes.
    mouse(label, QEvent::MouseButtonPress, QPointF(7, 8));
    window.form()->checkBox->click();
    mouse(label, QEvent::MouseButtonRelease, QPointF(7, 8), Qt::NoButton);
    mouse(label, QEvent::MouseButtonPress, QPointF(9, 9));
    key(&window, QEvent::KeyPress, Qt::Key_A);
    key(&window, QEvent::KeyRelease, Qt::Key_0);
    const QStringList expected{QStringLiteral("touch press (11, 20)"), QStringLiteral("touch release (0, 0)"),
                               QStringLiteral("key press 30"),         QStringLiteral("key press 30"),
                               QStringLiteral("key release 30"),       QStringLiteral("key press 11"),
                               QStringLiteral("touch press (7, 8)"),   QStringLiteral("touch release (0, 0)"),
                               QStringLiteral("key release 11")};
    QTRY_COMPARE(touches(sim), expected);

    QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(12, 34));
    QApplication::sendEvent(&window, &menu);
    QCOMPARE(window.colorPanel()->form()->lePos->text(), QStringLiteral("(12,34)"));

    // Closed: no frames, the control link stays, and a press on its picture goes nowhere.
    const int closedBefore = sim.events.count(QStringLiteral("frame connection closed"));
    window.show();
    window.close();
    QTRY_COMPARE(sim.events.count(QStringLiteral("frame connection closed")), closedBefore + 1);
    QVERIFY(controller->isConnected());
    QVERIFY(!sim.events.contains(QStringLiteral("control connection closed")));
    const qint64 pictureKey = window.picture()->shownPicture().source().cacheKey();
    mouse(window.picture(), QEvent::MouseButtonPress, QPointF(3, 4));
    key(&window, QEvent::KeyPress, Qt::Key_B);
    QVERIFY(controller->sendTouchPress(1, 2));
    QTRY_COMPARE(touches(sim), expected + QStringList{QStringLiteral("touch press (1, 2)")});
    QCOMPARE(window.picture()->shownPicture().source().cacheKey(), pictureKey);
    // The closed window still tells the saver its last frame.
    QCOMPARE(window.frameInfo().width, 36);
}

void TestRemoteScreen::connectFailures_data()
{
    QTest::addColumn<bool>("silentAddress");
    QTest::addColumn<QString>("port");
    QTest::addColumn<int>("triedPort");
    QTest::newRow("a port of letters tries port 0") << false << QStringLiteral("abc") << 0;
    QTest::newRow("nobody listens") << true << QStringLiteral("7000") << 7000;
}

void TestRemoteScreen::connectFailures()
{
    QFETCH(bool, silentAddress);
    QFETCH(QString, port);
    QFETCH(int, triedPort);
    const QString address = silentAddress ? SimulatorRun::silentAddress() : QStringLiteral("127.0.0.1");
    TestWorkspace ws;
    ws.makeProject(QStringLiteral("demo"));
    ProjectManagerWindow main;
    const ConnectAttempt attempt = connectFrom(main, address, port);
    QCOMPARE(attempt.boxText, QStringLiteral("远程设备管理器启动失败，请确认ip地址是否正确！"));
    QVERIFY(attempt.stayedOpen);
    QCOMPARE(main.device().controller().controlSocket().port(), triedPort);
    QCOMPARE(main.device().controller().controlSocket().host(), address);
    QVERIFY(!main.device().controller().isConnected());
    QVERIFY(main.device().lastRemoteScreenDialog());
    QVERIFY(!main.device().lastRemoteScreenDialog()->isVisible());
    QCOMPARE(main.device().address(), address);
    // A window that never had a frame names no directory: screenshots go where they go without one.
    QVERIFY(!main.device().lastRemoteScreen().has_value());
    QPixmap shot = TestPictures::codedPixmap(5, 5);
    main.handleScreencap(shot, 0, 0, 5, 5);
    QCOMPARE(ws.files(QStringLiteral("工程目录/demo/截图")).size(), 1);
}

// ---- Colour picker and screenshots --------------------------------------------------------------

// Positions on a turned picture are shown and buffered where the device has the pixel, as the
// generated code uses them; the six keys fill the buffers, Ctrl+0 clears them.
void TestRemoteScreen::colourPickerInTheWindow()
{
    const QImage picture = TestPictures::codedPixmap(60, 50).toImage();
    RemoteScreenDialog window(*controller);
    window.form()->pbRightRotate->click();
    showFrame(window, picture);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QCOMPARE(window.picture()->size(), QSize(50, 60));
    mouse(window.picture(), QEvent::MouseMove, QPointF(30, 40), Qt::NoButton);
    QCOMPARE(window.colorPanel()->form()->lePos->text(), QStringLiteral("40,19"));
    const QString colour = QString::asprintf("0x%06X", TestPictures::turnedClockwise(picture, 1).pixel(30, 40) & 0xFFFFFF);
    QCOMPARE(window.colorPanel()->form()->leColor->text(), colour);
    for (int n = 1; n <= 6; ++n)
        QTest::keyClick(&window, Qt::Key(Qt::Key_0 + n), Qt::ControlModifier);
    for (int n = 1; n <= 6; ++n) {
        QCOMPARE(window.findChild<QLineEdit *>(QStringLiteral("leBufPoint%1").arg(n))->text(), QStringLiteral("40,19"));
        QCOMPARE(window.findChild<QLineEdit *>(QStringLiteral("leBufColor%1").arg(n))->text(), colour);
        QVERIFY(!window.findChild<QLabel *>(QStringLiteral("labBufColorShow%1").arg(n))->pixmap(Qt::ReturnByValue).isNull());
    }
    QVERIFY(window.colorPanel()->codePanel()->colorCode().contains(QStringLiteral("getColor(40,19)")));
    QTest::keyClick(&window, Qt::Key_0, Qt::ControlModifier);
    for (int n = 1; n <= 6; ++n) {
        QCOMPARE(window.findChild<QLineEdit *>(QStringLiteral("leBufPoint%1").arg(n))->text(), QString());
        QVERIFY(window.findChild<QLabel *>(QStringLiteral("labBufColorShow%1").arg(n))->pixmap(Qt::ReturnByValue).isNull());
    }

    // Upright again: shown where the device has it.
    window.form()->pbLeftRotate->click();
    showFrame(window, picture);
    mouse(window.picture(), QEvent::MouseMove, QPointF(30, 40), Qt::NoButton);
    QCOMPARE(window.colorPanel()->form()->lePos->text(), QStringLiteral("30,40"));
    QCOMPARE(window.colorPanel()->form()->leColor->text(), QString::asprintf("0x%06X", picture.pixel(30, 40) & 0xFFFFFF));
}

void TestRemoteScreen::screenshotsIntoTheProject()
{
    TestWorkspace ws;
    ws.makeProject(QStringLiteral("demo"));
    const QImage picture = TestPictures::codedPixmap(72, 128).toImage();
    SimulatorRun sim(pictureOptions(ws, picture, 32, 1));
    QVERIFY(sim.start());
    ProjectManagerWindow main;
    QCOMPARE(main.project().name(), QStringLiteral("demo"));
    QCOMPARE(connectFrom(main, QStringLiteral("127.0.0.1"), QString::number(sim.device.port())).boxText, kConnected);
    RemoteScreenDialog *window = main.device().lastRemoteScreenDialog();
    QVERIFY(window);
    QTRY_VERIFY(window->isFirstFrameShown());
    const QString dir = QStringLiteral("工程目录/demo/优化模式/72x128");
    const auto newFile = [&ws, &dir](const QStringList &before) {
        QStringList added = ws.files(dir);
        for (const QString &name : before)
            added.removeAll(name);
        return added.size() == 1 ? ws.absolute(dir + QLatin1Char('/') + added.first()) : QString();
    };

    // A rectangle from the window's menu: the main window's capture, its region shown back.
    const QPixmap desktop = TestPictures::codedPixmap(400, 300);
    screen::setDesktopGrabberForTesting([desktop]() { return desktop; });
    ModalAnswerer::whenDialog<screen>(
        [](screen *dialog) { ScreencapDriver::capture(*dialog, QPoint(100, 200), QPoint(150, 260)); });
    window->form()->rect_screencap_action->trigger();
    screen::setDesktopGrabberForTesting(nullptr);
    QCOMPARE(window->form()->leScreencapRect->text(), QStringLiteral("101,201,49,59"));
    const QString rectangle = newFile({});
    QVERIFY(!rectangle.isEmpty());
    QCOMPARE(QImage(rectangle).size(), QSize(49, 59));

    // The full capture of the turned picture: 128 x 72, while the directory says 72x128.
    window->form()->pbRightRotate->click();
    QTRY_COMPARE(window->picture()->shownPicture().size(), QSize(128, 72));
    QStringList before = ws.files(dir);
    window->form()->action_full_screencap->trigger();
    QCOMPARE(window->form()->leScreencapRect->text(), QStringLiteral("0,0,128,72"));
    const QString full = newFile(before);
    QVERIFY(!full.isEmpty());
    // The output pane says where each capture went.
    LogView *out = main.form()->outText;
    out->flush();
    const QStringList said = out->lines(out->blockCount() - 1, 2);
    QCOMPARE(said.last(), QStringLiteral("截图已保存：") + QDir(ws.absolute(QString())).relativeFilePath(full));
    QVERIFY(said.first().endsWith(QFileInfo(rectangle).fileName()));
    QVERIFY2(QRegularExpression(QStringLiteral("/截图_\\d+(_\\d+)?\\.bmp$")).match(full).hasMatch(), qPrintable(full));
    QCOMPARE(QImage(full).convertToFormat(QImage::Format_RGB32), TestPictures::turnedClockwise(picture, 1));

    // Closed, the window still names the directory.
    window->close();
    before = ws.files(dir);
    QPixmap shot = desktop.copy(0, 0, 5, 5);
    main.handleScreencap(shot, 0, 0, 5, 5);
    QVERIFY(!newFile(before).isEmpty());
}

// ---- Connection manager and remote import -------------------------------------------------------

// The address typed into any of the three dialogs is the one the others offer next, whether it
// answered or not. The manager connects and disconnects; a stream runs over its connection.
void TestRemoteScreen::connectionManagerAndRememberedAddress()
{
    TestWorkspace ws;
    auto sim = SimulatorRun::onStandardPort(SimulatorRun::options());
    QVERIFY2(sim, "no loopback address free for port 7000");
    ProjectManagerWindow main;
    const QString typed = SimulatorRun::silentAddress();
    QString shown = QStringLiteral("not opened");
    const auto importDialogOffers = [&main, &shown](const QString &type) {
        ModalAnswerer::whenDialog<ScriptRemoteImportDialog>([&shown, type](ScriptRemoteImportDialog *d) {
            shown = d->form()->leIP->text();
            if (!type.isEmpty()) {
                d->form()->leIP->setText(type);
                d->setScriptPath(QStringLiteral("x.ks"));
                d->form()->pbImport->click(); // cannot connect, but the address is kept
            }
            d->reject();
        });
        main.form()->remote_import_action->trigger();
        return shown;
    };
    QCOMPARE(importDialogOffers(typed), QString());
    ModalAnswerer::whenDialog<RemoteConnectInfoInputDialog>([&](RemoteConnectInfoInputDialog *d) {
        shown = d->form()->leIP->text();
        d->reject();
    });
    main.form()->remote_screen_action->trigger();
    QCOMPARE(shown, typed);

    const auto look = [](ConnectionManagerDialog *d) {
        return QStringList{d->form()->labStatus->text(), d->form()->pbOP->text(),
                           d->form()->leIP->isEnabled() ? QStringLiteral("enabled") : QStringLiteral("disabled"),
                           d->form()->leIP->text()};
    };
    const auto notConnected = [](const QString &address) {
        return QStringList{QStringLiteral("<font color=red>未连接</font>"), QStringLiteral("连接"), QStringLiteral("enabled"), address};
    };
    const QStringList connected{QStringLiteral("<font color=green>已连接</font>"), QStringLiteral("断开"),
                                QStringLiteral("disabled"), sim->address};
    const auto runManager = [&main](std::function<void(ConnectionManagerDialog *)> act) {
        ModalAnswerer::whenDialog<ConnectionManagerDialog>([act](ConnectionManagerDialog *d) {
            act(d);
            d->close();
        });
        main.form()->action_connection_manager->trigger();
    };

    QString empty, failed, rememberedAfterFailure;
    QStringList opened, afterFailure, afterConnect;
    runManager([&](ConnectionManagerDialog *d) {
        opened = look(d);
        d->form()->leIP->clear();
        ModalAnswerer::answerMessageBox(QMessageBox::Ok, nullptr, &empty);
        d->form()->pbOP->click();
        d->form()->leIP->setText(SimulatorRun::silentAddress(1));
        ModalAnswerer::answerMessageBox(QMessageBox::Ok, nullptr, &failed);
        d->form()->pbOP->click();
        afterFailure = look(d);
        rememberedAfterFailure = main.device().address();
        d->form()->leIP->setText(sim->address);
        d->form()->pbOP->click();
        afterConnect = look(d);
    });
    QCOMPARE(opened, notConnected(typed));
    QCOMPARE(empty, QStringLiteral("IP地址不能为空！"));
    QCOMPARE(failed, QStringLiteral("连接失败，请确认远程设备是否已运行Kestrun或者IP地址是否正确！"));
    QCOMPARE(afterFailure, notConnected(SimulatorRun::silentAddress(1)));
    QCOMPARE(rememberedAfterFailure, SimulatorRun::silentAddress(1));
    QCOMPARE(afterConnect, connected);
    QVERIFY(main.device().controller().isConnected());
    QCOMPARE(main.device().controller().controlSocket().port(), 7000);
    QCOMPARE(importDialogOffers(QString()), sim->address);

    // A stream over the connection the manager made; disconnecting ends it.
    RemoteScreenDialog window(main.device().controller());
    QVERIFY(window.initRemoteScreen(QStringLiteral("not used: already connected"), 1));
    QTRY_VERIFY(window.isFirstFrameShown());
    QStringList reopened, afterDisconnect;
    runManager([&](ConnectionManagerDialog *d) {
        reopened = look(d);
        d->form()->pbOP->click();
        afterDisconnect = look(d);
    });
    QCOMPARE(reopened, connected);
    QCOMPARE(afterDisconnect, notConnected(sim->address));
    QVERIFY(!main.device().controller().isConnected());
    QTRY_VERIFY(sim->events.contains(QStringLiteral("frame connection closed")));
    QTRY_VERIFY(sim->events.contains(QStringLiteral("control connection closed")));
}

void TestRemoteScreen::importBuiltPackage()
{
    TestWorkspace ws;
    const QString project = ws.makeProject(QStringLiteral("demo"));
    ws.writeFile(QStringLiteral("工程目录/demo/assets/data.txt"), "some data\n");
    auto sim = SimulatorRun::onStandardPort(SimulatorRun::options());
    QVERIFY2(sim, "no loopback address free for port 7000");
    ProjectManagerWindow main;
    QCOMPARE(main.project().name(), QStringLiteral("demo"));
    QVERIFY(runBuild(main, true));
    const QString package = project + QStringLiteral("/demo.ks");
    QVERIFY2(QFileInfo(package).isFile(), qPrintable(main.form()->outText->toPlainText()));

    QString prefilled;
    bool closed = false;
    ModalAnswerer::whenDialog<ScriptRemoteImportDialog>([&](ScriptRemoteImportDialog *d) {
        prefilled = d->form()->leScriptPath->text();
        d->form()->leIP->setText(sim->address);
        d->form()->pbImport->click();
        closed = !d->isVisible();
        d->close();
    });
    main.form()->remote_import_action->trigger();
    QCOMPARE(prefilled, package);
    QVERIFY(closed);
    LogView *out = main.form()->outText;
    QCOMPARE(out->lines(out->blockCount() - 1, 4),
             (QStringList{QStringLiteral("正在连接远程设备..."), QStringLiteral("远程设备连接成功..."),
                          QStringLiteral("正在导入脚本..."), QStringLiteral("脚本导入完毕...")}));

    // The device took it whole, checked it and said so in "远程调试".
    QFile built(package);
    QVERIFY(built.open(QIODevice::ReadOnly));
    const QByteArray bytes = built.readAll();
    QTRY_COMPARE(sim->device.package(QStringLiteral("demo.ks")), bytes);
    QTRY_VERIFY(main.form()->remoteLogText->toPlainText().contains(QStringLiteral("imported demo.ks")));
    if (!DeviceKey::builtInKeyMatches())
        QSKIP("built with another public key: the simulated device cannot open the package");
    QTRY_VERIFY2(main.form()->remoteLogText->toPlainText().contains(QRegularExpression(
                     QStringLiteral("project demo, \\d+ entries, verified"))),
                 qPrintable(main.form()->remoteLogText->toPlainText()));
    QVERIFY(main.device().controller().isConnected()); // kept for the next import
}

void TestRemoteScreen::importFailures_data()
{
    QTest::addColumn<QString>("file");    // made in a temporary directory; empty: none
    QTest::addColumn<bool>("reachable");  // the device listens
    QTest::addColumn<QStringList>("out"); // after "正在连接远程设备..."
    const QString longName = QString(37, QLatin1Char('n')) + QStringLiteral(".ks"); // 40 bytes
    QTest::newRow("missing file") << QString() << true
                                  << QStringList{QStringLiteral("远程设备连接成功..."), QStringLiteral("正在导入脚本..."),
                                                 QStringLiteral("错误：脚本文件[%1]不存在，未导入。")};
    QTest::newRow("name too long") << longName << true
                                   << QStringList{QStringLiteral("远程设备连接成功..."), QStringLiteral("正在导入脚本..."),
                                                  QStringLiteral("错误：脚本文件名“%1”超过39字节，远程设备无法接收，"
                                                                 "请缩短文件名后再导入。")
                                                      .arg(longName)};
    QTest::newRow("device not reachable") << QStringLiteral("a.ks") << false
                                          << QStringList{QStringLiteral("远程设备连接失败,请确认IP是否正确...")};
}

void TestRemoteScreen::importFailures()
{
    QFETCH(QString, file);
    QFETCH(bool, reachable);
    QFETCH(QStringList, out);
    TestWorkspace ws;
    const QString path = ws.absolute(file.isEmpty() ? QStringLiteral("missing.ks") : file);
    if (!file.isEmpty())
        ws.writeFile(file, "package bytes");
    std::unique_ptr<SimulatorRun> sim;
    if (reachable) {
        sim = SimulatorRun::onStandardPort(SimulatorRun::options());
        QVERIFY2(sim, "no loopback address free for port 7000");
    }
    ScriptRemoteImportDialog dialog(*controller, QString());
    QSignalSpy said(&dialog, &ScriptRemoteImportDialog::out);
    dialog.show();
    dialog.form()->leIP->setText(reachable ? sim->address : SimulatorRun::silentAddress());
    dialog.setScriptPath(path);
    dialog.form()->pbImport->click();
    QStringList lines;
    for (const QList<QVariant> &signal : said)
        lines << signal.at(0).toString();
    for (QString &line : out) {
        if (line.contains(QLatin1String("%1")))
            line = line.arg(path);
    }
    QCOMPARE(lines, QStringList{QStringLiteral("正在连接远程设备...")} + out);
    QVERIFY(dialog.isVisible());
    if (sim) {
        QVERIFY(controller->sendTouchPress(1, 1)); // anything sent before it would arrive first
        QTRY_VERIFY(sim->events.contains(QStringLiteral("touch press (1, 1)")));
        QVERIFY(!sim->events.join(QLatin1Char('\n')).contains(QStringLiteral("import")));
    }
}

// The dialog asks for an address and a script first; then it sends over the connection already
// open, whatever address it names. Without a connection the send fails and says so.
void TestRemoteScreen::importAsksThenUsesTheOpenConnection()
{
    TestWorkspace ws;
    ws.writeFile(QStringLiteral("脚本.ks"), QByteArray(3000, 'p'));
    const QString path = ws.absolute(QStringLiteral("脚本.ks"));
    ScriptRemoteImportDialog dialog(*controller, QString());
    QSignalSpy said(&dialog, &ScriptRemoteImportDialog::out);
    QSignalSpy entered(&dialog, &ScriptRemoteImportDialog::signal_addressEntered);
    QString first, second;
    ModalAnswerer::answerMessageBox(QMessageBox::Ok, nullptr, &first);
    dialog.setScriptPath(path);
    dialog.form()->pbImport->click();
    ModalAnswerer::answerMessageBox(QMessageBox::Ok, nullptr, &second);
    dialog.form()->leIP->setText(SimulatorRun::silentAddress()); // another address: not used
    dialog.setScriptPath(QString());
    dialog.form()->pbImport->click();
    QCOMPARE(first, QStringLiteral("请输入远程设备IP"));
    QCOMPARE(second, QStringLiteral("请选择一个要导入的脚本文件"));
    QCOMPARE(said.count(), 0);
    QCOMPARE(entered.count(), 0);

    SimulatorRun sim(SimulatorRun::options());
    QVERIFY(sim.start());
    QVERIFY(controller->connectToDevice(QStringLiteral("127.0.0.1"), sim.device.port()));
    dialog.setScriptPath(path);
    dialog.form()->pbImport->click();
    QCOMPARE(said.last().at(0).toString(), QStringLiteral("脚本导入完毕..."));
    QTRY_COMPARE(sim.device.package(QStringLiteral("脚本.ks")), QByteArray(3000, 'p'));
    QCOMPARE(controller->controlSocket().port(), int(sim.device.port()));

    PCClientControllor unconnected;
    QCOMPARE(ScriptImport::send(unconnected, path).error(), QStringLiteral("脚本发送失败，请确认与远程设备的连接。"));
    QCOMPARE(ScriptImport::send(unconnected, ws.path()).error(), QStringLiteral("脚本文件[%1]不存在，未导入。").arg(ws.path()));
}

QTEST_MAIN(TestRemoteScreen)
#include "tst_remotescreen.moc"
