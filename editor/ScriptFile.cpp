#include "editor/ScriptFile.h"

#include "common/AtomicFile.h"
#include "common/RegularFile.h"


namespace {

const char kByteOrderMark[] = "\xEF\xBB\xBF";

} // namespace

Result<ScriptFile::Contents> ScriptFile::read(const QString &path)
{
    Result<QByteArray> read = RegularFile::readWhole(path, MaxSize);
    if (!read)
        return fail(read.error());
    QByteArray bytes = std::move(read).value();
    Contents contents;

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
