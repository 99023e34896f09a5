#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

// Answers the next modal dialog from inside its own event loop, so tests drive message boxes
// and dialogs exactly as an author would, without flags that hide them.
class ModalAnswerer
{
public:
    using Action = std::function<void(QWidget *modal)>;

    // Calls action with the first active modal widget for which accept(widget) is true, polling
    // from the event loop for up to timeoutMs. Returns at once; the action runs later.
    static void whenModal(std::function<bool(QWidget *)> accept, Action action, int timeoutMs = 5000);
    // Clicks the button of the next message box and records its title and text.
    static void answerMessageBox(QMessageBox::StandardButton button, QString *title = nullptr,
                                 QString *text = nullptr, int timeoutMs = 5000);
    // Acts on the next modal widget of class T.
    template<typename T>
    static void whenDialog(std::function<void(T *)> action, int timeoutMs = 5000)
    {
        whenModal([](QWidget *w) { return qobject_cast<T *>(w) != nullptr; },
                  [action](QWidget *w) { action(qobject_cast<T *>(w)); }, timeoutMs);
    }
};
