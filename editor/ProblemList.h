#pragma once

#include "common/Diagnostic.h"

#include <QAbstractTableModel>
#include <QVector>

// The problems of the active project: the errors and warnings of the last check or build, and
// the errors of the scripts run on the PC since, as a table (kind, script, line, message) for
// the problems pane. They stay until the next check or build; what else uses the output (a
// project search, the device's log) leaves them alone. Findings come in floods (thousands of
// warnings): they are taken into the table once per turn of the event loop.
class ProblemList : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { KindColumn, ScriptColumn, LineColumn, MessageColumn, ColumnCount };

    explicit ProblemList(QObject *parent = nullptr);

    // A finding of a check or build; lines of the output that are no problem (progress, the
    // count of warnings) are not given here.
    void add(const Diagnostic &found);
    // An error that ended a script run on the PC.
    void addRuntimeError(const Diagnostic &found);
    // A check or build starts: everything goes.
    void clear();
    // A run starts: the errors of earlier runs go.
    void clearRuntimeErrors();
    // A file or folder was renamed or moved: the problems in its scripts name them where they are.
    void pathMoved(const QString &from, const QString &to);

    // Problems known, also those not yet in the table.
    int count() const { return problems.size() + waiting.size(); }
    const Diagnostic &at(int row) const { return problems[row].found; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    void signal_countChanged(int count);

private:
    struct Problem
    {
        Diagnostic found;
        bool runtime = false;
    };
    void queue(const Problem &problem);
    void takeWaiting();

    QVector<Problem> problems;
    QVector<Problem> waiting;
};
