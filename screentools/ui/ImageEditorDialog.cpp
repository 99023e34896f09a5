#include "screentools/ui/ImageEditorDialog.h"

#include "common/ui/Notice.h"
#include "screentools/ui/ColorPickerPanel.h"
#include "screentools/ImageBinarizer.h"
#include "screentools/ImageFileSaver.h"
#include "ui_ImageEditorDialog.h"

#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>


namespace {

struct MenuEntry
{
    const char *menu;
    const char *text;
    const char *shortcut;
    int data;
};

const MenuEntry kMenuEntries[] = {
    {"&文件", "&打开", "Ctrl+O", ImageEditorDialog::OpenCommand},
    {"&文件", "&保存", "Ctrl+S", ImageEditorDialog::SaveCommand},
    {"&截图", "&矩形截图", "Ctrl+R", ImageEditorDialog::RectScreencapCommand},
    {"&取色", "&保存当前指针颜色到缓存1", "Ctrl+1", ImageEditorDialog::SaveColor1Command},
    {"&取色", "&保存当前指针颜色到缓存2", "Ctrl+2", ImageEditorDialog::SaveColor1Command + 1},
    {"&取色", "&保存当前指针颜色到缓存3", "Ctrl+3", ImageEditorDialog::SaveColor1Command + 2},
    {"&取色", "&保存当前指针颜色到缓存4", "Ctrl+4", ImageEditorDialog::SaveColor1Command + 3},
    {"&取色", "&保存当前指针颜色到缓存5", "Ctrl+5", ImageEditorDialog::SaveColor1Command + 4},
    {"&取色", "&保存当前指针颜色到缓存6", "Ctrl+6", ImageEditorDialog::SaveColor1Command + 5},
    {"&取色", "&情况颜色缓存", "Ctrl+0", ImageEditorDialog::ClearColorsCommand},
};

} // namespace

ImageEditorDialog::ImageEditorDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::ImageEditorDialog)
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint);
    setWindowState(Qt::WindowMaximized);
    ui->groupBox_3->hide();

    menuBar = new QMenuBar(this);
    QMenu *menu = nullptr;
    for (const MenuEntry &entry : kMenuEntries) {
        const QString title = QString::fromUtf8(entry.menu);
        if (!menu || menu->title() != title) {
            menu = menuBar->addMenu(title);
            connect(menu, &QMenu::triggered, this, &ImageEditorDialog::slot_menuAction);
        }
        QAction *action = menu->addAction(QString::fromUtf8(entry.text));
        action->setShortcut(QKeySequence(QString::fromLatin1(entry.shortcut)));
        action->setData(entry.data);
    }
    layout()->setMenuBar(menuBar);

    ui->colorPanel->setPicture(ui->labImgShow);
    ui->colorPanel->addWindowGroup(ui->groupBox_2);
    connect(ui->labImgShow, &MyLabel::signal_mouseMove, this, &ImageEditorDialog::slot_mouseMoveInImage);
    connect(ui->labImgShow, &MyLabel::signal_mouseLeave, this, &ImageEditorDialog::slot_mouseLeaveInImage);
    ui->colorPanel->pointerLeft();
}

ImageEditorDialog::~ImageEditorDialog()
{
    delete ui;
}

ColorPickerPanel *ImageEditorDialog::colorPanel() const
{
    return ui->colorPanel;
}

void ImageEditorDialog::openImage(const QString &path)
{
    this->path = path;
    QImage image;
    if (!path.isEmpty())
        image.load(path);
    ui->labImgShow->setGeometry(0, 0, image.width(), image.height());
    const qint64 bytes = qint64(image.width()) * image.height() * (image.depth() / 8);
    ui->labImgSize->setText(QString::number(bytes) + QStringLiteral(" byte"));
    ui->labRR->setText(QString::asprintf("%dx%d", image.width(), image.height()));
    ui->labColorBits->setText(QString::number(image.depth()));
    image = image.convertToFormat(QImage::Format_ARGB32);
    setWindowTitle(QStringLiteral("Kestrun图片编辑器 - ") + path);
    ui->labImgShow->setPixmap(QPixmap::fromImage(image));
    if (ui->cbSetBinColor->isChecked())
        binarizeImage();
    else
        ui->colorPanel->pictureChanged();
}

