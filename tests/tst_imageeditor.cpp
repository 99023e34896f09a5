// The image editor: opening, binarising and restoring, saving with a one-time backup, its menus
// and keys, and how the main window opens it.
#include "app/ui/ProjectManagerWindow.h"
#include "editor/ui/ScriptEditor.h"
#include "editor/ui/ScriptTabs.h"
#include "project/ui/ProjectTree.h"
#include "screentools/ImageBinarizer.h"
#include "screentools/ui/ImageEditorDialog.h"
#include "support/ModalAnswerer.h"
#include "support/TestWorkspace.h"
#include "ui_ColorPickerPanel.h"
#include "ui_ImageEditorDialog.h"
#include "ui_ProjectManagerWindow.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QMenuBar>
#include <QSignalSpy>
#include <QtTest>

namespace {

const QRgb kWhite = 0xFFFFFFFF;
const QRgb kBlack = 0xFF000000;

// A 4 x 2 picture: white, near white, and the two greys either side of deviation 16 from 808080.
QImage samplePicture()
{
    QImage image(4, 2, QImage::Format_RGB32);
    image.setPixel(0, 0, kWhite);
    image.setPixel(1, 0, 0xFFFFFFFE);
    image.setPixel(2, 0, qRgb(144, 112, 128));
    image.setPixel(3, 0, qRgb(145, 128, 128));
    image.setPixel(0, 1, qRgb(0x12, 0x34, 0x56));
    image.setPixel(1, 1, kWhite);
    image.setPixel(2, 1, kBlack);
    image.setPixel(3, 1, qRgb(128, 128, 128));
    return image;
}

QString writePicture(const TestWorkspace &ws, const QString &name, const QImage &image)
{
    const QString path = ws.absolute(name);
    if (!image.save(path))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QImage shown(const ImageEditorDialog &editor)
{
    return editor.form()->labImgShow->pixmap(Qt::ReturnByValue).toImage().convertToFormat(QImage::Format_RGB32);
}

QImage binarized(QImage image, QRgb keep, QRgb fill, int deviation)
{
    ImageBinarizer::binarizeImage(image, ImageBinarizer::Settings{keep, fill, deviation});
    return image.convertToFormat(QImage::Format_RGB32);
}

bool fieldsEnabled(const ImageEditorDialog &editor)
{
    const Ui::ImageEditorDialog *ui = editor.form();
    return ui->leKeeyColor->isEnabled() && ui->leFillColor->isEnabled() && ui->leAllowDeviation->isEnabled();
}

QAction *menuAction(const ImageEditorDialog &editor, int data)
{
    for (QAction *top : editor.menus()->actions())
        for (QAction *action : top->menu()->actions())
            if (action->data().toInt() == data)
                return action;
    return nullptr;
}

} // namespace

class TestImageEditor : public QObject
{
    Q_OBJECT

private slots:
    void binarize_data();
    void binarize();
    void binarizeKeepsRowsApart();
    void parse_data();
    void parse();
    void openShowsPictureAndInfo();
    void tickBinarisesUntickRestores();
    void withoutPicture();
    void savesKeepTheFirstBackup();
    void pointerKeysAndCommands();
    void openProcedure();
    void openedFromTreeAndMenu();
};

void TestImageEditor::binarize_data()
{
    QTest::addColumn<QRgb>("pixel");
    QTest::addColumn<QRgb>("keep");
    QTest::addColumn<QRgb>("fill");
    QTest::addColumn<int>("deviation");
    QTest::addColumn<QRgb>("result");
    QTest::newRow("white kept") << kWhite << QRgb(0xFFFFFF) << QRgb(0x000000) << 0 << kWhite;
    QTest::newRow("near white filled") << QRgb(0xFFFFFFFE) << QRgb(0xFFFFFF) << QRgb(0x000000) << 0 << kBlack;
    QTest::newRow("16 away kept") << qRgb(144, 112, 128) << QRgb(0x808080) << QRgb(0) << 16 << qRgb(144, 112, 128);
    QTest::newRow("17 away filled") << qRgb(145, 128, 128) << QRgb(0x808080) << QRgb(0) << 16 << kBlack;
    QTest::newRow("10 away, deviation 10") << qRgb(118, 138, 128) << QRgb(0x808080) << QRgb(0) << 10 << qRgb(118, 138, 128);
    QTest::newRow("11 away, deviation 10") << qRgb(128, 128, 117) << QRgb(0x808080) << QRgb(0) << 10 << kBlack;
    QTest::newRow("deviation 255 keeps all") << kBlack << QRgb(0xFFFFFF) << QRgb(0x123456) << 255 << kBlack;
    QTest::newRow("fill is opaque") << QRgb(0x20123456) << QRgb(0xFFFFFF) << QRgb(0xABCDEF) << 0 << QRgb(0xFFABCDEF);
    QTest::newRow("alpha ignored, pixel kept as is") << QRgb(0x40FFFFFF) << QRgb(0xFFFFFF) << QRgb(0) << 0 << QRgb(0x40FFFFFF);
}

void TestImageEditor::binarize()
{
    QFETCH(QRgb, pixel);
    QFETCH(QRgb, keep);
    QFETCH(QRgb, fill);
    QFETCH(int, deviation);
    QFETCH(QRgb, result);
    QImage image(3, 2, QImage::Format_ARGB32);
    image.fill(pixel);
    ImageBinarizer::binarizeImage(image, ImageBinarizer::Settings{keep, fill, deviation});
    QCOMPARE(image.format(), QImage::Format_ARGB32);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            QCOMPARE(image.pixel(x, y), result);
}

void TestImageEditor::binarizeKeepsRowsApart()
{
    // A width whose rows are padded in memory, and a format that is not 32-bit.
    QImage image(5, 3, QImage::Format_RGB888);
    image.fill(Qt::white);
    image.setPixel(4, 0, qRgb(1, 2, 3));
    image.setPixel(0, 2, qRgb(1, 2, 3));
    ImageBinarizer::binarizeImage(image, ImageBinarizer::Settings{0xFFFFFF, 0x00FF00, 0});
    QCOMPARE(image.format(), QImage::Format_ARGB32);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            const bool filled = (x == 4 && y == 0) || (x == 0 && y == 2);
            QCOMPARE(image.pixel(x, y), filled ? QRgb(0xFF00FF00) : kWhite);
        }
    }
}

