// The Windows programs, cross-built with MinGW-w64 and deployed with their DLLs, run under wine
// beside the Linux build: kestrun-build.exe builds the same packages from the same projects,
// kestrun-ide.exe shows its main window, kestrun-device-sim.exe takes a package from the Linux
// device link; Chinese names throughout. Skipped, saying why, without wine or a Windows build
// (`make windows-test` makes both and runs it under Xvfb).
#include "common/BuildInfo.h"
#include "common/Platform.h"
#include "device/PCClientControllor.h"
#include "device/ScriptImport.h"
#include "project/ProjectFile.h"
#include "simulator/PackageReader.h"
#include "support/DeviceKey.h"
#include "support/TestPictures.h"
#include "support/ToolRun.h"

#include <QDirIterator>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QDateTime kBase(QDate(2024, 3, 1), QTime(9, 0), Qt::UTC);

// What a Windows program sees of a Linux path: wine's drive Z: is the root.
QString windowsPath(const QString &path)
{
    return QStringLiteral("Z:") + QString(path).replace(QLatin1Char('/'), QLatin1Char('\\'));
}

// Output lines, but the package's compressed size: sealed scripts of random keys compress
// a few bytes better or worse from one build to the next.
QStringList lines(const QByteArray &bytes)
{
    static const QRegularExpression size(QStringLiteral("^总大小：\\d+字节,[0-9.]+KB\\.\\.\\.$"));
    QStringList lines = QString::fromUtf8(bytes).replace(QLatin1String("\r\n"), QLatin1String("\n")).split(QLatin1Char('\n'));
    for (QString &line : lines)
        line.replace(size, QStringLiteral("总大小：…"));
    return lines;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Projects in the workspace "工程目录" under root, the same bytes and times each time: Chinese
// names of projects, folders and files, CR LF and LF line ends, a bitmap, a script that makes
// the check warn.
void makeFixtures(const QString &root)
{
    QImage picture(7, 5, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, TestPictures::coded(x * 30, y * 40));
    const QString scripts = QStringLiteral(KESTRUN_TESTDATA_DIR "/scripts/");
    const QList<QPair<QString, QByteArray>> files{
        {"演示/ks.project", ProjectFile::projectFileBytes("演示", "两行\n说明")},
        {"演示/main.script", ProjectFile::mainScriptTemplate() + "toast(\"你好\")\r\n"},
        {"演示/脚本/中文.lua", fileBytes(scripts + "chinese.lua")},
        {"演示/脚本/闭包.lua", fileBytes(scripts + "closures.lua")},
        {"演示/lib/nested.lua", fileBytes(scripts + "nested.lua")},
        {"演示/lib/varargs.lua", fileBytes(scripts + "varargs.lua")},
        {"演示/图片/按钮.bmp", TestPictures::bitmapBytes(picture)},
        {"演示/数据.txt", "第一行\r\n第二行\n"},
        {"demo/ks.project", ProjectFile::projectFileBytes("demo", QString())},
        {"demo/main.script", "touchClik(1, 2)\r\n"},
        {"demo/lib/long.lua", fileBytes(scripts + "longstrings.lua")},
    };
    int second = 0;
    for (const auto &file : files) {
        const QString path = root + QStringLiteral("/工程目录/") + file.first;
        QDir().mkpath(QFileInfo(path).path());
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(file.second) == file.second.size());
        out.close();
        QVERIFY(Platform::setModificationTime(path, kBase.addSecs(++second)));
    }
}

// A compiled script (.m): its header but the wrapped key, and its chunk opened with the device key.
QByteArray compiledScriptMeaning(const QByteArray &file)
{
    const Result<QByteArray> chunk = PackageReader::openCompiledScript(file, DeviceKey::privatePem());
    if (!chunk || file.size() < 168)
        return "unreadable";
    return file.left(28) + file.mid(156, 12) + *chunk;
}

