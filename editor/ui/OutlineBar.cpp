#include "editor/ui/OutlineBar.h"

#include "ui_OutlineBar.h"

#include <QAbstractItemView>
#include <QListView>

namespace {

// Deeper nesting is not indented further.
constexpr int kMaxIndent = 6;

} // namespace

OutlineBar::OutlineBar(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::OutlineBar)
{
    ui->setupUi(this);
    // A script may have thousands of functions: rows of one height are laid out without measuring each.
    auto *view = new QListView(ui->comboFunctions);
    view->setUniformItemSizes(true);
    ui->comboFunctions->setView(view);
    ui->comboFunctions->setModel(&names);
    ui->comboFunctions->setPlaceholderText(QStringLiteral("（不在函数中）"));
    connect(ui->comboFunctions, QOverload<int>::of(&QComboBox::activated), this, [this](int index) {
        if (index >= 0 && index < shown.functions.size())
            emit signal_goTo(shown.functions[index].line);
    });
}

OutlineBar::~OutlineBar()
{
    delete ui;
}

void OutlineBar::setFunctions(const ScriptFacts &facts)
{
    shown = ScriptFacts();
    shown.functions = facts.functions;
    QStringList lines;
    lines.reserve(shown.functions.size());
    for (const ScriptFacts::Function &function : qAsConst(shown.functions))
        lines << QString(2 * qMin(function.depth, kMaxIndent), QLatin1Char(' ')) + function.shown();
    names.setStringList(lines);
    ui->comboFunctions->setEnabled(!lines.isEmpty());
}

void OutlineBar::clear()
{
    setFunctions(ScriptFacts());
}

void OutlineBar::follow(int line)
{
    const int index = shown.functionAt(line);
    if (index != ui->comboFunctions->currentIndex())
        ui->comboFunctions->setCurrentIndex(index);
}

void OutlineBar::popup()
{
    if (ui->comboFunctions->isEnabled())
        ui->comboFunctions->showPopup();
}

int OutlineBar::count() const
{
    return names.rowCount();
}
