#pragma once

#include "api/CallForm.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <algorithm>

// One name of the runtime's API or of Lua's standard library: what the lexer colours, completion
// offers, the API reference describes and the script check holds calls to.
struct ApiEntry
{
    // How a call is served when the script runs on the PC instead of the phone.
    enum class OnPc { Unavailable, Served, Approximate, Accepted };

    QString name;            // "touchClick"; a library table's field as "string.format"
    QString library;         // kRuntime, or Lua's: "_G" for the basic functions, "string", "math", …
    QStringList aliases;     // the runtime's Chinese names of the same function
    QVector<CallForm> forms; // empty for a value, or where the call form is not known
    QString returns;         // "flag,x,y"; empty when nothing is known of it
    QString description;     // one line, Chinese
    OnPc onPc = OnPc::Unavailable;
    QString onPcNote;        // for an approximate entry: what it does on the PC

    static constexpr const char *kRuntime = "runtime";

    bool isRuntime() const { return library == QLatin1String(kRuntime); }
    // Whether a call with this many arguments fits one of the forms; true when none is known.
    bool accepts(int arguments) const
    {
        return forms.isEmpty()
            || std::any_of(forms.begin(), forms.end(), [arguments](const CallForm &f) { return f.accepts(arguments); });
    }
    // "本地运行：…", for the reference.
    static QString onPcText(OnPc onPc);
    // The same with the note, when there is one.
    QString onPcLine() const;
};
