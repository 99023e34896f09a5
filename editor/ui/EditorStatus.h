#pragma once

#include "editor/ScriptFile.h"

#include <QWidget>

namespace Ui {
class EditorStatus;
}

class ScriptEditor;

// The editor's part of the status bar: what a check, build or run is doing, and of the current
// script the caret's line and column, the encoding and the line ends.
class EditorStatus : public QWidget
{
    Q_OBJECT

public:
    explicit EditorStatus(QWidget *parent = nullptr);
    ~EditorStatus() override;

    // The current script: its encoding now, its line ends as its last analysis found them
    // (unknown until then). Null: no script is open.
    void showScript(const ScriptEditor *editor, std::optional<ScriptFile::LineEnds> lineEnds);
    // The caret, from 1; the column counts a tab as the columns it spans.
    void showPosition(int line, int column);
    // Empty when nothing runs.
    void setActivity(const QString &text);

    QString text() const;

private:
    Ui::EditorStatus *ui;
};
