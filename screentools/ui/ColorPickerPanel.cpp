#include "screentools/ui/ColorPickerPanel.h"

#include "screentools/ColorMatch.h"
#include "screentools/ColorPicker.h"
#include "screentools/ui/ColorCodePanel.h"
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

// "=" exactly the buffered colour, "≈" every channel within the deviation; the colour there
// now when it is not the same.
QString checkText(const ColorMatch::Verdict &verdict)
{
    if (!verdict.onPicture)
        return QStringLiteral("<font color=gray>不在画面上</font>");
    const auto mark = [](const QString &sign, bool holds) {
        return QStringLiteral("<font color=%1>%2%3</font>")
            .arg(holds ? QStringLiteral("green") : QStringLiteral("red"), sign,
                 holds ? QStringLiteral("✓") : QStringLiteral("✗"));
    };
    QString text = mark(QStringLiteral("="), verdict.exact) + QLatin1Char(' ') + mark(QStringLiteral("≈"), verdict.close);
    if (!verdict.exact)
        text += QStringLiteral(" <font color=red>") + ColorCode::colorLiteral(verdict.current) + QStringLiteral("</font>");
    return text;
}

void setTextIfChanged(QLabel *label, const QString &text)
{
    if (label->text() != text)
        label->setText(text);
}

} // namespace

ColorPickerPanel::ColorPickerPanel(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::ColorPickerPanel)
{
    ui->setupUi(this);
    rows = {{{{ui->leBufPoint1, ui->leBufColor1, ui->leBufR1, ui->leBufG1, ui->leBufB1}, ui->labBufColorShow1, ui->labBufCheck1},
             {{ui->leBufPoint2, ui->leBufColor2, ui->leBufR2, ui->leBufG2, ui->leBufB2}, ui->labBufColorShow2, ui->labBufCheck2},
             {{ui->leBufPoint3, ui->leBufColor3, ui->leBufR3, ui->leBufG3, ui->leBufB3}, ui->labBufColorShow3, ui->labBufCheck3},
             {{ui->leBufPoint4, ui->leBufColor4, ui->leBufR4, ui->leBufG4, ui->leBufB4}, ui->labBufColorShow4, ui->labBufCheck4},
             {{ui->leBufPoint5, ui->leBufColor5, ui->leBufR5, ui->leBufG5, ui->leBufB5}, ui->labBufColorShow5, ui->labBufCheck5},
             {{ui->leBufPoint6, ui->leBufColor6, ui->leBufR6, ui->leBufG6, ui->leBufB6}, ui->labBufColorShow6, ui->labBufCheck6}}};
    // A check's text changes with every frame that changes its point: at a fixed size it is
    // redrawn alone, without laying out the panel again.
    for (const Row &row : rows)
        row.check->setFixedSize(row.check->minimumWidth(), row.texts[0]->sizeHint().height());
    // However narrow the window, a row's position and colour stay whole.
    const QFontMetrics metrics = ui->leBufPoint1->fontMetrics();
    const auto room = [&metrics](const QString &widest) {
        return metrics.horizontalAdvance(widest) + 2 * metrics.averageCharWidth();
    };
    for (const Row &row : rows) {
        row.texts[0]->setMinimumWidth(room(QStringLiteral("0000,0000")));
        row.texts[1]->setMinimumWidth(room(QStringLiteral("0xWWWWWW")));
    }
    deviation = ui->codePanel->options().deviation;
    checkTimer.setSingleShot(true);
    connect(&checkTimer, &QTimer::timeout, this, &ColorPickerPanel::checkPoints);
    connect(ui->codePanel, &ColorCodePanel::signal_deviationChanged, this, [this](int value) {
        deviation = value;
        checkPoints();
    });
    connect(ui->codePanel, &ColorCodePanel::signal_findInPicture, this, &ColorPickerPanel::findInPicture);
    connect(ui->codePanel, &ColorCodePanel::signal_insertText, this, &ColorPickerPanel::signal_insertText);
    connect(ui->codePanel, &ColorCodePanel::signal_copyText, this, &ColorPickerPanel::signal_copyText);
}

ColorPickerPanel::~ColorPickerPanel()
{
    delete ui;
}

void ColorPickerPanel::setPicture(MyLabel *picture)
{
    this->picture = picture;
    connect(picture, &MyLabel::signal_regionDragged, this, &ColorPickerPanel::searchRegion);
}

