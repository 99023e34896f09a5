// The output panes: bounded messages, bounded line count, batches shown in order.
#include "common/LogQueue.h"
#include "common/ui/LogView.h"

#include <QTextBlock>
#include <QtTest>

class TestLogView : public QObject
{
    Q_OBJECT

private slots:
    void boundedMessage_data();
    void boundedMessage();
    void lineEndsAndLongLines();
    void queueKeepsTheNewest();
    void paneKeepsTheNewestLinesInOrder();
};

void TestLogView::boundedMessage_data()
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

void TestLogView::boundedMessage()
{
    QFETCH(QString, message);
    QFETCH(QString, shown);
    // Long lines are broken into several; what is kept is the same.
    const QString bounded = LogQueue::bounded(message);
    for (const QString &line : bounded.split(QLatin1Char('\n')))
        QVERIFY(line.size() <= LogQueue::kMaxLineCharacters);
    QCOMPARE(QString(bounded).remove(QLatin1Char('\n')), shown);
}

void TestLogView::lineEndsAndLongLines()
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

void TestLogView::queueKeepsTheNewest()
{
    LogQueue queue(3, 1000);
    for (const char *m : {"1", "2\n3", "4", "5"})
        queue.push(QString::fromLatin1(m));
    QCOMPARE(queue.take(2), QStringLiteral("4\n5")); // "1" and "2\n3" were beyond three lines
    QVERIFY(queue.isEmpty());
    LogQueue bytes(100, 4);
    bytes.push(QStringLiteral("abc"));
    bytes.push(QStringLiteral("de"));
    QCOMPARE(bytes.take(10), QStringLiteral("de"));
}

void TestLogView::paneKeepsTheNewestLinesInOrder()
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

QTEST_MAIN(TestLogView)
#include "tst_logview.moc"
