#include "editor/ScriptFile.h"

#include "common/AtomicFile.h"
#include "common/RegularFile.h"

#include <algorithm>
#include <cstring>

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

ScriptFile::LineEnds ScriptFile::lineEnds(const char *text, qint64 length)
{
    qint64 lfs = 0;
    qint64 crLfs = 0;
    const char *end = text + length;
    for (const char *p = text; (p = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)))); ++p) {
        ++lfs;
        if (p > text && p[-1] == '\r')
            ++crLfs;
    }
    const qint64 crs = std::count(text, end, '\r');
    if (lfs == 0 && crs == 0)
        return LineEnds::None;
    if (crLfs == lfs && crLfs == crs)
        return LineEnds::CrLf;
    if (crs == 0)
        return LineEnds::Lf;
    return LineEnds::Mixed;
}

QString ScriptFile::lineEndsName(LineEnds ends)
{
    switch (ends) {
    case LineEnds::Lf:
        return QStringLiteral("LF");
    case LineEnds::Mixed:
        return QStringLiteral("混合换行");
    case LineEnds::None:
    case LineEnds::CrLf:
        break;
    }
    return QStringLiteral("CR LF");
}
