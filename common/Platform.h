#pragma once

#include "common/Result.h"

#include <QString>
#include <QUrl>

#include <cstdio>
#include <functional>

class QFileDevice;
class QCoreApplication;
class QDateTime;
class QProcess;
class QObject;

// The one place that knows how this desktop opens files, folders and pages. On Windows it uses
// explorer.exe, cmd and .bat files; elsewhere the desktop's default handlers and shell scripts.
// Also the raw standard streams of a command-line protocol.
class Platform
{
public:
    // Shows a directory in the file manager, or a file selected in its directory.
    static void showInFileBrowser(const QString &path, bool isFile);
    // The menu text of that command, naming the file manager this desktop has.
    static QString showInFileBrowserText();
    // Opens an address (http, https or file) with the desktop's default handler. False when
    // the desktop has none (no browser, no xdg-open).
    static bool openUrl(const QUrl &url);
    // Opens a local document (a tutorial page) with the default handler; false as openUrl.
    static bool openLocalDocument(const QString &path);
    // Starts a file of a project: a program is run, any other file opened by its default handler.
    static void launchFile(QProcess &process, const QString &path);
    // Starts the script that forwards the device's control port over USB, adb/a.bat or adb/a.sh
    // from the working directory or the installed data folder; fails, saying why, when there is
    // no script or no adb on PATH. The process is not awaited; it belongs to parent. When it
    // cannot start or ends with an error, whenFailed is told why.
    static Result<QProcess *> startUsbForwarding(QObject *parent, std::function<void(const QString &why)> whenFailed);
    // Ends a forwarding process (null is fine) without reporting its end as a failure.
    static void stopUsbForwarding(QProcess *process);
    static QString usbForwardingScript();
    // adb as found on PATH; empty when there is none.
    static QString adbProgram();
    // Forwards a local TCP port to the same port of the phone on the USB cable (adb forward
    // tcp:P tcp:P) without waiting; done is told once, when adb has ended (or given up after
    // kAdbForwardTimeoutMs): success, or why not. The process belongs to parent; stopping it
    // with stopUsbForwarding tells done nothing.
    static QProcess *forwardUsbPort(QObject *parent, int port, std::function<void(const Status &)> done);
    static constexpr int kAdbForwardTimeoutMs = 15000;

    // Puts the file `from` in the place of `to` in one step: `to` is either the old file or the
    // new one, whatever happens meanwhile. Both lie in one directory.
    static Status replaceFile(const QString &from, const QString &to);
    // Makes the data written to an open file reach the disk.
    static Status syncFile(QFileDevice &file);

    // Command-line programs. Writes text and a line end to standard output or error so that any
    // terminal shows its Chinese: UTF-16 to a Windows console (whose code page is seldom
    // UTF-8), UTF-8 bytes to files, pipes and other terminals. CR LF in text become line ends.
    static void printLine(FILE *stream, const QString &text);
    // Makes an interrupt (Ctrl+C, Ctrl+Break, closing the console) or a request to terminate
    // end app's event loop, so that the program stops cleanly. Fails, saying why, when the
    // handler cannot be set up.
    static Status quitOnInterrupt(QCoreApplication &app);

    // Sets the modification time of a file or directory (the newest-first orders rest on it).
    static Status setModificationTime(const QString &path, const QDateTime &time);

    // Standard input and output carry bytes as they are (no line-end translation), for a protocol
    // spoken over them.
    static void useBinaryStandardStreams();
    // Waits for bytes on standard input and reads those there, up to size; 0 at its end or on
    // failure.
    static qint64 readStandardInput(char *buffer, qint64 size);

    // Tests replace how addresses and file browsers are opened to observe them without a desktop.
    using UrlOpener = std::function<bool(const QUrl &)>;
    static void setUrlOpenerForTesting(UrlOpener opener);
};
