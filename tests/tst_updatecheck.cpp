#include "app/AppInfo.h"
#include "common/Platform.h"
#include "app/UpdateCheck.h"
#include "app/ui/UpdatePrompt.h"
#include "support/ModalAnswerer.h"
#include "support/ScopedEnvironment.h"

#include <QAbstractButton>
#include <QApplication>
#include <QProcess>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

namespace {

// A one-page HTTP server: records each request line and answers as told.
class FakeUpdateServer : public QTcpServer
{
public:
    enum class Mode { Answer, Silent, Hangup };

    Mode mode = Mode::Answer;
    QByteArray status = "200 OK";
    QByteArray body;
    QList<QByteArray> requestLines;

    FakeUpdateServer()
    {
        connect(this, &QTcpServer::newConnection, this, [this]() {
            while (QTcpSocket *socket = nextPendingConnection()) {
                socket->setParent(this);
                if (mode == Mode::Hangup)
                    socket->disconnectFromHost();
                else
                    connect(socket, &QTcpSocket::readyRead, this, [this, socket]() { serve(socket); });
            }
        });
        listen(QHostAddress::LocalHost);
    }

    QString base() const { return QStringLiteral("http://127.0.0.1:%1/").arg(serverPort()); }

private:
    void serve(QTcpSocket *socket)
    {
        QByteArray &request = pending[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n"))
            return;
        requestLines << request.left(request.indexOf("\r\n"));
        if (mode == Mode::Silent)
            return;
        socket->write("HTTP/1.1 " + status + "\r\nContent-Type: text/html\r\nContent-Length: "
                      + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    QHash<QTcpSocket *, QByteArray> pending;
};

QByteArray reply(const QByteArray &version, const QByteArray &desc, const QByteArray &force)
{
    return "<version>" + version + "</version><name>Kestrun " + version + "</name><desc>" + desc
        + "</desc><url>http://example.test/download</url><force>" + force + "</force>";
}

const char kChildAnswer[] = "KESTRUN_TEST_UPDATE_ANSWER";

// The entry point as main runs it, in a child process: it prints what it opened and whether
// start-up went on, so the parent sees whether and how the process ended.
int runEntryPointChild(int argc, char **argv)
{
    QApplication app(argc, argv);
    const bool yes = qgetenv(kChildAnswer) == "yes";
    Platform::setUrlOpenerForTesting([](const QUrl &url) {
        printf("opened %s\n", url.toString().toUtf8().constData());
        fflush(stdout);
        return true;
    });
    ModalAnswerer::answerMessageBox(yes ? QMessageBox::Yes : QMessageBox::No);
    checkForUpdate();
    printf("started\n");
    return 3;
}

} // namespace

Q_DECLARE_METATYPE(UpdateCheck::Outcome)
Q_DECLARE_METATYPE(QMessageBox::StandardButton)

class TstUpdateCheck : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void baseAddress_data();
    void baseAddress();
    void decision_data();
    void decision();
    void silentFailures_data();
    void silentFailures();
    void questionBox_data();
    void questionBox();
    void entryPointEndsProcess_data();
    void entryPointEndsProcess();

private:
    QList<QUrl> opened;
};

void TstUpdateCheck::init()
{
    opened.clear();
    Platform::setUrlOpenerForTesting([this](const QUrl &url) {
        opened << url;
        return true;
    });
}

void TstUpdateCheck::cleanup()
{
    Platform::setUrlOpenerForTesting(nullptr);
}

void TstUpdateCheck::baseAddress_data()
{
    QTest::addColumn<QString>("environment");
    QTest::addColumn<QString>("expected");
    QTest::newRow("unset gives the placeholder") << QString() << QString::fromLatin1(UpdateCheck::kDefaultBaseAddress);
    QTest::newRow("override") << "http://updates.example.test/ide/" << "http://updates.example.test/ide/";
    QTest::newRow("override without final slash") << "http://updates.example.test/ide" << "http://updates.example.test/ide/";
}

void TstUpdateCheck::baseAddress()
{
    QFETCH(QString, environment);
    QFETCH(QString, expected);
    const ScopedEnvironment address("KESTRUN_UPDATE_URL", environment.isEmpty() ? QByteArray() : environment.toUtf8());
    QCOMPARE(UpdateCheck::baseAddress(), expected);
    QVERIFY(UpdateCheck::baseAddress().startsWith(QLatin1String("http://")));
}

// Each row is one reply of the server and the author's answer, should a question come.
void TstUpdateCheck::decision_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("answerYes");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<QString>("description");
    QTest::addColumn<bool>("opensPage");
    QTest::addColumn<UpdateCheck::Outcome>("outcome");
    using O = UpdateCheck::Outcome;
    const QString none;

