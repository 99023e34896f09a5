#pragma once

#include <QString>

// Values in the project file and in the update reply are written as <tag>value</tag>. A value is
// the text between the first opening tag and the first closing tag, both searched from the start.
// A missing tag, or a closing tag that comes before the end of the opening one, gives "".
class TaggedText
{
public:
    static QString value(const QString &text, const QString &tag);
    static bool hasValue(const QString &text, const QString &tag);
};
