// Runs vant-conf-cli over the case folders in tests/cli/cases. A case is a folder:
//   cmd      one command per line, arguments separated by blanks; double quotes keep blanks
//            together and "" is an empty argument; every line must give the same answer
//   setup    optional: commands run first, each of which must succeed
//   out      expected standard output (missing: empty)
//   err      expected standard error (missing: empty)
//   status   expected exit status (missing: 0)
//   expect/  optional: files the commands must have left in the working directory, byte for byte
// Every other file is an input. The commands run in a fresh copy of the folder, so they name
// their inputs by relative paths; "$SRC" stands for the source tree, in commands and expectations.
#include "tests/support/clirun.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString CasesDir = QStringLiteral(VANT_SOURCE_DIR "/tests/cli/cases");
const QStringList ControlFiles{"cmd", "setup", "out", "err", "status", "expect"};

QByteArray readFile(const QString &path, const QByteArray &missing = QByteArray())
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : missing;
}

QByteArray substituted(QByteArray text)
{
    return text.replace("$SRC", VANT_SOURCE_DIR);
}


QStringList splitArguments(const QString &line)
{
    QStringList args;
    QString current;
    bool quoted = false;
    bool started = false;
    for (const QChar c : line) {
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
            started = true;
        } else if (c == QLatin1Char(' ') && !quoted) {
            if (started)
                args << current;
            current.clear();
            started = false;
        } else {
            current += c;
            started = true;
        }
    }
    if (started)
        args << current;
    return args;
}

QList<QStringList> commands(const QString &path)
{
    QList<QStringList> list;
    const QList<QByteArray> lines = substituted(readFile(path)).split('\n');
    for (const QByteArray &line : lines) {
        if (!line.trimmed().isEmpty())
            list.append(splitArguments(QString::fromUtf8(line)));
    }
    return list;
}

bool copyInputs(const QString &from, const QString &to)
{
    const QStringList names = QDir(from).entryList(QDir::Files);
    for (const QString &name : names) {
        if (!ControlFiles.contains(name) && !QFile::copy(from + QLatin1Char('/') + name, to + QLatin1Char('/') + name))
            return false;
    }
    return true;
}

} // namespace

class TestCliGolden : public QObject
{
    Q_OBJECT
private slots:
    void cases_data();
    void cases();
};

void TestCliGolden::cases_data()
{
    QTest::addColumn<QString>("folder");
    const QStringList names = QDir(CasesDir).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    QVERIFY(!names.isEmpty());
    for (const QString &name : names)
        QTest::newRow(qPrintable(name)) << CasesDir + QLatin1Char('/') + name;
}

void TestCliGolden::cases()
{
    QFETCH(QString, folder);
    QTemporaryDir work;
    QVERIFY(work.isValid());
    QVERIFY(copyInputs(folder, work.path()));

    for (const QStringList &args : commands(folder + QStringLiteral("/setup"))) {
        const CliRun r = runCli(args, work.path());
        QVERIFY2(r.exitCode == 0, qPrintable(args.join(' ') + QStringLiteral(": ") + QString::fromUtf8(r.err)));
    }

    const QList<QStringList> runs = commands(folder + QStringLiteral("/cmd"));
    QVERIFY(!runs.isEmpty());
    const QByteArray out = substituted(readFile(folder + QStringLiteral("/out")));
    const QByteArray err = substituted(readFile(folder + QStringLiteral("/err")));
    const int status = readFile(folder + QStringLiteral("/status"), "0").trimmed().toInt();
    for (const QStringList &args : runs) {
        const CliRun r = runCli(args, work.path());
        const QByteArray which = args.join(' ').toUtf8();
        QVERIFY2(r.out == out, which + "\nstandard output:\n" + r.out);
        QVERIFY2(r.err == err, which + "\nstandard error:\n" + r.err);
        QVERIFY2(r.exitCode == status, which + "\nexit status " + QByteArray::number(r.exitCode));
    }

    QDirIterator expected(folder + QStringLiteral("/expect"), QDir::Files);
    while (expected.hasNext()) {
        const QString path = expected.next();
        const QString name = expected.fileName();
        QCOMPARE(readFile(work.filePath(name), "<missing>").toHex(' '), readFile(path).toHex(' '));
    }
}

QTEST_GUILESS_MAIN(TestCliGolden)
#include "tst_cli_golden.moc"