    QTest::newRow("same version is silent, force or not")
        << reply("1.1.1", "x", "true") << true << false << none << false << O::GoOn;
    QTest::newRow("older version is offered")
        << reply("1.1.0", "旧版", "") << false << true << "旧版" << false << O::GoOn;
    QTest::newRow("any other version text is offered")
        << reply("1.1.1-RC", "rc", "") << false << true << "rc" << false << O::GoOn;
    QTest::newRow("two-line description")
        << reply("1.2.0", "新功能\\r\\n修复错误", "false") << false << true << "新功能\r\n修复错误" << false << O::GoOn;
    QTest::newRow("lone \\n stays as written")
        << reply("1.2.0", "a\\nb", "") << false << true << "a\\nb" << false << O::GoOn;
    QTest::newRow("force true, No ends")
        << reply("1.2.0", "必须更新", "true") << false << true << "必须更新" << false << O::End;
    QTest::newRow("force True, No goes on")
        << reply("1.2.0", "d", "True") << false << true << "d" << false << O::GoOn;
    QTest::newRow("Yes opens the page and ends")
        << reply("1.2.0", "d", "false") << true << true << "d" << true << O::End;
    QTest::newRow("Yes with force ends too")
        << reply("1.2.0", "d", "true") << true << true << "d" << true << O::End;
    QTest::newRow("fields in any order among other text")
        << QByteArray("<html><force>true</force> <url>http://example.test/download</url>\n"
                      "<desc>d</desc><version>2.0</version></html>")
        << false << true << "d" << false << O::End;
    QTest::newRow("empty reply") << QByteArray() << true << false << none << false << O::GoOn;
    QTest::newRow("garbled reply")
        << QByteArray("\xff\xfe\x80<versio\x01n>2.0</ver", 20) << true << false << none << false << O::GoOn;
    QTest::newRow("no version tag is no offer")
        << QByteArray("<desc>d</desc><url>http://example.test/download</url><force>true</force>")
        << true << false << none << false << O::GoOn;
    QTest::newRow("version without closing tag is no offer")
        << QByteArray("<version>2.0<desc>d</desc><force>true</force>") << true << false << none << false << O::GoOn;
    QTest::newRow("closing tag before opening tag is no offer")
        << QByteArray("</version><version>2.0") << true << false << none << false << O::GoOn;
    QTest::newRow("nothing read past a zero byte")
        << QByteArray("<desc>d</desc>\0<version>2.0</version>", 37) << true << false << none << false << O::GoOn;
    QTest::newRow("missing desc and force: empty question, No goes on")
        << QByteArray("<version>2.0</version><desc>unterminated") << false << true << "" << false << O::GoOn;
}

void TstUpdateCheck::decision()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, answerYes);
    QFETCH(bool, asked);
    QFETCH(QString, description);
    QFETCH(bool, opensPage);
    QFETCH(UpdateCheck::Outcome, outcome);

    FakeUpdateServer server;
    server.body = body;
    const ScopedEnvironment address("KESTRUN_UPDATE_URL", server.base().toUtf8());
    QStringList questions;
    const auto result = UpdateCheck::run([&](const QString &text) {
        questions << text;
        return answerYes;
    });
    QCOMPARE(questions, asked ? QStringList{description} : QStringList());
    QCOMPARE(opened, opensPage ? QList<QUrl>{QUrl("http://example.test/download")} : QList<QUrl>());
    QCOMPARE(result, outcome);
    QCOMPARE(server.requestLines, QList<QByteArray>{"GET /update/check.php??v=1.1.1&target=dev HTTP/1.1"});
}

