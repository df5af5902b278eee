#include "download/formatfetch.h"

#include "download/descriptionserver.h"
#include "format/diag.h"
#include "format/formatid.h"

#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRandomGenerator>
#include <QUrl>
#include <climits>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// Qt turns HTTP error statuses into reply errors; for us they are answers like
// any other (judged by the status), not a failed transfer.
bool isHttpStatusError(QNetworkReply::NetworkError error)
{
    return (error >= QNetworkReply::ContentAccessDenied && error <= QNetworkReply::UnknownContentError)
        || error == QNetworkReply::ProtocolInvalidOperationError
        || (error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError);
}

int clampToInt(qint64 value)
{
    return value > INT_MAX ? INT_MAX : int(value);
}

} // namespace

FormatFetch::FormatFetch(const QString &id, QObject *parent)
    : QObject(parent), id_(id)
{
    serverText_ = descriptionServer();
    serverValid_ = parseServerAddress(serverText_, &host_, &port_);
}

FormatFetch::~FormatFetch()
{
    if (!reply_)
        return;
    QNetworkReply *reply = reply_;
    reply_ = nullptr;
    disconnect(reply, nullptr, this, nullptr);
    reply->abort();
    dropTemporary();
}

bool FormatFetch::setServer(const QString &hostAndPort)
{
    QString host;
    quint16 port = 0;
    if (!parseServerAddress(hostAndPort, &host, &port))
        return false;
    serverText_ = hostAndPort;
    host_ = host;
    port_ = port;
    serverValid_ = true;
    return true;
}

QString FormatFetch::fileName() const
{
    return descriptionPath(id_);
}

void FormatFetch::setFailure(Failure failure, const QString &text)
{
    if (failure_ != Failure::None)
        return; // the first cause is the one worth reporting
    failure_ = failure;
    errorText_ = text;
}

bool FormatFetch::start()
{
    if (reply_)
        return false;
    failure_ = Failure::None;
    errorText_.clear();
    status_ = 0;
    statusReported_ = false;
    lengthAnnounced_ = false;
    received_ = 0;

    if (!isSafeFormatId(id_)) {
        const QByteArray shown = printableForDiagnostics(id_);
        diagOut("Bad format id '%s'\n", shown.constData());
        setFailure(Failure::BadId, QStringLiteral("bad format id '%1'").arg(QString::fromUtf8(shown)));
        return false;
    }
    if (!serverValid_) {
        const QByteArray shown = printableForDiagnostics(serverText_);
        diagOut("Bad description server '%s'\n", shown.constData());
        setFailure(Failure::BadServer,
                   QStringLiteral("bad description server '%1' (want host or host:port)").arg(QString::fromUtf8(shown)));
        return false;
    }

    // A first run, or a copy of the program without its folder: the description has
    // nowhere to go, and without the folder the caller could only report a missing
    // Internet connection although no request was ever made.
    if (!QDir().mkpath(QFileInfo(fileName()).path())) {
        setFailure(Failure::CannotCreateFile,
                   QStringLiteral("cannot create '%1': the folder '%2' cannot be created")
                       .arg(fileName(), QFileInfo(fileName()).path()));
        return false;
    }
    if (!openTemporary()) {
        setFailure(Failure::CannotCreateFile,
                   QStringLiteral("cannot create '%1': %2").arg(fileName(), file_.errorString()));
        return false;
    }

    // The path is encoded here and handed over as is, so the server sees exactly
    // "/confxml2/" + percent-encoding of id + ".xml".
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(host_);
    url.setPort(port_);
    url.setPath(QLatin1String("/confxml2/") + QString::fromLatin1(QUrl::toPercentEncoding(id_ + QLatin1String(".xml"))),
                QUrl::StrictMode);

    QNetworkRequest request(url);
    // A redirect answer is a failure like any status other than 200.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(transferTimeoutMs_);

    if (!manager_)
        manager_ = new QNetworkAccessManager(this);
    reply_ = manager_->get(request);
    connect(reply_, &QNetworkReply::metaDataChanged, this, &FormatFetch::onMetaDataChanged);
    connect(reply_, &QNetworkReply::readyRead, this, &FormatFetch::onReadyRead);
    connect(reply_, &QNetworkReply::downloadProgress, this, &FormatFetch::onDownloadProgress);
    connect(reply_, &QNetworkReply::finished, this, &FormatFetch::onFinished);
    return true;
}

// The body is collected under a name of its own in the same folder, so that the old
// description, hand-edited or simply older, survives a 404, a stall or Cancel, and the
// finished file can be renamed into place in one step. A fresh name is created rather
// than an existing one opened, so a leftover file or a link in its place is never
// written through.
bool FormatFetch::openTemporary()
{
    constexpr int Attempts = 16;
    for (int i = 0; i < Attempts; ++i) {
        const QString name = fileName() + QStringLiteral(".part-%1")
                                              .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        file_.setFileName(name);
        // Unbuffered, so that a full disk shows up at the write that hit it.
        if (file_.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
            return true;
        if (!file_.exists())
            return false; // a folder we may not write, or no room
    }
    return false;
}

bool FormatFetch::replaceDescription()
{
    // An edited description keeps the permissions its owner gave it.
    const QFileDevice::Permissions previous = QFile::permissions(fileName());
    if (previous != QFileDevice::Permissions())
        file_.setPermissions(previous);
    // rename() replaces the old file in one step; QFile::rename refuses to.
    if (std::rename(QFile::encodeName(file_.fileName()).constData(), QFile::encodeName(fileName()).constData()) == 0)
        return true;
    const QString reason = QString::fromLocal8Bit(std::strerror(errno));
    setFailure(Failure::WriteFailed, QStringLiteral("cannot replace '%1': %2").arg(fileName(), reason));
    return false;
}

void FormatFetch::dropTemporary()
{
    file_.close();
    if (!file_.fileName().isEmpty())
        QFile::remove(file_.fileName());
    file_.setFileName(QString());
}

void FormatFetch::reportStatus()
{
    if (statusReported_ || !reply_)
        return;
    const QVariant code = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!code.isValid())
        return;
    status_ = code.toInt();
    statusReported_ = true;
    lengthAnnounced_ = reply_->header(QNetworkRequest::ContentLengthHeader).isValid();
    diagOut("http status %d\n", status_);
    emit responseHeaderReceived(status_);
}

