#include "common/LogQueue.h"

namespace {

int utf8Length(QChar c)
{
    const ushort u = c.unicode();
    if (u < 0x80)
        return 1;
    if (u < 0x800)
        return 2;
    if (QChar::isHighSurrogate(u))
        return 4; // the pair's four bytes; its low half counts nothing
    if (QChar::isLowSurrogate(u))
        return 0;
    return 3;
}

} // namespace

LogQueue::LogQueue(int maxLines, qint64 maxCharacters)
    : maxLines(maxLines)
    , maxCharacters(maxCharacters)
{
}

QString LogQueue::bounded(const QString &message)
{
    const QChar *data = message.constData();
    const int size = message.size();
    qint64 bytes = 0;
    int cut = 0;
    while (cut < size) {
        const int length = utf8Length(data[cut]);
        if (bytes + length > kMaxMessageBytes)
            break;
        bytes += length;
        // A surrogate pair stays whole: its low half is taken with it.
        cut += QChar::isHighSurrogate(data[cut].unicode()) && cut + 1 < size ? 2 : 1;
    }
    QString shown = message.left(cut);
    if (cut < size) {
        qint64 left = 0;
        for (int i = cut; i < size; ++i)
            left += utf8Length(data[i]);
        shown += QStringLiteral("…（已截断%1字节）").arg(left);
    }
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QString broken;
    int lineLength = 0;
    for (int i = 0; i < shown.size(); ++i) {
        const QChar c = shown[i];
        if (c == QLatin1Char('\n')) {
            lineLength = 0;
        } else if (lineLength >= kMaxLineCharacters && !c.isLowSurrogate()) {
            if (broken.isNull())
                broken = shown.left(i);
            broken += QLatin1Char('\n');
            lineLength = 0;
        }
        if (!broken.isNull())
            broken += c;
        if (c != QLatin1Char('\n'))
            ++lineLength;
    }
    return broken.isNull() ? shown : broken;
}

void LogQueue::push(const QString &message, std::optional<Diagnostic> value)
{
    Message entry{bounded(message), 0, std::move(value)};
    entry.lines = entry.text.count(QLatin1Char('\n')) + 1;
    lineCount += entry.lines;
    characterCount += entry.text.size();
    messages.push_back(std::move(entry));
    while (messages.size() > 1 && (lineCount > maxLines || characterCount > maxCharacters)) {
        lineCount -= messages.front().lines;
        characterCount -= messages.front().text.size();
        messages.pop_front();
    }
}

LogQueue::Chunk LogQueue::take(int lines)
{
    Chunk chunk;
    int taken = 0;
    while (!messages.empty() && (taken == 0 || taken < lines)) {
        Message &front = messages.front();
        if (taken > 0)
            chunk.text += QLatin1Char('\n');
        chunk.text += front.text;
        taken += front.lines;
        if (front.value)
            chunk.values.append({taken - 1, std::move(*front.value)});
        lineCount -= front.lines;
        characterCount -= front.text.size();
        messages.pop_front();
    }
    return chunk;
}

void LogQueue::clear()
{
    messages.clear();
    lineCount = 0;
    characterCount = 0;
}
