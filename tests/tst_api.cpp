// The model of the runtime's API: its call-form notation, the names an author adds, and the
// agreement of what the editor colours with what the script check knows.
#include "api/ApiModel.h"
#include "editor/LexerWords.h"
#include "tests/support/ScriptProblems.h"

#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

class TestApi : public QObject
{
    Q_OBJECT

private slots:
    void callForms_data();
    void callForms();
    void additions();
    void builtInModelAgreesWithTheCheck();
};

void TestApi::callForms_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("name"); // empty: refused
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max"); // -2: a bare name
    const int any = CallForm::kUnbounded;
    QTest::newRow("fixed") << "touchClick(x,y)" << "touchClick" << 2 << 2;
    QTest::newRow("none") << "touchUp()" << "touchUp" << 0 << 0;
    QTest::newRow("nested options") << "string:find(s, pattern [, init [, plain]])" << "string.find" << 2 << 4;
    QTest::newRow("option in between") << "table.insert(list, [pos,] value)" << "table.insert" << 2 << 3;
    QTest::newRow("varargs") << "math.max(x, ...)" << "math.max" << 1 << any;
    QTest::newRow("optional varargs") << "io.lines([filename ...])" << "io.lines" << 0 << any;
    QTest::newRow("option group") << "isColor(x,y[,similarity])" << "isColor" << 2 << 3;
    QTest::newRow("image mark") << "name?2(a)" << "name" << 1 << 1;
    QTest::newRow("Chinese") << "触摸点击(x,y)" << "触摸点击" << 2 << 2;
    QTest::newRow("bare name") << "  DEFAULT_WINDOW_NAME  " << "DEFAULT_WINDOW_NAME" << 0 << -2;
    QTest::newRow("too deep") << "a.b.c(x)" << "" << 0 << 0;
    QTest::newRow("no name") << "(x)" << "" << 0 << 0;
    QTest::newRow("two words") << "local f(x)" << "" << 0 << 0;
    QTest::newRow("digit first") << "2f()" << "" << 0 << 0;
    QTest::newRow("unclosed") << "f(x" << "" << 0 << 0;
    QTest::newRow("unbalanced brackets") << "f(x[,y)" << "" << 0 << 0;
    QTest::newRow("closing bracket first") << "f(x],[y)" << "" << 0 << 0;
    QTest::newRow("too long") << "f(" + QString(CallForm::kMaxLineLength, QLatin1Char('x')) + ")" << "" << 0 << 0;
}

void TestApi::callForms()
{
    QFETCH(QString, line);
    QFETCH(QString, name);
    QFETCH(int, min);
    QFETCH(int, max);
    const Result<CallForm> form = CallForm::parse(line);
    QCOMPARE(form.ok(), !name.isEmpty());
    if (!form) {
        QVERIFY(!form.error().isEmpty());
        return;
    }
    QCOMPARE(form->name, name);
    QCOMPARE(form->isCall(), max != -2);
    if (form->isCall())
        QCOMPARE(qMakePair(form->minArguments, form->maxArguments), qMakePair(min, max));
}

// config/apis.txt adds what the model lacks and leaves alone what it knows: an old copy of the
// whole list changes nothing.
void TestApi::additions()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("apis.txt"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("# the phone's newer functions\n"
               "myTap(x,y)\r\n"
               "\n"
               "myTap(x,y,pressure)\n"
               "touchClick(a,b,c)\n"
               "findColor(color[,x1,y1,x2,y2])\n"
               "string:split(s, sep)\n"
               "ui:show(name)\n"
               "and\n"
               "string\n"
               "bad(x\n");
    file.close();

    const ApiModel model = ApiModel::withAdditions(path);
    const ApiEntry *myTap = model.find(QStringLiteral("myTap"));
    QVERIFY(myTap && myTap->isRuntime());
    QCOMPARE((QList<bool>{myTap->accepts(1), myTap->accepts(2), myTap->accepts(3), myTap->accepts(4)}),
             (QList<bool>{false, true, true, false}));
    QVERIFY(!model.find(QStringLiteral("touchClick"))->accepts(3));
    QVERIFY(!model.find(QStringLiteral("findColor"))->accepts(3));
    QCOMPARE(model.find(QStringLiteral("string.split"))->library, QStringLiteral("string"));
    QVERIFY(model.tables().contains(QStringLiteral("ui")) && model.find(QStringLiteral("ui.show")));
    QVERIFY(!model.find(QStringLiteral("and")));
    QCOMPARE(model.problems().size(), 1);
    QVERIFY2(model.problems()[0].contains(QStringLiteral("第11行")), qPrintable(model.problems()[0]));
    QCOMPARE(model.entries().size(), ApiModel::builtIn().entries().size() + 3);

    QCOMPARE(ApiModel::withAdditions(dir.filePath(QStringLiteral("none.txt"))).problems(), QStringList());
    QVERIFY(file.open(QIODevice::WriteOnly));
    for (int n = 0; n <= ApiModel::kMaxAdditions; ++n)
        file.write("f" + QByteArray::number(n) + "()\n");
    file.close();
    const ApiModel tooMany = ApiModel::withAdditions(path);
    QCOMPARE(tooMany.problems().size(), 1);
    QCOMPARE(tooMany.entries().size(), ApiModel::builtIn().entries().size() + ApiModel::kMaxAdditions);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.resize(ApiModel::kMaxAdditionsBytes + 1));
    file.close();
    const ApiModel tooLarge = ApiModel::withAdditions(path);
    QCOMPARE(tooLarge.problems().size(), 1);
    QCOMPARE(tooLarge.entries().size(), ApiModel::builtIn().entries().size());
}

// Every table row reads, no name or alias stands for two entries, and every word the lexer
// colours is a name the check knows: a script reading them all draws no warning.
void TestApi::builtInModelAgreesWithTheCheck()
{
    const ApiModel &model = ApiModel::builtIn();
    QCOMPARE(model.problems(), QStringList());
    QSet<QString> names;
    for (const ApiEntry &entry : model.entries()) {
        for (const QString &name : QStringList{entry.name} + entry.aliases) {
            QVERIFY2(!names.contains(name), qPrintable(name));
            names.insert(name);
        }
    }

    QByteArray script;
    for (int set = 2; set <= 4; ++set) {
        for (const QByteArray &word : LexerWords::forSet(model, set).split(' ')) {
            // Chinese aliases are no Lua names: scripts reach them through the global table.
            script += word.contains('.') ? "_ = " + word + "\n" : "_ = _ENV[\"" + word + "\"]\n";
        }
    }
    const QStringList problems = scriptProblems(script);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
}

QTEST_MAIN(TestApi)
#include "tst_api.moc"
