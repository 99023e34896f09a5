// Rectangle screenshots over a frozen desktop, and saving screenshots into the active project.
#include "app/ui/DeviceSession.h"
#include "app/ui/ProjectManagerWindow.h"
#include "editor/ui/ScriptEditor.h"
#include "editor/ui/ScriptTabs.h"
#include "ui_ProjectManagerWindow.h"
#include "screentools/ui/ScreencapViewControl.h"
#include "screentools/ScreenshotStore.h"
#include "screentools/ui/screen.h"
#include "support/ModalAnswerer.h"
#include "support/ScreencapDriver.h"
#include "support/TestPictures.h"
#include "support/TestWorkspace.h"

#include <QDir>
#include <QLabel>
#include <QSignalSpy>
#include <QtTest>

Q_DECLARE_METATYPE(std::optional<ScreenshotStore::RemoteScreen>)

namespace {

// A rectangle screenshot dialog over a frozen 400 x 300 desktop, shown, with what its
// signal_screencap carried (QSignalSpy cannot take its QPixmap& argument).
struct Screencap
{
    screen dialog;
    QList<QList<int>> regions;
    QPixmap last;
    explicit Screencap(const QPixmap &desktop = TestPictures::codedPixmap(400, 300))
    {
        dialog.setDesktop(desktop);
        dialog.resize(400, 300);
        dialog.show();
        QObject::connect(&dialog, &screen::signal_screencap, [this](const QPixmap &pixmap, int x1, int y1, int x2, int y2) {
            regions << QList<int>{x1, y1, x2, y2};
            last = pixmap;
        });
    }
    void key(int k)
    {
        QKeyEvent event(QEvent::KeyPress, k, Qt::NoModifier);
        QApplication::sendEvent(&dialog, &event);
    }
};

} // namespace

class TestScreencap : public QObject
{
    Q_OBJECT

private slots:
    void captureInsideTheRectangle_data();
    void captureInsideTheRectangle();
    void borderIsDrawnWhereDragged();
    void escapeRemovesThenCloses();
    void hintKeepsOutOfTheWay();
    void pressOverRectangleIsIgnored();
    void nothingToCapture_data();
    void nothingToCapture();
    void directory_data();
    void directory();
    void sameSecondKeepsEveryCapture();
    void saverRefuses_data();
    void saverRefuses();
    void rectangleCommandSavesIntoProject();
};

void TestScreencap::captureInsideTheRectangle_data()
{
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<int>("key"); // that saves; 0: a double click
    QTest::newRow("down and right") << QPoint(100, 200) << QPoint(150, 260) << 0;
    QTest::newRow("up and left") << QPoint(150, 260) << QPoint(100, 200) << 0;
    QTest::newRow("down and left") << QPoint(150, 200) << QPoint(100, 260) << 0;
    QTest::newRow("up and right") << QPoint(100, 260) << QPoint(150, 200) << 0;
    QTest::newRow("Enter") << QPoint(100, 200) << QPoint(150, 260) << int(Qt::Key_Return);
    QTest::newRow("keypad Enter") << QPoint(150, 260) << QPoint(100, 200) << int(Qt::Key_Enter);
}

void TestScreencap::captureInsideTheRectangle()
{
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    QFETCH(int, key);
    Screencap shot;
    QCOMPARE(shot.dialog.view()->size(), QSize(400, 300));
    ScreencapDriver::drag(shot.dialog, from, to);
    QVERIFY(shot.dialog.isVisible());
    if (key == 0)
        ScreencapDriver::mouse(shot.dialog, QEvent::MouseButtonDblClick, to);
    else
        shot.key(key);
    QCOMPARE(shot.regions, (QList<QList<int>>{{101, 201, 49, 59}}));
    QCOMPARE(shot.last.toImage(), TestPictures::codedPixmap(400, 300).copy(101, 201, 49, 59).toImage());
    QVERIFY(!shot.dialog.isVisible());
    QCOMPARE(shot.dialog.result(), 0);
}

void TestScreencap::borderIsDrawnWhereDragged()
{
    QImage white(400, 300, QImage::Format_RGB32);
    white.fill(Qt::white);
    Screencap shot(QPixmap::fromImage(white));
    ScreencapDriver::drag(shot.dialog, QPoint(150, 260), QPoint(100, 200)); // up and left
    const QImage shown = shot.dialog.view()->grab().toImage();
    const auto red = [&shown](const QRect &area) {
        int count = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                count += shown.pixel(x, y) == qRgb(255, 0, 0);
        return count;
    };
    // Dotted: some pixels of each line are red; nothing inside or outside is.
    for (const QRect &line : {QRect(100, 200, 51, 1), QRect(100, 260, 51, 1), QRect(100, 200, 1, 61), QRect(150, 200, 1, 61)})
        QVERIFY(red(line) > 5);
    QCOMPARE(red(QRect(0, 199, 400, 1)) + red(QRect(0, 261, 400, 1)) + red(QRect(99, 0, 1, 300)) + red(QRect(151, 0, 1, 300)), 0);
    QCOMPARE(red(QRect(101, 201, 49, 59)), 0);
}

