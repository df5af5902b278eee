#include "download/descriptionserver.h"
#include "download/ui/formatdl.h"
#include "fetchtestutil.h"
#include "httptestserver.h"

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

Q_DECLARE_METATYPE(CannedReply)

namespace {
// Only keeps a broken test from hanging; exec() then returns HungResult.
constexpr int HangGuardMs = 20000;
constexpr int HungResult = 99;
const QByteArray Description("<Description id=\"VANT-A\">\n  <Format/>\n  <Tree/>\n</Description>\n");
const QString Target = QStringLiteral("confxml/VANT-A.xml");

void useServer(const QString &address)
{
    QSettings(QStringLiteral("VANT"), QStringLiteral("Device-Configurator"))
        .setValue(QLatin1String(DescriptionServerKey), address);
}

int execGuarded(FormatDL &dlg)
{
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &dlg, [&dlg] { dlg.done(HungResult); });
    guard.start(HangGuardMs);
    return dlg.exec();
}

// What the message boxes that opened said; each is answered with its default button.
struct BoxRecord {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QWidget *parent = nullptr;
};

class BoxWatcher : public QObject
{
public:
    BoxWatcher()
    {
        connect(&timer_, &QTimer::timeout, this, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            boxes << BoxRecord{box->windowTitle(), box->text(), box->icon(), box->parentWidget()};
            box->done(QMessageBox::Ok);
        });
        timer_.start(5);
    }
    QList<BoxRecord> boxes;

private:
    QTimer timer_;
};

// Counts the times a widget was shown.
class ShowCounter : public QObject
{
public:
    int shows = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Show)
            ++shows;
        return false;
    }
};
} // namespace

class TestFormatDL : public QObject
{
    Q_OBJECT
private slots:
    void form_isLaidOutAsDesigned();
    void answer_decidesResultAndFile_data();
    void answer_decidesResultAndFile();
    void closing_cancelsTransferAndKeepsOldFile_data();
    void closing_cancelsTransferAndKeepsOldFile();
    void destroyWhileRunning_keepsOldFile();
    void fileNotCreatable_showsErrorAndRejectsAtOnce();
    void missingFolder_createdAndAccepted();
    void unsafeId_rejectsWithoutBoxOrFile();
};

void TestFormatDL::form_isLaidOutAsDesigned()
{
    WorkDir work;
    QVERIFY(work.isValid());
    HttpTestServer server;
    QVERIFY(server.listen());
    CannedReply silent;
    silent.silent = true;
    server.setReply(silent);
    useServer(server.address());

    FormatDL dlg(QStringLiteral("VANT-A"));
    QCOMPARE(dlg.objectName(), QStringLiteral("FormatDL"));
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Downloading Format"));
    QCOMPARE(dlg.size(), QSize(201, 94));

    auto *label = dlg.findChild<QLabel *>(QStringLiteral("label"));
    auto *progress = dlg.findChild<QProgressBar *>(QStringLiteral("progress"));
    auto *cancel = dlg.findChild<QPushButton *>(QStringLiteral("buttonCancel"));
    QVERIFY(label && progress && cancel);
    QCOMPARE(label->text(), QStringLiteral("Downloading..."));
    QCOMPARE(progress->value(), 0);
    QCOMPARE(cancel->text(), QStringLiteral("Cancel"));
    // Top to bottom: label, bar, Cancel at the right; nothing overlaps whatever sizes were chosen.
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QVERIFY(label->geometry().bottom() < progress->geometry().top());
    QVERIFY(progress->geometry().bottom() < cancel->geometry().top());
    QVERIFY(cancel->geometry().right() > dlg.width() / 2);
    QVERIFY(dlg.rect().contains(cancel->geometry()));

    // The request goes out at construction, before exec().
    QTRY_VERIFY_WITH_TIMEOUT(server.onlyRequested("GET /confxml2/VANT-A.xml HTTP/1.1"), HangGuardMs);
}

