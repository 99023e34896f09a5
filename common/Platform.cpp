#include "common/Platform.h"

#include "common/DataLocations.h"
#include "common/AtomicFile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <climits>
#include <cstdio>

namespace {

Platform::UrlOpener &urlOpener()
{
    static Platform::UrlOpener opener;
    return opener;
}

#ifdef Q_OS_WIN
// Runs a helper program and waits for it, as the shell commands of the menus do: up to 30 s to
// start and up to 30 s to finish. A program that takes longer is left running and its process
// object goes away by itself when it ends. False when it did not start. The command line is
// given as it is meant, since explorer and cmd parse quotes their own way.
bool runAndWait(const QString &program, const QString &commandLine)
{
    auto *process = new QProcess;
    process->setProgram(program);
    process->setNativeArguments(commandLine);
    process->start();
    const bool started = process->waitForStarted(30000);
    if (started)
        process->waitForFinished(30000);
    if (process->state() == QProcess::NotRunning) {
        delete process;
        return started;
    }
    QObject::connect(process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished),
                     process, &QObject::deleteLater);
    return true;
}

// cmd /c runs the rest of its line as a command; the outer quotes are taken off, so a path with
// spaces or & keeps its own.
QString cmdRunning(const QString &path)
{
    return QStringLiteral("/c \"\"%1\"\"").arg(QDir::toNativeSeparators(path));
}

// Runs in a thread of its own that the console starts; the quit waits for the event loop.
BOOL WINAPI onConsoleEvent(DWORD)
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), "quit", Qt::QueuedConnection);
    return TRUE;
}
#else
int interruptPipe[2] = {-1, -1};

// Only an async-signal-safe write here; the event loop picks the byte up and quits.
void onInterrupt(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(interruptPipe[1], &byte, 1);
}
#endif

// Desktop openers drop the fragment of a local address or refuse the address (GLib rejects a
// "#" in file URIs; xdg-open looks for a file named "page.html#name"), so such an address is
// opened through a page that sends the browser on to it. The page lives as long as the program.
QString forwardingPage(const QUrl &target)
{
    static QTemporaryDir folder;
    if (!folder.isValid())
        return QString();
    const QString address = QString::fromLatin1(target.toEncoded()).toHtmlEscaped();
    const QString page = QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
                                        "<meta http-equiv=\"refresh\" content=\"0; url=%1\"></head>\n"
                                        "<body><a href=\"%1\">%1</a></body></html>\n")
                             .arg(address);
    const QString path = folder.filePath(QStringLiteral("open.html"));
    return AtomicFile::writeWhole(path, page.toUtf8()) ? path : QString();
}

} // namespace

void Platform::setUrlOpenerForTesting(UrlOpener opener)
{
    urlOpener() = std::move(opener);
}

bool Platform::openUrl(const QUrl &url)
{
    if (urlOpener())
        return urlOpener()(url);
    if (url.isLocalFile() && url.hasFragment()) {
        const QString page = forwardingPage(url);
        return !page.isEmpty() && QDesktopServices::openUrl(QUrl::fromLocalFile(page));
    }
    return QDesktopServices::openUrl(url);
}

void Platform::showInFileBrowser(const QString &path, bool isFile)
{
#ifdef Q_OS_WIN
    // One argument: "/e," and, for a file, "/select,", then the path in quotes.
    const QString select = isFile ? QStringLiteral("/select,") : QString();
    runAndWait(QStringLiteral("explorer.exe"),
               QStringLiteral("/e,%1\"%2\"").arg(select, QDir::toNativeSeparators(path)));
#else
    // Linux file managers have no portable "select this file"; open the file's directory.
    const QString directory = isFile ? QFileInfo(path).absolutePath() : path;
    openUrl(QUrl::fromLocalFile(directory));
#endif
}

QString Platform::showInFileBrowserText()
{
#ifdef Q_OS_WIN
    return QStringLiteral("在Explorer中显示");
#else
    return QStringLiteral("在文件管理器中显示");
#endif
}

