// Rectangle screenshots over a frozen desktop, and saving screenshots into the active project.
#include "app/ui/ProjectManagerWindow.h"
#include "ui_ProjectManagerWindow.h"
#include "screentools/ui/ScreencapViewControl.h"
#include "screentools/ScreenshotStore.h"
#include "screentools/ui/screen.h"
#include "support/ModalAnswerer.h"
#include "support/ScreencapDriver.h"
#include "support/TestPictures.h"
#include "support/TestWorkspace.h"

#include <QDir>
#include <QSignalSpy>
#include <QtTest>

Q_DECLARE_METATYPE(std::optional<ScreenshotStore::RemoteScreen>)

namespace {

// What signal_screencap carried; QSignalSpy cannot take its QPixmap& argument.
struct Captures
{
    QList<QList<int>> regions;
    QPixmap last;
    explicit Captures(screen &dialog)
    {
        QObject::connect(&dialog, &screen::signal_screencap, [this](const QPixmap &pixmap, int x1, int y1, int x2, int y2) {
            regions << QList<int>{x1, y1, x2, y2};
            last = pixmap;
        });
    }
    int count() const { return regions.size(); }
};

void key(screen &dialog, int k)
{
    QKeyEvent event(QEvent::KeyPress, k, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &event);
}

QStringList filesIn(const QString &directory)
{
    return QDir(directory).entryList(QDir::Files, QDir::Name);
}

} // namespace

class TestScreencap : public QObject
{
    Q_OBJECT

private slots:
    void captureInsideTheRectangle_data();
    void captureInsideTheRectangle();
    void borderIsDrawnWhereDragged();
    void escapeRemovesThenCloses();
    void pressOverRectangleIsIgnored();
    void nothingToCapture_data();
    void nothingToCapture();
    void directory_data();
    void directory();
    void sameSecondKeepsEveryCapture();
    void saverWritesIntoActiveProject();
    void saverWithoutActiveProject();
    void saverReportsFailure();
    void rectangleCommandSavesIntoProject();
};

void TestScreencap::captureInsideTheRectangle_data()
{
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to");
    QTest::newRow("down and right") << QPoint(100, 200) << QPoint(150, 260);
    QTest::newRow("up and left") << QPoint(150, 260) << QPoint(100, 200);
    QTest::newRow("down and left") << QPoint(150, 200) << QPoint(100, 260);
    QTest::newRow("up and right") << QPoint(100, 260) << QPoint(150, 200);
}

void TestScreencap::captureInsideTheRectangle()
{
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    const QPixmap desktop = TestPictures::codedPixmap(400, 300);
    screen dialog;
    dialog.setDesktop(desktop);
    dialog.resize(400, 300);
    dialog.show();
    QCOMPARE(dialog.view()->size(), QSize(400, 300));
    Captures captured(dialog);

    ScreencapDriver::drag(dialog, from, to);
    QVERIFY(dialog.isVisible());
    ScreencapDriver::mouse(dialog, QEvent::MouseButtonDblClick, to);

    QCOMPARE(captured.regions, (QList<QList<int>>{{101, 201, 49, 59}}));
    QCOMPARE(captured.last.toImage(), desktop.copy(101, 201, 49, 59).toImage());
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), 0);
}

void TestScreencap::borderIsDrawnWhereDragged()
{
    screen dialog;
    QImage white(400, 300, QImage::Format_RGB32);
    white.fill(Qt::white);
    dialog.setDesktop(QPixmap::fromImage(white));
    dialog.resize(400, 300);
    dialog.show();
    ScreencapDriver::drag(dialog, QPoint(150, 260), QPoint(100, 200)); // up and left
    const QImage shown = dialog.view()->grab().toImage();
    const auto redOnRow = [&shown](int y, int x1, int x2) {
        int red = 0;
        for (int x = x1; x <= x2; ++x)
            red += shown.pixel(x, y) == qRgb(255, 0, 0);
        return red;
    };
    const auto redOnColumn = [&shown](int x, int y1, int y2) {
        int red = 0;
        for (int y = y1; y <= y2; ++y)
            red += shown.pixel(x, y) == qRgb(255, 0, 0);
        return red;
    };
    // Dotted: some pixels of each line are red; nothing inside or outside is.
    QVERIFY(redOnRow(200, 100, 150) > 5);
    QVERIFY(redOnRow(260, 100, 150) > 5);
    QVERIFY(redOnColumn(100, 200, 260) > 5);
    QVERIFY(redOnColumn(150, 200, 260) > 5);
    QCOMPARE(redOnRow(199, 0, 399) + redOnRow(261, 0, 399) + redOnColumn(99, 0, 299) + redOnColumn(151, 0, 299), 0);
    for (int y = 201; y < 260; ++y)
        QCOMPARE(redOnRow(y, 101, 149), 0);
}