void TestScreencap::escapeRemovesThenCloses()
{
    Screencap shot;
    ScreencapDriver::drag(shot.dialog, QPoint(100, 200), QPoint(150, 260));
    shot.key(Qt::Key_Escape);
    QVERIFY(shot.dialog.isVisible());
    const ScreencapSelection &selection = shot.dialog.view()->selection();
    QVERIFY(!selection.hasSelection && !selection.pressing);
    QCOMPARE(QRect(selection.startX, selection.startY, selection.selWidth, selection.selHeight), QRect());
    shot.key(Qt::Key_Escape);
    QVERIFY(!shot.dialog.isVisible());
    QCOMPARE(shot.dialog.result(), 0);
    QCOMPARE(shot.regions.size(), 0);
}

// The hint line is shown over the desktop, moves away from a rectangle drawn under it, and is
// never part of what is saved.
void TestScreencap::hintKeepsOutOfTheWay()
{
    Screencap shot;
    const QLabel *hint = shot.dialog.hint();
    QVERIFY(hint->isVisible() && !hint->text().isEmpty());
    QVERIFY(hint->geometry().top() < 150);
    const QRect atTop = hint->geometry();
    ScreencapDriver::drag(shot.dialog, QPoint(20, 10), QPoint(380, 110));
    QVERIFY(!hint->geometry().intersects(shot.dialog.view()->selection().border()));
    QVERIFY(hint->geometry().top() > 150);
    shot.key(Qt::Key_Escape); // the rectangle goes, the hint comes back
    QCOMPARE(hint->geometry(), atTop);
    ScreencapDriver::capture(shot.dialog, QPoint(0, 0), QPoint(399, 299));
    QCOMPARE(shot.last.toImage(), TestPictures::codedPixmap(400, 300).copy(1, 1, 398, 298).toImage());
}

void TestScreencap::pressOverRectangleIsIgnored()
{
    Screencap shot;
    ScreencapDriver::drag(shot.dialog, QPoint(100, 200), QPoint(150, 260));
    ScreencapDriver::drag(shot.dialog, QPoint(10, 10), QPoint(40, 40)); // does not start a new rectangle
    QCOMPARE(shot.dialog.view()->selection().border(), QRect(100, 200, 50, 60));
    ScreencapDriver::mouse(shot.dialog, QEvent::MouseButtonDblClick, QPoint(40, 40));
    QCOMPARE(shot.regions, (QList<QList<int>>{{101, 201, 49, 59}}));
}

void TestScreencap::nothingToCapture_data()
{
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to"); // equal: a click without a drag
    QTest::newRow("click") << QPoint(100, 200) << QPoint(100, 200);
    QTest::newRow("one pixel wide") << QPoint(100, 200) << QPoint(101, 260);
    QTest::newRow("flat") << QPoint(100, 200) << QPoint(150, 200);
}

void TestScreencap::nothingToCapture()
{
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    Screencap shot;
    if (from == to) {
        ScreencapDriver::mouse(shot.dialog, QEvent::MouseButtonPress, from);
        ScreencapDriver::mouse(shot.dialog, QEvent::MouseButtonRelease, from);
    } else {
        ScreencapDriver::drag(shot.dialog, from, to);
    }
    ScreencapDriver::mouse(shot.dialog, QEvent::MouseButtonDblClick, to);
    QCOMPARE(shot.regions.size(), 0);
    QVERIFY(shot.dialog.isVisible());
}

void TestScreencap::directory_data()
{
    QTest::addColumn<std::optional<ScreenshotStore::RemoteScreen>>("remote");
    QTest::addColumn<QString>("directory");
    QTest::newRow("no remote screen") << std::optional<ScreenshotStore::RemoteScreen>() << "工程目录/demo/截图";
    QTest::newRow("optimised 720x1280")
        << std::optional<ScreenshotStore::RemoteScreen>({720, 1280, 1}) << "工程目录/demo/优化模式/720x1280";
    QTest::newRow("compatible 1080x1920")
        << std::optional<ScreenshotStore::RemoteScreen>({1080, 1920, 2}) << "工程目录/demo/兼容模式/1080x1920";
    QTest::newRow("mode 0, named as the window names it") << std::optional<ScreenshotStore::RemoteScreen>({720, 1280, 0})
                                                        << "工程目录/demo/优化模式/720x1280";
}

void TestScreencap::directory()
{
    QFETCH(std::optional<ScreenshotStore::RemoteScreen>, remote);
    QFETCH(QString, directory);
    QCOMPARE(ScreenshotStore::directory(QStringLiteral("demo"), remote), directory);
}

