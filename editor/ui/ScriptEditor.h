#pragma once

#include "common/Result.h"
#include "editor/ProjectReplace.h"
#include "editor/ui/ScriptSearch.h"

#include <QDateTime>
#include <QHash>
#include <QPair>

#include <Qsci/qsciscintilla.h>

// One script in the editor. It owns its file: the path, the encoding facts of what was read
// (bytes that are not UTF-8, a byte-order mark), the save point, and what the file on disk
// looked like when it was last read or written, so that a change made by another program is
// noticed. Saving is atomic. The editor also carries the Lua set-up (lexer, completion,
// automatic indentation) and the operations the menus run on it: snippets, search and replace.
class DocumentCompletion;
class ScriptWords;

class ScriptEditor : public QsciScintilla
{
    Q_OBJECT

public:
    explicit ScriptEditor(QWidget *parent = nullptr);

    // What the file on disk is compared with: its modification time and size.
    struct DiskStamp
    {
        bool exists = false;
        QDateTime modified;
        qint64 size = -1;
        bool operator==(const DiskStamp &o) const
        {
            return exists == o.exists && modified == o.modified && size == o.size;
        }
        bool operator!=(const DiskStamp &o) const { return !(*this == o); }
    };
    enum class DiskState { Same, Changed, Removed };

    // Shows the file. One that cannot be read leaves the editor as it was and says why.
    Status openFile(const QString &path);
    // The text shown while no script is open; no path.
    void showWelcome();
    QString path() const { return filePath; }
    // False when saving would not give back the file's bytes (they were not all UTF-8).
    bool isFaithful() const { return faithful; }
    bool hasByteOrderMark() const { return byteOrderMark; }

    // Writes the text as UTF-8 (behind the byte-order mark the file had), atomically; on
    // success this becomes the save point and the known state of the file.
    Status save();
    // Reads the file again, replacing the text (undoable). One that cannot be read leaves the
    // text as it was and says why.
    Status reload();
    // How the file on disk compares with what this editor last read, wrote or acknowledged.
    DiskState diskState() const;
    // Takes the file's present state on disk as known: no further notice of it.
    void acknowledgeDisk();

    // Inserts text indented like the caret's line and puts the caret behind it. Text that
    // ends a line (a statement) goes on a line of its own: at the caret when only indentation
    // stands left of it, else below the caret's line; other text goes in at the caret.
    void insertSnippet(const QString &text);
    // Shows a script that has followed its file to another path (renamed or moved); its text
    // and changes stay.
    void followFile(const QString &path);

    // Line commands on the lines the selection touches (the caret's line without one): toggle
    // "--" comments, duplicate them below (the copy selected), move them up or down. Each is
    // one step to undo.
    void toggleComment();
    void duplicateLines();
    void moveLines(bool up);
    // Replaces matches found in the text (ProjectReplace), as one step to undo.
    void replaceMatches(const QVector<ProjectReplace::Match> &matches);
    // What a search most likely looks for: the text selected on one line, else the word at
    // the caret; empty when there is neither.
    QString searchSeed() const;
    // Caret to the start of a line (1-based, clamped), shown in the middle of the view.
    void goToLine(int line);

    // Marks of the places the output leads to: a symbol in the left margin and, where the
    // output names it, the token underlined.
    enum class Mark { Error, Warning, Found };
    // Marks a line (from 1) and underlines the text from a column of it (from 0, in characters)
    // when length > 0. A search result is marked one at a time. Resting the pointer on an
    // error's or a warning's mark shows its message.
    void markLine(int line, Mark mark, int column = -1, int length = 0, const QString &message = QString());
    // Removes the marks of one kind.
    void clearMarks(Mark mark);
    // The messages of the error and warning marks on a line (from 0).
    QStringList markMessages(int line) const;
    // What resting the pointer at a position of the text shows: the messages of the marks there,
    // and what the API model says of the name there. Empty for nothing.
    QString hoverText(long position, bool inMargin) const;

    // The words of the script that completion offers, as its last analysis found them; words
    // gets those it had.
    void swapScriptWords(ScriptWords &words);
    // The text as the editor holds it (UTF-8), copied at once: what is analysed off the
    // interface thread.
    QByteArray snapshot() const;

    bool findNext(const QString &expr, const ScriptSearch::Options &options);
    bool findPrevious(const QString &expr, const ScriptSearch::Options &options);

signals:
    // The path or the modified state changed: titles and tab labels follow.
    void signal_stateChanged();
    // The author asked for the context menu, at a place on the screen.
    void signal_contextMenu(const QPoint &globalPos);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private slots:
    void slot_charAdded(int character);
    void slot_userListActivated(int id, const QString &text);
    void slot_dwellStart(int position, int x, int y);

private:
    static DiskStamp stampOf(const QString &path);
    // The first and last line the selection touches; a selection that ends at the start of a
    // line leaves that line out.
    QPair<int, int> selectedLines() const;
    // The text of a line without its line end.
    QString lineText(int line) const;
    // The word left of the caret already is what the open completion list would put there.
    bool typedWordIsComplete();
    // Shows the aliases the Chinese text left of the caret starts, outside comments.
    void offerAliases();

    int markerNumber[3] = {};    // per Mark
    int indicatorNumber[2] = {}; // Error, Warning
    // The message of each error and warning mark, by its handle, which follows the line as the
    // text changes.
    struct MarkMessage
    {
        Mark mark;
        QString message;
    };
    QHash<int, MarkMessage> messages;
    DocumentCompletion *completion = nullptr;
    QString filePath;
    bool faithful = true;
    bool byteOrderMark = false;
    DiskStamp known;
    long aliasStart = -1; // where the Chinese text an offered alias replaces begins
    bool aliasInString = false;
};
