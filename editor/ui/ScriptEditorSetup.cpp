#include "editor/ui/ScriptEditorSetup.h"

#include "editor/ui/QsciLexerLuaEx.h"

#include <Qsci/qscicommand.h>
#include <Qsci/qscicommandset.h>
#include <Qsci/qsciscintilla.h>

#include <QAccessible>
#include <QFontDatabase>
#include <QFontInfo>

namespace {

// QScintilla passes every insertion and deletion on to the accessibility layer and counts the
// characters from the start of the text for each one: 25 ms a keystroke at the end of a 5 MB
// script. Nothing else here needs those notifications, so they are off while no assistive
// technology listens. The editor's modified state comes from its save point instead.
class TextChangeNotifications : public QObject, public QAccessible::ActivationObserver
{
public:
    explicit TextChangeNotifications(QsciScintilla *editor)
        : QObject(editor)
        , editor(editor)
    {
        QAccessible::installActivationObserver(this);
        accessibilityActiveChanged(QAccessible::isActive());
    }
    ~TextChangeNotifications() override { QAccessible::removeActivationObserver(this); }

    void accessibilityActiveChanged(bool active) override
    {
        editor->SendScintilla(QsciScintillaBase::SCI_SETMODEVENTMASK,
                              active ? QsciScintillaBase::SC_MODEVENTMASKALL : QsciScintillaBase::SC_MOD_CHANGEFOLD);
    }

private:
    QsciScintilla *editor;
};

// The editor's own bindings of keys that the window's edit commands carry: while bound here the
// editor would take them before the window sees them.
void releaseWindowKeys(QsciScintilla *editor)
{
    QsciCommandSet *commands = editor->standardCommands();
    for (const int key : {int(Qt::CTRL | Qt::Key_Slash), int(Qt::CTRL | Qt::Key_D), int(Qt::CTRL | Qt::SHIFT | Qt::Key_T)}) {
        while (QsciCommand *command = commands->boundTo(key)) {
            if (command->key() == key)
                command->setKey(0);
            else
                command->setAlternateKey(0);
        }
    }
    // Redo answers to both keys that the edit menu shows, also while the editor has the focus.
    commands->find(QsciCommand::Redo)->setAlternateKey(Qt::CTRL | Qt::SHIFT | Qt::Key_Z);
}

} // namespace

void ScriptEditorSetup::configure(QsciScintilla *editor)
{
    editor->setTabWidth(kIndentationWidth);
    auto *lexer = new QsciLexerLuaEx(editor);
    editor->setLexer(lexer);
    editor->setUtf8(true);
    editor->setMarginLineNumbers(1, true);
    editor->setMarginWidth(1, 30);
    // The lexer's own fonts are proportional (and missing on many desktops): code is shown in
    // Courier New, or the desktop's fixed-pitch font where Courier New is not installed.
    QFont font(QStringLiteral("Courier New"), 9);
    if (!QFontInfo(font).fixedPitch()) {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPointSize(9);
    }
    lexer->setFont(font);
    editor->SendScintilla(QsciScintillaBase::SCI_STYLESETFONT, QsciScintillaBase::STYLE_DEFAULT,
                          font.family().toUtf8().constData());
    editor->SendScintilla(QsciScintillaBase::SCI_STYLESETSIZE, QsciScintillaBase::STYLE_DEFAULT, 9);

    editor->setAutoCompletionThreshold(2);
    editor->setAutoCompletionSource(QsciScintilla::AcsAPIs);
    editor->setIndentationWidth(kIndentationWidth);
    editor->setAutoCompletionCaseSensitivity(false);
    editor->setAutoCompletionUseSingle(QsciScintilla::AcusExplicit);
    editor->setAutoCompletionReplaceWord(true);
    editor->setAutoCompletionFillupsEnabled(true);

    editor->setFolding(QsciScintilla::BoxedTreeFoldStyle, 2);
    editor->setCaretLineVisible(true);
    // A quiet band that leaves the colours of the code readable.
    editor->setCaretLineBackgroundColor(QColor(232, 240, 252));
    releaseWindowKeys(editor);
    // Scripts use CR LF; Enter inserts it, and automatic indentation reacts to its CR.
    editor->setEolMode(QsciScintilla::EolWindows);
    new TextChangeNotifications(editor);
}

QString ScriptEditorSetup::welcomeText()
{
    const QString rule(100, QLatin1Char('-'));
    return rule + QStringLiteral("\r\n-- 当前未打开任何脚本文件，请打开一个已有工程的脚本或者新建一个工程。")
        + QStringLiteral("\r\n-- 本软件为Kestrun(Android平台)开发工具，部分功能需要在您的Android机上安装Kestrun。")
        + QStringLiteral("\r\n-- 使用前可以先阅读Kestrun教程，教程中有详细的介绍和示例。") + QStringLiteral("\r\n") + rule
        + QStringLiteral("\r\n");
}