void TestImageEditor::parse_data()
{
    QTest::addColumn<QString>("keep");
    QTest::addColumn<QString>("fill");
    QTest::addColumn<QString>("deviation");
    QTest::addColumn<QString>("message");
    const QString keepBad = QStringLiteral("<font color=red>二值化保留颜色必须为十六进制数字</font>");
    const QString fillBad = QStringLiteral("<font color=red>二值化填充颜色必须为十六进制数字</font>");
    const QString devBad = QStringLiteral("<font color=red>允许偏差应为十进制数字类型范围0-255</font>");
    QTest::newRow("defaults") << "FFFFFF" << "000000" << "0" << QString();
    QTest::newRow("lower case, 255") << "80ff80" << "abc" << "255" << QString();
    QTest::newRow("keep GG") << "GG" << "000000" << "0" << keepBad;
    QTest::newRow("keep empty") << "" << "000000" << "0" << keepBad;
    QTest::newRow("keep beyond 32 bits") << "FFFFFFFF" << "000000" << "0" << keepBad;
    QTest::newRow("keep checked first") << "GG" << "XYZ" << "-5" << keepBad;
    QTest::newRow("fill XYZ") << "FFFFFF" << "XYZ" << "0" << fillBad;
    QTest::newRow("fill before deviation") << "FFFFFF" << "XYZ" << "256" << fillBad;
    QTest::newRow("deviation -5") << "FFFFFF" << "000000" << "-5" << devBad;
    QTest::newRow("deviation 256") << "FFFFFF" << "000000" << "256" << devBad;
    QTest::newRow("deviation hex") << "FFFFFF" << "000000" << "1A" << devBad;
}

void TestImageEditor::parse()
{
    QFETCH(QString, keep);
    QFETCH(QString, fill);
    QFETCH(QString, deviation);
    QFETCH(QString, message);
    const Result<ImageBinarizer::Settings> settings = ImageBinarizer::parse(keep, fill, deviation);
    QCOMPARE(settings.error(), message);
    if (message.isEmpty()) {
        QCOMPARE(settings->keep, QRgb(keep.toUInt(nullptr, 16)));
        QCOMPARE(settings->fill, QRgb(fill.toUInt(nullptr, 16)));
        QCOMPARE(settings->deviation, deviation.toInt());
    }
}

