// Code from the colour buffers and from cut rectangles, the live check of the buffered points and
// the search for a colour on the picture.
#include "app/ui/DeviceSession.h"
#include "app/ui/ProjectManagerWindow.h"
#include "editor/ui/ScriptEditor.h"
#include "editor/ui/ScriptTabs.h"
#include "screentools/ColorCode.h"
#include "screentools/ColorMatch.h"
#include "screentools/ColorPicker.h"
#include "screentools/ui/ColorCodePanel.h"
#include "screentools/ui/ColorPickerPanel.h"
#include "screentools/ui/ImageEditorDialog.h"
#include "screentools/ui/MyLabel.h"
#include "screentools/ui/screen.h"
#include "support/ModalAnswerer.h"
#include "support/PickerWindow.h"
#include "support/ScriptProblems.h"
#include "support/ScreencapDriver.h"
#include "support/TestPictures.h"
#include "support/TestWorkspace.h"

#include <QLabel>
#include <QPushButton>
#include <QTextDocumentFragment>
#include <QtTest>

Q_DECLARE_METATYPE(QVector<ColorPoint>)
Q_DECLARE_METATYPE(ColorCode::Form)

namespace {

const QString kBody = QStringLiteral(" then\r\n\t--此处写入当条件成立时要执行的代码\r\n\r\nend\r\n");

} // namespace

class TestColorCode : public QObject
{
    Q_OBJECT

private slots:
    void generatedCode_data();
    void generatedCode();
    void imageLine_data();
    void imageLine();
    void pickedPointsAreDevicePositions_data();
    void pickedPointsAreDevicePositions();
    void liveCheckFollowsTheFrame();
    void exactSearch_data();
    void exactSearch();
    void searchMarksStayOutOfCaptures();
    void captureCodeGoesIntoTheScript();
};

void TestColorCode::generatedCode_data()
{
    QTest::addColumn<QVector<ColorPoint>>("points");
    QTest::addColumn<ColorCode::Form>("form");
    QTest::addColumn<int>("value"); // the deviation, or the degree
    QTest::addColumn<QString>("expected");
    using F = ColorCode::Form;
    const ColorPoint green{1, {10, 20}, 0x00FF00};
    const ColorPoint blue{3, {30, 5}, 0x0000FF};
    const ColorPoint odd{2, {10, 20}, 0x123456};
    QTest::newRow("one point") << QVector<ColorPoint>{green} << F::Exact << 0
                               << "if getColor(10,20) == 0x00FF00" + kBody;
    QTest::newRow("rows 1 and 3") << QVector<ColorPoint>{green, blue} << F::Exact << 0
                                  << "if getColor(10,20) == 0x00FF00\r\n\tand getColor(30,5) == 0x0000FF" + kBody;
    QTest::newRow("deviation 5") << QVector<ColorPoint>{odd, blue} << F::Tolerant << 5
                                 << "local r2,g2,b2 = getColorRGB(10,20) -- 0x123456\r\n"
                                    "local r3,g3,b3 = getColorRGB(30,5) -- 0x0000FF\r\n"
                                    "if math.abs(r2-18) <= 5 and math.abs(g2-52) <= 5 and math.abs(b2-86) <= 5\r\n"
                                    "\tand math.abs(r3) <= 5 and math.abs(g3) <= 5 and math.abs(b3-255) <= 5"
                                        + kBody;
    // Grown by 20 over the top left corner of the screen: kept on it.
    QTest::newRow("region at the top left") << QVector<ColorPoint>{green, blue} << F::Region << 0
                                            << "-- 其余各点相对第1点的偏移 {dx,dy,颜色}：\r\n-- {\r\n"
                                               "--     {20,-15,0x0000FF}, -- 第3点\r\n-- }\r\n"
                                               "local x,y = findColor(0x00FF00,0,0,50,40)\r\n";
    QTest::newRow("degree 80 at the bottom right") << QVector<ColorPoint>{{1, {715, 1275}, 0x000001}} << F::FuzzyRegion << 80
                                                   << "local x,y = findColorFuzzy(0x000001,80,695,1255,719,1279)\r\n";
    QTest::newRow("no points") << QVector<ColorPoint>{} << F::Exact << 0 << QString();
}

