#pragma once

#include "common/Result.h"

#include <QString>
#include <QUrl>

// Where the help menu leads: the offline API reference, the tutorial beside the projects and the
// forum's pages. Each opener fails with the reason when its page cannot be shown.
class HelpPages
{
public:
    // The forum's home address. A placeholder (the reserved .example domain) until the forum has
    // its final host.
    static constexpr const char *kForumAddress = "http://bbs.kestrun.example";

    static QUrl forumHome();
    static QUrl usbConnectionGuide();
    // <working directory>/教程/Kestrun教程.html, absolute.
    static QString localTutorial();

    // The API reference at the name at index in line when the reference has an entry for it,
    // else at the top, where its index is.
    static Status openApiReference(const QString &line = QString(), int index = 0);
    // The local tutorial when the working directory has its folder, else the API reference.
    static Status openTutorial();
    // A page of the forum.
    static Status openForumPage(const QUrl &page);
};
