#include "screentools/ui/ColorPickerPanel.h"

#include "screentools/ColorPicker.h"
#include "screentools/ui/MyLabel.h"
#include "ui_ColorPickerPanel.h"

namespace {

void setTexts(const std::array<QLineEdit *, 5> &fields, const ColorPicker::Texts &texts)
{
    const QString *values[] = {&texts.position, &texts.color, &texts.red, &texts.green, &texts.blue};
    for (size_t i = 0; i < fields.size(); ++i)
        fields[i]->setText(*values[i]);
}

void showImage(QLabel *label, const QImage &image)
{
    if (image.isNull())
        label->clear();
    else
        label->setPixmap(QPixmap::fromImage(image));
}

} // namespace

ColorPickerPanel::ColorPickerPanel(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::ColorPickerPanel)
{
    ui->setupUi(this);
    rows = {{{{ui->leBufPoint1, ui->leBufColor1, ui->leBufR1, ui->leBufG1, ui->leBufB1}, ui->labBufColorShow1},
             {{ui->leBufPoint2, ui->leBufColor2, ui->leBufR2, ui->leBufG2, ui->leBufB2}, ui->labBufColorShow2},
             {{ui->leBufPoint3, ui->leBufColor3, ui->leBufR3, ui->leBufG3, ui->leBufB3}, ui->labBufColorShow3},
             {{ui->leBufPoint4, ui->leBufColor4, ui->leBufR4, ui->leBufG4, ui->leBufB4}, ui->labBufColorShow4},
             {{ui->leBufPoint5, ui->leBufColor5, ui->leBufR5, ui->leBufG5, ui->leBufB5}, ui->labBufColorShow5},
             {{ui->leBufPoint6, ui->leBufColor6, ui->leBufR6, ui->leBufG6, ui->leBufB6}, ui->labBufColorShow6}}};
}

ColorPickerPanel::~ColorPickerPanel()
{
    delete ui;
}

void ColorPickerPanel::setPicture(MyLabel *picture)
{
    this->picture = picture;
}

void ColorPickerPanel::addWindowGroup(QWidget *group)
{
    ui->windowGroupsLayout->addWidget(group);
}

QString ColorPickerPanel::readoutTitle() const
{
    return ui->groupBox->title();
}

void ColorPickerPanel::setReadoutTitle(const QString &title)
{
    ui->groupBox->setTitle(title);
}

bool ColorPickerPanel::isShortcutHintShown() const
{
    return !ui->labColorBits_2->isHidden();
}

void ColorPickerPanel::setShortcutHintShown(bool shown)
{
    ui->labColorBits_2->setHidden(!shown);
}

void ColorPickerPanel::pointerMoved(int x, int y, bool swapPosition)
{
    const ColorPicker::Readout readout =
        ColorPicker::readout(picture->shownPicture(), x, y, swapPosition);
    setTexts({ui->lePos, ui->leColor, ui->leRed, ui->leGreen, ui->leBlue}, readout.texts);
    showImage(ui->labColorShow, readout.swatch);
    ui->labRectPixsShow->setPixmap(QPixmap::fromImage(readout.magnifier));
    lastX = x;
    lastY = y;
}

void ColorPickerPanel::pointerLeft()
{
    setTexts({ui->lePos, ui->leColor, ui->leRed, ui->leGreen, ui->leBlue}, ColorPicker::leftTexts());
}

void ColorPickerPanel::setPositionText(const QString &text)
{
    ui->lePos->setText(text);
}

void ColorPickerPanel::setColorBuffer(int x, int y, int n)
{
    if (n < 1 || n > kBuffers)
        return;
    const ColorPicker::BufferRow row = ColorPicker::bufferRow(picture->shownPicture(), x, y);
    setTexts(rows[size_t(n - 1)].texts, row.texts);
    showImage(rows[size_t(n - 1)].swatch, row.swatch);
}

void ColorPickerPanel::clearColorBuffers()
{
    for (int n = 1; n <= kBuffers; ++n)
        setColorBuffer(-1, -1, n);
}
