#include "screentools/ui/ColorCodePanel.h"

#include "ui_ColorCodePanel.h"


ColorCodePanel::ColorCodePanel(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::ColorCodePanel)
{
    ui->setupUi(this);
    const auto changed = QOverload<int>::of(&QSpinBox::valueChanged);
    connect(ui->cmbCodeForm, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &ColorCodePanel::refresh);
    connect(ui->sbDeviation, changed, this, &ColorCodePanel::refresh);
    connect(ui->sbDeviation, changed, this, &ColorCodePanel::signal_deviationChanged);
    connect(ui->sbDegree, changed, this, &ColorCodePanel::refresh);
    connect(ui->sbMargin, changed, this, &ColorCodePanel::refresh);
    refresh();
}

ColorCodePanel::~ColorCodePanel()
{
    delete ui;
}

void ColorCodePanel::setPoints(const QVector<ColorPoint> &points)
{
    if (points == this->points)
        return;
    this->points = points;
    refresh();
}

void ColorCodePanel::setScreen(const QSize &screen)
{
    if (screen == this->screen)
        return;
    this->screen = screen;
    refresh();
}

void ColorCodePanel::setImageCapture(const QString &relativePath, const std::optional<QRect> &region)
{
    capture = Capture{relativePath, region};
    refresh();
}

void ColorCodePanel::setFindResult(const QString &text)
{
    ui->labFindResult->setText(text);
}

ColorCode::Options ColorCodePanel::options() const
{
    ColorCode::Options options;
    options.form = ColorCode::Form(ui->cmbCodeForm->currentIndex()); // the chooser lists them in order
    options.deviation = ui->sbDeviation->value();
    options.degree = ui->sbDegree->value();
    options.margin = ui->sbMargin->value();
    options.screen = screen;
    return options;
}

QString ColorCodePanel::colorCode() const
{
    return ColorCode::generate(points, options());
}

QString ColorCodePanel::imageCode() const
{
    return capture ? ColorCode::findImageLine(capture->relativePath, capture->region, options()) : QString();
}

void ColorCodePanel::refresh()
{
    const QString code = colorCode();
    // The code itself shows on the two buttons that hand it on.
    const QString preview = code.isEmpty() ? QString() : QStringLiteral("<pre>") + code.toHtmlEscaped() + QStringLiteral("</pre>");
    for (QPushButton *button : {ui->pbInsertCode, ui->pbCopyCode}) {
        button->setEnabled(!code.isEmpty());
        button->setToolTip(preview);
    }
    ui->pbFindInPicture->setEnabled(!points.isEmpty());
    const QString image = imageCode();
    ui->leImageCode->setText(image.trimmed());
    ui->leImageCode->setToolTip(image.trimmed());
    ui->leImageCode->setCursorPosition(0);
    ui->pbInsertImageCode->setEnabled(!image.isEmpty());
    ui->pbCopyImageCode->setEnabled(!image.isEmpty());
}

void ColorCodePanel::on_pbInsertCode_clicked()
{
    emit signal_insertText(colorCode());
}

void ColorCodePanel::on_pbCopyCode_clicked()
{
    emit signal_copyText(colorCode());
}

void ColorCodePanel::on_pbInsertImageCode_clicked()
{
    emit signal_insertText(imageCode());
}

void ColorCodePanel::on_pbCopyImageCode_clicked()
{
    emit signal_copyText(imageCode());
}

void ColorCodePanel::on_pbFindInPicture_clicked()
{
    emit signal_findInPicture();
}