void TestColorCode::generatedCode()
{
    QFETCH(QVector<ColorPoint>, points);
    QFETCH(ColorCode::Form, form);
    QFETCH(int, value);
    QFETCH(QString, expected);
    ColorCode::Options options;
    options.form = form;
    options.deviation = value;
    options.degree = value;
    options.screen = QSize(720, 1280);
    const QString code = ColorCode::generate(points, options);
    QCOMPARE(code, expected);
    QCOMPARE(scriptProblems(code.toUtf8()), QStringList());
}

void TestColorCode::imageLine_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QRect>("region"); // empty: not cut from the picture
    QTest::addColumn<QString>("expected");
    const QString project = QStringLiteral("工程目录/演示");
    QTest::newRow("nested, Chinese") << project + "/优化模式/720x1280/截图_1394000000.bmp" << QRect(100, 200, 50, 60)
                                     << "local flag,x,y = findImageFuzzy(\"优化模式/720x1280/截图_1394000000.bmp\",90,80,180,169,279)\r\n";
    QTest::newRow("at the edge") << project + "/图片/按钮/确 定.bmp" << QRect(700, 10, 20, 20)
                                 << "local flag,x,y = findImageFuzzy(\"图片/按钮/确 定.bmp\",90,680,0,719,49)\r\n";
    QTest::newRow("quote in the name") << project + "/a\"b\\c.bmp" << QRect()
                                       << "local flag,x,y = findImageFuzzy(\"a\\\"b\\\\c.bmp\",90)\r\n";
    QTest::newRow("outside the project") << QStringLiteral("工程目录/其他/a.bmp") << QRect() << QString();
    QTest::newRow("the project itself") << project << QRect() << QString();
}

void TestColorCode::imageLine()
{
    QFETCH(QString, file);
    QFETCH(QRect, region);
    QFETCH(QString, expected);
    const Result<QString> relative = ColorCode::projectRelativePath(QStringLiteral("工程目录/演示/"), file);
    QCOMPARE(relative.ok(), !expected.isEmpty());
    if (!relative)
        return;
    ColorCode::Options options;
    options.screen = QSize(720, 1280);
    const QString line = ColorCode::findImageLine(*relative, region.isEmpty() ? std::nullopt : std::optional<QRect>(region), options);
    QCOMPARE(line, expected);
    QCOMPARE(scriptProblems(line.toUtf8()), QStringList());
}

void TestColorCode::pickedPointsAreDevicePositions_data()
{
    QTest::addColumn<int>("quarterTurns");
    QTest::addColumn<QPoint>("device"); // of shown (30, 40) on a 100 x 200 frame
    QTest::newRow("upright") << 0 << QPoint(30, 40);
    QTest::newRow("right") << 1 << QPoint(40, 169);
    QTest::newRow("upside down") << 2 << QPoint(69, 159);
    QTest::newRow("left") << 3 << QPoint(59, 30);
}

