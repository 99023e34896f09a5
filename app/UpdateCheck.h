#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <functional>

// The question asked at every start: does the update server offer another version? Everything
// but the question box lives here, so the decision can be tested without a desktop and without
// ending the process that asks.
class UpdateCheck
{
public:
    enum class Outcome { GoOn, End };

    // The reply's tagged fields; a field whose tags are missing is empty.
    struct Reply
    {
        bool hasVersion = false;
        QString version;
        QString name;
        QString desc;
        QString url;
        QString force;
    };

    // Placeholder server; KESTRUN_UPDATE_URL names the real one.
    static constexpr char kDefaultBaseAddress[] = "http://update.kestrun.invalid/";
    // A silent or unreachable server holds start-up no longer than this.
    static constexpr int kTimeLimitMs = 3000;
    // The reply is a few short fields; anything longer is not a reply of the update server.
    static constexpr qint64 kMaxReplyBytes = 64 * 1024;

    // KESTRUN_UPDATE_URL when set, else the placeholder; always ending with a slash.
    static QString baseAddress();
    // base + "update/check.php?" + "?v=<version>&target=<target>": the server expects the
    // doubled question mark.
    static QUrl requestUrl(const QString &baseAddress);
    // GETs url and returns the body; empty on any network or HTTP error, on a body longer than
    // kMaxReplyBytes, and when no reply has finished within timeLimitMs.
    static QByteArray fetch(const QUrl &url, int timeLimitMs = kTimeLimitMs);
    // Reads the body as UTF-8 up to its first zero byte.
    static Reply parseReply(const QByteArray &body);
    // Another version than ours is offered, an older one included.
    static bool isOffer(const Reply &reply);
    // The description as shown: each four-character "\r\n" becomes a real line break.
    static QString shownDescription(const Reply &reply);
    // What follows the author's answer to an offer; Yes has already opened the download page.
    static Outcome afterAnswer(const Reply &reply, bool acceptedUpdate);

    // Asks the author about an offer with its shown description; true for Yes.
    using Ask = std::function<bool(const QString &description)>;
    // The whole check against baseAddress(): fetch, decide, ask, open the page on Yes.
    static Outcome run(const Ask &ask, int timeLimitMs = kTimeLimitMs);
};