// Whatever goes wrong on the way, start-up goes on without a question.
void TstUpdateCheck::silentFailures_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QByteArray>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("serverRunning");
    QTest::addColumn<int>("requests");
    const QByteArray offer = reply("2.0", "d", "true");
    using M = FakeUpdateServer::Mode;

    QTest::newRow("accepts and never answers") << int(M::Silent) << QByteArray("200 OK") << offer << true << 1;
    QTest::newRow("hangs up at once") << int(M::Hangup) << QByteArray("200 OK") << offer << true << 0;
    QTest::newRow("nobody listening") << int(M::Answer) << QByteArray("200 OK") << offer << false << 0;
    QTest::newRow("HTTP error with an offer in the body")
        << int(M::Answer) << QByteArray("500 Internal Server Error") << offer << true << 1;
    QTest::newRow("reply too long")
        << int(M::Answer) << QByteArray("200 OK") << offer + QByteArray(UpdateCheck::kMaxReplyBytes, ' ') << true << 1;
}

void TstUpdateCheck::silentFailures()
{
    QFETCH(int, mode);
    QFETCH(QByteArray, status);
    QFETCH(QByteArray, body);
    QFETCH(bool, serverRunning);
    QFETCH(int, requests);

    FakeUpdateServer server;
    server.mode = FakeUpdateServer::Mode(mode);
    server.status = status;
    server.body = body;
    const ScopedEnvironment address("KESTRUN_UPDATE_URL", server.base().toUtf8());
    if (!serverRunning)
        server.close();
    bool asked = false;
    const auto result = UpdateCheck::run([&](const QString &) { return asked = true; }, 300);
    QCOMPARE(result, UpdateCheck::Outcome::GoOn);
    QVERIFY(!asked);
    QVERIFY(opened.isEmpty());
    QCOMPARE(server.requestLines.size(), requests);
}

void TstUpdateCheck::questionBox_data()
{
    QTest::addColumn<QMessageBox::StandardButton>("button");
    QTest::newRow("Yes") << QMessageBox::Yes;
    QTest::newRow("No") << QMessageBox::No;
}

void TstUpdateCheck::questionBox()
{
    QFETCH(QMessageBox::StandardButton, button);
    QString text;
    QMessageBox::StandardButtons buttons;
    bool yesIsDefault = false;
    bool hasParent = true;
    ModalAnswerer::whenDialog<QMessageBox>([&](QMessageBox *box) {
        text = box->text();
        buttons = box->standardButtons();
        yesIsDefault = box->defaultButton() && box->standardButton(box->defaultButton()) == QMessageBox::Yes;
        hasParent = box->parentWidget() != nullptr; // shown before any window exists
        box->button(button)->click();
    });
    QCOMPARE(UpdatePrompt::ask(QStringLiteral("新功能\r\n修复错误")), button == QMessageBox::Yes);
    QCOMPARE(text, QStringLiteral("新功能\r\n修复错误"));
    QCOMPARE(buttons, QMessageBox::Yes | QMessageBox::No);
    QVERIFY(yesIsDefault);
    QVERIFY(!hasParent);
}

// The entry point ends the process itself; run it as main does, in a child process.
void TstUpdateCheck::entryPointEndsProcess_data()
{
    QTest::addColumn<QByteArray>("force");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("force true, No ends with 0") << QByteArray("true") << QByteArray("no") << QByteArray("") << 0;
    QTest::newRow("force True, No starts") << QByteArray("True") << QByteArray("no") << QByteArray("started\n") << 3;
    QTest::newRow("Yes opens and ends with 0")
        << QByteArray("") << QByteArray("yes") << QByteArray("opened http://example.test/download\n") << 0;
}

void TstUpdateCheck::entryPointEndsProcess()
{
    QFETCH(QByteArray, force);
    QFETCH(QByteArray, answer);
    QFETCH(QByteArray, output);
    QFETCH(int, exitCode);

    FakeUpdateServer server;
    server.body = reply("1.2.0", "d", force);
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("KESTRUN_UPDATE_URL"), server.base());
    environment.insert(QString::fromLatin1(kChildAnswer), QString::fromLatin1(answer));
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), QStringList());
    QVERIFY(child.waitForStarted());
    // The server lives in this process, so keep its event loop turning while the child runs.
    QTRY_VERIFY_WITH_TIMEOUT(child.state() == QProcess::NotRunning, 20000);
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.readAllStandardOutput(), output);
    QCOMPARE(child.exitCode(), exitCode);
    QCOMPARE(server.requestLines.size(), 1);
}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsSet(kChildAnswer))
        return runEntryPointChild(argc, argv);
    QApplication app(argc, argv);
    TstUpdateCheck test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_updatecheck.moc"
