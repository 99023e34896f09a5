#pragma once

#include "screentools/ColorCode.h"

#include <QWidget>

#include <optional>

namespace Ui {
class ColorCodePanel;
}

// Script code from the colour buffers and from the last rectangle screenshot, for the author to
// insert at the caret of the current script or to copy: the form of the colour code, the
// deviation, degree and margin it is written with, and the action that looks for the first
// buffered colour on the picture. Who receives the text is the window's owner's business.
class ColorCodePanel : public QWidget
{
    Q_OBJECT

public:
    explicit ColorCodePanel(QWidget *parent = nullptr);
    ~ColorCodePanel() override;

    // The filled buffer rows, in row order.
    void setPoints(const QVector<ColorPoint> &points);
    // The size of the device's screen (or picture) that regions stay on.
    void setScreen(const QSize &screen);
    // A saved rectangle screenshot: its path in the project and its region on the device's
    // screen when it was cut from the picture.
    void setImageCapture(const QString &relativePath, const std::optional<QRect> &region);
    // What the last search found.
    void setFindResult(const QString &text);

    ColorCode::Options options() const;
    QString colorCode() const;
    QString imageCode() const;

    Ui::ColorCodePanel *form() const { return ui; }

signals:
    void signal_insertText(const QString &text);
    void signal_copyText(const QString &text);
    void signal_findInPicture();
    // The deviation the live check of the buffers compares with.
    void signal_deviationChanged(int deviation);

private slots:
    void on_pbInsertCode_clicked();
    void on_pbCopyCode_clicked();
    void on_pbInsertImageCode_clicked();
    void on_pbCopyImageCode_clicked();
    void on_pbFindInPicture_clicked();

private:
    void refresh();

    Ui::ColorCodePanel *ui;
    QVector<ColorPoint> points;
    QSize screen;
    struct Capture
    {
        QString relativePath;
        std::optional<QRect> region;
    };
    std::optional<Capture> capture;
};