// A package as the device reads it; compiled scripts in it, and its sealed script entries, by
// what they hold, not by their keys.
QStringList packageMeaning(const QString &path)
{
    const Result<PackageContents> package = PackageReader::read(fileBytes(path), DeviceKey::privatePem());
    if (!package)
        return {QStringLiteral("unreadable: ") + package.error()};
    QStringList meaning{QStringLiteral("%1|%2|%3|%4|%5").arg(package->type).arg(package->name, package->version,
                                                                                package->description,
                                                                                QString::fromLatin1(package->mainChunk.toHex()))};
    for (const PackageEntryData &entry : package->entries) {
        const bool compiled = entry.fileName.endsWith(QLatin1String(".m"));
        meaning << QStringLiteral("%1|%2|%3|%4x%5|%6|%7")
                       .arg(entry.type)
                       .arg(entry.fileName, entry.relativePath)
                       .arg(entry.width)
                       .arg(entry.height)
                       .arg(QString::fromLatin1((compiled ? compiledScriptMeaning(entry.content) : entry.content).toHex()),
                            entry.type == 5 || compiled ? QString() : QString::fromLatin1(entry.data.toHex()));
    }
    return meaning;
}

QStringList filesUnder(const QString &dir, const QString &pattern)
{
    QStringList found;
    QDirIterator it(dir, {pattern}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        found << QDir(dir).relativeFilePath(it.next());
    found.sort();
    return found;
}

// The Windows subsystem a program was linked for: 2 windows, 3 console.
int peSubsystem(const QString &path)
{
    const QByteArray exe = fileBytes(path);
    if (exe.size() < 0x40)
        return -1;
    const qint64 pe = qFromLittleEndian<quint32>(exe.constData() + 0x3C);
    if (pe + 24 + 70 > exe.size() || exe.mid(int(pe), 4) != QByteArray("PE\0\0", 4))
        return -1;
    return qFromLittleEndian<quint16>(exe.constData() + pe + 24 + 68);
}

} // namespace

class TestWindowsSmoke : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void buildsWhatLinuxBuilds();
    void ideShowsItsMainWindow();
    void simulatorTakesAPackageFromLinux();
    void installerInstallsAndUninstalls();
    void suitesPassOnWindows();

private:
    // Starts a Windows program (of the unzipped folder when a bare *.exe) under wine in dir. DLLs
    // are found only where Windows looks: beside the program and in the system.
    // searchPath: more folders for programs (Windows' PATH).
    void startWine(QProcess &process, const QString &program, const QStringList &arguments, const QString &dir,
                   const QString &searchPath = QString());
    ToolRun runWine(const QString &program, const QStringList &arguments, const QString &dir);
    QString xdotool(const QStringList &arguments);

    QString windowsBuild;
    QString version = QString::fromUtf8(BuildInfo::kVersion);
    QString programs; // the zip's folder, unpacked
    QTemporaryDir dir;
    QString linuxRoot;
    QString windowsRoot;
};

void TestWindowsSmoke::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("wine")).isEmpty())
        QSKIP("wine is not installed (make windows-test installs it: scripts/setup-windows-deps.sh)");
    windowsBuild = qEnvironmentVariable("KESTRUN_WINDOWS_BUILD", QStringLiteral(KESTRUN_WINDOWS_BUILD_DIR));
    const QString folder = QStringLiteral("kestrun-ide-%1-win64").arg(version);
    const QString zip = windowsBuild + QLatin1Char('/') + folder + QStringLiteral(".zip");
    if (!QFileInfo::exists(zip))
        QSKIP(qPrintable(QStringLiteral("no Windows build: %1 is missing (make windows; it needs the Windows SDK)").arg(zip)));
    QProcess unzip;
    unzip.setWorkingDirectory(dir.path());
    unzip.start(QStringLiteral("cmake"), {QStringLiteral("-E"), QStringLiteral("tar"), QStringLiteral("xf"), zip});
    QVERIFY(unzip.waitForFinished(60000) && unzip.exitCode() == 0);
    programs = dir.filePath(folder);
    if (!DeviceKey::builtInKeyMatches())
        QSKIP("built with another public key: packages cannot be opened with the development key");
    // The build's own wine prefix, without programs left from an earlier run on another display.
    qputenv("WINEPREFIX", QFile::encodeName(windowsBuild + QStringLiteral("/wine")));
    ToolRun::of({QStringLiteral("wineserver"), QStringLiteral("-k")});
    // A new wine prefix says so on the standard error of the first program run in it.
    QVERIFY(runWine(QStringLiteral("wineboot"), {QStringLiteral("--init")}, dir.path()).exitCode == 0);
    linuxRoot = dir.filePath(QStringLiteral("linux"));
    windowsRoot = dir.filePath(QStringLiteral("windows"));
    makeFixtures(linuxRoot);
    makeFixtures(windowsRoot);
}

