#include "editor/ui/ProblemsPane.h"

#include "ui_ProblemsPane.h"

#include <QHeaderView>
#include <QTabWidget>

ProblemsPane::ProblemsPane(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::ProblemsPane)
{
    ui->setupUi(this);
    ui->tvProblems->setModel(&list);
    // Rows of one height: a flood of warnings is laid out without measuring each.
    ui->tvProblems->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    ui->tvProblems->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    QHeaderView *header = ui->tvProblems->horizontalHeader();
    header->resizeSection(ProblemList::KindColumn, fontMetrics().horizontalAdvance(QStringLiteral("运行错误")) + 16);
    header->resizeSection(ProblemList::ScriptColumn, fontMetrics().horizontalAdvance(QLatin1Char('m')) * 14);
    header->resizeSection(ProblemList::LineColumn, fontMetrics().horizontalAdvance(QStringLiteral("99999")) + 16);
    connect(ui->tvProblems, &QAbstractItemView::activated, this, [this](const QModelIndex &index) {
        if (index.isValid())
            emit signal_activated(list.at(index.row()));
    });
    connect(&list, &ProblemList::signal_countChanged, this, &ProblemsPane::showCount);
}

ProblemsPane::~ProblemsPane()
{
    delete ui;
}

void ProblemsPane::showCount(int count)
{
    // The pane is a tab page: its tab says how many there are.
    for (QWidget *up = parentWidget(); up; up = up->parentWidget()) {
        if (auto *tabs = qobject_cast<QTabWidget *>(up)) {
            const int index = tabs->indexOf(this);
            if (index >= 0)
                tabs->setTabText(index, count > 0 ? QStringLiteral("问题 (%1)").arg(count) : QStringLiteral("问题"));
            return;
        }
    }
}
