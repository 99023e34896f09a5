#pragma once

#include <QObject>
#include <QSet>
#include <QString>

class QModelIndex;
class QTreeView;

// Keeps a tree view's open rows open across a step: a paused script's values are read anew at
// every pause, and a row that was open (known by the names leading to it) opens again when it
// comes back, which has what it holds read again.
class TreeExpansion : public QObject
{
    Q_OBJECT

public:
    // Rows on these paths (names joined by '/') start open.
    TreeExpansion(QTreeView *view, const QSet<QString> &openAtFirst);

private:
    QString pathOf(const QModelIndex &index) const;
    void reopen(const QModelIndex &parent, int first, int last);

    QTreeView *view;
    QSet<QString> open;
};
