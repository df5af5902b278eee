// The diagnostics channel: what a report carries, where it goes, and where it says it is from.
#include "expr/logicexpr.h"
#include "format/confformat.h"
#include "format/diag.h"
#include "format/xmldoc.h"

#include <QDomDocument>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <thread>

class TestDiag : public QObject
{
    Q_OBJECT
private slots:
    void formatErrors_carryFileLineAndColumn_data();
    void formatErrors_carryFileLineAndColumn();
    void severityAndStream_followTheCall();
    void collector_passesOnAndRestores();
    void context_belongsToItsThread();
    void hold_releasesInOrderOrDrops();
    void parseError_carriesTheFilesPosition();
};

void TestDiag::formatErrors_carryFileLineAndColumn_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("column");

    // The DOM gives the position at the end of an element's start tag.
    QTest::newRow("unknown kind on line 3")
        << "<Format>\n<byte name='a'/>\n  <int name='i'/>\n</Format>" << "Bad type 'int'\n" << 3 << 17;
    QTest::newRow("bad array inside a structure")
        << "<Format>\n<struct name='s'>\n<byte name='b[3'/>\n</struct></Format>" << "Bad array format\n" << 3 << 18;
    QTest::newRow("second name of a pair") << "<Format><byte name='a'/>\n<word name='a'/></Format>"
                                           << "Duplicate var name 'a'\n" << 2 << 16;
}

void TestDiag::formatErrors_carryFileLineAndColumn()
{
    QFETCH(QString, format);
    QDomDocument doc;
    QVERIFY(doc.setContent(format));
    DiagCollector collector;
    {
        const DiagContext file(QStringLiteral("d.xml"));
        QVERIFY(!ConfFormat::create(QStringLiteral("x"), doc.documentElement()));
    }
    const QList<Diagnostic> got = collector.diagnostics();
    QCOMPARE(got.size(), 1);
    QTEST(got[0].text, "text");
    QCOMPARE(got[0].severity, DiagSeverity::Error);
    QCOMPARE(got[0].stream, DiagStream::Out);
    QCOMPARE(got[0].location.file, QStringLiteral("d.xml"));
    QTEST(got[0].location.line, "line");
    QTEST(got[0].location.column, "column");
}

void TestDiag::severityAndStream_followTheCall()
{
    DiagCollector collector;
    diagOut("info %d\n", 1);
    diagErr("error\n");
    delete LogicExpr::create(QStringLiteral("a == 1"));
    const QList<Diagnostic> got = collector.diagnostics();
    QCOMPARE(got.size(), 3);
    QCOMPARE(got[0].text, QStringLiteral("info 1\n"));
    QCOMPARE(got[0].severity, DiagSeverity::Info);
    QCOMPARE(got[0].stream, DiagStream::Out);
    QCOMPARE(got[1].severity, DiagSeverity::Error);
    QCOMPARE(got[1].stream, DiagStream::Err);
    QCOMPARE(got[2].text, QStringLiteral("LogicExpr: parse error 'a == 1'\n"));
    QCOMPARE(got[2].severity, DiagSeverity::Error);
    QVERIFY(!got[2].location.isKnown());
}

void TestDiag::collector_passesOnAndRestores()
{
    QByteArray seen;
    const DiagSink before = setDiagSink([&](DiagStream s, const QByteArray &text) {
        seen += (s == DiagStream::Err ? "E:" : "O:") + text;
    });
    {
        DiagCollector collector;
        diagErr("one\n");
        QCOMPARE(collector.diagnostics().size(), 1);
    }
    diagOut("two\n");
    // Bytes a caller formatted go through unchanged, even where they are not valid text.
    diagOut("%s\n", "\xff\xfe");
    QCOMPARE(seen, QByteArray("E:one\nO:two\nO:\xff\xfe\n"));
    setDiagSink(before);
}

void TestDiag::context_belongsToItsThread()
{
    DiagCollector collector;
    const DiagContext here(QStringLiteral("here.xml"));
    std::thread other([] { diagErr("from a worker\n"); });
    other.join();
    diagErr("from here\n");
    const QList<Diagnostic> got = collector.diagnostics();
    QCOMPARE(got.size(), 2);
    QVERIFY(!got[0].location.isKnown());
    QCOMPARE(got[1].location.toString(), QStringLiteral("here.xml"));
}

// What a hold keeps is reported later exactly as it would have been, at the place it was
// said; a worker's lines are never held by this thread's hold; a dropped hold says nothing.
void TestDiag::hold_releasesInOrderOrDrops()
{
    DiagCollector collector;
    {
        DiagHold hold;
        {
            const DiagContext at(QStringLiteral("held.xml"));
            const DiagContext where(4, 2);
            diagOutError("first\n");
        }
        std::thread other([] { diagErr("from a worker\n"); });
        other.join();
        {
            DiagHold inner;
            diagOut("inner\n");
            inner.release(); // into the outer hold, not yet out
        }
        diagErr("second\n");
        QCOMPARE(collector.diagnostics().size(), 1);
        hold.release();
    }
    {
        DiagHold dropped;
        diagOut("never\n");
    }
    const QList<Diagnostic> got = collector.diagnostics();
    QCOMPARE(got.size(), 4);
    QCOMPARE(got[0].text, QStringLiteral("from a worker\n"));
    QCOMPARE(got[1].text, QStringLiteral("first\n"));
    QCOMPARE(got[1].location.toString(), QStringLiteral("held.xml:4:2"));
    QCOMPARE(got[1].stream, DiagStream::Out);
    QCOMPARE(got[2].text, QStringLiteral("inner\n"));
    QCOMPARE(got[3].text, QStringLiteral("second\n"));
    QCOMPARE(got[3].stream, DiagStream::Err);
}

void TestDiag::parseError_carriesTheFilesPosition()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("broken.xml"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<D>\n  <Format>\n</D>\n");
    file.close();
    DiagCollector collector;
    bool ok = true;
    loadXmlDocument(path, &ok);
    QVERIFY(!ok);
    const QList<Diagnostic> got = collector.diagnostics();
    QCOMPARE(got.size(), 1);
    QCOMPARE(got[0].severity, DiagSeverity::Error);
    QCOMPARE(got[0].location.file, path);
    QCOMPARE(got[0].location.line, 3);
    QVERIFY(got[0].text.startsWith(QStringLiteral("Parse error for file '") + path));
}

QTEST_GUILESS_MAIN(TestDiag)
#include "tst_diag.moc"
