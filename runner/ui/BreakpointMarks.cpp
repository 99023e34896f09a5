#include "runner/ui/BreakpointMarks.h"

#include "editor/ui/ScriptEditor.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <functional>

namespace {

constexpr int kMargin = 0; // the symbol margin, before the line numbers
constexpr int kSide = 12;

QImage drawn(const std::function<void(QPainter &)> &draw)
{
    QImage image(kSide, kSide, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter);
    return image;
}

QImage arrow(const QColor &fill)
{
    return drawn([&](QPainter &painter) {
        QPainterPath path;
        path.moveTo(1, 4);
        path.lineTo(6, 4);
        path.lineTo(6, 1);
        path.lineTo(11, 6);
        path.lineTo(6, 11);
        path.lineTo(6, 8);
        path.lineTo(1, 8);
        path.closeSubpath();
        painter.setPen(QPen(fill.darker(180), 1));
        painter.setBrush(fill);
        painter.drawPath(path);
    });
}

} // namespace

BreakpointMarks::BreakpointMarks(ScriptEditor *editor)
    : QObject(editor)
{
    breakpointMarker = editor->markerDefine(QImage(kSide, kSide, QImage::Format_ARGB32_Premultiplied));
    drawBreakpoint();
    const QColor arrows[2] = {QColor(250, 200, 0), QColor(60, 170, 60)};
    const QColor backgrounds[2] = {QColor(255, 242, 168), QColor(214, 240, 210)};
    unsigned mask = editor->marginMarkerMask(kMargin) | (1u << breakpointMarker);
    for (int i = 0; i < 2; ++i) {
        // Defined after the breakpoint, so an arrow is drawn over it.
        arrowMarker[i] = editor->markerDefine(arrow(arrows[i]));
        mask |= 1u << arrowMarker[i];
        // In no margin: drawn as the line's background.
        backgroundMarker[i] = editor->markerDefine(QsciScintilla::Background);
        editor->setMarkerBackgroundColor(backgrounds[i], backgroundMarker[i]);
    }
    editor->setMarginMarkerMask(kMargin, int(mask));
    connect(editor, &QsciScintilla::cursorPositionChanged, this, &BreakpointMarks::showCaretLine);
    editor->setMarginSensitivity(kMargin, true);
    connect(editor, &QsciScintilla::marginClicked, this, [this](int margin, int line, Qt::KeyboardModifiers) {
        if (margin != kMargin)
            return;
        toggle(line + 1);
        emit signal_toggled();
    });
}

BreakpointMarks *BreakpointMarks::find(const ScriptEditor *editor)
{
    return editor->findChild<BreakpointMarks *>(QString(), Qt::FindDirectChildrenOnly);
}

BreakpointMarks *BreakpointMarks::of(ScriptEditor *editor)
{
    BreakpointMarks *marks = find(editor);
    return marks ? marks : new BreakpointMarks(editor);
}

ScriptEditor *BreakpointMarks::editor() const
{
    return static_cast<ScriptEditor *>(parent());
}

void BreakpointMarks::drawBreakpoint()
{
    const QColor red(215, 40, 40);
    editor()->markerDefine(drawn([&](QPainter &painter) {
                               painter.setPen(QPen(red.darker(140), 1.5));
                               painter.setBrush(hollow ? QBrush(QColor(255, 255, 255, 200)) : QBrush(red));
                               painter.drawEllipse(QRectF(1.5, 1.5, kSide - 3, kSide - 3));
                           }),
                           breakpointMarker);
}

QVector<int> BreakpointMarks::lines() const
{
    QVector<int> found;
    for (auto handle = runLine.cbegin(); handle != runLine.cend(); ++handle) {
        const int line = editor()->markerLine(handle.key());
        if (line >= 0)
            found.append(line + 1);
    }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    return found;
}

void BreakpointMarks::setLines(const QVector<int> &lines)
{
    ScriptEditor *text = editor();
    text->markerDeleteAll(breakpointMarker);
    runLine.clear();
    for (const int line : lines) {
        if (line >= 1 && line <= text->lines() && !has(line))
            runLine.insert(text->markerAdd(line - 1, breakpointMarker), 0);
    }
}

bool BreakpointMarks::has(int line) const
{
    return line >= 1 && (editor()->markersAtLine(line - 1) & (1u << breakpointMarker)) != 0;
}

bool BreakpointMarks::toggle(int line)
{
    ScriptEditor *text = editor();
    if (line < 1 || line > text->lines())
        return false;
    if (!has(line)) {
        // Set while the file differs from the run's: the run has no line for it.
        runLine.insert(text->markerAdd(line - 1, breakpointMarker), 0);
        return true;
    }
    // Lines joined by an edit may have brought several onto this one.
    for (auto handle = runLine.begin(); handle != runLine.end();) {
        const int at = text->markerLine(handle.key());
        if (at == line - 1 || at < 0) {
            text->markerDeleteHandle(handle.key());
            handle = runLine.erase(handle);
        } else {
            ++handle;
        }
    }
    return false;
}

void BreakpointMarks::setHollow(bool drawnHollow)
{
    if (hollow == drawnHollow)
        return;
    hollow = drawnHollow;
    drawBreakpoint();
}

void BreakpointMarks::settleRunLines()
{
    for (auto handle = runLine.begin(); handle != runLine.end(); ++handle)
        handle.value() = editor()->markerLine(handle.key()) + 1;
}

QVector<int> BreakpointMarks::runLines() const
{
    QVector<int> found;
    for (auto handle = runLine.cbegin(); handle != runLine.cend(); ++handle) {
        if (handle.value() > 0 && editor()->markerLine(handle.key()) >= 0)
            found.append(handle.value());
    }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    return found;
}

void BreakpointMarks::showPause(int line, bool innermost)
{
    clearPause();
    ScriptEditor *text = editor();
    if (line < 1 || line > text->lines())
        return;
    text->markerAdd(line - 1, arrowMarker[innermost ? 0 : 1]);
    text->markerAdd(line - 1, backgroundMarker[innermost ? 0 : 1]);
    showCaretLine();
}

void BreakpointMarks::clearPause()
{
    for (int i = 0; i < 2; ++i) {
        editor()->markerDeleteAll(arrowMarker[i]);
        editor()->markerDeleteAll(backgroundMarker[i]);
    }
    showCaretLine();
}

// Scintilla paints a focused editor's caret line over every line background: on the paused line
// the caret line gives way, so the pause stays visible wherever the author clicks.
void BreakpointMarks::showCaretLine()
{
    int line = 0;
    int index = 0;
    editor()->getCursorPosition(&line, &index);
    editor()->setCaretLineVisible((editor()->markersAtLine(line) & arrowMask()) == 0);
}

int BreakpointMarks::pauseLine() const
{
    return editor()->markerFindNext(0, arrowMask()) + 1;
}
