#include "screentools/ScreencapSelection.h"

#include <cstdlib>

void ScreencapSelection::press(int x, int y)
{
    if (hasSelection)
        return;
    startX = x;
    startY = y;
    selWidth = 0;
    selHeight = 0;
    pressing = true;
}

void ScreencapSelection::move(int x, int y)
{
    if (!pressing)
        return;
    selWidth = x - startX;
    selHeight = y - startY;
    hasSelection = true;
}

QRect ScreencapSelection::border() const
{
    return QRect(qMin(startX, startX + selWidth), qMin(startY, startY + selHeight), std::abs(selWidth),
                 std::abs(selHeight));
}

QRect ScreencapSelection::inside() const
{
    const QRect b = border();
    if (b.width() < 2 || b.height() < 2)
        return QRect();
    return QRect(b.x() + 1, b.y() + 1, b.width() - 1, b.height() - 1);
}
