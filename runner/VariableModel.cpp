#include "runner/VariableModel.h"

#include "runner/ScriptDebugger.h"

#include <QBrush>
#include <QPointer>

VariableModel::VariableModel(ScriptDebugger &debugger, QObject *parent)
    : QAbstractItemModel(parent)
    , debugger(debugger)
{
}

VariableModel::~VariableModel() = default;

VariableModel::NodePtr VariableModel::makeNode(const DebugVariable &variable, Node *parent) const
{
    auto node = std::make_shared<Node>();
    node->variable = variable;
    node->parent = parent;
    return node;
}

void VariableModel::setRoots(const QVector<DebugVariable> &roots)
{
    beginResetModel();
    root.children.clear();
    for (const DebugVariable &variable : roots)
        root.children.push_back(makeNode(variable, &root));
    endResetModel();
}

VariableModel::Node *VariableModel::nodeOf(const QModelIndex &index) const
{
    return index.isValid() ? static_cast<Node *>(index.internalPointer()) : const_cast<Node *>(&root);
}

int VariableModel::rowOf(const Node *node) const
{
    if (!node->parent)
        return -1;
    const auto &siblings = node->parent->children;
    for (size_t i = 0; i < siblings.size(); ++i) {
        if (siblings[i].get() == node)
            return int(i);
    }
    return -1;
}

QModelIndex VariableModel::indexOf(const Node *node, int column) const
{
    if (node == &root)
        return QModelIndex();
    return createIndex(rowOf(node), column, const_cast<Node *>(node));
}

QModelIndex VariableModel::index(int row, int column, const QModelIndex &parent) const
{
    const Node *node = nodeOf(parent);
    if (row < 0 || size_t(row) >= node->children.size() || column < 0 || column >= ColumnCount)
        return QModelIndex();
    return createIndex(row, column, node->children[size_t(row)].get());
}

QModelIndex VariableModel::parent(const QModelIndex &child) const
{
    if (!child.isValid())
        return QModelIndex();
    return indexOf(nodeOf(child)->parent);
}

int VariableModel::rowCount(const QModelIndex &parent) const
{
    if (parent.column() > 0)
        return 0;
    return int(nodeOf(parent)->children.size());
}

int VariableModel::columnCount(const QModelIndex &) const
{
    return ColumnCount;
}

QVariant VariableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return QVariant();
    const Node *node = nodeOf(index);
    const DebugVariable &variable = node->variable;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        switch (index.column()) {
        case Name:
            return variable.name;
        case Value:
            return variable.value;
        default:
            return variable.type;
        }
    case Qt::ForegroundRole:
        if (node->refused && index.column() == Value)
            return QBrush(Qt::darkRed);
        if (variable.isMore())
            return QBrush(Qt::gray);
        return QVariant();
    default:
        return QVariant();
    }
}

QVariant VariableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case Name:
        return QStringLiteral("名称");
    case Value:
        return QStringLiteral("值");
    default:
        return QStringLiteral("类型");
    }
}

bool VariableModel::hasChildren(const QModelIndex &parent) const
{
    if (parent.column() > 0)
        return false;
    const Node *node = nodeOf(parent);
    return !node->children.empty() || (!node->asked && node->variable.children != 0);
}

bool VariableModel::canFetchMore(const QModelIndex &parent) const
{
    const Node *node = nodeOf(parent);
    return parent.isValid() && !node->asked && node->variable.children != 0;
}

void VariableModel::fetchMore(const QModelIndex &parent)
{
    if (!canFetchMore(parent))
        return;
    Node *node = nodeOf(parent);
    node->asked = true;
    // The row may be gone by the time the script's thread answers (the script went on, a watch
    // was removed): the answer is then dropped.
    std::weak_ptr<Node> asked = node->parent->children[size_t(rowOf(node))];
    QPointer<VariableModel> self(this);
    debugger.variables(node->variable.children, [self, asked](const QVector<DebugVariable> &found) {
        if (const NodePtr node = asked.lock(); node && self)
            self->answered(node.get(), found);
    });
}

void VariableModel::answered(Node *node, const QVector<DebugVariable> &found)
{
    // A page's "…" gives way to the next page, among the entries before it.
    Node *parent = node->variable.isMore() ? node->parent : node;
    std::vector<NodePtr> nodes;
    for (const DebugVariable &variable : found)
        nodes.push_back(makeNode(variable, parent));
    if (parent == node)
        replaceRows(node, int(node->children.size()), 0, nodes);
    else
        replaceRows(parent, rowOf(node), 1, nodes);
}

void VariableModel::replaceRows(Node *parent, int first, int count, const std::vector<NodePtr> &nodes)
{
    const QModelIndex at = indexOf(parent);
    if (count > 0) {
        beginRemoveRows(at, first, first + count - 1);
        // Kept until the view has let go of them.
        const std::vector<NodePtr> going(parent->children.begin() + first, parent->children.begin() + first + count);
        parent->children.erase(parent->children.begin() + first, parent->children.begin() + first + count);
        endRemoveRows();
    }
    if (nodes.empty())
        return;
    beginInsertRows(at, first, first + int(nodes.size()) - 1);
    parent->children.insert(parent->children.begin() + first, nodes.begin(), nodes.end());
    endInsertRows();
}
