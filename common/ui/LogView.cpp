#include "common/ui/LogView.h"

#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QGuiApplication>
#include <QSyntaxHighlighter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {

// Lines inserted per step (each may push as many off the top, at about 0.1 ms a line), and the
// time one batch may take before it yields to the event loop.
constexpr int kLinesPerStep = 100;
constexpr qint64 kBatchBudgetMs = 6;

struct KeptValue : QTextBlockUserData
{
    explicit KeptValue(Diagnostic value) : value(std::move(value)) {}
    Diagnostic value;
};

// Colours the lines that keep a value by its kind: an error red, a warning orange, the place of
// a search result ("<path>:<line>") as a link.
class ValueHighlighter : public QSyntaxHighlighter
{
public:
    using QSyntaxHighlighter::QSyntaxHighlighter;

protected:
    void highlightBlock(const QString &text) override
    {
        const auto *kept = static_cast<const KeptValue *>(currentBlockUserData());
        if (!kept)
            return;
        const Diagnostic &value = kept->value;
        switch (value.kind) {
        case Diagnostic::Kind::Error:
            setFormat(0, text.size(), QColor(192, 0, 0));
            break;
        case Diagnostic::Kind::Warning:
            setFormat(0, text.size(), QColor(176, 96, 0));
            break;
        case Diagnostic::Kind::SearchResult:
            setFormat(0, qMin(text.size(), value.path.size() + 1 + QString::number(value.line).size()),
                      QGuiApplication::palette().link().color());
            break;
        }
    }
};

} // namespace

LogView::LogView(QWidget *parent)
    : QPlainTextEdit(parent)
    , queue(kMaxLines, kMaxCharacters)
{
    // An undo history of a log would grow without bound.
    setUndoRedoEnabled(false);
    setMaximumBlockCount(kMaxLines);
    // Read-only, but with a caret the keyboard moves: Enter on a link line, Shift+arrows select.
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    viewport()->setMouseTracking(true);
    batchTimer.setSingleShot(true);
    batchTimer.setInterval(0);
    connect(&batchTimer, &QTimer::timeout, this, [this]() { showQueued(kBatchBudgetMs); });
}

void LogView::appendMessage(const QString &text)
{
    queue.push(text);
    if (!batchTimer.isActive())
        batchTimer.start();
}

void LogView::appendDiagnostic(const Diagnostic &value)
{
    queue.push(value.text(), value.hasPlace() ? std::optional<Diagnostic>(value) : std::nullopt);
    if (!batchTimer.isActive())
        batchTimer.start();
}

std::optional<Diagnostic> LogView::diagnostic(int line) const
{
    const auto *kept = static_cast<const KeptValue *>(document()->findBlockByNumber(line).userData());
    return kept ? std::optional<Diagnostic>(kept->value) : std::nullopt;
}

void LogView::flush()
{
    showQueued(-1);
}

void LogView::showNow()
{
    flush();
    viewport()->repaint();
}

void LogView::clearMessages()
{
    queue.clear();
    batchTimer.stop();
    clear();
    hover(QTextBlock());
}

void LogView::showQueued(qint64 budgetMs)
{
    QElapsedTimer clock;
    clock.start();
    // Everything shown now would be pushed off by what waits: start from an empty pane.
    if (queue.lines() >= kMaxLines)
        clear();
    while (!queue.isEmpty()) {
        appendChunk(queue.take(kLinesPerStep));
        if (budgetMs >= 0 && clock.elapsed() >= budgetMs)
            break;
    }
    if (!queue.isEmpty())
        batchTimer.start();
}

void LogView::appendChunk(const LogQueue::Chunk &chunk)
{
    // appendPlainText keeps the view at the bottom when it was there, and trims the lines
    // beyond the document's maximum block count from the top.
    appendPlainText(chunk.text);
    QTextDocument *doc = document();
    // The chunk's lines are the last ones; those pushed off the top take their values along.
    QTextBlock kept = doc->lastBlock();
    int line = chunk.text.count(QLatin1Char('\n'));
    for (int i = chunk.values.size() - 1; i >= 0 && kept.isValid(); --i) {
        for (; line > chunk.values[i].first && kept.isValid(); --line)
            kept = kept.previous();
        if (kept.isValid())
            keep(kept, chunk.values[i].second);
    }
    if (doc->characterCount() <= kMaxCharacters)
        return;
    qint64 excess = doc->characterCount() - kMaxCharacters;
    QTextBlock block = doc->firstBlock();
    while (excess > 0 && block.isValid() && block != doc->lastBlock()) {
        excess -= block.length();
        block = block.next();
    }
    QTextCursor cursor(doc);
    cursor.setPosition(block.position(), QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}

void LogView::keep(QTextBlock block, const Diagnostic &value)
{
    // Coloured by a highlighter, not in the text: a format in the document would pass on to
    // the lines appended after it.
    if (!highlighter)
        highlighter = new ValueHighlighter(document());
    block.setUserData(new KeptValue(value));
    highlighter->rehighlightBlock(block);
}

void LogView::setLinkTest(LinkTest test)
{
    linkTest = std::move(test);
    hover(QTextBlock());
}

QStringList LogView::lines(int last, int count) const
{
    QStringList found;
    for (QTextBlock block = document()->findBlockByNumber(last); block.isValid() && found.size() < count;
         block = block.previous())
        found.prepend(block.text());
    return found;
}

bool LogView::isLink(const QTextBlock &block) const
{
    return block.isValid() && (block.userData() || (linkTest && linkTest(block.text())));
}

void LogView::hover(const QTextBlock &block)
{
    const bool link = isLink(block);
    // Nothing to do while the same line stays underlined (a line pushed off the top leaves an
    // empty underline behind, which does not count).
    const QList<QTextEdit::ExtraSelection> shown = extraSelections();
    const bool underlined = !shown.isEmpty() && shown.first().cursor.hasSelection();
    if (link ? underlined && shown.first().cursor.selectionStart() == block.position()
                 && shown.first().cursor.selectionEnd() == block.position() + block.length() - 1
             : shown.isEmpty())
        return;
    QList<QTextEdit::ExtraSelection> selections;
    if (link) {
        QTextEdit::ExtraSelection selection;
        selection.cursor = QTextCursor(block);
        selection.cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        selection.format.setFontUnderline(true);
        selection.format.setForeground(palette().link());
        selections << selection;
    }
    setExtraSelections(selections);
    viewport()->setCursor(link ? Qt::PointingHandCursor : Qt::IBeamCursor);
    viewport()->setToolTip(link ? QStringLiteral("双击或按回车键打开脚本并转到这一行") : QString());
}

void LogView::mouseMoveEvent(QMouseEvent *event)
{
    QPlainTextEdit::mouseMoveEvent(event);
    // While a selection is dragged, the pane shows the selection, not links.
    hover(event->buttons() == Qt::NoButton ? cursorForPosition(event->pos()).block() : QTextBlock());
}

void LogView::leaveEvent(QEvent *event)
{
    hover(QTextBlock());
    QPlainTextEdit::leaveEvent(event);
}

void LogView::mouseDoubleClickEvent(QMouseEvent *event)
{
    const QTextBlock block = cursorForPosition(event->pos()).block();
    if (event->button() == Qt::LeftButton && isLink(block)) {
        setTextCursor(QTextCursor(block));
        emit signal_linkActivated(block.blockNumber());
        return;
    }
    QPlainTextEdit::mouseDoubleClickEvent(event);
}

void LogView::keyPressEvent(QKeyEvent *event)
{
    const QTextBlock block = textCursor().block();
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && isLink(block)) {
        emit signal_linkActivated(block.blockNumber());
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}
