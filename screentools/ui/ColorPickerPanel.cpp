#include "screentools/ui/ColorPickerPanel.h"

#include <QLabel>
#include <QLineEdit>

namespace {

template<typename T>
T *widget(QWidget *form, const QString &name)
{
    T *found = form->findChild<T *>(name);
    if (!found)
        qFatal("ColorPickerPanel: the form has no %s", qPrintable(name));
    return found;
}

void setTexts(QLineEdit *position, QLineEdit *color, QLineEdit *red, QLineEdit *green, QLineEdit *blue,
              const ColorPicker::Texts &texts)
{
    position->setText(texts.position);
    color->setText(texts.color);
    red->setText(texts.red);
    green->setText(texts.green);
    blue->setText(texts.blue);
}

void setPicture(QLabel *label, const QImage &image)
{
    if (image.isNull())
        label->clear();
    else
        label->setPixmap(QPixmap::fromImage(image));
}

} // namespace

ColorPickerPanel::ColorPickerPanel(QWidget *form, QLabel *picture)
    : picture(picture)
    , lePos(widget<QLineEdit>(form, QStringLiteral("lePos")))
    , leColor(widget<QLineEdit>(form, QStringLiteral("leColor")))
    , leRed(widget<QLineEdit>(form, QStringLiteral("leRed")))
    , leGreen(widget<QLineEdit>(form, QStringLiteral("leGreen")))
    , leBlue(widget<QLineEdit>(form, QStringLiteral("leBlue")))
    , labColorShow(widget<QLabel>(form, QStringLiteral("labColorShow")))
    , labRectPixsShow(widget<QLabel>(form, QStringLiteral("labRectPixsShow")))
{
    for (int i = 0; i < kBuffers; ++i) {
        const QString n = QString::number(i + 1);
        rows[i] = Row{widget<QLineEdit>(form, QStringLiteral("leBufPoint") + n),
                      widget<QLineEdit>(form, QStringLiteral("leBufColor") + n),
                      widget<QLineEdit>(form, QStringLiteral("leBufR") + n),
                      widget<QLineEdit>(form, QStringLiteral("leBufG") + n),
                      widget<QLineEdit>(form, QStringLiteral("leBufB") + n),
                      widget<QLabel>(form, QStringLiteral("labBufColorShow") + n)};
    }
}

void ColorPickerPanel::pointerMoved(int x, int y, bool swapPosition)
{
    const ColorPicker::Readout readout =
        ColorPicker::readout(picture->pixmap(Qt::ReturnByValue), x, y, swapPosition);
    setTexts(lePos, leColor, leRed, leGreen, leBlue, readout.texts);
    setPicture(labColorShow, readout.swatch);
    labRectPixsShow->setPixmap(QPixmap::fromImage(readout.magnifier));
    lastX = x;
    lastY = y;
}

void ColorPickerPanel::pointerLeft()
{
    setTexts(lePos, leColor, leRed, leGreen, leBlue, ColorPicker::leftTexts());
}

void ColorPickerPanel::setColorBuffer(int x, int y, int n)
{
    if (n < 1 || n > kBuffers)
        return;
    const ColorPicker::BufferRow row = ColorPicker::bufferRow(picture->pixmap(Qt::ReturnByValue), x, y);
    const Row &widgets = rows[n - 1];
    setTexts(widgets.point, widgets.color, widgets.red, widgets.green, widgets.blue, row.texts);
    setPicture(widgets.swatch, row.swatch);
}

void ColorPickerPanel::clearColorBuffers()
{
    for (int n = 1; n <= kBuffers; ++n)
        setColorBuffer(-1, -1, n);
}
