#pragma once

#include <QString>
#include <QVector>

// One entry of the insert menus: the action's object name, the object name of the menu it sits
// in, its label and the Lua text it inserts at the caret (CR LF line ends).
struct Snippet
{
    const char *objectName;
    const char *menuObjectName;
    const char *label;
    const char *text;
};

// The fixed catalogue of code blocks and device API call templates, in menu order.
class SnippetCatalogue
{
public:
    static const QVector<Snippet> &entries();
    // The entry of an action, or null.
    static const Snippet *find(const QString &objectName);
};