void TestWindowsSmoke::cleanupTestCase()
{
    if (!windowsBuild.isEmpty())
        ToolRun::of({QStringLiteral("wineserver"), QStringLiteral("-k")}); // explorer windows and the like
}

void TestWindowsSmoke::startWine(QProcess &process, const QString &program, const QStringList &arguments, const QString &dir,
                                 const QString &searchPath)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("WINEDEBUG"), QStringLiteral("-all"));
    environment.insert(QStringLiteral("WINEDLLOVERRIDES"), QStringLiteral("mscoree=;mshtml="));
    for (const char *name : {"WINEPATH", "QT_PLUGIN_PATH", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    // wine turns Unix names and arguments into Windows ones with the locale's character set.
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    if (!searchPath.isEmpty())
        environment.insert(QStringLiteral("WINEPATH"), windowsPath(searchPath));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(dir);
    const bool ours = program.endsWith(QLatin1String(".exe")) && !program.contains(QLatin1Char('/'));
    process.start(QStringLiteral("wine"), QStringList{ours ? programs + QLatin1Char('/') + program : program} + arguments);
}

ToolRun TestWindowsSmoke::runWine(const QString &program, const QStringList &arguments, const QString &dir)
{
    QProcess process;
    startWine(process, program, arguments, dir);
    ToolRun run;
    if (process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit)
        run.exitCode = process.exitCode();
    process.kill();
    process.waitForFinished();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

QString TestWindowsSmoke::xdotool(const QStringList &arguments)
{
    return QString::fromUtf8(ToolRun::of(QStringList{QStringLiteral("xdotool")} + arguments).out).trimmed();
}

void TestWindowsSmoke::buildsWhatLinuxBuilds()
{
    // The IDE is a windowed program; the command-line tools keep their console.
    QCOMPARE(peSubsystem(programs + QStringLiteral("/kestrun-ide.exe")), 2);
    QCOMPARE(peSubsystem(programs + QStringLiteral("/kestrun-build.exe")), 3);

    for (const QString &project : {QStringLiteral("演示"), QStringLiteral("demo")}) {
        const QString relative = QStringLiteral("工程目录/") + project;
        const ToolRun onLinux = ToolRun::build({linuxRoot + QLatin1Char('/') + relative});
        const ToolRun onWindows = runWine(QStringLiteral("kestrun-build.exe"),
                                          {QStringLiteral("工程目录\\") + project}, windowsRoot);
        QVERIFY2(onWindows.exitCode == 0, onWindows.err.constData());
        QCOMPARE(onWindows.exitCode, onLinux.exitCode);

        // The same lines; paths are Windows paths there, with backslashes.
        const QString windowsProject = windowsPath(windowsRoot + QLatin1Char('/') + relative);
        QStringList windowsOut = lines(onWindows.out);
        QVERIFY2(windowsOut.contains(QStringLiteral("路径：") + windowsProject + QLatin1Char('\\') + project + ".ks"),
                 onWindows.out.constData());
        windowsOut.replaceInStrings(windowsPath(windowsRoot), QStringLiteral("<root>"));
        windowsOut.replaceInStrings(QStringLiteral("\\"), QStringLiteral("/"));
        QCOMPARE(windowsOut, lines(onLinux.out).replaceInStrings(linuxRoot, QStringLiteral("<root>")));
        QCOMPARE(lines(onWindows.err), lines(onLinux.err));

        // The same package and compiled scripts, but for their keys.
        const QString linuxProject = linuxRoot + QLatin1Char('/') + relative;
        const QString builtOnWindows = windowsRoot + QLatin1Char('/') + relative;
        const QString package = QLatin1Char('/') + project + QStringLiteral(".ks");
        QVERIFY(!packageMeaning(linuxProject + package).first().startsWith(QLatin1String("unreadable")));
        QCOMPARE(packageMeaning(builtOnWindows + package), packageMeaning(linuxProject + package));
        const QStringList compiled = filesUnder(linuxProject, QStringLiteral("*.m"));
        QCOMPARE(filesUnder(builtOnWindows, QStringLiteral("*.m")), compiled);
        QVERIFY(!compiled.isEmpty());
        for (const QString &m : compiled) {
            const QByteArray expected = compiledScriptMeaning(fileBytes(linuxProject + QLatin1Char('/') + m));
            QVERIFY2(expected != "unreadable", qPrintable(m));
            QCOMPARE(compiledScriptMeaning(fileBytes(builtOnWindows + QLatin1Char('/') + m)), expected);
        }
    }
}

void TestWindowsSmoke::ideShowsItsMainWindow()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") || QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        QSKIP("no X display with xdotool to show the IDE on (make windows-test runs under xvfb-run)");
    // An adb of its own on the path: it notes what it was asked, as the USB forwarding runs it.
    const QString adb = dir.filePath(QStringLiteral("adb-bin"));
    QVERIFY(QDir().mkpath(adb));
    QFile fake(adb + QStringLiteral("/adb.bat"));
    QVERIFY(fake.open(QIODevice::WriteOnly));
    fake.write("@echo off\r\necho %*> \"%~dp0asked.txt\"\r\n");
    fake.close();

    QProcess ide;
    startWine(ide, QStringLiteral("kestrun-ide.exe"), {}, windowsRoot, adb);
    QVERIFY(ide.waitForStarted());
    const QString title = QStringLiteral("Kestrun开发平台 v") + QString::fromUtf8(BuildInfo::kVersion);
    QString window;
    for (int waited = 0; window.isEmpty() && waited < 120 && ide.state() == QProcess::Running; ++waited) {
        QTest::qWait(1000);
        window = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), title})
                     .section(QLatin1Char('\n'), 0, 0);
    }
    QVERIFY2(!window.isEmpty(), qPrintable(QStringLiteral("no window \"%1\"; the IDE said: %2")
                                               .arg(title, QString::fromUtf8(ide.readAllStandardError()))));
    QTest::qWait(3000); // the project tree's first pass and the first paint
    const QString shot = windowsBuild + QStringLiteral("/wine-ide.png");
    ToolRun::of({QStringLiteral("import"), QStringLiteral("-window"), QStringLiteral("root"), shot});
    qInfo("screenshot of the IDE under wine: %s", qPrintable(shot));
    xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window}); // Xvfb has no window manager

    // "开启本地USB端口映射", the second entry of the fifth menu, runs adb\\a.bat through cmd.
    for (const char *key : {"alt", "Right", "Right", "Right", "Right", "Down", "Down", "Return"}) {
        xdotool({QStringLiteral("key"), QString::fromLatin1(key)});
        QTest::qWait(300);
    }
    QTRY_COMPARE_WITH_TIMEOUT(fileBytes(adb + QStringLiteral("/asked.txt")), QByteArray("forward tcp:7000 tcp:7000\r\n"), 30000);

    // "打开工程目录" (Ctrl+O) shows the workspace in the file browser: explorer.exe with a
    // Windows path, whose window is named after the folder.
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+o")});
    QString browser;
    for (int waited = 0; browser.isEmpty() && waited < 60; ++waited) {
        QTest::qWait(1000);
        browser = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                           QStringLiteral("工程目录")});
    }
    QVERIFY2(!browser.isEmpty(), "no file browser window showing 工程目录");

    ide.kill();
    ide.waitForFinished();
}