// A turned picture is picked where it is shown; the code and the check use where the device
// has that pixel, and the search and the cut regions map the same way.
void TestColorCode::pickedPointsAreDevicePositions()
{
    QFETCH(int, quarterTurns);
    QFETCH(QPoint, device);
    const QImage frame = TestPictures::codedPixmap(100, 200).toImage();
    PickerWindow w(frame, quarterTurns);
    w.panel->setColorBuffer(30, 40, 2);
    QCOMPARE(w.panel->bufferPoints(), (QVector<ColorPoint>{{2, device, TestPictures::coded(device.x(), device.y()) & 0xFFFFFF}}));
    QVERIFY(w.check(2).contains(QStringLiteral("=✓")));

    // A capture over shown pixels (30, 40) … (32, 43) names the same device pixels.
    w.panel->slot_screencapSaved(QStringLiteral("a.bmp"), QRect(w.picture->mapToGlobal(QPoint(30, 40)), QSize(3, 4)));
    const QRect cut = ShownPicture(frame, quarterTurns).sourceRect(QRect(30, 40, 3, 4));
    QVERIFY(cut.contains(device));
    ColorCode::Options options = w.panel->codePanel()->options();
    QCOMPARE(w.panel->codePanel()->imageCode(), ColorCode::findImageLine(QStringLiteral("a.bmp"), cut, options));
}

void TestColorCode::liveCheckFollowsTheFrame()
{
    QImage frame(50, 50, QImage::Format_RGB32);
    frame.fill(0x102030);
    PickerWindow w(frame, 0);
    w.panel->setColorBuffer(5, 5, 1);
    w.panel->setColorBuffer(9, 9, 3);
    QCOMPARE(w.check(1), w.check(3));
    QVERIFY(w.check(2).isEmpty()); // an empty row is no point
    QCOMPARE(w.panel->bufferPoints().size(), 2);

    // One point changes by 3 in blue, then by 20: still within d = 16, then not.
    for (const QRgb now : {0x102033u, 0x102044u}) {
        QImage next = frame.copy();
        next.setPixel(9, 9, now);
        w.show(next, 0);
        w.panel->pictureChanged();
        const QString expected = now == 0x102033u ? QStringLiteral("=✗ ≈✓ 0x102033") : QStringLiteral("=✗ ≈✗ 0x102044");
        QTRY_COMPARE_WITH_TIMEOUT(QTextDocumentFragment::fromHtml(w.check(3)).toPlainText(), expected, 1000);
        QCOMPARE(QTextDocumentFragment::fromHtml(w.check(1)).toPlainText(), QStringLiteral("=✓ ≈✓"));
    }
}

void TestColorCode::exactSearch_data()
{
    QTest::addColumn<int>("format"); // QImage::Format
    QTest::addColumn<QRect>("region");
    QTest::addColumn<int>("kept");
    QTest::addColumn<qint64>("count");
    QTest::addColumn<QVector<QPoint>>("first");
    // Hits at (2, 1), (7, 1), (4, 3), (9, 9) on a 10 x 10 picture.
    const QVector<QPoint> all{{2, 1}, {7, 1}, {4, 3}, {9, 9}};
    for (const auto format : {QImage::Format_RGB32, QImage::Format_RGB888}) {
        const QByteArray name = format == QImage::Format_RGB32 ? "32-bit" : "24-bit";
        QTest::newRow(name + ", whole picture") << int(format) << QRect(0, 0, 10, 10) << 1000 << qint64(4) << all;
        QTest::newRow(name + ", region edges") << int(format) << QRect(4, 1, 4, 3) << 1000 << qint64(2) << QVector<QPoint>{{7, 1}, {4, 3}};
        QTest::newRow(name + ", no hit") << int(format) << QRect(0, 4, 9, 6) << 1000 << qint64(0) << QVector<QPoint>{};
        QTest::newRow(name + ", beyond the picture") << int(format) << QRect(5, 5, 100, 100) << 1000 << qint64(1) << QVector<QPoint>{{9, 9}};
        QTest::newRow(name + ", capped") << int(format) << QRect(0, 0, 10, 10) << 3 << qint64(4) << all.mid(0, 3);
    }
}

