#pragma once

#include "screentools/ScreencapSelection.h"

#include <QLabel>

// Shows the frozen desktop of a rectangle screenshot and the dotted red rectangle being drawn.
class ScreencapViewControl : public QLabel
{
    Q_OBJECT

public:
    explicit ScreencapViewControl(QWidget *parent = nullptr);

    ScreencapSelection &selection() { return sel; }
    const ScreencapSelection &selection() const { return sel; }
    void resetSelection();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    ScreencapSelection sel;
};
