// Search across a project on its own thread: a regular expression over scripts and text files,
// an invalid expression, and a search replaced by the next.
#include "editor/ProjectSearch.h"
#include "support/TestWorkspace.h"

#include <QSignalSpy>
#include <QtTest>

class TestProjectSearch : public QObject
{
    Q_OBJECT

private slots:
    void regularExpression();
    void invalidRegularExpression();
    void nextSearchCancelsTheRunning();
};

void TestProjectSearch::regularExpression()
{
    TestWorkspace ws;
    ws.writeFile(QStringLiteral("p/main.script"), "function main()\r\n\tTouchClick(1, 2)\r\nend\r\n");
    ws.writeFile(QStringLiteral("p/lib/util.lua"), "local x = touchClick(3, 4) touchClick(5, 6)\nreturn x");
    ws.writeFile(QStringLiteral("p/notes.txt"), "touchClick\n");
    ws.writeFile(QStringLiteral("p/shot.bmp"), "touchClick(7, 8)\n");
    ProjectSearch search;
    QSignalSpy results(&search, &ProjectSearch::signal_results);
    QSignalSpy finished(&search, &ProjectSearch::signal_finished);
    // Case-insensitive, anchored at the line end of CR LF lines, one result per line.
    const Result<int> id = search.start(ws.absolute(QStringLiteral("p")), QStringLiteral("touchclick\\(\\d, \\d\\)$"), {true, false});
    QVERIFY(id.ok());
    QVERIFY(finished.wait());
    QStringList lines;
    for (const QList<QVariant> &batch : qAsConst(results)) {
        QCOMPARE(batch.at(0).toInt(), id.value());
        lines += batch.at(1).toStringList();
    }
    QCOMPARE(lines, (QStringList{"lib/util.lua:1: local x = touchClick(3, 4) touchClick(5, 6)", "main.script:2: TouchClick(1, 2)"}));
    QCOMPARE(finished.first().at(1).toString(), QStringLiteral("共找到2个结果（2个文件）"));
}

void TestProjectSearch::invalidRegularExpression()
{
    ProjectSearch search;
    QSignalSpy finished(&search, &ProjectSearch::signal_finished);
    const Result<int> id = search.start(QDir::tempPath(), QStringLiteral("touchClick(("), {true, true});
    QVERIFY(!id.ok());
    QVERIFY2(id.error().startsWith(QStringLiteral("正则表达式有误：")), qPrintable(id.error()));
    QVERIFY(id.error().endsWith(QStringLiteral("（第13个字符处）")));
    QVERIFY(!search.start(QDir::tempPath(), QString(), {}).ok());
    QTest::qWait(50);
    QCOMPARE(finished.count(), 0);
}

void TestProjectSearch::nextSearchCancelsTheRunning()
{
    TestWorkspace ws;
    for (int i = 0; i < 50; ++i)
        ws.writeFile(QStringLiteral("p/s%1.lua").arg(i), QByteArray("sleep(1)\n").repeated(2000));
    ProjectSearch search;
    QSignalSpy results(&search, &ProjectSearch::signal_results);
    QSignalSpy finished(&search, &ProjectSearch::signal_finished);
    const int first = search.start(ws.absolute(QStringLiteral("p")), QStringLiteral("sleep"), {}).value();
    const int second = search.start(ws.absolute(QStringLiteral("p")), QStringLiteral("s49.lua"), {}).value();
    QVERIFY(first != second);
    QVERIFY(finished.wait());
    QTest::qWait(100);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.first().at(0).toInt(), second);
    QCOMPARE(finished.first().at(1).toString(), QStringLiteral("共找到0个结果（0个文件）"));
    QCOMPARE(results.count(), 0);
}

QTEST_MAIN(TestProjectSearch)
#include "tst_projectsearch.moc"
