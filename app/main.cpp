#include "app/AppInfo.h"
#include "app/ui/ProjectManagerWindow.h"
#include "app/ui/UpdatePrompt.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QScreen>
#include <QTextCodec>
#include <QTranslator>

#include <cstdio>
#include <cstring>

namespace {

const char kUsage[] =
    "Usage: kestrun-ide [Qt options]\n"
    "Starts the Kestrun IDE in the current directory: its workspace is ./工程目录.\n"
    "\n"
    "Options:\n"
    "  --help      show this help and exit\n"
    "  --version   show the version and exit\n"
    "The options of every Qt program (-platform, -style, ...) are understood too.";

} // namespace

int main(int argc, char *argv[])
{
    // Answered before the application object exists: it would need a display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::puts(kUsage);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("kestrun-ide %s\n", AppInfo::kVersion);
            return 0;
        }
    }
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

    // Destroyed before the application object: the device connection ends while Qt is up.
    ProjectManagerWindow window;
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF8"));
    // The first start gets room to work rather than the form's minimum; a saved session's size wins.
    window.resize(window.screen()->availableGeometry().size() * 0.75);
    window.restoreSession();
    window.show();
    return app.exec();
}
