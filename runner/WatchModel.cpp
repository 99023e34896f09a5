#include "runner/WatchModel.h"

#include "runner/ScriptDebugger.h"

#include <QBrush>
#include <QPointer>

WatchModel::WatchModel(ScriptDebugger &debugger, QObject *parent)
    : VariableModel(debugger, parent)
{
    setRoots({DebugVariable()});
}

QStringList WatchModel::expressions() const
{
    QStringList list;
    for (int row = 0; row < watchCount(); ++row)
        list << root.children[size_t(row)]->variable.name;
    return list;
}

void WatchModel::setExpressions(const QStringList &expressions)
{
    QVector<DebugVariable> rows;
    for (const QString &expression : expressions)
        rows.append({expression, QString(), QString(), 0});
    rows.append(DebugVariable());
    setRoots(rows);
    evaluateIn(frame);
}

void WatchModel::add(const QString &expression)
{
    const QString text = expression.trimmed();
    if (text.isEmpty())
        return;
    const int row = watchCount();
    replaceRows(&root, row, 0, {makeNode({text, QString(), QString(), 0}, &root)});
    evaluate(row, text);
}

void WatchModel::remove(int row)
{
    if (row >= 0 && row < watchCount())
        replaceRows(&root, row, 1, {});
}

void WatchModel::evaluateIn(int frameIndex)
{
    frame = frameIndex;
    const QStringList all = expressions();
    for (int row = 0; row < all.size(); ++row)
        evaluate(row, all[row]);
}

void WatchModel::evaluate(int row, const QString &expression)
{
    const NodePtr shown = makeNode({expression, QString(), QString(), 0}, &root);
    replaceRows(&root, row, 1, {shown});
    if (frame < 0 || !debugger.isPaused())
        return;
    // A newer evaluation of the row replaces the node, and the answer for this one is dropped.
    std::weak_ptr<Node> asked = shown;
    QPointer<WatchModel> self(this);
    debugger.evaluate(expression, frame, [self, asked, expression](const Result<DebugVariable> &value) {
        const NodePtr node = asked.lock();
        if (!node || !self)
            return;
        DebugVariable result = value ? *value : DebugVariable{QString(), value.error(), QString(), 0};
        result.name = expression;
        NodePtr answered = self->makeNode(result, &self->root);
        answered->refused = !value;
        self->replaceRows(&self->root, self->rowOf(node.get()), 1, {answered});
    });
}

bool WatchModel::isPlaceholder(const QModelIndex &index) const
{
    return index.isValid() && !index.parent().isValid() && index.row() == watchCount();
}

QVariant WatchModel::data(const QModelIndex &index, int role) const
{
    if (isPlaceholder(index) && index.column() == Name) {
        if (role == Qt::DisplayRole)
            return QStringLiteral("（双击添加监视表达式）");
        if (role == Qt::ForegroundRole)
            return QBrush(Qt::gray);
    }
    if (role == Qt::EditRole && index.column() == Name)
        return isPlaceholder(index) ? QString() : VariableModel::data(index, Qt::DisplayRole);
    return VariableModel::data(index, role);
}

Qt::ItemFlags WatchModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags flags = VariableModel::flags(index);
    if (index.isValid() && !index.parent().isValid() && index.column() == Name)
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool WatchModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    const QString text = value.toString().trimmed();
    if (isPlaceholder(index))
        add(text);
    else if (text.isEmpty())
        remove(index.row());
    else if (text != expressions().value(index.row()))
        evaluate(index.row(), text);
    return true;
}