void TestImageEditor::openShowsPictureAndInfo()
{
    TestWorkspace ws;
    const QString path = writePicture(ws, QStringLiteral("shot.bmp"), samplePicture());
    ImageEditorDialog editor;
    QCOMPARE(editor.colorPanel()->form()->lePos->text(), QStringLiteral("(脱离远程屏幕)"));
    QCOMPARE(editor.colorPanel()->form()->leColor->text(), QStringLiteral("(无)"));
    QVERIFY(editor.form()->groupBox_3->isHidden());
    QVERIFY(editor.windowState() & Qt::WindowMaximized);

    editor.openImage(path);
    QCOMPARE(editor.windowTitle(), QStringLiteral("Kestrun图片编辑器 - ") + path);
    QCOMPARE(editor.imagePath(), path);
    QCOMPARE(editor.form()->labRR->text(), QStringLiteral("4x2"));
    // A 24-bit bitmap loads as a 32-bit picture.
    QCOMPARE(editor.form()->labColorBits->text(), QStringLiteral("32"));
    QCOMPARE(editor.form()->labImgSize->text(), QStringLiteral("32 byte"));
    QCOMPARE(editor.form()->labImgShow->geometry(), QRect(0, 0, 4, 2));
    QCOMPARE(shown(editor), samplePicture());

    // A file that does not load shows nothing, and says so.
    ws.writeFile(QStringLiteral("broken.bmp"), "BM not really");
    editor.openImage(ws.absolute(QStringLiteral("broken.bmp")));
    QCOMPARE((QStringList{editor.form()->labImgSize->text(), editor.form()->labRR->text(), editor.form()->labColorBits->text()}),
             (QStringList{"0 byte", "0x0", "0"}));
    QVERIFY(editor.form()->labImgShow->pixmap(Qt::ReturnByValue).isNull());
}

void TestImageEditor::tickBinarisesUntickRestores()
{
    TestWorkspace ws;
    const QString path = writePicture(ws, QStringLiteral("shot.bmp"), samplePicture());
    ImageEditorDialog editor;
    editor.openImage(path);
    Ui::ImageEditorDialog *ui = editor.form();
    ui->cbSetBinColor->click();
    QVERIFY(ui->cbSetBinColor->isChecked());
    QCOMPARE(ui->labErrTip->text(), QStringLiteral("<font color=green>二值化成功</font>"));
    QVERIFY(!ui->leKeeyColor->isEnabled() && !ui->leFillColor->isEnabled() && !ui->leAllowDeviation->isEnabled());
    QCOMPARE(shown(editor), binarized(samplePicture(), 0xFFFFFF, 0x000000, 0));
    QCOMPARE(QImage(path), samplePicture()); // the file is not touched

    ui->cbSetBinColor->click();
    QVERIFY(!ui->cbSetBinColor->isChecked());
    QCOMPARE(ui->labErrTip->text(), QStringLiteral("<font color=green>恢复原图成功</font>"));
    QVERIFY(fieldsEnabled(editor));
    QCOMPARE(shown(editor), samplePicture());

    // The fields are read at each tick, and the next file opens filtered.
    ui->leKeeyColor->setText(QStringLiteral("808080"));
    ui->leFillColor->setText(QStringLiteral("00FF00"));
    ui->leAllowDeviation->setText(QStringLiteral("16"));
    ui->cbSetBinColor->click();
    QCOMPARE(shown(editor), binarized(samplePicture(), 0x808080, 0x00FF00, 16));
    QImage second(3, 3, QImage::Format_RGB32);
    second.fill(qRgb(10, 20, 30));
    second.setPixel(1, 1, qRgb(128, 128, 140));
    editor.openImage(writePicture(ws, QStringLiteral("b.bmp"), second));
    QCOMPARE(shown(editor), binarized(second, 0x808080, 0x00FF00, 16));
    QCOMPARE(ui->labRR->text(), QStringLiteral("3x3"));

    // A field that does not read leaves the picture as it is.
    ui->cbSetBinColor->click();
    ui->leAllowDeviation->setText(QStringLiteral("256"));
    ui->cbSetBinColor->click();
    QCOMPARE(ui->labErrTip->text(), QStringLiteral("<font color=red>允许偏差应为十进制数字类型范围0-255</font>"));
    QVERIFY(!ui->cbSetBinColor->isChecked());
    QVERIFY(fieldsEnabled(editor));
    QCOMPARE(shown(editor), second);
}

