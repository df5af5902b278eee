#pragma once
// A small HTTP server on loopback for the download tests: it answers every
// request with one canned reply and records what it was asked.
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTcpServer>

class QTcpSocket;

struct CannedReply {
    QByteArray head;          // status line and header lines, each ending in CRLF; the blank line is added
    QList<QByteArray> pieces; // the body, sent piece by piece
    int pieceDelayMs = 0;     // pause before each piece after the first
    bool silent = false;      // read the request, never answer

    // Status line, optional Content-Length, "Connection: close"; the body in one piece.
    static CannedReply make(int status, const QByteArray &reason, const QByteArray &body, bool withLength = true,
                            const QByteArray &extraHeaders = QByteArray());
};

class HttpTestServer : public QObject
{
    Q_OBJECT
public:
    explicit HttpTestServer(QObject *parent = nullptr);
    bool listen();
    quint16 port() const { return server_.serverPort(); }
    QString address() const; // "127.0.0.1:PORT"

    void setReply(const CannedReply &reply) { reply_ = reply; }

    QList<QByteArray> requestLines() const { return requestLines_; }
    // At least one request, and every one of them had this request line. (Qt
    // may send a GET again when the connection closes under it; a retry of the
    // same request is fine, any other request is not.)
    bool onlyRequested(const QByteArray &requestLine) const
    {
        return !requestLines_.isEmpty() && requestLines_.count(requestLine) == requestLines_.size();
    }
    QList<QByteArray> requests() const { return requests_; }
    int connections() const { return connections_; }
    // Clients that went away before the reply was completely sent.
    int droppedEarly() const { return droppedEarly_; }
    // Pieces written so far, over all connections.
    int piecesSent() const { return piecesSent_; }

signals:
    void pieceSent(int index);
    void clientDropped();

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);
    void sendPiece(QTcpSocket *socket, int index);

    QTcpServer server_;
    CannedReply reply_;
    QList<QByteArray> requestLines_;
    QList<QByteArray> requests_;
    int connections_ = 0;
    int droppedEarly_ = 0;
    int piecesSent_ = 0;
};
