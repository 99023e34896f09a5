#include "api/ApiEntry.h"

QString ApiEntry::onPcText(OnPc onPc)
{
    switch (onPc) {
    case OnPc::Served:
        return QStringLiteral("本地运行：支持");
    case OnPc::Approximate:
        return QStringLiteral("本地运行：近似（与手机上的行为不完全相同）");
    case OnPc::Accepted:
        return QStringLiteral("本地运行：可以调用，但不做任何事");
    case OnPc::Unavailable:
        break;
    }
    return QStringLiteral("本地运行：不支持");
}

QString ApiEntry::onPcLine() const
{
    return onPcNote.isEmpty() ? onPcText(onPc) : onPcText(onPc) + QStringLiteral("：") + onPcNote;
}
