#include "app/UpdateCheck.h"

#include "app/AppInfo.h"
#include "common/Platform.h"
#include "project/TaggedText.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

QString UpdateCheck::baseAddress()
{
    QString base = qEnvironmentVariable("KESTRUN_UPDATE_URL");
    if (base.isEmpty())
        base = QString::fromLatin1(kDefaultBaseAddress);
    if (!base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    return base;
}

QUrl UpdateCheck::requestUrl(const QString &baseAddress)
{
    const QString updatePath = baseAddress + QStringLiteral("update/check.php?");
    const QString address = QString::asprintf("%s?v=%s&target=%s", updatePath.toUtf8().constData(),
                                              AppInfo::kVersion, AppInfo::kBuildTarget);
    return QUrl(address, QUrl::TolerantMode);
}

QByteArray UpdateCheck::fetch(const QUrl &url, int timeLimitMs)
{
    QNetworkAccessManager manager;
    QEventLoop loop;
    QObject::connect(&manager, &QNetworkAccessManager::finished, &loop, &QEventLoop::quit);
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);

    QNetworkReply *reply = manager.get(QNetworkRequest(url));
    bool tooLong = false;
    QObject::connect(reply, &QNetworkReply::readyRead, [reply, &tooLong]() {
        if (reply->bytesAvailable() > kMaxReplyBytes) {
            tooLong = true;
            reply->abort();
        }
    });
    limit.start(timeLimitMs);
    if (!reply->isFinished())
        loop.exec();

    QByteArray body;
    if (reply->isFinished() && reply->error() == QNetworkReply::NoError && !tooLong)
        body = reply->readAll();
    else
        reply->abort();
    delete reply;
    return body;
}

UpdateCheck::Reply UpdateCheck::parseReply(const QByteArray &body)
{
    const int zero = body.indexOf('\0');
    const QString text = QString::fromUtf8(zero < 0 ? body : body.left(zero));
    Reply reply;
    reply.hasVersion = TaggedText::hasValue(text, QStringLiteral("version"));
    reply.version = TaggedText::value(text, QStringLiteral("version"));
    reply.name = TaggedText::value(text, QStringLiteral("name"));
    reply.desc = TaggedText::value(text, QStringLiteral("desc"));
    reply.url = TaggedText::value(text, QStringLiteral("url"));
    reply.force = TaggedText::value(text, QStringLiteral("force"));
    return reply;
}

bool UpdateCheck::isOffer(const Reply &reply)
{
    return reply.hasVersion && reply.version != QLatin1String(AppInfo::kVersion);
}

QString UpdateCheck::shownDescription(const Reply &reply)
{
    return QString(reply.desc).replace(QLatin1String("\\r\\n"), QLatin1String("\r\n"));
}

UpdateCheck::Outcome UpdateCheck::afterAnswer(const Reply &reply, bool acceptedUpdate)
{
    if (acceptedUpdate || reply.force == QLatin1String("true"))
        return Outcome::End;
    return Outcome::GoOn;
}

UpdateCheck::Outcome UpdateCheck::run(const Ask &ask, int timeLimitMs)
{
    const QByteArray body = fetch(requestUrl(baseAddress()), timeLimitMs);
    if (body.isEmpty())
        return Outcome::GoOn;
    const Reply reply = parseReply(body);
    if (!isOffer(reply))
        return Outcome::GoOn;
    const bool accepted = ask(shownDescription(reply));
    if (accepted)
        Platform::openUrl(QUrl(reply.url, QUrl::TolerantMode));
    return afterAnswer(reply, accepted);
}
