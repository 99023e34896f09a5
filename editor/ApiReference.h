#pragma once

#include "editor/SnippetCatalogue.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

class ApiModel;
struct ApiEntry;

// The offline API reference, made from the program's own data: every entry of the API model with
// its aliases, call forms, what it returns, what it does and whether a run on the PC serves it,
// grouped under the insert menu whose entries call it (the runtime's) or under its library
// (Lua's); and every entry of the snippet catalogue with its place in the menus and the text it
// inserts. One HTML page, its index at the top; each name is an anchor (page#touchClick,
// page#string.format), so F1 can open the page at the word under the caret. A section sums up
// running scripts on the PC: what it does not serve, what it serves approximately and how.
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

    // menus: where the catalogue's menus sit.
    ApiReference(const QVector<Snippet> &catalogue, const ApiModel &model, const QVector<Menu> &menus = {});

    QString html(const QString &version) const;

    // The anchor of the model's name at index in line (the caret may also stand right behind it):
    // the entry's name, also for an alias; empty when the model has no such name. A dotted name
    // counts whole first, then the part under the caret.
    static QString anchorAt(const ApiModel &model, const QString &line, int index);

private:
    struct Entry
    {
        QString anchor;
        QString title;
        const ApiEntry *api = nullptr; // null for a code block
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
    QString localRunSection() const;

    QVector<Menu> menus;
    QVector<Group> groups;
    QVector<const ApiEntry *> apiEntries; // the model's, for the section on running scripts here
};
