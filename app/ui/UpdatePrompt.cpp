#include "app/ui/UpdatePrompt.h"

#include "app/UpdateCheck.h"

#include <QMessageBox>

#include <cstdlib>

bool UpdatePrompt::ask(const QString &description)
{
    return QMessageBox::information(nullptr, QStringLiteral("软件有更新"), description,
                                    QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes)
        == QMessageBox::Yes;
}

void checkForUpdate()
{
    if (UpdateCheck::run(&UpdatePrompt::ask) == UpdateCheck::Outcome::End)
        std::exit(0);
}
