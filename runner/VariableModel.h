#pragma once

#include "runner/DebugData.h"

#include <QAbstractItemModel>

#include <memory>
#include <vector>

class ScriptDebugger;

// What a paused script holds, as a tree for a view: the rows given (a frame's scopes, watch
// results) and what each holds, asked of the debugger when the row is first opened and shown when
// the script's thread answers. A table's entries come a page at a time: the page ends in a row
// "…" that, once opened, gives way to the next page. Values are shown as the engine read them.
class VariableModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    enum Column { Name, Value, Type, ColumnCount };

    explicit VariableModel(ScriptDebugger &debugger, QObject *parent = nullptr);
    ~VariableModel() override;

    // Replaces every row; what was still being read for the rows before is dropped.
    void setRoots(const QVector<DebugVariable> &roots);
    void clear() { setRoots({}); }

    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool hasChildren(const QModelIndex &parent = QModelIndex()) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

protected:
    struct Node
    {
        DebugVariable variable;
        bool refused = false; // variable.value says why there is no value
        Node *parent = nullptr;
        std::vector<std::shared_ptr<Node>> children;
        bool asked = false; // its children have been asked for
    };
    using NodePtr = std::shared_ptr<Node>;

    Node *nodeOf(const QModelIndex &index) const;
    QModelIndex indexOf(const Node *node, int column = Name) const;
    int rowOf(const Node *node) const;
    NodePtr makeNode(const DebugVariable &variable, Node *parent) const;
    // Rows [first, first + count) of parent give way to nodes (children of parent). A view
    // learns anew whether each has children, which a change of value in place would not tell it.
    void replaceRows(Node *parent, int first, int count, const std::vector<NodePtr> &nodes);

    ScriptDebugger &debugger;
    Node root;

private:
    void answered(Node *node, const QVector<DebugVariable> &found);
};
