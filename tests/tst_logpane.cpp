// The output panes: messages bounded in size and line length, the queue and the pane keeping the
// newest lines in order, and the values kept with their lines as links.
#include "common/LogQueue.h"
#include "common/ui/LogView.h"

#include <QTextBlock>
#include <QTextLayout>
#include <QtTest>

class TestLogPane : public QObject
{
    Q_OBJECT

private slots:
    void boundedMessage_data();
    void boundedMessage();
    void lineEndsAndLongLines();
    void queueKeepsTheNewest();
    void paneKeepsTheNewestLinesInOrder();
    void valuesStayWithTheirLines();
};

void TestLogPane::boundedMessage_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    const int max = LogQueue::kMaxMessageBytes;
    QTest::newRow("exactly the limit") << QString(max, 'x') << QString(max, 'x');
    QTest::newRow("one byte over") << QString(max + 1, 'x') << QString(max, 'x') + "…（已截断1字节）";
    // 汉 is three bytes: the cut falls before a character that would not fit whole.
    QTest::newRow("multi-byte boundary") << QString(max - 2, 'x') + "汉汉" << QString(max - 2, 'x') + "…（已截断6字节）";
    // An emoji is a surrogate pair of four bytes; it is never split.
    QTest::newRow("surrogate pair") << QString(max - 3, 'x') + QString::fromUtf8("😀")
                                    << QString(max - 3, 'x') + "…（已截断4字节）";
}

void TestLogPane::boundedMessage()
{
    QFETCH(QString, message);
    QFETCH(QString, shown);
    // Long lines are broken into several; what is kept is the same.
    const QString bounded = LogQueue::bounded(message);
    for (const QString &line : bounded.split(QLatin1Char('\n')))
        QVERIFY(line.size() <= LogQueue::kMaxLineCharacters);
    QCOMPARE(QString(bounded).remove(QLatin1Char('\n')), shown);
}

void TestLogPane::lineEndsAndLongLines()
{
    QCOMPARE(LogQueue::bounded(QStringLiteral("a\r\nb\rc")), QStringLiteral("a\nb\nc"));
    const int max = LogQueue::kMaxLineCharacters;
    QCOMPARE(LogQueue::bounded(QString(max * 2 + 5, 'x') + "\ny"),
             QString(max, 'x') + "\n" + QString(max, 'x') + "\n" + QString(5, 'x') + "\ny");
    // A surrogate pair across the break stays whole on the next line.
    const QString emoji = QString::fromUtf8("😀");
    QCOMPARE(LogQueue::bounded(QString(max - 1, 'x') + emoji), QString(max - 1, 'x') + emoji);
    QCOMPARE(LogQueue::bounded(QString(max, 'x') + emoji), QString(max, 'x') + "\n" + emoji);
}

void TestLogPane::queueKeepsTheNewest()
{
    LogQueue queue(3, 1000);
    for (const char *m : {"1", "2\n3", "4", "5"})
        queue.push(QString::fromLatin1(m));
    QCOMPARE(queue.take(2).text, QStringLiteral("4\n5")); // "1" and "2\n3" were beyond three lines
    QVERIFY(queue.isEmpty());
    LogQueue bytes(100, 4);
    bytes.push(QStringLiteral("abc"));
    bytes.push(QStringLiteral("de"));
    QCOMPARE(bytes.take(10).text, QStringLiteral("de"));
}

void TestLogPane::paneKeepsTheNewestLinesInOrder()
{
    LogView view;
    const int total = LogView::kMaxLines + 500;
    for (int i = 0; i < total; ++i)
        view.appendMessage(QString::number(i));
    QTRY_COMPARE(view.document()->lastBlock().text(), QString::number(total - 1));
    QCOMPARE(view.document()->blockCount(), LogView::kMaxLines);
    QCOMPARE(view.document()->firstBlock().text(), QString::number(total - LogView::kMaxLines));
    view.clearMessages();
    QCOMPARE(view.toPlainText(), QString());
}

void TestLogPane::valuesStayWithTheirLines()
{
    // Values among plain lines, across the batches the pane shows them in, and a value whose
    // message has several lines (its place is on the last): each stays with its own line.
    LogView view;
    const auto place = [](int n) {
        return Diagnostic{Diagnostic::Kind::Warning, QStringLiteral("warning %1").arg(n), QStringLiteral("/p"),
                          QStringLiteral("s%1.lua").arg(n), n, {}};
    };
    for (int n = 1; n <= 250; ++n) {
        view.appendMessage(QStringLiteral("line"));
        view.appendDiagnostic(place(n));
    }
    Diagnostic report = Diagnostic::error(QStringLiteral("脚本编译出错...\n错误代码：3\n脚本a.lua第7行有语法错误"));
    report.path = QStringLiteral("a.lua");
    report.line = 7;
    view.appendDiagnostic(report);
    view.appendDiagnostic(Diagnostic::error(QStringLiteral("no place")));
    view.flush();

    QCOMPARE(view.document()->blockCount(), 500 + 3 + 1);
    for (int n : {1, 100, 101, 250}) {
        const int line = 2 * n - 1;
        QCOMPARE(view.diagnostic(line).value_or(Diagnostic()).path, QStringLiteral("s%1.lua").arg(n));
        QCOMPARE(view.lines(line, 1), QStringList{QStringLiteral("warning %1").arg(n)});
        QVERIFY(!view.diagnostic(line - 1));
        // Coloured by kind, and the colour does not pass on to the next line.
        const auto formats = [&view](int n) { return view.document()->findBlockByNumber(n).layout()->formats().size(); };
        QVERIFY(formats(line) > 0);
        QCOMPARE(formats(line - 1), 0);
    }
    QVERIFY(!view.diagnostic(500) && !view.diagnostic(501));
    QCOMPARE(view.diagnostic(502).value_or(Diagnostic()).line, 7);
    QCOMPARE(view.lines(502, 1), QStringList{QStringLiteral("脚本a.lua第7行有语法错误")});
    QVERIFY(!view.diagnostic(503));
    QCOMPARE(view.lines(503, 1), QStringList{QStringLiteral("错误：no place")});
}

QTEST_MAIN(TestLogPane)
#include "tst_logpane.moc"