void FormatFetch::onMetaDataChanged()
{
    reportStatus();
    if (!reply_)
        return;
    const QVariant length = reply_->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() > maxBodyBytes_) {
        stopWith(Failure::TooLarge, QStringLiteral("the server announced %1 bytes, more than the limit of %2")
                                        .arg(length.toLongLong())
                                        .arg(maxBodyBytes_));
    }
}

void FormatFetch::onReadyRead()
{
    reportStatus();
    storeAvailable();
}

bool FormatFetch::storeAvailable()
{
    while (reply_ && reply_->bytesAvailable() > 0) {
        const QByteArray chunk = reply_->read(64 * 1024);
        if (chunk.isEmpty())
            break;
        if (received_ + chunk.size() > maxBodyBytes_) {
            stopWith(Failure::TooLarge,
                     QStringLiteral("the body is larger than the limit of %1 bytes").arg(maxBodyBytes_));
            return false;
        }
        const qint64 written = file_.write(chunk);
        if (written != chunk.size()) {
            stopWith(Failure::WriteFailed, QStringLiteral("writing '%1' failed after %2 bytes: %3")
                                               .arg(fileName())
                                               .arg(received_ + qMax<qint64>(written, 0))
                                               .arg(file_.errorString()));
            return false;
        }
        received_ += chunk.size();
    }
    return reply_ != nullptr;
}

void FormatFetch::onDownloadProgress(qint64 done, qint64 total)
{
    reportStatus();
    // Qt reports (0, 0) for a connection that never got an answer; there is no
    // body to speak of then.
    if (!reply_ || !statusReported_)
        return;
    // Without an announced length the total stays 0 to the end (Qt reports the
    // received size as the total once the body is complete), so the dialog
    // shows the bar at half until the transfer ends.
    const int d = clampToInt(qMax<qint64>(done, 0));
    const int t = !lengthAnnounced_ || total < 0 ? 0 : clampToInt(total);
    diagOut("http dataReadProgress(%d, %d)\n", d, t);
    emit dataReadProgress(d, t);
}

void FormatFetch::onFinished()
{
    if (!reply_)
        return;
    reportStatus();
    if (!reply_ || !storeAvailable())
        return;

    const QNetworkReply::NetworkError error = reply_->error();
    const QString server = host_ + QLatin1Char(':') + QString::number(port_);
    bool transportError = false;
    if (error == QNetworkReply::OperationCanceledError) {
        // We disconnect before aborting, so only Qt's transfer timeout gets here.
        setFailure(Failure::Timeout,
                   QStringLiteral("no data from %1 for %2 ms").arg(server).arg(transferTimeoutMs_));
        transportError = true;
    } else if (error != QNetworkReply::NoError && !isHttpStatusError(error)) {
        setFailure(Failure::Network, QStringLiteral("transfer from %1 failed: %2").arg(server, reply_->errorString()));
        transportError = true;
    } else if (status_ != 200) {
        setFailure(Failure::HttpStatus, QStringLiteral("%1 answered with HTTP status %2").arg(server).arg(status_));
    }

    QNetworkReply *reply = reply_;
    reply_ = nullptr;
    disconnect(reply, nullptr, this, nullptr);
    reply->deleteLater();
    conclude(transportError);
}

void FormatFetch::stopWith(Failure failure, const QString &text)
{
    if (failure == Failure::TooLarge)
        diagOut("http body exceeds %lld bytes\n", static_cast<long long>(maxBodyBytes_));
    setFailure(failure, text);
    QNetworkReply *reply = reply_;
    reply_ = nullptr;
    disconnect(reply, nullptr, this, nullptr);
    reply->abort();
    reply->deleteLater();
    conclude(true);
}

void FormatFetch::abort()
{
    if (!reply_)
        return;
    stopWith(Failure::Canceled, QStringLiteral("canceled"));
}

void FormatFetch::conclude(bool transportError)
{
    if (failure_ == Failure::None && !file_.flush()) {
        setFailure(Failure::WriteFailed, QStringLiteral("writing '%1' failed: %2").arg(fileName(), file_.errorString()));
        transportError = true;
    }
    file_.close();
    if (failure_ == Failure::None && file_.error() != QFileDevice::NoError) {
        setFailure(Failure::WriteFailed, QStringLiteral("writing '%1' failed: %2").arg(fileName(), file_.errorString()));
        transportError = true;
    }
    if (failure_ == Failure::None && !replaceDescription())
        transportError = true;
    diagOut("http done error=%d\n", transportError ? 1 : 0);
    const bool ok = failure_ == Failure::None;
    if (ok)
        file_.setFileName(QString());
    else
        dropTemporary();
    emit finished(ok);
}
