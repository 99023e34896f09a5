// The offline API reference as the build generates it, F1's word-to-anchor rule, and where the
// program finds its data.
#include "common/DataLocations.h"
#include "editor/ApiReference.h"
#include "editor/SnippetCatalogue.h"
#include "ui_ProjectManagerWindow.h"

#include <QMainWindow>
#include <QMenu>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

class TestApiReference : public QObject
{
    Q_OBJECT

private slots:
    void generatedPageHoldsEveryEntryOnce();
    void anchorAtCaret_data();
    void anchorAtCaret();
    void dataLookupOrder_data();
    void dataLookupOrder();
};

void TestApiReference::generatedPageHoldsEveryEntryOnce()
{
    QFile file(QStringLiteral(KESTRUN_API_REFERENCE));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QTextCodec::ConverterState state;
    const QString page = QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), bytes.size(), &state);
    QCOMPARE(state.invalidChars, 0);

    QHash<QString, int> ids; // anchor -> position
    auto it = QRegularExpression(QStringLiteral("\\bid=\"([^\"]*)\"")).globalMatch(page);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        QVERIFY2(!ids.contains(m.captured(1)), qPrintable(m.captured(1)));
        ids.insert(m.captured(1), int(m.capturedStart()));
    }

    // Each menu entry once, in a block that names its menu (as the form titles it) and its label.
    QMainWindow host;
    Ui::ProjectManagerWindow form;
    form.setupUi(&host);
    for (const Snippet &s : SnippetCatalogue::entries()) {
        const QString anchor = QStringLiteral("snippet-") + QString::fromLatin1(s.objectName);
        QVERIFY2(ids.contains(anchor), qPrintable(anchor));
        const int start = ids.value(anchor);
        const QString block = page.mid(start, page.indexOf(QLatin1String("</div>"), start) - start);
        const QString menu = host.findChild<QMenu *>(QString::fromLatin1(s.menuObjectName))->title();
        QVERIFY2(block.contains(QStringLiteral(" › ") + menu + QStringLiteral(" › ")), qPrintable(anchor));
        QVERIFY2(block.contains(QString::fromUtf8(s.label).toHtmlEscaped()), qPrintable(anchor));
    }

    // Each completion entry's call form once, under the anchor of its name.
    QFile list(QStringLiteral(KESTRUN_SOURCE_DIR "/config/apis.txt"));
    QVERIFY(list.open(QIODevice::ReadOnly));
    for (const QString &line : QString::fromUtf8(list.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        QString name = line.section(QLatin1Char('('), 0, 0);
        const QString form = name.replace(QLatin1Char(':'), QLatin1Char('.')) + line.mid(name.size());
        QCOMPARE(page.count(QStringLiteral("<code class=\"call\">") + form.toHtmlEscaped() + QStringLiteral("</code>")), 1);
        QVERIFY2(ids.contains(name), qPrintable(name));
    }
}

void TestApiReference::anchorAtCaret_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("anchor");
    QTest::newRow("on the name") << "touchClick(x,y)\r\n" << 3 << "touchClick";
    QTest::newRow("right behind it") << "  touchClick" << 12 << "touchClick";
    QTest::newRow("after Chinese text") << "-- 触摸点击 touchClick(1,2)" << 10 << "touchClick";
    QTest::newRow("library part") << "s = string.format('%d', 1)" << 5 << "string.format";
    QTest::newRow("function part") << "s = string.format('%d', 1)" << 14 << "string.format";
    QTest::newRow("field of a table") << "ui.touchClick(1,2)" << 5 << "touchClick";
    QTest::newRow("unknown field") << "s.format(1)" << 4 << "";
    QTest::newRow("longer word") << "touchClickTwice()" << 3 << "";
    QTest::newRow("Chinese alias") << "触摸点击(1,2)" << 2 << "";
    QTest::newRow("blank") << "   " << 1 << "";
    QTest::newRow("past the end") << "sleep" << 99 << "sleep";
}

void TestApiReference::anchorAtCaret()
{
    QFETCH(QString, line);
    QFETCH(int, index);
    QFETCH(QString, anchor);
    const ApiReference reference(SnippetCatalogue::entries(), {QStringLiteral("string:format(formatstring, ...)")});
    QCOMPARE(reference.anchorAt(line, index), anchor);
}

void TestApiReference::dataLookupOrder_data()
{
    QTest::addColumn<QString>("relative");
    QTest::addColumn<bool>("inWorking");
    QTest::addColumn<bool>("inInstalled");
    QTest::addColumn<QString>("foundIn");
    QTest::newRow("both: working directory") << DataLocations::completionList() << true << true << "working";
    QTest::newRow("installed only") << DataLocations::completionList() << false << true << "installed";
    QTest::newRow("neither") << DataLocations::completionList() << false << false << "";
    QTest::newRow("USB script, working") << "adb/a.sh" << true << true << "working";
    QTest::newRow("reference, installed") << DataLocations::apiReference() << false << true << "installed";
}

void TestApiReference::dataLookupOrder()
{
    QFETCH(QString, relative);
    QFETCH(bool, inWorking);
    QFETCH(bool, inInstalled);
    QFETCH(QString, foundIn);
    QTemporaryDir root;
    const QString working = root.filePath(QStringLiteral("working"));
    const QString installed = root.filePath(QStringLiteral("usr/share/kestrun-ide"));
    for (const auto &[folder, present] : {std::pair{working, inWorking}, std::pair{installed, inInstalled}}) {
        QVERIFY(QDir().mkpath(QFileInfo(folder + QLatin1Char('/') + relative).absolutePath()));
        QFile file(folder + QLatin1Char('/') + relative);
        QVERIFY(!present || file.open(QIODevice::WriteOnly));
    }
    const QString expected = foundIn.isEmpty() ? QString()
                                               : (foundIn == QLatin1String("working") ? working : installed) + QLatin1Char('/') + relative;
    QCOMPARE(DataLocations(working, installed).find(relative), expected);
}

QTEST_MAIN(TestApiReference)
#include "tst_apireference.moc"
