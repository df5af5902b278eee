// Writing a whole file: through a temporary file where the folder allows it, in place
// where only the file itself may be written.
#include "format/wholefile.h"
#include "formattestutil.h"

#include <QFile>
#include <QTemporaryDir>

class TestWholeFile : public QObject
{
    Q_OBJECT
private slots:
    void write_folderAndFileRights_data();
    void write_folderAndFileRights();
};

namespace {

const QByteArray Previous("previous image contents");
const QByteArray Image(100, 'n');

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

constexpr QFileDevice::Permissions OpenFolder = QFileDevice::ReadOwner | QFileDevice::WriteOwner
    | QFileDevice::ExeOwner | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
constexpr QFileDevice::Permissions ClosedFolder = QFileDevice::ReadOwner | QFileDevice::ExeOwner
    | QFileDevice::ReadOther | QFileDevice::ExeOther;

} // namespace

void TestWholeFile::write_folderAndFileRights_data()
{
    QTest::addColumn<bool>("folderWritable");
    QTest::addColumn<bool>("fileWritable");
    QTest::addColumn<int>("sizeLimit"); // 0: none
    QTest::addColumn<bool>("written");
    QTest::addColumn<QByteArray>("contents"); // afterwards

    QTest::newRow("open folder: replaced") << true << true << 0 << true << Image;
    QTest::newRow("open folder, cut short: previous kept") << true << true << 50 << false << Previous;
    QTest::newRow("closed folder, writable file: written in place") << false << true << 0 << true << Image;
    QTest::newRow("closed folder, writable file, cut short: reported")
        << false << true << 50 << false << Image.left(50);
    QTest::newRow("closed folder, read-only file: previous kept") << false << false << 0 << false << Previous;
}

void TestWholeFile::write_folderAndFileRights()
{
    QFETCH(bool, folderWritable);
    QFETCH(bool, fileWritable);
    QFETCH(int, sizeLimit);
    QTemporaryDir dir;
    QVERIFY(QFile::setPermissions(dir.path(), ClosedFolder | QFileDevice::WriteOwner));
    const QString folder = dir.filePath("shared");
    const QString path = folder + "/image.bin";
    QVERIFY(QDir(dir.path()).mkdir("shared"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(Previous) == Previous.size());
    }
    QVERIFY(QFile::setPermissions(path, fileWritable ? QFileDevice::ReadOther | QFileDevice::WriteOther
                                                     | QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                     : QFileDevice::ReadOther | QFileDevice::ReadOwner));
    QVERIFY(QFile::setPermissions(folder, folderWritable ? OpenFolder : ClosedFolder));

    bool written = false;
    QString error;
    {
        ActingAsNobody nobody;
        QVERIFY(nobody.ok);
        std::unique_ptr<FileSizeLimit> limit;
        if (sizeLimit) {
            limit = std::make_unique<FileSizeLimit>(rlim_t(sizeLimit));
            QVERIFY(limit->ok);
        }
        written = writeWholeFile(path, Image, &error);
    }
    QTEST(written, "written");
    QCOMPARE(error.isEmpty(), written);
    QTEST(readFile(path), "contents");
    // No temporary file is left, whichever way it went.
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("image.bin")});
}

QTEST_GUILESS_MAIN(TestWholeFile)
#include "tst_wholefile.moc"