bool Platform::openLocalDocument(const QString &path)
{
#ifdef Q_OS_WIN
    return runAndWait(QStringLiteral("cmd"), cmdRunning(path));
#else
    return openUrl(QUrl::fromLocalFile(path));
#endif
}

void Platform::launchFile(QProcess &process, const QString &path)
{
    process.close();
    // Programs are run; data files go to their default handler, which on Windows is what
    // starting them from the shell does.
    if (!QFileInfo(path).isExecutable()) {
        openUrl(QUrl::fromLocalFile(path));
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

Result<QProcess *> Platform::startUsbForwarding(QObject *parent, std::function<void(const QString &why)> whenFailed)
{
    const QString script = DataLocations::standard().find(usbForwardingScript());
    if (script.isEmpty())
        return fail(QStringLiteral("找不到USB端口映射脚本%1：工作目录和安装的数据目录中都没有。").arg(usbForwardingScript()));
    if (adbProgram().isEmpty())
        return fail(QStringLiteral("没有找到adb，无法开启USB端口映射：请安装Android平台工具（Debian软件包adb），"
                                   "并确保adb在PATH中。"));

    auto *process = new QProcess(parent);
    // A forwarding script may run for long: only what it says about errors is kept.
    process->setStandardOutputFile(QProcess::nullDevice());
    QObject::connect(process, &QProcess::errorOccurred, process, [process, whenFailed](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            whenFailed(QStringLiteral("无法启动USB端口映射脚本：") + process->errorString());
    });
    QObject::connect(process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), process,
                     [process, whenFailed](int exitCode, QProcess::ExitStatus status) {
                         if (status == QProcess::NormalExit && exitCode == 0)
                             return;
                         const QString said = QString::fromLocal8Bit(process->readAllStandardError()).trimmed();
                         whenFailed(QStringLiteral("USB端口映射失败（退出码%1）").arg(exitCode)
                                    + (said.isEmpty() ? QStringLiteral("。") : QStringLiteral("：") + said));
                     });
#ifdef Q_OS_WIN
    process->setProgram(QStringLiteral("cmd"));
    process->setNativeArguments(cmdRunning(script));
    process->start();
#else
    process->start(QStringLiteral("/bin/sh"), {script});
#endif
    return process;
}

QString Platform::adbProgram()
{
    return QStandardPaths::findExecutable(QStringLiteral("adb"));
}

QProcess *Platform::forwardUsbPort(QObject *parent, int port, std::function<void(const Status &)> done)
{
    auto *process = new QProcess(parent);
    process->setStandardOutputFile(QProcess::nullDevice());
    auto *timeout = new QTimer(process);
    timeout->setSingleShot(true);
    // Told once: the first of failing to start, ending and running out of time.
    const auto tell = [process, timeout, done](const Status &status) {
        process->disconnect();
        timeout->stop();
        process->deleteLater();
        done(status);
    };
    const QString command = QStringLiteral("adb forward tcp:%1 tcp:%1").arg(port);
    QObject::connect(process, &QProcess::errorOccurred, process, [process, tell, command](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            tell(fail(QStringLiteral("无法运行“%1”：%2").arg(command, process->errorString())));
    });
    QObject::connect(process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), process,
                     [process, tell, command](int exitCode, QProcess::ExitStatus status) {
                         if (status == QProcess::NormalExit && exitCode == 0) {
                             tell(Status());
                             return;
                         }
                         const QString said = QString::fromLocal8Bit(process->readAllStandardError()).trimmed();
                         tell(fail(QStringLiteral("“%1”失败（退出码%2）").arg(command).arg(exitCode)
                                   + (said.isEmpty() ? QString() : QStringLiteral("：") + said)));
                     });
    QObject::connect(timeout, &QTimer::timeout, process, [process, tell, command]() {
        process->disconnect();
        process->kill();
        tell(fail(QStringLiteral("“%1”在%2秒内没有结束").arg(command).arg(kAdbForwardTimeoutMs / 1000)));
    });
    timeout->start(kAdbForwardTimeoutMs);
    const QString adb = adbProgram();
    process->start(adb.isEmpty() ? QStringLiteral("adb") : adb,
                   {QStringLiteral("forward"), QStringLiteral("tcp:%1").arg(port), QStringLiteral("tcp:%1").arg(port)});
    return process;
}

