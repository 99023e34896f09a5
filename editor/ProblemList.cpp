#include "editor/ProblemList.h"

#include "project/FileOperations.h"

#include <QBrush>
#include <QColor>
#include <QDir>

#include <algorithm>

namespace {

// One line of the table: the last line of a report (a syntax error's report ends with Lua's
// message), without the kind, the script and the line the other columns show.
QString shortMessage(const Diagnostic &found)
{
    QString message = found.message.trimmed();
    message = message.mid(message.lastIndexOf(QLatin1Char('\n')) + 1).trimmed();
    if (message.startsWith(QStringLiteral("警告：")))
        message.remove(0, 3);
    // A syntax error names the script by its file name alone.
    for (const QString &script : {found.path, found.path.section(QLatin1Char('/'), -1)}) {
        const QString place = QStringLiteral("脚本%1第%2行").arg(script).arg(found.line);
        if (found.hasPlace() && message.startsWith(place) && message.size() > place.size())
            return message.mid(place.size());
    }
    return message;
}

} // namespace

ProblemList::ProblemList(QObject *parent)
    : QAbstractTableModel(parent)
{
}

void ProblemList::add(const Diagnostic &found)
{
    queue({found, false});
}

void ProblemList::addRuntimeError(const Diagnostic &found)
{
    queue({found, true});
}

void ProblemList::queue(const Problem &problem)
{
    if (waiting.isEmpty())
        QMetaObject::invokeMethod(this, &ProblemList::takeWaiting, Qt::QueuedConnection);
    waiting.append(problem);
}

void ProblemList::takeWaiting()
{
    if (waiting.isEmpty())
        return;
    beginInsertRows(QModelIndex(), problems.size(), problems.size() + waiting.size() - 1);
    problems += waiting;
    waiting.clear();
    endInsertRows();
    emit signal_countChanged(count());
}

void ProblemList::clear()
{
    beginResetModel();
    problems.clear();
    waiting.clear();
    endResetModel();
    emit signal_countChanged(0);
}

void ProblemList::clearRuntimeErrors()
{
    const auto runtime = [](const Problem &p) { return p.runtime; };
    waiting.erase(std::remove_if(waiting.begin(), waiting.end(), runtime), waiting.end());
    beginResetModel();
    problems.erase(std::remove_if(problems.begin(), problems.end(), runtime), problems.end());
    endResetModel();
    emit signal_countChanged(count());
}

void ProblemList::pathMoved(const QString &from, const QString &to)
{
    const auto follow = [source = QDir::cleanPath(from), target = QDir::cleanPath(to)](Problem &problem) {
        Diagnostic &found = problem.found;
        if (found.path.isEmpty())
            return false;
        const QDir directory(found.directory);
        const QString moved = FileOperations::pathAfterMove(QDir::cleanPath(directory.absoluteFilePath(found.path)), source, target);
        if (moved.isEmpty())
            return false;
        found.path = directory.relativeFilePath(moved);
        return true;
    };
    for (Problem &problem : waiting)
        follow(problem);
    for (int row = 0; row < problems.size(); ++row) {
        if (follow(problems[row]))
            emit dataChanged(index(row, ScriptColumn), index(row, ScriptColumn));
    }
}

int ProblemList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : problems.size();
}

int ProblemList::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ProblemList::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= problems.size())
        return QVariant();
    const Problem &problem = problems[index.row()];
    const Diagnostic &found = problem.found;
    const bool error = found.kind == Diagnostic::Kind::Error;
    if (role == Qt::ForegroundRole && index.column() == KindColumn)
        return QBrush(error ? QColor(200, 0, 0) : QColor(190, 110, 0));
    if (role == Qt::ToolTipRole && index.column() == MessageColumn)
        return found.message;
    if (role != Qt::DisplayRole)
        return QVariant();
    switch (index.column()) {
    case KindColumn:
        return problem.runtime ? QStringLiteral("运行错误") : error ? QStringLiteral("错误") : QStringLiteral("警告");
    case ScriptColumn:
        return found.path;
    case LineColumn:
        return found.line > 0 ? QVariant(found.line) : QVariant();
    case MessageColumn:
        return shortMessage(found);
    default:
        return QVariant();
    }
}

QVariant ProblemList::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case KindColumn:
        return QStringLiteral("类型");
    case ScriptColumn:
        return QStringLiteral("脚本");
    case LineColumn:
        return QStringLiteral("行");
    case MessageColumn:
        return QStringLiteral("信息");
    default:
        return QVariant();
    }
}
