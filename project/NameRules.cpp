#include "project/NameRules.h"

#include <QRegularExpression>

Status NameRules::check(const QString &name)
{
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        return fail(QStringLiteral("名称中不能包含“/”或“\\”。"));
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return fail(QStringLiteral("名称不能是“.”或“..”。"));
    for (const QChar c : name) {
        // Control characters, and the characters Windows refuses: a project made here must
        // open on every author's machine and on the device.
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || QStringLiteral("<>:\"|?*").contains(c))
            return fail(QStringLiteral("名称中不能包含控制字符或 < > : \" | ? * 这些字符。"));
    }
    // Windows opens a device, not a file, for these names, with any extension after them.
    static const QRegularExpression deviceName(QStringLiteral("^(CON|PRN|AUX|NUL|COM[1-9]|LPT[1-9]) *(\\..*)?$"),
                                               QRegularExpression::CaseInsensitiveOption);
    if (deviceName.match(name).hasMatch())
        return fail(QStringLiteral("名称不能是Windows保留的设备名（CON、PRN、AUX、NUL、COM1至COM9、LPT1至LPT9），带扩展名也不行。"));
    // Windows drops a final dot or space, so the name would not come back as it was typed.
    if (name.endsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char(' ')))
        return fail(QStringLiteral("名称不能以“.”或空格结尾。"));
    if (name.toUtf8().size() > 255)
        return fail(QStringLiteral("名称太长，文件系统不允许超过255字节的名称。"));
    return Status();
}
