#include "editor/ui/OutlineBar.h"

#include "ui_OutlineBar.h"

#include <QAbstractItemView>
#include <QListView>

#include <algorithm>

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
    // Row 0 stands for the code outside every function.
    connect(ui->comboFunctions, QOverload<int>::of(&QComboBox::activated), this, [this](int row) {
        if (row > 0 && row <= shown.functions.size())
            emit signal_goTo(shown.functions[row - 1].line);
    });
}

OutlineBar::~OutlineBar()
{
    delete ui;
}

void OutlineBar::setFunctions(const ScriptFacts &facts)
{
    // Typing inside a function changes the lines only: the list stays as it is.
    const auto sameEntry = [](const ScriptFacts::Function &a, const ScriptFacts::Function &b) {
        return a.name == b.name && a.depth == b.depth && a.method == b.method;
    };
    const bool sameList = std::equal(facts.functions.begin(), facts.functions.end(), shown.functions.begin(),
                                     shown.functions.end(), sameEntry);
    shown = ScriptFacts();
    shown.functions = facts.functions;
    if (sameList && names.rowCount() == shown.functions.size() + 1)
        return;
    QStringList lines{QStringLiteral("（不在函数中）")};
    lines.reserve(shown.functions.size() + 1);
    for (const ScriptFacts::Function &function : qAsConst(shown.functions))
        lines << QString(2 * qMin(function.depth, kMaxIndent), QLatin1Char(' ')) + function.shown();
    names.setStringList(lines);
    ui->comboFunctions->setEnabled(lines.size() > 1);
    ui->comboFunctions->setCurrentIndex(0);
}

void OutlineBar::clear()
{
    setFunctions(ScriptFacts());
}

void OutlineBar::follow(int line)
{
    const int row = shown.functionAt(line) + 1;
    if (row != ui->comboFunctions->currentIndex())
        ui->comboFunctions->setCurrentIndex(row);
}

void OutlineBar::popup()
{
    if (ui->comboFunctions->isEnabled())
        ui->comboFunctions->showPopup();
}

int OutlineBar::count() const
{
    return shown.functions.size();
}

QString OutlineBar::currentText() const
{
    return ui->comboFunctions->currentText();
}
