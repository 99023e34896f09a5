// kestrun-build against full disks, links, pipes, unreadable directories, names that are not
// UTF-8 and a second build at once: nothing destroyed, nothing written outside the project, and
// every failure is exit status 1 with a message on standard error.
#include "common/Names.h"
#include "simulator/PackageReader.h"
#include "support/TestWorkspace.h"
#include "support/ToolRun.h"

#include <QLockFile>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

namespace {

QStringList sh(const QString &script, const QStringList &arguments)
{
    return QStringList{QStringLiteral("sh"), QStringLiteral("-c"), script, QStringLiteral("sh")} + arguments;
}

} // namespace

class TestFileSafety : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void buildFailures_data();
    void buildFailures();
    void packageOnFullDisk_data();
    void packageOnFullDisk();
};

void TestFileSafety::initTestCase()
{
    // The damage is done by shell commands: pipes, links, ulimit, names that are not UTF-8.
    if (QStandardPaths::findExecutable(QStringLiteral("sh")).isEmpty())
        QSKIP("no POSIX shell to prepare the damaged projects with (Windows)");
}

void TestFileSafety::buildFailures_data()
{
    // prepare: shell commands on $1, the project, and $2, a file of the author's outside it.
    // limit: the largest file in 512-byte blocks the build may write (ulimit -f), as a full disk.
    QTest::addColumn<QString>("prepare");
    QTest::addColumn<QString>("limit");
    QTest::addColumn<QString>("option");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    const QString bad = QStringLiteral("$(printf '\\377')");
    QTest::newRow("ks.project is a pipe") << "rm \"$1/ks.project\"; mkfifo \"$1/ks.project\"" << "unlimited" << "" << 1 << "不是普通文件";
    QTest::newRow("script name not UTF-8") << "echo 'x = = 1' >\"$1/bad" + bad + ".lua\"" << "unlimited" << "--check" << 1
                                           << "bad\\xFF.lua]的名称不是有效的UTF-8";
    QTest::newRow("data name not UTF-8") << "echo x >\"$1/bad" + bad + ".dat\"" << "unlimited" << "" << 1 << "bad\\xFF.dat]的名称";
    QTest::newRow("directory name not UTF-8") << "mkdir \"$1/d" + bad + "\"; echo x >\"$1/d" + bad + "/x.txt\"" << "unlimited" << ""
                                              << 1 << "d\\xFF]的名称";
    QTest::newRow("directory path too long") << "cd \"$1\"; for i in $(seq 24); do d=$(printf %0200d 0); mkdir $d; cd -P $d; done; "
                                                "echo 'x = = 1' >deep.lua"
                                             << "unlimited" << "--check" << 1 << "无法读取目录";
    QTest::newRow("package is a link") << "ln -s \"$2\" \"$1/p.ks\"" << "unlimited" << "" << 1 << "p.ks]：这是一个符号链接";
    QTest::newRow("compiled script is a link") << "ln -s \"$2\" \"$1/main.script.m\"" << "unlimited" << "--check" << 1
                                               << "main.script.m]：这是一个符号链接";
    QTest::newRow("scratch name is a link") << "ln -s \"$2\" \"$1/p.o\"" << "unlimited" << "" << 0 << "";
    QTest::newRow("compiled script on a full disk") << "cp \"$2\" \"$1/main.script.m\"" << "1" << "--check" << 1 << "main.script.m]：";
    QTest::newRow("another build runs") << "# the test holds the lock" << "unlimited" << "" << 1 << "正在被另一个编译进程";
    // A lock that names no holder, or another machine's (a project copied after a crash), is
    // respected while it is young, then taken over; the message names the file to delete.
    const QString lock = QStringLiteral("\"$1/") + Names::buildLock() + QLatin1Char('"');
    QTest::newRow("empty lock, just made") << ": >" + lock << "unlimited" << "" << 1
                                           << "没有写明持有者，可能正在被编译或检查；它在10秒后会被接管。若此提示一直出现，请删除锁文件[";
    QTest::newRow("empty lock, two minutes old") << ": >" + lock + "; touch -d '2 minutes ago' " + lock << "unlimited" << "" << 0 << "";
    QTest::newRow("another machine's lock") << "printf '4242\\nkestrun-build\\nelsewhere.invalid\\n' >" + lock + "; touch -d '1 minute ago' " + lock
                                            << "unlimited" << "--check" << 0 << "";
}