void ImageEditorDialog::on_bpOpen_clicked()
{
    const QString file = QFileDialog::getOpenFileName(this, QStringLiteral("Open Image"), lastChosen,
                                                      QStringLiteral("位图(*.bmp)"));
    if (file.isEmpty())
        return;
    openImage(file);
    lastChosen = file;
}

void ImageEditorDialog::slot_screencap_rect(int, int, int, int) {}

void ImageEditorDialog::slot_mouseMoveInImage(int x, int y)
{
    ui->colorPanel->pointerMoved(x, y);
}

void ImageEditorDialog::slot_mouseLeaveInImage()
{
    ui->colorPanel->pointerLeft();
}

void ImageEditorDialog::slot_menuAction(QAction *action)
{
    const int command = action->data().toInt();
    if (command >= SaveColor1Command && command < SaveColor1Command + ColorPickerPanel::kBuffers) {
        ui->colorPanel->saveColor(command - SaveColor1Command + 1);
        return;
    }
    switch (command) {
    case OpenCommand:
        on_bpOpen_clicked();
        break;
    case SaveCommand:
        saveImage();
        break;
    case RectScreencapCommand:
        emit signal_rectScreencap();
        break;
    case ClearColorsCommand:
        ui->colorPanel->clearColorBuffers();
        break;
    default:
        break;
    }
}

void ImageEditorDialog::on_cbSetBinColor_clicked(bool checked)
{
    if (!checked) {
        openImage(path); // back to the file as it is on disk
        setFilterFieldsEnabled(true);
        ui->labErrTip->setText(QStringLiteral("<font color=green>恢复原图成功</font>"));
        return;
    }
    if (ui->labImgShow->pixmap(Qt::ReturnByValue).isNull()) {
        ui->cbSetBinColor->setChecked(false);
        ui->labErrTip->setText(QStringLiteral("<font color=red>没有图片，无法二值化</font>"));
        return;
    }
    const Result<ImageBinarizer::Settings> settings = ImageBinarizer::parse(
        ui->leKeeyColor->text(), ui->leFillColor->text(), ui->leAllowDeviation->text());
    if (!settings) {
        ui->cbSetBinColor->setChecked(false);
        ui->labErrTip->setText(settings.error());
        return;
    }
    ui->labErrTip->setText(QStringLiteral("<font color=green>二值化成功</font>"));
    setFilterFieldsEnabled(false);
    binarizeImage();
}

void ImageEditorDialog::setFilterFieldsEnabled(bool enabled)
{
    ui->leKeeyColor->setEnabled(enabled);
    ui->leFillColor->setEnabled(enabled);
    ui->leAllowDeviation->setEnabled(enabled);
}

void ImageEditorDialog::binarizeImage()
{
    const Result<ImageBinarizer::Settings> settings = ImageBinarizer::parse(
        ui->leKeeyColor->text(), ui->leFillColor->text(), ui->leAllowDeviation->text());
    if (!settings)
        return; // the box is only ticked with valid fields, which are then locked
    QImage image = ui->labImgShow->pixmap(Qt::ReturnByValue).toImage();
    if (image.isNull())
        return;
    ImageBinarizer::binarizeImage(image, *settings);
    ui->labImgShow->setPixmap(QPixmap::fromImage(image));
    ui->colorPanel->pictureChanged();
}

void ImageEditorDialog::saveImage()
{
    const Status saved = ImageFileSaver::saveWithBackup(ui->labImgShow->pixmap(Qt::ReturnByValue).toImage(), path);
    if (!saved)
        showNotice(this, saved.error());
}

// Escape does not close the editor; any key takes the search marks away.
void ImageEditorDialog::keyPressEvent(QKeyEvent *)
{
    ui->colorPanel->endSearch();
}
