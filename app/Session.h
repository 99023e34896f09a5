#pragma once

#include "editor/ScriptPlace.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

class QSettings;

// What comes back at the next start: the window's place and panes, the active project and the
// unfolded folders of the tree, the open scripts with their carets, the device address, the image
// editor's last directory, the breakpoints and the watch expressions. Kept in QSettings under the
// program's name; anything missing reads as empty.
struct Session
{
    using Script = ScriptPlace;

    QByteArray geometry;
    QByteArray windowState; // where the docked panes are
    QList<int> treeSplitter;   // project tree | editor and output
    QList<int> editorSplitter; // editor / output panes
    QString activeProject;
    QStringList expandedTree; // unfolded projects and directories, relative to the workspace
    QVector<Script> scripts;
    int currentScript = -1; // index into scripts, -1 for none
    QString deviceAddress;
    QString imageDirectory;
    QHash<QString, QVector<int>> breakpoints; // lines from 1, by the script's absolute path
    QStringList watches;

    // The program's own settings (organisation "Kestrun", application the product name).
    static QString organisation();
    static QString application();

    static Session read(QSettings &settings);
    void write(QSettings &settings) const;
    // The program's own settings: read with the scripts whose file is gone left out, written.
    static Session load();
    void save() const;
    // Leaves out scripts, and breakpoints, whose file is gone; the current script follows its
    // entry (none when its own file is gone).
    void dropMissingScripts();
};
