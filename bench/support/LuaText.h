#pragma once

#include <QByteArray>
#include <QRandomGenerator>

// Lua in the style of automation scripts: many small functions, string and number constants.
inline QByteArray luaText(qint64 size, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray text;
    text.reserve(static_cast<int>(size + 4096));
    int n = 0;
    while (text.size() < size) {
        ++n;
        const QByteArray id = QByteArray::number(seed) + "_" + QByteArray::number(n);
        text += "-- 第" + QByteArray::number(n) + "步：点击按钮并等待界面刷新\n";
        text += "function step" + id + "(x, y, options)\n";
        text += "  local colour = getColor(x + " + QByteArray::number(random.bounded(500)) + ", y)\n";
        text += "  if colour == 0x" + QByteArray::number(random.bounded(0xFFFFFF), 16) + " then\n";
        text += "    touchDown(1, x, y) mSleep(" + QByteArray::number(random.bounded(20, 200)) + ") touchUp(1)\n";
        text += "    toast(\"已点击 " + id + "\")\n";
        text += "  elseif options and options.retry > " + QByteArray::number(random.bounded(5)) + " then\n";
        text += "    return step" + id + "(x + 1, y - 1, { retry = options.retry - 1 })\n";
        text += "  end\n";
        text += "  local found = {}\n";
        text += "  for i = 1, " + QByteArray::number(random.bounded(3, 30)) + " do\n";
        text += "    found[#found + 1] = { x = x * i, y = y + i * " + QByteArray::number(random.bounded(100) / 7.0) + " }\n";
        text += "  end\n";
        text += "  return found, \"step " + id + " done\"\n";
        text += "end\n\n";
    }
    return text;
}
