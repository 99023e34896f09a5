#include "project/NameRules.h"

QString NameRules::problem(const QString &name)
{
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        return QStringLiteral("名称中不能包含“/”或“\\”。");
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("名称不能是“.”或“..”。");
    for (const QChar c : name) {
        // Control characters, and the characters Windows refuses: a project made here must
        // open on every author's machine and on the device.
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || QStringLiteral("<>:\"|?*").contains(c))
            return QStringLiteral("名称中不能包含控制字符或 < > : \" | ? * 这些字符。");
    }
    if (name.toUtf8().size() > 255)
        return QStringLiteral("名称太长，文件系统不允许超过255字节的名称。");
    return QString();
}
