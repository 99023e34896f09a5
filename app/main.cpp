#include "app/ui/ProjectManagerWindow.h"
#include "app/ui/UpdatePrompt.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QTextCodec>
#include <QTranslator>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The installed desktop entry and icon (kestrun-ide.desktop, hicolor theme).
    QApplication::setDesktopFileName(QStringLiteral("kestrun-ide"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("kestrun-ide")));

    // The toolkit's own texts (standard buttons: 是/否/确定/取消/保存) speak the interface's language.
    QTranslator qtTexts;
    if (qtTexts.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::location(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&qtTexts);

    // Update check: runs here, before the main window exists, and may end the process.
    checkForUpdate();

    auto *window = new ProjectManagerWindow;
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF8"));
    window->restoreSession();
    window->show();
    return app.exec();
}
