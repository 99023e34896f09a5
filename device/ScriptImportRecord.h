#pragma once

#include <QByteArray>
#include <QString>

// The 44-byte record of an import message (command 20): a zero-terminated UTF-8 file name in
// 40 bytes, then the file size as a little-endian int32.
struct ScriptImportRecord
{
    static constexpr int kSize = 44;
    static constexpr int kNameSize = 40;

    QByteArray fileName; // UTF-8, at most kNameSize - 1 bytes
    qint32 fileSize = 0;

    // A name fits when it leaves room for the terminating zero. Longer names are refused rather
    // than cut: two long names with a common start would be cut to the same name and one
    // script would overwrite the other on the device.
    static bool fits(const QByteArray &utf8Name);

    // Zero-filled record. Callers refuse names that do not fit; here such a name would be cut at
    // a character boundary, never written past its field.
    QByteArray toBytes() const;
    // The name up to its first zero byte within its 40 bytes.
    static ScriptImportRecord fromBytes(const char *bytes);
};