void TestScreencap::escapeRemovesThenCloses()
{
    screen dialog;
    dialog.setDesktop(TestPictures::codedPixmap(400, 300));
    dialog.show();
    Captures captured(dialog);
    ScreencapDriver::drag(dialog, QPoint(100, 200), QPoint(150, 260));
    key(dialog, Qt::Key_Return); // Enter does not capture
    QVERIFY(dialog.isVisible());
    key(dialog, Qt::Key_Escape);
    QVERIFY(dialog.isVisible());
    const ScreencapSelection &selection = dialog.view()->selection();
    QVERIFY(!selection.hasSelection && !selection.pressing);
    QCOMPARE(QRect(selection.startX, selection.startY, selection.selWidth, selection.selHeight), QRect());
    key(dialog, Qt::Key_Escape);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), 0);
    QCOMPARE(captured.count(), 0);
}

void TestScreencap::pressOverRectangleIsIgnored()
{
    screen dialog;
    dialog.setDesktop(TestPictures::codedPixmap(400, 300));
    dialog.show();
    Captures captured(dialog);
    ScreencapDriver::drag(dialog, QPoint(100, 200), QPoint(150, 260));
    ScreencapDriver::drag(dialog, QPoint(10, 10), QPoint(40, 40)); // does not start a new rectangle
    const ScreencapSelection &selection = dialog.view()->selection();
    QCOMPARE(selection.border(), QRect(100, 200, 50, 60));
    ScreencapDriver::mouse(dialog, QEvent::MouseButtonDblClick, QPoint(40, 40));
    QCOMPARE(captured.regions, (QList<QList<int>>{{101, 201, 49, 59}}));
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
    screen dialog;
    dialog.setDesktop(TestPictures::codedPixmap(400, 300));
    dialog.show();
    Captures captured(dialog);
    if (from == to) {
        ScreencapDriver::mouse(dialog, QEvent::MouseButtonPress, from);
        ScreencapDriver::mouse(dialog, QEvent::MouseButtonRelease, from);
    } else {
        ScreencapDriver::drag(dialog, from, to);
    }
    ScreencapDriver::mouse(dialog, QEvent::MouseButtonDblClick, to);
    QCOMPARE(captured.count(), 0);
    QVERIFY(dialog.isVisible());
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
    QTest::newRow("other mode") << std::optional<ScreenshotStore::RemoteScreen>({720, 1280, 0})
                                << "工程目录/demo/兼容模式/720x1280";
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
    QImage first(3, 2, QImage::Format_RGB32);
    first.fill(Qt::red);
    QImage second(5, 4, QImage::Format_RGB32);
    second.fill(Qt::blue);
    const QString dir = QStringLiteral("工程目录/demo/截图");
    QCOMPARE(ScreenshotStore::save(first, QStringLiteral("demo"), std::nullopt, 1394000000).valueOr(QString()),
             dir + QStringLiteral("/截图_1394000000.bmp"));
    QCOMPARE(ScreenshotStore::save(second, QStringLiteral("demo"), std::nullopt, 1394000000).valueOr(QString()),
             dir + QStringLiteral("/截图_1394000000_2.bmp"));
    QCOMPARE(ScreenshotStore::save(second, QStringLiteral("demo"), std::nullopt, 1394000000).valueOr(QString()),
             dir + QStringLiteral("/截图_1394000000_3.bmp"));
    QCOMPARE(ScreenshotStore::save(first, QStringLiteral("demo"), std::nullopt, 1394000001).valueOr(QString()),
             dir + QStringLiteral("/截图_1394000001.bmp"));
    QCOMPARE(QImage(dir + QStringLiteral("/截图_1394000000.bmp")).size(), QSize(3, 2));
    QCOMPARE(QImage(dir + QStringLiteral("/截图_1394000000_2.bmp")).size(), QSize(5, 4));
}

