#include "editor/ui/EditorStatus.h"

#include "editor/ui/ScriptEditor.h"
#include "ui_EditorStatus.h"

EditorStatus::EditorStatus(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::EditorStatus)
{
    ui->setupUi(this);
    showScript(nullptr, std::nullopt);
    setActivity(QString());
}

EditorStatus::~EditorStatus()
{
    delete ui;
}

void EditorStatus::showScript(const ScriptEditor *editor, std::optional<ScriptFile::LineEnds> lineEnds)
{
    const bool open = editor && !editor->path().isEmpty();
    ui->labPosition->setVisible(open);
    ui->labEncoding->setVisible(open);
    ui->labLineEnds->setVisible(open && lineEnds);
    if (!open)
        return;
    ui->labEncoding->setText(!editor->isFaithful()         ? QStringLiteral("非UTF-8")
                             : editor->hasByteOrderMark() ? QStringLiteral("UTF-8 BOM")
                                                          : QStringLiteral("UTF-8"));
    if (lineEnds)
        ui->labLineEnds->setText(ScriptFile::lineEndsName(*lineEnds));
}

void EditorStatus::showPosition(int line, int column)
{
    ui->labPosition->setText(QStringLiteral("行 %1，列 %2").arg(line).arg(column));
}

void EditorStatus::setActivity(const QString &text)
{
    ui->labActivity->setText(text);
    ui->labActivity->setVisible(!text.isEmpty());
}

QString EditorStatus::text() const
{
    QStringList shown;
    for (const QLabel *label : {ui->labActivity, ui->labPosition, ui->labEncoding, ui->labLineEnds}) {
        if (!label->isHidden())
            shown << label->text();
    }
    return shown.join(QStringLiteral(" | "));
}
