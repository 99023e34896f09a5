#pragma once

#include <QString>

class QWidget;

// The one-button notice box ("提示") in which the author is told of a failure or a fact.
void showNotice(QWidget *parent, const QString &text);
// The same box asking a question with Yes and No; true for Yes.
bool askNotice(QWidget *parent, const QString &text, bool yesIsDefault = true);