void Platform::stopUsbForwarding(QProcess *process)
{
    if (!process)
        return;
    process->disconnect();
    delete process;
}

Status Platform::replaceFile(const QString &from, const QString &to)
{
#ifdef Q_OS_WIN
    if (!::MoveFileExW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(from).utf16()),
                       reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(to).utf16()),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return fail(qt_error_string(int(::GetLastError())));
#else
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        return fail(qt_error_string(errno));
#endif
    return Status();
}

void Platform::printLine(FILE *stream, const QString &text)
{
    QString line = text;
    line.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    line += QLatin1Char('\n');
    std::fflush(stream);
#ifdef Q_OS_WIN
    const HANDLE handle = HANDLE(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    if (handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
        DWORD written = 0;
        WriteConsoleW(handle, reinterpret_cast<const wchar_t *>(line.utf16()), DWORD(line.size()), &written, nullptr);
        return;
    }
#endif
    const QByteArray bytes = line.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

Status Platform::quitOnInterrupt(QCoreApplication &app)
{
#ifdef Q_OS_WIN
    Q_UNUSED(app)
    if (!SetConsoleCtrlHandler(onConsoleEvent, TRUE))
        return fail(qt_error_string(int(GetLastError())));
#else
    if (interruptPipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, interruptPipe) != 0)
        return fail(qt_error_string(errno));
    auto *notifier = new QSocketNotifier(interruptPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
#endif
    return Status();
}

Status Platform::syncFile(QFileDevice &file)
{
    if (!file.flush())
        return fail(file.errorString());
#ifndef Q_OS_WIN
    if (::fsync(file.handle()) != 0)
        return fail(qt_error_string(errno));
#endif
    return Status();
}

Status Platform::setModificationTime(const QString &path, const QDateTime &time)
{
    const qint64 ms = time.toMSecsSinceEpoch();
#ifdef Q_OS_WIN
    // Directories open only with backup semantics; file times count 100 ns from 1601.
    const HANDLE file = CreateFileW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(path).utf16()),
                                    FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return fail(qt_error_string(int(GetLastError())));
    const quint64 ticks = quint64(ms + 11644473600000LL) * 10000;
    const FILETIME stamp = {DWORD(ticks & 0xFFFFFFFF), DWORD(ticks >> 32)};
    const bool set = SetFileTime(file, nullptr, &stamp, &stamp);
    const DWORD error = GetLastError();
    CloseHandle(file);
    if (!set)
        return fail(qt_error_string(int(error)));
#else
    struct timespec times[2];
    times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(ms / 1000);
    times[0].tv_nsec = times[1].tv_nsec = static_cast<long>((ms % 1000) * 1000000);
    if (::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) != 0)
        return fail(qt_error_string(errno));
#endif
    return Status();
}

void Platform::useBinaryStandardStreams()
{
#ifdef Q_OS_WIN
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
#endif
}

qint64 Platform::readStandardInput(char *buffer, qint64 size)
{
#ifdef Q_OS_WIN
    DWORD got = 0;
    if (!ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, DWORD(qMin<qint64>(size, 1 << 30)), &got, nullptr))
        return 0;
    return qint64(got);
#else
    for (;;) {
        const ssize_t got = ::read(STDIN_FILENO, buffer, size_t(qMin<qint64>(size, SSIZE_MAX)));
        if (got >= 0 || errno != EINTR)
            return qMax<qint64>(got, 0);
    }
#endif
}
