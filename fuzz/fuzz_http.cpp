// libFuzzer target: arbitrary bytes as the description server's whole answer (status line,
// headers, body), served from a loopback port to a real description download. Whatever the
// answer, the download either stores a 200 answer's body or leaves the description that was
// there before exactly as it was, with no temporary file left behind.
#include "fuzz/fuzz_common.h"

#include "download/formatfetch.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

namespace {

const QByteArray Previous = "<Description id='FUZZ'>the description before</Description>\n";

// Answers every connection, once its request has arrived, with `answer` and hangs up.
class OneAnswerServer : public QTcpServer
{
public:
    QByteArray answer;

protected:
    void incomingConnection(qintptr handle) override
    {
        auto *socket = new QTcpSocket(this);
        socket->setSocketDescriptor(handle);
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            request += socket->readAll();
            if (!request.contains("\r\n\r\n"))
                return;
            request.clear();
            socket->write(answer);
            socket->disconnectFromHost();
        });
    }

private:
    QByteArray request;
};

struct World {
    World()
    {
        static int argc = 1;
        static char name[] = "fuzz_http";
        static char *argv[] = {name, nullptr};
        app = std::make_unique<QCoreApplication>(argc, argv);
        QDir::setCurrent(dir.path());
        QDir().mkpath(QStringLiteral("confxml"));
        server.listen(QHostAddress::LocalHost);
    }
    std::unique_ptr<QCoreApplication> app;
    QTemporaryDir dir;
    OneAnswerServer server;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    quietDiagnostics();
    static World world;
    world.server.answer = QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
    {
        QFile previous(QStringLiteral("confxml/FUZZ.xml"));
        FUZZ_CHECK(previous.open(QIODevice::WriteOnly | QIODevice::Truncate) && previous.write(Previous) == Previous.size());
    }

    FormatFetch fetch(QStringLiteral("FUZZ"));
    FUZZ_CHECK(fetch.setServer(QStringLiteral("127.0.0.1:%1").arg(world.server.serverPort())));
    // The whole answer is written at once; a transfer that still waits is waiting for bytes
    // that will never come, and the time-out is what ends it.
    fetch.setTransferTimeoutMs(200);
    fetch.setMaxBodyBytes(4096); // small, so that the limit is reached too
    QEventLoop loop;
    bool stored = false;
    bool ended = false;
    QObject::connect(&fetch, &FormatFetch::finished, &loop, [&](bool ok) {
        stored = ok;
        ended = true;
        loop.quit();
    });
    FUZZ_CHECK(fetch.start());
    if (!ended)
        loop.exec();

    QFile file(QStringLiteral("confxml/FUZZ.xml"));
    FUZZ_CHECK(file.open(QIODevice::ReadOnly));
    const QByteArray now = file.readAll();
    if (stored) {
        FUZZ_CHECK(fetch.status() == 200);
        FUZZ_CHECK(now.size() <= 4096);
    } else {
        FUZZ_CHECK(now == Previous);
    }
    FUZZ_CHECK(QDir(QStringLiteral("confxml")).entryList(QDir::Files | QDir::Hidden)
               == QStringList{QStringLiteral("FUZZ.xml")});
    return 0;
}
