#include "httptestserver.h"

#include <QHostAddress>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

CannedReply CannedReply::make(int status, const QByteArray &reason, const QByteArray &body, bool withLength,
                              const QByteArray &extraHeaders)
{
    CannedReply r;
    r.head = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason + "\r\n";
    r.head += "Content-Type: text/xml\r\n";
    if (withLength)
        r.head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    r.head += extraHeaders;
    r.head += "Connection: close\r\n";
    r.pieces = {body};
    return r;
}

HttpTestServer::HttpTestServer(QObject *parent)
    : QObject(parent)
{
    connect(&server_, &QTcpServer::newConnection, this, &HttpTestServer::onNewConnection);
}

bool HttpTestServer::listen()
{
    return server_.listen(QHostAddress::LocalHost, 0);
}

QString HttpTestServer::address() const
{
    return QStringLiteral("127.0.0.1:%1").arg(port());
}

void HttpTestServer::onNewConnection()
{
    while (QTcpSocket *socket = server_.nextPendingConnection()) {
        ++connections_;
        socket->setParent(this);
        socket->setProperty("done", false);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            if (!socket->property("done").toBool()) {
                ++droppedEarly_;
                emit clientDropped();
            }
            socket->deleteLater();
        });
    }
}

void HttpTestServer::onReadyRead(QTcpSocket *socket)
{
    if (socket->property("answered").toBool()) {
        socket->readAll();
        return;
    }
    QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
    const int end = buffer.indexOf("\r\n\r\n");
    if (end < 0) {
        socket->setProperty("buffer", buffer);
        return;
    }
    const QByteArray request = buffer.left(end + 4);
    requests_ << request;
    requestLines_ << request.left(request.indexOf("\r\n"));
    socket->setProperty("answered", true);
    if (reply_.silent)
        return;
    socket->write(reply_.head + "\r\n");
    sendPiece(socket, 0);
}

void HttpTestServer::sendPiece(QTcpSocket *socket, int index)
{
    if (index >= reply_.pieces.size()) {
        socket->setProperty("done", true);
        socket->disconnectFromHost();
        return;
    }
    if (socket->state() != QAbstractSocket::ConnectedState)
        return;
    socket->write(reply_.pieces.at(index));
    ++piecesSent_;
    emit pieceSent(index);
    QPointer<QTcpSocket> guard(socket);
    QTimer::singleShot(index + 1 < reply_.pieces.size() ? reply_.pieceDelayMs : 0, this, [this, guard, index] {
        if (guard)
            sendPiece(guard, index + 1);
    });
}
