#pragma once

#include "editor/SnippetCatalogue.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

// The offline API reference, made from the program's own data: every name of the completion
// list with its call form, grouped under the insert menu whose entries call it, and every entry
// of the snippet catalogue with its place in the menus and the text it inserts. One HTML page,
// its index at the top; each name is an anchor (page#touchClick, page#string.format), so F1 can
// open the page at the word under the caret.
class ApiReference
{
public:
    // A menu of the main window's form with the titles from the menu bar down to it.
    struct Menu
    {
        QString objectName;
        QStringList titles;
    };
    // The form's menus in the order it declares them, which is the order the menu bar shows.
    static QVector<Menu> menusFromForm(const QByteArray &formXml);

    // completionList: the entries of config/apis.txt; menus: where the catalogue's menus sit.
    ApiReference(const QVector<Snippet> &catalogue, const QStringList &completionList,
                 const QVector<Menu> &menus = {});

    QString html(const QString &version) const;

    // The anchor of the name at index in line (the caret may also stand right behind it); empty
    // when the page has no entry of that name. A dotted name counts whole first, then the part
    // under the caret.
    QString anchorAt(const QString &line, int index) const;

private:
    struct Entry
    {
        QString anchor;
        QString name;
        QStringList callForms;
        QVector<const Snippet *> snippets;
    };
    struct Group
    {
        QString anchor;
        QString title;
        QVector<Entry> entries;
    };

    Group &group(const QString &anchor, const QString &title);
    QString menuPath(const Snippet &snippet) const;

    QVector<Menu> menus;
    QVector<Group> groups;
    QSet<QString> names;
};