void TestScreencap::saverWritesIntoActiveProject()
{
    TestWorkspace ws;
    ws.makeProject(QStringLiteral("demo"));
    ProjectManagerWindow window;
    QCOMPARE(window.activeProject(), QStringLiteral("demo"));
    QSignalSpy rect(&window, &ProjectManagerWindow::signal_screencap_rect);
    QPixmap shot = TestPictures::codedPixmap(400, 300).copy(101, 201, 49, 59);
    window.handleScreencap(shot, 101, 201, 49, 59);
    window.handleScreencap(shot, 1, 2, 3, 4);

    QCOMPARE(rect.count(), 2);
    QCOMPARE((QList<int>{rect.at(0).at(0).toInt(), rect.at(0).at(1).toInt(), rect.at(0).at(2).toInt(), rect.at(0).at(3).toInt()}),
             (QList<int>{101, 201, 49, 59}));
    const QString dir = ws.absolute(QStringLiteral("工程目录/demo/截图"));
    const QStringList files = filesIn(dir);
    QCOMPARE(files.size(), 2); // two captures, most likely in the same second: both kept
    for (const QString &name : files) {
        QVERIFY2(QRegularExpression(QStringLiteral("^截图_\\d+(_2)?\\.bmp$")).match(name).hasMatch(), qPrintable(name));
        const QImage saved(dir + QLatin1Char('/') + name);
        QCOMPARE(saved.size(), QSize(49, 59));
        QCOMPARE(saved.pixel(0, 0), TestPictures::coded(101, 201));
        QCOMPARE(saved.pixel(48, 58), TestPictures::coded(149, 259));
    }
    const qint64 now = QDateTime::currentMSecsSinceEpoch() / 1000;
    QVERIFY(qAbs(files.first().mid(3, 10).toLongLong() - now) < 60);
}

void TestScreencap::saverWithoutActiveProject()
{
    TestWorkspace ws;
    ProjectManagerWindow window;
    QCOMPARE(window.activeProject(), QString());
    QSignalSpy rect(&window, &ProjectManagerWindow::signal_screencap_rect);
    QString title, text;
    ModalAnswerer::answerMessageBox(QMessageBox::Ok, &title, &text);
    QPixmap shot = TestPictures::codedPixmap(10, 10);
    window.handleScreencap(shot, 0, 0, 10, 10);
    QCOMPARE(title, QStringLiteral("提示"));
    QCOMPARE(text, QStringLiteral("当前未设定活动工程，无法保存截图。"));
    QCOMPARE(rect.count(), 0);
    QCOMPARE(QDir(ws.absolute(QStringLiteral("工程目录"))).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

void TestScreencap::saverReportsFailure()
{
    TestWorkspace ws;
    ws.makeProject(QStringLiteral("demo"));
    ws.writeFile(QStringLiteral("工程目录/demo/截图"), "a file where the directory should be");
    ProjectManagerWindow window;
    QSignalSpy rect(&window, &ProjectManagerWindow::signal_screencap_rect);
    QString title, text;
    ModalAnswerer::answerMessageBox(QMessageBox::Ok, &title, &text);
    QPixmap shot = TestPictures::codedPixmap(10, 10);
    window.handleScreencap(shot, 0, 0, 10, 10);
    QCOMPARE(title, QStringLiteral("提示"));
    QVERIFY2(text.startsWith(QStringLiteral("截图保存失败。")), qPrintable(text));
    QCOMPARE(rect.count(), 1);
}

void TestScreencap::rectangleCommandSavesIntoProject()
{
    TestWorkspace ws;
    ws.makeProject(QStringLiteral("demo"));
    ProjectManagerWindow window;
    window.show();
    const QPixmap desktop = TestPictures::codedPixmap(400, 300);
    screen::setDesktopGrabberForTesting([desktop]() { return desktop; });
    bool fullScreen = false;
    ModalAnswerer::whenDialog<screen>([&fullScreen](screen *dialog) {
        fullScreen = dialog->isFullScreen() && dialog->parentWidget() == mainWindow;
        ScreencapDriver::capture(*dialog, QPoint(100, 200), QPoint(150, 260));
    });
    QSignalSpy rect(&window, &ProjectManagerWindow::signal_screencap_rect);
    window.form()->screencap_rect_action->trigger();
    screen::setDesktopGrabberForTesting(nullptr);
    QVERIFY(fullScreen);
    QCOMPARE(rect.count(), 1);
    const QString dir = ws.absolute(QStringLiteral("工程目录/demo/截图"));
    const QStringList files = filesIn(dir);
    QCOMPARE(files.size(), 1);
    const QImage saved(dir + QLatin1Char('/') + files.first());
    QCOMPARE(saved.size(), QSize(49, 59));
    QCOMPARE(saved.pixel(0, 0), TestPictures::coded(101, 201));
}

QTEST_MAIN(TestScreencap)
#include "tst_screencap.moc"
