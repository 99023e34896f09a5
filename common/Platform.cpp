#include "common/Platform.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <poll.h>
#include <sys/socket.h>
#endif

#include <climits>

namespace {

Platform::UrlOpener &urlOpener()
{
    static Platform::UrlOpener opener;
    return opener;
}

Platform::ProgramRunner &programRunner()
{
    static Platform::ProgramRunner runner;
    return runner;
}

#ifdef Q_OS_WIN
// Runs a helper program and waits for it, as the shell commands of the menus do: up to 30 s to
// start and up to 30 s to finish. A program that takes longer is left running and its process
// object goes away by itself when it ends.
void runAndWait(const QString &program, const QStringList &arguments)
{
    if (programRunner()) {
        programRunner()(program, arguments);
        return;
    }
    auto *process = new QProcess;
    process->start(program, arguments);
    if (process->waitForStarted(30000))
        process->waitForFinished(30000);
    if (process->state() == QProcess::NotRunning) {
        delete process;
        return;
    }
    QObject::connect(process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished),
                     process, &QObject::deleteLater);
}
#endif

} // namespace

void Platform::setUrlOpenerForTesting(UrlOpener opener)
{
    urlOpener() = std::move(opener);
}

void Platform::setProgramRunnerForTesting(ProgramRunner runner)
{
    programRunner() = std::move(runner);
}

bool Platform::openUrl(const QUrl &url)
{
    if (urlOpener())
        return urlOpener()(url);
    return QDesktopServices::openUrl(url);
}

void Platform::showInFileBrowser(const QString &path, bool isFile)
{
#ifdef Q_OS_WIN
    QString argument = QStringLiteral("/e,");
    if (isFile)
        argument += QStringLiteral("/select,");
    argument += QString(path).replace(QLatin1Char('/'), QLatin1Char('\\'));
    runAndWait(QStringLiteral("explorer.exe"), {argument});
#else
    // Linux file managers have no portable "select this file"; open the file's directory.
    const QString directory = isFile ? QFileInfo(path).absolutePath() : path;
    openUrl(QUrl::fromLocalFile(directory));
#endif
}

void Platform::openLocalDocument(const QString &path)
{
#ifdef Q_OS_WIN
    runAndWait(QStringLiteral("cmd"), {QStringLiteral("/c"), path});
#else
    openUrl(QUrl::fromLocalFile(path));
#endif
}

void Platform::openPageInBrowser(const QUrl &url)
{
#ifdef Q_OS_WIN
    runAndWait(QStringLiteral("cmd"), {QStringLiteral("/c"), QStringLiteral("explorer"), url.toString()});
#else
    openUrl(url);
#endif
}

void Platform::launchFile(QProcess &process, const QString &path)
{
    process.close();
#ifndef Q_OS_WIN
    // Only Windows starts any file as a program; here data files go to their default handler.
    if (!QFileInfo(path).isExecutable()) {
        openUrl(QUrl::fromLocalFile(path));
        return;
    }
#endif
    if (programRunner()) {
        programRunner()(path, {});
        return;
    }
    process.start(path, QStringList(), QIODevice::ReadWrite);
}

QString Platform::usbForwardingScript()
{
#ifdef Q_OS_WIN
    return QStringLiteral("adb/a.bat");
#else
    return QStringLiteral("adb/a.sh");
#endif
}

QProcess *Platform::startUsbForwarding(QObject *parent)
{
    auto *process = new QProcess(parent);
#ifdef Q_OS_WIN
    process->start(usbForwardingScript(), QStringList());
#else
    process->start(QStringLiteral("/bin/sh"), {usbForwardingScript()});
#endif
    return process;
}

qint64 Platform::receiveArrived(qintptr socket, char *buffer, qint64 size, int waitMs)
{
#ifdef Q_OS_WIN
    const auto receive = [&] { return ::recv(SOCKET(socket), buffer, int(qMin<qint64>(size, INT_MAX)), 0); };
    WSAPOLLFD readable = {SOCKET(socket), POLLRDNORM, 0};
    const auto wait = [&] { return WSAPoll(&readable, 1, waitMs) > 0; };
#else
    const auto receive = [&] {
        return ::recv(int(socket), buffer, size_t(qMin<qint64>(size, SSIZE_MAX)), MSG_DONTWAIT);
    };
    pollfd readable = {int(socket), POLLIN, 0};
    const auto wait = [&] { return ::poll(&readable, 1, waitMs) > 0; };
#endif
    auto n = receive();
    if (n <= 0 && waitMs > 0 && wait())
        n = receive();
    return n > 0 ? qint64(n) : 0;
}
