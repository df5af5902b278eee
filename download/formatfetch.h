#pragma once
#include <QFile>
#include <QObject>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;

// Fetches the description of one format id from the description server into
// "confxml/" + id + ".xml" (relative to the working directory; a missing folder
// is created). The body goes to a temporary file beside it as it arrives, and replaces
// the description only for status 200 with a complete, error-free transfer; any
// failure leaves a description that was there before exactly as it was, and no
// temporary file.
// Redirects are not followed. Runs on the thread that owns it, inside its event
// loop. Prints the developer lines "http status %d", "http dataReadProgress(%d, %d)"
// and "http done error=%d" and emits the matching signals.
class FormatFetch : public QObject
{
    Q_OBJECT
public:
    enum class Failure {
        None,
        BadId,            // refused before touching any file
        BadServer,        // server setting unusable; no file touched
        CannotCreateFile, // nothing sent
        Network,          // connection or transfer failed
        Timeout,          // no data for transferTimeoutMs()
        HttpStatus,       // the server answered with a status other than 200
        TooLarge,         // the body exceeded maxBodyBytes()
        WriteFailed,      // the file refused the data
        Canceled,
    };
    Q_ENUM(Failure)

    // A description is a few hundred kilobytes at most; anything past this is a
    // misbehaving server, and we stop before it fills the disk.
    static constexpr qint64 DefaultMaxBodyBytes = 16 * 1024 * 1024;
    // A stalled server must not keep the dialog or the command line waiting
    // forever: a transfer that moves no data for this long is abandoned.
    static constexpr int DefaultTransferTimeoutMs = 30000;

    // The server is descriptionServer() until setServer() says otherwise.
    explicit FormatFetch(const QString &id, QObject *parent = nullptr);
    // A running transfer is aborted and its temporary file removed; no signal follows.
    ~FormatFetch() override;

    // "host" or "host:port"; false (and nothing changed) when it does not parse.
    bool setServer(const QString &hostAndPort);
    void setMaxBodyBytes(qint64 bytes) { maxBodyBytes_ = bytes; }
    qint64 maxBodyBytes() const { return maxBodyBytes_; }
    void setTransferTimeoutMs(int ms) { transferTimeoutMs_ = ms; }
    int transferTimeoutMs() const { return transferTimeoutMs_; }

    QString id() const { return id_; }
    // "confxml/" + id + ".xml"
    QString fileName() const;

    // Creates the temporary file and sends the request. Returns false when
    // nothing could be sent: failure() is BadId, BadServer or CannotCreateFile,
    // and no signal follows. Otherwise finished() follows exactly once (abort()
    // emits it as well), unless the object is destroyed first.
    bool start();
    bool isRunning() const { return reply_ != nullptr; }

    int status() const { return status_; }
    Failure failure() const { return failure_; }
    // One line for the user of the command line: what failed, with which value.
    QString errorText() const { return errorText_; }

public slots:
    // Stops the transfer, removes the temporary file, and emits finished(false)
    // before returning. Does nothing when no transfer runs.
    void abort();

signals:
    void responseHeaderReceived(int status);
    // total is 0 when the server announced no length.
    void dataReadProgress(int done, int total);
    // ok: the description file now holds the complete body of a 200 response.
    void finished(bool ok);

private:
    void onMetaDataChanged();
    void onReadyRead();
    void onDownloadProgress(qint64 done, qint64 total);
    void onFinished();
    void reportStatus();
    bool storeAvailable();
    void stopWith(Failure failure, const QString &text);
    void conclude(bool transportError);
    void setFailure(Failure failure, const QString &text);
    bool openTemporary();
    bool replaceDescription();
    void dropTemporary();

    QString id_;
    QString host_;
    quint16 port_ = 0;
    bool serverValid_ = false;
    QString serverText_;
    qint64 maxBodyBytes_ = DefaultMaxBodyBytes;
    int transferTimeoutMs_ = DefaultTransferTimeoutMs;

    QNetworkAccessManager *manager_ = nullptr;
    QNetworkReply *reply_ = nullptr;
    QFile file_; // the temporary file beside the description
    qint64 received_ = 0;
    int status_ = 0;
    bool statusReported_ = false;
    bool lengthAnnounced_ = false;
    Failure failure_ = Failure::None;
    QString errorText_;
};