void TestScreencap::sameSecondKeepsEveryCapture()
{
    TestWorkspace ws;
    QImage small(3, 2, QImage::Format_RGB32);
    small.fill(Qt::red);
    QImage large(5, 4, QImage::Format_RGB32);
    large.fill(Qt::blue);
    const QString dir = QStringLiteral("工程目录/demo/截图/");
    QStringList saved;
    for (const auto &[image, second] : {std::pair{small, 1394000000}, {large, 1394000000}, {large, 1394000000}, {small, 1394000001}})
        saved << ScreenshotStore::save(image, QStringLiteral("demo"), std::nullopt, second).valueOr(QString()).remove(dir);
    QCOMPARE(saved, (QStringList{"截图_1394000000.bmp", "截图_1394000000_2.bmp", "截图_1394000000_3.bmp", "截图_1394000001.bmp"}));
    QCOMPARE(QImage(dir + QStringLiteral("截图_1394000000.bmp")).size(), QSize(3, 2));
    QCOMPARE(QImage(dir + QStringLiteral("截图_1394000000_2.bmp")).size(), QSize(5, 4));
}

void TestScreencap::saverRefuses_data()
{
    QTest::addColumn<bool>("project");
    QTest::addColumn<QString>("text");   // the notice starts with it
    QTest::addColumn<int>("rectangles"); // told on
    QTest::newRow("no active project") << false << "当前未设定活动工程，无法保存截图。" << 0;
    QTest::newRow("a file where the directory should be") << true << "截图保存失败。" << 1;
}

void TestScreencap::saverRefuses()
{
    QFETCH(bool, project);
    QFETCH(QString, text);
    QFETCH(int, rectangles);
    TestWorkspace ws;
    if (project) {
        ws.makeProject(QStringLiteral("demo"));
        ws.writeFile(QStringLiteral("工程目录/demo/截图"), "a file where the directory should be");
    }
    ProjectManagerWindow window;
    QSignalSpy rect(&window.device(), &DeviceSession::signal_screencap_rect);
    QString title, notice;
    ModalAnswerer::answerMessageBox(QMessageBox::Ok, &title, &notice);
    QPixmap shot = TestPictures::codedPixmap(10, 10);
    window.handleScreencap(shot, 0, 0, 10, 10);
    QCOMPARE(title, QStringLiteral("提示"));
    QVERIFY2(notice.startsWith(text), qPrintable(notice));
    QCOMPARE(rect.count(), rectangles);
    QCOMPARE(QDir(ws.absolute(QStringLiteral("工程目录"))).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             project ? QStringList{"demo"} : QStringList());
}

void TestScreencap::rectangleCommandSavesIntoProject()
{
    TestWorkspace ws;
    ws.makeProject(QStringLiteral("demo"));
    ProjectManagerWindow window;
    window.show();
    QCOMPARE(window.project().name(), QStringLiteral("demo"));
    const QPixmap desktop = TestPictures::codedPixmap(400, 300);
    screen::setDesktopGrabberForTesting([desktop]() { return desktop; });
    bool fullScreen = false;
    QString title;
    ModalAnswerer::whenDialog<screen>([&fullScreen, &title, &window](screen *dialog) {
        fullScreen = dialog->isFullScreen() && dialog->parentWidget() == &window;
        title = dialog->windowTitle();
        ScreencapDriver::capture(*dialog, QPoint(100, 200), QPoint(150, 260));
    });
    QSignalSpy rect(&window.device(), &DeviceSession::signal_screencap_rect);
    window.form()->screencap_rect_action->trigger();
    screen::setDesktopGrabberForTesting(nullptr);
    QVERIFY(fullScreen);
    QCOMPARE(title, window.form()->screencap_rect_action->text()); // named after the command
    QCOMPARE(rect.count(), 1);
    QCOMPARE(rect.first(), (QVariantList{101, 201, 49, 59}));
    const QStringList files = ws.files(QStringLiteral("工程目录/demo/截图"));
    QCOMPARE(files.size(), 1);
    QVERIFY2(QRegularExpression(QStringLiteral("^截图_\\d+\\.bmp$")).match(files.first()).hasMatch(), qPrintable(files.first()));
    QVERIFY(qAbs(files.first().mid(3, 10).toLongLong() - QDateTime::currentSecsSinceEpoch()) < 60);
    const QImage saved(ws.absolute(QStringLiteral("工程目录/demo/截图/") + files.first()));
    QCOMPARE(saved.convertToFormat(QImage::Format_RGB32), desktop.copy(101, 201, 49, 59).toImage().convertToFormat(QImage::Format_RGB32));
}

QTEST_MAIN(TestScreencap)
#include "tst_screencap.moc"
