#include "editor/HelpPages.h"

#include <QDir>

QUrl HelpPages::forumHome()
{
    return QUrl(QString::fromLatin1(kForumAddress));
}

QUrl HelpPages::forumTutorial()
{
    return QUrl(QString::fromLatin1(kForumAddress) + QStringLiteral("/thread-4624-1-2.html"));
}

QUrl HelpPages::usbConnectionGuide()
{
    return QUrl(QString::fromLatin1(kForumAddress) + QStringLiteral("/forum.php?mod=viewthread&tid=172"));
}

QString HelpPages::localTutorial()
{
    return QDir::currentPath() + QStringLiteral("/教程/Kestrun教程.html");
}
