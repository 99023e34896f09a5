#include "app/ui/ProjectManagerWindow.h"
#include "app/ui/UpdatePrompt.h"

#include <QApplication>
#include <QIcon>
#include <QTextCodec>

#include <cstdlib>
#include <ctime>

int main(int argc, char *argv[])
{
    // Content keys of the build are drawn from rand().
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    QApplication app(argc, argv);
    // The installed desktop entry and icon (kestrun-ide.desktop, hicolor theme).
    QApplication::setDesktopFileName(QStringLiteral("kestrun-ide"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("kestrun-ide")));

    // Update check: runs here, before the main window exists, and may end the process.
    checkForUpdate();

    auto *window = new ProjectManagerWindow;
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF8"));
    window->show();
    return app.exec();
}