void TestWindowsSmoke::simulatorTakesAPackageFromLinux()
{
    // The package kestrun-build.exe made, if the first case ran; else the Linux one.
    QString package = windowsRoot + QStringLiteral("/工程目录/演示/演示.ks");
    if (!QFileInfo::exists(package))
        package = linuxRoot + QStringLiteral("/工程目录/演示/演示.ks");
    if (!QFileInfo::exists(package))
        QVERIFY(ToolRun::build({linuxRoot + QStringLiteral("/工程目录/演示")}).exitCode == 0);

    quint16 port = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        port = probe.serverPort();
    }
    QProcess device;
    startWine(device, QStringLiteral("kestrun-device-sim.exe"),
              {QStringLiteral("--port"), QString::number(port), QStringLiteral("--size"), QStringLiteral("36x64"),
               QStringLiteral("--store"), QStringLiteral("收件箱")},
              windowsRoot);
    QByteArray said;
    for (int waited = 0; !said.contains("listening on") && waited < 600 && device.state() != QProcess::NotRunning; ++waited) {
        device.waitForReadyRead(100);
        said += device.readAllStandardOutput();
    }
    QVERIFY2(said.contains("listening on"), said.constData());

    PCClientControllor controller;
    QSignalSpy logs(&controller, &PCClientControllor::signal_remoteLog);
    QVERIFY(controller.connectToDevice(QStringLiteral("127.0.0.1"), port));
    QVERIFY(ScriptImport::send(controller, package));
    QStringList lines;
    const auto verdictCame = [&] {
        for (; lines.size() < logs.size(); lines << logs.at(lines.size()).at(0).toString()) {}
        return !lines.filter(QRegularExpression(QStringLiteral("^project "))).isEmpty();
    };
    QTRY_VERIFY_WITH_TIMEOUT(verdictCame(), 30000);
    const Result<PackageContents> sent = PackageReader::read(fileBytes(package), DeviceKey::privatePem());
    QVERIFY(sent);
    QVERIFY2(lines.contains(QStringLiteral("project 演示, %1 entries, verified").arg(sent->entries.size())),
             qPrintable(lines.join(QLatin1Char('\n'))));
    QCOMPARE(fileBytes(windowsRoot + QStringLiteral("/收件箱/演示.ks")), fileBytes(package));
    controller.disconnectFromDevice();

    // Its console lines are UTF-8 where they go to a pipe.
    QTRY_VERIFY_WITH_TIMEOUT((said += device.readAllStandardOutput()).contains("imported 演示.ks"), 10000);
    device.kill();
    device.waitForFinished();
}

