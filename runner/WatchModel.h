#pragma once

#include "runner/VariableModel.h"

#include <QStringList>

// Watch expressions and what they give in the frame chosen of a paused script: a row each, whose
// expression can be edited (emptied, it goes), and a last row in which a new one is typed. What
// the engine refuses shows its message. While the script runs, the expressions wait without
// values.
class WatchModel : public VariableModel
{
    Q_OBJECT

public:
    explicit WatchModel(ScriptDebugger &debugger, QObject *parent = nullptr);

    QStringList expressions() const;
    void setExpressions(const QStringList &expressions);
    void add(const QString &expression);
    void remove(int row);
    // Evaluates every watch in a frame of the pause; -1 while not paused: the values go.
    void evaluateIn(int frame);
    // The last row, where a new expression is typed.
    bool isPlaceholder(const QModelIndex &index) const;

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

private:
    int watchCount() const { return int(root.children.size()) - 1; }
    // The row shows the expression anew, then what it gives once the engine has answered.
    void evaluate(int row, const QString &expression);

    int frame = -1;
};
