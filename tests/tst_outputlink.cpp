// Output lines that name a script and a line: compiler reports, warnings, search results.
#include "editor/OutputLink.h"

#include <QtTest>

class TestOutputLink : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
};

void TestOutputLink::parse_data()
{
    QTest::addColumn<QStringList>("lines"); // the last line is parsed
    QTest::addColumn<QString>("path");      // empty: no link
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("token");

    const QStringList report = {"正在编译[main.script]", "正在编译[lib/util.lua]", "错误：脚本编译出错...", "错误代码：3", "错误信息："};
    QTest::newRow("compiler report, path from the progress line")
        << report + QStringList{"脚本util.lua第12行有语法错误, unexpected symbol near '['"} << "lib/util.lua" << 12 << "[";
    QTest::newRow("compiler report at the end of the text")
        << report + QStringList{"脚本util.lua第3行有语法错误, 'end' expected near <eof>"} << "lib/util.lua" << 3 << "";
    QTest::newRow("compiler report without a progress line, a file name with 第")
        << QStringList{"脚本第2章.lua第7行有语法错误, '=' expected near 'x'"} << "第2章.lua" << 7 << "x";
    QTest::newRow("compiler report shifted by a colon in the first line")
        << report + QStringList{"脚本util.lua第 b\"]行有语法错误,5"} << "lib/util.lua" << 5 << "";
    QTest::newRow("undefined name with a suggestion")
        << QStringList{"警告：脚本lib/tap.lua第2行使用了未定义的全局名“touchClik”，是否为“touchClick”？"} << "lib/tap.lua" << 2
        << "touchClik";
    QTest::newRow("undefined field")
        << QStringList{"警告：脚本main.script第40行使用了未定义的全局名“string.fromat”，是否为“string.format”？"}
        << "main.script" << 40 << "fromat";
    QTest::newRow("undefined name without a suggestion")
        << QStringList{"警告：脚本a.lua第9行使用了未定义的全局名“触摸点”"} << "a.lua" << 9 << "触摸点";
    QTest::newRow("argument count")
        << QStringList{"警告：脚本a.lua第11行调用“touchMove”时传入了1个参数，应为2个"} << "a.lua" << 11 << "touchMove";
    QTest::newRow("search result") << QStringList{"lib/util.lua:120: local x = a:b(1)"} << "lib/util.lua" << 120 << "";
    QTest::newRow("progress line") << QStringList{"正在编译[main.script]"} << "" << 0 << "";
    QTest::newRow("summary") << QStringList{"共2个警告"} << "" << 0 << "";
    QTest::newRow("size line") << QStringList{"总大小：1024字节,1.00KB..."} << "" << 0 << "";
    QTest::newRow("line 0") << QStringList{"a.lua:0: x"} << "" << 0 << "";
}

void TestOutputLink::parse()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, path);
    QFETCH(int, line);
    QFETCH(QString, token);
    const std::optional<OutputLink> link = OutputLink::parse(lines, lines.size() - 1);
    QCOMPARE(link.has_value(), !path.isEmpty());
    if (link) {
        QCOMPARE(link->path, path);
        QCOMPARE(link->line, line);
        QCOMPARE(link->token, token);
    }
}

QTEST_MAIN(TestOutputLink)
#include "tst_outputlink.moc"
