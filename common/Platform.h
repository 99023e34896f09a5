#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

class QProcess;
class QObject;

// The one place that knows how this desktop opens files, folders and pages. On Windows it uses
// explorer.exe, cmd and .bat files; elsewhere the desktop's default handlers and shell scripts.
// Also the one call made on a socket past Qt: a read straight into the caller's memory.
class Platform
{
public:
    // Shows a directory in the file manager, or a file selected in its directory.
    static void showInFileBrowser(const QString &path, bool isFile);
    // Opens an address (http, https or file) with the desktop's default handler.
    static bool openUrl(const QUrl &url);
    // Opens a local document (a tutorial page) with the default handler.
    static void openLocalDocument(const QString &path);
    // Opens a web page in the browser; on Windows through "cmd /c explorer <address>", waited for.
    static void openPageInBrowser(const QUrl &url);
    // Starts a file of a project: a program is run, any other file opened by its default handler.
    static void launchFile(QProcess &process, const QString &path);
    // Starts the script that forwards the device's control port over USB, from adb/ in the
    // working directory. The process is returned to the caller, who owns it; it is not awaited.
    static QProcess *startUsbForwarding(QObject *parent);
    static QString usbForwardingScript();

    // Reads up to size bytes that have arrived on a connected, non-blocking socket (a Qt
    // socket's descriptor) straight into buffer, waiting up to waitMs for the first of them.
    // Returns the count read, or 0 when nothing came, the peer has closed or the socket failed:
    // the socket's owner then learns of that as usual.
    static qint64 receiveArrived(qintptr socket, char *buffer, qint64 size, int waitMs);

    // Tests replace how addresses and file browsers are opened to observe them without a desktop.
    using UrlOpener = std::function<bool(const QUrl &)>;
    static void setUrlOpenerForTesting(UrlOpener opener);
    using ProgramRunner = std::function<void(const QString &program, const QStringList &arguments)>;
    static void setProgramRunnerForTesting(ProgramRunner runner);
};
