#include "runner/DapReader.h"

#include <QList>

DapReader::State DapReader::read(QByteArray *bytes, QByteArray *body, QString *why)
{
    const int headerEnd = bytes->left(kMaxHeader + 4).indexOf("\r\n\r\n");
    if (headerEnd < 0) {
        if (bytes->size() < kMaxHeader + 4)
            return State::NeedMore;
        *why = QStringLiteral("消息头超过%1字节").arg(kMaxHeader);
        return State::Error;
    }
    qint64 length = -1;
    for (const QByteArray &line : bytes->left(headerEnd).split('\n')) {
        const QByteArray field = line.endsWith('\r') ? line.chopped(1) : line;
        const int colon = field.indexOf(':');
        if (colon <= 0) {
            *why = QStringLiteral("无法识别的消息头“%1”").arg(QString::fromUtf8(field.left(80)));
            return State::Error;
        }
        if (field.left(colon).trimmed().toLower() != "content-length")
            continue; // Content-Type and the like
        const QByteArray digits = field.mid(colon + 1).trimmed();
        bool ok = !digits.isEmpty() && digits.size() <= 10 && length < 0;
        for (const char c : digits)
            ok = ok && c >= '0' && c <= '9';
        length = ok ? digits.toLongLong() : -1;
        if (!ok || length > kMaxBody) {
            *why = QStringLiteral("消息长度“%1”无效（最多%2字节）").arg(QString::fromUtf8(digits.left(20))).arg(kMaxBody);
            return State::Error;
        }
    }
    if (length < 0) {
        *why = QStringLiteral("消息头缺少Content-Length");
        return State::Error;
    }
    const qint64 whole = headerEnd + 4 + length;
    if (bytes->size() < whole)
        return State::NeedMore;
    *body = bytes->mid(headerEnd + 4, int(length));
    bytes->remove(0, int(whole));
    return State::Consumed;
}

QByteArray DapReader::frame(const QByteArray &body)
{
    return "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}