ColorCodePanel *ColorPickerPanel::codePanel() const
{
    return ui->codePanel;
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

void ColorPickerPanel::pointerMoved(int x, int y)
{
    const ColorPicker::Readout readout = ColorPicker::readout(picture->shownPicture(), x, y);
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
    points[size_t(n - 1)] = row.point;
    if (row.point)
        points[size_t(n - 1)]->row = n;
    const QVector<ColorPoint> filled = bufferPoints();
    ui->codePanel->setPoints(filled);
    if (filled.isEmpty())
        endSearch(); // nothing buffered is looked for any more
    checkPoints();
}

void ColorPickerPanel::clearColorBuffers()
{
    for (int n = 1; n <= kBuffers; ++n)
        setColorBuffer(-1, -1, n);
}

QVector<ColorPoint> ColorPickerPanel::bufferPoints() const
{
    QVector<ColorPoint> filled;
    for (const std::optional<ColorPoint> &point : points) {
        if (point)
            filled.append(*point);
    }
    return filled;
}

// ---- The picture changes -------------------------------------------------------------------

void ColorPickerPanel::pictureChanged()
{
    const ShownPicture shown = picture->shownPicture();
    ui->codePanel->setScreen(shown.source().size());
    if (search)
        runSearch(shown);
    scheduleCheck();
}

// Frames come faster than anyone reads a mark: the check runs at most every kCheckInterval, and
// the last picture is always checked in the end.
void ColorPickerPanel::scheduleCheck()
{
    if (checkTimer.isActive())
        return;
    const qint64 since = lastCheck.isValid() ? lastCheck.elapsed() : qint64(kCheckInterval);
    if (since >= kCheckInterval)
        checkPoints();
    else
        checkTimer.start(int(kCheckInterval - since));
}

void ColorPickerPanel::checkPoints()
{
    if (!picture)
        return;
    checkTimer.stop();
    lastCheck.start();
    const QImage source = picture->shownPicture().source();
    for (size_t i = 0; i < points.size(); ++i) {
        const QString text = points[i] ? checkText(ColorMatch::check(source, *points[i], deviation)) : QString();
        setTextIfChanged(rows[i].check, text);
    }
}

// ---- Where the first buffered colour occurs ------------------------------------------------

void ColorPickerPanel::findInPicture()
{
    endSearch();
    if (bufferPoints().isEmpty())
        return;
    picture->beginRegionDrag();
    ui->codePanel->setFindResult(QStringLiteral("在画面上拖出查找范围，单击则查找全屏"));
}

void ColorPickerPanel::searchRegion(const QRect &shownRegion)
{
    const QVector<ColorPoint> filled = bufferPoints();
    if (filled.isEmpty())
        return;
    const ShownPicture shown = picture->shownPicture();
    const QRect onPicture = shownRegion.intersected(shown.rect());
    search = Search{filled.first().color, onPicture.isEmpty() ? QRect() : shown.sourceRect(onPicture)};
    runSearch(shown);
}

void ColorPickerPanel::runSearch(const ShownPicture &shown)
{
    const QImage source = shown.source();
    const QRect region = search->region.isEmpty() ? source.rect() : search->region;
    const ColorMatch::Hits hits = ColorMatch::findExact(source, search->color, region);
    picture->setMarks(hits.first, search->region);
    QString text = QStringLiteral("%1：找到%2处").arg(ColorCode::colorLiteral(search->color)).arg(hits.count);
    if (hits.count > hits.first.size())
        text += QStringLiteral("，标出前%1处").arg(hits.first.size());
    ui->codePanel->setFindResult(text);
}

void ColorPickerPanel::endSearch()
{
    if (!search && !picture->isDraggingRegion())
        return;
    search.reset();
    picture->cancelRegionDrag();
    picture->setMarks({}, QRect());
    ui->codePanel->setFindResult(QString());
}

// ---- Rectangle screenshots -----------------------------------------------------------------

void ColorPickerPanel::slot_screencapSaved(const QString &relativePath, const QRect &desktopRegion)
{
    const QRect shownRegion = picture->pictureRegion(desktopRegion);
    std::optional<QRect> region;
    if (!shownRegion.isEmpty())
        region = picture->shownPicture().sourceRect(shownRegion);
    ui->codePanel->setImageCapture(relativePath, region);
}