void TestColorCode::exactSearch()
{
    QFETCH(int, format);
    QFETCH(QRect, region);
    QFETCH(int, kept);
    QFETCH(qint64, count);
    QFETCH(QVector<QPoint>, first);
    QImage picture(10, 10, QImage::Format_RGB32);
    picture.fill(0x00FF01); // one off in blue: no hit
    for (const QPoint &p : {QPoint(2, 1), QPoint(7, 1), QPoint(4, 3), QPoint(9, 9)})
        picture.setPixel(p, 0xFF00FF00);
    const ColorMatch::Hits hits = ColorMatch::findExact(picture.convertToFormat(QImage::Format(format)), 0x00FF00, region, kept);
    QCOMPARE(hits.count, count);
    QCOMPARE(hits.first, first);
}

// The marks are drawn over the picture: not in it, not in a desktop grab, and gone with a key.
void TestColorCode::searchMarksStayOutOfCaptures()
{
    QImage frame(60, 60, QImage::Format_RGB32);
    frame.fill(0x000000);
    frame.setPixel(30, 30, 0xFFFF0000);
    PickerWindow w(frame, 0);
    w.panel->setColorBuffer(30, 30, 1);
    w.panel->findInPicture();
    QTest::mouseClick(w.picture, Qt::LeftButton, {}, QPoint(5, 5)); // a click: the whole picture
    QVERIFY(w.picture->hasMarks());
    QVERIFY(w.window.findChild<QLabel *>("labFindResult")->text().contains(QStringLiteral("找到1处")));
    QCOMPARE(w.picture->shownPicture().toImage().pixel(28, 30), 0xFF000000u);
    QVERIFY(w.picture->grab().toImage().pixel(28, 30) != 0xFF000000u); // the ring shows on screen

    screen::setDesktopGrabberForTesting([&w]() { return w.picture->grab(); });
    const QImage grabbed = screen::grabDesktop().toImage();
    screen::setDesktopGrabberForTesting({});
    QCOMPARE(grabbed.pixel(28, 30), 0xFF000000u);
    QVERIFY(w.picture->hasMarks()); // back on screen after the grab

    w.panel->endSearch();
    QVERIFY(!w.picture->hasMarks());
}

// From the image editor: a rectangle capture is saved into the active project, its line is
// offered with the file's path there, and inserting it writes it into the current script.
void TestColorCode::captureCodeGoesIntoTheScript()
{
    TestWorkspace ws;
    const QString project = ws.makeProject(QStringLiteral("演示"));
    ProjectManagerWindow window;
    window.show();
    window.openScript(project + QStringLiteral("/main.script"));
    const QPixmap desktop = TestPictures::codedPixmap(400, 300);
    screen::setDesktopGrabberForTesting([desktop]() { return desktop; });
    QSignalSpy saved(&window.device(), &DeviceSession::signal_rectScreencapSaved);
    QString offered;
    ModalAnswerer::whenDialog<ImageEditorDialog>([&offered](ImageEditorDialog *editor) {
        ModalAnswerer::whenDialog<screen>([](screen *dialog) { ScreencapDriver::capture(*dialog, QPoint(100, 200), QPoint(150, 260)); });
        emit editor->signal_rectScreencap();
        offered = editor->colorPanel()->codePanel()->imageCode();
        editor->findChild<QPushButton *>("pbInsertImageCode")->click();
        editor->reject();
    });
    window.device().openImageEditor(QString()); // no picture: the cut lies on none
    screen::setDesktopGrabberForTesting(nullptr);

    QCOMPARE(saved.count(), 1);
    QCOMPARE(saved.first().at(1).toRect(), QRect(101, 201, 49, 59));
    const QString path = saved.first().at(0).toString();
    QVERIFY2(path.startsWith(QStringLiteral("截图/截图_")) && QFileInfo::exists(ws.absolute("工程目录/演示/" + path)), qPrintable(path));
    QCOMPARE(offered, QStringLiteral("local flag,x,y = findImageFuzzy(\"%1\",90)\r\n").arg(path));
    QVERIFY(window.scripts().current()->text().startsWith(offered));
}

QTEST_MAIN(TestColorCode)
#include "tst_colorcode.moc"