void TestWindowsSmoke::installerInstallsAndUninstalls()
{
    const QString setup = windowsBuild + QStringLiteral("/kestrun-ide-%1-setup.exe").arg(version);
    if (!QFileInfo::exists(setup))
        QSKIP("no installer was built (makensis is missing)");
    // The installer's /D= and the uninstaller's _?= take no quotes, so no space in the folder.
    const QString target = dir.filePath(QStringLiteral("程序/KestrunIDE"));
    QCOMPARE(runWine(setup, {QStringLiteral("/S"), QStringLiteral("/D=") + windowsPath(target)}, dir.path()).exitCode, 0);
    QStringList shipped = filesUnder(programs, QStringLiteral("*")) << QStringLiteral("uninstall.exe");
    shipped.sort();
    QCOMPARE(filesUnder(target, QStringLiteral("*")), shipped);
    const ToolRun version = runWine(target + QStringLiteral("/kestrun-build.exe"), {QStringLiteral("--version")}, dir.path());
    QCOMPARE(lines(version.out).first(), QStringLiteral("kestrun-build ") + this->version);
    const QString startMenu = QStringLiteral("/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Kestrun开发平台.lnk");
    const QString users = windowsBuild + QStringLiteral("/wine/drive_c/users/");
    const auto startMenuEntries = [&] {
        QStringList found;
        for (const QString &user : QDir(users).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            if (QFileInfo::exists(users + user + startMenu))
                found << user;
        return found;
    };
    QCOMPARE(startMenuEntries().size(), 1);

    // In place (_?=), so that it has finished when it returns; only the uninstaller stays.
    QCOMPARE(runWine(target + QStringLiteral("/uninstall.exe"), {QStringLiteral("/S"), QStringLiteral("_?=") + windowsPath(target)},
                     dir.path())
                 .exitCode,
             0);
    QCOMPARE(filesUnder(target, QStringLiteral("*")), QStringList{QStringLiteral("uninstall.exe")});
    QVERIFY(startMenuEntries().isEmpty());
}

// Cross-built suites whose every case runs under wine, through the Windows build's own CTest:
// the editor's catch among them the QScintilla signals that only an imported DLL class gives.
void TestWindowsSmoke::suitesPassOnWindows()
{
    const ToolRun run = ToolRun::of({QStringLiteral("ctest"), QStringLiteral("--test-dir"), windowsBuild, QStringLiteral("-R"),
                                     QStringLiteral("^tst_(editor|api|deviceprotocol|colorpicker|mainwindow|sealedblocks)$")},
                                    300000);
    QVERIFY2(run.exitCode == 0 && run.out.contains("100% tests passed, 0 tests failed out of 6"), run.out.constData());
}

QTEST_MAIN(TestWindowsSmoke)
#include "tst_windowssmoke.moc"
