#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// What compiling a script says when it does not compile, else the warnings of the check of
// its global names as the script at path of a project that declares no globals of its own.
// Empty: both are content.
QStringList scriptProblems(const QByteArray &source, const QString &path = QStringLiteral("main.lua"));