void TestImageEditor::withoutPicture()
{
    ImageEditorDialog editor;
    editor.openImage(QString()); // as the menu command opens it
    Ui::ImageEditorDialog *ui = editor.form();
    ui->cbSetBinColor->click();
    QVERIFY(!ui->cbSetBinColor->isChecked());
    QCOMPARE(ui->labErrTip->text(), QStringLiteral("<font color=red>没有图片，无法二值化</font>"));
    QVERIFY(fieldsEnabled(editor));
    // Nothing to save, and the author is told so.
    QString title, text;
    ModalAnswerer::answerMessageBox(QMessageBox::Ok, &title, &text);
    editor.slot_menuAction(menuAction(editor, ImageEditorDialog::SaveCommand));
    QCOMPARE(title, QStringLiteral("提示"));
    QCOMPARE(text, QStringLiteral("没有可保存的图片。"));
}

void TestImageEditor::savesKeepTheFirstBackup()
{
    TestWorkspace ws;
    QDir().mkpath(ws.absolute(QStringLiteral("gone")));
    const QString path = writePicture(ws, QStringLiteral("gone/shot.bmp"), samplePicture());
    const QByteArray original = ws.readFile(QStringLiteral("gone/shot.bmp"));
    ImageEditorDialog editor;
    editor.openImage(path);
    Ui::ImageEditorDialog *ui = editor.form();
    ui->cbSetBinColor->click();
    editor.slot_menuAction(menuAction(editor, ImageEditorDialog::SaveCommand));
    QCOMPARE(ws.readFile(QStringLiteral("gone/shot.bmp.备份")), original);
    QCOMPARE(QImage(path).convertToFormat(QImage::Format_RGB32), binarized(samplePicture(), 0xFFFFFF, 0, 0));

    // Restoring reloads the file, which now holds the filtered picture.
    ui->cbSetBinColor->click();
    QCOMPARE(shown(editor), binarized(samplePicture(), 0xFFFFFF, 0, 0));

    ui->leFillColor->setText(QStringLiteral("FF0000"));
    ui->leKeeyColor->setText(QStringLiteral("000000"));
    ui->cbSetBinColor->click();
    editor.slot_menuAction(menuAction(editor, ImageEditorDialog::SaveCommand));
    QCOMPARE(ws.readFile(QStringLiteral("gone/shot.bmp.备份")), original);
    QCOMPARE(QImage(path).pixel(0, 0), qRgb(255, 0, 0));

    // Its directory gone: the save says so and writes nothing.
    QVERIFY(QDir(ws.absolute(QStringLiteral("gone"))).removeRecursively());
    QString title, text;
    ModalAnswerer::answerMessageBox(QMessageBox::Ok, &title, &text);
    editor.slot_menuAction(menuAction(editor, ImageEditorDialog::SaveCommand));
    QCOMPARE(title, QStringLiteral("提示"));
    QVERIFY2(text.contains(QStringLiteral("备份")), qPrintable(text));
    QVERIFY(!QFileInfo::exists(path));
}