void TestFormatDL::answer_decidesResultAndFile_data()
{
    QTest::addColumn<CannedReply>("reply");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("bar"); // -1: not looked at

    const int accepted = QDialog::Accepted;
    const int rejected = QDialog::Rejected;
    QTest::newRow("200 with length fills the bar") << CannedReply::make(200, "OK", Description) << accepted << 100;
    QTest::newRow("200 without length stays at half")
        << CannedReply::make(200, "OK", Description, false) << accepted << 50;
    QTest::newRow("200 empty body is accepted") << CannedReply::make(200, "OK", QByteArray()) << accepted << -1;
    QTest::newRow("404 is rejected") << CannedReply::make(404, "Not Found", "missing") << rejected << -1;
    QTest::newRow("500 is rejected") << CannedReply::make(500, "Internal Server Error", "oops") << rejected << -1;
    QTest::newRow("301 is rejected, not followed")
        << CannedReply::make(301, "Moved Permanently", "moved", true, "Location: /confxml2/other.xml\r\n") << rejected
        << -1;
}

void TestFormatDL::answer_decidesResultAndFile()
{
    QFETCH(CannedReply, reply);
    QFETCH(int, result);
    QFETCH(int, bar);

    WorkDir work;
    QVERIFY(work.isValid());
    HttpTestServer server;
    QVERIFY(server.listen());
    server.setReply(reply);
    useServer(server.address());
    QVERIFY(writeFile(Target, "old"));

    DiagCapture diag;
    FormatDL dlg(QStringLiteral("VANT-A"));
    QCOMPARE(execGuarded(dlg), result);

    QVERIFY2(server.onlyRequested("GET /confxml2/VANT-A.xml HTTP/1.1"), server.requestLines().join('|').constData());
    QCOMPARE(readFile(Target), result == QDialog::Accepted ? reply.pieces.value(0) : QByteArray("old"));
    QCOMPARE(entriesOf(QStringLiteral("confxml")), QStringList{QStringLiteral("VANT-A.xml")});
    if (bar >= 0)
        QCOMPARE(dlg.findChild<QProgressBar *>(QStringLiteral("progress"))->value(), bar);
    QVERIFY(diag.out.endsWith("http done error=0\n"));
}

void TestFormatDL::closing_cancelsTransferAndKeepsOldFile_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("cancel button") << QStringLiteral("cancel");
    QTest::newRow("escape key") << QStringLiteral("escape");
    QTest::newRow("window close control") << QStringLiteral("close");
}

void TestFormatDL::closing_cancelsTransferAndKeepsOldFile()
{
    QFETCH(QString, how);

    WorkDir work;
    QVERIFY(work.isValid());
    QVERIFY(writeFile(Target, "old"));
    HttpTestServer server;
    QVERIFY(server.listen());
    CannedReply slow = CannedReply::make(200, "OK", QByteArray(), false);
    slow.pieces = {Description, Description, Description};
    slow.pieceDelayMs = 5000;
    server.setReply(slow);
    useServer(server.address());
    QSignalSpy dropped(&server, &HttpTestServer::clientDropped);

    DiagCapture diag;
    FormatDL dlg(QStringLiteral("VANT-A"));
    bool partialSeen = false;
    // Acts once the first part of the body is on disk.
    QTimer poll;
    connect(&poll, &QTimer::timeout, &dlg, [&] {
        if (!partOnDisk(QStringLiteral("VANT-A")) || !dlg.isVisible())
            return;
        poll.stop();
        partialSeen = true;
        if (how == QLatin1String("cancel"))
            QTest::mouseClick(dlg.findChild<QPushButton *>(QStringLiteral("buttonCancel")), Qt::LeftButton);
        else if (how == QLatin1String("escape"))
            QTest::keyClick(&dlg, Qt::Key_Escape);
        else
            dlg.close();
    });
    poll.start(5);

    QCOMPARE(execGuarded(dlg), int(QDialog::Rejected));
    QVERIFY(partialSeen);
    QCOMPARE(readFile(Target), QByteArray("old"));
    QCOMPARE(entriesOf(QStringLiteral("confxml")), QStringList{QStringLiteral("VANT-A.xml")});
    QVERIFY(diag.out.endsWith("http done error=1\n"));
    QVERIFY(dropped.count() > 0 || dropped.wait(HangGuardMs));
    QCOMPARE(server.piecesSent(), 1);
}