void TestFileSafety::buildFailures()
{
    QFETCH(QString, prepare);
    QFETCH(QString, limit);
    QFETCH(QString, option);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    TestWorkspace ws;
    const QString project = ws.makeProject(QStringLiteral("p"));
    QByteArray constants = "return {";
    for (int i = 0; i < 400; ++i)
        constants += '"' + QByteArray::number(i * 7919) + "\",";
    ws.writeFile(QStringLiteral("工程目录/p/main.script"), constants + '}'); // compiles to well over 1 KiB
    ws.writeFile(QStringLiteral("outside"), "the author's");
    QCOMPARE(ToolRun::of(sh(prepare, {project, ws.absolute(QStringLiteral("outside"))})).exitCode, 0);
    QLockFile otherBuild(project + QLatin1Char('/') + Names::buildLock());
    QVERIFY(!prepare.contains(QStringLiteral("holds the lock")) || otherBuild.tryLock(0));

    const ToolRun result = ToolRun::of(sh(QStringLiteral("trap '' XFSZ; ulimit -f $1; shift; exec \"$@\""),
                                          QStringList{limit, QStringLiteral(KESTRUN_BUILD_TOOL), project}
                                              + (option.isEmpty() ? QStringList() : QStringList(option))));
    QCOMPARE(result.exitCode, exitCode);
    QVERIFY2(QString::fromUtf8(result.err).contains(message), result.err.constData());
    QCOMPARE(ws.readFile(QStringLiteral("outside")), QByteArray("the author's"));
    if (limit != QLatin1String("unlimited"))
        QCOMPARE(ws.readFile(QStringLiteral("工程目录/p/main.script.m")), QByteArray("the author's"));
    otherBuild.unlock();
    QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), project}); // names and depths Qt cannot remove
}

void TestFileSafety::packageOnFullDisk_data()
{
    // The disk fills while the scratch file is written, or later, in the middle of the package;
    // or it holds the project and two copies of its data, which is all a build needs.
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("diskSize");
    QTest::addColumn<QString>("message"); // empty: the build succeeds
    QTest::newRow("scratch file") << QByteArray(150 * 1024, 'x') << "240k" << "临时文件";
    QByteArray noise(256 * 1024, Qt::Uninitialized); // does not compress: the package is as large
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
    QTest::newRow("package") << noise << "600k" << "p.ks]：";
    QTest::newRow("room for two copies") << noise << "900k" << "";
}

void TestFileSafety::packageOnFullDisk()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, diskSize);
    QFETCH(QString, message);
    // A small file system in a user and mount namespace, with room for the project only.
    if (QProcess::execute(QStringLiteral("unshare"), {QStringLiteral("-rm"), QStringLiteral("true")}) != 0)
        QSKIP("no user namespaces here to mount a small file system in");
    TestWorkspace ws;
    const QString project = ws.makeProject(QStringLiteral("p"));
    ws.writeFile(QStringLiteral("工程目录/p/data.bin"), data);
    ws.writeFile(QStringLiteral("工程目录/p/p.ks"), "old package");
    QVERIFY(QDir().mkdir(ws.absolute(QStringLiteral("disk"))));
    // Standard error: the build's message, then the package as it is afterwards (copied out of
    // the small disk into the project when the build succeeded); standard output: any scratch
    // or half-written package file left behind.
    const ToolRun result = ToolRun::of(QStringList{QStringLiteral("unshare"), QStringLiteral("-rm")}
                           + sh(QStringLiteral("mount -t tmpfs -o size=$4 tmpfs \"$1\" && cp -a \"$2\" \"$1/p\" || exit 99\n"
                                               "\"$3\" \"$1/p\" >/dev/null; status=$?; ls \"$1/p\" | grep -E '\\.o$|\\.ks.'\n"
                                               "if [ $status = 0 ]; then cp \"$1/p/p.ks\" \"$2/built.ks\"; else cat \"$1/p/p.ks\" >&2; fi\n"
                                               "exit $status"),
                                {ws.absolute(QStringLiteral("disk")), project, QStringLiteral(KESTRUN_BUILD_TOOL), diskSize}));
    QCOMPARE(result.out, QByteArray());
    const QString err = QString::fromUtf8(result.err);
    if (message.isEmpty()) {
        QVERIFY2(result.exitCode == 0, qPrintable(err));
        const QByteArray inner = PackageReader::openEnvelope(ws.readFile(QStringLiteral("工程目录/p/built.ks"))).valueOr("");
        QVERIFY(inner.contains(data));
        return;
    }
    QCOMPARE(result.exitCode, 1);
    // The system's reason, never a write whose failure went unseen.
    QVERIFY2(err.startsWith(QStringLiteral("错误：")) && err.contains(message) && !err.contains(QStringLiteral("Unknown error"))
                 && err.endsWith(QStringLiteral("old package")),
             qPrintable(err));
}

QTEST_GUILESS_MAIN(TestFileSafety)
#include "tst_filesafety.moc"
