#include "editor/ScriptFile.h"

#include "common/AtomicFile.h"
#include "common/RegularFile.h"

#include <QFile>

namespace {

const char kByteOrderMark[] = "\xEF\xBB\xBF";

} // namespace

ScriptFile::Contents ScriptFile::read(const QString &path)
{
    Contents contents;
    QFile file;
    if (!RegularFile::open(file, path))
        return contents;
    QByteArray bytes = file.readAll();
    file.close();
    contents.opened = true;

    if (bytes.startsWith(kByteOrderMark)) {
        contents.byteOrderMark = true;
        bytes.remove(0, 3);
    }
    contents.text = QString::fromUtf8(bytes.constData(), bytes.size()); // the QByteArray overload stops at a zero byte
    // Decoding replaces every malformed sequence; whether the text still encodes to the same
    // bytes is the one test that catches all of them, truncated sequences at the end included.
    contents.faithful = contents.text.toUtf8() == bytes;
    if (contents.text.contains(QChar(0))) {
        contents.text.replace(QChar(0), QChar(QChar::ReplacementCharacter));
        contents.faithful = false;
    }
    return contents;
}

Status ScriptFile::write(const QString &path, const QString &text, bool byteOrderMark)
{
    QByteArray bytes = text.toUtf8();
    if (byteOrderMark)
        bytes.prepend(kByteOrderMark, 3);
    return AtomicFile::writeWhole(path, bytes);
}
