#include "common/Platform.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace {

Platform::UrlOpener &urlOpener()
{
    static Platform::UrlOpener opener;
    return opener;
}

#ifdef Q_OS_WIN
// Runs a helper program and waits for it, as the shell commands of the menus do: up to 30 s to
// start and up to 30 s to finish. A program that takes longer is left running and its process
// object goes away by itself when it ends.
void runAndWait(const QString &program, const QStringList &arguments)
{
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