void TestFormatDL::destroyWhileRunning_keepsOldFile()
{
    WorkDir work;
    QVERIFY(work.isValid());
    QVERIFY(writeFile(Target, "old"));
    HttpTestServer server;
    QVERIFY(server.listen());
    CannedReply slow = CannedReply::make(200, "OK", QByteArray(), false);
    slow.pieces = {Description, Description};
    slow.pieceDelayMs = 5000;
    server.setReply(slow);
    useServer(server.address());
    QSignalSpy dropped(&server, &HttpTestServer::clientDropped);

    {
        FormatDL dlg(QStringLiteral("VANT-A"));
        QTRY_VERIFY_WITH_TIMEOUT(partOnDisk(QStringLiteral("VANT-A")), HangGuardMs);
    }
    QCOMPARE(readFile(Target), QByteArray("old"));
    QCOMPARE(entriesOf(QStringLiteral("confxml")), QStringList{QStringLiteral("VANT-A.xml")});
    QVERIFY(dropped.count() > 0 || dropped.wait(HangGuardMs));
}

void TestFormatDL::fileNotCreatable_showsErrorAndRejectsAtOnce()
{
    WorkDir work(false);
    QVERIFY(work.isValid());
    QVERIFY(writeFile(QStringLiteral("confxml"), "a file where the folder belongs"));
    HttpTestServer server;
    QVERIFY(server.listen());
    server.setReply(CannedReply::make(200, "OK", Description));
    useServer(server.address());

    QWidget window;
    BoxWatcher watcher;
    FormatDL dlg(QStringLiteral("VANT-A"), &window);
    QCOMPARE(watcher.boxes.size(), 1);
    QCOMPARE(watcher.boxes.at(0).title, QStringLiteral("Error"));
    QCOMPARE(watcher.boxes.at(0).text, QStringLiteral("Error creating file 'confxml/VANT-A.xml'."));
    QCOMPARE(watcher.boxes.at(0).icon, QMessageBox::Critical);
    // Over the window that asked, not over the dialog that never shows.
    QCOMPARE(watcher.boxes.at(0).parent, &window);

    ShowCounter shows;
    dlg.installEventFilter(&shows);
    QCOMPARE(execGuarded(dlg), int(QDialog::Rejected));
    QCOMPARE(shows.shows, 0);
    QTest::qWait(50);
    QCOMPARE(server.connections(), 0);
    QCOMPARE(readFile(QStringLiteral("confxml")), QByteArray("a file where the folder belongs"));
}

void TestFormatDL::missingFolder_createdAndAccepted()
{
    WorkDir work(false);
    QVERIFY(work.isValid());
    HttpTestServer server;
    QVERIFY(server.listen());
    server.setReply(CannedReply::make(200, "OK", Description));
    useServer(server.address());

    BoxWatcher watcher;
    FormatDL dlg(QStringLiteral("VANT-A"));
    QCOMPARE(execGuarded(dlg), int(QDialog::Accepted));
    QCOMPARE(watcher.boxes.size(), 0);
    QVERIFY(server.onlyRequested("GET /confxml2/VANT-A.xml HTTP/1.1"));
    QCOMPARE(readFile(Target), Description);
}

void TestFormatDL::unsafeId_rejectsWithoutBoxOrFile()
{
    WorkDir work;
    QVERIFY(work.isValid());
    QVERIFY(writeFile(QStringLiteral("victim.xml"), "keep me"));
    HttpTestServer server;
    QVERIFY(server.listen());
    server.setReply(CannedReply::make(200, "OK", Description));
    useServer(server.address());

    DiagCapture diag;
    BoxWatcher watcher;
    FormatDL dlg(QStringLiteral("../victim"));
    ShowCounter shows;
    dlg.installEventFilter(&shows);
    QCOMPARE(execGuarded(dlg), int(QDialog::Rejected));

    QCOMPARE(shows.shows, 0);
    QCOMPARE(watcher.boxes.size(), 0);
    QCOMPARE(diag.out, QByteArray("Bad format id '../victim'\n"));
    QTest::qWait(50);
    QCOMPARE(server.connections(), 0);
    QCOMPARE(readFile(QStringLiteral("victim.xml")), QByteArray("keep me"));
}

// The settings store of this test lives in a folder of its own, whoever runs it.
int main(int argc, char *argv[])
{
    QTemporaryDir configHome;
    if (!configHome.isValid())
        return 1;
    qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TestFormatDL test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_formatdl.moc"
