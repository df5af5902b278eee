// The backup folder: names made safe, the image proper kept, the newest kept per device.
#include "device/backups.h"


#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QtTest>

class TestBackups : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(backups::folder().contains(QLatin1String("VANT/Device-Configurator")));
    }
    void init() { QDir(backups::folder()).removeRecursively(); }
    void cleanupTestCase() { QDir(backups::folder()).removeRecursively(); }

    void safeName_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "VANT-DEMO-1" << "VANT-DEMO-1";
        QTest::newRow("slash and blank") << "a/b c" << "a_b_c";
        QTest::newRow("up") << ".." << "___";
        QTest::newRow("dot") << "." << "__";
        QTest::newRow("empty") << "" << "_";
        QTest::newRow("cyrillic") << QString::fromUtf8("Д1") << "_1";
        QTest::newRow("control") << QStringLiteral("a\nb") << "a_b";
    }
    void safeName()
    {
        QFETCH(QString, id);
        QFETCH(QString, expected);
        QCOMPARE(backups::safeName(id), expected);
    }

    void imageProper_data()
    {
        QTest::addColumn<QByteArray>("received");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("padded block") << QByteArray("\x02\x00" "ab" "cc" "\x1a\x1a\x1a", 9)
                                      << QByteArray("\x02\x00" "ab" "cc", 6);
        QTest::newRow("exact") << QByteArray("\x01\x00" "a" "cc", 5) << QByteArray("\x01\x00" "a" "cc", 5);
        QTest::newRow("header past the end kept whole") << QByteArray("\xff\x00" "ab", 4)
                                                        << QByteArray("\xff\x00" "ab", 4);
        QTest::newRow("short") << QByteArray("\x01", 1) << QByteArray("\x01", 1);
    }
    void imageProper()
    {
        QFETCH(QByteArray, received);
        QFETCH(QByteArray, expected);
        QCOMPARE(backups::imageProper(received), expected);
    }

    void store_namedAndListedNewestFirst()
    {
        QString error;
        const QDateTime t0(QDate(2026, 12, 8), QTime(10, 0, 0), Qt::UTC);
        const QString first = backups::store(QStringLiteral("HW/1"), QStringLiteral("SW 2"), "one", &error, t0);
        QCOMPARE(first, backups::folder() + QStringLiteral("/HW_1/SW_2-20261208-100000.bin"));
        // The same second again is a second file, not a replacement.
        const QString second = backups::store(QStringLiteral("HW/1"), QStringLiteral("SW 2"), "two", &error, t0);
        QCOMPARE(second, backups::folder() + QStringLiteral("/HW_1/SW_2-20261208-100000-2.bin"));
        const QString third = backups::store(QStringLiteral("HW/1"), QStringLiteral("X-1"), "three", &error,
                                             t0.addSecs(-3600));
        QVERIFY2(!third.isEmpty(), qPrintable(error));

        const QList<backups::Backup> listed = backups::list(QStringLiteral("HW/1"));
        QCOMPARE(listed.size(), 3);
        QCOMPARE(listed[0].path, second);
        QCOMPARE(listed[1].path, first);
        QCOMPARE(listed[2].softwareId, QStringLiteral("X-1"));
        QCOMPARE(listed[2].taken, t0.addSecs(-3600));
        QFile file(first);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("one"));
        QVERIFY(backups::list(QStringLiteral("other")).isEmpty());
    }

    void store_keepsTheNewest()
    {
        QString error;
        const QDateTime t0(QDate(2026, 1, 1), QTime(0, 0, 0), Qt::UTC);
        for (int i = 0; i <= backups::KeptPerDevice; ++i)
            QVERIFY(!backups::store(QStringLiteral("HW"), QStringLiteral("SW"), "x", &error, t0.addSecs(i)).isEmpty());
        const QList<backups::Backup> listed = backups::list(QStringLiteral("HW"));
        QCOMPARE(listed.size(), backups::KeptPerDevice);
        QCOMPARE(listed.last().taken, t0.addSecs(1));
    }

    void store_unwritableFolder_fails()
    {
        QVERIFY(QDir().mkpath(backups::folder()));
        QFile blocker(backups::folder() + QStringLiteral("/HW"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QString error;
        QVERIFY(backups::store(QStringLiteral("HW"), QStringLiteral("SW"), "x", &error).isEmpty());
        QVERIFY(!error.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestBackups)
#include "tst_backups.moc"
