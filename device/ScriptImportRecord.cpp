#include "device/ScriptImportRecord.h"

#include "common/FixedText.h"

#include <QtEndian>

bool ScriptImportRecord::fits(const QByteArray &utf8Name)
{
    return FixedText::fits(utf8Name, kNameSize);
}

QByteArray ScriptImportRecord::toBytes() const
{
    char bytes[kSize];
    FixedText::write(bytes, kNameSize, fileName);
    qToLittleEndian<qint32>(fileSize, bytes + kNameSize);
    return QByteArray(bytes, kSize);
}

ScriptImportRecord ScriptImportRecord::fromBytes(const char *bytes)
{
    ScriptImportRecord record;
    record.fileName = FixedText::read(bytes, kNameSize);
    record.fileSize = qFromLittleEndian<qint32>(bytes + kNameSize);
    return record;
}
