#pragma once

#include <QString>
#include <QUrl>

// Where the help menu leads: the forum's pages and the tutorial shipped beside the program.
class HelpPages
{
public:
    // The forum's home address. A placeholder until the forum has its final host.
    static constexpr const char *kForumAddress = "http://bbs.kestrun.example";

    static QUrl forumHome();
    static QUrl forumTutorial(); // the tutorial thread (F1)
    static QUrl usbConnectionGuide();
    // <working directory>/教程/Kestrun教程.html, absolute.
    static QString localTutorial();
};
