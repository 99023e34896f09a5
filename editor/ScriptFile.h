#pragma once

#include "common/Result.h"

#include <QString>

// Reading and saving the script shown in the editor. Scripts are UTF-8 text.
class ScriptFile
{
public:
    // Larger files are refused: far beyond any script, and the editor would hold them whole.
    static constexpr qint64 MaxSize = qint64(64) << 20;

    struct Contents
    {
        QString text;
        // False when saving the text would not give back the file's bytes: bytes that are not
        // UTF-8 (shown as U+FFFD) or zero bytes (which the editor cannot hold; also shown as U+FFFD).
        bool faithful = true;
        bool byteOrderMark = false; // the file began with a UTF-8 byte-order mark
    };

    // How the lines of a text end: all in CR LF, all in LF, in both (or a lone CR), or no line
    // end at all.
    enum class LineEnds { None, CrLf, Lf, Mixed };
    static LineEnds lineEnds(const char *text, qint64 length);
    // "CR LF", "LF", "混合换行"; a text without line ends is shown with the editor's, CR LF.
    static QString lineEndsName(LineEnds ends);

    // Fails, saying why, for a file that cannot be read, is not a regular file or is too large.
    static Result<Contents> read(const QString &path);

    // Replaces the file with the text as UTF-8 (behind a byte-order mark when asked). The file
    // is written beside the old one and renamed into place, so a crash or a full disk never
    // leaves a truncated script. On failure the old file is unchanged.
    static Status write(const QString &path, const QString &text, bool byteOrderMark);
};