void TestImageEditor::pointerKeysAndCommands()
{
    TestWorkspace ws;
    ImageEditorDialog editor;
    editor.openImage(writePicture(ws, QStringLiteral("shot.bmp"), samplePicture()));
    editor.show();
    QVERIFY(QTest::qWaitForWindowActive(&editor));
    Ui::ColorPickerPanel *ui = editor.colorPanel()->form();
    QMouseEvent move(QEvent::MouseMove, QPointF(0.4, 1.0), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(editor.form()->labImgShow, &move);
    QCOMPARE((QStringList{ui->lePos->text(), ui->leColor->text(), ui->leRed->text(), ui->leGreen->text(), ui->leBlue->text()}),
             (QStringList{"0,1", "0x123456", "18", "52", "86"}));
    QCOMPARE(ui->labRectPixsShow->pixmap(Qt::ReturnByValue).size(), QSize(120, 120));

    QMouseEvent next(QEvent::MouseMove, QPointF(1, 1), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(editor.form()->labImgShow, &next); // column 0 is no buffer's position
    QTest::keyClick(&editor, Qt::Key_2, Qt::ControlModifier);
    QCOMPARE(ui->leBufPoint2->text(), QStringLiteral("1,1"));
    QCOMPARE(ui->leBufColor2->text(), QStringLiteral("0xFFFFFF"));
    QVERIFY(!ui->labBufColorShow2->pixmap(Qt::ReturnByValue).isNull());
    QTest::keyClick(&editor, Qt::Key_6, Qt::ControlModifier);
    QCOMPARE(ui->leBufPoint6->text(), QStringLiteral("1,1"));
    QTest::keyClick(&editor, Qt::Key_Escape);
    QVERIFY(editor.isVisible());
    QTest::keyClick(&editor, Qt::Key_0, Qt::ControlModifier);
    QCOMPARE(ui->leBufPoint2->text(), QString());
    QCOMPARE(ui->leBufPoint6->text(), QString());
    QVERIFY(ui->labBufColorShow2->pixmap(Qt::ReturnByValue).isNull());

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(editor.form()->labImgShow, &leave);
    QCOMPARE(ui->lePos->text(), QStringLiteral("(脱离远程屏幕)"));
    QCOMPARE(ui->leBlue->text(), QStringLiteral("(无)"));
    // The rectangle screenshot is the main window's: asked for by a signal.
    QSignalSpy rectangle(&editor, &ImageEditorDialog::signal_rectScreencap);
    editor.slot_menuAction(menuAction(editor, ImageEditorDialog::RectScreencapCommand));
    QCOMPARE(rectangle.count(), 1);
}

void TestImageEditor::openProcedure()
{
    TestWorkspace ws;
    const QString path = writePicture(ws, QStringLiteral("shot.bmp"), samplePicture());
    ImageEditorDialog editor;
    QString caption;
    QStringList filters;
    ModalAnswerer::whenDialog<QFileDialog>([&](QFileDialog *dialog) {
        caption = dialog->windowTitle();
        filters = dialog->nameFilters();
        dialog->reject();
    });
    editor.slot_menuAction(menuAction(editor, ImageEditorDialog::OpenCommand));
    QCOMPARE(caption, QStringLiteral("Open Image"));
    QCOMPARE(filters, QStringList{QStringLiteral("位图(*.bmp)")});
    QCOMPARE(editor.openDirectory(), QString());
    QCOMPARE(editor.imagePath(), QString());

    ModalAnswerer::whenDialog<QFileDialog>([&](QFileDialog *dialog) {
        // Typed into the file name box, as an author may; done() rather than accept(), which
        // checks the name against a directory listing that may still be loading.
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(path);
        static_cast<QDialog *>(dialog)->done(QDialog::Accepted);
    });
    editor.slot_menuAction(menuAction(editor, ImageEditorDialog::OpenCommand));
    QCOMPARE(editor.imagePath(), path);
    QCOMPARE(editor.openDirectory(), path);
    QCOMPARE(shown(editor), samplePicture());

    // The next editor's dialog starts there.
    ImageEditorDialog next;
    next.setOpenDirectory(editor.openDirectory());
    QString start;
    ModalAnswerer::whenDialog<QFileDialog>([&](QFileDialog *dialog) {
        start = dialog->directory().absolutePath();
        dialog->reject();
    });
    next.slot_menuAction(menuAction(next, ImageEditorDialog::OpenCommand));
    QCOMPARE(start, ws.path());
}

void TestImageEditor::openedFromTreeAndMenu()
{
    TestWorkspace ws;
    ws.makeProject(QStringLiteral("demo"));
    const QString path = writePicture(ws, QStringLiteral("工程目录/demo/shot.bmp"), samplePicture());
    ProjectManagerWindow window;
    QTreeWidgetItem *shot = window.form()->projectTreeWidget->findItems(QStringLiteral("shot.bmp"), Qt::MatchRecursive).value(0);
    QVERIFY(shot);

    QString openedPath;
    bool modal = false;
    QImage picture;
    ModalAnswerer::whenDialog<ImageEditorDialog>([&](ImageEditorDialog *editor) {
        openedPath = editor->imagePath();
        modal = editor->isModal() && editor->parentWidget() == &window;
        picture = shown(*editor);
        editor->reject();
    });
    window.on_projectTreeWidget_itemDoubleClicked(shot, 0);
    QCOMPARE(openedPath, path);
    QVERIFY(modal);
    QCOMPARE(picture, samplePicture());

    QString title = QStringLiteral("not opened");
    ModalAnswerer::whenDialog<ImageEditorDialog>([&](ImageEditorDialog *editor) {
        title = editor->windowTitle();
        editor->reject();
    });
    window.form()->action_image_editor->trigger();
    QCOMPARE(title, QStringLiteral("Kestrun图片编辑器 - "));
}

QTEST_MAIN(TestImageEditor)
#include "tst_imageeditor.moc"
